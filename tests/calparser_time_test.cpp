// Date-time conversion both ways (text to time, time to text), the
// daylight-saving tests and the zone names other programs write, on zones built
// in memory; expected instants come from the day counts written beside them.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "core/parser/calparser_strtime.h"
#include "core/parser/calparser_time.h"
#include "public/util/config.h"
#include "tests/support/heap_failure.h"
#include "tests/support/zone_builders.h"

using namespace zone_test;

namespace {

constexpr time_t k2003 = 1041379200;  // 2003-01-01 00:00:00 UTC
constexpr time_t kDay = 86400;

// 2003: 30 March is day 88 of the year, 1 July day 181, 26 October day 298
// (counting 1 January as day 0).
constexpr time_t kMarch30 = k2003 + 88 * kDay;
constexpr time_t kJuly1 = k2003 + 181 * kDay;
constexpr time_t kOctober26 = k2003 + 298 * kDay;
constexpr time_t kNoon20030101 = k2003 + 12 * 3600;
constexpr const char* kICal = "%Y%m%dT%H%M%SZ";
constexpr const char* kForeignNamesKey = "calstore.timezone.resolve_foreign_names";

class TimeConversion : public ::testing::Test {
protected:
    static void SetUpTestSuite() { time_cache_init(); }
    // Test/DaylightOnly has no standard part, so no rule-based zone;
    // Test/CrossingsOnly has the crossings of Test/Central but no daylight part.
    void SetUp() override {
        ZoneShape daylightOnly = fixed_zone("Test/DaylightOnly");
        daylightOnly.hasStandard = false;
        daylightOnly.hasDaylight = true;
        ZoneShape crossingsOnly = central_zone("Test/CrossingsOnly");
        crossingsOnly.hasDaylight = false;
        ASSERT_EQ(0, fill_registry({utc_fallback_zone(), central_zone("Test/Central"),
                                    fixed_zone("Test/Plus60", 60),
                                    fixed_zone("Test/Minus330", -330), daylightOnly,
                                    crossingsOnly, fixed_zone("Europe/Berlin", 60),
                                    fixed_zone("America/New_York", -300)}));
    }
    void TearDown() override {
        config_set_string(config_getdefaultcache(), kForeignNamesKey, nullptr);
        CALPARSER_TIMEZONE_LIST::Instance()->removeAllTimeZones();
    }

    // The instant each converter gives for `text` in `tzid`, its result checked.
    static time_t local(const char* text, const char* tzid, int expectedStatus = 0) {
        time_t t = -7;
        EXPECT_EQ(expectedStatus, calparser_timecache_datez_to_timet(text, &t, nullptr, tzid))
            << text;
        return t;
    }
    static time_t general(const char* text, const char* tzid, int expectedStatus = 0) {
        time_t t = -7;
        EXPECT_EQ(expectedStatus, calparser_datez_to_timet(text, &t, nullptr, tzid)) << text;
        return t;
    }
    static time_t applied(const char* text, const char* tzid, int expectedStatus = 0) {
        time_t t = -7;
        int aux = 5;  // never read nor written
        EXPECT_EQ(expectedStatus, calparser_applyTimeZoneToString(&t, &aux, text, tzid)) << text;
        EXPECT_EQ(5, aux);
        return t;
    }
    static std::string local_text(time_t t, const char* tzid, int size = 64, int expected = 0) {
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
    // The UTC text of noon on `day` in the zone named `tzid`, and the lines logged.
    static std::string noon(const char* day, const char* tzid, LogLines* pLog) {
        const std::string text = std::string(day) + "T120000";
        LogCapture capture;
        time_t t = 0;
        EXPECT_EQ(0, calparser_datez_to_timet(text.c_str(), &t, nullptr, tzid)) << tzid;
        *pLog = capture.lines();
        return wall_text(t) + "Z";
    }
};

}  // namespace

// The zone of the worked example: +01:00, daylight +02:00 from 2003-03-30 01:00 UTC
// to 2003-10-26 01:00 UTC. Days missing from the table and texts outside it
// are refused by the table.
TEST_F(TimeConversion, LocalTimesFollowTheCrossings) {
    const char* z = "Test/Central";
    EXPECT_EQ(kMarch30 + 5400, local("20030330T023000", z));     // in the gap: standard
    EXPECT_EQ(kMarch30 + 3600, local("20030330T030000", z));     // first daylight time
    EXPECT_EQ(kOctober26 + 3600, local("20031026T020000", z));   // repeated hour: standard
    EXPECT_EQ(k2003 + 424 * kDay + 12 * 3600, local("20040229T120000Z", nullptr));
    EXPECT_EQ(-7, local("20030229T120000Z", nullptr, 2));  // a missing day leaves the time
    EXPECT_EQ(0, local("2003010", nullptr, 2));  // invalid text clears the time
    // The check leaves 29 February to the table.
    for (const char* text : {"20030229", "20030230", "20031301", "20030100", "20030101T240000",
                             "20030101T006000", "20030101T000060", "+2003010", "20030101T120000Z0"})
        EXPECT_EQ(strcmp(text, "20030229") ? 2 : 0,
                  calparser_validate_isodate(text, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             nullptr, nullptr))
            << text;
    local("19891231T120000Z", nullptr, 4);
    local("20110101T000000", nullptr, 4);
}

// Outside 1990..2010 a local text goes through the zone's rule-based zone
// (+01:00). Only an upper-case Z marks UTC, on either side of the tables.
TEST_F(TimeConversion, GeneralConversionFallsBackOutsideTheTables) {
    time_t t = 0;
    int isDate = -1;
    EXPECT_EQ(0, calparser_datez_to_timet("20030615", &t, &isDate, "Test/Central"));
    EXPECT_EQ(1, isDate);
    EXPECT_EQ(k2003 + 165 * kDay - 2 * 3600, t);  // local midnight in daylight time
    EXPECT_EQ(utc("19850615T110000Z"), general("19850615T120000", "Test/Central"));
    for (const char* year : {"1980", "2003", "2015"})
        EXPECT_EQ(utc(year + std::string("0101T110000Z")),
                  general((year + std::string("0101T120000z")).c_str(), "Test/Plus60"));
    EXPECT_EQ(utc("19800101T120000Z"), general("19800101T120000Z", "Test/Plus60"));
    general("20031301T000000", "Test/Central", 2);
    // No text: time 0. No place for the time: each converter's failure code.
    EXPECT_EQ(0, calparser_datez_to_timet(nullptr, &t, nullptr, nullptr));
    EXPECT_EQ(0, t);
    EXPECT_EQ(1, calparser_datez_to_timet("20030615", nullptr, nullptr, nullptr));
    EXPECT_EQ(2, calparser_timecache_datez_to_timet("20030615", nullptr, nullptr, nullptr));
}

// A UTC text needs no zone; without a rule-based zone a local text is read as
// UTC and the result says so. An unknown zone falls back to the configured
// default zone, then to Africa/Casablanca, then to UTC, each step logged.
TEST_F(TimeConversion, RegistryConversionFallsBackStepByStep) {
    EXPECT_EQ(1041422400, applied("20030101T120000Z", "Mars/Olympus"));
    applied("20030229T120000", "Test/Plus60", 2);
    EXPECT_EQ(kJuly1 + 12 * 3600, applied("20030701T120000", "Test/DaylightOnly", 1));

    config_cache* config = config_getdefaultcache();
    ASSERT_EQ(0, config_set_string(config, "calstore.default.timezoneID", "Test/Plus60"));
    LogCapture log;
    EXPECT_EQ(utc("20300701T110000Z"), applied("20300701T120000", "Venus/Base"));
    EXPECT_EQ((LogLines{{4, "calparser: TimeZone \"Venus/Base\" not found\n."}}), log.lines());
    ASSERT_EQ(0, config_set_string(config, "calstore.default.timezoneID", "Mars/Base"));
    log.clear();
    EXPECT_EQ(utc("20300701T120000Z"), applied("20300701T120000", nullptr));  // silently
    EXPECT_TRUE(log.lines().empty());
    ASSERT_EQ(0, config_set_string(config, "calstore.default.timezoneID", nullptr));

    CALPARSER_TIMEZONE_LIST::Instance()->removeAllTimeZones();
    EXPECT_EQ(kJuly1 + 12 * 3600, applied("20030701T120000", "Test/Central", 1));
    EXPECT_EQ(kJuly1 + 12 * 3600, general("20030701T120000", "Test/Central"));
    EXPECT_EQ((LogLines{
                  {4, "calparser: TimeZone \"Test/Central\" not found\n."},
                  {6, "calparser: Local TimeZone \"Africa/Casablanca\" not found\n."},
                  {4, "calparser: Timezone Test/Central not found in timezones.ics file.  "
                      "Assuming GMT."}}),
              log.lines());
}

// Whichever allocation fails, the tables in use stay as they were, nothing leaks
// and the failure is logged.
TEST_F(TimeConversion, FillingTablesKeepsThePreviousOnesWhenMemoryRunsOut) {
    if (!HEAP_FAILURE_HOOK) GTEST_SKIP() << "the sanitizer owns the heap";
    const time_t* days = getTimeCache()->pDays;
    char*** strings = getTimeStringCache()->ppDayStrings;
    {
        LogCapture log;
        heap_failure::FailAt fail(0);
        time_cache_init();
        EXPECT_EQ((LogLines{{3, "calparser: Out of memory while filling the day tables."}}),
                  log.lines());
    }
    // A sink that allocates nothing, so that the heap's live blocks can be counted.
    kvallog_sink_t previous = kvallog_set_sink([](void*, int, const char*) {}, nullptr);
    for (long failAt : {1L, 2L, 3L, 4L, 5L, 6000L}) {
        long before = heap_failure::g_live_blocks;
        {
            heap_failure::FailAt fail(failAt);
            time_cache_init();
        }
        EXPECT_EQ(before, heap_failure::g_live_blocks) << "allocation " << failAt;
        EXPECT_EQ(days, getTimeCache()->pDays);
        EXPECT_EQ(strings, getTimeStringCache()->ppDayStrings);
    }
    kvallog_set_sink(previous, nullptr);
    EXPECT_EQ(kMarch30 + 5400, local("20030330T023000", "Test/Central"));
}

// Crossings alone are enough, even without a daylight part.
TEST_F(TimeConversion, TimeSpanCrossesAChangeOfTheZone) {
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
TEST_F(TimeConversion, LocalTextInAndOutsideTheTables) {
    EXPECT_EQ("20030228T223000", local_text(utc("20030301T040000Z"), "Test/Minus330"));
    EXPECT_EQ("19900101T003000", local_text(utc("19891231T233000Z"), "Test/Plus60"));
    EXPECT_EQ("20110101T003000", local_text(utc("20101231T233000Z"), "Test/Plus60"));
    EXPECT_EQ("19891231T213000", local_text(utc("19900101T030000Z"), "Test/Minus330"));
    EXPECT_EQ("19921231T000000Z", gmt(utc("19921231T000000Z")));  // day 366 of a leap year

    const time_t june2015 = utc("20150601T120000Z");
    EXPECT_EQ("20030101T120000", local_text(kNoon20030101, "Mars/Olympus", 64, 1));
    EXPECT_EQ("", local_text(june2015, "Mars/Olympus", 64, 1));
}

// The iCalendar text needs 17 bytes in UTC and 16 in local time. Any other
// format goes through NSPR's formatter; "%Q" passes it untouched and then
// becomes the offset, cut where the buffer ends. Time 0 is now.
TEST_F(TimeConversion, ShortBuffersAndOtherFormats) {
    EXPECT_EQ("20030101T120000Z", gmt(kNoon20030101, kICal, 17));
    EXPECT_EQ("", gmt(kNoon20030101, kICal, 16));
    EXPECT_EQ("20030101T130000", local_text(kNoon20030101, "Test/Plus60", 16));
    EXPECT_EQ("", local_text(kNoon20030101, "Test/Plus60", 15));
    EXPECT_EQ("", local_text(kNoon20030101, "Mars/Olympus", 16, 1));
    EXPECT_EQ(0, calparser_strgmtime(nullptr, 64, kICal, kNoon20030101, nullptr));

    EXPECT_EQ("12:00 GMT+0000!", gmt(kNoon20030101, "%H:%M %Q!"));
    EXPECT_EQ("12:00 GMT+0", gmt(kNoon20030101, "%H:%M %Q!", 12));
    EXPECT_EQ("2003-01-01", gmt(kNoon20030101, "%Y-%m-%d"));
    EXPECT_LE(2024, std::stoi(gmt(0, "%Y")));
}

TEST_F(TimeConversion, CustomZoneOffsetSignAndMagnitude) {
    EXPECT_EQ("-00:00", offset("Africa/Casablanca", kNoon20030101));
    EXPECT_EQ("-05:30", offset("Test/Minus330", kNoon20030101));
    EXPECT_EQ("+02:00", offset("Test/Central", utc("20030701T000000Z")));
}

// A Windows name is read as its zone, with one level-6 line (the prefixed forms
// are read in the calendars of tests/data/foreign_zones by the libical
// differential test).
// Only exact names count: letter case, a name without the leading "/" and a
// path whose tail is no zone keep the usual fallback (the default zone, UTC
// here) and its lines; so does every foreign name when the key is 0.
TEST_F(TimeConversion, ForeignZoneNamesExactOnlyAndNotWithKeyZero) {
    LogLines read;
    EXPECT_EQ("20150601T170000Z", noon("20150601", "Eastern Standard Time", &read));
    EXPECT_EQ((LogLines{{6, "calparser: TimeZone \"Eastern Standard Time\" read as "
                            "\"America/New_York\"."}}),
              read);
    auto expect_fallback = [](const char* tzid) {
        SCOPED_TRACE(tzid);
        LogLines log;
        EXPECT_EQ("20150601T120000Z", noon("20150601", tzid, &log));
        EXPECT_EQ((LogLines{{4, std::string("calparser: TimeZone \"") + tzid + "\" not found\n."}}),
                  log);
        EXPECT_EQ("20030601T120000Z", noon("20030601", tzid, &log));
        EXPECT_EQ((LogLines{{4, std::string("calparser: Timezone ") + tzid +
                                    " not found in timezones.ics file.  Assuming GMT."}}),
                  log);
    };
    for (const char* tzid : {"/test/plus60", "mozilla.org/Europe/Berlin", "/Europe/Nowhere",
                             "w. europe standard time"})
        expect_fallback(tzid);
    ASSERT_EQ(0, config_set_string(config_getdefaultcache(), kForeignNamesKey, "0"));
    expect_fallback("Eastern Standard Time");
    expect_fallback("/mozilla.org/America/New_York");
}
