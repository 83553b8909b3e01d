// Copying components: full and modified-only copies, copies at a new start
// and from a period list, alarms, calendar properties and the list frees.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include <plstr.h>

#include "core/parser/cal_compare.h"
#include "core/parser/cal_copy.h"
#include "public/ac/acl.h"
#include "public/core_util/cal_time.h"
#include "public/db/caldb.h"
#include "public/util/array.h"

namespace {

// 2026-01-05 09:00:00 UTC and friends.
constexpr time_t kNine = 1767603600;
constexpr time_t kHour = 3600;
constexpr time_t kDay = 86400;

array_t* texts(std::initializer_list<const char*> items) {
    array_t* list = array_new();
    for (const char* item : items) array_append(list, PL_strdup(item));
    return list;
}

std::vector<std::string> strings(const array_t* list) {
    std::vector<std::string> out;
    for (unsigned i = 0; list && i < list->count; i++)
        out.push_back(static_cast<const char*>(list->data[i]));
    return out;
}

void set_text(char** field, const char* value) {
    PL_strfree(*field);
    *field = value ? PL_strdup(value) : nullptr;
}

CALDB_VALARM* alarm(time_t trigger, const char* summary) {
    CALDB_VALARM* al = caldb_NewAlarm();
    al->tTrigger = static_cast<int32_t>(trigger);
    al->nAction = CALDB_ALARM_DISPLAY;
    al->pSummary = PL_strdup(summary);
    return al;
}

CALDB_ATTENDEE* attendee(const char* addr, int partstat) {
    CALDB_ATTENDEE* a = caldb_NewAttendee();
    a->pAddr = PL_strdup(addr);
    a->nPartStat = partstat;
    return a;
}

template <typename Record>
void fill_head(Record* c) {
    c->nCompState = (2u << 16) | 0x20;
    c->tDtStart = static_cast<int32_t>(kNine);
    c->nSequence = 2;
    c->tAuxTime = 11;
    c->tLastModified = static_cast<int32_t>(kNine - kDay);
    c->tCreated = static_cast<int32_t>(kNine - 2 * kDay);
    c->nAuxValue = 5;
    c->nGeoLat = 48856600;
    c->nGeoLon = 2352200;
    c->pSummary = PL_strdup("Standup");
    c->pUid = PL_strdup("uid-master");
    c->pDescription = PL_strdup("Daily");
    c->pLocation = PL_strdup("Room A");
    c->pUrl = PL_strdup("http://example.com/s");
    c->pClass = PL_strdup("PUBLIC");
    c->pOrganizerEmail = PL_strdup("lead@example.com");
    c->pCharset = PL_strdup("UTF-8");
    c->pLanguage = PL_strdup("en");
    c->pDtStartTzid = PL_strdup("Europe/Paris");
    c->pOrganizer = caldb_NewOrganizer();
    c->pOrganizer->pAddr = PL_strdup("mailto:lead@example.com");
    c->pOrganizer->pCn = PL_strdup("Lead");
    c->aAttendees = array_new();
    array_append(c->aAttendees, attendee("mailto:a@example.com", 2));
    c->aAlarms = array_new();
    array_append(c->aAlarms, alarm(kNine - 15 * 60, "Soon"));
    c->aRDates = texts({"20260110T090000Z"});
    c->aExDates = texts({"20260107T090000Z"});
    c->aRRules = texts({"FREQ=DAILY"});
    c->aExRules = texts({"FREQ=WEEKLY"});
    c->aRelatedTo = texts({"uid-parent"});
    c->aResources = texts({"PHONE"});
    c->aComments = texts({"short"});
    c->aContacts = texts({"Lead"});
    c->aCategories = texts({"WORK"});
    c->aAttachments = texts({"http://example.com/agenda"});
    c->aXProps = texts({"X-KVAL-ORIGINAL-DTSTART:20260105T090000Z", "X-A:1"});
    c->aRecurRDateList = texts({"20260111T090000Z"});
    c->aRecurExDateList = texts({"20260112T090000Z"});
    c->aAttendeeRDateList = texts({"20260113T090000Z"});
    c->aAttendeeExDateList = texts({"20260114T090000Z"});
    c->pRecurUntil = PL_strdup("20261231T000000Z");
    c->nRecurCount = 12;
    c->pLinkCalid = PL_strdup("linked");
    c->pStateAddr = PL_strdup("mailto:a@example.com");
}

CALDB_VEVENT* master_event() {
    CALDB_VEVENT* ev = caldb_NewEvent();
    fill_head(ev);
    ev->nPriority = 3;
    ev->nStatus = CALDB_STATUS_TENTATIVE;
    ev->tDtEnd = static_cast<int32_t>(kNine + 30 * 60);
    ev->pEventAux = PL_strdup("aux");
    return ev;
}

CALDB_VTODO* master_todo() {
    CALDB_VTODO* todo = caldb_NewToDo();
    fill_head(todo);
    todo->tDue = static_cast<int32_t>(kNine + 2 * kHour);
    todo->tCompleted = static_cast<int32_t>(kNine + kHour);
    todo->pDueTzid = PL_strdup("Asia/Tokyo");
    todo->nPercentComplete = 60;
    todo->nStatus = CALDB_STATUS_IN_PROCESS;
    return todo;
}

CALDB_COMPONENT* head(void* record) {
    return static_cast<CALDB_COMPONENT*>(record);
}

const CALDB_VALARM* alarm_at(const void* record, unsigned i) {
    return static_cast<const CALDB_VALARM*>(
        array_elementat(static_cast<const CALDB_COMPONENT*>(record)->aAlarms, i));
}

}  // namespace

TEST(CopyConstructor, EventCopyIsEqualAndIndependent) {
    CALDB_VEVENT* src = master_event();
    src->tRecurrenceId = static_cast<int32_t>(kNine);
    src->nType = CALDB_KIND_EXPANDED_EVENT;
    CALDB_VEVENT* copy = nullptr;
    ASSERT_EQ(0, calparser_copyConstructorEvent(src, &copy));
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(0, calparser_CompareEvent(src, copy));
    EXPECT_EQ(CALDB_KIND_EXPANDED_EVENT, copy->nType);
    EXPECT_EQ(src->tRecurrenceId, copy->tRecurrenceId);
    EXPECT_EQ(src->tDtEnd, copy->tDtEnd);
    EXPECT_EQ(src->nFlags, copy->nFlags);
    EXPECT_NE(src->pSummary, copy->pSummary);
    EXPECT_NE(src->pOrganizer, copy->pOrganizer);
    EXPECT_STREQ("Lead", copy->pOrganizer->pCn);
    EXPECT_NE(array_elementat(src->aAttendees, 0), array_elementat(copy->aAttendees, 0));
    EXPECT_NE(alarm_at(src, 0), alarm_at(copy, 0));
    EXPECT_EQ(src->pStateAddr != nullptr, copy->pStateAddr != nullptr);
    EXPECT_STREQ("20261231T000000Z", copy->pRecurUntil);
    EXPECT_EQ(12, copy->nRecurCount);
    EXPECT_EQ(strings(src->aAttendeeRDateList), strings(copy->aAttendeeRDateList));
    EXPECT_EQ(strings(src->aRecurExDateList), strings(copy->aRecurExDateList));
    EXPECT_STREQ("aux", copy->pEventAux);
    // X-KVAL-LINK-CALID is the one property a copy does not take.
    EXPECT_EQ(nullptr, copy->pLinkCalid);

    // The copy is its own: freeing the source leaves it whole.
    caldb_FreeEvent(&src);
    EXPECT_STREQ("Standup", copy->pSummary);
    caldb_FreeEvent(&copy);

    EXPECT_EQ(1, calparser_copyConstructorEvent(nullptr, &copy));
    EXPECT_EQ(1, calparser_copyConstructorEvent(src, nullptr));
}

TEST(CopyConstructor, TodoCopyKeepsItsOwnFields) {
    CALDB_VTODO* src = master_todo();
    CALDB_COMPONENT* copy = nullptr;
    ASSERT_EQ(0, calparser_copyConstructorComponent(head(src), &copy));
    ASSERT_NE(nullptr, copy);
    CALDB_VTODO* todo = reinterpret_cast<CALDB_VTODO*>(copy);
    EXPECT_EQ(0, calparser_CompareTodo(src, todo));
    EXPECT_EQ(CALDB_KIND_TODO, copy->nType);
    EXPECT_EQ(0, copy->tRecurrenceId);  // 0 stays 0
    EXPECT_EQ(src->tDue, todo->tDue);
    EXPECT_EQ(src->tCompleted, todo->tCompleted);
    EXPECT_EQ(60, todo->nPercentComplete);
    EXPECT_STREQ("Asia/Tokyo", todo->pDueTzid);
    EXPECT_EQ(CALDB_STATUS_IN_PROCESS, todo->nStatus);
    void* record = copy;
    caldb_FreeComponent(&record);
    caldb_FreeToDo(&src);
    EXPECT_EQ(1, calparser_copyConstructorComponent(nullptr, &copy));
}

TEST(CopyAtStart, MovesEndRecurrenceIdAndAlarms) {
    CALDB_VEVENT* src = master_event();
    CALDB_VEVENT* dest = caldb_NewEvent();
    time_t next = kNine + 3 * kDay + 2 * kHour;  // 11:00 three days later
    ASSERT_EQ(0, calparser_recurrence_copyEvent(dest, src, next, 0, 0));
    EXPECT_EQ(next, dest->tDtStart);
    EXPECT_EQ(next, dest->tRecurrenceId);
    EXPECT_EQ(next + 30 * 60, dest->tDtEnd);
    ASSERT_EQ(1u, dest->aAlarms->count);
    EXPECT_EQ(next - 15 * 60, alarm_at(dest, 0)->tTrigger);
    EXPECT_STREQ("Soon", alarm_at(dest, 0)->pSummary);
    EXPECT_EQ(kNine - 15 * 60, alarm_at(src, 0)->tTrigger);

    // Copying again replaces the alarms rather than adding to them.
    ASSERT_EQ(0, calparser_recurrence_copyEvent(dest, src, next + kDay, 0, 0));
    ASSERT_EQ(1u, dest->aAlarms->count);
    EXPECT_EQ(next + kDay - 15 * 60, alarm_at(dest, 0)->tTrigger);

    // No length: DTEND is the new start.
    src->tDtEnd = src->tDtStart;
    ASSERT_EQ(0, calparser_recurrence_copyEvent(dest, src, next, 0, 0));
    EXPECT_EQ(next, dest->tDtEnd);

    // An event moved onto itself keeps its alarm distance.
    ASSERT_EQ(0, calparser_recurrence_copyEvent(src, src, next, 0, 0));
    EXPECT_EQ(next, src->tDtStart);
    EXPECT_EQ(next - 15 * 60, alarm_at(src, 0)->tTrigger);
    EXPECT_STREQ("Standup", src->pSummary);

    EXPECT_EQ(1, calparser_recurrence_copyEvent(nullptr, src, next, 0, 0));
    caldb_FreeEvent(&src);
    caldb_FreeEvent(&dest);
}

TEST(CopyAtStart, TodoWithoutDueStaysWithoutDue) {
    CALDB_VTODO* src = master_todo();
    CALDB_VTODO* dest = caldb_NewToDo();
    time_t next = kNine + kDay;
    ASSERT_EQ(0, calparser_recurrence_copyTodo(dest, src, next, 0, 0));
    EXPECT_EQ(next + 2 * kHour, dest->tDue);
    EXPECT_EQ(next, dest->tRecurrenceId);

    src->tDue = src->tDtStart;  // a DUE but no length
    ASSERT_EQ(0, calparser_recurrence_copyTodo(dest, src, next, 0, 0));
    EXPECT_EQ(next, dest->tDue);

    src->tDue = 0;
    ASSERT_EQ(0, calparser_recurrence_copyTodo(dest, src, next, 0, 0));
    EXPECT_EQ(0, dest->tDue);
    EXPECT_EQ(next, dest->tDtStart);

    // The period form gives it DUE = start when no period starts there.
    ASSERT_EQ(0, calparser_recurrence_copyTodoPeriod(dest, src, nullptr, next, 0));
    EXPECT_EQ(next, dest->tDue);
    caldb_FreeToDo(&src);
    caldb_FreeToDo(&dest);
}

TEST(CopyAtStart, PeriodListGivesTheLength) {
    array_t* periods = array_new();
    array_append(periods, cal_time_NewPeriod("20260106T090000Z/PT2H"));
    array_append(periods, cal_time_NewPeriod("20260108T090000Z/20260108T091000Z"));
    CALDB_VEVENT* src = master_event();
    CALDB_VEVENT* dest = caldb_NewEvent();
    array_append(dest->aAlarms = array_new(), alarm(1, "own"));

    ASSERT_EQ(0, calparser_recurrence_copyEventPeriod(dest, src, periods, kNine + kDay, 0));
    EXPECT_EQ(kNine + kDay + 2 * kHour, dest->tDtEnd);
    EXPECT_EQ(kNine + kDay, dest->tRecurrenceId);
    EXPECT_STREQ("own", alarm_at(dest, 0)->pSummary);  // alarms left alone

    ASSERT_EQ(0, calparser_recurrence_copyEventPeriod(dest, src, periods, kNine + 3 * kDay, 1));
    EXPECT_EQ(kNine + 3 * kDay + 10 * 60, dest->tDtEnd);
    EXPECT_EQ(kNine + 3 * kDay - 15 * 60, alarm_at(dest, 0)->tTrigger);

    // No period at that start: the source's own length.
    ASSERT_EQ(0, calparser_recurrence_copyEventPeriod(dest, src, periods, kNine + 2 * kDay, 0));
    EXPECT_EQ(kNine + 2 * kDay + 30 * 60, dest->tDtEnd);

    CALDB_VTODO* todo = master_todo();
    CALDB_VTODO* todoCopy = caldb_NewToDo();
    ASSERT_EQ(0, calparser_recurrence_copyComponentPeriodExceptAlarms(head(todoCopy), head(todo),
                                                                      periods, kNine + kDay));
    EXPECT_EQ(kNine + kDay + 2 * kHour, todoCopy->tDue);
    EXPECT_EQ(0u, todoCopy->aAlarms ? todoCopy->aAlarms->count : 0u);
    EXPECT_EQ(1, calparser_recurrence_copyComponentPeriodExceptAlarms(head(dest), head(todo),
                                                                      periods, kNine));
    calparser_recurrence_FreePeriodArrayAndDestroy(periods);
    caldb_FreeEvent(&src);
    caldb_FreeEvent(&dest);
    caldb_FreeToDo(&todo);
    caldb_FreeToDo(&todoCopy);
}

TEST(FullCopy, TextsAndListsMergeIntoTheDestination) {
    CALDB_VEVENT* src = master_event();
    CALDB_VEVENT* dest = caldb_NewEvent();
    dest->pClass = PL_strdup("PRIVATE");
    dest->pLocation = PL_strdup("Room B");
    dest->aCategories = texts({"HOME"});
    dest->aXProps = texts({"X-KVAL-ORIGINAL-DTSTART:20260101T090000Z"});
    set_text(&src->pClass, nullptr);
    set_text(&src->pLocation, nullptr);
    ASSERT_EQ(0, calparser_recurrence_copyEventPropertiesExceptStartEndRecID(dest, src, 0, 0));
    EXPECT_EQ(nullptr, dest->pClass);         // CLASS follows the source
    EXPECT_STREQ("Room B", dest->pLocation);  // other texts stay
    EXPECT_EQ((std::vector<std::string>{"HOME", "WORK"}), strings(dest->aCategories));
    EXPECT_EQ((std::vector<std::string>{"X-KVAL-ORIGINAL-DTSTART:20260101T090000Z", "X-A:1"}),
              strings(dest->aXProps));
    EXPECT_EQ(0, dest->tDtStart);
    EXPECT_EQ(0, dest->tDtEnd);
    EXPECT_EQ(nullptr, dest->aAlarms);
    EXPECT_EQ(src->nFlags, dest->nFlags);
    caldb_FreeEvent(&src);
    caldb_FreeEvent(&dest);
}

namespace {

// A property of the modified-only copy: its bit, whether it is guarded,
// and how to tell the master's value from the instance's.
struct Property {
    const char* name;
    unsigned field;
    bool guarded;
    std::function<bool(const CALDB_VEVENT*)> hasMasterValue;
};

std::vector<Property> properties() {
    return {
        {"CREATED", CALPARSER_MOD_CREATED, false,
         [](const CALDB_VEVENT* e) { return e->tCreated == kNine - 2 * kDay; }},
        {"tAuxTime", CALPARSER_MOD_AUXTIME, false,
         [](const CALDB_VEVENT* e) { return e->tAuxTime == 11; }},
        {"LAST-MODIFIED", CALPARSER_MOD_LASTMODIFIED, false,
         [](const CALDB_VEVENT* e) { return e->tLastModified == kNine - kDay; }},
        {"SEQUENCE", CALPARSER_MOD_SEQUENCE, false,
         [](const CALDB_VEVENT* e) { return e->nSequence == 2; }},
        {"GEO lat", CALPARSER_MOD_GEOLAT, true,
         [](const CALDB_VEVENT* e) { return e->nGeoLat == 48856600; }},
        {"GEO lon", CALPARSER_MOD_GEOLON, true,
         [](const CALDB_VEVENT* e) { return e->nGeoLon == 2352200; }},
        {"ORGANIZER", CALPARSER_MOD_ORGANIZER, false,
         [](const CALDB_VEVENT* e) {
             return e->pOrganizer && !strcmp(e->pOrganizer->pAddr, "mailto:lead@example.com");
         }},
        {"UID", CALPARSER_MOD_UID, false,
         [](const CALDB_VEVENT* e) { return !strcmp(e->pUid, "uid-master"); }},
        {"CLASS", CALPARSER_MOD_CLASS, false,
         [](const CALDB_VEVENT* e) { return e->pClass && !strcmp(e->pClass, "PUBLIC"); }},
        {"DESCRIPTION", CALPARSER_MOD_DESCRIPTION, true,
         [](const CALDB_VEVENT* e) { return !strcmp(e->pDescription, "Daily"); }},
        {"LOCATION", CALPARSER_MOD_LOCATION, true,
         [](const CALDB_VEVENT* e) { return !strcmp(e->pLocation, "Room A"); }},
        {"X-KVAL-ORGANIZER-EMAIL", CALPARSER_MOD_ORGANIZER_EMAIL, true,
         [](const CALDB_VEVENT* e) { return !strcmp(e->pOrganizerEmail, "lead@example.com"); }},
        {"SUMMARY", CALPARSER_MOD_SUMMARY, true,
         [](const CALDB_VEVENT* e) { return !strcmp(e->pSummary, "Standup"); }},
        {"URL", CALPARSER_MOD_URL, true,
         [](const CALDB_VEVENT* e) { return !strcmp(e->pUrl, "http://example.com/s"); }},
        {"pStateAddr", CALPARSER_MOD_STATE_ADDR, false,
         [](const CALDB_VEVENT* e) { return !strcmp(e->pStateAddr, "mailto:a@example.com"); }},
        {"X-KVAL-CHARSET", CALPARSER_MOD_CHARSET, false,
         [](const CALDB_VEVENT* e) { return !strcmp(e->pCharset, "UTF-8"); }},
        {"X-KVAL-LANGUAGE", CALPARSER_MOD_LANGUAGE, false,
         [](const CALDB_VEVENT* e) { return !strcmp(e->pLanguage, "en"); }},
        {"X-KVAL-DTSTART-TZID", CALPARSER_MOD_DTSTART_TZID, false,
         [](const CALDB_VEVENT* e) { return !strcmp(e->pDtStartTzid, "Europe/Paris"); }},
        {"ATTENDEE", CALPARSER_MOD_ATTENDEES, true,
         [](const CALDB_VEVENT* e) {
             return e->aAttendees->count == 1 &&
                    !strcmp(static_cast<CALDB_ATTENDEE*>(e->aAttendees->data[0])->pAddr,
                            "mailto:a@example.com");
         }},
        {"RRULE", CALPARSER_MOD_RRULES, false,
         [](const CALDB_VEVENT* e) { return strings(e->aRRules).back() == "FREQ=DAILY"; }},
        {"EXRULE", CALPARSER_MOD_EXRULES, false,
         [](const CALDB_VEVENT* e) { return strings(e->aExRules).back() == "FREQ=WEEKLY"; }},
        {"RDATE", CALPARSER_MOD_RDATES, false,
         [](const CALDB_VEVENT* e) { return strings(e->aRDates).back() == "20260110T090000Z"; }},
        {"EXDATE", CALPARSER_MOD_EXDATES, false,
         [](const CALDB_VEVENT* e) { return strings(e->aExDates).back() == "20260107T090000Z"; }},
        {"X-Z9KQ-RECURRENCE-RDATELIST", CALPARSER_MOD_RECUR_RDATELIST, false,
         [](const CALDB_VEVENT* e) {
             return strings(e->aRecurRDateList).back() == "20260111T090000Z";
         }},
        {"X-Z9KQ-RECURRENCE-EXDATELIST", CALPARSER_MOD_RECUR_EXDATELIST, false,
         [](const CALDB_VEVENT* e) {
             return strings(e->aRecurExDateList).back() == "20260112T090000Z";
         }},
        {"CATEGORIES", CALPARSER_MOD_CATEGORIES, true,
         [](const CALDB_VEVENT* e) {
             return strings(e->aCategories) == std::vector<std::string>{"WORK"};
         }},
        {"RELATED-TO", CALPARSER_MOD_RELATED_TO, true,
         [](const CALDB_VEVENT* e) {
             return strings(e->aRelatedTo) == std::vector<std::string>{"uid-parent"};
         }},
        {"ATTACH", CALPARSER_MOD_ATTACHMENTS, true,
         [](const CALDB_VEVENT* e) {
             return strings(e->aAttachments) ==
                    std::vector<std::string>{"http://example.com/agenda"};
         }},
        {"RESOURCES", CALPARSER_MOD_RESOURCES, true,
         [](const CALDB_VEVENT* e) {
             return strings(e->aResources) == std::vector<std::string>{"PHONE"};
         }},
        {"COMMENT", CALPARSER_MOD_COMMENTS, true,
         [](const CALDB_VEVENT* e) {
             return strings(e->aComments) == std::vector<std::string>{"short"};
         }},
        {"CONTACT", CALPARSER_MOD_CONTACTS, true,
         [](const CALDB_VEVENT* e) {
             return strings(e->aContacts) == std::vector<std::string>{"Lead"};
         }},
        {"X- lines", CALPARSER_MOD_XPROPS, true,
         [](const CALDB_VEVENT* e) { return strings(e->aXProps).back() == "X-A:1"; }},
        {"pEventAux", CALPARSER_MOD_EVENT_AUX, false,
         [](const CALDB_VEVENT* e) { return e->pEventAux && !strcmp(e->pEventAux, "aux"); }},
    };
}

// An instance whose every property differs from master_event()'s.
CALDB_VEVENT* instance_event() {
    CALDB_VEVENT* ev = caldb_NewEvent();
    ev->tDtStart = static_cast<int32_t>(kNine + kDay);
    ev->tRecurrenceId = ev->tDtStart;
    ev->tDtEnd = ev->tDtStart + 60;
    ev->nSequence = 1;
    ev->tCreated = 1;
    ev->tLastModified = 2;
    ev->tAuxTime = 3;
    ev->nGeoLat = -1;
    ev->nGeoLon = -2;
    ev->pOrganizer = caldb_NewOrganizer();
    ev->pOrganizer->pAddr = PL_strdup("mailto:other@example.com");
    ev->pUid = PL_strdup("uid-instance");
    ev->pClass = PL_strdup("PRIVATE");
    ev->pDescription = PL_strdup("Own description");
    ev->pLocation = PL_strdup("Own room");
    ev->pOrganizerEmail = PL_strdup("other@example.com");
    ev->pSummary = PL_strdup("Own summary");
    ev->pUrl = PL_strdup("http://example.com/own");
    ev->pStateAddr = PL_strdup("mailto:own@example.com");
    ev->pCharset = PL_strdup("ISO-8859-1");
    ev->pLanguage = PL_strdup("fr");
    ev->pDtStartTzid = PL_strdup("UTC");
    ev->aAttendees = array_new();
    array_append(ev->aAttendees, attendee("mailto:own@example.com", 1));
    ev->aRRules = texts({"FREQ=YEARLY"});
    ev->aExRules = texts({"FREQ=MONTHLY"});
    ev->aRDates = texts({"20270101T090000Z"});
    ev->aExDates = texts({"20270102T090000Z"});
    ev->aRecurRDateList = texts({"20270103T090000Z"});
    ev->aRecurExDateList = texts({"20270104T090000Z"});
    ev->aCategories = texts({"OWN"});
    ev->aRelatedTo = texts({"uid-own"});
    ev->aAttachments = texts({"http://example.com/own-agenda"});
    ev->aResources = texts({"CHAIRS"});
    ev->aComments = texts({"own"});
    ev->aContacts = texts({"Own"});
    ev->aXProps = texts({"X-B:2"});
    ev->pEventAux = PL_strdup("own aux");
    return ev;
}

}  // namespace

TEST(ModifiedOnlyCopy, EachBitCopiesItsPropertyAndGuardsHold) {
    for (const Property& p : properties()) {
        // Only the property's bit on the master: nothing else moves.
        struct Case {
            bool instanceBit;
            int force;
            bool copied;
        };
        const Case cases[] = {{false, 0, true}, {true, 0, !p.guarded}, {true, 1, true}};
        for (const Case& c : cases) {
            CALDB_VEVENT* master = master_event();
            CALDB_VEVENT* inst = instance_event();
            calparser_setModField(master->modFields, p.field);
            if (c.instanceBit) calparser_setModField(inst->modFields, p.field);
            ASSERT_EQ(0, calparser_recurrence_copyEventPropertiesExceptStartEndRecID(inst, master,
                                                                                     1, c.force));
            EXPECT_EQ(c.copied, p.hasMasterValue(inst))
                << p.name << " instanceBit=" << c.instanceBit << " force=" << c.force;
            // A property whose bit is not set is never taken.
            for (const Property& other : properties()) {
                if (other.field == p.field) continue;
                EXPECT_FALSE(other.hasMasterValue(inst)) << other.name << " taken with " << p.name;
            }
            caldb_FreeEvent(&master);
            caldb_FreeEvent(&inst);
        }
    }
}

TEST(ModifiedOnlyCopy, StateKindAndFlagsAlwaysFollow) {
    CALDB_VEVENT* master = master_event();
    CALDB_VEVENT* inst = instance_event();
    master->nType = CALDB_KIND_EXPANDED_EVENT;
    inst->nCompState = 1;
    inst->nAuxValue = 77;
    inst->nRecurCount = 3;
    inst->bTransparent = 1;
    ASSERT_EQ(0, calparser_recurrence_copyEventPropertiesExceptStartEndRecID(inst, master, 1, 0));
    EXPECT_EQ(CALDB_KIND_EXPANDED_EVENT, inst->nType);
    EXPECT_EQ(master->nCompState, inst->nCompState);
    EXPECT_EQ(5, inst->nAuxValue);
    EXPECT_EQ(3u, inst->nPriority);
    EXPECT_EQ(unsigned(CALDB_STATUS_TENTATIVE), inst->nStatus);
    EXPECT_EQ(1u, inst->bTransparent);  // no TRANSP bit on the master
    // Not taken in this mode: the recurrence count and until, the attendee date lists.
    EXPECT_EQ(3, inst->nRecurCount);
    EXPECT_EQ(nullptr, inst->pRecurUntil);
    EXPECT_EQ(nullptr, inst->aAttendeeRDateList);
    caldb_FreeEvent(&master);
    caldb_FreeEvent(&inst);
}

TEST(ModifiedOnlyCopy, TranspIsGuarded) {
    struct Case {
        bool masterBit;
        bool instanceBit;
        int force;
        unsigned expected;
    };
    // The master is opaque (0), the instance transparent (1).
    const Case cases[] = {{false, false, 0, 1},
                          {true, false, 0, 0},
                          {true, true, 0, 1},
                          {true, true, 1, 0},
                          {false, false, 1, 1}};
    for (const Case& c : cases) {
        CALDB_VEVENT* master = master_event();
        CALDB_VEVENT* inst = instance_event();
        inst->bTransparent = 1;
        if (c.masterBit) calparser_setModField(master->modFields, CALPARSER_MOD_TRANSP);
        if (c.instanceBit) calparser_setModField(inst->modFields, CALPARSER_MOD_TRANSP);
        calparser_recurrence_copyEventPropertiesExceptStartEndRecID(inst, master, 1, c.force);
        EXPECT_EQ(c.expected, inst->bTransparent) << c.masterBit << c.instanceBit << c.force;
        caldb_FreeEvent(&master);
        caldb_FreeEvent(&inst);
    }
    // A full copy takes the master's flag as it is.
    CALDB_VEVENT* master = master_event();
    CALDB_VEVENT* inst = instance_event();
    inst->bTransparent = 1;
    calparser_recurrence_copyEventPropertiesExceptStartEndRecID(inst, master, 0, 0);
    EXPECT_EQ(0u, inst->bTransparent);
    caldb_FreeEvent(&master);
    caldb_FreeEvent(&inst);
}

TEST(ModifiedOnlyCopy, MasterChangesReachAnInstance) {
    // The master is edited: a new SUMMARY and a new UID. The instance had
    // its own SUMMARY change, so only the UID reaches it unless forced.
    CALDB_VEVENT* before = master_event();
    CALDB_VEVENT* after = master_event();
    set_text(&after->pSummary, "Standup (moved)");
    set_text(&after->pUid, "uid-2");
    calparser_getComponentModFields(head(before), head(after), 0);

    CALDB_VEVENT* inst = instance_event();
    calparser_setModField(inst->modFields, CALPARSER_MOD_SUMMARY);
    time_t start = inst->tDtStart;
    ASSERT_EQ(0, calparser_recurrence_copyEvent(inst, after, start, 1, 0));
    EXPECT_STREQ("Own summary", inst->pSummary);
    EXPECT_STREQ("uid-2", inst->pUid);
    EXPECT_STREQ("Own room", inst->pLocation);
    EXPECT_EQ(start, inst->tDtStart);
    EXPECT_EQ(start + 30 * 60, inst->tDtEnd);
    EXPECT_EQ(start - 15 * 60, alarm_at(inst, 0)->tTrigger);

    ASSERT_EQ(0, calparser_recurrence_copyEvent(inst, after, start, 1, 1));
    EXPECT_STREQ("Standup (moved)", inst->pSummary);
    caldb_FreeEvent(&before);
    caldb_FreeEvent(&after);
    caldb_FreeEvent(&inst);
}

TEST(ModifiedOnlyCopy, TodoTakesItsOwnFieldsInBothModes) {
    CALDB_VTODO* master = master_todo();
    CALDB_VTODO* inst = caldb_NewToDo();
    inst->pSummary = PL_strdup("Own");
    ASSERT_EQ(0, calparser_recurrence_copyTodoPropertiesExceptStartDueRecID(inst, master, 1, 0));
    EXPECT_EQ(master->tCompleted, inst->tCompleted);
    EXPECT_EQ(60, inst->nPercentComplete);
    EXPECT_STREQ("Asia/Tokyo", inst->pDueTzid);
    EXPECT_EQ(master->nFlags, inst->nFlags);
    EXPECT_STREQ("Own", inst->pSummary);
    EXPECT_EQ(0, inst->tDue);
    EXPECT_EQ(1, calparser_recurrence_copyTodoPropertiesExceptStartDueRecID(nullptr, master, 1, 0));
    EXPECT_EQ(1,
              calparser_recurrence_copyComponentPropertiesExceptDates(head(inst), nullptr, 0, 0));
    caldb_FreeToDo(&master);
    caldb_FreeToDo(&inst);
}

TEST(Alarms, CopyAlarmFieldsAndShiftedLists) {
    CALDB_VALARM* src = alarm(kNine - 600, "Go");
    src->nDuration = 300;
    src->nRepeat = 2;
    src->nAuxValue = 9;
    src->pAuxText = PL_strdup("aux");
    src->pDescription = PL_strdup("Now");
    src->aAttendees = texts({"mailto:a@example.com", "mailto:a@example.com"});
    src->aAuxTexts = texts({"t"});
    src->aXProps = texts({"X-A:1"});
    src->nAuxTail = 4;
    CALDB_VALARM* dest = caldb_NewAlarm();
    dest->aXProps = texts({"X-A:1", "X-B:2"});
    dest->pSummary = PL_strdup("old");
    ASSERT_EQ(0, calparser_copyAlarm(dest, src));
    EXPECT_EQ(kNine - 600, dest->tTrigger);
    EXPECT_EQ(300, dest->nDuration);
    EXPECT_EQ(CALDB_ALARM_DISPLAY, dest->nAction);
    EXPECT_EQ(2, dest->nRepeat);
    EXPECT_EQ(0, dest->nAuxValue);
    EXPECT_STREQ("aux", dest->pAuxText);
    EXPECT_STREQ("Go", dest->pSummary);
    EXPECT_STREQ("Now", dest->pDescription);
    EXPECT_EQ((std::vector<std::string>{"mailto:a@example.com", "mailto:a@example.com"}),
              strings(dest->aAttendees));
    EXPECT_EQ((std::vector<std::string>{"t"}), strings(dest->aAuxTexts));
    EXPECT_EQ((std::vector<std::string>{"X-A:1", "X-B:2"}), strings(dest->aXProps));
    EXPECT_EQ(4, dest->nAuxTail);
    EXPECT_EQ(1, calparser_copyAlarm(dest, nullptr));

    array_t* list = array_new();
    array_append(list, src);
    array_append(list, alarm(kNine + 60, "After"));
    array_t* out = array_new();
    ASSERT_EQ(0, calparser_recurrence_copyAlarms(list, kNine, kNine - kDay, out));
    ASSERT_EQ(2u, out->count);
    EXPECT_EQ(kNine - kDay - 600, static_cast<CALDB_VALARM*>(out->data[0])->tTrigger);
    EXPECT_EQ(kNine - kDay + 60, static_cast<CALDB_VALARM*>(out->data[1])->tTrigger);
    EXPECT_EQ(1, calparser_recurrence_copyAlarms(nullptr, 0, 0, out));
    EXPECT_EQ(3, calparser_recurrence_copyAlarms(list, 0, 0, nullptr));

    CALDB_VEVENT* ev = caldb_NewEvent();
    ASSERT_EQ(0, calparser_alarmCopyHelper(head(ev), list, kNine, kNine + kHour));
    ASSERT_EQ(2u, ev->aAlarms->count);
    EXPECT_EQ(kNine + kHour - 600, alarm_at(ev, 0)->tTrigger);
    ASSERT_EQ(0, calparser_alarmCopyHelper(head(ev), nullptr, kNine, kNine));
    ASSERT_NE(nullptr, ev->aAlarms);
    EXPECT_EQ(0u, ev->aAlarms->count);
    EXPECT_EQ(1, calparser_alarmCopyHelper(nullptr, list, 0, 0));
    caldb_FreeEvent(&ev);
    caldb_FreeAlarm(&dest);
    caldb_FreeList(&list, CALDB_LIST_ALARMS);
    caldb_FreeList(&out, CALDB_LIST_ALARMS);
}

TEST(CalProps, CopiesValuesTextsListsAndAccessControl) {
    CALDB_CALPROPS src = {};
    src.tLastModified = 10;
    src.tCreated = 5;
    src.nRead = 3;
    src.bResource = 1;
    src.pName = PL_strdup("Team");
    src.pTzid = PL_strdup("Europe/Paris");
    src.pOwners = texts({"anna", "bob"});
    src.pCategories = texts({"WORK"});
    src.pAceList = array_new();
    array_append(src.pAceList, acl_caldb_ace_NEW(1, 0, 1, 1234, ACL_RIGHT_READ));
    array_append(src.pAceList, acl_caldb_ace_NEW(0, 1, 0, 0, ACL_RIGHTS_ALL));
    src.nAuxValue = 8;

    CALDB_CALPROPS dest = {};
    dest.pName = PL_strdup("Old");
    dest.pDescription = PL_strdup("kept");
    dest.pOwners = texts({"bob", "carol"});
    dest.pAceList = array_new();
    array_append(dest.pAceList, acl_caldb_ace_NEW(0, 0, 0, 1, 1));
    ASSERT_EQ(0, calparser_copyCalProps(&dest, &src));
    EXPECT_EQ(10, dest.tLastModified);
    EXPECT_EQ(5, dest.tCreated);
    EXPECT_EQ(src.nFlags, dest.nFlags);
    EXPECT_STREQ("Team", dest.pName);
    EXPECT_STREQ("kept", dest.pDescription);
    EXPECT_STREQ("Europe/Paris", dest.pTzid);
    EXPECT_EQ((std::vector<std::string>{"bob", "carol", "anna"}), strings(dest.pOwners));
    EXPECT_EQ((std::vector<std::string>{"WORK"}), strings(dest.pCategories));
    EXPECT_EQ(8, dest.nAuxValue);
    ASSERT_EQ(2u, dest.pAceList->count);
    const CALDB_ACE* first = static_cast<const CALDB_ACE*>(dest.pAceList->data[0]);
    EXPECT_EQ(0x80 | 0x20, first->nFlags);
    EXPECT_EQ(1234u, first->nPrincipal);
    EXPECT_EQ(ACL_RIGHT_READ, first->nRights);
    EXPECT_NE(src.pAceList->data[0], dest.pAceList->data[0]);
    const CALDB_ACE* second = static_cast<const CALDB_ACE*>(dest.pAceList->data[1]);
    EXPECT_EQ(0x40, second->nFlags);
    EXPECT_EQ(ACL_RIGHTS_ALL, second->nRights);
    EXPECT_EQ(1, calparser_copyCalProps(nullptr, &src));

    array_t* copy = nullptr;
    EXPECT_EQ(1, calparser_copyACEList(nullptr, &copy));
    EXPECT_EQ(1, calparser_copyACEList(src.pAceList, nullptr));

    for (CALDB_CALPROPS* props : {&src, &dest}) {
        for (char* text : {props->pName, props->pTzid, props->pDescription}) PL_strfree(text);
        for (array_t** list : {&props->pOwners, &props->pChildren, &props->pCategories})
            array_free_and_destroy(list);
        acl_misc_FreeACEList(&props->pAceList);
    }
}

TEST(FreeLists, FreeElementsAndClearOrDestroy) {
    array_t* times = array_new();
    for (int i = 0; i < 3; i++) {
        time_t* t = static_cast<time_t*>(malloc(sizeof(time_t)));
        *t = kNine + i;
        array_append(times, t);
    }
    calparser_recurrence_FreeTimeTPtrArrayAndClear(times);
    EXPECT_EQ(0u, times->count);
    array_append(times, malloc(sizeof(time_t)));
    calparser_recurrence_FreeTimeTPtrArrayAndDestroy(times);

    array_t* words = texts({"a", "b"});
    calparser_recurrence_FreeStringArrayAndClear(words);
    EXPECT_EQ(0u, words->count);
    array_append(words, PL_strdup("c"));
    calparser_recurrence_FreeStringArrayAndDestroy(words);

    array_t* periods = array_new();
    array_append(periods, cal_time_NewPeriod("20260106T090000Z/PT1H"));
    calparser_recurrence_FreePeriodArrayAndDestroy(periods);

    calparser_recurrence_FreeTimeTPtrArrayAndClear(nullptr);
    calparser_recurrence_FreeStringArrayAndClear(nullptr);
    calparser_recurrence_FreeTimeTPtrArrayAndDestroy(nullptr);
    calparser_recurrence_FreeStringArrayAndDestroy(nullptr);
    calparser_recurrence_FreePeriodArrayAndDestroy(nullptr);

    char* field = PL_strdup("old");
    EXPECT_EQ(0, calparser_populateStringProperty(&field, "new"));
    EXPECT_STREQ("new", field);
    EXPECT_EQ(1, calparser_populateStringProperty(&field, nullptr));
    EXPECT_STREQ("new", field);
    EXPECT_EQ(1, calparser_populateStringProperty(nullptr, "x"));
    PL_strfree(field);
}

// Allocation failures: the test binary wraps the heap functions so that the
// n-th allocation from now fails and live blocks are counted. Sanitizer
// builds own the heap; there these checks are skipped.
#if defined(__SANITIZE_ADDRESS__)
#define COPY_HEAP_HOOK 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define COPY_HEAP_HOOK 0
#endif
#endif
#ifndef COPY_HEAP_HOOK
#define COPY_HEAP_HOOK 1
#endif

#if COPY_HEAP_HOOK
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
}

namespace {
long g_allocations_until_failure = -1;  // -1: never fail
long g_live_blocks = 0;

bool allocation_fails() {
    if (g_allocations_until_failure < 0) return false;
    return g_allocations_until_failure-- == 0;
}
}  // namespace

extern "C" void* malloc(size_t size) {
    if (allocation_fails()) return nullptr;
    void* block = __libc_malloc(size);
    if (block) g_live_blocks++;
    return block;
}
extern "C" void* calloc(size_t count, size_t size) {
    if (allocation_fails()) return nullptr;
    void* block = __libc_calloc(count, size);
    if (block) g_live_blocks++;
    return block;
}
extern "C" void* realloc(void* block, size_t size) {
    if (allocation_fails()) return nullptr;
    void* grown = __libc_realloc(block, size);
    if (!block && grown) g_live_blocks++;
    return grown;
}
extern "C" void free(void* block) {
    if (block) g_live_blocks--;
    __libc_free(block);
}
#endif

// A copy that runs out of memory part-way still returns 0 and leaks
// nothing: every failure point of a full copy is driven once.
TEST(CopyConstructor, RunningOutOfMemoryLeaksNothing) {
#if COPY_HEAP_HOOK
    CALDB_VEVENT* src = master_event();
    bool completed = false;
    for (long fail_at = 0; fail_at < 2000 && !completed; fail_at++) {
        long live_before = g_live_blocks;
        CALDB_VEVENT* copy = nullptr;
        g_allocations_until_failure = fail_at;
        int rc = calparser_copyConstructorEvent(src, &copy);
        completed = g_allocations_until_failure >= 0;  // no allocation failed
        g_allocations_until_failure = -1;
        EXPECT_EQ(0, rc) << fail_at;
        if (fail_at == 0) {
            EXPECT_EQ(nullptr, copy);
        }
        caldb_FreeEvent(&copy);
        EXPECT_EQ(live_before, g_live_blocks) << "leak when allocation " << fail_at << " fails";
    }
    EXPECT_TRUE(completed);
    caldb_FreeEvent(&src);
#else
    GTEST_SKIP() << "the sanitizer owns the heap";
#endif
}
