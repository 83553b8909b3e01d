#include <gtest/gtest.h>

#include <memory>

#include <unicode/timezone.h>

#include "public/core_util/gmtime.h"
#include "public/core_util/timezone.h"

namespace {

constexpr int32_t kHourMs = 3600000;

time_t utc(int year, int month, int day, int hour, int minute = 0) {
    long long seconds = 0;
    cal_gmtime_fields_to_seconds(year, month, day, hour, minute, 0, &seconds);
    return (time_t)seconds;
}

using Zone = std::unique_ptr<icu::TimeZone>;

// America/New_York's rules since 2007: EST -5, EDT from the 2nd Sunday of
// March 02:00 to the 1st Sunday of November 02:00.
Zone new_york_rules() {
    return Zone(timezone_CreateSimpleTimeZone(-5 * kHourMs, "US/Eastern", 2, 2, 1, 2 * kHourMs,
                                              10, 1, 1, 2 * kHourMs, kHourMs));
}

std::string wall_text(time_t time, const icu::TimeZone* zone) {
    char storage[32] = "unchanged";
    char* buffer = storage;
    EXPECT_EQ(0, timezone_DateTimeApplyTimeZoneToString(time, zone, &buffer, sizeof(storage)));
    return storage;
}

}  // namespace

// 02:30 does not exist on 9 March and 01:30 happens twice on 2 November:
// both read as standard time (EST), as the conversion tables read them; rule
// instances keep RFC 5545's reading, the first 01:30. Only an upper-case Z
// marks UTC; no zone means UTC; not a time, or beyond the 32-bit range: 0.
TEST(Timezone, ConversionsBothWaysAcrossDaylightChanges) {
    Zone eastern = new_york_rules();
    auto in_eastern = [&eastern](const char* text) {
        return timezone_DateTimeApplyTimeZone(text, eastern.get());
    };
    EXPECT_EQ(utc(2025, 7, 1, 4), in_eastern("20250701"));
    EXPECT_EQ(utc(2025, 3, 9, 7, 30), in_eastern("20250309T023000"));
    EXPECT_EQ(utc(2025, 11, 2, 6, 30), in_eastern("20251102T013000"));
    EXPECT_EQ(utc(2025, 11, 2, 7), in_eastern("20251102T020000"));
    EXPECT_EQ(1041422400, in_eastern("20030101T120000Z"));
    EXPECT_EQ(1041422400 + 5 * 3600, in_eastern("20030101T120000z"));
    EXPECT_EQ(1041422400, timezone_DateTimeApplyTimeZone("20030101T120000", nullptr));
    for (const char* text : {"20250230T120000", "20400101T000000", "20250701T1200", "2025ZZ",
                             "20250701T126000"})
        EXPECT_EQ(0, in_eastern(text)) << text;
    long long instance = 0;
    ASSERT_EQ(0, timezone_WallClockToUtc(eastern.get(), utc(2025, 11, 2, 1, 30), &instance));
    EXPECT_EQ(utc(2025, 11, 2, 5, 30), instance);

    // Back to wall-clock text: both UTC hours of 2 November read 01:00. A
    // buffer too short, or a year past 9999, gets nothing.
    EXPECT_EQ("20251102T010000", wall_text(utc(2025, 11, 2, 5), eastern.get()));
    EXPECT_EQ("20251102T010000", wall_text(utc(2025, 11, 2, 6), eastern.get()));
    EXPECT_EQ("20030101T120000", wall_text(1041422400, nullptr));
    char storage[32] = "unchanged";
    char* buffer = storage;
    EXPECT_EQ(1, timezone_DateTimeApplyTimeZoneToString(0, eastern.get(), &buffer, 15));
    EXPECT_STREQ("unchanged", storage);
    EXPECT_EQ(2, timezone_DateTimeApplyTimeZoneToString((time_t)300000000000LL, nullptr,
                                                        &buffer, sizeof storage));
    EXPECT_STREQ("", storage);
}

// Rules ICU refuses give no zone; a rule that saves nothing gives a zone
// without daylight time.
TEST(Timezone, RefusedAndDegenerateRules) {
    EXPECT_EQ(nullptr, timezone_CreateSimpleTimeZone(0, nullptr, 2, 2, 1, 0, 10, 1, 1, 0, kHourMs));
    EXPECT_EQ(nullptr, timezone_CreateSimpleTimeZone(0, "Bad/Rule", 13, 2, 1, 0, 10, 1, 1, 0,
                                                     kHourMs));
    Zone flat(timezone_CreateSimpleTimeZone(kHourMs, "Test/Flat", 2, 2, 1, 0, 10, 1, 1, 0, 0));
    ASSERT_NE(nullptr, flat);
    EXPECT_FALSE(flat->useDaylightTime());
    EXPECT_EQ(utc(2025, 7, 1, 11), timezone_DateTimeApplyTimeZone("20250701T120000", flat.get()));
}
