#include "public/core_util/guid.h"
#include "public/core_util/smtp.h"

#include <gtest/gtest.h>
#include <plstr.h>

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

// Threads never repeat an identifier.
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
}
