#include "core/parser/print_ical.h"

#include <gtest/gtest.h>

#include "tests/print_capture.h"

namespace {

CALPARSER_TOKEN a_token{};

}  // namespace

TEST(IcalWriter, FramesEndInCrLf)
{
    EXPECT_EQ("BEGIN:VCALENDAR\r\nPRODID:-//Tessar/Calendar Server//EN\r\n"
              "METHOD:PUBLISH\r\nVERSION:2.0\r\n",
              written_by([](protstream* s) { calparser_ical_header(s); }));
    EXPECT_EQ("BEGIN:VCALENDAR\r\nPRODID:-//Tessar/Calendar Server//EN\r\nVERSION:2.0\r\n",
              written_by([](protstream* s) { calparser_ical_header_no_method(s); }));
    EXPECT_EQ("END:VCALENDAR\r\n", written_by([](protstream* s) { calparser_ical_tail(s); }));
}

// Only kind 1 is an event; every other kind, 0 included, writes a to-do.
TEST(IcalWriter, ComponentFrameByKind)
{
    EXPECT_EQ("BEGIN:VEVENT\r\n", written_by([](protstream* s) { calparser_ical_component_head(s, 1); }));
    EXPECT_EQ("BEGIN:VTODO\r\n", written_by([](protstream* s) { calparser_ical_component_head(s, 0); }));
    EXPECT_EQ("BEGIN:VTODO\r\n", written_by([](protstream* s) { calparser_ical_component_head(s, 2); }));
    EXPECT_EQ("END:VEVENT\r\n", written_by([](protstream* s) { calparser_ical_component_tail(s, 1); }));
    EXPECT_EQ("END:VTODO\r\n", written_by([](protstream* s) { calparser_ical_component_tail(s, -1); }));
}

// The code is a TEXT value and is escaped; the description goes out as is,
// commas, semicolons and percent signs included.
TEST(IcalWriter, RequestStatusEscapesTheCodeOnly)
{
    EXPECT_EQ("REQUEST-STATUS:2.0;Success, done; really\r\n", written_by([](protstream* s) {
                  calparser_ical_request_status(s, 0, "2.0", "Success, done; really", "3.1", "Bad");
              }));
    EXPECT_EQ("REQUEST-STATUS:3\\,1\\;x;Bad, value\r\n", written_by([](protstream* s) {
                  calparser_ical_request_status(s, 7, "2.0", "ok", "3,1;x", "Bad, value");
              }));
    EXPECT_EQ("REQUEST-STATUS:5.0;100%s\r\n", written_by([](protstream* s) {
                  calparser_ical_request_status(s, -1, "2.0", "ok", "5.0", "100%s");
              }));
    EXPECT_EQ("REQUEST-STATUS:;\r\n", written_by([](protstream* s) {
                  calparser_ical_request_status(s, 0, nullptr, nullptr, "x", "y");
              }));
}

TEST(IcalWriter, UidAndRecurrenceId)
{
    EXPECT_EQ("UID:abc\r\n", written_by([](protstream* s) { calparser_ical_uid_rid(s, "abc", "0"); }));
    EXPECT_EQ("UID:abc\r\nRECURRENCE-ID:20030101T120000Z\r\n", written_by([](protstream* s) {
                  calparser_ical_uid_rid(s, "abc", "20030101T120000Z");
              }));
    // "0" is compared byte for byte: "00" is a recurrence id.
    EXPECT_EQ("UID:abc\r\nRECURRENCE-ID:00\r\n",
              written_by([](protstream* s) { calparser_ical_uid_rid(s, "abc", "00"); }));
    EXPECT_EQ("UID:a,b\r\n", written_by([](protstream* s) { calparser_ical_uid_rid(s, "a,b", nullptr); }));
    EXPECT_EQ("", written_by([](protstream* s) { calparser_ical_uid_rid(s, nullptr, "20030101T120000Z"); }));
}

TEST(IcalWriter, ErrorNumberLines)
{
    EXPECT_EQ("X-KVAL-PLIX-ERRNO:0\r\n", written_by([](protstream* s) { calparser_ical_errno(s, 0); }));
    EXPECT_EQ("X-KVAL-PLIX-ERRNO:-12\r\n", written_by([](protstream* s) { calparser_ical_errno(s, -12); }));
    EXPECT_EQ("X-KVAL-PLIX-ERRNO3:28\r\n", written_by([](protstream* s) {
                  calparser_ical_errno_tok(s, 28, "X-KVAL-PLIX-ERRNO", 3, &a_token);
              }));
    // Without a token the index is left out.
    EXPECT_EQ("X-FOO:28\r\n",
              written_by([](protstream* s) { calparser_ical_errno_tok(s, 28, "X-FOO", 3, nullptr); }));
    EXPECT_EQ("X-KVAL-PLIX-ERRNO0:5\r\n",
              written_by([](protstream* s) { calparser_ical_errno_tok(s, 5, nullptr, 0, &a_token); }));
    EXPECT_EQ("X-KVAL-PLIX-ERRNO:5\r\n",
              written_by([](protstream* s) { calparser_ical_errno_tok(s, 5, nullptr, 9, nullptr); }));
}

TEST(IcalWriter, NoStreamWritesNothingAndDoesNotCrash)
{
    calparser_ical_header(nullptr);
    calparser_ical_component_head(nullptr, 1);
    calparser_ical_request_status(nullptr, 0, "a", "b", "c", "d");
    calparser_ical_uid_rid(nullptr, "abc", "x");
    calparser_ical_errno(nullptr, 1);
    calparser_ical_errno_tok(nullptr, 1, "X", 1, &a_token);
    calparser_ical_tail(nullptr);
}
