// What the benchmark programs share: their input calendars and a main that
// starts the library around the benchmarks.
#ifndef BENCH_BENCH_SUPPORT_H
#define BENCH_BENCH_SUPPORT_H

#include <string>

namespace calparser_bench {

// The whole content of the file at `path`; "" when it cannot be read.
std::string read_file(const std::string& path);

// The shared generator's calendar of `events` events (`options` are further
// arguments, e.g. "--no-recur"), made once per events and options and kept
// for the process; "" when the generator gave nothing.
const std::string& generated_calendar(int events, const std::string& options = "");

// Starts the library, runs the benchmarks the command line selects and stops
// the library. Returns main's status: 1 when the library did not start.
int run_benchmarks(int argc, char** argv);

}  // namespace calparser_bench

#endif
