// Number text to big float, IEEE binary layouts and binary64. The edge cases sit in one table;
// the weight is carried by seeded random comparisons: with MPFR at many precisions and layouts,
// with std::from_chars for binary64 (random digit strings, shortest texts of random doubles,
// exact halfway points and their neighbours, long and subnormal inputs), and of the fast paths
// with the exact big-integer path.
#include <gmp.h>
#include <gtest/gtest.h>
#include <mpfr.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bignum/float_core.h"
#include "float_support.h"
#include "support/failing_alloc.h"
#include "tvlr.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr int kScale = 10;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kScale = 10;
#else
constexpr int kScale = 1;
#endif
#else
constexpr int kScale = 1;
#endif

using namespace float_test;

class Mpz {
  public:
    Mpz() { mpz_init(v_); }
    Mpz(const Mpz &) = delete;
    Mpz &operator=(const Mpz &) = delete;
    ~Mpz() { mpz_clear(v_); }
    mpz_ptr get() { return v_; }
    std::string str() {
        std::string s(mpz_sizeinbase(v_, 10) + 2, '\0');
        mpz_get_str(s.data(), 10, v_);
        s.resize(std::strlen(s.c_str()));
        return s;
    }

  private:
    mpz_t v_;
};

uint64_t strtod_bits(const char *text) {
    return std::bit_cast<uint64_t>(tvl_float_strtod(text));
}

uint64_t exact_bits(const std::string &text, uint32_t base = 10) {
    uint64_t bits = 0;
    tvl::flt::text_to_binary64_exact(text, base, &bits);
    return bits;
}

// The reference binary64 of a base-10 text.
uint64_t from_chars_bits(const std::string &text) {
    double d = 0;
    const char *first = text.c_str();
    while (*first == ' ') ++first;
    const bool negative = *first == '-';
    if (negative) ++first;
    const auto res = std::from_chars(first, text.c_str() + text.size(), d);
    if (res.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone on overflow and underflow; tell them apart by the
        // magnitude.
        Mpfr x(8);
        mpfr_strtofr(x.get(), first, nullptr, 10, MPFR_RNDN);
        d = mpfr_cmp_ui(x.get(), 1) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return std::bit_cast<uint64_t>(negative ? -d : d);
}

// ---------------------------------------------------------------------------------------
// Edge cases
// ---------------------------------------------------------------------------------------

struct Layout {
    uint32_t e, m;
    int32_t bias;
};

TEST(FloatScan, EdgeCases) {
    // What tvl_float_from_str gives at precision 53: kSame is the binary64 value of the row,
    // kAny any value (the row is about binary64 range limits), kMalformed a refusal that leaves
    // the record alone; anything else is the exponent (or class marker) of the result.
    constexpr int64_t kSame = 1 << 30;
    constexpr int64_t kAny = kSame + 1;
    constexpr int64_t kMalformed = kSame + 2;
    struct Row {
        std::string text;
        uint32_t base;
        uint64_t bits;  // the encoding in the layout; for binary64 that of every entry point
        int64_t big;
        Layout lay = {11, 52, 1023};
    };
    const uint64_t inf = 0x7FF0000000000000ull;
    const uint64_t neg = 0x8000000000000000ull;
    const Layout half = {5, 10, 15};
    // The midpoint 1 + 2^-53 followed by more digits than the limbs hold: a nonzero digit far
    // out must still lift it above the tie.
    const std::string mid = "1.00000000000000011102230246251565404236316680908203125";
    const std::string hex_mid = "0x1.00000000000008";
    const Row rows[] = {
        {"0.1", 10, 0x3FB999999999999Aull, kSame},
        {"9007199254740993", 10, 0x4340000000000000ull, kSame},  // tie, even kept
        {"9007199254740995", 10, 0x4340000000000002ull, kSame},
        {"4.9406564584124654e-324", 10, 1, kAny},
        {"2.4703282292062327e-324", 10, 0, kAny},
        {"2.4703282292062328e-324", 10, 1, kAny},
        {"1.7976931348623158e308", 10, 0x7FEFFFFFFFFFFFFFull, kSame},
        {"1.7976931348623159e308", 10, inf, kAny},
        {"  -0", 10, neg, kSame},
        {"\t\r\n+.5", 10, 0x3FE0000000000000ull, kSame},
        {"5.", 10, 0x4014000000000000ull, kSame},
        {"-nan", 10, 0xFFF8000000000000ull, kSame},
        {"nAn(1)", 10, 0x7FF8000000000000ull, kSame},
        {"INF", 10, inf, kSame},
        {"-Infinity", 10, neg | inf, kSame},
        {"in", 10, 0, kMalformed},
        {"- 1", 10, 0, kMalformed},
        {"", 10, 0, kMalformed},
        {".", 10, 0, kMalformed},
        {"+", 10, 0, kMalformed},
        {"e5", 10, 0, kMalformed},
        {".e1", 10, 0, kMalformed},
        {"1e", 10, 0, kMalformed},
        {"1e+", 10, 0, kMalformed},
        {"1ex", 10, 0, kMalformed},
        {"1.5abc", 10, 0x3FF8000000000000ull, kSame},
        {"12ab", 10, 0x4028000000000000ull, kSame},
        {"0x1.8p1", 16, 0x4008000000000000ull, kSame},
        {"1.8P1", 16, 0x4008000000000000ull, kSame},
        {"0x.8p0", 16, 0x3FE0000000000000ull, kSame},
        {"1e", 16, 0x403E000000000000ull, kSame},  // 'e' is a digit
        {"0xg", 16, 0, kSame},
        {"0x", 16, 0, kSame},
        {"0x.", 16, 0, kMalformed},
        {"0x1p", 16, 0, kMalformed},
        {"-0x1p-1075", 16, neg, kAny},
        {"0x1.00000000000008p0", 16, 0x3FF0000000000000ull, kSame},  // tie, even kept
        {"0x1.000000000000080000000001p0", 16, 0x3FF0000000000001ull, kSame},
        {"0x1.fffffffffffff8p1023", 16, inf, kAny},
        {"1e99999999999999999999", 10, inf, kSame},
        {"1e-99999999999999999999", 10, 0, kSame},
        {"0e99999999999999999999", 10, 0, kSame},
        {"1e10000", 10, inf, kSame},
        {"-1e-10000", 10, neg, kSame},
        // Exponents at the edge of 64 bits minus the digit count: no overflow, sound results.
        {"0.5e-9223372036854775808", 10, 0, kSame},
        {"12.5e9223372036854775807", 10, inf, kSame},
        {"-0.01e-9223372036854775807", 10, neg, kSame},
        {"0x1.8p-9223372036854775808", 16, 0, kSame},
        {"0x10.8p9223372036854775807", 16, inf, kSame},
        {"0x0.08p-9223372036854775807", 16, 0, kSame},
        // Long digit runs of moderate value: trailing zeros, and digits past what the limbs hold.
        {"1.000000000000000000000000000000000000000000000000000000000000001", 10,
         0x3FF0000000000000ull, kSame},
        {"4.94065645841246544176568792868221372365059802614325e-324", 10, 1, kAny},
        {mid + std::string(10000, '0'), 10, 0x3FF0000000000000ull, kSame},
        {mid + std::string(10000, '0') + "1", 10, 0x3FF0000000000001ull, kSame},
        {hex_mid + std::string(9000, '0') + "p0", 16, 0x3FF0000000000000ull, kSame},
        {hex_mid + std::string(9000, '0') + "1p0", 16, 0x3FF0000000000001ull, kSame},
        // 10^20000 * 10^-19990, and (10^20000 + 1) * 10^-19990: beyond the limbs, not infinite.
        {"1" + std::string(20000, '0') + "e-19990", 10, 0x4202A05F20000000ull, kSame},
        {"1" + std::string(19999, '0') + "1e-19990", 10, 0x4202A05F20000000ull, kSame},
        // Saturation of the big float near 2^+-32768.
        {"1e-9864", 10, 0, -32767},
        {"0x1p-32767", 16, 0, -32766},
        {"0x8p-32770", 16, 0, -32766},
        {"0x0.8p-32767", 16, 0, TVL_FLOAT_EXP_ZERO},
        {"0x1p32767", 16, inf, 32768},
        {"0x1p32768", 16, inf, TVL_FLOAT_EXP_INF},
        // binary16: the largest finite and the midpoint above it, subnormal steps and ties,
        // and the tie between the largest subnormal and the smallest normal.
        {"65519", 10, 0x7BFF, 16, half},
        {"65520", 10, 0x7C00, 16, half},
        {"5.9604644775390625e-8", 10, 0x0001, -23, half},
        {"2.98023223876953125e-8", 10, 0x0000, -24, half},
        {"8.94069671630859375e-8", 10, 0x0002, -23, half},
        {"0x1.ffcp-15", 16, 0x0400, -14, half},
        {"-nan", 10, 0xFE00, TVL_FLOAT_EXP_NAN, half},
        {"-0x1p-25", 16, 0x8000, -24, half},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text.substr(0, 60));
        const char *text = row.text.c_str();
        if (row.lay.m == 52) {
            uint64_t bits = 1;
            tvl::flt::text_to_binary64(text, row.base, &bits);
            EXPECT_EQ(bits, row.bits);
            EXPECT_EQ(exact_bits(row.text, row.base), row.bits);
            if (row.base == 10) {
                EXPECT_EQ(strtod_bits(text), row.bits);
            }
        }
        uint32_t out[3] = {7, 7, 7};
        tvl_float_strtoieee_bin(text, row.base, row.lay.e, row.lay.m, row.lay.bias, out, 2);
        EXPECT_EQ(out[0] | (uint64_t{out[1]} << 32), row.bits);
        EXPECT_EQ(out[2], 7u);

        FloatPtr f = make_float(53);
        f->exponent = 12345;
        EXPECT_EQ(tvl_float_from_str(f.get(), text, row.base), row.big != kMalformed);
        if (row.big == kMalformed) {
            EXPECT_EQ(f->exponent, 12345);  // unchanged
        } else if (row.big == kSame) {
            FloatPtr want = make_float(53);
            ASSERT_TRUE(tvl_float_from_double(want.get(), std::bit_cast<double>(row.bits)));
            EXPECT_EQ(f->exponent, want->exponent);
            EXPECT_EQ(f->sign, want->sign);
            EXPECT_EQ(f->words[0], want->words[0]);
        } else if (row.big != kAny) {
            EXPECT_EQ(f->exponent, row.big);
        }
    }

    // Arguments that are refused; layouts that are refused and outputs too short for the
    // layout stay zero, and nothing is written past them.
    uint64_t bits = 5;
    tvl::flt::text_to_binary64(nullptr, 10, &bits);
    EXPECT_EQ(bits, 0u);
    tvl::flt::text_to_binary64("1", 8, &bits);
    EXPECT_EQ(bits, 0u);
    EXPECT_EQ(strtod_bits(nullptr), 0u);
    FloatPtr f = make_float(10);
    EXPECT_FALSE(tvl_float_from_str(f.get(), nullptr, 10));
    EXPECT_FALSE(tvl_float_from_str(f.get(), "1", 2));
    EXPECT_FALSE(tvl_float_from_str(nullptr, "1", 10));
    std::vector<uint32_t> out(1101);
    struct Bad {
        uint32_t e, m;
        size_t n;
    };
    for (const Bad &bad : {Bad{0, 10, 1}, Bad{31, 10, 2}, Bad{5, 0, 1}, Bad{5, 32768, 1100},
                           Bad{11, 52, 1}, Bad{19, 236, 7}}) {
        std::fill(out.begin(), out.end(), 0xFFFFFFFFu);
        tvl_float_strtoieee_bin("-1.5", 10, bad.e, bad.m, 0, out.data(), bad.n);
        for (size_t i = 0; i < bad.n; ++i) {
            EXPECT_EQ(out[i], 0u) << bad.e << " " << bad.m;
        }
        EXPECT_EQ(out[bad.n], 0xFFFFFFFFu);
    }
    tvl_float_strtoieee_bin("1", 10, 5, 10, 15, nullptr, 1);
}

// "0." followed by many random digits, and with zeros in front, at several precisions: the
// digits past the limb ceiling are folded into a sticky digit.
TEST(FloatScan, LongFractionsMatchMpfr) {
    float_test::widen_mpfr_exponents();
    std::mt19937_64 rng(11);
    for (int i = 0; i < 24 / (kScale > 1 ? 6 : 1); ++i) {
        const size_t zeros = i % 3 == 0 ? 0 : rng() % 6000;
        const size_t digits = 9000 + rng() % 6000;
        std::string text = "0." + std::string(zeros, '0');
        for (size_t j = 0; j < digits; ++j) text += static_cast<char>('0' + rng() % 10);
        for (uint32_t p : {24u, 53u, 113u, 237u, 1000u}) {
            FloatPtr f = make_float(p);
            Mpfr want(p);
            mpfr_strtofr(want.get(), text.c_str(), nullptr, 10, MPFR_RNDN);
            ASSERT_TRUE(tvl_float_from_str(f.get(), text.c_str(), 10));
            ASSERT_TRUE(same_value(f.get(), want.get())) << "zeros " << zeros << " p " << p;
        }
        EXPECT_EQ(strtod_bits(text.c_str()), from_chars_bits(text));
    }
}

// ---------------------------------------------------------------------------------------
// Random texts against MPFR
// ---------------------------------------------------------------------------------------

std::string random_digits(std::mt19937_64 &rng, size_t n, uint32_t base) {
    static const char kDigits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) s += kDigits[rng() % base];
    return s;
}

// A random number text that MPFR reads the same way: digits with a '.' somewhere, leading
// zeros now and then, and an exponent that keeps the value well inside the saturation range.
std::string random_text(std::mt19937_64 &rng, uint32_t base) {
    size_t n = 1 + rng() % 40;
    if (rng() % 50 == 0) n = 800;
    std::string digits = random_digits(rng, n, base);
    if (rng() % 4 == 0) digits = std::string(rng() % 30, '0') + digits;
    const size_t dot = rng() % (digits.size() + 1);
    std::string text = rng() % 2 == 0 ? "-" : "";
    if (base == 16 && rng() % 2 == 0) text += "0x";
    text += dot == 0 ? "0" : digits.substr(0, dot);
    if (dot < digits.size()) text += "." + digits.substr(dot);
    const bool wide = rng() % 8 == 0;
    // Wide exponents stay where even 830 significant digits fit the limbs unfolded.
    const int64_t span = base == 10 ? (wide ? 8000 : 400) : (wide ? 25000 : 1300);
    const int64_t e = static_cast<int64_t>(rng() % static_cast<uint64_t>(2 * span)) - span;
    text += (base == 10 ? "e" : "p") + std::to_string(e);
    return text;
}

TEST(FloatScan, RandomTextsMatchMpfr) {
    float_test::widen_mpfr_exponents();
    std::mt19937_64 rng(2024);
    for (uint32_t p : float_test::test_precisions()) {
        FloatPtr f = make_float(p);
        Mpfr want(p);
        const int count = (p > 4000 ? 6 : 24) / (kScale > 1 ? 2 : 1);
        for (int i = 0; i < count; ++i) {
            const uint32_t base = i % 2 == 0 ? 10 : 16;
            const std::string text = random_text(rng, base);
            mpfr_strtofr(want.get(), text.c_str(), nullptr, static_cast<int>(base), MPFR_RNDN);
            ASSERT_TRUE(tvl_float_from_str(f.get(), text.c_str(), base));
            ASSERT_TRUE(same_value(f.get(), want.get())) << text << " at precision " << p;
        }
    }
}

// ---------------------------------------------------------------------------------------
// IEEE binary layouts against MPFR
// ---------------------------------------------------------------------------------------

// The encoding of an MPFR value that already fits the layout (rounded and subnormalised).
std::vector<uint32_t> encode(mpfr_ptr x, const Layout &lay) {
    std::vector<uint32_t> out((1 + lay.e + lay.m + 31) / 32, 0);
    auto put = [&](uint64_t pos, uint64_t bit) {
        if (bit != 0) out[pos / 32] |= uint32_t{1} << (pos % 32);
    };
    const uint64_t ones = (uint64_t{1} << lay.e) - 1;
    if (mpfr_signbit(x)) put(lay.m + lay.e, 1);
    if (mpfr_zero_p(x)) return out;
    if (mpfr_inf_p(x) || mpfr_nan_p(x)) {
        for (uint32_t i = 0; i < lay.e; ++i) put(lay.m + i, 1);
        if (mpfr_nan_p(x)) put(lay.m - 1, 1);
        return out;
    }
    Mpz z;
    const mpfr_exp_t scale = mpfr_get_z_2exp(z.get(), x);  // x = z * 2^scale
    mpz_abs(z.get(), z.get());
    // Integer significand in units of the subnormal step 2^(1 - bias - m).
    const int64_t shift = scale - (1 - lay.bias - static_cast<int64_t>(lay.m));
    if (shift >= 0) {
        mpz_mul_2exp(z.get(), z.get(), static_cast<mp_bitcnt_t>(shift));
    } else {
        EXPECT_TRUE(mpz_divisible_2exp_p(z.get(), static_cast<mp_bitcnt_t>(-shift)));
        mpz_tdiv_q_2exp(z.get(), z.get(), static_cast<mp_bitcnt_t>(-shift));
    }
    // Normal numbers: field = (bits above m), the step grows by 2 per field above 1.
    const int64_t len = static_cast<int64_t>(mpz_sizeinbase(z.get(), 2));
    uint64_t field = 0;
    if (len > lay.m) {
        field = static_cast<uint64_t>(len - lay.m);
        mpz_tdiv_q_2exp(z.get(), z.get(), static_cast<mp_bitcnt_t>(field - 1));
        mpz_clrbit(z.get(), lay.m);
    }
    EXPECT_LT(field, ones);
    for (uint32_t i = 0; i < lay.m; ++i) put(i, mpz_tstbit(z.get(), i));
    for (uint32_t i = 0; i < lay.e; ++i) put(lay.m + i, (field >> i) & 1);
    return out;
}

std::vector<uint32_t> mpfr_reference(const std::string &text, uint32_t base, const Layout &lay) {
    const mpfr_exp_t old_min = mpfr_get_emin();
    const mpfr_exp_t old_max = mpfr_get_emax();
    // MPFR's exponent: value in [2^(E-1), 2^E). Smallest subnormal 2^(1 - bias - m), largest
    // finite just below 2^(2^e - 1 - bias).
    mpfr_set_emin(2 - lay.bias - static_cast<mpfr_exp_t>(lay.m));
    mpfr_set_emax(((mpfr_exp_t{1} << lay.e) - 1) - lay.bias);
    Mpfr x(lay.m + 1);
    int t = mpfr_strtofr(x.get(), text.c_str(), nullptr, static_cast<int>(base), MPFR_RNDN);
    t = mpfr_check_range(x.get(), t, MPFR_RNDN);
    mpfr_subnormalize(x.get(), t, MPFR_RNDN);
    std::vector<uint32_t> out = encode(x.get(), lay);
    mpfr_set_emin(old_min);
    mpfr_set_emax(old_max);
    return out;
}

// Texts around the layout's range: its normal and subnormal numbers and beyond both ends.
std::string random_text_for(std::mt19937_64 &rng, uint32_t base, const Layout &lay) {
    // Binary exponents from below the smallest subnormal to above the largest finite, within
    // the saturation range.
    const int64_t top = std::min<int64_t>((int64_t{1} << lay.e) - lay.bias, 32000);
    const int64_t bottom =
        std::max<int64_t>(1 - lay.bias - static_cast<int64_t>(lay.m) - 3, -32000);
    const int64_t e2 = bottom + static_cast<int64_t>(rng() % static_cast<uint64_t>(top - bottom));
    std::string text = rng() % 2 == 0 ? "-" : "";
    const size_t n = 1 + rng() % (rng() % 8 == 0 ? 120 : 25);
    std::string digits = random_digits(rng, n, base);
    if (digits[0] == '0') digits[0] = '1';
    if (base == 16) {
        return text + "0x" + digits.substr(0, 1) + "." + digits.substr(1) + "p" +
               std::to_string(e2);
    }
    // 2^e2 is about 10^(e2 * log10 2).
    const auto e10 = static_cast<int64_t>(std::floor(static_cast<double>(e2) * 0.30103));
    return text + digits.substr(0, 1) + "." + digits.substr(1) + "e" + std::to_string(e10);
}

TEST(FloatScan, IeeeLayoutsMatchMpfr) {
    const Layout layouts[] = {
        {5, 10, 15}, {8, 23, 127}, {11, 52, 1023}, {15, 112, 16383}, {19, 236, 262143},
        {3, 2, 3},   {4, 3, 7},    {2, 1, 0},      {6, 40, -20},
    };
    std::mt19937_64 rng(99);
    for (const Layout &lay : layouts) {
        const size_t n = (1 + lay.e + lay.m + 31) / 32;
        for (int i = 0; i < 3000 / kScale; ++i) {
            const uint32_t base = i % 3 == 0 ? 16 : 10;
            const std::string text = random_text_for(rng, base, lay);
            std::vector<uint32_t> got(n + 1, 0xAAAAAAAAu);
            tvl_float_strtoieee_bin(text.c_str(), base, lay.e, lay.m, lay.bias, got.data(), n);
            EXPECT_EQ(got[n], 0xAAAAAAAAu) << "wrote past n words";
            got.resize(n);
            ASSERT_EQ(got, mpfr_reference(text, base, lay))
                << text << " in e=" << lay.e << " m=" << lay.m;
        }
    }
}

// ---------------------------------------------------------------------------------------
// Binary64 against std::from_chars
// ---------------------------------------------------------------------------------------

// The exact decimal text of m * 2^e: digits and a power of ten.
std::string exact_decimal(Mpz &m, int64_t e) {
    if (e >= 0) {
        mpz_mul_2exp(m.get(), m.get(), static_cast<mp_bitcnt_t>(e));
        return m.str();
    }
    Mpz five;
    mpz_ui_pow_ui(five.get(), 5, static_cast<unsigned long>(-e));
    mpz_mul(m.get(), m.get(), five.get());
    return m.str() + "e" + std::to_string(e);
}

double random_finite(std::mt19937_64 &rng) {
    for (;;) {
        const double d = std::bit_cast<double>(rng() >> (rng() % 3 == 0 ? 10 : 1));
        if (std::isfinite(d) && d != 0) return d;
    }
}

// Every binary64 text goes through both routes and from_chars.
void expect_binary64(const std::string &text) {
    const uint64_t want = from_chars_bits(text);
    ASSERT_EQ(strtod_bits(text.c_str()), want) << text;
    ASSERT_EQ(exact_bits(text), want) << text;
}

TEST(FloatScan, Binary64MatchesFromChars) {
    std::mt19937_64 rng(5);
    char buf[64];
    for (int i = 0; i < 20000 / kScale; ++i) {
        // Shortest texts of random doubles read back exactly.
        const double d = random_finite(rng);
        const auto res = std::to_chars(buf, buf + sizeof buf, d);
        const std::string shortest(buf, res.ptr);
        ASSERT_EQ(strtod_bits(shortest.c_str()), std::bit_cast<uint64_t>(d)) << shortest;
        expect_binary64(shortest);

        // The exact midpoint between d and the next double up, and texts just below and just
        // above it: ties go to the even neighbour, the others to the nearer one.
        const auto bits = std::bit_cast<uint64_t>(std::fabs(d));
        const uint64_t field = bits >> 52;
        const uint64_t m = (bits & ((1ull << 52) - 1)) | (field != 0 ? 1ull << 52 : 0);
        const int64_t e = (field != 0 ? static_cast<int64_t>(field) : 1) - 1075;
        Mpz mid;
        mpz_set_ui(mid.get(), m);
        mpz_mul_2exp(mid.get(), mid.get(), 1);
        mpz_add_ui(mid.get(), mid.get(), 1);
        const std::string half = exact_decimal(mid, e - 1);
        expect_binary64(half);
        const size_t epos = half.find('e');
        const std::string digits = half.substr(0, epos);
        const std::string exp = epos == std::string::npos ? "" : half.substr(epos + 1);
        const int64_t e10 = (exp.empty() ? 0 : std::stoll(exp)) - 30;
        const std::string above = digits + std::string(29, '0') + "1e" + std::to_string(e10);
        std::string below = digits;
        size_t k = below.size();
        while (below[--k] == '0') below[k] = '9';
        below[k] = static_cast<char>(below[k] - 1);
        below += std::string(29, '9') + "9e" + std::to_string(e10);
        expect_binary64(above);
        expect_binary64(below);
        expect_binary64("-" + half);

        // Random digit strings of 1..40 digits (some of 800) with random exponents.
        const size_t n = rng() % 100 == 0 ? 800 : 1 + rng() % 40;
        std::string text = random_digits(rng, n, 10);
        const int64_t e2 = static_cast<int64_t>(rng() % 700) - 360 - static_cast<int64_t>(n);
        text += "e" + std::to_string(e2);
        expect_binary64(text);
    }
    // Near the ends of the range: overflow, the largest finite, subnormals, underflow.
    for (const char *text :
         {"1.7976931348623157e308", "1.79769313486231580793728971405301e308", "1e309",
          "2.2250738585072011e-308", "2.2250738585072014e-308", "4.9e-324", "3e-324",
          "2.4703282292062327208828439643411068618252990130716238221279284125033775364e-324",
          "1e-400", "123456789012345678901234567890e-350"}) {
        expect_binary64(text);
    }
}

// The fast paths against the exact path. Each fast result must equal the exact one, and they
// must decide the bulk of the inputs (the exact path alone would pass a test that calls only
// it). Inputs: 1..19 digits over the whole exponent range, halfway neighbourhoods built from
// doubles, longer digit strings, and hexadecimal texts.
TEST(FloatScan, FastPathsMatchExactPath) {
    std::mt19937_64 rng(77);
    const int total = 1000000 / kScale;
    int decided = 0;
    char buf[64];
    for (int i = 0; i < total; ++i) {
        std::string text;
        uint32_t base = 10;
        switch (rng() % 8) {
            case 0: {
                // A double's shortest digits with one more digit: near its neighbours' midpoint.
                const auto res = std::to_chars(buf, buf + sizeof buf, random_finite(rng),
                                               std::chars_format::scientific, 17);
                text.assign(buf, res.ptr);
                break;
            }
            case 1:
                text = random_digits(rng, 20 + rng() % 30, 10) + "e" +
                       std::to_string(static_cast<int64_t>(rng() % 700) - 370);
                break;
            case 2:
                base = 16;
                text = "0x" + random_digits(rng, 1 + rng() % 20, 16) + "." +
                       random_digits(rng, rng() % 20, 16) + "p" +
                       std::to_string(static_cast<int64_t>(rng() % 2300) - 1150);
                break;
            default: {
                uint64_t w = rng() >> (rng() % 64);
                if (w >= 10000000000000000000ull) w /= 10;
                text = std::to_string(w) + "e" +
                       std::to_string(static_cast<int64_t>(rng() % 700) - 360);
                break;
            }
        }
        uint64_t fast = 0;
        if (tvl::flt::text_to_binary64_fast(text, base, &fast)) {
            ++decided;
            ASSERT_EQ(fast, exact_bits(text, base)) << text;
        }
        uint64_t combined = 0;
        tvl::flt::text_to_binary64(text.c_str(), base, &combined);
        if ((i & 15) == 0) {
            ASSERT_EQ(combined, exact_bits(text, base)) << text;
        }
    }
    EXPECT_GT(decided, total * 9 / 10);
}

// The power-of-five table against the big integer: 5^q with its top bit at bit 127, truncated.
TEST(FloatScan, PowerOfFiveTable) {
    tvl_int *five = tvl_int_alloc();
    tvl_int *num = tvl_int_alloc();
    tvl_int *q = tvl_int_alloc();
    tvl_int *r = tvl_int_alloc();
    ASSERT_TRUE(tvl_int_from_uint32(five, 1));
    auto top128 = [](tvl_int *n, int shift) {
        std::vector<uint32_t> l(n->limbs, n->limbs + n->length);
        l.resize(l.size() + 8, 0);
        tvl::flt::Pow5 v{0, 0};
        for (int i = 0; i < 128; ++i) {
            const int bit = shift + i;
            if (bit >= 0 && ((l[static_cast<size_t>(bit) / 32] >> (bit % 32)) & 1u) != 0) {
                (i < 64 ? v.lo : v.hi) |= uint64_t{1} << (i % 64);
            }
        }
        return v;
    };
    for (int p = 0; p <= -tvl::flt::kPow5Min; ++p) {
        const int len = static_cast<int>(tvl_int_bitlen(five));
        if (p <= tvl::flt::kPow5Max) {
            const tvl::flt::Pow5 want = top128(five, len - 128);
            const tvl::flt::Pow5 got = tvl::flt::pow5_128(p);
            ASSERT_TRUE(got.hi == want.hi && got.lo == want.lo) << "5^" << p;
        }
        if (p > 0) {
            // floor(2^(len + 127) / 5^p) has exactly 128 bits.
            tvl_int_zero(num);
            ASSERT_TRUE(tvl_int_setbit(num, len + 127));
            ASSERT_TRUE(tvl_int_divrem(q, r, num, five));
            const tvl::flt::Pow5 want = top128(q, 0);
            const tvl::flt::Pow5 got = tvl::flt::pow5_128(-p);
            ASSERT_TRUE(got.hi == want.hi && got.lo == want.lo) << "5^-" << p;
        }
        ASSERT_TRUE(tvl_int_mul_u32(five, 5));
    }
    for (tvl_int *n : {five, num, q, r}) tvl_int_free(n);
}

// ---------------------------------------------------------------------------------------
// Memory exhaustion
// ---------------------------------------------------------------------------------------

std::string long_text() {
    std::string s = "0.";
    for (int i = 0; i < 3000; ++i) s += static_cast<char>('1' + i % 9);
    return s;
}

bool alloc_record(long n) {
    tvltest::alloc::arm(n);
    tvl_float *f = tvl_float_alloc(4000);
    tvltest::alloc::disarm();
    tvl_float_free(f);
    return f != nullptr;
}

bool copy_rounding(long n) {
    FloatPtr src = make_float(5000);
    FloatPtr dst = make_float(100);
    EXPECT_TRUE(tvl_float_from_str(src.get(), long_text().c_str(), 10));
    EXPECT_TRUE(tvl_float_from_double(dst.get(), 2.0));
    tvltest::alloc::arm(n);
    const bool ok = tvl_float_copy(dst.get(), src.get());
    tvltest::alloc::disarm();
    if (!ok) {
        EXPECT_EQ(dst->exponent, 2);  // unchanged
    }
    return ok;
}

bool big_float_from_text(long n) {
    FloatPtr f = make_float(3000);
    const std::string text = long_text();
    tvltest::alloc::arm(n);
    const bool ok = tvl_float_from_str(f.get(), text.c_str(), 10);
    tvltest::alloc::disarm();
    if (!ok) {
        EXPECT_TRUE(tvl_float_is_zero(f.get()) && !tvl_float_is_neg(f.get()));
    }
    return ok;
}

bool ieee_from_text(long n) {
    const std::string text = "-" + long_text() + "e-200";
    uint32_t out[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    tvltest::alloc::arm(n);
    tvl_float_strtoieee_bin(text.c_str(), 10, 19, 236, 262143, out, 8);
    tvltest::alloc::disarm();
    const bool zero =
        std::all_of(std::begin(out), std::end(out), [](uint32_t w) { return w == 0; });
    return !zero;
}

// Just above the midpoint between 0 and the smallest subnormal, 2^-1075, written out exactly:
// the fast paths cannot decide it, and the exact path needs heap limbs.
bool strtod_long(long n) {
    Mpz m;
    mpz_set_ui(m.get(), 1);
    const std::string text = exact_decimal(m, -1075);
    const size_t e = text.find('e');
    const std::string above =
        text.substr(0, e) + "1e" + std::to_string(std::stoll(text.substr(e + 1)) - 1);
    tvltest::alloc::arm(n);
    const double d = tvl_float_strtod(above.c_str());
    tvltest::alloc::disarm();
    EXPECT_TRUE(d == 0.0 || std::bit_cast<uint64_t>(d) == 1);
    return d != 0.0;
}

TEST(FloatAlloc, EveryAllocationFailureIsReported) {
    struct Row {
        const char *name;
        tvltest::alloc::Scenario run;
    };
    const Row rows[] = {
        {"alloc", alloc_record},           {"copy", copy_rounding},
        {"from_str", big_float_from_text}, {"strtoieee_bin", ieee_from_text},
        {"strtod", strtod_long},
    };
    for (const Row &row : rows) tvltest::alloc::expect_failures_reported(row.name, row.run);
}

}  // namespace
