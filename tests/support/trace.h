// The trace harness: reads a document and renders its events and errors as
// compact text, so that tests compare whole event streams in one string.
//
// Event notation (space separated):
//   S / E            doc_start / doc_end
//   .name            member_name
//   { } [ ] /        struct_start, struct_end, array_start, array_end, row_break
//   O{ O}            octets_start, octets_end
//   <"txt"  >        type_start, type_end (with the annotation text)
//   T3:64            type_name: type and bits (":b16" base, when given)
//   p12:64 p13:16 p14:8 p11"m"   type_param: bits, base, fraction, unit text
//   v2"12"           value: value kind and text
//   @3:64:16         suffix on any event whose type, bits or base are set
//   ~m               suffix: unit as written by trace_unit() when it is not neutral
//   !15@1:8#7        error: code, line, column, offset (from on_error)
// The result line ends with "-> ok" or "-> fail N".
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "tvlr.h"

namespace tvltest {

// How the input reaches the reader.
enum class Feed {
    memory,      // tvlr_open_read_mem, scanned in place
    one_byte,    // a custom source that delivers one byte per call
    random,      // a custom source with random chunk sizes (seeded)
    descriptor,  // a pipe read through tvlr_source_from_fd
};

struct ReadResult {
    std::string trace;  // events and errors, then "-> ok" / "-> fail N"
    bool ok = false;
    uint32_t error = 0;
    uint64_t line = 0, column = 0, offset = 0;
    uint32_t byte = 0;
    uint64_t recoveries = 0;
    uint64_t error_calls = 0;
    int64_t max_depth_balance = 0;  // arrays: start minus end, never negative
    bool nesting_ok = true;         // arrays and structs properly nested
};

// Reads `input` fed as given; options may be null. Callbacks in the options
// are replaced by the harness's own.
ReadResult read_trace(std::string_view input, const tvlr_reader_options *options = nullptr,
                      Feed feed = Feed::memory, uint32_t seed = 1, bool caches = true);

// A random document built from valid fragments, then mutated a few times
// (byte changes, insertions, deletions), so that many are broken.
std::string generated_document(std::mt19937 &rng);

// Shorthand: trace of a default read from memory.
std::string trace(std::string_view input);

// Appends text in double quotes, with `"` and `\` escaped and control
// bytes as \xHH, so that traces stay printable.
void append_quoted(std::string &out, const char *text, uint32_t len);

// Renders one event as in the notation above.
std::string render_event(uint32_t kind, const tvlr_event &e);

// Renders a unit as base^exp(prefix) factors, "" for the neutral unit or no unit.
std::string trace_unit(const tvl_unit &u);

}  // namespace tvltest
