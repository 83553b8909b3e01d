// Every zone of the committed data/timezones.ics that keeps daylight time, loaded by
// parser_init: between 1990 and 2010 the conversions agree with ICU's zone of the
// same name wherever ICU's offsets are the record's own. In a gap or repeated hour
// standard time wins.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <memory>
#include <string>
#include <vector>

#include <unicode/basictz.h>
#include <unicode/timezone.h>

#include "core/parser/cal_vtimezone_array.h"
#include "core/parser/calparser.h"
#include "core/parser/calparser_time.h"
#include "tests/support/zone_builders.h"

using namespace zone_test;

namespace {

constexpr time_t kHour = 3600;
// Sampling steps, chosen coprime with 24 h so that every hour of the day is hit.
constexpr time_t kLocalStep = 17 * kHour;
constexpr time_t kUtcStep = 19 * kHour;
const time_t kFirst = utc("19900101T000000Z");
const time_t kLast = utc("20101231T000000Z");

// ICU's zone of the same name, and the record's offsets in seconds.
struct Subject {
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
    time_t expected = asStandard;
    if (!ambiguous) {
        expected = standardHolds ? asStandard : asDaylight;
        UErrorCode status = U_ZERO_ERROR;
        int32_t rawMs = 0, dstMs = 0;
        s.icu->getOffsetFromLocal((UDate)wall * 1000.0, UCAL_TZ_LOCAL_FORMER,
                                  UCAL_TZ_LOCAL_FORMER, rawMs, dstMs, status);
        ASSERT_EQ(expected, wall - (rawMs + dstMs) / 1000) << s.tzid << " " << wall;
    }
    std::string text = wall_text(wall);
    time_t converted = 0;
    ASSERT_EQ(0, calparser_datez_to_timet(text.c_str(), &converted, nullptr, s.tzid))
        << s.tzid << " " << text;
    ASSERT_EQ(expected, converted) << s.tzid << " " << text << (ambiguous ? " (ambiguous)" : "");
    tally->compared++;
    if (ambiguous) tally->inGapOrOverlap++;
}

void check_utc(const Subject& s, time_t when, Tally* tally) {
    int32_t rawMs = 0, dstMs = 0;
    icu_offset_ms(s, when, &rawMs, &dstMs);
    if (!record_agrees(s, rawMs, dstMs)) {
        tally->skipped++;
        return;
    }
    char text[32] = "";
    ASSERT_EQ(0, calparser_strtime(text, sizeof text, "%Y%m%dT%H%M%SZ", when, s.tzid));
    ASSERT_EQ(wall_text(when + (rawMs + dstMs) / 1000), text) << s.tzid << " at " << when;
    tally->compared++;
}

class ZoneDifferential : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("CALPARSER_ROOT", CALPARSER_SOURCE_ROOT, 1);
        ASSERT_EQ(0, parser_init());
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
            list.push_back({tzid, std::unique_ptr<icu::BasicTimeZone>(basic),
                            calparser_zoneStandardOffset(zone),
                            calparser_zoneDaylightOffset(zone)});
        }
        array_delete(all);
        return list;
    }
};

}  // namespace

// The loader must have read the whole file, or the comparison is empty.
TEST_F(ZoneDifferential, FileIsReadWhole) {
    const CAL_VTIMEZONE* ny = calparser_lookupCalVTimeZone("America/New_York");
    ASSERT_NE(nullptr, ny);
    EXPECT_EQ(-240, ny->pDaylight->pDbZone->nOffsetTo);
    EXPECT_EQ(2, ny->pDaylight->nWeek);
    EXPECT_EQ(42u, ny->aTzCross->count);
    EXPECT_GT(subjects().size(), 100u);
}

TEST_F(ZoneDifferential, LocalTextsConvertAsIcuDoes) {
    Tally tally;
    for (const Subject& s : subjects()) {
        for (time_t wall = kFirst; wall < kLast; wall += kLocalStep) {
            check_local(s, wall, &tally);
            if (HasFatalFailure()) return;
        }
        // Around every crossing, in half hours: the gaps and repeated hours.
        const array_t* cross = calparser_lookupCalVTimeZone(s.tzid)->aTzCross;
        for (unsigned i = 0; i < cross->count; i++) {
            time_t when = *static_cast<const time_t*>(cross->data[i]);
            for (time_t wall = when + s.standard - 2 * kHour;
                 wall <= when + s.daylight + 2 * kHour; wall += kHour / 2) {
                if (wall < kFirst || wall >= kLast) continue;
                check_local(s, wall, &tally);
                if (HasFatalFailure()) return;
            }
        }
    }
    EXPECT_GT(tally.inGapOrOverlap, 1000);
    EXPECT_GT(tally.compared, 20 * tally.skipped) << tally.skipped << " skipped";
}

TEST_F(ZoneDifferential, UtcInstantsFormatAsIcuDoes) {
    Tally tally;
    for (const Subject& s : subjects()) {
        for (time_t when = kFirst; when < kLast; when += kUtcStep) {
            check_utc(s, when, &tally);
            if (HasFatalFailure()) return;
        }
        const array_t* cross = calparser_lookupCalVTimeZone(s.tzid)->aTzCross;
        for (unsigned i = 0; i < cross->count; i++) {
            time_t when = *static_cast<const time_t*>(cross->data[i]);
            for (time_t t : {when - 1, when, when + 1}) {
                if (t < kFirst || t >= kLast) continue;
                check_utc(s, t, &tally);
                if (HasFatalFailure()) return;
            }
        }
    }
    EXPECT_GT(tally.compared, 20 * tally.skipped) << tally.skipped << " skipped";
}
