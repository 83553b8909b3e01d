// The recurrence engine and the ICU wall-clock conversions under it.
#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <memory>

#include <unicode/timezone.h>

#include "public/core_util/timezone.h"
#include "public/recurrence/recurrence.h"
#include "public/util/array.h"

namespace {

constexpr time_t kStart = 873205200;   // 1997-09-02 09:00 America/New_York

void expand(benchmark::State& state, const char* rule, const char* exrule) {
    recurrence_init();
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone("America/New_York"));
    array_t* rules = array_new();
    array_t* exrules = array_new();
    array_append(rules, (void*)rule);
    if (exrule)
        array_append(exrules, (void*)exrule);
    array_t* dates = array_new();
    for (auto _ : state) {
        recurrence_GenerateDates(kStart, rules, nullptr, exrules, nullptr, 60, dates, zone.get(), 1);
        state.counters["dates"] = dates->count;
        for (unsigned i = 0; i < dates->count; i++)
            free(dates->data[i]);
        array_clear(dates);
    }
    array_delete(dates);
    array_delete(exrules);
    array_delete(rules);
}

void BM_DailySixtyDates(benchmark::State& state) { expand(state, "FREQ=DAILY", nullptr); }
void BM_MonthlySetPosition(benchmark::State& state) {
    expand(state, "FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-2", nullptr);
}
void BM_DailyWithoutWeekends(benchmark::State& state) {
    expand(state, "FREQ=DAILY", "FREQ=WEEKLY;BYDAY=SA,SU");
}
void BM_RuleThatNeverMatches(benchmark::State& state) {
    expand(state, "FREQ=DAILY;INTERVAL=7;BYDAY=MO", nullptr);
}

void BM_WallClockToUtc(benchmark::State& state) {
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone("America/New_York"));
    for (auto _ : state)
        benchmark::DoNotOptimize(timezone_DateTimeApplyTimeZone("20250309T023000", zone.get()));
}

}  // namespace

BENCHMARK(BM_DailySixtyDates);
BENCHMARK(BM_MonthlySetPosition);
BENCHMARK(BM_DailyWithoutWeekends);
BENCHMARK(BM_RuleThatNeverMatches);
BENCHMARK(BM_WallClockToUtc);
BENCHMARK_MAIN();
