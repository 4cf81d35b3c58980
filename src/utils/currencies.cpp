// The currency table: 164 fiat currencies (identifiers 134..297) followed
// by 50 crypto-currencies (298..347), and the lookups on it.
#include "tvlr.h"
#include "utils/units.h"

namespace tvl {
namespace {

// clang-format off
constexpr tvl_currency kCurrencies[kCurrencyCount] = {
//   code    numeric minor crypto name                                   id
    {"AED",  784,  2, 0, "UAE Dirham"},  // 134
    {"AFN",  971,  2, 0, "Afghan Afghani"},  // 135
    {"ALL",    8,  2, 0, "Albanian Lek"},  // 136
    {"AMD",   51,  2, 0, "Armenian Dram"},  // 137
    {"ANG",  532,  2, 0, "Netherlands Antillean Guilder"},  // 138
    {"AOA",  973,  2, 0, "Angolan Kwanza"},  // 139
    {"ARS",   32,  2, 0, "Argentine Peso"},  // 140
    {"AUD",   36,  2, 0, "Australian Dollar"},  // 141
    {"AWG",  533,  2, 0, "Aruban Florin"},  // 142
    {"AZN",  944,  2, 0, "Azerbaijani Manat"},  // 143
    {"BAM",  977,  2, 0, "Bosnia-Herzegovina Convertible Mark"},  // 144
    {"BBD",   52,  2, 0, "Barbados Dollar"},  // 145
    {"BDT",   50,  2, 0, "Bangladeshi Taka"},  // 146
    {"BGN",  975,  2, 0, "Bulgarian Lev"},  // 147
    {"BHD",   48,  3, 0, "Bahraini Dinar"},  // 148
    {"BIF",  108,  0, 0, "Burundian Franc"},  // 149
    {"BMD",   60,  2, 0, "Bermudian Dollar"},  // 150
    {"BND",   96,  2, 0, "Brunei Dollar"},  // 151
    {"BOB",   68,  2, 0, "Boliviano"},  // 152
    {"BRL",  986,  2, 0, "Brazilian Real"},  // 153
    {"BSD",   44,  2, 0, "Bahamian Dollar"},  // 154
    {"BTN",   64,  2, 0, "Bhutanese Ngultrum"},  // 155
    {"BWP",   72,  2, 0, "Botswana Pula"},  // 156
    {"BYN",  933,  2, 0, "Belarusian Ruble"},  // 157
    {"BZD",   84,  2, 0, "Belize Dollar"},  // 158
    {"CAD",  124,  2, 0, "Canadian Dollar"},  // 159
    {"CDF",  976,  2, 0, "Congolese Franc"},  // 160
    {"CHF",  756,  2, 0, "Swiss Franc"},  // 161
    {"CLF",  990,  4, 0, "Unidad de Fomento"},  // 162
    {"CLP",  152,  0, 0, "Chilean Peso"},  // 163
    {"CNY",  156,  2, 0, "Chinese Yuan"},  // 164
    {"COP",  170,  2, 0, "Colombian Peso"},  // 165
    {"CRC",  188,  2, 0, "Costa Rican Colon"},  // 166
    {"CUP",  192,  2, 0, "Cuban Peso"},  // 167
    {"CVE",  132,  2, 0, "Cape Verdean Escudo"},  // 168
    {"CZK",  203,  2, 0, "Czech Koruna"},  // 169
    {"DJF",  262,  0, 0, "Djiboutian Franc"},  // 170
    {"DKK",  208,  2, 0, "Danish Krone"},  // 171
    {"DOP",  214,  2, 0, "Dominican Peso"},  // 172
    {"DZD",   12,  2, 0, "Algerian Dinar"},  // 173
    {"EGP",  818,  2, 0, "Egyptian Pound"},  // 174
    {"ERN",  232,  2, 0, "Eritrean Nakfa"},  // 175
    {"ETB",  230,  2, 0, "Ethiopian Birr"},  // 176
    {"EUR",  978,  2, 0, "Euro"},  // 177
    {"FJD",  242,  2, 0, "Fijian Dollar"},  // 178
    {"FKP",  238,  2, 0, "Falkland Islands Pound"},  // 179
    {"GBP",  826,  2, 0, "Pound Sterling"},  // 180
    {"GEL",  981,  2, 0, "Georgian Lari"},  // 181
    {"GHS",  936,  2, 0, "Ghanaian Cedi"},  // 182
    {"GIP",  292,  2, 0, "Gibraltar Pound"},  // 183
    {"GMD",  270,  2, 0, "Gambian Dalasi"},  // 184
    {"GNF",  324,  0, 0, "Guinean Franc"},  // 185
    {"GTQ",  320,  2, 0, "Guatemalan Quetzal"},  // 186
    {"GYD",  328,  2, 0, "Guyanese Dollar"},  // 187
    {"HKD",  344,  2, 0, "Hong Kong Dollar"},  // 188
    {"HNL",  340,  2, 0, "Honduran Lempira"},  // 189
    {"HRK",  191,  2, 0, "Croatian Kuna"},  // 190
    {"HTG",  332,  2, 0, "Haitian Gourde"},  // 191
    {"HUF",  348,  2, 0, "Hungarian Forint"},  // 192
    {"IDR",  360,  2, 0, "Indonesian Rupiah"},  // 193
    {"ILS",  376,  2, 0, "Israeli New Shekel"},  // 194
    {"INR",  356,  2, 0, "Indian Rupee"},  // 195
    {"IQD",  368,  3, 0, "Iraqi Dinar"},  // 196
    {"IRR",  364,  2, 0, "Iranian Rial"},  // 197
    {"ISK",  352,  0, 0, "Icelandic Krona"},  // 198
    {"JMD",  388,  2, 0, "Jamaican Dollar"},  // 199
    {"JOD",  400,  3, 0, "Jordanian Dinar"},  // 200
    {"JPY",  392,  0, 0, "Japanese Yen"},  // 201
    {"KES",  404,  2, 0, "Kenyan Shilling"},  // 202
    {"KGS",  417,  2, 0, "Kyrgystani Som"},  // 203
    {"KHR",  116,  2, 0, "Cambodian Riel"},  // 204
    {"KMF",  174,  0, 0, "Comorian Franc"},  // 205
    {"KPW",  408,  2, 0, "North Korean Won"},  // 206
    {"KRW",  410,  0, 0, "South Korean Won"},  // 207
    {"KWD",  414,  3, 0, "Kuwaiti Dinar"},  // 208
    {"KYD",  136,  2, 0, "Cayman Islands Dollar"},  // 209
    {"KZT",  398,  2, 0, "Kazakhstani Tenge"},  // 210
    {"LAK",  418,  2, 0, "Laotian Kip"},  // 211
    {"LBP",  422,  2, 0, "Lebanese Pound"},  // 212
    {"LKR",  144,  2, 0, "Sri Lankan Rupee"},  // 213
    {"LRD",  430,  2, 0, "Liberian Dollar"},  // 214
    {"LSL",  426,  2, 0, "Lesotho Loti"},  // 215
    {"LYD",  434,  3, 0, "Libyan Dinar"},  // 216
    {"MAD",  504,  2, 0, "Moroccan Dirham"},  // 217
    {"MDL",  498,  2, 0, "Moldovan Leu"},  // 218
    {"MGA",  969,  2, 0, "Malagasy Ariary"},  // 219
    {"MKD",  807,  2, 0, "Macedonian Denar"},  // 220
    {"MMK",  104,  2, 0, "Myanmar Kyat"},  // 221
    {"MNT",  496,  2, 0, "Mongolian Togrog"},  // 222
    {"MOP",  446,  2, 0, "Macanese Pataca"},  // 223
    {"MRU",  929,  2, 0, "Mauritanian Ouguiya"},  // 224
    {"MUR",  480,  2, 0, "Mauritian Rupee"},  // 225
    {"MVR",  462,  2, 0, "Maldivian Rufiyaa"},  // 226
    {"MWK",  454,  2, 0, "Malawian Kwacha"},  // 227
    {"MXN",  484,  2, 0, "Mexican Peso"},  // 228
    {"MYR",  458,  2, 0, "Malaysian Ringgit"},  // 229
    {"MZN",  943,  2, 0, "Mozambican Metical"},  // 230
    {"NAD",  516,  2, 0, "Namibian Dollar"},  // 231
    {"NGN",  566,  2, 0, "Nigerian Naira"},  // 232
    {"NIO",  558,  2, 0, "Nicaraguan Cordoba"},  // 233
    {"NOK",  578,  2, 0, "Norwegian Krone"},  // 234
    {"NPR",  524,  2, 0, "Nepalese Rupee"},  // 235
    {"NZD",  554,  2, 0, "New Zealand Dollar"},  // 236
    {"OMR",  512,  3, 0, "Omani Rial"},  // 237
    {"PAB",  590,  2, 0, "Panamanian Balboa"},  // 238
    {"PEN",  604,  2, 0, "Peruvian Sol"},  // 239
    {"PGK",  598,  2, 0, "Papua New Guinean Kina"},  // 240
    {"PHP",  608,  2, 0, "Philippine Peso"},  // 241
    {"PKR",  586,  2, 0, "Pakistani Rupee"},  // 242
    {"PLN",  985,  2, 0, "Polish Zloty"},  // 243
    {"PYG",  600,  0, 0, "Paraguayan Guarani"},  // 244
    {"QAR",  634,  2, 0, "Qatari Riyal"},  // 245
    {"RON",  946,  2, 0, "Romanian Leu"},  // 246
    {"RSD",  941,  2, 0, "Serbian Dinar"},  // 247
    {"RUB",  643,  2, 0, "Russian Ruble"},  // 248
    {"RWF",  646,  0, 0, "Rwandan Franc"},  // 249
    {"SAR",  682,  2, 0, "Saudi Riyal"},  // 250
    {"SBD",   90,  2, 0, "Solomon Islands Dollar"},  // 251
    {"SCR",  690,  2, 0, "Seychellois Rupee"},  // 252
    {"SDG",  938,  2, 0, "Sudanese Pound"},  // 253
    {"SEK",  752,  2, 0, "Swedish Krona"},  // 254
    {"SGD",  702,  2, 0, "Singapore Dollar"},  // 255
    {"SHP",  654,  2, 0, "Saint Helena Pound"},  // 256
    {"SLE",  925,  2, 0, "Sierra Leonean Leone"},  // 257
    {"SLL",  694,  2, 0, "Sierra Leonean Leone (old)"},  // 258
    {"SOS",  706,  2, 0, "Somali Shilling"},  // 259
    {"SSP",  728,  2, 0, "South Sudanese Pound"},  // 260
    {"SRD",  968,  2, 0, "Surinamese Dollar"},  // 261
    {"STN",  930,  2, 0, "Sao Tome and Principe Dobra"},  // 262
    {"SVC",  222,  2, 0, "Salvadoran Colon"},  // 263
    {"SYP",  760,  2, 0, "Syrian Pound"},  // 264
    {"SZL",  748,  2, 0, "Swazi Lilangeni"},  // 265
    {"THB",  764,  2, 0, "Thai Baht"},  // 266
    {"TJS",  972,  2, 0, "Tajikistani Somoni"},  // 267
    {"TMT",  934,  2, 0, "Turkmenistan Manat"},  // 268
    {"TND",  788,  3, 0, "Tunisian Dinar"},  // 269
    {"TOP",  776,  2, 0, "Tongan Pa'anga"},  // 270
    {"TRY",  949,  2, 0, "Turkish Lira"},  // 271
    {"TTD",  780,  2, 0, "Trinidad and Tobago Dollar"},  // 272
    {"TWD",  901,  2, 0, "New Taiwan Dollar"},  // 273
    {"TZS",  834,  2, 0, "Tanzanian Shilling"},  // 274
    {"UAH",  980,  2, 0, "Ukrainian Hryvnia"},  // 275
    {"UGX",  800,  0, 0, "Ugandan Shilling"},  // 276
    {"USD",  840,  2, 0, "US Dollar"},  // 277
    {"UYU",  858,  2, 0, "Uruguayan Peso"},  // 278
    {"UZS",  860,  2, 0, "Uzbekistani Som"},  // 279
    {"VES",  928,  2, 0, "Venezuelan Bolivar Soberano"},  // 280
    {"VND",  704,  0, 0, "Vietnamese Dong"},  // 281
    {"VUV",  548,  0, 0, "Vanuatu Vatu"},  // 282
    {"WST",  882,  2, 0, "Samoan Tala"},  // 283
    {"XAF",  950,  0, 0, "CFA Franc BEAC"},  // 284
    {"XAG",  961,  0, 0, "Silver"},  // 285
    {"XAU",  959,  0, 0, "Gold"},  // 286
    {"XCD",  951,  2, 0, "East Caribbean Dollar"},  // 287
    {"XDR",  960,  0, 0, "Special Drawing Rights"},  // 288
    {"XOF",  952,  0, 0, "CFA Franc BCEAO"},  // 289
    {"XPD",  964,  0, 0, "Palladium"},  // 290
    {"XPF",  953,  0, 0, "CFP Franc"},  // 291
    {"XPT",  962,  0, 0, "Platinum"},  // 292
    {"XTS",  963,  0, 0, "Test"},  // 293
    {"YER",  886,  2, 0, "Yemeni Rial"},  // 294
    {"ZAR",  710,  2, 0, "South African Rand"},  // 295
    {"ZMW",  967,  2, 0, "Zambian Kwacha"},  // 296
    {"ZWL",  932,  2, 0, "Zimbabwean Dollar"},  // 297
    {"BTC",    0,  8, 1, "Bitcoin"},  // 298
    {"ETH",    0, 18, 1, "Ethereum"},  // 299
    {"SOL",    0,  9, 1, "Solana"},  // 300
    {"XRP",    0,  6, 1, "XRP"},  // 301
    {"BNB",    0, 18, 1, "BNB"},  // 302
    {"ADA",    0,  6, 1, "Cardano"},  // 303
    {"LTC",    0,  8, 1, "Litecoin"},  // 304
    {"DOT",    0, 10, 1, "Polkadot"},  // 305
    {"XMR",    0, 12, 1, "Monero"},  // 306
    {"ETC",    0, 18, 1, "Ethereum Classic"},  // 307
    {"BCH",    0,  8, 1, "Bitcoin Cash"},  // 308
    {"XLM",    0,  7, 1, "Stellar"},  // 309
    {"FIL",    0, 18, 1, "Filecoin"},  // 310
    {"ICP",    0,  8, 1, "Internet Computer"},  // 311
    {"TRX",    0,  6, 1, "TRON"},  // 312
    {"EOS",    0,  4, 1, "EOS"},  // 313
    {"VET",    0, 18, 1, "VeChain"},  // 314
    {"NEO",    0,  8, 1, "Neo"},  // 315
    {"ZEC",    0,  8, 1, "Zcash"},  // 316
    {"UNI",    0, 18, 1, "Uniswap"},  // 317
    {"ARB",    0, 18, 1, "Arbitrum"},  // 318
    {"SUI",    0,  9, 1, "Sui"},  // 319
    {"TON",    0,  9, 1, "Toncoin"},  // 320
    {"INJ",    0, 18, 1, "Injective"},  // 321
    {"SEI",    0,  6, 1, "Sei"},  // 322
    {"APT",    0,  8, 1, "Aptos"},  // 323
    {"TAO",    0,  9, 1, "Bittensor"},  // 324
    {"WIF",    0,  6, 1, "dogwifhat"},  // 325
    {"DOGE",   0,  8, 1, "Dogecoin"},  // 326
    {"LINK",   0, 18, 1, "Chainlink"},  // 327
    {"USDT",   0,  6, 1, "Tether"},  // 328
    {"USDC",   0,  6, 1, "USD Coin"},  // 329
    {"AVAX",   0, 18, 1, "Avalanche"},  // 330
    {"ATOM",   0,  6, 1, "Cosmos"},  // 331
    {"POL",    0, 18, 1, "Polygon"},  // 332
    {"NEAR",   0, 24, 1, "NEAR Protocol"},  // 333
    {"ALGO",   0,  6, 1, "Algorand"},  // 334
    {"HBAR",   0,  8, 1, "Hedera"},  // 335
    {"AAVE",   0, 18, 1, "Aave"},  // 336
    {"MKR",    0, 18, 1, "Maker"},  // 337
    {"DAI",    0, 18, 1, "Dai"},  // 338
    {"STX",    0,  6, 1, "Stacks"},  // 339
    {"GRT",    0, 18, 1, "The Graph"},  // 340
    {"LDO",    0, 18, 1, "Lido DAO"},  // 341
    {"BONK",   0,  5, 1, "Bonk"},  // 342
    {"PEPE",   0, 18, 1, "Pepe"},  // 343
    {"SHIB",   0, 18, 1, "Shiba Inu"},  // 344
    {"JUP",    0,  6, 1, "Jupiter"},  // 345
    {"PYTH",   0,  6, 1, "Pyth Network"},  // 346
    {"RUNE",   0,  8, 1, "THORChain"},  // 347
};
// clang-format on

constexpr bool is_code_letters(const char *text, uint32_t length) {
    if (length != 3 && length != 4) return false;
    for (uint32_t i = 0; i < length; ++i) {
        if (text[i] < 'A' || text[i] > 'Z') return false;
    }
    return true;
}

constexpr uint32_t code_length(const tvl_currency &c) {
    uint32_t n = 0;
    while (n < sizeof c.code && c.code[n] != '\0') ++n;
    return n;
}

constexpr bool table_is_well_formed() {
    for (uint32_t i = 0; i < kCurrencyCount; ++i) {
        const tvl_currency &c = kCurrencies[i];
        if (!is_code_letters(c.code, code_length(c))) return false;
        if ((c.is_crypto != 0) != (i + kCurrencyFirst >= kCryptoFirst)) return false;
        if (c.is_crypto != 0 && c.numeric != 0) return false;
        if (c.name[0] == '\0' || c.name[sizeof c.name - 1] != '\0') return false;
    }
    return true;
}
static_assert(table_is_well_formed(), "currency table: bad code, kind or name");

// A code packed into one number: its letters from the most significant byte
// on, a 3-letter code padded with a zero byte. Distinct codes give distinct
// keys, and the keys order like the codes.
constexpr uint32_t code_key(const char *code, uint32_t length) {
    uint32_t key = 0;
    for (uint32_t i = 0; i < 4; ++i) {
        key = (key << 8) | (i < length ? static_cast<unsigned char>(code[i]) : 0u);
    }
    return key;
}

struct code_entry {
    uint32_t key;
    uint16_t row;
};

// The rows sorted by code, for a binary search.
struct code_index {
    code_entry entries[kCurrencyCount];
};

constexpr code_index build_code_index() {
    code_index index{};
    for (uint32_t i = 0; i < kCurrencyCount; ++i) {
        const code_entry e{code_key(kCurrencies[i].code, code_length(kCurrencies[i])),
                           static_cast<uint16_t>(i)};
        uint32_t j = i;
        while (j > 0 && index.entries[j - 1].key > e.key) {
            index.entries[j] = index.entries[j - 1];
            --j;
        }
        index.entries[j] = e;
    }
    return index;
}

constexpr code_index kCodeIndex = build_code_index();

constexpr bool codes_are_unique() {
    for (uint32_t i = 1; i < kCurrencyCount; ++i) {
        if (kCodeIndex.entries[i - 1].key == kCodeIndex.entries[i].key) return false;
    }
    return true;
}
static_assert(codes_are_unique(), "currency table: a code occurs twice");

// The row of the currency with this code, or -1.
int32_t find_code(const char *text, uint32_t length) {
    const uint32_t key = code_key(text, length);
    uint32_t lo = 0;
    uint32_t hi = kCurrencyCount;
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        if (kCodeIndex.entries[mid].key < key) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    if (lo < kCurrencyCount && kCodeIndex.entries[lo].key == key) return kCodeIndex.entries[lo].row;
    return -1;
}

}  // namespace

const char *currency_code(uint32_t base) {
    return is_currency_id(base) ? kCurrencies[base - kCurrencyFirst].code : nullptr;
}

}  // namespace tvl

extern "C" {

TVLR_API bool tvl_unit_is_currency(tvl_base_unit base) {
    return tvl::is_currency_id(base);
}

TVLR_API bool tvl_unit_is_fiat(tvl_base_unit base) {
    return tvl::is_fiat_id(base);
}

TVLR_API bool tvl_unit_is_crypto(tvl_base_unit base) {
    return tvl::is_crypto_id(base);
}

TVLR_API tvl_base_unit tvl_parse_currency_str(const char *text, uint32_t length) {
    if (text == nullptr || !tvl::is_code_letters(text, length)) return 0;
    const int32_t row = tvl::find_code(text, length);
    return row < 0 ? 0 : tvl::kCurrencyFirst + static_cast<uint32_t>(row);
}

TVLR_API const tvl_currency *tvl_currency_info(tvl_base_unit base) {
    return tvl::is_currency_id(base) ? &tvl::kCurrencies[base - tvl::kCurrencyFirst] : nullptr;
}

TVLR_API uint8_t tvl_currency_minor_unit(tvl_base_unit base, bool *ok) {
    const bool known = tvl::is_currency_id(base);
    if (ok != nullptr) *ok = known;
    return known ? tvl::kCurrencies[base - tvl::kCurrencyFirst].minor_unit : 0;
}

TVLR_API bool tvl_currency_prefix_valid(tvl_base_unit base, tvl_prefix prefix) {
    // Currencies take decimal prefixes only.
    return !tvl::is_currency_id(base) || prefix.kind == TVL_PREFIX_DECIMAL;
}

}  // extern "C"
