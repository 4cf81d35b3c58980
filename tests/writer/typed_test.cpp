// The typed value writers: exact bytes for the edge cases and the refusals that leave the name
// and annotation written, and values read back through the reader as they were given.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "support/failing_alloc.h"
#include "tvlr.h"
#include "writer/writer_impl.h"
#include "writer_support.h"

namespace {

using WriteFn = std::function<bool(tvlr_writer *)>;

struct Written {
    bool ok = false;
    uint32_t error = 0;
    std::string out;
};

// Runs fn on a writer over a memory buffer; the bytes written so far are kept even on refusal.
Written run(const WriteFn &fn, bool pretty, uint32_t unit_flags = 0) {
    std::vector<char> buf(1 << 16);
    tvlr_writer *w = tvlr_writer_create();
    tvlr_writer_options opt{};
    opt.unit_flags = unit_flags;
    tvlr_open_write_mem(w, buf.data(), buf.size(), pretty, &opt);
    Written r;
    r.ok = fn(w) && tvlr_write_finish(w);
    r.error = tvlr_writer_get_error(w);
    r.out.assign(buf.data(), tvlr_writer_bytes_written(w));
    tvlr_writer_destroy(w);
    return r;
}

tvl_unit unit_of(const char *text) {
    bool ok = false;
    tvl_unit u = tvl_parse_unit(text, &ok);
    EXPECT_TRUE(ok) << text;
    return u;
}

tvl_unit neutral_unit() {
    tvl_unit u{};
    u.count = 1;
    u.factors[0].exponent = 1;
    return u;
}

// Big numbers owned by the test, released at its end.
struct Big {
    std::vector<tvl_int *> ints;
    std::vector<tvl_float *> floats;
    ~Big() {
        for (tvl_int *n : ints) tvl_int_free(n);
        for (tvl_float *f : floats) tvl_float_free(f);
    }
    const tvl_int *integer(const char *text, uint32_t base) {
        ints.push_back(tvl_int_alloc());
        EXPECT_TRUE(tvl_int_from_str(ints.back(), text, base)) << text;
        return ints.back();
    }
    const tvl_float *real(uint32_t precision, const char *text) {
        floats.push_back(tvl_float_alloc(precision));
        EXPECT_TRUE(tvl_float_from_str(floats.back(), text, 16)) << text;
        return floats.back();
    }
    const tvl_float *real(uint32_t precision, double v) {
        floats.push_back(tvl_float_alloc(precision));
        EXPECT_TRUE(tvl_float_from_double(floats.back(), v));
        return floats.back();
    }
};

TEST(TypedWriter, ExactOutputAndRefusals) {
    Big big;
    struct Row {
        WriteFn fn;
        std::string compact, pretty;
        uint32_t error;
    };
    const Row rows[] = {
        {[](tvlr_writer *w) { return tvlr_write_uint(w, "n", 16, 255); }, ".n=<uint:16>255;",
         ".n = <uint:16> 255;\n", 0},
        {[](tvlr_writer *w) { return tvlr_write_uint(w, "n", 0, 7); }, ".n=<uint>7;",
         ".n = <uint> 7;\n", 0},
        {[](tvlr_writer *w) { return tvlr_write_uint(w, "n", 8, 256); }, ".n=<uint:8>",
         ".n = <uint:8> ", TVL_ERR_VALUE_OUT_OF_RANGE},
        {[](tvlr_writer *w) { return tvlr_write_sint(w, "n", 64, INT64_MIN); },
         ".n=<sint:64>-9223372036854775808;", ".n = <sint:64> -9223372036854775808;\n", 0},
        {[](tvlr_writer *w) { return tvlr_write_float(w, "f", 64, 0.5); }, ".f=<float:64>5e-1;",
         ".f = <float:64> 5e-1;\n", 0},
        {[](tvlr_writer *w) { return tvlr_write_float(w, "f", 32, 0.1); },
         ".f=<float:32>1.000000015e-1;", ".f = <float:32> 1.000000015e-1;\n", 0},
        {[](tvlr_writer *w) { return tvlr_write_float(w, "f", 24, 1.0); },
         ".f=", ".f = ", TVL_ERR_INVALID_ARGUMENT},
        {[](tvlr_writer *w) { return tvlr_write_float_fix(w, "f", 32, 16, 1.5); },
         ".f=<float_fix:32,q16>1.5e+0;", ".f = <float_fix:32,q16> 1.5e+0;\n", 0},
        {[](tvlr_writer *w) { return tvlr_write_float_fix(w, "f", 32, 0, 1.5); },
         ".f=<float_fix:32>1.5e+0;", ".f = <float_fix:32> 1.5e+0;\n", 0},
        // A value that only the big float's routes print (its scaled value is an integer).
        {[](tvlr_writer *w) { return tvlr_write_float(w, "f", 64, 0x1.0f0cf064dd592p+133); },
         ".f=<float:64>1.152921504606846976e+40;", ".f = <float:64> 1.152921504606846976e+40;\n",
         0},
        {[&](tvlr_writer *w) { return tvlr_write_tvli(w, "i", big.integer("-255", 10), 0, 16); },
         ".i=<sint:_16>\"-ff\";", ".i = <sint:_16> \"-ff\";\n", 0},
        {[&](tvlr_writer *w) { return tvlr_write_tvli(w, "i", big.integer("255", 10), 0, 10); },
         ".i=<uint>255;", ".i = <uint> 255;\n", 0},
        {[&](tvlr_writer *w) { return tvlr_write_tvlf_base(w, "x", big.real(53, 1.0), 64, 16); },
         ".x=<float:64,_16>\"1p+0\";", ".x = <float:64,_16> \"1p+0\";\n", 0},
        {[&](tvlr_writer *w) { return tvlr_write_tvlf_base(w, "x", big.real(53, NAN), 64, 16); },
         ".x=<float:64,_16>$nan;", ".x = <float:64,_16> $nan;\n", 0},
        {[&](tvlr_writer *w) { return tvlr_write_tvlf(w, "x", big.real(53, 1.0), 0); },
         ".x=", ".x = ", TVL_ERR_ILLEGAL_VALUE_TYPE},
        // A value wider than its declared width still has room for its text.
        {[&](tvlr_writer *w) { return tvlr_write_tvlf(w, "x", big.real(1024, 0.1), 64); },
         ".x=<float:64>1.000000000000000055511151231257827021181583404541015625e-1;",
         ".x = <float:64> 1.000000000000000055511151231257827021181583404541015625e-1;\n", 0},
        {[&](tvlr_writer *w) { return tvlr_write_tvlf_base(w, "x", big.real(53, 1.0), 64, 8); },
         ".x=", ".x = ", TVL_ERR_INVALID_ARGUMENT},
        // Without a width a big integer must fit 64 bits, as the reader checks it.
        {[&](tvlr_writer *w) {
             return tvlr_write_tvli(w, "i", big.integer("18446744073709551616", 10), 0, 0);
         },
         ".i=<uint>", ".i = <uint> ", TVL_ERR_VALUE_OUT_OF_RANGE},
        {[&](tvlr_writer *w) { return tvlr_write_tvli(w, "i", big.integer("5", 10), 1 << 30, 2); },
         ".i=", ".i = ", TVL_ERR_ILLEGAL_VALUE_TYPE},
        {[&](tvlr_writer *w) { return tvlr_write_tvlf(w, "x", big.real(64, 2.0), 1 << 30); },
         ".x=", ".x = ", TVL_ERR_ILLEGAL_VALUE_TYPE},
        // The digit buffer of a wide value cannot be had.
        {[&](tvlr_writer *w) {
             const tvl_int *n = big.integer(std::string(300, 'f').c_str(), 16);
             tvltest::alloc::arm(0);
             const bool ok = tvlr_write_tvli(w, "i", n, 0, 2);
             tvltest::alloc::disarm();
             return ok;
         },
         ".i=", ".i = ", TVL_ERR_INVALID_ARGUMENT},
        {[&](tvlr_writer *w) {
             const tvl_float *x = big.real(4000, 0.1);
             tvltest::alloc::arm(0);
             const bool ok = tvlr_write_tvlf(w, "x", x, 256);
             tvltest::alloc::disarm();
             return ok;
         },
         ".x=", ".x = ", TVL_ERR_INVALID_ARGUMENT},
        {[](tvlr_writer *w) { return tvlr_write_tvli(w, "i", nullptr, 0, 10); },
         ".i=", ".i = ", TVL_ERR_INVALID_ARGUMENT},
        {[](tvlr_writer *w) { return tvlr_write_uint(w, nullptr, 0, 1); }, "", "",
         TVL_ERR_INVALID_ARGUMENT},
        // No base parameter for utf8.
        {[](tvlr_writer *w) {
             tvlr_event e{};
             e.text = "u";
             e.text_len = 1;
             if (!tvlr_write_event(w, TVLR_EV_MEMBER_NAME, &e) ||
                 !tvlr_write_type_annotation(w, {TVLR_TYPE_UTF8, 0, 16}, tvl_unit{}))
                 return false;
             e.value_kind = TVL_VK_STRING;
             e.value_type = TVLR_TYPE_UTF8;
             e.text = "x";
             return tvlr_write_event(w, TVLR_EV_VALUE, &e);
         },
         ".u=<utf8>\"x\";", ".u = <utf8> \"x\";\n", 0},
        {[](tvlr_writer *w) { return tvlr_write_uint_unit(w, "n", 16, 5, neutral_unit()); },
         ".n=<uint:16>5;", ".n = <uint:16> 5;\n", 0},
        {[](tvlr_writer *w) { return tvlr_write_uint_unit(w, "n", 16, 5, unit_of("k~g")); },
         ".n=<uint:16,k~g>5;", ".n = <uint:16,k~g> 5;\n", 0},
    };
    for (size_t i = 0; i < std::size(rows); ++i) {
        for (const bool pretty : {false, true}) {
            const Written r = run(rows[i].fn, pretty);
            EXPECT_EQ(r.out, pretty ? rows[i].pretty : rows[i].compact) << "row " << i;
            EXPECT_EQ(r.error, rows[i].error) << "row " << i;
            EXPECT_EQ(r.ok, rows[i].error == 0) << "row " << i;
        }
    }
    // With unit_flags 2 the annotation's unit is printed in ASCII form.
    const Written ascii = run(
        [](tvlr_writer *w) { return tvlr_write_float_unit(w, "a", 64, 2.0, unit_of("m*s^-2")); },
        false, TVL_UNIT_FMT_ASCII);
    EXPECT_EQ(ascii.out, ".a=<float:64,m/s^2>2e+0;");
}

// One value written by a typed writer and what the reader must give back for it.
struct Item {
    char kind;  // u, s, f (float), x (float_fix), d (float_dec), i (big integer), F (big float)
    int bits;
    uint64_t u = 0;
    int64_t s = 0;
    double d = 0;
    std::string big;  // decimal text of a big integer, hexadecimal text of a big float (at u bits)
    unsigned base = 10;
};

// The unit of an unsigned item, which changes from item to item (a writer keeps the last unit
// it printed and parsed), or none.
tvl_unit unit_of_item(const Item &it) {
    static const char *const kUnits[] = {"m", "k~m/s", "m", nullptr};
    const char *unit = kUnits[it.u % 4];
    return unit != nullptr ? unit_of(unit) : tvl_unit{};
}

bool write_item(tvlr_writer *w, const Item &it, Big &big) {
    const unsigned ubits = static_cast<unsigned>(it.bits);
    switch (it.kind) {
        case 'u':
            return tvlr_write_uint_unit(w, "v", it.bits, it.u, unit_of_item(it));
        case 's':
            return tvlr_write_sint(w, "v", it.bits, it.s);
        case 'f':
            return tvlr_write_float(w, "v", ubits, it.d);
        case 'x':
            return tvlr_write_float_fix_unit(w, "v", ubits, 8, it.d, unit_of("m"));
        case 'd':
            return tvlr_write_float_dec(w, "v", ubits, it.d);
        case 'F':
            return tvlr_write_tvlf_base(w, "v", big.real(uint32_t(it.u), it.big.c_str()), it.bits,
                                        int(it.base));
        default:
            return tvlr_write_tvli(w, "v", big.integer(it.big.c_str(), 10), it.bits, it.base);
    }
}

std::string hex_of(const tvl_float *f) {
    std::string text(tvl_float_str_bufsize(f->precision, 16), '\0');
    text.resize(size_t(std::max(tvl_float_to_str(f, text.data(), text.size(), 16), 0)));
    return text;
}

struct Collected {
    std::vector<tvlr_event> events;
    std::vector<std::string> texts;
};

bool collect(void *user, uint32_t kind, tvlr_event *e) {
    if (kind != TVLR_EV_VALUE) return true;
    auto *c = static_cast<Collected *>(user);
    c->events.push_back(*e);
    c->texts.emplace_back(e->text, e->text_len);
    return true;
}

TEST(TypedWriter, ValuesReadBack) {
    std::mt19937_64 rng(20261209);
    std::vector<Item> items;
    for (const int b : {8, 16, 32, 64}) {
        const uint64_t umax = b == 64 ? UINT64_MAX : (uint64_t{1} << b) - 1;
        const int64_t smax = static_cast<int64_t>(umax >> 1), smin = -smax - 1;
        for (const uint64_t u : {uint64_t{0}, uint64_t{1}, umax, rng() & umax, rng() & umax})
            items.push_back({'u', b, u, 0, 0, {}, 10});
        for (const int64_t s : {smin, smax, int64_t{-1}, int64_t{0},
                                std::uniform_int_distribution<int64_t>(smin, smax)(rng)})
            items.push_back({'s', b, 0, s, 0, {}, 10});
    }
    const double lim = std::numeric_limits<double>::max(),
                 tiny = std::numeric_limits<double>::denorm_min();
    std::vector<double> doubles = {0.0, -0.0, 0.1,  1.0 / 3,
                                   lim, -lim, tiny, 2.2250738585072014e-308};
    while (doubles.size() < 200) {
        const uint64_t bits = rng();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        if (std::isfinite(d)) doubles.push_back(d);
    }
    const char kinds[] = {'f', 'x', 'd'};
    for (size_t i = 0; i < doubles.size(); ++i)
        items.push_back({kinds[i % 3], i % 2 == 0 ? 64 : 0, 0, 0, doubles[i], {}, 10});
    for (const float f : {0.1f, 3.4028235e38f, 1.17549435e-38f, 1e-45f})
        items.push_back({'f', 32, 0, 0, double(f), {}, 10});
    const char *bigs[] = {"0", "-1", "18446744073709551616",
                          "-340282366920938463463374607431768211456"};
    const unsigned bases[] = {10, 16, 2, 36};
    for (size_t i = 0; i < 40; ++i) {
        std::string digits = i % 3 == 0 ? "-" : "";
        digits += char('1' + rng() % 9);
        for (uint64_t n = rng() % 90; n > 0; --n) digits += char('0' + rng() % 10);
        items.push_back({'i', i < 2 ? 0 : 512, 0, 0, 0, i < 4 ? bigs[i] : digits, bases[i % 4]});
    }
    items.push_back({'i', 512, 0, 0, 0, "-255", 16});
    // Big floats at the precision of each width and wider, in base 10 and 16, within the range
    // of a double so that the tree's double can be checked as well.
    const uint32_t widths[][2] = {{16, 11},   {32, 24},   {64, 53},
                                  {128, 113}, {256, 237}, {256, 1000}};
    for (size_t i = 0; i < 60; ++i) {
        const auto [bits, precision] = widths[i % 6];
        std::string hex = rng() % 2 ? "-0x1." : "0x1.";
        for (uint32_t n = precision / 4 + 2; n > 0; --n) hex += "0123456789abcdef"[rng() % 16];
        hex += "p" + std::to_string(int(rng() % 2001) - 1000);
        items.push_back({'F', int(bits), precision, 0, 0, hex, i % 4 < 2 ? 10u : 16u});
    }

    Big big;
    std::string doc(1 << 20, '\0');
    tvlr_writer *w = tvlr_writer_create();
    tvlr_open_write_mem(w, doc.data(), doc.size(), false, nullptr);
    for (const Item &it : items)
        ASSERT_TRUE(write_item(w, it, big)) << tvlr_writer_get_error(w) << " " << it.kind << it.bits
                                            << " " << it.big << " " << it.d;
    ASSERT_TRUE(tvlr_write_finish(w));
    doc.resize(tvlr_writer_bytes_written(w));
    tvlr_writer_destroy(w);

    Collected c;
    tvlr_reader_options opt{};
    opt.on_event = collect;
    opt.user_data = &c;
    tvlr_reader *r = tvlr_reader_create();
    ASSERT_TRUE(tvlr_open_read_mem(r, doc.data(), doc.size(), nullptr, 0, &opt));
    EXPECT_TRUE(tvlr_read(r)) << tvlr_reader_get_error(r);
    tvlr_reader_destroy(r);
    ASSERT_EQ(c.events.size(), items.size());

    for (size_t i = 0; i < items.size(); ++i) {
        const Item &it = items[i];
        const std::string &t = c.texts[i];
        const char *end = t.data() + t.size();
        if (it.kind == 'u') {
            uint64_t u = 1;
            EXPECT_EQ(std::from_chars(t.data(), end, u).ptr, end) << t;
            EXPECT_EQ(u, it.u);
            EXPECT_EQ(c.events[i].value_type, uint32_t{TVLR_TYPE_UINT});
            EXPECT_TRUE(tvl_unit_equal(c.events[i].unit, unit_of_item(it))) << t;
        } else if (it.kind == 's') {
            int64_t s = 1;
            EXPECT_EQ(std::from_chars(t.data(), end, s).ptr, end) << t;
            EXPECT_EQ(s, it.s);
        } else if (it.kind == 'i') {
            tvl_int *n = tvl_int_alloc();
            EXPECT_TRUE(tvl_int_from_str(n, t.c_str(), it.base)) << t;
            EXPECT_EQ(tvl_int_cmp(n, big.integer(it.big.c_str(), 10)), 0) << t << " " << it.big;
            EXPECT_EQ(c.events[i].value_kind,
                      it.base == 10 ? uint32_t{TVL_VK_NUMBER} : uint32_t{TVL_VK_STRING});
            tvl_int_free(n);
        } else if (it.kind == 'F') {
            tvl_float *got = tvl_float_alloc(uint32_t(it.u));
            EXPECT_TRUE(tvl_float_from_str(got, t.c_str(), it.base)) << t;
            EXPECT_EQ(hex_of(got), hex_of(big.real(uint32_t(it.u), it.big.c_str()))) << t;
            tvl_float_free(got);
        } else {
            double d = 1;
            EXPECT_EQ(std::from_chars(t.data(), end, d).ptr, end) << t;
            if (it.bits == 32) {  // the binary32 value the writer rounded to
                float f = 1;
                EXPECT_EQ(std::from_chars(t.data(), end, f).ptr, end) << t;
                EXPECT_EQ(f, float(it.d)) << t;
            } else {
                EXPECT_EQ(std::memcmp(&d, &it.d, sizeof d), 0) << t << " " << it.d;
            }
            EXPECT_EQ(c.events[i].value_type, uint32_t(it.kind == 'f'   ? TVLR_TYPE_FLOAT
                                                       : it.kind == 'x' ? TVLR_TYPE_FLOAT_FIX
                                                                        : TVLR_TYPE_FLOAT_DEC));
        }
    }

    // The tree reads the same document to the same values.
    tvl_dom_doc *tree = tvl_dom_parse(doc.data(), uint32_t(doc.size()));
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tvl_dom_doc_get_parse_error(tree), 0u);
    ASSERT_EQ(tvl_dom_doc_count(tree), items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        const Item &it = items[i];
        const tvl_dom_node *node = tvl_dom_doc_entries(tree)[i].node;
        uint64_t u = 1;
        int64_t s = 1;
        double d = 1, want = it.d;
        // Digits that cannot stand in a number token stay a string with the reader's text.
        const char *str = nullptr;
        uint32_t len = 0;
        const bool as_string =
            (it.kind == 'i' && it.base != 10) || (it.kind == 'F' && it.base == 16);
        EXPECT_EQ(tvl_dom_get_string(node, &str, &len), as_string) << i;
        if (as_string) {
            EXPECT_EQ(std::string(str, len), c.texts[i]);
        } else if (it.kind == 'u') {
            EXPECT_TRUE(tvl_dom_get_u64(node, &u) && u == it.u) << i;
        } else if (it.kind == 's') {
            EXPECT_TRUE(tvl_dom_get_i64(node, &s) && s == it.s) << i;
        } else if (it.kind == 'i') {
            char *text = tvl_dom_int_to_str(node, 10);
            EXPECT_STREQ(text, it.big.c_str());
            tvl_dom_free_string(text);
        } else {
            if (it.kind == 'F')  // the double nearest to the text, which is exact at u bits only
                std::from_chars(c.texts[i].data(), c.texts[i].data() + c.texts[i].size(), want);
            EXPECT_TRUE(tvl_dom_get_float(node, &d)) << i;
            if (it.bits == 32 && it.kind == 'f') {
                EXPECT_EQ(float(d), float(want)) << i;
            } else {
                EXPECT_EQ(std::memcmp(&d, &want, sizeof d), 0) << i << " " << d << " " << want;
            }
        }
    }
    tvl_dom_doc_destroy(tree);
}

// A sink that keeps the bytes and the size of every call, to compare how output reaches it.
bool logging_write(tvlr_sink *sink, const uint8_t *data, uint32_t len) {
    auto *log = wtest::load_pointer<std::string>(sink->reserved);
    log->append(std::to_string(len)).push_back('|');
    log->append(reinterpret_cast<const char *>(data), len);
    return true;
}

// One generated case written with the typed writers' direct path or through their events: a
// context (statements, structs, an array, a row break or an annotation before, a full buffer, a
// small memory sink), one typed member, then a further member and the finish; everything the
// caller can see, as text.
std::string typed_case(uint64_t seed, bool events, bool *typed_ok) {
    tvl::wr::testing::use_event_path(events);
    std::mt19937_64 rng(seed);
    const auto pick = [&rng]<class T>(std::initializer_list<T> list) {
        return *(list.begin() + rng() % list.size());
    };
    const bool pretty = rng() & 1, memory = rng() % 3 != 0;
    std::vector<char> mem(memory && rng() % 4 == 0 ? rng() % 48 : 4096);
    std::string log;
    tvlr_sink sink = wtest::string_sink(&log);
    sink.write = &logging_write;
    if (memory) tvlr_sink_to_mem(&sink, mem.data(), mem.size());
    tvlr_writer *w = tvlr_writer_create();
    tvlr_open_write_sink(w, &sink, pretty, nullptr);
    std::string seen;
    const auto note = [&](bool ok) { seen += ok ? '1' : '0'; };
    const int structs = static_cast<int>(rng() % 3);
    for (int i = 0; i < structs; ++i) note(tvlr_write_struct_start(w, "s"));
    if (!memory && rng() % 4 == 0)  // a buffer just short of full, or just full after the member
        note(tvlr_write_string(w, "p", std::string(65500 + rng() % 40, 'x').c_str()));
    const tvlr_event none{};
    switch (rng() % 6) {
        case 0:
            note(tvlr_write_uint(w, "a", 8, 1));
            break;
        case 1:  // an array directly open: separators
            note(tvlr_write_event(w, TVLR_EV_ARRAY_START, &none));
            break;
        case 2:  // a row break or an annotation, after which no member may start
            note(tvlr_write_event(w, TVLR_EV_ROW_BREAK, &none));
            break;
        case 3:
            note(tvlr_write_type_annotation(w, {TVLR_TYPE_UINT, 8, 0}, tvl_unit{}));
            break;
        default:
            break;
    }
    const char *name = pick({"v", "v", "rec_12", "n\xC3\xA4me", "", "9x", "a\xC3"});
    const int bits =
        pick({0, 0, 1, 8, 8, 9, 10, 16, 16, 32, 63, 64, 64, 65, 99, 100, 128, 255, 256, 24, -1, 40000});
    const int fraction = pick({0, 0, 0, 1, 16, 31, 63, 64, 300, -1});
    const uint64_t u = rng() >> (rng() % 4 == 0 ? 60 : rng() % 64);
    // Also any bit pattern: every exponent and digit count that the printer can write.
    const double d =
        rng() % 4 == 0
            ? std::bit_cast<double>(rng())
            : pick(std::initializer_list<double>{0.0, -0.0, 0.5, 1e300, -2.5e-310, NAN, INFINITY,
                                                 -INFINITY}) +
                  (rng() & 1 ? std::ldexp(static_cast<double>(u), -static_cast<int>(rng() % 80))
                             : 0);
    const bool with_unit = rng() % 6 == 0;
    bool ok_unit = false;
    const tvl_unit unit = with_unit ? tvl_parse_unit("k~m", &ok_unit) : tvl_unit{};
    const auto ubits = static_cast<unsigned>(bits);
    const size_t typed_at = seen.size();
    switch (rng() % 8) {
        case 0:
            note(tvlr_write_uint_unit(w, name, bits, u, unit));
            break;
        case 1:
            note(tvlr_write_sint_unit(w, name, bits, static_cast<int64_t>(u) * (rng() & 1 ? -1 : 1),
                                      unit));
            break;
        case 2:
            note(tvlr_write_float_unit(w, name, ubits, d, unit));
            break;
        case 3:
            note(tvlr_write_float_fix_unit(w, name, ubits, fraction, d, unit));
            break;
        case 5: {  // members without an annotation, also written in one piece
            // Up to 48 bytes, so that escapes and bytes outside ASCII fall into whole blocks.
            std::string text;
            for (auto n = rng() % 9; n > 0; --n)
                text += pick({"text", "a\"b\\c\n", "", "\xC3\xA4", "\x01", "\xC3"});
            note(tvlr_write_string(w, name, text.c_str()));
            break;
        }
        case 6:
            note(rng() & 1 ? tvlr_write_bool(w, name, rng() & 1) : tvlr_write_null(w, name));
            break;
        case 7:
            note(tvlr_write_struct_start(w, name) && tvlr_write_struct_end(w));
            break;
        default:
            note(tvlr_write_float_dec_unit(w, name, ubits, d, unit));
            break;
    }
    *typed_ok = seen[typed_at] == '1';
    // A bare value after the member meets the type left in force; then a further member.
    tvlr_event value{};
    value.value_kind = TVL_VK_NUMBER;
    value.text = rng() & 1 ? "300" : "-1.5";
    value.text_len = static_cast<uint32_t>(std::strlen(value.text));
    if (rng() & 1) note(tvlr_write_event(w, TVLR_EV_VALUE, &value));
    note(tvlr_write_sint(w, "z", 8, -1));
    for (int i = 0; i < structs; ++i) note(tvlr_write_struct_end(w));
    note(tvlr_write_finish(w));
    seen += ' ' + std::to_string(tvlr_writer_get_error(w)) + ' ' +
            std::to_string(tvlr_writer_get_error_offset(w)) + ' ' +
            std::to_string(tvlr_writer_bytes_written(w)) + ' ' + log;
    if (memory) seen.append(mem.data(), tvlr_writer_bytes_written(w));
    tvlr_writer_destroy(w);
    tvl::wr::testing::use_event_path(false);
    return seen;
}

// The direct path of the typed writers against their events, over generated cases: the same
// results, errors, offsets, bytes and sink calls, also for what is written after the member.
TEST(TypedWriter, DirectPathAgreesWithEvents) {
    std::mt19937_64 rng(77);
    int accepted = 0;
    for (int i = 0; i < 6000; ++i) {
        const uint64_t seed = rng();
        bool ok = false, ok_events = false;
        ASSERT_EQ(typed_case(seed, false, &ok), typed_case(seed, true, &ok_events))
            << "seed " << seed;
        accepted += ok ? 1 : 0;
    }
    EXPECT_GT(accepted, 1000);  // the cases reach the direct path, not only refusals
}

}  // namespace
