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
//   default zone (the test below);
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

// An all-day series expanded in a series zone other than the server's
// default zone keeps that zone's wall-clock time from one instance to the
// next, so after a daylight-saving change its instances stand an hour before
// UTC midnight. They are written as their dates, which read back as the
// default zone's (UTC) midnights.
TEST_F(SerializeRoundTrip, AllDayInstancesOfAnotherSeriesZoneComeBackAtDefaultMidnights) {
    const std::string input =
        "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:days\r\nDTSTART;VALUE=DATE:20080308\r\n"
        "RRULE:FREQ=DAILY;COUNT=3\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
    ParsedText first(input, "America/New_York");
    ASSERT_EQ(0, first.status);
    const std::string text = write(first.result);
    for (const char* date : {"20080310", "20080309", "20080308"})
        EXPECT_NE(std::string::npos, text.find(std::string("DTSTART;VALUE=DATE:") + date + "\r\n"));
    ParsedText second(text, kSeriesZone);
    ASSERT_EQ(0, second.status);
    ASSERT_EQ(3u, first.slot(CALPARSER_SLOT_EVENTS)->count);
    ASSERT_EQ(3u, second.slot(CALPARSER_SLOT_EVENTS)->count);
    // Latest first: 10 March (19:00 EDT on the 9th), 9 and 8 March (19:00 EST).
    const int32_t made[] = {1205103600, 1205020800, 1204934400};
    const int32_t read[] = {1205107200, 1205020800, 1204934400};
    for (unsigned i = 0; i < 3; i++) {
        const CALDB_COMPONENT* b = first.component(CALPARSER_SLOT_EVENTS, i);
        const CALDB_COMPONENT* a = second.component(CALPARSER_SLOT_EVENTS, i);
        EXPECT_EQ(made[i], b->tDtStart);
        EXPECT_EQ(read[i], a->tDtStart);
        EXPECT_EQ(1u, a->bDtStartIsDate);
        EXPECT_EQ(b->tRecurrenceId, a->tRecurrenceId);  // written in UTC
    }
}

}  // namespace
