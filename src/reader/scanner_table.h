// The scanner's grammar: the 80 states, an 80-state by 256-byte transition table of action
// codes, the facts about each state that the code around the table relies on, and the tables
// derived from them. The byte sets of the rows come from core/byte_classes.h; static_asserts tie
// rows, classes and facts together. Everything here is computed at compile time, so the tables
// are ready (and read-only) before any reader exists and are safe to share between threads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/byte_classes.h"
#include "core/escape.h"

namespace tvl::scan {

inline constexpr int kStates = 80;

// The states by number. The numbers are part of the grammar's description and do not change;
// 5, 9, 14 and 56 are never entered and only keep their numbers reserved.
enum State : uint32_t {
    S_start = 0,          // start of input
    S_before_member = 1,  // before the first member, after a BOM or a leading comment
    S_bom = 2,            // inside the byte order mark
    S_comment_first = 3,  // comment, first byte
    S_comment = 4,        // comment text
    S_reserved_5 = 5,
    S_lead_comment = 6,       // comment before the first member
    S_lead_comment_ef = 7,    // leading comment after EF
    S_lead_comment_efbb = 8,  // leading comment after EF BB
    S_reserved_9 = 9,
    S_name_first = 10,  // after the point of a member name
    S_name = 11,        // in a member name
    S_after_name = 12,  // after a member name and white space
    S_type_open = 13,   // after `<`
    S_reserved_14 = 14,
    S_after_annotation = 15,  // after a type annotation: the value follows
    S_after_type_word = 16,   // after the type word
    S_type_text = 17,         // in annotation text
    S_type_u = 18,            // the type words, letter by letter
    S_type_ui = 19,
    S_type_uin = 20,
    S_type_ut = 21,
    S_type_utf = 22,
    S_type_s = 23,
    S_type_si = 24,
    S_type_sin = 25,
    S_type_f = 26,
    S_type_fl = 27,
    S_type_flo = 28,
    S_type_floa = 29,
    S_type_b = 30,
    S_type_bo = 31,
    S_type_boo = 32,
    S_value = 33,          // after `=`: a value is expected
    S_array_open = 34,     // after `[`: an element is expected
    S_after_comma = 35,    // after `,`: an element is expected
    S_after_array = 36,    // after `]`
    S_after_slash = 37,    // after the row break `/`
    S_after_minus = 38,    // after a number's `-`
    S_after_zero = 39,     // after a first digit 0
    S_int_digits = 40,     // in integer digits
    S_after_point = 41,    // after the point that follows digits
    S_lead_point = 42,     // after a leading point
    S_fraction = 43,       // in fraction digits
    S_after_number = 44,   // after a number or special number and white space
    S_exponent_mark = 45,  // after `E` or `e`
    S_exponent_sign = 46,  // after the exponent's sign
    S_exponent = 47,       // in exponent digits
    S_special = 48,        // after `$`
    S_special_n = 49,      // the special words, letter by letter
    S_special_na = 50,
    S_special_i = 51,
    S_special_in = 52,
    S_special_minus = 53,
    S_special_minus_i = 54,
    S_special_minus_in = 55,
    S_reserved_56 = 56,
    S_symbol = 57,             // in a symbol
    S_after_symbol = 58,       // after a symbol and white space
    S_after_ampersand = 59,    // after the `&` of a reference
    S_reference_segment = 60,  // after a point in a reference
    S_reference = 61,          // in a reference segment
    S_after_reference = 62,    // after a reference and white space
    S_string = 63,             // in a string
    S_string_escape = 64,      // after `\` in a string
    S_string_opened = 65,      // a string just opened
    S_after_string = 66,       // after the closing quote
    S_after_string_ws = 67,    // after a string and white space
    S_octets = 68,             // inside an octet stream: its bytes bypass the table
    S_after_octets = 69,       // after an octet stream
    S_struct_open = 70,        // after `{`
    S_after_struct = 71,       // after `}`
    S_after_member = 72,       // after `;`: a member or `}` is expected
    S_after_special = 73,      // after a special number
    S_unit = 74,               // in a unit suffix
    S_after_unit = 75,         // after a unit and white space
    S_skip = 76,               // recovery: skipping to the next `;`
    S_skip_string = 77,        // recovery: in a skipped string
    S_skip_escape = 78,        // recovery: after `\` in a skipped string
    S_skip_comment = 79,       // recovery: in a skipped comment
};

// Action codes. 0 = no transition (error 15), 1 = stay, 2..81 = go to state
// (code - 2), from 82 on the named actions below.
enum Action : uint8_t {
    kNoTransition = 0,
    kStay = 1,
    kGotoBase = 2,
    kFirstNamed = kGotoBase + kStates,
    A_comment_start = kFirstNamed,
    A_comment_end,
    A_lead_comment,
    A_lead_comment_byte,
    A_lead_comment_end,
    A_bom_byte,
    A_name_start,
    A_name_append,
    A_assign,
    A_terminate,
    A_annotation_start,
    A_annotation_end,
    A_type_word_uint,
    A_type_word_sint,
    A_type_word_float,
    A_type_word_utf8,
    A_type_word_bool,
    A_type_append,
    A_annotated_terminate,
    A_annotated_element_sep,
    A_annotated_array_end,
    A_array_start,
    A_element_sep,
    A_array_end,
    A_row_break,
    A_number_sign,
    A_int_digit,
    A_zero_digit,
    A_point,
    A_lead_point,
    A_exponent_mark,
    A_fraction_digit,
    A_exponent_sign,
    A_exponent_digit,
    A_special_start,
    A_element_special_start,
    A_special_nan,
    A_special_inf,
    A_special_minus_inf,
    A_string_start,
    A_element_string_start,
    A_string_append,
    A_escape_append,
    A_symbol_start,
    A_symbol_append,
    A_reference_start,
    A_reference_point,
    A_reference_append,
    A_octets_start,
    A_struct_open,
    A_struct_close,
    A_unit_start,
    A_unit_append,
    A_unit_end,
    A_skip,
    A_skip_open,
    A_skip_close,
    A_skip_string,
    A_skip_escape,
    A_skip_string_end,
    A_skip_comment,
    A_skip_comment_end,
    A_resync,
    kActionEnd
};
static_assert(kActionEnd <= 256);

constexpr uint8_t go(State state) {
    return static_cast<uint8_t>(uint32_t{kGotoBase} + state);
}

// ---------------------------------------------------------------------------
// Facts about each state that the code around the table relies on

// The bulk path that may take a run of bytes at once in a state, instead of the per-byte step.
enum class Bulk : uint8_t {
    none,
    white_space,  // white space stays: the run of white space is consumed
    token,        // a collecting state: the run of its stay bytes is appended to its buffer
    string,       // in a string: the run of plain string bytes is appended to the text
};

// What a token run collects, which names its buffer, the limit of that buffer and the byte class
// that continues the run.
enum class Run : uint8_t { none, name, number, symbol, reference, type, unit };
inline constexpr size_t kRunKinds = static_cast<size_t>(Run::unit) + 1;

constexpr ByteClassBits run_class(Run run) {
    switch (run) {
        case Run::name:
        case Run::symbol:
        case Run::reference:
            return kNameByte;
        case Run::number:
            return kDigitByte;
        case Run::type:
            return kAnnotationByte;
        case Run::unit:
            return kUnitByte;
        case Run::none:
            break;
    }
    return 0;
}

// Flags of a state.
inline constexpr uint8_t kMayEnd = 1;    // the input may end here (with no struct open)
inline constexpr uint8_t kEmptyRow = 2;  // no cell: never entered, or the octet stream

struct StateFacts {
    const char *name;  // for traces and debugging
    uint8_t state;     // the row's own number, so that the table checks its order
    Bulk bulk = Bulk::none;
    uint8_t flags = 0;
    Run run = Run::none;  // token runs only
    uint8_t append = 0;   // token runs: the append action of the run's bytes
    // Token runs: the state that the append action enters, in which the run goes on (the state
    // itself, or for a state where a token's first bytes come, the state of its later bytes).
    uint8_t into = 0;
    // Token runs that start a token: the class of the first byte, when narrower than the run's.
    ByteClassBits first = 0;
};

inline constexpr std::array<StateFacts, kStates> kStateFacts = {{
    {"start", S_start, Bulk::white_space, kMayEnd},
    {"before_member", S_before_member, Bulk::white_space, kMayEnd},
    {"bom", S_bom},
    {"comment_first", S_comment_first},
    {"comment", S_comment},
    {"reserved_5", S_reserved_5, Bulk::none, kEmptyRow},
    {"lead_comment", S_lead_comment},
    {"lead_comment_ef", S_lead_comment_ef},
    {"lead_comment_efbb", S_lead_comment_efbb},
    {"reserved_9", S_reserved_9, Bulk::none, kEmptyRow},
    {"name_first", S_name_first, Bulk::token, 0, Run::name, A_name_append, S_name, kNameStartByte},
    {"name", S_name, Bulk::token, 0, Run::name, A_name_append, S_name},
    {"after_name", S_after_name, Bulk::white_space},
    {"type_open", S_type_open, Bulk::white_space},
    {"reserved_14", S_reserved_14, Bulk::none, kEmptyRow},
    {"after_annotation", S_after_annotation, Bulk::white_space},
    {"after_type_word", S_after_type_word, Bulk::white_space},
    {"type_text", S_type_text, Bulk::token, 0, Run::type, A_type_append, S_type_text},
    {"type_u", S_type_u},
    {"type_ui", S_type_ui},
    {"type_uin", S_type_uin},
    {"type_ut", S_type_ut},
    {"type_utf", S_type_utf},
    {"type_s", S_type_s},
    {"type_si", S_type_si},
    {"type_sin", S_type_sin},
    {"type_f", S_type_f},
    {"type_fl", S_type_fl},
    {"type_flo", S_type_flo},
    {"type_floa", S_type_floa},
    {"type_b", S_type_b},
    {"type_bo", S_type_bo},
    {"type_boo", S_type_boo},
    {"value", S_value, Bulk::white_space},
    {"array_open", S_array_open, Bulk::white_space},
    {"after_comma", S_after_comma, Bulk::white_space},
    {"after_array", S_after_array, Bulk::white_space},
    {"after_slash", S_after_slash, Bulk::white_space},
    {"after_minus", S_after_minus},
    {"after_zero", S_after_zero},
    {"int_digits", S_int_digits, Bulk::token, 0, Run::number, A_int_digit, S_int_digits},
    {"after_point", S_after_point, Bulk::token, 0, Run::number, A_fraction_digit, S_fraction},
    {"lead_point", S_lead_point, Bulk::token, 0, Run::number, A_fraction_digit, S_fraction},
    {"fraction", S_fraction, Bulk::token, 0, Run::number, A_fraction_digit, S_fraction},
    {"after_number", S_after_number, Bulk::white_space},
    {"exponent_mark", S_exponent_mark, Bulk::token, 0, Run::number, A_exponent_digit, S_exponent},
    {"exponent_sign", S_exponent_sign, Bulk::token, 0, Run::number, A_exponent_digit, S_exponent},
    {"exponent", S_exponent, Bulk::token, 0, Run::number, A_exponent_digit, S_exponent},
    {"special", S_special},
    {"special_n", S_special_n},
    {"special_na", S_special_na},
    {"special_i", S_special_i},
    {"special_in", S_special_in},
    {"special_minus", S_special_minus},
    {"special_minus_i", S_special_minus_i},
    {"special_minus_in", S_special_minus_in},
    {"reserved_56", S_reserved_56, Bulk::none, kEmptyRow},
    {"symbol", S_symbol, Bulk::token, 0, Run::symbol, A_symbol_append, S_symbol},
    {"after_symbol", S_after_symbol, Bulk::white_space},
    {"after_ampersand", S_after_ampersand},
    {"reference_segment", S_reference_segment, Bulk::token, 0, Run::reference, A_reference_append,
     S_reference, kNameStartByte},
    {"reference", S_reference, Bulk::token, 0, Run::reference, A_reference_append, S_reference},
    {"after_reference", S_after_reference, Bulk::white_space},
    {"string", S_string, Bulk::string},
    {"string_escape", S_string_escape},
    {"string_opened", S_string_opened, Bulk::string},
    {"after_string", S_after_string},
    {"after_string_ws", S_after_string_ws, Bulk::white_space},
    {"octets", S_octets, Bulk::none, kEmptyRow},
    {"after_octets", S_after_octets, Bulk::white_space},
    {"struct_open", S_struct_open, Bulk::white_space},
    {"after_struct", S_after_struct, Bulk::white_space},
    {"after_member", S_after_member, Bulk::white_space, kMayEnd},
    {"after_special", S_after_special},
    {"unit", S_unit, Bulk::token, 0, Run::unit, A_unit_append, S_unit},
    {"after_unit", S_after_unit, Bulk::white_space},
    {"skip", S_skip},
    {"skip_string", S_skip_string},
    {"skip_escape", S_skip_escape},
    {"skip_comment", S_skip_comment},
}};

// The state's name for traces and debugging; "invalid" for a number that is no state.
constexpr const char *state_name(uint32_t state) {
    return state < kStates ? kStateFacts[state].name : "invalid";
}

// The scanner's per-byte view of the facts: the bulk path of each state, one byte per state.
inline constexpr std::array<Bulk, kStates> kBulkOfState = [] {
    std::array<Bulk, kStates> t{};
    for (size_t s = 0; s < kStates; ++s) t[s] = kStateFacts[s].bulk;
    return t;
}();

// The bytes that continue each kind of token run, as a flag per byte for the runs' inner loop.
inline constexpr std::array<std::array<bool, 256>, kRunKinds> kRunBytes = [] {
    std::array<std::array<bool, 256>, kRunKinds> t{};
    for (size_t run = 0; run < kRunKinds; ++run)
        for (size_t b = 0; b < 256; ++b)
            t[run][b] = has_class(static_cast<uint8_t>(b), run_class(static_cast<Run>(run)));
    return t;
}();

// ---------------------------------------------------------------------------
// The transition table

using Row = std::array<uint8_t, 256>;
using Table = std::array<Row, kStates>;

namespace build {

constexpr void range(Row &r, int lo, int hi, uint8_t code) {
    for (int b = lo; b <= hi; ++b) r[static_cast<size_t>(b)] = code;
}
constexpr void bytes(Row &r, const char *s, uint8_t code) {
    for (; *s; ++s) r[static_cast<uint8_t>(*s)] = code;
}
// Every byte of a byte class.
constexpr void of_class(Row &r, ByteClassBits cls, uint8_t code) {
    for (size_t b = 0; b < 256; ++b)
        if (has_class(static_cast<uint8_t>(b), cls)) r[b] = code;
}
constexpr void white(Row &r, uint8_t code) {
    of_class(r, kWhiteSpaceByte, code);
}
// The start of any value (after `=`, after an annotation, as an element).
constexpr void value_start(Row &r) {
    r[0x00] = A_octets_start;
    r['&'] = A_reference_start;
    r['-'] = A_number_sign;
    r['.'] = A_lead_point;
    of_class(r, kDigitByte, A_int_digit);
    r['0'] = A_zero_digit;
    of_class(r, kNameStartByte, A_symbol_start);
    r['['] = A_array_start;
    r['{'] = A_struct_open;
}
// After a complete scalar: separator, terminator or closing bracket.
constexpr void value_end(Row &r) {
    r[','] = A_element_sep;
    r[';'] = A_terminate;
    r[']'] = A_array_end;
}

constexpr Table make_table() {
    Table t{};
    Row *s = t.data();

    white(s[S_start], kStay);
    s[S_start]['#'] = A_lead_comment;
    s[S_start]['.'] = A_name_start;
    s[S_start][0xEF] = A_bom_byte;

    white(s[S_before_member], kStay);
    s[S_before_member]['#'] = A_lead_comment;
    s[S_before_member]['.'] = A_name_start;

    range(s[S_bom], 0x00, 0xFF, A_bom_byte);

    for (State st : {S_comment_first, S_comment}) {
        of_class(s[st], kCommentByte, go(S_comment));
        of_class(s[st], kLineBreakByte, A_comment_end);
    }
    for (State st : {S_lead_comment, S_lead_comment_ef, S_lead_comment_efbb}) {
        of_class(s[st], kCommentByte, A_lead_comment_byte);
        of_class(s[st], kLineBreakByte, A_lead_comment_end);
    }

    of_class(s[S_name_first], kNameStartByte, A_name_append);

    white(s[S_name], go(S_after_name));
    of_class(s[S_name], kNameByte, A_name_append);
    s[S_name]['='] = A_assign;

    white(s[S_after_name], kStay);
    s[S_after_name]['#'] = A_comment_start;
    s[S_after_name]['='] = A_assign;

    white(s[S_type_open], kStay);
    s[S_type_open]['#'] = A_comment_start;
    s[S_type_open]['b'] = go(S_type_b);
    s[S_type_open]['f'] = go(S_type_f);
    s[S_type_open]['s'] = go(S_type_s);
    s[S_type_open]['u'] = go(S_type_u);

    white(s[S_after_annotation], kStay);
    value_start(s[S_after_annotation]);
    s[S_after_annotation]['"'] = A_string_start;
    s[S_after_annotation]['#'] = A_comment_start;
    s[S_after_annotation]['$'] = A_special_start;
    s[S_after_annotation][','] = A_annotated_element_sep;
    s[S_after_annotation][';'] = A_annotated_terminate;
    s[S_after_annotation][']'] = A_annotated_array_end;

    white(s[S_after_type_word], kStay);
    s[S_after_type_word]['#'] = A_comment_start;
    of_class(s[S_after_type_word], kAnnotationByte, A_type_append);
    s[S_after_type_word]['>'] = A_annotation_end;

    white(s[S_type_text], go(S_after_type_word));
    of_class(s[S_type_text], kAnnotationByte, A_type_append);
    s[S_type_text]['>'] = A_annotation_end;

    s[S_type_u]['i'] = go(S_type_ui);
    s[S_type_u]['t'] = go(S_type_ut);
    s[S_type_ui]['n'] = go(S_type_uin);
    s[S_type_uin]['t'] = A_type_word_uint;
    s[S_type_ut]['f'] = go(S_type_utf);
    s[S_type_utf]['8'] = A_type_word_utf8;
    s[S_type_s]['i'] = go(S_type_si);
    s[S_type_si]['n'] = go(S_type_sin);
    s[S_type_sin]['t'] = A_type_word_sint;
    s[S_type_f]['l'] = go(S_type_fl);
    s[S_type_fl]['o'] = go(S_type_flo);
    s[S_type_flo]['a'] = go(S_type_floa);
    s[S_type_floa]['t'] = A_type_word_float;
    s[S_type_b]['o'] = go(S_type_bo);
    s[S_type_bo]['o'] = go(S_type_boo);
    s[S_type_boo]['l'] = A_type_word_bool;

    white(s[S_value], kStay);
    value_start(s[S_value]);
    s[S_value]['"'] = A_string_start;
    s[S_value]['#'] = A_comment_start;
    s[S_value]['$'] = A_special_start;
    s[S_value][';'] = A_terminate;
    s[S_value]['<'] = A_annotation_start;

    for (State st : {S_array_open, S_after_comma}) {
        white(s[st], kStay);
        value_start(s[st]);
        s[st]['"'] = A_element_string_start;
        s[st]['#'] = A_comment_start;
        s[st]['$'] = A_element_special_start;
        s[st][','] = A_element_sep;
        s[st]['<'] = A_annotation_start;
        s[st][']'] = A_array_end;
    }

    white(s[S_after_array], kStay);
    s[S_after_array]['#'] = A_comment_start;
    value_end(s[S_after_array]);
    s[S_after_array]['/'] = A_row_break;

    white(s[S_after_slash], kStay);
    s[S_after_slash]['#'] = A_comment_start;
    s[S_after_slash]['['] = A_array_start;

    s[S_after_minus]['.'] = A_lead_point;
    of_class(s[S_after_minus], kDigitByte, A_int_digit);
    s[S_after_minus]['0'] = A_zero_digit;

    for (State st : {S_after_zero, S_int_digits}) {
        white(s[st], go(S_after_number));
        value_end(s[st]);
        s[st]['.'] = A_point;
        of_class(s[st], kDigitByte, A_int_digit);
        bytes(s[st], "Ee", A_exponent_mark);
    }
    for (State st : {S_after_point, S_fraction}) {
        white(s[st], go(S_after_number));
        value_end(s[st]);
        of_class(s[st], kDigitByte, A_fraction_digit);
        bytes(s[st], "Ee", A_exponent_mark);
    }
    of_class(s[S_lead_point], kDigitByte, A_fraction_digit);

    white(s[S_after_number], kStay);
    s[S_after_number]['#'] = A_comment_start;
    of_class(s[S_after_number], kUnitStartByte, A_unit_start);
    value_end(s[S_after_number]);

    bytes(s[S_exponent_mark], "+-", A_exponent_sign);
    of_class(s[S_exponent_mark], kDigitByte, A_exponent_digit);
    of_class(s[S_exponent_sign], kDigitByte, A_exponent_digit);

    white(s[S_exponent], go(S_after_number));
    value_end(s[S_exponent]);
    of_class(s[S_exponent], kDigitByte, A_exponent_digit);

    s[S_special]['-'] = go(S_special_minus);
    s[S_special]['i'] = go(S_special_i);
    s[S_special]['n'] = go(S_special_n);
    s[S_special_n]['a'] = go(S_special_na);
    s[S_special_na]['n'] = A_special_nan;
    s[S_special_i]['n'] = go(S_special_in);
    s[S_special_in]['f'] = A_special_inf;
    s[S_special_minus]['i'] = go(S_special_minus_i);
    s[S_special_minus_i]['n'] = go(S_special_minus_in);
    s[S_special_minus_in]['f'] = A_special_minus_inf;

    white(s[S_symbol], go(S_after_symbol));
    of_class(s[S_symbol], kNameByte, A_symbol_append);
    value_end(s[S_symbol]);

    for (State st : {S_after_symbol, S_after_reference, S_after_octets, S_after_struct}) {
        white(s[st], kStay);
        s[st]['#'] = A_comment_start;
        value_end(s[st]);
    }

    s[S_after_ampersand]['.'] = A_reference_point;
    of_class(s[S_reference_segment], kNameStartByte, A_reference_append);

    white(s[S_reference], go(S_after_reference));
    of_class(s[S_reference], kNameByte, A_reference_append);
    value_end(s[S_reference]);
    s[S_reference]['.'] = A_reference_point;

    for (State st : {S_string, S_string_opened}) {
        of_class(s[st], kStringLiteralByte, A_string_append);
        s[st]['"'] = go(S_after_string);
        s[st]['\\'] = go(S_string_escape);
    }
    for (size_t b = 0; b < 256; ++b)
        if (kEscapeReplacement[b] != 0) s[S_string_escape][b] = A_escape_append;

    white(s[S_after_string], go(S_after_string_ws));
    s[S_after_string]['"'] = A_string_start;
    s[S_after_string]['#'] = A_comment_start;
    value_end(s[S_after_string]);

    white(s[S_after_string_ws], kStay);
    s[S_after_string_ws]['"'] = A_string_start;
    s[S_after_string_ws]['#'] = A_comment_start;
    of_class(s[S_after_string_ws], kUnitStartByte, A_unit_start);
    value_end(s[S_after_string_ws]);

    for (State st : {S_struct_open, S_after_member}) {
        white(s[st], kStay);
        s[st]['#'] = A_comment_start;
        s[st]['.'] = A_name_start;
        s[st]['}'] = A_struct_close;
    }

    white(s[S_after_special], go(S_after_number));
    s[S_after_special]['#'] = A_comment_start;
    value_end(s[S_after_special]);

    white(s[S_unit], A_unit_end);
    s[S_unit]['#'] = A_comment_start;
    of_class(s[S_unit], kUnitByte, A_unit_append);
    s[S_unit][';'] = A_terminate;

    white(s[S_after_unit], kStay);
    s[S_after_unit]['#'] = A_comment_start;
    s[S_after_unit][';'] = A_terminate;

    range(s[S_skip], 0x00, 0xFF, A_skip);
    s[S_skip]['"'] = A_skip_string;
    s[S_skip]['#'] = A_skip_comment;
    s[S_skip][';'] = A_resync;
    bytes(s[S_skip], "[{", A_skip_open);
    bytes(s[S_skip], "]}", A_skip_close);

    range(s[S_skip_string], 0x00, 0xFF, A_skip_string);
    s[S_skip_string]['"'] = A_skip_string_end;
    s[S_skip_string]['\\'] = A_skip_escape;

    range(s[S_skip_escape], 0x00, 0xFF, A_skip_string);

    range(s[S_skip_comment], 0x00, 0xFF, A_skip_comment);
    of_class(s[S_skip_comment], kLineBreakByte, A_skip_comment_end);
    return t;
}

}  // namespace build

inline constexpr Table kTransitions = build::make_table();

// ---------------------------------------------------------------------------
// Rows, byte classes and facts agree

namespace checks {

// The cells of state s that hold `action` are exactly the bytes of class `cls`.
constexpr bool cells_are_class(State s, uint8_t action, ByteClassBits cls) {
    for (size_t b = 0; b < 256; ++b)
        if ((kTransitions[s][b] == action) != has_class(static_cast<uint8_t>(b), cls)) return false;
    return true;
}

struct ClassCells {
    State state;
    uint8_t action;
    ByteClassBits cls;
};

// Rows whose cells for an action must be a whole byte class and nothing else: an edit that
// overrides one byte of a class in one row, or widens a row past its class, fails here.
inline constexpr ClassCells kClassCells[] = {
    {S_comment_first, go(S_comment), kCommentByte},
    {S_comment_first, A_comment_end, kLineBreakByte},
    {S_comment, go(S_comment), kCommentByte},
    {S_comment, A_comment_end, kLineBreakByte},
    {S_lead_comment, A_lead_comment_byte, kCommentByte},
    {S_lead_comment_ef, A_lead_comment_end, kLineBreakByte},
    {S_lead_comment_efbb, A_lead_comment_byte, kCommentByte},
    {S_name_first, A_name_append, kNameStartByte},
    {S_name, go(S_after_name), kWhiteSpaceByte},
    {S_after_annotation, A_symbol_start, kNameStartByte},
    {S_after_type_word, A_type_append, kAnnotationByte},
    {S_value, A_symbol_start, kNameStartByte},
    {S_array_open, A_symbol_start, kNameStartByte},
    {S_lead_point, A_fraction_digit, kDigitByte},
    {S_after_number, A_unit_start, kUnitStartByte},
    {S_exponent_sign, A_exponent_digit, kDigitByte},
    {S_reference_segment, A_reference_append, kNameStartByte},
    {S_string, A_string_append, kStringLiteralByte},
    {S_string_opened, A_string_append, kStringLiteralByte},
    {S_after_string_ws, A_unit_start, kUnitStartByte},
    {S_unit, A_unit_end, kWhiteSpaceByte},
    {S_skip_comment, A_skip_comment_end, kLineBreakByte},
};

constexpr bool class_cells_agree() {
    for (const ClassCells &c : kClassCells)
        if (!cells_are_class(c.state, c.action, c.cls)) return false;
    return true;
}

constexpr bool row_empty(size_t s) {
    for (uint8_t cell : kTransitions[s])
        if (cell != kNoTransition) return false;
    return true;
}

// Each entry sits at its own number and has a name of its own.
constexpr bool facts_in_order() {
    for (size_t s = 0; s < kStates; ++s) {
        if (kStateFacts[s].state != s || kStateFacts[s].name[0] == '\0') return false;
        for (size_t t = 0; t < s; ++t) {
            const char *x = kStateFacts[s].name;
            const char *y = kStateFacts[t].name;
            while (*x && *x == *y) ++x, ++y;
            if (*x == *y) return false;
        }
    }
    return true;
}

// The rows of unused states and of the octet stream are empty, and no other row is.
constexpr bool empty_rows_agree() {
    for (size_t s = 0; s < kStates; ++s)
        if (row_empty(s) != ((kStateFacts[s].flags & kEmptyRow) != 0)) return false;
    return true;
}

// White-space runs are taken exactly in the states where LF and SP stay, and in each of them
// every white-space byte stays.
constexpr bool white_space_states_agree() {
    for (size_t s = 0; s < kStates; ++s) {
        const bool flagged = kStateFacts[s].bulk == Bulk::white_space;
        const bool stays = kTransitions[s]['\n'] == kStay && kTransitions[s][' '] == kStay;
        if (flagged != stays) return false;
        if (flagged && !cells_are_class(static_cast<State>(s), kStay, kWhiteSpaceByte))
            return false;
    }
    return true;
}

// A token run takes the printable bytes (from 0x21, not 0x7F) whose cell is its append action:
// in its own state exactly the class `first` (or the run's class), then, in the state that the
// action enters, the run's class. That state runs the same kind of run with the same action and
// stays in itself.
constexpr bool token_runs_agree() {
    for (size_t s = 0; s < kStates; ++s) {
        const StateFacts &f = kStateFacts[s];
        if ((f.bulk == Bulk::token) != (f.run != Run::none)) return false;
        if (f.bulk != Bulk::token) continue;
        const StateFacts &into = kStateFacts[f.into];
        if (into.bulk != Bulk::token || into.run != f.run || into.append != f.append ||
            into.into != f.into || into.first != 0)
            return false;
        const ByteClassBits first = f.first ? f.first : run_class(f.run);
        if (!byte_class_checks::within(first, run_class(f.run))) return false;
        for (size_t b = 0; b < 256; ++b) {
            const bool taken = b >= 0x21 && b != 0x7F && kTransitions[s][b] == f.append;
            if (taken != has_class(static_cast<uint8_t>(b), first)) return false;
        }
    }
    return true;
}

// A string run takes only bytes whose cell is string_append in both string states.
constexpr bool string_runs_agree() {
    for (size_t s = 0; s < kStates; ++s) {
        if (kStateFacts[s].bulk != Bulk::string) continue;
        for (size_t b = 0; b < 256; ++b)
            if (has_class(static_cast<uint8_t>(b), kStringRunByte) &&
                kTransitions[s][b] != A_string_append)
                return false;
    }
    return true;
}

static_assert(class_cells_agree());
static_assert(facts_in_order());
static_assert(empty_rows_agree());
static_assert(white_space_states_agree());
static_assert(token_runs_agree());
static_assert(string_runs_agree());

}  // namespace checks

}  // namespace tvl::scan
