/* Test helpers: time-zone records built in memory, the registry loaded with zones
 * of the same shape through the library's own loader, and log lines captured
 * through the logging sink. */
#ifndef TESTS_SUPPORT_ZONE_BUILDERS_H
#define TESTS_SUPPORT_ZONE_BUILDERS_H

#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include <string>
#include <utility>
#include <vector>

#include <plstr.h>
#include <unicode/simpletz.h>

#include "core/parser/cal_vtimezone_array.h"
#include "core/parser/calparser.h"
#include "public/db/caldb_timezone.h"
#include "public/util/array.h"
#include "public/util/kvallog.h"
#include "public/util/prot.h"
#include "tests/support/log_capture.h"

namespace zone_test {

/* Seconds of a UTC text "YYYYMMDDTHHMMSS[Z]", worked out with timegm. */
inline time_t utc(const std::string& text) {
    struct tm t = {};
    sscanf(text.c_str(), "%4d%2d%2dT%2d%2d%2d", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
           &t.tm_min, &t.tm_sec);
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    return timegm(&t);
}

/* What a zone loaded by fill_registry holds. */
struct ZoneShape {
    std::string tzid;
    int standardMinutes = 0;
    bool hasStandard = true;  // without it the zone has no rule-based zone
    bool hasDaylight = false;
    int daylightMinutes = 0;
    std::vector<std::string> crossings;  // UTC texts, ascending
    /* Loaded zones only: the parts' yearly rules (RRULE values, empty for
     * none) and the local start texts whose hour gives the time of change. */
    std::string standardRule;
    std::string daylightRule;
    std::string standardStart = "19700101T000000";  // empty: no DTSTART
    std::string daylightStart = "19700101T000000";
};

/* "YYYYMMDDTHHMMSS" of `seconds` read as UTC, e.g. a wall-clock time kept as if UTC. */
inline std::string wall_text(time_t seconds) {
    struct tm t;
    gmtime_r(&seconds, &t);
    char text[32];
    strftime(text, sizeof text, "%Y%m%dT%H%M%S", &t);
    return text;
}

/* A new zone record (the caller owns it) at a fixed offset: a standard part
 * and a plain rule-based zone, without daylight part or crossings. */
inline CAL_VTIMEZONE* make_fixed_zone(const std::string& tzid, int standardMinutes = 0) {
    CAL_VTIMEZONE* zone = CAL_VTIMEZONE_NEW();
    zone->pDbTimeZone->pTzid = PL_strdup(tzid.c_str());
    zone->pStandard = CAL_VZONE_NEW();
    zone->pStandard->pDbZone->nOffsetTo = standardMinutes;
    zone->pIcuZone = new icu::SimpleTimeZone(standardMinutes * 60000,
                                             icu::UnicodeString::fromUTF8(tzid));
    return zone;
}

/* "+HHMM" or "-HHMM" of an offset in minutes east of UTC. */
inline std::string offset_text(int minutes) {
    char text[16];
    int magnitude = minutes < 0 ? -minutes : minutes;
    snprintf(text, sizeof text, "%c%02d%02d", minutes < 0 ? '-' : '+', magnitude / 60,
             magnitude % 60);
    return text;
}

inline std::string sub_zone_text(const char* kind, const std::string& start, int fromMinutes,
                                 int toMinutes, const std::string& rule) {
    std::string text = std::string("BEGIN:") + kind + "\r\n";
    if (!start.empty()) text += "DTSTART:" + start + "\r\n";
    text += "TZOFFSETFROM:" + offset_text(fromMinutes) + "\r\n";
    text += "TZOFFSETTO:" + offset_text(toMinutes) + "\r\n";
    if (!rule.empty()) text += "RRULE:" + rule + "\r\n";
    return text + "END:" + kind + "\r\n";
}

/* The VTIMEZONE of `shape` as iCalendar text. */
inline std::string zone_text(const ZoneShape& shape) {
    std::string text = "BEGIN:VTIMEZONE\r\nTZID:" + shape.tzid + "\r\n";
    if (!shape.crossings.empty()) {
        text += "X-KVAL-TZCROSS:";
        for (size_t i = 0; i < shape.crossings.size(); i++)
            text += (i ? ";" : "") + shape.crossings[i];
        text += "\r\n";
    }
    int summer = shape.hasDaylight ? shape.daylightMinutes : shape.standardMinutes;
    if (shape.hasStandard)
        text += sub_zone_text("STANDARD", shape.standardStart, summer, shape.standardMinutes,
                              shape.standardRule);
    if (shape.hasDaylight)
        text += sub_zone_text("DAYLIGHT", shape.daylightStart, shape.standardMinutes, summer,
                              shape.daylightRule);
    return text + "END:VTIMEZONE\r\n";
}

/* The registry reloaded from iCalendar `text` by the library's loader; the
 * loader's result (0 when loaded). */
inline int load_registry_text(const std::string& text) {
    protstream* stream = prot_readmap(text.data(), (unsigned)text.size());
    int rc = calparser_loadTimeZoneList(stream);
    prot_free(stream);
    return rc;
}

/* The registry's zones replaced by the zones given, read from their text. */
inline int fill_registry(const std::vector<ZoneShape>& shapes) {
    std::string text = "BEGIN:VCALENDAR\r\n";
    for (const ZoneShape& shape : shapes) text += zone_text(shape);
    return load_registry_text(text + "END:VCALENDAR\r\n");
}

/* A zone at a fixed offset, without daylight part. */
inline ZoneShape fixed_zone(const std::string& tzid, int standardMinutes = 0) {
    ZoneShape z;
    z.tzid = tzid;
    z.standardMinutes = standardMinutes;
    return z;
}

inline ZoneShape utc_fallback_zone() { return fixed_zone("Africa/Casablanca"); }

/* The zone of the worked example: +01:00, +02:00 in summer 2003. */
inline ZoneShape central_zone(const std::string& tzid) {
    ZoneShape z = fixed_zone(tzid, 60);
    z.hasDaylight = true;
    z.daylightMinutes = 120;
    z.crossings = {"20030330T010000Z", "20031026T010000Z"};
    return z;
}

}  // namespace zone_test

#endif
