// Internals of the big float's text output that other conversions share: the decimal exponent
// estimate, the exact scaling of a significand by powers of two and five, and the two decimal
// routes that tests compare.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/alloc.h"
#include "bignum/bigint.h"
#include "tvlr.h"

namespace tvl::flt {

// floor(b * log10 2) for |b| < 2^31.
std::int64_t floor_log10_pow2(std::int64_t b);

// k with floor(log10 |v|) <= k <= floor(log10 |v|) + 3 for every v in [2^(b-1), 2^b), for
// |b| < 2^31.
std::int64_t decimal_exponent_estimate(std::int64_t b);

// floor(x * 2^shift * 5^pow5) of a nonnegative integer x, and whether nothing was dropped.
// The work buffer grows without the big integer's ceiling (up to 512 MiB).
class ScaledInt {
  public:
    // False when the work buffer cannot be had.
    bool compute(ConstLimbSpan x, std::int64_t shift, std::int64_t pow5);

    bool exact() const { return exact_; }

    // The result, without zero top limbs (empty for zero); valid until the next call.
    LimbSpan value() { return {a_, len_}; }

    // Writes the value's decimal digits into out[0..count), most significant first and padded
    // with leading zeros, consuming the value; false when it has more than `count` digits.
    bool take_digits(char *out, std::size_t count);

  private:
    void trim();
    void multiply(Limb m);
    void divide(Limb d);
    void shift_by(std::int64_t s);

    mem::Scratch<Limb, 64> work_;
    Limb *a_ = nullptr;
    std::size_t len_ = 0;
    bool exact_ = true;
};

// The two base-10 routes of tvl_float_to_str, for tests that compare them: the exact route of
// any precision, and the fast route of precisions up to 64, which returns kUndecided where it
// cannot decide (and for every other precision).
int float_to_decimal_exact(const tvl_float *f, char *buf, std::size_t size);
int float_to_decimal_fast(const tvl_float *f, char *buf, std::size_t size);
inline constexpr int kUndecided = -2;

// The text that tvl_float_to_str writes for x held at `precision` bits (1 to 64) as
// tvl_float_from_double stores it, with its NUL, into out (kDoubleTextRoom bytes); returns its
// length, or kUndecided where only the routes of the big float can decide.
inline constexpr std::size_t kDoubleTextRoom = 64;
int double_to_decimal(double x, std::uint32_t precision, char *out);

}  // namespace tvl::flt
