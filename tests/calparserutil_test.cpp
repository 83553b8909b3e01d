// Component helpers: the original-start line and component-state methods.
#include <gtest/gtest.h>

#include <plstr.h>

#include "core/parser/calparserutil.h"
#include "public/util/array.h"

namespace {

array_t* texts(std::initializer_list<const char*> items) {
    array_t* list = array_new();
    for (const char* item : items) array_append(list, PL_strdup(item));
    return list;
}

}  // namespace

TEST(OriginalStartLine, RecognisedAnywhereInAnyCase) {
    EXPECT_EQ(1, isOriginalDTStartXTokenString("X-KVAL-ORIGINAL-DTSTART:20260101T090000Z"));
    EXPECT_EQ(1, isOriginalDTStartXTokenString("x-kval-Original-dtstart"));
    EXPECT_EQ(1, isOriginalDTStartXTokenString("X-OTHER;P=X-KVAL-ORIGINAL-DTSTART:1"));
    EXPECT_EQ(0, isOriginalDTStartXTokenString("X-KVAL-ORIGINAL-DTSTAR:1"));
    EXPECT_EQ(0, isOriginalDTStartXTokenString(""));
    EXPECT_EQ(0, isOriginalDTStartXTokenString(nullptr));

    array_t* lines = texts({"X-A:1", "x-kval-original-dtstart:1", "X-KVAL-ORIGINAL-DTSTART:2"});
    EXPECT_EQ(lines->data[1], getOriginalDtStartXToken(lines));
    EXPECT_EQ(1, hasOriginalDtStartXToken(lines));
    array_t* others = texts({"X-A:1"});
    EXPECT_EQ(nullptr, getOriginalDtStartXToken(others));
    EXPECT_EQ(0, hasOriginalDtStartXToken(others));
    EXPECT_EQ(0, hasOriginalDtStartXToken(nullptr));
    array_free_and_destroy(&lines);
    array_free_and_destroy(&others);
}

TEST(CompStateMethod, PlainMethodsAndOthers) {
    EXPECT_EQ(2, calparser_getCompStateMethod(TOKEN_REQUEST));
    EXPECT_EQ(4, calparser_getCompStateMethod(TOKEN_REPLY));
    EXPECT_EQ(8, calparser_getCompStateMethod(TOKEN_CANCEL));
    EXPECT_EQ(64, calparser_getCompStateMethod(TOKEN_COUNTER));
    EXPECT_EQ(1, calparser_getCompStateMethod(TOKEN_PUBLISH));
    EXPECT_EQ(1, calparser_getCompStateMethod(TOKEN_REFRESH));
    EXPECT_EQ(1, calparser_getCompStateMethod(TOKEN_DECLINECOUNTER));
    EXPECT_EQ(1, calparser_getCompStateMethod(static_cast<iCal_Token_t>(0)));
}
