// The allocation seam and the assertion report (see alloc.h).
#include "base/alloc.h"

#include <atomic>
#include <cstdio>

namespace tvl::mem {
namespace {

// Allocations left before the seam fails them; negative: never fail. Tests arm it from one
// thread; readers on other threads only load it.
std::atomic<long> g_allocations_left{-1};
std::atomic<bool> g_counting{false};
std::atomic<long> g_live{0};

bool must_fail() noexcept {
    long left = g_allocations_left.load(std::memory_order_relaxed);
    if (left < 0) return false;
    while (left > 0 &&
           !g_allocations_left.compare_exchange_weak(left, left - 1, std::memory_order_relaxed)) {
    }
    return left == 0;
}

void count(void *block, long delta) noexcept {
    if (block != nullptr && g_counting.load(std::memory_order_relaxed))
        g_live.fetch_add(delta, std::memory_order_relaxed);
}

}  // namespace

void *allocate(std::size_t size) noexcept {
    if (must_fail()) return nullptr;
    void *p = std::malloc(size);
    count(p, 1);
    return p;
}

void *allocate_zeroed(std::size_t count_, std::size_t size) noexcept {
    if (must_fail()) return nullptr;
    void *p = std::calloc(count_, size);
    count(p, 1);
    return p;
}

void *reallocate(void *block, std::size_t size) noexcept {
    if (must_fail()) return nullptr;
    void *p = std::realloc(block, size);
    if (block == nullptr) count(p, 1);
    return p;
}

void release(void *block) noexcept {
    count(block, -1);
    std::free(block);
}

namespace testing {
void fail_after(long n) noexcept {
    g_allocations_left.store(n < 0 ? 0 : n, std::memory_order_relaxed);
}
void disarm() noexcept {
    g_allocations_left.store(-1, std::memory_order_relaxed);
}
void start_counting() noexcept {
    g_live.store(0, std::memory_order_relaxed);
    g_counting.store(true, std::memory_order_relaxed);
}
long stop_counting() noexcept {
    g_counting.store(false, std::memory_order_relaxed);
    return g_live.load(std::memory_order_relaxed);
}
}  // namespace testing

}  // namespace tvl::mem

namespace tvl {
void assertion_failed(const char *file, const char *function, const char *condition) noexcept {
    std::fprintf(stderr, "%s: %s: internal check failed: %s\n", file, function, condition);
    std::abort();
}
}  // namespace tvl
