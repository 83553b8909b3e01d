// Every corpus file parses as iCalendar text through the parse entry and its
// result is freed, without a crash, a hang, a leak or a sanitizer report; and
// parses on several threads at once give what one thread gives.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/parser/calparser.h"

namespace fs = std::filesystem;

namespace {

constexpr int kThreads = 4;

fs::path corpus_dir() {
    const char* dir = getenv("CALPARSER_CORPUS_DIR");
    return dir && *dir ? dir : CALPARSER_CORPUS_DIR;
}

std::vector<fs::path> files_under(const fs::path& dir) {
    std::vector<fs::path> files;
    if (!fs::is_directory(dir)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file() && entry.path().extension() != ".md")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// A UID the input does not hold was generated for a master without one: it
// differs on every parse, so only its presence is described.
const char* stable_uid(const char* uid, const std::string& input) {
    if (!uid) return "-";
    return input.find(uid) == std::string::npos ? "generated" : uid;
}

void describe_components(std::ostringstream& out, const array_t* slot,
                         const std::string& input) {
    for (unsigned i = 0; slot && i < slot->count; i++) {
        const CAL_VCOMPONENT* w = static_cast<const CAL_VCOMPONENT*>(slot->data[i]);
        const CALDB_COMPONENT* c = static_cast<const CALDB_COMPONENT*>(w->pComponent);
        out << " [" << w->nType << " " << stable_uid(c->pUid, input) << " "
            << (c->pSummary ? c->pSummary : "-") << " " << c->tDtStart << " "
            << c->tRecurrenceId << " " << c->nCompState << " "
            << (c->aAttendees ? c->aAttendees->count : 0) << " "
            << (c->aAlarms ? c->aAlarms->count : 0) << "]";
    }
}

// Parses `text` as format 3 and describes what was made; frees everything.
std::string parse_and_describe(const std::string& text) {
    protstream* s = prot_readmap(text.data(), (unsigned)text.size());
    array_t* result = nullptr;
    unsigned state = 0;
    char tzid[] = "America/New_York";
    int rc = calparser_prot_to_dbstruct(s, &result, CALPARSER_FORMAT_ICAL, 0, nullptr, tzid,
                                        nullptr, &state, nullptr);
    prot_free(s);
    std::ostringstream out;
    out << "rc " << rc << " state " << state << " slots " << (result ? result->count : 0);
    for (unsigned slot = 0; result && slot < result->count; slot++) {
        const array_t* items = static_cast<const array_t*>(result->data[slot]);
        out << " | " << items->count;
        if (slot == CALPARSER_SLOT_EVENTS || slot == CALPARSER_SLOT_TODOS)
            describe_components(out, items, text);
    }
    calparser_FreeComponentArrayAndDestroy(&result);
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
