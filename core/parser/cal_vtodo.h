/* The VTODO builder: the twin of the VEVENT builder (same walk, passes,
 * results, alarms and outputs; see core/parser/cal_vevent.h) for to-dos.
 *
 * What differs: the record is a CALDB_VTODO (kind 1) with DUE, COMPLETED,
 * PERCENT-COMPLETE and X-KVAL-DUE-TZID; DTEND, TRANSP and the X-Z9KQ-ATTENDEE
 * date lists are ignored; alarms are built against DUE; a missing DUE stays
 * unset unless a DURATION gives one; a to-do with DUE and no DTSTART starts
 * at its DUE. */
#ifndef CORE_PARSER_CAL_VTODO_H
#define CORE_PARSER_CAL_VTODO_H

#include "public/util/export.h"

#include "core/parser/cal_str.h"
#include "core/parser/cal_tok.h"
#include "public/core_util/cal_time.h"
#include "public/db/caldb.h"
#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Builds one to-do from the BEGIN:VTODO token on *pCursor; arguments and
 * results as for calparser_create_vevent_from_tokens. With bResolvedInput a
 * DUE without TZID is read in X-KVAL-DUE-TZID's zone, else in
 * X-KVAL-DTSTART-TZID's, else in pDefaultTzid. */
CALPARSER_API
int calparser_create_vtodo_from_tokens(array_t* pTokens, array_iter_t* pCursor,
                                       array_t* pTodos, array_t* pRecurrence,
                                       array_t* pTimeZones, int nPass, iCal_Token_t nMethod,
                                       int bResolvedInput, const char* pLookupCtx,
                                       const char* pDefaultTzid);

/* Stores the property `pToken` into the to-do *ppTodo; as
 * calparser_populateVEventProp. */
CALPARSER_API
void calparser_populateVTodoProp(CALPARSER_TOKEN* pToken, CALDB_VTODO** ppTodo,
                                 CAL_TIME_DURATION** ppDuration, array_t* pRRules,
                                 array_t* pRDates, array_t* pExRules, array_t* pExDates,
                                 array_t* pRDatePeriods, array_t* pTimeZones,
                                 int bResolvedInput, const char* pLookupCtx,
                                 const char* pDefaultTzid);

/* Completes a built to-do: without DUE, a DURATION gives DTSTART plus the
 * duration (DTSTART when the sum fails); without DURATION a missing DUE stays
 * 0. An all-day start makes an all-day DUE; the original-start line is added
 * unless present. Returns 0, or 1 when ppTodo or *ppTodo is NULL. */
CALPARSER_API
int calparser_todo_set_defaults(CALDB_VTODO** ppTodo, CAL_TIME_DURATION* pDuration);

/* Every to-do is accepted: returns 1. */
CALPARSER_API
int calparser_isValidTodo(CALDB_VTODO* pTodo, iCal_Token_t nMethod);

/* Sets a to-do's nCompState from the input's method when the input gave no
 * state (nCompState 1): REQUEST "needs action" with attendees, "no
 * decision" without; REPLY the pStateAddr attendee's decision ("needs
 * action" when none); any other method "no decision". Nothing for NULL. */
void calparser_todo_deriveCompState(CALDB_VTODO* pTodo, iCal_Token_t nMethod);

#ifdef __cplusplus
}
#endif

#endif
