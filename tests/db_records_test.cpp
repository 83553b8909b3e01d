// Records: construction and the deep copy of attendees.
#include <gtest/gtest.h>

#include <string.h>

#include "public/db/caldb.h"
#include "tests/support/attendee_lists.h"

namespace {

bool all_zero(const void* p, size_t n) {
    const unsigned char* bytes = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; i++)
        if (bytes[i]) return false;
    return true;
}

}  // namespace

TEST(DbRecords, ComponentsStartZeroedWithNoStateGiven) {
    // The kind given becomes nType; an expanded master keeps its own kind.
    for (int kind : {0, 1, 10, 11}) {
        void* c = caldb_NewComponent(kind);
        ASSERT_NE(nullptr, c) << kind;
        CALDB_COMPONENT* head = static_cast<CALDB_COMPONENT*>(c);
        EXPECT_EQ(kind, head->nType);
        EXPECT_EQ(1u, head->nCompState);
        head->nType = 0;
        head->nCompState = 0;
        EXPECT_TRUE(all_zero(c, kind % 10 ? sizeof(CALDB_VTODO) : sizeof(CALDB_VEVENT))) << kind;
        caldb_FreeComponent(&c);
        EXPECT_EQ(nullptr, c);
    }
    EXPECT_EQ(nullptr, caldb_NewComponent(2));
}

// Every field: a field the copy forgets is the fault this catches. Absent
// stays absent; present but empty stays present.
TEST(DbRecords, AttendeeCopyIsDeepAndSurvivesItsSource) {
    CALDB_ATTENDEE* src = full_attendee();
    CALDB_ATTENDEE* copy = nullptr;
    ASSERT_EQ(0, caldb_copyConstructorAttendee(src, &copy));
    caldb_FreeAttendee(&src);
    CALDB_ATTENDEE* expected = full_attendee();
    for (char* CALDB_ATTENDEE::*field : kAttendeeTexts)
        EXPECT_STREQ(expected->*field, copy->*field);
    for (array_t* CALDB_ATTENDEE::*list : kAttendeeLists)
        EXPECT_EQ(strings(expected->*list), strings(copy->*list));
    EXPECT_EQ(0, memcmp(expected->nAuxWords, copy->nAuxWords, sizeof copy->nAuxWords));
    EXPECT_TRUE(copy->nPartStat == 9 && copy->nSentStatus == 2 && copy->bRsvp == 1);
    caldb_FreeAttendee(&expected);
    caldb_FreeAttendee(&copy);

    src = caldb_NewAttendee();
    src->aMembers = array_new();
    ASSERT_EQ(0, caldb_copyConstructorAttendee(src, &copy));
    EXPECT_EQ(nullptr, copy->aDelegatedTo);
    ASSERT_NE(nullptr, copy->aMembers);
    EXPECT_EQ(0u, copy->aMembers->count);
    EXPECT_EQ(1, caldb_copyConstructorAttendee(nullptr, &copy));
    caldb_FreeAttendee(&src);
    caldb_FreeAttendee(&copy);
}
