// Records: construction, flag layout, deep copy and destruction. The
// destruction tests free fully populated records for the leak checkers.
#include <gtest/gtest.h>

#include "tests/support/text_lists.h"
#include "tests/heap_failure.h"

#include <stddef.h>
#include <string.h>

#include <plstr.h>
#include <unicode/simpletz.h>
#include <unicode/unistr.h>

#include "public/db/caldb.h"
#include "public/db/caldb_timezone.h"
#include "public/util/array.h"

namespace {

const char* text_at(const array_t* list, unsigned i) {
    return static_cast<const char*>(array_elementat(list, i));
}

array_t* times(std::initializer_list<time_t> items) {
    array_t* list = array_new();
    for (time_t t : items) {
        time_t* value = static_cast<time_t*>(malloc(sizeof(time_t)));
        *value = t;
        array_append(list, value);
    }
    return list;
}

bool all_zero(const void* p, size_t n) {
    const unsigned char* bytes = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; i++)
        if (bytes[i]) return false;
    return true;
}

CALDB_ATTENDEE* full_attendee(const char* addr) {
    CALDB_ATTENDEE* a = caldb_NewAttendee();
    a->pAddr = PL_strdup(addr);
    a->pCalid = PL_strdup("jdoe");
    a->pCuType = PL_strdup("INDIVIDUAL");
    a->aMembers = texts({"mailto:team@example.com"});
    a->aDelegatedTo = texts({"mailto:a@example.com", "mailto:b@example.com"});
    a->aDelegatedFrom = texts({"mailto:c@example.com"});
    a->pRole = PL_strdup("REQ-PARTICIPANT");
    a->pCn = PL_strdup("John Doe");
    a->pDir = PL_strdup("ldap://example.com/jdoe");
    a->pSentBy = PL_strdup("mailto:boss@example.com");
    a->pLanguage = PL_strdup("en");
    a->pAuxText = PL_strdup("aux");
    a->nAuxValue = 7;
    a->nPartStat = 9;
    a->pPartStatName = PL_strdup("X-MAYBE");
    a->nSentStatus = 2;
    for (int i = 0; i < 8; i++) a->nAuxWords[i] = 100 + i;
    a->bRsvp = 1;
    a->bAuxFlag = 1;
    return a;
}

CALDB_VALARM* full_alarm() {
    CALDB_VALARM* alarm = caldb_NewAlarm();
    alarm->tTrigger = 1000;
    alarm->pAuxText = PL_strdup("aux");
    alarm->pSummary = PL_strdup("Wake up");
    alarm->pDescription = PL_strdup("Now");
    alarm->aAttendees = texts({"mailto:a@example.com"});
    alarm->aAuxTexts = texts({"x"});
    alarm->aXProps = texts({"X-A:1", "X-B:2"});
    return alarm;
}

// Every text, list and sub-record of the shared head is set.
template <typename Record>
void fill_component(Record* c) {
    c->pSummary = PL_strdup("Meeting");
    c->pUid = PL_strdup("uid-1");
    c->pDescription = PL_strdup("d");
    c->pLocation = PL_strdup("l");
    c->pUrl = PL_strdup("http://example.com");
    c->pClass = PL_strdup("PUBLIC");
    c->pOrganizerEmail = PL_strdup("boss@example.com");
    c->pCharset = PL_strdup("UTF-8");
    c->pLanguage = PL_strdup("en");
    c->pDtStartTzid = PL_strdup("US/Eastern");
    c->pOrganizer = caldb_NewOrganizer();
    c->pOrganizer->pAddr = PL_strdup("mailto:boss@example.com");
    c->pOrganizer->pOrganizerUid = PL_strdup("boss");
    c->pOrganizer->pSentByUid = PL_strdup("sec");
    c->pOrganizer->pSentBy = PL_strdup("mailto:sec@example.com");
    c->pOrganizer->pLanguage = PL_strdup("en");
    c->pOrganizer->pCn = PL_strdup("Boss");
    c->pOrganizer->pDir = PL_strdup("ldap://x");
    c->aAttendees = array_new();
    array_append(c->aAttendees, full_attendee("mailto:a@example.com"));
    array_append(c->aAttendees, full_attendee("mailto:b@example.com"));
    c->aAlarms = array_new();
    array_append(c->aAlarms, full_alarm());
    c->aRDates = texts({"20240101T000000Z"});
    c->aExDates = texts({"20240102T000000Z"});
    c->aRRules = texts({"FREQ=DAILY"});
    c->aExRules = texts({"FREQ=WEEKLY"});
    c->aRelatedTo = texts({"uid-0"});
    c->aResources = texts({"ROOM"});
    c->aComments = texts({"c"});
    c->aContacts = texts({"me"});
    c->aCategories = texts({"A", "B"});
    c->aAttachments = texts({"http://example.com/a"});
    c->aXProps = texts({"X-KVAL-ORIGINAL-DTSTART:20240101T000000Z"});
    c->aRecurRDateList = texts({"r"});
    c->aRecurExDateList = texts({"e"});
    c->aAttendeeRDateList = texts({"ar"});
    c->aAttendeeExDateList = texts({"ae"});
    c->pRecurUntil = PL_strdup("20250101T000000Z");
    c->pLinkCalid = PL_strdup("link");
    c->pStateAddr = PL_strdup("mailto:a@example.com");
}

// The whole nFlags word after setting one bit field of a zeroed copy.
template <typename Set>
uint32_t event_flags_with(Set set) {
    CALDB_VEVENT ev;
    memset(&ev, 0, sizeof ev);
    set(ev);
    return ev.nFlags;
}

}  // namespace

TEST(DbRecords, ComponentsStartZeroedWithNoStateGiven) {
    CALDB_VEVENT* ev = caldb_NewEvent();
    ASSERT_NE(nullptr, ev);
    EXPECT_EQ(1u, ev->nCompState);
    ev->nCompState = 0;
    EXPECT_TRUE(all_zero(ev, sizeof *ev));  // nType 0 included
    caldb_FreeEvent(&ev);

    CALDB_VTODO* todo = caldb_NewToDo();
    ASSERT_NE(nullptr, todo);
    EXPECT_EQ(1u, todo->nCompState);
    EXPECT_EQ(1, todo->nType);
    todo->nCompState = 0;
    todo->nType = 0;
    EXPECT_TRUE(all_zero(todo, sizeof *todo));
    caldb_FreeToDo(&todo);

    // The kind given becomes nType; an expanded master keeps its own kind.
    for (int kind : {0, 1, 10, 11}) {
        void* c = caldb_NewComponent(kind);
        ASSERT_NE(nullptr, c) << kind;
        EXPECT_EQ(kind, static_cast<CALDB_COMPONENT*>(c)->nType);
        EXPECT_EQ(1u, static_cast<CALDB_COMPONENT*>(c)->nCompState);
        caldb_FreeComponent(&c);
        EXPECT_EQ(nullptr, c);
    }
    EXPECT_EQ(nullptr, caldb_NewComponent(2));
    EXPECT_EQ(nullptr, caldb_NewComponent(-1));

    CALDB_ATTENDEE* att = caldb_NewAttendee();
    ASSERT_NE(nullptr, att);
    EXPECT_TRUE(all_zero(att, sizeof *att));
    caldb_FreeAttendee(&att);
}

TEST(DbRecords, FlagBitsSitWhereTheWordIsReadAsANumber) {
    EXPECT_EQ(0xF0000000u, event_flags_with([](CALDB_VEVENT& e) { e.nPriority = 15; }));
    EXPECT_EQ(1u << 27, event_flags_with([](CALDB_VEVENT& e) { e.bDtStartIsDate = 1; }));
    EXPECT_EQ(0x3Fu << 21, event_flags_with([](CALDB_VEVENT& e) { e.nStatus = 63; }));
    EXPECT_EQ(5u << 21, event_flags_with([](CALDB_VEVENT& e) { e.nStatus = CALDB_STATUS_IN_PROCESS; }));
    EXPECT_EQ(1u << 17, event_flags_with([](CALDB_VEVENT& e) { e.bHasLinkCalid = 1; }));
    EXPECT_EQ(1u << 16, event_flags_with([](CALDB_VEVENT& e) { e.bExpandedMaster = 1; }));
    EXPECT_EQ(1u << 7, event_flags_with([](CALDB_VEVENT& e) { e.bDtEndIsDate = 1; }));
    EXPECT_EQ(1u << 6, event_flags_with([](CALDB_VEVENT& e) { e.bTransparent = 1; }));
    CALDB_VTODO todo;
    memset(&todo, 0, sizeof todo);
    todo.nPriority = 1;  // the to-do shares the layout
    EXPECT_EQ(1u << 28, todo.nFlags);
}

TEST(DbRecords, ModFieldsAreEightBytesAfterTheFlagWord) {
    CALDB_VEVENT ev;
    memset(&ev, 0, sizeof ev);
    ev.modFields[0] = 0x80;  // DTSTART changed
    ev.modFields[6] = 0x80;  // DTEND changed
    const unsigned char* raw = reinterpret_cast<const unsigned char*>(&ev);
    EXPECT_EQ(0x80, raw[4]);
    EXPECT_EQ(0x80, raw[10]);
    EXPECT_EQ(8u, sizeof ev.modFields);
    EXPECT_EQ(0u, ev.nFlags);
}

TEST(DbRecords, CalPropsAccessBitsShareOneWord) {
    CALDB_CALPROPS props;
    memset(&props, 0, sizeof props);
    props.nRead = 0xF;
    EXPECT_EQ(0xFu, props.nFlags);
    props.nFlags = 0;
    props.nWrite = 0xF;
    EXPECT_EQ(0xF0u, props.nFlags);
    props.nFlags = 0;
    props.bResource = 1;
    EXPECT_EQ(1u << 12, props.nFlags);
    EXPECT_EQ(8u, offsetof(CALDB_CALPROPS, nFlags));  // two times lead the record
}

TEST(DbRecords, AttendeeCopyIsDeepAndSurvivesItsSource) {
    CALDB_ATTENDEE* src = full_attendee("mailto:jdoe@example.com");
    CALDB_ATTENDEE* copy = nullptr;
    ASSERT_EQ(0, caldb_copyConstructorAttendee(src, &copy));
    ASSERT_NE(nullptr, copy);
    EXPECT_NE(src->pAddr, copy->pAddr);  // deep, not shared
    EXPECT_NE(src->aMembers, copy->aMembers);
    caldb_FreeAttendee(&src);

    // Every field: a field the copy forgets is the fault this catches.
    EXPECT_STREQ("mailto:jdoe@example.com", copy->pAddr);
    EXPECT_STREQ("jdoe", copy->pCalid);
    EXPECT_STREQ("INDIVIDUAL", copy->pCuType);
    EXPECT_EQ(1u, copy->aMembers->count);
    ASSERT_EQ(2u, copy->aDelegatedTo->count);
    EXPECT_STREQ("mailto:b@example.com", text_at(copy->aDelegatedTo, 1));
    EXPECT_STREQ("mailto:c@example.com", text_at(copy->aDelegatedFrom, 0));
    EXPECT_STREQ("REQ-PARTICIPANT", copy->pRole);
    EXPECT_STREQ("John Doe", copy->pCn);
    EXPECT_STREQ("ldap://example.com/jdoe", copy->pDir);
    EXPECT_STREQ("mailto:boss@example.com", copy->pSentBy);
    EXPECT_STREQ("en", copy->pLanguage);
    EXPECT_STREQ("aux", copy->pAuxText);
    EXPECT_STREQ("X-MAYBE", copy->pPartStatName);
    EXPECT_EQ(7, copy->nAuxValue);
    EXPECT_EQ(9, copy->nPartStat);
    EXPECT_EQ(2, copy->nSentStatus);
    EXPECT_EQ(107, copy->nAuxWords[7]);
    EXPECT_EQ(1u, copy->bRsvp);
    EXPECT_EQ(1u, copy->bAuxFlag);
    caldb_FreeAttendee(&copy);
}

TEST(DbRecords, AttendeeCopyKeepsAbsentFieldsAbsent) {
    CALDB_ATTENDEE* src = caldb_NewAttendee();
    src->aMembers = array_new();  // present but empty stays present
    CALDB_ATTENDEE* copy = nullptr;
    ASSERT_EQ(0, caldb_copyConstructorAttendee(src, &copy));
    EXPECT_EQ(nullptr, copy->pAddr);
    EXPECT_EQ(nullptr, copy->aDelegatedTo);
    ASSERT_NE(nullptr, copy->aMembers);
    EXPECT_EQ(0u, copy->aMembers->count);

    EXPECT_EQ(1, caldb_copyConstructorAttendee(nullptr, &copy));
    EXPECT_EQ(1, caldb_copyConstructorAttendee(src, nullptr));
    caldb_FreeAttendee(&src);
    caldb_FreeAttendee(&copy);
}

TEST(DbRecords, FreeingAcceptsNullAtEveryLevel) {
    EXPECT_EQ(0, caldb_FreeEvent(nullptr));
    EXPECT_EQ(0, caldb_FreeToDo(nullptr));
    EXPECT_EQ(0, caldb_FreeComponent(nullptr));
    EXPECT_EQ(0, caldb_FreeAttendee(nullptr));
    EXPECT_EQ(0, caldb_FreeOrganizer(nullptr));
    EXPECT_EQ(0, caldb_FreeAlarm(nullptr));
    EXPECT_EQ(0, caldb_FreeList(nullptr, CALDB_LIST_ALARMS));
    EXPECT_EQ(0, CAL_VCOMPONENT_FREE(nullptr));
    EXPECT_EQ(0, calparser_FreeCalVCompList(nullptr));
    EXPECT_EQ(0, CAL_VZONE_FREE(nullptr));
    EXPECT_EQ(0, CAL_VTIMEZONE_FREE(nullptr));
    EXPECT_EQ(0, CAL_VTIMEZONE_FreeCalVTimeZoneList(nullptr));

    void* comp = nullptr;
    array_t* list = nullptr;
    EXPECT_EQ(0, caldb_FreeComponent(&comp));
    EXPECT_EQ(0, caldb_FreeList(&list, CALDB_LIST_ATTENDEES));

    // Records whose parts are missing: a wrapper without component, a zone
    // without stored part, a sub-zone without stored record, lists holding NULL.
    CAL_VCOMPONENT* wrapper = static_cast<CAL_VCOMPONENT*>(calloc(1, sizeof(CAL_VCOMPONENT)));
    EXPECT_EQ(0, CAL_VCOMPONENT_FREE(&wrapper));
    EXPECT_EQ(nullptr, wrapper);

    CAL_VTIMEZONE* tz = CAL_VTIMEZONE_NEW();
    free(tz->pDbTimeZone);
    tz->pDbTimeZone = nullptr;
    tz->pStandard = CAL_VZONE_NEW();
    free(tz->pStandard->pDbZone);
    tz->pStandard->pDbZone = nullptr;
    EXPECT_EQ(0, CAL_VTIMEZONE_FREE(&tz));
    EXPECT_EQ(nullptr, tz);

    CALDB_VEVENT* ev = caldb_NewEvent();
    ev->aAttendees = array_new();
    array_append(ev->aAttendees, nullptr);
    ev->aAlarms = array_new();
    array_append(ev->aAlarms, nullptr);
    ev->aCategories = array_new();
    array_append(ev->aCategories, nullptr);
    EXPECT_EQ(0, caldb_FreeEvent(&ev));
    EXPECT_EQ(nullptr, ev);
}

TEST(DbRecords, FullyPopulatedComponentsFreeEverythingTheyOwn) {
    CALDB_VEVENT* ev = caldb_NewEvent();
    fill_component(ev);
    ev->pEventAux = PL_strdup("aux");
    EXPECT_EQ(0, caldb_FreeEvent(&ev));
    EXPECT_EQ(nullptr, ev);

    CALDB_VTODO* todo = caldb_NewToDo();
    fill_component(todo);
    todo->pDueTzid = PL_strdup("Europe/Paris");
    void* comp = todo;
    EXPECT_EQ(0, caldb_FreeComponent(&comp));  // nType 1: freed as a to-do
    EXPECT_EQ(nullptr, comp);

    // An expanded to-do master (nType 11) still owns its to-do tail.
    comp = caldb_NewComponent(CALDB_KIND_EXPANDED_TODO);
    static_cast<CALDB_VTODO*>(comp)->pDueTzid = PL_strdup("UTC");
    EXPECT_EQ(0, caldb_FreeComponent(&comp));

    CAL_VCOMPONENT* wrapper = CAL_VCOMPONENT_NEW(CALDB_KIND_EVENT);
    ASSERT_NE(nullptr, wrapper);
    EXPECT_EQ(0, wrapper->nType);
    fill_component(static_cast<CALDB_VEVENT*>(wrapper->pComponent));
    EXPECT_EQ(0, CAL_VCOMPONENT_FREE(&wrapper));
    EXPECT_EQ(nullptr, wrapper);
}

TEST(DbRecords, ListFreesEmptyOrDestroyAsTheirKindSays) {
    // Wrapper and zone lists are emptied and left for array_delete.
    array_t* comps = array_new();
    array_append(comps, CAL_VCOMPONENT_NEW(CALDB_KIND_EVENT));
    array_append(comps, CAL_VCOMPONENT_NEW(CALDB_KIND_TODO));
    array_append(comps, nullptr);
    EXPECT_EQ(0, calparser_FreeCalVCompList(comps));
    EXPECT_EQ(0u, comps->count);
    array_delete(comps);

    array_t* zones = array_new();
    array_append(zones, CAL_VTIMEZONE_NEW());
    array_append(zones, CAL_VTIMEZONE_NEW());
    EXPECT_EQ(0, CAL_VTIMEZONE_FreeCalVTimeZoneList(zones));
    EXPECT_EQ(0u, zones->count);
    array_delete(zones);

    // Record lists are destroyed with their records.
    array_t* alarms = array_new();
    array_append(alarms, full_alarm());
    array_append(alarms, full_alarm());
    EXPECT_EQ(0, caldb_FreeList(&alarms, CALDB_LIST_ALARMS));
    EXPECT_EQ(nullptr, alarms);

    array_t* attendees = array_new();
    array_append(attendees, full_attendee("mailto:a@example.com"));
    EXPECT_EQ(0, caldb_FreeList(&attendees, CALDB_LIST_ATTENDEES));
    EXPECT_EQ(nullptr, attendees);

    // An unknown kind cannot say what the elements are: nothing is touched.
    array_t* unknown = array_new();
    array_append(unknown, full_alarm());
    EXPECT_EQ(1, caldb_FreeList(&unknown, 4));
    ASSERT_NE(nullptr, unknown);
    EXPECT_EQ(1u, unknown->count);
    EXPECT_EQ(0, caldb_FreeList(&unknown, CALDB_LIST_ALARMS));
}

TEST(DbRecords, CompStateHalvesHaveNames) {
    EXPECT_STREQ("REQUEST", caldb_GetCompStateMethodString(0x20008));
    EXPECT_STREQ("NEEDS-ACTION", caldb_GetCompStateStateString(0x20008));
    EXPECT_STREQ("PUBLISH", caldb_GetCompStateMethodString(0x10004));
    EXPECT_STREQ("NONE", caldb_GetCompStateStateString(0x10004));
    EXPECT_STREQ("REPLY", caldb_GetCompStateMethodString(0x40020));
    EXPECT_STREQ("ACCEPTED", caldb_GetCompStateStateString(0x40020));
    EXPECT_STREQ("CANCEL", caldb_GetCompStateMethodString(0x80040));
    EXPECT_STREQ("DECLINED", caldb_GetCompStateStateString(0x80040));
    EXPECT_STREQ("COUNTER", caldb_GetCompStateMethodString(0x400100));
    EXPECT_STREQ("TENTATIVE", caldb_GetCompStateStateString(0x400100));
    // The fresh value 1 carries no method, and its state bit names nothing.
    EXPECT_STREQ("UNKNOWN", caldb_GetCompStateMethodString(1));
    EXPECT_STREQ("UNKNOWN", caldb_GetCompStateStateString(1));
    EXPECT_STREQ("UNKNOWN", caldb_GetCompStateMethodString(0x60008));  // two method bits
    EXPECT_STREQ("UNKNOWN", caldb_GetCompStateStateString(0x20028));   // two state bits
}

TEST(DbRecords, NewZonesComeWithTheirStoredPartsAndNoRule) {
    CAL_VZONE* sub = CAL_VZONE_NEW();
    ASSERT_TRUE(sub && sub->pDbZone);
    EXPECT_EQ(-1, sub->nMonth);
    EXPECT_EQ(-1, sub->nDayOfWeek);
    EXPECT_EQ(0, sub->nWeek);
    EXPECT_TRUE(all_zero(sub->pDbZone, sizeof *sub->pDbZone));
    CAL_VZONE_FREE(&sub);

    CAL_VTIMEZONE* tz = CAL_VTIMEZONE_NEW();
    ASSERT_TRUE(tz && tz->pDbTimeZone);
    EXPECT_TRUE(all_zero(tz->pDbTimeZone, sizeof *tz->pDbTimeZone));
    EXPECT_TRUE(!tz->pDaylight && !tz->pStandard && !tz->pIcuZone && !tz->aAliases);
    CAL_VTIMEZONE_FREE(&tz);
}

TEST(DbRecords, DestroyingAZoneDestroysEverythingItHolds) {
    CAL_VTIMEZONE* tz = CAL_VTIMEZONE_NEW();
    tz->pDbTimeZone->pTzid = PL_strdup("US/Eastern");
    tz->pDbTimeZone->pTzUrl = PL_strdup("http://tz.example.com/US-Eastern");
    tz->pDbTimeZone->aXProps = texts({"X-LIC-LOCATION:America/New_York"});
    for (CAL_VZONE** part : {&tz->pStandard, &tz->pDaylight}) {
        *part = CAL_VZONE_NEW();
        CALDB_VZONE* db = (*part)->pDbZone;
        db->aRDates = times({1000, 2000});
        db->aRRules = texts({"FREQ=YEARLY;BYMONTH=11;BYDAY=1SU"});
        db->aTzNames = texts({"EST"});
        db->aComments = texts({"c"});
        db->aXProps = texts({"X-A:1"});
    }
    tz->pIcuZone = new icu::SimpleTimeZone(-5 * 3600 * 1000, icu::UnicodeString("US/Eastern"));
    tz->aAliases = texts({"America/New_York", "EST5EDT"});
    tz->aTzCross = times({636188400, 657352800});
    EXPECT_EQ(0, CAL_VTIMEZONE_FREE(&tz));
    EXPECT_EQ(nullptr, tz);
}

TEST(DbRecords, AllocationFailuresLeaveNothingBehind) {
    if (!HEAP_FAILURE_HOOK) GTEST_SKIP() << "the sanitizer owns the heap";

    // At least the record, its 10 texts and the 4 texts of its 3 lists; how
    // many blocks a list itself takes is the array's business.
    CALDB_ATTENDEE* src = full_attendee("mailto:jdoe@example.com");
    CALDB_ATTENDEE* copy = nullptr;
    int needed = count_failure_points([&] {
        int rc = caldb_copyConstructorAttendee(src, &copy);
        EXPECT_TRUE(rc == 0 || (rc == 3 && copy == nullptr)) << rc;
        return rc == 0;
    });
    EXPECT_GE(needed, 15);
    caldb_FreeAttendee(&copy);
    caldb_FreeAttendee(&src);

    // Two blocks each: the record and its wrapper or stored part.
    CAL_VCOMPONENT* wrapper = nullptr;
    EXPECT_EQ(2, count_failure_points([&] { return (wrapper = CAL_VCOMPONENT_NEW(1)) != nullptr; }));
    CAL_VCOMPONENT_FREE(&wrapper);
    CAL_VZONE* sub = nullptr;
    EXPECT_EQ(2, count_failure_points([&] { return (sub = CAL_VZONE_NEW()) != nullptr; }));
    CAL_VZONE_FREE(&sub);
    CAL_VTIMEZONE* tz = nullptr;
    EXPECT_EQ(2, count_failure_points([&] { return (tz = CAL_VTIMEZONE_NEW()) != nullptr; }));
    CAL_VTIMEZONE_FREE(&tz);
}
