/* The VEVENT builder and the component walk it shares with the to-do
 * builder, the properties both store alike, and the walker over components
 * that are not built. */
#include "core/parser/cal_vevent.h"

#include <stdlib.h>

#include <plstr.h>

#include "core/parser/cal_copy.h"
#include "core/parser/cal_expand.h"
#include "core/parser/cal_fields.h"
#include "core/parser/cal_valarm.h"
#include "core/parser/calparserutil.h"
#include "core/parser/populate.h"
#include "public/util/kvallog.h"

static int text_length(const char* text)
{
    return text ? (int)PL_strlen(text) : 0;
}

/* ---- Recurrence lists ---------------------------------------------------- */

/* Frees *ppInfo with its lists and stores NULL. */
static void release_recurrence_info(array_t** ppInfo)
{
    calparser_free_contents_vRecurrenceInfo(*ppInfo);
    array_delete(*ppInfo);
    *ppInfo = nullptr;
}

/* A new vRecurrenceInfo holding five empty lists, or NULL when memory runs out. */
static array_t* new_recurrence_info()
{
    array_t* info = array_new();
    if (!info)
        return nullptr;
    for (int i = 0; i < CALPARSER_VECTOR_SIZE; i++) {
        array_t* list = array_new();
        if (!list || array_append(info, list) != 0) {
            array_delete(list);
            release_recurrence_info(&info);
            return nullptr;
        }
    }
    return info;
}

static array_t* recurrence_list(array_t* info, int which)
{
    return (array_t*)array_elementat(info, (unsigned)which);
}

/* ---- Component state ----------------------------------------------------- */

/* The state bit of a PARTSTAT code; NEEDS-ACTION and every code without a
 * bit of its own count as "needs action". */
static unsigned decision_bit_of(int nPartStat)
{
    if (nPartStat == CALDB_PARTSTAT_ACCEPTED)
        return CALDB_STATE_ACCEPTED;
    if (nPartStat == CALDB_PARTSTAT_DECLINED)
        return CALDB_STATE_DECLINED;
    if (nPartStat == CALDB_PARTSTAT_TENTATIVE)
        return CALDB_STATE_TENTATIVE;
    return CALDB_STATE_NEEDS_ACTION;
}

static bool has_attendees(const CALDB_COMPONENT* pComponent)
{
    return pComponent->aAttendees && pComponent->aAttendees->count > 0;
}

/* ---- Properties -------------------------------------------------------- */

/* DURATION: parsed into *ppDuration, made on the first one. */
static void store_duration(CAL_TIME_DURATION** ppDuration, const char* value)
{
    if (!ppDuration)
        return;
    if (!*ppDuration) {
        *ppDuration = (CAL_TIME_DURATION*)calloc(1, sizeof(CAL_TIME_DURATION));
        if (!*ppDuration)
            return;
    }
    cal_time_buf_to_duration(value, *ppDuration);
}

/* One property line of an event. */
static void store_event_line(CALPARSER_TOKEN* pToken, const CALPARSER_BUILD_STATE* state)
{
    if (!pToken || !state->ppComponent || !*state->ppComponent)
        return;
    CALDB_VEVENT* event = (CALDB_VEVENT*)*state->ppComponent;
    const char* value = pToken->pValue;
    switch (pToken->nType) {
    case TOKEN_DTSTART:
        calparser_storeComponentTime(pToken, state, calparser_storeDateTimeOrDateProperty,
                                     &event->tDtStart, 1, nullptr);
        break;
    case TOKEN_DTEND:
        calparser_storeComponentTime(pToken, state, calparser_storeDateTimeOrDateProperty,
                                     &event->tDtEnd, 0, nullptr);
        break;
    case TOKEN_PRIORITY: {
        int scratch = 0;
        calparser_populateEventPriorityProp(state->ppComponent, value, text_length(value),
                                            &scratch);
        break;
    }
    case TOKEN_STATUS:
        if (calparser_populateEventStatusProp(state->ppComponent, pToken->nValue) != 0)
            kvallog(0, KVALLOG_LEVEL_PARSE,
                    "line (%d), %s: Bad value for STATUS in VEVENT.  Assigning default value of "
                    "CONFIRMED.",
                    (int)pToken->nLine, KVALLOG_CORE_SUBSYSTEM);
        break;
    case TOKEN_TRANSP: calparser_populateTranspProp(state->ppComponent, pToken->nValue); break;
    default: calparser_populateSharedProp(pToken, (CALDB_COMPONENT*)event, state); break;
    }
}

/* What a property stores besides its field: the recurrence lists the
 * expansion reads, the link flag; and the two that have no field of their
 * own. Returns true when that was all. */
static bool store_beside_fields(CALPARSER_TOKEN* pToken, CALDB_COMPONENT* pComponent,
                                const CALPARSER_BUILD_STATE* state)
{
    const char* value = pToken->pValue;
    switch (pToken->nType) {
    case TOKEN_DURATION: store_duration(state->ppDuration, value); return true;
    case TOKEN_X_KVAL_ORIGINAL_DTSTART:
        calparser_addOriginalDtStartXTokenIfNotAlreadyExists(&pComponent->aXProps, value);
        return true;
    case TOKEN_RRULE: calparser_storeRecurrencePropertyToVector(state->pRRules, value); break;
    case TOKEN_EXRULE: calparser_storeRecurrencePropertyToVector(state->pExRules, value); break;
    case TOKEN_EXDATE:
        calparser_storeRecurDateTimePropertyToVector(state->pExDates, value, text_length(value));
        break;
    case TOKEN_RDATE:
        calparser_storeRecurDateTimePeriodPropertyToVector(state->pRDates, state->pRDatePeriods,
                                                           value, text_length(value));
        break;
    case TOKEN_X_KVAL_LINK_CALID: pComponent->bHasLinkCalid = 1; break;
    default: break;
    }
    return false;
}

/* Stores the property into its field by the field's storer. */
static void store_field(const CALPARSER_FIELD& field, CALPARSER_TOKEN* pToken,
                        CALDB_COMPONENT* pComponent, const CALPARSER_BUILD_STATE* state)
{
    const char* value = pToken->pValue;
    void* slot = (char*)pComponent + field.nOffset;
    switch (field.nStorer) {
    case CALPARSER_STORE_TEXT: calparser_recurrence_populateProperties((char**)slot, value); break;
    case CALPARSER_STORE_APPEND: calparser_addStringToPropertyArray((array_t**)slot, value); break;
    case CALPARSER_STORE_ITEMS: calparser_populate_commaListArray((array_t**)slot, value); break;
    case CALPARSER_STORE_DATETIME:
        calparser_storeDateTimePropertyNoTimeZones((int32_t*)slot, value);
        break;
    case CALPARSER_STORE_INTEGER:
        calparser_storeIntegerProperty((int*)slot, value, text_length(value), nullptr);
        break;
    case CALPARSER_STORE_EMAIL: calparser_storeEmailProperty((char**)slot, value); break;
    case CALPARSER_STORE_ATTENDEE:
        calparser_storeAttendeeProperty((array_t**)slot, pToken, 1, state->bResolvedInput,
                                        state->pLookupCtx);
        break;
    case CALPARSER_STORE_ORGANIZER:
        calparser_storeOrganizerProperty((CALDB_ORGANIZER**)slot, pToken);
        break;
    case CALPARSER_STORE_GEO: calparser_populateGeoProp((void**)&pComponent, value); break;
    case CALPARSER_STORE_NONE: break;
    }
}

/* ---- The component build ------------------------------------------------- */

/* What one build holds until it is handed over or released. */
struct ComponentBuild {
    const CALPARSER_COMPONENT_KIND* kind;
    iCal_Token_t method;
    bool building;               /* the pass that builds */
    CAL_VCOMPONENT* wrapper = nullptr;
    CAL_TIME_DURATION* duration = nullptr;
    array_t* alarms = nullptr;
    array_t* info = nullptr;     /* vRecurrenceInfo with its five lists */
    array_t** spare = nullptr;   /* a whole parse's spare vector (see cal_vevent.h) */
    CALPARSER_BUILD_STATE state; /* what the kind's storer writes to */
    bool hasAlarms = false;
    int rc = 0;                  /* what the nested alarms gave */
};

static void release_build(ComponentBuild* build)
{
    CAL_VCOMPONENT_FREE(&build->wrapper);
    cal_time_FreeDuration(&build->duration);
    caldb_FreeList(&build->alarms, CALDB_LIST_ALARMS);
    release_recurrence_info(&build->info);
}

static CALPARSER_TOKEN* token_at(array_t* pTokens, unsigned index)
{
    return (CALPARSER_TOKEN*)array_elementat(pTokens, index);
}

static bool is_end_of(const CALPARSER_TOKEN* token, iCal_Token_t component)
{
    return token->nType == TOKEN_END && token->nValue == component;
}

static bool is_begin_of(const CALPARSER_TOKEN* token, iCal_Token_t component)
{
    return token->nType == TOKEN_BEGIN && token->nValue == component;
}

/* Makes the wrapper and points the storers at its record. Returns 0 or 3. */
static int make_wrapper(ComponentBuild* build)
{
    if (!(build->wrapper = CAL_VCOMPONENT_NEW(build->kind->nKind)))
        return 3;
    build->state.ppComponent = &build->wrapper->pComponent;
    return 0;
}

/* The pre-scan of resolved input: stores the zone-id properties of the
 * component before its DTSTART or DUE needs them. */
static void prescan_zone_ids(ComponentBuild* build, array_t* pTokens, unsigned beginIndex)
{
    const CALPARSER_COMPONENT_KIND* kind = build->kind;
    int stored = 0;
    for (unsigned i = beginIndex + 1; pTokens && i < pTokens->count; i++) {
        CALPARSER_TOKEN* token = token_at(pTokens, i);
        if (!token || is_end_of(token, kind->nComponent))
            return;
        if (token->nType != kind->aZoneProps[0] &&
            !(kind->aZoneProps[1] && token->nType == kind->aZoneProps[1]))
            continue;
        kind->populate(token, &build->state);
        if (++stored >= kind->nZonePropLimit)
            return;
    }
}

/* Makes what the building pass needs (the wrapper unless the pre-scan made
 * it). Returns 0 or 3. */
static int start_build(ComponentBuild* build)
{
    if (build->spare && *build->spare) {
        build->info = *build->spare;
        *build->spare = nullptr;
    } else if (!(build->info = new_recurrence_info())) {
        return 3;
    }
    if (!build->wrapper && make_wrapper(build) != 0)
        return 3;
    build->state.pRRules = recurrence_list(build->info, CALPARSER_VECTOR_RRULES);
    build->state.pRDates = recurrence_list(build->info, CALPARSER_VECTOR_RDATES);
    build->state.pExRules = recurrence_list(build->info, CALPARSER_VECTOR_EXRULES);
    build->state.pExDates = recurrence_list(build->info, CALPARSER_VECTOR_EXDATES);
    build->state.pRDatePeriods = recurrence_list(build->info, CALPARSER_VECTOR_RDATE_PERIODS);
    return 0;
}

static void log_stray_alarm_end(const char* pName, const CALPARSER_TOKEN* token)
{
    kvallog(0, KVALLOG_LEVEL_PARSE,
            "line (%d), %s: Parse error: encountered END:VALARM without matching "
            "BEGIN:VALARM in %s.",
            (int)token->nLine, KVALLOG_CORE_SUBSYSTEM, pName);
}

/* The first walk's callbacks: every property is stored (building pass);
 * nested alarms are only stepped over, to be built by the second walk once
 * the base time is known; a stray END:VALARM is left to that walk. */
static void store_component_line(void* pBuild, CALPARSER_TOKEN* pToken)
{
    ComponentBuild* build = (ComponentBuild*)pBuild;
    if (build->building)
        build->kind->populate(pToken, &build->state);
}

static CALPARSER_NESTED step_over_alarm(void* pBuild, array_t* pTokens, array_iter_t* pCursor)
{
    ComponentBuild* build = (ComponentBuild*)pBuild;
    if (!is_begin_of((const CALPARSER_TOKEN*)pCursor->element, TOKEN_VALARM))
        return CALPARSER_NESTED_NONE;
    build->hasAlarms = true;
    build->rc |= calparser_create_valarm_from_tokens(pTokens, pCursor, nullptr, 0,
                                                     CALPARSER_PASS_WALK, build->method);
    return calparser_walk_after_nested(pCursor, TOKEN_VALARM);
}

static int is_alarm_end(void* pBuild, const CALPARSER_TOKEN* pToken)
{
    (void)pBuild;
    return pToken->nValue == TOKEN_VALARM;
}

/* The first walk: leaves *pCursor where the component ends. Returns the
 * walk's result. */
static int walk_properties(ComponentBuild* build, array_t* pTokens, array_iter_t* pCursor)
{
    const CALPARSER_WALK walk = {build->kind->pName, build->kind->nComponent, build->building,
                                 build, store_component_line, step_over_alarm, is_alarm_end};
    CALPARSER_WALK_END end = calparser_walk_component(&walk, pTokens, pCursor);
    return build->building && end != CALPARSER_WALK_OWN_END ? 2 : build->rc;
}

/* The second walk's state: builds every nested alarm against the base time
 * and reports END:VALARM tokens that no alarm consumed. After an alarm
 * could not be made it only walks on, quietly. */
struct AlarmWalk {
    array_t* alarms;
    long base;
    iCal_Token_t method;
    const char* name;
    int rc;
    bool failed;
};

static CALPARSER_NESTED build_alarm(void* pWalk, array_t* pTokens, array_iter_t* pCursor)
{
    AlarmWalk* walk = (AlarmWalk*)pWalk;
    if (!is_begin_of((const CALPARSER_TOKEN*)pCursor->element, TOKEN_VALARM))
        return CALPARSER_NESTED_NONE;
    int pass = walk->failed ? CALPARSER_PASS_WALK : CALPARSER_PASS_ALARMS;
    int rc = calparser_create_valarm_from_tokens(pTokens, pCursor, walk->alarms, walk->base,
                                                 pass, walk->method);
    if (rc == 3)
        walk->failed = true;
    else if (!walk->failed)
        walk->rc |= rc;
    return calparser_walk_after_nested(pCursor, TOKEN_VALARM);
}

static int report_stray_alarm_end(void* pWalk, const CALPARSER_TOKEN* pToken)
{
    AlarmWalk* walk = (AlarmWalk*)pWalk;
    if (pToken->nValue != TOKEN_VALARM)
        return 0;
    if (!walk->failed) {
        log_stray_alarm_end(walk->name, pToken);
        walk->rc |= 2;
    }
    return 1;
}

/* The second walk, over the tokens the first one passed, from the BEGIN
 * token on; it stops where the first one did, silently. Returns the walk's
 * result, or 3 when an alarm could not be made. */
static int build_alarms(ComponentBuild* build, array_t* pTokens, unsigned beginIndex)
{
    /* Made only here: most components have no alarm, and an empty list for
     * each would be one allocation and one free more per component. */
    if (!build->alarms && !(build->alarms = array_new()))
        return 3;
    AlarmWalk state = {build->alarms, build->kind->alarmBase(build->wrapper->pComponent),
                       build->method, build->kind->pName, 0, false};
    const CALPARSER_WALK walk = {build->kind->pName, build->kind->nComponent, 0, &state, nullptr,
                                 build_alarm, report_stray_alarm_end};
    array_iter_t cursor = {token_at(pTokens, beginIndex), beginIndex + 1};
    if (calparser_walk_enter(pTokens, &cursor) == 0)
        calparser_walk_component(&walk, pTokens, &cursor);
    return state.failed ? 3 : state.rc;
}

/* Whether any of the five lists of `info` holds something. */
static bool has_recurrence_lines(const array_t* info)
{
    for (int i = 0; i < CALPARSER_VECTOR_SIZE; i++)
        if (recurrence_list((array_t*)info, i)->count > 0)
            return true;
    return false;
}

/* Hands the finished component to the outputs; in a whole parse an empty
 * vector goes back to the spare and NULL to pRecurrence. Returns 0, or 3
 * when an append fails (the outputs are then as they were). */
static int hand_over(ComponentBuild* build, array_t* pOutput, array_t* pRecurrence)
{
    bool sparse = build->spare && !has_recurrence_lines(build->info);
    if (array_append(pOutput, build->wrapper) != 0)
        return 3;
    if (pRecurrence && array_append(pRecurrence, sparse ? nullptr : build->info) != 0) {
        array_removeat(pOutput, pOutput->count - 1);
        return 3;
    }
    build->wrapper = nullptr;
    if (pRecurrence && sparse)
        *build->spare = build->info;
    if (pRecurrence)
        build->info = nullptr;
    release_build(build);
    return 0;
}

/* Completion, alarms, state and hand-over of a component whose tokens were
 * walked. Returns the final result. */
static int finish_build(ComponentBuild* build, array_t* pTokens, unsigned beginIndex,
                        array_t* pOutput, array_t* pRecurrence, const CALPARSER_TOKEN* current,
                        int rc)
{
    const CALPARSER_COMPONENT_KIND* kind = build->kind;
    kind->setDefaults(&build->wrapper->pComponent, build->duration);
    cal_time_FreeDuration(&build->duration);

    CALDB_COMPONENT* component = (CALDB_COMPONENT*)build->wrapper->pComponent;
    if (build->hasAlarms) {
        int alarmRc = build_alarms(build, pTokens, beginIndex);
        if (alarmRc == 3) {
            release_build(build);
            return 3;
        }
        rc |= alarmRc;
        component->aAlarms = build->alarms;
        build->alarms = nullptr;
    }

    kind->deriveState(component, build->method);
    if (kind->finish)
        kind->finish(component);

    if (!kind->isValid(component, build->method)) {
        calparser_walk_log_illegal(kind->pName, current);
        release_build(build);
        return rc;
    }
    if (!pOutput) {
        release_build(build); /* nobody to receive it */
        return rc;
    }
    if (hand_over(build, pOutput, pRecurrence) != 0) {
        release_build(build);
        return 3;
    }
    return rc;
}

/* ---- Event kind ---------------------------------------------------------- */

static int event_set_defaults(void** ppComponent, CAL_TIME_DURATION* pDuration)
{
    return calparser_event_set_defaults((CALDB_VEVENT**)ppComponent, pDuration);
}

static long event_alarm_base(const void* pComponent)
{
    return ((const CALDB_VEVENT*)pComponent)->tDtStart;
}

static void event_derive_state(void* pComponent, iCal_Token_t nMethod)
{
    calparser_event_deriveCompState((CALDB_VEVENT*)pComponent, nMethod);
}

static int event_is_valid(void* pComponent, iCal_Token_t nMethod)
{
    return calparser_isValidEvent((CALDB_VEVENT*)pComponent, nMethod);
}

static const CALPARSER_COMPONENT_KIND kEventKind = {
    CALDB_KIND_EVENT,
    TOKEN_VEVENT,
    "VEVENT",
    {TOKEN_X_KVAL_DTSTART_TZID, TOKEN_UNKNOWN},
    1,
    store_event_line,
    event_set_defaults,
    event_alarm_base,
    event_derive_state,
    nullptr,
    event_is_valid,
};

/* ---- Components that are not built ---------------------------------------- */

/* The walk over a component that is not built: nested alarms are walked by
 * the alarm builder (the last one's result is the walk's), and in the
 * alarms' pass a stray END:VALARM is reported. */
struct UnsupportedWalk {
    int pass;
    iCal_Token_t method;
    int rc;
};

static CALPARSER_NESTED walk_unsupported_alarm(void* pWalk, array_t* pTokens,
                                               array_iter_t* pCursor)
{
    UnsupportedWalk* walk = (UnsupportedWalk*)pWalk;
    if (!is_begin_of((const CALPARSER_TOKEN*)pCursor->element, TOKEN_VALARM))
        return CALPARSER_NESTED_NONE;
    walk->rc = calparser_create_valarm_from_tokens(pTokens, pCursor, nullptr, 0, walk->pass,
                                                   walk->method);
    return calparser_walk_after_nested(pCursor, TOKEN_VALARM);
}

static int pass_unsupported_end(void* pWalk, const CALPARSER_TOKEN* pToken)
{
    UnsupportedWalk* walk = (UnsupportedWalk*)pWalk;
    if (pToken->nValue != TOKEN_VALARM || walk->pass != CALPARSER_PASS_ALARMS)
        return 0;
    log_stray_alarm_end("VEVENT", pToken); /* names VEVENT whatever the kind */
    walk->rc = 2;
    return 1;
}

extern "C" {

unsigned calparser_attendeeDecisionBit(const CALDB_COMPONENT* pComponent)
{
    if (!pComponent || !pComponent->pStateAddr || !pComponent->aAttendees)
        return CALDB_STATE_NEEDS_ACTION;
    const array_t* attendees = pComponent->aAttendees;
    for (unsigned i = 0; i < attendees->count; i++) {
        const CALDB_ATTENDEE* attendee = (const CALDB_ATTENDEE*)attendees->data[i];
        if (attendee && attendee->pAddr &&
            PL_strcasecmp(attendee->pAddr, pComponent->pStateAddr) == 0)
            return decision_bit_of(attendee->nPartStat);
    }
    return CALDB_STATE_NEEDS_ACTION;
}

void calparser_event_deriveCompState(CALDB_VEVENT* pEvent, iCal_Token_t nMethod)
{
    if (!pEvent || pEvent->nCompState != CALDB_COMPSTATE_NOT_GIVEN)
        return;
    const CALDB_COMPONENT* component = (const CALDB_COMPONENT*)pEvent;
    unsigned method = (unsigned)calparser_getCompStateMethod(nMethod);
    unsigned state = CALDB_STATE_NONE;
    if (method == CALDB_METHOD_REQUEST) {
        if (has_attendees(component))
            state = calparser_attendeeDecisionBit(component);
    } else if (method == CALDB_METHOD_REPLY) {
        state = calparser_attendeeDecisionBit(component);
        if (state == CALDB_STATE_NEEDS_ACTION)
            method = CALDB_METHOD_REQUEST; /* a reply without a decision asks again */
    }
    pEvent->nCompState = (method << 16) | state;
}

void calparser_storeComponentTime(const CALPARSER_TOKEN* pToken,
                                  const CALPARSER_BUILD_STATE* pState,
                                  CALPARSER_TIME_STORER store, int32_t* pField, int bStart,
                                  const char* pOwnZone)
{
    CALDB_COMPONENT* component = (CALDB_COMPONENT*)*pState->ppComponent;
    char* tzid = nullptr;
    calparser_FindParamInParamList(pToken->pParamList, TOKEN_TZID, &tzid);
    const char* zone = tzid;
    if (!zone && pState->bResolvedInput) {
        zone = pOwnZone                 ? pOwnZone
               : component->pDtStartTzid ? component->pDtStartTzid
                                         : pState->pDefaultTzid;
    }
    store(pField, pState->ppComponent, bStart, pToken->pValue, zone, pState->pTimeZones);
    if (bStart && tzid)
        calparser_keepSeriesZone(component, tzid, pState->pTimeZones);
    if (pState->bResolvedInput && text_length(pToken->pValue) == 8) {
        if (bStart)
            component->bDtStartIsDate = 1;
        else
            component->bDtEndIsDate = 1;
    }
}

int calparser_populateSharedProp(CALPARSER_TOKEN* pToken, CALDB_COMPONENT* pComponent,
                                 const CALPARSER_BUILD_STATE* pState)
{
    if (!pToken || !pComponent)
        return 0;
    if (store_beside_fields(pToken, pComponent, pState))
        return 1;
    const CALPARSER_FIELD* field = calparser_fieldOfProperty(pToken->nType);
    if (!field)
        return 0;
    store_field(*field, pToken, pComponent, pState);
    return 1;
}

void calparser_populateVEventProp(CALPARSER_TOKEN* pToken, CALDB_VEVENT** ppEvent,
                                  CAL_TIME_DURATION** ppDuration, array_t* pRRules,
                                  array_t* pRDates, array_t* pExRules, array_t* pExDates,
                                  array_t* pRDatePeriods, array_t* pTimeZones,
                                  int bResolvedInput, const char* pLookupCtx,
                                  const char* pDefaultTzid)
{
    const CALPARSER_BUILD_STATE state = {(void**)ppEvent, ppDuration, pRRules, pRDates,
                                         pExRules, pExDates, pRDatePeriods, pTimeZones,
                                         bResolvedInput, pLookupCtx, pDefaultTzid};
    store_event_line(pToken, &state);
}

int calparser_event_set_defaults(CALDB_VEVENT** ppEvent, CAL_TIME_DURATION* pDuration)
{
    if (!ppEvent || !*ppEvent)
        return 1;
    CALDB_VEVENT* event = *ppEvent;
    if (event->tDtEnd < 1) {
        event->tDtEnd = event->tDtStart;
        if (pDuration)
            calparser_addDurationToEvent(pDuration, event);
    }
    if (event->bDtStartIsDate)
        event->bDtEndIsDate = 1;
    calparser_addOriginalDtStartXTokenIfNotAlreadyExistsOnComponent((CALDB_COMPONENT*)event);
    return 0;
}

int calparser_isValidEvent(CALDB_VEVENT* pEvent, iCal_Token_t nMethod)
{
    (void)pEvent;
    (void)nMethod;
    return 1;
}

/* calparser_build_component_from_tokens, with a whole parse's spare vector
 * when ppSpare is not NULL. */
static int build_component(const CALPARSER_COMPONENT_KIND* pKind, array_t* pTokens,
                           array_iter_t* pCursor, array_t* pOutput, array_t* pRecurrence,
                           array_t** ppSpare, array_t* pTimeZones, int nPass,
                           iCal_Token_t nMethod, int bResolvedInput, const char* pLookupCtx,
                           const char* pDefaultTzid)
{
    if (!pKind || !pCursor)
        return 1;
    ComponentBuild build;
    build.kind = pKind;
    build.method = nMethod;
    build.spare = ppSpare;
    build.building = nPass == CALPARSER_PASS_COMPONENTS;
    build.state = {nullptr, &build.duration, nullptr, nullptr, nullptr, nullptr, nullptr,
                   pTimeZones, bResolvedInput, pLookupCtx, pDefaultTzid};
    const unsigned beginIndex = pCursor->index > 0 ? pCursor->index - 1 : 0;

    if (build.building && bResolvedInput) {
        if (make_wrapper(&build) != 0)
            return 3;
        prescan_zone_ids(&build, pTokens, beginIndex);
    }
    if (calparser_walk_enter(pTokens, pCursor) != 0) {
        release_build(&build);
        return 1;
    }
    if (build.building && start_build(&build) != 0) {
        release_build(&build);
        return 3;
    }

    int rc = walk_properties(&build, pTokens, pCursor);
    if (!build.building)
        return rc;
    return finish_build(&build, pTokens, beginIndex, pOutput, pRecurrence,
                        (const CALPARSER_TOKEN*)pCursor->element, rc);
}

int calparser_build_component_from_tokens(const CALPARSER_COMPONENT_KIND* pKind,
                                          array_t* pTokens, array_iter_t* pCursor,
                                          array_t* pOutput, array_t* pRecurrence,
                                          array_t* pTimeZones, int nPass, iCal_Token_t nMethod,
                                          int bResolvedInput, const char* pLookupCtx,
                                          const char* pDefaultTzid)
{
    return build_component(pKind, pTokens, pCursor, pOutput, pRecurrence, nullptr, pTimeZones,
                           nPass, nMethod, bResolvedInput, pLookupCtx, pDefaultTzid);
}

int calparser_build_component_in_parse(const CALPARSER_COMPONENT_KIND* pKind, array_t* pTokens,
                                       array_iter_t* pCursor, array_t* pOutput,
                                       array_t* pRecurrence, array_t** ppSpare,
                                       array_t* pTimeZones, int nPass, iCal_Token_t nMethod,
                                       const char* pLookupCtx, const char* pDefaultTzid)
{
    return build_component(pKind, pTokens, pCursor, pOutput, pRecurrence, ppSpare, pTimeZones,
                           nPass, nMethod, 0, pLookupCtx, pDefaultTzid);
}

const CALPARSER_COMPONENT_KIND* calparser_event_kind(void)
{
    return &kEventKind;
}

int calparser_create_vevent_from_tokens(array_t* pTokens, array_iter_t* pCursor,
                                        array_t* pEvents, array_t* pRecurrence,
                                        array_t* pTimeZones, int nPass, iCal_Token_t nMethod,
                                        int bResolvedInput, const char* pLookupCtx,
                                        const char* pDefaultTzid)
{
    return calparser_build_component_from_tokens(&kEventKind, pTokens, pCursor, pEvents,
                                                 pRecurrence, pTimeZones, nPass, nMethod,
                                                 bResolvedInput, pLookupCtx, pDefaultTzid);
}

int calparser_create_unsupported_component_from_tokens(array_t* pTokens, array_iter_t* pCursor,
                                                       iCal_Token_t nKind, array_t* pUnused1,
                                                       array_t* pUnused2, int nPass,
                                                       iCal_Token_t nMethod)
{
    (void)pUnused1;
    (void)pUnused2;
    const char* name = nKind == TOKEN_VJOURNAL    ? "VJOURNAL"
                       : nKind == TOKEN_VFREEBUSY ? "VFREEBUSY"
                                                  : "X-";
    const bool building = nPass == CALPARSER_PASS_COMPONENTS;
    if (calparser_walk_enter(pTokens, pCursor) != 0)
        return 1;
    UnsupportedWalk state = {nPass, nMethod, 0};
    const CALPARSER_WALK walk = {name, nKind, building, &state, nullptr, walk_unsupported_alarm,
                                 pass_unsupported_end};
    CALPARSER_WALK_END end = calparser_walk_component(&walk, pTokens, pCursor);
    return building && end != CALPARSER_WALK_OWN_END ? 2 : state.rc;
}

} /* extern "C" */
