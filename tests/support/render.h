// Reader events as compact text, so that a whole event stream reads on one line and compares as
// one string. Shared by the tests and the fuzz targets; needs no test framework.
//
// Event notation (space separated):
//   S / E              doc_start / doc_end
//   .name              member_name
//   { } [ ] /          struct_start, struct_end, array_start, array_end, row_break
//   O{ O}              octets_start, octets_end
//   <"txt"  >          type_start, type_end (with the annotation text)
//   T=uint:64          type_name: type word and bits (":b16" base, when given; "~unit", when set)
//   bits=64 base=16 frac=8 unit"m"    type_param, by parameter
//   num"12"            value: value kind and text; the kinds are str num sym ref anum astr (array
//                      number and string) oct null bool
//   @uint:64:16        suffix on any other event whose type, bits or base are set
//   ~4                 suffix: the unit as written by trace_unit(), when it is not neutral
//   !unexpected_input_byte@1:8#7      error: name, line, column, offset (render_error)
//   +uint:64"m"~4      an annotation run that the reader adds by itself (EventTrace only)
// Type words are the library's own ("plain" for 0); error names those of tvl_error_to_string.
// Event kinds, value kinds, types and error codes that have no name are written as numbers
// (?17, v16"x", p10"x", @9:64, !99@1:1#0), so that no two events render alike.
//
// Added annotation run: for a string, number or boolean without an annotation in force the
// reader delivers type_start with the bare type word, type_name, for numbers the width, the base
// 0 (not for float_dec) and the unit text ("no_unit" when none) as parameters, then type_end.
// EventTrace writes such a run as one token: "+", the type word, ":bits" when not 0, the unit
// parameter in quotes unless it is "no_unit", and "~unit" when the type carries one:
//   +uint:64   +sint:64"m"~4   +float_dec:64"USD"~277   +utf8   +bool
// It does so only when the run renders exactly as that token's expansion, and only when its
// type_start already carried the type: a written annotation reaches on_event before it is parsed,
// with type 0, so it keeps its full rendering even where it reads like an added one (<bool>).
#pragma once

#include <cstdint>
#include <string>

#include "tvlr.h"

namespace tvltest {

// Appends text in double quotes, with `"` and `\` escaped and control bytes as \xHH, so that
// traces stay printable.
void append_quoted(std::string &out, const char *text, uint32_t len);

// Renders a unit as base^exp(prefix) factors, "" for the neutral unit or no unit.
std::string trace_unit(const tvl_unit &u);

// The type word of a value type ("plain" for 0), or its number when it has none.
std::string type_text(uint32_t value_type);

// The name of an error code, or its number when it has none.
std::string error_text(uint32_t code);

// Renders one event as in the notation above.
std::string render_event(uint32_t kind, const tvlr_event &e);

// Renders one error report as in the notation above.
std::string render_error(uint32_t code, uint64_t line, uint64_t column, uint64_t offset);

// Renders what an event means for the document's structure and values, or "" for events left out
// (annotation runs, document start and end): member names, structure with the type in force, and
// values. Texts that mean the same render alike: a base of 10 is written as none for the types
// whose base defaults to 10, the neutral unit as no unit, and a unit's factors in any order alike.
std::string render_meaning(uint32_t kind, const tvlr_event &e);

// A whole read as one line: events and errors in the order they came, added annotation runs as
// one token each, and a result.
class EventTrace {
  public:
    void event(uint32_t kind, const tvlr_event &e);
    void error(uint32_t code, uint64_t line, uint64_t column, uint64_t offset);
    // The trace so far with the result appended: "-> ok" or "-> fail <error name>".
    std::string finish(bool ok, uint32_t error);

  private:
    void append(const std::string &token);
    void flush_run();

    std::string out_;
    // A run that may be an added annotation: its full rendering ("" when there is none), its
    // type_name event (type, bits and unit are read; the text is not kept) and its unit parameter.
    std::string run_;
    tvlr_event type_{};
    std::string unit_text_;
};

}  // namespace tvltest
