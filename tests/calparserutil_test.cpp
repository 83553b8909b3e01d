// Component helpers: adding the original-start line and the alarm trigger.
// The method bits of the state are in cal_vevent_test.cpp's table.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "core/parser/calparserutil.h"
#include "public/core_util/cal_time.h"
#include "public/db/caldb.h"
#include "public/util/array.h"
#include "tests/support/text_lists.h"

namespace {

// 2026-01-05 09:00:00 UTC.
constexpr time_t kNine = 1767603600;

// A line is added only when none is there, whatever the length of the text.
TEST(OriginalStartLine, AddedOnceWithTheTextAsGiven) {
    array_t* lines = nullptr;
    const std::string longText(100, '7');
    EXPECT_EQ(0, calparser_addOriginalDtStartXTokenIfNotAlreadyExists(&lines, longText.c_str()));
    EXPECT_EQ(0, calparser_addOriginalDtStartXTokenIfNotAlreadyExists(&lines, "20260106T093000Z"));
    EXPECT_EQ(Strings{"X-KVAL-ORIGINAL-DTSTART:" + longText}, strings(lines));
    array_free_and_destroy(&lines);
    EXPECT_EQ(1, calparser_addOriginalDtStartXTokenIfNotAlreadyExists(&lines, nullptr));
}

// An alarm trigger is the base time moved by the duration; no duration, no
// base time or a sum past the 32-bit range leave the output alone.
TEST(AlarmTrigger, BasePlusDuration) {
    CAL_TIME_DURATION before, years;
    ASSERT_EQ(0, cal_time_buf_to_duration("-PT15M", &before));
    ASSERT_EQ(0, cal_time_buf_to_duration("P1000W", &years));
    time_t trigger = 7;
    EXPECT_EQ(1, calparser_computeAlarmTrigger(nullptr, kNine, &trigger));
    EXPECT_EQ(1, calparser_computeAlarmTrigger(&before, 0, &trigger));
    EXPECT_EQ(1, calparser_computeAlarmTrigger(&years, 2147000000, &trigger));
    EXPECT_EQ(7, trigger);
    EXPECT_EQ(0, calparser_computeAlarmTrigger(&before, kNine, &trigger));
    EXPECT_EQ(kNine - 900, trigger);
}

}  // namespace
