/* In-place text helpers. */
#ifndef PUBLIC_UTIL_STR_H
#define PUBLIC_UTIL_STR_H

#ifdef __cplusplus
extern "C" {
#endif

/* Upper-cases ASCII letters of `text` in place; returns `text` (NULL stays NULL). */
char* str_toupper(char* text);
/* Removes trailing white space in place and returns the first non-space
 * character of `text` (NULL stays NULL). */
char* str_trim(char* text);

#ifdef __cplusplus
}
#endif

#endif
