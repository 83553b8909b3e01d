/* The pieces of the iCalendar serializer (internal): date-time output, the
 * zones a written calendar carries, components and VTIMEZONEs. */
#ifndef CORE_PARSER_CAL_SERIALIZE_PARTS_H
#define CORE_PARSER_CAL_SERIALIZE_PARTS_H

#include <stdint.h>

#include <vector>

#include "core/parser/cal_serialize_line.h"
#include "core/parser/cal_str.h"
#include "public/db/caldb.h"
#include "public/db/caldb_timezone.h"

namespace calparser_serialize {

/* ---- Zones (cal_serialize_time.cpp) -------------------------------------- */

/* Decides which zone the reader will apply to a TZID of the written calendar
 * and remembers the registry zones that the calendar must then carry. The
 * zones stay owned by the result array or the registry. */
class ZoneResolver {
public:
    /* `pInputZones` (may be NULL): the zones written from the records. With
     * `bUseRegistry` a zone only the registry knows is used and remembered;
     * with `bUtcOnly` no zone is ever used. */
    ZoneResolver(array_t* pInputZones, bool bUseRegistry, bool bUtcOnly)
        : input_(pInputZones), useRegistry_(bUseRegistry), utcOnly_(bUtcOnly) {}

    /* The zone whose rules a TZID of `tzid` will be read with, or NULL when
     * times named by it are to be written in UTC (no TZID, an unknown zone,
     * or an input zone of that name without a rule-based zone). */
    const CAL_VTIMEZONE* zone_for(const char* tzid);
    /* Registry zones handed out by zone_for, in the order first asked for. */
    const std::vector<const CAL_VTIMEZONE*>& registry_zones() const { return added_; }

private:
    array_t* input_;
    bool useRegistry_;
    bool utcOnly_;
    std::vector<const CAL_VTIMEZONE*> added_;
};

/* ---- Date-times (cal_serialize_time.cpp) --------------------------------- */

/* Room for "YYYYMMDDTHHMMSSZ" and its NUL. */
constexpr size_t kDateTimeRoom = 17;

/* "NAME:YYYYMMDDTHHMMSSZ"; nothing for a time that is not set (below 1). */
void put_utc(LineWriter& w, const char* name, int32_t t);

/* A component's DTSTART, DTEND or DUE: ";VALUE=DATE:YYYYMMDD" for an all-day
 * time, ";TZID=<tzid>:<local>" when `zone` is given and its local time reads
 * back to `t`, else the UTC form. Nothing for a time that is not set. */
void put_component_time(LineWriter& w, const char* name, int32_t t, bool bIsDate,
                        const CAL_VTIMEZONE* zone, const char* tzid);

/* The local text "YYYYMMDDTHHMMSS" of `t` in the server's default zone,
 * which the reader applies to a date-time without zone; the UTC form when that
 * text does not read back to `t`. */
void default_zone_text(int32_t t, char out[kDateTimeRoom]);

/* The date "YYYYMMDD" an all-day time `t` is written as: the default zone's
 * date of the nearest midnight. */
void all_day_date_text(int32_t t, char out[kDateTimeRoom]);

/* Appends a DURATION value of `seconds` ("-P1DT2H", "PT15M", "PT0S"). */
void append_duration(LineWriter& w, long seconds);

/* ---- Components (cal_serialize_component.cpp, cal_serialize_people.cpp) -- */

/* The properties and alarms of one event or to-do, without its head and
 * tail. `nMethod` is the calendar's METHOD (for the state line). */
void write_component_body(LineWriter& w, const CAL_VCOMPONENT* pComponent,
                          ZoneResolver& zones, iCal_Token_t nMethod);

/* ORGANIZER and every ATTENDEE of a component. */
void write_organizer(LineWriter& w, const CALDB_ORGANIZER* pOrganizer);
void write_attendees(LineWriter& w, const array_t* pAttendees);

/* ---- Zones as VTIMEZONE (cal_serialize_vtimezone.cpp) --------------------- */

/* BEGIN:VTIMEZONE .. END:VTIMEZONE of `pZone`; nothing without a TZID. */
void write_vtimezone(LineWriter& w, const CAL_VTIMEZONE* pZone);

}  // namespace calparser_serialize

#endif
