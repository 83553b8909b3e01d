/* Zone names that other calendar programs write, read as the registry zones
 * they stand for: a registry ID under a "/"-prefixed path, or a Windows zone
 * name. Only exact matches count, so a name that differs from a registry ID in
 * letter case stays unknown. */
#include "core/parser/cal_vtimezone_array.h"

#include <string.h>

#include <new>
#include <string>
#include <vector>

#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include "public/util/config.h"
#include "public/util/kvallog.h"

namespace {

constexpr int kLevelResolved = 6;

/* The non-empty "/"-separated segments of `name`. */
std::vector<std::string> segments_of(const char* name) {
    std::vector<std::string> segments;
    for (const char* at = name; *at;) {
        const char* end = strchr(at, '/');
        size_t length = end ? (size_t)(end - at) : strlen(at);
        if (length > 0) segments.emplace_back(at, length);
        at += length;
        if (*at == '/') at++;
    }
    return segments;
}

/* The registry ID that ICU maps the Windows zone name `name` to, or "". */
std::string id_for_windows_name(const char* name) {
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString id;
    icu::TimeZone::getIDForWindowsID(icu::UnicodeString::fromUTF8(name), nullptr, id, status);
    std::string text;
    if (U_SUCCESS(status)) id.toUTF8String(text);
    return text;
}

}  // namespace

const CAL_VTIMEZONE* CALPARSER_TIMEZONE_LIST::lookup_by_path(const char* name) const {
    const std::vector<std::string> segments = segments_of(name);
    for (size_t first = 0; first < segments.size(); first++) {
        std::string candidate = segments[first];
        for (size_t i = first + 1; i < segments.size(); i++) candidate += "/" + segments[i];
        if (const CAL_VTIMEZONE* zone = lookup(candidate.c_str())) return zone;
    }
    return nullptr;
}

const CAL_VTIMEZONE* CALPARSER_TIMEZONE_LIST::lookup_by_windows_name(const char* name) const {
    const std::string id = id_for_windows_name(name);
    if (id.empty()) return nullptr;
    if (const CAL_VTIMEZONE* zone = lookup(id.c_str())) return zone;
    // ICU's canonical ID may be an older spelling of the registry's one.
    const icu::UnicodeString canonical = icu::UnicodeString::fromUTF8(id);
    const int32_t count = icu::TimeZone::countEquivalentIDs(canonical);
    for (int32_t i = 0; i < count; i++) {
        std::string other;
        icu::TimeZone::getEquivalentID(canonical, i).toUTF8String(other);
        if (const CAL_VTIMEZONE* zone = lookup(other.c_str())) return zone;
    }
    return nullptr;
}

const CAL_VTIMEZONE* CALPARSER_TIMEZONE_LIST::lookup_foreign_name(const char* name) const {
    if (!name || !*name || !m_pList) return nullptr;
    if (config_get_int(config_getdefaultcache(), CALPARSER_RESOLVE_FOREIGN_NAMES_KEY, 1) == 0)
        return nullptr;
    const CAL_VTIMEZONE* zone = nullptr;
    try {
        zone = name[0] == '/' ? lookup_by_path(name) : nullptr;
        if (!zone) zone = lookup_by_windows_name(name);
    } catch (const std::bad_alloc&) {
        /* The candidate names are built in std::strings; out of memory, the
         * name counts as unknown, as it would without this look-up. */
        return nullptr;
    }
    if (zone)
        kvallog(0, kLevelResolved, "%s: TimeZone \"%s\" read as \"%s\".", KVALLOG_CORE_SUBSYSTEM,
                name, zone->pDbTimeZone->pTzid);
    return zone;
}
