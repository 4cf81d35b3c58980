// Internal interface of the big float: record checks, the significand as 32-bit limbs, the
// rounding step, and the text-to-binary64 conversion that the notation core uses.
//
// The record keeps its significand in 64-bit words; all arithmetic works on 32-bit limbs (two
// per word, low half first) so that the big integer's limb operations apply. Every conversion
// rounds to nearest, ties to even: when k >= 1 low bits of an exact significand are dropped, the
// round bit is bit k - 1, the sticky condition is "some bit below k - 1 is set (or was dropped
// earlier)", and the kept value is incremented when the round bit is set and either the sticky
// condition holds or the kept value is odd.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "bignum/bigint.h"
#include "tvlr.h"

namespace tvl::flt {

inline constexpr std::uint32_t kMaxPrecision = TVL_FLOAT_MAX_PRECISION;
inline constexpr std::int64_t kExpZero = TVL_FLOAT_EXP_ZERO;
inline constexpr std::int64_t kExpNan = TVL_FLOAT_EXP_NAN;
inline constexpr std::int64_t kExpInf = TVL_FLOAT_EXP_INF;

// ---------------------------------------------------------------------------------------
// Record checks
// ---------------------------------------------------------------------------------------

constexpr bool valid_precision(std::uint32_t precision) {
    return precision >= 1 && precision <= kMaxPrecision;
}

// Words and limbs that `bits` significand bits occupy.
constexpr std::uint32_t words_for(std::uint32_t bits) {
    return (bits + 63) / 64;
}
constexpr std::uint32_t limbs_for(std::uint32_t bits) {
    return (bits + 31) / 32;
}

// True for the three class markers: exponents that do not describe a regular number.
constexpr bool is_marker(std::int64_t exponent) {
    return exponent == kExpZero || exponent == kExpNan || exponent == kExpInf;
}

// True when the record's fields can be trusted: a precision of 1..32768 and a buffer of at
// least ceil(precision / 64) words. A null record is not usable.
inline bool usable(const tvl_float *f) {
    return f != nullptr && valid_precision(f->precision) && f->words != nullptr &&
           f->word_count >= words_for(f->precision);
}

// ---------------------------------------------------------------------------------------
// Significand words and limbs
// ---------------------------------------------------------------------------------------

// out := the low out.size() limbs of the words (limbs beyond the words read as zero).
void words_to_limbs(const std::uint64_t *words, std::size_t count, LimbSpan out);

// words[0..count) := the limbs shifted left by `shift` bits; bits that land at or beyond
// 64 * count are dropped. Every word is written.
void limbs_to_words(ConstLimbSpan limbs, std::uint64_t shift, std::uint64_t *words,
                    std::size_t count);

// Sets the class and sign of a usable record; zero also clears the words.
void set_class(tvl_float *f, std::int64_t marker, bool negative);

// ---------------------------------------------------------------------------------------
// The rounding step
// ---------------------------------------------------------------------------------------

// x := x / 2^k rounded to nearest, ties to even (k >= 1); `sticky` says that nonzero bits were
// already dropped below bit 0 of x. x keeps its size: a carry that lengthens the value must
// find room in x (true whenever x has a limb or a bit to spare above the kept bits).
void round_shift_right(LimbSpan x, std::uint64_t k, bool sticky);

// Stores (-1)^negative * m * 2^(top - bitlen(m)) into the usable record f, rounded to its
// precision: the value lies in [2^(top - 1), 2^top), so `top` becomes the exponent unless the
// rounding carries. m is nonzero and serves as work space; `sticky` (nonzero bits dropped below
// m) is allowed only when m has more bits than the precision. An exponent beyond the 64-bit
// range gives infinity; one that would collide with a class marker gives zero.
void store_rounded(tvl_float *f, bool negative, LimbSpan m, std::int64_t top, bool sticky);

// ---------------------------------------------------------------------------------------
// Text to float
// ---------------------------------------------------------------------------------------

// f := the number text (base 10 or 16) rounded to f's precision, as tvl_float_from_str; the
// text ends at the end of the view or at a NUL, whichever comes first.
bool float_from_text(tvl_float *f, std::string_view text, std::uint32_t base);

// *out := the binary64 bit pattern of the NUL-terminated number text in base 10 or 16. False,
// with *out +0.0, for a null text, another base, malformed text or memory exhaustion.
bool text_to_binary64(const char *text, std::uint32_t base, std::uint64_t *out);

// The two routes behind text_to_binary64, selectable for tests that compare them:
// the fast paths decide most texts without big integers and return false when they cannot
// (the caller then takes the exact path); the exact path divides big integers.
bool text_to_binary64_fast(std::string_view text, std::uint32_t base, std::uint64_t *out);
void text_to_binary64_exact(std::string_view text, std::uint32_t base, std::uint64_t *out);

// Binary64 nearest to w * 10^q by the 128-bit power-of-five product (w != 0); false when the
// truncated product lies too close to a rounding boundary to decide.
bool binary64_from_decimal(std::uint64_t w, std::int64_t q, std::uint64_t *out);

// The power-of-five table of the fast path: for kPow5Min <= q <= kPow5Max, hi:lo is the 128-bit
// value floor(5^q * 2^(127 - floor(log2 5^q))), i.e. 5^q with its top bit at bit 127, truncated.
inline constexpr int kPow5Min = -342;
inline constexpr int kPow5Max = 308;
struct Pow5 {
    std::uint64_t hi;
    std::uint64_t lo;
};
Pow5 pow5_128(int q);

}  // namespace tvl::flt
