// Round trips through the canonical observer over the documents of the reader's tests and a
// large generated corpus: canonical text reads back with the same values (units included), it
// is a fixed point in both layouts, and a writer fed with the reader's events writes the same
// bytes as the observer.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/trace.h"
#include "writer/output.h"
#include "writer_support.h"

using namespace wtest;
using namespace std::string_literals;

namespace {

// The documents of the reader's tests that read without error.
std::vector<std::string> reader_test_documents() {
    std::vector<std::string> docs = {
        "",
        "  \n\t ",
        ".a=1;",
        ".a = ;",
        ".s = sym-1;",
        ".r = &.a.b;",
        ".n = null;",
        ".f = on;",
        ".f = off;",
        ".t = \"ab\" \"cd\";",
        ".t = \"a\\tb\\\"\";",
        ".s = { .x = ; };",
        ".e = [];",
        ".x = $nan;",
        "# lead\n.a = ; # done",
        "\xEF\xBB\xBF.a = ;",
        ".o = \0\1\3\0xyz\0;"s,
        ".a = <uint:8>;",
        ".n = <uint:8> 255;",
        ".n = <sint:8> -128;",
        ".n = <uint:8,_16> \"ff\";",
        ".n = <float> 1.5;",
        ".m = [1, 2] / [3, 4];",
        ".m = [[1, 2], [3]];",
        ".m = [[1], 2] / [[3], 4];",
        ".p = 12 m;",
        ".c = 12.50 USD;",
        ".a = [{.x = 1;}, {.x = 2;}];",
        ".m = [1] / [2]; .n = [1, 2];",
        ".s = { .m = [1] / [2]; .n = [1, 2]; };",
        ".m = [1.5] / [2];",
        ".a = [<float> $nan, 1];",
        ".a = <uint:8,m> 5 m;",
        ".a = <uint:12,_16> 1e5;",
        ".a = <float_fix:32,q8> 1.5;",
        ".a = [1, [2, 3]];",
        ".s = \"abc\" m;",
        "\xEF\xBB\xBF# lead \xC3\xA9\r\n.a = \"x\\ty\" \"z\" # c\n ;",
        ".s = { .x = [1, 2] / [3, 4]; .y = { .z = &.a.b; }; };",
        ".m = [[1, 2], [3]]; .e = [];",
        ".o = \0\1\3\0xyz\1\1\0q\0 ;"s,
        ".u = 12 k~m/s; .v = \"abc\" m; .w = $-inf;",
        ".a = <uint:8> 255; .b = <float> 1.5e-3;",
        ".t = \"\xE2\x82\xAC \xF0\x9F\x98\x80\";",
        "\t.a\t=\t1\t;\v\f.b = 2 ;",
        ".a = 1;",
        ".s = {};",
        ".a = [1];",
        ".a = <uint:8,m> 5;",
        ".a = 1; .b = 2; .c = 3;",
        ".a = 1; # done",
        ".a = [{.x = 1;}, {.y = 2;}]; .b = 3;",
    };
    std::string deep, arrays;
    for (int i = 0; i < 64; ++i) deep += ".a={";
    for (int i = 0; i < 64; ++i) deep += "};";
    docs.push_back(deep);
    docs.push_back(".a=" + std::string(64, '[') + std::string(64, ']') + ";");
    docs.push_back(".a=" + std::string(255, '[') + std::string(255, ']') + ";");
    std::string many, members;
    for (int i = 0; i < 40; ++i)
        many += ".u" + std::to_string(i) + " = <uint:" + std::to_string(i + 8) + ",m/s^" +
                std::to_string(i % 9 + 1) + "> " + std::to_string(i) + " m/s^" +
                std::to_string(i % 9 + 1) + "; .v = " + std::to_string(i) + " k~m^" +
                std::to_string(i % 5 + 1) + ";";
    docs.push_back(many);
    for (int i = 0; i < 20000; ++i) members += ".m" + std::to_string(i) + " = \"v\";\n";
    docs.push_back(members);
    const std::string s = "\xE2\x82\xAC" + std::string(40000, 's') + "\xF0\x9F\x98\x80";
    docs.push_back(".\xC3\xA9" + std::string(40000, 'n') + " = \"" + s + "\";" + "# " +
                   std::string(70000, 'c') + "\n.sym = z" + std::string(50000, 'y') + ";");
    return docs;
}

// A generator of valid documents that uses every construct: annotations of every type with
// widths, bases, fraction counts and units, unit suffixes, strings with every escape, special
// numbers, integers beyond 64 bits, references, symbols, booleans, nulls, octet streams of
// several blocks, matrices, arrays and structs nested in each other, comments and white space.
class Generator {
  public:
    explicit Generator(uint32_t seed) : rng_(seed) {}

    std::string document() {
        std::string doc = pick({"", "# head\n", "\xEF\xBB\xBF", "\n"});
        const int n = uniform(1, 8);
        for (int i = 0; i < n; ++i) doc += member(0);
        return doc;
    }

  private:
    std::mt19937 rng_;

    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(int percent) { return uniform(1, 100) <= percent; }
    std::string pick(std::initializer_list<const char *> items) {
        return *(items.begin() + uniform(0, static_cast<int>(items.size()) - 1));
    }

    std::string space() { return pick({"", " ", "\n\t", " # c\n", "  "}); }

    std::string name() {
        return pick({"a", "b_1", "x-y+z", "\xC3\xA9t\xC3\xA9", "long_member_name", "Z"});
    }

    std::string member(int depth) {
        return "." + name() + space() + "=" + space() + value(depth, false) + space() + ";" +
               space();
    }

    std::string suffix() {
        return " " + pick({"m", "k~m/s", "USD", "%", "\xC2\xB5~s", "k~g*m/s^2", "Ki~B", "degC"});
    }

    std::string number() {
        if (chance(5)) return std::to_string(rng_()) + std::to_string(rng_()) + "0123";
        return pick({"0", "7", "-12", "1.5", "-0.25e-3", "1e10", ".5", "007", "1.", "-.5E+2",
                     "18446744073709551615", "-9223372036854775808", "$nan", "$inf", "$-inf"});
    }

    std::string string_literal() {
        switch (uniform(0, 5)) {
            case 0:
                return "\"abc\"";
            case 1:
                return "\"a\\tb\\\"c\\\\d\\n\\r\\v\\f\"";
            case 2:
                return "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\"";
            case 3:
                return "\"\"";
            case 4:
                return "\"x\"" + space() + "\"y\"";
            default: {
                std::string s = "\"";
                const int n = uniform(0, 400);
                for (int i = 0; i < n; ++i)
                    s += chance(10) ? pick({"\\t", "\\\"", "\\\\", "\t", "\xC3\xA9"})
                                    : std::string(1, static_cast<char>(uniform('a', 'z')));
                return s + "\"";
            }
        }
    }

    std::string annotated(bool in_array) {
        if (!in_array && chance(20))
            return pick(
                {"<uint:8> 5 m", "<uint:8,m,s> 4 s", "<float> $-inf k~g", "<utf8> \"u\" Ki~B"});
        return pick({"<uint:8> 255",
                     "<sint:16,_16> \"-7f\"",
                     "<uint:_64> \"+/\"",
                     "<uint:16,_85> \"!u\"",
                     "<float:64> 1.5e3",
                     "<float:32,_16> \"1.8p+2\"",
                     "<float_fix:32,q8> 1.5",
                     "<float_fix:16> 3",
                     "<float_dec:64,USD> 9.99",
                     "<float_dec:128> 1e-3",
                     "<utf8> \"t\"",
                     "<utf8:_16> \"t\"",
                     "<bool> on",
                     "<bool:> false",
                     "<uint:8,m> 5",
                     "<utf8:xyz> \"x\"",
                     "<uint:8,no_unit> 5",
                     "<float> $nan",
                     "<uint:8>",
                     "<sint:100> -1",
                     "<uint:200> 123456789012345678901234567890",
                     "<uint: 8 , k~m>  3",
                     "<float:64,k~g*m/s^2> 2",
                     "<uint:8,m,s> 4"});
    }

    std::string octets() {
        std::string s = "\0"s;
        const int blocks = uniform(1, 3);
        for (int b = 0; b < blocks; ++b) {
            const int n = chance(5) ? 65536 : uniform(1, 40);
            s += '\1';
            s += static_cast<char>(n & 0xFF);
            s += static_cast<char>((n >> 8) & 0xFF);
            for (int i = 0; i < n; ++i) s += static_cast<char>(uniform(0, 255));
        }
        return s + "\0"s;
    }

    std::string value(int depth, bool in_array) {
        const int kind = uniform(0, depth < 3 ? 13 : 9);
        switch (kind) {
            case 0:
                return number() + (!in_array && chance(30) ? suffix() : "");
            case 1:
                return string_literal() + (!in_array && chance(20) ? suffix() : "");
            case 2:
                return annotated(in_array);
            case 3:
                return pick({"sym", "a-b+c", "\xC3\xA9l\xC3\xA8ve"});
            case 4:
                return pick({"&.x.y", "&.a", "&._q.r2"});
            case 5:
                return pick({"true", "off", "on", "false"});
            case 6:
                return pick({"null", ""});
            case 7:
                return octets();
            case 8:
                return number();
            case 9:
                return string_literal();
            case 10:
                return "{" + space() + members(depth + 1) + "}";
            case 11:
                return array(depth + 1);
            case 12:
                return matrix();
            default:
                return typed_array();
        }
    }

    std::string members(int depth) {
        std::string s;
        const int n = uniform(0, 3);
        for (int i = 0; i < n; ++i) s += member(depth);
        return s;
    }

    std::string array(int depth) {
        std::string s = "[";
        const int n = uniform(0, 4);
        for (int i = 0; i < n; ++i) s += (i ? "," + space() : "") + value(depth, true);
        return s + "]";
    }

    std::string typed_array() {
        return pick({"<uint:16> [1, 2, 3]", "<utf8> [\"a\", \"b\"]", "<float:64,m> [1.5, 2]",
                     "<sint:8,_16> [\"7f\", \"-80\"]", "<uint:8> []",
                     "<float:64> [$nan, 1] / [2, 3]", "<uint:8,m> [[1], [2, 3]]"});
    }

    std::string matrix() {
        const int rows = uniform(1, 3), cols = uniform(1, 3);
        std::string s;
        for (int r = 0; r < rows; ++r) {
            s += r ? " / [" : "[";
            for (int c = 0; c < cols; ++c) s += (c ? ", " : "") + number();
            s += "]";
        }
        return s;
    }
};

// Feeds a reader's events into a writer.
struct Rewrite {
    tvlr_writer *writer;
};

bool write_through(void *user, uint32_t kind, tvlr_event *e) {
    return tvlr_write_event(static_cast<Rewrite *>(user)->writer, kind, e);
}

// The writer is the reader's first callback (which sees type_start before the annotation is
// read, with type 0) or its second (which sees the parsed type).
WriteResult rewrite_with_writer(std::string_view doc, bool pretty,
                                const tvlr_reader_options &options, bool first_callback) {
    WriteResult r;
    const tvlr_sink sink = string_sink(&r.out);
    Rewrite rw{tvlr_writer_create()};
    tvlr_writer_options wo{};
    wo.max_struct_depth = 255;
    wo.max_array_depth = 255;
    tvlr_open_write_sink(rw.writer, &sink, pretty, &wo);
    tvlr_reader_options o = options;
    o.user_data = &rw;
    o.on_event = first_callback ? &write_through : nullptr;
    o.on_event_after = first_callback ? nullptr : &write_through;
    tvlr_reader *reader = tvlr_reader_create();
    if (tvlr_open_read_mem(reader, doc.data(), doc.size(), nullptr, 0, &o))
        r.ok = tvlr_read(reader) && tvlr_write_finish(rw.writer);
    r.error = tvlr_writer_get_error(rw.writer);
    tvlr_reader_destroy(reader);
    tvlr_writer_destroy(rw.writer);
    return r;
}

// An integer of 20 digits or more: the reader takes it untyped without a range check.
bool has_long_digit_run(const std::string &doc) {
    int run = 0;
    for (char c : doc) {
        run = c >= '0' && c <= '9' ? run + 1 : 0;
        if (run >= 20) return true;
    }
    return false;
}

// Checks every round-trip property on one document; returns false when the document does not
// read, so that callers can count what was checked.
bool check_round_trip(const std::string &doc) {
    const tvlr_reader_options widest = widest_reader_options();
    const Values original = read_values(doc, &widest);
    if (!original.ok) return false;
    std::string canonical[2];
    for (bool pretty : {false, true}) {
        SCOPED_TRACE(pretty ? "pretty" : "compact");
        const CanonResult c = canonicalise(doc, pretty, &widest);
        EXPECT_TRUE(c.read_ok);
        EXPECT_TRUE(c.finish_ok);
        const Values again = read_values(c.out, &widest);
        EXPECT_TRUE(again.ok) << "error " << again.error << " in\n" << c.out;
        EXPECT_EQ(again.text, original.text) << c.out;
        // Canonical text is a fixed point of canonicalisation.
        EXPECT_EQ(canonicalise(c.out, pretty, &widest).out, c.out);
        // The writer, fed with the same events, writes the same bytes.
        for (bool first_callback : {false, true}) {
            const WriteResult w = rewrite_with_writer(doc, pretty, widest, first_callback);
            if (w.ok) {
                EXPECT_EQ(w.out, c.out);
            } else {
                // Only an untyped integer beyond 64 bits carries an added annotation that it
                // does not fit; the writer refuses it where the observer leaves the annotation
                // out.
                EXPECT_EQ(w.error, 35u);
                EXPECT_TRUE(has_long_digit_run(doc));
            }
        }
        canonical[pretty] = c.out;
    }
    // The layout does not matter: pretty canonical text canonicalises to the compact one.
    EXPECT_EQ(canonicalise(canonical[1], false, &widest).out, canonical[0]);
    return true;
}

TEST(RoundTrip, ReaderTestDocuments) {
    int checked = 0;
    for (const std::string &doc : reader_test_documents()) {
        SCOPED_TRACE(doc.substr(0, 200));
        ASSERT_TRUE(check_round_trip(doc));
        ++checked;
        if (HasFailure()) break;
    }
    EXPECT_EQ(checked, static_cast<int>(reader_test_documents().size()));
}

TEST(RoundTrip, GeneratedDocuments) {
    Generator gen(2024);
    int checked = 0;
    for (int i = 0; i < 3000 && !HasFailure(); ++i) {
        const std::string doc = gen.document();
        SCOPED_TRACE(doc.substr(0, 400));
        ASSERT_TRUE(check_round_trip(doc)) << "the generator made a document that does not read";
        ++checked;
    }
    EXPECT_EQ(checked, 3000);
}

// The reader's own generator mutates documents; those that still read go round too.
TEST(RoundTrip, MutatedDocuments) {
    std::mt19937 rng(99);
    int checked = 0;
    for (int i = 0; i < 6000 && !HasFailure(); ++i) {
        const std::string doc = tvltest::generated_document(rng);
        SCOPED_TRACE(doc);
        checked += check_round_trip(doc);
    }
    EXPECT_GT(checked, 1500);
}

// The observer's annotation runs written in one piece against the same runs event by event:
// the same text, read result and finish, for generated and mutated documents.
TEST(RoundTrip, CanonicalRunsAgreeWithEvents) {
    Generator gen(7);
    std::mt19937 rng(8);
    const auto canonical = [](const std::string &doc, bool pretty, bool events) {
        tvl::wr::testing::use_event_path(events);
        const wtest::CanonResult c = canonicalise(doc, pretty);
        tvl::wr::testing::use_event_path(false);
        return std::to_string(c.read_ok) + std::to_string(c.read_error) +
               std::to_string(c.finish_ok) + c.out;
    };
    for (int i = 0; i < 1500; ++i) {
        const std::string doc = i % 2 ? gen.document() : tvltest::generated_document(rng);
        for (const bool pretty : {false, true})
            ASSERT_EQ(canonical(doc, pretty, false), canonical(doc, pretty, true)) << doc;
    }
}

}  // namespace
