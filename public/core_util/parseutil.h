/* Content-line helpers: splitting list values, calendar ids, TEXT output. */
#ifndef PUBLIC_CORE_UTIL_PARSEUTIL_H
#define PUBLIC_CORE_UTIL_PARSEUTIL_H

#include "public/util/export.h"

#include "public/util/prot.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Splits `text` at commas into freshly allocated items.
 *
 * Every separator ends one item and starts the next, so n separators give
 * n + 1 items and empty items are kept ("a,,b" gives "a", "", "b"; "," gives
 * two empty items); an empty text gives no item. A separator does not split
 * inside a double-quoted stretch (an unclosed quote runs to the end of the
 * text) nor right after a backslash, which escapes the next byte anywhere.
 * Items are copied verbatim: quotes and backslashes stay in them.
 *
 * On return *pItems is a heap array (calloc) of *pnCount texts (followed by one
 * NULL slot), each text its own PL_strdup-family allocation; free both with
 * cal_parseutil_free_char_list, or take the texts over and free() the array.
 * *pItems is NULL and *pnCount 0 when the text holds no item.
 * Returns 0; 1 when an argument is NULL (the outputs that exist are cleared);
 * 3 when memory runs out (nothing is left allocated). */
CALPARSER_API
int cal_parseutil_get_comma_list(const char* text, char*** pItems, int* pnCount);

/* The same split at semicolons. */
CALPARSER_API
int cal_parseutil_get_semicolon_list(const char* text, char*** pItems, int* pnCount);

/* Frees the first `count` texts of *pItems and the array, and stores NULL.
 * A NULL address or array is a no-op. */
CALPARSER_API
void cal_parseutil_free_char_list(char*** pItems, int count);

/* The user id of calendar id `calid`: the text before its first ":", or the
 * whole id when it has none ("jdoe:work" gives "jdoe", ":x" gives "").
 * *pUid receives a new text (PL_strfree). Returns 0; 1 for a NULL argument
 * (*pUid set to NULL when pUid is given); 3 when memory runs out. */
CALPARSER_API
int cal_parseutil_get_uid_from_calid(const char* calid, char** pUid);

/* Non-zero when `text` is a well-formed calendar id: a user id, optionally
 * followed by ":" and a calendar name, at most 255 bytes in all. The user id
 * is one or more of the ASCII letters, digits and ". _ - + @"; the calendar
 * name is one or more of those characters and ":". NULL, an empty part, white
 * space or any other byte gives 0. The test is by shape only: "mailto:a@b"
 * has the shape of an id, so callers that must tell addresses from ids test
 * for the "mailto:" prefix first. */
CALPARSER_API
int cal_parseutil_isValidCalid(const char* text);

/* Writes `text` to `stream` as an iCalendar TEXT value: a backslash, ";" and
 * "," get a backslash in front; a line end (CR LF, a lone LF or a lone CR)
 * becomes the two characters "\n". Other bytes go out unchanged.
 * Returns 0 (a NULL text writes nothing), 1 for a NULL stream, -1 when the
 * stream reports a write error. */
CALPARSER_API
int cal_parseutil_print_string_ical(protstream* stream, const char* text);

/* Writes `text` to `stream` unchanged. Results as above. */
CALPARSER_API
int cal_parseutil_print_string_no_esc_ical(protstream* stream, const char* text);

#ifdef __cplusplus
}
#endif

#endif
