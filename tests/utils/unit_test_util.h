// Helpers shared by the unit tests.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tvlr.h"

namespace tvl_test {

// Parses a unit text that must be valid.
inline tvl_unit unit_of(const char *text) {
    bool ok = false;
    tvl_unit u = tvl_parse_unit_n(text, static_cast<uint32_t>(std::strlen(text)), &ok);
    EXPECT_TRUE(ok) << "unit text: " << text;
    return u;
}

inline tvl_unit single(uint32_t base, int32_t exponent = 1, uint32_t kind = 0, uint32_t index = 0) {
    tvl_unit u{};
    u.count = 1;
    u.factors[0] = tvl_unit_factor{base, exponent, {kind, index}};
    return u;
}

// The printed text, or "<-1>" when printing fails.
inline std::string text_of(tvl_unit u, uint32_t flags = 0) {
    char buf[512];
    const int n = tvl_unit_to_string_ex(buf, sizeof buf, flags, u);
    return n < 0 ? std::string("<-1>") : std::string(buf, static_cast<size_t>(n));
}

inline std::string plain_text_of(tvl_unit u) {
    char buf[512];
    const int n = tvl_unit_to_string(buf, sizeof buf, u);
    return n < 0 ? std::string("<-1>") : std::string(buf, static_cast<size_t>(n));
}

}  // namespace tvl_test
