#include "core/parser/print_sxml.h"

#include <gtest/gtest.h>
#include <plstr.h>
#include <stdint.h>
#include <time.h>

#include <string>

#include "tests/support/print_capture.h"

namespace {

// Hand-worked epoch values.
constexpr time_t kStamp = 1000000000;              // 20010909T014640Z
constexpr int32_t kNewYear2003 = 1041379200;       // 20030101T000000Z
constexpr int32_t kNoon = kNewYear2003 + 43200;    // 20030101T120000Z
constexpr int32_t kOne = kNewYear2003 + 46800;     // 20030101T130000Z
constexpr int32_t kJan2 = kNewYear2003 + 86400;    // 20030102

template <typename Record>
Record* named(Record* r, const char* uid, const char* summary) {
    r->pUid = PL_strdup(uid);
    r->pSummary = PL_strdup(summary);
    return r;
}

}  // namespace

// Texts go out unescaped and missing ones empty; unset times are the epoch;
// the date form needs the start flag, and the end follows only with its own
// flag; GE is signed degrees with six decimals, down to the extreme values.
// A to-do line is an event line with T for E and its due time under E; the
// frame follows the flag alone, with or without elements.
TEST(SxmlWriter, LinesAndFramesByteForByte)
{
    CALDB_VEVENT* full = named(caldb_NewEvent(), "uid-1", "Team, meeting");
    full->tDtStart = kNoon;
    full->tDtEnd = kOne;
    full->tCreated = kNewYear2003 - 1;
    full->tLastModified = kNewYear2003 + 3723;
    full->nSequence = 3;
    full->nGeoLat = 37050000;
    full->nGeoLon = -122400000;
    full->pDescription = PL_strdup("Talk; plan");
    full->pUrl = PL_strdup("http://x/?a=1&b=2");
    full->pLocation = PL_strdup("Room \"4\"");
    CALDB_VEVENT* day = named(caldb_NewEvent(), "d", "s");
    day->tDtStart = kNewYear2003;
    day->tDtEnd = kJan2;
    day->bDtStartIsDate = day->bDtEndIsDate = 1;
    day->nGeoLat = INT32_MIN;
    day->nGeoLon = INT32_MAX;
    CALDB_VTODO* todo = named(caldb_NewToDo(), "t1", "Do it");
    todo->tDtStart = kNewYear2003;
    todo->tDue = kJan2;
    todo->bDtStartIsDate = todo->bDtEndIsDate = 1;
    todo->nGeoLat = -500000;
    todo->pClass = PL_strdup("PRIVATE");
    array_t* none = array_new();

    std::string out = written_by([&](protstream* s) {
        calparser_sxml_header(s);
        EXPECT_EQ(full, calparser_event_to_sxml(full, s, kStamp));
        EXPECT_EQ(nullptr, calparser_event_to_sxml(nullptr, s, kStamp));
        calparser_event_to_sxml(day, s, kStamp);
        day->bDtEndIsDate = 0;
        calparser_event_to_sxml(day, s, kStamp);
        EXPECT_EQ(todo, calparser_todo_to_sxml(todo, s, kStamp));
        EXPECT_EQ(nullptr, calparser_todo_to_sxml(nullptr, s, kStamp));
        calparser_sxml_tail(s);
        calparser_todoarray_to_sxml(nullptr, s, 0);
        calparser_eventarray_to_sxml(none, s, 1);
    });
    const std::string header = "<V V=2.0 P=-//Velmora/Calendar Hosting Server//EN M=PUBLISH>\n";
    const std::string epoch = "CR=19700101T000000Z L=19700101T000000Z";
    EXPECT_EQ(header +
              "<E=I=uid-1 DM=20010909T014640Z S=Team, meeting DS=20030101T120000Z "
              "DE=20030101T130000Z CR=20021231T235959Z L=20030101T010203Z SE=3 "
              "GE=37.050000,-122.400000 D=Talk; plan U=http://x/?a=1&b=2 CL= N=Room \"4\">\n"
              "<E=I=d DM=20010909T014640Z S=s DS=\"20030101;V=D\" DE=\"20030102;V=D\" " + epoch +
              " SE=0 GE=-2147.483648,2147.483647 D= U= CL= N=>\n"
              "<E=I=d DM=20010909T014640Z S=s DS=\"20030101;V=D\" " + epoch +
              " SE=0 GE=-2147.483648,2147.483647 D= U= CL= N=>\n"
              "<T=I=t1 DM=20010909T014640Z S=Do it DS=\"20030101;V=D\" E=\"20030102;V=D\" " +
              epoch + " SE=0 GE=-0.500000,0.000000 D= U= CL=PRIVATE N=>\n"
              "</V>\n" + header + "</V>\n",
              out);
    array_delete(none);
    for (void* record : {(void*)full, (void*)day, (void*)todo}) caldb_FreeComponent(&record);
}
