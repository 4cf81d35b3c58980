// The trace harness: reads a document and renders its events and errors as one line of compact
// text (the notation of render.h, added annotation runs as one token each), followed by the
// result "-> ok" or "-> fail <error name>", so that tests compare whole event streams in one
// string.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "support/render.h"
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
    std::string trace;  // events and errors, then "-> ok" / "-> fail <error name>"
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

}  // namespace tvltest
