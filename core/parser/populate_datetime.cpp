/* Date-time storers: a DATE or DATE-TIME text into a time field, in UTC, the
 * server's default zone, a zone of the same input or a registry zone. */
#include "core/parser/populate.h"

#include <plstr.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "core/parser/calparser_time.h"
#include "core/parser/ical_components.h"
#include "public/core_util/parseutil.h"
#include "public/db/caldb_timezone.h"
#include "public/util/kvallog.h"

namespace {

/* The longest form, a UTC DATE-TIME "YYYYMMDDTHHMMSSZ". */
constexpr size_t kMaxDateTimeLength = 16;

/* Converts the first 16 characters of `text` with calparser_datez_to_timet;
 * *pValue is 0 when nothing was converted. Returns the conversion result,
 * 1 for a NULL text. */
int convert_datetime(const char* text, const char* tzid, int32_t* pValue, int* pIsDate)
{
    *pValue = 0;
    *pIsDate = 0;
    if (!text)
        return 1;
    char buffer[kMaxDateTimeLength + 1] = {0};
    memcpy(buffer, text, strnlen(text, kMaxDateTimeLength));
    time_t converted = 0;
    int rc = calparser_datez_to_timet(buffer, &converted, pIsDate, tzid);
    *pValue = static_cast<int32_t>(converted);
    return rc;
}

/* The no-zone conversion with the all-day marking of a record. */
int store_without_zone(int32_t* ptField, void** ppComponent, int bStart, const char* text)
{
    if (!ptField)
        return 1;
    int isDate = 0;
    int rc = convert_datetime(text, nullptr, ptField, &isDate);
    CALDB_COMPONENT* component =
        ppComponent ? static_cast<CALDB_COMPONENT*>(*ppComponent) : nullptr;
    if (isDate && (rc == 0 || rc == 2) && component) {
        if (bStart)
            component->bDtStartIsDate = 1;
        else
            component->bDtEndIsDate = 1;
    }
    return rc;
}

/* The zone-aware conversion shared by the single storers and the date list. */
int store_with_zone(int32_t* ptField, void** ppComponent, int bStart, const char* text,
                    const char* tzid, array_t* pTimeZones)
{
    if (!ptField)
        return 1;
    if (!tzid || !tzid[0])
        return store_without_zone(ptField, ppComponent, bStart, text);

    CAL_VTIMEZONE* inputZone = text ? array_findTimeZone(tzid, pTimeZones) : nullptr;
    if (inputZone) {
        *ptField = static_cast<int32_t>(CAL_VTIMEZONE_DateTimeApplyTimeZone(text, inputZone));
        return 0;
    }
    int isDate = 0;
    int rc = convert_datetime(text, tzid, ptField, &isDate);
    kvallog(0, KVALLOG_LEVEL_TRACE,
            "%s: TZID of %s for date/time of %s.", KVALLOG_CORE_SUBSYSTEM, tzid,
            text ? text : "NULL");
    return rc;
}

}  // namespace

extern "C" {

int calparser_storeDateTimePropertyNoTimeZones(int32_t* ptField, const char* text)
{
    return store_without_zone(ptField, nullptr, 0, text);
}

int calparser_storeDateTimeOrDatePropertyNoTimeZones(int32_t* ptField, void** ppComponent,
                                                     int bStart, const char* text)
{
    return store_without_zone(ptField, ppComponent, bStart, text);
}

int calparser_storeDateTimeOrDateProperty(int32_t* ptField, void** ppComponent, int bStart,
                                          const char* text, const char* tzid,
                                          array_t* pTimeZones)
{
    return store_with_zone(ptField, ppComponent, bStart, text, tzid, pTimeZones);
}

int calparser_storeTodoDateTimeOrDatePropertyNoTimeZones(int32_t* ptField, void** ppComponent,
                                                         int bStart, const char* text)
{
    return store_without_zone(ptField, ppComponent, bStart, text);
}

int calparser_storeTodoDateTimeOrDateProperty(int32_t* ptField, void** ppComponent, int bStart,
                                              const char* text, const char* tzid,
                                              array_t* pTimeZones)
{
    return store_with_zone(ptField, ppComponent, bStart, text, tzid, pTimeZones);
}

int calparser_populate_DateTimeList(array_t** ppArray, const char* text, array_t* pTimeZones,
                                    const char* tzid)
{
    if (!ppArray)
        return 1;
    if (!*ppArray && !(*ppArray = array_new()))
        return 3;
    char** items = nullptr;
    int count = 0;
    int rc = cal_parseutil_get_semicolon_list(text ? text : "", &items, &count) == 0 ? 0 : 3;
    for (int i = 0; i < count && rc == 0; i++) {
        int32_t value = 0;
        store_with_zone(&value, nullptr, 0, items[i], tzid, pTimeZones);
        if (value <= 0)
            continue;
        rc = caldb_time_list_append(*ppArray, value);  // the value itself, not a pointer
    }
    cal_parseutil_free_char_list(&items, count);
    return rc;
}

}  // extern "C"
