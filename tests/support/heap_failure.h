/* Allocation-failure driver for tests: include in exactly one file of a test
 * executable. It replaces the heap functions with wrappers that can fail the
 * n-th allocation from now and count live blocks, so every failure path of a
 * call is driven and checked for leaks. Sanitizer builds own the heap; there
 * HEAP_FAILURE_HOOK is 0 and tests that need the hook skip themselves. */
#ifndef TESTS_HEAP_FAILURE_H
#define TESTS_HEAP_FAILURE_H

#include <gtest/gtest.h>

#include <stddef.h>

#include <atomic>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define HEAP_FAILURE_HOOK 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define HEAP_FAILURE_HOOK 0
#endif
#endif
#ifndef HEAP_FAILURE_HOOK
#define HEAP_FAILURE_HOOK 1
#endif

/* Defined in every build so tests compile alike; only the hooked heap below
 * consults it. */
namespace heap_failure {
/* Atomic because tests with threads allocate through the same wrappers. */
inline std::atomic<long> g_until_failure{-1};  /* -1: never fail */
inline std::atomic<long> g_live_blocks{0};
inline std::atomic<long> g_failures_made{0};

inline bool next_fails()
{
    if (g_until_failure.load() < 0)
        return false;
    if (g_until_failure-- != 0)
        return false;
    g_failures_made++;
    return true;
}

/* Fails the allocation `index` from now (0: the next one) while it lives. */
class FailAt {
public:
    explicit FailAt(long index) { g_until_failure = index; }
    ~FailAt() { g_until_failure = -1; }
};
}  // namespace heap_failure

#if HEAP_FAILURE_HOOK
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
}


extern "C" void* malloc(size_t size)
{
    if (heap_failure::next_fails())
        return nullptr;
    void* block = __libc_malloc(size);
    if (block)
        heap_failure::g_live_blocks++;
    return block;
}
extern "C" void* calloc(size_t count, size_t size)
{
    if (heap_failure::next_fails())
        return nullptr;
    void* block = __libc_calloc(count, size);
    if (block)
        heap_failure::g_live_blocks++;
    return block;
}
extern "C" void* realloc(void* block, size_t size)
{
    if (heap_failure::next_fails())
        return nullptr;
    void* grown = __libc_realloc(block, size);
    if (!block && grown)
        heap_failure::g_live_blocks++;
    return grown;
}
extern "C" void free(void* block)
{
    if (block)
        heap_failure::g_live_blocks--;
    __libc_free(block);
}
#endif

/* Runs `attempt` with the 0th, 1st, 2nd ... allocation failing, until a run
 * in which the failure never came: every point is driven, even past a failure
 * the call absorbed. A run with a failure must leave no block behind (free
 * what it made, whatever it reports); the last, unhindered run must report
 * success and its result is the caller's; it must have made more than
 * `morePointsThan` allocations. Returns that number of allocations. Without
 * the hook (sanitizer builds) nothing runs, the test is marked skipped and
 * the result is 0; the test's own checks after the call still run. */
template <typename Attempt>
int count_failure_points(Attempt attempt, int morePointsThan = 0)
{
#if HEAP_FAILURE_HOOK
    for (long failAt = 0; failAt < 10000; failAt++) {
        long liveBefore = heap_failure::g_live_blocks;
        long failuresBefore = heap_failure::g_failures_made;
        heap_failure::g_until_failure = failAt;
        bool ok = attempt();
        heap_failure::g_until_failure = -1;
        if (heap_failure::g_failures_made == failuresBefore) {
            EXPECT_TRUE(ok) << "the unhindered run failed";
            EXPECT_GT(failAt, morePointsThan) << "too few allocations were driven";
            return static_cast<int>(failAt);
        }
        EXPECT_EQ(liveBefore, heap_failure::g_live_blocks) << "leak when allocation " << failAt
                                                           << " fails";
    }
    ADD_FAILURE() << "never ran to the end";
#else
    (void)attempt;
    (void)morePointsThan;
    [] { GTEST_SKIP() << "the sanitizer owns the heap"; }();
#endif
    return 0;
}

#endif
