// URL-encoded request parameters: hat-form rewriting, tokens of hat items and
// extension-property items, recurrence and date lists, attendee lists with
// the deletion marker, the organizer.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include <plstr.h>

#include "core/parser/cal_urlparams.h"
#include "public/db/caldb.h"
#include "public/db/caldb_lists.h"
#include "public/util/array.h"
#include "tests/heap_failure.h"

namespace {

std::vector<std::string> strings(const array_t* list)
{
    std::vector<std::string> out;
    for (unsigned i = 0; list && i < list->count; i++)
        out.push_back(static_cast<const char*>(list->data[i]));
    return out;
}

const CALPARSER_PARAM* param(const CALPARSER_TOKEN* token, unsigned i)
{
    return static_cast<const CALPARSER_PARAM*>(array_elementat(token->pParamList, i));
}

const CALDB_ATTENDEE* at(const array_t* list, unsigned i)
{
    return static_cast<const CALDB_ATTENDEE*>(array_elementat(list, i));
}

std::vector<std::string> addresses(const array_t* list)
{
    std::vector<std::string> out;
    for (unsigned i = 0; list && i < list->count; i++)
        out.push_back(at(list, i)->pAddr ? at(list, i)->pAddr : "(null)");
    return out;
}

/* A list result of the recurrence copy into a fresh list. */
std::vector<std::string> recurrence(const char* encoded, int toUpper = 0, int unique = 0)
{
    array_t* dest = array_new();
    EXPECT_EQ(0, calparser_recurrence_copyURLEncodedRecurrenceString_to_array(encoded, dest,
                                                                              toUpper, unique));
    std::vector<std::string> out = strings(dest);
    caldb_free_text_list(&dest);
    return out;
}

using Strings = std::vector<std::string>;

/* The list holds exactly these texts; allocates nothing, so it can run while
 * allocations are made to fail. */
bool holds_texts(const array_t* list, std::initializer_list<const char*> expected)
{
    if (!list || list->count != expected.size())
        return false;
    unsigned i = 0;
    for (const char* text : expected) {
        const char* present = static_cast<const char*>(list->data[i++]);
        if (!present || strcmp(present, text) != 0)
            return false;
    }
    return true;
}

}  // namespace

// The last "^" ends the parameters, every earlier one separates two.
TEST(HatRewriting, LastHatIsColonOthersSemicolons)
{
    char text[] = "ROLE=CHAIR^RSVP=TRUE^mailto:x";
    char* p = text;
    EXPECT_EQ(&p, convertHatCharToSemicolonAndLastToColon(&p));
    EXPECT_STREQ("ROLE=CHAIR;RSVP=TRUE:mailto:x", text);

    char abc[] = "A^B^C";
    p = abc;
    convertHatCharToSemicolonAndLastToColon(&p);
    EXPECT_STREQ("A;B:C", abc);

    char trailing[] = "A^";
    p = trailing;
    convertHatCharToSemicolonAndLastToColon(&p);
    EXPECT_STREQ("A:", trailing);

    char bare[] = "abc";
    p = bare;
    convertHatCharToSemicolonAndLastToColon(&p);
    EXPECT_STREQ("abc", bare);

    p = nullptr;
    EXPECT_EQ(&p, convertHatCharToSemicolonAndLastToColon(&p));
    EXPECT_EQ(nullptr, convertHatCharToSemicolonAndLastToColon(nullptr));
}

TEST(HatItem, ParametersAndValueBecomeTheToken)
{
    char item[] = "ROLE=CHAIR^RSVP=TRUE^mailto:x";
    CALPARSER_TOKEN* token = nullptr;
    ASSERT_EQ(0, parseHatSeperatedStringIntoToken(item, &token));
    ASSERT_NE(nullptr, token);
    EXPECT_STREQ("ROLE=CHAIR;RSVP=TRUE:mailto:x", item);  // the caller's buffer is rewritten
    EXPECT_EQ(nullptr, token->pName);
    EXPECT_STREQ("mailto:x", token->pValue);
    ASSERT_EQ(2u, token->pParamList->count);
    EXPECT_EQ(TOKEN_ROLE, param(token, 0)->nType);
    EXPECT_STREQ("CHAIR", param(token, 0)->pValue);
    EXPECT_EQ(TOKEN_RSVP, param(token, 1)->nType);
    EXPECT_STREQ("TRUE", param(token, 1)->pValue);
    calparser_FreeToken(&token);

    // Without a hat the whole item is the value; "A^" has an empty value.
    char bare[] = "abc";
    ASSERT_EQ(0, parseHatSeperatedStringIntoToken(bare, &token));
    EXPECT_STREQ("abc", token->pValue);
    EXPECT_EQ(0u, token->pParamList->count);
    calparser_FreeToken(&token);

    char empty[] = "X-A^";
    ASSERT_EQ(0, parseHatSeperatedStringIntoToken(empty, &token));
    EXPECT_EQ(nullptr, token->pValue);
    ASSERT_EQ(1u, token->pParamList->count);
    EXPECT_STREQ("X-A", param(token, 0)->pName);
    calparser_FreeToken(&token);
}

TEST(HatItem, NullArguments)
{
    char item[] = "abc";
    EXPECT_EQ(1, parseHatSeperatedStringIntoToken(item, nullptr));
    CALPARSER_TOKEN* token = nullptr;
    EXPECT_EQ(1, parseHatSeperatedStringIntoToken(nullptr, &token));
    ASSERT_NE(nullptr, token);  // the empty token is the caller's
    EXPECT_EQ(nullptr, token->pValue);
    calparser_FreeToken(&token);
}

TEST(XPropertyItem, NameBeforeFirstEqualsAsWritten)
{
    char item[] = "x-Foo=X-A=1^X-B=\"a:b\"^bar";
    CALPARSER_TOKEN* token = nullptr;
    ASSERT_EQ(0, cal_parseutil_parseXProperty(item, &token));
    ASSERT_NE(nullptr, token);
    EXPECT_STREQ("x-Foo", token->pName);
    EXPECT_STREQ("bar", token->pValue);
    ASSERT_EQ(2u, token->pParamList->count);
    EXPECT_EQ(TOKEN_X_PARAM, param(token, 0)->nType);
    EXPECT_STREQ("X-A", param(token, 0)->pName);
    EXPECT_STREQ("1", param(token, 0)->pValue);
    EXPECT_STREQ("a:b", param(token, 1)->pValue);
    calparser_FreeToken(&token);

    char plain[] = "X-FOO=bar";
    ASSERT_EQ(0, cal_parseutil_parseXProperty(plain, &token));
    EXPECT_STREQ("X-FOO", token->pName);
    EXPECT_STREQ("bar", token->pValue);
    calparser_FreeToken(&token);
}

TEST(XPropertyItem, MissingEqualsAndNullArguments)
{
    char item[] = "X-FOO^bar";
    CALPARSER_TOKEN* token = calparser_NewToken();
    CALPARSER_TOKEN* stale = token;
    EXPECT_EQ(2, cal_parseutil_parseXProperty(item, &token));
    EXPECT_EQ(nullptr, token);
    calparser_FreeToken(&stale);
    EXPECT_EQ(1, cal_parseutil_parseXProperty(nullptr, &token));
    EXPECT_EQ(1, cal_parseutil_parseXProperty(item, nullptr));
}

TEST(RecurrenceList, QuotesAroundItems)
{
    // Quotes keep the ";" of a rule inside one item.
    EXPECT_EQ((Strings{"FREQ=DAILY;INTERVAL=2", "FREQ=WEEKLY"}),
              recurrence("\"FREQ=DAILY;INTERVAL=2\";FREQ=WEEKLY"));
    EXPECT_EQ((Strings{"FREQ=DAILY"}), recurrence("\"FREQ=DAILY\""));
    // A lone quote is the whole value; an unclosed one only loses itself.
    EXPECT_EQ((Strings{"a", "\""}), recurrence("a;\""));
    EXPECT_EQ((Strings{"a", "FREQ=WEEKLY"}), recurrence("a;\"FREQ=WEEKLY"));
    // Empty items, also those empty once unquoted, are skipped.
    EXPECT_EQ((Strings{"a", "b"}), recurrence("a;;\"\";b"));
    EXPECT_EQ(Strings{}, recurrence(""));
}

TEST(RecurrenceList, UpperCaseAndUniqueAppends)
{
    EXPECT_EQ((Strings{"FREQ=DAILY;BYDAY=MO"}), recurrence("\"freq=daily;byday=Mo\"", 1));
    EXPECT_EQ((Strings{"freq=daily"}), recurrence("freq=daily", 0));

    array_t* dest = array_new();
    array_append(dest, PL_strdup("20030101T000000Z"));
    EXPECT_EQ(0, calparser_recurrence_copyURLEncodedRecurrenceString_to_array(
                     "20030101T000000Z;20030102T000000Z;20030102T000000Z;20030102t000000z",
                     dest, 0, 1));
    EXPECT_EQ((Strings{"20030101T000000Z", "20030102T000000Z", "20030102t000000z"}),
              strings(dest));
    // Upper-cased before the comparison, the last item is a duplicate too.
    EXPECT_EQ(0, calparser_recurrence_copyURLEncodedRecurrenceString_to_array(
                     "20030102t000000z;20030103t000000z", dest, 1, 1));
    EXPECT_EQ(4u, dest->count);
    EXPECT_STREQ("20030103T000000Z", static_cast<const char*>(dest->data[3]));
    // Without unique every item goes in.
    EXPECT_EQ(0, calparser_recurrence_copyURLEncodedRecurrenceString_to_array(
                     "20030101T000000Z;20030101T000000Z", dest, 0, 0));
    EXPECT_EQ(6u, dest->count);

    EXPECT_EQ(0, calparser_recurrence_copyURLEncodedRecurrenceString_to_array(nullptr, dest, 0, 0));
    EXPECT_EQ(6u, dest->count);
    EXPECT_EQ(1, calparser_recurrence_copyURLEncodedRecurrenceString_to_array("a", nullptr, 0, 0));
    caldb_free_text_list(&dest);
}

TEST(AttendeeList, ItemsBecomeAttendees)
{
    array_t* list = array_new();
    ASSERT_EQ(0, calparser_recurrence_copyURLEncodedAttendee_to_array(
                     "ROLE=CHAIR^RSVP=TRUE^mailto:x@example.com;;CN=Jo^mailto:jo@example.com",
                     list, 0, 0, nullptr));
    ASSERT_EQ((Strings{"mailto:x@example.com", "mailto:jo@example.com"}), addresses(list));
    EXPECT_STREQ("CHAIR", at(list, 0)->pRole);
    EXPECT_EQ(1, at(list, 0)->bRsvp);
    EXPECT_STREQ("Jo", at(list, 1)->pCn);

    // Upper-cased before parsing: parameters and address too.
    ASSERT_EQ(0, calparser_recurrence_copyURLEncodedAttendee_to_array(
                     "cn=Ann^mailto:ann@example.com", list, 1, 0, nullptr));
    ASSERT_EQ(3u, list->count);
    EXPECT_STREQ("MAILTO:ANN@EXAMPLE.COM", at(list, 2)->pAddr);
    EXPECT_STREQ("ANN", at(list, 2)->pCn);

    EXPECT_EQ(0, calparser_recurrence_copyURLEncodedAttendee_to_array(nullptr, list, 0, 0,
                                                                      nullptr));
    EXPECT_EQ(3u, list->count);
    EXPECT_EQ(1, calparser_recurrence_copyURLEncodedAttendee_to_array("mailto:a@example.com",
                                                                      nullptr, 0, 0, nullptr));
    caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
}

TEST(AttendeeList, UniqueReplacesTheMatch)
{
    array_t* list = array_new();
    ASSERT_EQ(0, calparser_recurrence_copyURLEncodedAttendee_to_array(
                     "ROLE=CHAIR^mailto:x@example.com;mailto:y@example.com", list, 0, 1, nullptr));
    ASSERT_EQ(0, calparser_recurrence_copyURLEncodedAttendee_to_array(
                     "ROLE=OPT-PARTICIPANT^MAILTO:X@example.com", list, 0, 1, nullptr));
    ASSERT_EQ((Strings{"MAILTO:X@example.com", "mailto:y@example.com"}), addresses(list));
    EXPECT_STREQ("OPT-PARTICIPANT", at(list, 0)->pRole);

    // Without unique the same attendee is simply appended.
    ASSERT_EQ(0, calparser_recurrence_copyURLEncodedAttendee_to_array(
                     "mailto:y@example.com", list, 0, 0, nullptr));
    EXPECT_EQ(3u, list->count);
    caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
}

TEST(AttendeeList, DeletionMarkerRemovesTheMatch)
{
    array_t* list = array_new();
    ASSERT_EQ(0, calparser_recurrence_copyURLEncodedAttendee_to_array(
                     "mailto:x@example.com;mailto:y@example.com", list, 0, 1, nullptr));
    for (int unique = 0; unique <= 1; unique++) {
        ASSERT_EQ(0, calparser_recurrence_copyURLEncodedAttendee_to_array(
                         "PARTSTAT=X-KVAL-PLIX-ATTENDEE-DELETE^mailto:nobody@example.com", list,
                         0, unique, nullptr));
        EXPECT_EQ((Strings{"mailto:x@example.com", "mailto:y@example.com"}), addresses(list));
    }
    ASSERT_EQ(0, calparser_recurrence_copyURLEncodedAttendee_to_array(
                     "PARTSTAT=X-KVAL-PLIX-ATTENDEE-DELETE^mailto:X@EXAMPLE.COM", list, 0, 0,
                     nullptr));
    EXPECT_EQ((Strings{"mailto:y@example.com"}), addresses(list));
    // Upper-casing keeps the marker intact.
    ASSERT_EQ(0, calparser_recurrence_copyURLEncodedAttendee_to_array(
                     "partstat=x-kval-plix-attendee-delete^mailto:y@example.com", list, 1, 1,
                     nullptr));
    EXPECT_EQ(0u, list->count);
    caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
}

// A calendar id the directory does not know cannot be stored: the request
// stops there, and what was merged before stays.
TEST(AttendeeList, RejectedAttendeeEndsWithOne)
{
    array_t* list = array_new();
    EXPECT_EQ(1, calparser_recurrence_copyURLEncodedAttendee_to_array(
                     "mailto:a@example.com;nosuchuser;mailto:b@example.com", list, 0, 0, nullptr));
    EXPECT_EQ((Strings{"mailto:a@example.com"}), addresses(list));
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

    // The record is reused; upper-casing applies to the whole item.
    EXPECT_EQ(0, calparser_copyURLEncodedOrganizer("cn=Chief^mailto:chief@example.com", &org, 1));
    EXPECT_STREQ("MAILTO:CHIEF@EXAMPLE.COM", org->pAddr);
    EXPECT_STREQ("CHIEF", org->pCn);
    EXPECT_STREQ("mailto:aide@example.com", org->pSentBy);

    // Nothing usable: always 0, the record untouched.
    EXPECT_EQ(0, calparser_copyURLEncodedOrganizer(nullptr, &org, 0));
    EXPECT_EQ(0, calparser_copyURLEncodedOrganizer(";mailto:late@example.com", &org, 0));
    EXPECT_EQ(0, calparser_copyURLEncodedOrganizer("mailto:x@example.com", nullptr, 0));
    EXPECT_STREQ("MAILTO:CHIEF@EXAMPLE.COM", org->pAddr);
    caldb_FreeOrganizer(&org);
}

// Every allocation of each operation fails once: nothing leaks, and a list
// keeps only whole entries.
TEST(UrlParamsAllocation, NoLeakWhenMemoryRunsOut)
{
    // The keyword table is made once, outside the count.
    char warm[] = "X-WARM=ROLE=CHAIR^up";
    CALPARSER_TOKEN* warmToken = nullptr;
    cal_parseutil_parseXProperty(warm, &warmToken);
    calparser_FreeToken(&warmToken);
    const int minimum = HEAP_FAILURE_HOOK ? 2 : -1;
    EXPECT_LT(minimum, count_failure_points([] {
        char item[] = "X-FOO=X-A=1^X-B=2^bar";
        CALPARSER_TOKEN* token = nullptr;
        int rc = cal_parseutil_parseXProperty(item, &token);
        bool ok = rc == 0 && token && token->pName && token->pValue
                  && token->pParamList->count == 2;
        calparser_FreeToken(&token);
        return ok;
    }));
    EXPECT_LT(minimum, count_failure_points([] {
        array_t* dest = array_new();
        if (!dest)
            return false;
        int rc = calparser_recurrence_copyURLEncodedRecurrenceString_to_array(
            "\"FREQ=DAILY\";b;b", dest, 1, 1);
        bool ok = rc == 0 && holds_texts(dest, {"FREQ=DAILY", "B"});
        caldb_free_text_list(&dest);
        return ok;
    }));
    EXPECT_LT(minimum, count_failure_points([] {
        array_t* list = array_new();
        if (!list)
            return false;
        int rc = calparser_recurrence_copyURLEncodedAttendee_to_array(
            "ROLE=CHAIR^mailto:x@example.com;CN=Y^mailto:y@example.com;"
            "PARTSTAT=X-KVAL-PLIX-ATTENDEE-DELETE^mailto:x@example.com",
            list, 0, 1, nullptr);
        bool ok = rc == 0 && list->count == 1 && at(list, 0)->pCn
                  && strcmp(at(list, 0)->pAddr, "mailto:y@example.com") == 0;
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
