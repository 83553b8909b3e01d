// Date-time conversion and formatting: inside 1990-2010 (day tables and crossing
// list) and outside (the zone's rule-based zone, NSPR).
#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <time.h>

#include "core/parser/cal_vtimezone_array.h"
#include "core/parser/calparser.h"
#include "core/parser/calparser_time.h"

namespace {

constexpr const char* kZone = "Europe/Berlin";
constexpr const char* kICal = "%Y%m%dT%H%M%SZ";

// The committed zone file, as a server loads it: Berlin has 42 crossings in
// 1990-2010 and the EU rule in its rule-based zone for the other years.
void fill_registry_once() {
    static bool filled = false;
    if (filled) return;
    filled = true;
    if (parser_init() != 0 || !calparser_isValidTimeZoneID(kZone)) abort();
}

void local_text_to_utc(benchmark::State& state, const char* text) {
    fill_registry_once();
    time_t t = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(calparser_datez_to_timet(text, &t, nullptr, kZone));
        benchmark::DoNotOptimize(t);
    }
}

// `format` is calparser_strtime (in kZone) or calparser_strgmtime (UTC).
using Formatter = int (*)(char*, int, const char*, time_t, const char*);

void format_time(benchmark::State& state, Formatter format, time_t when) {
    fill_registry_once();
    char text[32];
    for (auto _ : state) {
        benchmark::DoNotOptimize(format(text, sizeof text, kICal, when, kZone));
        benchmark::ClobberMemory();
    }
}

void BM_LocalTextToUtc_2008(benchmark::State& state) {
    local_text_to_utc(state, "20081115T093000");  // late in the crossing list
}
void BM_LocalTextToUtc_2030(benchmark::State& state) {
    local_text_to_utc(state, "20300715T093000");
}
void BM_UtcTextToUtc_2008(benchmark::State& state) {
    local_text_to_utc(state, "20081115T093000Z");
}
void BM_UtcTextToUtc_2030(benchmark::State& state) {
    local_text_to_utc(state, "20300715T093000Z");
}
void BM_FormatLocal_2008(benchmark::State& state) {
    format_time(state, calparser_strtime, 1226741400);  // 2008-11-15 09:30:00 UTC
}
void BM_FormatLocal_2030(benchmark::State& state) {
    format_time(state, calparser_strtime, 1910338200);  // 2030-07-15 09:30:00 UTC
}
void BM_FormatUtc_2008(benchmark::State& state) {
    format_time(state, calparser_strgmtime, 1226741400);
}
void BM_FormatUtc_2030(benchmark::State& state) {
    format_time(state, calparser_strgmtime, 1910338200);
}

}  // namespace

BENCHMARK(BM_LocalTextToUtc_2008);
BENCHMARK(BM_LocalTextToUtc_2030);
BENCHMARK(BM_UtcTextToUtc_2008);
BENCHMARK(BM_UtcTextToUtc_2030);
BENCHMARK(BM_FormatLocal_2008);
BENCHMARK(BM_FormatLocal_2030);
BENCHMARK(BM_FormatUtc_2008);
BENCHMARK(BM_FormatUtc_2030);

BENCHMARK_MAIN();
