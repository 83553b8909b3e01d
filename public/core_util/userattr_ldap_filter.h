/* Search filters for the LDAP directory (internal to the directory). */
#ifndef PUBLIC_CORE_UTIL_USERATTR_LDAP_FILTER_H
#define PUBLIC_CORE_UTIL_USERATTR_LDAP_FILTER_H

#include <string>

/* `value` as an assertion value of a search filter: "*", "(", ")", "\", NUL,
 * every other control byte and every byte above 0x7E become "\" and two
 * lower-case hex digits, so no value can add a wildcard or a clause. May
 * throw std::bad_alloc. */
std::string userattr_ldap_escape_value(const std::string& value);

/* "(&" + baseFilter + "(" + attribute + "=" + the escaped value + "))": the
 * entries that pass `baseFilter` (itself parenthesised) and hold `value` in
 * `attribute`. May throw std::bad_alloc. */
std::string userattr_ldap_equality_filter(const std::string& baseFilter,
                                          const std::string& attribute,
                                          const std::string& value);

#endif
