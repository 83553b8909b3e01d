// Date-time conversion on zones built in memory; expected instants come from
// the day counts written beside them.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

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

class TimeConversion : public ::testing::Test {
protected:
    static void SetUpTestSuite() { time_cache_init(); }
    // Test/DaylightOnly has no standard part, so no rule-based zone.
    void SetUp() override {
        ZoneShape daylightOnly = fixed_zone("Test/DaylightOnly");
        daylightOnly.hasStandard = false;
        daylightOnly.hasDaylight = true;
        ASSERT_EQ(0, fill_registry({utc_fallback_zone(), central_zone("Test/Central"),
                                    fixed_zone("Test/Plus60", 60), daylightOnly}));
    }
    void TearDown() override { CALPARSER_TIMEZONE_LIST::Instance()->removeAllTimeZones(); }

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
