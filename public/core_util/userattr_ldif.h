/* Reading directory entries from an LDIF file (internal to the directory). */
#ifndef PUBLIC_CORE_UTIL_USERATTR_LDIF_H
#define PUBLIC_CORE_UTIL_USERATTR_LDIF_H

#include <istream>
#include <string>
#include <vector>

/* One directory entry; an empty text is an absent field. */
struct userattr_entry {
    std::string uid;
    std::string calid;
    std::string cn;
    std::string mail;
    std::vector<std::string> aliases;  /* alternate mail addresses */
};

/* Appends the entries of the LDIF text read from `in` to `entries`, following
 * the attribute mapping documented in userattr.h. Malformed lines are skipped.
 * May throw std::bad_alloc. */
void userattr_read_ldif(std::istream& in, std::vector<userattr_entry>* entries);

#endif
