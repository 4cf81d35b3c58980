// Trees read from documents: one row per document with the tree it must give (dom_support.h
// describes the rendering), failures included; the tree builder fed with events directly; and
// descriptors read within their limits.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dom/builder.h"
#include "dom_support.h"

using namespace domtest;
using namespace std::string_literals;

namespace {

struct TreeCase {
    std::string doc;
    std::string tree;
};

const std::vector<TreeCase> &tree_cases() {
    static const std::vector<TreeCase> cases = {
        // Every value kind.
        {"", ""},
        {"# only a comment\n", ""},
        {".a = 1; .b = \"x\";", "a=1@uint:64 b=\"x\"@utf8"},
        {".s = sym-1; .r = &.a.b; .n = null; .z = ;", "s=sym(sym-1) r=ref(.a.b) n=null z=null"},
        {".t = on; .f = off; .g = true;", "t=true@bool f=false@bool g=true@bool"},
        {".o = \0\1\3\0xyz\1\1\0q\0;"s, "o=oct\"xyzq\""},
        {".o = \0\0; .p = [\0\0, 1];"s, "o=oct\"\" p=[oct\"\" 1@uint:64]"},
        {".o = <uint:8,m> \0\1\1\0x\0;"s, "o=oct\"x\"@uint:8~m"},
        {".t = \"a\\tb\" \"c\";", "t=\"a\\x09bc\"@utf8"},
        {".x = 1; .x = 2;", "x=1@uint:64 x=2@uint:64"},
        // Integers: inferred types, explicit widths and bases, and big integers.
        {".n = 9223372036854775808; .m = -5;", "n=9223372036854775808@uint:64 m=-5@sint:64"},
        {".n = <sint:8> -128; .u = <uint:8> 255;", "n=-128@sint:8 u=255@uint:8"},
        {".a = <uint:12,_16> 1e5;", "a=485@uint:12:_16"},
        {".n = <uint:8,_16> \"ff\";", "n=\"ff\"@uint:8:_16"},
        {".b = 18446744073709551616; .c = -9223372036854775809;",
         "b=18446744073709551616@uint:96 c=-9223372036854775809@sint:96"},
        {".b = 340282366920938463463374607431768211456;",
         "b=340282366920938463463374607431768211456@uint:160"},
        {".b = [1, 18446744073709551616];", "b=[1@uint:64 18446744073709551616@uint:96]"},
        {".b = <uint:128> 340282366920938463463374607431768211455; .c = <sint:100> -5;",
         "b=340282366920938463463374607431768211455@uint:128 c=-5@sint:100"},
        // Floats and special numbers.
        {".f = 1.5; .g = 2e3; .h = -0.25E-2;",
         "f=f1.5@float:64 g=f2000@float:64 h=f-0.0025000000000000001@float:64"},
        {".h = $nan; .i = $inf; .j = $-inf;", "h=fnan@float:64 i=finf@float:64 j=f-inf@float:64"},
        {".a = <float_fix:32,q8> 1.5; .b = <float> 7;", "a=f1.5@float_fix:32:_8 b=f7@float"},
        {".x = 1e400; .y = 2.4703282292062328e-324;",
         "x=finf@float:64 y=f4.9406564584124654e-324@float:64"},
        {".z = 0.0; .n = -0.0; .e = 0e-999; .u = 1e-400;",
         "z=f0@float:64 n=f-0@float:64 e=f0@float:64 u=f0@float:64"},
        {".c = 12.50 USD;", "c=f12.5@float_dec:64~USD"},
        // Units.
        {".p = 12 m; .q = 3 k~m/s; .s = \"abc\" m;",
         "p=12@uint:64~m q=3@uint:64~k~m/s s=\"abc\"@utf8~m"},
        {".a = <uint:8,m> [1, 2];", "a=[1@uint:8~m 2@uint:8~m]@uint:8~m"},
        // Structs, arrays and matrices.
        {".s = { .x = 1; .y = [1, 2]; }; .e = {};", "s={x=1@uint:64 y=[1@uint:64 2@uint:64]} e={}"},
        {".e = [];", "e=[null]"},
        {".m = [1, 2] / [3, 4] / [5, 6];",
         "m=[1@uint:64 2@uint:64 3@uint:64 4@uint:64 5@uint:64 6@uint:64]#3:2,2,2"},
        {".m = [[1, 2], [3]];", "m=[[1@uint:64 2@uint:64] [3@uint:64]]"},
        {".m = [[1], 2] / [[3], 4];", "m=[[1@uint:64] 2@uint:64 [3@uint:64] 4@uint:64]#2:2,2"},
        {".m = [[1, 2] / [3, 4], 5];",
         "m=[[1@uint:64 2@uint:64 3@uint:64 4@uint:64]#2:2,2 5@uint:64]"},
        {".a = [{.x = [1] / [2];}, 5] / [{.y = 2;}, 6];",
         "a=[{x=[1@uint:64 2@uint:64]#2:1,1} 5@uint:64 {y=2@uint:64} 6@uint:64]#2:2,2"},
        {".m = [1] / [2] / [3] / [4] / [5] / [6] / [7] / [8] / [9] / [10];",
         "m=[1@uint:64 2@uint:64 3@uint:64 4@uint:64 5@uint:64 6@uint:64 7@uint:64 8@uint:64 "
         "9@uint:64 10@uint:64]#8:1,1,1,1,1,1,1,1"},
        {".s = { .m = [\"a\"] / [\"b\"]; .n = 1; };",
         "s={m=[\"a\"@utf8 \"b\"@utf8]#2:1,1 n=1@uint:64}"},
        {".a = <uint:8>; .b = [<float> $nan, 1];", "a=null@uint:8 b=[fnan@float 1@uint:64]"},
        // Failures keep what was read before them.
        {".a = 1; .s = { .x = 2; .y = [3, ",
         "a=1@uint:64 s={x=2@uint:64 y=[3@uint:64]} !incomplete_tvlr_stream"},
        {".a = 1; .b = 12 foo;", "a=1@uint:64 !unit_illegal"},
        {".a = [1, 2] / [3];", "a=[1@uint:64 2@uint:64 3@uint:64]#2:2,1 !array_row_size_mismatch"},
        {".s = { .a = [1, 2; .b = 3; };", "s={a=[1@uint:64]} !unexpected_input_byte"},
        {".a = [[1, 2] / [3", "a=[[1@uint:64 2@uint:64]#2:2,0] !incomplete_tvlr_stream"},
        {".a = 1; }", "a=1@uint:64 !illegal_struct_close"},
        {".n = <uint:8> 256;", "!value_out_of_range"},
        {".a = 1; .b = " + std::string(10000, '9') + ";", "a=1@uint:64 !value_out_of_range"},
    };
    return cases;
}

}  // namespace

std::vector<std::string> domtest::tree_case_documents() {
    std::vector<std::string> docs;
    for (const TreeCase &c : tree_cases()) docs.push_back(c.doc);
    return docs;
}

namespace {

TEST(DomParse, TreesOfDocuments) {
    for (const TreeCase &c : tree_cases()) {
        Doc doc = parse(c.doc);
        ASSERT_NE(doc, nullptr) << c.doc;
        EXPECT_EQ(render(doc.get()), c.tree) << c.doc;
    }
}

// Nesting at the reader's limits (255 structs and 255 arrays) reads; one level more fails.
TEST(DomParse, NestingLimits) {
    struct Row {
        unsigned structs, arrays;
        uint32_t error;
    };
    for (const Row &r : {Row{255, 0, 0}, Row{0, 255, 0}, Row{255, 255, 0},
                         Row{256, 0, TVL_ERR_STRUCT_NESTING_TOO_HIGH},
                         Row{0, 256, TVL_ERR_ARRAY_NESTING_TOO_HIGH}}) {
        std::string text;
        for (unsigned i = 0; i < r.structs; ++i) text += ".s={";
        text += ".a=" + std::string(r.arrays, '[') + "1" + std::string(r.arrays, ']') + ";";
        for (unsigned i = 0; i < r.structs; ++i) text += "};";
        Doc doc = parse(text);
        ASSERT_NE(doc, nullptr);
        EXPECT_EQ(doc->parse_error, r.error) << r.structs << " " << r.arrays;
        if (r.error != 0) continue;
        // Walk down: every level is there.
        const tvl_dom_node *n = doc->entries[0].node;
        for (unsigned i = 0; i < r.structs; ++i) {
            ASSERT_EQ(tvl_dom_node_type(n), uint32_t{TVL_DOM_STRUCT});
            n = n->entries[0].node;
        }
        for (unsigned i = 0; i < r.arrays; ++i) n = tvl_dom_array_at(n, 0);
        int64_t v = 0;
        EXPECT_TRUE(tvl_dom_get_i64(n, &v) && v == 1);
    }
}

// ---------------------------------------------------------------------------
// The builder fed directly: events a reader never sends in that order are refused, and number
// events without a type are read by their text.

struct Ev {
    uint32_t kind;
    uint32_t value_kind = 0;
    const char *text = "";
    uint32_t type = 0, bits = 0, base = 0;
};

struct BuilderCase {
    std::vector<Ev> events;
    bool accepted;  // every event accepted
    std::string tree;
};

TEST(DomBuilder, EventSequences) {
    const Ev name{TVLR_EV_MEMBER_NAME, 0, "a"};
    const Ev open_array{TVLR_EV_ARRAY_START}, close_array{TVLR_EV_ARRAY_END};
    const Ev open_struct{TVLR_EV_STRUCT_START}, close_struct{TVLR_EV_STRUCT_END};
    auto num = [](const char *text, uint32_t type = 0, uint32_t bits = 0, uint32_t base = 0) {
        return Ev{TVLR_EV_VALUE, TVL_VK_NUMBER, text, type, bits, base};
    };
    const std::vector<BuilderCase> cases = {
        {{name, num("-7")}, true, "a=-7"},
        {{name, num("9223372036854775808")}, true, "a=9223372036854775808@uint:64"},
        {{name, num("18446744073709551616")}, true, "a=18446744073709551616@uint:96"},
        {{name, num("2.5")}, true, "a=f2.5"},
        {{name, num("-5", TVLR_TYPE_UINT, 64)}, false, ""},
        {{name, num("zz", TVLR_TYPE_UINT, 64)}, false, ""},
        {{name, num("10", TVLR_TYPE_UINT, 8, 2)}, true, "a=2@uint:8:_2"},
        // Digits outside the base are refused, never read as decimal instead.
        {{name, num("19", TVLR_TYPE_UINT, 8, 8)}, false, ""},
        {{name, num("-99999999999999999999", TVLR_TYPE_UINT, 64)}, false, ""},
        {{name, Ev{TVLR_EV_VALUE, TVL_VK_OCTETS, "x"}}, false, ""},
        {{name, Ev{TVLR_EV_OCTETS_END}}, false, ""},
        {{name, close_struct}, false, ""},
        {{name, open_struct, close_array}, false, "a={}"},
        {{name, Ev{TVLR_EV_ROW_BREAK}}, false, ""},
        {{name, open_array, num("1"), name}, false, "a=[1]#1:0"},
        {{name, open_array, num("1"), close_array, name, num("2")}, true, "a=[1] a=2"},
        {{name, Ev{TVLR_EV_VALUE, 99, "x"}}, true, "a=null"},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const BuilderCase &c = cases[i];
        tvl_dom_doc *doc = tvl_dom_doc_create();
        bool accepted = true;
        {
            tvl::dom::TreeBuilder b(doc);
            for (const Ev &ev : c.events) {
                tvlr_event e{};
                e.value_kind = ev.value_kind;
                e.value_type = ev.type;
                e.bits = ev.bits;
                e.base = ev.base;
                e.text = ev.text;
                e.text_len = static_cast<uint32_t>(std::strlen(ev.text));
                if (!b.on_event(ev.kind, e)) {
                    accepted = false;
                    break;
                }
            }
        }
        EXPECT_EQ(accepted, c.accepted) << "case " << i;
        EXPECT_EQ(render(doc), c.tree) << "case " << i;
        tvl_dom_doc_destroy(doc);
    }
}

// ---------------------------------------------------------------------------
// Descriptors

TEST(DomParse, Descriptors) {
    struct Row {
        std::string content;
        uint64_t max;
        bool parsed;
    };
    std::string big;
    for (int i = 0; i < 4; ++i) big += ".s = \"" + std::string(50000, 'x') + "\";";
    for (const Row &r :
         {Row{".a = 1234;", 10, true}, Row{".a = 12345;", 10, false}, Row{".a = 1;", 0, true},
          Row{big, 0, true}, Row{big, big.size() - 1, false}, Row{big, big.size(), true}}) {
        FILE *f = std::tmpfile();
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(r.content.data(), 1, r.content.size(), f), r.content.size());
        std::fflush(f);
        std::rewind(f);
        Doc doc(r.max == 0 ? tvl_dom_parse_fd(fileno(f)) : tvl_dom_parse_fd_ex(fileno(f), r.max));
        std::fclose(f);
        EXPECT_EQ(doc != nullptr, r.parsed) << r.content.size() << " " << r.max;
        if (doc) {
            EXPECT_EQ(doc->parse_error, 0u);
        }
    }
    EXPECT_EQ(tvl_dom_parse_fd(-1), nullptr);
    EXPECT_EQ(tvl_dom_parse(nullptr, 1), nullptr);
    Doc empty(tvl_dom_parse(nullptr, 0));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->count, 0u);
}

}  // namespace
