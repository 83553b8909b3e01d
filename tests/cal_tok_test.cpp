// Tokens, parameters and the iCalendar text lexer.
#include "core/parser/cal_tok.h"

#include <gtest/gtest.h>
#include <string.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/heap_failure.h"
#include "tests/support/lexed.h"
#include "tests/support/nspr_capture.h"
#include "tests/support/print_capture.h"

// One smoke test per printer: the debug list indents by component depth,
// the XML form uses names or keyword texts.
TEST(TokenPrint, DebugListAndXmlElement) {
    Lexed l;
    lex_chunk(l, "BEGIN:VEVENT\r\nDTSTART;TZID=Paris:20240101T090000\r\nX-FOO;X-P=v:val\r\n"
                 "END:VEVENT\r\nFOO\r\n");
    EXPECT_EQ("line(    1)     BEGIN           - VEVENT - :\n"
              "line(    2)     DTSTART         - 20240101T090000 - :TZID      =Paris     ;\n"
              "line(    3)     X-              - X-FOO;X-P=v:val - :X-        =v         ;\n"
              "line(    4)     END             - VEVENT - :\n"
              "line(    5) <UNKNOWN>       - Unknown type - :\n",
              printed_by([&](PRFileDesc* file) { calparser_debugPrintTokenList(l.tokens, file); }));
    EXPECT_EQ("<BEGIN>VEVENT</BEGIN><DTSTART TZID=\"Paris\">20240101T090000</DTSTART>"
              "<X-FOO X-P=\"v\">X-FOO;X-P=v:val</X-FOO>",
              written_by([&](protstream* out) {
                  for (unsigned i = 0; i < 3; i++) calparser_PrintTokenToXML(out, l.at(i));
              }));
}

// One content line each and the token it gives.
TEST(IcalLexer, EachLineGivesItsToken) {
    const struct {
        const char* line;
        const char* token;
    } rows[] = {
        // Parameter names are trimmed and upper-cased, their values only lose
        // one pair of quotes; the value starts after the first colon outside quotes.
        {"DTSTART; tzid =Paris;x-foo=1;FOO:20240101",
         "1117 - 0 '20240101' ;1293 - 'Paris' ;1286 'X-FOO' '1' ;0 - ''"},
        {"ATTENDEE;CN=\"Doe, Jane: PhD\":mailto:jane@example.com",
         "1107 - 0 'mailto:jane@example.com' ;1291 - 'Doe, Jane: PhD'"},
        {"SUMMARY;X-A=\"abc:def", "1135 - 0 'def' ;1286 'X-A' 'abc'"},  // a quote without partner
        {"ATTENDEE;CN=\"a;b\":mailto:x", "1107 - 0 'mailto:x' ;1291 - 'a' ;0 - ''"},  // ";" ends it
        // Property names are upper-cased before the look-up, component names
        // are not.
        {"begin:vevent", "1081 - 0 -"},
        // Names are matched by their keyword hash alone: "GF*" hashes like
        // GEO and "D)" like CN.
        {"gf*:1;2", "1091 - 0 '1;2'"},
        {"ATTENDEE;d)=x:mailto:a", "1107 - 0 'mailto:a' ;1291 - 'x'"},
        // An extension line keeps the whole line as read; unknown names give type 0.
        {"x-wr-calname;X-P=1:My\\, Cal",
         "1019 'X-WR-CALNAME' 0 'x-wr-calname;X-P=1:My\\, Cal' ;1286 'X-P' '1'"},
        {"FOO:bar\\nbaz", "0 - 0 'bar\r\nbaz'"},
        // Escapes: a doubled backslash stays and its second backslash starts
        // nothing; no CR before a leading LF, nor before an LF that has one.
        {"DESCRIPTION:a\\nb\\,c\\;d\\:e\\Nf\\rg\\xh\\", "1114 - 0 'a\r\nb,c;d:e\r\nf\rg\\xh\\'"},
        {"DESCRIPTION:C:\\\\new\\\\\\,x", "1114 - 0 'C:\\\\new\\\\,x'"},
        {"DESCRIPTION:\\nfirst\\r\\nsecond", "1114 - 0 '\nfirst\r\nsecond'"},
    };
    for (const auto& row : rows) {
        Lexed l;
        lex_chunk(l, std::string(row.line) + "\r\n");
        ASSERT_EQ(1u, l.count()) << row.line;
        EXPECT_EQ(row.token, token_text(l.at(0))) << row.line;
    }
}

// Folded, escaped, irregular lines and many parameters: the lexer, which
// takes most lines from what its one scan noted, and the general path (unfold
// the line, then split it by searching) give the same token.
TEST(IcalLexer, ScannedLinesGiveTheTokensOfTheGeneralPath) {
    const struct {
        const char* line;
        const char* token;
    } rows[] = {
        // A fold inside quotes: only its CR LF and one space go.
        {"ATTENDEE;CN=\"Doe,\r\n  Jane\":mailto:j@x\r\n",
         "1107 - 0 'mailto:j@x' ;1291 - 'Doe, Jane'"},
        {"SUMM\r\n ARY:x\r\n", "1135 - 0 'x'"},                     // a fold in the name
        {"SUMMARY\r\n ;X-A=1\r\n :a\\,b\r\n", "1135 - 0 'a,b' ;1286 'X-A' '1'"},
        {"X-A;X-P=\"a:\r\n b\":c\r\n", "1019 'X-A' 0 'X-A;X-P=\"a:b\":c' ;1286 'X-P' 'a:b'"},
        {"DESCRIPTION:a\\n\n b\n", "1114 - 0 'a\r\nb'"},            // LF line ends
        {"SUMMARY:a\r\n \r\n", "1135 - 0 'a'"},                      // an empty last part
        {"SUMMARY:1\r\n 2\r\n 3\r\n 4\r\n 5\r\n 6\r\n 7\r\n 8\r\n", "1135 - 0 '12345678'"},
        {"SUMMARY:1\r\n 2\r\n 3\r\n 4\r\n 5\r\n 6\r\n 7\r\n 8\r\n 9\r\n",
         "1135 - 0 '123456789'"},
        {"SUMMARY:a\rb\r\n", "1135 - 0 'ab'"},                        // a CR inside the line
        // More parameters than the scan keeps places for.
        {"SUMMARY;X-A=1;X-B=2;X-C=3;X-D=4;X-E=5;X-F=6;X-G=7;X-H=8;X-I=9:v\r\n",
         "1135 - 0 'v' ;1286 'X-A' '1' ;1286 'X-B' '2' ;1286 'X-C' '3' ;1286 'X-D' '4' "
         ";1286 'X-E' '5' ;1286 'X-F' '6' ;1286 'X-G' '7' ;1286 'X-H' '8' ;1286 'X-I' '9'"},
        // No "=", a second "=", and a ";" inside quotes that still ends a parameter.
        {"SUMMARY;X-A;X-B=c=d;X-C==:v\r\n",
         "1135 - 0 'v' ;1286 'X-A' '' ;1286 'X-B' 'c=d' ;1286 'X-C' '='"},
        {"ATTENDEE;CN=\"a=b;c\":m\r\n", "1107 - 0 'm' ;1291 - 'a=b' ;0 - ''"},
        {"SUMMARY\r\n", "0 - 0 -"},                                  // no colon
        // Only a colon inside quotes: it stands, one quote is stripped.
        {"SUMMARY;X-P=\"a:b\"\r\n", "1135 - 0 'b\"' ;1286 'X-P' 'a'"},
        // A quoted-printable soft break keeps its LF, which gains a CR.
        {"DESCRIPTION;ENCODING=QUOTED-PRINTABLE:a=\r\nb\r\n",
         "1114 - 0 'a=\r\nb' ;1328 - 'QUOTED-PRINTABLE'"},
        {"DESCRIPTION;X-LONG-PARAMETER=1;encoding=quoted-printable:a=\r\nb\r\n",
         "1114 - 0 'a=\r\nb' ;1286 'X-LONG-PARAMETER' '1' ;1328 - 'quoted-printable'"},
        // Either word missing, or in the wrong order: the space folds.
        {"SUMMARY;ENCODING=8BIT:a=\r\n b\r\n", "1135 - 0 'a=b' ;1328 - '8BIT'"},
        {"SUMMARY;X-A=QUOTED-PRINTABLE;ENCODING=B:a=\r\n b\r\n",
         "1135 - 0 'a=b' ;1286 'X-A' 'QUOTED-PRINTABLE' ;1328 - 'B'"},
    };
    for (const auto& row : rows) {
        Lexed l;
        lex_chunk(l, row.line);
        ASSERT_EQ(1u, l.count()) << row.line;
        EXPECT_EQ(row.token, token_text(l.at(0))) << row.line;

        std::string text = row.line;
        text.resize(text.size() - (text[text.size() - 2] == '\r' ? 2 : 1));
        char* p = &text[0];
        calparser_trim_line(&p);
        CALPARSER_TOKEN* token = calparser_NewToken();
        ASSERT_EQ(0, calparser_populate_token(&token, p, 1));
        EXPECT_EQ(row.token, token_text(token)) << row.line;
        calparser_FreeToken(&token);
    }
}

// Random texts of the pieces that steer the lexer, with a fixed seed: each
// logical line the lexer takes gives the token of the general path, which
// cuts the same line with calparser_find_next_valid_CR, stops it at a NUL,
// unfolds it with calparser_trim_line and splits it by searching.
TEST(IcalLexer, RandomTextsGiveTheTokensOfTheGeneralPath) {
    const std::string pieces[] = {
        "SUMMARY", "X-A", "CN", "a", ":", ";", "=", "\"", "\\", "\\n", "\\,", "\r", "\n",
        "\r\n", " ", "\r\n ", "\n ", std::string(1, '\0'), "=\r\n", "ENCODING=QUOTED-PRINTABLE",
        "0123456789abcdef"};
    std::mt19937 random(20261206);
    std::uniform_int_distribution<size_t> pick(0, sizeof pieces / sizeof pieces[0] - 1);
    std::uniform_int_distribution<int> count(1, 30);
    for (int round = 0; round < 3000; round++) {
        std::string text;
        for (int n = count(random); n > 0; n--) text += pieces[pick(random)];
        SCOPED_TRACE(::testing::PrintToString(text));

        std::vector<std::string> general;
        std::string copy = text;
        char* end = &copy[0] + copy.size();
        for (char* p = &copy[0]; p < end;) {
            char* lineEnd = calparser_find_next_valid_CR(p, (int)(end - p), nullptr);
            if (!lineEnd) break;
            std::string line(p, strnlen(p, lineEnd - p));
            char* unfolded = &line[0];
            calparser_trim_line(&unfolded);
            CALPARSER_TOKEN* token = calparser_NewToken();
            ASSERT_EQ(0, calparser_populate_token(&token, unfolded, 1));
            general.push_back(token_text(token));
            calparser_FreeToken(&token);
            p = lineEnd + 1;
        }
        Lexed l;
        lex_chunk(l, text);
        EXPECT_EQ(general, token_texts(l.tokens));
    }
}

TEST(IcalLexer, UnfoldingDropsEveryCrAndEachLfWithItsSpace) {
    struct Row {
        const char* line;
        const char* unfolded;
    };
    const Row rows[] = {
        {"a\r\n b\r\n c\r", "abc"},
        {"a\rb\r\n c", "abc"},           // a CR inside the line goes too
        {"a\n b\n", "ab\n"},            // a last LF has no space after it
        {"a\r\n\r\n b", "a\nb"},        // the second fold's CR goes first
        {"a\n\tb", "a\n\tb"},            // only a space folds
        {"x\n  y\n z", "x yz"},          // and only one space per fold goes
        // Unfolding scans from the end: the inner CR goes first, so the LF
        // then stands before the space and makes a fold.
        {"a\n\r b\r\r", "ab"},
    };
    for (const Row& row : rows) {
        std::string text = row.line;
        char* p = &text[0];
        EXPECT_EQ(0, calparser_trim_line(&p)) << row.line;
        EXPECT_STREQ(row.unfolded, p) << row.line;
    }
}

TEST(IcalLexer, NulByteEndsTheTextOfItsLineOnly) {
    // A NUL ends the text of its line but neither the search for line ends
    // nor the lines after it.
    Lexed nul;
    lex_chunk(nul, std::string("SUMMARY:a\r\n b\0c\r\nUID:2\r\n", 24));
    ASSERT_EQ(2u, nul.count());
    EXPECT_STREQ("ab", nul.at(0)->pValue);
    EXPECT_STREQ("2", nul.at(1)->pValue);
    EXPECT_EQ(4u, nul.line);
}

TEST(IcalLexer, PartialLastLineIsLeftForTheNextChunk) {
    Lexed l;
    lex_chunk(l, "UID:1\r\nSUMMARY:a\r\n b");    // the fold may go on in the next chunk
    EXPECT_EQ(0, l.rc);
    EXPECT_EQ(1u, l.count());
    EXPECT_EQ(7u, l.consumed);
    EXPECT_EQ(2u, l.line);

    // The carried tail and the next bytes make the whole line.
    lex_chunk(l, "SUMMARY:a\r\n bc\r\nUID:2\r\n");
    ASSERT_EQ(3u, l.count());
    EXPECT_STREQ("abc", l.at(1)->pValue);
    EXPECT_EQ(2u, l.at(1)->nLine);
    EXPECT_EQ(4u, l.at(2)->nLine);
    EXPECT_EQ(23u, l.consumed);

    // A chunk without any complete line is dropped whole.
    Lexed longLine;
    lex_chunk(longLine, std::string(16384, 'A'));
    EXPECT_EQ(16384u, longLine.consumed);
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
    count_failure_points([&] {
        Lexed l;
        l.rc = calparser_icalbuf_to_toklist(text, (unsigned)strlen(text), &l.tokens,
                                            &l.consumed, &l.line, 0);
        heap_failure::g_until_failure = -1;  // the checks below allocate
        if (l.rc != 0 || l.count() != 6)
            return false;
        for (unsigned i = 0; i < 6; i++)
            if (!l.at(i)->pParamList || token_text(l.at(i)) != expected[i])
                return false;
        return true;
    }, 20);
}
