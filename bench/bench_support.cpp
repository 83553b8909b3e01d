#include "bench/bench_support.h"

#include <stdio.h>

#include <map>
#include <utility>

#include <benchmark/benchmark.h>

#include "core/parser/calparser.h"

namespace calparser_bench {

namespace {

std::string read_all(FILE* in) {
    std::string text;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, in)) > 0) text.append(buf, n);
    return text;
}

}  // namespace

std::string read_file(const std::string& path) {
    FILE* in = fopen(path.c_str(), "rb");
    if (!in) return std::string();
    std::string text = read_all(in);
    fclose(in);
    return text;
}

const std::string& generated_calendar(int events, const std::string& options) {
    static std::map<std::pair<int, std::string>, std::string> made;
    auto key = std::make_pair(events, options);
    auto found = made.find(key);
    if (found != made.end()) return found->second;
    std::string command = std::string("python3 ") + CALPARSER_GEN_CALENDAR + " " +
                          std::to_string(events) + " " + options;
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        text = read_all(pipe);
        pclose(pipe);
    }
    return made.emplace(key, std::move(text)).first->second;
}

int run_benchmarks(int argc, char** argv) {
    if (parser_init() != 0) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    parser_uninit();
    return 0;
}

}  // namespace calparser_bench
