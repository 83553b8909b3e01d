// What calparse prints for every corpus file and every example (its JSON, its
// log lines and its exit status) stays exactly what tests/data/equality/
// holds: a refactor or an optimisation that changes a byte of any of them
// fails here. With CALPARSER_EQUALITY_REGENERATE=1 in the environment the
// test writes the expected files instead (tests/data/equality/regenerate.sh).
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/corpus_files.h"

namespace fs = std::filesystem;
using corpus_files::corpus_dir;
using corpus_files::read_file;

namespace {

fs::path calparse_path() {
    return fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "tools" /
           "calparse" / "calparse";
}

fs::path expected_dir() {
    return fs::path(CALPARSER_SOURCE_ROOT) / "tests" / "data" / "equality";
}

bool regenerating() {
    const char* flag = getenv("CALPARSER_EQUALITY_REGENERATE");
    return flag && strcmp(flag, "1") == 0;
}

// Generated UIDs (16-8-8-16 lower-case hex digits) hold the time and the
// process id, so each distinct one is replaced by "<uid N>" in order of first
// appearance: the output stays the same from run to run and still shows which
// components share a UID.
std::string mask_generated_uids(const std::string& text) {
    static const std::regex kGenerated("[0-9a-f]{16}-[0-9a-f]{8}-[0-9a-f]{8}-[0-9a-f]{16}");
    std::map<std::string, int> seen;
    std::string out;
    size_t done = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), kGenerated), end; it != end; ++it) {
        auto number = seen.emplace(it->str(), (int)seen.size() + 1).first->second;
        out += text.substr(done, it->position() - done) + "<uid " + std::to_string(number) + ">";
        done = it->position() + it->length();
    }
    return out + text.substr(done);
}

struct Input {
    fs::path dir;       // calparse runs here, so messages name `file` as given
    std::string file;   // relative to `dir`
    std::string args;   // options before the file
    fs::path expected;  // relative to tests/data/equality
};

// calparse's exit status, log lines and JSON for one input, in one text.
std::string observe(const Input& input) {
    fs::path temp = fs::temp_directory_path() / ("output_equality_" + std::to_string(getpid()));
    std::string command = "cd '" + input.dir.string() + "' && env -u CALPARSER_CONFIG '" +
                          calparse_path().string() + "' " + input.args + " --output json '" +
                          input.file + "' >'" + temp.string() + ".out' 2>'" + temp.string() +
                          ".err'";
    int status = std::system(command.c_str());
    status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::string text = "exit " + std::to_string(status) + "\n== stderr\n" +
                       read_file(temp.string() + ".err") + "== stdout\n" +
                       read_file(temp.string() + ".out");
    fs::remove(temp.string() + ".err");
    fs::remove(temp.string() + ".out");
    return mask_generated_uids(text);
}

std::vector<Input> inputs() {
    std::vector<Input> all;
    fs::path corpus = corpus_dir();
    for (const fs::path& path : corpus_files::files_under(corpus)) {
        std::string file = fs::relative(path, corpus).string();
        all.push_back({corpus, file, "", fs::path("corpus") / (file + ".out")});
    }
    fs::path root = CALPARSER_SOURCE_ROOT;
    for (const char* file : {"examples/holidays.ics", "examples/meeting.ics", "examples/todos.ics"})
        all.push_back({root, file, "", fs::path(file + std::string(".out"))});
    all.push_back({root, "examples/standup.xml", "--format xml", "examples/standup.xml.out"});
    all.push_back({root, "examples/iso-8859-1/concert.ics", "--charset ISO-8859-1",
                   "examples/iso-8859-1/concert.ics.out"});
    std::sort(all.begin(), all.end(),
              [](const Input& a, const Input& b) { return a.expected < b.expected; });
    return all;
}

TEST(OutputEquality, EveryInputGivesItsStoredOutput) {
    if (!fs::exists(calparse_path())) GTEST_SKIP() << "calparse is not built";
    std::vector<Input> all = inputs();
    // The examples alone are five; the corpus must be there too.
    ASSERT_GT(all.size(), 5u) << "no corpus at " << corpus_dir();
    for (const Input& input : all) {
        fs::path stored = expected_dir() / input.expected;
        std::string got = observe(input);
        if (regenerating()) {
            fs::create_directories(stored.parent_path());
            std::ofstream(stored, std::ios::binary) << got;
            continue;
        }
        ASSERT_TRUE(fs::exists(stored)) << stored << " is missing; see regenerate.sh";
        std::string expected = read_file(stored);
        // A difference is shown as a line diff.
        EXPECT_EQ(expected, got) << input.expected.string();
    }
}

}  // namespace
