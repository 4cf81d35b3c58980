// Exact bytes of the writer's output for event sequences, compact and pretty, and the
// convenience calls; the word-at-a-time helpers against plain references.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "writer/pieces.h"
#include "writer_support.h"

using namespace wtest;
using namespace std::string_literals;

namespace {

Ev ss() {
    return event(TVLR_EV_STRUCT_START);
}
Ev se() {
    return event(TVLR_EV_STRUCT_END);
}
Ev as() {
    return event(TVLR_EV_ARRAY_START);
}
Ev ae() {
    return event(TVLR_EV_ARRAY_END);
}
Ev row() {
    return event(TVLR_EV_ROW_BREAK);
}
Ev anum(std::string_view t) {
    return value(TVL_VK_ARRAY_NUMBER, t);
}
Ev octets(std::string_view bytes) {
    return value(TVL_VK_OCTETS, bytes);
}

tvl_unit parsed_unit(const char *text) {
    bool ok = false;
    tvl_unit u = tvl_parse_unit(text, &ok);
    EXPECT_TRUE(ok) << text;
    return u;
}

struct OutCase {
    const char *name;
    std::vector<Ev> events;
    std::string compact;
    std::string pretty;
};

std::vector<OutCase> output_cases() {
    const std::string block(65536, 'z');
    return {
        {"members and a struct",
         {member("a"), num("1"), member("b"), ss(), member("c"), str("x"), se()},
         ".a=1;.b={.c=\"x\";};",
         ".a = 1;\n.b = {\n\t.c = \"x\";\n};\n"},
        {"array of numbers",
         {member("a"), as(), anum("1"), anum("2"), anum("3"), ae()},
         ".a=[1,2,3];",
         ".a = [1, 2, 3];\n"},
        {"matrix rows",
         {member("m"), as(), anum("1"), anum("2"), ae(), row(), as(), anum("3"), anum("4"), ae()},
         ".m=[1,2]/[3,4];",
         ".m = [1, 2] / [3, 4];\n"},
        {"matrix in an array",
         {member("m"), as(), as(), anum("1"), anum("2"), ae(), row(), as(), anum("3"), anum("4"),
          ae(), as(), anum("5"), ae(), ae()},
         ".m=[[1,2]/[3,4],[5]];",
         ".m = [[1, 2] / [3, 4], [5]];\n"},
        {"structs in an array",
         {member("a"), as(), ss(), member("x"), num("1"), se(), ss(), member("x"), num("2"), se(),
          ae()},
         ".a=[{.x=1;},{.x=2;}];",
         ".a = [{\n\t.x = 1;\n}, {\n\t.x = 2;\n}];\n"},
        {"structs in an array in a struct",
         {member("s"), ss(), member("t"), as(), ss(), member("u"), num("1"), se(), ss(),
          member("u"), num("2"), se(), ae(), se()},
         ".s={.t=[{.u=1;},{.u=2;}];};",
         ".s = {\n\t.t = [{\n\t\t.u = 1;\n\t}, {\n\t\t.u = 2;\n\t}];\n};\n"},
        {"empty struct and empty array",
         {member("s"), ss(), se(), member("e"), as(), value(TVL_VK_NULL, ""), ae()},
         ".s={};.e=[];",
         ".s = {\n};\n.e = [];\n"},
        {"annotated value",
         std::vector<Ev>{member("n")} + annotation(TVLR_TYPE_UINT, 8, 16) +
             value(TVL_VK_STRING, "ff", TVLR_TYPE_UINT, 8, 16),
         ".n=<uint:8,_16>\"ff\";", ".n = <uint:8,_16> \"ff\";\n"},
        {"annotation with every parameter",
         std::vector<Ev>{member("f")} + annotation(TVLR_TYPE_FLOAT_FIX, 32, 16, "k~g") +
             value(TVL_VK_NUMBER, "1.5", TVLR_TYPE_FLOAT_FIX, 32, 16),
         ".f=<float_fix:32,q16,k~g>1.5;", ".f = <float_fix:32,q16,k~g> 1.5;\n"},
        {"annotation before a struct",
         std::vector<Ev>{member("s")} + annotation(TVLR_TYPE_UINT, 8, 0) +
             std::vector<Ev>{ss(), member("x"), num("1"), se()},
         ".s=<uint:8>{.x=1;};", ".s = <uint:8> {\n\t.x = 1;\n};\n"},
        {"annotation before an array and an element",
         std::vector<Ev>{member("a")} + annotation(TVLR_TYPE_UINT, 8, 0) + as() + anum("1") +
             annotation(TVLR_TYPE_SINT, 16, 0) + anum("-2") + ae(),
         ".a=<uint:8>[1,<sint:16>-2];", ".a = <uint:8> [1, <sint:16> -2];\n"},
        {"annotated nulls in an array",
         std::vector<Ev>{member("a"), as()} + annotation(TVLR_TYPE_UINT, 0, 0) +
             value(TVL_VK_NULL, "") + annotation(TVLR_TYPE_UINT, 0, 0) + value(TVL_VK_NULL, "") +
             ae(),
         ".a=[<uint>,<uint>];", ".a = [<uint> , <uint> ];\n"},
        {"special numbers",
         {member("a"), num("nan"), member("b"), num("inf"), member("c"), num("-inf")},
         ".a=$nan;.b=$inf;.c=$-inf;",
         ".a = $nan;\n.b = $inf;\n.c = $-inf;\n"},
        {"symbols, references, booleans, null",
         {member("s"), value(TVL_VK_SYMBOL, "sym-1"), member("r"), value(TVL_VK_REFERENCE, ".a.b"),
          member("t"), value(TVL_VK_BOOL, "on"), member("f"), value(TVL_VK_BOOL, "off"),
          member("n"), value(TVL_VK_NULL, "")},
         ".s=sym-1;.r=&.a.b;.t=true;.f=false;.n=;",
         ".s = sym-1;\n.r = &.a.b;\n.t = true;\n.f = false;\n.n = ;\n"},
        {"every escape",
         {member("s"), str("a\t\n\v\f\r\"\\b")},
         ".s=\"a\\t\\n\\v\\f\\r\\\"\\\\b\";",
         ".s = \"a\\t\\n\\v\\f\\r\\\"\\\\b\";\n"},
        {"long unescaped runs across the buffer end",
         {member("s"), str(std::string(40000, 'x') + "\t" + std::string(20000, 'y')), member("t"),
          str(std::string(40000, 'z'))},
         ".s=\"" + std::string(40000, 'x') + "\\t" + std::string(20000, 'y') + "\";.t=\"" +
             std::string(40000, 'z') + "\";",
         ".s = \"" + std::string(40000, 'x') + "\\t" + std::string(20000, 'y') + "\";\n.t = \"" +
             std::string(40000, 'z') + "\";\n"},
        {"octet stream of several blocks",
         {member("o"), event(TVLR_EV_OCTETS_START), octets("xyz"), octets("q"), octets(block),
          event(TVLR_EV_OCTETS_END)},
         ".o=\0\1\3\0xyz\1\1\0q\1\0\0"s + block + "\0;"s,
         ".o = \0\1\3\0xyz\1\1\0q\1\0\0"s + block + "\0;\n"s},
        {"octet stream as the second element",
         {member("a"), as(), anum("1"), event(TVLR_EV_OCTETS_START), octets("ab"), octets("c"),
          event(TVLR_EV_OCTETS_END), anum("2"), ae()},
         ".a=[1,\0\1\2\0ab\1\1\0c\0,2];"s,
         ".a = [1, \0\1\2\0ab\1\1\0c\0, 2];\n"s},
        {"unit suffix where no annotation declares one",
         std::vector<Ev>{member("a")} + annotation(TVLR_TYPE_UINT, 8, 0) +
             with_unit(value(TVL_VK_NUMBER, "5", TVLR_TYPE_UINT, 8), parsed_unit("m")) +
             member("s") + with_unit(str("abc"), parsed_unit("k~g*m/s^2")),
         ".a=<uint:8>5 m;.s=\"abc\" k~g\xC2\xB7m/s\xC2\xB2;",
         ".a = <uint:8> 5 m;\n.s = \"abc\" k~g\xC2\xB7m/s\xC2\xB2;\n"},
        {"no suffix for a unit the annotation declares",
         std::vector<Ev>{member("a")} + annotation(TVLR_TYPE_UINT, 8, 0, "m") +
             with_unit(value(TVL_VK_NUMBER, "5", TVLR_TYPE_UINT, 8), parsed_unit("m")),
         ".a=<uint:8,m>5;", ".a = <uint:8,m> 5;\n"},
        {"long member name",
         {member(std::string(300, 'n')), num("1"), member("b"), num("2")},
         "." + std::string(300, 'n') + "=1;.b=2;",
         "." + std::string(300, 'n') + " = 1;\n.b = 2;\n"},
        {"deep struct indentation",
         [] {
             std::vector<Ev> v;
             for (int i = 0; i < 70; ++i) v = v + member("d") + ss();
             v = v + member("x") + num("1");
             for (int i = 0; i < 70; ++i) v = v + se();
             return v;
         }(),
         [] {
             std::string s;
             for (int i = 0; i < 70; ++i) s += ".d={";
             s += ".x=1;";
             for (int i = 0; i < 70; ++i) s += "};";
             return s;
         }(),
         [] {
             std::string s;
             for (int i = 0; i < 70; ++i) s += std::string(i, '\t') + ".d = {\n";
             s += std::string(70, '\t') + ".x = 1;\n";
             for (int i = 69; i >= 0; --i) s += std::string(i, '\t') + "};\n";
             return s;
         }()},
    };
}

TEST(WriterOutput, ExactBytesCompactAndPretty) {
    tvlr_writer_options deep{};
    deep.max_struct_depth = 100;
    const tvlr_reader_options widest = widest_reader_options();
    for (const OutCase &c : output_cases()) {
        SCOPED_TRACE(c.name);
        for (bool pretty : {false, true}) {
            const WriteResult r = write_events(c.events, pretty, true, &deep);
            ASSERT_TRUE(r.ok) << "error " << r.error;
            EXPECT_EQ(r.out, pretty ? c.pretty : c.compact);
            // Whatever the writer writes, the reader reads.
            const Values back = read_values(r.out, &widest);
            EXPECT_TRUE(back.ok) << "read error " << back.error;
        }
    }
}

TEST(WriterOutput, ConvenienceCalls) {
    std::string out;
    for (bool pretty : {false, true}) {
        out.clear();
        const tvlr_sink sink = string_sink(&out);
        tvlr_writer *w = tvlr_writer_create();
        ASSERT_TRUE(tvlr_open_write_sink(w, &sink, pretty, nullptr));
        EXPECT_TRUE(tvlr_write_struct_start(w, "doc"));
        EXPECT_TRUE(tvlr_write_plain(w, "kind", "report"));
        EXPECT_TRUE(tvlr_write_string(w, "title", "a\"b"));
        EXPECT_TRUE(tvlr_write_bool(w, "ok", true));
        EXPECT_TRUE(tvlr_write_bool(w, "bad", false));
        EXPECT_TRUE(tvlr_write_null(w, "n"));
        EXPECT_TRUE(tvlr_write_struct_end(w));
        EXPECT_TRUE(tvlr_write_finish(w));
        EXPECT_EQ(out, pretty ? ".doc = {\n\t.kind = report;\n\t.title = \"a\\\"b\";\n\t.ok = "
                                "true;\n\t.bad = false;\n\t.n = ;\n};\n"
                              : ".doc={.kind=report;.title=\"a\\\"b\";.ok=true;.bad=false;.n=;};");
        tvlr_writer_destroy(w);
    }
}

// The statement end is written when the next statement starts, so a member's output stops
// right after its value until then.
TEST(WriterOutput, StatementEndIsDeferred) {
    char buffer[64];
    tvlr_writer *w = tvlr_writer_create();
    ASSERT_TRUE(tvlr_open_write_mem(w, buffer, sizeof buffer, true, nullptr));
    ASSERT_TRUE(tvlr_write_null(w, "n"));
    EXPECT_EQ(std::string(buffer, tvlr_writer_bytes_written(w)), ".n = ");
    ASSERT_TRUE(tvlr_write_struct_start(w, "s"));
    ASSERT_TRUE(tvlr_write_string(w, "first", "1"));
    ASSERT_TRUE(tvlr_write_string(w, "title", "a\"b"));
    EXPECT_EQ(std::string(buffer, tvlr_writer_bytes_written(w)),
              ".n = ;\n.s = {\n\t.first = \"1\";\n\t.title = \"a\\\"b\"");
    ASSERT_TRUE(tvlr_write_struct_end(w));
    ASSERT_TRUE(tvlr_write_finish(w));
    EXPECT_EQ(std::string(buffer, tvlr_writer_bytes_written(w)),
              ".n = ;\n.s = {\n\t.first = \"1\";\n\t.title = \"a\\\"b\";\n};\n");
    tvlr_writer_destroy(w);
}

// Events whose order the writer does not check still write their own bytes; finishing refuses
// what is left open.
TEST(WriterOutput, UncheckedOrder) {
    const WriteResult r =
        write_events({event(TVLR_EV_ARRAY_END), event(TVLR_EV_ROW_BREAK)}, false, false);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.out, "]/");
    const WriteResult finish =
        write_events({member("a"), as(), ss(), member("x"), num("1"), se()}, false, true);
    EXPECT_FALSE(finish.ok);
    EXPECT_EQ(finish.error, 18u);
    const WriteResult row_due = write_events({member("a"), as(), anum("1"), ae(), row()}, false);
    EXPECT_FALSE(row_due.ok);
    EXPECT_EQ(row_due.error, 18u);
    EXPECT_EQ(row_due.out, ".a=[1]/");
}

// on_event sees each accepted event after its output; refusing one sets error 26 with the
// output left written.
struct Seen {
    std::vector<uint32_t> kinds;
    uint32_t refuse_kind = 99;
};

bool count_events(void *user, uint32_t kind, tvlr_event *) {
    auto *seen = static_cast<Seen *>(user);
    seen->kinds.push_back(kind);
    return kind != seen->refuse_kind;
}

TEST(WriterOutput, OnEventAfterOutput) {
    Seen seen;
    seen.refuse_kind = TVLR_EV_VALUE;
    tvlr_writer_options o{};
    o.user_data = &seen;
    o.on_event = &count_events;
    const WriteResult r =
        write_events({event(TVLR_EV_DOC_START), member("a"), num("1")}, false, true, &o);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, 26u);
    EXPECT_EQ(r.out, ".a=1");
    EXPECT_EQ(r.offset, 4u);
    EXPECT_EQ(seen.kinds,
              (std::vector<uint32_t>{TVLR_EV_DOC_START, TVLR_EV_MEMBER_NAME, TVLR_EV_VALUE}));
}

// The number texts that the quick paths write as they are: the same verdict and digit count as
// a pattern, for texts of digits with stray bytes at every place of the eight-byte words; and
// byte copies of every length up to past 32 that write exactly their bytes.
TEST(WriterOutput, WordHelpersAgreeWithReferences) {
    const std::regex pattern("-?([0-9]+)(\\.([0-9]+))?");
    std::mt19937 rng(11);
    static const char kStray[] = "-.:/a \x80\xB9";
    for (int i = 0; i < 20000; ++i) {
        std::string s(rng() % 40, '0');
        for (char &c : s) c = static_cast<char>('0' + rng() % 10);
        for (auto n = rng() % 3; n > 0 && !s.empty(); --n)
            s[rng() % s.size()] = kStray[rng() % (sizeof kStray - 1)];
        std::smatch m;
        const bool want = std::regex_match(s, m, pattern);
        size_t digits = 0;
        bool point = false;
        ASSERT_EQ(tvl::wr::plain_decimal(s.data(), s.size(), digits, point), want) << s;
        if (want) {
            EXPECT_EQ(digits, static_cast<size_t>(m[1].length() + m[3].length())) << s;
            EXPECT_EQ(point, m[2].matched) << s;
        }
        std::vector<uint8_t> to(s.size() + 2, '#');
        tvl::wr::copy_bytes(to.data() + 1, s.data(), s.size());
        EXPECT_EQ("#" + s + "#", std::string(to.begin(), to.end()));
    }
}

// The decimal digits of integers of every length (all bit lengths, and each power of ten and
// the number before it) against std::to_chars, written to char and to byte buffers that must
// stay untouched outside the digits.
TEST(WriterOutput, DecimalDigitsAgreeWithToChars) {
    std::vector<uint64_t> values{0, UINT64_MAX};
    for (uint64_t p = 1; p <= UINT64_MAX / 10; p *= 10) values.insert(values.end(), {p, p - 1});
    std::mt19937_64 rng(5);
    for (int i = 0; i < 20000; ++i) values.push_back(rng() >> (rng() % 64));
    for (const uint64_t v : values) {
        char want[24];
        const std::string ref(want, std::to_chars(want, want + sizeof want, v).ptr);
        std::string text(30, '#');
        char *const begin = tvl::wr::write_decimal_before(text.data() + 26, v);
        EXPECT_EQ(begin, text.data() + 26 - ref.size()) << v;
        EXPECT_EQ(text, std::string(26 - ref.size(), '#') + ref + "####") << v;
        uint8_t bytes[30];
        std::memset(bytes, '#', sizeof bytes);
        uint8_t *const b = tvl::wr::write_decimal_before(bytes + 26, v);
        EXPECT_EQ(std::string(b, bytes + 26), ref) << v;
        EXPECT_EQ(std::count(bytes, bytes + 30, '#'), static_cast<long>(30 - ref.size())) << v;
    }
}

}  // namespace
