// The currency table and its lookups.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tvlr.h"
#include "unit_test_util.h"

namespace {

TEST(Currencies, TableShapeCodesAndKinds) {
    uint32_t fiat = 0;
    uint32_t crypto = 0;
    for (uint32_t id = 0; id < 400; ++id) {
        const tvl_currency *c = tvl_currency_info(id);
        const bool is_currency = id >= 134 && id <= 347;
        EXPECT_EQ(c != nullptr, is_currency) << id;
        EXPECT_EQ(tvl_unit_is_currency(id), is_currency) << id;
        EXPECT_EQ(tvl_unit_is_fiat(id), id >= 134 && id <= 297) << id;
        EXPECT_EQ(tvl_unit_is_crypto(id), id >= 298 && id <= 347) << id;
        if (c == nullptr) continue;
        (c->is_crypto ? crypto : fiat)++;
        EXPECT_EQ(c->is_crypto != 0, tvl_unit_is_crypto(id)) << id;
        const size_t len = strnlen(c->code, sizeof c->code);
        ASSERT_TRUE(len == 3 || len == 4) << id;
        for (size_t i = len; i < sizeof c->code; ++i) EXPECT_EQ(c->code[i], '\0') << id;
        EXPECT_LT(strnlen(c->name, sizeof c->name), sizeof c->name) << id;
        EXPECT_LE(std::strlen(c->name), 35u) << id;
        EXPECT_GT(std::strlen(c->name), 0u) << id;
        if (c->is_crypto) {
            EXPECT_EQ(c->numeric, 0) << id;
        } else {
            EXPECT_EQ(len, 3u) << id;  // fiat codes have three letters
            EXPECT_TRUE(c->numeric > 0 && c->numeric < 1000) << id;
        }
        // Lookup by code gives the row back: this also proves the codes unique.
        EXPECT_EQ(tvl_parse_currency_str(c->code, static_cast<uint32_t>(len)), id) << c->code;
        // The codes run in alphabetical order, apart from SSP before SRD.
        const tvl_currency *prev = tvl_currency_info(id - 1);
        if (prev != nullptr && prev->is_crypto == c->is_crypto && !c->is_crypto &&
            std::strcmp(c->code, "SSP") != 0 && std::strcmp(c->code, "SRD") != 0) {
            EXPECT_LT(std::strcmp(prev->code, c->code), 0) << c->code;
        }
    }
    EXPECT_EQ(fiat, 164u);
    EXPECT_EQ(crypto, 50u);
    // Numeric codes of fiat currencies are unique.
    for (uint32_t a = 134; a <= 297; ++a) {
        for (uint32_t b = 134; b < a; ++b) {
            EXPECT_NE(tvl_currency_info(a)->numeric, tvl_currency_info(b)->numeric)
                << a << " " << b;
        }
    }
}

TEST(Currencies, SampleRows) {
    struct row {
        uint32_t id;
        const char *code;
        uint16_t numeric;
        uint8_t minor;
        const char *name;
    };
    const row rows[] = {
        {134, "AED", 784, 2, "UAE Dirham"},
        {148, "BHD", 48, 3, "Bahraini Dinar"},
        {162, "CLF", 990, 4, "Unidad de Fomento"},
        {177, "EUR", 978, 2, "Euro"},
        {201, "JPY", 392, 0, "Japanese Yen"},
        {260, "SSP", 728, 2, "South Sudanese Pound"},
        {261, "SRD", 968, 2, "Surinamese Dollar"},
        {270, "TOP", 776, 2, "Tongan Pa'anga"},
        {277, "USD", 840, 2, "US Dollar"},
        {297, "ZWL", 932, 2, "Zimbabwean Dollar"},
        {298, "BTC", 0, 8, "Bitcoin"},
        {299, "ETH", 0, 18, "Ethereum"},
        {326, "DOGE", 0, 8, "Dogecoin"},
        {333, "NEAR", 0, 24, "NEAR Protocol"},
        {347, "RUNE", 0, 8, "THORChain"},
    };
    for (const row &r : rows) {
        const tvl_currency *c = tvl_currency_info(r.id);
        ASSERT_NE(c, nullptr) << r.id;
        EXPECT_STREQ(c->code, r.code);
        EXPECT_EQ(c->numeric, r.numeric) << r.code;
        EXPECT_EQ(c->minor_unit, r.minor) << r.code;
        EXPECT_STREQ(c->name, r.name);
    }
}

TEST(Currencies, ParseCodeRefusesEverythingButAnExactCode) {
    struct row {
        const char *text;
        uint32_t length;
        uint32_t id;
    };
    const row rows[] = {
        {"USD", 3, 277},  {"DOGE", 4, 326}, {"usd", 3, 0},  {"US", 2, 0},         {"USDTX", 5, 0},
        {"USDT", 4, 328}, {"USDT", 3, 277}, {"BTU", 3, 0},  {"US1", 3, 0},        {"U\0D", 3, 0},
        {"", 0, 0},       {"AAA", 3, 0},    {"ABCD", 4, 0}, {"\xC3\x9CSD", 4, 0},
    };
    for (const row &r : rows) EXPECT_EQ(tvl_parse_currency_str(r.text, r.length), r.id) << r.text;
    EXPECT_EQ(tvl_parse_currency_str(nullptr, 3), 0u);
}

TEST(Currencies, MinorUnitAndPrefixRule) {
    bool ok = false;
    EXPECT_EQ(tvl_currency_minor_unit(201, &ok), 0);
    EXPECT_TRUE(ok);
    EXPECT_EQ(tvl_currency_minor_unit(298, &ok), 8);
    EXPECT_TRUE(ok);
    EXPECT_EQ(tvl_currency_minor_unit(299, &ok), 18);
    EXPECT_EQ(tvl_currency_minor_unit(4, &ok), 0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(tvl_currency_minor_unit(348, &ok), 0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(tvl_currency_minor_unit(148, nullptr), 3);

    EXPECT_TRUE(tvl_currency_prefix_valid(277, tvl_prefix{0, 15}));
    EXPECT_TRUE(tvl_currency_prefix_valid(277, tvl_prefix{0, 0}));
    EXPECT_FALSE(tvl_currency_prefix_valid(277, tvl_prefix{1, 1}));
    EXPECT_FALSE(tvl_currency_prefix_valid(277, tvl_prefix{1, 0}));
    EXPECT_TRUE(tvl_currency_prefix_valid(2, tvl_prefix{1, 1}));  // not a currency
}

TEST(Currencies, EveryCodeParsesAndPrintsAsItsCurrency) {
    for (uint32_t id = 134; id <= 347; ++id) {
        const tvl_currency *c = tvl_currency_info(id);
        const tvl_unit u = tvl_test::unit_of(c->code);
        ASSERT_EQ(u.count, 1u);
        EXPECT_EQ(u.factors[0].base, id);
        EXPECT_EQ(tvl_test::plain_text_of(u), c->code);
    }
}

}  // namespace
