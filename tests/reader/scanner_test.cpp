// Event traces and error positions of the scanner.
#include <gtest/gtest.h>

#include <string_view>

#include "support/trace.h"

using tvltest::read_trace;
using tvltest::trace;

namespace {

using namespace std::string_view_literals;

struct TraceCase {
    std::string_view input;
    const char *expected;
};

void PrintTo(const TraceCase &c, std::ostream *os) {
    *os << '"' << c.input << '"';
}

class ScannerTrace : public ::testing::TestWithParam<TraceCase> {};

TEST_P(ScannerTrace, MatchesExpectedEvents) {
    EXPECT_EQ(trace(GetParam().input), GetParam().expected) << "input: " << GetParam().input;
}

INSTANTIATE_TEST_SUITE_P(
    Constructs, ScannerTrace,
    ::testing::Values(
        TraceCase{"", "S E -> ok"}, TraceCase{"  \n\t ", "S E -> ok"},
        TraceCase{".a=1;", "S .a +uint:64 num\"1\"@uint:64 E -> ok"},
        TraceCase{".a = ;", "S .a null\"\" E -> ok"},
        TraceCase{".s = sym-1;", "S .s sym\"sym-1\" E -> ok"},
        TraceCase{".r = &.a.b;", "S .r ref\".a.b\" E -> ok"},
        TraceCase{".n = null;", "S .n null\"\" E -> ok"},
        TraceCase{".f = on;", "S .f +bool bool\"true\"@bool:0 E -> ok"},
        TraceCase{".f = off;", "S .f +bool bool\"false\"@bool:0 E -> ok"},
        TraceCase{".t = \"ab\" \"cd\";", "S .t +utf8 str\"abcd\"@utf8:0 E -> ok"},
        TraceCase{".t = \"a\\tb\\\"\";", "S .t +utf8 str\"a\\x09b\\\"\"@utf8:0 E -> ok"},
        TraceCase{".s = { .x = ; };", "S .s { .x null\"\" } E -> ok"},
        TraceCase{".e = [];", "S .e [ null\"\" ] E -> ok"},
        TraceCase{".x = $nan;", "S .x +float:64 num\"nan\"@float:64 E -> ok"},
        TraceCase{"# lead\n.a = ; # done", "S .a null\"\" E -> ok"},
        TraceCase{"\xEF\xBB\xBF.a = ;", "S .a null\"\" E -> ok"},
        TraceCase{".o = \x00\x01\x03\x00xyz\x00;"sv, "S .o O{ oct\"xyz\" O} E -> ok"},
        TraceCase{".a = ;}",
                  "S .a null\"\" !illegal_struct_close@1:7#6 -> fail illegal_struct_close"}));

}  // namespace

namespace {

struct ErrorCase {
    std::string_view input;
    uint32_t code;
    uint64_t line, column, offset;
    uint32_t byte;
};

void PrintTo(const ErrorCase &c, std::ostream *os) {
    *os << '"' << c.input << '"';
}

class ScannerError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ScannerError, ReportsCodeAndPosition) {
    const ErrorCase &c = GetParam();
    auto res = read_trace(c.input);
    EXPECT_FALSE(res.ok);
    EXPECT_EQ(res.error, c.code) << res.trace;
    EXPECT_EQ(res.line, c.line) << res.trace;
    EXPECT_EQ(res.column, c.column) << res.trace;
    EXPECT_EQ(res.offset, c.offset) << res.trace;
    EXPECT_EQ(res.byte, c.byte) << res.trace;
    EXPECT_EQ(res.error_calls, 1u) << res.trace;
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, ScannerError,
    ::testing::Values(
        ErrorCase{".a = 10m;", 15, 1, 8, 7, 'm'}, ErrorCase{".a=1", 18, 1, 4, 4, 0},
        ErrorCase{"\xEF\xBB\x41", 19, 1, 2, 2, 0x41}, ErrorCase{"\xEF\xBF\xBF", 20, 1, 1, 2, 0xBF},
        ErrorCase{"# \xEF\xBB\xBF\n", 20, 1, 3, 4, 0xBF}, ErrorCase{"# \xC0\n", 19, 1, 3, 2, 0xC0},
        ErrorCase{"# ok\n.a = 1; # \xF5\n", 19, 2, 11, 15, 0xF5},
        ErrorCase{".abcd\t!", 15, 1, 9, 6, '!'}, ErrorCase{"\t!", 15, 1, 5, 1, '!'},
        ErrorCase{"\r\n\r\n!", 15, 3, 1, 4, '!'}, ErrorCase{"\n\r!", 15, 3, 1, 2, '!'},
        ErrorCase{".a\xC3\xA9!", 15, 1, 4, 4, '!'}, ErrorCase{".s = \"a\\q\";", 15, 1, 9, 8, 'q'},
        ErrorCase{".s = \"ab\x7F\";", 15, 1, 9, 8, 0x7F},
        ErrorCase{".s = \"abcdefghijklmnopqrstuvwxyz\x7F\";", 15, 1, 33, 32, 0x7F},
        ErrorCase{".s = \"a\nb\x01\";", 15, 2, 2, 9, 0x01}, ErrorCase{"# note", 18, 1, 6, 6, 0},
        ErrorCase{".a = ;}", 7, 1, 7, 6, '}'}, ErrorCase{"}", 15, 1, 1, 0, '}'},
        ErrorCase{". = 1;", 15, 1, 2, 1, ' '}, ErrorCase{".a. = 1;", 15, 1, 3, 2, '.'},
        ErrorCase{".1a = 1;", 15, 1, 2, 1, '1'}, ErrorCase{".a = 1.;x", 15, 1, 9, 8, 'x'},
        ErrorCase{".a = 1e;", 15, 1, 8, 7, ';'}, ErrorCase{".a = -;", 15, 1, 7, 6, ';'},
        ErrorCase{".a = $nam;", 15, 1, 9, 8, 'm'}, ErrorCase{".a = &a;", 15, 1, 7, 6, 'a'},
        ErrorCase{".a = [1] 2;", 15, 1, 10, 9, '2'}, ErrorCase{".a = [1] / 2;", 15, 1, 12, 11, '2'},
        ErrorCase{".a = 1 m 2;", 15, 1, 10, 9, '2'}, ErrorCase{".a = <int> 1;", 15, 1, 7, 6, 'i'},
        ErrorCase{".a = \"x\" m,", 15, 1, 11, 10, ','},
        ErrorCase{".a = { .b = 1; ", 18, 1, 15, 15, 0}, ErrorCase{".a = \"open", 18, 1, 10, 10, 0},
        ErrorCase{".o = \x00\x02;"sv, 14, 1, 6, 7, 0},
        ErrorCase{".o = \x00\x01\x05\x00xy"sv, 13, 1, 6, 11, 0},
        ErrorCase{".o = \x00\x01"sv, 13, 1, 6, 7, 0}));

TEST(Scanner, NestedStructLimitFailsAtSixtyFifthBrace) {
    std::string doc;
    for (int i = 0; i < 65; ++i) doc += ".a={";
    auto res = read_trace(doc);
    EXPECT_EQ(res.error, 5u);
    EXPECT_EQ(res.offset, 64u * 4 + 3);
    std::string ok;
    for (int i = 0; i < 64; ++i) ok += ".a={";
    for (int i = 0; i < 64; ++i) ok += "};";
    EXPECT_TRUE(read_trace(ok).ok);
}

TEST(Scanner, TextLimitFallsOnTheByteAfterTheLimit) {
    tvlr_reader_options o{};
    o.max_text_bytes = 10;
    auto res = read_trace(".abc = 1234;", &o);
    EXPECT_EQ(res.error, 16u);
    EXPECT_EQ(res.offset, 10u);
    EXPECT_EQ(res.byte, static_cast<uint32_t>('4'));
    // Long white space and string runs stop at the limit too.
    o.max_text_bytes = 20;
    EXPECT_EQ(read_trace(".a =                       ;", &o).offset, 20u);
    EXPECT_EQ(read_trace(".a = \"abcdefghijklmnopqrstuvw\";", &o).offset, 20u);
    o.max_text_bytes = 12;
    EXPECT_TRUE(read_trace(".abc = 1234;", &o).ok);
}

// Each limit is inclusive: a token may have exactly the limit's bytes.
struct LimitCase {
    const char *name;
    uint16_t tvlr_reader_options::*field;
    std::string prefix, unit, suffix;
    uint32_t code;
    uint16_t lead;  // bytes of the prefix that belong to the token
};

TEST(Scanner, TokenLimitsAreInclusive) {
    const LimitCase cases[] = {
        {"identifier", &tvlr_reader_options::max_identifier_len, ".", "n", " = ;", 3, 0},
        {"string", &tvlr_reader_options::max_string_len, ".a = \"", "s", "\";", 8, 0},
        {"number", &tvlr_reader_options::max_number_len, ".a = 1", "0", ";", 10, 1},
        {"fraction", &tvlr_reader_options::max_number_len, ".a = 1.", "5", ";", 10, 2},
        {"symbol", &tvlr_reader_options::max_symbol_len, ".a = s", "y", ";", 11, 1},
        {"reference", &tvlr_reader_options::max_reference_len, ".a = &.r", "e", ";", 12, 2},
    };
    for (const auto &c : cases) {
        for (uint16_t limit : {uint16_t{8}, uint16_t{300}}) {
            tvlr_reader_options o{};
            o.*c.field = limit;
            const size_t lead = c.lead;
            std::string fits = c.prefix + std::string(limit - lead, c.unit[0]) + c.suffix;
            std::string over = c.prefix + std::string(limit - lead + 1, c.unit[0]) + c.suffix;
            EXPECT_TRUE(read_trace(fits, &o).ok) << c.name << " " << limit;
            auto res = read_trace(over, &o);
            EXPECT_EQ(res.error, c.code) << c.name << " " << limit;
            EXPECT_EQ(res.offset, c.prefix.size() + limit - lead) << c.name << " " << limit;
        }
    }
}

TEST(Scanner, SpecialNumbersNeedRoomInTheNumberLimit) {
    tvlr_reader_options o{};
    o.max_number_len = 3;
    EXPECT_TRUE(read_trace(".a = $inf;", &o).ok);
    EXPECT_EQ(read_trace(".a = $-inf;", &o).error, 10u);
    o.max_number_len = 2;
    EXPECT_EQ(read_trace(".a = $nan;", &o).error, 10u);
}

}  // namespace
