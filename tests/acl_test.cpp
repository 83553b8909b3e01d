#include "public/ac/acl.h"
#include "public/util/kvallog.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using Lines = std::vector<std::pair<int, std::string>>;

void capture(void* ctx, int level, const char* message)
{
    static_cast<Lines*>(ctx)->emplace_back(level, message);
}

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

TEST(AclEntry, TextOutsideTheGrammarIsDroppedAndLogged)
{
    Lines log;
    kvallog_sink_t previous = kvallog_set_sink(capture, &log);
    const char* bad[] = {"allow jdoe calprops read", "grant jdoe calendar read",
                         "grant jdoe calprops read,"};
    for (const char* text : bad)
        EXPECT_EQ(nullptr, acl_create_ace(text)) << text;
    kvallog_set_sink(previous, nullptr);
    ASSERT_EQ(3u, log.size());
    EXPECT_EQ(Lines::value_type(4, "calparser: access-control entry \"grant jdoe calendar read\" "
                                   "is not valid; it is dropped."),
              log[1]);
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

TEST(AclCheck, OwnersHoldEveryRight)
{
    array_t* list = aces({"deny * calprops all", "deny boss calprops all"});
    array_t* owners = array_new();
    char helper[] = "Helper";
    array_append(owners, nullptr);
    array_append(owners, helper);
    ACL_CONTEXT ctx{list, "Boss", owners};
    EXPECT_EQ(0x1Fu, acl_misc_checkACL(&ctx, "boss", 0, 0xFFu, ACL_TARGET_CALPROPS));
    EXPECT_EQ(8u, acl_misc_checkACL(&ctx, "HELPER", 0, 8, ACL_TARGET_CALPROPS));  // any case
    EXPECT_EQ(0u, acl_misc_checkACL(&ctx, "other", ACL_RIGHTS_ALL, 8, ACL_TARGET_CALPROPS));
    array_delete(owners);
    acl_misc_FreeACEList(&list);
}
