// The writers of replies, in their iCalendar and their XML form, and of
// records as SXML lines.
#include "core/parser/print_ical.h"
#include "core/parser/print_sxml.h"
#include "core/parser/print_xml.h"

#include <gtest/gtest.h>
#include <plstr.h>
#include <stdint.h>
#include <time.h>

#include <string>

#include "tests/support/print_capture.h"

namespace {

CALPARSER_TOKEN a_token{};

// Hand-worked epoch values.
constexpr time_t kStamp = 1000000000;              // 20010909T014640Z
constexpr int32_t kNewYear2003 = 1041379200;       // 20030101T000000Z
constexpr int32_t kNoon = kNewYear2003 + 43200;    // 20030101T120000Z
constexpr int32_t kOne = kNewYear2003 + 46800;     // 20030101T130000Z
constexpr int32_t kJan2 = kNewYear2003 + 86400;    // 20030102

template <typename Record>
Record* named(Record* r, const char* uid, const char* summary) {
    r->pUid = PL_strdup(uid);
    r->pSummary = PL_strdup(summary);
    return r;
}

}  // namespace

// One reply through every branch: only kind 1 is an event; the status code is
// escaped, the description neither escaped nor read as a format; only "0"
// byte for byte means "no recurrence id"; the index joins the name only when
// a token is given.
TEST(IcalWriter, ReplyByteForByte)
{
    std::string out = written_by([](protstream* s) {
        calparser_ical_header(s);
        calparser_ical_component_head(s, 1);
        calparser_ical_uid_rid(s, "abc", "0");
        calparser_ical_uid_rid(s, "a,b", "00");
        calparser_ical_request_status(s, 0, "2.0", "Done, 100%s; really", "3.1", "Bad");
        calparser_ical_request_status(s, 7, "2.0", "ok", "3,1;x", "Bad");
        calparser_ical_component_tail(s, 1);
        calparser_ical_component_head(s, 0);
        calparser_ical_errno(s, 0);
        calparser_ical_errno_tok(s, 28, "X-KVAL-PLIX-ERRNO", 3, &a_token);
        calparser_ical_errno_tok(s, 28, "X-FOO", 3, nullptr);
        calparser_ical_component_tail(s, 2);
        calparser_ical_tail(s);
        calparser_ical_header_no_method(s);
    });
    EXPECT_EQ("BEGIN:VCALENDAR\r\n"
              "PRODID:-//Tessar/Calendar Server//EN\r\n"
              "METHOD:PUBLISH\r\n"
              "VERSION:2.0\r\n"
              "BEGIN:VEVENT\r\n"
              "UID:abc\r\n"
              "UID:a,b\r\n"
              "RECURRENCE-ID:00\r\n"
              "REQUEST-STATUS:2.0;Done, 100%s; really\r\n"
              "REQUEST-STATUS:3\\,1\\;x;Bad\r\n"
              "END:VEVENT\r\n"
              "BEGIN:VTODO\r\n"
              "X-KVAL-PLIX-ERRNO:0\r\n"
              "X-KVAL-PLIX-ERRNO3:28\r\n"
              "X-FOO:28\r\n"
              "END:VTODO\r\n"
              "END:VCALENDAR\r\n"
              "BEGIN:VCALENDAR\r\n"
              "PRODID:-//Tessar/Calendar Server//EN\r\n"
              "VERSION:2.0\r\n",
              out);
}

// One reply through every branch: only kind 1 is an event; texts go out
// unescaped, markup included; only "0" means "no recurrence id"; the index
// joins the name in both tags only when a token is given.
TEST(XmlWriter, ReplyByteForByte)
{
    std::string out = written_by([](protstream* s) {
        calparser_xml_header(s);
        calparser_xml_component_head(s, 1);
        calparser_xml_uid_rid(s, "a&b<c>", "0");
        calparser_xml_uid_rid(s, "abc", "");
        calparser_xml_size(s, -1);
        calparser_xml_filename(s, "a b&c.ics");
        calparser_xml_request_status(s, 0, "2.0", "Success, & done", "3.1", "Bad");
        calparser_xml_request_status(s, 2, "2.0", "ok", nullptr, nullptr);
        calparser_xml_component_tail(s, 1);
        calparser_xml_component_head(s, 0);
        calparser_xml_errno(s, 0);
        calparser_xml_errno_tok(s, 28, nullptr, 2, &a_token);
        calparser_xml_errno_tok(s, 28, "X-ERR", 2, nullptr);
        calparser_xml_component_tail(s, 11);
        calparser_xml_tail(s);
    });
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<iCalendar>\n"
              "<iCal version=\"2.0\" prodid=\"-//Velmora/Calendar Hosting Server//EN\">\n"
              "<EVENT>\n"
              "<UID>a&b<c></UID>\n"
              "<UID>abc</UID>\n"
              "<RECURID></RECURID>\n"
              "<SIZE>-1</SIZE>\n"
              "<FILENAME>a b&c.ics</FILENAME>\n"
              "<RSTATUS>2.0;Success, & done</RSTATUS>\n"
              "<RSTATUS>;</RSTATUS>\n"
              "</EVENT>\n"
              "<TODO>\n"
              "<X-KVAL-PLIX-ERRNO>0</X-KVAL-PLIX-ERRNO>\n"
              "<X-KVAL-PLIX-ERRNO2>28</X-KVAL-PLIX-ERRNO2>\n"
              "<X-ERR>28</X-ERR>\n"
              "</TODO>\n"
              "</iCal>\n"
              "</iCalendar>\n",
              out);
}

// Texts go out unescaped and missing ones empty; unset times are the epoch;
// the date form needs the start flag, and the end follows only with its own
// flag; GE is signed degrees with six decimals, down to the extreme values.
// A to-do line is an event line with T for E and its due time under E; the
// frame follows the flag alone, with or without elements.
TEST(SxmlWriter, LinesAndFramesByteForByte)
{
    CALDB_VEVENT* full = named(caldb_NewEvent(), "uid-1", "Team, meeting");
    full->tDtStart = kNoon;
    full->tDtEnd = kOne;
    full->tCreated = kNewYear2003 - 1;
    full->tLastModified = kNewYear2003 + 3723;
    full->nSequence = 3;
    full->nGeoLat = 37050000;
    full->nGeoLon = -122400000;
    full->pDescription = PL_strdup("Talk; plan");
    full->pUrl = PL_strdup("http://x/?a=1&b=2");
    full->pLocation = PL_strdup("Room \"4\"");
    CALDB_VEVENT* day = named(caldb_NewEvent(), "d", "s");
    day->tDtStart = kNewYear2003;
    day->tDtEnd = kJan2;
    day->bDtStartIsDate = day->bDtEndIsDate = 1;
    day->nGeoLat = INT32_MIN;
    day->nGeoLon = INT32_MAX;
    CALDB_VTODO* todo = named(caldb_NewToDo(), "t1", "Do it");
    todo->tDtStart = kNewYear2003;
    todo->tDue = kJan2;
    todo->bDtStartIsDate = todo->bDtEndIsDate = 1;
    todo->nGeoLat = -500000;
    todo->pClass = PL_strdup("PRIVATE");
    array_t* none = array_new();

    std::string out = written_by([&](protstream* s) {
        calparser_sxml_header(s);
        EXPECT_EQ(full, calparser_event_to_sxml(full, s, kStamp));
        EXPECT_EQ(nullptr, calparser_event_to_sxml(nullptr, s, kStamp));
        calparser_event_to_sxml(day, s, kStamp);
        day->bDtEndIsDate = 0;
        calparser_event_to_sxml(day, s, kStamp);
        EXPECT_EQ(todo, calparser_todo_to_sxml(todo, s, kStamp));
        EXPECT_EQ(nullptr, calparser_todo_to_sxml(nullptr, s, kStamp));
        calparser_sxml_tail(s);
        calparser_todoarray_to_sxml(nullptr, s, 0);
        calparser_eventarray_to_sxml(none, s, 1);
    });
    const std::string header = "<V V=2.0 P=-//Velmora/Calendar Hosting Server//EN M=PUBLISH>\n";
    const std::string epoch = "CR=19700101T000000Z L=19700101T000000Z";
    EXPECT_EQ(header +
              "<E=I=uid-1 DM=20010909T014640Z S=Team, meeting DS=20030101T120000Z "
              "DE=20030101T130000Z CR=20021231T235959Z L=20030101T010203Z SE=3 "
              "GE=37.050000,-122.400000 D=Talk; plan U=http://x/?a=1&b=2 CL= N=Room \"4\">\n"
              "<E=I=d DM=20010909T014640Z S=s DS=\"20030101;V=D\" DE=\"20030102;V=D\" " + epoch +
              " SE=0 GE=-2147.483648,2147.483647 D= U= CL= N=>\n"
              "<E=I=d DM=20010909T014640Z S=s DS=\"20030101;V=D\" " + epoch +
              " SE=0 GE=-2147.483648,2147.483647 D= U= CL= N=>\n"
              "<T=I=t1 DM=20010909T014640Z S=Do it DS=\"20030101;V=D\" E=\"20030102;V=D\" " +
              epoch + " SE=0 GE=-0.500000,0.000000 D= U= CL=PRIVATE N=>\n"
              "</V>\n" + header + "</V>\n",
              out);
    array_delete(none);
    for (void* record : {(void*)full, (void*)day, (void*)todo}) caldb_FreeComponent(&record);
}
