/* Test-only heap whose n-th allocation from now can fail, counting live blocks.
 * Include it in exactly one file of a test executable: it replaces malloc,
 * calloc, realloc and free of the whole program. Sanitizer builds own the heap;
 * there FAILING_HEAP is 0 and the tests that need it skip themselves. */
#ifndef TESTS_SUPPORT_FAILING_HEAP_H
#define TESTS_SUPPORT_FAILING_HEAP_H

#include <stddef.h>

#if defined(__SANITIZE_ADDRESS__)
#define FAILING_HEAP 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FAILING_HEAP 0
#endif
#endif
#ifndef FAILING_HEAP
#define FAILING_HEAP 1
#endif

namespace failing_heap {
inline long allocationsUntilFailure = -1;  // -1: never fail
inline long liveBlocks = 0;

inline bool next_fails() {
    if (allocationsUntilFailure < 0) return false;
    return allocationsUntilFailure-- == 0;
}

/* Fails the allocation `index` from now (0: the next one) while it lives. */
class FailAt {
public:
    explicit FailAt(long index) { allocationsUntilFailure = index; }
    ~FailAt() { allocationsUntilFailure = -1; }
};
}  // namespace failing_heap

#if FAILING_HEAP
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);

void* malloc(size_t size) {
    if (failing_heap::next_fails()) return nullptr;
    void* block = __libc_malloc(size);
    if (block) failing_heap::liveBlocks++;
    return block;
}
void* calloc(size_t count, size_t size) {
    if (failing_heap::next_fails()) return nullptr;
    void* block = __libc_calloc(count, size);
    if (block) failing_heap::liveBlocks++;
    return block;
}
void* realloc(void* block, size_t size) {
    if (failing_heap::next_fails()) return nullptr;
    void* grown = __libc_realloc(block, size);
    if (!block && grown) failing_heap::liveBlocks++;
    return grown;
}
void free(void* block) {
    if (block) failing_heap::liveBlocks--;
    __libc_free(block);
}
}
#endif

#endif
