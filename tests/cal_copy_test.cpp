// Copying components: full and modified-only copies, copies at a new start.
// Period lengths are checked by the expansion tests, the alarms of expanded
// instances by the output equality test (examples/meeting.ics).
#include <gtest/gtest.h>

#include <string.h>

#include <functional>
#include <vector>

#include <plstr.h>

#include "core/parser/cal_compare.h"
#include "core/parser/cal_copy.h"
#include "public/ac/acl.h"
#include "public/db/caldb.h"
#include "public/util/array.h"
#include "tests/support/attendee_lists.h"
#include "tests/support/heap_failure.h"

namespace {

constexpr time_t kNine = 1767603600;  // 2026-01-05 09:00:00 UTC
constexpr time_t kHour = 3600;
constexpr time_t kDay = 86400;

bool eq(const char* a, const char* b) { return a && b && strcmp(a, b) == 0; }

// A recurring master: a field of each kind and copy rule set, an alarm 15
// minutes before 09:00.
template <typename Record>
Record* master(Record* c) {
    c->nCompState = (2u << 16) | 0x20;
    c->tDtStart = static_cast<int32_t>(kNine);
    c->nSequence = 2;
    c->tCreated = static_cast<int32_t>(kNine - 2 * kDay);
    c->nAuxValue = 5;
    c->nGeoLat = 48856600;
    c->nRecurCount = 12;
    const std::pair<char**, const char*> textFields[] = {
        {&c->pSummary, "Standup"}, {&c->pUid, "uid-master"}, {&c->pClass, "PUBLIC"},
        {&c->pRecurUntil, "20261231T000000Z"}, {&c->pLinkCalid, "linked"}};
    for (const auto& f : textFields) *f.first = PL_strdup(f.second);
    const std::pair<array_t**, const char*> listFields[] = {
        {&c->aRRules, "FREQ=DAILY"}, {&c->aCategories, "WORK"}, {&c->aAttendeeRDateList, "ARL1"},
        {&c->aAttendeeExDateList, "AEL1"}};
    for (const auto& f : listFields) *f.first = texts({f.second});
    c->aXProps = texts({"X-KVAL-ORIGINAL-DTSTART:20260105T090000Z", "X-A:1"});
    c->pOrganizer = caldb_NewOrganizer();
    c->pOrganizer->pAddr = PL_strdup("mailto:lead@x.com");
    c->aAttendees = attendee_list({new_attendee("mailto:a@x.com")});
    CALDB_VALARM* soon = caldb_NewAlarm();
    soon->tTrigger = static_cast<int32_t>(kNine - 15 * 60);
    array_append(c->aAlarms = array_new(), soon);
    return c;
}

CALDB_VEVENT* master_event() {
    CALDB_VEVENT* ev = master(caldb_NewEvent());
    ev->nPriority = 3;
    ev->nStatus = CALDB_STATUS_TENTATIVE;
    ev->tDtEnd = static_cast<int32_t>(kNine + 30 * 60);
    ev->pEventAux = PL_strdup("aux");
    return ev;
}

// An instance whose every copied property differs from the master's.
CALDB_VEVENT* instance_event() {
    CALDB_VEVENT* ev = caldb_NewEvent();
    ev->tDtStart = ev->tRecurrenceId = static_cast<int32_t>(kNine + kDay);
    ev->tDtEnd = ev->tDtStart + 60;
    ev->nSequence = ev->tCreated = 1;
    ev->nGeoLat = -1;
    ev->nAuxValue = ev->nRecurCount = 77;
    ev->bTransparent = 1;
    ev->pOrganizer = caldb_NewOrganizer();
    ev->pOrganizer->pAddr = PL_strdup("mailto:other@x.com");
    for (char** text : {&ev->pUid, &ev->pClass, &ev->pSummary, &ev->pEventAux})
        *text = PL_strdup("own");
    ev->aAttendees = attendee_list({new_attendee("mailto:own@x.com")});
    for (array_t** list : {&ev->aRRules, &ev->aCategories, &ev->aXProps}) *list = texts({"own"});
    return ev;
}

// A property of the modified-only copy: its bit, whether it is guarded, and
// whether an instance holds the master's value of it. The copied fields of
// the record head are a table: one row stands for the fields of its kind
// and copy rule.
struct Property {
    const char* name;
    unsigned field;
    bool guarded;
    std::function<bool(const CALDB_VEVENT*)> hasMasterValue;
};

using E = const CALDB_VEVENT*;
const std::vector<Property> kProperties = {
    {"CREATED", CALPARSER_MOD_CREATED, false, [](E e) { return e->tCreated == kNine - 2 * kDay; }},
    {"SEQUENCE", CALPARSER_MOD_SEQUENCE, false, [](E e) { return e->nSequence == 2; }},
    {"GEO lat", CALPARSER_MOD_GEOLAT, true, [](E e) { return e->nGeoLat == 48856600; }},
    {"ORGANIZER", CALPARSER_MOD_ORGANIZER, false, [](E e) { return eq(e->pOrganizer->pAddr, "mailto:lead@x.com"); }},
    {"UID", CALPARSER_MOD_UID, false, [](E e) { return eq(e->pUid, "uid-master"); }},
    {"CLASS", CALPARSER_MOD_CLASS, false, [](E e) { return eq(e->pClass, "PUBLIC"); }},
    {"SUMMARY", CALPARSER_MOD_SUMMARY, true, [](E e) { return eq(e->pSummary, "Standup"); }},
    {"ATTENDEE", CALPARSER_MOD_ATTENDEES, true, [](E e) {
         return e->aAttendees->count == 1 && eq(attendee_at(e->aAttendees, 0)->pAddr, "mailto:a@x.com");
     }},
    // The recurrence lists merge into the instance's, the descriptive lists
    // replace it, and the X- lines merge.
    {"RRULE", CALPARSER_MOD_RRULES, false, [](E e) { return strings(e->aRRules) == Strings{"own", "FREQ=DAILY"}; }},
    {"CATEGORIES", CALPARSER_MOD_CATEGORIES, true, [](E e) { return strings(e->aCategories) == Strings{"WORK"}; }},
    {"X- lines", CALPARSER_MOD_XPROPS, true, [](E e) {
         return strings(e->aXProps) == Strings{"own", "X-KVAL-ORIGINAL-DTSTART:20260105T090000Z", "X-A:1"};
     }},
    {"pEventAux", CALPARSER_MOD_EVENT_AUX, false, [](E e) { return eq(e->pEventAux, "aux"); }},
    // The whole flags word is taken, but TRANSP goes back to the instance's own.
    {"TRANSP", CALPARSER_MOD_TRANSP, true, [](E e) { return e->bTransparent == 0; }},
};

}  // namespace

TEST(ModifiedOnlyCopy, EachBitCopiesItsPropertyAndGuardsHold) {
    struct Case {
        bool instanceBit;
        int force;
    };
    for (const Property& p : kProperties) {
        for (const Case& c : {Case{false, 0}, Case{true, 0}, Case{true, 1}}) {
            CALDB_VEVENT* from = master_event();
            CALDB_VEVENT* inst = instance_event();
            from->nType = CALDB_KIND_EXPANDED_EVENT;
            calparser_setModField(from->modFields, p.field);
            if (c.instanceBit) calparser_setModField(inst->modFields, p.field);
            ASSERT_EQ(0, calparser_recurrence_copyEventPropertiesExceptStartEndRecID(inst, from, 1, c.force));
            bool copied = !c.instanceBit || c.force || !p.guarded;
            EXPECT_EQ(copied, p.hasMasterValue(inst)) << p.name << " own bit " << c.instanceBit
                                                      << " force " << c.force;
            for (const Property& other : kProperties) {  // nothing else moves
                EXPECT_TRUE(other.field == p.field || !other.hasMasterValue(inst)) << other.name;
            }
            // Kind, state and the flags word are taken whatever the bits say ...
            EXPECT_EQ(CALDB_KIND_EXPANDED_EVENT, inst->nType);
            EXPECT_EQ(from->nCompState, inst->nCompState);
            EXPECT_EQ(5, inst->nAuxValue);
            EXPECT_EQ(CALDB_STATUS_TENTATIVE, inst->nStatus);
            // ... the recurrence count, until and attendee date lists never.
            EXPECT_EQ(77, inst->nRecurCount);
            EXPECT_EQ(nullptr, inst->pRecurUntil);
            EXPECT_EQ(nullptr, inst->aAttendeeRDateList);
            caldb_FreeEvent(&from);
            caldb_FreeEvent(&inst);
        }
    }
}

TEST(FullCopy, RunningOutOfMemoryLeaksNothing) {
    CALDB_VEVENT* src = master_event();
    // The copy reports success either way; a run is complete once no allocation failed.
    count_failure_points([&] {
        CALDB_VEVENT* copy = nullptr;
        EXPECT_EQ(0, calparser_copyConstructorEvent(src, &copy));
        bool completed = heap_failure::g_until_failure >= 0;
        caldb_FreeEvent(&copy);
        return completed;
    });
    caldb_FreeEvent(&src);
}

// The end and the due time keep their distance from the start.
TEST(CopyAtStart, EndAndDueMoveWithTheStart) {
    CALDB_VEVENT* src = master_event();
    CALDB_VEVENT* dest = caldb_NewEvent();
    time_t next = kNine + 3 * kDay + 2 * kHour;
    ASSERT_EQ(0, calparser_recurrence_copyEvent(dest, src, next, 0, 0));
    ASSERT_EQ(0, calparser_recurrence_copyEvent(dest, src, next, 0, 0));  // alarms replaced, not added
    EXPECT_EQ(next, dest->tRecurrenceId);
    EXPECT_EQ(next + 30 * 60, dest->tDtEnd);
    EXPECT_EQ(1u, dest->aAlarms->count);
    // An end past the last time a record holds stays there instead of
    // wrapping to a time before 1970.
    src->tDtEnd = INT32_MAX - 60;
    ASSERT_EQ(0, calparser_recurrence_copyEvent(dest, src, next + 365 * kDay, 0, 0));
    EXPECT_EQ(INT32_MAX, dest->tDtEnd);
    src->tDtEnd = src->tDtStart;  // no length: DTEND is the new start
    ASSERT_EQ(0, calparser_recurrence_copyEvent(src, src, next, 0, 0));  // onto itself
    EXPECT_EQ(next, src->tDtEnd);
    EXPECT_EQ(1u, src->aAlarms->count);

    CALDB_VTODO* todo = caldb_NewToDo();
    todo->tDtStart = static_cast<int32_t>(kNine);
    todo->tDue = static_cast<int32_t>(kNine + 2 * kHour);
    CALDB_VTODO* todoCopy = caldb_NewToDo();
    ASSERT_EQ(0, calparser_recurrence_copyTodo(todoCopy, todo, next, 0, 0));
    EXPECT_EQ(next + 2 * kHour, todoCopy->tDue);
    todo->tDue = 0;  // no DUE stays no DUE ...
    ASSERT_EQ(0, calparser_recurrence_copyTodo(todoCopy, todo, next, 0, 0));
    EXPECT_EQ(0, todoCopy->tDue);
    // ... except in the period form without a period: DUE = start.
    ASSERT_EQ(0, calparser_recurrence_copyTodoPeriod(todoCopy, todo, nullptr, next, 0));
    EXPECT_EQ(next, todoCopy->tDue);
    caldb_FreeEvent(&src);
    caldb_FreeEvent(&dest);
    caldb_FreeToDo(&todo);
    caldb_FreeToDo(&todoCopy);
}
namespace {

// "flags principal rights" of every entry of an access-control list.
Strings entries(const array_t* list) {
    Strings out;
    for (unsigned i = 0; list && i < list->count; i++) {
        const CALDB_ACE* ace = (const CALDB_ACE*)list->data[i];
        out.push_back(std::to_string(ace->nFlags) + " " + std::to_string(ace->nPrincipal) + " " +
                      std::to_string(ace->nRights));
    }
    return out;
}

array_t* ace_list(std::initializer_list<const char*> lines) {
    array_t* list = array_new();
    for (const char* line : lines) array_append(list, acl_create_ace(line));
    return list;
}

void free_calprops(CALDB_CALPROPS& props) {
    for (char* text : {props.pDescription, props.pParentCalid, props.pRelativeCalid,
                       props.pCalmaster, props.pName, props.pCharset, props.pLanguage,
                       props.pPrimaryOwner, props.pTzid})
        PL_strfree(text);
    for (array_t* list : {props.pOwners, props.pChildren, props.pCategories})
        array_free_and_destroy(&list);
    acl_misc_FreeACEList(&props.pAceList);
}

}  // namespace

// Values and texts copied (a missing source text keeps the destination's),
// text lists merged without duplicates, the access list replaced.
TEST(CalPropsCopy, ValuesTextsListsAndTheAccessList) {
    CALDB_CALPROPS src = {}, dest = {};
    src.tLastModified = 1041422400;
    src.tCreated = 1041336000;
    src.nRead = 3;
    src.nWrite = 5;
    src.bResource = 1;
    src.nAuxValue = 9;
    src.pName = PL_strdup("Team");
    src.pTzid = PL_strdup("Europe/Paris");
    src.pOwners = texts({"jdoe", "jroe"});
    src.pCategories = texts({"WORK"});
    src.pAceList = ace_list({"grant * calprops read"});
    dest.pName = PL_strdup("Old");
    dest.pDescription = PL_strdup("kept");
    dest.pOwners = texts({"jroe", "boss"});
    dest.pAceList = ace_list({"deny jdoe components all", "grant jroe calprops all"});

    ASSERT_EQ(0, calparser_copyCalProps(&dest, &src));
    EXPECT_EQ((std::vector<long long>{1041422400, 1041336000, 3, 5, 1, 9}),
              (std::vector<long long>{dest.tLastModified, dest.tCreated, dest.nRead, dest.nWrite,
                                      dest.bResource, dest.nAuxValue}));
    EXPECT_STREQ("Team", dest.pName);
    EXPECT_STREQ("Europe/Paris", dest.pTzid);
    EXPECT_STREQ("kept", dest.pDescription);
    EXPECT_EQ(nullptr, dest.pCharset);
    EXPECT_EQ((Strings{"jroe", "boss", "jdoe"}), strings(dest.pOwners));
    EXPECT_EQ((Strings{"WORK"}), strings(dest.pCategories));
    EXPECT_EQ(nullptr, dest.pChildren);
    EXPECT_EQ((Strings{"96 0 2"}), entries(dest.pAceList));  // every user, calendar properties
    free_calprops(src);
    free_calprops(dest);
}
