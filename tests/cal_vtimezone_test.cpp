// The VTIMEZONE builder: the walk over a component and its STANDARD and
// DAYLIGHT parts, the rules read from them, the messages for broken input, and
// the zones of the registry file built through it.
#include <gtest/gtest.h>

#include <stdio.h>
#include <time.h>

#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include "core/parser/cal_tok.h"
#include "core/parser/cal_vtimezone.h"
#include "core/parser/cal_vzone.h"
#include "tests/heap_failure.h"
#include "tests/support/text_lists.h"
#include "tests/support/zone_builders.h"

using namespace zone_test;

namespace {

constexpr int kHourMs = 3600000;

std::string ical(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) text += std::string(line) + "\r\n";
    return text;
}

// One run of the builder from the first token of `text`, which is the BEGIN,
// with allocation `failAt` failing (-1: none).
struct Walk {
    array_t* tokens = nullptr;
    array_t* zones = array_new();
    array_iter_t cursor{};
    int rc = -1;
    bool allocationFailed = false;

    explicit Walk(std::string text, int pass = 1, long failAt = -1) {
        unsigned consumed = 0, line = 1;
        EXPECT_EQ(0, calparser_icalbuf_to_toklist(&text[0], (unsigned)text.size(), &tokens,
                                                   &consumed, &line, 0));
        array_findfirst(tokens, &cursor);
        heap_failure::FailAt fail(failAt);
        rc = calparser_create_vtimezone_from_tokens(tokens, &cursor, zones, pass, TOKEN_PUBLISH);
        allocationFailed = failAt >= 0 && heap_failure::g_until_failure < 0;
    }
    ~Walk() {
        CAL_VTIMEZONE_FreeCalVTimeZoneList(zones);
        array_delete(zones);
        calparser_FreeTokenList(tokens);
        array_delete(tokens);
    }
    CAL_VTIMEZONE* zone(unsigned i = 0) const {
        return static_cast<CAL_VTIMEZONE*>(array_elementat(zones, i));
    }
    // Where the builder left the cursor: the token's line, 0 past the end.
    unsigned cursor_line() const {
        auto* t = static_cast<const CALPARSER_TOKEN*>(cursor.element);
        return t ? t->nLine : 0;
    }
    bool at_end_of_zone() const {
        auto* t = static_cast<const CALPARSER_TOKEN*>(cursor.element);
        return t && t->nType == TOKEN_END && t->nValue == TOKEN_VTIMEZONE;
    }
};

std::vector<time_t> times(const array_t* list) {
    std::vector<time_t> out;
    for (unsigned i = 0; list && i < list->count; i++)
        out.push_back(*static_cast<const time_t*>(list->data[i]));
    return out;
}

// A part's change rule: month, week of the month, weekday.
using Rule = std::tuple<int, int, int>;

Rule rule_of(const CAL_VZONE* z) { return Rule{z->nMonth, z->nWeek, z->nDayOfWeek}; }

const Rule kNoRule{-1, 0, -1};

// A part in one line: offsets, rule (month/week/weekday), time of change, the
// start's fields as parsed, RRULEs and names; "none" for no part.
std::string describe(const CAL_VZONE* p) {
    if (!p) return "none";
    char head[160];
    snprintf(head, sizeof head, "%d>%d rule %d/%d/%d at %dms from %04d%02d%02d %02d:%02d:%02d",
             p->pDbZone->nOffsetFrom, p->pDbZone->nOffsetTo, p->nMonth, p->nWeek, p->nDayOfWeek,
             p->nTimeMs, p->nStartYear, p->nStartMonth, p->nStartDay, p->nStartHour,
             p->nStartMinute, p->nStartSecond);
    std::string text = head;
    for (const std::string& rule : strings(p->pDbZone->aRRules)) text += " " + rule;
    for (const std::string& name : strings(p->pDbZone->aTzNames)) text += " " + name;
    return text;
}

// Daylight saving in force at `when` (ms), or -1 when ICU fails.
int dst_at(const icu::TimeZone* zone, time_t when) {
    int32_t raw = 0, dst = 0;
    UErrorCode status = U_ZERO_ERROR;
    zone->getOffset(when * 1000.0, false, raw, dst, status);
    return U_SUCCESS(status) ? dst : -1;
}

// Local date-times without "Z" are read in the server's default zone; a
// registry holding only that zone, at UTC, keeps the expected values plain.
class VTimezone : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, fill_registry({utc_fallback_zone()})); }
    static void TearDownTestSuite() { CALPARSER_TIMEZONE_LIST::Instance()->removeAllTimeZones(); }
    LogCapture log;
};

// END:VTIMEZONE is line 17.
const std::string kEastern = ical({
    "BEGIN:VTIMEZONE", "TZID:US/Eastern", "BEGIN:STANDARD", "DTSTART:19701101T020000",
    "TZOFFSETFROM:-0400", "TZOFFSETTO:-0500", "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU",
    "TZNAME:EST", "END:STANDARD", "BEGIN:DAYLIGHT", "DTSTART:19700308T020000",
    "TZOFFSETFROM:-0500", "TZOFFSETTO:-0400", "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU",
    "TZNAME:EDT", "END:DAYLIGHT", "END:VTIMEZONE", "END:VCALENDAR"});

// Parts, rules and the rule-based zone are checked on the same zone of the
// registry file below; here the walk and the start times.
TEST_F(VTimezone, BuildsZoneWithBothParts) {
    Walk w(kEastern);
    ASSERT_EQ(0, w.rc);
    ASSERT_EQ(1u, w.zones->count);
    EXPECT_EQ(17u, w.cursor_line());
    EXPECT_TRUE(log.lines().empty());

    const CAL_VTIMEZONE* z = w.zone();
    EXPECT_STREQ("US/Eastern", z->pDbTimeZone->pTzid);
    ASSERT_TRUE(z->pStandard && z->pDaylight && z->pIcuZone);
    EXPECT_EQ(26272800, z->pStandard->pDbZone->tDtStart);  // 1970-11-01 02:00
    EXPECT_EQ(5709600, z->pDaylight->pDbZone->tDtStart);   // 1970-03-08 02:00
    // 2021-03-14 07:00 UTC, the second Sunday of March at 02:00 EST.
    EXPECT_EQ(0, dst_at(z->pIcuZone, 1615705200 - 1));
    EXPECT_EQ(kHourMs, dst_at(z->pIcuZone, 1615705200));
}

TEST_F(VTimezone, ZoneWithOnePartOnly) {
    // Only STANDARD: a zone at that offset without daylight time; the time of
    // change leaves the seconds out.
    Walk india(ical({"BEGIN:VTIMEZONE", "TZID:Asia/Kolkata", "BEGIN:STANDARD",
                     "DTSTART:19700101T013045", "TZOFFSETFROM:+0530", "TZOFFSETTO:+0530",
                     "END:STANDARD", "END:VTIMEZONE"}));
    ASSERT_EQ(1u, india.zones->count);
    const CAL_VTIMEZONE* z = india.zone();
    EXPECT_EQ("none", describe(z->pDaylight));
    EXPECT_EQ("330>330 rule -1/0/-1 at 5400000ms from 19700101 01:30:45", describe(z->pStandard));
    ASSERT_NE(nullptr, z->pIcuZone);
    EXPECT_EQ(19800000, z->pIcuZone->getRawOffset());
    EXPECT_FALSE(z->pIcuZone->useDaylightTime());

    // Only DAYLIGHT: kept, but without a rule-based zone. A negative offset
    // with minutes keeps the sign on both parts.
    Walk daylightOnly(ical({"BEGIN:VTIMEZONE", "TZID:X/Odd", "BEGIN:DAYLIGHT",
                            "TZOFFSETTO:-0230", "END:DAYLIGHT", "END:VTIMEZONE"}));
    ASSERT_EQ(1u, daylightOnly.zones->count);
    z = daylightOnly.zone();
    EXPECT_EQ(nullptr, z->pStandard);
    EXPECT_EQ(nullptr, z->pIcuZone);
    EXPECT_EQ(-150, z->pDaylight->pDbZone->nOffsetTo);
    EXPECT_TRUE(log.lines().empty());
}

// The rule a STANDARD part gets from one RRULE value.
Rule standard_rule(const std::string& rrule) {
    std::string line = "RRULE:" + rrule;
    Walk w(ical({"BEGIN:VTIMEZONE", "TZID:Test/Rule", "BEGIN:STANDARD", "TZOFFSETTO:+0100",
                 line.c_str(), "END:STANDARD", "END:VTIMEZONE"}));
    const CAL_VTIMEZONE* z = w.zone();
    if (!z || !z->pStandard) return {99, 99, 99};
    EXPECT_EQ(Strings{rrule}, strings(z->pStandard->pDbZone->aRRules));
    return rule_of(z->pStandard);
}

TEST_F(VTimezone, RuleFromRRule) {
    EXPECT_EQ((Rule{9, -1, 1}), standard_rule("FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU"));
    EXPECT_EQ((Rule{2, 2, 7}), standard_rule("FREQ=YEARLY;BYMONTH=3;BYDAY=+2SA"));
    EXPECT_EQ((Rule{9, -1, 1}),
              standard_rule("FREQ=YEARLY;BYMONTH=10;UNTIL=20061029T060000Z;BYDAY=-1SU"));
    // A BYMONTHDAY list stands for the week; a single day says nothing.
    EXPECT_EQ((Rule{2, 8, -1}), standard_rule("FREQ=YEARLY;BYMONTH=3;BYMONTHDAY=8,9,10"));
    EXPECT_EQ(kNoRule, standard_rule("FREQ=YEARLY;BYMONTH=3;BYMONTHDAY=8"));
    // No month, no day, or an unreadable part: no rule at all.
    EXPECT_EQ(kNoRule, standard_rule("FREQ=YEARLY;BYDAY=1SU"));
    EXPECT_EQ(kNoRule, standard_rule("FREQ=YEARLY;BYMONTH=4;BYDAY=1XX"));
    EXPECT_EQ(kNoRule, standard_rule("FREQ=YEARLY;BYMONTH=4;BYDAY=1SU,3SU"));
    EXPECT_EQ(kNoRule, standard_rule("FREQ=YEARLY;BYMONTH=13;BYDAY=1SU"));
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(VTimezone, RuleFromRDate) {
    // 2007-11-04 is the first Sunday of November, 2007-10-28 the fourth (and
    // last) Sunday of October.
    Walk w(ical({"BEGIN:VTIMEZONE", "TZID:Test/RDate", "BEGIN:STANDARD",
                 "RDATE:20071104T060000Z", "END:STANDARD", "BEGIN:DAYLIGHT",
                 "RDATE:20071028T060000Z", "END:DAYLIGHT", "END:VTIMEZONE"}));
    const CAL_VTIMEZONE* z = w.zone();
    ASSERT_NE(nullptr, z);
    EXPECT_EQ((Rule{10, 1, 1}), rule_of(z->pStandard));
    EXPECT_EQ(std::vector<time_t>{1194156000}, times(z->pStandard->pDbZone->aRDates));
    EXPECT_EQ((Rule{9, -1, 1}), rule_of(z->pDaylight));
}

TEST_F(VTimezone, StoresZoneAndPartProperties) {
    Walk w(ical({"BEGIN:VTIMEZONE", "TZID:First/Name", "TZID:Second/Name",
                 "TZURL:http://tz.example.com/x", "LAST-MODIFIED:20050809T050000Z",
                 "X-LIC-LOCATION;X-A=1:Somewhere",
                 "X-KVAL-TZCROSS:19900401T070000Z;garbage;19901028T060000Z",
                 "X-Z9KQ-TZID-ALIAS:Alias/One", "X-Z9KQ-TZID-ALIAS:Alias/Two",
                 "SUMMARY:not a zone property", "BEGIN:STANDARD", "TZOFFSETTO:EST",
                 "COMMENT:winter", "TZNAME:EST", "TZNAME:Eastern", "X-PART:kept", "END:STANDARD",
                 "END:VTIMEZONE"}));
    ASSERT_EQ(1u, w.zones->count);
    const CAL_VTIMEZONE* z = w.zone();
    const CALDB_VTIMEZONE* db = z->pDbTimeZone;
    EXPECT_STREQ("Second/Name", db->pTzid);
    EXPECT_STREQ("http://tz.example.com/x", db->pTzUrl);
    EXPECT_EQ(1123563600, db->tLastModified);  // 2005-08-09 05:00 UTC
    EXPECT_EQ(Strings{"X-LIC-LOCATION;X-A=1:Somewhere"}, strings(db->aXProps));
    // 1990-04-01 07:00 and 1990-10-28 06:00 UTC; the item that is no time is skipped.
    EXPECT_EQ((std::vector<time_t>{638953200, 657093600}), times(z->aTzCross));
    EXPECT_EQ((Strings{"Alias/One", "Alias/Two"}), strings(z->aAliases));

    const CALDB_VZONE* part = z->pStandard->pDbZone;
    EXPECT_EQ(0, part->nOffsetTo);  // "EST" is no offset
    EXPECT_EQ(Strings{"winter"}, strings(part->aComments));
    EXPECT_EQ((Strings{"EST", "Eastern"}), strings(part->aTzNames));
    EXPECT_EQ(Strings{"X-PART:kept"}, strings(part->aXProps));
    EXPECT_EQ(nullptr, part->aRRules);
    EXPECT_EQ(nullptr, part->aRDates);
    EXPECT_TRUE(log.lines().empty());
}

// Two parts of a kind: the later one wins, silently; a third part is one too many.
TEST_F(VTimezone, LaterPartOfAKindReplacesEarlier) {
    Walk two(ical({"BEGIN:VTIMEZONE", "TZID:Two/Standards", "BEGIN:STANDARD",
                   "TZOFFSETTO:+0100", "END:STANDARD", "BEGIN:STANDARD", "TZOFFSETTO:+0200",
                   "END:STANDARD", "END:VTIMEZONE"}));
    ASSERT_EQ(1u, two.zones->count);
    EXPECT_EQ(7200000, two.zone()->pIcuZone->getRawOffset());
    EXPECT_TRUE(log.lines().empty());

    // END:VTIMEZONE is line 12.
    Walk three(ical({"BEGIN:VTIMEZONE", "TZID:Three/Parts", "BEGIN:STANDARD", "TZOFFSETTO:+0100",
                     "END:STANDARD", "BEGIN:DAYLIGHT", "TZOFFSETTO:+0200", "END:DAYLIGHT",
                     "BEGIN:STANDARD", "TZOFFSETTO:+0300", "END:STANDARD", "END:VTIMEZONE"}));
    ASSERT_EQ(1u, three.zones->count);
    EXPECT_EQ(180, three.zone()->pStandard->pDbZone->nOffsetTo);
    EXPECT_EQ(120, three.zone()->pDaylight->pDbZone->nOffsetTo);
    EXPECT_EQ((LogLines{{4, "line (12), calparser: VTIMEZONE has more than 2 zones."}}),
              log.lines());
}

TEST_F(VTimezone, ZoneWithoutTzidIsDropped) {
    Walk w(ical({"BEGIN:VTIMEZONE", "TZURL:http://x", "BEGIN:STANDARD", "TZOFFSETTO:+0100",
                 "END:STANDARD", "END:VTIMEZONE"}));
    EXPECT_EQ(0, w.rc);
    EXPECT_EQ(0u, w.zones->count);
    EXPECT_EQ(6u, w.cursor_line());
    EXPECT_EQ((LogLines{{4, "line (6), calparser: Parse error: Illegally formatted VTIMEZONE."}}),
              log.lines());
    EXPECT_EQ(0, calparser_isValidVTimeZone(nullptr));
}

// The message for `what` cut short at `line`, or by the end of the input (0).
std::string cut_short(unsigned line, const char* what) {
    if (!line) return std::string("calparser: Parse error: reached abrupt end of file in parsing ") +
                      what + ".";
    return "line (" + std::to_string(line) +
           "), calparser: Parse error: encountered abrupt end of parsing " + what + ".";
}

TEST_F(VTimezone, BrokenStructureKeepsWhatWasReadAndSaysWhere) {
    constexpr int kNone = -1;  // no such part
    const char* zone = "VTIMEZONE";
    const struct {
        std::string text;
        unsigned cursorLine;
        int standard, daylight;  // offsets in minutes
        LogLines log;
    } cases[] = {
        {ical({"BEGIN:VTIMEZONE", "TZID:Cut/Short", "END:VCALENDAR", "TZURL:http://x"}), 3, kNone,
         kNone, {{6, cut_short(3, zone)}}},
        {ical({"BEGIN:VTIMEZONE", "TZID:Cut/Short", "BEGIN:VEVENT", "END:VEVENT", "END:VTIMEZONE"}),
         3, kNone, kNone, {{6, cut_short(3, zone)}}},
        // BEGIN:DAYLIGHT inside STANDARD ends the part; the zone walk steps
        // past it, ignores the daylight lines and stops at END:DAYLIGHT.
        {ical({"BEGIN:VTIMEZONE", "TZID:Nested/Part", "BEGIN:STANDARD", "TZOFFSETTO:+0100",
               "BEGIN:DAYLIGHT", "TZOFFSETTO:+0200", "END:DAYLIGHT", "END:STANDARD",
               "END:VTIMEZONE"}),
         7, 60, kNone, {{6, cut_short(5, "STANDARD TimeZone part")}, {6, cut_short(7, zone)}}},
        // END:STANDARD inside DAYLIGHT ends the part; the zone finds its own END.
        {ical({"BEGIN:VTIMEZONE", "TZID:Crossed/Ends", "BEGIN:DAYLIGHT", "TZOFFSETTO:+0200",
               "END:STANDARD", "END:VTIMEZONE"}),
         6, kNone, 120, {{6, cut_short(5, "DAYLIGHT TimeZone part")}}},
        {ical({"BEGIN:VTIMEZONE", "TZID:No/End", "BEGIN:STANDARD", "TZOFFSETTO:+0100"}), 0, 60,
         kNone, {{6, cut_short(0, "STANDARD TimeZone part")}, {6, cut_short(0, zone)}}},
        {ical({"BEGIN:VTIMEZONE", "TZID:No/End"}), 0, kNone, kNone, {{6, cut_short(0, zone)}}},
        {ical({"BEGIN:VTIMEZONE", "TZID:No/Part", "BEGIN:DAYLIGHT"}), 0, kNone, kNone,
         {{6, cut_short(0, zone)}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        log.clear();
        Walk w(c.text);
        EXPECT_EQ(0, w.rc);
        ASSERT_EQ(1u, w.zones->count);
        EXPECT_EQ(c.cursorLine, w.cursor_line());
        const CAL_VZONE* standard = w.zone()->pStandard;
        const CAL_VZONE* daylight = w.zone()->pDaylight;
        EXPECT_EQ(c.standard, standard ? standard->pDbZone->nOffsetTo : kNone);
        EXPECT_EQ(c.daylight, daylight ? daylight->pDbZone->nOffsetTo : kNone);
        EXPECT_EQ(c.log, log.lines());
    }

    // Nothing after the BEGIN: no component at all, and nothing to say.
    log.clear();
    Walk empty(ical({"BEGIN:VTIMEZONE"}));
    EXPECT_EQ(1, empty.rc);
    EXPECT_EQ(0u, empty.zones->count);
    EXPECT_EQ(1, calparser_create_vtimezone_from_tokens(empty.tokens, &empty.cursor, nullptr, 1,
                                                        TOKEN_PUBLISH));
    EXPECT_TRUE(log.lines().empty());
}

// Passes other than the build make nothing, so any allocation may fail.
TEST_F(VTimezone, OtherPassesOnlyMoveTheCursor) {
    const std::string broken = ical({"BEGIN:VTIMEZONE", "BEGIN:STANDARD", "END:DAYLIGHT",
                                     "BEGIN:STANDARD", "END:STANDARD", "BEGIN:DAYLIGHT",
                                     "END:DAYLIGHT", "END:VTIMEZONE", "BEGIN:VEVENT"});
    for (int pass : {0, 2}) {
        Walk w(pass == 2 ? kEastern : broken, pass, 0);
        EXPECT_EQ(0, w.rc) << "pass " << pass;
        EXPECT_EQ(0u, w.zones->count);
        EXPECT_TRUE(w.at_end_of_zone()) << "pass " << pass;
    }
    EXPECT_TRUE(log.lines().empty());
}

// Every allocation of a build fails once in turn: the build reports 3 and
// keeps nothing, or completes without the failed piece; it never leaks and
// always leaves the cursor on the END.
TEST_F(VTimezone, RunningOutOfMemoryLeaksNothing) {
    if (!HEAP_FAILURE_HOOK) GTEST_SKIP() << "the sanitizer owns the heap";
    const std::string text = ical(
        {"BEGIN:VTIMEZONE", "TZID:US/Eastern", "TZURL:http://x",
         "X-KVAL-TZCROSS:19900401T070000Z;19901028T060000Z", "X-Z9KQ-TZID-ALIAS:EST5EDT", "X-A:b",
         "BEGIN:STANDARD", "DTSTART:19701101T020000", "TZOFFSETTO:-0500",
         "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU", "TZNAME:EST", "RDATE:19701101T020000",
         "END:STANDARD", "BEGIN:DAYLIGHT", "TZOFFSETTO:-0400",
         "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU", "COMMENT:c", "X-B:c", "END:DAYLIGHT",
         "END:VTIMEZONE"});
    // A first build fills what is made once per process (configuration, ICU's
    // data), which would otherwise count as leaked below.
    Walk warmUp(text);
    int lost = 0;
    for (long failAt = 0;; failAt++) {
        long liveBefore = heap_failure::g_live_blocks;
        bool failed = false;
        {
            Walk w(text, 1, failAt);
            failed = w.allocationFailed;
            EXPECT_TRUE(w.at_end_of_zone()) << failAt;
            EXPECT_TRUE(w.rc == 0 || w.rc == 3) << failAt;
            EXPECT_EQ(w.rc == 3 ? 0u : 1u, w.zones->count) << failAt;
            lost += w.rc == 3;
        }
        EXPECT_EQ(liveBefore, heap_failure::g_live_blocks) << "leak when allocation " << failAt
                                                           << " fails";
        if (!failed) break;
    }
    EXPECT_GT(lost, 0);
}

// ---- The registry file, loaded through the library's loader ----------------

class RegistryFile : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::ifstream in(std::string(CALPARSER_SOURCE_ROOT) + "/data/timezones.ics",
                         std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        fileText = text.str();
        LogCapture capture;
        loaded = load_registry_text(fileText);
        messages = capture.lines();
    }
    static void TearDownTestSuite() { CALPARSER_TIMEZONE_LIST::Instance()->removeAllTimeZones(); }

    static inline std::string fileText;
    static inline int loaded = -1;
    static inline LogLines messages;
};

TEST_F(RegistryFile, BuildsEveryZoneSilently) {
    EXPECT_EQ(0, loaded);
    EXPECT_TRUE(messages.empty());
    unsigned components = 0;
    for (size_t at = fileText.find("BEGIN:VTIMEZONE\r\n"); at != std::string::npos;
         at = fileText.find("BEGIN:VTIMEZONE\r\n", at + 1))
        components++;
    ASSERT_NE(nullptr, CALPARSER_TIMEZONE_LIST::Instance()->m_pList);
    EXPECT_EQ(636u, CALPARSER_TIMEZONE_LIST::Instance()->m_pList->count);
    EXPECT_EQ(components, CALPARSER_TIMEZONE_LIST::Instance()->m_pList->count);
}

// A northern and a southern zone with daylight time and a zone without: their
// parts, aliases and rule-based zone. From the crossing `rulesFrom` on (the
// year today's rules hold), each crossing is a change of the rule-based zone,
// alternately a start and an end of daylight time when `firstStarts`.
TEST_F(RegistryFile, WellKnownZones) {
    const struct {
        const char* tzid;
        Strings aliases;
        int rawHours;
        const char *standard, *daylight;
        size_t crossings;
        unsigned rulesFrom;
        bool firstStarts;
    } zones[] = {
        {"America/New_York", {"US/Eastern"}, -5,
         "-240>-300 rule 10/1/1 at 7200000ms from 19701101 02:00:00 "
         "FREQ=YEARLY;BYMONTH=11;BYDAY=1SU EST",
         "-300>-240 rule 2/2/1 at 7200000ms from 19700308 02:00:00 "
         "FREQ=YEARLY;BYMONTH=3;BYDAY=2SU EDT",
         42, 34, true},
        {"Australia/Sydney", {"AET", "Australia/ACT", "Australia/Canberra", "Australia/NSW"}, 10,
         "660>600 rule 3/1/1 at 10800000ms from 19700405 03:00:00 "
         "FREQ=YEARLY;BYMONTH=4;BYDAY=1SU GMT+10",
         "600>660 rule 9/1/1 at 7200000ms from 19701004 02:00:00 "
         "FREQ=YEARLY;BYMONTH=10;BYDAY=1SU GMT+11",
         44, 37, false},
        {"Asia/Tokyo", {"JST", "Japan"}, 9,
         "540>540 rule -1/0/-1 at 0ms from 19700101 00:00:00 GMT+9", "none", 0, 0, false},
    };
    for (const auto& row : zones) {
        SCOPED_TRACE(row.tzid);
        const CAL_VTIMEZONE* z = calparser_lookupCalVTimeZone(row.tzid);
        ASSERT_NE(nullptr, z);
        EXPECT_EQ(row.aliases, strings(z->aAliases));
        EXPECT_EQ(row.standard, describe(z->pStandard));
        EXPECT_EQ(row.daylight, describe(z->pDaylight));
        ASSERT_NE(nullptr, z->pIcuZone);
        icu::UnicodeString id;
        std::string icuId;
        z->pIcuZone->getID(id).toUTF8String(icuId);
        EXPECT_EQ(row.tzid, icuId);
        EXPECT_EQ(row.rawHours * kHourMs, z->pIcuZone->getRawOffset());
        EXPECT_EQ(row.crossings != 0, z->pIcuZone->useDaylightTime());

        std::vector<time_t> crossings = times(z->aTzCross);
        ASSERT_EQ(row.crossings, crossings.size());
        for (unsigned i = row.rulesFrom; i < crossings.size(); i++) {
            int after = ((i - row.rulesFrom) % 2 == 0) == row.firstStarts ? kHourMs : 0;
            EXPECT_EQ(kHourMs - after, dst_at(z->pIcuZone, crossings[i] - 1)) << i;
            EXPECT_EQ(after, dst_at(z->pIcuZone, crossings[i])) << i;
        }
    }
}

}  // namespace
