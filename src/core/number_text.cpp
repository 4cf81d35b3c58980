// Number text: syntax and range checks, 64-bit parsing and formatting.
#include "core/number_text.h"

#include <array>
#include <cstring>

#include "bignum/digits.h"

namespace tvl {
namespace {

constexpr bool is_dec_digit(char c) noexcept {
    return c >= '0' && c <= '9';
}
constexpr bool is_sign(char c) noexcept {
    return c == '+' || c == '-';
}

// An exponent after its marker: an optional sign and one or more decimal digits, to the end.
bool is_exponent_tail(const char *p, size_t n) noexcept {
    size_t i = 0;
    if (i < n && is_sign(p[i])) ++i;
    if (i == n) return false;
    for (; i < n; ++i) {
        if (!is_dec_digit(p[i])) return false;
    }
    return true;
}

constexpr uint32_t floor_log2(uint32_t v) noexcept {
    uint32_t r = 0;
    while (v > 1) {
        v >>= 1;
        ++r;
    }
    return r;
}

constexpr uint32_t bit_length(uint32_t v) noexcept {
    uint32_t r = 0;
    while (v != 0) {
        v >>= 1;
        ++r;
    }
    return r;
}

// Magnitudes wider than this fail every range check; the annotation rules stop widths at
// 32768 bits, so this bound only shows with widths no annotation can declare.
constexpr size_t kMaxRangeLimbs = 1040;  // 33280 bits

// Whether the digits p[0..n) (no sign) in base form a value of at most 2^k - 1, or at most
// 2^k when or_equal_pow2 is set. Any byte that is not a digit of base fails; no digits at all
// is zero. Works for any k: an exact 64-bit path for small limits and 32-bit limbs otherwise.
bool magnitude_within(const char *p, size_t n, uint32_t base, uint32_t k,
                      bool or_equal_pow2) noexcept {
    if (k < 64 || (k == 64 && !or_equal_pow2)) {
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i) {
            const uint32_t d = char_to_digit(static_cast<uint8_t>(p[i]), base);
            if (d >= base || !accumulate_digit(v, base, d)) return false;
        }
        const uint64_t limit = k == 64 ? UINT64_MAX : (uint64_t{1} << k) - 1;
        return v <= limit || (or_equal_pow2 && v == limit + 1);
    }

    // Leading zero digits carry no value; they still have to be digits.
    size_t i = 0;
    for (; i < n; ++i) {
        const uint32_t d = char_to_digit(static_cast<uint8_t>(p[i]), base);
        if (d >= base) return false;
        if (d != 0) break;
    }
    if (i == n) return true;
    // A non-zero digit exists, so base >= 2. With m significant digits the value is at least
    // base^(m-1) >= 2^(floor(log2 base) * (m-1)); beyond 2^k that fails without converting.
    const size_t m = n - i;
    const uint32_t lg = floor_log2(base);
    if (m - 1 > k / lg) return false;

    // Any value that needs more than k/32 + 1 limbs is at least 2^(k+1): too big.
    const size_t cap_wanted = size_t{k / 32} + 1;
    const size_t cap = cap_wanted < kMaxRangeLimbs ? cap_wanted : kMaxRangeLimbs;
    uint32_t limbs[kMaxRangeLimbs];
    size_t used = 0;

    // Digits are taken in chunks whose multiplier base^j still fits 32 bits (j >= 1, as the
    // base itself is a 32-bit value).
    while (i < n) {
        uint64_t mul = 1;
        uint64_t add = 0;
        while (i < n && mul * base <= UINT32_MAX) {
            const uint32_t d = char_to_digit(static_cast<uint8_t>(p[i]), base);
            if (d >= base) return false;
            mul *= base;
            add = add * base + d;
            ++i;
        }
        uint64_t carry = add;
        for (size_t j = 0; j < used; ++j) {
            const uint64_t t = uint64_t{limbs[j]} * mul + carry;
            limbs[j] = static_cast<uint32_t>(t);
            carry = t >> 32;
        }
        if (carry != 0) {
            if (used == cap) return false;
            limbs[used++] = static_cast<uint32_t>(carry);
        }
    }
    if (used == 0) return true;

    const uint64_t bits = uint64_t{used - 1} * 32 + bit_length(limbs[used - 1]);
    if (bits <= k) return true;
    if (!or_equal_pow2 || bits != uint64_t{k} + 1) return false;
    // Exactly 2^k: the top bit alone.
    if ((limbs[used - 1] & (limbs[used - 1] - 1)) != 0) return false;
    for (size_t j = 0; j + 1 < used; ++j) {
        if (limbs[j] != 0) return false;
    }
    return true;
}

// Accumulates one or more digits of base into a 64-bit magnitude; false on an empty run, a
// byte that is not a digit or overflow.
bool read_magnitude(const char *p, size_t n, uint32_t base, uint64_t &out) noexcept {
    if (n == 0) return false;
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint32_t d = char_to_digit(static_cast<uint8_t>(p[i]), base);
        if (d >= base || !accumulate_digit(v, base, d)) return false;
    }
    out = v;
    return true;
}

size_t checked_strlen(const char *text) noexcept {
    return text ? std::strlen(text) : 0;
}

}  // namespace

bool is_special_number(const char *text, size_t len) noexcept {
    if (text == nullptr) return false;
    return (len == 3 && (std::memcmp(text, "nan", 3) == 0 || std::memcmp(text, "inf", 3) == 0)) ||
           (len == 4 && std::memcmp(text, "-inf", 4) == 0);
}

bool all_digits_in_base(const char *text, size_t len, uint32_t base) noexcept {
    if (text == nullptr || len == 0) return false;
    for (size_t i = 0; i < len; ++i) {
        if (char_to_digit(static_cast<uint8_t>(text[i]), base) >= base) return false;
    }
    return true;
}

bool is_digit_string(const char *text, size_t len, uint32_t base) noexcept {
    if (text == nullptr || len == 0) return false;
    const size_t skip = is_sign(text[0]) ? 1 : 0;
    return all_digits_in_base(text + skip, len - skip, base);
}

bool is_decimal_number(const char *text, size_t len) noexcept {
    if (text == nullptr) return false;
    size_t i = 0;
    if (i < len && text[i] == '-') ++i;
    size_t mantissa_digits = 0;
    while (i < len && is_dec_digit(text[i])) {
        ++i;
        ++mantissa_digits;
    }
    if (i < len && text[i] == '.') {
        ++i;
        while (i < len && is_dec_digit(text[i])) {
            ++i;
            ++mantissa_digits;
        }
    }
    if (mantissa_digits == 0) return false;
    if (i == len) return true;
    if (text[i] != 'e' && text[i] != 'E') return false;
    return is_exponent_tail(text + i + 1, len - i - 1);
}

bool is_number_in_base(const char *text, size_t len, uint32_t base) noexcept {
    if (text == nullptr || len == 0) return false;
    size_t i = is_sign(text[0]) ? 1 : 0;
    if (i == len) return false;
    const bool e_marker = base <= 14;
    const bool p_marker = base == 2 || base == 4 || base == 8 || base == 16;
    bool point = false;
    size_t mantissa_digits = 0;
    // The point, the signs and the markers are recognised before digit values are looked up,
    // so '.', '+' and '-' are never digits here, whatever the base.
    for (; i < len; ++i) {
        const char c = text[i];
        if (c == '.') {
            if (point) return false;
            point = true;
            continue;
        }
        if (is_sign(c)) return false;
        if ((e_marker && (c == 'e' || c == 'E')) || (p_marker && (c == 'p' || c == 'P'))) {
            if (mantissa_digits == 0) return false;
            return is_exponent_tail(text + i + 1, len - i - 1);
        }
        if (char_to_digit(static_cast<uint8_t>(c), base) >= base) return false;
        ++mantissa_digits;
    }
    return mantissa_digits > 0;
}

bool uint_text_in_range(const char *text, size_t len, uint32_t bits, uint32_t base) noexcept {
    if (text == nullptr || bits == 0) return true;
    if (len > 0 && !is_dec_digit(text[0]) && text[0] != '+') {
        if (is_special_number(text, len)) return true;
        if (text[0] == '-') return false;
    }
    const size_t skip = (len > 0 && text[0] == '+') ? 1 : 0;
    return magnitude_within(text + skip, len - skip, base, bits, false);
}

bool sint_text_in_range(const char *text, size_t len, uint32_t bits, uint32_t base) noexcept {
    if (text == nullptr || bits == 0) return true;
    // "-inf" is a special number like "inf": it passes here as it does in the unsigned check.
    if (is_special_number(text, len)) return true;
    const bool negative = len > 0 && text[0] == '-';
    const size_t skip = (len > 0 && is_sign(text[0])) ? 1 : 0;
    return magnitude_within(text + skip, len - skip, base, bits - 1, negative);
}

namespace {

bool is_c_space(char c) noexcept {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Bases 2 to 36 follow the C library's text conventions: white space may lead, and in base
// 16 the digits may start with "0x" or "0X". Gives the length of the white space.
size_t c_leading_space(const char *text, size_t len, uint32_t base) noexcept {
    size_t i = 0;
    if (base >= 2 && base <= 36)
        while (i < len && is_c_space(text[i])) ++i;
    return i;
}

// Gives the length of a "0x" prefix that digits follow (base 16 only).
size_t hex_prefix(const char *p, size_t n, uint32_t base) noexcept {
    if (base != 16 || n < 3 || p[0] != '0' || (p[1] != 'x' && p[1] != 'X')) return 0;
    return char_to_digit(static_cast<uint8_t>(p[2]), 16) < 16 ? 2 : 0;
}

bool read_c_magnitude(const char *p, size_t n, uint32_t base, uint64_t &out) noexcept {
    const size_t x = hex_prefix(p, n, base);
    return read_magnitude(p + x, n - x, base, out);
}

}  // namespace

bool parse_uint64_text(const char *text, size_t len, uint32_t base, uint64_t &out) noexcept {
    if (text == nullptr) return false;
    const size_t space = c_leading_space(text, len, base);
    text += space;
    len -= space;
    // A leading '-' is a sign in every base, also in base 85 where it is a digit elsewhere:
    // the range checks and the value checks read it so, and an unsigned value has none
    // (the C library would wrap "-1" around to the largest value; that is refused here).
    if (len > 0 && text[0] == '-') return false;
    const size_t skip = (len > 0 && text[0] == '+') ? 1 : 0;
    return read_c_magnitude(text + skip, len - skip, base, out);
}

bool parse_int64_text(const char *text, size_t len, uint32_t base, int64_t &out) noexcept {
    if (text == nullptr) return false;
    const size_t space = c_leading_space(text, len, base);
    text += space;
    len -= space;
    bool negative = false;
    size_t skip = 0;
    if (len > 0 && text[0] == '-') {
        negative = true;
        skip = 1;
    } else if (len > 0 && text[0] == '+' && base >= 2 && base <= 36) {
        skip = 1;
    }
    uint64_t magnitude = 0;
    if (!read_c_magnitude(text + skip, len - skip, base, magnitude)) return false;
    if (!sint_magnitude_fits(magnitude, negative, 64)) return false;
    if (!negative) {
        out = static_cast<int64_t>(magnitude);
    } else if (magnitude == uint64_t{1} << 63) {
        out = INT64_MIN;
    } else {
        out = -static_cast<int64_t>(magnitude);
    }
    return true;
}

namespace {

// "00" "01" ... "99": the decimal digits of every pair, tens first.
constexpr std::array<char, 200> kDigitPairs = [] {
    std::array<char, 200> t{};
    for (size_t i = 0; i < 100; ++i) {
        t[2 * i] = static_cast<char>('0' + i / 10);
        t[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return t;
}();

// Writes the digits of value without a sign; see format_uint64. With guard_sign set, a text
// whose first digit is a byte that the number rules read as a sign ('+' in base 64, '+' and '-'
// in base 85) gets one zero digit in front, so that it reads back as the same value.
int format_digits(char *buf, size_t size, uint64_t value, uint32_t base, uint32_t min_digits,
                  bool guard_sign) noexcept {
    if (!is_valid_base(base) || buf == nullptr || size < 2) return -1;
    char rev[64];  // 64 digits hold any value in base 2, and any minimum
    size_t n = 0;
    if (base == 10) {
        // Two digits per division by a constant.
        while (value >= 100) {
            const size_t pair = static_cast<size_t>(value % 100) * 2;
            value /= 100;
            rev[n++] = kDigitPairs[pair + 1];
            rev[n++] = kDigitPairs[pair];
        }
        if (value >= 10) {
            rev[n++] = static_cast<char>('0' + value % 10);
            value /= 10;
        }
        rev[n++] = static_cast<char>('0' + value);
    } else {
        do {
            rev[n++] = digits::digit_char(static_cast<uint32_t>(value % base), base);
            value /= base;
        } while (value != 0);
    }
    const size_t min = min_digits < 64 ? min_digits : 64;
    while (n < min) rev[n++] = digits::zero_char(base);
    if (guard_sign && n < 64 && is_sign(rev[n - 1])) rev[n++] = digits::zero_char(base);
    if (size < n + 1) return -1;
    for (size_t i = 0; i < n; ++i) buf[i] = rev[n - 1 - i];
    buf[n] = '\0';
    return static_cast<int>(n);
}

}  // namespace

int format_uint64(char *buf, size_t size, uint64_t value, uint32_t base,
                  uint32_t min_digits) noexcept {
    return format_digits(buf, size, value, base, min_digits, true);
}

int format_int64(char *buf, size_t size, int64_t value, uint32_t base,
                 uint32_t min_digits) noexcept {
    if (value >= 0) {
        return format_digits(buf, size, static_cast<uint64_t>(value), base, min_digits, true);
    }
    if (buf == nullptr || size < 2) return -1;
    const uint64_t magnitude = uint64_t{0} - static_cast<uint64_t>(value);
    char digits_text[65];
    // After the '-' any digit reads as a digit: no guard needed.
    const int n =
        format_digits(digits_text, sizeof digits_text, magnitude, base, min_digits, false);
    if (n < 0 || size < static_cast<size_t>(n) + 2) return -1;
    buf[0] = '-';
    std::memcpy(buf + 1, digits_text, static_cast<size_t>(n) + 1);
    return n + 1;
}

uint32_t min_digits_for_type(tvl_type_annotation a) noexcept {
    switch (a.value_type) {
        case TVLR_TYPE_SINT:
        case TVLR_TYPE_UINT:
        case TVLR_TYPE_FLOAT:
        case TVLR_TYPE_FLOAT_FIX:
        case TVLR_TYPE_FLOAT_DEC:
            break;
        default:
            return 0;
    }
    if (a.bits == 0 || a.bits > 64) return 0;
    const uint32_t base = parse_base_of(a);
    if (base < 2) return 0;
    uint64_t largest = a.value_type == TVLR_TYPE_SINT ? (uint64_t{1} << (a.bits - 1)) - 1
                                                      : uint_max_for_bits(a.bits);
    uint32_t n = 1;
    while (largest >= base) {
        largest /= base;
        ++n;
    }
    return n;
}

}  // namespace tvl

extern "C" {

TVLR_API uint32_t tvl_char_to_digit(uint32_t c, uint32_t base) {
    return tvl::char_to_digit(c, base);
}

TVLR_API bool tvl_is_special_number_string(const char *text) {
    return text != nullptr && tvl::is_special_number(text, std::strlen(text));
}

TVLR_API bool tvl_validate_digits_for_base(const char *text, uint32_t base) {
    return text != nullptr && tvl::is_digit_string(text, std::strlen(text), base);
}

TVLR_API bool tvl_validate_number(const char *text) {
    return text != nullptr && tvl::is_decimal_number(text, std::strlen(text));
}

TVLR_API bool tvl_validate_number_in_base(const char *text, uint32_t base) {
    return text != nullptr && tvl::is_number_in_base(text, std::strlen(text), base);
}

TVLR_API bool tvl_validate_uint_range(const char *text, uint32_t bits, uint32_t base) {
    return tvl::uint_text_in_range(text, tvl::checked_strlen(text), bits, base);
}

TVLR_API bool tvl_validate_sint_range(const char *text, uint32_t bits, uint32_t base) {
    return tvl::sint_text_in_range(text, tvl::checked_strlen(text), bits, base);
}

TVLR_API bool tvl_parse_int64(const char *text, tvl_type_annotation annotation, int64_t *out) {
    if (text == nullptr || out == nullptr) return false;
    return tvl::parse_int64_text(text, std::strlen(text), tvl::parse_base_of(annotation), *out);
}

TVLR_API bool tvl_parse_uint64(const char *text, tvl_type_annotation annotation, uint64_t *out) {
    if (text == nullptr || out == nullptr) return false;
    return tvl::parse_uint64_text(text, std::strlen(text), tvl::parse_base_of(annotation), *out);
}

TVLR_API int tvl_format_uint64(char *buf, size_t size, uint64_t value, uint32_t base,
                               uint32_t min_digits) {
    return tvl::format_uint64(buf, size, value, base, min_digits);
}

TVLR_API int tvl_format_int64(char *buf, size_t size, int64_t value, uint32_t base,
                              uint32_t min_digits) {
    return tvl::format_int64(buf, size, value, base, min_digits);
}

TVLR_API uint32_t tvl_min_digits_for_type(tvl_type_annotation annotation) {
    return tvl::min_digits_for_type(annotation);
}

}  // extern "C"
