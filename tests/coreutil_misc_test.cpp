#include "public/core_util/comp_util.h"
#include "public/core_util/guid.h"
#include "public/core_util/smtp.h"
#include "public/db/caldb.h"
#include "tests/support/attendee_lists.h"

#include <gtest/gtest.h>
#include <plstr.h>

#include <stdlib.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

/* A new text as a std::string ("<null>" for NULL); the text is freed. */
std::string taken(char* text)
{
    std::string out = text ? text : "<null>";
    PL_strfree(text);
    return out;
}

CALDB_ATTENDEE* attendee(const char* calid, const char* addr, const char* cn)
{
    CALDB_ATTENDEE* att = new_attendee(addr, calid);
    att->pCn = PL_strdup(cn);
    return att;
}

}  // namespace

TEST(SmtpFilterAddress, PlainAddressOutOfEveryForm)
{
    for (const char* form : {"  MailTo:  jane@example.com \r\n",
                             "mailto:jane@example.com?subject=Hi",
                             "mailto:\"Doe, <Jane>\" < jane@example.com > (work)"})
        EXPECT_EQ("jane@example.com", taken(smtp_FilterAddress(form))) << form;
    // A "?" belongs to the address when there is no mailto: URI.
    EXPECT_EQ("who?@example.com", taken(smtp_FilterAddress("who?@example.com")));

    for (const char* bad : {"mailto:", "jdoe:work", "jane@", "a@b@c", "<jane@example.com",
                            "mailto:a@x,b@y", "a\x01@b", "a b@c", "a\x7f@c", "a(b@c", "a)b@c",
                            "a[b@c", "a]b@c", "a;b@c", "a\\b@c", "a@b>c", "a\"b@c"})
        EXPECT_EQ("<null>", taken(smtp_FilterAddress(bad))) << bad;
}

// Threads never repeat an identifier.
TEST(Guid, UniqueAcrossThreads)
{
    constexpr int kThreads = 4, kEach = 500;
    std::vector<std::vector<std::string>> made(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&made, t] {
            char buffer[CAL_GUID_BUFFER_SIZE];
            for (int i = 0; i < kEach; ++i) {
                EXPECT_EQ(buffer, cal_GetGuidString(buffer));
                made[t].push_back(buffer);
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    std::set<std::string> all;
    for (const auto& list : made)
        all.insert(list.begin(), list.end());
    EXPECT_EQ(static_cast<size_t>(kThreads * kEach), all.size());
}

// Key: the calendar id, else the address. Equal keys end up side by side, and
// a key that differs only in case never splits their group; the rest of the
// order is free.
TEST(AttendeeOrder, EqualIdentityKeysEndUpSideBySide)
{
    CALDB_ATTENDEE* atts[] = {
        attendee(nullptr, "mailto:b@x", "1"), attendee("jdoe", "mailto:j@x", "2"),
        attendee("JDOE", nullptr, "3"),       attendee(nullptr, "mailto:b@x", "4"),
        attendee("jdoe", nullptr, "5"),       attendee(nullptr, nullptr, "6")};
    qsort(atts, 6, sizeof(atts[0]), comp_util_attendee_compare);
    std::string order;
    for (CALDB_ATTENDEE*& att : atts) {
        order += att->pCn;
        caldb_FreeAttendee(&att);
    }
    auto adjacent = [&order](char a, char b) {
        long distance = static_cast<long>(order.find(a)) - static_cast<long>(order.find(b));
        return distance == 1 || distance == -1;
    };
    EXPECT_TRUE(adjacent('2', '5')) << order;
    EXPECT_TRUE(adjacent('1', '4')) << order;
}
