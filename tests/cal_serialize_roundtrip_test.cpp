// Parse -> write -> parse is the identity: for every corpus file and every
// example that parses with status 0, the records read back from the written
// text equal the first parse's field by field, and writing them again gives
// the same bytes.
//
// What the records cannot carry through a round trip, and why (the only
// exceptions the comparison makes):
//
// | what                                   | why                                        |
// |----------------------------------------|--------------------------------------------|
// | slot 0 gains the registry zone of each | a TZID needs its VTIMEZONE in the file;    |
// | TZID an X-KVAL-*-TZID names that the   | the added zone is checked against the      |
// | input did not define                   | registry's, field by field                 |
//
// Fields no record keeps (a DURATION given instead of DTEND, the TZID of a
// time that no X-KVAL-DTSTART-TZID names, DTSTAMP) are not in the records
// and so not compared; the writer's header says how it writes them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/parser/calparser.h"
#include "tests/print_capture.h"
#include "tests/support/corpus_files.h"
#include "tests/support/record_compare.h"

namespace fs = std::filesystem;

namespace {

// The series zone of the expansion: the server's default zone, where dates are read.
char* const kSeriesZone = nullptr;

struct Input {
    fs::path path;
    int format;
    const char* charset;
};

std::vector<Input> inputs() {
    std::vector<Input> all;
    for (const fs::path& p : corpus_files::files_under(corpus_files::corpus_dir()))
        all.push_back({p, CALPARSER_FORMAT_ICAL, nullptr});
    for (const fs::path& p : corpus_files::files_under(fs::path(CALPARSER_SOURCE_ROOT) / "examples")) {
        const bool latin1 = p.parent_path().filename() == "iso-8859-1";
        const int format = p.extension() == ".xml" ? CALPARSER_FORMAT_XML : CALPARSER_FORMAT_ICAL;
        all.push_back({p, format, latin1 ? "ISO-8859-1" : nullptr});
    }
    return all;
}

struct Parse {
    int status = -1;
    array_t* result = nullptr;
    ~Parse() { calparser_FreeComponentArrayAndDestroy(&result); }
};

void parse(const std::string& text, int format, const char* charset, Parse* out) {
    protstream* s = prot_readmap(text.data(), (unsigned)text.size());
    out->status = calparser_prot_to_dbstruct(s, &out->result, format, 0, charset, kSeriesZone,
                                             nullptr, nullptr, nullptr);
    prot_free(s);
}

std::string write(array_t* result) {
    return written_by([&](protstream* s) { EXPECT_EQ(0, calparser_write_ical(s, result, 0)); });
}

class SerializeRoundTrip : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, parser_init()); }
    static void TearDownTestSuite() { parser_uninit(); }
};

TEST_F(SerializeRoundTrip, EveryInputThatParsesComesBackFieldByFieldAndAsTheSameBytes) {
    std::vector<Input> files = inputs();
    ASSERT_FALSE(files.empty());
    int roundTrips = 0;
    for (const Input& in : files) {
        SCOPED_TRACE(in.path.string());
        Parse first;
        parse(corpus_files::read_file(in.path), in.format, in.charset, &first);
        if (first.status != 0) continue;
        const std::string text = write(first.result);
        Parse second;
        parse(text, CALPARSER_FORMAT_ICAL, nullptr, &second);
        ASSERT_EQ(0, second.status) << text;
        std::vector<std::string> diffs =
            record_compare::compare_results(first.result, second.result, true);
        for (size_t i = 0; i < diffs.size() && i < 10; i++) ADD_FAILURE() << diffs[i];
        if (!diffs.empty()) continue;
        EXPECT_EQ(text, write(second.result));
        roundTrips++;
    }
    EXPECT_GT(roundTrips, 200);
}

}  // namespace
