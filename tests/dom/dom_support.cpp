#include "dom_support.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "support/render.h"

namespace domtest {
namespace {

bool unit_is_empty(const tvl_unit &u) {
    return u.count == 0 || (u.count == 1 && u.factors[0].base == 0 && u.factors[0].exponent == 1 &&
                            u.factors[0].prefix.index == 0);
}

std::string unit_text(const tvl_unit &u) {
    char buf[512];
    const int n = tvl_unit_to_string(buf, sizeof buf, u);
    return n < 0 ? "?" : std::string(buf, static_cast<size_t>(n));
}

// The unit read back from its own text: what an annotation declaring it holds.
tvl_unit declared_unit(const tvl_unit &u) {
    if (unit_is_empty(u)) return u;
    const std::string text = unit_text(u);
    bool ok = false;
    const tvl_unit back = tvl_parse_unit_n(text.c_str(), static_cast<uint32_t>(text.size()), &ok);
    return ok ? back : u;
}

std::string double_text(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

// A finite double as positional base-16 digits ("1.8" for 1.5, "0.00000000139" for 0x1.39p-36),
// the only form in which the reader makes a base-16 float node of it again.
std::string hex_positional_text(double v) {
    std::string text = std::signbit(v) ? "-" : "";
    int e2 = 0;
    const double f = std::frexp(std::fabs(v), &e2);  // v = f * 2^e2, 0.5 <= f < 1
    auto m = static_cast<uint64_t>(std::ldexp(f, 53));
    int e = e2 - 53;  // v = m * 2^e
    if (m == 0) return text + "0";
    const int shift = ((e % 4) + 4) % 4;  // make e a multiple of 4
    const uint64_t wide = m << shift;     // below 2^56
    e -= shift;
    std::string digits;
    for (uint64_t x = wide; x != 0; x >>= 4) digits.insert(0, 1, "0123456789abcdef"[x & 15]);
    if (e >= 0) return text + digits + std::string(static_cast<size_t>(e / 4), '0');
    const size_t fraction = static_cast<size_t>(-e / 4);
    if (digits.size() <= fraction) digits.insert(0, fraction - digits.size() + 1, '0');
    digits.insert(digits.size() - fraction, 1, '.');
    while (digits.back() == '0') digits.pop_back();
    if (digits.back() == '.') digits.pop_back();
    return text + digits;
}

void render_into(std::string &out, const tvl_dom_node *n);

void render_entries(std::string &out, const tvl_dom_entry *entries, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        if (i) out += ' ';
        out += entries[i].name;
        out += '=';
        render_into(out, entries[i].node);
    }
}

void render_into(std::string &out, const tvl_dom_node *n) {
    if (n == nullptr) {
        out += "(none)";
        return;
    }
    switch (n->type) {
        case TVL_DOM_NULL:
            out += "null";
            break;
        case TVL_DOM_INT: {
            char *text = tvl_dom_int_to_str(n, 10);
            out += text != nullptr ? text : "?";
            tvl_dom_free_string(text);
            break;
        }
        case TVL_DOM_FLOAT:
            out += 'f' + double_text(n->value.f64);
            break;
        case TVL_DOM_STRING:
            tvltest::append_quoted(out, n->value.bytes, n->length);
            break;
        case TVL_DOM_SYMBOL:
            out += "sym(" + std::string(n->value.bytes, n->length) + ")";
            break;
        case TVL_DOM_REFERENCE:
            out += "ref(" + std::string(n->value.bytes, n->length) + ")";
            break;
        case TVL_DOM_OCTETS:
            out += "oct";
            tvltest::append_quoted(out, n->value.bytes, n->length);
            break;
        case TVL_DOM_BOOL:
            out += n->value.i64 ? "true" : "false";
            break;
        case TVL_DOM_STRUCT:
            out += '{';
            render_entries(out, n->entries, n->entry_count);
            out += '}';
            break;
        case TVL_DOM_ARRAY:
            out += '[';
            for (uint32_t i = 0; i < n->item_count; ++i) {
                if (i) out += ' ';
                render_into(out, n->items[i]);
            }
            out += ']';
            if (n->dims != 1 || n->sizes[0] != n->item_count) {
                out += '#' + std::to_string(n->dims) + ':';
                for (uint32_t i = 0; i < n->dims && i < TVL_DOM_MAX_DIMS; ++i)
                    out += (i ? "," : "") + std::to_string(n->sizes[i]);
            }
            break;
        default:
            out += "type" + std::to_string(n->type);
            break;
    }
    const tvl_type_annotation &a = n->annotation;
    if (a.value_type || a.bits || a.base) {
        out += '@' + tvltest::type_text(a.value_type);
        if (a.bits) out += ':' + std::to_string(a.bits);
        if (a.base) out += ":_" + std::to_string(a.base);
    }
    if (!unit_is_empty(n->unit)) out += '~' + unit_text(n->unit);
}

// ---------------------------------------------------------------------------
// Writing a tree back

struct TreeWriter {
    tvlr_writer *w;
    bool ok = true;
    bool exact = true;  // every node was written in a form that reads back as the same node

    bool event(uint32_t kind, const tvl_dom_node *n = nullptr, uint32_t value_kind = 0,
               const char *text = "", uint32_t len = 0) {
        if (!ok) return false;
        tvlr_event e{};
        e.value_kind = value_kind;
        if (n != nullptr) {
            e.value_type = n->annotation.value_type;
            e.bits = n->annotation.bits;
            e.base = n->annotation.base;
            // The unit as the annotation declares it: its text lists the factors with the
            // positive powers first, so a currency unit (which converts to nothing, not even
            // itself reordered) must carry the declared order to match.
            e.unit = declared_unit(n->unit);
        }
        e.text = text;
        e.text_len = len;
        ok = tvlr_write_event(w, kind, &e);
        return ok;
    }

    // The node's annotation (with its unit as a parameter) as an explicit annotation run.
    void annotation(const tvl_dom_node *n) {
        const tvl_type_annotation &a = n->annotation;
        if (a.value_type == 0 && a.bits == 0 && a.base == 0 && unit_is_empty(n->unit)) return;
        event(TVLR_EV_TYPE_START, n, TVL_VK_TYPE);
        event(TVLR_EV_TYPE_NAME, n, TVL_VK_TYPE);
        if (a.bits) event(TVLR_EV_TYPE_PARAM, n, TVL_VK_BITS);
        if (a.base)
            event(TVLR_EV_TYPE_PARAM, n,
                  a.value_type == TVLR_TYPE_FLOAT_FIX ? TVL_VK_FRACTION : TVL_VK_BASE);
        if (!unit_is_empty(n->unit)) {
            const std::string u = unit_text(n->unit);
            event(TVLR_EV_TYPE_PARAM, n, TVL_VK_UNIT, u.c_str(), static_cast<uint32_t>(u.size()));
        }
        event(TVLR_EV_TYPE_END, n, TVL_VK_TYPE);
    }

    // A number text goes out as a number token when it is one, otherwise (digits of another
    // base, "p" exponents) as a string under the node's annotation, as numbers in other bases
    // are written.
    void number(const tvl_dom_node *n, const std::string &text, bool in_array) {
        const bool token = tvl_validate_number(text.c_str());
        // A float or integer node written as a string reads back as a string node.
        if (!token) exact = false;
        event(TVLR_EV_VALUE, n,
              token ? (in_array ? TVL_VK_ARRAY_NUMBER : TVL_VK_NUMBER)
                    : (in_array ? TVL_VK_ARRAY_STRING : TVL_VK_STRING),
              text.c_str(), static_cast<uint32_t>(text.size()));
    }

    void value(const tvl_dom_node *n, bool in_array) {
        annotation(n);
        const uint32_t string_kind = in_array ? TVL_VK_ARRAY_STRING : TVL_VK_STRING;
        const uint32_t number_kind = in_array ? TVL_VK_ARRAY_NUMBER : TVL_VK_NUMBER;
        switch (n->type) {
            case TVL_DOM_NULL:
                event(TVLR_EV_VALUE, n, TVL_VK_NULL);
                break;
            case TVL_DOM_BOOL:
                event(TVLR_EV_VALUE, n, TVL_VK_BOOL, n->value.i64 ? "true" : "false",
                      n->value.i64 ? 4 : 5);
                break;
            case TVL_DOM_INT: {
                const uint32_t base = n->annotation.base ? n->annotation.base : 10;
                char *text = tvl_dom_int_to_str(n, base);
                std::string digits = text != nullptr ? text : "";
                tvl_dom_free_string(text);
                // A number token starts with a decimal digit: "e5" in base 16 is written "0e5".
                const size_t first = digits.starts_with('-') ? 1 : 0;
                if (base <= 62 && first < digits.size() &&
                    (digits[first] < '0' || digits[first] > '9'))
                    digits.insert(first, 1, '0');
                number(n, digits, in_array);
                break;
            }
            case TVL_DOM_FLOAT: {
                const double v = n->value.f64;
                const char *special = v != v            ? "nan"
                                      : v == 1.0 / 0.0  ? "inf"
                                      : v == -1.0 / 0.0 ? "-inf"
                                                        : nullptr;
                if (special != nullptr)
                    event(TVLR_EV_VALUE, n, number_kind, special,
                          static_cast<uint32_t>(std::strlen(special)));
                else
                    number(n, n->annotation.base == 16 ? hex_positional_text(v) : double_text(v),
                           in_array);
                break;
            }
            case TVL_DOM_STRING:
                event(TVLR_EV_VALUE, n, string_kind, n->value.bytes, n->length);
                break;
            case TVL_DOM_SYMBOL:
                event(TVLR_EV_VALUE, n, TVL_VK_SYMBOL, n->value.bytes, n->length);
                break;
            case TVL_DOM_REFERENCE:
                event(TVLR_EV_VALUE, n, TVL_VK_REFERENCE, n->value.bytes, n->length);
                break;
            case TVL_DOM_OCTETS:
                event(TVLR_EV_OCTETS_START, n);
                for (uint32_t at = 0; at < n->length; at += 65536) {
                    const uint32_t len = n->length - at < 65536 ? n->length - at : 65536;
                    event(TVLR_EV_VALUE, nullptr, TVL_VK_OCTETS, n->value.bytes + at, len);
                }
                event(TVLR_EV_OCTETS_END);
                break;
            case TVL_DOM_STRUCT:
                event(TVLR_EV_STRUCT_START, n);
                members(n->entries, n->entry_count);
                event(TVLR_EV_STRUCT_END);
                break;
            case TVL_DOM_ARRAY:
                array(n);
                break;
            default:
                ok = false;
                break;
        }
    }

    // Rows by their sizes; beyond eight rows the last size stands for every further row.
    void array(const tvl_dom_node *n) {
        uint32_t at = 0;
        for (uint32_t row = 0; ok; ++row) {
            if (row > 0) event(TVLR_EV_ROW_BREAK, n);
            event(TVLR_EV_ARRAY_START, n);
            const uint32_t size = n->dims <= 1 ? n->item_count : n->sizes[row < 8 ? row : 7];
            for (uint32_t i = 0; i < size && at < n->item_count; ++i) value(n->items[at++], true);
            event(TVLR_EV_ARRAY_END);
            if (at >= n->item_count || size == 0) break;
        }
    }

    void members(const tvl_dom_entry *entries, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) {
            event(TVLR_EV_MEMBER_NAME, nullptr, 0, entries[i].name,
                  static_cast<uint32_t>(std::strlen(entries[i].name)));
            value(entries[i].node, false);
        }
    }
};

bool append_to_string(tvlr_sink *sink, const uint8_t *data, uint32_t len) {
    std::string *out;
    std::memcpy(&out, sink->reserved, sizeof out);
    out->append(reinterpret_cast<const char *>(data), len);
    return true;
}

}  // namespace

std::string render(const tvl_dom_doc *doc) {
    std::string out;
    render_entries(out, doc->entries, doc->count);
    if (doc->parse_error) out += (doc->count ? " !" : "!") + tvltest::error_text(doc->parse_error);
    return out;
}

std::string render(const tvl_dom_node *node) {
    std::string out;
    render_into(out, node);
    return out;
}

std::string write_tree(const tvl_dom_doc *doc, uint32_t *error, bool *exact) {
    std::string out;
    tvlr_sink sink{};
    sink.write = &append_to_string;
    std::string *target = &out;
    std::memcpy(sink.reserved, &target, sizeof target);
    tvlr_writer_options o{};
    o.max_struct_depth = 255;
    o.max_array_depth = 255;
    tvlr_writer *w = tvlr_writer_create();
    TreeWriter tw{w};
    tw.ok = tvlr_open_write_sink(w, &sink, false, &o);
    tw.members(doc->entries, doc->count);
    if (tw.ok) tw.ok = tvlr_write_finish(w);
    *error = tw.ok ? 0 : tvlr_writer_get_error(w);
    if (exact != nullptr) *exact = tw.exact;
    tvlr_writer_destroy(w);
    return tw.ok ? out : std::string();
}

}  // namespace domtest
