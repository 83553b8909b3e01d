/* Keeping recurring masters and their instances consistent. */
#include "core/parser/cal_recurring.h"

#include <stdio.h>
#include <stdlib.h>

#include <plstr.h>

#include "core/parser/cal_attendees.h"
#include "core/parser/cal_compare.h"
#include "core/parser/cal_copy.h"
#include "core/parser/calparserutil.h"
#include "core/parser/populate.h"
#include "public/core_util/cal_time.h"

namespace {

/* "YYYYMMDDTHHMMSSZ" and its NUL. */
constexpr size_t kUtcTextSize = 17;

/* A copy of `time` in UTC form, or NULL when memory runs out. */
char* utc_text(time_t time) {
    char buffer[kUtcTextSize] = {0};
    cal_time_timet_to_datez(time, buffer);
    return PL_strdup(buffer);
}

void destroy_text_list(array_t** ppList) {
    calparser_recurrence_FreeStringArrayAndDestroy(*ppList);
    *ppList = nullptr;
}

/* Replaces *ppList by a new list of the instances' RECURRENCE-IDs in UTC
 * form (none for a single instance). Returns 0, or 3 when the list cannot be
 * made; a text that cannot be made is skipped. */
int replace_rdates_by_instances(array_t** ppList, const array_t* instances) {
    destroy_text_list(ppList);
    *ppList = array_new();
    if (!*ppList) return 3;
    if (instances->count < 2) return 0;
    for (unsigned i = 0; i < instances->count; i++) {
        const CALDB_COMPONENT* instance = static_cast<const CALDB_COMPONENT*>(instances->data[i]);
        if (!instance) continue;
        char* text = utc_text(instance->tRecurrenceId);
        if (text && array_append(*ppList, text) != 0) PL_strfree(text);
    }
    return 0;
}

/* The organizer of a compressed master carries the sender given. */
void set_compressed_organizer(CALDB_COMPONENT* master, const char* sentBy) {
    if (master->pOrganizer) {
        if (sentBy) calparser_populateStringProperty(&master->pOrganizer->pSentBy, sentBy);
        return;
    }
    master->pOrganizer = static_cast<CALDB_ORGANIZER*>(calloc(1, sizeof(CALDB_ORGANIZER)));
    if (!master->pOrganizer || !master->pOrganizerEmail) return;
    master->pOrganizer->pAddr = PL_strdup(master->pOrganizerEmail);
    if (sentBy) master->pOrganizer->pSentBy = PL_strdup(sentBy);
}

/* Steps shared by both kinds once the master exists and holds the copy. */
int finish_compressed_master(CALDB_COMPONENT* master, const array_t* instances,
                             const char* sentBy, bool keepRules) {
    const CALDB_COMPONENT* first = static_cast<const CALDB_COMPONENT*>(instances->data[0]);
    master->tRecurrenceId = instances->count == 1 ? first->tRecurrenceId : 0;
    int rc = replace_rdates_by_instances(&master->aRDates, instances);
    if (!keepRules) {
        destroy_text_list(&master->aRRules);
        destroy_text_list(&master->aExRules);
        destroy_text_list(&master->aExDates);
    }
    set_compressed_organizer(master, sentBy);
    return rc;
}

/* Makes sure *ppList exists. */
bool ensure_list(array_t** ppList) {
    if (!*ppList) *ppList = array_new();
    return *ppList != nullptr;
}

bool list_holds(const array_t* list, const char* text) {
    for (unsigned i = 0; list && i < list->count; i++)
        if (list->data[i] && PL_strcmp(static_cast<const char*>(list->data[i]), text) == 0)
            return true;
    return false;
}

/* Removes and frees every entry of `list` equal to an entry of `removeDates`. */
void remove_listed_dates(array_t* list, const array_t* removeDates) {
    for (unsigned i = list->count; i-- > 0;) {
        const char* entry = static_cast<const char*>(list->data[i]);
        if (entry && list_holds(removeDates, entry))
            PL_strfree(static_cast<char*>(array_removeat(list, i)));
    }
}

/* Appends the instance's original start in UTC form unless it is listed. */
void add_original_start(array_t* list, const CALDB_COMPONENT* instance) {
    char* text = utc_text(getOriginalStartTimeXTokenVal(instance));
    if (!text) return;
    if (list_holds(list, text) || array_append(list, text) != 0) PL_strfree(text);
}

/* A change of the master applies to an instance that did not change the
 * property itself, or to any instance with force. */
bool applies_change(const CALDB_COMPONENT* instance, const CALDB_COMPONENT* master,
                    unsigned field, int force) {
    return force || (calparser_isModFieldSet(master->modFields, field) &&
                     !calparser_isModFieldSet(instance->modFields, field));
}

/* The steps after the end: RECURRENCE-ID and alarms. */
void apply_master_recurrence_id_and_alarms(CALDB_COMPONENT* instance,
                                           const CALDB_COMPONENT* master, time_t originalStart,
                                           int force) {
    if (master->tRecurrenceId > 0) instance->tRecurrenceId = static_cast<int32_t>(originalStart);
    if (applies_change(instance, master, CALPARSER_MOD_ALARMS, force))
        calparser_alarmCopyHelper(instance, master->aAlarms, master->tDtStart,
                                  instance->tDtStart);
}

}  // namespace

extern "C" {

int calparser_CreateCompressedRecurringEventFromList(CALDB_VEVENT** ppMaster, array_t* instances,
                                                     const char* sentBy) {
    if (!ppMaster || !instances || instances->count == 0 || !instances->data[0]) return 1;
    if (!*ppMaster && !(*ppMaster = caldb_NewEvent())) return 3;
    CALDB_VEVENT* master = *ppMaster;
    if (!ensure_list(&master->aRDates)) {
        caldb_FreeEvent(ppMaster);
        return 3;
    }
    const CALDB_VEVENT* first = static_cast<const CALDB_VEVENT*>(instances->data[0]);
    calparser_recurrence_copyEvent(master, first, first->tDtStart, 0, 0);
    return finish_compressed_master(reinterpret_cast<CALDB_COMPONENT*>(master), instances, sentBy,
                                    master->bExpandedMaster);
}

int calparser_CreateCompressedRecurringTodoFromList(CALDB_VTODO** ppMaster, array_t* instances,
                                                    const char* sentBy) {
    if (!ppMaster || !instances || instances->count == 0 || !instances->data[0]) return 1;
    if (!*ppMaster && !(*ppMaster = caldb_NewToDo())) return 3;
    CALDB_VTODO* master = *ppMaster;
    if (!ensure_list(&master->aRDates)) {
        caldb_FreeToDo(ppMaster);
        return 3;
    }
    const CALDB_VTODO* first = static_cast<const CALDB_VTODO*>(instances->data[0]);
    calparser_recurrence_copyTodo(master, first, first->tDtStart, 0, 0);
    return finish_compressed_master(reinterpret_cast<CALDB_COMPONENT*>(master), instances, sentBy,
                                    false);
}

int calparser_ModifyRecurringComponentExDateRDate(CALDB_COMPONENT** ppMaster,
                                                  const CALDB_COMPONENT* instance) {
    if (!ppMaster || !*ppMaster || !instance) return 1;
    calparser_append_arrays_unique(&(*ppMaster)->aRDates, instance->aRDates);
    return calparser_append_arrays_unique(&(*ppMaster)->aExDates, instance->aExDates);
}

int calparser_ModifyMasterEventExDateRDate(CALDB_COMPONENT** ppMaster,
                                           const CALDB_COMPONENT* instance, int ignored,
                                           const array_t* removeDates, int attendeeLists) {
    (void)ignored;
    if (!ppMaster || !*ppMaster) return 0;
    CALDB_COMPONENT* master = *ppMaster;
    array_t** ppRDates = attendeeLists ? &master->aAttendeeRDateList : &master->aRecurRDateList;
    array_t** ppExDates = attendeeLists ? &master->aAttendeeExDateList : &master->aRecurExDateList;
    if (!ensure_list(ppRDates) || !ensure_list(ppExDates)) {
        caldb_FreeComponent(reinterpret_cast<void**>(ppMaster));
        return 3;
    }
    if (!attendeeLists && removeDates) remove_listed_dates(*ppRDates, removeDates);
    if (instance) add_original_start(*ppRDates, instance);
    return 0;
}

namespace {

// Record times are 32-bit: differences are worked out in time_t, never
// overflowing an int.
int seconds_between(int32_t from, int32_t to) {
    return static_cast<int>(static_cast<time_t>(to) - from);
}

}  // namespace

int calparser_ModifyRecurringEvent(CALDB_VEVENT* instance, const CALDB_VEVENT* master, int shift,
                                   int length, int moveStart, int force) {
    if (!instance || !master) return 0;
    CALDB_COMPONENT* inst = reinterpret_cast<CALDB_COMPONENT*>(instance);
    const CALDB_COMPONENT* mast = reinterpret_cast<const CALDB_COMPONENT*>(master);
    time_t originalStart = getOriginalStartTimeXTokenVal(inst);
    calparser_recurrence_copyEventPropertiesExceptStartEndRecID(instance, master, 1, force);
    if (moveStart) instance->tDtStart = static_cast<int32_t>(originalStart + shift);
    if (applies_change(inst, mast, CALPARSER_MOD_DTEND_DUE, force))
        instance->tDtEnd = cal_time_add_seconds_held(instance->tDtStart, length);
    apply_master_recurrence_id_and_alarms(inst, mast, originalStart, force);
    return 0;
}

int calparser_ModifyRecurringTodo(CALDB_VTODO* instance, const CALDB_VTODO* master, int shift,
                                  int length, int moveStart, int force) {
    if (!instance || !master) return 0;
    CALDB_COMPONENT* inst = reinterpret_cast<CALDB_COMPONENT*>(instance);
    const CALDB_COMPONENT* mast = reinterpret_cast<const CALDB_COMPONENT*>(master);
    time_t originalStart = getOriginalStartTimeXTokenVal(inst);
    calparser_recurrence_copyTodoPropertiesExceptStartDueRecID(instance, master, 1, force);
    if (moveStart) instance->tDtStart = static_cast<int32_t>(originalStart + shift);
    if (master->tDue < 1)
        instance->tDue = 0;
    else if (applies_change(inst, mast, CALPARSER_MOD_DTEND_DUE, force))
        instance->tDue = cal_time_add_seconds_held(instance->tDtStart, length);
    apply_master_recurrence_id_and_alarms(inst, mast, originalStart, force);
    return 0;
}

int calparser_ModifyRecurringEventList(array_t* instances, const CALDB_VEVENT* master,
                                       int moveStart, int force) {
    if (!instances || !master) return 0;
    time_t originalStart =
        getOriginalStartTimeXTokenVal(reinterpret_cast<const CALDB_COMPONENT*>(master));
    int shift = master->tRecurrenceId > 0 ? static_cast<int>(master->tDtStart - originalStart) : 0;
    int length = seconds_between(master->tDtStart, master->tDtEnd);
    for (unsigned i = instances->count; i-- > 0;)
        calparser_ModifyRecurringEvent(static_cast<CALDB_VEVENT*>(instances->data[i]), master,
                                       shift, length, moveStart, force);
    return 0;
}

int calparser_ModifyRecurringTodoList(array_t* instances, const CALDB_VTODO* master,
                                      int moveStart, int force) {
    if (!instances || !master) return 0;
    time_t originalStart =
        getOriginalStartTimeXTokenVal(reinterpret_cast<const CALDB_COMPONENT*>(master));
    int length = master->tDue > 0 ? seconds_between(master->tDtStart, master->tDue) : 0;
    for (unsigned i = instances->count; i-- > 0;) {
        CALDB_VTODO* instance = static_cast<CALDB_VTODO*>(instances->data[i]);
        if (!instance) continue;
        // Without a RECURRENCE-ID the master's start is the new start of every instance.
        int shift = master->tRecurrenceId > 0
                        ? static_cast<int>(master->tDtStart - originalStart)
                        : seconds_between(instance->tDtStart, master->tDtStart);
        calparser_ModifyRecurringTodo(instance, master, shift, length, moveStart, force);
    }
    return 0;
}

int calparser_RecurringInstanceAlreadyInList(array_t* wrappers, const CALDB_COMPONENT* candidate) {
    if (!wrappers || !candidate) return 0;
    for (unsigned i = wrappers->count; i-- > 0;) {
        const CAL_VCOMPONENT* wrapper = static_cast<const CAL_VCOMPONENT*>(wrappers->data[i]);
        CALDB_COMPONENT* found =
            wrapper ? static_cast<CALDB_COMPONENT*>(wrapper->pComponent) : nullptr;
        if (!found || found == candidate || found->nType != candidate->nType ||
            found->tRecurrenceId != candidate->tRecurrenceId ||
            calparser_CompareStringProperty(found->pUid, candidate->pUid) != 0)
            continue;
        calparser_append_arrays_unique(&found->aRRules, candidate->aRRules);
        calparser_append_arrays_unique(&found->aExRules, candidate->aExRules);
        calparser_append_arrays_unique(&found->aRDates, candidate->aRDates);
        calparser_append_arrays_unique(&found->aExDates, candidate->aExDates);
        calparser_getComponentModFieldsHelper(candidate, found);
        return 1;
    }
    return 0;
}

int calparser_bump_sequence_number_on_complist(array_t* components) {
    int last = 0;
    for (unsigned i = 0; components && i < components->count; i++) {
        const CAL_VCOMPONENT* wrapper = static_cast<const CAL_VCOMPONENT*>(components->data[i]);
        CALDB_COMPONENT* component =
            wrapper ? static_cast<CALDB_COMPONENT*>(wrapper->pComponent) : nullptr;
        if (component) last = ++component->nSequence;
    }
    return last;
}

int getCompStateStringToICAL(int state, char** ppOut) {
    if (!ppOut) return 1;
    const char* method = caldb_GetCompStateMethodString(static_cast<uint32_t>(state));
    const char* stateText = caldb_GetCompStateStateString(static_cast<uint32_t>(state));
    /* Both texts are short constants; the copy is a PL_strdup text like
     * every other text the caller frees with PL_strfree. */
    char buffer[64];
    snprintf(buffer, sizeof buffer, "%s-%s", method, stateText);
    *ppOut = PL_strdup(buffer);
    return *ppOut ? 0 : 3;
}

}  // extern "C"
