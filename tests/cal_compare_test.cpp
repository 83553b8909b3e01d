// Comparing two versions of a component: same / major / minor, and the
// modification bit of every property.
#include <gtest/gtest.h>

#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include <plstr.h>

#include "core/parser/cal_compare.h"
#include "public/db/caldb.h"
#include "public/util/array.h"

namespace {

array_t* texts(std::initializer_list<const char*> items) {
    array_t* list = array_new();
    for (const char* item : items) array_append(list, PL_strdup(item));
    return list;
}

void set_text(char** field, const char* value) {
    PL_strfree(*field);
    *field = value ? PL_strdup(value) : nullptr;
}

void set_list(array_t** field, std::initializer_list<const char*> items) {
    if (*field) {
        for (unsigned i = 0; i < (*field)->count; i++) PL_strfree((char*)(*field)->data[i]);
        array_delete(*field);
    }
    *field = texts(items);
}

CALDB_ATTENDEE* attendee(const char* addr, int partstat, int rsvp) {
    CALDB_ATTENDEE* a = caldb_NewAttendee();
    a->pAddr = PL_strdup(addr);
    a->nPartStat = partstat;
    a->bRsvp = rsvp;
    return a;
}

array_t* attendees(std::initializer_list<CALDB_ATTENDEE*> items) {
    array_t* list = array_new();
    for (CALDB_ATTENDEE* a : items) array_append(list, a);
    return list;
}

CALDB_VALARM* alarm(int32_t trigger) {
    CALDB_VALARM* al = caldb_NewAlarm();
    al->tTrigger = trigger;
    al->nAction = CALDB_ALARM_DISPLAY;
    al->pSummary = PL_strdup("Reminder");
    return al;
}

// Fills every head field that a comparison reads, so that a test can change
// one of them and see exactly one difference.
template <typename Record>
void fill_head(Record* c) {
    c->nCompState = (2u << 16) | 0x20;
    c->tDtStart = 1000000;
    c->nSequence = 3;
    c->tAuxTime = 500;
    c->tLastModified = 900000;
    c->tCreated = 800000;
    c->tRecurrenceId = 1000000;
    c->nAuxValue = 4;
    c->nGeoLat = 37386013;
    c->nGeoLon = -122082932;
    c->pSummary = PL_strdup("Team meeting");
    c->pUid = PL_strdup("uid-1");
    c->pDescription = PL_strdup("Weekly sync");
    c->pLocation = PL_strdup("Room 1");
    c->pUrl = PL_strdup("http://example.com/m");
    c->pClass = PL_strdup("PUBLIC");
    c->pOrganizerEmail = PL_strdup("boss@example.com");
    c->pCharset = PL_strdup("UTF-8");
    c->pLanguage = PL_strdup("en");
    c->pDtStartTzid = PL_strdup("Europe/Paris");
    c->pOrganizer = caldb_NewOrganizer();
    c->pOrganizer->pAddr = PL_strdup("mailto:boss@example.com");
    c->pOrganizer->pCn = PL_strdup("Boss");
    c->aAttendees =
        attendees({attendee("mailto:a@example.com", 2, 1), attendee("mailto:b@example.com", 1, 0)});
    c->aAlarms = array_new();
    array_append(c->aAlarms, alarm(999100));
    c->aRDates = texts({"20260101T100000Z"});
    c->aExDates = texts({"20260108T100000Z"});
    c->aRRules = texts({"FREQ=WEEKLY"});
    c->aExRules = texts({"FREQ=MONTHLY"});
    c->aRelatedTo = texts({"uid-0"});
    c->aResources = texts({"PROJECTOR"});
    c->aComments = texts({"bring notes"});
    c->aContacts = texts({"Jim"});
    c->aCategories = texts({"A", "B"});
    c->aAttachments = texts({"http://example.com/a"});
    c->aXProps = texts({"X-FOO:1"});
}

CALDB_VEVENT* base_event() {
    CALDB_VEVENT* ev = caldb_NewEvent();
    fill_head(ev);
    ev->nPriority = 5;
    ev->tDtEnd = 1003600;
    ev->pEventAux = PL_strdup("aux");
    return ev;
}

CALDB_VTODO* base_todo() {
    CALDB_VTODO* todo = caldb_NewToDo();
    fill_head(todo);
    todo->tDue = 1003600;
    todo->tCompleted = 1002000;
    todo->pDueTzid = PL_strdup("Europe/Paris");
    todo->nPercentComplete = 40;
    return todo;
}

CALDB_COMPONENT* head(void* record) {
    return static_cast<CALDB_COMPONENT*>(record);
}

// The modFields bytes with only `field` set.
std::vector<unsigned> only(unsigned field) {
    std::vector<unsigned> bytes(8, 0);
    bytes[field >> 8] = field & 0xFF;
    return bytes;
}

std::vector<unsigned> bytes_of(const unsigned char modFields[8]) {
    return std::vector<unsigned>(modFields, modFields + 8);
}

struct Change {
    const char* name;
    unsigned field;
    std::function<void(CALDB_COMPONENT*)> apply;
};

// One entry per head property with a bit: the change and the bit it sets.
std::vector<Change> head_changes() {
    return {
        {"DTSTART", CALPARSER_MOD_DTSTART, [](CALDB_COMPONENT* c) { c->tDtStart += 60; }},
        {"SEQUENCE", CALPARSER_MOD_SEQUENCE, [](CALDB_COMPONENT* c) { c->nSequence = 4; }},
        {"tAuxTime", CALPARSER_MOD_AUXTIME, [](CALDB_COMPONENT* c) { c->tAuxTime = 501; }},
        {"LAST-MODIFIED", CALPARSER_MOD_LASTMODIFIED,
         [](CALDB_COMPONENT* c) { c->tLastModified = 0; }},
        {"CREATED", CALPARSER_MOD_CREATED, [](CALDB_COMPONENT* c) { c->tCreated = 1; }},
        {"GEO lat", CALPARSER_MOD_GEOLAT, [](CALDB_COMPONENT* c) { c->nGeoLat = -37386013; }},
        {"GEO lon", CALPARSER_MOD_GEOLON, [](CALDB_COMPONENT* c) { c->nGeoLon = 0; }},
        {"SUMMARY", CALPARSER_MOD_SUMMARY,
         [](CALDB_COMPONENT* c) { set_text(&c->pSummary, "Team meeting moved"); }},
        {"UID", CALPARSER_MOD_UID, [](CALDB_COMPONENT* c) { set_text(&c->pUid, "uid-2"); }},
        {"DESCRIPTION", CALPARSER_MOD_DESCRIPTION,
         [](CALDB_COMPONENT* c) { set_text(&c->pDescription, nullptr); }},
        {"LOCATION", CALPARSER_MOD_LOCATION,
         [](CALDB_COMPONENT* c) { set_text(&c->pLocation, "Room 2"); }},
        {"URL", CALPARSER_MOD_URL, [](CALDB_COMPONENT* c) { set_text(&c->pUrl, ""); }},
        {"CLASS", CALPARSER_MOD_CLASS, [](CALDB_COMPONENT* c) { set_text(&c->pClass, "PRIVATE"); }},
        {"X-KVAL-ORGANIZER-EMAIL", CALPARSER_MOD_ORGANIZER_EMAIL,
         [](CALDB_COMPONENT* c) { set_text(&c->pOrganizerEmail, "other@example.com"); }},
        {"X-KVAL-CHARSET", CALPARSER_MOD_CHARSET,
         [](CALDB_COMPONENT* c) { set_text(&c->pCharset, "ISO-8859-1"); }},
        {"X-KVAL-LANGUAGE", CALPARSER_MOD_LANGUAGE,
         [](CALDB_COMPONENT* c) { set_text(&c->pLanguage, "fr"); }},
        {"X-KVAL-DTSTART-TZID", CALPARSER_MOD_DTSTART_TZID,
         [](CALDB_COMPONENT* c) { set_text(&c->pDtStartTzid, "US/Eastern"); }},
        {"ORGANIZER", CALPARSER_MOD_ORGANIZER,
         [](CALDB_COMPONENT* c) { set_text(&c->pOrganizer->pAddr, "mailto:other@example.com"); }},
        {"ATTENDEE", CALPARSER_MOD_ATTENDEES,
         [](CALDB_COMPONENT* c) {
             static_cast<CALDB_ATTENDEE*>(array_elementat(c->aAttendees, 1))->nPartStat = 3;
         }},
        {"VALARM", CALPARSER_MOD_ALARMS,
         [](CALDB_COMPONENT* c) {
             static_cast<CALDB_VALARM*>(array_elementat(c->aAlarms, 0))->tTrigger -= 60;
         }},
        {"RDATE", CALPARSER_MOD_RDATES, [](CALDB_COMPONENT* c) { set_list(&c->aRDates, {}); }},
        {"EXDATE", CALPARSER_MOD_EXDATES,
         [](CALDB_COMPONENT* c) { set_list(&c->aExDates, {"20260115T100000Z"}); }},
        {"RRULE", CALPARSER_MOD_RRULES,
         [](CALDB_COMPONENT* c) { set_list(&c->aRRules, {"FREQ=DAILY"}); }},
        {"EXRULE", CALPARSER_MOD_EXRULES,
         [](CALDB_COMPONENT* c) {
             set_list(&c->aExRules, {"FREQ=MONTHLY", "FREQ=YEARLY"});
         }},
        {"RELATED-TO", CALPARSER_MOD_RELATED_TO,
         [](CALDB_COMPONENT* c) { set_list(&c->aRelatedTo, {"uid-9"}); }},
        {"RESOURCES", CALPARSER_MOD_RESOURCES,
         [](CALDB_COMPONENT* c) { set_list(&c->aResources, {"BEAMER"}); }},
        {"COMMENT", CALPARSER_MOD_COMMENTS,
         [](CALDB_COMPONENT* c) { set_list(&c->aComments, {"no notes"}); }},
        {"CONTACT", CALPARSER_MOD_CONTACTS,
         [](CALDB_COMPONENT* c) { set_list(&c->aContacts, {"Jane"}); }},
        {"CATEGORIES", CALPARSER_MOD_CATEGORIES,
         [](CALDB_COMPONENT* c) {
             set_list(&c->aCategories, {"B", "A"});
         }},
        {"ATTACH", CALPARSER_MOD_ATTACHMENTS,
         [](CALDB_COMPONENT* c) { set_list(&c->aAttachments, {"http://example.com/b"}); }},
        {"X- lines", CALPARSER_MOD_XPROPS,
         [](CALDB_COMPONENT* c) { set_list(&c->aXProps, {"X-FOO:2"}); }},
        {"state only", CALPARSER_MOD_COMP_STATE,
         [](CALDB_COMPONENT* c) { c->nCompState = (2u << 16) | 0x40; }},
        {"method only", CALPARSER_MOD_COMP_STATE,
         [](CALDB_COMPONENT* c) { c->nCompState = (64u << 16) | 0x20; }},
    };
}

}  // namespace

TEST(CompareProperties, TextsIgnoreCaseAndTreatNullAsEmpty) {
    EXPECT_EQ(0, calparser_CompareStringProperty(nullptr, nullptr));
    EXPECT_EQ(0, calparser_CompareStringProperty(nullptr, ""));
    EXPECT_EQ(0, calparser_CompareStringProperty("", nullptr));
    EXPECT_EQ(0, calparser_CompareStringProperty("Team Meeting", "team MEETING"));
    EXPECT_EQ(1, calparser_CompareStringProperty(nullptr, "x"));
    EXPECT_EQ(1, calparser_CompareStringProperty("", "x"));
    EXPECT_EQ(1, calparser_CompareStringProperty("ab", "abc"));

    EXPECT_EQ(0, calparser_CompareDateTimeProperty(5, 5));
    EXPECT_EQ(1, calparser_CompareDateTimeProperty(0, -1));
    EXPECT_EQ(1, calparser_CompareIntegerProperty(1, 2));
    EXPECT_EQ(0, calparser_CompareIntegerProperty(-7, -7));
}

TEST(CompareProperties, TextListsCompareByPosition) {
    array_t* ab = texts({"A", "B"});
    array_t* abLower = texts({"a", "b"});
    array_t* ba = texts({"B", "A"});
    array_t* a = texts({"A"});
    array_t* empty = array_new();
    EXPECT_EQ(0, calparser_CompareStringPropertyArray(ab, abLower));
    EXPECT_EQ(1, calparser_CompareStringPropertyArray(ab, ba));
    EXPECT_EQ(1, calparser_CompareStringPropertyArray(ab, a));
    EXPECT_EQ(0, calparser_CompareStringPropertyArray(nullptr, empty));
    EXPECT_EQ(0, calparser_CompareStringPropertyArray(nullptr, nullptr));
    EXPECT_EQ(1, calparser_CompareStringPropertyArray(nullptr, a));
    for (array_t* list : {ab, abLower, ba, a}) {
        for (unsigned i = 0; i < list->count; i++) PL_strfree((char*)list->data[i]);
        array_delete(list);
    }
    array_delete(empty);
}

TEST(CompareProperties, OrganizerComparesOnlyItsAddress) {
    CALDB_ORGANIZER* a = caldb_NewOrganizer();
    CALDB_ORGANIZER* b = caldb_NewOrganizer();
    a->pAddr = PL_strdup("mailto:Boss@Example.com");
    b->pAddr = PL_strdup("MAILTO:boss@example.com");
    a->pCn = PL_strdup("Boss");
    b->pSentBy = PL_strdup("mailto:aide@example.com");
    EXPECT_EQ(0, calparser_CompareOrganizerProperty(a, b));
    EXPECT_EQ(0, calparser_CompareOrganizerProperty(nullptr, nullptr));
    EXPECT_EQ(1, calparser_CompareOrganizerProperty(a, nullptr));
    EXPECT_EQ(1, calparser_CompareOrganizerProperty(nullptr, b));
    set_text(&b->pAddr, "mailto:aide@example.com");
    EXPECT_EQ(1, calparser_CompareOrganizerProperty(a, b));
    caldb_FreeOrganizer(&a);
    caldb_FreeOrganizer(&b);
}

TEST(CompareProperties, AttendeeListsIgnoreOrderButNotStatusOrRsvp) {
    array_t* a = attendees({attendee("mailto:a@x.com", 2, 1), attendee("mailto:b@x.com", 1, 0)});
    array_t* b = attendees({attendee("mailto:B@X.COM", 1, 0), attendee("mailto:a@x.com", 2, 1)});
    EXPECT_EQ(0, calparser_CompareAttendeePropertyArray(a, b));

    CALDB_ATTENDEE* bA = static_cast<CALDB_ATTENDEE*>(array_elementat(b, 1));
    bA->bRsvp = 0;
    EXPECT_EQ(1, calparser_CompareAttendeePropertyArray(a, b));
    bA->bRsvp = 1;
    bA->nPartStat = 3;
    EXPECT_EQ(1, calparser_CompareAttendeePropertyArray(a, b));
    bA->nPartStat = 2;
    // Fields other than address, status and RSVP do not count.
    bA->pCn = PL_strdup("Someone");
    EXPECT_EQ(0, calparser_CompareAttendeePropertyArray(a, b));
    // An address missing from b differs; so does a different count.
    set_text(&bA->pAddr, "mailto:c@x.com");
    EXPECT_EQ(1, calparser_CompareAttendeePropertyArray(a, b));
    CALDB_ATTENDEE* last = static_cast<CALDB_ATTENDEE*>(array_removeat(b, 1));
    caldb_FreeAttendee(&last);
    EXPECT_EQ(1, calparser_CompareAttendeePropertyArray(a, b));

    // An address listed twice in a pairs twice with the same attendee of b.
    array_t* twice =
        attendees({attendee("mailto:a@x.com", 2, 1), attendee("mailto:a@x.com", 2, 1)});
    array_t* pair = attendees({attendee("mailto:a@x.com", 2, 1), attendee("mailto:z@x.com", 0, 0)});
    EXPECT_EQ(0, calparser_CompareAttendeePropertyArray(twice, pair));
    EXPECT_EQ(1, calparser_CompareAttendeePropertyArray(pair, twice));

    array_t* empty = array_new();
    EXPECT_EQ(0, calparser_CompareAttendeePropertyArray(nullptr, empty));
    EXPECT_EQ(1, calparser_CompareAttendeePropertyArray(nullptr, a));
    array_delete(empty);
    for (array_t* list : {a, b, twice, pair}) caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
}

TEST(CompareProperties, AlarmsCompareTheirOwnFieldsOnly) {
    CALDB_VALARM* a = alarm(1000);
    CALDB_VALARM* b = alarm(1000);
    a->aAttendees = texts({"mailto:a@x.com"});
    b->aAttendees = texts({"MAILTO:A@X.COM"});
    // Neither the word after REPEAT, the list after the attendees, the X-
    // lines nor the last word are compared.
    b->nAuxValue = 9;
    b->aAuxTexts = texts({"aux"});
    b->aXProps = texts({"X-A:1"});
    b->nAuxTail = 2;
    EXPECT_EQ(0, calparser_CompareAlarm(a, b));

    const std::vector<std::function<void(CALDB_VALARM*)>> changes = {
        [](CALDB_VALARM* x) { x->tTrigger = 1001; },
        [](CALDB_VALARM* x) { x->nDuration = 300; },
        [](CALDB_VALARM* x) { x->nAction = CALDB_ALARM_AUDIO; },
        [](CALDB_VALARM* x) { x->nRepeat = 2; },
        [](CALDB_VALARM* x) { set_text(&x->pAuxText, "text before summary"); },
        [](CALDB_VALARM* x) { set_text(&x->pSummary, "Other"); },
        [](CALDB_VALARM* x) { set_text(&x->pDescription, "Now"); },
        [](CALDB_VALARM* x) { set_list(&x->aAttendees, {"mailto:b@x.com"}); },
    };
    for (size_t i = 0; i < changes.size(); i++) {
        CALDB_VALARM* changed = alarm(1000);
        changed->aAttendees = texts({"mailto:a@x.com"});
        changes[i](changed);
        EXPECT_EQ(1, calparser_CompareAlarm(a, changed)) << "change " << i;
        caldb_FreeAlarm(&changed);
    }

    array_t* listA = array_new();
    array_t* listB = array_new();
    array_append(listA, a);
    EXPECT_EQ(1, calparser_CompareAlarmArray(listA, listB));
    array_append(listB, b);
    EXPECT_EQ(0, calparser_CompareAlarmArray(listA, listB));
    EXPECT_EQ(0, calparser_CompareAlarm(nullptr, nullptr));
    EXPECT_EQ(1, calparser_CompareAlarm(a, nullptr));
    caldb_FreeList(&listA, CALDB_LIST_ALARMS);
    caldb_FreeList(&listB, CALDB_LIST_ALARMS);
}

TEST(CompareComponents, MinorChangesAreAlarmsXLinesAndSequence) {
    CALDB_VEVENT* a = base_event();
    CALDB_VEVENT* b = base_event();
    EXPECT_EQ(0, calparser_CompareEvent(a, b));
    EXPECT_EQ(0, calparser_CompareComponent(head(a), head(b)));

    b->nSequence = 4;
    EXPECT_EQ(2, calparser_CompareEvent(a, b));
    b->nSequence = 3;
    array_append(b->aAlarms, alarm(999400));
    EXPECT_EQ(2, calparser_CompareEvent(a, b));
    CALDB_VALARM* added = static_cast<CALDB_VALARM*>(array_removeat(b->aAlarms, 1));
    caldb_FreeAlarm(&added);
    set_list(&b->aXProps, {"X-FOO:1", "X-BAR:2"});
    EXPECT_EQ(2, calparser_CompareEvent(a, b));
    // A major change outranks the minor one.
    b->tDtStart += 3600;
    EXPECT_EQ(1, calparser_CompareEvent(a, b));
    EXPECT_EQ(1, calparser_CompareComponentHelper(head(a), head(b)));
    caldb_FreeEvent(&a);
    caldb_FreeEvent(&b);
}

TEST(CompareComponents, EveryHeadChangeButTheMinorOnesIsMajor) {
    for (const Change& change : head_changes()) {
        CALDB_VEVENT* a = base_event();
        CALDB_VEVENT* b = base_event();
        change.apply(head(b));
        bool minor = change.field == CALPARSER_MOD_SEQUENCE ||
                     change.field == CALPARSER_MOD_ALARMS || change.field == CALPARSER_MOD_XPROPS;
        // The comparison reads only the method half of the state: a state
        // change alone is no change; a's method 2 (REQUEST) must be matched.
        int expected = minor ? 2 : 1;
        if (strcmp(change.name, "state only") == 0) expected = 0;
        EXPECT_EQ(expected, calparser_CompareComponentHelper(head(a), head(b))) << change.name;
        EXPECT_EQ(expected, calparser_CompareEvent(a, b)) << change.name;
        caldb_FreeEvent(&a);
        caldb_FreeEvent(&b);
    }
}

TEST(CompareComponents, OnlyPlainMethodsMustMatch) {
    CALDB_VEVENT* a = base_event();
    CALDB_VEVENT* b = base_event();
    // a's method is COUNTER: b's method is not looked at, nor is the state.
    a->nCompState = (64u << 16) | 0x20;
    b->nCompState = (2u << 16) | 0x40;
    EXPECT_EQ(0, calparser_CompareEvent(a, b));
    a->nCompState = 0x20;  // no method at all
    EXPECT_EQ(0, calparser_CompareEvent(a, b));
    for (unsigned method : {1u, 2u, 4u, 8u}) {
        a->nCompState = (method << 16) | 0x20;
        b->nCompState = (method << 16) | 0x100;
        EXPECT_EQ(0, calparser_CompareEvent(a, b)) << method;
        b->nCompState = ((method == 8 ? 4u : 8u) << 16) | 0x20;
        EXPECT_EQ(1, calparser_CompareEvent(a, b)) << method;
    }
    caldb_FreeEvent(&a);
    caldb_FreeEvent(&b);
}

TEST(CompareComponents, KindOwnFieldsAreMajor) {
    CALDB_VEVENT* a = base_event();
    CALDB_VEVENT* b = base_event();
    b->tDtEnd += 1;
    EXPECT_EQ(1, calparser_CompareEvent(a, b));
    b->tDtEnd = a->tDtEnd;
    b->bTransparent = 1;
    EXPECT_EQ(1, calparser_CompareEvent(a, b));
    b->bTransparent = 0;
    b->nPriority = 1;
    EXPECT_EQ(1, calparser_CompareEvent(a, b));
    b->nPriority = a->nPriority;
    set_text(&b->pEventAux, "AUX");  // case is ignored
    EXPECT_EQ(0, calparser_CompareEvent(a, b));
    set_text(&b->pEventAux, "other");
    EXPECT_EQ(1, calparser_CompareEvent(a, b));

    CALDB_VTODO* t1 = base_todo();
    CALDB_VTODO* t2 = base_todo();
    EXPECT_EQ(0, calparser_CompareTodo(t1, t2));
    const std::vector<std::function<void(CALDB_VTODO*)>> changes = {
        [](CALDB_VTODO* t) { t->tDue = 0; },
        [](CALDB_VTODO* t) { t->tCompleted = 1002001; },
        [](CALDB_VTODO* t) { t->nStatus = CALDB_STATUS_COMPLETED; },
        [](CALDB_VTODO* t) { t->bDtEndIsDate = 1; },
        [](CALDB_VTODO* t) { t->nPercentComplete = 100; },
        [](CALDB_VTODO* t) { set_text(&t->pDueTzid, "Asia/Tokyo"); },
    };
    for (size_t i = 0; i < changes.size(); i++) {
        CALDB_VTODO* changed = base_todo();
        changes[i](changed);
        EXPECT_EQ(1, calparser_CompareTodo(t1, changed)) << "change " << i;
        EXPECT_EQ(1, calparser_CompareComponent(head(t1), head(changed))) << "change " << i;
        caldb_FreeToDo(&changed);
    }
    t2->nSequence = 9;
    EXPECT_EQ(2, calparser_CompareTodo(t1, t2));

    // Different kinds differ; an expanded master (10) compares as an event.
    EXPECT_EQ(1, calparser_CompareComponent(head(a), head(t1)));
    a->nType = b->nType = CALDB_KIND_EXPANDED_EVENT;
    EXPECT_EQ(1, calparser_CompareComponent(head(a), head(b)));  // pEventAux still differs
    EXPECT_EQ(0, calparser_CompareComponent(nullptr, nullptr));
    EXPECT_EQ(1, calparser_CompareComponent(head(a), nullptr));
    EXPECT_EQ(1, calparser_CompareEvent(nullptr, b));
    caldb_FreeEvent(&a);
    caldb_FreeEvent(&b);
    caldb_FreeToDo(&t1);
    caldb_FreeToDo(&t2);
}

TEST(ModFields, EachPropertySetsExactlyItsBit) {
    std::vector<Change> changes = head_changes();
    changes.push_back({"DTEND", CALPARSER_MOD_DTEND_DUE,
                       [](CALDB_COMPONENT* c) { ((CALDB_VEVENT*)c)->tDtEnd += 60; }});
    changes.push_back({"pEventAux", CALPARSER_MOD_EVENT_AUX,
                       [](CALDB_COMPONENT* c) { set_text(&((CALDB_VEVENT*)c)->pEventAux, "x"); }});
    changes.push_back({"TRANSP", CALPARSER_MOD_TRANSP,
                       [](CALDB_COMPONENT* c) { ((CALDB_VEVENT*)c)->bTransparent = 1; }});
    for (const Change& change : changes) {
        CALDB_VEVENT* before = base_event();
        CALDB_VEVENT* after = base_event();
        change.apply(head(after));
        EXPECT_EQ(0, calparser_getComponentModFields(head(before), head(after), 0));
        EXPECT_EQ(only(change.field), bytes_of(after->modFields)) << change.name;
        EXPECT_EQ(std::vector<unsigned>(8, 0), bytes_of(before->modFields)) << change.name;
        caldb_FreeEvent(&before);
        caldb_FreeEvent(&after);
    }
}

TEST(ModFields, EachTodoPropertySetsExactlyItsBit) {
    const std::vector<std::pair<unsigned, std::function<void(CALDB_VTODO*)>>> changes = {
        {CALPARSER_MOD_DTEND_DUE, [](CALDB_VTODO* t) { t->tDue += 60; }},
        {CALPARSER_MOD_COMPLETED, [](CALDB_VTODO* t) { t->tCompleted = 0; }},
        {CALPARSER_MOD_DUE_TZID, [](CALDB_VTODO* t) { set_text(&t->pDueTzid, "UTC"); }},
        {CALPARSER_MOD_PERCENT_COMPLETE, [](CALDB_VTODO* t) { t->nPercentComplete = 41; }},
        {CALPARSER_MOD_SUMMARY, [](CALDB_VTODO* t) { set_text(&t->pSummary, "Write report"); }},
    };
    for (const auto& change : changes) {
        CALDB_VTODO* before = base_todo();
        CALDB_VTODO* after = base_todo();
        change.second(after);
        EXPECT_EQ(0, calparser_getComponentModFields(head(before), head(after), 1));
        EXPECT_EQ(only(change.first), bytes_of(after->modFields)) << std::hex << change.first;
        caldb_FreeToDo(&before);
        caldb_FreeToDo(&after);
    }
}

TEST(ModFields, UnchangedOrUnmarkedFieldsSetNoBit) {
    CALDB_VEVENT* before = base_event();
    CALDB_VEVENT* after = base_event();
    // Case-only text changes, NULL against empty, the same attendees in
    // another order, RECURRENCE-ID and nAuxValue set nothing.
    set_text(&after->pSummary, "TEAM MEETING");
    set_text(&before->pUrl, nullptr);
    set_text(&after->pUrl, "");
    array_t* reordered =
        attendees({attendee("mailto:b@example.com", 1, 0), attendee("mailto:a@example.com", 2, 1)});
    caldb_FreeList(&after->aAttendees, CALDB_LIST_ATTENDEES);
    after->aAttendees = reordered;
    after->tRecurrenceId += 86400;
    after->nAuxValue = 99;
    EXPECT_EQ(0, calparser_getComponentModFields(head(before), head(after), 0));
    EXPECT_EQ(std::vector<unsigned>(8, 0), bytes_of(after->modFields));
    // ... while the comparison does see the RECURRENCE-ID.
    EXPECT_EQ(1, calparser_CompareEvent(before, after));

    // Bits already set stay set.
    memset(after->modFields, 0xFF, 8);
    EXPECT_EQ(0, calparser_getComponentModFields(head(before), head(after), 0));
    EXPECT_EQ(std::vector<unsigned>(8, 0xFF), bytes_of(after->modFields));
    caldb_FreeEvent(&before);
    caldb_FreeEvent(&after);
}

TEST(ModFields, SeveralChangesAndNullRecords) {
    CALDB_VEVENT* before = base_event();
    CALDB_VEVENT* after = base_event();
    after->tDtStart += 3600;
    after->tDtEnd += 3600;
    after->nSequence++;
    set_text(&after->pLocation, "Room 9");
    EXPECT_EQ(0, calparser_getComponentModFields(head(before), head(after), 10));
    std::vector<unsigned> expected = {0x80 | 0x20, 0x08, 0, 0, 0, 0, 0x80, 0};
    EXPECT_EQ(expected, bytes_of(after->modFields));

    EXPECT_EQ(0, calparser_getComponentModFields(nullptr, nullptr, 0));
    EXPECT_EQ(1, calparser_getComponentModFields(head(before), nullptr, 0));
    EXPECT_EQ(1, calparser_getComponentModFields(nullptr, head(after), 0));
    EXPECT_EQ(1, calparser_getComponentModFieldsHelper(head(before), nullptr));
    caldb_FreeEvent(&before);
    caldb_FreeEvent(&after);
}

TEST(ModFields, KindArgumentChoosesTheTail) {
    // The caller's kind decides, not the records' nType.
    CALDB_VTODO* before = base_todo();
    CALDB_VTODO* after = base_todo();
    before->nType = after->nType = CALDB_KIND_EVENT;
    after->tCompleted = 5;
    after->nPercentComplete = 100;
    EXPECT_EQ(0, calparser_getComponentModFields(head(before), head(after), 1));
    std::vector<unsigned> expected = {0, 0, 0, 0, 0, 0, 0x40 | 0x10, 0};
    EXPECT_EQ(expected, bytes_of(after->modFields));
    caldb_FreeToDo(&before);
    caldb_FreeToDo(&after);
}
