// A small JSON reader and writer for the tool's conversions. Numbers stay text, so their digits
// pass through unchanged; objects keep their members in order, duplicates included.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tool::json {

enum class kind { null, boolean, number, string, array, object };

struct value {
    kind type = kind::null;
    bool flag = false;         // boolean: its value
    std::string text;          // number: its digits as written; string: the decoded UTF-8 bytes
    size_t offset = 0;         // where the value starts in the JSON text
    std::vector<value> items;  // array: the elements; object: the member values
    std::vector<std::string> keys;  // object: the member names, one per item
};

struct parse_error {
    std::string message;
    uint64_t line = 0;
    uint64_t column = 0;
};

// Reads one JSON text (RFC 8259: one value with white space around it, UTF-8, strings with
// every escape, surrogate pairs joined). Nesting deeper than 512 is refused.
bool parse(std::string_view text, value &out, parse_error &error);

// Writes a value: pretty (two spaces per level) or compact. Strings escape '"', '\\' and the
// control characters; everything else, non-ASCII included, is copied.
void write(std::string &out, const value &v, bool pretty, int depth = 0);

// True when the text is a JSON number.
bool is_number(std::string_view text);

// The 1-based line and column of a byte offset (columns count characters).
std::pair<uint64_t, uint64_t> position(std::string_view text, size_t offset);

}  // namespace tool::json
