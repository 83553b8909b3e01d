#include "core/parser/print_sxml.h"

#include <gtest/gtest.h>
#include <plstr.h>
#include <time.h>

#include <algorithm>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "tests/print_capture.h"

namespace {

// Hand-worked epoch values.
constexpr time_t kStamp = 1000000000;           // 20010909T014640Z
constexpr int32_t kNewYear2003 = 1041379200;    // 20030101T000000Z
constexpr int32_t kNoon = kNewYear2003 + 43200; // 20030101T120000Z
constexpr int32_t kOne = kNewYear2003 + 46800;  // 20030101T130000Z
constexpr int32_t kJan2 = kNewYear2003 + 86400; // 20030102
constexpr int32_t kCreated = kNewYear2003 - 1;  // 20021231T235959Z
constexpr int32_t kModified = kNewYear2003 + 3723; // 20030101T010203Z

const char* const kHeader = "<V V=2.0 P=-//Velmora/Calendar Hosting Server//EN M=PUBLISH>\n";
const char* const kTail = "</V>\n";

struct EventDeleter {
    void operator()(CALDB_VEVENT* p) const { caldb_FreeEvent(&p); }
};
struct TodoDeleter {
    void operator()(CALDB_VTODO* p) const { caldb_FreeToDo(&p); }
};
using Event = std::unique_ptr<CALDB_VEVENT, EventDeleter>;
using Todo = std::unique_ptr<CALDB_VTODO, TodoDeleter>;

Event new_event() { return Event(caldb_NewEvent()); }
Todo new_todo() { return Todo(caldb_NewToDo()); }

template <typename Record>
void fill_texts(Record* r, const char* uid, const char* summary) {
    r->pUid = PL_strdup(uid);
    r->pSummary = PL_strdup(summary);
}

std::string event_line(CALDB_VEVENT* ev, time_t stamp = kStamp) {
    return written_by([&](protstream* s) { EXPECT_EQ(ev, calparser_event_to_sxml(ev, s, stamp)); });
}

std::string todo_line(CALDB_VTODO* todo, time_t stamp = kStamp) {
    return written_by([&](protstream* s) { EXPECT_EQ(todo, calparser_todo_to_sxml(todo, s, stamp)); });
}

std::string utc_now_text() {
    time_t now = time(nullptr);
    struct tm parts;
    gmtime_r(&now, &parts);
    char buf[20];
    strftime(buf, sizeof buf, "%Y%m%dT%H%M%SZ", &parts);
    return buf;
}

// Every DM value of `text`, in order.
std::vector<std::string> stamps_of(const std::string& text) {
    std::vector<std::string> out;
    std::regex dm(" DM=([0-9]{8}T[0-9]{6}Z) ");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), dm); it != std::sregex_iterator(); ++it)
        out.push_back((*it)[1]);
    return out;
}

}  // namespace

TEST(SxmlWriter, FrameLines)
{
    EXPECT_EQ(kHeader, written_by([](protstream* s) { calparser_sxml_header(s); }));
    EXPECT_EQ(kTail, written_by([](protstream* s) { calparser_sxml_tail(s); }));
}

// Texts go out unescaped: commas, semicolons, quotes and ampersands included.
TEST(SxmlWriter, EventWithEveryField)
{
    Event ev = new_event();
    fill_texts(ev.get(), "uid-1", "Team, meeting");
    ev->tDtStart = kNoon;
    ev->tDtEnd = kOne;
    ev->tCreated = kCreated;
    ev->tLastModified = kModified;
    ev->nSequence = 3;
    ev->nGeoLat = 37050000;
    ev->nGeoLon = -122400000;
    ev->pDescription = PL_strdup("Talk; plan");
    ev->pUrl = PL_strdup("http://x/?a=1&b=2");
    ev->pClass = PL_strdup("PUBLIC");
    ev->pLocation = PL_strdup("Room \"4\"");
    EXPECT_EQ("<E=I=uid-1 DM=20010909T014640Z S=Team, meeting DS=20030101T120000Z DE=20030101T130000Z "
              "CR=20021231T235959Z L=20030101T010203Z SE=3 GE=37.050000,-122.400000 "
              "D=Talk; plan U=http://x/?a=1&b=2 CL=PUBLIC N=Room \"4\">\n",
              event_line(ev.get()));
}

// Missing texts are empty; unset times are still written, as the epoch.
TEST(SxmlWriter, EventWithoutTextsWritesEmptyValues)
{
    Event ev = new_event();
    EXPECT_EQ("<E=I= DM=20010909T014640Z S= DS=19700101T000000Z DE=19700101T000000Z "
              "CR=19700101T000000Z L=19700101T000000Z SE=0 GE=0.000000,0.000000 D= U= CL= N=>\n",
              event_line(ev.get()));
}

TEST(SxmlWriter, AllDayEventUsesDateForms)
{
    Event ev = new_event();
    fill_texts(ev.get(), "d", "s");
    ev->tDtStart = kNewYear2003;
    ev->tDtEnd = kJan2;
    ev->tCreated = kCreated;
    ev->tLastModified = kModified;
    ev->bDtStartIsDate = 1;
    ev->bDtEndIsDate = 1;
    const std::string tail = "CR=20021231T235959Z L=20030101T010203Z SE=0 GE=0.000000,0.000000 D= U= CL= N=>\n";
    EXPECT_EQ("<E=I=d DM=20010909T014640Z S=s DS=\"20030101;V=D\" DE=\"20030102;V=D\" " + tail,
              event_line(ev.get()));

    // An end not marked as a date is left out altogether.
    ev->bDtEndIsDate = 0;
    EXPECT_EQ("<E=I=d DM=20010909T014640Z S=s DS=\"20030101;V=D\" " + tail, event_line(ev.get()));

    // A date end alone does not switch the start to the date form.
    ev->bDtStartIsDate = 0;
    ev->bDtEndIsDate = 1;
    EXPECT_EQ("<E=I=d DM=20010909T014640Z S=s DS=20030101T000000Z DE=20030102T000000Z " + tail,
              event_line(ev.get()));
}

TEST(SxmlWriter, GeoIsSignedDegreesWithSixDecimals)
{
    struct Case {
        int32_t lat, lon;
        const char* geo;
    };
    const Case cases[] = {
        {0, -500000, "GE=0.000000,-0.500000 "},
        {1, -1, "GE=0.000001,-0.000001 "},
        {90000000, 180000000, "GE=90.000000,180.000000 "},
        {-33123456, 151000007, "GE=-33.123456,151.000007 "},
        {INT32_MIN, INT32_MAX, "GE=-2147.483648,2147.483647 "},
    };
    Event ev = new_event();
    for (const Case& c : cases) {
        ev->nGeoLat = c.lat;
        ev->nGeoLon = c.lon;
        std::string line = event_line(ev.get());
        EXPECT_NE(std::string::npos, line.find(std::string(" SE=0 ") + c.geo + "D= ")) << line;
    }
}

TEST(SxmlWriter, TodoUsesDueAsEnd)
{
    Todo todo = new_todo();
    fill_texts(todo.get(), "t1", "Do it");
    todo->tDtStart = kNoon;
    todo->tDue = kOne;
    todo->tCreated = kCreated;
    todo->tLastModified = kModified;
    todo->nSequence = 12;
    todo->nGeoLat = -500000;
    todo->pClass = PL_strdup("PRIVATE");
    const std::string head = "<T=I=t1 DM=20010909T014640Z S=Do it ";
    const std::string tail = "CR=20021231T235959Z L=20030101T010203Z SE=12 GE=-0.500000,0.000000 D= U= CL=PRIVATE N=>\n";
    EXPECT_EQ(head + "DS=20030101T120000Z E=20030101T130000Z " + tail, todo_line(todo.get()));

    todo->bDtStartIsDate = 1;
    todo->tDtStart = kNewYear2003;
    todo->tDue = kJan2;
    // An end not marked as a date is left out, as for events.
    EXPECT_EQ(head + "DS=\"20030101;V=D\" " + tail, todo_line(todo.get()));
    todo->bDtEndIsDate = 1;
    EXPECT_EQ(head + "DS=\"20030101;V=D\" E=\"20030102;V=D\" " + tail, todo_line(todo.get()));
}

TEST(SxmlWriter, NoComponentOrNoStreamWritesNothing)
{
    EXPECT_EQ("", event_line(nullptr));
    EXPECT_EQ("", todo_line(nullptr));
    Event ev = new_event();
    Todo todo = new_todo();
    EXPECT_EQ(ev.get(), calparser_event_to_sxml(ev.get(), nullptr, kStamp));
    EXPECT_EQ(todo.get(), calparser_todo_to_sxml(todo.get(), nullptr, kStamp));
}

TEST(SxmlWriter, EmptyOrMissingArrayWritesOnlyTheFrame)
{
    array_t* empty = array_new();
    for (int framed : {0, 1}) {
        std::string expected = framed ? std::string(kHeader) + kTail : "";
        EXPECT_EQ(expected, written_by([&](protstream* s) { calparser_eventarray_to_sxml(empty, s, framed); }));
        EXPECT_EQ(expected, written_by([&](protstream* s) { calparser_todoarray_to_sxml(nullptr, s, framed * 2); }));
    }
    array_delete(empty);
}

// The lines of one call share one time stamp, the current time.
TEST(SxmlWriter, EventArrayWritesEveryEventInOrderWithOneStamp)
{
    Event first = new_event(), second = new_event(), third = new_event();
    fill_texts(first.get(), "one", "a");
    fill_texts(second.get(), "two", "b");
    fill_texts(third.get(), "three", "c");
    array_t* events = array_new();
    array_append(events, first.get());
    array_append(events, second.get());
    array_append(events, third.get());

    std::string before = utc_now_text();
    std::string framed = written_by([&](protstream* s) { calparser_eventarray_to_sxml(events, s, 1); });
    std::string bare = written_by([&](protstream* s) { calparser_eventarray_to_sxml(events, s, 0); });
    std::string after = utc_now_text();

    std::vector<std::string> stamps = stamps_of(framed);
    ASSERT_EQ(3u, stamps.size());
    EXPECT_EQ(stamps[0], stamps[1]);
    EXPECT_EQ(stamps[0], stamps[2]);
    EXPECT_LE(before, stamps[0]);
    EXPECT_GE(after, stamps[0]);

    std::regex shape(std::string("<V [^\n]*>\n") +
                     "<E=I=one DM=[0-9T]{15}Z S=a [^\n]*>\n"
                     "<E=I=two DM=[0-9T]{15}Z S=b [^\n]*>\n"
                     "<E=I=three DM=[0-9T]{15}Z S=c [^\n]*>\n"
                     "</V>\n");
    EXPECT_TRUE(std::regex_match(framed, shape)) << framed;
    // Without the frame flag: the same three lines and nothing else.
    EXPECT_EQ(0u, bare.find("<E=I=one DM=")) << bare;
    EXPECT_EQ(3, std::count(bare.begin(), bare.end(), '\n'));
    EXPECT_EQ(std::string::npos, bare.find("V>"));
    array_delete(events);
}

// A NULL slot is skipped; the others are written as single to-dos.
TEST(SxmlWriter, TodoArraySkipsEmptySlots)
{
    Todo todo = new_todo();
    fill_texts(todo.get(), "t", "x");
    todo->tDue = kOne;
    array_t* todos = array_new();
    array_append(todos, nullptr);
    array_append(todos, todo.get());
    std::string out = written_by([&](protstream* s) { calparser_todoarray_to_sxml(todos, s, 0); });
    std::regex shape("<T=I=t DM=[0-9]{8}T[0-9]{6}Z S=x DS=19700101T000000Z E=20030101T130000Z "
                     "CR=19700101T000000Z L=19700101T000000Z SE=0 GE=0.000000,0.000000 D= U= CL= N=>\n");
    EXPECT_TRUE(std::regex_match(out, shape)) << out;
    array_delete(todos);
}
