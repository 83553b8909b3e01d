/* Time arithmetic: numbers, durations, periods and UTC date-time texts.
 *
 * Times are seconds since 1970-01-01 00:00:00 UTC in signed 32 bits, carried
 * in time_t; a record time below 1 means "not set". */
#ifndef PUBLIC_CORE_UTIL_CAL_TIME_H
#define PUBLIC_CORE_UTIL_CAL_TIME_H

#include "public/util/export.h"

#include <stdint.h>
#include <time.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A parsed iCalendar DURATION. Callers allocate it zeroed (calloc) and free it
 * with cal_time_FreeDuration. All counts are non-negative; bNegative carries
 * the sign. bParsed is set once a text has been read into it. */
typedef struct CAL_TIME_DURATION {
    int bNegative;
    int nWeeks;
    int nDays;
    int nHours;
    int nMinutes;
    int nSeconds;
    int bParsed;
} CAL_TIME_DURATION;

/* A parsed iCalendar PERIOD ("start/end" or "start/duration"), times in UTC
 * seconds. Made by cal_time_NewPeriod, freed by cal_time_DestroyPeriod. */
typedef struct CAL_TIME_PERIOD {
    time_t tStart;
    time_t tEnd;
    int bHasDuration;   /* the end was given as a duration */
} CAL_TIME_PERIOD;

/* Reads the first `n` characters of `text` as a decimal number.
 * Returns 0 and stores *pOut when n > 0, the text has at least n characters
 * and all of them are digits (and the number fits an int); non-zero otherwise,
 * *pOut unchanged. */
CALPARSER_API
int cal_time_atoi_size(const char* text, int n, int* pOut);

/* Fills *pDuration from an RFC 5545 DURATION text: an optional sign, "P",
 * then weeks ("W"), days ("D") and, after "T", hours ("H"), minutes ("M") and
 * seconds ("S"), each part optional but at least one present, letters in any
 * case, surrounding blanks ignored. Returns 0; 1 for a NULL argument; 2 when the
 * text is not a duration (*pDuration is then cleared, so adding it fails). */
CALPARSER_API
int cal_time_buf_to_duration(const char* text, CAL_TIME_DURATION* pDuration);

/* Frees *ppDuration (allocated with malloc/calloc) and stores NULL. NULL is a no-op. */
CALPARSER_API
void cal_time_FreeDuration(CAL_TIME_DURATION** ppDuration);

/* *pOut = time + the duration. Any time is accepted as base (0 included, so
 * the sum gives the duration itself). Returns 0, or -1 (nothing stored) when
 * an argument is NULL, the duration was never parsed or the sum leaves the
 * signed 32-bit range. */
CALPARSER_API
int cal_time_addDurationToTimeT(const CAL_TIME_DURATION* pDuration, time_t time, time_t* pOut);

/* t + seconds as a record time (a signed 32-bit count): held at the first or
 * last second that count can hold when the sum lies beyond it, so a shifted
 * time past 2038 stays late rather than wrapping to a time before 1970. */
int32_t cal_time_add_seconds_held(int32_t t, time_t seconds);

/* Non-zero when `text` has the shape of a PERIOD: a "/" with characters on both sides. */
CALPARSER_API
int cal_time_MightBePeriodString(const char* text);

/* A new period read from `text` ("start/end" or "start/duration"; the start
 * and end forms are those of cal_time_datez_to_timet_helper with local texts
 * read as UTC, since no zone is known here). A text that does not parse still
 * gives a record, with times 0, which cal_time_IsValidPeriod rejects.
 * NULL only when `text` is NULL or memory runs out. The caller owns the record. */
CALPARSER_API
CAL_TIME_PERIOD* cal_time_NewPeriod(const char* text);

/* Non-zero when the period has a start of at least 1 and an end after it. */
CALPARSER_API
int cal_time_IsValidPeriod(const CAL_TIME_PERIOD* pPeriod);

/* Frees *ppPeriod and stores NULL. NULL is a no-op. */
CALPARSER_API
void cal_time_DestroyPeriod(CAL_TIME_PERIOD** ppPeriod);

/* The period's length in seconds (end - start); 0 for NULL. */
CALPARSER_API
time_t cal_time_getOffset(const CAL_TIME_PERIOD* pPeriod);

/* array_qsort comparator over slots holding CAL_TIME_PERIOD pointers: by start,
 * then by end; NULL periods first. */
CALPARSER_API
int cal_time_period_compare(const void* pSlotA, const void* pSlotB);

/* array_bsearch comparator: `pKey` points to a time_t, `pSlot` to a slot
 * holding a CAL_TIME_PERIOD pointer; compares the time with the period's start. */
CALPARSER_API
int cal_time_timet_period_compare(const void* pKey, const void* pSlot);

/* Writes `time` as "YYYYMMDDTHHMMSSZ" into `buffer` (at least 17 bytes).
 * Returns 0, or 1 for a NULL buffer or a year outside 0..9999 (buffer "" then). */
CALPARSER_API
int cal_time_timet_to_datez(time_t time, char* buffer);

/* Writes the UTC date of `time` as "YYYYMMDD" into `buffer` (at least 9 bytes).
 * Returns 0 or 1 as above. */
CALPARSER_API
int cal_time_timet_to_datezAllDay(time_t time, char* buffer);

/* Converts "YYYYMMDDTHHMMSSZ" (UTC) or "YYYYMMDD" (midnight UTC) into *pTime;
 * with bAcceptLocal non-zero a "YYYYMMDDTHHMMSS" without "Z" is accepted too
 * and read as UTC. *pIsDate (may be NULL) becomes 1 for the date form, else 0.
 * Returns 0; 1 for a NULL text or time; 2 when the text is not such a time or
 * lies outside the signed 32-bit range (*pTime is then 0). */
CALPARSER_API
int cal_time_datez_to_timet_helper(const char* text, time_t* pTime, int* pIsDate,
                                   int bAcceptLocal);

#ifdef __cplusplus
}
#endif

#endif
