// The writer and the reader agree on generated values and annotations: a value that the writer
// accepts reads back with the same value event, and a value whose text the reader refuses is
// refused by the writer too, with the reader's code where the writer's own rules let it pass.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "core/annotation.h"
#include "core/number_text.h"
#include "writer/checks.h"
#include "writer_support.h"

using namespace wtest;

namespace {

// One generated case: a member `v` whose value stands alone or as an array element, after an
// optional annotation.
struct Case {
    bool in_array = false;
    bool annotated = false;
    uint32_t type = 0, bits = 0, base = 0;  // the annotation; base holds fraction bits for fix
    std::string unit_param;                 // "" for none
    uint32_t kind = TVL_VK_NUMBER;
    std::string text;
    uint32_t ev_type = 0, ev_bits = 0, ev_base = 0;  // what the value event declares
    tvl_unit unit{};                                 // the value event's unit
};

class CaseGenerator {
  public:
    explicit CaseGenerator(uint32_t seed) : rng_(seed) {}

    Case next() {
        Case c;
        c.in_array = chance(30);
        c.annotated = chance(80);
        if (c.annotated) {
            c.type = static_cast<uint32_t>(uniform(1, 7));
            c.bits = pick<uint32_t>({0, 0, 8, 16, 32, 64, 128, 12, 48, 65, 40000});
            c.base = pick<uint32_t>({0, 0, 0, 10, 2, 8, 16, 36, 37, 62, 64, 85, 65, 1, 300});
            if (chance(30))
                c.unit_param = pick<const char *>({"m", "k~m/s", "no_unit", "foo", "N", "USD",
                                                   "k m", "2m", "q5", "m,s", "\xC2\xB5~s"});
        }
        c.kind = pick<uint32_t>({TVL_VK_NUMBER, TVL_VK_NUMBER, TVL_VK_NUMBER, TVL_VK_STRING,
                                 TVL_VK_STRING, TVL_VK_BOOL, TVL_VK_SYMBOL, TVL_VK_REFERENCE,
                                 TVL_VK_NULL});
        if (c.in_array && c.kind == TVL_VK_NUMBER) c.kind = TVL_VK_ARRAY_NUMBER;
        if (c.in_array && c.kind == TVL_VK_STRING) c.kind = TVL_VK_ARRAY_STRING;
        c.text = value_text(c.kind);
        // Mostly the event declares what the annotation says; sometimes nothing or a mismatch.
        const int declare = uniform(1, 10);
        if (c.annotated && declare <= 8) {
            c.ev_type = c.type;
            c.ev_bits = c.bits;
            c.ev_base = c.base;
        } else if (declare == 10) {
            c.ev_type = static_cast<uint32_t>(uniform(0, 7));
            c.ev_bits = pick<uint32_t>({0, 8, 64});
            c.ev_base = pick<uint32_t>({0, 16});
        }
        if (chance(25)) {
            bool ok = false;
            const char *u = c.unit_param.empty() || chance(30)
                                ? pick<const char *>({"m", "s", "k~m/s", "EUR", "degC"})
                                : c.unit_param.c_str();
            c.unit = tvl_parse_unit(u, &ok);
            if (!ok) c.unit = tvl_unit{};
        }
        return c;
    }

  private:
    std::mt19937 rng_;

    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(int percent) { return uniform(1, 100) <= percent; }
    template <class T>
    T pick(std::initializer_list<T> items) {
        return *(items.begin() + uniform(0, static_cast<int>(items.size()) - 1));
    }

    // Digits of a random value in a random base, as the number text writes them.
    std::string digits_in_some_base() {
        const uint32_t base = pick<uint32_t>({2, 8, 10, 16, 36, 62, 64, 85});
        const uint64_t v =
            chance(50) ? static_cast<uint64_t>(uniform(0, 300)) : (uint64_t{rng_()} << 32) | rng_();
        char buf[80];
        const int n = tvl::format_uint64(buf, sizeof buf, v, base, 0);
        std::string s(buf, n > 0 ? static_cast<size_t>(n) : 0);
        return chance(20) ? "-" + s : s;
    }

    std::string random_chars() {
        static const char set[] = "0123456789abefzAEFZ.-+eEpP!/~u";
        std::string s;
        const int n = uniform(1, 6);
        for (int i = 0; i < n; ++i) s += set[uniform(0, static_cast<int>(sizeof set) - 2)];
        return s;
    }

    std::string number_like() {
        switch (uniform(0, 3)) {
            case 0:
                return digits_in_some_base();
            case 1:
                return random_chars();
            default:
                return pick<const char *>({"0",
                                           "1",
                                           "255",
                                           "256",
                                           "-1",
                                           "-128",
                                           "-129",
                                           "1.5",
                                           "1e5",
                                           "1e+5",
                                           "-.5",
                                           "ff",
                                           "7f",
                                           "-80",
                                           "A+",
                                           "+/",
                                           "18446744073709551615",
                                           "18446744073709551616",
                                           "-9223372036854775808",
                                           "-9223372036854775809",
                                           "nan",
                                           "inf",
                                           "-inf",
                                           "+1",
                                           "1.2.3",
                                           "",
                                           "1p3",
                                           "1.8p+2",
                                           "!u",
                                           "zz",
                                           "12",
                                           "1.",
                                           "1E3",
                                           "0x10",
                                           "-",
                                           "."});
        }
    }

    std::string value_text(uint32_t kind) {
        switch (kind) {
            case TVL_VK_NUMBER:
            case TVL_VK_ARRAY_NUMBER:
                return number_like();
            case TVL_VK_STRING:
            case TVL_VK_ARRAY_STRING:
                return chance(70) ? number_like()
                                  : pick<const char *>({"abc", "a\tb\"c\\", "\x01", "\xC3\x28",
                                                        "\xC3\xA9", "\x7F", ""});
            case TVL_VK_BOOL:
                return pick<const char *>({"true", "false", "on", "off", "yes"});
            case TVL_VK_SYMBOL:
                return pick<const char *>({"sym", "true", "null", "1a", "a-b", ""});
            case TVL_VK_REFERENCE:
                return pick<const char *>({".a.b", "a.b", ".", ".a..b", "._x"});
            default:
                return "";
        }
    }
};

bool unit_present(const tvl_unit &u) {
    return !(u.count == 0 || (u.count == 1 && u.factors[0].base == 0 &&
                              u.factors[0].exponent == 1 && u.factors[0].prefix.index == 0));
}

std::string decimal(uint32_t v) {
    return std::to_string(v);
}

// The text that the writer writes for a boolean word; any other text stands as it is.
std::string bool_text(const std::string &t) {
    if (t == "true" || t == "on") return "true";
    if (t == "false" || t == "off") return "false";
    return t;
}

// The events of a case as the writer gets them.
std::vector<Ev> case_events(const Case &c) {
    std::vector<Ev> events{member("v")};
    if (c.in_array) events = events + event(TVLR_EV_ARRAY_START);
    if (c.annotated) events = events + annotation(c.type, c.bits, c.base, c.unit_param);
    Ev v = value(c.kind, c.text, c.ev_type, c.ev_bits, c.ev_base);
    v.e.unit = c.unit;
    events = events + v;
    if (c.in_array) events = events + event(TVLR_EV_ARRAY_END);
    return events;
}

// The text of a case, rendered here by the notation's rules alone.
std::string case_text(const Case &c) {
    std::string s = ".v=";
    if (c.in_array) s += "[";
    bool declared_unit = false;
    if (c.annotated) {
        s += "<" + std::string(tvl::type_word(c.type).text);
        char sep = ':';
        auto param = [&](const std::string &p) {
            s += sep + p;
            sep = ',';
        };
        if (c.bits) param(decimal(c.bits));
        if (c.base) {
            if (c.type == TVLR_TYPE_FLOAT_FIX) {
                param("q" + decimal(c.base));
            } else {
                const bool decimal_only = c.type == TVLR_TYPE_FLOAT_DEC;
                param("_" + decimal(decimal_only ? 10 : c.base));
            }
        }
        if (!c.unit_param.empty()) {
            param(c.unit_param);
            declared_unit = true;
        }
        s += ">";
    }
    const std::string &t = c.text;
    switch (c.kind) {
        case TVL_VK_NUMBER:
        case TVL_VK_ARRAY_NUMBER:
            if (t == "nan" || t == "inf" || t == "-inf") s += "$";
            s += t;
            break;
        case TVL_VK_STRING:
        case TVL_VK_ARRAY_STRING:
            s += '"';
            for (char ch : t) {
                switch (ch) {
                    case '\t':
                        s += "\\t";
                        break;
                    case '"':
                        s += "\\\"";
                        break;
                    case '\\':
                        s += "\\\\";
                        break;
                    default:
                        s += ch;
                }
            }
            s += '"';
            break;
        case TVL_VK_BOOL:
            s += bool_text(t);
            break;
        case TVL_VK_SYMBOL:
            s += t;
            break;
        case TVL_VK_REFERENCE:
            s += "&" + t;
            break;
        default:
            break;
    }
    const bool number = c.kind == TVL_VK_NUMBER || c.kind == TVL_VK_ARRAY_NUMBER;
    const bool string = c.kind == TVL_VK_STRING || c.kind == TVL_VK_ARRAY_STRING;
    if (!c.in_array && !declared_unit && unit_present(c.unit) &&
        (string || (number && !t.empty()))) {
        char unit[512];
        const int n = tvl_unit_to_string(unit, sizeof unit, c.unit);
        if (n > 0) s += " " + std::string(unit, static_cast<size_t>(n));
    }
    if (c.in_array) s += "]";
    return s + ";";
}

// The value event that the case's text must read back as, rendered like read_values: the
// kind and text, and the annotation's type with the unit it declares or the value's own.
std::string expected_value(const Case &c) {
    tvlr_event e{};
    e.value_kind = c.kind;
    std::string text = c.text;
    if (c.kind == TVL_VK_BOOL) text = bool_text(c.text);
    e.text = text.c_str();
    e.text_len = static_cast<uint32_t>(text.size());
    e.value_type = c.type;
    e.bits = c.bits;
    e.base = c.type == TVLR_TYPE_FLOAT_DEC ? 0 : c.base;
    // The value's own unit, or else the unit its annotation declares.
    if (unit_present(c.unit)) {
        e.unit = c.unit;
    } else if (!c.unit_param.empty() && c.unit_param != "no_unit") {
        bool ok = false;
        e.unit = tvl_parse_unit(c.unit_param.c_str(), &ok);
    }
    return render_value(e);
}

// What a read of a case's text gives: the value event rendered like read_values, and the
// annotation run before it.
struct ReadCase {
    bool ok = false;
    uint32_t error = 0;
    std::string value;
    bool annotated = false;
    uint32_t type = 0, bits = 0, base = 0;
    std::string unit_param;
};

bool record_case(void *user, uint32_t kind, tvlr_event *e) {
    auto *rc = static_cast<ReadCase *>(user);
    switch (kind) {
        case TVLR_EV_TYPE_START:
            rc->annotated = true;
            rc->bits = rc->base = 0;
            rc->unit_param.clear();
            break;
        case TVLR_EV_TYPE_NAME:
            rc->type = e->value_type;
            break;
        case TVLR_EV_TYPE_PARAM:
            if (e->value_kind == TVL_VK_BITS) rc->bits = e->bits;
            if (e->value_kind == TVL_VK_BASE || e->value_kind == TVL_VK_FRACTION)
                rc->base = e->base;
            if (e->value_kind == TVL_VK_UNIT) rc->unit_param.assign(e->text, e->text_len);
            break;
        case TVLR_EV_VALUE:
            rc->value = render_value(*e);
            break;
        default:
            break;
    }
    return true;
}

ReadCase read_case(const std::string &text) {
    ReadCase rc;
    tvlr_reader_options o = widest_reader_options();
    o.user_data = &rc;
    o.on_event_after = &record_case;
    tvlr_reader *r = tvlr_reader_create();
    if (tvlr_open_read_mem(r, text.data(), text.size(), nullptr, 0, &o)) {
        rc.ok = tvlr_read(r);
        rc.error = tvlr_reader_get_error(r);
    }
    tvlr_reader_destroy(r);
    return rc;
}

// True when the read gives back the case's annotation as written (an added annotation counts
// as none).
bool same_annotation(const Case &c, const ReadCase &rc) {
    if (!c.annotated) return true;
    const uint32_t base = c.type == TVLR_TYPE_FLOAT_DEC && c.base != 0 ? 10 : c.base;
    return rc.annotated && rc.type == c.type && rc.bits == c.bits && rc.base == base &&
           rc.unit_param == c.unit_param;
}

// True when the read-back value is the case's value: the same kind, text and unit, and with an
// annotation also its type, width and base (without one the reader adds a type of its own).
bool same_value(const Case &c, const std::string &got) {
    const std::string want = expected_value(c);
    if (c.annotated) return got == want;
    // Rendered as v<kind>"<text>", then @<type> and ~<unit> when present.
    auto split = [](const std::string &v, std::string &head, std::string &unit) {
        const size_t quote = v.rfind('"');
        if (quote == std::string::npos) return;
        head = v.substr(0, quote + 1);
        const size_t tilde = v.find('~', quote);
        unit = tilde == std::string::npos ? "" : v.substr(tilde);
    };
    std::string got_head, got_unit, want_head, want_unit;
    split(got, got_head, got_unit);
    split(want, want_head, want_unit);
    return !got.empty() && got_head == want_head && got_unit == want_unit;
}

TEST(Agreement, GeneratedValuesAndAnnotations) {
    CaseGenerator gen(77);
    int accepted = 0, refused_by_both = 0, refused_by_writer_only = 0, same_code = 0;
    for (int i = 0; i < 40000 && !HasFailure(); ++i) {
        const Case c = gen.next();
        const std::string text = case_text(c);
        SCOPED_TRACE(text);
        const std::vector<Ev> events = case_events(c);
        const WriteResult w = write_events(events, false);
        const ReadCase r = read_case(text);
        const bool at_value = w.accepted == events.size() - (c.in_array ? 2 : 1);
        const bool declares_as_written =
            c.ev_type == c.type && c.ev_bits == c.bits && c.ev_base == c.base;
        const uint32_t own = tvl::wr::value_rules(c.kind, c.text.data(), c.text.size(), c.ev_type,
                                                  c.ev_bits, c.ev_base);
        if (w.ok) {
            // Whatever the writer accepts reads back as the same annotation and value.
            ++accepted;
            EXPECT_EQ(w.out, text);
            ASSERT_TRUE(r.ok) << "the reader refuses with " << r.error;
            EXPECT_TRUE(same_annotation(c, r));
            EXPECT_TRUE(same_value(c, r.value)) << r.value << " instead of " << expected_value(c);
        } else if (!r.ok) {
            // Where the writer's own rules let the value pass, the code is the reader's, unless
            // the text did not scan as a value token at all (15: it reads as something else,
            // and what follows decides where the reader stops).
            ++refused_by_both;
            if (at_value && declares_as_written && own == 0 && r.error != 15) {
                EXPECT_EQ(w.error, r.error);
                ++same_code;
            }
        } else {
            // The writer refuses text that the reader takes only when the reader would not give
            // back what the writer was given, or when the writer's own rules refuse it.
            ++refused_by_writer_only;
            if (declares_as_written && (!at_value || own == 0)) {
                EXPECT_FALSE(same_annotation(c, r) && same_value(c, r.value))
                    << "writer error " << w.error << ": " << r.value;
            }
        }
    }
    // The generator must exercise all three outcomes to mean anything.
    EXPECT_GT(accepted, 5000);
    EXPECT_GT(refused_by_both, 5000);
    EXPECT_GT(same_code, 150);
    EXPECT_GT(refused_by_writer_only, 500);
    std::printf(
        "accepted %d, refused by both %d (%d with the reader's code), by the writer only %d\n",
        accepted, refused_by_both, same_code, refused_by_writer_only);
}

// Structural event sequences: members that hold values, structs, arrays and matrices, items
// after annotation runs, and the faults a caller can make in them: empty arrays, rows of
// unequal length, row breaks where no row ends, annotations before a row, runs without a type
// word. Values are symbols and nulls, which a reader delivers without an annotation of its own.
class StructureGenerator {
  public:
    explicit StructureGenerator(uint32_t seed) : rng_(seed) {}

    std::vector<Ev> next() {
        std::vector<Ev> events;
        if (chance(20)) events.push_back(event(TVLR_EV_DOC_START));
        for (int i = uniform(1, 3); i > 0; --i) add_member(events, 0);
        if (chance(20)) events.push_back(event(TVLR_EV_DOC_END));
        if (chance(15)) {
            const auto at =
                static_cast<std::ptrdiff_t>(uniform(1, static_cast<int>(events.size())));
            events.insert(events.begin() + at, event(TVLR_EV_ROW_BREAK));
        }
        return events;
    }

  private:
    std::mt19937 rng_;

    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool chance(int percent) { return uniform(1, 100) <= percent; }

    void add_member(std::vector<Ev> &events, int depth) {
        events.push_back(member(chance(50) ? "a" : "b"));
        add_item(events, depth, false);
    }

    // An annotation run, now and then without its type word.
    void add_run(std::vector<Ev> &events) {
        static constexpr uint32_t kTypes[] = {TVLR_TYPE_UINT, TVLR_TYPE_UTF8, TVLR_TYPE_BOOL};
        const uint32_t type = kTypes[uniform(0, 2)];
        std::vector<Ev> run = annotation(type, type == TVLR_TYPE_UINT ? 8 : 0, 0);
        if (chance(15)) run.erase(run.begin() + 1);
        events.insert(events.end(), run.begin(), run.end());
    }

    // One item; typed when an annotation is in force for it, so that mostly nulls follow.
    void add_item(std::vector<Ev> &events, int depth, bool typed) {
        if (chance(20)) {
            add_run(events);
            typed = true;
        }
        const int shape = depth >= 3 ? 0 : uniform(0, 5);
        if (shape <= 2) {
            const bool null = typed ? !chance(5) : chance(30);
            events.push_back(null ? value(TVL_VK_NULL, "") : value(TVL_VK_SYMBOL, "x"));
        } else if (shape == 3) {
            events.push_back(event(TVLR_EV_STRUCT_START));
            for (int i = uniform(0, 2); i > 0; --i) add_member(events, depth + 1);
            events.push_back(event(TVLR_EV_STRUCT_END));
        } else {
            add_rows(events, depth, typed);
        }
    }

    // An array, or the rows of a matrix, mostly as long as the first row.
    void add_rows(std::vector<Ev> &events, int depth, bool typed) {
        const int rows = chance(50) ? 1 : uniform(2, 3);
        const int first = chance(10) ? 0 : uniform(1, 3);
        for (int row = 0; row < rows; ++row) {
            if (row > 0) {
                events.push_back(event(TVLR_EV_ROW_BREAK));
                if (chance(5)) add_run(events);
            }
            events.push_back(event(TVLR_EV_ARRAY_START));
            const int length = row == 0 || chance(70) ? first : uniform(0, 3);
            for (int i = 0; i < length; ++i) add_item(events, depth + 1, typed);
            events.push_back(event(TVLR_EV_ARRAY_END));
        }
    }
};

// One event as the structure comparison sees it: its kind, the text of names and values, the
// type word and parameters of annotations; document bounds leave no trace.
std::string render_structure(uint32_t kind, const tvlr_event &e) {
    if (kind == TVLR_EV_DOC_START || kind == TVLR_EV_DOC_END) return "";
    std::string s = std::to_string(kind);
    if (kind == TVLR_EV_MEMBER_NAME || kind == TVLR_EV_VALUE)
        s += ":" + std::to_string(e.value_kind) + std::string(e.text, e.text_len);
    if (kind == TVLR_EV_TYPE_NAME) s += ":" + std::to_string(e.value_type);
    if (kind == TVLR_EV_TYPE_PARAM)
        s += ":" + std::to_string(e.value_kind) + ":" + std::to_string(e.bits);
    return s + " ";
}

std::string render_structure(const std::vector<Ev> &events) {
    std::string s;
    for (const Ev &ev : events) {
        tvlr_event e = ev.e;
        e.text = ev.text.data();
        e.text_len = static_cast<uint32_t>(ev.text.size());
        s += render_structure(ev.kind, e);
    }
    return s;
}

bool record_structure(void *user, uint32_t kind, tvlr_event *e) {
    *static_cast<std::string *>(user) += render_structure(kind, *e);
    return true;
}

// The text of the events as the output step writes them without any check: the canonical
// observer is that output step.
std::string unchecked_text(const std::vector<Ev> &events, bool pretty) {
    std::string out;
    const tvlr_sink sink = string_sink(&out);
    tvlr_canon_observer *obs = tvlr_canon_observer_create(&sink, pretty);
    for (const Ev &ev : events) {
        tvlr_event e = ev.e;
        e.text = ev.text.data();
        e.text_len = static_cast<uint32_t>(ev.text.size());
        tvlr_canon_observer_on_event(obs, ev.kind, &e);
    }
    tvlr_canon_observer_finish(obs);
    tvlr_canon_observer_destroy(obs);
    return out;
}

// The writer accepts a structural sequence exactly when a reader reads the text of the
// sequence back as the same events; where it refuses rows of unequal length, so does the
// reader, with the same code.
TEST(Agreement, GeneratedStructures) {
    StructureGenerator gen(11);
    int accepted = 0, empty_arrays_or_misplaced = 0, unequal_rows = 0;
    for (int i = 0; i < 30000 && !HasFailure(); ++i) {
        const std::vector<Ev> events = gen.next();
        const bool pretty = i % 2 == 1;
        const std::string text = unchecked_text(events, pretty);
        SCOPED_TRACE(text);
        const WriteResult w = write_events(events, pretty);
        std::string read;
        tvlr_reader_options o{};
        o.user_data = &read;
        o.on_event_after = &record_structure;
        tvlr_reader *r = tvlr_reader_create();
        ASSERT_TRUE(tvlr_open_read_mem(r, text.data(), text.size(), nullptr, 0, &o));
        const bool read_ok = tvlr_read(r);
        const uint32_t read_error = tvlr_reader_get_error(r);
        tvlr_reader_destroy(r);
        const bool same = read_ok && read == render_structure(events);
        EXPECT_EQ(w.ok, same) << "writer error " << w.error << ", reader error " << read_error
                              << "\nread:    " << read << "\nwritten: " << render_structure(events);
        if (w.ok) {
            ++accepted;
            EXPECT_EQ(w.out, text);
        } else if (w.error == TVL_ERR_ARRAY_ROW_SIZE_MISMATCH) {
            ++unequal_rows;
            EXPECT_EQ(read_error, w.error);
        } else if (w.error == TVL_ERR_INVALID_ARGUMENT) {
            ++empty_arrays_or_misplaced;
        }
    }
    EXPECT_GT(accepted, 5000);
    EXPECT_GT(empty_arrays_or_misplaced, 2000);
    EXPECT_GT(unequal_rows, 500);
    std::printf("accepted %d, refused with 28 %d, with 2 %d\n", accepted, empty_arrays_or_misplaced,
                unequal_rows);
}

}  // namespace

namespace {

// Writes the events through the one-step path of the common events or, as the reference,
// through the general path alone, into a memory sink of the given capacity or (capacity 0)
// through the buffer into a string.
WriteResult write_through(const std::vector<Ev> &events, bool pretty, size_t capacity,
                          bool general) {
    WriteResult r;
    std::vector<char> memory(capacity);
    std::string buffered;
    const tvlr_sink sink = string_sink(&buffered);
    tvlr_writer *w = tvlr_writer_create();
    tvl::wr::testing::use_event_path(general);
    r.ok = capacity != 0 ? tvlr_open_write_mem(w, memory.data(), capacity, pretty, nullptr)
                         : tvlr_open_write_sink(w, &sink, pretty, nullptr);
    tvl::wr::testing::use_event_path(false);
    for (const Ev &ev : events) {
        tvlr_event e = ev.e;
        e.text = ev.text.data();
        e.text_len = static_cast<uint32_t>(ev.text.size());
        if (!r.ok || !tvlr_write_event(w, ev.kind, &e)) break;
        ++r.accepted;
    }
    r.ok = r.ok && r.accepted == events.size() && tvlr_write_finish(w);
    r.out = capacity != 0 ? std::string(memory.data(), tvlr_writer_bytes_written(w)) : buffered;
    r.error = tvlr_writer_get_error(w);
    r.offset = tvlr_writer_get_error_offset(w);
    tvlr_writer_destroy(w);
    return r;
}

// A text for a name or a value: printable runs, runs of digits, the bytes a literal escapes,
// control bytes, UTF-8 and broken UTF-8, of lengths around the eight-byte words. One text in
// eight is made of digits alone and one of name bytes alone (the first pieces), so that
// numbers, names and symbols reach past the 32 bytes that the steps copy without a call.
std::string mixed_text(std::mt19937 &rng) {
    static const char *const kPieces[] = {"3456789", "12",   "a",      "Zz_9", "-",
                                          "e5",      ".",    " ",      "\"",   "\\",
                                          "\t",      "\x01", "\x7F",   "\xC3", "\xC3\xA9"};
    const auto mode = rng() % 8;
    const size_t pieces = mode == 0 ? 2 : mode == 1 ? 6 : std::size(kPieces);
    std::string s;
    for (auto n = rng() % 24; n > 0; --n) s += kPieces[rng() % pieces];
    return s;
}

// A decimal integer at the edge of a width (of 8 bits for none): 2^k - 1, 2^k or 2^k + 1 for k
// the width or one less, with either sign.
std::string edge_number(std::mt19937 &rng, uint32_t bits) {
    const uint32_t k = (bits == 0 || bits > 64 ? 8 : bits) - static_cast<uint32_t>(rng() % 2);
    const uint64_t v = (k == 64 ? 0 : uint64_t{1} << k) - 1 + rng() % 3;
    return (rng() % 2 != 0 ? "-" : "") + std::to_string(v);
}

}  // namespace

// The one-step path of the common events gives what the general path gives: the same bytes,
// the same events accepted, the same first error and offset, on sequences of generated values
// and structures with mixed texts and integers at the edges of widths, compact and pretty, into
// sinks large, small and buffered.
TEST(Agreement, SteppedEventsAgreeWithTheGeneralPath) {
    CaseGenerator values(5);
    StructureGenerator structures(6);
    std::mt19937 rng(7);
    size_t accepted = 0, whole = 0;
    for (int i = 0; i < 20000 && !HasFailure(); ++i) {
        std::vector<Ev> events;
        for (auto n = rng() % 4 + 1; n > 0; --n)
            events = events + (rng() % 2 != 0 ? case_events(values.next()) : structures.next());
        for (auto n = rng() % 3; n > 0; --n) events[rng() % events.size()].text = mixed_text(rng);
        for (Ev &ev : events) {
            if (ev.kind != TVLR_EV_VALUE) continue;
            const bool string =
                ev.e.value_kind == TVL_VK_STRING || ev.e.value_kind == TVL_VK_ARRAY_STRING;
            if (rng() % 3 == 0) {
                ev.text = edge_number(rng, ev.e.bits);
            } else if (string && rng() % 2 == 0) {
                // Long enough for whole 16-byte blocks and a rest after them.
                ev.text = mixed_text(rng) + mixed_text(rng);
            }
        }
        const bool pretty = rng() % 2 != 0;
        const size_t capacity = std::array<size_t, 3>{0, 1 << 16, rng() % 80}[rng() % 3];
        const WriteResult stepped = write_through(events, pretty, capacity, false);
        const WriteResult general = write_through(events, pretty, capacity, true);
        SCOPED_TRACE(general.out);
        EXPECT_EQ(stepped.ok, general.ok);
        EXPECT_EQ(stepped.accepted, general.accepted);
        EXPECT_EQ(stepped.out, general.out);
        EXPECT_EQ(stepped.error, general.error);
        EXPECT_EQ(stepped.offset, general.offset);
        accepted += general.accepted;
        whole += general.ok ? 1 : 0;
    }
    EXPECT_GT(accepted, 80000u);
    EXPECT_GT(whole, 500u);
    std::printf("events accepted %zu, sequences accepted whole %zu\n", accepted, whole);
}
