/* Component helpers: recognising the original-start line, the
 * component-state method code, and times computed from a duration. The
 * original-start line's conversions live in calparserutil_xtoken.cpp. */
#include "core/parser/calparserutil.h"

#include <plstr.h>

int isOriginalDTStartXTokenString(const char* text) {
    if (!text) return 0;
    return PL_strcasestr(text, CALPARSER_ORIGINAL_DTSTART_NAME) != nullptr;
}

char* getOriginalDtStartXToken(const array_t* lines) {
    if (!lines) return nullptr;
    for (unsigned i = 0; i < lines->count; i++) {
        char* line = static_cast<char*>(lines->data[i]);
        if (isOriginalDTStartXTokenString(line)) return line;
    }
    return nullptr;
}

int hasOriginalDtStartXToken(const array_t* lines) {
    return getOriginalDtStartXToken(lines) != nullptr;
}

int calparser_getCompStateMethod(iCal_Token_t method) {
    switch (method) {
    case TOKEN_REQUEST: return CALDB_METHOD_REQUEST;
    case TOKEN_REPLY: return CALDB_METHOD_REPLY;
    case TOKEN_CANCEL: return CALDB_METHOD_CANCEL;
    case TOKEN_COUNTER: return CALDB_METHOD_COUNTER;
    default: return CALDB_METHOD_PUBLISH;
    }
}

int calparser_addDurationToEvent(const CAL_TIME_DURATION* duration, CALDB_VEVENT* event) {
    if (!duration || !event) return 1;
    time_t end = 0;
    bool added = cal_time_addDurationToTimeT(duration, event->tDtStart, &end) == 0;
    event->tDtEnd = added ? static_cast<int32_t>(end) : event->tDtStart;
    return 0;
}

int calparser_addDurationToTodo(const CAL_TIME_DURATION* duration, CALDB_VTODO* todo) {
    if (!duration || !todo) return 1;
    time_t due = 0;
    bool added = cal_time_addDurationToTimeT(duration, todo->tDtStart, &due) == 0;
    todo->tDue = added ? static_cast<int32_t>(due) : todo->tDtStart;
    return 0;
}

int calparser_computeAlarmTrigger(const CAL_TIME_DURATION* duration, time_t base, time_t* pOut) {
    if (!duration || base == 0 || !pOut) return 1;
    time_t trigger = 0;
    if (cal_time_addDurationToTimeT(duration, base, &trigger) != 0) return 1;
    *pOut = trigger;
    return 0;
}
