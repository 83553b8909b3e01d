// URL-encoded request parameters: recurrence and date lists, attendee lists
// with the deletion marker, and extension-property requests (building their
// lines, and add / replace / delete on a component's line list).
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "core/parser/cal_urlparams.h"
#include "core/parser/cal_xprops.h"
#include "public/db/caldb_lists.h"
#include "tests/support/attendee_lists.h"
#include "tests/support/heap_failure.h"

namespace {

int add_attendees(array_t* list, const char* encoded, int toUpper, int unique)
{
    return calparser_recurrence_copyURLEncodedAttendee_to_array(encoded, list, toUpper, unique,
                                                                 nullptr);
}

#define OP_REPLACE "X-KVAL-ORIGINAL-OPERATION=X-KVAL-PLIX-PROPERTY-REPLACE^"
#define OP_DELETE "X-KVAL-ORIGINAL-OPERATION=X-KVAL-PLIX-PROPERTY-DELETE^"

/* The token of a request item (freed by the caller). */
CALPARSER_TOKEN* request(const char* item)
{
    std::string buffer(item);
    CALPARSER_TOKEN* token = nullptr;
    EXPECT_EQ(0, cal_parseutil_parseXProperty(&buffer[0], &token)) << item;
    return token;
}

int apply(array_t** lines, std::initializer_list<const char*> items)
{
    array_t* list = texts(items);
    int rc = calparser_copyURLEncodedXProperties_to_array(lines, list);
    caldb_free_text_list(&list);
    return rc;
}

void add_param(CALPARSER_TOKEN* token, const char* name, const char* value)
{
    CALPARSER_PARAM* param = calparser_NewParam();
    param->nType = TOKEN_X_PARAM;
    param->pName = name ? PL_strdup(name) : nullptr;
    param->pValue = value ? PL_strdup(value) : nullptr;
    array_append(token->pParamList, param);
}

}  // namespace

TEST(RecurrenceList, QuotesUpperCaseAndUniqueAppends)
{
    struct Case {
        const char* encoded;
        int toUpper;
        int unique;
        Strings expected;
    } cases[] = {
        {"\"FREQ=DAILY\";FREQ=WEEKLY", 0, 0, {"FREQ=DAILY", "FREQ=WEEKLY"}},
        // A lone quote is the value; an unclosed one only loses itself.
        {"a;\"", 0, 0, {"a", "\""}},
        {"a;\"FREQ=WEEKLY", 0, 0, {"a", "FREQ=WEEKLY"}},
        // Unique is case distinguished, after upper-casing.
        {"d1;d2;d1;D2", 0, 1, {"d1", "d2", "D2"}},
        {"d1;d2;d1;D2", 1, 1, {"D1", "D2"}},
    };
    for (const Case& c : cases) {
        array_t* dest = array_new();
        EXPECT_EQ(0, calparser_recurrence_copyURLEncodedRecurrenceString_to_array(
                         c.encoded, dest, c.toUpper, c.unique));
        EXPECT_EQ(c.expected, strings(dest)) << c.encoded;
        caldb_free_text_list(&dest);
    }
}

// How the storer reads parameters and how the deletion marker and the merges
// act on a list are checked with those units; here, that the items reach them.
TEST(AttendeeList, ItemsReachTheListUpperCasedWhenAsked)
{
    array_t* list = array_new();
    ASSERT_EQ(0, add_attendees(list, "ROLE=CHAIR^RSVP=TRUE^mailto:x@example.com;;"
                                     "CN=Jo^mailto:jo@example.com", 0, 0));
    ASSERT_EQ((Strings{"mailto:x@example.com", "mailto:jo@example.com"}), addresses(list));

    // Upper-cased before parsing; unique replaces the match in its place.
    ASSERT_EQ(0, add_attendees(list, "role=opt-participant^mailto:x@example.com", 1, 1));
    ASSERT_EQ((Strings{"MAILTO:X@EXAMPLE.COM", "mailto:jo@example.com"}), addresses(list));

    // Upper-casing turns a lower-case marker into the marker.
    ASSERT_EQ(0, add_attendees(list, "partstat=x-kval-plix-attendee-delete^mailto:x@example.com",
                               1, 0));
    EXPECT_EQ((Strings{"mailto:jo@example.com"}), addresses(list));

    // A rejected attendee stops the request; what was merged before stays.
    EXPECT_EQ(1, add_attendees(list, "mailto:a@example.com;nosuchuser;mailto:b@example.com", 0, 0));
    EXPECT_EQ((Strings{"mailto:jo@example.com", "mailto:a@example.com"}), addresses(list));
    caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
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
                  && list->count == 2 && attendee_at(list, 0)->pCn;
        caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
        return ok;
    });
}

// The request level reports every failure as 5; the line builder's own
// codes: the first incomplete parameter decides, 3 without name, 4 without
// value, and 1 for a token without value.
TEST(XPropLines, IncompleteTokensAreRefused)
{
    CALPARSER_TOKEN* token = request("X-FOO=X-A=1^bar");
    char* line = nullptr;
    add_param(token, "X-C", nullptr);
    add_param(token, nullptr, "v");
    EXPECT_EQ(4, calparser_convertTok_to_xProperty_string(&line, token));
    EXPECT_EQ(nullptr, line);
    CALPARSER_PARAM* noValue = static_cast<CALPARSER_PARAM*>(array_removeat(token->pParamList, 1));
    calparser_FreeParam(&noValue);
    EXPECT_EQ(3, calparser_convertTok_to_xProperty_string(&line, token));
    calparser_FreeToken(&token);

    token = request("X-FOO=X-A=1^");  // no value
    EXPECT_EQ(1, calparser_convertTok_to_xProperty_string(&line, token));
    calparser_FreeToken(&token);
}

TEST(XPropRequests, AddReplaceDelete)
{
    array_t* lines = nullptr;  // made on first use
    EXPECT_EQ(0, apply(&lines, {"X-FOO=X-A=1^bar", "X-BAR=baz", "X-FOOBAR=1"}));
    EXPECT_EQ((Strings{"X-FOO;X-A=1:bar", "X-BAR:baz", "X-FOOBAR:1"}), strings(lines));

    // Replace moves the line to the end; replacing an absent name adds it.
    EXPECT_EQ(0, apply(&lines, {"x-foo=" OP_REPLACE "X-Q=z^new", "X-NEW=" OP_REPLACE "v"}));
    EXPECT_EQ((Strings{"X-BAR:baz", "X-FOOBAR:1", "x-foo;X-Q=z:new", "X-NEW:v"}),
              strings(lines));

    // Every failure gives 5 and stops at the failing item: the items before
    // it stay done, the failing one changes nothing.
    EXPECT_EQ(5, apply(&lines, {"X-B=1", "X-FOO=other", "X-C=2"}));  // add of an existing name
    EXPECT_EQ(5, apply(&lines, {"=X-A=1^bar"}));  // an empty name would give a nameless line
    EXPECT_EQ(5u, lines->count);

    // Delete removes the line of that name only (X-FOOBAR is another name);
    // an absent one is no failure. The operation is read ignoring case; only
    // the first operation parameter counts (an unknown one adds).
    EXPECT_EQ(0, apply(&lines, {"X-FOO=x-kval-original-operation=x-kval-plix-property-delete^",
                                "X-NONE=" OP_DELETE,
                                "X-ADD=X-KVAL-ORIGINAL-OPERATION=NONE^" OP_DELETE "v"}));
    EXPECT_EQ((Strings{"X-BAR:baz", "X-FOOBAR:1", "X-NEW:v", "X-B:1", "X-ADD:v"}), strings(lines));
    caldb_free_text_list(&lines);
}

// Each allocation fails once in turn: nothing leaks.
TEST(XPropRequests, NoLeakWhenMemoryRunsOut)
{
    array_t* warm = nullptr;  // the keyword table is made outside the count
    apply(&warm, {"X-WARM=X-W=1^up"});
    caldb_free_text_list(&warm);
    count_failure_points([] {
        array_t* lines = nullptr;
        char replace[] = "X-FOO=" OP_REPLACE "X-A=1^new";
        char add[] = "X-BAR=X-B=2^bar";
        void* slots[] = {replace, add};
        array_t items = {slots, 2, 2};
        bool ok = calparser_copyURLEncodedXProperties_to_array(&lines, &items) == 0
                  && lines->count == 2
                  && strcmp(static_cast<char*>(lines->data[0]), "X-FOO;X-A=1:new") == 0
                  && strcmp(static_cast<char*>(lines->data[1]), "X-BAR;X-B=2:bar") == 0;
        caldb_free_text_list(&lines);
        return ok;
    }, 2);
}
