// The C++ layer: lambda sources and sinks against the memory ones, owners, and big-number text
// against the standard library's conversions.
#include <gtest/gtest.h>

#include <charconv>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "tvlr.hpp"

namespace {

constexpr std::string_view kDoc =
    ".name = \"Ada\";\n.height = 1.72 m;\n.grid = [1, 2] / [3, 4];\n.s = { .t = <uint:8> 7; };\n";

struct trace {
    std::vector<std::string> events;
    tvlr::read_error error;
    bool ok = false;
};

// Every event as "kind:text" and the read's outcome, read from a lambda source that hands out
// `chunk` bytes at a time (0: the memory source).
trace read_all(std::string_view doc, uint32_t chunk) {
    trace t;
    tvlr::reader reader;
    auto on_event = [&](uint32_t kind, const tvlr_event &e) {
        t.events.push_back(std::to_string(kind) + ":" + std::string(tvlr::text(e)));
        return true;
    };
    size_t pos = 0;
    auto pull = [&](char *dst, uint32_t cap) -> long {
        size_t n = std::min<size_t>({cap, chunk, doc.size() - pos});
        doc.copy(dst, n, pos);
        pos += n;
        return static_cast<long>(n);
    };
    t.ok = chunk ? reader.read(tvlr::make_source(pull), on_event) : reader.read(doc, on_event);
    t.error = reader.error();
    return t;
}

TEST(Hpp, LambdaSourceReadsLikeMemory) {
    for (std::string doc : {std::string(kDoc), std::string(kDoc) + ".bad = 10m;\n"}) {
        trace whole = read_all(doc, 0);
        for (uint32_t chunk : {1u, 3u, 64u}) {
            trace pieces = read_all(doc, chunk);
            EXPECT_EQ(pieces.events, whole.events) << chunk;
            EXPECT_EQ(pieces.ok, whole.ok);
            EXPECT_EQ(pieces.error.line, whole.error.line);
            EXPECT_EQ(pieces.error.column, whole.error.column);
        }
    }
}

TEST(Hpp, WriterSinkFeedsTheTree) {
    std::string out;
    auto append = [&](std::string_view bytes) {
        out.append(bytes);
        return true;
    };
    tvlr::writer w;
    tvlr::writer moved = std::move(w);
    EXPECT_FALSE(w);
    ASSERT_TRUE(moved.open(tvlr::make_sink(append), true));
    ASSERT_TRUE(moved.string("name", "Ada \"Lovelace\"") && moved.struct_start("s") &&
                moved.sint("n", 16, -300) && moved.struct_end() && moved.finish());
    EXPECT_EQ(tvlr_writer_bytes_written(moved.get()), out.size());
    tvlr::document doc = tvlr::document::parse(out);
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc.parse_error(), 0u) << out;
    EXPECT_EQ(doc.lookup("name").string(), "Ada \"Lovelace\"");
    int64_t n = 0;
    EXPECT_TRUE(doc.lookup("s.n").get(n));
    EXPECT_EQ(n, -300);
    EXPECT_EQ(doc.lookup("s.n").int_text(16), "-12c");
}

// Integer text in bases 2..36 against std::to_chars; shortest float text reads back through
// strtod to the same double.
TEST(Hpp, BigNumberTextAgreesWithTheStandardLibrary) {
    std::mt19937_64 rng(7);
    tvlr::integer n;
    tvlr::big_float f(53);
    ASSERT_TRUE(n && f);
    for (int i = 0; i < 2000; ++i) {
        int64_t v = static_cast<int64_t>(rng()) >> (rng() % 64);
        uint32_t base = 2 + static_cast<uint32_t>(rng() % 35);
        char expected[80];
        auto end =
            std::to_chars(expected, expected + sizeof expected, v, static_cast<int>(base)).ptr;
        ASSERT_TRUE(n.set(v));
        std::string text = n.str(base);
        for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(text, std::string(expected, end)) << base;
        tvlr::integer back;
        int64_t w = 0;
        EXPECT_TRUE(back.parse(text.c_str(), base) && back.to(w) && w == v) << text;

        double d =
            std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 200) - 100);
        ASSERT_TRUE(f.set(d));
        EXPECT_EQ(std::strtod(f.str().c_str(), nullptr), d) << f.str();
    }
}

}  // namespace
