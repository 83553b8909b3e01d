/* String arrays: the array owns its heap texts. */
#include "public/util/strarray.h"

#include <stdlib.h>

int strarray_append(array_t* array, char* text) {
    return array_append(array, text);
}

char** strarray_elementat(const array_t* array, unsigned index) {
    if (!array || index >= array->count) return NULL;
    return (char**)&array->data[index];
}

void strarray_freeall(array_t* array) {
    array_free_and_destroy(&array);
}

void strarray_free_and_destroy(array_t** pArray) {
    array_free_and_destroy(pArray);
}
