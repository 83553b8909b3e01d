// The parse entry: chunked intake, conversion, format dispatch, and the
// rules for the result array.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/parser/calparser.h"
#include "tests/support/lexed.h"

namespace {

constexpr size_t kChunk = 4096;

class ParseEntry : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_NE(nullptr, CALPARSER_STR::Instance()); }
};

// The tokens of `text` read through the intake as format `format`.
void lex(Lexed* out, const std::string& text, int format = CALPARSER_FORMAT_ICAL,
         const char* charset = nullptr) {
    protstream* s = prot_readmap(text.data(), (unsigned)text.size());
    out->rc = calparser_create_token_list(s, &out->tokens, format, 0, charset);
    prot_free(s);
}

// A line "X-PAD:xxx...\r\n" of exactly `len` bytes (len >= 9).
std::string pad_line(size_t len) {
    return "X-PAD:" + std::string(len - 8, 'x') + "\r\n";
}

int parse(const std::string& text, array_t** ppResult, int format = CALPARSER_FORMAT_ICAL,
          unsigned* pnState = nullptr) {
    protstream* s = prot_readmap(text.data(), (unsigned)text.size());
    char tzid[] = "Africa/Casablanca";
    int rc = calparser_prot_to_dbstruct(s, ppResult, format, 0, nullptr, tzid, nullptr, pnState,
                                        nullptr);
    prot_free(s);
    return rc;
}

// Each row's `before` ends exactly at the first 4096-byte boundary, after a
// pad line; `after` follows it.
TEST_F(ParseEntry, LinesCutByTheChunkBoundaryAreJoined) {
    const struct {
        const char *before, *after, *value;
        unsigned lastLine;
    } cases[] = {
        // The part before the boundary is carried to the front and the rest joins it.
        {"SUMMARY:split acr", "oss the chunk boundary\r\nEND:VEVENT\r\n",
         "split across the chunk boundary", 3},
        // CR ends the first chunk, LF begins the second: one line end, no empty line.
        {"SUMMARY:abcdefghi\r", "\nLOCATION:Room 4\r\n", "abcdefghi", 3},
        // A fold's space right after the boundary still joins the lines.
        {"DESCRIPTION:first\r\n", " half\r\nLOCATION:x\r\n", "firsthalf", 4},
    };
    for (const auto& c : cases) {
        std::string before = c.before;
        Lexed l;
        lex(&l, pad_line(kChunk - before.size()) + before + c.after);
        SCOPED_TRACE(c.value);
        ASSERT_EQ(0, l.rc);
        ASSERT_EQ(3u, l.count());
        EXPECT_STREQ(c.value, l.at(1)->pValue);
        EXPECT_EQ(2u, l.at(1)->nLine);
        EXPECT_EQ(c.lastLine, l.at(2)->nLine);
    }
}

TEST_F(ParseEntry, LastLineWithoutLineEndIsLost) {
    Lexed l;
    lex(&l, "BEGIN:VCALENDAR\r\nSUMMARY:kept\r\nEND:VCALENDAR");
    ASSERT_EQ(0, l.rc);
    ASSERT_EQ(2u, l.count());
    EXPECT_STREQ("kept", l.at(1)->pValue);
}

// A two-byte EUC-JP character cut by the chunk boundary is joined with its
// second byte instead of being replaced.
TEST_F(ParseEntry, NonUtf8InputIsConvertedWholeAcrossChunks) {
    std::string summary = "SUMMARY:abc";
    std::string first = pad_line(kChunk - 1 - summary.size());
    std::string japanese = "\xC6\xFC\xCB\xDC";  // two characters, the first one cut
    Lexed euc;
    lex(&euc, first + summary + japanese + "\r\nLOCATION:x\r\n", CALPARSER_FORMAT_ICAL,
        "EUC-JP");
    ASSERT_EQ(0, euc.rc);
    ASSERT_EQ(3u, euc.count());
    EXPECT_STREQ("abc\xE6\x97\xA5\xE6\x9C\xAC", euc.at(1)->pValue);
}

TEST_F(ParseEntry, FormatsStrictAndSxml) {
    // Strict iCalendar needs VCALENDAR in the first chunk only.
    const std::string bare = "METHOD:CANCEL\r\nSUMMARY:no calendar\r\n";
    array_t* result = nullptr;
    EXPECT_EQ(2, parse(bare, &result, CALPARSER_FORMAT_ICAL_STRICT));
    ASSERT_EQ(0u, result ? result->count : 1);
    unsigned state = 0;
    EXPECT_EQ(0, parse(bare, &result, CALPARSER_FORMAT_ICAL, &state));
    EXPECT_EQ(5u, result->count);  // zones, events, to-dos and two empty slots
    EXPECT_EQ(8u, state);          // CANCEL
    std::string longer = "X-PAD:x\r\nBEGIN:VCALENDAR\r\n";
    while (longer.size() < 3 * kChunk) longer += pad_line(100);
    Lexed strict;
    lex(&strict, longer + "END:VCALENDAR\r\n", CALPARSER_FORMAT_ICAL_STRICT);
    EXPECT_EQ(0, strict.rc);

    // SXML and empty input give 2 and an empty result.
    EXPECT_EQ(2, parse("<event><summary>x</summary></event>\n", &result,
                       CALPARSER_FORMAT_SXML));
    ASSERT_EQ(0u, result ? result->count : 1);
    EXPECT_EQ(2, parse("", &result));
    ASSERT_EQ(0u, result ? result->count : 1);
    calparser_FreeComponentArrayAndDestroy(&result);
}

TEST_F(ParseEntry, RefusedArgumentsAndFormats) {
    EXPECT_EQ(1, parse("", nullptr));  // no place for the result
    array_t* result = nullptr;

    // An earlier result is freed before the format is even looked at.
    ASSERT_EQ(0, parse("BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n", &result));
    EXPECT_EQ(1, parse("BEGIN:VCALENDAR\r\n", &result, 5));
    EXPECT_EQ(nullptr, result);
}

// A result made by hand: slot 0 zones, 1 events, 2 to-dos, 3 an element the
// free functions must not touch (a stack address would crash a free()).
TEST_F(ParseEntry, FreeingKeepsTheZonesOnlyWhenAsked) {
    int foreign = 0;
    array_t* result = array_new();
    array_t* slots[5];
    for (array_t*& slot : slots) {
        slot = array_new();
        array_append(result, slot);
    }
    void* zone = CAL_VTIMEZONE_NEW();
    array_append(slots[0], zone);
    array_append(slots[1], CAL_VCOMPONENT_NEW(CALDB_KIND_EVENT));
    array_append(slots[2], CAL_VCOMPONENT_NEW(CALDB_KIND_TODO));
    array_append(slots[3], &foreign);
    EXPECT_EQ(0, calparser_FreeComponentArrayExceptTimeZones(result));
    ASSERT_EQ(1u, result->count);
    EXPECT_EQ(slots[0], result->data[0]);
    ASSERT_EQ(1u, slots[0]->count);
    EXPECT_EQ(zone, slots[0]->data[0]);
    EXPECT_EQ(0, calparser_FreeComponentArrayAndDestroy(&result));
    EXPECT_EQ(nullptr, result);
}

}  // namespace
