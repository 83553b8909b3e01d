// Lexing and whole parses of a realistic calendar (the shared generator's
// output: zones, folded descriptions, attendees, alarms, recurring series).
#include <benchmark/benchmark.h>

#include <stdio.h>

#include <string>

#include "core/parser/calparser.h"

namespace {

// The generator's calendar of `events` events, read once per size.
const std::string& calendar_of(int events) {
    static std::string cached[2];
    static int cachedEvents[2] = {0, 0};
    int slot = events > 1000 ? 1 : 0;
    if (cachedEvents[slot] != events) {
        std::string command = std::string("python3 ") + CALPARSER_GEN_CALENDAR + " " +
                              std::to_string(events);
        cached[slot].clear();
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char buf[65536];
            size_t n;
            while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) cached[slot].append(buf, n);
            pclose(pipe);
        }
        cachedEvents[slot] = events;
    }
    return cached[slot];
}

void BM_LexCalendar(benchmark::State& state) {
    const std::string& text = calendar_of((int)state.range(0));
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
    const std::string& text = calendar_of((int)state.range(0));
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

int main(int argc, char** argv) {
    if (parser_init() != 0) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    parser_uninit();
    return 0;
}
