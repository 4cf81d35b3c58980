// Internal interface of the big integer: limb-level operations on spans of 32-bit limbs
// (least significant first) and the record-level helpers behind the tvl_int_* functions.
//
// The limb operations know nothing of records, signs or the limb ceiling; they work on
// whatever spans they are given and never allocate. The record helpers apply the growth
// rule and the ceiling of kMaxLimbs limbs, and they treat a record whose fields are not
// consistent (no buffer but a capacity, a length beyond the capacity or the ceiling) as
// unusable rather than trusting it.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/alloc.h"
#include "tvlr.h"

namespace tvl {

using Limb = std::uint32_t;
using LimbSpan = std::span<Limb>;
using ConstLimbSpan = std::span<const Limb>;

inline constexpr std::uint32_t kLimbBits = 32;
inline constexpr std::uint32_t kMaxLimbs = 1024;
inline constexpr std::uint32_t kMaxBits = kMaxLimbs * kLimbBits;

// ---------------------------------------------------------------------------------------
// Limb-level operations
// ---------------------------------------------------------------------------------------

// Bit length of one limb (0 for 0).
constexpr std::uint32_t limb_bit_length(Limb x) {
    return static_cast<std::uint32_t>(std::bit_width(x));
}

// Length of a without its zero top limbs.
inline std::size_t normalized_size(ConstLimbSpan a) {
    std::size_t n = a.size();
    while (n > 0 && a[n - 1] == 0) --n;
    return n;
}

// Bit length of the magnitude a (zero top limbs allowed).
std::uint32_t bit_length(ConstLimbSpan a);

// Compares two magnitudes of any lengths (zero top limbs allowed): -1, 0 or 1.
int compare(ConstLimbSpan a, ConstLimbSpan b);

// a += v; returns what is carried out of the top limb: 0 or 1, or v itself when a is empty.
Limb add_small(LimbSpan a, Limb v);

// a = a * m + add; returns the limb carried out of the top.
Limb mul_add_small(LimbSpan a, Limb m, Limb add = 0);

// a = a / d (d != 0), most significant limb first; returns the remainder.
Limb div_small(LimbSpan a, Limb d);

// a -= b over a.size() limbs (b.size() <= a.size()); returns the borrow out (0 or 1).
Limb sub(LimbSpan a, ConstLimbSpan b);

// a += b over a.size() limbs (b.size() <= a.size()); returns the carry out (0 or 1).
Limb add(LimbSpan a, ConstLimbSpan b);

// dst = src << s for 0 <= s < 32 over src.size() limbs (dst.size() >= src.size(), dst may be
// src itself); returns the bits shifted out of the top limb.
Limb shift_left(LimbSpan dst, ConstLimbSpan src, std::uint32_t s);

// dst = src >> s for 0 <= s < 32 over src.size() limbs (dst.size() >= src.size(), dst may be
// src itself); the bits shifted out at the bottom are lost.
void shift_right(LimbSpan dst, ConstLimbSpan src, std::uint32_t s);

// Long division of normalised magnitudes (Knuth's Algorithm D on base-2^32 digits).
//   u: the dividend shifted left by s bits, m + 1 limbs (the top limb may be zero); on return
//      u[0..k) holds the remainder shifted left by s bits.
//   v: the divisor shifted left by s bits, k >= 2 limbs with the top bit of v[k-1] set.
//   q: m - k + 1 limbs, receives the quotient digits.
void divide_normalized(LimbSpan u, ConstLimbSpan v, LimbSpan q);

// ---------------------------------------------------------------------------------------
// 64-bit words: the text conversion works on pairs of limbs with 128-bit intermediates.
// ---------------------------------------------------------------------------------------

using Word = std::uint64_t;
__extension__ using WideWord = unsigned __int128;

// The reciprocal of a normalised divisor d (top bit set): floor((2^128 - 1) / d) - 2^64.
constexpr Word reciprocal(Word d) {
    return static_cast<Word>(~WideWord{0} / d);
}

// (hi, lo) / d for a normalised d with its reciprocal inv and hi < d: returns the quotient
// and leaves the remainder in rem. Two multiplications instead of a hardware division
// (Moller and Granlund, "Improved division by invariant integers", 2011).
inline Word divide_2by1(Word hi, Word lo, Word d, Word inv, Word &rem) {
    const WideWord p = WideWord{inv} * hi + ((WideWord{hi} << 64) | lo);
    Word q = static_cast<Word>(p >> 64) + 1;
    Word r = lo - q * d;
    if (r > static_cast<Word>(p)) {
        --q;
        r += d;
    }
    if (r >= d) {
        ++q;
        r -= d;
    }
    rem = r;
    return q;
}

// divide_normalized on words of 32 or 64 bits (the same steps in base 2^32 or 2^64).
template <class W>
void divide_normalized_words(std::span<W> u, std::span<const W> v, std::span<W> q);
extern template void divide_normalized_words<Limb>(std::span<Limb>, std::span<const Limb>,
                                                   std::span<Limb>);
extern template void divide_normalized_words<Word>(std::span<Word>, std::span<const Word>,
                                                   std::span<Word>);

// ---------------------------------------------------------------------------------------
// Scratch limbs: a small inline area, or a checked heap block for larger sizes.
// ---------------------------------------------------------------------------------------

class ScratchLimbs : public mem::Scratch<Limb, 64> {
  public:
    // Provides n zero-filled limbs; false when the heap block cannot be had.
    bool reserve_zeroed(std::size_t n) { return reserve(n, true); }
    LimbSpan span() { return {data(), size()}; }
};

// ---------------------------------------------------------------------------------------
// Record helpers
// ---------------------------------------------------------------------------------------

// True when the record's fields can be trusted: a buffer for any capacity, a length within
// the capacity and the ceiling. A null record is not usable.
inline bool usable(const tvl_int *n) {
    return n != nullptr && (n->limbs != nullptr || n->capacity == 0) && n->length <= n->capacity &&
           n->length <= kMaxLimbs;
}

// The used limbs of a usable record.
inline LimbSpan limbs_of(tvl_int *n) {
    return {n->limbs, n->length};
}
inline ConstLimbSpan limbs_of(const tvl_int *n) {
    return {n->limbs, n->length};
}

// The used limbs of a usable record without zero top limbs.
inline ConstLimbSpan magnitude(const tvl_int *n) {
    ConstLimbSpan a = limbs_of(n);
    return a.first(normalized_size(a));
}

// Makes the buffer of a usable record hold at least `needed` limbs by the growth rule:
// owned records grow to max(needed, capacity ? 2 * capacity : 8) limbs capped at the
// ceiling, with the new limbs zero-filled. Fails beyond the ceiling, for a non-owned
// record that is too small, and when reallocation fails (the old buffer is kept).
bool reserve(tvl_int *n, std::uint32_t needed);

// Sets length to `len` (<= capacity), zero-filling the limbs added above the old length.
void extend_zeroed(tvl_int *n, std::uint32_t len);

// Drops zero top limbs; a zero value becomes positive unless keep_sign is set.
void normalize(tvl_int *n, bool keep_sign = false);

// n := the magnitude in src (zero top limbs dropped) with the given sign, zero being positive;
// applies the growth rule. src may lie in n's own buffer.
bool assign(tvl_int *n, ConstLimbSpan src, bool negative);

}  // namespace tvl
