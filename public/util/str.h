/* Text helpers: in-place changes, and replacing an owned text by a copy. */
#ifndef PUBLIC_UTIL_STR_H
#define PUBLIC_UTIL_STR_H

#include "public/util/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Upper-cases ASCII letters of `text` in place; returns `text` (NULL stays NULL). */
CALPARSER_API
char* str_toupper(char* text);
/* Removes trailing white space in place and returns the first non-space
 * character of `text` (NULL stays NULL). */
CALPARSER_API
char* str_trim(char* text);

/* Replaces the heap text *ppField (freed with PL_strfree) by a PL_strdup copy
 * of `text`; a NULL text stores NULL. The field owns the copy; `text` stays
 * the caller's. Returns 0; 1 for a NULL ppField; 3 when the copy fails, the
 * field then unchanged. */
int str_replace_copy(char** ppField, const char* text);

#ifdef __cplusplus
}
#endif

#endif
