// Big floats to and from the decimal interchange formats with binary coefficients: decimal16,
// decimal32, decimal64 and decimal128 in the IEEE layout, decimal256 in a plain layout. One
// encoder and one decoder serve every format; the exported functions instantiate them.
//
// Encoding. A regular value v is first expanded exactly to p + 4 significant decimal digits:
// Q = floor(|v| * 10^o) with o chosen from the decimal exponent estimate so that Q has p + 4 to
// p + 7 digits, cut to p + 4 digits, and rounded to odd (the last digit made odd when anything
// nonzero was dropped), so that the one rounding to p digits that follows cannot round twice.
// The digits are then rounded to the format: to nearest, ties to even, at p digits or at the
// smallest exponent (gradual underflow); trailing zeros move into the exponent up to the largest
// one (the encoder always uses the largest exponent at which the value is exact); above the
// largest exponent the coefficient is padded with zeros while it has fewer than p digits, and
// overflows to infinity otherwise. Values that lie certainly beyond the format's range in
// either direction become infinity or a signed zero without any arithmetic, which also keeps
// every size and shift computation far from overflow. When the expansion cannot get its memory,
// the shortest round-trip text of the record is rounded instead; when that fails too, the
// output is +0 (all bits zero). The output is written once, complete.
//
// Decoding. A coefficient C and a biased exponent E give C * 10^(E - bias), computed exactly
// and rounded once to the record's precision: C * 5^q * 2^q for q >= 0; for q < 0 the quotient
// of C * 2^s by 5^-q with s chosen so that it has at least P + 2 bits, the remainder serving as
// the sticky bit. A coefficient of p + 1 or more digits (non-canonical) reads as zero.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <string_view>

#include "base/alloc.h"
#include "bignum/bigint.h"
#include "bignum/float_core.h"
#include "bignum/float_print.h"
#include "tvlr.h"

namespace tvl::flt {

namespace {

// A format: width k, exponent field n bits, coefficient field s bits, bias, p digits.
struct DecimalFormat {
    std::uint32_t k;
    std::uint32_t n;
    std::uint32_t s;
    std::int64_t bias;
    std::uint32_t p;

    // The IEEE layout (small and large forms, combination-field specials) exactly when the
    // bias is that of the IEEE rule; otherwise the plain layout.
    constexpr bool ieee() const {
        return bias == std::int64_t{p} + 3 * (std::int64_t{1} << (n - 3)) - 2;
    }
    constexpr std::int64_t max_exponent() const {
        return ieee() ? 3 * (std::int64_t{1} << (n - 2)) - 1 : (std::int64_t{1} << n) - 2;
    }
    constexpr std::size_t words() const { return (k + 31) / 32; }
};

inline constexpr DecimalFormat kDecimal16{16, 6, 9, 24, 2};
inline constexpr DecimalFormat kDecimal32{32, 8, 23, 101, 7};
inline constexpr DecimalFormat kDecimal64{64, 10, 53, 398, 16};
inline constexpr DecimalFormat kDecimal128{128, 14, 113, 6176, 34};
inline constexpr DecimalFormat kDecimal256{256, 20, 235, 611867, 70};

constexpr bool well_formed(const DecimalFormat &fmt) {
    return fmt.k == fmt.n + fmt.s + 1 && fmt.n >= 3 && fmt.n <= 30 && fmt.p <= 70 &&
           fmt.s + 1 <= 32 * fmt.words();
}
static_assert(well_formed(kDecimal16) && kDecimal16.ieee() && kDecimal16.max_exponent() == 47);
static_assert(well_formed(kDecimal32) && kDecimal32.ieee() && kDecimal32.max_exponent() == 191);
static_assert(well_formed(kDecimal64) && kDecimal64.ieee() && kDecimal64.max_exponent() == 767);
static_assert(well_formed(kDecimal128) && kDecimal128.ieee() &&
              kDecimal128.max_exponent() == 12287);
static_assert(well_formed(kDecimal256) && !kDecimal256.ieee() &&
              kDecimal256.max_exponent() == 1048574);

// Coefficients have at most 70 digits (10^70 < 2^233); the expansion keeps p + 4 of them.
constexpr std::size_t kMaxDigits = 70;
constexpr std::size_t kCoefLimbs = 9;
constexpr std::size_t kExpansionDigits = kMaxDigits + 7;

using Coefficient = std::array<Limb, kCoefLimbs>;
constexpr Limb kOne = 1;

// 10^p as limbs.
constexpr Coefficient power_of_ten(std::uint32_t p) {
    Coefficient c{};
    c[0] = 1;
    for (std::uint32_t i = 0; i < p; ++i) {
        std::uint64_t carry = 0;
        for (Limb &l : c) {
            const std::uint64_t v = std::uint64_t{l} * 10 + carry;
            l = static_cast<Limb>(v);
            carry = v >> 32;
        }
    }
    return c;
}

// ---------------------------------------------------------------------------------------
// Bit fields of an encoding (least significant word first)
// ---------------------------------------------------------------------------------------

// ORs the low `width` bits of value (width <= 32) into bits [pos, pos + width).
void put_field(Limb *w, std::uint32_t pos, std::uint64_t value, std::uint32_t width) {
    value &= (std::uint64_t{1} << width) - 1;
    const std::uint64_t shifted = value << (pos % 32);
    w[pos / 32] |= static_cast<Limb>(shifted);
    if (pos % 32 + width > 32) w[pos / 32 + 1] |= static_cast<Limb>(shifted >> 32);
}

// Bits [pos, pos + width) (width <= 32).
std::uint64_t get_field(const Limb *w, std::uint32_t pos, std::uint32_t width) {
    std::uint64_t v = w[pos / 32] >> (pos % 32);
    if (pos % 32 + width > 32) v |= std::uint64_t{w[pos / 32 + 1]} << (32 - pos % 32);
    return v & ((std::uint64_t{1} << width) - 1);
}

template <const DecimalFormat &F>
using Pattern = std::array<Limb, F.words()>;

enum class Special { zero, infinity, nan };

template <const DecimalFormat &F>
Pattern<F> special(Special kind, bool negative) {
    Pattern<F> w{};
    if (negative) put_field(w.data(), F.k - 1, 1, 1);
    if (kind == Special::zero) return w;
    if (F.ieee()) {
        // Combination field 11110 (infinity) or 11111 (quiet NaN) below the sign.
        put_field(w.data(), F.k - 6, kind == Special::nan ? 0x1f : 0x1e, 5);
    } else {
        put_field(w.data(), F.s, ~std::uint64_t{0}, F.n);
        if (kind == Special::nan) put_field(w.data(), F.s - 1, 1, 1);
    }
    return w;
}

// ---------------------------------------------------------------------------------------
// Rounding decimal digits to the format
// ---------------------------------------------------------------------------------------

// A coefficient of at most p digits and its biased exponent, or an infinity or zero.
struct Rounded {
    std::array<char, kMaxDigits + 1> digits{};
    std::size_t count = 0;  // 0: zero
    std::int64_t exponent = 0;
    bool infinite = false;
};

// Rounds the value digits * 10^q (digits significant, the first nonzero; any length) to the
// format. |q| stays far below 2^62 for every caller.
template <const DecimalFormat &F>
Rounded round_digits(std::string_view digits, std::int64_t q) {
    Rounded r;
    while (!digits.empty() && digits.back() == '0') {
        digits.remove_suffix(1);
        ++q;
    }
    if (digits.empty()) return r;
    std::int64_t e = q + F.bias;
    const auto count = static_cast<std::int64_t>(digits.size());
    // Drop digits beyond p, and below the smallest exponent.
    const std::int64_t drop = std::max<std::int64_t>(count - F.p, -e);
    std::int64_t keep = count;
    bool up = false;
    if (drop > 0) {
        keep = count - drop;
        e += drop;
        if (keep < 0) return r;  // below half of the smallest unit: the first dropped digit is 0
        const auto k = static_cast<std::size_t>(keep);
        const char first = digits[k];
        const bool tail = digits.find_first_not_of('0', k + 1) != std::string_view::npos;
        const bool odd = k > 0 && ((digits[k - 1] - '0') & 1) != 0;
        up = first > '5' || (first == '5' && (tail || odd));
    }
    auto len = static_cast<std::size_t>(keep);
    std::memcpy(r.digits.data(), digits.data(), len);
    if (up) {
        std::size_t i = len;
        while (i > 0 && r.digits[i - 1] == '9') r.digits[--i] = '0';
        if (i > 0) {
            ++r.digits[i - 1];
        } else {
            // 99...9 + 1: a leading 1 and len zeros; p + 1 digits go back to p.
            r.digits[0] = '1';
            std::memset(r.digits.data() + 1, '0', len);
            if (++len > F.p) {
                --len;
                ++e;
            }
        }
    }
    if (len == 0) return r;
    // The largest exponent at which the value is exact.
    while (e < F.max_exponent() && r.digits[len - 1] == '0') {
        --len;
        ++e;
    }
    if (e > F.max_exponent()) {
        const std::int64_t pad = e - F.max_exponent();
        if (static_cast<std::int64_t>(len) + pad > F.p) {
            r.infinite = true;
            return r;
        }
        std::memset(r.digits.data() + len, '0', static_cast<std::size_t>(pad));
        len += static_cast<std::size_t>(pad);
        e = F.max_exponent();
    }
    r.count = len;
    r.exponent = e;
    return r;
}

template <const DecimalFormat &F>
Pattern<F> pack(const Rounded &r, bool negative) {
    if (r.infinite) return special<F>(Special::infinity, negative);
    if (r.count == 0) return special<F>(Special::zero, negative);
    Coefficient c{};
    for (std::size_t i = 0; i < r.count;) {
        const std::size_t chunk = std::min<std::size_t>(9, r.count - i);
        Limb v = 0;
        Limb scale = 1;
        for (std::size_t j = 0; j < chunk; ++j, ++i) {
            v = v * 10 + static_cast<Limb>(r.digits[i] - '0');
            scale *= 10;
        }
        mul_add_small(c, scale, v);
    }
    Pattern<F> w{};
    std::copy_n(c.begin(), w.size(), w.begin());
    if (F.ieee() && bit_length(c) > F.s) {
        // Large form: 11 below the sign, the exponent two bits lower, C - 2^s in bits 0..s-3
        // (C < 10^p <= 2^s + 2^(s-2), so C has bit s set and bits s-1 and s-2 clear).
        w[F.s / 32] &= ~(Limb{1} << (F.s % 32));
        put_field(w.data(), F.k - 3, 3, 2);
        put_field(w.data(), F.s - 2, static_cast<std::uint64_t>(r.exponent), F.n);
    } else {
        put_field(w.data(), F.s, static_cast<std::uint64_t>(r.exponent), F.n);
    }
    if (negative) put_field(w.data(), F.k - 1, 1, 1);
    return w;
}

// ---------------------------------------------------------------------------------------
// Encoding
// ---------------------------------------------------------------------------------------

// q := floor(num * 2^shift / den) (den nonzero, without zero top limbs) and whether a
// remainder was left. False when memory cannot be had.
bool divide_shifted(ConstLimbSpan num, std::uint64_t shift, ConstLimbSpan den, ScratchLimbs &q,
                    bool &remainder) {
    const std::size_t dl = den.size();
    if (dl == 1) {
        const std::size_t whole = static_cast<std::size_t>(shift / kLimbBits);
        if (!q.reserve_zeroed(num.size() + whole + 1)) return false;
        q.data()[whole + num.size()] = shift_left(q.span().subspan(whole, num.size()), num,
                                                  static_cast<std::uint32_t>(shift % kLimbBits));
        remainder = div_small(q.span(), den[0]) != 0;
        return true;
    }
    // Long division of u = num * 2^(shift + norm) (m + 1 limbs) by v = den * 2^norm, whose top
    // bit is set.
    const auto norm = static_cast<std::uint32_t>(std::countl_zero(den.back()));
    const std::uint64_t ushift = shift + norm;
    const auto whole = static_cast<std::size_t>(ushift / kLimbBits);
    const std::size_t ul = std::max(num.size() + whole + 1, dl + 1);
    ScratchLimbs u;
    ScratchLimbs v;
    if (!u.reserve_zeroed(ul) || !v.reserve_zeroed(dl) || !q.reserve_zeroed(ul - dl)) {
        return false;
    }
    u.data()[whole + num.size()] = shift_left(u.span().subspan(whole, num.size()), num,
                                              static_cast<std::uint32_t>(ushift % kLimbBits));
    shift_left(v.span(), den, norm);
    divide_normalized(u.span(), v.span(), q.span());
    remainder = normalized_size(u.span().first(dl)) != 0;
    return true;
}

// The decimal digits of x into out[0..count), most significant first, padded with leading
// zeros; x is consumed. False when x has more than `count` digits.
bool take_digits(LimbSpan x, char *out, std::size_t count) {
    std::size_t pos = count;
    for (std::size_t len = normalized_size(x); len > 0;) {
        Limb r = div_small(x.first(len), 1000000000u);
        len = normalized_size(x.first(len));
        for (int j = 0; j < 9 && (r != 0 || len != 0); ++j) {
            if (pos == 0) return false;
            out[--pos] = static_cast<char>('0' + r % 10);
            r /= 10;
        }
    }
    std::memset(out, '0', pos);
    return true;
}

// Exact expansion of |v| = m * 2^(top - bitlen(m)) to p + 4 significant digits rounded to odd,
// as digits * 10^q. False when memory cannot be had.
template <const DecimalFormat &F>
bool expand(ConstLimbSpan m, std::int64_t top, char *out, std::int64_t &q) {
    const std::int64_t k = decimal_exponent_estimate(top);
    const std::int64_t o = std::int64_t{F.p} + 6 - k;
    // Q = floor(|v| * 10^o) = floor(m * 2^shift * 5^o), and whether anything was dropped.
    const std::int64_t shift = top - std::int64_t{bit_length(m)} + o;
    ScaledInt scaled;
    ScratchLimbs quot;
    LimbSpan value;
    bool exact = true;
    if (o >= 0) {
        if (!scaled.compute(m, shift, o)) return false;
        exact = scaled.exact();
        value = scaled.value();
    } else {
        // One long division by 5^-o costs far less than -o / 13 short ones.
        ScaledInt num;
        bool remainder = false;
        if (!num.compute(m, std::min<std::int64_t>(shift, 0), 0) ||
            !scaled.compute(ConstLimbSpan(&kOne, 1), 0, -o) ||
            !divide_shifted(num.value(),
                            static_cast<std::uint64_t>(std::max<std::int64_t>(shift, 0)),
                            scaled.value(), quot, remainder)) {
            return false;
        }
        exact = num.exact() && !remainder;
        value = quot.span();
    }
    char all[kExpansionDigits];
    const std::size_t width = F.p + 7;
    const bool fits = take_digits(value, all, width);
    TVL_ASSERT(fits);
    std::size_t first = 0;
    while (all[first] == '0') ++first;
    TVL_ASSERT(first <= 3);
    const std::size_t keep = F.p + 4;
    const std::size_t dropped = width - first - keep;
    bool sticky = !exact;
    for (std::size_t i = first + keep; i < width; ++i) sticky = sticky || all[i] != '0';
    std::memcpy(out, all + first, keep);
    if (sticky && ((out[keep - 1] - '0') & 1) == 0) ++out[keep - 1];
    q = static_cast<std::int64_t>(dropped) - o;
    return true;
}

// Rounds the shortest round-trip text of the record; false when it cannot be had.
template <const DecimalFormat &F>
bool round_text(const tvl_float *f, Rounded &r) {
    mem::Scratch<char, 256> buf;
    if (!buf.reserve(tvl_float_str_bufsize(f->precision, 10), false)) return false;
    const int len = tvl_float_to_str(f, buf.data(), buf.size(), 10);
    if (len < 0) return false;
    // [-]d[.ddd]e(+|-)x: squeeze out the point, keep the digits and the exponent.
    char *s = buf.data();
    if (*s == '-') ++s;
    char *e = std::strchr(s, 'e');
    if (e == nullptr) return false;
    std::size_t count = static_cast<std::size_t>(e - s);
    std::int64_t q = 0;
    if (count > 1 && s[1] == '.') {
        std::memmove(s + 1, s + 2, count - 2);
        --count;
        q = -static_cast<std::int64_t>(count - 1);
    }
    const bool neg_exp = e[1] == '-';
    std::int64_t x = 0;
    for (const char *c = e + 2; *c != '\0'; ++c) x = x * 10 + (*c - '0');
    q += neg_exp ? -x : x;
    r = round_digits<F>(std::string_view(s, count), q);
    return true;
}

template <const DecimalFormat &F>
Pattern<F> encode(const tvl_float *f) {
    const bool negative = f->sign < 0;
    if (f->exponent == kExpNan) return special<F>(Special::nan, negative);
    if (f->exponent == kExpInf) return special<F>(Special::infinity, negative);
    if (f->exponent == kExpZero) return special<F>(Special::zero, negative);

    const std::uint32_t p = f->precision;
    ScratchLimbs m;
    if (!m.reserve_zeroed(limbs_for(p))) return Pattern<F>{};
    words_to_limbs(f->words, words_for(p), m.span());
    const std::uint32_t len = bit_length(m.span());
    if (len == 0) return special<F>(Special::zero, negative);

    // |v| lies in [2^(top - 1), 2^top). Far outside the format's range no arithmetic is needed:
    // from 10^(largest exponent + p) on every value overflows, and below 10^(-bias - 1) (less
    // than half the smallest unit) every value rounds to zero.
    constexpr std::int64_t kFar = std::int64_t{1} << 30;
    const std::int64_t b = f->exponent;
    if (b > kFar) return special<F>(Special::infinity, negative);
    if (b < -kFar) return special<F>(Special::zero, negative);
    const std::int64_t top = b - std::int64_t{p} + std::int64_t{len};
    if (floor_log10_pow2(top - 1) >= F.max_exponent() - F.bias + F.p) {
        return special<F>(Special::infinity, negative);
    }
    if (floor_log10_pow2(top) + 1 <= -F.bias - 1) return special<F>(Special::zero, negative);

    char digits[kExpansionDigits];
    std::int64_t q = 0;
    Rounded r;
    if (expand<F>(m.span(), top, digits, q)) {
        r = round_digits<F>(std::string_view(digits, F.p + 4), q);
    } else if (!round_text<F>(f, r)) {
        return Pattern<F>{};
    }
    return pack<F>(r, negative);
}

// ---------------------------------------------------------------------------------------
// Decoding
// ---------------------------------------------------------------------------------------

template <const DecimalFormat &F>
bool decode(tvl_float *f, const Limb *w) {
    const bool negative = (get_field(w, F.k - 1, 1)) != 0;
    std::int64_t e = 0;
    Coefficient c{};
    const auto take_coefficient = [&](std::uint32_t bits) {
        std::copy_n(w, std::min<std::size_t>((bits + 31) / 32, F.words()), c.begin());
        if (bits % 32 != 0) c[bits / 32] &= (Limb{1} << (bits % 32)) - 1;
        for (std::size_t i = (bits + 31) / 32; i < c.size(); ++i) c[i] = 0;
    };
    if (F.ieee()) {
        const std::uint64_t top = get_field(w, F.k - 6, 5);
        if ((top >> 1) == 0xf) {
            set_class(f, (top & 1) != 0 ? kExpNan : kExpInf, negative && (top & 1) == 0);
            return true;
        }
        if ((top >> 3) == 3) {
            e = static_cast<std::int64_t>(get_field(w, F.s - 2, F.n));
            take_coefficient(F.s - 2);
            c[F.s / 32] |= Limb{1} << (F.s % 32);
        } else {
            e = static_cast<std::int64_t>(get_field(w, F.s, F.n));
            take_coefficient(F.s);
        }
    } else {
        e = static_cast<std::int64_t>(get_field(w, F.s, F.n));
        take_coefficient(F.s);
        if (e == F.max_exponent() + 1) {
            const bool nan = normalized_size(c) != 0;
            set_class(f, nan ? kExpNan : kExpInf, negative && !nan);
            return true;
        }
    }
    static constexpr Coefficient kLimit = power_of_ten(F.p);
    if (normalized_size(c) == 0 || compare(c, kLimit) >= 0) {
        set_class(f, kExpZero, negative);
        return true;
    }
    const ConstLimbSpan coef(c.data(), normalized_size(c));
    const std::int64_t q = e - F.bias;
    const std::uint32_t p = f->precision;
    ScaledInt scaled;
    if (q >= 0) {
        // C * 5^q * 2^q: exact, rounded once.
        if (!scaled.compute(coef, 0, q)) return false;
        const LimbSpan v = scaled.value();
        store_rounded(f, negative, v, std::int64_t{bit_length(v)} + q, false);
        return true;
    }
    // C / 10^-q = (C * 2^s / 5^-q) * 2^(-s + q), with s making the quotient at least P + 2
    // bits long (5^-q has at most 2.33 * -q bits).
    if (!scaled.compute(ConstLimbSpan(&kOne, 1), 0, -q)) return false;
    const LimbSpan den = scaled.value();
    const std::int64_t den_bits = bit_length(den);
    const std::int64_t s =
        std::max<std::int64_t>(0, std::int64_t{p} + 3 + den_bits - bit_length(coef));
    ScratchLimbs quot;
    bool sticky = false;
    if (!divide_shifted(coef, static_cast<std::uint64_t>(s), den, quot, sticky)) return false;
    const LimbSpan qv = quot.span().first(normalized_size(quot.span()));
    store_rounded(f, negative, qv, std::int64_t{bit_length(qv)} - s + q, sticky);
    return true;
}

// Native patterns of 16, 32 and 64 bits as words, and back.
template <const DecimalFormat &F, class T>
T to_native(const Pattern<F> &w) {
    std::uint64_t v = w[0];
    if constexpr (F.words() > 1) v |= std::uint64_t{w[1]} << 32;
    return static_cast<T>(v);
}

template <const DecimalFormat &F>
Pattern<F> from_native(std::uint64_t v) {
    Pattern<F> w{};
    w[0] = static_cast<Limb>(v);
    if constexpr (F.words() > 1) w[1] = static_cast<Limb>(v >> 32);
    return w;
}

template <const DecimalFormat &F, class T>
void to_dec(const tvl_float *f, T *out) {
    if (out == nullptr || !usable(f)) return;
    *out = to_native<F, T>(encode<F>(f));
}

template <const DecimalFormat &F>
void to_dec_words(const tvl_float *f, std::uint32_t *out) {
    if (out == nullptr || !usable(f)) return;
    const Pattern<F> w = encode<F>(f);
    std::copy(w.begin(), w.end(), out);
}

template <const DecimalFormat &F>
bool from_dec(tvl_float *f, std::uint64_t bits) {
    return usable(f) && decode<F>(f, from_native<F>(bits).data());
}

template <const DecimalFormat &F>
bool from_dec_words(tvl_float *f, const std::uint32_t *words) {
    return usable(f) && words != nullptr && decode<F>(f, words);
}

}  // namespace

}  // namespace tvl::flt

extern "C" {

using namespace tvl::flt;

void tvl_float_to_dec16(const tvl_float *f, uint16_t *out) {
    to_dec<kDecimal16>(f, out);
}
void tvl_float_to_dec32(const tvl_float *f, uint32_t *out) {
    to_dec<kDecimal32>(f, out);
}
void tvl_float_to_dec64(const tvl_float *f, uint64_t *out) {
    to_dec<kDecimal64>(f, out);
}
void tvl_float_to_dec128(const tvl_float *f, uint32_t *out) {
    to_dec_words<kDecimal128>(f, out);
}
void tvl_float_to_dec256(const tvl_float *f, uint32_t *out) {
    to_dec_words<kDecimal256>(f, out);
}

bool tvl_float_from_dec16(tvl_float *f, uint16_t bits) {
    return from_dec<kDecimal16>(f, bits);
}
bool tvl_float_from_dec32(tvl_float *f, uint32_t bits) {
    return from_dec<kDecimal32>(f, bits);
}
bool tvl_float_from_dec64(tvl_float *f, uint64_t bits) {
    return from_dec<kDecimal64>(f, bits);
}
bool tvl_float_from_dec128(tvl_float *f, const uint32_t *words) {
    return from_dec_words<kDecimal128>(f, words);
}
bool tvl_float_from_dec256(tvl_float *f, const uint32_t *words) {
    return from_dec_words<kDecimal256>(f, words);
}

}  // extern "C"
