// The per-parse token arena: tokens lexed into it are the tokens the heap
// lexer makes, byte for byte, and releasing blocks behind the walk keeps
// everything carved from the block that holds the kept address onwards.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "core/parser/cal_tok_arena.h"

namespace {

std::string show(const CALPARSER_TOKEN* t) {
    std::string s = std::to_string(t->nType) + " " + (t->pName ? t->pName : "-") + " " +
                    std::to_string(t->nValue) + " '" + (t->pValue ? t->pValue : "-") + "'";
    for (unsigned i = 0; i < t->pParamList->count; i++) {
        auto* p = static_cast<const CALPARSER_PARAM*>(t->pParamList->data[i]);
        s += " ;" + std::to_string(p->nType) + " " + (p->pName ? p->pName : "-") + " '" +
             p->pValue + "'";
    }
    return s;
}

struct Lexed {
    int rc = -1;
    unsigned consumed = 0;
    std::vector<std::string> tokens;
    std::vector<unsigned> lines;
};

// Lexes `text` as one chunk, in `arena` or (NULL) on the heap.
Lexed lex(std::string text, calparser_arena* arena) {
    Lexed out;
    array_t* tokens = nullptr;
    unsigned line = 1;
    out.rc = calparser_icalbuf_to_arena_toklist(&text[0], (unsigned)text.size(), &tokens,
                                                &out.consumed, &line, 0, arena);
    for (unsigned i = 0; tokens && i < tokens->count; i++) {
        auto* token = static_cast<CALPARSER_TOKEN*>(tokens->data[i]);
        out.tokens.push_back(show(token));
        out.lines.push_back(token->nLine);
    }
    if (!arena) calparser_FreeTokenList(tokens);
    array_delete(tokens);
    return out;
}

TEST(TokenArena, ArenaTokensEqualHeapTokens) {
    // Folds, a quoted-printable soft break, escapes, raw and escaped line
    // feeds, quoted parameters with ";" and ":", extension names, keyword
    // values, a line without a colon, a NUL byte, a long name, and a last line
    // left for the next chunk.
    std::string text =
        "BEGIN:VCALENDAR\r\nMETHOD: request \r\nBEGIN:VEVENT\r\n"
        "ATTENDEE;CN=\"Doe; J:r\";ROLE=CHAIR;X-FOO=1;RSVP:mailto:j@x\r\n"
        "DESCRIPTION:a\\nb\\,c\\;d\\\\e\\:f\\r\\Ng\r\n"
        "SUMMARY:fol\r\n ded\r\n\tnot\r\n"
        "DESCRIPTION;ENCODING=QUOTED-PRINTABLE:x=\r\ny\r\n"
        "X-EXT;P=v:raw\\nvalue\r\nstatus:Confirmed\r\nNOCOLON\r\n" +
        std::string("COMMENT:nul") + '\0' + "after\r\n" + std::string(100, 'N') + ":long\r\n" +
        "END:VEVENT\r\nEND:VCALENDAR\r\nPARTIAL";
    calparser_arena* arena = calparser_arena_new();
    ASSERT_NE(nullptr, arena);
    Lexed inArena = lex(text, arena);
    Lexed onHeap = lex(text, nullptr);
    calparser_arena_delete(arena);
    EXPECT_EQ(0, inArena.rc);
    EXPECT_EQ(onHeap.consumed, inArena.consumed);
    EXPECT_EQ(text.size() - strlen("PARTIAL"), inArena.consumed);
    EXPECT_EQ(onHeap.tokens, inArena.tokens);
    EXPECT_EQ(onHeap.lines, inArena.lines);
    ASSERT_EQ(15u, inArena.tokens.size());
    EXPECT_EQ("1092 - 1150 '-'", inArena.tokens[1]);
    // A ";" inside quotes still ends a parameter; the colon inside them does not count.
    EXPECT_EQ("1107 - 0 'mailto:j@x' ;1291 - 'Doe' ;0 - '' ;1168 - 'CHAIR' ;1286 X-FOO '1' "
              ";1170 - ''",
              inArena.tokens[3]);
    EXPECT_EQ("1114 - 0 'a\r\nb,c;d\\\\e:f\r\ng'", inArena.tokens[4]);
    EXPECT_EQ("1135 - 0 'folded'", inArena.tokens[5]);   // the TAB line stands alone
    EXPECT_EQ("0 - 0 '-'", inArena.tokens[6]);
    EXPECT_EQ("1019 X-EXT 0 'X-EXT;P=v:raw\\nvalue' ;0 - 'v'", inArena.tokens[8]);
    EXPECT_EQ("1134 - 1300 '-'", inArena.tokens[9]);
    EXPECT_EQ("1110 - 0 'nul'", inArena.tokens[11]);
    EXPECT_EQ("0 - 0 'long'", inArena.tokens[12]);
}

// Names met again are taken from what the arena remembers, by their bytes as
// written: every spelling, and names that share a length and their first and
// last byte, still give what the heap lexer gives.
TEST(TokenArena, RememberedNamesGiveTheTokensOfFreshOnes) {
    std::string text;
    for (int round = 0; round < 3; round++) {
        text += "x-ab;x-p=1;X-P=2:v\r\nX-AB:w\r\nx-cb;X-Q=3:u\r\nX-CB;x-q:t\r\n"
                "dtstart ;TZID=a:1\r\nDTSTART;tzid=b:2\r\ndtstart:3\r\ngf*:4\r\n"
                "ATTENDEE;cn=a;CN=b; cn =c;ROLE=r;ROLF=s:m\r\n" +
                std::string("SUMMARY") + '\0' + "x:5\r\nSUMMARY:6\r\n" +
                "X-" + std::string(40, 'L') + ";X-" + std::string(40, 'P') + "=7:8\r\n";
    }
    calparser_arena* arena = calparser_arena_new();
    ASSERT_NE(nullptr, arena);
    Lexed inArena = lex(text, arena);
    Lexed onHeap = lex(text, nullptr);
    calparser_arena_delete(arena);
    ASSERT_EQ(36u, inArena.tokens.size());
    EXPECT_EQ(onHeap.tokens, inArena.tokens);
    // The third round, every name met twice before.
    EXPECT_EQ("1019 X-CB 0 'X-CB;x-q:t' ;1286 X-Q ''", inArena.tokens[27]);
    EXPECT_EQ("1091 - 0 '4'", inArena.tokens[31]);  // "GF*" hashes like GEO
    EXPECT_EQ("1107 - 0 'm' ;1291 - 'a' ;1291 - 'b' ;1291 - 'c' ;1168 - 'r' ;0 - 's'",
              inArena.tokens[32]);
    EXPECT_EQ("0 - 0 '-'", inArena.tokens[33]);  // cut at the NUL: no colon left
    EXPECT_EQ("1135 - 0 '6'", inArena.tokens[34]);
}

TEST(TokenArena, ReleasingKeepsTheBlockOfTheKeptAddressAndAfter) {
    calparser_arena* arena = calparser_arena_new();
    ASSERT_NE(nullptr, arena);
    std::vector<char*> texts;
    // Far more than one block, so that several blocks lie behind the kept one.
    for (int i = 0; i < 20000; i++) {
        std::string text = "text " + std::to_string(i) + std::string(60, 'x');
        texts.push_back(calparser_arena_strndup(arena, text.data(), text.size()));
        ASSERT_NE(nullptr, texts.back());
    }
    calparser_arena_release_before(arena, texts[15000]);
    for (int i = 15000; i < 20000; i++)
        ASSERT_EQ("text " + std::to_string(i) + std::string(60, 'x'), texts[i]);
    calparser_arena_release_before(arena, nullptr);   // keeps the newest block
    EXPECT_EQ("text 19999" + std::string(60, 'x'), texts[19999]);
    calparser_arena_delete(arena);
}

// A shared text is handed out again only from the block being carved, so that
// releasing the blocks behind a later user never takes it away.
TEST(TokenArena, SharedTextsOutliveTheBlocksReleasedBehindTheirUsers) {
    calparser_arena* arena = calparser_arena_new();
    ASSERT_NE(nullptr, arena);
    const std::string role = "REQ-PARTICIPANT";
    char* first = calparser_arena_shared_text(arena, role.data(), role.size());
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, calparser_arena_shared_text(arena, role.data(), role.size()));
    std::string filler(100, 'x');
    char* later = nullptr;
    for (int i = 0; i < 2000; i++) {   // about three blocks
        calparser_arena_strndup(arena, filler.data(), filler.size());
        later = calparser_arena_shared_text(arena, role.data(), role.size());
    }
    calparser_arena_release_before(arena, later);
    EXPECT_NE(first, later);
    EXPECT_EQ(role, later);
    calparser_arena_delete(arena);
}

}  // namespace
