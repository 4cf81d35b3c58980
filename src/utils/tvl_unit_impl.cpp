#include "utils/tvl_unit_impl.h"

#include <cmath>
#include <cstring>

#include "utils/unit_names.h"

namespace tvl {

// clang-format off
constexpr prefix_entry decimal_prefixes[kDecimalPrefixCount + 1] = {
    {"",         1.0,      0,    0},
    {"q",        1e-30,    -30,  1},
    {"r",        1e-27,    -27,  1},
    {"y",        1e-24,    -24,  1},
    {"z",        1e-21,    -21,  1},
    {"a",        1e-18,    -18,  1},
    {"f",        1e-15,    -15,  1},
    {"p",        1e-12,    -12,  1},
    {"n",        1e-9,     -9,   1},
    {"\xC2\xB5", 1e-6,     -6,   2},  // µ, U+00B5 MICRO SIGN
    {"m",        1e-3,     -3,   1},
    {"c",        1e-2,     -2,   1},
    {"d",        1e-1,     -1,   1},
    {"da",       1e1,      1,    2},
    {"h",        1e2,      2,    1},
    {"k",        1e3,      3,    1},
    {"M",        1e6,      6,    1},
    {"G",        1e9,      9,    1},
    {"T",        1e12,     12,   1},
    {"P",        1e15,     15,   1},
    {"E",        1e18,     18,   1},
    {"Z",        1e21,     21,   1},
    {"Y",        1e24,     24,   1},
    {"R",        1e27,     27,   1},
    {"Q",        1e30,     30,   1},
};

constexpr prefix_entry binary_prefixes[kBinaryPrefixCount + 1] = {
    {"",         1.0,      0,    0},
    {"Ki",       0x1p10,   10,   2},
    {"Mi",       0x1p20,   20,   2},
    {"Gi",       0x1p30,   30,   2},
    {"Ti",       0x1p40,   40,   2},
    {"Pi",       0x1p50,   50,   2},
    {"Ei",       0x1p60,   60,   2},
    {"Zi",       0x1p70,   70,   2},
    {"Yi",       0x1p80,   80,   2},
    {"Ri",       0x1p90,   90,   2},
    {"Qi",       0x1p100,  100,  2},
};
// clang-format on

const prefix_entry *find_prefix_entry(tvl_prefix prefix) {
    if (prefix.kind == TVL_PREFIX_DECIMAL && prefix.index <= kDecimalPrefixCount) {
        return &decimal_prefixes[prefix.index];
    }
    if (prefix.kind == TVL_PREFIX_BINARY && prefix.index <= kBinaryPrefixCount) {
        return &binary_prefixes[prefix.index];
    }
    return nullptr;
}

double prefix_table_factor(tvl_prefix prefix) {
    const prefix_entry *entry = find_prefix_entry(prefix);
    return entry != nullptr ? entry->factor : 1.0;
}

int32_t prefix_table_power(tvl_prefix prefix) {
    const prefix_entry *entry = find_prefix_entry(prefix);
    return entry != nullptr ? entry->power : 0;
}

uint32_t find_prefix_symbol(uint32_t kind, const char *s, size_t n) {
    const prefix_entry *table = nullptr;
    uint32_t count = 0;
    if (kind == TVL_PREFIX_DECIMAL) {
        table = decimal_prefixes;
        count = kDecimalPrefixCount;
    } else if (kind == TVL_PREFIX_BINARY) {
        table = binary_prefixes;
        count = kBinaryPrefixCount;
    } else {
        return 0;
    }
    if (n == 0 || n > 2) return 0;  // every symbol has one or two bytes
    for (uint32_t i = 1; i <= count; ++i) {
        const char *symbol = table[i].symbol;
        if (table[i].length == n && symbol[0] == s[0] && (n == 1 || symbol[1] == s[1])) return i;
    }
    return 0;
}

int32_t decimal_prefix_for_power(int32_t power) {
    for (uint32_t i = 0; i <= kDecimalPrefixCount; ++i) {
        if (decimal_prefixes[i].power == power) return static_cast<int32_t>(i);
    }
    return -1;
}

bool prefix_allowed(tvl_prefix prefix, uint32_t base) {
    if (base > kUnitIdLast || prefix.kind > TVL_PREFIX_BINARY) return false;
    if (is_currency_id(base)) return prefix.kind == TVL_PREFIX_DECIMAL;
    if ((base >= 348 && base <= 360) || (base >= 372 && base <= 377)) return prefix.index == 0;
    if (prefix.kind == TVL_PREFIX_BINARY) return prefix.index == 0 || is_data_unit_id(base);
    // Decimal prefixes on bits and bytes: "k" (index 15) and above only.
    if (is_data_unit_id(base)) return prefix.index == 0 || prefix.index >= 15;
    return true;
}

bool factor_valid(const tvl_unit_factor &factor) {
    return factor.exponent != TVL_EXP_INVALID && prefix_allowed(factor.prefix, factor.base);
}

void text_sink::put(const char *text, size_t n) {
    if (failed) return;
    // Room for the piece and the terminating NUL.
    if (n >= size - length) {
        failed = true;
        return;
    }
    std::memcpy(buffer + length, text, n);
    length += n;
}

void text_sink::put(const char *text) {
    put(text, std::strlen(text));
}

int text_sink::finish() {
    if (failed || length > static_cast<size_t>(INT32_MAX)) return -1;
    buffer[length] = '\0';
    return static_cast<int>(length);
}

namespace {

// Superscript digits 0..9 as UTF-8 (index 0 unused: there is no exponent 0).
constexpr const char *kSuperscriptDigits[10] = {
    "\xE2\x81\xB0", "\xC2\xB9",     "\xC2\xB2",     "\xC2\xB3",     "\xE2\x81\xB4",
    "\xE2\x81\xB5", "\xE2\x81\xB6", "\xE2\x81\xB7", "\xE2\x81\xB8", "\xE2\x81\xB9",
};
constexpr const char *kSuperscriptMinus = "\xE2\x81\xBB";

}  // namespace

bool put_factor_text(text_sink &out, const tvl_unit_factor &factor, int32_t sign, bool ascii) {
    if (!factor_valid(factor) || !exponent_in_model(factor.exponent)) return false;
    const prefix_entry *prefix = find_prefix_entry(factor.prefix);
    if (prefix == nullptr) return false;  // index beyond the table: no symbol
    if (factor.prefix.index != 0) {
        out.put(prefix->symbol, prefix->length);
        out.put("~", 1);
    }
    if (is_currency_id(factor.base)) {
        out.put(currency_code(factor.base));
    } else {
        out.put(unit_canonical_symbol(factor.base));
    }
    const int32_t e = factor.exponent * sign;
    if (e == 1) return true;
    const uint32_t digit = exponent_magnitude(e);
    if (ascii) {
        char text[4] = {'^', '-', static_cast<char>('0' + digit), '\0'};
        if (e > 0) {
            text[1] = text[2];
            text[2] = '\0';
        }
        out.put(text);
    } else {
        if (e < 0) out.put(kSuperscriptMinus, 3);
        out.put(kSuperscriptDigits[digit]);
    }
    return true;
}

}  // namespace tvl

using tvl::factors_in_use;

extern "C" {

TVLR_API bool tvl_unit_equal(tvl_unit a, tvl_unit b) {
    if (a.count != b.count) return false;
    const uint32_t n = factors_in_use(a);
    for (uint32_t i = 0; i < n; ++i) {
        const tvl_unit_factor &x = a.factors[i];
        const tvl_unit_factor &y = b.factors[i];
        if (x.base != y.base || x.exponent != y.exponent || x.prefix.kind != y.prefix.kind ||
            x.prefix.index != y.prefix.index) {
            return false;
        }
    }
    return true;
}

TVLR_API bool tvl_unit_valid(tvl_unit unit) {
    if (unit.count > TVL_UNIT_MAX_FACTORS) return false;
    for (uint32_t i = 0; i < unit.count; ++i) {
        if (!tvl::factor_valid(unit.factors[i])) return false;
    }
    return true;
}

TVLR_API bool tvl_prefix_unit_valid(tvl_prefix prefix, tvl_base_unit base) {
    return tvl::prefix_allowed(prefix, base);
}

TVLR_API double tvl_unit_prefix_factor(tvl_unit unit) {
    double result = 1.0;
    const uint32_t n = factors_in_use(unit);
    for (uint32_t i = 0; i < n; ++i) {
        const tvl_unit_factor &f = unit.factors[i];
        const uint32_t magnitude = tvl::exponent_magnitude(f.exponent);
        if (magnitude == 0) continue;
        const double g =
            std::pow(tvl::prefix_table_factor(f.prefix), static_cast<double>(magnitude));
        result *= f.exponent < 0 ? 1.0 / g : g;
    }
    return result;
}

TVLR_API int tvl_unit_prefix_exponent(tvl_unit unit) {
    int result = 0;
    const uint32_t n = factors_in_use(unit);
    for (uint32_t i = 0; i < n; ++i) {
        const tvl_unit_factor &f = unit.factors[i];
        if (!tvl::exponent_in_model(f.exponent)) continue;
        result += tvl::prefix_table_power(f.prefix) * f.exponent;
    }
    return result;
}

TVLR_API int tvl_exponent_to_int(tvl_exponent e) {
    return e >= tvl::kExponentMin && e <= tvl::kExponentMax ? e : TVL_EXP_INVALID;
}

TVLR_API tvl_exponent tvl_int_to_exponent(int v) {
    return v >= tvl::kExponentMin && v <= tvl::kExponentMax ? v : TVL_EXP_INVALID;
}

}  // extern "C"
