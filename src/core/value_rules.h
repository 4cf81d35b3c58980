// The check of a value against the type in force: which value kinds a type takes, the number
// text of numbers and of strings under a numeric type, the digits of the base and the range of
// integers. The reader applies it to every value it completes under a type; the writer applies
// it to the text it writes, so that it refuses what a reader of that text would refuse, with the
// reader's error code.
#pragma once

#include <cstdint>
#include <string_view>

#include "tvlr.h"

namespace tvl {

constexpr bool is_numeric_type(uint32_t type) noexcept {
    return type >= TVLR_TYPE_SINT && type <= TVLR_TYPE_FLOAT_DEC;
}
constexpr bool is_integer_type(uint32_t type) noexcept {
    return type == TVLR_TYPE_SINT || type == TVLR_TYPE_UINT;
}
constexpr bool is_number_kind(uint32_t kind) noexcept {
    return kind == TVL_VK_NUMBER || kind == TVL_VK_ARRAY_NUMBER;
}
constexpr bool is_string_kind(uint32_t kind) noexcept {
    return kind == TVL_VK_STRING || kind == TVL_VK_ARRAY_STRING;
}

// 0 when a value of the kind may stand under the type, else TVL_ERR_TYPE_VALUE_MISMATCH: utf8
// takes strings, bool the boolean words, the numeric types numbers and strings. Null goes with
// every type; type 0 and numbers above 7 take every kind.
uint32_t check_value_kind(uint32_t value_type, uint32_t value_kind) noexcept;

// True when an integer text (one optional sign, then digits of base) fits a sint or uint of the
// width; a width of 0 means no check. Special numbers pass, '-' fails under uint.
bool integer_text_fits(uint32_t value_type, std::string_view text, uint32_t bits,
                       uint32_t base) noexcept;

// A value of the kind and text against a type, width and base, as a reader checks what it
// reads. The text of a number is the token a reader scans: '-', digits, one point and an
// exponent after 'e' or 'E', or "nan", "inf", "-inf" for the special numbers. Digits are read in
// the base of the 64-bit parsers (parse_base_of): the declared base, 10 for none and for
// float_fix and float_dec. Returns 0, or
//   TVL_ERR_TYPE_VALUE_MISMATCH  a kind the type does not take; a point, or below base 15 an
//                                exponent, in a number under sint or uint;
//   TVL_ERR_DIGIT_NOT_IN_BASE    a digit outside the base; a string that is no number in the
//                                base, or under sint and uint not only digits after one '-';
//   TVL_ERR_VALUE_OUT_OF_RANGE   '-' under uint; an integer outside the width (0 stands for 64).
uint32_t check_value(const tvl_type_annotation &type, uint32_t value_kind,
                     std::string_view text) noexcept;

// check_value for a number (TVL_VK_NUMBER or TVL_VK_ARRAY_NUMBER) under a type whose digits are
// read in base 10 (parse_base_of gives 10), with the same result: one pass over the text that
// classifies it and, for an integer of up to 19 digits under a width of at most 64, checks the
// range on the value itself. Any other text goes to check_value.
uint32_t check_decimal_number(const tvl_type_annotation &type, uint32_t value_kind,
                              std::string_view text) noexcept;

// check_value for a string (TVL_VK_STRING or TVL_VK_ARRAY_STRING) under an integer type, with
// the same result: one pass that reads the digits of the base into a 64-bit value and checks
// the width on it. Texts it cannot settle that way (widths above 64, no digits, a sign other
// than one leading '-', a value out of range, which may still be a special number) go to
// check_value.
uint32_t check_integer_string(const tvl_type_annotation &type, uint32_t value_kind,
                              std::string_view text) noexcept;

}  // namespace tvl
