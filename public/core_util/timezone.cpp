/* Time zones on ICU. */
#include "public/core_util/timezone.h"

#include <plstr.h>
#include <string.h>



#include <unicode/basictz.h>
#include <unicode/simpletz.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include "public/core_util/datetime.h"
#include "public/core_util/gmtime.h"
#include "public/util/config.h"

namespace {

constexpr double kMsPerSecond = 1000.0;

/* Total offset (raw + daylight) in seconds of `zone` at the UTC instant. */
bool offset_at_utc(const icu::TimeZone* zone, long long utcSeconds, long long* pOffset) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t raw = 0;
    int32_t dst = 0;
    zone->getOffset((UDate)utcSeconds * kMsPerSecond, false, raw, dst, status);
    if (U_FAILURE(status))
        return false;
    *pOffset = ((long long)raw + dst) / 1000;
    return true;
}

/* How a wall-clock time that the zone skips or repeats is read. */
enum class WallReading {
    Former,   /* the offset before a gap; the first of a repeated hour (RFC 5545) */
    Standard  /* standard time in both, as the conversion tables read them */
};

/* Total offset in seconds of `zone` for a wall-clock time, read as `reading`
 * says in a gap or a repeated hour. */
bool offset_at_wall(const icu::TimeZone* zone, long long wallSeconds, WallReading reading,
                    long long* pOffset) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t raw = 0;
    int32_t dst = 0;
    const UDate wall = (UDate)wallSeconds * kMsPerSecond;
    /* The standard options fall back to the former offset where both sides of
     * a change are standard (or both daylight) time. */
    const UTimeZoneLocalOption option = reading == WallReading::Standard
                                            ? UCAL_TZ_LOCAL_STANDARD_FORMER
                                            : UCAL_TZ_LOCAL_FORMER;
    const icu::BasicTimeZone* basic = dynamic_cast<const icu::BasicTimeZone*>(zone);
    if (basic)
        basic->getOffsetFromLocal(wall, option, option, raw, dst, status);
    else
        zone->getOffset(wall, true, raw, dst, status);
    if (U_FAILURE(status))
        return false;
    *pOffset = ((long long)raw + dst) / 1000;
    return true;
}

/* UTC seconds of a wall-clock time; no zone means UTC. */
bool wall_to_utc(const icu::TimeZone* zone, long long wallSeconds, WallReading reading,
                 long long* pUtcSeconds) {
    long long offset = 0;
    if (zone && !offset_at_wall(zone, wallSeconds, reading, &offset))
        return false;
    *pUtcSeconds = wallSeconds - offset;
    return true;
}

/* Reads a date-time text as the conversion tables validate it: character 8
 * of a date-time is not examined, and a 16-character text is UTC only when it
 * ends in an upper-case "Z" (otherwise its first 15 characters are a
 * wall-clock time, as on the table path). */
bool read_date_time_text(const char* text, long long* pSeconds, bool* pIsUtc) {
    char copy[17];
    const size_t length = text ? strlen(text) : 0;
    if (length != 8 && length != 15 && length != 16)
        return false;
    memcpy(copy, text, length + 1);
    *pIsUtc = length == 16 && copy[15] == 'Z';
    if (length > 8)
        copy[8] = 'T';
    if (length == 16 && !*pIsUtc)
        copy[15] = '\0';
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!datetime_IsParseable(copy, &year, &month, &day, &hour, &minute, &second))
        return false;
    return cal_gmtime_fields_to_seconds(year, month, day, hour, minute, second, pSeconds) == 0;
}

/* ICU objects allocate through uprv_malloc: new gives NULL when memory runs out. */
icu::TimeZone* new_zone_without_daylight(int32_t rawOffsetMs, const char* tzid) {
    return new icu::SimpleTimeZone(rawOffsetMs, icu::UnicodeString(tzid));
}

}  // namespace

extern "C" char* timezone_getDefaultTZID(void) {
    const char* configured = config_get_string(config_getdefaultcache(),
                                               TIMEZONE_DEFAULT_TZID_KEY, TIMEZONE_FALLBACK_TZID);
    if (!configured || !*configured)
        configured = TIMEZONE_FALLBACK_TZID;
    return PL_strdup(configured);
}

extern "C" icu::TimeZone* timezone_CreateSimpleTimeZone(int32_t rawOffsetMs, const char* tzid,
                                                        int8_t startMonth, int8_t startWeek,
                                                        int8_t startDayOfWeek,
                                                        int32_t startTimeMs, int8_t endMonth,
                                                        int8_t endWeek, int8_t endDayOfWeek,
                                                        int32_t endTimeMs, int32_t savingsMs) {
    if (!tzid)
        return nullptr;
    /* ICU refuses daylight rules that save nothing; such a zone simply has
     * no daylight time. */
    if (savingsMs == 0 || startWeek == 0 || endWeek == 0)
        return new_zone_without_daylight(rawOffsetMs, tzid);
    UErrorCode status = U_ZERO_ERROR;
    icu::SimpleTimeZone* zone = new icu::SimpleTimeZone(
        rawOffsetMs, icu::UnicodeString(tzid), startMonth, startWeek, startDayOfWeek,
        startTimeMs, endMonth, endWeek, endDayOfWeek, endTimeMs, savingsMs, status);
    if (zone && U_FAILURE(status)) {
        delete zone;
        zone = nullptr;
    }
    return zone;
}

extern "C" icu::TimeZone* timezone_CreateSimpleTimeZoneShort(int32_t rawOffsetMs,
                                                             const char* tzid) {
    if (!tzid)
        return nullptr;
    return new_zone_without_daylight(rawOffsetMs, tzid);
}

extern "C" int timezone_WallClockToUtc(const icu::TimeZone* zone, long long wallSeconds,
                                       long long* pUtcSeconds) {
    if (!pUtcSeconds)
        return 1;
    return wall_to_utc(zone, wallSeconds, WallReading::Former, pUtcSeconds) ? 0 : 2;
}

extern "C" int timezone_UtcToWallClock(const icu::TimeZone* zone, long long utcSeconds,
                                       long long* pWallSeconds) {
    long long offset = 0;
    if (!pWallSeconds)
        return 1;
    if (zone && !offset_at_utc(zone, utcSeconds, &offset))
        return 2;
    *pWallSeconds = utcSeconds + offset;
    return 0;
}

extern "C" time_t timezone_DateTimeApplyTimeZone(const char* text, const icu::TimeZone* zone) {
    long long seconds = 0;
    bool isUtc = false;
    if (!read_date_time_text(text, &seconds, &isUtc))
        return 0;
    long long utc = seconds;
    if (!isUtc && !wall_to_utc(zone, seconds, WallReading::Standard, &utc))
        return 0;
    if (utc < INT32_MIN || utc > INT32_MAX)
        return 0;
    return (time_t)utc;
}

extern "C" int timezone_DateTimeApplyTimeZoneToString(time_t time, const icu::TimeZone* zone,
                                                      char** pBuffer, int size) {
    /* "YYYYMMDDTHHMMSS" and its NUL. */
    constexpr int kWallTextSize = 16;
    if (!pBuffer || !*pBuffer || size < kWallTextSize)
        return 1;
    char* buffer = *pBuffer;
    buffer[0] = '\0';
    long long wall = 0;
    if (timezone_UtcToWallClock(zone, (long long)time, &wall) != 0)
        return 2;
    if (cal_strgmtime(buffer, (size_t)size, "%Y%m%dT%H%M%S", (time_t)wall) != kWallTextSize - 1) {
        buffer[0] = '\0';
        return 2;
    }
    return 0;
}
