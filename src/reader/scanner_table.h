// The scanner's grammar: an 80-state by 256-byte transition table of action
// codes, and the tables derived from it. Everything here is computed at
// compile time, so the tables are ready (and read-only) before any reader
// exists and are safe to share between threads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tvl::scan {

inline constexpr int kStates = 80;

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

constexpr uint8_t go(int state) {
    return static_cast<uint8_t>(kGotoBase + state);
}

// Named states used by the code around the table.
enum State : uint32_t {
    S_start = 0,
    S_before_member = 1,
    S_bom = 2,
    S_comment_first = 3,
    S_comment = 4,
    S_lead_comment = 6,
    S_lead_comment_ef = 7,
    S_lead_comment_efbb = 8,
    S_name_first = 10,
    S_name = 11,
    S_after_name = 12,
    S_type_open = 13,
    S_after_annotation = 15,
    S_after_type_word = 16,
    S_type_text = 17,
    S_value = 33,
    S_array_open = 34,
    S_after_comma = 35,
    S_after_array = 36,
    S_after_slash = 37,
    S_int_digits = 40,
    S_fraction = 43,
    S_after_number = 44,
    S_exponent = 47,
    S_symbol = 57,
    S_reference = 61,
    S_string = 63,
    S_string_opened = 65,
    S_after_string = 66,
    S_after_string_ws = 67,
    S_octets = 68,
    S_after_octets = 69,
    S_struct_open = 70,
    S_after_member = 72,
    S_after_special = 73,
    S_unit = 74,
    S_after_unit = 75,
    S_skip = 76,
    S_skip_string = 77,
    S_skip_escape = 78,
    S_skip_comment = 79,
};

using Row = std::array<uint8_t, 256>;
using Table = std::array<Row, kStates>;

namespace build {

constexpr void range(Row &r, int lo, int hi, uint8_t code) {
    for (int b = lo; b <= hi; ++b) r[static_cast<size_t>(b)] = code;
}
constexpr void bytes(Row &r, const char *s, uint8_t code) {
    for (; *s; ++s) r[static_cast<uint8_t>(*s)] = code;
}
constexpr void white(Row &r, uint8_t code) {
    bytes(r, "\t\n\v\f\r ", code);
}
// A-Z _ a-z
constexpr void letters(Row &r, uint8_t code) {
    range(r, 'A', 'Z', code);
    r['_'] = code;
    range(r, 'a', 'z', code);
}
// First character of names, symbols and reference segments.
constexpr void name_first(Row &r, uint8_t code) {
    letters(r, code);
    range(r, 0xC3, 0xF4, code);
}
// Later characters of names, symbols and reference segments.
constexpr void name_rest(Row &r, uint8_t code) {
    bytes(r, "+-", code);
    range(r, '0', '9', code);
    letters(r, code);
    range(r, 0x80, 0xC1, code);
    range(r, 0xC3, 0xFF, code);
}
// Annotation text after the type word.
constexpr void type_chars(Row &r, uint8_t code) {
    r['%'] = code;
    range(r, '*', ':', code);
    range(r, 'A', 'Z', code);
    bytes(r, "^_~", code);
    range(r, 'a', 'z', code);
    range(r, 0x80, 0xBF, code);
    range(r, 0xC2, 0xF4, code);
}
constexpr void unit_first(Row &r, uint8_t code) {
    r['%'] = code;
    letters(r, code);
    range(r, 0xC2, 0xF4, code);
}
constexpr void unit_chars(Row &r, uint8_t code) {
    bytes(r, "%*+^_~", code);
    range(r, '-', ':', code);
    range(r, 'A', 'Z', code);
    range(r, 'a', 'z', code);
    range(r, 0x80, 0xBF, code);
    range(r, 0xC2, 0xF4, code);
}
constexpr void comment_chars(Row &r, uint8_t code) {
    bytes(r, "\t\v\f", code);
    range(r, ' ', '~', code);
    range(r, 0x80, 0xFF, code);
}
constexpr void string_chars(Row &r, uint8_t code) {
    range(r, '\t', '\r', code);
    bytes(r, " !", code);
    range(r, '#', '[', code);
    range(r, ']', '~', code);
    range(r, 0x80, 0xFF, code);
}
// The start of any value (after `=`, after an annotation, as an element).
constexpr void value_start(Row &r) {
    r[0x00] = A_octets_start;
    r['&'] = A_reference_start;
    r['-'] = A_number_sign;
    r['.'] = A_lead_point;
    r['0'] = A_zero_digit;
    range(r, '1', '9', A_int_digit);
    name_first(r, A_symbol_start);
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

    white(s[0], kStay);
    s[0]['#'] = A_lead_comment;
    s[0]['.'] = A_name_start;
    s[0][0xEF] = A_bom_byte;

    white(s[1], kStay);
    s[1]['#'] = A_lead_comment;
    s[1]['.'] = A_name_start;

    range(s[2], 0x00, 0xFF, A_bom_byte);

    for (int st : {3, 4}) {
        comment_chars(s[st], go(4));
        bytes(s[st], "\n\r", A_comment_end);
    }
    for (int st : {6, 7, 8}) {
        comment_chars(s[st], A_lead_comment_byte);
        bytes(s[st], "\n\r", A_lead_comment_end);
    }

    name_first(s[10], A_name_append);

    white(s[11], go(12));
    name_rest(s[11], A_name_append);
    s[11]['='] = A_assign;

    white(s[12], kStay);
    s[12]['#'] = A_comment_start;
    s[12]['='] = A_assign;

    white(s[13], kStay);
    s[13]['#'] = A_comment_start;
    s[13]['b'] = go(30);
    s[13]['f'] = go(26);
    s[13]['s'] = go(23);
    s[13]['u'] = go(18);

    // Never entered; white space stays so that its flag matches the others.
    white(s[14], kStay);

    white(s[15], kStay);
    value_start(s[15]);
    s[15]['"'] = A_string_start;
    s[15]['#'] = A_comment_start;
    s[15]['$'] = A_special_start;
    s[15][','] = A_annotated_element_sep;
    s[15][';'] = A_annotated_terminate;
    s[15][']'] = A_annotated_array_end;

    white(s[16], kStay);
    s[16]['#'] = A_comment_start;
    type_chars(s[16], A_type_append);
    s[16]['>'] = A_annotation_end;

    white(s[17], go(16));
    type_chars(s[17], A_type_append);
    s[17]['>'] = A_annotation_end;

    s[18]['i'] = go(19);
    s[18]['t'] = go(21);
    s[19]['n'] = go(20);
    s[20]['t'] = A_type_word_uint;
    s[21]['f'] = go(22);
    s[22]['8'] = A_type_word_utf8;
    s[23]['i'] = go(24);
    s[24]['n'] = go(25);
    s[25]['t'] = A_type_word_sint;
    s[26]['l'] = go(27);
    s[27]['o'] = go(28);
    s[28]['a'] = go(29);
    s[29]['t'] = A_type_word_float;
    s[30]['o'] = go(31);
    s[31]['o'] = go(32);
    s[32]['l'] = A_type_word_bool;

    white(s[33], kStay);
    value_start(s[33]);
    s[33]['"'] = A_string_start;
    s[33]['#'] = A_comment_start;
    s[33]['$'] = A_special_start;
    s[33][';'] = A_terminate;
    s[33]['<'] = A_annotation_start;

    for (int st : {34, 35}) {
        white(s[st], kStay);
        value_start(s[st]);
        s[st]['"'] = A_element_string_start;
        s[st]['#'] = A_comment_start;
        s[st]['$'] = A_element_special_start;
        s[st][','] = A_element_sep;
        s[st]['<'] = A_annotation_start;
        s[st][']'] = A_array_end;
    }

    white(s[36], kStay);
    s[36]['#'] = A_comment_start;
    value_end(s[36]);
    s[36]['/'] = A_row_break;

    white(s[37], kStay);
    s[37]['#'] = A_comment_start;
    s[37]['['] = A_array_start;

    s[38]['.'] = A_lead_point;
    s[38]['0'] = A_zero_digit;
    range(s[38], '1', '9', A_int_digit);

    for (int st : {39, 40}) {
        white(s[st], go(44));
        value_end(s[st]);
        s[st]['.'] = A_point;
        range(s[st], '0', '9', A_int_digit);
        bytes(s[st], "Ee", A_exponent_mark);
    }
    for (int st : {41, 43}) {
        white(s[st], go(44));
        value_end(s[st]);
        range(s[st], '0', '9', A_fraction_digit);
        bytes(s[st], "Ee", A_exponent_mark);
    }
    range(s[42], '0', '9', A_fraction_digit);

    white(s[44], kStay);
    s[44]['#'] = A_comment_start;
    unit_first(s[44], A_unit_start);
    value_end(s[44]);

    bytes(s[45], "+-", A_exponent_sign);
    range(s[45], '0', '9', A_exponent_digit);
    range(s[46], '0', '9', A_exponent_digit);

    white(s[47], go(44));
    value_end(s[47]);
    range(s[47], '0', '9', A_exponent_digit);

    s[48]['-'] = go(53);
    s[48]['i'] = go(51);
    s[48]['n'] = go(49);
    s[49]['a'] = go(50);
    s[50]['n'] = A_special_nan;
    s[51]['n'] = go(52);
    s[52]['f'] = A_special_inf;
    s[53]['i'] = go(54);
    s[54]['n'] = go(55);
    s[55]['f'] = A_special_minus_inf;

    white(s[57], go(58));
    name_rest(s[57], A_symbol_append);
    value_end(s[57]);

    for (int st : {58, 62, 69, 71}) {
        white(s[st], kStay);
        s[st]['#'] = A_comment_start;
        value_end(s[st]);
    }

    s[59]['.'] = A_reference_point;
    name_first(s[60], A_reference_append);

    white(s[61], go(62));
    name_rest(s[61], A_reference_append);
    value_end(s[61]);
    s[61]['.'] = A_reference_point;

    for (int st : {63, 65}) {
        string_chars(s[st], A_string_append);
        s[st]['"'] = go(66);
        s[st]['\\'] = go(64);
    }
    bytes(s[64], "\"\\fnrtv", A_escape_append);

    white(s[66], go(67));
    s[66]['"'] = A_string_start;
    s[66]['#'] = A_comment_start;
    value_end(s[66]);

    white(s[67], kStay);
    s[67]['"'] = A_string_start;
    s[67]['#'] = A_comment_start;
    unit_first(s[67], A_unit_start);
    value_end(s[67]);

    for (int st : {70, 72}) {
        white(s[st], kStay);
        s[st]['#'] = A_comment_start;
        s[st]['.'] = A_name_start;
        s[st]['}'] = A_struct_close;
    }

    white(s[73], go(44));
    s[73]['#'] = A_comment_start;
    value_end(s[73]);

    white(s[74], A_unit_end);
    s[74]['#'] = A_comment_start;
    unit_chars(s[74], A_unit_append);
    s[74][';'] = A_terminate;

    white(s[75], kStay);
    s[75]['#'] = A_comment_start;
    s[75][';'] = A_terminate;

    range(s[76], 0x00, 0xFF, A_skip);
    s[76]['"'] = A_skip_string;
    s[76]['#'] = A_skip_comment;
    s[76][';'] = A_resync;
    bytes(s[76], "[{", A_skip_open);
    bytes(s[76], "]}", A_skip_close);

    range(s[77], 0x00, 0xFF, A_skip_string);
    s[77]['"'] = A_skip_string_end;
    s[77]['\\'] = A_skip_escape;

    range(s[78], 0x00, 0xFF, A_skip_string);

    range(s[79], 0x00, 0xFF, A_skip_comment);
    bytes(s[79], "\n\r", A_skip_comment_end);
    return t;
}

}  // namespace build

inline constexpr Table kTransitions = build::make_table();

// White-space bytes: TAB, LF, VT, FF, CR and SP.
inline constexpr std::array<bool, 256> kWhiteSpace = [] {
    std::array<bool, 256> w{};
    for (uint8_t b : {'\t', '\n', '\v', '\f', '\r', ' '}) w[b] = true;
    return w;
}();

// States in which both LF and SP stay: runs of white space are consumed in
// bulk there.
inline constexpr std::array<bool, kStates> kWhiteSpaceState = [] {
    std::array<bool, kStates> f{};
    for (size_t s = 0; s < kStates; ++s)
        f[s] = kTransitions[s]['\n'] == kStay && kTransitions[s][' '] == kStay;
    return f;
}();

// The token-collecting states whose runs are appended in bulk, and which
// buffer each one fills.
enum class RunBuffer : uint8_t { none, text, type, unit };

struct RunState {
    RunBuffer buffer = RunBuffer::none;
    uint8_t append = 0;  // the state's own append action
};

inline constexpr std::array<RunState, kStates> kRunStates = [] {
    std::array<RunState, kStates> r{};
    r[11] = {RunBuffer::text, A_name_append};
    r[17] = {RunBuffer::type, A_type_append};
    r[40] = {RunBuffer::text, A_int_digit};
    r[43] = {RunBuffer::text, A_fraction_digit};
    r[47] = {RunBuffer::text, A_exponent_digit};
    r[57] = {RunBuffer::text, A_symbol_append};
    r[61] = {RunBuffer::text, A_reference_append};
    r[74] = {RunBuffer::unit, A_unit_append};
    return r;
}();

// Stay sets: byte b continues a run in state s when it is printable (at
// least 0x21, not 0x7F) and the state's cell for it is its own append action.
inline constexpr std::array<std::array<bool, 256>, kStates> kStaySets = [] {
    std::array<std::array<bool, 256>, kStates> sets{};
    for (size_t s = 0; s < kStates; ++s) {
        if (kRunStates[s].buffer == RunBuffer::none) continue;
        for (size_t b = 0x21; b < 256; ++b)
            sets[s][b] = b != 0x7F && kTransitions[s][b] == kRunStates[s].append;
    }
    return sets;
}();

// Bytes that a string run takes at once: above 0x1F, not `"`, `\` or 0x7F.
inline constexpr std::array<bool, 256> kStringRun = [] {
    std::array<bool, 256> t{};
    for (size_t b = 0x20; b < 256; ++b) t[b] = b != '"' && b != '\\' && b != 0x7F;
    return t;
}();

}  // namespace tvl::scan
