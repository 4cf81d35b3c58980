// IEEE binary layouts: an exponent width e, a fraction width m and a bias. An encoding is an
// array of 32-bit words, least significant first (bit i is bit i % 32 of word i / 32), with the
// fraction in bits 0..m-1, the biased exponent in bits m..m+e-1 and the sign in bit m+e.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tvlr.h"

namespace tvl::flt {

struct Layout {
    std::uint32_t e;
    std::uint32_t m;
    std::int32_t bias;

    // Bits of an encoding, and the words that hold them.
    constexpr std::uint64_t bits() const { return std::uint64_t{1} + e + m; }
    constexpr std::size_t words() const { return static_cast<std::size_t>((bits() + 31) / 32); }
    // The all-ones exponent field of infinities and NaNs.
    constexpr std::int64_t max_field() const { return (std::int64_t{1} << e) - 1; }
    constexpr std::uint64_t sign_bit() const { return std::uint64_t{e} + m; }
};

inline constexpr Layout kBinary16{5, 10, 15};
inline constexpr Layout kBinary32{8, 23, 127};
inline constexpr Layout kBinary64{11, 52, 1023};
inline constexpr Layout kBinary128{15, 112, 16383};
inline constexpr Layout kBinary256{19, 236, 262143};

// True for a layout the encoders can take into n words: the exponent field fits one 32-bit
// put (and 2^e - 1 a signed 32-bit number), the fraction has at least one bit (the quiet NaN
// bit) and fewer bits than a big float's widest significand, and n words hold the encoding.
constexpr bool layout_ok(const Layout &lay, std::size_t n) {
    return lay.e >= 1 && lay.e <= 30 && lay.m >= 1 && lay.m < TVL_FLOAT_MAX_PRECISION &&
           n >= lay.words();
}

// Sets bits [pos, pos + width) of out to the low `width` bits of value (width <= 32); the bits
// were zero.
inline void put_bits(std::uint32_t *out, std::uint64_t pos, std::uint64_t value,
                     std::uint32_t width) {
    value &= (std::uint64_t{1} << width) - 1;
    const std::uint64_t word = pos / 32;
    const auto off = static_cast<std::uint32_t>(pos % 32);
    const std::uint64_t shifted = value << off;
    out[word] |= static_cast<std::uint32_t>(shifted);
    if (off + width > 32) out[word + 1] |= static_cast<std::uint32_t>(shifted >> 32);
}

// Bits [pos, pos + width) of in (width <= 32).
inline std::uint32_t get_bits(const std::uint32_t *in, std::uint64_t pos, std::uint32_t width) {
    const std::uint64_t word = pos / 32;
    const auto off = static_cast<std::uint32_t>(pos % 32);
    std::uint64_t v = in[word] >> off;
    if (off + width > 32) v |= std::uint64_t{in[word + 1]} << (32 - off);
    return static_cast<std::uint32_t>(v & ((std::uint64_t{1} << width) - 1));
}

enum class Special { zero, infinity, nan };

// Writes a signed zero, an infinity or the quiet NaN (top fraction bit) into the zeroed output.
inline void encode_special(Special kind, bool negative, const Layout &lay, std::uint32_t *out) {
    if (kind != Special::zero)
        put_bits(out, lay.m, static_cast<std::uint64_t>(lay.max_field()), lay.e);
    if (kind == Special::nan) put_bits(out, lay.m - 1, 1, 1);
    if (negative) put_bits(out, lay.sign_bit(), 1, 1);
}

}  // namespace tvl::flt
