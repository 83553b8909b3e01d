// Property storers when memory runs out: each allocation they make is failed
// in turn; every run must report 3 (or succeed where only a log line was
// lost) and leave no block behind. Sanitizer builds own the heap, so there the
// tests are skipped.
#include "core/parser/populate.h"

#include <gtest/gtest.h>
#include <plstr.h>

#include <functional>

#include "public/core_util/cal_time.h"
#include "public/core_util/userattr.h"
#include "public/util/config.h"
#include "public/util/kvallog.h"
#include "tests/builder_fixture.h"
#include "tests/heap_failure.h"

using builder_test::Tokens;

namespace {

// Runs `attempt` (which stores, checks and frees everything it made, and
// returns the storer's result) with the 0th, 1st, 2nd ... allocation failing,
// until a run meets no failure. A failed run must return `failureCode`, or 0
// when the lost allocation was only a log line's.
void drive_failures(int failureCode, const std::function<int()>& attempt) {
    if (!HEAP_FAILURE_HOOK) GTEST_SKIP() << "the heap belongs to the sanitizer";
    auto quiet = [](void*, int, const char*) {};
    kvallog_sink_t previous = kvallog_set_sink(quiet, nullptr);
    EXPECT_EQ(0, attempt());  // warm-up: one-time tables are built outside the count
    int failurePoints = count_failure_points([&] {
        int rc = attempt();
        bool injected = heap_failure::g_until_failure < 0;
        EXPECT_TRUE(rc == 0 || (injected && rc == failureCode)) << "gave " << rc;
        return !injected;
    });
    EXPECT_GT(failurePoints, 2);
    kvallog_set_sink(previous, nullptr);
}

class StorerFailures : public ::testing::Test {
protected:
    void SetUp() override {
        config_set_string(config_getdefaultcache(), "directory.ldif", nullptr);
        userattr_directory_clear();
        userattr_directory_add("team", "team:a", "Team A", "team@example.com");
        userattr_directory_add("team", "team:b", nullptr, "team@example.com");
        userattr_directory_add("guest", nullptr, "Guest", "guest@example.com");
        userattr_directory_add("solo", "solo:main", nullptr, "solo@example.com");
    }
    void TearDown() override { userattr_directory_clear(); }
};

TEST_F(StorerFailures, TextsListsAndGeo) {
    drive_failures(3, [] {
        char* field = nullptr;
        array_t* list = nullptr;
        CALDB_VEVENT event{};
        void* record = &event;
        int rc = calparser_recurrence_populateProperties(&field, "text");
        rc |= calparser_storeEmailProperty(&field, "mailto:a@x.org");
        rc |= calparser_addStringToPropertyArray(&list, "one");
        rc |= calparser_populate_commaListArray(&list, "a,b,c");
        rc |= calparser_addCalAddressListToList(&list, "\"mailto:a@x.org\",\"mailto:b@x.org\"");
        rc |= calparser_populateGeoProp(&record, "1.5;2.5");
        PL_strfree(field);
        array_free_and_destroy(&list);
        return rc;
    });
}

TEST_F(StorerFailures, AttendeesResolvedThroughTheDirectory) {
    Tokens team{"ATTENDEE;CN=T;MEMBER=\"mailto:g@x.org\";PARTSTAT=ACCEPTED;RSVP=TRUE"
                ":mailto:team@example.com"};
    Tokens guest{"ATTENDEE;SENT-STATUS=NOT-SENT:mailto:guest@example.com"};
    Tokens solo{"ATTENDEE;DELEGATED-TO=\"mailto:d@x.org\":solo"};
    drive_failures(3, [&] {
        array_t* list = nullptr;
        int rc = calparser_storeSingleAttendeeProp(&list, team.token(), 1, 0, nullptr);
        rc |= calparser_storeSingleAttendeeProp(&list, guest.token(), 1, 0, nullptr);
        rc |= calparser_storeSingleAttendeeProp(&list, solo.token(), 1, 0, nullptr);
        caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
        return rc;
    });
}

TEST_F(StorerFailures, AttendeesTakenAsTheyStandAndIntoAComponent) {
    Tokens resolved{"ATTENDEE;DELEGATED-FROM=\"mailto:f@x.org\";CN=R:someone:cal"};
    Tokens team{"ATTENDEE:mailto:team@example.com"};
    drive_failures(1, [&] {
        array_t* list = nullptr;
        array_t* component = nullptr;
        // The component storer reports a failure of the single storer as 1, and
        // 3 only when its own list cannot be made.
        int single = calparser_storeSingleAttendeeProp(&list, resolved.token(), 1, 1, nullptr);
        int whole = calparser_storeAttendeeProperty(&component, team.token(), 1, 0, nullptr);
        if (whole != 0) {
            EXPECT_EQ(nullptr, component);  // all or none
        }
        caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
        caldb_FreeList(&component, CALDB_LIST_ATTENDEES);
        return (single | whole) ? 1 : 0;
    });
}

TEST_F(StorerFailures, OrganizerIsFreedWhenACopyFails) {
    Tokens org{"ORGANIZER;CN=Boss;DIR=\"ldap://b\";SENT-BY=\"mailto:s@x.org\";LANGUAGE=en"
               ";X-KVAL-ORGANIZER-UID=boss;X-KVAL-ORGANIZER-SENT-BY-UID=s:mailto:boss@x.org"};
    drive_failures(3, [&] {
        CALDB_ORGANIZER* o = nullptr;
        int rc = calparser_storeOrganizerProperty(&o, org.token());
        if (rc == 3) {
            EXPECT_EQ(nullptr, o);
        }
        caldb_FreeOrganizer(&o);
        return rc;
    });
}

TEST_F(StorerFailures, RecurrenceAndDateLists) {
    drive_failures(3, [] {
        array_t* texts = array_new();
        array_t* periods = array_new();
        array_t* dates = nullptr;
        const char* rdate = "19990101T000000Z,19990101T000000Z/PT1H,19990102";
        int rc = 3;  // when the test's own arrays cannot be made
        if (texts && periods) {
            rc = calparser_storeRecurrencePropertyToVector(texts, "freq=daily");
            rc |= calparser_storeRecurDateTimePeriodPropertyToVector(texts, periods, rdate,
                                                                     (int)strlen(rdate));
        }
        rc |= calparser_populate_DateTimeList(&dates, "20030330T010000Z;20031026T010000Z;x",
                                              nullptr, nullptr);
        for (unsigned i = 0; periods && i < periods->count; i++) {
            CAL_TIME_PERIOD* period = (CAL_TIME_PERIOD*)periods->data[i];
            cal_time_DestroyPeriod(&period);
        }
        array_delete(periods);
        array_free_and_destroy(&texts);
        array_free_and_destroy(&dates);
        return rc;
    });
}

}  // namespace
