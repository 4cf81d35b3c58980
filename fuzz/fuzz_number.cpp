// libFuzzer target: number text. The first byte picks a base (2..62, 64, 85), the second a width
// (1..64); the rest up to a NUL is the text. Checked:
//  - on a sign and digits of the base, the range checks agree with the 64-bit parsers;
//  - 64-bit values (parsed, and eight input bytes taken as one) format and parse back, with the
//    requested minimum of digits, and the largest value of a width has tvl_min_digits_for_type
//    digits;
//  - a decimal number text reads as the same double as std::from_chars where that reads the
//    whole text, and the double formats and reads back to itself.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tvlr.h"

namespace {

constexpr uint32_t base_at(uint32_t i) {
    return i < 61 ? 2 + i : (i == 61 ? 64 : 85);
}

[[noreturn]] void fail(const char *what, const std::string &text, uint32_t base, uint32_t bits) {
    std::fprintf(stderr, "%s: \"%s\" base %u width %u\n", what, text.c_str(), base, bits);
    std::abort();
}

// One optional sign and one or more digits of base; a first byte that is both a sign and a
// digit of the base ('+' in bases 64 and 85) is left out, as the readers differ on it.
bool sign_and_digits(const std::string &t, uint32_t base, bool &negative) {
    size_t i = 0;
    negative = false;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
        if (tvl_char_to_digit(static_cast<uint8_t>(t[0]), base) < base && t[0] == '+') return false;
        negative = t[0] == '-';
        i = 1;
    }
    if (i == t.size()) return false;
    for (; i < t.size(); ++i)
        if (tvl_char_to_digit(static_cast<uint8_t>(t[i]), base) >= base) return false;
    return true;
}

void check_uint_round_trip(uint64_t v, uint32_t base, uint32_t min_digits, const std::string &t) {
    char buf[80];
    const int n = tvl_format_uint64(buf, sizeof buf, v, base, min_digits);
    uint64_t back = 0;
    const tvl_type_annotation a{TVLR_TYPE_UINT, 0, base};
    if (n < 0 || !tvl_parse_uint64(buf, a, &back) || back != v)
        fail("uint text round trip", t, base, 0);
    if (static_cast<uint32_t>(n) < (min_digits < 64 ? min_digits : 64))
        fail("too few digits", t, base, 0);
}

void check_sint_round_trip(int64_t v, uint32_t base, uint32_t min_digits, const std::string &t) {
    char buf[80];
    const int n = tvl_format_int64(buf, sizeof buf, v, base, min_digits);
    int64_t back = 0;
    const tvl_type_annotation a{TVLR_TYPE_SINT, 0, base};
    if (n < 0 || !tvl_parse_int64(buf, a, &back) || back != v)
        fail("sint text round trip", t, base, 0);
}

void check_range(const std::string &t, uint32_t base, uint32_t bits) {
    bool negative = false;
    if (tvl_is_special_number_string(t.c_str()) || !sign_and_digits(t, base, negative)) return;
    const uint64_t umax = bits == 64 ? UINT64_MAX : (uint64_t{1} << bits) - 1;
    if (!negative) {
        uint64_t v = 0;
        const bool parsed = tvl_parse_uint64(t.c_str(), {TVLR_TYPE_UINT, 0, base}, &v);
        if (tvl_validate_uint_range(t.c_str(), bits, base) != (parsed && v <= umax))
            fail("uint range check disagrees with the parse", t, base, bits);
    }
    if (t[0] == '+' && base > 36) return;  // the signed parser takes '+' in bases up to 36 only
    int64_t s = 0;
    const bool parsed = tvl_parse_int64(t.c_str(), {TVLR_TYPE_SINT, 0, base}, &s);
    const int64_t smax = static_cast<int64_t>(umax >> 1);
    const bool fits = parsed && s <= smax && s >= -smax - 1;
    if (tvl_validate_sint_range(t.c_str(), bits, base) != fits)
        fail("sint range check disagrees with the parse", t, base, bits);
}

void check_double(const std::string &t) {
    if (!tvl_validate_number(t.c_str())) return;
    if (!tvl_validate_number_in_base(t.c_str(), 10))
        fail("decimal number not valid in base 10", t, 10, 0);
    double d = 0;
    if (!tvl_parse_double_in_base(t.c_str(), 10, &d)) fail("valid number does not read", t, 10, 0);
    double ref = 0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), ref);
    if (r.ec == std::errc() && r.ptr == t.data() + t.size() && std::memcmp(&d, &ref, sizeof d) != 0)
        fail("double differs from std::from_chars", t, 10, 0);
    char buf[64];
    const int n = tvl_format_double(buf, sizeof buf, {TVLR_TYPE_FLOAT, 64, 0}, d);
    double back = 0;
    if (n < 0 || !tvl_parse_double(buf, {TVLR_TYPE_FLOAT, 64, 0}, &back) ||
        std::memcmp(&d, &back, sizeof d) != 0)
        fail("double text round trip", t, 10, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2 || size > 512) return 0;
    const uint32_t base = base_at(data[0] % 63u);
    const uint32_t bits = 1 + data[1] % 64u;
    const std::string text(reinterpret_cast<const char *>(data) + 2,
                           strnlen(reinterpret_cast<const char *>(data) + 2, size - 2));
    check_range(text, base, bits);
    uint64_t u = 0;
    if (tvl_parse_uint64(text.c_str(), {TVLR_TYPE_UINT, 0, base}, &u))
        check_uint_round_trip(u, base, data[1] % 70u, text);
    int64_t s = 0;
    if (tvl_parse_int64(text.c_str(), {TVLR_TYPE_SINT, 0, base}, &s))
        check_sint_round_trip(s, base, data[1] % 70u, text);
    if (size >= 10) {
        std::memcpy(&u, data + 2, sizeof u);
        check_uint_round_trip(u >> (data[1] % 64u), base, data[1] % 70u, text);
        check_sint_round_trip(static_cast<int64_t>(u) >> (data[1] % 64u), base, 0, text);
    }
    char buf[80];
    const uint64_t umax = bits == 64 ? UINT64_MAX : (uint64_t{1} << bits) - 1;
    // The formatted text may have one zero digit more, in front of a digit that reads as a sign.
    const int n = tvl_format_uint64(buf, sizeof buf, umax, base, 0);
    char zero[4];
    tvl_format_uint64(zero, sizeof zero, 0, base, 0);
    const bool guard = n > 1 && buf[0] == zero[0] && (buf[1] == '+' || buf[1] == '-');
    if (n < 0 ||
        static_cast<uint32_t>(n - guard) != tvl_min_digits_for_type({TVLR_TYPE_UINT, bits, base}))
        fail("digits of the largest value", text, base, bits);
    check_double(text);
    return 0;
}
