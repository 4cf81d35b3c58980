// Big integer under memory exhaustion: this executable replaces the C allocator with one
// that can be told to fail from the n-th call on, and runs each allocating operation with
// n = 0, 1, 2, ... until it succeeds. Every failure must be reported by the result, keep
// the record usable (an owned buffer that could not grow stays as it was) and leak nothing.
//
// The replacement forwards to the C library's own allocator entry points; it is left out of
// sanitizer builds, whose allocator must stay in place.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "tvlr.h"

#if defined(__SANITIZE_ADDRESS__)
#define BIGINT_ALLOC_HOOKS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BIGINT_ALLOC_HOOKS 0
#endif
#endif
#ifndef BIGINT_ALLOC_HOOKS
#define BIGINT_ALLOC_HOOKS 1
#endif

#if BIGINT_ALLOC_HOOKS

namespace {

// Calls left before allocations start failing; negative: never fail.
long g_calls_left = -1;
// Blocks handed out minus blocks freed while counting.
long g_live = 0;
bool g_counting = false;

bool exhausted() {
    if (g_calls_left < 0) return false;
    if (g_calls_left == 0) return true;
    --g_calls_left;
    return false;
}

}  // namespace

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *p, size_t size);
void __libc_free(void *p);

void *malloc(size_t size) {
    if (exhausted()) return nullptr;
    void *p = __libc_malloc(size);
    if (p != nullptr && g_counting) ++g_live;
    return p;
}

void *calloc(size_t count, size_t size) {
    if (exhausted()) return nullptr;
    void *p = __libc_calloc(count, size);
    if (p != nullptr && g_counting) ++g_live;
    return p;
}

void *realloc(void *old, size_t size) {
    if (exhausted()) return nullptr;
    void *p = __libc_realloc(old, size);
    if (p != nullptr && old == nullptr && g_counting) ++g_live;
    return p;
}

void free(void *p) {
    if (p != nullptr && g_counting) --g_live;
    __libc_free(p);
}
}  // extern "C"

namespace {

// Allocations fail from the n-th call after arm(n) until disarm().
void arm(long n) {
    g_calls_left = n;
}
void disarm() {
    g_calls_left = -1;
}

// One operation: builds its inputs, calls the operation between arm(n) and disarm(),
// checks the state a failure leaves, releases everything and returns whether it succeeded.
using Scenario = bool (*)(long n);

tvl_int *owned_value(uint32_t limbs, uint32_t fill) {
    tvl_int *v = tvl_int_alloc();
    EXPECT_NE(v, nullptr);
    for (uint32_t i = 0; i < limbs * 32; i += 32) {
        EXPECT_TRUE(tvl_int_setbit(v, static_cast<int>(i)));
        v->limbs[i / 32] = fill;
    }
    return v;
}

bool alloc_record(long n) {
    arm(n);
    tvl_int *v = tvl_int_alloc();
    disarm();
    tvl_int_free(v);
    return v != nullptr;
}

bool first_buffer(long n) {
    tvl_int *v = tvl_int_alloc();
    arm(n);
    const bool ok = tvl_int_from_uint64(v, 0x123456789ull);
    disarm();
    if (!ok) {
        EXPECT_EQ(v->limbs, nullptr);
        EXPECT_EQ(v->capacity, 0u);
    }
    tvl_int_free(v);
    return ok;
}

bool growth_keeps_old_buffer(long n) {
    tvl_int *v = owned_value(8, 0xABCDEF01u);
    uint32_t *const buf = v->limbs;
    arm(n);
    const bool ok = tvl_int_setbit(v, 5000);
    disarm();
    if (!ok) {
        EXPECT_EQ(v->limbs, buf);
        EXPECT_EQ(v->capacity, 8u);
        EXPECT_EQ(v->length, 8u);
        for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(v->limbs[i], 0xABCDEF01u);
    }
    tvl_int_free(v);
    return ok;
}

bool copy_into_empty(long n) {
    tvl_int *src = owned_value(300, 7);
    tvl_int *dst = tvl_int_alloc();
    arm(n);
    const bool ok = tvl_int_copy(dst, src);
    disarm();
    if (ok) {
        EXPECT_EQ(tvl_int_cmp(dst, src), 0);
    }
    tvl_int_free(src);
    tvl_int_free(dst);
    return ok;
}

bool mul_pow10_growing(long n) {
    tvl_int *v = tvl_int_alloc();
    EXPECT_TRUE(tvl_int_from_uint32(v, 3));
    arm(n);
    const bool ok = tvl_int_mul_pow10(v, 5000);
    disarm();
    if (!ok) {
        EXPECT_LE(v->length, v->capacity);
    }
    tvl_int_free(v);
    return ok;
}

bool divide_large(long n) {
    tvl_int *a = owned_value(500, 0x9E3779B9u);
    tvl_int *b = owned_value(200, 0x7F4A7C15u);
    tvl_int *q = tvl_int_alloc();
    tvl_int *r = tvl_int_alloc();
    arm(n);
    const bool ok = tvl_int_divrem(q, r, a, b);
    disarm();
    EXPECT_LE(q->length, q->capacity);
    EXPECT_LE(r->length, r->capacity);
    if (ok) {
        EXPECT_EQ(tvl_int_bitlen(q), 32u * 300 + 1);
    }
    for (tvl_int *x : {a, b, q, r}) tvl_int_free(x);
    return ok;
}

bool print_large(long n) {
    tvl_int *v = owned_value(600, 0xFFFFFFFFu);
    static char buf[8000];
    arm(n);
    const int len = tvl_int_to_str(v, buf, sizeof buf, 10);
    disarm();
    tvl_int_free(v);
    EXPECT_TRUE(len == -1 || len == 5780) << len;
    return len >= 0;
}

bool parse_long_text(long n) {
    const std::string text(3000, '7');
    tvl_int *v = tvl_int_alloc();
    arm(n);
    const bool ok = tvl_int_from_str(v, text.c_str(), 10);
    disarm();
    if (!ok) {
        EXPECT_LE(v->length, v->capacity);
    }
    tvl_int_free(v);
    return ok;
}

TEST(BigIntAlloc, EveryAllocationFailureIsReported) {
    struct Row {
        const char *name;
        Scenario run;
    };
    const Row rows[] = {
        {"alloc", alloc_record},
        {"first buffer", first_buffer},
        {"growth", growth_keeps_old_buffer},
        {"copy", copy_into_empty},
        {"mul_pow10", mul_pow10_growing},
        {"divrem", divide_large},
        {"to_str", print_large},
        {"from_str", parse_long_text},
    };
    for (const Row &row : rows) {
        long failures = 0;
        for (long n = 0;; ++n) {
            ASSERT_LT(n, 100) << row.name << " never succeeds";
            g_live = 0;
            g_counting = true;
            const bool ok = row.run(n);
            g_counting = false;
            EXPECT_EQ(g_live, 0) << row.name << " leaks with allocation " << n << " failing";
            if (ok) break;
            ++failures;
        }
        EXPECT_GT(failures, 0) << row.name << " allocates nothing";
    }
}

}  // namespace

#else

TEST(BigIntAlloc, EveryAllocationFailureIsReported) {
    GTEST_SKIP() << "the allocator cannot be replaced under the address sanitizer";
}

#endif
