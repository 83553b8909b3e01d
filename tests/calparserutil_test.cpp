// Component helpers: the original-start line, how it is recognised, read,
// added and reset, and the alarm trigger. The method bits of the component
// state are checked with the builders' state table (cal_vevent_test.cpp).
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

TEST(OriginalStartLine, RecognisedAnywhereInAnyCaseAndTheFirstIsRead) {
    EXPECT_EQ(1, isOriginalDTStartXTokenString("X-OTHER;P=x-kval-Original-dtstart:1"));
    EXPECT_EQ(0, isOriginalDTStartXTokenString("X-KVAL-ORIGINAL-DTSTAR:1"));

    CALDB_VEVENT* ev = caldb_NewEvent();
    CALDB_COMPONENT* c = reinterpret_cast<CALDB_COMPONENT*>(ev);
    c->tDtStart = static_cast<int32_t>(kNine + 7200);
    c->tRecurrenceId = static_cast<int32_t>(kNine + 3600);
    c->aXProps = texts({"X-A:1", "x-kval-original-dtstart:20260105T090000Z",
                        "X-KVAL-ORIGINAL-DTSTART:20270105T090000Z"});
    EXPECT_EQ(c->aXProps->data[1], getOriginalDtStartXToken(c->aXProps));
    EXPECT_EQ(kNine, getOriginalStartTimeXTokenVal(c));

    // A line without ":" or with a text that is no date-time falls back to
    // RECURRENCE-ID, and without one to DTSTART.
    array_free_and_destroy(&c->aXProps);
    c->aXProps = texts({"X-KVAL-ORIGINAL-DTSTART"});
    EXPECT_EQ(kNine + 3600, getOriginalStartTimeXTokenVal(c));
    c->tRecurrenceId = 0;
    array_free_and_destroy(&c->aXProps);
    c->aXProps = texts({"X-KVAL-ORIGINAL-DTSTART:tomorrow"});
    EXPECT_EQ(kNine + 7200, getOriginalStartTimeXTokenVal(c));
    caldb_FreeEvent(&ev);
}

TEST(OriginalStartLine, AddedOnlyWhenMissingAndResetInPlace) {
    array_t* lines = texts({"X-A:1", "x-kval-original-DTSTART:20250101T000000Z"});
    EXPECT_EQ(0, calparser_addOriginalDtStartXTokenIfNotAlreadyExists(&lines, "20260105T090000Z"));
    EXPECT_EQ(2u, lines->count);
    array_free_and_destroy(&lines);

    // The component form records DTSTART when there is no RECURRENCE-ID.
    CALDB_VTODO* todo = caldb_NewToDo();
    CALDB_COMPONENT* c = reinterpret_cast<CALDB_COMPONENT*>(todo);
    c->tDtStart = static_cast<int32_t>(kNine);
    EXPECT_EQ(c, calparser_addOriginalDtStartXTokenIfNotAlreadyExistsOnComponent(c));
    EXPECT_EQ((Strings{"X-KVAL-ORIGINAL-DTSTART:20260105T090000Z"}), strings(c->aXProps));

    // A reset rewrites the last such line, or adds one.
    c->tRecurrenceId = static_cast<int32_t>(kNine + 86400 + 1800);
    array_free_and_destroy(&c->aXProps);
    c->aXProps =
        texts({"X-KVAL-ORIGINAL-DTSTART:1", "X-A:1", "x-kval-original-dtstart:2", "X-B:2"});
    resetOriginalDtStartXTokenToNewTime(c);
    EXPECT_EQ((Strings{"X-KVAL-ORIGINAL-DTSTART:1", "X-A:1",
                       "X-KVAL-ORIGINAL-DTSTART:20260106T093000Z", "X-B:2"}),
              strings(c->aXProps));
    array_free_and_destroy(&c->aXProps);
    c->aXProps = texts({"X-A:1"});
    resetOriginalDtStartXTokenToNewTime(c);
    EXPECT_EQ((Strings{"X-A:1", "X-KVAL-ORIGINAL-DTSTART:20260106T093000Z"}),
              strings(c->aXProps));
    caldb_FreeToDo(&todo);
}

// The trigger needs a base time and a readable duration; else it stays.
TEST(Durations, AlarmTrigger) {
    CAL_TIME_DURATION before = {}, broken = {};
    cal_time_buf_to_duration("-PT15M", &before);
    cal_time_buf_to_duration("one hour", &broken);
    time_t trigger = 42;
    EXPECT_EQ(1, calparser_computeAlarmTrigger(&before, 0, &trigger));
    EXPECT_EQ(1, calparser_computeAlarmTrigger(&broken, kNine, &trigger));
    EXPECT_EQ(42, trigger);
    EXPECT_EQ(0, calparser_computeAlarmTrigger(&before, kNine, &trigger));
    EXPECT_EQ(kNine - 900, trigger);
}

}  // namespace
