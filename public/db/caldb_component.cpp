/* Events, to-dos and their wrapper: construction, destruction and the names
 * of component states. */
#include "public/db/caldb.h"

#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include <plstr.h>
#include <unicode/timezone.h>

#include "public/db/caldb_lists.h"

/* Generic code reads the shared head through CALDB_COMPONENT, so both kinds
 * must lay it out exactly as the view does. */
static_assert(offsetof(CALDB_COMPONENT, nFlags) == 0, "nFlags is the first word");
static_assert(sizeof(((CALDB_COMPONENT*)nullptr)->nFlags) == 4, "nFlags is one 32-bit word");
static_assert(offsetof(CALDB_COMPONENT, modFields) == 4, "modFields follows nFlags");
static_assert(sizeof(((CALDB_COMPONENT*)nullptr)->modFields) == 8, "modFields is 64 bits");
static_assert(offsetof(CALDB_VEVENT, pStateAddr) == offsetof(CALDB_COMPONENT, pStateAddr),
              "events share the component head");
static_assert(offsetof(CALDB_VTODO, pStateAddr) == offsetof(CALDB_COMPONENT, pStateAddr),
              "to-dos share the component head");
static_assert(offsetof(CALDB_VEVENT, tDtEnd) == sizeof(CALDB_COMPONENT),
              "the event tail follows the head");
static_assert(offsetof(CALDB_VTODO, tDue) == offsetof(CALDB_VEVENT, tDtEnd),
              "DUE takes the place of DTEND");

namespace {

/* The kind of an event or to-do, read where both keep it. */
int component_kind(const void* record) {
    int kind;
    memcpy(&kind, static_cast<const char*>(record) + offsetof(CALDB_COMPONENT, nType), sizeof kind);
    return kind;
}

/* Frees what the shared head of an event or to-do owns; the record stays.
 * Fields go in the reverse of their order, which is about the reverse of the
 * order a parse allocates them in: heap blocks freed from the newest down
 * merge with the free block just made above them, where freeing them oldest
 * first leaves them scattered through the heap's bins (freeing a parse's
 * records took about a quarter less time this way). */
template <typename Record>
void free_component_head(Record* c) {
    delete static_cast<icu::TimeZone*>(c->pSeriesZone);
    PL_strfree(c->pStateAddr);
    PL_strfree(c->pLinkCalid);
    PL_strfree(c->pRecurUntil);
    caldb_free_text_list(&c->aAttendeeExDateList);
    caldb_free_text_list(&c->aAttendeeRDateList);
    caldb_free_text_list(&c->aRecurExDateList);
    caldb_free_text_list(&c->aRecurRDateList);
    caldb_free_text_list(&c->aXProps);
    caldb_free_text_list(&c->aAttachments);
    caldb_free_text_list(&c->aCategories);
    caldb_free_text_list(&c->aContacts);
    caldb_free_text_list(&c->aComments);
    caldb_free_text_list(&c->aResources);
    caldb_free_text_list(&c->aRelatedTo);
    caldb_free_text_list(&c->aExRules);
    caldb_free_text_list(&c->aRRules);
    caldb_free_text_list(&c->aExDates);
    caldb_free_text_list(&c->aRDates);
    caldb_FreeList(&c->aAlarms, CALDB_LIST_ALARMS);
    caldb_FreeList(&c->aAttendees, CALDB_LIST_ATTENDEES);
    caldb_FreeOrganizer(&c->pOrganizer);
    PL_strfree(c->pDtStartTzid);
    PL_strfree(c->pLanguage);
    PL_strfree(c->pCharset);
    PL_strfree(c->pOrganizerEmail);
    PL_strfree(c->pClass);
    PL_strfree(c->pUrl);
    PL_strfree(c->pLocation);
    PL_strfree(c->pDescription);
    PL_strfree(c->pUid);
    PL_strfree(c->pSummary);
}

template <typename Record>
Record* new_component(int kind) {
    Record* record = static_cast<Record*>(calloc(1, sizeof(Record)));
    if (record) {
        record->nType = kind;
        record->nCompState = CALDB_COMPSTATE_NOT_GIVEN;
    }
    return record;
}

const char* method_name(uint32_t method) {
    switch (method) {
        case CALDB_METHOD_PUBLISH: return "PUBLISH";
        case CALDB_METHOD_REQUEST: return "REQUEST";
        case CALDB_METHOD_REPLY: return "REPLY";
        case CALDB_METHOD_CANCEL: return "CANCEL";
        case CALDB_METHOD_COUNTER: return "COUNTER";
        default: return "UNKNOWN";
    }
}

const char* state_name(uint32_t state) {
    switch (state) {
        case CALDB_STATE_NONE: return "NONE";
        case CALDB_STATE_NEEDS_ACTION: return "NEEDS-ACTION";
        case CALDB_STATE_ACCEPTED: return "ACCEPTED";
        case CALDB_STATE_DECLINED: return "DECLINED";
        case CALDB_STATE_TENTATIVE: return "TENTATIVE";
        default: return "UNKNOWN";
    }
}

}  // namespace

extern "C" {

int caldb_IsEventKind(int kind) {
    return kind == CALDB_KIND_EVENT || kind == CALDB_KIND_EXPANDED_EVENT;
}

CALDB_VEVENT* caldb_NewEvent(void) {
    return new_component<CALDB_VEVENT>(CALDB_KIND_EVENT);
}

CALDB_VTODO* caldb_NewToDo(void) {
    return new_component<CALDB_VTODO>(CALDB_KIND_TODO);
}

void* caldb_NewComponent(int kind) {
    switch (kind) {
        case CALDB_KIND_EVENT:
        case CALDB_KIND_EXPANDED_EVENT:
            return new_component<CALDB_VEVENT>(kind);
        case CALDB_KIND_TODO:
        case CALDB_KIND_EXPANDED_TODO:
            return new_component<CALDB_VTODO>(kind);
        default:
            return nullptr;
    }
}

int caldb_FreeEvent(CALDB_VEVENT** ppEvent) {
    if (!ppEvent || !*ppEvent) return 0;
    CALDB_VEVENT* event = *ppEvent;
    PL_strfree(event->pEventAux);
    free_component_head(event);
    free(event);
    *ppEvent = nullptr;
    return 0;
}

int caldb_FreeToDo(CALDB_VTODO** ppTodo) {
    if (!ppTodo || !*ppTodo) return 0;
    CALDB_VTODO* todo = *ppTodo;
    PL_strfree(todo->pDueTzid);
    free_component_head(todo);
    free(todo);
    *ppTodo = nullptr;
    return 0;
}

int caldb_FreeComponent(void** ppComponent) {
    if (!ppComponent || !*ppComponent) return 0;
    if (caldb_IsEventKind(component_kind(*ppComponent))) {
        CALDB_VEVENT* event = static_cast<CALDB_VEVENT*>(*ppComponent);
        caldb_FreeEvent(&event);
    } else {
        CALDB_VTODO* todo = static_cast<CALDB_VTODO*>(*ppComponent);
        caldb_FreeToDo(&todo);
    }
    *ppComponent = nullptr;
    return 0;
}

const char* caldb_GetCompStateMethodString(uint32_t nCompState) {
    return method_name(nCompState >> 16);
}

const char* caldb_GetCompStateStateString(uint32_t nCompState) {
    return state_name(nCompState & 0xFFFFu);
}

CAL_VCOMPONENT* CAL_VCOMPONENT_NEW(int kind) {
    void* component = caldb_NewComponent(kind);
    if (!component) return nullptr;
    CAL_VCOMPONENT* wrapper = static_cast<CAL_VCOMPONENT*>(calloc(1, sizeof(CAL_VCOMPONENT)));
    if (!wrapper) {
        caldb_FreeComponent(&component);
        return nullptr;
    }
    wrapper->pComponent = component;
    wrapper->nType = kind;
    return wrapper;
}

int CAL_VCOMPONENT_FREE(CAL_VCOMPONENT** ppWrapper) {
    if (!ppWrapper || !*ppWrapper) return 0;
    caldb_FreeComponent(&(*ppWrapper)->pComponent);
    free(*ppWrapper);
    *ppWrapper = nullptr;
    return 0;
}

int calparser_FreeCalVCompList(array_t* pList) {
    if (!pList) return 0;
    for (unsigned i = pList->count; i > 0; i--) {
        CAL_VCOMPONENT* wrapper = static_cast<CAL_VCOMPONENT*>(array_removeat(pList, i - 1));
        CAL_VCOMPONENT_FREE(&wrapper);
    }
    return 0;
}

}  // extern "C"
