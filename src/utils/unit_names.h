// The unit name table: every unit name and alias that the unit text accepts,
// with the canonical symbol of each identifier, and the suffix lookup.
#pragma once

#include <cstdint>

namespace tvl {

inline constexpr uint32_t kUnitNameCount = 485;
inline constexpr uint32_t kNameIndexSize = 32;

struct unit_name {
    const char *text;  // UTF-8 name or alias, NUL-terminated
    uint8_t length;    // bytes
    uint16_t id;       // unit identifier
};

// Rows run from the longest name to the shortest; in particular a name comes
// before every shorter name that ends it, so a scan that takes the first
// name ending a text finds the longest one.
extern const unit_name unit_name_table[kUnitNameCount];

// first_row[l] is the first row whose name is at most l bytes long (the row
// count when there is none); max_length is the longest name, at most 31.
struct name_length_index {
    uint16_t first_row[kNameIndexSize];
    uint32_t max_length;
};
extern const name_length_index unit_name_index;

struct name_match {
    uint32_t id;      // unit identifier
    uint32_t length;  // bytes of the name; 0 when no name matched
};

// The longest unit name that equals the last bytes of text[0..n).
name_match find_unit_name_suffix(const char *text, uint32_t n);

// The canonical symbol of a non-currency identifier 0..377 ("" for 0 and for
// currencies, whose symbol is their code).
const char *unit_canonical_symbol(uint32_t id);

}  // namespace tvl
