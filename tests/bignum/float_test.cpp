// Big float record: lifetime, classes, exact construction from doubles and floats, and
// re-rounding to another precision, against MPFR as the independent reference on seeded random
// values at precisions 1..300 and a few large ones.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "float_support.h"
#include "tvlr.h"

namespace float_test {

// Shared with float_scan_test.cpp, which declares them.

void widen_mpfr_exponents() {
    mpfr_set_emin(mpfr_get_emin_min());
    mpfr_set_emax(mpfr_get_emax_max());
}

::testing::AssertionResult same_value(const tvl_float *f, mpfr_srcptr want) {
    const bool neg = tvl_float_is_neg(f);
    if (mpfr_nan_p(want)) {
        if (tvl_float_is_nan(f) && !neg) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "want NaN, exponent " << f->exponent;
    }
    if (neg != (mpfr_signbit(want) != 0)) return ::testing::AssertionFailure() << "sign differs";
    if (mpfr_inf_p(want)) {
        if (tvl_float_is_inf(f)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "want infinity, exponent " << f->exponent;
    }
    if (mpfr_zero_p(want)) {
        if (!tvl_float_is_zero(f)) {
            return ::testing::AssertionFailure() << "want zero, exponent " << f->exponent;
        }
        for (uint32_t i = 0; i < f->word_count; ++i) {
            if (f->words[i] != 0) return ::testing::AssertionFailure() << "zero with bits set";
        }
        return ::testing::AssertionSuccess();
    }
    if (f->exponent != mpfr_get_exp(want)) {
        return ::testing::AssertionFailure()
               << "exponent " << f->exponent << ", want " << mpfr_get_exp(want);
    }
    // The significand as an integer of exactly `precision` bits.
    mpz_t z;
    mpz_init(z);
    mpfr_get_z_2exp(z, want);
    mpz_abs(z, z);
    std::vector<uint64_t> words(f->word_count, 0);
    size_t count = 0;
    mpz_export(words.data(), &count, -1, sizeof(uint64_t), 0, 0, z);
    mpz_clear(z);
    for (uint32_t i = 0; i < f->word_count; ++i) {
        if (f->words[i] != words[i]) {
            return ::testing::AssertionFailure() << "significand word " << i << " is " << std::hex
                                                 << f->words[i] << ", want " << words[i];
        }
    }
    return ::testing::AssertionSuccess();
}

// Precisions worth covering: every one up to 300, the word and limb boundaries around them,
// and a few large ones.
std::vector<uint32_t> test_precisions() {
    std::vector<uint32_t> p;
    for (uint32_t i = 1; i <= 300; ++i) p.push_back(i);
    for (uint32_t i : {511u, 512u, 513u, 1000u, 4000u, 32767u, 32768u}) p.push_back(i);
    return p;
}

}  // namespace float_test

namespace {

using namespace float_test;

// M of a record with precision <= 64.
uint64_t significand(const tvl_float *f) {
    return f->words[0];
}

TEST(FloatRecord, AllocationAndCallerBuffers) {
    EXPECT_EQ(tvl_float_alloc(0), nullptr);
    EXPECT_EQ(tvl_float_alloc(32769), nullptr);
    for (uint32_t p : {1u, 64u, 65u, 32768u}) {
        FloatPtr f = make_float(p);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->precision, p);
        EXPECT_EQ(f->word_count, (p + 63) / 64);
        EXPECT_TRUE(f->owned);
        EXPECT_TRUE(tvl_float_is_zero(f.get()));
        EXPECT_FALSE(tvl_float_is_neg(f.get()));
        for (uint32_t i = 0; i < f->word_count; ++i) EXPECT_EQ(f->words[i], 0u);
    }
    uint64_t buf[3] = {~0ull, ~0ull, ~0ull};
    tvl_float f;
    tvl_float_init_buf(&f, 100, buf, 3);
    EXPECT_EQ(f.precision, 100u);
    EXPECT_EQ(f.words, buf);
    EXPECT_EQ(f.word_count, 3u);
    EXPECT_FALSE(f.owned);
    EXPECT_TRUE(tvl_float_is_zero(&f));
    EXPECT_EQ(f.sign, 1);
    for (uint64_t w : buf) EXPECT_EQ(w, 0u);
    EXPECT_TRUE(tvl_float_from_double(&f, 0.1));
    tvl_float_free(nullptr);
}

TEST(FloatRecord, ClassesAndSetters) {
    struct Row {
        const char *name;
        void (*set)(tvl_float *);
        bool nan, inf, zero, regular, neg;
    };
    const Row rows[] = {
        {"nan", [](tvl_float *f) { tvl_float_set_nan(f); }, true, false, false, false, false},
        {"+inf", [](tvl_float *f) { tvl_float_set_inf(f, false); }, false, true, false, false,
         false},
        {"-inf", [](tvl_float *f) { tvl_float_set_inf(f, true); }, false, true, false, false, true},
        {"+0", [](tvl_float *f) { tvl_float_set_zero(f, false); }, false, false, true, false,
         false},
        {"-0", [](tvl_float *f) { tvl_float_set_zero(f, true); }, false, false, true, false, true},
        {"exponent INT64_MIN", [](tvl_float *f) { f->exponent = INT64_MIN; }, false, false, false,
         true, false},
        {"exponent -2^63+4", [](tvl_float *f) { f->exponent = INT64_MIN + 4; }, false, false, false,
         true, false},
        {"exponent INT64_MAX", [](tvl_float *f) { f->exponent = INT64_MAX; }, false, false, false,
         true, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        FloatPtr f = make_float(70);
        f->words[0] = f->words[1] = 0xFF;
        f->sign = -1;  // the setters must set the sign themselves
        row.set(f.get());
        if (row.zero) {
            EXPECT_EQ(f->words[0] | f->words[1], 0u);
        }
        if (row.regular) f->sign = 1;
        EXPECT_EQ(tvl_float_is_nan(f.get()), row.nan);
        EXPECT_EQ(tvl_float_is_inf(f.get()), row.inf);
        EXPECT_EQ(tvl_float_is_zero(f.get()), row.zero);
        EXPECT_EQ(tvl_float_is_regular(f.get()), row.regular);
        EXPECT_EQ(tvl_float_is_neg(f.get()), row.neg);
    }
    EXPECT_FALSE(tvl_float_is_nan(nullptr) || tvl_float_is_inf(nullptr) ||
                 tvl_float_is_zero(nullptr) || tvl_float_is_regular(nullptr) ||
                 tvl_float_is_neg(nullptr));
}

TEST(FloatFromDouble, EdgeCases) {
    struct Row {
        double x;
        uint32_t precision;
        int64_t exponent;
        uint64_t m;
        int sign;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Row rows[] = {
        {1.0, 53, 1, 1ull << 52, 1},
        {1.0, 64, 1, 1ull << 63, 1},
        {0.75, 53, 0, 3ull << 51, 1},
        {std::ldexp(1.0, -1074), 53, -1073, 1ull << 52, 1},
        {-std::ldexp(3.0, -1074), 2, -1072, 3, -1},
        {1.25, 2, 1, 2, 1},  // tie, even kept
        {1.75, 2, 2, 2, 1},  // tie, carry to 2.0
        {std::nextafter(2.0, 0.0), 52, 2, 1ull << 51, 1},
        {std::numeric_limits<double>::max(), 1, 1025, 1, 1},
        {-0.0, 53, TVL_FLOAT_EXP_ZERO, 0, -1},
        {-nan, 53, TVL_FLOAT_EXP_NAN, 0, 1},
        {-inf, 8, TVL_FLOAT_EXP_INF, 0, -1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.x);
        FloatPtr f = make_float(row.precision);
        ASSERT_TRUE(tvl_float_from_double(f.get(), row.x));
        EXPECT_EQ(f->exponent, row.exponent);
        EXPECT_EQ(f->sign, row.sign);
        if (row.exponent != TVL_FLOAT_EXP_NAN && row.exponent != TVL_FLOAT_EXP_INF) {
            EXPECT_EQ(significand(f.get()), row.m);
        }
    }
    EXPECT_FALSE(tvl_float_from_double(nullptr, 1.0));
    tvl_float broken{};  // precision 0, no buffer
    EXPECT_FALSE(tvl_float_from_double(&broken, 1.0));
}

// Random doubles of every kind: uniform bit patterns, subnormals, and values with few bits.
double random_double(std::mt19937_64 &rng) {
    switch (rng() % 4) {
        case 0:
            return std::bit_cast<double>(rng());
        case 1:
            return std::bit_cast<double>(rng() >> 12);  // subnormal
        case 2:
            return std::ldexp(static_cast<double>(rng() >> (rng() % 64)), int(rng() % 200) - 100);
        default:
            return std::bit_cast<double>((rng() | 0x000FFFFFFFFFFFFFull) ^ (rng() % 4));
    }
}

TEST(FloatFromDouble, MatchesMpfr) {
    float_test::widen_mpfr_exponents();
    std::mt19937_64 rng(42);
    for (uint32_t p : float_test::test_precisions()) {
        FloatPtr f = make_float(p);
        Mpfr want(p);
        for (int i = 0; i < 40; ++i) {
            const double x = random_double(rng);
            ASSERT_TRUE(tvl_float_from_double(f.get(), x));
            mpfr_set_d(want.get(), x, MPFR_RNDN);
            ASSERT_TRUE(same_value(f.get(), want.get())) << "x " << x << " precision " << p;
            const auto y = static_cast<float>(x);
            ASSERT_TRUE(tvl_float_from_float(f.get(), y));
            mpfr_set_flt(want.get(), y, MPFR_RNDN);
            ASSERT_TRUE(same_value(f.get(), want.get())) << "float " << y << " precision " << p;
        }
    }
}

TEST(FloatCopy, EdgeCases) {
    FloatPtr p64 = make_float(64);
    FloatPtr p8 = make_float(8);
    ASSERT_TRUE(tvl_float_from_double(p64.get(), 255.5));
    ASSERT_TRUE(tvl_float_copy(p8.get(), p64.get()));
    EXPECT_EQ(p8->exponent, 9);
    EXPECT_EQ(significand(p8.get()), 0x80u);  // 256

    ASSERT_TRUE(tvl_float_from_double(p8.get(), -1.0));
    p64->words[0] = ~0ull;
    ASSERT_TRUE(tvl_float_copy(p64.get(), p8.get()));
    EXPECT_EQ(p64->exponent, 1);
    EXPECT_EQ(p64->sign, -1);
    EXPECT_EQ(significand(p64.get()), 1ull << 63);

    // Classes keep their sign; the words are cleared.
    for (double x : {-0.0, -std::numeric_limits<double>::infinity()}) {
        ASSERT_TRUE(tvl_float_from_double(p64.get(), x));
        p8->words[0] = 0xFF;
        ASSERT_TRUE(tvl_float_copy(p8.get(), p64.get()));
        EXPECT_EQ(p8->exponent, p64->exponent);
        EXPECT_EQ(p8->sign, -1);
        EXPECT_EQ(p8->words[0], 0u);
    }

    // A carry out of the largest exponent gives infinity; a significand without its top bit
    // is normalised, and one that would fall to the class markers reads as zero.
    p64->sign = 1;
    p64->exponent = INT64_MAX;
    p64->words[0] = ~0ull;
    ASSERT_TRUE(tvl_float_copy(p8.get(), p64.get()));
    EXPECT_TRUE(tvl_float_is_inf(p8.get()));
    p64->exponent = 10;
    p64->words[0] = 3;
    ASSERT_TRUE(tvl_float_copy(p8.get(), p64.get()));
    EXPECT_EQ(p8->exponent, 10 - 62);
    EXPECT_EQ(significand(p8.get()), 0xC0u);
    p64->exponent = INT64_MIN + 10;
    ASSERT_TRUE(tvl_float_copy(p8.get(), p64.get()));
    EXPECT_TRUE(tvl_float_is_zero(p8.get()));

    EXPECT_FALSE(tvl_float_copy(nullptr, p8.get()));
    EXPECT_FALSE(tvl_float_copy(p8.get(), nullptr));
    tvl_float broken{};
    EXPECT_FALSE(tvl_float_copy(&broken, p8.get()));
}

TEST(FloatCopy, MatchesMpfr) {
    float_test::widen_mpfr_exponents();
    std::mt19937_64 rng(7);
    const std::vector<uint32_t> precisions = float_test::test_precisions();
    for (int i = 0; i < 3000; ++i) {
        const uint32_t ps = precisions[rng() % precisions.size()];
        const uint32_t pd = precisions[rng() % precisions.size()];
        FloatPtr src = make_float(ps);
        FloatPtr dst = make_float(pd);
        // A random significand of exactly ps bits, often with long runs of ones so that the
        // rounding carries.
        const bool ones = rng() % 3 == 0;
        for (uint32_t w = 0; w < src->word_count; ++w) {
            src->words[w] = ones ? ~(rng() % 4) : rng();
        }
        if (ps % 64 != 0) src->words[ps / 64] &= (1ull << (ps % 64)) - 1;
        src->words[(ps - 1) / 64] |= 1ull << ((ps - 1) % 64);
        src->sign = rng() % 2 == 0 ? 1 : -1;
        src->exponent = static_cast<int64_t>(rng() % 2000001) - 1000000;

        Mpfr exact(ps);
        mpz_t z;
        mpz_init(z);
        mpz_import(z, src->word_count, -1, sizeof(uint64_t), 0, 0, src->words);
        mpfr_set_z_2exp(exact.get(), z, src->exponent - ps, MPFR_RNDN);
        mpz_clear(z);
        if (src->sign < 0) mpfr_neg(exact.get(), exact.get(), MPFR_RNDN);
        Mpfr want(pd);
        mpfr_set(want.get(), exact.get(), MPFR_RNDN);

        ASSERT_TRUE(tvl_float_copy(dst.get(), src.get()));
        ASSERT_TRUE(same_value(dst.get(), want.get())) << ps << " -> " << pd;
    }
}

}  // namespace
