// Round trip: the example calendars are parsed, every event and to-do is
// written as SXML, and each line is read back against the record it came from.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "core/parser/calparser.h"
#include "core/parser/print_sxml.h"
#include "public/core_util/cal_time.h"
#include "tests/print_capture.h"

namespace {

constexpr time_t kStamp = 1796428800;  // 2026-12-05T00:00:00Z

std::string read_example(const char* name) {
    std::ifstream in(std::string(CALPARSER_SOURCE_ROOT) + "/examples/" + name, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

std::string datez(time_t t) {
    char buf[20] = {0};
    cal_time_timet_to_datez(t, buf);
    return buf;
}

std::string day(time_t t) {
    char buf[20] = {0};
    cal_time_timet_to_datezAllDay(t, buf);
    return buf;
}

std::string text(const char* value) { return value ? value : ""; }

// The value written after `key=` up to the next " KEY=" or the closing ">".
std::string field(const std::string& line, const std::string& key, const std::string& next) {
    size_t from = line.find(" " + key + "=");
    if (from == std::string::npos) return "<missing " + key + ">";
    from += key.size() + 2;
    size_t to = line.find(" " + next + "=", from);
    return line.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

// Checks one written line against the fields of its record; `endKey` is DE
// for events and E for to-dos, `end` their DTEND or DUE.
template <typename Record>
void expect_line_matches(const std::string& line, const Record* c, const char* tag,
                         const char* endKey, time_t end) {
    SCOPED_TRACE(line);
    EXPECT_EQ(0u, line.rfind(std::string("<") + tag + "=I=" + text(c->pUid) + " DM=", 0));
    EXPECT_EQ(datez(kStamp), field(line, "DM", "S"));
    EXPECT_EQ(text(c->pSummary), field(line, "S", "DS"));
    if (c->bDtStartIsDate) {
        EXPECT_EQ("\"" + day(c->tDtStart) + ";V=D\"", field(line, "DS", c->bDtEndIsDate ? endKey : "CR"));
        if (c->bDtEndIsDate) {
            EXPECT_EQ("\"" + day(end) + ";V=D\"", field(line, endKey, "CR"));
        }
    } else {
        EXPECT_EQ(datez(c->tDtStart), field(line, "DS", endKey));
        EXPECT_EQ(datez(end), field(line, endKey, "CR"));
    }
    EXPECT_EQ(std::to_string(c->nSequence), field(line, "SE", "GE"));
    EXPECT_EQ(text(c->pDescription), field(line, "D", "U"));
    EXPECT_EQ(text(c->pLocation) + ">\n", field(line, "N", "\n"));
}

class SxmlRoundTrip : public ::testing::TestWithParam<const char*> {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, parser_init()); }
    static void TearDownTestSuite() { parser_uninit(); }
};

TEST_P(SxmlRoundTrip, EveryLineCarriesItsRecordsFields) {
    std::string input = read_example(GetParam());
    ASSERT_FALSE(input.empty());
    protstream* s = prot_readmap(input.data(), (unsigned)input.size());
    array_t* result = nullptr;
    unsigned state = 0;
    char tzid[] = "America/New_York";
    ASSERT_EQ(0, calparser_prot_to_dbstruct(s, &result, CALPARSER_FORMAT_ICAL, 0, nullptr, tzid,
                                            nullptr, &state, nullptr));
    prot_free(s);
    const array_t* events = (const array_t*)result->data[CALPARSER_SLOT_EVENTS];
    const array_t* todos = (const array_t*)result->data[CALPARSER_SLOT_TODOS];
    ASSERT_GT(events->count + todos->count, 0u);
    for (unsigned i = 0; i < events->count; i++) {
        CALDB_VEVENT* ev = (CALDB_VEVENT*)((CAL_VCOMPONENT*)events->data[i])->pComponent;
        std::string line =
            written_by([&](protstream* out) { calparser_event_to_sxml(ev, out, kStamp); });
        expect_line_matches(line, ev, "E", "DE", ev->tDtEnd);
    }
    for (unsigned i = 0; i < todos->count; i++) {
        CALDB_VTODO* todo = (CALDB_VTODO*)((CAL_VCOMPONENT*)todos->data[i])->pComponent;
        std::string line =
            written_by([&](protstream* out) { calparser_todo_to_sxml(todo, out, kStamp); });
        expect_line_matches(line, todo, "T", "E", todo->tDue);
    }
    calparser_FreeComponentArrayAndDestroy(&result);
}

INSTANTIATE_TEST_SUITE_P(Examples, SxmlRoundTrip,
                         ::testing::Values("meeting.ics", "holidays.ics", "todos.ics"));

}  // namespace
