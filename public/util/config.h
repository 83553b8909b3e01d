/* Configuration cache: `key = value` settings read by the library. */
#ifndef PUBLIC_UTIL_CONFIG_H
#define PUBLIC_UTIL_CONFIG_H

#ifdef __cplusplus
extern "C" {
#endif

typedef struct config_cache config_cache;

/* The process's default cache. On first use it loads `key = value` lines
 * (blank lines and lines starting with '#' ignored) from the file named by the
 * environment variable CALPARSER_CONFIG, when set. Never NULL. */
config_cache* config_getdefaultcache(void);
/* The configured text for `key`, or `defaultValue`. The result stays valid
 * until the key is set again; callers copy it before use and never free it. */
const char* config_get_string(config_cache* handle, const char* key, const char* defaultValue);
/* The configured integer for `key`, or `defaultValue` when absent or not a number. */
int config_get_int(config_cache* handle, const char* key, int defaultValue);
/* Overrides `key` with a copy of `value`; a NULL value removes the key.
 * Returns 0, 1 for a NULL handle or key, 3 when memory runs out. */
int config_set_string(config_cache* handle, const char* key, const char* value);

#ifdef __cplusplus
}
#endif

#endif
