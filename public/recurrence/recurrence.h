/* The recurrence engine: the start times of a recurring component.
 *
 * Semantics of recurrence_GenerateDates:
 * - DTSTART (UTC seconds) is taken to the wall-clock time of `zone`, an ICU
 *   TimeZone (a time-zone record's pIcuZone; NULL means UTC). Each RRULE is
 *   iterated in that wall-clock time and every occurrence converted back to UTC
 *   through the zone, so a 09:00 meeting stays at 09:00 local time across
 *   daylight-saving changes. A wall-clock time the zone skips takes the offset
 *   before the change; a repeated one is its first occurrence.
 * - DTSTART itself is always an occurrence (RFC 5545), whether or not the
 *   rules produce it.
 * - RDATE items are added: "YYYYMMDDTHHMMSSZ" (UTC), "YYYYMMDDTHHMMSS" (wall
 *   clock of the zone), "YYYYMMDD" (that day at DTSTART's wall-clock time) and
 *   a PERIOD "start/end" or "start/duration" (its start).
 * - Occurrences of EXRULEs are removed, and so are EXDATE items: an EXDATE
 *   date-time removes that instant, an EXDATE date ("YYYYMMDD") every
 *   occurrence on that wall-clock day.
 * - The result is ascending, without duplicates, at most `bound` occurrences
 *   (the earliest ones), each a time of at least 1 within the signed 32-bit range.
 * - The work is capped, per call and per thread (recurrence_SetWorkAllowance;
 *   past the cap the dates found so far are returned, logged at level 4), and rules that can be shown to yield nothing
 *   (BYHOUR/BYMINUTE/BYSECOND that INTERVAL never reaches; in the Gregorian
 *   scale also month days no reachable month has, weekday ordinals beyond 5
 *   in a month or 53 in a year, set positions beyond any set) end at once. Rules finer than daily (HOURLY,
 *   MINUTELY, SECONDLY) restricted by BYMONTH, BYWEEKNO, BYYEARDAY, BYMONTHDAY
 *   or BYSETPOS, or by BYDAY when SECONDLY or with an ordinal, could step
 *   through years between two matches and are refused.
 * Unreadable rules and items are logged at level 4 and skipped; the rest still
 * applies. */
#ifndef PUBLIC_RECURRENCE_RECURRENCE_H
#define PUBLIC_RECURRENCE_RECURRENCE_H

#include "public/util/export.h"

#include <time.h>

#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Prepares the rule library for use from many threads (errors never abort).
 * Call once at start-up, before threads start. Returns 0. */
CALPARSER_API
int recurrence_init(void);

/* Undoes recurrence_init. Nothing to release today; kept for symmetry. */
CALPARSER_API
void recurrence_uninit(void);

/* Appends to `dates` the occurrences of the recurrence set described above,
 * each a malloc'd time_t owned by the caller (free with free()).
 * `rrules`, `rdates`, `exrules` and `exdates` are arrays of texts, each may be
 * NULL or empty; they are only read. `zone` is a const icu::TimeZone* or NULL.
 * `flag` is reserved; callers pass 1.
 * Returns 0; 1 for a NULL `dates` or a `dtstart` below 1 (nothing appended);
 * 2 when a rule or item could not be read or a rule was refused (the others
 * were applied); 3 when memory ran out (nothing appended). A bound below 1
 * gives no occurrence. */
CALPARSER_API
int recurrence_GenerateDates(time_t dtstart, array_t* rrules, array_t* rdates,
                             array_t* exrules, array_t* exdates, int bound, array_t* dates,
                             const void* zone, int flag);

/* Sets the rule work that all later expansions of the calling thread may do
 * together, in units of about one day step of a Gregorian rule; a value
 * below 0 lifts the cap (the default). Each expansion takes what it spends
 * from it. Once it is spent, a series is given its DTSTART and RDATEs less
 * its EXDATEs, its rules are not iterated, and the first such series logs
 * it at level 4. Returns the previous allowance, so a caller can put it back.
 * The whole parse sets one for its second pass. */
CALPARSER_API
long long recurrence_SetWorkAllowance(long long units);

#ifdef __cplusplus
}
#endif

#endif
