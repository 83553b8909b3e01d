/* Mail addresses: the plain addr-spec inside an address text. */
#ifndef PUBLIC_CORE_UTIL_SMTP_H
#define PUBLIC_CORE_UTIL_SMTP_H

#include "public/util/export.h"

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The plain address ("local@domain") held by `address`, as a new text
 * (PL_strfree), or NULL when it holds none or memory runs out.
 *
 * Accepted forms, with white space around the parts ignored:
 *   "jane@example.com"                   a bare address
 *   "mailto:jane@example.com"            "mailto:" in any letter case; a "?"
 *                                        and the URI headers after it are cut
 *   "Jane Doe <jane@example.com>"        a name (possibly quoted) and the
 *   "mailto:Jane Doe <jane@example.com>" address in angle brackets, with or
 *   "<jane@example.com>"                 without "mailto:"
 * The address must have one "@" with a non-empty local part before it and a
 * non-empty domain after it, and no white space, control byte or any of
 * `<>()[],;:\"`; anything else gives NULL. The address is returned as written
 * (letter case kept). */
CALPARSER_API
char* smtp_FilterAddress(const char* address);

/* smtp_FilterAddress without the copy: 1 and the plain address as the
 * *pLength bytes at *pBegin (inside `address`, not NUL-terminated), or 0 when
 * `address` holds none or an argument is NULL. */
CALPARSER_API
int smtp_FindAddress(const char* address, const char** pBegin, size_t* pLength);

#ifdef __cplusplus
}
#endif

#endif
