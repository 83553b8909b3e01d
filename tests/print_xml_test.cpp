#include "core/parser/print_xml.h"

#include <gtest/gtest.h>

#include "tests/print_capture.h"

namespace {

CALPARSER_TOKEN a_token{};

}  // namespace

TEST(XmlWriter, FramesEndInLf)
{
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<iCalendar>\n"
              "<iCal version=\"2.0\" prodid=\"-//Velmora/Calendar Hosting Server//EN\">\n",
              written_by([](protstream* s) { calparser_xml_header(s); }));
    EXPECT_EQ("</iCal>\n</iCalendar>\n", written_by([](protstream* s) { calparser_xml_tail(s); }));
}

// Only kind 1 is an event; every other kind, 0 included, writes a to-do.
TEST(XmlWriter, ComponentFrameByKind)
{
    EXPECT_EQ("<EVENT>\n", written_by([](protstream* s) { calparser_xml_component_head(s, 1); }));
    EXPECT_EQ("<TODO>\n", written_by([](protstream* s) { calparser_xml_component_head(s, 0); }));
    EXPECT_EQ("</EVENT>\n", written_by([](protstream* s) { calparser_xml_component_tail(s, 1); }));
    EXPECT_EQ("</TODO>\n", written_by([](protstream* s) { calparser_xml_component_tail(s, 11); }));
}

TEST(XmlWriter, SizeAndFileName)
{
    EXPECT_EQ("<SIZE>4096</SIZE>\n", written_by([](protstream* s) { calparser_xml_size(s, 4096); }));
    EXPECT_EQ("<SIZE>-1</SIZE>\n", written_by([](protstream* s) { calparser_xml_size(s, -1); }));
    EXPECT_EQ("<FILENAME>a b&c.ics</FILENAME>\n",
              written_by([](protstream* s) { calparser_xml_filename(s, "a b&c.ics"); }));
    EXPECT_EQ("<FILENAME></FILENAME>\n", written_by([](protstream* s) { calparser_xml_filename(s, nullptr); }));
}

// Texts go out unescaped, markup characters included.
TEST(XmlWriter, UidAndRecurrenceId)
{
    EXPECT_EQ("<UID>a&b<c></UID>\n", written_by([](protstream* s) { calparser_xml_uid_rid(s, "a&b<c>", "0"); }));
    EXPECT_EQ("<UID>abc</UID>\n<RECURID>20030101T120000Z</RECURID>\n", written_by([](protstream* s) {
                  calparser_xml_uid_rid(s, "abc", "20030101T120000Z");
              }));
    EXPECT_EQ("<UID>abc</UID>\n<RECURID></RECURID>\n",
              written_by([](protstream* s) { calparser_xml_uid_rid(s, "abc", ""); }));
    EXPECT_EQ("", written_by([](protstream* s) { calparser_xml_uid_rid(s, nullptr, "1"); }));
}

TEST(XmlWriter, RequestStatusBySelector)
{
    EXPECT_EQ("<RSTATUS>2.0;Success, & done</RSTATUS>\n", written_by([](protstream* s) {
                  calparser_xml_request_status(s, 0, "2.0", "Success, & done", "3.1", "Bad");
              }));
    EXPECT_EQ("<RSTATUS>3.1;Bad</RSTATUS>\n", written_by([](protstream* s) {
                  calparser_xml_request_status(s, 1, "2.0", "ok", "3.1", "Bad");
              }));
    EXPECT_EQ("<RSTATUS>;</RSTATUS>\n", written_by([](protstream* s) {
                  calparser_xml_request_status(s, 2, "2.0", "ok", nullptr, nullptr);
              }));
}

TEST(XmlWriter, ErrorNumberElements)
{
    EXPECT_EQ("<X-KVAL-PLIX-ERRNO>0</X-KVAL-PLIX-ERRNO>\n",
              written_by([](protstream* s) { calparser_xml_errno(s, 0); }));
    EXPECT_EQ("<X-KVAL-PLIX-ERRNO2>28</X-KVAL-PLIX-ERRNO2>\n",
              written_by([](protstream* s) { calparser_xml_errno_tok(s, 28, nullptr, 2, &a_token); }));
    EXPECT_EQ("<X-ERR>28</X-ERR>\n",
              written_by([](protstream* s) { calparser_xml_errno_tok(s, 28, "X-ERR", 2, nullptr); }));
    EXPECT_EQ("<X-ERR-1>-5</X-ERR-1>\n",
              written_by([](protstream* s) { calparser_xml_errno_tok(s, -5, "X-ERR", -1, &a_token); }));
}

TEST(XmlWriter, NoStreamWritesNothingAndDoesNotCrash)
{
    calparser_xml_header(nullptr);
    calparser_xml_filename(nullptr, nullptr);
    calparser_xml_request_status(nullptr, 0, "a", "b", "c", "d");
    calparser_xml_uid_rid(nullptr, "abc", "x");
    calparser_xml_errno(nullptr, 1);
    calparser_xml_errno_tok(nullptr, 1, "X", 1, &a_token);
    calparser_xml_tail(nullptr);
}
