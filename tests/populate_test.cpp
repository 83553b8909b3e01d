// Property storers, fed with tokens that the iCalendar lexer makes from
// single content lines; the date-time storers with zones of the same input
// and of the registry (the all-day flags of dates are checked through the
// builders); and the storers when memory runs out: each allocation they make
// is failed in turn, and every storer must then report 3 and leave no block
// behind (sanitizer builds own the heap, so there those tests are skipped).
#include "core/parser/populate.h"

#include <gtest/gtest.h>
#include <plstr.h>

#include <string>
#include <vector>

#include "core/parser/calparser_time.h"
#include "core/parser/ical_components.h"
#include "public/core_util/cal_time.h"
#include "public/core_util/userattr.h"
#include "public/util/config.h"
#include "public/util/kvallog.h"
#include "tests/support/builder_fixture.h"
#include "tests/support/heap_failure.h"
#include "tests/support/text_lists.h"

using builder_test::Tokens;
using zone_test::utc;

namespace {

TEST(TextStorers, SplitAndStripMailto) {
    // Only an all-lower or all-upper "mailto:" goes.
    char* field = nullptr;
    EXPECT_EQ(0, calparser_storeEmailProperty(&field, "MAILTO:b@x.org"));
    EXPECT_STREQ("b@x.org", field);
    EXPECT_EQ(0, calparser_storeEmailProperty(&field, "Mailto:c@x.org"));
    EXPECT_STREQ("Mailto:c@x.org", field);
    PL_strfree(field);

    // Comma lists keep empty items and quotes; address lists drop both.
    array_t* list = nullptr;
    EXPECT_EQ(0, calparser_populate_commaListArray(&list, "WORK,,\"a,b\""));
    EXPECT_EQ((Strings{"WORK", "", "\"a,b\""}), strings(list));
    array_free_and_destroy(&list);
    EXPECT_EQ(0, calparser_addCalAddressListToList(
                     &list, "\"mailto:a@x.org\", \"mailto:b@x.org\",,\"\", ,mailto:c@x.org"));
    EXPECT_EQ((Strings{"mailto:a@x.org", "mailto:b@x.org", "mailto:c@x.org"}), strings(list));
    array_free_and_destroy(&list);
}

// A directory filled for each test; attendees stored into a list.
class Attendees : public ::testing::Test {
protected:
    array_t* list = nullptr;
    void SetUp() override {
        config_set_string(config_getdefaultcache(), "directory.ldif", nullptr);
        userattr_directory_clear();
        userattr_directory_add("jdoe", "jdoe", "John Doe", "jdoe@example.com");
        userattr_directory_add("team", "team:a", "Team A", "team@example.com");
        userattr_directory_add("team", "team:b", nullptr, "team@example.com");
        userattr_directory_add("g1", nullptr, nullptr, "shared@example.com");
        userattr_directory_add("g2", nullptr, nullptr, "shared@example.com");
        userattr_directory_add("solo", "solo:main", nullptr, "solo@example.com");
        userattr_directory_add("pair", "pair", nullptr, "p1@example.com");
        userattr_directory_add("pair", "pair", nullptr, "p2@example.com");
    }
    void TearDown() override {
        caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
        userattr_directory_clear();
    }
    int store(const char* line, int resolved = 0) {
        Tokens tokens{line};
        return calparser_storeSingleAttendeeProp(&list, tokens.token(), 1, resolved, "ctx");
    }
    CALDB_ATTENDEE* at(unsigned i) { return (CALDB_ATTENDEE*)array_elementat(list, i); }
    unsigned count() { return list ? list->count : 0; }
};

// An attendee as "calid|cn|address", "-" for a field not set.
std::string summary(const CALDB_ATTENDEE* a) {
    auto text = [](const char* t) { return std::string(t ? t : "-"); };
    return text(a->pCalid) + "|" + text(a->pCn) + "|" + text(a->pAddr);
}

TEST_F(Attendees, AddressesAndCalendarIdsAreResolvedThroughTheDirectory) {
    const struct {
        const char* line;
        int resolved, rc;
        Strings attendees;
        LogLines messages;  // levels 0 to 6
    } cases[] = {
        // Resolved input is taken as it stands; a calendar id is its own address.
        {"ATTENDEE;X-Z9KQ-CALID=other:MAILTO:JDOE@EXAMPLE.COM", 1, 0,
         {"other|-|MAILTO:JDOE@EXAMPLE.COM"}, {}},
        // A later parameter wins; the address of X-Z9KQ-EMAIL stays.
        {"ATTENDEE;CN=A;CN=B;X-Z9KQ-EMAIL=e@x:jdoe", 1, 0, {"jdoe|B|e@x"}, {}},
        // The address of one calendar: the directory's name fills a missing CN.
        {"ATTENDEE:mailto:jdoe@example.com", 0, 0, {"jdoe|John Doe|mailto:jdoe@example.com"}, {}},
        // Of several calendars: one attendee each, named as the directory names it.
        {"ATTENDEE;CN=Team:mailto:team@example.com", 0, 0,
         {"team:a|Team A|mailto:team@example.com", "team:b|-|mailto:team@example.com"}, {}},
        // Of several users: dropped.
        {"ATTENDEE:mailto:shared@example.com", 0, 0, {}, {}},
        // A calendar id gets its mail address; found through the user id, the id goes.
        {"ATTENDEE:jdoe:work", 0, 0, {"jdoe:work|-|mailto:jdoe@example.com"}, {}},
        {"ATTENDEE:solo", 0, 0, {"-|-|mailto:solo@example.com"}, {}},
        {"ATTENDEE:pair", 0, 0, {"pair|-|mailto:p1@example.com"},
         {{4, "calparser: pAtt->pCalid = pair was associated with *2* mails, using first value "
              "of mailto:p1@example.com.\n"}}},
        // No value is an empty calendar id: its own address as it stands when
        // resolved, else one without a mail address (as any unknown id).
        {"ATTENDEE;X-Z9KQ-CALID=jdoe:", 1, 0, {"|-|"}, {}},
        {"ATTENDEE;CN=X:", 0, 1, {},
         {{4, "calparser:  No Available Email address in ldap for calid: "}}},
    };
    for (const auto& c : cases) {
        LogCapture log;
        EXPECT_EQ(c.rc, store(c.line, c.resolved)) << c.line;
        Strings stored;
        for (unsigned i = 0; i < count(); i++) stored.push_back(summary(at(i)));
        EXPECT_EQ(c.attendees, stored) << c.line;
        LogLines messages;  // without the traces
        for (const auto& line : log.lines())
            if (line.first < 7) messages.push_back(line);
        EXPECT_EQ(c.messages, messages) << c.line;
        caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
    }
}

// RSVP, PARTSTAT and SENT-STATUS values are matched upper-cased; the last
// status parameter wins.
TEST_F(Attendees, ParameterCodesIgnoreTheCaseOfTheirValues) {
    const std::string longValue = "true" + std::string(70, 'x');
    const struct {
        std::string params;
        unsigned rsvp;
        int partStat;
        const char* partStatName;
        int sentStatus;
    } cases[] = {
        {";RSVP=true;PARTSTAT=accepted;SENT-STATUS=sent-succeeded", 1, 2, "ACCEPTED", 2},
        {";RSVP=FALSE;PARTSTAT=x-maybe;X-TAVO-SENT-STATUS=Sent-Succeeded", 0, 9, "X-MAYBE", 2},
        {";RSVP=" + longValue + ";SENT-STATUS=" + longValue, 0, 0, nullptr, 0},
        {";SENT-STATUS=SENT-SUCCEEDED;X-KVAL-ATTENDEE-GSE-STATUS=7", 0, 0, nullptr, 7},
        {";X-KVAL-ATTENDEE-GSE-STATUS=7;SENT-STATUS=NOT-SENT", 0, 0, nullptr, 0},
    };
    for (const auto& c : cases) {
        std::string line = "ATTENDEE" + c.params + ":jdoe";
        ASSERT_EQ(0, store(line.c_str(), 1)) << line;
        ASSERT_EQ(1u, count()) << line;
        EXPECT_EQ(c.rsvp, at(0)->bRsvp) << line;
        EXPECT_EQ(c.partStat, at(0)->nPartStat) << line;
        EXPECT_STREQ(c.partStatName, at(0)->pPartStatName) << line;
        EXPECT_EQ(c.sentStatus, at(0)->nSentStatus) << line;
        caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
    }
}

// A list a storer creates stays, empty, when nothing is added to it.
TEST_F(Attendees, CreatedListsStayWhenNothingIsAdded) {
    Tokens dropped{"ATTENDEE:ghost"};
    LogCapture quiet;
    array_t* attendees = nullptr;
    array_t* addresses = nullptr;
    EXPECT_EQ(1, calparser_storeAttendeeProperty(&attendees, dropped.token(), 1, 0, nullptr));
    EXPECT_EQ(0, calparser_addCalAddressListToList(&addresses, "\"\", "));
    for (array_t* created : {attendees, addresses}) {
        EXPECT_EQ(0u, created ? created->count : 1u);
        array_delete(created);
    }
}

// The registry holds the fallback zone (UTC, no daylight time) and a
// +01:00/+02:00 zone; the input defines an Eastern zone (-05:00).
class DateTimes : public ::testing::Test {
protected:
    array_t* inputZones = nullptr;
    CALDB_VEVENT* ev = nullptr;
    void** record() { return (void**)&ev; }

    static void SetUpTestSuite() { time_cache_init(); }
    void SetUp() override {
        config_set_string(config_getdefaultcache(), "calstore.default.timezoneID",
                          "Africa/Casablanca");
        ASSERT_EQ(0, zone_test::fill_registry({zone_test::utc_fallback_zone(),
                                               zone_test::central_zone("Europe/Test")}));
        inputZones = array_new();
        array_append(inputZones, zone_test::make_fixed_zone("US/Eastern", -300));
        ev = caldb_NewEvent();
    }
    void TearDown() override {
        CAL_VTIMEZONE_FreeCalVTimeZoneList(inputZones);
        array_delete(inputZones);
        CALPARSER_TIMEZONE_LIST::Instance()->removeAllTimeZones();
        caldb_FreeEvent(&ev);
    }
};

// A zone of the same input is found ignoring case (beyond ASCII through
// case folding), else the registry's, with a trace; a date read in a zone is
// no all-day date.
TEST_F(DateTimes, InputZoneIgnoringCaseThenRegistryZoneWithATrace) {
    array_append(inputZones, zone_test::make_fixed_zone("\xc3\x89t\xc3\xa9/Zone", 0));
    EXPECT_EQ(inputZones->data[1], array_findTimeZone("\xc3\xa9T\xc3\x89/zone", inputZones));
    EXPECT_EQ(nullptr, array_findTimeZone("US/Easter", inputZones));
    LogCapture log;
    EXPECT_EQ(0, calparser_storeDateTimeOrDateProperty(&ev->tDtStart, record(), 1,
                                                       "20030101T120000", "us/EASTERN",
                                                       inputZones));
    EXPECT_EQ((int32_t)utc("20030101T170000"), ev->tDtStart);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(0, calparser_storeDateTimeOrDateProperty(&ev->tDtStart, record(), 1,
                                                       "20030701T120000", "Europe/Test",
                                                       inputZones));
    EXPECT_EQ((int32_t)utc("20030701T100000"), ev->tDtStart);   // summer: +02:00
    EXPECT_EQ(0, calparser_storeDateTimeOrDateProperty(&ev->tDtEnd, record(), 0, "20030615",
                                                       "Europe/Test", nullptr));
    EXPECT_EQ((int32_t)utc("20030614T220000"), ev->tDtEnd);
    EXPECT_EQ(0u, ev->bDtEndIsDate);
    EXPECT_EQ(1, calparser_storeDateTimeOrDateProperty(&ev->tDtEnd, record(), 0, nullptr,
                                                       "Europe/Test", inputZones));
    EXPECT_EQ(0, ev->tDtEnd);
    EXPECT_EQ((LogLines{
                  {7, "calparser: TZID of Europe/Test for date/time of 20030701T120000."},
                  {7, "calparser: TZID of Europe/Test for date/time of 20030615."},
                  {7, "calparser: TZID of Europe/Test for date/time of NULL."}}),
              log.lines());
}

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

TEST_F(Attendees, EveryFailedAllocationOfAStorerGives3AndLeavesNothing) {
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
TEST_F(Attendees, CopiesMadeForSeveralCalendarsStayWhenMemoryRunsOut) {
    for (const char* calid : {"trio:a", "trio:b", "trio:c"})
        userattr_directory_add("trio", calid, calid, "trio@example.com");
    Tokens tokens{"ATTENDEE;CN=Trio:mailto:trio@example.com"};
    kvallog_sink_t previous = kvallog_set_sink([](void*, int, const char*) {}, nullptr);
    const std::vector<std::string> all = {"trio:a|trio:a", "trio:b|trio:b", "trio:c|trio:c"};
    // One-time tables outside the count.
    EXPECT_EQ(0, calparser_storeAttendeeProperty(&list, tokens.token(), 1, 0, nullptr));
    caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
    int partial = 0;  // runs that kept one or two of the three
    count_failure_points([&] {
        int rc = calparser_storeAttendeeProperty(&list, tokens.token(), 1, 0, nullptr);
        bool injected = heap_failure::g_until_failure < 0;
        heap_failure::g_until_failure = -1;  // the checks below allocate
        std::vector<std::string> kept;
        for (unsigned i = 0; list && i < list->count; i++)
            kept.push_back(calid_and_cn((const CALDB_ATTENDEE*)list->data[i]));
        caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
        if (rc != 0 || kept == std::vector<std::string>{"-|Trio"}) {
            EXPECT_TRUE(rc == 0 || kept.empty()) << "gave " << rc;
            return !injected;
        }
        EXPECT_TRUE(kept.size() == 3 || injected);
        for (size_t i = 0; i < kept.size() && i < all.size(); i++)
            EXPECT_TRUE(kept[i] == all[i] ||
                        (i + 1 == kept.size() && kept[i] == all[i].substr(0, 7) + "Trio"))
                << kept[i];
        partial += !kept.empty() && kept.size() < 3;
        return !injected;
    });
    EXPECT_TRUE(!HEAP_FAILURE_HOOK || partial > 0);
    kvallog_set_sink(previous, nullptr);
}

}  // namespace
