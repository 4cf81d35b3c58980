// IEEE binary and fixed-point formats. Encodings are compared with MPFR (rounded to m + 1 bits
// inside the format's exponent range, subnormals by mpfr_subnormalize) and decodings with MPFR's
// rounding of the exact value, over seeded random values at precisions below, at and above the
// format's; the compiler's own conversions check double, float, binary128 and binary16 where it
// has them; round trips check canonical patterns. Fixed point is compared with MPFR and GMP. A
// table pins the edges the properties do not reach.
#include <gmp.h>
#include <gtest/gtest.h>
#include <mpfr.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "float_support.h"
#include "support/failing_alloc.h"
#include "tvlr.h"

namespace {

using namespace float_test;
using Words = std::vector<uint32_t>;
#if defined(__FLT16_MAX__)
__extension__ typedef _Float16 Half;
#endif
#if defined(__SIZEOF_FLOAT128__) && defined(__x86_64__)
__extension__ typedef __float128 Quad;
#endif

// The 16-, 32- and 64-bit functions as functions on 32-bit words.
template <class T, void (*Encode)(const tvl_float *, T *)>
void encode_native(const tvl_float *f, uint32_t *w) {
    T v = 1;
    Encode(f, &v);
    w[0] = uint32_t(v);
    if constexpr (sizeof v == 8) w[1] = uint32_t(uint64_t(v) >> 32);
}
template <class T, bool (*Decode)(tvl_float *, T)>
bool decode_native(tvl_float *f, const uint32_t *w) {
    T v;
    std::memcpy(&v, w, sizeof v);
    return Decode(f, v);
}

// A layout with the format's own encoder and decoder (none for the odd one).
struct Format {
    uint32_t e, m;
    int32_t bias;
    void (*encode)(const tvl_float *, uint32_t *);
    bool (*decode)(tvl_float *, const uint32_t *);
    size_t words() const { return (1 + e + m + 31) / 32; }
    int64_t min_exp() const { return 2 - bias - int64_t{m}; }  // of the smallest subnormal
    int64_t max_exp() const { return (int64_t{1} << e) - 1 - bias; }
};
const Format kFormats[] = {
    {5, 10, 15, encode_native<uint16_t, tvl_float_to_bin16>,
     decode_native<uint16_t, tvl_float_from_bin16>},
    {8, 23, 127, tvl_float_to_bin32, decode_native<uint32_t, tvl_float_from_bin32>},
    {11, 52, 1023, encode_native<uint64_t, tvl_float_to_bin64>,
     decode_native<uint64_t, tvl_float_from_bin64>},
    {15, 112, 16383, tvl_float_to_bin128, tvl_float_from_bin128},
    {19, 236, 262143, tvl_float_to_bin256, tvl_float_from_bin256},
    {7, 20, 63, nullptr, nullptr},
};

void widen_mpfr() {
    mpfr_set_emin(mpfr_get_emin_min());
    mpfr_set_emax(mpfr_get_emax_max());
}

struct Mpz {
    Mpz() { mpz_init(v); }
    ~Mpz() { mpz_clear(v); }
    mpz_t v;
};

Words export_words(const mpz_t z, size_t count) {
    Words w(count + 1, 0);  // room for what a wrong value might need
    mpz_export(w.data(), nullptr, -1, sizeof(uint32_t), 0, 0, z);
    w.resize(count);
    return w;
}

// A regular value with random significand bits; one time in three the bits below a random
// position are zero (ties, representable values) and one time in four a run of top bits is all
// ones (carries into the next binade).
FloatPtr random_float(std::mt19937_64 &rng, uint32_t p, int64_t exponent) {
    FloatPtr f = make_float(p);
    const auto low = static_cast<uint32_t>(rng() % 3 == 0 ? rng() % p : 0);
    const auto ones = static_cast<uint32_t>(rng() % 4 == 0 ? rng() % (p + 1) : p);
    for (uint32_t i = low; i < p; ++i) {
        f->words[i / 64] |= (i >= ones ? 1 : rng() & 1) << (i % 64);
    }
    f->words[(p - 1) / 64] |= uint64_t{1} << ((p - 1) % 64);
    f->exponent = exponent;
    f->sign = rng() % 2 == 0 ? 1 : -1;
    return f;
}

// The exact value of a record.
void to_mpfr(const tvl_float *f, mpfr_ptr out) {
    if (tvl_float_is_nan(f)) return mpfr_set_nan(out);
    if (tvl_float_is_inf(f)) return mpfr_set_inf(out, f->sign);
    if (tvl_float_is_zero(f)) return mpfr_set_zero(out, f->sign);
    Mpz z;
    mpz_import(z.v, (f->precision + 63) / 64, -1, sizeof(uint64_t), 0, 0, f->words);
    mpfr_set_z_2exp(out, z.v, f->exponent - f->precision, MPFR_RNDN);
    if (f->sign < 0) mpfr_neg(out, out, MPFR_RNDN);
}

// The record holds exactly `want`: class, sign (a NaN is positive) and a normalised significand.
::testing::AssertionResult holds(const tvl_float *f, mpfr_srcptr want) {
    if (mpfr_nan_p(want)) {
        if (tvl_float_is_nan(f) && f->sign == 1) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "want +NaN, exponent " << f->exponent;
    }
    const uint32_t p = f->precision;
    if (tvl_float_is_regular(f) && (f->words[(p - 1) / 64] >> ((p - 1) % 64)) != 1) {
        return ::testing::AssertionFailure() << "significand not normalised";
    }
    Mpfr got(p);
    to_mpfr(f, got.get());
    if (mpfr_equal_p(got.get(), want) && mpfr_signbit(got.get()) == mpfr_signbit(want)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "exponent " << f->exponent << ", want "
                                         << (mpfr_regular_p(want) ? mpfr_get_exp(want) : 0);
}

// f encoded by the general function, which must agree with the format's own.
Words tvl_encode(const tvl_float *f, const Format &fmt) {
    Words general(fmt.words()), own(fmt.words(), 0xA5A5A5A5u);
    tvl_float_to_ieee_bin(f, fmt.e, fmt.m, fmt.bias, general.data(), general.size());
    if (fmt.encode != nullptr) {
        fmt.encode(f, own.data());
        EXPECT_EQ(own, general);
    }
    return general;
}

// f := the decoding by the general function; the format's own must give the same record.
bool tvl_decode(tvl_float *f, const Format &fmt, const Words &w) {
    const bool ok = tvl_float_from_ieee_bin(f, fmt.e, fmt.m, fmt.bias, w.data());
    if (fmt.decode != nullptr) {
        const FloatPtr g = make_float(f->precision);
        EXPECT_EQ(fmt.decode(g.get(), w.data()), ok);
        EXPECT_TRUE(f->exponent == g->exponent && f->sign == g->sign &&
                    std::equal(f->words, f->words + f->word_count, g->words));
    }
    return ok;
}

// MPFR's encoding of x: rounded to m + 1 bits, then into the exponent range with subnormals.
Words mpfr_encode(mpfr_srcptr x, const Format &fmt) {
    Mpfr y(fmt.m + 1);
    int t = mpfr_set(y.get(), x, MPFR_RNDN);
    mpfr_set_emin(fmt.min_exp());
    mpfr_set_emax(fmt.max_exp());
    t = mpfr_check_range(y.get(), t, MPFR_RNDN);
    mpfr_subnormalize(y.get(), t, MPFR_RNDN);
    widen_mpfr();
    // The fraction (with the implicit bit of a normal number) in z; the bits from m up, the
    // sign and the exponent field less that implicit bit, in `above`.
    Mpz z, high;
    unsigned long above = mpfr_signbit(y.get()) ? 1ul << fmt.e : 0;
    if (mpfr_inf_p(y.get())) {
        above += (1ul << fmt.e) - 1;
    } else if (mpfr_regular_p(y.get())) {
        const long field = std::max<long>(mpfr_get_exp(y.get()) + fmt.bias - 1, 1);
        mpfr_abs(y.get(), y.get(), MPFR_RNDN);
        mpfr_mul_2si(y.get(), y.get(), -(field - fmt.bias - long{fmt.m}), MPFR_RNDN);
        mpfr_get_z(z.v, y.get(), MPFR_RNDN);
        above += static_cast<unsigned long>(field - 1);
    }
    mpz_set_ui(high.v, above);
    mpz_mul_2exp(high.v, high.v, fmt.m);
    mpz_add(z.v, z.v, high.v);
    return export_words(z.v, fmt.words());
}

// out := the exact value of an encoding rounded to out's precision.
void mpfr_decode(const Words &w, const Format &fmt, mpfr_ptr out) {
    Mpz z, n;
    mpz_import(z.v, w.size(), -1, sizeof(uint32_t), 0, 0, w.data());
    const int sign = mpz_tstbit(z.v, fmt.e + fmt.m) ? -1 : 1;
    mpz_fdiv_r_2exp(n.v, z.v, fmt.m);
    mpz_fdiv_q_2exp(z.v, z.v, fmt.m);
    const long field = static_cast<long>(mpz_fdiv_ui(z.v, 1ul << fmt.e));
    if (field == (1l << fmt.e) - 1) {
        return mpz_sgn(n.v) == 0 ? mpfr_set_inf(out, sign) : mpfr_set_nan(out);
    }
    if (field == 0 && mpz_sgn(n.v) == 0) return mpfr_set_zero(out, sign);
    if (field != 0) mpz_setbit(n.v, fmt.m);
    mpfr_set_z_2exp(out, n.v, std::max(field, 1l) - fmt.bias - long{fmt.m}, MPFR_RNDN);
    if (sign < 0) mpfr_neg(out, out, MPFR_RNDN);
}

// A random encoding; exponent fields 0, 1 and all ones are common, and one time in three the
// low fraction bits are clear (ties when decoding to fewer bits).
Words random_bits(std::mt19937_64 &rng, const Format &fmt) {
    Words w(fmt.words());
    const uint64_t max = (uint64_t{1} << fmt.e) - 1;
    const uint64_t pick[] = {0, 1, max, rng() % (max + 1), rng() % (max + 1)};
    const uint64_t field = pick[rng() % 5] | (rng() & 1) << fmt.e;  // and the sign
    const uint64_t low = rng() % 3 == 0 ? rng() % (fmt.m + 1) : 0;
    for (uint32_t i = 0; i <= fmt.e + fmt.m; ++i) {
        const uint64_t bit = i >= fmt.m ? field >> (i - fmt.m) & 1 : i >= low ? rng() & 1 : 0;
        w[i / 32] |= uint32_t(bit) << (i % 32);
    }
    return w;
}

TEST(BinaryFormats, EncodeAndDecodeAgreeWithMpfr) {
    widen_mpfr();
    std::mt19937_64 rng(11);
    for (const Format &fmt : kFormats) {
        for (uint32_t p : {1u, 2u, 8u, fmt.m, fmt.m + 1, fmt.m + 2, fmt.m + 70, 400u}) {
            for (int i = 0; i < 1500 && !HasFailure(); ++i) {
                // Near the subnormals, near overflow, or anywhere (a little beyond both ends).
                const int64_t lo = fmt.min_exp() - 3, hi = fmt.max_exp() + 3;
                const int64_t x = i % 3 == 0   ? lo + int64_t(rng() % (fmt.m + 6))
                                  : i % 3 == 1 ? hi - int64_t(rng() % 6)
                                               : lo + int64_t(rng() % uint64_t(hi - lo + 1));
                const FloatPtr f = random_float(rng, p, x);
                Mpfr exact(p);
                to_mpfr(f.get(), exact.get());
                const Words bits = tvl_encode(f.get(), fmt);
                EXPECT_EQ(bits, mpfr_encode(exact.get(), fmt)) << fmt.m << " p " << p << " x " << x;
                // The decoding at p is MPFR's rounding of the encoded value (x itself when x is
                // representable), and decoding a random pattern likewise.
                for (const Words &w : {bits, random_bits(rng, fmt)}) {
                    const FloatPtr g = make_float(p);
                    Mpfr want(p);
                    mpfr_decode(w, fmt, want.get());
                    ASSERT_TRUE(tvl_decode(g.get(), fmt, w));
                    EXPECT_TRUE(holds(g.get(), want.get())) << fmt.m << " p " << p;
                    // Canonical patterns (all but NaNs other than the quiet one) survive a
                    // round trip at the format's precision or more.
                    if (p > fmt.m && !mpfr_nan_p(want.get())) {
                        EXPECT_EQ(tvl_encode(g.get(), fmt), w);
                    }
                }
            }
        }
    }
}

TEST(BinaryFormats, EveryBinary16PatternAgreesWithMpfrAndRoundTrips) {
    widen_mpfr();
    const Format fmt = kFormats[0];
    for (uint32_t bits = 0; bits < 0x10000 && !HasFailure(); ++bits) {
        const bool canonical = (bits & 0x7C00) != 0x7C00 || (bits & 0x3FF) == 0 || bits == 0x7E00;
        for (uint32_t p : {4u, 11u, 64u}) {
            const FloatPtr f = make_float(p);
            Mpfr want(p);
            mpfr_decode({bits}, fmt, want.get());
            ASSERT_TRUE(tvl_decode(f.get(), fmt, {bits}));
            EXPECT_TRUE(holds(f.get(), want.get())) << std::hex << bits << " p " << p;
            if (p >= 11 && canonical) {
                EXPECT_EQ(tvl_encode(f.get(), fmt), Words{bits});
            }
        }
    }
}

// The compiler's conversions: random doubles to double, float and binary16 (where it has it),
// and random binary128 values (where it has them) to double and float.
TEST(BinaryFormats, AgreeWithTheCompiler) {
    std::mt19937_64 rng(12);
    const FloatPtr f53 = make_float(53), f113 = make_float(113);
    for (int i = 0; i < 100000 && !HasFailure(); ++i) {
        const double d = std::bit_cast<double>(rng());
        ASSERT_TRUE(tvl_float_from_double(f53.get(), d));
        double back = 0;
        float single = 0;
        EXPECT_TRUE(tvl_float_to_double(f53.get(), &back) &&
                    tvl_float_to_float(f53.get(), &single));
        const uint64_t want = std::isnan(d) ? 0x7FF8000000000000u : std::bit_cast<uint64_t>(d);
        EXPECT_EQ(std::bit_cast<uint64_t>(back), want);
        if (!std::isnan(d)) {
            EXPECT_EQ(std::bit_cast<uint32_t>(single), std::bit_cast<uint32_t>(float(d)));
        }
#if defined(__FLT16_MAX__)
        uint16_t half = 0;
        tvl_float_to_bin16(f53.get(), &half);
        if (!std::isnan(d)) {
            EXPECT_EQ(half, std::bit_cast<uint16_t>(static_cast<Half>(d)));
        }
#endif
#if defined(__SIZEOF_FLOAT128__) && defined(__x86_64__)
        // Exponents around the double range; a wider value rounds once to binary32 but twice
        // through tvl_float_to_float.
        const auto top = uint32_t(rng() % 2400 + 16383 - 1200) << 16 | uint32_t(rng() & 0x8000FFFF);
        const uint32_t w[4] = {uint32_t(rng()), uint32_t(rng()), uint32_t(rng()), top};
        const auto q = std::bit_cast<Quad>(w);
        uint32_t bin32 = 0;
        ASSERT_TRUE(tvl_float_from_bin128(f113.get(), w));
        tvl_float_to_double(f113.get(), &back);
        tvl_float_to_float(f113.get(), &single);
        tvl_float_to_bin32(f113.get(), &bin32);
        EXPECT_EQ(std::bit_cast<uint64_t>(back), std::bit_cast<uint64_t>(double(q)));
        EXPECT_EQ(std::bit_cast<uint32_t>(single), std::bit_cast<uint32_t>(float(double(q))));
        EXPECT_EQ(bin32, std::bit_cast<uint32_t>(float(q)));
#endif
    }
}

// Fixed point of width w through the exported function of that width, as 32-bit words (the
// 16-bit value in the low half of one word).
Words to_fix(const tvl_float *f, uint32_t frac, unsigned w) {
    Words out(std::max(w / 32, 1u), 0);
    if (w == 16) out[0] = uint16_t(tvl_float_to_fix16(f, frac));
    if (w == 32) out[0] = uint32_t(tvl_float_to_fix32(f, frac));
    if (w == 64) {
        const auto v = uint64_t(tvl_float_to_fix64(f, frac));
        out = {uint32_t(v), uint32_t(v >> 32)};
    }
    if (w == 128) tvl_float_to_fix128(f, frac, out.data());
    if (w == 256) tvl_float_to_fix256(f, frac, out.data());
    return out;
}

bool from_fix(tvl_float *f, const Words &x, int32_t frac, unsigned w) {
    const uint64_t v = x[0] | (x.size() > 1 ? uint64_t{x[1]} << 32 : 0);
    if (w == 16) return tvl_float_from_fix16(f, int16_t(v), frac);
    if (w == 32) return tvl_float_from_fix32(f, int32_t(v), frac);
    if (w == 64) return tvl_float_from_fix64(f, int64_t(v), frac);
    return w == 128 ? tvl_float_from_fix128(f, x.data(), frac)
                    : tvl_float_from_fix256(f, x.data(), frac);
}

TEST(FixedFormats, AgreeWithMpfrAndRoundTrip) {
    widen_mpfr();
    std::mt19937_64 rng(13);
    for (unsigned w : {16u, 32u, 64u, 128u, 256u}) {
        for (uint32_t p : {1u, 8u, 53u, 64u, 300u}) {
            for (int i = 0; i < 3000 && !HasFailure(); ++i) {
                // To fixed point: |value| * 2^F near 2^w, F small or near 2^32.
                const auto frac = uint32_t(i % 4 == 0 ? UINT32_MAX - rng() % 300 : rng() % 300);
                const int64_t t = int64_t(rng() % (w + 8)) - 3;
                const FloatPtr f = random_float(rng, p, t - int64_t{frac});
                Mpfr v(p);
                Mpz z;
                to_mpfr(f.get(), v.get());
                mpfr_mul_2si(v.get(), v.get(), frac, MPFR_RNDN);
                mpfr_get_z(z.v, v.get(), MPFR_RNDN);
                mpz_fdiv_r_2exp(z.v, z.v, w);
                EXPECT_EQ(to_fix(f.get(), frac, w), export_words(z.v, std::max(w / 32, 1u)))
                    << w << " p " << p << " F " << frac << " t " << t;

                // From fixed point: random bits, often with clear low bits (ties), F anywhere.
                const Words x = random_bits(rng, Format{2, w - 3, 0, nullptr, nullptr});
                const int32_t in_frac = i % 4 == 0   ? INT32_MIN + int32_t(rng() % 300)
                                        : i % 4 == 1 ? INT32_MAX - int32_t(rng() % 300)
                                                     : int32_t(rng() % 600) - 300;
                mpz_import(z.v, x.size(), -1, sizeof(uint32_t), 0, 0, x.data());
                if (mpz_tstbit(z.v, w - 1)) {  // z - 2^w = -((~z mod 2^w) + 1)
                    mpz_com(z.v, z.v);
                    mpz_fdiv_r_2exp(z.v, z.v, w);
                    mpz_add_ui(z.v, z.v, 1);
                    mpz_neg(z.v, z.v);
                }
                mpfr_set_z_2exp(v.get(), z.v, -long{in_frac}, MPFR_RNDN);
                const FloatPtr g = make_float(p);
                ASSERT_TRUE(from_fix(g.get(), x, in_frac, w));
                EXPECT_TRUE(holds(g.get(), v.get())) << w << " p " << p << " F " << in_frac;
                if (p >= w && in_frac >= 0) {
                    EXPECT_EQ(to_fix(g.get(), uint32_t(in_frac), w), x);
                }
            }
        }
    }
}

// Edges the properties do not reach: extreme exponents and biases, the double rounding of
// tvl_float_to_float, layouts that do not fit, null arguments and the big integer's limit.
TEST(BinaryFormats, Edges) {
    const FloatPtr f = make_float(64);
    const auto set = [&](int64_t exponent, int32_t sign, uint64_t m) {
        f->exponent = exponent, f->sign = sign, f->words[0] = m;
        return f.get();
    };
    const uint64_t one = uint64_t{1} << 63;
    struct Row {
        const char *name;
        int64_t exponent;
        int32_t sign;
        uint32_t e, m;
        int32_t bias;
        uint32_t n;
        Words want;
    };
    const Row rows[] = {
        {"NaN keeps its sign", TVL_FLOAT_EXP_NAN, -1, 5, 10, 15, 1, {0xFE00}},
        {"exponent 2^63 - 1", INT64_MAX, 1, 11, 52, 1023, 2, {0, 0x7FF00000}},
        {"biased exponent beyond 2^63", INT64_MAX - 5, -1, 30, 1, INT32_MAX, 1, {0xFFFFFFFE}},
        {"lowest regular exponent", TVL_FLOAT_EXP_INF + 1, -1, 11, 52, 1, 2, {0, 1u << 31}},
        {"biased exponent below -2^63", TVL_FLOAT_EXP_INF + 1, 1, 30, 1, INT32_MIN, 1, {0}},
        {"n too small", 1, -1, 11, 52, 1023, 1, {0, 0xC0DE}},
        {"exponent width 31", 1, -1, 31, 10, 15, 2, {0, 0}},
        {"fraction width 0", 1, -1, 5, 0, 15, 1, {0, 0xC0DE}},
    };
    for (const Row &row : rows) {
        Words out(row.want.size(), 0xC0DE);
        tvl_float_to_ieee_bin(set(row.exponent, row.sign, one), row.e, row.m, row.bias, out.data(),
                              row.n);
        EXPECT_EQ(out, row.want) << row.name;
    }
    // 1 + 2^-24 + 2^-60 rounds up to binary32 but to the tie 1 + 2^-24 as a double, then down.
    float single = 0;
    uint32_t bin32 = 0;
    tvl_float_to_float(set(1, 1, one | one >> 24 | one >> 60), &single);
    tvl_float_to_bin32(f.get(), &bin32);
    EXPECT_EQ(std::bit_cast<uint32_t>(single), 0x3F800000u);
    EXPECT_EQ(bin32, 0x3F800001u);

    const uint32_t words[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_FALSE(tvl_float_from_ieee_bin(f.get(), 31, 10, 15, words) ||
                 tvl_float_from_ieee_bin(f.get(), 5, 0, 15, words) ||
                 tvl_float_from_ieee_bin(f.get(), 5, 32768, 15, words));
    EXPECT_FALSE(tvl_float_from_bin128(f.get(), nullptr) || tvl_float_from_bin16(nullptr, 1));
    EXPECT_FALSE(tvl_float_to_double(nullptr, nullptr) || tvl_float_to_float(f.get(), nullptr));
    EXPECT_FALSE(tvl_float_from_fix256(f.get(), nullptr, 0) || tvl_float_from_fix16(nullptr, 1, 0));
    uint32_t out[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    tvl_float_to_fix256(nullptr, 0, out);
    tvl_float_to_bin32(nullptr, out);
    EXPECT_TRUE(out[0] == 0 && out[7] == 9);

    // Fixed point: exponents and F at their extremes give 0 without overflow, and a shift that
    // would take a big integer beyond 1024 limbs gives 0.
    EXPECT_EQ(tvl_float_to_fix64(set(INT64_MAX, 1, one), UINT32_MAX), 0);
    EXPECT_EQ(tvl_float_to_fix64(set(TVL_FLOAT_EXP_INF + 1, 1, one), UINT32_MAX), 0);
    const FloatPtr wide = make_float(32768);
    wide->words[511] = one, wide->words[0] = 1, wide->exponent = 32768 + 1;
    EXPECT_EQ(tvl_float_to_fix16(wide.get(), 0), 0);
}

// Memory exhaustion: an encoder keeps the sign bit alone, a decoder reports false.
bool encode_under_failures(long n) {
    FloatPtr f = make_float(4000);  // -1.0, whose rounding needs heap limbs
    f->words[62] = uint64_t{1} << 31, f->exponent = 1, f->sign = -1;
    double d = 1;
    tvltest::alloc::arm(n);
    const bool ok = tvl_float_to_double(f.get(), &d);
    tvltest::alloc::disarm();
    EXPECT_EQ(std::bit_cast<uint64_t>(d), ok ? 0xBFF0000000000000u : 0x8000000000000000u);
    return ok;
}

bool decode_under_failures(long n) {
    FloatPtr f = make_float(64);
    Words w(126, 0x12345678);
    tvltest::alloc::arm(n);
    const bool ok = tvl_float_from_ieee_bin(f.get(), 15, 4000, 16383, w.data());
    tvltest::alloc::disarm();
    return ok;
}

TEST(BinaryFormats, MemoryExhaustion) {
    tvltest::alloc::expect_failures_reported("encode", encode_under_failures);
    tvltest::alloc::expect_failures_reported("decode", decode_under_failures);
}

}  // namespace
