// Chunking never changes events, errors or error positions: the same input
// read in place from memory, one byte per read, in random pieces and from a
// pipe must give identical traces.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/trace.h"

using tvltest::Feed;
using tvltest::generated_document;
using tvltest::read_trace;

namespace {

using namespace std::string_literals;

std::vector<std::string> handwritten_corpus() {
    return {
        "",
        ".a=1;",
        "\xEF\xBB\xBF# lead \xC3\xA9\r\n.a = \"x\\ty\" \"z\" # c\n ;",
        ".s = { .x = [1, 2] / [3, 4]; .y = { .z = &.a.b; }; };",
        ".m = [[1, 2], [3]]; .e = [];",
        ".o = \0\1\3\0xyz\1\1\0q\0 ;"s,
        ".u = 12 k~m/s; .v = \"abc\" m; .w = $-inf;",
        ".a = <uint:8> 255; .b = <float> 1.5e-3;",
        ".t = \"\xE2\x82\xAC \xF0\x9F\x98\x80\";",
        ".a = 10m;",
        ".a\xC3\xA9!",
        "\xEF\xBB\x41",
        "# note",
        ".a = !; .b = [1, !, 3]; .c = { .x = !; }; .d = 1;",
        ".a = ! \"x;y\" [;] ; .b = 1;",
        ".a = 1;;",
        ".a = [{.x = 1;}, {.x = !}, {.y = 2;}]; .b = 3;",
        ".o = \0\2;"s,
        ".s = \"a\xC3(\";",
        ".s = \"a\xE2\x82;\"; .t = 1;",
        "\t.a\t=\t1\t;\v\f.b = 2 ;",
        ".a=\xC3\xC0;.b=!;.c=\xE2\x82\xFF\xC3;",
    };
}

void expect_same_under_chunking(const std::string &doc, const tvlr_reader_options *o,
                                bool with_pipe) {
    auto base = read_trace(doc, o, Feed::memory);
    std::vector<std::pair<Feed, uint32_t>> feeds = {
        {Feed::one_byte, 0}, {Feed::random, 1}, {Feed::random, 2}, {Feed::random, 3}};
    if (with_pipe) feeds.push_back({Feed::descriptor, 0});
    for (auto [feed, seed] : feeds) {
        auto other = read_trace(doc, o, feed, seed);
        ASSERT_EQ(other.trace, base.trace) << "feed " << static_cast<int>(feed) << " seed " << seed;
        ASSERT_EQ(other.ok, base.ok);
        ASSERT_EQ(other.error, base.error);
        ASSERT_EQ(other.line, base.line);
        ASSERT_EQ(other.column, base.column);
        ASSERT_EQ(other.byte, base.byte);
        ASSERT_EQ(other.recoveries, base.recoveries);
        // Offsets of end-of-input errors count the bytes read, which do not
        // depend on chunking either once the whole input has been read.
        ASSERT_EQ(other.offset, base.offset);
    }
}

TEST(Chunking, HandwrittenDocuments) {
    for (const auto &doc : handwritten_corpus()) {
        SCOPED_TRACE(doc);
        for (uint8_t recover : {uint8_t{0}, uint8_t{1}}) {
            tvlr_reader_options o{};
            o.recover = recover;
            expect_same_under_chunking(doc, &o, true);
        }
    }
}

TEST(Chunking, GeneratedDocuments) {
    std::mt19937 rng(20261208);
    for (int i = 0; i < 1500; ++i) {
        std::string doc = generated_document(rng);
        SCOPED_TRACE(doc);
        tvlr_reader_options o{};
        o.recover = static_cast<uint8_t>(i & 1);
        expect_same_under_chunking(doc, &o, i % 50 == 0);
    }
}

// Long tokens across the 1 MiB in-place chunk and the 64 KiB read chunk.
TEST(Chunking, LongTokensCrossChunkBoundaries) {
    tvlr_reader_options o{};
    o.max_symbol_len = 65535;
    o.max_identifier_len = 65535;
    for (size_t boundary : {size_t{1} << 20, size_t{1} << 16}) {
        for (size_t back : {size_t{1}, size_t{2}, size_t{3}, size_t{30000}}) {
            std::string doc;
            while (doc.size() + 40 < boundary - back) doc += ".filler = \"0123456789\";\n";
            doc += std::string(boundary - back - doc.size(), ' ');
            // Each token starts `back` bytes before the boundary; the
            // multi-byte characters in them straddle it for small `back`.
            std::string s = "\xE2\x82\xAC" + std::string(40000, 's') + "\xF0\x9F\x98\x80";
            std::string doc2 = doc + ".\xC3\xA9" + std::string(40000, 'n') + " = \"" + s + "\";" +
                               "# " + std::string(70000, 'c') + "\n.sym = z" +
                               std::string(50000, 'y') + ";";
            SCOPED_TRACE(boundary);
            auto mem = read_trace(doc2, &o, Feed::memory);
            EXPECT_TRUE(mem.ok) << mem.error << " at " << mem.offset;
            auto pipe = read_trace(doc2, &o, Feed::descriptor);
            EXPECT_EQ(pipe.trace, mem.trace);
            auto rnd = read_trace(doc2, &o, Feed::random, 7);
            EXPECT_EQ(rnd.trace, mem.trace);
            // A broken character right at the boundary is reported at the
            // same position however the input was cut.
            std::string bad = doc + ".s = \"\xE2\x82\x41\";";
            auto m2 = read_trace(bad, &o, Feed::memory);
            auto p2 = read_trace(bad, &o, Feed::descriptor);
            EXPECT_EQ(m2.error, 19u);
            EXPECT_EQ(p2.trace, m2.trace);
            EXPECT_EQ(p2.offset, m2.offset);
            EXPECT_EQ(p2.column, m2.column);
        }
    }
}

}  // namespace

namespace {

// Strings are scanned eight bytes at a time when the chunk allows: a byte
// that needs attention at any position of such a block must give the same
// result as the byte-by-byte path (one-byte reads never take the fast path).
TEST(Chunking, SpecialBytesAtEveryPositionOfAStringBlock) {
    const std::string specials[] = {"\x01",     "\x1F",     "\"", "\\t",  "\\q", "\x7F",
                                    "\xC3\xA9", "\xE2\x82", "\t", "\x80", "\n",  " "};
    for (const auto &special : specials) {
        for (size_t pos = 0; pos < 20; ++pos) {
            std::string body = std::string(pos, 'a') + special + std::string(20, 'b');
            std::string doc = ".s = \"" + body + "\"; .t = 1;";
            SCOPED_TRACE(doc);
            for (uint8_t recover : {uint8_t{0}, uint8_t{1}}) {
                tvlr_reader_options o{};
                o.recover = recover;
                auto fast = read_trace(doc, &o, Feed::memory);
                auto slow = read_trace(doc, &o, Feed::one_byte);
                ASSERT_EQ(fast.trace, slow.trace);
                ASSERT_EQ(fast.offset, slow.offset);
                ASSERT_EQ(fast.column, slow.column);
            }
        }
    }
}

}  // namespace
