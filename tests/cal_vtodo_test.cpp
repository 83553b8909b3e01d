// The VTODO builder: what differs from the event builder (DUE and the to-do
// fields, ignored event properties, statuses, alarms against DUE, state).
#include "core/parser/cal_vtodo.h"

#include <gtest/gtest.h>
#include <plstr.h>

#include "tests/builder_fixture.h"
#include "tests/heap_failure.h"

using namespace builder_test;

namespace {

constexpr int32_t kNoon = 1041422400;  // 2003-01-01 12:00:00 UTC

void build(const Tokens& tokens, Built& built, BuildOptions options = {})
{
    built.cursor = tokens.cursorAt(1);
    built.rc = calparser_create_vtodo_from_tokens(tokens.list, &built.cursor, built.components,
                                                  built.recurrence, nullptr, options.pass,
                                                  options.method, options.resolved, nullptr,
                                                  options.defaultTzid);
}

TEST(TodoProperties, ToDoFieldsAndIgnoredEventProperties)
{
    Tokens tokens{"BEGIN:VTODO", "SUMMARY:Report", "CATEGORIES:work,paper",
                  "DTSTART:20030101T120000Z", "DUE:20030102T120000Z", "COMPLETED:20030101T130000Z",
                  "PERCENT-COMPLETE:40", "PERCENT-COMPLETE:most", "PRIORITY:17",
                  "X-KVAL-DUE-TZID:Asia/Tokyo", "DTEND:20030105T120000Z", "TRANSP:TRANSPARENT",
                  "X-Z9KQ-ATTENDEE-RDATELIST:20030103T120000Z",
                  "X-Z9KQ-ATTENDEE-EXDATELIST:20030104T120000Z", "RRULE:freq=weekly",
                  "STATUS:IN-PROCESS", "END:VTODO"};
    Built built;
    LogCapture log;
    build(tokens, built);
    ASSERT_EQ(0, built.rc);
    CALDB_VTODO* t = built.record<CALDB_VTODO>();
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(CALDB_KIND_TODO, t->nType);
    EXPECT_EQ(CALDB_KIND_TODO, ((CAL_VCOMPONENT*)array_elementat(built.components, 0))->nType);
    EXPECT_STREQ("Report", t->pSummary);
    EXPECT_EQ(2u, count_of(t->aCategories));
    EXPECT_EQ(kNoon, t->tDtStart);
    EXPECT_EQ(kNoon + 86400, t->tDue);  // DTEND does not reach it
    EXPECT_EQ(kNoon + 3600, t->tCompleted);
    EXPECT_EQ(40, t->nPercentComplete);
    EXPECT_EQ(1u, t->nPriority);  // 17 keeps its low four bits
    EXPECT_STREQ("Asia/Tokyo", t->pDueTzid);
    EXPECT_EQ(0u, t->bTransparent);
    EXPECT_EQ(nullptr, t->aAttendeeRDateList);
    EXPECT_EQ(nullptr, t->aAttendeeExDateList);
    EXPECT_EQ((unsigned)CALDB_STATUS_IN_PROCESS, t->nStatus);
    EXPECT_STREQ("FREQ=WEEKLY", text_at(built.recurrenceList(0), 0));
    EXPECT_TRUE(log.lines.empty());
}

TEST(TodoProperties, StatusCodesAndTheNeedsActionDefault)
{
    const struct {
        const char* line;
        unsigned status;
        bool message;
    } cases[] = {{"STATUS:COMPLETED", 4, false}, {"STATUS:NEEDS-ACTION", 3, false},
                 {"STATUS:CANCELLED", 1, false}, {"STATUS:TENTATIVE", 3, true},
                 {"STATUS:CONFIRMED", 3, true},
                 // Without STATUS the constructor's CONFIRMED stays.
                 {"SUMMARY:x", 0, false}};
    for (const auto& c : cases) {
        Built built;
        LogCapture log;
        build(Tokens{"BEGIN:VTODO", c.line, "END:VTODO"}, built);
        EXPECT_EQ(0, built.rc);
        EXPECT_EQ(c.status, built.record<CALDB_VTODO>()->nStatus) << c.line;
        std::vector<LogLine> expected;
        if (c.message)
            expected.push_back({6, "line (2), calparser: Bad value for STATUS in VTODO.  "
                                   "Assigning default value of NEEDS-ACTION."});
        EXPECT_EQ(expected, log.lines) << c.line;
    }
}

TEST(TodoTimes, DueIsGivenOrStartPlusDurationElseUnset)
{
    const struct {
        const char *first, *second;
        int32_t start, due;
        unsigned startIsDate, dueIsDate;
    } cases[] = {
        {"DTSTART:20030101T120000Z", "SUMMARY:open", kNoon, 0, 0, 0},
        {"DTSTART:20030101T120000Z", "DURATION:P1D", kNoon, kNoon + 86400, 0, 0},
        {"DURATION:PT2H", "DUE:20030101T130000Z", 0, kNoon + 3600, 0, 0},
        {"DTSTART:20030101T120000Z", "DURATION:never", kNoon, kNoon, 0, 0},
        {"DUE;VALUE=DATE:20020131", "SUMMARY:x", 0, 1012435200, 0, 1},
        {"DTSTART;VALUE=DATE:20020101", "SUMMARY:x", 1009843200, 0, 1, 1},
    };
    for (const auto& c : cases) {
        Built built;
        build(Tokens{"BEGIN:VTODO", c.first, c.second, "END:VTODO"}, built);
        const CALDB_VTODO* t = built.record<CALDB_VTODO>();
        // A to-do given a DUE and no DTSTART starts at its DUE.
        EXPECT_EQ(c.start ? c.start : c.due, t->tDtStart) << c.first << " " << c.second;
        EXPECT_EQ(c.due, t->tDue) << c.first << " " << c.second;
        EXPECT_EQ(c.startIsDate, t->bDtStartIsDate) << c.first;
        EXPECT_EQ(c.dueIsDate, t->bDtEndIsDate) << c.first;
    }
}

TEST(TodoTimes, ZoneOfDueOnResolvedInput)
{
    // DUE without TZID: the to-do's DUE zone, else its start zone, else the
    // default; the pre-scan finds them behind the dates, but stops after two.
    Tokens ownZone{"BEGIN:VTODO", "DUE:20030101T120000", "X-KVAL-DTSTART-TZID:Europe/Paris",
                   "X-KVAL-DUE-TZID:Asia/Tokyo", "END:VTODO"};
    Tokens startZone{"BEGIN:VTODO", "DUE:20030101T120000", "X-KVAL-DTSTART-TZID:Europe/Paris",
                     "END:VTODO"};
    Tokens noZone{"BEGIN:VTODO", "DUE:20030101", "DTSTART;TZID=US/Eastern:20021231", "END:VTODO"};
    Tokens limited{"BEGIN:VTODO", "X-KVAL-DTSTART-TZID:Europe/Oslo",
                   "X-KVAL-DTSTART-TZID:Europe/Rome", "DUE:20030101T120000",
                   "X-KVAL-DUE-TZID:Asia/Seoul", "END:VTODO"};
    BuildOptions options;
    options.resolved = 1;
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
    // Resolved input marks 8-character values all-day, zone or not.
    EXPECT_EQ(1u, c.record<CALDB_VTODO>()->bDtEndIsDate);
    EXPECT_EQ(1u, c.record<CALDB_VTODO>()->bDtStartIsDate);
    EXPECT_EQ(0u, a.record<CALDB_VTODO>()->bDtEndIsDate);
}

TEST(TodoAlarms, BuiltAgainstDueNotStart)
{
    Tokens tokens{"BEGIN:VTODO", "DTSTART:20021231T120000Z", "BEGIN:VALARM", "TRIGGER:-PT15M",
                  "END:VALARM", "DUE:20030101T120000Z", "END:VTODO"};
    Built built;
    build(tokens, built);
    CALDB_VTODO* t = built.record<CALDB_VTODO>();
    ASSERT_EQ(1u, count_of(t->aAlarms));
    EXPECT_EQ(kNoon - 900, ((CALDB_VALARM*)array_elementat(t->aAlarms, 0))->tTrigger);
}

TEST(TodoState, DerivedFromTheMethod)
{
    const char* accepted = "ATTENDEE;PARTSTAT=ACCEPTED:mailto:ann@e.x";
    const struct {
        iCal_Token_t method;
        const char* line;
        uint32_t state;
    } cases[] = {
        {TOKEN_REQUEST, accepted, 0x20008},  // whatever the PARTSTAT
        {TOKEN_REQUEST, "SUMMARY:x", 0x20004},
        {TOKEN_REPLY, accepted, 0x40008},    // no attendee is the state address's
        {TOKEN_PUBLISH, accepted, 0x10004},
        {TOKEN_CANCEL, "SUMMARY:x", 0x80004},
        {TOKEN_REPLY, "X-KVAL-GSE-COMPONENT-STATE:131104", 131104},
    };
    BuildOptions options;
    options.resolved = 1;
    for (const auto& c : cases) {
        Built built;
        options.method = c.method;
        build(Tokens{"BEGIN:VTODO", c.line, "END:VTODO"}, built, options);
        EXPECT_EQ(c.state, built.record<CALDB_VTODO>()->nCompState) << c.method << " " << c.line;
    }
    // Only REPLY looks for the state address's attendee.
    const struct {
        iCal_Token_t method;
        int partStat;
        uint32_t state;
    } decisions[] = {{TOKEN_REQUEST, 2, 0x20008}, {TOKEN_REPLY, 2, 0x40020},
                     {TOKEN_REPLY, 4, 0x40100},   {TOKEN_REPLY, 6, 0x40008}};
    for (const auto& d : decisions) {
        CALDB_VTODO* t = caldb_NewToDo();
        add_attendee((CALDB_COMPONENT*)t, "mailto:Ann@e.x", d.partStat);
        t->pStateAddr = PL_strdup("MAILTO:ann@e.x");
        calparser_todo_deriveCompState(t, d.method);
        EXPECT_EQ(d.state, t->nCompState) << d.method << " " << d.partStat;
        caldb_FreeToDo(&t);
    }
}

TEST(TodoWalk, MessagesNameVtodoAndPass1IsSilent)
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
        {6, "line (4), calparser: Parse error: encountered END:VALARM without matching "
            "BEGIN:VALARM in VTODO."},
    };
    EXPECT_EQ(expected, log.lines);

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
    Tokens tokens{"BEGIN:VTODO", "DUE:20030101T120000Z", "SUMMARY:s", "ATTENDEE:mailto:a@x",
                  "BEGIN:VALARM", "TRIGGER:-PT15M", "SUMMARY:a", "END:VALARM", "END:VTODO"};
    int failurePoints = count_failure_points([&] {
        Built built;
        if (!built.components || !built.recurrence)
            return false;
        built.cursor = tokens.cursorAt(1);
        int rc = calparser_create_vtodo_from_tokens(tokens.list, &built.cursor, built.components,
                                                    built.recurrence, nullptr, 2, TOKEN_REPLY, 1,
                                                    nullptr, nullptr);
        const CALDB_VTODO* t = built.record<CALDB_VTODO>();
        if (rc == 3) {
            EXPECT_EQ(0u, built.components->count + built.recurrence->count);
        }
        EXPECT_EQ(built.components->count, built.recurrence->count);
        return rc == 0 && t && t->pSummary && count_of(t->aAttendees) == 1 &&
               count_of(t->aXProps) == 1 && count_of(t->aAlarms) == 1 &&
               ((const CALDB_VALARM*)array_elementat(t->aAlarms, 0))->pSummary;
    });
#if HEAP_FAILURE_HOOK
    EXPECT_GT(failurePoints, 10);
#else
    (void)failurePoints;
#endif
}

}  // namespace
