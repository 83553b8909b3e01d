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
                                    fixed_zone("America/Argentina/Buenos_Aires", -180),
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

// Each name gives noon of 2003-06-01 and of 2015-06-01 at the zone's offset,
// and one line naming both names.
TEST_F(ForeignZoneNames, PrefixedAndWindowsNamesOnBothPaths) {
    const struct {
        const char *tzid, *utcNoon, *zone;
    } rows[] = {
        {"/freeassociation.sourceforge.net/Europe/Berlin", "T110000Z", "Europe/Berlin"},
        {"/freeassociation.sourceforge.net/Tzfile/America/Argentina/Buenos_Aires", "T150000Z",
         "America/Argentina/Buenos_Aires"},
        {"/mozilla.org/20070129_1/America/New_York", "T170000Z", "America/New_York"},
        {"//Test/Plus1/", "T110000Z", "Test/Plus1"},  // empty segments skipped
        {"Eastern Standard Time", "T170000Z", "America/New_York"},
    };
    for (const auto& row : rows)
        for (const char* day : {"20030601", "20150601"}) {
            SCOPED_TRACE(std::string(row.tzid) + " " + day);
            LogLines log;
            EXPECT_EQ(day + std::string(row.utcNoon), noon(day, row.tzid, &log));
            EXPECT_EQ((LogLines{{6, std::string("calparser: TimeZone \"") + row.tzid +
                                        "\" read as \"" + row.zone + "\"."}}),
                      log);
        }
}

// Only exact names count: letter case, a name without the leading "/" and a
// path whose tail is no zone keep the usual fallback (the default zone, UTC
// here) and its lines; so does every foreign name when the key is 0.
TEST_F(ForeignZoneNames, OtherNamesAndKeyZeroKeepTheFallback) {
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
