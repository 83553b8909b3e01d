/* One zone ID turned into the entry the registry file holds for it. */
#include "tools/mktzfile/tz_zone.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include <unicode/timezone.h>

#include "tools/mktzfile/tz_date.h"

namespace mktz {

namespace {

std::string utf8(const icu::UnicodeString& s) {
    std::string out;
    s.toUTF8String(out);
    return out;
}

UDate reference_instant() {
    return (UDate)(days_from_civil(kReferenceYear, 1, 1) * kMsPerDay);
}

/* The other IDs ICU gives for the same zone data (links and their target), sorted. */
std::vector<std::string> aliases_of(const std::string& id) {
    icu::UnicodeString uid = icu::UnicodeString::fromUTF8(id);
    std::vector<std::string> aliases;
    int32_t count = icu::TimeZone::countEquivalentIDs(uid);
    for (int32_t i = 0; i < count; i++) {
        std::string alias = utf8(icu::TimeZone::getEquivalentID(uid, i));
        if (!alias.empty() && alias != id) aliases.push_back(alias);
    }
    std::sort(aliases.begin(), aliases.end());
    aliases.erase(std::unique(aliases.begin(), aliases.end()), aliases.end());
    return aliases;
}

std::string name_at(const icu::TimeZoneFormat& names, const icu::TimeZone& zone, UDate when) {
    icu::UnicodeString name;
    names.format(UTZFMT_STYLE_SPECIFIC_SHORT, zone, when, name, nullptr);
    return utf8(name);
}

std::string week_rule_words(const WeekRule& r) {
    static const char* const kWeekdays[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                             "Thursday", "Friday", "Saturday"};
    static const char* const kMonths[12] = {"January", "February", "March",     "April",
                                            "May",     "June",     "July",      "August",
                                            "September", "October", "November", "December"};
    char text[96];
    if (r.week < 0)
        snprintf(text, sizeof text, "the last %s of %s", kWeekdays[r.weekday - 1],
                 kMonths[r.month - 1]);
    else
        snprintf(text, sizeof text, "%s number %d of %s", kWeekdays[r.weekday - 1], r.week,
                 kMonths[r.month - 1]);
    return text;
}

/* A COMMENT for a rule the week-of-month form cannot state exactly; empty otherwise. */
std::string approximation_note(const WeekRule& r) {
    if (r.matchingYears >= kRuleCheckYears) return std::string();
    char text[256];
    snprintf(text, sizeof text,
             "The time-zone database changes on the %s. Written as %s: the same day in %d of "
             "%d years.",
             r.icuRule.c_str(), week_rule_words(r).c_str(), r.matchingYears, kRuleCheckYears);
    return text;
}

void fill_daylight_zone(const icu::BasicTimeZone& zone, const icu::TimeZoneFormat& names,
                        const icu::AnnualTimeZoneRule& daylightRule,
                        const icu::AnnualTimeZoneRule& standardRule, ZoneEntry* entry) {
    int32_t rawMs = standardRule.getRawOffset();
    int32_t savingsMs = daylightRule.getDSTSavings();
    entry->hasDaylight = true;

    Observance& d = entry->daylight;
    d.offsetFromSeconds = rawMs / 1000;
    d.offsetToSeconds = (rawMs + savingsMs) / 1000;
    d.hasRule = true;
    d.rule = to_week_rule(daylightRule, rawMs, 0);
    d.comment = approximation_note(d.rule);

    Observance& s = entry->standard;
    s.offsetFromSeconds = (rawMs + savingsMs) / 1000;
    s.offsetToSeconds = rawMs / 1000;
    s.hasRule = true;
    s.rule = to_week_rule(standardRule, rawMs, savingsMs);
    s.comment = approximation_note(s.rule);

    // Each name is taken a day into its period of the reference year.
    UDate daylightStart = 0;
    UDate standardStart = 0;
    daylightRule.getStartInYear(kReferenceYear, rawMs, 0, daylightStart);
    standardRule.getStartInYear(kReferenceYear, rawMs, savingsMs, standardStart);
    d.name = name_at(names, zone, daylightStart + (UDate)kMsPerDay);
    s.name = name_at(names, zone, standardStart + (UDate)kMsPerDay);
}

/* A zone without yearly daylight rules keeps the offset it has at the reference instant. */
bool fill_standard_zone(const icu::BasicTimeZone& zone, const icu::TimeZoneFormat& names,
                        ZoneEntry* entry) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t rawMs = 0;
    int32_t dstMs = 0;
    zone.getOffset(reference_instant(), false, rawMs, dstMs, status);
    if (U_FAILURE(status)) return false;
    entry->standard.offsetFromSeconds = (rawMs + dstMs) / 1000;
    entry->standard.offsetToSeconds = (rawMs + dstMs) / 1000;
    entry->standard.name = name_at(names, zone, reference_instant());
    return true;
}

void fill_fallback_zone(ZoneEntry* entry) {
    entry->standard.name = "GMT";
    entry->standard.comment =
        "Written at UTC without daylight time: conversions fall back to this zone.";
}

}  // namespace

bool describe_zone(const std::string& id, const icu::TimeZoneFormat& names, ZoneEntry* entry) {
    std::unique_ptr<icu::TimeZone> zone(
        icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(id)));
    auto basic = dynamic_cast<const icu::BasicTimeZone*>(zone.get());
    if (!basic || *zone == icu::TimeZone::getUnknown()) return false;

    entry->id = id;
    entry->aliases = aliases_of(id);
    if (id == kFallbackZoneId) {
        fill_fallback_zone(entry);
        return true;
    }
    const icu::AnnualTimeZoneRule* daylightRule = nullptr;
    const icu::AnnualTimeZoneRule* standardRule = nullptr;
    if (find_rules_in_force(*basic, kReferenceYear, &daylightRule, &standardRule))
        fill_daylight_zone(*basic, names, *daylightRule, *standardRule, entry);
    else if (!fill_standard_zone(*basic, names, entry))
        return false;
    entry->crossings = daylight_crossings(*basic, kFirstCrossingYear, kLastCrossingYear);
    return true;
}

}  // namespace mktz
