// Small helpers on the unit value record that every event carries.
#pragma once

#include "tvlr.h"

namespace tvl {

// The neutral unit: one factor with base 0, exponent 1 and no prefix.
inline constexpr tvl_unit kNeutralUnit = {1, {{0, 1, {0, 0}}}};

}  // namespace tvl
