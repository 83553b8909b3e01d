/* UTC calendar arithmetic on the proleptic Gregorian calendar. */
#include "public/core_util/gmtime.h"

#include <stdint.h>
#include <string.h>

namespace {

constexpr long long kSecondsPerDay = 86400;

bool is_leap_year(long long year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int days_in_month(long long year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && is_leap_year(year))
        return 29;
    return kDays[month - 1];
}

/* Days from 1970-01-01 to the given date (month 1-12); exact for any year. */
long long days_from_civil(long long year, int month, int day) {
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;
    const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

/* The inverse of days_from_civil. */
void civil_from_days(long long days, long long* pYear, int* pMonth, int* pDay) {
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long shiftedMonth = (5 * dayOfYear + 2) / 153;
    *pDay = (int)(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    *pMonth = (int)(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    *pYear = yearOfEra + era * 400 + (*pMonth <= 2);
}

}  // namespace

extern "C" int cal_gmtime_fields_to_seconds(int year, int month, int day, int hour,
                                            int minute, int second, long long* pSeconds) {
    if (!pSeconds || month < 1 || month > 12 || day < 1 || day > days_in_month(year, month) ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return 1;
    *pSeconds = days_from_civil(year, month, day) * kSecondsPerDay + hour * 3600LL +
                minute * 60LL + second;
    return 0;
}

extern "C" time_t mkgmtime(const struct tm* pTm) {
    long long seconds = 0;
    if (!pTm || pTm->tm_year > INT32_MAX - 1900)
        return -1;
    if (cal_gmtime_fields_to_seconds(pTm->tm_year + 1900, pTm->tm_mon + 1, pTm->tm_mday,
                                     pTm->tm_hour, pTm->tm_min, pTm->tm_sec, &seconds) != 0)
        return -1;
    if (seconds < INT32_MIN || seconds > INT32_MAX)
        return -1;
    return (time_t)seconds;
}

extern "C" struct tm* mtgmtime(const time_t* pTime, struct tm* pResult) {
    if (!pTime || !pResult)
        return nullptr;
    const long long seconds = (long long)*pTime;
    long long days = seconds / kSecondsPerDay;
    long long secondOfDay = seconds % kSecondsPerDay;
    if (secondOfDay < 0) {
        secondOfDay += kSecondsPerDay;
        days -= 1;
    }
    long long year = 0;
    int month = 0;
    int day = 0;
    civil_from_days(days, &year, &month, &day);
    memset(pResult, 0, sizeof(*pResult));
    pResult->tm_year = (int)(year - 1900);
    pResult->tm_mon = month - 1;
    pResult->tm_mday = day;
    pResult->tm_hour = (int)(secondOfDay / 3600);
    pResult->tm_min = (int)(secondOfDay % 3600 / 60);
    pResult->tm_sec = (int)(secondOfDay % 60);
    /* 1970-01-01 was a Thursday (4). */
    const long long weekday = (days % 7 + 7 + 4) % 7;
    pResult->tm_wday = (int)weekday;
    pResult->tm_yday = (int)(days - days_from_civil(year, 1, 1));
    pResult->tm_isdst = 0;
    return pResult;
}

extern "C" size_t cal_strgmtime(char* buffer, size_t size, const char* format, time_t time) {
    struct tm broken;
    if (!buffer || size == 0)
        return 0;
    buffer[0] = '\0';
    if (!format || !mtgmtime(&time, &broken))
        return 0;
    const size_t written = strftime(buffer, size, format, &broken);
    if (written == 0)
        buffer[0] = '\0';
    return written;
}
