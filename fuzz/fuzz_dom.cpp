// libFuzzer target: a document that reads into a tree without error is written back through the
// writer (one event per node, every value with its annotation and unit) and read again; the two
// trees must render the same. The writer must accept every event of such a tree.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dom/dom_support.h"
#include "tvlr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > UINT32_MAX) return 0;
    domtest::Doc first(tvl_dom_parse(data, static_cast<uint32_t>(size)));
    if (!first) std::abort();  // only short memory gives no document
    if (first->parse_error != 0) return 0;
    uint32_t error = 0;
    bool exact = true;
    const std::string written = domtest::write_tree(first.get(), &error, &exact);
    if (error != 0) {
        std::fprintf(stderr, "writer refused the tree with %s: %s\n", tvl_error_to_string(error),
                     domtest::render(first.get()).c_str());
        std::abort();
    }
    // A base-16 float node whose value has hexadecimal letters among its digits can only be
    // written as a string, which reads back as a string node: nothing to compare.
    if (!exact) return 0;
    domtest::Doc second = domtest::parse(written);
    if (!second) std::abort();
    const std::string a = domtest::render(first.get()), b = domtest::render(second.get());
    if (a != b) {
        std::fprintf(stderr, "trees differ:\n  %s\n  %s\nwritten: %s\n", a.c_str(), b.c_str(),
                     written.c_str());
        std::abort();
    }
    return 0;
}
