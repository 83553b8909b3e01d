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

/* Texts the table must hold: the first of every ten values from 1000 (a value
 * missing or added anywhere shifts the texts after it), the texts with control
 * characters, misspellings that belong to the vocabulary, and the last value. */
const std::pair<int, const char*> kKnownTexts[] = {
    {0, "<UNKNOWN>"}, {1000, "<not used>"}, {1006, ".\r\n"}, {1010, "<iCal_POP_t>"},
    {1012, "\r\n"}, {1014, " \t"}, {1020, "<iCal_Iana_Name_t>"}, {1030, "CAL-ADDRESS"},
    {1040, "URI"}, {1050, "<iCal_IanaPValue_t>"}, {1060, "<iCal_TimeSecond_t>"},
    {1070, "<iCal_DurMonth_t>"}, {1080, "<iCal_Object_t>"}, {1090, "CALSCALE"},
    {1095, "X-TAVO-CAPABILTIY"}, {1100, "TODO"}, {1110, "COMMENT"}, {1117, "DTSTART"},
    {1120, "EXRULE"}, {1130, "REQUEST-STATUS"}, {1140, "UID"}, {1150, "REQUEST"},
    {1160, "<iTIP_t>"}, {1169, "REQ-PARTICPANT"}, {1170, "RSVP"}, {1177, "NON-PARTICPANT"},
    {1180, "DELEGATE"}, {1190, "NO"}, {1200, "CONTINUE"}, {1206, "\r\n.\r\n"},
    {1210, "TZOFFSETTO"}, {1220, "PRIVATE"}, {1230, "<iCal_RdValue_t>"}, {1240, "BYYEARDAY"},
    {1250, "<iCal_BSPList_t>"}, {1260, "<iCal_OrdWk_t>"}, {1270, "<iCal_BDWeekDayNum_t>"},
    {1280, "<iCal_BMPosMon_t>"}, {1286, "X-"}, {1290, "DIR"}, {1300, "CONFIRMED"}, {1310, "NNTP"},
    {1320, "CONTACT"}, {1330, "8BIT"}, {1340, "localhost"}, {1350, "X-TAVO-OPEN-CAL"},
    {1360, "X-TAVO-AUTH-UNIX"}, {1370, "8.0"}, {1376, "<iCal_Authenticated_t"},
    {1380, "X-TAVO-NUMBER-ENTRIES"}, {1390, "/TIMEZONE"}, {1400, "FREEBUSY"}, {1410, "END"},
    {1420, "X-KVAL-TZCROSS"}, {1430, "X-KVAL-CALPROPS-CALMASTER"}, {1440, "X-KVAL-LINK-CALID"},
    {1450, "SENT-SUCCEEDED"}, {1460, "X-Z9KQ-CALID"}, {1464, "X-KVAL-DUE-TZID"},
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
    EXPECT_EQ(seen[0], CALPARSER_STR::m_Instance);
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

TEST(KeywordHash, MultipliesBy37AndSamplesLongTexts) {
    EXPECT_EQ(1u, hashCodeWithLen("", 0));
    EXPECT_EQ(1u, hashCode(nullptr));
    EXPECT_EQ(1u, hashCodeWithLen("\0", 1));  // a sum of 0 becomes 1
    EXPECT_EQ(65u * 37 + 66, hashCodeWithLen("AB", 2));
    EXPECT_EQ(65u, hashCodeWithLen("AB", 1));  // only the first len bytes
    // Bytes count as signed char: 0xC3 is -61, 0xA9 is -87.
    EXPECT_EQ(4294964952u, hashCodeWithLen("\xC3\xA9", 2));
    // Wraps in 32 bits: 68, 84, 83, 84, 65, 82, 84 folded by 37, modulo 2^32.
    EXPECT_EQ(65564086u, hashCode("DTSTART"));

    // Below 128 bytes every byte counts; from 128 on every (len / 64)-th byte.
    std::string alternating;
    for (int i = 0; i < 64; i++)
        alternating += "ab";
    std::string evenBytes(64, 'a');
    EXPECT_EQ(hashCode(evenBytes.c_str()), hashCode(alternating.c_str()));
    EXPECT_NE(hashCode(evenBytes.c_str()), hashCode(alternating.substr(0, 127).c_str()));
    // 200 bytes: step 3, so positions 0, 3, ..., 198.
    std::string text(200, 'q');
    std::string sampled;
    for (int p = 0; p < 200; p += 3) {
        text[p] = static_cast<char>('A' + p % 26);
        sampled += text[p];
    }
    EXPECT_EQ(hashCode(sampled.c_str()), hashCode(text.c_str()));
}

// The standard properties whose text also has another value, the first and
// last stored extensions, case and unknown names.
TEST(PropertyLookup, NamesGiveTheirValues) {
    const std::pair<const char*, int> cases[] = {
        {"BEGIN", 1081}, {"END", 1084}, {"DURATION", 1288}, {"FREEBUSY", 1102}, {"TZID", 1293},
        {"DTSTART", 1117}, {"RELATED-TO", 1285}, {"URL", 1332}, {"CONTACT", 1320},
        {"REQUEST-STATUS", 1130}, {"X-KVAL-TZCROSS", 1420}, {"X-Z9KQ-TZID-ALIAS", 1453},
        {"X-Z9KQ-ATTENDEE-EXDATELIST", 1459}, {"X-KVAL-CALPROPS-ACCESS-CONTROL-ENTRY", 1439},
        {"X-KVAL-CALPROPS-RESOURCE", 1446}, {"X-KVAL-DTSTART-TZID", 1448}, {"X-KVAL-DUE-TZID", 1464},
        // Case matters except for the zone and recurrence extensions; unknown
        // names are extensions only with an X- prefix. Lower-case stored names
        // are compared by hash, so they are plain extensions.
        {"dtstart", 0}, {"x-z9kq-recurrence-count", 1456}, {"X-Kval-TzCross", 1420},
        {"x-Z9KQ-tzid-alias", 1453}, {"x-kval-tombstone", 1019}, {"x-kval-due-tzid", 1019},
        {"x-wr-calname", 1019}, {"X-", 1019},
        {"X-KVAL-ORGANIZER-UID", 1019},  // a parameter name
        {"X-TAVO-SENT-STATUS", 1019}, {"X", 0}, {"XY-FOO", 0}, {"FOO", 0}, {"", 0},
        // Keywords of other kinds are no property names.
        {"VEVENT", 0}, {"VALUE", 0}, {"RSTATUS", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.second, calparser_getPropType(c.first, len(c.first))) << c.first;
    EXPECT_EQ(0, calparser_getPropType(nullptr, 0));

    // Only the hash of the first len bytes is compared: "DTSTAQy" hashes like
    // "DTSTART" ('R' one lower, 'T' 37 higher).
    EXPECT_EQ(1117, calparser_getPropType("DTSTART;TZID=Europe/Paris", 7));
    ASSERT_EQ(hashCode("DTSTART"), hashCode("DTSTAQy"));
    EXPECT_EQ(1117, calparser_getPropType("DTSTAQy", 7));
}

TEST(XmlPropertyLookup, TagsGiveTypeAndValue) {
    struct Case {
        const char* tag;
        int type;
        int value;
    };
    const Case cases[] = {
        {"VCALENDAR", 1081, 1082}, {"ICAL", 1081, 1082},      {"EVENT", 1081, 1103},
        {"TODO", 1081, 1141},      {"JOURNAL", 1081, 1142},   {"FREEBUSY", 1081, 1143},
        {"TIMEZONE", 1081, 1145},  {"DAYLIGHT", 1081, 1113},  {"STANDARD", 1081, 1208},
        {"ALARM", 1081, 1144},     {"ICALENDAR", 0, 1396},    {"/ICALENDAR", 0, 1396},
        {"/VCALENDAR", 1084, 1082}, {"/ICAL", 1084, 1082},    {"/EVENT", 1084, 1103},
        {"/TIMEZONE", 1084, 1145}, {"/STANDARD", 1084, 1208},
        {"/ALARM", 1084, 1144},    {"RSTATUS", 1130, 0},      {"LAST-MOD", 1121, 0},
        {"SEQ", 1133, 0},          {"RECURID", 1126, 0},      {"END", 1115, 0},
        {"START", 1117, 0},        {"FBDATA", 1102, 0},       {"PERCENT", 1093, 0},
        {"DESC", 1114, 0},
        // Anything else is looked up as a property name.
        {"DTSTART", 1117, 0},      {"SUMMARY", 1135, 0},      {"X-FOO", 1019, 0},
        {"/X-", 0, 0},             {"/SUMMARY", 0, 0},        {"BOGUS", 0, 0},
    };
    for (const Case& c : cases) {
        iCal_Token_t type = tok(2000);  // not a keyword: shows whether it was written
        iCal_Token_t value = tok(2000);
        EXPECT_EQ(c.type, calparser_getXMLPropType(c.tag, len(c.tag), &type, &value)) << c.tag;
        EXPECT_EQ(c.type, type) << c.tag;
        EXPECT_EQ(c.value, value) << c.tag;
    }
    EXPECT_EQ(1084, calparser_getXMLPropType("/EVENT", 6, nullptr, nullptr));
}

TEST(ParameterLookup, KnownParametersGiveTheirValues) {
    const std::pair<const char*, int> cases[] = {
        {"ALTREP", 1025}, {"CN", 1291}, {"DELEGATED-FROM", 1187}, {"FMTTYPE", 1382},
        {"LANGUAGE", 1024}, {"RELATED", 1124}, {"RELTYPE", 1287}, {"SENT-BY", 1289},
        {"SENT-STATUS", 1449}, {"X-TAVO-SENT-STATUS", 1452}, {"TZID", 1293}, {"VALUE", 1027},
        {"X-KVAL-ORGANIZER-UID", 1443}, {"X-Z9KQ-EMAIL", 1461},
        // Extensions and unknown names.
        {"X-MY-PARAM", 1286}, {"x-my-param", 1286}, {"x-kval-organizer-uid", 1286},
        {"X", 0}, {"cn", 0}, {"DTSTART", 0}, {"", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.second, calparser_getParamType(c.first)) << c.first;
    EXPECT_EQ(0, calparser_getParamType(nullptr));
}

TEST(ParameterLookup, XmlAttributesAndRecurrenceRuleParts) {
    const std::pair<const char*, int> attributes[] = {
        {"SENTBY", 1289}, {"RELTYPE", 1124} /* RELATED, not RELTYPE */, {"LANG", 1024},
        {"DELTO", 1186},  {"DELFROM", 1187}, {"CN", 1291}, {"TZID", 1293}, {"X-A", 1286},
        {"BOGUS", 0},
    };
    for (const auto& c : attributes)
        EXPECT_EQ(c.second, calparser_getXMLParamType(c.first)) << c.first;
    EXPECT_EQ(0, calparser_getXMLParamType(nullptr));

    const std::pair<const char*, int> parts[] = {
        {"FREQ", 1234},      {"UNTIL", 1235},     {"COUNT", 1236},    {"INTERVAL", 1237},
        {"BYSECOND", 1335},  {"BYMINUTE", 1336},  {"BYHOUR", 1337},   {"BYDAY", 1238},
        {"BYMONTHDAY", 1239}, {"BYYEARDAY", 1240}, {"BYWEEKNO", 1242}, {"BYMONTH", 1243},
        {"BYSETPOS", 1241},  {"WKST", 1244},      {"X-NAME", 1286},   {"x-name", 1286},
        {"freq", 0},         {"TZID", 0},         {"X", 0},
    };
    for (const auto& c : parts)
        EXPECT_EQ(c.second, calparser_getRecurrenceParamType(c.first)) << c.first;
    EXPECT_EQ(0, calparser_getRecurrenceParamType(nullptr));
}

// The look-ups of keyword-valued properties, all with a length argument.
TEST(ValueLookup, KeywordValuedProperties) {
    using Lookup = iCal_Token_t (*)(const char*, unsigned);
    struct Case {
        Lookup lookup;
        const char* text;
        int value;
    };
    const Lookup method = calparser_getMethodType, component = calparser_getComponentType,
                 action = calparser_getActionType, klass = calparser_getClassType,
                 status = calparser_getStatusType, transp = calparser_getTranspType;
    const Case cases[] = {
        {method, "PUBLISH", 1149}, {method, "ADD", 1131}, {method, "DECLINECOUNTER", 1155},
        {method, "publish", 0}, {method, "X-METHOD", 0}, {method, "CANCELLED", 0},
        {component, "VCALENDAR", 1082}, {component, "VEVENT", 1103}, {component, "VTODO", 1141},
        {component, "VJOURNAL", 1142}, {component, "VFREEBUSY", 1143},
        {component, "VTIMEZONE", 1145}, {component, "DAYLIGHT", 1113},
        {component, "STANDARD", 1208}, {component, "VALARM", 1144}, {component, "X-COMP", 1019},
        {component, "x-comp", 1019}, {component, "vevent", 0}, {component, "X", 0},
        {component, "EVENT", 0},
        {action, "AUDIO", 1213}, {action, "PROCEDURE", 1216}, {action, "X-SPEAK", 0},
        {klass, "PUBLIC", 1219}, {klass, "CONFIDENTIAL", 1221}, {klass, "SECRET", 0},
        {status, "TENTATIVE", 1299}, {status, "CANCELLED", 1188}, {status, "NEEDS-ACTION", 1181},
        {status, "IN-PROCESS", 1323}, {status, "DRAFT", 1018}, {status, "METHOD", 1092},
        {status, "ACCEPTED", 0}, {status, "confirmed", 0},
        {transp, "TRANSPARENT", 1302}, {transp, "OPAQUE", 1338}, {transp, "BUSY", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.value, c.lookup(c.text, len(c.text))) << c.text;
    EXPECT_EQ(1103, calparser_getComponentType("VEVENT\r", 6));
    EXPECT_EQ(0, calparser_getComponentType(nullptr, 0));
    EXPECT_EQ(0, calparser_getTranspType(nullptr, 0));
}

TEST(ValueLookup, AttendeeCodesAndWeekdays) {
    const std::pair<const char*, int> partstats[] = {
        {"NEEDS-ACTION", 1}, {"ACCEPTED", 2},  {"DECLINED", 3}, {"TENTATIVE", 4},
        {"DELEGATED", 5},    {"COMPLETED", 6}, {"IN-PROCESS", 8}, {"accepted", 9},
        {"X-MAYBE", 9},      {"", 9},
    };
    for (const auto& c : partstats)
        EXPECT_EQ(c.second, calparser_getPartStatType(c.first)) << c.first;
    EXPECT_EQ(9, calparser_getPartStatType(nullptr));
    EXPECT_EQ(1, calparser_getRSVPType("TRUE"));
    EXPECT_EQ(0, calparser_getRSVPType("true"));
    EXPECT_EQ(0, calparser_getRSVPType(nullptr));
    EXPECT_EQ(2, calparser_getSentStatusType("SENT-SUCCEEDED"));
    EXPECT_EQ(0, calparser_getSentStatusType("NOT-SENT"));

    const char* days[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
    for (int i = 0; i < 7; i++) {
        int error = 5;
        EXPECT_EQ(i + 1, calparser_stringToDay(days[i], 2, &error)) << days[i];
        EXPECT_EQ(5, error) << days[i];  // left alone
    }
    // Unknown, lower-case or missing: Sunday and the flag set.
    for (const char* bad : {"XX", "we", (const char*)nullptr}) {
        int error = 0;
        EXPECT_EQ(1, calparser_stringToDay(bad, bad ? 2 : 0, &error));
        EXPECT_EQ(1, error);
    }
    EXPECT_EQ(1, calparser_stringToDay("ZZ", 2, nullptr));
}
