// Big integer against GMP as an independent reference: long division (random operands and
// operands built to force every correction of the quotient estimate), shifts, powers of
// ten, comparison, subtraction, small operands and text in every base, on seeded random
// values up to the 1024-limb ceiling.
#include <gmp.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <vector>

#include "bigint_support.h"

namespace {

using bigint_test::IntPtr;
using bigint_test::limbs;
using bigint_test::make_int;
using bigint_test::random_length;
using bigint_test::random_limbs;
using Limbs = std::vector<uint32_t>;

constexpr size_t kMaxLimbs = 1024;
constexpr unsigned long kMaxBits = 32768;

class Mpz {
  public:
    Mpz() { mpz_init(v_); }
    explicit Mpz(const tvl_int *n) : Mpz() {
        mpz_import(v_, n->length, -1, sizeof(uint32_t), 0, 0, n->limbs);
        if (n->negative) mpz_neg(v_, v_);
    }
    Mpz(const Limbs &l, bool negative) : Mpz() {
        mpz_import(v_, l.size(), -1, sizeof(uint32_t), 0, 0, l.data());
        if (negative) mpz_neg(v_, v_);
    }
    Mpz(const Mpz &o) : Mpz() { mpz_set(v_, o.v_); }
    Mpz &operator=(const Mpz &o) {
        mpz_set(v_, o.v_);
        return *this;
    }
    ~Mpz() { mpz_clear(v_); }
    mpz_ptr get() { return v_; }
    mpz_srcptr get() const { return v_; }

    Limbs magnitude() const {
        Limbs out((mpz_sizeinbase(v_, 2) + 31) / 32);
        size_t count = 0;
        mpz_export(out.data(), &count, -1, sizeof(uint32_t), 0, 0, v_);
        out.resize(count);
        return out;
    }
    bool negative() const { return mpz_sgn(v_) < 0; }
    size_t bits() const { return mpz_sgn(v_) == 0 ? 0 : mpz_sizeinbase(v_, 2); }

  private:
    mpz_t v_;
};

// The record holds exactly the reference value, in normal form.
::testing::AssertionResult same_value(const tvl_int *n, const Mpz &want) {
    const Limbs got = limbs(n);
    if (got != want.magnitude()) {
        return ::testing::AssertionFailure() << "magnitude differs (" << got.size() << " vs "
                                             << want.magnitude().size() << " limbs)";
    }
    if ((n->negative != 0) != want.negative()) {
        return ::testing::AssertionFailure() << "sign differs";
    }
    return ::testing::AssertionSuccess();
}

IntPtr random_int(std::mt19937_64 &rng, size_t max_len, bool allow_negative = true) {
    const size_t len = random_length(rng, max_len);
    return make_int(random_limbs(rng, len), allow_negative && rng() % 2 == 0);
}

// ---------------------------------------------------------------------------------------
// Long division
// ---------------------------------------------------------------------------------------

void check_divrem(const tvl_int *a, const tvl_int *b) {
    IntPtr q = make_int();
    IntPtr r = make_int();
    ASSERT_TRUE(tvl_int_divrem(q.get(), r.get(), a, b)) << a->length << " / " << b->length;
    Mpz mq;
    Mpz mr;
    mpz_tdiv_qr(mq.get(), mr.get(), Mpz(a).get(), Mpz(b).get());
    EXPECT_TRUE(same_value(q.get(), mq)) << "quotient of " << a->length << " / " << b->length;
    EXPECT_TRUE(same_value(r.get(), mr)) << "remainder of " << a->length << " / " << b->length;
}

TEST(BigIntReference, DivremRandom) {
    std::mt19937_64 rng(0x5EED0001);
    for (int iter = 0; iter < 1000; ++iter) {
        IntPtr a = random_int(rng, kMaxLimbs);
        IntPtr b = random_int(rng, iter % 3 == 0 ? kMaxLimbs : a->length);
        check_divrem(a.get(), b.get());
    }
}

// Divisors whose second limb is all ones under a small top limb, and dividends rich in
// ones: the quotient estimate from the top two limbs is often too large here.
TEST(BigIntReference, DivremCorrectionHeavyDivisors) {
    std::mt19937_64 rng(0x5EED0002);
    for (int iter = 0; iter < 600; ++iter) {
        const size_t k = 2 + rng() % 40;
        Limbs v = random_limbs(rng, k);
        v[k - 1] = 0x80000000u >> (rng() % 32);
        v[k - 2] = 0xFFFFFFFFu - static_cast<uint32_t>(rng() % 3);
        Limbs u = random_limbs(rng, k + rng() % 60);
        for (size_t i = 0; i < u.size(); i += 1 + rng() % 3) u[i] = 0xFFFFFFFFu;
        check_divrem(make_int(u, rng() % 2).get(), make_int(v, rng() % 2).get());
    }
}

// Operands built so that one quotient digit goes through a chosen path of the estimate:
// with the divisor V = (y, z, L) in base b = 2^32 (top digit y, next z, the rest L) and a
// quotient digit Q, the dividend window Utop = Q * (V - L) + c with c < L has the three top
// digits Q * (y b + z), so the estimate is Q, yet Utop < Q V: the digit is Q - 1 and the
// divisor must be added back. The whole dividend puts Utop above `extra` random limbs, and
// both operands are shifted right by s bits so that the division scales them back.
struct Built {
    Mpz a;
    Mpz b;
};

Built build_add_back(std::mt19937_64 &rng) {
    const size_t k = 3 + rng() % (rng() % 4 == 0 ? 1000 : 30);
    const size_t extra = rng() % std::min<size_t>(kMaxLimbs - k, 40);
    const unsigned s = static_cast<unsigned>(rng() % 32);
    const unsigned long clear = (1ul << s) - 1;

    Limbs lower = random_limbs(rng, k - 2);  // L, top limb nonzero
    lower[0] &= ~static_cast<uint32_t>(clear);
    Limbs top = {static_cast<uint32_t>(rng()), static_cast<uint32_t>(rng()) | 0x80000000u};
    Mpz L(lower, false);
    Mpz V(top, false);  // (y, z)
    Mpz yz(V);
    mpz_mul_2exp(V.get(), V.get(), 32 * (k - 2));
    Mpz VminusL(V);
    mpz_add(V.get(), V.get(), L.get());

    const auto q = static_cast<unsigned long>(1 + rng() % 0xFFFFFFFFu);
    Mpz c;
    mpz_set_ui(c.get(), 0);
    if (rng() % 4 != 0) {
        // c uniformly below L, low s bits clear
        Limbs cl = random_limbs(rng, k - 2);
        Mpz cm(cl, false);
        mpz_tdiv_r(c.get(), cm.get(), L.get());
        if (extra == 0) {
            mpz_tdiv_q_2exp(c.get(), c.get(), s);
            mpz_mul_2exp(c.get(), c.get(), s);
        }
    }
    Mpz utop;
    mpz_mul_ui(utop.get(), VminusL.get(), q);
    mpz_add(utop.get(), utop.get(), c.get());

    // The construction does what it claims: top digits Q (y b + z), true digit Q - 1.
    Mpz top3;
    mpz_tdiv_q_2exp(top3.get(), utop.get(), 32 * (k - 2));
    Mpz est;
    mpz_mul_ui(est.get(), yz.get(), q);
    EXPECT_EQ(mpz_cmp(top3.get(), est.get()), 0);
    Mpz qv;
    mpz_mul_ui(qv.get(), V.get(), q);
    EXPECT_LT(mpz_cmp(utop.get(), qv.get()), 0);
    mpz_sub(qv.get(), qv.get(), V.get());
    EXPECT_GE(mpz_cmp(utop.get(), qv.get()), 0);

    Built out;
    mpz_mul_2exp(out.a.get(), utop.get(), 32 * extra);
    if (extra > 0) {
        Mpz low(random_limbs(rng, extra), false);
        mpz_tdiv_q_2exp(low.get(), low.get(), s);
        mpz_mul_2exp(low.get(), low.get(), s);
        mpz_add(out.a.get(), out.a.get(), low.get());
    }
    mpz_tdiv_q_2exp(out.a.get(), out.a.get(), s);
    mpz_tdiv_q_2exp(out.b.get(), V.get(), s);
    return out;
}

// A window Utop = b V - d with 0 < d <= b (V - y b^(k-1)) and d <= V has the top digit y,
// the divisor's own top digit: the estimate takes its b - 1 branch, and b - 1 is the digit.
Built build_top_equal(std::mt19937_64 &rng) {
    const size_t k = 2 + rng() % 30;
    Limbs v = random_limbs(rng, k);
    v[k - 1] |= 0x80000000u;
    if (v[k - 2] == 0) v[k - 2] = 1;
    Mpz V(v, false);
    Mpz d;
    mpz_set_ui(d.get(), 1 + rng() % 1000);
    Built out;
    mpz_mul_2exp(out.a.get(), V.get(), 32);
    mpz_sub(out.a.get(), out.a.get(), d.get());

    Mpz t1;
    mpz_tdiv_q_2exp(t1.get(), out.a.get(), 32 * k);
    EXPECT_EQ(mpz_get_ui(t1.get()), v[k - 1]);

    const size_t extra = rng() % 20;
    mpz_mul_2exp(out.a.get(), out.a.get(), 32 * extra);
    mpz_add(out.a.get(), out.a.get(), Mpz(random_limbs(rng, extra), false).get());
    out.b = V;
    return out;
}

TEST(BigIntReference, DivremForcedAddBack) {
    std::mt19937_64 rng(0x5EED0003);
    for (int iter = 0; iter < 1000; ++iter) {
        Built c = build_add_back(rng);
        ASSERT_LE(c.a.bits(), kMaxBits);
        const bool an = rng() % 2;
        const bool bn = rng() % 2;
        check_divrem(make_int(c.a.magnitude(), an).get(), make_int(c.b.magnitude(), bn).get());
    }
}

TEST(BigIntReference, DivremTopDigitsEqual) {
    std::mt19937_64 rng(0x5EED0004);
    for (int iter = 0; iter < 500; ++iter) {
        Built c = build_top_equal(rng);
        check_divrem(make_int(c.a.magnitude(), rng() % 2).get(),
                     make_int(c.b.magnitude(), rng() % 2).get());
    }
}

TEST(BigIntReference, DivremAtTheCeiling) {
    std::mt19937_64 rng(0x5EED0005);
    IntPtr a = make_int(Limbs(kMaxLimbs, 0xFFFFFFFFu), true);
    for (size_t k : {1, 2, 3, 512, 1023, 1024}) {
        Limbs v = random_limbs(rng, k);
        check_divrem(a.get(), make_int(v).get());
        v.back() = 0xFFFFFFFFu;
        check_divrem(a.get(), make_int(v, true).get());
    }
}

// ---------------------------------------------------------------------------------------
// Shifts, powers of ten, comparison, subtraction and small operands
// ---------------------------------------------------------------------------------------

TEST(BigIntReference, Shifts) {
    std::mt19937_64 rng(0x5EED0006);
    for (int iter = 0; iter < 1000; ++iter) {
        IntPtr n = random_int(rng, kMaxLimbs);
        const Mpz before(n.get());
        const auto bits = static_cast<int>(rng() % 4 == 0 ? rng() % 64 : rng() % 34000);
        Mpz want;
        if (iter % 2 == 0) {
            const bool fits = before.bits() + static_cast<size_t>(bits) <= kMaxBits;
            ASSERT_EQ(tvl_int_shl(n.get(), bits), fits) << before.bits() << " << " << bits;
            if (!fits) {
                EXPECT_TRUE(same_value(n.get(), before)) << "refused shift changed the value";
                continue;
            }
            mpz_mul_2exp(want.get(), before.get(), static_cast<mp_bitcnt_t>(bits));
        } else {
            tvl_int_shr(n.get(), bits);
            mpz_tdiv_q_2exp(want.get(), before.get(), static_cast<mp_bitcnt_t>(bits));
        }
        EXPECT_TRUE(same_value(n.get(), want)) << (iter % 2 ? ">> " : "<< ") << bits;
    }
}

TEST(BigIntReference, MulPow10) {
    std::mt19937_64 rng(0x5EED0007);
    for (int iter = 0; iter < 200; ++iter) {
        IntPtr n = random_int(rng, rng() % 2 ? 8 : kMaxLimbs);
        const Mpz before(n.get());
        const auto e = static_cast<int>(rng() % 4 == 0 ? 9864 - rng() % 20 : rng() % 3000);
        Mpz want;
        mpz_ui_pow_ui(want.get(), 10, static_cast<unsigned long>(e));
        mpz_mul(want.get(), want.get(), before.get());
        const bool fits = want.bits() <= kMaxBits;
        ASSERT_EQ(tvl_int_mul_pow10(n.get(), e), fits) << before.bits() << " bits * 10^" << e;
        if (fits) {
            EXPECT_TRUE(same_value(n.get(), want)) << "10^" << e;
        }
    }
}

TEST(BigIntReference, CompareAndSubtract) {
    std::mt19937_64 rng(0x5EED0008);
    for (int iter = 0; iter < 600; ++iter) {
        IntPtr a = random_int(rng, iter % 2 ? 6 : kMaxLimbs);
        IntPtr b;
        switch (rng() % 4) {
            case 0: {  // same magnitude, either sign
                b = make_int(limbs(a.get()), rng() % 2);
                break;
            }
            case 1: {  // same length, one limb differs
                Limbs l = limbs(a.get());
                l[rng() % l.size()] ^= 1u << (rng() % 32);
                b = make_int(l, a->negative);
                break;
            }
            default:
                b = random_int(rng, iter % 2 ? 6 : kMaxLimbs);
        }
        const Mpz ma(a.get());
        const Mpz mb(b.get());
        const int want = mpz_cmp(ma.get(), mb.get());
        EXPECT_EQ(tvl_int_cmp(a.get(), b.get()), (want > 0) - (want < 0));

        const bool fits = mpz_cmpabs(ma.get(), mb.get()) >= 0;
        ASSERT_EQ(tvl_int_sub_inplace(a.get(), b.get()), fits);
        if (!fits) continue;
        Mpz diff;
        Mpz absb;
        mpz_abs(diff.get(), ma.get());
        mpz_abs(absb.get(), mb.get());
        mpz_sub(diff.get(), diff.get(), absb.get());
        EXPECT_EQ(limbs(a.get()), diff.magnitude());
        EXPECT_EQ(a->negative != 0, ma.negative()) << "the sign is kept";
    }
}

TEST(BigIntReference, SmallOperands) {
    std::mt19937_64 rng(0x5EED0009);
    for (int iter = 0; iter < 600; ++iter) {
        IntPtr n = random_int(rng, iter % 2 ? 4 : kMaxLimbs - 1);
        const Mpz before(n.get());
        auto v = static_cast<uint32_t>(rng());
        if (rng() % 4 == 0) v = 0xFFFFFFFFu - static_cast<uint32_t>(rng() % 3);
        Mpz want;
        Mpz absb;
        mpz_abs(absb.get(), before.get());
        switch (iter % 3) {
            case 0:
                ASSERT_TRUE(tvl_int_add_u32(n.get(), v));
                mpz_add_ui(want.get(), absb.get(), v);
                break;
            case 1:
                ASSERT_TRUE(tvl_int_mul_u32(n.get(), v));
                mpz_mul_ui(want.get(), absb.get(), v);
                break;
            default: {
                if (v == 0) v = 1;
                const uint32_t rem = tvl_int_div_u32(n.get(), v);
                EXPECT_EQ(rem, mpz_tdiv_q_ui(want.get(), absb.get(), v));
                break;
            }
        }
        if (before.negative()) mpz_neg(want.get(), want.get());
        EXPECT_TRUE(same_value(n.get(), want)) << "op " << iter % 3 << " by " << v;
    }
}

// ---------------------------------------------------------------------------------------
// Text in every base
// ---------------------------------------------------------------------------------------

// Our alphabets, written out independently of the library's tables.
const std::string kAlnum = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
const std::string kB64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

char digit(uint32_t v, uint32_t base) {
    if (base == 64) return kB64[v];
    if (base == 85) return static_cast<char>('!' + v);
    return kAlnum[v];
}

std::vector<uint32_t> bases() {
    std::vector<uint32_t> b;
    for (uint32_t i = 2; i <= 62; ++i) b.push_back(i);
    b.push_back(64);
    b.push_back(85);
    return b;
}

// GMP writes digits 10..35 of bases above 36 as upper-case letters and 36..61 as lower-case
// ones; ours are the other way round.
std::string swap_case(std::string s) {
    for (char &c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (std::islower(u))
            c = static_cast<char>(std::toupper(u));
        else if (std::isupper(u))
            c = static_cast<char>(std::tolower(u));
    }
    return s;
}

std::string reference_text(const Mpz &v, uint32_t base) {
    if (base <= 62) {
        std::string s(mpz_sizeinbase(v.get(), static_cast<int>(base)) + 2, '\0');
        mpz_get_str(s.data(), static_cast<int>(base), v.get());
        s.resize(std::char_traits<char>::length(s.c_str()));
        return base > 36 ? swap_case(s) : s;
    }
    Mpz m;
    mpz_abs(m.get(), v.get());
    // Digits in groups of k, one division by base^k each.
    unsigned long power = base;
    int k = 1;
    for (; power <= ~0ul / base; ++k) power *= base;
    std::string s;
    do {
        unsigned long r = mpz_tdiv_q_ui(m.get(), m.get(), power);
        for (int i = 0; i < k && (r != 0 || mpz_sgn(m.get()) != 0); ++i, r /= base) {
            s.push_back(digit(static_cast<uint32_t>(r % base), base));
        }
    } while (mpz_sgn(m.get()) != 0);
    if (s.empty()) s.push_back(digit(0, base));
    // A leading digit that reads as a sign is preceded by the zero digit.
    if (!v.negative() && (s.back() == '+' || s.back() == '-')) s.push_back(digit(0, base));
    if (v.negative()) s.push_back('-');
    std::reverse(s.begin(), s.end());
    return s;
}

std::string print(const tvl_int *n, uint32_t base) {
    std::string buf(tvl_int_str_bufsize(tvl_int_bitlen(n), base), 'x');
    const int len = tvl_int_to_str(n, buf.data(), buf.size(), base);
    if (len < 0) return "<failed>";
    buf.resize(static_cast<size_t>(len));
    return buf;
}

TEST(BigIntReference, PrintAndReadBackInEveryBase) {
    std::mt19937_64 rng(0x5EED000A);
    for (uint32_t base : bases()) {
        for (int iter = 0; iter < 12; ++iter) {
            IntPtr n = random_int(rng, iter < 3 ? 2 : kMaxLimbs);
            // Some values get a leading digit that doubles as a sign in bases 64 and 85.
            if (iter % 4 == 3 && (base == 64 || base == 85)) {
                Mpz m(n.get());
                mpz_abs(m.get(), m.get());
                Mpz p;
                mpz_ui_pow_ui(p.get(), base, mpz_sizeinbase(m.get(), 2) / 7);
                mpz_tdiv_r(m.get(), m.get(), p.get());
                mpz_mul_ui(p.get(), p.get(), base == 64 ? 62 : 10 + 2 * (rng() % 2));
                mpz_add(m.get(), m.get(), p.get());
                n = make_int(m.magnitude(), rng() % 2);
            }
            const Mpz value(n.get());
            const std::string text = print(n.get(), base);
            ASSERT_EQ(text, reference_text(value, base)) << "base " << base;

            IntPtr back = make_int();
            ASSERT_TRUE(tvl_int_from_str(back.get(), text.c_str(), base)) << "base " << base;
            EXPECT_TRUE(same_value(back.get(), value)) << "base " << base;
        }
    }
}

// Prints n in base, checks the text against GMP, and reads it back behind `zeros` leading
// zero digits (which move where the reading chunks begin).
void check_text(const tvl_int *n, uint32_t base, size_t zeros) {
    const Mpz value(n);
    const std::string text = print(n, base);
    ASSERT_EQ(text, reference_text(value, base))
        << "base " << base << ", " << n->length << " limbs";
    std::string padded = text;
    padded.insert(value.negative() ? 1 : 0, zeros, digit(0, base));
    IntPtr back = make_int();
    ASSERT_TRUE(tvl_int_from_str(back.get(), padded.c_str(), base)) << "base " << base;
    EXPECT_TRUE(same_value(back.get(), value)) << "base " << base << ", " << n->length << " limbs";
}

// Values of every length up to the ceiling, so that every size around the points where the
// conversions change method is met: random limbs, all ones, and a power of ten with its
// neighbours (long runs of zero digits). Every length is written and read in bases 10 and
// 16; the other bases take every fourth length in turn.
TEST(BigIntReference, TextOfEveryLength) {
    const uint32_t kOtherBases[] = {2, 8, 36, 62, 64, 85};
    std::mt19937_64 rng(0x5EED000C);
    for (size_t len = 1; len <= kMaxLimbs; ++len) {
        Mpz ones;
        mpz_ui_pow_ui(ones.get(), 2, 32 * len);
        mpz_sub_ui(ones.get(), ones.get(), 1);
        Mpz ten;
        mpz_ui_pow_ui(ten.get(), 10, static_cast<unsigned long>(9.63 * static_cast<double>(len)));
        if (len % 3 == 0) mpz_sub_ui(ten.get(), ten.get(), 1);
        if (len % 3 == 1) mpz_add_ui(ten.get(), ten.get(), 1);
        const Limbs shapes[] = {random_limbs(rng, len), ones.magnitude(), ten.magnitude()};
        for (const Limbs &l : shapes) {
            IntPtr n = make_int(l, rng() % 2);
            const size_t zeros = rng() % 4 == 0 ? rng() % 40 : 0;
            check_text(n.get(), 10, zeros);
            check_text(n.get(), 16, zeros);
            if (len % 4 == 0)
                check_text(n.get(), kOtherBases[len / 4 % std::size(kOtherBases)], zeros);
        }
    }
}

// The powers that split decimal text, 10^(19 * 2^k), and their neighbours, in base 10.
TEST(BigIntReference, DecimalSplitPowers) {
    for (unsigned long digits = 19; digits <= 9864; digits *= 2) {
        for (long delta : {-1L, 0L, 1L}) {
            for (unsigned long times : {1ul, 7ul}) {
                Mpz v;
                mpz_ui_pow_ui(v.get(), 10, digits);
                mpz_mul_ui(v.get(), v.get(), times);
                if (delta < 0) mpz_sub_ui(v.get(), v.get(), 1);
                if (delta > 0) mpz_add_ui(v.get(), v.get(), 1);
                if (v.bits() > kMaxBits) continue;
                check_text(make_int(v.magnitude(), delta < 0).get(), 10, 0);
            }
        }
    }
}

// Random digit strings, with leading zeros, explicit signs and (up to base 36) mixed case,
// read by the library and by GMP (bases 64 and 85 by Horner's rule on GMP values).
TEST(BigIntReference, ReadRandomDigitStrings) {
    std::mt19937_64 rng(0x5EED000B);
    for (uint32_t base : bases()) {
        const auto max_digits =
            static_cast<size_t>(kMaxBits / std::log2(static_cast<double>(base))) + 2;
        for (int iter = 0; iter < 8; ++iter) {
            const size_t ndigits = 1 + (iter == 0 ? max_digits - 1 : rng() % max_digits);
            std::string digits;
            Mpz want;
            for (size_t i = 0; i < ndigits; ++i) {
                auto d = static_cast<uint32_t>(rng() % base);
                if (i < 3 && rng() % 2 == 0) d = 0;
                char c = digit(d, base);
                if (base <= 36 && rng() % 2 == 0) c = static_cast<char>(std::toupper(c));
                digits.push_back(c);
                mpz_mul_ui(want.get(), want.get(), base);
                mpz_add_ui(want.get(), want.get(), d);
            }
            if (base <= 62) {
                Mpz gmp;
                const std::string gmp_digits = base > 36 ? swap_case(digits) : digits;
                ASSERT_EQ(mpz_set_str(gmp.get(), gmp_digits.c_str(), static_cast<int>(base)), 0);
                ASSERT_EQ(mpz_cmp(gmp.get(), want.get()), 0) << "base " << base;
            }
            std::string text = digits;
            const auto sign = rng() % 3;
            if (sign == 1) text = "-" + text;
            if (sign == 2) text = "+" + text;
            if (sign == 0 && (digits[0] == '+' || digits[0] == '-')) {
                text = std::string(1, digit(0, base)) + text;  // would read as a sign
            }
            if (sign == 1) mpz_neg(want.get(), want.get());

            IntPtr n = make_int();
            const bool fits = want.bits() <= kMaxBits;
            ASSERT_EQ(tvl_int_from_str(n.get(), text.c_str(), base), fits)
                << "base " << base << ", " << ndigits << " digits";
            if (fits) {
                EXPECT_TRUE(same_value(n.get(), want)) << "base " << base;
            }
        }
    }
}

}  // namespace
