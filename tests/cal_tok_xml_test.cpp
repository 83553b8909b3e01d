// XML and SXML lexers: segments, tags, attributes, references, chunking and
// hostile input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/parser/cal_tok.h"
#include "core/parser/cal_tok_xml.h"
#include "tests/heap_failure.h"

namespace {

// Owns a token list (and its tokens) for the length of a test.
struct TokenList {
    array_t* list = nullptr;
    TokenList() = default;
    TokenList(const TokenList&) = delete;
    TokenList& operator=(const TokenList&) = delete;
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
LexResult lexXml(const std::string& text, TokenList& tokens, unsigned firstLine = 1) {
    std::string buf = text;  // the lexer may write nothing, but takes char*
    LexResult r{-1, 0xDEADBEEF, firstLine};
    r.rc = calparser_xmlbuf_to_toklist(&buf[0], static_cast<unsigned>(buf.size()), &tokens.list,
                                       &r.consumed, &r.line);
    return r;
}

// Feeds `text` to the lexer the way the stream intake does: each call sees the
// unconsumed rest of the previous chunk followed by the next `cuts` piece.
void lexXmlInChunks(const std::string& text, const std::vector<size_t>& cuts, TokenList& tokens) {
    std::string carry;
    unsigned line = 1;
    size_t from = 0;
    std::vector<size_t> ends = cuts;
    ends.push_back(text.size());
    for (size_t end : ends) {
        std::string chunk = carry + text.substr(from, end - from);
        from = end;
        unsigned consumed = 0;
        ASSERT_EQ(0, calparser_xmlbuf_to_toklist(&chunk[0], static_cast<unsigned>(chunk.size()),
                                                 &tokens.list, &consumed, &line));
        ASSERT_LE(consumed, chunk.size());
        carry = chunk.substr(consumed);
    }
}

CALPARSER_PARAM* param(const CALPARSER_TOKEN* token, unsigned i) {
    return static_cast<CALPARSER_PARAM*>(array_elementat(token->pParamList, i));
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
        const CALPARSER_PARAM* p = param(token, i);
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

std::string readFile(const std::string& relativePath) {
    std::ifstream in(std::string(CALPARSER_SOURCE_ROOT) + "/" + relativePath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string decode(const std::string& text) {
    std::string buf = text;
    char* p = &buf[0];
    EXPECT_EQ(0, calparser_convertHTMLEncodedCharacters(&p));
    EXPECT_EQ(&buf[0], p);
    return std::string(p);
}

std::string trimmed(const std::string& text) {
    std::string buf = text;
    char* p = &buf[0];
    EXPECT_EQ(0, calparser_xml_trim_line(&p));
    return std::string(p);
}

std::string asContentLine(const std::string& segment) {
    std::string buf = segment;
    convertXMLLineToICal(&buf[0]);
    return std::string(buf.c_str());
}

// ---- Tags and values -------------------------------------------------------

TEST(XmlLexer, ComponentTagsGiveBeginAndEndAndClosingPropertyTagsGiveType0) {
    TokenList tokens;
    const std::string text =
        "<ICALENDAR>\n<VCALENDAR>\n<EVENT>\n<SUMMARY>Hi</SUMMARY>\n</EVENT>\n"
        "</VCALENDAR>\n</ICALENDAR>\n";
    LexResult r = lexXml(text, tokens);
    EXPECT_EQ(0, r.rc);
    // The final closing tag has no "<" after it: it stays for the next chunk.
    EXPECT_EQ(text.find("</ICALENDAR>"), r.consumed);
    EXPECT_EQ(7u, r.line);
    ASSERT_EQ(7u, tokens.size());

    // The root element: type 0, value 0, its text the blank left of the LF.
    EXPECT_EQ(TOKEN_UNKNOWN, tokens[0]->nType);
    EXPECT_EQ(TOKEN_UNKNOWN, tokens[0]->nValue);
    EXPECT_STREQ(" ", tokens[0]->pValue);

    EXPECT_EQ(TOKEN_BEGIN, tokens[1]->nType);
    EXPECT_EQ(TOKEN_VCALENDAR, tokens[1]->nValue);
    EXPECT_EQ(nullptr, tokens[1]->pValue);
    EXPECT_EQ(TOKEN_BEGIN, tokens[2]->nType);
    EXPECT_EQ(TOKEN_VEVENT, tokens[2]->nValue);
    EXPECT_EQ(nullptr, tokens[2]->pValue);

    EXPECT_EQ(TOKEN_SUMMARY, tokens[3]->nType);
    EXPECT_STREQ("Hi", tokens[3]->pValue);
    EXPECT_EQ(TOKEN_UNKNOWN, tokens[4]->nType);  // </SUMMARY>
    EXPECT_STREQ(" ", tokens[4]->pValue);

    EXPECT_EQ(TOKEN_END, tokens[5]->nType);
    EXPECT_EQ(TOKEN_VEVENT, tokens[5]->nValue);
    EXPECT_EQ(TOKEN_END, tokens[6]->nType);
    EXPECT_EQ(TOKEN_VCALENDAR, tokens[6]->nValue);

    const unsigned lines[] = {1, 2, 3, 4, 4, 5, 6};
    for (unsigned i = 0; i < 7; ++i) {
        EXPECT_EQ(lines[i], tokens[i]->nLine) << i;
        ASSERT_NE(nullptr, tokens[i]->pParamList) << i;
        EXPECT_EQ(0u, tokens[i]->pParamList->count) << i;
    }
}

TEST(XmlLexer, ShortTagNamesAndLowerCaseTagsMapToTheirProperties) {
    TokenList tokens;
    lexXml("<rstatus>2.0</rstatus><LAST-MOD>20260101T000000Z</LAST-MOD><SEQ>3</SEQ>"
           "<RECURID>20260102T000000Z</RECURID><END>20260103T000000Z</END>"
           "<start>20260104T000000Z</start><FBDATA>x</FBDATA><PERCENT>50</PERCENT>"
           "<DESC>d</DESC><alarm><todo><",
           tokens);
    ASSERT_EQ(20u, tokens.size());
    const iCal_Token_t types[] = {TOKEN_REQUEST_STATUS, TOKEN_LAST_MODIFIED, TOKEN_SEQUENCE,
                                  TOKEN_RECURRENCE_ID,  TOKEN_DTEND,         TOKEN_DTSTART,
                                  TOKEN_FREEBUSY,       TOKEN_PERCENT_COMPLETE, TOKEN_DESCRIPTION};
    const char* values[] = {"2.0", "20260101T000000Z", "3", "20260102T000000Z",
                            "20260103T000000Z", "20260104T000000Z", "x", "50", "d"};
    for (unsigned i = 0; i < 9; ++i) {
        EXPECT_EQ(types[i], tokens[2 * i]->nType) << i;
        EXPECT_EQ(TOKEN_UNKNOWN, tokens[2 * i]->nValue) << i;
        EXPECT_STREQ(values[i], tokens[2 * i]->pValue) << i;
        EXPECT_EQ(TOKEN_UNKNOWN, tokens[2 * i + 1]->nType) << i;  // its closing tag
        EXPECT_EQ(nullptr, tokens[2 * i + 1]->pValue) << i;       // nothing follows it
    }
    EXPECT_EQ(TOKEN_BEGIN, tokens[18]->nType);
    EXPECT_EQ(TOKEN_VALARM, tokens[18]->nValue);
    EXPECT_EQ(TOKEN_BEGIN, tokens[19]->nType);
    EXPECT_EQ(TOKEN_VTODO, tokens[19]->nValue);
}

TEST(XmlLexer, KeywordValuedPropertiesKeepOnlyTheKeyword) {
    TokenList tokens;
    lexXml("<METHOD> request </METHOD><STATUS>confirmed</STATUS><TRANSP>OPAQUE</TRANSP>"
           "<ACTION>\tDISPLAY\n</ACTION><STATUS>maybe</STATUS><",
           tokens);
    ASSERT_EQ(10u, tokens.size());
    const iCal_Token_t types[] = {TOKEN_METHOD, TOKEN_STATUS, TOKEN_TRANSP, TOKEN_ACTION,
                                  TOKEN_STATUS};
    const iCal_Token_t values[] = {TOKEN_REQUEST, TOKEN_CONFIRMED, TOKEN_OPAQUE, TOKEN_DISPLAY,
                                   TOKEN_UNKNOWN};
    for (unsigned i = 0; i < 5; ++i) {
        EXPECT_EQ(types[i], tokens[2 * i]->nType) << i;
        EXPECT_EQ(values[i], tokens[2 * i]->nValue) << i;
        EXPECT_EQ(nullptr, tokens[2 * i]->pValue) << i;
    }
}

TEST(XmlLexer, ElementTextIsUnescapedThenDecodedWithoutAddingCR) {
    TokenList tokens;
    lexXml("<DESC>a\\,b\\nc &lt;d&gt; &amp;lt; &#65;</DESC><", tokens);
    ASSERT_EQ(2u, tokens.size());
    EXPECT_EQ(TOKEN_DESCRIPTION, tokens[0]->nType);
    EXPECT_STREQ("a,b\nc <d> &lt; A", tokens[0]->pValue);
}

TEST(XmlLexer, ExtensionElementsKeepTheirNameAndBecomeAContentLine) {
    TokenList tokens;
    lexXml("<X-FOO CN=\"Ann\" x-mine=\"1\">some\ttext</X-FOO>\n<x-bar>v</x-bar><", tokens);
    ASSERT_EQ(4u, tokens.size());
    EXPECT_EQ(TOKEN_X, tokens[0]->nType);
    EXPECT_STREQ("X-FOO", tokens[0]->pName);
    EXPECT_EQ(TOKEN_UNKNOWN, tokens[0]->nValue);
    // The TAB became a blank when the segment was normalised.
    EXPECT_STREQ(" X-FOO;CN=\"Ann\";x-mine=\"1\":some text", tokens[0]->pValue);
    ASSERT_EQ(2u, tokens[0]->pParamList->count);
    EXPECT_EQ(TOKEN_CN, param(tokens[0], 0)->nType);
    EXPECT_EQ(TOKEN_X_PARAM, param(tokens[0], 1)->nType);
    EXPECT_STREQ("X-MINE", param(tokens[0], 1)->pName);

    // The name is upper-cased, the content line keeps the case as written.
    EXPECT_EQ(TOKEN_X, tokens[2]->nType);
    EXPECT_STREQ("X-BAR", tokens[2]->pName);
    EXPECT_STREQ(" x-bar:v", tokens[2]->pValue);
}

TEST(XmlLexer, SegmentsWithoutAProperTagGiveAnEmptyType0Token) {
    TokenList tokens;
    // Text before the first tag, a stray "<" inside a value and a tag never
    // closed by ">".
    LexResult r = lexXml("  \n<SUMMARY>a < b</SUMMARY>\n<DESC x=\"1\" <UID>u</UID><", tokens);
    EXPECT_EQ(0, r.rc);
    ASSERT_EQ(7u, tokens.size());
    EXPECT_EQ(TOKEN_UNKNOWN, tokens[0]->nType);
    EXPECT_EQ(nullptr, tokens[0]->pValue);
    EXPECT_EQ(TOKEN_SUMMARY, tokens[1]->nType);
    EXPECT_STREQ("a ", tokens[1]->pValue);
    EXPECT_EQ(TOKEN_UNKNOWN, tokens[2]->nType);  // "< b<": no ">"
    EXPECT_EQ(nullptr, tokens[2]->pValue);
    EXPECT_STREQ(" ", tokens[3]->pValue);        // </SUMMARY>
    EXPECT_EQ(TOKEN_UNKNOWN, tokens[4]->nType);  // <DESC ... without ">"
    EXPECT_EQ(nullptr, tokens[4]->pValue);
    EXPECT_EQ(0u, tokens[4]->pParamList->count);
    EXPECT_EQ(TOKEN_UID, tokens[5]->nType);
    EXPECT_STREQ("u", tokens[5]->pValue);
}

// ---- Attributes ------------------------------------------------------------

TEST(XmlLexer, AttributesBecomeParametersInOrder) {
    TokenList tokens;
    lexXml("<START TZID=\"America/New_York\">20261203T090000</START>"
           "<ATTENDEE cn=\"Bob Roe\" SENTBY=\"mailto:a@x\" DELTO=\"mailto:b@x\" "
           "DELFROM=\"mailto:c@x\" LANG = \"en\" RELTYPE=\"PARENT\" X-Z=\"z\">mailto:bob@x"
           "</ATTENDEE><",
           tokens);
    ASSERT_EQ(4u, tokens.size());
    EXPECT_EQ(TOKEN_DTSTART, tokens[0]->nType);
    EXPECT_STREQ("20261203T090000", tokens[0]->pValue);
    ASSERT_EQ(1u, tokens[0]->pParamList->count);
    EXPECT_EQ(TOKEN_TZID, param(tokens[0], 0)->nType);
    EXPECT_EQ(nullptr, param(tokens[0], 0)->pName);
    EXPECT_STREQ("America/New_York", param(tokens[0], 0)->pValue);
    EXPECT_EQ(TOKEN_UNKNOWN, param(tokens[0], 0)->nValue);

    CALPARSER_TOKEN* att = tokens[2];
    EXPECT_EQ(TOKEN_ATTENDEE, att->nType);
    EXPECT_STREQ("mailto:bob@x", att->pValue);
    ASSERT_EQ(7u, att->pParamList->count);
    const iCal_Token_t types[] = {TOKEN_CN,       TOKEN_SENT_BY, TOKEN_DELEGATED_TO,
                                  TOKEN_DELEGATED_FROM, TOKEN_LANGUAGE, TOKEN_RELATED,
                                  TOKEN_X_PARAM};
    const char* values[] = {"Bob Roe", "mailto:a@x", "mailto:b@x", "mailto:c@x",
                            "en", "PARENT", "z"};
    for (unsigned i = 0; i < 7; ++i) {
        EXPECT_EQ(types[i], param(att, i)->nType) << i;
        EXPECT_STREQ(values[i], param(att, i)->pValue) << i;
    }
    EXPECT_STREQ("X-Z", param(att, 6)->pName);
}

TEST(XmlLexer, UnquotedAndValuelessAttributes) {
    TokenList tokens;
    // An unquoted value runs to the ">" and takes later attributes with it; a
    // name without "=" has the empty value.
    lexXml("<SUMMARY LANGUAGE=en CN=x>t</SUMMARY><UID FLAG>u</UID><DUE TZID=>d</DUE><",
           tokens);
    ASSERT_EQ(6u, tokens.size());
    ASSERT_EQ(1u, tokens[0]->pParamList->count);
    EXPECT_EQ(TOKEN_LANGUAGE, param(tokens[0], 0)->nType);
    EXPECT_STREQ("en CN=x", param(tokens[0], 0)->pValue);
    ASSERT_EQ(1u, tokens[2]->pParamList->count);
    EXPECT_EQ(TOKEN_UNKNOWN, param(tokens[2], 0)->nType);
    EXPECT_STREQ("", param(tokens[2], 0)->pValue);
    ASSERT_EQ(1u, tokens[4]->pParamList->count);
    EXPECT_EQ(TOKEN_TZID, param(tokens[4], 0)->nType);
    EXPECT_STREQ("", param(tokens[4], 0)->pValue);
    EXPECT_STREQ("d", tokens[4]->pValue);
}

TEST(XmlLexer, LessThanInsideQuotesDoesNotCutTheSegment) {
    TokenList tokens;
    LexResult r = lexXml("<SUMMARY CN=\"a<b\">t</SUMMARY>\n<", tokens);
    EXPECT_EQ(0, r.rc);
    ASSERT_EQ(2u, tokens.size());
    EXPECT_EQ(TOKEN_SUMMARY, tokens[0]->nType);
    EXPECT_STREQ("t", tokens[0]->pValue);
    ASSERT_EQ(1u, tokens[0]->pParamList->count);
    EXPECT_STREQ("a<b", param(tokens[0], 0)->pValue);
}

// ---- Pieces ------------------------------------------------------------------

TEST(XmlFindNextTag, SkipsQuotedStretchesAndCountsLineEnds) {
    unsigned line = 10;
    std::string text = "<A>\r\n\n\r<B>";
    EXPECT_EQ(&text[7], calparser_find_next_valid_XMLProp(&text[0], &line));
    EXPECT_EQ(13u, line);  // CR LF, LF and CR once each

    line = 1;
    text = "<A x=\"<\n\">\\\"<B>";  // an escaped quote opens no stretch
    EXPECT_EQ(&text[12], calparser_find_next_valid_XMLProp(&text[0], &line));
    EXPECT_EQ(2u, line);

    line = 1;
    text = "<A x=\"<B>\n<C>";  // a stretch that never closes ends the search
    EXPECT_EQ(nullptr, calparser_find_next_valid_XMLProp(&text[0], &line));
    EXPECT_EQ(1u, line);

    text = "<";
    EXPECT_EQ(nullptr, calparser_find_next_valid_XMLProp(&text[0], &line));
    EXPECT_EQ(nullptr, calparser_find_next_valid_XMLProp(nullptr, &line));
}

TEST(XmlTrimLine, NormalisesWhiteSpaceOnlyWhenALineEndOrTabIsPresent) {
    EXPECT_EQ("<A> x <", trimmed("<A>\r\n\t  x\r\n<"));
    EXPECT_EQ("<A  B>x<", trimmed("<A  B>x<"));     // no CR, LF or TAB: untouched
    EXPECT_EQ("a b\r", trimmed("a\r\tb\r"));          // a CR as last byte stays
    EXPECT_EQ(" ", trimmed("\n\n\t \n"));
    char* null = nullptr;
    EXPECT_EQ(1, calparser_xml_trim_line(&null));
    EXPECT_EQ(1, calparser_xml_trim_line(nullptr));
}

TEST(XmlLineVals, ReportsMissingPartsAndZeroesItsOutputs) {
    array_t* params = array_new();
    char* name = reinterpret_cast<char*>(1);
    char* value = reinterpret_cast<char*>(1);
    unsigned nameLen = 7, valueLen = 7;
    std::string seg = " 12 \" <";
    EXPECT_EQ(2, calparser_get_xml_line_vals(&seg[0], &name, &nameLen, &value, &valueLen, params));
    EXPECT_EQ(nullptr, name);
    EXPECT_EQ(0u, nameLen);
    EXPECT_EQ(nullptr, value);
    EXPECT_EQ(0u, valueLen);
    seg = "<A x=\"1\"<";  // no ">"
    EXPECT_EQ(2, calparser_get_xml_line_vals(&seg[0], &name, &nameLen, &value, &valueLen, params));
    seg = "<A>text";  // no "<" after the ">"
    EXPECT_EQ(2, calparser_get_xml_line_vals(&seg[0], &name, &nameLen, &value, &valueLen, params));
    EXPECT_EQ(0u, params->count);

    seg = "</DTSTART> <";
    EXPECT_EQ(0, calparser_get_xml_line_vals(&seg[0], &name, &nameLen, &value, &valueLen, params));
    EXPECT_EQ(std::string("/DTSTART"), std::string(name, nameLen));
    EXPECT_EQ(std::string(" "), std::string(value, valueLen));

    EXPECT_EQ(1, calparser_get_xml_line_vals(&seg[0], nullptr, &nameLen, &value, &valueLen, params));
    EXPECT_EQ(1, calparser_get_xml_line_vals(&seg[0], &name, &nameLen, &value, &valueLen, nullptr));
    array_delete(params);
}

TEST(XmlPopulateToken, RejectsMissingToken) {
    CALPARSER_TOKEN* token = nullptr;
    char seg[] = "<UID>x<";
    EXPECT_EQ(1, calparser_populate_xml_token(&token, seg, 1));
    EXPECT_EQ(1, calparser_populate_xml_token(nullptr, seg, 1));
}

TEST(XmlToContentLine, RewritesTagsAndCutsTheTrailingLessThan) {
    EXPECT_EQ(" X-FOO;A=\"1\";B=\"2\":txt", asContentLine("<X-FOO A=\"1\" B=\"2\">txt<"));
    EXPECT_EQ(" X-FOO:a</b>c", asContentLine("<X-FOO>a</b>c<"));
    EXPECT_EQ(" X-A:x y", asContentLine("<X-A>x y"));
    convertXMLLineToICal(nullptr);
}

// ---- Character references ----------------------------------------------------

TEST(XmlReferences, NamedReferencesDecodeOnceAndOthersStay) {
    EXPECT_EQ("a <b> & c", decode("a &lt;b&gt; &amp; c"));
    EXPECT_EQ("&lt;", decode("&amp;lt;"));  // the decoded "&" is not read again
    EXPECT_EQ("&quot; &apos; &nbsp; &AMP; &x; &", decode("&quot; &apos; &nbsp; &AMP; &x; &"));
    EXPECT_EQ("&&<", decode("&&&lt;"));
    EXPECT_EQ("a&l", decode("a&l"));
    char* null = nullptr;
    EXPECT_EQ(0, calparser_convertHTMLEncodedCharacters(&null));
    EXPECT_EQ(0, calparser_convertHTMLEncodedCharacters(nullptr));
}

TEST(XmlReferences, DecimalReferencesOfOneOrTwoDigits) {
    EXPECT_EQ("x\ny", decode("x&#10;y"));
    EXPECT_EQ("\tA", decode("&#9;&#65;"));
    EXPECT_EQ(")42", decode("&#4142"));      // without ";" exactly two digits are read
    EXPECT_EQ("\x0c" "3;", decode("&#123;"));  // three digits are not read whole
    EXPECT_EQ("\x0c", decode("&#12"));
    // Not numbers: too short, no digits, hexadecimal.
    EXPECT_EQ("&#1", decode("&#1"));
    EXPECT_EQ("&#;5", decode("&#;5"));
    EXPECT_EQ("&#a;", decode("&#a;"));
    EXPECT_EQ("&#x41;", decode("&#x41;"));
    // A reference to NUL would cut the text short: it becomes U+FFFD.
    EXPECT_EQ("a\xEF\xBF\xBD" "b\xEF\xBF\xBD", decode("a&#0;b&#00"));
}

TEST(XmlReferences, ManyReferencesDecodeInOnePass) {
    std::string text, expected;
    for (int i = 0; i < 20000; ++i) {
        text += "&lt;&#10;";
        expected += "<\n";
    }
    EXPECT_EQ(expected, decode(text));
}

// ---- Chunks ------------------------------------------------------------------

TEST(XmlLexer, ArgumentsAndListCreation) {
    unsigned consumed = 0, line = 1;
    array_t* list = nullptr;
    char text[] = "<UID>u</UID><";
    EXPECT_EQ(1, calparser_xmlbuf_to_toklist(nullptr, 3, &list, &consumed, &line));
    EXPECT_EQ(1, calparser_xmlbuf_to_toklist(text, 3, nullptr, &consumed, &line));
    EXPECT_EQ(1, calparser_xmlbuf_to_toklist(text, 3, &list, &consumed, nullptr));
    EXPECT_EQ(nullptr, list);

    // Tokens are appended to a list that exists; the consumed count is optional.
    TokenList tokens;
    lexXml("<UID>a</UID><", tokens);
    array_t* first = tokens.list;
    EXPECT_EQ(0, calparser_xmlbuf_to_toklist(text, sizeof text - 1, &tokens.list, nullptr, &line));
    EXPECT_EQ(first, tokens.list);
    ASSERT_EQ(4u, tokens.size());
    EXPECT_STREQ("u", tokens[2]->pValue);
}

TEST(XmlLexer, ChunkWithoutASecondLessThanIsDroppedWhole) {
    TokenList tokens;
    LexResult r = lexXml("<SUMMARY>no end in sight", tokens);
    EXPECT_EQ(0, r.rc);
    EXPECT_EQ(24u, r.consumed);
    EXPECT_EQ(1u, r.line);
    EXPECT_EQ(0u, tokens.size());
    ASSERT_NE(nullptr, tokens.list);  // the list is made all the same

    r = lexXml("plain text\nwithout tags", tokens);
    EXPECT_EQ(23u, r.consumed);
    EXPECT_EQ(0u, tokens.size());

    r = lexXml("", tokens);
    EXPECT_EQ(0, r.rc);
    EXPECT_EQ(0u, r.consumed);
}

TEST(XmlLexer, OpenQuoteStopsTheChunkAndLeavesTheRestForTheNext) {
    TokenList tokens;
    const std::string text = "<UID>x</UID>\n<DESC CN=\"oops>y</DESC>\n<UID>z</UID>\n<";
    LexResult r = lexXml(text, tokens, 5);
    EXPECT_EQ(0, r.rc);
    EXPECT_EQ(text.find("<DESC"), r.consumed);
    EXPECT_EQ(6u, r.line);
    ASSERT_EQ(2u, tokens.size());
    EXPECT_EQ(5u, tokens[0]->nLine);
    EXPECT_EQ(5u, tokens[1]->nLine);
}

TEST(XmlLexer, EndsOfChunksDoNotChangeTheTokens) {
    const std::string text = readFile("tests/data/xml/meeting.xml");
    ASSERT_FALSE(text.empty());
    TokenList whole;
    LexResult r = lexXml(text, whole);
    ASSERT_EQ(0, r.rc);
    const std::vector<std::string> expected = describeAll(whole, true);

    // The same file with CR LF line ends gives the same tokens: cut it in two
    // at every byte after the second tag's "<", CR LF pairs included (a first
    // chunk without a complete segment is dropped by rule).
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    TokenList wholeCrlf;
    ASSERT_EQ(0, lexXml(crlf, wholeCrlf).rc);
    ASSERT_EQ(expected, describeAll(wholeCrlf, true));
    const size_t secondTag = crlf.find('<', 1);
    for (size_t cut = secondTag + 1; cut < crlf.size(); ++cut) {
        TokenList pieces;
        lexXmlInChunks(crlf, {cut}, pieces);
        ASSERT_EQ(expected, describeAll(pieces, true)) << "cut at " << cut;
    }
    // Many chunks, each longer than the longest segment.
    for (size_t size : {130u, 257u, 1000u}) {
        std::vector<size_t> cuts;
        for (size_t at = size; at < text.size(); at += size) cuts.push_back(at);
        TokenList pieces;
        lexXmlInChunks(text, cuts, pieces);
        ASSERT_EQ(expected, describeAll(pieces, true)) << "chunks of " << size;
    }
}

TEST(XmlLexer, TokensCarryTheLineOfTheirTag) {
    const std::string text = readFile("tests/data/xml/meeting.xml");
    TokenList tokens;
    lexXml(text, tokens);
    // This file has no "<" inside quotes: token i starts at the i-th "<".
    size_t at = 0;
    for (unsigned i = 0; i < tokens.size(); ++i, ++at) {
        at = text.find('<', at);
        ASSERT_NE(std::string::npos, at);
        unsigned line = 1 + static_cast<unsigned>(std::count(text.begin(), text.begin() + at, '\n'));
        ASSERT_EQ(line, tokens[i]->nLine) << "token " << i;
    }
}

// ---- Equivalence with the iCalendar lexer ----------------------------------

TEST(XmlLexer, SameCalendarGivesTheSameTokensAsTheICalendarLexer) {
    std::string ics = readFile("tests/data/xml/meeting.ics");
    std::string xml = readFile("tests/data/xml/meeting.xml");
    ASSERT_FALSE(ics.empty());
    ASSERT_FALSE(xml.empty());

    TokenList icalTokens;
    unsigned consumed = 0, line = 1;
    ASSERT_EQ(0, calparser_icalbuf_to_toklist(&ics[0], static_cast<unsigned>(ics.size()),
                                              &icalTokens.list, &consumed, &line, 1));
    TokenList xmlTokens;
    ASSERT_EQ(0, lexXml(xml, xmlTokens).rc);

    // The XML form adds type-0 tokens (prolog, root element, closing tags of
    // properties), which the builders pass over.
    std::vector<std::string> fromXml;
    for (unsigned i = 0; i < xmlTokens.size(); ++i)
        if (xmlTokens[i]->nType != TOKEN_UNKNOWN) fromXml.push_back(describe(xmlTokens[i]));
    std::vector<std::string> fromIcal = describeAll(icalTokens, false);
    EXPECT_EQ(fromIcal, fromXml);
    EXPECT_EQ(53u, fromXml.size());
}

// ---- Hostile input -----------------------------------------------------------

TEST(XmlLexer, HugeNamesDeepNestingAndManyAttributes) {
    TokenList tokens;
    std::string hugeName(200000, 'Q');
    LexResult r = lexXml("<" + hugeName + ">v</" + hugeName + "><", tokens);
    EXPECT_EQ(0, r.rc);
    ASSERT_EQ(2u, tokens.size());
    EXPECT_EQ(TOKEN_UNKNOWN, tokens[0]->nType);
    EXPECT_STREQ("v", tokens[0]->pValue);

    TokenList nested;
    std::string deep;
    for (int i = 0; i < 20000; ++i) deep += "<EVENT>";
    deep += "<";
    r = lexXml(deep, nested);
    EXPECT_EQ(0, r.rc);
    ASSERT_EQ(20000u, nested.size());
    EXPECT_EQ(TOKEN_VEVENT, nested[19999]->nValue);

    TokenList wide;
    std::string tag = "<ATTENDEE";
    for (int i = 0; i < 5000; ++i) tag += " CN=\"n" + std::to_string(i) + "\"";
    r = lexXml(tag + ">mailto:a@x<", wide);
    ASSERT_EQ(1u, wide.size());
    ASSERT_EQ(5000u, wide[0]->pParamList->count);
    EXPECT_STREQ("n4999", param(wide[0], 4999)->pValue);
}

TEST(XmlLexer, RandomBytesNeverBreakTheLexer) {
    const char alphabet[] = "<<>>\"\"\\&#;=/ \n\r\tAZaxX-19\x80\xff";
    std::mt19937 random(20261205);
    for (int round = 0; round < 200; ++round) {
        std::string text(1 + random() % 3000, ' ');
        for (char& c : text) c = alphabet[random() % (sizeof alphabet - 1)];
        std::vector<size_t> cuts;
        for (size_t at = 512; at < text.size(); at += 512) cuts.push_back(at);
        TokenList tokens;
        lexXmlInChunks(text, cuts, tokens);
        for (unsigned i = 0; i < tokens.size(); ++i) ASSERT_NE(nullptr, tokens[i]->pParamList);
    }
}

// Every allocation of a chunk may fail: the lexer then reports 3, stops early
// or drops the part concerned, and nothing is left once the list is freed.
TEST(XmlLexer, AllocationFailuresLeakNothing) {
#if !HEAP_FAILURE_HOOK
    GTEST_SKIP() << "sanitizer builds own the heap";
#else
    char text[] = "<START TZID=\"UTC\" X-A=\"b\">x&lt;</START>\n<X-FOO>y</X-FOO>"
                  "<METHOD>request</METHOD><";
    const unsigned length = sizeof text - 1;
    TokenList reference;
    ASSERT_EQ(0, lexXml(text, reference).rc);
    const std::vector<std::string> expected = describeAll(reference, true);

    int allocations = count_failure_points([&] {
        array_t* list = nullptr;
        unsigned consumed = length + 1, line = 1;
        int rc = calparser_xmlbuf_to_toklist(text, length, &list, &consumed, &line);
        bool failed = heap_failure::g_until_failure.load() < 0;
        heap_failure::g_until_failure = -1;  // the checks below allocate
        EXPECT_TRUE(rc == 0 || rc == 3) << rc;
        if (list) {
            EXPECT_LE(consumed, length);
            EXPECT_LE(list->count, expected.size());
            for (unsigned i = 0; i < list->count; ++i)
                EXPECT_NE(nullptr, static_cast<CALPARSER_TOKEN*>(list->data[i])->pParamList);
        }
        if (!failed) {
            TokenList made;
            made.list = list;
            list = nullptr;
            EXPECT_EQ(0, rc);
            EXPECT_EQ(expected, describeAll(made, true));
        }
        calparser_FreeTokenList(list);
        array_delete(list);
        return !failed;
    });
    EXPECT_GT(allocations, 10);
#endif
}

// ---- SXML ------------------------------------------------------------------

TEST(SxmlLexer, AcceptsEveryChunkAndMakesNothing) {
    char text[] = "<EVENT><SUMMARY>s</SUMMARY></EVENT><";
    array_t* list = nullptr;
    unsigned consumed = 12345, line = 7;
    EXPECT_EQ(0, calparser_sxmlbuf_to_toklist(text, sizeof text - 1, &list, &consumed, &line));
    EXPECT_EQ(nullptr, list);
    EXPECT_EQ(12345u, consumed);
    EXPECT_EQ(7u, line);
    EXPECT_EQ(0, calparser_sxmlbuf_to_toklist(nullptr, 0, nullptr, nullptr, nullptr));

    char* name = text;
    unsigned nameLen = 99;
    EXPECT_EQ(0, calparser_get_sxml_line_vals(text, &name, &nameLen, nullptr, nullptr, nullptr));
    EXPECT_EQ(text, name);
    EXPECT_EQ(99u, nameLen);
}

}  // namespace
