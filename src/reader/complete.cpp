// Completion of collected tokens into events: member names, values, type
// annotations (explicit and added), and the bookkeeping of arrays, rows and
// structs.
#include <cstring>

#include "core/annotation.h"
#include "core/limits.h"
#include "core/unit_value.h"
#include "core/value_rules.h"
#include "reader/reader_impl.h"
#include "reader/scanner_table.h"
#include "utils/units.h"

namespace tvl::rd {
namespace {

using namespace tvl::scan;

// The completion comes in an instance for each set of event callbacks (`Targets`, the callbacks
// that are set): without any (0) no event is built and the actions make no calls for the common
// tokens; with some, each event goes straight to the callbacks of the instance.
template <uint32_t Targets>
inline bool emit_if(tvlr_reader *r, uint32_t kind, uint32_t value_kind, const char *text,
                    uint32_t len, bool zero_record = false) {
    if constexpr (Targets == 0) {
        return true;
    } else {
        static constexpr TypeInForce kZero{};
        return send_event<Targets>(r, kind, value_kind, text, len,
                                   zero_record ? kZero : r->in_force);
    }
}

// The token's text, the text of its value event: in the text buffer or in the chunk.
const char *token_text(const tvlr_reader *r) {
    return reinterpret_cast<const char *>(r->token);
}

// ---------------------------------------------------------------------------
// Caches

// Parses a unit suffix, through the cache when its text is short enough.
tvl_unit parse_unit_suffix(tvlr_reader *r, bool &ok) {
    const char *text = reinterpret_cast<const char *>(r->unit_text);
    const uint32_t len = r->unit_len;
    const bool cacheable = !r->caches_off && len <= kUnitKeyMax;
    if (cacheable) {
        for (uint32_t i = 0; i < r->unit_cache_used; ++i) {
            const UnitCacheEntry &e = r->unit_cache[i];
            if (e.key_len == len && std::memcmp(e.key, text, len) == 0) {
                ok = e.ok;
                return e.unit;
            }
        }
    }
    tvl_unit unit = tvl_parse_unit_n(text, len, &ok);
    if (cacheable) {
        UnitCacheEntry &e = r->unit_cache[r->unit_cache_next];
        e.key_len = len;
        std::memcpy(e.key, text, len);
        e.ok = ok;
        e.unit = unit;
        r->unit_cache_next = (r->unit_cache_next + 1) % kCacheEntries;
        if (r->unit_cache_used < kCacheEntries) ++r->unit_cache_used;
    }
    return unit;
}

// Parses the annotation text in the type buffer, through the cache when the
// text and its unit are short enough. The result lives in the reader.
const AnnotationParse &parse_annotation(tvlr_reader *r) {
    const char *text = reinterpret_cast<const char *>(r->type_text);
    const uint32_t len = r->type_len;
    const bool cacheable = !r->caches_off && len <= kAnnotationKeyMax;
    if (cacheable) {
        for (uint32_t i = 0; i < r->annotation_cache_used; ++i) {
            const AnnotationCacheEntry &e = r->annotation_cache[i];
            if (e.key_len == len && std::memcmp(e.key, text, len) == 0) return e.parse;
        }
    }
    AnnotationParse &slot =
        cacheable ? r->annotation_cache[r->annotation_cache_next].parse : r->annotation_scratch;
    parse_type_annotation(text, len, slot);
    if (cacheable && slot.unit_text_len <= kAnnotationKeyMax) {
        AnnotationCacheEntry &e = r->annotation_cache[r->annotation_cache_next];
        e.key_len = len;
        std::memcpy(e.key, text, len);
        r->annotation_cache_next = (r->annotation_cache_next + 1) % kCacheEntries;
        if (r->annotation_cache_used < kCacheEntries) ++r->annotation_cache_used;
    } else if (cacheable) {
        // Too long a unit to keep: the slot stays free for the next entry.
        r->annotation_cache[r->annotation_cache_next].key_len = UINT32_MAX;
    }
    return slot;
}

// ---------------------------------------------------------------------------
// Annotations

// Writes the type, width, base and unit of `f` into the record, the unit's slots that either side
// uses. Out of line: runs mostly take the 32-byte block below.
[[gnu::noinline]] void put_type_in_force(tvlr_event &e, const TypeInForce &f) {
    e.value_type = f.type;
    e.bits = f.bits;
    e.base = f.base;
    copy_unit(e.unit, f.unit);
}

// Delivers a run of events whose records all carry one type (the type in force, or the constant
// record of the type a plain value adds), which no callback can change: each event rewrites the
// record as send_event does, its first 32 bytes (type, width, base, unit count and first factor)
// copied straight from the type. `Targets` names the callbacks that are set, for a type with at
// most one unit factor (the common case: the 32 bytes are the whole record unless a callback has
// grown the record's unit); 0 is the general instance, which checks the callbacks and copies the
// whole unit. The callbacks and their user pointer are read from the reader for each call, as
// cheap as keeping them in registers that would have to be saved.
template <uint32_t Targets>
class RunDelivery {
  public:
    RunDelivery(tvlr_reader *r, const TypeInForce &record) : r_(r), record_(&record) {}

    // Rewrites the record for the next event and hands it to the callbacks in turn; false (error
    // 26 set) when one refused it.
    [[gnu::always_inline]] bool send(uint32_t kind, uint32_t value_kind, const char *text,
                                     uint32_t len) {
        constexpr bool general = Targets == 0;
        tvlr_event &e = r_->event;
        e.value_kind = value_kind;
        if (!general && e.unit.count <= 1) [[likely]] {
            put_short_record(e, *record_);
        } else {
            put_type_in_force(e, *record_);
        }
        e.text = text;
        e.text_len = len;
        if ((Targets & kFirst) || (general && r_->on_event)) {
            if (!r_->on_event(r_->user_data, kind, &e))
                return fail(r_, TVL_ERR_SCANNER_CALLBACK_FAILED);
        }
        if ((Targets & kSecond) || (general && r_->on_event_after)) {
            // The first callback may have cleared the text of the shared record.
            if (Targets != kSecond && !e.text) {
                e.text = kEmptyText;
                e.text_len = 0;
            }
            if (!r_->on_event_after(r_->user_data, kind, &e))
                return fail(r_, TVL_ERR_SCANNER_CALLBACK_FAILED);
        }
        return true;
    }

  private:
    tvlr_reader *r_;
    const TypeInForce *record_;
};

// The value event that follows an added annotation run: its value kind (0 for none) and text.
struct ValueEvent {
    uint32_t kind;
    const char *text;
    uint32_t len;
};

// The run of an added annotation: type_start, type_name, for numbers the width, the base (unless
// `Base` is false: float_dec has none) and the unit parameters (the unit suffix, unless `Suffix`
// is false: the value has none), then type_end; then the value event that `value()` gives,
// unless its kind is 0. Every record carries `record`.
template <uint32_t Targets, bool Number, bool Base, bool Suffix = true, class Value>
[[gnu::always_inline]] inline bool send_added_run(tvlr_reader *r, const TypeInForce &record,
                                                  TypeWord w, const Value &value) {
    RunDelivery<Targets> d(r, record);
    if (!d.send(TVLR_EV_TYPE_START, TVL_VK_TYPE, w.text, w.len)) return false;
    if (!d.send(TVLR_EV_TYPE_NAME, TVL_VK_TYPE, w.text, w.len)) return false;
    if constexpr (Number) {
        if (!d.send(TVLR_EV_TYPE_PARAM, TVL_VK_BITS, kEmptyText, 0)) return false;
        if constexpr (Base) {
            if (!d.send(TVLR_EV_TYPE_PARAM, TVL_VK_BASE, kEmptyText, 0)) return false;
        }
        static constexpr char kNoUnit[] = "no_unit";
        const uint32_t unit_len = Suffix ? r->unit_len : 0;
        if (!d.send(TVLR_EV_TYPE_PARAM, TVL_VK_UNIT,
                    unit_len ? reinterpret_cast<const char *>(r->unit_text) : kNoUnit,
                    unit_len ? unit_len : sizeof kNoUnit - 1))
            return false;
    }
    if (!d.send(TVLR_EV_TYPE_END, TVL_VK_TYPE, w.text, w.len)) return false;
    const ValueEvent v = value();
    return v.kind == 0 || d.send(TVLR_EV_VALUE, v.kind, v.text, v.len);
}

// The run for the type in force.
template <uint32_t Targets, bool Number, bool Base>
[[gnu::noinline]] bool emit_added_run(tvlr_reader *r, TypeWord w, uint32_t value_kind,
                                      const char *value_text, uint32_t value_len) {
    return send_added_run<Targets, Number, Base>(r, r->in_force, w, [&] {
        return ValueEvent{value_kind, value_text, value_len};
    });
}

// The instance of the run for the callbacks that are set and the unit in force.
template <uint32_t Targets, bool Number, bool Base>
bool emit_added_run_for_reader(tvlr_reader *r, TypeWord w, const ValueEvent &v) {
    if (r->in_force.unit.count > 1)
        return emit_added_run<0, Number, Base>(r, w, v.kind, v.text, v.len);
    return emit_added_run<Targets, Number, Base>(r, w, v.kind, v.text, v.len);
}

// Emits the run of events of an added annotation for the type, and the value event after it when
// one is given, to the callbacks of `Targets` (not 0).
template <uint32_t Targets>
[[gnu::noinline]] bool emit_added_annotation(tvlr_reader *r, uint32_t type, bool number,
                                             uint32_t value_kind, const char *value_text,
                                             uint32_t value_len) {
    const TypeWord w = type_word(type);
    const ValueEvent value{value_kind, value_text, value_len};
    if (!number) return emit_added_run_for_reader<Targets, false, false>(r, w, value);
    if (type == TVLR_TYPE_FLOAT_DEC)
        return emit_added_run_for_reader<Targets, true, false>(r, w, value);
    return emit_added_run_for_reader<Targets, true, true>(r, w, value);
}

// Puts the type of an untyped string, number or boolean in force. True when its added annotation
// run is due, false when the annotation in force already says the same. Inline: it runs for most
// values, and mostly only for the bookkeeping.
[[gnu::always_inline]] inline bool put_added_type(tvlr_reader *r, uint32_t type, uint32_t bits,
                                                  bool number, const tvl_unit *suffix_unit) {
    const uint64_t key = added_key(type, bits);
    const bool same = r->annotation.same_as_added == key;
    r->in_force.type = type;
    r->in_force.bits = bits;
    r->in_force.base = 0;
    set_neutral_unit(r->in_force.unit);
    r->in_force_cleared = false;
    if (same) return false;
    r->annotation = {key, false};
    if (number && suffix_unit) copy_unit(r->in_force.unit, *suffix_unit);
    return true;
}

// As put_added_type, and emits the added annotation run when it is due.
template <uint32_t Targets>
[[gnu::always_inline]] inline bool add_annotation(tvlr_reader *r, uint32_t type, uint32_t bits,
                                                  bool number, const tvl_unit *suffix_unit) {
    if (!put_added_type(r, type, bits, number, suffix_unit)) return true;
    if constexpr (Targets == 0) {
        return true;
    } else {
        return emit_added_annotation<Targets>(r, type, number, 0, nullptr, 0);
    }
}

// The type that a plain value without a unit suffix adds, known where the value is completed:
// its key and its record (no base, the neutral unit), the record put_added_type leaves in force.
template <uint32_t Type>
struct PlainAdded {
    static constexpr bool kNumber =
        Type == TVLR_TYPE_SINT || Type == TVLR_TYPE_UINT || Type == TVLR_TYPE_FLOAT;
    static constexpr uint32_t kBits = kNumber ? kImpliedWidth : 0;
    static constexpr uint64_t kKey = added_key(Type, kBits);
    static constexpr TypeInForce kRecord{Type, kBits, 0, kNeutralUnit};
};

// The value event of a plain value of the type: the pending token (no unit suffix), or for a
// boolean its word, told by the length of its text (nothing about it is kept across calls).
template <uint32_t Type>
ValueEvent plain_value_event(const tvlr_reader *r, uint32_t bool_len) {
    if constexpr (Type == TVLR_TYPE_BOOL)
        return ValueEvent{TVL_VK_BOOL, bool_len == 4 ? "true" : "false", bool_len};
    else
        return ValueEvent{r->token_kind, token_text(r), r->text_len};
}

// The added annotation run of a plain value of the type, then its value event, for the
// callbacks that are set.
template <uint32_t Type, uint32_t Targets>
[[gnu::always_inline]] inline bool send_plain_events(tvlr_reader *r, uint32_t bool_len) {
    using A = PlainAdded<Type>;
    return send_added_run<Targets, A::kNumber, A::kNumber, false>(
        r, A::kRecord, type_word(Type), [&] { return plain_value_event<Type>(r, bool_len); });
}

template <uint32_t Type, uint32_t Targets>
[[gnu::noinline]] bool send_plain_run(tvlr_reader *r, uint32_t bool_len) {
    return send_plain_events<Type, Targets>(r, bool_len);
}

// The events of a plain value of the type for the callbacks that are set: its value event, after
// the added annotation run unless the annotation in force already says the same (then noted in
// an array, where it is kept). Out of line, an instance for each type: the actions that complete
// a value only choose the type. In an array, where most elements after the first say the same,
// the run is a call of its own (a tail call), so that the lone value event needs few registers;
// elsewhere, where the run is due, it is sent here.
template <uint32_t Type, uint32_t Targets, bool InArray>
[[gnu::noinline]] bool send_plain(tvlr_reader *r, uint32_t bool_len) {
    using A = PlainAdded<Type>;
    if (r->annotation.same_as_added == A::kKey) {
        const ValueEvent v = plain_value_event<Type>(r, bool_len);
        return send_event<Targets>(r, TVLR_EV_VALUE, v.kind, v.text, v.len, A::kRecord);
    }
    if constexpr (InArray) {
        r->annotation = {A::kKey, false};
        r->in_force_cleared = false;
        return send_plain_run<Type, Targets>(r, bool_len);
    } else {
        return send_plain_events<Type, Targets>(r, bool_len);
    }
}

// Puts the type that a plain value added in force, with its annotation.
inline void put_plain_added(tvlr_reader *r, const TypeInForce &added) {
    put_added_type(r, added.type, added.bits, false, nullptr);
}

// Delivers the events of a plain value (nothing in force, no unit suffix) with the record of the
// type it adds (send_plain; `bool_len` the length of a boolean's word). The type is not put in
// force: every caller replaces what is in force once the value is complete (cleared at `;`, the
// array's at `,` and `]`), and `added` names the record for the caller to put in force
// (put_plain_added) where it fails instead.
template <uint32_t Targets, uint32_t Type, bool InArray>
[[gnu::always_inline]] inline bool deliver_plain(tvlr_reader *r, uint32_t bool_len,
                                                 const TypeInForce *&added) {
    added = &PlainAdded<Type>::kRecord;
    return send_plain<Type, Targets, InArray>(r, bool_len);
}

// ---------------------------------------------------------------------------
// Values

// The value token of the kind against the type in force.
uint32_t check_in_force(const tvlr_reader *r, uint32_t kind) {
    const tvl_type_annotation type{r->in_force.type, r->in_force.bits, r->in_force.base};
    const std::string_view text{token_text(r), r->text_len};
    // Numbers read in base 10, the common case, take the one-pass check.
    if (is_number_kind(kind) && parse_base_of(type) == 10)
        return check_decimal_number(type, kind, text);
    // So do integers given as strings, as digits of other bases are.
    if (is_string_kind(kind) && is_integer_type(type.value_type))
        return check_integer_string(type, kind, text);
    return check_value(type, kind, text);
}

// Completes a value token of the kind that carries a unit suffix and emits its value event.
// Out of line: most values carry none.
template <uint32_t Targets>
[[gnu::noinline]] bool complete_value_with_unit(tvlr_reader *r, uint32_t kind) {
    const bool is_string = kind == TK_string || kind == TK_array_string;
    const bool is_number = kind == TK_number || kind == TK_array_number;
    bool unit_ok = true;
    const tvl_unit suffix = parse_unit_suffix(r, unit_ok);

    const uint32_t t = r->in_force.type;
    if (t == TVLR_TYPE_PLAIN) {
        if (is_string) {
            if (!add_annotation<Targets>(r, TVLR_TYPE_UTF8, 0, false, nullptr)) return false;
        } else if (is_number) {
            const tvl_unit *valid = unit_ok ? &suffix : nullptr;
            uint32_t type = TVLR_TYPE_UINT;
            if (valid && suffix.count == 1 && is_currency_id(suffix.factors[0].base)) {
                type = TVLR_TYPE_FLOAT_DEC;
            } else if (r->has_point || r->has_exponent || r->is_special) {
                type = TVLR_TYPE_FLOAT;
            } else if (r->token[0] == '-') {
                type = TVLR_TYPE_SINT;
            }
            if (!add_annotation<Targets>(r, type, kImpliedWidth, true, valid)) return false;
        }
    } else if (const uint32_t code = check_in_force(r, kind)) {
        return fail(r, code);
    }

    if (!unit_ok) return fail(r, TVL_ERR_UNIT_ILLEGAL);
    if (r->annotation.declared_unit && !tvl_unit_equal(suffix, r->in_force.unit))
        return fail(r, TVL_ERR_UNIT_MISMATCH);
    copy_unit(r->in_force.unit, suffix);
    r->in_force_cleared = false;
    return emit_if<Targets>(r, TVLR_EV_VALUE, kind, token_text(r), r->text_len);
}

// Strings and numbers: the values that add a type when nothing is in force.
constexpr bool is_plain_kind(uint32_t kind) {
    constexpr uint32_t kKinds =
        1u << TK_string | 1u << TK_array_string | 1u << TK_number | 1u << TK_array_number;
    return kind < 32 && (kKinds >> kind & 1) != 0;
}

constexpr bool is_string_token(uint32_t kind) {
    return kind == TK_string || kind == TK_array_string;
}

// Delivers a string or number token with nothing in force and no unit suffix (deliver_plain).
template <uint32_t Targets, bool InArray>
[[gnu::always_inline]] inline bool deliver_plain_value(tvlr_reader *r, uint32_t kind,
                                                       const TypeInForce *&added) {
    if (is_string_token(kind)) return deliver_plain<Targets, TVLR_TYPE_UTF8, InArray>(r, 0, added);
    if (r->has_point || r->has_exponent || r->is_special)
        return deliver_plain<Targets, TVLR_TYPE_FLOAT, InArray>(r, 0, added);
    if (r->token[0] == '-') return deliver_plain<Targets, TVLR_TYPE_SINT, InArray>(r, 0, added);
    return deliver_plain<Targets, TVLR_TYPE_UINT, InArray>(r, 0, added);
}

// Delivers a symbol with nothing in force and no unit suffix: a word of the notation adds its
// type (deliver_plain), any other symbol is delivered with what is in force.
template <uint32_t Targets, bool InArray>
[[gnu::always_inline]] inline bool deliver_plain_symbol(tvlr_reader *r, const TypeInForce *&added) {
    const Word word = symbol_word(r);
    if (word == Word::other)
        return send_event<Targets>(r, TVLR_EV_VALUE, TK_symbol, token_text(r), r->text_len,
                                   r->in_force);
    if (word == Word::null)
        return send_event<Targets>(r, TVLR_EV_VALUE, TVL_VK_NULL, kEmptyText, 0, r->in_force);
    return deliver_plain<Targets, TVLR_TYPE_BOOL, InArray>(r, word == Word::yes ? 4u : 5u, added);
}

// Completes a value token and emits its value event. With delivery, a plain value's added type
// is left to the caller (deliver_plain).
template <uint32_t Targets, bool InArray>
[[gnu::always_inline]] inline bool complete_value(tvlr_reader *r, const TypeInForce *&added) {
    const uint32_t kind = r->token_kind;

    if (kind == TK_symbol) {
        const Word word = symbol_word(r);
        if (word == Word::null)
            return emit_if<Targets>(r, TVLR_EV_VALUE, TVL_VK_NULL, kEmptyText, 0);
        const bool is_true = word == Word::yes;
        if (word != Word::other) {
            const ValueEvent value{TVL_VK_BOOL, is_true ? "true" : "false", is_true ? 4u : 5u};
            if (r->in_force.type == TVLR_TYPE_PLAIN) {
                if constexpr (Targets != 0) {
                    return deliver_plain<Targets, TVLR_TYPE_BOOL, InArray>(r, value.len, added);
                } else {
                    put_added_type(r, TVLR_TYPE_BOOL, 0, false, nullptr);
                    return true;
                }
            }
            if (const uint32_t code = check_in_force(r, TVL_VK_BOOL)) return fail(r, code);
            return emit_if<Targets>(r, TVLR_EV_VALUE, value.kind, value.text, value.len);
        }
    }
    if (kind == TK_null) return emit_if<Targets>(r, TVLR_EV_VALUE, TVL_VK_NULL, kEmptyText, 0);
    if (r->unit_len) {
        r->unit_text[r->unit_len] = 0;
        return complete_value_with_unit<Targets>(r, kind);
    }

    if (r->in_force.type == TVLR_TYPE_PLAIN) {
        if (is_plain_kind(kind)) {
            if constexpr (Targets != 0) {
                return deliver_plain_value<Targets, InArray>(r, kind, added);
            } else {
                if (is_string_token(kind)) {
                    put_added_type(r, TVLR_TYPE_UTF8, 0, false, nullptr);
                } else {
                    const uint32_t type = r->has_point || r->has_exponent || r->is_special
                                              ? TVLR_TYPE_FLOAT
                                          : r->token[0] == '-' ? TVLR_TYPE_SINT
                                                              : TVLR_TYPE_UINT;
                    put_added_type(r, type, kImpliedWidth, true, nullptr);
                }
                return true;
            }
        }
    } else if (const uint32_t code = check_in_force(r, kind)) {
        return fail(r, code);
    }
    return emit_if<Targets>(r, TVLR_EV_VALUE, kind, token_text(r), r->text_len);
}

// A string, number or symbol is pending with nothing in force and no unit suffix: the value that
// deliver_plain_pending completes.
inline bool plain_pending(const tvlr_reader *r) {
    constexpr uint32_t kKinds = 1u << TK_string | 1u << TK_array_string | 1u << TK_number |
                                1u << TK_array_number | 1u << TK_symbol;
    const uint32_t kind = r->token_kind;
    return kind < 32 && (kKinds >> kind & 1) != 0 && (r->unit_len | r->in_force.type) == 0;
}

// Delivers the pending plain value (deliver_plain_value, deliver_plain_symbol) and clears the
// token. `added` as for deliver_plain.
template <uint32_t Targets, bool InArray>
[[gnu::always_inline]] inline bool deliver_plain_pending(tvlr_reader *r,
                                                         const TypeInForce *&added) {
    const uint32_t kind = r->token_kind;
    const bool ok = kind == TK_symbol ? deliver_plain_symbol<Targets, InArray>(r, added)
                                      : deliver_plain_value<Targets, InArray>(r, kind, added);
    clear_token(r);
    return ok;
}

// Completes whatever token is pending: a value (or element), or nothing. `added` is set as by
// deliver_plain, and stays null otherwise.
template <uint32_t Targets, bool InArray>
[[gnu::always_inline]] inline bool complete_pending(tvlr_reader *r, const TypeInForce *&added) {
    if constexpr (Targets != 0) {
        // Most values are strings and numbers with nothing in force and no unit suffix: told
        // apart from the rest at once.
        if (plain_pending(r)) [[likely]]
            return deliver_plain_pending<Targets, InArray>(r, added);
    }
    if (r->token_kind == TK_nothing) return true;
    if (r->token_kind == TK_struct_opened) {
        r->token_kind = TK_nothing;
        return true;
    }
    bool ok = complete_value<Targets, InArray>(r, added);
    clear_token(r);
    return ok;
}

// Null value that carries the annotation just read (`<uint:8>;`).
template <uint32_t Targets>
bool annotated_null(tvlr_reader *r) {
    clear_token(r);
    return emit_if<Targets>(r, TVLR_EV_VALUE, TVL_VK_NULL, kEmptyText, 0);
}

// What clearing leaves in force: no type, the neutral unit. The record of a member name, and of
// an annotation's type_start before the annotation is read.
constexpr TypeInForce kClearedInForce{0, 0, 0, kNeutralUnit};

// The member named [name, name + len), not empty: its event (with callbacks), then the member
// starts. False when a callback refused the name (error 26 set). `SetsState`: the state is set;
// the statement path keeps it itself (and writes it back before anything else reads it).
template <uint32_t Targets, bool SetsState = true>
[[gnu::always_inline]] inline bool start_named_member(tvlr_reader *r, const uint8_t *name,
                                                      uint32_t len) {
    clear_type_in_force(r);
    if constexpr (Targets != 0) {
        // The record is written from the constant that clearing leaves in force.
        if (!send_event<Targets>(r, TVLR_EV_MEMBER_NAME, 0, reinterpret_cast<const char *>(name),
                                 len, kClearedInForce))
            return false;
    }
    start_member(r);
    if constexpr (SetsState) r->state = S_value;
    return true;
}

template <uint32_t Targets>
[[gnu::noinline]] bool assign(tvlr_reader *r) {
    // In locals: the stores that follow could otherwise change them.
    const uint32_t len = r->text_len;
    const uint8_t *const text = r->token;
    if (len == 0) return fail(r, TVL_ERR_EMPTY_IDENTIFIER);
    return start_named_member<Targets>(r, text, len);
}

// A member name that the scanner takes whole, read where it stands in the chunk. The token is
// left untouched (still the text buffer), so a refusal leaves everything but the token, its kind
// and the state as assign() leaves them: the caller gives those before it reports the refusal.
template <uint32_t Targets>
[[gnu::noinline]] bool member_name(tvlr_reader *r, const uint8_t *name, uint32_t len) {
    return start_named_member<Targets, false>(r, name, len);
}

// What an action that ends a value knows is pending: anything (the general instance), a plain
// value (plain_pending) or nothing (TK_nothing). A plain value in an array leaves the type that
// the array keeps in force as it found it (deliver_plain puts none in force): the separator or
// bracket after it need not put that type back.
enum class Pending { any, plain, nothing };

// Completes what is pending, as complete_pending does, for what is known to be pending.
template <uint32_t Targets, bool InArray, Pending P>
[[gnu::always_inline]] inline bool complete_known(tvlr_reader *r, const TypeInForce *&added) {
    if constexpr (P == Pending::plain)
        return deliver_plain_pending<Targets, InArray>(r, added);
    else if constexpr (P == Pending::nothing)
        return true;
    else
        return complete_pending<Targets, InArray>(r, added);
}

// The actions that end a value come in an instance for what is pending (Pending). The general
// one is what the action table runs; the statement path runs, with callbacks, the one for what
// it knows is pending (taken_terminate, taken_element_sep, closed_array_end), each on its own,
// so that the registers and checks the rest needs cost the common cases nothing. Those leave the
// state to the statement path, which keeps it itself.
template <uint32_t Targets, Pending P>
[[gnu::always_inline]] inline bool terminate_known(tvlr_reader *r) {
    // A member ends only after all of its arrays have closed, so that every
    // array_start gets its array_end.
    if (r->array_depth > member_array_base(r)) [[unlikely]]
        return fail(r, TVL_ERR_UNEXPECTED_INPUT_BYTE);
    const TypeInForce *added = nullptr;
    if (!complete_known<Targets, false, P>(r, added)) {
        if (added) put_plain_added(r, *added);
        r->failed_at_member_end = true;
        return false;
    }
    end_member(r);
    if constexpr (P == Pending::any) r->state = S_after_member;
    return true;
}

template <uint32_t Targets, Pending P = Pending::any>
[[gnu::noinline]] bool terminate(tvlr_reader *r) {
    return terminate_known<Targets, P>(r);
}

// `;` after a value that the statement path has taken: mostly a plain one.
template <uint32_t Targets>
[[gnu::noinline]] bool taken_terminate(tvlr_reader *r) {
    if (plain_pending(r)) [[likely]]
        return terminate<Targets, Pending::plain>(r);
    return terminate<Targets>(r);
}

template <uint32_t Targets>
[[gnu::noinline]] bool annotation_end(tvlr_reader *r) {
    r->type_text[r->type_len] = 0;
    const char *text = reinterpret_cast<const char *>(r->type_text);
    const uint32_t len = r->type_len;
    // The first callback sees type_start before the annotation is read.
    if constexpr (Targets != 0) {
        if (!send_event<Targets & kFirst>(r, TVLR_EV_TYPE_START, TVL_VK_TYPE, text, len,
                                          kClearedInForce))
            return false;
    }
    const AnnotationParse &p = parse_annotation(r);
    if (!p.ok) return fail(r, TVL_ERR_ILLEGAL_VALUE_TYPE);
    const tvl_type_annotation &a = p.annotation;
    r->in_force = {a.value_type, a.bits, a.base, p.unit};
    r->in_force_cleared = false;
    const bool base_matches = a.base == 0 || a.base == 10 || a.value_type == TVLR_TYPE_FLOAT_DEC;
    r->annotation = {base_matches ? added_key(a.value_type, a.bits) : 0, p.unit_text_len != 0};
    // The parameters are delivered in a fixed order (width, base, unit); a
    // unit that did not parse is refused only after the ones before it.
    if constexpr (Targets != 0) {
        if (!send_event<Targets & kSecond>(r, TVLR_EV_TYPE_START, TVL_VK_TYPE, text, len,
                                           r->in_force))
            return false;
        if (!emit_if<Targets>(r, TVLR_EV_TYPE_NAME, TVL_VK_TYPE, text, len)) return false;
        if (a.bits && !emit_if<Targets>(r, TVLR_EV_TYPE_PARAM, TVL_VK_BITS, kEmptyText, 0))
            return false;
        if (a.base &&
            !emit_if<Targets>(r, TVLR_EV_TYPE_PARAM,
                              a.value_type == TVLR_TYPE_FLOAT_FIX ? TVL_VK_FRACTION : TVL_VK_BASE,
                              kEmptyText, 0))
            return false;
    }
    if (p.unit_text_len && a.value_type != TVLR_TYPE_UTF8 && !p.unit_ok)
        return fail(r, p.unit_too_long ? TVL_ERR_UNIT_TOO_LONG : TVL_ERR_UNIT_ILLEGAL);
    if constexpr (Targets != 0) {
        if (p.unit_text_len &&
            !emit_if<Targets>(r, TVLR_EV_TYPE_PARAM, TVL_VK_UNIT, p.unit_text, p.unit_text_len))
            return false;
        if (!emit_if<Targets>(r, TVLR_EV_TYPE_END, TVL_VK_TYPE, text, len)) return false;
    }
    r->token_kind = TK_nothing;
    r->type_len = 0;
    r->state = S_after_annotation;
    return true;
}

template <uint32_t Targets>
[[gnu::noinline]] bool annotated_terminate(tvlr_reader *r) {
    if (!annotated_null<Targets>(r)) {
        // With arrays still open this `;` does not end the member.
        r->failed_at_member_end = r->array_depth <= member_array_base(r);
        return false;
    }
    return terminate<Targets>(r);
}

template <uint32_t Targets>
[[gnu::noinline]] bool array_start(tvlr_reader *r) {
    if (r->max_array_items != 0 && r->array_items == r->max_array_items)
        return fail(r, TVL_ERR_TOO_MANY_ARRAY_ITEMS);
    if (r->array_depth == r->max_array_depth) return fail(r, TVL_ERR_ARRAY_NESTING_TOO_HIGH);
    push_array_level(r);
    if (!emit_if<Targets>(r, TVLR_EV_ARRAY_START, 0, kEmptyText, 0)) return false;
    r->token_kind = TK_null;
    r->in_array = true;
    ++r->array_depth;
    r->state = S_array_open;
    return true;
}

template <uint32_t Targets, Pending P = Pending::any>
[[gnu::noinline]] bool element_sep(tvlr_reader *r) {
    if (!r->in_array || r->array_depth <= member_array_base(r))
        return fail(r, TVL_ERR_UNEXPECTED_INPUT_BYTE);
    const TypeInForce *added = nullptr;
    bool ok = complete_known<Targets, true, P>(r, added);
    if (ok && r->max_array_items != 0 && r->array_items == r->max_array_items)
        ok = fail(r, TVL_ERR_TOO_MANY_ARRAY_ITEMS);
    else if (ok && r->row_length != 0 && r->row_length <= r->elements)
        ok = fail(r, TVL_ERR_ARRAY_ROW_SIZE_MISMATCH);
    if (!ok) [[unlikely]] {
        if (added) put_plain_added(r, *added);
        return false;
    }
    next_element<P == Pending::plain>(r);
    if constexpr (P == Pending::any) r->state = S_after_comma;
    return true;
}

// `,` after a value that the statement path has taken: mostly a plain one.
template <uint32_t Targets>
[[gnu::noinline]] bool taken_element_sep(tvlr_reader *r) {
    if (plain_pending(r)) [[likely]]
        return element_sep<Targets, Pending::plain>(r);
    return element_sep<Targets>(r);
}

template <uint32_t Targets, Pending P = Pending::any>
[[gnu::noinline]] bool array_end(tvlr_reader *r) {
    if (!r->in_array || r->array_depth <= member_array_base(r))
        return fail(r, TVL_ERR_UNEXPECTED_INPUT_BYTE);
    const TypeInForce *added = nullptr;
    bool ok = complete_known<Targets, true, P>(r, added);
    if (ok && r->row_length == 0)
        r->row_length = r->elements;
    else if (ok && r->row_length != r->elements)
        ok = fail(r, TVL_ERR_ARRAY_ROW_SIZE_MISMATCH);
    ok = ok && emit_if<Targets>(r, TVLR_EV_ARRAY_END, 0, kEmptyText, 0, true);
    if (!ok) [[unlikely]] {
        if (added) put_plain_added(r, *added);
        return false;
    }
    close_array<P == Pending::plain>(r);
    if constexpr (P == Pending::any) r->state = S_after_array;
    return true;
}

// `]` after a value that the statement path has taken: mostly a plain one.
template <uint32_t Targets>
[[gnu::noinline]] bool taken_array_end(tvlr_reader *r) {
    if (plain_pending(r)) [[likely]]
        return array_end<Targets, Pending::plain>(r);
    return array_end<Targets>(r);
}

// `]` after a closing bracket: nothing is pending.
template <uint32_t Targets>
[[gnu::noinline]] bool closed_array_end(tvlr_reader *r) {
    if (r->token_kind == TK_nothing) [[likely]]
        return array_end<Targets, Pending::nothing>(r);
    return array_end<Targets>(r);
}

template <uint32_t Targets>
[[gnu::noinline]] bool row_break(tvlr_reader *r) {
    if (!emit_if<Targets>(r, TVLR_EV_ROW_BREAK, 0, kEmptyText, 0)) return false;
    r->array_stack[r->array_depth].row_break_seen = true;
    r->state = S_after_slash;
    return true;
}

// The annotated null comes first, also when the separator is then refused
// outside an array.
template <uint32_t Targets>
[[gnu::noinline]] bool annotated_element_sep(tvlr_reader *r) {
    return annotated_null<Targets>(r) && element_sep<Targets>(r);
}

template <uint32_t Targets>
[[gnu::noinline]] bool annotated_array_end(tvlr_reader *r) {
    return annotated_null<Targets>(r) && array_end<Targets>(r);
}

// Takes the instance of an action for the reader's callbacks.
using Action = bool (*)(tvlr_reader *);
template <Action None, Action First, Action Second, Action Both>
[[gnu::always_inline]] inline bool take(tvlr_reader *r) {
    static constexpr Action kInstances[] = {None, First, Second, Both};
    return kInstances[r->targets](r);
}

}  // namespace

// Each action is taken by the instance for the reader's callbacks (a tail call).
bool complete_assign(tvlr_reader *r) {
    return take<assign<0>, assign<kFirst>, assign<kSecond>, assign<kBoth>>(r);
}

bool deliver_member_name(tvlr_reader *r, const uint8_t *name, uint32_t len) {
    // Only with callbacks: the instances for targets 1 to 3.
    using Fn = bool (*)(tvlr_reader *, const uint8_t *, uint32_t);
    static constexpr Fn kInstances[] = {member_name<kFirst>, member_name<kSecond>,
                                        member_name<kBoth>};
    return kInstances[r->targets - 1](r, name, len);
}

bool complete_terminate(tvlr_reader *r) {
    return take<terminate<0>, terminate<kFirst>, terminate<kSecond>, terminate<kBoth>>(r);
}

bool complete_annotation_end(tvlr_reader *r) {
    return take<annotation_end<0>, annotation_end<kFirst>, annotation_end<kSecond>,
                annotation_end<kBoth>>(r);
}

bool complete_annotated_terminate(tvlr_reader *r) {
    return take<annotated_terminate<0>, annotated_terminate<kFirst>, annotated_terminate<kSecond>,
                annotated_terminate<kBoth>>(r);
}

bool complete_annotated_element_sep(tvlr_reader *r) {
    return take<annotated_element_sep<0>, annotated_element_sep<kFirst>,
                annotated_element_sep<kSecond>, annotated_element_sep<kBoth>>(r);
}

bool complete_annotated_array_end(tvlr_reader *r) {
    return take<annotated_array_end<0>, annotated_array_end<kFirst>, annotated_array_end<kSecond>,
                annotated_array_end<kBoth>>(r);
}

bool complete_array_start(tvlr_reader *r) {
    return take<array_start<0>, array_start<kFirst>, array_start<kSecond>, array_start<kBoth>>(r);
}

bool complete_element_sep(tvlr_reader *r) {
    return take<element_sep<0>, element_sep<kFirst>, element_sep<kSecond>, element_sep<kBoth>>(r);
}

bool complete_array_end(tvlr_reader *r) {
    return take<array_end<0>, array_end<kFirst>, array_end<kSecond>, array_end<kBoth>>(r);
}

// The statement path's entries: with callbacks, the instances for what it knows is pending.
bool complete_taken_terminate(tvlr_reader *r) {
    return take<terminate<0>, taken_terminate<kFirst>, taken_terminate<kSecond>,
                taken_terminate<kBoth>>(r);
}

bool complete_taken_element_sep(tvlr_reader *r) {
    return take<element_sep<0>, taken_element_sep<kFirst>, taken_element_sep<kSecond>,
                taken_element_sep<kBoth>>(r);
}

bool complete_taken_array_end(tvlr_reader *r) {
    return take<array_end<0>, taken_array_end<kFirst>, taken_array_end<kSecond>,
                taken_array_end<kBoth>>(r);
}

bool complete_closed_array_end(tvlr_reader *r) {
    return take<array_end<0>, closed_array_end<kFirst>, closed_array_end<kSecond>,
                closed_array_end<kBoth>>(r);
}

bool complete_row_break(tvlr_reader *r) {
    return take<row_break<0>, row_break<kFirst>, row_break<kSecond>, row_break<kBoth>>(r);
}

}  // namespace tvl::rd
