#include "public/util/config.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <thread>
#include <vector>

namespace {

const char* const kConfigFile = CALPARSER_SOURCE_ROOT "/tests/data/util_config.conf";

// The default cache loads its file on first use, so that first use must come
// before any test runs: do it while the test program starts.
const bool firstUseDone = [] {
    setenv("CALPARSER_CONFIG", kConfigFile, 1);
    config_getdefaultcache();
    return true;
}();

} // namespace

// Lines that are no "key = value" are passed over.
TEST(Config, LoadsTheConfiguredFile) {
    ASSERT_TRUE(firstUseDone);
    config_cache* cache = config_getdefaultcache();
    EXPECT_STREQ("Europe/Paris", config_get_string(cache, "calstore.default.timezoneID", "x"));
    EXPECT_STREQ("value with spaces", config_get_string(cache, "spaced.key", nullptr));
    EXPECT_STREQ("end", config_get_string(cache, "last.line.without.newline", nullptr));

    // Integers fall back to the default unless the value is a whole int.
    EXPECT_EQ(-7, config_get_int(cache, "number.negative", 1));
    EXPECT_EQ(11, config_get_int(cache, "number.bad", 11));
    EXPECT_EQ(12, config_get_int(cache, "number.huge", 12));
}

// A text handed out before the key is set again or removed keeps its content:
// readers on other threads may still hold it.
TEST(Config, SettingAgainOrRemovingKeepsHandedOutTexts) {
    config_cache* cache = config_getdefaultcache();
    char value[] = "original value";
    config_set_string(cache, "test.survive", value);
    const char* held = config_get_string(cache, "test.survive", nullptr);
    strcpy(value, "changed value!");  // the cache keeps its own copy
    for (int i = 0; i < 100; i++)
        config_set_string(cache, "test.survive", ("other " + std::to_string(i)).c_str());
    config_set_string(cache, "test.survive", nullptr);
    EXPECT_STREQ("original value", held);
}

// Readers that keep a value derived from the settings (the log level) learn of
// every change through the version, and only of changes; a setting from any
// thread is seen by the next read.
TEST(Config, VersionAndReadsFollowEverySettingChange) {
    config_cache* cache = config_getdefaultcache();
    unsigned start = config_get_version(cache);
    config_set_string(cache, "test.version", "1");
    unsigned afterSet = config_get_version(cache);
    EXPECT_NE(start, afterSet);
    EXPECT_STREQ("1", config_get_string(cache, "test.version", nullptr));
    EXPECT_EQ(afterSet, config_get_version(cache));   // reading changes nothing
    config_set_string(cache, "test.version", nullptr);
    unsigned afterRemoval = config_get_version(cache);
    EXPECT_NE(afterSet, afterRemoval);
    EXPECT_STREQ("first", config_get_string(cache, "test.version", "first"));
    config_set_string(cache, "test.version", nullptr);  // nothing left to remove
    EXPECT_EQ(afterRemoval, config_get_version(cache));
    EXPECT_EQ(0u, config_get_version(nullptr));
    std::thread([cache] { config_set_string(cache, "test.version", "3"); }).join();
    EXPECT_EQ(3, config_get_int(cache, "test.version", 0));
}

TEST(Config, ReadersAndWriterOnManyThreadsSeeWholeValues) {
    config_cache* cache = config_getdefaultcache();
    const std::string a(200, 'a'), b(300, 'b');
    config_set_string(cache, "test.threads", a.c_str());
    std::vector<std::thread> readers;
    std::vector<int> bad(4, 0);
    for (int t = 0; t < 4; t++) {
        readers.emplace_back([&, t] {
            for (int i = 0; i < 20000; i++) {
                const char* v = config_get_string(cache, "test.threads", "");
                if (a != v && b != v) bad[t]++;
            }
        });
    }
    for (int i = 0; i < 20000; i++)
        config_set_string(cache, "test.threads", (i % 2 ? a : b).c_str());
    for (auto& r : readers) r.join();
    EXPECT_EQ(std::vector<int>(4, 0), bad);
}
