// calparse as a user runs it: the JSON of each example matches the output
// checked by hand in tests/data/golden/, and failures reach standard error
// with the file name and a non-zero exit status.
#include <gtest/gtest.h>

#include <stdio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
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

std::string golden(const std::string& name) {
    std::ifstream in(fs::path(CALPARSER_SOURCE_ROOT) / "tests" / "data" / "golden" / name,
                     std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

class CalparseGolden : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(calparse_path())) GTEST_SKIP() << "calparse is not built";
    }
};

// The JSON of each example, against its golden file.
TEST_F(CalparseGolden, ExamplesMatchTheirGoldenJson) {
    const struct {
        const char* args;
        const char* golden;
    } examples[] = {
        // All-day events: dates at midnight of the default zone (UTC+0), the
        // end of a folded DESCRIPTION joined, TRANSP:TRANSPARENT shown.
        {"--output json examples/holidays.ics", "holidays.json"},
        // To-dos: a missing DTSTART takes the DUE, the alarm counts from the
        // due time, completion and percentages, the calendar's name.
        {"--output json examples/todos.ics", "todos.json"},
        {"--format xml --output json examples/standup.xml", "standup.json"},
        // Latin-1 text arrives as UTF-8; 20:00 in Paris in December is 19:00 UTC.
        {"--charset ISO-8859-1 --tz Europe/Paris --output json examples/iso-8859-1/concert.ics",
         "concert.json"},
        // A weekly series in New York, expanded at the end of the parse and
        // listed earliest first: 09:00 EST is 14:00 UTC, the alarm 15 minutes
        // earlier; one attendee without a directory entry keeps its address;
        // under REQUEST the state is 0x20008 for the event and 0x20004 for
        // the to-do, which has no attendee and starts at its DUE.
        {"--output json examples/meeting.ics", "meeting.json"},
    };
    for (const auto& example : examples) {
        SCOPED_TRACE(example.args);
        ToolRun run = run_calparse(example.args);
        EXPECT_EQ(0, run.status);
        EXPECT_EQ(golden(example.golden), run.out);
    }
}

// The series starts on 4 March 2027 at 09:00 New York time and keeps that
// wall-clock time across the change to daylight time on 14 March: 14:00 UTC
// before, 13:00 UTC after; end and alarm move with it, and the EXDATE of
// 18 March removes that instance.
TEST_F(CalparseGolden, SeriesKeepsItsLocalTimeAcrossDaylightSaving) {
    ToolRun run = run_calparse(
        "--tz America/New_York --output json tests/data/golden/spring_forward.ics");
    ASSERT_EQ(0, run.status);
    nlohmann::json doc = nlohmann::json::parse(run.out);
    const nlohmann::json& events = doc["events"];
    ASSERT_EQ(3u, events.size());
    const struct {
        const char *start, *local, *end, *alarm;
    } instances[] = {
        {"20270304T140000Z", "20270304T090000", "20270304T143000Z", "20270304T134500Z"},
        {"20270311T140000Z", "20270311T090000", "20270311T143000Z", "20270311T134500Z"},
        {"20270325T130000Z", "20270325T090000", "20270325T133000Z", "20270325T124500Z"},
    };
    for (size_t i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(instances[i].start, events[i]["start"]["utc"]);
        EXPECT_EQ(instances[i].local, events[i]["start"]["local"]);
        EXPECT_EQ(instances[i].start, events[i]["recurrenceId"]["utc"]);
        EXPECT_EQ(instances[i].end, events[i]["end"]["utc"]);
        EXPECT_EQ(instances[i].alarm, events[i]["alarms"][0]["trigger"]["utc"]);
        EXPECT_EQ("spring-sync-2027@example.com", events[i]["uid"]);
        EXPECT_EQ(nlohmann::json::array({"20270318T090000"}), events[i]["exdates"]);
    }
}

// The same series read in UTC: by default it still keeps 09:00 New York
// time (the zone of its DTSTART); with --literal-series-zone the weeks are
// counted in UTC, so every instance stays at 14:00Z, and the EXDATE, read as
// 09:00Z, removes none of the four.
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
// lists the instances in time order.
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

    // Kind, UID and recurrence id of every component of calparse's JSON.
    auto identities = [](const std::string& json) {
        nlohmann::json doc = nlohmann::json::parse(json);
        std::vector<std::string> out;
        for (const char* kind : {"events", "todos"})
            for (const nlohmann::json& c : doc[kind])
                out.push_back(std::string(kind) + " " + c.value("uid", "") + " " +
                              c.value("/recurrenceId/utc"_json_pointer, ""));
        return out;
    };
    const fs::path written = fs::temp_directory_path() / ("calparse_xml_" +
                                                         std::to_string(getpid()) + ".xml");
    // Four instances of a series and a to-do; all-day events.
    const std::pair<const char*, size_t> examples[] = {{"examples/meeting.ics", 5},
                                                       {"examples/holidays.ics", 2}};
    for (const auto& [example, count] : examples) {
        SCOPED_TRACE(example);
        ToolRun xml = run_calparse(std::string("--output xml ") + example);
        ASSERT_EQ(0, xml.status);
        std::ofstream(written, std::ios::binary) << xml.out;
        ToolRun back = run_calparse("--format xml --output json '" + written.string() + "'");
        ASSERT_EQ(0, back.status);
        std::vector<std::string> original =
            identities(run_calparse(std::string("--output json ") + example).out);
        EXPECT_EQ(count, original.size());
        EXPECT_EQ(original, identities(back.out));
    }
    fs::remove(written);
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
