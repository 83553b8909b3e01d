// Date-time storers: UTC and local texts, dates and their all-day flags, zones
// of the same input and zones of the registry, and date lists.
#include "core/parser/populate.h"

#include <gtest/gtest.h>

#include <string>

#include "core/parser/calparser_time.h"
#include "public/util/config.h"
#include "tests/support/zone_builders.h"

using zone_test::LogCapture;
using zone_test::LogLines;
using zone_test::utc;

namespace {

// The registry holds the fallback zone (UTC, no daylight time) and a
// +01:00/+02:00 zone; the input defines an Eastern zone (-05:00).
class DateTimes : public ::testing::Test {
protected:
    array_t* inputZones = nullptr;
    CALDB_VEVENT* ev = nullptr;
    void** record() { return (void**)&ev; }

    static void SetUpTestSuite() { time_cache_init(); }
    void SetUp() override {
        config_set_string(config_getdefaultcache(), "calstore.default.timezoneID",
                          "Africa/Casablanca");
        ASSERT_EQ(0, zone_test::fill_registry({zone_test::utc_fallback_zone(),
                                               zone_test::central_zone("Europe/Test")}));
        inputZones = array_new();
        array_append(inputZones, zone_test::make_fixed_zone("US/Eastern", -300));
        ev = caldb_NewEvent();
    }
    void TearDown() override {
        CAL_VTIMEZONE_FreeCalVTimeZoneList(inputZones);
        array_delete(inputZones);
        CALPARSER_TIMEZONE_LIST::Instance()->removeAllTimeZones();
        caldb_FreeEvent(&ev);
    }
};

}  // namespace

TEST_F(DateTimes, WithoutZoneUtcAndDefaultZoneFirstSixteenCharacters) {
    int32_t t = 99;
    EXPECT_EQ(0, calparser_storeDateTimePropertyNoTimeZones(&t, "20030701T120000Zextra"));
    EXPECT_EQ((int32_t)utc("20030701T120000"), t);
    EXPECT_EQ(0, calparser_storeDateTimePropertyNoTimeZones(&t, "20030701T120000"));
    EXPECT_EQ((int32_t)utc("20030701T120000"), t);   // the default zone is UTC here
    EXPECT_NE(0, calparser_storeDateTimePropertyNoTimeZones(&t, "garbage"));
    EXPECT_EQ(0, t);   // written even when nothing converted
}

TEST_F(DateTimes, DatesMarkTheStartOrTheEndAsAllDay) {
    EXPECT_EQ(0, calparser_storeDateTimeOrDatePropertyNoTimeZones(&ev->tDtStart, record(), 1,
                                                                  "20030615"));
    EXPECT_EQ((int32_t)utc("20030615"), ev->tDtStart);
    EXPECT_EQ(1u, ev->bDtStartIsDate);
    EXPECT_EQ(0u, ev->bDtEndIsDate);
    // A date that does not exist still says the value was meant all-day.
    EXPECT_EQ(2, calparser_storeDateTimeOrDatePropertyNoTimeZones(&ev->tDtEnd, record(), 0,
                                                                  "20030230"));
    EXPECT_EQ(0, ev->tDtEnd);
    EXPECT_EQ(1u, ev->bDtEndIsDate);
}

TEST_F(DateTimes, ZoneOfTheSameInputIgnoresCaseAndSetsNoAllDayFlag) {
    LogCapture log;
    EXPECT_EQ(0, calparser_storeDateTimeOrDateProperty(&ev->tDtStart, record(), 1,
                                                       "20030101T120000", "us/EASTERN",
                                                       inputZones));
    EXPECT_EQ((int32_t)utc("20030101T170000"), ev->tDtStart);
    EXPECT_EQ(0, calparser_storeDateTimeOrDateProperty(&ev->tDtEnd, record(), 0, "20030102",
                                                       "US/Eastern", inputZones));
    EXPECT_EQ((int32_t)utc("20030102T050000"), ev->tDtEnd);
    EXPECT_EQ(0u, ev->bDtEndIsDate);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(DateTimes, RegistryZoneWhenTheInputHasNoneWithATrace) {
    LogCapture log;
    EXPECT_EQ(0, calparser_storeDateTimeOrDateProperty(&ev->tDtStart, record(), 1,
                                                       "20030701T120000", "Europe/Test",
                                                       inputZones));
    EXPECT_EQ((int32_t)utc("20030701T100000"), ev->tDtStart);   // summer: +02:00
    EXPECT_EQ(0, calparser_storeDateTimeOrDateProperty(&ev->tDtEnd, record(), 0, "20030615",
                                                       "Europe/Test", nullptr));
    EXPECT_EQ((int32_t)utc("20030614T220000"), ev->tDtEnd);
    EXPECT_EQ(0u, ev->bDtEndIsDate);
    EXPECT_EQ(1, calparser_storeDateTimeOrDateProperty(&ev->tDtEnd, record(), 0, nullptr,
                                                       "Europe/Test", inputZones));
    EXPECT_EQ(0, ev->tDtEnd);
    EXPECT_EQ((LogLines{
                  {7, "calparser: TZID of Europe/Test for date/time of 20030701T120000."},
                  {7, "calparser: TZID of Europe/Test for date/time of 20030615."},
                  {7, "calparser: TZID of Europe/Test for date/time of NULL."}}),
              log.lines());

    // Without an id the no-zone rules hold, all-day marking included.
    EXPECT_EQ(0, calparser_storeDateTimeOrDateProperty(&ev->tDtEnd, record(), 0, "20030615",
                                                       nullptr, inputZones));
    EXPECT_EQ(1u, ev->bDtEndIsDate);
}

TEST_F(DateTimes, DateListKeepsTheValuesAboveZero) {
    array_t* list = nullptr;
    EXPECT_EQ(0, calparser_populate_DateTimeList(
                     &list, "20030330T010000Z;bad;19700101T000000Z;20031026T010000Z", nullptr,
                     nullptr));
    ASSERT_NE(nullptr, list);
    ASSERT_EQ(2u, list->count);
    EXPECT_EQ(utc("20030330T010000"), *(time_t*)list->data[0]);
    EXPECT_EQ(utc("20031026T010000"), *(time_t*)list->data[1]);
    for (unsigned i = 0; i < list->count; i++) free(list->data[i]);
    array_delete(list);
    array_t* none = nullptr;
    EXPECT_EQ(0, calparser_populate_DateTimeList(&none, "bad;19700101T000000Z", nullptr, nullptr));
    EXPECT_EQ(nullptr, none);
}
