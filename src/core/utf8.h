// Well-formed UTF-8: the one rule that every text of the notation obeys.
//
//   first byte   following bytes
//   00..7F       none
//   C2..DF       80..BF
//   E0           A0..BF, 80..BF
//   E1..EC EE EF 80..BF, 80..BF
//   ED           80..9F, 80..BF            (no surrogates)
//   F0           90..BF, 80..BF, 80..BF    (no over-long forms)
//   F1..F3       80..BF, 80..BF, 80..BF
//   F4           80..8F, 80..BF, 80..BF    (nothing above U+10FFFF)
//
// 80..C1 and F5..FF never start a character. NUL is a well-formed one-byte character here.
//
// The routines are templates over the byte type so that they work on char, unsigned char and
// char8_t spans alike and stay usable in constant expressions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tvl {

// What a byte announces when it starts a character: how many continuation bytes follow and
// the allowed range of the first of them (every later one is 80..BF).
struct Utf8Lead {
    bool valid;       // false for 80..C1 and F5..FF
    uint8_t pending;  // continuation bytes that follow: 0..3
    uint8_t lo;       // lowest allowed first continuation byte
    uint8_t hi;       // highest allowed first continuation byte
};

inline constexpr uint8_t kUtf8ContLo = 0x80;
inline constexpr uint8_t kUtf8ContHi = 0xBF;

constexpr Utf8Lead utf8_lead(uint8_t b) noexcept {
    if (b < 0x80) return {true, 0, 0, 0};
    if (b < 0xC2) return {false, 0, 0, 0};
    if (b < 0xE0) return {true, 1, kUtf8ContLo, kUtf8ContHi};
    if (b == 0xE0) return {true, 2, 0xA0, kUtf8ContHi};
    if (b == 0xED) return {true, 2, kUtf8ContLo, 0x9F};
    if (b < 0xF0) return {true, 2, kUtf8ContLo, kUtf8ContHi};
    if (b == 0xF0) return {true, 3, 0x90, kUtf8ContHi};
    if (b < 0xF4) return {true, 3, kUtf8ContLo, kUtf8ContHi};
    if (b == 0xF4) return {true, 3, kUtf8ContLo, 0x8F};
    return {false, 0, 0, 0};
}

// Validates the one character that starts at p, with avail bytes readable from p. Returns its
// length (1..4), or 0 when the bytes are not a well-formed character or are cut short by avail.
// Never reads beyond p[avail - 1].
template <class Byte>
constexpr size_t utf8_char_length(const Byte *p, size_t avail) noexcept {
    if (avail == 0) return 0;
    const Utf8Lead lead = utf8_lead(static_cast<uint8_t>(p[0]));
    if (!lead.valid) return 0;
    const size_t len = size_t{lead.pending} + 1;
    if (len > avail) return 0;
    if (len == 1) return 1;
    const auto b1 = static_cast<uint8_t>(p[1]);
    if (b1 < lead.lo || b1 > lead.hi) return 0;
    for (size_t i = 2; i < len; ++i) {
        const auto b = static_cast<uint8_t>(p[i]);
        if (b < kUtf8ContLo || b > kUtf8ContHi) return 0;
    }
    return len;
}

// True when the n bytes at p are well-formed UTF-8 (true for n == 0).
template <class Byte>
constexpr bool utf8_valid(const Byte *p, size_t n) noexcept {
    size_t i = 0;
    while (i < n) {
        if (static_cast<uint8_t>(p[i]) < 0x80) {
            ++i;
            continue;
        }
        const size_t len = utf8_char_length(p + i, n - i);
        if (len == 0) return false;
        i += len;
    }
    return true;
}

// Incremental form of the same check for input that arrives in pieces (a character may be
// split between two chunks). Feed every byte; complete() tells whether the input may end here.
struct Utf8Stream {
    uint8_t pending = 0;
    uint8_t lo = 0;
    uint8_t hi = 0;

    // False when b breaks the rule; the state is then cleared so that a caller may go on.
    constexpr bool feed(uint8_t b) noexcept {
        if (pending > 0) {
            if (b < lo || b > hi) {
                pending = 0;
                return false;
            }
            --pending;
            lo = kUtf8ContLo;
            hi = kUtf8ContHi;
            return true;
        }
        if (b < 0x80) return true;
        const Utf8Lead lead = utf8_lead(b);
        if (!lead.valid) return false;
        pending = lead.pending;
        lo = lead.lo;
        hi = lead.hi;
        return true;
    }

    constexpr bool complete() const noexcept { return pending == 0; }
};

static_assert(utf8_char_length("\xE2\x82\xAC", 3) == 3);
static_assert(utf8_char_length("\xF4\x8F\xBF\xBF", 4) == 4);
static_assert(utf8_char_length("\xF4\x90\x80\x80", 4) == 0);
static_assert(utf8_char_length("\xE2\x82", 2) == 0);
static_assert(utf8_char_length("\xC0\x80", 2) == 0);

}  // namespace tvl
