/* Building the text lists the directory look-ups hand out (internal to the
 * directory). */
#ifndef PUBLIC_CORE_UTIL_USERATTR_LISTS_H
#define PUBLIC_CORE_UTIL_USERATTR_LISTS_H

#include "public/util/array.h"

#include <memory>
#include <string>

struct userattr_list_deleter {
    void operator()(array_t* list) const { array_free_and_destroy(&list); }
};
/* A list of heap texts under construction; freed with its texts unless handed out. */
using userattr_list = std::unique_ptr<array_t, userattr_list_deleter>;

/* Appends a PL_strdup copy of prefix + text to *list (an empty text appends a
 * NULL element), making the list on first use. Throws std::bad_alloc when
 * memory runs out; the list then holds what it held before. */
void userattr_list_append(userattr_list* list, const std::string& text, const char* prefix = "");

/* Hands the list over to *out (the caller then owns it); with a NULL `out`
 * the list is freed. */
void userattr_list_hand_out(userattr_list* list, array_t** out);

#endif
