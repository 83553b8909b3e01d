// The VEVENT builder, the component walk it shares with the to-do builder
// (run over both kinds) and the walker over components not built.
#include "core/parser/cal_vevent.h"

#include <gtest/gtest.h>
#include <plstr.h>

#include "tests/support/attendee_lists.h"
#include "tests/support/builder_fixture.h"
#include "tests/support/heap_failure.h"
#include "tests/support/text_lists.h"

using namespace builder_test;

namespace {

// What the builders store other than as written: RECURRENCE-ID ignores its
// TZID and adds the original-start line, PRIORITY keeps its low four bits and
// no other bit of the flag word, a state given is not derived, the
// record keeps a rule as written and the recurrence info the storer's form,
// and a STATUS the kind does not know gives the kind's default.
TEST(ComponentProperties, StoredFormsAndStatusFallback)
{
    const struct {
        const Kind* kind;
        const char *status, *fallback;
        unsigned fallbackCode;
    } cases[] = {{&kEvent, "STATUS:NEEDS-ACTION", "CONFIRMED", 0},
                 {&kTodo, "STATUS:TENTATIVE", "NEEDS-ACTION", 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind->name);
        Tokens tokens(lines_of(*c.kind, {"BEGIN:*", "RECURRENCE-ID;TZID=Asia/Tokyo:20030101T110000Z",
                                         "X-KVAL-GSE-COMPONENT-STATE:262148", "RRULE:freq=daily",
                                         c.status, "PRIORITY:20", "TRANSP:TRANSPARENT", "END:*"}));
        Built built;
        LogCapture log;
        build(*c.kind, tokens, built);
        ASSERT_EQ(0, built.rc);
        const CALDB_COMPONENT* r = built.record();
        EXPECT_EQ(kNoon - 3600, r->tRecurrenceId);
        EXPECT_EQ((Strings{"X-KVAL-ORIGINAL-DTSTART:20030101T110000Z"}), strings(r->aXProps));
        EXPECT_EQ(262148u, r->nCompState);
        EXPECT_EQ(c.fallbackCode, r->nStatus);
        EXPECT_EQ(4u, r->nPriority);
        // TRANSP marks events only (bit 6).
        EXPECT_EQ(c.fallbackCode << 21 | 4u << 28 | (c.kind == &kEvent ? 1u << 6 : 0u), r->nFlags);
        EXPECT_EQ((Strings{"freq=daily"}), strings(r->aRRules));
        array_t* info = (array_t*)array_elementat(built.recurrence, 0);
        EXPECT_EQ((Strings{"FREQ=DAILY"}), strings((array_t*)array_elementat(info, 0)));
        EXPECT_EQ((LogLines{{6, std::string("line (5), calparser: Bad value for STATUS in ") +
                                    c.kind->name + ".  Assigning default value of " +
                                    c.fallback + "."}}),
                  log.lines());
    }
}

TEST(ComponentState, DerivedFromTheMethodAndTheStateAddressesDecision)
{
    // Attendees, when there are any: bob, who declined, then ann with
    // `partStat`; the state address, when set, is ann's in another case. The
    // first attendee whose address matches it decides; a to-do asks only on
    // REPLY, and an event's REPLY without a decision asks again.
    const struct {
        const Kind* kind;
        iCal_Token_t method;
        int partStat;  // 0: no attendees
        bool stateAddr;
        uint32_t state;
    } cases[] = {
        {&kEvent, TOKEN_PUBLISH, 2, true, 0x10004},   {&kEvent, TOKEN_REQUEST, 2, true, 0x20020},
        {&kEvent, TOKEN_REPLY, 3, true, 0x40040},     {&kEvent, TOKEN_REPLY, 4, true, 0x40100},
        {&kEvent, TOKEN_REPLY, 5, true, 0x20008},     {&kEvent, TOKEN_COUNTER, 0, false, 0x400004},
        {&kTodo, TOKEN_REQUEST, 2, true, 0x20008},
        {&kTodo, TOKEN_REPLY, 2, true, 0x40020},      {&kTodo, TOKEN_REPLY, 2, false, 0x40008},
        {&kEvent, TOKEN_DECLINECOUNTER, 0, false, 0x10004},
    };
    for (const auto& c : cases) {
        void* record = caldb_NewComponent(c.kind->recordKind);
        CALDB_COMPONENT* component = (CALDB_COMPONENT*)record;
        if (c.partStat)
            component->aAttendees = attendee_list(
                {new_attendee("mailto:bob@e.x", nullptr, 3),
                 new_attendee("MAILTO:Ann@E.x", nullptr, c.partStat),
                 new_attendee("mailto:ann@e.x", nullptr, 3)});
        if (c.stateAddr)
            component->pStateAddr = PL_strdup("mailto:ann@e.x");
        if (c.kind == &kEvent)
            calparser_event_deriveCompState((CALDB_VEVENT*)record, c.method);
        else
            calparser_todo_deriveCompState((CALDB_VTODO*)record, c.method);
        EXPECT_EQ(c.state, component->nCompState)
            << c.kind->name << " " << c.method << " " << c.partStat << " " << c.stateAddr;
        caldb_FreeComponent(&record);
    }
}

TEST(ComponentWalk, ParseErrorsKeepTheComponentWithResult2AndOtherPassesOnlyWalk)
{
    // Messages are at level 6; "*" stands for the kind's name.
    const char* eof = "calparser: Parse error: reached abrupt end of file in parsing *.";
    const struct {
        Strings lines;
        int rc;
        unsigned cursorLine, alarms;
        Strings log;
        int otherPassRc;
    } cases[] = {
        {{"BEGIN:*", "SUMMARY:a", "BEGIN:VJOURNAL", "END:VJOURNAL", "END:*"}, 2, 3, 0,
         {"line (3), calparser: Parse error: encountered abrupt end of parsing *."}, 0},
        {{"BEGIN:*", "SUMMARY:a"}, 2, 0, 0, {eof}, 0},
        // An alarm without a body gives 1, ORed into the component's result:
        // 2 | 1 where the component is built (and still kept), 1 in a walk.
        {{"BEGIN:*", "SUMMARY:a", "BEGIN:VALARM"}, 3, 0, 0, {eof}, 1},
        // A stray END:VALARM is reported by the alarm walk, so only beside an alarm.
        {{"BEGIN:*", "BEGIN:VALARM", "END:VALARM", "SUMMARY:a", "END:VALARM", "END:*"}, 2, 6, 1,
         {"line (5), calparser: Parse error: encountered END:VALARM without matching "
          "BEGIN:VALARM in *."},
         0},
        {{"BEGIN:*", "SUMMARY:a", "END:VALARM", "END:*"}, 0, 4, 0, {}, 0},
        // An alarm cut short by the component's END ends both; what follows is the caller's.
        {{"BEGIN:*", "SUMMARY:a", "BEGIN:VALARM", "TRIGGER:PT0S", "END:*", "BEGIN:*",
          "BEGIN:VALARM", "END:VALARM", "END:*"},
         2, 5, 1, {"line (5), calparser: Parse error: encountered abrupt end of parsing VALARM."},
         0},
    };
    for (const Kind* kind : {&kEvent, &kTodo}) {
        for (const auto& c : cases) {
            Tokens tokens(lines_of(*kind, c.lines));
            SCOPED_TRACE(tokens.text);
            Built built;
            LogCapture log;
            build(*kind, tokens, built);
            EXPECT_EQ(c.rc, built.rc);
            EXPECT_EQ(c.cursorLine, Tokens::lineOf(built.cursor));
            LogLines expected;
            for (const std::string& text : lines_of(*kind, c.log))
                expected.emplace_back(6, text);
            EXPECT_EQ(expected, log.lines());
            ASSERT_EQ(1u, built.components->count);
            ASSERT_EQ(1u, built.recurrence->count);
            EXPECT_STREQ("a", built.record()->pSummary);
            EXPECT_EQ(c.alarms, count_of(built.record()->aAlarms));

            // Pass 1 walks the same way without a word or a record.
            LogCapture quiet;
            Built walked;
            build(*kind, tokens, walked, BuildOptions{TOKEN_PUBLISH, 1});
            EXPECT_EQ(c.otherPassRc, walked.rc);
            EXPECT_EQ(c.cursorLine, Tokens::lineOf(walked.cursor));
            EXPECT_EQ(0u, walked.components->count + walked.recurrence->count);
            EXPECT_TRUE(quiet.lines().empty());
        }
    }
}

// Resolved input: a date-time without TZID is read in the record's own zone
// line, even one written after it; a to-do's DUE prefers X-KVAL-DUE-TZID; a
// plain date marks its flag.
TEST(ResolvedInput, DatesWithoutTzidTakeTheRecordsZone)
{
    ASSERT_EQ(0, zone_test::fill_registry({zone_test::fixed_zone("Test/Plus60", 60),
                                           zone_test::fixed_zone("Test/Minus60", -60)}));
    BuildOptions options;
    options.resolved = 1;
    Tokens event{"BEGIN:VEVENT", "DTSTART:20030101T120000", "X-KVAL-DTSTART-TZID:Test/Plus60",
                 "END:VEVENT"};
    Built builtEvent;
    build(kEvent, event, builtEvent, options);
    ASSERT_EQ(0, builtEvent.rc);
    EXPECT_EQ(kNoon - 3600, builtEvent.record<CALDB_VEVENT>()->tDtStart);

    Tokens todo{"BEGIN:VTODO", "DUE:20030101T120000", "X-KVAL-DTSTART-TZID:Test/Plus60",
                "X-KVAL-DUE-TZID:Test/Minus60", "DTSTART:20030101", "END:VTODO"};
    Built builtTodo;
    build(kTodo, todo, builtTodo, options);
    ASSERT_EQ(0, builtTodo.rc);
    EXPECT_EQ(kNoon + 3600, builtTodo.record<CALDB_VTODO>()->tDue);
    EXPECT_EQ(1u, builtTodo.record()->bDtStartIsDate);

    CALPARSER_TIMEZONE_LIST::Instance()->removeAllTimeZones();
}

// Components that are not built are walked to their own END; a stray
// END:VALARM counts as the alarms' pass reports it (naming VEVENT for any
// kind), and in pass 2 as an abrupt end. A nested alarm's result becomes the
// walk's.
TEST(UnsupportedComponent, WalkedToItsEndWithTheMessagesOfItsPass)
{
    const char* strayAlarm = "line (2), calparser: Parse error: encountered END:VALARM without "
                             "matching BEGIN:VALARM in VEVENT.";
    const Strings journal{"BEGIN:VJOURNAL", "END:VALARM", "SUMMARY:x", "END:VJOURNAL"};
    const Strings cutShort{"BEGIN:X-NOTE", "SUMMARY:x"};
    const Strings alarmCutOff{"BEGIN:VJOURNAL", "BEGIN:VALARM"};
    // The alarm stops on the journal's END, which then ends the journal.
    const Strings alarmEndedByJournal{"BEGIN:VJOURNAL", "BEGIN:VALARM", "END:VJOURNAL", "X:y"};
    const struct {
        const Strings& lines;
        iCal_Token_t kind;
        int pass, rc;
        unsigned cursorLine;
        LogLines log;
    } cases[] = {
        {journal, TOKEN_VJOURNAL, 3, 2, 4, {{6, strayAlarm}}},
        {journal, TOKEN_VJOURNAL, 2, 2, 2,
         {{6, "line (2), calparser: Parse error: encountered abrupt end of parsing VJOURNAL."}}},
        {cutShort, TOKEN_X, 2, 2, 0,
         {{6, "calparser: Parse error: reached abrupt end of file in parsing X-."}}},
        {alarmCutOff, TOKEN_VJOURNAL, 1, 1, 0, {}},
        {alarmEndedByJournal, TOKEN_VJOURNAL, 2, 0, 3, {}},
    };
    for (const auto& c : cases) {
        Tokens tokens(c.lines);
        SCOPED_TRACE(tokens.text + " pass " + std::to_string(c.pass));
        array_iter_t cursor = tokens.start();
        LogCapture log;
        EXPECT_EQ(c.rc, calparser_create_unsupported_component_from_tokens(
                            tokens.list, &cursor, c.kind, nullptr, nullptr, c.pass,
                            TOKEN_PUBLISH));
        EXPECT_EQ(c.cursorLine, Tokens::lineOf(cursor));
        EXPECT_EQ(c.log, log.lines());
    }
}

// The unhindered run also checks the alarm's base time: the event's start or
// the to-do's due, which may come after the alarm.
TEST(ComponentMemory, EveryAllocationFailureGives3AndLeavesNothingBehind)
{
    const Strings lines{"BEGIN:*", "BEGIN:VALARM", "TRIGGER:-PT15M", "SUMMARY:a",
                      "ATTENDEE:mailto:c@x", "X-Z9KQ-NOTE:d", "END:VALARM", "SUMMARY:s",
                      "DTSTART:20021231T120000Z", "DUE:20030101T120000Z", "DURATION:PT1H",
                      "CATEGORIES:a,b", "ATTENDEE;CN=Ann:mailto:ann@e.x", "ORGANIZER:mailto:b@e.x",
                      "RRULE:FREQ=DAILY", "RDATE:19990101T000000Z/PT1H", "X-Z9KQ-NOTE:n", "END:*"};
    BuildOptions options;
    options.method = TOKEN_REQUEST;
    options.resolved = 1;
    for (const Kind* kind : {&kEvent, &kTodo}) {
        Tokens tokens(lines_of(*kind, lines));
        const int32_t trigger = (kind == &kEvent ? kNoon - 86400 : kNoon) - 900;
        SCOPED_TRACE(kind->name);
        Built warm;  // one-time tables outside the count
        build(*kind, tokens, warm, options);
        count_failure_points([&] {
            Built built;
            if (!built.components || !built.recurrence)
                return false;
            build(*kind, tokens, built, options);
            if (built.rc == 3) {
                EXPECT_EQ(0u, built.components->count + built.recurrence->count);
            }
            const array_t* alarms = built.rc == 0 ? built.record()->aAlarms : nullptr;
            return count_of(alarms) == 1 &&
                   ((const CALDB_VALARM*)alarms->data[0])->tTrigger == trigger;
        }, 20);
    }
}

}  // namespace
