/* List helpers of the record library: freeing and copying the lists that
 * records own. Used by the record constructors and destructors only. */
#ifndef PUBLIC_DB_CALDB_LISTS_H
#define PUBLIC_DB_CALDB_LISTS_H

#include "public/util/export.h"

#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Frees every text of *ppList with PL_strfree, from the last to the first,
 * deletes the array and stores NULL. A NULL address or list is a no-op. */
void caldb_free_text_list(array_t** ppList);

/* Stores in *ppDest a new array holding a PL_strdup copy of every text of
 * pSrc, in order (NULL elements stay NULL); a NULL pSrc stores NULL.
 * *ppDest is overwritten, not freed. Returns 0, or 3 when memory runs out
 * (then *ppDest is NULL and nothing is leaked). */
int caldb_copy_text_list(const array_t* pSrc, array_t** ppDest);

#ifdef __cplusplus
}
#endif

#endif
