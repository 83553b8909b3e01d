// Writing records back as iCalendar against parsing them: the shared
// generator's calendar of 20,000 events without recurrence (about 31 MB) is
// parsed once per iteration by one benchmark, and its records are written
// once per iteration by the other. Writing should take less time than
// parsing.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "bench/bench_support.h"
#include "core/parser/calparser.h"

namespace {

constexpr int kEvents = 20000;

// The generator's calendar of kEvents events without recurrence.
const std::string& benchmark_calendar() {
    return calparser_bench::generated_calendar(kEvents, "--no-recur");
}

array_t* parse(const std::string& text) {
    char tzid[] = "America/New_York";
    protstream* s = prot_readmap(text.data(), (unsigned)text.size());
    array_t* result = nullptr;
    calparser_prot_to_dbstruct(s, &result, CALPARSER_FORMAT_ICAL, 0, nullptr, tzid, nullptr,
                               nullptr, nullptr);
    prot_free(s);
    return result;
}

void BM_ParseBenchmarkCalendar(benchmark::State& state) {
    const std::string& text = benchmark_calendar();
    if (text.empty()) {
        state.SkipWithError("the calendar generator gave no input");
        return;
    }
    for (auto _ : state) {
        array_t* result = parse(text);
        benchmark::DoNotOptimize(result);
        calparser_FreeComponentArrayAndDestroy(&result);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)text.size());
}

// Writes to /dev/null, so that only the writer's own work is measured.
void BM_WriteBenchmarkCalendar(benchmark::State& state) {
    const std::string& text = benchmark_calendar();
    array_t* result = text.empty() ? nullptr : parse(text);
    int fd = open("/dev/null", O_WRONLY);
    if (!result || fd < 0) {
        state.SkipWithError("no records to write");
    } else {
        for (auto _ : state) {
            protstream* out = prot_new(fd, 1);
            benchmark::DoNotOptimize(calparser_write_ical(out, result, CALPARSER_WRITE_DEFAULT));
            prot_free(out);
        }
        state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)text.size());
    }
    if (fd >= 0) close(fd);
    calparser_FreeComponentArrayAndDestroy(&result);
}

BENCHMARK(BM_ParseBenchmarkCalendar)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteBenchmarkCalendar)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return calparser_bench::run_benchmarks(argc, argv); }
