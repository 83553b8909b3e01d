// Every corpus file parses as iCalendar text through the parse entry and its
// result is freed, without a crash, a hang, a leak or a sanitizer report; and
// parses on several threads at once give what one thread gives.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/parser/calparser.h"
#include "tests/support/corpus_files.h"
#include "tests/support/parsed_text.h"

namespace fs = std::filesystem;
using corpus_files::corpus_dir;
using corpus_files::files_under;
using corpus_files::read_file;

namespace {

constexpr int kThreads = 4;

// Parses `text` as iCalendar and describes what was made; frees everything.
// The UID is left out: one generated for a master without one differs on
// every parse.
std::string parse_and_describe(const std::string& text) {
    ParsedText parsed(text, "America/New_York");
    std::ostringstream out;
    out << "rc " << parsed.status << " state " << parsed.methodState << " slots "
        << (parsed.result ? parsed.result->count : 0);
    for (unsigned slot = 0; parsed.result && slot < parsed.result->count; slot++) {
        out << " | " << parsed.slot(slot)->count;
        bool components = slot == CALPARSER_SLOT_EVENTS || slot == CALPARSER_SLOT_TODOS;
        for (unsigned i = 0; components && i < parsed.slot(slot)->count; i++) {
            const CALDB_COMPONENT* c = parsed.component(slot, i);
            out << " [" << c->nType << " " << (c->pSummary ? c->pSummary : "-") << " "
                << c->tDtStart << " " << c->tRecurrenceId << " " << c->nCompState << " "
                << (c->aAttendees ? c->aAttendees->count : 0) << " "
                << (c->aAlarms ? c->aAlarms->count : 0) << "]";
        }
    }
    return out.str();
}

class CorpusParse : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, parser_init()); }
    static void TearDownTestSuite() { parser_uninit(); }
};

TEST_F(CorpusParse, EveryFileParsesAndIsFreed) {
    std::vector<fs::path> files = files_under(corpus_dir());
    if (files.empty()) GTEST_SKIP() << "no corpus at " << corpus_dir();
    // A hang is caught by the test runner's time limit.
    for (const fs::path& path : files) {
        SCOPED_TRACE(path.string());
        parse_and_describe(read_file(path));
    }
}

TEST_F(CorpusParse, ParsesOnSeveralThreadsMatchOneThread) {
    std::vector<fs::path> files = files_under(fs::path(CALPARSER_SOURCE_ROOT) / "examples");
    std::vector<fs::path> corpus = files_under(corpus_dir());
    for (size_t i = 0; i < corpus.size(); i += 7) files.push_back(corpus[i]);
    std::vector<std::string> texts;
    for (const fs::path& path : files)
        if (path.extension() == ".ics") texts.push_back(read_file(path));
    ASSERT_FALSE(texts.empty());

    std::vector<std::string> alone;
    for (const std::string& text : texts) alone.push_back(parse_and_describe(text));

    std::vector<std::vector<std::string>> together(kThreads,
                                                   std::vector<std::string>(texts.size()));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; t++)
        threads.emplace_back([&, t] {
            // Each thread starts at another file, so different files overlap.
            for (size_t k = 0; k < texts.size(); k++) {
                size_t i = (k + t * texts.size() / kThreads) % texts.size();
                together[t][i] = parse_and_describe(texts[i]);
            }
        });
    for (std::thread& th : threads) th.join();
    for (int t = 0; t < kThreads; t++)
        for (size_t i = 0; i < texts.size(); i++)
            EXPECT_EQ(alone[i], together[t][i]) << "thread " << t << ", input " << i;
}

}  // namespace
