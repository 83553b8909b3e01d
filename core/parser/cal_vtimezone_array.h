/* The time-zone registry: the process-wide, sorted set of named zones that every
 * date-time with a TZID is resolved against, and the plain functions that wrap it.
 *
 * The registry owns its list and every CAL_VTIMEZONE in it. The list is sorted by
 * the zones' pTzid, byte-wise with case distinguished, so look-ups are a bisection
 * search and "europe/paris" does not find "Europe/Paris". Aliases are kept with
 * each zone but never consulted by a look-up.
 *
 * Concurrency: the registry is created and loaded before the server's threads use
 * the library and is only read afterwards; look-ups, listings and conversions never
 * write it. Loading, reloading and destroying must not overlap any other use: they
 * free zones that readers may still hold. */
#ifndef CORE_PARSER_CAL_VTIMEZONE_ARRAY_H
#define CORE_PARSER_CAL_VTIMEZONE_ARRAY_H

#include "public/util/export.h"

#include <time.h>

#include <prio.h>

#include "public/db/caldb_timezone.h"
#include "public/util/array.h"

#ifdef __cplusplus

struct protstream;

/* One step of a zone fallback chain: the zone to try and the line logged when
 * it is not registered. */
struct CALPARSER_ZONE_TRY {
    const char* name;     /* the zone name; not read when isDefault */
    bool isDefault;       /* try the server's default zone (timezone_getDefaultTZID) */
    int level;            /* kvallog level of the line */
    const char* missing;  /* its format: "%s" the module tag, "%s" the name
                           * ("(null)" for none); NULL logs nothing */
};

/* Where a fallback chain ended. `name` is the name of the zone chosen, valid
 * while `owned` and the caller's names live; `owned` is the default zone's
 * name when the chain read it, a copy the caller frees with PL_strfree. */
struct CALPARSER_ZONE_CHOICE {
    const char* name;
    int step;    /* index of the step that found the zone; the step count for the last resort */
    char* owned;
};

/* Configuration key: 0 turns off reading zone names other programs write
 * (CALPARSER_TIMEZONE_LIST::lookup_foreign_name); the default is 1. */
#define CALPARSER_RESOLVE_FOREIGN_NAMES_KEY "calstore.timezone.resolve_foreign_names"

/* The members marked CALPARSER_API are the registry's exported interface; the
 * others are the library's own. */
class CALPARSER_TIMEZONE_LIST {
public:
    /* The one registry; NULL until the first Instance() call. */
    CALPARSER_API static CALPARSER_TIMEZONE_LIST* m_Instance;
    /* The registry. The first call creates it and loads the default time-zone
     * file (init); a file that is missing or does not parse leaves it without
     * a list. NULL only when memory runs out. The first call must happen
     * before threads use the library (parser_init makes it). */
    CALPARSER_API static CALPARSER_TIMEZONE_LIST* Instance();

    /* Frees every zone (removeAllTimeZones). */
    CALPARSER_API ~CALPARSER_TIMEZONE_LIST();

    /* Loading from the time-zone file or a stream; written with the library's
     * start-up. Each replaces the whole list on success and keeps it on failure.
     *   init:               0 loaded, 1 failed (the list is then none); reads
     *                       "data\timezones.ics" under the data root
     *                       (calfile_ResolveLocalPath)
     *   reloadListFromFile: 0 loaded, -1 the file does not open, 1 no stream or
     *                       the file did not parse; `path` is rewritten in place
     *                       and a relative one read from the working directory
     *   reloadList:         0 loaded, 1 the stream did not parse or gave nothing */
    CALPARSER_API int init();
    CALPARSER_API int reloadListFromFile(char* path);
    CALPARSER_API int reloadList(struct protstream* stream);

    /* Frees every zone and the list; the list becomes NULL. */
    CALPARSER_API void removeAllTimeZones();

    /* The zone named `tzid` exactly (case distinguished), or NULL when it is not
     * registered, `tzid` is NULL or no list is loaded. The zone stays the
     * registry's. */
    CALPARSER_API CAL_VTIMEZONE* lookup(const char* tzid) const;

    /* The registry zone a name written by another program stands for, tried
     * only when `name` itself is not registered: for a name beginning with "/"
     * the longest trailing run of whole "/"-separated segments (empty ones
     * skipped) that is a registry ID, else the zone ICU maps a Windows zone
     * name to ("W. Europe Standard Time": Europe/Berlin). Exact matches only.
     * Logs one level-6 line naming both names when found. NULL when nothing
     * matches, no list is loaded, or "calstore.timezone.resolve_foreign_names"
     * is 0, and when memory runs out. The zone stays the registry's. */
    const CAL_VTIMEZONE* lookup_foreign_name(const char* name) const;

    /* The fallback chain every conversion uses: the first of the `count` steps
     * whose zone is registered (with a rule-based zone too when
     * `needRuleZone`), a named step trying lookup_foreign_name after its exact
     * name, each step that misses logging its line; after the last
     * step "Africa/Casablanca" (TIMEZONE_FALLBACK_TZID), without a line.
     * Returns that zone, NULL when even the last resort is missing; fills
     * *pChoice (required), whose `owned` the caller frees. */
    const CAL_VTIMEZONE* resolve_zone(const CALPARSER_ZONE_TRY* steps, int count,
                                      bool needRuleZone, CALPARSER_ZONE_CHOICE* pChoice) const;

    /* The rule-based zone (pIcuZone) of the zone named `tzid`, as an untyped
     * handle owned by the registry; NULL when the zone is missing or has none
     * (a zone without a STANDARD part). */
    CALPARSER_API void* lookup_libnls_timezone(const char* tzid) const;

    /* Stores in *ppList a new array of every registered zone, in list order (an
     * empty array when no list is loaded). The caller deletes the array with
     * array_delete but never the zones. Returns 0, 1 for a NULL address, 3 when
     * memory runs out (*ppList is then NULL). */
    CALPARSER_API int getAllTimeZones(array_t** ppList) const;

    /* Prints every zone to `fd` (nothing without one). Returns 0. */
    CALPARSER_API int debugPrintAllTimeZones(PRFileDesc* fd) const;

    /* Local date-time text in the zone `tzid` to UTC seconds; see
     * calparser_applyTimeZoneToString. */
    CALPARSER_API int applyTimeZoneToString(time_t* pTime, int* pAux, const char* text,
                                            const char* tzid) const;
    /* UTC seconds to the local text of the zone `tzid`; see
     * calparser_applyTimeZoneToTimeT. */
    CALPARSER_API int applyTimeZoneToTimeT(const char* tzid, time_t time, char** ppBuffer,
                                           int size) const;

    /* array_qsort comparator over slots holding CAL_VTIMEZONE pointers: by
     * pTzid with PL_strcmp; a NULL zone, a zone without stored part and a
     * stored part without pTzid sort first, in that order, and two missing
     * items of the same kind compare equal. */
    static int calVTimeZone_compare(const void* pSlotA, const void* pSlotB);
    /* array_bsearch comparator: `pKey` points to a zone name (const char*),
     * `pSlot` to a slot holding a CAL_VTIMEZONE pointer; same order as above,
     * a NULL name sorting before every present one. */
    static int key_compare(const void* pKey, const void* pSlot);

    /* Zones sorted by calVTimeZone_compare, owned with their zones; NULL when
     * no list is loaded. Written only by the loading members. */
    array_t* m_pList;

    CALPARSER_TIMEZONE_LIST(const CALPARSER_TIMEZONE_LIST&) = delete;
    CALPARSER_TIMEZONE_LIST& operator=(const CALPARSER_TIMEZONE_LIST&) = delete;

private:
    CALPARSER_TIMEZONE_LIST() : m_pList(nullptr) {}
    /* The two forms of lookup_foreign_name, silent. */
    const CAL_VTIMEZONE* lookup_by_path(const char* name) const;
    const CAL_VTIMEZONE* lookup_by_windows_name(const char* name) const;
};

extern "C" {
#endif

/* Each of these obtains the registry through CALPARSER_TIMEZONE_LIST::Instance().
 * Zones and stored parts returned are the registry's: never free them. */

/* The zone named `tzid` (case distinguished), or NULL. */
CALPARSER_API
CAL_VTIMEZONE* calparser_lookupCalVTimeZone(const char* tzid);
/* The stored part of the zone named `tzid`, or NULL. */
CALPARSER_API
CALDB_VTIMEZONE* calparser_lookupTimeZone(const char* tzid);
/* The rule-based zone of the zone named `tzid` as an untyped handle, or NULL. */
CALPARSER_API
void* lookup_libnls_timezone(const char* tzid);
/* 1 when a zone named `tzid` is registered, else 0. */
CALPARSER_API
int calparser_isValidTimeZoneID(const char* tzid);
/* A new array of every registered zone, in name order; see getAllTimeZones. */
CALPARSER_API
int calparser_getAllTimeZones(array_t** ppList);
/* Prints every registered zone to `fd`. Returns 0. */
CALPARSER_API
int calparser_debugPrintAllTimeZones(PRFileDesc* fd);

#ifdef __cplusplus
}
#endif

#endif
