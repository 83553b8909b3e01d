// Tokens, parameters and the iCalendar text lexer.
#include "core/parser/cal_tok.h"

#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "tests/support/heap_failure.h"
#include "tests/support/lexed.h"

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
        {"DESCRIPTION;ALTREP=\"cid:part\"", "1114 - 0 'part\"' ;1025 - 'cid'"},  // no colon after
        {"SUMMARY;X-A=\"abc:def", "1135 - 0 'def' ;1286 'X-A' 'abc'"},  // a quote without partner
        {"ATTENDEE;CN=\"a;b\":mailto:x", "1107 - 0 'mailto:x' ;1291 - 'a' ;0 - ''"},  // ";" ends it
        // Property names are upper-cased before the look-up, component names
        // are not; the four keyword values are trimmed and upper-cased.
        {"begin:vevent", "1081 - 0 -"},
        // Names are matched by their keyword hash alone: "GF*" hashes like
        // GEO and "D)" like CN.
        {"gf*:1;2", "1091 - 0 '1;2'"},
        {"ATTENDEE;d)=x:mailto:a", "1107 - 0 'mailto:a' ;1291 - 'x'"},
        {"STATUS: confirmed ", "1134 - 1300 -"},
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
    // A name of 128 bytes or more is hashed on a sample of its bytes.
    std::string longName = "x-" + std::string(140, 'n');
    Lexed l;
    lex_chunk(l, longName + ";" + longName + "=1:v\r\n");
    ASSERT_EQ(1u, l.count());
    std::string upper = "X-" + std::string(140, 'N');
    EXPECT_EQ("1019 '" + upper + "' 0 '" + longName + ";" + longName + "=1:v' ;1286 '" + upper +
                  "' '1'",
              token_text(l.at(0)));
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

TEST(IcalLexer, QuotedPrintableContinuesAtSoftBreaks) {
    Lexed l;
    lex_chunk(l, "DESCRIPTION;ENCODING=QUOTED-PRINTABLE:abc=\r\ndef=\nghi\r\n"
                 "SUMMARY;encoding=quoted-printable:x\r\n y\r\n"
                 "COMMENT:p=\r\nUID:1\r\n");
    ASSERT_EQ(5u, l.count());
    EXPECT_EQ("1114 - 0 'abc=\r\ndef=\r\nghi' ;1328 - 'QUOTED-PRINTABLE'", token_text(l.at(0)));
    EXPECT_STREQ("x", l.at(1)->pValue);       // a space does not continue it
    EXPECT_EQ(0, (int)l.at(2)->nType);
    EXPECT_STREQ("p=", l.at(3)->pValue);      // "=" matters only in that mode
    EXPECT_EQ(7u, l.at(4)->nLine);
}

TEST(IcalLexer, LoneCarriageReturnsLineFeedsAndNulBytes) {
    Lexed cr;   // no LF at all: CR ends lines
    lex_chunk(cr, "BEGIN:VCALENDAR\rVERSION:2.0\r\rEND:VCALENDAR\r");
    ASSERT_EQ(4u, cr.count());
    EXPECT_STREQ("2.0", cr.at(1)->pValue);
    EXPECT_EQ("0 - 0 -", token_text(cr.at(2)));     // an empty line is still a token
    EXPECT_EQ(4u, cr.at(3)->nLine);
    EXPECT_EQ(43u, cr.consumed);

    Lexed mixed;   // with an LF around, a CR inside a line is dropped
    lex_chunk(mixed, "SUMMARY:a\rb\nUID:1\n");
    EXPECT_STREQ("ab", mixed.at(0)->pValue);

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
    std::string next = "SUMMARY:a\r\n bc\r\nUID:2\r\n";
    lex_chunk(l, next);
    ASSERT_EQ(3u, l.count());
    EXPECT_STREQ("abc", l.at(1)->pValue);
    EXPECT_EQ(2u, l.at(1)->nLine);
    EXPECT_EQ(4u, l.at(2)->nLine);
    EXPECT_EQ(next.size(), l.consumed);

    // A chunk without any complete line is dropped whole.
    Lexed longLine;
    lex_chunk(longLine, std::string(16384, 'A'));
    EXPECT_EQ(16384u, longLine.consumed);
}

TEST(IcalLexer, VCalendarCheckLooksAtRawLines) {
    Lexed missing, folded;
    lex_chunk(missing, "BEGIN:VEVENT\r\nbegin:VCALENDAR\r\n BEGIN:VCALENDAR\r\n", 1);
    EXPECT_EQ(2, missing.rc);
    EXPECT_EQ(2u, missing.count());   // the tokens are kept
    lex_chunk(folded, "BEGIN:VCAL\r\n ENDAR\r\n", 1);   // compared before unfolding
    EXPECT_EQ(2, folded.rc);
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

// The single-line entry points the time-zone builder and the request decoder
// call differ in the parameter vocabulary and in what an extension line keeps
// as its value.
TEST(IcalLexer, TokenBuilderEntryPoints) {
    using Entry = int (*)(CALPARSER_TOKEN**, char*, unsigned);
    const struct {
        Entry entry;
        const char* line;
        const char* token;
    } rows[] = {
        {calparser_populate_token, "X-FOO;COUNT=2:a\\,b", "1019 'X-FOO' 0 'X-FOO;COUNT=2:a\\,b' ;0 - '2'"},
        {calparser_populateRecurrence_token, "X-FOO;COUNT=2:a\\,b",
         "1019 'X-FOO' 0 'X-FOO;COUNT=2:a\\,b' ;1236 - '2'"},
        {calparser_populateXToken_token, "X-FOO;COUNT=2:a\\,b\nc", "1019 'X-FOO' 0 'a,b\nc' ;0 - '2'"},
        {calparser_populateXToken_token, "x-empty:", "1019 'X-EMPTY' 0 ''"},
        {calparser_populateRecurrence_token, ";FREQ=YEARLY;BYMONTH=11:",
         "0 - 0 - ;1234 - 'YEARLY' ;1243 - '11'"},
    };
    for (const auto& row : rows) {
        std::string line = row.line;
        CALPARSER_TOKEN* token = calparser_NewToken();
        ASSERT_EQ(0, row.entry(&token, &line[0], 7)) << row.line;
        EXPECT_EQ(row.token, token_text(token)) << row.line;
        EXPECT_EQ(7u, token->nLine);
        calparser_FreeToken(&token);
    }
}
