// Unit text: parsing, printing, equality, validity and prefix arithmetic.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "tvlr.h"
#include "unit_test_util.h"
#include "utils/tvl_unit_impl.h"
#include "utils/unit_names.h"

namespace {

using tvl_test::plain_text_of;
using tvl_test::single;
using tvl_test::text_of;
using tvl_test::unit_of;

tvl_unit parse(const std::string &text, bool *ok) {
    return tvl_parse_unit_n(text.data(), static_cast<uint32_t>(text.size()), ok);
}

std::string symbol_of(uint32_t id) {
    if (tvl_unit_is_currency(id)) return tvl_currency_info(id)->code;
    return tvl::unit_canonical_symbol(id);
}

// Every identifier prints as its symbol and parses back, with every prefix
// that it accepts and every exponent; prefixes it refuses do not parse.
TEST(UnitText, EverySymbolRoundTripsWithPrefixesAndExponents) {
    for (uint32_t id = 1; id <= 377; ++id) {
        const std::string symbol = symbol_of(id);
        ASSERT_FALSE(symbol.empty()) << id;
        for (uint32_t kind = 0; kind <= 1; ++kind) {
            const uint32_t last = kind == 0 ? 24 : 10;
            // No prefix is spelled with kind 0; kind 1 starts at "Ki".
            for (uint32_t index = kind; index <= last; ++index) {
                const tvl_unit u = single(id, 1, kind, index);
                const bool allowed = tvl_prefix_unit_valid(tvl_prefix{kind, index}, id);
                const std::string prefix =
                    index == 0 ? ""
                               : std::string(kind == 0 ? tvl::decimal_prefixes[index].symbol
                                                       : tvl::binary_prefixes[index].symbol) +
                                     "~";
                const std::string text = prefix + symbol;
                bool ok = false;
                const tvl_unit back = parse(text, &ok);
                EXPECT_EQ(ok, allowed) << text;
                if (!allowed) {
                    EXPECT_EQ(plain_text_of(u), "<-1>") << text;
                    continue;
                }
                EXPECT_EQ(plain_text_of(u), text);
                EXPECT_TRUE(tvl_unit_equal(back, u)) << text;
                if (index % 5 != 0) continue;  // exponents on a sample of prefixes
                for (int32_t e = -9; e <= 9; ++e) {
                    if (e == 0) continue;
                    const tvl_unit ue = single(id, e, kind, index);
                    const std::string printed = plain_text_of(ue);
                    EXPECT_TRUE(tvl_unit_equal(parse(printed, &ok), ue)) << printed;
                    EXPECT_TRUE(ok) << printed;
                    const std::string ascii = text_of(ue, TVL_UNIT_FMT_ASCII);
                    EXPECT_TRUE(tvl_unit_equal(parse(ascii, &ok), ue)) << ascii;
                    EXPECT_TRUE(ok) << ascii;
                }
            }
        }
    }
}

TEST(UnitText, EveryAliasParsesToItsIdentifier) {
    for (const tvl::unit_name &row : tvl::unit_name_table) {
        const tvl_unit u = unit_of(row.text);
        EXPECT_TRUE(tvl_unit_equal(u, single(row.id))) << row.text;
        bool ok = false;
        const tvl_unit prefixed = parse(std::string("k~") + row.text + "^-3", &ok);
        EXPECT_EQ(ok, tvl_prefix_unit_valid(tvl_prefix{0, 15}, row.id)) << row.text;
        if (ok) {
            EXPECT_TRUE(tvl_unit_equal(prefixed, single(row.id, -3, 0, 15))) << row.text;
        }
    }
}

TEST(UnitText, ExponentSpellings) {
    struct row {
        const char *text;
        int32_t exponent;
    };
    const row rows[] = {
        {"m", 1},
        {"m^2", 2},
        {"m^+2", 2},
        {"m\xC2\xB2", 2},
        {"m\xE2\x81\xBA\xC2\xB2", 2},  // m⁺²
        {"m^-2", -2},
        {"m\xE2\x81\xBB\xC2\xB2", -2},  // m⁻²
        {"m\xC2\xB9", 1},
        {"m\xC2\xB3", 3},
        {"m\xE2\x81\xBB\xC2\xB9", -1},
        {"m\xE2\x81\xB4", 4},
        {"m\xE2\x81\xBB\xE2\x81\xB9", -9},
        {"m^9", 9},
        {"m^-9", -9},
        {"m^+1", 1},
    };
    for (const row &r : rows) {
        EXPECT_TRUE(tvl_unit_equal(unit_of(r.text), single(4, r.exponent))) << r.text;
    }
}

struct parse_row {
    const char *text;
    bool ok;
    const char *printed;  // text of the result, printed with tvl_unit_to_string
};

TEST(UnitText, ParseTable) {
    const parse_row rows[] = {
        {"no_unit", true, "no_unit"},
        {"m/s\xC2\xB2", true, "m/s\xC2\xB2"},
        {"m\xC2\xB7s\xE2\x81\xBB\xC2\xB2", true, "m/s\xC2\xB2"},
        {"m*s^-2", true, "m/s\xC2\xB2"},
        {"s^-1", true, "s\xE2\x81\xBB\xC2\xB9"},
        {"k~g\xC2\xB7m/s\xC2\xB2\xC2\xB7K", true, "k~g\xC2\xB7m/s\xC2\xB2\xC2\xB7K"},
        {"m/s/s", true, "m/s\xC2\xB7s"},
        {"m/s*s", true, "m/s\xC2\xB7s"},
        {"m\xC2\xB7m", true, "m\xC2\xB7m"},
        {"m/m", true, "m/m"},
        {"k~m", true, "k~m"},
        {"Ki~B", true, "Ki~B"},
        {"k~b", true, "k~b"},
        {"Q~B", true, "Q~B"},
        {"USD\xC2\xB2", true, "USD\xC2\xB2"},
        {"k~USD", true, "k~USD"},
        {"da~USD", true, "da~USD"},
        {"\xC2\xB5~USD", true, "\xC2\xB5~USD"},
        {"BTU", true, "Btu"},
        {"DOGE", true, "DOGE"},
        {"\xC2\xB0", true, "\xC2\xB0"},
        {"\xC2\xB0"
         "C",
         true,
         "\xC2\xB0"
         "C"},
        {"cd", true, "cd"},
        {"c~d", true, "c~d"},
        {"m~in", true, "m~in"},
        {"k~at", true, "k~at"},
        {"kat", true, "kat"},
        {"min", true, "min"},
        {"\xC2\xB5~s\xE2\x81\xBB\xC2\xB9", true, "\xC2\xB5~s\xE2\x81\xBB\xC2\xB9"},
        {"da~m", true, "da~m"},
        {"\xE2\x84\xA6", true, "\xE2\x84\xA6"},
        {"\xC3\x85", true, "\xE2\x84\xAB"},
        {"degC/h", true,
         "\xC2\xB0"
         "C/h"},
        {"m\xC2\xB7m\xC2\xB7m\xC2\xB7m\xC2\xB7m\xC2\xB7m\xC2\xB7m\xC2\xB7m", true,
         "m\xC2\xB7m\xC2\xB7m\xC2\xB7m\xC2\xB7m\xC2\xB7m\xC2\xB7m\xC2\xB7m"},
        {"US~USD", false, ""},
        // Refusals; printed is what was stored before the failure.
        {"", false, "no_unit"},
        {"km", false, "no_unit"},
        {"k~", false, "no_unit"},
        {"~m", false, "no_unit"},
        {"m/", false, "m"},
        {"/m", false, "no_unit"},
        {"m//s", false, "m"},
        {"m\xC2\xB7\xC2\xB7s", false, "m"},
        {"m**s", false, "m"},
        {"m\xC2\xB7m\xC2\xB7m\xC2\xB7m\xC2\xB7m\xC2\xB7m\xC2\xB7m\xC2\xB7m\xC2\xB7m", false,
         "m\xC2\xB7m\xC2\xB7m\xC2\xB7m\xC2\xB7m\xC2\xB7m\xC2\xB7m\xC2\xB7m"},
        {"Ki~m", false, "no_unit"},
        {"m~B", false, "no_unit"},
        {"da~B", false, "no_unit"},
        {"h~b", false, "no_unit"},
        {"k~%", false, "no_unit"},
        {"Ki~USD", false, "no_unit"},
        {"x~USD", false, "no_unit"},
        {"usd", false, "no_unit"},
        {"m^0", false, "no_unit"},
        {"m^10", false, "no_unit"},
        {"m^-0", false, "no_unit"},
        {"m\xE2\x81\xB0", false, "no_unit"},
        {"m\xC2\xB9\xC2\xB2", false, "no_unit"},
        {"m^", false, "no_unit"},
        {"^2", false, "no_unit"},
        {"\xC2\xB2", false, "no_unit"},
        {"\xE2\x81\xBB\xC2\xB2", false, "no_unit"},
        {" m", false, "no_unit"},
        {"m ", false, "no_unit"},
        {"m/ s", false, "m"},
        {"u~m", false, "no_unit"},
        {"\xCE\xBC~m", false, "no_unit"},  // Greek mu is not the micro sign
        {"\xCE\xA9", false, "no_unit"},    // Greek omega is not the ohm sign
        {"k~~m", false, "no_unit"},
        {"k~m~m", false, "no_unit"},
        {"no_unit\xC2\xB7m", false, "no_unit"},
        {"No_unit", false, "no_unit"},
        {"m\xC2", false, "no_unit"},
        {"\xC2\xB7", false, "no_unit"},
    };
    for (const parse_row &r : rows) {
        bool ok = !r.ok;
        const tvl_unit u = parse(r.text, &ok);
        EXPECT_EQ(ok, r.ok) << r.text;
        EXPECT_LE(u.count, 8u) << r.text;
        if (r.printed[0] != '\0') {
            EXPECT_EQ(plain_text_of(u), r.printed) << r.text;
        }
        for (uint32_t i = u.count; i < 8; ++i) {
            EXPECT_EQ(u.factors[i].base, 0u);
            EXPECT_EQ(u.factors[i].exponent, 0);
        }
    }
}

TEST(UnitText, FactorsKeepTheOrderAndSignsOfTheText) {
    const tvl_unit u = unit_of("k~g\xC2\xB7m/s\xC2\xB2\xC2\xB7K");
    ASSERT_EQ(u.count, 4u);
    const tvl_unit_factor want[] = {
        {5, 1, {0, 15}}, {4, 1, {0, 0}}, {3, -2, {0, 0}}, {7, -1, {0, 0}}};
    for (uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(u.factors[i].base, want[i].base) << i;
        EXPECT_EQ(u.factors[i].exponent, want[i].exponent) << i;
        EXPECT_EQ(u.factors[i].prefix.kind, want[i].prefix.kind) << i;
        EXPECT_EQ(u.factors[i].prefix.index, want[i].prefix.index) << i;
    }
    // After "/" the signs stay flipped: "m/s^-2" is m·s².
    EXPECT_TRUE(tvl_unit_equal(unit_of("m/s^-2"), unit_of("m*s^2")));
    EXPECT_TRUE(tvl_unit_equal(unit_of("m/s/s"), unit_of("m*s^-1*s^-1")));
}

TEST(UnitText, NullAndTerminatedTexts) {
    bool ok = true;
    tvl_unit u = tvl_parse_unit(nullptr, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(u.count, 0u);
    u = tvl_parse_unit_n(nullptr, 3, &ok);
    EXPECT_FALSE(ok);
    u = tvl_parse_unit("k~m/s", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(u.count, 2u);
    u = tvl_parse_unit("", &ok);
    EXPECT_FALSE(ok);
    // The length decides, not a NUL.
    u = tvl_parse_unit_n("m\0s", 3, &ok);
    EXPECT_FALSE(ok);
    u = tvl_parse_unit_n("m/sXYZ", 3, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(plain_text_of(u), "m/s");
    // A null flag is tolerated.
    u = tvl_parse_unit_n("m", 1, nullptr);
    EXPECT_EQ(u.count, 1u);
    u = tvl_parse_unit("m", nullptr);
    EXPECT_EQ(u.count, 1u);
}

// Whatever the bytes, parsing returns, leaves no stray factors and a result
// that is ok prints and parses back to the same text.
void check_any_text(const std::string &text) {
    bool ok = false;
    const tvl_unit u = parse(text, &ok);
    ASSERT_LE(u.count, 8u);
    for (uint32_t i = 0; i < u.count; ++i) {
        EXPECT_NE(u.factors[i].exponent, 0);
        EXPECT_TRUE(tvl_prefix_unit_valid(u.factors[i].prefix, u.factors[i].base));
    }
    for (uint32_t i = u.count; i < 8; ++i) EXPECT_EQ(u.factors[i].base, 0u);
    if (!ok) return;
    EXPECT_TRUE(tvl_unit_valid(u));
    const std::string printed = plain_text_of(u);
    ASSERT_NE(printed, "<-1>") << text;
    bool ok2 = false;
    const tvl_unit again = parse(printed, &ok2);
    EXPECT_TRUE(ok2) << printed;
    EXPECT_EQ(plain_text_of(again), printed) << text;
}

TEST(UnitText, ArbitraryBytesNeverBreakTheParser) {
    std::mt19937 rng_engine(12345);
    auto rng = [&rng_engine] { return static_cast<uint32_t>(rng_engine()); };
    // Pieces that make valid text likely, and bytes that make it invalid.
    std::vector<std::string> pieces = {"k~",
                                       "Ki~",
                                       "\xC2\xB5~",
                                       "da~",
                                       "~",
                                       "*",
                                       "/",
                                       "\xC2\xB7",
                                       "^",
                                       "^-",
                                       "^+",
                                       "2",
                                       "0",
                                       "\xC2\xB2",
                                       "\xE2\x81\xBB",
                                       "\xE2\x81\xB9",
                                       "\xC2",
                                       "\xE2\x81",
                                       "\xFF",
                                       "USD",
                                       "DOGE",
                                       "no_unit",
                                       " ",
                                       std::string(1, '\0')};
    for (const tvl::unit_name &row : tvl::unit_name_table) pieces.push_back(row.text);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const int n = static_cast<int>(rng() % 12);
        for (int i = 0; i < n; ++i) text += pieces[rng() % pieces.size()];
        check_any_text(text);
    }
    for (int round = 0; round < 2000; ++round) {
        std::string text(rng() % 40, '\0');
        for (char &c : text) c = static_cast<char>(rng() & 0xFF);
        check_any_text(text);
    }
    // Texts longer than 255 bytes and than any name.
    check_any_text(std::string(300, 'm'));
    check_any_text(std::string(70000, '\xC2'));
    std::string many;
    for (int i = 0; i < 200; ++i) many += "k~m\xC2\xB7";
    check_any_text(many);
    std::string long_prefix(1000, 'x');
    check_any_text(long_prefix + "~m");
    check_any_text(long_prefix + "~USD");
    check_any_text("k~" + std::string(5000, '~') + "USD");
}

TEST(UnitPrint, BufferSizes) {
    const tvl_unit u = unit_of("k~g\xC2\xB7m/s\xC2\xB2");
    const std::string text = "k~g\xC2\xB7m/s\xC2\xB2";
    std::vector<char> buf(text.size() + 1, 'x');
    EXPECT_EQ(tvl_unit_to_string(buf.data(), buf.size(), u), static_cast<int>(text.size()));
    EXPECT_EQ(std::string(buf.data()), text);
    EXPECT_EQ(tvl_unit_to_string(buf.data(), text.size(), u), -1);
    for (size_t size = 1; size < text.size(); ++size) {
        EXPECT_EQ(tvl_unit_to_string(buf.data(), size, u), -1) << size;
    }
    char small[8];
    EXPECT_EQ(tvl_unit_to_string(small, 8, tvl_unit{}), 7);
    EXPECT_STREQ(small, "no_unit");
    EXPECT_EQ(tvl_unit_to_string(small, 7, tvl_unit{}), -1);
    EXPECT_EQ(tvl_unit_to_string(nullptr, 8, u), -1);
    EXPECT_EQ(tvl_unit_to_string(small, 0, u), -1);
    EXPECT_EQ(tvl_unit_to_string_ex(nullptr, 8, 0, u), -1);
    EXPECT_EQ(tvl_unit_to_string_ex(small, 0, 3, u), -1);
}

TEST(UnitPrint, NeutralAndInvalidUnits) {
    struct row {
        tvl_unit unit;
        const char *printed;
        const char *ascii = nullptr;  // when it differs
    };
    tvl_unit two_neutral{};
    two_neutral.count = 2;
    two_neutral.factors[0] = {0, 1, {0, 0}};
    two_neutral.factors[1] = {0, 1, {0, 0}};
    tvl_unit neutral_and_metre = two_neutral;
    neutral_and_metre.factors[1] = {4, -1, {0, 0}};
    tvl_unit nine = single(4);
    nine.count = 9;
    tvl_unit hidden_bad = single(4);
    hidden_bad.factors[1] = {4, 0, {0, 0}};  // beyond count: not in use
    const row rows[] = {
        {tvl_unit{}, "no_unit"},
        {single(0), "no_unit"},
        {two_neutral, "no_unit"},
        {neutral_and_metre, "m\xE2\x81\xBB\xC2\xB9", "m^-1"},
        {single(0, 1, 0, 15), "<-1>"},  // a prefix on nothing has no text
        {nine, "<-1>"},
        {single(4, 0), "<-1>"},
        {single(4, 10), "<-1>"},
        {single(4, -10), "<-1>"},
        {single(4, INT32_MIN), "<-1>"},
        {single(378), "<-1>"},
        {single(UINT32_MAX), "<-1>"},
        {single(4, 1, 2, 0), "<-1>"},
        {single(4, 1, 0, 25), "<-1>"},
        {single(1, 1, 1, 11), "<-1>"},
        {single(1, 1, 1, UINT32_MAX), "<-1>"},
        {hidden_bad, "m"},
    };
    for (const row &r : rows) {
        EXPECT_EQ(plain_text_of(r.unit), r.printed);
        EXPECT_EQ(text_of(r.unit, TVL_UNIT_FMT_ASCII), r.ascii ? r.ascii : r.printed);
        EXPECT_EQ(text_of(r.unit, TVL_UNIT_FMT_REDUCE), r.printed);
    }
}

TEST(UnitPrint, LayoutOfPositiveAndNegativeFactors) {
    const struct {
        const char *text;
        const char *printed;
        const char *ascii;
    } rows[] = {
        {"s^-1*m^-1", "s\xE2\x81\xBB\xC2\xB9\xC2\xB7m\xE2\x81\xBB\xC2\xB9", "s^-1*m^-1"},
        {"s^-1*m", "m/s", "m/s"},
        {"m/s^2", "m/s\xC2\xB2", "m/s^2"},
        {"k~g*m^2/s^3/A",
         "k~g\xC2\xB7m\xC2\xB2/s\xC2\xB3\xC2\xB7"
         "A",
         "k~g*m^2/s^3*A"},
        {"\xC2\xB5~m^9", "\xC2\xB5~m\xE2\x81\xB9", "\xC2\xB5~m^9"},
        {"m^-9", "m\xE2\x81\xBB\xE2\x81\xB9", "m^-9"},
        {"Mi~B/s", "Mi~B/s", "Mi~B/s"},
    };
    for (const auto &r : rows) {
        const tvl_unit u = unit_of(r.text);
        EXPECT_EQ(plain_text_of(u), r.printed) << r.text;
        EXPECT_EQ(text_of(u, 0), r.printed) << r.text;
        EXPECT_EQ(text_of(u, TVL_UNIT_FMT_ASCII), r.ascii) << r.text;
        EXPECT_EQ(text_of(u, TVL_UNIT_FMT_ASCII | 0xF0), r.ascii) << "unknown flags are ignored";
    }
}

TEST(UnitValue, EqualityAndValidity) {
    EXPECT_TRUE(tvl_unit_equal(unit_of("m^2"), unit_of("m\xE2\x81\xBA\xC2\xB2")));
    EXPECT_FALSE(tvl_unit_equal(unit_of("m*s"), unit_of("s*m")));
    EXPECT_FALSE(tvl_unit_equal(unit_of("k~m"), unit_of("m")));
    EXPECT_FALSE(tvl_unit_equal(tvl_unit{}, single(0)));  // no unit, two spellings
    EXPECT_FALSE(tvl_unit_equal(single(4, 1, 0, 0), single(4, 1, 1, 0)));
    tvl_unit a = unit_of("m");
    tvl_unit b = a;
    b.factors[3] = {9, 9, {1, 1}};  // slots beyond count do not count
    EXPECT_TRUE(tvl_unit_equal(a, b));
    a.count = b.count = 20;
    EXPECT_TRUE(tvl_unit_equal(a, a));

    EXPECT_TRUE(tvl_unit_valid(tvl_unit{}));
    EXPECT_TRUE(tvl_unit_valid(single(0)));
    EXPECT_TRUE(tvl_unit_valid(single(4, 12)));  // the range is not checked here
    EXPECT_TRUE(tvl_unit_valid(single(4, 1, 0, 99)));
    EXPECT_FALSE(tvl_unit_valid(single(4, 0)));
    EXPECT_FALSE(tvl_unit_valid(single(378)));
    EXPECT_FALSE(tvl_unit_valid(single(4, 1, 2, 0)));
    EXPECT_FALSE(tvl_unit_valid(a));  // count 20
}

TEST(UnitValue, PrefixRule) {
    struct row {
        uint32_t kind, index, base;
        bool valid;
    };
    const row rows[] = {
        {0, 15, 4, true},    {0, 1, 4, true},     {0, 99, 4, true},   {1, 0, 4, true},
        {1, 1, 4, false},    {1, 1, 1, true},     {1, 10, 2, true},   {1, 55, 2, true},
        {0, 14, 2, false},   {0, 15, 2, true},    {0, 24, 1, true},   {0, 10, 1, false},
        {0, 3, 277, true},   {1, 1, 277, false},  {1, 0, 277, false}, {0, 1, 348, false},
        {1, 0, 348, true},   {0, 0, 360, true},   {0, 15, 361, true}, {0, 15, 371, true},
        {0, 15, 372, false}, {0, 15, 377, false}, {0, 0, 378, false}, {2, 0, 4, false},
        {0, 15, 0, true},    {0, 15, 133, true},
    };
    for (const row &r : rows) {
        EXPECT_EQ(tvl_prefix_unit_valid(tvl_prefix{r.kind, r.index}, r.base), r.valid)
            << r.kind << "/" << r.index << " on " << r.base;
    }
}

TEST(UnitValue, PrefixFactorAndPower) {
    struct row {
        const char *text;
        double factor;
        int power;
    };
    const row rows[] = {
        {"k~m\xC2\xB2", 1e6, 6},
        {"Ki~B", 1024, 10},
        {"m~s\xE2\x81\xBB\xC2\xB9", 1000, 3},
        {"k~m\xC2\xB7Ki~B", 1024e3, 13},
        {"m", 1, 0},
        {"no_unit", 1, 0},
        {"Qi~B^2", 0x1p200, 200},
        {"q~m^9", 1e-270, -270},
        {"da~m/h~s", 0.1, -1},
    };
    for (const row &r : rows) {
        const tvl_unit u = unit_of(r.text);
        EXPECT_NEAR(tvl_unit_prefix_factor(u), r.factor, r.factor * 1e-14) << r.text;
        EXPECT_EQ(tvl_unit_prefix_exponent(u), r.power) << r.text;
    }
    // Out of the model: skipped, never a crash.
    tvl_unit odd = single(4, 12, 0, 15);
    odd.count = 2;
    odd.factors[1] = {4, 2, {0, 15}};
    EXPECT_DOUBLE_EQ(tvl_unit_prefix_factor(odd), 1e6);
    EXPECT_EQ(tvl_unit_prefix_exponent(odd), 6);
    EXPECT_DOUBLE_EQ(tvl_unit_prefix_factor(single(4, INT32_MIN, 0, 15)), 1.0);
    EXPECT_EQ(tvl_unit_prefix_exponent(single(4, INT32_MIN, 0, 15)), 0);
    EXPECT_DOUBLE_EQ(tvl_unit_prefix_factor(single(4, 2, 0, 77)), 1.0);
    EXPECT_EQ(tvl_unit_prefix_exponent(single(4, 2, 1, 77)), 0);
}

TEST(UnitValue, ExponentConversions) {
    const int inputs[] = {-10, -9, -1, 0, 1, 9, 10, INT32_MIN, INT32_MAX};
    const int expected[] = {0, -9, -1, 0, 1, 9, 0, 0, 0};
    for (size_t i = 0; i < std::size(inputs); ++i) {
        EXPECT_EQ(tvl_exponent_to_int(inputs[i]), expected[i]) << inputs[i];
        EXPECT_EQ(tvl_int_to_exponent(inputs[i]), expected[i]) << inputs[i];
    }
}

}  // namespace
