// Big floats as text. The decimal output is checked with MPFR as an independent reader and
// digit source: it must read back at the float's precision, no shorter candidate may, and
// between the two shortest candidates the rounding rule on the digits of N (the value's first
// W + 4 - (k - e10) digits) must pick. Hexadecimal output must read back exactly. At precision
// 53 the output is compared with std::to_chars, and at precisions up to 64 the fast route with
// the exact one.
#include "bignum/float_print.h"

#include <gmp.h>
#include <gtest/gtest.h>
#include <mpfr.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "float_support.h"
#include "support/failing_alloc.h"
#include "tvlr.h"

namespace {

using namespace float_test;

#ifdef TVLR_TEST_SANITIZED
constexpr long kScale = 20;  // fewer random values under the sanitizers
#else
constexpr long kScale = 1;
#endif

FloatPtr from_double(double x, uint32_t precision) {
    FloatPtr f(tvl_float_alloc(precision));
    EXPECT_TRUE(tvl_float_from_double(f.get(), x));
    return f;
}

// A regular value with random significand bits below the top one.
FloatPtr random_float(std::mt19937_64 &rng, uint32_t precision, int64_t exponent) {
    FloatPtr f(tvl_float_alloc(precision));
    const uint32_t words = (precision + 63) / 64;
    for (uint32_t i = 0; i < words; ++i) f->words[i] = rng();
    const uint32_t top = (precision - 1) % 64;
    f->words[words - 1] &= top == 63 ? ~uint64_t{0} : (uint64_t{1} << (top + 1)) - 1;
    f->words[words - 1] |= uint64_t{1} << top;
    f->exponent = exponent;
    f->sign = rng() % 2 == 0 ? 1 : -1;
    return f;
}

std::string text(const tvl_float *f, uint32_t base) {
    std::string buf(tvl_float_str_bufsize(f->precision, base), '\0');
    const int n = tvl_float_to_str(f, buf.data(), buf.size(), base);
    return n < 0 ? "(failed)" : buf.substr(0, static_cast<size_t>(n));
}

// ---------------------------------------------------------------------------------------
// MPFR as the reference
// ---------------------------------------------------------------------------------------

// |f| exactly, with MPFR's widest exponent range (beyond the notation's reader).
void set_abs(mpfr_ptr out, const tvl_float *f) {
    mpfr_set_emin(mpfr_get_emin_min());
    mpfr_set_emax(mpfr_get_emax_max());
    mpz_t m;
    mpz_init(m);
    mpz_import(m, (f->precision + 63) / 64, -1, sizeof(uint64_t), 0, 0, f->words);
    mpfr_set_z_2exp(out, m, f->exponent - f->precision, MPFR_RNDN);
    mpz_clear(m);
}

// A decimal d.ddd x 10^exp, digits without trailing zeros.
struct Decimal {
    std::string digits;
    long long exp = 0;
    bool operator==(const Decimal &) const = default;
};

std::string to_text(const Decimal &d) {
    std::string s(1, d.digits[0]);
    if (d.digits.size() > 1) s += "." + d.digits.substr(1);
    return s + "e" + std::to_string(d.exp);
}

Decimal trimmed(std::string digits, long long exp) {
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    return {digits, exp};
}

// The first k digits of the truncated digit string g (first digit at 10^exp), plus one unit
// in the last place when `up`.
Decimal candidate(const std::string &g, long long exp, size_t k, bool up) {
    std::string d = g.substr(0, k);
    if (up) {
        size_t i = k;
        while (i > 0 && d[i - 1] == '9') d[--i] = '0';
        if (i == 0) return {"1", exp + 1};
        ++d[i - 1];
    }
    return trimmed(d, exp);
}

// Whether the decimal, read at precision p, gives |f| back.
bool reads_back(const Decimal &d, mpfr_ptr abs, mpfr_prec_t p) {
    Mpfr r(p);
    char *end = nullptr;
    const std::string s = to_text(d);
    mpfr_strtofr(r.get(), s.c_str(), &end, 10, MPFR_RNDN);
    return *end == '\0' && mpfr_equal_p(r.get(), abs) != 0;
}

// The exponent estimate k; outside the two closed forms, floor(b log10 2).
long long estimate(long long b) {
    if (b >= 1 && b <= 2106) return (302 * b + 697) / 1000;
    if (b >= -66895 && b <= 0) return -((301 * (1 - b)) / 1000);
    Mpfr x(256);
    Mpfr ln10(256);
    mpfr_const_log2(x.get(), MPFR_RNDN);
    mpfr_mul_si(x.get(), x.get(), static_cast<long>(b), MPFR_RNDN);
    mpfr_set_ui(ln10.get(), 10, MPFR_RNDN);
    mpfr_log(ln10.get(), ln10.get(), MPFR_RNDN);
    mpfr_div(x.get(), x.get(), ln10.get(), MPFR_RNDN);
    return mpfr_get_si(x.get(), MPFR_RNDD);
}

// Parses "[-]d[.ddd]e(+|-)x" with no trailing fraction zero and no leading exponent zero.
bool parse_decimal(const std::string &t, bool &negative, Decimal &d) {
    size_t i = 0;
    negative = t.size() > 0 && t[0] == '-';
    if (negative) ++i;
    if (i >= t.size() || t[i] < '1' || t[i] > '9') return false;
    d.digits = t.substr(i, 1);
    ++i;
    if (i < t.size() && t[i] == '.') {
        const size_t start = ++i;
        while (i < t.size() && std::isdigit(static_cast<unsigned char>(t[i]))) ++i;
        if (i == start || t[i - 1] == '0') return false;
        d.digits += t.substr(start, i - start);
    }
    if (t.substr(i, 1) != "e" || i + 2 >= t.size() || (t[i + 1] != '+' && t[i + 1] != '-')) {
        return false;
    }
    const std::string e = t.substr(i + 2);
    if (e.find_first_not_of("0123456789") != std::string::npos || (e.size() > 1 && e[0] == '0')) {
        return false;
    }
    d.exp = std::stoll(e) * (t[i + 1] == '-' ? -1 : 1);
    return true;
}

// The checks of the decimal output `t` of the regular value f.
::testing::AssertionResult shortest_decimal(const tvl_float *f, const std::string &t) {
    bool negative = false;
    Decimal ours;
    if (!parse_decimal(t, negative, ours) || negative != (f->sign < 0)) {
        return ::testing::AssertionFailure() << "malformed: " << t;
    }
    const auto p = static_cast<mpfr_prec_t>(f->precision);
    Mpfr abs(p);
    set_abs(abs.get(), f);
    if (!reads_back(ours, abs.get(), p)) {
        return ::testing::AssertionFailure() << t << " does not read back";
    }

    // The value's digits, truncated: g[0] stands for 10^e10.
    const size_t j = ours.digits.size();
    const long long w = (302LL * f->precision + 999) / 1000;
    mpfr_exp_t e = 0;
    char *s = mpfr_get_str(nullptr, &e, 10, static_cast<size_t>(w) + 8, abs.get(), MPFR_RNDZ);
    const std::string g = s;
    mpfr_free_str(s);
    const long long e10 = e - 1;
    if (j > 1 && (reads_back(candidate(g, e10, j - 1, false), abs.get(), p) ||
                  reads_back(candidate(g, e10, j - 1, true), abs.get(), p))) {
        return ::testing::AssertionFailure() << t << " is not the shortest";
    }
    const Decimal down = candidate(g, e10, j, false);
    const Decimal up = candidate(g, e10, j, true);
    if (ours != down && ours != up) return ::testing::AssertionFailure() << t << " is no candidate";
    if (reads_back(down, abs.get(), p) && reads_back(up, abs.get(), p)) {
        // Round half to even on the digits of N, which end at 10^(k - w - 3).
        const auto r = static_cast<size_t>(w + 4 - (estimate(f->exponent) - e10));
        const char d = j < r ? g[j] : '0';
        const bool tail = g.find_first_not_of('0', j + 1) < r;
        const bool odd = (g[j - 1] - '0') % 2 != 0;
        const bool prefer_up = d > '5' || (d == '5' && (tail || odd));
        if (ours != (prefer_up ? up : down)) {
            return ::testing::AssertionFailure() << t << " is not the preferred candidate";
        }
    }
    return ::testing::AssertionSuccess();
}

// The hexadecimal output reads back exactly and has the canonical shape.
::testing::AssertionResult exact_hex(const tvl_float *f, const std::string &t) {
    const size_t start = f->sign < 0 ? 1 : 0;
    const size_t pp = t.find('p');
    const std::string frac = t.substr(std::min(start + 2, pp), pp - std::min(start + 2, pp));
    const bool shape =
        (start == 0 || t[0] == '-') && t.substr(start, 1) == "1" &&
        (pp == start + 1 || (t[start + 1] == '.' && !frac.empty() && frac.back() != '0' &&
                             frac.size() <= (f->precision + 2) / 4));
    Mpfr r(f->precision);
    Mpfr abs(f->precision);
    set_abs(abs.get(), f);
    char *end = nullptr;
    const int inexact = mpfr_strtofr(r.get(), t.c_str() + start, &end, 16, MPFR_RNDN);
    if (!shape || *end != '\0' || inexact != 0 || !mpfr_equal_p(r.get(), abs.get())) {
        return ::testing::AssertionFailure() << t << " is not the exact hexadecimal text";
    }
    return ::testing::AssertionSuccess();
}

// ---------------------------------------------------------------------------------------
// Edge cases
// ---------------------------------------------------------------------------------------

struct Row {
    double value;
    uint32_t precision;
    uint32_t base;
    size_t size;       // 0: tvl_float_str_bufsize
    const char *want;  // null: -1
};

TEST(FloatToStr, EdgeCases) {
    const double tiny = std::ldexp(1.0, -1074);
    const Row rows[] = {
        {NAN, 53, 10, 4, "nan"},
        {INFINITY, 53, 16, 4, "inf"},
        {0.0, 53, 10, 4, "0.0"},
        {-INFINITY, 53, 10, 4, nullptr},
        {-0.0, 53, 16, 4, nullptr},
        {-0.0, 53, 10, 5, "-0.0"},
        {1.0, 53, 10, 0, "1e+0"},
        {2.0, 53, 10, 0, "2e+0"},
        {0.5, 53, 10, 0, "5e-1"},
        {0.25, 53, 10, 0, "2.5e-1"},
        {100.0, 53, 10, 0, "1e+2"},
        {-1.5, 53, 10, 0, "-1.5e+0"},
        {0.1, 53, 10, 0, "1e-1"},
        {123.456, 53, 10, 0, "1.23456e+2"},
        {1.7976931348623157e308, 53, 10, 0, "1.7976931348623157e+308"},
        {tiny, 53, 10, 0, "4.9406564584124654e-324"},
        {0.1, 24, 10, 0, "1e-1"},
        {13421773.0 / 134217728.0, 53, 10, 0, "1.0000000149011612e-1"},
        {1.0, 53, 16, 0, "1p+0"},
        {3.0, 53, 16, 0, "1.8p+1"},
        {-0.5, 53, 16, 0, "-1p-1"},
        {0.75, 53, 16, 0, "1.8p-1"},
        {0.1, 53, 16, 0, "1.999999999999ap-4"},
        {tiny, 53, 16, 0, "1p-1074"},
        {3.0, 1, 16, 0, "1p+2"},
        {0.1, 53, 10, 4, nullptr},  // "1e-1" and its NUL need 5 bytes
        {0.1, 53, 10, 5, "1e-1"},
        {1.0, 53, 8, 0, nullptr},
        {1.0, 53, 10, 1, nullptr},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << row.value << " at " << row.precision << " in base "
                                        << row.base << ", size " << row.size);
        const FloatPtr f = from_double(row.value, row.precision);
        std::string buf(row.size != 0 ? row.size : tvl_float_str_bufsize(row.precision, 10), '#');
        const int n = tvl_float_to_str(f.get(), buf.data(), buf.size(), row.base);
        if (row.want == nullptr) {
            EXPECT_EQ(n, -1);
        } else {
            EXPECT_EQ(n, static_cast<int>(std::strlen(row.want)));
            EXPECT_STREQ(buf.c_str(), row.want);
        }
    }
}

TEST(FloatToStr, RecordsAndSizes) {
    const FloatPtr f = from_double(1.0, 53);
    f->exponent = 1000000001;  // base 10 refuses exponents beyond 10^9, base 16 prints them
    EXPECT_EQ(text(f.get(), 10), "(failed)");
    EXPECT_EQ(text(f.get(), 16), "1p+1000000000");
    f->words[0] >>= 1;  // no longer normalised
    EXPECT_EQ(text(f.get(), 16), "(failed)");
    char buf[8];
    EXPECT_EQ(tvl_float_to_str(nullptr, buf, sizeof buf, 10), -1);
    EXPECT_EQ(tvl_float_to_str(f.get(), nullptr, 8, 10), -1);

    EXPECT_EQ(tvl_float_str_bufsize(53, 10), 16u + 72u);
    EXPECT_EQ(tvl_float_str_bufsize(32768, 16), 8192u + 72u);
    EXPECT_EQ(tvl_float_str_bufsize(53, 2), 53u + 72u);
    EXPECT_EQ(tvl_float_str_bufsize(53, 0), 53u + 72u);
}

// ---------------------------------------------------------------------------------------
// Properties against MPFR
// ---------------------------------------------------------------------------------------

TEST(FloatToStr, ShortestDecimalAndExactHexAtManyPrecisions) {
    std::mt19937_64 rng(20240611);
    const auto check = [](const tvl_float *f) {
        SCOPED_TRACE(testing::Message() << "precision " << f->precision << ", exponent "
                                        << f->exponent << ", " << text(f, 16));
        EXPECT_TRUE(shortest_decimal(f, text(f, 10)));
        EXPECT_TRUE(exact_hex(f, text(f, 16)));
    };
    for (uint32_t p = 1; p <= 200; ++p) {
        for (long i = 0; i < 48 / kScale + 3; ++i) {
            // Mostly exponents near those of doubles, some beyond what the reader reaches (its
            // texts saturate past 10^+-9864).
            const int64_t b = i % 16 == 15 ? (i % 32 == 15 ? 33000 : -40000)
                                           : static_cast<int64_t>(rng() % 4401) - 2200;
            const FloatPtr f = random_float(rng, p, b);
            // Every third value keeps only a few leading bits, so that the interval's ends are
            // short decimals.
            if (i % 3 == 2) {
                const uint32_t keep = 1 + static_cast<uint32_t>(rng() % 8);
                for (uint32_t bit = 0; bit + keep < p; ++bit) {
                    f->words[bit / 64] &= ~(uint64_t{1} << (bit % 64));
                }
                f->exponent = static_cast<int64_t>(rng() % 40) - 10;
            }
            check(f.get());
        }
    }
    // Large precisions: digit strings of 10^4 digits are past the reader's 32768 bits too.
    for (uint32_t p : {256u, 1000u, 4000u, 32768u}) {
        for (int64_t b : {3, 33000, -40000}) check(random_float(rng, p, b).get());
    }
}

// At precision 53 the output is that of std::to_chars, except where both shortest candidates
// read back and the value lies above their midpoint by less than one unit of N's last digit:
// the rule sees a tie there and keeps the even one, std::to_chars the nearer one. (Subnormal
// doubles are regular here, with nearer neighbours, so only normal ones are compared.)
TEST(FloatToStr, Precision53AgainstToChars) {
    std::mt19937_64 rng(7);
    long compared = 0;
    long differ = 0;
    while (compared < 400000 / kScale) {
        double x;
        const uint64_t bits = rng();
        std::memcpy(&x, &bits, sizeof x);
        if (std::fpclassify(x) != FP_NORMAL) continue;
        ++compared;
        char tc[64];
        *std::to_chars(tc, tc + sizeof tc, x, std::chars_format::scientific).ptr = '\0';
        const char *e = std::strchr(tc, 'e');
        const char *begin = tc + (x < 0 ? 1 : 0);
        std::string digits(begin, e);
        digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
        const FloatPtr f = from_double(x, 53);
        const std::string ours = text(f.get(), 10);
        bool negative = false;
        Decimal d;
        ASSERT_TRUE(parse_decimal(ours, negative, d)) << ours;
        if (d == trimmed(digits, std::atoll(e + 1))) continue;
        ++differ;
        EXPECT_EQ(d.digits.size(), trimmed(digits, 0).digits.size()) << ours << " vs " << tc;
        EXPECT_TRUE(shortest_decimal(f.get(), ours)) << tc;
    }
    EXPECT_LT(differ, compared / 500);
    RecordProperty("differing", static_cast<int>(differ));
}

// ---------------------------------------------------------------------------------------
// The fast route against the exact one
// ---------------------------------------------------------------------------------------

// Byte for byte at every precision the fast route covers, with a sample read back by MPFR.
TEST(FloatToStr, FastRouteMatchesExactRoute) {
    std::mt19937_64 rng(99);
    std::vector<double> values;
    for (long i = 0; i < 1000000 / kScale; ++i) {
        double x;
        const uint64_t bits = rng();
        std::memcpy(&x, &bits, sizeof x);
        if (std::isfinite(x) && x != 0) values.push_back(x);
    }
    // Values whose interval ends or midpoints are exact decimals: integers, short decimals,
    // powers of two and ten.
    for (long i = 0; i < 100000 / kScale; ++i) {
        values.push_back(static_cast<double>(rng() >> (rng() % 64)));
        values.push_back(std::strtod((std::to_string(rng() % 100000) + "e" +
                                      std::to_string(static_cast<int>(rng() % 640) - 320))
                                         .c_str(),
                                     nullptr));
    }
    for (int e = -1074; e <= 1023; ++e) values.push_back(std::ldexp(1.0, e));
    for (int e = -323; e <= 308; ++e) {
        values.push_back(std::strtod(("1e" + std::to_string(e)).c_str(), nullptr));
    }

    long compared = 0;
    long undecided = 0;
    char fast[64];
    char exact[64];
    const auto check = [&](const tvl_float *f) {
        const int n = tvl::flt::float_to_decimal_fast(f, fast, sizeof fast);
        ASSERT_GT(tvl::flt::float_to_decimal_exact(f, exact, sizeof exact), 0);
        if (n == tvl::flt::kUndecided) {
            ++undecided;
            return;
        }
        ASSERT_STREQ(fast, exact) << "precision " << f->precision << ", " << text(f, 16);
        if (++compared % 97 == 0) {
            EXPECT_TRUE(shortest_decimal(f, fast)) << text(f, 16);
        }
    };
    for (const uint32_t p : {53u, 64u}) {
        for (double x : values) {
            if (x != 0 && std::isfinite(x)) check(from_double(x, p).get());
        }
    }
    for (uint32_t p = 1; p <= 64; ++p) {
        const uint64_t top = uint64_t{1} << (p - 1);
        const uint64_t mask = top - 1 + top;
        FloatPtr f = from_double(1.0, p);
        const auto set = [&](uint64_t c, int64_t b) {
            if ((c & top) == 0 || c > mask) return;  // not a significand of p bits
            f->words[0] = c;
            f->exponent = b;
            check(f.get());
        };
        // Every exponent of the route's range (every kScale-th under the sanitizers), at the
        // bottom and top of the binade and between.
        for (int64_t b = -1100; b <= 1100; b += kScale) {
            for (uint64_t c : {top, top + 1, mask, top | (rng() & mask)}) set(c, b);
        }
        for (long i = 0; i < 4000 / kScale; ++i) {
            // Random bits over the whole range, and a few leading bits near 1 (integers and
            // short binary fractions, whose interval ends are short decimals).
            set(top | (rng() & mask), static_cast<int64_t>(rng() % 2201) - 1100);
            const uint64_t lead = rng() >> (57 + rng() % 7);
            set(top | ((lead << std::max(0, static_cast<int>(p) - 9)) & mask),
                static_cast<int64_t>(rng() % 80) - 10);
        }
        // Powers of ten as read at this precision, and their neighbours.
        for (int e = -330; e <= 330; e += 1 + static_cast<int>(rng() % (3 * kScale))) {
            ASSERT_TRUE(tvl_float_from_str(f.get(), ("1e" + std::to_string(e)).c_str(), 10));
            const uint64_t c = f->words[0];
            const int64_t b = f->exponent;
            for (uint64_t d : {c - 1, c, c + 1}) set(d, b);
        }
    }
    // Only comparisons within 2^(m - 64) of a boundary (m = max(0, p - 57)), or scaled values
    // that are exact integers far from the tabled exact powers, are left undecided: none here.
    RecordProperty("undecided", static_cast<int>(undecided));
    EXPECT_EQ(undecided, 0) << "of " << compared;
}

// ---------------------------------------------------------------------------------------
// Doubles without a big float
// ---------------------------------------------------------------------------------------

// Seeded doubles of every kind: random bits (every binade), the bottom and top of every binade,
// subnormals, integers up to 2^94, short decimals and decimal midpoints (whose interval ends
// and midpoints lie near exact decimals), powers of ten and their neighbours, the extremes.
std::vector<double> double_cases(long count) {
    std::mt19937_64 rng(2026);
    const double max = std::numeric_limits<double>::max();
    std::vector<double> v = {0.0,
                             -0.0,
                             max,
                             -max,
                             std::numeric_limits<double>::denorm_min(),
                             std::numeric_limits<double>::min(),
                             HUGE_VAL,
                             -HUGE_VAL,
                             NAN};
    for (int e = -1074; e <= 1023; ++e) {
        v.push_back(std::ldexp(1.0, e));
        v.push_back(-std::nextafter(std::ldexp(1.0, e + 1), 0.0));
    }
    for (int e = -323; e <= 308; ++e) {
        const double ten = std::strtod(("1e" + std::to_string(e)).c_str(), nullptr);
        for (const double d : {std::nextafter(ten, 0.0), ten, std::nextafter(ten, max)}) {
            v.push_back(d);
        }
    }
    while (static_cast<long>(v.size()) < count) {
        const uint64_t r = rng();
        switch (v.size() % 5) {
            case 0:
                v.push_back(std::bit_cast<double>(r));
                break;
            case 1:  // subnormal
                v.push_back(std::bit_cast<double>((r & (uint64_t{1} << 63)) | r >> (12 + r % 52)));
                break;
            case 2:
                v.push_back(
                    std::ldexp(static_cast<double>(r >> (r % 64)), static_cast<int>(r % 31)));
                break;
            default:
                v.push_back(std::strtod((std::to_string(r % 1000000) + (r % 3 == 0 ? "5e" : "e") +
                                         std::to_string(static_cast<int>(rng() % 660) - 330))
                                            .c_str(),
                                        nullptr));
        }
    }
    return v;
}

// The text of a double without a big float is that of the exact route on the big float that
// tvl_float_from_double makes at the same precision: at the writer's precisions over all the
// cases, at every other one over some.
TEST(FloatToStr, DoubleMatchesExactRoute) {
    const std::vector<double> values = double_cases(200000 / kScale);
    long compared = 0;
    long undecided = 0;
    char fast[tvl::flt::kDoubleTextRoom];
    char exact[128];
    const auto check = [&](double x, uint32_t p) {
        uint64_t word = 0;
        tvl_float f;
        tvl_float_init_buf(&f, p, &word, 1);
        ASSERT_TRUE(tvl_float_from_double(&f, x));
        const int n = tvl::flt::double_to_decimal(x, p, fast);
        const int m = tvl::flt::float_to_decimal_exact(&f, exact, sizeof exact);
        if (n == tvl::flt::kUndecided) {
            ++undecided;
            return;
        }
        ++compared;
        ASSERT_EQ(std::string(fast, static_cast<size_t>(std::max(n, 0))),
                  std::string(exact, static_cast<size_t>(std::max(m, 0))))
            << "precision " << p << ", " << std::hexfloat << x;
        ASSERT_EQ(fast[n], '\0');
    };
    for (const uint32_t p : {64u, 32u, 16u}) {
        // The writer narrows to float below 64 bits.
        for (const double x : values) check(p < 53 ? double(static_cast<float>(x)) : x, p);
    }
    for (uint32_t p = 1; p <= 64; ++p) {
        for (size_t i = p; i < values.size(); i += 97) check(values[i], p);
    }
    EXPECT_EQ(undecided, 0) << "of " << compared;
}

// ---------------------------------------------------------------------------------------
// Memory exhaustion
// ---------------------------------------------------------------------------------------

// Without memory for N the result is -1; without memory for the search, all of N's digits
// (which read back); with enough, the shortest.
template <uint32_t Precision, int64_t Exponent>
bool print_under_failures(long n) {
    std::mt19937_64 rng(5);
    const FloatPtr f = random_float(rng, Precision, Exponent);
    const std::string shortest = text(f.get(), 10);
    std::string buf(tvl_float_str_bufsize(Precision, 10), '\0');
    tvltest::alloc::arm(n);
    const int len = tvl_float_to_str(f.get(), buf.data(), buf.size(), 10);
    tvltest::alloc::disarm();
    if (len < 0) return false;
    const std::string got = buf.substr(0, static_cast<size_t>(len));
    if (got == shortest) return true;
    bool negative = false;
    Decimal d;
    EXPECT_TRUE(parse_decimal(got, negative, d)) << got;
    EXPECT_GT(got.size(), shortest.size());
    Mpfr abs(Precision);
    set_abs(abs.get(), f.get());
    EXPECT_TRUE(reads_back(d, abs.get(), Precision)) << got;
    return false;
}

TEST(FloatToStr, MemoryExhaustion) {
    tvltest::alloc::expect_failures_reported("precision 2000", print_under_failures<2000, 3>);
    tvltest::alloc::expect_failures_reported("exponent 5000", print_under_failures<53, 5000>);
}

}  // namespace
