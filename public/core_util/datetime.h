/* Reading iCalendar date-time texts and UTC offsets into their parts. */
#ifndef PUBLIC_CORE_UTIL_DATETIME_H
#define PUBLIC_CORE_UTIL_DATETIME_H

#include "public/util/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Field codes of datetime_get (the numbering of ICU's calendar fields). */
enum {
    DATETIME_FIELD_YEAR = 1,
    DATETIME_FIELD_MONTH = 2,            /* 0 = January .. 11 = December */
    DATETIME_FIELD_DAY_OF_MONTH = 5,
    DATETIME_FIELD_DAY_OF_WEEK = 7,      /* 1 = Sunday .. 7 = Saturday */
    DATETIME_FIELD_WEEK_IN_MONTH = 8,    /* 1..5: which such weekday of its month */
    DATETIME_FIELD_HOUR = 11,
    DATETIME_FIELD_MINUTE = 12,
    DATETIME_FIELD_SECOND = 13
};

/* Non-zero when `text` is exactly one of YYYYMMDD, YYYYMMDDTHHMMSS or
 * YYYYMMDDTHHMMSSZ ("T" and "Z" in either case) naming a time that exists
 * (month 1-12, day within the month, hour 0-23, minute and second 0-59).
 * Then the parts go to the outputs (month 1-12; hour, minute and second 0 for a
 * date); any output may be NULL. On 0 the outputs are left unchanged. */
CALPARSER_API
int datetime_IsParseable(const char* text, int* pYear, int* pMonth, int* pDay, int* pHour,
                         int* pMinute, int* pSecond);

/* One calendar field of the date-time `text` (a form datetime_IsParseable
 * accepts), by the DATETIME_FIELD_ code. The week in month of the 15th is 3
 * (the third such weekday). -1 for a text that does not parse or an unknown code. */
CALPARSER_API
int datetime_get(const char* text, int field);

/* Reads a UTC offset "+hhmm" or "-hhmm" (an optional "ss" is accepted and
 * ignored; hours 0-23, minutes 0-59). Non-zero on success with both parts
 * carrying the sign: "-0530" gives hours -5 and minutes -30. On 0 the outputs
 * are left unchanged. */
CALPARSER_API
int datetime_parseUTCOffset(const char* text, int* pHours, int* pMinutes);

#ifdef __cplusplus
}
#endif

#endif
