// Tests of type annotation parsing, the validity rules and the writer-side check.
#include "core/annotation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tvlr.h"

namespace {

struct Parsed {
    tvl_type_annotation a{};
    bool ok = false;
    bool unit_ok = false;
    bool unit_too_long = true;
    tvl_unit unit{};
    char unit_text[256];
    uint8_t unit_text_len = 99;
};

// Calls the exported parser with every out flag set to the opposite of its entry value, so
// that the test sees that the parser sets each one.
Parsed parse(const std::string &text) {
    Parsed p;
    std::memset(p.unit_text, '#', sizeof p.unit_text);
    std::memset(&p.unit, 0x5A, sizeof p.unit);
    p.a = tvl_parse_type_annotation(text.data(), static_cast<uint32_t>(text.size()), &p.ok,
                                    &p.unit_ok, &p.unit_too_long, &p.unit, p.unit_text,
                                    &p.unit_text_len);
    return p;
}

tvl_unit unit_of(const char *text) {
    bool ok = false;
    const tvl_unit u = tvl_parse_unit(text, &ok);
    EXPECT_TRUE(ok) << text;
    return u;
}

bool is_zero_unit(const tvl_unit &u) {
    static const tvl_unit zero{};
    return std::memcmp(&u, &zero, sizeof u) == 0;
}

struct Case {
    const char *text;
    bool ok;
    uint32_t type, bits, base;
};

TEST(Annotation, TypeWordsWidthsBasesAndFractions) {
    const std::vector<Case> cases = {
        {"uint", true, 3, 0, 0},
        {"uint:", true, 3, 0, 0},
        {"uint: ", true, 3, 0, 0},
        {"uint:16,_16", true, 3, 16, 16},
        {"uint: 16, _16,", true, 3, 16, 16},
        {"uint:,,16,,_16,,", true, 3, 16, 16},
        {"uint:16 ,_16", false, 3, 0, 0},
        {"uint:16,_16 ", false, 3, 16, 0},
        {"uint:8,16", true, 3, 16, 0},
        {"uint:_8,_16", true, 3, 0, 16},
        {"sint:32768", true, 2, 32768, 0},
        {"sint:32769", false, 2, 32769, 0},
        {"sint:4294967295", false, 2, 4294967295u, 0},
        {"sint:4294967296", false, 2, 0, 0},
        {"sint:99999999999999999999999", false, 2, 0, 0},
        {"float:64", true, 4, 64, 0},
        {"float:16", true, 4, 16, 0},
        {"float", true, 4, 0, 0},
        {"float:32768", true, 4, 32768, 0},
        {"float:32800", false, 4, 32800, 0},
        {"float:48", false, 4, 48, 0},
        {"float:8", false, 4, 8, 0},
        {"float:64,_16", true, 4, 64, 16},
        {"float:64,_10", true, 4, 64, 10},
        {"float:64,_8", false, 4, 64, 8},
        {"float_fix:32,q16", true, 5, 32, 16},
        {"float_fix:32,q32", false, 5, 32, 32},
        {"float_fix:32,q31", true, 5, 32, 31},
        {"float_fix,q63", false, 5, 0, 0},
        {"float_fix:q63", true, 5, 0, 63},
        {"float_fix:q64", false, 5, 0, 64},
        {"float_fix:256,q255", true, 5, 256, 255},
        {"float_fix:256,q256", false, 5, 256, 256},
        {"float_fix:256,q257", false, 5, 256, 0},
        {"float_fix:48", false, 5, 48, 0},
        {"float_fix:32,_16", false, 5, 32, 0},
        {"float_dec:64,_16", false, 6, 64, 0},
        {"float_dec:64,q4", false, 6, 64, 0},
        {"float_dec:128", true, 6, 128, 0},
        {"float_dec:24", false, 6, 24, 0},
        {"bool", true, 7, 0, 0},
        {"bool:", true, 7, 0, 0},
        {"bool:1", false, 7, 1, 0},
        {"bool:_2", false, 7, 0, 2},
        {"bool:0", true, 7, 0, 0},
        {"utf8:_16", true, 1, 0, 16},
        {"utf8:4294967295", true, 1, 4294967295u, 0},
        {"utf8:q3", false, 1, 0, 0},
        {"uint:q3", false, 3, 0, 0},
        {"uints", false, 3, 0, 0},
        {"floaty", false, 4, 0, 0},
        {"float_fixed", false, 5, 0, 0},
        {"float_de", false, 4, 0, 0},
        {"int", false, 0, 0, 0},
        {"Uint", false, 0, 0, 0},
        {"plain", false, 0, 0, 0},
        {"uin", false, 0, 0, 0},
        {"", false, 0, 0, 0},
        {" uint", false, 0, 0, 0},
        {"uint:_65", false, 3, 0, 0},
        {"uint:_85", true, 3, 0, 85},
        {"uint:_64", true, 3, 0, 64},
        {"uint:_63", false, 3, 0, 0},
        {"uint:_1", false, 3, 0, 0},
        {"uint:_0", false, 3, 0, 0},
        {"uint:_10000", false, 3, 0, 0},
        {"uint:_10001", false, 3, 0, 0},
        {"uint:_00016", true, 3, 0, 16},
        {"uint:_", false, 3, 0, 0},
        {"uint:_x", false, 3, 0, 0},
        {"uint:_16x", false, 3, 0, 0},
        {"uint:16x", false, 3, 0, 0},
        {"sint:8,_16,_2", true, 2, 8, 2},
    };
    for (const auto &c : cases) {
        const Parsed p = parse(c.text);
        EXPECT_EQ(p.ok, c.ok) << c.text;
        EXPECT_EQ(p.a.value_type, c.type) << c.text;
        EXPECT_EQ(p.a.bits, c.bits) << c.text;
        EXPECT_EQ(p.a.base, c.base) << c.text;
        EXPECT_TRUE(p.unit_ok) << c.text;
        EXPECT_FALSE(p.unit_too_long) << c.text;
        EXPECT_EQ(p.unit_text_len, 0) << c.text;
        EXPECT_EQ(p.unit_text[0], '#') << c.text;  // no unit parameter: buffer untouched
        EXPECT_TRUE(is_zero_unit(p.unit)) << c.text;
    }
}

TEST(Annotation, Units) {
    struct UnitCase {
        const char *text;
        bool ok;
        bool unit_ok;
        const char *unit_text;
        const char *unit;  // expected unit text for tvl_parse_unit, null for all zero
    };
    const std::vector<UnitCase> cases = {
        {"uint:8,k~g", true, true, "k~g", "k~g"},
        {"float:64,m/s", true, true, "m/s", "m/s"},
        {"float:64,s^-1", true, true, "s^-1", "s^-1"},
        {"uint:8,no_unit", true, true, "no_unit", nullptr},
        {"uint:8,xyz", true, false, "xyz", ""},
        {"uint:8, m", true, true, "m", "m"},
        {"uint:8,m ", true, false, "m ", ""},
        {"uint:8,m s", true, false, "m s", ""},
        {"uint:m,8", true, true, "m", "m"},
        {"uint:8,m,_16", true, true, "m", "m"},
        {"uint:8,m,s", true, true, "s", "s"},
        {"uint:8,xyz,s", true, false, "s", "s"},  // a failed unit stays reported
        {"uint:q", true, false, "q", ""},
        {"float_fix:32,q", true, false, "q", ""},
        {"utf8:k~m", true, true, "k~m", "k~m"},
        {"bool:m", false, true, "m", "m"},
        {"bool:no_unit", false, true, "no_unit", nullptr},
        {"sint:40000,m", false, true, "m", "m"},
        {"uint:8,m,16x", false, true, "m", "m"},
    };
    for (const auto &c : cases) {
        const Parsed p = parse(c.text);
        EXPECT_EQ(p.ok, c.ok) << c.text;
        EXPECT_EQ(p.unit_ok, c.unit_ok) << c.text;
        EXPECT_FALSE(p.unit_too_long) << c.text;
        EXPECT_EQ(p.unit_text_len, std::strlen(c.unit_text)) << c.text;
        EXPECT_STREQ(p.unit_text, c.unit_text) << c.text;
        if (c.unit == nullptr) {
            EXPECT_TRUE(is_zero_unit(p.unit)) << c.text;
        } else if (c.unit_ok) {
            EXPECT_TRUE(tvl_unit_equal(p.unit, unit_of(c.unit))) << c.text;
        }
    }
    // The kilogram is the gram with the decimal prefix k (index 15).
    const Parsed kg = parse("uint:8,k~g");
    ASSERT_EQ(kg.unit.count, 1u);
    EXPECT_EQ(kg.unit.factors[0].base, unit_of("g").factors[0].base);
    EXPECT_EQ(kg.unit.factors[0].prefix.kind, 0u);
    EXPECT_EQ(kg.unit.factors[0].prefix.index, 15u);
}

TEST(Annotation, UnitLengthLimit) {
    const std::string u255 = std::string(254, 'x') + "m";
    const Parsed at_limit = parse("uint:8," + u255);
    EXPECT_TRUE(at_limit.ok);
    EXPECT_FALSE(at_limit.unit_ok);  // not a unit, but read
    EXPECT_FALSE(at_limit.unit_too_long);
    EXPECT_EQ(at_limit.unit_text_len, 255);
    EXPECT_EQ(std::string(at_limit.unit_text), u255);

    const std::string u256(256, 'm');
    const Parsed over = parse("uint:8," + u256);
    EXPECT_TRUE(over.ok);
    EXPECT_FALSE(over.unit_ok);
    EXPECT_TRUE(over.unit_too_long);
    EXPECT_EQ(over.unit_text_len, 0);
    EXPECT_EQ(over.unit_text[0], '#');
    EXPECT_EQ(over.a.bits, 8u);

    // The parse ends at the long unit, but the fields read before it are still judged.
    EXPECT_FALSE(parse("sint:40000," + u256).ok);
    EXPECT_FALSE(parse("float:48," + u256).ok);
    EXPECT_FALSE(parse("bool:" + u256).ok);
    EXPECT_TRUE(parse("utf8:_16," + u256).ok);
    const Parsed ends = parse("uint:8," + u256 + ",_16");
    EXPECT_EQ(ends.a.base, 0u);
    EXPECT_TRUE(ends.unit_too_long);
    // An earlier unit stays as read.
    const Parsed earlier = parse("uint:m," + u256);
    EXPECT_STREQ(earlier.unit_text, "m");
    EXPECT_EQ(earlier.unit_text_len, 1);
    EXPECT_TRUE(earlier.unit_too_long);
    // A unit of 100000 bytes and an annotation full of spaces are handled without trouble.
    EXPECT_TRUE(parse("uint:8," + std::string(100000, 'k')).unit_too_long);
    EXPECT_TRUE(parse("uint:" + std::string(1000, ' ') + "16").ok);
    EXPECT_FALSE(parse("uint:" + std::string(1000, '9')).ok);
}

TEST(Annotation, LengthIsRespectedAndNullsAreSafe) {
    const char text[] = "uint:16,mX";
    bool ok = false;
    bool unit_ok = false;
    bool too_long = true;
    tvl_unit unit{};
    char unit_text[256];
    uint8_t unit_len = 0;
    tvl_type_annotation a =
        tvl_parse_type_annotation(text, 4, &ok, &unit_ok, &too_long, &unit, unit_text, &unit_len);
    EXPECT_TRUE(ok);
    EXPECT_EQ(a.value_type, 3u);
    EXPECT_EQ(a.bits, 0u);
    a = tvl_parse_type_annotation(text, 9, &ok, &unit_ok, &too_long, &unit, unit_text, &unit_len);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(unit_ok);
    EXPECT_STREQ(unit_text, "m");
    EXPECT_EQ(unit_len, 1);

    a = tvl_parse_type_annotation(nullptr, 5, &ok, &unit_ok, &too_long, &unit, unit_text,
                                  &unit_len);
    EXPECT_FALSE(ok);
    EXPECT_EQ(a.value_type + a.bits + a.base, 0u);
    a = tvl_parse_type_annotation(text, 0, &ok, &unit_ok, &too_long, &unit, unit_text, &unit_len);
    EXPECT_FALSE(ok);
    EXPECT_EQ(a.value_type, 0u);
    a = tvl_parse_type_annotation("uint:8,m", 8, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr);
    EXPECT_EQ(a.bits, 8u);
    // The same text as a span of the internal parser, cut before the unit.
    tvl::AnnotationParse parsed;
    EXPECT_TRUE(tvl::parse_type_annotation("uint:8,m", 6, parsed));
    EXPECT_EQ(parsed.unit_text_len, 0);
}

TEST(WriterCheck, Table) {
    struct Check {
        uint32_t type, bits, base;
        bool valid;
    };
    const std::vector<Check> cases = {
        {0, 12345, 999, true}, {1, 99999, 63, true}, {8, 7, 7, true},   {99, 0, 1, true},
        {2, 32768, 0, true},   {3, 32769, 0, false}, {3, 8, 85, true},  {3, 8, 63, false},
        {2, 8, 1, false},      {3, 0, 62, true},     {4, 0, 0, true},   {4, 16, 10, true},
        {4, 96, 16, true},     {4, 48, 0, false},    {4, 64, 2, false}, {4, 32800, 0, false},
        {5, 0, 63, true},      {5, 0, 64, false},    {5, 16, 15, true}, {5, 16, 16, false},
        {5, 24, 0, false},     {5, 256, 255, true},  {6, 64, 0, true},  {6, 64, 10, false},
        {6, 512, 0, false},    {7, 0, 0, true},      {7, 1, 0, false},  {7, 0, 10, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(tvl::annotation_fields_valid(c.type, c.bits, c.base), c.valid)
            << c.type << " " << c.bits << " " << c.base;
    }
}

// Every annotation that the writer could print reads back with the same fields, and the parser
// accepts it exactly when the writer-side check does.
TEST(WriterCheck, AgreesWithParser) {
    const uint32_t widths[] = {0, 1, 8, 16, 24, 32, 48, 64, 96, 128, 200, 256, 512, 32768, 32769};
    const uint32_t bases[] = {0, 2, 8, 10, 15, 16, 36, 62, 63, 64, 65, 85, 86, 255, 256};
    for (uint32_t type = 1; type <= 7; ++type) {
        for (uint32_t bits : widths) {
            for (uint32_t base : bases) {
                const tvl::TypeWord word = tvl::type_word(type);
                std::string text(word.text, word.len);
                text += ":" + std::to_string(bits);
                if (base != 0) {
                    text += type == TVLR_TYPE_FLOAT_FIX ? ",q" : ",_";
                    text += std::to_string(base);
                }
                const Parsed p = parse(text);
                bool expect = tvl::annotation_fields_valid(type, bits, base);
                // utf8 passes the writer check with any base; its text must still hold a base.
                if (type == TVLR_TYPE_UTF8 && base != 0 && !tvl::is_valid_base(base)) {
                    expect = false;
                }
                EXPECT_EQ(p.ok, expect) << text;
                if (p.ok) {
                    EXPECT_EQ(p.a.value_type, type);
                    EXPECT_EQ(p.a.bits, bits);
                    EXPECT_EQ(p.a.base, base);
                }
            }
        }
    }
}

TEST(TypeWord, Names) {
    const std::vector<std::pair<uint32_t, std::string>> cases = {
        {0, "plain"},     {1, "utf8"},      {2, "sint"}, {3, "uint"},  {4, "float"},
        {5, "float_fix"}, {6, "float_dec"}, {7, "bool"}, {8, "plain"}, {0xFFFFFFFF, "plain"},
    };
    for (const auto &[type, word] : cases) {
        const tvl::TypeWord w = tvl::type_word(type);
        EXPECT_EQ(std::string(w.text, w.len), word);
        EXPECT_EQ(std::strlen(w.text), w.len);
    }
}

}  // namespace
