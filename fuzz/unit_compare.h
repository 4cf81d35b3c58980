// Unit comparison of the fuzz targets: canonical unit text puts positive exponents first, so a
// unit read back from its text has the same factors in another order.
#pragma once

#include <algorithm>
#include <cstring>
#include <tuple>

#include "tvlr.h"

namespace tvlfuzz {

// The same factors in any order.
inline bool same_factors(tvl_unit a, tvl_unit b) {
    if (a.count != b.count || a.count > TVL_UNIT_MAX_FACTORS) return false;
    const auto sort = [](tvl_unit &u) {
        std::sort(u.factors, u.factors + u.count,
                  [](const tvl_unit_factor &x, const tvl_unit_factor &y) {
                      return std::tie(x.base, x.exponent, x.prefix.kind, x.prefix.index) <
                             std::tie(y.base, y.exponent, y.prefix.kind, y.prefix.index);
                  });
    };
    sort(a);
    sort(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace tvlfuzz
