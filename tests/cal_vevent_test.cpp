// The VEVENT builder: properties, completion, alarms, component state, the
// walk's stops and messages, and the walker over components not built.
#include "core/parser/cal_vevent.h"

#include <gtest/gtest.h>
#include <plstr.h>

#include "public/core_util/userattr.h"
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

TEST(EventProperties, TextsLaterOneWins)
{
    Tokens tokens{"BEGIN:VEVENT",
                  "SUMMARY:draft",
                  "SUMMARY:Planning",
                  "UID:uid-1",
                  "DESCRIPTION:Agenda\\; notes",
                  "LOCATION:Room 4",
                  "URL:http://example.com/e",
                  "CLASS:x-secret",
                  "X-KVAL-CHARSET:UTF-8",
                  "X-KVAL-LANGUAGE:fr",
                  "X-KVAL-DTSTART-TZID:Europe/Paris",
                  "X-KVAL-LINK-CALID:jdoe:work",
                  "X-Z9KQ-RECURRENCE-UNTIL:20031231T000000Z",
                  "X-KVAL-ORGANIZER-EMAIL:mailto:boss@example.com",
                  "END:VEVENT"};
    Built built;
    LogCapture log;
    build(tokens, built);
    ASSERT_EQ(0, built.rc);
    CALDB_VEVENT* event = built.record<CALDB_VEVENT>();
    ASSERT_NE(nullptr, event);
    EXPECT_EQ(CALDB_KIND_EVENT, event->nType);
    EXPECT_STREQ("Planning", event->pSummary);
    EXPECT_STREQ("uid-1", event->pUid);
    EXPECT_STREQ("Agenda; notes", event->pDescription);
    EXPECT_STREQ("Room 4", event->pLocation);
    EXPECT_STREQ("http://example.com/e", event->pUrl);
    EXPECT_STREQ("x-secret", event->pClass);
    EXPECT_STREQ("UTF-8", event->pCharset);
    EXPECT_STREQ("fr", event->pLanguage);
    EXPECT_STREQ("Europe/Paris", event->pDtStartTzid);
    EXPECT_STREQ("jdoe:work", event->pLinkCalid);
    EXPECT_EQ(1u, event->bHasLinkCalid);
    EXPECT_STREQ("20031231T000000Z", event->pRecurUntil);
    EXPECT_STREQ("boss@example.com", event->pOrganizerEmail);
    EXPECT_TRUE(log.lines.empty());
}

TEST(EventProperties, ListsTakeOneEntryPerPropertyOrPerItem)
{
    Tokens tokens{"BEGIN:VEVENT",
                  "ATTACH:http://example.com/a",
                  "ATTACH:http://example.com/b",
                  "COMMENT:first\\, really",
                  "CONTACT:Ann",
                  "RELATED-TO:uid-0",
                  "CATEGORIES:WORK,Travel",
                  "CATEGORIES:misc",
                  "RESOURCES:PROJECTOR,,CHAIRS",
                  "X-Z9KQ-RECURRENCE-RDATELIST:20030102T120000Z,20030103T120000Z",
                  "X-Z9KQ-RECURRENCE-EXDATELIST:20030104T120000Z",
                  "X-Z9KQ-ATTENDEE-RDATELIST:20030105T120000Z",
                  "X-Z9KQ-ATTENDEE-EXDATELIST:20030106T120000Z,20030107T120000Z",
                  "X-Z9KQ-COLOR;SHADE=dark:blue",
                  "DTSTAMP:20030101T000000Z",
                  "REQUEST-STATUS:2.0;Success",
                  "END:VEVENT"};
    Built built;
    build(tokens, built);
    ASSERT_EQ(0, built.rc);
    CALDB_VEVENT* event = built.record<CALDB_VEVENT>();
    ASSERT_EQ(2u, count_of(event->aAttachments));
    EXPECT_STREQ("http://example.com/b", text_at(event->aAttachments, 1));
    ASSERT_EQ(1u, count_of(event->aComments));
    EXPECT_STREQ("first, really", text_at(event->aComments, 0));
    EXPECT_STREQ("Ann", text_at(event->aContacts, 0));
    EXPECT_STREQ("uid-0", text_at(event->aRelatedTo, 0));
    ASSERT_EQ(3u, count_of(event->aCategories));
    EXPECT_STREQ("WORK", text_at(event->aCategories, 0));
    EXPECT_STREQ("Travel", text_at(event->aCategories, 1));
    EXPECT_STREQ("misc", text_at(event->aCategories, 2));
    ASSERT_EQ(3u, count_of(event->aResources));  // the empty item is kept
    EXPECT_STREQ("", text_at(event->aResources, 1));
    EXPECT_EQ(2u, count_of(event->aRecurRDateList));
    EXPECT_EQ(1u, count_of(event->aRecurExDateList));
    EXPECT_EQ(1u, count_of(event->aAttendeeRDateList));
    EXPECT_EQ(2u, count_of(event->aAttendeeExDateList));
    // The extension line whole, then the original-start line of completion.
    ASSERT_EQ(2u, count_of(event->aXProps));
    EXPECT_STREQ("X-Z9KQ-COLOR;SHADE=dark:blue", text_at(event->aXProps, 0));
    EXPECT_STREQ("X-KVAL-ORIGINAL-DTSTART:19700101T000000Z", text_at(event->aXProps, 1));
}

TEST(EventProperties, IntegersPriorityTransparencyAndGeo)
{
    Tokens tokens{"BEGIN:VEVENT",    "SEQUENCE:3",     "SEQUENCE:x4",  "PRIORITY:20",
                  "X-Z9KQ-RECURRENCE-COUNT:12",        "TRANSP:TRANSPARENT",
                  "GEO:37.386013;-122.082932",         "GEO:37.3",     "END:VEVENT"};
    Built built;
    build(tokens, built);
    CALDB_VEVENT* event = built.record<CALDB_VEVENT>();
    EXPECT_EQ(3, event->nSequence);  // x4 is no number
    EXPECT_EQ(4u, event->nPriority);  // 20 keeps its low four bits
    EXPECT_EQ(12, event->nRecurCount);
    EXPECT_EQ(1u, event->bTransparent);
    EXPECT_EQ(37386013, event->nGeoLat);  // the one-part GEO stores nothing
    EXPECT_EQ(-122082932, event->nGeoLon);

    Tokens again{"BEGIN:VEVENT", "TRANSP:TRANSPARENT", "TRANSP:OPAQUE", "PRIORITY:abc",
                 "END:VEVENT"};
    Built second;
    build(again, second);
    EXPECT_EQ(0u, second.record<CALDB_VEVENT>()->bTransparent);
    EXPECT_EQ(0u, second.record<CALDB_VEVENT>()->nPriority);
}

TEST(EventProperties, StatusCodesAndTheDefaultWithItsMessage)
{
    const struct {
        const char* line;
        unsigned status;
    } good[] = {{"STATUS:TENTATIVE", 2}, {"STATUS:CANCELLED", 1}, {"STATUS:CONFIRMED", 0}};
    for (const auto& c : good) {
        Tokens tokens{"BEGIN:VEVENT", "STATUS:TENTATIVE", c.line, "END:VEVENT"};
        Built built;
        LogCapture log;
        build(tokens, built);
        EXPECT_EQ(c.status, built.record<CALDB_VEVENT>()->nStatus) << c.line;
        EXPECT_TRUE(log.lines.empty());
    }

    Tokens bad{"BEGIN:VEVENT", "STATUS:TENTATIVE", "STATUS:NEEDS-ACTION", "STATUS:FOO",
               "END:VEVENT"};
    Built built;
    LogCapture log;
    build(bad, built);
    EXPECT_EQ(0, built.rc);  // a replaced STATUS does not change the result
    EXPECT_EQ(0u, built.record<CALDB_VEVENT>()->nStatus);
    const std::vector<LogLine> expected{
        {6, "line (3), calparser: Bad value for STATUS in VEVENT.  Assigning default value of CONFIRMED."},
        {6, "line (4), calparser: Bad value for STATUS in VEVENT.  Assigning default value of CONFIRMED."},
    };
    EXPECT_EQ(expected, log.lines);

    Tokens none{"BEGIN:VEVENT", "SUMMARY:x", "END:VEVENT"};
    Built plain;
    build(none, plain);
    EXPECT_EQ(0u, plain.record<CALDB_VEVENT>()->nStatus);
}

TEST(EventRecurrence, RulesAndDatesFeedTheRecordAndTheRecurrenceInfo)
{
    Tokens tokens{"BEGIN:VEVENT",
                  "RRULE:freq=daily;count=3",
                  "RDATE:19990101T000000Z,19990101T000000Z/PT1H,19990102",
                  "EXRULE:FREQ=weekly",
                  "EXDATE:19990103T000000Z,,19990104T000000Z",
                  "END:VEVENT"};
    Built built;
    build(tokens, built);
    ASSERT_EQ(0, built.rc);
    CALDB_VEVENT* event = built.record<CALDB_VEVENT>();
    ASSERT_EQ(1u, built.recurrence->count);
    ASSERT_EQ(5u, count_of((array_t*)array_elementat(built.recurrence, 0)));
    // The record keeps the texts as written, the recurrence lists upper-case rules.
    EXPECT_STREQ("freq=daily;count=3", text_at(event->aRRules, 0));
    EXPECT_STREQ("FREQ=DAILY;COUNT=3", text_at(built.recurrenceList(0), 0));
    EXPECT_STREQ("FREQ=weekly", text_at(event->aExRules, 0));
    EXPECT_STREQ("FREQ=WEEKLY", text_at(built.recurrenceList(2), 0));
    ASSERT_EQ(3u, count_of(event->aRDates));
    ASSERT_EQ(3u, count_of(built.recurrenceList(1)));
    EXPECT_STREQ("19990101T000000Z/PT1H", text_at(built.recurrenceList(1), 1));
    EXPECT_STREQ("19990102", text_at(built.recurrenceList(1), 2));
    ASSERT_EQ(1u, count_of(built.recurrenceList(4)));  // the one valid period
    const CAL_TIME_PERIOD* period = (const CAL_TIME_PERIOD*)array_elementat(built.recurrenceList(4), 0);
    EXPECT_EQ(915148800, period->tStart);
    EXPECT_EQ(915152400, period->tEnd);
    EXPECT_EQ(3u, count_of(event->aExDates));             // the record keeps the empty item
    EXPECT_EQ(2u, count_of(built.recurrenceList(3)));     // the recurrence list drops it

    // An event without recurrence still gets its five empty lists.
    Tokens plain{"BEGIN:VEVENT", "SUMMARY:once", "BEGIN:VEVENT", "END:VEVENT"};
    build(plain, built);
    ASSERT_EQ(2u, built.recurrence->count);
    for (unsigned list = 0; list < 5; list++)
        EXPECT_EQ(0u, count_of(built.recurrenceList(list, 1)));
}

TEST(EventTimes, EndIsDtendElseStartPlusDurationElseStart)
{
    const struct {
        const char* first;
        const char* second;
        int32_t end;
    } cases[] = {
        {"DTSTART:20030101T120000Z", "SUMMARY:no end", kNoon20030101},
        {"DTSTART:20030101T120000Z", "DURATION:PT1H", kNoon20030101 + 3600},
        {"DURATION:P1DT30M", "DTSTART:20030101T120000Z", kNoon20030101 + 86400 + 1800},
        {"DTEND:20030101T130000Z", "DURATION:PT5H", kNoon20030101 + 3600},
        {"DTSTART:20030101T120000Z", "DURATION:later", kNoon20030101},
    };
    for (const auto& c : cases) {
        Tokens tokens{"BEGIN:VEVENT", "DTSTART:20030101T120000Z", c.first, c.second, "END:VEVENT"};
        Built built;
        build(tokens, built);
        CALDB_VEVENT* event = built.record<CALDB_VEVENT>();
        EXPECT_EQ(kNoon20030101, event->tDtStart) << c.first << " " << c.second;
        EXPECT_EQ(c.end, event->tDtEnd) << c.first << " " << c.second;
        EXPECT_EQ(0u, event->bDtStartIsDate);
        EXPECT_EQ(0u, event->bDtEndIsDate);
    }
}

TEST(EventTimes, AllDayStartMakesAnAllDayEnd)
{
    Tokens tokens{"BEGIN:VEVENT", "DTSTART;VALUE=DATE:20020101", "END:VEVENT"};
    Built built;
    build(tokens, built);
    CALDB_VEVENT* event = built.record<CALDB_VEVENT>();
    EXPECT_EQ(1009843200, event->tDtStart);
    EXPECT_EQ(event->tDtStart, event->tDtEnd);
    EXPECT_EQ(1u, event->bDtStartIsDate);
    EXPECT_EQ(1u, event->bDtEndIsDate);
}

TEST(EventTimes, OriginalStartLineIsAddedOnce)
{
    Tokens derived{"BEGIN:VEVENT", "DTSTART:20030101T120000Z", "END:VEVENT"};
    Built built;
    build(derived, built);
    CALDB_VEVENT* event = built.record<CALDB_VEVENT>();
    ASSERT_EQ(1u, count_of(event->aXProps));
    EXPECT_STREQ("X-KVAL-ORIGINAL-DTSTART:20030101T120000Z", text_at(event->aXProps, 0));

    // One given in the input stands, and no second one is made.
    Tokens given{"BEGIN:VEVENT", "DTSTART:20030101T120000Z",
                 "X-KVAL-ORIGINAL-DTSTART:20021225T120000Z",
                 "X-KVAL-ORIGINAL-DTSTART:20021226T120000Z", "END:VEVENT"};
    Built second;
    build(given, second);
    event = second.record<CALDB_VEVENT>();
    ASSERT_EQ(1u, count_of(event->aXProps));
    EXPECT_STREQ("X-KVAL-ORIGINAL-DTSTART:20021225T120000Z", text_at(event->aXProps, 0));
}

TEST(EventTimes, ZoneOfDtstartAndDtend)
{
    // The zone named by TZID reaches the conversion (it is not among the
    // input's zones, so the registry is asked and the choice is traced).
    Tokens tokens{"BEGIN:VEVENT", "DTSTART;TZID=Europe/Paris:20030101T120000",
                  "DTEND:20030101T130000", "END:VEVENT"};
    Built built;
    LogCapture log;
    build(tokens, built);
    ASSERT_EQ(1u, log.traces.size());
    EXPECT_EQ("calparser: TZID of Europe/Paris for date/time of 20030101T120000.", log.traces[0]);

    // Resolved input: without TZID the event's X-KVAL-DTSTART-TZID applies,
    // even when it follows the dates; else the default zone.
    Tokens own{"BEGIN:VEVENT", "DTSTART:20030101T120000", "DTEND;TZID=Asia/Tokyo:20030101T130000",
               "X-KVAL-DTSTART-TZID:America/Denver", "END:VEVENT"};
    Tokens fallback{"BEGIN:VEVENT", "DTSTART:20030101", "END:VEVENT"};
    LogCapture resolvedLog;
    Built first, second;
    BuildOptions options = resolved();
    options.defaultTzid = "Europe/Rome";
    build(own, first, options);
    build(fallback, second, options);
    const std::vector<std::string> expected{
        "calparser: TZID of America/Denver for date/time of 20030101T120000.",
        "calparser: TZID of Asia/Tokyo for date/time of 20030101T130000.",
        "calparser: TZID of Europe/Rome for date/time of 20030101.",
    };
    EXPECT_EQ(expected, resolvedLog.traces);
    EXPECT_STREQ("America/Denver", first.record<CALDB_VEVENT>()->pDtStartTzid);
    // With a zone the storer leaves the all-day flags; resolved input sets them by length.
    EXPECT_EQ(1u, second.record<CALDB_VEVENT>()->bDtStartIsDate);
    EXPECT_EQ(1u, second.record<CALDB_VEVENT>()->bDtEndIsDate);
    EXPECT_EQ(0u, first.record<CALDB_VEVENT>()->bDtStartIsDate);
}

TEST(EventAlarms, EveryAlarmIsBuiltAgainstTheEventStart)
{
    Tokens tokens{"BEGIN:VEVENT",   "BEGIN:VALARM",  "TRIGGER:-PT15M", "ACTION:AUDIO",
                  "END:VALARM",     "BEGIN:VALARM",  "TRIGGER:PT0S",   "SUMMARY:now",
                  "END:VALARM",     "DTSTART:20030101T120000Z",        "SUMMARY:Event",
                  "END:VEVENT"};
    Built built;
    LogCapture log;
    build(tokens, built);
    EXPECT_EQ(0, built.rc);
    EXPECT_EQ(12u, Tokens::lineOf(built.cursor));
    CALDB_VEVENT* event = built.record<CALDB_VEVENT>();
    EXPECT_STREQ("Event", event->pSummary);  // the alarms' lines are not the event's
    ASSERT_EQ(2u, count_of(event->aAlarms));
    const CALDB_VALARM* first = (const CALDB_VALARM*)array_elementat(event->aAlarms, 0);
    const CALDB_VALARM* second = (const CALDB_VALARM*)array_elementat(event->aAlarms, 1);
    EXPECT_EQ(kNoon20030101 - 900, first->tTrigger);  // DTSTART came after the alarms
    EXPECT_EQ(CALDB_ALARM_AUDIO, first->nAction);
    EXPECT_EQ(kNoon20030101, second->tTrigger);
    EXPECT_STREQ("now", second->pSummary);
    EXPECT_TRUE(log.lines.empty());

    Tokens none{"BEGIN:VEVENT", "SUMMARY:quiet", "END:VEVENT"};
    Built quiet;
    build(none, quiet);
    EXPECT_EQ(nullptr, quiet.record<CALDB_VEVENT>()->aAlarms);
}

TEST(EventState, DerivedFromTheMethodWhenTheInputGaveNone)
{
    const char* attendee = "ATTENDEE;PARTSTAT=ACCEPTED:mailto:ann@example.com";
    const struct {
        iCal_Token_t method;
        const char* line;
        uint32_t state;
    } cases[] = {
        {TOKEN_PUBLISH, "SUMMARY:x", 0x10004},
        {TOKEN_REFRESH, attendee, 0x10004},
        {TOKEN_REQUEST, "SUMMARY:x", 0x20004},
        // No attendee is the state address's (none is set): "needs action".
        {TOKEN_REQUEST, attendee, 0x20008},
        {TOKEN_REPLY, attendee, 0x20008},
        {TOKEN_REPLY, "SUMMARY:x", 0x20008},
        {TOKEN_CANCEL, attendee, 0x80004},
        {TOKEN_COUNTER, "SUMMARY:x", 0x400004},
        {TOKEN_REQUEST, "X-KVAL-GSE-COMPONENT-STATE:262148", 262148},
    };
    for (const auto& c : cases) {
        Tokens tokens{"BEGIN:VEVENT", c.line, "END:VEVENT"};
        Built built;
        build(tokens, built, resolved(c.method));
        EXPECT_EQ(c.state, built.record<CALDB_VEVENT>()->nCompState)
            << calparser_getICALString(c.method) << " " << c.line;
    }
}

// An attendee list of (address, PARTSTAT code) pairs on a fresh event.
CALDB_VEVENT* event_with_attendees(std::initializer_list<std::pair<const char*, int>> attendees)
{
    CALDB_VEVENT* event = caldb_NewEvent();
    event->aAttendees = array_new();
    for (const auto& a : attendees) {
        CALDB_ATTENDEE* attendee = caldb_NewAttendee();
        attendee->pAddr = PL_strdup(a.first);
        attendee->nPartStat = a.second;
        array_append(event->aAttendees, attendee);
    }
    return event;
}

TEST(EventState, DecisionIsTheStateAddressAttendees)
{
    const struct {
        iCal_Token_t method;
        int partStat;
        uint32_t state;
    } cases[] = {
        {TOKEN_REQUEST, 2, 0x20020}, {TOKEN_REQUEST, 1, 0x20008}, {TOKEN_REPLY, 2, 0x40020},
        {TOKEN_REPLY, 3, 0x40040},   {TOKEN_REPLY, 4, 0x40100},   {TOKEN_REPLY, 1, 0x20008},
        {TOKEN_REPLY, 5, 0x20008},   {TOKEN_PUBLISH, 2, 0x10004},
    };
    for (const auto& c : cases) {
        // The first attendee whose address matches, ignoring case, decides.
        CALDB_VEVENT* event = event_with_attendees({{"mailto:bob@example.com", 3},
                                                    {"MAILTO:Ann@Example.com", c.partStat},
                                                    {"mailto:ann@example.com", 3}});
        event->pStateAddr = PL_strdup("mailto:ann@example.com");
        calparser_event_deriveCompState(event, c.method);
        EXPECT_EQ(c.state, event->nCompState) << c.method << " " << c.partStat;
        caldb_FreeEvent(&event);
    }
}

TEST(EventPeople, AttendeeParametersAndOrganizerReplacement)
{
    Tokens tokens{"BEGIN:VEVENT",
                  "ATTENDEE;CN=Ann;PARTSTAT=accepted;RSVP=TRUE;ROLE=CHAIR:mailto:ann@example.com",
                  "ATTENDEE:jdoe",
                  "ORGANIZER;CN=Boss;DIR=\"ldap://x\":mailto:boss@example.com",
                  "ORGANIZER;SENT-BY=\"mailto:sec@example.com\":mailto:chief@example.com",
                  "END:VEVENT"};
    Built built;
    build(tokens, built, resolved());
    CALDB_VEVENT* event = built.record<CALDB_VEVENT>();
    ASSERT_EQ(2u, count_of(event->aAttendees));
    const CALDB_ATTENDEE* ann = (const CALDB_ATTENDEE*)array_elementat(event->aAttendees, 0);
    EXPECT_STREQ("mailto:ann@example.com", ann->pAddr);
    EXPECT_STREQ("Ann", ann->pCn);
    EXPECT_STREQ("CHAIR", ann->pRole);
    EXPECT_EQ(2, ann->nPartStat);
    EXPECT_STREQ("ACCEPTED", ann->pPartStatName);
    EXPECT_EQ(1u, ann->bRsvp);
    const CALDB_ATTENDEE* jdoe = (const CALDB_ATTENDEE*)array_elementat(event->aAttendees, 1);
    EXPECT_STREQ("jdoe", jdoe->pCalid);
    EXPECT_STREQ("jdoe", jdoe->pAddr);
    // One organizer; the second property replaces what it carries.
    ASSERT_NE(nullptr, event->pOrganizer);
    EXPECT_STREQ("mailto:chief@example.com", event->pOrganizer->pAddr);
    EXPECT_STREQ("Boss", event->pOrganizer->pCn);
    EXPECT_STREQ("ldap://x", event->pOrganizer->pDir);
    EXPECT_STREQ("mailto:sec@example.com", event->pOrganizer->pSentBy);
}

TEST(EventPeople, UnresolvedCalendarIdsAskTheDirectory)
{
    userattr_directory_clear();
    userattr_directory_add("jdoe", "jdoe", "John Doe", "jdoe@example.com");
    Tokens tokens{"BEGIN:VEVENT", "ATTENDEE:jdoe", "ATTENDEE:nobody", "SUMMARY:kept",
                  "END:VEVENT"};
    Built built;
    LogCapture log;
    build(tokens, built);
    userattr_directory_clear();
    EXPECT_EQ(0, built.rc);
    CALDB_VEVENT* event = built.record<CALDB_VEVENT>();
    EXPECT_STREQ("kept", event->pSummary);
    ASSERT_EQ(1u, count_of(event->aAttendees));  // nobody has no address and is dropped
    const CALDB_ATTENDEE* jdoe = (const CALDB_ATTENDEE*)array_elementat(event->aAttendees, 0);
    EXPECT_STREQ("jdoe", jdoe->pCalid);
    ASSERT_NE(nullptr, jdoe->pAddr);  // the directory's address, in the directory's form
    EXPECT_NE(nullptr, PL_strstr(jdoe->pAddr, "jdoe@example.com"));
    const std::vector<LogLine> expected{
        {4, "calparser:  No Available Email address in ldap for calid: nobody"}};
    EXPECT_EQ(expected, log.lines);
}

TEST(EventWalk, BeginOfAnotherComponentEndsTheEvent)
{
    Tokens tokens{"BEGIN:VEVENT", "SUMMARY:a", "BEGIN:VTODO", "SUMMARY:b", "END:VTODO",
                  "END:VEVENT"};
    Built built;
    LogCapture log;
    build(tokens, built);
    EXPECT_EQ(2, built.rc);
    EXPECT_EQ(3u, Tokens::lineOf(built.cursor));
    const std::vector<LogLine> expected{
        {6, "line (3), calparser: Parse error: encountered abrupt end of parsing VEVENT."}};
    EXPECT_EQ(expected, log.lines);
    ASSERT_EQ(1u, built.components->count);
    EXPECT_STREQ("a", built.record<CALDB_VEVENT>()->pSummary);

    Tokens cut{"BEGIN:VEVENT", "SUMMARY:a", "END:VCALENDAR"};
    Built second;
    LogCapture cutLog;
    build(cut, second);
    EXPECT_EQ(2, second.rc);
    EXPECT_EQ((std::vector<LogLine>{
                  {6, "line (3), calparser: Parse error: encountered abrupt end of parsing VEVENT."}}),
              cutLog.lines);
    EXPECT_EQ(1u, second.components->count);
}

TEST(EventWalk, EndOfFileInsideTheEvent)
{
    Tokens tokens{"BEGIN:VEVENT", "DTSTART:20030101T120000Z", "SUMMARY:partial"};
    Built built;
    LogCapture log;
    build(tokens, built);
    EXPECT_EQ(2, built.rc);
    EXPECT_EQ(nullptr, built.cursor.element);
    const std::vector<LogLine> expected{
        {6, "calparser: Parse error: reached abrupt end of file in parsing VEVENT."}};
    EXPECT_EQ(expected, log.lines);
    CALDB_VEVENT* event = built.record<CALDB_VEVENT>();
    ASSERT_NE(nullptr, event);
    EXPECT_STREQ("partial", event->pSummary);
    EXPECT_EQ(kNoon20030101, event->tDtEnd);  // completed like any other
    EXPECT_EQ(1u, built.recurrence->count);
}

TEST(EventWalk, EndOfFileInsideAnAlarm)
{
    Tokens tokens{"BEGIN:VEVENT", "DTSTART:20030101T120000Z", "BEGIN:VALARM", "TRIGGER:-PT1H"};
    Built built;
    LogCapture log;
    build(tokens, built);
    EXPECT_EQ(2, built.rc);
    const std::vector<LogLine> expected{
        {6, "calparser: Parse error: reached abrupt end of file in parsing VEVENT."},
        {6, "calparser: Parse error: reached abrupt end of file in parsing VALARM."}};
    EXPECT_EQ(expected, log.lines);
    CALDB_VEVENT* event = built.record<CALDB_VEVENT>();
    ASSERT_EQ(1u, count_of(event->aAlarms));
    EXPECT_EQ(kNoon20030101 - 3600, ((CALDB_VALARM*)array_elementat(event->aAlarms, 0))->tTrigger);

    Tokens bare{"BEGIN:VEVENT", "SUMMARY:x", "BEGIN:VALARM"};
    Built second;
    build(bare, second);
    EXPECT_EQ(2, second.rc);  // the event has a body; only its alarm has none
    EXPECT_EQ(1u, second.components->count);
}

TEST(EventWalk, StrayEndValarmIsReportedWhenTheEventHasAlarms)
{
    Tokens tokens{"BEGIN:VEVENT", "BEGIN:VALARM", "TRIGGER:PT0S", "END:VALARM", "END:VALARM",
                  "SUMMARY:after", "END:VEVENT"};
    Built built;
    LogCapture log;
    build(tokens, built);
    EXPECT_EQ(2, built.rc);
    EXPECT_EQ(7u, Tokens::lineOf(built.cursor));
    const std::vector<LogLine> expected{
        {6, "line (5), calparser: Parse error: encountered END:VALARM without matching BEGIN:VALARM in VEVENT."}};
    EXPECT_EQ(expected, log.lines);
    CALDB_VEVENT* event = built.record<CALDB_VEVENT>();
    EXPECT_STREQ("after", event->pSummary);
    EXPECT_EQ(1u, count_of(event->aAlarms));

    // Without any alarm there is no alarm walk to report it.
    Tokens quiet{"BEGIN:VEVENT", "END:VALARM", "SUMMARY:after", "END:VEVENT"};
    Built second;
    LogCapture quietLog;
    build(quiet, second);
    EXPECT_EQ(0, second.rc);
    EXPECT_TRUE(quietLog.lines.empty());
    EXPECT_STREQ("after", second.record<CALDB_VEVENT>()->pSummary);
}

TEST(EventWalk, AlarmCutShortByTheEventsEndEndsBoth)
{
    Tokens tokens{"BEGIN:VEVENT",  "DTSTART:20030101T120000Z", "BEGIN:VALARM", "TRIGGER:-PT15M",
                  "END:VEVENT",    "BEGIN:VEVENT",             "BEGIN:VALARM", "TRIGGER:PT1H",
                  "END:VALARM",    "END:VEVENT"};
    Built built;
    LogCapture log;
    build(tokens, built);
    EXPECT_EQ(2, built.rc);
    EXPECT_EQ(5u, Tokens::lineOf(built.cursor));  // the next event is left to the caller
    const std::vector<LogLine> expected{
        {6, "line (5), calparser: Parse error: encountered abrupt end of parsing VALARM."}};
    EXPECT_EQ(expected, log.lines);
    CALDB_VEVENT* event = built.record<CALDB_VEVENT>();
    ASSERT_EQ(1u, count_of(event->aAlarms));
    EXPECT_EQ(kNoon20030101 - 900, ((CALDB_VALARM*)array_elementat(event->aAlarms, 0))->tTrigger);

    // An alarm cut short by another component's BEGIN: both walks stop there.
    Tokens nested{"BEGIN:VEVENT", "BEGIN:VALARM", "TRIGGER:PT0S", "BEGIN:VTODO", "END:VTODO",
                  "END:VEVENT"};
    Built second;
    LogCapture nestedLog;
    build(nested, second);
    EXPECT_EQ(2, second.rc);
    EXPECT_EQ(4u, Tokens::lineOf(second.cursor));
    const std::vector<LogLine> both{
        {6, "line (4), calparser: Parse error: encountered abrupt end of parsing VEVENT."},
        {6, "line (4), calparser: Parse error: encountered abrupt end of parsing VALARM."}};
    EXPECT_EQ(both, nestedLog.lines);
    EXPECT_EQ(1u, count_of(second.record<CALDB_VEVENT>()->aAlarms));
}

TEST(EventWalk, OtherPassesOnlyWalk)
{
    Tokens tokens{"BEGIN:VEVENT", "SUMMARY:a", "BEGIN:VALARM", "TRIGGER:PT0S", "END:VALARM",
                  "END:VEVENT"};
    Tokens cut{"BEGIN:VEVENT", "SUMMARY:a", "BEGIN:VTODO", "END:VTODO", "END:VEVENT"};
    Tokens open{"BEGIN:VEVENT", "SUMMARY:a"};
    LogCapture log;
    for (int pass : {0, 1, 3}) {
        BuildOptions options;
        options.pass = pass;
        Built whole, stopped, unfinished;
        build(tokens, whole, options);
        build(cut, stopped, options);
        build(open, unfinished, options);
        EXPECT_EQ(0, whole.rc);
        EXPECT_EQ(6u, Tokens::lineOf(whole.cursor));
        EXPECT_EQ(0, stopped.rc);
        EXPECT_EQ(3u, Tokens::lineOf(stopped.cursor));
        EXPECT_EQ(0, unfinished.rc);
        EXPECT_EQ(0u, whole.components->count + stopped.components->count +
                          unfinished.components->count + whole.recurrence->count);
    }
    EXPECT_TRUE(log.lines.empty());
}

TEST(EventWalk, NothingAfterBeginGives1)
{
    Tokens tokens{"BEGIN:VEVENT"};
    for (BuildOptions options : {BuildOptions{}, resolved()}) {
        Built built;
        build(tokens, built, options);
        EXPECT_EQ(1, built.rc);
        EXPECT_EQ(0u, built.components->count);
    }
}

int walk_unsupported(const Tokens& tokens, iCal_Token_t kind, int pass, array_iter_t* cursor)
{
    *cursor = tokens.cursorAt(1);
    return calparser_create_unsupported_component_from_tokens(tokens.list, cursor, kind, nullptr,
                                                              nullptr, pass, TOKEN_PUBLISH);
}

TEST(UnsupportedComponents, WalkedToTheirEndWithTheirAlarms)
{
    Tokens journal{"BEGIN:VJOURNAL", "SUMMARY:notes", "BEGIN:VALARM", "TRIGGER:PT0S",
                   "END:VALARM",     "END:VJOURNAL",  "SUMMARY:outside"};
    Tokens extension{"BEGIN:X-THING", "FOO:bar", "END:X-THING"};
    LogCapture log;
    array_iter_t cursor;
    for (int pass : {1, 2}) {
        EXPECT_EQ(0, walk_unsupported(journal, TOKEN_VJOURNAL, pass, &cursor));
        EXPECT_EQ(6u, Tokens::lineOf(cursor));
        EXPECT_EQ(0, walk_unsupported(extension, TOKEN_X, pass, &cursor));
        EXPECT_EQ(3u, Tokens::lineOf(cursor));
    }
    EXPECT_TRUE(log.lines.empty());
    Tokens bare{"BEGIN:VJOURNAL"};
    EXPECT_EQ(1, walk_unsupported(bare, TOKEN_VJOURNAL, 2, &cursor));
}

TEST(UnsupportedComponents, AbruptEndsAreReportedInPass2Only)
{
    Tokens freebusy{"BEGIN:VFREEBUSY", "FREEBUSY:19980314T233000Z/PT1H", "BEGIN:VEVENT",
                    "END:VEVENT"};
    Tokens extension{"BEGIN:X-THING", "FOO:bar"};
    Tokens stray{"BEGIN:VJOURNAL", "END:VALARM", "END:VJOURNAL"};
    array_iter_t cursor;
    {
        LogCapture log;
        EXPECT_EQ(0, walk_unsupported(freebusy, TOKEN_VFREEBUSY, 1, &cursor));
        EXPECT_EQ(3u, Tokens::lineOf(cursor));
        EXPECT_EQ(0, walk_unsupported(extension, TOKEN_X, 1, &cursor));
        EXPECT_TRUE(log.lines.empty());
    }
    LogCapture log;
    EXPECT_EQ(2, walk_unsupported(freebusy, TOKEN_VFREEBUSY, 2, &cursor));
    EXPECT_EQ(3u, Tokens::lineOf(cursor));
    EXPECT_EQ(2, walk_unsupported(extension, TOKEN_X, 2, &cursor));
    EXPECT_EQ(2, walk_unsupported(stray, TOKEN_VJOURNAL, 2, &cursor));
    EXPECT_EQ(2u, Tokens::lineOf(cursor));
    // Pass code 3 reports a stray END:VALARM and walks on to the end.
    EXPECT_EQ(2, walk_unsupported(stray, TOKEN_VJOURNAL, 3, &cursor));
    EXPECT_EQ(3u, Tokens::lineOf(cursor));
    const std::vector<LogLine> expected{
        {6, "line (3), calparser: Parse error: encountered abrupt end of parsing VFREEBUSY."},
        {6, "calparser: Parse error: reached abrupt end of file in parsing X-."},
        {6, "line (2), calparser: Parse error: encountered abrupt end of parsing VJOURNAL."},
        {6, "line (2), calparser: Parse error: encountered END:VALARM without matching BEGIN:VALARM in VEVENT."},
    };
    EXPECT_EQ(expected, log.lines);
}

TEST(EventMemory, EveryAllocationFailureGives3AndLeavesNothingBehind)
{
    // Each allocation is needed for the whole event, so the first run that
    // succeeds is the first in which nothing failed.
    Tokens tokens{"BEGIN:VEVENT",
                  "DTSTART:20030101T120000Z",
                  "DURATION:PT1H",
                  "SUMMARY:s",
                  "CATEGORIES:a,b",
                  "ATTENDEE;CN=Ann:mailto:ann@example.com",
                  "ORGANIZER:mailto:boss@example.com",
                  "RRULE:FREQ=DAILY",
                  "RDATE:19990101T000000Z/PT1H",
                  "X-Z9KQ-NOTE:n",
                  "BEGIN:VALARM",
                  "TRIGGER:-PT15M",
                  "SUMMARY:a",
                  "END:VALARM",
                  "END:VEVENT"};
    int failurePoints = count_failure_points([&] {
        array_t* events = array_new();
        array_t* recurrence = array_new();
        if (!events || !recurrence) {
            array_delete(events);
            array_delete(recurrence);
            return false;
        }
        array_iter_t cursor = tokens.cursorAt(1);
        int rc = calparser_create_vevent_from_tokens(tokens.list, &cursor, events, recurrence,
                                                     nullptr, 2, TOKEN_REQUEST, 1, nullptr,
                                                     nullptr);
        const CAL_VCOMPONENT* wrapper = (const CAL_VCOMPONENT*)array_elementat(events, 0);
        const CALDB_VEVENT* event = wrapper ? (const CALDB_VEVENT*)wrapper->pComponent : nullptr;
        const array_t* info = (const array_t*)array_elementat(recurrence, 0);
        bool whole = rc == 0 && event && event->pSummary && count_of(event->aCategories) == 2 &&
                     count_of(event->aAttendees) == 1 && event->pOrganizer &&
                     event->pOrganizer->pAddr && count_of(event->aRRules) == 1 &&
                     count_of(event->aRDates) == 1 && count_of(event->aXProps) == 2 &&
                     count_of(event->aAlarms) == 1 &&
                     ((const CALDB_VALARM*)array_elementat(event->aAlarms, 0))->pSummary &&
                     event->tDtEnd == kNoon20030101 + 3600 && info &&
                     count_of((const array_t*)array_elementat(info, 0)) == 1 &&
                     count_of((const array_t*)array_elementat(info, 1)) == 1 &&
                     count_of((const array_t*)array_elementat(info, 4)) == 1;
        if (rc == 3) {
            EXPECT_EQ(0u, events->count + recurrence->count);
        }
        // Nothing reaches one output without the other.
        EXPECT_EQ(events->count, recurrence->count);
        calparser_FreeCalVCompList(events);
        array_delete(events);
        builder_test::free_recurrence_infos(recurrence);
        return whole;
    });
#if HEAP_FAILURE_HOOK
    EXPECT_GT(failurePoints, 20);
#else
    (void)failurePoints;
#endif
}

}  // namespace
