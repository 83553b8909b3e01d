/* Attendee records and lists as the record tests build and read them. */
#ifndef TESTS_SUPPORT_ATTENDEE_LISTS_H
#define TESTS_SUPPORT_ATTENDEE_LISTS_H

#include <initializer_list>

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
