// The parse entry: chunked intake, conversion, format dispatch, and the
// rules for the result array.
#include <gtest/gtest.h>

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "core/parser/calparser.h"
#include "public/util/kvallog.h"
#include "tests/support/heap_failure.h"
#include "tests/support/lexed.h"
#include "tests/support/log_capture.h"
#include "tests/support/zone_builders.h"

namespace {

constexpr size_t kChunk = 4096;

// The tokens of `text` read through the intake as format `format`.
void lex(Lexed* out, const std::string& text, int format = CALPARSER_FORMAT_ICAL,
         const char* charset = nullptr) {
    protstream* s = prot_readmap(text.data(), (unsigned)text.size());
    out->rc = calparser_create_token_list(s, &out->tokens, format, 0, charset);
    prot_free(s);
}

// A line "X-PAD:xxx...\r\n" of exactly `len` bytes (len >= 9).
std::string pad_line(size_t len) {
    return "X-PAD:" + std::string(len - 8, 'x') + "\r\n";
}

int parse(const std::string& text, array_t** ppResult, int format = CALPARSER_FORMAT_ICAL) {
    protstream* s = prot_readmap(text.data(), (unsigned)text.size());
    char tzid[] = "Africa/Casablanca";
    int rc = calparser_prot_to_dbstruct(s, ppResult, format, 0, nullptr, tzid, nullptr, nullptr,
                                        nullptr);
    prot_free(s);
    return rc;
}

// Each row's `before` ends exactly at the first 4096-byte boundary, after a
// pad line; `after` follows it.
TEST(ParseEntry, LinesCutByTheChunkBoundaryAreJoined) {
    const struct {
        const char *before, *after, *value;
        unsigned lastLine;
        int format = CALPARSER_FORMAT_ICAL;
        const char* charset = nullptr;
    } cases[] = {
        // CR ends the first chunk, LF begins the second: one line end, no empty line.
        {"SUMMARY:abcdefghi\r", "\nLOCATION:Room 4\r\n", "abcdefghi", 3},
        // A fold's space right after the boundary still joins the lines.
        {"DESCRIPTION:first\r\n", " half\r\nLOCATION:x\r\n", "firsthalf", 4},
        // The strict format finds its BEGIN:VCALENDAR line after other lines.
        {"BEGIN:VCALENDAR\r\n", "END:VCALENDAR\r\n", nullptr, 3,
         CALPARSER_FORMAT_ICAL_STRICT},
        // A two-byte EUC-JP character cut by the boundary is joined with its
        // second byte instead of being replaced.
        {"SUMMARY:abc\xC6", "\xFC\xCB\xDC\r\nLOCATION:x\r\n", "abc\xE6\x97\xA5\xE6\x9C\xAC", 3,
         CALPARSER_FORMAT_ICAL, "EUC-JP"},
    };
    for (const auto& c : cases) {
        std::string before = c.before;
        Lexed l;
        lex(&l, pad_line(kChunk - before.size()) + before + c.after, c.format, c.charset);
        SCOPED_TRACE(c.before);
        ASSERT_EQ(0, l.rc);
        ASSERT_EQ(3u, l.count());
        EXPECT_STREQ(c.value, l.at(1)->pValue);
        EXPECT_EQ(2u, l.at(1)->nLine);
        EXPECT_EQ(c.lastLine, l.at(2)->nLine);
    }
}

// A DESCRIPTION line of exactly `len` bytes (CR LF included), folded after
// every 75 bytes when `folded` is set.
std::string long_line(size_t len, bool folded) {
    std::string line = "DESCRIPTION:";
    while (line.size() < len - 2) {
        bool foldHere = folded && line.size() % 78 == 75 && len - 2 - line.size() >= 4;
        line += foldHere ? "\r\n " : std::string(1, (char)('a' + line.size() % 26));
    }
    return line + "\r\n";
}

// Short complete lines filling exactly `len` bytes (0 or at least 9).
std::string pad_lines(size_t len) {
    std::string text;
    while (len - text.size() >= 109) text += pad_line(100);
    if (len > text.size()) text += pad_line(len - text.size());
    return text;
}

// Lines of 1 to 8 KB, folded or not, ending within 8 bytes of a multiple of
// the chunk size: the intake gives the tokens of a one-buffer lex whenever a
// chunk (with the carried start of the line) can hold the whole line, that is
// when the line starts after the chunk before the one it ends in began.
TEST(ParseEntry, LinesEndingNearChunkBoundariesAreKept) {
    const size_t lengths[] = {1024, 3000, 4100, 6000, 7800, 8192};
    const size_t boundaries[] = {kChunk, 2 * kChunk, 3 * kChunk};
    unsigned checked = 0;
    for (bool folded : {false, true})
        for (size_t len : lengths)
            for (size_t boundary : boundaries)
                for (int delta = -8; delta <= 8; delta++) {
                    size_t end = boundary + delta;
                    if (end < len) continue;
                    size_t start = end - len;
                    if (start > 0 && start < 9) continue;  // no pad line that short
                    size_t lastChunk = (end + kChunk - 1) / kChunk;
                    if (lastChunk >= 2 && start <= (lastChunk - 2) * kChunk) continue;
                    std::string text = pad_lines(start) + long_line(len, folded) +
                                       "LOCATION:after\r\n" + pad_line(200);
                    SCOPED_TRACE(testing::Message() << "folded " << folded << " length "
                                                    << len << " ending at " << end);
                    Lexed whole, chunked;
                    lex_chunk(whole, text);  // as if no chunk boundary existed
                    lex(&chunked, text);
                    ASSERT_EQ(0, chunked.rc);
                    // Line numbers may differ.
                    ASSERT_EQ(token_texts(whole.tokens), token_texts(chunked.tokens));
                    checked++;
                }
    EXPECT_GT(checked, 300u);
}

// A descriptor whose reads give `text` and then fail with EIO: the text ends
// right before an unmapped page and is read through /proc/self/mem.
class FailingDescriptor {
public:
    explicit FailingDescriptor(const std::string& text) {
        long page = sysconf(_SC_PAGESIZE);
        size_t pages = (text.size() + page - 1) / page;
        mappedLen_ = (pages + 1) * page;
        map_ = mmap(nullptr, mappedLen_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1,
                    0);
        if (map_ == MAP_FAILED) return;
        char* hole = static_cast<char*>(map_) + pages * page;
        munmap(hole, page);
        mappedLen_ -= page;
        char* start = hole - text.size();
        memcpy(start, text.data(), text.size());
        fd_ = open("/proc/self/mem", O_RDONLY);
        if (fd_ >= 0) lseek(fd_, (off_t)(uintptr_t)start, SEEK_SET);
    }
    ~FailingDescriptor() {
        if (fd_ >= 0) close(fd_);
        if (map_ != MAP_FAILED) munmap(map_, mappedLen_);
    }
    int fd() const { return fd_; }

private:
    void* map_ = MAP_FAILED;
    size_t mappedLen_ = 0;
    int fd_ = -1;
};

// A stream that fails part-way is no whole calendar: the intake keeps the
// tokens of the complete lines it read and fails, the parse gives 2 and an
// empty result (no pass runs over a token list that failed).
TEST(ParseEntry, ReadErrorPartWayFailsTheParse) {
    std::string text = "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:cut\r\n";
    text += pad_lines(5000 - text.size()) + "SUMMARY:cut off";
    LogCapture log;
    {
        FailingDescriptor failing(text);
        ASSERT_LE(0, failing.fd());
        protstream* s = prot_file(failing.fd(), 0);
        array_t* tokens = nullptr;
        EXPECT_EQ(2, calparser_create_token_list(s, &tokens, CALPARSER_FORMAT_ICAL, 0, nullptr));
        EXPECT_EQ(EIO, prot_error(s));
        ASSERT_NE(nullptr, tokens);
        // Three lines, 49 pad lines of 100 bytes and one of 60: all but the cut one.
        EXPECT_EQ(53u, tokens->count);
        calparser_FreeTokenList(tokens);
        array_delete(tokens);
        prot_free(s);
        ASSERT_EQ(1u, log.lines().size());
        EXPECT_EQ(3, log.lines()[0].first);  // the stream logs the failed read
    }
    {
        FailingDescriptor failing(text);
        protstream* s = prot_file(failing.fd(), 0);
        array_t* result = nullptr;
        char tzid[] = "Africa/Casablanca";
        EXPECT_EQ(2, calparser_prot_to_dbstruct(s, &result, CALPARSER_FORMAT_ICAL, 0, nullptr,
                                                tzid, nullptr, nullptr, nullptr));
        ASSERT_NE(nullptr, result);
        EXPECT_EQ(0u, result->count);
        calparser_FreeComponentArrayAndDestroy(&result);
        prot_free(s);
    }
}

// Strict iCalendar needs VCALENDAR in the first chunk only; SXML, empty input
// and a strict text without VCALENDAR give 2 and an empty result. An earlier
// result is freed before the format is even looked at.
TEST(ParseEntry, FormatsAndRefusals) {
    std::string longer = "X-PAD:x\r\nBEGIN:VCALENDAR\r\n";
    while (longer.size() < 3 * kChunk) longer += pad_line(100);
    Lexed strict;
    lex(&strict, longer + "END:VCALENDAR\r\n", CALPARSER_FORMAT_ICAL_STRICT);
    EXPECT_EQ(0, strict.rc);

    array_t* result = nullptr;
    EXPECT_EQ(2, parse("METHOD:CANCEL\r\nSUMMARY:no calendar\r\n", &result,
                       CALPARSER_FORMAT_ICAL_STRICT));
    ASSERT_EQ(0u, result ? result->count : 1);
    EXPECT_EQ(2, parse("<event><summary>x</summary></event>\n", &result,
                       CALPARSER_FORMAT_SXML));
    ASSERT_EQ(0u, result ? result->count : 1);
    EXPECT_EQ(2, parse("", &result));
    ASSERT_EQ(0u, result ? result->count : 1);
    EXPECT_EQ(1, parse("BEGIN:VCALENDAR\r\n", &result, 5));
    EXPECT_EQ(nullptr, result);
    EXPECT_EQ(1, parse("", nullptr));  // no place for the result
}

// Every allocation of a whole parse may fail, wherever it falls: in the
// intake, a builder, a storer, the zones or the expansion. The parse then
// loses what it could not build and leaves nothing behind; unhindered, the
// calendar gives its zone, the two instances the EXDATE leaves of three, and
// the to-do, its due time read in the zone a Windows zone name stands for.
// (ICU's own caches, which a rule iterator fills, would count as leaks: the
// series has dates only.)
TEST(ParseEntry, WholeParseSurvivesEveryAllocationFailure) {
    const std::string text =
        "BEGIN:VCALENDAR\r\nMETHOD:REQUEST\r\nX-KVAL-CALPROPS-NAME:n\r\n"
        "BEGIN:VTIMEZONE\r\nTZID:Test/East\r\n"
        "BEGIN:STANDARD\r\nDTSTART:19701101T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=11;BYDAY=1SU\r\n"
        "TZOFFSETFROM:-0400\r\nTZOFFSETTO:-0500\r\nEND:STANDARD\r\n"
        "BEGIN:DAYLIGHT\r\nDTSTART:19700308T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=2SU\r\n"
        "TZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\nEND:DAYLIGHT\r\nEND:VTIMEZONE\r\n"
        "BEGIN:VEVENT\r\nUID:e1\r\nDTSTART;TZID=Test/East:20240105T090000\r\nDURATION:PT1H\r\n"
        "RDATE:20240106T140000Z,20240107T140000Z\r\nEXDATE:20240106T140000Z\r\n"
        "ATTENDEE;CN=Ann;PARTSTAT=ACCEPTED:mailto:ann@example.com\r\n"
        "ORGANIZER:mailto:boss@example.com\r\nCATEGORIES:a,b\r\nX-FOO;X-P=1:bar\r\n"
        "BEGIN:VALARM\r\nTRIGGER:-PT15M\r\nACTION:DISPLAY\r\nEND:VALARM\r\nEND:VEVENT\r\n"
        "BEGIN:VTODO\r\nUID:t1\r\nDUE;TZID=Eastern Standard Time:20240107T070000\r\n"
        "SUMMARY:do\r\nEND:VTODO\r\n"
        "BEGIN:VJOURNAL\r\nUID:j\r\nEND:VJOURNAL\r\nEND:VCALENDAR\r\n";
    ASSERT_EQ(0, zone_test::fill_registry(
                     {zone_test::utc_fallback_zone(), zone_test::fixed_zone("America/New_York", -300)}));
    kvallog_sink_t previous = kvallog_set_sink([](void*, int, const char*) {}, nullptr);
    auto counts = [](const array_t* result) {
        std::vector<unsigned> n;
        for (unsigned i = 0; i < result->count; i++)
            n.push_back(static_cast<const array_t*>(result->data[i])->count);
        return n;
    };
    auto due_of_todo = [](const array_t* result) {
        const array_t* todos = static_cast<const array_t*>(result->data[CALPARSER_SLOT_TODOS]);
        return static_cast<const CALDB_VTODO*>(
                   static_cast<const CAL_VCOMPONENT*>(todos->data[0])->pComponent)->tDue;
    };
    array_t* warm = nullptr;   // one-time tables stay outside the count
    ASSERT_EQ(0, parse(text, &warm));
    EXPECT_EQ((std::vector<unsigned>{1, 2, 1, 0, 0}), counts(warm));
    EXPECT_EQ(1704628800, due_of_todo(warm));
    calparser_FreeComponentArrayAndDestroy(&warm);
    count_failure_points([&] {
        array_t* result = nullptr;
        int rc = parse(text, &result);
        heap_failure::g_until_failure = -1;   // the checks below allocate
        bool whole = rc == 0 && result &&
                     counts(result) == std::vector<unsigned>{1, 2, 1, 0, 0} &&
                     due_of_todo(result) == 1704628800;   // 2024-01-07 12:00:00Z
        calparser_FreeComponentArrayAndDestroy(&result);
        return whole;
    }, 100);
    kvallog_set_sink(previous, nullptr);
    CALPARSER_TIMEZONE_LIST::Instance()->removeAllTimeZones();
}

}  // namespace
