/* Unique identifiers for new components. */
#ifndef PUBLIC_CORE_UTIL_GUID_H
#define PUBLIC_CORE_UTIL_GUID_H

#include "public/util/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Size of the buffer cal_GetGuidString fills, terminating NUL included. */
#define CAL_GUID_BUFFER_SIZE 65

/* Writes a new identifier into `buffer`, which must hold CAL_GUID_BUFFER_SIZE
 * bytes, and returns `buffer` (NULL for a NULL buffer). The identifier is 51
 * characters of lower-case hexadecimal digits and "-": the current time in
 * microseconds, the process id, a per-process counter and 64 random bits, so
 * no two calls return the same text, in one process or in several. */
CALPARSER_API
char* cal_GetGuidString(char* buffer);

#ifdef __cplusplus
}
#endif

#endif
