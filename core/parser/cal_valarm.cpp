/* The VALARM builder: walks the tokens of one alarm and, in the building
 * pass, stores its properties into a CALDB_VALARM for the enclosing
 * component's alarm list. */
#include "core/parser/cal_valarm.h"

#include <time.h>

#include <plstr.h>

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
    const bool building = nPass == CALPARSER_ALARM_BUILD_PASS;
    if (!pCursor)
        return 1;
    int more = array_findnext(pTokens, pCursor);
    if (!pCursor->element)
        return 1;

    CALDB_VALARM* alarm = nullptr;
    if (building && !(alarm = caldb_NewAlarm()))
        return 3;

    int rc = 0;
    bool ranOut = true;
    while (more && pCursor->element) {
        CALPARSER_TOKEN* token = (CALPARSER_TOKEN*)pCursor->element;
        if (token->nType == TOKEN_END && token->nValue == TOKEN_VALARM) {
            ranOut = false;
            break;
        }
        if (token->nType == TOKEN_END || token->nType == TOKEN_BEGIN) {
            /* Another component's END closes the alarm too early; a BEGIN
             * is left current for the enclosing walk. */
            if (building) {
                kvallog(0, KVALLOG_LEVEL_PARSE,
                        "line (%d), %s: Parse error: encountered abrupt end of parsing VALARM.",
                        (int)token->nLine, KVALLOG_CORE_SUBSYSTEM);
                if (token->nType == TOKEN_END)
                    rc = 2;
            }
            ranOut = false;
            break;
        }
        if (building)
            calparser_populateAlarmProp(token, &alarm, nullptr, tBase);
        more = array_findnext(pTokens, pCursor);
    }
    if (!building)
        return rc;
    if (ranOut)
        kvallog(0, KVALLOG_LEVEL_PARSE,
                "%s: Parse error: reached abrupt end of file in parsing VALARM.",
                KVALLOG_CORE_SUBSYSTEM);

    if (pAlarms && calparser_isValidAlarm(alarm)) {
        if (array_append(pAlarms, alarm) != 0) {
            caldb_FreeAlarm(&alarm);
            return 3;
        }
        return rc;
    }
    const CALPARSER_TOKEN* current = (const CALPARSER_TOKEN*)pCursor->element;
    kvallog(0, KVALLOG_LEVEL_DROPPED, "line (%d), %s: Parse error: Illegally formatted VALARM.",
            current ? (int)current->nLine : 0, KVALLOG_CORE_SUBSYSTEM);
    caldb_FreeAlarm(&alarm);
    return rc;
}

} /* extern "C" */
