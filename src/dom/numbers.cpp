// Number nodes from number texts.
#include "dom/numbers.h"

#include <bit>
#include <cstring>
#include <string_view>

#include "base/alloc.h"
#include "bignum/bigint.h"
#include "bignum/float_core.h"
#include "core/number_text.h"
#include "dom/tree.h"

namespace tvl::dom {
namespace {

constexpr uint64_t kQuietNan = 0x7ff8000000000000;
constexpr uint64_t kPositiveInfinity = 0x7ff0000000000000;
constexpr uint64_t kNegativeInfinity = 0xfff0000000000000;

// The conversions of floats and big integers read NUL-terminated text, and an event's text need
// not be; 64-bit integers are read from the event's text as it is.
using TextCopy = mem::Scratch<char, 128>;

bool terminated_copy(std::string_view text, TextCopy &copy) {
    if (!copy.reserve(text.size() + 1, false)) return false;
    std::memcpy(copy.data(), text.data(), text.size());
    copy.data()[text.size()] = '\0';
    return true;
}

bool is_float_text(const tvl_type_annotation &a, std::string_view text) {
    switch (a.value_type) {
        case TVLR_TYPE_FLOAT:
        case TVLR_TYPE_FLOAT_FIX:
        case TVLR_TYPE_FLOAT_DEC:
            return true;
        default:
            break;
    }
    if (text.size() < 10 && is_special_number(text.data(), text.size())) return true;
    return a.value_type != TVLR_TYPE_SINT && a.value_type != TVLR_TYPE_UINT &&
           text.find_first_of(".eE") != std::string_view::npos;
}

// The correctly rounded binary64 of a number text in base 10 or 16; false when memory is short
// (the reader has already checked the text).
bool text_to_double(std::string_view text, uint32_t base, double &out) {
    TextCopy copy;
    uint64_t bits = 0;
    if (!terminated_copy(text, copy) || !flt::text_to_binary64(copy.data(), base, &bits))
        return false;
    out = std::bit_cast<double>(bits);
    return true;
}

NumberResult float_node(const tvlr_event &e, std::string_view text, tvl_dom_node **out) {
    const tvl_type_annotation a{e.value_type, e.bits, e.base};
    uint64_t special = 0;
    if (text == "nan") {
        special = kQuietNan;
    } else if (text == "inf") {
        special = kPositiveInfinity;
    } else if (text == "-inf") {
        special = kNegativeInfinity;
    }
    // float_fix keeps fraction bits in the base field; float_dec is always decimal.
    const bool decimal =
        a.value_type == TVLR_TYPE_FLOAT_FIX || a.value_type == TVLR_TYPE_FLOAT_DEC || a.base == 0;
    const uint32_t base = decimal ? 10 : a.base;
    if (special == 0 && base != 10 && base != 16) return NumberResult::out_of_range;
    tvl_dom_node *n = make_node(TVL_DOM_FLOAT, a, e.unit);
    if (n == nullptr) return NumberResult::no_memory;
    double value = std::bit_cast<double>(special);
    if (special == 0 && !text_to_double(text, base, value)) {
        tvl_dom_node_destroy(n);
        return NumberResult::no_memory;
    }
    n->value.f64 = value;
    *out = n;
    return NumberResult::made;
}

// Upper bound of the bits that a digit of the base carries: ceil(log2(base)).
uint32_t bits_per_digit(uint32_t base) {
    return static_cast<uint32_t>(std::bit_width(base - 1));
}

// A new big integer holding the integer text in base.
NumberResult parse_bigint(std::string_view text, uint32_t base, tvl_int **out) {
    if (!is_valid_base(base) || !is_digit_string(text.data(), text.size(), base))
        return NumberResult::out_of_range;
    TextCopy copy;
    if (!terminated_copy(text, copy)) return NumberResult::no_memory;
    tvl_int *n = tvl_int_alloc();
    if (n == nullptr) return NumberResult::no_memory;
    if (!tvl_int_from_str(n, copy.data(), base)) {
        tvl_int_free(n);
        // Valid digits fail only beyond the big integer's ceiling or when memory is short.
        const uint64_t digits = text.size() - (text[0] == '-' || text[0] == '+' ? 1 : 0);
        return digits * bits_per_digit(base) <= kMaxBits ? NumberResult::no_memory
                                                         : NumberResult::out_of_range;
    }
    *out = n;
    return NumberResult::made;
}

NumberResult bigint_node(const tvl_type_annotation &a, const tvl_unit &unit, tvl_int *big,
                         tvl_dom_node **out) {
    tvl_dom_node *n = make_node(TVL_DOM_INT, a, unit);
    if (n == nullptr) {
        tvl_int_free(big);
        return NumberResult::no_memory;
    }
    n->value.big = big;
    *out = n;
    return NumberResult::made;
}

// An integer that did not fit 64 bits: a big integer when it really is wider, with the width
// rounded up to whole limbs (a sign bit counted for sint).
NumberResult widened_node(const tvlr_event &e, std::string_view text, uint32_t base,
                          tvl_dom_node **out) {
    const bool negative = text[0] == '-';
    if (negative && e.value_type == TVLR_TYPE_UINT) return NumberResult::out_of_range;
    tvl_int *big = nullptr;
    const NumberResult r = parse_bigint(text, base, &big);
    if (r != NumberResult::made) return r;
    const bool is_signed = e.value_type == TVLR_TYPE_SINT || negative;
    int64_t i;
    uint64_t u;
    const bool fits = is_signed ? tvl_int_to_int64(big, &i) : tvl_int_to_uint64(big, &u);
    if (fits) {
        tvl_int_free(big);
        return NumberResult::out_of_range;
    }
    const uint32_t needed = bit_length(magnitude(big)) + (is_signed ? 1 : 0);
    const uint32_t bits = (needed + kLimbBits - 1) / kLimbBits * kLimbBits;
    uint32_t type = e.value_type;
    if (type == TVLR_TYPE_PLAIN) type = is_signed ? TVLR_TYPE_SINT : TVLR_TYPE_UINT;
    return bigint_node({type, bits, e.base}, e.unit, big, out);
}

NumberResult integer_node(const tvlr_event &e, std::string_view text, tvl_dom_node **out) {
    tvl_type_annotation a{e.value_type, e.bits, e.base};
    const uint32_t base = a.base == 0 ? 10 : a.base;
    if (a.bits > 64) {
        tvl_int *big = nullptr;
        const NumberResult r = parse_bigint(text, base, &big);
        if (r != NumberResult::made) return r;
        return bigint_node(a, e.unit, big, out);
    }
    const bool is_signed = a.value_type == TVLR_TYPE_SINT ||
                           (a.value_type == TVLR_TYPE_PLAIN && !text.empty() && text[0] == '-');
    uint64_t value = 0;
    bool parsed;
    if (is_signed) {
        int64_t v = 0;
        parsed = parse_int64_text(text.data(), text.size(), base, v);
        value = static_cast<uint64_t>(v);
    } else {
        parsed = parse_uint64_text(text.data(), text.size(), base, value);
        // An untyped value that only an unsigned reading holds is typed as one.
        if (parsed && a.value_type == TVLR_TYPE_PLAIN && value > INT64_MAX)
            a = {TVLR_TYPE_UINT, 64, 0};
    }
    if (!parsed) return widened_node(e, text, base, out);
    tvl_dom_node *n = make_node(TVL_DOM_INT, a, e.unit);
    if (n == nullptr) return NumberResult::no_memory;
    n->value.u64 = value;
    *out = n;
    return NumberResult::made;
}

}  // namespace

NumberResult make_number_node(const tvlr_event &e, tvl_dom_node **out) noexcept {
    if (e.text == nullptr || e.text_len == 0) return NumberResult::out_of_range;
    const std::string_view text(e.text, e.text_len);

    const tvl_type_annotation a{e.value_type, e.bits, e.base};
    if (is_float_text(a, text)) return float_node(e, text, out);
    return integer_node(e, text, out);
}

}  // namespace tvl::dom
