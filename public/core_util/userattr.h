/* Directory look-ups: calendar ids, common names and mail addresses of users.
 *
 * The look-ups ask an LDAP directory when one is configured or selected
 * (userattr_ldap.h says how, and how it maps entries to these results);
 * otherwise they read the in-memory table below. Either way the results have
 * the form described here.
 *
 * The in-memory directory is a table of entries, each with up to four texts:
 * a user id, a calendar id, a common name and a primary mail address, plus
 * alternate mail addresses for entries read from a file. It is empty until
 * entries are added with userattr_directory_add or read from the LDIF file
 * named by the configuration key "directory.ldif".
 *
 * The LDIF file: records separated by blank lines; "#" comment lines; a line
 * that starts with one space continues the previous one; "name:: value" is
 * base64; attribute names ignore case and options ("cn;lang-en" is "cn").
 * Attributes read, all others ignored:
 *   uid                   the user id (first value)
 *   calid                 a calendar id; each value makes one directory entry
 *                         (a user with several calendars), none makes one
 *                         entry without a calendar id
 *   cn                    the common name (first value)
 *   mail                  the primary address (first value); further values
 *                         are alternate addresses
 *   mailAlternateAddress  alternate addresses
 * A record with neither uid, calid nor mail is skipped.
 *
 * The configured file is read at the first look-up after the key's value
 * changes (or after userattr_directory_clear); a file that cannot be read is
 * logged once at level 4 and leaves the directory without file entries. Its
 * entries come before those added by hand.
 *
 * Matching ignores ASCII letter case. Look-ups may run from any number of
 * threads at once; adding and clearing take an exclusive lock.
 *
 * `lookupCtx` is the caller's directory connection context; neither the
 * table nor the LDAP directories use it (the pool handles choose the
 * directory), so any value, NULL included, is accepted.
 *
 * Every list handed out is a new array_t of texts (free with
 * array_free_and_destroy), or NULL when the look-up found nothing. Results:
 * 0 done (found or not), 1 a required argument is NULL, 3 memory ran out, 4
 * the LDAP directory did not answer (logged; callers treat it as found
 * nothing); all outputs are NULL unless the result is 0. */
#ifndef PUBLIC_CORE_UTIL_USERATTR_H
#define PUBLIC_CORE_UTIL_USERATTR_H

#include "public/util/export.h"

#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Adds one entry; NULL or empty texts are absent fields. Returns 0, 1 when
 * uid, calid and mail are all absent, 3 when memory runs out. */
CALPARSER_API
int userattr_directory_add(const char* uid, const char* calid, const char* cn, const char* mail);

/* Removes every entry, those added by hand and those read from the file; the
 * configured file is read again at the next look-up. Also forgets the answers
 * cached from LDAP directories. */
CALPARSER_API
void userattr_directory_clear(void);

/* The entries whose primary address equals `mail` (and, when *pnMatchAliases
 * is non-zero on entry, whose alternate addresses do) give three parallel
 * lists: element i of *pCalids, *pCns and *pMails belongs to the same entry.
 * When some matching entry has a calendar id, only such entries are listed;
 * otherwise *pCalids is NULL and the other two list the entries without one.
 * A common-name element is NULL where the entry has none; a mail element is
 * the entry's primary address, a plain addr-spec without "mailto:" (the
 * matched alternate one when the entry has no primary). At most `nMaxResults`
 * entries are listed, 0 meaning no limit. *pnMatchAliases receives the number
 * of entries listed. Any of the three list pointers may be NULL when the
 * caller does not want that list. `mail` and `pnMatchAliases` are required. */
CALPARSER_API
int userattr_search_calids_with_mail(const char* mail, const char* lookupCtx, array_t** pCalids,
                                     array_t** pCns, array_t** pMails, int* pnMatchAliases,
                                     unsigned nMaxResults);

/* The distinct primary addresses, each as "mailto:" plus the address, of the
 * entries whose calendar id equals `calid`, in directory order. */
CALPARSER_API
int userattr_search_mail_with_calid(const char* calid, const char* lookupCtx, array_t** pMails);

/* The same for the entries whose user id equals `uid`. */
CALPARSER_API
int userattr_search_mail_with_uid(const char* uid, const char* lookupCtx, array_t** pMails);

#ifdef __cplusplus
}
#endif

#endif
