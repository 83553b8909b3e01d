// Round trip: an example calendar is parsed and each event written as SXML
// carries its record's fields; the byte rules themselves are the writer's tests.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "core/parser/calparser.h"
#include "core/parser/print_sxml.h"
#include "tests/support/print_capture.h"

TEST(SxmlRoundTrip, ParsedEventsWriteTheirOwnFields) {
    ASSERT_EQ(0, parser_init());
    std::ifstream in(std::string(CALPARSER_SOURCE_ROOT) + "/examples/meeting.ics");
    std::stringstream all;
    all << in.rdbuf();
    std::string input = all.str();
    protstream* s = prot_readmap(input.data(), (unsigned)input.size());
    array_t* result = nullptr;
    unsigned state = 0;
    char tzid[] = "America/New_York";
    ASSERT_EQ(0, calparser_prot_to_dbstruct(s, &result, CALPARSER_FORMAT_ICAL, 0, nullptr, tzid,
                                            nullptr, &state, nullptr));
    prot_free(s);
    const array_t* events = (const array_t*)result->data[CALPARSER_SLOT_EVENTS];
    ASSERT_GT(events->count, 0u);
    for (unsigned i = 0; i < events->count; i++) {
        CALDB_VEVENT* ev = (CALDB_VEVENT*)((CAL_VCOMPONENT*)events->data[i])->pComponent;
        std::string line =
            written_by([&](protstream* out) { calparser_event_to_sxml(ev, out, 1796428800); });
        SCOPED_TRACE(line);
        EXPECT_EQ(0u, line.find(std::string("<E=I=") + ev->pUid + " DM=20261205T000000Z S=" +
                                ev->pSummary + " DS="));
        EXPECT_NE(std::string::npos, line.find(" SE=" + std::to_string(ev->nSequence) + " GE="));
    }
    calparser_FreeComponentArrayAndDestroy(&result);
    parser_uninit();
}
