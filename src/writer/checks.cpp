// The writer's checks of names, values, units and annotation parameters. Texts are checked in
// place as spans; nothing is copied, so no check allocates.
#include "writer/checks.h"

#include <cstring>
#include <string_view>

#include "core/annotation.h"
#include "core/byte_classes.h"
#include "core/limits.h"
#include "core/number_text.h"
#include "core/text_tokens.h"
#include "core/utf8.h"
#include "core/value_rules.h"

namespace tvl::wr {
namespace {

bool text_is(const char *text, size_t len, const char *word, size_t word_len) {
    return len == word_len && std::memcmp(text, word, len) == 0;
}

// The writer's own rules for numbers and strings run before the reader's check of the text
// (tvl::check_value) and decide the code where both refuse. They are the rules of the writer's
// interface and differ from the reader's: a width of 0 means no range check, '-' under uint is
// out of range before any digit is looked at, a number in a base other than 10 may take any
// form of number text in that base, and the string of a sint or uint may carry a '+'. Digits are
// read in the base the reader reads them in (parse_base_of).
//
// The writer's rules for a number under its declared type.
uint32_t number_rules(const char *text, size_t len, uint32_t type, uint32_t bits, uint32_t base) {
    if (len == 0) return 0;
    if (text == nullptr) return TVL_ERR_INVALID_ARGUMENT;
    const bool numeric = is_numeric_type(type);
    if (is_special_number(text, len)) {
        return type == TVLR_TYPE_PLAIN || numeric ? 0 : TVL_ERR_TYPE_VALUE_MISMATCH;
    }
    const uint32_t B = parse_base_of({type, bits, base});
    if (type == TVLR_TYPE_UINT && text[0] == '-') return TVL_ERR_VALUE_OUT_OF_RANGE;
    if (numeric && B != 10) {
        if (!is_number_in_base(text, len, B)) return TVL_ERR_DIGIT_NOT_IN_BASE;
    } else {
        if (!is_decimal_number(text, len)) return TVL_ERR_TYPE_VALUE_MISMATCH;
        bool point = false;
        for (size_t i = 0; i < len; ++i)
            point |= text[i] == '.' || text[i] == 'e' || text[i] == 'E';
        if (point && type == TVLR_TYPE_FLOAT) return 0;
        if (point && (is_integer_type(type) || type > TVLR_TYPE_BOOL))
            return TVL_ERR_TYPE_VALUE_MISMATCH;
    }
    if (is_integer_type(type) && !integer_text_fits(type, {text, len}, bits, B))
        return TVL_ERR_VALUE_OUT_OF_RANGE;
    return 0;
}

// A number as a reader reads it after the writer's rules passed. On top of the reader's check,
// the text written must scan as one number token: an empty one writes nothing and reads as null,
// and any other text that is not a decimal number reads as a symbol or not at all.
uint32_t number_as_read(uint32_t kind, const char *text, size_t len,
                        const tvl_type_annotation &type) {
    if (len == 0) return TVL_ERR_TYPE_VALUE_MISMATCH;
    if (len > kTokenMaxLen) return TVL_ERR_NUMBER_TOO_LONG;
    if (!is_special_number(text, len) && !is_decimal_number(text, len))
        return TVL_ERR_TYPE_VALUE_MISMATCH;
    return tvl::check_value(type, kind, {text, len});
}

// True when the writer's rules, having passed, leave nothing for the reader's check to find: a
// text in base 10 that is not a special number has then been checked as a decimal number token,
// its digits are digits of the base, a point or exponent under an integer type is refused, and
// an integer with a stated width has been checked against that width. An integer without a
// width is left to the reader's check, which holds it to 64 bits.
bool settled_by_number_rules(const char *text, size_t len, const tvl_type_annotation &type) {
    return len != 0 && parse_base_of(type) == 10 && !is_special_number(text, len) &&
           (type.bits != 0 || !is_integer_type(type.value_type));
}

// True for a value that every rule below passes without looking further: a number of at most
// 18 decimal digits (after a '-' under sint) under sint or uint of 64 bits or more in base 10.
// It is a decimal number token without point or exponent, and below 10^18 < 2^63 it fits.
bool short_integer_passes(uint32_t kind, const char *text, size_t len, uint32_t type, uint32_t bits,
                          uint32_t base) {
    if (!is_number_kind(kind) || !is_integer_type(type) || bits < 64 || (base != 0 && base != 10) ||
        text == nullptr)
        return false;
    size_t i = type == TVLR_TYPE_SINT && len > 0 && text[0] == '-' ? 1 : 0;
    if (len == i || len - i > 18) return false;
    for (; i < len; ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

// The writer's rules for a string: any content a literal can carry; under a numeric type it
// holds a number.
uint32_t string_rules(const char *text, size_t len, uint32_t type, uint32_t bits, uint32_t base) {
    if (len == 0) return 0;
    if (text == nullptr) return TVL_ERR_INVALID_ARGUMENT;
    if (const uint32_t code = check_string_content(text, len)) return code;
    if (!is_numeric_type(type)) return 0;
    const uint32_t B = parse_base_of({type, bits, base});
    if (!is_integer_type(type))
        return is_number_in_base(text, len, B) ? 0 : TVL_ERR_DIGIT_NOT_IN_BASE;
    if (type == TVLR_TYPE_UINT && text[0] == '-') return TVL_ERR_VALUE_OUT_OF_RANGE;
    if (!is_digit_string(text, len, B)) return TVL_ERR_DIGIT_NOT_IN_BASE;
    return integer_text_fits(type, {text, len}, bits, B) ? 0 : TVL_ERR_VALUE_OUT_OF_RANGE;
}

uint32_t check_bool(const char *text, size_t len) {
    return text != nullptr && is_bool_word(text, len) ? 0 : TVL_ERR_TYPE_VALUE_MISMATCH;
}

// An identifier (is_identifier) in one pass over the bytes: a name-start byte, then name bytes;
// only a name with a byte from 80 up needs the UTF-8 check as well.
bool is_name(const char *text, size_t len) {
    if (text == nullptr || len == 0) return false;
    const auto *p = reinterpret_cast<const uint8_t *>(text);
    if (!is_name_start_byte(p[0])) return false;
    uint8_t seen = p[0];
    for (size_t i = 1; i < len; ++i) {
        if (!is_name_byte(p[i])) return false;
        seen |= p[i];
    }
    return seen < 0x80 || utf8_valid(p, len);
}

uint32_t check_symbol(const char *text, size_t len) {
    if (len == 0) return TVL_ERR_EMPTY_IDENTIFIER;
    return is_name(text, len) ? 0 : TVL_ERR_TYPE_VALUE_MISMATCH;
}

uint32_t check_reference(const char *text, size_t len) {
    if (text == nullptr || len == 0) return TVL_ERR_INVALID_ARGUMENT;
    return is_reference(text, len) ? 0 : TVL_ERR_TYPE_VALUE_MISMATCH;
}

// True between type_start and type_end once the type word has been written.
bool type_word_written(const Output &o) {
    return o.in_annotation && o.annotation.type != 0;
}

uint32_t check_unit_param(const Output &o, const char *text, size_t len, tvl_unit &declared,
                          UnitParseMemo &memo) {
    const InForce &a = o.annotation;
    if (text == nullptr || len == 0) return TVL_ERR_INVALID_ARGUMENT;
    if (o.annotation_len + 1 + len > kAnnotationTextMax) return TVL_ERR_TYPE_TOO_LONG;
    if (a.type == TVLR_TYPE_BOOL) return TVL_ERR_ILLEGAL_VALUE_TYPE;
    // A parameter that starts like a width, a base or a fraction count is read as one.
    const auto first = static_cast<uint8_t>(text[0]);
    if (has_class(first, kDigitByte) || first == '_' ||
        (first == 'q' && len > 1 && has_class(static_cast<uint8_t>(text[1]), kDigitByte))) {
        return TVL_ERR_ILLEGAL_VALUE_TYPE;
    }
    // The bytes of an annotation parameter are those of a unit: the annotation bytes without the
    // parameter separator ',' (white space is skipped by the reader and so cannot be written).
    for (size_t i = 0; i < len; ++i)
        if (!has_class(static_cast<uint8_t>(text[i]), kUnitByte))
            return TVL_ERR_UNEXPECTED_INPUT_BYTE;
    if (!utf8_valid(text, len)) return TVL_ERR_INVALID_UTF8_BYTE;
    if (text_is(text, len, "no_unit", 7)) {
        declared = tvl_unit{};
        return 0;
    }
    // The parse is a function of the text alone. Here len is at most the annotation's limit.
    if (!memo.valid || memo.len != len || std::memcmp(memo.text, text, len) != 0) {
        memo.unit = tvl_parse_unit_n(text, static_cast<uint32_t>(len), &memo.ok);
        memo.len = static_cast<uint32_t>(len);
        std::memcpy(memo.text, text, len);
        memo.valid = true;
    }
    declared = memo.unit;
    // A utf8 annotation keeps a unit text that is no unit; every other type needs a unit.
    return memo.ok || a.type == TVLR_TYPE_UTF8 ? 0 : TVL_ERR_UNIT_ILLEGAL;
}

}  // namespace

bool same_unit(const tvl_unit &value, const tvl_unit &declared) {
    if (tvl_unit_equal(value, declared)) return true;
    if (!unit_present(declared)) return false;
    bool ok = false, affine = false;
    const double factor = tvl_unit_convert_factor(&ok, &affine, value, declared);
    return ok && !affine && factor == 1.0;
}

uint32_t check_member_name(const char *text, size_t len) {
    if (len == 0) return TVL_ERR_EMPTY_IDENTIFIER;
    if (text == nullptr) return TVL_ERR_INVALID_ARGUMENT;
    if (len > kTokenMaxLen) return TVL_ERR_IDENTIFIER_TOO_LONG;
    return is_name(text, len) ? 0 : TVL_ERR_INVALID_ARGUMENT;
}

uint32_t value_rules(uint32_t kind, const char *text, size_t len, uint32_t type, uint32_t bits,
                     uint32_t base) {
    if (const uint32_t code = check_value_kind(type, kind)) return code;
    switch (kind) {
        case TVL_VK_STRING:
        case TVL_VK_ARRAY_STRING:
            return string_rules(text, len, type, bits, base);
        case TVL_VK_NUMBER:
        case TVL_VK_ARRAY_NUMBER:
            return number_rules(text, len, type, bits, base);
        case TVL_VK_BOOL:
            return check_bool(text, len);
        case TVL_VK_SYMBOL:
            return check_symbol(text, len);
        case TVL_VK_REFERENCE:
            return check_reference(text, len);
        case TVL_VK_OCTETS:
            return text != nullptr && len >= 1 && len <= kOctetBlockMax ? 0
                                                                        : TVL_ERR_INVALID_ARGUMENT;
        default:
            return 0;  // null and kinds without text
    }
}

uint32_t check_value(uint32_t kind, const char *text, size_t len, uint32_t type, uint32_t bits,
                     uint32_t base) {
    if (short_integer_passes(kind, text, len, type, bits, base)) return 0;
    if (const uint32_t code = value_rules(kind, text, len, type, bits, base)) return code;
    const tvl_type_annotation declared{type, bits, base};
    switch (kind) {
        case TVL_VK_NULL:
        case TVL_VK_BOOL:
        case TVL_VK_OCTETS:
            return 0;
        case TVL_VK_STRING:
        case TVL_VK_ARRAY_STRING:
            if (len > kTokenMaxLen) return TVL_ERR_STRING_TOO_LONG;
            return tvl::check_value(declared, kind, {text, len});
        case TVL_VK_NUMBER:
        case TVL_VK_ARRAY_NUMBER:
            if (settled_by_number_rules(text, len, declared))
                return len > kTokenMaxLen ? TVL_ERR_NUMBER_TOO_LONG : 0;
            return number_as_read(kind, text, len, declared);
        case TVL_VK_SYMBOL:
            if (len > kTokenMaxLen) return TVL_ERR_SYMBOL_TOO_LONG;
            // These words read back as booleans and null, not as symbols.
            return is_reserved_word(text, len) ? TVL_ERR_TYPE_VALUE_MISMATCH : 0;
        case TVL_VK_REFERENCE:
            return len > kTokenMaxLen ? TVL_ERR_REFERENCE_TOO_LONG : 0;
        default:
            return TVL_ERR_INVALID_ARGUMENT;  // no value kind: nothing would read back
    }
}

uint32_t check_value_unit(const Output &o, uint32_t kind, const tvlr_event &e) {
    // Octet blocks carry no unit of their own in the text.
    if (kind == TVL_VK_OCTETS || !unit_present(e.unit)) return 0;
    if (!tvl_unit_valid(e.unit)) return TVL_ERR_UNIT_ILLEGAL;
    const InForce &in_force = next_in_force(o);
    if (in_force.declared_unit) return same_unit(e.unit, in_force.unit) ? 0 : TVL_ERR_UNIT_MISMATCH;
    // Only a number or string outside an array takes a unit suffix.
    if (!unit_suffix_due(o, kind, e)) return TVL_ERR_UNEXPECTED_INPUT_BYTE;
    char text[512];
    const int n = tvl_unit_to_string(text, sizeof text, e.unit);
    if (n <= 0) return TVL_ERR_UNIT_ILLEGAL;
    if (n > static_cast<int>(kUnitTextMax)) return TVL_ERR_UNIT_TOO_LONG;
    bool ok = false;
    const tvl_unit back = tvl_parse_unit_n(text, static_cast<uint32_t>(n), &ok);
    return ok && tvl_unit_equal(back, e.unit) ? 0 : TVL_ERR_UNIT_ILLEGAL;
}

uint32_t check_type_name(const Output &o, const tvlr_event &e) {
    if (!o.in_annotation || type_word_written(o)) return TVL_ERR_INVALID_ARGUMENT;
    if (e.value_type < TVLR_TYPE_UTF8 || e.value_type > TVLR_TYPE_BOOL)
        return TVL_ERR_ILLEGAL_VALUE_TYPE;  // "plain" is no type word of the text
    return o.annotation_len + type_word(e.value_type).len > kAnnotationTextMax
               ? TVL_ERR_TYPE_TOO_LONG
               : 0;
}

uint32_t check_type_param(const Output &o, const tvlr_event &e, tvl_unit &declared,
                          UnitParseMemo &memo) {
    if (!type_word_written(o)) return TVL_ERR_INVALID_ARGUMENT;
    const InForce &a = o.annotation;
    uint32_t bits = a.bits, base = a.base, len = 0;
    switch (e.value_kind) {
        case TVL_VK_BITS:
            bits = written_bits(e);
            len = 1 + decimal_digits(bits);
            break;
        case TVL_VK_BASE:
            base = written_base(e);
            len = 2 + decimal_digits(base);
            if (a.type == TVLR_TYPE_FLOAT_FIX || a.type == TVLR_TYPE_FLOAT_DEC ||
                !is_valid_base(base))
                return TVL_ERR_ILLEGAL_VALUE_TYPE;
            break;
        case TVL_VK_FRACTION:
            base = written_fraction(e);
            len = 2 + decimal_digits(base);
            if (a.type != TVLR_TYPE_FLOAT_FIX || base > 256) return TVL_ERR_ILLEGAL_VALUE_TYPE;
            break;
        case TVL_VK_UNIT:
            return check_unit_param(o, e.text, e.text_len, declared, memo);
        default:
            return 0;  // other parameter kinds write nothing
    }
    if (o.annotation_len + len > kAnnotationTextMax) return TVL_ERR_TYPE_TOO_LONG;
    return annotation_fields_valid(a.type, bits, base) ? 0 : TVL_ERR_ILLEGAL_VALUE_TYPE;
}

uint32_t check_type_end(const Output &o) {
    return type_word_written(o) ? 0 : TVL_ERR_INVALID_ARGUMENT;
}

uint32_t check_structure(const Rows &rows, const Output &o, uint32_t previous, uint32_t kind,
                         bool comma) {
    if (previous == TVLR_EV_ROW_BREAK && kind != TVLR_EV_ARRAY_START)
        return TVL_ERR_INVALID_ARGUMENT;
    if (kind == TVLR_EV_ROW_BREAK && previous != TVLR_EV_ARRAY_END) return TVL_ERR_INVALID_ARGUMENT;
    if (kind == TVLR_EV_ARRAY_END && previous == TVLR_EV_ARRAY_START)
        return TVL_ERR_INVALID_ARGUMENT;
    // An annotation belongs to the item after it; anything else there would read back with an
    // added null value.
    if (previous == TVLR_EV_TYPE_END && kind != TVLR_EV_VALUE && kind != TVLR_EV_ARRAY_START &&
        kind != TVLR_EV_STRUCT_START && kind != TVLR_EV_OCTETS_START)
        return TVL_ERR_INVALID_ARGUMENT;
    // A comma starts one more element: too many once the count has reached the length due.
    if (comma && rows.row_length != 0 && rows.row_length <= rows.elements)
        return TVL_ERR_ARRAY_ROW_SIZE_MISMATCH;
    if (kind == TVLR_EV_ARRAY_END && o.array_depth > 0 && rows.row_length != 0 &&
        rows.row_length != rows.elements)
        return TVL_ERR_ARRAY_ROW_SIZE_MISMATCH;
    return 0;
}

void note_structure(Rows &rows, uint32_t kind, bool comma, uint32_t array_depth,
                    uint32_t struct_depth) {
    if (array_depth >= kArrayLevels) return;  // beyond any depth limit
    if (comma) {
        ++rows.elements;
        rows.levels[array_depth].row_break_seen = false;
    }
    switch (kind) {
        case TVLR_EV_MEMBER_NAME:
            forget_member_rows(rows, array_depth);
            break;
        case TVLR_EV_STRUCT_START:
            if (struct_depth <= kDepthLimitMax)
                rows.around_struct[struct_depth] = {rows.elements, rows.row_length};
            break;
        case TVLR_EV_STRUCT_END:
            if (struct_depth > 0 && struct_depth <= kDepthLimitMax + 1) {
                const RowsAroundStruct &s = rows.around_struct[struct_depth - 1];
                rows.elements = s.elements;
                rows.row_length = s.row_length;
            }
            break;
        case TVLR_EV_ARRAY_START: {
            RowLevel &level = rows.levels[array_depth];
            level.elements = rows.elements;
            level.row_length = rows.row_length;
            // An array right after a row break is the next row: it must be as long as the last.
            rows.elements = 1;
            rows.row_length = level.row_break_seen ? level.closed_row_length : 0;
            if (array_depth + 1 < kArrayLevels) {
                rows.levels[array_depth + 1].closed_row_length = 0;
                rows.levels[array_depth + 1].row_break_seen = false;
            }
            break;
        }
        case TVLR_EV_ARRAY_END:
            if (array_depth > 0) {
                if (rows.row_length == 0) rows.row_length = rows.elements;
                RowLevel &level = rows.levels[array_depth - 1];
                level.closed_row_length = rows.row_length;
                rows.elements = level.elements + 1;
                rows.row_length = level.row_length;
            }
            break;
        case TVLR_EV_ROW_BREAK:
            rows.levels[array_depth].row_break_seen = true;
            break;
        default:
            break;
    }
}

}  // namespace tvl::wr
