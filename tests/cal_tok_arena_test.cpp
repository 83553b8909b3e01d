// The per-parse token arena. Its tokens are the heap lexer's (one lexer) and
// every corpus parse drives its name memory and block release, under the
// sanitizers too; here, what no corpus file shows.
#include <gtest/gtest.h>

#include <string>

#include "core/parser/cal_tok_arena.h"

namespace {

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
