#include "core/parser/cal_str.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

/* Texts the table must hold: the first of every forty values from 1000 (a
 * value missing or added anywhere shifts the texts after it), the texts with
 * control characters, misspellings that belong to the vocabulary, and the last. */
const std::pair<int, const char*> kKnownTexts[] = {
    {0, "<UNKNOWN>"}, {1000, "<not used>"}, {1006, ".\r\n"}, {1014, " \t"}, {1040, "URI"},
    {1080, "<iCal_Object_t>"}, {1095, "X-TAVO-CAPABILTIY"}, {1120, "EXRULE"}, {1160, "<iTIP_t>"},
    {1169, "REQ-PARTICPANT"}, {1200, "CONTINUE"}, {1206, "\r\n.\r\n"}, {1240, "BYYEARDAY"},
    {1280, "<iCal_BMPosMon_t>"}, {1320, "CONTACT"}, {1360, "X-TAVO-AUTH-UNIX"},
    {1376, "<iCal_Authenticated_t"}, {1400, "FREEBUSY"}, {1440, "X-KVAL-LINK-CALID"},
    {1464, "X-KVAL-DUE-TZID"},
};

/* The single-character values: the text is the character whose code is the value. */
const std::set<int> kSingleCharacterValues = {9,  32, 34, 43, 44, 45, 46, 47, 58, 59, 60, 61,
                                              62, 64, 68, 72, 77, 80, 83, 84, 87, 89, 90};

iCal_Token_t tok(int value) {
    return static_cast<iCal_Token_t>(value);
}

unsigned len(const char* s) {
    return static_cast<unsigned>(std::strlen(s));
}

}  // namespace

// Runs first: threads that all make the first Instance() call at once get one table.
TEST(KeywordTable, FirstUseFromManyThreadsGivesOneTable) {
    constexpr int kThreads = 8;
    std::atomic<bool> go{false};
    std::vector<CALPARSER_STR*> seen(kThreads, nullptr);
    std::vector<int> found(kThreads, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; i++) {
        threads.emplace_back([&, i] {
            while (!go.load())
                std::this_thread::yield();
            seen[i] = CALPARSER_STR::Instance();
            found[i] = calparser_getPropType("ATTENDEE", 8);
        });
    }
    go = true;
    for (std::thread& t : threads)
        t.join();
    ASSERT_NE(nullptr, seen[0]);
    for (int i = 0; i < kThreads; i++) {
        EXPECT_EQ(seen[0], seen[i]);
        EXPECT_EQ(1107, found[i]);
    }
}

TEST(KeywordTable, ValuesHaveTheirTextsAndNoOtherValueHasOne) {
    for (const auto& known : kKnownTexts) {
        const char* text = calparser_getICALString(tok(known.first));
        ASSERT_NE(nullptr, text) << "value " << known.first;
        EXPECT_STREQ(known.second, text) << "value " << known.first;
    }
    for (int value = 1; value < static_cast<int>(CALPARSER_STR::kTableSize); value++) {
        const char* text = calparser_getICALString(tok(value));
        if (kSingleCharacterValues.count(value)) {
            EXPECT_EQ(std::string(1, static_cast<char>(value)), text ? text : "<none>")
                << "value " << value;
        } else if (value >= 1000 && value <= 1464) {
            EXPECT_NE(nullptr, text) << "value " << value;
        } else {
            EXPECT_EQ(nullptr, text) << "value " << value;
        }
    }
    EXPECT_EQ(nullptr, calparser_getICALString(tok(2047)));
}

// Look-ups compare hashes only: two different texts with one hash would make
// one keyword stand for the other.
TEST(KeywordTable, OnlyTheKnownValuesShareATextAndOtherTextsHashApart) {
    std::map<std::string, std::set<int>> byText;
    for (int value = 0; value < static_cast<int>(CALPARSER_STR::kTableSize); value++) {
        if (const char* text = calparser_getICALString(tok(value)))
            byText[text].insert(value);
    }
    std::set<std::set<int>> shared;
    std::map<unsigned, std::string> byHash;
    for (const auto& entry : byText) {
        if (entry.second.size() > 1)
            shared.insert(entry.second);
        auto inserted = byHash.emplace(hashCode(entry.first.c_str()), entry.first);
        EXPECT_TRUE(inserted.second) << entry.first << " and " << inserted.first->second;
    }
    std::set<std::set<int>> expected = {
        {1023, 1027}, {1019, 1042, 1286}, {1132, 1342}, {1000, 1303}, {1033, 1288},
        {1099, 1397}, {1100, 1398},       {1101, 1399}, {1102, 1400}, {1113, 1403},
        {1208, 1402}, {1105, 1404},       {1124, 1409}, {1226, 1411}, {1084, 1410},
        {1287, 1416}, {1165, 1362},
    };
    EXPECT_EQ(expected, shared);
}

// The properties whose text also has another value, the first and last stored
// extensions, case and unknown names.
TEST(PropertyLookup, NamesGiveTheirValues) {
    const std::pair<const char*, int> cases[] = {
        {"END", 1084}, {"DURATION", 1288}, {"FREEBUSY", 1102}, {"X-KVAL-DUE-TZID", 1464},
        // Case matters except for the zone and recurrence extensions; unknown
        // names are extensions only with an X- prefix. Lower-case stored names
        // are compared by hash, so they are plain extensions.
        {"dtstart", 0}, {"x-z9kq-recurrence-count", 1456}, {"x-kval-tombstone", 1019},
        {"X-KVAL-ORGANIZER-UID", 1019},  // a parameter name
        {"X", 0}, {"XY-FOO", 0},
        // Keywords of other kinds are no property names.
        {"VEVENT", 0}, {"VALUE", 0}, {"RSTATUS", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.second, calparser_getPropType(c.first, len(c.first))) << c.first;

    // Only the hash of the first len bytes is compared: "DTSTAQy" hashes like
    // "DTSTART" ('R' one lower, 'T' 37 higher).
    EXPECT_EQ(1117, calparser_getPropType("DTSTART;TZID=Europe/Paris", 7));
    ASSERT_EQ(hashCode("DTSTART"), hashCode("DTSTAQy"));
    EXPECT_EQ(1117, calparser_getPropType("DTSTAQy", 7));
}

// The lexer tests show the common names; here the shared texts and the
// extension rules of each list.
TEST(ParameterLookup, EachListGivesItsOwnValues) {
    const std::pair<const char*, int> params[] = {
        {"RELATED", 1124}, {"RELTYPE", 1287}, {"X-TAVO-SENT-STATUS", 1452}, {"VALUE", 1027},
        {"X-KVAL-ORGANIZER-UID", 1443}, {"x-kval-organizer-uid", 1286}, {"X", 0}, {"cn", 0},
    };
    for (const auto& c : params)
        EXPECT_EQ(c.second, calparser_getParamType(c.first)) << c.first;
    EXPECT_EQ(1289, calparser_getXMLParamType("SENTBY"));
    EXPECT_EQ(0, calparser_getRecurrenceParamType("freq"));
    // Lower-case and bare component names are no components.
    EXPECT_EQ(1019, calparser_getComponentType("x-comp", 6));
    EXPECT_EQ(0, calparser_getComponentType("vevent", 6));
    EXPECT_EQ(0, calparser_getComponentType("EVENT", 5));
    EXPECT_EQ(1092, calparser_getStatusType("METHOD", 6));  // a quirk stored records rely on
    const std::pair<const char*, int> classes[] = {
        {"PUBLIC", 1219}, {"PRIVATE", 1220}, {"CONFIDENTIAL", 1221}, {"public", 0}, {"X-SECRET", 0}};
    for (const auto& c : classes)
        EXPECT_EQ(c.second, calparser_getClassType(c.first, len(c.first))) << c.first;
}

// PARTSTAT, RSVP and SENT-STATUS texts to the codes attendee records keep.
TEST(ValueLookup, AttendeeCodes) {
    const std::pair<const char*, int> partstats[] = {
        {"NEEDS-ACTION", 1}, {"ACCEPTED", 2}, {"DELEGATED", 5}, {"IN-PROCESS", 8},
        {"accepted", 9},     {"X-MAYBE", 9},
    };
    for (const auto& c : partstats)
        EXPECT_EQ(c.second, calparser_getPartStatType(c.first)) << c.first;
    // And back: the writers name codes 1 to 6 and 8; the others have no text.
    const std::pair<int, const char*> names[] = {
        {1, "NEEDS-ACTION"}, {4, "TENTATIVE"}, {6, "COMPLETED"}, {8, "IN-PROCESS"},
        {0, nullptr},        {7, nullptr},     {9, nullptr},
    };
    for (const auto& c : names)
        EXPECT_STREQ(c.second, calparser_getPartStatName(c.first)) << c.first;
    EXPECT_EQ(1, calparser_getRSVPType("TRUE"));
    EXPECT_EQ(2, calparser_getSentStatusType("SENT-SUCCEEDED"));
}
