// The XML lexer: segments, tags, attributes, references and chunk ends.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/parser/cal_tok.h"
#include "core/parser/cal_tok_xml.h"
#include "tests/support/heap_failure.h"

namespace {

// Owns a token list (and its tokens) for the length of a test.
struct TokenList {
    array_t* list = nullptr;
    ~TokenList() {
        calparser_FreeTokenList(list);
        array_delete(list);
    }
    unsigned size() const { return list ? list->count : 0; }
    CALPARSER_TOKEN* operator[](unsigned i) const {
        return static_cast<CALPARSER_TOKEN*>(array_elementat(list, i));
    }
};

struct LexResult {
    int rc;
    unsigned consumed;
    unsigned line;  // the line counter after the call
};

// Lexes `text` as one chunk, the line counter starting at `firstLine`.
LexResult lexXml(std::string text, TokenList& tokens, unsigned firstLine = 1) {
    LexResult r{-1, 0xDEADBEEF, firstLine};
    r.rc = calparser_xmlbuf_to_toklist(&text[0], static_cast<unsigned>(text.size()), &tokens.list,
                                       &r.consumed, &r.line);
    return r;
}

std::string orNull(const char* s) {
    return s ? "\"" + std::string(s) + "\"" : "null";
}

// Everything a lexer puts in a token except the line, as one comparable text.
std::string describe(const CALPARSER_TOKEN* token) {
    std::ostringstream out;
    out << token->nType << " name=" << orNull(token->pName) << " value=" << token->nValue
        << " text=" << orNull(token->pValue) << " params=[";
    for (unsigned i = 0; token->pParamList && i < token->pParamList->count; ++i) {
        auto* p = static_cast<CALPARSER_PARAM*>(array_elementat(token->pParamList, i));
        out << p->nType << " " << orNull(p->pName) << "=" << orNull(p->pValue) << "; ";
    }
    out << "]";
    return out.str();
}

std::vector<std::string> describeAll(const TokenList& tokens, bool withLines) {
    std::vector<std::string> all;
    for (unsigned i = 0; i < tokens.size(); ++i)
        all.push_back((withLines ? std::to_string(tokens[i]->nLine) + ": " : "") +
                      describe(tokens[i]));
    return all;
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
    TokenList tokens;
    lexXml("<DESC>a\\,b\\nc &lt;d&gt; &amp;lt; &#65;</DESC><STATUS>maybe</STATUS>"
           "<RECURID></RECURID><X-FOO CN=\"Ann\" x-mine=\"1\">some\ttext</X-FOO><", tokens);
    ASSERT_EQ(8u, tokens.size());
    EXPECT_EQ("1114 name=null value=0 text=\"a,b\nc <d> &lt; A\" params=[]", describe(tokens[0]));
    EXPECT_EQ("1134 name=null value=0 text=null params=[]", describe(tokens[2]));
    EXPECT_EQ("1126 name=null value=0 text=null params=[]", describe(tokens[4]));
    EXPECT_EQ("1019 name=\"X-FOO\" value=0 text=\" X-FOO;CN=\"Ann\";x-mine=\"1\":some text\" "
              "params=[1291 null=\"Ann\"; 1286 \"X-MINE\"=\"1\"; ]",
              describe(tokens[6]));
}

// Text before the first tag, a stray "<" inside a value and a tag never closed
// by ">" each give an empty type-0 token.
TEST(XmlLexer, SegmentsWithoutAProperTagGiveAnEmptyType0Token) {
    TokenList tokens;
    LexResult r = lexXml("  \n<SUMMARY>a < b</SUMMARY>\n<DESC x=\"1\" <UID>u</UID><", tokens);
    EXPECT_EQ(0, r.rc);
    const std::vector<std::string> expected = {
        "0 name=null value=0 text=null params=[]",
        "1135 name=null value=0 text=\"a \" params=[]",
        "0 name=null value=0 text=null params=[]",      // "< b<"
        "0 name=null value=0 text=\" \" params=[]",     // </SUMMARY>
        "0 name=null value=0 text=null params=[]",      // <DESC ... without ">"
        "1140 name=null value=0 text=\"u\" params=[]",
        "0 name=null value=0 text=null params=[]",      // </UID>
    };
    EXPECT_EQ(expected, describeAll(tokens, false));
}

// A "<" inside a quoted value does not cut the segment. An unquoted value runs
// to the ">" and takes later attributes with it; an attribute without "=" or
// without a value has the empty value.
TEST(XmlLexer, AttributesBecomeParametersInOrder) {
    TokenList tokens;
    lexXml("<ATTENDEE cn = \"Bob Roe\" X-Z=\"a<b\">mailto:bob@x</ATTENDEE>"
           "<SUMMARY LANGUAGE=en CN=x>t</SUMMARY><UID FLAG>u</UID><DUE TZID=>d</DUE><",
           tokens);
    ASSERT_EQ(8u, tokens.size());
    EXPECT_EQ("1107 name=null value=0 text=\"mailto:bob@x\" params=[1291 null=\"Bob Roe\"; "
              "1286 \"X-Z\"=\"a<b\"; ]",
              describe(tokens[0]));
    EXPECT_EQ("1135 name=null value=0 text=\"t\" params=[1024 null=\"en CN=x\"; ]",
              describe(tokens[2]));
    EXPECT_EQ("1140 name=null value=0 text=\"u\" params=[0 null=\"\"; ]", describe(tokens[4]));
    EXPECT_EQ("1118 name=null value=0 text=\"d\" params=[1293 null=\"\"; ]", describe(tokens[6]));
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
    TokenList tokens;
    LexResult r = lexXml("<SUMMARY>no end in sight", tokens);
    EXPECT_EQ(0, r.rc);
    EXPECT_EQ(24u, r.consumed);
    EXPECT_EQ(1u, r.line);
    EXPECT_EQ(0u, tokens.size());
    ASSERT_NE(nullptr, tokens.list);  // the list is made all the same
    EXPECT_EQ(1, calparser_xmlbuf_to_toklist(nullptr, 0, &tokens.list, &r.consumed, &r.line));

    // A quote that never closes stops the chunk; the rest is left for the
    // next, as is a last closing tag with no "<" after it. CR LF counts as one
    // line end; tag names are upper-cased, a closing property tag is type 0.
    const std::string text = "<UID>x</UID>\r\n<DESC CN=\"oops>y</DESC>\n<UID>z</UID>\n<";
    r = lexXml(text, tokens, 5);
    EXPECT_EQ(text.find("<DESC"), r.consumed);
    EXPECT_EQ(6u, r.line);
    ASSERT_EQ(2u, tokens.size());
    EXPECT_EQ(5u, tokens[1]->nLine);
    TokenList closing;
    const std::string calendar = "<vcalendar>\n<Uid>u</Uid>\n</VCALENDAR>";
    r = lexXml(calendar, closing);
    EXPECT_EQ(calendar.find("</VCALENDAR>"), r.consumed);
    const std::vector<std::string> expected = {
        "1: 1081 name=null value=1082 text=null params=[]",
        "2: 1140 name=null value=0 text=\"u\" params=[]",
        "2: 0 name=null value=0 text=\" \" params=[]"};
    EXPECT_EQ(expected, describeAll(closing, true));
}

// Every allocation of a chunk may fail: the lexer then reports 3, stops early
// or drops the part concerned, and nothing is left once the list is freed.
TEST(XmlLexer, AllocationFailuresLeakNothing) {
    char text[] = "<START TZID=\"UTC\" X-A=\"b\">x&lt;</START>\n<X-FOO>y</X-FOO>"
                  "<METHOD>request</METHOD><";
    const unsigned length = sizeof text - 1;
    TokenList reference;
    ASSERT_EQ(0, lexXml(text, reference).rc);
    const std::vector<std::string> expected = describeAll(reference, true);

    count_failure_points([&] {
        TokenList made;
        unsigned consumed = 0, line = 1;
        int rc = calparser_xmlbuf_to_toklist(text, length, &made.list, &consumed, &line);
        bool failed = heap_failure::g_until_failure.load() < 0;
        heap_failure::g_until_failure = -1;  // the checks below allocate
        EXPECT_TRUE(rc == 0 || rc == 3) << rc;
        for (unsigned i = 0; i < made.size(); ++i)
            EXPECT_NE(nullptr, made[i]->pParamList);
        if (!failed) {
            EXPECT_EQ(expected, describeAll(made, true));
        }
        return !failed;
    }, 10);
}
