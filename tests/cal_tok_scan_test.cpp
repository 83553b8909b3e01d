// The one-pass line scan: where a part ends and what it notes on the way.
#include "core/parser/cal_tok_scan.h"

#include <gtest/gtest.h>
#include <string.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr size_t kNone = line_marks::kNone;
constexpr bool T = true, F = false;

// One scan of `text` and the marks it must leave (F and T for false and true).
struct ScanRow {
    const char* what;
    std::string text;   // the stretch given to the scan, NULs allowed
    long lf;            // offset of the LF found, -1 for none
    size_t kept;        // marks.kept afterwards
    size_t colon;
    size_t semicolon;
    unsigned semicolons;
    bool escapeInValue;
    bool irregular;
    bool inQuotes;
};

// Runs `row` once in a heap block of exactly the text's size (a read past
// its end is an AddressSanitizer error), and once with LFs after the text:
// inside the limit when the row holds an LF (so that even a short row is read
// sixteen bytes at a time), else beyond it (which the scan must not read).
void check_row(const ScanRow& row) {
    for (bool padded : {false, true}) {
        SCOPED_TRACE(std::string(row.what) + (padded ? " (padded)" : ""));
        std::string text = row.text + std::string(padded ? 32 : 0, '\n');
        std::unique_ptr<char[]> buffer(new char[text.size()]);
        memcpy(buffer.get(), text.data(), text.size());
        size_t limit = row.lf >= 0 ? text.size() : row.text.size();
        line_marks marks;
        const char* from = buffer.get();
        const char* lf = scan_line_part(from, from + limit, &marks);
        EXPECT_EQ(row.lf, lf ? lf - from : -1);
        EXPECT_EQ(row.kept, marks.kept);
        EXPECT_EQ(row.colon, marks.colon);
        EXPECT_EQ(row.semicolon, marks.first_semicolon());
        EXPECT_EQ(row.semicolons, marks.semicolons);
        EXPECT_EQ(row.escapeInValue, marks.escapeInValue);
        EXPECT_EQ(row.irregular, marks.irregular);
        EXPECT_EQ(row.inQuotes, marks.inQuotes);
        EXPECT_EQ(lf ? 1u : 0u, marks.parts);
    }
}

}  // namespace

TEST(LineScan, LineEndsAndWhatMakesALineIrregular) {
    const ScanRow rows[] = {
        {"CR LF", "UID:1\r\n", 6, 5, 3, kNone, 0, F, F, F},
        {"bare LF", "UID:1\n", 5, 5, 3, kNone, 0, F, F, F},
        {"empty line", "\r\n", 1, 0, kNone, kNone, 0, F, F, F},
        {"only the first LF counts", "A:1\nB:2\n", 3, 3, 1, kNone, 0, F, F, F},
        {"no line end at all", "UID:1", -1, 0, 3, kNone, 0, F, F, F},
        // A CR at the limit has no LF after it that the scan may see.
        {"CR as the last byte", "UID:1\r", -1, 0, 3, kNone, 0, F, T, F},
        {"CR inside the line", "A\rB:1\r\n", 6, 5, 3, kNone, 0, F, T, F},
        {"CR CR LF", "A:1\r\r\n", 5, 4, 1, kNone, 0, F, T, F},
        {"NUL inside the line", std::string("A\0B:1\r\n", 7), 6, 5, 3, kNone, 0, F, T, F},
        {"NUL after the LF", std::string("A:1\n\0", 5), 3, 3, 1, kNone, 0, F, F, F},
    };
    for (const ScanRow& row : rows) check_row(row);
}

// Lines of 15, 16 and 17 bytes before their LF, and a CR LF pair split
// between two blocks of sixteen.
TEST(LineScan, LinesAroundTheBlockWidth) {
    const ScanRow rows[] = {
        {"LF at 15", "SUMMARY:abcdefg\n", 15, 15, 7, kNone, 0, F, F, F},
        {"LF at 16", "SUMMARY:abcdefgh\n", 16, 16, 7, kNone, 0, F, F, F},
        {"LF at 17", "SUMMARY:abcdefghi\n", 17, 17, 7, kNone, 0, F, F, F},
        {"CR at 15, LF at 16", "SUMMARY:abcdefg\r\n", 16, 15, 7, kNone, 0, F, F, F},
        {"CR at 15, no LF after", "SUMMARY:abcdefg\rX:1\n", 19, 19, 7, kNone, 0, F, T, F},
        {"CR at 15 is the last", "SUMMARY:abcdefg\r", -1, 0, 7, kNone, 0, F, T, F},
        {"colon at 16", "ABCDEFGHIJKLMNOP:x\r\n", 19, 18, 16, kNone, 0, F, F, F},
        {"a long line", "DESCRIPTION;X-A=1;X-B=2:" + std::string(40, 'v') + "\\,w\r\n",
         68, 67, 23, 11, 2, T, F, F},
    };
    for (const ScanRow& row : rows) check_row(row);
}

TEST(LineScan, ColonSemicolonsQuotesAndEscapes) {
    const ScanRow rows[] = {
        {"parameters", "DTSTART;TZID=P;X=1:2\r\n", 21, 20, 18, 7, 2, F, F, F},
        {"a quoted colon is skipped", "A;CN=\"x:y\":v\n", 12, 12, 10, 1, 1, F, F, F},
        {"a quoted ';' still counts", "A;X=\"a;b\";Y=1:v\n", 15, 15, 13, 1, 3, F, F, F},
        {"quotes after the colon", "A:\"b:c\"\n", 7, 7, 1, kNone, 0, F, F, F},
        {"';' after the colon", "RRULE:FREQ=DAILY;COUNT=2\n", 24, 24, 5, kNone, 0, F, F, F},
        {"a quote without partner", "A;X=\"a:b\n", 8, 8, kNone, 1, 1, F, F, T},
        {"backslash in the name", "X\\:a\n", 4, 4, 2, kNone, 0, F, F, F},
        {"backslash before the LF", "X:a\\\n", 4, 4, 1, kNone, 0, T, F, F},
        {"backslash as the last byte", "X:a\\", -1, 0, 1, kNone, 0, T, F, F},
    };
    for (const ScanRow& row : rows) check_row(row);
}

// Each parameter's ";" and its first "=" before the next ";", up to the room
// kept for them; quotes do not hide either, and the value does not count.
TEST(LineScan, ParameterPlaces) {
    const struct {
        const char* text;
        unsigned semicolons;
        std::vector<param_mark> params;
    } rows[] = {
        {"A;B=1;C;D==2:x=y;z\n", 3, {{1, 3}, {5, kNone}, {7, 9}}},
        {"A=B;C=D:x\n", 1, {{3, 5}}},                            // "=" in the name
        {"A;CN=\"a=b;c\":m\n", 2, {{1, 4}, {9, kNone}}},
        {"A;;;;;;;;;;:x\n", 10, {{1, kNone}, {2, kNone}, {3, kNone}, {4, kNone}, {5, kNone},
                                {6, kNone}, {7, kNone}, {8, kNone}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        line_marks marks;
        std::string text = row.text + std::string(32, '\n');
        ASSERT_NE(nullptr, scan_line_part(text.data(), text.data() + text.size(), &marks));
        EXPECT_EQ(row.semicolons, marks.semicolons);
        ASSERT_LE(row.params.size(), (size_t)line_marks::kParamRoom);
        for (size_t i = 0; i < row.params.size(); i++) {
            EXPECT_EQ(row.params[i].semicolon, marks.params[i].semicolon) << i;
            EXPECT_EQ(row.params[i].equals, marks.params[i].equals) << i;
        }
    }
}

// A folded line scanned part by part: offsets count only the bytes that
// unfolding keeps, and each part's place is noted.
TEST(LineScan, PartsOfAFoldedLineShareOneCount) {
    const std::string text = "ATTENDEE;CN=X\r\n ;RSVP=1:mailto:a\\\r\n";
    line_marks marks;
    const char* first = text.data();
    const char* end = first + text.size();
    const char* lf = scan_line_part(first, end, &marks);
    ASSERT_EQ(14, lf - first);
    const char* second = lf + 2;   // after the fold's space
    lf = scan_line_part(second, end, &marks);
    ASSERT_EQ(34, lf - first);
    EXPECT_EQ(13u + 17u, marks.kept);
    EXPECT_EQ(13u + 7u, marks.colon);
    EXPECT_EQ(8u, marks.first_semicolon());
    EXPECT_EQ(2u, marks.semicolons);
    EXPECT_EQ(11u, marks.params[0].equals);
    EXPECT_EQ(13u, marks.params[1].semicolon);
    EXPECT_EQ(18u, marks.params[1].equals);
    EXPECT_TRUE(marks.escapeInValue);
    EXPECT_FALSE(marks.irregular);
    ASSERT_EQ(2u, marks.parts);
    EXPECT_EQ(first, marks.partFrom[0]);
    EXPECT_EQ(13u, marks.partKept[0]);
    EXPECT_EQ(second, marks.partFrom[1]);
    EXPECT_EQ(17u, marks.partKept[1]);

    // Past the room for part places the parts are still counted.
    marks.clear();
    const std::string many = std::string(10, '\n');
    const char* manyEnd = many.data() + many.size();
    for (const char* p = many.data(); p < manyEnd; p++) scan_line_part(p, manyEnd, &marks);
    EXPECT_EQ(10u, marks.parts);
    EXPECT_EQ(0u, marks.kept);
    EXPECT_EQ(many.data() + line_marks::kPartRoom - 1, marks.partFrom[line_marks::kPartRoom - 1]);
}
