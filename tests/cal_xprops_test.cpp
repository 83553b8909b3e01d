// Extension-property requests: operation of a request, finding and building
// lines, and add / replace / delete on a component's line list.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include <plstr.h>

#include "core/parser/cal_urlparams.h"
#include "core/parser/cal_xprops.h"
#include "public/db/caldb_lists.h"
#include "public/util/array.h"
#include "tests/heap_failure.h"

namespace {

using Strings = std::vector<std::string>;

array_t* texts(std::initializer_list<const char*> items)
{
    array_t* list = array_new();
    for (const char* item : items)
        array_append(list, PL_strdup(item));
    return list;
}

Strings strings(const array_t* list)
{
    Strings out;
    for (unsigned i = 0; list && i < list->count; i++)
        out.push_back(static_cast<const char*>(list->data[i]));
    return out;
}

/* The token of an extension-property request item. */
CALPARSER_TOKEN* request(const char* item)
{
    std::string buffer(item);
    CALPARSER_TOKEN* token = nullptr;
    EXPECT_EQ(0, cal_parseutil_parseXProperty(&buffer[0], &token)) << item;
    return token;
}

int operation(const char* item)
{
    CALPARSER_TOKEN* token = request(item);
    int op = calparser_getXPropertyOperation(token);
    calparser_FreeToken(&token);
    return op;
}

/* Applies the request items to *lines; returns the result. */
int apply(array_t** lines, std::initializer_list<const char*> items)
{
    array_t* list = texts(items);
    int rc = calparser_copyURLEncodedXProperties_to_array(lines, list);
    caldb_free_text_list(&list);
    return rc;
}

CALPARSER_PARAM* new_param(const char* name, const char* value)
{
    CALPARSER_PARAM* param = calparser_NewParam();
    param->nType = TOKEN_X_PARAM;
    param->pName = name ? PL_strdup(name) : nullptr;
    param->pValue = value ? PL_strdup(value) : nullptr;
    return param;
}

}  // namespace

TEST(XPropNames, GlobalTexts)
{
    EXPECT_STREQ("X-KVAL-PLIX-ATTENDEE-DELETE", xDelete);
    EXPECT_STREQ("X-KVAL-ORIGINAL-OPERATION", xOperationParam);
    EXPECT_STREQ("X-KVAL-PLIX-PROPERTY-DELETE", xOperationValues[0]);
    EXPECT_STREQ("X-KVAL-PLIX-PROPERTY-REPLACE", xOperationValues[1]);
    EXPECT_STREQ("X-KVAL-PLIX-PROPERTY-ADD", xOperationValues[2]);
    EXPECT_EQ(nullptr, xOperationValues[3]);
}

TEST(XPropOperation, FromTheOperationParameter)
{
    EXPECT_EQ(2, operation("X-FOO=bar"));
    EXPECT_EQ(2, operation("X-FOO=X-A=1^bar"));
    EXPECT_EQ(0, operation("X-FOO=x-kval-original-operation=x-kval-plix-property-delete^bar"));
    EXPECT_EQ(1, operation("X-FOO=X-A=1^X-KVAL-ORIGINAL-OPERATION=X-KVAL-PLIX-PROPERTY-REPLACE^b"));
    EXPECT_EQ(2, operation("X-FOO=X-KVAL-ORIGINAL-OPERATION=X-KVAL-PLIX-PROPERTY-ADD^bar"));
    EXPECT_EQ(2, operation("X-FOO=X-KVAL-ORIGINAL-OPERATION=REMOVE^bar"));
    // Only the first operation parameter counts.
    EXPECT_EQ(2, operation("X-FOO=X-KVAL-ORIGINAL-OPERATION=NONE^"
                           "X-KVAL-ORIGINAL-OPERATION=X-KVAL-PLIX-PROPERTY-DELETE^bar"));
    EXPECT_EQ(-1, calparser_getXPropertyOperation(nullptr));
}

TEST(XPropCheck, OnlyExtensionParameters)
{
    CALPARSER_TOKEN* token = request("X-FOO=X-A=1^X-B=2^bar");
    EXPECT_EQ(0, calparser_checkTokForXParams(token));
    calparser_FreeToken(&token);
    token = request("X-FOO=bar");
    EXPECT_EQ(0, calparser_checkTokForXParams(token));
    calparser_FreeToken(&token);
    token = request("X-FOO=X-A=1^LANGUAGE=en^bar");
    EXPECT_EQ(2, calparser_checkTokForXParams(token));
    calparser_FreeToken(&token);
    EXPECT_EQ(1, calparser_checkTokForXParams(nullptr));
}

TEST(XPropIndex, WholeNameIgnoringCase)
{
    array_t* lines = texts({"X-FOOBAR:1", "x-foo;X-A=1:2", "X-FOO:3", "X-BAR:4"});
    EXPECT_EQ(1, calparser_getXPropertyIndex(lines, "X-FOO"));
    EXPECT_EQ(0, calparser_getXPropertyIndex(lines, "x-foobar"));
    EXPECT_EQ(3, calparser_getXPropertyIndex(lines, "X-BAR"));
    EXPECT_EQ(-1, calparser_getXPropertyIndex(lines, "X-FOOBA"));
    EXPECT_EQ(-1, calparser_getXPropertyIndex(lines, "X-FO"));
    EXPECT_EQ(-1, calparser_getXPropertyIndex(lines, nullptr));
    EXPECT_EQ(-1, calparser_getXPropertyIndex(nullptr, "X-FOO"));
    array_t* empty = array_new();
    EXPECT_EQ(-1, calparser_getXPropertyIndex(empty, "X-FOO"));
    array_delete(empty);
    caldb_free_text_list(&lines);
}

TEST(XPropLine, NameParametersValueWithoutOperation)
{
    CALPARSER_TOKEN* token = request(
        "X-FOO=X-A=1^X-KVAL-ORIGINAL-OPERATION=X-KVAL-PLIX-PROPERTY-ADD^x-b=\"a:b\"^bar");
    char* line = nullptr;
    ASSERT_EQ(0, calparser_convertTok_to_xProperty_string(&line, token));
    EXPECT_STREQ("X-FOO;X-A=1;X-B=a:b:bar", line);
    PL_strfree(line);
    calparser_FreeToken(&token);

    token = request("X-FOO=bar");
    ASSERT_EQ(0, calparser_convertTok_to_xProperty_string(&line, token));
    EXPECT_STREQ("X-FOO:bar", line);
    PL_strfree(line);
    calparser_FreeToken(&token);
}

TEST(XPropLine, IncompleteTokens)
{
    char* line = PL_strdup("stale");
    char* stale = line;
    EXPECT_EQ(1, calparser_convertTok_to_xProperty_string(&line, nullptr));
    EXPECT_EQ(nullptr, line);
    PL_strfree(stale);

    CALPARSER_TOKEN* token = request("X-FOO=X-A=1^");  // no value
    EXPECT_EQ(1, calparser_convertTok_to_xProperty_string(&line, token));
    EXPECT_EQ(1, calparser_convertTok_to_xProperty_string(nullptr, token));
    calparser_FreeToken(&token);

    CALPARSER_TOKEN* unnamed = calparser_NewToken();
    unnamed->pValue = PL_strdup("bar");
    EXPECT_EQ(1, calparser_convertTok_to_xProperty_string(&line, unnamed));
    calparser_FreeToken(&unnamed);

    // The first incomplete parameter decides.
    token = request("X-FOO=X-A=1^bar");
    array_append(token->pParamList, new_param(nullptr, "v"));
    array_append(token->pParamList, new_param("X-C", nullptr));
    EXPECT_EQ(3, calparser_convertTok_to_xProperty_string(&line, token));
    EXPECT_EQ(nullptr, line);
    calparser_FreeToken(&token);
    token = request("X-FOO=X-A=1^bar");
    array_append(token->pParamList, new_param("X-C", nullptr));
    array_append(token->pParamList, new_param(nullptr, "v"));
    EXPECT_EQ(4, calparser_convertTok_to_xProperty_string(&line, token));
    EXPECT_EQ(nullptr, line);
    calparser_FreeToken(&token);
}

TEST(XPropRequests, AddOnlyWhenAbsent)
{
    array_t* lines = nullptr;  // made on first use
    EXPECT_EQ(0, apply(&lines, {"X-FOO=X-A=1^bar", "X-BAR=baz"}));
    EXPECT_EQ((Strings{"X-FOO;X-A=1:bar", "X-BAR:baz"}), strings(lines));
    // A second add of the name, in any case, fails and keeps the first line.
    EXPECT_EQ(5, apply(&lines, {"x-foo=other"}));
    EXPECT_EQ(5, apply(&lines, {"X-FOO=X-KVAL-ORIGINAL-OPERATION=X-KVAL-PLIX-PROPERTY-ADD^o"}));
    EXPECT_EQ((Strings{"X-FOO;X-A=1:bar", "X-BAR:baz"}), strings(lines));
    // A longer name is another property.
    EXPECT_EQ(0, apply(&lines, {"X-FOOBAR=1"}));
    EXPECT_EQ((Strings{"X-FOO;X-A=1:bar", "X-BAR:baz", "X-FOOBAR:1"}), strings(lines));
    caldb_free_text_list(&lines);
}

TEST(XPropRequests, ReplaceMovesTheLineToTheEnd)
{
    array_t* lines = texts({"x-foo;X-A=1:old", "X-FOOBAR:1", "X-BAR:2"});
    EXPECT_EQ(0, apply(&lines, {"X-FOO=X-KVAL-ORIGINAL-OPERATION=X-KVAL-PLIX-PROPERTY-REPLACE"
                                "^X-Q=z^new"}));
    EXPECT_EQ((Strings{"X-FOOBAR:1", "X-BAR:2", "X-FOO;X-Q=z:new"}), strings(lines));
    // An absent name is simply added.
    EXPECT_EQ(0, apply(&lines, {"X-NEW=X-KVAL-ORIGINAL-OPERATION=X-KVAL-PLIX-PROPERTY-REPLACE^v"}));
    EXPECT_EQ((Strings{"X-FOOBAR:1", "X-BAR:2", "X-FOO;X-Q=z:new", "X-NEW:v"}), strings(lines));
    // A replacement that gives no line keeps the old one.
    EXPECT_EQ(5, apply(&lines, {"X-BAR=X-KVAL-ORIGINAL-OPERATION=X-KVAL-PLIX-PROPERTY-REPLACE^"}));
    EXPECT_EQ((Strings{"X-FOOBAR:1", "X-BAR:2", "X-FOO;X-Q=z:new", "X-NEW:v"}), strings(lines));
    caldb_free_text_list(&lines);
}

TEST(XPropRequests, DeleteRemovesTheLineIfPresent)
{
    array_t* lines = texts({"X-FOOBAR:1", "x-foo;X-A=1:2", "X-BAR:3"});
    EXPECT_EQ(0, apply(&lines, {"X-FOO=X-KVAL-ORIGINAL-OPERATION=X-KVAL-PLIX-PROPERTY-DELETE^"}));
    EXPECT_EQ((Strings{"X-FOOBAR:1", "X-BAR:3"}), strings(lines));
    EXPECT_EQ(0, apply(&lines, {"X-FOO=X-KVAL-ORIGINAL-OPERATION=X-KVAL-PLIX-PROPERTY-DELETE^x"}));
    EXPECT_EQ((Strings{"X-FOOBAR:1", "X-BAR:3"}), strings(lines));
    caldb_free_text_list(&lines);
}

// Processing stops at the first failing item; the items before it stay done.
TEST(XPropRequests, FailuresGiveFive)
{
    array_t* lines = texts({"X-LANG:1"});
    EXPECT_EQ(5, apply(&lines, {"X-LANG=X-KVAL-ORIGINAL-OPERATION=X-KVAL-PLIX-PROPERTY-REPLACE"
                                "^LANGUAGE=en^2"}));
    EXPECT_EQ((Strings{"X-LANG:1"}), strings(lines));
    EXPECT_EQ(5, apply(&lines, {"X-A=1", "X-NOEQUALS", "X-B=2"}));
    EXPECT_EQ((Strings{"X-LANG:1", "X-A:1"}), strings(lines));
    EXPECT_EQ(5, apply(&lines, {"X-C=X-P=1^"}));  // an add without value
    EXPECT_EQ(5, apply(&lines, {"X-D=X-P=1^LANGUAGE=de^v", "X-E=v"}));
    EXPECT_EQ((Strings{"X-LANG:1", "X-A:1"}), strings(lines));

    array_t* items = texts({"X-A=1"});
    EXPECT_EQ(5, calparser_copyURLEncodedXProperties_to_array(nullptr, items));
    caldb_free_text_list(&items);
    caldb_free_text_list(&lines);
}

TEST(XPropRequests, NoItemsChangeNothing)
{
    array_t* lines = nullptr;
    EXPECT_EQ(0, calparser_copyURLEncodedXProperties_to_array(&lines, nullptr));
    EXPECT_EQ(0, apply(&lines, {}));
    EXPECT_EQ(nullptr, lines);
    EXPECT_EQ(0, calparser_copyURLEncodedXProperties_to_array(nullptr, nullptr));
}

// Every allocation fails once: nothing leaks, and the list holds either the
// whole result or what it had.
TEST(XPropRequests, NoLeakWhenMemoryRunsOut)
{
    array_t* warm = nullptr;  // the keyword table is made once, outside the count
    apply(&warm, {"X-WARM=X-W=1^up"});
    caldb_free_text_list(&warm);
    const int minimum = HEAP_FAILURE_HOOK ? 2 : -1;
    EXPECT_LT(minimum, count_failure_points([] {
        array_t* lines = nullptr;
        char replace[] = "X-FOO=X-KVAL-ORIGINAL-OPERATION=X-KVAL-PLIX-PROPERTY-REPLACE^X-A=1^new";
        char add[] = "X-BAR=X-B=2^bar";
        void* slots[] = {replace, add};
        array_t items = {slots, 2, 2};
        int rc = calparser_copyURLEncodedXProperties_to_array(&lines, &items);
        bool ok = rc == 0 && lines && lines->count == 2
                  && strcmp(static_cast<char*>(lines->data[0]), "X-FOO;X-A=1:new") == 0
                  && strcmp(static_cast<char*>(lines->data[1]), "X-BAR;X-B=2:bar") == 0;
        caldb_free_text_list(&lines);
        return ok;
    }));
}
