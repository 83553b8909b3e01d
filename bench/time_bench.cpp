// Date-time conversion and formatting: inside 1990-2010 (day tables and crossing
// list) and outside (the zone's rule-based zone, NSPR).
#include <benchmark/benchmark.h>

#include <time.h>

#include <unicode/simpletz.h>

#include "core/parser/cal_vtimezone_array.h"
#include "core/parser/calparser_time.h"
#include "tests/support/zone_builders.h"

namespace {

constexpr const char* kZone = "Europe/Bench";
constexpr const char* kICal = "%Y%m%dT%H%M%SZ";

// 01:00 UTC of the last Sunday of `month` (1-12, a 31-day month) in `year`.
std::string last_sunday_0100(int year, int month) {
    struct tm t = {};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = 31;
    time_t day = timegm(&t);
    gmtime_r(&day, &t);
    day -= (time_t)t.tm_wday * 86400;
    gmtime_r(&day, &t);
    char text[20];
    strftime(text, sizeof text, "%Y%m%dT010000Z", &t);
    return text;
}

// A zone at +01:00 with summer time by the EU rule: 42 crossings 1990-2010 and the
// same rule in its rule-based zone for the other years.
void fill_registry_once() {
    static bool filled = false;
    if (filled) return;
    filled = true;
    time_cache_init();
    zone_test::ZoneSpec shape;
    shape.tzid = kZone;
    shape.standardMinutes = 60;
    shape.hasDaylight = true;
    shape.daylightMinutes = 120;
    for (int year = 1990; year <= 2010; year++) {
        shape.crossings.push_back(last_sunday_0100(year, 3));
        shape.crossings.push_back(last_sunday_0100(year, 10));
    }
    shape.withRuleZone = false;
    CAL_VTIMEZONE* zone = zone_test::make_zone(shape);
    UErrorCode status = U_ZERO_ERROR;
    zone->pIcuZone = new icu::SimpleTimeZone(
        3600000, icu::UnicodeString(kZone), UCAL_MARCH, -1, UCAL_SUNDAY, 7200000,
        UCAL_OCTOBER, -1, UCAL_SUNDAY, 10800000, 3600000, status);
    CALPARSER_TIMEZONE_LIST::Instance()->removeAllTimeZones();
    calparser_registry_add_for_testing(zone_test::make_zone(zone_test::utc_fallback_zone()));
    calparser_registry_add_for_testing(zone);
}

void local_text_to_utc(benchmark::State& state, const char* text) {
    fill_registry_once();
    time_t t = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(calparser_datez_to_timet(text, &t, nullptr, kZone));
        benchmark::DoNotOptimize(t);
    }
}

void utc_to_local_text(benchmark::State& state, time_t when) {
    fill_registry_once();
    char text[32];
    for (auto _ : state) {
        benchmark::DoNotOptimize(calparser_strtime(text, sizeof text, kICal, when, kZone));
        benchmark::ClobberMemory();
    }
}

void utc_to_utc_text(benchmark::State& state, time_t when) {
    fill_registry_once();
    char text[32];
    for (auto _ : state) {
        benchmark::DoNotOptimize(calparser_strgmtime(text, sizeof text, kICal, when, nullptr));
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
    utc_to_local_text(state, 1226741400);  // 2008-11-15 09:30:00 UTC
}
void BM_FormatLocal_2030(benchmark::State& state) {
    utc_to_local_text(state, 1910338200);  // 2030-07-15 09:30:00 UTC
}
void BM_FormatUtc_2008(benchmark::State& state) {
    utc_to_utc_text(state, 1226741400);
}
void BM_FormatUtc_2030(benchmark::State& state) {
    utc_to_utc_text(state, 1910338200);
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
