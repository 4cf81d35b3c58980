// Big floats to and from binary fixed point: w-bit two's-complement integers X that mean
// X / 2^F, for w = 16, 32, 64, 128 and 256. One implementation serves every width; the exported
// functions instantiate it.
//
// To fixed point. A regular record is sign * M * 2^(x - P), so |value| * 2^F = M * 2^d with
// d = x + F - P. Only the low w bits of the rounded M * 2^d are kept, and those are read
// straight from the record's words: bit j of the result is bit j - d of M. For d < 0 the bits
// below -d decide the rounding (round bit -d - 1, sticky below it) and the increment is taken
// modulo 2^w; the sign is applied by negating modulo 2^w. Nothing is allocated.
//
// From fixed point. The magnitude |X| (up to 2^(w - 1), for the most negative X) has n bits,
// so the value lies in [2^(n - 1 - F), 2^(n - F)) and is stored rounded to the record's
// precision with exponent n - F.
#include <array>
#include <cstring>
#include <limits>

#include "bignum/bigint.h"
#include "bignum/float_core.h"

namespace tvl::flt {

namespace {

__extension__ typedef __int128 I128;

template <std::size_t W>
struct FixedFormat {
    static constexpr std::size_t kLimbs = (W + kLimbBits - 1) / kLimbBits;
    using Limbs = std::array<Limb, kLimbs>;

    // Keeps the low W bits.
    static void wrap(Limbs &x) {
        if constexpr (W % kLimbBits != 0) x[kLimbs - 1] &= (Limb{1} << (W % kLimbBits)) - 1;
    }
    static bool top_bit(const Limbs &x) {
        return ((x[kLimbs - 1] >> ((W - 1) % kLimbBits)) & 1u) != 0;
    }
    // x := -x modulo 2^W.
    static void negate(Limbs &x) {
        for (Limb &l : x) l = ~l;
        add_small(x, 1);
        wrap(x);
    }
};

// Word w of the significand M of a usable record (bits at and above P read as zero).
std::uint64_t significand_word(const tvl_float *f, std::uint64_t w) {
    const std::uint32_t p = f->precision;
    if (w >= words_for(p)) return 0;
    const std::uint64_t v = f->words[w];
    return w == p / 64 ? v & ((std::uint64_t{1} << (p % 64)) - 1) : v;
}

// Bits [pos, pos + 32) of M; positions below 0 read as zero.
Limb significand_bits(const tvl_float *f, std::int64_t pos) {
    if (pos <= -std::int64_t{kLimbBits}) return 0;
    if (pos < 0) return significand_bits(f, 0) << -pos;
    const auto w = static_cast<std::uint64_t>(pos) / 64;
    const auto off = static_cast<std::uint32_t>(pos % 64);
    std::uint64_t v = significand_word(f, w) >> off;
    if (off > 32) v |= significand_word(f, w + 1) << (64 - off);
    return static_cast<Limb>(v);
}

// True when some bit of M below bit i (i >= 0) is set.
bool significand_any_below(const tvl_float *f, std::uint64_t i) {
    for (std::uint64_t w = 0; w < i / 64; ++w) {
        if (significand_word(f, w) != 0) return true;
    }
    const auto part = static_cast<std::uint32_t>(i % 64);
    return part != 0 && (significand_word(f, i / 64) & ((std::uint64_t{1} << part) - 1)) != 0;
}

// The low W bits of f * 2^F rounded to an integer, in two's complement; 0 for special values,
// unusable records and shifts beyond the big integer's limit.
template <std::size_t W>
typename FixedFormat<W>::Limbs to_fixed(const tvl_float *f, std::uint32_t fraction_bits) {
    using Format = FixedFormat<W>;
    typename Format::Limbs r{};
    if (!usable(f) || is_marker(f->exponent)) return r;
    const std::int64_t p = f->precision;
    // In 128 bits: the exponent may lie near +-2^63.
    const I128 d = I128{f->exponent} + fraction_bits - p;
    if (d >= 0) {
        // Shifts are limited as a big integer's are: M * 2^d of more than 1024 limbs, or d above
        // 2^31 - 1, gives 0 even where its low bits could be told.
        if (d > std::numeric_limits<std::int32_t>::max() || d + p > kMaxBits) return r;
        for (std::size_t i = 0; i < Format::kLimbs; ++i) {
            r[i] = significand_bits(
                f, static_cast<std::int64_t>(i * kLimbBits) - static_cast<std::int64_t>(d));
        }
    } else {
        // Dropping more bits than M has leaves less than a half: 0.
        if (-d > p) return r;
        const auto k = static_cast<std::int64_t>(-d);
        for (std::size_t i = 0; i < Format::kLimbs; ++i) {
            r[i] = significand_bits(f, k + static_cast<std::int64_t>(i * kLimbBits));
        }
        const bool round = (significand_bits(f, k - 1) & 1u) != 0;
        if (round &&
            ((r[0] & 1u) != 0 || significand_any_below(f, static_cast<std::uint64_t>(k - 1)))) {
            add_small(r, 1);  // a carry out of the top is lost with the other high bits
        }
    }
    Format::wrap(r);
    if (f->sign < 0) Format::negate(r);
    return r;
}

// f := x / 2^F for the W-bit two's-complement x, rounded to f's precision.
template <std::size_t W>
bool from_fixed(tvl_float *f, typename FixedFormat<W>::Limbs x, std::int32_t fraction_bits) {
    using Format = FixedFormat<W>;
    if (!usable(f)) return false;
    const bool negative = Format::top_bit(x);
    if (negative) Format::negate(x);  // -2^(W-1) gives its magnitude 2^(W-1)
    // The magnitude with one spare limb for the carry of the rounding.
    std::array<Limb, Format::kLimbs + 1> n{};
    std::memcpy(n.data(), x.data(), sizeof x);
    const std::uint32_t len = bit_length(n);
    if (len == 0) {
        set_class(f, kExpZero, false);
        return true;
    }
    store_rounded(f, negative, n, std::int64_t{len} - fraction_bits, false);
    return true;
}

template <class Int>
Int to_integer(const tvl_float *f, std::uint32_t fraction_bits) {
    const auto r = to_fixed<sizeof(Int) * 8>(f, fraction_bits);
    std::uint64_t v = r[0];
    if constexpr (r.size() > 1) v |= std::uint64_t{r[1]} << 32;
    return static_cast<Int>(v);  // modulo 2^w
}

template <std::size_t W>
void to_words(const tvl_float *f, std::uint32_t fraction_bits, std::uint32_t *out) {
    if (f == nullptr || out == nullptr) return;
    const auto r = to_fixed<W>(f, fraction_bits);
    std::memcpy(out, r.data(), sizeof r);
}

template <class Int>
bool from_integer(tvl_float *f, Int x, std::int32_t fraction_bits) {
    constexpr std::size_t kW = sizeof(Int) * 8;
    const auto u = static_cast<std::uint64_t>(x);
    typename FixedFormat<kW>::Limbs limbs{};
    limbs[0] = static_cast<Limb>(u);
    if constexpr (limbs.size() > 1) limbs[1] = static_cast<Limb>(u >> 32);
    FixedFormat<kW>::wrap(limbs);
    return from_fixed<kW>(f, limbs, fraction_bits);
}

template <std::size_t W>
bool from_words(tvl_float *f, const std::uint32_t *words, std::int32_t fraction_bits) {
    if (words == nullptr) return false;
    typename FixedFormat<W>::Limbs limbs{};
    std::memcpy(limbs.data(), words, sizeof limbs);
    return from_fixed<W>(f, limbs, fraction_bits);
}

}  // namespace

}  // namespace tvl::flt

using namespace tvl::flt;

extern "C" {

int16_t tvl_float_to_fix16(const tvl_float *f, uint32_t fraction_bits) {
    return to_integer<int16_t>(f, fraction_bits);
}
int32_t tvl_float_to_fix32(const tvl_float *f, uint32_t fraction_bits) {
    return to_integer<int32_t>(f, fraction_bits);
}
int64_t tvl_float_to_fix64(const tvl_float *f, uint32_t fraction_bits) {
    return to_integer<int64_t>(f, fraction_bits);
}
void tvl_float_to_fix128(const tvl_float *f, uint32_t fraction_bits, uint32_t *out) {
    to_words<128>(f, fraction_bits, out);
}
void tvl_float_to_fix256(const tvl_float *f, uint32_t fraction_bits, uint32_t *out) {
    to_words<256>(f, fraction_bits, out);
}

bool tvl_float_from_fix16(tvl_float *f, int16_t x, int32_t fraction_bits) {
    return from_integer(f, x, fraction_bits);
}
bool tvl_float_from_fix32(tvl_float *f, int32_t x, int32_t fraction_bits) {
    return from_integer(f, x, fraction_bits);
}
bool tvl_float_from_fix64(tvl_float *f, int64_t x, int32_t fraction_bits) {
    return from_integer(f, x, fraction_bits);
}
bool tvl_float_from_fix128(tvl_float *f, const uint32_t *words, int32_t fraction_bits) {
    return from_words<128>(f, words, fraction_bits);
}
bool tvl_float_from_fix256(tvl_float *f, const uint32_t *words, int32_t fraction_bits) {
    return from_words<256>(f, words, fraction_bits);
}

}  // extern "C"
