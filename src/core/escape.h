// The escape set of string literals: indexed by the byte after a backslash,
// the value is the byte the pair stands for; 0 means "not an escape".
#pragma once

#include <array>
#include <cstdint>

namespace tvl {

inline constexpr std::array<uint8_t, 256> kEscapeReplacement = [] {
    std::array<uint8_t, 256> t{};
    t['"'] = '"';
    t['\\'] = '\\';
    t['f'] = 0x0C;
    t['n'] = 0x0A;
    t['r'] = 0x0D;
    t['t'] = 0x09;
    t['v'] = 0x0B;
    return t;
}();

}  // namespace tvl
