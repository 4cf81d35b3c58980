// Tests of number text: digits, syntax checks, range checks, 64-bit parsing and formatting.
#include "core/number_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tvlr.h"

namespace {

constexpr uint32_t kValidBases[] = {2,  3,  4,  5,  7,  8,  10, 15, 16,
                                    17, 31, 36, 37, 50, 61, 62, 64, 85};

// The digit alphabet of a base, written out independently of the library's tables.
char digit_of(uint32_t v, uint32_t base) {
    static const std::string alnum =
        "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    static const std::string b64 =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (base == 64) return b64[v];
    if (base == 85) return static_cast<char>('!' + v);
    return alnum[v];
}

// Powers of two written in a base, walked upwards by doubling. The digits are kept in chunks
// of base^per (below 2^30) to keep 32768-bit powers quick.
class Pow2Digits {
  public:
    explicit Pow2Digits(uint32_t base) : base_(base) {
        while (uint64_t{chunk_} * base <= (1u << 30)) {
            chunk_ *= base;
            ++per_;
        }
    }

    void advance_to(uint32_t k) {
        for (; exp_ < k; ++exp_) {
            uint32_t carry = 0;
            for (auto &x : limbs_) {
                const uint32_t t = x * 2 + carry;
                x = t % chunk_;
                carry = t / chunk_;
            }
            if (carry) limbs_.push_back(carry);
        }
    }

    // The digits of 2^k + delta (delta -1, 0 or +1), most significant first.
    std::string text(int delta) const {
        std::vector<uint32_t> d;  // little-endian digits of the base
        for (uint32_t limb : limbs_) {
            for (uint32_t i = 0; i < per_; ++i) {
                d.push_back(limb % base_);
                limb /= base_;
            }
        }
        while (d.size() > 1 && d.back() == 0) d.pop_back();
        if (delta > 0) {
            size_t i = 0;
            while (i < d.size() && d[i] == base_ - 1) d[i++] = 0;
            if (i == d.size()) d.push_back(0);
            ++d[i];
        } else if (delta < 0) {
            size_t i = 0;
            while (d[i] == 0) d[i++] = base_ - 1;
            --d[i];
            while (d.size() > 1 && d.back() == 0) d.pop_back();
        }
        std::string s;
        for (auto it = d.rbegin(); it != d.rend(); ++it) s += digit_of(*it, base_);
        return s;
    }

  private:
    uint32_t base_;
    uint32_t chunk_ = 1;
    uint32_t per_ = 0;
    uint32_t exp_ = 0;
    std::vector<uint32_t> limbs_{1};
};

std::string pow2_text(uint32_t k, int delta, uint32_t base) {
    Pow2Digits p(base);
    p.advance_to(k);
    return p.text(delta);
}

TEST(PowText, Helper) {
    EXPECT_EQ(pow2_text(8, -1, 10), "255");
    EXPECT_EQ(pow2_text(8, 0, 16), "100");
    EXPECT_EQ(pow2_text(0, -1, 10), "0");
    EXPECT_EQ(pow2_text(64, 0, 10), "18446744073709551616");
    EXPECT_EQ(pow2_text(6, 0, 64), "BA");
    EXPECT_EQ(pow2_text(7, 1, 85), "\"M");  // 129 = 1 * 85 + 44
    EXPECT_EQ(pow2_text(100, 0, 10), "1267650600228229401496703205376");
    EXPECT_EQ(pow2_text(64, -1, 2), std::string(64, '1'));
}

TEST(Digits, CharToDigit) {
    struct Case {
        uint32_t c, base, value;
    };
    const std::vector<Case> cases = {
        {'Z', 36, 35}, {'Z', 62, 61},         {'z', 36, 35},        {'z', 62, 35},
        {'+', 64, 62}, {'/', 64, 63},         {'A', 64, 0},         {'a', 64, 26},
        {'0', 64, 52}, {'+', 10, 10},         {'v', 85, 85},        {'!', 85, 0},
        {'u', 85, 84}, {'.', 85, 13},         {'9', 10, 9},         {'a', 10, 10},
        {'f', 16, 15}, {'F', 16, 15},         {'g', 16, 16},        {'A', 37, 36},
        {'A', 36, 10}, {'Z', 61, 61},         {'0', 0, 0},          {'5', 1, 1},
        {'0', 1, 0},   {0x100 + '5', 10, 10}, {0xFFFFFFFF, 64, 64}, {0xFFFFFFFF, 85, 85},
        {' ', 64, 64}, {'~', 85, 85},         {0xC3, 62, 62},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(tvl_char_to_digit(c.c, c.base), c.value) << c.c << " base " << c.base;
    }
    // Every byte's value is below the base exactly when it is a digit of that base.
    for (uint32_t base : kValidBases) {
        int count = 0;
        for (uint32_t c = 0; c < 256; ++c) {
            const uint32_t v = tvl_char_to_digit(c, base);
            EXPECT_LE(v, base);
            if (v < base) {
                ++count;
                EXPECT_EQ(static_cast<uint8_t>(digit_of(v, base)),
                          base <= 36 && c >= 'A' && c <= 'Z' ? c + 32 : c)
                    << c << " base " << base;
            }
        }
        EXPECT_EQ(count, base <= 36 && base > 10 ? static_cast<int>(base + base - 10)
                                                 : static_cast<int>(base))
            << base;
    }
}

TEST(Special, Words) {
    for (const char *t : {"nan", "inf", "-inf"}) EXPECT_TRUE(tvl_is_special_number_string(t));
    for (const char *t : {"", "NaN", "+inf", "Inf", "infinity", "na", "-nan", "inf ", "$inf"}) {
        EXPECT_FALSE(tvl_is_special_number_string(t)) << t;
    }
    EXPECT_FALSE(tvl_is_special_number_string(nullptr));
    EXPECT_TRUE(tvl::is_special_number("info", 3));
    EXPECT_FALSE(tvl::is_special_number("inf", 2));
}

struct BaseCase {
    const char *text;
    uint32_t base;
    bool valid;
};

TEST(DigitString, Table) {
    const std::vector<BaseCase> cases = {
        {"0", 2, true},     {"101", 2, true},  {"102", 2, false},  {"-1", 2, true},
        {"+1", 10, true},   {"+", 10, false},  {"-", 10, false},   {"", 10, false},
        {"+-1", 10, false}, {"1-", 10, false}, {"1.0", 10, false}, {"1e5", 10, false},
        {"fF", 16, true},   {"g", 16, false},  {"zZ", 36, true},   {"Z", 37, false},
        {"z", 37, true},    {"A", 37, true},   {"B", 37, false},   {"Z", 62, true},
        {"+/", 64, true},   {"A+/", 64, true}, {"-A", 64, true},   {"A=", 64, false},
        {"!u", 85, true},   {"+!", 85, true},  {"!v", 85, false},  {"!.-+", 85, true},
        {"0", 0, false},    {"0", 1, true},    {"1", 1, false},    {" 1", 10, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(tvl_validate_digits_for_base(c.text, c.base), c.valid)
            << c.text << " base " << c.base;
    }
    EXPECT_FALSE(tvl_validate_digits_for_base(nullptr, 10));
    EXPECT_TRUE(tvl::is_digit_string("12x", 2, 10));
    EXPECT_TRUE(tvl::all_digits_in_base("ff", 2, 16));
    EXPECT_FALSE(tvl::all_digits_in_base("-f", 2, 16));
    EXPECT_FALSE(tvl::all_digits_in_base("", 0, 16));
}

TEST(DecimalNumber, Table) {
    const std::vector<std::pair<const char *, bool>> cases = {
        {"0", true},    {"007", true},   {"1.", true},     {".5", true},     {"-0.5e+3", true},
        {"1e5", true},  {"1E-5", true},  {"-1", true},     {"12.34", true},  {"1.e2", true},
        {".5e2", true}, {"", false},     {".", false},     {"-", false},     {"+1", false},
        {"1e", false},  {"1e+", false},  {"e5", false},    {"1.2.3", false}, {"1e5.0", false},
        {"--1", false}, {"1-", false},   {"nan", false},   {"1 ", false},    {" 1", false},
        {"0x1", false}, {"-.", false},   {"1e5e5", false}, {"-.e1", false},  {"1.5e", false},
        {"1e-", false}, {"1ee5", false},
    };
    for (const auto &[text, valid] : cases) EXPECT_EQ(tvl_validate_number(text), valid) << text;
    EXPECT_FALSE(tvl_validate_number(nullptr));
    EXPECT_TRUE(tvl::is_decimal_number("1e5x", 3));
}

TEST(NumberInBase, Table) {
    const std::vector<BaseCase> cases = {
        {"1p-3", 2, true},    {"1.8P+2", 16, true}, {"ff", 16, true},     {"1e5", 10, true},
        {"e", 15, true},      {"1e3", 16, true},    {"1p3", 10, false},   {"+", 10, false},
        {"1+", 10, false},    {"1e", 10, false},    {"1e+", 10, false},   {".", 10, false},
        {"1.", 10, true},     {".1", 10, true},     {"-1.5", 10, true},   {"+1.5", 10, true},
        {"1.2.3", 10, false}, {"1e5.0", 10, false}, {"1e5e5", 10, false}, {"e5", 10, false},
        {"1e9", 2, true},     {"1p9", 8, true},     {"1e9", 8, true},     {"1p9", 5, false},
        {"1p9", 32, true},    {"1p9", 12, false},   {"1e9", 14, true},    {"1E9", 14, true},
        {"1e9", 15, true},    {"e9", 14, false},    {"p1", 16, false},    {"1p1.5", 16, false},
        {"1p", 16, false},    {"1p-", 16, false},   {"1e3f", 10, false},  {"fp+10", 16, true},
        {"102", 2, false},    {"1.5", 85, true},    {"!+!", 85, false},   {"-!u", 85, true},
        {"+A", 64, true},     {"A+", 64, false},    {"A/", 64, true},     {"A.A", 64, true},
        {"", 10, false},      {"1-1", 10, false},   {"-", 10, false},     {"-.", 10, false},
        {"-.5", 10, true},    {"zZ.Z", 62, true},   {"1", 0, false},      {"0e1", 1, true},
        {"1", 1, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(tvl_validate_number_in_base(c.text, c.base), c.valid)
            << c.text << " base " << c.base;
    }
    EXPECT_FALSE(tvl_validate_number_in_base(nullptr, 10));
    EXPECT_TRUE(tvl::is_number_in_base("1p3z", 3, 16));
}

struct RangeCase {
    const char *text;
    uint32_t bits;
    uint32_t base;
    bool fits;
};

TEST(UintRange, Table) {
    const std::vector<RangeCase> cases = {
        {"255", 8, 10, true},
        {"256", 8, 10, false},
        {"-1", 8, 10, false},
        {"-0", 8, 10, false},
        {"inf", 8, 10, true},
        {"nan", 8, 10, true},
        {"-inf", 8, 10, true},
        {"ff", 8, 16, true},
        {"FF", 8, 16, true},
        {"100", 8, 16, false},
        {"18446744073709551615", 64, 10, true},
        {"18446744073709551616", 64, 10, false},
        {"36893488147419103231", 65, 10, true},
        {"36893488147419103232", 65, 10, false},
        {"000255", 8, 10, true},
        {"+255", 8, 10, true},
        {"", 8, 10, true},
        {"+", 8, 10, true},
        {"999", 0, 10, true},
        {"1", 1, 10, true},
        {"2", 1, 10, false},
        // One optional sign and then digits only: no white space, no second sign.
        {"+-5", 64, 10, false},
        {"++5", 64, 10, false},
        {" 5", 64, 10, false},
        {"5 ", 64, 10, false},
        {"\t5", 8, 10, false},
        {"0x10", 64, 10, false},
        {"+-5", 100, 10, false},
        {"12a", 65, 10, false},
        {"12a", 100, 10, false},
        {"1.5", 100, 10, false},
        {"1e3", 100, 10, false},
        {"12", 100, 2, false},
        {"10", 100, 2, true},
        {"5", 8, 0, false},
        {"", 8, 0, true},
        {"5", 100, 0, false},
        {"0", 8, 1, true},
        {"00", 100, 1, true},
        {"1", 100, 1, false},
        {"zz", 8, 36, false},
        {"73", 8, 36, true},
        {"/", 6, 64, true},
        {"BA", 6, 64, false},
        {"u", 7, 85, true},
        {"\"u", 7, 85, false},
        {"\"*", 7, 85, true},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(tvl_validate_uint_range(c.text, c.bits, c.base), c.fits)
            << c.text << " bits " << c.bits << " base " << c.base;
    }
    EXPECT_TRUE(tvl_validate_uint_range(nullptr, 8, 10));
}

TEST(SintRange, Table) {
    const std::vector<RangeCase> cases = {
        {"-128", 8, 10, true},
        {"127", 8, 10, true},
        {"+127", 8, 10, true},
        {"-129", 8, 10, false},
        {"128", 8, 10, false},
        {"-80", 8, 16, true},
        {"-81", 8, 16, false},
        {"7f", 8, 16, true},
        {"80", 8, 16, false},
        {"-18446744073709551616", 65, 10, true},
        {"-18446744073709551617", 65, 10, false},
        {"18446744073709551615", 65, 10, true},
        {"18446744073709551616", 65, 10, false},
        {"-9223372036854775808", 64, 10, true},
        {"9223372036854775807", 64, 10, true},
        {"9223372036854775808", 64, 10, false},
        {"-9223372036854775809", 64, 10, false},
        {"-99999999999999999999999", 64, 10, false},
        {"inf", 8, 10, true},
        {"nan", 8, 10, true},
        {"-inf", 8, 10, true},
        {"-0", 1, 10, true},
        {"0", 1, 10, true},
        {"-1", 1, 10, true},
        {"1", 1, 10, false},
        {"-000128", 8, 10, true},
        {"", 8, 10, true},
        {"-", 8, 10, true},
        {"+-5", 64, 10, false},
        {"-+5", 64, 10, false},
        {"--5", 64, 10, false},
        {" 5", 64, 10, false},
        {" -5", 8, 10, false},
        {"12a", 65, 10, false},
        {"-12a", 100, 10, false},
        {"-1.5", 100, 10, false},
        {"5", 8, 0, false},
        {"-5", 100, 0, false},
        {"1", 0, 10, true},
        {"-//", 13, 64, true},
        {"-BAA", 13, 64, true},
        {"-BAB", 13, 64, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(tvl_validate_sint_range(c.text, c.bits, c.base), c.fits)
            << c.text << " bits " << c.bits << " base " << c.base;
    }
    EXPECT_TRUE(tvl_validate_sint_range(nullptr, 8, 10));
}

// At every boundary width and in several bases: 2^w - 1 fits w unsigned bits and 2^w does not;
// 2^(w-1) - 1 and -2^(w-1) fit w signed bits, 2^(w-1) and -(2^(w-1) + 1) do not.
TEST(RangeBoundaries, AllWidthsAndBases) {
    const uint32_t widths[] = {1,  2,  7,   8,   9,   16,  31,  32,   33,   63,    64,   65,
                               66, 96, 127, 128, 129, 255, 256, 1000, 4096, 32767, 32768};
    const uint32_t bases[] = {2, 3, 7, 10, 16, 36, 62, 64, 85};
    for (uint32_t base : bases) {
        Pow2Digits power(base);
        for (uint32_t w : widths) {
            if (w > 4096 && base != 2 && base != 10 && base != 85) continue;  // keep it quick
            SCOPED_TRACE(testing::Message() << "base " << base << " bits " << w);
            power.advance_to(w - 1);
            const std::string smax = power.text(-1);
            const std::string smin = power.text(0);
            const std::string sbelow = power.text(1);
            power.advance_to(w);
            const std::string umax = power.text(-1);
            const std::string uover = power.text(0);

            EXPECT_TRUE(tvl_validate_uint_range(umax.c_str(), w, base));
            EXPECT_FALSE(tvl_validate_uint_range(uover.c_str(), w, base));
            EXPECT_TRUE(tvl_validate_uint_range(("+" + umax).c_str(), w, base));
            EXPECT_FALSE(tvl_validate_uint_range(("+" + uover).c_str(), w, base));

            EXPECT_TRUE(tvl_validate_sint_range(smax.c_str(), w, base));
            EXPECT_FALSE(tvl_validate_sint_range(smin.c_str(), w, base));
            EXPECT_TRUE(tvl_validate_sint_range(("-" + smin).c_str(), w, base));
            EXPECT_FALSE(tvl_validate_sint_range(("-" + sbelow).c_str(), w, base));
            // A bad digit at the end is refused at every width, also on a fitting length.
            const std::string bad = smax + (base == 85 ? "~" : "$");
            EXPECT_FALSE(tvl_validate_uint_range(bad.c_str(), w + 8, base));
            EXPECT_FALSE(tvl_validate_sint_range(bad.c_str(), w + 8, base));
        }
    }
}

TEST(RangeBoundaries, LeadingZerosOfAnyLength) {
    for (size_t zeros : {1u, 254u, 255u, 256u, 5000u, 40000u}) {
        const std::string z(zeros, '0');
        EXPECT_TRUE(tvl_validate_uint_range((z + "255").c_str(), 8, 10)) << zeros;
        EXPECT_FALSE(tvl_validate_uint_range((z + "256").c_str(), 8, 10)) << zeros;
        EXPECT_TRUE(tvl_validate_uint_range((z + pow2_text(65, -1, 10)).c_str(), 65, 10));
        EXPECT_FALSE(tvl_validate_uint_range((z + pow2_text(65, 0, 10)).c_str(), 65, 10));
        EXPECT_TRUE(tvl_validate_sint_range(("-" + z + pow2_text(99, 0, 10)).c_str(), 100, 10));
        EXPECT_TRUE(tvl_validate_uint_range(z.c_str(), 100, 10));
        EXPECT_FALSE(tvl_validate_uint_range((z + "x").c_str(), 100, 10));
        const std::string za(zeros, 'A');  // the zero digit of base 64
        EXPECT_TRUE(tvl_validate_uint_range((za + "/").c_str(), 100, 64));
    }
}

TEST(RangeBoundaries, VeryLongTexts) {
    const std::string nines(20000, '9');
    EXPECT_FALSE(tvl_validate_uint_range(nines.c_str(), 32768, 10));
    EXPECT_FALSE(tvl_validate_sint_range(("-" + nines).c_str(), 32768, 10));
    EXPECT_FALSE(tvl_validate_uint_range(nines.c_str(), 64, 10));
    // 2^32768 has 9865 decimal digits: 9864 nines fit, 9866 digits never do.
    EXPECT_TRUE(tvl_validate_uint_range(std::string(9864, '9').c_str(), 32768, 10));
    EXPECT_FALSE(tvl_validate_uint_range(("1" + std::string(9865, '0')).c_str(), 32768, 10));
    // Widths beyond the annotation rules: small values pass, magnitudes above 2^33280 fail.
    EXPECT_TRUE(tvl_validate_uint_range("12345", 4294967295u, 10));
    EXPECT_TRUE(tvl_validate_sint_range("-12345", 4294967295u, 10));
    EXPECT_TRUE(tvl_validate_uint_range(pow2_text(33000, 0, 16).c_str(), 40000, 16));
    EXPECT_FALSE(tvl_validate_uint_range(pow2_text(33300, 0, 16).c_str(), 4294967295u, 16));
    EXPECT_FALSE(tvl_validate_uint_range(std::string(200000, '7').c_str(), 4294967295u, 10));
}

TEST(Range, SpansNeedNoTerminator) {
    EXPECT_TRUE(tvl::uint_text_in_range("2559", 3, 8, 10));
    EXPECT_FALSE(tvl::uint_text_in_range("2559", 4, 8, 10));
    EXPECT_TRUE(tvl::sint_text_in_range("-128x", 4, 8, 10));
    EXPECT_TRUE(tvl::uint_text_in_range("infinity", 3, 8, 10));
    const std::string big = pow2_text(100, -1, 10) + "0";
    EXPECT_TRUE(tvl::uint_text_in_range(big.data(), big.size() - 1, 100, 10));
    EXPECT_FALSE(tvl::uint_text_in_range(big.data(), big.size(), 100, 10));
}

TEST(ValueFits, Helpers) {
    EXPECT_TRUE(tvl::uint_value_fits(255, 8));
    EXPECT_FALSE(tvl::uint_value_fits(256, 8));
    EXPECT_TRUE(tvl::uint_value_fits(UINT64_MAX, 0));
    EXPECT_TRUE(tvl::uint_value_fits(UINT64_MAX, 64));
    EXPECT_TRUE(tvl::uint_value_fits(1, 1));
    EXPECT_FALSE(tvl::uint_value_fits(2, 1));
    EXPECT_TRUE(tvl::uint_value_fits((uint64_t{1} << 63) - 1, 63));
    EXPECT_FALSE(tvl::uint_value_fits(uint64_t{1} << 63, 63));
    EXPECT_TRUE(tvl::sint_magnitude_fits(128, true, 8));
    EXPECT_FALSE(tvl::sint_magnitude_fits(128, false, 8));
    EXPECT_TRUE(tvl::sint_magnitude_fits(uint64_t{1} << 63, true, 0));
    EXPECT_FALSE(tvl::sint_magnitude_fits(uint64_t{1} << 63, false, 64));
    EXPECT_FALSE(tvl::sint_magnitude_fits(UINT64_MAX, true, 64));
    EXPECT_TRUE(tvl::sint_magnitude_fits(1, true, 1));
    EXPECT_FALSE(tvl::sint_magnitude_fits(1, false, 1));
    uint64_t acc = UINT64_MAX / 10;
    EXPECT_TRUE(tvl::accumulate_digit(acc, 10, 5));
    EXPECT_EQ(acc, UINT64_MAX);
    acc = UINT64_MAX / 10;
    EXPECT_FALSE(tvl::accumulate_digit(acc, 10, 6));
    EXPECT_EQ(acc, UINT64_MAX / 10);
}

tvl_type_annotation ann(uint32_t type, uint32_t bits, uint32_t base) {
    return {type, bits, base};
}

TEST(ParseUint64, Table) {
    struct Case {
        const char *text;
        tvl_type_annotation a;
        bool ok;
        uint64_t value;
    };
    const std::vector<Case> cases = {
        {"zz", ann(TVLR_TYPE_UINT, 0, 62), true, 2205},
        {"-1", ann(TVLR_TYPE_UINT, 0, 62), false, 0},
        {"-1", ann(TVLR_TYPE_UINT, 0, 0), false, 0},
        {"-1", ann(TVLR_TYPE_UINT, 0, 16), false, 0},
        {"-1", ann(TVLR_TYPE_UINT, 0, 36), false, 0},
        {"-0", ann(TVLR_TYPE_UINT, 0, 10), false, 0},
        {"-1", ann(TVLR_TYPE_UINT, 0, 85), false, 0},
        {"+-1", ann(TVLR_TYPE_UINT, 0, 10), false, 0},
        {"++1", ann(TVLR_TYPE_UINT, 0, 10), false, 0},
        {" 1", ann(TVLR_TYPE_UINT, 0, 10), true, 1},
        {"1 ", ann(TVLR_TYPE_UINT, 0, 10), false, 0},
        {"0x1f", ann(TVLR_TYPE_UINT, 0, 16), true, 31},
        {"", ann(TVLR_TYPE_UINT, 0, 10), false, 0},
        {"+", ann(TVLR_TYPE_UINT, 0, 10), false, 0},
        {"+7", ann(TVLR_TYPE_UINT, 0, 10), true, 7},
        {"+1", ann(TVLR_TYPE_UINT, 0, 64), true, 53},
        {"18446744073709551615", ann(TVLR_TYPE_UINT, 0, 0), true, UINT64_MAX},
        {"18446744073709551616", ann(TVLR_TYPE_UINT, 0, 0), false, 0},
        {"99999999999999999999", ann(TVLR_TYPE_UINT, 0, 0), false, 0},
        {"ffffffffffffffff", ann(TVLR_TYPE_UINT, 64, 16), true, UINT64_MAX},
        {"FFFFFFFFFFFFFFFF", ann(TVLR_TYPE_UINT, 64, 16), true, UINT64_MAX},
        {"10000000000000000", ann(TVLR_TYPE_UINT, 64, 16), false, 0},
        {"ff", ann(TVLR_TYPE_FLOAT_FIX, 16, 16), false, 0},
        {"99", ann(TVLR_TYPE_FLOAT_FIX, 16, 16), true, 99},
        {"99", ann(TVLR_TYPE_FLOAT_DEC, 64, 16), true, 99},
        {"101", ann(TVLR_TYPE_UINT, 0, 2), true, 5},
        {"102", ann(TVLR_TYPE_UINT, 0, 2), false, 0},
        {"/", ann(TVLR_TYPE_UINT, 0, 64), true, 63},
        {"u", ann(TVLR_TYPE_UINT, 0, 85), true, 84},
        {"0", ann(TVLR_TYPE_UINT, 0, 1), true, 0},
        {"1", ann(TVLR_TYPE_UINT, 0, 1), false, 0},
        {"12", ann(TVLR_TYPE_UINT, 0, 100), true, 102},
        {"1.5", ann(TVLR_TYPE_UINT, 0, 10), false, 0},
        // Bases 2 to 36 take the C library's leading white space and base-16 prefix.
        {" \t\n42", ann(TVLR_TYPE_UINT, 0, 10), true, 42},
        {"\v\f\r+17", ann(TVLR_TYPE_UINT, 0, 8), true, 15},
        {"0x1F", ann(TVLR_TYPE_UINT, 0, 16), true, 31},
        {" +0Xff", ann(TVLR_TYPE_UINT, 0, 16), true, 255},
        {"0x", ann(TVLR_TYPE_UINT, 0, 16), false, 0},
        {"0xg", ann(TVLR_TYPE_UINT, 0, 16), false, 0},
        {"0x0x1", ann(TVLR_TYPE_UINT, 0, 16), false, 0},
        {"0x10", ann(TVLR_TYPE_UINT, 0, 10), false, 0},
        {"0x10", ann(TVLR_TYPE_UINT, 0, 36), true, 42804},
        {" -1", ann(TVLR_TYPE_UINT, 0, 10), false, 0},
        {"-0x1", ann(TVLR_TYPE_UINT, 0, 16), false, 0},
        {"+ 1", ann(TVLR_TYPE_UINT, 0, 10), false, 0},
        {"12a", ann(TVLR_TYPE_UINT, 0, 10), false, 0},
        {" ", ann(TVLR_TYPE_UINT, 0, 10), false, 0},
        {" 1", ann(TVLR_TYPE_UINT, 0, 62), false, 0},
    };
    for (const auto &c : cases) {
        uint64_t out = 0xDEADBEEF;
        EXPECT_EQ(tvl_parse_uint64(c.text, c.a, &out), c.ok) << c.text << " base " << c.a.base;
        EXPECT_EQ(out, c.ok ? c.value : 0xDEADBEEF) << c.text << " base " << c.a.base;
    }
    uint64_t out = 0;
    EXPECT_FALSE(tvl_parse_uint64(nullptr, ann(0, 0, 0), &out));
    EXPECT_FALSE(tvl_parse_uint64("1", ann(0, 0, 0), nullptr));
}

TEST(ParseInt64, Table) {
    struct Case {
        const char *text;
        tvl_type_annotation a;
        bool ok;
        int64_t value;
    };
    const std::vector<Case> cases = {
        {"-A", ann(TVLR_TYPE_SINT, 0, 64), true, 0},
        {"+1", ann(TVLR_TYPE_SINT, 0, 64), true, 4021},
        {"-9223372036854775808", ann(TVLR_TYPE_SINT, 0, 0), true, INT64_MIN},
        {"9223372036854775807", ann(TVLR_TYPE_SINT, 0, 0), true, INT64_MAX},
        {"+9223372036854775807", ann(TVLR_TYPE_SINT, 0, 10), true, INT64_MAX},
        {"9223372036854775808", ann(TVLR_TYPE_SINT, 0, 0), false, 0},
        {"-9223372036854775809", ann(TVLR_TYPE_SINT, 0, 0), false, 0},
        {"-18446744073709551615", ann(TVLR_TYPE_SINT, 0, 0), false, 0},
        {"-18446744073709551616", ann(TVLR_TYPE_SINT, 0, 0), false, 0},
        {"-8000000000000000", ann(TVLR_TYPE_SINT, 0, 16), true, INT64_MIN},
        {"8000000000000000", ann(TVLR_TYPE_SINT, 0, 16), false, 0},
        {"-zz", ann(TVLR_TYPE_SINT, 0, 62), true, -2205},
        {"+zz", ann(TVLR_TYPE_SINT, 0, 62), false, 0},
        {"-0", ann(TVLR_TYPE_SINT, 0, 10), true, 0},
        {"--1", ann(TVLR_TYPE_SINT, 0, 10), false, 0},
        {"+-1", ann(TVLR_TYPE_SINT, 0, 10), false, 0},
        {"-+1", ann(TVLR_TYPE_SINT, 0, 10), false, 0},
        {" -1", ann(TVLR_TYPE_SINT, 0, 10), true, -1},
        {"\t-0x10", ann(TVLR_TYPE_SINT, 0, 16), true, -16},
        {"- 1", ann(TVLR_TYPE_SINT, 0, 10), false, 0},
        {" -A", ann(TVLR_TYPE_SINT, 0, 64), false, 0},
        {"-", ann(TVLR_TYPE_SINT, 0, 10), false, 0},
        {"-", ann(TVLR_TYPE_SINT, 0, 62), false, 0},
        {"", ann(TVLR_TYPE_SINT, 0, 62), false, 0},
        {"-101", ann(TVLR_TYPE_SINT, 0, 2), true, -5},
        {"-!", ann(TVLR_TYPE_SINT, 0, 85), true, 0},
        {"+!", ann(TVLR_TYPE_SINT, 0, 85), true, 850},
        {"-25", ann(TVLR_TYPE_FLOAT_FIX, 32, 8), true, -25},
        {"1e3", ann(TVLR_TYPE_FLOAT, 64, 0), false, 0},
    };
    for (const auto &c : cases) {
        int64_t out = 77;
        EXPECT_EQ(tvl_parse_int64(c.text, c.a, &out), c.ok) << c.text << " base " << c.a.base;
        EXPECT_EQ(out, c.ok ? c.value : 77) << c.text << " base " << c.a.base;
    }
    int64_t out = 0;
    EXPECT_FALSE(tvl_parse_int64(nullptr, ann(0, 0, 0), &out));
    EXPECT_FALSE(tvl_parse_int64("1", ann(0, 0, 0), nullptr));
}

TEST(Format, Table) {
    struct Case {
        uint64_t value;
        uint32_t base;
        uint32_t min;
        size_t size;
        int result;
        const char *text;
    };
    const std::vector<Case> cases = {
        {255, 16, 4, 32, 4, "00ff"},
        {0, 64, 0, 32, 1, "A"},
        {84, 85, 0, 32, 1, "u"},
        {85, 85, 0, 32, 2, "\"!"},
        {0, 85, 3, 32, 3, "!!!"},
        {10, 10, 0, 2, -1, nullptr},
        {9, 10, 0, 2, 1, "9"},
        {0, 10, 0, 2, 1, "0"},
        {UINT64_MAX, 10, 0, 21, 20, "18446744073709551615"},
        {UINT64_MAX, 10, 0, 20, -1, nullptr},
        {UINT64_MAX, 2, 0, 65, 64, nullptr},
        {UINT64_MAX, 16, 0, 32, 16, "ffffffffffffffff"},
        {61, 62, 0, 8, 1, "Z"},
        {35, 36, 0, 8, 1, "z"},
        {63, 64, 2, 8, 2, "A/"},
        {5, 10, 0, 1, -1, nullptr},
        {5, 1, 0, 8, -1, nullptr},
        {5, 0, 0, 8, -1, nullptr},
        {5, 63, 0, 8, -1, nullptr},
        {5, 84, 0, 8, -1, nullptr},
        {5, 86, 0, 8, -1, nullptr},
        {1, 10, 64, 65, 64, nullptr},
        {1, 10, 64, 64, -1, nullptr},
        // A first digit that reads as a sign gets a zero digit in front.
        {62, 64, 0, 8, 2, "A+"},
        {62 * 64 + 1, 64, 0, 8, 3, "A+B"},
        {63 * 64 + 62, 64, 0, 8, 2, "/+"},
        {10, 85, 0, 8, 2, "!+"},
        {12, 85, 0, 8, 2, "!-"},
        {850, 85, 0, 8, 3, "!+!"},
        {11, 85, 0, 8, 1, ","},
        {62, 64, 2, 8, 2, "A+"},
        {62, 64, 3, 8, 3, "AA+"},
        {62, 64, 0, 2, -1, nullptr},
    };
    for (const auto &c : cases) {
        char buf[80];
        std::memset(buf, '#', sizeof buf);
        EXPECT_EQ(tvl_format_uint64(buf, c.size, c.value, c.base, c.min), c.result)
            << c.value << " base " << c.base;
        if (c.result < 0) {
            EXPECT_EQ(buf[0], '#');  // untouched
        } else {
            EXPECT_EQ(std::strlen(buf), static_cast<size_t>(c.result));
            if (c.text) {
                EXPECT_STREQ(buf, c.text);
            }
        }
    }
    char buf[128];
    EXPECT_EQ(tvl_format_uint64(buf, sizeof buf, 7, 10, 100), 64);
    EXPECT_EQ(std::string(buf), std::string(63, '0') + "7");
    EXPECT_EQ(tvl_format_uint64(nullptr, 10, 7, 10, 0), -1);
    // Base 10 agrees with std::to_chars at every length.
    std::mt19937_64 rng(10);
    for (int i = 0; i < 20000; ++i) {
        const uint64_t v = rng() >> (rng() % 64);
        char want[24];
        *std::to_chars(want, want + sizeof want, v).ptr = '\0';
        ASSERT_EQ(tvl_format_uint64(buf, sizeof buf, v, 10, 0),
                  static_cast<int>(std::strlen(want)));
        ASSERT_STREQ(buf, want);
    }
}

TEST(Format, Signed) {
    char buf[80];
    EXPECT_EQ(tvl_format_int64(buf, sizeof buf, INT64_MIN, 10, 0), 20);
    EXPECT_STREQ(buf, "-9223372036854775808");
    EXPECT_EQ(tvl_format_int64(buf, 21, INT64_MIN, 10, 0), 20);
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(tvl_format_int64(buf, 20, INT64_MIN, 10, 0), -1);
    EXPECT_EQ(buf[0], '#');
    EXPECT_EQ(tvl_format_int64(buf, sizeof buf, INT64_MIN, 2, 0), 65);
    EXPECT_EQ(std::string(buf), "-1" + std::string(63, '0'));
    EXPECT_EQ(tvl_format_int64(buf, sizeof buf, -255, 16, 4), 5);
    EXPECT_STREQ(buf, "-00ff");
    EXPECT_EQ(tvl_format_int64(buf, sizeof buf, -1, 64, 0), 2);
    EXPECT_STREQ(buf, "-B");
    EXPECT_EQ(tvl_format_int64(buf, sizeof buf, 42, 10, 0), 2);
    EXPECT_STREQ(buf, "42");
    EXPECT_EQ(tvl_format_int64(buf, 1, -1, 10, 0), -1);
    EXPECT_EQ(tvl_format_int64(buf, 2, -1, 10, 0), -1);
    EXPECT_EQ(tvl_format_int64(buf, 3, -1, 10, 0), 2);
    EXPECT_EQ(tvl_format_int64(buf, sizeof buf, -1, 63, 0), -1);
    EXPECT_EQ(tvl_format_int64(buf, sizeof buf, -62, 64, 0), 2);
    EXPECT_STREQ(buf, "-+");
    EXPECT_EQ(tvl_format_int64(buf, sizeof buf, 62, 64, 0), 2);
    EXPECT_STREQ(buf, "A+");
    EXPECT_EQ(tvl_format_int64(buf, sizeof buf, -12, 85, 0), 2);
    EXPECT_STREQ(buf, "--");
    EXPECT_EQ(tvl_format_int64(nullptr, 8, -1, 10, 0), -1);
}

// Formatting and parsing are inverse in every valid base, at the 64-bit edges and in between.
TEST(Format, RoundTripsThroughParse) {
    std::mt19937_64 rng(7);
    std::vector<uint64_t> values = {0,
                                    1,
                                    2,
                                    10,
                                    12,
                                    62,
                                    63,
                                    64,
                                    84,
                                    85,
                                    850,
                                    62 * 64,
                                    UINT64_MAX,
                                    UINT64_MAX - 1,
                                    uint64_t{1} << 63,
                                    (uint64_t{1} << 63) - 1};
    for (int i = 0; i < 300; ++i) values.push_back(rng() >> (rng() % 64));
    for (uint32_t base : kValidBases) {
        for (uint64_t v : values) {
            char buf[80];
            const int n = tvl_format_uint64(buf, sizeof buf, v, base, 0);
            ASSERT_GT(n, 0);
            uint64_t back = 0;
            ASSERT_TRUE(tvl_parse_uint64(buf, ann(TVLR_TYPE_UINT, 64, base), &back))
                << buf << " base " << base;
            EXPECT_EQ(back, v) << buf << " base " << base;
            EXPECT_TRUE(tvl_validate_uint_range(buf, 64, base)) << buf;
            EXPECT_TRUE(tvl_validate_digits_for_base(buf, base)) << buf;
            EXPECT_TRUE(tvl_validate_number_in_base(buf, base) || base >= 64) << buf;

            const auto s = static_cast<int64_t>(v);
            const int m = tvl_format_int64(buf, sizeof buf, s, base, 0);
            ASSERT_GT(m, 0);
            int64_t sback = 0;
            ASSERT_TRUE(tvl_parse_int64(buf, ann(TVLR_TYPE_SINT, 64, base), &sback))
                << buf << " base " << base;
            EXPECT_EQ(sback, s);
            EXPECT_TRUE(tvl_validate_sint_range(buf, 64, base)) << buf;
        }
    }
}

TEST(MinDigits, Table) {
    struct Case {
        tvl_type_annotation a;
        uint32_t digits;
    };
    const std::vector<Case> cases = {
        {ann(TVLR_TYPE_UINT, 8, 0), 3},
        {ann(TVLR_TYPE_SINT, 8, 2), 7},
        {ann(TVLR_TYPE_UINT, 64, 16), 16},
        {ann(TVLR_TYPE_UTF8, 8, 0), 0},
        {ann(TVLR_TYPE_UINT, 0, 0), 0},
        {ann(TVLR_TYPE_UINT, 65, 0), 0},
        {ann(TVLR_TYPE_UINT, 64, 0), 20},
        {ann(TVLR_TYPE_SINT, 64, 0), 19},
        {ann(TVLR_TYPE_SINT, 1, 10), 1},
        {ann(TVLR_TYPE_UINT, 1, 2), 1},
        {ann(TVLR_TYPE_UINT, 2, 2), 2},
        {ann(TVLR_TYPE_FLOAT, 32, 0), 10},
        {ann(TVLR_TYPE_FLOAT_FIX, 16, 8), 5},
        {ann(TVLR_TYPE_FLOAT_DEC, 64, 16), 20},
        {ann(TVLR_TYPE_BOOL, 8, 0), 0},
        {ann(TVLR_TYPE_PLAIN, 8, 0), 0},
        {ann(9, 8, 0), 0},
        {ann(TVLR_TYPE_UINT, 64, 85), 10},
        {ann(TVLR_TYPE_UINT, 64, 64), 11},
        {ann(TVLR_TYPE_UINT, 8, 1), 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(tvl_min_digits_for_type(c.a), c.digits)
            << c.a.value_type << " " << c.a.bits << " " << c.a.base;
    }
    // The count is the number of significant digits of the largest value in that base.
    for (uint32_t base : kValidBases) {
        for (uint32_t bits = 1; bits <= 64; ++bits) {
            char buf[80];
            int n = tvl_format_uint64(buf, sizeof buf,
                                      bits == 64 ? UINT64_MAX : (uint64_t{1} << bits) - 1, base, 0);
            if (n > 1 && tvl_char_to_digit(static_cast<uint8_t>(buf[0]), base) == 0) --n;
            EXPECT_EQ(tvl_min_digits_for_type(ann(TVLR_TYPE_UINT, bits, base)),
                      static_cast<uint32_t>(n))
                << bits << " base " << base;
        }
    }
}

}  // namespace
