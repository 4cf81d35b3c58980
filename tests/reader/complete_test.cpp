// Completion of values: typed events, added annotations, type and range
// checks, units, arrays and matrices, and recovery traces.
#include <charconv>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/value_rules.h"
#include "support/trace.h"

using tvltest::read_trace;

namespace {

struct Case {
    std::string_view input;
    const char *expected;
};

void PrintTo(const Case &c, std::ostream *os) {
    *os << '"' << c.input << '"';
}

class Completion : public ::testing::TestWithParam<Case> {};

TEST_P(Completion, Trace) {
    EXPECT_EQ(read_trace(GetParam().input).trace, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, Completion,
    ::testing::Values(
        Case{".a = <uint:8>;", "S .a <\"uint:8\" T=uint:8 bits=8 >@uint:8 null\"\"@uint:8 E -> ok"},
        Case{".f = <uint> on;",
             "S .f <\"uint\" T=uint:0 >@uint:0 !type_value_mismatch@1:15#14 -> fail "
             "type_value_mismatch"},
        Case{".n = <uint:8> 256;",
             "S .n <\"uint:8\" T=uint:8 bits=8 >@uint:8 !value_out_of_range@1:18#17 -> fail "
             "value_out_of_range"},
        Case{".n = <uint:8> 255;",
             "S .n <\"uint:8\" T=uint:8 bits=8 >@uint:8 num\"255\"@uint:8 E -> ok"},
        Case{".n = <sint:8> -128;",
             "S .n <\"sint:8\" T=sint:8 bits=8 >@sint:8 num\"-128\"@sint:8 E -> ok"},
        Case{".n = <sint:8> -129;",
             "S .n <\"sint:8\" T=sint:8 bits=8 >@sint:8 !value_out_of_range@1:19#18 -> fail "
             "value_out_of_range"},
        Case{".n = <uint> -1;",
             "S .n <\"uint\" T=uint:0 >@uint:0 !value_out_of_range@1:15#14 -> fail "
             "value_out_of_range"},
        Case{".n = <uint:8,_16> \"ff\";",
             "S .n <\"uint:8,_16\" T=uint:8:b16 bits=8 base=16 >@uint:8:16 str\"ff\"@uint:8:16 E "
             "-> ok"},
        Case{".n = <uint:8,_16> \"fg\";",
             "S .n <\"uint:8,_16\" T=uint:8:b16 bits=8 base=16 >@uint:8:16 "
             "!digit_not_in_base@1:23#22 -> fail digit_not_in_base"},
        Case{".n = <uint> 1.5;",
             "S .n <\"uint\" T=uint:0 >@uint:0 !type_value_mismatch@1:16#15 -> fail "
             "type_value_mismatch"},
        Case{".n = <float> 1.5;", "S .n <\"float\" T=float:0 >@float:0 num\"1.5\"@float:0 E -> ok"},
        Case{".m = [1, 2] / [3, 4];",
             "S .m [ +uint:64 anum\"1\"@uint:64 anum\"2\"@uint:64 ] / [ anum\"3\"@uint:64 "
             "anum\"4\"@uint:64 ] E -> ok"},
        Case{".m = [1, 2] / [3];",
             "S .m [ +uint:64 anum\"1\"@uint:64 anum\"2\"@uint:64 ] / [ anum\"3\"@uint:64 "
             "!array_row_size_mismatch@1:17#16 -> fail array_row_size_mismatch"},
        Case{".m = [1, 2] / [3, 4, 5];",
             "S .m [ +uint:64 anum\"1\"@uint:64 anum\"2\"@uint:64 ] / [ anum\"3\"@uint:64 "
             "anum\"4\"@uint:64 !array_row_size_mismatch@1:20#19 -> fail array_row_size_mismatch"},
        Case{".m = [[1, 2], [3]];",
             "S .m [ [ +uint:64 anum\"1\"@uint:64 anum\"2\"@uint:64 ] [ anum\"3\"@uint:64 ] ] E -> "
             "ok"},
        Case{".m = [[1], 2] / [3, 4];",
             "S .m [ [ +uint:64 anum\"1\"@uint:64 ] anum\"2\"@uint:64 ] / [ anum\"3\"@uint:64 "
             "anum\"4\"@uint:64 !array_row_size_mismatch@1:22#21 -> fail array_row_size_mismatch"},
        Case{".m = [[1], 2] / [[3], 4];",
             "S .m [ [ +uint:64 anum\"1\"@uint:64 ] anum\"2\"@uint:64 ] / [ [ anum\"3\"@uint:64 ] "
             "anum\"4\"@uint:64 ] E -> ok"},
        Case{".p = 12 m;", "S .p +uint:64\"m\"~4 num\"12\"@uint:64~4 E -> ok"},
        // An annotation makes the added one redundant for later elements only with base 0 or
        // 10 and the same type and width (0 read as 64).
        Case{
            ".m = [<uint:64,_10> 1, 2, <uint:64,_16> \"3\", 4, <uint> 5, 6, <uint:32> 7, 8];",
            "S .m [ <\"uint:64,_10\" T=uint:64:b10 bits=64 base=10 >@uint:64:10 "
            "anum\"1\"@uint:64:10 anum\"2\"@uint:64 <\"uint:64,_16\" T=uint:64:b16 bits=64 base=16 "
            ">@uint:64:16 astr\"3\"@uint:64:16 +uint:64 anum\"4\"@uint:64 <\"uint\" T=uint:0 "
            ">@uint:0 anum\"5\"@uint:0 anum\"6\"@uint:64 <\"uint:32\" T=uint:32 bits=32 "
            ">@uint:32 anum\"7\"@uint:32 +uint:64 anum\"8\"@uint:64 ] E -> ok"},
        Case{".p = 12 foo;", "S .p +uint:64\"foo\" !unit_illegal@1:12#11 -> fail unit_illegal"},
        Case{".c = 12.50 USD;",
             "S .c +float_dec:64\"USD\"~277 num\"12.50\"@float_dec:64~277 E -> ok"},
        Case{".a = [{.x = 1;}, {.x = 2;}];",
             "S .a [ { .x +uint:64 num\"1\"@uint:64 } { .x +uint:64 num\"2\"@uint:64 } ] E -> ok"},
        Case{".m = [1] / [2]; .n = [1, 2];",
             "S .m [ +uint:64 anum\"1\"@uint:64 ] / [ anum\"2\"@uint:64 ] .n [ +uint:64 "
             "anum\"1\"@uint:64 anum\"2\"@uint:64 ] E -> ok"},
        Case{".s = { .m = [1] / [2]; .n = [1, 2]; };",
             "S .s { .m [ +uint:64 anum\"1\"@uint:64 ] / [ anum\"2\"@uint:64 ] .n [ +uint:64 "
             "anum\"1\"@uint:64 anum\"2\"@uint:64 ] } E -> ok"},
        Case{".m = [1.5] / [2];",
             "S .m [ +float:64 anum\"1.5\"@float:64 ] / [ +uint:64 anum\"2\"@uint:64 ] E -> ok"},
        Case{".a = [1], 2;",
             "S .a [ +uint:64 anum\"1\"@uint:64 ] !unexpected_input_byte@1:9#8 -> fail "
             "unexpected_input_byte"},
        Case{".a = [1]];",
             "S .a [ +uint:64 anum\"1\"@uint:64 ] !unexpected_input_byte@1:9#8 -> fail "
             "unexpected_input_byte"},
        Case{".a = [<float> $nan, 1];",
             "S .a [ <\"float\" T=float:0 >@float:0 anum\"nan\"@float:0 +uint:64 anum\"1\"@uint:64 "
             "] E -> ok"},
        Case{".a = <uint:8,m> 5 m;",
             "S .a <\"uint:8,m\" T=uint:8~4 bits=8 unit\"m\" >@uint:8~4 num\"5\"@uint:8~4 E -> ok"},
        Case{".a = <uint:8,m> 5 s;",
             "S .a <\"uint:8,m\" T=uint:8~4 bits=8 unit\"m\" >@uint:8~4 !unit_mismatch@1:20#19 -> "
             "fail unit_mismatch"},
        Case{".a = <utf8> 5;",
             "S .a <\"utf8\" T=utf8:0 >@utf8:0 !type_value_mismatch@1:14#13 -> fail "
             "type_value_mismatch"},
        Case{".a = <bool> x;",
             "S .a <\"bool\" T=bool:0 >@bool:0 !type_value_mismatch@1:14#13 -> fail "
             "type_value_mismatch"},
        Case{".a = <uint:8,_2> 12;",
             "S .a <\"uint:8,_2\" T=uint:8:b2 bits=8 base=2 >@uint:8:2 !digit_not_in_base@1:20#19 "
             "-> fail digit_not_in_base"},
        Case{".a = <uint:8,_16> 1e5;",
             "S .a <\"uint:8,_16\" T=uint:8:b16 bits=8 base=16 >@uint:8:16 "
             "!value_out_of_range@1:22#21 -> fail value_out_of_range"},
        Case{".a = <uint:12,_16> 1e5;",
             "S .a <\"uint:12,_16\" T=uint:12:b16 bits=12 base=16 >@uint:12:16 "
             "num\"1e5\"@uint:12:16 E -> ok"},
        Case{".a = <float_fix:32,q8> 1.5;",
             "S .a <\"float_fix:32,q8\" T=float_fix:32:b8 bits=32 frac=8 >@float_fix:32:8 "
             "num\"1.5\"@float_fix:32:8 E -> ok"},
        Case{".a = <uint:9,_3> m;",
             "S .a <\"uint:9,_3\" T=uint:9:b3 bits=9 base=3 >@uint:9:3 "
             "!type_value_mismatch@1:19#18 -> fail type_value_mismatch"},
        Case{".a = <bool:8> true;",
             "S .a <\"bool:8\" !illegal_value_type@1:13#12 -> fail illegal_value_type"},
        Case{".a = [1, [2, 3]];",
             "S .a [ +uint:64 anum\"1\"@uint:64 [ anum\"2\"@uint:64 anum\"3\"@uint:64 ] ] E -> ok"},
        Case{".a = [1;", "S .a [ !unexpected_input_byte@1:8#7 -> fail unexpected_input_byte"},
        Case{".D=<sint>, .e=1;",
             "S .D <\"sint\" T=sint:0 >@sint:0 null\"\"@sint:0 !unexpected_input_byte@1:10#9 -> "
             "fail unexpected_input_byte"},
        Case{".D=<sint>] .e=1;",
             "S .D <\"sint\" T=sint:0 >@sint:0 null\"\"@sint:0 !unexpected_input_byte@1:10#9 -> "
             "fail unexpected_input_byte"},
        Case{".s = \"abc\" m;", "S .s +utf8 str\"abc\"@utf8:0~4 E -> ok"}));

// The one-pass checks of decimal number tokens and of integer strings give check_value's result
// for every text: random texts over the number alphabet, and the values around every power of
// two up to 2^64, under every type, widths at the 64-bit edges and bases that do and do not read
// decimal digits.
TEST(DecimalNumberCheck, AgreesWithTheGeneralCheck) {
    std::mt19937 rng(77);
    std::vector<std::string> texts;
    static constexpr char kAlphabet[] = "0123456789-.eE+aFz";
    for (int i = 0; i < 3000; ++i) {
        std::string t;
        const size_t len = rng() % 24;
        const bool digits_only = i % 2 == 0;
        for (size_t k = 0; k < len; ++k)
            t += kAlphabet[rng() % (digits_only ? 10 : sizeof kAlphabet - 1)];
        if (digits_only && rng() % 2) t.insert(0, "-");
        texts.push_back(t);
    }
    for (uint32_t k = 0; k <= 64; ++k) {
        const uint64_t p = k == 64 ? UINT64_MAX : uint64_t{1} << k;
        for (const uint64_t v : {p - 1, p, p + 1}) {
            char hex[20];
            const auto hex_end = std::to_chars(hex, hex + sizeof hex, v, 16).ptr;
            for (std::string digits : {std::to_string(v), std::string(hex, hex_end)}) {
                texts.push_back(digits);
                texts.push_back("-" + digits);
            }
        }
    }
    size_t checked = 0;
    for (uint32_t type = 0; type <= 9; ++type)
        for (const uint32_t bits : {0u, 1u, 8u, 31u, 32u, 33u, 63u, 64u, 65u, 128u})
            for (const uint32_t base : {0u, 2u, 8u, 10u, 16u, 36u})
                for (const uint32_t kind : {TVL_VK_NUMBER, TVL_VK_ARRAY_NUMBER, TVL_VK_STRING})
                    for (const std::string &t : texts) {
                        const tvl_type_annotation a{type, bits, base};
                        const uint32_t general = tvl::check_value(a, kind, t);
                        ASSERT_EQ(tvl::check_decimal_number(a, kind, t), general)
                            << t << " type " << type << ':' << bits << ',' << base;
                        ASSERT_EQ(tvl::check_integer_string(a, kind, t), general)
                            << t << " type " << type << ':' << bits << ',' << base;
                        ++checked;
                    }
    EXPECT_GT(checked, 100000u);
}

}  // namespace
