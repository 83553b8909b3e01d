#include "public/core_util/calfile.h"
#include "public/core_util/comp_util.h"
#include "public/core_util/guid.h"
#include "public/core_util/smtp.h"
#include "public/db/caldb.h"

#include <gtest/gtest.h>
#include <plstr.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

/* smtp_FilterAddress as a std::string, "<null>" for NULL. */
std::string filtered(const char* address)
{
    char* plain = smtp_FilterAddress(address);
    std::string out = plain ? plain : "<null>";
    PL_strfree(plain);
    return out;
}

std::string resolved(const char* path)
{
    char* local = calfile_ResolveLocalPath(path);
    std::string out = local ? local : "<null>";
    PL_strfree(local);
    return out;
}

/* Sets CALPARSER_ROOT for one scope and restores it afterwards. */
class RootVariable {
public:
    explicit RootVariable(const char* value) : old_(getenv("CALPARSER_ROOT"))
    {
        if (old_)
            old_ = strdup(old_);
        setenv("CALPARSER_ROOT", value, 1);
    }
    ~RootVariable()
    {
        if (old_)
            setenv("CALPARSER_ROOT", old_, 1);
        else
            unsetenv("CALPARSER_ROOT");
        free(old_);
    }

private:
    char* old_;
};

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
    array_t* list = array_new();
    for (CALDB_ATTENDEE* att : atts)
        array_append(list, att);
    array_qsort(list, compare);
    std::vector<std::string> out;
    for (unsigned i = 0; i < list->count; ++i) {
        auto* att = static_cast<CALDB_ATTENDEE*>(list->data[i]);
        out.push_back(!att ? "<null>" : att->*field ? att->*field : "-");
        caldb_FreeAttendee(&att);
    }
    array_delete(list);
    return out;
}

std::string new_guid()
{
    char buffer[CAL_GUID_BUFFER_SIZE];
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(buffer, cal_GetGuidString(buffer));
    return buffer;
}

}  // namespace

TEST(SmtpFilterAddress, PlainAddressOutOfEveryForm)
{
    for (const char* form : {"mailto:Jane Doe <jane@example.com>", "MAILTO:jane@example.com",
                             "<jane@example.com>", "  MailTo:  jane@example.com \r\n",
                             "mailto:jane@example.com?subject=Hi",
                             "Jane Doe < jane@example.com > (work)",
                             "\"Doe, <Jane>\" <jane@example.com>"})
        EXPECT_EQ("jane@example.com", filtered(form)) << form;
    EXPECT_EQ("Jane.Doe+cal@Example.COM", filtered("Jane.Doe+cal@Example.COM"));
    // A "?" belongs to the address when there is no mailto: URI.
    EXPECT_EQ("who?@example.com", filtered("who?@example.com"));
}

TEST(SmtpFilterAddress, NoAddressGivesNull)
{
    for (const char* bad : {"", "   ", "mailto:", "jdoe", "jdoe:work", "@example.com", "jane@",
                            "a@b@c", "<jane@example.com", "Jane <>", "jane doe@example.com",
                            "mailto:a@x,b@y", "mailto:?to=a@x", "a\x01@b"})
        EXPECT_EQ("<null>", filtered(bad)) << bad;
    EXPECT_EQ(nullptr, smtp_FilterAddress(nullptr));
}

TEST(CalFile, BackslashesBecomeSlashesInPlace)
{
    char path[] = "data\\timezones.ics";
    EXPECT_EQ(path, calfile_ToLocalPath(path));
    EXPECT_STREQ("data/timezones.ics", path);
    char odd[] = "\\\\a\\";
    calfile_ToLocalPath(odd);
    EXPECT_STREQ("//a/", odd);
    EXPECT_EQ(nullptr, calfile_ToLocalPath(nullptr));
}

TEST(CalFile, RelativePathsResolveAgainstTheDataRoot)
{
    {
        RootVariable root("/srv/cal");
        EXPECT_EQ("/srv/cal/data/timezones.ics", resolved("data\\timezones.ics"));
        EXPECT_EQ("/abs/file", resolved("\\abs\\file"));  // absolute once local
        EXPECT_EQ("/abs/file", resolved("/abs/file"));
    }
    {
        RootVariable root("/srv/cal/");
        EXPECT_EQ("/srv/cal/data/x", resolved("data/x"));
    }
    {
        // Neither variable nor installed data: the tree the library was built from.
        RootVariable root("");
        EXPECT_EQ(CALPARSER_SOURCE_ROOT "/data/timezones.ics", resolved("data\\timezones.ics"));
    }
    EXPECT_EQ(nullptr, calfile_ResolveLocalPath(nullptr));
}

TEST(Guid, FormatCarriesTimePidCounterAndRandomBits)
{
    std::string first = new_guid();
    std::string second = new_guid();
    std::regex shape("[0-9a-f]{16}-([0-9a-f]{8})-([0-9a-f]{8})-[0-9a-f]{16}");
    std::smatch a, b;
    ASSERT_TRUE(std::regex_match(first, a, shape)) << first;
    ASSERT_TRUE(std::regex_match(second, b, shape)) << second;
    char pid[16];
    snprintf(pid, sizeof pid, "%08x", static_cast<unsigned>(getpid()));
    EXPECT_EQ(pid, a[1].str());
    EXPECT_EQ(1u, std::stoul(b[2].str(), nullptr, 16) - std::stoul(a[2].str(), nullptr, 16));
    EXPECT_EQ(nullptr, cal_GetGuidString(nullptr));
}

TEST(Guid, UniqueAcrossThreadsAndProcesses)
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

    // A forked child shares the parent's counter value and clock, and still
    // makes another identifier: its own process id goes into it.
    int fds[2];
    ASSERT_EQ(0, pipe(fds));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        char buffer[CAL_GUID_BUFFER_SIZE];
        cal_GetGuidString(buffer);
        ssize_t written = write(fds[1], buffer, strlen(buffer));
        _exit(written > 0 ? 0 : 1);
    }
    close(fds[1]);
    char fromChild[CAL_GUID_BUFFER_SIZE] = {0};
    ASSERT_GT(read(fds[0], fromChild, sizeof fromChild - 1), 0);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    char childPid[16];
    snprintf(childPid, sizeof childPid, "-%08x-", static_cast<unsigned>(child));
    EXPECT_NE(std::string::npos, std::string(fromChild).find(childPid)) << fromChild;
    EXPECT_EQ(0u, all.count(fromChild));
}

TEST(AttendeeOrder, EqualIdentityKeysEndUpSideBySide)
{
    // Key: the calendar id, else the address. Equal keys are neighbours, and
    // a key that differs only in case never splits their group.
    std::vector<CALDB_ATTENDEE*> atts{
        attendee(nullptr, "mailto:b@x", "1"), attendee("jdoe", "mailto:j@x", "2"),
        attendee("JDOE", nullptr, "3"),       nullptr,
        attendee(nullptr, "mailto:b@x", "4"), attendee(nullptr, nullptr, "6"),
        attendee("jdoe", nullptr, "5")};
    std::vector<std::string> cns = sorted(atts, comp_util_attendee_compare, &CALDB_ATTENDEE::pCn);
    ASSERT_EQ(7u, cns.size());
    EXPECT_EQ("3", cns[0]);
    EXPECT_EQ((std::set<std::string>{"2", "5"}), (std::set<std::string>{cns[1], cns[2]}));
    EXPECT_EQ((std::set<std::string>{"1", "4"}), (std::set<std::string>{cns[3], cns[4]}));
    EXPECT_EQ("6", cns[5]);
    EXPECT_EQ("<null>", cns[6]);
}

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
