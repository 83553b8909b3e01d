/* Access control: entries that grant or deny rights on a calendar, and the
 * check that answers which rights a user holds.
 *
 * An entry speaks for one principal (one user, or every user) about one
 * target (the calendar's components, or the calendar's own properties) and
 * grants or denies a set of rights. A user's rights on a target, right by
 * right: an owner of the calendar holds every right; otherwise entries for
 * the user decide, then entries for every user, then the caller's default;
 * among entries of the same principal a denial beats a grant.
 *
 * Text form of an entry (acl_create_ace), words separated by spaces or tabs,
 * keywords in any letter case:
 *
 *   entry     = effect principal target rights
 *   effect    = "grant" | "deny"
 *   principal = "*" (every user) | a user id (any run of other bytes)
 *   target    = "components" | "calprops"
 *   rights    = right *("," right)
 *   right     = "freebusy" | "read" | "write" | "schedule" | "delete" | "all"
 *
 * for example "grant jdoe calprops schedule" or "deny * components read,write".
 *
 * Record: a flag byte whose top three bits are the flags below, then two
 * 32-bit words: the principal key and the rights. A user is matched by key,
 * a 32-bit hash of the user id with ASCII letters lower-cased (so "JDoe" and
 * "jdoe" are one principal); two distinct ids may in rare cases share a key,
 * which the fixed record shape cannot rule out. */
#ifndef PUBLIC_AC_ACL_H
#define PUBLIC_AC_ACL_H

#include "public/util/export.h"

#include "public/util/array.h"

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Rights, bits of an entry's nRights word and of a check's result. */
#define ACL_RIGHT_FREEBUSY 0x01u
#define ACL_RIGHT_READ     0x02u
#define ACL_RIGHT_WRITE    0x04u
#define ACL_RIGHT_SCHEDULE 0x08u
#define ACL_RIGHT_DELETE   0x10u
#define ACL_RIGHTS_ALL     0x1Fu

/* Targets of a check. */
#define ACL_TARGET_COMPONENTS 1
#define ACL_TARGET_CALPROPS   2

/* Bits of the flag byte. */
#define ACL_FLAG_DENY      0x80u  /* bit 7: the entry denies its rights */
#define ACL_FLAG_ALL_USERS 0x40u  /* bit 6: every user; nPrincipal is 0 */
#define ACL_FLAG_CALPROPS  0x20u  /* bit 5: target is the calendar properties */

/* One access-control entry: calloc'd, freed with free(). */
typedef struct CALDB_ACE {
    unsigned char nFlags;   /* ACL_FLAG_* in bits 7-5; bits 4-0 are zero */
    uint32_t nPrincipal;    /* key of the user id (acl_principal_key) */
    uint32_t nRights;       /* ACL_RIGHT_* bits */
} CALDB_ACE;

/* What acl_misc_checkACL reads; every pointer is borrowed and may be NULL. */
typedef struct ACL_CONTEXT {
    const array_t* pAceList;   /* CALDB_ACE* entries */
    const char* pPrimaryOwner; /* user id of the calendar's primary owner */
    const array_t* pOwners;    /* user ids (texts) of further owners */
} ACL_CONTEXT;

/* A new entry read from its text form, or NULL (logged at level 4) when the
 * text does not follow the grammar above, and NULL for a NULL text or when
 * memory runs out. */
CALPARSER_API
CALDB_ACE* acl_create_ace(const char* text);

/* A new entry from its parts: each flag argument is non-zero to set bit 7
 * (deny), bit 6 (every user) or bit 5 (calendar properties) of the flag byte.
 * NULL when memory runs out. */
CALPARSER_API
CALDB_ACE* acl_caldb_ace_NEW(int bDeny, int bAllUsers, int bCalProps, uint32_t nPrincipal,
                             uint32_t nRights);

/* Frees every entry of *pList (from the last to the first) and the list
 * itself, and stores NULL. A NULL address or list is a no-op. */
CALPARSER_API
void acl_misc_FreeACEList(array_t** pList);

/* The principal key of `user`: 32-bit FNV-1a over its bytes with ASCII
 * letters lower-cased. 0 for NULL. */
uint32_t acl_principal_key(const char* user);

/* The rights among `nWanted` that `user` holds on target `nTarget`
 * (ACL_TARGET_*) under `ctx`, by the rules above; `nDefaultRights` are the
 * rights of a user whom no entry speaks about. A NULL context has no owner
 * and no entry; a NULL user is matched by entries for every user only. So
 * acl_misc_checkACL(ctx, user, 0, ACL_RIGHT_SCHEDULE, ACL_TARGET_CALPROPS)
 * has bit 8 (ACL_RIGHT_SCHEDULE) set when the user may schedule. */
CALPARSER_API
unsigned acl_misc_checkACL(const ACL_CONTEXT* ctx, const char* user, unsigned nDefaultRights,
                           unsigned nWanted, int nTarget);

/* 1 when `user` is NULL or the access check grants it the scheduling right
 * on the calendar properties, else 0. */
CALPARSER_API
int bHasScheduleAccessToCalProps(const ACL_CONTEXT* ctx, const char* user);

#ifdef __cplusplus
}
#endif

#endif
