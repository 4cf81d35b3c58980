// Lexical rules of the tokens that are not numbers: member names (identifiers), symbols,
// references and string content, built on the byte classes of core/byte_classes.h.
//
// The span functions take a pointer and a byte count and need no NUL terminator, so the reader
// and the writer can check event texts in place. A NUL byte inside a span is an ordinary byte
// (it is in no name class, so it fails names, symbols and references).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/byte_classes.h"
#include "core/escape.h"

namespace tvl {

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
