// The VTODO builder: what differs from the event builder (DUE and the to-do
// fields, ignored event properties, statuses, alarms against DUE, state).
#include "core/parser/cal_vtodo.h"

#include <gtest/gtest.h>
#include <plstr.h>

#include "tests/builder_fixture.h"
#include "tests/heap_failure.h"

using builder_test::BuildOptions;
using builder_test::Built;
using builder_test::count_of;
using builder_test::LogCapture;
using builder_test::LogLine;
using builder_test::text_at;
using builder_test::Tokens;

namespace {

constexpr int32_t kNoon20030101 = 1041422400;  // 2003-01-01 12:00:00 UTC

void build(const Tokens& tokens, Built& built, BuildOptions options = {})
{
    built.cursor = tokens.cursorAt(options.beginLine);
    built.rc = calparser_create_vtodo_from_tokens(tokens.list, &built.cursor, built.components,
                                                  built.recurrence, nullptr, options.pass,
                                                  options.method, options.resolved, nullptr,
                                                  options.defaultTzid);
}

BuildOptions with_method(iCal_Token_t method, int resolvedInput = 1)
{
    BuildOptions options;
    options.method = method;
    options.resolved = resolvedInput;
    return options;
}

TEST(TodoProperties, ToDoFieldsAndIgnoredEventProperties)
{
    Tokens tokens{"BEGIN:VTODO",
                  "SUMMARY:Report",
                  "CATEGORIES:work,paper",
                  "DTSTART:20030101T120000Z",
                  "DUE:20030102T120000Z",
                  "COMPLETED:20030101T130000Z",
                  "PERCENT-COMPLETE:40",
                  "PERCENT-COMPLETE:most",
                  "PRIORITY:17",
                  "X-KVAL-DUE-TZID:Asia/Tokyo",
                  "DTEND:20030105T120000Z",
                  "TRANSP:TRANSPARENT",
                  "X-Z9KQ-ATTENDEE-RDATELIST:20030103T120000Z",
                  "X-Z9KQ-ATTENDEE-EXDATELIST:20030104T120000Z",
                  "RRULE:freq=weekly",
                  "END:VTODO"};
    Built built;
    LogCapture log;
    build(tokens, built);
    ASSERT_EQ(0, built.rc);
    CALDB_VTODO* todo = built.record<CALDB_VTODO>();
    ASSERT_NE(nullptr, todo);
    EXPECT_EQ(CALDB_KIND_TODO, todo->nType);
    EXPECT_EQ(CALDB_KIND_TODO, ((CAL_VCOMPONENT*)array_elementat(built.components, 0))->nType);
    EXPECT_STREQ("Report", todo->pSummary);
    EXPECT_EQ(2u, count_of(todo->aCategories));
    EXPECT_EQ(kNoon20030101, todo->tDtStart);
    EXPECT_EQ(kNoon20030101 + 86400, todo->tDue);  // DTEND does not reach it
    EXPECT_EQ(kNoon20030101 + 3600, todo->tCompleted);
    EXPECT_EQ(40, todo->nPercentComplete);
    EXPECT_EQ(1u, todo->nPriority);  // 17 keeps its low four bits
    EXPECT_STREQ("Asia/Tokyo", todo->pDueTzid);
    EXPECT_EQ(0u, todo->bTransparent);
    EXPECT_EQ(nullptr, todo->aAttendeeRDateList);
    EXPECT_EQ(nullptr, todo->aAttendeeExDateList);
    EXPECT_STREQ("FREQ=WEEKLY", text_at(built.recurrenceList(0), 0));
    EXPECT_TRUE(log.lines.empty());
}

TEST(TodoProperties, StatusCodesAndTheNeedsActionDefault)
{
    const struct {
        const char* line;
        unsigned status;
    } good[] = {{"STATUS:COMPLETED", 4},
                {"STATUS:NEEDS-ACTION", 3},
                {"STATUS:CANCELLED", 1},
                {"STATUS:IN-PROCESS", 5}};
    for (const auto& c : good) {
        Tokens tokens{"BEGIN:VTODO", c.line, "END:VTODO"};
        Built built;
        LogCapture log;
        build(tokens, built);
        EXPECT_EQ(c.status, built.record<CALDB_VTODO>()->nStatus) << c.line;
        EXPECT_TRUE(log.lines.empty()) << c.line;
    }
    Tokens bad{"BEGIN:VTODO", "STATUS:COMPLETED", "STATUS:TENTATIVE", "END:VTODO"};
    Built built;
    LogCapture log;
    build(bad, built);
    EXPECT_EQ(0, built.rc);
    EXPECT_EQ(3u, built.record<CALDB_VTODO>()->nStatus);
    const std::vector<LogLine> expected{
        {6, "line (3), calparser: Bad value for STATUS in VTODO.  Assigning default value of NEEDS-ACTION."}};
    EXPECT_EQ(expected, log.lines);

    // Without STATUS the constructor's code stays: CONFIRMED, not NEEDS-ACTION.
    Tokens none{"BEGIN:VTODO", "SUMMARY:x", "END:VTODO"};
    Built plain;
    build(none, plain);
    EXPECT_EQ(0u, plain.record<CALDB_VTODO>()->nStatus);
}

TEST(TodoTimes, DueIsGivenOrStartPlusDurationElseUnset)
{
    const struct {
        const char* first;
        const char* second;
        int32_t start;
        int32_t due;
    } cases[] = {
        {"DTSTART:20030101T120000Z", "SUMMARY:open", kNoon20030101, 0},
        {"DTSTART:20030101T120000Z", "DURATION:P1D", kNoon20030101, kNoon20030101 + 86400},
        {"DURATION:PT2H", "DUE:20030101T130000Z", kNoon20030101 - 86400,
         kNoon20030101 + 3600},  // a DUE given wins
        {"DTSTART:20030101T120000Z", "DURATION:never", kNoon20030101, kNoon20030101},
        // A to-do with DUE only starts at its DUE.
        {"SUMMARY:due only", "DUE:20030101T130000Z", kNoon20030101 + 3600, kNoon20030101 + 3600},
    };
    for (const auto& c : cases) {
        bool startGiven = c.start != kNoon20030101 + 3600;
        Tokens tokens{"BEGIN:VTODO", startGiven ? "DTSTART:20021231T120000Z" : "SUMMARY:none",
                      c.first, c.second, "END:VTODO"};
        Built built;
        build(tokens, built);
        const CALDB_VTODO* todo = built.record<CALDB_VTODO>();
        EXPECT_EQ(c.start, todo->tDtStart) << c.first << " " << c.second;
        EXPECT_EQ(c.due, todo->tDue) << c.first << " " << c.second;
    }
}

TEST(TodoTimes, AllDayDueAndStart)
{
    Tokens due{"BEGIN:VTODO", "DUE;VALUE=DATE:20020131", "END:VTODO"};
    Built first;
    build(due, first);
    EXPECT_EQ(1012435200, first.record<CALDB_VTODO>()->tDue);
    EXPECT_EQ(1u, first.record<CALDB_VTODO>()->bDtEndIsDate);
    EXPECT_EQ(0u, first.record<CALDB_VTODO>()->bDtStartIsDate);

    Tokens start{"BEGIN:VTODO", "DTSTART;VALUE=DATE:20020101", "END:VTODO"};
    Built second;
    build(start, second);
    EXPECT_EQ(1009843200, second.record<CALDB_VTODO>()->tDtStart);
    EXPECT_EQ(0, second.record<CALDB_VTODO>()->tDue);
    EXPECT_EQ(1u, second.record<CALDB_VTODO>()->bDtStartIsDate);
    EXPECT_EQ(1u, second.record<CALDB_VTODO>()->bDtEndIsDate);
}

TEST(TodoTimes, ZoneOfDueOnResolvedInput)
{
    // DUE without TZID: the to-do's DUE zone, else its start zone, else the
    // default; the pre-scan finds them behind the dates.
    Tokens ownZone{"BEGIN:VTODO", "DUE:20030101T120000", "X-KVAL-DTSTART-TZID:Europe/Paris",
                   "X-KVAL-DUE-TZID:Asia/Tokyo", "END:VTODO"};
    Tokens startZone{"BEGIN:VTODO", "DUE:20030101T120000", "X-KVAL-DTSTART-TZID:Europe/Paris",
                     "END:VTODO"};
    Tokens noZone{"BEGIN:VTODO", "DUE:20030101", "DTSTART;TZID=US/Eastern:20021231", "END:VTODO"};
    // The pre-scan stops after two zone lines: the third is stored only by the walk.
    Tokens limited{"BEGIN:VTODO", "X-KVAL-DTSTART-TZID:Europe/Oslo",
                   "X-KVAL-DTSTART-TZID:Europe/Rome", "DUE:20030101T120000",
                   "X-KVAL-DUE-TZID:Asia/Seoul", "END:VTODO"};
    BuildOptions options = with_method(TOKEN_PUBLISH);
    options.defaultTzid = "America/Denver";
    LogCapture log;
    Built a, b, c, d;
    build(ownZone, a, options);
    build(startZone, b, options);
    build(noZone, c, options);
    build(limited, d, options);
    const std::vector<std::string> expected{
        "calparser: TZID of Asia/Tokyo for date/time of 20030101T120000.",
        "calparser: TZID of Europe/Paris for date/time of 20030101T120000.",
        "calparser: TZID of America/Denver for date/time of 20030101.",
        "calparser: TZID of US/Eastern for date/time of 20021231.",
        "calparser: TZID of Europe/Rome for date/time of 20030101T120000.",
    };
    EXPECT_EQ(expected, log.traces);
    // Resolved input marks 8-character values all-day even with a zone.
    EXPECT_EQ(1u, c.record<CALDB_VTODO>()->bDtEndIsDate);
    EXPECT_EQ(1u, c.record<CALDB_VTODO>()->bDtStartIsDate);
    EXPECT_EQ(0u, a.record<CALDB_VTODO>()->bDtEndIsDate);
    EXPECT_STREQ("Asia/Seoul", d.record<CALDB_VTODO>()->pDueTzid);
}

TEST(TodoAlarms, BuiltAgainstDueNotStart)
{
    Tokens tokens{"BEGIN:VTODO",    "DTSTART:20021231T120000Z", "BEGIN:VALARM", "TRIGGER:-PT15M",
                  "END:VALARM",     "DUE:20030101T120000Z",     "END:VTODO"};
    Built built;
    build(tokens, built);
    EXPECT_EQ(0, built.rc);
    CALDB_VTODO* todo = built.record<CALDB_VTODO>();
    ASSERT_EQ(1u, count_of(todo->aAlarms));
    EXPECT_EQ(kNoon20030101 - 900, ((CALDB_VALARM*)array_elementat(todo->aAlarms, 0))->tTrigger);

    Tokens dueOnly{"BEGIN:VTODO", "DUE:20030101T120000Z", "BEGIN:VALARM", "TRIGGER:PT0S",
                   "END:VALARM",  "END:VTODO"};
    Built second;
    build(dueOnly, second);
    todo = second.record<CALDB_VTODO>();
    EXPECT_EQ(kNoon20030101, todo->tDtStart);
    EXPECT_EQ(kNoon20030101, ((CALDB_VALARM*)array_elementat(todo->aAlarms, 0))->tTrigger);
}

TEST(TodoState, DerivedFromTheMethod)
{
    const char* accepted = "ATTENDEE;PARTSTAT=ACCEPTED:mailto:ann@example.com";
    const struct {
        iCal_Token_t method;
        const char* line;
        uint32_t state;
    } cases[] = {
        {TOKEN_REQUEST, accepted, 0x20008},  // whatever the PARTSTAT
        {TOKEN_REQUEST, "SUMMARY:x", 0x20004},
        {TOKEN_REPLY, accepted, 0x40008},    // no attendee is the state address's
        {TOKEN_REPLY, "SUMMARY:x", 0x40008},
        {TOKEN_PUBLISH, accepted, 0x10004},
        {TOKEN_CANCEL, "SUMMARY:x", 0x80004},
        {TOKEN_REPLY, "X-KVAL-GSE-COMPONENT-STATE:131104", 131104},
    };
    for (const auto& c : cases) {
        Tokens tokens{"BEGIN:VTODO", c.line, "END:VTODO"};
        Built built;
        build(tokens, built, with_method(c.method));
        EXPECT_EQ(c.state, built.record<CALDB_VTODO>()->nCompState)
            << calparser_getICALString(c.method) << " " << c.line;
    }
}

TEST(TodoState, OnlyReplyLooksForTheStateAddress)
{
    const struct {
        iCal_Token_t method;
        int partStat;
        uint32_t state;
    } cases[] = {{TOKEN_REQUEST, 2, 0x20008}, {TOKEN_REPLY, 2, 0x40020}, {TOKEN_REPLY, 3, 0x40040},
                 {TOKEN_REPLY, 4, 0x40100},   {TOKEN_REPLY, 6, 0x40008}};
    for (const auto& c : cases) {
        CALDB_VTODO* todo = caldb_NewToDo();
        todo->aAttendees = array_new();
        CALDB_ATTENDEE* attendee = caldb_NewAttendee();
        attendee->pAddr = PL_strdup("mailto:Ann@example.com");
        attendee->nPartStat = c.partStat;
        array_append(todo->aAttendees, attendee);
        todo->pStateAddr = PL_strdup("MAILTO:ann@example.com");
        calparser_todo_deriveCompState(todo, c.method);
        EXPECT_EQ(c.state, todo->nCompState) << c.method << " " << c.partStat;
        caldb_FreeToDo(&todo);
    }
}

TEST(TodoWalk, MessagesNameVtodo)
{
    Tokens nested{"BEGIN:VTODO", "SUMMARY:a", "BEGIN:VEVENT", "END:VEVENT", "END:VTODO"};
    Tokens open{"BEGIN:VTODO", "SUMMARY:a"};
    Tokens stray{"BEGIN:VTODO", "BEGIN:VALARM", "END:VALARM", "END:VALARM", "END:VTODO"};
    LogCapture log;
    Built a, b, c;
    build(nested, a);
    build(open, b);
    build(stray, c);
    EXPECT_EQ(2, a.rc);
    EXPECT_EQ(3u, Tokens::lineOf(a.cursor));
    EXPECT_EQ(2, b.rc);
    EXPECT_EQ(2, c.rc);
    EXPECT_EQ(5u, Tokens::lineOf(c.cursor));
    EXPECT_EQ(3u, a.components->count + b.components->count + c.components->count);
    const std::vector<LogLine> expected{
        {6, "line (3), calparser: Parse error: encountered abrupt end of parsing VTODO."},
        {6, "calparser: Parse error: reached abrupt end of file in parsing VTODO."},
        {6, "line (4), calparser: Parse error: encountered END:VALARM without matching BEGIN:VALARM in VTODO."},
    };
    EXPECT_EQ(expected, log.lines);

    // Pass 1 walks the same inputs silently and makes nothing.
    LogCapture quiet;
    BuildOptions pass1;
    pass1.pass = 1;
    for (const Tokens* tokens : {&nested, &open, &stray}) {
        Built walked;
        build(*tokens, walked, pass1);
        EXPECT_EQ(0, walked.rc);
        EXPECT_EQ(0u, walked.components->count + walked.recurrence->count);
    }
    EXPECT_TRUE(quiet.lines.empty());
}

TEST(TodoMemory, EveryAllocationFailureGives3AndLeavesNothingBehind)
{
    // No zone-id line: the pre-scan would store it twice, and a failure of
    // the first copy would not show in the result.
    Tokens tokens{"BEGIN:VTODO",  "DUE:20030101T120000Z", "SUMMARY:s",     "ATTENDEE:mailto:a@x",
                  "BEGIN:VALARM", "TRIGGER:-PT15M",       "SUMMARY:a",     "END:VALARM",
                  "END:VTODO"};
    int failurePoints = count_failure_points([&] {
        array_t* todos = array_new();
        array_t* recurrence = array_new();
        if (!todos || !recurrence) {
            array_delete(todos);
            array_delete(recurrence);
            return false;
        }
        array_iter_t cursor = tokens.cursorAt(1);
        int rc = calparser_create_vtodo_from_tokens(tokens.list, &cursor, todos, recurrence,
                                                    nullptr, 2, TOKEN_REPLY, 1, nullptr, nullptr);
        const CAL_VCOMPONENT* wrapper = (const CAL_VCOMPONENT*)array_elementat(todos, 0);
        const CALDB_VTODO* todo = wrapper ? (const CALDB_VTODO*)wrapper->pComponent : nullptr;
        bool whole = rc == 0 && todo && todo->pSummary &&
                     count_of(todo->aAttendees) == 1 && count_of(todo->aXProps) == 1 &&
                     count_of(todo->aAlarms) == 1 &&
                     ((const CALDB_VALARM*)array_elementat(todo->aAlarms, 0))->pSummary &&
                     recurrence->count == 1;
        if (rc == 3) {
            EXPECT_EQ(0u, todos->count + recurrence->count);
        }
        EXPECT_EQ(todos->count, recurrence->count);
        calparser_FreeCalVCompList(todos);
        array_delete(todos);
        builder_test::free_recurrence_infos(recurrence);
        return whole;
    });
#if HEAP_FAILURE_HOOK
    EXPECT_GT(failurePoints, 10);
#else
    (void)failurePoints;
#endif
}

}  // namespace
