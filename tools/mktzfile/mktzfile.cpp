/* mktzfile: writes the library's time-zone registry file from ICU's time-zone database.
 *
 *   mktzfile [OUTPUT]        (default: data/timezones.ics)
 *
 * One VTIMEZONE for every zone ID ICU knows, links included, in byte order of the IDs.
 * Each gives the zone's other IDs (X-Z9KQ-TZID-ALIAS), its daylight-saving crossings of
 * 1990-2010 in UTC (X-KVAL-TZCROSS) and the yearly rules in force on 1 January 2026,
 * 00:00 UTC, as STANDARD and DAYLIGHT sub-components (STANDARD alone for a zone without
 * daylight time). The output depends only on ICU's data, never on the day it runs, so a
 * test can check that the committed file is what this program writes.
 * Exit status: 0 written, 1 ICU failed or a zone could not be described, 2 write failed. */
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <unicode/locid.h>
#include <unicode/strenum.h>
#include <unicode/timezone.h>
#include <unicode/tzfmt.h>

#include "tools/mktzfile/ics_write.h"
#include "tools/mktzfile/tz_zone.h"

namespace {

constexpr const char* kDefaultOutput = "data/timezones.ics";

bool all_zone_ids(std::vector<std::string>* ids) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::StringEnumeration> all(icu::TimeZone::createEnumeration(status));
    if (U_FAILURE(status) || !all) return false;
    const char* id = nullptr;
    int32_t length = 0;
    while ((id = all->next(&length, status)) != nullptr && U_SUCCESS(status))
        ids->emplace_back(id, (size_t)length);
    if (U_FAILURE(status)) return false;
    std::sort(ids->begin(), ids->end());
    ids->erase(std::unique(ids->begin(), ids->end()), ids->end());
    return true;
}

/* The whole file in `out`; false (after a message) when a zone cannot be described. */
bool build_file(const std::vector<std::string>& ids, std::string* out) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::TimeZoneFormat> names(
        icu::TimeZoneFormat::createInstance(icu::Locale::getUS(), status));
    if (U_FAILURE(status) || !names) {
        fprintf(stderr, "mktzfile: cannot create ICU's zone name formatter\n");
        return false;
    }
    const char* version = icu::TimeZone::getTZDataVersion(status);
    if (U_FAILURE(status)) version = "unknown";

    mktz::append_content_line(out, "BEGIN:VCALENDAR");
    mktz::append_content_line(out, std::string("PRODID:-//libcore_parser10//mktzfile ICU "
                                               "time zones ") + version + "//EN");
    mktz::append_content_line(out, "VERSION:2.0");
    bool sawFallback = false;
    for (const std::string& id : ids) {
        mktz::ZoneEntry entry;
        if (!mktz::describe_zone(id, *names, &entry)) {
            fprintf(stderr, "mktzfile: ICU gives no rules for zone %s\n", id.c_str());
            return false;
        }
        sawFallback = sawFallback || id == mktz::kFallbackZoneId;
        mktz::append_vtimezone(out, entry);
    }
    mktz::append_content_line(out, "END:VCALENDAR");
    if (!sawFallback) {
        fprintf(stderr, "mktzfile: ICU does not know the fallback zone %s\n",
                mktz::kFallbackZoneId);
        return false;
    }
    return true;
}

bool write_file(const char* path, const std::string& text) {
    FILE* f = fopen(path, "wb");
    if (!f) return false;
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    if (fclose(f) != 0) ok = false;
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2) {
        fprintf(stderr, "usage: mktzfile [OUTPUT]\n");
        return 1;
    }
    const char* path = argc == 2 ? argv[1] : kDefaultOutput;
    std::vector<std::string> ids;
    if (!all_zone_ids(&ids)) {
        fprintf(stderr, "mktzfile: cannot list ICU's zone IDs\n");
        return 1;
    }
    std::string text;
    if (!build_file(ids, &text)) return 1;
    if (!write_file(path, text)) {
        fprintf(stderr, "mktzfile: cannot write %s\n", path);
        return 2;
    }
    return 0;
}
