// URL-encoded request parameters: hat-form rewriting, tokens of hat items and
// extension-property items, recurrence and date lists, attendee lists with
// the deletion marker, the organizer.
#include <gtest/gtest.h>

#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include <plstr.h>

#include "tests/support/text_lists.h"
#include "core/parser/cal_urlparams.h"
#include "public/db/caldb_lists.h"
#include "tests/heap_failure.h"

namespace {

const CALPARSER_PARAM* param(const CALPARSER_TOKEN* token, unsigned i)
{
    return static_cast<const CALPARSER_PARAM*>(array_elementat(token->pParamList, i));
}

const CALDB_ATTENDEE* at(const array_t* list, unsigned i)
{
    return static_cast<const CALDB_ATTENDEE*>(array_elementat(list, i));
}

Strings addresses(const array_t* list)
{
    Strings out;
    for (unsigned i = 0; i < list->count; i++)
        out.push_back(at(list, i)->pAddr);
    return out;
}

/* Allocates nothing, so it can run while allocations are made to fail. */
bool holds_texts(const array_t* list, std::initializer_list<const char*> expected)
{
    if (list->count != expected.size())
        return false;
    unsigned i = 0;
    for (const char* text : expected)
        if (strcmp(static_cast<const char*>(list->data[i++]), text) != 0)
            return false;
    return true;
}

int add_dates(const char* encoded, array_t* list)
{
    return calparser_recurrence_copyURLEncodedRecurrenceString_to_array(encoded, list, 0, 0);
}

int add_attendees(array_t* list, const char* encoded, int toUpper, int unique)
{
    return calparser_recurrence_copyURLEncodedAttendee_to_array(encoded, list, toUpper, unique,
                                                                 nullptr);
}

}  // namespace

// The last "^" ends the parameters, every earlier one separates two.
TEST(HatItem, RewritingAndTokens)
{
    const char* cases[][2] = {{"ROLE=CHAIR^RSVP=TRUE^mailto:x", "ROLE=CHAIR;RSVP=TRUE:mailto:x"},
                              {"A^B^C", "A;B:C"}, {"A^", "A:"}, {"abc", "abc"}};
    for (auto& c : cases) {
        std::string text = c[0];
        char* p = &text[0];
        EXPECT_EQ(&p, convertHatCharToSemicolonAndLastToColon(&p));
        EXPECT_STREQ(c[1], text.c_str());
    }

    char item[] = "ROLE=CHAIR^RSVP=TRUE^mailto:x";
    CALPARSER_TOKEN* token = nullptr;
    ASSERT_EQ(0, parseHatSeperatedStringIntoToken(item, &token));
    EXPECT_STREQ("ROLE=CHAIR;RSVP=TRUE:mailto:x", item);  // rewritten in the caller's buffer
    EXPECT_STREQ("mailto:x", token->pValue);
    ASSERT_EQ(2u, token->pParamList->count);
    EXPECT_EQ(TOKEN_ROLE, param(token, 0)->nType);
    EXPECT_STREQ("TRUE", param(token, 1)->pValue);
    calparser_FreeToken(&token);

    // An extension-property item: its name as written, then a hat item.
    char xprop[] = "x-Foo=X-A=1^X-B=\"a:b\"^bar";
    ASSERT_EQ(0, cal_parseutil_parseXProperty(xprop, &token));
    EXPECT_STREQ("x-Foo", token->pName);
    EXPECT_STREQ("bar", token->pValue);
    ASSERT_EQ(2u, token->pParamList->count);
    EXPECT_EQ(TOKEN_X_PARAM, param(token, 0)->nType);
    EXPECT_STREQ("X-A", param(token, 0)->pName);
    EXPECT_STREQ("a:b", param(token, 1)->pValue);
    calparser_FreeToken(&token);
}

TEST(RecurrenceList, QuotesUpperCaseAndUniqueAppends)
{
    struct Case {
        const char* encoded;
        int toUpper;
        int unique;
        Strings expected;
    } cases[] = {
        // Quotes keep the ";" of a rule inside one item.
        {"\"FREQ=DAILY;INTERVAL=2\";FREQ=WEEKLY", 0, 0, {"FREQ=DAILY;INTERVAL=2", "FREQ=WEEKLY"}},
        // A lone quote is the value; an unclosed one only loses itself.
        {"a;\"", 0, 0, {"a", "\""}},
        {"a;\"FREQ=WEEKLY", 0, 0, {"a", "FREQ=WEEKLY"}},
        {"a;;\"\";b", 0, 0, {"a", "b"}},
        {"\"freq=daily;byday=Mo\";x", 1, 0, {"FREQ=DAILY;BYDAY=MO", "X"}},
        // Unique is case distinguished, after upper-casing.
        {"d1;d2;d1;D2", 0, 1, {"d1", "d2", "D2"}},
        {"d1;d2;d1;D2", 1, 1, {"D1", "D2"}},
        {"d1;d1", 0, 0, {"d1", "d1"}},
    };
    for (const Case& c : cases) {
        array_t* dest = array_new();
        EXPECT_EQ(0, calparser_recurrence_copyURLEncodedRecurrenceString_to_array(
                         c.encoded, dest, c.toUpper, c.unique));
        EXPECT_EQ(c.expected, strings(dest)) << c.encoded;
        caldb_free_text_list(&dest);
    }
}

TEST(AttendeeList, MergesAndDeletionMarker)
{
    array_t* list = array_new();
    ASSERT_EQ(0, add_attendees(list, "ROLE=CHAIR^RSVP=TRUE^mailto:x@example.com;;"
                                     "CN=Jo^mailto:jo@example.com", 0, 0));
    ASSERT_EQ((Strings{"mailto:x@example.com", "mailto:jo@example.com"}), addresses(list));
    EXPECT_STREQ("CHAIR", at(list, 0)->pRole);
    EXPECT_EQ(1, at(list, 0)->bRsvp);
    EXPECT_STREQ("Jo", at(list, 1)->pCn);

    // Upper-cased before parsing; unique replaces the match in its place.
    ASSERT_EQ(0, add_attendees(list, "role=opt-participant^mailto:x@example.com", 1, 1));
    ASSERT_EQ((Strings{"MAILTO:X@EXAMPLE.COM", "mailto:jo@example.com"}), addresses(list));
    EXPECT_STREQ("OPT-PARTICIPANT", at(list, 0)->pRole);
    ASSERT_EQ(0, add_attendees(list, "mailto:jo@example.com", 0, 0));
    EXPECT_EQ(3u, list->count);

    // The marker removes its match (and adds nothing when there is none).
    ASSERT_EQ(0, add_attendees(list, "PARTSTAT=X-KVAL-PLIX-ATTENDEE-DELETE^mailto:no@example.com",
                               0, 1));
    ASSERT_EQ(0, add_attendees(list, "partstat=x-kval-plix-attendee-delete^mailto:x@example.com",
                               1, 0));
    EXPECT_EQ((Strings{"mailto:jo@example.com", "mailto:jo@example.com"}), addresses(list));

    // A rejected attendee stops the request; what was merged before stays.
    EXPECT_EQ(1, add_attendees(list, "mailto:a@example.com;nosuchuser;mailto:b@example.com", 0, 0));
    EXPECT_EQ((Strings{"mailto:jo@example.com", "mailto:jo@example.com", "mailto:a@example.com"}),
              addresses(list));
    caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
}

TEST(Organizer, OnlyTheFirstItemCounts)
{
    CALDB_ORGANIZER* org = nullptr;
    EXPECT_EQ(0, calparser_copyURLEncodedOrganizer(
                     "CN=Boss^SENT-BY=\"mailto:aide@example.com\"^mailto:boss@example.com;"
                     "mailto:other@example.com",
                     &org, 0));
    ASSERT_NE(nullptr, org);
    EXPECT_STREQ("mailto:boss@example.com", org->pAddr);
    EXPECT_STREQ("Boss", org->pCn);
    EXPECT_STREQ("mailto:aide@example.com", org->pSentBy);

    // The record is reused: fields given again are replaced, others stay.
    EXPECT_EQ(0, calparser_copyURLEncodedOrganizer("cn=Chief^mailto:chief@example.com", &org, 1));
    EXPECT_STREQ("MAILTO:CHIEF@EXAMPLE.COM", org->pAddr);
    EXPECT_STREQ("CHIEF", org->pCn);
    EXPECT_STREQ("mailto:aide@example.com", org->pSentBy);
    caldb_FreeOrganizer(&org);
}

// Every status other than success, and the arguments that are no failure.
TEST(UrlParams, FailureStatuses)
{
    char bare[] = "abc";
    char noEquals[] = "X-FOO^bar";
    CALPARSER_TOKEN* token = nullptr;
    CALDB_ORGANIZER* org = nullptr;
    array_t* list = array_new();
    const struct {
        const char* call;
        int expected;
        std::function<int()> run;
    } rows[] = {
        {"hat item, no output", 1, [&] { return parseHatSeperatedStringIntoToken(bare, nullptr); }},
        {"hat item, no item", 1, [&] { return parseHatSeperatedStringIntoToken(nullptr, &token); }},
        {"x-prop without =", 2, [&] { return cal_parseutil_parseXProperty(noEquals, &token); }},
        {"x-prop, no item", 1, [&] { return cal_parseutil_parseXProperty(nullptr, &token); }},
        {"x-prop, no output", 1, [&] { return cal_parseutil_parseXProperty(noEquals, nullptr); }},
        {"dates, no list", 1, [&] { return add_dates("a", nullptr); }},
        {"dates, no text", 0, [&] { return add_dates(nullptr, list); }},
        {"attendees, no list", 1, [&] { return add_attendees(nullptr, "mailto:a@example.com", 0, 0); }},
        {"attendees, no text", 0, [&] { return add_attendees(list, nullptr, 0, 0); }},
        {"organizer, empty first item", 0, [&] {
             return calparser_copyURLEncodedOrganizer(";mailto:late@example.com", &org, 0);
         }},
        {"organizer, no output", 0, [&] { return calparser_copyURLEncodedOrganizer("a", nullptr, 0); }},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.expected, row.run()) << row.call;
        calparser_FreeToken(&token);  // a token made before a failure is the caller's
    }
    EXPECT_EQ(0u, list->count);
    EXPECT_EQ(nullptr, org);
    array_delete(list);
}

// Each allocation fails once in turn: nothing leaks.
TEST(UrlParamsAllocation, NoLeakWhenMemoryRunsOut)
{
    char warm[] = "X-WARM=ROLE=CHAIR^up";  // the keyword table is made outside the count
    CALPARSER_TOKEN* warmToken = nullptr;
    cal_parseutil_parseXProperty(warm, &warmToken);
    calparser_FreeToken(&warmToken);
    const int minimum = HEAP_FAILURE_HOOK ? 2 : -1;

    EXPECT_LT(minimum, count_failure_points([] {
        char item[] = "X-FOO=X-A=1^X-B=2^bar";
        CALPARSER_TOKEN* token = nullptr;
        bool ok = cal_parseutil_parseXProperty(item, &token) == 0 && token->pName
                  && token->pValue && token->pParamList->count == 2;
        calparser_FreeToken(&token);
        return ok;
    }));
    EXPECT_LT(minimum, count_failure_points([] {
        array_t* dest = array_new();
        bool ok = dest
                  && calparser_recurrence_copyURLEncodedRecurrenceString_to_array(
                         "\"FREQ=DAILY\";b;b", dest, 1, 1) == 0
                  && holds_texts(dest, {"FREQ=DAILY", "B"});
        caldb_free_text_list(&dest);
        return ok;
    }));
    EXPECT_LT(minimum, count_failure_points([] {
        array_t* list = array_new();
        bool ok = list
                  && add_attendees(list, "ROLE=CHAIR^mailto:x@example.com;CN=Y^mailto:y@ex.com;"
                                         "PARTSTAT=X-KVAL-PLIX-ATTENDEE-DELETE^mailto:x@example.com",
                                   0, 1) == 0
                  && list->count == 1 && at(list, 0)->pCn;
        caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
        return ok;
    }));
    EXPECT_LT(minimum, count_failure_points([] {
        CALDB_ORGANIZER* org = nullptr;
        calparser_copyURLEncodedOrganizer("CN=Boss^mailto:boss@example.com", &org, 0);
        bool ok = org && org->pCn && org->pAddr;
        caldb_FreeOrganizer(&org);
        return ok;
    }));
}

// A unique merge that replaces an attendee other than the last: never a
// double free or a leak, whichever allocation fails.
TEST(UrlParamsAllocation, UniqueReplacementSurvivesEveryFailure)
{
    array_t* warm = array_new();  // the keyword table is made outside the count
    add_attendees(warm, "mailto:w@example.com", 0, 1);
    caldb_FreeList(&warm, CALDB_LIST_ATTENDEES);
    count_failure_points([] {
        array_t* list = array_new();
        bool ok = list
                  && add_attendees(list, "mailto:x@example.com;mailto:y@example.com;"
                                         "CN=Z^mailto:x@example.com", 0, 1) == 0
                  && list->count == 2 && at(list, 0)->pCn;
        caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
        return ok;
    });
}
