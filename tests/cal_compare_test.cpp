// Comparing two versions of a component: same / major / minor, and the
// modification bit of every property.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include <plstr.h>

#include "core/parser/cal_compare.h"
#include "tests/support/attendee_lists.h"
#include "public/db/caldb.h"
#include "public/util/array.h"

namespace {

void set_text(char** field, const char* value) {
    PL_strfree(*field);
    *field = value ? PL_strdup(value) : nullptr;
}

void set_list(array_t** field, std::initializer_list<const char*> items) {
    array_free_and_destroy(field);
    *field = texts(items);
}

// A record with a field of each kind set, so that a test can change one.
template <typename Record>
Record* base(Record* c) {
    c->nCompState = (2u << 16) | 0x20;
    c->tDtStart = c->tRecurrenceId = 1000000;
    c->nSequence = 3;
    c->nGeoLat = 37386013;
    c->pSummary = PL_strdup("Team meeting");
    c->pDescription = PL_strdup("Weekly sync");
    c->pUrl = PL_strdup("http://example.com/m");
    c->aRDates = texts({"20260101T100000Z"});
    c->aXProps = texts({"X-FOO:1"});
    c->aCategories = texts({"A", "B"});
    c->pOrganizer = caldb_NewOrganizer();
    c->pOrganizer->pAddr = PL_strdup("mailto:boss@example.com");
    c->aAttendees = attendee_list(
        {new_attendee("mailto:a@x.com", nullptr, 2), new_attendee("mailto:b@x.com", nullptr, 1)});
    attendee_at(c->aAttendees, 0)->bRsvp = 1;
    CALDB_VALARM* alarm = caldb_NewAlarm();
    alarm->tTrigger = 999100;
    alarm->pSummary = PL_strdup("Wake up");
    alarm->aAttendees = texts({"mailto:a@x.com"});
    array_append(c->aAlarms = array_new(), alarm);
    return c;
}

CALDB_VEVENT* base_event() {
    CALDB_VEVENT* ev = base(caldb_NewEvent());
    ev->nPriority = 5;
    ev->tDtEnd = 1003600;
    ev->pEventAux = PL_strdup("aux");
    return ev;
}

CALDB_VTODO* base_todo() {
    CALDB_VTODO* todo = base(caldb_NewToDo());
    todo->tDue = 1003600;
    todo->tCompleted = 1002000;
    todo->pDueTzid = PL_strdup("Europe/Paris");
    todo->nPercentComplete = 40;
    return todo;
}

CALDB_COMPONENT* head(void* record) { return static_cast<CALDB_COMPONENT*>(record); }

// The modFields bytes with only `field` set (none for 0).
std::vector<unsigned> only(unsigned field) {
    std::vector<unsigned> bytes(8, 0);
    bytes[field >> 8] = field & 0xFF;
    return bytes;
}

std::vector<unsigned> bytes_of(const unsigned char modFields[8]) {
    return std::vector<unsigned>(modFields, modFields + 8);
}

CALDB_VALARM* alarm(CALDB_VEVENT* e) { return (CALDB_VALARM*)e->aAlarms->data[0]; }
CALDB_ATTENDEE* attendee_of(CALDB_VEVENT* e) { return attendee_at(e->aAttendees, 1); }

template <typename Record>
struct Change {
    const char* name;
    unsigned field;  // the bit it sets, 0 for none
    int compared;    // what the comparison answers: 0 same, 1 major, 2 minor
    std::function<void(Record*)> apply;
};

// One row per kind of field and way of comparing it (the compared fields of
// the record head are a table: one row stands for the fields of its kind).
const std::vector<Change<CALDB_VEVENT>> kEventChanges = {
    {"DTSTART", CALPARSER_MOD_DTSTART, 1, [](CALDB_VEVENT* e) { e->tDtStart += 60; }},
    {"SEQUENCE", CALPARSER_MOD_SEQUENCE, 2, [](CALDB_VEVENT* e) { e->nSequence = 4; }},
    {"GEO lat", CALPARSER_MOD_GEOLAT, 1, [](CALDB_VEVENT* e) { e->nGeoLat = -37386013; }},
    {"SUMMARY", CALPARSER_MOD_SUMMARY, 1, [](CALDB_VEVENT* e) { set_text(&e->pSummary, "Moved"); }},
    {"DESCRIPTION", CALPARSER_MOD_DESCRIPTION, 1, [](CALDB_VEVENT* e) { set_text(&e->pDescription, nullptr); }},
    {"URL", CALPARSER_MOD_URL, 1, [](CALDB_VEVENT* e) { set_text(&e->pUrl, ""); }},
    {"ORGANIZER", CALPARSER_MOD_ORGANIZER, 1, [](CALDB_VEVENT* e) { set_text(&e->pOrganizer->pAddr, "mailto:o@x.com"); }},
    {"ATTENDEE status", CALPARSER_MOD_ATTENDEES, 1, [](CALDB_VEVENT* e) { attendee_of(e)->nPartStat = 3; }},
    // An alarm differs in each field it compares (letter case, its X- lines
    // and its list after its attendees aside) ...
    {"VALARM trigger", CALPARSER_MOD_ALARMS, 2, [](CALDB_VEVENT* e) { alarm(e)->tTrigger -= 60; }},
    {"VALARM duration", CALPARSER_MOD_ALARMS, 2, [](CALDB_VEVENT* e) { alarm(e)->nDuration = 60; }},
    {"VALARM action", CALPARSER_MOD_ALARMS, 2, [](CALDB_VEVENT* e) { alarm(e)->nAction = 1; }},
    {"VALARM repeat", CALPARSER_MOD_ALARMS, 2, [](CALDB_VEVENT* e) { alarm(e)->nRepeat = 2; }},
    {"VALARM aux text", CALPARSER_MOD_ALARMS, 2, [](CALDB_VEVENT* e) { set_text(&alarm(e)->pAuxText, "x"); }},
    {"VALARM summary", CALPARSER_MOD_ALARMS, 2, [](CALDB_VEVENT* e) { set_text(&alarm(e)->pSummary, "Sleep"); }},
    {"VALARM description", CALPARSER_MOD_ALARMS, 2, [](CALDB_VEVENT* e) { set_text(&alarm(e)->pDescription, "now"); }},
    {"VALARM attendees", CALPARSER_MOD_ALARMS, 2, [](CALDB_VEVENT* e) { set_list(&alarm(e)->aAttendees, {"mailto:b@x.com"}); }},
    {"VALARM summary case", 0, 0, [](CALDB_VEVENT* e) { set_text(&alarm(e)->pSummary, "WAKE UP"); }},
    {"VALARM X- lines", 0, 0, [](CALDB_VEVENT* e) { set_list(&alarm(e)->aXProps, {"X-A:1"}); }},
    {"VALARM aux list", 0, 0, [](CALDB_VEVENT* e) { set_list(&alarm(e)->aAuxTexts, {"x"}); }},
    // ... an attendee in its address (ignoring case), status or RSVP; lists
    // pair attendees by address.
    {"ATTENDEE address case", 0, 0, [](CALDB_VEVENT* e) { set_text(&attendee_of(e)->pAddr, "MAILTO:B@X.COM"); }},
    {"ATTENDEE address", CALPARSER_MOD_ATTENDEES, 1, [](CALDB_VEVENT* e) { set_text(&attendee_of(e)->pAddr, "mailto:c@x.com"); }},
    {"ATTENDEE RSVP", CALPARSER_MOD_ATTENDEES, 1, [](CALDB_VEVENT* e) { attendee_of(e)->bRsvp = 1; }},
    {"ATTENDEE CN", 0, 0, [](CALDB_VEVENT* e) { attendee_of(e)->pCn = PL_strdup("Bob"); }},
    {"RDATE", CALPARSER_MOD_RDATES, 1, [](CALDB_VEVENT* e) { set_list(&e->aRDates, {}); }},
    {"CATEGORIES order", CALPARSER_MOD_CATEGORIES, 1, [](CALDB_VEVENT* e) { set_list(&e->aCategories, {"B", "A"}); }},
    {"X- lines", CALPARSER_MOD_XPROPS, 2, [](CALDB_VEVENT* e) { set_list(&e->aXProps, {"X-FOO:2"}); }},
    // The comparison reads the method half only, and a's REQUEST (2) must be matched.
    {"state half", CALPARSER_MOD_COMP_STATE, 0, [](CALDB_VEVENT* e) { e->nCompState = (2u << 16) | 0x40; }},
    {"method half", CALPARSER_MOD_COMP_STATE, 1, [](CALDB_VEVENT* e) { e->nCompState = (64u << 16) | 0x20; }},
    {"DTEND", CALPARSER_MOD_DTEND_DUE, 1, [](CALDB_VEVENT* e) { e->tDtEnd += 60; }},
    {"pEventAux", CALPARSER_MOD_EVENT_AUX, 1, [](CALDB_VEVENT* e) { set_text(&e->pEventAux, "x"); }},
    {"TRANSP", CALPARSER_MOD_TRANSP, 1, [](CALDB_VEVENT* e) { e->bTransparent = 1; }},
    {"RECURRENCE-ID", 0, 1, [](CALDB_VEVENT* e) { e->tRecurrenceId += 86400; }},
    // Unchanged: letter case, attendees in another order, fields not compared.
    {"SUMMARY case", 0, 0, [](CALDB_VEVENT* e) { set_text(&e->pSummary, "TEAM MEETING"); }},
    {"ATTENDEE order", 0, 0, [](CALDB_VEVENT* e) { std::swap(e->aAttendees->data[0], e->aAttendees->data[1]); }},
    {"ORGANIZER CN", 0, 0, [](CALDB_VEVENT* e) { e->pOrganizer->pCn = PL_strdup("Boss"); }},
};

}  // namespace

// Each change made to a fresh copy of the base record gives its result and
// exactly its bit; the caller's kind picks the bits, not the records' nType.
template <typename Record>
void expect_changes(const std::vector<Change<Record>>& changes, Record* (*make)(), int kind,
                    int (*compare)(const Record*, const Record*)) {
    for (const auto& change : changes) {
        Record* before = make();
        Record* after = make();
        change.apply(after);
        EXPECT_EQ(change.compared, compare(before, after)) << change.name;
        EXPECT_EQ(change.compared, calparser_CompareComponent(head(before), head(after))) << change.name;
        int ownType = before->nType;
        before->nType = after->nType = CALDB_KIND_EXPANDED_TODO;
        EXPECT_EQ(0, calparser_getComponentModFields(head(before), head(after), kind));
        EXPECT_EQ(only(change.field), bytes_of(after->modFields)) << change.name;
        EXPECT_EQ(only(0), bytes_of(before->modFields)) << change.name;
        before->nType = after->nType = ownType;
        void* records[] = {before, after};
        for (void*& record : records) caldb_FreeComponent(&record);
    }
}

TEST(CompareComponents, EachChangeGivesItsResultAndExactlyItsBit) {
    expect_changes(kEventChanges, base_event, CALDB_KIND_EVENT, calparser_CompareEvent);
    const std::vector<Change<CALDB_VTODO>> todoChanges = {
        {"DUE", CALPARSER_MOD_DTEND_DUE, 1, [](CALDB_VTODO* t) { t->tDue += 60; }},
        {"COMPLETED", CALPARSER_MOD_COMPLETED, 1, [](CALDB_VTODO* t) { t->tCompleted = 0; }},
        {"X-KVAL-DUE-TZID", CALPARSER_MOD_DUE_TZID, 1, [](CALDB_VTODO* t) { set_text(&t->pDueTzid, "UTC"); }},
        {"PERCENT-COMPLETE", CALPARSER_MOD_PERCENT_COMPLETE, 1, [](CALDB_VTODO* t) { t->nPercentComplete = 41; }},
        {"STATUS", 0, 1, [](CALDB_VTODO* t) { t->nStatus = CALDB_STATUS_COMPLETED; }},
    };
    expect_changes(todoChanges, base_todo, CALDB_KIND_TODO, calparser_CompareTodo);
}

// Only a method 1, 2, 4 or 8 of a must be matched by b (here REQUEST).
TEST(CompareComponents, MethodsOfAMustBeMatched) {
    CALDB_VEVENT* a = base_event();
    CALDB_VEVENT* b = base_event();
    const unsigned methods[][2] = {{0, 0}, {1, 1}, {2, 0}, {4, 1}, {8, 1}, {64, 0}};
    for (const auto& m : methods) {
        a->nCompState = m[0] << 16;
        b->nCompState = 2u << 16;
        EXPECT_EQ(static_cast<int>(m[1]), calparser_CompareEvent(a, b)) << m[0];
    }
    caldb_FreeEvent(&a);
    caldb_FreeEvent(&b);
}

// Text and attendee lists read NULL as empty; an alarm list does not, so a
// NULL alarm list against an empty one is a minor change with its bit.
TEST(CompareComponents, OnlyAlarmListsTellNullFromEmpty) {
    array_t* empty = array_new();
    EXPECT_EQ(0, calparser_CompareStringPropertyArray(nullptr, empty));
    EXPECT_EQ(0, calparser_CompareAttendeePropertyArray(empty, nullptr));
    EXPECT_EQ(0, calparser_CompareAlarmArray(nullptr, nullptr));
    EXPECT_EQ(1, calparser_CompareAlarmArray(nullptr, empty));
    EXPECT_EQ(1, calparser_CompareAlarmArray(empty, nullptr));
    array_delete(empty);

    CALDB_VEVENT* before = base_event();
    CALDB_VEVENT* after = base_event();
    caldb_FreeList(&before->aAlarms, CALDB_LIST_ALARMS);
    caldb_FreeList(&after->aAlarms, CALDB_LIST_ALARMS);
    after->aAlarms = array_new();
    EXPECT_EQ(2, calparser_CompareEvent(before, after));
    EXPECT_EQ(0, calparser_getComponentModFields(head(before), head(after), CALDB_KIND_EVENT));
    EXPECT_EQ(only(CALPARSER_MOD_ALARMS), bytes_of(after->modFields));
    caldb_FreeEvent(&before);
    caldb_FreeEvent(&after);
}

// Both records missing are the same; one missing, or of another kind, is a
// major change.
TEST(CompareParts, MissingRecords) {
    CALDB_VEVENT* event = base_event();
    CALDB_VTODO* todo = base_todo();
    EXPECT_EQ(0, calparser_CompareComponent(nullptr, nullptr));
    EXPECT_EQ(1, calparser_CompareComponent(nullptr, head(todo)));
    EXPECT_EQ(1, calparser_CompareComponent(head(event), head(todo)));
    EXPECT_EQ(1, calparser_getComponentModFields(head(event), nullptr, CALDB_KIND_EVENT));
    caldb_FreeEvent(&event);
    caldb_FreeToDo(&todo);
}
