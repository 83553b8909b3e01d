// Whole parses of generated hostile inputs, each shape at sizes N, 2N and 4N:
// the parse must cost time in proportion to its input. After the runs a table
// gives CPU time(4N) / time(N) per shape (CPU time: the machine is shared); linear growth gives about 4, and a ratio
// above 5 means a cost that grows faster than the input.
#include <benchmark/benchmark.h>

#include <stdio.h>

#include <map>
#include <string>
#include <vector>

#include "core/parser/calparser.h"

namespace {

constexpr int kBase = 2000;  // N: lines, values or components of a shape

const char kHead[] = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//bench//EN\r\n";
const char kTail[] = "END:VCALENDAR\r\n";
const char kEventHead[] =
    "BEGIN:VEVENT\r\nUID:hostile\r\nDTSTART:20240301T090000Z\r\nDTEND:20240301T100000Z\r\n";
const char kEventTail[] = "END:VEVENT\r\n";

std::string in_event(const std::string& body) {
    return std::string(kHead) + kEventHead + body + kEventTail + kTail;
}

std::string attendees(int n) {
    std::string body;
    for (int i = 0; i < n; i++)
        body += "ATTENDEE;PARTSTAT=ACCEPTED;CN=User " + std::to_string(i) + ":mailto:user" +
                std::to_string(i) + "@example.com\r\n";
    return in_event(body);
}

// n RDATE and n EXDATE values, ten to a line.
std::string date_lists(int n) {
    std::string body;
    for (int i = 0; i < n; i++) {
        char date[32];
        snprintf(date, sizeof date, "%04d%02d%02dT090000Z", 2025 + i / 336, 1 + (i / 28) % 12,
                 1 + i % 28);
        std::string sep = i % 10 ? "," : "\r\nRDATE:";
        body += sep + date;
    }
    std::string ex = body;
    for (size_t at = 0; (at = ex.find("RDATE", at)) != std::string::npos; at += 6) ex.replace(at, 5, "EXDATE");
    return in_event(body.substr(2) + ex + "\r\n");
}

std::string alarms(int n) {
    std::string body;
    for (int i = 0; i < n; i++)
        body += "BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT" + std::to_string(i % 600 + 1) +
                "M\r\nDESCRIPTION:alarm\r\nEND:VALARM\r\n";
    return in_event(body);
}

// A line of the intake keeps at most a few chunks (longer ones are dropped
// whole), so the per-line shapes grow the line within that bound and repeat
// it kLinesPerShape times: n / 20 parameters, or n / 200 folds of 75 bytes.
constexpr int kLinesPerShape = 300;

std::string parameters(int n) {
    std::string line = "COMMENT";
    for (int i = 0; i < n / 20; i++) line += ";X-P" + std::to_string(i) + "=v";
    std::string body;
    for (int i = 0; i < kLinesPerShape; i++) body += line + ":c" + std::to_string(i) + "\r\n";
    return in_event(body);
}

std::string folded_lines(int n) {
    std::string line = "COMMENT:";
    for (int i = 0; i < n / 200; i++) line += std::string(74, 'a' + i % 26) + "\r\n ";
    std::string body;
    for (int i = 0; i < kLinesPerShape; i++) body += line + std::to_string(i) + "\r\n";
    return in_event(body);
}

// One folded DESCRIPTION far longer than the intake keeps: dropped, and the
// cost of dropping it grows with its length only.
std::string dropped_line(int n) {
    std::string body = "DESCRIPTION:";
    for (int i = 0; i < n; i++) body += std::string(74, 'a' + i % 26) + "\r\n ";
    return in_event(body + "end\r\n");
}

std::string timezones(int n) {
    std::string text = kHead;
    for (int i = 0; i < n; i++)
        text += "BEGIN:VTIMEZONE\r\nTZID:Zone/" + std::to_string(i) +
                "\r\nBEGIN:STANDARD\r\nDTSTART:19701025T030000\r\nTZOFFSETFROM:+0200\r\n"
                "TZOFFSETTO:+0100\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
    text += "BEGIN:VEVENT\r\nUID:z\r\nDTSTART;TZID=Zone/" + std::to_string(n - 1) +
            ":20240301T090000\r\nEND:VEVENT\r\n";
    return text + kTail;
}

// A recurring master and n instances of it, all with one UID.
std::string shared_uid(int n) {
    std::string text = std::string(kHead) + kEventHead + "RRULE:FREQ=DAILY;COUNT=30\r\n" + kEventTail;
    for (int i = 0; i < n; i++) {
        char rid[40];
        snprintf(rid, sizeof rid, "%04d%02d%02dT090000Z", 2024 + i / 336, 1 + (i / 28) % 12,
                 1 + i % 28);
        text += std::string(kEventHead) + "RECURRENCE-ID:" + rid + "\r\nSUMMARY:moved\r\n" +
                kEventTail;
    }
    return text + kTail;
}

std::string nesting(int n) {
    std::string body;
    for (int i = 0; i < n; i++) body += "BEGIN:X-NEST\r\n";
    body += "X-DEEP:1\r\n";
    for (int i = 0; i < n; i++) body += "END:X-NEST\r\n";
    return in_event(body);
}

std::string x_properties(int n) {
    std::string body;
    for (int i = 0; i < n; i++)
        body += "X-PROP-" + std::to_string(i) + ";X-A=1:value " + std::to_string(i) + "\r\n";
    return in_event(body);
}

// n / 10 series whose rules walk decades between dates: Chinese day steps
// and a Gregorian day rule that matches once in 28 years.
std::string costly_rules(int n) {
    static const char* const kRules[] = {
        "RSCALE=CHINESE;FREQ=DAILY;BYMONTHDAY=30;BYMONTH=2;BYDAY=MO",
        "FREQ=DAILY;BYMONTH=2;BYMONTHDAY=29;BYDAY=MO"};
    std::string text = kHead;
    for (int i = 0; i < n / 10; i++)
        text += "BEGIN:VEVENT\r\nUID:c" + std::to_string(i) +
                "\r\nDTSTART:19700105T000000Z\r\nRRULE:" + kRules[i % 2] + "\r\n" + kEventTail;
    return text + kTail;
}

struct Shape {
    const char* name;
    std::string (*make)(int);
};

const Shape kShapes[] = {
    {"attendees", attendees},   {"rdate_exdate_values", date_lists},
    {"valarms", alarms},        {"parameters_on_one_line", parameters},
    {"folded_lines", folded_lines}, {"dropped_long_line", dropped_line},
    {"vtimezones", timezones},
    {"shared_uid", shared_uid}, {"nested_unknown", nesting},
    {"x_properties", x_properties}, {"costly_rules", costly_rules},
};

void parse_whole(benchmark::State& state, const Shape* shape) {
    std::string text = shape->make((int)state.range(0));
    char tzid[] = "America/New_York";
    for (auto _ : state) {
        protstream* s = prot_readmap(text.data(), (unsigned)text.size());
        array_t* result = nullptr;
        benchmark::DoNotOptimize(calparser_prot_to_dbstruct(
            s, &result, CALPARSER_FORMAT_ICAL, 0, nullptr, tzid, nullptr, nullptr, nullptr));
        calparser_FreeComponentArrayAndDestroy(&result);
        prot_free(s);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)text.size());
}

// Prints the usual console lines and keeps each run's time for the table.
class GrowthReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            std::string name = run.benchmark_name();
            size_t slash = name.rfind('/');
            if (slash == std::string::npos || run.iterations == 0) continue;
            times_[name.substr(0, slash)][std::stoi(name.substr(slash + 1))] =
                run.GetAdjustedCPUTime();
        }
    }
    void PrintGrowth() const {
        printf("\n%-34s %12s %12s %12s %10s\n", "shape", "t(N)", "t(2N)", "t(4N)", "4N/N");
        for (const auto& [name, bySize] : times_) {
            if (bySize.size() != 3) continue;
            auto it = bySize.begin();
            double t1 = it->second, t2 = (++it)->second, t4 = (++it)->second;
            printf("%-34s %12.3f %12.3f %12.3f %10.2f%s\n", name.c_str(), t1, t2, t4, t4 / t1,
                   t4 / t1 > 5 ? "  <- worse than linear" : "");
        }
    }

private:
    std::map<std::string, std::map<int, double>> times_;
};

void drop_log_line(void*, int, const char*) {}

}  // namespace

int main(int argc, char** argv) {
    kvallog_set_sink(drop_log_line, nullptr);  // hostile inputs log a lot; time the parse only
    if (parser_init() != 0) return 1;
    for (const Shape& shape : kShapes)
        benchmark::RegisterBenchmark((std::string("BM_Hostile_") + shape.name).c_str(), parse_whole,
                                     &shape)
            ->Arg(kBase)->Arg(2 * kBase)->Arg(4 * kBase)
            ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    GrowthReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintGrowth();
    parser_uninit();
    return 0;
}
