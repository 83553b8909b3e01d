/* Configuration cache: `key = value` settings read by the library. */
#ifndef PUBLIC_UTIL_CONFIG_H
#define PUBLIC_UTIL_CONFIG_H

#include "public/util/export.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct config_cache config_cache;

/* The process's default cache. On first use it loads `key = value` lines from
 * the file named by the environment variable CALPARSER_CONFIG, when set: key
 * and value are trimmed, the first '=' separates them, a later line for the
 * same key wins; blank lines and lines starting with '#' are skipped. An
 * unreadable file and lines without a key are logged at level 4 (once) and
 * skipped. Never NULL; never destroyed. */
CALPARSER_API
config_cache* config_getdefaultcache(void);
/* The configured text for `key`, or `defaultValue` (also for a NULL handle or
 * key). A configured text stays valid until the process ends, even after the
 * key is set again or removed; callers never free it. Safe from any thread. */
CALPARSER_API
const char* config_get_string(config_cache* handle, const char* key, const char* defaultValue);
/* The configured integer for `key`, or `defaultValue` when absent or not a number. */
CALPARSER_API
int config_get_int(config_cache* handle, const char* key, int defaultValue);
/* A number that changes whenever a setting of the cache changes, so that a
 * reader may keep what it derived from the settings until it does; 0 for a
 * NULL handle. Safe from any thread, takes no lock. */
unsigned config_get_version(config_cache* handle);
/* Overrides `key` with a copy of `value`; a NULL value removes the key.
 * Returns 0, 1 for a NULL handle or key, 3 when memory runs out. */
CALPARSER_API
int config_set_string(config_cache* handle, const char* key, const char* value);

#ifdef __cplusplus
}
#endif

#endif
