// Big floats to and from the IEEE binary interchange formats: binary16 ... binary256, any other
// layout (e, m, bias), and native doubles and floats. One encoder and one decoder serve every
// layout; the exported functions instantiate them.
//
// Encoding. A regular record is sign * M * 2^(x - P). With L the bit length of M (L = P for a
// normalised record) and top = x - (P - L), the value lies in [2^(top - 1), 2^top), so it is
// 1.f * 2^(top - 1) and its biased exponent is B = top - 1 + bias. A normal encoding keeps the
// m + 1 top bits of M: c = L - (m + 1) bits are dropped with rounding (c < 0: M is exact and
// gets -c zero bits appended). Below the normal range (B <= 0) the unit in the last place stays
// that of B = 1, so 1 - B more bits go and the exponent field is 0. Rounding can carry M to
// m + 2 bits (the next binade: halve M, B + 1, perhaps infinity), or carry a subnormal to
// m + 1 bits, which is exactly the smallest normal number (field 1, fraction 0). Every step is
// done in 64-bit arithmetic with checked overflow, so exponents near +-2^63 saturate to
// infinity or a signed zero.
//
// Decoding. A field E != 0 gives N = 2^m + F with value N * 2^(E - bias - m); E = 0 gives
// the subnormal N = F with value N * 2^(1 - bias - m). N has at most m + 1 bits and is stored
// rounded to the record's precision.
#include <bit>
#include <cstring>
#include <type_traits>

#include "base/alloc.h"
#include "bignum/bigint.h"
#include "bignum/float_core.h"
#include "bignum/ieee_layout.h"

namespace tvl::flt {

namespace {

// Bit length of the significand M of a usable record (bits at and above P are not part of it).
std::uint32_t significand_length(const tvl_float *f) {
    const std::uint32_t p = f->precision;
    for (std::uint32_t w = words_for(p); w-- > 0;) {
        std::uint64_t v = f->words[w];
        if (w == p / 64) v &= (std::uint64_t{1} << (p % 64)) - 1;  // only when p % 64 != 0
        if (v != 0) return w * 64 + static_cast<std::uint32_t>(std::bit_width(v));
    }
    return 0;
}

// Writes bits [0, m) of M * 2^shift into the fraction field; the implicit bit m is left out.
void put_fraction(ConstLimbSpan mm, std::uint64_t shift, const Layout &lay, std::uint32_t *out) {
    for (std::size_t i = 0; i < mm.size(); ++i) {
        const std::uint64_t pos = shift + std::uint64_t{i} * kLimbBits;
        if (pos >= lay.m) break;
        const std::uint64_t room = lay.m - pos;
        put_bits(out, pos, mm[i], room < kLimbBits ? static_cast<std::uint32_t>(room) : kLimbBits);
    }
}

// Encodes a usable record into the zeroed output of at least lay.words() words. False when
// scratch memory cannot be had; the output then holds the sign bit alone.
bool encode(const tvl_float *f, const Layout &lay, std::uint32_t *out) {
    const bool negative = f->sign < 0;
    switch (f->exponent) {
        case kExpNan:
            encode_special(Special::nan, negative, lay, out);
            return true;
        case kExpInf:
            encode_special(Special::infinity, negative, lay, out);
            return true;
        case kExpZero:
            encode_special(Special::zero, negative, lay, out);
            return true;
        default:
            break;
    }
    if (negative) put_bits(out, lay.sign_bit(), 1, 1);
    const auto infinity = [&] {
        put_bits(out, lay.m, static_cast<std::uint64_t>(lay.max_field()), lay.e);
        return true;
    };
    const std::uint32_t len = significand_length(f);
    if (len == 0) return true;  // a regular record without significand bits is a zero

    std::int64_t top = 0;
    std::int64_t field = 0;
    if (__builtin_sub_overflow(f->exponent, std::int64_t{f->precision - len}, &top)) return true;
    if (__builtin_add_overflow(top, std::int64_t{lay.bias} - 1, &field)) {
        return top > 0 ? infinity() : true;
    }
    if (field >= lay.max_field()) return infinity();
    std::int64_t c = std::int64_t{len} - lay.m - 1;
    if (field <= 0) {
        // Far below the subnormals (beyond every bit of M) the result is a signed zero; the
        // bound keeps 1 - field small enough to add.
        if (field < -std::int64_t{kMaxBits}) return true;
        c += 1 - field;
        field = 0;
    }
    // The round bit, bit c - 1, above the top bit of M: less than half the smallest subnormal.
    if (c > std::int64_t{len}) return true;

    // M with one spare limb for the carry of the rounding.
    ScratchLimbs buf;
    if (!buf.reserve_zeroed(limbs_for(len) + 1)) return false;
    const LimbSpan mm = buf.span();
    words_to_limbs(f->words, words_for(f->precision), mm.first(limbs_for(len)));
    if (len % kLimbBits != 0) mm[len / kLimbBits] &= (Limb{1} << (len % kLimbBits)) - 1;
    std::uint64_t shift = 0;
    if (c > 0) {
        round_shift_right(mm, static_cast<std::uint64_t>(c), false);
    } else {
        shift = static_cast<std::uint64_t>(-c);
    }
    const std::uint64_t kept = bit_length(mm) + shift;  // bits of the rounded M * 2^shift
    if (kept > std::uint64_t{lay.m} + 1) {
        shift_right(mm, mm, 1);
        ++field;
    } else if (kept == std::uint64_t{lay.m} + 1 && field == 0) {
        field = 1;
    }
    if (field >= lay.max_field()) return infinity();
    put_fraction(mm, shift, lay, out);
    if (field > 0) put_bits(out, lay.m, static_cast<std::uint64_t>(field), lay.e);
    return true;
}

// f := the encoding in `in` (lay.words() words) rounded to f's precision; false when scratch
// memory cannot be had.
bool decode(tvl_float *f, const Layout &lay, const std::uint32_t *in) {
    const bool negative = get_bits(in, lay.sign_bit(), 1) != 0;
    const std::int64_t field = get_bits(in, lay.m, lay.e);
    const auto width = [&](std::uint32_t i) {
        return lay.m - i < kLimbBits ? lay.m - i : kLimbBits;
    };
    bool fraction_zero = true;
    for (std::uint32_t i = 0; i < lay.m && fraction_zero; i += kLimbBits) {
        fraction_zero = get_bits(in, i, width(i)) == 0;
    }
    if (field == lay.max_field()) {
        if (fraction_zero) {
            set_class(f, kExpInf, negative);
        } else {
            set_class(f, kExpNan, false);
        }
        return true;
    }
    if (field == 0 && fraction_zero) {
        set_class(f, kExpZero, negative);
        return true;
    }
    // N with one spare limb, which store_rounded needs for the carry of its rounding.
    ScratchLimbs buf;
    if (!buf.reserve_zeroed(limbs_for(lay.m + 1) + 1)) return false;
    const LimbSpan n = buf.span();
    for (std::uint32_t i = 0; i < lay.m; i += kLimbBits)
        n[i / kLimbBits] = get_bits(in, i, width(i));
    if (field != 0) n[lay.m / kLimbBits] |= Limb{1} << (lay.m % kLimbBits);
    const std::int64_t unit = (field != 0 ? field : 1) - std::int64_t{lay.bias} - lay.m;
    store_rounded(f, negative, n, std::int64_t{bit_length(n)} + unit, false);
    return true;
}

// The native unsigned type of a 16-, 32- or 64-bit encoding.
template <std::uint64_t Bits>
using NativeBits = std::conditional_t<Bits == 16, std::uint16_t,
                                      std::conditional_t<Bits == 32, std::uint32_t, std::uint64_t>>;

template <const Layout &Lay>
void to_words(const tvl_float *f, std::uint32_t *out) {
    if (out == nullptr) return;
    std::memset(out, 0, Lay.words() * sizeof(std::uint32_t));
    if (usable(f)) encode(f, Lay, out);
}

template <const Layout &Lay>
void to_native(const tvl_float *f, NativeBits<Lay.bits()> *out) {
    if (out == nullptr) return;
    std::uint32_t w[2] = {0, 0};
    if (usable(f)) encode(f, Lay, w);
    *out = static_cast<NativeBits<Lay.bits()>>(w[0] | (std::uint64_t{w[1]} << 32));
}

template <const Layout &Lay>
bool from_words(tvl_float *f, const std::uint32_t *words) {
    return usable(f) && words != nullptr && decode(f, Lay, words);
}

template <const Layout &Lay>
bool from_native(tvl_float *f, std::uint64_t bits) {
    const std::uint32_t w[2] = {static_cast<std::uint32_t>(bits),
                                static_cast<std::uint32_t>(bits >> 32)};
    return from_words<Lay>(f, w);
}

}  // namespace

}  // namespace tvl::flt

using namespace tvl::flt;

extern "C" {

void tvl_float_to_bin16(const tvl_float *f, uint16_t *out) {
    to_native<kBinary16>(f, out);
}
void tvl_float_to_bin32(const tvl_float *f, uint32_t *out) {
    to_native<kBinary32>(f, out);
}
void tvl_float_to_bin64(const tvl_float *f, uint64_t *out) {
    to_native<kBinary64>(f, out);
}
void tvl_float_to_bin128(const tvl_float *f, uint32_t *out) {
    to_words<kBinary128>(f, out);
}
void tvl_float_to_bin256(const tvl_float *f, uint32_t *out) {
    to_words<kBinary256>(f, out);
}

void tvl_float_to_ieee_bin(const tvl_float *f, uint32_t e, uint32_t m, int32_t bias, uint32_t *out,
                           size_t n) {
    if (out == nullptr) return;
    std::memset(out, 0, n * sizeof(uint32_t));
    const Layout lay{e, m, bias};
    if (usable(f) && layout_ok(lay, n)) encode(f, lay, out);
}

bool tvl_float_to_double(const tvl_float *f, double *out) {
    if (!usable(f) || out == nullptr) return false;
    std::uint32_t w[2] = {0, 0};
    const bool ok = encode(f, kBinary64, w);
    *out = std::bit_cast<double>(w[0] | (std::uint64_t{w[1]} << 32));
    return ok;
}

bool tvl_float_to_float(const tvl_float *f, float *out) {
    if (!usable(f) || out == nullptr) return false;
    if (is_marker(f->exponent)) {
        std::uint32_t w = 0;
        encode(f, kBinary32, &w);
        *out = std::bit_cast<float>(w);
        return true;
    }
    // A regular value goes through the nearest double; the platform rounds that to float.
    double d = 0;
    const bool ok = tvl_float_to_double(f, &d);
    *out = static_cast<float>(d);
    return ok;
}

bool tvl_float_from_bin16(tvl_float *f, uint16_t bits) {
    return from_native<kBinary16>(f, bits);
}
bool tvl_float_from_bin32(tvl_float *f, uint32_t bits) {
    return from_native<kBinary32>(f, bits);
}
bool tvl_float_from_bin64(tvl_float *f, uint64_t bits) {
    return from_native<kBinary64>(f, bits);
}
bool tvl_float_from_bin128(tvl_float *f, const uint32_t *words) {
    return from_words<kBinary128>(f, words);
}
bool tvl_float_from_bin256(tvl_float *f, const uint32_t *words) {
    return from_words<kBinary256>(f, words);
}

bool tvl_float_from_ieee_bin(tvl_float *f, uint32_t e, uint32_t m, int32_t bias,
                             const uint32_t *words) {
    const Layout lay{e, m, bias};
    return usable(f) && words != nullptr && layout_ok(lay, lay.words()) && decode(f, lay, words);
}

}  // extern "C"
