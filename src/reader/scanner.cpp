// The scanner: steps every byte of a chunk through the transition table (with bulk paths for
// white space, token runs and string runs), checks UTF-8, counts lines and columns, runs the
// scanner's own actions and hands completed tokens to the completion (complete.cpp) and the
// skipping actions to recovery (recovery.cpp). Reading chunks and octet streams is in reader.cpp.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/byte_classes.h"
#include "core/escape.h"
#include "core/string_run.h"
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
inline bool append_then(tvlr_reader *r, uint8_t b, uint32_t limit, uint32_t code, State next) {
    if (!append_text(r, b, limit, code)) return false;
    r->state = next;
    return true;
}

inline bool number_byte(tvlr_reader *r, uint8_t b, State next) {
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

// Runs the named action a (or the refusal of an empty cell) for byte b. False with r->error set
// when the byte is refused. Inlined into the fast path as well as into dispatch.
[[gnu::always_inline]] inline bool run_action(tvlr_reader *r, uint8_t a, uint8_t b) {
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
            return number_byte(r, b, S_after_minus);
        case A_int_digit:
            return number_byte(r, b, S_int_digits);
        case A_zero_digit:
            return number_byte(r, b, S_after_zero);
        case A_point:
            r->has_point = true;
            return number_byte(r, b, S_after_point);
        case A_lead_point:
            r->has_point = true;
            return number_byte(r, b, S_lead_point);
        case A_exponent_mark:
            r->has_exponent = true;
            return number_byte(r, b, S_exponent_mark);
        case A_fraction_digit:
            return append_then(r, b, r->max_number_len, TVL_ERR_NUMBER_TOO_LONG, S_fraction);
        case A_exponent_sign:
            return append_then(r, b, r->max_number_len, TVL_ERR_NUMBER_TOO_LONG, S_exponent_sign);
        case A_exponent_digit:
            return append_then(r, b, r->max_number_len, TVL_ERR_NUMBER_TOO_LONG, S_exponent);
        case A_special_start:
        case A_element_special_start:
            r->text_len = 0;
            // After an annotation inside an array a special number is an
            // element like any other.
            r->token_kind =
                a == A_element_special_start || r->in_array ? TK_array_number : TK_number;
            r->state = S_special;
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
            r->state = S_after_ampersand;
            return true;
        case A_reference_point:
            return append_then(r, b, r->max_reference_len, TVL_ERR_REFERENCE_TOO_LONG,
                               S_reference_segment);
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
            r->state = S_after_struct;
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
        case A_skip_open:
        case A_skip_close:
        case A_skip_string:
        case A_skip_escape:
        case A_skip_string_end:
        case A_skip_comment:
        case A_skip_comment_end:
        case A_resync:
            return skip_action(r, a, b);
        default:  // kNoTransition
            return fail(r, TVL_ERR_UNEXPECTED_INPUT_BYTE);
    }
}

// Runs the cell of the current state for byte b. False with r->error set when the byte is
// refused.
bool dispatch(tvlr_reader *r, uint8_t b) {
    const uint8_t a = kTransitions[r->state][b];
    if (a == kStay) return true;
    if (a >= kGotoBase && a < kFirstNamed) {
        r->state = static_cast<uint32_t>(a - kGotoBase);
        return true;
    }
    return run_action(r, a, b);
}

// Reports a scanning error on byte b, then recovers or stops. Returns true
// when reading goes on.
bool scanning_error(tvlr_reader *r, uint8_t b, uint32_t code, bool retake) {
    report_error(r, code, b, r->bytes_scanned - 1);
    count_line(r, b);
    if (!r->recover) return false;
    if (!start_recovery(r)) return false;
    // A byte that cut a multi-byte character short is taken once more, in
    // the skipping state, as the first byte of a new character, so that a
    // `;` still resynchronises. Its column was counted when the error was
    // reported.
    if (!retake || r->state != S_skip) return true;
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
        // The error is reported at the refused byte: its column is counted first (the read
        // ends here, so the UTF-8 state this changes is not used again).
        bool was_continuation = false;
        utf8_column(r, b, was_continuation);
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

#if defined(__SSE2__)
// The count of the 16 bytes at p, from the first on, that are ASCII bytes of a token run's class:
// the digits, or the name bytes A-Z a-z 0-9 _ + - (`digits` false). A range [lo, lo + n) of
// unsigned bytes is tested with a signed compare after moving lo to -128: (b - lo) mod 256 < n
// is b + (0x80 - lo) < n - 128 in signed bytes. Bytes from 0x80 up fall outside every range
// (also after the OR with 0x20 that folds capitals to small letters).
inline unsigned ascii_run_prefix16(const uint8_t *p, bool digits) {
    const auto range = [](__m128i v, uint8_t lo, uint8_t n) {
        return _mm_cmplt_epi8(_mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(0x80 - lo))),
                              _mm_set1_epi8(static_cast<char>(n - 128)));
    };
    const auto is = [](__m128i v, char b) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(b)); };
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    __m128i in = range(v, '0', 10);
    if (!digits) {
        const __m128i letter = range(_mm_or_si128(v, _mm_set1_epi8(0x20)), 'a', 26);
        in = _mm_or_si128(_mm_or_si128(in, letter),
                          _mm_or_si128(is(v, '_'), _mm_or_si128(is(v, '+'), is(v, '-'))));
    }
    const auto mask = static_cast<uint32_t>(_mm_movemask_epi8(in));
    return static_cast<unsigned>(__builtin_ctz(~mask));  // bit 16 and up of ~mask are set
}

// Bit i set when byte i of the 32 bytes at p is an ASCII digit (the range test above).
inline uint64_t digit_bits32(const uint8_t *p) {
    const __m128i shift = _mm_set1_epi8(static_cast<char>(0x80 - '0'));
    const __m128i bound = _mm_set1_epi8(static_cast<char>(10 - 128));
    const auto digits = [&](const uint8_t *q) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(q));
        return static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmplt_epi8(_mm_add_epi8(v, shift), bound)));
    };
    return digits(p) | uint64_t{digits(p + 16)} << 16;
}
#endif

// ---------------------------------------------------------------------------
// The fast path
//
// The per-byte step above defines scanning and stays the reference path. The fast path gives
// exactly its results with less work per byte:
//  - the state, line and column live in locals while bytes are taken, and are written back to
//    the reader only before something outside the loop may look at them (an action, an error,
//    the end of the call); the byte count and the last two bytes follow from the position;
//  - the column is kept less the position, so that the bytes that count one column each (ASCII
//    but the tab, and the first byte of each character) cost nothing: only tabs, line breaks
//    and the continuation bytes of characters change it;
//  - a run of bytes that the state keeps (white space, a token's own bytes, plain string bytes,
//    as the state facts say) is taken at once;
//  - an ASCII byte whose cell is "stay" or "go to a state" is taken inline: a tab's column, its
//    line break and the new state are all that it changes;
//  - every other byte (a named action or an error cell, a byte from 0x80 up outside a run, the
//    rest of a character cut by the chunk, the byte at the text limit) takes the per-byte step
//    or the action dispatch, with the reader's record written back first.

// The completion of a plain value (a number, string or symbol with no type and no unit in
// force, no unit suffix) in a read without event delivery, ended by `;`, `,` or `]`: no check
// applies and no event is made, so what remains is the bookkeeping of the completion actions,
// done here with the same results. Each returns false, having changed nothing, where the
// action would refuse the byte; the action then runs and reports it.

// The type a plain number adds: float with a point, an exponent or as a special number, else
// sint with a sign, else uint.
constexpr uint64_t added_number_key(bool floating, bool negative) {
    return added_key(floating   ? TVLR_TYPE_FLOAT
                     : negative ? TVLR_TYPE_SINT
                                : TVLR_TYPE_UINT,
                     kImpliedWidth);
}

// The key of the annotation that the completion adds to the pending value; 0 when it adds none.
inline uint64_t added_key_of(const tvlr_reader *r) {
    uint32_t type = TVLR_TYPE_PLAIN;
    uint32_t bits = 0;
    switch (r->token_kind) {
        case TK_number:
        case TK_array_number:
            return added_number_key(r->has_point || r->has_exponent || r->is_special,
                                    r->token[0] == '-');
        case TK_string:
        case TK_array_string:
            type = TVLR_TYPE_UTF8;
            break;
        default: {
            const Word word = symbol_word(r);
            if (word == Word::yes || word == Word::no) type = TVLR_TYPE_BOOL;
        }
    }
    return type == TVLR_TYPE_PLAIN ? 0 : added_key(type, bits);
}

// The effect of the added annotation with the key (0: none) on the annotation in force: an
// array's type in force is put back after each element, the annotation stays.
inline void note_added_annotation(tvlr_reader *r, uint64_t key) {
    if (key == 0) return;
    if (r->annotation.same_as_added != key) r->annotation = {key, false};
    // The unit slots the added type clears, which putting the array's type back leaves.
    if (r->in_force.unit.count > 1) set_neutral_unit(r->in_force.unit);
}

// `=` after a name that is not empty: the member starts with nothing in force and no array.
inline void plain_assign(tvlr_reader *r) {
    clear_type_in_force(r);
    start_member(r);
}

// `;`: the member ends; the type in force is cleared, whatever the value added. After a closing
// bracket (`value` false, nothing pending) no event is due, with or without delivery.
template <bool value>
inline bool plain_terminate(tvlr_reader *r) {
    if (r->array_depth > member_array_base(r)) return false;
    if constexpr (value) clear_token(r);
    end_member(r);
    return true;
}

// `,`: the next element of the array, within the item limit and the row length. The value's
// added annotation has the key. `kept`: the array's type is in force already.
template <bool value, bool kept = false>
inline bool plain_element_sep(tvlr_reader *r, uint64_t key = 0) {
    if (!r->in_array || r->array_depth <= member_array_base(r) ||
        (r->max_array_items != 0 && r->array_items == r->max_array_items) ||
        (r->row_length != 0 && r->row_length <= r->elements))
        return false;
    if constexpr (value) {
        note_added_annotation(r, key);
        clear_token(r);
    }
    next_element<kept>(r);
    return true;
}

// `]`: the array closes, its length checked against the row length. After a closing bracket
// (`value` false, nothing pending) nothing is completed.
template <bool value>
inline bool plain_array_end(tvlr_reader *r, uint64_t key = 0) {
    if (!r->in_array || r->array_depth <= member_array_base(r) ||
        (r->row_length != 0 && r->row_length != r->elements))
        return false;
    if constexpr (value) {
        note_added_annotation(r, key);
        clear_token(r);
    }
    r->row_length = r->elements;
    close_array(r);
    return true;
}

// `[`: an array opens within the item and depth limits; its level keeps the enclosing element
// count, row length and type in force, and a row break before it gives its expected length.
// `kept`: the level keeps the type in force already.
template <bool kept = false>
inline bool plain_array_start(tvlr_reader *r) {
    if ((r->max_array_items != 0 && r->array_items == r->max_array_items) ||
        r->array_depth == r->max_array_depth)
        return false;
    push_array_level<kept>(r);
    r->token_kind = TK_null;
    r->in_array = true;
    ++r->array_depth;
    return true;
}

// The states in which the statement path below may take the next tokens.
inline constexpr std::array<bool, kStates> kStatementState = [] {
    std::array<bool, kStates> t{};
    for (State s :
         {S_before_member, S_struct_open, S_after_member, S_value, S_array_open, S_after_comma,
          S_after_array, S_after_struct, S_after_annotation, S_after_slash})
        t[s] = true;
    return t;
}();

class FastScan {
  public:
    FastScan(tvlr_reader *r, const uint8_t *p, const uint8_t *end)
        : r_(r), start_(p), p_(p), end_(end), scanned_(r->bytes_scanned), cur_(r->cur) {
        // Bytes from `limit_` on are refused by the text limit.
        const uint64_t room = r->max_text_bytes - r->bytes_scanned;
        limit_ = static_cast<uint64_t>(end - p) > room ? p + room : end;
        runs_[static_cast<size_t>(Run::name)] = {r->text, &r->text_len, r->max_identifier_len,
                                                 r->text + kTextCap};
        runs_[static_cast<size_t>(Run::number)] = {r->text, &r->text_len, r->max_number_len,
                                                   r->text + kTextCap};
        runs_[static_cast<size_t>(Run::symbol)] = {r->text, &r->text_len, r->max_symbol_len,
                                                   r->text + kTextCap};
        runs_[static_cast<size_t>(Run::reference)] = {r->text, &r->text_len, r->max_reference_len,
                                                      r->text + kTextCap};
        runs_[static_cast<size_t>(Run::type)] = {r->type_text, &r->type_len, kTypeCap - 1,
                                                 r->type_text + kTypeCap};
        runs_[static_cast<size_t>(Run::unit)] = {r->unit_text, &r->unit_len, kUnitCap - 1,
                                                 r->unit_text + kUnitCap};
        load();
    }

    // Scans until the bytes are used up, the octet-stream state is entered or the read must end
    // (`stop`). Returns the count of bytes taken.
    size_t run(bool &stop) {
        if (r_->utf8_pending && !slow_step()) return stopped(stop);
        // Only actions and steps enter the octet stream: the loop checks after them alone.
        if (state_ != S_octets) {
            while (p_ < limit_) {
                switch (kBulkOfState[state_]) {
                    case Bulk::white_space:
                        white_run();
                        break;
                    case Bulk::token:
                        token_run();
                        break;
                    case Bulk::string:
                        string_run();
                        break;
                    case Bulk::none:
                        break;
                }
                if (p_ == limit_) break;
                const uint8_t b = *p_;
                if (b >= 0x80) {
                    if (!slow_step()) return stopped(stop);
                    if (state_ == S_octets) break;
                    continue;
                }
                const uint8_t a = kTransitions[state_][b];
                if (a >= kFirstNamed || a == kNoTransition) {
                    if (kStatementState[state_] && a != kNoTransition) {
                        const uint8_t *from = p_;
                        if (!statements()) return stopped(stop);
                        if (p_ != from) continue;
                    }
                    if (!act(a, b)) return stopped(stop);
                    if (state_ == S_octets) break;
                    continue;
                }
                if (a != kStay) state_ = a - kGotoBase;
                if (b <= '\r') control_byte(b);
                ++p_;
            }
        }
        // The byte at the text limit: the step reports it.
        if (p_ < end_ && state_ != S_octets && !slow_step()) return stopped(stop);
        store(p_);
        return taken();
    }

  private:
    size_t taken() const { return static_cast<size_t>(p_ - start_); }

    size_t stopped(bool &stop) {
        stop = true;
        return taken();
    }

    uint8_t byte_before(const uint8_t *q) const { return q > start_ ? q[-1] : cur_; }

    void load() {
        state_ = r_->state;
        line_ = r_->line;
        column_ = r_->column - offset(p_);
    }

    // Writes the locals back as they stand with the bytes before `to` taken.
    void store(const uint8_t *to) {
        r_->state = state_;
        r_->line = line_;
        r_->column = column_ + offset(to);
        r_->bytes_scanned = scanned_ + static_cast<uint64_t>(to - start_);
        if (to > start_) {
            r_->prev = byte_before(to - 1);
            r_->cur = to[-1];
        }
    }

    uint64_t offset(const uint8_t *q) const { return static_cast<uint64_t>(q - start_); }

    // The tab at p_ moves the column to the next multiple of 4.
    void tab() {
        const uint64_t column = column_ + offset(p_);
        column_ = column / 4 * 4 + 4 - offset(p_ + 1);
    }

    // The column and line of a tab or line break at p_ (VT and FF count one column, as a space).
    void control_byte(uint8_t b) {
        if (b == '\t')
            tab();
        else
            line_break(b);
    }

    // Line breaks as count_line: CR, and LF unless it follows CR, start a line; after both the
    // column is 0.
    void line_break(uint8_t b) {
        if (b == '\r' || (b == '\n' && byte_before(p_) != '\r')) {
            ++line_;
            column_ = 0 - offset(p_ + 1);
        } else if (b == '\n') {
            column_ = 0 - offset(p_ + 1);
        }
    }

    // The per-byte step for the byte at p_, and for the rest of the character it starts.
    bool slow_step() {
        do {
            store(p_);
            const bool ok = step(r_, *p_++);
            load();
            if (!ok) return false;
        } while (r_->utf8_pending && p_ < end_);
        return true;
    }

    // The named action a (or error cell) for ASCII byte b at p_: the rest of the per-byte step.
    // An action that succeeds looks at the state alone (positions matter only to error reports),
    // so only the state is written back before it, and a tab or line break is counted after it.
    [[gnu::always_inline]] bool act(uint8_t a, uint8_t b) {
        r_->state = state_;
        if (run_action(r_, a, b)) {
            state_ = r_->state;
            if (b <= '\r') control_byte(b);  // few actions take a tab or line break
            ++p_;
            return true;
        }
        return refused(b);
    }

    // Byte b at p_ was refused by an action, which left the reader's state and error code set:
    // the error is reported (with a tab's column counted) and recovery starts or the read ends.
    [[gnu::noinline]] bool refused(uint8_t b) {
        if (r_->token != r_->text) {
            std::memmove(r_->text, r_->token, r_->text_len);
            read_text();
        }
        state_ = r_->state;
        if (b == '\t') tab();
        store(++p_);
        const bool ok = scanning_error(r_, b, r_->error, false);
        load();
        return ok;
    }

    // -----------------------------------------------------------------------
    // Statements
    //
    // The shapes that make up most documents (`.name = value;` with a plain number, a plain
    // string or a symbol, the separators and the brackets of arrays and structs, one line break
    // and spaces between members) are taken here token by token, without the table. Each token
    // is taken whole or not at all: it is checked to its end first, then its bytes go to the
    // buffer as the table's append actions would put them there, the state becomes the one the
    // table would be in, and the action of the byte that ends it (assign, terminate, separator,
    // bracket) runs through act() as on the general path. The tokens are ASCII without tabs, so
    // only a line break moves the line and column. Anything else (another byte, a token that
    // reaches the end of the chunk or a limit) ends the statement path in a state the general
    // path resumes from. False ends the read.
    //
    // A token that is completed as soon as it is taken is not copied: the completion reads it
    // where it stands in the chunk (give_token), and once it has succeeded the token is read from
    // the text buffer again (read_text). A completion that is refused copies the token there
    // (refused): what follows, recovery or the end of the read, finds it as the general path
    // leaves it.
    bool statements() {
        Next next;
        bool cleared = false;  // the member follows a `;` that completed a plain value in line
        for (;;) {
            switch (state_) {
                case S_before_member:
                case S_struct_open:
                case S_after_member:
                take_member:
                    next = member(cleared);
                    cleared = false;
                    // Mostly the value after `=`: taken straight on.
                    if (next == Next::more && state_ == S_value) goto take_value;
                    break;
                case S_value:
                case S_array_open:
                case S_after_comma:
                case S_after_annotation:
                take_value:
                    next = value();
                    // Mostly the member after the `;` or `{` that ended it: taken straight on.
                    if (next == Next::plain) {
                        cleared = true;
                        goto take_member;
                    }
                    if (next == Next::more && (state_ == S_after_member || state_ == S_struct_open))
                        goto take_member;
                    break;
                case S_after_slash:
                    // The next row: only its opening bracket.
                    if (p_ < limit_ && *p_ == ' ') ++p_;
                    if (p_ == limit_ || *p_ != '[') return true;
                    next = open_arrays();
                    break;
                case S_after_array:
                case S_after_struct:
                    if (p_ == limit_) return true;
                    next =
                        r_->token_kind == TK_nothing ? end_of_closed_value(*p_) : end_of_value(*p_);
                    break;
                default:
                    return true;
            }
            if (next != Next::more) return next == Next::done;
        }
    }

    // More tokens may follow, the statement path ends here (the general path goes on), or the
    // read ends. `plain`, a kind of `more`: a plain value was completed in line (number_once(),
    // array_number()), and where value() returns it, by the `;` that ends the member.
    enum class Next { more, done, stop, plain };

    static Next taken_if(bool ok) { return ok ? Next::more : Next::stop; }

    // The end of the run of ASCII bytes of a token run's class from q, at most limit_.
    const uint8_t *ascii_run(const uint8_t *q, Run run) const {
#if defined(__SSE2__)
        while (end_ - q >= 16) {
            const unsigned n = ascii_run_prefix16(q, run == Run::number);
            q += n;
            if (n < 16 || q >= limit_) return q < limit_ ? q : limit_;
        }
#endif
        return class_run(q, run);
    }

    // As ascii_run, a byte at a time: for every run class (the 16-byte test knows only names,
    // symbols and digits).
    const uint8_t *class_run(const uint8_t *q, Run run) const {
        const auto &stay = kRunBytes[static_cast<size_t>(run)];
        while (q < limit_ && *q < 0x80 && stay[*q]) ++q;
        return q;
    }

    // Takes the spaces at p_, eight at a time while the chunk has them.
    void spaces() {
        // Most runs are one space or none: those without the word test.
        if (p_ == limit_ || *p_ != ' ' || ++p_ == limit_ || *p_ != ' ') return;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        while (end_ - p_ >= 8 && p_ < limit_) {
            uint64_t v;
            std::memcpy(&v, p_, sizeof v);
            const uint64_t other = v ^ 0x2020202020202020ull;
            if (other) {
                p_ += __builtin_ctzll(other) / 8;  // the first byte that is no space
                if (p_ > limit_) p_ = limit_;
                return;
            }
            p_ += 8;
        }
        if (p_ > limit_) p_ = limit_;
#endif
        while (p_ < limit_ && *p_ == ' ') ++p_;
    }

    static bool ascii_name_start(uint8_t b) {
        return b < 0x80 && has_class(b, kNameStartByte);
    }

    // A number's first byte: its sign or its first digit.
    static bool number_start(uint8_t b) { return b == '-' || (b >= '0' && b <= '9'); }

    // A member, after line breaks and spaces: its name up to `=`, or the `}` that
    // closes the struct. `cleared`: the token and number flags are clear and nothing is in
    // force, as the `;` of a plain value completed in line leaves them.
    Next member(bool cleared) {
        if (p_ < limit_ && *p_ == '\n') {
            line_break('\n');
            ++p_;
        }
        spaces();
        if (p_ == limit_) return Next::done;
        if (*p_ != '.') {
            if (*p_ == '\n') return Next::more;  // a blank line: the next round takes it
            if (*p_ == '}') return state_ == S_before_member ? Next::done : close_struct();
            return Next::done;
        }
        if (p_ + 1 == limit_ || !ascii_name_start(p_[1])) return Next::done;
        const uint8_t *end = ascii_run(p_ + 1, Run::name);
        const uint8_t *assign = end < limit_ && *end == ' ' ? end + 1 : end;
        const auto len = static_cast<uint32_t>(end - p_ - 1);
        if (assign == limit_ || *assign != '=' || len > r_->max_identifier_len) return Next::done;
        if (!r_->deliver) {
            // No member_name event: the name is needed for nothing but its length, checked.
            if (cleared)
                start_cleared_member(r_);
            else
                plain_assign(r_);
            state_ = S_value;
            p_ = assign + 1;
            return Next::more;
        }
        if (deliver_member_name(r_, p_ + 1, len)) [[likely]] {
            state_ = S_value;
            p_ = assign + 1;
            return Next::more;
        }
        // Refused: the name becomes the token the action would have been given, in the state
        // before `=`.
        give_token(p_ + 1, len);
        r_->token_kind = TK_member_name;
        state_ = assign == end ? S_name : S_after_name;
        r_->state = state_;
        p_ = assign;
        return taken_if(refused('='));
    }

    // A value or element after an optional space: a number, a string, a
    // symbol, each followed straight by its separator, the brackets that open arrays or a
    // struct, or a type annotation (not after another one).
    Next value() {
        if (p_ < limit_ && *p_ == ' ') ++p_;
        if (p_ == limit_) return Next::done;
        const uint8_t b = *p_;
        const bool element = state_ == S_array_open || state_ == S_after_comma;
        if (number_start(b)) return number();
        if (b == '"') return string(element);
        if (b == '{') return open_struct();
        if (b == '[') return open_arrays();
        if (ascii_name_start(b)) return symbol();
        if (b == ']' && element) return end_without_element();
        if (b == '<' && state_ != S_after_annotation) return annotation();
        return Next::done;
    }

    // `{` at p_: a struct opens within the depth limit (a struct_start event first, with
    // delivery). A refusal goes to the action before anything has changed.
    Next open_struct() {
        if (r_->struct_depth == r_->max_struct_depth) return taken_if(act(A_struct_open, '{'));
        if (!emit(r_, TVLR_EV_STRUCT_START, 0, nullptr, 0)) {
            r_->state = state_;
            return taken_if(refused('{'));
        }
        open_struct_level(r_);
        ++r_->struct_depth;
        r_->token_kind = TK_struct_opened;
        state_ = S_struct_open;
        ++p_;
        return Next::more;
    }

    // `}` at p_ where a member may start: the struct closes (its struct_end event after the
    // enclosing array context is back, with delivery), then the separator or bracket after it.
    // The `}` of enclosing structs that follow at once (after one space or none) close in
    // close_chain().
    [[gnu::noinline]] Next close_struct() {
        if (r_->struct_depth == 0) return taken_if(act(A_struct_close, '}'));
        --r_->struct_depth;
        close_struct_level(r_);
        if (!emit(r_, TVLR_EV_STRUCT_END, 0, nullptr, 0)) {
            r_->state = state_;
            return taken_if(refused('}'));
        }
        state_ = S_after_struct;
        if (++p_ == limit_) return Next::done;
        if (r_->token_kind != TK_nothing) return end_of_value(*p_);
        // Mostly the `;` that ends the member: taken here.
        if (*p_ != ';' || !plain_terminate<false>(r_)) return end_of_closed_value(*p_);
        state_ = S_after_member;
        const uint8_t *next = ++p_;
        if (next < limit_ && *next == ' ') ++next;
        if (next == limit_ || *next != '}') return Next::more;
        return close_chain(next);
    }

    // The `}` at `at` after the `;` of a struct that closed: as close_struct(), for each `};` of
    // the chain. The `;` before left nothing pending, nothing in force and the number flags
    // clear, and closing a struct changes none of them, so each `;` ends its member with the
    // rest of end_member() alone. The position stays in a local (the reader's flags are bytes,
    // whose stores would make the members be read again) and is written back where the chain
    // ends; the state stays S_after_member until then.
    [[gnu::noinline]] Next close_chain(const uint8_t *at) {
        tvlr_reader *const r = r_;
        const uint8_t *const limit = limit_;
        const uint8_t *p = at;
        for (;;) {
            const uint32_t depth = r->struct_depth;
            if (depth == 0) {
                p_ = p;
                return taken_if(act(A_struct_close, '}'));
            }
            r->struct_depth = depth - 1;
            close_struct_level(r);
            if (!emit(r, TVLR_EV_STRUCT_END, 0, nullptr, 0)) {
                p_ = p;
                r->state = state_;
                return taken_if(refused('}'));
            }
            if (++p == limit || *p != ';' || r->array_depth > member_array_base(r)) {
                state_ = S_after_struct;
                p_ = p;
                return p == limit ? Next::done : end_of_closed_value(*p);
            }
            if (depth == 1) {  // the member ends at the top level: no array stays open
                r->array_depth = 0;
                r->in_array = false;
                r->row_length = 0;
            }
            const uint8_t *next = ++p;
            if (next < limit && *next == ' ') ++next;
            if (next == limit || *next != '}') {
                p_ = p;
                return Next::more;
            }
            p = next;
        }
    }

    // The run of `[` at p_. In a read without event delivery each opens its array here; one that
    // a limit refuses, and every one in a read with delivery, goes to the action.
    Next open_arrays() {
        if (r_->deliver) return taken_if(complete(complete_array_start, '[', S_array_open));
        do {
            if (!plain_array_start(r_)) return taken_if(act(A_array_start, '['));
            state_ = S_array_open;
            ++p_;
        } while (p_ < limit_ && *p_ == '[');
        return Next::more;
    }

    // `]` where an element is expected (`[]`, or after a trailing `,`): the array ends with a
    // null element, which in a read without event delivery needs no completion.
    [[gnu::noinline]] Next end_without_element() {
        if (r_->deliver || r_->token_kind != TK_null || !plain_array_end<true>(r_))
            return taken_if(act(A_array_end, ']'));
        state_ = S_after_array;
        ++p_;
        return Next::more;
    }

    // The run of `]` at p_ after a closing bracket, nothing pending: as open_arrays().
    Next close_arrays() {
        if (r_->deliver) return taken_if(complete(complete_closed_array_end, ']', S_after_array));
        do {
            if (!plain_array_end<false>(r_)) return taken_if(act(A_array_end, ']'));
            state_ = S_after_array;
            ++p_;
        } while (p_ < limit_ && *p_ == ']');
        return Next::more;
    }

    // A type annotation written `<word...>`: one of the type words straight after `<`, the
    // annotation bytes that follow it, then `>`, whose action parses the text and puts the type
    // in force. Anything else (white space, a comment, a byte from 0x80 up, the end of the chunk,
    // a text too long) is left to the general path, which takes the annotation byte by byte.
    Next annotation() {
        static constexpr std::string_view kWords[] = {"uint", "sint", "float", "utf8", "bool"};
        const uint8_t *word = p_ + 1;
        const auto avail = static_cast<size_t>(limit_ - word);
        size_t word_len = 0;
        for (const std::string_view w : kWords) {
            if (avail >= w.size() && std::memcmp(word, w.data(), w.size()) == 0) {
                word_len = w.size();
                break;
            }
        }
        if (word_len == 0) return Next::done;
        const uint8_t *end = class_run(word + word_len, Run::type);
        const auto len = static_cast<size_t>(end - word);
        if (end == limit_ || *end != '>' || len > kTypeCap - 1) return Next::done;
        r_->token_kind = TK_annotation;
        std::memcpy(r_->type_text, word, len);
        r_->type_len = static_cast<uint32_t>(len);
        state_ = len == word_len ? S_after_type_word : S_type_text;
        p_ = end;
        return taken_if(complete(complete_annotation_end, '>', S_after_annotation));
    }

    static bool ends_value(uint8_t b) {
        return b == ';' || b == ',' || b == ']';
    }

    // The separator after a closing bracket, with nothing pending: `;` and `,` complete
    // nothing and make no event.
    Next end_of_closed_value(uint8_t b) {
        if (b == ']') return close_arrays();
        if (b == '/' && state_ == S_after_array) return taken_if(act(A_row_break, b));
        if (b == ';' && plain_terminate<false>(r_)) {
            state_ = S_after_member;
        } else if (b == ',' && plain_element_sep<false>(r_)) {
            state_ = S_after_comma;
        } else {
            return end_of_value(b);
        }
        ++p_;
        return Next::more;
    }

    // The separator or bracket after a number, string or symbol: a plain value in a read
    // without event delivery is completed here, anything else by the action.
    Next end_of_plain_value(uint8_t b) {
        if (completes_in_line() && complete_in_line(b, b == ';' ? 0 : added_key_of(r_)))
            return Next::more;
        return end_of_value(b);
    }

    // A plain value is completed here: no event is delivered, no unit suffix is pending and no
    // type is in force.
    bool completes_in_line() const {
        return !r_->deliver && r_->unit_len == 0 && r_->in_force.type == TVLR_TYPE_PLAIN;
    }

    // Completes the pending plain value, whose added annotation has the key, with the separator
    // or bracket b at p_, and takes b. False, with nothing changed, where the action is to run.
    bool complete_in_line(uint8_t b, uint64_t key) {
        bool taken = false;
        uint32_t state = state_;
        switch (b) {
            case ';':
                taken = plain_terminate<true>(r_);
                state = S_after_member;
                break;
            case ',':
                taken = plain_element_sep<true>(r_, key);
                state = S_after_comma;
                break;
            case ']':
                taken = plain_array_end<true>(r_, key);
                state = S_after_array;
                break;
            default:
                break;
        }
        if (!taken) return false;
        state_ = state;
        ++p_;
        return true;
    }

    // The separator or bracket after a value, in a state where value_end() gives the cells.
    // Their actions are called directly: the bytes are no tabs or line breaks. A token given to
    // the completion (give_token) comes here straight: where the completion in line applies, it
    // was tried before the token was given.
    Next end_of_value(uint8_t b) {
        switch (b) {
            case ';':
                return taken_if(complete(complete_taken_terminate, b, S_after_member));
            case ',':
                return taken_if(complete(complete_taken_element_sep, b, S_after_comma));
            case ']':
                return taken_if(complete(complete_taken_array_end, b, S_after_array));
            default:
                return Next::done;
        }
    }

    // The completion action for the separator or bracket b at p_, as act() runs it. It enters
    // the state `next` when it succeeds. The actions taken here read no state and set it only
    // once they have succeeded, so the state before the byte is stored only for a refusal.
    [[gnu::always_inline]] bool complete(bool (*action)(tvlr_reader *), uint8_t b, State next) {
        if (!action(r_)) [[unlikely]] {
            r_->state = state_;
            return refused(b);
        }
        read_text();
        state_ = next;
        ++p_;
        return true;
    }

    // Copies a token's bytes into the text buffer at dst: a short token with one or two 16-byte
    // moves while the chunk and the buffer have room for them (the bytes past the token are
    // written over later or never read).
    void copy_token(uint8_t *dst, const uint8_t *from, size_t len) const {
        const auto room = std::min(end_ - from, r_->text + kTextCap - dst);
        if (len <= 16 && room >= 16) {
            std::memcpy(dst, from, 16);
        } else if (len <= 32 && room >= 32) {
            std::memcpy(dst, from, 16);
            std::memcpy(dst + 16, from + 16, 16);
        } else {
            std::memcpy(dst, from, len);
        }
    }

    // The completion reads the token [from, from + len) in the chunk, where it is taken whole and
    // completed at once.
    void give_token(const uint8_t *from, uint32_t len) {
        r_->token = from;
        r_->text_len = len;
    }

    // The token given is complete: the next one is read from the text buffer.
    void read_text() { r_->token = r_->text; }

    // Takes the token [from, to) as the append actions would, and ends it in state. Its callers
    // complete it at once: a new token is read where it stands, only the rest of one begun
    // before is appended to the text.
    void take_token(const uint8_t *from, const uint8_t *to, uint32_t state) {
        const auto len = static_cast<uint32_t>(to - from);
        if (r_->text_len == 0) [[likely]]
            give_token(from, len);
        else
            append_token(from, len);
        state_ = state;
        p_ = to;
    }

    [[gnu::noinline]] void append_token(const uint8_t *from, uint32_t len) {
        copy_token(r_->text + r_->text_len, from, len);
        r_->text_len += len;
    }

    // `-`, integer digits, a point with fraction digits and an exponent; then, in an array, the
    // numbers that follow it. An element after a `,` or `[` that this loop took straight after a
    // plain element completed here is taken by array_number().
    Next number() {
        bool plain = false;
        // A `, [` was taken here in a read without event delivery: from then on the arrays
        // opened here and the one around them keep the same type, the one in force (each `]`
        // puts back the type its array keeps), so that the next `, [` need not copy it around.
        bool rows = false;
        for (;;) {
            Next next = plain ? array_number(rows) : number_once();
            plain = next == Next::plain;
            if (plain) next = Next::more;
            if (next != Next::more) return next;
            if (state_ == S_after_array) {
                // The `,` and `[` before the next array of numbers (rows of a matrix of numbers):
                // `,` as end_of_closed_value takes it, `[` as open_arrays.
                if (p_ == limit_ || *p_ != ',' || r_->token_kind != TK_nothing ||
                    !(rows ? plain_element_sep<false, true>(r_) : plain_element_sep<false>(r_)))
                    return next;
                state_ = S_after_comma;
                if (++p_ < limit_ && *p_ == ' ') ++p_;
                if (p_ == limit_ || *p_ != '[') return next;
                if (rows && plain_array_start<true>(r_)) {
                    state_ = S_array_open;
                    ++p_;
                } else {
                    next = open_arrays();
                    // A refused `[` may have led to recovery.
                    if (next != Next::more || state_ != S_array_open) return next;
                    rows = !r_->deliver;
                }
            } else if (state_ != S_after_comma) {
                return plain ? Next::plain : next;  // plain: after the member's `;`
            }
            // The next element straight away, while plain numbers follow `,` or `[`.
            if (p_ < limit_ && *p_ == ' ') ++p_;
            if (p_ == limit_ || !number_start(*p_)) return next;
        }
    }

    // The elements that number() takes straight after a plain element that it completed in line
    // and the `,` after it, or the `], [` after it. That completion leaves what the element
    // starts from known: no event delivery, no token, no number flags, no row break in this
    // array, the token kind of an element, within an array of this member, and the type in force
    // equal to the one the array keeps (put back by the `,`, or taken along by the `[`). Plain
    // numbers ended by `,` or `]` are completed here one after another without putting back that
    // type (it is still in force: a plain number changes nothing in force but unit slots, with a
    // unit of two factors or more in force) and without clearing what is clear already. With
    // `rows` (number() has taken a `, [` before, so the levels keep the type in force already),
    // a `], [` before the next number is taken here as well, as the `,` and `[` of number() take
    // it. The counts and the annotation in force stay in locals until the run ends; an element of
    // any other shape goes to number_once() with them written back.
    [[gnu::noinline]] Next array_number(bool rows) {
        tvlr_reader *const r = r_;
        if (r->in_force.type != TVLR_TYPE_PLAIN || r->in_force.unit.count > 1)
            return number_once_call();
        const uint8_t *const limit = limit_;
        const uint64_t max_len = r->max_number_len;
        const uint64_t max_items = r->max_array_items;
        uint64_t row_length = r->row_length;
        uint64_t items = r->array_items;
        uint64_t elements = r->elements;
        uint64_t annotation = r->annotation.same_as_added;
        bool noted = false;  // an element changed the annotation in force
        const uint8_t *p = p_;
        const auto put_back = [&] {
            r->array_items = items;
            r->elements = elements;
            r->row_length = row_length;
            if (noted) r->annotation = {annotation, false};
        };
        // An element completed with the annotation of the key: the one in force from then on.
        const auto note = [&](uint64_t key) {
            if (key != annotation) {
                annotation = key;
                noted = true;
            }
        };
        const auto number_at = [limit](const uint8_t *q) {
            if (q < limit && *q == ' ') ++q;
            return q < limit && number_start(*q) ? q : nullptr;
        };
        for (;;) {
            NumberShape s;
            if (!number_shape(p, s) || s.end >= limit ||
                static_cast<uint64_t>(s.end - p) > max_len)
                break;
            const uint64_t key = added_number_key(s.point || s.exponent, *p == '-');
            if (*s.end == ',') {
                if ((max_items != 0 && items == max_items) ||
                    (row_length != 0 && row_length <= elements))
                    break;
                ++items;
                ++elements;
                note(key);
                state_ = S_after_comma;
                p = s.end + 1;
                // The next element straight on where it starts as a number.
                if (const uint8_t *q = number_at(p)) {
                    p = q;
                    continue;
                }
                put_back();
                p_ = p;
                return Next::plain;
            }
            if (*s.end != ']' || (row_length != 0 && row_length != elements)) break;
            note(key);
            const uint32_t depth = r->array_depth - 1;
            ArrayLevel &level = r->array_stack[depth];
            level.closed_row_length = elements;
            elements = level.elements + 1;
            row_length = level.row_length;
            const bool in_array = depth > member_array_base(r);
            p = s.end + 1;
            // `], [` and a number: the next row, where `,` and `[` pass their checks.
            if (rows && in_array && p < limit && *p == ',') {
                const uint8_t *bracket = p + 1 < limit && p[1] == ' ' ? p + 2 : p + 1;
                const uint8_t *next = bracket < limit && *bracket == '[' ? number_at(bracket + 1)
                                                                           : nullptr;
                if (next && (max_items == 0 || items + 1 < max_items) &&
                    (row_length == 0 || row_length > elements) && depth != r->max_array_depth) {
                    // The `,`: one more element of the outer array, its row break forgotten.
                    ++elements;
                    level.row_break_seen = false;
                    // The `[`: a level that keeps the outer count and row length.
                    items += 2;
                    level.elements = elements;
                    level.row_length = row_length;
                    elements = 1;
                    row_length = 0;
                    ArrayLevel &inner = r->array_stack[depth + 1];
                    inner.closed_row_length = 0;
                    inner.row_break_seen = false;
                    r->token_kind = TK_null;
                    state_ = S_array_open;
                    p = next;
                    continue;
                }
            }
            put_back();
            r->array_depth = depth;
            r->in_array = in_array;
            r->token_kind = TK_nothing;
            state_ = S_after_array;
            p_ = p;
            return Next::plain;
        }
        put_back();
        p_ = p;
        return number_once_call();
    }

    // Where a number's parts end: its integer digits at int_end, the whole number at end.
    struct NumberShape {
        const uint8_t *int_end;
        const uint8_t *end;
        bool point;
        bool exponent;
    };

    // The number at p: a sign, integer digits, a point with fraction digits and an exponent,
    // as far as they go. False where no digit follows the sign or the exponent mark (and its
    // sign). An end at limit_ or past it means the number is not whole before the limit.
    [[gnu::always_inline]] bool number_shape(const uint8_t *p, NumberShape &s) const {
        const size_t sign = *p == '-';
        s.point = s.exponent = false;
#if defined(__SSE2__)
        if (end_ - p >= 32) {
            // The parts from one mask of the digits among the 32 bytes at p. The bits from 32 on
            // are set and end every run there; a part that runs to the 32nd byte is left to the
            // byte-wise scan below.
            const uint64_t other = ~digit_bits32(p);
            if (other >> sign & 1) return false;
            size_t e = sign + static_cast<size_t>(__builtin_ctzll(other >> sign));
            if (e == 32) goto bytewise;
            s.int_end = p + e;
            if (p[e] == '.') {
                s.point = true;
                ++e;
                e += static_cast<size_t>(__builtin_ctzll(other >> e));
                if (e == 32) goto bytewise;
            }
            if ((p[e] | 0x20) == 'e') {
                s.exponent = true;
                size_t from = e + 1;
                if (from < 32 && (p[from] == '+' || p[from] == '-')) ++from;
                e = from + static_cast<size_t>(__builtin_ctzll(other >> from));
                if (e >= 32) goto bytewise;
                if (e == from) return false;
            }
            s.end = p + e;
            return true;
        }
    bytewise:
        s.point = s.exponent = false;
#endif
        const uint8_t *digits = p + sign;
        if (digits == limit_ || *digits < '0' || *digits > '9') return false;
        const uint8_t *end = ascii_run(digits, Run::number);
        s.int_end = end;
        if (end < limit_ && *end == '.') {
            s.point = true;
            end = ascii_run(end + 1, Run::number);
        }
        if (end < limit_ && (*end | 0x20) == 'e') {
            s.exponent = true;
            const uint8_t *digits_from = end + 1;
            if (digits_from < limit_ && (*digits_from == '+' || *digits_from == '-')) ++digits_from;
            end = ascii_run(digits_from, Run::number);
            if (end == digits_from) return false;
        }
        s.end = end;
        return true;
    }

    // The state the table is in after the number of the shape.
    uint32_t number_state(const NumberShape &s) const {
        if (s.exponent) return S_exponent;
        if (s.point) return s.end == s.int_end + 1 ? S_after_point : S_fraction;
        const uint8_t *digits = *p_ == '-' ? p_ + 1 : p_;
        return s.int_end - digits == 1 && *digits == '0' ? S_after_zero : S_int_digits;
    }

    // number_once() as a call, for array_number(): number() alone has it inline.
    [[gnu::noinline]] Next number_once_call() { return number_once(); }

    // An integer of one to seven digits without a sign (as most integers of members are), whose
    // shape one word of eight bytes tells without the digit scan of number_shape(). False for any
    // other number, which number_shape() then takes.
    bool small_integer(NumberShape &s) const {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        if (end_ - p_ < 8) return false;
        uint64_t v;
        std::memcpy(&v, p_, sizeof v);
        const uint64_t other = non_digit_byte(v);
        if (other == 0 || (other & 0xFF) != 0) return false;
        const uint8_t *end = p_ + __builtin_ctzll(other) / 8;
        if (*end == '.' || (*end | 0x20) == 'e') return false;
        s = {end, end, false, false};
        return true;
#else
        (void)s;
        return false;
#endif
    }

    [[gnu::always_inline]] Next number_once() {
        NumberShape s;
        if (!small_integer(s) && !number_shape(p_, s)) return Next::done;
        const uint8_t *const end = s.end;
        if (end >= limit_ || r_->text_len + static_cast<uint64_t>(end - p_) > r_->max_number_len)
            return Next::done;
        const uint8_t *unit_end = nullptr;
        if (!ends_value(*end) && !(unit_end = unit_suffix(end))) return Next::done;
        if (!unit_end && r_->text_len == 0 && completes_in_line()) {
            // Completed here: of the token only the type it adds is needed, not its text.
            const uint8_t *from = p_;
            p_ = end;
            // The `;` that ends the member clears what the value adds: no key needed.
            if (*end == ';') {
                if (plain_terminate<true>(r_)) {
                    state_ = S_after_member;
                    ++p_;
                    return Next::plain;
                }
            } else {
                const bool floating =
                    s.point || s.exponent || r_->has_point || r_->has_exponent || r_->is_special;
                if (complete_in_line(*end, added_number_key(floating, *from == '-')))
                    return Next::plain;
            }
            p_ = from;
        }
        const bool fresh = r_->text_len == 0;  // given to the completion by take_token
        if (fresh) r_->token_kind = r_->in_array ? TK_array_number : TK_number;
        if (s.point) r_->has_point = true;
        if (s.exponent) r_->has_exponent = true;
        take_token(p_, end, number_state(s));
        if (!unit_end) return fresh ? end_of_value(*end) : end_of_plain_value(*end);
        // The unit after one space, up to the `;` that completes the value with it.
        const auto unit_len = static_cast<size_t>(unit_end - end - 1);
        std::memcpy(r_->unit_text, end + 1, unit_len);
        r_->unit_len = static_cast<uint32_t>(unit_len);
        state_ = S_unit;
        p_ = unit_end;
        if (!act(A_terminate, ';')) return Next::stop;
        read_text();
        return Next::more;
    }

    // The end of a unit suffix after the number that ends at `at`: one space, a unit of ASCII
    // bytes within the unit limit, then `;`. Null for any other shape, and in an array, where a
    // unit suffix is refused.
    const uint8_t *unit_suffix(const uint8_t *at) const {
        if (*at != ' ' || r_->in_array || limit_ - at < 3 || at[1] >= 0x80 ||
            !has_class(at[1], kUnitStartByte))
            return nullptr;
        const uint8_t *end = class_run(at + 2, Run::unit);
        if (end == limit_ || *end != ';' || static_cast<size_t>(end - at - 1) > kUnitCap - 1)
            return nullptr;
        return end;
    }

    // A string: its quote as the table takes it, then the run of plain bytes and whole characters
    // that the general path takes too, then the closing quote and the separator. An escape or any
    // other byte leaves the string open for the general path. A string closed and followed by
    // its separator is completed there and read where it stands; any other goes to the text.
    Next string(bool element) {
        r_->token_kind = element || r_->in_array ? TK_array_string : TK_string;
        state_ = S_string_opened;
        const uint8_t *const from = ++p_;
        if (p_ == limit_) return Next::done;
        if (r_->text_len != 0) [[unlikely]]
            return string_rest();
        string_run_call<false>();
        if (limit_ - p_ < 2 || *p_ != '"' || !ends_value(p_[1])) {
            const auto len = static_cast<uint32_t>(p_ - from);
            std::memcpy(r_->text, from, len);
            r_->text_len = len;
            return string_end();
        }
        state_ = S_after_string;
        ++p_;
        // Completed here where it applies, where the text is not needed: mostly with the `;` that
        // ends a member.
        if (completes_in_line()) {
            if (*p_ == ';') {
                if (plain_terminate<true>(r_)) {
                    state_ = S_after_member;
                    ++p_;
                    return Next::plain;
                }
            } else if (complete_in_line(*p_, added_key(TVLR_TYPE_UTF8, 0))) {
                return Next::more;
            }
        }
        give_token(from, static_cast<uint32_t>(p_ - 1 - from));
        return end_of_value(*p_);
    }

    // A string whose text has begun before: its run appended to the text.
    [[gnu::noinline]] Next string_rest() {
        string_run_call<true>();
        return string_end();
    }

    // The closing quote and what follows it, of a string in the text buffer.
    Next string_end() {
        if (p_ == limit_ || *p_ != '"') return Next::done;
        state_ = S_after_string;
        if (++p_ == limit_) return Next::done;
        return end_of_plain_value(*p_);
    }

    // A symbol (the words null, true, false among them), then its separator.
    Next symbol() {
        const uint8_t *end = ascii_run(p_ + 1, Run::symbol);
        if (end == limit_ || !ends_value(*end) ||
            static_cast<uint64_t>(end - p_) > r_->max_symbol_len)
            return Next::done;
        // Mostly the `;` that ends a member: completed here, where the text is not needed.
        if (*end == ';' && completes_in_line() && plain_terminate<true>(r_)) {
            state_ = S_after_member;
            p_ = end + 1;
            return Next::plain;
        }
        return symbol_end(end);
    }

    // The symbol at p_ that ends at `end` with `,`, `]` or a `;` not completed above. A plain
    // symbol is completed here without its text, which is needed for nothing but the type that
    // a word of yes or no adds (bool).
    [[gnu::noinline]] Next symbol_end(const uint8_t *end) {
        if (completes_in_line()) {
            const Word word = symbol_word(p_, static_cast<uint32_t>(end - p_));
            const uint64_t key =
                word == Word::yes || word == Word::no ? added_key(TVLR_TYPE_BOOL, 0) : 0;
            const uint8_t *from = p_;
            p_ = end;
            if (complete_in_line(*end, *end == ';' ? 0 : key)) return Next::more;
            p_ = from;
        }
        r_->token_kind = TK_symbol;
        r_->text_len = 0;
        take_token(p_, end, S_symbol);
        return end_of_value(*end);
    }

    void white_run() {
        // Most runs are empty or one space between tokens: those without the loop.
        if (!is_white_space(*p_)) return;
        if (*p_ == ' ' && limit_ - p_ > 1 && !is_white_space(p_[1])) {
            ++p_;
            return;
        }
        while (p_ < limit_) {
            const uint8_t b = *p_;
            if (b != ' ') {  // the common case first: no class lookup
                if (!is_white_space(b)) break;
                if (b == '\t')
                    tab();
                else
                    line_break(b);  // VT and FF count one column, as a space
            }
            ++p_;
        }
    }

    // Appends the following bytes of the run's class (and complete, valid multi-byte characters
    // made of them) to the run's buffer, within its limit, and enters the state of the token's
    // later bytes; in a state where a token starts, its first byte must be of the class `first`.
    void token_run() {
        const StateFacts &facts = kStateFacts[state_];
        const auto &stay = kRunBytes[static_cast<size_t>(facts.run)];
        if (!stay[*p_]) return;  // most runs after the first byte are empty
        if (facts.first && !has_class(*p_, facts.first)) return;
        const RunBuffer &run = runs_[static_cast<size_t>(facts.run)];
        uint8_t *const buf = run.buf;
        uint32_t *const len = run.len;
        const uint32_t limit = run.limit;
        if (*len >= limit) return;
        const uint8_t *end = limit_;
        if (static_cast<uint64_t>(end - p_) > limit - *len) end = p_ + (limit - *len);
        // Token runs are short: each byte is stored as it is taken, which costs less than a
        // call to copy them afterwards.
        const uint8_t *q = p_;
        uint8_t *out = buf + *len;
        uint64_t continuations = 0;
#if defined(__SSE2__)
        // Names, symbols, references and numbers: sixteen bytes classified at once while the
        // chunk has them, copied with one 16-byte move while the buffer has room for it (the
        // bytes past the run are written over later or never read).
        if (facts.run != Run::type && facts.run != Run::unit) {
            const bool digits = facts.run == Run::number;
            while (end_ - q >= 16 && q < end) {
                size_t n = ascii_run_prefix16(q, digits);
                if (n > static_cast<size_t>(end - q)) n = static_cast<size_t>(end - q);
                if (run.end - out >= 16)
                    std::memcpy(out, q, 16);
                else
                    std::memcpy(out, q, n);
                out += n;
                q += n;
                if (n < 16) {
                    // Stopped by an ASCII byte of another class or by the limit: done.
                    if (q == end || *q < 0x80) return finish_run(q, len, 0, facts.into);
                    break;
                }
            }
        }
#endif
        // Four ASCII bytes at a time while all of them stay: one test and one store for the four.
        while (end - q >= 4) {
            uint32_t v;
            std::memcpy(&v, q, sizeof v);
            const unsigned all = unsigned{stay[q[0]]} & unsigned{stay[q[1]]} &
                                 unsigned{stay[q[2]]} & unsigned{stay[q[3]]};
            if ((v & 0x80808080u) != 0 || !all) break;
            std::memcpy(out, &v, sizeof v);
            out += 4;
            q += 4;
        }
        while (q < end) {
            const uint8_t b = *q;
            if (b < 0x80) {
                if (!stay[b]) break;
                *out++ = b;
                ++q;
            } else {
                const size_t n = utf8_char_length(q, static_cast<size_t>(end - q));
                if (n == 0) break;
                bool all = true;
                for (size_t i = 0; i < n; ++i) all = all && stay[q[i]];
                if (!all) break;
                for (size_t i = 0; i < n; ++i) *out++ = *q++;
                continuations += n - 1;
            }
        }
        finish_run(q, len, continuations, facts.into);
    }

    void finish_run(const uint8_t *q, uint32_t *len, uint64_t continuations, uint8_t into) {
        if (q == p_) return;
        *len += static_cast<uint32_t>(q - p_);
        column_ -= continuations;
        p_ = q;
        state_ = into;
    }

    // Appends the following plain string bytes (and complete, valid multi-byte characters) to
    // the text, within the string limit; without `Copy` they are only passed over, for the caller
    // to place.
    template <bool Copy = true>
    [[gnu::always_inline]] void string_run() {
        if (!has_class(*p_, kStringRunByte) || r_->text_len >= r_->max_string_len) return;
        const uint8_t *end = limit_;
        const uint32_t room = r_->max_string_len - r_->text_len;
        if (static_cast<uint64_t>(end - p_) > room) end = p_ + room;
        const uint8_t *q = p_;
        uint64_t continuations = 0;
        bool more = true;  // the run may go on at q
#if defined(__SSE2__)
        // ASCII sixteen bytes at a time here, as most strings are; the full scan from the first
        // multi-byte character on, and for the last bytes of the chunk.
        while (end - q >= 16) {
            const uint32_t mask = plain_ascii_stops16(q);
            if (mask) {
                q += __builtin_ctz(mask);
                more = *q >= 0x80;  // a multi-byte character, or a byte that ends the run
                break;
            }
            q += 16;
        }
#endif
        if (more) q = string_run_end(q, end, continuations);
        const size_t n = static_cast<size_t>(q - p_);
        if (n == 0) return;
        if constexpr (Copy) {
            std::memcpy(r_->text + r_->text_len, p_, n);
            r_->text_len += static_cast<uint32_t>(n);
        }
        column_ -= continuations;
        p_ = q;
        state_ = S_string;
    }

    // The string run as a call for the statement path, whose code stays smaller without it; the
    // loop in run() has it inline.
    template <bool Copy>
    [[gnu::noinline]] void string_run_call() {
        string_run<Copy>();
    }

    tvlr_reader *const r_;
    const uint8_t *const start_;
    const uint8_t *p_;
    const uint8_t *const end_;
    const uint8_t *limit_;
    const uint64_t scanned_;  // bytes scanned before this call
    const uint8_t cur_;       // the last byte scanned before this call
    uint32_t state_ = 0;
    uint64_t line_ = 0;
    uint64_t column_ = 0;  // the column less the offset of the position (modulo 2^64)
    // Each kind of token run's buffer, its length and its limit (Run::none: none).
    struct RunBuffer {
        uint8_t *buf;
        uint32_t *len;
        uint32_t limit;
        const uint8_t *end;  // the end of the buffer
    };
    std::array<RunBuffer, kRunKinds> runs_{};
};

// Reads use the fast path unless a test asks for the reference.
std::atomic<bool> g_reference_path{false};

}  // namespace

namespace testing {
void use_reference_path(bool on) {
    g_reference_path.store(on, std::memory_order_relaxed);
}
}  // namespace testing

size_t scan_bytes(tvlr_reader *r, const uint8_t *p, const uint8_t *end, bool &stop) {
    stop = false;
    if (!g_reference_path.load(std::memory_order_relaxed)) return FastScan(r, p, end).run(stop);
    // The reference: every byte through the per-byte step.
    const uint8_t *start = p;
    while (p < end && r->state != S_octets) {
        if (!step(r, *p++)) {
            stop = true;
            break;
        }
    }
    return static_cast<size_t>(p - start);
}

}  // namespace tvl::rd
