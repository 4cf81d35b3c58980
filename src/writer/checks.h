// The writer's checks of events: every event the writer accepts gives text that a reader
// accepts, with the same values. Each check returns 0 or the error code of the refusal.
//
// A value is checked twice over: by the writer's own rules for the type that the event declares
// (value_type, bits, base), and by the rules with which a reader checks the text it reads,
// including how the text splits into tokens (a number text that is not a decimal number would be
// read as a symbol). Where only the reader's rules refuse, the code is the reader's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/limits.h"
#include "tvlr.h"
#include "writer/output.h"

namespace tvl::wr {

// Member name: 4 when empty, 3 when longer than any reader accepts, 28 when not an identifier.
uint32_t check_member_name(const char *text, size_t len);

// The boolean words "true", "false", "on" and "off"; with "null" the words no symbol may be.
// Inline, as the one-step path asks them for every symbol and boolean.
inline bool is_bool_word(const char *text, size_t len) {
    switch (len) {
        case 2:
            return std::memcmp(text, "on", 2) == 0;
        case 3:
            return std::memcmp(text, "off", 3) == 0;
        case 4:
            return std::memcmp(text, "true", 4) == 0;
        case 5:
            return std::memcmp(text, "false", 5) == 0;
        default:
            return false;
    }
}
inline bool is_reserved_word(const char *text, size_t len) {
    return (len == 4 && std::memcmp(text, "null", 4) == 0) || is_bool_word(text, len);
}

// The writer's own rules for a value of the given kind and text under a declared type, width
// and base, without what the reader's view adds.
uint32_t value_rules(uint32_t kind, const char *text, size_t len, uint32_t type, uint32_t bits,
                     uint32_t base);

// A value of the given kind and text under a declared type, width and base: the writer's own
// rules, then the reader's view of the text written for it.
uint32_t check_value(uint32_t kind, const char *text, size_t len, uint32_t type, uint32_t bits,
                     uint32_t base);

// True when the two units are the same unit: equal records, or (for a unit that a named unit
// replaced in the text) a conversion by exactly 1 without an offset.
bool same_unit(const tvl_unit &value, const tvl_unit &declared);

// The unit of a value event against what the text can carry: the annotation in force, or a unit
// suffix where one may stand.
uint32_t check_value_unit(const Output &o, uint32_t kind, const tvlr_event &e);

// The type word of an annotation that is being written: 28 outside an annotation or after its
// type word, 25 for a word that no reader knows.
uint32_t check_type_name(const Output &o, const tvlr_event &e);

// The last unit text parsed from a unit parameter and what the parse gave, so that a writer that
// declares the same unit again (a typed writer with a unit) parses it once.
struct UnitParseMemo {
    bool valid;
    bool ok;
    uint32_t len;
    char text[kAnnotationTextMax + 1];
    tvl_unit unit;
};

// One annotation parameter as the output will write it, against the annotation written so far
// (28 before the type word). For a unit parameter, declared receives the unit that a reader
// parses from its text, taken from the memo when it holds that text and kept there otherwise.
uint32_t check_type_param(const Output &o, const tvlr_event &e, tvl_unit &declared,
                          UnitParseMemo &memo);

// The end of an annotation: 28 outside one or before its type word (`<>` reads as no annotation).
uint32_t check_type_end(const Output &o);

// Row bookkeeping at one array position, as a reader keeps it: the enclosing array's element
// count and expected row length while an inner array is open, and the length of the array
// closed last at this position with whether a row break followed it.
struct RowLevel {
    uint64_t elements;
    uint64_t row_length;
    uint64_t closed_row_length;
    bool row_break_seen;
};

// The element count and expected row length of the array around a struct, kept while the
// struct is open (its members' arrays count for themselves).
struct RowsAroundStruct {
    uint64_t elements;
    uint64_t row_length;
};

// The rows of the arrays written, measured as a reader measures them, so that the writer
// refuses a matrix whose rows a reader finds unequal. The reader counts an element at its
// start and each comma, and an array that closes once more: a row's length is its element
// count plus the number of arrays closed directly in it. A row after a row break must measure
// the same as the row before it.
struct Rows {
    uint64_t elements;    // of the innermost open array
    uint64_t row_length;  // the length it must reach, 0 while unknown
    RowLevel levels[kArrayLevels];
    RowsAroundStruct around_struct[kDepthLimitMax + 1];
};

// A member name at the array depth: rows of an earlier member say nothing about this one.
inline void forget_member_rows(Rows &rows, uint32_t array_depth) {
    if (array_depth >= kArrayLevels) return;  // beyond any depth limit
    rows.levels[array_depth].row_break_seen = false;
    rows.levels[array_depth].closed_row_length = 0;
}

// The place of a structural event, given the kind of the event before it: after a row break
// only the next row may follow, a row break only right after an array's end, and an array may
// not end before its first element (the text has no empty array: `[]` reads as one null
// element); all 28. Then the row lengths: 2 when a comma or an array's end would make a row
// longer or shorter than the row before its row break. comma tells whether the event writes
// the comma between array elements.
uint32_t check_structure(const Rows &rows, const Output &o, uint32_t previous, uint32_t kind,
                         bool comma);

// Follows an accepted event in the row bookkeeping; array_depth and struct_depth are the depths
// before the event.
void note_structure(Rows &rows, uint32_t kind, bool comma, uint32_t array_depth,
                    uint32_t struct_depth);

}  // namespace tvl::wr
