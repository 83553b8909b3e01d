/* Local file paths of the library's data files. */
#ifndef PUBLIC_CORE_UTIL_CALFILE_H
#define PUBLIC_CORE_UTIL_CALFILE_H

#include "public/util/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Rewrites `path` in place to the local form: every backslash becomes "/".
 * The text never grows, so any writable NUL-terminated text will do (callers
 * pass exact heap copies such as one of "data\timezones.ics"). A relative
 * path stays relative to the working directory; calfile_ResolveLocalPath
 * finds the library's own data files from any working directory. Returns
 * `path` (NULL stays NULL). */
CALPARSER_API
char* calfile_ToLocalPath(char* path);

/* The name under which the data file `path` is opened: its local form (as
 * above) and, for a relative path, that form joined to the data root with
 * "/". The data root is $CALPARSER_ROOT when set and not empty; else the
 * installed data folder when it holds data/timezones.ics; else the source
 * tree the library was built from. An absolute path is kept as it is.
 * Returns a new text (PL_strfree), or NULL for a NULL path or when memory
 * runs out. */
char* calfile_ResolveLocalPath(const char* path);

/* open(2) on the local form of `path` (backslashes become "/"); a relative
 * path is opened relative to the working directory, as open(2) does.
 * Returns the descriptor, or -1 (also for a NULL path or when memory runs
 * out). */
CALPARSER_API
int jtessar_open(const char* path, int flags, int mode);
/* close(2); returns its result. */
CALPARSER_API
int jtessar_close(int fd);

#ifdef __cplusplus
}
#endif

#endif
