// Attendee and organizer lists: deep copies, list merges, look-ups, the
// deletion marker, duplicates, statuses, recipients and address tests.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include <plstr.h>

#include "core/parser/cal_attendees.h"
#include "public/ac/acl.h"
#include "public/db/caldb.h"
#include "public/util/array.h"

namespace {

array_t* texts(std::initializer_list<const char*> items) {
    array_t* list = array_new();
    for (const char* item : items) array_append(list, PL_strdup(item));
    return list;
}

std::vector<std::string> strings(const array_t* list) {
    std::vector<std::string> out;
    for (unsigned i = 0; list && i < list->count; i++)
        out.push_back(static_cast<const char*>(list->data[i]));
    return out;
}

void free_texts(array_t** list) {
    array_free_and_destroy(list);
}

CALDB_ATTENDEE* attendee(const char* addr, const char* calid = nullptr, int partstat = 0) {
    CALDB_ATTENDEE* a = caldb_NewAttendee();
    a->pAddr = addr ? PL_strdup(addr) : nullptr;
    a->pCalid = calid ? PL_strdup(calid) : nullptr;
    a->nPartStat = partstat;
    return a;
}

CALDB_ATTENDEE* deletion_marker(const char* addr) {
    CALDB_ATTENDEE* a = attendee(addr, nullptr, 9);
    a->pPartStatName = PL_strdup("X-KVAL-PLIX-ATTENDEE-DELETE");
    return a;
}

array_t* attendees(std::initializer_list<CALDB_ATTENDEE*> items) {
    array_t* list = array_new();
    for (CALDB_ATTENDEE* a : items) array_append(list, a);
    return list;
}

const CALDB_ATTENDEE* at(const array_t* list, unsigned i) {
    return static_cast<const CALDB_ATTENDEE*>(array_elementat(list, i));
}

std::vector<std::string> addresses(const array_t* list) {
    std::vector<std::string> out;
    for (unsigned i = 0; list && i < list->count; i++) out.push_back(at(list, i)->pAddr);
    return out;
}

CALDB_ATTENDEE* full_attendee() {
    CALDB_ATTENDEE* a = attendee("mailto:jdoe@example.com", "jdoe", 9);
    a->pCuType = PL_strdup("INDIVIDUAL");
    a->aMembers = texts({"mailto:team@example.com"});
    a->aDelegatedTo = texts({"mailto:a@example.com", "mailto:b@example.com"});
    a->aDelegatedFrom = texts({"mailto:c@example.com"});
    a->pRole = PL_strdup("CHAIR");
    a->pCn = PL_strdup("John Doe");
    a->pDir = PL_strdup("ldap://example.com/jdoe");
    a->pSentBy = PL_strdup("mailto:boss@example.com");
    a->pLanguage = PL_strdup("en");
    a->pAuxText = PL_strdup("aux");
    a->nAuxValue = 7;
    a->pPartStatName = PL_strdup("X-MAYBE");
    a->nSentStatus = 2;
    for (int i = 0; i < 8; i++) a->nAuxWords[i] = 100 + i;
    a->bRsvp = 1;
    a->bAuxFlag = 1;
    return a;
}

}  // namespace

// Allocation failures: the test binary wraps the heap functions so that the
// n-th allocation from now fails and live blocks are counted. Sanitizer
// builds own the heap; there these checks are skipped.
#if defined(__SANITIZE_ADDRESS__)
#define ATTENDEES_HEAP_HOOK 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ATTENDEES_HEAP_HOOK 0
#endif
#endif
#ifndef ATTENDEES_HEAP_HOOK
#define ATTENDEES_HEAP_HOOK 1
#endif

#if ATTENDEES_HEAP_HOOK
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
}

namespace {
long g_allocations_until_failure = -1;  // -1: never fail
long g_live_blocks = 0;

bool allocation_fails() {
    if (g_allocations_until_failure < 0) return false;
    return g_allocations_until_failure-- == 0;
}
}  // namespace

extern "C" void* malloc(size_t size) {
    if (allocation_fails()) return nullptr;
    void* block = __libc_malloc(size);
    if (block) g_live_blocks++;
    return block;
}
extern "C" void* calloc(size_t count, size_t size) {
    if (allocation_fails()) return nullptr;
    void* block = __libc_calloc(count, size);
    if (block) g_live_blocks++;
    return block;
}
extern "C" void* realloc(void* block, size_t size) {
    if (allocation_fails()) return nullptr;
    void* grown = __libc_realloc(block, size);
    if (!block && grown) g_live_blocks++;
    return grown;
}
extern "C" void free(void* block) {
    if (block) g_live_blocks--;
    __libc_free(block);
}
#endif

namespace {

// Runs `attempt` with the 0th, 1st, 2nd ... allocation failing until it
// succeeds; `cleanup` releases what an attempt left to the caller. A failed
// attempt must leave no block behind once cleaned up. Returns the number of
// failure points, or -1 where the heap cannot be hooked.
template <typename Attempt, typename Cleanup>
int drive_failures(Attempt attempt, Cleanup cleanup) {
#if ATTENDEES_HEAP_HOOK
    for (long fail_at = 0; fail_at < 1000; fail_at++) {
        long live_before = g_live_blocks;
        g_allocations_until_failure = fail_at;
        bool ok = attempt();
        g_allocations_until_failure = -1;
        cleanup();
        if (ok) return static_cast<int>(fail_at);
        EXPECT_EQ(live_before, g_live_blocks) << "leak when allocation " << fail_at << " fails";
    }
    ADD_FAILURE() << "never succeeded";
#else
    (void)attempt;
    (void)cleanup;
#endif
    return -1;
}

}  // namespace

TEST(AttendeeCopy, DeepCopiesEveryFieldButTwoRecordWords) {
    CALDB_ATTENDEE* src = full_attendee();
    CALDB_ATTENDEE* dest = nullptr;
    ASSERT_EQ(0, calparser_recurrence_populateAttendee(&dest, src));
    ASSERT_NE(nullptr, dest);
    EXPECT_STREQ("mailto:jdoe@example.com", dest->pAddr);
    EXPECT_NE(src->pAddr, dest->pAddr);
    EXPECT_STREQ("jdoe", dest->pCalid);
    EXPECT_STREQ("INDIVIDUAL", dest->pCuType);
    EXPECT_EQ(strings(src->aMembers), strings(dest->aMembers));
    EXPECT_EQ(strings(src->aDelegatedTo), strings(dest->aDelegatedTo));
    EXPECT_NE(src->aDelegatedTo, dest->aDelegatedTo);
    EXPECT_EQ(strings(src->aDelegatedFrom), strings(dest->aDelegatedFrom));
    EXPECT_STREQ("CHAIR", dest->pRole);
    EXPECT_STREQ("John Doe", dest->pCn);
    EXPECT_STREQ("ldap://example.com/jdoe", dest->pDir);
    EXPECT_STREQ("mailto:boss@example.com", dest->pSentBy);
    EXPECT_STREQ("en", dest->pLanguage);
    EXPECT_STREQ("aux", dest->pAuxText);
    EXPECT_EQ(7, dest->nAuxValue);
    EXPECT_EQ(9, dest->nPartStat);
    EXPECT_STREQ("X-MAYBE", dest->pPartStatName);
    EXPECT_EQ(2, dest->nSentStatus);
    const int expected[8] = {100, 101, 102, 103, 0, 0, 106, 107};
    for (int i = 0; i < 8; i++) EXPECT_EQ(expected[i], dest->nAuxWords[i]) << i;
    EXPECT_EQ(1, dest->bRsvp);
    EXPECT_EQ(1, dest->bAuxFlag);
    caldb_FreeAttendee(&src);
    caldb_FreeAttendee(&dest);
}

TEST(AttendeeCopy, IntoAnExistingRecordMergesListsAndKeepsUnsetTexts) {
    CALDB_ATTENDEE* dest = attendee("mailto:old@example.com", "old");
    dest->pCn = PL_strdup("Old Name");
    dest->aDelegatedTo = texts({"mailto:b@example.com", "mailto:z@example.com"});
    dest->nAuxWords[4] = 44;
    CALDB_ATTENDEE* src = attendee("mailto:new@example.com", nullptr, 3);
    src->aDelegatedTo = texts({"mailto:a@example.com", "mailto:b@example.com"});
    ASSERT_EQ(0, calparser_recurrence_populateAttendee(&dest, src));
    EXPECT_STREQ("mailto:new@example.com", dest->pAddr);
    EXPECT_STREQ("old", dest->pCalid);    // the source has none
    EXPECT_STREQ("Old Name", dest->pCn);  // the source has none
    EXPECT_EQ(3, dest->nPartStat);
    EXPECT_EQ(44, dest->nAuxWords[4]);
    EXPECT_EQ((std::vector<std::string>{"mailto:b@example.com", "mailto:z@example.com",
                                        "mailto:a@example.com"}),
              strings(dest->aDelegatedTo));

    EXPECT_EQ(1, calparser_recurrence_populateAttendee(nullptr, src));
    EXPECT_EQ(1, calparser_recurrence_populateAttendee(&dest, nullptr));
    EXPECT_NE(nullptr, dest);

    // A source without an address cannot be copied: the destination goes.
    PL_strfree(src->pAddr);
    src->pAddr = nullptr;
    EXPECT_EQ(3, calparser_recurrence_populateAttendee(&dest, src));
    EXPECT_EQ(nullptr, dest);
    CALDB_ATTENDEE* fresh = nullptr;
    EXPECT_EQ(3, calparser_recurrence_populateAttendee(&fresh, src));
    EXPECT_EQ(nullptr, fresh);
    caldb_FreeAttendee(&src);
}

TEST(AttendeeCopy, OrganizerCopiesItsSevenTexts) {
    CALDB_ORGANIZER* src = caldb_NewOrganizer();
    src->pAddr = PL_strdup("mailto:boss@example.com");
    src->pOrganizerUid = PL_strdup("boss");
    src->pSentByUid = PL_strdup("aide");
    src->pSentBy = PL_strdup("mailto:aide@example.com");
    src->pLanguage = PL_strdup("de");
    src->pCn = PL_strdup("The Boss");
    src->pDir = PL_strdup("ldap://example.com/boss");
    CALDB_ORGANIZER* dest = nullptr;
    ASSERT_EQ(0, calparser_recurrence_populateOrganizer(&dest, src));
    EXPECT_STREQ("mailto:boss@example.com", dest->pAddr);
    EXPECT_STREQ("boss", dest->pOrganizerUid);
    EXPECT_STREQ("aide", dest->pSentByUid);
    EXPECT_STREQ("mailto:aide@example.com", dest->pSentBy);
    EXPECT_STREQ("de", dest->pLanguage);
    EXPECT_STREQ("The Boss", dest->pCn);
    EXPECT_STREQ("ldap://example.com/boss", dest->pDir);
    EXPECT_NE(src->pCn, dest->pCn);

    CALDB_ORGANIZER* partial = caldb_NewOrganizer();
    partial->pAddr = PL_strdup("mailto:x@example.com");
    ASSERT_EQ(0, calparser_recurrence_populateOrganizer(&dest, partial));
    EXPECT_STREQ("mailto:x@example.com", dest->pAddr);
    EXPECT_STREQ("The Boss", dest->pCn);
    PL_strfree(partial->pAddr);
    partial->pAddr = nullptr;
    EXPECT_EQ(3, calparser_recurrence_populateOrganizer(&dest, partial));
    EXPECT_EQ(nullptr, dest);
    EXPECT_EQ(1, calparser_recurrence_populateOrganizer(&dest, nullptr));
    caldb_FreeOrganizer(&src);
    caldb_FreeOrganizer(&partial);
}

TEST(TextLists, UniqueMergeKeepsTheDestinationsOriginalStart) {
    array_t* dest = texts({"X-KVAL-ORIGINAL-DTSTART:20260101T090000Z", "X-A:1"});
    array_t* src =
        texts({"x-kval-original-dtstart:20260201T090000Z", "X-A:1", "x-a:1", "X-B:2", "X-B:2"});
    EXPECT_EQ(0, calparser_append_arrays_unique(&dest, src));
    EXPECT_EQ((std::vector<std::string>{"X-KVAL-ORIGINAL-DTSTART:20260101T090000Z", "X-A:1",
                                        "x-a:1", "X-B:2"}),
              strings(dest));

    // Into a NULL list everything is copied, duplicates included.
    array_t* fresh = nullptr;
    EXPECT_EQ(0, calparser_append_arrays_unique(&fresh, src));
    EXPECT_EQ(strings(src), strings(fresh));
    EXPECT_NE(src->data[0], fresh->data[0]);

    // Into a list without one, the source's original-start line comes along.
    array_t* plain = texts({"X-C:3"});
    EXPECT_EQ(0, calparser_append_arrays_unique(&plain, src));
    EXPECT_EQ((std::vector<std::string>{"X-C:3", "x-kval-original-dtstart:20260201T090000Z",
                                        "X-A:1", "x-a:1", "X-B:2"}),
              strings(plain));

    EXPECT_EQ(0, calparser_append_arrays_unique(nullptr, src));
    EXPECT_EQ(0, calparser_append_arrays_unique(&plain, nullptr));
    array_t* none = nullptr;
    EXPECT_EQ(0, calparser_append_arrays_unique(&none, nullptr));
    EXPECT_EQ(nullptr, none);
    for (array_t** list : {&dest, &src, &fresh, &plain}) free_texts(list);
}

TEST(TextLists, AppendKeepsDuplicatesAndEndsOnItself) {
    array_t* dest = texts({"a"});
    array_t* src = texts({"a", "b"});
    EXPECT_EQ(0, calparser_append_arrays(&dest, src));
    EXPECT_EQ((std::vector<std::string>{"a", "a", "b"}), strings(dest));
    EXPECT_EQ(0, calparser_append_arrays(&dest, dest));
    EXPECT_EQ((std::vector<std::string>{"a", "a", "b", "a", "a", "b"}), strings(dest));
    EXPECT_EQ(0, calparser_append_arrays_unique(&dest, dest));
    EXPECT_EQ(6u, dest->count);
    free_texts(&dest);
    free_texts(&src);
}

TEST(TextLists, FailedAppendLeavesTheDestinationAsItWas) {
    array_t* src = texts({"one", "two", "three"});
    array_t* existing = texts({"kept"});
    array_t* created = nullptr;
    int points = drive_failures(
        [&] {
            int rc = calparser_append_arrays(&existing, src);
            if (rc != 0) {
                EXPECT_EQ(3, rc);
                EXPECT_EQ((std::vector<std::string>{"kept"}), strings(existing));
            }
            return rc == 0;
        },
        [] {});
    if (points >= 0) {
        EXPECT_EQ(4u, existing->count);
    }
    drive_failures(
        [&] {
            int rc = calparser_append_arrays(&created, src);
            if (rc != 0) {
                EXPECT_EQ(nullptr, created);
            }
            return rc == 0;
        },
        [&] { free_texts(&created); });
    free_texts(&src);
    free_texts(&existing);
}

TEST(AttendeeLists, CopyReplacesTheDestinationDeeply) {
    array_t* src = attendees({full_attendee(), attendee("mailto:b@example.com", "b", 2)});
    array_t* dest = attendees({attendee("mailto:old@example.com")});
    ASSERT_EQ(0, calparser_copy_attendee_arrays(&dest, src));
    ASSERT_EQ(2u, dest->count);
    EXPECT_EQ(addresses(src), addresses(dest));
    EXPECT_NE(at(src, 0), at(dest, 0));
    EXPECT_STREQ("John Doe", at(dest, 0)->pCn);
    EXPECT_EQ(2, at(dest, 1)->nPartStat);

    EXPECT_EQ(0, calparser_copy_attendee_arrays(&dest, nullptr));
    EXPECT_EQ(2u, dest->count);
    EXPECT_EQ(0, calparser_copy_attendee_arrays(nullptr, src));

    // An attendee that cannot be copied loses the whole copy.
    array_append(src, attendee(nullptr, "noaddr"));
    EXPECT_EQ(3, calparser_copy_attendee_arrays(&dest, src));
    EXPECT_EQ(nullptr, dest);
    caldb_FreeList(&src, CALDB_LIST_ATTENDEES);
}

TEST(AttendeeLists, DeepCopiesFreeEverythingWhenMemoryRunsOut) {
    CALDB_ATTENDEE* src = full_attendee();
    CALDB_ATTENDEE* dest = nullptr;
    int points = drive_failures(
        [&] {
            int rc = calparser_recurrence_populateAttendee(&dest, src);
            if (rc != 0) {
                EXPECT_EQ(3, rc);
                EXPECT_EQ(nullptr, dest);
            }
            return rc == 0;
        },
        [&] { caldb_FreeAttendee(&dest); });
    if (points >= 0) {
        EXPECT_GT(points, 15);  // record, 12 texts, 3 lists and their items
    }

    array_t* list = attendees({full_attendee(), attendee("mailto:b@example.com")});
    array_t* copy = nullptr;
    drive_failures(
        [&] {
            int rc = calparser_copy_attendee_arrays(&copy, list);
            if (rc != 0) {
                EXPECT_EQ(nullptr, copy);
            }
            return rc == 0;
        },
        [&] { caldb_FreeList(&copy, CALDB_LIST_ATTENDEES); });
    caldb_FreeAttendee(&src);
    caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
}

TEST(AttendeeLists, FindMatchesCalidOrElseAddressIgnoringCase) {
    array_t* list = attendees({attendee(""), attendee("mailto:a@example.com"),
                               attendee("mailto:jd@example.com", "JDoe"),
                               attendee("mailto:b@example.com", "bee")});
    int index = -1;
    CALDB_ATTENDEE* key = attendee("mailto:other@example.com", "jdoe");
    EXPECT_EQ(at(list, 2), calparser_findAttendeeInList(list, key, &index));
    EXPECT_EQ(2, index);

    // A key with a calendar id never matches by address.
    CALDB_ATTENDEE* byCalid = attendee("mailto:A@EXAMPLE.COM", "someone");
    EXPECT_EQ(nullptr, calparser_findAttendeeInList(list, byCalid, &index));
    // Without one, the address decides, also against an element with an id.
    CALDB_ATTENDEE* byAddress = attendee("MAILTO:B@example.com");
    EXPECT_EQ(at(list, 3), calparser_findAttendeeInList(list, byAddress, &index));
    EXPECT_EQ(3, index);
    CALDB_ATTENDEE* plain = attendee("mailto:a@example.com");
    EXPECT_EQ(at(list, 1), calparser_findAttendeeInList(list, plain, nullptr));

    CALDB_ATTENDEE* empty = attendee("");
    EXPECT_EQ(nullptr, calparser_findAttendeeInList(list, empty, &index));
    array_t* none = array_new();
    EXPECT_EQ(nullptr, calparser_findAttendeeInList(none, byAddress, &index));
    array_delete(none);
    for (CALDB_ATTENDEE* a : {key, byCalid, byAddress, plain, empty}) caldb_FreeAttendee(&a);
    caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
}

TEST(AttendeeMerge, ReplacesAppendsOrDeletes) {
    array_t* list = attendees({attendee("mailto:a@example.com", nullptr, 1),
                               attendee("mailto:b@example.com", nullptr, 1),
                               attendee("mailto:c@example.com", nullptr, 1)});
    // A match is replaced in place by a copy; the caller keeps its record.
    CALDB_ATTENDEE* update = attendee("MAILTO:B@EXAMPLE.COM", nullptr, 2);
    EXPECT_EQ(1, calparser_merge_attendee(list, update, 0));
    EXPECT_EQ((std::vector<std::string>{"mailto:a@example.com", "MAILTO:B@EXAMPLE.COM",
                                        "mailto:c@example.com"}),
              addresses(list));
    EXPECT_EQ(2, at(list, 1)->nPartStat);
    EXPECT_NE(update, at(list, 1));
    caldb_FreeAttendee(&update);

    // A missing attendee is appended only on request, and then owned by the list.
    CALDB_ATTENDEE* added = attendee("mailto:d@example.com", nullptr, 4);
    EXPECT_EQ(0, calparser_merge_attendee(list, added, 0));
    EXPECT_EQ(3u, list->count);
    EXPECT_EQ(0, calparser_array_append_unique_attendee(list, added));
    ASSERT_EQ(4u, list->count);
    EXPECT_EQ(added, at(list, 3));

    // The deletion marker removes its match and is never added.
    for (int append : {0, 1}) {
        CALDB_ATTENDEE* marker =
            deletion_marker(append ? "mailto:a@example.com" : "mailto:c@example.com");
        EXPECT_EQ(0, calparser_merge_attendee(list, marker, append));
        CALDB_ATTENDEE* stray = deletion_marker("mailto:nobody@example.com");
        EXPECT_EQ(0, calparser_merge_attendee(list, stray, append));
        caldb_FreeAttendee(&marker);
        caldb_FreeAttendee(&stray);
    }
    EXPECT_EQ((std::vector<std::string>{"MAILTO:B@EXAMPLE.COM", "mailto:d@example.com"}),
              addresses(list));

    // The marker is compared exactly: in lower case it is a status like any other.
    CALDB_ATTENDEE* lower = attendee("mailto:d@example.com", nullptr, 9);
    lower->pPartStatName = PL_strdup("x-kval-plix-attendee-delete");
    EXPECT_EQ(1, calparser_merge_attendee(list, lower, 0));
    EXPECT_STREQ("x-kval-plix-attendee-delete", at(list, 1)->pPartStatName);
    caldb_FreeAttendee(&lower);

    CALDB_ATTENDEE* noAddress = attendee(nullptr, "x");
    EXPECT_EQ(0, calparser_merge_attendee(list, noAddress, 1));
    EXPECT_EQ(0, calparser_merge_attendee(list, nullptr, 1));
    EXPECT_EQ(2u, list->count);
    caldb_FreeAttendee(&noAddress);
    caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
}

TEST(AttendeeMerge, ListMergeOnlyTouchesPresentAttendees) {
    array_t* list = attendees({attendee("mailto:a@example.com", nullptr, 1),
                               attendee("mailto:b@example.com", nullptr, 1)});
    array_t* changes = attendees({attendee("mailto:a@example.com", nullptr, 3),
                                  deletion_marker("mailto:b@example.com"),
                                  attendee("mailto:new@example.com", nullptr, 2)});
    calparser_merge_attendee_list(list, changes);
    ASSERT_EQ(1u, list->count);
    EXPECT_STREQ("mailto:a@example.com", at(list, 0)->pAddr);
    EXPECT_EQ(3, at(list, 0)->nPartStat);
    EXPECT_EQ(3u, changes->count);
    caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
    caldb_FreeList(&changes, CALDB_LIST_ATTENDEES);
}

TEST(AttendeeLists, DuplicatesAreExactKeyMatches) {
    array_t* list = attendees(
        {attendee("mailto:x@example.com", "jdoe"), attendee("mailto:y@example.com", "JDoe"),
         attendee("mailto:z@example.com", "jdoe"), attendee("mailto:a@example.com"),
         attendee("mailto:a@example.com"), attendee("MAILTO:A@example.com")});
    calparser_removeDuplicateAttendeeEntries(list);
    // One of the two "jdoe", "JDoe", and both spellings of the address stay.
    ASSERT_EQ(4u, list->count);
    std::vector<std::string> keys;
    for (unsigned i = 0; i < list->count; i++)
        keys.push_back(at(list, i)->pCalid ? at(list, i)->pCalid : at(list, i)->pAddr);
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(
        (std::vector<std::string>{"JDoe", "MAILTO:A@example.com", "jdoe", "mailto:a@example.com"}),
        keys);
    calparser_removeDuplicateAttendeeEntries(nullptr);
    caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
}

TEST(AttendeeLists, KeyComparatorSearchesBySortedAddress) {
    array_t* list = attendees({attendee("mailto:a@example.com"), attendee("mailto:m@example.com"),
                               attendee("mailto:z@example.com")});
    const char* key = "MAILTO:M@EXAMPLE.COM";
    void** slot = array_bsearch(list, &key, attendee_index_key_compare);
    ASSERT_NE(nullptr, slot);
    EXPECT_EQ(at(list, 1), *slot);
    const char* missing = "mailto:q@example.com";
    EXPECT_EQ(nullptr, array_bsearch(list, &missing, attendee_index_key_compare));

    const char* none = nullptr;
    CALDB_ATTENDEE* nobody = nullptr;
    CALDB_ATTENDEE* noAddress = attendee(nullptr);
    EXPECT_EQ(0, attendee_index_key_compare(&none, &nobody));
    EXPECT_EQ(-1, attendee_index_key_compare(&none, &list->data[0]));
    EXPECT_EQ(1, attendee_index_key_compare(&key, &nobody));
    EXPECT_EQ(1, attendee_index_key_compare(&key, &noAddress));
    caldb_FreeAttendee(&noAddress);
    caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
}

TEST(AttendeeStatus, UserStatusMatchesExactly) {
    array_t* list = attendees({attendee("mailto:a@example.com", "anna", 2),
                               attendee("mailto:b@example.com", nullptr, 3),
                               attendee("mailto:anna@example.com", "bob", 4)});
    int status = 0;
    calparser_getUserPartStatFromAttendeeList("anna", list, &status);
    EXPECT_EQ(2, status);
    calparser_getUserPartStatFromAttendeeList("mailto:b@example.com", list, &status);
    EXPECT_EQ(3, status);
    calparser_getUserPartStatFromAttendeeList("Anna", list, &status);
    EXPECT_EQ(1, status);
    status = 0;
    calparser_getUserPartStatFromAttendeeList("carol", list, &status);
    EXPECT_EQ(1, status);
    status = 0;
    calparser_getUserPartStatFromAttendeeList("anna", nullptr, &status);
    EXPECT_EQ(1, status);
    caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
}

TEST(AttendeeStatus, StatusTexts) {
    const std::vector<std::pair<int, const char*>> table = {
        {0, "NEEDS-ACTION"}, {1, "NEEDS-ACTION"}, {2, "ACCEPTED"},  {3, "DECLINED"},
        {4, "TENTATIVE"},    {5, "DELEGATED"},    {6, "COMPLETED"}, {7, "NEEDS-ACTION"},
        {8, "IN-PROCESS"},   {10, "NEEDS-ACTION"}};
    CALDB_ATTENDEE* a = attendee("mailto:a@example.com");
    for (const auto& row : table) {
        a->nPartStat = row.first;
        EXPECT_STREQ(row.second, getPartStatString(a)) << row.first;
    }
    a->nPartStat = 9;
    EXPECT_EQ(nullptr, getPartStatString(a));
    a->pPartStatName = PL_strdup("X-MAYBE");
    EXPECT_STREQ("X-MAYBE", getPartStatString(a));
    EXPECT_EQ(nullptr, getPartStatString(nullptr));
    caldb_FreeAttendee(&a);
}

TEST(Recipients, TakesTheAddressAfterMailto) {
    array_t* src = texts({"mailto:a@example.com", "jdoe", "MailTo:b@example.com",
                          "Bob <MAILTO:bob@example.com>", "mailto:"});
    array_t* dest = nullptr;
    EXPECT_EQ(0, calparser_MakeEmailRecipientList(&dest, src));
    EXPECT_EQ((std::vector<std::string>{"a@example.com", "b@example.com", "bob@example.com>"}),
              strings(dest));
    // A second call appends.
    array_t* more = texts({"mailto:c@example.com"});
    EXPECT_EQ(0, calparser_MakeEmailRecipientList(&dest, more));
    EXPECT_EQ(4u, dest->count);

    array_t* empty = array_new();
    EXPECT_EQ(1, calparser_MakeEmailRecipientList(&dest, empty));
    EXPECT_EQ(nullptr, dest);
    EXPECT_EQ(1, calparser_MakeEmailRecipientList(&dest, nullptr));
    EXPECT_EQ(nullptr, dest);
    EXPECT_EQ(1, calparser_MakeEmailRecipientList(nullptr, src));

    drive_failures(
        [&] {
            int rc = calparser_MakeEmailRecipientList(&dest, src);
            if (rc != 0) {
                EXPECT_EQ(3, rc);
                EXPECT_EQ(nullptr, dest);
            }
            return rc == 0;
        },
        [&] { free_texts(&dest); });
    array_delete(empty);
    free_texts(&src);
    free_texts(&more);
}

TEST(Addresses, MailtoEmailAndCalidTests) {
    EXPECT_EQ(1, bIsMailto("mailto:a@b.c"));
    EXPECT_EQ(1, bIsMailto("MaIlTo:"));
    EXPECT_EQ(0, bIsMailto("mailto"));
    EXPECT_EQ(0, bIsMailto(" mailto:a@b.c"));
    EXPECT_EQ(0, bIsMailto(nullptr));

    EXPECT_EQ(1, isEmailAddress("a@b.c"));
    EXPECT_EQ(0, isEmailAddress("@b.c"));
    EXPECT_EQ(1, isEmailAddress("@b@c"));
    EXPECT_EQ(0, isEmailAddress("jdoe"));
    EXPECT_EQ(0, isEmailAddress(""));
    EXPECT_EQ(0, isEmailAddress(nullptr));

    EXPECT_EQ(0, IsPossibleCalid("mailto:jdoe"));
    EXPECT_EQ(0, IsPossibleCalid("MAILTO:jdoe"));
    EXPECT_EQ(0, IsPossibleCalid(nullptr));
    EXPECT_NE(0, IsPossibleCalid("jdoe"));
}

TEST(Addresses, ScheduleAccessFollowsTheAccessCheck) {
    array_t* aces = array_new();
    array_append(aces, acl_create_ace("grant jdoe calprops schedule"));
    array_append(aces, acl_create_ace("grant bob calprops read"));
    ACL_CONTEXT ctx = {aces, nullptr, nullptr};
    EXPECT_EQ(1, bHasScheduleAccessToCalProps(&ctx, nullptr));
    EXPECT_EQ(1, bHasScheduleAccessToCalProps(&ctx, "jdoe"));
    EXPECT_EQ(0, bHasScheduleAccessToCalProps(&ctx, "bob"));
    EXPECT_EQ(0, bHasScheduleAccessToCalProps(&ctx, "carol"));
    acl_misc_FreeACEList(&aces);
}

TEST(Environment, PoolsAndDataFiles) {
    parser_set_ldpool(nullptr, 42);
    parser_set_lookup_ldpool(nullptr, 43);
    EXPECT_EQ(42u, admin_ldpool);
    EXPECT_EQ(43u, lookup_ldpool);
    EXPECT_STREQ("X-KVAL-PLIX-ATTENDEE-DELETE", xDelete);

    // A relative path with backslashes is found under the data root.
    int fd = jtessar_open("tests\\data\\util_config.conf", O_RDONLY, 0);
    ASSERT_GE(fd, 0);
    char c = 0;
    EXPECT_EQ(1, read(fd, &c, 1));
    EXPECT_EQ(0, jtessar_close(fd));
    EXPECT_EQ(-1, jtessar_open("tests\\data\\no-such-file", O_RDONLY, 0));
    EXPECT_EQ(-1, jtessar_open(nullptr, O_RDONLY, 0));
    EXPECT_EQ(-1, jtessar_close(-1));
}
