/* The VALARM builder: turns the tokens of one alarm nested in an event or a
 * to-do into a CALDB_VALARM.
 *
 * The event and to-do builders call it when their walk meets BEGIN:VALARM.
 * It consumes the alarm's tokens from the shared cursor in every pass, so the
 * enclosing builder never sees them; only the building pass makes a record. */
#ifndef CORE_PARSER_CAL_VALARM_H
#define CORE_PARSER_CAL_VALARM_H

#include "public/util/export.h"

#include "core/parser/cal_str.h"
#include "core/parser/cal_tok.h"
#include "core/parser/cal_walk.h"
#include "public/db/caldb.h"
#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Walks one alarm. On entry *pCursor stands on the BEGIN:VALARM token of
 * pTokens; on return it stands on the token that ended the walk (normally
 * END:VALARM; a BEGIN met inside the alarm is left current), or past the end.
 *
 * With nPass CALPARSER_PASS_ALARMS a record is made, every property is
 * stored with the base time tBase (the instant a relative TRIGGER is added
 * to), and the record is appended to pAlarms, which then owns it, even after
 * a parse error. Without pAlarms the record is logged as illegally formatted
 * and freed. Any other pass only moves the cursor: nothing is logged or
 * allocated. nMethod is not read.
 *
 * Returns 0 done; 1 no token follows BEGIN:VALARM; 2 the END of another
 * component closed the alarm (building pass only); 3 memory ran out (nothing
 * is appended, nothing leaks). */
CALPARSER_API
int calparser_create_valarm_from_tokens(array_t* pTokens, array_iter_t* pCursor,
                                        array_t* pAlarms, long tBase, int nPass,
                                        iCal_Token_t nMethod);

/* Stores the property `pToken` into *ppAlarm: TRIGGER (absolute with
 * VALUE=DATE-TIME, else a duration added to tBase), DURATION (seconds),
 * REPEAT (only an all-digit value), ACTION, SUMMARY and DESCRIPTION (a later
 * one replaces the earlier), ATTENDEE (address without "mailto:", appended)
 * and any X- line (the whole line, appended). Other properties are ignored.
 * Nothing happens when the token, ppAlarm or *ppAlarm is NULL. pUnused is
 * not read. Returns 0, or 3 when a copy could not be made (the field keeps
 * what it held). */
CALPARSER_API
int calparser_populateAlarmProp(CALPARSER_TOKEN* pToken, CALDB_VALARM** ppAlarm,
                                array_t* pUnused, long tBase);

/* When both arguments are given and *ppOut is NULL, sets *ppOut to a new
 * copy (PL_strfree) of the address part of `text`: what follows the first
 * "MAILTO:" found anywhere in it, ignoring case, when at least one character
 * follows; else the whole text. Returns 0 (also when nothing was to be done),
 * 3 when the copy fails. */
CALPARSER_API
int calparser_valarm_stripMailto(const char* text, char** ppOut);

/* Every alarm is accepted: returns 1. */
CALPARSER_API
int calparser_isValidAlarm(CALDB_VALARM* pAlarm);

#ifdef __cplusplus
}
#endif

#endif
