// The per-parse token arena: tokens lexed into it are the tokens the heap
// lexer makes, byte for byte, and releasing blocks behind the walk keeps
// everything carved from the block that holds the kept address onwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/parser/cal_tok_arena.h"
#include "tests/support/lexed.h"

namespace {

// Lexes `text` as one chunk in a new arena, and again on the heap: both give
// the same tokens, lines and bytes read. Returns the arena's token texts.
std::vector<std::string> lex_both(std::string text) {
    calparser_arena* arena = calparser_arena_new();
    EXPECT_NE(nullptr, arena);
    Lexed onHeap;
    lex_chunk(onHeap, text);
    EXPECT_EQ(0, onHeap.rc);
    array_t* tokens = nullptr;
    unsigned consumed = 0, line = 1;
    EXPECT_EQ(0, calparser_icalbuf_to_arena_toklist(&text[0], (unsigned)text.size(), &tokens,
                                                    &consumed, &line, 0, arena));
    std::vector<std::string> inArena = token_texts(tokens, true);
    array_delete(tokens);
    calparser_arena_delete(arena);
    EXPECT_EQ(token_texts(onHeap.tokens, true), inArena);
    EXPECT_EQ(onHeap.consumed, consumed);
    return inArena;
}

TEST(TokenArena, ArenaTokensEqualHeapTokens) {
    // Folds, a quoted-printable soft break, escapes, raw and escaped line
    // feeds, quoted parameters with ";" and ":", extension names, keyword
    // values, a line without a colon, a NUL byte, a long name, and a last line
    // left for the next chunk (the heap lexer's tokens are checked exactly
    // in cal_tok_test.cpp; the bytes read are compared).
    std::string text =
        "BEGIN:VCALENDAR\r\nMETHOD: request \r\nBEGIN:VEVENT\r\n"
        "ATTENDEE;CN=\"Doe; J:r\";ROLE=CHAIR;X-FOO=1;RSVP:mailto:j@x\r\n"
        "DESCRIPTION:a\\nb\\,c\\;d\\\\e\\:f\\r\\Ng\r\n"
        "SUMMARY:fol\r\n ded\r\n\tnot\r\n"
        "DESCRIPTION;ENCODING=QUOTED-PRINTABLE:x=\r\ny\r\n"
        "X-EXT;P=v:raw\\nvalue\r\nstatus:Confirmed\r\nNOCOLON\r\n" +
        std::string("COMMENT:nul") + '\0' + "after\r\n" + std::string(100, 'N') + ":long\r\n" +
        "END:VEVENT\r\nEND:VCALENDAR\r\nPARTIAL";
    EXPECT_EQ(15u, lex_both(text).size());  // the partial line left for the next chunk
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
    EXPECT_EQ(36u, lex_both(text).size());
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
