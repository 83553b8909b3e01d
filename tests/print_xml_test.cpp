#include "core/parser/print_xml.h"

#include <gtest/gtest.h>

#include "tests/support/print_capture.h"

namespace {

CALPARSER_TOKEN a_token{};

}  // namespace

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
