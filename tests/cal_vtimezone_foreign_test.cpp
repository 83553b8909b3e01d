// Zone names other programs write, read as the registry zones they stand for,
// on the day-table path (2003) and the rule-based path (2015); exact matches
// only, one level-6 line each, and the fallbacks unchanged for what stays unknown.
#include <gtest/gtest.h>

#include <string.h>

#include "core/parser/calparser_time.h"
#include "public/util/config.h"
#include "tests/support/zone_builders.h"

using namespace zone_test;

namespace {

constexpr const char* kKey = "calstore.timezone.resolve_foreign_names";

class ForeignZoneNames : public ::testing::Test {
protected:
    static void SetUpTestSuite() { time_cache_init(); }
    void SetUp() override {
        ASSERT_EQ(0, fill_registry({utc_fallback_zone(), fixed_zone("Europe/Berlin", 60),
                                    fixed_zone("America/New_York", -300),
                                    fixed_zone("Test/Plus1", 60)}));
    }
    void TearDown() override {
        config_set_string(config_getdefaultcache(), kKey, nullptr);
        CALPARSER_TIMEZONE_LIST::Instance()->removeAllTimeZones();
    }

    // The UTC text of noon on `day` in the zone named `tzid`, and the lines logged.
    static std::string noon(const char* day, const char* tzid, LogLines* pLog = nullptr) {
        const std::string text = std::string(day) + "T120000";
        LogCapture capture;
        time_t t = 0;
        EXPECT_EQ(0, calparser_datez_to_timet(text.c_str(), &t, nullptr, tzid)) << tzid;
        if (pLog) *pLog = capture.lines();
        return wall_text(t) + "Z";
    }
};

}  // namespace

// A Windows name is read as its zone (the prefixed forms are read in the
// calendars of tests/data/foreign_zones by the libical differential test).
// Only exact names count: letter case, a name without the leading "/" and a
// path whose tail is no zone keep the usual fallback (the default zone, UTC
// here) and its lines; so does every foreign name when the key is 0.
TEST_F(ForeignZoneNames, ExactNamesOnlyAndNotWithKeyZero) {
    LogLines read;
    EXPECT_EQ("20150601T170000Z", noon("20150601", "Eastern Standard Time", &read));
    EXPECT_EQ((LogLines{{6, "calparser: TimeZone \"Eastern Standard Time\" read as "
                            "\"America/New_York\"."}}),
              read);
    auto expect_fallback = [](const char* tzid) {
        SCOPED_TRACE(tzid);
        LogLines log;
        EXPECT_EQ("20150601T120000Z", noon("20150601", tzid, &log));
        EXPECT_EQ((LogLines{{4, std::string("calparser: TimeZone \"") + tzid + "\" not found\n."}}),
                  log);
        EXPECT_EQ("20030601T120000Z", noon("20030601", tzid, &log));
        EXPECT_EQ((LogLines{{4, std::string("calparser: Timezone ") + tzid +
                                    " not found in timezones.ics file.  Assuming GMT."}}),
                  log);
    };
    for (const char* tzid : {"/test/plus1", "mozilla.org/Europe/Berlin", "/Europe/Nowhere",
                             "w. europe standard time"})
        expect_fallback(tzid);
    ASSERT_EQ(0, config_set_string(config_getdefaultcache(), kKey, "0"));
    expect_fallback("Eastern Standard Time");
    expect_fallback("/mozilla.org/America/New_York");
}
