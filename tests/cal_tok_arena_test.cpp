// The per-parse token arena. Its tokens are the heap lexer's (one lexer) and
// every corpus parse drives its name memory and block release, under the
// sanitizers too; here, what no corpus file shows.
#include <gtest/gtest.h>

#include <string>

#include "core/parser/cal_tok_arena.h"
#include "core/parser/calparser.h"

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

// Names that differ only where the name memory does not look (same length,
// first, middle and last byte) compete for one set of two: whichever stays,
// every name is recalled with its own type and upper-cased text.
TEST(TokenArena, NamesSharingASetKeepTheirOwnTypes) {
    calparser_arena* arena = calparser_arena_new();
    ASSERT_NE(nullptr, arena);
    const struct {
        const char* written;
        const char* upper;
        iCal_Token_t type;
    } names[] = {{"x-a-z1", "X-A-Z1", TOKEN_X}, {"x-b-z1", "X-B-Z1", TOKEN_X},
                 {"x-c-z1", "X-C-Z1", TOKEN_SUMMARY}};
    for (int round = 0; round < 3; round++) {
        for (const auto& name : names) {
            SCOPED_TRACE(name.written);
            iCal_Token_t type = TOKEN_UNKNOWN;
            const char* upper = nullptr;
            size_t upperLen = 0;
            if (calparser_arena_recall_name(arena, CALPARSER_PROPERTY_NAME, name.written, 6,
                                            &type, &upper, &upperLen)) {
                EXPECT_EQ(name.type, type);
                EXPECT_EQ(std::string(name.upper), std::string(upper, upperLen));
            } else {
                calparser_arena_remember_name(arena, CALPARSER_PROPERTY_NAME, name.written, 6,
                                              name.type, name.upper, 6);
            }
        }
    }
    // The two names met last are both still known.
    iCal_Token_t type = TOKEN_UNKNOWN;
    const char* upper = nullptr;
    size_t upperLen = 0;
    EXPECT_TRUE(calparser_arena_recall_name(arena, CALPARSER_PROPERTY_NAME, "x-b-z1", 6, &type,
                                            &upper, &upperLen));
    EXPECT_TRUE(calparser_arena_recall_name(arena, CALPARSER_PROPERTY_NAME, "x-c-z1", 6, &type,
                                            &upper, &upperLen));
    EXPECT_EQ(TOKEN_SUMMARY, type);
    calparser_arena_delete(arena);
}

// Parameters met again share one arena parameter and its value text; a whole
// parse many blocks long releases the blocks behind each component while
// later components still use what they share, and every attendee keeps its own
// values.
TEST(TokenArena, SharedParametersLastAsLongAsTheComponentsThatUseThem) {
    const char* names[] = {"Ann", "Bo", "Cy"};
    const char* states[] = {"ACCEPTED", "DECLINED"};
    std::string text = "BEGIN:VCALENDAR\r\n";
    const int events = 800;   // several 64 KB blocks of tokens
    for (int i = 0; i < events; i++) {
        text += "BEGIN:VEVENT\r\nUID:" + std::to_string(i) +
                "\r\nDTSTART:20240101T100000Z\r\n";
        for (int a = 0; a < 3; a++)
            text += std::string("ATTENDEE;CUTYPE=INDIVIDUAL;ROLE=REQ-PARTICIPANT;PARTSTAT=") +
                    states[(i + a) % 2] + ";CN=" + names[(i + a) % 3] + ":mailto:" +
                    std::to_string(a) + "@x\r\n";
        text += "END:VEVENT\r\n";
    }
    text += "END:VCALENDAR\r\n";
    protstream* s = prot_readmap(text.data(), (unsigned)text.size());
    array_t* result = nullptr;
    char tzid[] = "UTC";
    ASSERT_EQ(0, calparser_prot_to_dbstruct(s, &result, CALPARSER_FORMAT_ICAL, 0, nullptr, tzid,
                                            nullptr, nullptr, nullptr));
    prot_free(s);
    auto* list = static_cast<array_t*>(array_elementat(result, CALPARSER_SLOT_EVENTS));
    ASSERT_EQ((unsigned)events, list->count);
    for (int i = 0; i < events; i++) {
        auto* event = static_cast<CALDB_COMPONENT*>(
            static_cast<CAL_VCOMPONENT*>(list->data[i])->pComponent);
        ASSERT_EQ(3u, event->aAttendees->count);
        for (int a = 0; a < 3; a++) {
            SCOPED_TRACE(std::to_string(i) + "/" + std::to_string(a));
            auto* att = static_cast<CALDB_ATTENDEE*>(event->aAttendees->data[a]);
            EXPECT_STREQ("INDIVIDUAL", att->pCuType);
            EXPECT_STREQ("REQ-PARTICIPANT", att->pRole);
            EXPECT_STREQ(states[(i + a) % 2], att->pPartStatName);
            EXPECT_STREQ(names[(i + a) % 3], att->pCn);
        }
    }
    calparser_FreeComponentArrayAndDestroy(&result);
}

}  // namespace
