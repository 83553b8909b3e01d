// The VTIMEZONE builder: the walk over a component and its STANDARD and
// DAYLIGHT parts, the rules read from them, the messages for broken input, and
// the zones of the registry file built through it.
#include <gtest/gtest.h>

#include <time.h>

#include <fstream>
#include <initializer_list>
#include <map>
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
#include "tests/support/zone_builders.h"

using namespace zone_test;

namespace {

constexpr int kHourMs = 3600000;

std::string ical(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) text += std::string(line) + "\r\n";
    return text;
}

array_t* lex(std::string text) {
    array_t* tokens = nullptr;
    unsigned consumed = 0;
    unsigned line = 1;
    EXPECT_EQ(0, calparser_icalbuf_to_toklist(&text[0], (unsigned)text.size(), &tokens,
                                               &consumed, &line, 0));
    return tokens;
}

// One run of the builder from the first token of `text`, which is the BEGIN.
struct Walk {
    array_t* tokens = nullptr;
    array_t* zones = array_new();
    array_iter_t cursor{};
    int rc = -1;

    explicit Walk(const std::string& text, int pass = 1) : tokens(lex(text)) {
        array_findfirst(tokens, &cursor);
        rc = calparser_create_vtimezone_from_tokens(tokens, &cursor, zones, pass, TOKEN_PUBLISH);
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
};

std::vector<std::string> texts(const array_t* list) {
    std::vector<std::string> out;
    for (unsigned i = 0; list && i < list->count; i++)
        out.push_back(static_cast<const char*>(list->data[i]));
    return out;
}

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

// Daylight saving in force at `when` (ms), or -1 when ICU fails.
int dst_at(const icu::TimeZone* zone, time_t when) {
    int32_t raw = 0, dst = 0;
    UErrorCode status = U_ZERO_ERROR;
    zone->getOffset(when * 1000.0, false, raw, dst, status);
    return U_SUCCESS(status) ? dst : -1;
}

std::string icu_id(const icu::TimeZone* zone) {
    icu::UnicodeString id;
    std::string out;
    zone->getID(id).toUTF8String(out);
    return out;
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
    // Only STANDARD: a zone at that offset without daylight time.
    Walk india(ical({"BEGIN:VTIMEZONE", "TZID:Asia/Kolkata", "BEGIN:STANDARD",
                     "DTSTART:19700101T013045", "TZOFFSETFROM:+0530", "TZOFFSETTO:+0530",
                     "END:STANDARD", "END:VTIMEZONE"}));
    ASSERT_EQ(1u, india.zones->count);
    const CAL_VTIMEZONE* z = india.zone();
    EXPECT_EQ(nullptr, z->pDaylight);
    EXPECT_EQ(330, z->pStandard->pDbZone->nOffsetTo);
    EXPECT_EQ(kNoRule, rule_of(z->pStandard));
    EXPECT_EQ(30, z->pStandard->nStartMinute);
    EXPECT_EQ(45, z->pStandard->nStartSecond);
    EXPECT_EQ(5400000, z->pStandard->nTimeMs);  // 01:30, the seconds left out
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
    EXPECT_EQ(std::vector<std::string>{rrule}, texts(z->pStandard->pDbZone->aRRules));
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
    Walk w(ical({
        "BEGIN:VTIMEZONE",
        "TZID:First/Name",
        "TZID:Second/Name",
        "TZURL:http://tz.example.com/x",
        "LAST-MODIFIED:20050809T050000Z",
        "X-LIC-LOCATION;X-A=1:Somewhere",
        "X-KVAL-TZCROSS:19900401T070000Z;garbage;19901028T060000Z",
        "X-Z9KQ-TZID-ALIAS:Alias/One",
        "X-Z9KQ-TZID-ALIAS:Alias/Two",
        "SUMMARY:not a zone property",
        "BEGIN:STANDARD",
        "TZOFFSETTO:EST",
        "COMMENT:winter",
        "TZNAME:EST",
        "TZNAME:Eastern",
        "X-PART:kept",
        "END:STANDARD",
        "END:VTIMEZONE",
    }));
    ASSERT_EQ(1u, w.zones->count);
    const CAL_VTIMEZONE* z = w.zone();
    const CALDB_VTIMEZONE* db = z->pDbTimeZone;
    EXPECT_STREQ("Second/Name", db->pTzid);
    EXPECT_STREQ("http://tz.example.com/x", db->pTzUrl);
    EXPECT_EQ(1123563600, db->tLastModified);  // 2005-08-09 05:00 UTC
    EXPECT_EQ(std::vector<std::string>{"X-LIC-LOCATION;X-A=1:Somewhere"}, texts(db->aXProps));
    // 1990-04-01 07:00 and 1990-10-28 06:00 UTC; the item that is no time is skipped.
    EXPECT_EQ((std::vector<time_t>{638953200, 657093600}), times(z->aTzCross));
    EXPECT_EQ((std::vector<std::string>{"Alias/One", "Alias/Two"}), texts(z->aAliases));

    const CALDB_VZONE* part = z->pStandard->pDbZone;
    EXPECT_EQ(0, part->nOffsetTo);  // "EST" is no offset
    EXPECT_EQ(std::vector<std::string>{"winter"}, texts(part->aComments));
    EXPECT_EQ((std::vector<std::string>{"EST", "Eastern"}), texts(part->aTzNames));
    EXPECT_EQ(std::vector<std::string>{"X-PART:kept"}, texts(part->aXProps));
    EXPECT_EQ(nullptr, part->aRRules);
    EXPECT_EQ(nullptr, part->aRDates);
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(VTimezone, LaterPartOfAKindReplacesEarlier) {
    Walk two(ical({"BEGIN:VTIMEZONE", "TZID:Two/Standards", "BEGIN:STANDARD",
                   "TZOFFSETTO:+0100", "END:STANDARD", "BEGIN:STANDARD", "TZOFFSETTO:+0200",
                   "END:STANDARD", "END:VTIMEZONE"}));
    ASSERT_EQ(1u, two.zones->count);
    EXPECT_EQ(120, two.zone()->pStandard->pDbZone->nOffsetTo);
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

TEST_F(VTimezone, BrokenStructureKeepsWhatWasReadAndSaysWhere) {
    constexpr int kNone = -1;  // no such part
    const char* eofZone = "calparser: Parse error: reached abrupt end of file in parsing VTIMEZONE.";
    auto at = [](unsigned line) {
        return "line (" + std::to_string(line) +
               "), calparser: Parse error: encountered abrupt end of parsing VTIMEZONE.";
    };
    const struct {
        std::string text;
        unsigned cursorLine;
        int standard, daylight;  // offsets in minutes
        LogLines log;
    } cases[] = {
        {ical({"BEGIN:VTIMEZONE", "TZID:Cut/Short", "END:VCALENDAR", "TZURL:http://x"}), 3, kNone,
         kNone, {{6, at(3)}}},
        {ical({"BEGIN:VTIMEZONE", "TZID:Cut/Short", "BEGIN:VEVENT", "END:VEVENT", "END:VTIMEZONE"}),
         3, kNone, kNone, {{6, at(3)}}},
        // BEGIN:DAYLIGHT inside STANDARD ends the part; the zone walk steps
        // past it, ignores the daylight lines and stops at END:DAYLIGHT.
        {ical({"BEGIN:VTIMEZONE", "TZID:Nested/Part", "BEGIN:STANDARD", "TZOFFSETTO:+0100",
               "BEGIN:DAYLIGHT", "TZOFFSETTO:+0200", "END:DAYLIGHT", "END:STANDARD",
               "END:VTIMEZONE"}),
         7, 60, kNone,
         {{6, "line (5), calparser: Parse error: encountered abrupt end of parsing STANDARD "
              "TimeZone part."},
          {6, at(7)}}},
        // END:STANDARD inside DAYLIGHT ends the part; the zone finds its own END.
        {ical({"BEGIN:VTIMEZONE", "TZID:Crossed/Ends", "BEGIN:DAYLIGHT", "TZOFFSETTO:+0200",
               "END:STANDARD", "END:VTIMEZONE"}),
         6, kNone, 120,
         {{6, "line (5), calparser: Parse error: encountered abrupt end of parsing DAYLIGHT "
              "TimeZone part."}}},
        {ical({"BEGIN:VTIMEZONE", "TZID:No/End", "BEGIN:STANDARD", "TZOFFSETTO:+0100"}), 0, 60,
         kNone,
         {{6, "calparser: Parse error: reached abrupt end of file in parsing STANDARD TimeZone "
              "part."},
          {6, eofZone}}},
        {ical({"BEGIN:VTIMEZONE", "TZID:No/End"}), 0, kNone, kNone, {{6, eofZone}}},
        {ical({"BEGIN:VTIMEZONE", "TZID:No/Part", "BEGIN:DAYLIGHT"}), 0, kNone, kNone,
         {{6, eofZone}}},
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

TEST_F(VTimezone, OtherPassesOnlyMoveTheCursor) {
    const std::string broken = ical({"BEGIN:VTIMEZONE", "BEGIN:STANDARD", "END:DAYLIGHT",
                                     "BEGIN:STANDARD", "END:STANDARD", "BEGIN:DAYLIGHT",
                                     "END:DAYLIGHT", "END:VTIMEZONE", "BEGIN:VEVENT"});
    for (int pass : {0, 2}) {
        array_t* tokens = lex(pass == 2 ? kEastern : broken);
        array_t* zones = array_new();
        array_iter_t cursor{};
        array_findfirst(tokens, &cursor);
#if HEAP_FAILURE_HOOK
        heap_failure::g_until_failure = 0;  // any allocation would fail
#endif
        int rc = calparser_create_vtimezone_from_tokens(tokens, &cursor, zones, pass,
                                                        TOKEN_PUBLISH);
#if HEAP_FAILURE_HOOK
        heap_failure::g_until_failure = -1;
#endif
        EXPECT_EQ(0, rc) << "pass " << pass;
        EXPECT_EQ(0u, zones->count);
        auto* at = static_cast<const CALPARSER_TOKEN*>(cursor.element);
        ASSERT_NE(nullptr, at);
        EXPECT_EQ(TOKEN_END, at->nType);
        EXPECT_EQ(TOKEN_VTIMEZONE, at->nValue);
        array_delete(zones);
        calparser_FreeTokenList(tokens);
        array_delete(tokens);
    }
    EXPECT_TRUE(log.lines().empty());
}

// Every allocation of a build fails once in turn: the build reports 3 and
// keeps nothing, or completes without the failed piece; it never leaks and
// always leaves the cursor on the END.
TEST_F(VTimezone, RunningOutOfMemoryLeaksNothing) {
#if !HEAP_FAILURE_HOOK
    GTEST_SKIP() << "the sanitizer owns the heap";
#else
    array_t* tokens = lex(ical({"BEGIN:VTIMEZONE", "TZID:US/Eastern", "TZURL:http://x",
                                "X-KVAL-TZCROSS:19900401T070000Z;19901028T060000Z",
                                "X-Z9KQ-TZID-ALIAS:EST5EDT", "X-A:b", "BEGIN:STANDARD",
                                "DTSTART:19701101T020000", "TZOFFSETTO:-0500",
                                "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU", "TZNAME:EST",
                                "RDATE:19701101T020000", "END:STANDARD", "BEGIN:DAYLIGHT",
                                "TZOFFSETTO:-0400", "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU",
                                "COMMENT:c", "X-B:c", "END:DAYLIGHT", "END:VTIMEZONE"}));
    array_t* zones = array_new();
    {
        // A first build fills what is made once per process (configuration,
        // ICU's data), which would otherwise count as leaked below.
        array_iter_t cursor{};
        array_findfirst(tokens, &cursor);
        ASSERT_EQ(0, calparser_create_vtimezone_from_tokens(tokens, &cursor, zones, 1,
                                                            TOKEN_PUBLISH));
        CAL_VTIMEZONE_FreeCalVTimeZoneList(zones);
    }
    int lost = 0;
    bool fired = true;
    for (long failAt = 0; fired; failAt++) {
        long liveBefore = heap_failure::g_live_blocks;
        array_iter_t cursor{};
        array_findfirst(tokens, &cursor);
        heap_failure::g_until_failure = failAt;
        int rc = calparser_create_vtimezone_from_tokens(tokens, &cursor, zones, 1, TOKEN_PUBLISH);
        fired = heap_failure::g_until_failure < 0;
        heap_failure::g_until_failure = -1;

        auto* at = static_cast<const CALPARSER_TOKEN*>(cursor.element);
        EXPECT_TRUE(at && at->nType == TOKEN_END && at->nValue == TOKEN_VTIMEZONE) << failAt;
        if (rc == 3) {
            lost++;
            EXPECT_EQ(0u, zones->count) << failAt;
        } else {
            EXPECT_EQ(0, rc) << failAt;
            EXPECT_EQ(1u, zones->count) << failAt;
        }
        CAL_VTIMEZONE_FreeCalVTimeZoneList(zones);
        EXPECT_EQ(liveBefore, heap_failure::g_live_blocks) << "leak when allocation " << failAt
                                                           << " fails";
    }
    EXPECT_GT(lost, 0);
    array_delete(zones);
    calparser_FreeTokenList(tokens);
    array_delete(tokens);
#endif
}

// ---- The registry file, built through the same path -----------------------

struct FileZones {
    array_t* tokens = nullptr;
    array_t* zones = array_new();
    unsigned components = 0;
    LogLines messages;
    std::map<std::string, const CAL_VTIMEZONE*> byId;
};

const FileZones& file_zones() {
    static const FileZones* built = [] {
        auto* f = new FileZones;
        std::ifstream in(std::string(CALPARSER_SOURCE_ROOT) + "/data/timezones.ics",
                         std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        f->tokens = lex(text.str());
        LogCapture capture;
        array_iter_t cursor{};
        for (int more = array_findfirst(f->tokens, &cursor); more && cursor.element;
             more = array_findnext(f->tokens, &cursor)) {
            auto* t = static_cast<const CALPARSER_TOKEN*>(cursor.element);
            if (t->nType != TOKEN_BEGIN || t->nValue != TOKEN_VTIMEZONE) continue;
            f->components++;
            EXPECT_EQ(0, calparser_create_vtimezone_from_tokens(f->tokens, &cursor, f->zones, 1,
                                                                 TOKEN_PUBLISH));
        }
        f->messages = capture.lines();
        for (unsigned i = 0; i < f->zones->count; i++) {
            auto* z = static_cast<const CAL_VTIMEZONE*>(f->zones->data[i]);
            f->byId[z->pDbTimeZone->pTzid] = z;
        }
        return f;
    }();
    return *built;
}

const CAL_VTIMEZONE* file_zone(const char* tzid) {
    auto it = file_zones().byId.find(tzid);
    return it == file_zones().byId.end() ? nullptr : it->second;
}

struct PartSpec {
    int from, to;
    Rule rule;
    int timeMs;
    int startMonth, startDay, startHour;
    const char* rrule;  // nullptr: none
    const char* name;
};

void expect_part(const CAL_VZONE* part, const PartSpec& shape) {
    ASSERT_NE(nullptr, part);
    EXPECT_EQ(shape.from, part->pDbZone->nOffsetFrom);
    EXPECT_EQ(shape.to, part->pDbZone->nOffsetTo);
    EXPECT_EQ(shape.rule, rule_of(part));
    EXPECT_EQ(shape.timeMs, part->nTimeMs);
    EXPECT_EQ(1970, part->nStartYear);
    EXPECT_EQ(shape.startMonth, part->nStartMonth);
    EXPECT_EQ(shape.startDay, part->nStartDay);
    EXPECT_EQ(shape.startHour, part->nStartHour);
    EXPECT_EQ(shape.rrule ? std::vector<std::string>{shape.rrule} : std::vector<std::string>{},
              texts(part->pDbZone->aRRules));
    EXPECT_EQ(std::vector<std::string>{shape.name}, texts(part->pDbZone->aTzNames));
}

// Each crossing from index `first` on is a change of the rule-based zone,
// alternately a start and an end of daylight time.
void expect_crossings_follow_rules(const CAL_VTIMEZONE* z, unsigned first, bool firstStarts) {
    std::vector<time_t> crossings = times(z->aTzCross);
    ASSERT_GT(crossings.size(), first);
    for (unsigned i = first; i < crossings.size(); i++) {
        int after = ((i - first) % 2 == 0) == firstStarts ? kHourMs : 0;
        EXPECT_EQ(kHourMs - after, dst_at(z->pIcuZone, crossings[i] - 1)) << i;
        EXPECT_EQ(after, dst_at(z->pIcuZone, crossings[i])) << i;
    }
}

TEST_F(VTimezone, RegistryFileBuildsEveryZoneSilently) {
    const FileZones& f = file_zones();
    EXPECT_EQ(636u, f.components);
    EXPECT_EQ(636u, f.zones->count);
    EXPECT_TRUE(f.messages.empty());
}

TEST_F(VTimezone, RegistryFileEasternZones) {
    for (const char* id : {"America/New_York", "US/Eastern"}) {
        SCOPED_TRACE(id);
        const CAL_VTIMEZONE* z = file_zone(id);
        ASSERT_NE(nullptr, z);
        EXPECT_EQ(std::vector<std::string>{std::string(id) == "US/Eastern" ? "America/New_York"
                                                                          : "US/Eastern"},
                  texts(z->aAliases));
        std::vector<time_t> crossings = times(z->aTzCross);
        ASSERT_EQ(42u, crossings.size());     // two a year, 1990 to 2010
        EXPECT_EQ(638953200, crossings[0]);   // 1990-04-01 07:00 UTC
        EXPECT_EQ(1289109600, crossings[41]); // 2010-11-07 06:00 UTC
        expect_part(z->pStandard, {-240, -300, {10, 1, 1}, 7200000, 11, 1, 2,
                                   "FREQ=YEARLY;BYMONTH=11;BYDAY=1SU", "EST"});
        expect_part(z->pDaylight, {-300, -240, {2, 2, 1}, 7200000, 3, 8, 2,
                                   "FREQ=YEARLY;BYMONTH=3;BYDAY=2SU", "EDT"});
        ASSERT_NE(nullptr, z->pIcuZone);
        EXPECT_EQ(id, icu_id(z->pIcuZone));
        EXPECT_EQ(-5 * kHourMs, z->pIcuZone->getRawOffset());
        EXPECT_EQ(kHourMs, z->pIcuZone->getDSTSavings());
        expect_crossings_follow_rules(z, 34, true);  // today's rules hold from 2007
    }
}

TEST_F(VTimezone, RegistryFileTokyoAndSydney) {
    const CAL_VTIMEZONE* tokyo = file_zone("Asia/Tokyo");
    ASSERT_NE(nullptr, tokyo);
    EXPECT_EQ((std::vector<std::string>{"JST", "Japan"}), texts(tokyo->aAliases));
    EXPECT_EQ(nullptr, tokyo->aTzCross);
    EXPECT_EQ(nullptr, tokyo->pDaylight);
    expect_part(tokyo->pStandard, {540, 540, kNoRule, 0, 1, 1, 0, nullptr, "GMT+9"});
    ASSERT_NE(nullptr, tokyo->pIcuZone);
    EXPECT_EQ(9 * kHourMs, tokyo->pIcuZone->getRawOffset());
    EXPECT_FALSE(tokyo->pIcuZone->useDaylightTime());

    const CAL_VTIMEZONE* sydney = file_zone("Australia/Sydney");
    ASSERT_NE(nullptr, sydney);
    EXPECT_EQ((std::vector<std::string>{"AET", "Australia/ACT", "Australia/Canberra",
                                        "Australia/NSW"}),
              texts(sydney->aAliases));
    std::vector<time_t> crossings = times(sydney->aTzCross);
    ASSERT_EQ(44u, crossings.size());      // 1989's start, 1990 to 2010, 2011's end
    EXPECT_EQ(625593600, crossings[0]);    // 1989-10-28 16:00 UTC
    expect_part(sydney->pStandard, {660, 600, {3, 1, 1}, 10800000, 4, 5, 3,
                                    "FREQ=YEARLY;BYMONTH=4;BYDAY=1SU", "GMT+10"});
    expect_part(sydney->pDaylight, {600, 660, {9, 1, 1}, 7200000, 10, 4, 2,
                                    "FREQ=YEARLY;BYMONTH=10;BYDAY=1SU", "GMT+11"});
    ASSERT_NE(nullptr, sydney->pIcuZone);
    EXPECT_EQ(10 * kHourMs, sydney->pIcuZone->getRawOffset());
    // Today's rules hold from the end of daylight time in April 2008.
    expect_crossings_follow_rules(sydney, 37, false);
}

}  // namespace
