// Component helpers: the original-start line, how it is recognised, read and
// reset. The method bits of the state are in cal_vevent_test.cpp's table.
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

// Recognised anywhere in any case; the first such line is read. A text that
// is no date-time falls back to RECURRENCE-ID, and without one to DTSTART; a
// local text is read in "Africa/Casablanca" (UTC all year). A reset rewrites
// the last such line, or adds one.
TEST(OriginalStartLine, ReadAndResetInPlace) {
    EXPECT_EQ(1, isOriginalDTStartXTokenString("X-OTHER;P=x-kval-Original-dtstart:1"));
    EXPECT_EQ(0, isOriginalDTStartXTokenString("X-KVAL-ORIGINAL-DTSTAR:1"));
    CALDB_VEVENT* ev = caldb_NewEvent();
    CALDB_COMPONENT* c = reinterpret_cast<CALDB_COMPONENT*>(ev);
    c->tDtStart = static_cast<int32_t>(kNine + 7200);
    c->tRecurrenceId = static_cast<int32_t>(kNine + 3600);
    const struct {
        const char* line;
        time_t expected;
    } cases[] = {
        {"x-kval-original-dtstart:20260105T090000Z", kNine},
        {"X-KVAL-ORIGINAL-DTSTART:tomorrow", kNine + 3600},
        {"X-KVAL-ORIGINAL-DTSTART;X=1:20260105T090000", kNine},
    };
    for (const auto& row : cases) {
        c->aXProps = texts({"X-A:1", row.line, "X-KVAL-ORIGINAL-DTSTART:20270105T090000Z"});
        EXPECT_EQ(c->aXProps->data[1], getOriginalDtStartXToken(c->aXProps));
        EXPECT_EQ(row.expected, getOriginalStartTimeXTokenVal(c)) << row.line;
        array_free_and_destroy(&c->aXProps);
    }
    c->tRecurrenceId = 0;
    c->aXProps = texts({"X-KVAL-ORIGINAL-DTSTART"});  // no ":", no text to read
    EXPECT_EQ(kNine + 7200, getOriginalStartTimeXTokenVal(c));
    array_free_and_destroy(&c->aXProps);

    c->tRecurrenceId = static_cast<int32_t>(kNine + 86400 + 1800);
    c->aXProps = texts({"X-KVAL-ORIGINAL-DTSTART:1", "x-kval-original-dtstart:2", "X-B:2"});
    resetOriginalDtStartXTokenToNewTime(c);
    EXPECT_EQ((Strings{"X-KVAL-ORIGINAL-DTSTART:1", "X-KVAL-ORIGINAL-DTSTART:20260106T093000Z",
                       "X-B:2"}),
              strings(c->aXProps));
    array_free_and_destroy(&c->aXProps);
    c->aXProps = texts({"X-A:1"});
    resetOriginalDtStartXTokenToNewTime(c);
    EXPECT_EQ((Strings{"X-A:1", "X-KVAL-ORIGINAL-DTSTART:20260106T093000Z"}),
              strings(c->aXProps));
    caldb_FreeEvent(&ev);
}

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
