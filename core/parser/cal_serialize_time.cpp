/* Date-times, durations and zones of the iCalendar serializer. Every time is
 * written in a form that the reader turns back into the same seconds: a
 * local time only when converting it back with the zone the reader will use
 * gives the time again, else UTC. */
#include "core/parser/cal_serialize_parts.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>

#include <plstr.h>

#include "core/parser/calparser.h"

namespace calparser_serialize {

namespace {

constexpr long kSecondsPerDay = 86400;
constexpr int32_t kHalfDay = 43200;
constexpr long kSecondsPerHour = 3600;
constexpr long kSecondsPerMinute = 60;
constexpr size_t kDateLength = 8;
/* The format that gives "YYYYMMDDTHHMMSS" in a zone's local time. */
constexpr const char* kIcalFormat = "%Y%m%dT%H%M%SZ";

bool input_names_zone(const array_t* zones, const char* tzid)
{
    for (unsigned i = 0; zones && i < zones->count; i++) {
        const CAL_VTIMEZONE* zone = (const CAL_VTIMEZONE*)zones->data[i];
        if (zone && zone->pDbTimeZone && zone->pDbTimeZone->pTzid &&
            PL_strcasecmp(zone->pDbTimeZone->pTzid, tzid) == 0)
            return true;
    }
    return false;
}

/* How the reader converts a date-time without zone. */
bool reads_back(const char* text, int32_t t)
{
    time_t back = 0;
    return calparser_datez_to_timet(text, &back, nullptr, nullptr) == 0 && back == (time_t)t;
}

/* The local text of `t` in `zone`, when the reader's conversion of it with
 * that zone gives `t` again. */
bool zone_local_text(const CAL_VTIMEZONE* zone, int32_t t, char out[kDateTimeRoom])
{
    char* buffer = out;
    if (!zone->pIcuZone ||
        timezone_DateTimeApplyTimeZoneToString((time_t)t, zone->pIcuZone, &buffer,
                                               (int)kDateTimeRoom) != 0)
        return false;
    return CAL_VTIMEZONE_DateTimeApplyTimeZone(out, (CAL_VTIMEZONE*)zone) == (time_t)t;
}

}  // namespace

const CAL_VTIMEZONE* ZoneResolver::zone_for(const char* tzid)
{
    if (utcOnly_ || !tzid || tzid[0] == '\0')
        return nullptr;
    if (const CAL_VTIMEZONE* own = array_findTimeZone(tzid, input_))
        return own;
    if (!useRegistry_ || input_names_zone(input_, tzid))
        return nullptr;
    const CAL_VTIMEZONE* registered = calparser_lookupCalVTimeZone(tzid);
    if (!registered || !registered->pIcuZone)
        return nullptr;
    if (std::find(added_.begin(), added_.end(), registered) == added_.end())
        added_.push_back(registered);
    return registered;
}

void put_utc(LineWriter& w, const char* name, int32_t t)
{
    char text[kDateTimeRoom] = {0};
    if (t < 1 || cal_time_timet_to_datez((time_t)t, text) != 0)
        return;
    w.begin(name);
    w.append(":");
    w.append(text);
    w.end();
}

void default_zone_text(int32_t t, char out[kDateTimeRoom])
{
    memset(out, 0, kDateTimeRoom);
    calparser_strtime(out, (int)kDateTimeRoom, kIcalFormat, (time_t)t, nullptr);
    if (!reads_back(out, t))
        cal_time_timet_to_datez((time_t)t, out);
}

void all_day_date_text(int32_t t, char out[kDateTimeRoom])
{
    /* Dates are read as midnights of the default zone. An all-day time made
     * at another zone's midnight (an instance of a series) is written as the
     * date of the nearest such midnight: its own date in every zone less
     * than 12 hours from the default one. */
    default_zone_text(t <= INT32_MAX - kHalfDay ? t + kHalfDay : t, out);
    out[kDateLength] = '\0';
}

void put_component_time(LineWriter& w, const char* name, int32_t t, bool bIsDate,
                        const CAL_VTIMEZONE* zone, const char* tzid)
{
    if (t < 1)
        return;
    char text[kDateTimeRoom] = {0};
    w.begin(name);
    if (bIsDate) {
        all_day_date_text(t, text);
        w.append(";VALUE=DATE:");
        w.append(text, kDateLength);
    } else if (zone && zone_local_text(zone, t, text)) {
        w.param("TZID", tzid);
        w.append(":");
        w.append(text);
    } else {
        cal_time_timet_to_datez((time_t)t, text);
        w.append(":");
        w.append(text);
    }
    w.end();
}

void append_duration(LineWriter& w, long seconds)
{
    char text[64];
    size_t used = 0;
    if (seconds < 0) {
        text[used++] = '-';
        seconds = -seconds;
    }
    const long days = seconds / kSecondsPerDay;
    const long rest = seconds % kSecondsPerDay;
    text[used++] = 'P';
    if (days > 0)
        used += (size_t)snprintf(text + used, sizeof text - used, "%ldD", days);
    if (rest > 0 || days == 0) {
        const long hours = rest / kSecondsPerHour;
        const long minutes = rest % kSecondsPerHour / kSecondsPerMinute;
        const long secs = rest % kSecondsPerMinute;
        text[used++] = 'T';
        if (hours > 0)
            used += (size_t)snprintf(text + used, sizeof text - used, "%ldH", hours);
        if (minutes > 0)
            used += (size_t)snprintf(text + used, sizeof text - used, "%ldM", minutes);
        if (secs > 0 || rest == 0)
            used += (size_t)snprintf(text + used, sizeof text - used, "%ldS", secs);
    }
    w.append(text, used);
}

}  // namespace calparser_serialize
