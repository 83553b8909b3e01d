/* LDAP directories behind the directory look-ups of userattr.h.
 *
 * The look-ups ask an LDAP directory when one is selected, else the in-memory
 * table. Which one: the pool whose handle is in lookup_ldpool, else the one in
 * admin_ldpool (parser_set_lookup_ldpool / parser_set_ldpool store them),
 * else, for handle 0 in both, the directory configured under the keys
 * "directory.ldap.*" and "directory.cache.*" (the README lists them), which
 * is the table while "directory.ldap.uri" is unset. The configured directory
 * follows changes of its keys at the next look-up.
 *
 * A directory that cannot be reached, refuses the bind or does not answer
 * within "directory.ldap.timeout_ms" makes the look-up fail: one level-3 line
 * names the URI and the reason (never the bind DN or password), the look-up
 * returns 4 with its outputs NULL, and the next look-up tries again. */
#ifndef PUBLIC_CORE_UTIL_USERATTR_LDAP_H
#define PUBLIC_CORE_UTIL_USERATTR_LDAP_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Opens a pool of connections to the directory configured under `prefix`:
 * the keys "<prefix>.ldap.uri", "<prefix>.ldap.base", ... and
 * "<prefix>.cache.*", read now (later changes are not followed). Connections
 * are made at first use. *pHandle receives a handle other than 0, for
 * parser_set_lookup_ldpool or parser_set_ldpool. Returns 0; 1 when an
 * argument is NULL or "<prefix>.ldap.uri" is not set; 3 when memory runs out. */
int userattr_ldap_pool_open(const char* prefix, uint32_t* pHandle);

/* Closes the pool: look-ups already under way finish on it; later look-ups
 * with this handle fail (status 4, logged). Returns 0, or 1 for a handle no
 * open pool has. */
int userattr_ldap_pool_close(uint32_t handle);

/* The number of searches sent to LDAP directories since the process started
 * (answers from the cache are not counted). */
unsigned long userattr_ldap_search_count(void);

#ifdef __cplusplus
}
#endif

#endif
