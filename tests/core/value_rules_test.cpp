// Tests of the check of a value against the type in force: one row per code that a kind, a
// number text, a base or a width decides.
#include "core/value_rules.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "tvlr.h"

namespace {

struct Row {
    uint32_t type, bits, base, kind;
    const char *text;
    uint32_t code;
};

constexpr uint32_t kNum = TVL_VK_NUMBER, kStr = TVL_VK_STRING;
constexpr uint32_t kMismatch = TVL_ERR_TYPE_VALUE_MISMATCH, kDigit = TVL_ERR_DIGIT_NOT_IN_BASE,
                   kRange = TVL_ERR_VALUE_OUT_OF_RANGE;

TEST(ValueRules, CodesByKindTextBaseAndWidth) {
    const Row rows[] = {
        // Kinds: utf8 takes strings, bool the boolean words, numeric types numbers and strings;
        // null goes everywhere.
        {TVLR_TYPE_UTF8, 0, 0, kNum, "1", kMismatch},
        {TVLR_TYPE_BOOL, 0, 0, kStr, "x", kMismatch},
        {TVLR_TYPE_BOOL, 0, 0, TVL_VK_BOOL, "on", 0},
        {TVLR_TYPE_UINT, 0, 0, TVL_VK_SYMBOL, "x", kMismatch},
        {TVLR_TYPE_UINT, 0, 0, TVL_VK_NULL, "", 0},
        // Number tokens: no point or exponent in integers; 'e' is a digit from base 15 on.
        {TVLR_TYPE_SINT, 0, 0, kNum, "1.5", kMismatch},
        {TVLR_TYPE_UINT, 0, 0, TVL_VK_ARRAY_NUMBER, "1e5", kMismatch},
        {TVLR_TYPE_UINT, 0, 16, kNum, "1e5", 0},
        {TVLR_TYPE_UINT, 0, 2, kNum, "12", kDigit},
        {TVLR_TYPE_FLOAT_FIX, 32, 8, kNum, "9.5", 0},  // base field = fraction bits: decimal
        {TVLR_TYPE_UINT, 8, 0, kNum, "inf", 0},
        // Ranges: width 0 stands for 64.
        {TVLR_TYPE_UINT, 8, 0, kNum, "256", kRange},
        {TVLR_TYPE_UINT, 0, 0, kNum, "-1", kRange},
        {TVLR_TYPE_UINT, 0, 0, kNum, "18446744073709551616", kRange},
        {TVLR_TYPE_UINT, 65, 0, kNum, "18446744073709551616", 0},
        {TVLR_TYPE_SINT, 8, 0, kNum, "-129", kRange},
        // Strings hold numbers in the base; integers only digits after one '-'.
        {TVLR_TYPE_UINT, 8, 16, kStr, "ff", 0},
        {TVLR_TYPE_UINT, 8, 16, TVL_VK_ARRAY_STRING, "fg", kDigit},
        {TVLR_TYPE_SINT, 8, 16, kStr, "-81", kRange},
        {TVLR_TYPE_UINT, 0, 0, kStr, "+1", kDigit},
        {TVLR_TYPE_UINT, 0, 64, kStr, "+/", 0},
        {TVLR_TYPE_UINT, 0, 0, kStr, "-g", kDigit},
        {TVLR_TYPE_UINT, 0, 0, kStr, "", kDigit},
        {TVLR_TYPE_FLOAT, 0, 16, kStr, "1.8p+2", 0},
    };
    for (const Row &r : rows) {
        const tvl_type_annotation type{r.type, r.bits, r.base};
        EXPECT_EQ(tvl::check_value(type, r.kind, r.text), r.code)
            << "type " << r.type << ":" << r.bits << ",_" << r.base << " kind " << r.kind << " '"
            << r.text << "'";
    }
}

}  // namespace
