// Unit text: parsing "k~g·m/s²" into a unit value and printing it back.
#include <cstring>

#include "tvlr.h"
#include "utils/tvl_unit_impl.h"
#include "utils/unit_names.h"
#include "utils/units.h"

namespace tvl {
namespace {

using byte = unsigned char;

constexpr bool is_exponent_digit(byte c) {
    return c >= '1' && c <= '9';
}

// Strips an exponent suffix from s[0..*n): "^2", "^+2", "^-2", "²" or "⁻²".
// Without a suffix the exponent is 1 and nothing is stripped.
int32_t strip_exponent(const byte *s, uint32_t *n) {
    const uint32_t len = *n;
    if (len >= 2 && s[len - 2] == '^' && is_exponent_digit(s[len - 1])) {
        *n = len - 2;
        return s[len - 1] - '0';
    }
    if (len >= 3 && s[len - 3] == '^' && (s[len - 2] == '+' || s[len - 2] == '-') &&
        is_exponent_digit(s[len - 1])) {
        *n = len - 3;
        return s[len - 2] == '-' ? -(s[len - 1] - '0') : s[len - 1] - '0';
    }
    int32_t digit = 0;
    uint32_t rest;
    if (len >= 2 && s[len - 2] == 0xC2 &&
        (s[len - 1] == 0xB9 || s[len - 1] == 0xB2 || s[len - 1] == 0xB3)) {
        digit = s[len - 1] == 0xB9 ? 1 : s[len - 1] - 0xB0;  // ¹ ² ³
        rest = len - 2;
    } else if (len >= 3 && s[len - 3] == 0xE2 && s[len - 2] == 0x81 && s[len - 1] >= 0xB4 &&
               s[len - 1] <= 0xB9) {
        digit = s[len - 1] - 0xB0;  // ⁴ .. ⁹
        rest = len - 3;
    } else {
        return 1;
    }
    // A superscript sign before the digit: "⁻" (E2 81 BB) or "⁺" (E2 81 BA).
    if (rest >= 3 && s[rest - 3] == 0xE2 && s[rest - 2] == 0x81 &&
        (s[rest - 1] == 0xBB || s[rest - 1] == 0xBA)) {
        if (s[rest - 1] == 0xBB) digit = -digit;
        rest -= 3;
    }
    *n = rest;
    return digit;
}

// Parses one factor of n >= 1 bytes; false when it is no valid factor.
bool parse_factor(const char *text, uint32_t n, tvl_unit_factor *out) {
    const byte *s = reinterpret_cast<const byte *>(text);
    uint32_t rest = n;
    const int32_t exponent = strip_exponent(s, &rest);
    if (rest == 0) return false;
    *out = tvl_unit_factor{0, exponent, {TVL_PREFIX_DECIMAL, 0}};

    // A currency code alone.
    if (tvl_base_unit currency = tvl_parse_currency_str(text, rest); currency != 0) {
        out->base = currency;
        return true;
    }

    // A prefixed currency "k~USD": only the first "~" is considered.
    if (rest >= 3) {
        const void *tilde = std::memchr(text + 1, '~', rest - 2);
        if (tilde != nullptr) {
            const uint32_t at = static_cast<uint32_t>(static_cast<const char *>(tilde) - text);
            const tvl_base_unit currency = tvl_parse_currency_str(text + at + 1, rest - at - 1);
            if (currency != 0) {
                if (find_prefix_symbol(TVL_PREFIX_BINARY, text, at) != 0) return false;
                const uint32_t index = find_prefix_symbol(TVL_PREFIX_DECIMAL, text, at);
                if (index == 0) return false;
                out->base = currency;
                out->prefix.index = index;
                return true;
            }
        }
    }

    // The longest unit name ending the text, with an optional "prefix~".
    const name_match name = find_unit_name_suffix(text, rest);
    if (name.length == 0) return false;
    out->base = name.id;
    if (name.length == rest) return true;
    const uint32_t before = rest - name.length;
    if (before < 2 || text[before - 1] != '~') return false;
    const uint32_t symbol_length = before - 1;
    tvl_prefix prefix{TVL_PREFIX_BINARY,
                      find_prefix_symbol(TVL_PREFIX_BINARY, text, symbol_length)};
    if (prefix.index == 0) {
        prefix = {TVL_PREFIX_DECIMAL, find_prefix_symbol(TVL_PREFIX_DECIMAL, text, symbol_length)};
        if (prefix.index == 0) return false;
    }
    if (!prefix_allowed(prefix, name.id)) return false;
    out->prefix = prefix;
    return true;
}

// Length of the factor separator at text[i] ("*", "/" or "·"), or 0.
uint32_t separator_at(const char *text, uint32_t i, uint32_t length) {
    const byte c = static_cast<byte>(text[i]);
    if (c == '*' || c == '/') return 1;
    if (c == 0xC2 && i + 1 < length && static_cast<byte>(text[i + 1]) == 0xB7) return 2;
    return 0;
}

constexpr char kNoUnit[] = "no_unit";
constexpr uint32_t kNoUnitLength = sizeof kNoUnit - 1;

// A factor printed as nothing: the neutral unit at any power, no prefix.
bool prints_empty(const tvl_unit_factor &f) {
    return f.base == 0 && f.prefix.index == 0;
}

}  // namespace

int format_unit_text(char *buffer, size_t size, const tvl_unit &unit, bool ascii) {
    if (buffer == nullptr || size == 0 || unit.count > TVL_UNIT_MAX_FACTORS) return -1;
    bool any_positive = false;
    bool any_negative = false;
    for (uint32_t i = 0; i < unit.count; ++i) {
        const tvl_unit_factor &f = unit.factors[i];
        if (!factor_valid(f)) return -1;
        if (f.base == 0 && f.prefix.index != 0) return -1;  // a prefix on nothing has no text
        if (prints_empty(f)) continue;
        (f.exponent > 0 ? any_positive : any_negative) = true;
    }
    text_sink out(buffer, size);
    if (!any_positive && !any_negative) {
        // No factors, the neutral factor, or only neutral factors.
        out.put(kNoUnit, kNoUnitLength);
        return out.finish();
    }
    const char *joiner = ascii ? "*" : "\xC2\xB7";
    const bool split = any_positive && any_negative;
    bool first = true;
    for (int pass = 0; pass < (split ? 2 : 1); ++pass) {
        if (pass == 1) {
            out.put("/", 1);
            first = true;
        }
        for (uint32_t i = 0; i < unit.count; ++i) {
            const tvl_unit_factor &f = unit.factors[i];
            if (prints_empty(f)) continue;
            if (split && (f.exponent > 0) != (pass == 0)) continue;
            if (!first) out.put(joiner);
            first = false;
            if (!put_factor_text(out, f, pass == 1 ? -1 : 1, ascii)) return -1;
        }
    }
    return out.finish();
}

}  // namespace tvl

extern "C" {

TVLR_API tvl_unit tvl_parse_unit_n(const char *text, uint32_t length, bool *ok) {
    bool ok_local = false;
    if (ok == nullptr) ok = &ok_local;
    tvl_unit unit{};
    *ok = false;
    if (text == nullptr || length == 0) return unit;
    if (length == tvl::kNoUnitLength && std::memcmp(text, tvl::kNoUnit, length) == 0) {
        *ok = true;
        return unit;
    }
    bool after_slash = false;
    uint32_t start = 0;
    uint32_t i = 0;
    for (;;) {
        const uint32_t sep = i < length ? tvl::separator_at(text, i, length) : 0;
        if (i < length && sep == 0) {
            ++i;
            continue;
        }
        // text[start..i) is a factor, ended by a separator or the end.
        if (i == start || unit.count == TVL_UNIT_MAX_FACTORS) return unit;
        tvl_unit_factor factor{};
        if (!tvl::parse_factor(text + start, i - start, &factor)) return unit;
        if (after_slash) factor.exponent = -factor.exponent;
        unit.factors[unit.count++] = factor;
        if (i == length) break;
        if (text[i] == '/') after_slash = true;
        i += sep;
        start = i;
    }
    *ok = true;
    return unit;
}

TVLR_API tvl_unit tvl_parse_unit(const char *text, bool *ok) {
    if (text == nullptr) {
        if (ok != nullptr) *ok = false;
        return tvl_unit{};
    }
    const size_t length = std::strlen(text);
    if (length > UINT32_MAX) {
        if (ok != nullptr) *ok = false;
        return tvl_unit{};
    }
    return tvl_parse_unit_n(text, static_cast<uint32_t>(length), ok);
}

TVLR_API int tvl_unit_to_string(char *buffer, size_t size, tvl_unit unit) {
    return tvl::format_unit_text(buffer, size, unit, false);
}

}  // extern "C"
