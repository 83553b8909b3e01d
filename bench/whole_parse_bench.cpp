// Whole parse of one calendar file, this library against libical, in one run:
//
//   whole_parse_bench FILE [--charset NAME] [--repeat N]
//
// prints the MB/s of each (best of N runs, the records freed in each run),
// their ratio, the peak RSS of each, and the MB/s of two threads parsing the
// file at once against one. Every measurement runs in a child process of its
// own, so one parser's memory does not inflate the other's peak; the input
// buffer counts in both. libical's side is peer_libical (built beside this
// program from the shared peer source): icalparser_parse_string, then every
// event's and to-do's DTSTART/DTEND to UTC, as this library's parse does.
// This library parses format 3 from a memory stream, records freed.
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/parser/calparser.h"

extern char** environ;

namespace {

struct Options {
    std::string file;
    std::string charset;   // empty: UTF-8
    int repeat = 3;
    int threads = 1;       // child mode only
    bool child = false;    // this process is the measuring child
};

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// One whole parse of `text`, its records freed. Returns the parse's status.
int parse_once(const std::string& text, const std::string& charset) {
    protstream* s = prot_readmap(text.data(), (unsigned)text.size());
    array_t* result = nullptr;
    unsigned methodState = 0;
    char tzid[] = "America/New_York";
    int rc = calparser_prot_to_dbstruct(s, &result, CALPARSER_FORMAT_ICAL, 0,
                                        charset.empty() ? nullptr : charset.c_str(), tzid,
                                        nullptr, &methodState, nullptr);
    prot_free(s);
    calparser_FreeComponentArrayAndDestroy(&result);
    return rc;
}

// The child's work: `threads` threads each parse the whole text at once; the
// best wall time of `repeat` rounds is printed as "best SECONDS".
int measure_in_child(const Options& opt) {
    std::string text = read_file(opt.file);
    if (text.empty() || parser_init() != 0) return 1;
    double best = 1e9;
    std::atomic<int> failures{0};
    for (int round = 0; round < opt.repeat; round++) {
        auto start = std::chrono::steady_clock::now();
        std::vector<std::thread> workers;
        for (int t = 0; t < opt.threads; t++)
            workers.emplace_back([&] {
                if (parse_once(text, opt.charset) != 0) failures++;
            });
        for (std::thread& w : workers) w.join();
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (took.count() < best) best = took.count();
    }
    parser_uninit();
    if (failures > 0) {
        fprintf(stderr, "whole_parse_bench: a parse failed\n");
        return 1;
    }
    printf("best %.6f\n", best);
    return 0;
}

struct ChildRun {
    double seconds = 0;      // best time the child reported, 0 on failure
    double peakRssMb = 0;    // the child's peak resident set
};

// Runs `args` as a child process and reads "best SECONDS" from its output.
ChildRun run_child(const std::vector<std::string>& args) {
    ChildRun run;
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    pid_t pid;
    int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string text;
    char buffer[512];
    ssize_t n;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0) text.append(buffer, (size_t)n);
    close(out[0]);
    if (spawned != 0) return run;
    int status = 0;
    struct rusage usage;
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return run;
    size_t at = text.find("best ");
    if (at == std::string::npos) return run;
    run.seconds = atof(text.c_str() + at + 5);
    run.peakRssMb = usage.ru_maxrss / 1024.0;   // kilobytes on Linux
    return run;
}

// The program `name` in this program's folder.
std::string sibling(const char* name) {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return name;
    path[n] = '\0';
    std::string dir(path);
    return dir.substr(0, dir.rfind('/') + 1) + name;
}

// This program in child mode with `threads` threads.
std::vector<std::string> own_child(const Options& opt, int threads) {
    std::vector<std::string> args = {sibling("whole_parse_bench"), "--child", opt.file,
                                      "--repeat", std::to_string(opt.repeat),
                                      "--threads", std::to_string(threads)};
    if (!opt.charset.empty()) args.insert(args.end(), {"--charset", opt.charset});
    return args;
}

int compare(const Options& opt) {
    std::ifstream probe(opt.file, std::ios::binary | std::ios::ate);
    double bytes = (double)probe.tellg();
    if (bytes <= 0) {
        fprintf(stderr, "whole_parse_bench: cannot read %s\n", opt.file.c_str());
        return 1;
    }
    ChildRun ours = run_child(own_child(opt, 1));
    ChildRun peer = run_child({sibling("peer_libical"), opt.file, std::to_string(opt.repeat)});
    ChildRun two = run_child(own_child(opt, 2));
    if (ours.seconds <= 0 || peer.seconds <= 0 || two.seconds <= 0) {
        fprintf(stderr, "whole_parse_bench: a measuring child failed\n");
        return 1;
    }
    double oursMbs = bytes / ours.seconds / 1e6, peerMbs = bytes / peer.seconds / 1e6;
    double twoMbs = 2 * bytes / two.seconds / 1e6;
    printf("input %s: %.0f bytes%s%s, best of %d\n", opt.file.c_str(), bytes,
           opt.charset.empty() ? "" : ", charset ", opt.charset.c_str(), opt.repeat);
    printf("  this library   %7.1f MB/s   peak RSS %6.1f MB\n", oursMbs, ours.peakRssMb);
    printf("  libical        %7.1f MB/s   peak RSS %6.1f MB\n", peerMbs, peer.peakRssMb);
    printf("  ratio          %7.2fx       RSS %.2f of libical's\n", oursMbs / peerMbs,
           ours.peakRssMb / peer.peakRssMb);
    printf("  2 threads      %7.1f MB/s   %.2fx one thread   peak RSS %6.1f MB\n", twoMbs,
           twoMbs / oursMbs, two.peakRssMb);
    return 0;
}

bool read_options(int argc, char** argv, Options* opt) {
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--child") opt->child = true;
        else if (arg == "--charset" && hasValue) opt->charset = argv[++i];
        else if (arg == "--repeat" && hasValue) opt->repeat = atoi(argv[++i]);
        else if (arg == "--threads" && hasValue) opt->threads = atoi(argv[++i]);
        else if (arg[0] != '-' && opt->file.empty()) opt->file = arg;
        else return false;
    }
    return !opt->file.empty() && opt->repeat > 0 && opt->threads > 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    if (!read_options(argc, argv, &opt)) {
        fprintf(stderr, "usage: whole_parse_bench FILE [--charset NAME] [--repeat N]\n");
        return 2;
    }
    return opt.child ? measure_in_child(opt) : compare(opt);
}
