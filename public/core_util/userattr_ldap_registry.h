/* Choosing the LDAP directory of a look-up (internal to the directory). */
#ifndef PUBLIC_CORE_UTIL_USERATTR_LDAP_REGISTRY_H
#define PUBLIC_CORE_UTIL_USERATTR_LDAP_REGISTRY_H

#include "public/core_util/userattr_ldap_pool.h"

#include <memory>

/* What a look-up asks: the in-memory table (useTable), an LDAP pool, or
 * nothing (neither: the selected handle has no pool; already logged). */
struct userattr_ldap_choice {
    bool useTable;
    std::shared_ptr<userattr_ldap_pool> pool;
};

/* The choice for a look-up now, as userattr_ldap.h describes it. May throw
 * std::bad_alloc. */
userattr_ldap_choice userattr_ldap_choose();

/* Forgets the cached answers of every pool. */
void userattr_ldap_forget_answers();

#endif
