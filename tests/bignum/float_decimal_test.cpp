// Decimal interchange formats: encoding of random values and near-ties against an exact GMP
// reference, decoding of random patterns against MPFR, round trips both ways, the compiler's
// own BID conversions (GCC's C decimal types, where they exist), and a table of edge cases.
#include <gmp.h>
#include <gtest/gtest.h>
#include <mpfr.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "float_support.h"
#include "support/failing_alloc.h"
#include "tvlr.h"

#ifdef TVLR_TEST_DECIMAL_REFERENCE
extern "C" void ref_dec_from_double(int width, double x, uint32_t *out);
extern "C" double ref_double_from_dec(int width, const uint32_t *in);
#endif

namespace {

using float_test::FloatPtr;
using float_test::Mpfr;
using Words = std::vector<uint32_t>;

#ifdef TVLR_TEST_SANITIZED
constexpr int kCount = 40;  // random values per format and precision
#else
constexpr int kCount = 400;
#endif

// The 16- and 64-bit functions over words, like the 128- and 256-bit ones.
template <class T, void (*Encode)(const tvl_float *, T *)>
void encode_words(const tvl_float *f, uint32_t *w) {
    T v = T(w[0] | (sizeof(T) > 4 ? uint64_t{w[1]} << 32 : 0));
    Encode(f, &v);
    w[0] = uint32_t(v);
    if (sizeof(T) > 4) w[1] = uint32_t(uint64_t{v} >> 32);
}
template <class T, bool (*Decode)(tvl_float *, T)>
bool decode_words(tvl_float *f, const uint32_t *w) {
    return Decode(f, T(w[0] | (sizeof(T) > 4 ? uint64_t{w[1]} << 32 : 0)));
}

constexpr long kAll = 1L << 40;
struct Format {
    const char *name;
    unsigned k, n, s;
    long bias, p, emax;
    bool ieee;
    long window;  // binary exponents drawn within +-window (decimal256: a slice of its range)
    void (*encode)(const tvl_float *, uint32_t *);
    bool (*decode)(tvl_float *, const uint32_t *);
};
const Format kFormats[] = {
    {"dec16", 16, 6, 9, 24, 2, 47, true, kAll, encode_words<uint16_t, tvl_float_to_dec16>,
     decode_words<uint16_t, tvl_float_from_dec16>},
    {"dec32", 32, 8, 23, 101, 7, 191, true, kAll, tvl_float_to_dec32,
     decode_words<uint32_t, tvl_float_from_dec32>},
    {"dec64", 64, 10, 53, 398, 16, 767, true, kAll, encode_words<uint64_t, tvl_float_to_dec64>,
     decode_words<uint64_t, tvl_float_from_dec64>},
    {"dec128", 128, 14, 113, 6176, 34, 12287, true, kAll, tvl_float_to_dec128,
     tvl_float_from_dec128},
    {"dec256", 256, 20, 235, 611867, 70, 1048574, false, 40000, tvl_float_to_dec256,
     tvl_float_from_dec256},
};

struct Z {
    Z() { mpz_init(v); }
    Z(const Z &) = delete;
    ~Z() { mpz_clear(v); }
    operator mpz_ptr() { return v; }
    mpz_ptr operator->() { return v; }
    mpz_t v;
};

// Significant digits of a nonnegative integer (0 for 0).
long digits(mpz_ptr c) {
    Z t;
    const long d = long(mpz_sizeinbase(c, 10));
    mpz_ui_pow_ui(t, 10, unsigned(d - 1));
    return mpz_cmp(c, t) < 0 ? d - 1 : d;
}

// The pattern of (sign, C, E), in the large form where C needs more than s bits; or with
// `top` (5 bits below the sign, IEEE; the exponent field, plain) for an infinity.
Words pack(const Format &f, bool neg, mpz_ptr c, long e, unsigned long top = 0) {
    Z x;
    const bool large = f.ieee && mpz_sizeinbase(c, 2) > f.s;
    mpz_set_ui(x, large ? 3 : 0);
    mpz_mul_2exp(x, x, f.n);
    mpz_add_ui(x, x, unsigned(e));
    mpz_mul_2exp(x, x, large ? f.s - 2 : f.s);
    mpz_xor(x, x, c);
    if (large) mpz_combit(x, f.s);  // C - 2^s below the exponent field
    if (top != 0) {
        mpz_set_ui(x, top);
        mpz_mul_2exp(x, x, f.ieee ? f.k - 6 : f.s);
    }
    if (neg) mpz_setbit(x, f.k - 1);
    Words w((f.k + 31) / 32);
    mpz_export(w.data(), nullptr, -1, 4, 0, 0, x);
    return w;
}

enum Kind { kFinite, kInf, kNan };
struct Unpacked {
    Kind kind = kFinite;
    bool neg = false;
    Z c;
    long e = 0;
    bool canonical(const Format &f) { return kind == kFinite && digits(c) <= f.p; }
};

void unpack(const Format &f, const Words &w, Unpacked &u) {
    Z x, t;
    mpz_import(x, w.size(), -1, 4, 0, 0, w.data());
    const auto field = [&](unsigned pos, unsigned width) {
        mpz_fdiv_q_2exp(t, x, pos);
        mpz_fdiv_r_2exp(t, t, width);
        return long(mpz_get_ui(t));
    };
    u.neg = mpz_tstbit(x, f.k - 1);
    if (f.ieee && field(f.k - 5, 4) == 15) {
        u.kind = field(f.k - 6, 1) ? kNan : kInf;
        return;
    }
    const bool large = f.ieee && field(f.k - 3, 2) == 3;
    u.e = field(large ? f.s - 2 : f.s, f.n);
    mpz_fdiv_r_2exp(u.c, x, large ? f.s - 2 : f.s);
    if (large) mpz_setbit(u.c, f.s);
    if (!f.ieee && u.e == f.emax + 1) u.kind = mpz_sgn(u.c) ? kNan : kInf;
}

// The encoder's choice: trailing zeros into the exponent up to the largest one; zero at E 0.
void canonical(const Format &f, mpz_ptr c, long &e) {
    while (e < f.emax && mpz_sgn(c) != 0 && mpz_divisible_ui_p(c, 10))
        mpz_divexact_ui(c, c, 10), ++e;
    if (mpz_sgn(c) == 0) e = 0;
}

// The correctly rounded encoding of a regular record, with exact integers.
Words reference_encode(const Format &f, const tvl_float *v) {
    Z num, den, a, b, c, r, ten, one;
    mpz_set_ui(one, 1);
    mpz_import(num, (v->precision + 63) / 64, -1, 8, 0, 0, v->words);
    const int64_t e2 = v->exponent - int64_t(v->precision);
    mpz_set_ui(den, 1);
    mpz_mul_2exp(e2 >= 0 ? num : den, e2 >= 0 ? num : den, mp_bitcnt_t(std::abs(e2)));
    // c = floor(|v| / 10^q), r = twice the remainder, b = the divisor.
    const auto scaled = [&](long q) {
        mpz_ui_pow_ui(ten, 10, unsigned(std::abs(q)));
        mpz_mul(a, num, q < 0 ? ten : one);
        mpz_mul(b, den, q < 0 ? one : ten);
        mpz_fdiv_qr(c, r, a, b);
        mpz_mul_2exp(r, r, 1);
    };
    // The unit of the last place: p digits, not below the smallest exponent.
    long q = std::max(long(double(v->exponent) * 0.30103) - f.p, -f.bias);
    for (scaled(q); digits(c) > f.p || (q > -f.bias && digits(c) < f.p);) {
        scaled(digits(c) > f.p ? ++q : --q);
    }
    const int half = mpz_cmp(r, b);
    if (half > 0 || (half == 0 && mpz_odd_p(c))) mpz_add_ui(c, c, 1);
    if (digits(c) > f.p) mpz_divexact_ui(c, c, 10), ++q;
    long e = q + f.bias;
    canonical(f, c, e);
    for (; e > f.emax; --e) {
        if (digits(c) >= f.p) return pack(f, v->sign < 0, c, 0, f.ieee ? 0x1e : (1ul << f.n) - 1);
        mpz_mul_ui(c, c, 10);
    }
    return pack(f, v->sign < 0, c, e);
}

// A regular record with random significand bits.
FloatPtr random_float(std::mt19937_64 &rng, uint32_t precision, int64_t exponent) {
    FloatPtr v(tvl_float_alloc(precision));
    for (uint32_t i = 0; i < (precision + 63) / 64; ++i) v->words[i] = rng();
    const uint32_t top = (precision - 1) % 64, last = (precision - 1) / 64;
    v->words[last] = (v->words[last] & (~uint64_t{0} >> (63 - top))) | uint64_t{1} << top;
    v->exponent = exponent;
    v->sign = rng() % 2 ? 1 : -1;
    return v;
}

// A coefficient of d random digits (the first nonzero).
void random_coefficient(std::mt19937_64 &rng, long d, mpz_ptr c) {
    std::string t(size_t(d), '0');
    for (char &ch : t) ch = char('0' + rng() % 10);
    t[0] = char('1' + rng() % 9);
    mpz_set_str(c, t.c_str(), 10);
}

// A tie between two p-digit coefficients, times 10^j, made exact at 8 bits beyond its length
// and nudged by -1, 0 or +1 in the last of them (from j = 3 on the nudge lies beyond the p + 4
// digits of the expansion, where only the rounding to odd keeps it).
FloatPtr near_tie(std::mt19937_64 &rng, const Format &f) {
    Z n, t;
    random_coefficient(rng, f.p, n);
    mpz_mul_ui(n, n, 10);
    mpz_add_ui(n, n, 5);
    mpz_ui_pow_ui(t, 10, unsigned(rng() % 7));
    mpz_mul(n, n, t);
    const auto bits = uint32_t(mpz_sizeinbase(n, 2));
    mpz_mul_2exp(n, n, 8);
    const uint64_t nudge = rng() % 3;
    if (nudge == 0) mpz_sub_ui(n, n, 1);
    if (nudge == 1) mpz_add_ui(n, n, 1);
    FloatPtr v = random_float(rng, bits + 8, bits);
    mpz_export(v->words, nullptr, -1, 8, 0, 0, n);
    return v;
}

TEST(DecimalFormats, EncodingIsCorrectlyRounded) {
    std::mt19937_64 rng(1);
    for (const Format &f : kFormats) {
        const long lo = std::max(-f.window, long(double(-f.bias - f.p) * 3.33) - 10);
        const long hi = std::min(f.window, long(double(f.emax - f.bias + f.p) * 3.33) + 10);
        for (uint32_t precision : {1u, 8u, 24u, 53u, 64u, 113u, 240u, 1000u}) {
            for (int i = 0; i < kCount / 3; ++i) {
                const long x = lo + long(rng() % uint64_t(hi - lo));
                const FloatPtr v = i % 4 ? random_float(rng, precision, x) : near_tie(rng, f);
                Words got((f.k + 31) / 32);
                f.encode(v.get(), got.data());
                ASSERT_EQ(got, reference_encode(f, v.get())) << f.name << " P " << precision;
            }
        }
    }
}

// Half random bits, half packed from a random coefficient (one in eight of more than p digits,
// non-canonical) and exponent (decimal256: near the middle of its range).
Words random_pattern(std::mt19937_64 &rng, const Format &f) {
    Words w((f.k + 31) / 32);
    if (rng() % 2 != 0 && f.window == kAll) {
        for (uint32_t &x : w) x = uint32_t(rng() >> (f.k == 16 ? 48 : 32));
        return w;
    }
    Z c;
    random_coefficient(rng, 1 + long(rng() % uint64_t(f.p)), c);
    if (rng() % 8 == 0) {
        mpz_ui_pow_ui(c, 10, unsigned(f.p));
        mpz_add_ui(c, c, rng() % 400);
    }
    const long span = std::min(f.emax + 1, f.window / 3);
    const long e = (f.window == kAll ? 0 : f.bias - span / 2) + long(rng() % uint64_t(span));
    return pack(f, rng() % 2 != 0, c, e);
}

// Decoding rounds once to the record's precision (MPFR); at precision 240, which holds 70
// digits, a canonical pattern encodes back to itself.
TEST(DecimalFormats, DecodingIsCorrectlyRoundedAndRoundTrips) {
    mpfr_set_emin(mpfr_get_emin_min());
    mpfr_set_emax(mpfr_get_emax_max());
    std::mt19937_64 rng(2);
    for (const Format &f : kFormats) {
        for (uint32_t precision : {1u, 24u, 53u, 64u, 113u, 240u}) {
            for (int i = 0; i < kCount; ++i) {
                const Words w = random_pattern(rng, f);
                Unpacked u;
                unpack(f, w, u);
                const FloatPtr v(tvl_float_alloc(precision));
                ASSERT_TRUE(f.decode(v.get(), w.data()));
                if (u.kind == kNan) {
                    EXPECT_TRUE(tvl_float_is_nan(v.get()) && !tvl_float_is_neg(v.get()));
                    continue;
                }
                EXPECT_EQ(tvl_float_is_neg(v.get()), u.neg) << f.name;
                if (u.kind == kInf || !u.canonical(f) || mpz_sgn(u.c) == 0) {
                    EXPECT_TRUE(u.kind == kInf ? tvl_float_is_inf(v.get())
                                               : tvl_float_is_zero(v.get()));
                    continue;
                }
                Mpfr exact(256), want(precision), got(precision);
                Z ten, m;
                mpfr_set_z(exact.get(), u.c, MPFR_RNDN);
                mpz_ui_pow_ui(ten, 10, unsigned(std::abs(u.e - f.bias)));
                (u.e < f.bias ? mpfr_div_z : mpfr_mul_z)(want.get(), exact.get(), ten, MPFR_RNDN);
                ASSERT_TRUE(tvl_float_is_regular(v.get()));
                mpz_import(m, (precision + 63) / 64, -1, 8, 0, 0, v->words);
                mpfr_set_z_2exp(got.get(), m, v->exponent - precision, MPFR_RNDN);
                EXPECT_TRUE(mpfr_equal_p(got.get(), want.get()))
                    << f.name << " P " << precision << " E " << u.e;
                if (precision != 240) continue;
                Words back(w.size());
                f.encode(v.get(), back.data());
                canonical(f, u.c, u.e);
                EXPECT_EQ(back, pack(f, u.neg, u.c, u.e)) << f.name;
            }
        }
    }
}

// M * 2^x (M odd) with at most p significant digits comes back exactly at its own precision.
TEST(DecimalFormats, ExactValuesRoundTrip) {
    std::mt19937_64 rng(3);
    for (const Format &f : kFormats) {
        for (int checked = 0; checked < kCount / 4;) {
            const auto bits = uint32_t(1 + rng() % uint64_t(std::min(60L, 3 * f.p + 1)));
            const long x = long(rng() % uint64_t(5 * f.p + 6)) - (2 * f.p + 3);
            const FloatPtr v = random_float(rng, bits, x + bits), back(tvl_float_alloc(bits));
            v->words[0] |= 1;
            Z n;
            mpz_set_ui(n, v->words[0]);
            if (x >= 0) mpz_mul_2exp(n, n, mp_bitcnt_t(x));
            for (long j = x; j < 0; ++j) mpz_mul_ui(n, n, 5);
            if (digits(n) > f.p) continue;
            ++checked;
            Words w((f.k + 31) / 32);
            f.encode(v.get(), w.data());
            ASSERT_TRUE(f.decode(back.get(), w.data()));
            EXPECT_TRUE(back->sign == v->sign && back->exponent == v->exponent &&
                        back->words[0] == v->words[0])
                << f.name << " " << v->words[0] << " * 2^" << x;
        }
    }
}

// Binary64 values (a quarter subnormal) at precision 53 against the compiler's conversions.
// Its encodings carry the same values and the same bits once its coefficient is brought to the
// largest exponent at which it is exact: it keeps p digits for inexact results (and for some
// exact ones a smaller exponent: 1.0 is 10 * 10^-1 in decimal64). Its decodings give the same
// double where that neither overflows nor underflows, for canonical coefficients (it reads a
// large-form coefficient of more than p digits as it stands, not as zero).
TEST(DecimalFormats, AgreesWithCompilerConversions) {
#ifndef TVLR_TEST_DECIMAL_REFERENCE
    GTEST_SKIP() << "the C compiler has no decimal types";
#else
    std::mt19937_64 rng(4);
    for (const Format &f : {kFormats[1], kFormats[2], kFormats[3]}) {
        for (int i = 0; i < 20 * kCount; ++i) {
            const double d = std::bit_cast<double>(i % 4 ? rng() : rng() & 0x800FFFFFFFFFFFFF);
            if (std::isnan(d)) continue;
            const FloatPtr v(tvl_float_alloc(53)), back(tvl_float_alloc(53));
            tvl_float_from_double(v.get(), d);
            Words got(f.k / 32), want(f.k / 32);
            f.encode(v.get(), got.data());
            ref_dec_from_double(int(f.k), d, want.data());
            Unpacked u;
            unpack(f, want, u);
            if (u.kind == kFinite) canonical(f, u.c, u.e), want = pack(f, u.neg, u.c, u.e);
            ASSERT_EQ(got, want) << f.name << " " << d;

            const Words w = random_pattern(rng, f);
            Unpacked p;
            unpack(f, w, p);
            const double r = ref_double_from_dec(int(f.k), w.data());
            const bool regular = p.kind == kFinite && mpz_sgn(p.c) != 0;
            if (regular && (!p.canonical(f) || !(std::isnormal(r) && std::fabs(r) > DBL_MIN))) {
                continue;
            }
            ASSERT_TRUE(f.decode(back.get(), w.data()));
            tvl_float_from_double(v.get(), r);
            EXPECT_TRUE(back->exponent == v->exponent && back->sign == v->sign &&
                        (!tvl_float_is_regular(v.get()) || back->words[0] == v->words[0]))
                << f.name << " " << std::hex << w.back() << " " << w[0];
        }
    }
#endif
}

FloatPtr parsed(const char *text) {
    FloatPtr v(tvl_float_alloc(200));
    EXPECT_TRUE(tvl_float_from_str(v.get(), text, 10)) << text;
    return v;
}

TEST(DecimalFormats, EdgeCases) {
    struct Row {
        int format;
        const char *text;  // encoded at precision 200; the pattern decodes to it at 53 if set
        Words bits;
        const char *back;
    };
    const Row rows[] = {
        {1, "1", {0x32800001}, "1e+0"},
        {1, "9999999.5", {0x36000001}, "1e+7"},       // tie to 10^7: C 1, E 108
        {0, "0.125", {0x2C0C}, "1.2e-1"},             // tie to even
        {0, "0.375", {0x2C26}, nullptr},              // tie to even: 38e-3
        {0, "100", {0x3401}, nullptr},                // 3 digits: C 1, E 26
        {1, "9999999", {0x6CB8967F}, "9.999999e+6"},  // large form
        {1, "1e96", {0x5F8F4240}, "1e+96"},           // clamped: C 10^6, E 191
        {1, "1e97", {0x78000000}, "inf"},             // overflow
        {1, "-0.6e-101", {0x80000001}, nullptr},      // up to the smallest unit
        {1, "0.4e-101", {0}, "0.0"},                  // down to zero
        {1, "-nan", {0x7C000000}, "nan"},             // NaN drops the sign
        {1, "-inf", {0xF8000000}, "-inf"},
        {4, "nan", {0, 0, 0, 0, 0, 0, 0, 0x7FFFFC00}, "nan"},
        {4, "-inf", {0, 0, 0, 0, 0, 0, 0, 0xFFFFF800}, "-inf"},
        {4, "1", {1, 0, 0, 0, 0, 0, 0, 0x4AB0D800}, "1e+0"},  // C 1, E 611867
        {1, nullptr, {0xFE000000}, "nan"},                    // signaling, negative
        {1, nullptr, {0x6CBFFFFF}, "0.0"},                    // large-form C >= 10^7: non-canonical
        {0, nullptr, {0xB064}, "-0.0"},                       // small-form C 100: non-canonical
        {4, nullptr, {1, 0, 0, 0, 0, 0, 0, 0x7FFFF800}, "nan"},  // any coefficient bit
    };
    for (const Row &row : rows) {
        const Format &f = kFormats[row.format];
        if (row.text != nullptr) {
            Words got(row.bits.size());
            f.encode(parsed(row.text).get(), got.data());
            EXPECT_EQ(got, row.bits) << f.name << " " << row.text;
        }
        if (row.back == nullptr) continue;
        const FloatPtr v(tvl_float_alloc(53));
        char buf[64];
        ASSERT_TRUE(f.decode(v.get(), row.bits.data()));
        ASSERT_GT(tvl_float_to_str(v.get(), buf, sizeof buf, 10), 0);
        EXPECT_STREQ(buf, row.back) << f.name << " " << row.bits.back();
    }
    // Exponents near the ends of the 64-bit range give infinity or a signed zero at once; null
    // arguments write or change nothing.
    for (const Format &f : kFormats) {
        for (const int64_t x : {INT64_MAX, int64_t{1} << 40, TVL_FLOAT_EXP_INF + 1, -(1L << 40)}) {
            std::mt19937_64 rng(6);
            const FloatPtr v = random_float(rng, 100, x);
            Words got((f.k + 31) / 32);
            Z zero;
            f.encode(v.get(), got.data());
            const unsigned long inf = f.ieee ? 0x1e : (1ul << f.n) - 1;
            EXPECT_EQ(got, pack(f, v->sign < 0, zero, 0, x < 0 ? 0 : inf)) << f.name << " " << x;
        }
        Words w((f.k + 31) / 32, 0x5A5A);
        f.encode(nullptr, w.data());
        EXPECT_EQ(w, Words(w.size(), 0x5A5A));
        EXPECT_FALSE(f.decode(nullptr, w.data()));
    }
    tvl_float_to_dec256(parsed("1").get(), nullptr);
    EXPECT_FALSE(tvl_float_from_dec256(parsed("1").get(), nullptr));
}

// Without memory the encoder writes +0 (after falling back to the shortest text); the decoder
// reports false.
bool encode_under_failures(long n) {
    std::mt19937_64 rng(5);
    const FloatPtr v = random_float(rng, 2000, 3000);
    const Words want = reference_encode(kFormats[3], v.get());
    Words got(4, 0x5A5A5A5A);
    tvltest::alloc::arm(n);
    tvl_float_to_dec128(v.get(), got.data());
    tvltest::alloc::disarm();
    if (got == want) return true;
    EXPECT_EQ(got, Words(4, 0));
    return false;
}

bool decode_under_failures(long n) {
    const FloatPtr v(tvl_float_alloc(2000));
    const Words bits = {12345, 0, 0, 0, 0, 0, 0, 0x4AB0D800 - (1000u << 11)};  // 12345e-1000
    tvltest::alloc::arm(n);
    const bool ok = tvl_float_from_dec256(v.get(), bits.data());
    tvltest::alloc::disarm();
    return ok;
}

TEST(DecimalFormats, MemoryExhaustion) {
    tvltest::alloc::expect_failures_reported("encode", encode_under_failures);
    tvltest::alloc::expect_failures_reported("decode", decode_under_failures);
}

}  // namespace
