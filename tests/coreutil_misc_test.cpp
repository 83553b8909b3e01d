// The small helpers of the core utilities: date-time texts and offsets,
// calendar ids and printed texts, mail addresses, identifiers and the
// attendee order.
#include "public/core_util/comp_util.h"
#include "public/core_util/datetime.h"
#include "public/core_util/guid.h"
#include "public/core_util/parseutil.h"
#include "public/core_util/smtp.h"
#include "public/db/caldb.h"
#include "tests/support/attendee_lists.h"
#include "tests/support/print_capture.h"

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

std::string printed(int (*print)(protstream*, const char*), const char* text)
{
    return written_by([&](protstream* s) { EXPECT_EQ(0, print(s, text)); });
}

}  // namespace

// Refused texts leave the outputs alone; an offset carries its sign in both parts.
TEST(Datetime, DateTimesAndUtcOffsets) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    EXPECT_TRUE(datetime_IsParseable("20040229T235958Z", &y, &mo, &d, &h, &mi, &s));
    EXPECT_EQ((std::vector<int>{2004, 2, 29, 23, 59, 58}), (std::vector<int>{y, mo, d, h, mi, s}));
    for (const char* text : {"20030229", "20030431T000000", "19990101T240000", "19990101T006000",
                             "19990101X120000", "19990101T120000Y", "1999010", "1999-1-01"})
        EXPECT_FALSE(datetime_IsParseable(text, &y, &mo, nullptr, nullptr, nullptr, nullptr))
            << text;
    EXPECT_EQ(2004, y);

    int hours = 99, minutes = 99;
    EXPECT_TRUE(datetime_parseUTCOffset("-0530", &hours, &minutes));
    EXPECT_EQ((std::vector<int>{-5, -30}), (std::vector<int>{hours, minutes}));
    for (const char* text : {"0500", "+5", "+05:00", "+2400", "+0560", "-05000", "+05a0"})
        EXPECT_FALSE(datetime_parseUTCOffset(text, &hours, &minutes)) << text;
}

TEST(ParseUtilCalid, UidIsThePartBeforeTheFirstColonAndValidityIsByShape)
{
    const char* cases[][2] = {{"jdoe:work:2", "jdoe"}, {":x", ""}};
    for (auto& c : cases) {
        char* uid = nullptr;
        EXPECT_EQ(0, cal_parseutil_get_uid_from_calid(c[0], &uid));
        EXPECT_STREQ(c[1], uid) << c[0];
        PL_strfree(uid);
    }

    for (const char* good : {"j.doe_1-x+y@example.com", "jdoe:a:b"})
        EXPECT_NE(0, cal_parseutil_isValidCalid(good)) << good;
    for (const char* bad : {"", ":work", "jdoe:", "jdoe:my cal", "a/b", "caf\xc3\xa9"})
        EXPECT_EQ(0, cal_parseutil_isValidCalid(bad)) << bad;
}

// CR LF, a lone LF and a lone CR are each one line end.
TEST(ParseUtilPrint, TextValuesAreEscapedUnlessAskedNotTo)
{
    EXPECT_EQ("a\\\\b:1\\n2\\n3\\n4\\n\\n",
              printed(cal_parseutil_print_string_ical, "a\\b:1\r\n2\n3\r4\n\r"));
    EXPECT_EQ("a\\b;c,d\r\n", printed(cal_parseutil_print_string_no_esc_ical, "a\\b;c,d\r\n"));
}

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
