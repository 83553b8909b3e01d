/* The time-zone registry: loading it from the time-zone file or a stream, its
 * sorted list, look-ups, listing, debug print and the conversions through it. */
#include "core/parser/cal_vtimezone_array.h"

#include <new>
#include <string.h>

#include <plstr.h>
#include <prprf.h>
#include <unicode/timezone.h>

#include "core/parser/calparser.h"
#include "core/parser/calparser_time.h"
#include "public/core_util/cal_time.h"
#include "public/core_util/calfile.h"
#include "public/core_util/timezone.h"
#include "public/util/kvallog.h"
#include "public/util/prot.h"


namespace {

/* Where the registry's file lies, relative to the data root, in the form the
 * server has always written it. */
const char* const kTimeZoneFile = "data\\timezones.ics";
/* The zone of date-times without one while the file is read. */
char kFileDefaultTzid[] = TIMEZONE_FALLBACK_TZID;

constexpr int kOpenReadOnly = 0;
constexpr int kOpenMode = 0666;
/* "YYYYMMDDTHHMMSSZ" without its NUL. */
constexpr size_t kUtcLength = 16;

bool is_utc_text(const char* text, size_t length) {
    return length >= kUtcLength && text[15] == 'Z';
}

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

int CALPARSER_TIMEZONE_LIST::init() {
    int rc = 0;
    /* The library's own file is found under the data root, whatever the
     * server's working directory; other paths are the caller's to place. */
    char* path = calfile_ResolveLocalPath(kTimeZoneFile);
    removeAllTimeZones();
    if (!path || !(m_pList = array_new())) {
        rc = 1;
    } else if (reloadListFromFile(path) != 0) {
        removeAllTimeZones();
        rc = 1;
    }
    PL_strfree(path);
    return rc;
}

int CALPARSER_TIMEZONE_LIST::reloadListFromFile(char* path) {
    calfile_ToLocalPath(path);
    int fd = jtessar_open(path, kOpenReadOnly, kOpenMode);
    if (fd < 0) return -1;
    int rc = 1;
    protstream* stream = prot_file(fd, 0);
    if (stream) {
        rc = reloadList(stream);
        prot_free(stream);
    }
    jtessar_close(fd);
    return rc;
}

int CALPARSER_TIMEZONE_LIST::reloadList(protstream* stream) {
    array_t* result = nullptr;
    unsigned methodState = 0;
    int rc = calparser_prot_to_dbstruct(stream, &result, CALPARSER_FORMAT_ICAL, 0, nullptr,
                                        kFileDefaultTzid, nullptr, &methodState, nullptr);
    array_t* zones =
        static_cast<array_t*>(array_elementat(result, CALPARSER_SLOT_TIMEZONES));
    if (rc != 0 || !zones) {
        calparser_FreeComponentArrayAndDestroy(&result);
        return 1;
    }
    removeAllTimeZones();
    m_pList = zones;
    calparser_FreeComponentArrayExceptTimeZones(result);
    array_delete(result);
    array_qsort(m_pList, calVTimeZone_compare);
    return 0;
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

const CAL_VTIMEZONE* CALPARSER_TIMEZONE_LIST::resolve_zone(const CALPARSER_ZONE_TRY* steps,
                                                          int count, bool needRuleZone,
                                                          CALPARSER_ZONE_CHOICE* pChoice) const {
    pChoice->owned = nullptr;
    for (int i = 0; i < count; i++) {
        const CALPARSER_ZONE_TRY& step = steps[i];
        const char* name = step.name;
        if (step.isDefault) {
            if (!pChoice->owned) pChoice->owned = timezone_getDefaultTZID();
            name = pChoice->owned;
        }
        const CAL_VTIMEZONE* zone = lookup(name);
        if (!zone && !step.isDefault && (zone = lookup_foreign_name(name)))
            name = zone->pDbTimeZone->pTzid;
        if (zone && (zone->pIcuZone || !needRuleZone)) {
            pChoice->name = name;
            pChoice->step = i;
            return zone;
        }
        if (step.missing)
            kvallog(0, step.level, step.missing, KVALLOG_CORE_SUBSYSTEM, name ? name : "(null)");
    }
    pChoice->name = TIMEZONE_FALLBACK_TZID;
    pChoice->step = count;
    return lookup(TIMEZONE_FALLBACK_TZID);
}

/* The zone a local text is read in: a UTC text needs none (the last resort);
 * no zone named, the default zone; a zone named but not registered is logged
 * and replaced by the default zone, itself logged when missing too. */
static const CAL_VTIMEZONE* find_zone_for_text(const CALPARSER_TIMEZONE_LIST* registry,
                                               const char* text, const char* tzid,
                                               CALPARSER_ZONE_CHOICE* pChoice) {
    const CALPARSER_ZONE_TRY named[] = {
        {tzid, false, KVALLOG_LEVEL_DROPPED, "%s: TimeZone \"%s\" not found\n."},
        {nullptr, true, KVALLOG_LEVEL_PARSE, "%s: Local TimeZone \"%s\" not found\n."}};
    const CALPARSER_ZONE_TRY unnamed[] = {{nullptr, true, 0, nullptr}};
    if (is_utc_text(text, strlen(text))) return registry->resolve_zone(nullptr, 0, false, pChoice);
    if (!tzid) return registry->resolve_zone(unnamed, 1, false, pChoice);
    return registry->resolve_zone(named, 2, false, pChoice);
}

int CALPARSER_TIMEZONE_LIST::applyTimeZoneToString(time_t* pTime, int* pAux, const char* text,
                                                   const char* tzid) const {
    if (!text || !pAux || !pTime) return 1;
    CALPARSER_ZONE_CHOICE choice;
    const CAL_VTIMEZONE* zone = find_zone_for_text(this, text, tzid, &choice);
    int result = 0;
    if (zone && zone->pIcuZone) {
        int isDate = 0;
        result = calparser_timecache_datez_to_timet(text, pTime, &isDate, tzid);
        if (result == 4) {
            *pTime = timezone_DateTimeApplyTimeZone(text, zone->pIcuZone);
            result = 0;
        }
    } else {
        int isDate = 0;
        cal_time_datez_to_timet_helper(text, pTime, &isDate, 1);
        result = 1;
    }
    PL_strfree(choice.owned);
    return result;
}

int CALPARSER_TIMEZONE_LIST::applyTimeZoneToTimeT(const char* tzid, time_t time,
                                                  char** ppBuffer, int size) const {
    if (!ppBuffer || !*ppBuffer || size < (int)kUtcLength) return 1;
    if (!tzid || !m_pList || m_pList->count == 0) return 1;
    const CAL_VTIMEZONE* zone = lookup(tzid);
    if (!zone) zone = lookup_foreign_name(tzid);
    if (!zone || !zone->pIcuZone) return 1;
    if (timezone_DateTimeApplyTimeZoneToString(time, zone->pIcuZone, ppBuffer, size) != 0)
        return 3;
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


int calparser_loadDefaultTimeZoneList(void) {
    CALPARSER_TIMEZONE_LIST::Instance();
    return 0;
}

int calparser_unloadTimeZoneList(void) {
    delete CALPARSER_TIMEZONE_LIST::m_Instance;
    CALPARSER_TIMEZONE_LIST::m_Instance = nullptr;
    return 0;
}

int calparser_loadTimeZoneListFromFile(char* path) {
    CALPARSER_TIMEZONE_LIST* registry = CALPARSER_TIMEZONE_LIST::Instance();
    return registry ? registry->reloadListFromFile(path) : 1;
}

int calparser_loadTimeZoneList(protstream* pStream) {
    CALPARSER_TIMEZONE_LIST* registry = CALPARSER_TIMEZONE_LIST::Instance();
    return registry && pStream ? registry->reloadList(pStream) : 1;
}

int calparser_applyTimeZoneToString(time_t* pTime, int* pAux, const char* text,
                                    const char* tzid) {
    CALPARSER_TIMEZONE_LIST* registry = CALPARSER_TIMEZONE_LIST::Instance();
    if (!registry) return 1;
    return registry->applyTimeZoneToString(pTime, pAux, text, tzid);
}

int calparser_applyTimeZoneToTimeT(const char* tzid, time_t time, char** ppBuffer, int size) {
    CALPARSER_TIMEZONE_LIST* registry = CALPARSER_TIMEZONE_LIST::Instance();
    if (!registry) return 1;
    return registry->applyTimeZoneToTimeT(tzid, time, ppBuffer, size);
}

}  // extern "C"
