#include "public/util/array.h"
#include "public/util/str.h"
#include "tests/support/text_lists.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <memory>
#include <vector>

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

TEST(Array, AppendInsertAndRemoveKeepOrder) {
    ArrayPtr array(array_new());
    for (uintptr_t i = 1; i <= 1000; i++) ASSERT_EQ(0, array_append(array.get(), item(i)));
    for (unsigned i = 0; i < 1000; i++) ASSERT_EQ(i + 1, number(array_elementat(array.get(), i)));
    EXPECT_EQ(1000u, number(array_last_element(array.get())));
    EXPECT_EQ(1, array_append(nullptr, item(1)));

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

// Every element is freed (the sanitizer build reports a leak otherwise).
TEST(Array, FreeAndDestroyFreesElementsAndClearsPointer) {
    array_t* array = array_new();
    for (int i = 0; i < 20; i++) array_append(array, malloc(16));
    array_free_and_destroy(&array);
    EXPECT_EQ(nullptr, array);
    array_free_and_destroy(&array);  // a no-op on NULL
}

TEST(Array, CursorVisitsEveryElementThenStops) {
    ArrayPtr array(array_new());
    const std::vector<uintptr_t> elements = {10, 0, 30};  // a NULL element is still reached
    for (uintptr_t e : elements) array_append(array.get(), item(e));
    std::vector<uintptr_t> seen;
    array_iter_t cursor;
    for (int more = array_findfirst(array.get(), &cursor); more;
         more = array_findnext(array.get(), &cursor))
        seen.push_back(number(cursor.element));
    EXPECT_EQ(elements, seen);
    EXPECT_EQ(nullptr, cursor.element);
    EXPECT_EQ(3u, cursor.index);
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

TEST(Array, AppendUniqueStringComparesTextWithCase) {
    ArrayPtr array(array_new());
    char a[] = "alpha", again[] = "alpha", upper[] = "ALPHA";
    EXPECT_NE(0, array_append_unique_string(array.get(), a));
    EXPECT_EQ(0, array_append_unique_string(array.get(), again));
    EXPECT_NE(0, array_append_unique_string(array.get(), upper));
    ASSERT_EQ(2u, array->count);
    EXPECT_EQ(a, array->data[0]);
}

TEST(Str, ToUpperAndTrimWorkInPlace) {
    char text[] = "abz-AZ 09 \xc3\xa9x";
    EXPECT_EQ(text, str_toupper(text));
    EXPECT_STREQ("ABZ-AZ 09 \xc3\xa9X", text);  // ASCII letters only

    char padded[] = " \t\r\n a b \t\r\n";
    EXPECT_EQ(padded + 5, str_trim(padded));
    EXPECT_STREQ("a b", padded + 5);
    char blank[] = " \t ";
    EXPECT_STREQ("", str_trim(blank));
}
