/* The VTODO builder: the to-do's own properties, completion and component
 * state; the walk is the one the event builder runs (cal_vevent.cpp). */
#include "core/parser/cal_vtodo.h"

#include <plstr.h>

#include "core/parser/cal_vevent.h"
#include "core/parser/calparserutil.h"
#include "core/parser/populate.h"
#include "public/util/kvallog.h"

static int text_length(const char* text)
{
    return text ? (int)PL_strlen(text) : 0;
}

/* One property line of a to-do. */
static void store_todo_line(CALPARSER_TOKEN* pToken, const CALPARSER_BUILD_STATE* state)
{
    if (!pToken || !state->ppComponent || !*state->ppComponent)
        return;
    CALDB_VTODO* todo = (CALDB_VTODO*)*state->ppComponent;
    const char* value = pToken->pValue;
    switch (pToken->nType) {
    case TOKEN_DTEND:
    case TOKEN_TRANSP:
    case TOKEN_X_Z9KQ_ATTENDEE_RDATELIST:
    case TOKEN_X_Z9KQ_ATTENDEE_EXDATELIST:
        break; /* event-only properties */
    case TOKEN_DTSTART:
        calparser_storeComponentTime(pToken, state, calparser_storeTodoDateTimeOrDateProperty,
                                     &todo->tDtStart, 1, nullptr);
        break;
    case TOKEN_DUE:
        calparser_storeComponentTime(pToken, state, calparser_storeTodoDateTimeOrDateProperty,
                                     &todo->tDue, 0, todo->pDueTzid);
        break;
    case TOKEN_COMPLETED: calparser_storeDateTimePropertyNoTimeZones(&todo->tCompleted, value); break;
    case TOKEN_PERCENT_COMPLETE:
        calparser_storeIntegerProperty(&todo->nPercentComplete, value, text_length(value), nullptr);
        break;
    case TOKEN_X_KVAL_DUE_TZID: calparser_recurrence_populateProperties(&todo->pDueTzid, value); break;
    case TOKEN_PRIORITY: {
        int scratch = 0;
        calparser_populateTodoPriorityProp(state->ppComponent, value, text_length(value),
                                           &scratch);
        break;
    }
    case TOKEN_STATUS:
        if (calparser_populateTodoStatusProp(state->ppComponent, pToken->nValue) != 0)
            kvallog(0, KVALLOG_LEVEL_PARSE,
                    "line (%d), %s: Bad value for STATUS in VTODO.  Assigning default value of "
                    "NEEDS-ACTION.",
                    (int)pToken->nLine, KVALLOG_CORE_SUBSYSTEM);
        break;
    default: calparser_populateSharedProp(pToken, (CALDB_COMPONENT*)todo, state); break;
    }
}

/* ---- The to-do kind of the shared walk ---------------------------------- */

static int todo_set_defaults(void** ppComponent, CAL_TIME_DURATION* pDuration)
{
    return calparser_todo_set_defaults((CALDB_VTODO**)ppComponent, pDuration);
}

static long todo_alarm_base(const void* pComponent)
{
    return ((const CALDB_VTODO*)pComponent)->tDue;
}

static void todo_derive_state(void* pComponent, iCal_Token_t nMethod)
{
    calparser_todo_deriveCompState((CALDB_VTODO*)pComponent, nMethod);
}

/* A to-do given only a DUE starts at its DUE. */
static void todo_finish(void* pComponent)
{
    CALDB_VTODO* todo = (CALDB_VTODO*)pComponent;
    if (todo->tDtStart == 0 && todo->tDue != 0)
        todo->tDtStart = todo->tDue;
}

static int todo_is_valid(void* pComponent, iCal_Token_t nMethod)
{
    return calparser_isValidTodo((CALDB_VTODO*)pComponent, nMethod);
}

static const CALPARSER_COMPONENT_KIND kTodoKind = {
    CALDB_KIND_TODO,
    TOKEN_VTODO,
    "VTODO",
    {TOKEN_X_KVAL_DTSTART_TZID, TOKEN_X_KVAL_DUE_TZID},
    2,
    store_todo_line,
    todo_set_defaults,
    todo_alarm_base,
    todo_derive_state,
    todo_finish,
    todo_is_valid,
};

extern "C" {

void calparser_populateVTodoProp(CALPARSER_TOKEN* pToken, CALDB_VTODO** ppTodo,
                                 CAL_TIME_DURATION** ppDuration, array_t* pRRules,
                                 array_t* pRDates, array_t* pExRules, array_t* pExDates,
                                 array_t* pRDatePeriods, array_t* pTimeZones,
                                 int bResolvedInput, const char* pLookupCtx,
                                 const char* pDefaultTzid)
{
    const CALPARSER_BUILD_STATE state = {(void**)ppTodo, ppDuration, pRRules, pRDates,
                                         pExRules, pExDates, pRDatePeriods, pTimeZones,
                                         bResolvedInput, pLookupCtx, pDefaultTzid};
    store_todo_line(pToken, &state);
}

int calparser_todo_set_defaults(CALDB_VTODO** ppTodo, CAL_TIME_DURATION* pDuration)
{
    if (!ppTodo || !*ppTodo)
        return 1;
    CALDB_VTODO* todo = *ppTodo;
    if (todo->tDue < 1 && pDuration)
        calparser_addDurationToTodo(pDuration, todo);
    if (todo->bDtStartIsDate)
        todo->bDtEndIsDate = 1;
    calparser_addOriginalDtStartXTokenIfNotAlreadyExistsOnComponent((CALDB_COMPONENT*)todo);
    return 0;
}

int calparser_isValidTodo(CALDB_VTODO* pTodo, iCal_Token_t nMethod)
{
    (void)pTodo;
    (void)nMethod;
    return 1;
}

void calparser_todo_deriveCompState(CALDB_VTODO* pTodo, iCal_Token_t nMethod)
{
    if (!pTodo || pTodo->nCompState != CALDB_COMPSTATE_NOT_GIVEN)
        return;
    const CALDB_COMPONENT* component = (const CALDB_COMPONENT*)pTodo;
    unsigned method = (unsigned)calparser_getCompStateMethod(nMethod);
    unsigned state = CALDB_STATE_NONE;
    if (method == CALDB_METHOD_REQUEST) {
        if (component->aAttendees && component->aAttendees->count > 0)
            state = CALDB_STATE_NEEDS_ACTION;
    } else if (method == CALDB_METHOD_REPLY) {
        state = calparser_attendeeDecisionBit(component);
    }
    pTodo->nCompState = (method << 16) | state;
}

int calparser_create_vtodo_from_tokens(array_t* pTokens, array_iter_t* pCursor,
                                       array_t* pTodos, array_t* pRecurrence,
                                       array_t* pTimeZones, int nPass, iCal_Token_t nMethod,
                                       int bResolvedInput, const char* pLookupCtx,
                                       const char* pDefaultTzid)
{
    return calparser_build_component_from_tokens(&kTodoKind, pTokens, pCursor, pTodos,
                                                 pRecurrence, pTimeZones, nPass, nMethod,
                                                 bResolvedInput, pLookupCtx, pDefaultTzid);
}

} /* extern "C" */
