// Expansion of recurring events and to-dos into instances.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include <plstr.h>
#include <unicode/timezone.h>

#include "core/parser/cal_expand.h"
#include "core/parser/calparser.h"
#include "core/parser/calparserutil.h"
#include "public/core_util/cal_time.h"
#include "public/db/caldb.h"
#include "public/recurrence/recurrence.h"
#include "public/util/config.h"
#include "tests/support/heap_failure.h"
#include "tests/support/log_capture.h"
#include "tests/support/parsed_text.h"
#include "tests/support/text_lists.h"
#include "tests/support/zone_builders.h"

namespace {

using zone_test::utc;

constexpr int kHour = 3600;

/* New York with the United States' rules: -05:00, -04:00 from the second
 * Sunday of March to the first Sunday of November, both at 02:00 local. */
zone_test::ZoneShape new_york() {
    zone_test::ZoneShape shape = zone_test::fixed_zone("America/New_York", -300);
    shape.hasDaylight = true;
    shape.daylightMinutes = -240;
    shape.standardStart = "20071104T020000";
    shape.standardRule = "FREQ=YEARLY;BYMONTH=11;BYDAY=1SU";
    shape.daylightStart = "20070311T020000";
    shape.daylightRule = "FREQ=YEARLY;BYMONTH=3;BYDAY=2SU";
    return shape;
}

using List = std::initializer_list<const char*>;

/* A recurrence vector: RRULE, RDATE, EXRULE, EXDATE texts and RDATE periods. */
array_t* make_vector(List rrules, List rdates = {}, List exdates = {}, List periods = {}) {
    array_t* info = array_new();
    array_append(info, texts(rrules));
    array_append(info, texts(rdates));
    array_append(info, texts({}));
    array_append(info, texts(exdates));
    array_t* periodList = array_new();
    for (const char* p : periods) array_append(periodList, cal_time_NewPeriod(p));
    array_append(info, periodList);
    return info;
}

/* A component list with its parallel vector list; frees both at the end. */
struct Series {
    array_t* components = array_new();
    array_t* infos = array_new();

    /* Appends a component of an hour with vector `info` (none: an empty one);
     * returns its record. */
    CALDB_COMPONENT* add(int kind, time_t start, const char* uid, array_t* info = nullptr) {
        CAL_VCOMPONENT* wrapper = CAL_VCOMPONENT_NEW(kind);
        auto* c = static_cast<CALDB_COMPONENT*>(wrapper->pComponent);
        c->tDtStart = static_cast<int32_t>(start);
        int32_t* end = kind == CALDB_KIND_EVENT ? &reinterpret_cast<CALDB_VEVENT*>(c)->tDtEnd
                                                : &reinterpret_cast<CALDB_VTODO*>(c)->tDue;
        *end = static_cast<int32_t>(start + kHour);
        if (uid) c->pUid = PL_strdup(uid);
        array_append(components, wrapper);
        array_append(infos, info ? info : make_vector({}));
        return c;
    }
    CAL_VCOMPONENT* wrapper(unsigned i) const {
        return static_cast<CAL_VCOMPONENT*>(array_elementat(components, i));
    }
    CALDB_COMPONENT* at(unsigned i) const {
        return static_cast<CALDB_COMPONENT*>(wrapper(i)->pComponent);
    }
    array_t* info(unsigned i) const { return static_cast<array_t*>(array_elementat(infos, i)); }
    unsigned size() const { return components->count; }

    ~Series() {
        calparser_FreeCalVCompList(components);
        array_delete(components);
        calparser_free_contents_vvRecurrenceInfoList(infos);
        array_delete(infos);
    }
};

class ExpandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(0, zone_test::fill_registry({zone_test::utc_fallback_zone(), new_york()}));
    }
    void TearDown() override {
        config_set_string(config_getdefaultcache(), "calstore.default.timezoneID", nullptr);
        CALPARSER_TIMEZONE_LIST::Instance()->removeAllTimeZones();
    }
};

// A kept master is marked; an instance already stored is not made twice.
TEST_F(ExpandTest, KeptMasterIsMarkedAndStoredInstanceIsKept) {
    Series s;
    CALDB_COMPONENT* m = s.add(CALDB_KIND_EVENT, utc("20240309T140000Z"), "daily",
                               make_vector({"FREQ=DAILY;COUNT=3"}));
    m->pDtStartTzid = PL_strdup("America/New_York");
    // X-KVAL-DTSTART-TZID outranks the zone a parse keeps from DTSTART's TZID.
    m->pSeriesZone = icu::TimeZone::createTimeZone("Asia/Tokyo");
    CALDB_COMPONENT* stored = s.add(CALDB_KIND_EVENT, utc("20240310T150000Z"), "DAILY");
    stored->tRecurrenceId = static_cast<int32_t>(utc("20240310T130000Z"));
    ASSERT_EQ(0, calparser_expand_component(s.wrapper(0), CALDB_KIND_EVENT, s.info(0),
                                            s.components, 0, nullptr, 1));
    ASSERT_EQ(4u, s.size());
    EXPECT_EQ(CALDB_KIND_EXPANDED_EVENT, s.wrapper(0)->nType);
    EXPECT_EQ(1u, m->bExpandedMaster);
    EXPECT_EQ(utc("20240311T130000Z"), s.at(1)->tRecurrenceId);
    EXPECT_EQ(utc("20240309T140000Z"), s.at(2)->tRecurrenceId);
    EXPECT_EQ(stored, s.at(3));
}

// Unknown zone and unknown fallback: both logged, the series runs in
// "Africa/Casablanca" (UTC all year), so 09:00Z stays 09:00Z across March.
TEST_F(ExpandTest, UnknownZoneAndFallbackUseCasablanca) {
    config_set_string(config_getdefaultcache(), "calstore.default.timezoneID", "Mars/Olympus");
    Series s;
    s.add(CALDB_KIND_EVENT, utc("20240309T090000Z"), "u", make_vector({"FREQ=DAILY;COUNT=3"}))
        ->pDtStartTzid = PL_strdup("Nowhere/Zone");
    LogCapture log;
    ASSERT_EQ(0, calparser_expand_components_list(s.components, 0, s.infos, "America/New_York",
                                                  0));
    EXPECT_EQ((LogLines{{6, "calparser: TimeZone \"Nowhere/Zone\" not found\n."},
                        {5, "calparser: Fallback TimeZone \"Mars/Olympus\" not found\n."}}),
              log.lines());
    ASSERT_EQ(3u, s.size());
    EXPECT_EQ(utc("20240311T090000Z"), s.at(0)->tDtStart);
}

// Series among plain entries, two of them left without any instance: every
// entry keeps its place, each series' instances (latest first) take the place
// of their master, and the list shrinks where a series gave nothing.
TEST_F(ExpandTest, SeriesAmongPlainEntriesKeepTheListOrder) {
    Series s;
    auto add_empty_series = [&s](const char* day) {
        s.add(CALDB_KIND_EVENT, utc(day), "none", make_vector({"FREQ=DAILY;COUNT=1"}, {}, {day}));
    };
    s.add(CALDB_KIND_EVENT, utc("20240101T100000Z"), "a");
    add_empty_series("20240102T100000Z");
    s.add(CALDB_KIND_EVENT, utc("20240103T100000Z"), "s", make_vector({"FREQ=DAILY;COUNT=2"}));
    add_empty_series("20240106T100000Z");
    s.add(CALDB_KIND_EVENT, utc("20240107T100000Z"), "b");
    ASSERT_EQ(0, calparser_expand_components_list(s.components, 0, s.infos, nullptr, 0));
    std::vector<std::string> got;
    for (unsigned i = 0; i < s.size(); i++) {
        const CALDB_COMPONENT* c = s.at(i);
        got.push_back(std::string(c->pUid) +
                      (c->tRecurrenceId ? "@" + std::to_string(c->tRecurrenceId) : ""));
    }
    EXPECT_EQ((std::vector<std::string>{"a", "s@" + std::to_string(utc("20240104T100000Z")),
                                        "s@" + std::to_string(utc("20240103T100000Z")), "b"}),
              got);
}

// Every allocation that can fail during an expansion, failed in turn: the
// result is 0 or 3, the list stays well formed and nothing leaks. The series
// uses RDATEs only, so the rule library never fills its process-wide caches
// during the loop (those would count as live blocks).
TEST_F(ExpandTest, AllocationFailuresNeverLeakOrBreakTheList) {
    if (!HEAP_FAILURE_HOOK) GTEST_SKIP() << "the sanitizer owns the heap";
    bool failed = true;
    for (long failAt = -1; failed; failAt++) {  // -1 first: fills the configuration cache
        long liveBefore = heap_failure::g_live_blocks;
        {
            Series s;
            CALDB_COMPONENT* c = s.add(
                CALDB_KIND_EVENT, utc("20240309T140000Z"), nullptr,
                make_vector({}, {"20240310T130000Z", "20240311T130000Z/PT2H"}, {},
                            {"20240311T130000Z/PT2H"}));
            CALDB_VALARM* alarm = caldb_NewAlarm();
            alarm->tTrigger = static_cast<int32_t>(utc("20240309T130000Z"));
            array_append(c->aAlarms = array_new(), alarm);
            int rc = -1;
            {
                heap_failure::FailAt fail(failAt);
                rc = calparser_expand_component(s.wrapper(0), 0, s.info(0), s.components, 0,
                                                "America/New_York", 0);
                failed = failAt < 0 || heap_failure::g_until_failure < 0;
            }
            EXPECT_TRUE(rc == 0 || rc == 3) << failAt;
            for (unsigned i = 0; i < s.size(); i++) EXPECT_NE(nullptr, s.wrapper(i)->pComponent);
        }
        EXPECT_TRUE(failAt < 0 || liveBefore == heap_failure::g_live_blocks) << "leak at " << failAt;
    }
}

}  // namespace

// A whole parse shares one allowance of rule work among its series, so an
// input made of costly rules is cut, logged once, and every series keeps its
// start; the caller's own allowance comes back after the parse.
TEST_F(ExpandTest, CostlyRulesShareTheParseAllowance) {
    std::string text = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n";
    const int kSeries = 12;
    for (int i = 0; i < kSeries; i++)
        text += "BEGIN:VEVENT\r\nUID:s" + std::to_string(i) +
                "\r\nDTSTART:19700105T000000Z\r\n"
                "RRULE:RSCALE=CHINESE;FREQ=DAILY;BYMONTHDAY=30;BYMONTH=2;BYDAY=MO\r\nEND:VEVENT\r\n";
    text += "END:VCALENDAR\r\n";
    recurrence_SetWorkAllowance(1234);
    LogCapture log;
    {
        ParsedText parsed(text, "UTC");
        EXPECT_EQ(0, parsed.status);
        std::set<std::string> startsKept;
        for (unsigned i = 0; i < parsed.slot(CALPARSER_SLOT_EVENTS)->count; i++) {
            const CALDB_COMPONENT* event = parsed.component(CALPARSER_SLOT_EVENTS, i);
            if (event->tDtStart == 4 * 86400) startsKept.insert(event->pUid);
        }
        EXPECT_EQ(size_t(kSeries), startsKept.size());
    }
    EXPECT_EQ(1234, recurrence_SetWorkAllowance(-1));
    int denials = 0;
    for (const auto& line : log.lines())
        denials += line.second.find("not expanded any more") != std::string::npos;
    EXPECT_EQ(1, denials);
}

// The fixed part of the parse's share is a setting: a series that the default
// share lets finish (DTSTART, then the Mondays 29 February 1988 and 2016) is
// cut after its start when the setting leaves only the per-line part.
TEST_F(ExpandTest, ParseShareIsConfigured) {
    const std::string text =
        "BEGIN:VCALENDAR\r\nBEGIN:VEVENT\r\nUID:rare\r\nDTSTART:19700105T000000Z\r\n"
        "RRULE:FREQ=DAILY;BYMONTH=2;BYMONTHDAY=29;BYDAY=MO;COUNT=2\r\n"
        "END:VEVENT\r\nEND:VCALENDAR\r\n";
    struct Outcome {
        unsigned events;
        int cutLines;
    };
    auto parse_with = [&](const char* share) {
        config_set_string(config_getdefaultcache(), "calstore.recurrence.parse_work", share);
        LogCapture log;
        ParsedText parsed(text, "UTC");
        EXPECT_EQ(0, parsed.status);
        Outcome outcome = {parsed.slot(CALPARSER_SLOT_EVENTS)->count, 0};
        for (const auto& line : log.lines())
            outcome.cutLines += line.second == "calparser: Recurrence expansion stopped at its "
                                               "work limit with 1 dates.";
        return outcome;
    };
    Outcome byDefault = parse_with(nullptr);
    EXPECT_EQ(3u, byDefault.events);
    EXPECT_EQ(0, byDefault.cutLines);
    Outcome perLineOnly = parse_with("0");
    EXPECT_EQ(1u, perLineOnly.events);
    EXPECT_EQ(1, perLineOnly.cutLines);
    config_set_string(config_getdefaultcache(), "calstore.recurrence.parse_work", nullptr);
}
