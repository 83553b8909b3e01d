// calparse as a user runs it: a series read in another zone or with
// --literal-series-zone, the summary and XML outputs, and failures on
// standard error with the file name and a non-zero exit status. The JSON of
// every example and corpus file is output_equality_test's.
#include <gtest/gtest.h>

#include <stdio.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

namespace {

// The tool beside this test in the build tree.
fs::path calparse_path() {
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "tools" /
           "calparse" / "calparse";
}

struct ToolRun {
    int status = -1;
    std::string out;   // standard output, or standard error with errToOut
};

// Runs calparse with `args` from the source root, where the examples are;
// no configuration file, so the default zone is the built-in one.
ToolRun run_calparse(const std::string& args, bool errToOut = false) {
    std::string command = "cd '" CALPARSER_SOURCE_ROOT "' && env -u CALPARSER_CONFIG '" +
                          calparse_path().string() + "' " + args +
                          (errToOut ? " 2>&1 >/dev/null" : " 2>/dev/null");
    ToolRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class CalparseGolden : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(calparse_path())) GTEST_SKIP() << "calparse is not built";
    }
};

// The series of tests/data/golden/spring_forward.ics starts on 4 March 2027
// at 09:00 New York time; an EXDATE removes 18 March. Read in UTC it still
// keeps 09:00 New York time by default (the zone of its DTSTART): 14:00Z
// before the change to daylight time on 14 March, 13:00Z after. With
// --literal-series-zone the weeks are counted in UTC, so every instance stays
// at 14:00Z, and the EXDATE, read as 09:00Z, removes none of the four.
TEST_F(CalparseGolden, LiteralSeriesZoneExpandsInTheDefaultZone) {
    const struct {
        const char* options;
        std::vector<std::string> starts;
    } rows[] = {
        {"--tz UTC", {"20270304T140000Z", "20270311T140000Z", "20270325T130000Z"}},
        {"--tz UTC --literal-series-zone",
         {"20270304T140000Z", "20270311T140000Z", "20270318T140000Z", "20270325T140000Z"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.options);
        ToolRun run = run_calparse(std::string(row.options) +
                                   " --output json tests/data/golden/spring_forward.ics");
        ASSERT_EQ(0, run.status);
        nlohmann::json doc = nlohmann::json::parse(run.out);
        std::vector<std::string> starts;
        for (const nlohmann::json& event : doc["events"])
            starts.push_back(event["start"]["utc"]);
        EXPECT_EQ(row.starts, starts);
    }
}

// The summary shows a series once, headed by its earliest instance, and
// lists the instances in time order; end and alarm move with the start.
TEST_F(CalparseGolden, SummaryListsInstancesEarliestFirst) {
    ToolRun run = run_calparse("--tz America/New_York tests/data/golden/spring_forward.ics");
    EXPECT_EQ(0, run.status);
    const std::string zone = " America/New_York)\n";
    EXPECT_EQ("tests/data/golden/spring_forward.ics: parsed; method PUBLISH; 1 time zones, "
              "3 events, 0 to-dos\n"
              "time zone America/New_York\n"
              "    standard EST: UTC-05:00, from month 11, week 1, weekday 1, at 02:00\n"
              "    daylight EDT: UTC-04:00, from month 3, week 2, weekday 1, at 02:00\n"
              "event \"Spring sync\"\n"
              "  uid spring-sync-2027@example.com\n"
              "  start 20270304T140000Z (20270304T090000" + zone +
              "  end   20270304T143000Z (20270304T093000" + zone +
              "  status CONFIRMED, priority 0\n"
              "  alarm DISPLAY at 20270304T134500Z (20270304T084500 America/New_York): "
              "Reminder\n"
              "  rule FREQ=WEEKLY;COUNT=4\n"
              "  instances: 3\n"
              "    20270304T140000Z (20270304T090000" + zone +
              "    20270311T140000Z (20270311T090000" + zone +
              "    20270325T130000Z (20270325T090000" + zone,
              run.out);
}

// The XML writer frames replies, so --output xml gives each event's and
// to-do's identity only; read back as XML, the identities are the same.
TEST_F(CalparseGolden, XmlOutputIsTheReplyFrameOfTheIdentities) {
    ToolRun todos = run_calparse("--output xml examples/todos.ics");
    EXPECT_EQ(0, todos.status);
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<iCalendar>\n"
              "<iCal version=\"2.0\" prodid=\"-//Velmora/Calendar Hosting Server//EN\">\n"
              "<TODO>\n<UID>tax-return-2026@example.com</UID>\n</TODO>\n"
              "<TODO>\n<UID>bike-repair-2026@example.com</UID>\n</TODO>\n"
              "<TODO>\n<UID>plants-2026@example.com</UID>\n</TODO>\n"
              "</iCal>\n</iCalendar>\n",
              todos.out);

    // Kind, UID and recurrence id of every component of calparse's JSON: four
    // instances of a series and a to-do.
    auto identities = [](const std::string& args) {
        ToolRun run = run_calparse(args);
        EXPECT_EQ(0, run.status) << args;
        nlohmann::json doc = nlohmann::json::parse(run.out);
        std::vector<std::string> out;
        for (const char* kind : {"events", "todos"})
            for (const nlohmann::json& c : doc[kind])
                out.push_back(std::string(kind) + " " + c.value("uid", "") + " " +
                              c.value("/recurrenceId/utc"_json_pointer, ""));
        return out;
    };
    std::vector<std::string> original = identities("--output json examples/meeting.ics");
    EXPECT_EQ(5u, original.size());
    EXPECT_EQ(original, identities("--output xml examples/meeting.ics | '" +
                                   calparse_path().string() +
                                   "' --format xml --output json /dev/stdin"));
}

TEST_F(CalparseGolden, FailuresNameTheFileAndExitNonZero) {
    ToolRun missing = run_calparse("no-such-file.ics", true);
    EXPECT_EQ(3, missing.status);
    EXPECT_EQ(0u, missing.out.find("calparse: cannot read no-such-file.ics: "));

    // A missing file among others: the rest are still shown, the message
    // stays off standard output, and the status still reports the failure.
    ToolRun mixed = run_calparse("no-such-file.ics examples/todos.ics");
    EXPECT_EQ(3, mixed.status);
    EXPECT_EQ(0u, mixed.out.find("examples/todos.ics: parsed;"));
    EXPECT_EQ(std::string::npos, mixed.out.find("no-such-file"));

    ToolRun notCalendar = run_calparse("--format ical-strict README.md", true);
    EXPECT_EQ(2, notCalendar.status);
    EXPECT_EQ(0u, notCalendar.out.find("calparse: README.md: no calendar data"));

    ToolRun usage = run_calparse("--output yaml examples/todos.ics", true);
    EXPECT_EQ(1, usage.status);
    EXPECT_EQ(0u, usage.out.find("calparse: unknown output yaml\nusage: calparse"));

    // A file that cannot be read outranks one that does not parse.
    ToolRun both = run_calparse("--format ical-strict README.md no-such-file.ics", true);
    EXPECT_EQ(3, both.status);
}

// Help and version go to standard output with status 0, before any file is read.
TEST_F(CalparseGolden, HelpAndVersionExitZero) {
    ToolRun help = run_calparse("--help no-such-file.ics");
    EXPECT_EQ(0, help.status);
    EXPECT_EQ(0u, help.out.find("usage: calparse [--format ical|ical-strict|xml|sxml]"));
    EXPECT_NE(std::string::npos, help.out.find("3 an input could not be read.\n"));
    ToolRun version = run_calparse("--version");
    EXPECT_EQ(0, version.status);
    EXPECT_EQ("calparse (core_parser10) " CALPARSER_VERSION "\n", version.out);
}

}  // namespace
