// libFuzzer target: unit text. A text that parses as a unit must give a valid unit whose
// canonical text, and its ASCII form, parse back to the same factors (the text puts the positive
// exponents first, so the order may change) and print the same text again; the reduced text
// must parse and denote the same quantity (conversion factor 1 where a factor exists).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tvlr.h"
#include "unit_compare.h"

namespace {

using tvlfuzz::same_factors;

[[noreturn]] void fail(const char *what, const uint8_t *data, size_t size, const char *text) {
    std::fprintf(stderr, "%s: unit \"%.*s\" printed as \"%s\"\n", what, static_cast<int>(size),
                 reinterpret_cast<const char *>(data), text);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 1024) return 0;
    bool ok = false;
    const tvl_unit unit =
        tvl_parse_unit_n(reinterpret_cast<const char *>(data), static_cast<uint32_t>(size), &ok);
    if (!ok) return 0;
    if (!tvl_unit_valid(unit)) fail("parsed unit not valid", data, size, "");
    for (uint32_t flags : {0u, uint32_t{TVL_UNIT_FMT_ASCII}, uint32_t{TVL_UNIT_FMT_REDUCE},
                           uint32_t{TVL_UNIT_FMT_REDUCE | TVL_UNIT_FMT_ASCII}}) {
        char text[1024];
        const int n = tvl_unit_to_string_ex(text, sizeof text, flags, unit);
        if (n < 0) fail("valid unit does not print", data, size, "");
        bool again_ok = false;
        const tvl_unit again = tvl_parse_unit_n(text, static_cast<uint32_t>(n), &again_ok);
        if (!again_ok) fail("printed unit does not parse", data, size, text);
        if ((flags & TVL_UNIT_FMT_REDUCE) == 0) {
            if (!same_factors(unit, again))
                fail("printed unit parses differently", data, size, text);
            char text2[1024];
            const int n2 = tvl_unit_to_string_ex(text2, sizeof text2, flags, again);
            if (n2 != n || std::memcmp(text, text2, static_cast<size_t>(n)) != 0)
                fail("printed unit is no fixed point", data, size, text);
            continue;
        }
        bool convert_ok = false, affine = false;
        const double factor = tvl_unit_convert_factor(&convert_ok, &affine, unit, again);
        if (convert_ok && std::fabs(factor - 1.0) > 1e-12)
            fail("reduced unit has another scale", data, size, text);
    }
    return 0;
}
