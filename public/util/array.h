/* Growable array of untyped pointers: the container behind every list. */
#ifndef PUBLIC_UTIL_ARRAY_H
#define PUBLIC_UTIL_ARRAY_H

#include "public/util/export.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The array owns its slots only; what the elements point to belongs to the
 * caller. Callers read `count` directly; indices run from 0 to count - 1. */
typedef struct array_t {
    void** data;
    unsigned count;
    unsigned alloc;
} array_t;

/* Iteration cursor kept on the caller's stack: the current element and the
 * index of the next one. */
typedef struct array_iter_t {
    void* element;
    unsigned index;
} array_iter_t;

/* Comparators receive the addresses of two slots (for bsearch: the key's
 * address first, a slot's address second). */
typedef int (*array_compare_t)(const void* a, const void* b);

/* A new empty array, or NULL when memory runs out. */
CALPARSER_API
array_t* array_new(void);
/* Frees the array itself, never its elements. NULL is a no-op. */
CALPARSER_API
void array_delete(array_t* array);
/* Appends `element`. Returns 0, 1 for a NULL array, or 3 when memory runs out
 * (the array is then unchanged). */
CALPARSER_API
int array_append(array_t* array, void* element);
/* Inserts `element` in front of the element at `index` (index == count appends).
 * Returns 0, 1 for an index past count, 3 when memory runs out. */
CALPARSER_API
int array_insert(array_t* array, unsigned index, void* element);
/* Removes slot `index` without freeing its element; later elements move down.
 * Returns the removed element, NULL for an index out of range. */
CALPARSER_API
void* array_removeat(array_t* array, unsigned index);
/* The element at `index`, or NULL for an index out of range. */
CALPARSER_API
void* array_elementat(const array_t* array, unsigned index);
/* The element at count - 1, or NULL when the array is empty. */
CALPARSER_API
void* array_last_element(const array_t* array);
/* count becomes 0; elements are not freed. */
CALPARSER_API
void array_clear(array_t* array);
/* Frees every element with free() (last first), frees the array and stores
 * NULL. A NULL address or array is a no-op. */
CALPARSER_API
void array_free_and_destroy(array_t** pArray);
/* First call positions the cursor on element 0, each next call on the following
 * one. Non-zero while an element was reached; past the end the cursor's element
 * is NULL and the result is 0. */
CALPARSER_API
int array_findfirst(const array_t* array, array_iter_t* cursor);
CALPARSER_API
int array_findnext(const array_t* array, array_iter_t* cursor);
/* Sorts the slots in place. */
CALPARSER_API
void array_qsort(array_t* array, array_compare_t compare);
/* The address of a slot that compares equal to *key, or NULL. The array must be
 * sorted by the same order. */
CALPARSER_API
void** array_bsearch(const array_t* array, const void* key, array_compare_t compare);
/* Appends `text` unless an equal text (case distinguished) is already present.
 * Non-zero when appended (the array's element is now `text`, still owned as the
 * caller's list rules say), 0 when not (the caller then frees its text). */
CALPARSER_API
int array_append_unique_string(array_t* array, char* text);

#ifdef __cplusplus
}
#endif

#endif
