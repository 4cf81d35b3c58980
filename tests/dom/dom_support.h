// Helpers of the tree tests: trees as one line of compact text, documents parsed into owned
// trees, and trees written back as text through the writer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tvlr.h"

namespace domtest {

struct DocDeleter {
    void operator()(tvl_dom_doc *d) const { tvl_dom_doc_destroy(d); }
};
using Doc = std::unique_ptr<tvl_dom_doc, DocDeleter>;

inline Doc parse(std::string_view text) {
    return Doc(tvl_dom_parse(text.data(), static_cast<uint32_t>(text.size())));
}

// A tree as text. Members `name=value`, space separated; values:
//   null  true false  12  -5  123456789012345678901  f1.5 fnan f-inf  "text"  sym(x)  ref(.a.b)
//   oct"bytes"  {members}  [elements]
// An array whose dims are not 1, or whose one row is not all of its elements, adds
// "#dims:size,size...". Each value is followed by "@type:bits:_base" (the parts that are set) when
// its annotation is not all zero, and by "~unit" when its unit is not empty or neutral. A
// document read with an error ends in "!error_name".
std::string render(const tvl_dom_doc *doc);
std::string render(const tvl_dom_node *node);

// The tree written as text by a writer (depth limits 255), walking the tree and writing one
// event per step; every value carries its annotation and unit in an explicit annotation. Empty
// with *error set when the writer refuses an event.
std::string write_tree(const tvl_dom_doc *doc, uint32_t *error, bool *exact = nullptr);

// The documents of the table of parsed trees (parse_test.cpp).
std::vector<std::string> tree_case_documents();

}  // namespace domtest
