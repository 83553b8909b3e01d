/* String arrays: arrays whose elements are heap texts owned by the array. */
#ifndef PUBLIC_UTIL_STRARRAY_H
#define PUBLIC_UTIL_STRARRAY_H

#include "public/util/export.h"

#include "public/util/array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Appends `text`; the array takes ownership of it (freed with free()).
 * Returns 0, or 3 when memory runs out (the caller still owns `text`). */
CALPARSER_API
int strarray_append(array_t* array, char* text);
/* The address of slot `index`, or NULL out of range. */
CALPARSER_API
char** strarray_elementat(const array_t* array, unsigned index);
/* Frees every text and the array. NULL is a no-op. */
CALPARSER_API
void strarray_freeall(array_t* array);
/* Frees every text and the array and stores NULL. */
CALPARSER_API
void strarray_free_and_destroy(array_t** pArray);

#ifdef __cplusplus
}
#endif

#endif
