// The committed registry file data/timezones.ics through the loader: the
// fallback zone and the rule it cannot write exactly.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/corpus_files.h"
#include "tests/support/text_lists.h"
#include "tests/support/zone_builders.h"

namespace {

class TzFile : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(0, zone_test::load_registry_text(corpus_files::read_file(
                         std::string(CALPARSER_SOURCE_ROOT) + "/data/timezones.ics")));
    }
    static void TearDownTestSuite() { CALPARSER_TIMEZONE_LIST::Instance()->removeAllTimeZones(); }

    static const CAL_VTIMEZONE* zone(const char* tzid) {
        const CAL_VTIMEZONE* found = calparser_lookupCalVTimeZone(tzid);
        EXPECT_NE(nullptr, found) << tzid;
        return found;
    }
};

}  // namespace

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
