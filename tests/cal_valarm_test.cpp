// The VALARM builder: properties, triggers, the walk's stops and messages.
// Its allocation failures are driven through the component builders
// (cal_vevent_test.cpp).
#include "core/parser/cal_valarm.h"

#include <gtest/gtest.h>

#include "tests/support/builder_fixture.h"
#include "tests/support/text_lists.h"

using namespace builder_test;

namespace {

const char* const kEndOfFile =
    "calparser: Parse error: reached abrupt end of file in parsing VALARM.";

// An alarm list that frees its alarms.
struct Alarms {
    array_t* list = array_new();
    ~Alarms() { caldb_FreeList(&list, CALDB_LIST_ALARMS); }
    CALDB_VALARM* at(unsigned i) const { return (CALDB_VALARM*)array_elementat(list, i); }
};

// Walks the alarm that begins on line 1 of `tokens`; *pCursor is left where it stopped.
int walk(const Tokens& tokens, array_t* alarms, long base = kNoon,
         int pass = CALPARSER_PASS_ALARMS, array_iter_t* pCursor = nullptr)
{
    array_iter_t cursor = tokens.start();
    int rc = calparser_create_valarm_from_tokens(tokens.list, &cursor, alarms, base, pass,
                                                 TOKEN_PUBLISH);
    if (pCursor)
        *pCursor = cursor;
    return rc;
}

TEST(AlarmProperties, EachPropertyReachesItsField)
{
    Tokens tokens{"BEGIN:VALARM", "DURATION:P1DT2H", "REPEAT:4", "REPEAT:x4", "SUMMARY:Wake up",
                  "DESCRIPTION:room 4", "X-Z9KQ-SOUND;LOUD=1:ding", "ATTENDEE;CN=Bob:MAILTO:bob@e.x",
                  "ATTENDEE:mailto:", "ATTENDEE:x-Mailto:dan@e.x", "END:VALARM"};
    Alarms alarms;
    LogCapture log;
    ASSERT_EQ(0, walk(tokens, alarms.list));
    ASSERT_EQ(1u, alarms.list->count);
    CALDB_VALARM* a = alarms.at(0);
    EXPECT_EQ(26 * 3600, a->nDuration);
    EXPECT_EQ(4, a->nRepeat);  // x4 is no number
    EXPECT_STREQ("Wake up", a->pSummary);
    EXPECT_STREQ("room 4", a->pDescription);
    // The whole X- line, name and parameters included.
    EXPECT_EQ((Strings{"X-Z9KQ-SOUND;LOUD=1:ding"}), strings(a->aXProps));
    // Addresses lose "mailto:" in any case and anywhere, unless nothing follows it.
    EXPECT_EQ((Strings{"bob@e.x", "mailto:", "dan@e.x"}), strings(a->aAttendees));
    EXPECT_TRUE(log.lines().empty());
}

TEST(AlarmProperties, ActionCodesAndTriggers)
{
    const std::pair<const char*, int> actions[] = {
        {"ACTION:AUDIO", 1}, {"ACTION:DISPLAY", 2}, {"ACTION:PROCEDURE", 3}, {"ACTION:EMAIL", 0}};
    for (const auto& c : actions) {
        Alarms alarms;
        ASSERT_EQ(0, walk(Tokens{"BEGIN:VALARM", "ACTION:AUDIO", c.first, "END:VALARM"},
                          alarms.list));
        EXPECT_EQ(c.second, alarms.at(0)->nAction) << c.first;
    }

    // Relative to the base time, or absolute (VALUE compared ignoring case).
    const struct {
        const char *line, *second;
        long base;
        int trigger;
    } triggers[] = {
        {"TRIGGER:-PT15M", "SUMMARY:x", kNoon, 1041421500},
        {"TRIGGER;RELATED=END:PT1H30M", "SUMMARY:x", kNoon, 1041427800},  // RELATED is not read
        {"TRIGGER:-PT15M", "TRIGGER:yesterday", kNoon, 1041421500},  // no duration: no change
        {"TRIGGER;VALUE=date-time:20030101T113000Z", "SUMMARY:x", 5, 1041420600},
    };
    for (const auto& c : triggers) {
        Alarms alarms;
        ASSERT_EQ(0, walk(Tokens{"BEGIN:VALARM", c.line, c.second, "END:VALARM"}, alarms.list,
                          c.base));
        EXPECT_EQ(c.trigger, alarms.at(0)->tTrigger) << c.line << " " << c.second;
    }
}

TEST(AlarmWalk, StopsMessagesAndResults)
{
    const struct {
        Tokens tokens;
        int rc;
        unsigned cursorLine;
        LogLines log;
    } cases[] = {
        // Another component's END closes the alarm with 2; the alarm is kept.
        {{"BEGIN:VALARM", "SUMMARY:a", "END:VEVENT", "SUMMARY:b"}, 2, 3,
         {{6, "line (3), calparser: Parse error: encountered abrupt end of parsing VALARM."}}},
        // A BEGIN stops it with 0 and stays current for the enclosing walk.
        {{"BEGIN:VALARM", "SUMMARY:a", "BEGIN:VALARM", "END:VALARM"}, 0, 3,
         {{6, "line (3), calparser: Parse error: encountered abrupt end of parsing VALARM."}}},
        {{"BEGIN:VALARM", "SUMMARY:a"}, 0, 0, {{6, kEndOfFile}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tokens.text);
        Alarms alarms;
        LogCapture log;
        array_iter_t cursor;
        EXPECT_EQ(c.rc, walk(c.tokens, alarms.list, kNoon, CALPARSER_PASS_ALARMS, &cursor));
        EXPECT_EQ(c.cursorLine, Tokens::lineOf(cursor));
        EXPECT_EQ(c.log, log.lines());
        ASSERT_EQ(1u, alarms.list->count);
        EXPECT_STREQ("a", alarms.at(0)->pSummary);
    }
    Alarms alarms;
    EXPECT_EQ(1, walk(Tokens{"BEGIN:VALARM"}, alarms.list));  // no token after the BEGIN
    EXPECT_EQ(0u, alarms.list->count);
}

TEST(AlarmWalk, WithoutAListTheAlarmIsReportedAndFreed)
{
    LogCapture log;
    EXPECT_EQ(0, walk(Tokens{"BEGIN:VALARM", "SUMMARY:lost", "END:VALARM"}, nullptr));
    EXPECT_EQ(0, walk(Tokens{"BEGIN:VALARM", "SUMMARY:lost"}, nullptr));
    EXPECT_EQ((LogLines{{4, "line (3), calparser: Parse error: Illegally formatted VALARM."},
                        {6, kEndOfFile},
                        {4, "line (0), calparser: Parse error: Illegally formatted VALARM."}}),
              log.lines());
}

}  // namespace
