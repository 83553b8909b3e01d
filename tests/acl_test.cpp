#include "public/ac/acl.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "tests/support/log_capture.h"

namespace {

/* A new list of entries made from their text forms (acl_misc_FreeACEList). */
array_t* aces(std::initializer_list<const char*> texts)
{
    array_t* list = array_new();
    for (const char* text : texts)
        array_append(list, acl_create_ace(text));
    return list;
}

}  // namespace

// A text off the grammar makes no entry and says so at level 4.
TEST(AclEntry, TextOffTheGrammarIsDropped)
{
    for (const char* text : {"grant\tjdoe components", "grant jdoe components read extra",
                             "allow jdoe components read", "grant jdoe calendar read",
                             "grant jdoe components read,", "grant jdoe components readwrite"}) {
        LogCapture log;
        EXPECT_EQ(nullptr, acl_create_ace(text)) << text;
        EXPECT_EQ((LogLines{{4, "calparser: access-control entry \"" + std::string(text) +
                                    "\" is not valid; it is dropped."}}),
                  log.lines());
    }
    EXPECT_EQ(nullptr, acl_create_ace(nullptr));
}

// A user's own entries come before those for every user, which come before
// the default rights; a denial wins within a level. Owners, the primary one
// or any other, hold every right they ask for, whatever the entries say;
// ids match ignoring case.
TEST(AclCheck, UserEntriesBeforeEveryoneBeforeDefaultsAndOwnersHoldAll)
{
    array_t* list = aces({"grant * calprops freebusy,read", "deny * calprops schedule",
                          "grant jdoe calprops schedule", "deny jroe calprops read",
                          "grant jroe calprops read", "grant jdoe components write",
                          "deny boss components all"});
    array_append(list, nullptr);  // empty slots are passed over
    array_t* owners = array_new();
    char second[] = "Second";
    array_append(owners, nullptr);
    array_append(owners, second);
    ACL_CONTEXT ctx{list, "Boss", owners};
    const int props = ACL_TARGET_CALPROPS, comps = ACL_TARGET_COMPONENTS;
    EXPECT_EQ(0x0Bu, acl_misc_checkACL(&ctx, "JDoe", 0, ACL_RIGHTS_ALL, props));
    EXPECT_EQ(0x01u, acl_misc_checkACL(&ctx, "jroe", 0, ACL_RIGHTS_ALL, props));
    EXPECT_EQ(0x03u, acl_misc_checkACL(&ctx, "stranger", 0, ACL_RIGHTS_ALL, props));
    // Default rights fill only what no entry spoke about (schedule was denied).
    EXPECT_EQ(0x17u, acl_misc_checkACL(&ctx, "stranger", ACL_RIGHTS_ALL, ACL_RIGHTS_ALL, props));
    EXPECT_EQ(0x04u, acl_misc_checkACL(&ctx, "jdoe", 0, ACL_RIGHTS_ALL, comps));
    // A NULL user is matched by entries for every user only.
    EXPECT_EQ(0x03u, acl_misc_checkACL(&ctx, nullptr, 0, ACL_RIGHTS_ALL, props));
    EXPECT_EQ(ACL_RIGHTS_ALL, acl_misc_checkACL(&ctx, "boss", 0, ACL_RIGHTS_ALL, comps));
    EXPECT_EQ(ACL_RIGHT_READ, acl_misc_checkACL(&ctx, "SECOND", 0, ACL_RIGHT_READ, comps));
    EXPECT_EQ(0u, acl_misc_checkACL(&ctx, "third", 0, ACL_RIGHTS_ALL, comps));
    // No context: only the default, limited to what was asked.
    EXPECT_EQ(0x01u, acl_misc_checkACL(nullptr, "x", 0x03, 0x01, comps));
    array_delete(owners);
    acl_misc_FreeACEList(&list);
}

// Scheduling is the schedule right on the calendar's properties; a missing
// user is always let through.
TEST(AclCheck, ScheduleAccessToTheCalendarProperties)
{
    array_t* list = aces({"grant jdoe calprops schedule", "deny * calprops schedule",
                          "grant jroe components schedule"});
    ACL_CONTEXT ctx{list, "boss", nullptr};
    EXPECT_EQ(1, bHasScheduleAccessToCalProps(&ctx, nullptr));  // denied to every user
    EXPECT_EQ(0, bHasScheduleAccessToCalProps(&ctx, "jroe"));  // on the components only
    EXPECT_EQ(0, bHasScheduleAccessToCalProps(nullptr, "jdoe"));  // no entry, no default right
    acl_misc_FreeACEList(&list);
}
