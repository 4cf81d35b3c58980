// Writing the same logical document with the tvlr writer and with the JSON writers, and
// reading with re-writing (tvlr's canonical observer, RapidJSON's reader driving its writer).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tvlcompare {

// Generated records held as values, and the ways of writing them. Each write returns the
// number of bytes written (0 on failure).
class RecordWriters {
  public:
    explicit RecordWriters(size_t min_json_bytes);
    ~RecordWriters();
    size_t record_count() const;

    // tvlr_write_event driven from the records through one event record (numbers as text, no
    // annotations) into a memory sink.
    uint64_t tvlr_events();
    // The typed writers for the members (tvlr_write_uint, _string, _float, _bool) and events for
    // the arrays, formatting the numbers while writing.
    uint64_t tvlr_typed();
    // RapidJSON Writer<StringBuffer>: numbers passed as their text with RawValue, or as values
    // with Uint64 and Double.
    uint64_t rapidjson_raw();
    uint64_t rapidjson_typed();
    // yajl_gen into a memory buffer: numbers as their text with yajl_gen_number, or as values
    // with yajl_gen_integer and yajl_gen_double.
    uint64_t yajl_raw();
    uint64_t yajl_typed();

    // The text that the last write produced, to check what it holds.
    std::string last_output() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// tvlr text read with the canonical observer into a sink that only counts; returns the bytes
// written, 0 on failure.
uint64_t tvlr_canonicalise(const std::string &text);
// JSON read by RapidJSON's reader into its Writer<StringBuffer>; returns the bytes written.
uint64_t rapidjson_rewrite(const std::string &json);

}  // namespace tvlcompare
