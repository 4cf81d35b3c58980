// The big integer: limb operations, the growth rule and the exported arithmetic.
#include "bignum/bigint.h"

#include <cstring>
#include <limits>
#include <type_traits>

#include "base/alloc.h"

namespace tvl {

// ---------------------------------------------------------------------------------------
// Limb-level operations
// ---------------------------------------------------------------------------------------

namespace {

constexpr Limb lo(std::uint64_t x) {
    return static_cast<Limb>(x);
}

}  // namespace

std::uint32_t bit_length(ConstLimbSpan a) {
    const std::size_t n = normalized_size(a);
    if (n == 0) return 0;
    return static_cast<std::uint32_t>(kLimbBits * (n - 1)) + limb_bit_length(a[n - 1]);
}

int compare(ConstLimbSpan a, ConstLimbSpan b) {
    const std::size_t na = normalized_size(a);
    const std::size_t nb = normalized_size(b);
    if (na != nb) return na < nb ? -1 : 1;
    for (std::size_t i = na; i-- > 0;) {
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

Limb add_small(LimbSpan a, Limb v) {
    std::uint64_t carry = v;
    for (std::size_t i = 0; i < a.size() && carry != 0; ++i) {
        const std::uint64_t s = std::uint64_t{a[i]} + carry;
        a[i] = lo(s);
        carry = s >> 32;
    }
    return static_cast<Limb>(carry);
}

Limb mul_add_small(LimbSpan a, Limb m, Limb add) {
    std::uint64_t carry = add;
    for (Limb &x : a) {
        const std::uint64_t p = std::uint64_t{x} * m + carry;
        x = lo(p);
        carry = p >> 32;
    }
    return static_cast<Limb>(carry);
}

Limb div_small(LimbSpan a, Limb d) {
    std::uint64_t rem = 0;
    for (std::size_t i = a.size(); i-- > 0;) {
        const std::uint64_t cur = (rem << 32) | a[i];
        a[i] = lo(cur / d);
        rem = cur % d;
    }
    return static_cast<Limb>(rem);
}

Limb sub(LimbSpan a, ConstLimbSpan b) {
    std::uint64_t borrow = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const std::uint64_t d = std::uint64_t{a[i]} - (i < b.size() ? b[i] : 0) - borrow;
        a[i] = lo(d);
        borrow = (d >> 32) & 1;
    }
    return static_cast<Limb>(borrow);
}

Limb add(LimbSpan a, ConstLimbSpan b) {
    std::uint64_t carry = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const std::uint64_t s = std::uint64_t{a[i]} + (i < b.size() ? b[i] : 0) + carry;
        a[i] = lo(s);
        carry = s >> 32;
    }
    return static_cast<Limb>(carry);
}

Limb shift_left(LimbSpan dst, ConstLimbSpan src, std::uint32_t s) {
    if (s == 0) {
        if (dst.data() != src.data()) std::memmove(dst.data(), src.data(), src.size_bytes());
        return 0;
    }
    Limb carry = 0;
    for (std::size_t i = 0; i < src.size(); ++i) {
        const Limb x = src[i];
        dst[i] = (x << s) | carry;
        carry = x >> (kLimbBits - s);
    }
    return carry;
}

void shift_right(LimbSpan dst, ConstLimbSpan src, std::uint32_t s) {
    const std::size_t n = src.size();
    if (s == 0) {
        if (dst.data() != src.data()) std::memmove(dst.data(), src.data(), src.size_bytes());
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const Limb next = i + 1 < n ? src[i + 1] : 0;
        dst[i] = (src[i] >> s) | (next << (kLimbBits - s));
    }
}

namespace {

// The double-width type of a word: partial dividends and products.
template <class W>
using DoubleOf = std::conditional_t<sizeof(W) == 4, std::uint64_t, WideWord>;

// a[0..k) -= q * v[0..k); returns the word still to subtract at a[k]. The borrow of each
// word joins the carry into the next, which still fits a word: a product's high word
// reaches its maximum only with a zero low word, which borrows nothing. Kept out of line so
// that the loop gets the registers to itself.
template <class W>
[[gnu::noinline]] W submul(W *a, const W *v, std::size_t k, W q) {
    using D = DoubleOf<W>;
    constexpr unsigned kBits = sizeof(W) * 8;
    W carry = 0;
    for (std::size_t i = 0; i < k; ++i) {
        const D p = D{q} * v[i];
        const W low = static_cast<W>(p) + carry;
        const W high = static_cast<W>(p >> kBits) + (low < carry ? 1 : 0);
        const W x = a[i];
        a[i] = x - low;
        carry = high + (x < low ? 1 : 0);
    }
    return carry;
}

}  // namespace

template <class W>
void divide_normalized_words(std::span<W> u, std::span<const W> v, std::span<W> q) {
    using D = DoubleOf<W>;
    constexpr unsigned kBits = sizeof(W) * 8;
    constexpr D kBase = D{1} << kBits;
    const std::size_t k = v.size();
    const std::size_t m = u.size() - 1;
    const W y = v[k - 1];
    const D z = k >= 2 ? v[k - 2] : 0;
    // 64-bit words divide by multiplying with the reciprocal of the top divisor word.
    [[maybe_unused]] Word inv = 0;
    if constexpr (sizeof(W) == 8) inv = reciprocal(y);

    for (std::size_t j = m - k + 1; j-- > 0;) {
        const W t1 = u[j + k];
        const W t0 = u[j + k - 1];
        const D t2 = k >= 2 ? u[j + k - 2] : 0;

        // Estimate the quotient digit from the top two dividend digits, then correct it
        // with the third: afterwards it is exact or one too large.
        D qhat;
        D rhat;
        if (t1 < y) {
            if constexpr (sizeof(W) == 8) {
                Word r = 0;
                qhat = divide_2by1(t1, t0, y, inv, r);
                rhat = r;
            } else {
                const D num = (D{t1} << kBits) | t0;
                qhat = num / y;
                rhat = num % y;
            }
        } else {
            qhat = kBase - 1;
            rhat = D{t0} + y;
        }
        while (rhat < kBase && qhat * z > ((rhat << kBits) | t2)) {
            --qhat;
            rhat += y;
        }

        // u[j .. j+k] -= qhat * v
        const W carry = submul(&u[j], v.data(), k, static_cast<W>(qhat));
        const W x = u[j + k];
        u[j + k] = x - carry;
        const bool borrow = carry > x;

        // The estimate was one too large: add the divisor back once (the carry out of the
        // top digit cancels the borrow).
        if (borrow) {
            --qhat;
            W cy = 0;
            for (std::size_t i = 0; i < k; ++i) {
                const D s = D{u[i + j]} + v[i] + cy;
                u[i + j] = static_cast<W>(s);
                cy = static_cast<W>(s >> kBits);
            }
            u[j + k] = static_cast<W>(u[j + k] + cy);
        }
        q[j] = static_cast<W>(qhat);
    }
}

template void divide_normalized_words<Limb>(std::span<Limb>, std::span<const Limb>,
                                            std::span<Limb>);
template void divide_normalized_words<Word>(std::span<Word>, std::span<const Word>,
                                            std::span<Word>);

void divide_normalized(LimbSpan u, ConstLimbSpan v, LimbSpan q) {
    divide_normalized_words<Limb>(u, v, q);
}

// ---------------------------------------------------------------------------------------
// Record helpers
// ---------------------------------------------------------------------------------------

bool reserve(tvl_int *n, std::uint32_t needed) {
    if (needed > kMaxLimbs) return false;
    if (needed <= n->capacity) return true;
    if (n->owned == 0) return false;
    std::uint64_t grown = n->capacity == 0 ? 8 : std::uint64_t{n->capacity} * 2;
    if (grown < needed) grown = needed;
    if (grown > kMaxLimbs) grown = kMaxLimbs;
    const auto cap = static_cast<std::uint32_t>(grown);
    void *p = tvl::mem::reallocate(n->limbs, std::size_t{cap} * sizeof(Limb));
    if (p == nullptr) return false;
    n->limbs = static_cast<Limb *>(p);
    std::memset(n->limbs + n->capacity, 0, std::size_t{cap - n->capacity} * sizeof(Limb));
    n->capacity = cap;
    return true;
}

void extend_zeroed(tvl_int *n, std::uint32_t len) {
    if (len > n->length) {
        std::memset(n->limbs + n->length, 0, std::size_t{len - n->length} * sizeof(Limb));
    }
    n->length = len;
}

void normalize(tvl_int *n, bool keep_sign) {
    n->length = static_cast<std::uint32_t>(normalized_size(limbs_of(n)));
    if (n->length == 0 && !keep_sign) n->negative = 0;
}

bool assign(tvl_int *n, ConstLimbSpan src, bool negative) {
    const std::size_t len = normalized_size(src);
    // When src lies in n's own buffer, len fits the capacity and reserve() keeps the buffer.
    if (len > kMaxLimbs || !reserve(n, static_cast<std::uint32_t>(len))) return false;
    if (len > 0) std::memmove(n->limbs, src.data(), len * sizeof(Limb));
    n->length = static_cast<std::uint32_t>(len);
    n->negative = negative && len > 0 ? 1 : 0;
    return true;
}

}  // namespace tvl

// ---------------------------------------------------------------------------------------
// Exported functions
// ---------------------------------------------------------------------------------------

using tvl::ConstLimbSpan;
using tvl::kMaxBits;
using tvl::kMaxLimbs;
using tvl::Limb;
using tvl::limbs_of;
using tvl::usable;

namespace {

// n := (negative ? -1 : 1) * magnitude, in the two limbs the native family always reserves.
bool set_native(tvl_int *n, std::uint64_t magnitude, bool negative) {
    if (!usable(n)) return false;
    n->length = 0;
    n->negative = 0;
    if (magnitude == 0) return true;
    if (!tvl::reserve(n, 2)) return false;
    n->limbs[0] = static_cast<Limb>(magnitude);
    n->limbs[1] = static_cast<Limb>(magnitude >> 32);
    n->length = n->limbs[1] != 0 ? 2 : 1;
    n->negative = negative ? 1 : 0;
    return true;
}

template <typename T>
bool from_native(tvl_int *n, T v) {
    if constexpr (std::is_signed_v<T>) {
        const auto wide = static_cast<std::int64_t>(v);
        // The magnitude of the most negative value is computed without overflow.
        const std::uint64_t mag = wide < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(wide)
                                           : static_cast<std::uint64_t>(wide);
        return set_native(n, mag, wide < 0);
    } else {
        return set_native(n, static_cast<std::uint64_t>(v), false);
    }
}

template <typename T>
bool to_native(const tvl_int *n, T *out) {
    if (!usable(n) || out == nullptr) return false;
    const ConstLimbSpan a = tvl::magnitude(n);
    if (a.size() > 2) return false;
    std::uint64_t mag = 0;
    if (!a.empty()) mag = a[0];
    if (a.size() == 2) mag |= std::uint64_t{a[1]} << 32;
    const bool negative = n->negative != 0 && mag != 0;

    using U = std::make_unsigned_t<T>;
    constexpr std::uint64_t kMaxPositive = std::numeric_limits<T>::max();
    if constexpr (std::is_unsigned_v<T>) {
        if (negative || mag > kMaxPositive) return false;
        *out = static_cast<T>(mag);
    } else {
        if (!negative) {
            if (mag > kMaxPositive) return false;
            *out = static_cast<T>(mag);
        } else {
            if (mag > kMaxPositive + 1) return false;
            // -mag in two's complement of the target width.
            *out = static_cast<T>(static_cast<U>(U{0} - static_cast<U>(mag)));
        }
    }
    return true;
}

}  // namespace

extern "C" {

tvl_int *tvl_int_alloc(void) {
    auto *n = static_cast<tvl_int *>(tvl::mem::allocate_zeroed(1, sizeof(tvl_int)));
    if (n != nullptr) n->owned = 1;
    return n;
}

void tvl_int_free(tvl_int *n) {
    if (n == nullptr) return;
    if (n->owned != 0) tvl::mem::release(n->limbs);
    tvl::mem::release(n);
}

void tvl_int_zero(tvl_int *n) {
    if (n == nullptr) return;
    n->length = 0;
    n->negative = 0;
}

void tvl_int_norm(tvl_int *n) {
    if (usable(n)) tvl::normalize(n);
}

bool tvl_int_is_zero(const tvl_int *n) {
    if (n == nullptr) return true;
    if (!usable(n)) return n->length == 0;
    return tvl::magnitude(n).empty();
}

bool tvl_int_copy(tvl_int *dst, const tvl_int *src) {
    if (dst == nullptr || src == nullptr) return false;
    if (dst == src) return true;
    if (!usable(dst) || !usable(src)) return false;
    return tvl::assign(dst, tvl::magnitude(src), src->negative != 0);
}

bool tvl_int_from_uint64(tvl_int *n, uint64_t v) {
    return from_native(n, v);
}
bool tvl_int_from_int64(tvl_int *n, int64_t v) {
    return from_native(n, v);
}
bool tvl_int_from_uint32(tvl_int *n, uint32_t v) {
    return from_native(n, v);
}
bool tvl_int_from_int32(tvl_int *n, int32_t v) {
    return from_native(n, v);
}
bool tvl_int_from_uint16(tvl_int *n, uint16_t v) {
    return from_native(n, v);
}
bool tvl_int_from_int16(tvl_int *n, int16_t v) {
    return from_native(n, v);
}
bool tvl_int_from_uint8(tvl_int *n, uint8_t v) {
    return from_native(n, v);
}
bool tvl_int_from_int8(tvl_int *n, int8_t v) {
    return from_native(n, v);
}

bool tvl_int_to_uint64(const tvl_int *n, uint64_t *out) {
    return to_native(n, out);
}
bool tvl_int_to_int64(const tvl_int *n, int64_t *out) {
    return to_native(n, out);
}
bool tvl_int_to_uint32(const tvl_int *n, uint32_t *out) {
    return to_native(n, out);
}
bool tvl_int_to_int32(const tvl_int *n, int32_t *out) {
    return to_native(n, out);
}
bool tvl_int_to_uint16(const tvl_int *n, uint16_t *out) {
    return to_native(n, out);
}
bool tvl_int_to_int16(const tvl_int *n, int16_t *out) {
    return to_native(n, out);
}
bool tvl_int_to_uint8(const tvl_int *n, uint8_t *out) {
    return to_native(n, out);
}
bool tvl_int_to_int8(const tvl_int *n, int8_t *out) {
    return to_native(n, out);
}

bool tvl_int_add_u32(tvl_int *n, uint32_t v) {
    if (!usable(n)) return false;
    if (v == 0) return true;
    tvl::normalize(n);
    const Limb carry = tvl::add_small(limbs_of(n), v);
    if (carry != 0) {
        if (!tvl::reserve(n, n->length + 1)) return false;
        n->limbs[n->length++] = carry;
    }
    return true;
}

bool tvl_int_mul_u32(tvl_int *n, uint32_t v) {
    if (!usable(n)) return false;
    if (v == 0) {
        n->length = 0;
        n->negative = 0;
        return true;
    }
    tvl::normalize(n);
    const Limb carry = tvl::mul_add_small(limbs_of(n), v);
    if (carry != 0) {
        if (!tvl::reserve(n, n->length + 1)) return false;
        n->limbs[n->length++] = carry;
    }
    return true;
}

bool tvl_int_mul_pow10(tvl_int *n, int e) {
    static constexpr std::uint32_t kPow10[10] = {1,      10,      100,      1000,      10000,
                                                 100000, 1000000, 10000000, 100000000, 1000000000};
    if (!usable(n)) return false;
    if (e <= 0) return true;
    tvl::normalize(n);
    if (n->length == 0) return true;
    for (; e >= 9; e -= 9) {
        if (!tvl_int_mul_u32(n, kPow10[9])) return false;
    }
    return e == 0 || tvl_int_mul_u32(n, kPow10[e]);
}

uint32_t tvl_int_div_u32(tvl_int *n, uint32_t d) {
    if (!usable(n) || d == 0) return 0xFFFFFFFFu;
    const Limb rem = tvl::div_small(limbs_of(n), d);
    tvl::normalize(n);
    return rem;
}

bool tvl_int_shl(tvl_int *n, int bits) {
    if (n == nullptr) return true;
    if (!usable(n)) return false;
    tvl::normalize(n);
    if (n->length == 0 || bits <= 0) return true;

    const auto whole = static_cast<std::uint32_t>(bits) / tvl::kLimbBits;
    const auto part = static_cast<std::uint32_t>(bits) % tvl::kLimbBits;
    const std::uint32_t len = n->length;
    const bool carry_limb = part != 0 && (n->limbs[len - 1] >> (tvl::kLimbBits - part)) != 0;
    const std::uint64_t needed = std::uint64_t{len} + whole + (carry_limb ? 1 : 0);
    if (needed > kMaxLimbs) return false;
    if (!tvl::reserve(n, static_cast<std::uint32_t>(needed))) return false;

    const Limb carry = tvl::shift_left(limbs_of(n), limbs_of(n), part);
    if (carry != 0) n->limbs[len] = carry;
    const std::uint32_t shifted = len + (carry != 0 ? 1 : 0);
    if (whole != 0) {
        std::memmove(n->limbs + whole, n->limbs, std::size_t{shifted} * sizeof(Limb));
        std::memset(n->limbs, 0, std::size_t{whole} * sizeof(Limb));
    }
    n->length = shifted + whole;
    return true;
}

void tvl_int_shr(tvl_int *n, int bits) {
    if (!usable(n) || bits < 0) return;
    const auto whole = static_cast<std::uint32_t>(bits) / tvl::kLimbBits;
    const auto part = static_cast<std::uint32_t>(bits) % tvl::kLimbBits;
    if (whole >= n->length) {
        n->length = 0;
        n->negative = 0;
        return;
    }
    const std::uint32_t len = n->length - whole;
    if (whole != 0) std::memmove(n->limbs, n->limbs + whole, std::size_t{len} * sizeof(Limb));
    n->length = len;
    tvl::shift_right(limbs_of(n), limbs_of(n), part);
    tvl::normalize(n);
}

bool tvl_int_sub_inplace(tvl_int *a, const tvl_int *b) {
    if (!usable(a) || !usable(b)) return false;
    const ConstLimbSpan mb = tvl::magnitude(b);
    if (mb.size() > a->length) {
        // The missing top limbs of a are zero; they must fit a's buffer as it is.
        if (mb.size() > a->capacity) return false;
        tvl::extend_zeroed(a, static_cast<std::uint32_t>(mb.size()));
    }
    const Limb borrow = tvl::sub(limbs_of(a), mb);
    tvl::normalize(a, true);
    return borrow == 0;
}

bool tvl_int_divrem(tvl_int *q, tvl_int *r, const tvl_int *a, const tvl_int *b) {
    if (q == nullptr || r == nullptr || q == r) return false;
    if (q == a || q == b || r == a || r == b) return false;
    if (!usable(q) || !usable(r)) return false;
    tvl_int_zero(q);
    tvl_int_zero(r);
    if (!usable(a) || !usable(b)) return false;

    const ConstLimbSpan ua = tvl::magnitude(a);
    const ConstLimbSpan vb = tvl::magnitude(b);
    const std::size_t m = ua.size();
    const std::size_t k = vb.size();
    if (k == 0) return false;
    if (m == 0) return true;

    const bool a_negative = a->negative != 0;
    const bool q_negative = a_negative != (b->negative != 0);
    const int order = tvl::compare(ua, vb);
    if (order < 0) return tvl::assign(r, ua, a_negative);
    if (order == 0) {
        const Limb one = 1;
        return tvl::assign(q, ConstLimbSpan(&one, 1), q_negative);
    }

    if (k == 1) {
        if (!tvl::assign(q, ua, q_negative)) return false;
        const Limb rem = tvl::div_small(limbs_of(q), vb[0]);
        tvl::normalize(q);
        return tvl::assign(r, ConstLimbSpan(&rem, 1), a_negative);
    }

    // Scale both operands so that the divisor's top bit is set, divide, scale back.
    const std::uint32_t s = tvl::kLimbBits - tvl::limb_bit_length(vb[k - 1]);
    tvl::ScratchLimbs scratch;
    if (!scratch.reserve_zeroed(m + 1 + k)) return false;
    const tvl::LimbSpan u = scratch.span().first(m + 1);
    const tvl::LimbSpan v = scratch.span().subspan(m + 1, k);
    u[m] = tvl::shift_left(u, ua, s);
    tvl::shift_left(v, vb, s);

    const auto qlen = static_cast<std::uint32_t>(m - k + 1);
    if (!tvl::reserve(q, qlen)) return false;
    tvl::extend_zeroed(q, qlen);
    tvl::divide_normalized(u, v, limbs_of(q));
    tvl::normalize(q);
    q->negative = q_negative && q->length != 0 ? 1 : 0;

    const tvl::LimbSpan rem = u.first(k);
    tvl::shift_right(rem, rem, s);
    return tvl::assign(r, rem, a_negative);
}

uint32_t tvl_int_bitlen(const tvl_int *n) {
    if (!usable(n)) return 0;
    return tvl::bit_length(limbs_of(n));
}

bool tvl_int_getbit(const tvl_int *n, int i) {
    if (!usable(n) || i < 0) return false;
    const auto word = static_cast<std::uint32_t>(i) / tvl::kLimbBits;
    if (word >= n->length) return false;
    return ((n->limbs[word] >> (static_cast<std::uint32_t>(i) % tvl::kLimbBits)) & 1u) != 0;
}

bool tvl_int_setbit(tvl_int *n, int i) {
    if (!usable(n) || i < 0 || static_cast<std::uint32_t>(i) >= kMaxBits) return false;
    const auto word = static_cast<std::uint32_t>(i) / tvl::kLimbBits;
    if (word >= n->length) {
        if (!tvl::reserve(n, word + 1)) return false;
        tvl::extend_zeroed(n, word + 1);
    }
    n->limbs[word] |= Limb{1} << (static_cast<std::uint32_t>(i) % tvl::kLimbBits);
    return true;
}

int tvl_int_cmp(const tvl_int *a, const tvl_int *b) {
    // A null or unusable record compares as zero.
    const ConstLimbSpan ma = usable(a) ? tvl::magnitude(a) : ConstLimbSpan{};
    const ConstLimbSpan mb = usable(b) ? tvl::magnitude(b) : ConstLimbSpan{};
    const bool na = !ma.empty() && a->negative != 0;
    const bool nb = !mb.empty() && b->negative != 0;
    if (na != nb) return na ? -1 : 1;
    const int c = tvl::compare(ma, mb);
    return na ? -c : c;
}

}  // extern "C"
