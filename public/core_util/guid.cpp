/* Unique identifiers: time, process, counter and randomness. */
#include "public/core_util/guid.h"

#include <stdint.h>
#include <stdio.h>
#include <sys/random.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>

namespace {

/* Counts identifiers made by this process: two calls within one clock tick
 * still differ. */
std::atomic<uint32_t> g_guidCounter{0};

/* 64 bits from the kernel's generator; when it fails (very old kernels), bits
 * mixed from the stack address and the clock, which the counter backs up. */
uint64_t random_bits(uint64_t now)
{
    uint64_t bits = 0;
    if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof bits))
        return bits;
    bits = reinterpret_cast<uintptr_t>(&bits) ^ (now * 0x9E3779B97F4A7C15ull);
    return bits ^ (bits >> 29);
}

}  // namespace

extern "C" char* cal_GetGuidString(char* buffer)
{
    if (!buffer)
        return nullptr;
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    uint64_t now = static_cast<uint64_t>(tv.tv_sec) * 1000000u + static_cast<uint64_t>(tv.tv_usec);
    uint32_t count = g_guidCounter.fetch_add(1, std::memory_order_relaxed);
    snprintf(buffer, CAL_GUID_BUFFER_SIZE, "%016llx-%08x-%08x-%016llx",
             static_cast<unsigned long long>(now), static_cast<unsigned>(getpid()),
             static_cast<unsigned>(count), static_cast<unsigned long long>(random_bits(now)));
    return buffer;
}
