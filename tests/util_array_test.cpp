#include "public/util/array.h"
#include "public/util/strarray.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <vector>

// Inserts at the front, in the middle and at the end past the first slots,
// and removals, keep what a vector keeps; indexes past the end are refused.
TEST(Array, InsertAndRemoveKeepOrder) {
    array_t* array = array_new();
    std::vector<void*> model;
    for (uintptr_t i = 1; i <= 40; i++) {
        unsigned at = i % 3 == 0 ? model.size() : i % 3 == 1 ? 0 : model.size() / 2;
        void* item = reinterpret_cast<void*>(i);
        EXPECT_EQ(0, at == model.size() ? array_append(array, item) : array_insert(array, at, item));
        model.insert(model.begin() + at, item);
    }
    EXPECT_EQ(1, array_insert(array, 41, nullptr));
    EXPECT_EQ(model[20], array_removeat(array, 20));
    model.erase(model.begin() + 20);
    EXPECT_EQ(nullptr, array_removeat(array, 39));
    EXPECT_EQ(model, std::vector<void*>(array->data, array->data + array->count));
    array_delete(array);
}

// A string array owns its texts: slots are reached by address, and freeing
// takes the texts with the array.
TEST(StringArray, SlotsByAddressAndFreeingEverything) {
    array_t* list = array_new();
    for (const char* t : {"a", "b"}) ASSERT_EQ(0, strarray_append(list, strdup(t)));
    char** slot = strarray_elementat(list, 1);
    ASSERT_EQ(reinterpret_cast<char**>(&list->data[1]), slot);
    EXPECT_EQ(nullptr, strarray_elementat(list, 2));
    EXPECT_EQ(nullptr, strarray_elementat(nullptr, 0));
    strarray_freeall(list);
}
