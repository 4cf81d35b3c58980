// Internal helpers on unit identifiers and unit values for the other parts of
// the library (reader, writer, document tree).
#pragma once

#include <cstdint>

#include "tvlr.h"

namespace tvl {

inline constexpr uint32_t kUnitIdLast = 377;
inline constexpr uint32_t kCurrencyFirst = 134;
inline constexpr uint32_t kFiatLast = 297;
inline constexpr uint32_t kCryptoFirst = 298;
inline constexpr uint32_t kCurrencyLast = 347;
inline constexpr uint32_t kCurrencyCount = kCurrencyLast - kCurrencyFirst + 1;

inline constexpr uint32_t kUnitIdBit = 1;
inline constexpr uint32_t kUnitIdByte = 2;

// Identifiers 134..347 are currencies (their symbol is the currency code).
constexpr bool is_currency_id(uint32_t base) {
    return base >= kCurrencyFirst && base <= kCurrencyLast;
}
constexpr bool is_fiat_id(uint32_t base) {
    return base >= kCurrencyFirst && base <= kFiatLast;
}
constexpr bool is_crypto_id(uint32_t base) {
    return base >= kCryptoFirst && base <= kCurrencyLast;
}
// The bit and the byte: dimensionless, but counted apart from other units.
constexpr bool is_data_unit_id(uint32_t base) {
    return base == kUnitIdBit || base == kUnitIdByte;
}

// Number of factor slots in use: count, at most the 8 slots of the record.
constexpr uint32_t factors_in_use(const tvl_unit &unit) {
    return unit.count < TVL_UNIT_MAX_FACTORS ? unit.count : TVL_UNIT_MAX_FACTORS;
}

// The neutral factor: no unit, exponent 1, no prefix.
constexpr bool is_neutral_factor(const tvl_unit_factor &f) {
    return f.base == 0 && f.exponent == 1 && f.prefix.kind == 0 && f.prefix.index == 0;
}

// "No unit": no factors, or the lone neutral factor. Both print "no_unit".
constexpr bool unit_is_none(const tvl_unit &unit) {
    return unit.count == 0 || (unit.count == 1 && is_neutral_factor(unit.factors[0]));
}

// The text of a currency code of identifier base (3 or 4 letters), or null
// when base is no currency.
const char *currency_code(uint32_t base);

}  // namespace tvl
