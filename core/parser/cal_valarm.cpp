/* The VALARM builder: walks the tokens of one alarm and, in the building
 * pass, stores its properties into a CALDB_VALARM for the enclosing
 * component's alarm list. */
#include "core/parser/cal_valarm.h"

#include <time.h>

#include <plstr.h>

#include "core/parser/cal_walk.h"
#include "core/parser/calparser_time.h"
#include "core/parser/populate.h"
#include "public/core_util/cal_time.h"
#include "public/util/kvallog.h"

static const char kMailtoPrefix[] = "MAILTO:";

/* `tBase` plus the DURATION text `text` into *ptOut. Returns 0, or non-zero
 * when the text is not a duration or the sum does not fit (nothing stored). */
static int add_duration_text(const char* text, time_t tBase, time_t* ptOut)
{
    CAL_TIME_DURATION duration = {};
    if (cal_time_buf_to_duration(text, &duration) != 0)
        return 1;
    return cal_time_addDurationToTimeT(&duration, tBase, ptOut) != 0;
}

/* TRIGGER: an absolute UTC (or default-zone) date-time when the VALUE
 * parameter says DATE-TIME, else a signed duration from tBase. */
static void store_trigger(CALDB_VALARM* pAlarm, CALPARSER_TOKEN* pToken, long tBase)
{
    if (!pToken->pValue)
        return;
    char* valueType = nullptr;
    calparser_FindParamInParamList(pToken->pParamList, TOKEN_VALUE, &valueType);
    time_t when = 0;
    if (valueType && PL_strcasecmp(valueType, "DATE-TIME") == 0) {
        calparser_datez_to_timet(pToken->pValue, &when, nullptr, nullptr);
        pAlarm->tTrigger = (int32_t)when;
    } else if (add_duration_text(pToken->pValue, (time_t)tBase, &when) == 0) {
        pAlarm->tTrigger = (int32_t)when;
    }
}

/* ATTENDEE: the address without "mailto:", appended to the alarm's list. */
static int store_alarm_attendee(CALDB_VALARM* pAlarm, const char* value)
{
    char* address = nullptr;
    if (calparser_valarm_stripMailto(value, &address) != 0)
        return 3;
    if (!address)
        return 0;
    int rc = calparser_addStringToPropertyArray(&pAlarm->aAttendees, address);
    PL_strfree(address);
    return rc == 3 ? 3 : 0;
}

/* What the walk's property callback stores into. */
struct AlarmBuild {
    CALDB_VALARM* alarm;
    long base; /* what a relative TRIGGER counts from */
};

static void store_alarm_line(void* pBuild, CALPARSER_TOKEN* pToken)
{
    AlarmBuild* build = static_cast<AlarmBuild*>(pBuild);
    calparser_populateAlarmProp(pToken, &build->alarm, nullptr, build->base);
}

extern "C" {

int calparser_valarm_stripMailto(const char* text, char** ppOut)
{
    if (!text || !ppOut || *ppOut)
        return 0;
    const char* address = text;
    const char* prefix = PL_strcasestr(text, kMailtoPrefix);
    if (prefix && prefix[sizeof kMailtoPrefix - 1] != '\0')
        address = prefix + sizeof kMailtoPrefix - 1;
    *ppOut = PL_strdup(address);
    return *ppOut ? 0 : 3;
}

int calparser_isValidAlarm(CALDB_VALARM* pAlarm)
{
    (void)pAlarm;
    return 1;
}

int calparser_populateAlarmProp(CALPARSER_TOKEN* pToken, CALDB_VALARM** ppAlarm,
                                array_t* pUnused, long tBase)
{
    (void)pUnused;
    if (!pToken || !ppAlarm || !*ppAlarm)
        return 0;
    CALDB_VALARM* alarm = *ppAlarm;
    const char* value = pToken->pValue;
    int rc = 0;
    switch (pToken->nType) {
    case TOKEN_TRIGGER:
        store_trigger(alarm, pToken, tBase);
        break;
    case TOKEN_DURATION: {
        time_t seconds = 0;
        if (value && add_duration_text(value, 0, &seconds) == 0)
            alarm->nDuration = (int)seconds;
        break;
    }
    case TOKEN_REPEAT:
        if (value)
            calparser_storeIntegerProperty(&alarm->nRepeat, value, (int)PL_strlen(value), nullptr);
        break;
    case TOKEN_ACTION:
        calparser_populateActionProp(&alarm->nAction, pToken->nValue);
        break;
    case TOKEN_SUMMARY:
        rc = calparser_recurrence_populateProperties(&alarm->pSummary, value);
        break;
    case TOKEN_DESCRIPTION:
        rc = calparser_recurrence_populateProperties(&alarm->pDescription, value);
        break;
    case TOKEN_ATTENDEE:
        rc = store_alarm_attendee(alarm, value);
        break;
    case TOKEN_X:
        rc = calparser_addStringToPropertyArray(&alarm->aXProps, value);
        break;
    default:
        break;
    }
    return rc == 3 ? 3 : 0;
}

int calparser_create_valarm_from_tokens(array_t* pTokens, array_iter_t* pCursor,
                                        array_t* pAlarms, long tBase, int nPass,
                                        iCal_Token_t nMethod)
{
    (void)nMethod;
    const bool building = nPass == CALPARSER_PASS_ALARMS;
    if (calparser_walk_enter(pTokens, pCursor) != 0)
        return 1;

    AlarmBuild build = {nullptr, tBase};
    if (building && !(build.alarm = caldb_NewAlarm()))
        return 3;
    const CALPARSER_WALK walk = {"VALARM", TOKEN_VALARM, building, &build,
                                 building ? store_alarm_line : nullptr, nullptr, nullptr};
    CALPARSER_WALK_END end = calparser_walk_component(&walk, pTokens, pCursor);
    if (!building)
        return 0;

    const CALPARSER_TOKEN* current = (const CALPARSER_TOKEN*)pCursor->element;
    /* A BEGIN met inside leaves the alarm complete; another END cut it off. */
    int rc = end == CALPARSER_WALK_CUT_SHORT && current->nType == TOKEN_END ? 2 : 0;
    if (pAlarms && calparser_isValidAlarm(build.alarm)) {
        if (array_append(pAlarms, build.alarm) != 0) {
            caldb_FreeAlarm(&build.alarm);
            return 3;
        }
        return rc;
    }
    calparser_walk_log_illegal("VALARM", current);
    caldb_FreeAlarm(&build.alarm);
    return rc;
}

} /* extern "C" */
