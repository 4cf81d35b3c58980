// Number text: digit values, syntax checks of number texts, range checks of integer texts
// against a declared width, and 64-bit integer text in every base.
//
// Every function here works on a span (pointer and byte count, no NUL terminator needed), so
// the reader and the writer can check token texts in place. The exported C functions of the
// same names take NUL-terminated texts and call these.
//
// Bases: numbers are written in bases 2..62, 64 and 85 (digits::is_valid_base). The checks
// accept any base as given and look digits up with char_to_digit; base 0 has no digits at all.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bignum/digits.h"
#include "tvlr.h"

namespace tvl {

using digits::is_valid_base;

// The value of byte c as a digit of base, or a value >= base when c is not one.
constexpr uint32_t char_to_digit(uint32_t c, uint32_t base) noexcept {
    return digits::digit_value(c, base);
}

// acc = acc * base + digit, refusing to pass 2^64 - 1: returns false and leaves acc unchanged
// when the result would not fit. base must not be 0 and digit must be below base.
constexpr bool accumulate_digit(uint64_t &acc, uint32_t base, uint32_t digit) noexcept {
    if (acc > (UINT64_MAX - digit) / base) return false;
    acc = acc * base + digit;
    return true;
}

// The largest value of an unsigned integer of the width; 0 and widths above 64 count as 64.
constexpr uint64_t uint_max_for_bits(uint32_t bits) noexcept {
    return (bits == 0 || bits >= 64) ? UINT64_MAX : (uint64_t{1} << bits) - 1;
}

// True when value fits an unsigned integer of the width (0 counts as 64).
constexpr bool uint_value_fits(uint64_t value, uint32_t bits) noexcept {
    return value <= uint_max_for_bits(bits);
}

// True when a magnitude with its sign fits a two's-complement integer of the width (0 and
// widths above 64 count as 64): at most 2^(bits-1) - 1, or 2^(bits-1) when negative.
constexpr bool sint_magnitude_fits(uint64_t magnitude, bool negative, uint32_t bits) noexcept {
    const uint32_t w = (bits == 0 || bits > 64) ? 64 : bits;
    const uint64_t positive_max = (uint64_t{1} << (w - 1)) - 1;
    return magnitude <= positive_max + (negative ? 1 : 0);
}

// The base that the 64-bit parsers use for an annotation: 10 when the base is 0 and for
// float_fix (whose base field holds fraction bits) and float_dec.
constexpr uint32_t parse_base_of(tvl_type_annotation a) noexcept {
    if (a.base == 0 || a.value_type == TVLR_TYPE_FLOAT_FIX || a.value_type == TVLR_TYPE_FLOAT_DEC) {
        return 10;
    }
    return a.base;
}

// "nan", "inf" or "-inf", exactly.
bool is_special_number(const char *text, size_t len) noexcept;

// One or more digits of base, nothing else (no sign).
bool all_digits_in_base(const char *text, size_t len, uint32_t base) noexcept;

// One optional leading '+' or '-', then one or more digits of base.
bool is_digit_string(const char *text, size_t len, uint32_t base) noexcept;

// A decimal number: optional '-', digits with at most one point (at least one digit), then
// optionally 'e' or 'E', an optional sign and one or more digits.
bool is_decimal_number(const char *text, size_t len) noexcept;

// A number in base: optional sign, digits of the base with at most one point (at least one
// digit), then optionally an exponent marker ('e'/'E' for bases up to 14, 'p'/'P' for bases
// 2, 4, 8 and 16), an optional sign and one or more decimal digits.
bool is_number_in_base(const char *text, size_t len, uint32_t base) noexcept;

// True when the text fits an unsigned integer of bits (any width; 0 means no check). Special
// numbers pass, a leading '-' fails; otherwise one optional '+' and then only digits of base
// (an empty digit run is zero). A null text passes.
bool uint_text_in_range(const char *text, size_t len, uint32_t bits, uint32_t base) noexcept;

// True when the text fits a two's-complement integer of bits (any width; 0 means no check).
// Special numbers pass; otherwise one optional sign and then only digits of base (an empty
// digit run is zero). A null text passes.
bool sint_text_in_range(const char *text, size_t len, uint32_t bits, uint32_t base) noexcept;

// Reads a whole text as an unsigned 64-bit value in base: one optional '+', then one or more
// digits of the base. out is written only on success.
bool parse_uint64_text(const char *text, size_t len, uint32_t base, uint64_t &out) noexcept;

// Reads a whole text as a signed 64-bit value in base: one optional '-' (bases 2..36 also take
// '+'; in base 64 '+' is a digit), then one or more digits of the base. out is written only on
// success.
bool parse_int64_text(const char *text, size_t len, uint32_t base, int64_t &out) noexcept;

// Writes value in a valid base with at least min_digits digits (capped at 64) and a NUL.
// Returns the digit count, or -1 (buffer untouched) for an invalid base, a null buffer, a size
// below 2 or a buffer that is too small. A text whose first digit every reader of number text
// would take for a sign ('+' = 62 in base 64; '+' = 10 and '-' = 12 in base 85) gets one zero
// digit in front ("A+" for 62 in base 64), so that it reads back as the same value.
int format_uint64(char *buf, size_t size, uint64_t value, uint32_t base,
                  uint32_t min_digits) noexcept;

// As format_uint64, with a leading '-' for negative values (the minimum counts digits only;
// after the '-' no zero digit is needed).
int format_int64(char *buf, size_t size, int64_t value, uint32_t base,
                 uint32_t min_digits) noexcept;

// Digits of the largest value of a 1..64-bit numeric type in its base, else 0.
uint32_t min_digits_for_type(tvl_type_annotation annotation) noexcept;

}  // namespace tvl
