// Lexical rules of the tokens that are not numbers: member names (identifiers), symbols,
// references and string content, with the byte classes they are built from.
//
// The span functions take a pointer and a byte count and need no NUL terminator, so the reader
// and the writer can check event texts in place. A NUL byte inside a span is an ordinary byte
// (it is in no name class, so it fails names, symbols and references).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/escape.h"

namespace tvl {

enum ByteClass : uint8_t {
    kNameStartByte = 1,  // A-Z a-z _ C3..F4
    kNameByte = 2,       // A-Z a-z 0-9 _ + - 80..C1 C3..FF
    kStringByte = 4,     // may stand in a string's content: all but 00..08, 0E..1F and 7F
};

// Byte classes; C2 is in no name class, so U+0080..U+00BF never appear in a name.
inline constexpr std::array<uint8_t, 256> kByteClasses = [] {
    std::array<uint8_t, 256> t{};
    auto add = [&t](unsigned from, unsigned to, uint8_t cls) {
        for (unsigned b = from; b <= to; ++b) t[b] = static_cast<uint8_t>(t[b] | cls);
    };
    const auto name_both = static_cast<uint8_t>(kNameStartByte | kNameByte);
    add('A', 'Z', name_both);
    add('a', 'z', name_both);
    add('_', '_', name_both);
    add('0', '9', kNameByte);
    add('+', '+', kNameByte);
    add('-', '-', kNameByte);
    add(0x80, 0xC1, kNameByte);
    add(0xC3, 0xF4, name_both);
    add(0xF5, 0xFF, kNameByte);
    add(0x09, 0x0D, kStringByte);
    add(0x20, 0x7E, kStringByte);
    add(0x80, 0xFF, kStringByte);
    return t;
}();

constexpr bool is_name_start_byte(uint8_t b) noexcept {
    return (kByteClasses[b] & kNameStartByte) != 0;
}
constexpr bool is_name_byte(uint8_t b) noexcept {
    return (kByteClasses[b] & kNameByte) != 0;
}
constexpr bool is_string_byte(uint8_t b) noexcept {
    return (kByteClasses[b] & kStringByte) != 0;
}

// The reverse of the escape table: for a byte of string content, the letter that follows the
// backslash in its canonical two-byte escape, or 0 when the byte is written as it stands.
inline constexpr std::array<uint8_t, 256> kEscapeLetter = [] {
    std::array<uint8_t, 256> t{};
    for (unsigned after = 0; after < 256; ++after) {
        const uint8_t stands_for = kEscapeReplacement[after];
        if (stands_for != 0) t[stands_for] = static_cast<uint8_t>(after);
    }
    return t;
}();

// Identifier (member name) and symbol: one name-start byte, then name bytes, and the whole
// well-formed UTF-8. False for an empty span or a null pointer.
bool is_identifier(const char *text, size_t len) noexcept;

// Reference: one or more segments, each '.', a name-start byte and name bytes; the whole
// well-formed UTF-8. False for an empty span or a null pointer.
bool is_reference(const char *text, size_t len) noexcept;

// Checks string content (after escape processing) as the writer must before writing it as a
// literal. Returns TVL_ERR_NONE, TVL_ERR_UNEXPECTED_INPUT_BYTE when a byte 00..08, 0E..1F or 7F
// occurs anywhere, otherwise TVL_ERR_INVALID_UTF8_BYTE when the bytes are not well-formed
// UTF-8. An empty span passes; a null pointer with a non-zero length is TVL_ERR_INVALID_ARGUMENT.
uint32_t check_string_content(const char *text, size_t len) noexcept;

}  // namespace tvl
