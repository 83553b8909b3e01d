/* Scalar storers: integers, priority, status, transparency, alarm action and
 * the GEO position. */
#include "core/parser/populate.h"

#include <ctype.h>
#include <math.h>
#include <plstr.h>
#include <stdlib.h>

#include "public/core_util/cal_time.h"
#include "public/core_util/parseutil.h"

namespace {

constexpr unsigned kPriorityMask = 0xF;
constexpr double kMicroDegreesPerDegree = 1000000.0;
constexpr int kMicroDigits = 6;

/* The shared head of the event or to-do *ppComponent, or NULL. */
CALDB_COMPONENT* component_of(void** ppComponent)
{
    return ppComponent ? static_cast<CALDB_COMPONENT*>(*ppComponent) : nullptr;
}

int32_t clamp_to_int32(double value)
{
    if (isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return INT32_MAX;
    if (value <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(value);  // truncates toward zero
}

/* Degrees in `text` as millionths of a degree, truncated toward zero.
 * A plain decimal ("-122.082932") is read digit by digit, so no binary
 * rounding can lose a millionth; any other form goes through atof. */
int32_t micro_degrees(const char* text)
{
    const char* p = text;
    while (isspace(static_cast<unsigned char>(*p)))
        p++;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        p++;
    const char* digits = p;
    long long whole = 0;
    while (isdigit(static_cast<unsigned char>(*p)) && whole < 10000000000LL)
        whole = whole * 10 + (*p++ - '0');
    long long fraction = 0;
    int fractionDigits = 0;
    if (*p == '.') {
        p++;
        for (; isdigit(static_cast<unsigned char>(*p)); p++)
            if (fractionDigits < kMicroDigits) {
                fraction = fraction * 10 + (*p - '0');
                fractionDigits++;
            }
    }
    bool plainDecimal = p > digits && !isdigit(static_cast<unsigned char>(*p)) && *p != 'e' &&
                        *p != 'E' && *p != 'x' && *p != 'X';
    if (!plainDecimal)
        return clamp_to_int32(atof(text) * kMicroDegreesPerDegree);
    for (; fractionDigits < kMicroDigits; fractionDigits++)
        fraction *= 10;
    double micro = static_cast<double>(whole * 1000000 + fraction);
    return clamp_to_int32(negative ? -micro : micro);
}

}  // namespace

extern "C" {

int calparser_storeIntegerProperty(int* pnField, const char* text, int nLen, int* pnScratch)
{
    int local = 0;
    if (!pnScratch)
        pnScratch = &local;
    if (pnField && text && cal_time_atoi_size(text, nLen, pnScratch) == 0)
        *pnField = *pnScratch;
    return 0;
}

/* Both kinds keep nPriority in the shared head. */
static int populate_priority(void** ppComponent, const char* text, int nLen, int* pnScratch)
{
    CALDB_COMPONENT* component = component_of(ppComponent);
    if (!component)
        return 1;
    int number = 0;
    calparser_storeIntegerProperty(&number, text, nLen, pnScratch);
    component->nPriority = static_cast<unsigned>(number) & kPriorityMask;
    return 0;
}

int calparser_populateEventPriorityProp(void** ppComponent, const char* text, int nLen,
                                        int* pnScratch)
{
    return populate_priority(ppComponent, text, nLen, pnScratch);
}

int calparser_populateTodoPriorityProp(void** ppComponent, const char* text, int nLen,
                                       int* pnScratch)
{
    return populate_priority(ppComponent, text, nLen, pnScratch);
}

int calparser_populateEventStatusProp(void** ppComponent, iCal_Token_t nValue)
{
    CALDB_COMPONENT* component = component_of(ppComponent);
    if (!component)
        return 1;
    switch (nValue) {
    case TOKEN_TENTATIVE: component->nStatus = CALDB_STATUS_TENTATIVE; return 0;
    case TOKEN_CANCELLED: component->nStatus = CALDB_STATUS_CANCELLED; return 0;
    case TOKEN_CONFIRMED: component->nStatus = CALDB_STATUS_CONFIRMED; return 0;
    default: component->nStatus = CALDB_STATUS_CONFIRMED; return 2;
    }
}

int calparser_populateTodoStatusProp(void** ppComponent, iCal_Token_t nValue)
{
    CALDB_COMPONENT* component = component_of(ppComponent);
    if (!component)
        return 1;
    switch (nValue) {
    case TOKEN_COMPLETED: component->nStatus = CALDB_STATUS_COMPLETED; return 0;
    case TOKEN_NEEDS_ACTION: component->nStatus = CALDB_STATUS_NEEDS_ACTION; return 0;
    case TOKEN_CANCELLED: component->nStatus = CALDB_STATUS_CANCELLED; return 0;
    case TOKEN_IN_PROCESS: component->nStatus = CALDB_STATUS_IN_PROCESS; return 0;
    default: component->nStatus = CALDB_STATUS_NEEDS_ACTION; return 2;
    }
}

void calparser_populateTranspProp(void** ppComponent, iCal_Token_t nValue)
{
    CALDB_COMPONENT* component = component_of(ppComponent);
    if (component)
        component->bTransparent = nValue == TOKEN_TRANSPARENT ? 1 : 0;
}

void calparser_populateActionProp(int* pnAction, iCal_Token_t nValue)
{
    if (!pnAction)
        return;
    switch (nValue) {
    case TOKEN_AUDIO: *pnAction = CALDB_ALARM_AUDIO; break;
    case TOKEN_DISPLAY: *pnAction = CALDB_ALARM_DISPLAY; break;
    case TOKEN_PROCEDURE: *pnAction = CALDB_ALARM_PROCEDURE; break;
    case TOKEN_X_TAVO_FLASHING: *pnAction = CALDB_ALARM_FLASHING; break;
    default: *pnAction = CALDB_ALARM_EMAIL; break;
    }
}

int calparser_populateGeoProp(void** ppComponent, const char* text)
{
    CALDB_COMPONENT* component = component_of(ppComponent);
    if (!component || !text)
        return 1;
    char** parts = nullptr;
    int count = 0;
    if (cal_parseutil_get_semicolon_list(text, &parts, &count) != 0)
        return 3;
    int rc = 1;
    if (count == 2) {
        component->nGeoLat = micro_degrees(parts[0]);
        component->nGeoLon = micro_degrees(parts[1]);
        rc = 0;
    }
    cal_parseutil_free_char_list(&parts, count);
    return rc;
}

}  // extern "C"
