#include "support/failing_alloc.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace tvltest::alloc {
namespace {

long g_calls_left = -1;  // calls left before allocations fail; negative: never
long g_live = 0;         // blocks handed out minus blocks freed while counting
bool g_counting = false;

}  // namespace

bool exhausted();
void count_block(long delta);

// Called by the replaced allocator: true when this allocation must fail.
bool exhausted() {
    if (g_calls_left < 0) return false;
    if (g_calls_left == 0) return true;
    --g_calls_left;
    return false;
}
void count_block(long delta) {
    if (g_counting) g_live += delta;
}

void arm(long n) {
    g_calls_left = n;
}
void disarm() {
    g_calls_left = -1;
}

void expect_failures_reported(const char *name, Scenario run) {
    long failures = 0;
    for (long n = 0;; ++n) {
        ASSERT_LT(n, 100) << name << " never succeeds";
        g_live = 0;
        g_counting = true;
        const bool ok = run(n);
        g_counting = false;
        EXPECT_EQ(g_live, 0) << name << " leaks with allocation " << n << " failing";
        if (ok) break;
        ++failures;
    }
    EXPECT_GT(failures, 0) << name << " allocates nothing";
}

}  // namespace tvltest::alloc

#if TVLTEST_ALLOC_HOOKS

// The replacement forwards to the C library's own entry points.
extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *p, size_t size);
void __libc_free(void *p);

void *malloc(size_t size) {
    if (tvltest::alloc::exhausted()) return nullptr;
    void *p = __libc_malloc(size);
    if (p != nullptr) tvltest::alloc::count_block(1);
    return p;
}

void *calloc(size_t count, size_t size) {
    if (tvltest::alloc::exhausted()) return nullptr;
    void *p = __libc_calloc(count, size);
    if (p != nullptr) tvltest::alloc::count_block(1);
    return p;
}

void *realloc(void *old, size_t size) {
    if (tvltest::alloc::exhausted()) return nullptr;
    void *p = __libc_realloc(old, size);
    if (p != nullptr && old == nullptr) tvltest::alloc::count_block(1);
    return p;
}

void free(void *p) {
    if (p != nullptr) tvltest::alloc::count_block(-1);
    __libc_free(p);
}
}  // extern "C"

#endif
