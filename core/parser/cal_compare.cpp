/* Comparing two versions of an event or to-do: same, major or minor change,
 * and the modification bits of every property that differs. */
#include "core/parser/cal_compare.h"

#include <stddef.h>

#include <plstr.h>

#include "core/parser/cal_fields.h"

namespace {

constexpr int kSame = 0;
constexpr int kDifferent = 1;
constexpr int kMajorChange = 1;
constexpr int kMinorChange = 2;

/* The method half of a component state. */
unsigned state_method(uint32_t nCompState) {
    return nCompState >> 16;
}

/* Only the methods that the state derivation gives for PUBLISH and other
 * methods, REQUEST, REPLY and CANCEL must match; a counter proposal or a
 * record without a method does not make a change. */
bool method_must_match(unsigned method) {
    return method == CALDB_METHOD_PUBLISH || method == CALDB_METHOD_REQUEST ||
           method == CALDB_METHOD_REPLY || method == CALDB_METHOD_CANCEL;
}

/* Exactly one of two pointers is NULL. */
bool one_null(const void* a, const void* b) {
    return (a == nullptr) != (b == nullptr);
}

unsigned list_count(const array_t* list) {
    return list ? list->count : 0;
}

/* kSame when both lists hold as many elements and each is the same as the
 * element at its index in the other by `compare`; a NULL list is empty. */
template <typename Element>
int compare_in_order(const array_t* a, const array_t* b,
                     int (*compare)(const Element*, const Element*)) {
    unsigned count = list_count(a);
    if (count != list_count(b)) return kDifferent;
    for (unsigned i = 0; i < count; i++) {
        const Element* elementA = static_cast<const Element*>(array_elementat(a, i));
        const Element* elementB = static_cast<const Element*>(array_elementat(b, i));
        if (compare(elementA, elementB)) return kDifferent;
    }
    return kSame;
}

const CALDB_ATTENDEE* attendee_at(const array_t* list, unsigned i) {
    return static_cast<const CALDB_ATTENDEE*>(array_elementat(list, i));
}

/* The first attendee of `list` whose address equals the address of `key`
 * (ignoring case); a NULL key pairs with a NULL slot. */
const CALDB_ATTENDEE* find_by_address(const array_t* list, const CALDB_ATTENDEE* key, bool* found) {
    for (unsigned i = 0; i < list_count(list); i++) {
        const CALDB_ATTENDEE* candidate = attendee_at(list, i);
        bool match = (!key || !candidate)
                         ? key == candidate
                         : calparser_CompareStringProperty(key->pAddr, candidate->pAddr) == kSame;
        if (match) {
            *found = true;
            return candidate;
        }
    }
    *found = false;
    return nullptr;
}

/* Whether the method halves of two states make a change. */
bool methods_differ(uint32_t a, uint32_t b) {
    unsigned method = state_method(a);
    return method_must_match(method) && state_method(b) != method;
}

/* Whether `field` differs between a and b by its kind's rule. The state
 * counts by its method half in comparisons (byMethod), whole otherwise. */
bool field_differs(const CALPARSER_FIELD& field, const CALDB_COMPONENT* a,
                   const CALDB_COMPONENT* b, bool byMethod) {
    switch (field.nKind) {
    case CALPARSER_FIELD_TIME:
        return calparser_CompareDateTimeProperty(calparser_field<int32_t>(a, field),
                                                 calparser_field<int32_t>(b, field));
    case CALPARSER_FIELD_INT:
        return calparser_CompareIntegerProperty(calparser_field<int>(a, field),
                                                calparser_field<int>(b, field));
    case CALPARSER_FIELD_STATE: {
        uint32_t stateA = calparser_field<uint32_t>(a, field);
        uint32_t stateB = calparser_field<uint32_t>(b, field);
        return byMethod ? methods_differ(stateA, stateB) : stateA != stateB;
    }
    case CALPARSER_FIELD_TEXT:
        return calparser_CompareStringProperty(calparser_field<char*>(a, field),
                                               calparser_field<char*>(b, field));
    case CALPARSER_FIELD_TEXT_LIST:
        return calparser_CompareStringPropertyArray(calparser_field<array_t*>(a, field),
                                                    calparser_field<array_t*>(b, field));
    case CALPARSER_FIELD_ORGANIZER:
        return calparser_CompareOrganizerProperty(calparser_field<CALDB_ORGANIZER*>(a, field),
                                                  calparser_field<CALDB_ORGANIZER*>(b, field));
    case CALPARSER_FIELD_ATTENDEES:
        return calparser_CompareAttendeePropertyArray(calparser_field<array_t*>(a, field),
                                                      calparser_field<array_t*>(b, field));
    case CALPARSER_FIELD_ALARMS:
        return calparser_CompareAlarmArray(calparser_field<array_t*>(a, field),
                                           calparser_field<array_t*>(b, field));
    }
    return false;
}

/* Whether any field of the class differs, examined in the table's order. */
bool class_differs(const CALDB_COMPONENT* a, const CALDB_COMPONENT* b,
                   CALPARSER_FIELD_CLASS fieldClass) {
    for (unsigned i = 0; i < calparser_componentFieldCount; i++) {
        const CALPARSER_FIELD& field = calparser_componentFields[i];
        if (field.nClass == fieldClass && field_differs(field, a, b, true)) return true;
    }
    return false;
}

/* Sets `field` in pNew when `differs`. */
void mark(CALDB_COMPONENT* pNew, bool differs, unsigned field) {
    if (differs) calparser_setModField(pNew->modFields, field);
}

}  // namespace

int calparser_isModFieldSet(const unsigned char modFields[8], unsigned field) {
    return (modFields[field >> 8] & (field & 0xFF)) != 0;
}

void calparser_setModField(unsigned char modFields[8], unsigned field) {
    modFields[field >> 8] |= static_cast<unsigned char>(field & 0xFF);
}

int calparser_CompareDateTimeProperty(time_t a, time_t b) {
    return a != b ? kDifferent : kSame;
}

int calparser_CompareIntegerProperty(int a, int b) {
    return calparser_CompareDateTimeProperty(a, b);
}

int calparser_CompareStringProperty(const char* a, const char* b) {
    bool aEmpty = !a || !*a;
    bool bEmpty = !b || !*b;
    if (aEmpty && bEmpty) return kSame;
    if (one_null(a, b)) return kDifferent;
    return PL_strcasecmp(a, b) != 0 ? kDifferent : kSame;
}

int calparser_CompareStringPropertyArray(const array_t* a, const array_t* b) {
    return compare_in_order<char>(a, b, calparser_CompareStringProperty);
}

int calparser_CompareOrganizerProperty(const CALDB_ORGANIZER* a, const CALDB_ORGANIZER* b) {
    if (!a && !b) return kSame;
    if (one_null(a, b)) return kDifferent;
    return calparser_CompareStringProperty(a->pAddr, b->pAddr);
}

int calparser_CompareAttendeeProperty(const CALDB_ATTENDEE* a, const CALDB_ATTENDEE* b) {
    if (!a && !b) return kSame;
    if (one_null(a, b)) return kDifferent;
    if (calparser_CompareStringProperty(a->pAddr, b->pAddr) ||
        calparser_CompareIntegerProperty(a->nPartStat, b->nPartStat) ||
        a->bRsvp != b->bRsvp)
        return kDifferent;
    return kSame;
}

int calparser_CompareAttendeePropertyArray(const array_t* a, const array_t* b) {
    unsigned count = list_count(a);
    if (count != list_count(b)) return kDifferent;
    for (unsigned i = 0; i < count; i++) {
        const CALDB_ATTENDEE* attendee = attendee_at(a, i);
        bool found = false;
        const CALDB_ATTENDEE* partner = find_by_address(b, attendee, &found);
        if (!found || calparser_CompareAttendeeProperty(attendee, partner)) return kDifferent;
    }
    return kSame;
}

int calparser_CompareAlarm(const CALDB_VALARM* a, const CALDB_VALARM* b) {
    if (!a && !b) return kSame;
    if (one_null(a, b)) return kDifferent;
    if (calparser_CompareDateTimeProperty(a->tTrigger, b->tTrigger) ||
        calparser_CompareIntegerProperty(a->nDuration, b->nDuration) ||
        calparser_CompareIntegerProperty(a->nAction, b->nAction) ||
        calparser_CompareIntegerProperty(a->nRepeat, b->nRepeat) ||
        calparser_CompareStringProperty(a->pAuxText, b->pAuxText) ||
        calparser_CompareStringProperty(a->pSummary, b->pSummary) ||
        calparser_CompareStringProperty(a->pDescription, b->pDescription) ||
        calparser_CompareStringPropertyArray(a->aAttendees, b->aAttendees))
        return kDifferent;
    return kSame;
}

int calparser_CompareAlarmArray(const array_t* a, const array_t* b) {
    /* Unlike text and attendee lists, a missing alarm list is not an empty one. */
    if (!a && !b) return kSame;
    if (one_null(a, b)) return kDifferent;
    return compare_in_order<CALDB_VALARM>(a, b, calparser_CompareAlarm);
}

int calparser_CompareComponentHelper(const CALDB_COMPONENT* a, const CALDB_COMPONENT* b) {
    if (!a && !b) return kSame;
    if (one_null(a, b)) return kMajorChange;
    if (class_differs(a, b, CALPARSER_FIELD_MAJOR)) return kMajorChange;
    if (class_differs(a, b, CALPARSER_FIELD_MINOR)) return kMinorChange;
    return kSame;
}

int calparser_CompareEvent(const CALDB_VEVENT* a, const CALDB_VEVENT* b) {
    if (!a && !b) return kSame;
    if (one_null(a, b)) return kMajorChange;
    if (calparser_CompareDateTimeProperty(a->tDtEnd, b->tDtEnd) || a->nFlags != b->nFlags ||
        calparser_CompareStringProperty(a->pEventAux, b->pEventAux))
        return kMajorChange;
    return calparser_CompareComponentHelper(reinterpret_cast<const CALDB_COMPONENT*>(a),
                                            reinterpret_cast<const CALDB_COMPONENT*>(b));
}

int calparser_CompareTodo(const CALDB_VTODO* a, const CALDB_VTODO* b) {
    if (!a && !b) return kSame;
    if (one_null(a, b)) return kMajorChange;
    if (calparser_CompareDateTimeProperty(a->tDue, b->tDue) ||
        calparser_CompareDateTimeProperty(a->tCompleted, b->tCompleted) ||
        a->nFlags != b->nFlags ||
        calparser_CompareIntegerProperty(a->nPercentComplete, b->nPercentComplete) ||
        calparser_CompareStringProperty(a->pDueTzid, b->pDueTzid))
        return kMajorChange;
    return calparser_CompareComponentHelper(reinterpret_cast<const CALDB_COMPONENT*>(a),
                                            reinterpret_cast<const CALDB_COMPONENT*>(b));
}

int calparser_CompareComponent(const CALDB_COMPONENT* a, const CALDB_COMPONENT* b) {
    if (!a && !b) return kSame;
    if (one_null(a, b)) return kMajorChange;
    if (a->nType != b->nType) return kMajorChange;
    if (caldb_IsEventKind(a->nType))
        return calparser_CompareEvent(reinterpret_cast<const CALDB_VEVENT*>(a),
                                      reinterpret_cast<const CALDB_VEVENT*>(b));
    return calparser_CompareTodo(reinterpret_cast<const CALDB_VTODO*>(a),
                                 reinterpret_cast<const CALDB_VTODO*>(b));
}

int calparser_getComponentModFieldsHelper(const CALDB_COMPONENT* pOld, CALDB_COMPONENT* pNew) {
    if (!pOld && !pNew) return 0;
    if (one_null(pOld, pNew)) return 1;
    /* Every compared field that has a bit; the state by its whole value. */
    for (unsigned i = 0; i < calparser_componentFieldCount; i++) {
        const CALPARSER_FIELD& field = calparser_componentFields[i];
        if (field.nClass != CALPARSER_FIELD_NOT_COMPARED && field.nModBit != 0)
            mark(pNew, field_differs(field, pOld, pNew, false), field.nModBit);
    }
    return 0;
}

int calparser_getEventModFields(const CALDB_VEVENT* pOld, CALDB_VEVENT* pNew) {
    if (!pOld || !pNew) return 0;
    if (calparser_CompareDateTimeProperty(pOld->tDtEnd, pNew->tDtEnd))
        calparser_setModField(pNew->modFields, CALPARSER_MOD_DTEND_DUE);
    if (calparser_CompareStringProperty(pOld->pEventAux, pNew->pEventAux))
        calparser_setModField(pNew->modFields, CALPARSER_MOD_EVENT_AUX);
    if (pOld->bTransparent != pNew->bTransparent)
        calparser_setModField(pNew->modFields, CALPARSER_MOD_TRANSP);
    return 0;
}

int calparser_getTodoModFields(const CALDB_VTODO* pOld, CALDB_VTODO* pNew) {
    if (!pOld || !pNew) return 0;
    if (calparser_CompareDateTimeProperty(pOld->tDue, pNew->tDue))
        calparser_setModField(pNew->modFields, CALPARSER_MOD_DTEND_DUE);
    if (calparser_CompareDateTimeProperty(pOld->tCompleted, pNew->tCompleted))
        calparser_setModField(pNew->modFields, CALPARSER_MOD_COMPLETED);
    if (calparser_CompareIntegerProperty(pOld->nPercentComplete, pNew->nPercentComplete))
        calparser_setModField(pNew->modFields, CALPARSER_MOD_PERCENT_COMPLETE);
    if (calparser_CompareStringProperty(pOld->pDueTzid, pNew->pDueTzid))
        calparser_setModField(pNew->modFields, CALPARSER_MOD_DUE_TZID);
    return 0;
}

int calparser_getComponentModFields(const CALDB_COMPONENT* pOld, CALDB_COMPONENT* pNew, int kind) {
    if (!pOld && !pNew) return 0;
    if (one_null(pOld, pNew)) return 1;
    calparser_getComponentModFieldsHelper(pOld, pNew);
    if (caldb_IsEventKind(kind))
        calparser_getEventModFields(reinterpret_cast<const CALDB_VEVENT*>(pOld),
                                    reinterpret_cast<CALDB_VEVENT*>(pNew));
    else
        calparser_getTodoModFields(reinterpret_cast<const CALDB_VTODO*>(pOld),
                                   reinterpret_cast<CALDB_VTODO*>(pNew));
    return 0;
}
