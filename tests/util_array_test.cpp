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

ArrayPtr make_array() {
    ArrayPtr array(array_new());
    EXPECT_NE(nullptr, array);
    return array;
}

// Elements that are just numbers: the array never looks at them.
void* item(uintptr_t n) { return reinterpret_cast<void*>(n); }
uintptr_t number(void* element) { return reinterpret_cast<uintptr_t>(element); }

int compare_texts(const void* a, const void* b) {
    return strcmp(*static_cast<const char* const*>(a), *static_cast<const char* const*>(b));
}

} // namespace

// Growing far past the first capacity keeps every element in order.
TEST(Array, AppendGrowsAndKeepsOrder) {
    ArrayPtr array = make_array();
    EXPECT_EQ(0u, array->count);
    for (uintptr_t i = 1; i <= 1000; i++) ASSERT_EQ(0, array_append(array.get(), item(i)));
    ASSERT_EQ(1000u, array->count);
    EXPECT_GE(array->alloc, 1000u);
    for (unsigned i = 0; i < 1000; i++) ASSERT_EQ(i + 1, number(array_elementat(array.get(), i)));
    EXPECT_EQ(1000u, number(array_last_element(array.get())));
    EXPECT_EQ(1, array_append(nullptr, item(1)));
}

TEST(Array, InsertGoesInFrontOfIndex) {
    ArrayPtr array = make_array();
    EXPECT_EQ(0, array_insert(array.get(), 0, item(2)));  // into an empty array
    EXPECT_EQ(0, array_insert(array.get(), 0, item(1)));  // front
    EXPECT_EQ(0, array_insert(array.get(), 2, item(4)));  // index == count appends
    EXPECT_EQ(0, array_insert(array.get(), 2, item(3)));  // middle
    EXPECT_EQ(1, array_insert(array.get(), 5, item(9)));  // past the end: refused
    ASSERT_EQ(4u, array->count);
    for (unsigned i = 0; i < 4; i++) EXPECT_EQ(i + 1, number(array->data[i]));
}

TEST(Array, RemoveAtShiftsLaterElementsDown) {
    ArrayPtr array = make_array();
    for (uintptr_t i = 1; i <= 4; i++) array_append(array.get(), item(i));
    EXPECT_EQ(2u, number(array_removeat(array.get(), 1)));
    EXPECT_EQ(4u, number(array_removeat(array.get(), 2)));  // the last slot
    EXPECT_EQ(nullptr, array_removeat(array.get(), 2));     // now out of range
    EXPECT_EQ(nullptr, array_elementat(array.get(), 2));
    ASSERT_EQ(2u, array->count);
    EXPECT_EQ(1u, number(array->data[0]));
    EXPECT_EQ(3u, number(array->data[1]));
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
    ArrayPtr array = make_array();
    array_append(array.get(), item(10));
    array_append(array.get(), nullptr);  // a NULL element is still reached
    array_append(array.get(), item(30));

    array_iter_t cursor;
    ASSERT_NE(0, array_findfirst(array.get(), &cursor));
    EXPECT_EQ(10u, number(cursor.element));
    EXPECT_EQ(1u, cursor.index);
    ASSERT_NE(0, array_findnext(array.get(), &cursor));
    EXPECT_EQ(nullptr, cursor.element);
    EXPECT_EQ(2u, cursor.index);
    ASSERT_NE(0, array_findnext(array.get(), &cursor));
    EXPECT_EQ(30u, number(cursor.element));
    EXPECT_EQ(3u, cursor.index);
    EXPECT_EQ(0, array_findnext(array.get(), &cursor));
    EXPECT_EQ(nullptr, cursor.element);
    EXPECT_EQ(0, array_findnext(array.get(), &cursor));  // stays past the end

    ArrayPtr empty = make_array();
    cursor.element = item(1);
    EXPECT_EQ(0, array_findfirst(empty.get(), &cursor));
    EXPECT_EQ(nullptr, cursor.element);
}

// The comparators see slot addresses, and bsearch's key comes first.
TEST(Array, SortAndSearchPassSlotAddresses) {
    ArrayPtr array = make_array();
    const char* texts[] = {"pear", "apple", "fig", "kiwi", "banana"};
    for (const char* t : texts) array_append(array.get(), const_cast<char*>(t));
    array_qsort(array.get(), compare_texts);
    const char* sorted[] = {"apple", "banana", "fig", "kiwi", "pear"};
    for (unsigned i = 0; i < 5; i++) EXPECT_STREQ(sorted[i], (const char*)array->data[i]);

    char keyText[] = "kiwi";  // a different buffer from the element's
    const char* key = keyText;
    void** slot = array_bsearch(array.get(), &key, compare_texts);
    ASSERT_NE(nullptr, slot);
    EXPECT_EQ(&array->data[3], slot);

    static const void* firstArgument;
    auto recordFirst = [](const void* a, const void* b) {
        firstArgument = a;
        return compare_texts(a, b);
    };
    const char* missing = "grape";
    EXPECT_EQ(nullptr, array_bsearch(array.get(), &missing, recordFirst));
    EXPECT_EQ(static_cast<const void*>(&missing), firstArgument);

    ArrayPtr empty = make_array();
    array_qsort(empty.get(), compare_texts);
    EXPECT_EQ(nullptr, array_bsearch(empty.get(), &key, compare_texts));
}

TEST(Array, AppendUniqueStringComparesTextWithCase) {
    ArrayPtr array = make_array();
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
    EXPECT_STREQ("two", *slot);
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

TEST(Str, ToUpperChangesAsciiLettersOnly) {
    char text[] = "abz-AZ 09 \xc3\xa9x";
    EXPECT_EQ(text, str_toupper(text));
    EXPECT_STREQ("ABZ-AZ 09 \xc3\xa9X", text);
    EXPECT_EQ(nullptr, str_toupper(nullptr));
}

TEST(Str, TrimRemovesSpaceOnBothEnds) {
    char text[] = " \t\r\n a b \t\r\n";
    char* trimmed = str_trim(text);
    EXPECT_STREQ("a b", trimmed);
    EXPECT_EQ(text + 5, trimmed);  // inside the same buffer

    char blank[] = " \t ";
    EXPECT_STREQ("", str_trim(blank));
    char plain[] = "x";
    EXPECT_EQ(plain, str_trim(plain));
    EXPECT_EQ(nullptr, str_trim(nullptr));
}
