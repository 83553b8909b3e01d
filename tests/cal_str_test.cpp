#include "core/parser/cal_str.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

// Runs first: threads that all make the first Instance() call at once get one table.
TEST(KeywordTable, FirstUseFromManyThreadsGivesOneTable) {
    std::atomic<bool> go{false};
    std::vector<std::pair<CALPARSER_STR*, int>> seen(8);
    std::vector<std::thread> threads;
    for (auto& slot : seen) {
        threads.emplace_back([&go, &slot] {
            while (!go.load())
                std::this_thread::yield();
            slot = {CALPARSER_STR::Instance(), calparser_getPropType("ATTENDEE", 8)};
        });
    }
    go = true;
    for (std::thread& t : threads)
        t.join();
    ASSERT_NE(nullptr, seen[0].first);
    EXPECT_EQ((std::vector<std::pair<CALPARSER_STR*, int>>(8, {seen[0].first, 1107})), seen);
}

// One row per rule of the look-ups: a text shared by two values, case,
// extensions and names of other kinds.
TEST(KeywordLookup, NamesGiveTheirValues) {
    const std::pair<const char*, int> properties[] = {
        // Case matters except for the zone and recurrence extensions; unknown
        // names are extensions only with an X- prefix. Lower-case stored names
        // are compared by hash, so they are plain extensions.
        {"END", 1084}, {"dtstart", 0}, {"x-z9kq-recurrence-count", 1456},
        {"x-kval-tombstone", 1019}, {"X", 0}, {"VEVENT", 0},
    };
    for (const auto& c : properties)
        EXPECT_EQ(c.second, calparser_getPropType(c.first, (unsigned)std::strlen(c.first)))
            << c.first;
    // Only the hash of the first len bytes is compared.
    EXPECT_EQ(1117, calparser_getPropType("DTSTART;TZID=Europe/Paris", 7));

    const std::pair<const char*, int> params[] = {
        {"VALUE", 1027}, {"X-KVAL-ORGANIZER-UID", 1443}, {"x-kval-organizer-uid", 1286}, {"cn", 0}};
    for (const auto& c : params)
        EXPECT_EQ(c.second, calparser_getParamType(c.first)) << c.first;
    EXPECT_EQ(1289, calparser_getXMLParamType("SENTBY"));
    EXPECT_EQ(1019, calparser_getComponentType("x-comp", 6));
    EXPECT_EQ(0, calparser_getComponentType("vevent", 6));
    EXPECT_EQ(1092, calparser_getStatusType("METHOD", 6));  // a quirk stored records rely on
    EXPECT_EQ(0, calparser_getClassType("public", 6));
}
