// Completion of collected tokens into events: member names, values, type
// annotations (explicit and added), and the bookkeeping of arrays, rows and
// structs.
#include <cstring>

#include "core/unit_value.h"
#include "reader/reader_impl.h"
#include "reader/scanner_table.h"

namespace tvl::rd {
namespace {

using namespace tvl::scan;

void clear_token(tvlr_reader *r) {
    r->text_len = r->type_len = r->unit_len = 0;
    r->token_kind = TK_nothing;
}

void clear_type_in_force(tvlr_reader *r) {
    r->in_force.type = r->in_force.bits = r->in_force.base = 0;
    r->in_force.unit = kNeutralUnit;
    r->annotation = {};
}

bool text_is(const tvlr_reader *r, const char *word, uint32_t len) {
    return r->text_len == len && std::memcmp(r->text, word, len) == 0;
}

// Emits the annotation run that the reader adds to an untyped string,
// number or boolean, unless the annotation in force already says the same.
bool add_annotation(tvlr_reader *r, uint32_t type, uint32_t bits, const char *word, bool number) {
    const AnnotationInForce &a = r->annotation;
    const bool same = a.active && a.type == type && (a.bits ? a.bits : 64) == (bits ? bits : 64) &&
                      (a.base == 0 || a.base == 10 || type == TVLR_TYPE_FLOAT_DEC);
    r->in_force.type = type;
    r->in_force.bits = bits;
    r->in_force.base = 0;
    r->in_force.unit = kNeutralUnit;
    if (same) return true;
    r->annotation = {type, bits, 0, false, true};

    const auto *w = reinterpret_cast<const uint8_t *>(word);
    const auto wlen = static_cast<uint32_t>(std::strlen(word));
    if (!emit(r, TVLR_EV_TYPE_START, TVL_VK_TYPE, w, wlen)) return false;
    if (!emit(r, TVLR_EV_TYPE_NAME, TVL_VK_TYPE, w, wlen)) return false;
    if (number) {
        if (!emit(r, TVLR_EV_TYPE_PARAM, TVL_VK_BITS, nullptr, 0)) return false;
        if (type != TVLR_TYPE_FLOAT_DEC && !emit(r, TVLR_EV_TYPE_PARAM, TVL_VK_BASE, nullptr, 0))
            return false;
        if (r->unit_len) {
            if (!emit(r, TVLR_EV_TYPE_PARAM, TVL_VK_UNIT, r->unit_text, r->unit_len)) return false;
        } else {
            static constexpr char kNoUnit[] = "no_unit";
            if (!emit(r, TVLR_EV_TYPE_PARAM, TVL_VK_UNIT, reinterpret_cast<const uint8_t *>(kNoUnit),
                      sizeof kNoUnit - 1))
                return false;
        }
    }
    return emit(r, TVLR_EV_TYPE_END, TVL_VK_TYPE, w, wlen);
}

// Completes a value token and emits its value event.
bool complete_value(tvlr_reader *r) {
    const uint32_t kind = r->token_kind;
    r->text[r->text_len] = 0;
    r->unit_text[r->unit_len] = 0;

    if (kind == TK_symbol) {
        if (text_is(r, "null", 4)) return emit(r, TVLR_EV_VALUE, TVL_VK_NULL, nullptr, 0);
        const bool is_true = text_is(r, "true", 4) || text_is(r, "on", 2);
        const bool is_false = text_is(r, "false", 5) || text_is(r, "off", 3);
        if (is_true || is_false) {
            if (r->in_force.type == TVLR_TYPE_PLAIN) {
                if (!add_annotation(r, TVLR_TYPE_BOOL, 0, "bool", false)) return false;
            } else if (r->in_force.type != TVLR_TYPE_BOOL) {
                return fail(r, TVL_ERR_TYPE_VALUE_MISMATCH);
            }
            static constexpr char kTrue[] = "true", kFalse[] = "false";
            const char *t = is_true ? kTrue : kFalse;
            return emit(r, TVLR_EV_VALUE, TVL_VK_BOOL, reinterpret_cast<const uint8_t *>(t),
                        is_true ? 4 : 5);
        }
    }
    if (kind == TK_null) return emit(r, TVLR_EV_VALUE, TVL_VK_NULL, nullptr, 0);

    const bool is_string = kind == TK_string || kind == TK_array_string;
    const bool is_number = kind == TK_number || kind == TK_array_number;
    if (r->in_force.type == TVLR_TYPE_PLAIN) {
        if (is_string) {
            if (!add_annotation(r, TVLR_TYPE_UTF8, 0, "utf8", false)) return false;
        } else if (is_number) {
            bool is_float = r->has_point || r->has_exponent || r->is_special;
            if (is_float) {
                if (!add_annotation(r, TVLR_TYPE_FLOAT, 64, "float", true)) return false;
            } else if (r->text[0] == '-') {
                if (!add_annotation(r, TVLR_TYPE_SINT, 64, "sint", true)) return false;
            } else {
                if (!add_annotation(r, TVLR_TYPE_UINT, 64, "uint", true)) return false;
            }
        }
    }
    return emit(r, TVLR_EV_VALUE, kind, r->text, r->text_len);
}

// Completes whatever token is pending: a value (or element), or nothing.
bool complete_pending(tvlr_reader *r) {
    if (r->token_kind == TK_nothing) return true;
    if (r->token_kind == TK_struct_opened) {
        r->token_kind = TK_nothing;
        return true;
    }
    bool ok = complete_value(r);
    clear_token(r);
    return ok;
}

// Null value that carries the annotation just read (`<uint:8>;`).
bool annotated_null(tvlr_reader *r) {
    clear_token(r);
    return emit(r, TVLR_EV_VALUE, TVL_VK_NULL, nullptr, 0);
}

}  // namespace

void open_struct_level(tvlr_reader *r) {
    r->struct_stack[r->struct_depth] = {r->elements, r->row_length, r->array_items, r->array_depth,
                                        r->in_array};
}

void close_struct_level(tvlr_reader *r) {
    const StructLevel &s = r->struct_stack[r->struct_depth];
    r->elements = s.elements;
    r->row_length = s.row_length;
    r->array_items = s.array_items;
    r->in_array = s.in_array;
}

bool complete_assign(tvlr_reader *r) {
    if (r->text_len == 0) return fail(r, TVL_ERR_EMPTY_IDENTIFIER);
    r->text[r->text_len] = 0;
    clear_type_in_force(r);
    if (!emit(r, TVLR_EV_MEMBER_NAME, 0, r->text, r->text_len)) return false;
    clear_token(r);
    r->has_point = r->has_exponent = r->is_special = false;
    r->array_items = 0;
    r->in_array = false;
    r->token_kind = TK_null;
    r->state = S_value;
    return true;
}

bool complete_terminate(tvlr_reader *r) {
    // A member ends only after all of its arrays have closed, so that every
    // array_start gets its array_end.
    if (r->array_depth > member_array_base(r)) return fail(r, TVL_ERR_UNEXPECTED_INPUT_BYTE);
    if (!complete_pending(r)) return false;
    clear_type_in_force(r);
    r->has_point = r->has_exponent = r->is_special = false;
    if (r->struct_depth == 0) {
        r->array_depth = 0;
        r->in_array = false;
        r->row_length = 0;
    }
    r->state = S_after_member;
    return true;
}

bool complete_annotation_end(tvlr_reader *r) {
    r->type_text[r->type_len] = 0;
    const auto *t = r->type_text;
    const uint32_t n = r->type_len;
    if (!emit(r, TVLR_EV_TYPE_START, TVL_VK_TYPE, t, n)) return false;
    if (!emit(r, TVLR_EV_TYPE_NAME, TVL_VK_TYPE, t, n)) return false;
    if (!emit(r, TVLR_EV_TYPE_END, TVL_VK_TYPE, t, n)) return false;
    r->token_kind = TK_nothing;
    r->state = S_after_annotation;
    return true;
}

bool complete_annotated_terminate(tvlr_reader *r) {
    if (!annotated_null(r)) return false;
    return complete_terminate(r);
}

bool complete_annotated_element_sep(tvlr_reader *r) {
    if (!r->in_array) return fail(r, TVL_ERR_UNEXPECTED_INPUT_BYTE);
    r->token_kind = TK_null;
    return complete_element_sep(r);
}

bool complete_annotated_array_end(tvlr_reader *r) {
    if (!r->in_array) return fail(r, TVL_ERR_UNEXPECTED_INPUT_BYTE);
    r->token_kind = TK_null;
    return complete_array_end(r);
}

bool complete_array_start(tvlr_reader *r) {
    if (r->max_array_items != 0 && r->array_items == r->max_array_items)
        return fail(r, TVL_ERR_TOO_MANY_ARRAY_ITEMS);
    if (r->array_depth == r->max_array_depth) return fail(r, TVL_ERR_ARRAY_NESTING_TOO_HIGH);
    ++r->array_items;
    ArrayLevel &level = r->array_stack[r->array_depth];
    level.elements = r->elements;
    level.row_length = r->row_length;
    level.in_force = r->in_force;
    r->elements = 1;
    r->row_length = level.row_break_seen ? level.closed_row_length : 0;
    ArrayLevel &next = r->array_stack[r->array_depth + 1];
    next.closed_row_length = 0;
    next.row_break_seen = false;
    if (!emit(r, TVLR_EV_ARRAY_START, 0, nullptr, 0)) return false;
    r->token_kind = TK_null;
    r->in_array = true;
    ++r->array_depth;
    r->state = S_array_open;
    return true;
}

bool complete_element_sep(tvlr_reader *r) {
    if (!r->in_array || r->array_depth <= member_array_base(r))
        return fail(r, TVL_ERR_UNEXPECTED_INPUT_BYTE);
    if (!complete_pending(r)) return false;
    if (r->max_array_items != 0 && r->array_items == r->max_array_items)
        return fail(r, TVL_ERR_TOO_MANY_ARRAY_ITEMS);
    if (r->row_length != 0 && r->row_length <= r->elements)
        return fail(r, TVL_ERR_ARRAY_ROW_SIZE_MISMATCH);
    ++r->array_items;
    ++r->elements;
    r->has_point = r->has_exponent = r->is_special = false;
    r->array_stack[r->array_depth].row_break_seen = false;
    r->in_force = r->array_stack[r->array_depth - 1].in_force;
    r->token_kind = TK_null;
    r->state = S_after_comma;
    return true;
}

bool complete_array_end(tvlr_reader *r) {
    if (!r->in_array || r->array_depth <= member_array_base(r))
        return fail(r, TVL_ERR_UNEXPECTED_INPUT_BYTE);
    if (!complete_pending(r)) return false;
    if (r->row_length == 0) {
        r->row_length = r->elements;
    } else if (r->row_length != r->elements) {
        return fail(r, TVL_ERR_ARRAY_ROW_SIZE_MISMATCH);
    }
    if (!emit(r, TVLR_EV_ARRAY_END, 0, nullptr, 0, true)) return false;
    --r->array_depth;
    ArrayLevel &level = r->array_stack[r->array_depth];
    level.closed_row_length = r->row_length;
    r->elements = level.elements + 1;
    r->row_length = level.row_length;
    r->in_force = level.in_force;
    r->in_array = r->array_depth > member_array_base(r);
    r->has_point = r->has_exponent = r->is_special = false;
    r->state = S_after_array;
    return true;
}

bool complete_row_break(tvlr_reader *r) {
    if (!emit(r, TVLR_EV_ROW_BREAK, 0, nullptr, 0)) return false;
    r->array_stack[r->array_depth].row_break_seen = true;
    r->state = S_after_slash;
    return true;
}

}  // namespace tvl::rd
