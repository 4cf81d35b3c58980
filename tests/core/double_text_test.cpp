// Double text: the base an annotation selects, texts that cannot be read, the precision of the
// output, memory exhaustion, and format-then-parse round trips.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "support/failing_alloc.h"
#include "tvlr.h"

namespace {

tvl_type_annotation annotation(uint32_t type, uint32_t bits, uint32_t base) {
    return {type, bits, base};
}

TEST(DoubleText, LooksLikeDouble) {
    EXPECT_FALSE(tvl_looks_like_double("12"));
    EXPECT_TRUE(tvl_looks_like_double("1e3"));
    EXPECT_TRUE(tvl_looks_like_double("0x1p4"));
    EXPECT_TRUE(tvl_looks_like_double("-.5"));
    EXPECT_FALSE(tvl_looks_like_double(""));
    EXPECT_FALSE(tvl_looks_like_double(nullptr));
}

struct ParseRow {
    const char *text;
    tvl_type_annotation a;
    bool ok;
    uint64_t bits;  // the double stored
};

TEST(DoubleText, Parse) {
    const uint32_t flt = TVLR_TYPE_FLOAT;
    const ParseRow rows[] = {
        {"12.5", annotation(flt, 64, 8), false, 0},  // base 8 is refused
        {"12.5", annotation(TVLR_TYPE_FLOAT_DEC, 64, 8), true, std::bit_cast<uint64_t>(12.5)},
        {"12.5", annotation(TVLR_TYPE_FLOAT_FIX, 32, 16), true, std::bit_cast<uint64_t>(12.5)},
        {"0x1p4", annotation(flt, 64, 16), true, std::bit_cast<uint64_t>(16.0)},
        {"1.8", annotation(flt, 0, 16), true, std::bit_cast<uint64_t>(1.5)},
        {"1e", annotation(flt, 0, 16), true, std::bit_cast<uint64_t>(30.0)},
        {"0.1", annotation(flt, 0, 0), true, std::bit_cast<uint64_t>(0.1)},
        {"-0", annotation(flt, 0, 0), true, std::bit_cast<uint64_t>(-0.0)},
        {" 0e99", annotation(flt, 0, 10), true, 0},
        {"1e-400", annotation(flt, 0, 10), true, 0},  // a number, rounded to zero
        {"4.9406564584124654e-324", annotation(flt, 0, 10), true, 1},
        {"-inf", annotation(flt, 0, 10), true, std::bit_cast<uint64_t>(-HUGE_VAL)},
        {"1.5xyz", annotation(flt, 0, 10), true, std::bit_cast<uint64_t>(1.5)},
        // Texts that cannot be read: false, with +0.0 stored.
        {"", annotation(flt, 0, 10), false, 0},
        {"abc", annotation(flt, 0, 10), false, 0},
        {".", annotation(flt, 0, 10), false, 0},
        {"e5", annotation(flt, 0, 10), false, 0},
        {"1e+", annotation(flt, 0, 10), false, 0},
        {"-", annotation(flt, 0, 16), false, 0},
        {"in", annotation(flt, 0, 10), false, 0},
    };
    for (const ParseRow &row : rows) {
        SCOPED_TRACE(testing::Message() << '"' << row.text << "\" in base " << row.a.base);
        double d = 7.0;
        EXPECT_EQ(tvl_parse_double(row.text, row.a, &d), row.ok);
        if (row.ok || row.a.base != 8) {
            EXPECT_EQ(std::bit_cast<uint64_t>(d), row.bits);
        }
    }
    double d = 0;
    EXPECT_TRUE(tvl_parse_double_in_base("-1.8p1", 16, &d));
    EXPECT_EQ(d, -3.0);
    EXPECT_FALSE(tvl_parse_double_in_base("1.5", 8, &d));
    EXPECT_FALSE(tvl_parse_double_in_base("x", 10, &d));
    EXPECT_FALSE(tvl_parse_double(nullptr, annotation(flt, 0, 0), &d));
    EXPECT_FALSE(tvl_parse_double("1", annotation(flt, 0, 0), nullptr));
}

struct FormatRow {
    double value;
    tvl_type_annotation a;
    size_t size;
    const char *want;  // null: -1
};

TEST(DoubleText, Format) {
    const uint32_t flt = TVLR_TYPE_FLOAT;
    const FormatRow rows[] = {
        {0.1, annotation(flt, 53, 0), 64, "1e-1"},
        {0.1, annotation(flt, 24, 10), 64, "1e-1"},
        {0.1, annotation(flt, 0, 0), 64, "1.0000000000000000555e-1"},  // 64 bits: nearer neighbours
        {0.1, annotation(flt, 65, 0), 64, "1.0000000000000000555e-1"},
        {0.1, annotation(flt, 53, 16), 64, "1.999999999999ap-4"},
        {0.1, annotation(TVLR_TYPE_FLOAT_DEC, 53, 16), 64, "1e-1"},
        {0.1, annotation(TVLR_TYPE_FLOAT_FIX, 53, 16), 64, "1e-1"},
        {1.25, annotation(flt, 2, 16), 64, "1p+0"},  // rounded to 2 bits, ties to even
        {1.75, annotation(flt, 2, 10), 64, "2e+0"},
        {5e-324, annotation(flt, 53, 0), 64, "4.9406564584124654e-324"},
        {-0.0, annotation(flt, 53, 0), 64, "-0.0"},
        {NAN, annotation(flt, 53, 0), 4, "nan"},
        {-INFINITY, annotation(flt, 53, 0), 4, nullptr},
        {1.0, annotation(flt, 53, 8), 64, nullptr},   // no octal float text
        {1.0, annotation(flt, 53, 37), 64, nullptr},  // bases above 36
        {1.0, annotation(flt, 53, 0), 1, nullptr},
    };
    for (const FormatRow &row : rows) {
        SCOPED_TRACE(testing::Message()
                     << row.value << " at " << row.a.bits << " bits, base " << row.a.base);
        char buf[64];
        const int n = tvl_format_double(buf, row.size, row.a, row.value);
        if (row.want == nullptr) {
            EXPECT_EQ(n, -1);
        } else {
            EXPECT_EQ(n, static_cast<int>(std::strlen(row.want)));
            EXPECT_STREQ(buf, row.want);
        }
    }
    EXPECT_EQ(tvl_format_double(nullptr, 64, annotation(flt, 53, 0), 1.0), -1);
}

// Text printed at 53 bits or more reads back, in either base, to the same double.
TEST(DoubleText, FormatThenParse) {
    std::mt19937_64 rng(3);
    for (int i = 0; i < 20000; ++i) {
        const uint64_t bits = rng();
        const double x = std::bit_cast<double>(bits);
        if (std::isnan(x)) continue;
        const tvl_type_annotation a =
            annotation(TVLR_TYPE_FLOAT, 53 + static_cast<uint32_t>(rng() % 12), i % 2 ? 16 : 10);
        char buf[64];
        ASSERT_GT(tvl_format_double(buf, sizeof buf, a, x), 0);
        double back = 0;
        ASSERT_TRUE(tvl_parse_double(buf, a, &back)) << buf;
        EXPECT_EQ(std::bit_cast<uint64_t>(back), bits) << buf;
    }
}

// Without memory the exact conversion cannot read the text: false, never a silent +0.0.
// Both texts lie too near a rounding boundary for the fast paths, and their digits need more
// than the inline scratch: just above the midpoint of 2^53 and 2^53 + 2, and exactly half the
// smallest subnormal (5^1075 * 10^-1075), which rounds to +0.0.
bool parse_near_boundary(const std::string &text, double want, long n) {
    double d = 1.0;
    tvltest::alloc::arm(n);
    const bool ok = tvl_parse_double_in_base(text.c_str(), 10, &d);
    tvltest::alloc::disarm();
    if (ok) {
        EXPECT_EQ(std::bit_cast<uint64_t>(d), std::bit_cast<uint64_t>(want));
    }
    return ok;
}

std::string pow5_text(uint32_t e) {
    tvl_int *n = tvl_int_alloc();
    EXPECT_TRUE(tvl_int_from_uint32(n, 1));
    for (uint32_t i = 0; i < e; ++i) EXPECT_TRUE(tvl_int_mul_u32(n, 5));
    std::string s(tvl_int_str_bufsize(tvl_int_bitlen(n), 10), '\0');
    s.resize(static_cast<size_t>(tvl_int_to_str(n, s.data(), s.size(), 10)));
    tvl_int_free(n);
    return s;
}

TEST(DoubleText, MemoryExhaustion) {
    static const std::string above_tie = "9007199254740993." + std::string(700, '0') + "1";
    static const std::string half_tiny = pow5_text(1075) + "e-1075";
    tvltest::alloc::expect_failures_reported("above a tie", [](long n) {
        return parse_near_boundary(above_tie, 9007199254740994.0, n);
    });
    tvltest::alloc::expect_failures_reported("half the smallest subnormal", [](long n) {
        return parse_near_boundary(half_tiny, 0.0, n);
    });
}

}  // namespace
