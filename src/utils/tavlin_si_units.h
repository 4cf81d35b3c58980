// The conversion table of unit identifiers: one row per identifier 0..377
// with the value of one unit in coherent SI units (mass in kilograms), the
// exponents of the seven SI base dimensions and, for the affine temperature
// scales, the offset to kelvin.
#pragma once

#include <cstdint>

namespace tvl {

inline constexpr uint32_t kUnitIdCount = 378;
inline constexpr uint32_t kDimensionCount = 7;

// Order of the dimension exponents.
enum dimension_axis : uint32_t {
    dim_length = 0,
    dim_mass = 1,
    dim_time = 2,
    dim_current = 3,
    dim_temperature = 4,
    dim_amount = 5,
    dim_luminous = 6,
};

struct si_conv_row {
    uint32_t base;                       // the row's identifier (0 in currency rows)
    double factor;                       // value of one unit in coherent SI units
    int32_t dimension[kDimensionCount];  // L, M, T, I, Θ, N, J
    uint8_t has_offset;                  // affine temperature scale
    double offset;                       // kelvin = value * factor + offset
};

// Rows 134..347 belong to currencies: all zero, they have no SI meaning.
extern const si_conv_row si_conv_table[kUnitIdCount];

// The first row outside the currency block whose base differs from its
// index, or kUnitIdCount when every such row is consistent.
constexpr uint32_t first_conv_base_mismatch(const si_conv_row (&table)[kUnitIdCount]) {
    for (uint32_t i = 0; i < kUnitIdCount; ++i) {
        if (i >= 134 && i <= 347) continue;
        if (table[i].base != i) return i;
    }
    return kUnitIdCount;
}

// Consistency of si_conv_table. tavlin_si_units.cpp checks it at compile
// time (tvl_verify_conv_table), so every use of the table can rely on it.
bool conv_table_verified();

}  // namespace tvl
