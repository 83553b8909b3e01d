// Tokens, parameters, their printers and the iCalendar text lexer.
#include "core/parser/cal_tok.h"

#include <gtest/gtest.h>
#include <prio.h>
#include <string.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/heap_failure.h"

namespace {

// The result of lexing one chunk; frees its tokens.
struct Lexed {
    array_t* tokens = nullptr;
    unsigned consumed = 0;
    unsigned line = 1;
    int rc = -1;
    ~Lexed() {
        calparser_FreeTokenList(tokens);
        array_delete(tokens);
    }
    unsigned count() const { return tokens ? tokens->count : 0; }
    CALPARSER_TOKEN* at(unsigned i) const { return (CALPARSER_TOKEN*)array_elementat(tokens, i); }
};

// Lexes `text` (embedded NULs allowed) as one chunk, continuing `out`.
void lex(Lexed& out, const std::string& text, int checkVCalendar = 0) {
    std::string buf = text;   // the lexer wants a writable, NUL-terminated chunk
    out.rc = calparser_icalbuf_to_toklist(&buf[0], (unsigned)buf.size(), &out.tokens,
                                          &out.consumed, &out.line, checkVCalendar);
}

std::string text_or_dash(const char* s) { return s ? "'" + std::string(s) + "'" : "-"; }

// A token in one line: "type name value-keyword 'value'", then per parameter
// " ;type name 'value'"; "-" marks a NULL text.
std::string show(const CALPARSER_TOKEN* t) {
    std::string s = std::to_string(t->nType) + " " + text_or_dash(t->pName) + " "
                  + std::to_string(t->nValue) + " " + text_or_dash(t->pValue);
    for (unsigned i = 0; t->pParamList && i < t->pParamList->count; i++) {
        auto* p = (CALPARSER_PARAM*)array_elementat(t->pParamList, i);
        s += " ;" + std::to_string(p->nType) + " " + text_or_dash(p->pName) + " "
           + text_or_dash(p->pValue);
    }
    return s;
}

// Frees the token a populate entry point makes.
struct OneToken {
    CALPARSER_TOKEN* tok = calparser_NewToken();
    ~OneToken() { calparser_FreeToken(&tok); }
};

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string temp_path(const char* name) {
    return testing::TempDir() + name + std::to_string(getpid());
}

}  // namespace


TEST(TokenModel, FreeFunctionsAndParamLookup) {
    CALPARSER_TOKEN* tok = calparser_NewToken();
    ASSERT_NE(nullptr, tok);
    tok->pParamList = array_new();   // an empty list goes with the token
    EXPECT_EQ(0, calparser_FreeToken(&tok));
    EXPECT_EQ(nullptr, tok);
    EXPECT_EQ(0, calparser_FreeToken(&tok));

    Lexed lexed;
    lex(lexed, "ATTENDEE;CN=first;RSVP=TRUE;CN=second:mailto:a@example.com\r\n");
    array_t* params = lexed.at(0)->pParamList;
    char* value = (char*)"unset";
    EXPECT_EQ(0, calparser_FindParamInParamList(params, (iCal_Token_t)1291, &value));   // CN
    EXPECT_EQ(((CALPARSER_PARAM*)array_elementat(params, 0))->pValue, value);   // not a copy
    EXPECT_STREQ("first", value);
    EXPECT_EQ(0, calparser_FindParamInParamList(params, (iCal_Token_t)1293, &value));   // TZID
    EXPECT_EQ(nullptr, value);
    EXPECT_EQ(1, calparser_FindParamInParamList(params, (iCal_Token_t)1291, nullptr));

    // A list keeps its array object but loses every element.
    EXPECT_EQ(0, calparser_FreeTokenList(lexed.tokens));
    EXPECT_EQ(0u, lexed.tokens->count);
}


TEST(TokenPrint, DebugListIndentsByComponentDepth) {
    Lexed lexed;
    lex(lexed, "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY;LANGUAGE=en:Lunch\r\n"
               "END:VEVENT\r\nEND:VCALENDAR\r\nFOO\r\n");
    std::string path = temp_path("debug_print");
    PRFileDesc* file = PR_Open(path.c_str(), PR_WRONLY | PR_CREATE_FILE | PR_TRUNCATE, 0600);
    ASSERT_NE(nullptr, file);
    calparser_debugPrintTokenList(lexed.tokens, file);
    PR_Close(file);
    EXPECT_EQ("line(    1)     BEGIN           - VCALENDAR - :\n"
              "line(    2)         BEGIN           - VEVENT - :\n"
              "line(    3)         SUMMARY         - Lunch - :LANGUAGE  =en        ;\n"
              "line(    4)         END             - VEVENT - :\n"
              "line(    5)     END             - VCALENDAR - :\n"
              "line(    6) <UNKNOWN>       - Unknown type - :\n",
              read_file(path));
    unlink(path.c_str());
}

TEST(TokenPrint, XmlElementUsesNamesOrKeywordTexts) {
    Lexed lexed;
    lex(lexed, "BEGIN:VEVENT\r\nDTSTART;TZID=Europe/Paris:20240101T090000\r\n"
               "X-FOO;X-P=\"v\":val\r\n");
    std::string path = temp_path("xml_print");
    FILE* file = fopen(path.c_str(), "w");
    ASSERT_NE(nullptr, file);
    protstream* out = prot_new(fileno(file), 1);
    for (unsigned i = 0; i < lexed.count(); i++)
        calparser_PrintTokenToXML(out, lexed.at(i));
    prot_free(out);
    fclose(file);
    EXPECT_EQ("<BEGIN>VEVENT</BEGIN>"
              "<DTSTART TZID=\"Europe/Paris\">20240101T090000</DTSTART>"
              "<X-FOO X-P=\"v\">X-FOO;X-P=\"v\":val</X-FOO>",
              read_file(path));
    unlink(path.c_str());
}


// Parameter names are trimmed and upper-cased, their values only lose one
// pair of quotes; the value starts after the first colon outside quotes.
TEST(IcalLexer, SplitsNameParametersAndValue) {
    Lexed l;
    lex(l, "DTSTART;TZID=Europe/Paris:20240101T090000\r\n"
           "DTSTART; tzid =Paris;x-foo=1;FOO:20240101\r\n"
           "ATTENDEE;CN= Jane ;RSVP=TRUE:mailto:jane@example.com\r\n"
           "ATTENDEE;CN=\"Doe, Jane: PhD\":mailto:jane@example.com\n"
           "ATTENDEE;MEMBER=\"mailto:a@x\",\"mailto:b@x\":mailto:c@x\n"
           "DESCRIPTION;ALTREP=\"cid:part\"\n"     // no colon after the quotes
           "SUMMARY;X-A=\"abc:def\n"                // a quote without partner
           "ATTENDEE;CN=\"a;b\":mailto:x\n");       // ";" ends a parameter even in quotes
    ASSERT_EQ(8u, l.count());
    EXPECT_EQ("1117 - 0 '20240101T090000' ;1293 - 'Europe/Paris'", show(l.at(0)));
    EXPECT_EQ("1117 - 0 '20240101' ;1293 - 'Paris' ;1286 'X-FOO' '1' ;0 - ''", show(l.at(1)));
    EXPECT_EQ("1107 - 0 'mailto:jane@example.com' ;1291 - ' Jane ' ;1170 - 'TRUE'",
              show(l.at(2)));
    EXPECT_EQ("1107 - 0 'mailto:jane@example.com' ;1291 - 'Doe, Jane: PhD'", show(l.at(3)));
    EXPECT_EQ("1107 - 0 'mailto:c@x' ;1172 - 'mailto:a@x\",\"mailto:b@x'", show(l.at(4)));
    EXPECT_EQ("1114 - 0 'part\"' ;1025 - 'cid'", show(l.at(5)));
    EXPECT_EQ("1135 - 0 'def' ;1286 'X-A' 'abc'", show(l.at(6)));
    EXPECT_EQ("1107 - 0 'mailto:x' ;1291 - 'a' ;0 - ''", show(l.at(7)));
}

// Names are upper-cased before the look-up, component names are not; the
// values of the four keyword-valued properties are trimmed and upper-cased.
TEST(IcalLexer, KeywordValuedLinesAndComponentNames) {
    Lexed l;
    lex(l, "begin:VEVENT\r\nBEGIN:vevent\r\nEND:X-MINE\r\nBEGIN:VEVENT \r\n"
           "STATUS:confirmed\r\nMETHOD: request \r\nTRANSP:sometimes\r\n");
    ASSERT_EQ(7u, l.count());
    EXPECT_EQ("1081 - 1103 -", show(l.at(0)));
    EXPECT_EQ("1081 - 0 -", show(l.at(1)));
    EXPECT_EQ("1084 - 1019 -", show(l.at(2)));
    EXPECT_EQ("1081 - 0 -", show(l.at(3)));
    EXPECT_EQ("1134 - 1300 -", show(l.at(4)));
    EXPECT_EQ("1092 - 1150 -", show(l.at(5)));
    EXPECT_EQ("1136 - 0 -", show(l.at(6)));
}

TEST(IcalLexer, ExtensionUnknownAndEmptyLines) {
    Lexed l;
    lex(l, "x-wr-calname;X-P=1:My\\, Cal\r\nFOO:bar\\nbaz\r\nGARBAGE\r\n"
           "SUMMARY:\r\nX-EMPTY:\r\nDESCRIPTION;LANGUAGE=en:\r\n");
    ASSERT_EQ(6u, l.count());
    // An extension line keeps the whole line as read.
    EXPECT_EQ("1019 'X-WR-CALNAME' 0 'x-wr-calname;X-P=1:My\\, Cal' ;1286 'X-P' '1'",
              show(l.at(0)));
    EXPECT_EQ("0 - 0 'bar\r\nbaz'", show(l.at(1)));
    EXPECT_EQ("0 - 0 -", show(l.at(2)));
    EXPECT_EQ(0u, l.at(2)->pParamList->count);   // present though empty
    EXPECT_EQ("1135 - 0 -", show(l.at(3)));
    EXPECT_EQ("1019 'X-EMPTY' 0 'X-EMPTY:'", show(l.at(4)));
    EXPECT_EQ("1114 - 0 - ;1024 - 'en'", show(l.at(5)));

    // Request lines keep only the value, unescaped, without added CRs.
    OneToken x, empty;
    char line[] = "X-FOO;X-P=1:a\\nb\\,c", emptyLine[] = "X-FOO:";
    EXPECT_EQ(0, calparser_populateXToken_token(&x.tok, line, 7));
    EXPECT_EQ("1019 'X-FOO' 0 'a\nb,c' ;1286 'X-P' '1'", show(x.tok));
    EXPECT_EQ(7u, x.tok->nLine);
    calparser_populateXToken_token(&empty.tok, emptyLine, 1);
    EXPECT_EQ("1019 'X-FOO' 0 ''", show(empty.tok));

    // Recurrence rules: parameter names are rule parts.
    OneToken r;
    char rule[] = "RRULE;FREQ=YEARLY;BYDAY=-1SU;x-y=1;TZID=a:";
    EXPECT_EQ(0, calparser_populateRecurrence_token(&r.tok, rule, 3));
    EXPECT_EQ("1129 - 0 - ;1234 - 'YEARLY' ;1238 - '-1SU' ;1286 'X-Y' '1' ;0 - 'a'", show(r.tok));
}


TEST(IcalLexer, UnescapesValuesAndAddsCarriageReturns) {
    Lexed l;
    lex(l, "DESCRIPTION:a\\nb\\,c\\;d\\:e\\Nf\\rg\\xh\\\n"
           "DESCRIPTION:C:\\\\new\\\\\\,x\n"
           "DESCRIPTION:\\nfirst\\r\\nsecond\n");
    ASSERT_EQ(3u, l.count());
    EXPECT_STREQ("a\r\nb,c;d:e\r\nf\rg\\xh\\", l.at(0)->pValue);
    // A doubled backslash stays, and its second backslash starts nothing.
    EXPECT_STREQ("C:\\\\new\\\\,x", l.at(1)->pValue);
    // No CR before a leading LF, nor before an LF that already has one.
    EXPECT_STREQ("\nfirst\r\nsecond", l.at(2)->pValue);
}


TEST(IcalLexer, FoldsJoinOnSpaceOnly) {
    Lexed l;
    lex(l, "SUMMARY:Wee\r\n kly\r\nDESCRIPTION:a\r\n\tb\r\nLOCATION:x\n  y\n z\r\n");
    ASSERT_EQ(4u, l.count());
    EXPECT_STREQ("Weekly", l.at(0)->pValue);
    EXPECT_STREQ("a", l.at(1)->pValue);
    EXPECT_EQ(0, (int)l.at(2)->nType);       // the TAB line stands alone
    EXPECT_STREQ("x yz", l.at(3)->pValue);   // one space per fold is removed
    // Each token carries the line it began on; the counter ends past the last.
    EXPECT_EQ(1u, l.at(0)->nLine);
    EXPECT_EQ(3u, l.at(1)->nLine);
    EXPECT_EQ(5u, l.at(3)->nLine);
    EXPECT_EQ(8u, l.line);

    // Unfolding scans from the end: the inner CR goes first, so the LF then
    // stands before the space and makes a fold.
    char odd[] = "a\n\r b\r\r";
    char* p = odd;
    EXPECT_EQ(0, calparser_trim_line(&p));
    EXPECT_STREQ("ab", odd);
}

TEST(IcalLexer, QuotedPrintableContinuesAtSoftBreaks) {
    Lexed l;
    lex(l, "DESCRIPTION;ENCODING=QUOTED-PRINTABLE:abc=\r\ndef=\nghi\r\n"
           "SUMMARY;encoding=quoted-printable:x\r\n y\r\n"
           "COMMENT:p=\r\nUID:1\r\n");
    ASSERT_EQ(5u, l.count());
    EXPECT_EQ("1114 - 0 'abc=\r\ndef=\r\nghi' ;1328 - 'QUOTED-PRINTABLE'", show(l.at(0)));
    EXPECT_STREQ("x", l.at(1)->pValue);       // a space does not continue it
    EXPECT_EQ(0, (int)l.at(2)->nType);
    EXPECT_STREQ("p=", l.at(3)->pValue);      // "=" matters only in that mode
    EXPECT_EQ(7u, l.at(4)->nLine);
}

TEST(IcalLexer, LoneCarriageReturnsLineFeedsAndNulBytes) {
    Lexed cr;   // no LF at all: CR ends lines
    lex(cr, "BEGIN:VCALENDAR\rVERSION:2.0\r\rEND:VCALENDAR\r");
    ASSERT_EQ(4u, cr.count());
    EXPECT_STREQ("2.0", cr.at(1)->pValue);
    EXPECT_EQ("0 - 0 -", show(cr.at(2)));     // an empty line is still a token
    EXPECT_EQ(4u, cr.at(3)->nLine);
    EXPECT_EQ(43u, cr.consumed);

    Lexed mixed;   // with an LF around, a CR inside a line is dropped
    lex(mixed, "SUMMARY:a\rb\nUID:1\n");
    EXPECT_STREQ("ab", mixed.at(0)->pValue);

    // A NUL ends the text of its line but neither the search for line ends
    // nor the lines after it.
    Lexed nul;
    lex(nul, std::string("SUMMARY:a\r\n b\0c\r\nUID:2\r\n", 24));
    ASSERT_EQ(2u, nul.count());
    EXPECT_STREQ("ab", nul.at(0)->pValue);
    EXPECT_STREQ("2", nul.at(1)->pValue);
    EXPECT_EQ(4u, nul.line);

    unsigned line = 10;
    char text[] = "a\r\nb\nc\rd\r";
    calparser_increment_lineNumber(text, text + 9, &line);
    EXPECT_EQ(14u, line);
}


TEST(IcalLexer, PartialLastLineIsLeftForTheNextChunk) {
    Lexed l;
    lex(l, "UID:1\r\nSUMMARY:a\r\n b");    // the fold may go on in the next chunk
    EXPECT_EQ(0, l.rc);
    EXPECT_EQ(1u, l.count());
    EXPECT_EQ(7u, l.consumed);
    EXPECT_EQ(2u, l.line);

    // The carried tail and the next bytes make the whole line.
    std::string next = "SUMMARY:a\r\n bc\r\nUID:2\r\n";
    lex(l, next);
    ASSERT_EQ(3u, l.count());
    EXPECT_STREQ("abc", l.at(1)->pValue);
    EXPECT_EQ(2u, l.at(1)->nLine);
    EXPECT_EQ(4u, l.at(2)->nLine);
    EXPECT_EQ(next.size(), l.consumed);

    // A chunk without any complete line is dropped whole.
    Lexed longLine, zeros;
    lex(longLine, std::string(16384, 'A'));
    EXPECT_EQ(0u, longLine.count());
    EXPECT_EQ(16384u, longLine.consumed);
    lex(zeros, std::string(100, '\0'));
    EXPECT_EQ(100u, zeros.consumed);
}

TEST(IcalLexer, FindNextValidCRSkipsFolds) {
    char text[] = "A:1\r\n 2\r\nB:3";
    unsigned line = 1;
    EXPECT_EQ(text + 8, calparser_find_next_valid_CR(text, (int)strlen(text), &line));
    EXPECT_EQ(3u, line);
    EXPECT_EQ(nullptr, calparser_find_next_valid_CR(text + 9, 3, &line));
    // The first line end must lie within the length, a continuation need not;
    // a stretch without LF ends at its CR.
    EXPECT_EQ(nullptr, calparser_find_next_valid_CR(text, 3, nullptr));
    EXPECT_EQ(text + 3, calparser_find_next_valid_CR(text, 4, nullptr));
    EXPECT_EQ(text + 8, calparser_find_next_valid_CR(text, 5, nullptr));
}

TEST(IcalLexer, VCalendarCheckAndBadArguments) {
    Lexed missing, found, folded;
    lex(missing, "BEGIN:VEVENT\r\nbegin:VCALENDAR\r\n BEGIN:VCALENDAR\r\n", 1);
    EXPECT_EQ(2, missing.rc);
    EXPECT_EQ(2u, missing.count());   // the tokens are kept
    lex(found, "METHOD:PUBLISH\r\nBEGIN:VCALENDARX\r\n", 1);
    EXPECT_EQ(0, found.rc);
    lex(folded, "BEGIN:VCAL\r\n ENDAR\r\n", 1);   // compared before unfolding
    EXPECT_EQ(2, folded.rc);

    array_t* tokens = nullptr;
    unsigned consumed = 0, line = 1;
    char buf[] = "A:1\n";
    EXPECT_EQ(1, calparser_icalbuf_to_toklist(nullptr, 4, &tokens, &consumed, &line, 0));
    EXPECT_EQ(1, calparser_icalbuf_to_toklist(buf, 4, &tokens, &consumed, nullptr, 0));
    EXPECT_EQ(nullptr, tokens);
    CALPARSER_TOKEN* none = nullptr;
    EXPECT_EQ(1, calparser_populate_token(&none, buf, 1));
}

// Every allocation of a chunk may fail: the lexer then drops a part, a line or
// the rest of the chunk, never crashes and leaves nothing behind once the
// tokens it made are freed.
TEST(IcalLexer, SurvivesEveryAllocationFailure) {
    char text[] = "BEGIN:VEVENT\r\nATTENDEE;CN=\"A\";X-P=1:mailto:a@x\r\n"
                  "X-FOO:bar\r\nSTATUS:confirmed\r\nSUMMARY:a\\nb\r\nEND:VEVENT\r\n";
    const char* expected[] = {
        "1081 - 1103 -", "1107 - 0 'mailto:a@x' ;1291 - 'A' ;1286 'X-P' '1'",
        "1019 'X-FOO' 0 'X-FOO:bar'", "1134 - 1300 -", "1135 - 0 'a\r\nb'", "1084 - 1103 -"};
    int allocations = count_failure_points([&] {
        Lexed l;
        l.rc = calparser_icalbuf_to_toklist(text, (unsigned)strlen(text), &l.tokens,
                                            &l.consumed, &l.line, 0);
        heap_failure::g_until_failure = -1;  // the checks below allocate
        if (l.rc != 0 || l.count() != 6)
            return false;
        for (unsigned i = 0; i < 6; i++)
            if (!l.at(i)->pParamList || show(l.at(i)) != expected[i])
                return false;
        return true;
    });
    if (HEAP_FAILURE_HOOK) {
        EXPECT_GT(allocations, 30);
    }
}
