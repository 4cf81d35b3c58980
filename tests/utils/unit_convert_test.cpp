// SI factors, dimensions, compatibility, conversion, reduction and the
// reducing printer.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>

#include "tvlr.h"
#include "unit_test_util.h"
#include "utils/tvl_unit_impl.h"

namespace {

using tvl_test::single;
using tvl_test::text_of;
using tvl_test::unit_of;

constexpr const char *kDegC =
    "\xC2\xB0"
    "C";

TEST(SiFactor, FactorsOffsetsAndRefusals) {
    struct row {
        tvl_unit unit;
        bool ok;
        double factor;
        bool has_offset;
        double offset;
    };
    const row rows[] = {
        {tvl_unit{}, true, 1.0, false, 0},
        {unit_of("no_unit"), true, 1.0, false, 0},
        {single(0), true, 1.0, false, 0},
        {unit_of("k~m"), true, 1000, false, 0},
        {unit_of("k~m/h"), true, 1000.0 / 3600, false, 0},
        {unit_of("in"), true, 0.0254, false, 0},
        {unit_of("k~g"), true, 1.0, false, 0},
        {unit_of("m~m^-2"), true, 1e6, false, 0},
        {unit_of("Ki~B"), true, 1024, false, 0},
        {unit_of("\xC2\xB0"
                 "F"),
         true, 5.0 / 9, true, 255.37222222222223},
        {unit_of("m~\xC2\xB0"
                 "C"),
         true, 0.001, true, 273.15},
        {unit_of("\xC2\xB0"
                 "De"),
         true, -2.0 / 3, true, 373.15},
        {unit_of("\xC2\xB0"
                 "Ra"),
         true, 5.0 / 9, false, 0},
        {unit_of("\xC2\xB0"
                 "C\xC2\xB2"),
         false, 0, false, 0},
        {unit_of("m/\xC2\xB0"
                 "C"),
         false, 0, false, 0},
        {unit_of("\xC2\xB0"
                 "C*\xC2\xB0"
                 "F"),
         false, 0, false, 0},
        {unit_of("USD"), false, 0, false, 0},
        {unit_of("m*k~USD"), false, 0, false, 0},
        {single(4, 0), false, 0, false, 0},
        {single(4, 10), false, 0, false, 0},
        {single(378), false, 0, false, 0},
        {single(4, 1, 1, 1), false, 0, false, 0},
    };
    for (const row &r : rows) {
        bool has_offset = !r.has_offset;
        double offset = -1;
        bool ok = !r.ok;
        const double f = tvl_unit_to_si_factor(&has_offset, &offset, &ok, r.unit);
        const std::string name = tvl_test::plain_text_of(r.unit);
        EXPECT_EQ(ok, r.ok) << name;
        if (!r.ok) continue;
        EXPECT_NEAR(f, r.factor, std::fabs(r.factor) * 1e-15) << name;
        EXPECT_EQ(has_offset, r.has_offset) << name;
        EXPECT_EQ(offset, r.offset) << name;
    }
    // Null out pointers are tolerated.
    EXPECT_EQ(tvl_unit_to_si_factor(nullptr, nullptr, nullptr, unit_of("k~m")), 1000.0);
}

TEST(Dimensions, VectorsAndRefusals) {
    struct row {
        tvl_unit unit;
        bool ok;
        std::array<int32_t, 7> dim;
    };
    tvl_unit out_of_range = unit_of("m*s");
    out_of_range.factors[1].exponent = 12;  // skipped
    const row rows[] = {
        {tvl_unit{}, true, {0, 0, 0, 0, 0, 0, 0}},
        {unit_of("N"), true, {1, 1, -2, 0, 0, 0, 0}},
        {unit_of("k~g*m/s^2"), true, {1, 1, -2, 0, 0, 0, 0}},
        {unit_of("V/A"), true, {2, 1, -3, -2, 0, 0, 0}},
        {unit_of("b/s"), true, {0, 0, -1, 0, 0, 0, 0}},
        {unit_of("mol*cd/s"), true, {0, 0, -1, 0, 0, 1, 1}},
        {out_of_range, true, {1, 0, 0, 0, 0, 0, 0}},
        {unit_of("USD"), false, {}},
        {unit_of("m/USD"), false, {}},
        {single(4, 0), false, {}},
        {single(378), false, {}},
        {single(4, 1, 1, 1), false, {}},
    };
    for (const row &r : rows) {
        int32_t dim[7] = {9, 9, 9, 9, 9, 9, 9};
        const bool ok = tvl_unit_dimension_vector(dim, r.unit);
        EXPECT_EQ(ok, r.ok) << tvl_test::plain_text_of(r.unit);
        if (!ok) continue;
        for (size_t k = 0; k < 7; ++k) EXPECT_EQ(dim[k], r.dim[k]) << k;
    }
    EXPECT_TRUE(tvl_unit_dimension_vector(nullptr, unit_of("m")));
}

TEST(Compatibility, Table) {
    struct row {
        const char *a;
        const char *b;
        bool compatible;
    };
    const row rows[] = {
        {"N", "k~g*m/s^2", true},
        {"J", "N*m", true},
        {"Hz", "Bq", true},
        {"b", "B", false},
        {"Ki~B", "B", true},
        {"USD", "USD", false},
        {"rad", "no_unit", true},
        {"k~m", "in", true},
        {"%", "\xC2\xB0", true},
        {"b/s", "Hz", false},
        {"B", "no_unit", false},
        {"b*B", "B*b", true},
        {"b^2", "b*b", true},
        {"m/s", "kn", true},
        {"m", "s", false},
        {"\xC2\xB0"
         "C",
         "K", true},
        {"L", "m^3", true},
        {"USD", "EUR", false},
        {"k~USD", "m", false},
    };
    for (const row &r : rows) {
        EXPECT_EQ(tvl_units_compatible(unit_of(r.a), unit_of(r.b)), r.compatible)
            << r.a << " vs " << r.b;
        EXPECT_EQ(tvl_units_compatible(unit_of(r.b), unit_of(r.a)), r.compatible)
            << r.b << " vs " << r.a;
    }
    EXPECT_FALSE(tvl_units_compatible(single(1, 0), single(1, 0)));
    EXPECT_FALSE(tvl_units_compatible(single(4, 0), single(4, 0)));
    EXPECT_TRUE(tvl_units_compatible(tvl_unit{}, single(0)));
}

TEST(Conversion, Table) {
    struct row {
        const char *from;
        const char *to;
        bool ok;
        bool affine;
        double factor;
    };
    const row rows[] = {
        {"k~m", "m", true, false, 1000},
        {"in", "m~m", true, false, 25.4},
        {"m", "s", false, false, 0},
        {kDegC,
         "\xC2\xB0"
         "F",
         false, true, 0},
        {kDegC,
         "\xC2\xB0"
         "Re",
         true, true, 0.8},
        {kDegC,
         "m~\xC2\xB0"
         "C",
         true, true, 1000},
        {kDegC, "K", false, true, 0},
        {"K", kDegC, false, true, 0},
        {"K",
         "\xC2\xB0"
         "Ra",
         true, false, 1.8},
        {"mi/h", "k~m/h", true, false, 1.609344},
        {"Ki~B", "B", true, false, 1024},
        {"B", "b", false, false, 0},
        {"USD", "USD", false, false, 0},
        {"%", "ppm", true, false, 1e4},
        {"rad", "\xC2\xB0", true, false, 180 / 3.141592653589793},
        {"cal", "J", true, false, 4.184},
        {"L", "m^3", true, false, 1e-3},
        {"h", "s", true, false, 3600},
        {"gal", "L", true, false, 3.785411784},
        {"k~W*h", "M~J", true, false, 3.6},
        {"m/s", "kn", true, false, 3600.0 / 1852},
        {"k~m^9*k~m^9*q~m^-9*k~m^-9*k~m^-9", "q~m^-9", true, false, 1},  // passes 10^324
    };
    for (const row &r : rows) {
        bool ok = !r.ok;
        bool affine = !r.affine;
        const double f = tvl_unit_convert_factor(&ok, &affine, unit_of(r.from), unit_of(r.to));
        EXPECT_EQ(ok, r.ok) << r.from << " -> " << r.to;
        EXPECT_EQ(affine, r.affine) << r.from << " -> " << r.to;
        if (r.ok) {
            EXPECT_NEAR(f, r.factor, std::fabs(r.factor) * 1e-12) << r.from << " -> " << r.to;
        } else {
            EXPECT_EQ(f, 0.0);
        }
    }
    EXPECT_EQ(tvl_unit_convert_factor(nullptr, nullptr, unit_of("k~m"), unit_of("m")), 1000.0);
}

struct reduce_row {
    const char *text;
    const char *reduced;  // printed
    double factor;
    bool lossy;
};

TEST(Reduction, Table) {
    const reduce_row rows[] = {
        {"k~m\xC2\xB7m", "m\xC2\xB2", 1000, false},
        {"m/m", "no_unit", 1, false},
        {"k~m/m", "no_unit", 1000, false},
        {"s\xE2\x81\xBB\xC2\xB9\xC2\xB7k~g\xC2\xB7m", "m\xC2\xB7g/s", 1000, false},
        {"m^9*m^9", "no_unit", 1, true},
        {"m^9*m^9*m^-9", "m\xE2\x81\xB9", 1, false},
        {"Ki~B*k~B", "B\xC2\xB2", 1024e3, false},
        {"m~s^-1", "s\xE2\x81\xBB\xC2\xB9", 1000, false},
        {"s^2*A*K^-3*g^5*m^-3",
         "g\xE2\x81\xB5\xC2\xB7s\xC2\xB2\xC2\xB7"
         "A/m\xC2\xB3\xC2\xB7K\xC2\xB3",
         1, false},
        {"A*m",
         "m\xC2\xB7"
         "A",
         1, false},
        {"k~USD/USD", "no_unit", 1000, false},
        {"no_unit", "no_unit", 1, false},
        {"Qi~B^9*Qi~B^9*Qi~B^9*Qi~B^-9*Qi~B^-9*Qi~B^-9*Qi~B^9*Qi~B^9", "no_unit", INFINITY, true},
    };
    for (const reduce_row &r : rows) {
        double factor = -1;
        bool lossy = !r.lossy;
        const tvl_unit u = tvl_unit_reduce(&factor, &lossy, unit_of(r.text));
        EXPECT_EQ(tvl_test::plain_text_of(u), r.reduced) << r.text;
        EXPECT_EQ(lossy, r.lossy) << r.text;
        if (std::isinf(r.factor)) {
            EXPECT_TRUE(std::isinf(factor)) << r.text;
        } else {
            EXPECT_NEAR(factor, r.factor, r.factor * 1e-15) << r.text;
        }
        for (uint32_t i = 0; i < u.count; ++i) EXPECT_EQ(u.factors[i].prefix.index, 0u);
    }
}

TEST(Reduction, DroppedPowersFoldTheirScaleAndOddInputIsLossy) {
    double factor = 0;
    bool lossy = false;
    tvl_unit u = tvl_unit_reduce(&factor, &lossy, unit_of("g^9*g^9"));
    EXPECT_EQ(u.count, 0u);
    EXPECT_TRUE(lossy);
    EXPECT_NEAR(factor, 1e-54, 1e-54 * 1e-12);
    u = tvl_unit_reduce(&factor, &lossy, unit_of("g^-9*g^-9"));
    EXPECT_NEAR(factor, 1e54, 1e54 * 1e-12);
    // A currency has no SI factor to fold: the scale stays as it was.
    u = tvl_unit_reduce(&factor, &lossy, unit_of("k~USD^9*USD^9"));
    EXPECT_EQ(u.count, 0u);
    EXPECT_TRUE(lossy);
    EXPECT_NEAR(factor, 1e27, 1e27 * 1e-12);
    // Exponents outside the model are dropped and reported, never fatal.
    tvl_unit odd = unit_of("m*s");
    odd.factors[1].exponent = 40;
    u = tvl_unit_reduce(&factor, &lossy, odd);
    EXPECT_TRUE(lossy);
    EXPECT_EQ(tvl_test::plain_text_of(u), "m");
    odd.factors[1].exponent = INT32_MIN;
    u = tvl_unit_reduce(&factor, &lossy, odd);
    EXPECT_TRUE(lossy);
    // Null outputs are tolerated.
    u = tvl_unit_reduce(nullptr, nullptr, unit_of("k~m*m"));
    EXPECT_EQ(tvl_test::plain_text_of(u), "m\xC2\xB2");
}

TEST(ReducingPrinter, NamesUnitsAtTheSameScale) {
    struct row {
        const char *text;
        uint32_t flags;
        const char *printed;
    };
    const row rows[] = {
        {"k~g\xC2\xB7m/s\xC2\xB2", 1, "N"},
        {"g\xC2\xB7m/s\xC2\xB2", 1, "m~N"},
        {"k~g\xC2\xB7m\xC2\xB2/s\xC2\xB2", 1, "J"},
        {"s^-1", 1, "Hz"},
        {"m^2/s^2", 1, "Gy"},
        {"m\xC2\xB7s", 1, "s\xC2\xB7m"},
        {"k~g*m*s^-2", 3, "N"},
        {"m/s^2", 2, "m/s^2"},
        {"m/s^2", 3, "m/s^2"},
        {"m~g*m/s^2", 3, "\xC2\xB5~N"},
        {"W*s", 1, "J"},
        {"V*A", 1, "W"},
        {"m~A*s", 1, "m~C"},
        {"mol/s", 1, "kat"},
        {"\xE2\x84\xA6*A", 1, "V"},
        {"Pa*m^2", 1, "N"},
        {"\xC2\xB5~s^-1", 1, "M~Hz"},
        {"k~N/m^2", 1, "k~Pa"},
        {"\xC2\xB0"
         "C",
         1,
         "\xC2\xB0"
         "C"},
        {"m/m", 1, "no_unit"},
        {"no_unit", 1, "no_unit"},
        {"lb*ft/s^2", 1, "ft\xC2\xB7lb/s\xC2\xB2"},
        // Bits, bytes and currencies keep their units ("b/s" is no hertz).
        {"b/s", 1, "b/s"},
        {"b/s", 3, "b/s"},
        {"Ki~B/s", 1, "Ki~B/s"},
        {"B*m/s^2", 1, "B\xC2\xB7m/s\xC2\xB2"},
        {"k~g*B*m/s^2*B", 1, "N"},  // the bytes cancel
        {"USD/s", 1, "USD/s"},
        {"USD/USD", 1, "no_unit"},
        // A reduction that leaves a scale behind prints the unit as given.
        {"k~m\xC2\xB7m", 1, "k~m\xC2\xB7m"},
        {"k~m/m", 1, "k~m/m"},
        {"k~USD", 1, "k~USD"},
        {"k~W*h", 1, "k~W\xC2\xB7h"},
        {"k~b/s", 3, "k~b/s"},
        {"m^9*m^9", 1, "m\xE2\x81\xB9\xC2\xB7m\xE2\x81\xB9"},
    };
    for (const row &r : rows) {
        EXPECT_EQ(text_of(unit_of(r.text), r.flags), r.printed) << r.text << " flags " << r.flags;
    }
}

// Whatever unit goes in, the text of the reducing printer reads back as a
// unit of the same meaning: compatible and with a conversion factor of 1.
TEST(ReducingPrinter, NeverChangesTheMeaningOfAUnit) {
    std::mt19937 rng_engine(4242);
    auto rng = [&rng_engine] { return static_cast<uint32_t>(rng_engine()); };
    int named = 0;
    for (int round = 0; round < 20000; ++round) {
        tvl_unit u{};
        u.count = 1 + rng() % 4;
        for (uint32_t i = 0; i < u.count; ++i) {
            tvl_unit_factor f{};
            do {
                // Mostly SI units, so that named units come up often.
                f.base = rng() % 4 != 0 ? 1 + rng() % 40 : rng() % 378;
                f.prefix = {rng() % 8 == 0 ? 1u : 0u, rng() % 3 == 0 ? rng() % 25 : 0u};
                f.exponent = static_cast<int32_t>(rng() % 7) - 3;
            } while (f.exponent == 0 || !tvl_prefix_unit_valid(f.prefix, f.base) ||
                     (f.base == 0 && f.prefix.index != 0) ||
                     tvl::find_prefix_entry(f.prefix) == nullptr);
            u.factors[i] = f;
        }
        const std::string printed = text_of(u, TVL_UNIT_FMT_REDUCE);
        ASSERT_NE(printed, "<-1>") << tvl_test::plain_text_of(u);
        bool ok = false;
        const tvl_unit back = tvl_parse_unit(printed.c_str(), &ok);
        ASSERT_TRUE(ok) << printed;
        double f1 = 0, f2 = 0;
        bool lossy = false;
        const tvl_unit r1 = tvl_unit_reduce(&f1, &lossy, u);
        const tvl_unit r2 = tvl_unit_reduce(&f2, &lossy, back);
        if (back.count == 1 && back.factors[0].base >= 10 && back.factors[0].base <= 28 &&
            !tvl_unit_equal(r1, r2)) {
            ++named;
        }
        bool has_currency = false;
        for (uint32_t i = 0; i < u.count; ++i)
            has_currency |= tvl_unit_is_currency(u.factors[i].base);
        if (has_currency) {
            // No conversion exists: the reductions must agree instead.
            EXPECT_TRUE(tvl_unit_equal(r1, r2)) << tvl_test::plain_text_of(u) << " -> " << printed;
            EXPECT_NEAR(f1, f2, std::fabs(f1) * 1e-12) << printed;
            continue;
        }
        EXPECT_TRUE(tvl_units_compatible(u, back))
            << tvl_test::plain_text_of(u) << " -> " << printed;
        bool affine = false;
        const double factor = tvl_unit_convert_factor(&ok, &affine, u, back);
        if (ok) {
            EXPECT_NEAR(factor, 1.0, 1e-9) << tvl_test::plain_text_of(u) << " -> " << printed;
        }
    }
    EXPECT_GT(named, 50);  // the property was exercised on named units
}

}  // namespace
