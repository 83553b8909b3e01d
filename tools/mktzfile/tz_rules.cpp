/* Yearly rules in force, and their reduction to the week-of-month form.
 *
 * The registry reads a change rule as month, week of the month (1..4 or last) and weekday,
 * the arguments of ICU's SimpleTimeZone in its day-of-week-in-month mode. The time-zone
 * database states rules in other forms as well: "weekday on or after day N" (Sun>=8),
 * "weekday on or before day N" (the last Sunday appears as Sun<=31), a fixed day, and times
 * in UTC or standard time. Each rule is therefore placed on its actual local dates over 28
 * years, and the week-of-month rule that falls on the same dates is chosen. Sun>=1, Sun>=8,
 * Sun>=15, Sun>=22 and Sun<=(last day) map exactly; so does a UTC time that moves the local
 * change onto the day before (Sun>=2 at 04:00 UTC, six hours west, is the first Saturday at
 * 22:00). Where no week-of-month rule fits every year (Fri>=23 March, Sat<=30, Sun>=2 at local
 * midnight), the file holds the one that fits most years and says so in a COMMENT of the
 * sub-component; the crossings of 1990-2010 are exact in any case. */
#include "tools/mktzfile/tz_zone.h"

#include <cstdio>

#include <unicode/dtrule.h>

#include "tools/mktzfile/tz_date.h"

namespace mktz {

namespace {

const char* const kMonthNames[12] = {"January", "February", "March",     "April",
                                     "May",     "June",     "July",      "August",
                                     "September", "October", "November", "December"};
const char* const kWeekdayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                      "Thursday", "Friday", "Saturday"};
const char* const kTimeKinds[3] = {"wall time", "standard time", "UTC"};

bool rule_in_force(const icu::AnnualTimeZoneRule& rule, int year) {
    return rule.getStartYear() <= year && year <= rule.getEndYear();
}

/* Local date of ICU's change in `year`, on the wall clock in force before it. */
void actual_change(const icu::AnnualTimeZoneRule& rule, int year, int32_t prevRawMs,
                   int32_t prevDstMs, CivilDate* date, int* wallMinutes) {
    UDate utc = 0;
    rule.getStartInYear(year, prevRawMs, prevDstMs, utc);
    int64_t days = 0;
    int64_t msOfDay = 0;
    split_ms((int64_t)utc + prevRawMs + prevDstMs, &days, &msOfDay);
    *date = civil_from_days(days);
    *wallMinutes = (int)(msOfDay / kMsPerMinute);
}

int count_matching_years(const CivilDate* actual, int month, int week, int weekday) {
    int matches = 0;
    for (int i = 0; i < kRuleCheckYears; i++) {
        const CivilDate& a = actual[i];
        if (a.month == month && a.day == week_rule_day(a.year, month, week, weekday))
            matches++;
    }
    return matches;
}

}  // namespace

bool find_rules_in_force(const icu::BasicTimeZone& zone, int year,
                         const icu::AnnualTimeZoneRule** daylightRule,
                         const icu::AnnualTimeZoneRule** standardRule) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t count = zone.countTransitionRules(status);
    if (U_FAILURE(status) || count <= 0) return false;
    std::vector<const icu::TimeZoneRule*> rules((size_t)count);
    const icu::InitialTimeZoneRule* initial = nullptr;
    zone.getTimeZoneRules(initial, rules.data(), count, status);
    if (U_FAILURE(status)) return false;

    const icu::AnnualTimeZoneRule* daylight = nullptr;
    const icu::AnnualTimeZoneRule* standard = nullptr;
    for (int32_t i = 0; i < count; i++) {
        auto annual = dynamic_cast<const icu::AnnualTimeZoneRule*>(rules[(size_t)i]);
        if (!annual || !rule_in_force(*annual, year)) continue;
        if (annual->getDSTSavings() != 0)
            daylight = annual;
        else
            standard = annual;
    }
    if (!daylight || !standard) return false;
    *daylightRule = daylight;
    *standardRule = standard;
    return true;
}

WeekRule to_week_rule(const icu::AnnualTimeZoneRule& rule, int32_t prevRawMs, int32_t prevDstMs) {
    CivilDate actual[kRuleCheckYears];
    int wallMinutes = 0;
    for (int i = 0; i < kRuleCheckYears; i++) {
        int minutes = 0;
        actual_change(rule, kReferenceYear + i, prevRawMs, prevDstMs, &actual[i], &minutes);
        if (i == 0) wallMinutes = minutes;
    }

    // Candidates in a fixed order, the month of the first change first, so that ties
    // always resolve the same way.
    static const int kWeeks[5] = {1, 2, 3, 4, -1};
    WeekRule best;
    best.wallMinutes = wallMinutes;
    best.matchingYears = -1;
    for (int m = 0; m < 12; m++) {
        int month = (actual[0].month - 1 + m) % 12 + 1;
        for (int week : kWeeks) {
            for (int weekday = 1; weekday <= 7; weekday++) {
                int matches = count_matching_years(actual, month, week, weekday);
                if (matches > best.matchingYears) {
                    best.month = month;
                    best.week = week;
                    best.weekday = weekday;
                    best.matchingYears = matches;
                }
            }
        }
    }
    if (best.matchingYears < kRuleCheckYears) best.icuRule = describe_icu_rule(rule);
    return best;
}

std::string describe_icu_rule(const icu::AnnualTimeZoneRule& rule) {
    const icu::DateTimeRule* r = rule.getRule();
    const char* month = kMonthNames[r->getRuleMonth()];
    int dayOfMonth = r->getRuleDayOfMonth();
    const char* weekday = kWeekdayNames[(r->getRuleDayOfWeek() + 6) % 7];
    char date[64];
    switch (r->getDateRuleType()) {
    case icu::DateTimeRule::DOM:
        snprintf(date, sizeof date, "%s %d", month, dayOfMonth);
        break;
    case icu::DateTimeRule::DOW:
        if (r->getRuleWeekInMonth() < 0)
            snprintf(date, sizeof date, "the last %s of %s", weekday, month);
        else
            snprintf(date, sizeof date, "%s number %d of %s", weekday, r->getRuleWeekInMonth(),
                     month);
        break;
    case icu::DateTimeRule::DOW_GEQ_DOM:
        snprintf(date, sizeof date, "%s on or after %s %d", weekday, month, dayOfMonth);
        break;
    default:
        snprintf(date, sizeof date, "%s on or before %s %d", weekday, month, dayOfMonth);
        break;
    }
    int minutes = r->getRuleMillisInDay() / (int)kMsPerMinute;
    char text[128];
    snprintf(text, sizeof text, "%s at %02d:%02d %s", date, minutes / 60, minutes % 60,
             kTimeKinds[r->getTimeRuleType()]);
    return text;
}

}  // namespace mktz
