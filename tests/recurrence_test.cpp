#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include <unicode/timezone.h>

#include "public/core_util/gmtime.h"
#include "public/recurrence/recurrence.h"
#include "public/util/array.h"
#include "public/util/kvallog.h"

namespace {

constexpr int EDT = -4;
constexpr int EST = -5;

// A New York wall-clock time with the offset the RFC's example text names.
time_t ny(int year, int month, int day, int offsetHours, int hour = 9, int minute = 0) {
    struct tm broken;
    memset(&broken, 0, sizeof(broken));
    broken.tm_year = year - 1900;
    broken.tm_mon = month - 1;
    broken.tm_mday = day;
    broken.tm_hour = hour;
    broken.tm_min = minute;
    return mkgmtime(&broken) - offsetHours * 3600;
}

struct Texts {
    array_t* array = array_new();
    Texts(std::initializer_list<const char*> texts) {
        for (const char* text : texts)
            array_append(array, (void*)text);
    }
    ~Texts() { array_delete(array); }
};

struct Expansion {
    int status = -1;
    std::vector<time_t> dates;
};

class Recurrence : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, recurrence_init()); }
    static void TearDownTestSuite() { recurrence_uninit(); }

    Expansion expand(time_t dtstart, std::initializer_list<const char*> rrules,
                     std::initializer_list<const char*> rdates = {},
                     std::initializer_list<const char*> exrules = {},
                     std::initializer_list<const char*> exdates = {}, int bound = 500) {
        Texts r(rrules), rd(rdates), er(exrules), ed(exdates);
        array_t* dates = array_new();
        Expansion result;
        result.status = recurrence_GenerateDates(dtstart, r.array, rd.array, er.array, ed.array,
                                                 bound, dates, zone_.get(), 1);
        for (unsigned i = 0; i < dates->count; i++) {
            result.dates.push_back(*(time_t*)dates->data[i]);
            free(dates->data[i]);
        }
        array_delete(dates);
        return result;
    }

    std::unique_ptr<icu::TimeZone> zone_{icu::TimeZone::createTimeZone("America/New_York")};
};

std::vector<time_t> days(int year, int month, int first, int last, int offset, int hour = 9) {
    std::vector<time_t> out;
    for (int day = first; day <= last; day++)
        out.push_back(ny(year, month, day, offset, hour));
    return out;
}

std::vector<time_t> join(std::initializer_list<std::vector<time_t>> parts) {
    std::vector<time_t> out;
    for (const auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

std::vector<std::pair<int, std::string>> g_log;
void capture(void*, int level, const char* message) { g_log.emplace_back(level, message); }

}  // namespace

// RFC 5545 section 3.8.5.3, DTSTART;TZID=America/New_York throughout.

TEST_F(Recurrence, RfcDailyUntilKeepsNineOClockAcrossTheChange) {
    auto got = expand(ny(1997, 9, 2, EDT), {"FREQ=DAILY;UNTIL=19971224T000000Z"});
    EXPECT_EQ(0, got.status);
    EXPECT_EQ(join({days(1997, 9, 2, 30, EDT), days(1997, 10, 1, 25, EDT),
                    days(1997, 10, 26, 31, EST), days(1997, 11, 1, 30, EST),
                    days(1997, 12, 1, 23, EST)}),
              got.dates);
}

TEST_F(Recurrence, RfcEveryDayInJanuaryForThreeYears) {
    auto expected = join({days(1998, 1, 1, 31, EST), days(1999, 1, 1, 31, EST),
                          days(2000, 1, 1, 31, EST)});
    auto yearly = expand(ny(1998, 1, 1, EST),
                         {"FREQ=YEARLY;UNTIL=20000131T140000Z;BYMONTH=1;BYDAY=SU,MO,TU,WE,TH,FR,SA"});
    EXPECT_EQ(expected, yearly.dates);
    auto daily = expand(ny(1998, 1, 1, EST), {"FREQ=DAILY;UNTIL=20000131T140000Z;BYMONTH=1"});
    EXPECT_EQ(expected, daily.dates);
}

TEST_F(Recurrence, RfcWeeklyOnTuesdayAndThursdayForFiveWeeks) {
    std::vector<time_t> expected{ny(1997, 9, 2, EDT),  ny(1997, 9, 4, EDT),  ny(1997, 9, 9, EDT),
                                 ny(1997, 9, 11, EDT), ny(1997, 9, 16, EDT), ny(1997, 9, 18, EDT),
                                 ny(1997, 9, 23, EDT), ny(1997, 9, 25, EDT), ny(1997, 9, 30, EDT),
                                 ny(1997, 10, 2, EDT)};
    EXPECT_EQ(expected,
              expand(ny(1997, 9, 2, EDT), {"FREQ=WEEKLY;UNTIL=19971007T000000Z;WKST=SU;BYDAY=TU,TH"})
                  .dates);
}

TEST_F(Recurrence, RfcEveryOtherWeekOnMondayWednesdayFriday) {
    auto got = expand(ny(1997, 9, 1, EDT),
                      {"FREQ=WEEKLY;INTERVAL=2;UNTIL=19971224T000000Z;WKST=SU;BYDAY=MO,WE,FR"});
    std::vector<time_t> expected;
    for (int day : {1, 3, 5, 15, 17, 19, 29}) expected.push_back(ny(1997, 9, day, EDT));
    for (int day : {1, 3, 13, 15, 17}) expected.push_back(ny(1997, 10, day, EDT));
    for (int day : {27, 29, 31}) expected.push_back(ny(1997, 10, day, EST));
    for (int day : {10, 12, 14, 24, 26, 28}) expected.push_back(ny(1997, 11, day, EST));
    for (int day : {8, 10, 12, 22}) expected.push_back(ny(1997, 12, day, EST));
    EXPECT_EQ(expected, got.dates);
}

TEST_F(Recurrence, RfcMonthlyOnTheFirstFridayUnderTheOlderDaylightRules) {
    // In 1998 daylight time began on 5 April, so 3 April is still EST.
    auto got = expand(ny(1997, 9, 5, EDT), {"FREQ=MONTHLY;COUNT=10;BYDAY=1FR"});
    EXPECT_EQ((std::vector<time_t>{ny(1997, 9, 5, EDT), ny(1997, 10, 3, EDT), ny(1997, 11, 7, EST),
                                   ny(1997, 12, 5, EST), ny(1998, 1, 2, EST), ny(1998, 2, 6, EST),
                                   ny(1998, 3, 6, EST), ny(1998, 4, 3, EST), ny(1998, 5, 1, EDT),
                                   ny(1998, 6, 5, EDT)}),
              got.dates);
}

TEST_F(Recurrence, RfcEveryOtherMonthOnFirstAndLastSunday) {
    auto got = expand(ny(1997, 9, 7, EDT), {"FREQ=MONTHLY;INTERVAL=2;COUNT=10;BYDAY=1SU,-1SU"});
    EXPECT_EQ((std::vector<time_t>{ny(1997, 9, 7, EDT), ny(1997, 9, 28, EDT), ny(1997, 11, 2, EST),
                                   ny(1997, 11, 30, EST), ny(1998, 1, 4, EST), ny(1998, 1, 25, EST),
                                   ny(1998, 3, 1, EST), ny(1998, 3, 29, EST), ny(1998, 5, 3, EDT),
                                   ny(1998, 5, 31, EDT)}),
              got.dates);
}

TEST_F(Recurrence, RfcMonthlyByNegativeMonthDay) {
    auto thirdToLast = expand(ny(1997, 9, 28, EDT), {"FREQ=MONTHLY;BYMONTHDAY=-3"}, {}, {}, {}, 6);
    EXPECT_EQ((std::vector<time_t>{ny(1997, 9, 28, EDT), ny(1997, 10, 29, EST), ny(1997, 11, 28, EST),
                                   ny(1997, 12, 29, EST), ny(1998, 1, 29, EST), ny(1998, 2, 26, EST)}),
              thirdToLast.dates);
}

TEST_F(Recurrence, RfcEveryThirdYearOnYearDays) {
    auto got = expand(ny(1997, 1, 1, EST), {"FREQ=YEARLY;INTERVAL=3;COUNT=10;BYYEARDAY=1,100,200"});
    EXPECT_EQ((std::vector<time_t>{ny(1997, 1, 1, EST), ny(1997, 4, 10, EDT), ny(1997, 7, 19, EDT),
                                   ny(2000, 1, 1, EST), ny(2000, 4, 9, EDT), ny(2000, 7, 18, EDT),
                                   ny(2003, 1, 1, EST), ny(2003, 4, 10, EDT), ny(2003, 7, 19, EDT),
                                   ny(2006, 1, 1, EST)}),
              got.dates);
}

TEST_F(Recurrence, RfcYearlyByOrdinalWeekdayAndWeekNumber) {
    auto twentiethMonday = expand(ny(1997, 5, 19, EDT), {"FREQ=YEARLY;BYDAY=20MO"}, {}, {}, {}, 3);
    EXPECT_EQ((std::vector<time_t>{ny(1997, 5, 19, EDT), ny(1998, 5, 18, EDT), ny(1999, 5, 17, EDT)}),
              twentiethMonday.dates);
    auto week20 = expand(ny(1997, 5, 12, EDT), {"FREQ=YEARLY;BYWEEKNO=20;BYDAY=MO"}, {}, {}, {}, 3);
    EXPECT_EQ((std::vector<time_t>{ny(1997, 5, 12, EDT), ny(1998, 5, 11, EDT), ny(1999, 5, 17, EDT)}),
              week20.dates);
}

TEST_F(Recurrence, RfcFridayThe13thWithDtstartExcluded) {
    auto got = expand(ny(1997, 9, 2, EDT), {"FREQ=MONTHLY;BYDAY=FR;BYMONTHDAY=13"}, {}, {},
                      {"19970902T090000"}, 5);
    EXPECT_EQ((std::vector<time_t>{ny(1998, 2, 13, EST), ny(1998, 3, 13, EST), ny(1998, 11, 13, EST),
                                   ny(1999, 8, 13, EDT), ny(2000, 10, 13, EDT)}),
              got.dates);
}

TEST_F(Recurrence, RfcSetPositions) {
    auto secondToLastWeekday =
        expand(ny(1997, 9, 29, EDT), {"FREQ=MONTHLY;BYDAY=MO,TU,WE,TH,FR;BYSETPOS=-2"}, {}, {}, {}, 7);
    EXPECT_EQ((std::vector<time_t>{ny(1997, 9, 29, EDT), ny(1997, 10, 30, EST), ny(1997, 11, 27, EST),
                                   ny(1997, 12, 30, EST), ny(1998, 1, 29, EST), ny(1998, 2, 26, EST),
                                   ny(1998, 3, 30, EST)}),
              secondToLastWeekday.dates);
}

TEST_F(Recurrence, RfcDailyByHourAndMinute) {
    auto every20 = expand(ny(1997, 9, 2, EDT),
                          {"FREQ=DAILY;BYHOUR=9,10,11,12,13,14,15,16;BYMINUTE=0,20,40"}, {}, {}, {}, 27);
    std::vector<time_t> expected;
    for (int hour = 9; hour <= 16; hour++)
        for (int minute : {0, 20, 40})
            expected.push_back(ny(1997, 9, 2, EDT, hour, minute));
    for (int minute : {0, 20, 40})
        expected.push_back(ny(1997, 9, 3, EDT, 9, minute));
    EXPECT_EQ(expected, every20.dates);
}

TEST_F(Recurrence, RfcWeekStartChangesTheDates) {
    auto monday = expand(ny(1997, 8, 5, EDT), {"FREQ=WEEKLY;INTERVAL=2;COUNT=4;BYDAY=TU,SU;WKST=MO"});
    EXPECT_EQ((std::vector<time_t>{ny(1997, 8, 5, EDT), ny(1997, 8, 10, EDT), ny(1997, 8, 19, EDT),
                                   ny(1997, 8, 24, EDT)}),
              monday.dates);
    auto sunday = expand(ny(1997, 8, 5, EDT), {"FREQ=WEEKLY;INTERVAL=2;COUNT=4;BYDAY=TU,SU;WKST=SU"});
    EXPECT_EQ((std::vector<time_t>{ny(1997, 8, 5, EDT), ny(1997, 8, 17, EDT), ny(1997, 8, 19, EDT),
                                   ny(1997, 8, 31, EDT)}),
              sunday.dates);
}

TEST_F(Recurrence, RfcInvalidDatesAreSkippedNotMoved) {
    // No 30 February; daylight time began on 11 March 2007.
    auto got = expand(ny(2007, 1, 15, EST), {"FREQ=MONTHLY;BYMONTHDAY=15,30;COUNT=5"});
    EXPECT_EQ((std::vector<time_t>{ny(2007, 1, 15, EST), ny(2007, 1, 30, EST), ny(2007, 2, 15, EST),
                                   ny(2007, 3, 15, EDT), ny(2007, 3, 30, EDT)}),
              got.dates);
}

// Rules count wall-clock time. In the skipped hour of 9 March 2025 a time
// takes the offset before the change: 02:00 coincides with 03:00, and 02:15
// lands after 03:00, yet nothing is lost or out of order. In the repeated hour
// of 2 November 01:00 is its first occurrence only.
TEST_F(Recurrence, WallClockRulesAcrossTheGapAndTheRepeatedHour) {
    auto halfHours = expand(ny(2025, 3, 9, EST, 0, 30), {"FREQ=MINUTELY;INTERVAL=30;COUNT=8"});
    EXPECT_EQ((std::vector<time_t>{ny(2025, 3, 9, EST, 0, 30), ny(2025, 3, 9, EST, 1, 0),
                                   ny(2025, 3, 9, EST, 1, 30), ny(2025, 3, 9, EST, 2, 0),
                                   ny(2025, 3, 9, EST, 2, 30), ny(2025, 3, 9, EDT, 4, 0)}),
              halfHours.dates);
    auto every45 = expand(ny(2025, 3, 9, EST, 1, 30), {"FREQ=MINUTELY;INTERVAL=45;COUNT=4"});
    EXPECT_EQ((std::vector<time_t>{ny(2025, 3, 9, EST, 1, 30), ny(2025, 3, 9, EDT, 3, 0),
                                   ny(2025, 3, 9, EST, 2, 15), ny(2025, 3, 9, EDT, 3, 45)}),
              every45.dates);
    auto autumn = expand(ny(2025, 11, 2, EDT, 0), {"FREQ=HOURLY;COUNT=4"});
    EXPECT_EQ((std::vector<time_t>{ny(2025, 11, 2, EDT, 0), ny(2025, 11, 2, EDT, 1),
                                   ny(2025, 11, 2, EST, 2), ny(2025, 11, 2, EST, 3)}),
              autumn.dates);
}

TEST_F(Recurrence, ExdatesInEveryForm) {
    auto got = expand(ny(1997, 9, 2, EDT), {"FREQ=DAILY;COUNT=10"}, {}, {},
                      {"19970903T130000Z",    // UTC
                       "19970904T090000",     // wall clock
                       "19970905",            // the whole day
                       "19970906T100000"});   // no occurrence at that time: nothing removed
    EXPECT_EQ(0, got.status);
    EXPECT_EQ(join({days(1997, 9, 2, 2, EDT), days(1997, 9, 6, 11, EDT)}), got.dates);
}

TEST_F(Recurrence, ExruleRemovesItsOccurrences) {
    auto got = expand(ny(1997, 9, 2, EDT), {"FREQ=DAILY;COUNT=10"}, {}, {"FREQ=WEEKLY;BYDAY=SA,SU"});
    EXPECT_EQ(0, got.status);
    EXPECT_EQ(join({days(1997, 9, 2, 5, EDT), days(1997, 9, 8, 11, EDT)}), got.dates);
    // An exclusion that removes everything must still end.
    EXPECT_TRUE(expand(ny(1997, 9, 2, EDT), {"FREQ=DAILY"}, {}, {"FREQ=DAILY"}, {}, 60).dates.empty());
}

TEST_F(Recurrence, RdatesInEveryFormAreMergedInOrder) {
    auto got = expand(ny(1997, 9, 2, EDT), {"FREQ=WEEKLY;COUNT=2"},
                      {"19970905T170000Z",           // UTC
                       "19970820T090000",            // wall clock, before DTSTART
                       "19971030",                   // a date: at DTSTART's wall-clock time
                       "19970903T150000Z/PT1H",      // a period counts by its start
                       "19970904T090000/19970904T100000",
                       "19970909T130000Z"});         // the rule's own second date
    EXPECT_EQ(0, got.status);
    EXPECT_EQ((std::vector<time_t>{ny(1997, 8, 20, EDT), ny(1997, 9, 2, EDT), ny(1997, 9, 3, EDT, 11),
                                   ny(1997, 9, 4, EDT), ny(1997, 9, 5, EDT, 13), ny(1997, 9, 9, EDT),
                                   ny(1997, 10, 30, EST)}),
              got.dates);
}

TEST_F(Recurrence, BoundKeepsTheEarliestOccurrences) {
    auto got = expand(ny(1997, 9, 2, EDT), {"FREQ=DAILY"}, {}, {}, {}, 60);
    ASSERT_EQ(60u, got.dates.size());
    EXPECT_EQ(ny(1997, 9, 2, EDT), got.dates.front());
    EXPECT_EQ(ny(1997, 10, 31, EST), got.dates.back());

    auto none = expand(ny(1997, 9, 2, EDT), {"FREQ=DAILY"}, {}, {}, {}, 0);
    EXPECT_EQ(0, none.status);
    EXPECT_TRUE(none.dates.empty());
}

TEST_F(Recurrence, RulesThatNeverMatchEndWithDtstartAlone) {
    const char* never[] = {
        "FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=30",
        "FREQ=MONTHLY;BYMONTH=4;BYMONTHDAY=31",
        "FREQ=MONTHLY;BYDAY=MO;BYSETPOS=7",        // no month has 7 Mondays
        "FREQ=MONTHLY;BYDAY=6FR",
        "FREQ=MONTHLY;INTERVAL=12;BYMONTHDAY=31",  // only Septembers
        "FREQ=MONTHLY;INTERVAL=2;BYMONTH=10",      // only odd months
        "FREQ=YEARLY;BYDAY=MO;BYSETPOS=60",
        "FREQ=DAILY;BYMONTH=2;BYMONTHDAY=30",
        "FREQ=DAILY;INTERVAL=7;BYDAY=MO",          // DTSTART is a Tuesday
        "FREQ=HOURLY;INTERVAL=2;BYHOUR=10",        // only odd hours are reachable from 09:00
        "FREQ=MINUTELY;INTERVAL=2;BYMINUTE=1",
        "FREQ=SECONDLY;INTERVAL=2;BYSECOND=1",
    };
    for (const char* rule : never) {
        auto got = expand(ny(1997, 9, 2, EDT), {rule});
        EXPECT_EQ(0, got.status) << rule;
        EXPECT_EQ(std::vector<time_t>{ny(1997, 9, 2, EDT)}, got.dates) << rule;
    }
}

// Rules just inside what the quick checks allow still expand.
TEST_F(Recurrence, RulesThatCanMatchAreNotCutShort) {
    EXPECT_EQ((std::vector<time_t>{ny(1997, 9, 2, EDT), ny(1997, 9, 9, EDT), ny(1997, 9, 16, EDT)}),
              expand(ny(1997, 9, 2, EDT), {"FREQ=DAILY;INTERVAL=7;BYDAY=TU;COUNT=3"}).dates);
    EXPECT_EQ((std::vector<time_t>{ny(1997, 9, 2, EDT), ny(1997, 9, 29, EDT), ny(1997, 12, 29, EST)}),
              expand(ny(1997, 9, 2, EDT), {"FREQ=MONTHLY;BYDAY=MO;BYSETPOS=5;COUNT=2"}).dates);
    EXPECT_EQ((std::vector<time_t>{ny(1997, 9, 2, EDT), ny(1997, 9, 30, EDT), ny(1998, 9, 30, EDT)}),
              expand(ny(1997, 9, 2, EDT), {"FREQ=MONTHLY;INTERVAL=12;BYMONTHDAY=30;COUNT=2"}).dates);
    EXPECT_EQ((std::vector<time_t>{ny(1997, 9, 2, EDT), ny(1997, 9, 2, EDT, 11), ny(1997, 9, 3, EDT)}),
              expand(ny(1997, 9, 2, EDT), {"FREQ=HOURLY;INTERVAL=2;BYHOUR=9,11;COUNT=3"}).dates);
}

TEST_F(Recurrence, UnreadableOrRefusedRulesAreLoggedAndSkipped) {
    g_log.clear();
    kvallog_sink_t previous = kvallog_set_sink(capture, nullptr);
    auto got = expand(ny(1997, 9, 2, EDT),
                      {"FREQ=SOMETIMES", "FREQ=DAILY;COUNT=2", "FREQ=SECONDLY;BYMONTH=2"}, {"garbage"});
    kvallog_set_sink(previous, nullptr);
    EXPECT_EQ(2, got.status);
    EXPECT_EQ(days(1997, 9, 2, 3, EDT), got.dates);
    ASSERT_EQ(2u, g_log.size());
    EXPECT_EQ(4, g_log[0].first);
    EXPECT_EQ("calparser: Recurrence rule \"FREQ=SOMETIMES\" is not readable.", g_log[0].second);
    EXPECT_EQ(
        "calparser: Recurrence rule \"FREQ=SECONDLY;BYMONTH=2\" is too costly to search and is not "
        "expanded.",
        g_log[1].second);
}

TEST_F(Recurrence, BadArgumentsAndNoZone) {
    array_t* dates = array_new();
    EXPECT_EQ(1, recurrence_GenerateDates(ny(1997, 9, 2, EDT), nullptr, nullptr, nullptr, nullptr,
                                          10, nullptr, nullptr, 1));
    EXPECT_EQ(1, recurrence_GenerateDates(0, nullptr, nullptr, nullptr, nullptr, 10, dates,
                                          nullptr, 1));
    EXPECT_EQ(0u, dates->count);
    // No zone, no rule: DTSTART alone, in UTC.
    EXPECT_EQ(0, recurrence_GenerateDates(1041422400, nullptr, nullptr, nullptr, nullptr, 10, dates,
                                          nullptr, 1));
    ASSERT_EQ(1u, dates->count);
    EXPECT_EQ(1041422400, *(time_t*)dates->data[0]);
    free(dates->data[0]);
    array_delete(dates);

    zone_.reset();
    auto utc = expand(1041422400, {"FREQ=DAILY;COUNT=3"}, {"20030105"});
    EXPECT_EQ((std::vector<time_t>{1041422400, 1041422400 + 86400, 1041422400 + 2 * 86400,
                                   1041422400 + 4 * 86400}),
              utc.dates);
}
