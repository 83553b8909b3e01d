// Attendee and organizer lists: deep copies, list merges, look-ups, the
// deletion marker and recipients.
#include <gtest/gtest.h>

#include "core/parser/cal_attendees.h"
#include "tests/support/attendee_lists.h"
#include "tests/support/heap_failure.h"

namespace {

CALDB_ATTENDEE* deletion_marker(const char* addr) {
    CALDB_ATTENDEE* a = new_attendee(addr, nullptr, 9);
    a->pPartStatName = PL_strdup("X-KVAL-PLIX-ATTENDEE-DELETE");
    return a;
}

}  // namespace

// The list copy runs every allocation of the attendee copy too.
TEST(AttendeeLists, CopyReplacesTheDestinationOrFreesIt) {
    array_t* src = attendee_list({full_attendee(), new_attendee("mailto:b@x.com", "b", 2)});
    array_t* dest = nullptr;
    count_failure_points([&] {
        int rc = calparser_copy_attendee_arrays(&dest, src);
        EXPECT_TRUE(rc == 0 || !dest);
        caldb_FreeList(&dest, CALDB_LIST_ATTENDEES);
        return rc == 0;
    });
    dest = attendee_list({new_attendee("mailto:old@x.com")});
    ASSERT_EQ(0, calparser_copy_attendee_arrays(&dest, src));
    EXPECT_EQ(addresses(src), addresses(dest));
    // A deep copy of every field but the record words 4 and 5.
    const CALDB_ATTENDEE* from = attendee_at(src, 0);
    const CALDB_ATTENDEE* copy = attendee_at(dest, 0);
    for (char* CALDB_ATTENDEE::*field : kAttendeeTexts) {
        EXPECT_NE(from->*field, copy->*field);
        EXPECT_STREQ(from->*field, copy->*field);
    }
    for (array_t* CALDB_ATTENDEE::*list : kAttendeeLists)
        EXPECT_EQ(strings(from->*list), strings(copy->*list));
    const int words[8] = {100, 101, 102, 103, 0, 0, 106, 107};
    for (int i = 0; i < 8; i++) EXPECT_EQ(words[i], copy->nAuxWords[i]) << i;
    EXPECT_EQ(1, copy->bAuxFlag);
    // An attendee that cannot be copied loses the whole copy.
    array_append(src, new_attendee(nullptr, "noaddr"));
    EXPECT_EQ(3, calparser_copy_attendee_arrays(&dest, src));
    EXPECT_EQ(nullptr, dest);
    caldb_FreeList(&src, CALDB_LIST_ATTENDEES);
}

TEST(AttendeeLists, FindMatchesCalidIgnoringCaseButNeverItsAddress) {
    array_t* list = attendee_list({new_attendee(""), new_attendee("mailto:a@x.com"),
                                   new_attendee("mailto:b@x.com", "bee"),
                                   new_attendee("mailto:jd@x.com", "JDoe")});
    int index = -1;
    CALDB_ATTENDEE* byCalid = new_attendee("mailto:other@x.com", "jdoe");
    EXPECT_EQ(attendee_at(list, 3), calparser_findAttendeeInList(list, byCalid, &index));
    EXPECT_EQ(3, index);
    // A key with a calendar id never matches by address.
    CALDB_ATTENDEE* idNoMatch = new_attendee("MAILTO:A@X.COM", "someone");
    EXPECT_EQ(nullptr, calparser_findAttendeeInList(list, idNoMatch, &index));
    for (CALDB_ATTENDEE* a : {byCalid, idNoMatch}) caldb_FreeAttendee(&a);
    caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
}

TEST(AttendeeMerge, ReplacesAppendsOrDeletes) {
    array_t* list = attendee_list({new_attendee("mailto:a@x.com", nullptr, 1),
                                   new_attendee("mailto:b@x.com", nullptr, 1),
                                   new_attendee("mailto:c@x.com", nullptr, 1)});
    // A match is replaced in place by a copy; the caller keeps its record.
    CALDB_ATTENDEE* update = new_attendee("MAILTO:B@X.COM", nullptr, 2);
    EXPECT_EQ(1, calparser_merge_attendee(list, update, 0));
    EXPECT_EQ((Strings{"mailto:a@x.com", "MAILTO:B@X.COM", "mailto:c@x.com"}), addresses(list));
    caldb_FreeAttendee(&update);

    // A missing attendee is appended only on request, and then owned by the list.
    CALDB_ATTENDEE* added = new_attendee("mailto:d@x.com", nullptr, 4);
    EXPECT_EQ(0, calparser_merge_attendee(list, added, 0));
    EXPECT_EQ(3u, list->count);
    EXPECT_EQ(0, calparser_merge_attendee(list, added, 1));
    EXPECT_EQ(added, attendee_at(list, 3));

    // The deletion marker removes its match and is never added.
    CALDB_ATTENDEE* marker = deletion_marker("mailto:a@x.com");
    CALDB_ATTENDEE* stray = deletion_marker("mailto:c@x.com");
    EXPECT_EQ(0, calparser_merge_attendee(list, marker, 0));
    EXPECT_EQ(0, calparser_merge_attendee(list, marker, 1));  // now a stray: not added
    EXPECT_EQ(0, calparser_merge_attendee(list, stray, 1));
    EXPECT_EQ((Strings{"MAILTO:B@X.COM", "mailto:d@x.com"}), addresses(list));

    for (CALDB_ATTENDEE* a : {marker, stray}) caldb_FreeAttendee(&a);
    caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
}

// "mailto:" goes in any letter case; a text without it is no address (but
// may be a calendar id). A failed copy takes every address collected with the list.
TEST(Addresses, RecipientsOrNoListWhenACopyFails) {
    EXPECT_EQ(0, bIsMailto(nullptr) + isEmailAddress("@b.c") + IsPossibleCalid("MailTo:x"));
    EXPECT_EQ(1, IsPossibleCalid("jdoe:work"));
    array_t* src = texts({"mailto:a@x.com", "jdoe", "MailTo:b@x.com", "Bob <MAILTO:bob@x.com>", "mailto:"});
    array_t* dest = nullptr;
    count_failure_points([&] {
        int rc = calparser_MakeEmailRecipientList(&dest, src);
        heap_failure::g_until_failure = -1;  // the checks below allocate
        if (rc != 0) {
            EXPECT_EQ(3, rc);
            EXPECT_EQ(nullptr, dest);
            return false;
        }
        EXPECT_EQ((Strings{"a@x.com", "b@x.com", "bob@x.com>"}), strings(dest));
        array_free_and_destroy(&dest);
        return true;
    });
    array_free_and_destroy(&src);
}

// No source: *dest becomes NULL but the list it pointed to is the caller's,
// held elsewhere too (its text is a constant that free() would reject).
TEST(Addresses, RecipientsOfNoSourceLeaveTheCallersListAlone) {
    char held[] = "kept@x.com";
    array_t* callers = array_new();
    array_append(callers, held);
    array_t* empty = array_new();
    const array_t* const sources[] = {nullptr, empty};
    for (const array_t* src : sources) {
        array_t* dest = callers;
        EXPECT_EQ(1, calparser_MakeEmailRecipientList(&dest, src));
        EXPECT_EQ(nullptr, dest);
        ASSERT_EQ(1u, callers->count);
        EXPECT_EQ(held, callers->data[0]);
    }
    array_delete(empty);
    array_delete(callers);
}

// A failed copy while appending to a list that existed gives the list back
// with exactly the texts it had; a list made by the call is destroyed.
TEST(TextLists, FailedAppendRollsBackOrDestroys) {
    array_t* src = texts({"b", "c"});
    for (bool existed : {true, false}) {
        array_t* dest = existed ? texts({"a"}) : nullptr;
        const Strings before = strings(dest);
        count_failure_points([&] {
            int rc = calparser_append_arrays(&dest, src);
            if (rc == 0) return true;
            EXPECT_EQ(3, rc);
            EXPECT_EQ(existed, dest != nullptr);
            EXPECT_EQ(before, strings(dest));
            return false;
        });
        if (!IsSkipped()) {  // without the heap hook nothing was appended
            EXPECT_EQ((existed ? Strings{"a", "b", "c"} : Strings{"b", "c"}), strings(dest));
        }
        array_free_and_destroy(&dest);
    }
    array_free_and_destroy(&src);
}
