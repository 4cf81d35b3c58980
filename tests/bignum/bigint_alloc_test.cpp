// Big integer under memory exhaustion: each allocating operation runs with the n-th
// allocation failing, for n = 0, 1, 2, ... until it succeeds. Every failure must be reported
// by the result, keep the record usable (an owned buffer that could not grow stays as it was)
// and leak nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "support/failing_alloc.h"
#include "tvlr.h"

namespace {

using tvltest::alloc::arm;
using tvltest::alloc::disarm;

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

// Printing either fails or gives the text printed without a failing allocation.
template <uint32_t Base>
bool print_large(long n) {
    tvl_int *v = owned_value(600, 0xFFFFFFFFu);
    static char want[20000];
    static char buf[20000];
    const int want_len = tvl_int_to_str(v, want, sizeof want, Base);
    EXPECT_GT(want_len, 0);
    arm(n);
    const int len = tvl_int_to_str(v, buf, sizeof buf, Base);
    disarm();
    tvl_int_free(v);
    EXPECT_TRUE(len == -1 || (len == want_len && std::strcmp(buf, want) == 0)) << len;
    return len >= 0;
}

template <uint32_t Base>
bool parse_long_text(long n) {
    const std::string text(3000, '7');
    tvl_int *v = tvl_int_alloc();
    arm(n);
    const bool ok = tvl_int_from_str(v, text.c_str(), Base);
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
        tvltest::alloc::Scenario run;
    };
    const Row rows[] = {
        {"alloc", alloc_record},
        {"first buffer", first_buffer},
        {"growth", growth_keeps_old_buffer},
        {"copy", copy_into_empty},
        {"mul_pow10", mul_pow10_growing},
        {"divrem", divide_large},
        {"to_str base 10", print_large<10>},
        {"to_str base 36", print_large<36>},
        {"from_str base 10", parse_long_text<10>},
        {"from_str base 16", parse_long_text<16>},
    };
    for (const Row &row : rows) tvltest::alloc::expect_failures_reported(row.name, row.run);
}

}  // namespace
