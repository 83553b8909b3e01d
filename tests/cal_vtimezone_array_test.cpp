// The time-zone registry, on zones built in memory.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include <prio.h>

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

// What calparser_debugPrintAllTimeZones writes, read back from a file.
std::string debug_print() {
    char path[] = "/tmp/registry_printXXXXXX";
    int fd = mkstemp(path);
    close(fd);
    PRFileDesc* out = PR_Open(path, PR_WRONLY | PR_TRUNCATE, 0600);
    EXPECT_NE(nullptr, out);
    EXPECT_EQ(0, calparser_debugPrintAllTimeZones(out));
    PR_Close(out);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    unlink(path);
    return text.str();
}

class Registry : public ::testing::Test {
protected:
    void TearDown() override { CALPARSER_TIMEZONE_LIST::Instance()->removeAllTimeZones(); }
};

}  // namespace

// The listing is in byte order whatever the order the zones were loaded in.
TEST_F(Registry, ListsZonesInByteOrderWhateverTheInsertionOrder) {
    std::vector<ZoneShape> zones;
    for (const char* id : {"Europe/Paris", "America/New_York", "Africa/Casablanca",
                           "America/Argentina/Buenos_Aires", "US/Eastern", "America/Anchorage"})
        zones.push_back(fixed_zone(id));
    ASSERT_EQ(0, fill_registry(zones));
    std::vector<std::string> expected = {"Africa/Casablanca", "America/Anchorage",
                                         "America/Argentina/Buenos_Aires", "America/New_York",
                                         "Europe/Paris", "US/Eastern"};
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

// The daylight part has a start, the standard parts none (printed as -1); a part
// without rule prints month 0 and day -1.
TEST_F(Registry, DebugPrintShowsNamesStartsAndRules) {
    ZoneShape berlin = central_zone("Europe/Berlin");
    berlin.url = "http://tz.example/Berlin";
    berlin.daylightStart = "19700329T020000";
    berlin.daylightRule = "FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU";
    berlin.standardStart = "";
    berlin.standardRule = "FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU";
    ZoneShape tokyo = fixed_zone("Asia/Tokyo", 540);
    tokyo.standardStart = "";
    ASSERT_EQ(0, fill_registry({berlin, tokyo}));
    std::string expected =
        "Name: Asia/Tokyo\n"
        "URL: <none>\n"
        "Standard -    dtStart = -1\n"
        "Pattern: Month:0, Week:0, Day:-1, Time: 0: 0\n"
        "\n"
        "Name: Europe/Berlin\n"
        "URL: http://tz.example/Berlin\n"
        "Daylight -    dtStart = 7524000  (19700329T020000Z) [29-Mar-70 02:00AM]\n"
        "Pattern: Month:3, Week:-1, Day:1, Time: 2: 0\n"
        "Standard -    dtStart = -1\n"
        "Pattern: Month:10, Week:-1, Day:1, Time: 0: 0\n"
        "\n";
    EXPECT_EQ(expected, debug_print());
}
