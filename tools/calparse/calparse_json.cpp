/* calparse --output json: one object per input, its keys in a fixed order,
 * so that two runs over the same input print the same bytes. Events and
 * to-dos come in the summary's order (listing_order): the library's, with
 * the instances of a series earliest first. */
#include "tools/calparse/calparse.h"

#include <nlohmann/json.hpp>

namespace calparse {

namespace {

using Json = nlohmann::ordered_json;

Json text_or_null(const char* text) {
    return text ? Json(text) : Json(nullptr);
}

Json text_list(const array_t* list) {
    Json items = Json::array();
    for (unsigned i = 0; list && i < list->count; i++)
        items.push_back(text_or_null(static_cast<const char*>(list->data[i])));
    return items;
}

/* A time: UTC, and local in the display zone when it has one. */
Json time_value(long t, const CAL_VTIMEZONE* zone) {
    if (t < 1) return nullptr;
    Json value = {{"utc", utc_text(t)}};
    std::string local = local_text(zone, t);
    value["local"] = local.empty() ? Json(nullptr) : Json(local);
    return value;
}

Json sub_zone(const CAL_VZONE* sub) {
    if (!sub) return nullptr;
    const CALDB_VZONE* db = sub->pDbZone;
    Json value = {{"offsetFrom", db ? db->nOffsetFrom : 0},
                  {"offsetTo", db ? db->nOffsetTo : 0},
                  {"names", text_list(db ? db->aTzNames : nullptr)}};
    if (sub->nMonth >= 0)
        value["rule"] = {{"month", sub->nMonth + 1},
                         {"week", sub->nWeek},
                         {"dayOfWeek", sub->nDayOfWeek},
                         {"timeMinutes", sub->nTimeMs / 60000}};
    return value;
}

Json zone_value(const CAL_VTIMEZONE* zone) {
    const CALDB_VTIMEZONE* db = zone->pDbTimeZone;
    return {{"tzid", text_or_null(db ? db->pTzid : nullptr)},
            {"aliases", text_list(zone->aAliases)},
            {"crossings", zone->aTzCross ? zone->aTzCross->count : 0},
            {"standard", sub_zone(zone->pStandard)},
            {"daylight", sub_zone(zone->pDaylight)}};
}

Json attendee_value(const CALDB_ATTENDEE* a) {
    return {{"address", text_or_null(a->pAddr)},
            {"calid", text_or_null(a->pCalid)},
            {"cn", text_or_null(a->pCn)},
            {"role", text_or_null(a->pRole)},
            {"partstat", partstat_text(a->nPartStat)},
            {"rsvp", a->bRsvp != 0}};
}

Json alarm_value(const CALDB_VALARM* alarm, const CAL_VTIMEZONE* zone) {
    return {{"action", alarm_action_text(alarm->nAction)},
            {"trigger", time_value(alarm->tTrigger, zone)},
            {"repeat", alarm->nRepeat},
            {"durationSeconds", alarm->nDuration},
            {"summary", text_or_null(alarm->pSummary)},
            {"description", text_or_null(alarm->pDescription)},
            {"attendees", text_list(alarm->aAttendees)}};
}

/* What events and to-dos share; `c` is the record's shared head. */
Json component_value(const Parsed& in, const Options& opt, const CALDB_COMPONENT* c,
                     std::string* pZoneName, const CAL_VTIMEZONE** ppZone) {
    *ppZone = display_zone(in, opt, c, pZoneName);
    const CAL_VTIMEZONE* zone = *ppZone;
    Json value = {{"uid", text_or_null(c->pUid)},
                  {"summary", text_or_null(c->pSummary)},
                  {"zone", *pZoneName},
                  {"start", time_value(c->tDtStart, zone)},
                  {"allDay", c->bDtStartIsDate != 0},
                  {"recurrenceId", time_value(c->tRecurrenceId, zone)},
                  {"expandedMaster", c->bExpandedMaster != 0},
                  {"status", status_code_text(c->nStatus)},
                  {"priority", c->nPriority},
                  {"sequence", c->nSequence},
                  {"compState", c->nCompState},
                  {"description", text_or_null(c->pDescription)},
                  {"location", text_or_null(c->pLocation)},
                  {"class", text_or_null(c->pClass)},
                  {"categories", text_list(c->aCategories)},
                  {"rrules", text_list(c->aRRules)},
                  {"rdates", text_list(c->aRDates)},
                  {"exdates", text_list(c->aExDates)}};
    const CALDB_ORGANIZER* org = c->pOrganizer;
    value["organizer"] =
        org ? Json{{"address", text_or_null(org->pAddr)}, {"cn", text_or_null(org->pCn)}}
            : Json(nullptr);
    Json attendees = Json::array();
    for (unsigned i = 0; c->aAttendees && i < c->aAttendees->count; i++)
        attendees.push_back(
            attendee_value(static_cast<const CALDB_ATTENDEE*>(c->aAttendees->data[i])));
    value["attendees"] = attendees;
    Json alarms = Json::array();
    for (unsigned i = 0; c->aAlarms && i < c->aAlarms->count; i++)
        alarms.push_back(alarm_value(static_cast<const CALDB_VALARM*>(c->aAlarms->data[i]), zone));
    value["alarms"] = alarms;
    return value;
}

Json components(const Parsed& in, const Options& opt, unsigned slotIndex) {
    Json items = Json::array();
    array_t* slot = in.slot(slotIndex);
    for (unsigned i : listing_order(slot)) {
        const CAL_VCOMPONENT* wrapper = static_cast<const CAL_VCOMPONENT*>(slot->data[i]);
        if (!wrapper || !wrapper->pComponent) continue;
        const CALDB_COMPONENT* c = static_cast<const CALDB_COMPONENT*>(wrapper->pComponent);
        std::string zoneName;
        const CAL_VTIMEZONE* zone = nullptr;
        Json value = component_value(in, opt, c, &zoneName, &zone);
        if (slotIndex == CALPARSER_SLOT_EVENTS) {
            const CALDB_VEVENT* ev = static_cast<const CALDB_VEVENT*>(wrapper->pComponent);
            value["end"] = time_value(ev->tDtEnd, zone);
            value["transparent"] = ev->bTransparent != 0;
        } else {
            const CALDB_VTODO* todo = static_cast<const CALDB_VTODO*>(wrapper->pComponent);
            value["due"] = time_value(todo->tDue, zone);
            value["completed"] = time_value(todo->tCompleted, zone);
            value["percentComplete"] = todo->nPercentComplete;
        }
        items.push_back(value);
    }
    return items;
}

}  // namespace

int print_json(FILE* out, const Parsed& in, const Options& opt) {
    Json zones = Json::array();
    array_t* zoneSlot = in.slot(CALPARSER_SLOT_TIMEZONES);
    for (unsigned i = 0; zoneSlot && i < zoneSlot->count; i++)
        zones.push_back(zone_value(static_cast<const CAL_VTIMEZONE*>(zoneSlot->data[i])));
    Json doc = {{"input", in.name},
                {"status", in.status},
                {"statusText", status_text(in.status)},
                {"methodState", in.methodState},
                {"calendarName", text_or_null(in.props.pName)},
                {"timezones", zones},
                {"events", components(in, opt, CALPARSER_SLOT_EVENTS)},
                {"todos", components(in, opt, CALPARSER_SLOT_TODOS)}};
    /* Input bytes that are not UTF-8 reach the records unchanged: replace them. */
    std::string text = doc.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
    return fwrite(text.data(), 1, text.size(), out) == text.size() ? 0 : 1;
}

}  // namespace calparse
