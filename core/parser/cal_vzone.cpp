/* STANDARD and DAYLIGHT sub-zones: the walk, the properties and the rule. */
#include "core/parser/cal_vzone.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <plstr.h>

#include "core/parser/cal_walk.h"
#include "core/parser/populate.h"
#include "public/core_util/datetime.h"

namespace {

constexpr int kMsPerSecond = 1000;
constexpr int kNoMonth = -1;
constexpr int kNoDay = -1;
constexpr int kNoWeek = 0;
constexpr int kLastWeek = -1;
/* A weekday that is the 4th or 5th of its month is taken for the last one. */
constexpr int kFirstWeekCountedAsLast = 4;
/* Room for the longest date-time form, "YYYYMMDDTHHMMSSZ", and its NUL. */
constexpr size_t kDateTimeRoom = 17;
/* Room for a sub-zone's name in the messages, "DAYLIGHT TimeZone part". */
constexpr size_t kNameRoom = 96;

void reset_rule(CAL_VZONE* zone)
{
    zone->nMonth = kNoMonth;
    zone->nDayOfWeek = kNoDay;
    zone->nWeek = kNoWeek;
}

/* The number `text` begins with (after blanks, with a sign), as atoi reads
 * it, held within -INT_MAX..INT_MAX; 0 when it begins with none. */
int leading_number(const char* text)
{
    long value = strtol(text, nullptr, 10);
    return value < -INT_MAX ? -INT_MAX : value > INT_MAX ? INT_MAX : (int)value;
}

/* The week digit `c` as a number, 0 when it is no digit. Its range is the
 * zone's to judge (create_SimpleTimeZone). */
int read_week_digit(char c)
{
    return (c >= '0' && c <= '9') ? c - '0' : 0;
}

/* A BYDAY of the form "2SU" or "-1SU"/"+1SU" into the rule; any other length
 * is not a single change day and is passed over. False when unreadable: a
 * sign other than "+" or "-", or a day name other than SU .. SA. */
bool read_byday(CAL_VZONE* zone, const char* value)
{
    size_t len = strlen(value);
    int sign = 1;
    const char* digit = value;
    if (len == 4) {
        if (value[0] != '+' && value[0] != '-')
            return false;
        sign = value[0] == '-' ? -1 : 1;
        digit = value + 1;
    } else if (len != 3) {
        return true;
    }
    int dayError = 0;
    int day = calparser_stringToDay(digit + 1, 2, &dayError);
    if (dayError)
        return false;
    zone->nWeek = sign * read_week_digit(*digit);
    zone->nDayOfWeek = day;
    return true;
}

/* Applies one part of a recurrence rule. False when the part is unreadable. */
bool apply_rule_part(CAL_VZONE* zone, const CALPARSER_PARAM* part)
{
    const char* value = part->pValue ? part->pValue : "";
    switch (part->nType) {
    case TOKEN_BYMONTH:
        /* The first month of a list counts; a text without a number gives
         * no month, which leaves no rule. */
        zone->nMonth = leading_number(value) - 1;
        return true;
    case TOKEN_BYDAY:
        return read_byday(zone, value);
    case TOKEN_BYMONTHDAY:
        /* Only a list says anything here: its first number is the week. */
        if (strchr(value, ','))
            zone->nWeek = leading_number(value);
        return true;
    default:
        return true;
    }
}

/* Reads the change rule of an RRULE value into the sub-zone. The value is
 * parsed as the parameters of a content line, ";" + value + ":", so that each
 * rule part becomes a CALPARSER_PARAM typed by its part name. Returns 0, or 3
 * when memory runs out (the rule is then unchanged). */
int read_rule_from_rrule(CAL_VZONE* zone, const char* value)
{
    int rc = 0;
    bool readable = true;
    size_t len = strlen(value);
    char* line = (char*)malloc(len + 4);
    CALPARSER_TOKEN* token = nullptr;
    if (!line || !(token = calparser_NewToken())) {
        rc = 3;
        goto done;
    }
    line[0] = ';';
    memcpy(line + 1, value, len);
    line[len + 1] = ':';
    line[len + 2] = '\0';
    if (calparser_populateRecurrence_token(&token, line, 0) != 0) {
        rc = 3;
        goto done;
    }
    for (unsigned i = 0; i < token->pParamList->count; i++) {
        const CALPARSER_PARAM* part = (const CALPARSER_PARAM*)token->pParamList->data[i];
        if (part && !apply_rule_part(zone, part))
            readable = false;
    }
    if (!readable || zone->nMonth == kNoMonth ||
        (zone->nDayOfWeek == kNoDay && zone->nWeek == kNoWeek))
        reset_rule(zone);
done:
    calparser_FreeToken(&token);
    free(line);
    return rc;
}

/* Reads the change rule of an RDATE from its first date-time: the month,
 * the weekday and which such weekday of its month it is. A value whose first
 * item is no date-time leaves the rule unchanged. */
void read_rule_from_rdate(CAL_VZONE* zone, const char* value)
{
    size_t len = strcspn(value, ",;");
    if (len >= kDateTimeRoom)
        return;
    char first[kDateTimeRoom] = {0};
    memcpy(first, value, len);
    int month = datetime_get(first, DATETIME_FIELD_MONTH);
    if (month < 0)
        return;
    int week = datetime_get(first, DATETIME_FIELD_WEEK_IN_MONTH);
    zone->nMonth = month;
    zone->nWeek = week >= kFirstWeekCountedAsLast ? kLastWeek : week;
    zone->nDayOfWeek = datetime_get(first, DATETIME_FIELD_DAY_OF_WEEK);
}

void store_dtstart(CAL_VZONE* zone, const char* value)
{
    calparser_storeDateTimePropertyNoTimeZones(&zone->pDbZone->tDtStart, value);
    int year, month, day, hour, minute, second;
    if (!datetime_IsParseable(value, &year, &month, &day, &hour, &minute, &second))
        return;
    zone->nStartYear = year;
    zone->nStartMonth = month;
    zone->nStartDay = day;
    zone->nStartHour = hour;
    zone->nStartMinute = minute;
    zone->nStartSecond = second;
    zone->nTimeMs = (hour * 3600 + minute * 60) * kMsPerSecond;
}

void store_offset(int* pnMinutes, const char* value)
{
    int hours = 0;
    int minutes = 0;
    if (datetime_parseUTCOffset(value, &hours, &minutes))
        *pnMinutes = hours * 60 + minutes;
}

int store_rrule(CAL_VZONE* zone, const char* value)
{
    int rc = calparser_addStringToPropertyArray(&zone->pDbZone->aRRules, value);
    if (rc != 0)
        return rc;
    return read_rule_from_rrule(zone, value);
}

int store_rdate(CAL_VZONE* zone, const char* value)
{
    int rc = calparser_populate_DateTimeList(&zone->pDbZone->aRDates, value, nullptr, nullptr);
    read_rule_from_rdate(zone, value);
    return rc;
}

/* A property that memory did not suffice for is left out; the sub-zone
 * keeps the rest. `pZone` is the CAL_VZONE being built, or NULL. */
void store_sub_zone_line(void* pZone, CALPARSER_TOKEN* pToken)
{
    CAL_VZONE* zone = static_cast<CAL_VZONE*>(pZone);
    if (zone)
        calparser_populateCalVZoneProp(pToken, &zone);
}

}  // namespace

extern "C" {

int calparser_populateCalVZoneProp(const CALPARSER_TOKEN* pToken, CAL_VZONE** ppZone)
{
    if (!pToken || !ppZone || !*ppZone || !(*ppZone)->pDbZone)
        return 1;
    CAL_VZONE* zone = *ppZone;
    CALDB_VZONE* db = zone->pDbZone;
    const char* value = pToken->pValue;
    if (!value)
        return 0;
    switch (pToken->nType) {
    case TOKEN_DTSTART:
        store_dtstart(zone, value);
        return 0;
    case TOKEN_TZOFFSETFROM:
        store_offset(&db->nOffsetFrom, value);
        return 0;
    case TOKEN_TZOFFSETTO:
        store_offset(&db->nOffsetTo, value);
        return 0;
    case TOKEN_RDATE:
        return store_rdate(zone, value);
    case TOKEN_RRULE:
        return store_rrule(zone, value);
    case TOKEN_TZNAME:
        return calparser_addStringToPropertyArray(&db->aTzNames, value);
    case TOKEN_COMMENT:
        return calparser_addStringToPropertyArray(&db->aComments, value);
    case TOKEN_X:
        return calparser_addStringToPropertyArray(&db->aXProps, value);
    default:
        return 0;
    }
}

int calparser_isValidZone(const CALDB_VZONE* pZone)
{
    (void)pZone;
    return 1;
}

int calparser_create_vzone_from_tokens(array_t* pTokens, array_iter_t* pCursor, array_t* pZones,
                                       iCal_Token_t nKind, int nPass, iCal_Token_t nMethod)
{
    (void)nMethod;
    const bool building = nPass == CALPARSER_PASS_ZONES;
    if (!pTokens || (building && !pZones) || calparser_walk_enter(pTokens, pCursor) != 0)
        return 1;

    int rc = 0;
    CAL_VZONE* zone = nullptr;
    /* Without memory the tokens are still passed over, so that the caller
     * never reads the inside of the sub-component as its own lines. */
    if (building && !(zone = CAL_VZONE_NEW()))
        rc = 3;
    char name[kNameRoom];
    snprintf(name, sizeof name, "%s TimeZone part", calparser_getICALString(nKind));
    const CALPARSER_WALK walk = {name, nKind, building, zone, store_sub_zone_line, nullptr,
                                 nullptr};
    calparser_walk_component(&walk, pTokens, pCursor);

    if (zone && calparser_isValidZone(zone->pDbZone)) {
        if (array_append(pZones, zone) == 0)
            zone = nullptr;
        else
            rc = 3;
    }
    CAL_VZONE_FREE(&zone);
    return rc;
}

}  /* extern "C" */
