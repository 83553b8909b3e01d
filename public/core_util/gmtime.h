/* UTC calendar arithmetic without the C library's shared state.
 *
 * Times are seconds since 1970-01-01 00:00:00 UTC. The library keeps them in
 * signed 32 bits, so mkgmtime only returns values that fit that range. */
#ifndef PUBLIC_CORE_UTIL_GMTIME_H
#define PUBLIC_CORE_UTIL_GMTIME_H

#include "public/util/export.h"

#include <stddef.h>
#include <time.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Seconds since the epoch of a UTC calendar time given as plain numbers
 * (month 1-12, day 1 up to the month's length, hour 0-23, minute and second
 * 0-59), computed in 64 bits without a range check of the result.
 * Returns 0 and stores *pSeconds, or non-zero (nothing stored) when an argument
 * is NULL or the fields do not name an existing time. */
int cal_gmtime_fields_to_seconds(int year, int month, int day, int hour, int minute,
                                 int second, long long* pSeconds);

/* Seconds since the epoch of the broken-down UTC time *pTm (tm_year counts from
 * 1900, tm_mon is 0-11; tm_wday, tm_yday and tm_isdst are not read and *pTm is
 * not changed). The date is never normalised: a field out of range or a day
 * that does not exist (30 February, 31 April) gives -1, and so do a NULL
 * argument and a time outside the signed 32-bit range. A valid time before
 * 1970 gives its (negative) value, which callers also read as "no time". */
CALPARSER_API
time_t mkgmtime(const struct tm* pTm);

/* Breaks *pTime down into UTC fields in *pResult (tm_wday, tm_yday set,
 * tm_isdst 0), like gmtime_r: safe for concurrent callers.
 * Returns pResult, or NULL when an argument is NULL. */
CALPARSER_API
struct tm* mtgmtime(const time_t* pTime, struct tm* pResult);

/* Formats `time` as UTC with strftime's `format` into `buffer` of `size` bytes.
 * Returns the number of characters written (without the NUL), or 0 when an
 * argument is NULL or the text does not fit (the buffer then holds ""). */
CALPARSER_API
size_t cal_strgmtime(char* buffer, size_t size, const char* format, time_t time);

#ifdef __cplusplus
}
#endif

#endif
