// Type annotations: the text between '<' and '>' that declares a value's type, width, base (or
// fraction bits) and unit, for example "uint:16,_16" or "float:64,m/s".
//
// Validity by type (a width of 0 means none was declared and stands for 64 where a rule needs
// a width):
//   utf8        any width; a valid base; no fraction; a unit
//   sint, uint  width 0..32768; a valid base; no fraction; a unit
//   float       width 0, 16 or a multiple of 32 up to 32768; base 10 or 16; no fraction; a unit
//   float_fix   width 0, 16, 32, 64, 128 or 256; no base; fraction 0..256 below the width; a unit
//   float_dec   width 0, 16, 32, 64, 128 or 256; no base; no fraction; a unit
//   bool        no width, base, fraction or unit
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/limits.h"
#include "core/number_text.h"
#include "tvlr.h"

namespace tvl {

struct TypeWord {
    const char *text;
    uint32_t len;
};

// The word that prints a type number: "plain" for 0 and for numbers above 7.
constexpr TypeWord type_word(uint32_t value_type) noexcept {
    switch (value_type) {
        case TVLR_TYPE_UTF8:
            return {"utf8", 4};
        case TVLR_TYPE_SINT:
            return {"sint", 4};
        case TVLR_TYPE_UINT:
            return {"uint", 4};
        case TVLR_TYPE_FLOAT:
            return {"float", 5};
        case TVLR_TYPE_FLOAT_FIX:
            return {"float_fix", 9};
        case TVLR_TYPE_FLOAT_DEC:
            return {"float_dec", 9};
        case TVLR_TYPE_BOOL:
            return {"bool", 4};
        default:
            return {"plain", 5};
    }
}

// Widths of binary floats: 0 (none), 16, or a multiple of 32 up to 32768.
constexpr bool float_width_valid(uint32_t bits) noexcept {
    return bits == 0 || bits == 16 || (bits % 32 == 0 && bits <= kMaxIntegerBits);
}

// Widths of fixed-point and decimal floats: 0 (none), 16, 32, 64, 128 or 256.
constexpr bool fixed_width_valid(uint32_t bits) noexcept {
    return bits == 0 || bits == 16 || bits == 32 || bits == 64 || bits == 128 || bits == 256;
}

// The check of a declared type, width and base as the writer applies it to a type_start event
// (a false result is TVL_ERR_ILLEGAL_VALUE_TYPE). Type 0, utf8 and numbers above 7 pass with
// any width and base; for float_fix the base field is the fraction count, which must be below
// the width (below 64 for width 0). The unit is not part of this check.
constexpr bool annotation_fields_valid(uint32_t value_type, uint32_t bits, uint32_t base) noexcept {
    switch (value_type) {
        case TVLR_TYPE_SINT:
        case TVLR_TYPE_UINT:
            return bits <= kMaxIntegerBits && (base == 0 || is_valid_base(base));
        case TVLR_TYPE_FLOAT:
            return float_width_valid(bits) && (base == 0 || base == 10 || base == 16);
        case TVLR_TYPE_FLOAT_FIX:
            return fixed_width_valid(bits) && base < (bits == 0 ? kImpliedWidth : bits);
        case TVLR_TYPE_FLOAT_DEC:
            return fixed_width_valid(bits) && base == 0;
        case TVLR_TYPE_BOOL:
            return bits == 0 && base == 0;
        default:
            return true;
    }
}

constexpr bool annotation_fields_valid(tvl_type_annotation a) noexcept {
    return annotation_fields_valid(a.value_type, a.bits, a.base);
}

// Everything that parsing an annotation yields.
struct AnnotationParse {
    tvl_type_annotation annotation;    // as read, also when not valid
    bool ok;                           // the annotation is valid
    bool unit_ok;                      // false: a unit parameter did not parse or was too long
    bool unit_too_long;                // a unit parameter was longer than 255 bytes
    tvl_unit unit;                     // all zero without a unit and for "no_unit"
    uint8_t unit_text_len;             // 0 when there is no unit text
    char unit_text[kUnitTextMax + 1];  // NUL-terminated when unit_text_len > 0
};

// Parses the len bytes at text (no terminator needed) into out and returns out.ok. A null text
// or an empty one gives ok false and an all-zero annotation. A unit parameter longer than 255
// bytes ends the parse: unit_ok false, unit_too_long true, and ok tells whether the fields read
// before it are valid (a bool with a unit is not).
bool parse_type_annotation(const char *text, size_t len, AnnotationParse &out) noexcept;

}  // namespace tvl
