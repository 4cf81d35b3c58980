// Refusals of the writer's event checks: the error code, the output left as it was before the
// refused event, the error offset, and the first error sticking.
#include "writer/checks.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/text_tokens.h"
#include "writer_support.h"

using namespace wtest;
using namespace std::string_literals;

namespace {

Ev typed(uint32_t kind, uint32_t value_kind, uint32_t type, uint32_t bits = 0, uint32_t base = 0) {
    Ev ev = event(kind);
    ev.e.value_kind = value_kind;
    ev.e.value_type = type;
    ev.e.bits = bits;
    ev.e.base = base;
    return ev;
}

Ev type_start(uint32_t type, uint32_t bits = 0, uint32_t base = 0) {
    return typed(TVLR_EV_TYPE_START, TVL_VK_TYPE, type, bits, base);
}

Ev type_name(uint32_t type) {
    return typed(TVLR_EV_TYPE_NAME, TVL_VK_TYPE, type);
}

Ev param(uint32_t value_kind, uint32_t type, uint32_t bits, uint32_t base) {
    return typed(TVLR_EV_TYPE_PARAM, value_kind, type, bits, base);
}

Ev unit_param(uint32_t type, std::string_view text) {
    Ev ev = typed(TVLR_EV_TYPE_PARAM, TVL_VK_UNIT, type);
    ev.text = text;
    return ev;
}

// The opening of an annotation of the type: type_start and type_name.
std::vector<Ev> opened(uint32_t type) {
    return {type_start(type), type_name(type)};
}

tvl_unit unit_of(const char *text) {
    bool ok = false;
    return tvl_parse_unit(text, &ok);
}

struct RefusalCase {
    const char *name;
    std::vector<Ev> before;  // accepted
    Ev refused;
    uint32_t code;
};

std::vector<RefusalCase> refusal_cases() {
    const uint32_t U = TVLR_TYPE_UINT, S = TVLR_TYPE_SINT;
    const std::vector<Ev> m{member("v")};
    const std::vector<Ev> arr{member("v"), event(TVLR_EV_ARRAY_START)};
    auto v = [](uint32_t vk, std::string_view t, uint32_t type = 0, uint32_t bits = 0,
                uint32_t base = 0) { return value(vk, t, type, bits, base); };
    // A one-element row and a row break; then the next row opened.
    const std::vector<Ev> row_break =
        arr + v(TVL_VK_SYMBOL, "x") + event(TVLR_EV_ARRAY_END) + event(TVLR_EV_ROW_BREAK);
    const std::vector<Ev> row_1 = row_break + event(TVLR_EV_ARRAY_START);
    Ev null_text = v(TVL_VK_STRING, "abc");
    null_text.null_text = true;
    tvl_unit nine_factors = unit_of("m");
    nine_factors.count = 9;
    tvl_unit zero_exponent = unit_of("m");
    zero_exponent.factors[0].exponent = 0;
    return {
        // Structure
        {"second doc_start", {event(TVLR_EV_DOC_START)}, event(TVLR_EV_DOC_START), 28},
        {"doc_start after a member", {member("a"), num("1")}, event(TVLR_EV_DOC_START), 28},
        {"empty name", {}, member(""), 4},
        {"name starting with a digit", {}, member("1a"), 28},
        {"name with a space", {}, member("a b"), 28},
        {"name with the micro sign", {}, member("\xC2\xB5"), 28},
        {"name longer than any reader takes", {}, member(std::string(65536, 'n')), 3},
        {"struct_end at depth 0", {}, event(TVLR_EV_STRUCT_END), 7},
        {"empty array", arr, event(TVLR_EV_ARRAY_END), 28},
        {"row longer than the row before", row_1 + v(TVL_VK_SYMBOL, "x"), v(TVL_VK_SYMBOL, "y"), 2},
        {"row shorter than the row before",
         arr + v(TVL_VK_SYMBOL, "x") + v(TVL_VK_SYMBOL, "y") + event(TVLR_EV_ARRAY_END) +
             event(TVLR_EV_ROW_BREAK) + event(TVLR_EV_ARRAY_START) + v(TVL_VK_SYMBOL, "x"),
         event(TVLR_EV_ARRAY_END), 2},
        {"row break inside an open array", arr + v(TVL_VK_SYMBOL, "x"), event(TVLR_EV_ROW_BREAK),
         28},
        {"row break after a member's value", m + v(TVL_VK_SYMBOL, "x"), event(TVLR_EV_ROW_BREAK),
         28},
        {"annotation after a row break", row_break, type_start(U), 28},
        // Annotations
        {"float width 48", m, type_start(TVLR_TYPE_FLOAT, 48), 25},
        {"bool with a width", m, type_start(TVLR_TYPE_BOOL, 8), 25},
        {"integer wider than 32768", m, type_start(U, 40000), 25},
        {"fraction as wide as the value", m, type_start(TVLR_TYPE_FLOAT_FIX, 32, 32), 25},
        {"type word plain", m + type_start(0), type_name(0), 25},
        {"type word outside an annotation", m, type_name(U), 28},
        {"second type word", m + opened(U), type_name(U), 28},
        {"parameter before the type word", m + type_start(U), param(TVL_VK_BITS, U, 8, 0), 28},
        {"annotation without a type word", m + type_start(U), event(TVLR_EV_TYPE_END), 28},
        {"annotation closed by the array's end", arr + opened(U) + event(TVLR_EV_TYPE_END),
         event(TVLR_EV_ARRAY_END), 28},
        {"annotation followed by a member", m + opened(U) + event(TVLR_EV_TYPE_END), member("b"),
         28},
        {"type number 9", m + type_start(0), type_name(9), 25},
        {"width parameter of a bool", m + opened(TVLR_TYPE_BOOL),
         param(TVL_VK_BITS, TVLR_TYPE_BOOL, 0, 0), 25},
        {"width parameter too wide", m + opened(U), param(TVL_VK_BITS, U, 40000, 0), 25},
        {"base parameter of float_dec", m + opened(TVLR_TYPE_FLOAT_DEC),
         param(TVL_VK_BASE, TVLR_TYPE_FLOAT_DEC, 0, 0), 25},
        {"base 65", m + opened(U), param(TVL_VK_BASE, U, 0, 65), 25},
        {"float in base 8", m + opened(TVLR_TYPE_FLOAT), param(TVL_VK_BASE, TVLR_TYPE_FLOAT, 0, 8),
         25},
        {"fraction of a uint", m + opened(U), param(TVL_VK_FRACTION, TVLR_TYPE_FLOAT_FIX, 0, 4),
         25},
        {"fraction of 300", m + opened(TVLR_TYPE_FLOAT_FIX),
         param(TVL_VK_FRACTION, TVLR_TYPE_FLOAT_FIX, 0, 300), 25},
        {"fraction not below the width",
         m + opened(TVLR_TYPE_FLOAT_FIX) + param(TVL_VK_BITS, TVLR_TYPE_FLOAT_FIX, 16, 0),
         param(TVL_VK_FRACTION, TVLR_TYPE_FLOAT_FIX, 16, 16), 25},
        {"unit with a space", m + opened(U), unit_param(U, "k m"), 15},
        {"unit with a comma", m + opened(U), unit_param(U, "m,s"), 15},
        {"unit with a bracket", m + opened(U), unit_param(U, "m>"), 15},
        {"unit starting with a digit", m + opened(U), unit_param(U, "2m"), 25},
        {"unit starting with an underscore", m + opened(U), unit_param(U, "_m"), 25},
        {"unit read as a fraction count", m + opened(U), unit_param(U, "q5"), 25},
        {"unit that is no unit", m + opened(U), unit_param(U, "foo"), 32},
        {"unit of a bool", m + opened(TVLR_TYPE_BOOL), unit_param(TVLR_TYPE_BOOL, "m"), 25},
        {"unit cut in a character", m + opened(U), unit_param(U, "m\xC3"), 19},
        {"empty unit", m + opened(U), unit_param(U, ""), 28},
        {"annotation longer than 255 bytes",
         m + opened(TVLR_TYPE_UTF8) + unit_param(TVLR_TYPE_UTF8, std::string(200, 'x')),
         unit_param(TVLR_TYPE_UTF8, std::string(60, 'y')), 21},
        // Values by the declared type
        {"special number under utf8", m, v(TVL_VK_NUMBER, "inf", TVLR_TYPE_UTF8), 34},
        {"fraction under sint", m, v(TVL_VK_NUMBER, "1.5", S), 34},
        {"negative uint", m, v(TVL_VK_NUMBER, "-1", U), 35},
        {"uint of 8 bits above 255", m, v(TVL_VK_NUMBER, "300", U, 8), 35},
        {"digit outside base 16", m, v(TVL_VK_NUMBER, "g", U, 0, 16), 36},
        {"hexadecimal digits in a number token", m, v(TVL_VK_NUMBER, "ff", U, 8, 16), 34},
        {"digit 2 in base 2", m, v(TVL_VK_NUMBER, "12", U, 8, 2), 36},
        {"hexadecimal number token out of range", m, v(TVL_VK_NUMBER, "1e5", U, 8, 16), 35},
        {"uint beyond 64 bits without a width", m, v(TVL_VK_NUMBER, "18446744073709551616", U), 35},
        {"sint beyond 64 bits without a width", m, v(TVL_VK_NUMBER, "-9223372036854775809", S), 35},
        {"letters as an untyped number", m, v(TVL_VK_NUMBER, "abc"), 34},
        {"plus sign on a number", m, v(TVL_VK_NUMBER, "+1"), 34},
        {"number longer than any reader takes", m, v(TVL_VK_NUMBER, std::string(65536, '1')), 10},
        {"empty string as a number", m, v(TVL_VK_STRING, "", U), 36},
        {"base-64 plus sign inside digits", m, v(TVL_VK_STRING, "A+", U, 0, 64), 36},
        {"plus sign before integer digits", m, v(TVL_VK_STRING, "+5", U), 36},
        {"sign alone", m, v(TVL_VK_STRING, "-", S), 36},
        {"float digits outside the base", m, v(TVL_VK_STRING, "1.g", TVLR_TYPE_FLOAT, 0, 16), 36},
        {"control byte in a string", m, v(TVL_VK_STRING, "a\x01"), 15},
        {"delete byte in a string", m, v(TVL_VK_STRING, "a\x7F"), 15},
        {"broken UTF-8 in a string", m, v(TVL_VK_STRING, "\xC3\x28"), 19},
        {"string without text", m, null_text, 28},
        {"string longer than any reader takes", m, v(TVL_VK_STRING, std::string(65536, 's')), 8},
        {"string under bool", m, v(TVL_VK_STRING, "true", TVLR_TYPE_BOOL), 34},
        {"boolean word yes", m, v(TVL_VK_BOOL, "yes"), 34},
        {"boolean under uint", m, v(TVL_VK_BOOL, "true", U), 34},
        {"empty symbol", m, v(TVL_VK_SYMBOL, ""), 4},
        {"symbol starting with a digit", m, v(TVL_VK_SYMBOL, "1a"), 34},
        {"symbol true", m, v(TVL_VK_SYMBOL, "true"), 34},
        {"symbol null", m, v(TVL_VK_SYMBOL, "null"), 34},
        {"symbol under utf8", m, v(TVL_VK_SYMBOL, "abc", TVLR_TYPE_UTF8), 34},
        {"symbol longer than any reader takes", m, v(TVL_VK_SYMBOL, std::string(65536, 's')), 11},
        {"empty reference", m, v(TVL_VK_REFERENCE, ""), 28},
        {"reference without a point", m, v(TVL_VK_REFERENCE, "a.b"), 34},
        {"reference under uint", m, v(TVL_VK_REFERENCE, ".a", U), 34},
        {"reference longer than any reader takes", m,
         v(TVL_VK_REFERENCE, "." + std::string(65535, 'r')), 12},
        {"empty octet block", m + event(TVLR_EV_OCTETS_START), v(TVL_VK_OCTETS, ""), 28},
        {"octet block of 65537 bytes", m + event(TVLR_EV_OCTETS_START),
         v(TVL_VK_OCTETS, std::string(65537, 'o')), 28},
        {"value kind 7", m, v(TVL_VK_TYPE, "x"), 28},
        {"value kind 12", m, v(TVL_VK_BITS, ""), 28},
        // Values by the annotation written before them
        {"above the annotated width", m + annotation(U, 8, 0), num("300"), 35},
        {"number under an utf8 annotation", m + annotation(TVLR_TYPE_UTF8, 0, 0), num("1"), 34},
        {"string digit outside the annotated base", m + annotation(U, 0, 16), str("fg"), 36},
        {"second element above the array's width",
         std::vector<Ev>{member("v")} + annotation(U, 8, 0) + event(TVLR_EV_ARRAY_START) +
             value(TVL_VK_ARRAY_NUMBER, "1", U, 8),
         value(TVL_VK_ARRAY_NUMBER, "300"), 35},
        {"second row above the matrix's width",
         std::vector<Ev>{member("v")} + annotation(U, 8, 0) + event(TVLR_EV_ARRAY_START) +
             value(TVL_VK_ARRAY_NUMBER, "1", U, 8) + event(TVLR_EV_ARRAY_END) +
             event(TVLR_EV_ROW_BREAK) + event(TVLR_EV_ARRAY_START),
         value(TVL_VK_ARRAY_NUMBER, "300"), 35},
        // Units
        {"unit other than the declared one", m + annotation(U, 8, 0, "m"),
         with_unit(v(TVL_VK_NUMBER, "5", U, 8), unit_of("s")), 38},
        {"unit where no_unit is declared", m + annotation(U, 8, 0, "no_unit"),
         with_unit(v(TVL_VK_NUMBER, "5", U, 8), unit_of("m")), 38},
        {"unit of an array element", arr, with_unit(v(TVL_VK_ARRAY_NUMBER, "5"), unit_of("m")), 15},
        {"unit of a symbol", m, with_unit(v(TVL_VK_SYMBOL, "x"), unit_of("m")), 15},
        {"unit of a null", m, with_unit(v(TVL_VK_NULL, ""), unit_of("m")), 15},
        {"empty number", m, v(TVL_VK_NUMBER, ""), 34},
        {"unit of nine factors", m, with_unit(num("5"), nine_factors), 32},
        {"unit with exponent 0", m, with_unit(num("5"), zero_exponent), 32},
    };
}

TEST(WriterChecks, RefusalsLeaveOutputAndKeepFirstError) {
    for (const RefusalCase &c : refusal_cases()) {
        SCOPED_TRACE(c.name);
        for (bool pretty : {false, true}) {
            const WriteResult accepted = write_events(c.before, pretty, false);
            ASSERT_TRUE(accepted.ok) << "error " << accepted.error;
            WriteResult r =
                write_events(c.before + c.refused + member("later") + num("1"), pretty, true);
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(r.accepted, c.before.size());
            EXPECT_EQ(r.error, c.code);
            EXPECT_EQ(r.out, accepted.out);
            EXPECT_EQ(r.offset, accepted.out.size());
        }
    }
}

// The first error sticks: later events, convenience calls and finish are refused without
// output, and only reopening clears the writer.
TEST(WriterChecks, FirstErrorSticksUntilReopened) {
    char buffer[256];
    tvlr_writer *w = tvlr_writer_create();
    ASSERT_TRUE(tvlr_open_write_mem(w, buffer, sizeof buffer, false, nullptr));
    ASSERT_TRUE(tvlr_write_plain(w, "a", "x"));
    EXPECT_FALSE(tvlr_write_struct_end(w));
    EXPECT_EQ(tvlr_writer_get_error(w), 7u);
    EXPECT_EQ(tvlr_writer_get_error_offset(w), 4u);
    EXPECT_FALSE(tvlr_write_string(w, nullptr, "x"));
    EXPECT_FALSE(tvlr_write_bool(w, "b", true));
    const tvlr_event e{};
    EXPECT_FALSE(tvlr_write_event(w, TVLR_EV_DOC_END, &e));
    EXPECT_FALSE(tvlr_write_event(w, TVLR_EV_DOC_END, nullptr));
    EXPECT_FALSE(tvlr_write_finish(w));
    EXPECT_EQ(tvlr_writer_get_error(w), 7u);
    EXPECT_EQ(tvlr_writer_bytes_written(w), 4u);
    ASSERT_TRUE(tvlr_open_write_mem(w, buffer, sizeof buffer, false, nullptr));
    EXPECT_EQ(tvlr_writer_get_error(w), 0u);
    EXPECT_EQ(tvlr_writer_bytes_written(w), 0u);
    EXPECT_TRUE(tvlr_write_bool(w, "b", true));
    EXPECT_TRUE(tvlr_write_finish(w));
    EXPECT_EQ(std::string(buffer, tvlr_writer_bytes_written(w)), ".b=true;");
    tvlr_writer_destroy(w);
}

TEST(WriterChecks, ArgumentsOfTheCalls) {
    char buffer[64];
    tvlr_writer *w = tvlr_writer_create();
    EXPECT_FALSE(tvlr_write_event(nullptr, TVLR_EV_DOC_START, nullptr));
    EXPECT_FALSE(tvlr_write_string(nullptr, "a", "b"));
    EXPECT_FALSE(tvlr_write_struct_end(nullptr));
    EXPECT_FALSE(tvlr_write_finish(nullptr));
    EXPECT_EQ(tvlr_writer_get_error(nullptr), 28u);
    EXPECT_EQ(tvlr_writer_get_error_offset(nullptr), 0u);
    EXPECT_EQ(tvlr_writer_bytes_written(nullptr), 0u);
    EXPECT_EQ(tvlr_writer_unit_flags(nullptr), 0u);

    struct Call {
        const char *name;
        bool (*call)(tvlr_writer *);
        const char *written;  // before the refusal
    };
    const Call calls[] = {
        {"null event", [](tvlr_writer *x) { return tvlr_write_event(x, TVLR_EV_VALUE, nullptr); },
         ""},
        {"null name", [](tvlr_writer *x) { return tvlr_write_null(x, nullptr); }, ""},
        {"null struct name", [](tvlr_writer *x) { return tvlr_write_struct_start(x, nullptr); },
         ""},
        {"null string text", [](tvlr_writer *x) { return tvlr_write_string(x, "s", nullptr); },
         ".s="},
        {"null plain text", [](tvlr_writer *x) { return tvlr_write_plain(x, "p", nullptr); },
         ".p="},
        {"reserved word as plain", [](tvlr_writer *x) { return tvlr_write_plain(x, "p", "on"); },
         ".p="},
    };
    for (const Call &c : calls) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(tvlr_open_write_mem(w, buffer, sizeof buffer, false, nullptr));
        EXPECT_FALSE(c.call(w));
        EXPECT_EQ(tvlr_writer_get_error(w),
                  std::string(c.name) == "reserved word as plain" ? 34u : 28u);
        EXPECT_EQ(std::string(buffer, tvlr_writer_bytes_written(w)), c.written);
    }
    // A finished writer refuses every further event with 28.
    ASSERT_TRUE(tvlr_open_write_mem(w, buffer, sizeof buffer, false, nullptr));
    ASSERT_TRUE(tvlr_write_null(w, "n"));
    ASSERT_TRUE(tvlr_write_finish(w));
    EXPECT_FALSE(tvlr_write_null(w, "m"));
    EXPECT_EQ(tvlr_writer_get_error(w), 28u);
    EXPECT_EQ(std::string(buffer, tvlr_writer_bytes_written(w)), ".n=;");
    tvlr_writer_destroy(w);
}

// A writer that was only created, or whose first opening failed, has no sink: every call is
// refused with 28 and nothing is written.
TEST(WriterChecks, CallsOnAWriterThatIsNotOpen) {
    using Call = bool (*)(tvlr_writer *);
    const Call calls[] = {
        [](tvlr_writer *x) {
            tvlr_event e{};
            e.value_kind = TVL_VK_NULL;
            return tvlr_write_event(x, TVLR_EV_VALUE, &e);
        },
        [](tvlr_writer *x) { return tvlr_write_string(x, "s", "t"); },
        [](tvlr_writer *x) { return tvlr_write_plain(x, "p", "t"); },
        [](tvlr_writer *x) { return tvlr_write_null(x, "n"); },
        [](tvlr_writer *x) { return tvlr_write_bool(x, "b", true); },
        [](tvlr_writer *x) { return tvlr_write_struct_start(x, "s"); },
        [](tvlr_writer *x) { return tvlr_write_struct_end(x); },
        [](tvlr_writer *x) { return tvlr_write_finish(x); },
    };
    for (bool failed_open : {false, true}) {
        for (size_t i = 0; i < std::size(calls); ++i) {
            SCOPED_TRACE(std::to_string(i) + (failed_open ? " after a failed open" : ""));
            tvlr_writer *w = tvlr_writer_create();
            ASSERT_NE(w, nullptr);
            if (failed_open) {
                ASSERT_FALSE(tvlr_open_write_mem(w, nullptr, 16, false, nullptr));
            }
            EXPECT_FALSE(calls[i](w));
            EXPECT_EQ(tvlr_writer_get_error(w), 28u);
            EXPECT_EQ(tvlr_writer_bytes_written(w), 0u);
            tvlr_writer_destroy(w);
        }
    }
}

TEST(WriterChecks, DepthLimits) {
    tvlr_writer_options o{};
    const std::vector<Ev> two_structs{member("a"), event(TVLR_EV_STRUCT_START), member("b"),
                                      event(TVLR_EV_STRUCT_START)};
    o.max_struct_depth = 1;
    WriteResult r = write_events(two_structs, false, false, &o);
    EXPECT_EQ(r.accepted, 3u);
    EXPECT_EQ(r.error, 5u);
    EXPECT_EQ(r.out, ".a={.b=");
    o.max_struct_depth = 0;  // the default, 64
    std::vector<Ev> deep;
    for (int i = 0; i < 65; ++i) deep = deep + member("d") + event(TVLR_EV_STRUCT_START);
    r = write_events(deep, false, false, &o);
    EXPECT_EQ(r.accepted, 129u);
    EXPECT_EQ(r.error, 5u);

    std::vector<Ev> arrays{member("a")};
    for (int i = 0; i < 65; ++i) arrays = arrays + event(TVLR_EV_ARRAY_START);
    r = write_events(arrays, false, false, nullptr);
    EXPECT_EQ(r.accepted, 65u);
    EXPECT_EQ(r.error, 6u);
    o.max_array_depth = 2;
    r = write_events(arrays, false, false, &o);
    EXPECT_EQ(r.accepted, 3u);
    EXPECT_EQ(r.error, 6u);
    EXPECT_EQ(r.out, ".a=[[");
}

// Values that the checks must let through, with the bytes they give.
TEST(WriterChecks, AcceptedValues) {
    const uint32_t U = TVLR_TYPE_UINT, S = TVLR_TYPE_SINT;
    tvl_unit newton_parts = unit_of("k~g*m/s^2");
    struct Accepted {
        const char *name;
        std::vector<Ev> events;
        std::string out;
    } cases[] = {
        {"signed hexadecimal string",
         std::vector<Ev>{member("v")} + annotation(S, 8, 16) +
             value(TVL_VK_STRING, "-80", S, 8, 16),
         ".v=<sint:8,_16>\"-80\";"},
        {"base-64 digits that start with a plus",
         std::vector<Ev>{member("v")} + annotation(U, 0, 64) + value(TVL_VK_STRING, "+/", U, 0, 64),
         ".v=<uint:_64>\"+/\";"},
        {"utf8 annotation with any unit text",
         std::vector<Ev>{member("v")} + annotation(TVLR_TYPE_UTF8, 0, 0, "xyz") + str("x"),
         ".v=<utf8:xyz>\"x\";"},
        {"named unit for the same unit",
         std::vector<Ev>{member("v")} + annotation(TVLR_TYPE_FLOAT, 64, 0, "N") +
             with_unit(value(TVL_VK_NUMBER, "1.5", TVLR_TYPE_FLOAT, 64), newton_parts),
         ".v=<float:64,N>1.5;"},
        {"special number under uint:8",
         std::vector<Ev>{member("v")} + annotation(U, 8, 0) + value(TVL_VK_NUMBER, "nan", U, 8),
         ".v=<uint:8>$nan;"},
        {"exponent digit in base 16",
         std::vector<Ev>{member("v")} + annotation(U, 12, 16) +
             value(TVL_VK_NUMBER, "1e5", U, 12, 16),
         ".v=<uint:12,_16>1e5;"},
        {"octet stream after an annotation",
         std::vector<Ev>{member("v")} + annotation(U, 8, 0) + event(TVLR_EV_OCTETS_START) +
             value(TVL_VK_OCTETS, "ab") + event(TVLR_EV_OCTETS_END),
         ".v=<uint:8>\0\1\2\0ab\0;"s},
    };
    for (const Accepted &c : cases) {
        SCOPED_TRACE(c.name);
        const WriteResult r = write_events(c.events, false);
        ASSERT_TRUE(r.ok) << "error " << r.error;
        EXPECT_EQ(r.out, c.out);
        EXPECT_TRUE(read_values(r.out).ok);
    }
}

// Names and symbols are checked in one pass; the lexical rule is the reference, over generated
// byte strings of name bytes, other ASCII and pieces of UTF-8 (whole, cut and malformed).
TEST(WriterChecks, NameCheckAgreesWithTheLexicalRule) {
    const std::string pieces[] = {"a",
                                  "Z",
                                  "_",
                                  "7",
                                  "-",
                                  "+",
                                  ".",
                                  " ",
                                  "\xC3\xA4",
                                  "\xE2\x82\xAC",
                                  "\xC3",
                                  "\xC2\xA0",
                                  "\xED\xA0\x80",
                                  "\xF0\x9F\x98\x80",
                                  "\x80"};
    std::mt19937 rng(5);
    int names = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string t;
        for (size_t n = 1 + rng() % 6; n > 0; --n) t += pieces[rng() % std::size(pieces)];
        const bool name = tvl::is_identifier(t.data(), t.size());
        names += name ? 1 : 0;
        ASSERT_EQ(tvl::wr::check_member_name(t.data(), t.size()) == 0, name) << t;
        ASSERT_EQ(tvl::wr::value_rules(TVL_VK_SYMBOL, t.data(), t.size(), 0, 0, 0) == 0, name) << t;
    }
    EXPECT_GT(names, 2000);
}

}  // namespace
