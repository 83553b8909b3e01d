/* What the generator knows about one zone ID, in the shape the registry file gives it:
 * the rules in force at a fixed reference instant, reduced to the week-of-month form
 * (month, week or last week, weekday, wall-clock time), and the daylight-saving
 * crossings of a span of years in UTC. Filled from ICU's time-zone database. */
#ifndef MKTZFILE_TZ_ZONE_H
#define MKTZFILE_TZ_ZONE_H

#include <cstdint>
#include <string>
#include <vector>

#include <unicode/basictz.h>
#include <unicode/tzfmt.h>
#include <unicode/tzrule.h>

namespace mktz {

/* Rules are those in force on 1 January of this year (00:00 UTC), so that the file does
 * not depend on the day it is generated. */
constexpr int kReferenceYear = 2026;

/* A week-of-month rule is compared with ICU's own rule over this many years from the
 * reference year: 28 years hold every weekday of every date in common and leap years. */
constexpr int kRuleCheckYears = 28;

/* The crossings cover these years (the span of the library's day tables). */
constexpr int kFirstCrossingYear = 1990;
constexpr int kLastCrossingYear = 2010;

/* The zone every conversion falls back to; written at UTC without daylight time. */
constexpr const char* kFallbackZoneId = "Africa/Casablanca";

/* A yearly change as the registry reads it from RRULE and DTSTART. */
struct WeekRule {
    int month = 0;         // 1..12
    int week = 0;          // 1..4, or -1 for the last such weekday of the month
    int weekday = 0;       // 1 = Sunday .. 7 = Saturday
    int wallMinutes = 0;   // local wall-clock time of the change, in the time before it
    int matchingYears = 0; // years of kRuleCheckYears in which the rule falls on ICU's date
    std::string icuRule;   // ICU's rule in words, for a comment when it is not matched exactly
};

/* One STANDARD or DAYLIGHT sub-component. Offsets are seconds east of UTC. */
struct Observance {
    int offsetFromSeconds = 0;
    int offsetToSeconds = 0;
    bool hasRule = false;
    WeekRule rule;
    std::string name;     // TZNAME; empty when none is written
    std::string comment;  // COMMENT; empty when none is written
};

/* One VTIMEZONE of the file. */
struct ZoneEntry {
    std::string id;
    std::vector<std::string> aliases;  // other IDs of the same zone, sorted
    Observance standard;
    bool hasDaylight = false;
    Observance daylight;
    std::vector<int64_t> crossings;    // UTC seconds: a start, then alternately end and start
};

/* Finds the two yearly rules of `zone` in force in `year`: the daylight-time rule and the
 * standard-time rule. Returns true and sets both (pointers owned by `zone`) when the zone
 * keeps daylight time by yearly rules in that year, else false and leaves them alone. */
bool find_rules_in_force(const icu::BasicTimeZone& zone, int year,
                         const icu::AnnualTimeZoneRule** daylightRule,
                         const icu::AnnualTimeZoneRule** standardRule);

/* Reduces ICU's yearly `rule` to the week-of-month rule that falls on the same local date in
 * the most years of kRuleCheckYears from kReferenceYear. `prevRawMs` and `prevDstMs` are the
 * offsets in force before the change; the time written is the wall-clock time then. */
WeekRule to_week_rule(const icu::AnnualTimeZoneRule& rule, int32_t prevRawMs, int32_t prevDstMs);

/* ICU's statement of `rule` in words, e.g. "Friday on or after March 23 at 02:00 wall time". */
std::string describe_icu_rule(const icu::AnnualTimeZoneRule& rule);

/* The daylight-saving crossings of `zone` from `firstYear` through `lastYear`, in UTC
 * seconds, ascending: starts of daylight time at even positions, ends at odd ones. When the
 * zone is in daylight time as the span begins, the start before the span comes first; when
 * it is in daylight time as the span ends, the end after the span comes last. Changes of
 * the standard offset alone are not crossings. Empty for a zone without daylight time. */
std::vector<int64_t> daylight_crossings(const icu::BasicTimeZone& zone, int firstYear,
                                        int lastYear);

/* Fills `entry` for the zone ID `id`, naming its observances with `names` (short specific
 * names such as "EST", "GMT+9"). The fallback zone is written at UTC without daylight time
 * and without crossings, whatever ICU says of it. Returns false when ICU does not know
 * the ID or gives no rule data for it. */
bool describe_zone(const std::string& id, const icu::TimeZoneFormat& names, ZoneEntry* entry);

}  // namespace mktz

#endif
