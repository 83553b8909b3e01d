// The VEVENT builder: properties, completion, alarms, component state, the
// walk's stops and messages, and the walker over components not built.
#include "core/parser/cal_vevent.h"

#include <gtest/gtest.h>
#include <plstr.h>

#include "core/parser/cal_vtimezone.h"
#include "tests/builder_fixture.h"
#include "tests/heap_failure.h"

using namespace builder_test;

namespace {

constexpr int32_t kNoon = 1041422400;  // 2003-01-01 12:00:00 UTC

void build(const Tokens& tokens, Built& built, BuildOptions options = {})
{
    built.cursor = tokens.cursorAt(1);
    built.rc = calparser_create_vevent_from_tokens(tokens.list, &built.cursor, built.components,
                                                   built.recurrence, nullptr, options.pass,
                                                   options.method, options.resolved, nullptr,
                                                   options.defaultTzid);
}

BuildOptions resolved(iCal_Token_t method = TOKEN_PUBLISH)
{
    BuildOptions options;
    options.method = method;
    options.resolved = 1;
    return options;
}

TEST(EventProperties, EachPropertyReachesItsField)
{
    Tokens tokens{"BEGIN:VEVENT", "SUMMARY:draft", "SUMMARY:Planning", "UID:uid-1",
                  "DESCRIPTION:Agenda\\; notes", "LOCATION:Room 4", "URL:http://e.x/1",
                  "CLASS:x-secret", "X-KVAL-CHARSET:UTF-8", "X-KVAL-LANGUAGE:fr",
                  "X-KVAL-LINK-CALID:jdoe:work", "X-Z9KQ-RECURRENCE-UNTIL:20031231T000000Z",
                  "X-KVAL-ORGANIZER-EMAIL:mailto:boss@e.x", "ATTACH:a1", "ATTACH:a2",
                  "COMMENT:c", "CONTACT:Ann", "RELATED-TO:uid-0", "CATEGORIES:WORK,Travel",
                  "CATEGORIES:misc", "RESOURCES:PROJECTOR,,CHAIRS",
                  "X-Z9KQ-RECURRENCE-RDATELIST:20030102T120000Z,20030103T120000Z",
                  "X-Z9KQ-RECURRENCE-EXDATELIST:20030104T120000Z",
                  "X-Z9KQ-ATTENDEE-RDATELIST:20030105T120000Z",
                  "X-Z9KQ-ATTENDEE-EXDATELIST:20030106T120000Z,20030107T120000Z",
                  "X-Z9KQ-COLOR;SHADE=dark:blue", "SEQUENCE:3", "SEQUENCE:x4", "PRIORITY:20",
                  "X-Z9KQ-RECURRENCE-COUNT:12", "TRANSP:TRANSPARENT",
                  "GEO:37.386013;-122.082932", "GEO:37.3", "STATUS:TENTATIVE",
                  "CREATED:20030101T130000Z", "LAST-MODIFIED:20030101T120000Z",
                  "RECURRENCE-ID;TZID=Asia/Tokyo:20030101T120000Z", "DTSTAMP:20030101T000000Z",
                  "REQUEST-STATUS:2.0;Success", "END:VEVENT"};
    Built built;
    LogCapture log;
    build(tokens, built);
    ASSERT_EQ(0, built.rc);
    CALDB_VEVENT* e = built.record<CALDB_VEVENT>();
    ASSERT_NE(nullptr, e);
    EXPECT_EQ(CALDB_KIND_EVENT, e->nType);
    EXPECT_STREQ("Planning", e->pSummary);  // the later text wins
    EXPECT_STREQ("uid-1", e->pUid);
    EXPECT_STREQ("Agenda; notes", e->pDescription);
    EXPECT_STREQ("Room 4", e->pLocation);
    EXPECT_STREQ("http://e.x/1", e->pUrl);
    EXPECT_STREQ("x-secret", e->pClass);
    EXPECT_STREQ("UTF-8", e->pCharset);
    EXPECT_STREQ("fr", e->pLanguage);
    EXPECT_STREQ("jdoe:work", e->pLinkCalid);
    EXPECT_EQ(1u, e->bHasLinkCalid);
    EXPECT_STREQ("20031231T000000Z", e->pRecurUntil);
    EXPECT_STREQ("boss@e.x", e->pOrganizerEmail);
    EXPECT_EQ(2u, count_of(e->aAttachments));  // one entry per property ...
    EXPECT_STREQ("c", text_at(e->aComments, 0));
    EXPECT_STREQ("Ann", text_at(e->aContacts, 0));
    EXPECT_STREQ("uid-0", text_at(e->aRelatedTo, 0));
    ASSERT_EQ(3u, count_of(e->aCategories));  // ... or per item
    EXPECT_STREQ("misc", text_at(e->aCategories, 2));
    EXPECT_EQ(3u, count_of(e->aResources));
    EXPECT_EQ(2u, count_of(e->aRecurRDateList));
    EXPECT_EQ(1u, count_of(e->aRecurExDateList));
    EXPECT_EQ(1u, count_of(e->aAttendeeRDateList));
    EXPECT_EQ(2u, count_of(e->aAttendeeExDateList));
    ASSERT_EQ(2u, count_of(e->aXProps));  // the whole line, then the original start
    EXPECT_STREQ("X-Z9KQ-COLOR;SHADE=dark:blue", text_at(e->aXProps, 0));
    EXPECT_EQ(3, e->nSequence);
    EXPECT_EQ(4u, e->nPriority);  // 20 keeps its low four bits
    EXPECT_EQ(12, e->nRecurCount);
    EXPECT_EQ(1u, e->bTransparent);
    EXPECT_EQ(37386013, e->nGeoLat);  // a one-part GEO stores nothing
    EXPECT_EQ(-122082932, e->nGeoLon);
    EXPECT_EQ((unsigned)CALDB_STATUS_TENTATIVE, e->nStatus);
    EXPECT_EQ(kNoon + 3600, e->tCreated);
    EXPECT_EQ(kNoon, e->tLastModified);
    EXPECT_EQ(kNoon, e->tRecurrenceId);  // TZID is not consulted
    EXPECT_TRUE(log.lines.empty());
    EXPECT_TRUE(log.traces.empty());
}

TEST(EventProperties, BadStatusStoresConfirmedWithAMessage)
{
    Tokens tokens{"BEGIN:VEVENT", "STATUS:TENTATIVE", "STATUS:NEEDS-ACTION", "TRANSP:TRANSPARENT",
                  "TRANSP:OPAQUE", "PRIORITY:abc", "END:VEVENT"};
    Built built;
    LogCapture log;
    build(tokens, built);
    EXPECT_EQ(0, built.rc);
    CALDB_VEVENT* e = built.record<CALDB_VEVENT>();
    EXPECT_EQ((unsigned)CALDB_STATUS_CONFIRMED, e->nStatus);
    EXPECT_EQ(0u, e->bTransparent);
    EXPECT_EQ(0u, e->nPriority);
    EXPECT_EQ((std::vector<LogLine>{{6, "line (3), calparser: Bad value for STATUS in VEVENT.  "
                                        "Assigning default value of CONFIRMED."}}),
              log.lines);
}

TEST(EventRecurrence, RulesAndDatesFeedTheRecordAndTheRecurrenceInfo)
{
    Tokens tokens{"BEGIN:VEVENT", "RRULE:freq=daily;count=3",
                  "RDATE:19990101T000000Z,19990101T000000Z/PT1H,19990102", "EXRULE:FREQ=weekly",
                  "EXDATE:19990103T000000Z,,19990104T000000Z", "END:VEVENT",
                  "BEGIN:VEVENT", "END:VEVENT"};
    Built built;
    build(tokens, built);
    CALDB_VEVENT* e = built.record<CALDB_VEVENT>();
    EXPECT_STREQ("freq=daily;count=3", text_at(e->aRRules, 0));  // as written
    EXPECT_STREQ("FREQ=DAILY;COUNT=3", text_at(built.recurrenceList(0), 0));
    EXPECT_STREQ("FREQ=weekly", text_at(e->aExRules, 0));
    EXPECT_STREQ("FREQ=WEEKLY", text_at(built.recurrenceList(2), 0));
    EXPECT_EQ(3u, count_of(e->aRDates));
    EXPECT_EQ(3u, count_of(built.recurrenceList(1)));
    ASSERT_EQ(1u, count_of(built.recurrenceList(4)));  // the one period
    EXPECT_EQ(915152400, ((CAL_TIME_PERIOD*)array_elementat(built.recurrenceList(4), 0))->tEnd);
    EXPECT_EQ(3u, count_of(e->aExDates));          // the record keeps the empty item,
    EXPECT_EQ(2u, count_of(built.recurrenceList(3)));  // the recurrence list drops it

    // An event without recurrence still gets five empty lists.
    Built plain;
    build(Tokens{"BEGIN:VEVENT", "END:VEVENT"}, plain);
    ASSERT_EQ(1u, plain.recurrence->count);
    for (unsigned list = 0; list < 5; list++)
        EXPECT_EQ(0u, count_of(plain.recurrenceList(list)));
}

TEST(EventTimes, EndIsDtendElseStartPlusDurationElseStart)
{
    const struct {
        const char *first, *second;
        int32_t start, end;
        unsigned allDay;
    } cases[] = {
        {"DTSTART:20030101T120000Z", "SUMMARY:x", kNoon, kNoon, 0},
        {"DTSTART:20030101T120000Z", "DURATION:PT1H", kNoon, kNoon + 3600, 0},
        {"DURATION:P1DT30M", "DTSTART:20030101T120000Z", kNoon, kNoon + 88200, 0},
        {"DTEND:20030101T130000Z", "DURATION:PT5H", kNoon, kNoon + 3600, 0},
        {"DTSTART:20030101T120000Z", "DURATION:later", kNoon, kNoon, 0},
        {"DTSTART;VALUE=DATE:20020101", "SUMMARY:x", 1009843200, 1009843200, 1},
    };
    for (const auto& c : cases) {
        Tokens tokens{"BEGIN:VEVENT", "DTSTART:20030101T120000Z", c.first, c.second, "END:VEVENT"};
        Built built;
        build(tokens, built);
        CALDB_VEVENT* e = built.record<CALDB_VEVENT>();
        EXPECT_EQ(c.start, e->tDtStart) << c.first << " " << c.second;
        EXPECT_EQ(c.end, e->tDtEnd) << c.first << " " << c.second;
        EXPECT_EQ(c.allDay, e->bDtStartIsDate);
        EXPECT_EQ(c.allDay, e->bDtEndIsDate);
    }
}

TEST(EventTimes, OriginalStartLineIsAddedOnce)
{
    Tokens derived{"BEGIN:VEVENT", "DTSTART:20030101T120000Z", "END:VEVENT"};
    Tokens given{"BEGIN:VEVENT", "DTSTART:20030101T120000Z",
                 "X-KVAL-ORIGINAL-DTSTART:20021225T120000Z",
                 "X-KVAL-ORIGINAL-DTSTART:20021226T120000Z", "END:VEVENT"};
    Built first, second;
    build(derived, first);
    build(given, second);
    const array_t* lines = first.record<CALDB_VEVENT>()->aXProps;
    ASSERT_EQ(1u, count_of(lines));
    EXPECT_STREQ("X-KVAL-ORIGINAL-DTSTART:20030101T120000Z", text_at(lines, 0));
    lines = second.record<CALDB_VEVENT>()->aXProps;
    ASSERT_EQ(1u, count_of(lines));  // the first one given stands
    EXPECT_STREQ("X-KVAL-ORIGINAL-DTSTART:20021225T120000Z", text_at(lines, 0));
}

TEST(EventTimes, ZoneOfDtstartAndDtend)
{
    // A zone that is not among the input's own is asked of the registry, and
    // the choice is traced: the TZID parameter; on resolved input without it,
    // the event's X-KVAL-DTSTART-TZID (even written after the dates), else the
    // default zone.
    Tokens plain{"BEGIN:VEVENT", "DTSTART;TZID=Europe/Paris:20030101T120000",
                 "DTEND:20030101T130000", "END:VEVENT"};
    Tokens own{"BEGIN:VEVENT", "DTSTART:20030101T120000", "DTEND;TZID=Asia/Tokyo:20030101T130000",
               "X-KVAL-DTSTART-TZID:America/Denver", "END:VEVENT"};
    Tokens fallback{"BEGIN:VEVENT", "DTSTART:20030101", "END:VEVENT"};
    LogCapture log;
    Built a, b, c;
    build(plain, a);
    BuildOptions options = resolved();
    options.defaultTzid = "Europe/Rome";
    build(own, b, options);
    build(fallback, c, options);
    const std::vector<std::string> expected{
        "calparser: TZID of Europe/Paris for date/time of 20030101T120000.",
        "calparser: TZID of America/Denver for date/time of 20030101T120000.",
        "calparser: TZID of Asia/Tokyo for date/time of 20030101T130000.",
        "calparser: TZID of Europe/Rome for date/time of 20030101.",
    };
    EXPECT_EQ(expected, log.traces);
    // With a zone the all-day flags come from the value's length on resolved input.
    EXPECT_EQ(0u, b.record<CALDB_VEVENT>()->bDtStartIsDate);
    EXPECT_EQ(1u, c.record<CALDB_VEVENT>()->bDtStartIsDate);
    EXPECT_EQ(1u, c.record<CALDB_VEVENT>()->bDtEndIsDate);
}

TEST(EventTimes, ZonesOfTheSameInputComeFirst)
{
    Tokens zone{"BEGIN:VTIMEZONE", "TZID:Test/Plus2", "BEGIN:STANDARD", "DTSTART:19700101T000000",
                "TZOFFSETFROM:+0200", "TZOFFSETTO:+0200", "END:STANDARD", "END:VTIMEZONE"};
    array_t* zones = array_new();
    array_iter_t cursor = zone.cursorAt(1);
    ASSERT_EQ(0, calparser_create_vtimezone_from_tokens(zone.list, &cursor, zones, 1, TOKEN_PUBLISH));
    ASSERT_EQ(1u, zones->count);

    Tokens tokens{"BEGIN:VEVENT", "DTSTART;TZID=test/plus2:20030101T120000",
                  "DTEND;TZID=TEST/PLUS2:20030101T140000", "END:VEVENT"};
    Built built;
    LogCapture log;
    built.cursor = tokens.cursorAt(1);
    built.rc = calparser_create_vevent_from_tokens(tokens.list, &built.cursor, built.components,
                                                   built.recurrence, zones, 2, TOKEN_PUBLISH, 0,
                                                   nullptr, nullptr);
    EXPECT_EQ(0, built.rc);
    EXPECT_EQ(kNoon - 7200, built.record<CALDB_VEVENT>()->tDtStart);
    EXPECT_EQ(kNoon, built.record<CALDB_VEVENT>()->tDtEnd);
    EXPECT_TRUE(log.traces.empty());  // the registry was not asked
    CAL_VTIMEZONE_FreeCalVTimeZoneList(zones);
    array_delete(zones);
}

TEST(EventAlarms, BuiltAgainstTheEventStart)
{
    Tokens tokens{"BEGIN:VEVENT", "BEGIN:VALARM", "TRIGGER:-PT15M", "END:VALARM", "BEGIN:VALARM",
                  "TRIGGER:PT0S", "SUMMARY:now", "END:VALARM", "DTSTART:20030101T120000Z",
                  "SUMMARY:Event", "END:VEVENT"};
    Built built;
    LogCapture log;
    build(tokens, built);
    EXPECT_EQ(0, built.rc);
    EXPECT_EQ(11u, Tokens::lineOf(built.cursor));
    CALDB_VEVENT* e = built.record<CALDB_VEVENT>();
    EXPECT_STREQ("Event", e->pSummary);  // the alarms' lines are not the event's
    ASSERT_EQ(2u, count_of(e->aAlarms));
    // DTSTART came after the alarms and still counts.
    EXPECT_EQ(kNoon - 900, ((CALDB_VALARM*)array_elementat(e->aAlarms, 0))->tTrigger);
    EXPECT_EQ(kNoon, ((CALDB_VALARM*)array_elementat(e->aAlarms, 1))->tTrigger);
    EXPECT_TRUE(log.lines.empty());
}

TEST(EventState, DerivedFromTheMethodWhenTheInputGaveNone)
{
    const char* attendee = "ATTENDEE;PARTSTAT=ACCEPTED:mailto:ann@e.x";
    const struct {
        iCal_Token_t method;
        const char* line;
        uint32_t state;
    } cases[] = {
        {TOKEN_PUBLISH, "SUMMARY:x", 0x10004}, {TOKEN_REFRESH, attendee, 0x10004},
        {TOKEN_REQUEST, "SUMMARY:x", 0x20004},
        // No attendee is the state address's (none is set): "needs action".
        {TOKEN_REQUEST, attendee, 0x20008},    {TOKEN_REPLY, attendee, 0x20008},
        {TOKEN_CANCEL, attendee, 0x80004},     {TOKEN_COUNTER, "SUMMARY:x", 0x400004},
        {TOKEN_REQUEST, "X-KVAL-GSE-COMPONENT-STATE:262148", 262148},
    };
    for (const auto& c : cases) {
        Built built;
        build(Tokens{"BEGIN:VEVENT", c.line, "END:VEVENT"}, built, resolved(c.method));
        EXPECT_EQ(c.state, built.record<CALDB_VEVENT>()->nCompState) << c.method << " " << c.line;
    }

    // The first attendee whose address matches the state address, ignoring
    // case, decides.
    const struct {
        iCal_Token_t method;
        int partStat;
        uint32_t state;
    } decisions[] = {{TOKEN_REQUEST, 2, 0x20020}, {TOKEN_REPLY, 3, 0x40040},
                     {TOKEN_REPLY, 4, 0x40100},   {TOKEN_REPLY, 1, 0x20008},
                     {TOKEN_REPLY, 5, 0x20008}};
    for (const auto& d : decisions) {
        CALDB_VEVENT* e = caldb_NewEvent();
        add_attendee((CALDB_COMPONENT*)e, "mailto:bob@e.x", 3);
        add_attendee((CALDB_COMPONENT*)e, "MAILTO:Ann@E.x", d.partStat);
        add_attendee((CALDB_COMPONENT*)e, "mailto:ann@e.x", 3);
        e->pStateAddr = PL_strdup("mailto:ann@e.x");
        calparser_event_deriveCompState(e, d.method);
        EXPECT_EQ(d.state, e->nCompState) << d.method << " " << d.partStat;
        caldb_FreeEvent(&e);
    }
}

TEST(EventWalk, ParseErrorsKeepTheEventWithResult2)
{
    const char* abrupt = "line (%u), calparser: Parse error: encountered abrupt end of parsing %s.";
    const char* eofEvent = "calparser: Parse error: reached abrupt end of file in parsing VEVENT.";
    const char* stray = "line (5), calparser: Parse error: encountered END:VALARM without "
                        "matching BEGIN:VALARM in VEVENT.";
    const struct {
        Tokens tokens;
        int rc;
        unsigned cursorLine, alarms;
        std::vector<LogLine> log;
    } cases[] = {
        {{"BEGIN:VEVENT", "SUMMARY:a", "BEGIN:VTODO", "END:VTODO", "END:VEVENT"}, 2, 3, 0,
         {{6, format(abrupt, 3, "VEVENT")}}},
        {{"BEGIN:VEVENT", "SUMMARY:a", "END:VCALENDAR"}, 2, 3, 0, {{6, format(abrupt, 3, "VEVENT")}}},
        {{"BEGIN:VEVENT", "SUMMARY:a"}, 2, 0, 0, {{6, eofEvent}}},
        {{"BEGIN:VEVENT", "SUMMARY:a", "BEGIN:VALARM", "TRIGGER:-PT1H"}, 2, 0, 1,
         {{6, eofEvent},
          {6, "calparser: Parse error: reached abrupt end of file in parsing VALARM."}}},
        {{"BEGIN:VEVENT", "SUMMARY:a", "BEGIN:VALARM"}, 2, 0, 0, {{6, eofEvent}}},
        // A stray END:VALARM is reported by the alarm walk, so only beside an alarm.
        {{"BEGIN:VEVENT", "BEGIN:VALARM", "END:VALARM", "SUMMARY:a", "END:VALARM", "END:VEVENT"},
         2, 6, 1, {{6, stray}}},
        {{"BEGIN:VEVENT", "SUMMARY:a", "END:VALARM", "END:VEVENT"}, 0, 4, 0, {}},
        // An alarm cut short by the event's END ends both; the next event is the caller's.
        {{"BEGIN:VEVENT", "SUMMARY:a", "BEGIN:VALARM", "TRIGGER:PT0S", "END:VEVENT", "BEGIN:VEVENT",
          "BEGIN:VALARM", "END:VALARM", "END:VEVENT"},
         2, 5, 1, {{6, format(abrupt, 5, "VALARM")}}},
        {{"BEGIN:VEVENT", "SUMMARY:a", "BEGIN:VALARM", "BEGIN:VTODO", "END:VTODO", "END:VEVENT"},
         2, 4, 1, {{6, format(abrupt, 4, "VEVENT")}, {6, format(abrupt, 4, "VALARM")}}},
    };
    for (const auto& c : cases) {
        Built built;
        LogCapture log;
        build(c.tokens, built);
        SCOPED_TRACE(c.tokens.text);
        EXPECT_EQ(c.rc, built.rc);
        EXPECT_EQ(c.cursorLine, Tokens::lineOf(built.cursor));
        EXPECT_EQ(c.log, log.lines);
        ASSERT_EQ(1u, built.components->count);
        ASSERT_EQ(1u, built.recurrence->count);
        EXPECT_STREQ("a", built.record<CALDB_VEVENT>()->pSummary);
        EXPECT_EQ(c.alarms, count_of(built.record<CALDB_VEVENT>()->aAlarms));
    }
}

TEST(EventWalk, OtherPassesOnlyWalk)
{
    Tokens whole{"BEGIN:VEVENT", "SUMMARY:a", "BEGIN:VALARM", "END:VALARM", "END:VEVENT"};
    Tokens cut{"BEGIN:VEVENT", "SUMMARY:a", "BEGIN:VTODO", "END:VTODO", "END:VEVENT"};
    Tokens open{"BEGIN:VEVENT", "SUMMARY:a"};
    LogCapture log;
    for (int pass : {0, 1, 3}) {
        BuildOptions options;
        options.pass = pass;
        Built a, b, c;
        build(whole, a, options);
        build(cut, b, options);
        build(open, c, options);
        EXPECT_EQ(0, a.rc + b.rc + c.rc);
        EXPECT_EQ(5u, Tokens::lineOf(a.cursor));
        EXPECT_EQ(3u, Tokens::lineOf(b.cursor));
        EXPECT_EQ(0u, a.components->count + b.components->count + c.components->count +
                          a.recurrence->count);
    }
    EXPECT_TRUE(log.lines.empty());
    Built bare;
    build(Tokens{"BEGIN:VEVENT"}, bare, resolved());
    EXPECT_EQ(1, bare.rc);
    EXPECT_EQ(0u, bare.components->count);
}

TEST(UnsupportedComponents, WalkedToTheirEndReportingAbruptEndsInPass2)
{
    Tokens journal{"BEGIN:VJOURNAL", "SUMMARY:notes", "BEGIN:VALARM", "TRIGGER:PT0S",
                   "END:VALARM", "END:VJOURNAL"};
    Tokens freebusy{"BEGIN:VFREEBUSY", "FREEBUSY:19980314T233000Z/PT1H", "BEGIN:VEVENT"};
    Tokens extension{"BEGIN:X-THING", "FOO:bar"};
    Tokens stray{"BEGIN:VJOURNAL", "END:VALARM", "END:VJOURNAL"};
    const struct {
        const Tokens* tokens;
        iCal_Token_t kind;
        int pass, rc;
        unsigned cursorLine;
        const char* message;
    } cases[] = {
        {&journal, TOKEN_VJOURNAL, 1, 0, 6, nullptr},
        {&journal, TOKEN_VJOURNAL, 2, 0, 6, nullptr},
        {&freebusy, TOKEN_VFREEBUSY, 1, 0, 3, nullptr},
        {&freebusy, TOKEN_VFREEBUSY, 2, 2, 3,
         "line (3), calparser: Parse error: encountered abrupt end of parsing VFREEBUSY."},
        {&extension, TOKEN_X, 1, 0, 0, nullptr},
        {&extension, TOKEN_X, 2, 2, 0,
         "calparser: Parse error: reached abrupt end of file in parsing X-."},
        {&stray, TOKEN_VJOURNAL, 2, 2, 2,
         "line (2), calparser: Parse error: encountered abrupt end of parsing VJOURNAL."},
        // Pass code 3 reports a stray END:VALARM and walks on.
        {&stray, TOKEN_VJOURNAL, 3, 2, 3,
         "line (2), calparser: Parse error: encountered END:VALARM without matching BEGIN:VALARM "
         "in VEVENT."},
    };
    for (const auto& c : cases) {
        LogCapture log;
        array_iter_t cursor = c.tokens->cursorAt(1);
        EXPECT_EQ(c.rc, calparser_create_unsupported_component_from_tokens(
                            c.tokens->list, &cursor, c.kind, nullptr, nullptr, c.pass,
                            TOKEN_PUBLISH));
        EXPECT_EQ(c.cursorLine, Tokens::lineOf(cursor));
        std::vector<LogLine> expected;
        if (c.message)
            expected.push_back({6, c.message});
        EXPECT_EQ(expected, log.lines) << c.kind << " pass " << c.pass;
    }
    Tokens bare{"BEGIN:VJOURNAL"};
    array_iter_t cursor = bare.cursorAt(1);
    EXPECT_EQ(1, calparser_create_unsupported_component_from_tokens(bare.list, &cursor,
                                                                    TOKEN_VJOURNAL, nullptr,
                                                                    nullptr, 2, TOKEN_PUBLISH));
}

TEST(EventMemory, EveryAllocationFailureGives3AndLeavesNothingBehind)
{
    // Each allocation is needed for the whole event, so the first run that
    // succeeds is the first in which nothing failed.
    Tokens tokens{"BEGIN:VEVENT", "DTSTART:20030101T120000Z", "DURATION:PT1H", "SUMMARY:s",
                  "CATEGORIES:a,b", "ATTENDEE;CN=Ann:mailto:ann@e.x", "ORGANIZER:mailto:b@e.x",
                  "RRULE:FREQ=DAILY", "RDATE:19990101T000000Z/PT1H", "X-Z9KQ-NOTE:n",
                  "BEGIN:VALARM", "TRIGGER:-PT15M", "SUMMARY:a", "END:VALARM", "END:VEVENT"};
    int failurePoints = count_failure_points([&] {
        Built built;
        if (!built.components || !built.recurrence)
            return false;
        built.cursor = tokens.cursorAt(1);
        int rc = calparser_create_vevent_from_tokens(tokens.list, &built.cursor, built.components,
                                                     built.recurrence, nullptr, 2, TOKEN_REQUEST,
                                                     1, nullptr, nullptr);
        const CALDB_VEVENT* e = built.record<CALDB_VEVENT>();
        if (rc == 3) {
            EXPECT_EQ(0u, built.components->count + built.recurrence->count);
        }
        EXPECT_EQ(built.components->count, built.recurrence->count);
        return rc == 0 && e && e->pSummary && count_of(e->aCategories) == 2 &&
               count_of(e->aAttendees) == 1 && e->pOrganizer && count_of(e->aRRules) == 1 &&
               count_of(e->aRDates) == 1 && count_of(e->aXProps) == 2 &&
               count_of(e->aAlarms) == 1 &&
               ((const CALDB_VALARM*)array_elementat(e->aAlarms, 0))->pSummary &&
               e->tDtEnd == kNoon + 3600 && count_of(built.recurrenceList(0)) == 1 &&
               count_of(built.recurrenceList(4)) == 1;
    });
#if HEAP_FAILURE_HOOK
    EXPECT_GT(failurePoints, 20);
#else
    (void)failurePoints;
#endif
}

}  // namespace
