// Parse -> write -> parse is the identity: for every corpus file and every
// example that parses with status 0, the records read back from the written
// text equal the first parse's field by field, and writing them again gives
// the same bytes.
//
// What cannot come back, and why:
// - slot 0 gains the registry zone of a TZID that an X-KVAL-*-TZID names and
//   the input did not define: a TZID needs its VTIMEZONE in the file (the
//   comparison checks the added zone equals the registry's);
// - the time of an all-day instance that a series zone other than the
//   server's default zone made: a DATE reads back as a midnight of the
//   default zone;
// - a text longer than about 4 KB: the reader drops a logical line that its
//   4096-byte chunks do not complete;
// - texts no iCalendar input gives (a lone backslash before n, N, r, ;, , or
//   :, a quote or ; in a parameter value, an empty text field): they come
//   from XML input or callers.
// Fields no record keeps are not compared: a DURATION given instead of an end
// (written as the DTEND or DUE it gave), the TZID of a time that no
// X-KVAL-DTSTART-TZID or X-KVAL-DUE-TZID names (written in UTC), DTSTAMP.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/parser/calparser.h"
#include "tests/support/print_capture.h"
#include "tests/support/corpus_files.h"
#include "tests/support/parsed_text.h"
#include "tests/support/record_compare.h"

namespace fs = std::filesystem;

namespace {

// The series zone of the expansion: the server's default zone, where dates are read.
const char* const kSeriesZone = nullptr;

struct Input {
    fs::path path;
    int format;
    const char* charset;
};

std::vector<Input> inputs() {
    std::vector<Input> all;
    for (const fs::path& p : corpus_files::files_under(corpus_files::corpus_dir()))
        all.push_back({p, CALPARSER_FORMAT_ICAL, nullptr});
    const fs::path examples = fs::path(CALPARSER_SOURCE_ROOT) / "examples";
    for (const fs::path& p : corpus_files::files_under(examples)) {
        const bool latin1 = p.parent_path().filename() == "iso-8859-1";
        const int format = p.extension() == ".xml" ? CALPARSER_FORMAT_XML : CALPARSER_FORMAT_ICAL;
        all.push_back({p, format, latin1 ? "ISO-8859-1" : nullptr});
    }
    return all;
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
        ParsedText first(corpus_files::read_file(in.path), kSeriesZone, in.format, in.charset);
        if (first.status != 0) continue;
        const std::string text = write(first.result);
        ParsedText second(text, kSeriesZone);
        ASSERT_EQ(0, second.status) << text;
        std::vector<std::string> diffs =
            record_compare::compare_results(first.result, second.result);
        for (size_t i = 0; i < diffs.size() && i < 10; i++) ADD_FAILURE() << diffs[i];
        if (!diffs.empty()) continue;
        EXPECT_EQ(text, write(second.result));
        roundTrips++;
    }
    EXPECT_GT(roundTrips, 200);
}

}  // namespace
