// Start-up, shut-down and the loading of the time-zone registry and its file.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/parser/calparser.h"
#include "tests/support/corpus_files.h"
#include "tests/support/text_lists.h"
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

// Every test starts without a registry, the data root at the source tree, and
// leaves no registry behind.
class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("CALPARSER_ROOT", CALPARSER_SOURCE_ROOT, 1);
        calparser_unloadTimeZoneList();
    }
    void TearDown() override {
        parser_uninit();
        EXPECT_EQ(nullptr, CALPARSER_TIMEZONE_LIST::m_Instance);
    }
    // Points the data root at a folder without a time-zone file.
    void hide_time_zone_file() { setenv("CALPARSER_ROOT", "/nonexistent-calparser-root", 1); }
};

// A missing file leaves an empty registry and still starts; the default load
// makes the registry once; unloading destroys it, twice is harmless.
TEST_F(Startup, MissingFileLeavesAnEmptyRegistryLoadedOnce) {
    hide_time_zone_file();
    EXPECT_EQ(0, parser_init());
    CALPARSER_TIMEZONE_LIST* registry = CALPARSER_TIMEZONE_LIST::m_Instance;
    ASSERT_NE(nullptr, registry);
    EXPECT_EQ(nullptr, registry->m_pList);
    EXPECT_EQ(0, calparser_isValidTimeZoneID("Africa/Casablanca"));
    EXPECT_EQ(nullptr, calparser_lookupCalVTimeZone("Africa/Casablanca"));
    EXPECT_EQ("", registered_names());
    ASSERT_EQ(0, load_zone("Test/Added"));
    EXPECT_EQ(0, calparser_loadDefaultTimeZoneList());
    EXPECT_EQ(registry, CALPARSER_TIMEZONE_LIST::m_Instance);
    EXPECT_EQ("Test/Added", registered_names());
    EXPECT_EQ(0, calparser_unloadTimeZoneList());
    EXPECT_EQ(nullptr, CALPARSER_TIMEZONE_LIST::m_Instance);
    EXPECT_EQ(0, calparser_unloadTimeZoneList());
}

// A file that does not open or a stream that does not parse keeps the zones
// loaded before; the path is rewritten to its local form first.
TEST_F(Startup, FailedReloadKeepsThePreviousZones) {
    hide_time_zone_file();
    ASSERT_EQ(0, parser_init());
    ASSERT_EQ(0, load_zone("Test/Kept"));
    char path[] = "no\\such\\file.ics";
    EXPECT_EQ(-1, calparser_loadTimeZoneListFromFile(path));
    EXPECT_STREQ("no/such/file.ics", path);
    EXPECT_EQ(1, zone_test::load_registry_text(""));
    EXPECT_EQ(1, calparser_loadTimeZoneList(nullptr));
    EXPECT_EQ(1, calparser_getAllTimeZones(nullptr));
    EXPECT_EQ("Test/Kept", registered_names());
}

// A relative path names a file under the working directory, as open(2)
// reads it; only the library's own file is looked for under the data root.
TEST_F(Startup, RelativePathsAreReadFromTheWorkingDirectory) {
    char made[] = "/tmp/calparser-relative-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(made));
    const std::string top = made;
    for (const char* dir : {"/work", "/work/zones", "/root", "/root/zones"})
        ASSERT_EQ(0, mkdir((top + dir).c_str(), 0700));
    const std::pair<const char*, const char*> files[] = {
        {"/root", "Test/UnderTheRoot"}, {"/work", "Test/UnderTheWorkingDirectory"}};
    for (const auto& [dir, tzid] : files)
        std::ofstream(top + dir + "/zones/zones.ics")
            << "BEGIN:VCALENDAR\r\n" << zone_test::zone_text(zone_test::fixed_zone(tzid, 60))
            << "END:VCALENDAR\r\n";
    char previous[4096];
    ASSERT_NE(nullptr, getcwd(previous, sizeof previous));
    ASSERT_EQ(0, chdir((top + "/work").c_str()));

    // The first look-up still finds the library's file under the data root.
    EXPECT_EQ(1, calparser_isValidTimeZoneID("Europe/Berlin"));
    setenv("CALPARSER_ROOT", (top + "/root").c_str(), 1);
    char path[] = "zones\\zones.ics";
    EXPECT_EQ(0, calparser_loadTimeZoneListFromFile(path));
    EXPECT_EQ("Test/UnderTheWorkingDirectory", registered_names());
    ASSERT_EQ(0, chdir(previous));
    std::filesystem::remove_all(top);
}

}  // namespace
