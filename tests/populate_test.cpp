// Property storers, fed with tokens that the iCalendar lexer makes from
// single content lines.
#include "core/parser/populate.h"

#include <gtest/gtest.h>
#include <plstr.h>

#include <string>

#include "public/core_util/userattr.h"
#include "public/util/config.h"
#include "tests/support/builder_fixture.h"
#include "tests/support/text_lists.h"

using builder_test::Tokens;

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

// A list a storer creates stays, empty, when nothing is added to it (date
// lists: populate_datetime_test.cpp).
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

}  // namespace
