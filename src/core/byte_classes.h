// Byte classes of the notation: for each of the 256 byte values, the set of lexical classes it
// belongs to, as bits of one constexpr table. This is the one place that says which bytes make up
// names, symbols, references, numbers, strings, comments, annotation text and unit text, which are
// white space and which are structural. The reader's transition table, its bulk runs, the text
// validators and the writer's checks all derive their byte sets from here.
//
// Bytes from 0x80 up are classed one by one, so a multi-byte UTF-8 character belongs to a class
// when each of its bytes does; whether the bytes form well-formed UTF-8 is checked separately
// (core/utf8.h).
#pragma once

#include <array>
#include <cstdint>

#include "core/utf8.h"

namespace tvl {

using ByteClassBits = uint16_t;

// TAB, LF, VT, FF, CR and SP: separate tokens, and are skipped between them.
inline constexpr ByteClassBits kWhiteSpaceByte = 1u << 0;
// LF and CR: end a comment.
inline constexpr ByteClassBits kLineBreakByte = 1u << 1;
// 0-9.
inline constexpr ByteClassBits kDigitByte = 1u << 2;
// First byte of a name, a symbol or a reference segment: A-Z a-z _ and the UTF-8 lead bytes
// C3..F4. C2 is left out, so no character U+0080..U+00BF can stand in a name.
inline constexpr ByteClassBits kNameStartByte = 1u << 3;
// Later bytes of a name, a symbol or a reference segment: the name-start bytes, 0-9, + and -,
// and every byte from 80 up but C2.
inline constexpr ByteClassBits kNameByte = 1u << 4;
// May stand in a string's content (after escapes): TAB..CR, SP..~ and 80..FF; no other control
// byte and no 7F.
inline constexpr ByteClassBits kStringByte = 1u << 5;
// Stands as itself inside a string literal: the string bytes but `"` (ends it) and `\` (escapes).
inline constexpr ByteClassBits kStringLiteralByte = 1u << 6;
// Taken by a bulk string run: the literal bytes from SP up. TAB..CR take the per-byte path.
inline constexpr ByteClassBits kStringRunByte = 1u << 7;
// Comment text: the string bytes but LF and CR.
inline constexpr ByteClassBits kCommentByte = 1u << 8;
// Annotation text after the type word: % *..: A-Z ^ _ a-z ~ and the bytes of multi-byte UTF-8
// characters (80..BF, C2..F4).
inline constexpr ByteClassBits kAnnotationByte = 1u << 9;
// First byte of a unit suffix: % A-Z _ a-z and the UTF-8 lead bytes C2..F4.
inline constexpr ByteClassBits kUnitStartByte = 1u << 10;
// Later bytes of a unit suffix, and the bytes of an annotation parameter: the annotation bytes
// but the parameter separator `,`.
inline constexpr ByteClassBits kUnitByte = 1u << 11;
// Bytes that open, close or separate constructs: " # , ; < = > [ ] { }. None of them continues
// a name, a number, a symbol, a reference or a unit, so each ends such a token.
inline constexpr ByteClassBits kStructuralByte = 1u << 12;
// First byte of a multi-byte UTF-8 character: C2..F4.
inline constexpr ByteClassBits kUtf8LeadByte = 1u << 13;
// UTF-8 continuation byte: 80..BF.
inline constexpr ByteClassBits kUtf8ContinuationByte = 1u << 14;

inline constexpr std::array<ByteClassBits, 256> kByteClasses = [] {
    std::array<ByteClassBits, 256> t{};
    auto add = [&t](unsigned from, unsigned to, ByteClassBits cls) {
        for (unsigned b = from; b <= to; ++b) t[b] = static_cast<ByteClassBits>(t[b] | cls);
    };
    auto add_bytes = [&t](const char *bytes, ByteClassBits cls) {
        for (; *bytes; ++bytes) {
            const auto b = static_cast<uint8_t>(*bytes);
            t[b] = static_cast<ByteClassBits>(t[b] | cls);
        }
    };
    // Every byte of class `from` joins class `to`, unless it is one of `except`.
    auto derive = [&t](ByteClassBits from, ByteClassBits to, const char *except) {
        for (unsigned b = 0; b < 256; ++b) {
            bool excepted = false;
            for (const char *e = except; *e; ++e)
                excepted = excepted || static_cast<uint8_t>(*e) == b;
            if ((t[b] & from) && !excepted) t[b] = static_cast<ByteClassBits>(t[b] | to);
        }
    };
    for (unsigned b = 0x80; b < 256; ++b) {
        const Utf8Lead lead = utf8_lead(static_cast<uint8_t>(b));
        if (lead.valid) add(b, b, kUtf8LeadByte);
        if (b >= kUtf8ContLo && b <= kUtf8ContHi) add(b, b, kUtf8ContinuationByte);
    }
    const auto letters = [&](ByteClassBits cls) {
        add('A', 'Z', cls);
        add('a', 'z', cls);
        add('_', '_', cls);
    };

    add_bytes("\t\n\v\f\r ", kWhiteSpaceByte);
    add_bytes("\n\r", kLineBreakByte);
    add('0', '9', kDigitByte);

    letters(kNameStartByte);
    derive(kUtf8LeadByte, kNameStartByte, "\xC2");
    derive(kNameStartByte, kNameByte, "");
    add('0', '9', kNameByte);
    add_bytes("+-", kNameByte);
    add(0x80, 0xC1, kNameByte);
    add(0xC3, 0xFF, kNameByte);

    add(0x09, 0x0D, kStringByte);
    add(0x20, 0x7E, kStringByte);
    add(0x80, 0xFF, kStringByte);
    derive(kStringByte, kStringLiteralByte, "\"\\");
    derive(kStringLiteralByte, kStringRunByte, "\t\n\v\f\r");
    derive(kStringByte, kCommentByte, "\n\r");

    add_bytes("%^~", kAnnotationByte);
    add('*', ':', kAnnotationByte);
    letters(kAnnotationByte);
    derive(kUtf8LeadByte, kAnnotationByte, "");
    derive(kUtf8ContinuationByte, kAnnotationByte, "");
    derive(kAnnotationByte, kUnitByte, ",");

    add_bytes("%", kUnitStartByte);
    letters(kUnitStartByte);
    derive(kUtf8LeadByte, kUnitStartByte, "");

    add_bytes("\"#,;<=>[]{}", kStructuralByte);
    return t;
}();

constexpr bool has_class(uint8_t b, ByteClassBits cls) noexcept {
    return (kByteClasses[b] & cls) != 0;
}

constexpr bool is_name_start_byte(uint8_t b) noexcept {
    return has_class(b, kNameStartByte);
}
constexpr bool is_name_byte(uint8_t b) noexcept {
    return has_class(b, kNameByte);
}
constexpr bool is_string_byte(uint8_t b) noexcept {
    return has_class(b, kStringByte);
}
constexpr bool is_white_space(uint8_t b) noexcept {
    return has_class(b, kWhiteSpaceByte);
}

// Tests of eight bytes at a time (one 64-bit word), exact as whole-word tests: non-zero when some
// byte of w is 00, lies outside printable ASCII (20..7E), or is `"` or `\`.
inline constexpr uint64_t kByteOnes = 0x0101010101010101, kByteHighs = 0x8080808080808080;

constexpr uint64_t zero_byte(uint64_t w) {
    return (w - kByteOnes) & ~w & kByteHighs;
}
constexpr uint64_t unprintable_byte(uint64_t w) {
    return ((w - kByteOnes * 0x20) & ~w & kByteHighs) | (((w + kByteOnes) | w) & kByteHighs);
}
constexpr uint64_t quote_or_backslash_byte(uint64_t w) {
    return zero_byte(w ^ (kByteOnes * '"')) | zero_byte(w ^ (kByteOnes * '\\'));
}

// Exact for each byte: the high bit of each byte of w that is no decimal digit. 0..9 after the
// xor with '0' stay below 80 when 76 is added to their low seven bits; the sum cannot carry into
// the next byte.
constexpr uint64_t non_digit_byte(uint64_t w) {
    const uint64_t x = w ^ (kByteOnes * '0');
    return (((x & ~kByteHighs) + kByteOnes * 0x76) | x) & kByteHighs;
}

namespace byte_class_checks {

// True when every byte of class `sub` is also of class `super`.
constexpr bool within(ByteClassBits sub, ByteClassBits super) {
    for (unsigned b = 0; b < 256; ++b)
        if (has_class(static_cast<uint8_t>(b), sub) && !has_class(static_cast<uint8_t>(b), super))
            return false;
    return true;
}

// True when no byte is of both classes.
constexpr bool disjoint(ByteClassBits a, ByteClassBits b) {
    for (unsigned x = 0; x < 256; ++x) {
        const ByteClassBits c = kByteClasses[x];
        if ((c & a) && (c & b)) return false;
    }
    return true;
}

// Number of bytes of a class.
constexpr unsigned count(ByteClassBits cls) {
    unsigned n = 0;
    for (unsigned b = 0; b < 256; ++b) n += has_class(static_cast<uint8_t>(b), cls) ? 1 : 0;
    return n;
}

static_assert(within(kNameStartByte, kNameByte) && within(kUnitStartByte, kUnitByte));
static_assert(within(kUnitByte, kAnnotationByte) && within(kStringRunByte, kStringLiteralByte));
static_assert(!is_name_start_byte(0xC2) && !is_name_byte(0xC2) && has_class(0xC2, kUnitStartByte));
static_assert(count(kNameStartByte) == 53 + 50 && count(kNameByte) == 65 + 127);
static_assert(count(kStringByte) == 5 + 95 + 128 && count(kStringRunByte) == 93 + 128);
// Structural bytes end every token run outside strings and annotations; line breaks are white
// space and end comments.
static_assert(disjoint(kStructuralByte, kNameByte | kDigitByte | kUnitByte | kWhiteSpaceByte));
static_assert(disjoint(kLineBreakByte, kCommentByte) && within(kLineBreakByte, kWhiteSpaceByte));

}  // namespace byte_class_checks

}  // namespace tvl
