// Recurring masters and their instances: compression, applying changes,
// date lists. Finding a stored instance is checked by the expansion tests.
#include <gtest/gtest.h>

#include <plstr.h>

#include "core/parser/cal_compare.h"
#include "core/parser/cal_copy.h"
#include "core/parser/cal_recurring.h"
#include "core/parser/calparserutil.h"
#include "public/db/caldb.h"
#include "tests/support/heap_failure.h"
#include "tests/support/text_lists.h"
#include "tests/support/zone_builders.h"

namespace {

using zone_test::utc;

constexpr int kHour = 3600;

CALDB_COMPONENT* head(void* record) { return static_cast<CALDB_COMPONENT*>(record); }

CALDB_VEVENT* make_event(const char* start, int length, const char* uid) {
    CALDB_VEVENT* ev = caldb_NewEvent();
    ev->tDtStart = static_cast<int32_t>(utc(start));
    ev->tDtEnd = ev->tDtStart + length;
    ev->tRecurrenceId = ev->tDtStart;
    ev->pUid = PL_strdup(uid);
    return ev;
}

void add_original_start(CALDB_COMPONENT* c, const char* utcText) {
    calparser_addOriginalDtStartXTokenIfNotAlreadyExists(&c->aXProps, utcText);
}

// Owns the records appended to its list (events or to-dos).
struct Records {
    array_t* list = array_new();
    ~Records() {
        for (unsigned i = list->count; i-- > 0;) caldb_FreeComponent(&list->data[i]);
        array_delete(list);
    }
    template <typename Record>
    Record* add(Record* record) {
        array_append(list, record);
        return record;
    }
};

TEST(CompressTest, ThreeInstancesBecomeOneMasterWithUtcRDates) {
    Records instances;
    CALDB_VEVENT* first = instances.add(make_event("20240105T100000Z", kHour, "series"));
    first->aRRules = texts({"FREQ=DAILY"});
    first->aExDates = texts({"20240106T100000Z"});
    first->pOrganizerEmail = PL_strdup("boss@example.com");
    CALDB_VEVENT* second = instances.add(make_event("20240103T100000Z", kHour, "series"));
    second->tDtStart = static_cast<int32_t>(utc("20240103T150000Z"));  // moved instance
    instances.add(make_event("20240104T100000Z", kHour, "series"));

    CALDB_VEVENT* master = nullptr;
    ASSERT_EQ(0, calparser_CreateCompressedRecurringEventFromList(&master, instances.list,
                                                                  "assistant@example.com"));
    EXPECT_EQ(0, master->tRecurrenceId);
    EXPECT_EQ(utc("20240105T110000Z"), master->tDtEnd);
    EXPECT_EQ((Strings{"20240105T100000Z", "20240103T100000Z", "20240104T100000Z"}),
              strings(master->aRDates));
    EXPECT_EQ(nullptr, master->aRRules);
    EXPECT_EQ(nullptr, master->aExDates);
    EXPECT_STREQ("boss@example.com", master->pOrganizer->pAddr);
    EXPECT_STREQ("assistant@example.com", master->pOrganizer->pSentBy);
    caldb_FreeEvent(&master);
}

TEST(MasterDatesTest, OriginalStartGoesToTheRightListOnce) {
    CALDB_COMPONENT* master = head(caldb_NewEvent());
    master->aRecurRDateList = texts({"20240101T100000Z", "20240102T100000Z"});
    CALDB_VEVENT* instEv = make_event("20240105T120000Z", kHour, "s");
    CALDB_COMPONENT* instance = head(instEv);
    add_original_start(instance, "20240105T100000Z");
    array_t* removeDates = texts({"20240101T100000Z", "20240101t100000z"});

    ASSERT_EQ(0, calparser_ModifyMasterEventExDateRDate(&master, instance, 0, removeDates, 0));
    ASSERT_EQ(0, calparser_ModifyMasterEventExDateRDate(&master, instance, 0, nullptr, 0));
    EXPECT_EQ((Strings{"20240102T100000Z", "20240105T100000Z"}), strings(master->aRecurRDateList));
    ASSERT_NE(nullptr, master->aRecurExDateList);
    EXPECT_EQ(nullptr, master->aAttendeeRDateList);
    calparser_recurrence_FreeStringArrayAndDestroy(removeDates);
    caldb_FreeEvent(&instEv);
    caldb_FreeComponent(reinterpret_cast<void**>(&master));
}

#if HEAP_FAILURE_HOOK
// A list that cannot be created costs the master: freed, pointer cleared.
TEST(MasterDatesTest, FailedListFreesTheMaster) {
    CALDB_COMPONENT* master = head(caldb_NewEvent());
    CALDB_VEVENT* instance = make_event("20240105T100000Z", kHour, "s");
    long liveBefore = heap_failure::g_live_blocks;
    int rc = 0;
    {
        heap_failure::FailAt failNext(0);
        rc = calparser_ModifyMasterEventExDateRDate(&master, head(instance), 0, nullptr, 0);
    }
    EXPECT_EQ(3, rc);
    EXPECT_EQ(nullptr, master);
    EXPECT_LT(heap_failure::g_live_blocks, liveBefore);
    caldb_FreeEvent(&instance);
}
#endif

// The master started an hour later (its RECURRENCE-ID says where it was) and
// lasts two hours; the second instance changed its own end.
TEST(ModifyInstancesTest, MasterChangesReachInstancesThatKeptTheirOwn) {
    CALDB_VEVENT* master = make_event("20240110T110000Z", 2 * kHour, "s");
    master->tRecurrenceId = static_cast<int32_t>(utc("20240110T100000Z"));
    calparser_setModField(master->modFields, CALPARSER_MOD_DTEND_DUE);
    Records instances;
    CALDB_VEVENT* a = instances.add(make_event("20240112T100000Z", kHour, "s"));
    CALDB_VEVENT* b = instances.add(make_event("20240113T100000Z", kHour, "s"));
    add_original_start(head(a), "20240112T100000Z");
    add_original_start(head(b), "20240113T100000Z");
    b->tDtEnd = b->tDtStart + kHour / 2;
    calparser_setModField(b->modFields, CALPARSER_MOD_DTEND_DUE);

    ASSERT_EQ(0, calparser_ModifyRecurringEventList(instances.list, master, 1, 0));
    EXPECT_EQ(utc("20240112T110000Z"), a->tDtStart);
    EXPECT_EQ(utc("20240112T130000Z"), a->tDtEnd);
    EXPECT_EQ(utc("20240112T100000Z"), a->tRecurrenceId);
    EXPECT_EQ(utc("20240113T110000Z"), b->tDtStart);
    EXPECT_EQ(utc("20240113T103000Z"), b->tDtEnd);  // its own change stays

    // Forced, the end follows the master too; without moveStart DTSTART stays.
    b->tDtStart = static_cast<int32_t>(utc("20240113T100000Z"));
    ASSERT_EQ(0, calparser_ModifyRecurringEvent(b, master, kHour, 2 * kHour, 0, 1));
    EXPECT_EQ(utc("20240113T100000Z"), b->tDtStart);
    EXPECT_EQ(utc("20240113T120000Z"), b->tDtEnd);
    caldb_FreeEvent(&master);
}

}  // namespace
