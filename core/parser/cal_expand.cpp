/* Expanding recurring components into instances. */
#include "core/parser/cal_expand.h"

#include <stdlib.h>
#include <string.h>

#include <plstr.h>
#include <unicode/timezone.h>

#include "core/parser/cal_copy.h"
#include "core/parser/cal_recurring.h"
#include "core/parser/cal_vtimezone_array.h"
#include "core/parser/calparserutil.h"
#include "core/parser/ical_components.h"
#include "public/core_util/cal_time.h"
#include "public/core_util/guid.h"
#include "public/core_util/timezone.h"
#include "public/recurrence/recurrence.h"
#include "public/util/config.h"
#include "public/util/kvallog.h"

namespace {

constexpr const char* kBoundKey = "calstore.recurrence.bound";
constexpr int kDefaultBound = 60;


bool is_well_formed_vector(const array_t* info) {
    if (!info || info->count != CALPARSER_VECTOR_SIZE) return false;
    for (unsigned i = 0; i < CALPARSER_VECTOR_SIZE; i++)
        if (!info->data[i]) return false;
    return true;
}

array_t* vector_list(const array_t* info, unsigned which) {
    return static_cast<array_t*>(info->data[which]);
}

bool has_recurrence(const array_t* info) {
    return vector_list(info, CALPARSER_VECTOR_RRULES)->count ||
           vector_list(info, CALPARSER_VECTOR_RDATES)->count ||
           vector_list(info, CALPARSER_VECTOR_EXRULES)->count ||
           vector_list(info, CALPARSER_VECTOR_EXDATES)->count;
}

bool is_named(const char* name) { return name && *name; }

/* A component without UID gets a new one; a failed copy leaves it without.
 * An empty UID is a UID the input gave and stays. */
void give_uid_if_missing(CALDB_COMPONENT* component) {
    if (component->pUid) return;
    char buffer[CAL_GUID_BUFFER_SIZE] = {0};
    if (!cal_GetGuidString(buffer)) return;
    PL_strfree(component->pUid);
    component->pUid = PL_strdup(buffer);
}

/* A new instance of `master` at `start`, or NULL when memory runs out. */
CAL_VCOMPONENT* make_instance(const CALDB_COMPONENT* master, int kind, const array_t* periods,
                              time_t start) {
    CAL_VCOMPONENT* wrapper = CAL_VCOMPONENT_NEW(kind);
    if (!wrapper) return nullptr;
    CALDB_COMPONENT* instance = static_cast<CALDB_COMPONENT*>(wrapper->pComponent);
    calparser_recurrence_copyComponentPeriodExceptAlarms(instance, master, periods, start);
    /* Every instance has an alarm list of its own, empty when the master has
     * no alarms. */
    caldb_FreeList(&instance->aAlarms, CALDB_LIST_ALARMS);
    instance->aAlarms = array_new();
    if (instance->aAlarms && master->aAlarms)
        calparser_recurrence_copyAlarms(master->aAlarms, master->tDtStart, instance->tDtStart,
                                        instance->aAlarms);
    resetOriginalDtStartXTokenToNewTime(instance);
    return wrapper;
}

/* Marks a kept master as expanded, or takes it out of the list and frees it. */
void finish_master(CAL_VCOMPONENT* master, array_t* components, int index, int keepMaster) {
    CALDB_COMPONENT* record = static_cast<CALDB_COMPONENT*>(master->pComponent);
    if (keepMaster) {
        int expandedKind =
            master->nType == CALDB_KIND_EVENT ? CALDB_KIND_EXPANDED_EVENT : CALDB_KIND_EXPANDED_TODO;
        record->bExpandedMaster = 1;
        record->nType = expandedKind;
        master->nType = expandedKind;
        return;
    }
    array_removeat(components, static_cast<unsigned>(index));
    CAL_VCOMPONENT_FREE(&master);
}

/* Makes and places one instance per date. Returns 0, or 3 when an instance
 * cannot be made or inserted (the loop stops there). */
int add_instances(const CALDB_COMPONENT* master, int kind, const array_t* periods,
                  const array_t* dates, array_t* components, int index, int keepMaster) {
    for (unsigned i = 0; i < dates->count; i++) {
        time_t start = *static_cast<const time_t*>(dates->data[i]);
        CAL_VCOMPONENT* instance = make_instance(master, kind, periods, start);
        if (!instance) return 3;
        if (keepMaster && calparser_RecurringInstanceAlreadyInList(
                              components, static_cast<CALDB_COMPONENT*>(instance->pComponent))) {
            CAL_VCOMPONENT_FREE(&instance);
            continue;
        }
        if (array_insert(components, static_cast<unsigned>(index) + 1, instance) != 0) {
            CAL_VCOMPONENT_FREE(&instance);
            return 3;
        }
    }
    return 0;
}

/* The rule-based zone `tzid` names, as a DTSTART with that TZID is read:
 * the input's own zone first, then the registry (no fallback); the zone
 * stays its owner's. NULL when neither has one. */
const icu::TimeZone* find_series_zone(const char* tzid, array_t* inputZones) {
    const CAL_VTIMEZONE* input = array_findTimeZone(tzid, inputZones);
    if (input) return input->pIcuZone;
    const CALPARSER_TIMEZONE_LIST* registry = CALPARSER_TIMEZONE_LIST::Instance();
    if (!registry) return nullptr;
    const CALPARSER_ZONE_TRY step = {tzid, false, KVALLOG_LEVEL_TRACE, nullptr};
    CALPARSER_ZONE_CHOICE choice = {};
    const CAL_VTIMEZONE* found = registry->resolve_zone(&step, 1, true, &choice);
    PL_strfree(choice.owned);
    return found && choice.step == 0 ? found->pIcuZone : nullptr;
}

/* The dates of the series `record`, in its own kept zone when it has one
 * and no X-KVAL-DTSTART-TZID, else in the zone named as parser_GenerateDates
 * reads it. */
int generate_series_dates(const CALDB_COMPONENT* record, array_t* info, int bound,
                          array_t* dates, const char* defaultTzid, config_cache* config) {
    array_t* rrules = vector_list(info, CALPARSER_VECTOR_RRULES);
    array_t* rdates = vector_list(info, CALPARSER_VECTOR_RDATES);
    array_t* exrules = vector_list(info, CALPARSER_VECTOR_EXRULES);
    array_t* exdates = vector_list(info, CALPARSER_VECTOR_EXDATES);
    if (!record->pDtStartTzid && record->pSeriesZone)
        return recurrence_GenerateDates(record->tDtStart, rrules, rdates, exrules, exdates, bound,
                                        dates, record->pSeriesZone, 1);
    const char* fallbackTzid =
        config_get_string(config, TIMEZONE_DEFAULT_TZID_KEY, TIMEZONE_FALLBACK_TZID);
    const char* seriesTzid = record->pDtStartTzid ? record->pDtStartTzid : defaultTzid;
    return parser_GenerateDates(record->tDtStart, rrules, rdates, exrules, exdates, bound, dates,
                                seriesTzid, fallbackTzid, 1);
}

void free_dates(array_t* dates) {
    for (unsigned i = dates->count; i-- > 0;) free(dates->data[i]);
    array_delete(dates);
}

/* The expansion of a whole list without keepMaster, in linear time: placing
 * each series' instances after it in the list itself moved every later entry
 * once per series, quadratic in the number of series. Each series is
 * expanded by calparser_expand_component as before, in the same order, but in
 * a list of its own; the list is then laid out once from the groups. */
constexpr unsigned kKeptEntry = ~0u;   /* a group that is its list entry as it was */

struct Regroup {
    void** originals = nullptr;  /* the entries before expansion */
    unsigned* sizes = nullptr;   /* per entry: kKeptEntry, or its count of instances */
    array_t* made = nullptr;     /* every group's instances, the last entry's first */
    array_t* scratch = nullptr;  /* the one-entry list a series is expanded in */
    unsigned count = 0;          /* entries before expansion */
};

void release_regroup(Regroup* r) {
    free(r->originals);
    free(r->sizes);
    array_delete(r->made);
    array_delete(r->scratch);
}

bool start_regroup(Regroup* r, const array_t* components) {
    r->count = components->count;
    size_t n = r->count ? r->count : 1;
    r->originals = static_cast<void**>(malloc(n * sizeof(void*)));
    r->sizes = static_cast<unsigned*>(malloc(n * sizeof(unsigned)));
    r->made = array_new();
    r->scratch = array_new();
    if (!r->originals || !r->sizes || !r->made || !r->scratch) return false;
    memcpy(r->originals, components->data, r->count * sizeof(void*));
    return true;
}

/* Expands entry `i` in the scratch list and keeps what it became. Instances
 * that find no room are freed, as an insert that fails frees its instance. */
void expand_entry(Regroup* r, unsigned i, int kind, array_t* recurrenceInfos,
                  const char* defaultTzid) {
    CAL_VCOMPONENT* entry = static_cast<CAL_VCOMPONENT*>(r->originals[i]);
    array_clear(r->scratch);
    array_append(r->scratch, entry);   /* an array_new array holds one entry without growing */
    array_t* info = static_cast<array_t*>(array_elementat(recurrenceInfos, i));
    calparser_expand_component(entry, kind, info, r->scratch, 0, defaultTzid, 0);
    if (r->scratch->count == 1 && r->scratch->data[0] == entry) {
        r->sizes[i] = kKeptEntry;
        return;
    }
    r->sizes[i] = 0;
    for (unsigned j = 0; j < r->scratch->count; j++) {
        CAL_VCOMPONENT* instance = static_cast<CAL_VCOMPONENT*>(r->scratch->data[j]);
        if (array_append(r->made, instance) == 0) r->sizes[i]++;
        else CAL_VCOMPONENT_FREE(&instance);
    }
}

/* The number of entries the list will hold. */
unsigned regrouped_count(const Regroup* r) {
    unsigned total = 0;
    for (unsigned i = 0; i < r->count; i++) total += r->sizes[i] == kKeptEntry ? 1 : r->sizes[i];
    return total;
}

/* Gives `components` `total` slots; when memory runs out first, frees the
 * instances that find no room, the groups of the first entries last. Returns
 * the count the list holds then. */
unsigned make_room(array_t* components, unsigned total, Regroup* r) {
    while (components->count > total) array_removeat(components, components->count - 1);
    while (components->count < total && array_append(components, nullptr) == 0) {
    }
    unsigned excess = total - components->count;
    for (unsigned i = 0; i < r->count && excess > 0; i++) {
        while (r->sizes[i] != kKeptEntry && r->sizes[i] > 0 && excess > 0) {
            CAL_VCOMPONENT* dropped =
                static_cast<CAL_VCOMPONENT*>(array_removeat(r->made, r->made->count - 1));
            CAL_VCOMPONENT_FREE(&dropped);
            r->sizes[i]--;
            excess--;
        }
    }
    return components->count;
}

/* Lays the groups out in `components`, which has room for them, from the back. */
void lay_out(array_t* components, const Regroup* r) {
    unsigned at = components->count;
    unsigned next = 0;   /* the first instance of the next group in `made` */
    for (unsigned i = r->count; i-- > 0;) {
        if (r->sizes[i] == kKeptEntry) {
            components->data[--at] = r->originals[i];
            continue;
        }
        at -= r->sizes[i];
        memcpy(components->data + at, r->made->data + next, r->sizes[i] * sizeof(void*));
        next += r->sizes[i];
    }
}

}  // namespace

extern "C" {

int calparser_expand_components_list(array_t* components, int kind, array_t* recurrenceInfos,
                                     const char* defaultTzid, int keepMaster) {
    if (!components || !recurrenceInfos) return 1;
    Regroup regroup;
    if (!keepMaster && start_regroup(&regroup, components)) {
        for (unsigned i = regroup.count; i-- > 0;)
            expand_entry(&regroup, i, kind, recurrenceInfos, defaultTzid);
        make_room(components, regrouped_count(&regroup), &regroup);
        lay_out(components, &regroup);
        release_regroup(&regroup);
        return 0;
    }
    release_regroup(&regroup);
    /* Kept masters look for their instances in the whole list: each series
     * is expanded in place. */
    for (unsigned i = components->count; i-- > 0;) {
        CAL_VCOMPONENT* master = static_cast<CAL_VCOMPONENT*>(components->data[i]);
        array_t* info = static_cast<array_t*>(array_elementat(recurrenceInfos, i));
        calparser_expand_component(master, kind, info, components, static_cast<int>(i),
                                   defaultTzid, keepMaster);
    }
    return 0;
}

int calparser_expand_component(CAL_VCOMPONENT* master, int kind, array_t* recurrenceInfo,
                               array_t* components, int index, const char* defaultTzid,
                               int keepMaster) {
    if (!master || !master->pComponent || !components || !is_well_formed_vector(recurrenceInfo))
        return 1;
    if (index < 0 || array_elementat(components, static_cast<unsigned>(index)) != master) return 1;
    array_t* periods = vector_list(recurrenceInfo, CALPARSER_VECTOR_RDATE_PERIODS);
    array_qsort(periods, cal_time_period_compare);
    CALDB_COMPONENT* record = static_cast<CALDB_COMPONENT*>(master->pComponent);
    if (kind != CALDB_KIND_EVENT && kind != CALDB_KIND_TODO) return 0;
    if (!has_recurrence(recurrenceInfo)) return 0;
    if (record->tRecurrenceId > 0) return 0;  // an instance, never a series

    array_t* dates = array_new();
    if (!dates) return 3;
    int rc = 0;
    config_cache* config = config_getdefaultcache();
    int bound = config_get_int(config, kBoundKey, kDefaultBound);
    give_uid_if_missing(record);
    // Unreadable rules still give the other dates; only a lack of memory
    // gives none, and then the master stays as it was rather than vanish.
    if (generate_series_dates(record, recurrenceInfo, bound, dates, defaultTzid, config) == 3) {
        rc = 3;
        goto done;
    }
    rc = add_instances(record, kind, periods, dates, components, index, keepMaster);
    finish_master(master, components, index, keepMaster);

done:
    free_dates(dates);
    return rc;
}

void calparser_keepSeriesZone(CALDB_COMPONENT* pComponent, const char* tzid,
                              array_t* pTimeZones) {
    if (!pComponent || !is_named(tzid)) return;
    if (config_get_int(config_getdefaultcache(), CALPARSER_SERIES_ZONE_KEY, 0) != 1) return;
    const icu::TimeZone* zone = find_series_zone(tzid, pTimeZones);
    if (!zone) return;
    icu::TimeZone* copy = zone->clone();
    if (!copy) return;
    delete static_cast<icu::TimeZone*>(pComponent->pSeriesZone);
    pComponent->pSeriesZone = copy;
}

int parser_GenerateDates(time_t dtstart, array_t* rrules, array_t* rdates, array_t* exrules,
                         array_t* exdates, int bound, array_t* dates, const char* tzid,
                         const char* fallbackTzid, int flag) {
    // A step whose name is empty is tried silently.
    const CALPARSER_ZONE_TRY steps[] = {
        {tzid, false, KVALLOG_LEVEL_PARSE,
         is_named(tzid) ? "%s: TimeZone \"%s\" not found\n." : nullptr},
        {fallbackTzid, false, KVALLOG_LEVEL_DEFAULTED,
         is_named(fallbackTzid) ? "%s: Fallback TimeZone \"%s\" not found\n." : nullptr}};
    const CALPARSER_TIMEZONE_LIST* registry = CALPARSER_TIMEZONE_LIST::Instance();
    CALPARSER_ZONE_CHOICE choice = {};
    const CAL_VTIMEZONE* found = registry ? registry->resolve_zone(steps, 2, true, &choice) : nullptr;
    void* zone = found ? static_cast<void*>(found->pIcuZone) : nullptr;
    return recurrence_GenerateDates(dtstart, rrules, rdates, exrules, exdates, bound, dates, zone,
                                    flag);
}

int calparser_free_contents_vRecurrenceInfo(array_t* info) {
    if (!info) return 0;
    const unsigned periods = CALPARSER_VECTOR_RDATE_PERIODS;
    if (info->count > periods) {
        calparser_recurrence_FreePeriodArrayAndDestroy(vector_list(info, periods));
        info->data[periods] = nullptr;
    }
    for (unsigned i = info->count < periods ? info->count : periods; i-- > 0;) {
        calparser_recurrence_FreeStringArrayAndDestroy(vector_list(info, i));
        info->data[i] = nullptr;
    }
    return 0;
}

int calparser_free_contents_vvRecurrenceInfoList(array_t* infos) {
    if (!infos) return 0;
    for (unsigned i = infos->count; i-- > 0;) {
        array_t* info = static_cast<array_t*>(array_removeat(infos, i));
        calparser_free_contents_vRecurrenceInfo(info);
        if (info) {
            array_clear(info);
            array_delete(info);
        }
    }
    return 0;
}

}  // extern "C"
