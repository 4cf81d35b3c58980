// Number text to big float, to IEEE binary layouts and to binary64, correctly rounded.
//
// One scanner reads the text (white space, sign, "nan"/"inf", digits, '.', exponent) and folds
// the leading significant digits into a machine word on the way. Binary64 results first try
// the fast paths, which decide from that word alone and give up when they cannot prove the
// result; everything else goes the exact way: the digits become a fraction num / den * 2^t of
// big integers, which is divided to exactly two bits more than the target keeps, with a sticky
// bit for the remainder, and rounded to nearest, ties to even.
#include <array>
#include <bit>
#include <cfloat>
#include <cstring>
#include <limits>

#include "base/alloc.h"
#include "bignum/bigint.h"
#include "bignum/float_core.h"
#include "bignum/ieee_layout.h"

namespace tvl::flt {

namespace {

__extension__ typedef unsigned __int128 U128;

// ---------------------------------------------------------------------------------------
// Scanning
// ---------------------------------------------------------------------------------------

// Digit values of the characters: 0-9, then letters of either case 10..35; 255 otherwise.
constexpr std::array<std::uint8_t, 256> make_digit_values() {
    std::array<std::uint8_t, 256> t{};
    for (auto &v : t) v = 255;
    for (int c = '0'; c <= '9'; ++c) t[c] = static_cast<std::uint8_t>(c - '0');
    for (int c = 'a'; c <= 'z'; ++c) t[c] = static_cast<std::uint8_t>(c - 'a' + 10);
    for (int c = 'A'; c <= 'Z'; ++c) t[c] = static_cast<std::uint8_t>(c - 'A' + 10);
    return t;
}
constexpr std::array<std::uint8_t, 256> kDigitValues = make_digit_values();

inline unsigned digit_value(char c) {
    return kDigitValues[static_cast<unsigned char>(c)];
}

// Exponents are kept within +-2^62 and digit counts within 2^58, so that every exponent sum
// below (E - count, E - 4 * count, plus or minus a few counts) stays inside 64 bits. No text
// can be 2^58 bytes long, and an exponent of 2^62 saturates exactly as a larger one does.
constexpr std::int64_t kExponentClamp = std::int64_t{1} << 62;
constexpr std::uint64_t kCountClamp = std::uint64_t{1} << 58;

std::int64_t clamp_count(std::uint64_t n) {
    return static_cast<std::int64_t>(n < kCountClamp ? n : kCountClamp);
}

enum class Outcome { regular, nan, infinity, zero, malformed };

// The fields after `base` are set only for the regular and zero outcomes (the scanner runs on
// every conversion, so it does not clear what the other outcomes never read).
struct Scan {
    Outcome outcome;
    bool negative;
    std::uint32_t base;
    // The digit runs: integer digits end at int_end, fraction digits are [frac_begin, frac_end);
    // sig is the first nonzero digit (null when there is none).
    const char *sig;
    const char *int_end;
    const char *frac_begin;
    const char *frac_end;
    std::int64_t exponent;    // the exponent's value, clamped
    std::int64_t frac_count;  // fraction digits, zeros included (clamped)
    std::int64_t sig_count;   // digits from sig to the end of the runs (clamped)
    // The first lead_count significant digits (up to 19 decimal or 16 hexadecimal ones) as one
    // word, and whether a later digit is nonzero.
    std::uint64_t lead;
    std::int64_t lead_count;
    bool tail_nonzero;
};

bool matches_word(const char *p, const char *word) {
    for (int i = 0; i < 3; ++i) {
        const char c = p[i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != word[i]) return false;
    }
    return true;
}

// Eight decimal digits at a time (little-endian loads): all_digits tells whether eight bytes
// are all '0'..'9' (each byte's high nibble is 3, also after adding 6, which pushes ':'..'?' to
// 4; no carry crosses bytes once every high nibble is 3), and parse8 gives their value. With the
// first digit d0 in the lowest byte, v * 10 + (v >> 8) puts 10 d_i + d_(i+1) (at most 99, no
// carry) in byte i; bytes 0, 2, 4, 6 then hold the pairs p0..p3, and the two multiplications
// gather p0 * 10^6 + p1 * 10^4 + p2 * 100 + p3 in bits 32..63 (the terms below bit 32 stay
// below 2^32, those at 2^64 vanish).
constexpr bool kWordDigits = std::endian::native == std::endian::little;
constexpr std::uint64_t kZeros8 = 0x3030303030303030ull;

inline std::uint64_t load8(const char *p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline bool all_digits(std::uint64_t v) {
    constexpr std::uint64_t high = 0xF0F0F0F0F0F0F0F0ull;
    return (v & high) == kZeros8 && ((v + 0x0606060606060606ull) & high) == kZeros8;
}

inline std::uint64_t parse8(std::uint64_t v) {
    v -= kZeros8;
    v = v * 10 + (v >> 8);
    constexpr std::uint64_t mask = 0x000000FF000000FFull;
    return ((v & mask) * (100 + (1000000ull << 32)) +
            ((v >> 16) & mask) * (1 + (10000ull << 32))) >>
           32;
}

// Folds digit runs into the scan's lead word. Leading zeros are not significant; after the first
// nonzero digit every digit is, and the ones beyond the lead word only matter as "nonzero or
// not".
struct DigitFolder {
    std::uint64_t lead = 0;
    unsigned count = 0;  // digits in lead
    unsigned max = 19;
    bool tail_nonzero = false;
    const char *sig = nullptr;  // the first nonzero digit

    // Any base: one digit at a time. Returns the end of the run.
    const char *run(const char *p, const char *end, std::uint32_t base) {
        for (unsigned d = 0; p < end && (d = digit_value(*p)) < base; ++p) {
            if (count < max) {
                if (count == 0) {
                    if (d == 0) continue;
                    sig = p;
                }
                lead = lead * base + d;
                ++count;
            } else {
                tail_nonzero = tail_nonzero || d != 0;
            }
        }
        return p;
    }

    // Base 10, eight digits per step where the text has them.
    const char *decimal_run(const char *p, const char *end) {
        if (!kWordDigits) return run(p, end, 10);
        if (count == 0) {
            while (end - p >= 8 && load8(p) == kZeros8) p += 8;
            while (p < end && *p == '0') ++p;
            if (p == end || digit_value(*p) >= 10) return p;
            sig = p;
        }
        while (count + 8 <= max && end - p >= 8 && all_digits(load8(p))) {
            lead = lead * 100000000 + parse8(load8(p));
            count += 8;
            p += 8;
        }
        for (unsigned d = 0; count < max && p < end && (d = digit_value(*p)) < 10; ++p) {
            lead = lead * 10 + d;
            ++count;
        }
        if (count < max) return p;
        for (std::uint64_t v = 0; end - p >= 8 && all_digits(v = load8(p)); p += 8) {
            tail_nonzero = tail_nonzero || v != kZeros8;
        }
        for (unsigned d = 0; p < end && (d = digit_value(*p)) < 10; ++p) {
            tail_nonzero = tail_nonzero || d != 0;
        }
        return p;
    }
};

Scan scan_number(std::string_view text, std::uint32_t base) {
    Scan r;
    r.outcome = Outcome::malformed;
    r.negative = false;
    r.base = base;
    const char *p = text.data();
    const char *const end = p + text.size();
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r')) ++p;
    if (p < end && (*p == '+' || *p == '-')) {
        r.negative = *p == '-';
        ++p;
    }
    if (base == 16 && end - p >= 3 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') &&
        (digit_value(p[2]) < 16 || p[2] == '.')) {
        p += 2;
    }
    if (end - p >= 3) {
        if (matches_word(p, "nan")) {
            r.outcome = Outcome::nan;
            return r;
        }
        if (matches_word(p, "inf")) {
            r.outcome = Outcome::infinity;
            return r;
        }
    }

    DigitFolder fold;
    fold.max = base == 10 ? 19 : 16;
    const char *const int_begin = p;
    p = base == 10 ? fold.decimal_run(p, end) : fold.run(p, end, base);
    r.int_end = p;
    bool any_digit = p != int_begin;
    r.frac_begin = r.frac_end = p;
    if (p < end && *p == '.') {
        ++p;
        r.frac_begin = p;
        p = base == 10 ? fold.decimal_run(p, end) : fold.run(p, end, base);
        r.frac_end = p;
        any_digit = any_digit || p != r.frac_begin;
    }
    if (!any_digit) return r;

    r.exponent = 0;
    const char marker = base == 10 ? 'e' : 'p';
    if (p < end && (*p == marker || *p == marker - 'a' + 'A')) {
        ++p;
        bool exp_negative = false;
        if (p < end && (*p == '+' || *p == '-')) {
            exp_negative = *p == '-';
            ++p;
        }
        if (p == end || digit_value(*p) >= 10) return r;
        std::int64_t e = 0;
        for (unsigned d = 0; p < end && (d = digit_value(*p)) < 10; ++p) {
            e = e <= (kExponentClamp - 9) / 10 ? e * 10 + d : kExponentClamp;
        }
        if (e > kExponentClamp) e = kExponentClamp;
        r.exponent = exp_negative ? -e : e;
    }

    r.frac_count = clamp_count(static_cast<std::uint64_t>(r.frac_end - r.frac_begin));
    const char *const sig = fold.sig;
    if (sig == nullptr) {
        r.outcome = Outcome::zero;
        return r;
    }
    r.outcome = Outcome::regular;
    r.sig = sig;
    const std::uint64_t sig_count = sig < r.int_end
                                        ? static_cast<std::uint64_t>(r.int_end - sig) +
                                              static_cast<std::uint64_t>(r.frac_end - r.frac_begin)
                                        : static_cast<std::uint64_t>(r.frac_end - sig);
    r.sig_count = clamp_count(sig_count);
    r.lead = fold.lead;
    r.lead_count = fold.count;
    r.tail_nonzero = fold.tail_nonzero;
    return r;
}

// The significant digits of a scan in order, across the '.'.
class DigitCursor {
  public:
    explicit DigitCursor(const Scan &s) : p_(s.sig), int_end_(s.int_end), frac_(s.frac_begin) {}
    unsigned next() {
        if (p_ == int_end_) p_ = frac_;
        return digit_value(*p_++);
    }

  private:
    const char *p_;
    const char *int_end_;
    const char *frac_;
};

// Trailing zero digits of the significant run (it ends in a nonzero digit after them).
std::int64_t trailing_zeros(const Scan &s) {
    std::uint64_t zeros = 0;
    const char *p = s.frac_end;
    const char *const stop = s.sig < s.int_end ? s.frac_begin : s.sig;
    while (p > stop && p[-1] == '0') --p, ++zeros;
    if (p == stop && s.sig < s.int_end) {
        p = s.int_end;
        while (p > s.sig && p[-1] == '0') --p, ++zeros;
    }
    return clamp_count(zeros);
}

// ---------------------------------------------------------------------------------------
// Exact path: the text as a fraction of big integers
// ---------------------------------------------------------------------------------------

// The saturation limits of the notation's numbers: a value needs at most 1024 limbs of
// numerator, and a denominator 10^k or 2^k at most 1024 limbs as well; 10^9864 is the largest
// power of ten and 2^32767 the largest power of two of that size.
constexpr std::int64_t kMaxDecimalDigits = 9864;
constexpr std::int64_t kMaxHexDigits = kMaxBits / 4;
constexpr std::int64_t kMaxDenBits = kMaxBits - 1;

// 5^13, the largest power of five below 2^32, and the small powers.
constexpr Limb kPow5Step = 1220703125u;
constexpr Limb kPow5Small[13] = {1,     5,      25,      125,     625,      3125,     15625,
                                 78125, 390625, 1953125, 9765625, 48828125, 244140625};
constexpr Limb kPow10Small[10] = {1,      10,      100,      1000,      10000,
                                  100000, 1000000, 10000000, 100000000, 1000000000};

// A nonnegative integer in a scratch buffer of fixed size, with its used length.
class Work {
  public:
    bool reserve(std::size_t limbs) { return buf_.reserve_zeroed(limbs); }
    LimbSpan used() { return {buf_.data(), len_}; }
    ConstLimbSpan used() const { return {buf_.data(), len_}; }

    // x := x * m + add.
    void mul_add(Limb m, Limb add) {
        const Limb carry = mul_add_small(used(), m, add);
        if (len_ == 0 && add != 0) {
            buf_.data()[len_++] = add;
        } else if (carry != 0) {
            TVL_ASSERT(len_ < buf_.size());
            buf_.data()[len_++] = carry;
        }
    }
    // x := x * 5^k.
    void mul_pow5(std::int64_t k) {
        for (; k >= 13; k -= 13) mul_add(kPow5Step, 0);
        if (k > 0) mul_add(kPow5Small[k], 0);
    }
    void set_one() {
        buf_.data()[0] = 1;
        len_ = 1;
    }
    void set_length(std::size_t n) { len_ = n; }
    Limb *data() { return buf_.data(); }

  private:
    ScratchLimbs buf_;
    std::size_t len_ = 0;
};

// Limbs enough for an integer of `digits` decimal digits times 5^k (log2 10 < 3.322 and
// log2 5 < 2.322), with a spare limb.
std::size_t limbs_for_decimal(std::int64_t digits, std::int64_t k) {
    return static_cast<std::size_t>((digits * 3322 + k * 2322) / 32000 + 3);
}

enum class Range { regular, infinity, zero, no_memory };

// The value of a regular scan as num / den * 2^t, den = 1 or a power of five.
struct Fraction {
    Work num;
    Work den;
    std::int64_t t = 0;

    Range build(const Scan &s) { return s.base == 10 ? build_decimal(s) : build_hex(s); }

  private:
    // The significant digits kept, and how: all of them, or the first count - 1 followed by a
    // sticky digit 1 that stands for the nonzero digits dropped after them. The kept value and
    // the true one then lie strictly between two consecutive multiples of the last plain
    // digit's unit, so no rounding boundary that is such a multiple (a midpoint of the target
    // precision with at most count - 1 significant digits there) lies between them, and both
    // round alike. Where only one digit fits, the rest is dropped.
    struct Kept {
        std::int64_t count;
        bool sticky;
    };

    void load_decimal(const Scan &s, Kept kept) {
        DigitCursor cur(s);
        const std::int64_t plain = kept.sticky ? kept.count - 1 : kept.count;
        std::int64_t i = 0;
        while (i < plain) {
            const std::int64_t chunk = plain - i < 9 ? plain - i : 9;
            Limb v = 0;
            for (std::int64_t j = 0; j < chunk; ++j) v = v * 10 + cur.next();
            num.mul_add(kPow10Small[chunk], v);
            i += chunk;
        }
        if (kept.sticky) num.mul_add(10, 1);
    }

    void load_hex(const Scan &s, Kept kept) {
        DigitCursor cur(s);
        const std::size_t limbs = static_cast<std::size_t>((kept.count * 4 + 31) / 32);
        Limb *out = num.data();
        for (std::int64_t i = 0; i < kept.count; ++i) {
            const unsigned d = (kept.sticky && i == kept.count - 1) ? 1u : cur.next();
            const auto pos = static_cast<std::uint64_t>(4 * (kept.count - 1 - i));
            out[pos / 32] |= Limb{d} << (pos % 32);
        }
        num.set_length(normalized_size(ConstLimbSpan(out, limbs)));
    }

    Range build_decimal(const Scan &s) {
        const std::int64_t len = s.sig_count - trailing_zeros(s);
        // value = S * 10^k with S the len significant digits; 10^(x-1) <= value < 10^x.
        std::int64_t k = s.exponent - s.frac_count + (s.sig_count - len);
        const std::int64_t x = len + k;
        if (x - 1 >= kMaxDecimalDigits + 1) return Range::infinity;
        Kept kept{len, false};
        if (k < 0) {
            const std::int64_t room =
                x < 0 ? kMaxDecimalDigits + x : kMaxDecimalDigits;  // digits that fit
            if (room < 1) return Range::zero;
            if (len > room) {
                kept = {room, room >= 2};
                k = x - room;
            }
        }
        const std::int64_t up = k > 0 ? k : 0;
        if (!num.reserve(limbs_for_decimal(kept.count, up))) return Range::no_memory;
        load_decimal(s, kept);
        t = k;
        if (k >= 0) {
            num.mul_pow5(k);
            if (std::int64_t{bit_length(num.used())} + k > kMaxBits) return Range::infinity;
            if (!den.reserve(1)) return Range::no_memory;
            den.set_one();
        } else {
            if (!den.reserve(limbs_for_decimal(0, -k))) return Range::no_memory;
            den.set_one();
            den.mul_pow5(-k);
        }
        return Range::regular;
    }

    // Powers of two need no denominator: num = S and t = h. The saturation is that of the
    // values the limbs hold, decided on the value itself: from 2^32768 on infinity, below
    // 2^-32767 (the reciprocal of the largest power of two in 1024 limbs) zero.
    Range build_hex(const Scan &s) {
        const std::int64_t len = s.sig_count - trailing_zeros(s);
        // value = S * 2^h with S the len significant digits; 2^(top-1) <= value < 2^top.
        std::int64_t h = s.exponent - 4 * s.frac_count + 4 * (s.sig_count - len);
        const std::int64_t top =
            4 * (len - 1) + h + std::int64_t{limb_bit_length(digit_value(*s.sig))};
        if (top > kMaxBits) return Range::infinity;
        if (top - 1 < -kMaxDenBits) return Range::zero;
        Kept kept{len, false};
        if (len > kMaxHexDigits) {
            kept = {kMaxHexDigits, true};
            h += 4 * (len - kMaxHexDigits);
        }
        if (!num.reserve(static_cast<std::size_t>((kept.count * 4 + 31) / 32))) {
            return Range::no_memory;
        }
        load_hex(s, kept);
        t = h;
        if (!den.reserve(1)) return Range::no_memory;
        den.set_one();
        return Range::regular;
    }
};

// ---------------------------------------------------------------------------------------
// Exact path: division
// ---------------------------------------------------------------------------------------

// Bits [pos, pos + 32) of x; bits outside x (negative positions included) read as zero.
Limb bits_at(ConstLimbSpan x, std::int64_t pos) {
    if (pos <= -32) return 0;
    if (pos < 0) return x.empty() ? 0 : x[0] << static_cast<std::uint32_t>(-pos);
    const auto word = static_cast<std::uint64_t>(pos) / kLimbBits;
    const auto off = static_cast<std::uint32_t>(static_cast<std::uint64_t>(pos) % kLimbBits);
    if (word >= x.size()) return 0;
    Limb v = x[word] >> off;
    if (off != 0 && word + 1 < x.size()) v |= x[word + 1] << (kLimbBits - off);
    return v;
}

// True when some bit of x below position `pos` is set.
bool any_bit_below(ConstLimbSpan x, std::int64_t pos) {
    if (pos <= 0) return false;
    const auto upos = static_cast<std::uint64_t>(pos);
    const std::uint64_t word = upos / kLimbBits;
    for (std::uint64_t j = 0; j < word && j < x.size(); ++j) {
        if (x[j] != 0) return true;
    }
    const auto part = static_cast<std::uint32_t>(upos % kLimbBits);
    return word < x.size() && part != 0 && (x[word] & ((Limb{1} << part) - 1)) != 0;
}

// floor(log2(num / den)) for nonzero num and den: the b with 2^b <= num / den < 2^(b+1).
// The bit lengths give b or b + 1; comparing num with den * 2^b (aligned top bits, compared 32
// bits at a time from the top) decides.
std::int64_t floor_log2(ConstLimbSpan num, ConstLimbSpan den) {
    const std::int64_t a = bit_length(num);
    const std::int64_t b = a - std::int64_t{bit_length(den)};
    const std::int64_t low = b < 0 ? b : 0;
    for (std::int64_t pos = a - 32; pos + 32 > low; pos -= 32) {
        const Limb x = bits_at(num, pos);
        const Limb y = bits_at(den, pos - b);
        if (x != y) return x < y ? b - 1 : b;
    }
    return b;
}

// q := floor(num * 2^s / den) and sticky := (the quotient is inexact), for nonzero num and den.
// q must have room for the quotient; the caller knows its bit length.
//
// The dividend num * 2^s is never formed: its limbs are produced one at a time from the top
// (bits shifted out below num's bit 0 only feed the sticky bit) and fed into a window of
// den.size() + 1 limbs, which Knuth's Algorithm D turns into one quotient limb and the
// running remainder per step. Memory stays at the size of the divisor however far the
// numerator is shifted, which keeps precisions up to 32768 bits within the limb ceiling.
bool divide_scaled(ConstLimbSpan num, ConstLimbSpan den, std::int64_t s, LimbSpan q, bool &sticky) {
    std::memset(q.data(), 0, q.size_bytes());
    den = den.first(normalized_size(den));
    const std::size_t k = den.size();
    const std::uint32_t sd = kLimbBits - limb_bit_length(den[k - 1]);
    const std::int64_t c = s + sd;  // the dividend is floor(num * 2^c) over den * 2^sd
    const std::int64_t a = bit_length(num);
    sticky = c < 0 && any_bit_below(num, -c);
    if (a + c <= 0) {
        sticky = true;
        return true;
    }
    const auto nd = static_cast<std::size_t>((a + c + 31) / 32);
    auto dividend_limb = [&](std::size_t j) {
        return bits_at(num, static_cast<std::int64_t>(j) * 32 - c);
    };
    auto put = [&](std::size_t j, Limb digit) {
        if (j < q.size()) {
            q[j] = digit;
        } else {
            TVL_ASSERT(digit == 0);
        }
    };

    if (k == 1) {
        const std::uint64_t v = std::uint64_t{den[0]} << sd;
        std::uint64_t rem = 0;
        for (std::size_t j = nd; j-- > 0;) {
            const std::uint64_t cur = (rem << 32) | dividend_limb(j);
            put(j, static_cast<Limb>(cur / v));
            rem = cur % v;
        }
        sticky = sticky || rem != 0;
        return true;
    }
    if (nd < k) {
        // The dividend is below the divisor: the quotient is 0.
        sticky = true;
        return true;
    }

    ScratchLimbs scratch;
    if (!scratch.reserve_zeroed(2 * k + 1)) return false;
    const LimbSpan v = scratch.span().first(k);
    const LimbSpan w = scratch.span().subspan(k, k + 1);
    shift_left(v, den, sd);
    for (std::size_t i = 0; i < k; ++i) w[i] = dividend_limb(nd - k + i);
    w[k] = 0;
    Limb digit = 0;
    for (std::size_t j = nd - k + 1; j-- > 0;) {
        if (j != nd - k) {
            std::memmove(w.data() + 1, w.data(), k * sizeof(Limb));
            w[0] = dividend_limb(j);
        }
        divide_normalized(w, v, LimbSpan(&digit, 1));
        put(j, digit);
    }
    for (std::size_t i = 0; i < k && !sticky; ++i) sticky = w[i] != 0;
    return true;
}

// ---------------------------------------------------------------------------------------
// Exact path: results
// ---------------------------------------------------------------------------------------

// The special encodings of the non-regular scan outcomes (malformed texts never get here).
constexpr Special special_of(Outcome outcome) {
    return outcome == Outcome::nan        ? Special::nan
           : outcome == Outcome::infinity ? Special::infinity
                                          : Special::zero;
}

// Encodes +-num / den * 2^t in the layout; false on memory exhaustion (out untouched).
bool encode_fraction(const Fraction &x, bool negative, const Layout &lay, std::uint32_t *out) {
    const ConstLimbSpan num = x.num.used();
    const ConstLimbSpan den = x.den.used();
    const std::int64_t b0 = floor_log2(num, den);
    const std::int64_t b = b0 + x.t;  // 2^b <= value < 2^(b+1)
    const std::int64_t max_field = lay.max_field();
    std::int64_t field = b + lay.bias;
    if (field >= max_field) {
        encode_special(Special::infinity, negative, lay, out);
        return true;
    }
    // Normal numbers and subnormals below the smallest normal share the unit in the last
    // place 2^h of field 1; the quotient carries two more bits, the round bit and one more.
    if (field < 1) field = 1;
    const std::int64_t h = field - lay.bias - std::int64_t{lay.m};
    ScratchLimbs q_buf;
    if (!q_buf.reserve_zeroed(limbs_for(lay.m + 3) + 1)) return false;
    const LimbSpan q = q_buf.span();
    bool sticky = false;
    if (!divide_scaled(num, den, x.t + 2 - h, q, sticky)) return false;
    round_shift_right(q, 2, sticky);
    // A carry to m + 2 bits moves to the next binade; a subnormal that reaches 2^m is the
    // smallest normal number, whose field is already 1.
    if (bit_length(q) > lay.m + 1) {
        shift_right(q, q, 1);
        ++field;
        if (field >= max_field) {
            encode_special(Special::infinity, negative, lay, out);
            return true;
        }
    }
    const bool normal = bit_length(q) == lay.m + 1;
    for (std::uint32_t i = 0; i < lay.m; i += 32) {
        const std::uint32_t width = lay.m - i < 32 ? lay.m - i : 32;
        put_bits(out, i, q[i / 32], width);
    }
    if (normal) put_bits(out, lay.m, static_cast<std::uint64_t>(field), lay.e);
    if (negative) put_bits(out, lay.sign_bit(), 1, 1);
    return true;
}

// The encoding of a scan in the layout. The output must be zero; false on memory exhaustion
// (the output is then still zero).
bool encode_scan(const Scan &s, const Layout &lay, std::uint32_t *out) {
    if (s.outcome != Outcome::regular) {
        encode_special(special_of(s.outcome), s.negative, lay, out);
        return true;
    }
    Fraction x;
    switch (x.build(s)) {
        case Range::no_memory:
            return false;
        case Range::infinity:
            encode_special(Special::infinity, s.negative, lay, out);
            return true;
        case Range::zero:
            encode_special(Special::zero, s.negative, lay, out);
            return true;
        case Range::regular:
            break;
    }
    return encode_fraction(x, s.negative, lay, out);
}

// False, with *bits 0, for a malformed text or when memory is short.
bool binary64_exact(const Scan &s, std::uint64_t *bits) {
    std::uint32_t out[2] = {0, 0};
    const bool ok = s.outcome != Outcome::malformed && encode_scan(s, kBinary64, out);
    *bits = ok ? std::uint64_t{out[0]} | (std::uint64_t{out[1]} << 32) : 0;
    return ok;
}

// ---------------------------------------------------------------------------------------
// Fast paths (binary64)
// ---------------------------------------------------------------------------------------

constexpr std::uint64_t kInfBits = 0x7FF0000000000000ull;
constexpr std::uint64_t kNanBits = 0x7FF8000000000000ull;
constexpr std::uint64_t kSignBit = 0x8000000000000000ull;

// The power-of-five table. For q >= 0, 5^q is built exactly; for q < 0, R_p = floor(2^960 /
// 5^p) is built by dividing by 5 once per step, since floor(floor(x / a) / b) = floor(x / (a b)).
// Either way the entry is the top 128 bits of the integer, truncated, and g is its scale:
// 5^q = F * 2^g with F in [2^127, 2^128) and the entry floor(F). For q < 0, R_p has at least
// 960 - 795 > 128 bits, so floor(R_p / 2^(L - 128)) = floor(2^(1088 - L) / 5^p) exactly.
struct Pow5Entry {
    std::uint64_t hi;
    std::uint64_t lo;
    std::int32_t g;
};
constexpr int kPow5Count = kPow5Max - kPow5Min + 1;
constexpr int kWideLimbs = 16;  // 1024 bits of 64-bit limbs: 5^308 and 2^960 fit

struct Wide {
    std::uint64_t w[kWideLimbs] = {};
    constexpr int bit_length() const {
        for (int i = kWideLimbs - 1; i >= 0; --i) {
            if (w[i] != 0) return 64 * i + static_cast<int>(std::bit_width(w[i]));
        }
        return 0;
    }
    // Bits [pos, pos + 64); pos may be negative (bits below 0 read as zero).
    constexpr std::uint64_t bits64(int pos) const {
        if (pos <= -64) return 0;
        if (pos < 0) return w[0] << -pos;
        const int i = pos / 64;
        const int off = pos % 64;
        std::uint64_t v = w[i] >> off;
        if (off != 0 && i + 1 < kWideLimbs) v |= w[i + 1] << (64 - off);
        return v;
    }
    constexpr Pow5Entry top128(int offset) const {
        const int len = bit_length();
        return {bits64(len - 64), bits64(len - 128), len - 128 + offset};
    }
};

constexpr std::array<Pow5Entry, kPow5Count> make_pow5_table() {
    std::array<Pow5Entry, kPow5Count> t{};
    Wide p;
    p.w[0] = 1;
    for (int q = 0; q <= kPow5Max; ++q) {
        if (q > 0) {
            std::uint64_t carry = 0;
            for (auto &x : p.w) {
                const U128 v = static_cast<U128>(x) * 5 + carry;
                x = static_cast<std::uint64_t>(v);
                carry = static_cast<std::uint64_t>(v >> 64);
            }
        }
        t[q - kPow5Min] = p.top128(0);
    }
    Wide r;
    r.w[960 / 64] = std::uint64_t{1} << (960 % 64);
    for (int n = 1; n <= -kPow5Min; ++n) {
        std::uint64_t rem = 0;
        for (int i = kWideLimbs - 1; i >= 0; --i) {
            const U128 cur = (static_cast<U128>(rem) << 64) | r.w[i];
            r.w[i] = static_cast<std::uint64_t>(cur / 5);
            rem = static_cast<std::uint64_t>(cur % 5);
        }
        t[-n - kPow5Min] = r.top128(-960);
    }
    return t;
}

constexpr std::array<Pow5Entry, kPow5Count> kPow5 = make_pow5_table();

constexpr const Pow5Entry &pow5_entry(int q) {
    return kPow5[static_cast<std::size_t>(q - kPow5Min)];
}
static_assert(pow5_entry(0).hi == 0x8000000000000000ull && pow5_entry(0).lo == 0 &&
              pow5_entry(0).g == -127);
static_assert(pow5_entry(1).hi == 0xA000000000000000ull && pow5_entry(1).g == -125);
static_assert(pow5_entry(-1).hi == 0xCCCCCCCCCCCCCCCCull &&
              pow5_entry(-1).lo == 0xCCCCCCCCCCCCCCCCull && pow5_entry(-1).g == -130);
// Up to 5^55 the entries are exact (5^55 < 2^128), beyond they are truncated.
constexpr int kExactPow5Max = 55;
static_assert(pow5_entry(kExactPow5Max).g == 0 && pow5_entry(kExactPow5Max + 1).g > 0);

// Round-to-nearest binary64 of V * 2^e0, where the 192-bit W in [2^190, 2^192), given as
// words[0..3) (least significant first), is V itself (exact) or lies below it by less than 2^64.
// False when a rounding boundary may lie between W and V, so the result cannot be decided.
bool round_product(const std::uint64_t (&words)[3], std::int64_t e0, bool exact,
                   std::uint64_t *out) {
    // Keep 53 bits, or fewer when the value falls below 2^-1022: the kept bits then start at
    // 2^-1074. k is the number of bits dropped.
    const auto length = static_cast<std::int64_t>(128 + std::bit_width(words[2]));
    std::int64_t k = length - 53;
    if (k < -1074 - e0) k = -1074 - e0;
    if (k >= 193) {
        // Below half the smallest subnormal even at the top of the interval (< 2^192).
        *out = 0;
        return true;
    }
    // k is in [138, 192]: the kept bits, the round bit (k - 1) and the bits below it.
    const auto hs = static_cast<std::uint32_t>(k - 128);  // 10..64
    const std::uint64_t kept = hs == 64 ? 0 : words[2] >> hs;
    const bool round = ((words[2] >> (hs - 1)) & 1u) != 0;
    const std::uint64_t below_mask = (std::uint64_t{1} << (hs - 1)) - 1;
    const std::uint64_t below_top = words[2] & below_mask;
    const bool below_zero = below_top == 0 && words[1] == 0 && words[0] == 0;
    std::uint64_t mant = kept;
    if (exact) {
        if (round && (!below_zero || (kept & 1u) != 0)) ++mant;
    } else {
        // The true value exceeds W, by less than 2^64. Rounding W up when its round bit is set
        // is right even when W is itself a midpoint (nothing below the round bit), since the
        // value lies above it; the next multiple of 2^(k-1) above W is then a representable
        // value, across which rounding does not change. With the round bit clear, the next
        // multiple above W is a midpoint; the result is undecided when it is less than 2^64
        // away: the bits from 64 to k - 2 are all ones and the low word is not zero.
        if (!round && words[1] == ~std::uint64_t{0} && below_top == below_mask && words[0] != 0) {
            return false;
        }
        if (round) ++mant;
    }
    if (mant == (std::uint64_t{1} << 53)) {
        mant >>= 1;
        ++k;
    }
    // value = mant * 2^(k + e0); normal when mant >= 2^52, with biased exponent k + e0 + 1075.
    const std::int64_t scale = k + e0 + 1074;
    if (mant >= (std::uint64_t{1} << 52) && scale + 1 >= 2047) {
        *out = kInfBits;
        return true;
    }
    *out = mant + (static_cast<std::uint64_t>(scale) << 52);
    return true;
}

// Binary64 nearest to the w * 10^q, w != 0, by the 128-bit truncated power of five.
//
// With W = w * 2^lz (top bit set) and 5^q = F * 2^g, the value is W * F * 2^(g + q - lz). For
// 0 <= q <= 55 the table holds F itself and the 192-bit product W * T is exact. Otherwise F is
// not an integer (5^q / 2^g with g > 0, or 2^-g / 5^-q), the table holds T = floor(F), and the
// product falls short of the true W * F by W * (F - T), more than 0 and less than 2^64.
bool decimal_to_binary64(std::uint64_t w, std::int64_t q, std::uint64_t *out) {
    // w < 2^64 < 10^20: below 10^-323.7 < 2^-1075 (half the smallest subnormal) every value
    // reads as zero; from 10^309 on, as infinity.
    if (q < kPow5Min) {
        *out = 0;
        return true;
    }
    if (q > kPow5Max) {
        *out = kInfBits;
        return true;
    }
    const int lz = std::countl_zero(w);
    const std::uint64_t big = w << lz;
    const Pow5Entry &p = pow5_entry(static_cast<int>(q));
    const U128 high = static_cast<U128>(big) * p.hi;
    const U128 low = static_cast<U128>(big) * p.lo;
    std::uint64_t words[3];
    words[0] = static_cast<std::uint64_t>(low);
    const U128 mid = (high & ~std::uint64_t{0}) + (low >> 64);
    words[1] = static_cast<std::uint64_t>(mid);
    words[2] = static_cast<std::uint64_t>(high >> 64) + static_cast<std::uint64_t>(mid >> 64);
    const bool exact = q >= 0 && q <= kExactPow5Max;
    return round_product(words, p.g + q - lz, exact, out);
}

// Exact powers of ten as doubles, for the path of exact operands.
constexpr double kPow10Double[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                     1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                     1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Binary64 nearest to (w + tail) * 2^h, w != 0 exact in 64 bits, `tail` a nonzero fraction
// below one unit of w or none: a plain shift with round and sticky bits, always decided.
std::uint64_t binary_to_binary64(std::uint64_t w, std::int64_t h, bool tail) {
    const int lz = std::countl_zero(w);
    const std::uint64_t big = w << lz;  // value = (big + ...) * 2^e0
    const std::int64_t e0 = h - lz;
    std::int64_t k = 11;
    if (k < -1074 - e0) k = -1074 - e0;
    if (k > 64) return 0;  // below half the smallest subnormal
    const auto ks = static_cast<std::uint32_t>(k);
    const std::uint64_t kept = ks == 64 ? 0 : big >> ks;
    const bool round = ((big >> (ks - 1)) & 1u) != 0;
    const bool sticky = tail || (big & ((std::uint64_t{1} << (ks - 1)) - 1)) != 0;
    std::uint64_t mant = kept + ((round && (sticky || (kept & 1u) != 0)) ? 1 : 0);
    if (mant == (std::uint64_t{1} << 53)) {
        mant >>= 1;
        ++k;
    }
    const std::int64_t scale = k + e0 + 1074;
    if (mant >= (std::uint64_t{1} << 52) && scale + 1 >= 2047) return kInfBits;
    return mant + (static_cast<std::uint64_t>(scale) << 52);
}

// The fast paths on a regular scan; false when they cannot decide.
bool binary64_fast(const Scan &s, std::uint64_t *out) {
    const std::int64_t dropped = s.sig_count - s.lead_count;
    if (s.base == 16) {
        *out =
            binary_to_binary64(s.lead, s.exponent + 4 * (dropped - s.frac_count), s.tail_nonzero);
        return true;
    }
    const std::int64_t q = s.exponent - s.frac_count + dropped;
    if (s.tail_nonzero) {
        // The value lies in (lead, lead + 1) * 10^q; when both ends round alike, so does it.
        std::uint64_t lo = 0;
        std::uint64_t hi = 0;
        if (!decimal_to_binary64(s.lead, q, &lo) || !decimal_to_binary64(s.lead + 1, q, &hi) ||
            lo != hi) {
            return false;
        }
        *out = lo;
        return true;
    }
#if FLT_EVAL_METHOD == 0
    // Exact operands: w and 10^|q| are exact doubles, so one correctly rounded operation gives
    // the correctly rounded result.
    if (s.lead <= (std::uint64_t{1} << 53) && q >= -22 && q <= 22) {
        const auto w = static_cast<double>(s.lead);
        const double v = q >= 0 ? w * kPow10Double[q] : w / kPow10Double[-q];
        *out = std::bit_cast<std::uint64_t>(v);
        return true;
    }
#endif
    return decimal_to_binary64(s.lead, q, out);
}

std::uint64_t special_binary64(const Scan &s) {
    const std::uint64_t sign = s.negative ? kSignBit : 0;
    switch (s.outcome) {
        case Outcome::nan:
            return sign | kNanBits;
        case Outcome::infinity:
            return sign | kInfBits;
        case Outcome::zero:
            return sign;
        default:
            return 0;
    }
}

bool binary64_from_text(std::string_view text, std::uint32_t base, std::uint64_t *bits) {
    *bits = 0;
    if (base != 10 && base != 16) return false;
    const Scan s = scan_number(text, base);
    if (s.outcome == Outcome::malformed) return false;
    if (s.outcome != Outcome::regular) {
        *bits = special_binary64(s);
        return true;
    }
    if (binary64_fast(s, bits)) {
        *bits |= s.negative ? kSignBit : 0;
        return true;
    }
    return binary64_exact(s, bits);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Internal interface
// ---------------------------------------------------------------------------------------

bool float_from_text(tvl_float *f, std::string_view text, std::uint32_t base) {
    if (!usable(f) || (base != 10 && base != 16)) return false;
    const Scan s = scan_number(text, base);
    switch (s.outcome) {
        case Outcome::malformed:
            return false;
        case Outcome::nan:
            set_class(f, kExpNan, false);
            return true;
        case Outcome::infinity:
            set_class(f, kExpInf, s.negative);
            return true;
        case Outcome::zero:
            set_class(f, kExpZero, s.negative);
            return true;
        case Outcome::regular:
            break;
    }
    Fraction x;
    switch (x.build(s)) {
        case Range::no_memory:
            return false;
        case Range::infinity:
            set_class(f, kExpInf, s.negative);
            return true;
        case Range::zero:
            set_class(f, kExpZero, s.negative);
            return true;
        case Range::regular:
            break;
    }
    // Q = floor(value * 2^(p + 1 - b)) has exactly p + 2 bits; two are rounded off.
    const ConstLimbSpan num = x.num.used();
    const ConstLimbSpan den = x.den.used();
    const std::int64_t b0 = floor_log2(num, den);
    const std::uint32_t p = f->precision;
    ScratchLimbs q_buf;
    if (!q_buf.reserve_zeroed(limbs_for(p + 2) + 1)) return false;
    bool sticky = false;
    if (!divide_scaled(num, den, std::int64_t{p} + 1 - b0, q_buf.span(), sticky)) return false;
    TVL_ASSERT(bit_length(q_buf.span()) == p + 2);
    store_rounded(f, s.negative, q_buf.span(), b0 + x.t + 1, sticky);
    return true;
}

bool text_to_binary64(const char *text, std::uint32_t base, std::uint64_t *out) {
    if (out == nullptr) return false;
    *out = 0;
    return text != nullptr && binary64_from_text(text, base, out);
}

bool text_to_binary64_fast(std::string_view text, std::uint32_t base, std::uint64_t *out) {
    *out = 0;
    if (base != 10 && base != 16) return true;
    const Scan s = scan_number(text, base);
    if (s.outcome != Outcome::regular) {
        *out = special_binary64(s);
        return true;
    }
    if (!binary64_fast(s, out)) return false;
    *out |= s.negative ? kSignBit : 0;
    return true;
}

void text_to_binary64_exact(std::string_view text, std::uint32_t base, std::uint64_t *out) {
    *out = 0;
    if (base != 10 && base != 16) return;
    const Scan s = scan_number(text, base);
    if (s.outcome == Outcome::regular) {
        binary64_exact(s, out);
    } else {
        *out = special_binary64(s);
    }
}

bool binary64_from_decimal(std::uint64_t w, std::int64_t q, std::uint64_t *out) {
    return decimal_to_binary64(w, q, out);
}

Pow5 pow5_128(int q) {
    const Pow5Entry &e = pow5_entry(q);
    return {e.hi, e.lo};
}

}  // namespace tvl::flt

// ---------------------------------------------------------------------------------------
// Exported functions
// ---------------------------------------------------------------------------------------

extern "C" {

bool tvl_float_from_str(tvl_float *f, const char *text, uint32_t base) {
    if (text == nullptr) return false;
    return tvl::flt::float_from_text(f, text, base);
}

void tvl_float_strtoieee_bin(const char *text, uint32_t base, uint32_t e, uint32_t m, int32_t bias,
                             uint32_t *out, size_t n) {
    if (out == nullptr) return;
    std::memset(out, 0, n * sizeof(uint32_t));
    const tvl::flt::Layout lay{e, m, bias};
    if (text == nullptr || (base != 10 && base != 16) || !tvl::flt::layout_ok(lay, n)) return;
    const tvl::flt::Scan s = tvl::flt::scan_number(text, base);
    if (s.outcome == tvl::flt::Outcome::malformed) return;
    if (!tvl::flt::encode_scan(s, lay, out)) std::memset(out, 0, n * sizeof(uint32_t));
}

double tvl_float_strtod(const char *text) {
    std::uint64_t bits = 0;
    tvl::flt::text_to_binary64(text, 10, &bits);
    return std::bit_cast<double>(bits);
}

}  // extern "C"
