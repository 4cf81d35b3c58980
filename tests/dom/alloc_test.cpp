// Memory exhaustion: with the n-th allocation failing, for every n until a parse succeeds,
// tvl_dom_parse gives null or a partial tree with error 26, a parse that reports success gives
// exactly the full tree, and nothing is left allocated.
#include "base/alloc.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "dom_support.h"

using namespace domtest;
using namespace std::string_literals;

namespace {

// Parses the document from memory, or through a descriptor (re-read from its start each time).
tvl_dom_doc *parse_via(const std::string &text, FILE *file) {
    if (file == nullptr) return tvl_dom_parse(text.data(), static_cast<uint32_t>(text.size()));
    std::rewind(file);
    return tvl_dom_parse_fd(fileno(file));
}

void sweep(const std::string &text, FILE *file = nullptr) {
    const std::string head = text.substr(0, 60);
    Doc reference(parse_via(text, file));
    ASSERT_TRUE(reference && reference->parse_error == 0) << head;
    const std::string want = render(reference.get());
    reference.reset();
    long failures = 0;
    for (long n = 0;; ++n) {
        ASSERT_LT(n, 5000) << "never succeeds: " << head;
        tvl::mem::testing::start_counting();
        tvl::mem::testing::fail_after(n);
        tvl_dom_doc *doc = parse_via(text, file);
        tvl::mem::testing::disarm();
        const bool complete = doc != nullptr && doc->parse_error == 0;
        if (complete) {
            EXPECT_EQ(render(doc), want) << "allocation " << n << " failing";
        } else if (doc != nullptr) {
            EXPECT_EQ(doc->parse_error, uint32_t{TVL_ERR_SCANNER_CALLBACK_FAILED})
                << "allocation " << n << " failing: " << render(doc);
        }
        tvl_dom_doc_destroy(doc);
        EXPECT_EQ(tvl::mem::testing::stop_counting(), 0) << "leak with allocation " << n;
        if (complete) break;
        ++failures;
    }
    EXPECT_GT(failures, 2) << head;
}

TEST(DomAlloc, ParseUnderExhaustion) {
    std::string deep;
    for (int i = 0; i < 40; ++i) deep += ".s = {";
    deep += ".a = " + std::string(40, '[') + "1" + std::string(40, ']') + ";";
    for (int i = 0; i < 40; ++i) deep += "};";
    const std::string docs[] = {
        ".a = 1; .b = \"str\"; .c = [1, 2] / [3, 4]; .d = { .e = sym; .f = &.x; .t = on; };",
        ".h = 18446744073709551616; .k = <uint:96> 5; .m = -99999999999999999999999;",
        ".i = 1.5; .j = 0.1000000000000000055511151231257827021181583404541015625;"
        ".k = 2.4703282292062328e-324; .l = 1." +
            std::string(800, '3') + "e-200;",
        // Halfway between two doubles but for the last of many digits: only the exact
        // conversion, with big integers on the heap, decides it. As an element that needs no
        // room, its conversion can be the last allocation of the parse to fail.
        ".h = [1, 9007199254740993." + std::string(700, '0') + "1];",
        ".o = \0\1\3\0xyz\0; .p = \0\1\xE8\3"s + std::string(1000, 'q') + "\0;"s,
        "." + std::string(255, 'n') + " = \"" + std::string(300, 's') + "\";",
        deep,
    };
    for (const std::string &doc : docs) sweep(doc);
}

TEST(DomAlloc, DescriptorUnderExhaustion) {
    FILE *f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    const std::string text = ".a = [1, 2, 3]; .b = \"" + std::string(60000, 'b') + "\";";
    ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), f), text.size());
    std::fflush(f);
    sweep(text, f);
    std::fclose(f);
}

// An add that cannot grow its container destroys the node and leaves the container as it was.
TEST(DomAlloc, AddUnderExhaustion) {
    for (long n = 0; n < 4; ++n) {
        tvl::mem::testing::start_counting();
        tvl_dom_doc *doc = tvl_dom_doc_create();
        tvl_dom_node *s = tvl_dom_node_alloc(TVL_DOM_STRUCT);
        tvl_dom_node *a = tvl_dom_node_alloc(TVL_DOM_ARRAY);
        tvl_dom_node *x = tvl_dom_node_from_i64(1), *y = tvl_dom_node_from_i64(2),
                     *z = tvl_dom_node_from_i64(3);
        tvl::mem::testing::fail_after(n);
        const bool added = tvl_dom_doc_add(doc, "x", 1, x);
        const bool member = tvl_dom_struct_add(s, "y", 1, y);
        const bool item = tvl_dom_array_append(a, z);
        tvl::mem::testing::disarm();
        EXPECT_EQ(doc->count, added ? 1u : 0u);
        EXPECT_EQ(s->entry_count, member ? 1u : 0u);
        EXPECT_EQ(a->item_count, item ? 1u : 0u);
        if (n == 0) {
            EXPECT_FALSE(added || member || item);
        }
        tvl_dom_node_destroy(s);
        tvl_dom_node_destroy(a);
        tvl_dom_doc_destroy(doc);
        EXPECT_EQ(tvl::mem::testing::stop_counting(), 0) << n;
    }
}

}  // namespace
