/* Text and text-list storers. */
#include "core/parser/populate.h"

#include <plstr.h>
#include <stdlib.h>

#include "public/core_util/parseutil.h"
#include "public/util/str.h"

namespace {

constexpr char kMailtoLower[] = "mailto:";
constexpr char kMailtoUpper[] = "MAILTO:";
constexpr size_t kMailtoLength = sizeof kMailtoLower - 1;

/* Appends `text`, which the array then owns, creating *ppArray when NULL.
 * On failure nothing changes and the caller still owns `text`; an array
 * created here is deleted again. Returns 0 or 3. */
int append_owned_text(array_t** ppArray, char* text)
{
    bool created = false;
    if (!*ppArray) {
        if (!(*ppArray = array_new()))
            return 3;
        created = true;
    }
    if (array_append(*ppArray, text) != 0) {
        if (created) {
            array_delete(*ppArray);
            *ppArray = nullptr;
        }
        return 3;
    }
    return 0;
}

}  // namespace

extern "C" {

int calparser_recurrence_populateProperties(char** ppField, const char* text)
{
    if (!ppField || !text)
        return 1;
    return str_replace_copy(ppField, text);
}

int calparser_addStringToPropertyArray(array_t** ppArray, const char* text)
{
    if (!ppArray)
        return 1;
    char* copy = PL_strdup(text ? text : "");
    if (!copy)
        return 3;
    int rc = append_owned_text(ppArray, copy);
    if (rc != 0)
        PL_strfree(copy);
    return rc;
}

int calparser_populate_commaListArray(array_t** ppArray, const char* text)
{
    if (!ppArray)
        return 1;
    char** items = nullptr;
    int count = 0;
    if (cal_parseutil_get_comma_list(text ? text : "", &items, &count) != 0)
        return 3;
    int rc = 0;
    for (int i = 0; i < count; i++)
        rc |= calparser_addStringToPropertyArray(ppArray, items[i]);
    cal_parseutil_free_char_list(&items, count);
    return rc;
}

int calparser_storeEmailProperty(char** ppField, const char* text)
{
    if (!ppField || !text)
        return 1;
    if (PL_strncmp(text, kMailtoLower, kMailtoLength) == 0 ||
        PL_strncmp(text, kMailtoUpper, kMailtoLength) == 0)
        text += kMailtoLength;
    return calparser_recurrence_populateProperties(ppField, text);
}

int calparser_addCalAddressListToList(array_t** ppArray, const char* text)
{
    if (!ppArray)
        return 1;
    if (!*ppArray && !(*ppArray = array_new()))
        return 3;
    char* work = PL_strdup(text ? text : "");
    if (!work)
        return 3;
    for (char* p = work; *p; p++)
        if (*p == '"')
            *p = ' ';
    char** items = nullptr;
    int count = 0;
    int rc = cal_parseutil_get_comma_list(work, &items, &count) == 0 ? 0 : 3;
    for (int i = 0; i < count && rc == 0; i++) {
        // A blank item (quotes only, say) is as empty as an empty one.
        const char* address = str_trim(items[i]);
        if (address[0] != '\0' && calparser_addStringToPropertyArray(ppArray, address) != 0)
            rc = 3;
    }
    cal_parseutil_free_char_list(&items, count);
    PL_strfree(work);
    return rc;
}

}  // extern "C"
