/* The entry points of the iCalendar serializer: the calendar frame, its
 * METHOD, the zones it carries, then every event and to-do. */
#include "core/parser/cal_serialize.h"

#include <new>

#include "core/parser/cal_serialize_parts.h"
#include "core/parser/calparser.h"

using namespace calparser_serialize;

namespace {

/* The kind codes of the reply writer's component head and tail. */
constexpr int kHeadEvent = 1;
constexpr int kHeadTodo = 0;

array_t* slot_of(array_t* pResult, unsigned index)
{
    return index < pResult->count ? (array_t*)pResult->data[index] : nullptr;
}

const CALDB_COMPONENT* record_of(const array_t* components, unsigned i)
{
    const CAL_VCOMPONENT* wrapper = (const CAL_VCOMPONENT*)components->data[i];
    return wrapper ? (const CALDB_COMPONENT*)wrapper->pComponent : nullptr;
}

/* The METHOD whose state bit the first component with a state carries. */
iCal_Token_t method_of(const array_t* events, const array_t* todos)
{
    for (const array_t* list : {events, todos}) {
        for (unsigned i = 0; list && i < list->count; i++) {
            const CALDB_COMPONENT* c = record_of(list, i);
            if (!c || c->nCompState == CALDB_COMPSTATE_NOT_GIVEN)
                continue;
            switch (c->nCompState >> 16) {
            case CALDB_METHOD_REQUEST: return TOKEN_REQUEST;
            case CALDB_METHOD_REPLY: return TOKEN_REPLY;
            case CALDB_METHOD_CANCEL: return TOKEN_CANCEL;
            case CALDB_METHOD_COUNTER: return TOKEN_COUNTER;
            default: return TOKEN_PUBLISH;
            }
        }
    }
    return TOKEN_PUBLISH;
}

/* Asks for the zone of every local time the components will write, so that
 * the registry zones among them are known before the zones are written. */
void collect_zones(ZoneResolver& zones, const array_t* list)
{
    for (unsigned i = 0; list && i < list->count; i++) {
        const CAL_VCOMPONENT* wrapper = (const CAL_VCOMPONENT*)list->data[i];
        const CALDB_COMPONENT* c = record_of(list, i);
        if (!c)
            continue;
        if (c->tDtStart > 0 && !c->bDtStartIsDate)
            zones.zone_for(c->pDtStartTzid);
        if (!caldb_IsEventKind(wrapper->nType)) {
            const CALDB_VTODO* t = (const CALDB_VTODO*)c;
            if (t->tDue > 0 && !t->bDtEndIsDate)
                zones.zone_for(t->pDueTzid ? t->pDueTzid : t->pDtStartTzid);
        } else if (((const CALDB_VEVENT*)c)->tDtEnd > 0 && !c->bDtEndIsDate) {
            zones.zone_for(c->pDtStartTzid);
        }
    }
}

void write_component(LineWriter& w, const CAL_VCOMPONENT* wrapper, ZoneResolver& zones,
                     iCal_Token_t nMethod)
{
    const int head = caldb_IsEventKind(wrapper->nType) ? kHeadEvent : kHeadTodo;
    w.flush();
    calparser_ical_component_head(w.stream(), head);
    write_component_body(w, wrapper, zones, nMethod);
    w.flush();
    calparser_ical_component_tail(w.stream(), head);
}

void write_components(LineWriter& w, const array_t* list, ZoneResolver& zones,
                      iCal_Token_t nMethod)
{
    for (unsigned i = 0; list && i < list->count; i++)
        if (record_of(list, i))
            write_component(w, (const CAL_VCOMPONENT*)list->data[i], zones, nMethod);
}

void write_calendar(LineWriter& w, array_t* pResult, unsigned nFlags)
{
    array_t* zoneSlot = slot_of(pResult, CALPARSER_SLOT_TIMEZONES);
    const array_t* events = slot_of(pResult, CALPARSER_SLOT_EVENTS);
    const array_t* todos = slot_of(pResult, CALPARSER_SLOT_TODOS);
    const iCal_Token_t method = method_of(events, todos);
    if (method == TOKEN_PUBLISH) {
        calparser_ical_header(w.stream());
    } else {
        calparser_ical_header_no_method(w.stream());
        w.fixed("METHOD:");
        w.fixed(calparser_getICALString(method));
        w.fixed("\r\n");
    }
    ZoneResolver zones(zoneSlot, true, (nFlags & CALPARSER_WRITE_UTC) != 0);
    collect_zones(zones, events);
    collect_zones(zones, todos);
    for (unsigned i = 0; zoneSlot && i < zoneSlot->count; i++)
        write_vtimezone(w, (const CAL_VTIMEZONE*)zoneSlot->data[i]);
    for (const CAL_VTIMEZONE* zone : zones.registry_zones())
        write_vtimezone(w, zone);
    write_components(w, events, zones, method);
    write_components(w, todos, zones, method);
    w.flush();
    calparser_ical_tail(w.stream());
}

/* The result of a write that ran to its end. */
int finish(LineWriter& w)
{
    const bool written = w.flush();
    return written && prot_flush(w.stream()) == 0 ? CALPARSER_WRITE_OK
                                                   : CALPARSER_WRITE_STREAM_ERROR;
}

}  // namespace

extern "C" {

int calparser_write_ical(protstream* pOut, array_t* pResult, unsigned nFlags)
{
    if (!pOut || !pResult)
        return CALPARSER_WRITE_BAD_ARGUMENT;
    try {
        LineWriter w(pOut);
        write_calendar(w, pResult, nFlags);
        return finish(w);
    } catch (const std::bad_alloc&) {
        return CALPARSER_WRITE_NO_MEMORY;
    }
}

int calparser_write_component_ical(protstream* pOut, const CAL_VCOMPONENT* pComponent,
                                   array_t* pTimeZones, iCal_Token_t nMethod,
                                   unsigned nFlags)
{
    if (!pOut || !pComponent || !pComponent->pComponent)
        return CALPARSER_WRITE_BAD_ARGUMENT;
    try {
        LineWriter w(pOut);
        ZoneResolver zones(pTimeZones, false, (nFlags & CALPARSER_WRITE_UTC) != 0);
        write_component(w, pComponent, zones, nMethod);
        return finish(w);
    } catch (const std::bad_alloc&) {
        return CALPARSER_WRITE_NO_MEMORY;
    }
}

}  // extern "C"
