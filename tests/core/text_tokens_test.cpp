// Tests of the lexical validators, the UTF-8 routines and the escape tables.
#include "core/text_tokens.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/escape.h"
#include "core/utf8.h"
#include "tvlr.h"

namespace {

// Independent model of well-formed UTF-8: decode to code points and reject over-long forms,
// surrogates and values above U+10FFFF.
bool model_utf8(const std::string &s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto b0 = static_cast<uint8_t>(s[i]);
        uint32_t cp;
        size_t len;
        if (b0 < 0x80) {
            cp = b0;
            len = 1;
        } else if ((b0 & 0xE0) == 0xC0) {
            cp = b0 & 0x1Fu;
            len = 2;
        } else if ((b0 & 0xF0) == 0xE0) {
            cp = b0 & 0x0Fu;
            len = 3;
        } else if ((b0 & 0xF8) == 0xF0) {
            cp = b0 & 0x07u;
            len = 4;
        } else {
            return false;
        }
        if (i + len > s.size()) return false;
        for (size_t k = 1; k < len; ++k) {
            const auto b = static_cast<uint8_t>(s[i + k]);
            if ((b & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (b & 0x3Fu);
        }
        const uint32_t min_cp[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < min_cp[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

bool model_name_start(uint8_t b) {
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '_' || (b >= 0xC3 && b <= 0xF4);
}

bool model_name_byte(uint8_t b) {
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '_' ||
           b == '+' || b == '-' || (b >= 0x80 && b <= 0xC1) || b >= 0xC3;
}

bool model_identifier(const std::string &s) {
    if (s.empty() || !model_name_start(static_cast<uint8_t>(s[0]))) return false;
    for (size_t i = 1; i < s.size(); ++i) {
        if (!model_name_byte(static_cast<uint8_t>(s[i]))) return false;
    }
    return model_utf8(s);
}

struct TextCase {
    std::string text;
    bool valid;
};

TEST(Identifier, Table) {
    const std::vector<TextCase> cases = {
        {"a", true},
        {"_", true},
        {"A1", true},
        {"x-y+z", true},
        {"\xC3\xA9", true},
        {"Z_9-", true},
        {"a\xF0\x9F\x98\x80", true},
        {"\xF0\x9F\x98\x80", true},
        {"", false},
        {"1a", false},
        {"-a", false},
        {"+a", false},
        {"a.b", false},
        {"a b", false},
        {"a:b", false},
        {"a$", false},
        {"a\t", false},
        {"\xC2\xB5", false},
        {"a\xC2\xB5", false},
        {"a\xC3", false},
        {"a\xED\xA0\x80", false},
        {"a\xC3\x28", false},
        {"\xF5\x80\x80\x80", false},
        {"\xE0\x80\x80", false},
        {"a\x7F", false},
        {"a~b", false},
        {"a/b", false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(tvl_validate_identifier(c.text.c_str()), c.valid) << c.text;
        EXPECT_EQ(tvl_validate_symbol(c.text.c_str()), c.valid) << c.text;
        EXPECT_EQ(tvl::is_identifier(c.text.data(), c.text.size()), c.valid) << c.text;
    }
    EXPECT_FALSE(tvl_validate_identifier(nullptr));
    EXPECT_FALSE(tvl_validate_symbol(nullptr));
    EXPECT_FALSE(tvl::is_identifier(nullptr, 3));
}

TEST(Identifier, SpanStopsAtLengthAndRejectsInnerNul) {
    const char text[] = "ab$";
    EXPECT_TRUE(tvl::is_identifier(text, 2));
    EXPECT_FALSE(tvl::is_identifier(text, 3));
    const std::string with_nul("a\0b", 3);
    EXPECT_FALSE(tvl::is_identifier(with_nul.data(), with_nul.size()));
    // A multi-byte character cut by the span length is cut short.
    EXPECT_FALSE(tvl::is_identifier("a\xC3\xA9", 2));
}

TEST(Identifier, LongTexts) {
    for (size_t len : {255u, 256u, 300u, 70000u}) {
        std::string name(len, 'x');
        EXPECT_TRUE(tvl_validate_identifier(name.c_str())) << len;
        name[len - 1] = '.';
        EXPECT_FALSE(tvl_validate_identifier(name.c_str())) << len;
        std::string accented = "_";
        while (accented.size() + 2 <= len) accented += "\xC3\xA9";
        EXPECT_TRUE(tvl_validate_symbol(accented.c_str())) << len;
        accented.back() = '\xC3';  // ends inside a character
        EXPECT_FALSE(tvl_validate_symbol(accented.c_str())) << len;
    }
}

// Identifier, symbol and an independent model agree on every string of one and two bytes, on
// every three-byte string over a mixed alphabet and on random strings.
TEST(Identifier, SymbolAndIdentifierAgreeWithModel) {
    auto check = [](const std::string &s) {
        const bool model = model_identifier(s);
        ASSERT_EQ(tvl_validate_identifier(s.c_str()), model) << testing::PrintToString(s);
        ASSERT_EQ(tvl_validate_symbol(s.c_str()), model) << testing::PrintToString(s);
    };
    for (int a = 1; a < 256; ++a) {
        check(std::string(1, static_cast<char>(a)));
        for (int b = 1; b < 256; ++b) check({static_cast<char>(a), static_cast<char>(b)});
    }
    const std::string alphabet = "aZ_0+-.$ \x7F\x80\xBF\xC1\xC2\xC3\xDF\xE0\xED\xEF\xF0\xF4\xF5";
    for (char a : alphabet)
        for (char b : alphabet)
            for (char c : alphabet)
                for (char d : alphabet) check({a, b, c, d});
    std::mt19937 rng(12345);
    for (int n = 0; n < 20000; ++n) {
        std::string s(1 + rng() % 12, ' ');
        for (auto &ch : s) ch = alphabet[rng() % alphabet.size()];
        check(s);
    }
}

TEST(Reference, Table) {
    const std::vector<TextCase> cases = {
        {".a", true},
        {".a.b", true},
        {"._x.y2", true},
        {".config.limits.max", true},
        {".\xC3\xA9.b-1", true},
        {"a.b", false},
        {".", false},
        {".a.", false},
        {".a..b", false},
        {".1", false},
        {".a.b c", false},
        {"", false},
        {"..a", false},
        {".a.-b", false},
        {".\xC2\xB5", false},
        {".a$", false},
        {"&.a", false},
        // Name bytes alone would let broken UTF-8 through; the whole text must be UTF-8.
        {".a\x80", false},
        {".\xC3", false},
        {".a\xED\xA0\x80", false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(tvl_validate_reference(c.text.c_str()), c.valid) << c.text;
        EXPECT_EQ(tvl::is_reference(c.text.data(), c.text.size()), c.valid) << c.text;
    }
    EXPECT_FALSE(tvl_validate_reference(nullptr));
    EXPECT_TRUE(tvl::is_reference(".a.b", 2));
    EXPECT_FALSE(tvl::is_reference(".a.b", 3));
}

TEST(Reference, LongTexts) {
    std::string ref;
    while (ref.size() < 1000) ref += ".seg_1";
    EXPECT_TRUE(tvl_validate_reference(ref.c_str()));
    EXPECT_FALSE(tvl_validate_reference((ref + ".").c_str()));
    EXPECT_FALSE(tvl_validate_reference((ref + "..x").c_str()));
}

TEST(Utf8, StringTable) {
    const std::vector<TextCase> cases = {
        {"", true},
        {"plain ascii", true},
        {"\xE2\x82\xAC", true},
        {"\xF4\x8F\xBF\xBF", true},
        {"\xC2\x80", true},
        {"\xDF\xBF", true},
        {"\xE0\xA0\x80", true},
        {"\xED\x9F\xBF", true},
        {"\xEE\x80\x80", true},
        {"\xF0\x90\x80\x80", true},
        {"\xC0\x80", false},
        {"\xC1\xBF", false},
        {"\xE0\x80\x80", false},
        {"\xE0\x9F\xBF", false},
        {"\xED\xA0\x80", false},
        {"\xF0\x8F\xBF\xBF", false},
        {"\xF4\x90\x80\x80", false},
        {"\xF5\x80\x80\x80", false},
        {"\xFF", false},
        {"\x80", false},
        {"a\xE2\x82", false},
        {"\xE2\x82\x41", false},
        {"\xC3\xA9\xC3", false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(tvl_validate_string(c.text.data(), c.text.size()), c.valid)
            << testing::PrintToString(c.text);
        EXPECT_EQ(tvl::utf8_valid(c.text.data(), c.text.size()), c.valid);
    }
    const std::string with_nul("a\0b", 3);
    EXPECT_TRUE(tvl_validate_string(with_nul.data(), with_nul.size()));
    EXPECT_TRUE(tvl_validate_string(nullptr, 0));
    EXPECT_FALSE(tvl_validate_string(nullptr, 1));
}

// The validator and the single-character routine match the model on every sequence of up to
// three bytes and on all four-byte sequences with a lead byte F0..F4.
TEST(Utf8, ExhaustiveAgainstModel) {
    std::string s;
    for (uint32_t v = 0; v < (1u << 24); ++v) {
        s.assign({static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)});
        const bool model = model_utf8(s);
        ASSERT_EQ(tvl::utf8_valid(s.data(), 3), model) << v;
        if ((v & 0xFFFF) == 0) {
            ASSERT_EQ(tvl::utf8_valid(s.data(), 1), model_utf8(s.substr(0, 1)));
        }
        if ((v & 0xFF) == 0) {
            ASSERT_EQ(tvl::utf8_valid(s.data(), 2), model_utf8(s.substr(0, 2))) << v;
        }
    }
    for (uint32_t lead = 0xF0; lead <= 0xF4; ++lead) {
        for (uint32_t rest = 0; rest < (1u << 24); rest += 7) {
            s.assign({static_cast<char>(lead), static_cast<char>(rest >> 16),
                      static_cast<char>(rest >> 8), static_cast<char>(rest)});
            const bool model = model_utf8(s);
            ASSERT_EQ(tvl::utf8_valid(s.data(), 4), model) << lead << " " << rest;
            ASSERT_EQ(tvl::utf8_char_length(s.data(), 4) == 4, model);
        }
    }
}

TEST(Utf8, CharLength) {
    struct Case {
        std::string bytes;
        size_t avail;
        size_t length;
    };
    const std::vector<Case> cases = {
        {"a", 1, 1},
        {std::string(1, '\0'), 1, 1},
        {"\xC3\xA9", 2, 2},
        {"\xC3\xA9", 1, 0},
        {"\xE2\x82\xAC", 3, 3},
        {"\xE2\x82\xAC", 2, 0},
        {"\xF0\x9F\x98\x80", 4, 4},
        {"\xF0\x9F\x98\x80", 3, 0},
        {"\xC2\x41", 2, 0},
        {"\x80", 1, 0},
        {"a", 0, 0},
        {"\xC3\xA9xyz", 5, 2},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(tvl::utf8_char_length(c.bytes.data(), c.avail), c.length)
            << testing::PrintToString(c.bytes) << " avail " << c.avail;
    }
}

// Feeding the bytes one at a time (as a reader does across chunks) gives the same verdict.
TEST(Utf8, StreamMatchesWholeCheck) {
    std::mt19937 rng(99);
    const std::string alphabet = "a\x80\x8F\x90\x9F\xA0\xBF\xC2\xDF\xE0\xE1\xED\xF0\xF3\xF4\xF5";
    for (int n = 0; n < 50000; ++n) {
        std::string s(rng() % 9, ' ');
        for (auto &ch : s) ch = alphabet[rng() % alphabet.size()];
        tvl::Utf8Stream st;
        bool ok = true;
        for (char ch : s) ok = ok && st.feed(static_cast<uint8_t>(ch));
        ok = ok && st.complete();
        ASSERT_EQ(ok, tvl::utf8_valid(s.data(), s.size())) << testing::PrintToString(s);
    }
}

TEST(EscapeTable, SevenEntries) {
    const uint8_t *table = tvl_get_escape_repl_table();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table, tvl::kEscapeReplacement.data());
    int non_zero = 0;
    for (int i = 0; i < 256; ++i) non_zero += table[i] != 0;
    EXPECT_EQ(non_zero, 7);
    auto at = [table](char c) { return table[static_cast<uint8_t>(c)]; };
    EXPECT_EQ(at('n'), 10);
    EXPECT_EQ(at('t'), 9);
    EXPECT_EQ(at('v'), 11);
    EXPECT_EQ(at('f'), 12);
    EXPECT_EQ(at('r'), 13);
    EXPECT_EQ(at('"'), '"');
    EXPECT_EQ(at('\\'), '\\');
    EXPECT_EQ(at('u'), 0);
    EXPECT_EQ(at('0'), 0);
}

// The reverse table gives each escaped byte its letter; together they make the canonical text.
TEST(EscapeTable, ReverseTableRoundTrips) {
    int escaped = 0;
    for (int b = 0; b < 256; ++b) {
        const uint8_t letter = tvl::kEscapeLetter[b];
        if (letter == 0) continue;
        ++escaped;
        EXPECT_EQ(tvl::kEscapeReplacement[letter], b) << b;
    }
    EXPECT_EQ(escaped, 7);
    const std::string content = "a\t\"\\b";
    std::string canonical = "\"";
    for (char ch : content) {
        const uint8_t letter = tvl::kEscapeLetter[static_cast<uint8_t>(ch)];
        if (letter != 0) {
            canonical += '\\';
            canonical += static_cast<char>(letter);
        } else {
            canonical += ch;
        }
    }
    canonical += '"';
    EXPECT_EQ(canonical, "\"a\\t\\\"\\\\b\"");
    EXPECT_EQ(canonical.size(), 10u);
}

TEST(StringContent, Checks) {
    struct Case {
        std::string text;
        uint32_t error;
    };
    const std::vector<Case> cases = {
        {"", TVL_ERR_NONE},
        {"tab\there\nand\r\x0B\x0C", TVL_ERR_NONE},
        {"quote \" backslash \\", TVL_ERR_NONE},
        {"\xE2\x82\xAC", TVL_ERR_NONE},
        {"a\x01", TVL_ERR_UNEXPECTED_INPUT_BYTE},
        {std::string("a\0b", 3), TVL_ERR_UNEXPECTED_INPUT_BYTE},
        {"\x1F", TVL_ERR_UNEXPECTED_INPUT_BYTE},
        {"\x7F", TVL_ERR_UNEXPECTED_INPUT_BYTE},
        {"\x08", TVL_ERR_UNEXPECTED_INPUT_BYTE},
        {"\x0E", TVL_ERR_UNEXPECTED_INPUT_BYTE},
        {"\xC3\x28", TVL_ERR_INVALID_UTF8_BYTE},
        {"\xC3", TVL_ERR_INVALID_UTF8_BYTE},
        // A control byte is reported even when broken UTF-8 comes first.
        {"\xC3\x28\x01", TVL_ERR_UNEXPECTED_INPUT_BYTE},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(tvl::check_string_content(c.text.data(), c.text.size()), c.error)
            << testing::PrintToString(c.text);
    }
    EXPECT_EQ(tvl::check_string_content(nullptr, 0), TVL_ERR_NONE);
    EXPECT_EQ(tvl::check_string_content(nullptr, 2), TVL_ERR_INVALID_ARGUMENT);
    // Long texts (taken eight bytes at a time while they are printable ASCII) agree with the
    // byte-by-byte rule wherever the odd byte falls.
    const char *const pieces[] = {"a",  " ",        "~",    "\x7F", "\x1F",
                                  "\t", "\xC3\xA9", "\xC3", "\x80", "\xE2\x82\xAC"};
    std::mt19937 rng(7);
    for (int n = 0; n < 3000; ++n) {
        std::string text;
        for (auto k = rng() % 40; k > 0; --k)
            text += pieces[rng() % 10 < 7 ? rng() % 3 : 3 + rng() % 7];
        uint32_t want =
            tvl::utf8_valid(text.data(), text.size()) ? TVL_ERR_NONE : TVL_ERR_INVALID_UTF8_BYTE;
        for (const char c : text)
            if (!tvl::is_string_byte(static_cast<uint8_t>(c))) want = TVL_ERR_UNEXPECTED_INPUT_BYTE;
        EXPECT_EQ(tvl::check_string_content(text.data(), text.size()), want)
            << testing::PrintToString(text);
    }
}

TEST(ByteClasses, MatchModel) {
    for (int b = 0; b < 256; ++b) {
        const auto u = static_cast<uint8_t>(b);
        EXPECT_EQ(tvl::is_name_start_byte(u), model_name_start(u)) << b;
        EXPECT_EQ(tvl::is_name_byte(u), model_name_byte(u)) << b;
        const bool string_byte = (b >= 0x09 && b <= 0x0D) || (b >= 0x20 && b != 0x7F);
        EXPECT_EQ(tvl::is_string_byte(u), string_byte) << b;
    }
}

}  // namespace
