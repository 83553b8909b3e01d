/* Small operations on component records shared by the builders, the
 * assembly driver and the recurring-component operations: the line that
 * records an instance's original start, the method code of a component
 * state, and end times and alarm triggers computed from a duration.
 *
 * The original-start line is an entry of a component's aXProps of the form
 * "X-KVAL-ORIGINAL-DTSTART:" followed by a UTC date-time such as
 * "19990101T112233Z". A line counts as one when it holds that name anywhere,
 * in any letter case. */
#ifndef CORE_PARSER_CALPARSERUTIL_H
#define CORE_PARSER_CALPARSERUTIL_H

#include "public/util/export.h"

#include <time.h>

#include "core/parser/cal_str.h"
#include "public/core_util/cal_time.h"
#include "public/db/caldb.h"
#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The name of the original-start line. */
#define CALPARSER_ORIGINAL_DTSTART_NAME "X-KVAL-ORIGINAL-DTSTART"

/* 1 when `text` holds CALPARSER_ORIGINAL_DTSTART_NAME anywhere, ignoring
 * case; 0 otherwise and for NULL. */
CALPARSER_API
int isOriginalDTStartXTokenString(const char* text);

/* The first original-start line of `lines` (still owned by the list), or
 * NULL when there is none or the list is NULL. */
CALPARSER_API
char* getOriginalDtStartXToken(const array_t* lines);

/* 1 when `lines` holds an original-start line, else 0. */
CALPARSER_API
int hasOriginalDtStartXToken(const array_t* lines);

/* The original start of an instance: the time of its original-start line
 * (a local text read in "Africa/Casablanca"), else its RECURRENCE-ID when
 * set, else its DTSTART. 0 for a NULL component. */
CALPARSER_API
time_t getOriginalStartTimeXTokenVal(const CALDB_COMPONENT* component);

/* Adds "X-KVAL-ORIGINAL-DTSTART:" + `datetime` to *ppLines (created when
 * NULL) unless the list already holds an original-start line. Returns 0
 * (also when nothing is added); 1 for a NULL argument; 3 when memory runs
 * out. */
CALPARSER_API
int calparser_addOriginalDtStartXTokenIfNotAlreadyExists(array_t** ppLines, const char* datetime);

/* The same with the component's RECURRENCE-ID (its DTSTART when that is 0)
 * in UTC form, added to its aXProps. Returns `component`. */
CALPARSER_API
CALDB_COMPONENT* calparser_addOriginalDtStartXTokenIfNotAlreadyExistsOnComponent(
    CALDB_COMPONENT* component);

/* Rewrites the component's last original-start line, in place, to its
 * RECURRENCE-ID (its DTSTART when that is 0) in UTC form; adds the line when
 * there is none. A NULL component is a no-op; when memory runs out the old
 * line stays. */
CALPARSER_API
void resetOriginalDtStartXTokenToNewTime(CALDB_COMPONENT* component);

/* The method code of the upper half of nCompState for an iTIP method:
 * REQUEST 2, REPLY 4, CANCEL 8, COUNTER 64, any other value (PUBLISH and
 * REFRESH included) 1. */
CALPARSER_API
int calparser_getCompStateMethod(iCal_Token_t method);

/* DTEND (DUE for the to-do form) becomes DTSTART plus the duration, or
 * DTSTART itself when the addition fails. Returns 0, or 1 for a NULL
 * argument. */
CALPARSER_API
int calparser_addDurationToEvent(const CAL_TIME_DURATION* duration, CALDB_VEVENT* event);
CALPARSER_API
int calparser_addDurationToTodo(const CAL_TIME_DURATION* duration, CALDB_VTODO* todo);

/* *pOut = base + duration. Returns 0; 1 (nothing stored) for a NULL
 * argument, a base of 0 or a failed addition. */
CALPARSER_API
int calparser_computeAlarmTrigger(const CAL_TIME_DURATION* duration, time_t base, time_t* pOut);

#ifdef __cplusplus
}
#endif

#endif
