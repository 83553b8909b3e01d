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
    // left for the next chunk (the heap lexer's tokens are checked exactly
    // in cal_tok_test.cpp).
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
    EXPECT_EQ(15u, inArena.tokens.size());
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

}  // namespace
