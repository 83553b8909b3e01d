// The time-zone registry, on zones built in memory.
#include <gtest/gtest.h>

#include "core/parser/cal_vtimezone_array.h"
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
