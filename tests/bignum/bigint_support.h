// Helpers of the big-integer tests: an owning holder, limb access and random magnitudes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tvlr.h"

namespace bigint_test {

struct IntDeleter {
    void operator()(tvl_int *n) const { tvl_int_free(n); }
};
using IntPtr = std::unique_ptr<tvl_int, IntDeleter>;

inline IntPtr make_int() {
    IntPtr p(tvl_int_alloc());
    EXPECT_NE(p, nullptr);
    return p;
}

// The used limbs of a record.
inline std::vector<uint32_t> limbs(const tvl_int *n) {
    return std::vector<uint32_t>(n->limbs, n->limbs + n->length);
}

// Sets an owned record to the given limbs (least significant first) and sign by filling its
// fields directly; zero top limbs are dropped.
inline void set_limbs(tvl_int *n, std::vector<uint32_t> v, bool negative = false) {
    while (!v.empty() && v.back() == 0) v.pop_back();
    ASSERT_TRUE(n->owned);
    if (n->capacity < v.size()) {
        void *p = std::realloc(n->limbs, v.size() * sizeof(uint32_t));
        ASSERT_NE(p, nullptr);
        n->limbs = static_cast<uint32_t *>(p);
        n->capacity = static_cast<uint32_t>(v.size());
    }
    std::copy(v.begin(), v.end(), n->limbs);
    n->length = static_cast<uint32_t>(v.size());
    n->negative = negative && !v.empty() ? 1 : 0;
}

inline IntPtr make_int(const std::vector<uint32_t> &v, bool negative = false) {
    IntPtr p = make_int();
    set_limbs(p.get(), v, negative);
    return p;
}

// Random magnitudes of exactly `len` limbs (top limb nonzero) in a mix of shapes that reach
// carries, borrows and long runs: uniform limbs, mostly ones, mostly zeros.
inline std::vector<uint32_t> random_limbs(std::mt19937_64 &rng, size_t len) {
    std::vector<uint32_t> v(len);
    const auto shape = rng() % 4;
    for (auto &x : v) {
        const auto r = static_cast<uint32_t>(rng());
        switch (shape) {
            case 0:
                x = r;
                break;
            case 1:
                x = (rng() % 4 == 0) ? r : 0xFFFFFFFFu;
                break;
            case 2:
                x = (rng() % 4 == 0) ? r : 0u;
                break;
            default:
                x = (rng() % 2 == 0) ? 0xFFFFFFFFu : (rng() % 2 == 0 ? 0u : r);
                break;
        }
    }
    if (len > 0 && v.back() == 0) v.back() = static_cast<uint32_t>(rng()) | 1u;
    return v;
}

// A length from 1 to max_len, biased towards short values but reaching max_len.
inline size_t random_length(std::mt19937_64 &rng, size_t max_len) {
    switch (rng() % 4) {
        case 0:
            return 1 + rng() % 4;
        case 1:
            return 1 + rng() % 32;
        case 2:
            return max_len - rng() % std::min<size_t>(4, max_len);
        default:
            return 1 + rng() % max_len;
    }
}

}  // namespace bigint_test
