/* The VEVENT builder and the component walk it shares with the to-do
 * builder, the properties both store alike, and the walker over components
 * that are not built. */
#include "core/parser/cal_vevent.h"

#include <stdlib.h>

#include <plstr.h>

#include "core/parser/cal_copy.h"
#include "core/parser/cal_expand.h"
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

/* DTSTART or DTEND of an event: without TZID, resolved input is read in
 * X-KVAL-DTSTART-TZID's zone, else the default. */
static void store_event_time(CALPARSER_TOKEN* pToken, CALDB_VEVENT** ppEvent, int bStart,
                             array_t* pTimeZones, int bResolvedInput, const char* pDefaultTzid)
{
    CALDB_VEVENT* event = *ppEvent;
    const char* zone = event->pDtStartTzid ? event->pDtStartTzid : pDefaultTzid;
    calparser_storeComponentTime(pToken, (void**)ppEvent,
                                 bStart ? &event->tDtStart : &event->tDtEnd, bStart, zone,
                                 pTimeZones, bResolvedInput);
}

/* ---- The component walk -------------------------------------------------- */

/* What one build holds until it is handed over or released. */
struct ComponentBuild {
    CAL_VCOMPONENT* wrapper = nullptr;
    CAL_TIME_DURATION* duration = nullptr;
    array_t* alarms = nullptr;
    array_t* info = nullptr;   /* vRecurrenceInfo with its five lists */
    bool hasAlarms = false;
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

/* The alarm builder's result as part of the component's: a missing alarm
 * body is a parse error of the component, not a missing component. */
static int alarm_result(int rc)
{
    return rc == 1 ? 2 : rc;
}

/* The pre-scan of resolved input: stores the zone-id properties of the
 * component before its DTSTART or DUE needs them. */
static void prescan_zone_ids(const CALPARSER_COMPONENT_KIND* pKind, array_t* pTokens,
                             unsigned beginIndex, void** ppComponent)
{
    int stored = 0;
    for (unsigned i = beginIndex + 1; pTokens && i < pTokens->count; i++) {
        CALPARSER_TOKEN* token = token_at(pTokens, i);
        if (!token || is_end_of(token, pKind->nComponent))
            return;
        if (token->nType != pKind->aZoneProps[0] &&
            !(pKind->aZoneProps[1] && token->nType == pKind->aZoneProps[1]))
            continue;
        pKind->populate(token, ppComponent, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                        nullptr, 0, nullptr, nullptr);
        if (++stored >= pKind->nZonePropLimit)
            return;
    }
}

/* Makes what the building pass needs (the wrapper unless the pre-scan made
 * it). Returns 0 or 3. */
static int start_build(const CALPARSER_COMPONENT_KIND* pKind, ComponentBuild* build)
{
    if (!(build->alarms = array_new()))
        return 3;
    if (!(build->info = new_recurrence_info()))
        return 3;
    if (!build->wrapper && !(build->wrapper = CAL_VCOMPONENT_NEW(pKind->nKind)))
        return 3;
    return 0;
}

/* The messages of both walks: the built components' and the walk over the
 * ones that are not built. `pName` names the component in the message. */
static void log_abrupt_end(const char* pName, const CALPARSER_TOKEN* token)
{
    kvallog(0, KVALLOG_LEVEL_PARSE,
            "line (%d), %s: Parse error: encountered abrupt end of parsing %s.",
            (int)token->nLine, KVALLOG_CORE_SUBSYSTEM, pName);
}

static void log_abrupt_end_of_file(const char* pName)
{
    kvallog(0, KVALLOG_LEVEL_PARSE, "%s: Parse error: reached abrupt end of file in parsing %s.",
            KVALLOG_CORE_SUBSYSTEM, pName);
}

static void log_stray_alarm_end(const char* pName, const CALPARSER_TOKEN* token)
{
    kvallog(0, KVALLOG_LEVEL_PARSE,
            "line (%d), %s: Parse error: encountered END:VALARM without matching "
            "BEGIN:VALARM in %s.",
            (int)token->nLine, KVALLOG_CORE_SUBSYSTEM, pName);
}

/* After the alarm builder returns: true when the alarm was cut short by a
 * token other than its END:VALARM (the END or BEGIN of something else).
 * That token is the enclosing walk's to judge, so the walk must not step
 * past it. */
static bool alarm_cut_short(const array_iter_t* pCursor)
{
    const CALPARSER_TOKEN* stop = (const CALPARSER_TOKEN*)pCursor->element;
    return stop && !is_end_of(stop, TOKEN_VALARM);
}

/* The first walk: stores every property (building pass) and walks nested
 * alarms without building them. Leaves *pCursor where the component ends.
 * Returns the walk's result. */
static int walk_properties(const CALPARSER_COMPONENT_KIND* pKind, ComponentBuild* build,
                           array_t* pTokens, array_iter_t* pCursor, array_t* pTimeZones,
                           int nPass, iCal_Token_t nMethod, int bResolvedInput,
                           const char* pLookupCtx, const char* pDefaultTzid)
{
    const bool building = nPass == CALPARSER_BUILD_PASS;
    int rc = 0;
    while (pCursor->element) {
        CALPARSER_TOKEN* token = (CALPARSER_TOKEN*)pCursor->element;
        if (is_end_of(token, pKind->nComponent))
            return rc;
        if (is_end_of(token, TOKEN_VALARM)) {
            /* a stray one: skipped here, reported by the alarm walk */
        } else if (token->nType == TOKEN_BEGIN && token->nValue == TOKEN_VALARM) {
            /* This walk only steps over alarms; they are built by the second
             * one, once the base time is known. */
            build->hasAlarms = true;
            int walkPass = nPass == CALPARSER_ALARM_BUILD_PASS ? 0 : nPass;
            rc |= alarm_result(calparser_create_valarm_from_tokens(
                pTokens, pCursor, building ? build->alarms : nullptr, 0, walkPass, nMethod));
            if (alarm_cut_short(pCursor))
                continue;
        } else if (token->nType == TOKEN_END || token->nType == TOKEN_BEGIN) {
            if (!building)
                return rc;
            log_abrupt_end(pKind->pName, token);
            return 2;
        } else if (building) {
            array_t* info = build->info;
            pKind->populate(token, &build->wrapper->pComponent, &build->duration,
                            recurrence_list(info, CALPARSER_VECTOR_RRULES),
                            recurrence_list(info, CALPARSER_VECTOR_RDATES),
                            recurrence_list(info, CALPARSER_VECTOR_EXRULES),
                            recurrence_list(info, CALPARSER_VECTOR_EXDATES),
                            recurrence_list(info, CALPARSER_VECTOR_RDATE_PERIODS), pTimeZones,
                            bResolvedInput, pLookupCtx, pDefaultTzid);
        }
        array_findnext(pTokens, pCursor);
    }
    if (building) {
        log_abrupt_end_of_file(pKind->pName);
        rc = 2;
    }
    return rc;
}

/* The second walk, over the tokens the first one passed (from the BEGIN
 * token up to, not including, stopIndex): builds every nested alarm against
 * the component's base time and reports END:VALARM tokens that no alarm
 * consumed. Returns the walk's result, or 3 when an alarm could not be made. */
static int build_alarms(const CALPARSER_COMPONENT_KIND* pKind, ComponentBuild* build,
                        array_t* pTokens, unsigned beginIndex, unsigned stopIndex,
                        iCal_Token_t nMethod)
{
    long base = pKind->alarmBase(build->wrapper->pComponent);
    array_iter_t walk = {token_at(pTokens, beginIndex), beginIndex + 1};
    int rc = 0;
    bool advance = true;
    for (;;) {
        if (advance && !array_findnext(pTokens, &walk))
            break;
        advance = true;
        CALPARSER_TOKEN* token = (CALPARSER_TOKEN*)walk.element;
        if (!token || walk.index - 1 >= stopIndex)
            break;
        if (is_end_of(token, TOKEN_VALARM)) {
            log_stray_alarm_end(pKind->pName, token);
            rc |= 2;
        } else if (token->nType == TOKEN_END) {
            break;
        } else if (token->nType == TOKEN_BEGIN && token->nValue == TOKEN_VALARM) {
            int alarmRc = calparser_create_valarm_from_tokens(pTokens, &walk, build->alarms, base,
                                                              CALPARSER_ALARM_BUILD_PASS, nMethod);
            if (alarmRc == 3)
                return 3;
            rc |= alarm_result(alarmRc);
            advance = !alarm_cut_short(&walk);
        }
    }
    return rc;
}

/* Hands the finished component to the outputs. Returns 0, or 3 when an
 * append fails (the outputs are then as they were). */
static int hand_over(ComponentBuild* build, array_t* pOutput, array_t* pRecurrence)
{
    if (array_append(pOutput, build->wrapper) != 0)
        return 3;
    if (pRecurrence && array_append(pRecurrence, build->info) != 0) {
        array_removeat(pOutput, pOutput->count - 1);
        return 3;
    }
    build->wrapper = nullptr;
    if (pRecurrence)
        build->info = nullptr;
    release_build(build);
    return 0;
}

/* Completion, alarms, state and hand-over of a component whose tokens were
 * walked. Returns the final result. */
static int finish_build(const CALPARSER_COMPONENT_KIND* pKind, ComponentBuild* build,
                        array_t* pTokens, unsigned beginIndex, unsigned stopIndex,
                        array_t* pOutput, array_t* pRecurrence, iCal_Token_t nMethod,
                        const CALPARSER_TOKEN* current, int rc)
{
    pKind->setDefaults(&build->wrapper->pComponent, build->duration);
    cal_time_FreeDuration(&build->duration);

    CALDB_COMPONENT* component = (CALDB_COMPONENT*)build->wrapper->pComponent;
    if (build->hasAlarms) {
        int alarmRc = build_alarms(pKind, build, pTokens, beginIndex, stopIndex, nMethod);
        if (alarmRc == 3) {
            release_build(build);
            return 3;
        }
        rc |= alarmRc;
        component->aAlarms = build->alarms;
        build->alarms = nullptr;
    } else {
        caldb_FreeList(&build->alarms, CALDB_LIST_ALARMS);
    }

    pKind->deriveState(component, nMethod);
    if (pKind->finish)
        pKind->finish(component);

    if (!pKind->isValid(component, nMethod)) {
        kvallog(0, KVALLOG_LEVEL_DROPPED, "line (%d), %s: Parse error: Illegally formatted %s.",
                current ? (int)current->nLine : 0, KVALLOG_CORE_SUBSYSTEM, pKind->pName);
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

static void event_populate(CALPARSER_TOKEN* pToken, void** ppComponent,
                           CAL_TIME_DURATION** ppDuration, array_t* pRRules, array_t* pRDates,
                           array_t* pExRules, array_t* pExDates, array_t* pRDatePeriods,
                           array_t* pTimeZones, int bResolvedInput, const char* pLookupCtx,
                           const char* pDefaultTzid)
{
    calparser_populateVEventProp(pToken, (CALDB_VEVENT**)ppComponent, ppDuration, pRRules,
                                 pRDates, pExRules, pExDates, pRDatePeriods, pTimeZones,
                                 bResolvedInput, pLookupCtx, pDefaultTzid);
}

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
    event_populate,
    event_set_defaults,
    event_alarm_base,
    event_derive_state,
    nullptr,
    event_is_valid,
};

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

void calparser_storeComponentTime(const CALPARSER_TOKEN* pToken, void** ppComponent,
                                  int32_t* pField, int bStart, const char* pResolvedZone,
                                  array_t* pTimeZones, int bResolvedInput)
{
    char* tzid = nullptr;
    calparser_FindParamInParamList(pToken->pParamList, TOKEN_TZID, &tzid);
    const char* zone = tzid;
    if (!zone && bResolvedInput)
        zone = pResolvedZone;
    calparser_storeDateTimeOrDateProperty(pField, ppComponent, bStart, pToken->pValue, zone,
                                          pTimeZones);
    if (bResolvedInput && text_length(pToken->pValue) == 8) {
        CALDB_COMPONENT* component = (CALDB_COMPONENT*)*ppComponent;
        if (bStart)
            component->bDtStartIsDate = 1;
        else
            component->bDtEndIsDate = 1;
    }
}

int calparser_populateSharedProp(CALPARSER_TOKEN* pToken, CALDB_COMPONENT* pComponent,
                                 CAL_TIME_DURATION** ppDuration, array_t* pRRules,
                                 array_t* pRDates, array_t* pExRules, array_t* pExDates,
                                 array_t* pRDatePeriods, int bResolvedInput,
                                 const char* pLookupCtx)
{
    if (!pToken || !pComponent)
        return 0;
    CALDB_COMPONENT* c = pComponent;
    const char* value = pToken->pValue;
    void** ppRecord = (void**)&pComponent;
    switch (pToken->nType) {
    case TOKEN_ATTACH: calparser_addStringToPropertyArray(&c->aAttachments, value); break;
    case TOKEN_ATTENDEE:
        calparser_storeAttendeeProperty(&c->aAttendees, pToken, 1, bResolvedInput, pLookupCtx);
        break;
    case TOKEN_CATEGORIES: calparser_populate_commaListArray(&c->aCategories, value); break;
    case TOKEN_CLASS: calparser_recurrence_populateProperties(&c->pClass, value); break;
    case TOKEN_COMMENT: calparser_addStringToPropertyArray(&c->aComments, value); break;
    case TOKEN_CONTACT: calparser_addStringToPropertyArray(&c->aContacts, value); break;
    case TOKEN_CREATED: calparser_storeDateTimePropertyNoTimeZones(&c->tCreated, value); break;
    case TOKEN_DESCRIPTION: calparser_recurrence_populateProperties(&c->pDescription, value); break;
    case TOKEN_DURATION: store_duration(ppDuration, value); break;
    case TOKEN_EXDATE:
        calparser_storeRecurDateTimePropertyToVector(pExDates, value, text_length(value));
        calparser_populate_commaListArray(&c->aExDates, value);
        break;
    case TOKEN_EXRULE:
        calparser_storeRecurrencePropertyToVector(pExRules, value);
        calparser_addStringToPropertyArray(&c->aExRules, value);
        break;
    case TOKEN_GEO: calparser_populateGeoProp(ppRecord, value); break;
    case TOKEN_LAST_MODIFIED:
        calparser_storeDateTimePropertyNoTimeZones(&c->tLastModified, value);
        break;
    case TOKEN_LOCATION: calparser_recurrence_populateProperties(&c->pLocation, value); break;
    case TOKEN_ORGANIZER: calparser_storeOrganizerProperty(&c->pOrganizer, pToken); break;
    case TOKEN_RDATE:
        calparser_storeRecurDateTimePeriodPropertyToVector(pRDates, pRDatePeriods, value,
                                                           text_length(value));
        calparser_populate_commaListArray(&c->aRDates, value);
        break;
    case TOKEN_RECURRENCE_ID:
        calparser_storeDateTimePropertyNoTimeZones(&c->tRecurrenceId, value);
        break;
    case TOKEN_RELATED_TO: calparser_addStringToPropertyArray(&c->aRelatedTo, value); break;
    case TOKEN_RESOURCES: calparser_populate_commaListArray(&c->aResources, value); break;
    case TOKEN_RRULE:
        calparser_storeRecurrencePropertyToVector(pRRules, value);
        calparser_addStringToPropertyArray(&c->aRRules, value);
        break;
    case TOKEN_SEQUENCE:
        calparser_storeIntegerProperty(&c->nSequence, value, text_length(value), nullptr);
        break;
    case TOKEN_SUMMARY: calparser_recurrence_populateProperties(&c->pSummary, value); break;
    case TOKEN_UID: calparser_recurrence_populateProperties(&c->pUid, value); break;
    case TOKEN_URL: calparser_recurrence_populateProperties(&c->pUrl, value); break;
    case TOKEN_X_KVAL_CHARSET: calparser_recurrence_populateProperties(&c->pCharset, value); break;
    case TOKEN_X_KVAL_DTSTART_TZID:
        calparser_recurrence_populateProperties(&c->pDtStartTzid, value);
        break;
    case TOKEN_X_KVAL_GSE_COMPONENT_STATE:
        calparser_storeIntegerProperty((int*)&c->nCompState, value, text_length(value), nullptr);
        break;
    case TOKEN_X_KVAL_LANGUAGE: calparser_recurrence_populateProperties(&c->pLanguage, value); break;
    case TOKEN_X_KVAL_LINK_CALID:
        calparser_recurrence_populateProperties(&c->pLinkCalid, value);
        c->bHasLinkCalid = 1;
        break;
    case TOKEN_X_KVAL_ORGANIZER_EMAIL: calparser_storeEmailProperty(&c->pOrganizerEmail, value); break;
    case TOKEN_X_KVAL_ORIGINAL_DTSTART:
        calparser_addOriginalDtStartXTokenIfNotAlreadyExists(&c->aXProps, value);
        break;
    case TOKEN_X_Z9KQ_RECURRENCE_COUNT:
        calparser_storeIntegerProperty(&c->nRecurCount, value, text_length(value), nullptr);
        break;
    case TOKEN_X_Z9KQ_RECURRENCE_EXDATELIST:
        calparser_populate_commaListArray(&c->aRecurExDateList, value);
        break;
    case TOKEN_X_Z9KQ_RECURRENCE_RDATELIST:
        calparser_populate_commaListArray(&c->aRecurRDateList, value);
        break;
    case TOKEN_X_Z9KQ_RECURRENCE_UNTIL:
        calparser_recurrence_populateProperties(&c->pRecurUntil, value);
        break;
    case TOKEN_X: calparser_addStringToPropertyArray(&c->aXProps, value); break;
    default: return 0;
    }
    return 1;
}

void calparser_populateVEventProp(CALPARSER_TOKEN* pToken, CALDB_VEVENT** ppEvent,
                                  CAL_TIME_DURATION** ppDuration, array_t* pRRules,
                                  array_t* pRDates, array_t* pExRules, array_t* pExDates,
                                  array_t* pRDatePeriods, array_t* pTimeZones,
                                  int bResolvedInput, const char* pLookupCtx,
                                  const char* pDefaultTzid)
{
    if (!pToken || !ppEvent || !*ppEvent)
        return;
    CALDB_VEVENT* event = *ppEvent;
    const char* value = pToken->pValue;
    switch (pToken->nType) {
    case TOKEN_DTSTART:
    case TOKEN_DTEND:
        store_event_time(pToken, ppEvent, pToken->nType == TOKEN_DTSTART, pTimeZones,
                         bResolvedInput, pDefaultTzid);
        break;
    case TOKEN_PRIORITY: {
        int scratch = 0;
        calparser_populateEventPriorityProp((void**)ppEvent, value, text_length(value), &scratch);
        break;
    }
    case TOKEN_STATUS:
        if (calparser_populateEventStatusProp((void**)ppEvent, pToken->nValue) != 0)
            kvallog(0, KVALLOG_LEVEL_PARSE,
                    "line (%d), %s: Bad value for STATUS in VEVENT.  Assigning default value of "
                    "CONFIRMED.",
                    (int)pToken->nLine, KVALLOG_CORE_SUBSYSTEM);
        break;
    case TOKEN_TRANSP: calparser_populateTranspProp((void**)ppEvent, pToken->nValue); break;
    case TOKEN_X_Z9KQ_ATTENDEE_EXDATELIST:
        calparser_populate_commaListArray(&event->aAttendeeExDateList, value);
        break;
    case TOKEN_X_Z9KQ_ATTENDEE_RDATELIST:
        calparser_populate_commaListArray(&event->aAttendeeRDateList, value);
        break;
    default:
        calparser_populateSharedProp(pToken, (CALDB_COMPONENT*)event, ppDuration, pRRules,
                                     pRDates, pExRules, pExDates, pRDatePeriods, bResolvedInput,
                                     pLookupCtx);
        break;
    }
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

int calparser_build_component_from_tokens(const CALPARSER_COMPONENT_KIND* pKind,
                                          array_t* pTokens, array_iter_t* pCursor,
                                          array_t* pOutput, array_t* pRecurrence,
                                          array_t* pTimeZones, int nPass, iCal_Token_t nMethod,
                                          int bResolvedInput, const char* pLookupCtx,
                                          const char* pDefaultTzid)
{
    if (!pKind || !pCursor)
        return 1;
    const bool building = nPass == CALPARSER_BUILD_PASS;
    ComponentBuild build;
    const unsigned beginIndex = pCursor->index > 0 ? pCursor->index - 1 : 0;

    if (building && bResolvedInput) {
        if (!(build.wrapper = CAL_VCOMPONENT_NEW(pKind->nKind)))
            return 3;
        prescan_zone_ids(pKind, pTokens, beginIndex, &build.wrapper->pComponent);
    }
    if (!array_findnext(pTokens, pCursor) || !pCursor->element) {
        release_build(&build);
        return 1;
    }
    if (building && start_build(pKind, &build) != 0) {
        release_build(&build);
        return 3;
    }

    int rc = walk_properties(pKind, &build, pTokens, pCursor, pTimeZones, nPass, nMethod,
                             bResolvedInput, pLookupCtx, pDefaultTzid);
    if (!building)
        return rc;
    const unsigned stopIndex = pCursor->element ? pCursor->index - 1 : pTokens->count;
    return finish_build(pKind, &build, pTokens, beginIndex, stopIndex, pOutput, pRecurrence,
                        nMethod, (const CALPARSER_TOKEN*)pCursor->element, rc);
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
    const bool building = nPass == CALPARSER_BUILD_PASS;
    if (!pCursor || !array_findnext(pTokens, pCursor) || !pCursor->element)
        return 1;
    int rc = 0;
    while (pCursor->element) {
        CALPARSER_TOKEN* token = (CALPARSER_TOKEN*)pCursor->element;
        if (is_end_of(token, nKind))
            return rc;
        if (is_end_of(token, TOKEN_VALARM) && nPass == CALPARSER_ALARM_BUILD_PASS) {
            log_stray_alarm_end("VEVENT", token); /* names VEVENT whatever the kind */
            rc = 2;
        } else if (token->nType == TOKEN_BEGIN && token->nValue == TOKEN_VALARM) {
            rc = calparser_create_valarm_from_tokens(pTokens, pCursor, nullptr, 0, nPass, nMethod);
            if (alarm_cut_short(pCursor))
                continue;
        } else if (token->nType == TOKEN_END || token->nType == TOKEN_BEGIN) {
            if (!building)
                return rc;
            log_abrupt_end(name, token);
            return 2;
        }
        array_findnext(pTokens, pCursor);
    }
    if (!building)
        return rc;
    log_abrupt_end_of_file(name);
    return 2;
}

} /* extern "C" */
