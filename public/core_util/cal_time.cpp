/* Time arithmetic: numbers, durations, periods and UTC date-time texts. */
#include "public/core_util/cal_time.h"

#include <ctype.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "public/core_util/datetime.h"
#include "public/core_util/gmtime.h"

namespace {

/* Largest count accepted for one part of a duration; keeps the sum in 64 bits
 * far from overflow before the 32-bit range check. */
constexpr long long kMaxDurationPart = 100000000;

bool fits_time32(long long seconds) {
    return seconds >= INT32_MIN && seconds <= INT32_MAX;
}

/* Reads the digits at *pCursor into *pValue and moves the cursor past them.
 * False when there is no digit or the number exceeds kMaxDurationPart. */
bool read_duration_number(const char** pCursor, long long* pValue) {
    const char* cursor = *pCursor;
    long long value = 0;
    if (!isdigit((unsigned char)*cursor))
        return false;
    while (isdigit((unsigned char)*cursor)) {
        value = value * 10 + (*cursor - '0');
        if (value > kMaxDurationPart)
            return false;
        cursor++;
    }
    *pCursor = cursor;
    *pValue = value;
    return true;
}

/* Parses the duration text between `begin` and `end` (blanks already removed). */
bool parse_duration(const char* begin, const char* end, CAL_TIME_DURATION* pOut) {
    /* Designators in the only order they may appear; 'T' separates the date
     * part from the time part. */
    static const char kOrder[] = "WDTHMS";
    CAL_TIME_DURATION parsed;
    memset(&parsed, 0, sizeof(parsed));
    const char* cursor = begin;
    if (cursor < end && (*cursor == '+' || *cursor == '-'))
        parsed.bNegative = *cursor++ == '-';
    if (cursor >= end || toupper((unsigned char)*cursor) != 'P')
        return false;
    cursor++;
    size_t nextDesignator = 0;     /* index in kOrder of the earliest allowed one */
    int partsBeforeT = 0, partsAfterT = 0;
    bool sawT = false;
    while (cursor < end) {
        if (toupper((unsigned char)*cursor) == 'T') {
            if (sawT || nextDesignator > 2)
                return false;
            sawT = true;
            nextDesignator = 3;
            cursor++;
            continue;
        }
        long long value = 0;
        if (!read_duration_number(&cursor, &value) || cursor >= end)
            return false;
        const char designator = (char)toupper((unsigned char)*cursor++);
        const char* found = strchr(kOrder, designator);
        if (!found || designator == 'T')
            return false;
        const size_t index = (size_t)(found - kOrder);
        /* H, M and S only after T; W and D only before it. */
        if (index < nextDesignator || (index >= 3) != sawT)
            return false;
        nextDesignator = index + 1;
        switch (designator) {
        case 'W': parsed.nWeeks = (int)value; break;
        case 'D': parsed.nDays = (int)value; break;
        case 'H': parsed.nHours = (int)value; break;
        case 'M': parsed.nMinutes = (int)value; break;
        default: parsed.nSeconds = (int)value; break;
        }
        if (sawT)
            partsAfterT++;
        else
            partsBeforeT++;
    }
    if (sawT ? partsAfterT == 0 : partsBeforeT == 0)
        return false;
    parsed.bParsed = 1;
    *pOut = parsed;
    return true;
}

bool duration_seconds(const CAL_TIME_DURATION* pDuration, long long* pSeconds) {
    if (!pDuration || !pDuration->bParsed)
        return false;
    const long long magnitude = (pDuration->nWeeks * 7LL + pDuration->nDays) * 86400LL +
                                pDuration->nHours * 3600LL + pDuration->nMinutes * 60LL +
                                pDuration->nSeconds;
    if (magnitude > INT32_MAX)
        return false;
    *pSeconds = pDuration->bNegative ? -magnitude : magnitude;
    return true;
}

/* Reads the end half of a period: a date-time or a duration counted from start. */
void read_period_end(const char* text, CAL_TIME_PERIOD* pPeriod) {
    const char first = text[0];
    if (first == 'P' || first == 'p' || first == '+' || first == '-') {
        CAL_TIME_DURATION duration;
        time_t end = 0;
        pPeriod->bHasDuration = 1;
        if (cal_time_buf_to_duration(text, &duration) == 0 &&
            cal_time_addDurationToTimeT(&duration, pPeriod->tStart, &end) == 0)
            pPeriod->tEnd = end;
        return;
    }
    time_t end = 0;
    if (cal_time_datez_to_timet_helper(text, &end, nullptr, 1) == 0)
        pPeriod->tEnd = end;
}

/* Writes `value` as `digits` decimal digits at `out`, with leading zeros. */
char* put_digits(char* out, int value, int digits) {
    for (int i = digits - 1; i >= 0; i--, value /= 10)
        out[i] = (char)('0' + value % 10);
    return out + digits;
}

int format_time(time_t time, char* buffer, bool withClock) {
    struct tm broken;
    if (!buffer)
        return 1;
    buffer[0] = '\0';
    if (!mtgmtime(&time, &broken))
        return 1;
    const int year = broken.tm_year + 1900;
    if (year < 0 || year > 9999)
        return 1;
    if (year < 1000) {
        /* strftime writes such a year with fewer digits, and the text is
         * then too short: a failure that still leaves that text. */
        const size_t size = withClock ? 17 : 9;
        const char* format = withClock ? "%Y%m%dT%H%M%SZ" : "%Y%m%d";
        return strftime(buffer, size, format, &broken) == size - 1 ? 0 : 1;
    }
    char* out = put_digits(buffer, year, 4);
    out = put_digits(out, broken.tm_mon + 1, 2);
    out = put_digits(out, broken.tm_mday, 2);
    if (withClock) {
        *out++ = 'T';
        out = put_digits(out, broken.tm_hour, 2);
        out = put_digits(out, broken.tm_min, 2);
        out = put_digits(out, broken.tm_sec, 2);
        *out++ = 'Z';
    }
    *out = '\0';
    return 0;
}

}  // namespace

extern "C" int cal_time_atoi_size(const char* text, int n, int* pOut) {
    if (!text || !pOut || n <= 0)
        return 1;
    long long value = 0;
    for (int i = 0; i < n; i++) {
        if (text[i] < '0' || text[i] > '9')
            return 1;
        value = value * 10 + (text[i] - '0');
        if (value > INT32_MAX)
            return 1;
    }
    *pOut = (int)value;
    return 0;
}

extern "C" int cal_time_buf_to_duration(const char* text, CAL_TIME_DURATION* pDuration) {
    if (!text || !pDuration)
        return 1;
    const char* begin = text;
    const char* end = text + strlen(text);
    while (begin < end && isspace((unsigned char)*begin))
        begin++;
    while (end > begin && isspace((unsigned char)end[-1]))
        end--;
    if (!parse_duration(begin, end, pDuration)) {
        memset(pDuration, 0, sizeof(*pDuration));
        return 2;
    }
    return 0;
}

extern "C" void cal_time_FreeDuration(CAL_TIME_DURATION** ppDuration) {
    if (!ppDuration)
        return;
    free(*ppDuration);
    *ppDuration = nullptr;
}

extern "C" int32_t cal_time_add_seconds_held(int32_t t, time_t seconds)
{
    long long sum = (long long)t + (long long)seconds;
    if (sum > INT32_MAX)
        return INT32_MAX;
    if (sum < INT32_MIN)
        return INT32_MIN;
    return (int32_t)sum;
}

int cal_time_addDurationToTimeT(const CAL_TIME_DURATION* pDuration, time_t time,
                                           time_t* pOut) {
    long long seconds = 0;
    if (!pOut || !duration_seconds(pDuration, &seconds))
        return -1;
    const long long sum = (long long)time + seconds;
    if (!fits_time32(sum))
        return -1;
    *pOut = (time_t)sum;
    return 0;
}

extern "C" int cal_time_MightBePeriodString(const char* text) {
    if (!text)
        return 0;
    const char* slash = strchr(text, '/');
    return slash && slash != text && slash[1] != '\0';
}

extern "C" CAL_TIME_PERIOD* cal_time_NewPeriod(const char* text) {
    if (!text)
        return nullptr;
    CAL_TIME_PERIOD* period = (CAL_TIME_PERIOD*)calloc(1, sizeof(CAL_TIME_PERIOD));
    if (!period)
        return nullptr;
    const char* slash = strchr(text, '/');
    /* Longest start form "YYYYMMDDTHHMMSSZ" is 16 characters. */
    char start[17];
    if (!slash || slash == text || (size_t)(slash - text) >= sizeof(start))
        return period;
    memcpy(start, text, (size_t)(slash - text));
    start[slash - text] = '\0';
    time_t startTime = 0;
    if (cal_time_datez_to_timet_helper(start, &startTime, nullptr, 1) != 0)
        return period;
    period->tStart = startTime;
    read_period_end(slash + 1, period);
    return period;
}

extern "C" int cal_time_IsValidPeriod(const CAL_TIME_PERIOD* pPeriod) {
    return pPeriod && pPeriod->tStart >= 1 && pPeriod->tEnd > pPeriod->tStart;
}

extern "C" void cal_time_DestroyPeriod(CAL_TIME_PERIOD** ppPeriod) {
    if (!ppPeriod)
        return;
    free(*ppPeriod);
    *ppPeriod = nullptr;
}

extern "C" time_t cal_time_getOffset(const CAL_TIME_PERIOD* pPeriod) {
    return pPeriod ? pPeriod->tEnd - pPeriod->tStart : 0;
}

extern "C" int cal_time_period_compare(const void* pSlotA, const void* pSlotB) {
    const CAL_TIME_PERIOD* a = *(CAL_TIME_PERIOD* const*)pSlotA;
    const CAL_TIME_PERIOD* b = *(CAL_TIME_PERIOD* const*)pSlotB;
    if (!a || !b)
        return (a != nullptr) - (b != nullptr);
    if (a->tStart != b->tStart)
        return a->tStart < b->tStart ? -1 : 1;
    if (a->tEnd != b->tEnd)
        return a->tEnd < b->tEnd ? -1 : 1;
    return 0;
}

extern "C" int cal_time_timet_period_compare(const void* pKey, const void* pSlot) {
    const time_t key = *(const time_t*)pKey;
    const CAL_TIME_PERIOD* period = *(CAL_TIME_PERIOD* const*)pSlot;
    if (!period)
        return 1;
    if (key != period->tStart)
        return key < period->tStart ? -1 : 1;
    return 0;
}

extern "C" int cal_time_timet_to_datez(time_t time, char* buffer) {
    return format_time(time, buffer, true);
}

extern "C" int cal_time_timet_to_datezAllDay(time_t time, char* buffer) {
    return format_time(time, buffer, false);
}

extern "C" int cal_time_datez_to_timet_helper(const char* text, time_t* pTime, int* pIsDate,
                                              int bAcceptLocal) {
    if (!text || !pTime)
        return 1;
    *pTime = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    const size_t length = strlen(text);
    if (length == 15 && !bAcceptLocal)
        return 2;
    if (!datetime_IsParseable(text, &year, &month, &day, &hour, &minute, &second))
        return 2;
    long long seconds = 0;
    cal_gmtime_fields_to_seconds(year, month, day, hour, minute, second, &seconds);
    if (!fits_time32(seconds))
        return 2;
    *pTime = (time_t)seconds;
    if (pIsDate)
        *pIsDate = length == 8;
    return 0;
}
