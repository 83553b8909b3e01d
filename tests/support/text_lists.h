/* Test helpers shared by the suites that build and read lists of heap texts. */
#ifndef TESTS_SUPPORT_TEXT_LISTS_H
#define TESTS_SUPPORT_TEXT_LISTS_H

#include <initializer_list>
#include <string>
#include <vector>

#include "public/util/array.h"
#include <plstr.h>

using Strings = std::vector<std::string>;

/* A new list holding PL_strdup copies of `items`; the caller frees it. */
inline array_t* texts(std::initializer_list<const char*> items) {
    array_t* list = array_new();
    for (const char* item : items) array_append(list, PL_strdup(item));
    return list;
}

/* The texts of `list` in order; a NULL list gives none. */
inline Strings strings(const array_t* list) {
    Strings out;
    for (unsigned i = 0; list && i < list->count; i++)
        out.push_back(static_cast<const char*>(list->data[i]));
    return out;
}

#endif
