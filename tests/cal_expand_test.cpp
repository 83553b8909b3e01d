// Expansion of recurring events and to-dos into instances.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <plstr.h>

#include "core/parser/cal_expand.h"
#include "core/parser/calparser.h"
#include "core/parser/calparserutil.h"
#include "public/core_util/cal_time.h"
#include "public/db/caldb.h"
#include "public/util/config.h"
#include "tests/support/heap_failure.h"
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
        config_set_string(config_getdefaultcache(), "calstore.recurrence.bound", nullptr);
        CALPARSER_TIMEZONE_LIST::Instance()->removeAllTimeZones();
    }
};

void add_alarm(CALDB_COMPONENT* c, time_t trigger) {
    CALDB_VALARM* alarm = caldb_NewAlarm();
    alarm->tTrigger = static_cast<int32_t>(trigger);
    if (!c->aAlarms) c->aAlarms = array_new();
    array_append(c->aAlarms, alarm);
}

// 09:00 in New York is 14:00Z before the change of 2024-03-10 and 13:00Z after it.
TEST_F(ExpandTest, DailySeriesKeepsWallClockHourAcrossSpringChange) {
    Series s;
    s.add(CALDB_KIND_EVENT, utc("20240301T120000Z"), "before");
    CALDB_COMPONENT* m = s.add(CALDB_KIND_EVENT, utc("20240309T140000Z"), "daily",
                               make_vector({"FREQ=DAILY;COUNT=3"}));
    m->pDtStartTzid = PL_strdup("America/New_York");
    add_alarm(m, utc("20240309T134500Z"));
    s.add(CALDB_KIND_EVENT, utc("20240401T120000Z"), "after");

    LogCapture log;
    ASSERT_EQ(0, calparser_expand_components_list(s.components, CALDB_KIND_EVENT, s.infos,
                                                  "Europe/Nowhere", 0));
    EXPECT_TRUE(log.lines().empty());

    // The master is gone; its instances stand in its place, latest first.
    ASSERT_EQ(5u, s.size());
    EXPECT_STREQ("before", s.at(0)->pUid);
    EXPECT_STREQ("after", s.at(4)->pUid);
    const char* expected[] = {"20240311T130000Z", "20240310T130000Z", "20240309T140000Z"};
    for (unsigned i = 0; i < 3; i++) {
        SCOPED_TRACE(expected[i]);
        CALDB_COMPONENT* inst = s.at(i + 1);
        time_t start = utc(expected[i]);
        EXPECT_EQ(start, inst->tDtStart);
        EXPECT_EQ(start, inst->tRecurrenceId);
        EXPECT_EQ(start + kHour, reinterpret_cast<CALDB_VEVENT*>(inst)->tDtEnd);
        EXPECT_STREQ("daily", inst->pUid);
        EXPECT_STREQ((std::string("X-KVAL-ORIGINAL-DTSTART:") + expected[i]).c_str(),
                     getOriginalDtStartXToken(inst->aXProps));
        ASSERT_NE(nullptr, inst->aAlarms);
        ASSERT_EQ(1u, inst->aAlarms->count);
        EXPECT_EQ(start - 15 * 60, static_cast<CALDB_VALARM*>(inst->aAlarms->data[0])->tTrigger);
    }
}

// A kept master is marked; an instance already stored is not made twice (how
// it takes the master's lists is the instance look-up's own rule).
TEST_F(ExpandTest, KeptMasterIsMarkedAndStoredInstanceIsKept) {
    Series s;
    CALDB_COMPONENT* m = s.add(CALDB_KIND_EVENT, utc("20240309T140000Z"), "daily",
                               make_vector({"FREQ=DAILY;COUNT=3"}));
    m->pDtStartTzid = PL_strdup("America/New_York");
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

// The configured bound keeps the earliest instances; an RDATE period gives its instance its own length.
TEST_F(ExpandTest, BoundAndRDatePeriods) {
    config_set_string(config_getdefaultcache(), "calstore.recurrence.bound", "2");
    Series s;
    s.add(CALDB_KIND_EVENT, utc("20240101T100000Z"), "b",
          make_vector({"FREQ=DAILY;COUNT=10"}));
    ASSERT_EQ(0, calparser_expand_components_list(s.components, 0, s.infos, nullptr, 0));
    ASSERT_EQ(2u, s.size());
    EXPECT_EQ(utc("20240102T100000Z"), s.at(0)->tDtStart);  // the earliest are kept

    config_set_string(config_getdefaultcache(), "calstore.recurrence.bound", nullptr);
    Series p;
    // Periods out of order: expansion sorts them before looking one up.
    p.add(CALDB_KIND_EVENT, utc("20240101T100000Z"), "p",
          make_vector({}, {"20240105T100000Z/PT3H", "20240103T100000Z/PT2H"}, {},
                      {"20240105T100000Z/PT3H", "20240103T100000Z/PT2H"}));
    ASSERT_EQ(0, calparser_expand_components_list(p.components, 0, p.infos, nullptr, 0));
    ASSERT_EQ(3u, p.size());
    EXPECT_EQ(utc("20240105T130000Z"), reinterpret_cast<CALDB_VEVENT*>(p.at(0))->tDtEnd);
    EXPECT_EQ(utc("20240103T120000Z"), reinterpret_cast<CALDB_VEVENT*>(p.at(1))->tDtEnd);
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

// Each instance gets an alarm list of its own, empty when the master has no
// alarm. Only a missing UID is replaced (one new UID shared by the series);
// an empty UID is a UID and stays.
TEST_F(ExpandTest, InstancesGetAnAlarmListAndOnlyAMissingUidIsReplaced) {
    Series s;
    s.add(CALDB_KIND_TODO, utc("20240101T100000Z"), "", make_vector({"FREQ=DAILY;COUNT=2"}));
    s.add(CALDB_KIND_TODO, utc("20240201T100000Z"), nullptr, make_vector({"FREQ=DAILY;COUNT=2"}));
    ASSERT_EQ(0, calparser_expand_components_list(s.components, CALDB_KIND_TODO, s.infos, nullptr,
                                                  0));
    ASSERT_EQ(4u, s.size());
    for (unsigned i = 0; i < 4; i++) {
        SCOPED_TRACE(i);
        ASSERT_NE(nullptr, s.at(i)->aAlarms);
        EXPECT_EQ(0u, s.at(i)->aAlarms->count);
        ASSERT_NE(nullptr, s.at(i)->pUid);
    }
    EXPECT_STREQ("", s.at(0)->pUid);
    EXPECT_STREQ("", s.at(1)->pUid);
    EXPECT_STRNE("", s.at(2)->pUid);
    EXPECT_STREQ(s.at(2)->pUid, s.at(3)->pUid);
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
            add_alarm(s.add(CALDB_KIND_EVENT, utc("20240309T140000Z"), nullptr,
                            make_vector({}, {"20240310T130000Z", "20240311T130000Z/PT2H"}, {},
                                        {"20240311T130000Z/PT2H"})),
                      utc("20240309T130000Z"));
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

/* Los Angeles with the United States' rules: -08:00, -07:00 from the second
 * Sunday of March to the first Sunday of November, both at 02:00 local. */
zone_test::ZoneShape los_angeles() {
    zone_test::ZoneShape shape = new_york();
    shape.tzid = "America/Los_Angeles";
    shape.standardMinutes = -480;
    shape.daylightMinutes = -420;
    return shape;
}

/* Zurich's rules written into the input itself, under a name the registry
 * does not know: +01:00, +02:00 from the last Sunday of March to the last
 * Sunday of October (03:00 local). */
const char* const kZurichOwnZone =
    "BEGIN:VTIMEZONE\r\nTZID:Zurich own\r\n"
    "BEGIN:DAYLIGHT\r\nTZOFFSETFROM:+0100\r\nTZOFFSETTO:+0200\r\n"
    "DTSTART:19810329T020000\r\nRRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU\r\nEND:DAYLIGHT\r\n"
    "BEGIN:STANDARD\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\n"
    "DTSTART:19961027T030000\r\nRRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU\r\nEND:STANDARD\r\n"
    "END:VTIMEZONE\r\n";

/* Series read from a whole iCalendar text, in the default zone
 * "Africa/Casablanca" (UTC in this registry), with and without the key that
 * expands a series in the zone of its DTSTART. */
class SeriesZoneTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(0, zone_test::fill_registry({zone_test::utc_fallback_zone(), los_angeles()}));
    }
    void TearDown() override {
        config_set_string(config_getdefaultcache(), CALPARSER_SERIES_ZONE_KEY, nullptr);
        CALPARSER_TIMEZONE_LIST::Instance()->removeAllTimeZones();
    }

    /* The DTSTARTs (UTC texts) of the events `ics` expands into, latest first. */
    static std::vector<std::string> starts(const std::string& ics) {
        protstream* stream = prot_readmap(ics.data(), static_cast<unsigned>(ics.size()));
        array_t* result = nullptr;
        char tzid[] = "Africa/Casablanca";
        EXPECT_EQ(0, calparser_prot_to_dbstruct(stream, &result, CALPARSER_FORMAT_ICAL, 0,
                                                nullptr, tzid, nullptr, nullptr, nullptr));
        prot_free(stream);
        std::vector<std::string> out;
        array_t* events = result ? static_cast<array_t*>(array_elementat(result, 1)) : nullptr;
        for (unsigned i = 0; events && i < events->count; i++) {
            auto* event = static_cast<CAL_VCOMPONENT*>(events->data[i]);
            char text[32] = {0};
            cal_time_timet_to_datez(static_cast<CALDB_COMPONENT*>(event->pComponent)->tDtStart,
                                    text);
            out.push_back(text);
        }
        calparser_FreeComponentArrayAndDestroy(&result);
        return out;
    }
};

std::string calendar(const std::string& zones, const std::string& start, const char* rule) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n" + zones + "BEGIN:VEVENT\r\nUID:series\r\n" +
           start + "\r\nRRULE:" + rule + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

// 10:30 in Los Angeles is 17:30Z on 28 October 2012 (-07:00) and 18:30Z from
// 4 November (-08:00); read in UTC the week steps keep 17:30Z, 09:30 local.
// 08:00 in Zurich is 06:00Z on 29 October 2016 (+02:00), 07:00Z from the
// 30th (+01:00), the input's own zone; read in UTC the days stay at 06:00Z.
TEST_F(SeriesZoneTest, SeriesKeepsDtStartWallClockOnlyWithTheKey) {
    struct Row {
        const char* name;
        std::string ics;
        std::vector<std::string> withKey;
        std::vector<std::string> withoutKey;
    } rows[] = {
        {"registry zone, weekly",
         calendar("", "DTSTART;TZID=America/Los_Angeles:20121028T103000", "FREQ=WEEKLY;COUNT=3"),
         {"20121111T183000Z", "20121104T183000Z", "20121028T173000Z"},
         {"20121111T173000Z", "20121104T173000Z", "20121028T173000Z"}},
        {"input's own zone, daily",
         calendar(kZurichOwnZone, "DTSTART;TZID=Zurich own:20161029T080000",
                  "FREQ=DAILY;COUNT=3"),
         {"20161031T070000Z", "20161030T070000Z", "20161029T060000Z"},
         {"20161031T060000Z", "20161030T060000Z", "20161029T060000Z"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.withoutKey, starts(row.ics));
        config_set_string(config_getdefaultcache(), CALPARSER_SERIES_ZONE_KEY, "1");
        EXPECT_EQ(row.withKey, starts(row.ics));
        config_set_string(config_getdefaultcache(), CALPARSER_SERIES_ZONE_KEY, nullptr);
    }
}

// The kept zone only stands in for a missing X-KVAL-DTSTART-TZID, and a
// start without TZID keeps none: both expand in UTC as before, 17:30Z weekly.
TEST_F(SeriesZoneTest, ServerZoneLineAndZonelessStartAreUnchanged) {
    const std::vector<std::string> inUtc = {"20121111T173000Z", "20121104T173000Z",
                                            "20121028T173000Z"};
    const char* lines[] = {
        "X-KVAL-DTSTART-TZID:Africa/Casablanca\r\n"
        "DTSTART;TZID=America/Los_Angeles:20121028T103000",
        "DTSTART:20121028T173000Z"};
    config_set_string(config_getdefaultcache(), CALPARSER_SERIES_ZONE_KEY, "1");
    for (const char* start : lines) {
        SCOPED_TRACE(start);
        EXPECT_EQ(inUtc, starts(calendar("", start, "FREQ=WEEKLY;COUNT=3")));
    }
}

}  // namespace
