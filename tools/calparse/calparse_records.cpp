/* calparse: reading the library's records for display: times, zones, codes. */
#include "tools/calparse/calparse.h"

#include <plstr.h>
#include <unicode/timezone.h>

#include <algorithm>

namespace calparse {

namespace {

constexpr int kMsPerSecond = 1000;

std::string format_broken(const struct tm& t, bool utc) {
    char text[64];
    snprintf(text, sizeof text, "%04d%02d%02dT%02d%02d%02d%s", t.tm_year + 1900, t.tm_mon + 1,
             t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, utc ? "Z" : "");
    return text;
}

void free_text_list(array_t* list) {
    for (unsigned i = 0; list && i < list->count; i++)
        PL_strfree(static_cast<char*>(list->data[i]));
    array_delete(list);
}

const CAL_VTIMEZONE* input_zone(const Parsed& in, const char* tzid) {
    array_t* zones = in.slot(CALPARSER_SLOT_TIMEZONES);
    for (unsigned i = 0; zones && tzid && i < zones->count; i++) {
        const CAL_VTIMEZONE* zone = static_cast<const CAL_VTIMEZONE*>(zones->data[i]);
        if (zone->pDbTimeZone && zone->pDbTimeZone->pTzid &&
            PL_strcasecmp(zone->pDbTimeZone->pTzid, tzid) == 0)
            return zone;
    }
    return nullptr;
}

}  // namespace

Parsed::~Parsed() {
    calparser_FreeComponentArrayAndDestroy(&result);
    char* texts[] = {props.pDescription, props.pParentCalid, props.pRelativeCalid,
                     props.pCalmaster,   props.pName,        props.pCharset,
                     props.pLanguage,    props.pPrimaryOwner, props.pTzid};
    for (char* text : texts) PL_strfree(text);
    free_text_list(props.pOwners);
    free_text_list(props.pChildren);
    free_text_list(props.pCategories);
    acl_misc_FreeACEList(&props.pAceList);
}

array_t* Parsed::slot(unsigned index) const {
    return static_cast<array_t*>(array_elementat(result, index));
}

const char* status_text(int status) {
    switch (status) {
    case 0: return "parsed";
    case 1: return "refused (bad arguments or format)";
    case 2: return "no calendar data could be read (empty input, wrong format, or no "
                   "BEGIN:VCALENDAR for ical-strict)";
    case 3: return "out of memory";
    default: return "failed";
    }
}

std::string utc_text(long t) {
    if (t < 1) return "";
    time_t seconds = static_cast<time_t>(t);
    struct tm broken;
    if (!gmtime_r(&seconds, &broken)) return "";
    return format_broken(broken, true);
}

std::string local_text(const CAL_VTIMEZONE* zone, long t) {
    if (t < 1 || !zone || !zone->pIcuZone) return "";
    UErrorCode err = U_ZERO_ERROR;
    int32_t raw = 0;
    int32_t dst = 0;
    zone->pIcuZone->getOffset(static_cast<UDate>(t) * kMsPerSecond, false, raw, dst, err);
    if (U_FAILURE(err)) return "";
    time_t local = static_cast<time_t>(t + (raw + dst) / kMsPerSecond);
    struct tm broken;
    if (!gmtime_r(&local, &broken)) return "";
    return format_broken(broken, false);
}

const CAL_VTIMEZONE* display_zone(const Parsed& in, const Options& opt,
                                  const CALDB_COMPONENT* c, std::string* pName) {
    std::string name = opt.defaultTzid;
    array_t* zones = in.slot(CALPARSER_SLOT_TIMEZONES);
    if (opt.tzGiven) {
        name = opt.defaultTzid;
    } else if (c && c->pDtStartTzid) {
        name = c->pDtStartTzid;
    } else if (zones && zones->count > 0) {
        const CAL_VTIMEZONE* first = static_cast<const CAL_VTIMEZONE*>(zones->data[0]);
        if (first->pDbTimeZone && first->pDbTimeZone->pTzid) name = first->pDbTimeZone->pTzid;
    }
    *pName = name;
    const CAL_VTIMEZONE* zone = input_zone(in, name.c_str());
    return zone ? zone : calparser_lookupCalVTimeZone(name.c_str());
}

bool same_series(const CAL_VCOMPONENT* a, const CAL_VCOMPONENT* b) {
    const CALDB_COMPONENT* x = a ? static_cast<const CALDB_COMPONENT*>(a->pComponent) : nullptr;
    const CALDB_COMPONENT* y = b ? static_cast<const CALDB_COMPONENT*>(b->pComponent) : nullptr;
    return x && y && x->pUid && y->pUid && x->tRecurrenceId > 0 && y->tRecurrenceId > 0 &&
           PL_strcmp(x->pUid, y->pUid) == 0;
}

std::vector<unsigned> listing_order(const array_t* slot) {
    std::vector<unsigned> order;
    if (!slot) return order;
    for (unsigned i = 0; i < slot->count; i++) order.push_back(i);
    auto wrapper = [slot](unsigned i) {
        return static_cast<const CAL_VCOMPONENT*>(slot->data[i]);
    };
    auto earlier = [&wrapper](unsigned a, unsigned b) {
        return static_cast<const CALDB_COMPONENT*>(wrapper(a)->pComponent)->tRecurrenceId <
               static_cast<const CALDB_COMPONENT*>(wrapper(b)->pComponent)->tRecurrenceId;
    };
    for (unsigned begin = 0; begin < slot->count;) {
        unsigned end = begin + 1;
        while (end < slot->count && same_series(wrapper(begin), wrapper(end))) end++;
        std::stable_sort(order.begin() + begin, order.begin() + end, earlier);
        begin = end;
    }
    return order;
}

const char* partstat_text(int code) {
    if (code == 0) return "";
    const char* name = calparser_getPartStatName(code);
    return name ? name : "OTHER";
}

const char* alarm_action_text(int action) {
    switch (action) {
    case CALDB_ALARM_AUDIO: return "AUDIO";
    case CALDB_ALARM_DISPLAY: return "DISPLAY";
    case CALDB_ALARM_PROCEDURE: return "PROCEDURE";
    case CALDB_ALARM_FLASHING: return "X-TAVO-FLASHING";
    default: return "EMAIL";
    }
}

const char* status_code_text(int status) {
    switch (status) {
    case CALDB_STATUS_CONFIRMED: return "CONFIRMED";
    case CALDB_STATUS_CANCELLED: return "CANCELLED";
    case CALDB_STATUS_TENTATIVE: return "TENTATIVE";
    case CALDB_STATUS_NEEDS_ACTION: return "NEEDS-ACTION";
    case CALDB_STATUS_COMPLETED: return "COMPLETED";
    case CALDB_STATUS_IN_PROCESS: return "IN-PROCESS";
    default: return "UNKNOWN";
    }
}

const char* method_text(unsigned methodState) {
    switch (methodState) {
    case 2: return "REQUEST";
    case 4: return "REPLY";
    case 8: return "CANCEL";
    case 64: return "COUNTER";
    default: return "PUBLISH";
    }
}

}  // namespace calparse
