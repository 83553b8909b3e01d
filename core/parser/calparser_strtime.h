/* Date-time formatting in UTC or in a zone of the time-zone registry (fast
 * through the day tables of calparser_time.h for 1990..2010), and the
 * daylight-saving tests over a zone's crossing list. */
#ifndef CORE_PARSER_CALPARSER_STRTIME_H
#define CORE_PARSER_CALPARSER_STRTIME_H

#include "public/util/export.h"

#include <time.h>

#include <prtime.h>

#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Writes `time` with the PR_FormatTime (strftime) `format` into `buffer` of
 * `size` bytes: calparser_strtime in the local time of the registered zone
 * `tzid` (NULL: the server's default zone), calparser_strgmtime in UTC (`tzid`
 * unused). With the format "%Y%m%dT%H%M%SZ" the local text is
 * "YYYYMMDDTHHMMSS" and the UTC text "YYYYMMDDTHHMMSSZ". Any other format is
 * formatted by NSPR, local mode then meaning the process's own local time; a
 * time of 0 means now, and "%Q" writes the offset from UTC without daylight
 * saving as "GMT+hhmm" (GMT+0000 in UTC). With the iCalendar format, local
 * mode and a `tzid` that is not registered the result is 1: where the day
 * tables write the text (1990..2010, buffer of at least 17 bytes) it is in the
 * default zone, elsewhere nothing is written (the buffer holds ""). A NULL
 * `tzid` means the default zone on both paths (result 1 only when that is not
 * registered either). Otherwise the result is 0. The buffer always ends in a
 * NUL when `size` is at least 1; a text that does not fit is cut or left empty. */
CALPARSER_API
int calparser_strtime(char* buffer, int size, const char* format, time_t time,
                      const char* tzid);
CALPARSER_API
int calparser_strgmtime(char* buffer, int size, const char* format, time_t time,
                        const char* tzid);
/* The shared formatter; `mode` is PR_LocalTimeParameters or PR_GMTParameters. */
CALPARSER_API
int __calparser_time(char* buffer, int size, const char* format, time_t time,
                     PRTimeParamFn mode, const char* tzid);

/* The number of entries of the ascending time list `pList` that
 * are less than or equal to `value`: where `value` would be inserted after its
 * equals. 0 for a NULL or empty list. */
CALPARSER_API
int findIndexToInsert(const array_t* pList, time_t value);
/* 1 when `time` lies in daylight time by the crossing list `pCrossings` (an odd
 * number of crossings at or before it), else 0; 0 without a list. */
CALPARSER_API
int isInDaylightSavings(time_t time, const array_t* pCrossings);
/* 1 when `time1` and `time2` lie on different sides of a daylight-saving change
 * of the registered zone `tzid`, else 0 (also for a NULL or unknown zone, or a
 * zone with neither a daylight part nor crossings). */
CALPARSER_API
int doesTimeSpanCrossDST(time_t time1, time_t time2, const char* tzid);
/* The offset from UTC of the registered zone `tzid` (NULL or unknown: the
 * server's default zone) at `time`, as unsigned hours and minutes and a sign
 * '+' (east of UTC) or '-' (zero or west). Outputs may be NULL. Returns 0. */
CALPARSER_API
int cal_strcustomtimezone(const char* tzid, time_t time, int* pHours, int* pMinutes,
                          char* pSign);

#ifdef __cplusplus
}
#endif

#endif
