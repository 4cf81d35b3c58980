// The canonical observer: an event callback that re-writes what a reader reads through the
// writer's output step, without checks, into a sink.
//
// One thing sets it apart from a plain output step. A reader adds an annotation run to an
// untyped number ("uint", "sint", "float" or "float_dec" with width, base and unit parameters)
// without checking the number against it: `.p = 18446744073709551616;` reads as a uint of 64
// bits. Written out as `<uint:64,_10,no_unit> 18446744073709551616` that value would be refused
// when read again, and an annotation run around a long unit suffix may not fit the annotation's
// 255 bytes. So such a run is held back until the event after it is known; when a reader would
// refuse the value under the run as written, the run is left out and the value is written bare
// (with its unit as a suffix), which reads back with the very run that the reader added.
#include <cstddef>
#include <cstring>

#include "base/alloc.h"
#include "core/annotation.h"
#include "core/limits.h"
#include "core/value_rules.h"
#include "writer/checks.h"
#include "writer/output.h"
#include "writer/pieces.h"

namespace {

constexpr uint32_t kMaxHeldEvents = 8;  // type_start, type_name, up to 5 parameters, type_end

// One event of a held run, as much as the output needs of it: the kind, the value kind, the
// number it sets (the type of type_name; the width, base or fraction count of a parameter as
// written) and, for a unit parameter, where its text stands in the rendered run.
struct HeldEvent {
    uint32_t kind;
    uint32_t value_kind;
    uint32_t number;
    uint32_t text_at;
    uint32_t text_len;
};

// A held annotation run: its events, their text as the output step writes it (rendered as they
// arrive: '<', the type words and the parameters with their prefixes, without the closing '>'),
// and what the output and the value check need to know of it.
struct Run {
    // The events so far are type_start, type_name, parameters and type_end in that order: the
    // shape that is written as one piece.
    bool shape;
    bool params;  // a parameter with text was held
    bool unit;    // a unit parameter was held
    uint32_t count;
    uint32_t param_events;  // parameter events held, with text or without
    uint32_t type;          // type of the last type_name
    uint32_t bits;          // the last width
    uint32_t base;          // the last base or fraction count
    uint32_t len;           // bytes of text
    HeldEvent events[kMaxHeldEvents];
    uint8_t text[kMaxHeldEvents * (2 + tvl::kUnitTextMax)];
};

// The type words of the numbers that a reader annotates when they come without a type.
constexpr uint32_t kBareNumberWords = 4;

}  // namespace

struct tvlr_canon_observer {
    tvl::wr::Output out;  // first: the sink copy is the start of the object
    bool holding;
    bool complete;  // the held run's type_end has arrived
    // Runs and plain values are written in one piece (not in the tests' reference runs, which
    // write them event by event).
    bool in_pieces;
    // The events held so far are those of the last complete run of the same type word, kept in
    // memo[word]: the run is not rendered again.
    bool matching;
    uint32_t word;  // index of the held run's type word
    Run run;
    Run memo[kBareNumberWords];  // count 0: none yet
};

namespace {

using tvl::wr::ArrayLevel;
using tvl::wr::Output;

ArrayLevel *open_level(Output &o) {
    return const_cast<ArrayLevel *>(tvl::wr::directly_open_level(o));
}

// The comma before an item: an element was written in the directly open array and no
// annotation stands between (an annotation's own comma ignores after_annotation).
ArrayLevel *comma_level(Output &o, ArrayLevel *open, bool after_annotation_suppresses) {
    if (open == nullptr || !open->separator_due) return nullptr;
    return after_annotation_suppresses && o.after_annotation ? nullptr : open;
}

// The state changes of a written comma: the array's type in force again.
void after_comma(Output &o, ArrayLevel *comma) {
    if (comma == nullptr) return;
    comma->separator_due = false;
    tvl::wr::copy_in_force(o.in_force, comma->saved);
}

// The start, type word and end of an annotation in one piece each, with output_event's bytes
// and changes of state. False, with nothing changed, where the piece does not fit.
bool put_type_start_piece(Output &o) {
    ArrayLevel *const comma = comma_level(o, open_level(o), false);
    uint8_t *const start = tvl::wr::claim(o, 3);
    if (start == nullptr) return false;
    uint8_t *p = comma != nullptr ? tvl::wr::put_comma(o, start) : start;
    *p++ = '<';
    tvl::wr::commit(o, static_cast<size_t>(p - start));
    after_comma(o, comma);
    o.after_annotation = true;
    o.param_written = false;
    o.in_annotation = true;
    tvl::wr::clear_in_force(o.annotation);
    o.annotation_len = 0;
    return true;
}

bool put_type_name_piece(Output &o, uint32_t type) {
    const tvl::TypeWord word = tvl::type_word(type);
    uint8_t *const p = tvl::wr::claim(o, word.len);
    if (p == nullptr) return false;
    tvl::wr::copy_bytes(p, word.text, word.len);
    tvl::wr::commit(o, word.len);
    o.annotation.type = type;
    o.annotation_len += word.len;
    return true;
}

bool put_type_end_piece(Output &o) {
    const size_t len = o.pretty ? 2 : 1;
    uint8_t *const p = tvl::wr::claim(o, len);
    if (p == nullptr) return false;
    p[0] = '>';
    p[len - 1] = o.pretty ? ' ' : '>';
    tvl::wr::commit(o, len);
    o.in_annotation = false;
    tvl::wr::copy_in_force(o.in_force, o.annotation);
    return true;
}

// The output of one event: plain values, member names, structure and annotations without
// parameters in one piece each, the rest through the output step. Each kind has a function of
// its own, kept out of line: each keeps a small frame, and the dispatch is a jump without one.
using tvl::wr::output_event;

const char *text_of(const tvlr_event &e) {
    return e.text != nullptr ? e.text : "";
}
size_t length_of(const tvlr_event &e) {
    return e.text != nullptr ? e.text_len : 0;
}

// Names, numbers and runs up to this length are copied without a library call.
constexpr uint32_t kShortCopy = 32;

[[gnu::noinline]] bool out_any_member_name(Output &o, const tvlr_event &e) {
    return tvl::wr::put_member_piece(o, text_of(e), length_of(e)) ||
           output_event(o, TVLR_EV_MEMBER_NAME, e, nullptr);
}
// A short name at a line without tabs in one piece without a call (so without registers to
// save); the rest through out_any_member_name.
[[gnu::noinline]] bool out_member_name(Output &o, const tvlr_event &e) {
    const char *const name = e.text;
    const size_t len = e.text_len;
    if (name == nullptr || len > kShortCopy || (o.pretty && o.struct_depth != 0) ||
        !tvl::wr::put_member_piece_at(o, 0, name, len))
        return out_any_member_name(o, e);
    return true;
}
[[gnu::noinline]] bool out_any_value(Output &o, const tvlr_event &e) {
    if (!tvl::wr::unit_present(e.unit)) {
        ArrayLevel *const open = open_level(o);
        if (tvl::wr::put_plain_value(o, open, comma_level(o, open, true), e.value_kind, text_of(e),
                                     length_of(e)))
            return true;
    }
    return output_event(o, TVLR_EV_VALUE, e, nullptr);
}
// Strings, and numbers of up to kShortCopy bytes that are no special number, without a call
// but in tail position; the rest through out_any_value.
[[gnu::noinline]] bool out_string_value(Output &o, const tvlr_event &e) {
    ArrayLevel *const open = open_level(o);
    return tvl::wr::put_plain_value(o, open, comma_level(o, open, true), TVL_VK_STRING, text_of(e),
                                    length_of(e)) ||
           output_event(o, TVLR_EV_VALUE, e, nullptr);
}
[[gnu::noinline]] bool out_number_value(Output &o, const tvlr_event &e) {
    const char *const text = e.text;
    const size_t len = e.text_len;
    // A special number (nan, inf, -inf) takes a marker.
    if (len > kShortCopy || tvl::wr::looks_special_number(text, len)) return out_any_value(o, e);
    ArrayLevel *const open = open_level(o);
    return tvl::wr::put_plain_value(o, open, comma_level(o, open, true), TVL_VK_NUMBER, text, len,
                                    false, false) ||
           output_event(o, TVLR_EV_VALUE, e, nullptr);
}
[[gnu::noinline]] bool out_value(Output &o, const tvlr_event &e) {
    if (e.text == nullptr || tvl::wr::unit_present(e.unit)) return out_any_value(o, e);
    switch (e.value_kind) {
        case TVL_VK_STRING:
        case TVL_VK_ARRAY_STRING:
            return out_string_value(o, e);
        case TVL_VK_NUMBER:
        case TVL_VK_ARRAY_NUMBER:
            return out_number_value(o, e);
        default:
            return out_any_value(o, e);
    }
}
[[gnu::noinline]] bool out_struct_start(Output &o, const tvlr_event &e) {
    return tvl::wr::put_struct_start_piece(o, comma_level(o, open_level(o), true)) ||
           output_event(o, TVLR_EV_STRUCT_START, e, nullptr);
}
[[gnu::noinline]] bool out_struct_end(Output &o, const tvlr_event &e) {
    return tvl::wr::put_struct_end_piece(o) || output_event(o, TVLR_EV_STRUCT_END, e, nullptr);
}
[[gnu::noinline]] bool out_array_start(Output &o, const tvlr_event &e) {
    return tvl::wr::put_array_start_piece(o, comma_level(o, open_level(o), true)) ||
           output_event(o, TVLR_EV_ARRAY_START, e, nullptr);
}
[[gnu::noinline]] bool out_array_end(Output &o, const tvlr_event &e) {
    return tvl::wr::put_array_end_piece(o) || output_event(o, TVLR_EV_ARRAY_END, e, nullptr);
}
[[gnu::noinline]] bool out_type_start(Output &o, const tvlr_event &e) {
    return put_type_start_piece(o) || output_event(o, TVLR_EV_TYPE_START, e, nullptr);
}
[[gnu::noinline]] bool out_type_name(Output &o, const tvlr_event &e) {
    return put_type_name_piece(o, e.value_type) || output_event(o, TVLR_EV_TYPE_NAME, e, nullptr);
}
[[gnu::noinline]] bool out_type_end(Output &o, const tvlr_event &e) {
    return put_type_end_piece(o) || output_event(o, TVLR_EV_TYPE_END, e, nullptr);
}

bool output(tvlr_canon_observer *obs, uint32_t kind, const tvlr_event &e) {
    Output &o = obs->out;
    if (!obs->in_pieces) return output_event(o, kind, e, nullptr);
    switch (kind) {
        case TVLR_EV_MEMBER_NAME:
            return out_member_name(o, e);
        case TVLR_EV_VALUE:
            return out_value(o, e);
        case TVLR_EV_STRUCT_START:
            return out_struct_start(o, e);
        case TVLR_EV_STRUCT_END:
            return out_struct_end(o, e);
        case TVLR_EV_ARRAY_START:
            return out_array_start(o, e);
        case TVLR_EV_ARRAY_END:
            return out_array_end(o, e);
        case TVLR_EV_TYPE_START:
            return out_type_start(o, e);
        case TVLR_EV_TYPE_NAME:
            return out_type_name(o, e);
        case TVLR_EV_TYPE_END:
            return out_type_end(o, e);
        default:
            return output_event(o, kind, e, nullptr);
    }
}

// The index of a type_start's word among the bare number words uint, sint, float and
// float_dec, or kBareNumberWords for any other.
uint32_t bare_number_word(const tvlr_event &e) {
    if (e.text == nullptr) return kBareNumberWords;
    const auto word = [&](const char *w, size_t n) { return std::memcmp(e.text, w, n) == 0; };
    switch (e.text_len) {
        case 4:
            return word("uint", 4) ? 0 : word("sint", 4) ? 1 : kBareNumberWords;
        case 5:
            return word("float", 5) ? 2 : kBareNumberWords;
        case 9:
            return word("float_dec", 9) ? 3 : kBareNumberWords;
        default:
            return kBareNumberWords;
    }
}

// Renders a parameter number with its prefix (':' or ',') and marker ('_', 'q' or none) at p.
uint8_t *render_number(const Run &r, uint8_t *p, char marker, uint32_t number) {
    *p++ = r.params ? ',' : ':';
    if (marker != 0) *p++ = static_cast<uint8_t>(marker);
    // Widths and bases mostly have two digits.
    if (number >= 10 && number < 100) {
        p[0] = static_cast<uint8_t>('0' + number / 10);
        p[1] = static_cast<uint8_t>('0' + number % 10);
        return p + 2;
    }
    p += tvl::wr::decimal_digits(number);
    tvl::wr::write_decimal_before(p, number);
    return p;
}

// Keeps one event in the run: its entry and its text after the text of the events before it.
// False, with nothing changed, when it cannot be kept.
bool keep(Run &r, uint32_t kind, const tvlr_event &e) {
    const uint32_t i = r.count;
    if (i == kMaxHeldEvents) return false;
    HeldEvent &h = r.events[i];
    h = {kind, e.value_kind, 0, 0, 0};
    uint8_t *p = r.text + r.len;
    switch (kind) {
        case TVLR_EV_TYPE_START:
            *p++ = '<';
            break;
        case TVLR_EV_TYPE_NAME: {
            const tvl::TypeWord word = tvl::type_word(e.value_type);
            h.number = r.type = e.value_type;
            tvl::wr::copy_bytes(p, word.text, word.len);
            p += word.len;
            r.shape = r.shape && i == 1;
            break;
        }
        case TVLR_EV_TYPE_PARAM:
            switch (e.value_kind) {
                case TVL_VK_BITS:
                    h.number = r.bits = tvl::wr::written_bits(e);
                    p = render_number(r, p, 0, h.number);
                    break;
                case TVL_VK_BASE:
                    h.number = r.base = tvl::wr::written_base(e);
                    p = render_number(r, p, '_', h.number);
                    break;
                case TVL_VK_FRACTION:
                    h.number = r.base = tvl::wr::written_fraction(e);
                    p = render_number(r, p, 'q', h.number);
                    break;
                case TVL_VK_UNIT:
                    if (e.text == nullptr || e.text_len > tvl::kUnitTextMax) return false;
                    *p++ = r.params ? ',' : ':';
                    h.text_at = static_cast<uint32_t>(p - r.text);
                    h.text_len = e.text_len;
                    tvl::wr::copy_bytes(p, e.text, e.text_len);
                    p += e.text_len;
                    r.unit = true;
                    break;
                default:
                    break;  // a parameter that the output writes nothing for
            }
            ++r.param_events;
            r.params = r.params || p != r.text + r.len;
            r.shape = r.shape && i >= 2;
            break;
        default:  // type_end
            r.shape = r.shape && i >= 2;
            break;
    }
    r.len = static_cast<uint32_t>(p - r.text);
    r.count = i + 1;
    return true;
}

// True when the bytes are equal: short texts (a unit such as "no_unit") with two overlapping
// word compares instead of a library call.
template <class Word>
[[gnu::always_inline]] inline bool same_words(const char *a, const uint8_t *b, size_t len) {
    Word a0, a1, b0, b1;
    std::memcpy(&a0, a, sizeof a0);
    std::memcpy(&a1, a + len - sizeof a1, sizeof a1);
    std::memcpy(&b0, b, sizeof b0);
    std::memcpy(&b1, b + len - sizeof b1, sizeof b1);
    return ((a0 ^ b0) | (a1 ^ b1)) == 0;
}
// From 4 to 16 bytes.
[[gnu::always_inline]] inline bool same_short_bytes(const char *a, const uint8_t *b, size_t len) {
    return len <= 8 ? same_words<uint32_t>(a, b, len) : same_words<uint64_t>(a, b, len);
}
bool same_bytes(const char *a, const uint8_t *b, size_t len) {
    if (len >= 4 && len <= 16) return same_short_bytes(a, b, len);
    return std::memcmp(a, b, len) == 0;
}

// True when the event is the one at that place in the run: the same kind and the same text
// where the output writes it. Quick: without the library call for a unit text outside 4 to 16
// bytes, false for it (so that the caller's fast path needs no frame).
template <bool Quick = false>
bool same_event(const Run &r, uint32_t i, uint32_t kind, const tvlr_event &e) {
    if (i >= r.count || r.events[i].kind != kind) return false;
    const HeldEvent &h = r.events[i];
    if (kind == TVLR_EV_TYPE_NAME) return h.number == e.value_type;
    if (kind != TVLR_EV_TYPE_PARAM) return true;
    if (h.value_kind != e.value_kind) return false;
    switch (e.value_kind) {
        case TVL_VK_BITS:
            return h.number == tvl::wr::written_bits(e);
        case TVL_VK_BASE:
            return h.number == tvl::wr::written_base(e);
        case TVL_VK_FRACTION:
            return h.number == tvl::wr::written_fraction(e);
        case TVL_VK_UNIT:
            if (e.text == nullptr || e.text_len != h.text_len) return false;
            if (!Quick) return same_bytes(e.text, r.text + h.text_at, h.text_len);
            return h.text_len >= 4 && h.text_len <= 16 &&
                   same_short_bytes(e.text, r.text + h.text_at, h.text_len);
        default:
            return true;
    }
}

// The event that a held entry stands for, as far as the output step reads it: the step writes
// the same bytes for it as for the event that was held.
tvlr_event event_of(const Run &r, const HeldEvent &h) {
    tvlr_event e{};
    e.value_kind = h.value_kind;
    if (h.kind == TVLR_EV_TYPE_NAME) {
        e.value_type = h.number;
    } else if (h.value_kind == TVL_VK_BITS) {
        e.bits = h.number;  // never 0: written as it is
    } else if (h.value_kind == TVL_VK_BASE) {
        e.value_type = TVLR_TYPE_PLAIN;  // never 0: written as it is
        e.base = h.number;
    } else if (h.value_kind == TVL_VK_FRACTION) {
        e.value_type = TVLR_TYPE_FLOAT_FIX;
        e.base = h.number;
    } else if (h.value_kind == TVL_VK_UNIT) {
        e.text = reinterpret_cast<const char *>(r.text + h.text_at);
        e.text_len = h.text_len;
    }
    return e;
}

void clear_run(Run &r) {
    r.shape = true;
    r.params = r.unit = false;
    r.count = r.param_events = r.len = 0;
    r.type = r.bits = r.base = 0;
}

// Turns a run that matched its memo so far into a run of its own, from the memo's entries.
void take_from_memo(tvlr_canon_observer *obs) {
    obs->matching = false;
    const Run &m = obs->memo[obs->word];
    const uint32_t n = obs->run.count;
    clear_run(obs->run);
    for (uint32_t i = 0; i < n; ++i) keep(obs->run, m.events[i].kind, event_of(m, m.events[i]));
}

// The held run as it stands: the memo while the events match it.
const Run &held_run(const tvlr_canon_observer *obs) {
    return obs->matching ? obs->memo[obs->word] : obs->run;
}

// Holds one event of a run; false, with nothing changed, when it cannot be held.
bool hold(tvlr_canon_observer *obs, uint32_t kind, const tvlr_event &e) {
    if (obs->matching) {
        if (same_event(obs->memo[obs->word], obs->run.count, kind, e)) {
            ++obs->run.count;
            obs->complete = kind == TVLR_EV_TYPE_END;
            return true;
        }
        take_from_memo(obs);
    }
    if (!keep(obs->run, kind, e)) return false;
    if (kind == TVLR_EV_TYPE_END) {
        obs->complete = true;
        // A run of the usual shape becomes the memo of its type word.
        if (obs->in_pieces && obs->run.shape) {
            Run &m = obs->memo[obs->word];
            const Run &r = obs->run;
            std::memcpy(static_cast<void *>(&m), &r,
                        offsetof(Run, events) + r.count * sizeof(HeldEvent));
            std::memcpy(m.text, r.text, r.len);
        }
    }
    return true;
}

void start_holding(tvlr_canon_observer *obs, uint32_t word, const tvlr_event &e) {
    obs->holding = true;
    obs->complete = false;
    obs->word = word;
    clear_run(obs->run);
    const Run &m = obs->memo[word];
    obs->matching = obs->in_pieces && m.count != 0;
    if (obs->matching) {
        obs->run.count = 1;  // every memo starts with a type_start
    } else {
        keep(obs->run, TVLR_EV_TYPE_START, e);  // the first event always fits
    }
}

void drop_run(tvlr_canon_observer *obs) {
    obs->holding = false;
    obs->matching = false;
    obs->run.count = 0;
}

// The bytes of a complete run of the usual shape with the comma due before it, from p on:
// the comma, the rendered run, '>' and in pretty layout a space. Returns the end.
uint8_t *put_run(const Output &o, uint8_t *p, const Run &r, const ArrayLevel *comma) {
    if (comma != nullptr) p = tvl::wr::put_comma(o, p);
    tvl::wr::copy_bytes(p, r.text, r.len);
    p += r.len;
    *p++ = '>';
    if (o.pretty) *p++ = ' ';
    return p;
}
size_t run_bytes(const Output &o, const Run &r, const ArrayLevel *comma) {
    return (comma != nullptr ? (o.pretty ? 2 : 1) : 0) + r.len + (o.pretty ? 2 : 1);
}

// The state changes of a written run, as its events make them through the output step.
void after_run(Output &o, const Run &r, ArrayLevel *comma) {
    // The comma brings back the array's type, which the run's then replaces.
    after_comma(o, comma);
    o.after_annotation = true;
    o.param_written = r.params;
    o.in_annotation = false;
    o.annotation_len = r.len - 1;
    o.annotation.type = o.in_force.type = r.type;
    o.annotation.bits = o.in_force.bits = r.bits;
    o.annotation.base = o.in_force.base = r.base;
    // A declared unit is one that the output does not parse: the empty one. The observer's units
    // are all zero from its creation on, so they need no clearing here.
    o.annotation.declared_unit = o.in_force.declared_unit = r.unit;
}

// A complete held run of the usual shape written as one piece where it fits the memory sink or
// the buffer, with the state changes of its events through the output step. False, with nothing
// changed, for any other run or where it does not fit.
bool write_run(tvlr_canon_observer *obs) {
    const Run &r = held_run(obs);
    if (!obs->complete || !r.shape) return false;
    Output &o = obs->out;
    ArrayLevel *const comma = comma_level(o, open_level(o), false);
    const size_t total = run_bytes(o, r, comma);
    uint8_t *const start = tvl::wr::claim(o, total);
    if (start == nullptr) return false;
    put_run(o, start, r, comma);
    tvl::wr::commit(o, total);
    after_run(o, r, comma);
    drop_run(obs);
    return true;
}

// Writes the held run: in one piece where it can, otherwise its events one by one through the
// output step, rebuilt from the entries so that the step writes each as it arrived.
bool replay(tvlr_canon_observer *obs) {
    if (obs->in_pieces && write_run(obs)) return true;
    if (obs->matching && !obs->complete) take_from_memo(obs);
    // The memo or the run: neither changes while its events are written.
    const Run &r = held_run(obs);
    const uint32_t n = obs->run.count;
    obs->holding = obs->matching = false;
    obs->run.count = 0;
    for (uint32_t i = 0; i < n; ++i)
        if (!tvl::wr::output_event(obs->out, r.events[i].kind, event_of(r, r.events[i]), nullptr))
            return false;
    return true;
}

// True when a reader would refuse the value after the held run written out: the value does not
// pass the run's type, or the run's text is longer than an annotation may be.
bool refused_under_held_run(const tvlr_canon_observer *obs, const tvlr_event &value) {
    const Run &r = held_run(obs);
    // A run without parameters was written so in the input: it is kept as it is.
    if (r.param_events == 0) return false;
    // The annotation text is the rendered run without its '<'.
    if (r.len - 1 > tvl::kAnnotationTextMax) return true;
    const uint32_t type = r.type, bits = r.bits, base = r.base;
    size_t digits = 0;
    bool point = false;
    if (tvl::is_number_kind(value.value_kind) && value.text != nullptr &&
        value.text_len <= tvl::kTokenMaxLen &&
        tvl::wr::plain_decimal(value.text, value.text_len, digits, point) &&
        tvl::wr::number_passes(type, bits, base, value.text, value.text_len, digits, point))
        return false;
    return tvl::wr::check_value(value.value_kind, value.text, value.text_len, type, bits, base) !=
           0;
}

// A type_start while no run is held: a number's type word starts holding a run, any other is
// written.
[[gnu::noinline]] bool on_type_start(tvlr_canon_observer *obs, const tvlr_event &e) {
    const uint32_t word = bare_number_word(e);
    if (word == kBareNumberWords) return output(obs, TVLR_EV_TYPE_START, e);
    start_holding(obs, word, e);
    return true;
}

// The event after a held run, or a type_start: replays or drops the run as the event requires,
// and starts holding a run of a number's type word. Out of line, like everything but the holding
// itself, so that each path keeps a small frame.
[[gnu::noinline]] bool settle_run(tvlr_canon_observer *obs, uint32_t kind, const tvlr_event &e) {
    if (obs->holding) {
        if (kind == TVLR_EV_VALUE && obs->complete && refused_under_held_run(obs, e)) {
            drop_run(obs);
        } else if (!replay(obs)) {
            return false;
        }
    }
    return kind == TVLR_EV_TYPE_START ? on_type_start(obs, e) : output(obs, kind, e);
}

// The number value after a complete held run of the usual shape that a reader takes under it
// as written: the run and the value in one piece, with the state changes of both. A plain
// decimal without a unit only, which is written as it is, and both run and value of up to
// kShortCopy bytes, so that the piece needs no call (and its caller no registers saved).
// False, with nothing changed, for any other value or where the piece does not fit.
[[gnu::always_inline]] inline bool put_run_and_value(tvlr_canon_observer *obs,
                                                     const tvlr_event &e) {
    const Run &r = held_run(obs);
    // Read once: the bytes written below may alias them as far as the compiler knows.
    const char *const text = e.text;
    const uint32_t len = e.text_len, run_len = r.len;
    if (!r.shape || !tvl::is_number_kind(e.value_kind) || text == nullptr || len > kShortCopy ||
        run_len > kShortCopy || tvl::wr::unit_present(e.unit))
        return false;
    size_t digits = 0;
    bool point = false;
    if (!tvl::wr::plain_decimal(text, len, digits, point)) return false;
    // As refused_under_held_run tells, without the full rules.
    if (r.param_events != 0 &&
        (run_len - 1 > tvl::kAnnotationTextMax ||
         !tvl::wr::number_passes(r.type, r.bits, r.base, text, len, digits, point)))
        return false;
    Output &o = obs->out;
    ArrayLevel *const open = open_level(o);
    ArrayLevel *const comma = comma_level(o, open, false);
    const size_t total = run_bytes(o, r, comma) + len;
    uint8_t *const start = tvl::wr::claim(o, total);
    if (start == nullptr) return false;
    // put_run with the lengths read above.
    uint8_t *p = comma != nullptr ? tvl::wr::put_comma(o, start) : start;
    tvl::wr::copy_bytes(p, r.text, run_len);
    p += run_len;
    *p++ = '>';
    if (o.pretty) *p++ = ' ';
    tvl::wr::copy_bytes(p, text, len);
    tvl::wr::commit(o, total);
    after_run(o, r, comma);
    // The value's own changes; no comma stands before it, right after the run.
    o.after_annotation = false;
    o.statement_open = true;
    if (open != nullptr) open->separator_due = true;
    drop_run(obs);
    return true;
}

// The value after a complete held run.
[[gnu::noinline]] bool on_value_after_run(tvlr_canon_observer *obs, const tvlr_event &e) {
    if (obs->in_pieces && put_run_and_value(obs, e)) return true;
    return settle_run(obs, TVLR_EV_VALUE, e);
}

// An event while a run is held that is no next event of its memo, or a type_start.
[[gnu::noinline]] bool on_other_run_event(tvlr_canon_observer *obs, uint32_t kind,
                                          const tvlr_event &e) {
    const bool run_event =
        kind == TVLR_EV_TYPE_NAME || kind == TVLR_EV_TYPE_PARAM || kind == TVLR_EV_TYPE_END;
    if (obs->holding && !obs->complete && run_event && hold(obs, kind, e)) return true;
    return settle_run(obs, kind, e);
}

// An event while a run is held. The common ones first, with few compares and no frame: the
// next event of the memo that the run matches, and the value after a complete run.
[[gnu::noinline]] bool on_run_event(tvlr_canon_observer *obs, uint32_t kind, const tvlr_event &e) {
    if (obs->matching && !obs->complete &&
        same_event<true>(obs->memo[obs->word], obs->run.count, kind, e)) {
        ++obs->run.count;
        obs->complete = kind == TVLR_EV_TYPE_END;
        return true;
    }
    if (kind == TVLR_EV_VALUE && obs->complete) return on_value_after_run(obs, e);
    return on_other_run_event(obs, kind, e);
}

}  // namespace

extern "C" {

tvlr_canon_observer *tvlr_canon_observer_create(const tvlr_sink *sink, bool pretty) {
    if (sink == nullptr || sink->write == nullptr) return nullptr;
    auto *obs = static_cast<tvlr_canon_observer *>(
        tvl::mem::allocate_zeroed(1, sizeof(tvlr_canon_observer)));
    if (obs == nullptr) return nullptr;
    tvl::wr::output_open(obs->out, *sink, pretty);
    obs->in_pieces = !tvl::wr::testing::event_path();
    return obs;
}

void tvlr_canon_observer_destroy(tvlr_canon_observer *observer) {
    tvl::mem::release(observer);
}

uint64_t tvlr_canon_observer_bytes_written(const tvlr_canon_observer *observer) {
    return observer != nullptr ? tvl::wr::output_count(observer->out) : 0;
}

bool tvlr_canon_observer_on_event(void *observer, uint32_t kind, tvlr_event *event) {
    auto *obs = static_cast<tvlr_canon_observer *>(observer);
    if (obs == nullptr || event == nullptr) return true;
    // Most events neither start nor continue a held run: straight to the output.
    if (!obs->holding)
        return kind == TVLR_EV_TYPE_START ? on_type_start(obs, *event) : output(obs, kind, *event);
    return on_run_event(obs, kind, *event);
}

bool tvlr_canon_observer_finish(tvlr_canon_observer *observer) {
    if (observer == nullptr) return true;
    if (observer->holding && !replay(observer)) return false;
    return tvl::wr::close_statement(observer->out) && tvl::wr::flush(observer->out);
}

}  // extern "C"
