// The scanner: reads chunks from the source, steps every byte through the
// transition table (with bulk paths for white space, token runs and string
// runs), checks UTF-8, counts lines and columns, runs the actions and reads
// embedded octet streams.
#include <cstring>

#include "core/escape.h"
#include "core/utf8.h"
#include "reader/reader_impl.h"
#include "reader/scanner_table.h"

namespace tvl::rd {
namespace {

using namespace tvl::scan;

// ---------------------------------------------------------------------------
// UTF-8 and columns

// Checks b against the pending UTF-8 state and advances the column. False
// when b breaks UTF-8; `was_continuation` then tells whether b was expected
// as a continuation byte.
inline bool utf8_column(tvlr_reader *r, uint8_t b, bool &was_continuation) {
    if (r->utf8_pending) {
        was_continuation = true;
        if (b < r->utf8_lo || b > r->utf8_hi) {
            // The byte cuts the character short; unless it is itself a
            // continuation byte it starts a new character on the line.
            r->utf8_pending = 0;
            if (b < 0x80 || b > 0xBF) r->column = b == '\t' ? r->column / 4 * 4 + 4 : r->column + 1;
            return false;
        }
        --r->utf8_pending;
        r->utf8_lo = 0x80;
        r->utf8_hi = 0xBF;
        return true;
    }
    was_continuation = false;
    if (b < 0x80) {
        r->column = b == '\t' ? r->column / 4 * 4 + 4 : r->column + 1;
        return true;
    }
    ++r->column;
    const Utf8Lead lead = utf8_lead(b);
    if (!lead.valid) return false;
    r->utf8_pending = lead.pending;
    r->utf8_lo = lead.lo;
    r->utf8_hi = lead.hi;
    return true;
}

inline void count_line(tvlr_reader *r, uint8_t b) {
    if (b == '\r' || (b == '\n' && r->prev != '\r')) {
        ++r->line;
        r->column = 0;
    } else if (b == '\n') {
        r->column = 0;
    }
}

// ---------------------------------------------------------------------------
// Actions of the scanner itself

inline bool append_text(tvlr_reader *r, uint8_t b, uint32_t limit, uint32_t code) {
    if (r->text_len == limit) return fail(r, code);
    r->text[r->text_len++] = b;
    return true;
}

// Appends b to the text buffer and moves to state next.
inline bool append_then(tvlr_reader *r, uint8_t b, uint32_t limit, uint32_t code, uint32_t next) {
    if (!append_text(r, b, limit, code)) return false;
    r->state = next;
    return true;
}

inline bool number_byte(tvlr_reader *r, uint8_t b, uint32_t next) {
    if (r->text_len == 0) r->token_kind = r->in_array ? TK_array_number : TK_number;
    return append_then(r, b, r->max_number_len, TVL_ERR_NUMBER_TOO_LONG, next);
}

inline bool special_word(tvlr_reader *r, const char *word, uint32_t len) {
    if (r->max_number_len < len) return fail(r, TVL_ERR_NUMBER_TOO_LONG);
    std::memcpy(r->text, word, len);
    r->text_len = len;
    r->is_special = true;
    r->state = S_after_special;
    return true;
}

inline void type_word(tvlr_reader *r, const char *word, uint32_t len) {
    std::memcpy(r->type_text, word, len);
    r->type_len = len;
    r->state = S_after_type_word;
}

bool bom_byte(tvlr_reader *r, uint8_t b) {
    if (r->bom_count < 2) {
        if (r->bom_count == 0) r->bom_state = r->state;
        r->bom_bytes[r->bom_count++] = b;
        r->state = S_bom;
        return true;
    }
    if (r->bom_bytes[0] == 0xEF && r->bom_bytes[1] == 0xBB && b == 0xBF &&
        r->bom_state == S_start) {
        r->bom_count = 0;
        r->state = S_before_member;
        return true;
    }
    return fail(r, TVL_ERR_INVALID_BYTE_ORDER_MARK);
}

bool skip_close(tvlr_reader *r, uint8_t b) {
    r->state = S_skip;
    if (b == ']') {
        if (r->skip_brackets) --r->skip_brackets;
        return true;
    }
    if (r->skip_braces) {
        --r->skip_braces;
        return true;
    }
    if (r->struct_depth == 0) return true;
    // An unmatched `}` closes the struct that the error occurred in, after
    // the arrays that its members still hold open.
    if (!close_member_arrays(r)) return false;
    --r->struct_depth;
    close_struct_level(r);
    if (!emit(r, TVLR_EV_STRUCT_END, 0, nullptr, 0)) return false;
    if (r->in_array && r->skip_brackets == 0) {
        // The struct was an array element: the enclosing array reads on
        // normally, so that its elements and its array_end are kept.
        clear_token(r);
        clear_number_state(r);
        copy_in_force(r->in_force, r->array_stack[r->array_depth - 1].in_force);
        r->state = 71;
    }
    return true;
}

bool resync(tvlr_reader *r) {
    if (r->skip_brackets || r->skip_braces) {
        r->state = S_skip;
        return true;
    }
    // Arrays left open by a struct closed while skipping are closed here.
    if (!close_member_arrays(r)) return false;
    reset_value_state(r);
    r->state = S_after_member;
    return true;
}

// Runs the action for byte b in the current state. False with r->error set
// when the byte is refused.
bool dispatch(tvlr_reader *r, uint8_t b) {
    const uint8_t a = kTransitions[r->state][b];
    if (a == kStay) return true;
    if (a < kFirstNamed) {
        if (a == kNoTransition) return fail(r, TVL_ERR_UNEXPECTED_INPUT_BYTE);
        r->state = static_cast<uint32_t>(a - kGotoBase);
        return true;
    }
    switch (a) {
        case A_comment_start:
            r->comment_state = r->state;
            r->state = S_comment_first;
            return true;
        case A_comment_end:
            r->state = r->comment_state == S_after_special  ? S_after_number
                       : r->comment_state == S_after_string ? S_after_string_ws
                                                            : r->comment_state;
            return true;
        case A_lead_comment:
            r->state = S_lead_comment;
            return true;
        case A_lead_comment_byte:
            if (b == 0xEF) {
                r->state = S_lead_comment_ef;
            } else if (r->state == S_lead_comment_ef && b == 0xBB) {
                r->state = S_lead_comment_efbb;
            } else if (r->state == S_lead_comment_efbb && b == 0xBF) {
                return fail(r, TVL_ERR_INVALID_BYTE_ORDER_MARK);
            } else {
                r->state = S_lead_comment;
            }
            return true;
        case A_lead_comment_end:
            r->state = S_before_member;
            return true;
        case A_bom_byte:
            return bom_byte(r, b);
        case A_name_start:
            r->text_len = 0;
            r->token_kind = TK_member_name;
            r->state = S_name_first;
            return true;
        case A_name_append:
            return append_then(r, b, r->max_identifier_len, TVL_ERR_IDENTIFIER_TOO_LONG, S_name);
        case A_annotation_start:
            r->token_kind = TK_annotation;
            r->type_len = 0;
            r->state = S_type_open;
            return true;
        case A_type_word_uint:
            type_word(r, "uint", 4);
            return true;
        case A_type_word_sint:
            type_word(r, "sint", 4);
            return true;
        case A_type_word_float:
            type_word(r, "float", 5);
            return true;
        case A_type_word_utf8:
            type_word(r, "utf8", 4);
            return true;
        case A_type_word_bool:
            type_word(r, "bool", 4);
            return true;
        case A_type_append:
            if (r->type_len == kTypeCap - 1) return fail(r, TVL_ERR_TYPE_TOO_LONG);
            r->type_text[r->type_len++] = b;
            r->state = S_type_text;
            return true;
        case A_number_sign:
            return number_byte(r, b, 38);
        case A_int_digit:
            return number_byte(r, b, 40);
        case A_zero_digit:
            return number_byte(r, b, 39);
        case A_point:
            r->has_point = true;
            return number_byte(r, b, 41);
        case A_lead_point:
            r->has_point = true;
            return number_byte(r, b, 42);
        case A_exponent_mark:
            r->has_exponent = true;
            return number_byte(r, b, 45);
        case A_fraction_digit:
            return append_then(r, b, r->max_number_len, TVL_ERR_NUMBER_TOO_LONG, 43);
        case A_exponent_sign:
            return append_then(r, b, r->max_number_len, TVL_ERR_NUMBER_TOO_LONG, 46);
        case A_exponent_digit:
            return append_then(r, b, r->max_number_len, TVL_ERR_NUMBER_TOO_LONG, 47);
        case A_special_start:
        case A_element_special_start:
            r->text_len = 0;
            // After an annotation inside an array a special number is an
            // element like any other.
            r->token_kind =
                a == A_element_special_start || r->in_array ? TK_array_number : TK_number;
            r->state = 48;
            return true;
        case A_special_nan:
            return special_word(r, "nan", 3);
        case A_special_inf:
            return special_word(r, "inf", 3);
        case A_special_minus_inf:
            return special_word(r, "-inf", 4);
        case A_string_start:
            r->token_kind = r->in_array ? TK_array_string : TK_string;
            r->state = S_string_opened;
            return true;
        case A_element_string_start:
            r->token_kind = TK_array_string;
            r->state = S_string_opened;
            return true;
        case A_string_append:
            return append_then(r, b, r->max_string_len, TVL_ERR_STRING_TOO_LONG, S_string);
        case A_escape_append:
            return append_then(r, kEscapeReplacement[b], r->max_string_len, TVL_ERR_STRING_TOO_LONG,
                               S_string);
        case A_symbol_start:
            r->token_kind = TK_symbol;
            r->text[0] = b;
            r->text_len = 1;
            r->state = S_symbol;
            return true;
        case A_symbol_append:
            return append_then(r, b, r->max_symbol_len, TVL_ERR_SYMBOL_TOO_LONG, S_symbol);
        case A_reference_start:
            r->text_len = 0;
            r->token_kind = TK_reference;
            r->state = 59;
            return true;
        case A_reference_point:
            return append_then(r, b, r->max_reference_len, TVL_ERR_REFERENCE_TOO_LONG, 60);
        case A_reference_append:
            return append_then(r, b, r->max_reference_len, TVL_ERR_REFERENCE_TOO_LONG, S_reference);
        case A_octets_start:
            if (!emit(r, TVLR_EV_OCTETS_START, 0, nullptr, 0)) return false;
            r->token_kind = TK_octets;
            r->state = S_octets;
            return true;
        case A_struct_open:
            if (r->struct_depth == r->max_struct_depth)
                return fail(r, TVL_ERR_STRUCT_NESTING_TOO_HIGH);
            if (!emit(r, TVLR_EV_STRUCT_START, 0, nullptr, 0)) return false;
            open_struct_level(r);
            ++r->struct_depth;
            r->token_kind = TK_struct_opened;
            r->state = S_struct_open;
            return true;
        case A_struct_close:
            if (r->struct_depth == 0) return fail(r, TVL_ERR_ILLEGAL_STRUCT_CLOSE);
            --r->struct_depth;
            close_struct_level(r);
            if (!emit(r, TVLR_EV_STRUCT_END, 0, nullptr, 0)) return false;
            r->state = 71;
            return true;
        case A_unit_start:
            if (r->in_array) return fail(r, TVL_ERR_UNEXPECTED_INPUT_BYTE);
            r->unit_text[0] = b;
            r->unit_len = 1;
            r->state = S_unit;
            return true;
        case A_unit_append:
            if (r->unit_len == kUnitCap - 1) return fail(r, TVL_ERR_UNIT_TOO_LONG);
            r->unit_text[r->unit_len++] = b;
            r->state = S_unit;
            return true;
        case A_unit_end:
            r->state = S_after_unit;
            return true;
        case A_assign:
            return complete_assign(r);
        case A_terminate:
            return complete_terminate(r);
        case A_annotation_end:
            return complete_annotation_end(r);
        case A_annotated_terminate:
            return complete_annotated_terminate(r);
        case A_annotated_element_sep:
            return complete_annotated_element_sep(r);
        case A_annotated_array_end:
            return complete_annotated_array_end(r);
        case A_array_start:
            return complete_array_start(r);
        case A_element_sep:
            return complete_element_sep(r);
        case A_array_end:
            return complete_array_end(r);
        case A_row_break:
            return complete_row_break(r);
        case A_skip:
        case A_skip_string_end:
        case A_skip_comment_end:
            r->state = S_skip;
            return true;
        case A_skip_open:
            if (b == '[')
                ++r->skip_brackets;
            else
                ++r->skip_braces;
            r->state = S_skip;
            return true;
        case A_skip_close:
            return skip_close(r, b);
        case A_skip_string:
            r->state = S_skip_string;
            return true;
        case A_skip_escape:
            r->state = S_skip_escape;
            return true;
        case A_skip_comment:
            r->state = S_skip_comment;
            return true;
        case A_resync:
            return resync(r);
        default:
            return fail(r, TVL_ERR_UNEXPECTED_INPUT_BYTE);
    }
}

// Reports a scanning error on byte b, then recovers or stops. Returns true
// when reading goes on.
bool scanning_error(tvlr_reader *r, uint8_t b, uint32_t code, bool retake) {
    const bool at_member_end = r->failed_at_member_end;
    r->failed_at_member_end = false;
    report_error(r, code, b, r->bytes_scanned - 1);
    count_line(r, b);
    if (!r->recover) return false;
    if (!start_recovery(r)) return false;
    if (at_member_end) {
        // The `;` that ended the member raised the error: it ends the
        // recovery as well, and the next member is read normally.
        r->state = S_after_member;
        return true;
    }
    if (!retake) return true;
    // A byte that cut a multi-byte character short is taken once more as
    // the first byte of a new character, so that a `;` still resynchronises.
    // Its column was counted when the error was reported.
    const uint64_t column = r->column;
    bool cont = false;
    const bool valid = utf8_column(r, b, cont);
    r->column = column;
    if (!valid) return scanning_error(r, b, TVL_ERR_INVALID_UTF8_BYTE, false);
    if (!dispatch(r, b)) return scanning_error(r, b, r->error, false);
    count_line(r, b);
    return true;
}

// The per-byte step. False ends the read.
inline bool step(tvlr_reader *r, uint8_t b) {
    if (r->bytes_scanned == r->max_text_bytes) {
        report_error(r, TVL_ERR_TEXT_DATA_TOO_LONG, b, r->bytes_scanned);
        return false;
    }
    ++r->bytes_scanned;
    r->prev = r->cur;
    r->cur = b;
    bool was_continuation = false;
    if (!utf8_column(r, b, was_continuation)) {
        bool retake = was_continuation && b != '\t' && b != '\n' && b != '\r';
        return scanning_error(r, b, TVL_ERR_INVALID_UTF8_BYTE, retake);
    }
    if (!dispatch(r, b)) return scanning_error(r, b, r->error, false);
    count_line(r, b);
    return true;
}

// Limit of the buffer that a run in state s fills.
inline uint32_t run_limit(const tvlr_reader *r, uint32_t s) {
    switch (s) {
        case S_name:
            return r->max_identifier_len;
        case S_type_text:
        case S_unit:
            return kTypeCap - 1;
        case S_int_digits:
        case S_fraction:
        case S_exponent:
            return r->max_number_len;
        case S_symbol:
            return r->max_symbol_len;
        case S_reference:
            return r->max_reference_len;
        default:
            return 0;
    }
}

// Bulk white space: consumes the run of white-space bytes at p as the
// per-byte step would. Returns the number of bytes consumed.
inline size_t white_run(tvlr_reader *r, const uint8_t *p, const uint8_t *end) {
    if (!kWhiteSpace[*p]) return 0;  // most runs between tokens are empty
    uint64_t room = r->max_text_bytes - r->bytes_scanned;
    if (static_cast<uint64_t>(end - p) > room) end = p + room;
    const uint8_t *q = p;
    uint64_t line = r->line, column = r->column;
    uint8_t prev = r->cur;
    while (q < end && kWhiteSpace[*q]) {
        uint8_t b = *q++;
        if (b == ' ') {
            ++column;
        } else if (b == '\t') {
            column = column / 4 * 4 + 4;
        } else if (b == '\r' || (b == '\n' && prev != '\r')) {
            ++line;
            column = 0;
        } else if (b == '\n') {
            column = 0;
        } else {
            ++column;  // VT, FF
        }
        prev = b;
    }
    size_t n = static_cast<size_t>(q - p);
    if (n) {
        r->line = line;
        r->column = column;
        r->prev = n > 1 ? q[-2] : r->cur;
        r->cur = q[-1];
        r->bytes_scanned += n;
    }
    return n;
}

// Bulk token run in a collecting state: appends the following bytes of the
// state's stay set (and complete, valid multi-byte characters made of them)
// to the state's buffer. Returns the number of bytes consumed.
inline size_t token_run(tvlr_reader *r, const uint8_t *p, const uint8_t *end) {
    const uint32_t s = r->state;
    const auto &stay = kStaySets[s];
    if (!stay[*p]) return 0;
    uint8_t *buf;
    uint32_t *len;
    switch (kRunStates[s].buffer) {
        case RunBuffer::text:
            buf = r->text;
            len = &r->text_len;
            break;
        case RunBuffer::type:
            buf = r->type_text;
            len = &r->type_len;
            break;
        default:
            buf = r->unit_text;
            len = &r->unit_len;
            break;
    }
    uint32_t limit = run_limit(r, s);
    if (*len >= limit) return 0;
    uint64_t room = limit - *len;
    uint64_t text_room = r->max_text_bytes - r->bytes_scanned;
    if (text_room < room) room = text_room;
    if (static_cast<uint64_t>(end - p) > room) end = p + room;
    const uint8_t *q = p;
    uint64_t chars = 0;
    while (q < end) {
        uint8_t b = *q;
        if (b < 0x80) {
            if (!stay[b]) break;
            ++q;
        } else {
            size_t n = utf8_char_length(q, static_cast<size_t>(end - q));
            if (n == 0) break;
            bool all = true;
            for (size_t i = 0; i < n; ++i) all = all && stay[q[i]];
            if (!all) break;
            q += n;
        }
        ++chars;
    }
    size_t n = static_cast<size_t>(q - p);
    if (n) {
        std::memcpy(buf + *len, p, n);
        *len += static_cast<uint32_t>(n);
        r->column += chars;
        r->prev = n > 1 ? q[-2] : r->cur;
        r->cur = q[-1];
        r->bytes_scanned += n;
    }
    return n;
}

// True when the 8 bytes at p are all plain string bytes below 0x80: no
// control byte, no `"`, no `\`, no 0x7F (bit tricks on one 64-bit word).
inline bool plain_ascii8(const uint8_t *p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHigh = 0x8080808080808080ull;
    auto has_zero = [](uint64_t x) { return (x - kOnes) & ~x & kHigh; };
    const uint64_t below_space = (v - kOnes * 0x20) & ~v & kHigh;
    const uint64_t special =
        has_zero(v ^ (kOnes * '"')) | has_zero(v ^ (kOnes * '\\')) | has_zero(v ^ (kOnes * 0x7F));
    return ((v & kHigh) | below_space | special) == 0;
}

// Bulk string run: plain string bytes appended at once.
inline size_t string_run(tvlr_reader *r, const uint8_t *p, const uint8_t *end) {
    if (!kStringRun[*p] || r->text_len >= r->max_string_len) return 0;
    uint64_t room = r->max_string_len - r->text_len;
    uint64_t text_room = r->max_text_bytes - r->bytes_scanned;
    if (text_room < room) room = text_room;
    if (static_cast<uint64_t>(end - p) > room) end = p + room;
    const uint8_t *q = p;
    uint64_t chars = 0;
    while (q < end) {
        // Eight plain ASCII bytes at a time while there are any.
        while (end - q >= 8 && plain_ascii8(q)) {
            q += 8;
            chars += 8;
        }
        if (q == end) break;
        uint8_t b = *q;
        if (b < 0x80) {
            if (!kStringRun[b]) break;
            ++q;
        } else {
            size_t n = utf8_char_length(q, static_cast<size_t>(end - q));
            if (n == 0) break;
            q += n;
        }
        ++chars;
    }
    size_t n = static_cast<size_t>(q - p);
    if (n) {
        std::memcpy(r->text + r->text_len, p, n);
        r->text_len += static_cast<uint32_t>(n);
        r->column += chars;
        r->prev = n > 1 ? q[-2] : r->cur;
        r->cur = q[-1];
        r->bytes_scanned += n;
        r->state = S_string;
    }
    return n;
}

}  // namespace

// Scans bytes [p, end) until they are used up, the state becomes the
// octet-stream state or the read must end. Returns the count of bytes
// scanned; `stop` is set when the read must end.
size_t scan_bytes(tvlr_reader *r, const uint8_t *p, const uint8_t *end, bool &stop) {
    const uint8_t *start = p;
    stop = false;
    while (p < end) {
        if (r->utf8_pending == 0) {
            const uint32_t s = r->state;
            size_t n = 0;
            if (kWhiteSpaceState[s]) {
                n = white_run(r, p, end);
            } else if (kRunStates[s].buffer != RunBuffer::none) {
                n = token_run(r, p, end);
            } else if (s == S_string || s == S_string_opened) {
                n = string_run(r, p, end);
            }
            p += n;
            if (p == end) break;
        }
        if (!step(r, *p++)) {
            stop = true;
            break;
        }
        if (r->state == S_octets) break;
    }
    return static_cast<size_t>(p - start);
}

}  // namespace tvl::rd
