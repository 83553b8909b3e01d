/* Date-time formatting and the daylight-saving tests over a zone's crossings. */
#include "core/parser/calparser_strtime.h"

#include <stdlib.h>
#include <string.h>

#include <plstr.h>
#include <prprf.h>

#include "core/parser/cal_vtimezone_array.h"
#include "core/parser/calparser_time.h"
#include "public/core_util/timezone.h"

namespace {

constexpr const char* kICalFormat = "%Y%m%dT%H%M%SZ";
constexpr time_t kSecondsPerDay = 86400;
constexpr time_t kSecondsPerCommonYear = 365 * kSecondsPerDay;
/* "YYYYMMDDTHHMMSSZ" and its NUL. */
constexpr int kICalTextSize = 17;
/* The room "%Q" may need in the format copy and in the output. */
constexpr size_t kFormatSlack = 6;
constexpr size_t kOffsetTextSize = 16;

/* The zone a time is formatted in: `tzid` when registered, else the server's
 * default zone (then "Africa/Casablanca"; NULL when that is missing too, which
 * reads as UTC). pChoice->step tells whether the named zone was replaced;
 * pChoice->owned is freed by the caller. */
const CAL_VTIMEZONE* resolve_zone(const char* tzid, CALPARSER_ZONE_CHOICE* pChoice) {
    const CALPARSER_ZONE_TRY steps[] = {{tzid, tzid == nullptr, 0, nullptr},
                                        {nullptr, true, 0, nullptr}};
    const CALPARSER_TIMEZONE_LIST* registry = CALPARSER_TIMEZONE_LIST::Instance();
    if (registry) return registry->resolve_zone(steps, tzid ? 2 : 1, false, pChoice);
    *pChoice = {TIMEZONE_FALLBACK_TZID, 2, nullptr};
    return nullptr;
}

/* The zone's offset from UTC at `time`, in seconds. */
int offset_at(const CAL_VTIMEZONE* zone, time_t time) {
    if (zone && isInDaylightSavings(time, zone->aTzCross))
        return calparser_zoneDaylightOffset(zone);
    return calparser_zoneStandardOffset(zone);
}

int two_digits(const char* text) {
    return (text[0] - '0') * 10 + (text[1] - '0');
}

void put_two_digits(char* at, int value) {
    at[0] = (char)('0' + value / 10);
    at[1] = (char)('0' + value % 10);
}

/* The day tables as one view; false when either is absent. */
struct DayTables {
    const TIME_CACHE* days;
    const TIME_STRING_CACHE* strings;
    int years;
};

bool day_tables(DayTables* t) {
    t->days = getTimeCache();
    t->strings = getTimeStringCache();
    if (!t->days || !t->strings || !t->days->pDays || !t->strings->ppDayStrings ||
        !t->strings->pYearStart)
        return false;
    t->years = t->strings->nLastYear - t->strings->nFirstYear + 1;
    return true;
}

/* The cached text of day `d` of table year `y`, or NULL outside the tables. */
const char* day_text(const DayTables& t, int y, long d) {
    if (y < 0 || y >= t.years || d < 0 || d >= CALPARSER_TIME_CACHE_STRINGS_PER_YEAR)
        return nullptr;
    return t.strings->ppDayStrings[y][d];
}

/* Writes `time` shifted by `offset` as the iCalendar text through the day tables.
 * False when the local time lies outside the tables (nothing written). */
bool format_from_tables(const DayTables& t, time_t time, int offset, bool utcMode,
                        char* buffer) {
    const time_t* yearStart = t.strings->pYearStart;
    time_t local = time + offset;
    // 365-day years never guess too early, at most one year too late.
    long y = (long)((local - yearStart[0]) / kSecondsPerCommonYear);
    if (y >= 0 && y < t.years && local < yearStart[y]) y--;
    if (y < 0 || y >= t.years) return false;
    long d = (long)((local - yearStart[y]) / kSecondsPerDay);
    if (d < 0 || d > 365) return false;

    const char* text = day_text(t, (int)y, d);
    time_t second = 0;
    for (;;) {
        if (!text) return false;
        int yearOffset = (int)y;
        time_t midnight = t.days->pDays[yearOffset * CALPARSER_TIME_CACHE_DAYS_PER_YEAR +
                                        (two_digits(text + 4) - 1) * 31 +
                                        (two_digits(text + 6) - 1)] -
                          offset;
        second = time - midnight;
        if (second >= 0 && second < kSecondsPerDay) break;
        d += second < 0 ? -1 : 1;
        if (d < 0) {
            y--;
            d = 365;
            if (!day_text(t, (int)y, d)) d = 364;
        } else if (!day_text(t, (int)y, d)) {
            y++;
            d = 0;
        }
        text = day_text(t, (int)y, d);
    }
    memcpy(buffer, text, kICalTextSize);
    put_two_digits(buffer + 9, (int)(second / 3600));
    put_two_digits(buffer + 11, (int)(second % 3600 / 60));
    put_two_digits(buffer + 13, (int)(second % 60));
    if (!utcMode) buffer[15] = '\0';
    return true;
}

/* Replaces the first "%Q" of `buffer` (of `size` bytes) by "GMT+hhmm" for the
 * offset `gmtOffset` in seconds, cutting what no longer fits. */
void expand_offset_directive(char* buffer, int size, int gmtOffset) {
    char* directive = strstr(buffer, "%Q");
    if (!directive) return;
    int hours = gmtOffset / 3600;
    int minutes = gmtOffset % 3600 / 60;
    char offsetText[kOffsetTextSize];
    PR_snprintf(offsetText, sizeof offsetText, "GMT%+.4d", hours * 100 + minutes);
    size_t insertLength = strlen(offsetText);
    size_t head = (size_t)(directive - buffer);
    size_t tail = strlen(directive + 2);
    size_t room = (size_t)size - 1;
    // Move the tail first (overlapping), then write the offset in front of it.
    if (head + insertLength < room) {
        size_t keep = tail < room - head - insertLength ? tail : room - head - insertLength;
        memmove(directive + insertLength, directive + 2, keep);
        directive[insertLength + keep] = '\0';
    } else {
        insertLength = room - head;
        directive[insertLength] = '\0';
    }
    memcpy(directive, offsetText, insertLength);
}

/* NSPR formatting of any format; "%Q" passes PR_FormatTime as itself. */
void format_with_nspr(char* buffer, int size, const char* format, time_t time,
                      PRTimeParamFn mode) {
    size_t length = strlen(format);
    char* copy = static_cast<char*>(malloc(length + kFormatSlack + 1));
    if (!copy) {
        buffer[0] = '\0';
        return;
    }
    const char* directive = strstr(format, "%Q");
    if (directive) {
        size_t head = (size_t)(directive - format);
        memcpy(copy, format, head);
        copy[head] = '%';
        memcpy(copy + head + 1, directive, length - head + 1);
    } else {
        memcpy(copy, format, length + 1);
    }
    PRTime when = time == 0 ? PR_Now() : (PRTime)time * PR_USEC_PER_SEC;
    PRExplodedTime exploded;
    PR_ExplodeTime(when, mode, &exploded);
    if (PR_FormatTime(buffer, size, copy, &exploded) == 0) buffer[0] = '\0';
    expand_offset_directive(buffer, size, exploded.tm_params.tp_gmt_offset);
    free(copy);
}

}  // namespace

extern "C" {

int __calparser_time(char* buffer, int size, const char* format, time_t time,
                     PRTimeParamFn mode, const char* tzid) {
    if (!buffer || size < 1 || !format) return 0;
    bool utcMode = mode == PR_GMTParameters;
    bool localMode = mode == PR_LocalTimeParameters;
    bool iCalForm = strcmp(format, kICalFormat) == 0;
    int result = 0;
    CALPARSER_ZONE_CHOICE choice = {};
    DayTables tables;

    if (iCalForm && localMode) {
        const CAL_VTIMEZONE* zone = resolve_zone(tzid, &choice);
        if (size >= kICalTextSize && day_tables(&tables) &&
            format_from_tables(tables, time, offset_at(zone, time), false, buffer)) {
            result = choice.step > 0 ? 1 : 0;
        } else {
            /* The caller's own name goes on, so an unregistered zone writes
             * nothing here and the result says so, as on the table path; with
             * no name at all the default zone is meant and is used. */
            buffer[0] = '\0';
            calparser_applyTimeZoneToTimeT(choice.step > 0 && tzid ? tzid : choice.name, time,
                                           &buffer, size);
            result = choice.step > 0 ? 1 : 0;
        }
    } else if (iCalForm && utcMode && size >= kICalTextSize && day_tables(&tables) &&
               format_from_tables(tables, time, 0, true, buffer)) {
        result = 0;
    } else {
        format_with_nspr(buffer, size, format, time, mode);
    }
    PL_strfree(choice.owned);
    return result;
}

int calparser_strtime(char* buffer, int size, const char* format, time_t time,
                      const char* tzid) {
    return __calparser_time(buffer, size, format, time, PR_LocalTimeParameters, tzid);
}

int calparser_strgmtime(char* buffer, int size, const char* format, time_t time,
                        const char* tzid) {
    return __calparser_time(buffer, size, format, time, PR_GMTParameters, tzid);
}

int findIndexToInsert(const array_t* pList, time_t value) {
    if (!pList) return 0;
    unsigned low = 0;
    unsigned high = pList->count;
    while (low < high) {
        unsigned middle = low + (high - low) / 2;
        if (caldb_time_list_at(pList, middle) <= value)
            low = middle + 1;
        else
            high = middle;
    }
    return (int)low;
}

int isInDaylightSavings(time_t time, const array_t* pCrossings) {
    if (!pCrossings) return 0;
    return findIndexToInsert(pCrossings, time) % 2 == 1 ? 1 : 0;
}

int doesTimeSpanCrossDST(time_t time1, time_t time2, const char* tzid) {
    if (!tzid) return 0;
    const CAL_VTIMEZONE* zone = calparser_lookupCalVTimeZone(tzid);
    if (!zone || (!zone->pDaylight && !zone->aTzCross)) return 0;
    return isInDaylightSavings(time1, zone->aTzCross) !=
                   isInDaylightSavings(time2, zone->aTzCross)
               ? 1
               : 0;
}

int cal_strcustomtimezone(const char* tzid, time_t time, int* pHours, int* pMinutes,
                          char* pSign) {
    CALPARSER_ZONE_CHOICE choice = {};
    int offset = offset_at(resolve_zone(tzid, &choice), time);
    int magnitude = offset < 0 ? -offset : offset;
    if (pHours) *pHours = magnitude / 3600;
    if (pMinutes) *pMinutes = magnitude % 3600 / 60;
    if (pSign) *pSign = offset > 0 ? '+' : '-';
    PL_strfree(choice.owned);
    return 0;
}

}  // extern "C"
