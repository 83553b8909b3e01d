// Property storers when memory runs out: each allocation they make is failed
// in turn; every storer must then report 3 and leave no block behind.
// Sanitizer builds own the heap, so there the test is skipped.
#include "core/parser/populate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "public/core_util/cal_time.h"
#include "public/core_util/userattr.h"
#include "public/util/config.h"
#include "public/util/kvallog.h"
#include "tests/support/builder_fixture.h"
#include "tests/support/heap_failure.h"

using builder_test::Tokens;

namespace {

// Stores attendees resolved through the directory and taken as they stand,
// the organizer, address, recurrence and date lists; frees all of it.
int store_everything(const Tokens& tokens) {
    array_t* list = nullptr;
    array_t* people = nullptr;
    array_t* dates = nullptr;
    array_t* texts = array_new();
    array_t* periods = array_new();
    CALDB_ORGANIZER* org = nullptr;
    const char* rdate = "19990101T000000Z,19990101T000000Z/PT1H";
    int rc = 3;  // when the arrays of the test itself cannot be made
    if (texts && periods) {
        rc = 0;
        for (unsigned line = 1; line <= 2; line++)
            rc |= calparser_storeSingleAttendeeProp(&people, tokens.token(line), line, line == 2,
                                                    nullptr);
        int organizerRc = calparser_storeOrganizerProperty(&org, tokens.token(3));
        if (organizerRc == 3) {
            EXPECT_EQ(nullptr, org);  // a half-made organizer is freed
        }
        rc |= organizerRc;
        rc |= calparser_addCalAddressListToList(&list, "\"mailto:a@x.org\",\"mailto:b@x.org\"");
        rc |= calparser_storeRecurDateTimePeriodPropertyToVector(texts, periods, rdate,
                                                                 (int)strlen(rdate));
        rc |= calparser_populate_DateTimeList(&dates, "20030330T010000Z;x", nullptr, nullptr);
    }
    for (unsigned i = 0; periods && i < periods->count; i++) {
        CAL_TIME_PERIOD* period = (CAL_TIME_PERIOD*)periods->data[i];
        cal_time_DestroyPeriod(&period);
    }
    array_free_and_destroy(&list);
    caldb_FreeList(&people, CALDB_LIST_ATTENDEES);
    caldb_FreeOrganizer(&org);
    array_delete(periods);
    array_free_and_destroy(&texts);
    array_delete(dates);  // a time list: its elements are the values
    return rc;
}

TEST(StorerFailures, EveryFailedAllocationGives3AndLeavesNothing) {
    config_set_string(config_getdefaultcache(), "directory.ldif", nullptr);
    userattr_directory_clear();
    userattr_directory_add("team", "team:a", "Team A", "team@example.com");
    userattr_directory_add("team", "team:b", nullptr, "team@example.com");
    Tokens tokens{"ATTENDEE;CN=T;MEMBER=\"mailto:g@x.org\";RSVP=TRUE:mailto:team@example.com",
                  "ATTENDEE;DELEGATED-FROM=\"mailto:f@x.org\";CN=R:someone:cal",
                  "ORGANIZER;CN=Boss;SENT-BY=\"mailto:s@x.org\";X-KVAL-ORGANIZER-UID=boss"
                  ":mailto:boss@x.org"};
    kvallog_sink_t previous = kvallog_set_sink([](void*, int, const char*) {}, nullptr);
    EXPECT_EQ(0, store_everything(tokens));  // one-time tables outside the count
    count_failure_points([&] {
        int rc = store_everything(tokens);
        bool injected = heap_failure::g_until_failure < 0;
        // A lost log line alone is no failure of the storer.
        EXPECT_TRUE(rc == 0 || (injected && rc == 3)) << "gave " << rc;
        return !injected;
    }, 20);
    kvallog_set_sink(previous, nullptr);
    userattr_directory_clear();
}

// "calid|cn" of an attendee, "-" for a field not set.
std::string calid_and_cn(const CALDB_ATTENDEE* att) {
    return std::string(att->pCalid ? att->pCalid : "-") + "|" + (att->pCn ? att->pCn : "-");
}

// One address of three calendars: when memory runs out among the copies,
// those made before stay in the component's list and the storer reports 0;
// the copy being made may keep the attendee's own name. (When the plain
// address cannot be made, the directory is asked nothing and the attendee
// stays as written.)
TEST(StorerFailures, CopiesMadeForSeveralCalendarsStay) {
    config_set_string(config_getdefaultcache(), "directory.ldif", nullptr);
    userattr_directory_clear();
    userattr_directory_add("team", "team:a", "Team A", "team@example.com");
    userattr_directory_add("team", "team:b", "Team B", "team@example.com");
    userattr_directory_add("team", "team:c", "Team C", "team@example.com");
    Tokens tokens{"ATTENDEE;CN=Team:mailto:team@example.com"};
    kvallog_sink_t previous = kvallog_set_sink([](void*, int, const char*) {}, nullptr);
    const std::vector<std::string> all = {"team:a|Team A", "team:b|Team B", "team:c|Team C"};
    array_t* warm = nullptr;  // one-time tables outside the count
    EXPECT_EQ(0, calparser_storeAttendeeProperty(&warm, tokens.token(), 1, 0, nullptr));
    caldb_FreeList(&warm, CALDB_LIST_ATTENDEES);
    int partial = 0;  // runs that kept one or two of the three
    count_failure_points([&] {
        array_t* list = nullptr;
        int rc = calparser_storeAttendeeProperty(&list, tokens.token(), 1, 0, nullptr);
        bool injected = heap_failure::g_until_failure < 0;
        heap_failure::g_until_failure = -1;  // the checks below allocate
        std::vector<std::string> kept;
        for (unsigned i = 0; list && i < list->count; i++)
            kept.push_back(calid_and_cn((const CALDB_ATTENDEE*)list->data[i]));
        caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
        if (rc != 0 || kept == std::vector<std::string>{"-|Team"}) {
            EXPECT_TRUE(rc == 0 || kept.empty()) << "gave " << rc;
            return !injected;
        }
        EXPECT_TRUE(kept.size() == 3 || injected);
        for (size_t i = 0; i < kept.size() && i < all.size(); i++)
            EXPECT_TRUE(kept[i] == all[i] ||
                        (i + 1 == kept.size() && kept[i] == all[i].substr(0, 7) + "Team"))
                << kept[i];
        partial += !kept.empty() && kept.size() < 3;
        return !injected;
    });
    EXPECT_TRUE(!HEAP_FAILURE_HOOK || partial > 0);
    kvallog_set_sink(previous, nullptr);
    userattr_directory_clear();
}

}  // namespace
