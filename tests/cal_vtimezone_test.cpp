// The VTIMEZONE builder: the walk over a component and its STANDARD and
// DAYLIGHT parts, the rules read from them and the messages for broken input.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include <unicode/timezone.h>

#include "core/parser/cal_vtimezone.h"
#include "core/parser/cal_vzone.h"
#include "tests/support/heap_failure.h"
#include "tests/support/builder_fixture.h"
#include "tests/support/text_lists.h"
#include "tests/support/zone_builders.h"

using namespace zone_test;
using builder_test::Tokens;

namespace {

// One run of the builder from line 1, the BEGIN.
struct Walk {
    Tokens tokens;
    array_t* zones = array_new();
    array_iter_t cursor = tokens.start();
    int rc = calparser_create_vtimezone_from_tokens(tokens.list, &cursor, zones, 1, TOKEN_PUBLISH);

    explicit Walk(const std::vector<std::string>& lines) : tokens(lines) {}
    ~Walk() {
        CAL_VTIMEZONE_FreeCalVTimeZoneList(zones);
        array_delete(zones);
    }
    CAL_VTIMEZONE* zone() const { return static_cast<CAL_VTIMEZONE*>(array_elementat(zones, 0)); }
};

// A part's change rule: month, week of the month, weekday.
using Rule = std::tuple<int, int, int>;

Rule rule_of(const CAL_VZONE* z) { return Rule{z->nMonth, z->nWeek, z->nDayOfWeek}; }

const Rule kNoRule{-1, 0, -1};

// Local date-times without "Z" are read in the server's default zone; a
// registry holding only that zone, at UTC, keeps the expected values plain.
class VTimezone : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, fill_registry({utc_fallback_zone()})); }
    static void TearDownTestSuite() { CALPARSER_TIMEZONE_LIST::Instance()->removeAllTimeZones(); }
    LogCapture log;
};

// END:VTIMEZONE is line 17.
const std::vector<std::string> kEastern{
    "BEGIN:VTIMEZONE", "TZID:US/Eastern", "BEGIN:STANDARD", "DTSTART:19701101T020045",
    "TZOFFSETFROM:-0400", "TZOFFSETTO:-0500", "RRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU",
    "TZNAME:EST", "END:STANDARD", "BEGIN:DAYLIGHT", "DTSTART:19700308T020000",
    "TZOFFSETFROM:-0500", "TZOFFSETTO:-0400", "RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU",
    "TZNAME:EDT", "END:DAYLIGHT", "END:VTIMEZONE", "END:VCALENDAR"};

// The rule a STANDARD part gets from one RRULE value.
Rule standard_rule(const std::string& rrule) {
    Walk w({"BEGIN:VTIMEZONE", "TZID:Test/Rule", "BEGIN:STANDARD", "TZOFFSETTO:+0100",
            "RRULE:" + rrule, "END:STANDARD", "END:VTIMEZONE"});
    const CAL_VTIMEZONE* z = w.zone();
    if (!z || !z->pStandard) return {99, 99, 99};
    EXPECT_EQ(Strings{rrule}, strings(z->pStandard->pDbZone->aRRules));
    return rule_of(z->pStandard);
}

TEST_F(VTimezone, RuleFromRRule) {
    EXPECT_EQ((Rule{9, -1, 1}), standard_rule("FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU"));
    // A BYMONTHDAY list stands for the week; a single day says nothing.
    EXPECT_EQ((Rule{2, 8, -1}), standard_rule("FREQ=YEARLY;BYMONTH=3;BYMONTHDAY=8,9,10"));
    EXPECT_EQ(kNoRule, standard_rule("FREQ=YEARLY;BYMONTH=3;BYMONTHDAY=8"));
    // No month, one that is no number or a day that is none: no rule at all.
    EXPECT_EQ(kNoRule, standard_rule("FREQ=YEARLY;BYDAY=1SU"));
    EXPECT_EQ(kNoRule, standard_rule("FREQ=YEARLY;BYMONTH=4;BYDAY=1XX"));
    EXPECT_EQ(kNoRule, standard_rule("FREQ=YEARLY;BYMONTH=x;BYDAY=1SU"));
    // BYMONTH is the number the value begins with, a trailing blank left out.
    EXPECT_EQ((Rule{2, 2, 1}), standard_rule("FREQ=YEARLY;BYDAY=2SU;BYMONTH=3 "));
    // Ranges are the zone's to judge, not the reader's.
    EXPECT_EQ((Rule{12, 0, 7}), standard_rule("FREQ=YEARLY;BYMONTH=13;BYDAY=0SA"));
    EXPECT_TRUE(log.lines().empty());
}

// The message for `what` cut short at `line`, or by the end of the input (0).
std::string cut_short(unsigned line, const char* what) {
    if (!line) return std::string("calparser: Parse error: reached abrupt end of file in parsing ") +
                      what + ".";
    return "line (" + std::to_string(line) +
           "), calparser: Parse error: encountered abrupt end of parsing " + what + ".";
}

// What the walk keeps and says, and where it leaves the cursor. A rule-based
// zone is made exactly when there is a standard part, at its offset.
TEST_F(VTimezone, WalkKeepsWhatWasReadAndSaysWhere) {
    constexpr int kNone = -1;  // no such part
    const char* zone = "VTIMEZONE";
    const struct {
        std::vector<std::string> lines;
        unsigned zones, cursorLine;
        int standard, daylight;  // offsets in minutes
        LogLines log;
    } cases[] = {
        // A negative offset with minutes keeps the sign on both parts.
        {{"BEGIN:VTIMEZONE", "TZID:X/Odd", "BEGIN:DAYLIGHT", "TZOFFSETTO:-0230", "END:DAYLIGHT",
          "END:VTIMEZONE"},
         1, 6, kNone, -150, {}},
        // A zone without TZID is dropped.
        {{"BEGIN:VTIMEZONE", "TZURL:http://x", "END:VTIMEZONE"}, 0, 3, kNone, kNone,
         {{4, "line (3), calparser: Parse error: Illegally formatted VTIMEZONE."}}},
        {{"BEGIN:VTIMEZONE", "TZID:Cut/Short", "END:VCALENDAR", "TZURL:http://x"}, 1, 3,
         kNone, kNone, {{6, cut_short(3, zone)}}},
        // BEGIN:DAYLIGHT inside STANDARD ends the part; the zone walk steps
        // past it, ignores the daylight lines and stops at END:DAYLIGHT.
        {{"BEGIN:VTIMEZONE", "TZID:Nested/Part", "BEGIN:STANDARD", "TZOFFSETTO:+0100",
          "BEGIN:DAYLIGHT", "TZOFFSETTO:+0200", "END:DAYLIGHT", "END:STANDARD", "END:VTIMEZONE"},
         1, 7, 60, kNone, {{6, cut_short(5, "STANDARD TimeZone part")}, {6, cut_short(7, zone)}}},
        {{"BEGIN:VTIMEZONE", "TZID:No/End"}, 1, 0, kNone, kNone, {{6, cut_short(0, zone)}}},
    };
    for (const auto& c : cases) {
        log.clear();
        Walk w(c.lines);
        SCOPED_TRACE(w.tokens.text);
        EXPECT_EQ(0, w.rc);
        ASSERT_EQ(c.zones, w.zones->count);
        EXPECT_EQ(c.cursorLine, Tokens::lineOf(w.cursor));
        EXPECT_EQ(c.log, log.lines());
        if (!c.zones) continue;
        const CAL_VZONE* standard = w.zone()->pStandard;
        const CAL_VZONE* daylight = w.zone()->pDaylight;
        EXPECT_EQ(c.standard, standard ? standard->pDbZone->nOffsetTo : kNone);
        EXPECT_EQ(c.daylight, daylight ? daylight->pDbZone->nOffsetTo : kNone);
        const icu::TimeZone* rules = w.zone()->pIcuZone;
        EXPECT_EQ(c.standard, rules ? rules->getRawOffset() / 60000 : kNone);
    }
    // Nothing after the BEGIN: no component at all, and nothing to say.
    log.clear();
    Walk empty({"BEGIN:VTIMEZONE"});
    EXPECT_EQ(1, empty.rc);
    EXPECT_EQ(0u, empty.zones->count);
    EXPECT_TRUE(log.lines().empty());
}

// Memory running out inside a zone loses only what could not be made: the
// zone keeps its other properties and parts, a part its other properties.
// Only a zone whose record, TZID or place in the output cannot be made is lost.
TEST_F(VTimezone, RunningOutOfMemoryKeepsWhatWasRead) {
    Tokens tokens(kEastern);
    array_t* zones = array_new();
    kvallog_sink_t previous = kvallog_set_sink([](void*, int, const char*) {}, nullptr);
    bool withoutDaylight = false, withoutStandardName = false;
    auto build = [&] {
        array_iter_t cursor = tokens.start();
        long failures = heap_failure::g_failures_made;
        int rc = calparser_create_vtimezone_from_tokens(tokens.list, &cursor, zones, 1,
                                                        TOKEN_PUBLISH);
        bool injected = heap_failure::g_failures_made != failures;
        heap_failure::g_until_failure = -1;  // the checks below allocate
        EXPECT_EQ(17u, Tokens::lineOf(cursor));
        const CAL_VTIMEZONE* zone = (const CAL_VTIMEZONE*)array_elementat(zones, 0);
        if (rc == 3) {
            EXPECT_EQ(nullptr, zone);
        }
        if (zone) {
            EXPECT_EQ(0, rc);
            EXPECT_STREQ("US/Eastern", zone->pDbTimeZone->pTzid);
            // The time of change is the start's hour and minute, the seconds left out.
            if (zone->pStandard) {  // DTSTART 02:00:45
                EXPECT_EQ(7200000, zone->pStandard->nTimeMs);
            }
            withoutDaylight |= zone->pStandard && !zone->pDaylight;
            withoutStandardName |= zone->pStandard && zone->pDaylight &&
                                   !zone->pStandard->pDbZone->aTzNames;
        }
        CAL_VTIMEZONE_FreeCalVTimeZoneList(zones);
        return !injected && rc == 0 && zone;
    };
    EXPECT_TRUE(build());  // one-time tables outside the count
    count_failure_points(build, 20);
    kvallog_set_sink(previous, nullptr);
    EXPECT_TRUE(!HEAP_FAILURE_HOOK || (withoutDaylight && withoutStandardName));
    array_delete(zones);
}

}  // namespace
