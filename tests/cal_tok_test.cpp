// Tokens, parameters, their printers and the iCalendar text lexer.
#include "core/parser/cal_tok.h"

#include <gtest/gtest.h>
#include <string.h>
#include <plstr.h>
#include <prio.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/heap_failure.h"

namespace {

// Keyword values used below (fixed numbers of the vocabulary).
constexpr int kBegin = 1081, kEnd = 1084, kVEvent = 1103;
constexpr int kXProp = 1019, kXParam = 1286;
constexpr int kDtStart = 1117, kSummary = 1135, kDescription = 1114, kAttendee = 1107;
constexpr int kTzid = 1293, kCn = 1291, kRsvp = 1170, kMember = 1172, kEncoding = 1328;

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
    CALPARSER_PARAM* param(unsigned tok, unsigned i) const {
        return (CALPARSER_PARAM*)array_elementat(at(tok)->pParamList, i);
    }
};

// Lexes `text` (embedded NULs allowed) as one chunk, starting at `line`.
void lex(Lexed& out, const std::string& text, int checkVCalendar = 0) {
    std::string buf = text;   // the lexer wants a writable, NUL-terminated chunk
    out.rc = calparser_icalbuf_to_toklist(&buf[0], (unsigned)buf.size(), &out.tokens,
                                          &out.consumed, &out.line, checkVCalendar);
}

// One token made by `populate` from `line`.
struct OneToken {
    CALPARSER_TOKEN* tok = calparser_NewToken();
    ~OneToken() { calparser_FreeToken(&tok); }
    CALPARSER_PARAM* param(unsigned i) const {
        return (CALPARSER_PARAM*)array_elementat(tok->pParamList, i);
    }
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

// ---- Records -------------------------------------------------------------

TEST(TokenModel, FreeFunctionsReleaseEverythingAndNullTheirPointers) {
    CALPARSER_TOKEN* tok = calparser_NewToken();
    ASSERT_NE(nullptr, tok);
    EXPECT_EQ(0, (int)tok->nType);
    EXPECT_EQ(nullptr, tok->pParamList);
    tok->pParamList = array_new();   // empty list: deleted with the token
    EXPECT_EQ(0, calparser_FreeToken(&tok));
    EXPECT_EQ(nullptr, tok);
    EXPECT_EQ(0, calparser_FreeToken(&tok));   // already null: no-op
    EXPECT_EQ(0, calparser_FreeToken(nullptr));
    EXPECT_EQ(0, calparser_FreeParam(nullptr));
    EXPECT_EQ(0, calparser_FreeParamList(nullptr));
    EXPECT_EQ(0, calparser_FreeTokenList(nullptr));

    // A token list keeps its array object but loses every element.
    Lexed lexed;
    lex(lexed, "SUMMARY;LANGUAGE=en:a\r\nX-A;X-B=1:b\r\n");
    ASSERT_EQ(2u, lexed.count());
    EXPECT_EQ(0, calparser_FreeTokenList(lexed.tokens));
    EXPECT_EQ(0u, lexed.tokens->count);
}

TEST(TokenModel, FindParamReturnsFirstOfItsType) {
    OneToken t;
    char line[] = "ATTENDEE;CN=first;RSVP=TRUE;CN=second:mailto:a@example.com";
    ASSERT_EQ(0, calparser_populate_token(&t.tok, line, 1));
    char* value = (char*)"unset";
    EXPECT_EQ(0, calparser_FindParamInParamList(t.tok->pParamList, (iCal_Token_t)kCn, &value));
    EXPECT_STREQ("first", value);
    EXPECT_EQ(t.param(0)->pValue, value);   // still the parameter's own text
    EXPECT_EQ(0, calparser_FindParamInParamList(t.tok->pParamList, (iCal_Token_t)kTzid, &value));
    EXPECT_EQ(nullptr, value);
    value = (char*)"unset";
    EXPECT_EQ(0, calparser_FindParamInParamList(nullptr, (iCal_Token_t)kCn, &value));
    EXPECT_EQ(nullptr, value);
    EXPECT_EQ(1, calparser_FindParamInParamList(t.tok->pParamList, (iCal_Token_t)kCn, nullptr));
}

// ---- Printers ------------------------------------------------------------

TEST(TokenPrint, DebugListIndentsByComponentDepth) {
    Lexed lexed;
    lex(lexed, "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nSUMMARY;LANGUAGE=en:Lunch\r\n"
               "END:VEVENT\r\nEND:VCALENDAR\r\nFOO\r\n");
    ASSERT_EQ(6u, lexed.count());
    std::string path = temp_path("debug_print");
    PRFileDesc* file = PR_Open(path.c_str(), PR_WRONLY | PR_CREATE_FILE | PR_TRUNCATE, 0600);
    ASSERT_NE(nullptr, file);
    calparser_debugPrintTokenList(lexed.tokens, file);
    calparser_debugPrintTokenList(nullptr, file);   // prints nothing
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
    ASSERT_EQ(3u, lexed.count());
    std::string path = temp_path("xml_print");
    FILE* file = fopen(path.c_str(), "w");
    ASSERT_NE(nullptr, file);
    protstream* out = prot_new(fileno(file), 1);
    for (unsigned i = 0; i < lexed.count(); i++)
        calparser_PrintTokenToXML(out, lexed.at(i));
    calparser_PrintTokenToXML(out, nullptr);
    prot_free(out);
    fclose(file);
    EXPECT_EQ("<BEGIN>VEVENT</BEGIN>"
              "<DTSTART TZID=\"Europe/Paris\">20240101T090000</DTSTART>"
              "<X-FOO X-P=\"v\">X-FOO;X-P=\"v\":val</X-FOO>",
              read_file(path));
    unlink(path.c_str());
}

// ---- Splitting a line ----------------------------------------------------

TEST(IcalLexer, ParametersAndValue) {
    Lexed lexed;
    lex(lexed, "DTSTART;TZID=Europe/Paris:20240101T090000\r\n"
               "DTSTART; tzid =Europe/Paris;x-foo=1;FOO:20240101\r\n"
               "ATTENDEE;CN= Jane ;RSVP=TRUE:mailto:jane@example.com\r\n");
    ASSERT_EQ(0, lexed.rc);
    ASSERT_EQ(3u, lexed.count());
    EXPECT_EQ(kDtStart, (int)lexed.at(0)->nType);
    EXPECT_STREQ("20240101T090000", lexed.at(0)->pValue);
    ASSERT_EQ(1u, lexed.at(0)->pParamList->count);
    EXPECT_EQ(kTzid, (int)lexed.param(0, 0)->nType);
    EXPECT_STREQ("Europe/Paris", lexed.param(0, 0)->pValue);
    EXPECT_EQ(nullptr, lexed.param(0, 0)->pName);

    // Names are trimmed and upper-cased; an "X-" name keeps its text; a
    // parameter without "=" has an empty value.
    ASSERT_EQ(3u, lexed.at(1)->pParamList->count);
    EXPECT_EQ(kTzid, (int)lexed.param(1, 0)->nType);
    EXPECT_EQ(kXParam, (int)lexed.param(1, 1)->nType);
    EXPECT_STREQ("X-FOO", lexed.param(1, 1)->pName);
    EXPECT_STREQ("1", lexed.param(1, 1)->pValue);
    EXPECT_EQ(0, (int)lexed.param(1, 2)->nType);
    EXPECT_EQ(nullptr, lexed.param(1, 2)->pName);
    EXPECT_STREQ("", lexed.param(1, 2)->pValue);

    // Values are not trimmed; the value runs from the first colon.
    EXPECT_EQ(kAttendee, (int)lexed.at(2)->nType);
    EXPECT_STREQ(" Jane ", lexed.param(2, 0)->pValue);
    EXPECT_EQ(kRsvp, (int)lexed.param(2, 1)->nType);
    EXPECT_STREQ("mailto:jane@example.com", lexed.at(2)->pValue);
}

TEST(IcalLexer, QuotesProtectColonsButNotSemicolons) {
    Lexed lexed;
    lex(lexed, "ATTENDEE;CN=\"Doe, Jane: PhD\";RSVP=TRUE:mailto:jane@example.com\n"
               "ATTENDEE;MEMBER=\"mailto:a@x\",\"mailto:b@x\":mailto:c@x\n"
               "DESCRIPTION;ALTREP=\"cid:part\"\n"       // no colon after the quotes
               "SUMMARY;X-A=\"abc:def\n"                  // a quote without partner
               "ATTENDEE;CN=\"a;b\":mailto:x\n");         // ";" ends a parameter even in quotes
    ASSERT_EQ(5u, lexed.count());
    EXPECT_STREQ("mailto:jane@example.com", lexed.at(0)->pValue);
    EXPECT_STREQ("Doe, Jane: PhD", lexed.param(0, 0)->pValue);
    EXPECT_EQ(kCn, (int)lexed.param(0, 0)->nType);

    EXPECT_EQ(kMember, (int)lexed.param(1, 0)->nType);
    EXPECT_STREQ("mailto:a@x\",\"mailto:b@x", lexed.param(1, 0)->pValue);
    EXPECT_STREQ("mailto:c@x", lexed.at(1)->pValue);

    EXPECT_EQ(kDescription, (int)lexed.at(2)->nType);
    EXPECT_STREQ("cid", lexed.param(2, 0)->pValue);
    EXPECT_STREQ("part\"", lexed.at(2)->pValue);

    EXPECT_EQ(kSummary, (int)lexed.at(3)->nType);
    EXPECT_STREQ("X-A", lexed.param(3, 0)->pName);
    EXPECT_STREQ("abc", lexed.param(3, 0)->pValue);
    EXPECT_STREQ("def", lexed.at(3)->pValue);

    ASSERT_EQ(2u, lexed.at(4)->pParamList->count);
    EXPECT_STREQ("a", lexed.param(4, 0)->pValue);
    EXPECT_EQ(0, (int)lexed.param(4, 1)->nType);
    EXPECT_STREQ("", lexed.param(4, 1)->pValue);
    EXPECT_STREQ("mailto:x", lexed.at(4)->pValue);
}

TEST(IcalLexer, KeywordValuedLinesAndComponentNames) {
    Lexed lexed;
    lex(lexed, "begin:VEVENT\r\nBEGIN:vevent\r\nEND:X-MINE\r\nSTATUS:confirmed\r\n"
               "METHOD: request \r\nTRANSP:sometimes\r\nBEGIN:VEVENT \r\n");
    ASSERT_EQ(7u, lexed.count());
    EXPECT_EQ(kBegin, (int)lexed.at(0)->nType);    // names are upper-cased...
    EXPECT_EQ(kVEvent, (int)lexed.at(0)->nValue);
    EXPECT_EQ(nullptr, lexed.at(0)->pValue);
    EXPECT_EQ(0, (int)lexed.at(1)->nValue);        // ...component names are not
    EXPECT_EQ(kEnd, (int)lexed.at(2)->nType);
    EXPECT_EQ(kXProp, (int)lexed.at(2)->nValue);
    EXPECT_EQ(1134, (int)lexed.at(3)->nType);
    EXPECT_EQ(1300, (int)lexed.at(3)->nValue);     // CONFIRMED
    EXPECT_EQ(nullptr, lexed.at(3)->pValue);
    EXPECT_EQ(1092, (int)lexed.at(4)->nType);
    EXPECT_EQ(1150, (int)lexed.at(4)->nValue);     // REQUEST, trimmed first
    EXPECT_EQ(1136, (int)lexed.at(5)->nType);
    EXPECT_EQ(0, (int)lexed.at(5)->nValue);
    EXPECT_EQ(nullptr, lexed.at(5)->pValue);
    EXPECT_EQ(0, (int)lexed.at(6)->nValue);        // component names are not trimmed
    EXPECT_EQ(1, isKeywordPropertyType((iCal_Token_t)1108));   // ACTION
    EXPECT_EQ(0, isKeywordPropertyType((iCal_Token_t)kSummary));
}

TEST(IcalLexer, ExtensionAndUnknownLines) {
    Lexed lexed;
    lex(lexed, "x-wr-calname;X-P=1:My\\, Cal\r\nFOO:bar\\nbaz\r\nGARBAGE\r\n"
               "SUMMARY:\r\nX-EMPTY:\r\nDESCRIPTION;LANGUAGE=en:\r\n");
    ASSERT_EQ(6u, lexed.count());
    EXPECT_EQ(kXProp, (int)lexed.at(0)->nType);
    EXPECT_STREQ("X-WR-CALNAME", lexed.at(0)->pName);
    EXPECT_STREQ("x-wr-calname;X-P=1:My\\, Cal", lexed.at(0)->pValue);   // the line as read
    EXPECT_STREQ("X-P", lexed.param(0, 0)->pName);

    EXPECT_EQ(0, (int)lexed.at(1)->nType);       // unknown names keep their value
    EXPECT_EQ(nullptr, lexed.at(1)->pName);
    EXPECT_STREQ("bar\r\nbaz", lexed.at(1)->pValue);

    EXPECT_EQ(0, (int)lexed.at(2)->nType);       // no colon: no value
    EXPECT_EQ(nullptr, lexed.at(2)->pValue);
    ASSERT_NE(nullptr, lexed.at(2)->pParamList);
    EXPECT_EQ(0u, lexed.at(2)->pParamList->count);

    EXPECT_EQ(kSummary, (int)lexed.at(3)->nType);
    EXPECT_EQ(nullptr, lexed.at(3)->pValue);
    EXPECT_STREQ("X-EMPTY:", lexed.at(4)->pValue);
    EXPECT_EQ(nullptr, lexed.at(5)->pValue);
    EXPECT_EQ(1u, lexed.at(5)->pParamList->count);

    // Request lines keep only the value, unescaped, and no CR is added.
    OneToken x;
    char line[] = "X-FOO;X-P=1:a\\nb\\,c";
    EXPECT_EQ(0, calparser_populateXToken_token(&x.tok, line, 7));
    EXPECT_EQ(kXProp, (int)x.tok->nType);
    EXPECT_STREQ("X-FOO", x.tok->pName);
    EXPECT_STREQ("a\nb,c", x.tok->pValue);
    EXPECT_EQ(7u, x.tok->nLine);
    OneToken empty;
    char emptyLine[] = "X-FOO:";
    calparser_populateXToken_token(&empty.tok, emptyLine, 1);
    EXPECT_STREQ("", empty.tok->pValue);
}

TEST(IcalLexer, RecurrenceModeReadsRuleParts) {
    OneToken t;
    char line[] = "RRULE;FREQ=YEARLY;BYDAY=-1SU;x-y=1;TZID=a:";
    ASSERT_EQ(0, calparser_populateRecurrence_token(&t.tok, line, 3));
    ASSERT_EQ(4u, t.tok->pParamList->count);
    EXPECT_EQ(1234, (int)t.param(0)->nType);     // FREQ
    EXPECT_STREQ("YEARLY", t.param(0)->pValue);
    EXPECT_EQ(1238, (int)t.param(1)->nType);     // BYDAY
    EXPECT_EQ(kXParam, (int)t.param(2)->nType);
    EXPECT_STREQ("X-Y", t.param(2)->pName);
    EXPECT_EQ(0, (int)t.param(3)->nType);        // not a rule part
}

// ---- Values --------------------------------------------------------------

TEST(IcalLexer, UnescapesValuesAndAddsCarriageReturns) {
    Lexed lexed;
    lex(lexed, "DESCRIPTION:a\\nb\\,c\\;d\\:e\\Nf\\rg\\xh\\\n"
               "DESCRIPTION:C:\\\\new\\\\\\,x\n"
               "DESCRIPTION:\\nfirst\\r\\nsecond\n");
    ASSERT_EQ(3u, lexed.count());
    EXPECT_STREQ("a\r\nb,c;d:e\r\nf\rg\\xh\\", lexed.at(0)->pValue);
    // A doubled backslash stays, and its second backslash starts nothing.
    EXPECT_STREQ("C:\\\\new\\\\,x", lexed.at(1)->pValue);
    // No CR before a leading LF, nor before an LF that already has one.
    EXPECT_STREQ("\nfirst\r\nsecond", lexed.at(2)->pValue);

    char crlf[16] = "\nx\ny\r\nz";
    char* p = crlf;
    calparser_addCR(&p);
    EXPECT_STREQ("\nx\r\ny\r\nz", crlf);
}

TEST(IcalLexer, TrimQuotesRemovesOnePairOnly) {
    char a[] = "\"\"x\"\"";
    EXPECT_STREQ("\"x\"", calparser_trim_quotes(a));
    char b[] = "\"";
    EXPECT_STREQ("", calparser_trim_quotes(b));
    char c[] = "x\"";
    EXPECT_STREQ("x", calparser_trim_quotes(c));
    EXPECT_EQ(nullptr, calparser_trim_quotes(nullptr));
}

// ---- Line ends, folds, quoted-printable ----------------------------------

TEST(IcalLexer, FoldsJoinOnSpaceOnly) {
    Lexed lexed;
    lex(lexed, "SUMMARY:Wee\r\n kly\r\nDESCRIPTION:a\r\n\tb\r\nLOCATION:x\n  y\n z\r\n");
    ASSERT_EQ(4u, lexed.count());
    EXPECT_STREQ("Weekly", lexed.at(0)->pValue);
    EXPECT_STREQ("a", lexed.at(1)->pValue);
    EXPECT_EQ(0, (int)lexed.at(2)->nType);       // the TAB line stands alone
    EXPECT_STREQ("x yz", lexed.at(3)->pValue);    // one space per fold is removed
    // Each token carries the line it began on; the counter ends past the last.
    EXPECT_EQ(1u, lexed.at(0)->nLine);
    EXPECT_EQ(3u, lexed.at(1)->nLine);
    EXPECT_EQ(4u, lexed.at(2)->nLine);
    EXPECT_EQ(5u, lexed.at(3)->nLine);
    EXPECT_EQ(8u, lexed.line);
}

TEST(IcalLexer, TrimLineUnfoldsFromTheEnd) {
    char fold[] = "SUMMARY:a\r\n b";
    char* p = fold;
    EXPECT_EQ(0, calparser_trim_line(&p));
    EXPECT_STREQ("SUMMARY:ab", fold);
    EXPECT_EQ(fold, p);
    char soft[] = "X:abc=\r\ndef\r";
    p = soft;
    calparser_trim_line(&p);
    EXPECT_STREQ("X:abc=\ndef", soft);
    // The CR goes first, so the LF then stands before the space: a fold.
    char odd[] = "a\n\r b\r\r";
    p = odd;
    calparser_trim_line(&p);
    EXPECT_STREQ("ab", odd);
    EXPECT_EQ(1, calparser_trim_line(nullptr));
}

TEST(IcalLexer, QuotedPrintableContinuesAtSoftBreaks) {
    Lexed lexed;
    lex(lexed, "DESCRIPTION;ENCODING=QUOTED-PRINTABLE:abc=\r\ndef=\nghi\r\n"
               "SUMMARY;encoding=quoted-printable:x\r\n y\r\n"
               "COMMENT:p=\r\nUID:1\r\n");
    ASSERT_EQ(5u, lexed.count());
    EXPECT_EQ(kEncoding, (int)lexed.param(0, 0)->nType);
    EXPECT_STREQ("QUOTED-PRINTABLE", lexed.param(0, 0)->pValue);
    EXPECT_STREQ("abc=\r\ndef=\r\nghi", lexed.at(0)->pValue);
    EXPECT_STREQ("x", lexed.at(1)->pValue);       // a space does not continue it
    EXPECT_EQ(0, (int)lexed.at(2)->nType);
    EXPECT_STREQ("p=", lexed.at(3)->pValue);      // "=" matters only in that mode
    EXPECT_EQ(7u, lexed.at(4)->nLine);
}

TEST(IcalLexer, LoneCarriageReturnsAndLineFeeds) {
    Lexed cr;   // no LF at all: CR ends lines
    lex(cr, "BEGIN:VCALENDAR\rVERSION:2.0\r\rEND:VCALENDAR\r");
    ASSERT_EQ(4u, cr.count());
    EXPECT_STREQ("2.0", cr.at(1)->pValue);
    EXPECT_EQ(0, (int)cr.at(2)->nType);          // an empty line is still a token
    EXPECT_EQ(kEnd, (int)cr.at(3)->nType);
    EXPECT_EQ(4u, cr.at(3)->nLine);
    EXPECT_EQ(43u, cr.consumed);

    Lexed mixed;   // with an LF around, a CR inside a line is dropped
    lex(mixed, "SUMMARY:a\rb\nUID:1\n");
    ASSERT_EQ(2u, mixed.count());
    EXPECT_STREQ("ab", mixed.at(0)->pValue);

    unsigned line = 10;
    char text[] = "a\r\nb\nc\rd\r";
    calparser_increment_lineNumber(text, text + 9, &line);
    EXPECT_EQ(14u, line);
}

TEST(IcalLexer, NulBytesEndTheLineText) {
    Lexed lexed;
    lex(lexed, std::string("SUMMARY:ab\0cd\r\nUID:1\r\n", 22));
    ASSERT_EQ(2u, lexed.count());
    EXPECT_STREQ("ab", lexed.at(0)->pValue);
    EXPECT_STREQ("1", lexed.at(1)->pValue);
    EXPECT_EQ(22u, lexed.consumed);

    // A NUL inside a folded line neither ends the search for its line end nor
    // hides the lines after it.
    Lexed folded;
    lex(folded, std::string("SUMMARY:a\r\n b\0c\r\nUID:2\r\n", 24));
    ASSERT_EQ(2u, folded.count());
    EXPECT_STREQ("ab", folded.at(0)->pValue);
    EXPECT_STREQ("2", folded.at(1)->pValue);
    EXPECT_EQ(4u, folded.line);

    Lexed zeros;
    lex(zeros, std::string(100, '\0'));
    EXPECT_EQ(0u, zeros.count());
    EXPECT_EQ(100u, zeros.consumed);
}

// ---- Chunks --------------------------------------------------------------

TEST(IcalLexer, PartialLastLineIsLeftForTheNextChunk) {
    Lexed lexed;
    lex(lexed, "UID:1\r\nSUMMARY:a\r\n b");    // the fold may go on in the next chunk
    ASSERT_EQ(0, lexed.rc);
    EXPECT_EQ(1u, lexed.count());
    EXPECT_EQ(7u, lexed.consumed);
    EXPECT_EQ(2u, lexed.line);

    // The carried tail and the next bytes make the whole line.
    std::string next = std::string("SUMMARY:a\r\n b") + "c\r\nUID:2\r\n";
    lex(lexed, next);
    ASSERT_EQ(3u, lexed.count());
    EXPECT_STREQ("abc", lexed.at(1)->pValue);
    EXPECT_EQ(2u, lexed.at(1)->nLine);
    EXPECT_EQ(4u, lexed.at(2)->nLine);
    EXPECT_EQ(next.size(), lexed.consumed);

    // A chunk without any complete line is dropped whole.
    Lexed longLine;
    lex(longLine, std::string(16384, 'A'));
    EXPECT_EQ(0u, longLine.count());
    EXPECT_EQ(16384u, longLine.consumed);
    Lexed empty;
    lex(empty, "");
    EXPECT_EQ(0, empty.rc);
    ASSERT_NE(nullptr, empty.tokens);
    EXPECT_EQ(0u, empty.consumed);
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
    Lexed missing;
    lex(missing, "BEGIN:VEVENT\r\nbegin:VCALENDAR\r\n BEGIN:VCALENDAR\r\n", 1);
    EXPECT_EQ(2, missing.rc);
    EXPECT_EQ(2u, missing.count());   // the tokens are kept
    Lexed found;
    lex(found, "METHOD:PUBLISH\r\nBEGIN:VCALENDARX\r\n", 1);
    EXPECT_EQ(0, found.rc);
    Lexed folded;   // compared before unfolding
    lex(folded, "BEGIN:VCAL\r\n ENDAR\r\n", 1);
    EXPECT_EQ(2, folded.rc);

    array_t* tokens = nullptr;
    unsigned consumed = 0, line = 1;
    char buf[] = "A:1\n";
    EXPECT_EQ(1, calparser_icalbuf_to_toklist(nullptr, 4, &tokens, &consumed, &line, 0));
    EXPECT_EQ(1, calparser_icalbuf_to_toklist(buf, 4, nullptr, &consumed, &line, 0));
    EXPECT_EQ(1, calparser_icalbuf_to_toklist(buf, 4, &tokens, &consumed, nullptr, 0));
    EXPECT_EQ(nullptr, tokens);
    EXPECT_EQ(1, calparser_populate_token(nullptr, buf, 1));
    CALPARSER_TOKEN* none = nullptr;
    EXPECT_EQ(1, calparser_populate_token(&none, buf, 1));
}

// Every allocation of a chunk may fail: the lexer then drops a part, a line or
// the rest of the chunk, never crashes and leaves nothing behind once the
// tokens it made are freed.
TEST(IcalLexer, SurvivesEveryAllocationFailure) {
    char text[] = "BEGIN:VEVENT\r\nATTENDEE;CN=\"A\";X-P=1:mailto:a@x\r\n"
                  "X-FOO:bar\r\nSTATUS:confirmed\r\nSUMMARY:a\\nb\r\nEND:VEVENT\r\n";
    auto complete = [](const Lexed& l) {
        const int types[] = {kBegin, kAttendee, kXProp, 1134, kSummary, kEnd};
        const int values[] = {kVEvent, 0, 0, 1300, 0, kVEvent};
        if (l.rc != 0 || l.count() != 6)
            return false;
        for (unsigned i = 0; i < 6; i++)
            if ((int)l.at(i)->nType != types[i] || (int)l.at(i)->nValue != values[i]
                || !l.at(i)->pParamList)
                return false;
        return l.at(1)->pParamList->count == 2 && l.param(1, 0)->pValue
            && l.param(1, 1)->pName && l.param(1, 1)->pValue && l.at(1)->pValue
            && l.at(2)->pName && l.at(2)->pValue && l.at(4)->pValue
            && strcmp(l.at(4)->pValue, "a\r\nb") == 0;
    };
    int allocations = count_failure_points([&] {
        Lexed lexed;
        lexed.rc = calparser_icalbuf_to_toklist(text, (unsigned)strlen(text), &lexed.tokens,
                                                &lexed.consumed, &lexed.line, 0);
        return complete(lexed);
    });
    if (HEAP_FAILURE_HOOK) {
        EXPECT_GT(allocations, 20);
    }
}
