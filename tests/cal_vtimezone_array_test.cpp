// The time-zone registry, on zones built in memory.
#include <gtest/gtest.h>

#include "core/parser/cal_vtimezone_array.h"
#include "tests/support/nspr_capture.h"
#include "tests/support/zone_builders.h"

using namespace zone_test;

namespace {

class Registry : public ::testing::Test {
protected:
    void TearDown() override { CALPARSER_TIMEZONE_LIST::Instance()->removeAllTimeZones(); }
};

}  // namespace

// Names match byte for byte; a zone without standard part is found but has no
// rule-based zone.
TEST_F(Registry, LookUpsMatchCaseExactlyAndGiveTheRecordsParts) {
    ZoneShape daylightOnly = fixed_zone("Test/DaylightOnly");
    daylightOnly.hasStandard = false;
    daylightOnly.hasDaylight = true;
    ASSERT_EQ(0, fill_registry({fixed_zone("Europe/Paris"), daylightOnly}));
    for (const char* miss : {"europe/paris", "Europe/Paris ", "Europe"})
        EXPECT_EQ(0, calparser_isValidTimeZoneID(miss)) << miss;

    CAL_VTIMEZONE* zone = calparser_lookupCalVTimeZone("Europe/Paris");
    ASSERT_TRUE(zone && zone->pIcuZone);
    EXPECT_EQ(zone->pDbTimeZone, calparser_lookupTimeZone("Europe/Paris"));
    EXPECT_EQ(static_cast<void*>(zone->pIcuZone), lookup_libnls_timezone("Europe/Paris"));
    EXPECT_EQ(1, calparser_isValidTimeZoneID("Test/DaylightOnly"));
    EXPECT_EQ(nullptr, lookup_libnls_timezone("Test/DaylightOnly"));
}

// One smoke test of the printer: a part with a start prints it, one without
// prints -1; a zone without URL prints "<none>".
TEST_F(Registry, DebugPrintShowsNamesStartsAndRules) {
    ZoneShape berlin = central_zone("Europe/Berlin");
    berlin.daylightStart = "19700329T020000";
    berlin.daylightRule = "FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU";
    berlin.standardStart = "";
    berlin.standardRule = "FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU";
    ASSERT_EQ(0, fill_registry({berlin}));
    EXPECT_EQ("Name: Europe/Berlin\nURL: <none>\n"
              "Daylight -    dtStart = 7524000  (19700329T020000Z) [29-Mar-70 02:00AM]\n"
              "Pattern: Month:3, Week:-1, Day:1, Time: 2: 0\n"
              "Standard -    dtStart = -1\nPattern: Month:10, Week:-1, Day:1, Time: 0: 0\n\n",
              printed_by([](PRFileDesc* file) { calparser_debugPrintAllTimeZones(file); }));
}
