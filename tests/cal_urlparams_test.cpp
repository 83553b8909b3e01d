// URL-encoded request parameters: recurrence and date lists, attendee lists
// with the deletion marker.
#include <gtest/gtest.h>

#include "core/parser/cal_urlparams.h"
#include "public/db/caldb_lists.h"
#include "tests/support/attendee_lists.h"
#include "tests/support/heap_failure.h"

namespace {

int add_attendees(array_t* list, const char* encoded, int toUpper, int unique)
{
    return calparser_recurrence_copyURLEncodedAttendee_to_array(encoded, list, toUpper, unique,
                                                                 nullptr);
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
