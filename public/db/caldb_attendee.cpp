/* Attendees, organizers and alarms: construction, destruction, the attendee
 * deep copy and the freeing of attendee and alarm lists. */
#include "public/db/caldb.h"

#include <stdlib.h>

#include <plstr.h>

#include "public/db/caldb_lists.h"
#include "public/util/str.h"

namespace {

template <typename Record>
Record* new_record() {
    return static_cast<Record*>(calloc(1, sizeof(Record)));
}

/* Frees what an attendee owns; the record itself stays. Newest first, as
 * free_component_head does (caldb_component.cpp says why): the address comes
 * from the property value, which a parse stores after the parameters. */
void free_attendee_contents(CALDB_ATTENDEE* a) {
    PL_strfree(a->pAddr);
    PL_strfree(a->pCalid);
    PL_strfree(a->pPartStatName);
    PL_strfree(a->pAuxText);
    PL_strfree(a->pLanguage);
    PL_strfree(a->pSentBy);
    PL_strfree(a->pDir);
    PL_strfree(a->pCn);
    PL_strfree(a->pRole);
    caldb_free_text_list(&a->aDelegatedFrom);
    caldb_free_text_list(&a->aDelegatedTo);
    caldb_free_text_list(&a->aMembers);
    PL_strfree(a->pCuType);
}

}  // namespace

extern "C" {

CALDB_ATTENDEE* caldb_NewAttendee(void) { return new_record<CALDB_ATTENDEE>(); }
CALDB_ORGANIZER* caldb_NewOrganizer(void) { return new_record<CALDB_ORGANIZER>(); }
CALDB_VALARM* caldb_NewAlarm(void) { return new_record<CALDB_VALARM>(); }

int caldb_FreeAttendee(CALDB_ATTENDEE** ppAttendee) {
    if (!ppAttendee || !*ppAttendee) return 0;
    free_attendee_contents(*ppAttendee);
    free(*ppAttendee);
    *ppAttendee = nullptr;
    return 0;
}

int caldb_FreeOrganizer(CALDB_ORGANIZER** ppOrganizer) {
    if (!ppOrganizer || !*ppOrganizer) return 0;
    CALDB_ORGANIZER* o = *ppOrganizer;
    PL_strfree(o->pDir);
    PL_strfree(o->pCn);
    PL_strfree(o->pLanguage);
    PL_strfree(o->pSentBy);
    PL_strfree(o->pSentByUid);
    PL_strfree(o->pOrganizerUid);
    PL_strfree(o->pAddr);
    free(o);
    *ppOrganizer = nullptr;
    return 0;
}

int caldb_FreeAlarm(CALDB_VALARM** ppAlarm) {
    if (!ppAlarm || !*ppAlarm) return 0;
    CALDB_VALARM* alarm = *ppAlarm;
    caldb_free_text_list(&alarm->aXProps);
    caldb_free_text_list(&alarm->aAuxTexts);
    caldb_free_text_list(&alarm->aAttendees);
    PL_strfree(alarm->pDescription);
    PL_strfree(alarm->pSummary);
    PL_strfree(alarm->pAuxText);
    free(alarm);
    *ppAlarm = nullptr;
    return 0;
}

int caldb_FreeList(array_t** ppList, int kind) {
    if (kind != CALDB_LIST_ALARMS && kind != CALDB_LIST_ATTENDEES) return 1;
    if (!ppList || !*ppList) return 0;
    array_t* list = *ppList;
    for (unsigned i = list->count; i > 0; i--) {
        void* element = list->data[i - 1];   /* the array goes too */
        if (kind == CALDB_LIST_ALARMS) {
            CALDB_VALARM* alarm = static_cast<CALDB_VALARM*>(element);
            caldb_FreeAlarm(&alarm);
        } else {
            CALDB_ATTENDEE* attendee = static_cast<CALDB_ATTENDEE*>(element);
            caldb_FreeAttendee(&attendee);
        }
    }
    array_delete(list);
    *ppList = nullptr;
    return 0;
}

int caldb_copyConstructorAttendee(const CALDB_ATTENDEE* pSrc, CALDB_ATTENDEE** ppDest) {
    if (!pSrc || !ppDest) return 1;
    *ppDest = nullptr;
    CALDB_ATTENDEE* copy = caldb_NewAttendee();
    if (!copy) return 3;

    /* Values first: the structure copy also carries the flag byte and the
     * record library's own words. Every owned pointer is then replaced by a
     * copy of its own, or cleared, before anything can fail. */
    *copy = *pSrc;
    copy->pAddr = copy->pCalid = copy->pCuType = nullptr;
    copy->aMembers = copy->aDelegatedTo = copy->aDelegatedFrom = nullptr;
    copy->pRole = copy->pCn = copy->pDir = copy->pSentBy = nullptr;
    copy->pLanguage = copy->pAuxText = copy->pPartStatName = nullptr;

    bool ok = str_replace_copy(&copy->pAddr, pSrc->pAddr) == 0 &&
              str_replace_copy(&copy->pCalid, pSrc->pCalid) == 0 &&
              str_replace_copy(&copy->pCuType, pSrc->pCuType) == 0 &&
              caldb_copy_text_list(pSrc->aMembers, &copy->aMembers) == 0 &&
              caldb_copy_text_list(pSrc->aDelegatedTo, &copy->aDelegatedTo) == 0 &&
              caldb_copy_text_list(pSrc->aDelegatedFrom, &copy->aDelegatedFrom) == 0 &&
              str_replace_copy(&copy->pRole, pSrc->pRole) == 0 &&
              str_replace_copy(&copy->pCn, pSrc->pCn) == 0 &&
              str_replace_copy(&copy->pDir, pSrc->pDir) == 0 &&
              str_replace_copy(&copy->pSentBy, pSrc->pSentBy) == 0 &&
              str_replace_copy(&copy->pLanguage, pSrc->pLanguage) == 0 &&
              str_replace_copy(&copy->pAuxText, pSrc->pAuxText) == 0 &&
              str_replace_copy(&copy->pPartStatName, pSrc->pPartStatName) == 0;
    if (!ok) {
        caldb_FreeAttendee(&copy);
        return 3;
    }
    *ppDest = copy;
    return 0;
}

}  // extern "C"
