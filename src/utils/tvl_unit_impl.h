// Operations on single unit factors: the prefix tables, exponent checks, the
// rule that says which prefixes a unit takes, and the text of one factor.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tvlr.h"
#include "utils/units.h"

namespace tvl {

inline constexpr uint32_t kDecimalPrefixCount = 24;
inline constexpr uint32_t kBinaryPrefixCount = 10;
inline constexpr int32_t kExponentMin = -9;
inline constexpr int32_t kExponentMax = 9;

// One prefix: symbol, byte length, factor and power (of ten for decimal,
// of two for binary prefixes). Row 0 of each table is "no prefix".
struct prefix_entry {
    const char *symbol;
    double factor;
    int32_t power;
    uint8_t length;
};

extern const prefix_entry decimal_prefixes[kDecimalPrefixCount + 1];
extern const prefix_entry binary_prefixes[kBinaryPrefixCount + 1];

// An exponent the unit model can hold: -9..-1 or 1..9. Exponents outside
// it (0 is exp_invalid) are refused as results, never by stopping.
constexpr bool exponent_in_model(int32_t e) {
    return e != TVL_EXP_INVALID && e >= kExponentMin && e <= kExponentMax;
}

// |e| for an exponent in the model; 0 for any other exponent.
constexpr uint32_t exponent_magnitude(int32_t e) {
    if (!exponent_in_model(e)) return 0;
    return static_cast<uint32_t>(e < 0 ? -e : e);
}

// The table row of a prefix, or null when its kind is unknown or its index
// lies beyond the table. Index 0 gives the "no prefix" row.
const prefix_entry *find_prefix_entry(tvl_prefix prefix);

// Factor (1.0) and power (0) of a prefix, neutral for rows beyond the table.
double prefix_table_factor(tvl_prefix prefix);
int32_t prefix_table_power(tvl_prefix prefix);

// The index of the prefix symbol equal to s[0..n) in the table of kind, or
// 0 when no symbol matches.
uint32_t find_prefix_symbol(uint32_t kind, const char *s, size_t n);

// The decimal prefix index whose power of ten is power (0 for power 0), or
// -1 when there is none.
int32_t decimal_prefix_for_power(int32_t power);

// Which prefixes unit base accepts (binary ones only for bits and bytes,
// none for ratios and historic units, decimal ones for all others).
bool prefix_allowed(tvl_prefix prefix, uint32_t base);

// A factor that may stand in a unit value: identifier and prefix allowed,
// exponent not 0.
bool factor_valid(const tvl_unit_factor &factor);

// Text output into a caller's buffer that always leaves room for the NUL.
struct text_sink {
    char *buffer;
    size_t size;
    size_t length;
    bool failed;

    text_sink(char *b, size_t s) : buffer(b), size(s), length(0), failed(b == nullptr || s == 0) {}
    void put(const char *text, size_t n);
    void put(const char *text);
    // NUL-terminates; the length without the NUL, or -1 on overflow.
    int finish();
};

// Appends the text of one factor: prefix and "~", symbol, exponent (as
// superscripts, or "^2" and "^-1" in ASCII form). sign is +1 or -1 and
// multiplies the stored exponent. False when the factor cannot be printed.
bool put_factor_text(text_sink &out, const tvl_unit_factor &factor, int32_t sign, bool ascii);

// The unit text with the joiner "·" (or "*" in ASCII form), the positive
// factors before "/" and the negative ones after it.
int format_unit_text(char *buffer, size_t size, const tvl_unit &unit, bool ascii);

}  // namespace tvl
