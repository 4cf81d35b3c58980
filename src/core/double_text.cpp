// Native doubles as text under a type annotation: reading through the correctly rounded
// text-to-binary64 conversion, writing through a one-word big float of the annotation's
// precision and the big float's text conversion.
#include <cstdint>
#include <cstring>

#include "bignum/float_core.h"
#include "tvlr.h"

namespace {

// The annotation's base for double text: 10 for the fixed-point and decimal float types and
// when no base is given.
std::uint32_t double_base(const tvl_type_annotation &a) {
    if (a.value_type == TVLR_TYPE_FLOAT_FIX || a.value_type == TVLR_TYPE_FLOAT_DEC || a.base == 0) {
        return 10;
    }
    return a.base;
}

// The text's nearest double; false (with +0.0 stored) for a text that cannot be read or when
// memory runs out.
bool read_double(const char *text, std::uint32_t base, double *out) {
    std::uint64_t bits = 0;
    const bool ok = tvl::flt::text_to_binary64(text, base, &bits);
    std::memcpy(out, &bits, sizeof bits);
    return ok;
}

}  // namespace

extern "C" {

bool tvl_looks_like_double(const char *text) {
    return text != nullptr && std::strpbrk(text, ".eEpP") != nullptr;
}

bool tvl_parse_double(const char *text, tvl_type_annotation annotation, double *out) {
    if (text == nullptr || out == nullptr) return false;
    const std::uint32_t base = double_base(annotation);
    if (base != 10 && base != 16) return false;
    return read_double(text, base, out);
}

bool tvl_parse_double_in_base(const char *text, uint32_t base, double *out) {
    if (text == nullptr || out == nullptr || (base != 10 && base != 16)) return false;
    return read_double(text, base, out);
}

int tvl_format_double(char *buf, size_t size, tvl_type_annotation annotation, double value) {
    if (buf == nullptr || size < 2) return -1;
    const std::uint32_t base = double_base(annotation);
    if (base > 36) return -1;
    const std::uint32_t precision =
        annotation.bits >= 1 && annotation.bits <= 64 ? annotation.bits : 64;
    // One word holds any precision up to 64; from_double rounds the 53-bit significand to it
    // (or widens it with zero bits).
    std::uint64_t word = 0;
    tvl_float f;
    tvl_float_init_buf(&f, precision, &word, 1);
    tvl_float_from_double(&f, value);
    return tvl_float_to_str(&f, buf, size, base);
}

}  // extern "C"
