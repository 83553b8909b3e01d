#include "public/core_util/comp_util.h"
#include "public/core_util/guid.h"
#include "public/core_util/smtp.h"
#include "public/db/caldb.h"

#include <gtest/gtest.h>
#include <plstr.h>

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <regex>
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
    CALDB_ATTENDEE* att = caldb_NewAttendee();
    att->pCalid = calid ? PL_strdup(calid) : nullptr;
    att->pAddr = addr ? PL_strdup(addr) : nullptr;
    att->pCn = cn ? PL_strdup(cn) : nullptr;
    return att;
}

/* Sorts a list with `compare` and describes it, one field per element
 * ("-" for a missing field, "<null>" for an empty slot); frees the list. */
std::vector<std::string> sorted(std::vector<CALDB_ATTENDEE*> atts, array_compare_t compare,
                                char* CALDB_ATTENDEE::*field)
{
    qsort(atts.data(), atts.size(), sizeof(atts[0]), compare);
    std::vector<std::string> out;
    for (CALDB_ATTENDEE* att : atts) {
        out.push_back(!att ? "<null>" : att->*field ? att->*field : "-");
        caldb_FreeAttendee(&att);
    }
    return out;
}

std::string new_guid()
{
    char buffer[CAL_GUID_BUFFER_SIZE];
    EXPECT_EQ(buffer, cal_GetGuidString(buffer));
    return buffer;
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
                            "mailto:a@x,b@y", "a\x01@b"})
        EXPECT_EQ("<null>", taken(smtp_FilterAddress(bad))) << bad;
}

// Threads never repeat an identifier; the process id is in it, so other
// processes do not either.
TEST(Guid, UniqueAcrossThreads)
{
    constexpr int kThreads = 4, kEach = 500;
    std::vector<std::vector<std::string>> made(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&made, t] {
            for (int i = 0; i < kEach; ++i)
                made[t].push_back(new_guid());
        });
    for (std::thread& thread : threads)
        thread.join();
    std::set<std::string> all;
    for (const auto& list : made)
        all.insert(list.begin(), list.end());
    EXPECT_EQ(static_cast<size_t>(kThreads * kEach), all.size());
    // Time in microseconds, process id, counter and random bits, in hexadecimal.
    char pid[16];
    snprintf(pid, sizeof pid, "%08x", static_cast<unsigned>(getpid()));
    std::regex shape(std::string("[0-9a-f]{16}-") + pid + "-[0-9a-f]{8}-[0-9a-f]{16}");
    EXPECT_TRUE(std::regex_match(made[0][0], shape)) << made[0][0];
}

// Grouping by identity key is checked where duplicates are removed.
TEST(AttendeeOrder, DisplayOrderIsByNameThenKey)
{
    std::vector<CALDB_ATTENDEE*> atts{
        attendee("z1", "mailto:z@x", "Zed"), attendee("j1", "mailto:j@x", nullptr),
        attendee("a1", nullptr, "anna"),     attendee(nullptr, "MAILTO:b@x", nullptr),
        attendee("s2", nullptr, "Same"),     nullptr,
        attendee("bob", nullptr, "Bob"),     attendee(nullptr, nullptr, nullptr),
        attendee("s1", nullptr, "Same"),     attendee("nobody", nullptr, "")};
    EXPECT_EQ((std::vector<std::string>{"a1", "-", "bob", "j1", "nobody", "s1", "s2", "z1", "-",
                                        "<null>"}),
              sorted(atts, comp_util_attendee_compare_for_display, &CALDB_ATTENDEE::pCalid));
}
