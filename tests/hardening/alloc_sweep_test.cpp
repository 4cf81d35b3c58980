// Memory exhaustion across the library: each row performs one representative call sequence on
// fixed input. The sweep first counts the allocations A that an unhindered run makes, then runs
// the row with the first n allocations succeeding and the next one failing, for n = 0 .. A - 1:
// every run must report the failure as the call specifies (or, where a fallback is specified,
// succeed with an equivalent result), leave no block behind and leave its objects usable. With
// n = A nothing fails, and the result must equal that of the unhindered run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/alloc.h"
#include "dom/dom_support.h"
#include "support/render.h"
#include "tvlr.h"

namespace {

using namespace std::string_literals;
namespace testing_mem = tvl::mem::testing;
using Result = std::optional<std::string>;  // nullopt: the failure was reported as specified

// The window in which allocations may fail; a negative n leaves them all working. While
// `measuring`, the destructor finds how many allocations the window made by probing the seam.
bool measuring = false;
long window_allocations = 0;

class Armed {
  public:
    explicit Armed(long n) : n_(n) {
        if (n >= 0) testing_mem::fail_after(n);
    }
    Armed(const Armed &) = delete;
    Armed &operator=(const Armed &) = delete;
    ~Armed() {
        if (measuring) {
            long left = 0;
            for (void *p; (p = tvl::mem::allocate(1)) != nullptr; ++left) tvl::mem::release(p);
            window_allocations = left == 0 ? -1 : n_ - left;
        }
        testing_mem::disarm();
    }

  private:
    long n_;
};

long count_allocations(const std::function<Result(long)> &run) {
    measuring = true;
    for (long budget = 1 << 14;; budget *= 8) {
        run(budget);
        if (window_allocations >= 0) break;
    }
    measuring = false;
    return window_allocations;
}

struct Row {
    const char *name;
    std::function<Result(long)> run;
    // A run with a failing allocation may still succeed with a result that differs from the
    // unhindered one (the row checks that it is equivalent and marks it "fallback").
    bool may_fall_back = false;
};

// ---- reader and observer ---------------------------------------------------------------

const std::string kDoc =
    ".a = [1, 2] / [3, 4]; .s = { .t = \"x\" m; .u = <uint:128,_16> \"ffffffffffffffffffffff\"; "
    "}; .o = \0\1\3\0xyz\0; .k = 12.5 k~m/s; .c = 9.99 USD; .r = &.s.t; .y = sym;"
    ".z = 1.000000000000000000000000000000000000001e-300;"
    "\n.b = 18446744073709551616 k~g;"s;
const std::string kBadDoc = ".a = 1; .b = [1, 2] / [3]; .c = \"ok\";\n.d = <int> 1; .e = 2 q~q;";

enum class Source { memory, descriptor, callback };

// A custom source: 7 bytes per call from the text whose address is in user_state.
bool seven_bytes(tvlr_source *src, uint8_t *dst, uint32_t cap, uint32_t *count) {
    const std::string *text = nullptr;
    std::memcpy(&text, src->user_state, sizeof text);
    const size_t at = text->size() - src->remaining;
    *count = static_cast<uint32_t>(std::min<size_t>({7, cap, src->remaining}));
    std::memcpy(dst, text->data() + at, *count);
    src->remaining -= *count;
    return true;
}

struct Feed {
    Source kind;
    const std::string *text;
    FILE *file = nullptr;
    ~Feed() {
        if (file != nullptr) std::fclose(file);
    }
    bool open(tvlr_reader *r, const tvlr_sink *echo, const tvlr_reader_options &o) {
        tvlr_source src{};
        if (kind == Source::memory) {
            tvlr_source_from_mem(&src, text->data(), text->size());
        } else if (kind == Source::descriptor) {
            if (file == nullptr) {
                file = std::tmpfile();
                std::fwrite(text->data(), 1, text->size(), file);
                std::fflush(file);
            }
            std::rewind(file);
            tvlr_source_from_fd(&src, fileno(file));
        } else {
            src.read = seven_bytes;
            src.remaining = text->size();
            std::memcpy(src.user_state, &text, sizeof text);
        }
        return tvlr_open_read_source(r, &src, echo, &o);
    }
};

bool on_event(void *user, uint32_t kind, tvlr_event *e) {
    static_cast<tvltest::EventTrace *>(user)->event(kind, *e);
    return true;
}
void on_error(void *user, uint32_t code, uint64_t line, uint64_t column, uint32_t,
              uint64_t offset) {
    static_cast<tvltest::EventTrace *>(user)->error(code, line, column, offset);
}

std::string trace_only(const Result &read) {
    return read ? read->substr(0, read->find(" recoveries=")) : "";
}

// Creates, opens and reads with the event trace as the given callback (or none), echoing into
// a memory sink; the result is the trace and whether the echo is the input. A failed open must
// leave a reader that opens and reads once memory is back.
enum class Callback { none, on_event, on_event_after };

Result read_row(long n, Source kind, const std::string &text, Callback callback, bool recover) {
    tvltest::EventTrace trace;
    tvlr_reader_options o{};
    o.user_data = &trace;
    if (callback == Callback::on_event) o.on_event = on_event;
    if (callback == Callback::on_event_after) o.on_event_after = on_event;
    o.recover = recover;
    o.on_error = on_error;
    std::string echo(text.size(), '\0');
    tvlr_sink sink;
    tvlr_sink_to_mem(&sink, echo.data(), echo.size());
    Feed feed{kind, &text};
    tvlr_reader *r = nullptr;
    bool opened = false, ok = false;
    {
        Armed armed(n);
        r = tvlr_reader_create();
        opened = r != nullptr && feed.open(r, &sink, o);
        ok = opened && tvlr_read(r);
    }
    if (r == nullptr) return std::nullopt;
    if (!opened) {
        // Once memory is back, the reader opens again and reads as a new one would.
        EXPECT_FALSE(tvlr_read(r));
        tvltest::EventTrace again;
        o.user_data = &again;
        const bool reopened = feed.open(r, &sink, o);
        const bool read = reopened && tvlr_read(r);
        EXPECT_TRUE(reopened);
        EXPECT_EQ(again.finish(read, tvlr_reader_get_error(r)),
                  trace_only(read_row(-1, kind, text, callback, recover)));
        tvlr_reader_destroy(r);
        return std::nullopt;
    }
    std::string out = trace.finish(ok, tvlr_reader_get_error(r)) +
                      " recoveries=" + std::to_string(tvlr_reader_get_recovery_count(r)) +
                      (echo == text ? " echo" : " no echo");
    tvlr_reader_destroy(r);
    return out;
}

// A sink callback that appends to the std::string whose address is in `reserved`.
bool append_sink(tvlr_sink *sink, const uint8_t *data, uint32_t len) {
    std::string *out = nullptr;
    std::memcpy(&out, sink->reserved, sizeof out);
    out->append(reinterpret_cast<const char *>(data), len);
    return true;
}

// The canonical observer as a reader's on_event, into a memory or a callback sink.
Result observe_row(long n, bool to_memory, bool pretty) {
    std::string out, buffer(4096, '\0');
    tvlr_sink sink{};
    if (to_memory) {
        tvlr_sink_to_mem(&sink, buffer.data(), buffer.size());
    } else {
        sink.write = append_sink;
        std::string *p = &out;
        std::memcpy(sink.reserved, &p, sizeof p);
    }
    tvlr_canon_observer *obs = nullptr;
    tvlr_reader *r = nullptr;
    bool ok = false;
    {
        Armed armed(n);
        obs = tvlr_canon_observer_create(&sink, pretty);
        r = obs != nullptr ? tvlr_reader_create() : nullptr;
        tvlr_reader_options o{};
        o.user_data = obs;
        o.on_event = tvlr_canon_observer_on_event;
        ok = r != nullptr && tvlr_open_read_mem(r, kDoc.data(), kDoc.size(), nullptr, 0, &o) &&
             tvlr_read(r) && tvlr_canon_observer_finish(obs);
    }
    if (ok && to_memory) out = buffer.substr(0, tvlr_canon_observer_bytes_written(obs));
    if (!ok) {
        EXPECT_EQ(tvlr_canon_observer_bytes_written(obs), 0u);
    }
    tvlr_reader_destroy(r);
    tvlr_canon_observer_destroy(obs);
    return ok ? Result(out) : std::nullopt;
}

// ---- writer ----------------------------------------------------------------------------

// Creates a writer over a memory buffer and runs the body. A refusal must hold error 28 (35
// where a big value's text could not be made) and keep refusing.
Result write_row(long n, const std::function<bool(tvlr_writer *)> &body, bool big = false) {
    std::string buffer(1 << 16, '\0');
    tvlr_writer *w = nullptr;
    bool ok = false;
    {
        Armed armed(n);
        w = tvlr_writer_create();
        ok = w != nullptr && tvlr_open_write_mem(w, buffer.data(), buffer.size(), false, nullptr) &&
             body(w) && tvlr_write_finish(w);
    }
    if (w == nullptr) return std::nullopt;
    const uint32_t error = tvlr_writer_get_error(w);
    if (!ok) {
        EXPECT_TRUE(error == TVL_ERR_INVALID_ARGUMENT ||
                    (big && error == TVL_ERR_VALUE_OUT_OF_RANGE))
            << tvl_error_to_string(error);
        EXPECT_FALSE(tvlr_write_null(w, "z"));
        EXPECT_EQ(tvlr_writer_get_error(w), error);
        // Opened again, it writes.
        EXPECT_TRUE(tvlr_open_write_mem(w, buffer.data(), buffer.size(), false, nullptr) &&
                    tvlr_write_null(w, "z") && tvlr_write_finish(w));
    }
    const std::string out = buffer.substr(0, tvlr_writer_bytes_written(w));
    tvlr_writer_destroy(w);
    return ok ? Result(out) : std::nullopt;
}

tvl_unit unit_of(const char *text) {
    bool ok = false;
    const tvl_unit u = tvl_parse_unit(text, &ok);
    EXPECT_TRUE(ok) << text;
    return u;
}

// Big values made once, outside every window.
struct BigValues {
    tvl_int *integer = tvl_int_alloc();
    tvl_float *real = tvl_float_alloc(3000);
    BigValues() {
        EXPECT_TRUE(tvl_int_from_str(integer, ("-" + std::string(2000, '9')).c_str(), 10));
        EXPECT_TRUE(tvl_float_from_str(real, "0.1", 10));
    }
    ~BigValues() {
        tvl_int_free(integer);
        tvl_float_free(real);
    }
};

// The value text of the one member written: what lies between the annotation and the ';'.
std::string value_text(const std::string &out) {
    const size_t from = out.rfind('>') + 1;
    std::string v = out.substr(from, out.rfind(';') - from);
    if (!v.empty() && v.front() == '"') v = v.substr(1, v.size() - 2);
    return v;
}

bool same_float(const tvl_float *a, const std::string &text, uint32_t base) {
    tvl_float *b = tvl_float_alloc(a->precision);
    const bool same = tvl_float_from_str(b, text.c_str(), base) && a->sign == b->sign &&
                      a->exponent == b->exponent &&
                      std::memcmp(a->words, b->words, a->word_count * sizeof *a->words) == 0;
    tvl_float_free(b);
    return same;
}

// ---- tree ------------------------------------------------------------------------------

uint32_t size_of(const tvl_dom_doc *doc) {
    return doc->count;
}
uint32_t size_of(const tvl_dom_node *node) {
    return node->entry_count + node->item_count;
}
bool add_to(tvl_dom_doc *doc, const char *name, tvl_dom_node *node) {
    return tvl_dom_doc_add(doc, name, static_cast<uint32_t>(std::strlen(name)), node);
}
// A struct member when named, else an array element.
bool add_to(tvl_dom_node *container, const char *name, tvl_dom_node *node) {
    if (name == nullptr) return tvl_dom_array_append(container, node);
    return tvl_dom_struct_add(container, name, static_cast<uint32_t>(std::strlen(name)), node);
}

// Builds a document by hand as a caller would, giving up at the first failure. An add that
// fails must leave its container as it was (it destroys the node it was given).
Result build_tree(long n) {
    tvl_dom_doc *doc = nullptr;
    bool ok = true;
    {
        Armed armed(n);
        doc = tvl_dom_doc_create();
        ok = doc != nullptr;
        const auto add = [&](auto *container, const char *name, tvl_dom_node *node) {
            if (!ok) return tvl_dom_node_destroy(node);
            if (node == nullptr) return void(ok = false);
            const uint32_t before = size_of(container);
            ok = add_to(container, name, node);
            if (!ok) {
                EXPECT_EQ(size_of(container), before);
            }
        };
        tvl_dom_node *s = tvl_dom_node_alloc(TVL_DOM_STRUCT);
        tvl_dom_node *a = tvl_dom_node_alloc(TVL_DOM_ARRAY);
        ok = ok && s != nullptr && a != nullptr;
        for (int i = 0; i < 10; ++i) {
            const std::string name = "member_" + std::to_string(i);
            add(s, name.c_str(), tvl_dom_node_from_i32(-i));
            add(a, nullptr, tvl_dom_node_from_u16(static_cast<uint16_t>(i)));
        }
        tvl_dom_node *text = tvl_dom_node_alloc(TVL_DOM_STRING);
        if (text != nullptr) {
            text->value.bytes = tvl_dom_strdup("a text", 6);
            text->length = 6;
            if (text->value.bytes == nullptr) tvl_dom_node_destroy(std::exchange(text, nullptr));
        }
        tvl_int *big = tvl_int_alloc();
        tvl_dom_node *bignode = nullptr;
        if (big != nullptr && tvl_int_from_str(big, "340282366920938463463374607431768211455", 10))
            bignode = tvl_dom_node_from_bigint(big, {TVLR_TYPE_UINT, 128, 0}, unit_of("k~g"));
        if (bignode == nullptr) tvl_int_free(big);
        add(s, "text", text);
        add(doc, "s", s);
        add(doc, "a", a);
        add(doc, "big", bignode);
    }
    std::optional<std::string> out;
    if (ok) {
        out = domtest::render(doc);
        // Text made from a big integer node, in two bases.
        for (uint32_t base : {10u, 62u}) {
            char *t = tvl_dom_int_to_str(tvl_dom_lookup(doc, "big"), base);
            *out += " " + std::string(t != nullptr ? t : "null");
            tvl_dom_free_string(t);
        }
    }
    tvl_dom_doc_destroy(doc);
    return out;
}

// A descriptor read into a tree with a byte limit; null when memory is short.
Result tree_from_descriptor(long n) {
    FILE *f = std::tmpfile();
    std::string text = kDoc + ".l = \"" + std::string(65000, 'l') + "\";" + ".p = \0\1\xE8\3"s +
                       std::string(1000, 'q') + "\1\3\0xyz\0;"s;
    for (int i = 0; i < 40; ++i) text += ".s = {";
    text += ".d = " + std::string(40, '[') + "1.5" + std::string(40, ']') + ";";
    for (int i = 0; i < 40; ++i) text += "};";
    std::fwrite(text.data(), 1, text.size(), f);
    std::fflush(f);
    std::rewind(f);
    tvl_dom_doc *doc = nullptr;
    {
        Armed armed(n);
        doc = tvl_dom_parse_fd_ex(fileno(f), text.size());
    }
    std::fclose(f);
    Result out;
    if (doc != nullptr && doc->parse_error == 0) out = domtest::render(doc);
    if (doc != nullptr && doc->parse_error != 0) {
        EXPECT_EQ(doc->parse_error, uint32_t{TVL_ERR_SCANNER_CALLBACK_FAILED});
    }
    tvl_dom_doc_destroy(doc);
    return out;
}

// ---- numbers and units -----------------------------------------------------------------

std::string words_text(const std::vector<uint32_t> &w) {
    std::string out;
    char buf[16];
    for (size_t i = w.size(); i-- > 0;) {
        std::snprintf(buf, sizeof buf, "%08x", w[i]);
        out += buf;
    }
    return out;
}

// Fixed-point and decimal encodings of a wide value, and back. Encoders have no failure result:
// short of memory they leave zero or only the sign bit in the output, else the exact encoding.
// Decoders report memory exhaustion by false.
using Encoding = std::vector<uint32_t>;
Encoding encode(const tvl_float *f, int format) {
    Encoding out(format == 2 ? 4 : 8);
    if (format == 0) tvl_float_to_fix256(f, 100, out.data());
    if (format == 1) tvl_float_to_dec256(f, out.data());
    if (format == 2) tvl_float_to_dec128(f, out.data());
    return out;
}

Result formats(long n) {
    tvl_float *f = tvl_float_alloc(4000), *tiny = tvl_float_alloc(4000);
    tvl_float *back = tvl_float_alloc(300);
    tvl_float_from_str(f, "-12345.678901234567890123456789e-3", 10);
    // Too small for an exact decimal expansion: the encoder rounds its shortest text instead.
    tvl_float_from_str(tiny, "1p-30000", 16);
    const std::pair<const tvl_float *, int> encodings[] = {{f, 0}, {f, 1}, {f, 2}, {tiny, 1}};
    Encoding want[4], got[4];
    for (int i = 0; i < 4; ++i) want[i] = encode(encodings[i].first, encodings[i].second);
    bool decoded = false;
    {
        Armed armed(n);
        for (int i = 0; i < 4; ++i) got[i] = encode(encodings[i].first, encodings[i].second);
        decoded = tvl_float_from_fix256(back, want[0].data(), 100) &&
                  tvl_float_from_dec256(back, want[1].data());
    }
    bool exhausted = !decoded;
    std::string out;
    for (int i = 0; i < 4; ++i) {
        Encoding sign_only(got[i].size());
        sign_only.back() = got[i].back() & 0x80000000u;
        const bool partial = got[i] == sign_only && got[i] != want[i];
        EXPECT_TRUE(partial || got[i] == want[i]) << words_text(got[i]);
        exhausted = exhausted || partial;
        out += words_text(got[i]) + " ";
    }
    char text[200] = "";
    if (decoded) tvl_float_to_str(back, text, sizeof text, 10);
    for (tvl_float *x : {f, tiny, back}) tvl_float_free(x);
    return exhausted ? std::nullopt : Result(out + text);
}

// A big integer from text in base 85, printed in bases 7 and 64; false or -1 when memory is
// short, with the record still consistent.
Result int_text(long n) {
    std::string digits(2000, 'u');
    digits[0] = '1';
    Result out;
    std::string text(tvl_int_str_bufsize(2000 * 7, 7), '\0');
    tvl_int *v = nullptr;
    bool ok = false;
    {
        Armed armed(n);
        v = tvl_int_alloc();
        ok = v != nullptr && tvl_int_from_str(v, digits.c_str(), 85);
        for (uint32_t base : {7u, 64u}) {
            const int len = ok ? tvl_int_to_str(v, text.data(), text.size(), base) : -1;
            ok = len > 0;
            if (ok) out = out.value_or("") + text.substr(0, static_cast<size_t>(len)) + " ";
        }
    }
    if (v != nullptr) {
        EXPECT_LE(v->length, v->capacity);
    }
    tvl_int_free(v);
    return ok ? out : std::nullopt;
}

// A big float from long hexadecimal text, printed in base 10: false or -1 when memory is short
// (or, short of memory for the shortest digits, all digits, which must read back).
Result float_text(long n) {
    const std::string hex = "-1." + std::string(1200, 'c') + "p-3000";
    tvl_float *f = tvl_float_alloc(5000);
    std::string text(tvl_float_str_bufsize(5000, 10), '\0');
    bool read = false;
    int len = -1;
    {
        Armed armed(n);
        read = tvl_float_from_str(f, hex.c_str(), 16);
        len = read ? tvl_float_to_str(f, text.data(), text.size(), 10) : -1;
    }
    text.resize(len > 0 ? static_cast<size_t>(len) : 0);
    Result out;
    if (len > 0) out = same_float(f, text, 10) ? text : "does not read back: " + text;
    tvl_float_free(f);
    return out;
}

// Unit text to value and back, conversion, reduction and currency lookups.
Result units(long n) {
    Armed armed(n);
    std::string out;
    char buf[512];
    bool ok = false, affine = false, lossy = false;
    for (const char *text : {"k~g*m^2/s^2", "Mi~B/s", "degC", "USD/h", "m*s^-2"}) {
        const tvl_unit u = tvl_parse_unit(text, &ok);
        out += std::to_string(ok) + std::to_string(tvl_unit_to_string_ex(buf, sizeof buf, 0, u));
        out += buf + std::to_string(tvl_unit_to_string_ex(buf, sizeof buf, TVL_UNIT_FMT_ASCII, u));
        double factor = 0;
        const tvl_unit r = tvl_unit_reduce(&factor, &lossy, u);
        tvl_unit_to_string(buf, sizeof buf, r);
        out += buf + std::to_string(factor) + " ";
    }
    out += std::to_string(tvl_unit_convert_factor(&ok, &affine, unit_of("k~m/h"), unit_of("m/s")));
    const tvl_base_unit usd = tvl_parse_currency_str("USD", 3);
    out += std::to_string(usd) + tvl_currency_info(usd)->code;
    out += std::to_string(tvl_currency_minor_unit(tvl_parse_currency_str("BTC", 3), &ok));
    return out;
}

TEST(AllocSweep, EveryAllocationFailureIsReported) {
    BigValues big;
    const Row rows[] = {
        {"read memory, on_event",
         [](long n) { return read_row(n, Source::memory, kDoc, Callback::on_event, false); }},
        {"read descriptor, on_event_after",
         [](long n) {
             return read_row(n, Source::descriptor, kDoc, Callback::on_event_after, false);
         }},
        {"read callback source, no callback",
         [](long n) { return read_row(n, Source::callback, kDoc, Callback::none, false); }},
        {"read with recovery",
         [](long n) { return read_row(n, Source::memory, kBadDoc, Callback::on_event, true); }},
        {"observer to memory", [](long n) { return observe_row(n, true, false); }},
        {"observer to callback", [](long n) { return observe_row(n, false, true); }},
        {"writer events",
         [](long n) {
             return write_row(n, [](tvlr_writer *w) {
                 const std::string name(300, 'n'), symbol(300, 's'), digits(400, '7');
                 tvlr_event e{};
                 e.text = name.c_str();
                 e.text_len = static_cast<uint32_t>(name.size());
                 bool ok = tvlr_write_event(w, TVLR_EV_MEMBER_NAME, &e);
                 e.value_kind = TVL_VK_NUMBER;
                 e.text = digits.c_str();
                 e.text_len = 400;
                 ok = ok && tvlr_write_event(w, TVLR_EV_VALUE, &e);
                 return ok && tvlr_write_plain(w, "s", symbol.c_str()) &&
                        tvlr_write_struct_start(w, "t") && tvlr_write_string(w, "u", "v") &&
                        tvlr_write_bool(w, "b", true) && tvlr_write_struct_end(w);
             });
         }},
        {"writer native typed",
         [](long n) {
             return write_row(n, [](tvlr_writer *w) {
                 return tvlr_write_uint_unit(w, "u", 16, 65535, unit_of("k~m")) &&
                        tvlr_write_sint(w, "s", 64, INT64_MIN) &&
                        tvlr_write_float_unit(w, "f", 32, 0.1, unit_of("m/s^2")) &&
                        tvlr_write_float_fix(w, "x", 64, 16, -2.5) &&
                        tvlr_write_float_dec_unit(w, "d", 128, 9.99, unit_of("USD"));
             });
         }},
        {"writer tvli",
         [&](long n) {
             return write_row(
                 n,
                 [&](tvlr_writer *w) {
                     return tvlr_write_tvli_unit(w, "i", big.integer, 8192, 0, unit_of("m")) &&
                            tvlr_write_tvli(w, "j", big.integer, 7000, 36);
                 },
                 true);
         }},
        {"writer tvlf base 10",
         [&](long n) -> Result {
             Result out = write_row(
                 n, [&](tvlr_writer *w) { return tvlr_write_tvlf(w, "f", big.real, 3008); }, true);
             if (out && !same_float(big.real, value_text(*out), 10))
                 return "does not read back: " + *out;
             return out;
         },
         true},
        {"writer tvlf base 16",
         [&](long n) -> Result {
             Result out = write_row(
                 n,
                 [&](tvlr_writer *w) { return tvlr_write_tvlf_base(w, "f", big.real, 3008, 16); },
                 true);
             if (out && !same_float(big.real, value_text(*out), 16))
                 return "does not read back: " + *out;
             return out;
         }},
        {"tree by hand", build_tree},
        {"tree from descriptor", tree_from_descriptor},
        {"fixed and decimal formats", formats},
        {"big integer text", int_text},
        {"big float text", float_text, true},
        {"unit text and currencies", units},
    };
    for (const Row &row : rows) {
        const Result want = row.run(-1);
        ASSERT_TRUE(want) << row.name;
        const long total = count_allocations(row.run);
        long fallbacks = 0;
        for (long n = 0; n <= total; ++n) {
            testing_mem::start_counting();
            const Result got = row.run(n);
            EXPECT_EQ(testing_mem::stop_counting(), 0) << row.name << ": leak, allocation " << n;
            if (n == total) {
                EXPECT_EQ(got, want) << row.name << ": run without a failure";
            } else if (got && *got != *want) {
                ++fallbacks;
                EXPECT_TRUE(row.may_fall_back &&
                            got->find("does not read back") == std::string::npos)
                    << row.name << ": allocation " << n << " failing gives " << *got;
            }
        }
        std::printf("%-34s %5ld allocations swept, %ld fallbacks\n", row.name, total, fallbacks);
    }
}

}  // namespace
