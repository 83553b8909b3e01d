// Property storers when memory runs out: each allocation they make is failed
// in turn; every run must report 3 (or succeed where only a log line was
// lost) and leave no block behind. Sanitizer builds own the heap, so there the
// tests are skipped.
#include "core/parser/populate.h"

#include <gtest/gtest.h>
#include <plstr.h>

#include <functional>
#include <string>

#include "public/core_util/cal_time.h"
#include "public/core_util/userattr.h"
#include "public/util/config.h"
#include "public/util/kvallog.h"
#include "tests/heap_failure.h"

namespace {

// One content line lexed into one token (made before any failure is armed).
struct Line {
    array_t* tokens = nullptr;
    CALPARSER_TOKEN* tok = nullptr;
    explicit Line(const std::string& text) {
        std::string buf = text + "\r\n";
        unsigned consumed = 0, line = 1;
        calparser_icalbuf_to_toklist(&buf[0], (unsigned)buf.size(), &tokens, &consumed, &line, 0);
        tok = (CALPARSER_TOKEN*)array_elementat(tokens, 0);
    }
    ~Line() {
        calparser_FreeTokenList(tokens);
        array_delete(tokens);
    }
};

void free_texts(array_t** list) {
    for (unsigned i = 0; *list && i < (*list)->count; i++)
        PL_strfree((char*)(*list)->data[i]);
    array_delete(*list);
    *list = nullptr;
}

// Runs `attempt` (which stores, checks and frees everything it made, and
// returns the storer's result) with the 0th, 1st, 2nd ... allocation failing,
// until a run meets no failure. A failed run must return `failureCode`, or 0
// when the lost allocation was only a log line's.
void drive_failures(int failureCode, const std::function<int()>& attempt) {
#if HEAP_FAILURE_HOOK
    auto quiet = [](void*, int, const char*) {};
    kvallog_sink_t previous = kvallog_set_sink(quiet, nullptr);
    EXPECT_EQ(0, attempt());   // warm-up: one-time tables are built outside the count
    for (long failAt = 0; failAt < 1000; failAt++) {
        long liveBefore = heap_failure::g_live_blocks;
        int rc = 0;
        bool injected = false;
        {
            heap_failure::FailAt failure(failAt);
            rc = attempt();
            injected = heap_failure::g_until_failure < 0;
        }
        EXPECT_EQ(liveBefore, heap_failure::g_live_blocks)
            << "leak when allocation " << failAt << " fails";
        if (!injected) {
            EXPECT_EQ(0, rc);
            break;
        }
        EXPECT_TRUE(rc == failureCode || rc == 0) << "allocation " << failAt << " gave " << rc;
    }
    kvallog_set_sink(previous, nullptr);
#else
    (void)failureCode;
    (void)attempt;
    GTEST_SKIP() << "the heap belongs to the sanitizer";
#endif
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

}  // namespace

TEST_F(StorerFailures, TextsAndLists) {
    drive_failures(3, [] {
        char* field = nullptr;
        array_t* list = nullptr;
        int rc = calparser_recurrence_populateProperties(&field, "text");
        rc |= calparser_storeEmailProperty(&field, "mailto:a@x.org");
        rc |= calparser_addStringToPropertyArray(&list, "one");
        rc |= calparser_populate_commaListArray(&list, "a,b,c");
        rc |= calparser_addCalAddressListToList(&list, "\"mailto:a@x.org\",\"mailto:b@x.org\"");
        PL_strfree(field);
        free_texts(&list);
        return rc;
    });
}

TEST_F(StorerFailures, Geo) {
    drive_failures(3, [] {
        CALDB_VEVENT ev{};
        void* record = &ev;
        return calparser_populateGeoProp(&record, "1.5;2.5");
    });
}

TEST_F(StorerFailures, AttendeesResolvedThroughTheDirectory) {
    Line team("ATTENDEE;CN=T;MEMBER=\"mailto:g@x.org\";PARTSTAT=ACCEPTED;RSVP=TRUE"
              ":mailto:team@example.com");
    Line guest("ATTENDEE;SENT-STATUS=NOT-SENT:mailto:guest@example.com");
    Line solo("ATTENDEE;DELEGATED-TO=\"mailto:d@x.org\":solo");
    drive_failures(3, [&] {
        array_t* list = nullptr;
        int rc = calparser_storeSingleAttendeeProp(&list, team.tok, 1, 0, nullptr);
        rc |= calparser_storeSingleAttendeeProp(&list, guest.tok, 1, 0, nullptr);
        rc |= calparser_storeSingleAttendeeProp(&list, solo.tok, 1, 0, nullptr);
        caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
        return rc;
    });
}

TEST_F(StorerFailures, AttendeesTakenAsTheyStandAndIntoAComponent) {
    Line resolved("ATTENDEE;DELEGATED-FROM=\"mailto:f@x.org\";CN=R:someone:cal");
    Line team("ATTENDEE:mailto:team@example.com");
    drive_failures(1, [&] {
        array_t* list = nullptr;
        array_t* component = nullptr;
        // The component storer reports a failure of the single storer as 1, and
        // 3 only when its own list cannot be made.
        int single = calparser_storeSingleAttendeeProp(&list, resolved.tok, 1, 1, nullptr);
        int whole = calparser_storeAttendeeProperty(&component, team.tok, 1, 0, nullptr);
        int rc = (single | whole) ? 1 : 0;
        if (whole != 0) {
            EXPECT_EQ(nullptr, component);   // all or none
        }
        caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
        caldb_FreeList(&component, CALDB_LIST_ATTENDEES);
        return rc;
    });
}

TEST_F(StorerFailures, OrganizerIsFreedWhenACopyFails) {
    Line org("ORGANIZER;CN=Boss;DIR=\"ldap://b\";SENT-BY=\"mailto:s@x.org\";LANGUAGE=en"
             ";X-KVAL-ORGANIZER-UID=boss;X-KVAL-ORGANIZER-SENT-BY-UID=s:mailto:boss@x.org");
    drive_failures(3, [&] {
        CALDB_ORGANIZER* o = nullptr;
        int rc = calparser_storeOrganizerProperty(&o, org.tok);
        if (rc == 3) {
            EXPECT_EQ(nullptr, o);
        }
        caldb_FreeOrganizer(&o);
        return rc;
    });
}

TEST_F(StorerFailures, RecurrenceLists) {
    drive_failures(3, [] {
        array_t* texts = array_new();
        array_t* periods = array_new();
        const char* rdate = "19990101T000000Z,19990101T000000Z/PT1H,19990102";
        if (!texts || !periods) {   // the test's own arrays
            array_delete(texts);
            array_delete(periods);
            return 3;
        }
        int rc = calparser_storeRecurrencePropertyToVector(texts, "freq=daily");
        rc |= calparser_storeRecurDateTimePeriodPropertyToVector(texts, periods, rdate,
                                                                 (int)strlen(rdate));
        for (unsigned i = 0; periods && i < periods->count; i++) {
            CAL_TIME_PERIOD* period = (CAL_TIME_PERIOD*)periods->data[i];
            cal_time_DestroyPeriod(&period);
        }
        array_delete(periods);
        free_texts(&texts);
        return rc;
    });
}

TEST_F(StorerFailures, DateList) {
    drive_failures(3, [] {
        array_t* list = nullptr;
        int rc = calparser_populate_DateTimeList(&list, "20030330T010000Z;20031026T010000Z;x",
                                                 nullptr, nullptr);
        for (unsigned i = 0; list && i < list->count; i++) free(list->data[i]);
        array_delete(list);
        return rc;
    });
}
