/* Time zones and sub-zones: construction and destruction. */
#include "public/db/caldb_timezone.h"

#include <stdlib.h>

#include <plstr.h>
#include <unicode/timezone.h>

#include "public/db/caldb_lists.h"

namespace {

/* A sub-zone without a change rule, in the encoding of a rule-based zone. */
constexpr int kNoMonth = -1;
constexpr int kNoDayOfWeek = -1;
constexpr int kNoWeek = 0;

void free_db_zone(CALDB_VZONE** ppDbZone) {
    CALDB_VZONE* db = *ppDbZone;
    if (!db) return;
    array_delete(db->aRDates);  // a time list: its elements are the values
    db->aRDates = nullptr;
    caldb_free_text_list(&db->aRRules);
    caldb_free_text_list(&db->aTzNames);
    caldb_free_text_list(&db->aComments);
    caldb_free_text_list(&db->aXProps);
    free(db);
    *ppDbZone = nullptr;
}

void free_db_timezone(CALDB_VTIMEZONE** ppDbZone) {
    CALDB_VTIMEZONE* db = *ppDbZone;
    if (!db) return;
    PL_strfree(db->pTzid);
    PL_strfree(db->pTzUrl);
    caldb_free_text_list(&db->aXProps);
    free(db);
    *ppDbZone = nullptr;
}

}  // namespace

extern "C" {

int caldb_time_list_append(array_t* list, time_t value) {
    if (!list) return 3;
    return array_append(list, reinterpret_cast<void*>(static_cast<intptr_t>(value))) == 0 ? 0 : 3;
}

time_t caldb_time_list_at(const array_t* list, unsigned index) {
    if (!list || index >= list->count) return 0;
    return static_cast<time_t>(reinterpret_cast<intptr_t>(list->data[index]));
}

CAL_VZONE* CAL_VZONE_NEW(void) {
    CAL_VZONE* zone = static_cast<CAL_VZONE*>(calloc(1, sizeof(CAL_VZONE)));
    CALDB_VZONE* db = static_cast<CALDB_VZONE*>(calloc(1, sizeof(CALDB_VZONE)));
    if (!zone || !db) {
        free(zone);
        free(db);
        return nullptr;
    }
    zone->pDbZone = db;
    zone->nMonth = kNoMonth;
    zone->nDayOfWeek = kNoDayOfWeek;
    zone->nWeek = kNoWeek;
    return zone;
}

int CAL_VZONE_FREE(CAL_VZONE** ppZone) {
    if (!ppZone || !*ppZone) return 0;
    free_db_zone(&(*ppZone)->pDbZone);
    free(*ppZone);
    *ppZone = nullptr;
    return 0;
}

CAL_VTIMEZONE* CAL_VTIMEZONE_NEW(void) {
    CAL_VTIMEZONE* zone = static_cast<CAL_VTIMEZONE*>(calloc(1, sizeof(CAL_VTIMEZONE)));
    CALDB_VTIMEZONE* db = static_cast<CALDB_VTIMEZONE*>(calloc(1, sizeof(CALDB_VTIMEZONE)));
    if (!zone || !db) {
        free(zone);
        free(db);
        return nullptr;
    }
    zone->pDbTimeZone = db;
    return zone;
}

int CAL_VTIMEZONE_FREE(CAL_VTIMEZONE** ppZone) {
    if (!ppZone || !*ppZone) return 0;
    CAL_VTIMEZONE* zone = *ppZone;
    CAL_VZONE_FREE(&zone->pDaylight);
    CAL_VZONE_FREE(&zone->pStandard);
    free_db_timezone(&zone->pDbTimeZone);
    delete zone->pIcuZone;  // ICU destructors do not throw
    zone->pIcuZone = nullptr;
    caldb_free_text_list(&zone->aAliases);
    array_delete(zone->aTzCross);  // a time list: its elements are the values
    free(zone);
    *ppZone = nullptr;
    return 0;
}

int CAL_VTIMEZONE_FreeCalVTimeZoneList(array_t* pList) {
    if (!pList) return 0;
    for (unsigned i = pList->count; i > 0; i--) {
        CAL_VTIMEZONE* zone = static_cast<CAL_VTIMEZONE*>(array_removeat(pList, i - 1));
        CAL_VTIMEZONE_FREE(&zone);
    }
    return 0;
}

}  // extern "C"
