/* The component assembly driver: walks a parse's token list at the calendar
 * level, hands each component to the builder of its kind, follows METHOD and
 * stores the calendar-properties lines. Pass 1 makes the time zones, pass 2
 * the events and to-dos (against pass 1's zones, wherever they stood in the
 * input), then expands recurring ones. */
#include "core/parser/calparser.h"

#include <plstr.h>
#include <stdlib.h>

#include "core/parser/cal_expand.h"
#include "core/parser/cal_str.h"
#include "core/parser/cal_tok.h"
#include "core/parser/cal_tok_arena.h"
#include "core/parser/cal_vevent.h"
#include "core/parser/cal_vtimezone.h"
#include "core/parser/cal_vtodo.h"
#include "core/parser/calparserutil.h"
#include "core/parser/populate.h"
#include "public/ac/acl.h"
#include "public/db/caldb.h"
#include "public/db/caldb_timezone.h"
#include "public/util/kvallog.h"

namespace {

/* X-KVAL-CALPROPS-READ and -WRITE: the value that means "not given". */
constexpr int kUnsetRights = 999;
constexpr int kLowFourBits = 0xF;

/* The arrays of one walk. Pass 1 makes `zones`; pass 2 borrows them from
 * slot 0 of the result and makes the rest. */
struct Walk {
    int pass;
    iCal_Token_t method;
    array_t* zones;
    bool ownsZones;
    array_t* events;
    array_t* eventRecurrence;
    array_t* todos;
    array_t* todoRecurrence;
    array_t* spareRecurrence; /* the builders' spare vector (cal_vevent.h) */
    array_t* empty[2];
};

bool is_begin(const CALPARSER_TOKEN* t, iCal_Token_t kind) {
    return t->nType == TOKEN_BEGIN && t->nValue == kind;
}

void release_recurrence(array_t** ppInfos) {
    if (!*ppInfos) return;
    calparser_free_contents_vvRecurrenceInfoList(*ppInfos);
    array_clear(*ppInfos);
    array_delete(*ppInfos);
    *ppInfos = nullptr;
}

/* Frees every array the walk still holds (their elements too). */
void release_walk(Walk* w) {
    if (w->ownsZones && w->zones) {
        CAL_VTIMEZONE_FreeCalVTimeZoneList(w->zones);
        array_delete(w->zones);
    }
    w->zones = nullptr;
    if (w->events) calparser_FreeCalVCompList(w->events);
    if (w->todos) calparser_FreeCalVCompList(w->todos);
    array_delete(w->events);
    array_delete(w->todos);
    array_delete(w->empty[0]);
    array_delete(w->empty[1]);
    w->events = w->todos = w->empty[0] = w->empty[1] = nullptr;
    release_recurrence(&w->eventRecurrence);
    release_recurrence(&w->todoRecurrence);
    calparser_free_contents_vRecurrenceInfo(w->spareRecurrence);
    array_delete(w->spareRecurrence);
    w->spareRecurrence = nullptr;
}

/* Makes the arrays of the pass. Returns 0 or 3 (nothing kept). */
int start_walk(Walk* w, array_t* pResult) {
    if (w->pass == CALPARSER_PASS_ZONES) {
        w->ownsZones = true;
        return (w->zones = array_new()) ? 0 : 3;
    }
    if (w->pass != CALPARSER_PASS_COMPONENTS) return 0;
    w->zones = static_cast<array_t*>(array_elementat(pResult, CALPARSER_SLOT_TIMEZONES));
    if (!(w->todoRecurrence = array_new()) || !(w->eventRecurrence = array_new()) ||
        !(w->events = array_new()) || !(w->todos = array_new()) ||
        !(w->empty[0] = array_new()) || !(w->empty[1] = array_new())) {
        release_walk(w);
        return 3;
    }
    return 0;
}

/* Appends the pass's arrays to the result; on failure frees what was not
 * appended. Returns 0 or 3. */
int finish_walk(Walk* w, array_t* pResult) {
    int rc = 0;
    if (w->pass == CALPARSER_PASS_ZONES) {
        if (array_append(pResult, w->zones) == 0) w->zones = nullptr;
        else rc = 3;
    } else if (w->pass == CALPARSER_PASS_COMPONENTS) {
        array_t** slots[] = {&w->events, &w->todos, &w->empty[0], &w->empty[1]};
        for (array_t** slot : slots) {
            if (rc == 0 && array_append(pResult, *slot) == 0) *slot = nullptr;
            else rc = 3;
        }
    }
    release_walk(w);
    return rc;
}

/* Hands the component that begins at the cursor to its builder, or reports
 * what is not built here. Builders leave the cursor on the last token they
 * consumed; their results are theirs to report. */
void dispatch_begin(Walk* w, array_t* pTokens, array_iter_t* cursor, const CALPARSER_TOKEN* t,
                    char* pDefaultTzid, char* pLookupCtx) {
    switch (t->nValue) {
    case TOKEN_VEVENT:
        calparser_build_component_in_parse(calparser_event_kind(), pTokens, cursor, w->events,
                                           w->eventRecurrence, &w->spareRecurrence, w->zones,
                                           w->pass, w->method, pLookupCtx, pDefaultTzid);
        break;
    case TOKEN_VTODO:
        calparser_build_component_in_parse(calparser_todo_kind(), pTokens, cursor, w->todos,
                                           w->todoRecurrence, &w->spareRecurrence, w->zones,
                                           w->pass, w->method, pLookupCtx, pDefaultTzid);
        break;
    case TOKEN_VTIMEZONE:
        calparser_create_vtimezone_from_tokens(pTokens, cursor, w->zones, w->pass, w->method);
        break;
    case TOKEN_VJOURNAL:
    case TOKEN_VFREEBUSY:
    case TOKEN_X:
        kvallog(0, KVALLOG_LEVEL_DROPPED,
                "line (%d), %s: Unsupported component in Orrin 1.0 found.",
                (int)t->nLine, KVALLOG_CORE_SUBSYSTEM);
        calparser_create_unsupported_component_from_tokens(pTokens, cursor, t->nValue,
                                                           w->eventRecurrence, w->zones,
                                                           w->pass, w->method);
        break;
    case TOKEN_VALARM:
        /* The alarm's own lines are then walked as calendar-level lines. */
        kvallog(0, KVALLOG_LEVEL_DEFAULTED, "line (%d), %s: VALARM in wrong scope.", (int)t->nLine,
                KVALLOG_CORE_SUBSYSTEM);
        break;
    default:
        break;
    }
}

void follow_method(Walk* w, const CALPARSER_TOKEN* t) {
    if (t->nValue != 0) {
        w->method = t->nValue;
        return;
    }
    kvallog(0, KVALLOG_LEVEL_DEFAULTED,
            "line (%d), %s: Unknown METHOD encountered.  Assuming PUBLISH", (int)t->nLine,
            KVALLOG_CORE_SUBSYSTEM);
    w->method = TOKEN_PUBLISH;
}

/* The value of a calendar-properties line read as a number: 0 when it is not
 * one. */
int value_as_number(const CALPARSER_TOKEN* t) {
    int number = 0;
    if (t->pValue)
        calparser_storeIntegerProperty(&number, t->pValue, (int)PL_strlen(t->pValue), nullptr);
    return number;
}

unsigned rights_bits(const CALPARSER_TOKEN* t) {
    int number = value_as_number(t);
    if (number == kUnsetRights) number = 0;
    return static_cast<unsigned>(number) & kLowFourBits;
}

void append_ace(CALDB_CALPROPS* props, const char* value, int bReplaceAces, int* pbFirstAce) {
    if (!props->pAceList && !(props->pAceList = array_new())) return;
    CALDB_ACE* ace = acl_create_ace(value);
    if (!ace) return;
    if (bReplaceAces && pbFirstAce && *pbFirstAce) {
        acl_misc_FreeACEList(&props->pAceList);
        if (!(props->pAceList = array_new())) {
            free(ace);
            return;
        }
        *pbFirstAce = 0;
    }
    if (array_append(props->pAceList, ace) != 0) free(ace);
}

/* The text field a calendar-properties keyword fills, or NULL. */
char** text_field(CALDB_CALPROPS* p, iCal_Token_t type) {
    switch (type) {
    case TOKEN_X_KVAL_CALPROPS_DESCRIPTION: return &p->pDescription;
    case TOKEN_X_KVAL_CALPROPS_PARENT_CALID: return &p->pParentCalid;
    case TOKEN_X_KVAL_CALPROPS_RELATIVE_CALID: return &p->pRelativeCalid;
    case TOKEN_X_KVAL_CALPROPS_CALMASTER: return &p->pCalmaster;
    case TOKEN_X_KVAL_CALPROPS_NAME: return &p->pName;
    case TOKEN_X_KVAL_CALPROPS_CHARSET: return &p->pCharset;
    case TOKEN_X_KVAL_CALPROPS_LANGUAGE: return &p->pLanguage;
    case TOKEN_X_KVAL_CALPROPS_PRIMARY_OWNER: return &p->pPrimaryOwner;
    case TOKEN_X_KVAL_CALPROPS_TZID: return &p->pTzid;
    default: return nullptr;
    }
}

/* The text list a calendar-properties keyword appends to, or NULL. */
array_t** list_field(CALDB_CALPROPS* p, iCal_Token_t type) {
    switch (type) {
    case TOKEN_X_KVAL_CALPROPS_OWNERS: return &p->pOwners;
    case TOKEN_X_KVAL_CALPROPS_CHILDREN: return &p->pChildren;
    case TOKEN_X_KVAL_CALPROPS_CATEGORIES: return &p->pCategories;
    default: return nullptr;
    }
}

}  // namespace

extern "C" {

int calparser_handle_X_KVAL_tokens(CALPARSER_TOKEN* pToken, CALDB_CALPROPS* pCalProps,
                                   int bReplaceAces, int* pbFirstAce) {
    if (!pToken || !pCalProps) return 0;
    const iCal_Token_t type = pToken->nType;
    const char* value = pToken->pValue;
    if (char** text = text_field(pCalProps, type)) {
        calparser_recurrence_populateProperties(text, value);
    } else if (array_t** list = list_field(pCalProps, type)) {
        calparser_addStringToPropertyArray(list, value);
    } else {
        switch (type) {
        case TOKEN_X_KVAL_CALPROPS_LAST_MODIFIED:
            calparser_storeDateTimePropertyNoTimeZones(&pCalProps->tLastModified, value);
            break;
        case TOKEN_X_KVAL_CALPROPS_CREATED:
            calparser_storeDateTimePropertyNoTimeZones(&pCalProps->tCreated, value);
            break;
        case TOKEN_X_KVAL_CALPROPS_READ:
            pCalProps->nRead = rights_bits(pToken);
            break;
        case TOKEN_X_KVAL_CALPROPS_WRITE:
            pCalProps->nWrite = rights_bits(pToken);
            break;
        case TOKEN_X_KVAL_CALPROPS_RESOURCE:
            pCalProps->bResource = value_as_number(pToken) == 1 ? 1 : 0;
            break;
        case TOKEN_X_KVAL_CALPROPS_ACCESS_CONTROL_ENTRY:
            append_ace(pCalProps, value, bReplaceAces, pbFirstAce);
            break;
        default:
            break;
        }
    }
    return 0;
}

int calparser_create_components_from_tokens(array_t* pResult, array_t* pTokens,
                                            eCALPARSER_PARSER_PASS nPass, char* pDefaultTzid,
                                            CALDB_CALPROPS* pCalProps, unsigned* pnMethodState,
                                            char* pLookupCtx) {
    return calparser_create_components_from_arena_tokens(pResult, pTokens, nPass, pDefaultTzid,
                                                         pCalProps, pnMethodState, pLookupCtx,
                                                         nullptr);
}

}  // extern "C"

int calparser_create_components_from_arena_tokens(array_t* pResult, array_t* pTokens,
                                                  eCALPARSER_PARSER_PASS nPass,
                                                  char* pDefaultTzid, CALDB_CALPROPS* pCalProps,
                                                  unsigned* pnMethodState, char* pLookupCtx,
                                                  calparser_arena* arena) {
    array_iter_t cursor = {};
    if (!pResult || !pTokens || !array_findfirst(pTokens, &cursor) || !cursor.element) return 1;
    Walk w = {};
    w.pass = nPass;
    w.method = TOKEN_PUBLISH;
    if (start_walk(&w, pResult) != 0) return 3;

    for (bool more = true; more && cursor.element; more = array_findnext(pTokens, &cursor)) {
        const CALPARSER_TOKEN* t = static_cast<const CALPARSER_TOKEN*>(cursor.element);
        if (t->nType == TOKEN_END && t->nValue == TOKEN_VCALENDAR) break;
        if (t->nType == TOKEN_BEGIN) {
            if (!is_begin(t, TOKEN_VCALENDAR))
                dispatch_begin(&w, pTokens, &cursor, t, pDefaultTzid, pLookupCtx);
            /* Nothing reads the tokens before a built component again. */
            if (nPass == CALPARSER_PASS_COMPONENTS)
                calparser_arena_release_before(arena, cursor.element);
        } else if (t->nType == TOKEN_METHOD) {
            follow_method(&w, t);
        } else if (nPass == CALPARSER_PASS_ZONES) {
            calparser_handle_X_KVAL_tokens(const_cast<CALPARSER_TOKEN*>(t), pCalProps);
        }
    }

    if (nPass == CALPARSER_PASS_COMPONENTS) {
        calparser_expand_components_list(w.events, CALDB_KIND_EVENT, w.eventRecurrence,
                                         pDefaultTzid, 0);
        calparser_expand_components_list(w.todos, CALDB_KIND_TODO, w.todoRecurrence,
                                         pDefaultTzid, 0);
    }
    int rc = finish_walk(&w, pResult);
    if (pnMethodState) *pnMethodState = (unsigned)calparser_getCompStateMethod(w.method);
    return rc;
}

int calparser_handle_X_KVAL_tokens(CALPARSER_TOKEN* pToken, CALDB_CALPROPS* pCalProps) {
    return calparser_handle_X_KVAL_tokens(pToken, pCalProps, 0, nullptr);
}
