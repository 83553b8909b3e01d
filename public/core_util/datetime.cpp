/* Date-time and UTC-offset texts split into their parts. */
#include "public/core_util/datetime.h"

#include <string.h>
#include <time.h>

#include "public/core_util/gmtime.h"

namespace {

/* The number in text[0..count), or -1 when one of the characters is not a digit. */
int read_digits(const char* text, int count) {
    int value = 0;
    for (int i = 0; i < count; i++) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

}  // namespace

extern "C" int datetime_IsParseable(const char* text, int* pYear, int* pMonth, int* pDay,
                                    int* pHour, int* pMinute, int* pSecond) {
    if (!text)
        return 0;
    const size_t length = strlen(text);
    if (length != 8 && length != 15 && length != 16)
        return 0;
    const int year = read_digits(text, 4);
    const int month = read_digits(text + 4, 2);
    const int day = read_digits(text + 6, 2);
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (length > 8) {
        if (text[8] != 'T' && text[8] != 't')
            return 0;
        if (length == 16 && text[15] != 'Z' && text[15] != 'z')
            return 0;
        hour = read_digits(text + 9, 2);
        minute = read_digits(text + 11, 2);
        second = read_digits(text + 13, 2);
    }
    long long seconds = 0;
    if (year < 0 || cal_gmtime_fields_to_seconds(year, month, day, hour, minute, second,
                                                 &seconds) != 0)
        return 0;
    if (pYear) *pYear = year;
    if (pMonth) *pMonth = month;
    if (pDay) *pDay = day;
    if (pHour) *pHour = hour;
    if (pMinute) *pMinute = minute;
    if (pSecond) *pSecond = second;
    return 1;
}

extern "C" int datetime_get(const char* text, int field) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!datetime_IsParseable(text, &year, &month, &day, &hour, &minute, &second))
        return -1;
    switch (field) {
    case DATETIME_FIELD_YEAR: return year;
    case DATETIME_FIELD_MONTH: return month - 1;
    case DATETIME_FIELD_DAY_OF_MONTH: return day;
    case DATETIME_FIELD_WEEK_IN_MONTH: return (day - 1) / 7 + 1;
    case DATETIME_FIELD_HOUR: return hour;
    case DATETIME_FIELD_MINUTE: return minute;
    case DATETIME_FIELD_SECOND: return second;
    case DATETIME_FIELD_DAY_OF_WEEK: {
        long long seconds = 0;
        cal_gmtime_fields_to_seconds(year, month, day, 0, 0, 0, &seconds);
        const time_t at = (time_t)seconds;
        struct tm broken;
        mtgmtime(&at, &broken);
        return broken.tm_wday + 1;
    }
    default: return -1;
    }
}

extern "C" int datetime_parseUTCOffset(const char* text, int* pHours, int* pMinutes) {
    if (!text || (text[0] != '+' && text[0] != '-'))
        return 0;
    const size_t length = strlen(text);
    if (length != 5 && length != 7)
        return 0;
    const int hours = read_digits(text + 1, 2);
    const int minutes = read_digits(text + 3, 2);
    const int seconds = length == 7 ? read_digits(text + 5, 2) : 0;
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59 || seconds < 0 || seconds > 59)
        return 0;
    const int sign = text[0] == '-' ? -1 : 1;
    if (pHours) *pHours = sign * hours;
    if (pMinutes) *pMinutes = sign * minutes;
    return 1;
}
