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

TEST(AclEntry, TextFormGivesFlagsPrincipalAndRights)
{
    struct Case {
        const char* text;
        int flags;
        uint32_t principal, rights;
    } const cases[] = {
        {"DENY * Components Read,WRITE", 0xC0, 0u, 6u},
        {" \tgrant  JDoe\tcomponents freebusy,all ", 0x00, acl_principal_key("jdoe"), 0x1Fu},
    };
    for (const Case& c : cases) {
        CALDB_ACE* ace = acl_create_ace(c.text);
        ASSERT_NE(nullptr, ace) << c.text;
        EXPECT_EQ(c.flags, ace->nFlags) << c.text;
        EXPECT_EQ(c.principal, ace->nPrincipal) << c.text;
        EXPECT_EQ(c.rights, ace->nRights) << c.text;
        free(ace);
    }
}

// A text off the grammar makes no entry and says so at level 4.
TEST(AclEntry, TextOffTheGrammarIsDropped)
{
    for (const char* text : {"grant jdoe components", "grant jdoe components read extra",
                             "allow jdoe components read", "grant jdoe calendar read",
                             "grant jdoe components read,", "grant jdoe components ,read",
                             "grant jdoe components readwrite", ""}) {
        LogCapture log;
        EXPECT_EQ(nullptr, acl_create_ace(text)) << text;
        EXPECT_EQ((LogLines{{4, "calparser: access-control entry \"" + std::string(text) +
                                    "\" is not valid; it is dropped."}}),
                  log.lines());
    }
    LogCapture log;
    EXPECT_EQ(nullptr, acl_create_ace(nullptr));
    EXPECT_TRUE(log.lines().empty());
}

// Owners, the primary one or any other, hold every right they ask for,
// whatever the entries say; their ids match ignoring case.
TEST(AclCheck, OwnersHoldEveryRight)
{
    array_t* list = aces({"deny * components all"});
    array_t* owners = array_new();
    char second[] = "Second";
    array_append(owners, nullptr);
    array_append(owners, second);
    ACL_CONTEXT ctx{list, "Boss", owners};
    const int comps = ACL_TARGET_COMPONENTS;
    EXPECT_EQ(ACL_RIGHTS_ALL, acl_misc_checkACL(&ctx, "boss", 0, ACL_RIGHTS_ALL, comps));
    EXPECT_EQ(ACL_RIGHT_READ, acl_misc_checkACL(&ctx, "SECOND", 0, ACL_RIGHT_READ, comps));
    EXPECT_EQ(0u, acl_misc_checkACL(&ctx, "third", ACL_RIGHTS_ALL, ACL_RIGHTS_ALL, comps));
    array_delete(owners);
    acl_misc_FreeACEList(&list);
}

TEST(AclCheck, UserEntriesBeforeEveryoneBeforeDefaultDenialWinsWithinALevel)
{
    array_t* list = aces({"grant * calprops freebusy,read", "deny * calprops schedule",
                          "grant jdoe calprops schedule", "deny jroe calprops read",
                          "grant jroe calprops read", "grant jdoe components write"});
    array_append(list, nullptr);  // empty slots are passed over
    ACL_CONTEXT ctx{list, nullptr, nullptr};
    const int props = ACL_TARGET_CALPROPS;
    EXPECT_EQ(0x0Bu, acl_misc_checkACL(&ctx, "JDoe", 0, ACL_RIGHTS_ALL, props));
    EXPECT_EQ(0x01u, acl_misc_checkACL(&ctx, "jroe", 0, ACL_RIGHTS_ALL, props));
    EXPECT_EQ(0x03u, acl_misc_checkACL(&ctx, "stranger", 0, ACL_RIGHTS_ALL, props));
    // Default rights fill only what no entry spoke about (schedule was denied).
    EXPECT_EQ(0x17u, acl_misc_checkACL(&ctx, "stranger", ACL_RIGHTS_ALL, ACL_RIGHTS_ALL, props));
    // Targets are separate.
    EXPECT_EQ(0x04u, acl_misc_checkACL(&ctx, "jdoe", 0, ACL_RIGHTS_ALL, ACL_TARGET_COMPONENTS));
    // A NULL user is matched by entries for every user only.
    EXPECT_EQ(0x03u, acl_misc_checkACL(&ctx, nullptr, 0, ACL_RIGHTS_ALL, props));
    // No context: only the default, limited to what was asked.
    EXPECT_EQ(0x01u, acl_misc_checkACL(nullptr, "x", 0x03, 0x01, ACL_TARGET_COMPONENTS));
    acl_misc_FreeACEList(&list);
}

// Scheduling is the schedule right on the calendar's properties; a missing
// user is always let through.
TEST(AclCheck, ScheduleAccessToTheCalendarProperties)
{
    array_t* list = aces({"grant jdoe calprops schedule", "deny * calprops schedule",
                          "grant jroe components schedule", "grant * calprops read"});
    ACL_CONTEXT ctx{list, "boss", nullptr};
    const struct {
        const ACL_CONTEXT* ctx;
        const char* user;
        int access;
    } cases[] = {
        {&ctx, nullptr, 1},     // denied to every user, still granted
        {&ctx, "JDOE", 1},      // the user's own entry beats every user's
        {&ctx, "jroe", 0},      // schedule on the components only
        {&ctx, "stranger", 0},  // every user's denial
        {&ctx, "boss", 1},      // the owner holds every right
        {nullptr, "jdoe", 0},   // no entry, no default right
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.access, bHasScheduleAccessToCalProps(c.ctx, c.user))
            << (c.user ? c.user : "NULL");
    acl_misc_FreeACEList(&list);
}
