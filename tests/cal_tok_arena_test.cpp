// The per-parse token arena: tokens lexed into it are the tokens the heap
// lexer makes, byte for byte. (Names it remembers and blocks it releases are
// driven by every whole parse of the corpus, under the sanitizers too.)
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

}  // namespace
