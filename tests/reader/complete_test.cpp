// Completion of values: typed events, added annotations, type and range
// checks, units, arrays and matrices, and recovery traces.
#include <gtest/gtest.h>

#include <string_view>

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
        Case{".a = <uint:8>;", "S .a <\"uint:8\" T3:8 p12:8 >@3:8 v9\"\"@3:8 E -> ok"},
        Case{".f = <uint> on;", "S .f <\"uint\" T3:0 >@3:0 !34@1:15#14 -> fail 34"},
        Case{".n = <uint:8> 256;", "S .n <\"uint:8\" T3:8 p12:8 >@3:8 !35@1:18#17 -> fail 35"},
        Case{".n = <uint:8> 255;", "S .n <\"uint:8\" T3:8 p12:8 >@3:8 v2\"255\"@3:8 E -> ok"},
        Case{".n = <sint:8> -128;", "S .n <\"sint:8\" T2:8 p12:8 >@2:8 v2\"-128\"@2:8 E -> ok"},
        Case{".n = <sint:8> -129;", "S .n <\"sint:8\" T2:8 p12:8 >@2:8 !35@1:19#18 -> fail 35"},
        Case{".n = <uint> -1;", "S .n <\"uint\" T3:0 >@3:0 !35@1:15#14 -> fail 35"},
        Case{".n = <uint:8,_16> \"ff\";",
             "S .n <\"uint:8,_16\" T3:8:b16 p12:8 p13:16 >@3:8:16 v1\"ff\"@3:8:16 E -> ok"},
        Case{".n = <uint:8,_16> \"fg\";",
             "S .n <\"uint:8,_16\" T3:8:b16 p12:8 p13:16 >@3:8:16 !36@1:23#22 -> fail 36"},
        Case{".n = <uint> 1.5;", "S .n <\"uint\" T3:0 >@3:0 !34@1:16#15 -> fail 34"},
        Case{".n = <float> 1.5;", "S .n <\"float\" T4:0 >@4:0 v2\"1.5\"@4:0 E -> ok"},
        Case{".m = [1, 2] / [3, 4];",
             "S .m [ <\"uint\" T3:64 p12:64 p13:0 p11\"no_unit\" >@3:64 v5\"1\"@3:64 v5\"2\"@3:64 "
             "] / [ v5\"3\"@3:64 v5\"4\"@3:64 ] E -> ok"},
        Case{".m = [1, 2] / [3];",
             "S .m [ <\"uint\" T3:64 p12:64 p13:0 p11\"no_unit\" >@3:64 v5\"1\"@3:64 v5\"2\"@3:64 "
             "] / [ v5\"3\"@3:64 !2@1:17#16 -> fail 2"},
        Case{".m = [1, 2] / [3, 4, 5];",
             "S .m [ <\"uint\" T3:64 p12:64 p13:0 p11\"no_unit\" >@3:64 v5\"1\"@3:64 v5\"2\"@3:64 "
             "] / [ v5\"3\"@3:64 v5\"4\"@3:64 !2@1:20#19 -> fail 2"},
        Case{".m = [[1, 2], [3]];",
             "S .m [ [ <\"uint\" T3:64 p12:64 p13:0 p11\"no_unit\" >@3:64 v5\"1\"@3:64 "
             "v5\"2\"@3:64 ] [ v5\"3\"@3:64 ] ] E -> ok"},
        Case{".m = [[1], 2] / [3, 4];",
             "S .m [ [ <\"uint\" T3:64 p12:64 p13:0 p11\"no_unit\" >@3:64 v5\"1\"@3:64 ] "
             "v5\"2\"@3:64 ] / [ v5\"3\"@3:64 v5\"4\"@3:64 !2@1:22#21 -> fail 2"},
        Case{".m = [[1], 2] / [[3], 4];",
             "S .m [ [ <\"uint\" T3:64 p12:64 p13:0 p11\"no_unit\" >@3:64 v5\"1\"@3:64 ] "
             "v5\"2\"@3:64 ] / [ [ v5\"3\"@3:64 ] v5\"4\"@3:64 ] E -> ok"},
        Case{".p = 12 m;",
             "S .p <\"uint\" T3:64~4 p12:64 p13:0 p11\"m\" >@3:64~4 v2\"12\"@3:64~4 E -> ok"},
        Case{".p = 12 foo;",
             "S .p <\"uint\" T3:64 p12:64 p13:0 p11\"foo\" >@3:64 !32@1:12#11 -> fail 32"},
        Case{".c = 12.50 USD;",
             "S .c <\"float_dec\" T6:64~277 p12:64 p11\"USD\" >@6:64~277 v2\"12.50\"@6:64~277 E -> "
             "ok"},
        Case{".a = [{.x = 1;}, {.x = 2;}];",
             "S .a [ { .x <\"uint\" T3:64 p12:64 p13:0 p11\"no_unit\" >@3:64 v2\"1\"@3:64 } { .x "
             "<\"uint\" T3:64 p12:64 p13:0 p11\"no_unit\" >@3:64 v2\"2\"@3:64 } ] E -> ok"},
        Case{".m = [1] / [2]; .n = [1, 2];",
             "S .m [ <\"uint\" T3:64 p12:64 p13:0 p11\"no_unit\" >@3:64 v5\"1\"@3:64 ] / [ "
             "v5\"2\"@3:64 ] .n [ <\"uint\" T3:64 p12:64 p13:0 p11\"no_unit\" >@3:64 v5\"1\"@3:64 "
             "v5\"2\"@3:64 ] E -> ok"},
        Case{".s = { .m = [1] / [2]; .n = [1, 2]; };",
             "S .s { .m [ <\"uint\" T3:64 p12:64 p13:0 p11\"no_unit\" >@3:64 v5\"1\"@3:64 ] / [ "
             "v5\"2\"@3:64 ] .n [ <\"uint\" T3:64 p12:64 p13:0 p11\"no_unit\" >@3:64 v5\"1\"@3:64 "
             "v5\"2\"@3:64 ] } E -> ok"},
        Case{".m = [1.5] / [2];",
             "S .m [ <\"float\" T4:64 p12:64 p13:0 p11\"no_unit\" >@4:64 v5\"1.5\"@4:64 ] / [ "
             "<\"uint\" T3:64 p12:64 p13:0 p11\"no_unit\" >@3:64 v5\"2\"@3:64 ] E -> ok"},
        Case{".a = [1], 2;",
             "S .a [ <\"uint\" T3:64 p12:64 p13:0 p11\"no_unit\" >@3:64 v5\"1\"@3:64 ] !15@1:9#8 "
             "-> fail 15"},
        Case{".a = [1]];",
             "S .a [ <\"uint\" T3:64 p12:64 p13:0 p11\"no_unit\" >@3:64 v5\"1\"@3:64 ] !15@1:9#8 "
             "-> fail 15"},
        Case{".a = [<float> $nan, 1];",
             "S .a [ <\"float\" T4:0 >@4:0 v5\"nan\"@4:0 <\"uint\" T3:64 p12:64 p13:0 "
             "p11\"no_unit\" >@3:64 v5\"1\"@3:64 ] E -> ok"},
        Case{".a = <uint:8,m> 5 m;",
             "S .a <\"uint:8,m\" T3:8~4 p12:8 p11\"m\" >@3:8~4 v2\"5\"@3:8~4 E -> ok"},
        Case{".a = <uint:8,m> 5 s;",
             "S .a <\"uint:8,m\" T3:8~4 p12:8 p11\"m\" >@3:8~4 !38@1:20#19 -> fail 38"},
        Case{".a = <utf8> 5;", "S .a <\"utf8\" T1:0 >@1:0 !34@1:14#13 -> fail 34"},
        Case{".a = <bool> x;", "S .a <\"bool\" T7:0 >@7:0 !34@1:14#13 -> fail 34"},
        Case{".a = <uint:8,_2> 12;",
             "S .a <\"uint:8,_2\" T3:8:b2 p12:8 p13:2 >@3:8:2 !36@1:20#19 -> fail 36"},
        Case{".a = <uint:8,_16> 1e5;",
             "S .a <\"uint:8,_16\" T3:8:b16 p12:8 p13:16 >@3:8:16 !35@1:22#21 -> fail 35"},
        Case{".a = <uint:12,_16> 1e5;",
             "S .a <\"uint:12,_16\" T3:12:b16 p12:12 p13:16 >@3:12:16 v2\"1e5\"@3:12:16 E -> ok"},
        Case{".a = <float_fix:32,q8> 1.5;",
             "S .a <\"float_fix:32,q8\" T5:32:b8 p12:32 p14:8 >@5:32:8 v2\"1.5\"@5:32:8 E -> ok"},
        Case{".a = <uint:9,_3> m;",
             "S .a <\"uint:9,_3\" T3:9:b3 p12:9 p13:3 >@3:9:3 !34@1:19#18 -> fail 34"},
        Case{".a = <bool:8> true;", "S .a <\"bool:8\" !25@1:13#12 -> fail 25"},
        Case{".a = [1, [2, 3]];",
             "S .a [ <\"uint\" T3:64 p12:64 p13:0 p11\"no_unit\" >@3:64 v5\"1\"@3:64 [ "
             "v5\"2\"@3:64 v5\"3\"@3:64 ] ] E -> ok"},
        Case{".a = [1;", "S .a [ !15@1:8#7 -> fail 15"},
        Case{".D=<sint>, .e=1;", "S .D <\"sint\" T2:0 >@2:0 v9\"\"@2:0 !15@1:10#9 -> fail 15"},
        Case{".D=<sint>] .e=1;", "S .D <\"sint\" T2:0 >@2:0 v9\"\"@2:0 !15@1:10#9 -> fail 15"},
        Case{".s = \"abc\" m;", "S .s <\"utf8\" T1:0 >@1:0 v1\"abc\"@1:0~4 E -> ok"}));

}  // namespace
