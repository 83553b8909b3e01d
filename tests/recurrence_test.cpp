#include <gtest/gtest.h>

#include <stdlib.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include <unicode/timezone.h>

#include "public/core_util/gmtime.h"
#include "public/recurrence/recurrence.h"
#include "public/util/array.h"
#include "tests/support/log_capture.h"
#include "tests/support/zone_builders.h"

namespace {

constexpr int EDT = -4;
constexpr int EST = -5;

using Times = std::vector<time_t>;
using Texts = std::vector<const char*>;

// A New York wall-clock time with the UTC offset the example's text names.
time_t ny(int year, int month, int day, int offsetHours, int hour = 9, int minute = 0) {
    struct tm broken = {};
    broken.tm_year = year - 1900;
    broken.tm_mon = month - 1;
    broken.tm_mday = day;
    broken.tm_hour = hour;
    broken.tm_min = minute;
    return mkgmtime(&broken) - offsetHours * 3600;
}

// 09:00 on every day from `first` to `last` of one month.
Times days(int year, int month, int first, int last, int offsetHours) {
    Times out;
    for (int day = first; day <= last; day++)
        out.push_back(ny(year, month, day, offsetHours));
    return out;
}

Times join(std::initializer_list<Times> parts) {
    Times out;
    for (const Times& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

// One rule expanded from `dtstart`, optionally with EXDATEs.
struct RuleCase {
    const char* rule;
    time_t dtstart;
    Times expected;
    int bound = 500;
    Texts exdates = {};
};

struct Expansion {
    int status = -1;
    Times dates;
};

array_t* text_array(const Texts& texts) {
    array_t* array = array_new();
    for (const char* text : texts)
        array_append(array, (void*)text);
    return array;
}

class Recurrence : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, recurrence_init()); }
    static void TearDownTestSuite() { recurrence_uninit(); }

    Expansion expand(time_t dtstart, const Texts& rrules, const Texts& rdates = {},
                     const Texts& exrules = {}, const Texts& exdates = {}, int bound = 500) {
        array_t* lists[] = {text_array(rrules), text_array(rdates), text_array(exrules),
                            text_array(exdates)};
        array_t* dates = array_new();
        Expansion result;
        result.status = recurrence_GenerateDates(dtstart, lists[0], lists[1], lists[2], lists[3],
                                                 bound, dates, zone_.get(), 1);
        for (unsigned i = 0; i < dates->count; i++) {
            result.dates.push_back(*(time_t*)dates->data[i]);
            free(dates->data[i]);
        }
        array_delete(dates);
        for (array_t* list : lists)
            array_delete(list);
        return result;
    }

    void expect_cases(const std::vector<RuleCase>& cases) {
        for (const RuleCase& c : cases) {
            SCOPED_TRACE(c.rule);
            Expansion got = expand(c.dtstart, {c.rule}, {}, {}, c.exdates, c.bound);
            EXPECT_EQ(0, got.status);
            EXPECT_EQ(c.expected, got.dates);
        }
    }

    std::unique_ptr<icu::TimeZone> zone_{icu::TimeZone::createTimeZone("America/New_York")};
};

}  // namespace

// Examples after RFC 5545 section 3.8.5.3 that the corpus lacks (its
// week-start, BYSETPOS, BYYEARDAY and BYWEEKNO series are pinned by the output
// equality test), DTSTART;TZID=America/New_York, cut to their first
// instances: each part of a rule the quick "never matches" checks look at
// must still reach the iterator. EDT ended on 26 October 1997.
TEST_F(Recurrence, RfcExamplesReachTheIterator) {
    expect_cases({
        // UNTIL is UTC: 19:00 EST on the 27th.
        {"FREQ=DAILY;UNTIL=19971028T000000Z", ny(1997, 10, 25, EDT),
         {ny(1997, 10, 25, EDT), ny(1997, 10, 26, EST), ny(1997, 10, 27, EST)}},
        {"FREQ=MONTHLY;INTERVAL=2;COUNT=10;BYDAY=1SU,-1SU", ny(1997, 9, 7, EDT),
         {ny(1997, 9, 7, EDT), ny(1997, 9, 28, EDT), ny(1997, 11, 2, EST), ny(1997, 11, 30, EST)},
         4},
        {"FREQ=MONTHLY;BYDAY=FR;BYMONTHDAY=13", ny(1997, 9, 2, EDT),
         {ny(1998, 2, 13, EST), ny(1998, 3, 13, EST), ny(1998, 11, 13, EST)}, 3,
         {"19970902T090000"}},
        // No 30 February: skipped, not moved. EDT began on 11 March 2007.
        {"FREQ=MONTHLY;BYMONTHDAY=15,30;COUNT=5", ny(2007, 1, 15, EST),
         {ny(2007, 1, 15, EST), ny(2007, 1, 30, EST), ny(2007, 2, 15, EST), ny(2007, 3, 15, EDT),
          ny(2007, 3, 30, EDT)}},
    });
}

// Rules count wall-clock time. In the skipped hour of 9 March 2025 a time takes
// the offset before the change: 02:00 coincides with 03:00, and 02:15 lands
// after 03:00, yet nothing is lost or out of order. In the repeated hour of
// 2 November 01:00 is its first occurrence only. The last row lies just inside
// what the quick "never matches" checks allow.
TEST_F(Recurrence, WallClockChangesAndRulesNearTheQuickChecks) {
    expect_cases({
        {"FREQ=MINUTELY;INTERVAL=30;COUNT=8", ny(2025, 3, 9, EST, 0, 30),
         {ny(2025, 3, 9, EST, 0, 30), ny(2025, 3, 9, EST, 1, 0), ny(2025, 3, 9, EST, 1, 30),
          ny(2025, 3, 9, EST, 2, 0), ny(2025, 3, 9, EST, 2, 30), ny(2025, 3, 9, EDT, 4, 0)}},
        {"FREQ=MINUTELY;INTERVAL=45;COUNT=4", ny(2025, 3, 9, EST, 1, 30),
         {ny(2025, 3, 9, EST, 1, 30), ny(2025, 3, 9, EDT, 3, 0), ny(2025, 3, 9, EST, 2, 15),
          ny(2025, 3, 9, EDT, 3, 45)}},
        {"FREQ=HOURLY;COUNT=4", ny(2025, 11, 2, EDT, 0),
         {ny(2025, 11, 2, EDT, 0), ny(2025, 11, 2, EDT, 1), ny(2025, 11, 2, EST, 2),
          ny(2025, 11, 2, EST, 3)}},
        {"FREQ=MONTHLY;BYDAY=MO;BYSETPOS=5;COUNT=2", ny(1997, 9, 2, EDT),
         {ny(1997, 9, 2, EDT), ny(1997, 9, 29, EDT), ny(1997, 12, 29, EST)}},
        // RFC 7529's Ethiopic example: the 13th month, 1 Pagume, falls on
        // 6 September each year; the checks know only Gregorian months.
        {"RSCALE=ETHIOPIC;FREQ=MONTHLY;BYMONTH=13", ny(2013, 9, 6, EDT),
         {ny(2013, 9, 6, EDT), ny(2014, 9, 6, EDT), ny(2015, 9, 6, EDT)}, 3},
        // Rules that can never match end with DTSTART alone.
        {"FREQ=MONTHLY;BYDAY=MO;BYSETPOS=7", ny(1997, 9, 2, EDT), {ny(1997, 9, 2, EDT)}},
        {"FREQ=DAILY;INTERVAL=7;BYDAY=MO", ny(1997, 9, 2, EDT), {ny(1997, 9, 2, EDT)}},
        {"FREQ=HOURLY;INTERVAL=2;BYHOUR=10", ny(1997, 9, 2, EDT), {ny(1997, 9, 2, EDT)}},
    });
}

TEST_F(Recurrence, ExdatesAndExrulesInEveryForm) {
    // The item forms are read as for RDATE below; a date removes the whole day.
    auto got = expand(ny(1997, 9, 2, EDT), {"FREQ=DAILY;COUNT=10"}, {}, {},
                      {"19970903T130000Z", "19970905", "19970906T100000"});
    EXPECT_EQ(0, got.status);
    EXPECT_EQ(join({days(1997, 9, 2, 2, EDT), days(1997, 9, 4, 4, EDT),
                    days(1997, 9, 6, 11, EDT)}),
              got.dates);

    got = expand(ny(1997, 9, 2, EDT), {"FREQ=DAILY;COUNT=10"}, {}, {"FREQ=WEEKLY;BYDAY=SA,SU"});
    EXPECT_EQ(0, got.status);
    EXPECT_EQ(join({days(1997, 9, 2, 5, EDT), days(1997, 9, 8, 11, EDT)}), got.dates);
    // An exclusion that removes everything must still end.
    EXPECT_TRUE(expand(ny(1997, 9, 2, EDT), {"FREQ=DAILY"}, {}, {"FREQ=DAILY"}, {}, 60).dates.empty());
}

TEST_F(Recurrence, UnreadableOrRefusedRulesAndItemsAreLoggedAndSkipped) {
    LogCapture log;
    auto got = expand(ny(1997, 9, 2, EDT),
                      {"FREQ=SOMETIMES", "FREQ=DAILY;COUNT=2", "FREQ=SECONDLY;BYMONTH=2"}, {"garbage"},
                      {}, {"1997090"});
    EXPECT_EQ(2, got.status);
    EXPECT_EQ(days(1997, 9, 2, 3, EDT), got.dates);
    const LogLines expected = {
        {4, "calparser: Recurrence rule \"FREQ=SOMETIMES\" is not readable."},
        {4, "calparser: Recurrence rule \"FREQ=SECONDLY;BYMONTH=2\" is too costly to search and "
            "is not expanded."},
        {4, "calparser: Recurrence RDATE item \"garbage\" is not readable."},
        {4, "calparser: Recurrence EXDATE item \"1997090\" is not readable."}};
    EXPECT_EQ(expected, log.lines());
}

// A rule that walks a long way between dates (Chinese day steps from 1970
// would take seconds) is cut at the expansion's work limit and keeps its
// start; a thread's allowance, once spent, leaves each later series its start
// and listed dates, logged once.
TEST_F(Recurrence, CostlyRulesStopAtTheWorkLimitsAndKeepTheirStart) {
    LogCapture log;
    const time_t start = ny(1970, 1, 5, EST, 0);
    auto cut = expand(start, {"RSCALE=CHINESE;FREQ=DAILY;BYMONTHDAY=30;BYMONTH=2;BYDAY=MO"});
    EXPECT_EQ(0, cut.status);
    ASSERT_FALSE(cut.dates.empty());
    EXPECT_EQ(start, cut.dates.front());
    const LogLines stopped = {{4, "calparser: Recurrence expansion stopped at its work limit with " +
                                      std::to_string(cut.dates.size()) + " dates."}};
    EXPECT_EQ(stopped, log.lines());

    log.clear();
    EXPECT_EQ(-1, recurrence_SetWorkAllowance(5));
    auto partial = expand(ny(1997, 9, 2, EDT), {"FREQ=DAILY"});
    ASSERT_FALSE(partial.dates.empty());
    EXPECT_LT(partial.dates.size(), 6u);
    EXPECT_EQ(days(1997, 9, 2, 1 + (int)partial.dates.size(), EDT), partial.dates);
    for (int series = 0; series < 2; series++) {
        auto kept = expand(ny(1997, 9, 2, EDT), {"FREQ=DAILY;COUNT=5"},
                           {"19970905T090000", "19970906T090000"}, {"FREQ=WEEKLY"},
                           {"19970906T090000"});
        EXPECT_EQ(0, kept.status);
        EXPECT_EQ((Times{ny(1997, 9, 2, EDT), ny(1997, 9, 5, EDT)}), kept.dates);
    }
    EXPECT_EQ(0, recurrence_SetWorkAllowance(-1));
    ASSERT_EQ(2u, log.lines().size());
    EXPECT_EQ(LogLines::value_type(4, "calparser: Recurrence rules are not expanded any more: "
                                      "the rule work allowed is spent."),
              log.lines()[1]);
}
