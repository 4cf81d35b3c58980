// Big integer: representation, growth rule, native conversions, arithmetic, bits and
// comparison, long division edge cases and records whose fields do not fit together.
#include "bignum/bigint.h"

#include <climits>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>
#include <vector>

#include "bigint_support.h"

namespace {

using bigint_test::IntPtr;
using bigint_test::limbs;
using bigint_test::make_int;
using Limbs = std::vector<uint32_t>;

// A record over a caller's fixed buffer (owned clear).
struct FixedInt {
    explicit FixedInt(uint32_t cap) : buf(cap ? cap : 1, 0xDEADBEEFu) {
        n.limbs = cap ? buf.data() : nullptr;
        n.capacity = cap;
    }
    std::vector<uint32_t> buf;
    tvl_int n{};
};

// ---------------------------------------------------------------------------------------
// Lifetime, state and the growth rule
// ---------------------------------------------------------------------------------------

TEST(BigIntState, AllocGivesOwnedZeroWithoutBuffer) {
    IntPtr n = make_int();
    EXPECT_EQ(n->limbs, nullptr);
    EXPECT_EQ(n->capacity, 0u);
    EXPECT_EQ(n->length, 0u);
    EXPECT_EQ(n->negative, 0);
    EXPECT_EQ(n->owned, 1);
    EXPECT_TRUE(tvl_int_is_zero(n.get()));
    EXPECT_TRUE(tvl_int_is_zero(nullptr));
    tvl_int_free(nullptr);
}

TEST(BigIntState, ZeroKeepsBufferAndNormDropsTopZeros) {
    IntPtr n = make_int({1, 2, 3}, true);
    uint32_t *buf = n->limbs;
    tvl_int_zero(n.get());
    EXPECT_EQ(n->length, 0u);
    EXPECT_EQ(n->negative, 0);
    EXPECT_EQ(n->limbs, buf);

    n->length = 3;
    n->limbs[1] = 0;
    n->limbs[2] = 0;
    n->negative = 1;
    tvl_int_norm(n.get());
    EXPECT_EQ(limbs(n.get()), Limbs({1}));
    EXPECT_EQ(n->negative, 1);
    n->limbs[0] = 0;
    tvl_int_norm(n.get());
    EXPECT_EQ(n->length, 0u);
    EXPECT_EQ(n->negative, 0) << "zero is positive in normal form";
    tvl_int_norm(nullptr);
}

TEST(BigIntState, CopyTakesValueAndGrows) {
    IntPtr src = make_int({7, 8, 9, 10, 11, 12, 13, 14, 15}, true);
    IntPtr dst = make_int();
    ASSERT_TRUE(tvl_int_copy(dst.get(), src.get()));
    EXPECT_EQ(limbs(dst.get()), limbs(src.get()));
    EXPECT_EQ(dst->negative, 1);
    EXPECT_EQ(dst->capacity, 9u) << "max(needed 9, first buffer 8)";
    EXPECT_TRUE(tvl_int_copy(dst.get(), dst.get()));
    EXPECT_FALSE(tvl_int_copy(nullptr, src.get()));
    EXPECT_FALSE(tvl_int_copy(dst.get(), nullptr));

    FixedInt small(8);
    EXPECT_FALSE(tvl_int_copy(&small.n, src.get()));
    FixedInt fits(9);
    EXPECT_TRUE(tvl_int_copy(&fits.n, src.get()));
    EXPECT_EQ(limbs(&fits.n), limbs(src.get()));
    EXPECT_EQ(fits.n.limbs, fits.buf.data());
}

// Each row starts from zero in an owned buffer of `start` limbs and sets bit `bit`, which
// needs bit / 32 + 1 limbs.
TEST(BigIntGrowth, OwnedBuffersGrowByDoublingCappedAtCeiling) {
    struct Row {
        uint32_t start;
        int bit;
        uint32_t capacity;
    };
    const Row rows[] = {
        {0, 0, 8},     {0, 300, 10},       {1, 40, 2},          {8, 256, 16},        {8, 1000, 32},
        {16, 600, 32}, {600, 32767, 1024}, {1000, 32000, 1024}, {1024, 32767, 1024},
    };
    for (const Row &r : rows) {
        IntPtr n = make_int();
        if (r.start > 0) {
            n->limbs = static_cast<uint32_t *>(std::calloc(r.start, sizeof(uint32_t)));
            n->capacity = r.start;
        }
        ASSERT_TRUE(tvl_int_setbit(n.get(), r.bit)) << r.start << " " << r.bit;
        EXPECT_EQ(n->capacity, r.capacity) << r.start << " " << r.bit;
        EXPECT_EQ(n->length, static_cast<uint32_t>(r.bit) / 32 + 1);
        for (uint32_t i = 0; i < n->capacity; ++i) {
            const uint32_t want = i == static_cast<uint32_t>(r.bit) / 32 ? 1u << (r.bit % 32) : 0;
            ASSERT_EQ(n->limbs[i], want) << "limb " << i << " after growth to " << n->capacity;
        }
    }
}

TEST(BigIntGrowth, FixedBuffersNeverMoveAndRefuseToGrow) {
    FixedInt one(1);
    EXPECT_FALSE(tvl_int_from_uint64(&one.n, 1)) << "the native family needs two limbs";
    EXPECT_TRUE(tvl_int_from_uint64(&one.n, 0));
    EXPECT_EQ(one.buf[0], 0xDEADBEEFu) << "zero touches no limb";

    // Every operation that needs a third limb fails on a full two-limb buffer.
    FixedInt two(2);
    bool (*const grow[])(tvl_int *) = {
        [](tvl_int *n) { return tvl_int_add_u32(n, 1); },
        [](tvl_int *n) { return tvl_int_mul_u32(n, 2); },
        [](tvl_int *n) { return tvl_int_shl(n, 1); },
        [](tvl_int *n) { return tvl_int_setbit(n, 64); },
        [](tvl_int *n) { return tvl_int_mul_pow10(n, 1); },
        [](tvl_int *n) { return tvl_int_from_str(n, "18446744073709551616", 10); },
    };
    for (auto op : grow) {
        ASSERT_TRUE(tvl_int_from_uint64(&two.n, 0xFFFFFFFFFFFFFFFFull));
        EXPECT_FALSE(op(&two.n));
        EXPECT_EQ(two.n.limbs, two.buf.data());
        EXPECT_EQ(two.n.capacity, 2u);
    }

    FixedInt none(0);
    EXPECT_TRUE(tvl_int_from_str(&none.n, "000", 10));
    EXPECT_FALSE(tvl_int_from_str(&none.n, "1", 10));
    EXPECT_TRUE(tvl_int_mul_pow10(&none.n, 5)) << "zero stays zero";
    EXPECT_FALSE(tvl_int_add_u32(&none.n, 1));
}

// ---------------------------------------------------------------------------------------
// Native integers
// ---------------------------------------------------------------------------------------

__extension__ typedef __int128 Wide;
__extension__ typedef unsigned __int128 UWide;

Limbs limbs_of_wide(Wide v) {
    UWide m = v < 0 ? static_cast<UWide>(-v) : static_cast<UWide>(v);
    Limbs out;
    while (m != 0) {
        out.push_back(static_cast<uint32_t>(m));
        m >>= 32;
    }
    return out;
}

template <typename T>
void check_from(bool (*from)(tvl_int *, T)) {
    const T values[] = {0, 1, std::numeric_limits<T>::max(), std::numeric_limits<T>::min(),
                        static_cast<T>(std::numeric_limits<T>::max() / 3)};
    for (T v : values) {
        IntPtr n = make_int();
        ASSERT_TRUE(from(n.get(), v));
        EXPECT_EQ(limbs(n.get()), limbs_of_wide(static_cast<Wide>(v))) << static_cast<long long>(v);
        EXPECT_EQ(n->negative != 0, v < 0);
        EXPECT_EQ(n->capacity, v == 0 ? 0u : 8u) << "zero allocates nothing";
    }
    EXPECT_FALSE(from(nullptr, T{1}));
}

TEST(BigIntNative, ConstructionFromEveryWidth) {
    check_from(&tvl_int_from_uint64);
    check_from(&tvl_int_from_int64);
    check_from(&tvl_int_from_uint32);
    check_from(&tvl_int_from_int32);
    check_from(&tvl_int_from_uint16);
    check_from(&tvl_int_from_int16);
    check_from(&tvl_int_from_uint8);
    check_from(&tvl_int_from_int8);

    IntPtr n = make_int({1, 2, 3, 4}, true);
    ASSERT_TRUE(tvl_int_from_int8(n.get(), -128));
    EXPECT_EQ(limbs(n.get()), Limbs({128}));
    EXPECT_EQ(n->negative, 1);
    ASSERT_TRUE(tvl_int_from_int64(n.get(), INT64_MIN));
    EXPECT_EQ(limbs(n.get()), Limbs({0, 0x80000000u}));
    ASSERT_TRUE(tvl_int_from_int32(n.get(), 0));
    EXPECT_EQ(n->length, 0u);
    EXPECT_EQ(n->negative, 0);
}

// Values around every width boundary, with and without sign, and beyond 64 bits.
std::vector<Wide> boundary_values() {
    std::vector<Wide> out = {0};
    for (int bits : {7, 8, 15, 16, 31, 32, 63, 64}) {
        const Wide p = Wide{1} << bits;
        for (Wide v : {p - 2, p - 1, p, p + 1}) {
            out.push_back(v);
            out.push_back(-v);
        }
    }
    return out;
}

template <typename T>
void check_to(bool (*to)(const tvl_int *, T *)) {
    const Wide lo = std::numeric_limits<T>::min();
    const Wide hi = std::numeric_limits<T>::max();
    for (Wide v : boundary_values()) {
        IntPtr n = make_int(limbs_of_wide(v), v < 0);
        T out = static_cast<T>(42);
        const bool fits = v >= lo && v <= hi;
        const Wide want = fits ? v : Wide{42};  // untouched on failure
        ASSERT_EQ(to(n.get(), &out), fits) << static_cast<long double>(v);
        EXPECT_TRUE(static_cast<Wide>(out) == want) << static_cast<long double>(v);
    }
    IntPtr big = make_int({0, 0, 1});
    T out{};
    EXPECT_FALSE(to(big.get(), &out));
    EXPECT_FALSE(to(nullptr, &out));
    EXPECT_FALSE(to(big.get(), nullptr));
}

TEST(BigIntNative, NarrowingAtEveryWidthBoundary) {
    check_to(&tvl_int_to_uint64);
    check_to(&tvl_int_to_int64);
    check_to(&tvl_int_to_uint32);
    check_to(&tvl_int_to_int32);
    check_to(&tvl_int_to_uint16);
    check_to(&tvl_int_to_int16);
    check_to(&tvl_int_to_uint8);
    check_to(&tvl_int_to_int8);
}

TEST(BigIntNative, NarrowingReadsTheValueNotTheLength) {
    // Zero top limbs left by a caller do not make a small value wide, and a zero that
    // carries the sign flag still reads as 0 for unsigned targets.
    IntPtr n = make_int({5, 1, 1});
    n->limbs[1] = n->limbs[2] = 0;
    uint64_t u = 0;
    EXPECT_TRUE(tvl_int_to_uint64(n.get(), &u));
    EXPECT_EQ(u, 5u);
    n->length = 0;
    n->negative = 1;
    uint8_t b = 9;
    EXPECT_TRUE(tvl_int_to_uint8(n.get(), &b));
    EXPECT_EQ(b, 0);
}

// ---------------------------------------------------------------------------------------
// Small-operand arithmetic
// ---------------------------------------------------------------------------------------

TEST(BigIntArith, AddMulDivBySmallValues) {
    struct Row {
        const char *op;
        Limbs a;
        bool negative;
        uint32_t v;
        Limbs want;
        bool want_negative;
        uint32_t rem;  // div only
    };
    const Row rows[] = {
        {"add", {}, false, 0, {}, false, 0},
        {"add", {}, false, 7, {7}, false, 0},
        {"add", {0xFFFFFFFFu, 0xFFFFFFFFu}, true, 1, {0, 0, 1}, true, 0},
        {"add", {0xFFFFFFFEu, 5}, false, 3, {1, 6}, false, 0},
        {"mul", {5}, true, 0, {}, false, 0},
        {"mul", {}, false, 9, {}, false, 0},
        {"mul", {0x80000000u}, false, 2, {0, 1}, false, 0},
        {"mul",
         {0xFFFFFFFFu, 0xFFFFFFFFu},
         true,
         0xFFFFFFFFu,
         {1, 0xFFFFFFFFu, 0xFFFFFFFEu},
         true,
         0},
        {"div", {0, 0, 1}, false, 2, {0, 0x80000000u}, false, 0},
        {"div", {7}, true, 2, {3}, true, 1},
        {"div", {7}, true, 8, {}, false, 7},
        {"div", {0x12345678u, 0x9ABCDEF0u}, false, 0xFFFFFFFFu, {0x9ABCDEF0u}, false, 0xACF13568u},
    };
    for (const Row &r : rows) {
        IntPtr n = make_int(r.a, r.negative);
        if (std::string(r.op) == "add") {
            ASSERT_TRUE(tvl_int_add_u32(n.get(), r.v));
        } else if (std::string(r.op) == "mul") {
            ASSERT_TRUE(tvl_int_mul_u32(n.get(), r.v));
        } else {
            EXPECT_EQ(tvl_int_div_u32(n.get(), r.v), r.rem);
        }
        EXPECT_EQ(limbs(n.get()), r.want) << r.op << " " << r.v;
        EXPECT_EQ(n->negative != 0, r.want_negative) << r.op << " " << r.v;
    }
}

TEST(BigIntArith, DivisionByZeroAndNullRecords) {
    IntPtr n = make_int({1, 2}, true);
    EXPECT_EQ(tvl_int_div_u32(n.get(), 0), 0xFFFFFFFFu);
    EXPECT_EQ(limbs(n.get()), Limbs({1, 2}));
    EXPECT_EQ(tvl_int_div_u32(nullptr, 3), 0xFFFFFFFFu);
    EXPECT_FALSE(tvl_int_add_u32(nullptr, 1));
    EXPECT_FALSE(tvl_int_mul_u32(nullptr, 1));
    EXPECT_FALSE(tvl_int_mul_pow10(nullptr, 1));
}

TEST(BigIntArith, MulPow10) {
    IntPtr n = make_int({3});
    ASSERT_TRUE(tvl_int_mul_pow10(n.get(), 0));
    ASSERT_TRUE(tvl_int_mul_pow10(n.get(), -5));
    EXPECT_EQ(limbs(n.get()), Limbs({3}));
    ASSERT_TRUE(tvl_int_mul_pow10(n.get(), 19));  // 3e19 = 0x1_A055_690D_9DB8_0000
    EXPECT_EQ(limbs(n.get()), Limbs({0x9DB80000u, 0xA055690Du, 1}));

    IntPtr zero = make_int();
    ASSERT_TRUE(tvl_int_mul_pow10(zero.get(), 1000));
    EXPECT_EQ(zero->limbs, nullptr) << "zero stays zero without a buffer";

    // 10^9864 has 32767.3 bits, 10^9865 needs 32771.
    IntPtr one = make_int({1});
    ASSERT_TRUE(tvl_int_mul_pow10(one.get(), 9864));
    EXPECT_EQ(tvl_int_bitlen(one.get()), 32768u);
    ASSERT_TRUE(tvl_int_from_uint32(one.get(), 1));
    EXPECT_FALSE(tvl_int_mul_pow10(one.get(), 9865));
    ASSERT_TRUE(tvl_int_from_uint32(one.get(), 1));
    EXPECT_FALSE(tvl_int_mul_pow10(one.get(), INT_MAX));
}

// ---------------------------------------------------------------------------------------
// Shifts, bits and comparison
// ---------------------------------------------------------------------------------------

TEST(BigIntShift, LeftAndRight) {
    struct Row {
        bool left;
        Limbs a;
        bool negative;
        int bits;
        Limbs want;
        bool want_negative;
    };
    const Row rows[] = {
        {true, {1}, false, 0, {1}, false},
        {true, {1}, false, -3, {1}, false},
        {true, {}, false, 40, {}, false},
        {true, {0x80000001u}, true, 1, {2, 1}, true},
        {true, {0x12345678u}, false, 36, {0, 0x23456780u, 1}, false},
        {true, {1, 2}, false, 64, {0, 0, 1, 2}, false},
        {false, {1}, true, 1, {}, false},
        {false, {0, 0, 1, 2}, true, 64, {1, 2}, true},
        {false, {0x9ABCDEF0u, 0x12345678u}, false, 4, {0x89ABCDEFu, 0x01234567u}, false},
        {false, {1, 2}, false, -1, {1, 2}, false},
        {false, {1, 2}, true, 64, {}, false},
        {false, {1, 2}, true, INT_MAX, {}, false},
        {false, {0, 1}, false, 33, {}, false},
    };
    for (const Row &r : rows) {
        IntPtr n = make_int(r.a, r.negative);
        if (r.left) {
            ASSERT_TRUE(tvl_int_shl(n.get(), r.bits)) << r.bits;
        } else {
            tvl_int_shr(n.get(), r.bits);
        }
        EXPECT_EQ(limbs(n.get()), r.want) << (r.left ? "shl " : "shr ") << r.bits;
        EXPECT_EQ(n->negative != 0, r.want_negative) << (r.left ? "shl " : "shr ") << r.bits;
    }
    EXPECT_TRUE(tvl_int_shl(nullptr, 3));
    tvl_int_shr(nullptr, 3);
}

TEST(BigIntShift, LeftShiftStopsAtTheCeiling) {
    IntPtr n = make_int({1});
    ASSERT_TRUE(tvl_int_shl(n.get(), 32767));
    EXPECT_EQ(n->length, 1024u);
    EXPECT_TRUE(tvl_int_getbit(n.get(), 32767));
    const Limbs before = limbs(n.get());
    EXPECT_FALSE(tvl_int_shl(n.get(), 1));
    EXPECT_FALSE(tvl_int_shl(n.get(), 32));
    EXPECT_FALSE(tvl_int_shl(n.get(), INT_MAX));
    EXPECT_EQ(limbs(n.get()), before) << "a refused shift changes nothing";

    IntPtr m = make_int({1});
    EXPECT_FALSE(tvl_int_shl(m.get(), 32768));
    EXPECT_FALSE(tvl_int_shl(m.get(), INT_MAX));
    EXPECT_TRUE(tvl_int_shl(m.get(), 32736));  // whole limbs only: 1024 limbs
    EXPECT_EQ(m->length, 1024u);
}

TEST(BigIntBits, SetGetAndLength) {
    IntPtr n = make_int();
    EXPECT_EQ(tvl_int_bitlen(n.get()), 0u);
    EXPECT_EQ(tvl_int_bitlen(nullptr), 0u);
    ASSERT_TRUE(tvl_int_setbit(n.get(), 32767));
    EXPECT_EQ(n->length, 1024u);
    EXPECT_EQ(tvl_int_bitlen(n.get()), 32768u);
    EXPECT_FALSE(tvl_int_setbit(n.get(), 32768));
    EXPECT_FALSE(tvl_int_setbit(n.get(), -1));
    EXPECT_FALSE(tvl_int_setbit(n.get(), INT_MAX));
    EXPECT_FALSE(tvl_int_setbit(nullptr, 0));
    ASSERT_TRUE(tvl_int_setbit(n.get(), 33));
    for (int i : {0, 32, 34, 32766}) EXPECT_FALSE(tvl_int_getbit(n.get(), i)) << i;
    for (int i : {33, 32767}) EXPECT_TRUE(tvl_int_getbit(n.get(), i)) << i;
    for (int i : {-1, 32768, INT_MAX, INT_MIN}) EXPECT_FALSE(tvl_int_getbit(n.get(), i)) << i;
    EXPECT_FALSE(tvl_int_getbit(nullptr, 0));

    const uint32_t tops[] = {1, 2, 3, 0x80000000u, 0xFFFFFFFFu, 0x00010000u};
    const uint32_t lens[] = {33, 34, 34, 64, 64, 49};
    for (size_t i = 0; i < 6; ++i) {
        IntPtr v = make_int({0xFFFFFFFFu, tops[i]});
        EXPECT_EQ(tvl_int_bitlen(v.get()), lens[i]);
    }
}

TEST(BigIntCompare, SignsThenMagnitudes) {
    struct Row {
        Limbs a;
        bool an;
        Limbs b;
        bool bn;
        int want;
    };
    const Row rows[] = {
        {{5}, true, {3}, false, -1},
        {{5}, true, {3}, true, -1},
        {{}, false, {}, false, 0},
        {{3}, false, {5}, true, 1},
        {{0, 1}, false, {5}, false, 1},
        {{0, 1}, true, {5}, true, -1},
        {{7, 1}, false, {8, 1}, false, -1},
        {{7, 1}, true, {8, 1}, true, 1},
        {{1, 2, 3}, true, {1, 2, 3}, true, 0},
        {{1}, false, {}, false, 1},
        {{1}, true, {}, false, -1},
    };
    for (const Row &r : rows) {
        IntPtr a = make_int(r.a, r.an);
        IntPtr b = make_int(r.b, r.bn);
        EXPECT_EQ(tvl_int_cmp(a.get(), b.get()), r.want);
        EXPECT_EQ(tvl_int_cmp(b.get(), a.get()), -r.want);
    }
    // Two zeros are equal whatever their sign flags say; null compares as zero.
    IntPtr z1 = make_int();
    IntPtr z2 = make_int();
    z2->negative = 1;
    EXPECT_EQ(tvl_int_cmp(z1.get(), z2.get()), 0);
    EXPECT_EQ(tvl_int_cmp(nullptr, z1.get()), 0);
}

// ---------------------------------------------------------------------------------------
// Magnitude subtraction and long division
// ---------------------------------------------------------------------------------------

TEST(BigIntSub, MagnitudesInPlace) {
    struct Row {
        Limbs a;
        bool an;
        Limbs b;
        bool ok;
        Limbs want;
    };
    const Row rows[] = {
        {{5}, false, {3}, true, {2}},
        {{0, 1}, false, {1}, true, {0xFFFFFFFFu}},
        {{0, 0, 1}, true, {1}, true, {0xFFFFFFFFu, 0xFFFFFFFFu}},
        {{7, 7}, true, {7, 7}, true, {}},
        {{3}, false, {5}, false, {}},
        {{3}, false, {0, 1}, false, {}},
        {{}, false, {}, true, {}},
    };
    for (const Row &r : rows) {
        IntPtr a = make_int(r.a, r.an);
        IntPtr b = make_int(r.b, true);
        ASSERT_EQ(tvl_int_sub_inplace(a.get(), b.get()), r.ok);
        if (!r.ok) continue;
        EXPECT_EQ(limbs(a.get()), r.want);
        EXPECT_EQ(a->negative != 0, r.an) << "the sign is neither read nor changed";
    }
    IntPtr a = make_int({9, 9});
    EXPECT_TRUE(tvl_int_sub_inplace(a.get(), a.get()));
    EXPECT_EQ(a->length, 0u);

    // A fixed one-limb buffer cannot take a two-limb subtrahend.
    FixedInt f(1);
    ASSERT_TRUE(tvl_int_from_str(&f.n, "3", 10));
    IntPtr big = make_int({0, 1});
    EXPECT_FALSE(tvl_int_sub_inplace(&f.n, big.get()));
    EXPECT_FALSE(tvl_int_sub_inplace(nullptr, big.get()));
    EXPECT_FALSE(tvl_int_sub_inplace(a.get(), nullptr));
}

TEST(BigIntDivrem, SignsAndShortCuts) {
    struct Row {
        Limbs a;
        bool an;
        Limbs b;
        bool bn;
        Limbs q;
        bool qn;
        Limbs r;
        bool rn;
    };
    const Row rows[] = {
        {{7}, true, {2}, false, {3}, true, {1}, true},
        {{7}, false, {2}, true, {3}, true, {1}, false},
        {{6}, true, {3}, false, {2}, true, {}, false},
        {{}, true, {3}, true, {}, false, {}, false},
        {{5}, true, {0, 1}, true, {}, false, {5}, true},
        {{4, 5}, true, {4, 5}, false, {1}, true, {}, false},
        {{4, 5}, true, {4, 5}, true, {1}, false, {}, false},
        {{0, 0, 1}, false, {0, 1}, false, {0, 1}, false, {}, false},
        {{2, 0, 1}, true, {3}, false, {0x55555556u, 0x55555555u}, true, {}, false},
        {{1, 0, 1}, true, {3}, false, {0x55555555u, 0x55555555u}, true, {2}, true},
    };
    for (const Row &r : rows) {
        IntPtr a = make_int(r.a, r.an);
        IntPtr b = make_int(r.b, r.bn);
        IntPtr q = make_int({9, 9, 9}, true);
        IntPtr rem = make_int({9}, true);
        ASSERT_TRUE(tvl_int_divrem(q.get(), rem.get(), a.get(), b.get()));
        EXPECT_EQ(limbs(q.get()), r.q);
        EXPECT_EQ(q->negative != 0, r.qn);
        EXPECT_EQ(limbs(rem.get()), r.r);
        EXPECT_EQ(rem->negative != 0, r.rn);
    }
}

TEST(BigIntDivrem, Failures) {
    IntPtr a = make_int({7}, true);
    IntPtr zero = make_int();
    IntPtr q = make_int({9}, true);
    IntPtr r = make_int({9}, true);
    EXPECT_FALSE(tvl_int_divrem(q.get(), r.get(), a.get(), zero.get()));
    EXPECT_EQ(q->length, 0u);
    EXPECT_EQ(r->length, 0u);
    EXPECT_EQ(q->negative + r->negative, 0);

    ASSERT_TRUE(tvl_int_from_int32(q.get(), 9));
    EXPECT_FALSE(tvl_int_divrem(q.get(), r.get(), a.get(), nullptr));
    EXPECT_EQ(q->length, 0u);
    EXPECT_FALSE(tvl_int_divrem(nullptr, r.get(), a.get(), a.get()));
    EXPECT_FALSE(tvl_int_divrem(q.get(), nullptr, a.get(), a.get()));

    // Results may not share a record with the operands or with each other.
    IntPtr b = make_int({2});
    EXPECT_FALSE(tvl_int_divrem(a.get(), r.get(), a.get(), b.get()));
    EXPECT_FALSE(tvl_int_divrem(q.get(), b.get(), a.get(), b.get()));
    EXPECT_FALSE(tvl_int_divrem(q.get(), q.get(), a.get(), b.get()));
    EXPECT_EQ(limbs(a.get()), Limbs({7}));
    EXPECT_EQ(limbs(b.get()), Limbs({2}));

    // Fixed buffers too small for the quotient or the remainder.
    // [1, 2, 3, 4, 5] / [-1, -1, 1]: a three-limb quotient and a three-limb remainder.
    IntPtr wide = make_int({1, 2, 3, 4, 5});
    IntPtr div = make_int({0xFFFFFFFFu, 0xFFFFFFFFu, 1});
    FixedInt q2(2);
    FixedInt q3(3);
    FixedInt r2(2);
    FixedInt r3(3);
    EXPECT_FALSE(tvl_int_divrem(&q2.n, &r3.n, wide.get(), div.get()));
    EXPECT_FALSE(tvl_int_divrem(&q3.n, &r2.n, wide.get(), div.get()));
    ASSERT_TRUE(tvl_int_divrem(&q3.n, &r3.n, wide.get(), div.get()));
    EXPECT_EQ(limbs(&q3.n), Limbs({2, 0x80000002u, 2}));
    EXPECT_EQ(limbs(&r3.n), Limbs({3, 0x80000004u, 1}));
}

// ---------------------------------------------------------------------------------------
// Limb operations of the internal interface (shared with the big float)
// ---------------------------------------------------------------------------------------

TEST(BigIntLimbs, CarriesBorrowsAndShifts) {
    Limbs a = {0xFFFFFFFFu, 0xFFFFFFFFu, 7};
    EXPECT_EQ(tvl::add(a, Limbs{1}), 0u);
    EXPECT_EQ(a, Limbs({0, 0, 8}));
    Limbs full = {0xFFFFFFFFu, 0xFFFFFFFFu};
    EXPECT_EQ(tvl::add(full, Limbs{1, 0}), 1u) << "carry out of the top";
    EXPECT_EQ(full, Limbs({0, 0}));
    EXPECT_EQ(tvl::sub(full, Limbs{1}), 1u) << "borrow out of the top";
    EXPECT_EQ(full, Limbs({0xFFFFFFFFu, 0xFFFFFFFFu}));
    Limbs b = {0, 0, 8};
    EXPECT_EQ(tvl::sub(b, Limbs{1, 0, 1}), 0u);
    EXPECT_EQ(b, Limbs({0xFFFFFFFFu, 0xFFFFFFFFu, 6}));

    Limbs empty;
    EXPECT_EQ(tvl::add_small(empty, 9), 9u) << "an empty magnitude passes the addend on";
    Limbs m = {0x80000000u, 1};
    EXPECT_EQ(tvl::mul_add_small(m, 4, 3), 0u);
    EXPECT_EQ(m, Limbs({3, 6}));
    EXPECT_EQ(tvl::mul_add_small(m, 0x80000000u), 3u);  // 0x6_00000003 << 31
    EXPECT_EQ(m, Limbs({0x80000000u, 1}));
    EXPECT_EQ(tvl::div_small(m, 10), 4u);  // 6442450944 = 10 * 644245094 + 4
    EXPECT_EQ(m, Limbs({644245094u, 0}));

    Limbs src = {0x80000001u, 0xC0000000u};
    Limbs dst(2);
    EXPECT_EQ(tvl::shift_left(dst, src, 1), 1u);
    EXPECT_EQ(dst, Limbs({2, 0x80000001u}));
    tvl::shift_right(dst, dst, 1);
    EXPECT_EQ(dst, Limbs({0x80000001u, 0x40000000u}));
    EXPECT_EQ(tvl::shift_left(src, src, 0), 0u);
    EXPECT_EQ(src, Limbs({0x80000001u, 0xC0000000u}));

    EXPECT_EQ(tvl::compare(Limbs{5, 0, 0}, Limbs{5}), 0) << "zero top limbs do not count";
    EXPECT_EQ(tvl::compare(Limbs{0, 1}, Limbs{0xFFFFFFFFu}), 1);
    EXPECT_EQ(tvl::bit_length(Limbs{0, 0x10, 0}), 37u);
    EXPECT_EQ(tvl::normalized_size(Limbs{1, 0, 0}), 1u);
}

// ---------------------------------------------------------------------------------------
// Records filled inconsistently by a caller
// ---------------------------------------------------------------------------------------

// Each record claims a buffer it lacks, a length beyond its capacity or beyond the ceiling. The
// buffers are heap blocks of exactly `real` limbs, so any read or write beyond them is caught by
// the address sanitizer; every operation must refuse the record instead.
TEST(BigIntRobust, InconsistentRecordsAreRefused) {
    struct Row {
        uint32_t real;  // limbs actually allocated (0: no buffer)
        uint32_t capacity;
        uint32_t length;
    };
    const Row rows[] = {{0, 4, 0}, {0, 4, 2}, {2, 2, 5}, {3, 3, 4}, {1100, 1100, 1100}};
    IntPtr good = make_int({1, 2, 3});
    for (const Row &r : rows) {
        std::vector<uint32_t> storage(r.real, 0xFFFFFFFFu);
        tvl_int n{};
        n.limbs = r.real ? storage.data() : nullptr;
        n.capacity = r.capacity;
        n.length = r.length;
        const tvl_int before = n;
        SCOPED_TRACE(::testing::Message() << r.real << "/" << r.capacity << "/" << r.length);

        uint64_t u = 0;
        char buf[64];
        EXPECT_FALSE(tvl_int_to_uint64(&n, &u));
        EXPECT_FALSE(tvl_int_add_u32(&n, 1));
        EXPECT_FALSE(tvl_int_mul_u32(&n, 3));
        EXPECT_FALSE(tvl_int_mul_pow10(&n, 3));
        EXPECT_EQ(tvl_int_div_u32(&n, 3), 0xFFFFFFFFu);
        EXPECT_FALSE(tvl_int_shl(&n, 3));
        tvl_int_shr(&n, 3);
        tvl_int_norm(&n);
        EXPECT_FALSE(tvl_int_setbit(&n, 3));
        EXPECT_FALSE(tvl_int_getbit(&n, 3));
        EXPECT_EQ(tvl_int_bitlen(&n), 0u);
        EXPECT_FALSE(tvl_int_sub_inplace(&n, good.get()));
        EXPECT_FALSE(tvl_int_sub_inplace(good.get(), &n));
        EXPECT_FALSE(tvl_int_copy(&n, good.get()));
        EXPECT_FALSE(tvl_int_copy(good.get(), &n));
        EXPECT_FALSE(tvl_int_from_uint32(&n, 5));
        EXPECT_FALSE(tvl_int_from_str(&n, "5", 10));
        EXPECT_EQ(tvl_int_to_str(&n, buf, sizeof buf, 10), -1);
        IntPtr q = make_int();
        IntPtr rem = make_int();
        EXPECT_FALSE(tvl_int_divrem(q.get(), rem.get(), &n, good.get()));
        EXPECT_FALSE(tvl_int_divrem(q.get(), rem.get(), good.get(), &n));
        EXPECT_FALSE(tvl_int_divrem(&n, rem.get(), good.get(), good.get()));
        EXPECT_EQ(tvl_int_cmp(&n, good.get()), -1) << "an unusable record compares as zero";
        EXPECT_EQ(n.limbs, before.limbs);
        EXPECT_EQ(n.capacity, before.capacity);
        EXPECT_EQ(n.length, before.length);
        EXPECT_EQ(limbs(good.get()), Limbs({1, 2, 3}));
    }
}

TEST(BigIntRobust, TopZeroLimbsLeftByACaller) {
    // Operations accept values that are not in normal form and leave them normalised.
    IntPtr n = make_int({5, 1});
    n->limbs[1] = 0;
    EXPECT_EQ(tvl_int_bitlen(n.get()), 3u);
    IntPtr five = make_int({5});
    EXPECT_EQ(tvl_int_cmp(n.get(), five.get()), 0);
    ASSERT_TRUE(tvl_int_mul_u32(n.get(), 3));
    EXPECT_EQ(limbs(n.get()), Limbs({15}));
}

}  // namespace
