#include "public/util/config.h"
#include "public/util/kvallog.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>
#include <thread>
#include <vector>

namespace {

const char* const kConfigFile = CALPARSER_SOURCE_ROOT "/tests/data/util_config.conf";

using Lines = std::vector<std::pair<int, std::string>>;
Lines linesLoggedAtFirstUse;

void capture(void* ctx, int level, const char* message) {
    static_cast<Lines*>(ctx)->emplace_back(level, message);
}

// The default cache loads its file on first use, so that first use must come
// before any test runs: do it while the test program starts.
const bool firstUseDone = [] {
    setenv("CALPARSER_CONFIG", kConfigFile, 1);
    kvallog_sink_t previous = kvallog_set_sink(capture, &linesLoggedAtFirstUse);
    config_getdefaultcache();
    kvallog_set_sink(previous, nullptr);
    return true;
}();

} // namespace

TEST(Config, LoadsTheConfiguredFileAndLogsMalformedLinesOnce) {
    ASSERT_TRUE(firstUseDone);
    config_cache* cache = config_getdefaultcache();
    EXPECT_STREQ("Europe/Paris", config_get_string(cache, "calstore.default.timezoneID", "x"));
    EXPECT_STREQ("value with spaces", config_get_string(cache, "spaced.key", nullptr));
    EXPECT_STREQ("end", config_get_string(cache, "last.line.without.newline", nullptr));

    // Integers fall back to the default unless the value is a whole int.
    EXPECT_EQ(-7, config_get_int(cache, "number.negative", 1));
    EXPECT_EQ(11, config_get_int(cache, "number.bad", 11));
    EXPECT_EQ(12, config_get_int(cache, "number.huge", 12));

    // Only the two lines without a key are reported (comments and blank lines
    // are not), at level 4, once however often the cache is asked for.
    std::string where = std::string("calparser: configuration file \"") + kConfigFile + "\" line ";
    const Lines expected = {{4, where + "9 is not \"key = value\", ignored"},
                            {4, where + "10 is not \"key = value\", ignored"}};
    EXPECT_EQ(expected, linesLoggedAtFirstUse);

    Lines later;
    kvallog_sink_t previous = kvallog_set_sink(capture, &later);
    config_getdefaultcache();
    kvallog_set_sink(previous, nullptr);
    EXPECT_TRUE(later.empty());
}

// A text handed out before the key is set again or removed keeps its content:
// readers on other threads may still hold it.
TEST(Config, SetOverridesAndRemovesWithoutInvalidatingHandedOutTexts) {
    config_cache* cache = config_getdefaultcache();
    EXPECT_EQ(0, config_set_string(cache, "number.negative", "42"));  // a file setting too
    EXPECT_EQ(42, config_get_int(cache, "number.negative", 1));
    EXPECT_EQ(0, config_set_string(cache, "number.negative", nullptr));
    EXPECT_EQ(1, config_get_int(cache, "number.negative", 1));
    EXPECT_EQ(0, config_set_string(cache, "number.negative", "-7"));

    char value[] = "original value";
    config_set_string(cache, "test.survive", value);
    const char* held = config_get_string(cache, "test.survive", nullptr);
    strcpy(value, "changed value!");  // the cache keeps its own copy
    for (int i = 0; i < 100; i++)
        config_set_string(cache, "test.survive", ("other " + std::to_string(i)).c_str());
    config_set_string(cache, "test.survive", nullptr);
    EXPECT_STREQ("original value", held);
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
