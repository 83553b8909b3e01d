/* The STANDARD and DAYLIGHT sub-zones of a VTIMEZONE: the walk over one
 * sub-component's tokens, the storing of its properties, and the reading of
 * its yearly change rule (month, week of the month, weekday, wall-clock time)
 * from DTSTART, RRULE and RDATE.
 *
 * A sub-zone without a readable rule carries month -1, weekday -1 and week 0;
 * the rule-based zone then treats that part as having no daylight time. */
#ifndef CORE_PARSER_CAL_VZONE_H
#define CORE_PARSER_CAL_VZONE_H

#include "public/util/export.h"

#include "core/parser/cal_str.h"
#include "core/parser/cal_tok.h"
#include "public/db/caldb_timezone.h"
#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Walks one sub-component. *pCursor (the iterator of array_findfirst and
 * array_findnext over pTokens) stands on its BEGIN:DAYLIGHT or BEGIN:STANDARD;
 * nKind is TOKEN_DAYLIGHT or TOKEN_STANDARD. On return the cursor stands on
 * the token where the walk stopped: the matching END, a wrong END or a BEGIN
 * (both logged at level 6 in pass 1), or past the end of the list.
 *
 * In pass 1 a new CAL_VZONE is filled and appended to pZones, which then owns
 * it, also when the sub-component ended early. In any other pass nothing is
 * allocated or logged; the tokens are only passed over. nMethod is not read.
 *
 * Returns 0 (also when memory ran out for one of its properties: the
 * sub-zone keeps the others); 1 when pTokens or pCursor is NULL, when pZones
 * is NULL in pass 1, or when no token follows the BEGIN; 3 when the sub-zone
 * cannot be made or appended (the tokens are still passed over). */
CALPARSER_API
int calparser_create_vzone_from_tokens(array_t* pTokens, array_iter_t* pCursor, array_t* pZones,
                                       iCal_Token_t nKind, int nPass, iCal_Token_t nMethod);

/* Stores one property of a sub-component into **ppZone:
 *   DTSTART       tDtStart (read without a zone); when the text is a valid
 *                 date-time its parts go to nStartYear .. nStartSecond and
 *                 nTimeMs = (hour * 3600 + minute * 60) * 1000
 *   TZOFFSETFROM  nOffsetFrom = hours * 60 + minutes (both signed), unchanged
 *   TZOFFSETTO    nOffsetTo,   likewise               when the text is no offset
 *   RDATE         every ';'-separated instant above 0 appended to aRDates; the
 *                 first date-time of the value gives the rule (its month, its
 *                 weekday, and which such weekday of the month it is, 4 and 5
 *                 counting as the last)
 *   RRULE         a copy appended to aRRules; BYMONTH and BYDAY (or a BYMONTHDAY
 *                 list) give the rule; a rule without month, without day, or
 *                 with an unreadable BYDAY or BYMONTH is reset to none
 *   TZNAME, COMMENT, X-   a copy of the value appended to aTzNames, aComments,
 *                 aXProps (an X- token's value is its whole content line)
 * Anything else, and a token without value text, is ignored.
 * Returns 0; 1 when an argument, the sub-zone or its stored record is NULL;
 * 3 when memory runs out (what was stored before stays). */
CALPARSER_API
int calparser_populateCalVZoneProp(const CALPARSER_TOKEN* pToken, CAL_VZONE** ppZone);

/* Every sub-zone is acceptable: returns 1. */
CALPARSER_API
int calparser_isValidZone(const CALDB_VZONE* pZone);

#ifdef __cplusplus
}
#endif

#endif
