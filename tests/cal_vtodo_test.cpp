// The VTODO builder's own properties and the event properties it ignores;
// the walk, times, alarms and state it shares with the event builder are
// tested over both kinds in cal_vevent_test.cpp.
#include "core/parser/cal_vtodo.h"

#include <gtest/gtest.h>

#include "tests/support/builder_fixture.h"

using namespace builder_test;

namespace {

TEST(TodoProperties, ToDoFieldsAndIgnoredEventProperties)
{
    Tokens tokens{"BEGIN:VTODO", "DUE:20030102T120000Z", "COMPLETED:20030101T130000Z",
                  "PERCENT-COMPLETE:40", "PERCENT-COMPLETE:most", "X-KVAL-DUE-TZID:Asia/Tokyo",
                  "DTEND:20030105T120000Z", "TRANSP:TRANSPARENT",
                  "X-Z9KQ-ATTENDEE-RDATELIST:20030103T120000Z", "STATUS:TENTATIVE", "END:VTODO"};
    Built built;
    LogCapture log;
    build(kTodo, tokens, built);
    ASSERT_EQ(0, built.rc);
    CALDB_VTODO* t = built.record<CALDB_VTODO>();
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(CALDB_KIND_TODO, ((CAL_VCOMPONENT*)array_elementat(built.components, 0))->nType);
    EXPECT_EQ(kNoon + 86400, t->tDue);  // DTEND does not reach it
    EXPECT_EQ(kNoon + 3600, t->tCompleted);
    EXPECT_EQ(40, t->nPercentComplete);  // "most" is no number
    EXPECT_STREQ("Asia/Tokyo", t->pDueTzid);
    EXPECT_EQ(0u, t->bTransparent);
    EXPECT_EQ(nullptr, t->aAttendeeRDateList);
    EXPECT_EQ((LogLines{{6, "line (10), calparser: Bad value for STATUS in VTODO.  Assigning "
                            "default value of NEEDS-ACTION."}}),
              log.lines());
}

// The dispatcher stores into the to-do it is handed and leaves a missing one alone.
TEST(TodoProperties, DispatcherNeedsATodo)
{
    Tokens tokens{"PERCENT-COMPLETE:75"};
    CALDB_VTODO* none = nullptr;
    calparser_populateVTodoProp(tokens.token(), &none, nullptr, nullptr, nullptr, nullptr,
                                nullptr, nullptr, nullptr, 0, nullptr, nullptr);
    EXPECT_EQ(nullptr, none);
    CALDB_VTODO* todo = caldb_NewToDo();
    calparser_populateVTodoProp(nullptr, &todo, nullptr, nullptr, nullptr, nullptr, nullptr,
                                nullptr, nullptr, 0, nullptr, nullptr);
    calparser_populateVTodoProp(tokens.token(), &todo, nullptr, nullptr, nullptr, nullptr,
                                nullptr, nullptr, nullptr, 0, nullptr, nullptr);
    EXPECT_EQ(75, todo->nPercentComplete);
    caldb_FreeToDo(&todo);
}

}  // namespace
