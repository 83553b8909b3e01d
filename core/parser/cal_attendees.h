/* Attendees and organizers of a component, and the text-list merges that
 * they and the copy operations use.
 *
 * An attendee list is an array_t of CALDB_ATTENDEE*; the list owns its
 * records (free it with caldb_FreeList, kind CALDB_LIST_ATTENDEES). A text
 * list is an array_t of heap texts owned by the list.
 *
 * Status codes: 0 success, 1 bad argument, 3 out of memory. Nothing here
 * logs. */
#ifndef CORE_PARSER_CAL_ATTENDEES_H
#define CORE_PARSER_CAL_ATTENDEES_H

#include "public/util/export.h"

#include "core/parser/cal_xprops.h"  /* xDelete, the deletion marker */
#include "public/db/caldb.h"
#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Deep-copies `pSrc` into *ppDest, creating the record when *ppDest is NULL.
 * Texts present in the source replace the destination's (a NULL source text
 * leaves the destination's), the MEMBER and DELEGATED lists are merged
 * without duplicates, and the values are copied (all but the fifth and sixth
 * of the record's own eight words). Returns 0; 1 when an argument is NULL
 * (nothing changed); 3 when a copy fails or the source has no pAddr: then
 * *ppDest is freed and set to NULL. */
CALPARSER_API
int calparser_recurrence_populateAttendee(CALDB_ATTENDEE** ppDest, const CALDB_ATTENDEE* pSrc);

/* The same for an organizer: pAddr always, then each other text present in
 * the source. 3 (with *ppDest freed and NULL) when a copy fails or the
 * source has no pAddr. */
CALPARSER_API
int calparser_recurrence_populateOrganizer(CALDB_ORGANIZER** ppDest, const CALDB_ORGANIZER* pSrc);

/* Appends a copy of every text of pSrc, in order and duplicates included, to
 * *ppDest, creating the list when *ppDest is NULL. Returns 0 (also when
 * either argument is NULL: nothing done), or 3 when memory runs out: a list
 * created here is destroyed (*ppDest NULL), a list that existed gets back
 * exactly the texts it had. */
CALPARSER_API
int calparser_append_arrays(array_t** ppDest, const array_t* pSrc);

/* Merges pSrc into *ppDest without duplicates: a text equal (case
 * distinguished) to one already present is not added, and an
 * X-KVAL-ORIGINAL-DTSTART line is not added when the destination already
 * holds one, so the destination's line is the one kept. A NULL *ppDest is
 * the case of calparser_append_arrays (every text copied, duplicates
 * included). Returns 0 (also for a NULL argument), or 3 when a copy fails
 * (texts merged before it stay). */
CALPARSER_API
int calparser_append_arrays_unique(array_t** ppDest, const array_t* pSrc);

/* Replaces *ppDest by a deep copy of the attendee list pSrc (NULL slots are
 * skipped). A list already in *ppDest is freed first. Returns 0 (also when
 * either argument is NULL: nothing changed), or 3 when a copy fails: then
 * *ppDest is NULL. */
CALPARSER_API
int calparser_copy_attendee_arrays(array_t** ppDest, const array_t* pSrc);

/* The attendee of `list` that matches `key`, or NULL; *pIndex (when not
 * NULL) receives its index. The key needs a non-empty pAddr. Elements are
 * scanned from index 0, those without an address skipped. An element
 * matches when both have a pCalid and the two are equal ignoring case, or
 * when the key has no pCalid and the addresses are equal ignoring case: a
 * key with a pCalid never matches by address. */
CALPARSER_API
CALDB_ATTENDEE* calparser_findAttendeeInList(const array_t* list, const CALDB_ATTENDEE* key,
                                             int* pIndex);

/* 1 when `att` is a deletion marker: its participation status is exactly
 * xDelete, an instruction to remove its match rather than an attendee.
 * 0 otherwise, and for NULL. */
int calparser_isAttendeeDeletionMarker(const CALDB_ATTENDEE* att);

/* Merges `att` into `list`. When a matching attendee (as
 * calparser_findAttendeeInList) is present it is removed and freed, and,
 * unless att is a deletion marker (participation status exactly xDelete), a
 * deep copy of att takes its place: result 1, att stays the caller's.
 * When none is present and att is not a deletion marker and appendIfMissing
 * is non-zero, att itself is appended and the list owns it. Every other
 * case returns 0 and leaves att the caller's. A NULL list, a NULL att or an
 * att without pAddr: 0, nothing done. When memory runs out nothing changes
 * and att stays the caller's: with result 0 the list owns att exactly when
 * att is its last element. */
CALPARSER_API
int calparser_merge_attendee(array_t* list, CALDB_ATTENDEE* att, int appendIfMissing);

/* calparser_merge_attendee with appendIfMissing 1. */
CALPARSER_API
int calparser_array_append_unique_attendee(array_t* list, CALDB_ATTENDEE* att);

/* Merges every attendee of `changes`, in order, with appendIfMissing 0: only
 * attendees already present are replaced or removed. `changes` stays the
 * caller's and is not changed. */
CALPARSER_API
void calparser_merge_attendee_list(array_t* list, const array_t* changes);

/* Removes (and frees) every attendee whose key (pCalid, else pAddr) equals,
 * case distinguished, the key of another one, keeping one of each; then
 * sorts the list for display (comp_util_attendee_compare_for_display). */
CALPARSER_API
void calparser_removeDuplicateAttendeeEntries(array_t* list);

/* array_bsearch comparator: `key` is the address of a text, `element` the
 * address of a slot of an attendee list. Both NULL: 0; a NULL key: -1; a
 * NULL element or one without pAddr: 1; else the key against the element's
 * pAddr, ignoring case. */
CALPARSER_API
int attendee_index_key_compare(const void* key, const void* element);

/* Writes to *pPartStat the nPartStat of the first attendee whose pCalid, or
 * else pAddr, equals `user` exactly; 1 (NEEDS-ACTION) when none does. A NULL
 * pPartStat is ignored. */
CALPARSER_API
void calparser_getUserPartStatFromAttendeeList(const char* user, const array_t* list,
                                               int* pPartStat);

/* The participation-status text of an attendee: "ACCEPTED" (2), "DECLINED"
 * (3), "TENTATIVE" (4), "DELEGATED" (5), "COMPLETED" (6), "IN-PROCESS" (8),
 * the record's pPartStatName (9), "NEEDS-ACTION" for every other value; NULL
 * for a NULL attendee. The text belongs to the record or is constant. */
CALPARSER_API
const char* getPartStatString(const CALDB_ATTENDEE* att);

/* Appends to *ppDest (created when NULL) a copy of the text after "mailto:"
 * (found anywhere, any case) of every text of pSrc that has at least one
 * character after it; other texts are skipped. Returns 0; 1 for a NULL
 * ppDest, or for a NULL or empty pSrc, which sets *ppDest to NULL (a list it
 * held is not freed: the caller still owns it); 3 when memory runs out: every
 * text collected is freed and *ppDest is NULL. */
CALPARSER_API
int calparser_MakeEmailRecipientList(array_t** ppDest, const array_t* pSrc);

/* 1 when `text` begins with "mailto:" in any letter case, else 0. */
CALPARSER_API
int bIsMailto(const char* text);
/* 1 when `text` holds an at-sign that is not its first character, else 0. */
CALPARSER_API
int isEmailAddress(const char* text);
/* 0 for a "mailto:" text (any case) or NULL, else
 * cal_parseutil_isValidCalid(text). */
CALPARSER_API
int IsPossibleCalid(const char* text);

#ifdef __cplusplus
}
#endif

#endif
