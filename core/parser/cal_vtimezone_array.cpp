/* The time-zone registry: its sorted list, look-ups, listing and debug print. */
#include "core/parser/cal_vtimezone_array.h"

#include <new>

#include <plstr.h>
#include <prprf.h>
#include <unicode/timezone.h>


namespace {

constexpr int kMsPerHour = 3600000;
constexpr int kMsPerMinute = 60000;
/* Room for one rendered start time in the debug print. */
constexpr size_t kDebugTimeBufferSize = 10000;

/* Orders two possibly missing items: -1, 0 or 1 when only one is missing or
 * both are, 2 when both are present and the caller must compare further. */
int compare_presence(const void* a, const void* b) {
    if (!a && !b) return 0;
    if (!a) return -1;
    if (!b) return 1;
    return 2;
}

/* The zone's name for sorting; sets *pRank to the rank of what is missing
 * (0 no zone, 1 no stored part, 2 no name, 3 named). */
const char* zone_name(const CAL_VTIMEZONE* zone, int* pRank) {
    if (!zone) {
        *pRank = 0;
        return nullptr;
    }
    if (!zone->pDbTimeZone) {
        *pRank = 1;
        return nullptr;
    }
    *pRank = zone->pDbTimeZone->pTzid ? 3 : 2;
    return zone->pDbTimeZone->pTzid;
}

/* One sub-zone: its start (when it has its stored record), then its rule. */
void print_sub_zone(PRFileDesc* fd, const char* label, const CAL_VZONE* sub) {
    if (sub->pDbZone) {
        PR_fprintf(fd, "%s", label);
        time_t start = sub->pDbZone->tDtStart;
        if (start > 0) {
            char rendered[kDebugTimeBufferSize];
            struct tm broken;
            if (!gmtime_r(&start, &broken) ||
                strftime(rendered, sizeof rendered, "(%Y%m%dT%H%M%SZ) [%d-%b-%y %I:%M%p]",
                         &broken) == 0)
                rendered[0] = '\0';
            PR_fprintf(fd, "   dtStart = %lu  %s\n", (unsigned long)start, rendered);
        } else {
            PR_fprintf(fd, "   dtStart = -1\n");
        }
    }
    PR_fprintf(fd, "Pattern: Month:%d, Week:%d, Day:%d, Time:%2d:%2d\n", sub->nMonth + 1,
               sub->nWeek, sub->nDayOfWeek, sub->nTimeMs / kMsPerHour,
               (sub->nTimeMs % kMsPerHour) / kMsPerMinute);
}

void print_zone(PRFileDesc* fd, const CAL_VTIMEZONE* zone) {
    const CALDB_VTIMEZONE* db = zone ? zone->pDbTimeZone : nullptr;
    PR_fprintf(fd, "Name: %s\n", db && db->pTzid ? db->pTzid : "unknown");
    PR_fprintf(fd, "URL: %s\n", db && db->pTzUrl ? db->pTzUrl : "<none>");
    if (zone && zone->pDaylight) print_sub_zone(fd, "Daylight - ", zone->pDaylight);
    if (zone && zone->pStandard) print_sub_zone(fd, "Standard - ", zone->pStandard);
    PR_fprintf(fd, "\n");
}

}  // namespace

CALPARSER_TIMEZONE_LIST* CALPARSER_TIMEZONE_LIST::m_Instance = nullptr;

CALPARSER_TIMEZONE_LIST* CALPARSER_TIMEZONE_LIST::Instance() {
    if (m_Instance) return m_Instance;
    /* Published before the file is read: look-ups made while the file is
     * parsed find the registry empty instead of creating another one. */
    m_Instance = new (std::nothrow) CALPARSER_TIMEZONE_LIST();
    if (m_Instance) m_Instance->init();
    return m_Instance;
}

CALPARSER_TIMEZONE_LIST::~CALPARSER_TIMEZONE_LIST() {
    removeAllTimeZones();
}

void CALPARSER_TIMEZONE_LIST::removeAllTimeZones() {
    if (!m_pList) return;
    CAL_VTIMEZONE_FreeCalVTimeZoneList(m_pList);
    array_delete(m_pList);
    m_pList = nullptr;
}

int CALPARSER_TIMEZONE_LIST::calVTimeZone_compare(const void* pSlotA, const void* pSlotB) {
    int rankA = 0;
    int rankB = 0;
    const char* a = zone_name(*static_cast<CAL_VTIMEZONE* const*>(pSlotA), &rankA);
    const char* b = zone_name(*static_cast<CAL_VTIMEZONE* const*>(pSlotB), &rankB);
    if (rankA != rankB) return rankA < rankB ? -1 : 1;
    if (rankA < 3) return 0;
    return PL_strcmp(a, b);
}

int CALPARSER_TIMEZONE_LIST::key_compare(const void* pKey, const void* pSlot) {
    const char* key = *static_cast<const char* const*>(pKey);
    int rank = 0;
    const char* name = zone_name(*static_cast<CAL_VTIMEZONE* const*>(pSlot), &rank);
    int order = compare_presence(key, name);
    return order == 2 ? PL_strcmp(key, name) : order;
}

CAL_VTIMEZONE* CALPARSER_TIMEZONE_LIST::lookup(const char* tzid) const {
    if (!m_pList || !tzid) return nullptr;
    void** slot = array_bsearch(m_pList, &tzid, key_compare);
    return slot ? static_cast<CAL_VTIMEZONE*>(*slot) : nullptr;
}

void* CALPARSER_TIMEZONE_LIST::lookup_libnls_timezone(const char* tzid) const {
    CAL_VTIMEZONE* zone = lookup(tzid);
    return zone ? static_cast<void*>(zone->pIcuZone) : nullptr;
}

int CALPARSER_TIMEZONE_LIST::getAllTimeZones(array_t** ppList) const {
    if (!ppList) return 1;
    array_t* all = array_new();
    *ppList = nullptr;
    if (!all) return 3;
    for (unsigned i = 0; m_pList && i < m_pList->count; i++) {
        if (array_append(all, m_pList->data[i]) != 0) {
            array_delete(all);
            return 3;
        }
    }
    *ppList = all;
    return 0;
}

int CALPARSER_TIMEZONE_LIST::debugPrintAllTimeZones(PRFileDesc* fd) const {
    if (!fd || !m_pList) return 0;
    for (unsigned i = 0; i < m_pList->count; i++)
        print_zone(fd, static_cast<const CAL_VTIMEZONE*>(m_pList->data[i]));
    return 0;
}

extern "C" {

CAL_VTIMEZONE* calparser_lookupCalVTimeZone(const char* tzid) {
    CALPARSER_TIMEZONE_LIST* registry = CALPARSER_TIMEZONE_LIST::Instance();
    return registry ? registry->lookup(tzid) : nullptr;
}

CALDB_VTIMEZONE* calparser_lookupTimeZone(const char* tzid) {
    CAL_VTIMEZONE* zone = calparser_lookupCalVTimeZone(tzid);
    return zone ? zone->pDbTimeZone : nullptr;
}

void* lookup_libnls_timezone(const char* tzid) {
    CALPARSER_TIMEZONE_LIST* registry = CALPARSER_TIMEZONE_LIST::Instance();
    return registry ? registry->lookup_libnls_timezone(tzid) : nullptr;
}

int calparser_isValidTimeZoneID(const char* tzid) {
    return calparser_lookupCalVTimeZone(tzid) ? 1 : 0;
}

int calparser_getAllTimeZones(array_t** ppList) {
    CALPARSER_TIMEZONE_LIST* registry = CALPARSER_TIMEZONE_LIST::Instance();
    if (!registry) {
        if (ppList) *ppList = nullptr;
        return 3;
    }
    return registry->getAllTimeZones(ppList);
}

int calparser_debugPrintAllTimeZones(PRFileDesc* fd) {
    CALPARSER_TIMEZONE_LIST* registry = CALPARSER_TIMEZONE_LIST::Instance();
    return registry ? registry->debugPrintAllTimeZones(fd) : 0;
}

}  // extern "C"
