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

#include "core/parser/cal_str.h"
#include "public/db/caldb.h"
#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The name of the original-start line. */
#define CALPARSER_ORIGINAL_DTSTART_NAME "X-KVAL-ORIGINAL-DTSTART"

/* 1 when `text` holds CALPARSER_ORIGINAL_DTSTART_NAME anywhere, ignoring
 * case; 0 otherwise and for NULL. */
int isOriginalDTStartXTokenString(const char* text);

/* The first original-start line of `lines` (still owned by the list), or
 * NULL when there is none or the list is NULL. */
char* getOriginalDtStartXToken(const array_t* lines);

/* 1 when `lines` holds an original-start line, else 0. */
int hasOriginalDtStartXToken(const array_t* lines);

/* The method code of the upper half of nCompState for an iTIP method:
 * REQUEST 2, REPLY 4, CANCEL 8, COUNTER 64, any other value (PUBLISH and
 * REFRESH included) 1. */
int calparser_getCompStateMethod(iCal_Token_t method);

#ifdef __cplusplus
}
#endif

#endif
