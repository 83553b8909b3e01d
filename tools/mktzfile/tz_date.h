/* Proleptic Gregorian calendar arithmetic on whole days and UTC milliseconds, as the
 * generator needs it to place yearly rules on dates and to write UTC date-times.
 * Pure functions without shared state; no gmtime or localtime. */
#ifndef MKTZFILE_TZ_DATE_H
#define MKTZFILE_TZ_DATE_H

#include <cstdint>

namespace mktz {

constexpr int64_t kMsPerMinute = 60 * 1000;
constexpr int64_t kMsPerDay = 24 * 60 * kMsPerMinute;

/* A calendar date: month 1..12, day 1..31. */
struct CivilDate {
    int year;
    int month;
    int day;
};

/* Days since 1970-01-01 of the given date (negative before it). */
int64_t days_from_civil(int year, int month, int day);

/* The date of a day count since 1970-01-01. */
CivilDate civil_from_days(int64_t days);

/* Day of the week of a day count: 1 = Sunday .. 7 = Saturday (ICU's numbering). */
int weekday_of_days(int64_t days);

/* Number of days in a month of a year (28..31). */
int month_length(int year, int month);

/* Splits milliseconds since the epoch into whole days (rounded down) and the
 * milliseconds after that day's midnight (0 .. kMsPerDay - 1). */
void split_ms(int64_t ms, int64_t* days, int64_t* msOfDay);

/* Day of the month on which a week-of-month rule falls: the `week`th (1..4) or the last
 * (week -1) `weekday` (1 = Sunday .. 7 = Saturday) of the month. */
int week_rule_day(int year, int month, int week, int weekday);

}  // namespace mktz

#endif
