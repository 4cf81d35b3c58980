// Small helpers on the unit value record that every event carries.
#pragma once

#include <cstring>

#include "tvlr.h"

namespace tvl {

// The neutral unit: one factor with base 0, exponent 1 and no prefix.
inline constexpr tvl_unit kNeutralUnit = {1, {{0, 1, {0, 0}}}};

// Makes u the neutral unit. Slots at and beyond count are zero in every
// unit the library builds, so only the slots in use need clearing; this
// keeps the common case (u already neutral) to a few stores instead of a
// copy of the whole 132-byte record.
inline void set_neutral_unit(tvl_unit &u) {
    if (u.count > 1) {
        const uint32_t n = u.count < TVL_UNIT_MAX_FACTORS ? u.count : TVL_UNIT_MAX_FACTORS;
        std::memset(static_cast<void *>(&u.factors[1]), 0, (n - 1) * sizeof u.factors[0]);
    }
    u.count = 1;
    u.factors[0] = kNeutralUnit.factors[0];
}

// Copies a unit, writing only the slots that either side uses.
inline void copy_unit(tvl_unit &dst, const tvl_unit &src) {
    if (dst.count <= 1 && src.count <= 1) {  // no unit or one factor: the common case
        dst.count = src.count;
        dst.factors[0] = src.factors[0];
        return;
    }
    const uint32_t d = dst.count < TVL_UNIT_MAX_FACTORS ? dst.count : TVL_UNIT_MAX_FACTORS;
    const uint32_t s = src.count < TVL_UNIT_MAX_FACTORS ? src.count : TVL_UNIT_MAX_FACTORS;
    const uint32_t n = d > s ? d : s;
    dst.count = src.count;
    std::memcpy(static_cast<void *>(dst.factors), src.factors, n * sizeof src.factors[0]);
}

}  // namespace tvl
