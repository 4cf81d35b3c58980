// The scanner's fast path against its per-byte reference: every document is read through the
// reference from memory, then through the fast path whole and in pieces of every size from 1 to
// 70 bytes; events, errors, lines, columns, bytes, offsets and recoveries must all agree. A read
// without event callbacks (which completes tokens without building events) must report the same
// errors at the same places.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "reader/reader_impl.h"
#include "support/render.h"
#include "support/trace.h"

namespace {

using namespace std::string_literals;

struct Outcome {
    std::string trace;  // events and error reports, then the result
    std::string errors;
    bool ok = false;
    std::vector<uint32_t> error_bytes;
    uint32_t byte = 0;
    uint64_t line = 0, column = 0, offset = 0, recoveries = 0;
    std::string pending;  // the token left in the text buffer where the read ended
    bool operator==(const Outcome &) const = default;
};

struct Pieces {
    std::string_view data;
    size_t pos = 0, size = 0;
};

bool piece_read(tvlr_source *src, uint8_t *dst, uint32_t cap, uint32_t *count) {
    Pieces *p;
    std::memcpy(&p, src->user_state, sizeof p);
    size_t n = std::min({p->size, p->data.size() - p->pos, size_t{cap}});
    std::memcpy(dst, p->data.data() + p->pos, n);
    p->pos += n;
    *count = static_cast<uint32_t>(n);
    return true;
}

struct Recorder {
    tvltest::EventTrace trace;
    std::string errors;
    std::vector<uint32_t> error_bytes;
    size_t events = 0;
    size_t refuse_at = 0;  // the callback refuses this event (counted from 1; 0: none)
};

bool on_event(void *user, uint32_t kind, tvlr_event *e) {
    auto *rec = static_cast<Recorder *>(user);
    rec->trace.event(kind, *e);
    return ++rec->events != rec->refuse_at;
}

void on_error(void *user, uint32_t code, uint64_t line, uint64_t column, uint32_t byte,
              uint64_t offset) {
    auto *rec = static_cast<Recorder *>(user);
    rec->trace.error(code, line, column, offset);
    rec->errors += std::to_string(code) + '@' + std::to_string(line) + ':' +
                   std::to_string(column) + '+' + std::to_string(offset) + ' ';
    rec->error_bytes.push_back(byte);
}

// Reads `doc` from memory (piece 0) or through a source that delivers `piece` bytes per call;
// `quiet` reads without event callbacks; the callback refuses the event numbered `refuse_at`.
// `targets` sets the first callback (1), the second (2) or both (3), each recording the event.
Outcome read(const std::string &doc, tvlr_reader_options o, size_t piece, bool quiet = false,
             size_t refuse_at = 0, unsigned targets = 1) {
    Recorder rec;
    rec.refuse_at = refuse_at;
    o.user_data = &rec;
    o.on_event = quiet || !(targets & 1) ? nullptr : &on_event;
    o.on_event_after = quiet || !(targets & 2) ? nullptr : &on_event;
    o.on_error = &on_error;
    tvlr_reader *r = tvlr_reader_create();
    Pieces pieces{doc, 0, piece};
    tvlr_source src{};
    src.read = &piece_read;
    Pieces *pp = &pieces;
    std::memcpy(src.user_state, &pp, sizeof pp);
    const bool opened = piece ? tvlr_open_read_source(r, &src, nullptr, &o)
                              : tvlr_open_read_mem(r, doc.data(), doc.size(), nullptr, 0, &o);
    EXPECT_TRUE(opened);
    const bool ok = opened && tvlr_read(r);
    // The fast path may hand a token to the completion where it stands in the input, but never
    // leaves it there: what the read leaves pending is in the text buffer, as the reference
    // leaves it.
    std::string pending = r->token == r->text
                              ? std::string(reinterpret_cast<const char *>(r->text), r->text_len)
                              : "token outside the text buffer";
    Outcome out{rec.trace.finish(ok, tvlr_reader_get_error(r)),
                rec.errors,
                ok,
                rec.error_bytes,
                tvlr_reader_get_error_byte(r),
                tvlr_reader_get_error_line(r),
                tvlr_reader_get_error_column(r),
                tvlr_reader_get_error_offset(r),
                tvlr_reader_get_recovery_count(r),
                std::move(pending)};
    tvlr_reader_destroy(r);
    return out;
}

// Switches the reference path on for one scope.
struct ReferencePath {
    ReferencePath() { tvl::rd::testing::use_reference_path(true); }
    ~ReferencePath() { tvl::rd::testing::use_reference_path(false); }
};

void expect_fast_path_agrees(const std::string &doc, const tvlr_reader_options &o) {
    Outcome reference;
    {
        ReferencePath on;
        reference = read(doc, o, 0);
    }
    // A reference that reads nothing would make every comparison vacuous.
    ASSERT_NE(reference.trace.find("->"), std::string::npos);
    ASSERT_EQ(read(doc, o, 0), reference) << "whole";
    for (size_t piece = 1; piece <= 70; ++piece) ASSERT_EQ(read(doc, o, piece), reference) << piece;
    for (const size_t piece : {0, 5}) {
        Outcome quiet = read(doc, o, piece, true);
        quiet.trace = reference.trace;  // the one thing that needs events
        ASSERT_EQ(quiet, reference) << "without events, piece " << piece;
    }
    // A callback that refuses an event (one that varies with the document) stops both paths at
    // the same place, with either callback or both set (each set has its own instance).
    const size_t refuse_at = 1 + doc.size() % 23;
    const auto targets = static_cast<unsigned>(1 + doc.size() / 23 % 3);
    Outcome refused;
    {
        ReferencePath on;
        refused = read(doc, o, 0, false, refuse_at, targets);
    }
    for (const size_t piece : {0, 3})
        ASSERT_EQ(read(doc, o, piece, false, refuse_at, targets), refused)
            << "refusing, piece " << piece << ", callbacks " << targets;
}

// Default limits; with recovery, lower limits of struct and array depth and of array items; small
// limits that runs must stop at.
std::vector<tvlr_reader_options> option_sets() {
    tvlr_reader_options plain{}, recover{}, tight{};
    recover.recover = 1;
    recover.max_struct_depth = 2;
    // Limits that the rows of a matrix reach now and then.
    recover.max_array_items = 11;
    recover.max_array_depth = 3;
    tight.recover = 1;
    tight.max_identifier_len = 3;
    tight.max_string_len = 6;
    tight.max_number_len = 4;
    tight.max_symbol_len = 3;
    tight.max_reference_len = 5;
    tight.max_array_items = 4;
    tight.max_array_depth = 4;
    tight.max_struct_depth = 1;
    tight.max_text_bytes = 97;
    return {plain, recover, tight};
}

void expect_agreement(const std::vector<std::string> &docs) {
    for (const std::string &doc : docs) {
        SCOPED_TRACE(doc);
        for (const tvlr_reader_options &o : option_sets()) expect_fast_path_agrees(doc, o);
    }
}

// The places where the fast path takes a shortcut: line breaks (CR LF split between pieces),
// tabs and columns, bytes from 0x80 up in and out of runs, broken characters, runs that end at a
// limit or at the end of a piece, strings with escapes and control bytes, octet streams whose
// last byte is CR, the byte order mark.
const std::vector<std::string> kEdgeCases = {
    "",
    "\xEF\xBB\xBF.a = 1;\r\n.b\t=\t2 ;\r\r\n\n.c = \"x\\ty\\\"\";",
    "\t .a = \"\t\v\f\x01\";\n\t\t.b = \"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z\";",
    ".\xC3\xA9t\xC3\xA9 = sym\xC3\xA9\xE2\x82\xAC; .u = 3 \xC2\xB5m; .v = <uint:8,\xC2\xB5m> 4;",
    ".a = \"\xE2\x82\"; .b = \xC3; .c = \"\xF4\x90\x80\x80\"; .d = \xC3\xA9\x80; .e = 1;",
    ".o = \0\1\2\0\r\n\0 ;\n.p = 1;"s,
    ".long_name_here = 123456789.125e-17; .s = \"a string longer than the limits\";",
    ".r = &.x.yy.zzz; .n = -0.5E+3; .m = [[1, 2] / [3, 4], [5]]; .q = $-inf k~m;",
    "# lead \xEF\xBB\n.a = { .b = [ {.c = 1;}, {.d = !;} ]; }; .e = [1,\n2;\n.f = 2;",
    ".a = 1; # comment \xC3\xA9\r\n.b = 2 # trailing\n;\r",
    // Lines and columns show only in error reports: errors after CR LF, lone CR and tabs.
    ".a = 1;\r\n.b = 2;\r\n\r\n.c = !;\r\n\t.d\t= \"x\r\ny\";\r.e = 1 2;\n\r.f = \x01;",
    // Many CR LF pairs: pieces of every size split some of them between two reads.
    [] {
        std::string many;
        for (int i = 0; i < 48; ++i) many += "\r\n";
        return many + "!";
    }(),
};

TEST(ReferencePath, EdgeCases) {
    expect_agreement(kEdgeCases);
}

TEST(ReferencePath, FuzzCorpus) {
    std::vector<std::string> docs;
    for (const auto &entry : std::filesystem::directory_iterator(TVLR_READER_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        docs.push_back(s.str());
    }
    ASSERT_GT(docs.size(), 10u);
    expect_agreement(docs);
}

// Generated and mutated documents, short ones and ones long enough that every construct meets
// every alignment.
TEST(ReferencePath, GeneratedDocuments) {
    std::mt19937 rng(20261209);
    std::vector<std::string> docs;
    for (int i = 0; i < 240; ++i) {
        std::string doc = tvltest::generated_document(rng);
        for (int k = i % 4 == 0 ? 6 : 0; k > 0; --k) doc += tvltest::generated_document(rng);
        docs.push_back(doc);
    }
    expect_agreement(docs);
}

// Long runs that cross 16-byte steps: names, symbols, references and numbers of up to 40
// pieces drawn from ASCII name bytes, characters of two and three bytes, bytes outside the
// class and broken characters, between white space of every kind up to 70 bytes long.
TEST(ReferencePath, LongRuns) {
    std::mt19937 rng(1209);
    const std::vector<std::string> pieces = {
        "a",        "Z",    "_", "9", "0", "-", "+", "\xC3\xA9", "\xE2\x82\xAC",
        "\xC2\xB5", "\x80", ".", "!", "e"};
    const std::string white = " \t\r\n\v\f";
    const auto pick = [&rng](size_t n) { return static_cast<size_t>(rng() % n); };
    const auto run = [&](size_t max, bool digits) {
        std::string s;
        for (size_t k = pick(max) + 1; k > 0; --k)
            s += digits && pick(8) != 0 ? std::string(1, static_cast<char>('0' + pick(10)))
                                        : pieces[pick(pieces.size())];
        return s;
    };
    const auto space = [&] {
        std::string s(pick(3) == 0 ? pick(70) : pick(3), ' ');
        for (char &c : s) c = pick(4) == 0 ? white[pick(white.size())] : ' ';
        return s;
    };
    std::vector<std::string> docs;
    for (int i = 0; i < 60; ++i) {
        std::string doc;
        for (int m = 0; m < 6; ++m) {
            doc += space() + "." + run(40, false) + space() + "=" + space();
            switch (pick(4)) {
                case 0:
                    doc += run(40, true);
                    break;
                case 1:
                    doc += "s" + run(40, false);
                    break;
                case 2:
                    doc += "&." + run(20, false) + "." + run(20, false);
                    break;
                default:
                    doc += "[" + run(30, true) + "," + space() + "-" + run(30, true) + "]";
                    break;
            }
            doc += space() + ";";
        }
        docs.push_back(doc);
    }
    expect_agreement(docs);
}

// Strings of characters of two to four bytes among broken ones: lead bytes from every range and
// its edges, followed mostly by the right count of continuation bytes, and now and then by too
// few or by bytes just outside the range allowed after the lead.
TEST(ReferencePath, Characters) {
    std::mt19937 rng(1210);
    const auto pick = [&rng](size_t n) { return static_cast<size_t>(rng() % n); };
    const std::string leads = "\x80\xBF\xC0\xC1\xC2\xDF\xE0\xE1\xEC\xED\xEE\xEF\xF0\xF3\xF4\xF5";
    const std::string edges = "\x7F\x80\x8F\x90\x9F\xA0\xBF\xC0";
    std::vector<std::string> docs;
    for (int i = 0; i < 80; ++i) {
        std::string doc;
        for (int m = 0; m < 4; ++m) {
            std::string s;
            for (size_t k = pick(12); k > 0; --k) {
                const auto lead = static_cast<uint8_t>(leads[pick(leads.size())]);
                s += pick(4) ? static_cast<char>(lead) : "a "[pick(2)];
                const size_t expected = lead < 0xC0 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
                for (size_t c = pick(5) ? expected : pick(4); c > 0; --c)
                    s += pick(6) ? static_cast<char>(0x80 + pick(64)) : edges[pick(edges.size())];
            }
            doc += ".s = \"" + s + "\";" + std::string(pick(3), ' ');
        }
        docs.push_back(doc + std::string(pick(40), ' ') + " !");
    }
    expect_agreement(docs);
}

// The shapes that the scanner takes a statement at a time: members with one space or none
// around `=`, numbers (some with a unit suffix), plain strings, names and symbols of lengths on
// both sides of the limits and past 16 and 32 bytes, arrays (nested, with rows, item and depth
// limits) and structs (empty or not, beyond the depth limit, a space before what follows them),
// annotated with every type word or not, line breaks and indentation between members; with a
// few bytes changed.
TEST(ReferencePath, Statements) {
    std::mt19937 rng(912);
    const auto pick = [&rng](size_t n) { return static_cast<size_t>(rng() % n); };
    const auto word = [&](const char *bytes, size_t max) {
        std::string s;
        for (size_t k = pick(max) + 1; k > 0; --k) s += bytes[pick(std::strlen(bytes))];
        return s;
    };
    const std::vector<std::string> breaks = {
        "\n", "\n    ", "\r\n  ", " ", "", "\n\n", "\t", "\n            \n\n          "};
    const std::vector<std::string> seps = {", ", ",", " ,", ",\n", " / ", "/"};
    // Annotations put a type, and some a unit, in force for the value or array that follows;
    // some are refused, by the parse or by the length limit (255 bytes), some have spaces.
    const std::vector<std::string> words = {"uint", "sint", "float", "float_dec", "utf8",
                                            "bool", "uin",  "floa",  "float_fix"};
    const std::vector<std::string> params = {"",
                                             ":8",
                                             ":32,_16",
                                             ":64,_10,m/s",
                                             ":16,_10,USD",
                                             ",kg",
                                             ":8:",
                                             ":" + std::string(250, '9')};
    const auto annotation = [&] {
        std::string a = (pick(12) ? "<" : "< ") + words[pick(words.size())] +
                        params[pick(params.size())].substr(0, pick(8) ? 300 : pick(4));
        return a + (pick(12) ? ">" : " >") + (pick(3) ? " " : "");
    };
    // Unit suffixes: known and unknown units, and ones around the length limit (255 bytes).
    const std::vector<std::string> units = {"m", "k~m/s", "USD", "%", "qq", "s-", "", ""};
    const auto unit = [&] {
        const std::string &u = units[pick(units.size())];
        return u.empty() ? std::string(254 + pick(3), 'm') : u;
    };
    // Digit runs long enough to cross 16 and 32 bytes; exponents with or without a sign, some
    // without digits.
    const auto number = [&] {
        std::string exponent(1, "eE"[pick(2)]);
        if (pick(3) == 0) exponent += "+-"[pick(2)];
        if (pick(3)) exponent += word("0123456789", 3);
        return (pick(3) == 0 ? "-" : "") + word("0123456789", pick(4) ? 6 : 24) +
               (pick(2) ? "." + word("0123456789", pick(4) ? 4 : 24).substr(pick(2)) : "") +
               (pick(4) == 0 ? exponent : "");
    };
    // Matrices of numbers (half of them small integers, a few in arrays of their own, so that
    // some rows end with a `]`): rows mostly of one width, some one longer or shorter, with row
    // breaks between half of them; a type annotation before half of the first rows and a few
    // others, which the rows after it must not keep.
    const auto matrix = [&] {
        const size_t width = pick(3) + 2;
        std::string m = "[";
        for (size_t k = pick(4) + 1, first = k; k > 0; --k) {
            if (pick(k == first ? 2 : 8) == 0)
                m += pick(4) ? std::vector<std::string>{"<uint> ", "<sint:8>"}[pick(2)]
                             : annotation();
            m += "[";
            for (size_t i = 0, n = pick(4) ? width : width + pick(3) - 1; i < n; ++i)
                m += (i ? ", " : "") + (pick(8) == 0 ? "[" + number() + "]"
                                        : pick(2)    ? number()
                                                     : std::to_string(pick(300)));
            m += std::string("]") + (k == 1 ? "" : pick(2) ? ", " : " / ");
        }
        return m + "]";
    };
    std::function<std::string(int)> value, structure;
    // Structs, a third of their members structs again (up to five deep), closed one after
    // another.
    structure = [&](int depth) -> std::string {
        std::string st = "{";
        for (size_t k = pick(3); k > 0; --k)
            st += breaks[pick(breaks.size())] + "." + word("abcXY_9-", pick(6) ? 5 : 40) +
                  (pick(4) ? " = " : "=") +
                  (pick(3) || depth > 2 ? value(depth + 1) : structure(depth + 1)) + ";";
        return st + breaks[pick(5)] + (pick(6) ? "}" : "} ");
    };
    value = [&](int depth) -> std::string {
        if (pick(6) == 0) return annotation() + value(depth + 1);
        if (pick(12) == 0) {
            const size_t n = pick(7) + 1;
            // Some stay open: the member's `;` then comes inside them.
            return std::string(n, '[') + value(depth + 1) + std::string(pick(3) ? n : pick(n), ']');
        }
        switch (pick(depth > 2 ? 4 : 6)) {
            case 0:
                return number() + (pick(3) == 0 ? " " + unit() : "");
            case 1: {
                // Some longer than 16 or 32 bytes, some with a space before what follows them.
                std::string text = word("ab c~{};,", pick(4) ? 8 : 40).substr(pick(2));
                if (pick(4) == 0) text.insert(pick(text.size() + 1), 1, "\"\\\xC3\t"[pick(4)]);
                return '"' + text + '"' + (pick(6) ? "" : " ");
            }
            case 2:
                return std::vector<std::string>{"true", "false", "null", "on"}[pick(4)];
            case 3:
                return word("abz_-+9\xC3", pick(6) ? 6 : 40);
            case 4: {
                if (pick(3) == 0) return matrix();
                std::string a = "[";
                // A third of the elements pairs of numbers: the rows of a matrix.
                for (size_t k = pick(6); k > 0; --k)
                    a += (pick(3) ? value(depth + 1)
                                  : "[" + number() + seps[pick(seps.size())] + number() + "]") +
                         (k > 1 ? seps[pick(seps.size())] : "");
                return a + "]";
            }
            default:
                return structure(depth);
        }
    };
    std::vector<std::string> docs;
    for (int i = 0; i < 400; ++i) {
        std::string doc;
        for (size_t m = pick(6) + 1; m > 0; --m)
            doc += breaks[pick(breaks.size())] + "." + word("abcXY_9-\xC3\xA9", 6) +
                   (pick(4)   ? " = "
                    : pick(2) ? "="
                              : "= ") +
                   value(0) + ";";
        // Spaces across the text limit of the tight options.
        if (i % 3 == 0) doc = ".a = 1;" + std::string(85 + pick(16), ' ') + doc;
        for (size_t k = pick(3); k > 0 && !doc.empty(); --k)
            doc[pick(doc.size())] = ";,]}. \"\n[</>"[pick(12)];
        // A refused byte at the end, whose report shows the line and column that the whole
        // document led to, after spaces that let the last tokens be scanned in bulk.
        doc += std::string(pick(40), ' ') + " !";
        docs.push_back(doc);
    }
    // Blocks of rows of two small integers, two of them the rows of a matrix in turn: after a
    // row break the second block's row count is checked against the first's.
    const auto block = [&] {
        std::string b = "[";
        for (size_t k = pick(4) + 1; k > 0; --k)
            b += "[" + std::to_string(pick(9)) + ", " + std::to_string(pick(9)) +
                 (k > 1 ? "], " : "]");
        return b + "]";
    };
    // Members that are matrices alone, many more of them than above.
    for (int i = 0; i < 150; ++i) {
        std::string doc;
        for (size_t m = pick(4) + 1; m > 0; --m)
            doc += ".m = " +
                   (pick(3) ? matrix() : "[" + block() + (pick(2) ? " / " : ", ") + block() + "]") +
                   ";\n";
        docs.push_back(doc + " !");
    }
    // Chains of structs closed one after another, as deep as the struct limits of the option
    // sets and past them (the default limit too), around arrays nested as deep as their limits
    // and past them, some as elements of an array; a few bytes changed.
    for (int i = 0; i < 120; ++i) {
        const size_t depth = pick(4) ? pick(4) + 1 : 62 + pick(4);
        const size_t arrays = pick(4) ? pick(6) : 62 + pick(4);
        std::string doc = pick(4) ? ".t = " : ".t = [";
        for (size_t d = 0; d < depth; ++d)
            doc += "{ .v = " + std::to_string(d) + ";" + breaks[pick(5)] + ".n = ";
        // A fourth of the nested arrays typed, the innermost a first row that ends with a struct
        // and another row after it: the type is back in force after the `]` after the struct.
        const bool rows = arrays > 1 && pick(4) == 0;
        doc += std::string(rows ? "<uint> " : "") + std::string(arrays, '[') +
               (rows || pick(3) == 0 ? "{.a = 2;}" : "1") + std::string(arrays, ']');
        if (rows) doc.insert(doc.size() - arrays + 1, " / [x]");
        for (size_t d = 0; d < depth; ++d)
            doc += std::string(";") + breaks[pick(5)] + "}" + (pick(8) ? "" : " ");
        doc += doc[5] == '[' ? "];" : ";";
        for (size_t k = pick(3); k > 0; --k) doc[pick(doc.size())] = ";,]}. \n[{"[pick(9)];
        docs.push_back(doc + "\n.z = 1; !");
    }
    expect_agreement(docs);
}

}  // namespace
