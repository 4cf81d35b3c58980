// The check of a value against the type in force.
#include "core/value_rules.h"

#include "core/limits.h"
#include "core/number_text.h"

namespace tvl {
namespace {

// Below base 15 'e' and 'E' mark a number token's exponent, whose digits are decimal; from base
// 15 on they are digits.
constexpr bool is_exponent_marker(char c, uint32_t base) noexcept {
    return (c == 'e' || c == 'E') && base < 15;
}

// A number token under a numeric type: an integer has neither a point nor an exponent, and the
// digits before any exponent are digits of the base.
uint32_t check_number_token(std::string_view text, uint32_t base, bool integer) noexcept {
    const bool exponent = base < 15 && text.find_first_of("eE") != std::string_view::npos;
    if (integer && (exponent || text.find('.') != std::string_view::npos))
        return TVL_ERR_TYPE_VALUE_MISMATCH;
    for (size_t i = !text.empty() && text[0] == '-' ? 1 : 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.') continue;
        if (is_exponent_marker(c, base)) return 0;
        if (char_to_digit(static_cast<uint8_t>(c), base) >= base) return TVL_ERR_DIGIT_NOT_IN_BASE;
    }
    return 0;
}

// A string under a numeric type holds a number in the base (where '+', '-' and '.' are signs
// and points, never digits); an integer's holds only digits after one optional '-'.
uint32_t check_number_string(std::string_view text, uint32_t base, bool integer) noexcept {
    if (integer) {
        const size_t skip = !text.empty() && text[0] == '-' ? 1 : 0;
        if (!all_digits_in_base(text.data() + skip, text.size() - skip, base))
            return TVL_ERR_DIGIT_NOT_IN_BASE;
    }
    return is_number_in_base(text.data(), text.size(), base) ? 0 : TVL_ERR_DIGIT_NOT_IN_BASE;
}

}  // namespace

uint32_t check_value_kind(uint32_t value_type, uint32_t value_kind) noexcept {
    if (value_kind == TVL_VK_NULL) return 0;
    bool fits = true;
    if (value_type == TVLR_TYPE_UTF8) {
        fits = is_string_kind(value_kind);
    } else if (value_type == TVLR_TYPE_BOOL) {
        fits = value_kind == TVL_VK_BOOL;
    } else if (is_numeric_type(value_type)) {
        fits = is_number_kind(value_kind) || is_string_kind(value_kind);
    }
    return fits ? 0 : TVL_ERR_TYPE_VALUE_MISMATCH;
}

bool integer_text_fits(uint32_t value_type, std::string_view text, uint32_t bits,
                       uint32_t base) noexcept {
    return value_type == TVLR_TYPE_UINT ? uint_text_in_range(text.data(), text.size(), bits, base)
                                        : sint_text_in_range(text.data(), text.size(), bits, base);
}

uint32_t check_value(const tvl_type_annotation &type, uint32_t value_kind,
                     std::string_view text) noexcept {
    const uint32_t t = type.value_type;
    if (const uint32_t code = check_value_kind(t, value_kind)) return code;
    if (!is_numeric_type(t)) return 0;
    const bool number = is_number_kind(value_kind);
    if (!number && !is_string_kind(value_kind)) return 0;  // null
    if (number && is_special_number(text.data(), text.size())) return 0;
    const uint32_t base = parse_base_of(type);
    const bool integer = is_integer_type(t);
    const uint32_t code =
        number ? check_number_token(text, base, integer) : check_number_string(text, base, integer);
    if (code != 0 || !integer) return code;
    if (t == TVLR_TYPE_UINT && !text.empty() && text[0] == '-') return TVL_ERR_VALUE_OUT_OF_RANGE;
    const uint32_t bits = type.bits != 0 ? type.bits : kImpliedWidth;
    return integer_text_fits(t, text, bits, base) ? 0 : TVL_ERR_VALUE_OUT_OF_RANGE;
}

uint32_t check_decimal_number(const tvl_type_annotation &type, uint32_t value_kind,
                              std::string_view text) noexcept {
    const uint32_t t = type.value_type;
    if (!is_number_kind(value_kind) || parse_base_of(type) != 10)
        return check_value(type, value_kind, text);
    const size_t n = text.size();
    const bool negative = n != 0 && text[0] == '-';
    size_t i = negative ? 1 : 0;
    if (is_integer_type(t)) {
        // Up to 19 decimal digits: the value is below 10^19 < 2^64, so it is exact here.
        const uint32_t bits = type.bits != 0 ? type.bits : kImpliedWidth;
        if (i == n || n - i > 19 || bits > 64) return check_value(type, value_kind, text);
        uint64_t v = 0;
        for (; i < n; ++i) {
            const auto d = static_cast<uint32_t>(static_cast<uint8_t>(text[i]) - '0');
            if (d > 9) return check_value(type, value_kind, text);
            v = v * 10 + d;
        }
        if (t == TVLR_TYPE_UINT)
            return !negative && uint_value_fits(v, bits) ? 0 : TVL_ERR_VALUE_OUT_OF_RANGE;
        return sint_magnitude_fits(v, negative, bits) ? 0 : TVL_ERR_VALUE_OUT_OF_RANGE;
    }
    // The other numeric types take every number whose digits before an exponent are decimal.
    if (!is_numeric_type(t)) return check_value(type, value_kind, text);
    for (; i < n; ++i) {
        const char c = text[i];
        if (c == 'e' || c == 'E') return 0;
        if (c != '.' && static_cast<uint8_t>(c - '0') > 9)
            return check_value(type, value_kind, text);
    }
    return 0;
}

uint32_t check_integer_string(const tvl_type_annotation &type, uint32_t value_kind,
                              std::string_view text) noexcept {
    const uint32_t t = type.value_type;
    const uint32_t bits = type.bits != 0 ? type.bits : kImpliedWidth;
    const uint32_t base = parse_base_of(type);
    const size_t n = text.size();
    const bool negative = n != 0 && text[0] == '-';
    size_t i = negative ? 1 : 0;
    if (!is_string_kind(value_kind) || !is_integer_type(t) || bits > 64 || i == n ||
        (negative && t == TVLR_TYPE_UINT) || base < 2 || base > 36)
        return check_value(type, value_kind, text);
    uint64_t v = 0;
    for (; i < n; ++i) {
        const uint32_t d = char_to_digit(static_cast<uint8_t>(text[i]), base);
        if (d >= base || !accumulate_digit(v, base, d)) return check_value(type, value_kind, text);
    }
    const bool fits =
        t == TVLR_TYPE_UINT ? uint_value_fits(v, bits) : sint_magnitude_fits(v, negative, bits);
    return fits ? 0 : check_value(type, value_kind, text);
}

}  // namespace tvl
