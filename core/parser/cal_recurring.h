/* Keeping a recurring event or to-do consistent with its instances.
 *
 * The server stores a recurring component as a master plus instances. These
 * operations fold a list of instances back into one master whose RDATE list
 * names every instance, apply a master's changes to stored instances, record
 * an instance's date in the master's date lists, recognise an instance that
 * is already in a list, bump sequence numbers and name a component state.
 *
 * An instance's original start is read from its X-KVAL-ORIGINAL-DTSTART line
 * (see getOriginalStartTimeXTokenVal), so it is still known after the
 * instance's own DTSTART moved. Status codes: 0 success, 1 bad argument,
 * 3 out of memory. Failed text copies inside these operations are skipped
 * without a report. */
#ifndef CORE_PARSER_CAL_RECURRING_H
#define CORE_PARSER_CAL_RECURRING_H

#include "public/util/export.h"

#include <stdint.h>

#include "public/db/caldb.h"
#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Folds `instances` (CALDB_VEVENT records, only read) into *ppMaster, which
 * is created when NULL (the caller owns it either way). The master takes a
 * full copy of the first instance at that instance's DTSTART; its
 * RECURRENCE-ID is the first instance's when the list holds one instance,
 * else 0; its RDATE list is replaced by the RECURRENCE-ID of every instance in
 * UTC form, in list order (empty for a single instance). Unless the master is
 * an expanded master, its RRULE, EXRULE and EXDATE lists are dropped. The
 * organizer takes `sentBy` (may be NULL) as SENT-BY; a master without one
 * gets a new organizer whose address is the master's X-KVAL-ORGANIZER-EMAIL.
 * Returns 0; 1 for a NULL ppMaster or an empty or NULL list; 3 when the
 * master cannot be created, or when its first RDATE list cannot be created
 * (the master is then freed and *ppMaster is NULL) or the new one cannot
 * (the master stays, without RDATE list). */
CALPARSER_API
int calparser_CreateCompressedRecurringEventFromList(CALDB_VEVENT** ppMaster, array_t* instances,
                                                     const char* sentBy);
/* The to-do form (DUE for DTEND); RRULE, EXRULE and EXDATE are always dropped. */
CALPARSER_API
int calparser_CreateCompressedRecurringTodoFromList(CALDB_VTODO** ppMaster, array_t* instances,
                                                    const char* sentBy);

/* Merges the instance's RDATE list, then its EXDATE list, into *ppMaster's
 * without duplicates. Returns the result of the EXDATE merge (0, or 3 when a
 * copy fails); 1 for a NULL argument. */
CALPARSER_API
int calparser_ModifyRecurringComponentExDateRDate(CALDB_COMPONENT** ppMaster,
                                                  const CALDB_COMPONENT* instance);

/* Records the instance's original start, in UTC form, in the master's
 * X-Z9KQ-RECURRENCE-RDATELIST (attendeeLists 0) or X-Z9KQ-ATTENDEE-RDATELIST
 * (attendeeLists non-zero) unless an equal entry is there; the matching
 * EXDATELIST is created too when missing. With attendeeLists 0, every entry of
 * the RDATELIST equal to an entry of `removeDates` (texts, only read; may be
 * NULL) is removed first. `ignored` is not used. Returns 0 (also for a NULL
 * *ppMaster); 3 when a list cannot be created: then the whole master is freed
 * and *ppMaster is NULL. */
CALPARSER_API
int calparser_ModifyMasterEventExDateRDate(CALDB_COMPONENT** ppMaster,
                                           const CALDB_COMPONENT* instance, int ignored,
                                           const array_t* removeDates, int attendeeLists);

/* Applies the master's changes (its modFields) to one instance: a
 * modified-only copy with `force`; with moveStart, DTSTART becomes the
 * instance's original start plus `shift`; DTEND becomes DTSTART plus
 * `length` when the master's DTEND changed and the instance's did not, or
 * with force; a master with a RECURRENCE-ID sets the instance's to its
 * original start; the alarms are replaced by the master's, moved to the
 * instance's DTSTART, when the master's changed and the instance's did not,
 * or with force. Returns 0 (also for a NULL record). */
CALPARSER_API
int calparser_ModifyRecurringEvent(CALDB_VEVENT* instance, const CALDB_VEVENT* master, int shift,
                                   int length, int moveStart, int force);
/* The same with DUE; a master without DUE gives the instance no DUE. */
CALPARSER_API
int calparser_ModifyRecurringTodo(CALDB_VTODO* instance, const CALDB_VTODO* master, int shift,
                                  int length, int moveStart, int force);

/* The single form on every record of `instances` (CALDB_VEVENT or
 * CALDB_VTODO records), last first. shift is the master's DTSTART minus its
 * original start when the master has a RECURRENCE-ID, else 0 (to-dos: else
 * the master's DTSTART minus each instance's); length is the master's DTEND
 * (DUE) minus its DTSTART (to-dos without DUE: 0). Returns 0. */
CALPARSER_API
int calparser_ModifyRecurringEventList(array_t* instances, const CALDB_VEVENT* master,
                                       int moveStart, int force);
CALPARSER_API
int calparser_ModifyRecurringTodoList(array_t* instances, const CALDB_VTODO* master,
                                      int moveStart, int force);

/* Looks in `wrappers` (CAL_VCOMPONENT records) for a record of the same nType,
 * UID (letter case ignored) and RECURRENCE-ID as `candidate`. When found, the
 * candidate's RRULE, EXRULE, RDATE and EXDATE are merged into it without
 * duplicates, every property in which it differs from the candidate is
 * marked in its modFields, and the result is 1. Else 0 (also for NULL). The
 * candidate stays the caller's. */
CALPARSER_API
int calparser_RecurringInstanceAlreadyInList(array_t* wrappers, const CALDB_COMPONENT* candidate);

/* Adds 1 to nSequence of the record of every CAL_VCOMPONENT wrapper of
 * `components` (a component list as a parse or an expansion makes it), in
 * list order. Returns the last record's new value; 0 for a NULL or empty
 * list. */
CALPARSER_API
int calparser_bump_sequence_number_on_complist(array_t* components);

/* *ppOut becomes a new text "METHOD-STATE" (e.g. "REQUEST-ACCEPTED") naming
 * the two halves of `state`; the caller frees it with PL_strfree. Returns 0;
 * 1 for a NULL ppOut; 3 when memory runs out (*ppOut NULL). */
CALPARSER_API
int getCompStateStringToICAL(int state, char** ppOut);

#ifdef __cplusplus
}
#endif

#endif
