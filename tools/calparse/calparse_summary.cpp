/* calparse --output summary: a readable account of each input. The
 * instances of an expanded series (consecutive components with one UID and
 * a recurrence id) are listed, earliest first, under the earliest one. */
#include "tools/calparse/calparse.h"

#include <plstr.h>

namespace calparse {

namespace {

const char* or_empty(const char* text) {
    return text ? text : "";
}

/* "20261203T140000Z (20261203T090000 America/New_York)" */
std::string both_times(long t, const CAL_VTIMEZONE* zone, const std::string& zoneName) {
    std::string text = utc_text(t);
    std::string local = local_text(zone, t);
    if (!local.empty()) text += " (" + local + " " + zoneName + ")";
    return text;
}

void print_sub_zone(FILE* out, const char* label, const CAL_VZONE* sub) {
    if (!sub || !sub->pDbZone) return;
    const CALDB_VZONE* db = sub->pDbZone;
    const char* name = db->aTzNames && db->aTzNames->count > 0
                           ? static_cast<const char*>(db->aTzNames->data[0])
                           : "";
    int minutes = db->nOffsetTo < 0 ? -db->nOffsetTo : db->nOffsetTo;
    fprintf(out, "    %s %s: UTC%c%02d:%02d", label, name, db->nOffsetTo < 0 ? '-' : '+',
            minutes / 60, minutes % 60);
    if (sub->nMonth >= 0)
        fprintf(out, ", from month %d, week %d, weekday %d, at %02d:%02d", sub->nMonth + 1,
                sub->nWeek, sub->nDayOfWeek, sub->nTimeMs / 3600000,
                sub->nTimeMs / 60000 % 60);
    fprintf(out, "\n");
}

void print_zone(FILE* out, const CAL_VTIMEZONE* zone) {
    const CALDB_VTIMEZONE* db = zone->pDbTimeZone;
    fprintf(out, "time zone %s\n", db && db->pTzid ? db->pTzid : "(no TZID)");
    print_sub_zone(out, "standard", zone->pStandard);
    print_sub_zone(out, "daylight", zone->pDaylight);
}

void print_people(FILE* out, const CALDB_COMPONENT* c) {
    if (c->pOrganizer)
        fprintf(out, "  organizer %s%s%s%s\n", or_empty(c->pOrganizer->pAddr),
                c->pOrganizer->pCn ? " (" : "", or_empty(c->pOrganizer->pCn),
                c->pOrganizer->pCn ? ")" : "");
    for (unsigned i = 0; c->aAttendees && i < c->aAttendees->count; i++) {
        const CALDB_ATTENDEE* a = static_cast<const CALDB_ATTENDEE*>(c->aAttendees->data[i]);
        fprintf(out, "  attendee %s%s%s%s: %s%s\n", or_empty(a->pAddr), a->pCn ? " (" : "",
                or_empty(a->pCn), a->pCn ? ")" : "",
                a->nPartStat ? partstat_text(a->nPartStat) : "no status",
                a->bRsvp ? ", reply requested" : "");
    }
}

void print_alarms(FILE* out, const CALDB_COMPONENT* c, const CAL_VTIMEZONE* zone,
                  const std::string& zoneName) {
    for (unsigned i = 0; c->aAlarms && i < c->aAlarms->count; i++) {
        const CALDB_VALARM* alarm = static_cast<const CALDB_VALARM*>(c->aAlarms->data[i]);
        fprintf(out, "  alarm %s at %s", alarm_action_text(alarm->nAction),
                both_times(alarm->tTrigger, zone, zoneName).c_str());
        const char* text = alarm->pDescription ? alarm->pDescription : alarm->pSummary;
        if (text) fprintf(out, ": %s", text);
        if (alarm->nRepeat > 0)
            fprintf(out, ", repeated %d times every %d s", alarm->nRepeat, alarm->nDuration);
        fprintf(out, "\n");
    }
}

/* Prints the component at `order[pos]` (and the instances of its series
 * that follow it in `order`); returns the position of the next one. */
size_t print_component(FILE* out, const Parsed& in, const Options& opt, const array_t* slot,
                       const std::vector<unsigned>& order, size_t pos, bool isEvent) {
    auto wrapper_at = [slot, &order](size_t at) {
        return static_cast<const CAL_VCOMPONENT*>(slot->data[order[at]]);
    };
    const CAL_VCOMPONENT* wrapper = wrapper_at(pos);
    const CALDB_COMPONENT* c =
        wrapper ? static_cast<const CALDB_COMPONENT*>(wrapper->pComponent) : nullptr;
    if (!c) return pos + 1;
    std::string zoneName;
    const CAL_VTIMEZONE* zone = display_zone(in, opt, c, &zoneName);
    fprintf(out, "%s \"%s\"\n", isEvent ? "event" : "to-do", or_empty(c->pSummary));
    if (c->pUid) fprintf(out, "  uid %s\n", c->pUid);
    if (c->tDtStart > 0)
        fprintf(out, "  start %s%s\n", both_times(c->tDtStart, zone, zoneName).c_str(),
                c->bDtStartIsDate ? ", all day" : "");
    if (isEvent) {
        const CALDB_VEVENT* ev = static_cast<const CALDB_VEVENT*>(wrapper->pComponent);
        if (ev->tDtEnd > 0)
            fprintf(out, "  end   %s\n", both_times(ev->tDtEnd, zone, zoneName).c_str());
    } else {
        const CALDB_VTODO* todo = static_cast<const CALDB_VTODO*>(wrapper->pComponent);
        if (todo->tDue > 0)
            fprintf(out, "  due   %s\n", both_times(todo->tDue, zone, zoneName).c_str());
        if (todo->tCompleted > 0)
            fprintf(out, "  done  %s\n", both_times(todo->tCompleted, zone, zoneName).c_str());
        if (todo->nPercentComplete > 0)
            fprintf(out, "  %d%% complete\n", todo->nPercentComplete);
    }
    fprintf(out, "  status %s, priority %d\n", status_code_text(c->nStatus), c->nPriority);
    if (c->pLocation) fprintf(out, "  location %s\n", c->pLocation);
    print_people(out, c);
    print_alarms(out, c, zone, zoneName);
    for (unsigned i = 0; c->aRRules && i < c->aRRules->count; i++)
        fprintf(out, "  rule %s\n", static_cast<const char*>(c->aRRules->data[i]));

    size_t next = pos + 1;
    while (next < order.size() && same_series(wrapper, wrapper_at(next))) next++;
    if (next > pos + 1 || c->tRecurrenceId > 0) {
        fprintf(out, "  instances: %zu\n", next - pos);
        for (size_t at = pos; at < next; at++) {
            const CALDB_COMPONENT* instance =
                static_cast<const CALDB_COMPONENT*>(wrapper_at(at)->pComponent);
            fprintf(out, "    %s\n", both_times(instance->tDtStart, zone, zoneName).c_str());
        }
    }
    return next;
}

void print_slot(FILE* out, const Parsed& in, const Options& opt, unsigned slotIndex) {
    const array_t* slot = in.slot(slotIndex);
    std::vector<unsigned> order = listing_order(slot);
    for (size_t pos = 0; pos < order.size();)
        pos = print_component(out, in, opt, slot, order, pos,
                              slotIndex == CALPARSER_SLOT_EVENTS);
}

}  // namespace

int print_summary(FILE* out, const Parsed& in, const Options& opt) {
    array_t* zones = in.slot(CALPARSER_SLOT_TIMEZONES);
    array_t* events = in.slot(CALPARSER_SLOT_EVENTS);
    array_t* todos = in.slot(CALPARSER_SLOT_TODOS);
    fprintf(out, "%s: %s; method %s; %u time zones, %u events, %u to-dos\n", in.name.c_str(),
            status_text(in.status), method_text(in.methodState), zones ? zones->count : 0,
            events ? events->count : 0, todos ? todos->count : 0);
    if (in.props.pName) fprintf(out, "calendar \"%s\"\n", in.props.pName);
    for (unsigned i = 0; zones && i < zones->count; i++)
        print_zone(out, static_cast<const CAL_VTIMEZONE*>(zones->data[i]));
    print_slot(out, in, opt, CALPARSER_SLOT_EVENTS);
    print_slot(out, in, opt, CALPARSER_SLOT_TODOS);
    return ferror(out) ? 1 : 0;
}

}  // namespace calparse
