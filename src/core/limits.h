// Format constants: the sizes and limits of the text that the reader, the writer and the
// annotation code must agree on.
#pragma once

#include <cstdint>

namespace tvl {

// Tokens. A reader's length limits are 16-bit, so no member name, string, number, symbol or
// reference that a reader accepts is longer than kTokenMaxLen bytes. Without options a reader
// takes member names and symbols of up to kDefaultNameMaxLen bytes and the other tokens of up to
// kTokenMaxLen.
inline constexpr uint32_t kTokenMaxLen = 65535;
inline constexpr uint32_t kDefaultNameMaxLen = 255;

// Type annotations: the text between '<' and '>', and a unit text (a unit suffix or the unit
// parameter of an annotation), have 8-bit lengths.
inline constexpr uint32_t kAnnotationTextMax = 255;
inline constexpr uint32_t kUnitTextMax = 255;

// Annotation parameters: the digits of a base are read while the value stays at most
// kBaseParamMax (a valid base is far below it); a fraction-bit count is at most
// kFractionBitsMax, the width of the widest fixed-point format.
inline constexpr uint32_t kBaseParamMax = 10000;
inline constexpr uint32_t kFractionBitsMax = 256;

// Widths: the widest integer an annotation may declare, and the width that a rule takes when an
// annotation declares none (width 0).
inline constexpr uint32_t kMaxIntegerBits = 32768;
inline constexpr uint32_t kImpliedWidth = 64;

// Octet streams: a block's length is a 16-bit little-endian field in which 0 stands for 65536.
inline constexpr uint32_t kOctetBlockMax = 65536;

// Nesting: the struct and array depth limits are 8-bit; a limit of 0 selects the default.
inline constexpr uint32_t kDefaultDepthLimit = 64;
inline constexpr uint32_t kDepthLimitMax = 255;

}  // namespace tvl
