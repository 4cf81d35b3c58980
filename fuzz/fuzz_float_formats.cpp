// libFuzzer target: the big float's interchange formats. The first byte picks a format, the next
// ones its parameters, the rest is the encoding (zero-padded). Checked:
//  - binary16..256 and other IEEE layouts: decoding at the format's precision and encoding again
//    gives the same bits (a NaN gives the positive quiet NaN); binary64 and binary32 values
//    narrowed to binary32 agree with the compiler's conversion;
//  - decimal16..256: decoding at a precision that holds every coefficient, encoding and decoding
//    again gives the same value, and that encoding is a fixed point (decimal256 exponents are
//    kept within 10^+-2048);
//  - fixed point of 16..256 bits: decoding and encoding give the same integer; at a precision p
//    below the width the 64-bit forms give the integer rounded to p bits (ties to even).
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "tvlr.h"

namespace {

struct FloatFree {
    void operator()(tvl_float *f) const { tvl_float_free(f); }
};
using Float = std::unique_ptr<tvl_float, FloatFree>;

Float make(uint32_t precision) {
    Float f(tvl_float_alloc(precision));
    if (!f) std::abort();
    return f;
}

[[noreturn]] void fail(const char *what, unsigned format, unsigned param) {
    std::fprintf(stderr, "%s (format %u, parameter %u)\n", what, format, param);
    std::abort();
}

bool same(const tvl_float *a, const tvl_float *b) {
    if (a->exponent != b->exponent) return false;
    if (a->exponent == TVL_FLOAT_EXP_NAN) return true;
    if (a->sign != b->sign) return false;
    if (a->exponent == TVL_FLOAT_EXP_ZERO || a->exponent == TVL_FLOAT_EXP_INF) return true;
    return std::memcmp(a->words, b->words, (a->precision + 63) / 64 * sizeof(uint64_t)) == 0;
}

// Bit i of an encoding in 32-bit words, least significant first.
bool bit(const uint32_t *w, uint32_t i) {
    return (w[i / 32] >> (i % 32)) & 1;
}

// An IEEE layout (e, m, bias) over `words`: decoded at m + 1 bits and encoded again it must give
// the same 1 + e + m bits, or the positive quiet NaN for a NaN.
void check_ieee(const uint32_t *in, uint32_t e, uint32_t m, int32_t bias, unsigned format) {
    const uint32_t total = 1 + e + m, n = (total + 31) / 32;
    uint32_t out[16] = {};
    Float f = make(m + 1);
    if (!tvl_float_from_ieee_bin(f.get(), e, m, bias, in)) std::abort();
    tvl_float_to_ieee_bin(f.get(), e, m, bias, out, n);
    bool all_ones = true, fraction = false;
    for (uint32_t i = m; i < m + e; ++i) all_ones = all_ones && bit(in, i);
    for (uint32_t i = 0; i < m; ++i) fraction = fraction || bit(in, i);
    for (uint32_t i = 0; i < n * 32; ++i) {
        const bool want = i >= total             ? false
                          : all_ones && fraction ? (i >= m - 1 && i < m + e)  // quiet NaN, sign +
                                                 : bit(in, i);
        if (bit(out, i) != want) fail("binary layout does not round trip", format, m);
    }
}

// decimal<Bits>: the value survives encoding, and the encoding is a fixed point.
template <unsigned Bits>
void check_decimal(const uint8_t *bytes, unsigned format) {
    constexpr uint32_t digits = Bits == 16    ? 2
                                : Bits == 32  ? 7
                                : Bits == 64  ? 16
                                : Bits == 128 ? 34
                                              : 70;
    constexpr uint32_t precision = digits * 4 + 8;  // 10^digits < 2^(precision - 1)
    Float f = make(precision), g = make(precision);
    auto decode = [](tvl_float *x, const uint32_t *w) {
        bool ok;
        if constexpr (Bits == 16)
            ok = tvl_float_from_dec16(x, static_cast<uint16_t>(w[0]));
        else if constexpr (Bits == 32)
            ok = tvl_float_from_dec32(x, w[0]);
        else if constexpr (Bits == 64)
            ok = tvl_float_from_dec64(x, w[0] | uint64_t{w[1]} << 32);
        else if constexpr (Bits == 128)
            ok = tvl_float_from_dec128(x, w);
        else
            ok = tvl_float_from_dec256(x, w);
        if (!ok) std::abort();
    };
    auto encode = [](const tvl_float *x, uint32_t *w) {
        if constexpr (Bits == 16) {
            uint16_t v = 0;
            tvl_float_to_dec16(x, &v);
            w[0] = v;
        } else if constexpr (Bits == 32) {
            tvl_float_to_dec32(x, w);
        } else if constexpr (Bits == 64) {
            uint64_t v = 0;
            tvl_float_to_dec64(x, &v);
            w[0] = static_cast<uint32_t>(v);
            w[1] = static_cast<uint32_t>(v >> 32);
        } else if constexpr (Bits == 128) {
            tvl_float_to_dec128(x, w);
        } else {
            tvl_float_to_dec256(x, w);
        }
    };
    uint32_t in[8] = {}, once[8] = {}, twice[8] = {};
    std::memcpy(in, bytes, Bits / 8);
    if constexpr (Bits == 256) {
        // Powers of ten up to 10^611867 take seconds each to expand exactly; finite values keep
        // their exponent field (bits 235..254) within 2048 of the bias, so that the runs go on.
        const uint32_t field = (in[7] >> 11) & 0xFFFFF;
        if (field != 0xFFFFF)
            in[7] = (in[7] & 0x800007FF) | static_cast<uint32_t>(611867 - 2048 + field % 4096)
                                               << 11;
    }
    decode(f.get(), in);
    encode(f.get(), once);
    decode(g.get(), once);
    if (!same(f.get(), g.get())) fail("decimal value does not survive encoding", format, Bits);
    encode(g.get(), twice);
    if (std::memcmp(once, twice, sizeof once) != 0)
        fail("decimal encoding is no fixed point", format, Bits);
}

// x rounded to p significant bits, ties to even (p >= 1), as a 64-bit two's-complement pattern.
uint64_t round_to_bits(int64_t x, uint32_t p) {
    const bool negative = x < 0;
    uint64_t mag = negative ? 0 - static_cast<uint64_t>(x) : static_cast<uint64_t>(x);
    const uint32_t len = static_cast<uint32_t>(std::bit_width(mag));
    if (len > p) {
        const uint32_t drop = len - p;
        const uint64_t half = uint64_t{1} << (drop - 1);
        const uint64_t rest = mag & ((half << 1) - 1);
        mag >>= drop;
        if (rest > half || (rest == half && (mag & 1))) ++mag;
        mag <<= drop;  // at most 2^63, so no bit is lost
    }
    return negative ? 0 - mag : mag;
}

// fix<Bits> with F fraction bits: exact at Bits bits of precision, rounded below that.
template <class Int>
void check_fixed_native(Int x, uint32_t fraction, uint32_t p, unsigned format) {
    constexpr uint32_t bits = sizeof(Int) * 8;
    for (uint32_t precision : {bits, p}) {
        Float f = make(precision);
        bool ok;
        Int back;
        if constexpr (bits == 16) {
            ok = tvl_float_from_fix16(f.get(), x, static_cast<int32_t>(fraction));
            back = tvl_float_to_fix16(f.get(), fraction);
        } else if constexpr (bits == 32) {
            ok = tvl_float_from_fix32(f.get(), x, static_cast<int32_t>(fraction));
            back = tvl_float_to_fix32(f.get(), fraction);
        } else {
            ok = tvl_float_from_fix64(f.get(), x, static_cast<int32_t>(fraction));
            back = tvl_float_to_fix64(f.get(), fraction);
        }
        if (!ok) std::abort();
        const Int want = static_cast<Int>(round_to_bits(x, precision));  // wraps like the format
        if (back != want) fail("fixed point does not round trip", format, precision);
    }
}

template <unsigned Bits>
void check_fixed_words(const uint8_t *bytes, uint32_t fraction, unsigned format) {
    uint32_t in[8] = {}, out[8] = {};
    std::memcpy(in, bytes, Bits / 8);
    Float f = make(Bits);
    const bool ok = Bits == 128
                        ? tvl_float_from_fix128(f.get(), in, static_cast<int32_t>(fraction))
                        : tvl_float_from_fix256(f.get(), in, static_cast<int32_t>(fraction));
    if (!ok) std::abort();
    if (Bits == 128)
        tvl_float_to_fix128(f.get(), fraction, out);
    else
        tvl_float_to_fix256(f.get(), fraction, out);
    if (std::memcmp(in, out, sizeof in) != 0)
        fail("wide fixed point does not round trip", format, fraction);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3) return 0;
    const unsigned format = data[0] % 17u;
    const uint8_t p1 = data[1], p2 = data[2];
    uint8_t bytes[64] = {};
    std::memcpy(bytes, data + 3, size - 3 < sizeof bytes ? size - 3 : sizeof bytes);
    uint32_t words[16];
    std::memcpy(words, bytes, sizeof words);
    switch (format) {
        case 0:
            check_ieee(words, 5, 10, 15, format);
            break;
        case 1:
            check_ieee(words, 8, 23, 127, format);
            break;
        case 2:
            check_ieee(words, 11, 52, 1023, format);
            break;
        case 3:
            check_ieee(words, 15, 112, 16383, format);
            break;
        case 4:
            check_ieee(words, 19, 236, 262143, format);
            break;
        case 5: {  // any layout up to 512 bits, bias near the usual one
            const uint32_t e = 2 + p1 % 16u, m = 1 + (p2 + 256u * (p1 >> 4)) % 480u;
            const int32_t bias = (1 << (e - 1)) - 1 + (static_cast<int32_t>(p2 % 8u) - 4);
            check_ieee(words, e, m, bias, format);
            break;
        }
        case 6: {  // binary64 to binary32 as the compiler narrows it
            Float f = make(53);
            uint64_t in64 = 0;
            std::memcpy(&in64, bytes, 8);
            uint32_t out = 0;
            if (!tvl_float_from_bin64(f.get(), in64)) std::abort();
            tvl_float_to_bin32(f.get(), &out);
            const float want = static_cast<float>(std::bit_cast<double>(in64));
            if (std::isnan(want) ? !std::isnan(std::bit_cast<float>(out))
                                 : out != std::bit_cast<uint32_t>(want))
                fail("binary64 to binary32 differs from the compiler", format, 0);
            break;
        }
        case 7:
            check_decimal<16>(bytes, format);
            break;
        case 8:
            check_decimal<32>(bytes, format);
            break;
        case 9:
            check_decimal<64>(bytes, format);
            break;
        case 10:
            check_decimal<128>(bytes, format);
            break;
        case 11:
            check_decimal<256>(bytes, format);
            break;
        case 12: {
            int16_t x;
            std::memcpy(&x, bytes, sizeof x);
            check_fixed_native<int16_t>(x, p1 % 24u, 1 + p2 % 16u, format);
            break;
        }
        case 13: {
            int32_t x;
            std::memcpy(&x, bytes, sizeof x);
            check_fixed_native<int32_t>(x, p1 % 40u, 1 + p2 % 32u, format);
            break;
        }
        case 14: {
            int64_t x;
            std::memcpy(&x, bytes, sizeof x);
            check_fixed_native<int64_t>(x, p1 % 72u, 1 + p2 % 64u, format);
            break;
        }
        case 15:
            check_fixed_words<128>(bytes, p1 % 136u, format);
            break;
        default:
            check_fixed_words<256>(bytes, p1, format);
            break;
    }
    return 0;
}
