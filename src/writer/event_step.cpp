// The common events in one step each: the checks, the output and the bookkeeping of an event that
// the writer accepts, fused into one pass for the shapes that make up most documents (member
// names, plain values, structs, arrays, annotation runs of a type word and a width).
//
// A step only ever accepts. It returns false, having changed nothing, for an event that it does
// not settle with certainty: anything that may be refused, a value that needs the full rules, a
// unit that the annotation in force did not declare, a piece that does not fit the memory sink
// or the buffer in one claim. Such an event takes
// the general path (check_event, output_event, note_structure), which gives the same bytes, state
// and results and stays the reference that the tests compare the steps with.
#include <array>
#include <cstring>

#include "core/annotation.h"
#include "core/byte_classes.h"
#include "core/limits.h"
#include "core/text_tokens.h"
#include "writer/pieces.h"
#include "writer/writer_impl.h"

namespace tvl::wr {
namespace {

// The comma before an item that the general path writes, and the array level it belongs to:
// an element was written in the directly open array and no annotation stands between (an
// annotation's own comma ignores the annotation before it, which cannot be open here).
ArrayLevel *comma_level(Output &o, bool after_annotation_suppresses) {
    if (after_annotation_suppresses && o.after_annotation) return nullptr;
    ArrayLevel *level = const_cast<ArrayLevel *>(directly_open_level(o));
    return level != nullptr && level->separator_due ? level : nullptr;
}

// The element count and row check of a comma: a row may not grow past its length.
bool comma_fits(const Rows &rows) {
    return rows.row_length == 0 || rows.row_length > rows.elements;
}

// The row bookkeeping of a comma written at the array depth: one element more.
void count_comma(tvlr_writer &w, uint32_t array_depth) {
    if (array_depth < kArrayLevels) {
        ++w.rows.elements;
        w.rows.levels[array_depth].row_break_seen = false;
    }
}

// The state changes of a written comma: the array's type in force again, one element more.
void after_comma(tvlr_writer &w, ArrayLevel &level) {
    level.separator_due = false;
    copy_in_force(w.out.in_force, level.saved);
    count_comma(w, w.out.array_depth);
}

bool member_name(tvlr_writer &w, const tvlr_event &e) {
    Output &o = w.out;
    const size_t len = e.text_len;
    if (w.previous == TVLR_EV_TYPE_END || e.text == nullptr || len > kTokenMaxLen ||
        !is_ascii_name(e.text, len) || !put_member_piece(o, e.text, len))
        return false;
    forget_member_rows(w.rows, o.array_depth);
    return true;
}

bool value(tvlr_writer &w, const tvlr_event &e) {
    Output &o = w.out;
    const char *const text = e.text;
    const size_t len = e.text_len;
    if (text == nullptr || len > kTokenMaxLen) return false;
    ArrayLevel *const open = const_cast<ArrayLevel *>(directly_open_level(o));
    ArrayLevel *const level =
        open != nullptr && open->separator_due && !o.after_annotation ? open : nullptr;
    if (level != nullptr && !comma_fits(w.rows)) return false;
    // A reader checks the value against the type it has in force, restored by the comma.
    const InForce &f = level != nullptr ? level->saved : o.in_force;
    // A unit goes with a value only as the unit that the annotation in force declared; the text
    // then carries it there and not as a suffix.
    if (unit_present(e.unit) &&
        (!f.declared_unit || !tvl_unit_valid(e.unit) || !same_unit(e.unit, f.unit)))
        return false;
    switch (e.value_kind) {
        case TVL_VK_NUMBER:
        case TVL_VK_ARRAY_NUMBER: {
            size_t digits = 0;
            bool point = false;
            if (!plain_decimal(text, len, digits, point)) return false;
            // The type in force needs its own check only where it differs from the declared one.
            if (!number_passes(e.value_type, e.bits, e.base, text, len, digits, point) ||
                ((f.type != e.value_type || f.bits != e.bits || f.base != e.base) &&
                 !number_passes(f.type, f.bits, f.base, text, len, digits, point)))
                return false;
            if (!put_plain_value(o, open, level, TVL_VK_NUMBER, text, len)) return false;
            break;
        }
        case TVL_VK_STRING:
        case TVL_VK_ARRAY_STRING: {
            auto text_type = [](uint32_t t) { return t == TVLR_TYPE_PLAIN || t == TVLR_TYPE_UTF8; };
            if (!text_type(e.value_type) || !text_type(f.type)) return false;
            // The content check only where the text leaves printable ASCII, found while it is
            // written.
            if (!put_plain_value(o, open, level, TVL_VK_STRING, text, len, true)) return false;
            break;
        }
        case TVL_VK_SYMBOL:
            if (e.value_type != TVLR_TYPE_PLAIN || f.type != TVLR_TYPE_PLAIN ||
                !is_ascii_name(text, len) || is_reserved_word(text, len))
                return false;
            if (!put_plain_value(o, open, level, TVL_VK_SYMBOL, text, len)) return false;
            break;
        case TVL_VK_BOOL: {
            auto bool_type = [](uint32_t t) { return t == TVLR_TYPE_PLAIN || t == TVLR_TYPE_BOOL; };
            if (!bool_type(e.value_type) || !bool_type(f.type) || !is_bool_word(text, len))
                return false;
            if (!put_plain_value(o, open, level, TVL_VK_BOOL, text, len)) return false;
            break;
        }
        case TVL_VK_NULL:
            // Null stands under every type.
            if (!put_plain_value(o, open, level, TVL_VK_NULL, text, len)) return false;
            break;
        default:
            return false;
    }
    if (level != nullptr) count_comma(w, o.array_depth);
    return true;
}

bool struct_start(tvlr_writer &w, const tvlr_event &) {
    Output &o = w.out;
    ArrayLevel *const level = comma_level(o, true);
    const uint32_t depth = o.struct_depth;
    if ((level != nullptr && !comma_fits(w.rows)) || depth >= w.max_struct_depth ||
        !put_struct_start_piece(o, level))
        return false;
    if (level != nullptr) count_comma(w, o.array_depth);
    if (o.array_depth < kArrayLevels && depth <= kDepthLimitMax)
        w.rows.around_struct[depth] = {w.rows.elements, w.rows.row_length};
    return true;
}

bool struct_end(tvlr_writer &w, const tvlr_event &) {
    Output &o = w.out;
    if (w.previous == TVLR_EV_TYPE_END || !put_struct_end_piece(o)) return false;
    const uint32_t depth = o.struct_depth;
    if (o.array_depth < kArrayLevels && depth <= kDepthLimitMax) {
        w.rows.elements = w.rows.around_struct[depth].elements;
        w.rows.row_length = w.rows.around_struct[depth].row_length;
    }
    return true;
}

bool array_start(tvlr_writer &w, const tvlr_event &) {
    Output &o = w.out;
    ArrayLevel *const level = comma_level(o, true);
    const uint32_t depth = o.array_depth;
    if ((level != nullptr && !comma_fits(w.rows)) || depth >= w.max_array_depth ||
        !put_array_start_piece(o, level))
        return false;
    if (level != nullptr) count_comma(w, depth);
    // An array right after a row break is the next row: it must be as long as the last.
    Rows &rows = w.rows;
    RowLevel &outer = rows.levels[depth];
    outer.elements = rows.elements;
    outer.row_length = rows.row_length;
    rows.elements = 1;
    rows.row_length = outer.row_break_seen ? outer.closed_row_length : 0;
    rows.levels[depth + 1].closed_row_length = 0;
    rows.levels[depth + 1].row_break_seen = false;
    return true;
}

bool array_end(tvlr_writer &w, const tvlr_event &) {
    Output &o = w.out;
    Rows &rows = w.rows;
    const uint32_t depth = o.array_depth;
    if (w.previous == TVLR_EV_TYPE_END || w.previous == TVLR_EV_ARRAY_START ||
        (depth > 0 && rows.row_length != 0 && rows.row_length != rows.elements) ||
        !put_array_end_piece(o))
        return false;
    RowLevel &outer = rows.levels[depth - 1];
    outer.closed_row_length = rows.row_length != 0 ? rows.row_length : rows.elements;
    rows.elements = outer.elements + 1;
    rows.row_length = outer.row_length;
    return true;
}

// type_start, type_name, a width and type_end, as the general path writes them.
bool type_start(tvlr_writer &w, const tvlr_event &e) {
    Output &o = w.out;
    if (w.previous == TVLR_EV_TYPE_END || !annotation_fields_valid(e.value_type, e.bits, e.base))
        return false;
    ArrayLevel *const level = comma_level(o, false);
    if (level != nullptr && !comma_fits(w.rows)) return false;
    uint8_t *const start = claim(o, 3);
    if (start == nullptr) return false;
    uint8_t *p = level != nullptr ? put_comma(o, start) : start;
    *p++ = '<';
    commit(o, static_cast<size_t>(p - start));
    if (level != nullptr) after_comma(w, *level);
    o.after_annotation = true;
    o.param_written = false;
    o.in_annotation = true;
    clear_in_force(o.annotation);
    o.annotation_len = 0;
    return true;
}

bool type_name(tvlr_writer &w, const tvlr_event &e) {
    Output &o = w.out;
    if (w.previous == TVLR_EV_TYPE_END || !o.in_annotation || o.annotation.type != 0 ||
        e.value_type < TVLR_TYPE_UTF8 || e.value_type > TVLR_TYPE_BOOL)
        return false;
    const TypeWord word = kTypeWords[e.value_type];
    uint8_t *const p = claim(o, word.len);
    if (p == nullptr || o.annotation_len + word.len > kAnnotationTextMax) return false;
    copy_short(p, reinterpret_cast<const uint8_t *>(word.text), word.len);
    commit(o, word.len);
    o.annotation.type = e.value_type;
    o.annotation_len += word.len;
    return true;
}

bool type_width(tvlr_writer &w, const tvlr_event &e) {
    Output &o = w.out;
    InForce &a = o.annotation;
    if (w.previous == TVLR_EV_TYPE_END || e.value_kind != TVL_VK_BITS || !o.in_annotation ||
        a.type == 0)
        return false;
    const uint32_t bits = written_bits(e);
    // The common widths (below 256) from the table: the prefix and three bytes of digits,
    // of which the first len - 1 are kept.
    const bool small = bits < kSmallDecimals.size();
    const uint32_t len = 1 + (small ? kSmallDecimals[bits].len : decimal_digits(bits));
    if (o.annotation_len + len > kAnnotationTextMax ||
        !annotation_fields_valid(a.type, bits, a.base))
        return false;
    uint8_t *const p = claim(o, small ? 4 : len);
    if (p == nullptr) return false;
    p[0] = o.param_written ? ',' : ':';
    if (small) {
        std::memcpy(p + 1, kSmallDecimals[bits].digits, 3);
    } else {
        write_decimal_before(p + len, bits);
    }
    commit(o, len);
    o.param_written = true;
    a.bits = bits;
    o.annotation_len += len;
    return true;
}

bool type_end(tvlr_writer &w, const tvlr_event &) {
    Output &o = w.out;
    if (w.previous == TVLR_EV_TYPE_END || !o.in_annotation || o.annotation.type == 0) return false;
    const size_t len = o.pretty ? 2 : 1;
    uint8_t *const p = claim(o, len);
    if (p == nullptr) return false;
    p[0] = '>';
    p[len - 1] = o.pretty ? ' ' : '>';
    commit(o, len);
    o.in_annotation = false;
    copy_in_force(o.in_force, o.annotation);
    return true;
}

// One kind through its step, with the general path behind it. After a row break only the next
// row may follow, which the general path decides.
template <uint32_t kKind, EventStep kStep>
bool stepped(tvlr_writer &w, const tvlr_event &e) {
    if (w.previous != TVLR_EV_ROW_BREAK && kStep(w, e)) {
        w.previous = kKind;
        // Every accepted event but the annotation tail marks the document as started.
        if (kKind != TVLR_EV_TYPE_NAME && kKind != TVLR_EV_TYPE_PARAM && kKind != TVLR_EV_TYPE_END)
            w.started = true;
        return true;
    }
    return write_general(w, kKind, e);
}

// The whole step of a value event, for what value_event leaves to it.
[[gnu::noinline]] bool value_in_full(tvlr_writer &w, const tvlr_event &e) {
    return stepped<TVLR_EV_VALUE, value>(w, e);
}

// The bookkeeping of a value written in place from start to p.
inline bool value_taken(tvlr_writer &w, ArrayLevel *open, ArrayLevel *level, uint8_t *start,
                        uint8_t *p) {
    finish_plain_value(w.out, open, level, static_cast<size_t>(p - start));
    if (level != nullptr) count_comma(w, w.out.array_depth);
    w.previous = TVLR_EV_VALUE;
    w.started = true;
    return true;
}

// A string whose text leaves printable ASCII, written from start up to its closing quote at p:
// taken only where its content passes the full check.
[[gnu::noinline]] bool string_checked(tvlr_writer &w, const tvlr_event &e, ArrayLevel *open,
                                      ArrayLevel *level, uint8_t *start, uint8_t *p) {
    if (check_string_content(e.text, e.text_len) != 0) return write_general(w, TVLR_EV_VALUE, e);
    *p++ = '"';
    return value_taken(w, open, level, start, p);
}

// Number and symbol texts up to this length are copied without a library call.
constexpr size_t kShortCopy = 32;

// Where a value goes: the directly open array level, the level whose comma is due before the
// value, and what a reader has in force for it (restored by that comma).
struct ValuePlace {
    ArrayLevel *open;
    ArrayLevel *level;
    const InForce *f;
};

inline ValuePlace value_place(Output &o) {
    ArrayLevel *const open = const_cast<ArrayLevel *>(directly_open_level(o));
    ArrayLevel *const level =
        open != nullptr && open->separator_due && !o.after_annotation ? open : nullptr;
    return {open, level, level != nullptr ? &level->saved : &o.in_force};
}

// The common values, one function for each kind, each with the checks and output of `value`
// and every call the last thing it does, so that none needs registers saved. They begin where
// value_event has found no row break before, no unit and a text.
[[gnu::noinline]] bool number_value(tvlr_writer &w, const tvlr_event &e) {
    Output &o = w.out;
    const char *const text = e.text;
    const size_t len = e.text_len;
    if (len > kShortCopy) return value_in_full(w, e);
    const ValuePlace at = value_place(o);
    const InForce &f = *at.f;
    size_t digits = 0;
    bool point = false;
    uint8_t *start = nullptr;
    // A plain decimal is no special number: it takes no marker.
    if ((at.level != nullptr && !comma_fits(w.rows)) || !plain_decimal(text, len, digits, point) ||
        !number_passes(e.value_type, e.bits, e.base, text, len, digits, point) ||
        ((f.type != e.value_type || f.bits != e.bits || f.base != e.base) &&
         !number_passes(f.type, f.bits, f.base, text, len, digits, point)) ||
        (start = claim(o, 3 + len)) == nullptr)
        return write_general(w, TVLR_EV_VALUE, e);
    uint8_t *p = at.level != nullptr ? put_comma(o, start) : start;
    copy_bytes(p, text, len);
    return value_taken(w, at.open, at.level, start, p + len);
}

[[gnu::noinline]] bool string_value(tvlr_writer &w, const tvlr_event &e) {
    Output &o = w.out;
    const size_t len = e.text_len;
    const ValuePlace at = value_place(o);
    auto text_type = [](uint32_t t) { return t == TVLR_TYPE_PLAIN || t == TVLR_TYPE_UTF8; };
    uint8_t *start = nullptr;
    if ((at.level != nullptr && !comma_fits(w.rows)) || len > kTokenMaxLen ||
        !text_type(e.value_type) || !text_type(at.f->type) ||
        (start = claim(o, 4 + 2 * len)) == nullptr)
        return write_general(w, TVLR_EV_VALUE, e);
    uint8_t *p = at.level != nullptr ? put_comma(o, start) : start;
    *p++ = '"';
    bool odd = false;
    p = put_literal_body(p, e.text, len, odd);
    if (odd) return string_checked(w, e, at.open, at.level, start, p);
    *p++ = '"';
    return value_taken(w, at.open, at.level, start, p);
}

[[gnu::noinline]] bool symbol_value(tvlr_writer &w, const tvlr_event &e) {
    Output &o = w.out;
    const char *const text = e.text;
    const size_t len = e.text_len;
    if (len > kShortCopy) return value_in_full(w, e);
    const ValuePlace at = value_place(o);
    uint8_t *start = nullptr;
    if ((at.level != nullptr && !comma_fits(w.rows)) || len == 0 ||
        e.value_type != TVLR_TYPE_PLAIN || at.f->type != TVLR_TYPE_PLAIN ||
        !is_short_ascii_name(text, len) || is_reserved_word(text, len) ||
        (start = claim(o, 2 + len)) == nullptr)
        return write_general(w, TVLR_EV_VALUE, e);
    uint8_t *p = at.level != nullptr ? put_comma(o, start) : start;
    copy_bytes(p, text, len);
    return value_taken(w, at.open, at.level, start, p + len);
}

[[gnu::noinline]] bool bool_value(tvlr_writer &w, const tvlr_event &e) {
    Output &o = w.out;
    const size_t len = e.text_len;
    const ValuePlace at = value_place(o);
    auto bool_type = [](uint32_t t) { return t == TVLR_TYPE_PLAIN || t == TVLR_TYPE_BOOL; };
    uint8_t *start = nullptr;
    if ((at.level != nullptr && !comma_fits(w.rows)) || !bool_type(e.value_type) ||
        !bool_type(at.f->type) || !is_bool_word(e.text, len) || (start = claim(o, 7)) == nullptr)
        return write_general(w, TVLR_EV_VALUE, e);
    uint8_t *p = at.level != nullptr ? put_comma(o, start) : start;
    // "true" and "on" (an even length) give true, "false" and "off" false.
    if (len % 2 == 0) {
        std::memcpy(p, "true", 4);
        p += 4;
    } else {
        std::memcpy(p, "false", 5);
        p += 5;
    }
    return value_taken(w, at.open, at.level, start, p);
}

[[gnu::noinline]] bool null_value(tvlr_writer &w, const tvlr_event &e) {
    Output &o = w.out;
    const ValuePlace at = value_place(o);
    uint8_t *start = nullptr;
    // Null stands under every type.
    if ((at.level != nullptr && !comma_fits(w.rows)) || (start = claim(o, 2)) == nullptr)
        return write_general(w, TVLR_EV_VALUE, e);
    uint8_t *p = at.level != nullptr ? put_comma(o, start) : start;
    return value_taken(w, at.open, at.level, start, p);
}

// A value event: the common values (no unit; numbers and symbols of up to kShortCopy bytes,
// strings, booleans, null) through the function of their kind, the rest through the whole step.
bool value_event(tvlr_writer &w, const tvlr_event &e) {
    if (w.previous == TVLR_EV_ROW_BREAK || e.unit.count != 0 || e.text == nullptr)
        return value_in_full(w, e);
    switch (e.value_kind) {
        case TVL_VK_NUMBER:
        case TVL_VK_ARRAY_NUMBER:
            return number_value(w, e);
        case TVL_VK_STRING:
        case TVL_VK_ARRAY_STRING:
            return string_value(w, e);
        case TVL_VK_SYMBOL:
            return symbol_value(w, e);
        case TVL_VK_BOOL:
            return bool_value(w, e);
        case TVL_VK_NULL:
            return null_value(w, e);
        default:
            return write_general(w, TVLR_EV_VALUE, e);
    }
}

// The whole step of a member name, for what member_event leaves to it.
[[gnu::noinline]] bool member_in_full(tvlr_writer &w, const tvlr_event &e) {
    return stepped<TVLR_EV_MEMBER_NAME, member_name>(w, e);
}

// A member name: an ASCII name of up to kShortCopy bytes at a line without tabs before it, with
// the checks and output of `member_name` and no call that returns here (see number_value); the
// rest through the whole step.
bool member_event(tvlr_writer &w, const tvlr_event &e) {
    Output &o = w.out;
    const char *const name = e.text;
    const size_t len = e.text_len;
    if (len > kShortCopy || (o.pretty && o.struct_depth != 0)) return member_in_full(w, e);
    if (w.previous == TVLR_EV_ROW_BREAK || w.previous == TVLR_EV_TYPE_END || name == nullptr ||
        len == 0 || !is_short_ascii_name(name, len) || !put_member_piece_at(o, 0, name, len))
        return write_general(w, TVLR_EV_MEMBER_NAME, e);
    forget_member_rows(w.rows, o.array_depth);
    w.previous = TVLR_EV_MEMBER_NAME;
    w.started = true;
    return true;
}

template <uint32_t kKind>
bool general(tvlr_writer &w, const tvlr_event &e) {
    return write_general(w, kKind, e);
}

}  // namespace

// Indexed by event kind; to_array makes a missing or extra entry a compile error.
const std::array<EventStep, kEventKinds> kEventSteps = std::to_array<EventStep>({
    general<TVLR_EV_DOC_START>,
    member_event,
    general<TVLR_EV_OCTETS_START>,
    general<TVLR_EV_OCTETS_END>,
    stepped<TVLR_EV_STRUCT_START, struct_start>,
    stepped<TVLR_EV_STRUCT_END, struct_end>,
    stepped<TVLR_EV_ARRAY_START, array_start>,
    stepped<TVLR_EV_ARRAY_END, array_end>,
    general<TVLR_EV_ROW_BREAK>,
    value_event,
    stepped<TVLR_EV_TYPE_START, type_start>,
    stepped<TVLR_EV_TYPE_END, type_end>,
    stepped<TVLR_EV_TYPE_NAME, type_name>,
    stepped<TVLR_EV_TYPE_PARAM, type_width>,
    general<TVLR_EV_DOC_END>,
});

}  // namespace tvl::wr
