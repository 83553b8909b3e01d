/* The VTIMEZONE builder: turns the tokens of one VTIMEZONE component into a
 * CAL_VTIMEZONE with its STANDARD and DAYLIGHT sub-zones and its rule-based
 * zone. The assembly driver calls it for every BEGIN:VTIMEZONE of an input;
 * the registry fills itself through the same path when it parses the
 * time-zone file. */
#ifndef CORE_PARSER_CAL_VTIMEZONE_H
#define CORE_PARSER_CAL_VTIMEZONE_H

#include "public/util/export.h"

#include "core/parser/cal_str.h"
#include "core/parser/cal_tok.h"
#include "public/db/caldb_timezone.h"
#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Builds one VTIMEZONE. *pCursor (the iterator of array_findfirst and
 * array_findnext over pTokens) stands on its BEGIN:VTIMEZONE and is left on
 * the last token consumed: normally the END:VTIMEZONE; a wrong END or a BEGIN
 * of another component ends the zone early (logged at level 6), and so does
 * the end of the list.
 *
 * Pass 1 builds: the zone's properties are stored, each BEGIN:STANDARD and
 * BEGIN:DAYLIGHT is read by calparser_create_vzone_from_tokens (a later
 * sub-component replaces an earlier one of the same kind; more than two
 * sub-components are logged at level 4), the rule-based zone is made, and a
 * zone with a TZID is appended to pTimeZones, which then owns it. A zone
 * without a TZID is logged at level 4 and dropped. Any other pass only moves
 * the cursor past the component: nothing is allocated or logged. nMethod is
 * handed on to the sub-zone walk.
 *
 * Returns 0 (also when the input had errors, and when memory ran out for a
 * property or a sub-component: the zone keeps what was read); 1 when
 * pTimeZones, pTokens or pCursor is NULL or no token follows the BEGIN; 3
 * when the zone itself cannot be made or appended (it is lost; the
 * component's tokens are still passed over). */
CALPARSER_API
int calparser_create_vtimezone_from_tokens(array_t* pTokens, array_iter_t* pCursor,
                                           array_t* pTimeZones, int nPass, iCal_Token_t nMethod);

/* Stores one VTIMEZONE property into **ppZone:
 *   TZID, TZURL         pTzid, pTzUrl (a copy replacing an earlier one)
 *   LAST-MODIFIED       tLastModified, read without a zone
 *   X-KVAL-TZCROSS      every ';'-separated UTC instant above 0 appended to
 *                       aTzCross, in the order given
 *   X-Z9KQ-TZID-ALIAS   a copy appended to aAliases
 *   X-                  a copy of the value (the whole content line) appended
 *                       to the stored part's aXProps
 * Anything else, and a token without value text, is ignored.
 * Returns 0; 1 when an argument, the zone or its stored part is NULL; 3 when
 * memory runs out (what was stored before stays). */
CALPARSER_API
int calparser_populateCalVTimeZoneProp(const CALPARSER_TOKEN* pToken, CAL_VTIMEZONE** ppZone);

/* 1 when the stored part has a TZID, else 0 (also for NULL). */
CALPARSER_API
int calparser_isValidVTimeZone(const CALDB_VTIMEZONE* pZone);

#ifdef __cplusplus
}
#endif

#endif
