// Date-time storers: zones of the same input and zones of the registry. The
// all-day flags of dates are checked through the builders.
#include "core/parser/populate.h"

#include <gtest/gtest.h>

#include <string>

#include "core/parser/calparser_time.h"
#include "core/parser/ical_components.h"
#include "public/util/config.h"
#include "tests/support/zone_builders.h"

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

// A zone of the same input is found ignoring case (beyond ASCII through
// case folding), else the registry's, with a trace; a date read in a zone is
// no all-day date.
TEST_F(DateTimes, InputZoneIgnoringCaseThenRegistryZoneWithATrace) {
    array_append(inputZones, zone_test::make_fixed_zone("\xc3\x89t\xc3\xa9/Zone", 0));
    EXPECT_EQ(inputZones->data[1], array_findTimeZone("\xc3\xa9T\xc3\x89/zone", inputZones));
    EXPECT_EQ(nullptr, array_findTimeZone("US/Easter", inputZones));
    LogCapture log;
    EXPECT_EQ(0, calparser_storeDateTimeOrDateProperty(&ev->tDtStart, record(), 1,
                                                       "20030101T120000", "us/EASTERN",
                                                       inputZones));
    EXPECT_EQ((int32_t)utc("20030101T170000"), ev->tDtStart);
    EXPECT_TRUE(log.lines().empty());
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
}
