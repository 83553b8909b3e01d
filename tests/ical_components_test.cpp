#include <gtest/gtest.h>

#include <plstr.h>
#include <string.h>

#include <memory>

#include <unicode/simpletz.h>
#include <unicode/timezone.h>

#include "core/parser/ical_components.h"
#include "public/core_util/gmtime.h"

namespace {

constexpr int32_t kHourMs = 3600000;

struct Rule {
    int offsetMinutes;
    int month;
    int week;
    int dayOfWeek;
    int timeMs;
};

CAL_VZONE* new_sub_zone(const Rule& rule) {
    CAL_VZONE* zone = CAL_VZONE_NEW();
    zone->pDbZone->nOffsetTo = rule.offsetMinutes;
    zone->nMonth = rule.month;
    zone->nWeek = rule.week;
    zone->nDayOfWeek = rule.dayOfWeek;
    zone->nTimeMs = rule.timeMs;
    return zone;
}

struct ZoneRecord {
    CAL_VTIMEZONE* record = CAL_VTIMEZONE_NEW();
    ZoneRecord(const char* tzid, const Rule* standard, const Rule* daylight) {
        record->pDbTimeZone->pTzid = PL_strdup(tzid);
        if (standard) record->pStandard = new_sub_zone(*standard);
        if (daylight) record->pDaylight = new_sub_zone(*daylight);
    }
    ~ZoneRecord() { CAL_VTIMEZONE_FREE(&record); }
    CAL_VTIMEZONE* built() {
        record->pIcuZone = create_SimpleTimeZone(record);
        return record;
    }
};

// The VTIMEZONE of America/New_York today: STANDARD TZOFFSETTO -0500 from
// the 1st Sunday of November 02:00, DAYLIGHT TZOFFSETTO -0400 from the 2nd
// Sunday of March 02:00.
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
    struct tm broken;
    memset(&broken, 0, sizeof(broken));
    broken.tm_year = 125;
    broken.tm_mday = 1;
    const time_t yearStart = mkgmtime(&broken);
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

}  // namespace

TEST(IcalComponents, StandardAndDaylightGiveTheRulesOfTheSubZones) {
    ZoneRecord eastern("US/Eastern", &kEasternStandard, &kEasternDaylight);
    icu::TimeZone* zone = eastern.built()->pIcuZone;
    ASSERT_NE(nullptr, zone);
    UErrorCode status = U_ZERO_ERROR;
    icu::SimpleTimeZone expected(-18000000, "US/Eastern", 2, 2, 1, 7200000, 10, 1, 1, 7200000,
                                 3600000, status);
    ASSERT_TRUE(U_SUCCESS(status));
    EXPECT_TRUE(expected.hasSameRules(*zone));
}

TEST(IcalComponents, BuiltZonesAgreeWithIcuForEveryHourOf2025) {
    ZoneRecord eastern("US/Eastern", &kEasternStandard, &kEasternDaylight);
    expect_same_zone_in_2025(*eastern.built()->pIcuZone, "America/New_York");
    ZoneRecord london("Europe/London", &kLondonStandard, &kLondonDaylight);
    expect_same_zone_in_2025(*london.built()->pIcuZone, "Europe/London");
}

TEST(IcalComponents, StandardAloneHasNoDaylightTime) {
    const Rule india{330, -1, 0, -1, 0};
    ZoneRecord kolkata("Asia/Kolkata", &india, nullptr);
    icu::TimeZone* zone = kolkata.built()->pIcuZone;
    ASSERT_NE(nullptr, zone);
    EXPECT_EQ(19800000, zone->getRawOffset());

    // An unreadable daylight rule (week 0) leaves a zone without daylight time.
    const Rule unreadable{60, -1, 0, -1, 0};
    ZoneRecord odd("X/Odd", &kEasternStandard, &unreadable);
    ASSERT_NE(nullptr, odd.built()->pIcuZone);
    EXPECT_FALSE(odd.record->pIcuZone->useDaylightTime());
    EXPECT_EQ(-18000000, odd.record->pIcuZone->getRawOffset());
}

TEST(IcalComponents, WithoutStandardTheCurrentZoneStays) {
    ZoneRecord daylightOnly("X/DaylightOnly", nullptr, &kEasternDaylight);
    EXPECT_EQ(nullptr, create_SimpleTimeZone(daylightOnly.record));
    icu::TimeZone* existing = icu::TimeZone::createTimeZone("Europe/Paris");
    daylightOnly.record->pIcuZone = existing;
    EXPECT_EQ(existing, create_SimpleTimeZone(daylightOnly.record));
    EXPECT_EQ(nullptr, create_SimpleTimeZone(nullptr));
}

TEST(IcalComponents, FindIgnoresCaseAndSkipsZonesWithoutRules) {
    ZoneRecord daylightOnly("US/Eastern", nullptr, &kEasternDaylight);   // no ICU zone
    ZoneRecord eastern("US/Eastern", &kEasternStandard, &kEasternDaylight);
    ZoneRecord paris("Europe/Paris", &kLondonStandard, nullptr);
    daylightOnly.built();
    eastern.built();
    paris.built();
    array_t* zones = array_new();
    array_append(zones, daylightOnly.record);
    array_append(zones, eastern.record);
    array_append(zones, paris.record);

    EXPECT_EQ(eastern.record, array_findTimeZone("us/eastern", zones));
    EXPECT_EQ(paris.record, array_findTimeZone("Europe/Paris", zones));
    EXPECT_EQ(nullptr, array_findTimeZone("US/Eastern2", zones));
    EXPECT_EQ(nullptr, array_findTimeZone("US/East", zones));
    EXPECT_EQ(nullptr, array_findTimeZone(nullptr, zones));
    EXPECT_EQ(nullptr, array_findTimeZone("US/Eastern", nullptr));
    array_delete(zones);
}

TEST(IcalComponents, ApplyTimeZoneReadsWallClockInTheRecordsZone) {
    ZoneRecord eastern("US/Eastern", &kEasternStandard, &kEasternDaylight);
    eastern.built();
    const time_t noonJuly1 = 1751371200;  // 2025-07-01 12:00:00 UTC: day 181 of 2025
    EXPECT_EQ(noonJuly1 + 4 * 3600,
              CAL_VTIMEZONE_DateTimeApplyTimeZone("20250701T120000", eastern.record));
    EXPECT_EQ(noonJuly1, CAL_VTIMEZONE_DateTimeApplyTimeZone("20250701T120000", nullptr));
    EXPECT_EQ(0, CAL_VTIMEZONE_DateTimeApplyTimeZone("not a time", eastern.record));
}
