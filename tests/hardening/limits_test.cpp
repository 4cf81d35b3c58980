// Hostile input at every limit: each token length and nesting limit is met exactly (accepted) and
// passed by one (refused with the limit's error at the byte that passes it, with its line and
// column), through the reader (from memory and in small chunks) and, where the tree parse reads
// with the same limits, through tvl_dom_parse (which keeps the members read before the error);
// and the byte limit of a tree read from a descriptor.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "tvlr.h"

namespace {

// The counted thing sits on line 3, after a comment and a member.
const std::string kHead = "# limits\n.first = 1;\n  ";

// The options of the tree parse: default token limits, depth limits 255.
void tree_options(tvlr_reader_options &o, uint32_t) {
    o.max_struct_depth = 255;
    o.max_array_depth = 255;
}

struct Limit {
    const char *name;
    uint32_t limit;
    uint32_t code;           // the error one past the limit
    uint32_t at_limit_code;  // 0, or the error a token of exactly `limit` bytes still meets
    void (*options)(tvlr_reader_options &, uint32_t limit);  // tree_options: also the tree parse
    // The document with k counted things: the head, prefix, (k - lead) units, then close(k);
    // `lead` things lie outside the units (in the prefix or the close). The byte that passes the
    // limit is `mark` bytes after the end of the first `limit - lead` units.
    std::string prefix, unit;
    uint32_t lead, mark;
    std::string (*close)(uint32_t k);

    std::string text(uint32_t k) const {
        std::string t = kHead + prefix;
        for (uint32_t i = lead; i < k; ++i) t += unit;
        return t + close(k);
    }
    size_t over_at() const {
        return kHead.size() + prefix.size() + (limit - lead) * unit.size() + mark;
    }
};

// Line and column of an offset, counted independently of the reader: columns are characters
// (UTF-8 lead bytes) from the line start, from 1; no tabs occur.
std::pair<uint64_t, uint64_t> position(const std::string &text, size_t offset) {
    uint64_t line = 1, column = 1;
    for (size_t i = 0; i < offset; ++i) {
        if (text[i] == '\n') {
            ++line, column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++column;
        }
    }
    return {line, column};
}

template <uint16_t tvlr_reader_options::*Field>
void token_limit(tvlr_reader_options &o, uint32_t limit) {
    o.*Field = static_cast<uint16_t>(limit);
}
void text_limit(tvlr_reader_options &o, uint32_t limit) {
    o.max_text_bytes = limit;
}
void item_limit(tvlr_reader_options &o, uint32_t limit) {
    o.max_array_items = limit;
}

std::string close_value(uint32_t) {
    return ";";
}
std::string close_name(uint32_t) {
    return " = 1;";
}
std::string close_string(uint32_t) {
    return "\";";
}
std::string close_type(uint32_t) {
    return "64> 1;";
}
std::string close_element(uint32_t) {
    return "];";
}
std::string close_items(uint32_t) {
    return "1];";
}
std::string close_structs(uint32_t k) {
    std::string t = ".v = 1;";
    for (uint32_t i = 0; i < k; ++i) t += "};";
    return t;
}
std::string close_arrays(uint32_t k) {
    return "1" + std::string(k, ']') + ";";
}

const Limit kLimits[] = {
    {"name, default", 255, TVL_ERR_IDENTIFIER_TOO_LONG, 0, tree_options, ".", "n", 0, 0,
     close_name},
    {"name, widest", 65535, TVL_ERR_IDENTIFIER_TOO_LONG, 0,
     token_limit<&tvlr_reader_options::max_identifier_len>, ".", "n", 0, 0, close_name},
    {"symbol, default", 255, TVL_ERR_SYMBOL_TOO_LONG, 0, tree_options, ".a = s", "y", 1, 0,
     close_value},
    {"symbol, widest", 65535, TVL_ERR_SYMBOL_TOO_LONG, 0,
     token_limit<&tvlr_reader_options::max_symbol_len>, ".a = s", "y", 1, 0, close_value},
    {"string, default", 65535, TVL_ERR_STRING_TOO_LONG, 0, tree_options, ".a = \"", "s", 0, 0,
     close_string},
    // Escapes and joined literals count the bytes of the value, not of the text.
    {"string, escapes", 65535, TVL_ERR_STRING_TOO_LONG, 0, tree_options, ".a = \"", "\\t", 0, 1,
     close_string},
    {"string, joined", 65535, TVL_ERR_STRING_TOO_LONG, 0, tree_options, ".a = \"", "s\" \"", 0, 0,
     close_string},
    {"number, default", 65535, TVL_ERR_NUMBER_TOO_LONG, 0, tree_options, ".a = 1.", "5", 2, 0,
     close_value},
    {"number, array element", 65535, TVL_ERR_NUMBER_TOO_LONG, 0, tree_options, ".a = [0, 1.", "5",
     2, 0, close_element},
    {"reference, default", 65535, TVL_ERR_REFERENCE_TOO_LONG, 0, tree_options, ".a = &.r", "e", 2,
     0, close_value},
    // Leading zeros of the width fill an annotation text of 255 bytes that is still valid (white
    // space is not part of the text); "uint:" and "64" are the 7 bytes around them, and the byte
    // one past the limit is the last one of "64".
    {"annotation", 255, TVL_ERR_TYPE_TOO_LONG, 0, tree_options, ".a = <uint:", "0", 7, 2,
     close_type},
    // No valid unit text reaches 255 bytes (8 factors at most): at the limit the length check
    // passes and the unit rules refuse the text.
    {"unit suffix", 255, TVL_ERR_UNIT_TOO_LONG, TVL_ERR_UNIT_ILLEGAL, tree_options, ".a = 1 ", "m",
     0, 0, close_value},
    {"struct depth, default", 64, TVL_ERR_STRUCT_NESTING_TOO_HIGH, 0,
     [](tvlr_reader_options &, uint32_t) {}, "", ".s={", 0, 3, close_structs},
    {"struct depth, widest", 255, TVL_ERR_STRUCT_NESTING_TOO_HIGH, 0, tree_options, "", ".s={", 0,
     3, close_structs},
    {"array depth, widest", 255, TVL_ERR_ARRAY_NESTING_TOO_HIGH, 0, tree_options, ".a = ", "[", 0,
     0, close_arrays},
    // Every byte of the document counts: the 23 of the head, 6 of the prefix and 2 of the close.
    {"text bytes", 300, TVL_ERR_TEXT_DATA_TOO_LONG, 0, text_limit, ".a = \"", "s", 31, 2,
     close_string},
    {"array items", 1000, TVL_ERR_TOO_MANY_ARRAY_ITEMS, 0, item_limit, ".a = [", "1,", 1, 1,
     close_items},
};

struct Outcome {
    bool ok;
    uint32_t error, byte;
    uint64_t line, column, offset;
};

// A custom source of 7-byte chunks over the text whose address is in user_state, so that the
// scanner's runs are cut at chunk ends.
bool seven_bytes(tvlr_source *src, uint8_t *dst, uint32_t cap, uint32_t *count) {
    const std::string *text = nullptr;
    std::memcpy(&text, src->user_state, sizeof text);
    *count = static_cast<uint32_t>(std::min<uint64_t>({7, cap, src->remaining}));
    std::memcpy(dst, text->data() + (text->size() - src->remaining), *count);
    src->remaining -= *count;
    return true;
}

Outcome read(const std::string &text, const Limit &row, bool chunked) {
    tvlr_reader_options o{};
    row.options(o, row.limit);
    tvlr_source src{};
    tvlr_source_from_mem(&src, text.data(), text.size());
    if (chunked) {
        src.read = seven_bytes;
        const std::string *p = &text;
        std::memcpy(src.user_state, &p, sizeof p);
    }
    tvlr_reader *r = tvlr_reader_create();
    EXPECT_TRUE(tvlr_open_read_source(r, &src, nullptr, &o));
    const Outcome out{tvlr_read(r),
                      tvlr_reader_get_error(r),
                      tvlr_reader_get_error_byte(r),
                      tvlr_reader_get_error_line(r),
                      tvlr_reader_get_error_column(r),
                      tvlr_reader_get_error_offset(r)};
    tvlr_reader_destroy(r);
    return out;
}

TEST(Limits, AtTheLimitAndOnePast) {
    for (const Limit &row : kLimits) {
        SCOPED_TRACE(row.name);
        const std::string fits = row.text(row.limit), over = row.text(row.limit + 1);
        // From memory in place, and in 7-byte chunks.
        for (const bool chunked : {false, true}) {
            const Outcome at = read(fits, row, chunked);
            EXPECT_EQ(at.ok, row.at_limit_code == 0);
            EXPECT_EQ(at.error, row.at_limit_code);
            const Outcome past = read(over, row, chunked);
            const auto [line, column] = position(over, row.over_at());
            EXPECT_FALSE(past.ok);
            EXPECT_EQ(past.error, row.code);
            EXPECT_EQ(past.offset, row.over_at());
            EXPECT_EQ(past.byte, static_cast<unsigned char>(over[row.over_at()]));
            EXPECT_EQ(past.line, line);
            EXPECT_EQ(past.column, column);
        }
        if (row.options != tree_options) continue;

        // The tree parse: the whole document at the limit; one past it, the error and the
        // member read before.
        for (const std::string *text : {&fits, &over}) {
            tvl_dom_doc *doc = tvl_dom_parse(text->data(), static_cast<uint32_t>(text->size()));
            ASSERT_NE(doc, nullptr);
            EXPECT_EQ(doc->parse_error, text == &fits ? row.at_limit_code : row.code);
            ASSERT_GE(doc->count, 1u);
            EXPECT_STREQ(doc->entries[0].name, "first");
            if (text == &fits && row.at_limit_code == 0) {
                EXPECT_EQ(doc->count, 2u);
            }
            tvl_dom_doc_destroy(doc);
        }
    }
}

// The byte limit of a tree read from a descriptor, around the sizes where its buffer grows: a
// document of exactly the limit reads, one byte more gives no document.
TEST(Limits, DescriptorByteLimit) {
    for (const size_t size : {size_t{64}, size_t{65536}, size_t{65537}, size_t{131073}}) {
        const std::string tail = "\n.a = 1;";
        const std::string text = "#" + std::string(size - 1 - tail.size(), 'c') + tail;
        FILE *f = std::tmpfile();
        ASSERT_EQ(std::fwrite(text.data(), 1, size, f), size);
        std::fflush(f);
        for (const uint64_t max : {uint64_t{size}, uint64_t{size - 1}}) {
            std::rewind(f);
            tvl_dom_doc *doc = tvl_dom_parse_fd_ex(fileno(f), max);
            EXPECT_EQ(doc != nullptr, max == size) << size;
            if (doc != nullptr) {
                EXPECT_EQ(doc->parse_error, 0u);
                EXPECT_EQ(doc->count, 1u);
            }
            tvl_dom_doc_destroy(doc);
        }
        std::fclose(f);
    }
}

}  // namespace
