#include "core/parser/print_ical.h"

#include <gtest/gtest.h>

#include "tests/support/print_capture.h"

namespace {

CALPARSER_TOKEN a_token{};

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
