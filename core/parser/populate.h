/* Property storers: each turns the value text (and parameters) of one
 * property into a field of a calendar record.
 *
 * The component builders pick a storer by the property type of the token;
 * the request decoders reuse the attendee and organizer storers.
 *
 * Common rules:
 * - Results: 0 stored; 1 a required argument is NULL or nothing could be
 *   stored; 2 the value was not recognised and a default was stored;
 *   3 memory ran out (the record is left as it was before the failing step).
 * - A storer never keeps a pointer into its arguments: every text that reaches
 *   a record is a fresh PL_strdup-family copy, owned by the record.
 * - Text and array fields are passed by address; arrays are created on first
 *   use and then belong to the record with their elements.
 * - Component storers take the address of the record pointer (`ppComponent`,
 *   for a wrapper `&wrapper->pComponent`), pointing to a CALDB_VEVENT or a
 *   CALDB_VTODO; both share the head that these storers write.
 * - Time fields are int32_t seconds since the epoch. */
#ifndef CORE_PARSER_POPULATE_H
#define CORE_PARSER_POPULATE_H

#include "public/util/export.h"

#include <stdint.h>

#include "core/parser/cal_str.h"
#include "core/parser/cal_tok.h"
#include "public/db/caldb.h"
#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Texts and text lists --------------------------------------------- */

/* Replaces *ppField by a copy of `text` (the old text is freed only once the
 * copy exists). Returns 0; 1 when either argument is NULL (the field keeps
 * its text); 3 when the copy fails. */
CALPARSER_API
int calparser_recurrence_populateProperties(char** ppField, const char* text);

/* Appends a copy of `text` ("" for a NULL text) to *ppArray, creating the
 * array when it is NULL. Returns 0; 1 for a NULL ppArray; 3 when memory runs
 * out (an array made by this call is deleted again). */
CALPARSER_API
int calparser_addStringToPropertyArray(array_t** ppArray, const char* text);

/* Splits `text` at commas (cal_parseutil_get_comma_list: quotes and
 * backslashes hide commas, empty items are kept) and appends a copy of every
 * item in order. Returns the bitwise OR of the appends' results; 0 when the
 * text holds no item (nothing is stored, no array is made); 1 for a NULL
 * ppArray; 3 when the split runs out of memory. */
CALPARSER_API
int calparser_populate_commaListArray(array_t** ppArray, const char* text);

/* Replaces *ppField by a copy of `text` without its first 7 characters when
 * it begins with "mailto:" or "MAILTO:" (no other mix of case), else by a copy
 * of the whole text. Returns 0; 1 when either argument is NULL; 3 when the
 * copy fails (the field keeps its text). */
CALPARSER_API
int calparser_storeEmailProperty(char** ppField, const char* text);

/* Appends the calendar addresses of a MEMBER, DELEGATED-TO or DELEGATED-FROM
 * value to *ppArray (created when NULL, and kept even when nothing is
 * appended): double quotes become blanks, the text is split at commas, and
 * every item that is not empty once trimmed of surrounding white space is
 * appended trimmed. So "\"mailto:a@x\",\"mailto:b@x\"" gives two entries
 * without quotes; a NULL text has no items. Returns 0; 1 for a NULL ppArray;
 * 3 when memory runs out (items appended before the failure stay). */
CALPARSER_API
int calparser_addCalAddressListToList(array_t** ppArray, const char* text);

/* ---- Scalars ----------------------------------------------------------- */

/* Reads the first `nLen` characters of `text` as a decimal number with
 * cal_time_atoi_size into *pnScratch (a local when NULL); when they are all
 * digits the number goes to *pnField, otherwise *pnField is unchanged.
 * Returns 0 always (nothing happens for a NULL field or text). */
CALPARSER_API
int calparser_storeIntegerProperty(int* pnField, const char* text, int nLen, int* pnScratch);

/* PRIORITY: reads `text` as calparser_storeIntegerProperty does into a number
 * that starts at 0 (so a value that is not a number gives 0) and stores its
 * low 4 bits in nPriority. Returns 0; 1 for a NULL record. The two behave
 * identically. */
CALPARSER_API
int calparser_populateEventPriorityProp(void** ppComponent, const char* text, int nLen,
                                        int* pnScratch);
CALPARSER_API
int calparser_populateTodoPriorityProp(void** ppComponent, const char* text, int nLen,
                                       int* pnScratch);

/* STATUS of an event: TENTATIVE stores 2, CANCELLED 1, CONFIRMED 0 and
 * returns 0; any other keyword stores 0 (CONFIRMED) and returns 2. 1 for a
 * NULL record. */
CALPARSER_API
int calparser_populateEventStatusProp(void** ppComponent, iCal_Token_t nValue);

/* STATUS of a to-do: COMPLETED stores 4, NEEDS-ACTION 3, CANCELLED 1,
 * IN-PROCESS 5 and returns 0; any other keyword stores 3 (NEEDS-ACTION) and
 * returns 2. 1 for a NULL record. */
CALPARSER_API
int calparser_populateTodoStatusProp(void** ppComponent, iCal_Token_t nValue);

/* TRANSP: TRANSPARENT sets bTransparent, any other keyword clears it.
 * Nothing for a NULL record. */
CALPARSER_API
void calparser_populateTranspProp(void** ppComponent, iCal_Token_t nValue);

/* ACTION of an alarm: AUDIO 1, DISPLAY 2, PROCEDURE 3, X-TAVO-FLASHING 4,
 * anything else (EMAIL included) 0. Nothing for a NULL address. */
CALPARSER_API
void calparser_populateActionProp(int* pnAction, iCal_Token_t nValue);

/* GEO "lat;lon": only when the value has exactly two ';'-separated parts,
 * nGeoLat and nGeoLon receive each part as a decimal number in millionths of
 * a degree, truncated toward zero ("37.386013" gives 37386013) and limited to
 * the int32_t range. Returns 0 stored; 1 for a NULL argument or any other
 * number of parts (nothing stored); 3 when memory runs out. */
int calparser_populateGeoProp(void** ppComponent, const char* text);

/* ---- Date-times ---------------------------------------------------------
 *
 * Conversion results are those of calparser_datez_to_timet: 0 converted,
 * non-zero not converted. A NULL text stores 0 and returns 1; a NULL time
 * field returns 1 and stores nothing. */

/* Converts the first 16 characters of `text` with no zone id: a text whose
 * 16th character is "Z" is UTC, any other date-time is read in the server's
 * default zone, an 8-character text is a date (its midnight). Always writes
 * the field (0 when nothing was converted); returns the conversion result. */
CALPARSER_API
int calparser_storeDateTimePropertyNoTimeZones(int32_t* ptField, const char* text);

/* As calparser_storeDateTimePropertyNoTimeZones; in addition, when the text
 * was a DATE, the result is 0 or 2 and a record is given (ppComponent and
 * *ppComponent not NULL), sets bDtStartIsDate when bStart is set, else
 * bDtEndIsDate. */
CALPARSER_API
int calparser_storeDateTimeOrDatePropertyNoTimeZones(int32_t* ptField, void** ppComponent,
                                                     int bStart, const char* text);

/* With a NULL or empty `tzid`: exactly the no-zone variant. Otherwise the id
 * is looked up first, ignoring case, among `pTimeZones` (CAL_VTIMEZONE*, the
 * zones of the same input): when found, the text is read in that zone and 0
 * is returned. Else the registry supplies the zone (calparser_datez_to_timet
 * with the id), a level-7 trace names the id and the text, and the
 * conversion result is returned. No all-day flag is set when an id is given. */
CALPARSER_API
int calparser_storeDateTimeOrDateProperty(int32_t* ptField, void** ppComponent, int bStart,
                                          const char* text, const char* tzid,
                                          array_t* pTimeZones);

/* The to-do builder's names for the two above; they behave identically
 * (bDtEndIsDate stands for a DUE that is a date). */
CALPARSER_API
int calparser_storeTodoDateTimeOrDatePropertyNoTimeZones(int32_t* ptField, void** ppComponent,
                                                         int bStart, const char* text);
CALPARSER_API
int calparser_storeTodoDateTimeOrDateProperty(int32_t* ptField, void** ppComponent, int bStart,
                                              const char* text, const char* tzid,
                                              array_t* pTimeZones);

/* Splits `text` at semicolons and converts every item as
 * calparser_storeDateTimeOrDateProperty does (no record, the given id and
 * zones); each value above 0 is appended to *ppArray (created when NULL, and
 * kept even when nothing is appended) as the element itself, the form of the
 * records' time lists (caldb_time_list_at reads one). Items that do not
 * convert to a value above 0 are skipped. Returns 0; 1 for a NULL ppArray; 3 when memory runs
 * out (values appended before stay). */
CALPARSER_API
int calparser_populate_DateTimeList(array_t** ppArray, const char* text, array_t* pTimeZones,
                                    const char* tzid);

/* ---- Recurrence lists ----------------------------------------------------
 *
 * They fill the lists of vRecurrenceInfo: texts (PL_strfree) and periods
 * (cal_time_DestroyPeriod). */

/* Appends an upper-cased copy of `text` (an RRULE or EXRULE value) to
 * pArray. Returns 0; 1 for a NULL array or text; 3 when memory runs out
 * (nothing appended). */
CALPARSER_API
int calparser_storeRecurrencePropertyToVector(array_t* pArray, const char* text);

/* Splits the first `nLen` characters of `text` (an RDATE or EXDATE value) at
 * commas and appends every non-empty item to pArray, which takes the items
 * over; empty items are dropped. Returns 0; 1 for a NULL array or text;
 * 3 when memory runs out (items appended before stay). */
CALPARSER_API
int calparser_storeRecurDateTimePropertyToVector(array_t* pArray, const char* text, int nLen);

/* As calparser_storeRecurDateTimePropertyToVector for pTexts; in addition
 * every item that has the shape of a PERIOD becomes a period record, which is
 * appended to pPeriods (when not NULL) if cal_time_IsValidPeriod accepts it
 * and released otherwise. Results as above. */
CALPARSER_API
int calparser_storeRecurDateTimePeriodPropertyToVector(array_t* pTexts, array_t* pPeriods,
                                                       const char* text, int nLen);

/* ---- Attendees and organizer ------------------------------------------- */

/* Builds one attendee from an ATTENDEE token (its parameters and its value,
 * a "mailto:" address in any letter case or a calendar id) and appends zero,
 * one or several attendee records to *ppAttendees (created when NULL), since
 * the directory may resolve one address into several calendars.
 *
 * With bResolvedInput set the value is taken as it stands (an attendee with a
 * calendar id and no address gets the id as its address); otherwise the
 * directory is asked (userattr_*, with pLookupCtx handed on unchanged): a
 * mail address is resolved into the calendar ids that have it, a calendar id
 * into its mail address. A token without a value stands for an empty
 * calendar id. `nUnused` has no effect.
 *
 * Returns 0 (also when the directory left nothing to append, and when memory
 * ran out among the copies made for several calendars of one address: the
 * copies made before stay); 1 for a NULL ppAttendees or token, or when the
 * calendar id has no mail address in the directory (the attendee is dropped,
 * logged at level 4); 3 when memory runs out otherwise. The list owns what
 * was appended; a list created here stays, empty when nothing was appended. */
CALPARSER_API
int calparser_storeSingleAttendeeProp(array_t** ppAttendees, const CALPARSER_TOKEN* pToken,
                                      int nUnused, int bResolvedInput, const char* pLookupCtx);

/* Stores an ATTENDEE token into a component's attendee list *ppAttendees
 * (created when NULL, and kept even when nothing is added) through
 * calparser_storeSingleAttendeeProp: all the attendees it makes are appended
 * in order, or none at all. No duplicate check is made. Returns 0; 1 for a
 * NULL argument or when the single storer did not return 0; 3 when the list
 * cannot be created or grown. */
CALPARSER_API
int calparser_storeAttendeeProperty(array_t** ppAttendees, const CALPARSER_TOKEN* pToken,
                                    int nUnused, int bResolvedInput, const char* pLookupCtx);

/* Stores an ORGANIZER token into *ppOrganizer, made with caldb_NewOrganizer
 * when NULL (a later ORGANIZER reuses the record; a field given again is
 * replaced). Parameters CN, DIR, SENT-BY, LANGUAGE, X-KVAL-ORGANIZER-UID and
 * X-KVAL-ORGANIZER-SENT-BY-UID fill their fields; pAddr is the value as
 * written. Returns 0; 1 for a NULL argument or a token without value text;
 * 3 when memory runs out, in which case the organizer is freed and
 * *ppOrganizer is NULL. */
CALPARSER_API
int calparser_storeOrganizerProperty(CALDB_ORGANIZER** ppOrganizer, const CALPARSER_TOKEN* pToken);

#ifdef __cplusplus
}
#endif

#endif
