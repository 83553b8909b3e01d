/* URL-encoded request parameters: hat-form items to tokens, recurrence and
 * date lists, attendee lists and the organizer. */
#include "core/parser/cal_urlparams.h"

#include <stdlib.h>
#include <string.h>

#include <plstr.h>

#include "core/parser/cal_attendees.h"
#include "core/parser/populate.h"
#include "public/core_util/parseutil.h"
#include "public/util/str.h"

namespace {

constexpr char kHat = '^';
/* Room for the prefix, the NUL and a little slack. */
constexpr size_t kHatBufferSlack = 4;
constexpr size_t kNameBufferSlack = 8;

/* Drops one opening double quote and, after it, one closing double quote,
 * in place. A lone quote is kept: it is the whole value. */
void strip_item_quotes(char* item)
{
    size_t len = strlen(item);
    if (len <= 1 || item[0] != '"')
        return;
    memmove(item, item + 1, len);  // the NUL moves too
    len--;
    if (len > 0 && item[len - 1] == '"')
        item[len - 1] = '\0';
}

/* An element of the text list equals `text`, case distinguished. */
bool contains_text(const array_t* list, const char* text)
{
    for (unsigned i = 0; i < list->count; i++) {
        const char* present = static_cast<const char*>(list->data[i]);
        if (present && strcmp(present, text) == 0)
            return true;
    }
    return false;
}

/* Merges the attendee `att`, which the caller owns, into `list`. Returns 0,
 * or 3 when it could not be appended. `att` is either the list's or freed. */
int merge_one_attendee(array_t* list, CALDB_ATTENDEE* att, int bUnique)
{
    if (calparser_isAttendeeDeletionMarker(att)) {
        calparser_merge_attendee(list, att, 1);  // removes the match, never keeps att
        caldb_FreeAttendee(&att);
        return 0;
    }
    if (!bUnique) {
        if (array_append(list, att) == 0)
            return 0;
        caldb_FreeAttendee(&att);
        return 3;
    }
    if (calparser_array_append_unique_attendee(list, att) == 1) {
        caldb_FreeAttendee(&att);  // the list holds a copy in the match's place
        return 0;
    }
    // Appended, unless it had no address or memory ran out.
    if (array_last_element(list) == att)
        return 0;
    int rc = att->pAddr ? 3 : 0;
    caldb_FreeAttendee(&att);
    return rc;
}

/* Stores one attendee item into `list`. Returns 0, 1 (rejected by the
 * storer) or 3. */
int store_attendee_item(char* item, array_t* list, int bToUpper, int bUnique,
                        const char* pLookupCtx)
{
    int rc = 0;
    CALPARSER_TOKEN* token = nullptr;
    array_t* made = nullptr;

    if (bToUpper)
        str_toupper(item);
    if (parseHatSeperatedStringIntoToken(item, &token) != 0)
        goto done;  // an item that does not parse is skipped
    rc = calparser_storeSingleAttendeeProp(&made, token, 0, 0, pLookupCtx);
    if (rc != 0)
        goto done;
    while (made && made->count > 0 && rc == 0) {
        auto* att = static_cast<CALDB_ATTENDEE*>(array_removeat(made, 0));
        rc = merge_one_attendee(list, att, bUnique);
    }

done:
    caldb_FreeList(&made, CALDB_LIST_ATTENDEES);  // what was not merged
    calparser_FreeToken(&token);
    return rc;
}

}  // namespace

extern "C" {

char** convertHatCharToSemicolonAndLastToColon(char** ppText)
{
    if (!ppText || !*ppText)
        return ppText;
    bool lastSeen = false;
    for (char* p = *ppText + strlen(*ppText); p-- > *ppText;) {
        if (*p != kHat)
            continue;
        *p = lastSeen ? ';' : ':';
        lastSeen = true;
    }
    return ppText;
}

int parseHatSeperatedStringIntoToken(char* item, CALPARSER_TOKEN** ppOut)
{
    if (!ppOut)
        return 1;
    if (!(*ppOut = calparser_NewToken()) || !item)
        return 1;
    size_t len = strlen(item);
    char* line = static_cast<char*>(calloc(len + kHatBufferSlack, 1));
    if (!line)
        return 1;

    line[0] = strchr(item, kHat) ? ';' : ':';
    convertHatCharToSemicolonAndLastToColon(&item);
    memcpy(line + 1, item, len);
    calparser_populateXToken_token(ppOut, line, 0);
    free(line);
    return 0;
}

int cal_parseutil_parseXProperty(char* item, CALPARSER_TOKEN** ppOut)
{
    if (!item || !ppOut)
        return 1;
    *ppOut = nullptr;
    char* equals = strchr(item, '=');
    if (!equals)
        return 2;

    int rc = parseHatSeperatedStringIntoToken(equals + 1, ppOut);
    if (rc == 0 && *ppOut) {
        size_t nameLen = (size_t)(equals - item);
        char* name = static_cast<char*>(calloc(nameLen + kNameBufferSlack, 1));
        if (name) {
            memcpy(name, item, nameLen);
            PL_strfree((*ppOut)->pName);
            (*ppOut)->pName = name;
        } else {
            rc = 3;
        }
    }
    if (rc != 0)
        calparser_FreeToken(ppOut);
    return rc;
}

int calparser_recurrence_copyURLEncodedRecurrenceString_to_array(const char* encoded,
                                                                  array_t* pDest, int bToUpper,
                                                                  int bUnique)
{
    if (!encoded)
        return 0;
    if (!pDest)
        return 1;
    char** items = nullptr;
    int count = 0;
    if (cal_parseutil_get_semicolon_list(encoded, &items, &count) == 3)
        return 3;
    if (!items)
        return 0;

    int rc = 0;
    for (int i = 0; i < count; i++) {
        char* item = items[i];
        items[i] = nullptr;
        if (item)
            strip_item_quotes(item);
        if (!item || !*item) {
            PL_strfree(item);
            continue;
        }
        if (bToUpper)
            item = str_toupper(item);
        bool taken = bUnique ? array_append_unique_string(pDest, item) != 0
                             : array_append(pDest, item) == 0;
        if (!taken) {
            if (!bUnique || !contains_text(pDest, item))
                rc = 3;  // not a duplicate: the append ran out of memory
            PL_strfree(item);
        }
    }
    cal_parseutil_free_char_list(&items, count);
    return rc;
}

int calparser_recurrence_copyURLEncodedAttendee_to_array(const char* encoded,
                                                          array_t* pAttendees, int bToUpper,
                                                          int bUnique, const char* pLookupCtx)
{
    if (!encoded)
        return 0;
    if (!pAttendees)
        return 1;
    char** items = nullptr;
    int count = 0;
    if (cal_parseutil_get_semicolon_list(encoded, &items, &count) == 3)
        return 3;

    int rc = 0;
    for (int i = 0; items && i < count && rc == 0; i++) {
        if (items[i] && *items[i])
            rc = store_attendee_item(items[i], pAttendees, bToUpper, bUnique, pLookupCtx);
    }
    cal_parseutil_free_char_list(&items, count);
    return rc;
}

int calparser_copyURLEncodedOrganizer(const char* encoded, CALDB_ORGANIZER** ppDest, int bToUpper)
{
    char** items = nullptr;
    int count = 0;
    cal_parseutil_get_semicolon_list(encoded, &items, &count);
    if (items && count > 0 && items[0] && *items[0]) {
        CALPARSER_TOKEN* token = nullptr;
        if (bToUpper)
            str_toupper(items[0]);
        if (parseHatSeperatedStringIntoToken(items[0], &token) == 0)
            calparser_storeOrganizerProperty(ppDest, token);
        calparser_FreeToken(&token);
    }
    cal_parseutil_free_char_list(&items, count);
    return 0;
}

}  // extern "C"
