/* Copying events, to-dos, alarms and calendar-property records. */
#include "core/parser/cal_copy.h"

#include <stdlib.h>

#include <plstr.h>

#include "core/parser/cal_attendees.h"
#include "core/parser/cal_compare.h"
#include "core/parser/cal_fields.h"
#include "core/parser/populate.h"
#include "public/ac/acl.h"
#include "public/core_util/cal_time.h"
#include "public/util/strarray.h"

namespace {

constexpr unsigned char kAceDenyBit = 0x80;
constexpr unsigned char kAceAllUsersBit = 0x40;
constexpr unsigned char kAceCalPropsBit = 0x20;

CALDB_COMPONENT* head(CALDB_VEVENT* ev) {
    return reinterpret_cast<CALDB_COMPONENT*>(ev);
}
const CALDB_COMPONENT* head(const CALDB_VEVENT* ev) {
    return reinterpret_cast<const CALDB_COMPONENT*>(ev);
}
CALDB_COMPONENT* head(CALDB_VTODO* todo) {
    return reinterpret_cast<CALDB_COMPONENT*>(todo);
}
const CALDB_COMPONENT* head(const CALDB_VTODO* todo) {
    return reinterpret_cast<const CALDB_COMPONENT*>(todo);
}

/* Which fields a head copy takes (see CALPARSER_FIELD_COPY). */
class CopyFilter {
public:
    CopyFilter(const CALDB_COMPONENT* src, const CALDB_COMPONENT* dest, int modifiedOnly, int force)
        : src_(src), dest_(dest), modifiedOnly_(modifiedOnly != 0), force_(force != 0) {}

    bool full() const { return !modifiedOnly_; }
    bool take(const CALPARSER_FIELD& field) const {
        switch (field.nCopy) {
        case CALPARSER_COPY_ALWAYS: return true;
        case CALPARSER_COPY_FULL: return full();
        case CALPARSER_COPY_PLAIN: return changed(field);
        case CALPARSER_COPY_GUARDED:
            return changed(field) &&
                   (full() || force_ || !calparser_isModFieldSet(dest_->modFields, field.nModBit));
        default: return false;
        }
    }

private:
    bool changed(const CALPARSER_FIELD& field) const {
        return full() || calparser_isModFieldSet(src_->modFields, field.nModBit);
    }

    const CALDB_COMPONENT* src_;
    const CALDB_COMPONENT* dest_;
    bool modifiedOnly_;
    bool force_;
};

/* A text field: a missing source text leaves the destination's, unless the
 * field follows the source outright. */
void copy_text(const CALPARSER_FIELD& field, char** ppDest, const char* src) {
    if (src || !field.bReplace) {
        calparser_recurrence_populateProperties(ppDest, src);
    } else {
        PL_strfree(*ppDest);
        *ppDest = nullptr;
    }
}

/* A text list merges into the destination's, which a modified-only copy of
 * a replacing field drops first. */
void copy_list(const CALPARSER_FIELD& field, array_t** ppDest, const array_t* src, bool full) {
    if (field.bReplace && !full) strarray_free_and_destroy(ppDest);
    calparser_append_arrays_unique(ppDest, src);
}

/* Copies one field of s into d by its kind. */
void copy_field(const CALPARSER_FIELD& field, CALDB_COMPONENT* d, const CALDB_COMPONENT* s,
                bool full) {
    switch (field.nKind) {
    case CALPARSER_FIELD_TIME:
        calparser_field<int32_t>(d, field) = calparser_field<int32_t>(s, field);
        break;
    case CALPARSER_FIELD_INT:
        calparser_field<int>(d, field) = calparser_field<int>(s, field);
        break;
    case CALPARSER_FIELD_STATE:
        calparser_field<uint32_t>(d, field) = calparser_field<uint32_t>(s, field);
        break;
    case CALPARSER_FIELD_TEXT:
        copy_text(field, &calparser_field<char*>(d, field), calparser_field<char*>(s, field));
        break;
    case CALPARSER_FIELD_TEXT_LIST:
        copy_list(field, &calparser_field<array_t*>(d, field), calparser_field<array_t*>(s, field),
                  full);
        break;
    case CALPARSER_FIELD_ORGANIZER:
        calparser_recurrence_populateOrganizer(&calparser_field<CALDB_ORGANIZER*>(d, field),
                                               calparser_field<CALDB_ORGANIZER*>(s, field));
        break;
    case CALPARSER_FIELD_ATTENDEES:
        calparser_copy_attendee_arrays(&calparser_field<array_t*>(d, field),
                                       calparser_field<array_t*>(s, field));
        break;
    case CALPARSER_FIELD_ALARMS: break; /* the copies at a new start make the alarms */
    case CALPARSER_FIELD_ZONE: break;   /* never copied */
    }
}

/* The length of the period of `periods` that starts at `start`, or the
 * fallback when there is none. */
time_t period_length_at(const array_t* periods, time_t start, time_t fallback) {
    if (!periods) return fallback;
    void** slot = array_bsearch(periods, &start, cal_time_timet_period_compare);
    if (!slot) return fallback;
    return cal_time_getOffset(static_cast<const CAL_TIME_PERIOD*>(*slot));
}

/* start + length, or start for a length below 1 second. */
int32_t end_after(time_t start, time_t length) {
    const int32_t from = static_cast<int32_t>(start);
    return length >= 1 ? cal_time_add_seconds_held(from, length) : from;
}

/* Frees every element with free(), the last first, and empties the list. */
void free_elements(array_t* list) {
    for (unsigned i = list->count; i > 0; i--) free(array_removeat(list, i - 1));
    array_clear(list);
}

}  // namespace

/* ---- Texts and lists ------------------------------------------------------ */

int calparser_populateStringProperty(char** ppDest, const char* pSrc) {
    if (!ppDest || !pSrc) return 1;
    if (*ppDest == pSrc) return 0; /* copying a record onto itself */
    PL_strfree(*ppDest);
    *ppDest = PL_strdup(pSrc);
    return 0;
}

void calparser_recurrence_FreeTimeTPtrArrayAndClear(array_t* list) {
    if (list) free_elements(list);
}

void calparser_recurrence_FreeStringArrayAndClear(array_t* list) {
    if (list) free_elements(list);
}

void calparser_recurrence_FreeTimeTPtrArrayAndDestroy(array_t* list) {
    if (!list) return;
    free_elements(list);
    array_delete(list);
}

void calparser_recurrence_FreeStringArrayAndDestroy(array_t* list) {
    if (!list) return;
    free_elements(list);
    array_delete(list);
}

void calparser_recurrence_FreePeriodArrayAndDestroy(array_t* list) {
    if (!list) return;
    for (unsigned i = list->count; i > 0; i--) {
        CAL_TIME_PERIOD* period = static_cast<CAL_TIME_PERIOD*>(array_removeat(list, i - 1));
        cal_time_DestroyPeriod(&period);
    }
    array_clear(list);
    array_delete(list);
}

/* ---- Properties without the dates ---------------------------------------- */

int calparser_recurrence_copyComponentPropertiesExceptDates(CALDB_COMPONENT* pDest,
                                                            const CALDB_COMPONENT* pSrc,
                                                            int modifiedOnly, int force) {
    if (!pDest || !pSrc) return 1;
    if (pDest == pSrc) return 0;
    CopyFilter filter(pSrc, pDest, modifiedOnly, force);
    for (unsigned i = 0; i < calparser_componentFieldCount; i++) {
        const CALPARSER_FIELD& field = calparser_componentFields[i];
        if (filter.take(field)) copy_field(field, pDest, pSrc, filter.full());
    }
    return 0;
}

int calparser_recurrence_copyEventPropertiesExceptStartEndRecID(CALDB_VEVENT* pDest,
                                                                const CALDB_VEVENT* pSrc,
                                                                int modifiedOnly, int force) {
    if (!pDest || !pSrc) return 1;
    CALDB_COMPONENT* d = head(pDest);
    const CALDB_COMPONENT* s = head(pSrc);
    calparser_recurrence_copyComponentPropertiesExceptDates(d, s, modifiedOnly, force);

    unsigned ownTransparent = d->bTransparent;
    d->nFlags = s->nFlags;
    if (modifiedOnly) {
        bool takeTransp = calparser_isModFieldSet(s->modFields, CALPARSER_MOD_TRANSP) &&
                          (force || !calparser_isModFieldSet(d->modFields, CALPARSER_MOD_TRANSP));
        if (!takeTransp) d->bTransparent = ownTransparent;
    }
    if (!modifiedOnly || calparser_isModFieldSet(s->modFields, CALPARSER_MOD_EVENT_AUX))
        calparser_recurrence_populateProperties(&pDest->pEventAux, pSrc->pEventAux);
    return 0;
}

int calparser_recurrence_copyTodoPropertiesExceptStartDueRecID(CALDB_VTODO* pDest,
                                                               const CALDB_VTODO* pSrc,
                                                               int modifiedOnly, int force) {
    if (!pDest || !pSrc) return 1;
    calparser_recurrence_copyComponentPropertiesExceptDates(head(pDest), head(pSrc), modifiedOnly,
                                                            force);
    pDest->tCompleted = pSrc->tCompleted;
    head(pDest)->nFlags = head(pSrc)->nFlags;
    pDest->nPercentComplete = pSrc->nPercentComplete;
    calparser_recurrence_populateProperties(&pDest->pDueTzid, pSrc->pDueTzid);
    return 0;
}

/* ---- Copies at a new start ------------------------------------------------ */

int calparser_recurrence_copyEvent(CALDB_VEVENT* pDest, const CALDB_VEVENT* pSrc, time_t start,
                                   int modifiedOnly, int force) {
    if (!pDest || !pSrc) return 1;
    /* Read the source's dates first: it may be the destination itself. */
    time_t srcStart = head(pSrc)->tDtStart;
    time_t length = static_cast<time_t>(pSrc->tDtEnd) - srcStart;
    calparser_recurrence_copyEventPropertiesExceptStartEndRecID(pDest, pSrc, modifiedOnly, force);
    pDest->tDtEnd = end_after(start, length);
    head(pDest)->tDtStart = static_cast<int32_t>(start);
    head(pDest)->tRecurrenceId = static_cast<int32_t>(start);
    calparser_alarmCopyHelper(head(pDest), head(pSrc)->aAlarms, srcStart, start);
    return 0;
}

int calparser_recurrence_copyTodo(CALDB_VTODO* pDest, const CALDB_VTODO* pSrc, time_t start,
                                  int modifiedOnly, int force) {
    if (!pDest || !pSrc) return 1;
    time_t srcStart = head(pSrc)->tDtStart;
    bool hasDue = pSrc->tDue > 0;
    time_t length = static_cast<time_t>(pSrc->tDue) - srcStart;
    calparser_recurrence_copyTodoPropertiesExceptStartDueRecID(pDest, pSrc, modifiedOnly, force);
    pDest->tDue = hasDue ? end_after(start, length) : 0;
    head(pDest)->tDtStart = static_cast<int32_t>(start);
    head(pDest)->tRecurrenceId = static_cast<int32_t>(start);
    calparser_alarmCopyHelper(head(pDest), head(pSrc)->aAlarms, srcStart, start);
    return 0;
}

int calparser_recurrence_copyEventPeriod(CALDB_VEVENT* pDest, const CALDB_VEVENT* pSrc,
                                         const array_t* periods, time_t start, int withAlarms) {
    if (!pDest || !pSrc) return 1;
    time_t srcStart = head(pSrc)->tDtStart;
    time_t length = period_length_at(periods, start, static_cast<time_t>(pSrc->tDtEnd) - srcStart);
    calparser_recurrence_copyEventPropertiesExceptStartEndRecID(pDest, pSrc, 0, 0);
    pDest->tDtEnd = end_after(start, length);
    head(pDest)->tDtStart = static_cast<int32_t>(start);
    head(pDest)->tRecurrenceId = static_cast<int32_t>(start);
    if (withAlarms) calparser_alarmCopyHelper(head(pDest), head(pSrc)->aAlarms, srcStart, start);
    return 0;
}

int calparser_recurrence_copyTodoPeriod(CALDB_VTODO* pDest, const CALDB_VTODO* pSrc,
                                        const array_t* periods, time_t start, int withAlarms) {
    if (!pDest || !pSrc) return 1;
    time_t srcStart = head(pSrc)->tDtStart;
    time_t length = period_length_at(periods, start, static_cast<time_t>(pSrc->tDue) - srcStart);
    calparser_recurrence_copyTodoPropertiesExceptStartDueRecID(pDest, pSrc, 0, 0);
    pDest->tDue = end_after(start, length);
    head(pDest)->tDtStart = static_cast<int32_t>(start);
    head(pDest)->tRecurrenceId = static_cast<int32_t>(start);
    if (withAlarms) calparser_alarmCopyHelper(head(pDest), head(pSrc)->aAlarms, srcStart, start);
    return 0;
}

int calparser_recurrence_copyComponentPeriodExceptAlarms(CALDB_COMPONENT* pDest,
                                                         const CALDB_COMPONENT* pSrc,
                                                         const array_t* periods, time_t start) {
    if (!pDest || !pSrc || pDest->nType != pSrc->nType) return 1;
    if (caldb_IsEventKind(pSrc->nType))
        return calparser_recurrence_copyEventPeriod(reinterpret_cast<CALDB_VEVENT*>(pDest),
                                                    reinterpret_cast<const CALDB_VEVENT*>(pSrc),
                                                    periods, start, 0);
    return calparser_recurrence_copyTodoPeriod(reinterpret_cast<CALDB_VTODO*>(pDest),
                                               reinterpret_cast<const CALDB_VTODO*>(pSrc), periods,
                                               start, 0);
}

/* ---- Copy constructors ---------------------------------------------------- */

int calparser_copyConstructorEvent(const CALDB_VEVENT* pSrc, CALDB_VEVENT** ppDest) {
    if (!pSrc || !ppDest) return 1;
    *ppDest = caldb_NewEvent();
    if (!*ppDest) return 0;
    calparser_recurrence_copyEvent(*ppDest, pSrc, head(pSrc)->tDtStart, 0, 0);
    head(*ppDest)->tRecurrenceId = head(pSrc)->tRecurrenceId;
    return 0;
}

int calparser_copyConstructorTodo(const CALDB_VTODO* pSrc, CALDB_VTODO** ppDest) {
    if (!pSrc || !ppDest) return 1;
    *ppDest = caldb_NewToDo();
    if (!*ppDest) return 0;
    calparser_recurrence_copyTodo(*ppDest, pSrc, head(pSrc)->tDtStart, 0, 0);
    head(*ppDest)->tRecurrenceId = head(pSrc)->tRecurrenceId;
    return 0;
}

int calparser_copyConstructorComponent(const CALDB_COMPONENT* pSrc, CALDB_COMPONENT** ppDest) {
    if (!pSrc || !ppDest) return 1;
    if (caldb_IsEventKind(pSrc->nType)) {
        CALDB_VEVENT* copy = nullptr;
        int rc = calparser_copyConstructorEvent(reinterpret_cast<const CALDB_VEVENT*>(pSrc), &copy);
        *ppDest = reinterpret_cast<CALDB_COMPONENT*>(copy);
        return rc;
    }
    CALDB_VTODO* copy = nullptr;
    int rc = calparser_copyConstructorTodo(reinterpret_cast<const CALDB_VTODO*>(pSrc), &copy);
    *ppDest = reinterpret_cast<CALDB_COMPONENT*>(copy);
    return rc;
}

/* ---- Alarms ---------------------------------------------------------------- */

int calparser_alarmCopyHelper(CALDB_COMPONENT* pDest, const array_t* srcAlarms, time_t srcStart,
                              time_t destStart) {
    if (!pDest) return 1;
    /* The copies are made before the old list goes: the source alarms may be
     * the destination's own. */
    array_t* copies = array_new();
    if (copies) calparser_recurrence_copyAlarms(srcAlarms, srcStart, destStart, copies);
    caldb_FreeList(&pDest->aAlarms, CALDB_LIST_ALARMS);
    pDest->aAlarms = copies;
    return 0;
}

int calparser_recurrence_copyAlarms(const array_t* src, time_t srcStart, time_t destStart,
                                    array_t* dest) {
    if (!src) return 1;
    if (!dest) return 3;
    for (unsigned i = 0; i < src->count; i++) {
        const CALDB_VALARM* alarm = static_cast<const CALDB_VALARM*>(src->data[i]);
        if (!alarm) continue;
        CALDB_VALARM* copy = caldb_NewAlarm();
        if (!copy) return 3;
        calparser_copyAlarm(copy, alarm);
        copy->tTrigger = static_cast<int32_t>(destStart + (alarm->tTrigger - srcStart));
        if (array_append(dest, copy) != 0) {
            caldb_FreeAlarm(&copy);
            return 3;
        }
    }
    return 0;
}

int calparser_copyAlarm(CALDB_VALARM* pDest, const CALDB_VALARM* pSrc) {
    if (!pDest || !pSrc) return 1;
    if (pDest == pSrc) return 0;
    pDest->tTrigger = pSrc->tTrigger;
    pDest->nDuration = pSrc->nDuration;
    pDest->nAction = pSrc->nAction;
    pDest->nRepeat = pSrc->nRepeat;
    calparser_recurrence_populateProperties(&pDest->pAuxText, pSrc->pAuxText);
    calparser_recurrence_populateProperties(&pDest->pSummary, pSrc->pSummary);
    calparser_recurrence_populateProperties(&pDest->pDescription, pSrc->pDescription);
    calparser_append_arrays_unique(&pDest->aAttendees, pSrc->aAttendees);
    calparser_append_arrays_unique(&pDest->aAuxTexts, pSrc->aAuxTexts);
    calparser_append_arrays_unique(&pDest->aXProps, pSrc->aXProps);
    pDest->nAuxTail = pSrc->nAuxTail;
    return 0;
}

/* ---- Calendar properties ---------------------------------------------------- */

int calparser_copyCalProps(CALDB_CALPROPS* pDest, const CALDB_CALPROPS* pSrc) {
    if (!pDest || !pSrc) return 1;
    if (pDest == pSrc) return 0;
    pDest->tLastModified = pSrc->tLastModified;
    pDest->tCreated = pSrc->tCreated;
    pDest->nFlags = pSrc->nFlags;
    calparser_recurrence_populateProperties(&pDest->pDescription, pSrc->pDescription);
    calparser_recurrence_populateProperties(&pDest->pParentCalid, pSrc->pParentCalid);
    calparser_recurrence_populateProperties(&pDest->pRelativeCalid, pSrc->pRelativeCalid);
    calparser_recurrence_populateProperties(&pDest->pCalmaster, pSrc->pCalmaster);
    calparser_recurrence_populateProperties(&pDest->pName, pSrc->pName);
    calparser_recurrence_populateProperties(&pDest->pCharset, pSrc->pCharset);
    calparser_recurrence_populateProperties(&pDest->pLanguage, pSrc->pLanguage);
    calparser_recurrence_populateProperties(&pDest->pPrimaryOwner, pSrc->pPrimaryOwner);
    calparser_recurrence_populateProperties(&pDest->pTzid, pSrc->pTzid);
    calparser_append_arrays_unique(&pDest->pOwners, pSrc->pOwners);
    calparser_append_arrays_unique(&pDest->pChildren, pSrc->pChildren);
    calparser_append_arrays_unique(&pDest->pCategories, pSrc->pCategories);
    acl_misc_FreeACEList(&pDest->pAceList);
    calparser_copyACEList(pSrc->pAceList, &pDest->pAceList);
    pDest->nAuxValue = pSrc->nAuxValue;
    return 0;
}

int calparser_copyACEList(const array_t* pSrc, array_t** ppDest) {
    if (!pSrc || !ppDest) return 1;
    if (!(*ppDest = array_new())) return 3;
    for (unsigned i = 0; i < pSrc->count; i++) {
        const CALDB_ACE* ace = static_cast<const CALDB_ACE*>(pSrc->data[i]);
        if (!ace) continue;
        CALDB_ACE* copy = acl_caldb_ace_NEW((ace->nFlags & kAceDenyBit) != 0,
                                            (ace->nFlags & kAceAllUsersBit) != 0,
                                            (ace->nFlags & kAceCalPropsBit) != 0, ace->nPrincipal,
                                            ace->nRights);
        if (copy && array_append(*ppDest, copy) != 0) free(copy);
    }
    return 0;
}
