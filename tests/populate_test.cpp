// Property storers, fed with tokens that the iCalendar lexer makes from
// single content lines.
#include "core/parser/populate.h"

#include <gtest/gtest.h>
#include <plstr.h>

#include <string>
#include <utility>

#include "public/core_util/cal_time.h"
#include "public/core_util/userattr.h"
#include "public/util/config.h"
#include "tests/builder_fixture.h"
#include "tests/support/text_lists.h"

using builder_test::LogCapture;
using builder_test::LogLines;
using builder_test::Tokens;

namespace {

// ---- Texts, lists and scalars ----------------------------------------------

TEST(TextStorers, ReplaceSplitAndStripMailto) {
    char* field = nullptr;
    EXPECT_EQ(0, calparser_recurrence_populateProperties(&field, "first"));
    EXPECT_EQ(1, calparser_recurrence_populateProperties(&field, nullptr));
    EXPECT_STREQ("first", field);  // a NULL source leaves the text
    // Only an all-lower or all-upper "mailto:" goes.
    const std::pair<const char*, const char*> mails[] = {{"MAILTO:b@x.org", "b@x.org"},
                                                         {"Mailto:c@x.org", "Mailto:c@x.org"}};
    for (const auto& c : mails) {
        EXPECT_EQ(0, calparser_storeEmailProperty(&field, c.first));
        EXPECT_STREQ(c.second, field);
    }
    PL_strfree(field);

    array_t* list = nullptr;
    EXPECT_EQ(0, calparser_addStringToPropertyArray(&list, "a"));
    EXPECT_EQ(0, calparser_populate_commaListArray(&list, "WORK,,\"a,b\""));
    EXPECT_EQ((Strings{"a", "WORK", "", "\"a,b\""}), strings(list));
    array_free_and_destroy(&list);
    EXPECT_EQ(0, calparser_populate_commaListArray(&list, ""));
    EXPECT_EQ(nullptr, list);  // no item: no array
    EXPECT_EQ(0, calparser_addCalAddressListToList(
                     &list, "\"mailto:a@x.org\", \"mailto:b@x.org\",,\"\", ,mailto:c@x.org"));
    EXPECT_EQ((Strings{"mailto:a@x.org", "mailto:b@x.org", "mailto:c@x.org"}), strings(list));
    array_free_and_destroy(&list);
}

TEST(ScalarStorers, IntegerPriorityAndStatus) {
    int n = 5;
    EXPECT_EQ(0, calparser_storeIntegerProperty(&n, "-3", 2, nullptr));
    EXPECT_EQ(5, n);  // changed only for digits

    // PRIORITY keeps the low four bits and no other bit of the word.
    CALDB_VEVENT* event = caldb_NewEvent();
    const std::pair<const char*, unsigned> cases[] = {{"abc", 0}, {"20", 4}};
    for (const auto& c : cases) {
        event->nPriority = 7;
        EXPECT_EQ(0, calparser_populateEventPriorityProp((void**)&event, c.first,
                                                         (int)strlen(c.first), nullptr));
        EXPECT_EQ(c.second, event->nPriority) << c.first;
    }
    EXPECT_EQ(0u, event->nFlags & 0x0FFFFFFFu);

    // A status the kind does not know gives 2 and the kind's default.
    EXPECT_EQ(0, calparser_populateEventStatusProp((void**)&event, TOKEN_TENTATIVE));
    EXPECT_EQ(2u, event->nStatus);
    EXPECT_EQ(2, calparser_populateEventStatusProp((void**)&event, TOKEN_NEEDS_ACTION));
    EXPECT_EQ(0u, event->nStatus);  // CONFIRMED
    // TRANSP is one bit of the same word.
    calparser_populateTranspProp((void**)&event, TOKEN_TRANSPARENT);
    EXPECT_EQ(0x40u, event->nFlags & 0x0FFFFFFFu);
    caldb_FreeEvent(&event);
    CALDB_VTODO* todo = caldb_NewToDo();
    EXPECT_EQ(2, calparser_populateTodoStatusProp((void**)&todo, TOKEN_TENTATIVE));
    EXPECT_EQ(3u, todo->nStatus);  // NEEDS-ACTION
    EXPECT_EQ(0u, todo->nFlags & ~(0x3Fu << 21));  // no other bit touched
    caldb_FreeToDo(&todo);
}

TEST(ScalarStorers, GeoInMillionthsOnlyForTwoParts) {
    // Truncated toward zero, with no binary rounding below the exact value;
    // beyond the range limited; anything but two parts stores nothing.
    const struct {
        const char* text;
        int rc;
        int32_t lat, lon;
    } cases[] = {{"37.386013;-122.082932", 0, 37386013, -122082932},
                 {"1;2;3", 1, 37386013, -122082932},
                 {"0.57;-0.0000019", 0, 570000, -1},
                 {"north;5000", 0, 0, INT32_MAX}};
    CALDB_VEVENT* event = caldb_NewEvent();
    for (const auto& c : cases) {
        EXPECT_EQ(c.rc, calparser_populateGeoProp((void**)&event, c.text)) << c.text;
        EXPECT_EQ(c.lat, event->nGeoLat) << c.text;
        EXPECT_EQ(c.lon, event->nGeoLon) << c.text;
    }
    caldb_FreeEvent(&event);
}

// ---- Attendees and organizer -----------------------------------------------

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
        userattr_directory_add("guest", nullptr, "Guest", "guest@example.com");
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

// Keyword values are the keyword tables' test; here the record's rules.
TEST_F(Attendees, ParametersFillTheRecordAndTheLaterOneWins) {
    ASSERT_EQ(0, store("ATTENDEE;ROLE=CHAIR;CN=A;CN=B;X-Z9KQ-EMAIL=e@x"
                       ";MEMBER=\"mailto:m1@x.org\",\"mailto:m2@x.org\";DELEGATED-TO=\"mailto:t@x.org\""
                       ";X-KVAL-ATTENDEE-GSE-STATUS=7;X-KVAL-ATTENDEE-GSE-STATUS=x;ROLE=:jdoe",
                       1));
    ASSERT_EQ(1u, count());
    CALDB_ATTENDEE* a = at(0);
    EXPECT_STREQ("CHAIR", a->pRole);  // the empty ROLE is skipped
    EXPECT_STREQ("B", a->pCn);
    EXPECT_EQ((Strings{"mailto:m1@x.org", "mailto:m2@x.org"}), strings(a->aMembers));
    EXPECT_EQ((Strings{"mailto:t@x.org"}), strings(a->aDelegatedTo));
    EXPECT_EQ(7, a->nSentStatus);  // a GSE status that is no number changes nothing
    EXPECT_STREQ("jdoe", a->pCalid);
    EXPECT_STREQ("e@x", a->pAddr);  // the parameter's address is kept
}

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
        {"ATTENDEE:nobody:cal", 1, 0, {"nobody:cal|-|nobody:cal"}, {}},
        // The address of one calendar: the directory's name fills a missing CN.
        {"ATTENDEE:mailto:jdoe@example.com", 0, 0, {"jdoe|John Doe|mailto:jdoe@example.com"}, {}},
        // Of several calendars: one attendee each, named as the directory names it.
        {"ATTENDEE;CN=Team:mailto:team@example.com", 0, 0,
         {"team:a|Team A|mailto:team@example.com", "team:b|-|mailto:team@example.com"}, {}},
        // Of a user without a calendar, of several users (dropped).
        {"ATTENDEE;CN=G:MAILTO:guest@example.com", 0, 0, {"-|Guest|mailto:guest@example.com"}, {}},
        {"ATTENDEE:mailto:shared@example.com", 0, 0, {}, {}},
        // A calendar id gets its mail address; found through the user id, the id goes.
        {"ATTENDEE:jdoe:work", 0, 0, {"jdoe:work|-|mailto:jdoe@example.com"}, {}},
        {"ATTENDEE:solo", 0, 0, {"-|-|mailto:solo@example.com"}, {}},
        {"ATTENDEE:pair", 0, 0, {"pair|-|mailto:p1@example.com"},
         {{4, "calparser: pAtt->pCalid = pair was associated with *2* mails, using first value "
              "of mailto:p1@example.com.\n"}}},
        {"ATTENDEE;CN=X:ghost", 0, 1, {},
         {{4, "calparser:  No Available Email address in ldap for calid: ghost"}}},
        {"ATTENDEE;X-Z9KQ-CALID=jdoe:", 1, 1, {},
         {{4, "line (1), calparser: ATTENDEE without a value is dropped."}}},
    };
    for (const auto& c : cases) {
        LogCapture log;
        EXPECT_EQ(c.rc, store(c.line, c.resolved)) << c.line;
        Strings stored;
        for (unsigned i = 0; i < count(); i++) stored.push_back(summary(at(i)));
        EXPECT_EQ(c.attendees, stored) << c.line;
        EXPECT_EQ(c.messages, builder_test::messages(log)) << c.line;
        caldb_FreeList(&list, CALDB_LIST_ATTENDEES);
    }

    // The traces name the value as written and what the directory was asked.
    LogCapture log;
    store("ATTENDEE:mailto:jdoe@example.com");
    store("ATTENDEE:jdoe:work");
    EXPECT_EQ((LogLines{{7, "calparser: original pAtt->pAddr = mailto:jdoe@example.com.\n"},
                        {7, "calparser: pMail = jdoe@example.com.\n"},
                        {7, "calparser: original pAtt->pCalid = jdoe:work.\n"},
                        {7, "calparser: pAtt->pAddr = mailto:jdoe@example.com.\n"}}),
              log.lines());
}

// ---- Recurrence lists -------------------------------------------------------

TEST(RecurrenceStorers, RulesDatesAndPeriods) {
    Tokens rrule{"RRULE:freq=daily;interval=2"};
    array_t* texts = array_new();
    EXPECT_EQ(0, calparser_storeRecurrencePropertyToVector(texts, rrule.token()->pValue));
    EXPECT_STREQ("freq=daily;interval=2", rrule.token()->pValue);  // the token stays

    const char* rdate = "19990101T000000Z,19990101T000000Z/PT1H,,19990102,19990103/x";
    array_t* periods = array_new();
    EXPECT_EQ(0, calparser_storeRecurDateTimePeriodPropertyToVector(texts, periods, rdate,
                                                                    (int)strlen(rdate)));
    // Only the first nLen characters count.
    EXPECT_EQ(0, calparser_storeRecurDateTimePropertyToVector(texts, "20000101,20000102", 11));
    EXPECT_EQ((Strings{"FREQ=DAILY;INTERVAL=2", "19990101T000000Z", "19990101T000000Z/PT1H",
                       "19990102", "19990103/x", "20000101", "20"}),
              strings(texts));
    ASSERT_EQ(1u, periods->count);  // the last item is no valid period
    CAL_TIME_PERIOD* period = (CAL_TIME_PERIOD*)periods->data[0];
    EXPECT_EQ(915148800, (long)period->tStart);
    EXPECT_EQ(915148800 + 3600, (long)period->tEnd);
    cal_time_DestroyPeriod(&period);
    array_delete(periods);
    array_free_and_destroy(&texts);
}

}  // namespace
