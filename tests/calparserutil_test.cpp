// Component helpers: the original-start line, component-state methods and
// times computed from a duration.
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

TEST(OriginalStartLine, RecognisedAnywhereInAnyCase) {
    EXPECT_EQ(1, isOriginalDTStartXTokenString("x-kval-Original-dtstart"));
    EXPECT_EQ(1, isOriginalDTStartXTokenString("X-OTHER;P=X-KVAL-ORIGINAL-DTSTART:1"));
    EXPECT_EQ(0, isOriginalDTStartXTokenString("X-KVAL-ORIGINAL-DTSTAR:1"));
    EXPECT_EQ(0, isOriginalDTStartXTokenString(nullptr));

    array_t* lines = texts({"X-A:1", "x-kval-original-dtstart:1", "X-KVAL-ORIGINAL-DTSTART:2"});
    EXPECT_EQ(lines->data[1], getOriginalDtStartXToken(lines));  // the first one
    array_t* others = texts({"X-A:1"});
    EXPECT_EQ(0, hasOriginalDtStartXToken(others));
    EXPECT_EQ(0, hasOriginalDtStartXToken(nullptr));
    array_free_and_destroy(&lines);
    array_free_and_destroy(&others);
}

TEST(CompStateMethod, PlainMethodsAndOthers) {
    const std::pair<iCal_Token_t, int> cases[] = {
        {TOKEN_REQUEST, 2}, {TOKEN_REPLY, 4},   {TOKEN_CANCEL, 8},
        {TOKEN_COUNTER, 64}, {TOKEN_PUBLISH, 1}, {TOKEN_DECLINECOUNTER, 1},
        {static_cast<iCal_Token_t>(0), 1}};
    for (const auto& c : cases)
        EXPECT_EQ(c.second, calparser_getCompStateMethod(c.first)) << c.first;
}

TEST(OriginalStartLine, TimeComesFromTheLineElseRecurrenceIdElseStart) {
    CALDB_VEVENT* ev = caldb_NewEvent();
    CALDB_COMPONENT* c = reinterpret_cast<CALDB_COMPONENT*>(ev);
    c->tDtStart = static_cast<int32_t>(kNine + 7200);
    c->tRecurrenceId = static_cast<int32_t>(kNine + 3600);
    c->aXProps = texts({"X-A:1", "x-kval-original-dtstart:20260105T090000Z"});
    EXPECT_EQ(kNine, getOriginalStartTimeXTokenVal(c));

    // A line without ":" or with a text that is no date-time falls back.
    array_free_and_destroy(&c->aXProps);
    c->aXProps = texts({"X-KVAL-ORIGINAL-DTSTART"});
    EXPECT_EQ(kNine + 3600, getOriginalStartTimeXTokenVal(c));
    c->tRecurrenceId = 0;
    array_free_and_destroy(&c->aXProps);
    c->aXProps = texts({"X-KVAL-ORIGINAL-DTSTART:tomorrow"});
    EXPECT_EQ(kNine + 7200, getOriginalStartTimeXTokenVal(c));
    EXPECT_EQ(0, getOriginalStartTimeXTokenVal(nullptr));
    caldb_FreeEvent(&ev);
}

TEST(OriginalStartLine, AddedOnlyWhenMissingAndResetInPlace) {
    array_t* lines = texts({"X-A:1", "x-kval-original-DTSTART:20250101T000000Z"});
    EXPECT_EQ(0, calparser_addOriginalDtStartXTokenIfNotAlreadyExists(&lines, "20260105T090000Z"));
    EXPECT_EQ(2u, lines->count);
    EXPECT_EQ(1, calparser_addOriginalDtStartXTokenIfNotAlreadyExists(nullptr, "20260105T090000Z"));
    array_free_and_destroy(&lines);

    // The component form records RECURRENCE-ID, or DTSTART when there is none.
    CALDB_VTODO* todo = caldb_NewToDo();
    CALDB_COMPONENT* c = reinterpret_cast<CALDB_COMPONENT*>(todo);
    c->tDtStart = static_cast<int32_t>(kNine);
    EXPECT_EQ(c, calparser_addOriginalDtStartXTokenIfNotAlreadyExistsOnComponent(c));
    EXPECT_EQ((Strings{"X-KVAL-ORIGINAL-DTSTART:20260105T090000Z"}), strings(c->aXProps));
    EXPECT_EQ(nullptr, calparser_addOriginalDtStartXTokenIfNotAlreadyExistsOnComponent(nullptr));

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
    resetOriginalDtStartXTokenToNewTime(nullptr);
    caldb_FreeToDo(&todo);
}

// How a bad duration leaves an event's end or a to-do's due is the builders'
// test; here the refusals and the alarm trigger, which needs a base time.
TEST(Durations, RefusalsAndTheAlarmTrigger) {
    CAL_TIME_DURATION before = {}, broken = {};
    cal_time_buf_to_duration("-PT15M", &before);
    cal_time_buf_to_duration("one hour", &broken);
    CALDB_VEVENT event = {};
    CALDB_VTODO todo = {};
    EXPECT_EQ(1, calparser_addDurationToEvent(nullptr, &event));
    EXPECT_EQ(1, calparser_addDurationToEvent(&before, nullptr));
    EXPECT_EQ(1, calparser_addDurationToTodo(nullptr, &todo));
    EXPECT_EQ(1, calparser_addDurationToTodo(&before, nullptr));

    time_t trigger = 42;
    EXPECT_EQ(1, calparser_computeAlarmTrigger(&before, 0, &trigger));
    EXPECT_EQ(1, calparser_computeAlarmTrigger(&broken, kNine, &trigger));
    EXPECT_EQ(1, calparser_computeAlarmTrigger(nullptr, kNine, &trigger));
    EXPECT_EQ(42, trigger);
    EXPECT_EQ(0, calparser_computeAlarmTrigger(&before, kNine, &trigger));
    EXPECT_EQ(kNine - 900, trigger);
}

}  // namespace
