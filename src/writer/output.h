// The output step shared by the writer and the canonical observer: it turns one event into
// text (separators, indentation, statement ends, value texts, annotations) and hands the bytes
// to a sink through a 64 KiB buffer, or straight to the sink when the sink is `direct`.
//
// The step also follows the type that a reader of the text would see in force for the next
// item (the annotation in force, restored per array element as the reader restores it). The
// writer's checks use it to refuse what the reader would refuse, and the step itself uses it to
// decide whether a value's unit must be written as a suffix: a unit that no annotation declared
// is written after the value (`5 m`), so that the text carries every unit of the events.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "bignum/digits.h"
#include "core/limits.h"
#include "tvlr.h"

namespace tvl::wr {

inline constexpr uint32_t kBufferSize = 65536;
// Array levels with bookkeeping: enough for the deepest nesting any reader allows.
inline constexpr uint32_t kArrayLevels = kDepthLimitMax + 1;

// The type that a reader sees in force for an item: the last annotation's type, width and base
// (the base field holds fraction bits for float_fix), whether it declared a unit, and that unit
// (filled only by the writer, which parses the unit text; all zero otherwise).
struct InForce {
    uint32_t type;
    uint32_t bits;
    uint32_t base;
    bool declared_unit;
    tvl_unit unit;
};

// No type in force. The unit is read only where declared_unit is set, so it is left as it is.
inline void clear_in_force(InForce &f) {
    f.type = f.bits = f.base = 0;
    f.declared_unit = false;
}

// Copies what is in force; the unit only where it is read, that is where a unit was declared.
inline void copy_in_force(InForce &to, const InForce &from) {
    to.type = from.type;
    to.bits = from.bits;
    to.base = from.base;
    to.declared_unit = from.declared_unit;
    if (from.declared_unit) to.unit = from.unit;
}

struct ArrayLevel {
    bool separator_due;               // an element was written; the next needs a comma
    uint32_t opened_at_struct_depth;  // struct depth when the array was opened
    InForce saved;                    // in force at '[': every element starts with it
};

// Output state. The sink copy comes first: sink callbacks receive a pointer to it and the
// objects that embed this state put it at their very start.
struct Output {
    tvlr_sink sink;
    bool pretty;
    bool statement_open;    // a value was written and its ';' is still due
    bool after_annotation;  // the next item follows an annotation and writes no separator
    bool param_written;     // the next annotation parameter is preceded by ',' not ':'
    bool in_annotation;     // between type_start and type_end
    bool to_memory;         // the sink is the library's memory sink: put() copies itself
    // Where the next piece goes, and the end of the room that a piece may take in one step: for
    // the memory sink its cursor and the end of its room; for a buffered sink the end of the
    // buffered bytes and the buffer's last byte (a piece that would fill the buffer goes through
    // put_slow, which hands the full buffer over; a buffer left full by a refused handover has
    // no room); for any other sink both the buffer's start (no room). Claims, commits and short
    // puts only compare and move these two.
    uint8_t *at;
    uint8_t *limit;
    // For the memory sink: where `at` and the byte count stood at the opening. Pieces move only
    // `at`; the sink's cursor, remaining and delivered counts follow from it and are brought up
    // to date where the sink record is read (settle_memory_sink).
    uint8_t *memory_start;
    uint64_t memory_delivered;
    uint32_t struct_depth;
    uint32_t array_depth;
    uint32_t annotation_len;  // bytes of the annotation text written so far
    InForce annotation;       // the annotation being written
    InForce in_force;         // what a reader has in force for the next item
    ArrayLevel levels[kArrayLevels];
    uint8_t buffer[kBufferSize];
};

// Clears the state (not the buffer contents) and takes a copy of the sink.
void output_open(Output &o, const tvlr_sink &sink, bool pretty);

// Room for a piece taken in one step (see Output::at).
inline size_t room(const Output &o) {
    return static_cast<size_t>(o.limit - o.at);
}

// The bytes waiting in the buffer; none for the memory sink, which has no buffer in use, nor
// for an output that was never opened (all zero).
inline size_t buffered(const Output &o) {
    return o.to_memory || o.at == nullptr ? 0 : static_cast<size_t>(o.at - o.buffer);
}

// Bytes that reached the sink plus the bytes waiting in the buffer.
inline uint64_t output_count(const Output &o) {
    if (o.to_memory) return o.memory_delivered + static_cast<uint64_t>(o.at - o.memory_start);
    return o.sink.delivered + buffered(o);
}

// Brings the memory sink's cursor, remaining and delivered counts up to the bytes written.
inline void settle_memory_sink(Output &o) {
    if (!o.to_memory) return;
    if (o.sink.cursor != nullptr) o.sink.cursor = o.at;  // a sink without memory keeps none
    o.sink.remaining = room(o);
    o.sink.delivered = output_count(o);
}

// Hands a piece of bytes to the sink: at once for a direct sink, otherwise through the buffer,
// which goes to the sink whenever it is exactly full. False when the sink refused.
bool put_slow(Output &o, const uint8_t *data, size_t len);

// Copies a short piece (up to 16 bytes) with overlapping word moves instead of a library call;
// nothing outside [to, to + len) is written.
inline void copy_short(uint8_t *to, const uint8_t *from, size_t len) {
    if (len >= 8) {
        uint64_t a, b;
        std::memcpy(&a, from, 8);
        std::memcpy(&b, from + len - 8, 8);
        std::memcpy(to, &a, 8);
        std::memcpy(to + len - 8, &b, 8);
    } else if (len >= 4) {
        uint32_t a, b;
        std::memcpy(&a, from, 4);
        std::memcpy(&b, from + len - 4, 4);
        std::memcpy(to, &a, 4);
        std::memcpy(to + len - 4, &b, 4);
    } else if (len > 0) {
        to[0] = from[0];
        to[len / 2] = from[len / 2];
        to[len - 1] = from[len - 1];
    }
}

// Copies bytes: short runs with word moves, up to 32 with two overlapping 16-byte moves, longer
// ones with the library call.
inline void copy_bytes(uint8_t *to, const void *from, size_t len) {
    const auto *src = static_cast<const uint8_t *>(from);
    if (len <= 16) {
        copy_short(to, src, len);
    } else if (len <= 32) {
        uint8_t a[16], b[16];
        std::memcpy(a, src, 16);
        std::memcpy(b, src + len - 16, 16);
        std::memcpy(to, a, 16);
        std::memcpy(to + len - 16, b, 16);
    } else {
        std::memcpy(to, from, len);
    }
}

inline bool put(Output &o, const void *data, size_t len) {
    // Common case: a piece that fits the memory sink, or the buffer without filling it.
    if (len <= room(o)) {
        copy_bytes(o.at, data, len);
        o.at += len;
        return true;
    }
    // The memory sink takes all bytes or none, without the call through the sink.
    if (o.to_memory) return false;
    return put_slow(o, static_cast<const uint8_t *>(data), len);
}

// Room for n bytes written in place as one piece, where that gives the same bytes and the same
// sink calls as writing them in several pieces: at the memory sink's cursor when all of them
// fit, or in the buffer when they fit without filling it. Null otherwise; commit() takes the
// bytes once they are written.
inline uint8_t *claim(Output &o, size_t n) {
    if (n > room(o)) return nullptr;
    // An opened output always has a place (output_open), and only opened outputs claim: telling
    // the compiler spares every caller a second test of the result.
    if (o.at == nullptr) __builtin_unreachable();
    return o.at;
}

inline void commit(Output &o, size_t n) {
    o.at += n;
}

// The bytes that end an open statement: ";" compact, ";\n" pretty, none when no statement is open.
inline size_t statement_end_len(const Output &o) {
    return o.statement_open ? (o.pretty ? 2 : 1) : 0;
}

// Writes the end of an open statement and `tabs` tabs at p; returns the position after them.
inline uint8_t *put_line_start(const Output &o, uint8_t *p, uint32_t tabs) {
    if (o.statement_open) {
        *p++ = ';';
        if (o.pretty) *p++ = '\n';
    }
    if (tabs != 0) std::memset(p, '\t', tabs);
    return p + tabs;
}

// After the line start: '.', the name and '=' (" = " in pretty mode); gives the end.
inline uint8_t *put_member_head(const Output &o, uint8_t *p, uint32_t tabs, const char *name,
                                size_t len) {
    p = put_line_start(o, p, tabs);
    *p++ = '.';
    copy_bytes(p, name, len);
    p += len;
    if (o.pretty) {
        std::memcpy(p, " = ", 3);
        return p + 3;
    }
    *p = '=';
    return p + 1;
}

// Writes the pending ';' (and a line feed in pretty mode) and clears statement_open.
bool close_statement(Output &o);

// Hands the buffered bytes to the sink in one call.
bool flush(Output &o);

// The innermost array level when it is directly open (no struct opened inside it), else null.
inline const ArrayLevel *directly_open_level(const Output &o) {
    if (o.array_depth == 0 || o.array_depth > kArrayLevels) return nullptr;
    const ArrayLevel &level = o.levels[o.array_depth - 1];
    return level.opened_at_struct_depth == o.struct_depth ? &level : nullptr;
}

// True when the output of the event begins with the comma between array elements: an item
// (value, struct, array, octet stream) or an annotation where an element has been written in
// the directly open array and no annotation stands between. Octet blocks write no separator.
inline bool comma_before(const Output &o, uint32_t kind, const tvlr_event &e) {
    switch (kind) {
        case TVLR_EV_VALUE:
            if (e.value_kind == TVL_VK_OCTETS) return false;
            [[fallthrough]];
        case TVLR_EV_STRUCT_START:
        case TVLR_EV_ARRAY_START:
        case TVLR_EV_OCTETS_START:
            if (o.after_annotation) return false;
            break;
        case TVLR_EV_TYPE_START:
            break;  // an annotation always takes the comma before it
        default:
            return false;
    }
    const ArrayLevel *level = directly_open_level(o);
    return level != nullptr && level->separator_due;
}

// What a reader has in force for the item that comes next: the array's own type when a
// separator is due before that item, otherwise the current one.
inline const InForce &next_in_force(const Output &o) {
    const ArrayLevel *level = directly_open_level(o);
    if (level != nullptr && level->separator_due && !o.after_annotation) return level->saved;
    return o.in_force;
}

// True for a unit with factors other than the single neutral one.
inline bool unit_present(const tvl_unit &u) {
    if (u.count == 0) return false;
    if (u.count != 1) return true;
    const tvl_unit_factor &f = u.factors[0];
    return !(f.base == 0 && f.exponent == 1 && f.prefix.kind == 0 && f.prefix.index == 0);
}

// True when the value event's unit goes into the text as a suffix after the value: a number
// or string outside an array whose unit no annotation declared.
bool unit_suffix_due(const Output &o, uint32_t kind, const tvlr_event &e);

// The suffix text of a unit: the canonical unit text, NUL-terminated, at most 255 bytes.
// Returns its length, or -1 when the unit cannot be printed within that.
int unit_suffix_text(const tvl_unit &u, char (&text)[512]);

// The output of one event. declared_unit, when given, is the parsed unit of a vk_unit
// parameter and becomes the unit of the annotation in force. False when the sink refused.
bool output_event(Output &o, uint32_t kind, const tvlr_event &e, const tvl_unit *declared_unit);

// The number written for an annotation parameter (`:64`, `_10`, `q8`), as the output writes it.
// They read value_type, bits and base of any record that has them (events, held events).
template <class Record>
constexpr uint32_t written_bits(const Record &e) {
    return e.bits != 0 ? e.bits : kImpliedWidth;
}
template <class Record>
constexpr uint32_t written_base(const Record &e) {
    const bool decimal_only =
        e.value_type == TVLR_TYPE_FLOAT_FIX || e.value_type == TVLR_TYPE_FLOAT_DEC;
    return e.base == 0 || decimal_only ? 10 : e.base;
}
template <class Record>
constexpr uint32_t written_fraction(const Record &e) {
    return e.value_type == TVLR_TYPE_FLOAT_FIX ? e.base : 0;
}

// Count of decimal digits of v: floor(log10 2^bit_width) (1233 / 4096 is log10 2 to within
// 10^-4, exact over 0..64 bits) is that count or one less.
inline uint32_t decimal_digits(uint64_t v) {
    static constexpr uint64_t kPow10[20] = {1,
                                            10,
                                            100,
                                            1000,
                                            10000,
                                            100000,
                                            1000000,
                                            10000000,
                                            100000000,
                                            1000000000,
                                            10000000000,
                                            100000000000,
                                            1000000000000,
                                            10000000000000,
                                            100000000000000,
                                            1000000000000000,
                                            10000000000000000,
                                            100000000000000000,
                                            1000000000000000000,
                                            10000000000000000000u};
    const uint32_t guess = (static_cast<uint32_t>(std::bit_width(v | 1)) * 1233) >> 12;
    return guess + (v >= kPow10[guess] ? 1 : 0) + (v == 0 ? 1 : 0);
}

using digits::write_decimal_before;

namespace testing {
// Test hook: writers and canonical observers opened while it is on take every event through
// the general path, and the typed writers send every member of such a writer through the events
// (the observer writes annotation runs and values event by event): the references that the
// direct paths are compared with.
void use_event_path(bool on);
bool event_path();
}  // namespace testing

}  // namespace tvl::wr
