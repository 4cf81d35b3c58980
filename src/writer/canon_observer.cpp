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
#include <cstdlib>
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

// What the output reads of an event of an annotation run: the kind, the parameter fields and
// the text (of the unit parameter; the type word's for type_start).
struct HeldEvent {
    uint32_t kind;
    uint32_t value_kind;
    uint32_t value_type;
    uint32_t bits;
    uint32_t base;
    uint32_t text_len;
    const char *text;
};

}  // namespace

struct tvlr_canon_observer {
    tvl::wr::Output out;  // first: the sink copy is the start of the object
    bool holding;
    bool run_complete;  // the held run's type_end has arrived
    // Runs and plain values are written in one piece (not in the tests' reference runs, which
    // write them event by event).
    bool in_pieces;
    uint32_t held_count;
    HeldEvent held[kMaxHeldEvents];
    tvlr_event replayed;                    // the record a held event is replayed from
    char held_word[16];                     // text of the held type_start
    char held_unit[tvl::kUnitTextMax + 1];  // text of the held unit parameter
};

namespace {

// The output of one event: plain values, member names and structure in one piece each, the
// rest through the output step.
bool output(tvlr_canon_observer *obs, uint32_t kind, const tvlr_event &e) {
    using namespace tvl::wr;
    Output &o = obs->out;
    if (obs->in_pieces) {
        const char *text = e.text != nullptr ? e.text : "";
        const size_t len = e.text != nullptr ? e.text_len : 0;
        auto *open = const_cast<ArrayLevel *>(directly_open_level(o));
        auto *comma =
            open != nullptr && open->separator_due && !o.after_annotation ? open : nullptr;
        switch (kind) {
            case TVLR_EV_MEMBER_NAME:
                if (put_member_piece(o, text, len)) return true;
                break;
            case TVLR_EV_VALUE:
                if (!unit_present(e.unit) &&
                    put_plain_value(o, open, comma, e.value_kind, text, len))
                    return true;
                break;
            case TVLR_EV_STRUCT_START:
                if (put_struct_start_piece(o, comma)) return true;
                break;
            case TVLR_EV_STRUCT_END:
                if (put_struct_end_piece(o)) return true;
                break;
            case TVLR_EV_ARRAY_START:
                if (put_array_start_piece(o, comma)) return true;
                break;
            case TVLR_EV_ARRAY_END:
                if (put_array_end_piece(o)) return true;
                break;
            default:
                break;
        }
    }
    return output_event(o, kind, e, nullptr);
}

bool is_bare_number_word(const tvlr_event &e) {
    if (e.text == nullptr) return false;
    for (uint32_t t : {TVLR_TYPE_UINT, TVLR_TYPE_SINT, TVLR_TYPE_FLOAT, TVLR_TYPE_FLOAT_DEC}) {
        const tvl::TypeWord w = tvl::type_word(t);
        if (e.text_len == w.len && std::memcmp(e.text, w.text, w.len) == 0) return true;
    }
    return false;
}

// Keeps what the output needs of one event of the run; false when it cannot be kept.
bool hold(tvlr_canon_observer *obs, uint32_t kind, const tvlr_event &e) {
    if (obs->held_count == kMaxHeldEvents) return false;
    HeldEvent &h = obs->held[obs->held_count];
    h = {kind, e.value_kind, e.value_type, e.bits, e.base, 0, ""};
    if (kind == TVLR_EV_TYPE_START) {
        if (e.text == nullptr || e.text_len > sizeof obs->held_word) return false;
        std::memcpy(obs->held_word, e.text, e.text_len);
        h.text = obs->held_word;
        h.text_len = e.text_len;
    } else if (kind == TVLR_EV_TYPE_PARAM && e.value_kind == TVL_VK_UNIT) {
        if (e.text == nullptr || e.text_len >= sizeof obs->held_unit) return false;
        std::memcpy(obs->held_unit, e.text, e.text_len);
        h.text = obs->held_unit;
        h.text_len = e.text_len;
    }
    ++obs->held_count;
    if (kind == TVLR_EV_TYPE_END) obs->run_complete = true;
    return true;
}

// The bytes of one held parameter with the number it sets, as the output step writes it:
// the prefix (':' or ','), then the width, `_` and the base, `q` and the fraction count, or the
// unit text. Other kinds write nothing. Returns the end of the bytes.
uint8_t *render_param(const HeldEvent &h, bool first, uint8_t *p, uint32_t &number) {
    char marker = 0;
    switch (h.value_kind) {
        case TVL_VK_BITS:
            number = tvl::wr::written_bits(h);
            break;
        case TVL_VK_BASE:
            number = tvl::wr::written_base(h);
            marker = '_';
            break;
        case TVL_VK_FRACTION:
            number = tvl::wr::written_fraction(h);
            marker = 'q';
            break;
        case TVL_VK_UNIT:
            *p++ = first ? ':' : ',';
            std::memcpy(p, h.text, h.text_len);
            return p + h.text_len;
        default:
            return p;
    }
    *p++ = first ? ':' : ',';
    if (marker != 0) *p++ = static_cast<uint8_t>(marker);
    p += tvl::wr::decimal_digits(number);
    tvl::wr::write_decimal_before(p, number);
    return p;
}

// A complete held run (type_start, type_name, parameters, type_end) written as one piece where
// it fits the memory sink or the buffer, with the state changes of its events through the
// output step. False, with nothing changed, for any other run or where it does not fit.
bool write_run(tvlr_canon_observer *obs) {
    const uint32_t n = obs->held_count;
    const HeldEvent *h = obs->held;
    if (n < 3 || h[0].kind != TVLR_EV_TYPE_START || h[1].kind != TVLR_EV_TYPE_NAME ||
        h[n - 1].kind != TVLR_EV_TYPE_END)
        return false;
    for (uint32_t i = 2; i + 1 < n; ++i)
        if (h[i].kind != TVLR_EV_TYPE_PARAM) return false;
    tvl::wr::Output &o = obs->out;
    // The text, at most a comma and space, '<', a type word, five parameters of up to 256 bytes
    // and "> ".
    uint8_t text[8 + 16 + (kMaxHeldEvents - 3) * (2 + tvl::kUnitTextMax) + 2];
    uint8_t *p = text;
    tvl::wr::ArrayLevel *level = const_cast<tvl::wr::ArrayLevel *>(tvl::wr::directly_open_level(o));
    const bool comma = level != nullptr && level->separator_due;
    if (comma) {
        *p++ = ',';
        if (o.pretty) *p++ = ' ';
    }
    const size_t annotation_start = static_cast<size_t>(p - text) + 1;
    *p++ = '<';
    const uint32_t type = h[1].value_type;
    const tvl::TypeWord word = tvl::type_word(type);
    std::memcpy(p, word.text, word.len);
    p += word.len;
    uint32_t bits = 0, base = 0;
    bool params = false, declared_unit = false;
    for (uint32_t i = 2; i + 1 < n; ++i) {
        uint32_t number = 0;
        uint8_t *const before = p;
        p = render_param(h[i], !params, p, number);
        if (p == before) continue;
        params = true;
        if (h[i].value_kind == TVL_VK_BITS) {
            bits = number;
        } else if (h[i].value_kind == TVL_VK_UNIT) {
            declared_unit = true;  // a unit that the output does not parse: the empty one
        } else {
            base = number;
        }
    }
    const auto annotation_len =
        static_cast<uint32_t>(static_cast<size_t>(p - text) - annotation_start);
    *p++ = '>';
    if (o.pretty) *p++ = ' ';
    const auto total = static_cast<size_t>(p - text);
    uint8_t *const to = tvl::wr::claim(o, total);
    if (to == nullptr) return false;
    std::memcpy(to, text, total);
    tvl::wr::commit(o, total);

    if (comma) {
        // The comma brings back the array's type, which the run's then replaces.
        level->separator_due = false;
        if (level->saved.declared_unit) o.in_force.unit = level->saved.unit;
    }
    o.after_annotation = true;
    o.param_written = params;
    o.in_annotation = false;
    o.annotation_len = annotation_len;
    o.annotation.type = o.in_force.type = type;
    o.annotation.bits = o.in_force.bits = bits;
    o.annotation.base = o.in_force.base = base;
    o.annotation.declared_unit = o.in_force.declared_unit = declared_unit;
    if (declared_unit) {
        std::memset(static_cast<void *>(&o.annotation.unit), 0, sizeof o.annotation.unit);
        std::memset(static_cast<void *>(&o.in_force.unit), 0, sizeof o.in_force.unit);
    }
    obs->holding = false;
    obs->held_count = 0;
    return true;
}

bool replay(tvlr_canon_observer *obs) {
    if (obs->in_pieces && write_run(obs)) return true;
    const uint32_t n = obs->held_count;
    obs->holding = false;
    obs->held_count = 0;
    tvlr_event &e = obs->replayed;
    for (uint32_t i = 0; i < n; ++i) {
        const HeldEvent &h = obs->held[i];
        e.value_kind = h.value_kind;
        e.value_type = h.value_type;
        e.bits = h.bits;
        e.base = h.base;
        e.text = h.text;
        e.text_len = h.text_len;
        if (!tvl::wr::output_event(obs->out, h.kind, e, nullptr)) return false;
    }
    return true;
}

// True when a reader would refuse the value after the held run written out: the value does not
// pass the run's type, or the run's text is longer than an annotation may be.
bool refused_under_held_run(const tvlr_canon_observer *obs, const tvlr_event &value) {
    uint32_t type = 0, bits = 0, base = 0, text_len = 0, params = 0;
    for (uint32_t i = 0; i < obs->held_count; ++i) {
        const HeldEvent &h = obs->held[i];
        if (h.kind == TVLR_EV_TYPE_NAME) {
            type = h.value_type;
            text_len += tvl::type_word(type).len;
        }
        if (h.kind != TVLR_EV_TYPE_PARAM) continue;
        ++params;
        switch (h.value_kind) {
            case TVL_VK_BITS:
                bits = tvl::wr::written_bits(h);
                text_len += 1 + tvl::wr::decimal_digits(bits);
                break;
            case TVL_VK_BASE:
                base = tvl::wr::written_base(h);
                text_len += 2 + tvl::wr::decimal_digits(base);
                break;
            case TVL_VK_FRACTION:
                base = tvl::wr::written_fraction(h);
                text_len += 2 + tvl::wr::decimal_digits(base);
                break;
            case TVL_VK_UNIT:
                text_len += 1 + h.text_len;
                break;
            default:
                break;
        }
    }
    // A run without parameters was written so in the input: it is kept as it is.
    if (params == 0) return false;
    if (text_len > tvl::kAnnotationTextMax) return true;
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

// An event while a run is held, or a type_start: holds, replays or drops the run as the event
// after it requires. Out of line, so that the other events take a short path.
[[gnu::noinline]] bool on_run_event(tvlr_canon_observer *obs, uint32_t kind, const tvlr_event &e) {
    if (obs->holding) {
        const bool run_event =
            kind == TVLR_EV_TYPE_NAME || kind == TVLR_EV_TYPE_PARAM || kind == TVLR_EV_TYPE_END;
        if (run_event && !obs->run_complete && hold(obs, kind, e)) return true;
        if (kind == TVLR_EV_VALUE && obs->run_complete && refused_under_held_run(obs, e)) {
            obs->holding = false;
            obs->held_count = 0;
        } else if (!replay(obs)) {
            return false;
        }
    }
    if (kind == TVLR_EV_TYPE_START && is_bare_number_word(e)) {
        obs->holding = true;
        obs->run_complete = false;
        obs->held_count = 0;
        if (hold(obs, kind, e)) return true;
        obs->holding = false;  // not kept: written at once like any other run
    }
    return output(obs, kind, e);
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
    // Most events neither start nor continue an annotation run: straight to the output.
    if (!obs->holding && kind != TVLR_EV_TYPE_START) return output(obs, kind, *event);
    // The events of a run being held are kept without the frame of the full step.
    if (obs->holding && !obs->run_complete &&
        (kind == TVLR_EV_TYPE_NAME || kind == TVLR_EV_TYPE_PARAM || kind == TVLR_EV_TYPE_END) &&
        hold(obs, kind, *event))
        return true;
    return on_run_event(obs, kind, *event);
}

bool tvlr_canon_observer_finish(tvlr_canon_observer *observer) {
    if (observer == nullptr) return true;
    if (observer->holding && !replay(observer)) return false;
    return tvl::wr::close_statement(observer->out) && tvl::wr::flush(observer->out);
}

}  // extern "C"
