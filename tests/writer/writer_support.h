// Helpers of the writer tests: events built in a line, whole event sequences written into
// memory, documents canonicalised through the observer, and reads rendered as the structure and
// values they carry (annotation runs left out, equal meanings written alike).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tvlr.h"

namespace wtest {

// A pointer kept in the reserved bytes of a sink record, for custom sinks of the tests.
template <class T>
void store_pointer(uint8_t *bytes, T *p) {
    const auto v = reinterpret_cast<uintptr_t>(p);
    std::memcpy(bytes, &v, sizeof v);
}
template <class T>
T *load_pointer(const uint8_t *bytes) {
    uintptr_t v;
    std::memcpy(&v, bytes, sizeof v);
    return reinterpret_cast<T *>(v);
}

// One event with its own copy of the text.
struct Ev {
    uint32_t kind = 0;
    tvlr_event e{};
    std::string text;
    bool null_text = false;  // hand the writer a null text pointer
};

Ev event(uint32_t kind);
Ev member(std::string_view name);
Ev value(uint32_t value_kind, std::string_view text, uint32_t type = 0, uint32_t bits = 0,
         uint32_t base = 0);
Ev num(std::string_view text);
Ev str(std::string_view text);
Ev with_unit(Ev ev, const tvl_unit &unit);

// The run of events of an annotation, as a reader delivers it: type_start, type_name, the
// width, base or fraction and unit parameters that are set, type_end.
std::vector<Ev> annotation(uint32_t type, uint32_t bits, uint32_t base,
                           std::string_view unit_text = {});

std::vector<Ev> operator+(std::vector<Ev> a, const std::vector<Ev> &b);
std::vector<Ev> operator+(std::vector<Ev> a, const Ev &b);

struct WriteResult {
    bool ok = false;      // every event accepted (and finish succeeded when asked)
    size_t accepted = 0;  // events accepted before the first refusal
    std::string out;      // the bytes in the memory sink
    uint32_t error = 0;
    uint64_t offset = 0;
};

// Writes the events into a large memory sink, stopping at the first refusal.
WriteResult write_events(const std::vector<Ev> &events, bool pretty, bool finish = true,
                         const tvlr_writer_options *options = nullptr);

// A sink that appends to *out (kept in the sink's reserved bytes); direct skips the writer's
// buffer.
tvlr_sink string_sink(std::string *out, bool direct = false);

// Reads a document with the canonical observer as on_event into a string sink.
struct CanonResult {
    bool read_ok = false;
    uint32_t read_error = 0;
    bool finish_ok = false;
    std::string out;
};
CanonResult canonicalise(std::string_view doc, bool pretty,
                         const tvlr_reader_options *options = nullptr);

// Reads a document and renders member names, structure and values with their type, width,
// base and unit, leaving out annotation runs. A base of 10 is written as none for the types
// where none means 10, and no unit as nothing, so texts that mean the same compare equal.
struct Values {
    bool ok = false;
    uint32_t error = 0;
    std::string text;
};
Values read_values(std::string_view doc, const tvlr_reader_options *options = nullptr);

// The rendering of read_values for one value event.
std::string render_value(const tvlr_event &e);

// Reader options with every length limit at its highest.
tvlr_reader_options widest_reader_options();

}  // namespace wtest
