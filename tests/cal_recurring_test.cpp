// Recurring masters and their instances: compression, applying changes,
// date lists, finding an instance, sequence numbers, state texts.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include <plstr.h>

#include "core/parser/cal_compare.h"
#include "core/parser/cal_copy.h"
#include "core/parser/cal_recurring.h"
#include "core/parser/calparserutil.h"
#include "public/db/caldb.h"
#include "tests/heap_failure.h"
#include "tests/support/zone_builders.h"

namespace {

using zone_test::utc;
using Texts = std::vector<std::string>;

constexpr int kHour = 3600;

Texts texts(const array_t* list) {
    Texts out;
    for (unsigned i = 0; list && i < list->count; i++)
        out.push_back(static_cast<const char*>(list->data[i]));
    return out;
}

array_t* text_list(const Texts& items) {
    array_t* list = array_new();
    for (const std::string& item : items) array_append(list, PL_strdup(item.c_str()));
    return list;
}

CALDB_COMPONENT* head(void* record) { return static_cast<CALDB_COMPONENT*>(record); }

CALDB_VEVENT* make_event(const char* start, int length, const char* uid) {
    CALDB_VEVENT* ev = caldb_NewEvent();
    ev->tDtStart = static_cast<int32_t>(utc(start));
    ev->tDtEnd = ev->tDtStart + length;
    ev->tRecurrenceId = ev->tDtStart;
    if (uid) ev->pUid = PL_strdup(uid);
    ev->pSummary = PL_strdup("Review");
    return ev;
}

void add_original_start(CALDB_COMPONENT* c, const char* utcText) {
    calparser_addOriginalDtStartXTokenIfNotAlreadyExists(&c->aXProps, utcText);
}

void add_alarm(CALDB_COMPONENT* c, time_t trigger) {
    CALDB_VALARM* alarm = caldb_NewAlarm();
    alarm->tTrigger = static_cast<int32_t>(trigger);
    if (!c->aAlarms) c->aAlarms = array_new();
    array_append(c->aAlarms, alarm);
}

time_t first_trigger(const CALDB_COMPONENT* c) {
    return static_cast<CALDB_VALARM*>(c->aAlarms->data[0])->tTrigger;
}

struct EventList {
    array_t* list = array_new();
    ~EventList() {
        for (unsigned i = list->count; i-- > 0;) {
            CALDB_VEVENT* ev = static_cast<CALDB_VEVENT*>(list->data[i]);
            caldb_FreeEvent(&ev);
        }
        array_delete(list);
    }
    CALDB_VEVENT* add(CALDB_VEVENT* ev) {
        array_append(list, ev);
        return ev;
    }
};

TEST(CompressTest, ThreeInstancesBecomeOneMasterWithUtcRDates) {
    EventList instances;
    CALDB_VEVENT* first = instances.add(make_event("20240105T100000Z", kHour, "series"));
    first->aRRules = text_list({"FREQ=DAILY"});
    first->aExDates = text_list({"20240106T100000Z"});
    first->pOrganizerEmail = PL_strdup("boss@example.com");
    CALDB_VEVENT* second = instances.add(make_event("20240103T100000Z", kHour, "series"));
    second->tDtStart = static_cast<int32_t>(utc("20240103T150000Z"));  // moved instance
    instances.add(make_event("20240104T100000Z", kHour, "series"));

    CALDB_VEVENT* master = nullptr;
    ASSERT_EQ(0, calparser_CreateCompressedRecurringEventFromList(&master, instances.list,
                                                                  "assistant@example.com"));
    ASSERT_NE(nullptr, master);
    EXPECT_EQ(0, master->tRecurrenceId);
    EXPECT_EQ(utc("20240105T100000Z"), master->tDtStart);
    EXPECT_EQ(utc("20240105T110000Z"), master->tDtEnd);
    EXPECT_STREQ("series", master->pUid);
    EXPECT_EQ((Texts{"20240105T100000Z", "20240103T100000Z", "20240104T100000Z"}),
              texts(master->aRDates));
    EXPECT_EQ(nullptr, master->aRRules);
    EXPECT_EQ(nullptr, master->aExDates);
    ASSERT_NE(nullptr, master->pOrganizer);
    EXPECT_STREQ("boss@example.com", master->pOrganizer->pAddr);
    EXPECT_STREQ("assistant@example.com", master->pOrganizer->pSentBy);
    caldb_FreeEvent(&master);

    EXPECT_EQ(1, calparser_CreateCompressedRecurringEventFromList(nullptr, instances.list, nullptr));
    array_t* empty = array_new();
    EXPECT_EQ(1, calparser_CreateCompressedRecurringEventFromList(&master, empty, nullptr));
    EXPECT_EQ(nullptr, master);
    array_delete(empty);
}

// One instance keeps its RECURRENCE-ID and leaves an empty RDATE list; an
// existing organizer only takes the new sender.
TEST(CompressTest, SingleInstanceKeepsRecurrenceId) {
    EventList instances;
    CALDB_VEVENT* only = instances.add(make_event("20240105T100000Z", kHour, "one"));
    only->aRDates = text_list({"20240109T100000Z"});
    only->pOrganizer = caldb_NewOrganizer();
    only->pOrganizer->pAddr = PL_strdup("mailto:chair@example.com");
    only->pOrganizer->pSentBy = PL_strdup("old@example.com");
    CALDB_VEVENT* master = caldb_NewEvent();
    ASSERT_EQ(0, calparser_CreateCompressedRecurringEventFromList(&master, instances.list,
                                                                  "new@example.com"));
    EXPECT_EQ(utc("20240105T100000Z"), master->tRecurrenceId);
    ASSERT_NE(nullptr, master->aRDates);
    EXPECT_EQ(0u, master->aRDates->count);
    EXPECT_STREQ("mailto:chair@example.com", master->pOrganizer->pAddr);
    EXPECT_STREQ("new@example.com", master->pOrganizer->pSentBy);
    caldb_FreeEvent(&master);
}

// The to-do form drops the rules even of an expanded master; without an
// organizer address the new organizer stays empty.
TEST(CompressTest, TodoAlwaysDropsRules) {
    array_t* instances = array_new();
    for (const char* start : {"20240201T080000Z", "20240208T080000Z"}) {
        CALDB_VTODO* todo = caldb_NewToDo();
        todo->tDtStart = static_cast<int32_t>(utc(start));
        todo->tRecurrenceId = todo->tDtStart;
        todo->tDue = todo->tDtStart + 2 * kHour;
        todo->aRRules = text_list({"FREQ=WEEKLY"});
        todo->bExpandedMaster = 1;
        array_append(instances, todo);
    }
    CALDB_VTODO* master = nullptr;
    ASSERT_EQ(0, calparser_CreateCompressedRecurringTodoFromList(&master, instances, "x@y"));
    EXPECT_EQ(0, master->tRecurrenceId);
    EXPECT_EQ(utc("20240201T100000Z"), master->tDue);
    EXPECT_EQ((Texts{"20240201T080000Z", "20240208T080000Z"}), texts(master->aRDates));
    EXPECT_EQ(nullptr, master->aRRules);
    ASSERT_NE(nullptr, master->pOrganizer);
    EXPECT_EQ(nullptr, master->pOrganizer->pAddr);
    EXPECT_EQ(nullptr, master->pOrganizer->pSentBy);
    caldb_FreeToDo(&master);
    for (unsigned i = instances->count; i-- > 0;) {
        CALDB_VTODO* todo = static_cast<CALDB_VTODO*>(instances->data[i]);
        caldb_FreeToDo(&todo);
    }
    array_delete(instances);
}

TEST(MasterDatesTest, OriginalStartGoesToTheRightListOnce) {
    CALDB_VEVENT* ev = caldb_NewEvent();
    CALDB_COMPONENT* master = head(ev);
    master->aRecurRDateList = text_list({"20240101T100000Z", "20240102T100000Z"});
    CALDB_VEVENT* instEv = make_event("20240105T120000Z", kHour, "s");
    CALDB_COMPONENT* instance = head(instEv);
    add_original_start(instance, "20240105T100000Z");
    array_t* removeDates = text_list({"20240101T100000Z", "20240101t100000z"});

    ASSERT_EQ(0, calparser_ModifyMasterEventExDateRDate(&master, instance, 0, removeDates, 0));
    ASSERT_EQ(0, calparser_ModifyMasterEventExDateRDate(&master, instance, 0, nullptr, 0));
    EXPECT_EQ((Texts{"20240102T100000Z", "20240105T100000Z"}), texts(master->aRecurRDateList));
    ASSERT_NE(nullptr, master->aRecurExDateList);
    EXPECT_EQ(0u, master->aRecurExDateList->count);
    EXPECT_EQ(nullptr, master->aAttendeeRDateList);

    // The attendee lists never lose entries.
    master->aAttendeeRDateList = text_list({"20240102T100000Z"});
    ASSERT_EQ(0, calparser_ModifyMasterEventExDateRDate(&master, instance, 0, removeDates, 1));
    EXPECT_EQ((Texts{"20240102T100000Z", "20240105T100000Z"}), texts(master->aAttendeeRDateList));
    ASSERT_NE(nullptr, master->aAttendeeExDateList);
    EXPECT_EQ(2u, master->aRecurRDateList->count);

    CALDB_COMPONENT* none = nullptr;
    EXPECT_EQ(0, calparser_ModifyMasterEventExDateRDate(&none, instance, 0, nullptr, 0));

    // An instance's RDATE and EXDATE merge into the master without duplicates.
    master->aRDates = text_list({"20240103T100000Z"});
    instance->aRDates = text_list({"20240103T100000Z", "20240104T100000Z"});
    instance->aExDates = text_list({"20240106T100000Z"});
    EXPECT_EQ(0, calparser_ModifyRecurringComponentExDateRDate(&master, instance));
    EXPECT_EQ((Texts{"20240103T100000Z", "20240104T100000Z"}), texts(master->aRDates));
    EXPECT_EQ((Texts{"20240106T100000Z"}), texts(master->aExDates));

    calparser_recurrence_FreeStringArrayAndDestroy(removeDates);
    caldb_FreeEvent(&instEv);
    caldb_FreeComponent(reinterpret_cast<void**>(&master));
}

#if HEAP_FAILURE_HOOK
// A list that cannot be created costs the master: freed, pointer cleared.
TEST(MasterDatesTest, FailedListFreesTheMaster) {
    CALDB_COMPONENT* master = head(caldb_NewEvent());
    CALDB_VEVENT* instance = make_event("20240105T100000Z", kHour, "s");
    long liveBefore = heap_failure::g_live_blocks;
    heap_failure::g_until_failure = 0;
    int rc = calparser_ModifyMasterEventExDateRDate(&master, head(instance), 0, nullptr, 0);
    heap_failure::g_until_failure = -1;
    EXPECT_EQ(3, rc);
    EXPECT_EQ(nullptr, master);
    EXPECT_LT(heap_failure::g_live_blocks, liveBefore);
    caldb_FreeEvent(&instance);
}
#endif

// The master started an hour later (its RECURRENCE-ID says where it was),
// lasts two hours, and has a new summary and alarm.
struct MovedMaster {
    CALDB_VEVENT* master = make_event("20240110T110000Z", 2 * kHour, "s");
    EventList instances;
    MovedMaster() {
        master->tRecurrenceId = static_cast<int32_t>(utc("20240110T100000Z"));
        PL_strfree(master->pSummary);
        master->pSummary = PL_strdup("Review, longer");
        add_alarm(head(master), utc("20240110T105000Z"));
        for (unsigned field : {CALPARSER_MOD_DTEND_DUE, CALPARSER_MOD_SUMMARY,
                               CALPARSER_MOD_ALARMS, CALPARSER_MOD_DTSTART})
            calparser_setModField(master->modFields, field);
        for (const char* start : {"20240112T100000Z", "20240113T100000Z"}) {
            CALDB_VEVENT* inst = instances.add(make_event(start, kHour, "s"));
            add_original_start(head(inst), start);
        }
        // The second instance changed its own end.
        CALDB_VEVENT* own = instance(1);
        own->tDtEnd = own->tDtStart + kHour / 2;
        calparser_setModField(own->modFields, CALPARSER_MOD_DTEND_DUE);
    }
    ~MovedMaster() { caldb_FreeEvent(&master); }
    CALDB_VEVENT* instance(unsigned i) { return static_cast<CALDB_VEVENT*>(instances.list->data[i]); }
};

TEST(ModifyInstancesTest, MasterChangesReachInstancesThatKeptTheirOwn) {
    MovedMaster m;
    ASSERT_EQ(0, calparser_ModifyRecurringEventList(m.instances.list, m.master, 1, 0));
    CALDB_VEVENT* a = m.instance(0);
    EXPECT_EQ(utc("20240112T110000Z"), a->tDtStart);
    EXPECT_EQ(utc("20240112T130000Z"), a->tDtEnd);
    EXPECT_EQ(utc("20240112T100000Z"), a->tRecurrenceId);
    EXPECT_STREQ("Review, longer", a->pSummary);
    ASSERT_NE(nullptr, a->aAlarms);
    EXPECT_EQ(utc("20240112T105000Z"), first_trigger(head(a)));

    CALDB_VEVENT* b = m.instance(1);
    EXPECT_EQ(utc("20240113T110000Z"), b->tDtStart);
    EXPECT_EQ(utc("20240113T103000Z"), b->tDtEnd);  // its own change stays
    EXPECT_EQ(utc("20240113T100000Z"), b->tRecurrenceId);

    // Forced, the end follows the master too; without moveStart DTSTART stays.
    b->tDtStart = static_cast<int32_t>(utc("20240113T100000Z"));
    ASSERT_EQ(0, calparser_ModifyRecurringEvent(b, m.master, kHour, 2 * kHour, 0, 1));
    EXPECT_EQ(utc("20240113T100000Z"), b->tDtStart);
    EXPECT_EQ(utc("20240113T120000Z"), b->tDtEnd);
    EXPECT_EQ(0, calparser_ModifyRecurringEvent(nullptr, m.master, 0, 0, 1, 1));
    EXPECT_EQ(0, calparser_ModifyRecurringEventList(nullptr, m.master, 1, 1));
}

TEST(ModifyInstancesTest, TodoDueFollowsTheMaster) {
    CALDB_VTODO* master = caldb_NewToDo();
    master->tDtStart = static_cast<int32_t>(utc("20240110T090000Z"));
    master->tDue = master->tDtStart + kHour;
    calparser_setModField(master->modFields, CALPARSER_MOD_DTEND_DUE);
    CALDB_VTODO* inst = caldb_NewToDo();
    inst->tDtStart = static_cast<int32_t>(utc("20240112T090000Z"));
    inst->tRecurrenceId = inst->tDtStart;
    inst->tDue = inst->tDtStart + 3 * kHour;
    array_t* list = array_new();
    array_append(list, inst);

    // Without RECURRENCE-ID on the master the shift is master start minus the instance's.
    ASSERT_EQ(0, calparser_ModifyRecurringTodoList(list, master, 1, 0));
    EXPECT_EQ(utc("20240110T090000Z"), inst->tDtStart);
    EXPECT_EQ(utc("20240110T100000Z"), inst->tDue);
    EXPECT_EQ(utc("20240112T090000Z"), inst->tRecurrenceId);

    // A master without DUE takes the instance's DUE away.
    master->tDue = 0;
    ASSERT_EQ(0, calparser_ModifyRecurringTodo(inst, master, 0, 0, 0, 0));
    EXPECT_EQ(0, inst->tDue);

    array_delete(list);
    caldb_FreeToDo(&inst);
    caldb_FreeToDo(&master);
}

TEST(InstanceInListTest, FoundInstanceTakesDatesAndMarksDifferences) {
    array_t* wrappers = array_new();
    CAL_VCOMPONENT* todo = CAL_VCOMPONENT_NEW(CALDB_KIND_TODO);
    head(todo->pComponent)->pUid = PL_strdup("series");
    head(todo->pComponent)->tRecurrenceId = static_cast<int32_t>(utc("20240105T100000Z"));
    array_append(wrappers, todo);
    CAL_VCOMPONENT* stored = CAL_VCOMPONENT_NEW(CALDB_KIND_EVENT);
    CALDB_VEVENT* old = static_cast<CALDB_VEVENT*>(stored->pComponent);
    old->pUid = PL_strdup("SERIES");
    old->tRecurrenceId = static_cast<int32_t>(utc("20240105T100000Z"));
    old->pSummary = PL_strdup("Review");
    old->aRDates = text_list({"20240107T100000Z"});
    array_append(wrappers, stored);

    CALDB_VEVENT* candidate = make_event("20240105T100000Z", kHour, "series");
    PL_strfree(candidate->pSummary);
    candidate->pSummary = PL_strdup("review (moved)");
    candidate->aRDates = text_list({"20240107T100000Z", "20240108T100000Z"});
    candidate->aExDates = text_list({"20240109T100000Z"});
    candidate->aRRules = text_list({"FREQ=DAILY"});

    EXPECT_EQ(1, calparser_RecurringInstanceAlreadyInList(wrappers, head(candidate)));
    EXPECT_EQ((Texts{"20240107T100000Z", "20240108T100000Z"}), texts(old->aRDates));
    EXPECT_EQ((Texts{"20240109T100000Z"}), texts(old->aExDates));
    EXPECT_EQ((Texts{"FREQ=DAILY"}), texts(old->aRRules));
    EXPECT_STREQ("Review", old->pSummary);
    EXPECT_TRUE(calparser_isModFieldSet(old->modFields, CALPARSER_MOD_SUMMARY));
    EXPECT_FALSE(calparser_isModFieldSet(old->modFields, CALPARSER_MOD_UID));
    EXPECT_FALSE(calparser_isModFieldSet(head(todo->pComponent)->modFields,
                                         CALPARSER_MOD_SUMMARY));

    candidate->tRecurrenceId = static_cast<int32_t>(utc("20240106T100000Z"));
    EXPECT_EQ(0, calparser_RecurringInstanceAlreadyInList(wrappers, head(candidate)));
    EXPECT_EQ(0, calparser_RecurringInstanceAlreadyInList(nullptr, head(candidate)));

    caldb_FreeEvent(&candidate);
    calparser_FreeCalVCompList(wrappers);
    array_delete(wrappers);
}

TEST(SequenceAndStateTest, BumpAndName) {
    array_t* list = array_new();
    for (int seq : {0, 4, 1}) {
        CALDB_VEVENT* ev = caldb_NewEvent();
        ev->nSequence = seq;
        array_append(list, ev);
    }
    EXPECT_EQ(2, calparser_bump_sequence_number_on_complist(list));
    EXPECT_EQ(5, head(list->data[1])->nSequence);
    for (unsigned i = list->count; i-- > 0;) caldb_FreeComponent(&list->data[i]);
    array_clear(list);
    EXPECT_EQ(0, calparser_bump_sequence_number_on_complist(list));
    EXPECT_EQ(0, calparser_bump_sequence_number_on_complist(nullptr));
    array_delete(list);

    char* text = nullptr;
    ASSERT_EQ(0, getCompStateStringToICAL((2 << 16) | 0x20, &text));
    EXPECT_STREQ("REQUEST-ACCEPTED", text);
    PL_strfree(text);
    ASSERT_EQ(0, getCompStateStringToICAL((8 << 16) | 0x40, &text));
    EXPECT_STREQ("CANCEL-DECLINED", text);
    PL_strfree(text);
    EXPECT_EQ(1, getCompStateStringToICAL(1, nullptr));
}

}  // namespace
