// The committed registry file data/timezones.ics: its line shape as text, and through
// the loader the fallback zone and the rule it cannot write exactly.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/text_lists.h"
#include "tests/support/zone_builders.h"

namespace {

class TzFile : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::ifstream in(std::string(CALPARSER_SOURCE_ROOT) + "/data/timezones.ics",
                         std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        raw = text.str();
        ASSERT_EQ(0, zone_test::load_registry_text(raw));
    }
    static void TearDownTestSuite() { CALPARSER_TIMEZONE_LIST::Instance()->removeAllTimeZones(); }

    static const CAL_VTIMEZONE* zone(const char* tzid) {
        const CAL_VTIMEZONE* found = calparser_lookupCalVTimeZone(tzid);
        EXPECT_NE(nullptr, found) << tzid;
        return found;
    }

    static inline std::string raw;
};

}  // namespace

// CR LF everywhere, no physical line over 75 octets, one VTIMEZONE per ID in byte order.
TEST_F(TzFile, LineShapeAndOrder) {
    ASSERT_FALSE(raw.empty()) << "data/timezones.ics is missing";
    EXPECT_EQ(0u, raw.rfind("BEGIN:VCALENDAR\r\n", 0));
    EXPECT_EQ(raw.size() - 15, raw.find("END:VCALENDAR\r\n", raw.size() - 15));
    std::vector<std::string> ids;
    for (size_t start = 0, end; start < raw.size(); start = end + 1) {
        end = raw.find('\n', start);
        ASSERT_TRUE(end != std::string::npos && end > start && raw[end - 1] == '\r')
            << "bare LF or no line end after offset " << start;
        std::string line = raw.substr(start, end - 1 - start);
        EXPECT_LE(line.size(), 75u) << "long line at offset " << start;
        EXPECT_EQ(std::string::npos, line.find('\r'));
        if (line.rfind("TZID:", 0) == 0) ids.push_back(line.substr(5));
    }
    EXPECT_GT(ids.size(), 400u);
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    EXPECT_EQ(ids.end(), std::adjacent_find(ids.begin(), ids.end()));
}

// Casablanca is the last fallback of every conversion, so it is plain UTC
// although Morocco keeps other time: STANDARD alone, no rule, no crossings.
// Friday on or after 23 March (23..29) is best matched by the fourth Friday
// (22..28), which agrees in 6 of 7 weekday positions; the file says so in a COMMENT.
TEST_F(TzFile, FallbackZoneIsUtcAndInexactRulesAreNoted) {
    const CAL_VTIMEZONE* fallback = zone("Africa/Casablanca");
    ASSERT_TRUE(fallback && fallback->pStandard);
    const CALDB_VZONE* plain = fallback->pStandard->pDbZone;
    EXPECT_TRUE(plain->nOffsetFrom == 0 && plain->nOffsetTo == 0 && !plain->aRRules);
    EXPECT_TRUE(!fallback->pDaylight && !fallback->aTzCross);

    const CAL_VTIMEZONE* jerusalem = zone("Asia/Jerusalem");
    ASSERT_TRUE(jerusalem && jerusalem->pDaylight);
    const CALDB_VZONE* summer = jerusalem->pDaylight->pDbZone;
    EXPECT_EQ(Strings{"FREQ=YEARLY;BYMONTH=3;BYDAY=4FR"}, strings(summer->aRRules));
    Strings note = strings(summer->aComments);
    ASSERT_EQ(1u, note.size());
    EXPECT_NE(std::string::npos, note[0].find("Friday on or after March 23")) << note[0];
    EXPECT_NE(std::string::npos, note[0].find("24 of 28 years")) << note[0];
    EXPECT_EQ(nullptr, zone("America/New_York")->pDaylight->pDbZone->aComments);
}
