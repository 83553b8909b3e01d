// Start-up, shut-down and the loading of the time-zone registry.
#include <gtest/gtest.h>

#include <plstr.h>
#include <stdlib.h>

#include <string>

#include "core/parser/calparser.h"
#include "tests/support/zone_builders.h"

namespace {

// Replaces the registry's zones by one fixed zone named `tzid`.
int load_zone(const char* tzid) {
    return zone_test::fill_registry({zone_test::fixed_zone(tzid)});
}

std::string registered_names() {
    array_t* all = nullptr;
    EXPECT_EQ(0, calparser_getAllTimeZones(&all));
    std::string names;
    for (unsigned i = 0; all && i < all->count; i++) {
        const CAL_VTIMEZONE* zone = static_cast<const CAL_VTIMEZONE*>(all->data[i]);
        names += std::string(names.empty() ? "" : " ") + zone->pDbTimeZone->pTzid;
    }
    array_delete(all);
    return names;
}

// Every test starts without a registry and leaves none behind.
class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        const char* root = getenv("CALPARSER_ROOT");
        savedRoot = root ? root : "";
        hadRoot = root != nullptr;
        calparser_unloadTimeZoneList();
    }
    void TearDown() override {
        if (hadRoot) setenv("CALPARSER_ROOT", savedRoot.c_str(), 1);
        else unsetenv("CALPARSER_ROOT");
        parser_uninit();
        EXPECT_EQ(nullptr, CALPARSER_TIMEZONE_LIST::m_Instance);
    }
    // Points the data root at a folder without a time-zone file.
    void hide_time_zone_file() { setenv("CALPARSER_ROOT", "/nonexistent-calparser-root", 1); }

    std::string savedRoot;
    bool hadRoot = false;
};

TEST_F(Startup, MissingFileLeavesAnEmptyRegistryAndStillStarts) {
    hide_time_zone_file();
    EXPECT_EQ(0, parser_init());
    ASSERT_NE(nullptr, CALPARSER_TIMEZONE_LIST::m_Instance);
    EXPECT_EQ(nullptr, CALPARSER_TIMEZONE_LIST::m_Instance->m_pList);
    EXPECT_EQ(nullptr, calparser_lookupCalVTimeZone("Africa/Casablanca"));
    EXPECT_EQ("", registered_names());
}

TEST_F(Startup, FileThatDoesNotOpenKeepsThePreviousZones) {
    hide_time_zone_file();
    ASSERT_EQ(0, parser_init());
    ASSERT_EQ(0, load_zone("Test/Kept"));
    char path[] = "/nonexistent-dir/zones.ics";
    EXPECT_EQ(-1, calparser_loadTimeZoneListFromFile(path));
    EXPECT_EQ("Test/Kept", registered_names());
}

TEST_F(Startup, PathIsRewrittenToItsLocalForm) {
    hide_time_zone_file();
    char path[] = "no\\such\\file.ics";
    EXPECT_EQ(-1, calparser_loadTimeZoneListFromFile(path));
    EXPECT_STREQ("no/such/file.ics", path);
}

TEST_F(Startup, StreamThatDoesNotParseKeepsThePreviousZones) {
    hide_time_zone_file();
    ASSERT_EQ(0, parser_init());
    ASSERT_EQ(0, load_zone("Test/Kept"));
    EXPECT_EQ(1, zone_test::load_registry_text(""));
    EXPECT_EQ(1, calparser_loadTimeZoneList(nullptr));
    EXPECT_EQ("Test/Kept", registered_names());
}

TEST_F(Startup, ParsedStreamReplacesTheZones) {
    hide_time_zone_file();
    ASSERT_EQ(0, parser_init());
    ASSERT_EQ(0, load_zone("Test/Gone"));
    EXPECT_EQ(0, zone_test::load_registry_text("BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n"));
    EXPECT_EQ(nullptr, calparser_lookupCalVTimeZone("Test/Gone"));
}

TEST_F(Startup, SecondDefaultLoadDoesNotReload) {
    hide_time_zone_file();
    EXPECT_EQ(0, calparser_loadDefaultTimeZoneList());
    CALPARSER_TIMEZONE_LIST* registry = CALPARSER_TIMEZONE_LIST::m_Instance;
    ASSERT_NE(nullptr, registry);
    ASSERT_EQ(0, load_zone("Test/Added"));
    EXPECT_EQ(0, calparser_loadDefaultTimeZoneList());
    EXPECT_EQ(registry, CALPARSER_TIMEZONE_LIST::m_Instance);
    EXPECT_EQ("Test/Added", registered_names());
}

TEST_F(Startup, UnloadDestroysTheRegistry) {
    hide_time_zone_file();
    ASSERT_EQ(0, parser_init());
    ASSERT_EQ(0, load_zone("Test/Zone"));
    EXPECT_EQ(0, calparser_unloadTimeZoneList());
    EXPECT_EQ(nullptr, CALPARSER_TIMEZONE_LIST::m_Instance);
    EXPECT_EQ(0, calparser_unloadTimeZoneList());
}

// Two zones after the event that would use one of them: the event is
// dropped, the zones are kept in name order.
TEST_F(Startup, StreamOfZonesKeepsOnlyTheZonesSortedByName) {
    hide_time_zone_file();
    ASSERT_EQ(0, parser_init());
    ASSERT_EQ(0, load_zone("Test/Gone"));
    EXPECT_EQ(0, zone_test::load_registry_text("BEGIN:VCALENDAR\r\n"
                           "BEGIN:VEVENT\r\nUID:1\r\nDTSTART;TZID=Test/West:20240105T090000\r\n"
                           "END:VEVENT\r\n"
                           "BEGIN:VTIMEZONE\r\nTZID:Test/West\r\n"
                           "BEGIN:STANDARD\r\nDTSTART:19700101T000000\r\nTZOFFSETFROM:-0300\r\n"
                           "TZOFFSETTO:-0300\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n"
                           "BEGIN:VTIMEZONE\r\nTZID:Test/East\r\n"
                           "BEGIN:STANDARD\r\nDTSTART:19700101T000000\r\nTZOFFSETFROM:+0200\r\n"
                           "TZOFFSETTO:+0200\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n"
                           "END:VCALENDAR\r\n"));
    EXPECT_EQ("Test/East Test/West", registered_names());
    const CAL_VTIMEZONE* west = calparser_lookupCalVTimeZone("Test/West");
    ASSERT_NE(nullptr, west);
    ASSERT_NE(nullptr, west->pStandard);
    EXPECT_EQ(-180, west->pStandard->pDbZone->nOffsetTo);
}

// Any exported look-up made before start-up creates the registry from the file.
TEST_F(Startup, FirstLookUpLoadsTheDefaultFile) {
    ASSERT_EQ(nullptr, CALPARSER_TIMEZONE_LIST::m_Instance);
    EXPECT_EQ(1, calparser_isValidTimeZoneID("Europe/Berlin"));
}

TEST_F(Startup, DefaultFileIsLoadedOnceAndFindsLinksAndTheFallback) {
    ASSERT_EQ(0, parser_init());
    const CAL_VTIMEZONE* casablanca = calparser_lookupCalVTimeZone("Africa/Casablanca");
    ASSERT_NE(nullptr, casablanca);
    EXPECT_EQ(nullptr, casablanca->pDaylight);
    ASSERT_NE(nullptr, casablanca->pStandard);
    EXPECT_EQ(0, casablanca->pStandard->pDbZone->nOffsetTo);
    const CAL_VTIMEZONE* eastern = calparser_lookupCalVTimeZone("US/Eastern");
    ASSERT_NE(nullptr, eastern);
    ASSERT_NE(nullptr, eastern->pDaylight);
    EXPECT_EQ(-240, eastern->pDaylight->pDbZone->nOffsetTo);
    // The crossings were read while the registry was still empty: in UTC.
    const CAL_VTIMEZONE* newYork = calparser_lookupCalVTimeZone("America/New_York");
    ASSERT_NE(nullptr, newYork);
    ASSERT_NE(nullptr, newYork->aTzCross);
    ASSERT_EQ(42u, newYork->aTzCross->count);
    EXPECT_EQ(638953200, *static_cast<time_t*>(newYork->aTzCross->data[0]));  // 1990-04-01 07:00Z
    EXPECT_EQ(nullptr, calparser_lookupCalVTimeZone("us/eastern"));

    // A reload of the same file replaces every zone by an equal one.
    char path[] = "data\\timezones.ics";
    EXPECT_EQ(0, calparser_loadTimeZoneListFromFile(path));
    EXPECT_STREQ("data/timezones.ics", path);
    EXPECT_NE(nullptr, calparser_lookupCalVTimeZone("US/Eastern"));
}

}  // namespace
