// Whole parse of one calendar file, this library against libical, in one run:
//
//   whole_parse_bench FILE [--charset NAME] [--repeat N]
//
// prints the MB/s of each (best of N runs, the records freed in each run),
// their ratio, the peak RSS of each, and the MB/s of two threads parsing the
// file at once against one. Every measurement runs in a child process of its
// own, so one parser's memory does not inflate the other's peak; the input
// buffer counts in both. libical's side does the work of the shared peer
// program (../shared/bench/peer_libical.c): icalparser_parse_string, then
// every event's and to-do's DTSTART/DTEND to UTC and a look at its SUMMARY,
// as this library's parse does. This library parses format 3 from a memory
// stream, records freed. Times are given as wall time and as the process's
// CPU time: on a busy machine the CPU time is the steadier of the two. For two
// threads the CPU figure compares the CPU time of a parse that runs beside
// another with that of a parse alone: locks, shared cache lines and memory
// bandwidth show there even when the machine has no core to spare.
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
#include <string>
#include <thread>
#include <vector>

#include <libical/ical.h>
#include <time.h>

#include "bench/bench_support.h"
#include "core/parser/calparser.h"

extern char** environ;

namespace {

struct Options {
    std::string file;
    std::string charset;   // empty: UTF-8
    int repeat = 3;
    int threads = 1;       // child mode only
    bool child = false;    // this process is the measuring child
    bool libical = false;  // the child measures libical instead
};

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

// libical's whole parse of `text`, as the shared peer program does it.
// Returns a checksum of what it read, so that nothing is optimised away.
long libical_once(const std::string& text) {
    icalcomponent* cal = icalparser_parse_string(text.c_str());
    long sum = 0;
    for (icalcomponent* c = icalcomponent_get_first_component(cal, ICAL_ANY_COMPONENT); c;
         c = icalcomponent_get_next_component(cal, ICAL_ANY_COMPONENT)) {
        icalcomponent_kind kind = icalcomponent_isa(c);
        if (kind != ICAL_VEVENT_COMPONENT && kind != ICAL_VTODO_COMPONENT) continue;
        struct icaltimetype start = icalcomponent_get_dtstart(c);
        struct icaltimetype end = icalcomponent_get_dtend(c);
        sum += icaltime_as_timet_with_zone(
            start, start.zone ? start.zone : icaltimezone_get_utc_timezone());
        sum += icaltime_as_timet_with_zone(end, end.zone ? end.zone : icaltimezone_get_utc_timezone());
        const char* summary = icalcomponent_get_summary(c);
        if (summary) sum += summary[0];
    }
    icalcomponent_free(cal);
    return sum;
}

double seconds(clockid_t clock) {
    struct timespec t;
    clock_gettime(clock, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

// The child's work: `threads` threads each parse the whole text at once (one
// thread: the main thread itself); the best wall and CPU times of `repeat`
// rounds are printed as "best WALL CPU".
int measure_in_child(const Options& opt) {
    std::string text = calparser_bench::read_file(opt.file);
    if (text.empty() || parser_init() != 0) return 1;
    double bestWall = 1e9, bestCpu = 1e9;
    std::atomic<int> failures{0};
    std::atomic<long> checksum{0};
    auto work = [&] {
        if (opt.libical)
            checksum += libical_once(text);
        else if (parse_once(text, opt.charset) != 0)
            failures++;
    };
    for (int round = 0; round < opt.repeat; round++) {
        double wall = seconds(CLOCK_MONOTONIC), cpu = seconds(CLOCK_PROCESS_CPUTIME_ID);
        if (opt.threads == 1) {
            work();
        } else {
            std::vector<std::thread> workers;
            for (int t = 0; t < opt.threads; t++) workers.emplace_back(work);
            for (std::thread& w : workers) w.join();
        }
        wall = seconds(CLOCK_MONOTONIC) - wall;
        cpu = seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu;
        if (wall < bestWall) bestWall = wall;
        if (cpu < bestCpu) bestCpu = cpu;
    }
    parser_uninit();
    if (failures > 0) {
        fprintf(stderr, "whole_parse_bench: a parse failed\n");
        return 1;
    }
    printf("best %.6f %.6f (check %ld)\n", bestWall, bestCpu, checksum.load() & 0xff);
    return 0;
}

struct ChildRun {
    double wall = 0;         // best wall time the child reported, 0 on failure
    double cpu = 0;          // best CPU time
    double peakRssMb = 0;    // the child's peak resident set
};

// Runs `args` as a child process and reads "best WALL CPU" from its output.
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
    if (sscanf(text.c_str() + at, "best %lf %lf", &run.wall, &run.cpu) != 2) run.wall = 0;
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

// This program in child mode with `threads` threads, measuring this library
// or libical.
std::vector<std::string> child_args(const Options& opt, int threads, bool libical) {
    std::vector<std::string> args = {sibling("whole_parse_bench"), "--child", opt.file,
                                      "--repeat", std::to_string(opt.repeat),
                                      "--threads", std::to_string(threads)};
    if (libical) args.push_back("--libical");
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
    ChildRun ours = run_child(child_args(opt, 1, false));
    ChildRun peer = run_child(child_args(opt, 1, true));
    ChildRun two = run_child(child_args(opt, 2, false));
    if (ours.wall <= 0 || peer.wall <= 0 || two.wall <= 0) {
        fprintf(stderr, "whole_parse_bench: a measuring child failed\n");
        return 1;
    }
    auto mbs = [bytes](double s) { return bytes / s / 1e6; };
    printf("input %s: %.0f bytes%s%s, best of %d\n", opt.file.c_str(), bytes,
           opt.charset.empty() ? "" : ", charset ", opt.charset.c_str(), opt.repeat);
    printf("                  MB/s wall   MB/s CPU   peak RSS\n");
    printf("  this library    %9.1f  %9.1f   %6.1f MB\n", mbs(ours.wall), mbs(ours.cpu),
           ours.peakRssMb);
    printf("  libical         %9.1f  %9.1f   %6.1f MB\n", mbs(peer.wall), mbs(peer.cpu),
           peer.peakRssMb);
    printf("  ratio           %8.2fx  %8.2fx   %6.2f of libical's\n", peer.wall / ours.wall,
           peer.cpu / ours.cpu, ours.peakRssMb / peer.peakRssMb);
    printf("  2 threads       %9.1f  %9.1f   %6.1f MB   %.2fx one thread (wall), %.2fx (CPU)\n",
           2 * mbs(two.wall), 2 * mbs(two.cpu), two.peakRssMb, 2 * ours.wall / two.wall,
           2 * ours.cpu / two.cpu);
    return 0;
}

bool read_options(int argc, char** argv, Options* opt) {
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        bool hasValue = i + 1 < argc;
        if (arg == "--child") opt->child = true;
        else if (arg == "--libical") opt->libical = true;
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
