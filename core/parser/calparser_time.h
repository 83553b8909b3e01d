/* Date-time conversion: iCalendar date-time texts to seconds since the epoch and
 * back, in UTC or in a zone of the time-zone registry, and the day tables that
 * make the years 1990 to 2010 a table read.
 *
 * Texts: "YYYYMMDDTHHMMSSZ" (UTC), "YYYYMMDDTHHMMSS" (local time of a zone; a
 * 16-character text not ending in an upper-case 'Z', a lower-case 'z' included,
 * is local too) and "YYYYMMDD" (a date, read as local midnight). Times are seconds since 1970-01-01 00:00:00 UTC, in the
 * signed 32-bit range, carried in time_t.
 *
 * Inside 1990..2010 a local time is read through the zone's crossing list,
 * outside those years through the zone's rule-based zone; on both paths a local
 * time in the gap of a spring change or in the repeated hour of an autumn
 * change is read as standard time.
 *
 * Concurrency: time_cache_init fills the tables once, before threads use the
 * library (parser_init calls it); afterwards they are only read. */
#ifndef CORE_PARSER_CALPARSER_TIME_H
#define CORE_PARSER_CALPARSER_TIME_H

#include "public/util/export.h"

#include <time.h>

#include "public/db/caldb_timezone.h"
#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Years the tables cover, and their shape. */
#define CALPARSER_TIME_CACHE_FIRST_YEAR 1990
#define CALPARSER_TIME_CACHE_LAST_YEAR 2010
#define CALPARSER_TIME_CACHE_YEARS 21
#define CALPARSER_TIME_CACHE_DAYS_PER_YEAR 372 /* 12 months of 31 slots */
#define CALPARSER_TIME_CACHE_STRINGS_PER_YEAR 366

/* The day table. pDays holds, for year y, month m (1..12) and day d (1..31), the
 * UTC seconds of that day's 00:00:00 at index (y - 1990) * 372 + (m - 1) * 31 +
 * (d - 1), or -1 where the day does not exist. pDays is NULL until filled. */
typedef struct TIME_CACHE {
    int nFirstYear;
    int nLastYear;
    time_t* pDays;
} TIME_CACHE;

/* The day-string table. ppDayStrings[y] holds the existing days of year 1990 + y
 * in calendar order, slot 0 being 1 January, each as "YYYYMMDDT000000Z"; slot 365
 * of a common year is NULL. pYearStart[y] is the UTC seconds of 1 January of
 * that year. Both are NULL until filled. */
typedef struct TIME_STRING_CACHE {
    int nFirstYear;
    int nLastYear;
    char*** ppDayStrings;
    time_t* pYearStart;
} TIME_STRING_CACHE;

/* Fills (or refills) both tables. Must not run while other threads convert or
 * format times. When memory runs out the previous tables stay as they were (none
 * on the first call) and the conversions use their slower paths. */
CALPARSER_API
void time_cache_init(void);

/* The header records, created zero-filled on the first call and kept for the
 * life of the process; NULL only when that allocation fails. */
CALPARSER_API
TIME_CACHE* getTimeCache(void);
CALPARSER_API
TIME_STRING_CACHE* getTimeStringCache(void);

/* Splits and checks a date-time text of 8, 15 or 16 characters (characters 8
 * and 15 are not examined). Stores the fields through the pointers given (any
 * may be NULL); a date stores hour, minute and second 0 and *pIsDate 1.
 * Whether 29 February exists in the year, and whether the month has 31 days, is
 * not checked here. Returns 0 valid, 2 invalid (any other length, a digit group
 * that does not parse, a field out of range, February after the 29th). */
CALPARSER_API
int calparser_validate_isodate(const char* text, int* pYear, int* pMonth, int* pDay,
                               int* pHour, int* pMinute, int* pSecond, int* pIsDate);

/* Table-based conversion of `text` into *pTime. A local text is read in the
 * zone `tzid`, or when NULL in the zone of "calstore.default.timezoneID"; a zone
 * not in the registry is logged at level 4 and read as "Africa/Casablanca".
 * *pIsDate (may be NULL) receives whether the text is a date.
 * Returns 0 converted; 2 invalid text (*pTime = 0), a day that does not exist
 * (*pTime unchanged) or a NULL pTime; 4 not served by the tables (year outside
 * 1990..2010 or tables absent): the caller must convert another way. */
CALPARSER_API
int calparser_timecache_datez_to_timet(const char* text, time_t* pTime, int* pIsDate,
                                       const char* tzid);

/* The general conversion: the tables first, then the calendar core library for
 * UTC texts and the registry for local texts (calparser_copyURLEncodedDateTime).
 * *pIsDate (may be NULL) becomes 1 for an 8-character date.
 * Returns 0 converted (a NULL text gives 0 with *pTime 0); 1 NULL pTime; 2 not
 * converted. */
CALPARSER_API
int calparser_datez_to_timet(const char* text, time_t* pTime, int* pIsDate,
                             const char* tzid);

/* Converts a local date-time `text` in zone `tzid` through the registry. A NULL
 * text clears *pAux (when given) and returns 0. Returns 0 converted, 2 for a NULL
 * pTime or pAux or a failed conversion. */
CALPARSER_API
int calparser_copyURLEncodedDateTime(time_t* pTime, int* pAux, const char* text,
                                     const char* tzid);

/* Local date-time `text` in the registered zone `tzid` (NULL: the server's
 * default zone) to UTC seconds in *pTime. A UTC text is read as such whatever
 * the zone. A zone not registered is logged (level 4) and replaced by the
 * default zone (level 6 when that is missing too, then "Africa/Casablanca").
 * `pAux` must be given and is not read.
 * Returns 0 converted; 1 a NULL argument, or converted as UTC because no zone
 * with a rule-based zone was found; 2 invalid text or a day that does not exist. */
CALPARSER_API
int calparser_applyTimeZoneToString(time_t* pTime, int* pAux, const char* text,
                                    const char* tzid);

/* Writes the local wall-clock text "YYYYMMDDTHHMMSS" of `time` in the registered
 * zone `tzid` into *ppBuffer of `size` bytes (the caller's buffer).
 * Returns 0 written; 1 a NULL argument, a size under 16, no list loaded, or a
 * zone missing or without a rule-based zone (nothing written); 3 the conversion
 * failed. */
CALPARSER_API
int calparser_applyTimeZoneToTimeT(const char* tzid, time_t time, char** ppBuffer, int size);

/* A zone's offsets east of UTC in seconds: the standard part's (0 without one)
 * and the daylight part's (the standard offset without one). */
int calparser_zoneStandardOffset(const CAL_VTIMEZONE* pZone);
int calparser_zoneDaylightOffset(const CAL_VTIMEZONE* pZone);

#ifdef __cplusplus
}
#endif

#endif
