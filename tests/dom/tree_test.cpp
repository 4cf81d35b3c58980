// Trees by hand and their accessors: typed reads with their range checks, integer text, values
// in SI units, lookups by name and path, refused additions, and destruction of deep trees.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/alloc.h"
#include "dom_support.h"

using namespace domtest;

namespace {

std::string double_text(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

// The integer accessors that accept the node, by name; each must give the node's decimal text.
std::string integer_reads(const tvl_dom_node *n) {
    using namespace std::string_literals;
    std::string ok;
    char *dec = tvl_dom_int_to_str(n, 10);
    const std::string text = dec ? dec : "";
    tvl_dom_free_string(dec);
    auto check = [&]<class T>(const char *name, bool (*get)(const tvl_dom_node *, T *)) {
        T value{};
        if (!get(n, &value)) return;
        ok += ok.empty() ? name : " "s + name;
        EXPECT_EQ(std::to_string(value), text) << name;
    };
    check("i64", &tvl_dom_get_i64);
    check("u64", &tvl_dom_get_u64);
    check("i32", &tvl_dom_get_i32);
    check("u32", &tvl_dom_get_u32);
    check("i16", &tvl_dom_get_i16);
    check("u16", &tvl_dom_get_u16);
    check("i8", &tvl_dom_get_i8);
    check("u8", &tvl_dom_get_u8);
    return ok;
}

struct ReadCase {
    const char *value;  // the value of member v
    const char *integers;
    const char *as_float;  // tvl_dom_get_float, "-" when refused
    const char *hex;       // tvl_dom_int_to_str in base 16, "-" for null
    const char *si;        // tvl_dom_get_value_in_base_units
};

TEST(DomAccess, TypedReads) {
    const char *all = "i64 u64 i32 u32 i16 u16 i8 u8";
    const std::vector<ReadCase> cases = {
        {"127", all, "127", "7f", "127"},
        {"128", "i64 u64 i32 u32 i16 u16 u8", "128", "80", "128"},
        {"<sint:8> -1", "i64 i32 i16 i8", "-1", "-1", "-1"},
        {"-255", "i64 i32 i16", "-255", "-ff", "-255"},
        {"<uint:32> 4294967295", "i64 u64 u32", "4294967295", "ffffffff", "4294967295"},
        {"-9223372036854775808", "i64", "-9.2233720368547758e+18", "-8000000000000000",
         "-9.2233720368547758e+18"},
        {"18446744073709551615", "u64", "1.8446744073709552e+19", "ffffffffffffffff",
         "1.8446744073709552e+19"},
        {"<sint:80> -9223372036854775808", "i64", "-9.2233720368547758e+18", "-8000000000000000",
         "-9.2233720368547758e+18"},
        {"<sint:80> 9223372036854775808", "u64", "-", "8000000000000000", "0"},
        {"<uint:96> 18446744073709551616", "", "-", "10000000000000000", "0"},
        {"<uint:96> 0", all, "0", "0", "0"},
        {"2 k~m", all, "2", "2", "2000"},
        {"20 \xC2\xB0"
         "C",
         all, "20", "14", "293.14999999999998"},
        {"1.5 m~s", "", "1.5", "-", "0.0015"},
        {"12.50 USD", "", "12.5", "-", "0"},
        {"\"s\"", "", "-", "-", "0"},
        {"true", "", "-", "-", "0"},
    };
    for (const ReadCase &c : cases) {
        Doc doc = parse(std::string(".v = ") + c.value + ";");
        ASSERT_TRUE(doc && doc->parse_error == 0 && doc->count == 1) << c.value;
        const tvl_dom_node *n = doc->entries[0].node;
        EXPECT_EQ(integer_reads(n), c.integers) << c.value;
        double f = 0;
        EXPECT_EQ(tvl_dom_get_float(n, &f) ? double_text(f) : "-", c.as_float) << c.value;
        char *hex = tvl_dom_int_to_str(n, 16);
        EXPECT_EQ(hex ? hex : "-", std::string(c.hex)) << c.value;
        tvl_dom_free_string(hex);
        EXPECT_EQ(double_text(tvl_dom_get_value_in_base_units(n)), c.si) << c.value;
    }
}

// Lookups by dotted path and by member name take the first match and never pass an array.
TEST(DomAccess, Lookups) {
    Doc doc = parse(".a = { .b = { .c = 1; }; .x = [1]; .x = 2; }; .y = 3; .y = 4;");
    ASSERT_TRUE(doc && doc->parse_error == 0);
    const std::string z255(255, 'z'), z256(256, 'z');
    const std::vector<std::pair<std::string, std::string>> cases = {
        {".a.b.c", "1@uint:64"}, {"a.b.c", "1@uint:64"}, {"a.b", "{c=1@uint:64}"},
        {"a.x", "[1@uint:64]"},  {"y", "3@uint:64"},     {"a.x.0", "(none)"},
        {"a.b.c.d", "(none)"},   {"a.", "(none)"},       {"a..b", "(none)"},
        {"..a", "(none)"},       {".", "(none)"},        {"", "(none)"},
        {"q", "(none)"},         {z255, "(none)"},       {"a." + z256, "(none)"},
    };
    for (const auto &[path, want] : cases)
        EXPECT_EQ(render(tvl_dom_lookup(doc.get(), path.c_str())), want) << path;
    const tvl_dom_node *a = tvl_dom_lookup(doc.get(), "a");
    EXPECT_EQ(render(tvl_dom_struct_get(a, "x")), "[1@uint:64]");
    EXPECT_EQ(tvl_dom_struct_get(a, "b.c"), nullptr);
    EXPECT_EQ(tvl_dom_struct_get(tvl_dom_struct_get(a, "x"), "x"), nullptr);
    EXPECT_EQ(tvl_dom_lookup(nullptr, "a"), nullptr);
    EXPECT_EQ(tvl_dom_lookup(doc.get(), nullptr), nullptr);
}

// Null pointers give the empty result of every reading operation.
TEST(DomAccess, NullArguments) {
    bool b = true;
    double f = 1;
    int64_t i = 1;
    const char *str = "x";
    EXPECT_FALSE(tvl_dom_is_null(nullptr) || tvl_dom_get_bool(nullptr, &b) ||
                 tvl_dom_get_float(nullptr, &f) || tvl_dom_get_i64(nullptr, &i) ||
                 tvl_dom_get_string(nullptr, &str, nullptr));
    EXPECT_TRUE(b && f == 1 && i == 1);
    EXPECT_EQ(tvl_dom_node_type(nullptr) + tvl_dom_doc_count(nullptr) +
                  tvl_dom_doc_get_parse_error(nullptr) + tvl_dom_array_count(nullptr) +
                  tvl_dom_array_dims(nullptr) + tvl_dom_struct_count(nullptr),
              0u);
    EXPECT_TRUE(tvl_dom_array_at(nullptr, 0) == nullptr && tvl_dom_get_bigint(nullptr) == nullptr &&
                tvl_dom_int_to_str(nullptr, 10) == nullptr);
    EXPECT_EQ(tvl_dom_get_unit_string(nullptr, nullptr, 0), -1);
    const tvl_unit u = tvl_dom_get_unit(nullptr);
    EXPECT_TRUE(u.count == 1 && u.factors[0].base == 0 && u.factors[0].exponent == 1);
}

// ---------------------------------------------------------------------------
// Building by hand

TEST(DomBuild, NodesByHand) {
    tvl_dom_node *u8 = tvl_dom_node_from_u8(255);
    int8_t i8 = 0;
    char unit[32];
    EXPECT_FALSE(tvl_dom_get_i8(u8, &i8));
    EXPECT_EQ(integer_reads(u8), "i64 u64 i32 u32 i16 u16 u8");
    EXPECT_EQ(tvl_dom_get_unit_string(u8, unit, sizeof unit), 7);
    EXPECT_STREQ(unit, "no_unit");
    tvl_dom_node_destroy(u8);

    // An empty octets node has no bytes.
    tvl_dom_node *oct = tvl_dom_node_alloc(TVL_DOM_OCTETS);
    const uint8_t *bytes = reinterpret_cast<const uint8_t *>("x");
    uint32_t len = 9;
    EXPECT_TRUE(tvl_dom_get_octets(oct, &bytes, &len) && bytes == nullptr && len == 0);
    tvl_dom_node_destroy(oct);

    // A big integer wider than its node's declared width still prints in full.
    tvl_int *big = tvl_int_alloc();
    ASSERT_TRUE(tvl_int_from_str(big, "-123456789012345678901234567890123456789012345678901", 10));
    tvl_int broken{nullptr, 4, 1, 0, 0};  // a capacity without limbs
    for (const auto &[value, a] : {std::pair{big, tvl_type_annotation{TVLR_TYPE_SINT, 64, 0}},
                                   {big, {TVLR_TYPE_FLOAT, 96, 0}},
                                   {&broken, {TVLR_TYPE_SINT, 96, 0}},
                                   {nullptr, {TVLR_TYPE_SINT, 96, 0}}})
        EXPECT_EQ(tvl_dom_node_from_bigint(value, a, tvl_unit{}), nullptr);
    tvl_dom_node *n = tvl_dom_node_from_bigint(big, {TVLR_TYPE_SINT, 65, 0}, tvl_unit{});
    EXPECT_EQ(render(n), "-123456789012345678901234567890123456789012345678901@sint:65");
    EXPECT_EQ(tvl_dom_get_bigint(n), big);
    tvl_dom_node_destroy(n);
}

// A refused addition destroys the node (one added to itself stays with the caller) and leaves
// the containers empty.
TEST(DomBuild, RefusedAdditions) {
    for (int row = 0; row < 5; ++row) {
        tvl::mem::testing::start_counting();
        tvl_dom_doc *doc = tvl_dom_doc_create();
        tvl_dom_node *s = tvl_dom_node_alloc(TVL_DOM_STRUCT);
        tvl_dom_node *a = tvl_dom_node_alloc(TVL_DOM_ARRAY);
        tvl_dom_node *m = tvl_dom_node_from_i64(1);
        bool added = true;
        switch (row) {
            case 0:
                added = tvl_dom_struct_add(a, "x", 1, m);
                break;
            case 1:
                added = tvl_dom_array_append(s, m);
                break;
            case 2:
                added = tvl_dom_doc_add(nullptr, "x", 1, m);
                break;
            case 3:
                added = tvl_dom_doc_add(doc, nullptr, 3, m);
                break;
            default:
                tvl_dom_node_destroy(m);
                added = tvl_dom_array_append(a, a);
                break;
        }
        EXPECT_FALSE(added) << row;
        EXPECT_EQ(doc->count + s->entry_count + a->item_count, 0u) << row;
        tvl_dom_node_destroy(s);
        tvl_dom_node_destroy(a);
        tvl_dom_doc_destroy(doc);
        EXPECT_EQ(tvl::mem::testing::stop_counting(), 0) << row;
    }
}

// A parsed string, symbol or reference node keeps its bytes in its own block; a node taken out
// of the tree is destroyed on its own, and bytes a caller puts in place of its own are freed with
// it. The counting seam and the sanitizers see every block freed exactly once.
TEST(DomBuild, ParsedNodesOnTheirOwn) {
    const char *text = ".s = \"some text\"; .y = sym; .r = &.a.b; .e = \"\"; .n = 5;";
    for (const bool replace_bytes : {false, true}) {
        tvl::mem::testing::start_counting();
        Doc doc = parse(text);
        ASSERT_TRUE(doc && doc->count == 5);
        EXPECT_EQ(render(doc.get()),
                  "s=\"some text\"@utf8 y=sym(sym) r=ref(.a.b) e=\"\"@utf8 n=5@uint:64");
        for (uint32_t i = 0; i < doc->count; ++i) {
            tvl_dom_node *taken = doc->entries[i].node;
            if (replace_bytes && taken->type != TVL_DOM_INT) {
                taken->value.bytes = tvl_dom_strdup("other", 5);
                taken->length = 5;
            }
            doc->entries[i].node = tvl_dom_node_alloc(TVL_DOM_NULL);
            tvl_dom_node_destroy(taken);
        }
        doc.reset();
        EXPECT_EQ(tvl::mem::testing::stop_counting(), 0);
    }
}

// A million nested containers are freed with constant stack depth, alone and in a document.
TEST(DomBuild, MillionDeepChains) {
    for (const uint32_t type : {uint32_t{TVL_DOM_ARRAY}, uint32_t{TVL_DOM_STRUCT}}) {
        tvl::mem::testing::start_counting();
        {
            tvl_dom_doc *doc = tvl_dom_doc_create();
            tvl_dom_node *root = tvl_dom_node_alloc(type);
            tvl_dom_node *at = root;
            for (int i = 0; i < 1000000; ++i) {
                tvl_dom_node *child = tvl_dom_node_alloc(type);
                const bool ok = type == TVL_DOM_ARRAY ? tvl_dom_array_append(at, child)
                                                      : tvl_dom_struct_add(at, "n", 1, child);
                ASSERT_TRUE(ok);
                at = child;
            }
            // A leaf with bytes of its own at the bottom.
            tvl_dom_node *leaf = tvl_dom_node_alloc(TVL_DOM_STRING);
            leaf->value.bytes = tvl_dom_strdup("leaf", 4);
            leaf->length = 4;
            ASSERT_TRUE(type == TVL_DOM_ARRAY ? tvl_dom_array_append(at, leaf)
                                              : tvl_dom_struct_add(at, "leaf", 4, leaf));
            ASSERT_TRUE(tvl_dom_doc_add(doc, "root", 4, root));
            tvl_dom_doc_destroy(doc);
        }
        EXPECT_EQ(tvl::mem::testing::stop_counting(), 0);
    }
}

}  // namespace
