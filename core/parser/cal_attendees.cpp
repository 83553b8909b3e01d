/* Attendee and organizer lists: deep copies, look-ups, merges, duplicate
 * removal, participation status, e-mail recipients and address tests. */
#include "core/parser/cal_attendees.h"

#include <stdlib.h>
#include <string.h>

#include <plstr.h>

#include "core/parser/cal_str.h"
#include "core/parser/calparserutil.h"
#include "core/parser/populate.h"
#include "public/core_util/comp_util.h"
#include "public/core_util/parseutil.h"
#include "public/util/str.h"
#include "public/util/strarray.h"

namespace {

constexpr char kMailto[] = "mailto:";
constexpr unsigned kMailtoLength = sizeof kMailto - 1;

/* Replaces *field by a copy of src; a NULL src leaves it. 0, or 3 when the
 * copy fails. */
int copy_present_text(char** field, const char* src) {
    return src ? str_replace_copy(field, src) : 0;
}

/* Replaces *field by a copy of the address src, which must exist. */
int copy_address(char** field, const char* src) {
    return src ? str_replace_copy(field, src) : 3;
}

CALDB_ATTENDEE* attendee_at(const array_t* list, unsigned i) {
    return static_cast<CALDB_ATTENDEE*>(array_elementat(list, i));
}

bool has_text(const char* text) {
    return text && *text;
}

bool key_matches(const CALDB_ATTENDEE* element, const CALDB_ATTENDEE* key) {
    if (key->pCalid) return element->pCalid && PL_strcasecmp(element->pCalid, key->pCalid) == 0;
    return PL_strcasecmp(element->pAddr, key->pAddr) == 0;
}

/* The identity of an attendee for duplicate removal. */
const char* identity_key(const CALDB_ATTENDEE* att) {
    return att->pCalid ? att->pCalid : att->pAddr;
}

/* Takes the texts of `list` from index `count` on off the list and frees
 * them. */
void truncate_text_list(array_t* list, unsigned count) {
    while (list->count > count)
        PL_strfree(static_cast<char*>(array_removeat(list, list->count - 1)));
}

}  // namespace

int calparser_recurrence_populateAttendee(CALDB_ATTENDEE** ppDest, const CALDB_ATTENDEE* pSrc) {
    if (!ppDest || !pSrc) return 1;
    if (!*ppDest && !(*ppDest = caldb_NewAttendee())) return 3;
    CALDB_ATTENDEE* d = *ppDest;
    const CALDB_ATTENDEE* s = pSrc;
    if (copy_address(&d->pAddr, s->pAddr) || copy_present_text(&d->pCalid, s->pCalid) ||
        copy_present_text(&d->pCuType, s->pCuType) ||
        calparser_append_arrays_unique(&d->aMembers, s->aMembers) ||
        calparser_append_arrays_unique(&d->aDelegatedTo, s->aDelegatedTo) ||
        calparser_append_arrays_unique(&d->aDelegatedFrom, s->aDelegatedFrom) ||
        copy_present_text(&d->pRole, s->pRole) || copy_present_text(&d->pCn, s->pCn) ||
        copy_present_text(&d->pDir, s->pDir) || copy_present_text(&d->pSentBy, s->pSentBy) ||
        copy_present_text(&d->pPartStatName, s->pPartStatName) ||
        copy_present_text(&d->pAuxText, s->pAuxText) ||
        copy_present_text(&d->pLanguage, s->pLanguage)) {
        caldb_FreeAttendee(ppDest);
        return 3;
    }
    d->nAuxValue = s->nAuxValue;
    d->nPartStat = s->nPartStat;
    d->nSentStatus = s->nSentStatus;
    /* The record library's fifth and sixth words stay the destination's. */
    static const int kCopiedWords[] = {0, 1, 2, 3, 6, 7};
    for (int i : kCopiedWords) d->nAuxWords[i] = s->nAuxWords[i];
    d->bRsvp = s->bRsvp;
    d->bAuxFlag = s->bAuxFlag;
    return 0;
}

int calparser_recurrence_populateOrganizer(CALDB_ORGANIZER** ppDest, const CALDB_ORGANIZER* pSrc) {
    if (!ppDest || !pSrc) return 1;
    if (!*ppDest && !(*ppDest = caldb_NewOrganizer())) return 3;
    CALDB_ORGANIZER* d = *ppDest;
    const CALDB_ORGANIZER* s = pSrc;
    if (copy_address(&d->pAddr, s->pAddr) || copy_present_text(&d->pCn, s->pCn) ||
        copy_present_text(&d->pDir, s->pDir) || copy_present_text(&d->pSentBy, s->pSentBy) ||
        copy_present_text(&d->pOrganizerUid, s->pOrganizerUid) ||
        copy_present_text(&d->pSentByUid, s->pSentByUid) ||
        copy_present_text(&d->pLanguage, s->pLanguage)) {
        caldb_FreeOrganizer(ppDest);
        return 3;
    }
    return 0;
}

int calparser_append_arrays(array_t** ppDest, const array_t* pSrc) {
    if (!ppDest || !pSrc) return 0;
    bool created = !*ppDest;
    if (created && !(*ppDest = array_new())) return 3;
    /* The count is taken first so that a list appended to itself ends. */
    unsigned count = pSrc->count;
    unsigned had = (*ppDest)->count;
    for (unsigned i = 0; i < count; i++) {
        char* copy = PL_strdup(static_cast<const char*>(pSrc->data[i]));
        if (!copy || array_append(*ppDest, copy) != 0) {
            PL_strfree(copy);
            if (created)
                array_free_and_destroy(ppDest);
            else
                truncate_text_list(*ppDest, had);
            return 3;
        }
    }
    return 0;
}

int calparser_append_arrays_unique(array_t** ppDest, const array_t* pSrc) {
    if (!ppDest || !pSrc) return 0;
    if (!*ppDest) return calparser_append_arrays(ppDest, pSrc);
    array_t* dest = *ppDest;
    unsigned count = pSrc->count;
    for (unsigned i = 0; i < count; i++) {
        char* copy = PL_strdup(static_cast<const char*>(pSrc->data[i]));
        if (!copy) return 3;
        bool keep = !(isOriginalDTStartXTokenString(copy) && hasOriginalDtStartXToken(dest)) &&
                    array_append_unique_string(dest, copy);
        if (!keep) PL_strfree(copy);
    }
    return 0;
}

int calparser_copy_attendee_arrays(array_t** ppDest, const array_t* pSrc) {
    if (!ppDest || !pSrc) return 0;
    if (*ppDest == pSrc) return 0; /* already a list of its own */
    caldb_FreeList(ppDest, CALDB_LIST_ATTENDEES);
    if (!(*ppDest = array_new())) return 3;
    for (unsigned i = 0; i < pSrc->count; i++) {
        const CALDB_ATTENDEE* src = attendee_at(pSrc, i);
        if (!src) continue;
        CALDB_ATTENDEE* copy = nullptr;
        if (calparser_recurrence_populateAttendee(&copy, src) != 0 ||
            array_append(*ppDest, copy) != 0) {
            caldb_FreeAttendee(&copy);
            caldb_FreeList(ppDest, CALDB_LIST_ATTENDEES);
            return 3;
        }
    }
    return 0;
}

CALDB_ATTENDEE* calparser_findAttendeeInList(const array_t* list, const CALDB_ATTENDEE* key,
                                             int* pIndex) {
    if (!list || list->count == 0 || !key || !has_text(key->pAddr)) return nullptr;
    for (unsigned i = 0; i < list->count; i++) {
        CALDB_ATTENDEE* element = attendee_at(list, i);
        if (!element || !has_text(element->pAddr)) continue;
        if (key_matches(element, key)) {
            if (pIndex) *pIndex = static_cast<int>(i);
            return element;
        }
    }
    return nullptr;
}

int calparser_isAttendeeDeletionMarker(const CALDB_ATTENDEE* att) {
    const char* status = getPartStatString(att);
    return status && strcmp(status, xDelete) == 0;
}

int calparser_merge_attendee(array_t* list, CALDB_ATTENDEE* att, int appendIfMissing) {
    if (!list || !att || !att->pAddr) return 0;
    bool deletion = calparser_isAttendeeDeletionMarker(att);
    int index = 0;
    CALDB_ATTENDEE* match = calparser_findAttendeeInList(list, att, &index);
    if (!match) {
        /* The list takes att; if it cannot hold it att stays the caller's,
         * who can tell by att not being the list's last element. */
        if (!deletion && appendIfMissing) array_append(list, att);
        return 0;
    }
    if (deletion) {
        array_removeat(list, static_cast<unsigned>(index));
        caldb_FreeAttendee(&match);
        return 0;
    }
    CALDB_ATTENDEE* copy = nullptr;
    /* Out of memory: the stored attendee stays and att stays the caller's. */
    if (calparser_recurrence_populateAttendee(&copy, att) != 0) return 0;
    list->data[index] = copy;
    caldb_FreeAttendee(&match);
    return 1;
}

int calparser_array_append_unique_attendee(array_t* list, CALDB_ATTENDEE* att) {
    return calparser_merge_attendee(list, att, 1);
}

void calparser_merge_attendee_list(array_t* list, const array_t* changes) {
    if (!list || !changes) return;
    for (unsigned i = 0; i < changes->count; i++)
        calparser_merge_attendee(list, attendee_at(changes, i), 0);
}

void calparser_removeDuplicateAttendeeEntries(array_t* list) {
    if (!list) return;
    array_qsort(list, comp_util_attendee_compare);
    const char* keptKey = nullptr;
    for (unsigned i = list->count; i > 0; i--) {
        CALDB_ATTENDEE* att = attendee_at(list, i - 1);
        if (!att) continue;
        const char* key = identity_key(att);
        if (key && keptKey && strcmp(key, keptKey) == 0) {
            array_removeat(list, i - 1);
            caldb_FreeAttendee(&att);
        } else {
            keptKey = key;
        }
    }
    array_qsort(list, comp_util_attendee_compare_for_display);
}

int attendee_index_key_compare(const void* key, const void* element) {
    const char* text = key ? *static_cast<const char* const*>(key) : nullptr;
    const CALDB_ATTENDEE* att =
        element ? *static_cast<const CALDB_ATTENDEE* const*>(element) : nullptr;
    if (!text && !att) return 0;
    if (!text) return -1;
    if (!att || !att->pAddr) return 1;
    return PL_strcasecmp(text, att->pAddr);
}

void calparser_getUserPartStatFromAttendeeList(const char* user, const array_t* list,
                                               int* pPartStat) {
    if (!pPartStat) return;
    *pPartStat = CALDB_PARTSTAT_NEEDS_ACTION;
    if (!user || !list) return;
    for (unsigned i = 0; i < list->count; i++) {
        const CALDB_ATTENDEE* att = attendee_at(list, i);
        if (!att) continue;
        if ((att->pCalid && strcmp(att->pCalid, user) == 0) ||
            (att->pAddr && strcmp(att->pAddr, user) == 0)) {
            *pPartStat = att->nPartStat;
            return;
        }
    }
}

const char* getPartStatString(const CALDB_ATTENDEE* att) {
    if (!att) return nullptr;
    if (att->nPartStat == CALDB_PARTSTAT_OTHER) return att->pPartStatName;
    const char* name = calparser_getPartStatName(att->nPartStat);
    return name ? name : "NEEDS-ACTION";
}

int calparser_MakeEmailRecipientList(array_t** ppDest, const array_t* pSrc) {
    if (!ppDest) return 1;
    if (!pSrc || pSrc->count == 0) {
        *ppDest = nullptr;  // a list it held stays the caller's
        return 1;
    }
    if (!*ppDest && !(*ppDest = array_new())) return 3;
    for (unsigned i = 0; i < pSrc->count; i++) {
        const char* text = static_cast<const char*>(pSrc->data[i]);
        const char* mailto = text ? PL_strcasestr(text, kMailto) : nullptr;
        if (!mailto || !mailto[kMailtoLength]) continue;
        char* address = PL_strdup(mailto + kMailtoLength);
        if (!address || strarray_append(*ppDest, address) != 0) {
            PL_strfree(address);
            strarray_free_and_destroy(ppDest);
            return 3;
        }
    }
    return 0;
}

int bIsMailto(const char* text) {
    return text && PL_strncasecmp(text, kMailto, kMailtoLength) == 0;
}

int isEmailAddress(const char* text) {
    return text && *text && strchr(text + 1, '@') != nullptr;
}

int IsPossibleCalid(const char* text) {
    if (!text || bIsMailto(text)) return 0;
    return cal_parseutil_isValidCalid(text);
}
