/* The directory look-ups answered by an LDAP directory (internal to the
 * directory; userattr.h documents the results). */
#ifndef PUBLIC_CORE_UTIL_USERATTR_LDAP_LOOKUP_H
#define PUBLIC_CORE_UTIL_USERATTR_LDAP_LOOKUP_H

#include "public/core_util/userattr_ldap_pool.h"
#include "public/util/array.h"

/* The entries whose mail attribute holds `mail`: every calendar id of every
 * such entry, with the entry's first common name and first mail address, as
 * parallel lists sorted by calendar id (then by DN). Entries without a
 * calendar id are listed, sorted by DN, only when no entry has one. Without
 * `matchAliases` an entry counts only when its first mail address is `mail`
 * (ignoring ASCII case). The caller has checked the arguments and set every
 * output to NULL. Returns true when the directory answered (found or not),
 * false when it did not (logged by the pool; outputs stay NULL). May throw
 * std::bad_alloc (outputs stay NULL). */
bool userattr_ldap_calids_with_mail(userattr_ldap_pool& pool, const char* mail, bool matchAliases,
                                    unsigned nMaxResults, array_t** pCalids, array_t** pCns,
                                    array_t** pMails, int* pnListed);

/* The first mail address, as "mailto:" plus the address, of each entry whose
 * attribute `attribute` holds `key`, entries sorted by DN, each address once
 * (ignoring ASCII case). Returns and throws as above. */
bool userattr_ldap_mail_with(userattr_ldap_pool& pool, const std::string& attribute,
                             const char* key, array_t** pMails);

#endif
