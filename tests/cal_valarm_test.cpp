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

// Each row: the alarm BEGIN:VALARM, `line`, `second`, END:VALARM, built at
// base time `base`. Triggers are relative to the base time (RELATED is not
// read; a trigger that is no duration changes nothing) or absolute (VALUE
// compared ignoring case); a later ACTION not known makes it 0.
TEST(AlarmProperties, ActionsTriggersRepeatsAndAddresses)
{
    const struct {
        const char *line, *second;
        long base;
        int trigger, action, repeat;
    } rows[] = {
        {"TRIGGER:-PT15M", "TRIGGER:yesterday", kNoon, 1041421500, 0, 0},
        {"TRIGGER;RELATED=END:PT1H30M", "SUMMARY:x", kNoon, 1041427800, 0, 0},
        {"ACTION:AUDIO", "ACTION:EMAIL", kNoon, 0, 0, 0},
        {"TRIGGER;VALUE=date-time:20030101T113000Z", "REPEAT:4", 5, 1041420600, 0, 4},
        {"REPEAT:4", "REPEAT:x4", kNoon, 0, 0, 4},  // x4 is no number
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.line) + " " + row.second);
        Alarms alarms;
        ASSERT_EQ(0, walk(Tokens{"BEGIN:VALARM", row.line, row.second, "END:VALARM"},
                          alarms.list, row.base));
        EXPECT_EQ(row.trigger, alarms.at(0)->tTrigger);
        EXPECT_EQ(row.action, alarms.at(0)->nAction);
        EXPECT_EQ(row.repeat, alarms.at(0)->nRepeat);
    }

    // Addresses lose "mailto:" in any case and anywhere, unless nothing follows it.
    Alarms alarms;
    ASSERT_EQ(0, walk(Tokens{"BEGIN:VALARM", "ATTENDEE;CN=Bob:MAILTO:bob@e.x", "ATTENDEE:mailto:",
                             "ATTENDEE:x-Mailto:dan@e.x", "END:VALARM"},
                      alarms.list));
    EXPECT_EQ((Strings{"bob@e.x", "mailto:", "dan@e.x"}), strings(alarms.at(0)->aAttendees));
}

// A BEGIN stops the alarm with 0, kept, and stays current for the enclosing
// walk; with no token after its BEGIN there is no alarm and the result is 1.
// Without a list the alarm is reported and freed. (Other stops: with the
// component builders' walk.)
TEST(AlarmWalk, BeginStopsItNothingAfterItsBeginGivesOneAndNoListDropsIt)
{
    Alarms alarms;
    LogCapture log;
    array_iter_t cursor;
    Tokens stopped{"BEGIN:VALARM", "SUMMARY:a", "BEGIN:VALARM", "END:VALARM"};
    EXPECT_EQ(0, walk(stopped, alarms.list, kNoon, CALPARSER_PASS_ALARMS, &cursor));
    EXPECT_EQ(3u, Tokens::lineOf(cursor));
    ASSERT_EQ(1u, alarms.list->count);
    EXPECT_STREQ("a", alarms.at(0)->pSummary);
    EXPECT_EQ(1, walk(Tokens{"BEGIN:VALARM"}, alarms.list));
    EXPECT_EQ(1u, alarms.list->count);
    EXPECT_EQ(0, walk(Tokens{"BEGIN:VALARM", "SUMMARY:lost", "END:VALARM"}, nullptr));
    EXPECT_EQ(0, walk(Tokens{"BEGIN:VALARM", "SUMMARY:lost"}, nullptr));
    EXPECT_EQ((LogLines{{6, "line (3), calparser: Parse error: encountered abrupt end of parsing "
                            "VALARM."},
                        {4, "line (3), calparser: Parse error: Illegally formatted VALARM."},
                        {6, kEndOfFile},
                        {4, "line (0), calparser: Parse error: Illegally formatted VALARM."}}),
              log.lines());
}

}  // namespace
