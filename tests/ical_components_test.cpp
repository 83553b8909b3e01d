// Rule-based zones made from VTIMEZONE records, checked against ICU's own.
// Finding a zone among the input's and reading a wall clock in it are
// checked through the date-time storers (populate_datetime_test.cpp), zones
// without daylight rules through the VTIMEZONE builder.
#include <gtest/gtest.h>

#include <plstr.h>

#include <memory>
#include <utility>

#include <unicode/timezone.h>

#include "core/parser/ical_components.h"
#include "public/core_util/gmtime.h"

namespace {

constexpr int32_t kHourMs = 3600000;

// A sub-zone: TZOFFSETTO and the yearly rule of its onset.
struct Rule {
    int offsetMinutes, month, week, dayOfWeek, timeMs;
};

// A VTIMEZONE record with a standard and a daylight part, and its ICU zone.
struct ZoneRecord {
    CAL_VTIMEZONE* record = CAL_VTIMEZONE_NEW();
    ZoneRecord(const char* tzid, const Rule& standard, const Rule& summer) {
        record->pDbTimeZone->pTzid = PL_strdup(tzid);
        record->pStandard = part(standard);
        record->pDaylight = part(summer);
        record->pIcuZone = create_SimpleTimeZone(record);
    }
    ~ZoneRecord() { CAL_VTIMEZONE_FREE(&record); }
    static CAL_VZONE* part(const Rule& rule) {
        CAL_VZONE* zone = CAL_VZONE_NEW();
        zone->pDbZone->nOffsetTo = rule.offsetMinutes;
        zone->nMonth = rule.month;
        zone->nWeek = rule.week;
        zone->nDayOfWeek = rule.dayOfWeek;
        zone->nTimeMs = rule.timeMs;
        return zone;
    }
};

// America/New_York today: EST -0500 from the 1st Sunday of November 02:00,
// EDT -0400 from the 2nd Sunday of March 02:00.
const Rule kEasternStandard{-300, 10, 1, 1, 2 * kHourMs};
const Rule kEasternDaylight{-240, 2, 2, 1, 2 * kHourMs};
// Europe/London: GMT, BST from the last Sunday of March 01:00 to the last
// Sunday of October 02:00 (wall-clock times).
const Rule kLondonStandard{0, 9, -1, 1, 2 * kHourMs};
const Rule kLondonDaylight{60, 2, -1, 1, 1 * kHourMs};

int64_t offset_at(const icu::TimeZone& zone, UDate when) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t raw = 0, dst = 0;
    zone.getOffset(when, false, raw, dst, status);
    EXPECT_TRUE(U_SUCCESS(status));
    return (int64_t)raw + dst;
}

// Every hour of 2025, both ways: UTC to offset, and wall clock to UTC.
void expect_same_zone_in_2025(const icu::TimeZone& built, const char* icuId) {
    std::unique_ptr<icu::TimeZone> reference(icu::TimeZone::createTimeZone(icuId));
    const time_t yearStart = 1735689600;  // 2025-01-01 00:00:00 UTC
    int differences = 0;
    for (time_t hour = yearStart; hour < yearStart + 365 * 86400; hour += 3600) {
        if (offset_at(built, hour * 1000.0) != offset_at(*reference, hour * 1000.0))
            differences++;
        char text[32];
        cal_strgmtime(text, sizeof(text), "%Y%m%dT%H%M%S", hour);
        if (timezone_DateTimeApplyTimeZone(text, &built) !=
            timezone_DateTimeApplyTimeZone(text, reference.get()))
            differences++;
    }
    EXPECT_EQ(0, differences) << icuId;
}

TEST(IcalComponents, BuiltZonesAgreeWithIcuForEveryHourOf2025) {
    ZoneRecord eastern("US/Eastern", kEasternStandard, kEasternDaylight);
    expect_same_zone_in_2025(*eastern.record->pIcuZone, "America/New_York");
    ZoneRecord london("Europe/London", kLondonStandard, kLondonDaylight);
    expect_same_zone_in_2025(*london.record->pIcuZone, "Europe/London");
}

// The zones of one input are found by name ignoring letter case; names with
// letters beyond ASCII go through ICU's case folding.
TEST(IcalComponents, InputZonesAreFoundIgnoringCase) {
    ZoneRecord eastern("US/Eastern", kEasternStandard, kEasternDaylight);
    ZoneRecord london("Europe/London", kLondonStandard, kLondonDaylight);
    ZoneRecord accented("\xc3\x89t\xc3\xa9/Zone", kLondonStandard, kLondonDaylight);
    array_t* zones = array_new();
    for (CAL_VTIMEZONE* zone : {eastern.record, london.record, accented.record})
        array_append(zones, zone);
    const std::pair<const char*, CAL_VTIMEZONE*> cases[] = {
        {"Europe/London", london.record}, {"europe/LONDON", london.record},
        {"us/eastern", eastern.record},   {"Europe/Londo", nullptr},
        {"Europe/London ", nullptr},      {"Europe-London", nullptr},
        {"", nullptr},                    {"\xc3\x89t\xc3\xa9/Zone", accented.record},
        {"\xc3\x89t\xc3\xa9/ZONE", accented.record},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.second, array_findTimeZone(c.first, zones)) << c.first;
    EXPECT_EQ(nullptr, array_findTimeZone(nullptr, zones));
    array_delete(zones);
}

}  // namespace
