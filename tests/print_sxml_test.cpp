#include "core/parser/print_sxml.h"

#include <gtest/gtest.h>
#include <plstr.h>
#include <stdint.h>
#include <time.h>

#include <memory>
#include <string>

#include "tests/support/print_capture.h"

namespace {

// Hand-worked epoch values.
constexpr time_t kStamp = 1000000000;              // 20010909T014640Z
constexpr int32_t kNewYear2003 = 1041379200;       // 20030101T000000Z
constexpr int32_t kNoon = kNewYear2003 + 43200;    // 20030101T120000Z
constexpr int32_t kOne = kNewYear2003 + 46800;     // 20030101T130000Z
constexpr int32_t kJan2 = kNewYear2003 + 86400;    // 20030102
constexpr int32_t kCreated = kNewYear2003 - 1;     // 20021231T235959Z
constexpr int32_t kModified = kNewYear2003 + 3723; // 20030101T010203Z

const std::string kHeader = "<V V=2.0 P=-//Velmora/Calendar Hosting Server//EN M=PUBLISH>\n";
const std::string kTail = "</V>\n";
// The middle of an all_day record's line, up to its GE value.
const std::string kDayTail = "CR=20021231T235959Z L=20030101T010203Z SE=0 GE=";

struct FreeRecord {
    void operator()(void* record) const { caldb_FreeComponent(&record); }
};
using Event = std::unique_ptr<CALDB_VEVENT, FreeRecord>;
using Todo = std::unique_ptr<CALDB_VTODO, FreeRecord>;

template <typename Record>
Record* named(Record* r, const char* uid, const char* summary) {
    r->pUid = PL_strdup(uid);
    r->pSummary = PL_strdup(summary);
    return r;
}

// An all-day record of 2003-01-01, created and modified at the fixed times.
template <typename Record>
Record* all_day(Record* r) {
    named(r, "d", "s");
    r->tDtStart = kNewYear2003;
    r->tCreated = kCreated;
    r->tLastModified = kModified;
    r->bDtStartIsDate = 1;
    r->bDtEndIsDate = 1;
    return r;
}

}  // namespace

// Texts go out unescaped and missing ones empty; unset times are the epoch;
// the date form needs the start flag, and the end follows only with its own
// flag; GE is signed degrees with six decimals, down to the extreme values.
TEST(SxmlWriter, EventLinesByteForByte)
{
    Event full(named(caldb_NewEvent(), "uid-1", "Team, meeting"));
    full->tDtStart = kNoon;
    full->tDtEnd = kOne;
    full->tCreated = kCreated;
    full->tLastModified = kModified;
    full->nSequence = 3;
    full->nGeoLat = 37050000;
    full->nGeoLon = -122400000;
    full->pDescription = PL_strdup("Talk; plan");
    full->pUrl = PL_strdup("http://x/?a=1&b=2");
    full->pClass = PL_strdup("PUBLIC");
    full->pLocation = PL_strdup("Room \"4\"");
    Event empty(caldb_NewEvent());
    Event day(all_day(caldb_NewEvent()));
    day->tDtEnd = kJan2;
    day->nGeoLat = -33123456;
    day->nGeoLon = 151000007;

    std::string out = written_by([&](protstream* s) {
        EXPECT_EQ(full.get(), calparser_event_to_sxml(full.get(), s, kStamp));
        calparser_event_to_sxml(empty.get(), s, kStamp);
        EXPECT_EQ(nullptr, calparser_event_to_sxml(nullptr, s, kStamp));
        calparser_event_to_sxml(day.get(), s, kStamp);
        day->bDtEndIsDate = 0;
        day->nGeoLat = INT32_MIN;
        day->nGeoLon = INT32_MAX;
        calparser_event_to_sxml(day.get(), s, kStamp);
    });
    EXPECT_EQ("<E=I=uid-1 DM=20010909T014640Z S=Team, meeting DS=20030101T120000Z "
              "DE=20030101T130000Z CR=20021231T235959Z L=20030101T010203Z SE=3 "
              "GE=37.050000,-122.400000 D=Talk; plan U=http://x/?a=1&b=2 CL=PUBLIC N=Room \"4\">\n"
              "<E=I= DM=20010909T014640Z S= DS=19700101T000000Z DE=19700101T000000Z "
              "CR=19700101T000000Z L=19700101T000000Z SE=0 GE=0.000000,0.000000 D= U= CL= N=>\n"
              "<E=I=d DM=20010909T014640Z S=s DS=\"20030101;V=D\" DE=\"20030102;V=D\" " +
              kDayTail + "-33.123456,151.000007 D= U= CL= N=>\n"
              "<E=I=d DM=20010909T014640Z S=s DS=\"20030101;V=D\" " + kDayTail +
              "-2147.483648,2147.483647 D= U= CL= N=>\n",
              out);
}

// A to-do line is an event line (the same code) with T for E and its due
// time under E. The frame follows the flag alone, with or without elements.
TEST(SxmlWriter, TodoLinesAndFramesByteForByte)
{
    Todo timed(named(caldb_NewToDo(), "t1", "Do it"));
    timed->tDtStart = kNoon;
    timed->tDue = kOne;
    timed->nSequence = 12;
    timed->nGeoLat = -500000;
    timed->pClass = PL_strdup("PRIVATE");
    Todo dayTodo(all_day(caldb_NewToDo()));
    dayTodo->tDue = kJan2;

    array_t* none = array_new();
    std::string out = written_by([&](protstream* s) {
        calparser_sxml_header(s);
        EXPECT_EQ(timed.get(), calparser_todo_to_sxml(timed.get(), s, kStamp));
        EXPECT_EQ(nullptr, calparser_todo_to_sxml(nullptr, s, kStamp));
        calparser_todo_to_sxml(dayTodo.get(), s, kStamp);
        calparser_sxml_tail(s);
        calparser_todoarray_to_sxml(nullptr, s, 0);
        calparser_eventarray_to_sxml(none, s, 1);
    });
    array_delete(none);
    EXPECT_EQ(kHeader +
              "<T=I=t1 DM=20010909T014640Z S=Do it DS=20030101T120000Z E=20030101T130000Z "
              "CR=19700101T000000Z L=19700101T000000Z SE=12 GE=-0.500000,0.000000 "
              "D= U= CL=PRIVATE N=>\n"
              "<T=I=d DM=20010909T014640Z S=s DS=\"20030101;V=D\" E=\"20030102;V=D\" " + kDayTail +
              "0.000000,0.000000 D= U= CL= N=>\n" + kTail + kHeader + kTail,
              out);
}
