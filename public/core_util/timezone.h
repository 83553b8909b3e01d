/* Time zones on ICU: the server's default zone, rule-based zones, and
 * conversions between UTC seconds and a zone's wall-clock time.
 *
 * Wall-clock texts are "YYYYMMDDTHHMMSS". A wall-clock time that a zone skips
 * (the gap of a spring change) or repeats (an autumn change) is read in one of
 * two ways, named at each function: as standard time in both cases, as the
 * library's conversion tables read local texts, or as RFC 5545 reads the
 * times a recurrence rule produces (the offset in force before the gap, the
 * first occurrence of a repeated hour). A NULL zone stands for UTC. */
#ifndef PUBLIC_CORE_UTIL_TIMEZONE_H
#define PUBLIC_CORE_UTIL_TIMEZONE_H

#include "public/util/export.h"

#include <stdint.h>
#include <time.h>

#ifdef __cplusplus
#include <unicode/uversion.h>
U_NAMESPACE_BEGIN
class TimeZone;
U_NAMESPACE_END
typedef icu::TimeZone timezone_icu_t;
#else
typedef void timezone_icu_t;
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Configuration key and fallback of the server's default zone. */
#define TIMEZONE_DEFAULT_TZID_KEY "calstore.default.timezoneID"
#define TIMEZONE_FALLBACK_TZID "Africa/Casablanca"

/* A new heap text (free with PL_strfree) naming the server's default zone: the
 * configured "calstore.default.timezoneID", or "Africa/Casablanca" when that
 * is unset or empty. NULL only when memory runs out. */
CALPARSER_API
char* timezone_getDefaultTZID(void);

/* A new ICU SimpleTimeZone named `tzid` with raw offset `rawOffsetMs`, daylight
 * time starting and ending by the given yearly rules (month 0-11, week of the
 * month 1..5 or -1..-5 from the end, day of week 1 = Sunday .. 7 = Saturday,
 * wall-clock milliseconds after midnight) and `savingsMs` of daylight saving.
 * A week of 0 in either rule, or savings of 0, gives a zone without daylight
 * time. The caller owns the zone (delete it). NULL for a NULL tzid, rules ICU
 * refuses, or no memory. */
CALPARSER_API
timezone_icu_t* timezone_CreateSimpleTimeZone(int32_t rawOffsetMs, const char* tzid,
                                              int8_t startMonth, int8_t startWeek,
                                              int8_t startDayOfWeek, int32_t startTimeMs,
                                              int8_t endMonth, int8_t endWeek,
                                              int8_t endDayOfWeek, int32_t endTimeMs,
                                              int32_t savingsMs);

/* A new zone without daylight time, as above. */
CALPARSER_API
timezone_icu_t* timezone_CreateSimpleTimeZoneShort(int32_t rawOffsetMs, const char* tzid);

/* UTC seconds of the wall-clock seconds `wallSeconds` (a wall-clock time
 * counted as if it were UTC) in `zone`, read as RFC 5545 reads recurrence
 * instances: the offset before a gap, the first of a repeated hour. Returns 0
 * and stores *pUtcSeconds, or non-zero when ICU fails or pUtcSeconds is NULL. */
int timezone_WallClockToUtc(const timezone_icu_t* zone, long long wallSeconds,
                            long long* pUtcSeconds);

/* The inverse: the wall-clock seconds of `utcSeconds` in `zone`. */
int timezone_UtcToWallClock(const timezone_icu_t* zone, long long utcSeconds,
                            long long* pWallSeconds);

/* UTC seconds of the wall-clock text `text` in `zone`: "YYYYMMDDTHHMMSS", or
 * "YYYYMMDD" for local midnight; a 16-character text ending in an upper-case
 * "Z" is already UTC and the zone is not used. As in the conversion tables, the
 * character between date and time is not examined, a 16th character other
 * than "Z" (a lower-case "z" too) is ignored, and a time in a gap or in a
 * repeated hour is read as standard time. 0 for a text that is not such a time
 * or whose result lies outside the signed 32-bit range. */
CALPARSER_API
time_t timezone_DateTimeApplyTimeZone(const char* text, const timezone_icu_t* zone);

/* Writes the wall-clock text of `time` in `zone` ("YYYYMMDDTHHMMSS") into the
 * caller's buffer *pBuffer of `size` bytes (at least 16).
 * Returns 0; 1 for a NULL address or buffer or a size under 16 (nothing
 * written); 2 when the time cannot be converted (the buffer then holds ""). */
CALPARSER_API
int timezone_DateTimeApplyTimeZoneToString(time_t time, const timezone_icu_t* zone,
                                           char** pBuffer, int size);

#ifdef __cplusplus
}
#endif

#endif
