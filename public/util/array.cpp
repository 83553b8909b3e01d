/* Growable array of untyped pointers. */
#include "public/util/array.h"

#include <stdlib.h>
#include <string.h>

/* Capacity of a first allocation; afterwards the capacity doubles, so n appends
 * cost O(n) copies in total. An array made by array_new holds its first slots
 * in the same allocation, right after the array_t: most lists of a record
 * never outgrow them, and one allocation fewer per list is one malloc and one
 * free fewer for every record a parse makes and its caller frees. */
static constexpr unsigned kFirstCapacity = 4;

static_assert(sizeof(array_t) % alignof(void*) == 0, "slots may follow an array_t");

/* The slots that share the allocation of an array made by array_new. */
static void** inline_slots(array_t* array) {
    return (void**)(array + 1);
}

/* Makes room for at least one more slot. Returns 0, or 3 when memory runs out
 * (the array is then unchanged). */
static int ensure_room_for_one(array_t* array) {
    if (array->count < array->alloc) return 0;
    unsigned capacity = array->alloc ? array->alloc * 2 : kFirstCapacity;
    if (capacity <= array->alloc) return 3; /* unsigned overflow */
    if ((size_t)capacity > (size_t)-1 / sizeof(void*)) return 3;
    void** grown = NULL;
    if (array->data == inline_slots(array)) {
        grown = (void**)malloc((size_t)capacity * sizeof(void*));
        if (grown) memcpy(grown, array->data, (size_t)array->count * sizeof(void*));
    } else {
        grown = (void**)realloc(array->data, (size_t)capacity * sizeof(void*));
    }
    if (!grown) return 3;
    array->data = grown;
    array->alloc = capacity;
    return 0;
}

array_t* array_new(void) {
    array_t* array = (array_t*)calloc(1, sizeof(array_t) + kFirstCapacity * sizeof(void*));
    if (array) {
        array->data = inline_slots(array);
        array->alloc = kFirstCapacity;
    }
    return array;
}

void array_delete(array_t* array) {
    if (!array) return;
    if (array->data != inline_slots(array)) free(array->data);
    free(array);
}

int array_append(array_t* array, void* element) {
    if (!array) return 1;
    if (ensure_room_for_one(array)) return 3;
    array->data[array->count++] = element;
    return 0;
}

int array_insert(array_t* array, unsigned index, void* element) {
    if (!array || index > array->count) return 1;
    if (ensure_room_for_one(array)) return 3;
    memmove(array->data + index + 1, array->data + index,
            (size_t)(array->count - index) * sizeof(void*));
    array->data[index] = element;
    array->count++;
    return 0;
}

void* array_removeat(array_t* array, unsigned index) {
    if (!array || index >= array->count) return NULL;
    void* removed = array->data[index];
    memmove(array->data + index, array->data + index + 1,
            (size_t)(array->count - index - 1) * sizeof(void*));
    array->count--;
    return removed;
}

void* array_elementat(const array_t* array, unsigned index) {
    if (!array || index >= array->count) return NULL;
    return array->data[index];
}

void* array_last_element(const array_t* array) {
    if (!array || array->count == 0) return NULL;
    return array->data[array->count - 1];
}

void array_clear(array_t* array) {
    if (array) array->count = 0;
}

void array_free_and_destroy(array_t** pArray) {
    if (!pArray || !*pArray) return;
    array_t* array = *pArray;
    for (unsigned i = array->count; i > 0; i--) free(array->data[i - 1]);
    array_delete(array);
    *pArray = NULL;
}

int array_findfirst(const array_t* array, array_iter_t* cursor) {
    if (!cursor) return 0;
    cursor->element = NULL;
    cursor->index = 0;
    return array_findnext(array, cursor);
}

int array_findnext(const array_t* array, array_iter_t* cursor) {
    if (!cursor) return 0;
    if (!array || cursor->index >= array->count) {
        cursor->element = NULL;
        return 0;
    }
    cursor->element = array->data[cursor->index++];
    return 1;
}

void array_qsort(array_t* array, array_compare_t compare) {
    /* qsort's base may not be NULL, which an empty array's storage is. */
    if (!array || !compare || array->count < 2) return;
    qsort(array->data, array->count, sizeof(void*), compare);
}

void** array_bsearch(const array_t* array, const void* key, array_compare_t compare) {
    if (!array || !compare || array->count == 0) return NULL;
    /* bsearch hands the comparator the key first and a slot's address second. */
    return (void**)bsearch(key, array->data, array->count, sizeof(void*), compare);
}

int array_append_unique_string(array_t* array, char* text) {
    if (!array || !text) return 0;
    for (unsigned i = 0; i < array->count; i++) {
        const char* present = (const char*)array->data[i];
        if (present && strcmp(present, text) == 0) return 0;
    }
    return array_append(array, text) == 0;
}
