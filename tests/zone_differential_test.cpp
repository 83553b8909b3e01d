// Every zone of the committed data/timezones.ics that keeps daylight time, loaded by
// parser_init: between 1990 and 2010 local texts convert as ICU's zone of the same
// name has them wherever ICU's offsets are the record's own. In a gap or repeated
// hour standard time wins.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

#include <unicode/basictz.h>
#include <unicode/timezone.h>

#include "core/parser/calparser_time.h"
#include "tests/support/zone_builders.h"

using namespace zone_test;

namespace {

constexpr time_t kHour = 3600;
// The sampling step, coprime with 24 h so that every hour of the day is hit.
constexpr time_t kStep = 17 * kHour;
const time_t kFirst = utc("19900101T000000Z");
const time_t kLast = utc("20101231T000000Z");

// ICU's zone of the same name, and the record's offsets in seconds.
struct Subject {
    const CAL_VTIMEZONE* zone;
    const char* tzid;
    std::unique_ptr<icu::BasicTimeZone> icu;
    int standard;
    int daylight;
};

// The record's offset for ICU's offsets at that time, or false when ICU keeps
// another offset then (a change of standard offset the record cannot express).
bool record_agrees(const Subject& s, int32_t rawMs, int32_t dstMs) {
    if (rawMs != s.standard * 1000) return false;
    return dstMs == 0 || rawMs + dstMs == s.daylight * 1000;
}

struct Tally {
    long compared = 0;
    long inGapOrOverlap = 0;
    long skipped = 0;
};

int32_t icu_offset_ms(const Subject& s, time_t when, int32_t* pRawMs, int32_t* pDstMs) {
    UErrorCode status = U_ZERO_ERROR;
    s.icu->getOffset((UDate)when * 1000.0, false, *pRawMs, *pDstMs, status);
    EXPECT_TRUE(U_SUCCESS(status));
    return *pRawMs + *pDstMs;
}

// Local text `wall` (seconds as if UTC) to UTC. ICU confirms one of its standard
// and daylight readings outside a change, none in a gap and both in a repeated hour.
void check_local(const Subject& s, time_t wall, Tally* tally) {
    time_t asStandard = wall - s.standard;
    time_t asDaylight = wall - s.daylight;
    int32_t rawS = 0, dstS = 0, rawD = 0, dstD = 0;
    bool standardHolds = icu_offset_ms(s, asStandard, &rawS, &dstS) == s.standard * 1000;
    bool daylightHolds = icu_offset_ms(s, asDaylight, &rawD, &dstD) == s.daylight * 1000;
    if (!record_agrees(s, rawS, dstS) || !record_agrees(s, rawD, dstD)) {
        tally->skipped++;
        return;
    }
    bool ambiguous = standardHolds == daylightHolds;
    time_t expected = ambiguous || standardHolds ? asStandard : asDaylight;
    std::string text = wall_text(wall);
    time_t converted = 0;
    ASSERT_EQ(0, calparser_datez_to_timet(text.c_str(), &converted, nullptr, s.tzid))
        << s.tzid << " " << text;
    ASSERT_EQ(expected, converted) << s.tzid << " " << text << (ambiguous ? " (ambiguous)" : "");
    tally->compared++;
    if (ambiguous) tally->inGapOrOverlap++;
}

// Offsets from a change, in half hours, that cover its gap or repeated hour.
std::vector<time_t> around_change(const Subject& s) {
    std::vector<time_t> around;
    for (time_t d = s.standard - 2 * kHour; d <= s.daylight + 2 * kHour; d += kHour / 2)
        around.push_back(d);
    return around;
}

// Checks local times every kStep over 1990-2010 and around every crossing of
// the zone, until a fatal failure.
void sample(const Subject& s, Tally* tally) {
    for (time_t t = kFirst; t < kLast && !::testing::Test::HasFatalFailure(); t += kStep)
        check_local(s, t, tally);
    const array_t* cross = calparser_lookupCalVTimeZone(s.tzid)->aTzCross;
    for (unsigned i = 0; i < cross->count; i++) {
        time_t when = (time_t)(intptr_t)array_elementat(cross, i);
        for (time_t offset : around_change(s)) {
            if (::testing::Test::HasFatalFailure()) return;
            if (when + offset >= kFirst && when + offset < kLast)
                check_local(s, when + offset, tally);
        }
    }
}

class ZoneDifferential : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("CALPARSER_ROOT", CALPARSER_SOURCE_ROOT, 1);
        LogCapture capture;
        ASSERT_EQ(0, parser_init());
        startupLog = capture.lines();
    }
    static void TearDownTestSuite() { parser_uninit(); }

    // The registered zones that keep daylight time today, with ICU's zone each.
    static std::vector<Subject> subjects() {
        std::vector<Subject> list;
        array_t* all = nullptr;
        EXPECT_EQ(0, calparser_getAllTimeZones(&all));
        for (unsigned i = 0; all && i < all->count; i++) {
            const CAL_VTIMEZONE* zone = static_cast<const CAL_VTIMEZONE*>(all->data[i]);
            if (!zone->pDaylight || !zone->aTzCross) continue;
            const char* tzid = zone->pDbTimeZone->pTzid;
            auto* basic = dynamic_cast<icu::BasicTimeZone*>(
                icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(tzid)));
            EXPECT_NE(nullptr, basic) << tzid;
            if (!basic) continue;
            list.push_back({zone, tzid, std::unique_ptr<icu::BasicTimeZone>(basic),
                            calparser_zoneStandardOffset(zone),
                            calparser_zoneDaylightOffset(zone)});
        }
        array_delete(all);
        return list;
    }

    static inline LogLines startupLog;
};

}  // namespace

// The loader must have read the whole file silently, or the comparison is empty.
TEST_F(ZoneDifferential, FileIsReadWholeAndSilently) {
    EXPECT_TRUE(startupLog.empty());
    array_t* all = nullptr;
    ASSERT_EQ(0, calparser_getAllTimeZones(&all));
    EXPECT_EQ(636u, all->count);  // the BEGIN:VTIMEZONE lines of the file
    array_delete(all);
    EXPECT_GT(subjects().size(), 100u);
}

TEST_F(ZoneDifferential, LocalTextsConvertAsIcuDoes) {
    Tally tally;
    for (const Subject& s : subjects()) {
        sample(s, &tally);
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(tally.inGapOrOverlap, 1000);
    EXPECT_GT(tally.compared, 20 * tally.skipped) << tally.skipped << " skipped";
}

// On both sides of the tables' last year (2010) a local time in a gap or a
// repeated hour of New York is standard time, so a text means the same in
// 2006 as in 2015.
TEST_F(ZoneDifferential, NewYorkRepeatedHourOnBothSidesOfTheTables) {
    const struct {
        const char* text;
        const char* expected;
    } rows[] = {
        {"20061029T013000", "20061029T063000Z"},  // tables: standard, EST
        {"20151101T013000", "20151101T063000Z"},  // rules: standard too
        {"20070311T023000", "20070311T073000Z"},  // gap, tables
        {"20150308T023000", "20150308T073000Z"},  // gap, rules
        {"20151101T003000", "20151101T043000Z"},  // before the change: EDT
        {"20151101T020000", "20151101T070000Z"},  // after it: EST
    };
    for (const auto& row : rows) {
        time_t converted = 0;
        EXPECT_EQ(0, calparser_datez_to_timet(row.text, &converted, nullptr, "America/New_York"));
        EXPECT_EQ(utc(row.expected), converted) << row.text;
    }
}
