#include "public/core_util/parseutil.h"
#include "tests/support/print_capture.h"

#include <gtest/gtest.h>
#include <plstr.h>

#include <string>

namespace {

std::string printed(int (*print)(protstream*, const char*), const char* text)
{
    return written_by([&](protstream* s) { EXPECT_EQ(0, print(s, text)); });
}

}  // namespace

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
