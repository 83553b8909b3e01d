/* Request parameters that arrive URL-encoded: ";"-separated lists whose items
 * carry their parameters in the hat form PARAM=VALUE^PARAM=VALUE^...^VALUE
 * (the last "^" ends the parameters, every earlier one separates two).
 * The texts arrive percent-decoded; nothing here decodes.
 *
 * Status codes: 0 success, 1 bad argument, 2 malformed, 3 out of memory.
 * Malformed items of a list are skipped, not reported. */
#ifndef CORE_PARSER_CAL_URLPARAMS_H
#define CORE_PARSER_CAL_URLPARAMS_H

#include "public/util/export.h"

#include "core/parser/cal_tok.h"
#include "public/db/caldb.h"
#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Rewrites the hat-form text *ppText in place into iCalendar separators: the
 * last "^" becomes ":", every other "^" becomes ";". Returns ppText (NULL, or
 * the address of a NULL text, is returned unchanged). */
CALPARSER_API
char** convertHatCharToSemicolonAndLastToColon(char** ppText);

/* Parses the hat-form `item` into a new token stored in *ppOut: its
 * parameters and its value, no name. `item` is rewritten in place (see
 * above). The token is stored as soon as it exists, so the caller frees
 * *ppOut (calparser_FreeToken) whatever the result. Returns 0 (also when the
 * text does not parse into parameters or a value); 1 for a NULL ppOut, a
 * NULL item, or when memory runs out. */
CALPARSER_API
int parseHatSeperatedStringIntoToken(char* item, CALPARSER_TOKEN** ppOut);

/* Parses the extension-property item NAME=hat-form into *ppOut: the token of
 * the hat-form part, named with the text before the first "=" as written.
 * `item` is rewritten in place. *ppOut receives a token the caller frees, or
 * NULL on failure. Returns 0; 1 for a NULL argument or when the token cannot
 * be made; 2 when the item has no "="; 3 when the name cannot be copied. */
CALPARSER_API
int cal_parseutil_parseXProperty(char* item, CALPARSER_TOKEN** ppOut);

/* Appends the items of the ";"-list `encoded` (RRULE, EXRULE, RDATE,
 * EXDATE ... values) to pDest, which takes each item text over (freed with
 * PL_strfree by the list's owner). One pair of surrounding double quotes is
 * dropped (a lone quote stays); empty items are skipped; with bToUpper the
 * items are upper-cased; with bUnique an item equal (case distinguished) to
 * one already present is not added. Returns 0 (a NULL encoded adds nothing),
 * 1 for a NULL pDest, 3 when memory runs out (items added before stay). */
CALPARSER_API
int calparser_recurrence_copyURLEncodedRecurrenceString_to_array(const char* encoded,
                                                                  array_t* pDest, int bToUpper,
                                                                  int bUnique);

/* Merges the attendees of the ";"-list `encoded` (hat-form ATTENDEE items)
 * into pAttendees, which owns its records. Each item (upper-cased first with
 * bToUpper) is stored with the attendee storer, asking the directory through
 * pLookupCtx. An attendee whose participation status is exactly xDelete
 * removes its match from the list and adds nothing; otherwise it is appended
 * (bUnique 0) or replaces its match, else is appended (bUnique non-zero).
 * Items that do not parse are skipped. Returns 0 (a NULL encoded changes
 * nothing); 1 for a NULL list or an attendee the storer rejects; 3 when
 * memory runs out. On 1 or 3 the attendees merged before stay. */
CALPARSER_API
int calparser_recurrence_copyURLEncodedAttendee_to_array(const char* encoded,
                                                          array_t* pAttendees, int bToUpper,
                                                          int bUnique, const char* pLookupCtx);

/* Stores the first item of the ";"-list `encoded` (a hat-form ORGANIZER
 * item, upper-cased first with bToUpper) into *ppDest with the organizer
 * storer, which makes the record when *ppDest is NULL and replaces the
 * fields the item gives. Further items are ignored. Always returns 0. */
CALPARSER_API
int calparser_copyURLEncodedOrganizer(const char* encoded, CALDB_ORGANIZER** ppDest,
                                      int bToUpper);

#ifdef __cplusplus
}
#endif

#endif
