// Helpers shared by the big float tests: an owning pointer for tvl_float records, an MPFR
// value holder, and the comparison with MPFR (defined in float_test.cpp).
#pragma once

#include <gtest/gtest.h>
#include <mpfr.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "tvlr.h"

namespace float_test {

struct FloatDeleter {
    void operator()(tvl_float *f) const { tvl_float_free(f); }
};
using FloatPtr = std::unique_ptr<tvl_float, FloatDeleter>;

inline FloatPtr make_float(uint32_t precision) {
    FloatPtr f(tvl_float_alloc(precision));
    EXPECT_NE(f, nullptr);
    return f;
}

class Mpfr {
  public:
    explicit Mpfr(mpfr_prec_t precision) { mpfr_init2(v_, precision); }
    Mpfr(const Mpfr &) = delete;
    Mpfr &operator=(const Mpfr &) = delete;
    ~Mpfr() { mpfr_clear(v_); }
    mpfr_ptr get() { return v_; }

  private:
    mpfr_t v_;
};

// MPFR's widest exponent range, beyond what the notation's reader takes.
void widen_mpfr_exponents();
// The record holds exactly MPFR's value (class, sign, exponent and significand bits).
::testing::AssertionResult same_value(const tvl_float *f, mpfr_srcptr want);
// The precisions the randomised comparisons run at.
std::vector<uint32_t> test_precisions();

}  // namespace float_test
