#include <gtest/gtest.h>

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <utility>

#include "public/core_util/cal_time.h"
#include "public/core_util/gmtime.h"

namespace {

time_t mk(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    struct tm broken;
    memset(&broken, 0, sizeof(broken));
    broken.tm_year = year - 1900;
    broken.tm_mon = month - 1;
    broken.tm_mday = day;
    broken.tm_hour = hour;
    broken.tm_min = minute;
    broken.tm_sec = second;
    return mkgmtime(&broken);
}

}  // namespace

TEST(Gmtime, ConvertsBothWaysWithoutNormalising) {
    EXPECT_EQ(INT32_MAX, mk(2038, 1, 19, 3, 14, 7));
    EXPECT_EQ(-1, mk(2038, 1, 19, 3, 14, 8));    // past the 32-bit range
    // Days that do not exist are refused, never rolled into the next month.
    EXPECT_EQ(-1, mk(1900, 2, 29));
    EXPECT_EQ(-1, mk(2003, 1, 1, 24));
}

// The builders add the common forms; here the forms only this parser sees.
// Malformed texts are refused and leave a record that cannot be added.
TEST(CalTime, DurationsInEveryFormStayInThe32BitRange) {
    CAL_TIME_DURATION duration;
    time_t out = 42;
    ASSERT_EQ(0, cal_time_buf_to_duration(" pt1m\r\n", &duration));
    ASSERT_EQ(0, cal_time_addDurationToTimeT(&duration, 0, &out));
    EXPECT_EQ(60, out);
    ASSERT_EQ(0, cal_time_buf_to_duration("+P2W", &duration));
    EXPECT_EQ(-1, cal_time_addDurationToTimeT(&duration, INT32_MAX - 100, &out));
    for (const char* text : {"", "P", "PT", "1H", "PT1D", "P1H", "PT1H2H", "PT1M1H", "P1DT",
                             "PT-5M", "P1.5D", "P1D2W", "PT1M junk", "PT99999999999S"}) {
        EXPECT_EQ(2, cal_time_buf_to_duration(text, &duration)) << text;
        EXPECT_EQ(-1, cal_time_addDurationToTimeT(&duration, 1000, &out)) << text;
    }
    EXPECT_EQ(60, out);
    int number = 7;
    EXPECT_EQ(1, cal_time_atoi_size("1x", 2, &number));
    EXPECT_EQ(1, cal_time_atoi_size("2147483648", 10, &number));
    EXPECT_EQ(0, cal_time_atoi_size("2147483647", 10, &number));
    EXPECT_EQ(INT32_MAX, number);
}

// Sorted by start, then by end; searched by start. Periods whose start cannot
// be read, that end before they start or last nothing are invalid.
TEST(CalTime, PeriodsSortByStartAndInvalidOnesAreKnown) {
    CAL_TIME_PERIOD* slots[] = {cal_time_NewPeriod("19990102T000000Z/PT1H"),
                                cal_time_NewPeriod("19990101T000000Z/19990101T020000Z"),
                                cal_time_NewPeriod("19990101T000000Z/PT1H")};
    CAL_TIME_PERIOD* expected[] = {slots[2], slots[1], slots[0]};
    EXPECT_EQ(7200, cal_time_getOffset(slots[1]));
    qsort(slots, 3, sizeof(slots[0]), cal_time_period_compare);
    EXPECT_TRUE(std::equal(slots, slots + 3, expected));
    time_t key = 915235200;  // 1999-01-02 00:00:00 UTC
    EXPECT_EQ(&slots[2], bsearch(&key, slots, 3, sizeof(slots[0]), cal_time_timet_period_compare));
    key += 1;
    EXPECT_EQ(nullptr, bsearch(&key, slots, 3, sizeof(slots[0]), cal_time_timet_period_compare));
    for (CAL_TIME_PERIOD*& period : slots)
        cal_time_DestroyPeriod(&period);

    EXPECT_FALSE(cal_time_MightBePeriodString("19990101T000000Z/"));
    EXPECT_FALSE(cal_time_MightBePeriodString("/PT1H"));
    for (const char* text : {"19990101T000000Z/19981231T000000Z", "19990101T000000Z/PT0S",
                             "no period", "/PT1H", "19990101T000000Z0000/PT1H", "1999x/PT1H"}) {
        CAL_TIME_PERIOD* period = cal_time_NewPeriod(text);
        ASSERT_NE(nullptr, period) << text;
        EXPECT_FALSE(cal_time_IsValidPeriod(period)) << text;
        cal_time_DestroyPeriod(&period);
    }
}

// The builders read UTC and local texts through the helper; here its own
// edges. Years without four digits do not fit the form.
TEST(CalTime, UtcTextsBothWays) {
    char buffer[20];
    EXPECT_EQ(0, cal_time_timet_to_datezAllDay(915148800 + 86399, buffer));
    EXPECT_STREQ("19990101", buffer);
    const std::pair<long long, const char*> utc[] = {
        {-2147483648LL, "19011213T204552Z"},
        {-30610224000LL, "10000101T000000Z"},
        {253402300799LL, "99991231T235959Z"},
    };
    for (const auto& c : utc) {
        EXPECT_EQ(0, cal_time_timet_to_datez((time_t)c.first, buffer)) << c.first;
        EXPECT_STREQ(c.second, buffer) << c.first;
    }
    EXPECT_EQ(1, cal_time_timet_to_datez((time_t)253402300800LL, buffer));
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(1, cal_time_timet_to_datez((time_t)-30610224001LL, buffer));

    time_t time = 7;
    EXPECT_EQ(2, cal_time_datez_to_timet_helper("19990101T000000", &time, nullptr, 0));
    EXPECT_EQ(0, time);
    EXPECT_EQ(2, cal_time_datez_to_timet_helper("20380119T031408Z", &time, nullptr, 1));
}
