// The XML lexer: segments, tags, attributes, references and chunk ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/parser/cal_tok.h"
#include "core/parser/cal_tok_xml.h"
#include "tests/support/heap_failure.h"
#include "tests/support/lexed.h"

namespace {

// Lexes `text` as one XML chunk into `out`, its line counter starting at `firstLine`.
void lex_xml(Lexed& out, std::string text, unsigned firstLine = 1) {
    out.line = firstLine;
    out.consumed = 0xDEADBEEF;
    out.rc = calparser_xmlbuf_to_toklist(&text[0], (unsigned)text.size(), &out.tokens,
                                         &out.consumed, &out.line);
}

std::string decode(const std::string& text) {
    std::string buf = text;
    char* p = &buf[0];
    EXPECT_EQ(0, calparser_convertHTMLEncodedCharacters(&p));
    EXPECT_EQ(&buf[0], p);
    return std::string(p);
}

}  // namespace

// No CR is added before a line feed, unlike in the iCalendar form; a keyword
// value not known gives 0, an empty element no text. An extension element's
// name is upper-cased and its content line keeps the case as written, with
// the TAB made a blank when the segment was normalised.
TEST(XmlLexer, ElementTextAndExtensionElements) {
    Lexed l;
    lex_xml(l, "<DESC>a\\,b\\nc &lt;d&gt; &amp;lt; &#65;</DESC><STATUS>maybe</STATUS>"
               "<RECURID></RECURID><X-FOO CN=\"Ann\" x-mine=\"1\">some\ttext</X-FOO><");
    ASSERT_EQ(8u, l.count());
    EXPECT_EQ("1114 - 0 'a,b\nc <d> &lt; A'", token_text(l.at(0)));
    EXPECT_EQ("1134 - 0 -", token_text(l.at(2)));
    EXPECT_EQ("1126 - 0 -", token_text(l.at(4)));
    EXPECT_EQ("1019 'X-FOO' 0 ' X-FOO;CN=\"Ann\";x-mine=\"1\":some text' ;1291 - 'Ann' "
              ";1286 'X-MINE' '1'",
              token_text(l.at(6)));
}

TEST(XmlReferences, OnlyAmpLtGtAndShortDecimalReferencesDecode) {
    EXPECT_EQ("a <b> & c", decode("a &lt;b&gt; &amp; c"));
    EXPECT_EQ("&lt;", decode("&amp;lt;"));  // the decoded "&" is not read again
    EXPECT_EQ("&quot; &AMP; &x; &&<", decode("&quot; &AMP; &x; &&&lt;"));

    EXPECT_EQ("x\nA", decode("x&#10;&#65;"));
    EXPECT_EQ(")42", decode("&#4142"));         // without ";" exactly two digits are read
    EXPECT_EQ("\x0c" "3;", decode("&#123;"));  // three digits are not read whole
    // Not numbers: too short, no digits, hexadecimal.
    EXPECT_EQ("&#1 &#;5 &#a; &#x41;", decode("&#1 &#;5 &#a; &#x41;"));
    // A reference to NUL would cut the text short: it becomes U+FFFD.
    EXPECT_EQ("a\xEF\xBF\xBD" "b\xEF\xBF\xBD", decode("a&#0;b&#00"));
}

TEST(XmlLexer, IncompleteSegmentsAreLeftOrDropped) {
    // A chunk without a second "<" is consumed whole and yields nothing.
    Lexed l;
    lex_xml(l, "<SUMMARY>no end in sight");
    EXPECT_EQ(0, l.rc);
    EXPECT_EQ(24u, l.consumed);
    EXPECT_EQ(1u, l.line);
    EXPECT_EQ(0u, l.count());
    ASSERT_NE(nullptr, l.tokens);  // the list is made all the same
    EXPECT_EQ(1, calparser_xmlbuf_to_toklist(nullptr, 0, &l.tokens, &l.consumed, &l.line));

    // A quote that never closes stops the chunk; the rest is left for the
    // next, as is a last closing tag with no "<" after it. CR LF counts as one
    // line end; tag names are upper-cased, a closing property tag is type 0.
    const std::string text = "<UID>x</UID>\r\n<DESC CN=\"oops>y</DESC>\n<UID>z</UID>\n<";
    lex_xml(l, text, 5);
    EXPECT_EQ(text.find("<DESC"), l.consumed);
    EXPECT_EQ(6u, l.line);
    ASSERT_EQ(2u, l.count());
    EXPECT_EQ(5u, l.at(1)->nLine);
    Lexed closing;
    const std::string calendar = "<vcalendar>\n<Uid>u</Uid>\n</VCALENDAR>";
    lex_xml(closing, calendar);
    EXPECT_EQ(calendar.find("</VCALENDAR>"), closing.consumed);
    EXPECT_EQ((std::vector<std::string>{"1: 1081 - 1082 -", "2: 1140 - 0 'u'", "2: 0 - 0 ' '"}),
              token_texts(closing.tokens, true));
}

// Every allocation of a chunk may fail: the lexer then reports 3, stops early
// or drops the part concerned, and nothing is left once the list is freed.
TEST(XmlLexer, AllocationFailuresLeakNothing) {
    char text[] = "<START TZID=\"UTC\" X-A=\"b\">x&lt;</START>\n<X-FOO>y</X-FOO>"
                  "<METHOD>request</METHOD><";
    Lexed reference;
    lex_xml(reference, text);
    ASSERT_EQ(0, reference.rc);
    const std::vector<std::string> expected = token_texts(reference.tokens, true);

    count_failure_points([&] {
        Lexed made;  // the text is not copied: a copy would allocate
        made.rc = calparser_xmlbuf_to_toklist(text, sizeof text - 1, &made.tokens, &made.consumed,
                                              &made.line);
        bool failed = heap_failure::g_until_failure.load() < 0;
        heap_failure::g_until_failure = -1;  // the checks below allocate
        EXPECT_TRUE(made.rc == 0 || made.rc == 3) << made.rc;
        for (unsigned i = 0; i < made.count(); ++i)
            EXPECT_NE(nullptr, made.at(i)->pParamList);
        if (!failed) {
            EXPECT_EQ(expected, token_texts(made.tokens, true));
        }
        return !failed;
    }, 10);
}
