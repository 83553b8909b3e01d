// The component walk on its own: how it ends, what it hands to the callbacks,
// where it leaves the cursor and what it logs. The builders' tests cover
// what each builder makes of it.
#include "core/parser/cal_walk.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/builder_fixture.h"

using namespace builder_test;

namespace {

// A builder that notes what the walk hands it: "P2" a property on line 2,
// "B3" a BEGIN on line 3, "E4" a foreign END on line 4. A nested BEGIN of
// VALARM is walked by stepping the cursor one token on (the nested walk
// "consumes" the BEGIN's next line) and answered with `nested`.
struct Recorder {
    std::vector<std::string> seen;
    CALPARSER_NESTED nested = CALPARSER_NESTED_STEP_ON;
    bool passAlarmEnd = false;
};

std::string note(char what, const CALPARSER_TOKEN* token)
{
    return what + std::to_string(token->nLine);
}

void on_property(void* p, CALPARSER_TOKEN* token)
{
    static_cast<Recorder*>(p)->seen.push_back(note('P', token));
}

CALPARSER_NESTED on_begin(void* p, array_t* tokens, array_iter_t* cursor)
{
    Recorder* r = static_cast<Recorder*>(p);
    const CALPARSER_TOKEN* token = (const CALPARSER_TOKEN*)cursor->element;
    r->seen.push_back(note('B', token));
    if (token->nValue != TOKEN_VALARM)
        return CALPARSER_NESTED_NONE;
    array_findnext(tokens, cursor);
    return r->nested;
}

int on_foreign_end(void* p, const CALPARSER_TOKEN* token)
{
    Recorder* r = static_cast<Recorder*>(p);
    r->seen.push_back(note('E', token));
    return r->passAlarmEnd && token->nValue == TOKEN_VALARM;
}

struct WalkCase {
    const char* what;
    std::vector<std::string> lines;  // line 1 is the BEGIN:VTODO the walk enters from
    CALPARSER_NESTED nested;
    bool passAlarmEnd;
    int log;  // bLog
    CALPARSER_WALK_END end;
    unsigned stopLine;  // 0: past the end
    std::vector<std::string> seen;
    LogLines logged;
};

std::string cut_at(unsigned line)
{
    return "line (" + std::to_string(line) +
           "), calparser: Parse error: encountered abrupt end of parsing VTODO.";
}

const std::string kRanOut = "calparser: Parse error: reached abrupt end of file in parsing VTODO.";

TEST(ComponentWalk, EndsAndCallbacks)
{
    const CALPARSER_NESTED kStep = CALPARSER_NESTED_STEP_ON, kResume = CALPARSER_NESTED_RESUME;
    const WalkCase cases[] = {
        {"own END", {"BEGIN:VTODO", "SUMMARY:a", "UID:b", "END:VTODO", "SUMMARY:c"}, kStep, false,
         1, CALPARSER_WALK_OWN_END, 4, {"P2", "P3"}, {}},
        {"another END cuts it short",
         {"BEGIN:VTODO", "SUMMARY:a", "END:VEVENT", "END:VTODO"}, kStep, false, 1,
         CALPARSER_WALK_CUT_SHORT, 3, {"P2", "E3"}, {{6, cut_at(3)}}},
        {"a BEGIN that does not nest cuts it short",
         {"BEGIN:VTODO", "BEGIN:VEVENT", "END:VTODO"}, kStep, false, 1,
         CALPARSER_WALK_CUT_SHORT, 2, {"B2"}, {{6, cut_at(2)}}},
        {"tokens run out", {"BEGIN:VTODO", "SUMMARY:a"}, kStep, false, 1, CALPARSER_WALK_RAN_OUT,
         0, {"P2"}, {{6, kRanOut}}},
        {"nothing logged outside the building pass",
         {"BEGIN:VTODO", "END:VEVENT"}, kStep, false, 0, CALPARSER_WALK_CUT_SHORT, 2, {"E2"}, {}},
        {"a foreign END the builder passes over",
         {"BEGIN:VTODO", "END:VALARM", "SUMMARY:a", "END:VTODO"}, kStep, true, 1,
         CALPARSER_WALK_OWN_END, 4, {"E2", "P3"}, {}},
        // The nested walk stops on line 3: stepping on skips it, resuming judges it.
        {"nested: step on past its stop",
         {"BEGIN:VTODO", "BEGIN:VALARM", "END:VALARM", "SUMMARY:a", "END:VTODO"}, kStep, false, 1,
         CALPARSER_WALK_OWN_END, 5, {"B2", "P4"}, {}},
        {"nested: resume on its stop",
         {"BEGIN:VTODO", "BEGIN:VALARM", "SUMMARY:a", "END:VTODO"}, kResume, false, 1,
         CALPARSER_WALK_OWN_END, 4, {"B2", "P3"}, {}},
    };
    for (const WalkCase& c : cases) {
        SCOPED_TRACE(c.what);
        Tokens tokens(c.lines);
        Recorder recorder;
        recorder.nested = c.nested;
        recorder.passAlarmEnd = c.passAlarmEnd;
        const CALPARSER_WALK walk = {"VTODO", TOKEN_VTODO, c.log, &recorder,
                                     on_property, on_begin, on_foreign_end};
        array_iter_t cursor = tokens.start();
        ASSERT_EQ(0, calparser_walk_enter(tokens.list, &cursor));
        LogCapture log;
        EXPECT_EQ(c.end, calparser_walk_component(&walk, tokens.list, &cursor));
        EXPECT_EQ(c.stopLine, Tokens::lineOf(cursor));
        EXPECT_EQ(c.seen, recorder.seen);
        EXPECT_EQ(c.logged, log.lines());
    }
}

TEST(ComponentWalk, WithoutCallbacksPropertiesPassAndNestingStops)
{
    Tokens tokens{"BEGIN:VTODO", "SUMMARY:a", "BEGIN:VALARM", "END:VTODO"};
    const CALPARSER_WALK walk = {"VTODO", TOKEN_VTODO, 0, nullptr, nullptr, nullptr, nullptr};
    array_iter_t cursor = tokens.start();
    ASSERT_EQ(0, calparser_walk_enter(tokens.list, &cursor));
    EXPECT_EQ(CALPARSER_WALK_CUT_SHORT, calparser_walk_component(&walk, tokens.list, &cursor));
    EXPECT_EQ(3u, Tokens::lineOf(cursor));
}

TEST(ComponentWalk, EnterAndAfterNested)
{
    Tokens tokens{"BEGIN:VALARM", "END:VALARM", "END:VTODO"};
    array_iter_t cursor = tokens.start();
    ASSERT_EQ(0, calparser_walk_enter(tokens.list, &cursor));
    EXPECT_EQ(CALPARSER_NESTED_STEP_ON, calparser_walk_after_nested(&cursor, TOKEN_VALARM));
    array_findnext(tokens.list, &cursor);  // END:VTODO ended the alarm early
    EXPECT_EQ(CALPARSER_NESTED_RESUME, calparser_walk_after_nested(&cursor, TOKEN_VALARM));
    EXPECT_EQ(1, calparser_walk_enter(tokens.list, &cursor));  // the list ends
    EXPECT_EQ(nullptr, cursor.element);
    EXPECT_EQ(CALPARSER_NESTED_STEP_ON, calparser_walk_after_nested(&cursor, TOKEN_VALARM));
}

}  // namespace
