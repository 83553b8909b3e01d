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

// All-day events: dates at midnight of the default zone (UTC+0), the end
// of a folded DESCRIPTION joined, TRANSP:TRANSPARENT shown.
TEST_F(CalparseGolden, AllDayEvents) {
    ToolRun run = run_calparse("--output json examples/holidays.ics");
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(golden("holidays.json"), run.out);
}

// To-dos: a missing DTSTART takes the DUE, the alarm counts from the due
// time, completion and percentages, the calendar's name.
TEST_F(CalparseGolden, Todos) {
    ToolRun run = run_calparse("--output json examples/todos.ics");
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(golden("todos.json"), run.out);
}

TEST_F(CalparseGolden, XmlCalendar) {
    ToolRun run = run_calparse("--format xml --output json examples/standup.xml");
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(golden("standup.json"), run.out);
}

// Latin-1 text arrives as UTF-8; 20:00 in Paris in December is 19:00 UTC.
TEST_F(CalparseGolden, Latin1CalendarShownInItsZone) {
    ToolRun run = run_calparse(
        "--charset ISO-8859-1 --tz Europe/Paris --output json examples/iso-8859-1/concert.ics");
    EXPECT_EQ(0, run.status);
    EXPECT_EQ(golden("concert.json"), run.out);
}

TEST_F(CalparseGolden, FailuresNameTheFileAndExitNonZero) {
    ToolRun missing = run_calparse("no-such-file.ics", true);
    EXPECT_EQ(1, missing.status);
    EXPECT_EQ(0u, missing.out.find("calparse: cannot read no-such-file.ics: "));

    ToolRun strict = run_calparse("--format ical-strict examples/todos.ics");
    EXPECT_EQ(0, strict.status);
    ToolRun notCalendar = run_calparse("--format ical-strict README.md", true);
    EXPECT_EQ(1, notCalendar.status);
    EXPECT_EQ(0u, notCalendar.out.find("calparse: README.md: no calendar data"));

    ToolRun usage = run_calparse("--output yaml examples/todos.ics", true);
    EXPECT_EQ(2, usage.status);
    EXPECT_EQ(0u, usage.out.find("calparse: unknown output yaml\nusage: calparse"));
}

}  // namespace
