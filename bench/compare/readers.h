// The readers under comparison, each reading one whole document and counting what it sees:
// the tvlr streaming reader and three JSON readers (RapidJSON SAX, yajl, simdjson).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "corpus_pairs.h"

namespace tvlcompare {

// What a counting reader saw. values: scalars, objects and arrays (a tvlr document counts as
// its JSON root object), keys: member names. empty_arrays: the JSON arrays without elements,
// counted by RapidJSON only: tvlr reads `[]` as an array of one null, so the converted JSON
// documents give tvlr one value more for each.
struct Counts {
    uint64_t values = 0;
    uint64_t keys = 0;
    uint64_t empty_arrays = 0;
    bool ok = false;
};

// The tvlr reader over memory; without callbacks (validation only) when counting is false,
// in which case only ok is set.
Counts tvlr_read_mem(const std::string &text, bool counting);
// RapidJSON's SAX reader with encoding validation; a handler that does nothing (only ok set)
// or one that counts.
Counts rapidjson_read(const std::string &json, bool counting);
// yajl with counting callbacks; numbers reach it as their text (its yajl_number callback).
Counts yajl_read(const std::string &json);

// simdjson's DOM parse of the whole document and a walk over every value; the parser keeps its
// buffers from one document to the next, as a program reading many documents would.
class SimdjsonReader {
  public:
    SimdjsonReader();
    ~SimdjsonReader();
    // Takes a padded copy of the document; then read parses that copy.
    void load(const std::string &json);
    Counts read();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// A long stream of `blocks` copies of a records block, delivered in chunks without holding the
// document: tvlr through a read callback of its source, RapidJSON through an input stream of
// its own with a 64 KiB buffer, yajl in 64 KiB chunks. simdjson has no streaming of one
// document and is left out.
Counts tvlr_read_stream(const Block &block, uint64_t blocks, bool counting);
Counts rapidjson_read_stream(const Block &block, uint64_t blocks, bool counting);
Counts yajl_read_stream(const Block &block, uint64_t blocks);
uint64_t tvlr_stream_bytes(const Block &block, uint64_t blocks);
uint64_t json_stream_bytes(const Block &block, uint64_t blocks);

}  // namespace tvlcompare
