/* Rule-based time zones made from VTIMEZONE records. */
#include "core/parser/ical_components.h"

#include <stdint.h>
#include <string.h>

#include <unicode/timezone.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace {

constexpr int32_t kMsPerMinute = 60000;

/* The stored part's TZID, or NULL. */
const char* tzid_of(const CAL_VTIMEZONE* pTimeZone) {
    return pTimeZone->pDbTimeZone ? pTimeZone->pDbTimeZone->pTzid : nullptr;
}

bool is_ascii(const char* text) {
    for (; *text; text++)
        if ((unsigned char)*text >= 0x80)
            return false;
    return true;
}

char16_t ascii_lower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? (char16_t)(c - u'A' + u'a') : c;
}

/* Whether `id` equals the ASCII text `name` under Unicode case folding. Only
 * an id of ASCII alone is compared here (folding ASCII is lowering it); any
 * other id, whose letters may fold to ASCII ones, is left to ICU. */
bool ascii_fold_equal(const icu::UnicodeString& id, const char* name, int32_t nameLength,
                      bool* pDecided) {
    *pDecided = true;
    if (id.length() != nameLength) {
        for (int32_t i = 0; i < id.length(); i++)
            if (id.charAt(i) >= 0x80)
                *pDecided = false;
        return false;
    }
    bool equal = true;
    for (int32_t i = 0; i < nameLength; i++) {
        char16_t c = id.charAt(i);
        if (c >= 0x80) {
            *pDecided = false;
            return false;
        }
        equal = equal && ascii_lower(c) == ascii_lower((char16_t)(unsigned char)name[i]);
    }
    return equal;
}

}  // namespace

extern "C" icu::TimeZone* create_SimpleTimeZone(CAL_VTIMEZONE* pTimeZone) {
    if (!pTimeZone)
        return nullptr;
    const CAL_VZONE* standard = pTimeZone->pStandard;
    const CAL_VZONE* summer = pTimeZone->pDaylight;
    if (!standard || !standard->pDbZone)
        return pTimeZone->pIcuZone;
    const int32_t rawOffsetMs = standard->pDbZone->nOffsetTo * kMsPerMinute;
    if (!summer || !summer->pDbZone)
        return timezone_CreateSimpleTimeZoneShort(rawOffsetMs, tzid_of(pTimeZone));
    const int32_t savingsMs =
        (summer->pDbZone->nOffsetTo - standard->pDbZone->nOffsetTo) * kMsPerMinute;
    icu::TimeZone* zone = timezone_CreateSimpleTimeZone(
        rawOffsetMs, tzid_of(pTimeZone), (int8_t)summer->nMonth, (int8_t)summer->nWeek,
        (int8_t)summer->nDayOfWeek, summer->nTimeMs, (int8_t)standard->nMonth,
        (int8_t)standard->nWeek, (int8_t)standard->nDayOfWeek, standard->nTimeMs, savingsMs);
    /* Rules out of ICU's range (a 13th month, a 6th week) are read as they
     * were written; here they leave the zone without daylight time, as an
     * unreadable rule does, rather than without any zone. */
    return zone ? zone : timezone_CreateSimpleTimeZoneShort(rawOffsetMs, tzid_of(pTimeZone));
}

extern "C" CAL_VTIMEZONE* array_findTimeZone(const char* name, array_t* zones) {
    if (!name || !zones)
        return nullptr;
    /* Zone names are nearly always ASCII: compared without converting them. */
    const bool asciiName = is_ascii(name);
    const int32_t nameLength = (int32_t)strlen(name);
    icu::UnicodeString id;
    icu::UnicodeString wanted;   /* converted once, when ICU must compare */
    for (unsigned i = 0; i < zones->count; i++) {
        CAL_VTIMEZONE* candidate = (CAL_VTIMEZONE*)zones->data[i];
        if (!candidate || !candidate->pIcuZone)
            continue;
        candidate->pIcuZone->getID(id);
        bool decided = false;
        bool equal = asciiName && ascii_fold_equal(id, name, nameLength, &decided);
        if (!decided && wanted.isEmpty())
            wanted = icu::UnicodeString(name);
        if (!decided)
            equal = id.caseCompare(wanted, U_FOLD_CASE_DEFAULT) == 0;
        if (equal)
            return candidate;
    }
    return nullptr;
}

extern "C" time_t CAL_VTIMEZONE_DateTimeApplyTimeZone(const char* text, CAL_VTIMEZONE* pTimeZone) {
    return timezone_DateTimeApplyTimeZone(text, pTimeZone ? pTimeZone->pIcuZone : nullptr);
}
