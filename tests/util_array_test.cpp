#include "public/util/array.h"
#include "public/util/strarray.h"
#include "tests/support/text_lists.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <memory>

namespace {

struct ArrayDeleter {
    void operator()(array_t* array) const { array_delete(array); }
};
using ArrayPtr = std::unique_ptr<array_t, ArrayDeleter>;

// Elements that are just numbers: the array never looks at them.
void* item(uintptr_t n) { return reinterpret_cast<void*>(n); }
uintptr_t number(void* element) { return reinterpret_cast<uintptr_t>(element); }

int compare_texts(const void* a, const void* b) {
    return strcmp(*static_cast<const char* const*>(a), *static_cast<const char* const*>(b));
}

} // namespace

TEST(Array, InsertAndRemoveKeepOrder) {
    ArrayPtr small(array_new());
    EXPECT_EQ(0, array_insert(small.get(), 0, item(2)));  // into an empty array
    EXPECT_EQ(0, array_insert(small.get(), 0, item(1)));  // front
    EXPECT_EQ(0, array_insert(small.get(), 2, item(4)));  // index == count appends
    EXPECT_EQ(0, array_insert(small.get(), 2, item(3)));  // middle
    EXPECT_EQ(1, array_insert(small.get(), 5, item(9)));  // past the end: refused
    ASSERT_EQ(4u, small->count);
    for (unsigned i = 0; i < 4; i++) EXPECT_EQ(i + 1, number(small->data[i]));

    EXPECT_EQ(2u, number(array_removeat(small.get(), 1)));
    EXPECT_EQ(4u, number(array_removeat(small.get(), 2)));  // the last slot
    EXPECT_EQ(nullptr, array_removeat(small.get(), 2));     // now out of range
    ASSERT_EQ(2u, small->count);
    EXPECT_EQ(3u, number(small->data[1]));
}

// The first slots share the array's allocation; growing past them, by appends
// and by inserts, moves every element to slots of their own, in order.
TEST(Array, GrowingPastTheFirstSlotsKeepsEveryElement) {
    for (bool byInsert : {false, true}) {
        ArrayPtr array(array_new());
        for (unsigned i = 1; i <= 40; i++) {
            if (byInsert)
                EXPECT_EQ(0, array_insert(array.get(), 0, item(41 - i)));
            else
                EXPECT_EQ(0, array_append(array.get(), item(i)));
        }
        ASSERT_EQ(40u, array->count);
        for (unsigned i = 0; i < 40; i++) EXPECT_EQ(i + 1, number(array->data[i])) << byInsert;
    }
}

// The comparators see slot addresses; a key passed second would turn the
// search the wrong way and miss "kiwi".
TEST(Array, SortAndSearchPassSlotAddresses) {
    ArrayPtr array(array_new());
    for (const char* t : {"pear", "apple", "fig", "kiwi", "banana"})
        array_append(array.get(), const_cast<char*>(t));
    array_qsort(array.get(), compare_texts);
    EXPECT_EQ((Strings{"apple", "banana", "fig", "kiwi", "pear"}), strings(array.get()));

    char keyText[] = "kiwi";  // a different buffer from the element's
    const char* key = keyText;
    EXPECT_EQ(&array->data[3], array_bsearch(array.get(), &key, compare_texts));
    const char* missing = "grape";
    EXPECT_EQ(nullptr, array_bsearch(array.get(), &missing, compare_texts));
}

// A string array owns its texts: slots are reached by address, and freeing
// takes the texts with the array.
TEST(StringArray, SlotsByAddressAndFreeingEverything) {
    array_t* list = array_new();
    for (const char* t : {"a", "b"}) ASSERT_EQ(0, strarray_append(list, strdup(t)));
    char** slot = strarray_elementat(list, 1);
    ASSERT_EQ(reinterpret_cast<char**>(&list->data[1]), slot);
    free(*slot);
    *slot = strdup("c");
    EXPECT_EQ((Strings{"a", "c"}), strings(list));
    EXPECT_EQ(nullptr, strarray_elementat(list, 2));
    EXPECT_EQ(nullptr, strarray_elementat(nullptr, 0));
    strarray_freeall(list);
    strarray_freeall(nullptr);
}
