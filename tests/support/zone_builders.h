/* Test helpers: time-zone records built in memory, the registry filled with them,
 * and log lines captured through the logging sink. */
#ifndef TESTS_SUPPORT_ZONE_BUILDERS_H
#define TESTS_SUPPORT_ZONE_BUILDERS_H

#include <stdlib.h>
#include <time.h>

#include <string>
#include <utility>
#include <vector>

#include <plstr.h>
#include <unicode/simpletz.h>

#include "core/parser/cal_vtimezone_array.h"
#include "public/db/caldb_timezone.h"
#include "public/util/array.h"
#include "public/util/kvallog.h"
#include "tests/support/registry_testing.h"

namespace zone_test {

constexpr int kMsPerMinute = 60000;

/* Seconds of a UTC text "YYYYMMDDTHHMMSS[Z]", worked out with timegm. */
inline time_t utc(const std::string& text) {
    struct tm t = {};
    t.tm_year = std::atoi(text.substr(0, 4).c_str()) - 1900;
    t.tm_mon = std::atoi(text.substr(4, 2).c_str()) - 1;
    t.tm_mday = std::atoi(text.substr(6, 2).c_str());
    if (text.size() >= 15) {
        t.tm_hour = std::atoi(text.substr(9, 2).c_str());
        t.tm_min = std::atoi(text.substr(11, 2).c_str());
        t.tm_sec = std::atoi(text.substr(13, 2).c_str());
    }
    return timegm(&t);
}

inline CAL_VZONE* make_sub_zone(int offsetMinutes) {
    CAL_VZONE* sub = CAL_VZONE_NEW();
    sub->pDbZone->nOffsetTo = offsetMinutes;
    return sub;
}

/* What a zone built by make_zone holds. */
struct ZoneSpec {
    std::string tzid;
    int standardMinutes = 0;
    bool hasStandard = true;
    bool hasDaylight = false;
    int daylightMinutes = 0;
    std::vector<std::string> crossings;  // UTC texts, ascending
    bool withRuleZone = true;            // a rule-based zone without daylight time
};

/* A new zone record (the caller owns it) with a plain rule-based zone at the
 * standard offset, so that conversions outside the tables have a zone to use. */
inline CAL_VTIMEZONE* make_zone(const ZoneSpec& shape) {
    CAL_VTIMEZONE* zone = CAL_VTIMEZONE_NEW();
    zone->pDbTimeZone->pTzid = PL_strdup(shape.tzid.c_str());
    if (shape.hasStandard) zone->pStandard = make_sub_zone(shape.standardMinutes);
    if (shape.hasDaylight) zone->pDaylight = make_sub_zone(shape.daylightMinutes);
    if (!shape.crossings.empty()) {
        zone->aTzCross = array_new();
        for (const std::string& c : shape.crossings) {
            time_t* when = static_cast<time_t*>(malloc(sizeof(time_t)));
            *when = utc(c);
            array_append(zone->aTzCross, when);
        }
    }
    if (shape.withRuleZone && shape.hasStandard)
        zone->pIcuZone = new icu::SimpleTimeZone(shape.standardMinutes * kMsPerMinute,
                                                 icu::UnicodeString::fromUTF8(shape.tzid));
    return zone;
}

/* The registry emptied, then filled with the zones given. */
inline void fill_registry(const std::vector<ZoneSpec>& specs) {
    CALPARSER_TIMEZONE_LIST::Instance()->removeAllTimeZones();
    for (const ZoneSpec& shape : specs) calparser_registry_add_for_testing(make_zone(shape));
}

/* A zone at a fixed offset, without daylight part. */
inline ZoneSpec fixed_zone(const std::string& tzid, int standardMinutes = 0) {
    ZoneSpec z;
    z.tzid = tzid;
    z.standardMinutes = standardMinutes;
    return z;
}

inline ZoneSpec utc_fallback_zone() { return fixed_zone("Africa/Casablanca"); }

/* The zone of the worked example: +01:00, +02:00 in summer 2003. */
inline ZoneSpec central_zone(const std::string& tzid) {
    ZoneSpec z = fixed_zone(tzid, 60);
    z.hasDaylight = true;
    z.daylightMinutes = 120;
    z.crossings = {"20030330T010000Z", "20031026T010000Z"};
    return z;
}

/* Captures log lines while it lives. */
class LogCapture {
public:
    LogCapture() { previous_ = kvallog_set_sink(&LogCapture::sink, this); }
    ~LogCapture() { kvallog_set_sink(previous_, nullptr); }
    const std::vector<std::pair<int, std::string>>& lines() const { return lines_; }
    void clear() { lines_.clear(); }

private:
    static void sink(void* ctx, int level, const char* message) {
        static_cast<LogCapture*>(ctx)->lines_.emplace_back(level, message);
    }
    kvallog_sink_t previous_ = nullptr;
    std::vector<std::pair<int, std::string>> lines_;
};

using LogLines = std::vector<std::pair<int, std::string>>;

}  // namespace zone_test

#endif
