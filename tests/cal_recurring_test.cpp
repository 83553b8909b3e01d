// Recurring masters and their instances: compression, the master's date
// lists, sequence numbers, state texts and the original-start line; and the
// alarm trigger, the other component helper the builders use.
#include <gtest/gtest.h>

#include <plstr.h>

#include "core/parser/cal_compare.h"
#include "core/parser/cal_copy.h"
#include "core/parser/cal_recurring.h"
#include "core/parser/calparserutil.h"
#include "public/core_util/cal_time.h"
#include "public/db/caldb.h"
#include "tests/support/heap_failure.h"
#include "tests/support/text_lists.h"
#include "tests/support/zone_builders.h"

namespace {

using zone_test::utc;

constexpr int kHour = 3600;

CALDB_COMPONENT* head(void* record) { return static_cast<CALDB_COMPONENT*>(record); }
int32_t& end_of(CALDB_VEVENT* e) { return e->tDtEnd; }
int32_t& end_of(CALDB_VTODO* t) { return t->tDue; }

// A new record starting at `start` (a UTC text) and lasting `length`
// seconds, its RECURRENCE-ID at its start; `original`, when given, is the
// X-KVAL-ORIGINAL-DTSTART of an instance.
template <typename Record>
Record* make(Record* r, const char* start, int length, const char* uid,
             const char* original = nullptr) {
    r->tDtStart = r->tRecurrenceId = static_cast<int32_t>(utc(start));
    end_of(r) = r->tDtStart + length;
    r->pUid = PL_strdup(uid);
    if (original) calparser_addOriginalDtStartXTokenIfNotAlreadyExists(&r->aXProps, original);
    return r;
}

CALDB_VEVENT* event(const char* start, int length, const char* uid,
                    const char* original = nullptr) {
    return make(caldb_NewEvent(), start, length, uid, original);
}

CALDB_VTODO* todo(const char* start, int length, const char* uid,
                  const char* original = nullptr) {
    return make(caldb_NewToDo(), start, length, uid, original);
}

// DTSTART, end (DTEND or DUE) and RECURRENCE-ID of a record as UTC texts.
template <typename Record>
Strings times_of(Record* r) {
    return {zone_test::wall_text(r->tDtStart) + "Z", zone_test::wall_text(end_of(r)) + "Z",
            zone_test::wall_text(r->tRecurrenceId) + "Z"};
}

// Owns the records appended to its list (events or to-dos).
struct Records {
    array_t* list = array_new();
    ~Records() {
        for (unsigned i = list->count; i-- > 0;) caldb_FreeComponent(&list->data[i]);
        array_delete(list);
    }
    template <typename Record>
    Record* add(Record* record) {
        array_append(list, record);
        return record;
    }
};

// Owns a list of CAL_VCOMPONENT wrappers.
struct Wrappers {
    array_t* list = array_new();
    ~Wrappers() {
        calparser_FreeCalVCompList(list);
        array_delete(list);
    }
    CALDB_COMPONENT* add(void* record, int kind) {
        CAL_VCOMPONENT* wrapper = CAL_VCOMPONENT_NEW(kind);
        caldb_FreeComponent(&wrapper->pComponent);
        wrapper->pComponent = record;
        array_append(list, wrapper);
        return head(record);
    }
};

TEST(CompressTest, ThreeInstancesBecomeOneMasterWithUtcRDates) {
    Records instances;
    CALDB_VEVENT* first = instances.add(event("20240105T100000Z", kHour, "series"));
    first->aRRules = texts({"FREQ=DAILY"});
    first->aExDates = texts({"20240106T100000Z"});
    first->pOrganizerEmail = PL_strdup("boss@example.com");
    instances.add(event("20240103T100000Z", kHour, "series"))->tDtStart =
        static_cast<int32_t>(utc("20240103T150000Z"));  // moved instance
    instances.add(event("20240104T100000Z", kHour, "series"));

    CALDB_VEVENT* master = nullptr;
    ASSERT_EQ(0, calparser_CreateCompressedRecurringEventFromList(&master, instances.list,
                                                                  "assistant@example.com"));
    EXPECT_EQ(0, master->tRecurrenceId);
    EXPECT_EQ(utc("20240105T110000Z"), master->tDtEnd);
    EXPECT_EQ((Strings{"20240105T100000Z", "20240103T100000Z", "20240104T100000Z"}),
              strings(master->aRDates));
    EXPECT_EQ(nullptr, master->aRRules);
    EXPECT_EQ(nullptr, master->aExDates);
    EXPECT_STREQ("boss@example.com", master->pOrganizer->pAddr);
    EXPECT_STREQ("assistant@example.com", master->pOrganizer->pSentBy);
    caldb_FreeEvent(&master);
}

// An expanded master that was kept keeps its rules: its instances are still
// generated from them; its organizer takes the sender. The to-do form drops
// the rules whatever its flag; a single
// instance keeps its RECURRENCE-ID and gives an empty RDATE list.
TEST(CompressTest, OnlyAnExpandedEventMasterKeepsItsRules) {
    Records events;
    CALDB_VEVENT* only = events.add(event("20240105T100000Z", kHour, "series"));
    only->bExpandedMaster = 1;
    only->aRRules = texts({"FREQ=DAILY"});
    only->aExDates = texts({"20240106T100000Z"});
    only->pOrganizer = caldb_NewOrganizer();
    only->pOrganizer->pAddr = PL_strdup("mailto:boss@example.com");
    CALDB_VEVENT* master = nullptr;
    ASSERT_EQ(0, calparser_CreateCompressedRecurringEventFromList(&master, events.list, "a@x.com"));
    EXPECT_EQ(utc("20240105T100000Z"), master->tRecurrenceId);
    EXPECT_EQ(0u, master->aRDates->count);
    EXPECT_EQ((Strings{"FREQ=DAILY"}), strings(master->aRRules));
    EXPECT_EQ((Strings{"20240106T100000Z"}), strings(master->aExDates));
    EXPECT_STREQ("a@x.com", master->pOrganizer->pSentBy);
    caldb_FreeEvent(&master);

    Records todos;
    CALDB_VTODO* task = todos.add(todo("20240105T100000Z", kHour, "todo"));
    task->aRRules = texts({"FREQ=DAILY"});
    task->aExDates = texts({"20240106T100000Z"});
    CALDB_VTODO* todoMaster = caldb_NewToDo();
    todoMaster->bExpandedMaster = 1;
    ASSERT_EQ(0, calparser_CreateCompressedRecurringTodoFromList(&todoMaster, todos.list, nullptr));
    EXPECT_EQ((Strings{"20240105T100000Z", "20240105T110000Z", "20240105T100000Z"}),
              times_of(todoMaster));
    ASSERT_NE(nullptr, todoMaster->aRDates);
    EXPECT_EQ(0u, todoMaster->aRDates->count);
    EXPECT_EQ(nullptr, todoMaster->aRRules);
    EXPECT_EQ(nullptr, todoMaster->aExDates);
    ASSERT_NE(nullptr, todoMaster->pOrganizer);  // made zeroed: no address to give it
    EXPECT_EQ(nullptr, todoMaster->pOrganizer->pAddr);
    caldb_FreeToDo(&todoMaster);
}

// The original start goes to the master's RDATE list once; the dates to
// remove go whatever their letter case.
TEST(MasterDatesTest, OriginalStartGoesToTheRightListOnce) {
    CALDB_COMPONENT* master = head(caldb_NewEvent());
    master->aRecurRDateList = texts({"20240101T100000Z", "20240102T100000Z"});
    CALDB_VEVENT* instance = event("20240105T120000Z", kHour, "s", "20240105T100000Z");
    array_t* removeDates = texts({"20240101T100000Z", "20240101t100000z"});
    ASSERT_EQ(0,
              calparser_ModifyMasterEventExDateRDate(&master, head(instance), 0, removeDates, 0));
    ASSERT_EQ(0, calparser_ModifyMasterEventExDateRDate(&master, head(instance), 0, nullptr, 0));
    EXPECT_EQ((Strings{"20240102T100000Z", "20240105T100000Z"}), strings(master->aRecurRDateList));
    ASSERT_NE(nullptr, master->aRecurExDateList);
    EXPECT_EQ(nullptr, master->aAttendeeRDateList);
    calparser_recurrence_FreeStringArrayAndDestroy(removeDates);
    caldb_FreeEvent(&instance);
    caldb_FreeComponent(reinterpret_cast<void**>(&master));
}

#if HEAP_FAILURE_HOOK
// A list that cannot be created costs the master: freed, pointer cleared.
TEST(MasterDatesTest, FailedListFreesTheMaster) {
    CALDB_COMPONENT* master = head(caldb_NewEvent());
    CALDB_VEVENT* instance = event("20240105T100000Z", kHour, "s");
    long liveBefore = heap_failure::g_live_blocks;
    int rc = 0;
    {
        heap_failure::FailAt failNext(0);
        rc = calparser_ModifyMasterEventExDateRDate(&master, head(instance), 0, nullptr, 0);
    }
    EXPECT_EQ(3, rc);
    EXPECT_EQ(nullptr, master);
    EXPECT_LT(heap_failure::g_live_blocks, liveBefore);
    caldb_FreeEvent(&instance);
}
#endif

// The component list holds wrappers: each wrapped record's SEQUENCE goes up
// by one and the last new value is the result. "METHOD-STATE" names the two
// halves of a component state.
TEST(SequenceAndStateTest, BumpsEveryWrappedRecordAndNamesStates) {
    Wrappers components;
    CALDB_COMPONENT* first = components.add(event("20240101T100000Z", kHour, "a"), 0);
    CALDB_COMPONENT* second = components.add(todo("20240101T100000Z", kHour, "b"), 1);
    second->nSequence = 4;
    EXPECT_EQ(5, calparser_bump_sequence_number_on_complist(components.list));
    EXPECT_EQ(1, first->nSequence);
    EXPECT_EQ(5, second->nSequence);

    const std::pair<unsigned, const char*> states[] = {
        {(2u << 16) | 0x20, "REQUEST-ACCEPTED"},
        {(64u << 16) | 0x100, "COUNTER-TENTATIVE"},
        {1u, "UNKNOWN-UNKNOWN"},  // "no state given"
    };
    for (const auto& [state, expected] : states) {
        char* text = nullptr;
        EXPECT_EQ(0, getCompStateStringToICAL(static_cast<int>(state), &text));
        EXPECT_STREQ(expected, text);
        PL_strfree(text);
    }
}

// A line is added only when none is there, whatever the length of the text.
TEST(OriginalStartLine, AddedOnceWithTheTextAsGiven) {
    array_t* lines = nullptr;
    const std::string longText(100, '7');
    EXPECT_EQ(0, calparser_addOriginalDtStartXTokenIfNotAlreadyExists(&lines, longText.c_str()));
    EXPECT_EQ(0, calparser_addOriginalDtStartXTokenIfNotAlreadyExists(&lines, "20260106T093000Z"));
    EXPECT_EQ(Strings{"X-KVAL-ORIGINAL-DTSTART:" + longText}, strings(lines));
    array_free_and_destroy(&lines);
    EXPECT_EQ(1, calparser_addOriginalDtStartXTokenIfNotAlreadyExists(&lines, nullptr));
}

// An alarm trigger is the base time moved by the duration; no duration, no
// base time or a sum past the 32-bit range leave the output alone.
TEST(AlarmTrigger, BasePlusDuration) {
    const time_t nine = utc("20260105T090000Z");
    CAL_TIME_DURATION before, years;
    ASSERT_EQ(0, cal_time_buf_to_duration("-PT15M", &before));
    ASSERT_EQ(0, cal_time_buf_to_duration("P1000W", &years));
    time_t trigger = 7;
    EXPECT_EQ(1, calparser_computeAlarmTrigger(nullptr, nine, &trigger));
    EXPECT_EQ(1, calparser_computeAlarmTrigger(&before, 0, &trigger));
    EXPECT_EQ(1, calparser_computeAlarmTrigger(&years, 2147000000, &trigger));
    EXPECT_EQ(7, trigger);
    EXPECT_EQ(0, calparser_computeAlarmTrigger(&before, nine, &trigger));
    EXPECT_EQ(nine - 900, trigger);
}

}  // namespace
