// The VALARM builder: properties, triggers, the walk's stops and messages.
#include "core/parser/cal_valarm.h"

#include <gtest/gtest.h>
#include <plstr.h>

#include "public/db/caldb.h"
#include "tests/builder_fixture.h"
#include "tests/heap_failure.h"

using builder_test::count_of;
using builder_test::LogCapture;
using builder_test::LogLine;
using builder_test::text_at;
using builder_test::Tokens;

namespace {

constexpr long kNoon20030101 = 1041422400;  // 2003-01-01 12:00:00 UTC

// An alarm list that frees its alarms.
struct Alarms {
    array_t* list = array_new();
    ~Alarms() { caldb_FreeList(&list, CALDB_LIST_ALARMS); }
    CALDB_VALARM* at(unsigned i) const { return (CALDB_VALARM*)array_elementat(list, i); }
};

// Builds the alarm that begins on line 1 of `tokens`.
int build(const Tokens& tokens, Alarms& alarms, long base = kNoon20030101,
          array_iter_t* after = nullptr)
{
    array_iter_t cursor = tokens.cursorAt(1);
    int rc = calparser_create_valarm_from_tokens(tokens.list, &cursor, alarms.list, base,
                                                 CALPARSER_ALARM_BUILD_PASS, TOKEN_PUBLISH);
    if (after)
        *after = cursor;
    return rc;
}

TEST(AlarmProperties, EveryPropertyReachesItsField)
{
    Tokens tokens{"BEGIN:VALARM",
                  "ACTION:DISPLAY",
                  "DURATION:P1DT2H",
                  "REPEAT:4",
                  "SUMMARY:Wake up",
                  "DESCRIPTION:Meeting\\, room 4",
                  "ATTACH:http://example.com/ding.wav",
                  "X-Z9KQ-SOUND;LOUD=1:ding",
                  "END:VALARM"};
    Alarms alarms;
    LogCapture log;
    ASSERT_EQ(0, build(tokens, alarms));
    ASSERT_EQ(1u, alarms.list->count);
    CALDB_VALARM* alarm = alarms.at(0);
    EXPECT_EQ(CALDB_ALARM_DISPLAY, alarm->nAction);
    EXPECT_EQ(26 * 3600, alarm->nDuration);
    EXPECT_EQ(4, alarm->nRepeat);
    EXPECT_STREQ("Wake up", alarm->pSummary);
    EXPECT_STREQ("Meeting, room 4", alarm->pDescription);
    // An extension line is kept whole, name and parameters included.
    ASSERT_EQ(1u, count_of(alarm->aXProps));
    EXPECT_STREQ("X-Z9KQ-SOUND;LOUD=1:ding", text_at(alarm->aXProps, 0));
    EXPECT_EQ(0u, count_of(alarm->aAttendees));
    EXPECT_EQ(0, alarm->tTrigger);
    EXPECT_TRUE(log.lines.empty());
}

TEST(AlarmProperties, LaterTextWinsAndBadNumbersKeepTheField)
{
    Tokens tokens{"BEGIN:VALARM", "SUMMARY:first",  "SUMMARY:second", "REPEAT:3",
                  "REPEAT:x4",    "ACTION:AUDIO",   "ACTION:EMAIL",   "DURATION:soon",
                  "END:VALARM"};
    Alarms alarms;
    ASSERT_EQ(0, build(tokens, alarms));
    CALDB_VALARM* alarm = alarms.at(0);
    EXPECT_STREQ("second", alarm->pSummary);
    EXPECT_EQ(3, alarm->nRepeat);
    EXPECT_EQ(CALDB_ALARM_EMAIL, alarm->nAction);  // the later ACTION wins, EMAIL is 0
    EXPECT_EQ(0, alarm->nDuration);
}

TEST(AlarmProperties, ActionCodes)
{
    const struct {
        const char* line;
        int action;
    } cases[] = {{"ACTION:AUDIO", 1}, {"ACTION:DISPLAY", 2}, {"ACTION:PROCEDURE", 3},
                 {"ACTION:EMAIL", 0}, {"ACTION:BEEP", 0}};
    for (const auto& c : cases) {
        Tokens tokens{"BEGIN:VALARM", "ACTION:AUDIO", c.line, "END:VALARM"};
        Alarms alarms;
        ASSERT_EQ(0, build(tokens, alarms));
        EXPECT_EQ(c.action, alarms.at(0)->nAction) << c.line;
    }
}

TEST(AlarmTrigger, RelativeTriggerCountsFromTheBaseTime)
{
    const struct {
        const char* line;
        long base;
        int trigger;
    } cases[] = {
        {"TRIGGER:-PT15M", kNoon20030101, 1041421500},
        {"TRIGGER;RELATED=END:PT1H30M", kNoon20030101, 1041427800},  // RELATED is not read
        {"TRIGGER;VALUE=DURATION:-P1D", kNoon20030101, 1041336000},
        {"TRIGGER:PT10M", 0, 600},
        // Absolute triggers ignore the base; VALUE is compared ignoring case.
        {"TRIGGER;VALUE=DATE-TIME:20030101T113000Z", kNoon20030101, 1041420600},
        {"TRIGGER;VALUE=date-time:20030101T113000Z", 5, 1041420600},
    };
    for (const auto& c : cases) {
        Tokens tokens{"BEGIN:VALARM", c.line, "END:VALARM"};
        Alarms alarms;
        ASSERT_EQ(0, build(tokens, alarms, c.base));
        EXPECT_EQ(c.trigger, alarms.at(0)->tTrigger) << c.line;
    }
}

TEST(AlarmTrigger, TriggerThatIsNoDurationLeavesTheEarlierOne)
{
    Tokens tokens{"BEGIN:VALARM", "TRIGGER:-PT15M", "TRIGGER:yesterday", "END:VALARM"};
    Alarms alarms;
    ASSERT_EQ(0, build(tokens, alarms));
    EXPECT_EQ(1041421500, alarms.at(0)->tTrigger);
}

TEST(AlarmAttendee, OnlyTheAddressAfterMailtoIsKept)
{
    Tokens tokens{"BEGIN:VALARM",
                  "ATTENDEE:mailto:ann@example.com",
                  "ATTENDEE;CN=Bob:MAILTO:bob@example.com",
                  "ATTENDEE:carol@example.com",
                  "ATTENDEE:mailto:",
                  "ATTENDEE:x-Mailto:dan@example.com",
                  "END:VALARM"};
    Alarms alarms;
    ASSERT_EQ(0, build(tokens, alarms));
    const array_t* attendees = alarms.at(0)->aAttendees;
    ASSERT_EQ(5u, count_of(attendees));
    EXPECT_STREQ("ann@example.com", text_at(attendees, 0));
    EXPECT_STREQ("bob@example.com", text_at(attendees, 1));
    EXPECT_STREQ("carol@example.com", text_at(attendees, 2));
    EXPECT_STREQ("mailto:", text_at(attendees, 3));  // nothing follows the prefix
    EXPECT_STREQ("dan@example.com", text_at(attendees, 4));  // the prefix may stand anywhere
}

TEST(AlarmAttendee, StripMailtoFillsOnlyAnEmptyPointer)
{
    char* out = nullptr;
    EXPECT_EQ(0, calparser_valarm_stripMailto("Mailto:eve@example.com", &out));
    EXPECT_STREQ("eve@example.com", out);
    char* before = out;
    EXPECT_EQ(0, calparser_valarm_stripMailto("mailto:other@example.com", &out));
    EXPECT_EQ(before, out);
    EXPECT_STREQ("eve@example.com", out);
    PL_strfree(out);
    out = nullptr;
    EXPECT_EQ(0, calparser_valarm_stripMailto(nullptr, &out));
    EXPECT_EQ(nullptr, out);
}

TEST(AlarmWalk, EndOfAnotherComponentClosesTheAlarmWithResult2)
{
    Tokens tokens{"BEGIN:VALARM", "TRIGGER:-PT15M", "SUMMARY:so far", "END:VEVENT", "SUMMARY:after"};
    Alarms alarms;
    LogCapture log;
    array_iter_t after;
    EXPECT_EQ(2, build(tokens, alarms, kNoon20030101, &after));
    EXPECT_EQ(4u, Tokens::lineOf(after));
    ASSERT_EQ(1u, log.lines.size());
    EXPECT_EQ((LogLine{6, "line (4), calparser: Parse error: encountered abrupt end of parsing VALARM."}),
              log.lines[0]);
    ASSERT_EQ(1u, alarms.list->count);
    EXPECT_EQ(1041421500, alarms.at(0)->tTrigger);
    EXPECT_STREQ("so far", alarms.at(0)->pSummary);
}

TEST(AlarmWalk, BeginInsideTheAlarmStopsOnItWithResult0)
{
    Tokens tokens{"BEGIN:VALARM", "SUMMARY:outer", "BEGIN:VALARM", "SUMMARY:inner", "END:VALARM"};
    Alarms alarms;
    LogCapture log;
    array_iter_t after;
    EXPECT_EQ(0, build(tokens, alarms, kNoon20030101, &after));
    EXPECT_EQ(3u, Tokens::lineOf(after));
    ASSERT_EQ(1u, log.lines.size());
    EXPECT_EQ((LogLine{6, "line (3), calparser: Parse error: encountered abrupt end of parsing VALARM."}),
              log.lines[0]);
    ASSERT_EQ(1u, alarms.list->count);
    EXPECT_STREQ("outer", alarms.at(0)->pSummary);
}

TEST(AlarmWalk, EndOfTokensKeepsTheAlarm)
{
    Tokens tokens{"BEGIN:VALARM", "REPEAT:2"};
    Alarms alarms;
    LogCapture log;
    array_iter_t after;
    EXPECT_EQ(0, build(tokens, alarms, kNoon20030101, &after));
    EXPECT_EQ(nullptr, after.element);
    ASSERT_EQ(1u, log.lines.size());
    EXPECT_EQ((LogLine{6, "calparser: Parse error: reached abrupt end of file in parsing VALARM."}),
              log.lines[0]);
    ASSERT_EQ(1u, alarms.list->count);
    EXPECT_EQ(2, alarms.at(0)->nRepeat);
}

TEST(AlarmWalk, NoTokenAfterBeginGives1)
{
    Tokens tokens{"BEGIN:VALARM"};
    Alarms alarms;
    LogCapture log;
    for (int pass : {1, 2, CALPARSER_ALARM_BUILD_PASS}) {
        array_iter_t cursor = tokens.cursorAt(1);
        EXPECT_EQ(1, calparser_create_valarm_from_tokens(tokens.list, &cursor, alarms.list, 0,
                                                         pass, TOKEN_PUBLISH));
    }
    EXPECT_EQ(0u, alarms.list->count);
    EXPECT_TRUE(log.lines.empty());
}

TEST(AlarmWalk, OtherPassesOnlyMoveTheCursor)
{
    Tokens closed{"BEGIN:VALARM", "TRIGGER:-PT15M", "END:VALARM", "SUMMARY:event"};
    Tokens cut{"BEGIN:VALARM", "TRIGGER:-PT15M", "END:VTODO"};
    Tokens open{"BEGIN:VALARM", "TRIGGER:-PT15M"};
    Alarms alarms;
    LogCapture log;
    for (int pass : {0, 1, 2}) {
        array_iter_t cursor = closed.cursorAt(1);
        EXPECT_EQ(0, calparser_create_valarm_from_tokens(closed.list, &cursor, alarms.list, 0, pass,
                                                         TOKEN_PUBLISH));
        EXPECT_EQ(3u, Tokens::lineOf(cursor));
        cursor = cut.cursorAt(1);
        EXPECT_EQ(0, calparser_create_valarm_from_tokens(cut.list, &cursor, alarms.list, 0, pass,
                                                         TOKEN_PUBLISH));
        EXPECT_EQ(3u, Tokens::lineOf(cursor));
        cursor = open.cursorAt(1);
        EXPECT_EQ(0, calparser_create_valarm_from_tokens(open.list, &cursor, alarms.list, 0, pass,
                                                         TOKEN_PUBLISH));
    }
    EXPECT_EQ(0u, alarms.list->count);
    EXPECT_TRUE(log.lines.empty());
}

TEST(AlarmWalk, WithoutAListTheAlarmIsReportedAndFreed)
{
    Tokens closed{"BEGIN:VALARM", "SUMMARY:lost", "END:VALARM"};
    Tokens open{"BEGIN:VALARM", "SUMMARY:lost"};
    LogCapture log;
    array_iter_t cursor = closed.cursorAt(1);
    EXPECT_EQ(0, calparser_create_valarm_from_tokens(closed.list, &cursor, nullptr, 0,
                                                     CALPARSER_ALARM_BUILD_PASS, TOKEN_PUBLISH));
    cursor = open.cursorAt(1);
    EXPECT_EQ(0, calparser_create_valarm_from_tokens(open.list, &cursor, nullptr, 0,
                                                     CALPARSER_ALARM_BUILD_PASS, TOKEN_PUBLISH));
    const std::vector<LogLine> expected{
        {4, "line (3), calparser: Parse error: Illegally formatted VALARM."},
        {6, "calparser: Parse error: reached abrupt end of file in parsing VALARM."},
        {4, "line (0), calparser: Parse error: Illegally formatted VALARM."},
    };
    EXPECT_EQ(expected, log.lines);
}

TEST(AlarmMemory, EveryAllocationFailureLeavesNothingBehind)
{
    // Each allocation of this alarm is needed for the whole result, so the
    // first run that succeeds is the first one in which nothing failed.
    Tokens tokens{"BEGIN:VALARM",  "DESCRIPTION:b",  "ATTENDEE:mailto:c@x", "X-Z9KQ-NOTE:d",
                  "SUMMARY:e",     "DURATION:PT5M",  "TRIGGER:-PT15M",      "END:VALARM"};
    int failurePoints = count_failure_points([&] {
        array_t* list = array_new();
        if (!list)
            return false;
        array_iter_t cursor = tokens.cursorAt(1);
        int rc = calparser_create_valarm_from_tokens(tokens.list, &cursor, list, kNoon20030101,
                                                     CALPARSER_ALARM_BUILD_PASS, TOKEN_PUBLISH);
        const CALDB_VALARM* alarm = (const CALDB_VALARM*)array_elementat(list, 0);
        bool whole = rc == 0 && alarm && alarm->pSummary && PL_strcmp(alarm->pSummary, "e") == 0 &&
                     alarm->pDescription &&
                     count_of(alarm->aAttendees) == 1 && count_of(alarm->aXProps) == 1;
        if (rc == 3) {
            EXPECT_EQ(0u, list->count);
        }
        caldb_FreeList(&list, CALDB_LIST_ALARMS);
        return whole;
    });
#if HEAP_FAILURE_HOOK
    EXPECT_GT(failurePoints, 4);
#else
    (void)failurePoints;
#endif
}

}  // namespace
