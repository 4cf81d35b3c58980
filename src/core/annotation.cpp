// Parsing of type annotations.
#include "core/annotation.h"

#include <cstring>

#include "tvlr.h"

namespace tvl {
namespace {

constexpr bool is_dec_digit(char c) noexcept {
    return c >= '0' && c <= '9';
}

bool starts_with(const char *text, size_t len, const char *word, size_t word_len) noexcept {
    return len >= word_len && std::memcmp(text, word, word_len) == 0;
}

// The type word at the start of the text: its type number and length, or type 0.
TypeWord match_type_word(const char *text, size_t len, uint32_t &type) noexcept {
    type = 0;
    if (starts_with(text, len, "float_fix", 9)) {
        type = TVLR_TYPE_FLOAT_FIX;
    } else if (starts_with(text, len, "float_dec", 9)) {
        type = TVLR_TYPE_FLOAT_DEC;
    } else if (starts_with(text, len, "float", 5)) {
        type = TVLR_TYPE_FLOAT;
    } else if (starts_with(text, len, "uint", 4)) {
        type = TVLR_TYPE_UINT;
    } else if (starts_with(text, len, "utf8", 4)) {
        type = TVLR_TYPE_UTF8;
    } else if (starts_with(text, len, "bool", 4)) {
        type = TVLR_TYPE_BOOL;
    } else if (starts_with(text, len, "sint", 4)) {
        type = TVLR_TYPE_SINT;
    }
    return type_word(type);
}

// Reads decimal digits at text[pos..len) while the value stays at most max. The digits must
// run to the end or to a comma. Returns false for no digit, a value above max, or any other
// byte after the digits.
bool read_number_param(const char *text, size_t len, size_t &pos, uint64_t max,
                       uint32_t &value) noexcept {
    if (pos >= len || !is_dec_digit(text[pos])) return false;
    uint64_t v = 0;
    while (pos < len && is_dec_digit(text[pos])) {
        v = v * 10 + static_cast<uint64_t>(text[pos] - '0');
        if (v > max) return false;
        ++pos;
    }
    if (pos < len && text[pos] != ',') return false;
    value = static_cast<uint32_t>(v);
    return true;
}

// The rules that apply once all parameters are read.
bool annotation_complete_valid(const tvl_type_annotation &a, bool has_unit) noexcept {
    if (a.value_type == TVLR_TYPE_BOOL && has_unit) return false;
    return annotation_fields_valid(a);
}

}  // namespace

bool parse_type_annotation(const char *text, size_t len, AnnotationParse &out) noexcept {
    out.annotation = {0, 0, 0};
    out.ok = true;
    out.unit_ok = true;
    out.unit_too_long = false;
    out.unit = tvl_unit{};
    out.unit_text_len = 0;
    out.unit_text[0] = '\0';
    auto fail = [&out] {
        out.ok = false;
        return false;
    };
    if (text == nullptr || len == 0) return fail();

    uint32_t type = 0;
    const TypeWord word = match_type_word(text, len, type);
    if (type == 0) return fail();
    tvl_type_annotation &a = out.annotation;
    a.value_type = type;
    size_t pos = word.len;
    if (pos < len && text[pos] != ':') return fail();
    ++pos;  // the colon, or one past the end

    bool has_unit = false;
    while (pos < len) {
        while (pos < len && text[pos] == ' ') ++pos;
        if (pos >= len) break;
        const char c = text[pos];
        if (c == ',') {
            ++pos;
        } else if (is_dec_digit(c)) {
            if (!read_number_param(text, len, pos, UINT32_MAX, a.bits)) return fail();
        } else if (c == '_') {
            ++pos;
            uint32_t base = 0;
            if (!read_number_param(text, len, pos, kBaseParamMax, base)) return fail();
            if (type == TVLR_TYPE_FLOAT_FIX || type == TVLR_TYPE_FLOAT_DEC) return fail();
            if (!is_valid_base(base)) return fail();
            a.base = base;
        } else if (c == 'q' && pos + 1 < len && is_dec_digit(text[pos + 1])) {
            if (type != TVLR_TYPE_FLOAT_FIX) return fail();
            ++pos;
            if (!read_number_param(text, len, pos, kFractionBitsMax, a.base)) return fail();
        } else {
            // A unit: everything up to the next comma, spaces included.
            const char *unit_start = text + pos;
            const void *comma = std::memchr(unit_start, ',', len - pos);
            const size_t unit_len =
                comma != nullptr
                    ? static_cast<size_t>(static_cast<const char *>(comma) - unit_start)
                    : len - pos;
            has_unit = true;
            if (unit_len > kUnitTextMax) {
                out.unit_ok = false;
                out.unit_too_long = true;
                out.ok = annotation_complete_valid(a, has_unit);
                return out.ok;
            }
            std::memcpy(out.unit_text, unit_start, unit_len);
            out.unit_text[unit_len] = '\0';
            out.unit_text_len = static_cast<uint8_t>(unit_len);
            if (unit_len == 7 && std::memcmp(unit_start, "no_unit", 7) == 0) {
                out.unit = tvl_unit{};
            } else {
                bool unit_parsed = false;
                out.unit =
                    tvl_parse_unit_n(unit_start, static_cast<uint32_t>(unit_len), &unit_parsed);
                if (!unit_parsed) out.unit_ok = false;
            }
            pos += unit_len;
        }
    }
    out.ok = annotation_complete_valid(a, has_unit);
    return out.ok;
}

}  // namespace tvl

extern "C" {

TVLR_API tvl_type_annotation tvl_parse_type_annotation(const char *text, uint32_t length, bool *ok,
                                                       bool *unit_ok, bool *unit_too_long,
                                                       tvl_unit *unit, char *unit_text,
                                                       uint8_t *unit_text_len) {
    tvl::AnnotationParse parsed;
    tvl::parse_type_annotation(text, length, parsed);
    if (ok != nullptr) *ok = parsed.ok;
    if (unit_ok != nullptr) *unit_ok = parsed.unit_ok;
    if (unit_too_long != nullptr) *unit_too_long = parsed.unit_too_long;
    if (unit != nullptr) *unit = parsed.unit;
    if (unit_text_len != nullptr) *unit_text_len = parsed.unit_text_len;
    if (unit_text != nullptr && parsed.unit_text_len > 0) {
        std::memcpy(unit_text, parsed.unit_text, size_t{parsed.unit_text_len} + 1);
    }
    return parsed.annotation;
}

}  // extern "C"
