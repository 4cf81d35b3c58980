// Converts JSON documents into equivalent tvlr text, so that the reader,
// writer and canonical observer can be measured on the usual JSON benchmark
// inputs.
#pragma once

#include <string>
#include <string_view>

namespace tvlbench {

// Objects become structs, arrays arrays, strings strings (\u escapes
// decoded to UTF-8, control characters without a tvlr escape dropped),
// numbers stay as written, true/false/null stay as symbols. Keys that are
// not identifiers are mapped to ones ("205705993" -> "_205705993",
// "a-b c" -> "a-b_c"). A top-level array becomes the member `root`.
// Returns false for malformed JSON.
bool json_to_tvlr(std::string_view json, std::string &out);

}  // namespace tvlbench
