/* The in-memory directory: entries added by hand and read from the LDIF file
 * named by "directory.ldif" (internal to the directory; userattr.h documents
 * the behaviour). */
#ifndef PUBLIC_CORE_UTIL_USERATTR_TABLE_H
#define PUBLIC_CORE_UTIL_USERATTR_TABLE_H

#include "public/util/array.h"

/* userattr_directory_add's work: 0, 1 when uid, calid and mail are all
 * absent, 3 when memory runs out. */
int userattr_table_add(const char* uid, const char* calid, const char* cn, const char* mail);

/* Removes every entry; the configured file is read again at the next look-up. */
void userattr_table_clear();

/* The searches of userattr.h on the table. The caller has checked the
 * arguments and set every output to NULL. May throw std::bad_alloc (the
 * outputs are then left NULL). */
void userattr_table_calids_with_mail(const char* mail, bool matchAliases, unsigned nMaxResults,
                                     array_t** pCalids, array_t** pCns, array_t** pMails,
                                     int* pnListed);
void userattr_table_mail_with_calid(const char* calid, array_t** pMails);
void userattr_table_mail_with_uid(const char* uid, array_t** pMails);

#endif
