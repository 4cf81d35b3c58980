// Lexical validators of names, symbols, references and strings, and the escape table.
#include "core/text_tokens.h"

#include <cstdint>
#include <cstring>

#include "core/byte_classes.h"
#include "core/escape.h"
#include "core/utf8.h"
#include "tvlr.h"

namespace tvl {
namespace {

// One segment body: a name-start byte followed by name bytes. Returns the number of bytes that
// belong to it, 0 when the first byte is not a name-start byte.
size_t name_run(const uint8_t *p, size_t len) noexcept {
    if (len == 0 || !is_name_start_byte(p[0])) return 0;
    size_t i = 1;
    while (i < len && is_name_byte(p[i])) ++i;
    return i;
}

const uint8_t *as_bytes(const char *text) noexcept {
    return reinterpret_cast<const uint8_t *>(text);
}

// Bytes at the start of p that are printable ASCII (20..7E), taken eight at a time: such bytes
// are string bytes and whole UTF-8 characters. A word with any other byte ends the run; the
// bytes from there on take the exact per-byte check.
size_t printable_ascii_prefix(const uint8_t *p, size_t len) noexcept {
    size_t i = 0;
    for (; i + 8 <= len; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        if (unprintable_byte(w) != 0) break;
    }
    return i;
}

}  // namespace

bool is_identifier(const char *text, size_t len) noexcept {
    if (text == nullptr || len == 0) return false;
    const uint8_t *p = as_bytes(text);
    if (name_run(p, len) != len) return false;
    return utf8_valid(p, len);
}

bool is_reference(const char *text, size_t len) noexcept {
    if (text == nullptr || len == 0) return false;
    const uint8_t *p = as_bytes(text);
    size_t i = 0;
    while (i < len) {
        if (p[i] != '.') return false;
        ++i;
        const size_t run = name_run(p + i, len - i);
        if (run == 0) return false;  // "..", a trailing '.', or a bad first byte
        i += run;
    }
    // Segments hold only name bytes, which include every byte from 80 up except C2, so the
    // byte classes alone let broken sequences through: the text must also be UTF-8.
    return utf8_valid(p, len);
}

uint32_t check_string_content(const char *text, size_t len) noexcept {
    if (len == 0) return TVL_ERR_NONE;
    if (text == nullptr) return TVL_ERR_INVALID_ARGUMENT;
    const size_t ascii = printable_ascii_prefix(as_bytes(text), len);
    const uint8_t *p = as_bytes(text) + ascii;
    len -= ascii;
    for (size_t i = 0; i < len; ++i) {
        if (!is_string_byte(p[i])) return TVL_ERR_UNEXPECTED_INPUT_BYTE;
    }
    return utf8_valid(p, len) ? TVL_ERR_NONE : TVL_ERR_INVALID_UTF8_BYTE;
}

}  // namespace tvl

extern "C" {

TVLR_API bool tvl_validate_string(const char *text, uint64_t length) {
    if (length == 0) return true;
    if (text == nullptr) return false;
    if constexpr (sizeof(size_t) < sizeof(uint64_t)) {
        if (length > SIZE_MAX) return false;  // cannot be in memory
    }
    return tvl::utf8_valid(text, static_cast<size_t>(length));
}

TVLR_API bool tvl_validate_identifier(const char *text) {
    if (text == nullptr) return false;
    return tvl::is_identifier(text, std::strlen(text));
}

TVLR_API bool tvl_validate_symbol(const char *text) {
    if (text == nullptr) return false;
    return tvl::is_identifier(text, std::strlen(text));
}

TVLR_API bool tvl_validate_reference(const char *text) {
    if (text == nullptr) return false;
    return tvl::is_reference(text, std::strlen(text));
}

TVLR_API const uint8_t *tvl_get_escape_repl_table(void) {
    return tvl::kEscapeReplacement.data();
}

}  // extern "C"
