// The big float record: lifetime, classes, re-rounding to another precision and exact
// construction from native doubles and floats.
#include "bignum/float_core.h"

#include <bit>
#include <cstring>
#include <limits>

#include "base/alloc.h"

namespace tvl::flt {

namespace {

constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();

// Bit i of a limb span (0 beyond its end).
bool bit_at(ConstLimbSpan x, std::uint64_t i) {
    const std::uint64_t word = i / kLimbBits;
    return word < x.size() && ((x[word] >> (i % kLimbBits)) & 1u) != 0;
}

// True when some bit below bit i of x is set.
bool any_below(ConstLimbSpan x, std::uint64_t i) {
    const std::uint64_t word = i / kLimbBits;
    const std::uint64_t full = word < x.size() ? word : x.size();
    for (std::uint64_t j = 0; j < full; ++j) {
        if (x[j] != 0) return true;
    }
    if (word >= x.size()) return false;
    const auto part = static_cast<std::uint32_t>(i % kLimbBits);
    return part != 0 && (x[word] & ((Limb{1} << part) - 1)) != 0;
}

}  // namespace

void words_to_limbs(const std::uint64_t *words, std::size_t count, LimbSpan out) {
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::size_t w = i / 2;
        out[i] = w < count ? static_cast<Limb>(words[w] >> (32 * (i % 2))) : 0;
    }
}

void limbs_to_words(ConstLimbSpan limbs, std::uint64_t shift, std::uint64_t *words,
                    std::size_t count) {
    std::memset(words, 0, count * sizeof(std::uint64_t));
    const std::uint64_t total = std::uint64_t{count} * 64;
    for (std::size_t i = 0; i < limbs.size(); ++i) {
        if (limbs[i] == 0) continue;
        const std::uint64_t pos = shift + std::uint64_t{i} * kLimbBits;
        if (pos >= total) break;
        const std::uint64_t w = pos / 64;
        const auto off = static_cast<std::uint32_t>(pos % 64);
        words[w] |= std::uint64_t{limbs[i]} << off;
        // A limb that straddles two words spills its high bits into the next one.
        if (off > 32 && w + 1 < count) words[w + 1] |= std::uint64_t{limbs[i]} >> (64 - off);
    }
}

void set_class(tvl_float *f, std::int64_t marker, bool negative) {
    f->exponent = marker;
    f->sign = negative ? -1 : 1;
    if (marker == kExpZero && f->words != nullptr) {
        std::memset(f->words, 0, std::size_t{f->word_count} * sizeof(std::uint64_t));
    }
}

void round_shift_right(LimbSpan x, std::uint64_t k, bool sticky) {
    TVL_ASSERT(k >= 1);
    const bool round = bit_at(x, k - 1);
    sticky = sticky || any_below(x, k - 1);
    const std::uint64_t whole = k / kLimbBits;
    if (whole >= x.size()) {
        // Every bit goes. The kept value is 0 (even), so it becomes 1 only when the round bit
        // (at best the top bit of x) is set and more than a half is dropped.
        std::memset(x.data(), 0, x.size_bytes());
        if (round && sticky) x[0] = 1;
        return;
    }
    const std::size_t keep = x.size() - static_cast<std::size_t>(whole);
    if (whole != 0) {
        std::memmove(x.data(), x.data() + whole, keep * sizeof(Limb));
        std::memset(x.data() + keep, 0, static_cast<std::size_t>(whole) * sizeof(Limb));
    }
    shift_right(x.first(keep), x.first(keep), static_cast<std::uint32_t>(k % kLimbBits));
    if (round && (sticky || (x[0] & 1u) != 0)) {
        const Limb carry = add_small(x, 1);
        TVL_ASSERT(carry == 0);
    }
}

void store_rounded(tvl_float *f, bool negative, LimbSpan m, std::int64_t top, bool sticky) {
    const std::uint32_t p = f->precision;
    const std::uint32_t len = bit_length(m);
    TVL_ASSERT(len != 0);
    std::uint64_t shift = 0;
    if (len > p) {
        round_shift_right(m, len - p, sticky);
        if (bit_length(m) > p) {
            // The increment carried up to 2^p: keep 2^(p-1) and raise the exponent.
            shift_right(m, m, 1);
            if (top == kInt64Max) {
                set_class(f, kExpInf, negative);
                return;
            }
            ++top;
        }
    } else {
        TVL_ASSERT(!sticky);
        shift = p - len;
    }
    if (is_marker(top)) {
        set_class(f, kExpZero, negative);
        return;
    }
    limbs_to_words(m, shift, f->words, f->word_count);
    f->sign = negative ? -1 : 1;
    f->exponent = top;
}

}  // namespace tvl::flt

// ---------------------------------------------------------------------------------------
// Exported functions
// ---------------------------------------------------------------------------------------

using tvl::flt::kExpInf;
using tvl::flt::kExpNan;
using tvl::flt::kExpZero;
using tvl::flt::usable;

namespace {

// f := (-1)^negative * m * 2^(top - 53) with 2^52 <= m < 2^53, rounded to f's precision
// without allocating.
void store_binary64_significand(tvl_float *f, bool negative, std::uint64_t m, std::int64_t top) {
    const std::uint32_t p = f->precision;
    std::memset(f->words, 0, std::size_t{f->word_count} * sizeof(std::uint64_t));
    if (p >= 53) {
        // Exact: m goes to bit p - 53, possibly straddling two words.
        const std::uint32_t pos = p - 53;
        f->words[pos / 64] |= m << (pos % 64);
        if (pos % 64 > 11) f->words[pos / 64 + 1] |= m >> (64 - pos % 64);
    } else {
        const std::uint32_t k = 53 - p;
        const std::uint64_t half = std::uint64_t{1} << (k - 1);
        const std::uint64_t rest = m & ((half << 1) - 1);
        std::uint64_t kept = m >> k;
        if (rest > half || (rest == half && (kept & 1u) != 0)) ++kept;
        if (kept >> p != 0) {
            kept >>= 1;
            ++top;
        }
        f->words[0] = kept;
    }
    f->sign = negative ? -1 : 1;
    f->exponent = top;
}

}  // namespace

extern "C" {

tvl_float *tvl_float_alloc(uint32_t precision) {
    if (!tvl::flt::valid_precision(precision)) return nullptr;
    auto *f = static_cast<tvl_float *>(tvl::mem::allocate_zeroed(1, sizeof(tvl_float)));
    if (f == nullptr) return nullptr;
    const std::uint32_t count = tvl::flt::words_for(precision);
    f->words = tvl::mem::allocate_array<std::uint64_t>(count);
    if (f->words == nullptr) {
        tvl::mem::release(f);
        return nullptr;
    }
    f->precision = precision;
    f->sign = 1;
    f->exponent = kExpZero;
    f->word_count = count;
    f->owned = 1;
    return f;
}

void tvl_float_free(tvl_float *f) {
    if (f == nullptr) return;
    if (f->owned != 0) tvl::mem::release(f->words);
    tvl::mem::release(f);
}

void tvl_float_init_buf(tvl_float *f, uint32_t precision, uint64_t *buf, uint32_t count) {
    if (f == nullptr) return;
    f->precision = precision;
    f->sign = 1;
    f->exponent = kExpZero;
    f->words = buf;
    f->word_count = buf != nullptr ? count : 0;
    f->owned = 0;
    if (buf != nullptr) std::memset(buf, 0, std::size_t{count} * sizeof(std::uint64_t));
}

bool tvl_float_is_nan(const tvl_float *f) {
    return f != nullptr && f->exponent == kExpNan;
}

bool tvl_float_is_inf(const tvl_float *f) {
    return f != nullptr && f->exponent == kExpInf;
}

bool tvl_float_is_zero(const tvl_float *f) {
    return f != nullptr && f->exponent == kExpZero;
}

bool tvl_float_is_regular(const tvl_float *f) {
    return f != nullptr && !tvl::flt::is_marker(f->exponent);
}

bool tvl_float_is_neg(const tvl_float *f) {
    return f != nullptr && f->sign < 0;
}

void tvl_float_set_nan(tvl_float *f) {
    if (f != nullptr) tvl::flt::set_class(f, kExpNan, false);
}

void tvl_float_set_inf(tvl_float *f, bool negative) {
    if (f != nullptr) tvl::flt::set_class(f, kExpInf, negative);
}

void tvl_float_set_zero(tvl_float *f, bool negative) {
    if (f != nullptr) tvl::flt::set_class(f, kExpZero, negative);
}

bool tvl_float_copy(tvl_float *dst, const tvl_float *src) {
    if (!usable(dst) || !usable(src)) return false;
    const bool negative = src->sign < 0;
    if (tvl::flt::is_marker(src->exponent)) {
        tvl::flt::set_class(dst, src->exponent, negative);
        if (src->exponent != kExpZero) {
            std::memset(dst->words, 0, std::size_t{dst->word_count} * sizeof(std::uint64_t));
        }
        return true;
    }
    const std::uint32_t p_src = src->precision;
    if (p_src == dst->precision) {
        if (dst == src) return true;
        const std::uint32_t count = tvl::flt::words_for(p_src);
        std::memmove(dst->words, src->words, std::size_t{count} * sizeof(std::uint64_t));
        std::memset(dst->words + count, 0,
                    std::size_t{dst->word_count - count} * sizeof(std::uint64_t));
        dst->sign = negative ? -1 : 1;
        dst->exponent = src->exponent;
        return true;
    }

    // The significand as limbs, bits at and above the precision ignored; one spare limb takes
    // the carry of the rounding.
    tvl::ScratchLimbs scratch;
    if (!scratch.reserve_zeroed(tvl::flt::limbs_for(p_src) + 1)) return false;
    const tvl::LimbSpan m = scratch.span();
    tvl::flt::words_to_limbs(src->words, tvl::flt::words_for(p_src),
                             m.first(tvl::flt::limbs_for(p_src)));
    if (p_src % 32 != 0) m[p_src / 32] &= (tvl::Limb{1} << (p_src % 32)) - 1;
    const std::uint32_t len = tvl::bit_length(m);
    if (len == 0) {
        tvl::flt::set_class(dst, kExpZero, negative);
        return true;
    }
    // A significand without its top bit set (a record filled by hand) has a lower exponent;
    // one that would fall to a class marker or below reads as zero.
    std::int64_t top = 0;
    if (__builtin_sub_overflow(src->exponent, std::int64_t{p_src - len}, &top) || top <= kExpInf) {
        tvl::flt::set_class(dst, kExpZero, negative);
        return true;
    }
    tvl::flt::store_rounded(dst, negative, m, top, false);
    return true;
}

bool tvl_float_from_double(tvl_float *f, double x) {
    if (!usable(f)) return false;
    const auto bits = std::bit_cast<std::uint64_t>(x);
    const bool negative = (bits >> 63) != 0;
    const auto biased = static_cast<std::int64_t>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    if (biased == 0x7FF) {
        if (fraction != 0) {
            tvl::flt::set_class(f, kExpNan, false);
        } else {
            tvl::flt::set_class(f, kExpInf, negative);
        }
        return true;
    }
    if (biased == 0 && fraction == 0) {
        tvl::flt::set_class(f, kExpZero, negative);
        return true;
    }
    // value = m * 2^(top - 53) with 2^52 <= m < 2^53; a subnormal is normalised.
    if (biased != 0) {
        store_binary64_significand(f, negative, fraction | (std::uint64_t{1} << 52), biased - 1022);
    } else {
        const int t = std::countl_zero(fraction) - 11;
        store_binary64_significand(f, negative, fraction << t, -1021 - t);
    }
    return true;
}

bool tvl_float_from_float(tvl_float *f, float x) {
    return tvl_float_from_double(f, static_cast<double>(x));
}

}  // extern "C"
