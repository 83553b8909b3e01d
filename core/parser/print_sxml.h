/* SXML writer: events and to-dos in the compact tag form, one line per
 * component with short attribute keys, framed by a calendar element.
 *
 * Every function writes to `pOut`, a write stream the caller owns, through
 * prot_printf; lines end with LF. Texts are inserted unchanged, without
 * quoting or escaping; a missing text is written as the empty string. Times
 * are written as UTC date-times ("YYYYMMDDTHHMMSSZ") or, for all-day
 * components, as dates ("YYYYMMDD"). A NULL stream writes nothing; write
 * errors stay with the stream. */
#ifndef CORE_PARSER_PRINT_SXML_H
#define CORE_PARSER_PRINT_SXML_H

#include "public/util/export.h"

#include <time.h>

#include "public/db/caldb.h"
#include "public/util/array.h"
#include "public/util/prot.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The opening calendar element (version, product id, method PUBLISH). */
CALPARSER_API
void calparser_sxml_header(protstream* pOut);

/* The closing calendar element. */
CALPARSER_API
void calparser_sxml_tail(protstream* pOut);

/* Writes `pEvent` as one "<E=..." line; `tStamp` becomes its DM attribute.
 * Writes nothing for a NULL event. Returns `pEvent`, still the caller's. */
CALPARSER_API
CALDB_VEVENT* calparser_event_to_sxml(CALDB_VEVENT* pEvent, protstream* pOut, time_t tStamp);

/* Writes `pTodo` as one "<T=..." line, its due time as the end. As above. */
CALPARSER_API
CALDB_VTODO* calparser_todo_to_sxml(CALDB_VTODO* pTodo, protstream* pOut, time_t tStamp);

/* Writes every CALDB_VEVENT* of `pEvents` in order, all with one time stamp
 * taken when the call starts; with `bFrame` non-zero the lines are framed by
 * the header and the tail. A NULL array writes no lines (the frame still
 * follows `bFrame`). The array stays the caller's. */
CALPARSER_API
void calparser_eventarray_to_sxml(array_t* pEvents, protstream* pOut, int bFrame);

/* The same for an array of CALDB_VTODO*. */
CALPARSER_API
void calparser_todoarray_to_sxml(array_t* pTodos, protstream* pOut, int bFrame);

#ifdef __cplusplus
}
#endif

#endif
