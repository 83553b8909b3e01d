#include <gtest/gtest.h>

#include <vector>

#include "public/core_util/datetime.h"

// Refused texts leave the outputs alone; an offset carries its sign in both parts.
TEST(Datetime, DateTimesAndUtcOffsets) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    EXPECT_TRUE(datetime_IsParseable("20040229T235958Z", &y, &mo, &d, &h, &mi, &s));
    EXPECT_EQ((std::vector<int>{2004, 2, 29, 23, 59, 58}), (std::vector<int>{y, mo, d, h, mi, s}));
    for (const char* text : {"20030229", "20030431T000000", "19990101T240000", "19990101T006000",
                             "19990101X120000", "19990101T120000Y", "1999010", "1999-1-01"})
        EXPECT_FALSE(datetime_IsParseable(text, &y, &mo, nullptr, nullptr, nullptr, nullptr))
            << text;
    EXPECT_EQ(2004, y);

    int hours = 99, minutes = 99;
    EXPECT_TRUE(datetime_parseUTCOffset("-0530", &hours, &minutes));
    EXPECT_EQ((std::vector<int>{-5, -30}), (std::vector<int>{hours, minutes}));
    for (const char* text : {"0500", "+5", "+05:00", "+2400", "+0560", "-05000", "+05a0"})
        EXPECT_FALSE(datetime_parseUTCOffset(text, &hours, &minutes)) << text;
}
