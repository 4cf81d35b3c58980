// Decimal interchange formats: encoding of random values against an exact GMP reference,
// decoding of random patterns against MPFR, round trips in both directions for all five
// formats, the compiler's own BID conversions (GCC's C decimal types, where they exist), and
// a table of edge cases.
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
extern "C" {
uint32_t ref_dec32_from_double(double x);
uint64_t ref_dec64_from_double(double x);
void ref_dec128_from_double(double x, uint32_t out[4]);
double ref_double_from_dec32(uint32_t bits);
double ref_double_from_dec64(uint64_t bits);
double ref_double_from_dec128(const uint32_t in[4]);
}
#endif

namespace {

using float_test::FloatPtr;
using float_test::Mpfr;
using Words = std::vector<uint32_t>;

#ifdef TVLR_TEST_SANITIZED
constexpr int kCount = 60;  // random values per format and precision
#else
constexpr int kCount = 600;
#endif

// A format with its exported functions, all taking patterns as words.
struct Format {
    const char *name;
    unsigned k, n, s;
    long bias, p, emax;
    bool ieee;
    long window;  // binary exponents drawn from +-window around the range (decimal256: a slice)
    void (*encode)(const tvl_float *, uint32_t *);
    bool (*decode)(tvl_float *, const uint32_t *);
};

constexpr long kAll = 1L << 40;

const Format kFormats[] = {
    {"dec16", 16, 6, 9, 24, 2, 47, true, kAll,
     [](const tvl_float *f, uint32_t *w) {
         auto v = uint16_t(w[0]);
         tvl_float_to_dec16(f, &v);
         w[0] = v;
     },
     [](tvl_float *f, const uint32_t *w) { return tvl_float_from_dec16(f, uint16_t(w[0])); }},
    {"dec32", 32, 8, 23, 101, 7, 191, true, kAll,
     [](const tvl_float *f, uint32_t *w) { tvl_float_to_dec32(f, w); },
     [](tvl_float *f, const uint32_t *w) { return tvl_float_from_dec32(f, w[0]); }},
    {"dec64", 64, 10, 53, 398, 16, 767, true, kAll,
     [](const tvl_float *f, uint32_t *w) {
         uint64_t v = w[0] | uint64_t{w[1]} << 32;
         tvl_float_to_dec64(f, &v);
         w[0] = uint32_t(v), w[1] = uint32_t(v >> 32);
     },
     [](tvl_float *f, const uint32_t *w) {
         return tvl_float_from_dec64(f, w[0] | uint64_t{w[1]} << 32);
     }},
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

// Exact significant-digit count of a positive integer.
long digits(mpz_ptr c) {
    Z t;
    long d = long(mpz_sizeinbase(c, 10));
    mpz_ui_pow_ui(t, 10, unsigned(d - 1));
    return mpz_cmp(c, t) < 0 ? d - 1 : d;
}

// The pattern of (sign, C, E): the large form where C needs more than s bits.
Words pack(const Format &f, bool neg, mpz_ptr c, long e) {
    Z x;
    const bool large = f.ieee && mpz_sizeinbase(c, 2) > f.s;
    mpz_set_ui(x, large ? 3 : 0);
    mpz_mul_2exp(x, x, f.n);
    mpz_add_ui(x, x, unsigned(e));
    mpz_mul_2exp(x, x, large ? f.s - 2 : f.s);
    mpz_xor(x, x, c);
    if (large) mpz_combit(x, f.s);  // C - 2^s below the exponent field
    if (neg) mpz_setbit(x, f.k - 1);
    Words w((f.k + 31) / 32);
    mpz_export(w.data(), nullptr, -1, 4, 0, 0, x);
    return w;
}

Words infinity(const Format &f, bool neg) {
    Z x;
    mpz_set_ui(x, f.ieee ? 0x1e : (1u << f.n) - 1);
    mpz_mul_2exp(x, x, f.ieee ? f.k - 6 : f.s);
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
    const bool large = f.ieee && field(f.k - 3, 2) == 3;
    if (f.ieee && field(f.k - 5, 4) == 15) {
        u.kind = field(f.k - 6, 1) ? kNan : kInf;
        return;
    }
    u.e = field(large ? f.s - 2 : f.s, f.n);
    mpz_fdiv_r_2exp(u.c, x, large ? f.s - 2 : f.s);
    if (large) mpz_setbit(u.c, f.s);
    if (!f.ieee && u.e == f.emax + 1) u.kind = mpz_sgn(u.c) ? kNan : kInf;
}

// The encoder's choice: trailing zeros into the exponent up to the largest one.
void canonical(const Format &f, mpz_ptr c, long &e) {
    while (mpz_sgn(c) != 0 && e < f.emax && mpz_divisible_ui_p(c, 10)) {
        mpz_divexact_ui(c, c, 10);
        ++e;
    }
}

// |v| of a regular record as num / den.
void exact_value(const tvl_float *v, mpz_ptr num, mpz_ptr den) {
    mpz_import(num, (v->precision + 63) / 64, -1, 8, 0, 0, v->words);
    mpz_set_ui(den, 1);
    const int64_t e2 = v->exponent - int64_t(v->precision);
    mpz_mul_2exp(e2 >= 0 ? num : den, e2 >= 0 ? num : den, mp_bitcnt_t(e2 >= 0 ? e2 : -e2));
}

// The correctly rounded encoding of a regular record, computed with exact integers.
Words reference_encode(const Format &f, const tvl_float *v) {
    Z num, den, a, b, c, r, ten, one;
    mpz_set_ui(one, 1);
    exact_value(v, num, den);
    // c = floor(|v| / 10^q), r = twice the remainder, b the divisor.
    const auto scaled = [&](long q) {
        mpz_ui_pow_ui(ten, 10, unsigned(q < 0 ? -q : q));
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
    if (mpz_sgn(c) == 0) e = 0;
    canonical(f, c, e);
    for (; e > f.emax; --e) {
        if (digits(c) >= f.p) return infinity(f, v->sign < 0);
        mpz_mul_ui(c, c, 10);
    }
    return pack(f, v->sign < 0, c, e);
}

FloatPtr random_float(std::mt19937_64 &rng, uint32_t precision, int64_t exponent) {
    FloatPtr v(tvl_float_alloc(precision));
    const uint32_t words = (precision + 63) / 64, top = (precision - 1) % 64;
    for (uint32_t i = 0; i < words; ++i) v->words[i] = rng();
    v->words[words - 1] &= top == 63 ? ~uint64_t{0} : (uint64_t{1} << (top + 1)) - 1;
    v->words[words - 1] |= uint64_t{1} << top;
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
// and nudged by -1, 0 or +1 in the last of them (the nudge lies beyond the p + 4 digits of the
// expansion from j = 3 on, where only the rounding to odd keeps it).
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
    FloatPtr v(tvl_float_alloc(bits + 8));
    mpz_export(v->words, nullptr, -1, 8, 0, 0, n);
    v->exponent = bits;
    v->sign = rng() % 2 ? 1 : -1;
    return v;
}

TEST(DecimalFormats, EncodingIsCorrectlyRounded) {
    std::mt19937_64 rng(1);
    for (const Format &f : kFormats) {
        const long lo = long(double(-f.bias - f.p) * 3.33) - 10;
        const long hi = long(double(f.emax - f.bias + f.p) * 3.33) + 10;
        for (uint32_t precision : {1u, 8u, 24u, 53u, 64u, 113u, 240u, 1000u}) {
            for (int i = 0; i < kCount / 3; ++i) {
                const long x =
                    std::max(lo, -f.window) +
                    long(rng() % uint64_t(std::min(hi, f.window) - std::max(lo, -f.window)));
                const FloatPtr v = i % 4 == 0 ? near_tie(rng, f) : random_float(rng, precision, x);
                Words got((f.k + 31) / 32);
                f.encode(v.get(), got.data());
                ASSERT_EQ(got, reference_encode(f, v.get()))
                    << f.name << " P " << precision << " exponent " << x;
            }
        }
    }
}

// Biased exponents drawn for a format (decimal256: a slice around 10^0).
long random_exponent(std::mt19937_64 &rng, const Format &f) {
    const long span = std::min(f.emax + 1, long(double(f.window) / 3.33));
    const long lo = f.window < kAll ? f.bias - span / 2 : 0;
    return lo + long(rng() % uint64_t(span));
}

// Half random bits, half packed from a random coefficient (one in eight of p + 1 digits or
// more, non-canonical) and exponent.
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
    return pack(f, rng() % 2 != 0, c, random_exponent(rng, f));
}

// The record equals sign * c * 10^q rounded to its precision (MPFR, one rounding).
::testing::AssertionResult decodes_to(const tvl_float *v, bool neg, mpz_ptr c, long q) {
    Mpfr exact(256), want(v->precision), got(v->precision);
    Z ten, m;
    mpfr_set_z(exact.get(), c, MPFR_RNDN);
    mpz_ui_pow_ui(ten, 10, unsigned(q < 0 ? -q : q));
    if (q < 0) mpfr_div_z(want.get(), exact.get(), ten, MPFR_RNDN);
    if (q >= 0) mpfr_mul_z(want.get(), exact.get(), ten, MPFR_RNDN);
    if (!tvl_float_is_regular(v) || tvl_float_is_neg(v) != neg) {
        return ::testing::AssertionFailure() << "class or sign";
    }
    mpz_import(m, (v->precision + 63) / 64, -1, 8, 0, 0, v->words);
    mpfr_set_z_2exp(got.get(), m, v->exponent - int64_t(v->precision), MPFR_RNDN);
    if (mpfr_equal_p(got.get(), want.get())) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << mpfr_get_d(got.get(), MPFR_RNDN) << " vs " << mpfr_get_d(want.get(), MPFR_RNDN);
}

TEST(DecimalFormats, DecodingIsCorrectlyRounded) {
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
                const bool zero = u.kind == kFinite && (mpz_sgn(u.c) == 0 || digits(u.c) > f.p);
                if (u.kind == kNan) {
                    EXPECT_TRUE(tvl_float_is_nan(v.get()) && !tvl_float_is_neg(v.get()));
                } else if (u.kind == kInf || zero) {
                    EXPECT_TRUE(zero ? tvl_float_is_zero(v.get()) : tvl_float_is_inf(v.get()));
                    EXPECT_EQ(tvl_float_is_neg(v.get()), u.neg) << f.name;
                } else {
                    EXPECT_TRUE(decodes_to(v.get(), u.neg, u.c, u.e - f.bias))
                        << f.name << " P " << precision << " E " << u.e;
                }
            }
        }
    }
}

TEST(DecimalFormats, RoundTrips) {
    std::mt19937_64 rng(3);
    for (const Format &f : kFormats) {
        // Canonical patterns (the encoder's own choice of exponent) come back bit for bit
        // through a precision that holds p digits.
        for (int i = 0; i < kCount; ++i) {
            Z c;
            random_coefficient(rng, 1 + long(rng() % uint64_t(f.p)), c);
            long e = random_exponent(rng, f);
            canonical(f, c, e);
            const Words w = pack(f, rng() % 2 != 0, c, e);
            const FloatPtr v(tvl_float_alloc(uint32_t(4 * f.p + 8)));
            ASSERT_TRUE(f.decode(v.get(), w.data()));
            Words back(w.size());
            f.encode(v.get(), back.data());
            EXPECT_EQ(back, w) << f.name << " E " << e;
        }
        // Values of at most p significant digits, M * 2^x with M odd, come back exactly at
        // their own precision.
        int checked = 0;
        for (int i = 0; checked < kCount / 4; ++i) {
            const auto bits = uint32_t(1 + rng() % uint64_t(std::min(60L, 3 * f.p + 1)));
            const long x = long(rng() % uint64_t(5 * f.p + 6)) - (2 * f.p + 3);
            const uint64_t m = (rng() >> (64 - bits)) | 1 | uint64_t{1} << (bits - 1);
            Z n;
            mpz_set_ui(n, m);
            if (x >= 0) mpz_mul_2exp(n, n, mp_bitcnt_t(x));
            for (long j = x; j < 0; ++j) mpz_mul_ui(n, n, 5);
            if (digits(n) > f.p) continue;
            ++checked;
            const FloatPtr v(tvl_float_alloc(bits)), back(tvl_float_alloc(bits));
            v->words[0] = m;
            v->exponent = x + bits;
            v->sign = i % 2 != 0 ? -1 : 1;
            Words w((f.k + 31) / 32);
            f.encode(v.get(), w.data());
            ASSERT_TRUE(f.decode(back.get(), w.data()));
            EXPECT_TRUE(back->sign == v->sign && back->exponent == v->exponent &&
                        back->words[0] == m)
                << f.name << " " << m << " * 2^" << x;
        }
    }
}

#ifdef TVLR_TEST_DECIMAL_REFERENCE
struct Reference {
    const Format &format;
    void (*encode)(double, uint32_t *);
    double (*decode)(const uint32_t *);
};
const Reference kReferences[] = {
    {kFormats[1], [](double x, uint32_t *w) { w[0] = ref_dec32_from_double(x); },
     [](const uint32_t *w) { return ref_double_from_dec32(w[0]); }},
    {kFormats[2],
     [](double x, uint32_t *w) {
         const uint64_t v = ref_dec64_from_double(x);
         w[0] = uint32_t(v), w[1] = uint32_t(v >> 32);
     },
     [](const uint32_t *w) { return ref_double_from_dec64(w[0] | uint64_t{w[1]} << 32); }},
    {kFormats[3], ref_dec128_from_double, ref_double_from_dec128},
};
#endif

// Binary64 values (subnormals included) at precision 53 against the compiler's conversions:
// its encodings carry the same value, and the same bits once its coefficient is brought to the
// largest exponent at which it is exact (it keeps p digits for an inexact result, and for some
// exact ones a smaller exponent); its decodings give the same double.
TEST(DecimalFormats, AgreesWithCompilerConversions) {
#ifndef TVLR_TEST_DECIMAL_REFERENCE
    GTEST_SKIP() << "the C compiler has no decimal types";
#else
    std::mt19937_64 rng(4);
    for (const Reference &ref : kReferences) {
        const Format &f = ref.format;
        for (int i = 0; i < 20 * kCount; ++i) {
            const uint64_t bits = i % 4 == 0 ? rng() & 0x800FFFFFFFFFFFFFu : rng();
            const double d = std::bit_cast<double>(bits);
            if (std::isnan(d)) continue;
            const FloatPtr v(tvl_float_alloc(53));
            tvl_float_from_double(v.get(), d);
            Words got(f.k / 32), want(f.k / 32);
            f.encode(v.get(), got.data());
            ref.encode(d, want.data());
            Unpacked u;
            unpack(f, want, u);
            if (u.kind == kFinite) {
                canonical(f, u.c, u.e);
                want = pack(f, u.neg, u.c, mpz_sgn(u.c) == 0 ? 0 : u.e);
            }
            ASSERT_EQ(got, want) << f.name << " " << d;

            // Decoding, where the double neither overflows nor underflows, and for canonical
            // coefficients only (the compiler reads a large-form coefficient of p + 1 digits as
            // it stands, not as zero).
            const Words w = random_pattern(rng, f);
            unpack(f, w, u);
            const double r = ref.decode(w.data());
            const bool finite = u.kind == kFinite && mpz_sgn(u.c) != 0;
            if (finite && (digits(u.c) > f.p || !(std::isnormal(r) && std::fabs(r) > DBL_MIN))) {
                continue;
            }
            const FloatPtr back(tvl_float_alloc(53)), expect(tvl_float_alloc(53));
            ASSERT_TRUE(f.decode(back.get(), w.data()));
            tvl_float_from_double(expect.get(), r);
            EXPECT_TRUE(back->exponent == expect->exponent && back->sign == expect->sign &&
                        back->words[0] == expect->words[0])
                << f.name << " " << std::hex << w.back() << " " << w[0];
        }
    }
#endif
}

FloatPtr parsed(const char *text, uint32_t precision) {
    FloatPtr v(tvl_float_alloc(precision));
    EXPECT_TRUE(tvl_float_from_str(v.get(), text, 10)) << text;
    return v;
}

TEST(DecimalFormats, EdgeCases) {
    struct Encode {
        int format;
        const char *text;
        Words want;
    };
    const Encode encodes[] = {
        {1, "1", {0x32800001}},
        {1, "0.1", {0x32000001}},        // the binary64 nearest 0.1: C 1, E 100
        {1, "9999999.5", {0x36000001}},  // tie to 10000000: C 1, E 108
        {0, "0.125", {0x2C0C}},          // tie to even: 12e-3
        {0, "0.375", {0x2C26}},          // tie to even: 38e-3
        {0, "99", {0x3063}},
        {0, "100", {0x3401}},           // C 1, E 26
        {1, "9999999", {0x6CB8967F}},   // large form
        {1, "1e96", {0x5F8F4240}},      // clamped: C 1000000, E 191
        {1, "1e97", {0x78000000}},      // overflow
        {1, "-1e-101", {0x80000001}},   // smallest unit
        {1, "0.6e-101", {0x00000001}},  // rounds up to it
        {1, "0.4e-101", {0x00000000}},  // rounds down to zero
        {1, "1e-102", {0x00000000}},
        {1, "-nan", {0x7C000000}},  // NaN drops the sign
        {1, "-inf", {0xF8000000}},
        {2, "-0", {0, 0x80000000}},
        {4, "nan", {0, 0, 0, 0, 0, 0, 0, 0x7FFFFC00}},
        {4, "-inf", {0, 0, 0, 0, 0, 0, 0, 0xFFFFF800}},
        {4, "1", {1, 0, 0, 0, 0, 0, 0, 0x4AB0D800}},  // C 1, E 611867
    };
    for (const Encode &row : encodes) {
        const Format &f = kFormats[row.format];
        Words got((f.k + 31) / 32);
        f.encode(parsed(row.text, 200).get(), got.data());
        EXPECT_EQ(got, row.want) << f.name << " " << row.text;
    }

    struct Decode {
        int format;
        Words bits;
        const char *want;  // the value as tvl_float_to_str prints it at precision 53
    };
    const Decode decodes[] = {
        {1, {0x7C000000}, "nan"},
        {1, {0xFE000000}, "nan"},  // signaling and negative: still a positive NaN
        {1, {0xF8000000}, "-inf"},
        {1, {0x6CBFFFFF}, "0.0"},  // large form beyond 10^7 - 1: non-canonical
        {0, {0x3064}, "0.0"},      // 100 in the small form of decimal16: non-canonical
        {0, {0x8000}, "-0.0"},
        {0, {0x2C0C}, "1.2e-1"},
        {4, {1, 0, 0, 0, 0, 0, 0, 0x7FFFF800}, "nan"},  // any coefficient bit
        {4, {0, 0, 0, 0, 0, 0, 0, 0xFFFFF800}, "-inf"},
        {4, {1, 0, 0, 0, 0, 0, 0, 0x4AB0D800}, "1e+0"},
    };
    for (const Decode &row : decodes) {
        const FloatPtr v(tvl_float_alloc(53));
        ASSERT_TRUE(kFormats[row.format].decode(v.get(), row.bits.data()));
        char buf[64];
        ASSERT_GT(tvl_float_to_str(v.get(), buf, sizeof buf, 10), 0);
        EXPECT_STREQ(buf, row.want) << kFormats[row.format].name << " " << row.bits.back();
    }
}

// Exponents near the ends of the 64-bit range overflow or underflow without arithmetic; null
// arguments write or change nothing.
TEST(DecimalFormats, ExtremesAndNulls) {
    for (const Format &f : kFormats) {
        for (const int64_t exponent : {INT64_MAX, INT64_MAX - 40000, TVL_FLOAT_EXP_INF + 1,
                                       int64_t{1} << 40, -(int64_t{1} << 40)}) {
            const FloatPtr v(tvl_float_alloc(100));
            v->words[1] = uint64_t{1} << 35;
            v->exponent = exponent;
            v->sign = -1;
            Words got((f.k + 31) / 32), want = got;
            f.encode(v.get(), got.data());
            if (exponent > 0) {
                want = infinity(f, true);
            } else {
                want.back() = 0x80000000u >> (32 * want.size() - f.k);
            }
            EXPECT_EQ(got, want) << f.name << " " << exponent;
        }
        Words w((f.k + 31) / 32, 0x5A5A);
        f.encode(nullptr, w.data());
        EXPECT_EQ(w, Words(w.size(), 0x5A5A));
        EXPECT_FALSE(f.decode(nullptr, w.data()));
    }
    tvl_float_to_dec256(parsed("1", 53).get(), nullptr);
    EXPECT_FALSE(tvl_float_from_dec256(parsed("1", 53).get(), nullptr));
}

// Without memory the encoder writes +0 (the expansion falls back to the shortest text first);
// the decoder reports false.
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
