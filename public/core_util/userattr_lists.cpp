/* The text lists of the directory look-ups. */
#include "public/core_util/userattr_lists.h"

#include <plstr.h>

#include <new>

void userattr_list_append(userattr_list* list, const std::string& text, const char* prefix)
{
    if (!*list) {
        list->reset(array_new());
        if (!*list)
            throw std::bad_alloc();
    }
    char* copy = nullptr;
    if (!text.empty()) {
        std::string whole = prefix + text;
        if (!(copy = PL_strdup(whole.c_str())))
            throw std::bad_alloc();
    }
    if (array_append(list->get(), copy) != 0) {
        PL_strfree(copy);
        throw std::bad_alloc();
    }
}

void userattr_list_hand_out(userattr_list* list, array_t** out)
{
    if (out)
        *out = list->release();
    else
        list->reset();
}
