/* Expanding recurring events and to-dos into one record per occurrence.
 *
 * A parsed recurring component is one master with RRULE, RDATE, EXRULE and
 * EXDATE lists. Expansion asks the recurrence engine for its dates and
 * inserts one instance per date directly after the master (so the instances
 * of one master stand latest first), then either keeps the master, marked as
 * expanded (nType 10 or 11, bExpandedMaster set), or removes and frees it.
 *
 * A recurrence vector (vRecurrenceInfo) is an array_t of exactly five arrays:
 * 0 RRULE texts, 1 RDATE texts, 2 EXRULE texts, 3 EXDATE texts, 4 RDATE
 * periods (CAL_TIME_PERIOD records). A vector list (vvRecurrenceInfoList) is
 * an array_t of vectors parallel to a component list.
 *
 * Configuration: "calstore.recurrence.bound" (default 60) bounds the engine;
 * "calstore.default.timezoneID" (default "Africa/Casablanca") names the zone
 * used when the series zone is not registered;
 * "calstore.recurrence.series_zone_from_dtstart" (default 0), when 1, makes
 * the builders keep the zone of a DTSTART's TZID so that its series keeps
 * DTSTART's wall-clock time (calparser_keepSeriesZone). */
#ifndef CORE_PARSER_CAL_EXPAND_H
#define CORE_PARSER_CAL_EXPAND_H

#include "public/util/export.h"

#include <time.h>

#include "public/db/caldb.h"
#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Expands every component of `components` (CAL_VCOMPONENT wrappers) with the
 * vector of the same index in `recurrenceInfos`, from the last index to the
 * first, so that entries inserted or removed after an index never disturb
 * the ones still to do. Components that are not recurring, are instances
 * (RECURRENCE-ID set) or lack a well-formed vector stay as they are.
 * Returns 0; 1 when either list is NULL. */
CALPARSER_API
int calparser_expand_components_list(array_t* components, int kind, array_t* recurrenceInfos,
                                     const char* defaultTzid, int keepMaster);

/* Configuration key: 1 keeps the zone of DTSTART's TZID for expansion. */
#define CALPARSER_SERIES_ZONE_KEY "calstore.recurrence.series_zone_from_dtstart"

/* When CALPARSER_SERIES_ZONE_KEY is 1, replaces the series zone the record
 * keeps (pSeriesZone, owned by the record) with a copy of the zone `tzid`
 * names, found as a DTSTART with that TZID is read: the input's own zone of
 * `pTimeZones` (CAL_VTIMEZONE records, may be NULL) first, then the registry.
 * An unknown name, a NULL record or name, or the key at 0 leaves the record
 * as it is. Nothing is logged. */
void calparser_keepSeriesZone(CALDB_COMPONENT* pComponent, const char* tzid,
                              array_t* pTimeZones);

/* Expands `master`, which stands at `index` of `components`; `kind` is 0
 * (events) or 1 (to-dos), any other kind leaves it alone. The series zone is
 * the master's X-KVAL-DTSTART-TZID, else the zone kept by
 * calparser_keepSeriesZone, else defaultTzid (may be NULL). A master
 * without UID first gets a new one, shared by every instance. Each instance
 * is a copy of the master at its date (DTSTART and RECURRENCE-ID; the end
 * from the RDATE period starting then, else the master's length), with the
 * master's alarms moved along and its X-KVAL-ORIGINAL-DTSTART line set to
 * its RECURRENCE-ID. With
 * keepMaster an instance already in the list is not added again; its date
 * lists take the master's and its differences are marked. The period array
 * of `recurrenceInfo` is sorted in place.
 * Returns 0; 1 for a NULL argument, a vector that is not five arrays, or a
 * master that is not at `index` (the list is then untouched); 3 when the
 * dates cannot be generated for lack of memory (the master stays as it was,
 * unexpanded), or when an instance cannot be created or inserted: the
 * instances made so far stay and the master is still marked or removed. */
CALPARSER_API
int calparser_expand_component(CAL_VCOMPONENT* master, int kind, array_t* recurrenceInfo,
                               array_t* components, int index, const char* defaultTzid,
                               int keepMaster);

/* Appends to `dates` the occurrence times (malloc'd time_t values, the
 * caller's) of the series starting at dtstart, in the zone `tzid`. A zone
 * that is not registered is logged at level 6 (when a name was given) and
 * `fallbackTzid` is used; when that is missing too it is logged at level 5
 * (when a name was given) and "Africa/Casablanca" is used. Returns the
 * recurrence engine's result (see recurrence_GenerateDates). */
CALPARSER_API
int parser_GenerateDates(time_t dtstart, array_t* rrules, array_t* rdates, array_t* exrules,
                         array_t* exdates, int bound, array_t* dates, const char* tzid,
                         const char* fallbackTzid, int flag);

/* Positions of the lists in a recurrence vector, and their number. */
enum {
    CALPARSER_VECTOR_RRULES,
    CALPARSER_VECTOR_RDATES,
    CALPARSER_VECTOR_EXRULES,
    CALPARSER_VECTOR_EXDATES,
    CALPARSER_VECTOR_RDATE_PERIODS,
    CALPARSER_VECTOR_SIZE
};

/* Frees the five lists of a vector (periods first, then EXDATE, EXRULE,
 * RDATE, RRULE) and empties it; the vector array itself stays the caller's.
 * NULL is a no-op. Returns 0. */
CALPARSER_API
int calparser_free_contents_vRecurrenceInfo(array_t* info);
/* Frees every vector of `infos`, last first, and removes it; the outer array
 * stays the caller's (array_delete). NULL is a no-op. Returns 0. */
CALPARSER_API
int calparser_free_contents_vvRecurrenceInfoList(array_t* infos);

#ifdef __cplusplus
}
#endif

#endif
