// Big integer text: digit alphabets, parsing and printing rules, buffer sizes and the
// round trip of values whose leading digit doubles as a sign.
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bigint_support.h"

namespace {

using bigint_test::IntPtr;
using bigint_test::limbs;
using bigint_test::make_int;
using Limbs = std::vector<uint32_t>;

const std::vector<uint32_t> &all_bases() {
    static const std::vector<uint32_t> bases = [] {
        std::vector<uint32_t> b;
        for (uint32_t i = 2; i <= 62; ++i) b.push_back(i);
        b.push_back(64);
        b.push_back(85);
        return b;
    }();
    return bases;
}

std::string to_str(const tvl_int *n, uint32_t base) {
    std::vector<char> buf(tvl_int_str_bufsize(tvl_int_bitlen(n), base));
    const int len = tvl_int_to_str(n, buf.data(), buf.size(), base);
    EXPECT_GE(len, 0) << "base " << base;
    if (len < 0) return "<failed>";
    EXPECT_EQ(std::strlen(buf.data()), static_cast<size_t>(len));
    return std::string(buf.data(), static_cast<size_t>(len));
}

TEST(BigIntText, ParsingRules) {
    struct Row {
        const char *text;
        uint32_t base;
        bool ok;
        Limbs value;
        bool negative;
    };
    const Row rows[] = {
        {"0", 10, true, {}, false},
        {"-0", 10, true, {}, false},
        {"+000", 10, true, {}, false},
        {"-12", 10, true, {12}, true},
        {"+12", 10, true, {12}, false},
        {"4294967296", 10, true, {0, 1}, false},
        {"18446744073709551615", 10, true, {0xFFFFFFFFu, 0xFFFFFFFFu}, false},
        {"0000000000000000000000000000001", 10, true, {1}, false},
        {"FF", 16, true, {255}, false},
        {"ff", 16, true, {255}, false},
        {"Zz", 36, true, {35 * 36 + 35}, false},
        {"A", 62, true, {36}, false},
        {"a", 62, true, {10}, false},
        {"Z", 62, true, {61}, false},
        {"10", 62, true, {62}, false},
        {"A+", 64, true, {62}, false},
        {"/", 64, true, {63}, false},
        {"-+", 64, true, {62}, true},
        {"+/", 64, true, {63}, false},
        {"BA", 64, true, {64}, false},
        {"!", 85, true, {}, false},
        {"u", 85, true, {84}, false},
        {"\"!", 85, true, {85}, false},
        {"!-", 85, true, {12}, false},
        {"--", 85, true, {12}, true},
        {"101", 2, true, {5}, false},
        {"", 10, false, {}, false},
        {"-", 10, false, {}, false},
        {"+", 64, false, {}, false},
        {"-", 85, false, {}, false},
        {"12a", 10, false, {}, false},
        {"2", 2, false, {}, false},
        {"Z", 35, false, {}, false},
        {"z", 35, false, {}, false},
        {"Z", 61, false, {}, false},
        {"v", 85, false, {}, false},
        {" 1", 10, false, {}, false},
        {"1 ", 10, false, {}, false},
        {"1_000", 10, false, {}, false},
        {"0x10", 16, false, {}, false},
        {"--1", 10, false, {}, false},
        {"+-1", 10, false, {}, false},
        {"=", 64, false, {}, false},
        {"\xC3\xA9", 62, false, {}, false},
        {"1", 63, false, {}, false},
        {"1", 86, false, {}, false},
        {"1", 1, false, {}, false},
        {"1", 0, false, {}, false},
    };
    for (const Row &r : rows) {
        IntPtr n = make_int({0xAAAA, 0xBBBB}, true);
        const bool ok = tvl_int_from_str(n.get(), r.text, r.base);
        ASSERT_EQ(ok, r.ok) << '"' << r.text << "\" base " << r.base;
        if (!ok) continue;
        EXPECT_EQ(limbs(n.get()), r.value) << '"' << r.text << "\" base " << r.base;
        EXPECT_EQ(n->negative != 0, r.negative) << '"' << r.text << "\" base " << r.base;
    }
}

TEST(BigIntText, RefusedTextLeavesRecordUntouched) {
    for (const char *text : {"", "-", "+"}) {
        IntPtr n = make_int({5}, true);
        EXPECT_FALSE(tvl_int_from_str(n.get(), text, 10));
        EXPECT_EQ(limbs(n.get()), Limbs({5}));
        EXPECT_EQ(n->negative, 1);
    }
    IntPtr n = make_int({5});
    EXPECT_FALSE(tvl_int_from_str(n.get(), nullptr, 10));
    EXPECT_FALSE(tvl_int_from_str(n.get(), "1", 63));
    EXPECT_EQ(limbs(n.get()), Limbs({5}));
    EXPECT_FALSE(tvl_int_from_str(nullptr, "1", 10));
}

TEST(BigIntText, ParsingStopsAtTheCeiling) {
    // 10^9864 has 32768 bits, 10^9865 does not fit 1024 limbs.
    std::string text = "1" + std::string(9864, '0');
    IntPtr n = make_int();
    ASSERT_TRUE(tvl_int_from_str(n.get(), text.c_str(), 10));
    EXPECT_EQ(tvl_int_bitlen(n.get()), 32768u);
    text += "0";
    EXPECT_FALSE(tvl_int_from_str(n.get(), text.c_str(), 10));
    EXPECT_LE(n->capacity, 1024u);

    // Leading zeros do not count: 40000 zeros and a 1 parse to 1.
    const std::string zeros = std::string(40000, '0') + "1";
    ASSERT_TRUE(tvl_int_from_str(n.get(), zeros.c_str(), 2));
    EXPECT_EQ(limbs(n.get()), Limbs({1}));
}

// A byte that is no digit of the base is refused wherever it stands: in the leading digits,
// in a group read at once (eight decimal digits, a limb of power-of-two digits) or in the
// digits left over. The text without it reads.
TEST(BigIntText, NonDigitAnywhereIsRefused) {
    struct Row {
        uint32_t base;
        const char *digits;  // some digits of the base
        const char *bad;     // bytes that are not
    };
    const Row rows[] = {
        {10, "0123456789", "/:aA \x7F\x80\xFA\xFF"},
        {16, "0123456789abcdefABCDEF", "gG/:@`\xFF"},
        {2, "01", "2/"},
        {8, "01234567", "89"},
        {36, "09azAZ", "_{@["},
        {62, "09azAZ", "_{@"},
        {64, "AZaz09+/", "=.\x80"},
        {85, "!u\"+-", "v ~"},
    };
    std::mt19937_64 rng(0x7E57);
    for (const Row &r : rows) {
        const std::string digits = r.digits;
        for (size_t len : {1, 7, 8, 9, 16, 19, 20, 33, 77, 200}) {
            std::string text(len, '\0');
            for (char &c : text) c = digits[rng() % digits.size()];
            if (text[0] == '+' || text[0] == '-') text[0] = digits[0];
            IntPtr n = make_int();
            ASSERT_TRUE(tvl_int_from_str(n.get(), text.c_str(), r.base)) << text;
            for (size_t i = 0; i < len; ++i) {
                for (const char *b = r.bad; *b != '\0'; ++b) {
                    std::string wrong = text;
                    wrong[i] = *b;
                    EXPECT_FALSE(tvl_int_from_str(n.get(), wrong.c_str(), r.base))
                        << "base " << r.base << ", byte " << int{static_cast<unsigned char>(*b)}
                        << " at " << i << " of " << len;
                }
            }
        }
    }
}

// A record over a caller's buffer takes a value that fills the buffer and refuses one limb
// more, in every way of reading.
TEST(BigIntText, ReadingIntoAFixedBuffer) {
    struct Row {
        const char *text;
        uint32_t base;
        uint32_t limbs;
    };
    const Row rows[] = {
        {"4294967295", 10, 1}, {"4294967296", 10, 2}, {"18446744073709551616", 10, 3},
        {"ffffffff", 16, 1},   {"100000000", 16, 2},  {"7777777777777777777777", 8, 3},
        {"zzzzzzz", 36, 2},
    };
    for (const Row &r : rows) {
        IntPtr want = make_int();
        ASSERT_TRUE(tvl_int_from_str(want.get(), r.text, r.base));
        ASSERT_EQ(want->length, r.limbs) << r.text;
        for (uint32_t cap : {r.limbs - 1, r.limbs}) {
            std::vector<uint32_t> buf(r.limbs, 0xDEADBEEFu);
            tvl_int n{};
            n.limbs = buf.data();
            n.capacity = cap;
            const bool ok = tvl_int_from_str(&n, r.text, r.base);
            EXPECT_EQ(ok, cap == r.limbs) << r.text << " into " << cap << " limbs";
            if (ok) {
                EXPECT_EQ(tvl_int_cmp(&n, want.get()), 0) << r.text;
            }
            EXPECT_EQ(n.limbs, buf.data());
        }
    }
}

TEST(BigIntText, PrintingRules) {
    struct Row {
        Limbs value;
        bool negative;
        uint32_t base;
        const char *text;
    };
    const Row rows[] = {
        {{}, false, 10, "0"},
        {{}, false, 2, "0"},
        {{}, false, 62, "0"},
        {{}, false, 64, "A"},
        {{}, false, 85, "!"},
        {{}, true, 10, "0"},
        {{255}, true, 16, "-ff"},
        {{35}, false, 36, "z"},
        {{10}, false, 62, "a"},
        {{36}, false, 62, "A"},
        {{61}, false, 62, "Z"},
        {{62}, false, 62, "10"},
        {{0, 1}, false, 10, "4294967296"},
        {{0, 1}, true, 16, "-100000000"},
        {{0, 1}, false, 2, "100000000000000000000000000000000"},
        {{0xFFFFFFFFu, 0xFFFFFFFFu}, false, 10, "18446744073709551615"},
        {{0xFFFFFFFFu, 0xFFFFFFFFu}, false, 32, "fvvvvvvvvvvvv"},
        {{0xFFFFFFFFu, 0xFFFFFFFFu}, false, 8, "1777777777777777777777"},
        {{1000000000}, false, 10, "1000000000"},
        {{999999999}, false, 10, "999999999"},
        {{0x540BE400u, 2}, false, 10, "10000000000"},
        {{63}, false, 64, "/"},
        {{64}, false, 64, "BA"},
        {{84}, false, 85, "u"},
        {{85}, false, 85, "\"!"},
        {{0xFFFFFFFFu}, false, 64, "D/////"},
        {{0xFFFFFFFFu}, false, 85, "s8W-!"},
    };
    for (const Row &r : rows) {
        IntPtr n = make_int(r.value, r.negative);
        EXPECT_EQ(to_str(n.get(), r.base), r.text) << "base " << r.base;
    }
}

// In bases 64 and 85 the digits '+' (62; 10 in base 85) and '-' (12 in base 85) would read
// as a sign when they lead a text; such values print with a leading zero digit and read
// back to themselves. Negative values already begin with their sign.
TEST(BigIntText, LeadingSignDigitsGetAZeroDigit) {
    struct Row {
        Limbs value;
        bool negative;
        uint32_t base;
        const char *text;
    };
    const Row rows[] = {
        {{62}, false, 64, "A+"},
        {{62}, true, 64, "-+"},
        {{62 * 64 + 5}, false, 64, "A+F"},
        {{62 * 64 + 5}, true, 64, "-+F"},
        {{63 * 64 + 62}, false, 64, "/+"},
        {{10}, false, 85, "!+"},
        {{12}, false, 85, "!-"},
        {{12}, true, 85, "--"},
        {{10 * 85 + 12}, false, 85, "!+-"},
        {{11}, false, 85, ","},
        {{13}, false, 85, "."},
    };
    for (const Row &r : rows) {
        IntPtr n = make_int(r.value, r.negative);
        const std::string text = to_str(n.get(), r.base);
        EXPECT_EQ(text, r.text) << "base " << r.base;
        IntPtr back = make_int();
        ASSERT_TRUE(tvl_int_from_str(back.get(), text.c_str(), r.base)) << text;
        EXPECT_EQ(limbs(back.get()), r.value) << text;
        EXPECT_EQ(back->negative != 0, r.negative) << text;
    }

    // The extra digit takes the place of the sign a positive value does not print, so the
    // buffer size rule still holds: "+" followed by d - 1 digits "/" has 6 d bits, and
    // tvl_int_str_bufsize(6 d, 64) = d + 2 bytes hold "A", the d digits and the NUL.
    for (size_t d = 1; d <= 40; ++d) {
        const std::string digits = "+" + std::string(d - 1, '/');
        IntPtr n = make_int();
        ASSERT_TRUE(tvl_int_from_str(n.get(), ("A" + digits).c_str(), 64));
        ASSERT_EQ(tvl_int_bitlen(n.get()), 6 * d);
        const size_t size = tvl_int_str_bufsize(tvl_int_bitlen(n.get()), 64);
        ASSERT_EQ(size, d + 2);
        std::vector<char> buf(size);
        ASSERT_EQ(tvl_int_to_str(n.get(), buf.data(), size, 64), static_cast<int>(d + 1));
        EXPECT_EQ(std::string(buf.data()), "A" + digits);
    }
}

TEST(BigIntText, BufferSizes) {
    struct Row {
        uint32_t bits;
        uint32_t base;
        size_t size;
    };
    const Row rows[] = {
        {64, 10, 24},      {0, 10, 4},        {64, 1, 4},
        {64, 0, 4},        {1, 2, 3},         {7, 3, 9},
        {7, 4, 6},         {7, 7, 6},         {7, 8, 5},
        {7, 15, 5},        {7, 16, 4},        {7, 31, 4},
        {7, 32, 4},        {7, 63, 4},        {7, 64, 4},
        {13, 85, 5},       {32768, 2, 32770}, {32768, 10, 10925},
        {32768, 64, 5464}, {32768, 85, 5464}, {0xFFFFFFFFu, 2, 0x100000001ull},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(tvl_int_str_bufsize(r.bits, r.base), r.size)
            << r.bits << " bits, base " << r.base;
    }
}

TEST(BigIntText, OutputBufferBounds) {
    IntPtr n = make_int({0xFFFFFFFFu, 0xFFFFFFFFu}, true);
    const std::string text = "-18446744073709551615";
    char buf[64];
    for (size_t size = 0; size <= text.size() + 2; ++size) {
        std::memset(buf, 'x', sizeof buf);
        const int len = tvl_int_to_str(n.get(), buf, size, 10);
        if (size >= text.size() + 1) {
            ASSERT_EQ(len, static_cast<int>(text.size())) << size;
            EXPECT_STREQ(buf, text.c_str());
        } else {
            EXPECT_EQ(len, -1) << size;
        }
        for (size_t i = size; i < sizeof buf; ++i) ASSERT_EQ(buf[i], 'x') << "wrote past " << size;
    }
    IntPtr zero = make_int();
    EXPECT_EQ(tvl_int_to_str(zero.get(), buf, 1, 10), -1);
    EXPECT_EQ(tvl_int_to_str(zero.get(), buf, 2, 64), 1);
    EXPECT_STREQ(buf, "A");
    EXPECT_EQ(tvl_int_to_str(zero.get(), nullptr, 8, 10), -1);
    EXPECT_EQ(tvl_int_to_str(nullptr, buf, 8, 10), -1);
    for (uint32_t base : {0u, 1u, 63u, 65u, 84u, 86u, 0xFFFFFFFFu}) {
        EXPECT_EQ(tvl_int_to_str(n.get(), buf, sizeof buf, base), -1) << base;
    }
    // The leading zero digit must fit too: "A+" needs 3 bytes.
    IntPtr v62 = make_int({62});
    EXPECT_EQ(tvl_int_to_str(v62.get(), buf, 2, 64), -1);
    EXPECT_EQ(tvl_int_to_str(v62.get(), buf, 3, 64), 2);
}

TEST(BigIntText, FullWidthValueInBaseTwo) {
    IntPtr n = make_int(Limbs(1024, 0xFFFFFFFFu));
    const std::string text = to_str(n.get(), 2);
    EXPECT_EQ(text, std::string(32768, '1'));
    IntPtr back = make_int();
    ASSERT_TRUE(tvl_int_from_str(back.get(), text.c_str(), 2));
    EXPECT_EQ(limbs(back.get()), limbs(n.get()));
    EXPECT_FALSE(tvl_int_from_str(back.get(), ("1" + text).c_str(), 2));
}

TEST(BigIntText, ZeroPrintsAndReadsInEveryBase) {
    IntPtr zero = make_int();
    for (uint32_t base : all_bases()) {
        const std::string text = to_str(zero.get(), base);
        ASSERT_EQ(text.size(), 1u);
        IntPtr back = make_int({7});
        ASSERT_TRUE(tvl_int_from_str(back.get(), text.c_str(), base));
        EXPECT_TRUE(tvl_int_is_zero(back.get())) << base;
        EXPECT_EQ(back->negative, 0);
    }
}

}  // namespace
