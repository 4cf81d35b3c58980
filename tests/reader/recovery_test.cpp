// Error recovery: skipping to the next member, closing open arrays, balanced
// brackets, skipped strings and comments, and well-nested events.
#include <gtest/gtest.h>

#include <random>
#include <string_view>

#include "reader/reader_impl.h"
#include "support/trace.h"

using tvltest::read_trace;

namespace {

struct Case {
    std::string_view input;
    const char *expected;
    uint64_t recoveries;
};

void PrintTo(const Case &c, std::ostream *os) {
    *os << '"' << c.input << '"';
}

class RecoveryTrace : public ::testing::TestWithParam<Case> {};

TEST_P(RecoveryTrace, StaysWellNested) {
    tvlr_reader_options o{};
    o.recover = 1;
    auto res = read_trace(GetParam().input, &o);
    EXPECT_EQ(res.trace, GetParam().expected);
    EXPECT_EQ(res.recoveries, GetParam().recoveries);
    EXPECT_TRUE(res.nesting_ok);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecoveryTrace,
    ::testing::Values(
        Case{".a = !; .b = x;", "S .a !unexpected_input_byte@1:6#5 .b sym\"x\" E -> ok", 1},
        Case{
            ".a = [1, !, 3]; .b = x;",
            "S .a [ +uint:64 anum\"1\"@uint:64 !unexpected_input_byte@1:10#9 ] .b sym\"x\" E -> ok",
            1},
        Case{".s = { .x = !; }; .t = x;",
             "S .s { .x !unexpected_input_byte@1:13#12 } .t sym\"x\" E -> ok", 1},
        Case{".a = ! \"x;y\" [;] ; .b = x;",
             "S .a !unexpected_input_byte@1:6#5 .b sym\"x\" E -> ok", 1},
        Case{".a = 1;; .b = x; .c = y;",
             "S .a +uint:64 num\"1\"@uint:64 !unexpected_input_byte@1:8#7 .c sym\"y\" E -> ok", 1},
        Case{".a = !",
             "S .a !unexpected_input_byte@1:6#5 !incomplete_tvlr_stream@1:6#6 -> fail "
             "incomplete_tvlr_stream",
             1},
        Case{".a = ! # ; comment\n ; .b = x;",
             "S .a !unexpected_input_byte@1:6#5 .b sym\"x\" E -> ok", 1},
        Case{".a = [{.x = 1;}, {.x = !}, {.y = z;}]; .b = x;",
             "S .a [ { .x +uint:64 num\"1\"@uint:64 } { .x !unexpected_input_byte@1:24#23 } { .y "
             "sym\"z\" } ] .b sym\"x\" E -> ok",
             1},
        Case{".a = [{.x = [1, !]}, w]; .b = x;",
             "S .a [ { .x [ +uint:64 anum\"1\"@uint:64 !unexpected_input_byte@1:17#16 ] } sym\"w\" "
             "] .b sym\"x\" E -> ok",
             1},
        Case{
            ".a = [{.s = {.x = !}; .y = z;}]; .b = x;",
            "S .a [ { .s { .x !unexpected_input_byte@1:19#18 } .y sym\"z\" } ] .b sym\"x\" E -> ok",
            1},
        Case{".a = [{.x = ! [ }, w]; .b = x;",
             "S .a [ { .x !unexpected_input_byte@1:13#12 } ] .b sym\"x\" E -> ok", 1},
        Case{".o = [{.m = [{.x = ! [ }] }]; .b = x;",
             "S .o [ { .m [ { .x !unexpected_input_byte@1:20#19 } ] } ] .b sym\"x\" E -> ok", 1},
        Case{".s = { .x = ! }; .t = x;",
             "S .s { .x !unexpected_input_byte@1:13#12 } .t sym\"x\" E -> ok", 1},
        Case{".a = [[1, 2], [3 !]]; .b = x;",
             "S .a [ [ +uint:64 anum\"1\"@uint:64 anum\"2\"@uint:64 ] [ "
             "!unexpected_input_byte@1:18#17 ] ] .b sym\"x\" E -> ok",
             1},
        Case{".a = \"\xC3;\"; .b = x;",
             "S .a !invalid_utf8_byte@1:8#7 !unexpected_input_byte@1:9#8 .b sym\"x\" E -> ok", 2},
        Case{".a = !; .b = !; .c = x;",
             "S .a !unexpected_input_byte@1:6#5 .b !unexpected_input_byte@1:14#13 .c sym\"x\" E -> "
             "ok",
             2},
        // An error raised by the `;` that ends a member ends the recovery
        // there; one raised inside an array still skips to the next `;`.
        Case{".a = <uint:8> 300; .b = <bool> 1; .c = [1] / [2, 3]; .d = x;",
             "S .a <\"uint:8\" T=uint:8 bits=8 >@uint:8 !value_out_of_range@1:18#17 .b <\"bool\" "
             "T=bool:0 >@bool:0 !type_value_mismatch@1:33#32 .c [ +uint:64 anum\"1\"@uint:64 ] / [ "
             "anum\"2\"@uint:64 !array_row_size_mismatch@1:48#47 ]@uint:64 .d sym\"x\" E -> ok",
             3},
        Case{".c = [[1, 2] / [3]]; .d = x;",
             "S .c [ [ +uint:64 anum\"1\"@uint:64 anum\"2\"@uint:64 ] / [ anum\"3\"@uint:64 "
             "!array_row_size_mismatch@1:18#17 ]@uint:64 ] .d sym\"x\" E -> ok",
             1},
        Case{".s = { .x = 5 foo; .y = z; }; .t = w;",
             "S .s { .x +uint:64\"foo\" !unit_illegal@1:18#17 .y sym\"z\" } .t sym\"w\" E -> ok",
             1},
        // A byte that breaks a character and is no first byte either is
        // reported twice at its own column.
        Case{".a=\xC3\xC0;.b=!;",
             "S .a !invalid_utf8_byte@1:5#4 !invalid_utf8_byte@1:5#4 .b "
             "!unexpected_input_byte@1:10#9 E -> ok",
             3}));

// With recovery on, the callback and the count agree, and a refused event
// other than the document's own is recovered from like any error.
TEST(Recovery, RefusedEventIsRecoveredFrom) {
    struct Refuser {
        int values = 0;
    } state;
    tvlr_reader_options o{};
    o.recover = 1;
    o.user_data = &state;
    o.on_event = [](void *u, uint32_t kind, tvlr_event *) {
        auto *s = static_cast<Refuser *>(u);
        return kind != TVLR_EV_VALUE || ++s->values != 1;  // refuse the first value only
    };
    tvlr_reader *r = tvlr_reader_create();
    // The refused value is completed at the `;` that ends its member, so
    // reading resumes with member b.
    const char doc[] = ".a = 1; .b = 2; .c = 3;";
    ASSERT_TRUE(tvlr_open_read_mem(r, doc, sizeof doc - 1, nullptr, 0, &o));
    EXPECT_TRUE(tvlr_read(r));
    EXPECT_EQ(tvlr_reader_get_recovery_count(r), 1u);
    EXPECT_EQ(state.values, 3);
    tvlr_reader_destroy(r);
}

}  // namespace
