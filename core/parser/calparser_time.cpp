/* Date-time conversion: the day tables, text validation, table and general
 * conversion, and the registry's two conversion members. */
#include "core/parser/calparser_time.h"

#include <stdlib.h>
#include <string.h>

#include <plstr.h>

#include "core/parser/cal_vtimezone_array.h"
#include "public/core_util/cal_time.h"
#include "public/core_util/gmtime.h"
#include "public/core_util/timezone.h"
#include "public/util/kvallog.h"

namespace {

constexpr const char* kDayStringFormat = "%Y%m%dT%H%M%SZ";
constexpr size_t kDayStringBufferSize = 256;
constexpr int kDaysPerMonthSlot = 31;
constexpr int kMonths = 12;
constexpr int kTableDays = CALPARSER_TIME_CACHE_YEARS * CALPARSER_TIME_CACHE_DAYS_PER_YEAR;
constexpr size_t kDateLength = 8;
constexpr size_t kLocalLength = 15;
constexpr size_t kUtcLength = 16;

/* The process's two tables; created by their getters, filled by time_cache_init. */
TIME_CACHE* timeCache = nullptr;
TIME_STRING_CACHE* timeStringCache = nullptr;

bool is_utc_text(const char* text, size_t length) {
    return length >= kUtcLength && text[15] == 'Z';
}

int day_index(int yearOffset, int month, int day) {
    return yearOffset * CALPARSER_TIME_CACHE_DAYS_PER_YEAR + (month - 1) * kDaysPerMonthSlot +
           (day - 1);
}

/* The day-string arrays, each with its texts, and the array of them. */
void free_day_strings(char*** ppDayStrings) {
    if (!ppDayStrings) return;
    for (int y = 0; y < CALPARSER_TIME_CACHE_YEARS; y++) {
        if (!ppDayStrings[y]) continue;
        for (int d = 0; d < CALPARSER_TIME_CACHE_STRINGS_PER_YEAR; d++)
            PL_strfree(ppDayStrings[y][d]);
        free(ppDayStrings[y]);
    }
    free(ppDayStrings);
}

/* New tables, complete, or false with nothing allocated. */
struct NewTables {
    time_t* pDays = nullptr;
    char*** ppDayStrings = nullptr;
    time_t* pYearStart = nullptr;
};

void free_tables(NewTables* t) {
    free(t->pDays);
    free_day_strings(t->ppDayStrings);
    free(t->pYearStart);
    *t = NewTables();
}

bool fill_year(int yearOffset, NewTables* t) {
    char text[kDayStringBufferSize];
    int slot = 0;
    for (int month = 1; month <= kMonths; month++) {
        for (int day = 1; day <= kDaysPerMonthSlot; day++) {
            struct tm date = {};
            date.tm_year = CALPARSER_TIME_CACHE_FIRST_YEAR + yearOffset - 1900;
            date.tm_mon = month - 1;
            date.tm_mday = day;
            time_t start = mkgmtime(&date);
            t->pDays[day_index(yearOffset, month, day)] = start;
            if (start <= 0) continue;
            if (slot == 0) t->pYearStart[yearOffset] = start;
            if (slot >= CALPARSER_TIME_CACHE_STRINGS_PER_YEAR ||
                cal_strgmtime(text, sizeof text, kDayStringFormat, start) == 0)
                return false;
            if (!(t->ppDayStrings[yearOffset][slot++] = PL_strdup(text))) return false;
        }
    }
    return true;
}

bool build_tables(NewTables* t) {
    t->pDays = static_cast<time_t*>(calloc(kTableDays, sizeof(time_t)));
    t->pYearStart = static_cast<time_t*>(calloc(CALPARSER_TIME_CACHE_YEARS, sizeof(time_t)));
    t->ppDayStrings = static_cast<char***>(calloc(CALPARSER_TIME_CACHE_YEARS, sizeof(char**)));
    if (!t->pDays || !t->pYearStart || !t->ppDayStrings) return false;
    for (int y = 0; y < CALPARSER_TIME_CACHE_YEARS; y++) {
        t->ppDayStrings[y] =
            static_cast<char**>(calloc(CALPARSER_TIME_CACHE_STRINGS_PER_YEAR, sizeof(char*)));
        if (!t->ppDayStrings[y] || !fill_year(y, t)) return false;
    }
    return true;
}

/* A zone's offset in seconds from a sub-zone's stored record. */
bool sub_zone_offset(const CAL_VZONE* sub, int* pSeconds) {
    if (!sub || !sub->pDbZone) return false;
    *pSeconds = sub->pDbZone->nOffsetTo * 60;
    return true;
}

/* UTC seconds of `wallSeconds` (the local time read as if UTC) in `zone`: daylight
 * time where the crossing walk ends in daylight time, else standard time. */
time_t local_to_utc(const CAL_VTIMEZONE* zone, time_t wallSeconds) {
    int standard = calparser_zoneStandardOffset(zone);
    time_t asStandard = wallSeconds - standard;
    if (!zone || !zone->pDaylight || !zone->aTzCross) return asStandard;
    time_t asDaylight = wallSeconds - calparser_zoneDaylightOffset(zone);
    bool inDaylight = false;
    const array_t* cross = zone->aTzCross;
    for (unsigned i = 0; i < cross->count; i++) {
        time_t when = caldb_time_list_at(cross, i);
        bool startsDaylight = i % 2 == 0;
        if ((startsDaylight ? asDaylight : asStandard) < when) break;
        inDaylight = startsDaylight;
    }
    return inDaylight ? asDaylight : asStandard;
}

}  // namespace

extern "C" {

int calparser_zoneStandardOffset(const CAL_VTIMEZONE* pZone) {
    int seconds = 0;
    if (pZone) sub_zone_offset(pZone->pStandard, &seconds);
    return seconds;
}

int calparser_zoneDaylightOffset(const CAL_VTIMEZONE* pZone) {
    int seconds = 0;
    if (pZone && sub_zone_offset(pZone->pDaylight, &seconds)) return seconds;
    return calparser_zoneStandardOffset(pZone);
}

TIME_CACHE* getTimeCache(void) {
    if (!timeCache) timeCache = static_cast<TIME_CACHE*>(calloc(1, sizeof(TIME_CACHE)));
    return timeCache;
}

TIME_STRING_CACHE* getTimeStringCache(void) {
    if (!timeStringCache)
        timeStringCache = static_cast<TIME_STRING_CACHE*>(calloc(1, sizeof(TIME_STRING_CACHE)));
    return timeStringCache;
}

void time_cache_init(void) {
    TIME_CACHE* days = getTimeCache();
    TIME_STRING_CACHE* strings = getTimeStringCache();
    if (!days || !strings) return;
    days->nFirstYear = strings->nFirstYear = CALPARSER_TIME_CACHE_FIRST_YEAR;
    days->nLastYear = strings->nLastYear = CALPARSER_TIME_CACHE_LAST_YEAR;

    NewTables fresh;
    if (!build_tables(&fresh)) {
        free_tables(&fresh);
        kvallog(0, KVALLOG_LEVEL_ERROR, "%s: Out of memory while filling the day tables.",
                KVALLOG_CORE_SUBSYSTEM);
        return;
    }
    NewTables previous;
    previous.pDays = days->pDays;
    previous.ppDayStrings = strings->ppDayStrings;
    previous.pYearStart = strings->pYearStart;
    free_tables(&previous);
    days->pDays = fresh.pDays;
    strings->ppDayStrings = fresh.ppDayStrings;
    strings->pYearStart = fresh.pYearStart;
}

int calparser_validate_isodate(const char* text, int* pYear, int* pMonth, int* pDay,
                               int* pHour, int* pMinute, int* pSecond, int* pIsDate) {
    size_t length = text ? strlen(text) : 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool isDate = length == kDateLength;
    if (!isDate && length != kLocalLength && length != kUtcLength) return 2;

    int failed = cal_time_atoi_size(text, 4, &year) | cal_time_atoi_size(text + 4, 2, &month) |
                 cal_time_atoi_size(text + 6, 2, &day);
    if (!isDate)
        failed |= cal_time_atoi_size(text + 9, 2, &hour) |
                  cal_time_atoi_size(text + 11, 2, &minute) |
                  cal_time_atoi_size(text + 13, 2, &second);
    if (pYear) *pYear = year;
    if (pMonth) *pMonth = month;
    if (pDay) *pDay = day;
    if (pHour) *pHour = hour;
    if (pMinute) *pMinute = minute;
    if (pSecond) *pSecond = second;
    if (pIsDate) *pIsDate = isDate ? 1 : 0;

    bool invalid = failed != 0 || month < 1 || month > 12 || (month == 2 && day > 29) ||
                   day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59;
    return invalid ? 2 : 0;
}

int calparser_timecache_datez_to_timet(const char* text, time_t* pTime, int* pIsDate,
                                       const char* tzid) {
    /* No place for the time: as for a text that cannot be read, the one
     * failure code this conversion has. */
    if (!pTime) return 2;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, isDate = 0;
    if (calparser_validate_isodate(text, &year, &month, &day, &hour, &minute, &second,
                                   &isDate) != 0) {
        *pTime = 0;
        return 2;
    }
    if (pIsDate) *pIsDate = isDate;
    const TIME_CACHE* cache = timeCache;
    if (!cache || !cache->pDays) return 4;
    if (year < cache->nFirstYear || year > cache->nLastYear) return 4;
    time_t dayStart = cache->pDays[day_index(year - cache->nFirstYear, month, day)];
    if (dayStart == -1) return 2;

    time_t wall = dayStart + hour * 3600 + minute * 60 + second;
    if (is_utc_text(text, strlen(text))) {
        *pTime = wall;
        return 0;
    }
    // The zone named, else the server's default zone, else the last resort.
    const CALPARSER_ZONE_TRY step = {
        tzid, tzid == nullptr, KVALLOG_LEVEL_DROPPED,
        "%s: Timezone %s not found in timezones.ics file.  Assuming GMT."};
    CALPARSER_ZONE_CHOICE choice = {};
    const CALPARSER_TIMEZONE_LIST* registry = CALPARSER_TIMEZONE_LIST::Instance();
    const CAL_VTIMEZONE* zone = registry ? registry->resolve_zone(&step, 1, false, &choice) : nullptr;
    *pTime = local_to_utc(zone, wall);
    PL_strfree(choice.owned);
    return 0;
}

int calparser_datez_to_timet(const char* text, time_t* pTime, int* pIsDate, const char* tzid) {
    if (!pTime) return 1;
    /* A missing text fails the table conversion (time 0), is not UTC, and the
     * registry conversion answers 0 for it. */
    if (!text) {
        *pTime = 0;
        return 0;
    }
    size_t length = strlen(text);
    if (length == kDateLength && pIsDate) *pIsDate = 1;
    if (calparser_timecache_datez_to_timet(text, pTime, pIsDate, tzid) == 0) return 0;
    if (is_utc_text(text, length)) return cal_time_datez_to_timet_helper(text, pTime, pIsDate, 1);
    int aux = 0;
    return calparser_copyURLEncodedDateTime(pTime, &aux, text, tzid);
}

int calparser_copyURLEncodedDateTime(time_t* pTime, int* pAux, const char* text,
                                     const char* tzid) {
    if (!text) {
        if (pAux) *pAux = 0;
        return 0;
    }
    if (!pTime || !pAux) return 2;
    return calparser_applyTimeZoneToString(pTime, pAux, text, tzid) != 0 ? 2 : 0;
}

}  // extern "C"

