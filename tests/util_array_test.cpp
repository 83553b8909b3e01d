#include "public/util/array.h"
#include "public/util/str.h"
#include "public/util/strarray.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

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
    ASSERT_EQ(1000u, array->count);
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
    EXPECT_EQ(nullptr, array_elementat(small.get(), 2));
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
    const uintptr_t elements[] = {10, 0, 30};  // a NULL element is still reached
    for (uintptr_t e : elements) array_append(array.get(), item(e));
    array_iter_t cursor;
    for (unsigned i = 0; i < 3; i++) {
        ASSERT_NE(0, i == 0 ? array_findfirst(array.get(), &cursor)
                            : array_findnext(array.get(), &cursor));
        EXPECT_EQ(elements[i], number(cursor.element));
        EXPECT_EQ(i + 1, cursor.index);  // the index of the next element
    }
    EXPECT_EQ(0, array_findnext(array.get(), &cursor));
    EXPECT_EQ(nullptr, cursor.element);
    EXPECT_EQ(0, array_findnext(array.get(), &cursor));  // stays past the end

    ArrayPtr empty(array_new());
    cursor.element = item(1);
    EXPECT_EQ(0, array_findfirst(empty.get(), &cursor));
    EXPECT_EQ(nullptr, cursor.element);
}

// The comparators see slot addresses, and bsearch's key comes first.
TEST(Array, SortAndSearchPassSlotAddresses) {
    ArrayPtr array(array_new());
    const char* texts[] = {"pear", "apple", "fig", "kiwi", "banana"};
    for (const char* t : texts) array_append(array.get(), const_cast<char*>(t));
    array_qsort(array.get(), compare_texts);
    const char* sorted[] = {"apple", "banana", "fig", "kiwi", "pear"};
    for (unsigned i = 0; i < 5; i++) EXPECT_STREQ(sorted[i], (const char*)array->data[i]);

    char keyText[] = "kiwi";  // a different buffer from the element's
    const char* key = keyText;
    EXPECT_EQ(&array->data[3], array_bsearch(array.get(), &key, compare_texts));

    static const void* firstArgument;
    auto recordFirst = [](const void* a, const void* b) {
        firstArgument = a;
        return compare_texts(a, b);
    };
    const char* missing = "grape";
    EXPECT_EQ(nullptr, array_bsearch(array.get(), &missing, recordFirst));
    EXPECT_EQ(static_cast<const void*>(&missing), firstArgument);

    ArrayPtr empty(array_new());
    EXPECT_EQ(nullptr, array_bsearch(empty.get(), &key, compare_texts));
}

TEST(Array, AppendUniqueStringComparesTextWithCase) {
    ArrayPtr array(array_new());
    char a[] = "alpha", b[] = "beta", again[] = "alpha", upper[] = "ALPHA";
    EXPECT_NE(0, array_append_unique_string(array.get(), a));
    EXPECT_NE(0, array_append_unique_string(array.get(), b));
    EXPECT_EQ(0, array_append_unique_string(array.get(), again));
    EXPECT_NE(0, array_append_unique_string(array.get(), upper));
    ASSERT_EQ(3u, array->count);
    EXPECT_EQ(a, array->data[0]);
    EXPECT_EQ(upper, array->data[2]);
}

TEST(StrArray, OwnsItsTexts) {
    array_t* array = array_new();
    ASSERT_EQ(0, strarray_append(array, strdup("one")));
    ASSERT_EQ(0, strarray_append(array, strdup("two")));
    char** slot = strarray_elementat(array, 1);
    ASSERT_NE(nullptr, slot);
    free(*slot);  // the slot's address lets a caller replace the text
    *slot = strdup("deux");
    EXPECT_STREQ("deux", (const char*)array_elementat(array, 1));
    EXPECT_EQ(nullptr, strarray_elementat(array, 2));
    strarray_free_and_destroy(&array);
    EXPECT_EQ(nullptr, array);

    array_t* other = array_new();
    strarray_append(other, strdup("three"));
    strarray_freeall(other);
    strarray_freeall(nullptr);
}

TEST(Str, ToUpperAndTrimWorkInPlace) {
    char text[] = "abz-AZ 09 \xc3\xa9x";
    EXPECT_EQ(text, str_toupper(text));
    EXPECT_STREQ("ABZ-AZ 09 \xc3\xa9X", text);  // ASCII letters only
    EXPECT_EQ(nullptr, str_toupper(nullptr));

    char padded[] = " \t\r\n a b \t\r\n";
    EXPECT_EQ(padded + 5, str_trim(padded));
    EXPECT_STREQ("a b", padded + 5);
    char blank[] = " \t ";
    EXPECT_STREQ("", str_trim(blank));
    EXPECT_EQ(nullptr, str_trim(nullptr));
}
