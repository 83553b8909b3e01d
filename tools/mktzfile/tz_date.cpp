/* Calendar arithmetic: the well-known era-based conversion between day counts and
 * Gregorian dates, valid for every year the generator touches. */
#include "tools/mktzfile/tz_date.h"

namespace mktz {

static int64_t floor_div(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

int64_t days_from_civil(int year, int month, int day) {
    int64_t y = month <= 2 ? year - 1 : year;
    int64_t era = floor_div(y, 400);
    int64_t yearOfEra = y - era * 400;
    int64_t shiftedMonth = month > 2 ? month - 3 : month + 9;  // March = 0
    int64_t dayOfYear = (153 * shiftedMonth + 2) / 5 + day - 1;
    int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

CivilDate civil_from_days(int64_t days) {
    int64_t z = days + 719468;
    int64_t era = floor_div(z, 146097);
    int64_t dayOfEra = z - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    CivilDate d;
    d.day = (int)(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    d.month = (int)(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    d.year = (int)(yearOfEra + era * 400 + (d.month <= 2 ? 1 : 0));
    return d;
}

int weekday_of_days(int64_t days) {
    // 1970-01-01 was a Thursday (5).
    int64_t r = (days + 4) % 7;
    if (r < 0) r += 7;
    return (int)r + 1;
}

int month_length(int year, int month) {
    static const int kLengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kLengths[month - 1];
}

void split_ms(int64_t ms, int64_t* days, int64_t* msOfDay) {
    *days = floor_div(ms, kMsPerDay);
    *msOfDay = ms - *days * kMsPerDay;
}

int week_rule_day(int year, int month, int week, int weekday) {
    if (week > 0) {
        int firstWeekday = weekday_of_days(days_from_civil(year, month, 1));
        return 1 + (weekday - firstWeekday + 7) % 7 + 7 * (week - 1);
    }
    int last = month_length(year, month);
    int lastWeekday = weekday_of_days(days_from_civil(year, month, last));
    return last - (lastWeekday - weekday + 7) % 7;
}

}  // namespace mktz
