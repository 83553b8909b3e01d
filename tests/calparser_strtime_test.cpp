// Formatting times as text and the daylight-saving tests, on zones built in memory.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "core/parser/calparser_strtime.h"
#include "core/parser/calparser_time.h"
#include "tests/support/zone_builders.h"

using namespace zone_test;

namespace {

constexpr time_t kNoon20030101 = 1041422400;  // 2003-01-01 12:00:00 UTC
constexpr const char* kICal = "%Y%m%dT%H%M%SZ";

class Formatting : public ::testing::Test {
protected:
    static void SetUpTestSuite() { time_cache_init(); }
    void SetUp() override {
        ZoneShape crossingsOnly = central_zone("Test/CrossingsOnly");
        crossingsOnly.hasDaylight = false;
        ASSERT_EQ(0, fill_registry({utc_fallback_zone(), central_zone("Test/Central"),
                                    fixed_zone("Test/Plus60", 60),
                                    fixed_zone("Test/Minus330", -330), crossingsOnly}));
    }
    void TearDown() override { CALPARSER_TIMEZONE_LIST::Instance()->removeAllTimeZones(); }

    static std::string local(time_t t, const char* tzid, int size = 64, int expected = 0) {
        char buffer[64];
        memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(expected, calparser_strtime(buffer, size, kICal, t, tzid));
        return buffer;
    }
    static std::string gmt(time_t t, const char* format = kICal, int size = 64) {
        char buffer[64];
        memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(0, calparser_strgmtime(buffer, size, format, t, nullptr));
        return buffer;
    }
    // The zone's offset at `when` as "+HH:MM".
    static std::string offset(const char* tzid, time_t when) {
        int hours = -1, minutes = -1;
        char sign = '?';
        EXPECT_EQ(0, cal_strcustomtimezone(tzid, when, &hours, &minutes, &sign)) << tzid;
        char text[16];
        snprintf(text, sizeof text, "%c%02d:%02d", sign, hours, minutes);
        return text;
    }
};

}  // namespace

// Crossings alone are enough, even without a daylight part.
TEST_F(Formatting, TimeSpanCrossesAChangeOfTheZone) {
    time_t january = utc("20030115T120000Z"), july = utc("20030701T120000Z");
    EXPECT_EQ(1, doesTimeSpanCrossDST(january, july, "Test/Central"));
    EXPECT_EQ(0, doesTimeSpanCrossDST(january, utc("20031215T120000Z"), "Test/Central"));
    EXPECT_EQ(0, doesTimeSpanCrossDST(january, july, "Mars/Olympus"));
    EXPECT_EQ(1, doesTimeSpanCrossDST(january, july, "Test/CrossingsOnly"));
}

// The local day differs from the UTC day across months, years and the
// table's ends; outside the tables the rule-based zone writes the text. A
// zone that is not registered is reported on both paths: the day tables write
// the default zone's time (Africa/Casablanca, UTC), the rule-based path
// nothing. No zone at all means the default zone, silently.
TEST_F(Formatting, LocalTextInAndOutsideTheTables) {
    EXPECT_EQ("20030228T223000", local(utc("20030301T040000Z"), "Test/Minus330"));
    EXPECT_EQ("19900101T003000", local(utc("19891231T233000Z"), "Test/Plus60"));
    EXPECT_EQ("20110101T003000", local(utc("20101231T233000Z"), "Test/Plus60"));
    EXPECT_EQ("19891231T213000", local(utc("19900101T030000Z"), "Test/Minus330"));
    EXPECT_EQ("19921231T000000Z", gmt(utc("19921231T000000Z")));  // day 366 of a leap year

    const time_t june2015 = utc("20150601T120000Z");
    EXPECT_EQ("20030101T120000", local(kNoon20030101, "Mars/Olympus", 64, 1));
    EXPECT_EQ("", local(june2015, "Mars/Olympus", 64, 1));
}

// The iCalendar text needs 17 bytes in UTC and 16 in local time. Any other
// format goes through NSPR's formatter; "%Q" passes it untouched and then
// becomes the offset, cut where the buffer ends. Time 0 is now.
TEST_F(Formatting, ShortBuffersAndOtherFormats) {
    EXPECT_EQ("20030101T120000Z", gmt(kNoon20030101, kICal, 17));
    EXPECT_EQ("", gmt(kNoon20030101, kICal, 16));
    EXPECT_EQ("20030101T130000", local(kNoon20030101, "Test/Plus60", 16));
    EXPECT_EQ("", local(kNoon20030101, "Test/Plus60", 15));
    EXPECT_EQ("", local(kNoon20030101, "Mars/Olympus", 16, 1));
    EXPECT_EQ(0, calparser_strgmtime(nullptr, 64, kICal, kNoon20030101, nullptr));

    EXPECT_EQ("12:00 GMT+0000!", gmt(kNoon20030101, "%H:%M %Q!"));
    EXPECT_EQ("12:00 GMT+0", gmt(kNoon20030101, "%H:%M %Q!", 12));
    EXPECT_EQ("2003-01-01", gmt(kNoon20030101, "%Y-%m-%d"));
    EXPECT_LE(2024, std::stoi(gmt(0, "%Y")));
}

TEST_F(Formatting, CustomZoneOffsetSignAndMagnitude) {
    EXPECT_EQ("-00:00", offset("Africa/Casablanca", kNoon20030101));
    EXPECT_EQ("-05:30", offset("Test/Minus330", kNoon20030101));
    EXPECT_EQ("+02:00", offset("Test/Central", utc("20030701T000000Z")));
}
