// Units with physical meaning: SI factors, dimensions, compatibility,
// conversion factors, reduction and printing under a named SI unit.
#include <cmath>

#include "tvlr.h"
#include "utils/tavlin_si_units.h"
#include "utils/tvl_unit_impl.h"
#include "utils/units.h"

namespace tvl {
namespace {

struct si_factor_result {
    double factor = 1.0;
    double offset = 0.0;
    bool has_offset = false;
    bool ok = true;
};

// A factor that has a row in the conversion table and a usable exponent.
bool convertible_factor(const tvl_unit_factor &f) {
    return exponent_in_model(f.exponent) && prefix_allowed(f.prefix, f.base) &&
           !is_currency_id(f.base);
}

// A product kept as a significand in [0.5, 1) and a power of two, so that large and small
// factors met in any order neither overflow nor underflow on the way ("k~m^9*k~m^9*q~m^-9*k~m^-9"
// reaches 10^324 before it comes down to 10^297). Scaling by powers of two is exact, so every
// step rounds as the plain product would.
struct scaled_product {
    double significand = 0.5;
    int exponent = 1;

    void times(double x) {
        int k = 0;
        significand *= std::frexp(x, &k);
        exponent += k;
        significand = std::frexp(significand, &k);
        exponent += k;
    }
    void times(const scaled_product &x) {
        times(x.significand);
        exponent += x.exponent;
    }
    scaled_product reciprocal() const {
        scaled_product r;
        r.times(1.0 / significand);
        r.exponent -= exponent;
        return r;
    }
    double value() const { return std::ldexp(significand, exponent); }
};

si_factor_result si_factor(const tvl_unit &unit) {
    si_factor_result r;
    scaled_product product;
    const uint32_t n = factors_in_use(unit);
    for (uint32_t i = 0; i < n; ++i) {
        const tvl_unit_factor &f = unit.factors[i];
        if (!convertible_factor(f)) {
            r.ok = false;
            return r;
        }
        const si_conv_row &row = si_conv_table[f.base];
        const double magnitude = exponent_magnitude(f.exponent);
        scaled_product g;
        g.times(std::pow(row.factor, magnitude));
        g.times(std::pow(prefix_table_factor(f.prefix), magnitude));
        if (f.exponent < 0) {
            // An affine scale has no meaning in a denominator.
            if (row.has_offset != 0) {
                r.ok = false;
                return r;
            }
            product.times(g.reciprocal());
        } else {
            product.times(g);
            if (row.has_offset != 0) {
                // Only one affine factor, to the first power.
                if (f.exponent != 1 || r.has_offset) {
                    r.ok = false;
                    return r;
                }
                r.has_offset = true;
                r.offset = row.offset;
            }
        }
    }
    r.factor = product.value();
    return r;
}

bool dimension_vector(const tvl_unit &unit, int32_t (&dim)[kDimensionCount]) {
    for (int32_t &d : dim) d = 0;
    bool ok = true;
    const uint32_t n = factors_in_use(unit);
    for (uint32_t i = 0; i < n; ++i) {
        const tvl_unit_factor &f = unit.factors[i];
        if (f.exponent == TVL_EXP_INVALID || !prefix_allowed(f.prefix, f.base)) return false;
        if (!exponent_in_model(f.exponent)) continue;
        if (is_currency_id(f.base)) return false;
        const si_conv_row &row = si_conv_table[f.base];
        for (uint32_t k = 0; k < kDimensionCount; ++k) dim[k] += f.exponent * row.dimension[k];
    }
    return ok;
}

// Sums of the bit and byte exponents; false for a data factor with
// exponent 0.
bool data_exponents(const tvl_unit &unit, int32_t *bits, int32_t *bytes) {
    *bits = 0;
    *bytes = 0;
    const uint32_t n = factors_in_use(unit);
    for (uint32_t i = 0; i < n; ++i) {
        const tvl_unit_factor &f = unit.factors[i];
        if (!is_data_unit_id(f.base)) continue;
        if (f.exponent == TVL_EXP_INVALID) return false;
        const int32_t e = exponent_in_model(f.exponent) ? f.exponent : 0;
        (f.base == kUnitIdBit ? *bits : *bytes) += e;
    }
    return true;
}

bool compatible(const tvl_unit &a, const tvl_unit &b) {
    int32_t bits_a = 0, bytes_a = 0, bits_b = 0, bytes_b = 0;
    if (!data_exponents(a, &bits_a, &bytes_a) || !data_exponents(b, &bits_b, &bytes_b)) {
        return false;
    }
    if (bits_a != bits_b || bytes_a != bytes_b) return false;
    int32_t dim_a[kDimensionCount];
    int32_t dim_b[kDimensionCount];
    if (!dimension_vector(a, dim_a) || !dimension_vector(b, dim_b)) return false;
    for (uint32_t k = 0; k < kDimensionCount; ++k) {
        if (dim_a[k] != dim_b[k]) return false;
    }
    return true;
}

struct reduce_slot {
    uint32_t base;
    int32_t exponent;
    int32_t power_of_ten;
    int32_t power_of_two;
};

// Positive exponents first, then the larger magnitude, then the smaller
// identifier.
bool reduced_before(const tvl_unit_factor &a, const tvl_unit_factor &b) {
    if ((a.exponent > 0) != (b.exponent > 0)) return a.exponent > 0;
    const int32_t ma = a.exponent < 0 ? -a.exponent : a.exponent;
    const int32_t mb = b.exponent < 0 ? -b.exponent : b.exponent;
    if (ma != mb) return ma > mb;
    return a.base < b.base;
}

tvl_unit reduce(const tvl_unit &unit, double *factor_out, bool *lossy_out) {
    double factor = 1.0;
    bool lossy = false;
    reduce_slot slots[TVL_UNIT_MAX_FACTORS] = {};
    uint32_t slot_count = 0;
    const uint32_t n = factors_in_use(unit);
    for (uint32_t i = 0; i < n; ++i) {
        const tvl_unit_factor &f = unit.factors[i];
        if (f.base == 0 || f.exponent == TVL_EXP_INVALID || !prefix_allowed(f.prefix, f.base)) {
            continue;
        }
        if (!exponent_in_model(f.exponent)) {
            // Outside the model: the factor cannot be carried over.
            lossy = true;
            continue;
        }
        uint32_t k = 0;
        while (k < slot_count && slots[k].base != f.base) ++k;
        if (k == slot_count) slots[slot_count++] = reduce_slot{f.base, 0, 0, 0};
        const int32_t power = prefix_table_power(f.prefix) * f.exponent;
        slots[k].exponent += f.exponent;
        (f.prefix.kind == TVL_PREFIX_BINARY ? slots[k].power_of_two : slots[k].power_of_ten) +=
            power;
    }

    tvl_unit result{};
    for (uint32_t k = 0; k < slot_count; ++k) {
        const reduce_slot &s = slots[k];
        if (s.power_of_ten != 0) factor *= std::pow(10.0, s.power_of_ten);
        if (s.power_of_two != 0) factor *= std::pow(2.0, s.power_of_two);
        if (s.exponent == 0) continue;
        if (!exponent_in_model(s.exponent)) {
            // Too large a power for one factor: dropped, with its SI factor
            // folded into the scale where it has one.
            lossy = true;
            if (!is_currency_id(s.base)) {
                const double g =
                    std::pow(si_conv_table[s.base].factor,
                             static_cast<double>(s.exponent < 0 ? -s.exponent : s.exponent));
                factor = s.exponent < 0 ? factor / g : factor * g;
            }
            continue;
        }
        if (result.count == TVL_UNIT_MAX_FACTORS) {
            lossy = true;
            continue;
        }
        result.factors[result.count++] = tvl_unit_factor{s.base, s.exponent, {0, 0}};
    }
    if (!std::isfinite(factor) || factor == 0.0) lossy = true;

    // Stable insertion sort.
    for (uint32_t i = 1; i < result.count; ++i) {
        const tvl_unit_factor item = result.factors[i];
        uint32_t j = i;
        while (j > 0 && reduced_before(item, result.factors[j - 1])) {
            result.factors[j] = result.factors[j - 1];
            --j;
        }
        result.factors[j] = item;
    }
    *factor_out = factor;
    if (lossy_out != nullptr) *lossy_out = lossy;
    return result;
}

// Named units tried by the reducing printer, in order of preference.
constexpr uint32_t kNamedUnits[] = {
    11,  // N
    12,  // Pa
    13,  // J
    14,  // W
    15,  // V
    16,  // Ω
    17,  // F
    18,  // C
    19,  // S
    20,  // Wb
    21,  // T
    22,  // H
    24,  // lx
    23,  // lm
    10,  // Hz
    25,  // Bq
    26,  // Gy
    27,  // Sv
    28,  // kat
};

// Bits, bytes and currencies have no SI dimension that tells them apart
// from other units: "b/s" has the dimension of "Hz".
bool holds_data_or_currency(const tvl_unit &unit) {
    const uint32_t n = factors_in_use(unit);
    for (uint32_t i = 0; i < n; ++i) {
        if (is_data_unit_id(unit.factors[i].base) || is_currency_id(unit.factors[i].base)) {
            return true;
        }
    }
    return false;
}

// The named unit with a decimal prefix that equals the reduced unit times
// scale exactly, when there is one.
bool find_named_unit(const tvl_unit &reduced, double scale, tvl_unit *named) {
    if (holds_data_or_currency(reduced)) return false;
    const si_factor_result si = si_factor(reduced);
    if (!si.ok || si.has_offset) return false;
    const double s = si.factor * scale;
    if (!(s > 0.0) || !std::isfinite(s)) return false;
    int32_t dim[kDimensionCount];
    if (!dimension_vector(reduced, dim)) return false;
    const double d = std::log10(s);
    const double r = std::round(d);
    if (std::fabs(d - r) > 1e-6 || std::fabs(r) > 30.0) return false;
    const int32_t prefix_index = decimal_prefix_for_power(static_cast<int32_t>(r));
    if (prefix_index < 0) return false;
    for (uint32_t id : kNamedUnits) {
        bool same = true;
        for (uint32_t k = 0; k < kDimensionCount; ++k) {
            if (si_conv_table[id].dimension[k] != dim[k]) same = false;
        }
        if (!same) continue;
        *named = tvl_unit{};
        named->count = 1;
        named->factors[0] =
            tvl_unit_factor{id, 1, {TVL_PREFIX_DECIMAL, static_cast<uint32_t>(prefix_index)}};
        return true;
    }
    return false;
}

}  // namespace
}  // namespace tvl

extern "C" {

TVLR_API double tvl_unit_to_si_factor(bool *has_offset, double *offset, bool *ok, tvl_unit unit) {
    const tvl::si_factor_result r = tvl::si_factor(unit);
    if (has_offset != nullptr) *has_offset = r.has_offset;
    if (offset != nullptr) *offset = r.offset;
    if (ok != nullptr) *ok = r.ok;
    return r.factor;
}

TVLR_API bool tvl_unit_dimension_vector(int32_t dimension[7], tvl_unit unit) {
    int32_t dim[tvl::kDimensionCount];
    const bool ok = tvl::dimension_vector(unit, dim);
    if (dimension != nullptr) {
        for (uint32_t k = 0; k < tvl::kDimensionCount; ++k) dimension[k] = dim[k];
    }
    return ok;
}

TVLR_API bool tvl_units_compatible(tvl_unit a, tvl_unit b) {
    return tvl::compatible(a, b);
}

TVLR_API double tvl_unit_convert_factor(bool *ok, bool *affine, tvl_unit from, tvl_unit to) {
    bool ok_local = false;
    bool affine_local = false;
    if (ok == nullptr) ok = &ok_local;
    if (affine == nullptr) affine = &affine_local;
    *ok = false;
    *affine = false;
    if (!tvl::compatible(from, to)) return 0.0;
    const tvl::si_factor_result a = tvl::si_factor(from);
    const tvl::si_factor_result b = tvl::si_factor(to);
    if (!a.ok || !b.ok) return 0.0;
    if (!a.has_offset && !b.has_offset) {
        *ok = true;
        return a.factor / b.factor;
    }
    *affine = true;
    if (!a.has_offset || !b.has_offset) return 0.0;
    // Scales with the same zero point convert by a factor alone.
    const double eps = 0x1p-52;
    if (std::fabs(a.offset - b.offset) > eps * std::fabs(a.offset + b.offset) + eps) return 0.0;
    *ok = true;
    return a.factor / b.factor;
}

TVLR_API tvl_unit tvl_unit_reduce(double *factor, bool *lossy, tvl_unit unit) {
    double factor_local = 1.0;
    return tvl::reduce(unit, factor != nullptr ? factor : &factor_local, lossy);
}

TVLR_API int tvl_unit_to_string_ex(char *buffer, size_t size, uint32_t flags, tvl_unit unit) {
    if (buffer == nullptr || size == 0 || unit.count > TVL_UNIT_MAX_FACTORS) return -1;
    for (uint32_t i = 0; i < unit.count; ++i) {
        const tvl_unit_factor &f = unit.factors[i];
        // Exponents, prefixes and identifiers the unit text cannot express.
        if (!tvl::exponent_in_model(f.exponent) || !tvl::prefix_allowed(f.prefix, f.base) ||
            tvl::find_prefix_entry(f.prefix) == nullptr || (f.base == 0 && f.prefix.index != 0)) {
            return -1;
        }
    }
    const bool ascii = (flags & TVL_UNIT_FMT_ASCII) != 0;
    if ((flags & TVL_UNIT_FMT_REDUCE) != 0) {
        double scale = 1.0;
        bool lossy = false;
        const tvl_unit reduced = tvl::reduce(unit, &scale, &lossy);
        if (!lossy) {
            tvl_unit named{};
            if (tvl::find_named_unit(reduced, scale, &named)) {
                return tvl::format_unit_text(buffer, size, named, ascii);
            }
            // The reduced unit carries no prefixes: it stands for the same
            // unit only when the reduction left no scale behind.
            if (scale == 1.0) return tvl::format_unit_text(buffer, size, reduced, ascii);
        }
    }
    return tvl::format_unit_text(buffer, size, unit, ascii);
}

}  // extern "C"
