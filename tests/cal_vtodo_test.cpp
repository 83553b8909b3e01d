// The VTODO builder's own properties and the event properties it ignores;
// the walk, times, alarms and state it shares with the event builder are
// tested over both kinds in cal_vevent_test.cpp.
#include "core/parser/cal_vtodo.h"

#include <gtest/gtest.h>

#include "tests/builder_fixture.h"

using namespace builder_test;

namespace {

TEST(TodoProperties, ToDoFieldsAndIgnoredEventProperties)
{
    Tokens tokens{"BEGIN:VTODO", "SUMMARY:Report", "DTSTART:20030101T120000Z",
                  "DUE:20030102T120000Z", "COMPLETED:20030101T130000Z", "PERCENT-COMPLETE:40",
                  "PERCENT-COMPLETE:most", "PRIORITY:17", "X-KVAL-DUE-TZID:Asia/Tokyo",
                  "DTEND:20030105T120000Z", "TRANSP:TRANSPARENT",
                  "X-Z9KQ-ATTENDEE-RDATELIST:20030103T120000Z",
                  "X-Z9KQ-ATTENDEE-EXDATELIST:20030104T120000Z", "RRULE:freq=weekly",
                  "STATUS:TENTATIVE", "END:VTODO"};
    Built built;
    LogCapture log;
    build(kTodo, tokens, built);
    ASSERT_EQ(0, built.rc);
    CALDB_VTODO* t = built.record<CALDB_VTODO>();
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(CALDB_KIND_TODO, ((CAL_VCOMPONENT*)array_elementat(built.components, 0))->nType);
    EXPECT_STREQ("Report", t->pSummary);
    EXPECT_EQ(kNoon, t->tDtStart);
    EXPECT_EQ(kNoon + 86400, t->tDue);  // DTEND does not reach it
    EXPECT_EQ(kNoon + 3600, t->tCompleted);
    EXPECT_EQ(40, t->nPercentComplete);
    EXPECT_EQ(1u, t->nPriority);  // 17 keeps its low four bits
    EXPECT_STREQ("Asia/Tokyo", t->pDueTzid);
    EXPECT_EQ(0u, t->bTransparent);
    EXPECT_EQ(nullptr, t->aAttendeeRDateList);
    EXPECT_EQ(nullptr, t->aAttendeeExDateList);
    EXPECT_STREQ("FREQ=WEEKLY", text_at(built.recurrenceList(0), 0));
    EXPECT_EQ((LogLines{{6, "line (15), calparser: Bad value for STATUS in VTODO.  Assigning "
                            "default value of NEEDS-ACTION."}}),
              log.lines());
}

}  // namespace
