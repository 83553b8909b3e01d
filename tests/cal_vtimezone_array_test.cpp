// The time-zone registry, on zones built in memory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/parser/cal_vtimezone_array.h"
#include "tests/support/zone_builders.h"

using namespace zone_test;

namespace {

std::vector<std::string> listed_names() {
    std::vector<std::string> names;
    array_t* all = nullptr;
    EXPECT_EQ(0, calparser_getAllTimeZones(&all));
    for (unsigned i = 0; all && i < all->count; i++)
        names.push_back(static_cast<const CAL_VTIMEZONE*>(all->data[i])->pDbTimeZone->pTzid);
    array_delete(all);
    return names;
}

class Registry : public ::testing::Test {
protected:
    void TearDown() override { CALPARSER_TIMEZONE_LIST::Instance()->removeAllTimeZones(); }
};

}  // namespace

// The listing is in byte order whatever the order the zones were loaded in.
TEST_F(Registry, ListsZonesInByteOrderWhateverTheInsertionOrder) {
    std::vector<ZoneShape> zones;
    for (const char* id : {"Europe/Paris", "America/New_York", "America/Argentina/Buenos_Aires",
                           "US/Eastern", "America/Anchorage"})
        zones.push_back(fixed_zone(id));
    ASSERT_EQ(0, fill_registry(zones));
    std::vector<std::string> expected = {"America/Anchorage", "America/Argentina/Buenos_Aires",
                                         "America/New_York", "Europe/Paris", "US/Eastern"};
    EXPECT_EQ(expected, listed_names());
    EXPECT_EQ(expected, listed_names());  // the listing left the registry as it was
}

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
