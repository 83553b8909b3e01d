// The VALARM builder: the walk's stops and messages.
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
