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
    EXPECT_EQ(0u, config_get_version(nullptr));
    EXPECT_EQ(11, config_get_int(cache, "number.bad", 11));
    EXPECT_EQ(12, config_get_int(cache, "number.huge", 12));
    EXPECT_EQ(13, config_get_int(cache, "equals.in.value", 13));
}

// A text handed out before the key is set again or removed keeps its content
// (readers on other threads may still hold it). Every change, and only a
// change, moves the version, so that values derived from the settings (the
// log level) are read again; a setting from any thread is seen by the next read.
TEST(Config, ChangesKeepHandedOutTextsAndMoveTheVersion) {
    config_cache* cache = config_getdefaultcache();
    char value[] = "original value";
    config_set_string(cache, "test.key", value);
    const char* held = config_get_string(cache, "test.key", nullptr);
    strcpy(value, "changed value!");  // the cache keeps its own copy
    unsigned version = config_get_version(cache);
    EXPECT_STREQ("original value", config_get_string(cache, "test.key", nullptr));
    EXPECT_EQ(version, config_get_version(cache));  // reading changes nothing
    for (int i = 0; i < 100; i++)
        config_set_string(cache, "test.key", ("other " + std::to_string(i)).c_str());
    EXPECT_NE(version, config_get_version(cache));
    config_set_string(cache, "test.key", nullptr);
    version = config_get_version(cache);
    EXPECT_STREQ("gone", config_get_string(cache, "test.key", "gone"));
    config_set_string(cache, "test.key", nullptr);  // nothing left to remove
    EXPECT_EQ(version, config_get_version(cache));
    EXPECT_STREQ("original value", held);
    std::thread([cache] { config_set_string(cache, "test.key", "3"); }).join();
    EXPECT_EQ(3, config_get_int(cache, "test.key", 0));
    config_set_string(cache, "test.key", nullptr);
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
