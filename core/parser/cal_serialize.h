/* Records back to iCalendar text: a whole VCALENDAR from a parse's result
 * array, or one event or to-do. Parsing what these functions write gives the
 * same records again (field by field), and writing those gives the same bytes.
 *
 * What is written:
 * - every field a record holds: times in UTC ("...Z"), all-day times as
 *   VALUE=DATE, a component's DTSTART/DTEND (DUE) as local time with a TZID
 *   when X-KVAL-DTSTART-TZID (X-KVAL-DUE-TZID) names a zone the output can
 *   carry; texts with RFC 5545 escaping; attendees and the organizer with
 *   their parameters; recurrence rules and dates; alarms, their triggers
 *   relative to the component's start (a to-do's: to its DUE, RELATED=END);
 *   the X- lines the records keep, unchanged;
 * - a VTIMEZONE for every zone of the result's slot 0 and for every registry
 *   zone a written TZID names, before the components;
 * - a METHOD taken from the components' state, and X-KVAL-GSE-COMPONENT-STATE
 *   only where a component's state is not what that METHOD gives on reading.
 * Lines end with CR LF and are folded before 76 octets, never inside a UTF-8
 * character. The property order is fixed. Expanded instances are written as
 * the components they are, with their RECURRENCE-ID.
 *
 * A backslash that the reader keeps as written ("\\", or one before an
 * ordinary character) is written unchanged, so that what was read comes back;
 * a backslash the reader would take for an escape is doubled.
 *
 * Records never keep a DURATION (only the end it gives), the TZID of a time
 * that no X-KVAL-*-TZID names, or DTSTAMP: such a time is written in UTC, and
 * DTSTAMP is LAST-MODIFIED, else CREATED, else left out. */
#ifndef CORE_PARSER_CAL_SERIALIZE_H
#define CORE_PARSER_CAL_SERIALIZE_H

#include "public/util/export.h"

#include "core/parser/cal_str.h"
#include "public/db/caldb.h"
#include "public/util/array.h"
#include "public/util/prot.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Flags of the writers. */
#define CALPARSER_WRITE_DEFAULT 0u
/* Every time in UTC: no TZID, and no registry zone is added. */
#define CALPARSER_WRITE_UTC 1u

/* Results of the writers. */
#define CALPARSER_WRITE_OK 0
#define CALPARSER_WRITE_BAD_ARGUMENT 1
#define CALPARSER_WRITE_NO_MEMORY 3
#define CALPARSER_WRITE_STREAM_ERROR 4

/* Writes one VCALENDAR holding the records of `pResult`, a result array of
 * calparser_prot_to_dbstruct (slot 0 CAL_VTIMEZONE*, slot 1 events, slot 2
 * to-dos, each a CAL_VCOMPONENT*; missing slots and NULL elements are passed
 * over), to the write stream `pOut`. Both stay the caller's; nothing is freed.
 * nFlags: CALPARSER_WRITE_* bits. Returns CALPARSER_WRITE_OK;
 * CALPARSER_WRITE_BAD_ARGUMENT for a NULL stream or result (nothing written);
 * CALPARSER_WRITE_NO_MEMORY (the output may stop mid-way);
 * CALPARSER_WRITE_STREAM_ERROR when the stream refused a write. */
CALPARSER_API
int calparser_write_ical(protstream* pOut, array_t* pResult, unsigned nFlags);

/* Writes one event or to-do between the head and tail of
 * calparser_ical_component_head/tail, with its alarms, to `pOut`, without
 * VCALENDAR or VTIMEZONE lines. `pTimeZones` (may be NULL) are the zones the
 * calendar around it carries (CAL_VTIMEZONE*), used for TZID local times; a
 * registry zone is never named, so the caller need not write one. `nMethod` is
 * the METHOD of that calendar (a TOKEN_* method; 0 stands for PUBLISH): the
 * component's state is written when reading it under that METHOD would give
 * another. Returns as calparser_write_ical; BAD_ARGUMENT also for a wrapper
 * without a record. */
CALPARSER_API
int calparser_write_component_ical(protstream* pOut, const CAL_VCOMPONENT* pComponent,
                                   array_t* pTimeZones, iCal_Token_t nMethod,
                                   unsigned nFlags);

#ifdef __cplusplus
}
#endif

#endif
