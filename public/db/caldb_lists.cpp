#include "public/db/caldb_lists.h"

#include <stdlib.h>

#include <plstr.h>

extern "C" {

void caldb_free_text_list(array_t** ppList) {
    if (!ppList || !*ppList) return;
    array_t* list = *ppList;
    /* The array goes too, so its slots need no removing one by one. */
    for (unsigned i = list->count; i > 0; i--)
        PL_strfree(static_cast<char*>(list->data[i - 1]));
    array_delete(list);
    *ppList = nullptr;
}

int caldb_copy_text_list(const array_t* pSrc, array_t** ppDest) {
    *ppDest = nullptr;
    if (!pSrc) return 0;
    array_t* copy = array_new();
    if (!copy) return 3;
    for (unsigned i = 0; i < pSrc->count; i++) {
        const char* text = static_cast<const char*>(pSrc->data[i]);
        char* dup = nullptr;
        if (text && !(dup = PL_strdup(text))) goto fail;
        if (array_append(copy, dup) != 0) {
            PL_strfree(dup);
            goto fail;
        }
    }
    *ppDest = copy;
    return 0;
fail:
    caldb_free_text_list(&copy);
    return 3;
}

}  // extern "C"
