// The reader object and the functions its source files share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/annotation.h"
#include "core/limits.h"
#include "core/unit_value.h"
#include "tvlr.h"

namespace tvl::rd {

inline constexpr uint32_t kMemChunk = 1u << 20;   // memory sources: in place
inline constexpr uint32_t kReadChunk = 1u << 16;  // other sources: copied
// Token buffers, each with room for a terminating NUL; an octet block (at most 65536 bytes) is
// read into the text buffer too.
inline constexpr uint32_t kTextCap = kTokenMaxLen + 1;
inline constexpr uint32_t kTypeCap = kAnnotationTextMax + 1;
inline constexpr uint32_t kUnitCap = kUnitTextMax + 1;
static_assert(kTextCap >= kOctetBlockMax);
inline constexpr uint32_t kTokenBytes = kTextCap + kTypeCap + kUnitCap;  // 66048

// Token kinds: the value kinds of a value event, plus internal kinds.
enum TokenKind : uint32_t {
    TK_member_name = 0,
    TK_string = 1,
    TK_number = 2,
    TK_symbol = 3,
    TK_reference = 4,
    TK_array_number = 5,
    TK_array_string = 6,
    TK_annotation = 7,
    TK_octets = 8,
    TK_null = 9,
    TK_struct_opened = 10,
    TK_nothing = 16,
};

// What is in force for a value: type, width, base and unit.
struct TypeInForce {
    uint32_t type;
    uint32_t bits;
    uint32_t base;
    tvl_unit unit;
};

// One level of the array stack: the enclosing level's state while an inner
// array is open, and the row bookkeeping of arrays closed at that level.
struct ArrayLevelState {
    uint64_t elements;
    uint64_t row_length;  // expected row length, 0 = not yet known
    TypeInForce in_force;
    uint64_t closed_row_length;  // length of the array just closed here
    bool row_break_seen;
};

// A level of the stack takes a power of two of bytes, so that the level of a depth is found with
// a shift: every array bracket and separator finds one or two.
inline constexpr size_t kArrayLevelBytes = 256;
struct ArrayLevel : ArrayLevelState {
    unsigned char unused[kArrayLevelBytes - sizeof(ArrayLevelState)];
};
static_assert(sizeof(ArrayLevel) == kArrayLevelBytes);

// The array context around an open struct, saved at `{` and restored at
// `}`: members inside the struct must not disturb the enclosing array.
struct StructLevel {
    uint64_t elements;
    uint64_t row_length;
    uint64_t array_items;
    uint32_t array_base;  // the array base around the struct, put back at `}`
    bool in_array;
};

// Recently parsed annotations and unit suffixes, keyed by their exact text.
// They only save work: every result is the one a fresh parse gives.
inline constexpr uint32_t kCacheEntries = 16;
inline constexpr uint32_t kAnnotationKeyMax = 64;
inline constexpr uint32_t kUnitKeyMax = 32;

struct AnnotationCacheEntry {
    uint32_t key_len;
    char key[kAnnotationKeyMax];
    tvl::AnnotationParse parse;
};

struct UnitCacheEntry {
    uint32_t key_len;
    char key[kUnitKeyMax];
    bool ok;
    tvl_unit unit;
};

// What an added annotation says, as one key: its type and its width (0 read as the implied
// width). Inferred types are never 0, so key 0 matches no added annotation.
constexpr uint64_t added_key(uint32_t type, uint32_t bits) {
    return type | uint64_t{bits ? bits : kImpliedWidth} << 32;
}

// The last annotation (explicit or added) that applies to the member: the key of the added
// annotation it makes redundant (same type and width, and a base of 0 or 10 or any base for
// float_dec; 0 when none) and whether it declared a unit.
struct AnnotationInForce {
    uint64_t same_as_added;
    bool declared_unit;
};

}  // namespace tvl::rd

struct tvlr_reader {
    // The source record comes first: read callbacks receive the reader.
    tvlr_source source;
    tvlr_sink echo;
    bool has_echo;

    // Limits with defaults applied, callbacks, recovery.
    uint32_t max_identifier_len;
    uint32_t max_string_len;
    uint32_t max_number_len;
    uint32_t max_symbol_len;
    uint32_t max_reference_len;
    uint64_t max_array_items;
    uint64_t max_text_bytes;
    uint64_t max_file_bytes;
    uint32_t max_struct_depth;
    uint32_t max_array_depth;
    void *user_data;
    tvlr_event_fn on_event;
    tvlr_event_fn on_event_after;
    bool deliver;     // either event callback is set: events are built and delivered
    uint8_t targets;  // the event callbacks that are set (kFirst, kSecond): the actions' instance
    tvlr_error_fn on_error;
    bool recover;
    bool opened;
    bool reading;  // tvlr_read is running: opening and reading are refused

    // Scanner state.
    uint32_t state;
    uint32_t comment_state;
    uint8_t cur;
    uint8_t prev;
    uint8_t utf8_pending;
    uint8_t utf8_lo;
    uint8_t utf8_hi;
    uint8_t bom_count;
    uint8_t bom_bytes[2];
    uint32_t bom_state;
    uint64_t line;
    uint64_t column;
    uint64_t bytes_read;
    uint64_t bytes_scanned;
    uint64_t recovery_count;

    // The token under construction.
    uint32_t token_kind;
    uint8_t *token_mem;  // one allocation: text, then type, then unit buffer
    uint8_t *text;
    // Where the completion reads the token's text_len bytes: the text buffer, or for a token that
    // the fast path takes whole and completes at once, the bytes where they stand in the chunk
    // being scanned (never written through), until that token is completed.
    const uint8_t *token;
    uint8_t *type_text;
    uint8_t *unit_text;
    uint32_t text_len;
    uint32_t type_len;
    uint32_t unit_len;
    bool has_point;
    bool has_exponent;
    bool is_special;  // $nan, $inf, $-inf

    // Type, width, base and unit in force, and the annotation in force.
    tvl::rd::TypeInForce in_force;
    tvl::rd::AnnotationInForce annotation;
    // Both are known to be cleared (no type, neutral unit, no annotation): clearing them again
    // writes nothing. Every write to either resets it.
    bool in_force_cleared;

    // Nesting.
    uint32_t struct_depth;
    uint32_t array_depth;
    // The array depth at which the innermost open struct was opened (0 outside structs): arrays
    // below it belong to enclosing levels. Kept by open_struct_level and close_struct_level.
    uint32_t array_base;
    bool in_array;
    uint64_t array_items;
    uint64_t elements;                 // element count of the innermost array
    uint64_t row_length;               // its expected row length (0 = unknown)
    tvl::rd::ArrayLevel *array_stack;  // max_array_depth + 1 entries
    // Per open struct: the array context it was opened in, restored at `}`.
    tvl::rd::StructLevel struct_stack[tvl::kDepthLimitMax + 1];

    // Recovery.
    uint32_t skip_brackets;
    uint32_t skip_braces;
    // The failing action was the `;` that ends the member: recovery resumes
    // with the next member instead of skipping to a later `;`.
    bool failed_at_member_end;

    // Caches of parsed annotations and unit suffixes (round-robin).
    tvl::rd::AnnotationCacheEntry annotation_cache[tvl::rd::kCacheEntries];
    uint32_t annotation_cache_used;
    uint32_t annotation_cache_next;
    tvl::rd::UnitCacheEntry unit_cache[tvl::rd::kCacheEntries];
    uint32_t unit_cache_used;
    uint32_t unit_cache_next;
    bool caches_off;                          // tests compare results with and without the caches
    tvl::AnnotationParse annotation_scratch;  // parse of an annotation not cached

    // Chunk buffer of sources that are not read in place.
    uint8_t *chunk_mem;

    // The event record handed to callbacks; reused between events so that
    // only what changed is written.
    tvlr_event event;

    // Error record.
    uint32_t error;
    uint64_t error_line;
    uint64_t error_column;
    uint32_t error_byte;
    uint64_t error_offset;
};

namespace tvl::rd {

// Which callbacks an event goes to.
enum Targets : uint32_t { kFirst = 1, kSecond = 2, kBoth = 3 };

// Sets the error code alone (the position is filled in by the scanner).
inline bool fail(tvlr_reader *r, uint32_t code) {
    r->error = code;
    return false;
}

// The text of events that carry none.
inline constexpr char kEmptyText[] = "";

// The type in force up to the unit's first factor, laid out as the event record from its value
// type on.
inline constexpr size_t kShortRecordBytes =
    offsetof(TypeInForce, unit) + offsetof(tvl_unit, factors) + sizeof(tvl_unit_factor);
static_assert(
    offsetof(TypeInForce, type) == 0 &&
    offsetof(TypeInForce, bits) == offsetof(tvlr_event, bits) - offsetof(tvlr_event, value_type) &&
    offsetof(TypeInForce, base) == offsetof(tvlr_event, base) - offsetof(tvlr_event, value_type) &&
    offsetof(TypeInForce, unit) == offsetof(tvlr_event, unit) - offsetof(tvlr_event, value_type));

// Writes the first kShortRecordBytes of a type in force into the record, from its value type on:
// two 16-byte moves (a copy of that size may otherwise be split up, by parts of a constant).
[[gnu::always_inline]] inline void put_short_record(tvlr_event &e, const TypeInForce &f) {
    unsigned char *dst = reinterpret_cast<unsigned char *>(&e) + offsetof(tvlr_event, value_type);
    const auto *src = reinterpret_cast<const unsigned char *>(&f);
#if defined(__SSE2__)
    static_assert(kShortRecordBytes == 32);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(dst),
                     _mm_loadu_si128(reinterpret_cast<const __m128i *>(src)));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + 16),
                     _mm_loadu_si128(reinterpret_cast<const __m128i *>(src + 16)));
#else
    std::memcpy(dst, src, kShortRecordBytes);
#endif
}

// Writes an event's record: its value kind, the type (type, bits, base, unit) and the text.
[[gnu::always_inline]] inline void put_record(tvlr_event &e, uint32_t value_kind, const char *text,
                                              uint32_t len, const TypeInForce &record) {
    e.value_kind = value_kind;
    // A callback may have changed the record's unit: its count decides what is rewritten. With
    // at most one factor on either side, type, width, base, unit count and first factor are one
    // block of 32 bytes in both records, copied as such.
    if ((e.unit.count | record.unit.count) <= 1) [[likely]] {
        put_short_record(e, record);
    } else {
        e.value_type = record.type;
        e.bits = record.bits;
        e.base = record.base;
        copy_unit(e.unit, record.unit);
    }
    e.text = text;
    e.text_len = len;
}

// Delivers one event with an explicit record (type, bits, base, unit) and a text that is never
// null to the callbacks of `Calls`, known where it is compiled, which must be set: the record is
// written (also for none, 0), then handed to each in turn. False when one refused it (error 26 is
// then set). Inline: a read with callbacks delivers several events per value.
template <uint32_t Calls>
[[gnu::always_inline]] inline bool send_event(tvlr_reader *r, uint32_t kind, uint32_t value_kind,
                                              const char *text, uint32_t len,
                                              const TypeInForce &record) {
    tvlr_event &e = r->event;
    put_record(e, value_kind, text, len, record);
    if constexpr ((Calls & kFirst) != 0) {
        if (!r->on_event(r->user_data, kind, &e)) return fail(r, TVL_ERR_SCANNER_CALLBACK_FAILED);
    }
    if constexpr ((Calls & kSecond) != 0) {
        // The first callback may have cleared the text of the shared record.
        if constexpr ((Calls & kFirst) != 0) {
            if (!e.text) {
                e.text = kEmptyText;
                e.text_len = 0;
            }
        }
        if (!r->on_event_after(r->user_data, kind, &e))
            return fail(r, TVL_ERR_SCANNER_CALLBACK_FAILED);
    }
    return true;
}

// Delivers one event to the callbacks that are set with the type in force (or an
// all-zero record when `zero_record`), the given value kind and text.
// False when a callback refused it (error 26 is then set).
inline bool emit(tvlr_reader *r, uint32_t kind, uint32_t value_kind, const uint8_t *text,
                 uint32_t len, bool zero_record = false) {
    // A reader without callbacks builds no records at all.
    if (!r->deliver) return true;
    static constexpr TypeInForce kZero{};
    const char *t = text ? reinterpret_cast<const char *>(text) : kEmptyText;
    const TypeInForce &record = zero_record ? kZero : r->in_force;
    // Straight to the callbacks that are set: mostly one of them.
    switch (r->targets) {
        case kFirst:
            return send_event<kFirst>(r, kind, value_kind, t, len, record);
        case kSecond:
            return send_event<kSecond>(r, kind, value_kind, t, len, record);
        default:
            return send_event<kBoth>(r, kind, value_kind, t, len, record);
    }
}

// Test hook: switches the annotation and unit caches off (or on again).
void set_caches_enabled(tvlr_reader *r, bool enabled);

// Sets the error record and calls on_error.
void report_error(tvlr_reader *r, uint32_t code, uint32_t byte, uint64_t offset);

// Resets the token, type and array state (as after opening), keeping the
// struct depth and the arrays that enclose the innermost open struct.
void reset_value_state(tvlr_reader *r);

// Array depth at which the current member started: arrays below it belong
// to enclosing levels.
inline uint32_t member_array_base(const tvlr_reader *r);

// Struct bookkeeping shared by `{`, `}` and recovery: the array context around the struct at
// depth struct_depth, saved before the depth goes up and put back after it went down.
inline void open_struct_level(tvlr_reader *r) {
    r->struct_stack[r->struct_depth] = {r->elements, r->row_length, r->array_items, r->array_base,
                                        r->in_array};
    r->array_base = r->array_depth;
}

inline void close_struct_level(tvlr_reader *r) {
    const StructLevel &s = r->struct_stack[r->struct_depth];
    r->elements = s.elements;
    r->row_length = s.row_length;
    r->array_items = s.array_items;
    r->in_array = s.in_array;
    r->array_base = s.array_base;
}

// Completion actions; each returns false with the error code set.
bool complete_assign(tvlr_reader *r);
bool complete_terminate(tvlr_reader *r);
// The member name [name, name + len), not empty, in a read with event callbacks: its event, then
// the member starts (as complete_assign with the name as the token, but the state is left to the
// caller). False when a callback refused it (error 26 set); the token, its kind and the state
// are then not given yet.
bool deliver_member_name(tvlr_reader *r, const uint8_t *name, uint32_t len);
bool complete_annotation_end(tvlr_reader *r);
bool complete_annotated_terminate(tvlr_reader *r);
bool complete_annotated_element_sep(tvlr_reader *r);
bool complete_annotated_array_end(tvlr_reader *r);
bool complete_array_start(tvlr_reader *r);
bool complete_element_sep(tvlr_reader *r);
bool complete_array_end(tvlr_reader *r);
bool complete_row_break(tvlr_reader *r);
// As complete_terminate, complete_element_sep and complete_array_end, for the statement path:
// the separator or bracket after a value it has taken (mostly a plain string, number or symbol),
// and the `]` after a closing bracket (nothing pending). Each gives the results of the general
// action, through an instance for what is pending, but may leave the state to the caller.
bool complete_taken_terminate(tvlr_reader *r);
bool complete_taken_element_sep(tvlr_reader *r);
bool complete_taken_array_end(tvlr_reader *r);
bool complete_closed_array_end(tvlr_reader *r);

// Scans bytes [p, end) until they are used up, the state becomes the
// octet-stream state or the read must end (`stop`). Returns the count of
// bytes scanned.
size_t scan_bytes(tvlr_reader *r, const uint8_t *p, const uint8_t *end, bool &stop);

namespace testing {
// Test hook: while on, reads scan every byte with the per-byte step, the reference that the
// fast path is compared with.
void use_reference_path(bool on);
}  // namespace testing

// Recovery (recovery.cpp), after a scanning error has been reported:
// closes the current member's open arrays, resets the token and enters the
// skipping state (or reads on with the next member when the error came from
// the `;` that ended the member). False when an array_end was refused.
bool start_recovery(tvlr_reader *r);

// The skipping actions of the recovery states: `action` is the table's
// code for byte b.
bool skip_action(tvlr_reader *r, uint8_t action, uint8_t b);

// Emits array_end for every array the current member still has open
// (innermost first), so that events stay well nested.
bool close_member_arrays(tvlr_reader *r);

inline uint32_t member_array_base(const tvlr_reader *r) {
    return r->array_base;
}

// Copies a type in force, writing only the unit slots in use.
inline void copy_in_force(TypeInForce &dst, const TypeInForce &src) {
    dst.type = src.type;
    dst.bits = src.bits;
    dst.base = src.base;
    copy_unit(dst.unit, src.unit);
}

// Puts a saved type in force back (an array's, at its separators and its end).
inline void restore_in_force(tvlr_reader *r, const TypeInForce &saved) {
    copy_in_force(r->in_force, saved);
    r->in_force_cleared = false;
}

// Clears the type and the annotation in force, unless they are known to be clear already (a
// member name after a `;` or `{`).
inline void clear_type_in_force(tvlr_reader *r) {
    if (r->in_force_cleared) return;
    r->in_force.type = r->in_force.bits = r->in_force.base = 0;
    set_neutral_unit(r->in_force.unit);
    r->annotation = {};
    r->in_force_cleared = true;
}

// The symbols that are words of the notation.
enum class Word { other, null, yes, no };

// The word that the symbol text[0, len) is.
inline Word symbol_word(const uint8_t *text, uint32_t len) {
    const auto is = [text, len](const char *word, uint32_t word_len) {
        return len == word_len && std::memcmp(text, word, word_len) == 0;
    };
    switch (len) {
        case 2:
            return is("on", 2) ? Word::yes : Word::other;
        case 3:
            return is("off", 3) ? Word::no : Word::other;
        case 4:
            return is("null", 4) ? Word::null : is("true", 4) ? Word::yes : Word::other;
        case 5:
            return is("false", 5) ? Word::no : Word::other;
        default:
            return Word::other;
    }
}

inline Word symbol_word(const tvlr_reader *r) {
    return symbol_word(r->token, r->text_len);
}

// Empties the token buffers: nothing is pending.
inline void clear_token(tvlr_reader *r) {
    r->text_len = r->type_len = r->unit_len = 0;
    r->token_kind = TK_nothing;
}

// Forgets the point, exponent and special-number flags of the last number.
inline void clear_number_state(tvlr_reader *r) {
    r->has_point = r->has_exponent = r->is_special = false;
}

// start_member where the token and the number flags are clear already (the `;` that ended the
// member before cleared them).
inline void start_cleared_member(tvlr_reader *r) {
    r->array_items = 0;
    r->in_array = false;
    r->array_stack[r->array_depth].row_break_seen = false;
    r->array_stack[r->array_depth].closed_row_length = 0;
    r->token_kind = TK_null;
}

// The fields a new member starts from once its name is taken: no token, no number, no array,
// and no rows of a matrix from an earlier member.
inline void start_member(tvlr_reader *r) {
    clear_token(r);
    clear_number_state(r);
    start_cleared_member(r);
}

// The fields a member leaves once it has ended: nothing in force, no number, and at the top
// level no open array.
inline void end_member(tvlr_reader *r) {
    clear_type_in_force(r);
    clear_number_state(r);
    if (r->struct_depth == 0) {
        r->array_depth = 0;
        r->in_array = false;
        r->row_length = 0;
    }
}

// The state after a separator between elements has passed its checks: one more element, the
// array's type in force again.
// `kept`: the array's type is in force already, and stays.
template <bool kept = false>
inline void next_element(tvlr_reader *r) {
    ++r->array_items;
    ++r->elements;
    clear_number_state(r);
    r->array_stack[r->array_depth].row_break_seen = false;
    if constexpr (!kept) restore_in_force(r, r->array_stack[r->array_depth - 1].in_force);
    r->token_kind = TK_null;
}

// The bookkeeping of an array's start once it has passed its limits: one more item, and a level
// that keeps the enclosing element count, row length and type in force; a row break before it
// gives its expected row length. The caller then delivers the event and enters the array.
// `kept`: the level keeps the type in force already.
template <bool kept = false>
inline void push_array_level(tvlr_reader *r) {
    ++r->array_items;
    ArrayLevel &level = r->array_stack[r->array_depth];
    level.elements = r->elements;
    level.row_length = r->row_length;
    if constexpr (!kept) copy_in_force(level.in_force, r->in_force);
    r->elements = 1;
    r->row_length = level.row_break_seen ? level.closed_row_length : 0;
    ArrayLevel &next = r->array_stack[r->array_depth + 1];
    next.closed_row_length = 0;
    next.row_break_seen = false;
}

// The state after an array's end has passed its checks (its row length set): the level around
// it, where the closed array counts as one element.
// `kept`: the type the array keeps is in force already, and stays.
template <bool kept = false>
inline void close_array(tvlr_reader *r) {
    ArrayLevel &level = r->array_stack[--r->array_depth];
    level.closed_row_length = r->row_length;
    r->elements = level.elements + 1;
    r->row_length = level.row_length;
    if constexpr (!kept) restore_in_force(r, level.in_force);
    r->in_array = r->array_depth > member_array_base(r);
    clear_number_state(r);
}

}  // namespace tvl::rd
