// Lexing and whole parses of a realistic calendar (the shared generator's
// output: zones, folded descriptions, attendees, alarms, recurring series).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/bench_support.h"
#include "core/parser/calparser.h"

namespace {

void BM_LexCalendar(benchmark::State& state) {
    const std::string& text = calparser_bench::generated_calendar((int)state.range(0));
    if (text.empty()) {
        state.SkipWithError("the calendar generator gave no input");
        return;
    }
    for (auto _ : state) {
        protstream* s = prot_readmap(text.data(), (unsigned)text.size());
        array_t* tokens = nullptr;
        benchmark::DoNotOptimize(calparser_create_token_list(s, &tokens, CALPARSER_FORMAT_ICAL, 0, nullptr));
        calparser_FreeTokenList(tokens);
        array_delete(tokens);
        prot_free(s);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)text.size());
}

void BM_ParseCalendar(benchmark::State& state) {
    const std::string& text = calparser_bench::generated_calendar((int)state.range(0));
    if (text.empty()) {
        state.SkipWithError("the calendar generator gave no input");
        return;
    }
    char tzid[] = "America/New_York";
    for (auto _ : state) {
        protstream* s = prot_readmap(text.data(), (unsigned)text.size());
        array_t* result = nullptr;
        unsigned methodState = 0;
        benchmark::DoNotOptimize(calparser_prot_to_dbstruct(
            s, &result, CALPARSER_FORMAT_ICAL, 0, nullptr, tzid, nullptr, &methodState, nullptr));
        calparser_FreeComponentArrayAndDestroy(&result);
        prot_free(s);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)text.size());
}

BENCHMARK(BM_LexCalendar)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseCalendar)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return calparser_bench::run_benchmarks(argc, argv); }
