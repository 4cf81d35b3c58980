// Big floats as text: every significand bit in hexadecimal, or the shortest decimal that reads
// back to the same float.
//
// Reading a decimal back rounds it to the float's precision P, to nearest with ties to even.
// So a decimal d reads back to v = M * 2^(b - P) exactly when d lies in v's rounding interval:
// from the midpoint below v to the midpoint above it, both ends included when M is even (a
// midpoint goes to the even neighbour). At the bottom of a binade (M = 2^(P-1)) the neighbour
// below lies at the finer spacing of the binade under it, so the lower end is only a quarter
// unit below v; that midpoint always reads back as v, since its lower neighbour 2^P - 1 is odd.
// (At P = 1 the upper midpoint goes up: both neighbours have the odd significand 1, and the
// reader's tie rule keeps the odd kept value only when rounding up.)
//
// The search for the shortest digits decides "reads back" by comparing the candidate with that
// interval, exactly. This is what reading back through the text conversion gives wherever the
// reader can represent the candidate; beyond its range (values past about 10^+-9864, or digit
// strings past 32768 bits) the reader saturates and nothing would read back, while the interval
// still yields the shortest correctly rounded digits.
#include "bignum/float_print.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "base/alloc.h"
#include "bignum/bigint.h"
#include "bignum/digits.h"
#include "bignum/float_core.h"
#include "tvlr.h"

namespace tvl::flt {

namespace {

__extension__ using U128 = unsigned __int128;

constexpr std::int64_t kMaxDecimalExponent = 1000000000;

// ---------------------------------------------------------------------------------------
// Text output
// ---------------------------------------------------------------------------------------

// Appends to a caller's buffer, keeping room for the NUL; finish() reports -1 when the text
// and its NUL did not fit.
class TextOut {
  public:
    TextOut(char *buf, std::size_t size) : buf_(buf), size_(size) {}

    void put(char c) {
        if (pos_ + 1 < size_) buf_[pos_] = c;
        ++pos_;
    }
    void put(const char *s, std::size_t n) {
        if (pos_ + 1 < size_) std::memcpy(buf_ + pos_, s, std::min(n, size_ - 1 - pos_));
        pos_ += n;
    }
    void put_uint(std::uint64_t v) {
        char tmp[20];
        std::size_t n = 0;
        do {
            tmp[sizeof tmp - 1 - n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v != 0);
        put(tmp + sizeof tmp - n, n);
    }
    // The exponent field: its sign, always, then the magnitude without leading zeros.
    void put_exponent(std::int64_t e) {
        put(e < 0 ? '-' : '+');
        put_uint(e < 0 ? 0 - static_cast<std::uint64_t>(e) : static_cast<std::uint64_t>(e));
    }
    int finish() {
        if (pos_ >= size_ || pos_ > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
            return -1;
        }
        buf_[pos_] = '\0';
        return static_cast<int>(pos_);
    }

  private:
    char *buf_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// d.ddd...e+x from significant digits (no leading or trailing zeros) and the decimal exponent
// of the first one.
int put_decimal(TextOut &out, bool negative, const char *digits, std::size_t count,
                std::int64_t exp10) {
    if (negative) out.put('-');
    out.put(digits[0]);
    if (count > 1) {
        out.put('.');
        out.put(digits + 1, count - 1);
    }
    out.put('e');
    out.put_exponent(exp10);
    return out.finish();
}

// ---------------------------------------------------------------------------------------
// Significand checks
// ---------------------------------------------------------------------------------------

bool bit_of(const std::uint64_t *words, std::int64_t i) {
    return i >= 0 && ((words[i / 64] >> (i % 64)) & 1u) != 0;
}

// A regular number's significand has bit P - 1 set and nothing above it.
bool normalized(const tvl_float *f) {
    const std::uint32_t p = f->precision;
    const std::uint32_t top_word = (p - 1) / 64;
    const std::uint32_t top_bit = (p - 1) % 64;
    const std::uint64_t above = top_bit == 63 ? 0 : ~std::uint64_t{0} << (top_bit + 1);
    return bit_of(f->words, p - 1) && (f->words[top_word] & above) == 0;
}

// ---------------------------------------------------------------------------------------
// Base 16: exact
// ---------------------------------------------------------------------------------------

// 1.hhh...p+x: the top bit is the "1", each further digit takes the next four bits (bits
// below bit 0 read as zero), trailing zero digits are dropped, and the power of two is that of
// the top bit, exponent - 1.
int write_hex(const tvl_float *f, bool negative, TextOut &out) {
    const std::int64_t p = f->precision;
    std::int64_t lowest = p - 1;  // the lowest set bit of M
    for (std::int64_t w = 0; w <= (p - 2) / 64 && p > 1; ++w) {
        if (f->words[w] != 0) {
            lowest = std::min<std::int64_t>(w * 64 + std::countr_zero(f->words[w]), p - 1);
            break;
        }
    }
    // Digit k covers bits p - 2 - 4k down to p - 5 - 4k; the last nonzero one holds `lowest`.
    const std::int64_t digits = lowest < p - 1 ? (p - 2 - lowest) / 4 + 1 : 0;
    if (negative) out.put('-');
    out.put('1');
    if (digits > 0) out.put('.');
    for (std::int64_t k = 0; k < digits; ++k) {
        const std::int64_t hi = p - 2 - 4 * k;
        const unsigned v = (bit_of(f->words, hi) ? 8u : 0u) | (bit_of(f->words, hi - 1) ? 4u : 0u) |
                           (bit_of(f->words, hi - 2) ? 2u : 0u) |
                           (bit_of(f->words, hi - 3) ? 1u : 0u);
        out.put("0123456789abcdef"[v]);
    }
    out.put('p');
    // exponent - 1 cannot overflow: the lowest exponents are class markers.
    out.put_exponent(f->exponent - 1);
    return out.finish();
}

}  // namespace

// ---------------------------------------------------------------------------------------
// The decimal exponent estimate and the digit budget
// ---------------------------------------------------------------------------------------

// floor(b * log10 2) for |b| < 2^31. The constant is floor(log10(2) * 2^96); the product's
// error is below 2^-65, far less than the distance of b * log10 2 from the nearest integer
// for any such b != 0 (no fraction p / b with b < 3.5e9 comes within 1e-10 of log10 2).
std::int64_t floor_log10_pow2(std::int64_t b) {
    constexpr U128 kLog10Of2 = (U128{0x4d104d42u} << 64) | 0x7de7fbcc47c4acd6u;
    const std::uint64_t mag =
        b < 0 ? 0 - static_cast<std::uint64_t>(b) : static_cast<std::uint64_t>(b);
    const auto t = static_cast<std::int64_t>((U128{mag} * kLog10Of2) >> 96);
    return b < 0 ? -t - 1 : t;
}

// k with floor(log10 |v|) <= k <= floor(log10 |v|) + 3 for every v in [2^(b-1), 2^b). The two
// closed forms hold in their ranges (checked against exact powers); elsewhere floor(b log10 2)
// is at most one above.
std::int64_t decimal_exponent_estimate(std::int64_t b) {
    if (b >= 1 && b <= 2106) return (302 * b + 697) / 1000;
    if (b >= -66895 && b <= 0) return -((301 * (1 - b)) / 1000);
    return floor_log10_pow2(b);
}

namespace {

// W: the decimal digits that P bits need, ceil(0.302 P).
std::int64_t digit_budget(std::uint32_t precision) {
    return (302 * std::int64_t{precision} + 999) / 1000;
}

// ---------------------------------------------------------------------------------------
// Exact route: big integers of any length
// ---------------------------------------------------------------------------------------

constexpr std::array<Limb, 14> kPow5 = {1,       5,        25,        125,       625,
                                        3125,    15625,    78125,     390625,    1953125,
                                        9765625, 48828125, 244140625, 1220703125};
// The work buffers grow without the big integer's ceiling; this bound (512 MiB) only keeps a
// size computation from overflowing and is reported like exhausted memory.
constexpr std::uint64_t kMaxWorkLimbs = std::uint64_t{1} << 27;

}  // namespace

bool ScaledInt::compute(ConstLimbSpan x, std::int64_t shift, std::int64_t pow5) {
    const std::size_t xs = normalized_size(x);
    std::uint64_t cap = xs + 2;
    // 5^pow5 adds at most pow5 * log2(5) / 32 < pow5 * 75 / 1024 limbs, and one for rounding.
    if (pow5 > 0) cap += static_cast<std::uint64_t>(pow5) * 75 / 1024 + 1;
    if (shift > 0) cap += static_cast<std::uint64_t>(shift) / kLimbBits + 1;
    if (cap > kMaxWorkLimbs || !work_.reserve(static_cast<std::size_t>(cap), false)) {
        return false;
    }
    a_ = work_.data();
    len_ = xs;
    exact_ = true;
    std::memcpy(a_, x.data(), xs * sizeof(Limb));
    // floor(floor(y) / d) = floor(y / d), so truncating before dividing changes nothing.
    if (pow5 >= 0) {
        for (; pow5 >= 13; pow5 -= 13) multiply(kPow5[13]);
        if (pow5 > 0) multiply(kPow5[static_cast<std::size_t>(pow5)]);
        shift_by(shift);
    } else {
        shift_by(shift);
        for (pow5 = -pow5; pow5 >= 13; pow5 -= 13) divide(kPow5[13]);
        if (pow5 > 0) divide(kPow5[static_cast<std::size_t>(pow5)]);
    }
    return true;
}

bool ScaledInt::take_digits(char *out, std::size_t count) {
    std::size_t pos = count;
    while (len_ > 0) {
        Limb r = div_small(LimbSpan(a_, len_), 1000000000u);
        trim();
        for (int j = 0; j < 9 && (r != 0 || len_ != 0); ++j) {
            if (pos == 0) return false;
            out[--pos] = static_cast<char>('0' + r % 10);
            r /= 10;
        }
    }
    std::memset(out, '0', pos);
    return true;
}

void ScaledInt::trim() {
    while (len_ > 0 && a_[len_ - 1] == 0) --len_;
}

void ScaledInt::multiply(Limb m) {
    if (len_ == 0) return;
    const Limb carry = mul_add_small(LimbSpan(a_, len_), m);
    if (carry != 0) a_[len_++] = carry;
}

void ScaledInt::divide(Limb d) {
    if (len_ == 0) return;
    if (div_small(LimbSpan(a_, len_), d) != 0) exact_ = false;
    trim();
}

void ScaledInt::shift_by(std::int64_t s) {
    if (len_ == 0 || s == 0) return;
    if (s > 0) {
        const auto u = static_cast<std::uint64_t>(s);
        const auto whole = static_cast<std::size_t>(u / kLimbBits);
        const auto bits = static_cast<std::uint32_t>(u % kLimbBits);
        const Limb carry = shift_left(LimbSpan(a_, len_), ConstLimbSpan(a_, len_), bits);
        if (carry != 0) a_[len_++] = carry;
        std::memmove(a_ + whole, a_, len_ * sizeof(Limb));
        std::memset(a_, 0, whole * sizeof(Limb));
        len_ += whole;
        return;
    }
    const std::uint64_t u = 0 - static_cast<std::uint64_t>(s);
    if (u / kLimbBits >= len_) {
        exact_ = false;  // a nonzero value loses every bit
        len_ = 0;
        return;
    }
    const auto whole = static_cast<std::size_t>(u / kLimbBits);
    const auto bits = static_cast<std::uint32_t>(u % kLimbBits);
    for (std::size_t i = 0; i < whole; ++i) exact_ = exact_ && a_[i] == 0;
    if (bits != 0 && (a_[whole] & ((Limb{1} << bits) - 1)) != 0) exact_ = false;
    std::memmove(a_, a_ + whole, (len_ - whole) * sizeof(Limb));
    len_ -= whole;
    shift_right(LimbSpan(a_, len_), ConstLimbSpan(a_, len_), bits);
    trim();
}

namespace {

using Digits = mem::Scratch<char, 128>;

// One end of the rounding interval as a decimal integer in the unit of N (see below), with
// whether it is that integer exactly and whether the end itself reads back.
struct IntervalEnd {
    Digits digits;
    bool exact = false;
    bool included = false;
};

// The shortest-digits search of one value. All digit strings have the same length, `width`,
// and the same unit 10^-f, so that comparing them as strings compares them as numbers. The
// value's own digits N = floor(|v| * 10^f) sit in `n_` behind one leading '0', which takes
// the carry of a rounded-up candidate.
class DecimalSearch {
  public:
    DecimalSearch(const char *n, std::size_t width, std::size_t first, std::size_t last)
        : n_(n), width_(width), first_(first), last_(last) {}

    // Prepares the interval ends; false when memory cannot be had.
    bool prepare(ConstLimbSpan m, std::uint32_t precision, std::int64_t exponent, std::int64_t f) {
        // 4M - 2 and 4M + 2 (4M - 1 at the bottom of a binade) in units of 2^(exponent - P - 2).
        ScratchLimbs lo;
        ScratchLimbs hi;
        const std::size_t len = m.size() + 1;
        if (!lo.reserve_zeroed(len) || !hi.reserve_zeroed(len) || !candidate_.reserve(width_) ||
            !lower_.digits.reserve(width_) || !upper_.digits.reserve(width_)) {
            return false;
        }
        lo.data()[len - 1] = shift_left(lo.span().first(len - 1), m, 2);
        std::memcpy(hi.data(), lo.data(), len * sizeof(Limb));
        const bool bottom = is_power_of_two(m);  // M = 2^(P-1)
        sub(lo.span(), ConstLimbSpan(bottom ? &kOne : &kTwo, 1));
        add(hi.span(), ConstLimbSpan(&kTwo, 1));
        const bool even = (m[0] & 1u) == 0;
        lower_.included = even || bottom;
        upper_.included = even;
        // x * 2^(exponent - P - 2) * 10^f = x * 2^(exponent - P - 2 + f) * 5^f
        const std::int64_t shift = exponent - static_cast<std::int64_t>(precision) - 2 + f;
        return end_digits(lo.span(), shift, f, lower_) && end_digits(hi.span(), shift, f, upper_);
    }

    // The chosen candidate: its digits (significant, no trailing zeros) and the exponent of
    // its first digit relative to that of position `first_`.
    struct Choice {
        const char *digits;
        std::size_t count;
        std::int64_t carry;  // 1 when rounding up added a digit in front
    };

    Choice choose() {
        const std::size_t n = last_ - first_ + 1;
        // Reading back is monotone in the length: the down candidate of K + 1 digits lies
        // between that of K digits and v, the up candidate between v and that of K digits.
        std::size_t lo = 1;
        std::size_t hi = n;
        while (lo < hi) {
            const std::size_t k = lo + (hi - lo) / 2;
            if (reads_back(k, false) || reads_back(k, true)) {
                hi = k;
            } else {
                lo = k + 1;
            }
        }
        const std::size_t j = lo;
        // Round half to even on the digits: d is the first dropped digit, `tail` any nonzero
        // digit after it (up to the last significant one), `odd` the last kept digit.
        const char d = j < n ? n_[first_ + j] : '0';
        bool tail = false;
        for (std::size_t i = first_ + j + 1; i <= last_; ++i) tail = tail || n_[i] != '0';
        const bool odd = ((n_[first_ + j - 1] - '0') & 1) != 0;
        const bool prefer_up = d > '5' || (d == '5' && (tail || odd));
        // The preferred candidate if it reads back, else the other one; and where neither
        // would (not reached while the length search succeeds), the correctly rounded one.
        bool up = prefer_up;
        if (!reads_back(j, up) && reads_back(j, !up)) up = !up;
        build(j, up);
        const char *c = candidate_.data();
        std::size_t begin = first_ - 1;
        while (c[begin] == '0') ++begin;
        std::size_t end = first_ + j;
        while (c[end - 1] == '0') --end;
        return {c + begin, end - begin, static_cast<std::int64_t>(first_ - begin)};
    }

  private:
    static constexpr Limb kOne = 1;
    static constexpr Limb kTwo = 2;

    static bool is_power_of_two(ConstLimbSpan m) {
        const std::size_t top = normalized_size(m) - 1;
        for (std::size_t i = 0; i < top; ++i) {
            if (m[i] != 0) return false;
        }
        return std::has_single_bit(m[top]);
    }

    bool end_digits(ConstLimbSpan x, std::int64_t shift, std::int64_t pow5, IntervalEnd &end) {
        ScaledInt s;
        if (!s.compute(x, shift, pow5)) return false;
        end.exact = s.exact();
        const bool fits = s.take_digits(end.digits.data(), width_);
        TVL_ASSERT(fits);
        return true;
    }

    // The candidate of k digits: N's first k significant digits, plus one unit in the last
    // place when `up`, the rest zero.
    void build(std::size_t k, bool up) {
        char *c = candidate_.data();
        std::memcpy(c, n_, first_ + k);
        std::memset(c + first_ + k, '0', width_ - first_ - k);
        if (!up) return;
        std::size_t i = first_ + k;
        while (c[--i] == '9') c[i] = '0';
        ++c[i];
    }

    // Whether the candidate lies in the rounding interval. An end is a real number E given as
    // floor(E) and whether E is that integer; for an integer c, c > E iff c > floor(E), and
    // c < E iff c < floor(E) or (c = floor(E) and E is not an integer).
    bool reads_back(std::size_t k, bool up) {
        build(k, up);
        const char *c = candidate_.data();
        const int lo = std::memcmp(c, lower_.digits.data(), width_);
        if (lo < 0 || (lo == 0 && !(lower_.exact && lower_.included))) return false;
        const int hi = std::memcmp(c, upper_.digits.data(), width_);
        return hi < 0 || (hi == 0 && (!upper_.exact || upper_.included));
    }

    const char *n_;
    std::size_t width_;
    std::size_t first_;  // index of the first significant digit of N
    std::size_t last_;   // index of the last nonzero digit of N
    Digits candidate_;
    IntervalEnd lower_;
    IntervalEnd upper_;
};

int write_decimal_exact(const tvl_float *f, bool negative, TextOut &out) {
    const std::uint32_t p = f->precision;
    const std::int64_t b = f->exponent;
    if (b < -kMaxDecimalExponent || b > kMaxDecimalExponent) return -1;
    const std::int64_t w = digit_budget(p);
    const std::int64_t k = decimal_exponent_estimate(b);
    const std::int64_t scale = w + 3 - k;

    ScratchLimbs m;
    if (!m.reserve_zeroed(limbs_for(p))) return -1;
    words_to_limbs(f->words, words_for(p), m.span());

    // N = floor(|v| * 10^scale) has w + 4 digits, the first one standing for 10^k; they sit
    // behind one '0' at n[1 .. w + 4].
    const auto width = static_cast<std::size_t>(w + 5);
    Digits n;
    ScaledInt scaled;
    if (!n.reserve(width, false) || !scaled.compute(m.span(), b - p + scale, scale)) return -1;
    n.data()[0] = '0';
    const bool fits = scaled.take_digits(n.data() + 1, width - 1);
    TVL_ASSERT(fits);
    // The estimate is at most 3 above the true exponent, so the first significant digit is
    // among the first four and N has at least w + 1 significant digits.
    std::size_t first = 1;
    while (n.data()[first] == '0') ++first;
    TVL_ASSERT(first <= 4);
    std::size_t last = width - 1;
    while (n.data()[last] == '0') --last;
    const std::int64_t exp10 = k + 1 - static_cast<std::int64_t>(first);

    if (last == first) return put_decimal(out, negative, n.data() + first, 1, exp10);
    DecimalSearch search(n.data(), width, first, last);
    if (!search.prepare(m.span(), p, b, scale)) {
        // Without memory for the search, all significant digits of N.
        return put_decimal(out, negative, n.data() + first, last - first + 1, exp10);
    }
    const DecimalSearch::Choice c = search.choose();
    return put_decimal(out, negative, c.digits, c.count, exp10 + c.carry);
}

// ---------------------------------------------------------------------------------------
// Fast route for precisions up to 64
// ---------------------------------------------------------------------------------------
//
// With v = c * 2^q (2^(P-1) <= c < 2^P, q = exponent - P, P <= 64), scale everything by
// 10^-k, where k makes the interval's width (2^q, or 3/4 of it at the bottom of a binade) a
// number in [1, 10): X = |v| * 10^-k and Xl, Xr = the interval ends * 10^-k. The scaled
// interval then holds at least one integer and at most one multiple of 10.
//   - If it holds a multiple of 10 and X >= 10, that number is the answer: it is a candidate
//     of its own (shorter) length, and the other candidates of that length are 10 or more
//     away, outside. (Below 10, which only P <= 4 reaches, 10 is s + 1, of the same length as
//     s, and the next rule applies.)
//   - Otherwise the shortest length is that of s = floor(X): the candidates are s and s + 1,
//     at least one of them inside, and the rounding rule picks when both are.
// The rule looks at the digits of N = floor(|v| * 10^(W + 3 - k_est)) only (k_est the
// exponent estimate, W the digit budget of P), which go on for l = W + 3 + k - k_est digits
// after those of s; so a value just above the midpoint of s and s + 1 counts as a tie when the
// digits that would show it lie beyond N's last place. Over the route's exponents
// (-1100..1100) 1 <= l <= 4 at every precision up to 64 (enumerated), so N shows at least the
// digit after s.
//
// The scaled values come from a 128-bit approximation of 10^-k from above:
// g = ceil(10^-k * 2^(127 - e2)) with e2 = floor(log2 10^-k), so 2^127 <= g < 2^128 and g is
// too large by a factor below 1 + 2^-127 (exact for 0 <= -k <= 55, where 5^-k fits). With
// h = q + 1 + e2, which is 1..4 over the whole range, g * (4c << h) / 2^128 = 4X * (1 + eps).
// Each of the three products, for 4c and the ends 4c - 2 (4c - 1 at the bottom) and 4c + 2,
// gives its scaled value's integer part hi, 64 bits of fraction lo and a sticky bit for the
// rest. Up to P = 57, (4c + 2) << h < 2^64 and hi < 2^64: each is one 64x128-bit product.
// Above, hi takes up to 70 bits (X < 10 * 2^64), and the three are the one product g * c
// shifted, minus or plus g shifted, in 256 bits.
// The scaled values stay below 40 * 2^P, so the products exceed them by less than
// 40 * 2^(P - 127) < 2^(m - 64) with m = max(0, P - 57): hi.lo - 2^(m-64) < 4X < hi.lo + 2^-64
// (and likewise for the ends). So against any integer t:
//   hi < t gives 4X < t, hi > t gives 4X > t, hi = t with lo >= 2^m gives 4X > t,
// and hi = t with lo < 2^m is decided by lo and the sticky bit when g is exact. When g is not,
// but k >= 1 and 10^k < 2^(64 - m) (k <= 19 up to P = 57, k <= 17 at P = 64), 4X =
// 4c * 2^q / 10^k is a fraction with denominator 10^k (2^q >= 10 is an integer): if it is not
// the integer hi it is at least 10^-k > 2^(m - 64) away from it, so lo < 2^m means 4X = hi
// exactly. In the remaining case (lo < 2^m, g inexact, k outside that range) the route gives
// up; random values meet it with probability 2^(m - 64) per product.

namespace fast {

struct Pow10 {
    std::uint64_t hi;
    std::uint64_t lo;
    std::int32_t log2;  // floor(log2 10^n)
    bool exact;
};

// Unsigned integers of 1024 bits for building the table at compile time.
struct WideInt {
    static constexpr int kLimbs = 32;
    std::array<std::uint32_t, kLimbs> limb{};

    constexpr int bit_length() const {
        for (int i = kLimbs - 1; i >= 0; --i) {
            if (limb[i] != 0) return 32 * i + static_cast<int>(std::bit_width(limb[i]));
        }
        return 0;
    }
    constexpr std::uint32_t limb_at(int i) const {
        return i >= 0 && i < kLimbs ? limb[static_cast<std::size_t>(i)] : 0;
    }
    // The 64 bits from bit `pos` up; bits below bit 0 read as zero.
    constexpr std::uint64_t bits64(int pos) const {
        const int i = pos >= 0 ? pos / 32 : -((31 - pos) / 32);  // floor(pos / 32)
        const U128 window =
            U128{limb_at(i)} | U128{limb_at(i + 1)} << 32 | U128{limb_at(i + 2)} << 64;
        return static_cast<std::uint64_t>(window >> (pos - 32 * i));
    }
    constexpr bool any_below(int pos) const {
        for (int i = 0; i < pos / 32; ++i) {
            if (limb_at(i) != 0) return true;
        }
        return pos > 0 && pos % 32 != 0 && (limb_at(pos / 32) & ((1u << (pos % 32)) - 1)) != 0;
    }
    constexpr void mul(std::uint32_t m) {
        std::uint64_t carry = 0;
        for (auto &x : limb) {
            const std::uint64_t p = std::uint64_t{x} * m + carry;
            x = static_cast<std::uint32_t>(p);
            carry = p >> 32;
        }
    }
    constexpr void div(std::uint32_t d) {
        std::uint64_t r = 0;
        for (int i = kLimbs - 1; i >= 0; --i) {
            const std::uint64_t cur = (r << 32) | limb[i];
            limb[i] = static_cast<std::uint32_t>(cur / d);
            r = cur % d;
        }
    }
};

// The entry for 10^n = V * 2^z, where V is an integer, or for n < 0 the integer part of a
// number that is not an integer (`fraction`): its top 128 bits rounded up.
constexpr Pow10 make_entry(const WideInt &v, int z, bool fraction) {
    const int len = v.bit_length();
    const int shift = len - 128;
    std::uint64_t lo = v.bits64(shift);
    std::uint64_t hi = v.bits64(shift + 64);
    const bool inexact = fraction || v.any_below(shift);
    if (inexact && ++lo == 0) ++hi;
    return {hi, lo, len - 1 + z, !inexact};
}

constexpr int kMinPow = -331;  // n = -k over the route's exponents and precisions
constexpr int kMaxPow = 352;
constexpr int kQuotientBits = 960;  // 2^960 / 5^331 still has 191 bits

constexpr std::array<Pow10, kMaxPow - kMinPow + 1> make_table() {
    std::array<Pow10, kMaxPow - kMinPow + 1> t{};
    WideInt pow5;  // 5^n; 10^n = 5^n * 2^n
    pow5.limb[0] = 1;
    for (int n = 0; n <= kMaxPow; ++n) {
        t[static_cast<std::size_t>(n - kMinPow)] = make_entry(pow5, n, false);
        pow5.mul(5);
    }
    WideInt quot;  // floor(2^960 / 5^m); 10^-m = (2^960 / 5^m) * 2^(-960 - m)
    quot.limb[kQuotientBits / 32] = std::uint32_t{1} << (kQuotientBits % 32);
    for (int m = 1; m <= -kMinPow; ++m) {
        quot.div(5);  // floor(floor(y) / 5) = floor(y / 5)
        t[static_cast<std::size_t>(-m - kMinPow)] = make_entry(quot, -kQuotientBits - m, true);
    }
    return t;
}

constexpr std::array<Pow10, kMaxPow - kMinPow + 1> kPow10 = make_table();
static_assert(kPow10[0 - kMinPow].hi == std::uint64_t{1} << 63 && kPow10[0 - kMinPow].exact);
static_assert(kPow10[55 - kMinPow].exact && !kPow10[56 - kMinPow].exact);
static_assert(kPow10[1 - kMinPow].hi == std::uint64_t{10} << 60 && kPow10[1 - kMinPow].log2 == 3);

// floor(q log10 2) and floor(q log10 2 + log10(3/4)) for |q| <= 1200: 661971961083 / 2^41 is
// log10 2 and 274743187321 / 2^41 is -log10(3/4), both to 12 digits; checked against exact
// powers over that range.
constexpr std::int64_t floor_log10_pow2(std::int64_t q) {
    return (q * 661971961083) >> 41;
}
constexpr std::int64_t floor_log10_three_quarters_pow2(std::int64_t q) {
    return (q * 661971961083 - 274743187321) >> 41;
}

constexpr std::uint32_t kMaxPrecision = 64;
constexpr std::int64_t kMinExponent = -1100;
constexpr std::int64_t kMaxExponent = 1100;
// q = exponent - P runs from kMinExponent - 64 to kMaxExponent - 1.
static_assert(-floor_log10_three_quarters_pow2(kMinExponent - kMaxPrecision) <= kMaxPow &&
              -floor_log10_pow2(kMinExponent - kMaxPrecision) <= kMaxPow);
static_assert(-floor_log10_pow2(kMaxExponent - 1) >= kMinPow &&
              -floor_log10_three_quarters_pow2(kMaxExponent - 1) >= kMinPow);

constexpr std::array<std::uint64_t, 20> kPow10Small = [] {
    std::array<std::uint64_t, 20> t{};
    t[0] = 1;
    for (std::size_t i = 1; i < t.size(); ++i) t[i] = t[i - 1] * 10;
    return t;
}();

// hi.lo and sticky of a product over 2^128; hi is 64 bits wide up to precision 57 (the
// scaled values stay below 40 * 2^P), 128 bits above.
template <class Int>
struct Scaled {
    Int hi;
    std::uint64_t lo;
    bool sticky;
};

// The scaled values of 4c and of the interval's ends.
template <class Int>
struct Interval {
    Scaled<Int> x;
    Scaled<Int> lower;
    Scaled<Int> upper;
};

// Up to precision 57, (4c + 2) << h < 2^64: one 64x128-bit product for each value.
inline Scaled<std::uint64_t> scale(const Pow10 &g, std::uint64_t x) {
    const U128 low = U128{g.lo} * x;
    const U128 high = U128{g.hi} * x;
    const U128 mid = U128{static_cast<std::uint64_t>(high)} + (low >> 64);
    return {static_cast<std::uint64_t>(high >> 64) + static_cast<std::uint64_t>(mid >> 64),
            static_cast<std::uint64_t>(mid), static_cast<std::uint64_t>(low) != 0};
}

// Above, the products reach 198 bits: they are the one product g * c shifted, minus or plus g
// shifted, in 256 bits split at 2^128.
struct Wide {
    U128 top;
    U128 low;
};

inline Wide operator+(Wide a, Wide b) {
    const U128 low = a.low + b.low;
    return {a.top + b.top + (low < a.low ? 1 : 0), low};
}

inline Wide operator-(Wide a, Wide b) {
    return {a.top - b.top - (a.low < b.low ? 1 : 0), a.low - b.low};
}

// (y_hi * 2^64 + y_lo) * 2^s for 0 < s < 64 and y_hi < 2^128.
inline Wide shifted(U128 y_hi, std::uint64_t y_lo, int s) {
    return {y_hi >> (64 - s), ((y_hi << 64) | y_lo) << s};
}

inline Scaled<U128> split(const Wide &w) {
    return {w.top, static_cast<std::uint64_t>(w.low >> 64), static_cast<std::uint64_t>(w.low) != 0};
}

// g * (4c << h), g * ((4c - 2) << h) (4c - 1 at the bottom) and g * ((4c + 2) << h).
template <class Int>
Interval<Int> scale_interval(const Pow10 &g, std::uint64_t c, int h, bool bottom) {
    if constexpr (std::is_same_v<Int, std::uint64_t>) {
        const std::uint64_t cb = c << 2;
        return {scale(g, cb << h), scale(g, (cb - (bottom ? 1 : 2)) << h), scale(g, (cb + 2) << h)};
    } else {
        // g * (4c << h) = (g * c) << (h + 2), g * (2 << h) = g << (h + 1), g * (1 << h) = g << h.
        const U128 low = U128{g.lo} * c;
        const U128 high = U128{g.hi} * c + (low >> 64);
        const Wide mid = shifted(high, static_cast<std::uint64_t>(low), h + 2);
        const Wide half = shifted(g.hi, g.lo, h + 1);
        return {split(mid), split(mid - (bottom ? shifted(g.hi, g.lo, h) : half)),
                split(mid + half)};
    }
}

// The sign of (the scaled value) - t, where the route has made sure it is decided.
template <class Int>
int compare(const Scaled<Int> &s, Int t) {
    if (s.hi != t) return s.hi < t ? -1 : 1;
    return s.lo != 0 || s.sticky ? 1 : 0;
}

// The largest multiple of 10 <= v, for v < 2^68 (2^64 = 6 mod 10).
template <class Int>
Int round_down_to_ten(Int v) {
    if constexpr (std::is_same_v<Int, std::uint64_t>) {
        return v / 10 * 10;
    } else {
        const auto hi = static_cast<std::uint64_t>(v >> 64);
        return v - (6 * hi + static_cast<std::uint64_t>(v) % 10) % 10;
    }
}

// The shortest digits of c * 2^(b - p) (p <= 64, and p <= 57 for 64-bit Int) as an integer
// times 10^exp10; false when the route cannot decide (the exponent is out of its range, or a
// comparison is too close to call).
template <class Int>
bool shortest(std::uint64_t c, std::uint32_t p, std::int64_t b, Int &digits, std::int64_t &exp10) {
    if (b < kMinExponent || b > kMaxExponent) return false;
    const std::int64_t q = b - p;
    // Integers below 2^p: the interval reaches at most half a unit to either side, so it holds
    // no other integer, and the shortest digits are those of the integer itself.
    if (q <= 0 && q > -std::int64_t{p} && (c & ((std::uint64_t{1} << -q) - 1)) == 0) {
        digits = c >> -q;
        exp10 = 0;
        return true;
    }
    const bool bottom = c == std::uint64_t{1} << (p - 1);
    const std::int64_t k = bottom ? floor_log10_three_quarters_pow2(q) : floor_log10_pow2(q);
    const Pow10 &g = kPow10[static_cast<std::size_t>(-k - kMinPow)];
    Interval<Int> v = scale_interval<Int>(g, c, static_cast<int>(q + 1 + g.log2), bottom);
    // The error bound's margin, 2^(m - 64); 0 up to P = 57, all that 64-bit Int serves.
    const int m = std::is_same_v<Int, std::uint64_t> || p <= 57 ? 0 : static_cast<int>(p) - 57;
    if (!g.exact) {
        const bool near = (v.x.lo >> m) == 0 || (v.lower.lo >> m) == 0 || (v.upper.lo >> m) == 0;
        if (near && (k < 1 || k > 19 ||
                     kPow10Small[static_cast<std::size_t>(k)] > ~std::uint64_t{0} >> m)) {
            return false;
        }
        // lo < 2^m now means the integer hi exactly; with lo >= 2^m the value is above hi, and
        // the sticky bit does not matter.
        const auto settle = [&](Scaled<Int> &s) {
            if ((s.lo >> m) == 0) s.lo = 0;
            s.sticky = false;
        };
        settle(v.x);
        settle(v.lower);
        settle(v.upper);
    }

    const bool even = (c & 1u) == 0;
    const bool lower_included = even || bottom;
    const auto inside = [&](Int n) {
        const int lo = compare(v.lower, 4 * n);
        const int hi = compare(v.upper, 4 * n);
        return (lo < 0 || (lo == 0 && lower_included)) && (hi > 0 || (hi == 0 && even));
    };
    exp10 = k;
    const Int s = v.x.hi >> 2;
    if (s >= 10) {
        const Int ten = round_down_to_ten(v.upper.hi >> 2);  // the largest multiple of 10 <= Xr
        if (inside(ten)) {
            digits = ten;
            return true;
        }
    }
    const int half = compare(v.x, 4 * s + 2);
    bool up;
    if (half < 0) {
        up = false;
    } else if ((s & 1u) != 0) {
        up = true;
    } else if (half == 0) {
        up = false;
    } else {
        // s is even and X above the midpoint: up only if the digits up to N's last place show
        // it, i.e. frac(X) >= 1/2 + 10^-l with l = W + 3 + k - k_est digits after s.
        const std::int64_t l = digit_budget(p) + 3 + k - decimal_exponent_estimate(b);
        if (l < 1 || l > 18) return false;  // not reached: 1 <= l <= 4
        const U128 pow = kPow10Small[static_cast<std::size_t>(l)];
        // frac(X) * 2^66 lies in (f66 - 2^m, f66 + 1), as 4X in (hi.lo - 2^(m-64), hi.lo + 2^-64).
        const U128 f66 = (U128{static_cast<std::uint64_t>(v.x.hi & 3u)} << 64) | v.x.lo;
        const U128 a = f66 * pow;
        const U128 t = (pow << 65) + (U128{1} << 66);
        if (a >= t + (pow << m)) {
            up = true;
        } else if (a + pow <= t) {
            up = false;
        } else {
            return false;
        }
    }
    const Int pick = up ? s + 1 : s;
    const Int other = up ? s : s + 1;
    if (inside(pick)) {
        digits = pick;
    } else if (inside(other)) {
        digits = other;
    } else {
        return false;  // not reached: one of them lies inside
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// Doubles at precision 64
// ---------------------------------------------------------------------------------------
//
// A double held at precision 64 has c = m << 11 with 2^52 <= m < 2^53, and c is even, so both
// interval ends read back. With k, g and h as above, X = c * 2^q * 10^-k = m * G / 2^(117 - h)
// with G = 10^-k * 2^(127 - e2), the true value that g bounds from above. The half width of
// the interval is X / (2c), a quarter of it below at the bottom of a binade. So in units of
// 2^-116, with m' = m * 2^(h - 1) < 2^56,
//   X = m' * G,   Xr = X + G / 2^(13 - h),   Xl = X - G / 2^(13 - h) (14 - h at the bottom),
// and with g for G, X takes one 64x128-bit product, m' * g, below 2^184: its integer part s
// is the bits from 116 up, its fraction f the 116 bits below. The ends differ from X by less
// than 8, so f plus or minus the width in 128 bits gives their fractions and their integer
// parts relative to s. Where g is exact, all this is exact, and the bits of g that the shift
// drops say whether an end is an integer. Where it is not, each value is within 2^56 + 2 units
// of the computed one (17 units of the 64-bit fraction); one whose 64-bit fraction lies within
// 66 of an integer is that integer where k is small enough (below), and is left to the general
// route elsewhere, as are the two comparisons with the fraction of X that fall within that
// error.

// Whether a fraction of 64 bits lies within 66 units of an integer.
inline bool near_integer(std::uint64_t frac) {
    return frac + 66 <= 131;
}

// floor(2^63 + 2^64 / 10^l) for l = 1..4: the fraction 1/2 + 10^-l in units of 2^-64.
constexpr std::array<std::uint64_t, 5> kHalfAndPow10 = [] {
    std::array<std::uint64_t, 5> t{};
    std::uint64_t pow = 1;
    for (std::size_t l = 1; l < t.size(); ++l) {
        pow *= 10;
        t[l] = (std::uint64_t{1} << 63) + ~std::uint64_t{0} / pow;  // 2^64 / 10^l is no integer
    }
    return t;
}();

// The shortest digits of m * 2^(b - 53) at precision 64 (2^52 <= m < 2^53), as shortest<U128>
// gives them; false where this route cannot decide.
[[gnu::always_inline]] inline bool shortest_of_double(std::uint64_t m, std::int64_t b, U128 &digits,
                                                      std::int64_t &exp10) {
    if (b < kMinExponent || b > kMaxExponent) return false;
    const std::int64_t q = b - 64;
    const std::uint64_t c = m << 11;
    if (q <= 0 && q > -64 && (c & ((std::uint64_t{1} << -q) - 1)) == 0) {
        digits = c >> -q;
        exp10 = 0;
        return true;
    }
    const bool bottom = m == std::uint64_t{1} << 52;
    const std::int64_t k = bottom ? floor_log10_three_quarters_pow2(q) : floor_log10_pow2(q);
    const Pow10 &g = kPow10[static_cast<std::size_t>(-k - kMinPow)];
    const std::int64_t h = q + 1 + g.log2;
    if (h < 1 || h > 4) return false;  // not reached

    // X = m' * g: s and f.
    const std::uint64_t mh = m << (h - 1);
    const U128 low = U128{g.lo} * mh;
    const U128 high = U128{g.hi} * mh + (low >> 64);
    const U128 s = high >> 52;
    constexpr std::uint64_t kLow52 = (std::uint64_t{1} << 52) - 1;
    const U128 f =
        (U128{static_cast<std::uint64_t>(high) & kLow52} << 64) | static_cast<std::uint64_t>(low);
    // The width above, and below: whole units (below 2^120) and whether a part of one is left.
    const U128 gw = (U128{g.hi} << 64) | g.lo;
    const int up_shift = 13 - static_cast<int>(h);
    const U128 half = gw >> up_shift;
    const bool half_part = (g.lo & ((std::uint64_t{1} << up_shift) - 1)) != 0;
    const bool down_part = bottom ? (g.lo & ((std::uint64_t{2} << up_shift) - 1)) != 0 : half_part;
    const U128 take = (bottom ? gw >> (up_shift + 1) : half) + (down_part ? 1 : 0);
    // Xr = s + r / 2^116 and Xl = s - 16 + l / 2^116, floors in those units.
    const U128 r = f + half;
    const U128 l = f + (U128{1} << 120) - take;
    std::int64_t up_dist = static_cast<std::int64_t>(r >> 116);         // floor(Xr) - s
    std::int64_t down_dist = 16 - static_cast<std::int64_t>(l >> 116);  // s - floor(Xl)
    // The 64-bit fractions, and what lies below them.
    std::uint64_t x_frac = static_cast<std::uint64_t>(f >> 52);
    bool x_rest = (static_cast<std::uint64_t>(low) & kLow52) != 0;
    const auto r_frac = static_cast<std::uint64_t>(r >> 52);
    auto l_frac = static_cast<std::uint64_t>(l >> 52);
    bool l_rest = down_part || (static_cast<std::uint64_t>(l) & kLow52) != 0;
    std::uint64_t s_add = 0;
    if (!g.exact) {
        if (k >= 1 && k <= 20) {
            // 2^q >= 16 is an integer, so the three are fractions with denominator 5^k, and one
            // that is no integer lies at least 5^-k > 68 * 2^-64 away from every integer: one
            // that comes closer is that integer.
            constexpr std::uint64_t kMid = std::uint64_t{1} << 63;
            if (near_integer(x_frac)) {
                if (x_frac > kMid) {
                    s_add = 1;
                    --up_dist;
                    ++down_dist;
                }
                x_frac = 0;
                x_rest = false;
            }
            if (near_integer(r_frac) && r_frac > kMid) ++up_dist;
            if (near_integer(l_frac)) {
                if (l_frac > kMid) --down_dist;
                l_frac = 0;
                l_rest = false;
            }
        } else if (near_integer(x_frac) || near_integer(r_frac) || near_integer(l_frac)) {
            return false;
        }
    }

    exp10 = k;
    const bool lower_integer = l_frac == 0 && !l_rest;
    // Whether s + d >= Xl; s + d <= Xr holds for every d <= up_dist.
    const auto above_lower = [&](std::int64_t d) {
        return d + down_dist > 0 || (d + down_dist == 0 && lower_integer);
    };
    // The largest multiple of 10 <= Xr is s + ten (s >= c >= 2^63, as the width is at least
    // 1). s mod 10 comes from 2^64 = 6 (mod 10) and s < 2^68; v * 205 >> 11 is v / 10 for
    // v < 1029.
    const U128 base = s + s_add;
    const auto s64 = static_cast<std::uint64_t>(base);
    const auto v =
        static_cast<std::uint32_t>(6 * static_cast<std::uint64_t>(base >> 64) + s64 % 10);
    const std::int64_t last = v - 10 * ((v * 205) >> 11) + up_dist;  // floor(Xr) mod 10, or + 10
    const std::int64_t ten = up_dist - (last >= 10 ? last - 10 : last);
    if (above_lower(ten)) {
        digits = base + static_cast<U128>(ten);
        return true;
    }
    // Round half to even on the digits of N (see shortest()): above the midpoint with s even
    // means up only from 1/2 + 10^-l on. Unless g is exact, X may lie up to 17 units below
    // its fraction and one above.
    constexpr std::uint64_t kMid = std::uint64_t{1} << 63;
    if (!g.exact && x_frac - (kMid - 66) <= 132) return false;
    bool up;
    if (x_frac < kMid) {
        up = false;
    } else if ((s64 & 1u) != 0) {
        up = true;
    } else if (x_frac == kMid && !x_rest) {
        up = false;
    } else {
        const std::int64_t digits_after = digit_budget(64) + 3 + k - decimal_exponent_estimate(b);
        if (digits_after < 1 || digits_after > 4) return false;  // not reached: 1 to 4
        const std::uint64_t t = kHalfAndPow10[static_cast<std::size_t>(digits_after)];
        if (x_frac == t || (!g.exact && x_frac - (t - 66) <= 132)) return false;
        up = x_frac > t;
    }
    const bool up_inside = up_dist >= 1;
    const bool down_inside = above_lower(0);
    if (!up_inside && !down_inside) return false;  // not reached: one of them lies inside
    digits = base + ((up ? up_inside : !down_inside) ? 1 : 0);
    return true;
}

// The shortest digits of c * 2^(b - p), p <= 64, by the first of the routes above that decides.
bool shortest_digits(std::uint64_t c, std::uint32_t p, std::int64_t b, U128 &digits,
                     std::int64_t &exp10) {
    if (p <= 57) {
        std::uint64_t d = 0;
        if (!shortest<std::uint64_t>(c, p, b, d, exp10)) return false;
        digits = d;
        return true;
    }
    if (p == 64 && (c & 0x7FF) == 0 && shortest_of_double(c >> 11, b, digits, exp10)) return true;
    return shortest<U128>(c, p, b, digits, exp10);
}

// ---------------------------------------------------------------------------------------
// Text of the fast route
// ---------------------------------------------------------------------------------------

// Eight digits of a block as the values 0..9 from the lowest byte up, and their store as text.
using digits::detail::eight_digit_values;

inline void store_digits(char *out, std::uint64_t values) {
    const std::uint64_t chars = digits::detail::digit_chars(values);
    std::memcpy(out, &chars, 8);
}

// d.ddd...e+x as put_decimal writes it, for digits * 10^exp10 (0 < digits < 10^24, the
// exponent below 1000 in magnitude), with its NUL, into kTextRoom bytes; returns the length.
constexpr std::size_t kTextRoom = 64;

[[gnu::always_inline]] inline std::size_t format_shortest(char *out, bool negative, U128 digits,
                                                          std::int64_t exp10) {
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    constexpr std::uint64_t kTen8 = 100000000;
    constexpr std::uint64_t kTen16 = kTen8 * kTen8;
    // Blocks of eight digits, the first one nonzero.
    std::uint64_t block[3];
    int blocks = 1;
    if (digits >= kTen16) {
        // floor(d / 10^16) is floor((d >> 16) / 5^16), with d >> 16 < 2^64.
        const std::uint64_t top = static_cast<std::uint64_t>(digits >> 16) / 152587890625u;
        const std::uint64_t rest = static_cast<std::uint64_t>(digits) - top * kTen16;
        block[0] = eight_digit_values(top);
        block[1] = eight_digit_values(rest / kTen8);
        block[2] = eight_digit_values(rest % kTen8);
        blocks = 3;
    } else if (const auto d = static_cast<std::uint64_t>(digits); d >= kTen8) {
        block[0] = eight_digit_values(d / kTen8);
        block[1] = eight_digit_values(d % kTen8);
        blocks = 2;
    } else {
        block[0] = eight_digit_values(d);
    }
    // The digits from p + 1 on: the first block without its leading zeros, then the others
    // whole, each store overwriting what the one before wrote past its digits.
    char *p = out;
    *p = '-';
    p += negative ? 1 : 0;
    const int skip = std::countr_zero(block[0]) & ~7;
    store_digits(p + 1, block[0] >> skip);
    int count = 8 - skip / 8;
    for (int i = 1; i < blocks; ++i) {
        store_digits(p + 1 + count, block[i]);
        count += 8;
    }
    int last = blocks - 1;
    while (block[last] == 0) --last;
    const int significant = count - 8 * (blocks - 1 - last) - std::countl_zero(block[last]) / 8;
    // The first digit, the point, the rest.
    p[0] = p[1];
    p[1] = '.';
    p += significant > 1 ? significant + 1 : 1;
    *p++ = 'e';
    const std::int64_t e = exp10 + count - 1;
    *p++ = e < 0 ? '-' : '+';
    auto mag = static_cast<std::uint32_t>(e < 0 ? -e : e);
    if (mag >= 100) {
        *p++ = static_cast<char>('0' + mag / 100);
        mag %= 100;
    } else if (mag < 10) {
        *p++ = static_cast<char>('0' + mag);
        *p = '\0';
        return static_cast<std::size_t>(p - out);
    }
    std::memcpy(p, kPairs + 2 * mag, 2);
    p += 2;
    *p = '\0';
    return static_cast<std::size_t>(p - out);
}

// Writes the shortest digits of f (precision up to 64) when the route decides them.
bool try_write(const tvl_float *f, bool negative, TextOut &out, int &result) {
    U128 digits = 0;
    std::int64_t exp10 = 0;
    if (!shortest_digits(f->words[0], f->precision, f->exponent, digits, exp10)) return false;
    char text[kTextRoom];
    out.put(text, format_shortest(text, negative, digits, exp10));
    result = out.finish();
    return true;
}

}  // namespace fast

// ---------------------------------------------------------------------------------------
// Entry
// ---------------------------------------------------------------------------------------

enum class Route { automatic, exact, fast };

int float_to_text(const tvl_float *f, char *buf, std::size_t size, std::uint32_t base,
                  Route route) {
    if (buf == nullptr || size < 2 || (base != 10 && base != 16) || !usable(f)) return -1;
    TextOut out(buf, size);
    const bool negative = f->sign < 0;
    if (f->exponent == kExpNan) {
        out.put("nan", 3);
        return out.finish();
    }
    if (f->exponent == kExpInf || f->exponent == kExpZero) {
        if (negative) out.put('-');
        out.put(f->exponent == kExpInf ? "inf" : "0.0", 3);
        return out.finish();
    }
    if (!normalized(f)) return -1;
    if (base == 16) return write_hex(f, negative, out);
    if (route != Route::exact && f->precision <= fast::kMaxPrecision) {
        int n = 0;
        if (fast::try_write(f, negative, out, n)) return n;
    }
    if (route == Route::fast) return kUndecided;
    return write_decimal_exact(f, negative, out);
}

}  // namespace

int float_to_decimal_exact(const tvl_float *f, char *buf, std::size_t size) {
    return float_to_text(f, buf, size, 10, Route::exact);
}

int float_to_decimal_fast(const tvl_float *f, char *buf, std::size_t size) {
    return float_to_text(f, buf, size, 10, Route::fast);
}

int double_to_decimal(double x, std::uint32_t precision, char *out) {
    static_assert(kDoubleTextRoom >= fast::kTextRoom);
    if (precision < 1 || precision > 64) return kUndecided;
    const auto bits = std::bit_cast<std::uint64_t>(x);
    const bool negative = (bits >> 63) != 0;
    const auto biased = static_cast<std::int64_t>((bits >> 52) & 0x7FF);
    std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
    const char *special = nullptr;
    if (biased == 0x7FF) {
        special = m != 0 ? "nan" : negative ? "-inf" : "inf";
    } else if (biased == 0 && m == 0) {
        special = negative ? "-0.0" : "0.0";
    }
    if (special != nullptr) {
        const std::size_t n = std::strlen(special);
        std::memcpy(out, special, n + 1);
        return static_cast<int>(n);
    }
    // |x| = m * 2^(b - 53) with 2^52 <= m < 2^53; a subnormal is normalised. Below 53 bits m
    // is rounded to nearest, ties to even, as tvl_float_from_double stores it.
    std::int64_t b = biased - 1022;
    if (biased != 0) {
        m |= std::uint64_t{1} << 52;
    } else {
        const int t = std::countl_zero(m) - 11;
        m <<= t;
        b = -1021 - t;
    }
    std::uint64_t c = m << (precision >= 53 ? precision - 53 : 0);
    if (precision < 53) {
        const std::uint32_t k = 53 - precision;
        const std::uint64_t half = std::uint64_t{1} << (k - 1);
        const std::uint64_t rest = m & ((half << 1) - 1);
        c = m >> k;
        if (rest > half || (rest == half && (c & 1u) != 0)) ++c;
        if (c >> precision != 0) {
            c >>= 1;
            ++b;
        }
    }
    U128 digits = 0;
    std::int64_t exp10 = 0;
    // At precision 64 the route of shortest_digits for doubles is taken here, inlined: through
    // shortest_digits it costs a call and the tests that c came from a double.
    if (precision == 64 ? !fast::shortest_of_double(m, b, digits, exp10) &&
                              !fast::shortest<U128>(c, precision, b, digits, exp10)
                        : !fast::shortest_digits(c, precision, b, digits, exp10)) {
        return kUndecided;
    }
    return static_cast<int>(fast::format_shortest(out, negative, digits, exp10));
}

}  // namespace tvl::flt

extern "C" {

int tvl_float_to_str(const tvl_float *f, char *buf, size_t size, uint32_t base) {
    return tvl::flt::float_to_text(f, buf, size, base, tvl::flt::Route::automatic);
}

size_t tvl_float_str_bufsize(uint32_t precision, uint32_t base) {
    if (base == 10) return static_cast<size_t>(std::uint64_t{151} * precision / 500 + 72);
    // Bases below 2 have no digit width; they get the size of base 2.
    const std::uint32_t k = base < 2 ? 1 : static_cast<std::uint32_t>(std::bit_width(base)) - 1;
    return precision / k + 72;
}

}  // extern "C"
