// The assembly driver: the calendar-level walk, METHOD, messages, the
// calendar-properties lines and the slots each pass appends.
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include <plstr.h>

#include "core/parser/calparser.h"
#include "public/ac/acl.h"
#include "tests/support/builder_fixture.h"
#include "tests/support/text_lists.h"


namespace {

class Assembly : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_NE(nullptr, CALPARSER_STR::Instance()); }
    void TearDown() override {
        calparser_FreeTokenList(tokens);
        array_delete(tokens);
        calparser_FreeComponentArrayAndDestroy(&result);
        for (char* text : {props.pDescription, props.pParentCalid, props.pRelativeCalid,
                           props.pCalmaster, props.pName, props.pCharset, props.pLanguage,
                           props.pPrimaryOwner, props.pTzid})
            PL_strfree(text);
        for (array_t** list : {&props.pOwners, &props.pChildren, &props.pCategories})
            array_free_and_destroy(list);
        acl_misc_FreeACEList(&props.pAceList);
    }

    // Stores the one line `line` as the walk would, or with ACE replacement.
    void store(const char* line, int bReplaceAces = 0, int* pbFirstAce = nullptr) {
        std::string text = line;
        CALPARSER_TOKEN* token = calparser_NewToken();
        ASSERT_EQ(0, calparser_populate_token(&token, &text[0], 1));
        EXPECT_EQ(0, calparser_handle_X_KVAL_tokens(token, &props, bReplaceAces, pbFirstAce));
        calparser_FreeToken(&token);
    }
    const CALDB_ACE* ace(unsigned i) const {
        return static_cast<const CALDB_ACE*>(array_elementat(props.pAceList, i));
    }

    void lex(std::string text) {
        calparser_FreeTokenList(tokens);
        unsigned consumed = 0;
        unsigned line = 1;
        ASSERT_EQ(0, calparser_icalbuf_to_toklist(&text[0], (unsigned)text.size(), &tokens,
                                                  &consumed, &line, 0));
    }
    int walk(int pass) {
        if (!result) result = array_new();
        char tzid[] = "Africa/Casablanca";
        return calparser_create_components_from_tokens(
            result, tokens, static_cast<eCALPARSER_PARSER_PASS>(pass), tzid, &props, &state,
            nullptr);
    }
    // Both passes, as the parse entry runs them.
    void walk_both() {
        ASSERT_EQ(0, walk(1));
        ASSERT_EQ(0, walk(2));
    }
    size_t slot_count(unsigned slot) const {
        return static_cast<array_t*>(array_elementat(result, slot))->count;
    }

    LogCapture log;
    array_t* tokens = nullptr;
    array_t* result = nullptr;
    CALDB_CALPROPS props = {};
    unsigned state = 0;
};

// A journal is walked to its END past its own alarm. A stray alarm's lines
// are calendar-level lines: its X-KVAL-CALPROPS line is stored. The last
// METHOD gives the state; an unknown one counts as PUBLISH.
TEST_F(Assembly, UnsupportedComponentsStrayAlarmsAndMethodsAreReportedInEachPass) {
    lex("BEGIN:VCALENDAR\r\nMETHOD:REQUEST\r\nMETHOD:SHOUT\r\n"
        "BEGIN:VJOURNAL\r\nBEGIN:VALARM\r\nEND:VALARM\r\nEND:VJOURNAL\r\n"
        "BEGIN:X-NOTE\r\nSUMMARY:note\r\nEND:X-NOTE\r\n"
        "BEGIN:VALARM\r\nTRIGGER:-PT15M\r\nX-KVAL-CALPROPS-NAME:inside\r\nEND:VALARM\r\n"
        "END:VCALENDAR\r\n");
    walk_both();
    const std::pair<int, std::string> method(
        5, "line (3), calparser: Unknown METHOD encountered.  Assuming PUBLISH");
    const std::pair<int, std::string> journal(
        4, "line (4), calparser: Unsupported component in Orrin 1.0 found.");
    const std::pair<int, std::string> note(
        4, "line (8), calparser: Unsupported component in Orrin 1.0 found.");
    const std::pair<int, std::string> alarm(5, "line (11), calparser: VALARM in wrong scope.");
    EXPECT_EQ((LogLines{method, journal, note, alarm, method, journal, note, alarm}), log.lines());
    EXPECT_EQ(1u, state);
    EXPECT_STREQ("inside", props.pName);
    ASSERT_EQ(5u, result->count);
    EXPECT_EQ(0u, slot_count(1));
    EXPECT_EQ(0u, slot_count(2));
}

// Pass 1 builds the zones (so that an event before its zone is read in it in
// pass 2), pass 2 the events and to-dos, any other pass nothing. A builder
// consumes its component's lines: the walk never stores an X- line in them.
TEST_F(Assembly, EachPassBuildsItsKinds) {
    lex("BEGIN:VCALENDAR\r\n"
        "BEGIN:VEVENT\r\nUID:a\r\nX-KVAL-CALPROPS-NAME:in the event\r\nEND:VEVENT\r\n"
        "BEGIN:VTODO\r\nUID:b\r\nEND:VTODO\r\n"
        "BEGIN:VTIMEZONE\r\nTZID:Test/Late\r\nBEGIN:STANDARD\r\nTZOFFSETTO:-0300\r\n"
        "END:STANDARD\r\nEND:VTIMEZONE\r\nEND:VCALENDAR\r\n");
    ASSERT_EQ(0, walk(1));
    ASSERT_EQ(1u, result->count);
    EXPECT_EQ(1u, slot_count(0));
    ASSERT_EQ(0, walk(2));
    ASSERT_EQ(5u, result->count);
    EXPECT_EQ(1u, slot_count(0));
    EXPECT_EQ(1u, slot_count(1));
    EXPECT_EQ(1u, slot_count(2));
    ASSERT_EQ(0, walk(3));
    EXPECT_EQ(5u, result->count);
    EXPECT_EQ(nullptr, props.pName);
}

// Rights keep the low four bits of their number (999 and anything that is
// not a number mean none); a resource is the number 1 alone.
TEST_F(Assembly, CalendarRightsAndResourceAreNumbers) {
    const struct {
        const char* value;
        unsigned bits;
    } rights[] = {{"17", 1}, {"999", 0}, {"31", 15}, {"abc", 0}, {"", 0}};
    for (const auto& row : rights) {
        props.nFlags = 0xFFFFFFFFu;
        store(("X-KVAL-CALPROPS-READ:" + std::string(row.value)).c_str());
        store(("X-KVAL-CALPROPS-WRITE:" + std::string(row.value)).c_str());
        EXPECT_EQ(row.bits, props.nRead) << row.value;
        EXPECT_EQ(row.bits, props.nWrite) << row.value;
        EXPECT_EQ(1u, props.bResource) << "the other bits stay";
    }
    const struct {
        const char* value;
        unsigned resource;
    } resources[] = {{"1", 1}, {"2", 0}, {"1", 1}, {"yes", 0}};
    for (const auto& row : resources) {
        store(("X-KVAL-CALPROPS-RESOURCE:" + std::string(row.value)).c_str());
        EXPECT_EQ(row.resource, props.bResource) << row.value;
    }
}

// Texts: the last line wins; lists: lines append; times are UTC texts. The
// other extension names of the range store nothing.
TEST_F(Assembly, CalendarPropertyLinesFillTheirFields) {
    for (const char* line :
         {"X-KVAL-CALPROPS-DESCRIPTION:d", "X-KVAL-CALPROPS-PARENT-CALID:p",
          "X-KVAL-CALPROPS-RELATIVE-CALID:r", "X-KVAL-CALPROPS-CHARSET:c",
          "X-KVAL-CALPROPS-PRIMARY-OWNER:o", "X-KVAL-CALPROPS-TZID:z",
          "X-KVAL-CALPROPS-CATEGORIES:w", "X-KVAL-CALPROPS-CREATED:20000101T000000Z",
          "X-KVAL-CALPROPS-CALMASTER:root", "X-KVAL-CALPROPS-LANGUAGE:en",
          "X-KVAL-CALPROPS-LANGUAGE:fr", "X-KVAL-CALPROPS-CHILDREN:a", "X-KVAL-CALPROPS-CHILDREN:b",
          "X-KVAL-CALPROPS-LAST-MODIFIED:20000101T000000Z", "X-KVAL-LINK-CALID:other",
          "X-KVAL-GSE-COMPONENT-STATE:3", "X-KVAL-ORIGINAL-DTSTART:20000101T000000Z"})
        store(line);
    for (char* text : {props.pDescription, props.pParentCalid, props.pRelativeCalid,
                       props.pCharset, props.pPrimaryOwner, props.pTzid})
        EXPECT_TRUE(text && strlen(text) == 1);  // the one letter given
    EXPECT_STREQ("root", props.pCalmaster);
    EXPECT_STREQ("fr", props.pLanguage);
    EXPECT_EQ((Strings{"a", "b"}), strings(props.pChildren));
    EXPECT_EQ(946684800, props.tLastModified);
    EXPECT_EQ(946684800, props.tCreated);
    EXPECT_EQ((Strings{"w"}), strings(props.pCategories));
    EXPECT_EQ(nullptr, props.pName);
    EXPECT_EQ(nullptr, props.pAceList);
}

// Access-control entries are appended in order; a text that is no entry is
// dropped. With replacement asked for, the first good entry replaces the
// whole list and clears the flag, so later ones are appended again.
TEST_F(Assembly, AccessControlEntriesAppendOrReplace) {
    store("X-KVAL-CALPROPS-ACCESS-CONTROL-ENTRY:grant jdoe calprops schedule");
    store("X-KVAL-CALPROPS-ACCESS-CONTROL-ENTRY:bogus");
    store("X-KVAL-CALPROPS-ACCESS-CONTROL-ENTRY:deny * components read,write");
    ASSERT_EQ(2u, props.pAceList->count);
    EXPECT_EQ(ACL_RIGHT_SCHEDULE, ace(0)->nRights);  // the entries' texts are acl_test's
    EXPECT_EQ(ACL_RIGHT_READ | ACL_RIGHT_WRITE, ace(1)->nRights);
    EXPECT_EQ((LogLines{{4, "calparser: access-control entry \"bogus\" is not valid; it is dropped."}}),
              log.lines());

    int first = 1;
    store("X-KVAL-CALPROPS-ACCESS-CONTROL-ENTRY:bogus", 1, &first);
    EXPECT_EQ(1, first);   // a dropped entry replaces nothing
    EXPECT_EQ(2u, props.pAceList->count);
    store("X-KVAL-CALPROPS-ACCESS-CONTROL-ENTRY:grant * components all", 1, &first);
    EXPECT_EQ(0, first);
    store("X-KVAL-CALPROPS-ACCESS-CONTROL-ENTRY:grant ann components freebusy", 1, &first);
    ASSERT_EQ(2u, props.pAceList->count);
    EXPECT_EQ(ACL_RIGHTS_ALL, ace(0)->nRights);
    EXPECT_EQ(ACL_RIGHT_FREEBUSY, ace(1)->nRights);
}

}  // namespace
