// What the writer's one-step path, its one-piece members and the canonical observer share: the
// quick checks of ASCII names, printable ASCII text and plain decimal numbers, and the text of a
// plain value with the comma before it written in place in one claim, with the bytes and the output
// state of output_event, so that a common value costs one bounds check.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "core/annotation.h"
#include "core/byte_classes.h"
#include "core/number_text.h"
#include "core/text_tokens.h"
#include "writer/checks.h"
#include "writer/output.h"
#include "writer/writer_impl.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tvl::wr {

// For each byte below 80: bit 0 when it is a name byte, bit 1 when it is a name-start byte.
inline constexpr std::array<uint8_t, 256> kAsciiName = [] {
    std::array<uint8_t, 256> t{};
    for (unsigned b = 0; b < 0x80; ++b) {
        const auto byte = static_cast<uint8_t>(b);
        t[b] =
            static_cast<uint8_t>((is_name_byte(byte) ? 1 : 0) | (is_name_start_byte(byte) ? 2 : 0));
    }
    return t;
}();

// The words of the type numbers 0 to 7 looked up instead of found through comparisons.
inline constexpr std::array<TypeWord, TVLR_TYPE_BOOL + 1> kTypeWords = [] {
    std::array<TypeWord, TVLR_TYPE_BOOL + 1> t{};
    for (uint32_t type = 0; type < t.size(); ++type) t[type] = type_word(type);
    return t;
}();

// The decimal text of the numbers below 256 (the common widths and fraction counts): the count
// of digits, then the digits from the left, so that a parameter costs a lookup and a 3-byte copy.
struct SmallDecimal {
    uint8_t len;
    char digits[3];
};
inline constexpr std::array<SmallDecimal, 256> kSmallDecimals = [] {
    std::array<SmallDecimal, 256> t{};
    for (uint32_t v = 0; v < t.size(); ++v) {
        char buf[3] = {static_cast<char>('0' + v / 100), static_cast<char>('0' + v / 10 % 10),
                       static_cast<char>('0' + v % 10)};
        const uint32_t len = v >= 100 ? 3 : v >= 10 ? 2 : 1;
        t[v].len = static_cast<uint8_t>(len);
        for (uint32_t i = 0; i < len; ++i) t[v].digits[i] = buf[3 - len + i];
    }
    return t;
}();

// An ASCII name: a name-start byte, then name bytes, all below 80 (so the text is UTF-8).
inline bool is_ascii_name(const char *text, size_t len) {
    const auto *p = reinterpret_cast<const uint8_t *>(text);
    if (len == 0 || (kAsciiName[p[0]] & 2) == 0) return false;
    uint8_t all = 1;
    for (size_t i = 1; i < len; ++i) all &= kAsciiName[p[i]];
    return all != 0;
}

// is_ascii_name for a text of 1 to 32 bytes, without a loop for up to 8: four bytes from each end
// (overlapping where the text is shorter), the three of a text below 4 bytes. Keeps to a few
// registers, for the steps that stay clear of saving any.
inline bool is_short_ascii_name(const char *text, size_t len) {
    const auto *p = reinterpret_cast<const uint8_t *>(text);
    const auto &t = kAsciiName;
    if (len < 4) return (t[p[0]] & 2 & (t[p[len / 2]] << 1) & (t[p[len - 1]] << 1)) != 0;
    unsigned all = t[p[0]] >> 1 & t[p[1]] & t[p[2]] & t[p[3]];
    for (size_t i = 4; i + 4 < len; i += 4)
        all &= t[p[i]] & t[p[i + 1]] & t[p[i + 2]] & t[p[i + 3]];
    return (all & t[p[len - 4]] & t[p[len - 3]] & t[p[len - 2]] & t[p[len - 1]]) != 0;
}

// Where a one-piece member (a name and what follows it, written with the bytes and state changes
// of its events) may be taken: a stepping writer, a place where a member may start (no row break
// or annotation before it, no array directly open) and a name that passes its check.
inline bool member_piece_may_start(const tvlr_writer *w, const char *name, size_t name_len) {
    return w->stepping && w->previous != TVLR_EV_ROW_BREAK && w->previous != TVLR_EV_TYPE_END &&
           directly_open_level(w->out) == nullptr && name_len <= kTokenMaxLen &&
           (is_ascii_name(name, name_len) || check_member_name(name, name_len) == 0);
}

// Bytes from 20 up other than `"` and `\\` go into a literal as they are: runs of them are
// copied without looking at each byte.
static_assert([] {
    for (unsigned b = 0x20; b < 0x100; ++b)
        if (b != '"' && b != '\\' && kEscapeLetter[b] != 0) return false;
    return true;
}());

// One byte of a literal body, escaped where it has an escape letter; gives the end.
inline uint8_t *put_literal_byte(uint8_t *p, uint8_t b) {
    const uint8_t letter = kEscapeLetter[b];
    if (letter != 0) *p++ = '\\';
    *p++ = letter != 0 ? letter : b;
    return p;
}

// The body of a string literal with its escapes, from p on, within 2 * len bytes: runs without
// control bytes, `"` and `\\` sixteen bytes at a time with SSE2, then printable ASCII without
// them eight at a time, every other byte on its own. Returns the end; odd tells whether a byte
// lies outside printable ASCII, where the text needs the full content check before the bytes
// are used.
inline uint8_t *put_literal_body(uint8_t *p, const char *text, size_t len, bool &odd) {
    const auto *s = reinterpret_cast<const uint8_t *>(text);
    size_t i = 0;
    bool unprintable = false;
#if defined(__SSE2__)
    // Each block is stored before it is looked at; from the first byte to escape on, the next
    // block starts over. The store stays within the 2 * len bytes: the block ends at most at
    // len, and the escapes before it add at most one byte for each byte taken. Every byte of a
    // block belongs to the text, so the bytes outside printable ASCII are gathered per block.
    const __m128i last_control = _mm_set1_epi8(0x1F), del = _mm_set1_epi8(0x7F);
    const __m128i quote = _mm_set1_epi8('"'), backslash = _mm_set1_epi8('\\');
    __m128i outside = _mm_setzero_si128();  // high bit: a byte outside printable ASCII
    while (len - i >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v);
        const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(v, last_control), v);
        // The high bit of v itself marks the bytes from 80 up.
        outside =
            _mm_or_si128(outside, _mm_or_si128(_mm_or_si128(control, v), _mm_cmpeq_epi8(v, del)));
        const __m128i escape = _mm_or_si128(
            control, _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)));
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(escape));
        if (mask == 0) {
            p += 16;
            i += 16;
            continue;
        }
        const auto k = static_cast<size_t>(std::countr_zero(mask));
        p = put_literal_byte(p + k, s[i + k]);
        i += k + 1;
    }
    // The rest of a text of 16 bytes or more lies in its last 16 bytes: the runs between the
    // bytes to escape are copied as they are. The bytes of that block before i were taken
    // already; they belong to the text, so looking at them again does not change `outside`.
    if (i < len && len >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + len - 16));
        const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(v, last_control), v);
        outside =
            _mm_or_si128(outside, _mm_or_si128(_mm_or_si128(control, v), _mm_cmpeq_epi8(v, del)));
        const __m128i escape = _mm_or_si128(
            control, _mm_or_si128(_mm_cmpeq_epi8(v, quote), _mm_cmpeq_epi8(v, backslash)));
        // One bit for each byte from i on.
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(escape)) >> (16 - (len - i));
        for (;;) {
            const size_t run = mask != 0 ? static_cast<size_t>(std::countr_zero(mask)) : len - i;
            copy_short(p, s + i, run);
            p += run;
            i += run;
            if (mask == 0) break;
            p = put_literal_byte(p, s[i++]);
            mask >>= run + 1;
        }
    }
    unprintable = _mm_movemask_epi8(outside) != 0;
#endif
    for (; i + 8 <= len; i += 8) {
        uint64_t w;
        std::memcpy(&w, s + i, 8);
        const uint64_t unprintable_bytes = unprintable_byte(w);
        if ((unprintable_bytes | quote_or_backslash_byte(w)) == 0) {
            std::memcpy(p, &w, 8);
            p += 8;
            continue;
        }
        unprintable |= unprintable_bytes != 0;
        for (size_t k = i; k < i + 8; ++k) p = put_literal_byte(p, s[k]);
    }
    for (; i < len; ++i) {
        unprintable |= static_cast<uint8_t>(s[i] - 0x20) > 0x7E - 0x20;
        p = put_literal_byte(p, s[i]);
    }
    odd = unprintable;
    return p;
}

// The index of the first byte from i on that is no decimal digit, or len: eight bytes at a time
// where the text has eight, the last eight overlapping the ones already taken.
inline size_t digits_end(const char *text, size_t i, size_t len) {
    if constexpr (std::endian::native == std::endian::little) {
        if (len >= 8) {
            uint64_t w;
            for (; len - i >= 8; i += 8) {
                std::memcpy(&w, text + i, 8);
                if (const uint64_t m = non_digit_byte(w); m != 0)
                    return i + static_cast<size_t>(std::countr_zero(m)) / 8;
            }
            if (i == len) return len;
            std::memcpy(&w, text + len - 8, 8);
            // Shifted out: the bytes before i.
            const uint64_t m = non_digit_byte(w) >> (8 * (8 - (len - i)));
            return m != 0 ? i + static_cast<size_t>(std::countr_zero(m)) / 8 : len;
        }
    }
    while (i < len && static_cast<uint8_t>(text[i] - '0') <= 9) ++i;
    return i;
}

// A number text `-?D+(.D+)?` with decimal digits D: a decimal number token that is no special
// number. Counts its digits and tells whether it has a point.
inline bool plain_decimal(const char *text, size_t len, size_t &digits, bool &point) {
    size_t i = len != 0 && text[0] == '-' ? 1 : 0;
    const size_t start = i;
    i = digits_end(text, i, len);
    digits = i - start;
    point = false;
    if (digits == 0) return false;
    if (i == len) return true;
    if (text[i] != '.') return false;
    const size_t before = ++i;
    i = digits_end(text, i, len);
    point = true;
    digits += i - before;
    return i == len && i != before;
}

// True when a plain decimal number (plain_decimal gave its digits and point) passes every rule
// under the type, width and base, as the writer's check_value finds; false where only the full
// rules can tell.
inline bool number_passes(uint32_t type, uint32_t bits, uint32_t base, const char *text, size_t len,
                          size_t digits, bool point) {
    if (type == TVLR_TYPE_PLAIN) return true;
    const bool decimal = base == 0 || base == 10;
    if (type == TVLR_TYPE_FLOAT) return decimal;
    if (type != TVLR_TYPE_SINT && type != TVLR_TYPE_UINT) return false;
    const bool negative = text[0] == '-';
    if (!decimal || point || digits > 18 || (type == TVLR_TYPE_UINT && negative)) return false;
    // Up to 18 digits stay below 10^18 < 2^63: every width from 64 up, and the implied width of
    // 64 for none, takes them. A narrower width takes up to 2^bits - 1 unsigned, and from
    // -2^(bits-1) to 2^(bits-1) - 1 signed.
    if (bits == 0 || bits >= 64) return true;
    uint64_t v = 0;
    for (size_t i = negative ? 1 : 0; i < len; ++i)
        v = v * 10 + static_cast<uint64_t>(text[i] - '0');
    if (type == TVLR_TYPE_UINT) return v <= (uint64_t{1} << bits) - 1;
    const uint64_t half = uint64_t{1} << (bits - 1);
    return v < half || (negative && v == half);
}

// Whether a number text may be a special number (nan, inf, -inf), from its length and first
// bytes: false rules it out without the full test.
inline bool looks_special_number(const char *text, size_t len) {
    return (len == 3 && (text[0] == 'n' || text[0] == 'i')) ||
           (len == 4 && text[0] == '-' && text[1] == 'i');
}

inline uint8_t *put_comma(const Output &o, uint8_t *p) {
    *p++ = ',';
    if (o.pretty) *p++ = ' ';
    return p;
}

// The end of a value written in place: its len bytes taken, with output_event's changes of state
// (open and comma as for put_plain_value).
inline void finish_plain_value(Output &o, ArrayLevel *open, ArrayLevel *comma, size_t len) {
    commit(o, len);
    o.after_annotation = false;
    if (comma != nullptr) {
        comma->separator_due = false;
        copy_in_force(o.in_force, comma->saved);
    }
    o.statement_open = true;
    if (open != nullptr) open->separator_due = true;
}

// The output of a value event of a kind with text in one piece: the comma due before it (comma:
// the directly open level whose comma is due and that no annotation suppresses, else null), the
// value's text as output_event writes it, with output_event's changes of state; open is the
// directly open array level or null. Numbers, strings, symbols, references, booleans and null
// without a unit. With check_text, a string with bytes outside printable ASCII is taken only
// where its content passes check_string_content. False, with nothing changed, for another kind,
// for a string that fails that check, or where the piece does not fit.
// Without may_be_special the caller knows that the text is no special number.
[[gnu::always_inline]] inline bool put_plain_value(Output &o, ArrayLevel *open, ArrayLevel *comma,
                                                   uint32_t kind, const char *text, size_t len,
                                                   bool check_text = false,
                                                   bool may_be_special = true) {
    size_t most = 0;
    switch (kind) {
        case TVL_VK_NUMBER:
        case TVL_VK_ARRAY_NUMBER:
        case TVL_VK_REFERENCE:
            most = 3 + len;
            break;
        case TVL_VK_STRING:
        case TVL_VK_ARRAY_STRING:
            most = 4 + 2 * len;
            break;
        case TVL_VK_SYMBOL:
            most = 2 + len;
            break;
        case TVL_VK_BOOL:
            most = 7;
            break;
        case TVL_VK_NULL:
            most = 2;
            break;
        default:
            return false;
    }
    uint8_t *const start = claim(o, most);
    if (start == nullptr) return false;
    uint8_t *p = comma != nullptr ? put_comma(o, start) : start;
    switch (kind) {
        case TVL_VK_STRING:
        case TVL_VK_ARRAY_STRING: {
            *p++ = '"';
            bool odd = false;
            p = put_literal_body(p, text, len, odd);
            if (check_text && odd && check_string_content(text, len) != 0) return false;
            *p++ = '"';
            break;
        }
        case TVL_VK_BOOL:
            if ((len == 4 && std::memcmp(text, "true", 4) == 0) ||
                (len == 2 && std::memcmp(text, "on", 2) == 0)) {
                std::memcpy(p, "true", 4);
                p += 4;
            } else {
                std::memcpy(p, "false", 5);
                p += 5;
            }
            break;
        case TVL_VK_NULL:
            break;
        default:  // numbers, symbols, references: the text with its marker
            if (kind == TVL_VK_REFERENCE) {
                *p++ = '&';
            } else if (may_be_special && kind != TVL_VK_SYMBOL &&
                       looks_special_number(text, len) && is_special_number(text, len)) {
                *p++ = '$';
            }
            copy_bytes(p, text, len);
            p += len;
            break;
    }
    finish_plain_value(o, open, comma, static_cast<size_t>(p - start));
    return true;
}

// The start of a statement with `tabs` tabs before it: the pending ';', the indentation, '.', the
// name and '=', with output_event's changes of state. False, with nothing changed, where it does
// not fit. With a constant tabs of 0 (a line without tabs) it needs no call.
[[gnu::always_inline]] inline bool put_member_piece_at(Output &o, uint32_t tabs, const char *name,
                                                       size_t len) {
    const size_t total = statement_end_len(o) + tabs + 1 + len + (o.pretty ? 3 : 1);
    uint8_t *p = claim(o, total);
    if (p == nullptr) return false;
    put_member_head(o, p, tabs, name, len);
    commit(o, total);
    o.statement_open = o.after_annotation = o.param_written = false;
    clear_in_force(o.in_force);
    return true;
}

// put_member_piece_at with the indentation of the struct depth in the pretty layout.
inline bool put_member_piece(Output &o, const char *name, size_t len) {
    return put_member_piece_at(o, o.pretty ? o.struct_depth : 0, name, len);
}

// The structural events in one piece each, with output_event's bytes and changes of state; comma
// as for put_plain_value. False, with nothing changed, where output_event would meet a depth
// outside the levels it keeps, or where the piece does not fit.
inline bool put_struct_start_piece(Output &o, ArrayLevel *comma) {
    uint8_t *const start = claim(o, 4);
    if (start == nullptr) return false;
    uint8_t *p = comma != nullptr ? put_comma(o, start) : start;
    *p++ = '{';
    if (o.pretty) *p++ = '\n';
    commit(o, static_cast<size_t>(p - start));
    o.after_annotation = false;
    if (comma != nullptr) {
        comma->separator_due = false;
        copy_in_force(o.in_force, comma->saved);
    }
    ++o.struct_depth;
    o.statement_open = false;
    return true;
}

inline bool put_struct_end_piece(Output &o) {
    if (o.struct_depth == 0) return false;
    const uint32_t depth = o.struct_depth - 1;
    const uint32_t tabs = o.pretty ? depth : 0;
    const size_t total = statement_end_len(o) + tabs + 1;
    uint8_t *p = claim(o, total);
    if (p == nullptr) return false;
    p = put_line_start(o, p, tabs);
    *p = '}';
    commit(o, total);
    o.statement_open = true;
    o.struct_depth = depth;
    if (ArrayLevel *open = const_cast<ArrayLevel *>(directly_open_level(o)))
        open->separator_due = true;
    return true;
}

inline bool put_array_start_piece(Output &o, ArrayLevel *comma) {
    const uint32_t depth = o.array_depth;
    if (depth + 1 >= kArrayLevels) return false;
    uint8_t *const start = claim(o, 3);
    if (start == nullptr) return false;
    uint8_t *p = comma != nullptr ? put_comma(o, start) : start;
    *p++ = '[';
    commit(o, static_cast<size_t>(p - start));
    o.after_annotation = false;
    if (comma != nullptr) {
        comma->separator_due = false;
        copy_in_force(o.in_force, comma->saved);
    }
    ArrayLevel &opened = o.levels[depth];
    opened.separator_due = false;
    opened.opened_at_struct_depth = o.struct_depth;
    copy_in_force(opened.saved, o.in_force);
    o.array_depth = depth + 1;
    return true;
}

inline bool put_array_end_piece(Output &o) {
    const uint32_t depth = o.array_depth;
    if (depth == 0 || depth >= kArrayLevels) return false;
    uint8_t *const p = claim(o, 1);
    if (p == nullptr) return false;
    *p = ']';
    commit(o, 1);
    copy_in_force(o.in_force, o.levels[depth - 1].saved);
    o.array_depth = depth - 1;
    o.statement_open = true;
    if (ArrayLevel *open = const_cast<ArrayLevel *>(directly_open_level(o)))
        open->separator_due = true;
    return true;
}

}  // namespace tvl::wr
