#include "support/render.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/annotation.h"

namespace tvltest {
namespace {

const char *value_kind_name(uint32_t value_kind) {
    switch (value_kind) {
        case TVL_VK_STRING:
            return "str";
        case TVL_VK_NUMBER:
            return "num";
        case TVL_VK_SYMBOL:
            return "sym";
        case TVL_VK_REFERENCE:
            return "ref";
        case TVL_VK_ARRAY_NUMBER:
            return "anum";
        case TVL_VK_ARRAY_STRING:
            return "astr";
        case TVL_VK_OCTETS:
            return "oct";
        case TVL_VK_NULL:
            return "null";
        case TVL_VK_BOOL:
            return "bool";
        default:
            return nullptr;
    }
}

std::string render_value(const tvlr_event &e) {
    const char *name = value_kind_name(e.value_kind);
    std::string s = name != nullptr ? name : "v" + std::to_string(e.value_kind);
    append_quoted(s, e.text, e.text_len);
    return s;
}

std::string render_param(const tvlr_event &e) {
    switch (e.value_kind) {
        case TVL_VK_BITS:
            return "bits=" + std::to_string(e.bits);
        case TVL_VK_BASE:
            return "base=" + std::to_string(e.base);
        case TVL_VK_FRACTION:
            return "frac=" + std::to_string(e.base);
        default: {
            std::string s =
                e.value_kind == TVL_VK_UNIT ? "unit" : "p" + std::to_string(e.value_kind);
            append_quoted(s, e.text, e.text_len);
            return s;
        }
    }
}

// "@type:bits[:base]" when any of them is set, then "~unit" when the unit is not neutral.
std::string suffix(uint32_t type, uint32_t bits, uint32_t base, const tvl_unit &unit) {
    std::string s;
    if (type || bits || base) {
        s = "@" + type_text(type) + ":" + std::to_string(bits);
        if (base) s += ":" + std::to_string(base);
    }
    const std::string u = trace_unit(unit);
    if (!u.empty()) s += "~" + u;
    return s;
}

bool is_number_type(uint32_t type) {
    return type >= TVLR_TYPE_SINT && type <= TVLR_TYPE_FLOAT_DEC;
}

// The full rendering of the annotation run that the reader adds for `type` (type, bits and unit
// of its type_name) with the unit parameter `unit_text`.
std::string added_run(const tvlr_event &type, const std::string &unit_text) {
    const std::string word = type_text(type.value_type);
    tvlr_event e{};
    e.value_kind = TVL_VK_TYPE;
    e.value_type = type.value_type;
    e.bits = type.bits;
    e.unit = type.unit;
    e.text = word.data();
    e.text_len = static_cast<uint32_t>(word.size());
    std::string s = render_event(TVLR_EV_TYPE_START, e) + " " + render_event(TVLR_EV_TYPE_NAME, e);
    if (is_number_type(type.value_type)) {
        s += " bits=" + std::to_string(type.bits);
        if (type.value_type != TVLR_TYPE_FLOAT_DEC) s += " base=0";
        s += " unit";
        append_quoted(s, unit_text.data(), static_cast<uint32_t>(unit_text.size()));
    }
    return s + " " + render_event(TVLR_EV_TYPE_END, e);
}

}  // namespace

void append_quoted(std::string &out, const char *text, uint32_t len) {
    out += '"';
    for (uint32_t i = 0; i < len; ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

std::string trace_unit(const tvl_unit &u) {
    if (u.count == 0) return "";
    if (u.count == 1 && u.factors[0].base == 0 && u.factors[0].exponent == 1 &&
        u.factors[0].prefix.kind == 0 && u.factors[0].prefix.index == 0)
        return "";
    std::string s;
    for (uint32_t i = 0; i < u.count && i < TVL_UNIT_MAX_FACTORS; ++i) {
        const auto &f = u.factors[i];
        if (i) s += '.';
        s += std::to_string(f.base);
        if (f.exponent != 1) s += "^" + std::to_string(f.exponent);
        if (f.prefix.index)
            s += "(" + std::to_string(f.prefix.kind) + "," + std::to_string(f.prefix.index) + ")";
    }
    return s;
}

std::string type_text(uint32_t value_type) {
    if (value_type > TVLR_TYPE_BOOL) return std::to_string(value_type);
    const tvl::TypeWord word = tvl::type_word(value_type);
    return std::string(word.text, word.len);
}

std::string error_text(uint32_t code) {
    const char *name = tvl_error_to_string(code);
    return std::strcmp(name, "unknown_error") == 0 ? std::to_string(code) : name;
}

std::string render_event(uint32_t kind, const tvlr_event &e) {
    std::string s;
    switch (kind) {
        case TVLR_EV_DOC_START:
            s = "S";
            break;
        case TVLR_EV_DOC_END:
            s = "E";
            break;
        case TVLR_EV_MEMBER_NAME:
            s = "." + std::string(e.text, e.text_len);
            break;
        case TVLR_EV_OCTETS_START:
            s = "O{";
            break;
        case TVLR_EV_OCTETS_END:
            s = "O}";
            break;
        case TVLR_EV_STRUCT_START:
            s = "{";
            break;
        case TVLR_EV_STRUCT_END:
            s = "}";
            break;
        case TVLR_EV_ARRAY_START:
            s = "[";
            break;
        case TVLR_EV_ARRAY_END:
            s = "]";
            break;
        case TVLR_EV_ROW_BREAK:
            s = "/";
            break;
        case TVLR_EV_TYPE_START:
            s = "<";
            append_quoted(s, e.text, e.text_len);
            return s;
        case TVLR_EV_TYPE_END:
            s = ">";
            break;
        case TVLR_EV_TYPE_NAME:
            s = "T=" + type_text(e.value_type) + ":" + std::to_string(e.bits);
            if (e.base) s += ":b" + std::to_string(e.base);
            return s + suffix(0, 0, 0, e.unit);
        case TVLR_EV_TYPE_PARAM:
            return render_param(e);
        case TVLR_EV_VALUE:
            s = render_value(e);
            break;
        default:
            s = "?" + std::to_string(kind);
            break;
    }
    return s + suffix(e.value_type, e.bits, e.base, e.unit);
}

std::string render_error(uint32_t code, uint64_t line, uint64_t column, uint64_t offset) {
    return "!" + error_text(code) + "@" + std::to_string(line) + ":" + std::to_string(column) +
           "#" + std::to_string(offset);
}

std::string render_meaning(uint32_t kind, const tvlr_event &e) {
    uint32_t base = e.base;
    const bool base_defaults_to_10 =
        e.value_type == TVLR_TYPE_UTF8 || e.value_type == TVLR_TYPE_SINT ||
        e.value_type == TVLR_TYPE_UINT || e.value_type == TVLR_TYPE_FLOAT;
    if (base_defaults_to_10 && base == 10) base = 0;
    // A unit is a product: its factors in any order mean the same unit (the writer prints
    // positive powers first).
    tvl_unit unit = e.unit;
    if (unit.count <= TVL_UNIT_MAX_FACTORS) {
        std::sort(unit.factors, unit.factors + unit.count,
                  [](const tvl_unit_factor &a, const tvl_unit_factor &b) {
                      return std::memcmp(&a, &b, sizeof a) < 0;
                  });
    }
    const std::string typed = suffix(e.value_type, e.bits, base, unit);
    switch (kind) {
        case TVLR_EV_MEMBER_NAME:
            return "." + std::string(e.text, e.text_len);
        case TVLR_EV_STRUCT_START:
            return "{" + typed;
        case TVLR_EV_STRUCT_END:
            return "}";
        case TVLR_EV_ARRAY_START:
            return "[" + typed;
        case TVLR_EV_ARRAY_END:
            return "]";
        case TVLR_EV_ROW_BREAK:
            return "/" + typed;
        case TVLR_EV_OCTETS_START:
            return "O{" + typed;
        case TVLR_EV_OCTETS_END:
            return "O}";
        case TVLR_EV_VALUE:
            return render_value(e) + typed;
        default:
            return "";
    }
}

void EventTrace::append(const std::string &token) {
    if (!out_.empty()) out_ += ' ';
    out_ += token;
}

void EventTrace::flush_run() {
    if (!run_.empty()) append(run_);
    run_.clear();
}

void EventTrace::event(uint32_t kind, const tvlr_event &e) {
    const std::string full = render_event(kind, e);
    if (!run_.empty() && kind != TVLR_EV_TYPE_NAME && kind != TVLR_EV_TYPE_PARAM &&
        kind != TVLR_EV_TYPE_END)
        flush_run();
    if (kind == TVLR_EV_TYPE_START && e.value_type >= TVLR_TYPE_UTF8 &&
        e.value_type <= TVLR_TYPE_BOOL &&
        std::string(e.text, e.text_len) == type_text(e.value_type)) {
        run_ = full;  // the reader's own run starts with the type already set
        type_ = tvlr_event{};
        unit_text_ = "no_unit";
        return;
    }
    if (run_.empty()) {
        append(full);
        return;
    }
    run_ += " " + full;
    if (kind == TVLR_EV_TYPE_NAME) type_ = e;
    if (kind == TVLR_EV_TYPE_PARAM && e.value_kind == TVL_VK_UNIT)
        unit_text_.assign(e.text, e.text_len);
    if (kind != TVLR_EV_TYPE_END) return;
    if (run_ != added_run(type_, unit_text_)) {
        flush_run();
        return;
    }
    std::string token = "+" + type_text(type_.value_type);
    if (type_.bits) token += ":" + std::to_string(type_.bits);
    if (unit_text_ != "no_unit")
        append_quoted(token, unit_text_.data(), static_cast<uint32_t>(unit_text_.size()));
    run_.clear();
    append(token + suffix(0, 0, 0, type_.unit));
}

void EventTrace::error(uint32_t code, uint64_t line, uint64_t column, uint64_t offset) {
    flush_run();
    append(render_error(code, line, column, offset));
}

std::string EventTrace::finish(bool ok, uint32_t error) {
    flush_run();
    append(ok ? "-> ok" : "-> fail " + error_text(error));
    return out_;
}

}  // namespace tvltest
