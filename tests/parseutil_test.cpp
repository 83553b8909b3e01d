#include "public/core_util/parseutil.h"
#include "tests/support/print_capture.h"

#include <gtest/gtest.h>
#include <plstr.h>

#include <string>
#include <vector>

namespace {

using Items = std::vector<std::string>;

Items split(int (*splitter)(const char*, char***, int*), const char* text)
{
    char** items = reinterpret_cast<char**>(0x1);  // must be overwritten
    int count = -1;
    EXPECT_EQ(text ? 0 : 1, splitter(text, &items, &count));
    Items out;
    for (int i = 0; i < count; ++i)
        out.emplace_back(items[i]);
    if (count == 0)
        EXPECT_EQ(nullptr, items);
    else
        EXPECT_EQ(nullptr, items[count]);  // a NULL slot ends the array
    cal_parseutil_free_char_list(&items, count);
    EXPECT_EQ(nullptr, items);
    return out;
}

Items commas(const char* text) { return split(cal_parseutil_get_comma_list, text); }

std::string printed(int (*print)(protstream*, const char*), const char* text)
{
    return written_by([&](protstream* s) { EXPECT_EQ(0, print(s, text)); });
}

}  // namespace

TEST(ParseUtilSplit, EverySeparatorOutsideQuotesAndEscapesStartsAnItem)
{
    EXPECT_EQ((Items{"a", "", "b", ""}), commas("a,,b,"));
    EXPECT_EQ((Items{}), commas(""));
    // Each splitter only knows its own separator.
    EXPECT_EQ((Items{"a;b", "c"}), commas("a;b,c"));
    EXPECT_EQ((Items{"a,b", "c"}), split(cal_parseutil_get_semicolon_list, "a,b;c"));

    // Quotes and backslashes hide separators and stay in the items.
    EXPECT_EQ((Items{"CN=\"Doe, Jane\"^mailto:j@x", "b"}), commas("CN=\"Doe, Jane\"^mailto:j@x,b"));
    // An unclosed quote runs to the end of the text.
    EXPECT_EQ((Items{"a", "\"b,c"}), commas("a,\"b,c"));
    EXPECT_EQ((Items{"a\\,b", "c"}), commas("a\\,b,c"));
    // An escaped backslash does not escape the separator after it.
    EXPECT_EQ((Items{"a\\\\", "b"}), commas("a\\\\,b"));
    // An escaped quote does not open a quoted stretch; a trailing backslash is kept.
    EXPECT_EQ((Items{"\\\"a", "b\\"}), commas("\\\"a,b\\"));
}

TEST(ParseUtilCalid, UidIsThePartBeforeTheFirstColonAndValidityIsByShape)
{
    const char* cases[][2] = {{"jdoe:work:2", "jdoe"}, {":x", ""}};
    for (auto& c : cases) {
        char* uid = nullptr;
        EXPECT_EQ(0, cal_parseutil_get_uid_from_calid(c[0], &uid));
        EXPECT_STREQ(c[1], uid) << c[0];
        PL_strfree(uid);
    }

    for (const char* good : {"j.doe_1-x+y@example.com", "jdoe:a:b"})
        EXPECT_NE(0, cal_parseutil_isValidCalid(good)) << good;
    for (const char* bad : {"", ":work", "jdoe:", "jdoe:my cal", "a/b", "caf\xc3\xa9"})
        EXPECT_EQ(0, cal_parseutil_isValidCalid(bad)) << bad;
}

// CR LF, a lone LF and a lone CR are each one line end.
TEST(ParseUtilPrint, TextValuesAreEscapedUnlessAskedNotTo)
{
    EXPECT_EQ("a\\\\b:1\\n2\\n3\\n4\\n\\n",
              printed(cal_parseutil_print_string_ical, "a\\b:1\r\n2\n3\r4\n\r"));
    EXPECT_EQ("a\\b;c,d\r\n", printed(cal_parseutil_print_string_no_esc_ical, "a\\b;c,d\r\n"));
}
