/* Copying events, to-dos, alarms and calendar-property records.
 *
 * Two modes. A full copy takes every property but the dates. A modified-only
 * copy (used to apply a master's changes to its stored instances) takes only
 * the properties whose modFields bits are set in the source, and leaves a
 * guarded property that the destination has changed itself (its own bit
 * set) unless `force` is non-zero. The copies at a new start also move
 * DTSTART, DTEND or DUE, RECURRENCE-ID and every alarm trigger.
 *
 * Every copy owns what it holds: texts are duplicated, lists are new arrays
 * of duplicated texts. Status codes: 0 success, 1 bad argument, 3 out of
 * memory; most copies ignore a failed text or list copy (the field stays
 * empty or partly merged) and still return 0. */
#ifndef CORE_PARSER_CAL_COPY_H
#define CORE_PARSER_CAL_COPY_H

#include "public/util/export.h"

#include <time.h>

#include "public/db/caldb.h"
#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Whole components ---------------------------------------------------- */

/* A new full copy of pSrc, dates, alarms and RECURRENCE-ID included, in
 * *ppDest (the caller owns it). Returns 1 when an argument is NULL; else 0,
 * with *ppDest NULL when the record cannot be created. */
CALPARSER_API
int calparser_copyConstructorEvent(const CALDB_VEVENT* pSrc, CALDB_VEVENT** ppDest);
CALPARSER_API
int calparser_copyConstructorTodo(const CALDB_VTODO* pSrc, CALDB_VTODO** ppDest);
/* By pSrc's nType: 0 or 10 an event, any other value a to-do. */
CALPARSER_API
int calparser_copyConstructorComponent(const CALDB_COMPONENT* pSrc, CALDB_COMPONENT** ppDest);

/* Copies pSrc's properties into pDest in the given mode, then moves pDest to
 * `start`: DTSTART and RECURRENCE-ID become start, DTEND becomes start plus
 * the source's length (start when that is below 1 second), and the alarms
 * are replaced by the source's, each at its old distance from DTSTART.
 * The to-do form does the same with DUE, except that a source without DUE
 * gives a copy without DUE. Returns 0, or 1 for a NULL record. */
CALPARSER_API
int calparser_recurrence_copyEvent(CALDB_VEVENT* pDest, const CALDB_VEVENT* pSrc, time_t start,
                                   int modifiedOnly, int force);
CALPARSER_API
int calparser_recurrence_copyTodo(CALDB_VTODO* pDest, const CALDB_VTODO* pSrc, time_t start,
                                  int modifiedOnly, int force);

/* A full property copy moved to `start`, whose length is that of the period
 * of `periods` (sorted by start, CAL_TIME_PERIOD records) starting at
 * `start`, else the source's length; a length of 0 or less gives an end (or
 * DUE) equal to start. The alarms are replaced only when withAlarms is
 * non-zero. Returns 0, or 1 for a NULL record. */
CALPARSER_API
int calparser_recurrence_copyEventPeriod(CALDB_VEVENT* pDest, const CALDB_VEVENT* pSrc,
                                         const array_t* periods, time_t start, int withAlarms);
CALPARSER_API
int calparser_recurrence_copyTodoPeriod(CALDB_VTODO* pDest, const CALDB_VTODO* pSrc,
                                        const array_t* periods, time_t start, int withAlarms);
/* The period copy of either kind, without alarms. Returns 1 when a record
 * is NULL or the two nType values differ, else 0. */
CALPARSER_API
int calparser_recurrence_copyComponentPeriodExceptAlarms(CALDB_COMPONENT* pDest,
                                                         const CALDB_COMPONENT* pSrc,
                                                         const array_t* periods, time_t start);

/* ---- Properties without the dates ---------------------------------------- */

/* The shared head. Full mode (modifiedOnly 0): nType, nCompState and every
 * property but DTSTART, RECURRENCE-ID, the alarms and X-KVAL-LINK-CALID;
 * texts the source lacks keep the destination's (CLASS is cleared), the
 * attendee list is replaced by a deep copy, text lists are merged without
 * duplicates. Modified-only mode: nType, nCompState and nAuxValue, then only
 * the properties whose bit is set in pSrc->modFields; a guarded property
 * (GEO, DESCRIPTION, LOCATION, X-KVAL-ORGANIZER-EMAIL, SUMMARY, URL, the
 * attendees, CATEGORIES, RELATED-TO, ATTACH, RESOURCES, COMMENT, CONTACT and
 * the X- lines) also needs its bit clear in pDest->modFields, or `force`;
 * the guarded lists other than the X- lines replace the destination's.
 * Returns 0, or 1 for a NULL record. */
CALPARSER_API
int calparser_recurrence_copyComponentPropertiesExceptDates(CALDB_COMPONENT* pDest,
                                                            const CALDB_COMPONENT* pSrc,
                                                            int modifiedOnly, int force);
/* The head, then the whole nFlags word and the event's own text (in
 * modified-only mode that text only with its bit set). In modified-only mode
 * the destination keeps its TRANSP flag unless the source's TRANSP bit is
 * set and the destination's is clear or `force` is set. 0, or 1. */
CALPARSER_API
int calparser_recurrence_copyEventPropertiesExceptStartEndRecID(CALDB_VEVENT* pDest,
                                                                const CALDB_VEVENT* pSrc,
                                                                int modifiedOnly, int force);
/* The head, then in both modes COMPLETED, nFlags, PERCENT-COMPLETE and
 * X-KVAL-DUE-TZID. 0, or 1. */
CALPARSER_API
int calparser_recurrence_copyTodoPropertiesExceptStartDueRecID(CALDB_VTODO* pDest,
                                                               const CALDB_VTODO* pSrc,
                                                               int modifiedOnly, int force);

/* ---- Alarms ---------------------------------------------------------------- */

/* Replaces pDest's alarms by copies of srcAlarms moved by destStart -
 * srcStart (an empty list when srcAlarms is NULL). Returns 0, or 1 for a
 * NULL record. */
CALPARSER_API
int calparser_alarmCopyHelper(CALDB_COMPONENT* pDest, const array_t* srcAlarms, time_t srcStart,
                              time_t destStart);
/* Appends to `dest` a copy of every alarm of `src`, each trigger set to
 * destStart + (trigger - srcStart). Returns 0; 1 for a NULL src; 3 for a NULL
 * dest or when memory runs out (the alarms appended so far stay). */
CALPARSER_API
int calparser_recurrence_copyAlarms(const array_t* src, time_t srcStart, time_t destStart,
                                    array_t* dest);
/* Copies an alarm's fields into pDest: values, texts (a NULL source text
 * keeps the destination's) and text lists merged without duplicates; the
 * record's word after REPEAT is not copied. Returns 0, or 1 for NULL. */
CALPARSER_API
int calparser_copyAlarm(CALDB_VALARM* pDest, const CALDB_VALARM* pSrc);

/* ---- Calendar properties ---------------------------------------------------- */

/* Copies values and texts, merges the three text lists without duplicates
 * and replaces the access-control list by a copy. Returns 0, or 1 for NULL. */
CALPARSER_API
int calparser_copyCalProps(CALDB_CALPROPS* pDest, const CALDB_CALPROPS* pSrc);
/* *ppDest becomes a new list with a copy of every entry of pSrc (entries
 * that cannot be made are skipped); it is overwritten, not freed. Returns 0;
 * 1 for a NULL argument; 3 when the list cannot be created (*ppDest NULL). */
CALPARSER_API
int calparser_copyACEList(const array_t* pSrc, array_t** ppDest);

/* ---- Texts and lists ------------------------------------------------------ */

/* Frees the text in *ppDest and stores a copy of pSrc (NULL when the copy
 * fails; the failure is not reported). Returns 0, or 1 when either argument
 * is NULL, which leaves *ppDest as it was. */
CALPARSER_API
int calparser_populateStringProperty(char** ppDest, const char* pSrc);

/* Free every element (malloc'd time_t values / heap texts), from the last to
 * the first, then empty the list (Clear) or also delete it (Destroy). NULL
 * is a no-op. */
CALPARSER_API
void calparser_recurrence_FreeTimeTPtrArrayAndClear(array_t* list);
CALPARSER_API
void calparser_recurrence_FreeStringArrayAndClear(array_t* list);
CALPARSER_API
void calparser_recurrence_FreeTimeTPtrArrayAndDestroy(array_t* list);
CALPARSER_API
void calparser_recurrence_FreeStringArrayAndDestroy(array_t* list);
/* cal_time_DestroyPeriod on every element from the last, then deletes the
 * list. NULL is a no-op. */
CALPARSER_API
void calparser_recurrence_FreePeriodArrayAndDestroy(array_t* list);

#ifdef __cplusplus
}
#endif

#endif
