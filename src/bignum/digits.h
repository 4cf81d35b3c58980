// Digit alphabets of the number bases 2..62, 64 and 85, as compile-time tables.
//
// Shared by the big-integer text conversion and the number text of the notation core.
//
//   bases 2..36   read: 0-9 [0-9], a-z and A-Z alike [10-35]; write: 0-9, a-z
//   bases 37..62  read and write: 0-9 [0-9], a-z [10-35], A-Z [36-61]
//   base 64       A-Z [0-25], a-z [26-51], 0-9 [52-61], + [62], / [63]  (RFC 4648 base64)
//   base 85       the 85 bytes from '!' (0x21) to 'u' (0x75) in code order [0-84]
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tvl::digits {

// Writing alphabet of bases 2..62: digit value -> character.
inline constexpr char kAlnum[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
// Writing alphabet of base 64.
inline constexpr char kBase64[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
// The base-85 digit d is the character kBase85First + d.
inline constexpr char kBase85First = '!';

static_assert(sizeof kAlnum == 63 && sizeof kBase64 == 65);

// Marks a byte that is not a digit in a reading table.
inline constexpr std::uint8_t kNoDigit = 0xFF;

using ReadTable = std::array<std::uint8_t, 256>;

namespace detail {

constexpr ReadTable make_alnum_table(bool fold_case) {
    ReadTable t{};
    for (auto &e : t) e = kNoDigit;
    for (int c = '0'; c <= '9'; ++c)
        t[static_cast<unsigned>(c)] = static_cast<std::uint8_t>(c - '0');
    for (int c = 'a'; c <= 'z'; ++c)
        t[static_cast<unsigned>(c)] = static_cast<std::uint8_t>(c - 'a' + 10);
    for (int c = 'A'; c <= 'Z'; ++c)
        t[static_cast<unsigned>(c)] = static_cast<std::uint8_t>(c - 'A' + (fold_case ? 10 : 36));
    return t;
}

constexpr ReadTable make_base64_table() {
    ReadTable t{};
    for (auto &e : t) e = kNoDigit;
    for (unsigned v = 0; v < 64; ++v)
        t[static_cast<unsigned char>(kBase64[v])] = static_cast<std::uint8_t>(v);
    return t;
}

constexpr ReadTable make_base85_table() {
    ReadTable t{};
    for (auto &e : t) e = kNoDigit;
    for (unsigned v = 0; v < 85; ++v)
        t[static_cast<unsigned>(kBase85First) + v] = static_cast<std::uint8_t>(v);
    return t;
}

}  // namespace detail

// Reading tables: byte -> digit value, or kNoDigit.
inline constexpr ReadTable kReadFolded = detail::make_alnum_table(true);  // bases up to 36
inline constexpr ReadTable kReadCased = detail::make_alnum_table(false);  // bases 37 and above
inline constexpr ReadTable kReadBase64 = detail::make_base64_table();
inline constexpr ReadTable kReadBase85 = detail::make_base85_table();

// True for the bases that numbers may be written in: 2..62, 64 and 85.
constexpr bool is_valid_base(std::uint32_t base) {
    return (base >= 2 && base <= 62) || base == 64 || base == 85;
}

// The reading table of a base (any base other than 64 and 85 uses a letter table).
constexpr const ReadTable &read_table(std::uint32_t base) {
    if (base == 64) return kReadBase64;
    if (base == 85) return kReadBase85;
    return base <= 36 ? kReadFolded : kReadCased;
}

// The value of the byte c as a digit of base, or base itself when c is not a digit of that
// base (a caller only tests whether the result is below the base).
constexpr std::uint32_t digit_value(std::uint32_t c, std::uint32_t base) {
    if (c > 0xFF) return base;
    const std::uint32_t v = read_table(base)[c];
    return v < base ? v : base;
}

// The character that writes the digit value v (v < base) of a valid base.
constexpr char digit_char(std::uint32_t v, std::uint32_t base) {
    if (base == 64) return kBase64[v & 63u];
    if (base == 85) return static_cast<char>(kBase85First + static_cast<char>(v));
    return kAlnum[v < 62 ? v : 0];
}

// The character of the zero digit: 'A' in base 64, '!' in base 85, '0' otherwise.
constexpr char zero_char(std::uint32_t base) {
    return digit_char(0, base);
}

// True when c is one of the characters that a text may begin with as its sign.
constexpr bool is_sign_char(char c) {
    return c == '+' || c == '-';
}

static_assert(digit_value('Z', 36) == 35 && digit_value('Z', 62) == 61);
static_assert(digit_value('z', 36) == 35 && digit_value('z', 62) == 35);
static_assert(digit_value('+', 64) == 62 && digit_value('+', 10) == 10);
static_assert(digit_value('v', 85) == 85 && digit_value('u', 85) == 84);
static_assert(zero_char(64) == 'A' && zero_char(85) == '!' && zero_char(10) == '0');

namespace detail {

// The eight decimal digits of y < 10^8 as the values 0..9 in the bytes of one word, the first
// digit in the lowest byte: y splits into two halves of four digits, each of those into two of
// two digits, and each of those into two digits, in the lanes of the word (y * 3518437209 >> 45
// is y / 10^4 for y < 10^8, x * 10486 >> 20 is x / 100 for x < 10^4, x * 103 >> 10 is x / 10
// for x < 100).
inline std::uint64_t eight_digit_values(std::uint64_t y) {
    const std::uint64_t high = (y * 3518437209u) >> 45;
    std::uint64_t x = high | (y - 10000 * high) << 32;
    const std::uint64_t hundreds = ((x * 10486) >> 20) & 0x0000007F0000007Fu;
    x = hundreds | (x - 100 * hundreds) << 16;
    const std::uint64_t tens = ((x * 103) >> 10) & 0x000F000F000F000Fu;
    return tens | (x - 10 * tens) << 8;
}

// Digit values as eight_digit_values gives them, as the characters '0'..'9' in memory order.
inline std::uint64_t digit_chars(std::uint64_t values) {
    values |= 0x3030303030303030u;
    if constexpr (std::endian::native == std::endian::big) values = __builtin_bswap64(values);
    return values;
}

inline std::uint64_t eight_digit_chars(std::uint64_t y) {
    return digit_chars(eight_digit_values(y));
}

}  // namespace detail

// Writes the decimal digits of v so that they end just before `end`, and nothing outside them;
// returns where they begin. Blocks of eight digits from the end, then the leading ones two per
// division by a constant in 32 bits. Char may be char or uint8_t.
template <class Char>
inline Char *write_decimal_before(Char *end, std::uint64_t v) {
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    constexpr std::uint64_t kTen8 = 100000000;
    while (v >= kTen8) {
        const std::uint64_t chars = detail::eight_digit_chars(v % kTen8);
        v /= kTen8;
        end -= 8;
        std::memcpy(end, &chars, 8);
    }
    auto top = static_cast<std::uint32_t>(v);
    while (top >= 100) {
        const std::uint32_t pair = top % 100 * 2;
        top /= 100;
        end -= 2;
        std::memcpy(end, kPairs + pair, 2);
    }
    if (top >= 10) {
        end -= 2;
        std::memcpy(end, kPairs + top * 2, 2);
    } else {
        *--end = static_cast<Char>('0' + top);
    }
    return end;
}

}  // namespace tvl::digits
