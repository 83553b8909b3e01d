// Property storers when memory runs out: each allocation they make is failed
// in turn; every storer must then report 3 and leave no block behind.
// Sanitizer builds own the heap, so there the test is skipped.
#include "core/parser/populate.h"

#include <gtest/gtest.h>
#include <plstr.h>

#include "public/core_util/cal_time.h"
#include "public/core_util/userattr.h"
#include "public/util/config.h"
#include "public/util/kvallog.h"
#include "tests/builder_fixture.h"
#include "tests/heap_failure.h"

using builder_test::Tokens;

namespace {

// Stores one of each kind: texts, lists, geo, attendees resolved through the
// directory and taken as they stand, the organizer, recurrence and date lists.
int store_everything(const Tokens& attendees, const Tokens& organizer) {
    char* field = nullptr;
    array_t* list = nullptr;
    array_t* people = nullptr;
    array_t* dates = nullptr;
    array_t* texts = array_new();
    array_t* periods = array_new();
    CALDB_ORGANIZER* org = nullptr;
    CALDB_VEVENT event{};
    void* record = &event;
    const char* rdate = "19990101T000000Z,19990101T000000Z/PT1H,19990102";
    int rc = 3;  // when the arrays of the test itself cannot be made
    if (texts && periods) {
        rc = calparser_storeEmailProperty(&field, "mailto:a@x.org");
        rc |= calparser_populate_commaListArray(&list, "a,b,c");
        rc |= calparser_addCalAddressListToList(&list, "\"mailto:a@x.org\",\"mailto:b@x.org\"");
        rc |= calparser_populateGeoProp(&record, "1.5;2.5");
        for (unsigned line = 1; line <= 3; line++)
            rc |= calparser_storeSingleAttendeeProp(&people, attendees.token(line), line,
                                                    line == 3, nullptr);
        int organizerRc = calparser_storeOrganizerProperty(&org, organizer.token());
        if (organizerRc == 3) {
            EXPECT_EQ(nullptr, org);  // a half-made organizer is freed
        }
        rc |= organizerRc;
        rc |= calparser_storeRecurrencePropertyToVector(texts, "freq=daily");
        rc |= calparser_storeRecurDateTimePeriodPropertyToVector(texts, periods, rdate,
                                                                 (int)strlen(rdate));
        rc |= calparser_populate_DateTimeList(&dates, "20030330T010000Z;20031026T010000Z;x",
                                              nullptr, nullptr);
    }
    for (unsigned i = 0; periods && i < periods->count; i++) {
        CAL_TIME_PERIOD* period = (CAL_TIME_PERIOD*)periods->data[i];
        cal_time_DestroyPeriod(&period);
    }
    PL_strfree(field);
    array_free_and_destroy(&list);
    caldb_FreeList(&people, CALDB_LIST_ATTENDEES);
    caldb_FreeOrganizer(&org);
    array_delete(periods);
    array_free_and_destroy(&texts);
    array_free_and_destroy(&dates);
    return rc;
}

TEST(StorerFailures, EveryFailedAllocationGives3AndLeavesNothing) {
    if (!HEAP_FAILURE_HOOK) GTEST_SKIP() << "the heap belongs to the sanitizer";
    config_set_string(config_getdefaultcache(), "directory.ldif", nullptr);
    userattr_directory_clear();
    userattr_directory_add("team", "team:a", "Team A", "team@example.com");
    userattr_directory_add("team", "team:b", nullptr, "team@example.com");
    userattr_directory_add("solo", "solo:main", nullptr, "solo@example.com");
    Tokens attendees{"ATTENDEE;CN=T;MEMBER=\"mailto:g@x.org\";PARTSTAT=ACCEPTED;RSVP=TRUE"
                     ":mailto:team@example.com",
                     "ATTENDEE;DELEGATED-TO=\"mailto:d@x.org\":solo",
                     "ATTENDEE;DELEGATED-FROM=\"mailto:f@x.org\";CN=R:someone:cal"};
    Tokens organizer{"ORGANIZER;CN=Boss;DIR=\"ldap://b\";SENT-BY=\"mailto:s@x.org\";LANGUAGE=en"
                     ";X-KVAL-ORGANIZER-UID=boss;X-KVAL-ORGANIZER-SENT-BY-UID=s:mailto:boss@x.org"};
    auto quiet = [](void*, int, const char*) {};
    kvallog_sink_t previous = kvallog_set_sink(quiet, nullptr);
    EXPECT_EQ(0, store_everything(attendees, organizer));  // one-time tables outside the count
    int failurePoints = count_failure_points([&] {
        int rc = store_everything(attendees, organizer);
        bool injected = heap_failure::g_until_failure < 0;
        // A lost log line alone is no failure of the storer.
        EXPECT_TRUE(rc == 0 || (injected && rc == 3)) << "gave " << rc;
        return !injected;
    });
    EXPECT_GT(failurePoints, 20);
    kvallog_set_sink(previous, nullptr);
    userattr_directory_clear();
}

}  // namespace
