/* Attendee records and lists as the record tests build and read them. */
#ifndef TESTS_SUPPORT_ATTENDEE_LISTS_H
#define TESTS_SUPPORT_ATTENDEE_LISTS_H

#include <initializer_list>
#include <string>

#include <plstr.h>

#include "public/db/caldb.h"
#include "tests/support/text_lists.h"

/* A new attendee (the caller owns it) of address `addr` and calendar id
 * `calid` (NULL: not set) with participation status `partStat`. */
inline CALDB_ATTENDEE* new_attendee(const char* addr, const char* calid = nullptr,
                                    int partStat = 0) {
    CALDB_ATTENDEE* a = caldb_NewAttendee();
    a->pAddr = addr ? PL_strdup(addr) : nullptr;
    a->pCalid = calid ? PL_strdup(calid) : nullptr;
    a->nPartStat = partStat;
    return a;
}

/* The text and the list fields of an attendee, for checks of every field. */
inline char* CALDB_ATTENDEE::*const kAttendeeTexts[] = {
    &CALDB_ATTENDEE::pAddr,     &CALDB_ATTENDEE::pCalid,   &CALDB_ATTENDEE::pCuType,
    &CALDB_ATTENDEE::pRole,     &CALDB_ATTENDEE::pCn,      &CALDB_ATTENDEE::pDir,
    &CALDB_ATTENDEE::pSentBy,   &CALDB_ATTENDEE::pLanguage, &CALDB_ATTENDEE::pAuxText,
    &CALDB_ATTENDEE::pPartStatName};
inline array_t* CALDB_ATTENDEE::*const kAttendeeLists[] = {
    &CALDB_ATTENDEE::aMembers, &CALDB_ATTENDEE::aDelegatedTo, &CALDB_ATTENDEE::aDelegatedFrom};

/* A new attendee (the caller owns it) with every field set, each text to a
 * different value so that a copy that mixes two fields up shows. */
inline CALDB_ATTENDEE* full_attendee() {
    CALDB_ATTENDEE* a = caldb_NewAttendee();
    int n = 0;
    for (char* CALDB_ATTENDEE::*field : kAttendeeTexts)
        a->*field = PL_strdup(("text " + std::to_string(n++)).c_str());
    a->aMembers = texts({"mailto:team@example.com"});
    a->aDelegatedTo = texts({"mailto:a@example.com", "mailto:b@example.com"});
    a->aDelegatedFrom = texts({"mailto:c@example.com"});
    a->nPartStat = 9;
    a->nSentStatus = 2;
    for (int i = 0; i < 8; i++) a->nAuxWords[i] = 100 + i;
    a->bRsvp = a->bAuxFlag = 1;
    return a;
}

/* A new list owning `items`; caldb_FreeList(&list, CALDB_LIST_ATTENDEES) frees it. */
inline array_t* attendee_list(std::initializer_list<CALDB_ATTENDEE*> items) {
    array_t* list = array_new();
    for (CALDB_ATTENDEE* a : items) array_append(list, a);
    return list;
}

/* Attendee `i` of `list` (NULL past its end). */
inline CALDB_ATTENDEE* attendee_at(const array_t* list, unsigned i) {
    return static_cast<CALDB_ATTENDEE*>(array_elementat(list, i));
}

/* The addresses of `list` in order; a NULL list gives none. */
inline Strings addresses(const array_t* list) {
    Strings out;
    for (unsigned i = 0; list && i < list->count; i++) out.push_back(attendee_at(list, i)->pAddr);
    return out;
}

#endif
