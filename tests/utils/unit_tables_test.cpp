// Invariants of the built-in unit tables: a slip while transcribing a row
// should make one of these fail.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "utils/tavlin_si_units.h"
#include "utils/unit_names.h"
#include "utils/units.h"

namespace {

using tvl::si_conv_table;
using tvl::unit_name_table;

bool ends_with(const tvl::unit_name &longer, const tvl::unit_name &shorter) {
    return shorter.length < longer.length &&
           std::memcmp(longer.text + (longer.length - shorter.length), shorter.text,
                       shorter.length) == 0;
}

TEST(ConvTable, RowsCarryTheirIdentifierAndCurrencyRowsAreZero) {
    EXPECT_EQ(tvl::first_conv_base_mismatch(si_conv_table), tvl::kUnitIdCount);
    EXPECT_TRUE(tvl::conv_table_verified());
    uint32_t unit_rows = 0;
    for (uint32_t id = 0; id < tvl::kUnitIdCount; ++id) {
        const tvl::si_conv_row &row = si_conv_table[id];
        if (tvl::is_currency_id(id)) {
            EXPECT_EQ(row.base, 0u) << id;
            EXPECT_EQ(row.factor, 0.0) << id;
            EXPECT_EQ(row.has_offset, 0) << id;
            EXPECT_EQ(row.offset, 0.0) << id;
            for (int32_t d : row.dimension) EXPECT_EQ(d, 0) << id;
        } else {
            ++unit_rows;
            EXPECT_EQ(row.base, id);
            EXPECT_TRUE(row.factor != 0.0 && std::isfinite(row.factor)) << id;
            // Offsets belong to the affine scales and nothing else.
            EXPECT_EQ(row.has_offset != 0, row.offset != 0.0) << id;
        }
    }
    EXPECT_EQ(unit_rows, 378u - 214u);
}

TEST(ConvTable, CheckFindsAMisplacedRow) {
    tvl::si_conv_row copy[tvl::kUnitIdCount];
    std::memcpy(copy, si_conv_table, sizeof copy);
    copy[200].base = 7;  // currency rows are not checked
    EXPECT_EQ(tvl::first_conv_base_mismatch(copy), tvl::kUnitIdCount);
    copy[45].base = 46;
    copy[90].base = 0;
    EXPECT_EQ(tvl::first_conv_base_mismatch(copy), 45u);
}

TEST(ConvTable, AffineScalesAreExactlyTheTemperatureScalesWithOffset) {
    const uint32_t affine[] = {34, 63, 368, 369, 370, 371};
    uint32_t found = 0;
    for (uint32_t id = 0; id < tvl::kUnitIdCount; ++id) {
        if (si_conv_table[id].has_offset != 0) ++found;
    }
    EXPECT_EQ(found, 6u);
    for (uint32_t id : affine) EXPECT_EQ(si_conv_table[id].has_offset, 1) << id;
    EXPECT_EQ(si_conv_table[104].has_offset, 0);  // °Ra is absolute
}

// Factors against definitions computed here, independently of the table.
struct factor_case {
    uint32_t id;
    double expected;
};

TEST(ConvTable, FactorsMatchTheirDefinitions) {
    constexpr double pi = std::numbers::pi;
    constexpr double inch = 0.0254;
    constexpr double foot = 12 * inch;
    constexpr double pound = 0.45359237;
    constexpr double gn = 9.80665;
    constexpr double lbf = pound * gn;
    constexpr double gallon = 231 * inch * inch * inch;
    constexpr double fl_oz = gallon / 128;
    constexpr double gallon_uk = 4.54609e-3;
    constexpr double grain = 64.79891e-6;
    constexpr double day = 86400;
    constexpr double year = 365.25 * day;
    constexpr double dry_gallon = 268.8025 * inch * inch * inch;
    const factor_case cases[] = {
        {5, 1e-3},
        {29, 1e-3},
        {30, 60},
        {31, 3600},
        {32, day},
        {33, pi / 180},
        {37, 1000},
        {38, 1e5},
        {39, 1.602176634e-19},
        {40, 1.66053906660e-27},
        {41, 149597870700.0},
        {42, 1e4},
        {43, 7 * day},
        {44, year},
        {45, inch},
        {46, foot},
        {47, 3 * foot},
        {48, 5280 * foot},
        {49, 1852},
        {50, 1e-10},
        {51, 299792458.0 * year},
        {52, 149597870700.0 * 648000 / pi},
        {53, 660 * foot},
        {54, 6 * foot},
        {55, pound},
        {56, pound / 16},
        {57, grain},
        {58, 14 * pound},
        {59, 2000 * pound},
        {60, 2240 * pound},
        {61, 480 * grain},
        {62, 0.2e-3},
        {63, 5.0 / 9},
        {64, 101325},
        {65, 13.5951 * gn * 1e3 * 1e-3},
        {66, 101325.0 / 760},
        {67, lbf / (inch * inch)},
        {68, 4.184},
        {69, 1055.05585262},
        {70, 1e-7},
        {71, 105480400},
        {72, 550 * foot * lbf},
        {73, lbf},
        {74, 1e-5},
        {75, 1000 * lbf},
        {76, 1852.0 / 3600},
        {77, gallon},
        {78, gallon_uk},
        {79, gallon / 4},
        {80, gallon / 8},
        {81, gallon / 16},
        {82, fl_oz},
        {83, fl_oz / 2},
        {84, fl_oz / 6},
        {85, 42 * gallon},
        {86, 43560 * foot * foot},
        {87, 1e-28},
        {88, pi / 10800},
        {89, pi / 648000},
        {90, pi / 200},
        {91, 0.1},
        {92, 1e-4},
        {93, 1e-4},
        {94, 1e-8},
        {95, 1000 / (4 * pi)},
        {96, 1e4},
        {97, 1e4},
        {98, 1e-2},
        {99, 3.7e10},
        {100, 2.58e-4},
        {101, 1e-2},
        {104, 5.0 / 9},
        {105, lbf / foot},
        {106, inch / 1000},
        {107, gallon_uk / 8},
        {108, gallon_uk / 160},
        {109, gallon_uk / 4},
        {112, gn},
        {113, 3386.388645},
        {114, 1.0 / 60},
        {115, foot * lbf},
        {116, pound / 256},
        {117, 24 * grain},
        {118, 66 * foot},
        {119, 16.5 * foot},
        {120, fl_oz * 4},
        {121, gallon_uk / 32},
        {122, gn},
        {123, 75 * gn},
        {124, 2 * pi},
        {125, year / 12},
        {126, 14 * day},
        {127, gn * 1e4},
        {128, 1e-6},
        {129, 1e-6 / 9},
        {130, fl_oz / 8},
        {131, fl_oz / 480},
        {132, dry_gallon * 2},
        {133, dry_gallon * 8},
        {361, 1200.0 / 3937},
        {362, 3 * 5280 * foot},
        {363, 185.2},
        {364, 4 * inch},
        {365, 100},
        {366, 20 * grain},
        {368, -2.0 / 3},
        {369, 100.0 / 33},
        {370, 1.25},
        {371, 40.0 / 21},
        {372, 1e-2},
        {373, 1e-3},
        {374, 1e-4},
        {375, 1e-5},
        {376, 1e-6},
        {377, 1e-9},
    };
    for (const factor_case &c : cases) {
        const double f = si_conv_table[c.id].factor;
        EXPECT_NEAR(f, c.expected, std::fabs(c.expected) * 1e-9)
            << "id " << c.id << " (" << tvl::unit_canonical_symbol(c.id) << ")";
    }
    // Exact decimals stay exact: the row holds the double nearest to them.
    EXPECT_EQ(si_conv_table[45].factor, 0.0254);
    EXPECT_EQ(si_conv_table[68].factor, 4.184);
    EXPECT_EQ(si_conv_table[55].factor, 0.45359237);
    EXPECT_EQ(si_conv_table[48].factor, 1609.344);
    EXPECT_EQ(si_conv_table[77].factor, 0.003785411784);
}

TEST(ConvTable, TemperatureOffsetsPutTheZeroPointsRight) {
    // kelvin = value * factor + offset at two fixed points per scale.
    struct point {
        uint32_t id;
        double freezing;  // reading at 273.15 K
        double boiling;   // reading at 373.15 K
    };
    const point points[] = {
        {34, 0, 100}, {63, 32, 212}, {368, 150, 0}, {369, 0, 33}, {370, 0, 80}, {371, 7.5, 60},
    };
    for (const point &p : points) {
        const tvl::si_conv_row &row = si_conv_table[p.id];
        EXPECT_NEAR(p.freezing * row.factor + row.offset, 273.15, 1e-9) << p.id;
        EXPECT_NEAR(p.boiling * row.factor + row.offset, 373.15, 1e-9) << p.id;
    }
}

using dim = std::array<int32_t, 7>;

dim dim_of(uint32_t id) {
    dim d{};
    for (uint32_t k = 0; k < 7; ++k) d[k] = si_conv_table[id].dimension[k];
    return d;
}
dim operator+(dim a, dim b) {
    for (size_t k = 0; k < 7; ++k) a[k] += b[k];
    return a;
}
dim operator-(dim a, dim b) {
    for (size_t k = 0; k < 7; ++k) a[k] -= b[k];
    return a;
}

TEST(ConvTable, DerivedDimensionsFollowFromTheirDefinitions) {
    const dim none{};
    const dim L{1, 0, 0, 0, 0, 0, 0}, M{0, 1, 0, 0, 0, 0, 0}, T{0, 0, 1, 0, 0, 0, 0};
    const dim I{0, 0, 0, 1, 0, 0, 0}, K{0, 0, 0, 0, 1, 0, 0}, N{0, 0, 0, 0, 0, 1, 0};
    const dim J{0, 0, 0, 0, 0, 0, 1};
    EXPECT_EQ(dim_of(3), T);
    EXPECT_EQ(dim_of(4), L);
    EXPECT_EQ(dim_of(5), M);
    EXPECT_EQ(dim_of(6), I);
    EXPECT_EQ(dim_of(7), K);
    EXPECT_EQ(dim_of(8), N);
    EXPECT_EQ(dim_of(9), J);
    const dim newton = M + L - T - T;
    EXPECT_EQ(dim_of(11), newton);
    EXPECT_EQ(dim_of(12), newton - L - L);                // Pa = N/m²
    EXPECT_EQ(dim_of(13), newton + L);                    // J = N·m
    EXPECT_EQ(dim_of(14), dim_of(13) - T);                // W = J/s
    EXPECT_EQ(dim_of(15), dim_of(14) - I);                // V = W/A
    EXPECT_EQ(dim_of(15), (dim{2, 1, -3, -1, 0, 0, 0}));  // the volt, written out
    EXPECT_EQ(dim_of(16), dim_of(15) - I);                // Ω = V/A
    EXPECT_EQ(dim_of(18), I + T);                         // C = A·s
    EXPECT_EQ(dim_of(17), dim_of(18) - dim_of(15));       // F = C/V
    EXPECT_EQ(dim_of(19), none - dim_of(16));             // S = 1/Ω
    EXPECT_EQ(dim_of(20), dim_of(15) + T);                // Wb = V·s
    EXPECT_EQ(dim_of(21), dim_of(20) - L - L);            // T = Wb/m²
    EXPECT_EQ(dim_of(22), dim_of(20) - I);                // H = Wb/A
    EXPECT_EQ(dim_of(23), J);                             // lm = cd·sr
    EXPECT_EQ(dim_of(24), J - L - L);                     // lx = lm/m²
    EXPECT_EQ(dim_of(10), none - T);                      // Hz
    EXPECT_EQ(dim_of(26), dim_of(13) - M);                // Gy = J/kg
    EXPECT_EQ(dim_of(28), N - T);                         // kat = mol/s
    EXPECT_EQ(dim_of(91), dim_of(12) + T);                // P: Pa·s
    EXPECT_EQ(dim_of(92), L + L - T);                     // St: m²/s
    EXPECT_EQ(dim_of(95), I - L);                         // Oe: A/m
    EXPECT_EQ(dim_of(100), dim_of(18) - M);               // R: C/kg
    EXPECT_EQ(dim_of(128), M - L);                        // tex: kg/m

    // Whole families share one dimension.
    const struct {
        dim d;
        std::vector<uint32_t> ids;
    } families[] = {
        {L, {41,  45,  46,  47,  48,  49,  50,  51,  52,  53,  54,  106, 118,
             119, 352, 353, 354, 355, 356, 357, 358, 361, 362, 363, 364}},
        {M, {37, 40, 55, 56, 57, 58, 59, 60, 61, 62, 105, 116, 117, 348, 349, 350, 351, 365, 366}},
        {T, {30, 31, 32, 43, 44, 125, 126}},
        {L + L, {42, 86, 87, 359}},
        {L + L + L, {29,  77,  78,  79,  80,  81,  82,  83,  84,  85,
                     107, 108, 109, 120, 121, 130, 131, 132, 133, 360}},
        {newton - L - L, {38, 64, 65, 66, 67, 113, 127}},
        {newton + L, {39, 68, 69, 70, 71, 115}},
        {dim_of(14), {72, 110, 111, 123}},
        {newton, {73, 74, 75, 112}},
        {K, {34, 63, 104, 368, 369, 370, 371}},
        {none, {0, 1, 2, 33, 35, 36, 88, 89, 90, 102, 103, 124, 372, 373, 374, 375, 376, 377}},
        {none - T, {25, 99, 114, 367}},
    };
    for (const auto &family : families) {
        for (uint32_t id : family.ids) EXPECT_EQ(dim_of(id), family.d) << id;
    }
}

TEST(NameTable, CountsLengthsAndUniqueness) {
    EXPECT_EQ(std::size(unit_name_table), 485u);
    for (uint32_t k = 0; k < tvl::kUnitNameCount; ++k) {
        const tvl::unit_name &row = unit_name_table[k];
        ASSERT_NE(row.text, nullptr);
        EXPECT_EQ(std::strlen(row.text), row.length) << k;
        EXPECT_TRUE(row.id >= 1 && row.id <= 377 && !tvl::is_currency_id(row.id)) << row.text;
        // No separator, prefix joiner or space inside a name.
        EXPECT_EQ(std::strpbrk(row.text, "*/~^ "), nullptr) << row.text;
        for (uint32_t j = 0; j < k; ++j) {
            EXPECT_FALSE(row.length == unit_name_table[j].length &&
                         std::memcmp(row.text, unit_name_table[j].text, row.length) == 0)
                << "duplicate name " << row.text;
        }
    }
}

TEST(NameTable, EveryCanonicalSymbolIsANameOfItsIdentifier) {
    uint32_t names_per_id[tvl::kUnitIdCount] = {};
    for (const tvl::unit_name &row : unit_name_table) ++names_per_id[row.id];
    for (uint32_t id = 1; id < tvl::kUnitIdCount; ++id) {
        const char *symbol = tvl::unit_canonical_symbol(id);
        if (tvl::is_currency_id(id)) {
            EXPECT_STREQ(symbol, "") << id;
            EXPECT_EQ(names_per_id[id], 0u);
            continue;
        }
        ASSERT_GT(std::strlen(symbol), 0u) << id;
        bool found = false;
        for (const tvl::unit_name &row : unit_name_table) {
            if (std::strcmp(row.text, symbol) == 0) {
                EXPECT_EQ(row.id, id) << symbol;
                found = true;
            }
        }
        EXPECT_TRUE(found) << "symbol of " << id << " is no name: " << symbol;
    }
    EXPECT_STREQ(tvl::unit_canonical_symbol(0), "");
    // Names besides the symbol: a handful of identifiers have none.
    for (uint32_t id : {41u, 65u, 67u, 114u, 128u, 376u, 377u}) EXPECT_EQ(names_per_id[id], 1u);
    EXPECT_EQ(names_per_id[34], 6u);   // °C and five spellings
    EXPECT_EQ(names_per_id[104], 7u);  // °Ra
    EXPECT_EQ(names_per_id[50], 4u);   // Å (U+212B), angstroms, angstrom, Å (U+00C5)
}

TEST(NameTable, SymbolsUseTheSpecifiedCodePoints) {
    EXPECT_STREQ(tvl::unit_canonical_symbol(16), "\xE2\x84\xA6");  // OHM SIGN
    EXPECT_STREQ(tvl::unit_canonical_symbol(50), "\xE2\x84\xAB");  // ANGSTROM SIGN
    EXPECT_STREQ(tvl::unit_canonical_symbol(33), "\xC2\xB0");      // DEGREE SIGN
    EXPECT_STREQ(tvl::unit_canonical_symbol(373), "\xE2\x80\xB0");
    EXPECT_STREQ(tvl::unit_canonical_symbol(374), "\xE2\x80\xB1");
    EXPECT_STREQ(tvl::unit_canonical_symbol(5), "g");
    EXPECT_STREQ(tvl::unit_canonical_symbol(999), "");
}

TEST(NameTable, ANameComesBeforeEveryShorterNameThatEndsIt) {
    for (uint32_t j = 0; j < tvl::kUnitNameCount; ++j) {
        for (uint32_t k = 0; k < j; ++k) {
            EXPECT_FALSE(ends_with(unit_name_table[j], unit_name_table[k]))
                << unit_name_table[k].text << " stands before " << unit_name_table[j].text;
        }
    }
    EXPECT_EQ(std::strcmp(unit_name_table[0].text, "atmosphere_technical"), 0);
    EXPECT_EQ(unit_name_table[tvl::kUnitNameCount - 1].length, 1u);
}

TEST(NameTable, LengthIndexPointsAtTheFirstRowNoLongerThanEachLength) {
    const tvl::name_length_index &index = tvl::unit_name_index;
    EXPECT_EQ(index.max_length, 20u);
    for (uint32_t l = 0; l < tvl::kNameIndexSize; ++l) {
        const uint32_t first = index.first_row[l];
        ASSERT_LE(first, tvl::kUnitNameCount);
        for (uint32_t k = 0; k < first; ++k) EXPECT_GT(unit_name_table[k].length, l) << l;
        if (first < tvl::kUnitNameCount) {
            EXPECT_LE(unit_name_table[first].length, l) << l;
        }
    }
    EXPECT_EQ(index.first_row[0], tvl::kUnitNameCount);
    EXPECT_EQ(index.first_row[20], 0u);
}

// The indexed lookup gives the same answer as a scan of the whole table for
// the longest name ending the text.
TEST(NameTable, SuffixLookupFindsTheLongestNameEndingTheText) {
    auto brute = [](const std::string &text) {
        tvl::name_match best{0, 0};
        for (const tvl::unit_name &row : unit_name_table) {
            if (row.length <= text.size() && row.length > best.length &&
                text.compare(text.size() - row.length, row.length, row.text) == 0) {
                best = {row.id, row.length};
            }
        }
        return best;
    };
    const char *heads[] = {"", "k~", "x", "da~", "zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz", "\xC2"};
    for (const tvl::unit_name &row : unit_name_table) {
        for (const char *head : heads) {
            const std::string text = std::string(head) + row.text;
            const tvl::name_match got =
                tvl::find_unit_name_suffix(text.data(), static_cast<uint32_t>(text.size()));
            const tvl::name_match want = brute(text);
            EXPECT_EQ(got.id, want.id) << text;
            EXPECT_EQ(got.length, want.length) << text;
            EXPECT_GE(got.length, row.length) << text;
        }
    }
    struct named {
        const char *text;
        uint32_t id;
    };
    const named examples[] = {
        {"fluid_ounce_uk", 108},
        {"fluid_ounces_uk", 108},
        {"metres", 4},
        {"meter", 4},
        {"l", 29},
        {"L", 29},
        {"BTU", 69},
        {"btu", 69},
        {"torr", 66},
        {"CV", 123},
        {"PS", 123},
        {"radians", 35},
        {"gradians", 90},
        {"yard", 47},
        {"rd", 119},
        {"cd", 9},
        {"min", 30},
        {"kat", 28},
        {"\xC2\xB0"
         "C",
         34},
        {"\xC2\xB0", 33},
        {"\xC3\x85", 50},
        {"Ra", 104},
        {"mil", 106},
    };
    for (const named &e : examples) {
        const tvl::name_match m =
            tvl::find_unit_name_suffix(e.text, static_cast<uint32_t>(std::strlen(e.text)));
        EXPECT_EQ(m.id, e.id) << e.text;
        EXPECT_EQ(m.length, std::strlen(e.text)) << e.text;
    }
    EXPECT_EQ(tvl::find_unit_name_suffix("\xCE\xA9", 2).length, 0u);  // Greek omega
    EXPECT_EQ(tvl::find_unit_name_suffix(nullptr, 4).length, 0u);
    EXPECT_EQ(tvl::find_unit_name_suffix("m", 0).length, 0u);
}

}  // namespace
