// libFuzzer target: type annotation text. An annotation that parses as valid is printed again
// from what the parse returned (type word, width, base or fraction, the unit in its canonical
// text) and parsed a second time: type, width, base and unit must be the same and valid again
// (the unit's factors in any order: its text puts the positive exponents first).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tvlr.h"
#include "unit_compare.h"

namespace {

using tvlfuzz::same_factors;

struct Parsed {
    tvl_type_annotation a{};
    bool ok = false, unit_ok = false, unit_too_long = false;
    tvl_unit unit{};
    char unit_text[256] = {};
    uint8_t unit_text_len = 0;
};

Parsed parse(const char *text, size_t len) {
    Parsed p;
    p.a = tvl_parse_type_annotation(text, static_cast<uint32_t>(len), &p.ok, &p.unit_ok,
                                    &p.unit_too_long, &p.unit, p.unit_text, &p.unit_text_len);
    return p;
}

const char *type_word(uint32_t t) {
    static const char *const words[] = {nullptr, "utf8",      "sint",      "uint",
                                        "float", "float_fix", "float_dec", "bool"};
    return t < 8 ? words[t] : nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 1024) return 0;
    const Parsed first = parse(reinterpret_cast<const char *>(data), size);
    if (first.unit_text_len > 0 && std::memchr(first.unit_text, 0, first.unit_text_len))
        return 0;  // a NUL inside the unit text cannot be printed as C text
    if (!first.ok || !first.unit_ok) return 0;
    const char *word = type_word(first.a.value_type);
    if (word == nullptr) std::abort();  // a valid annotation has a type word
    std::string text = word;
    std::string params;
    if (first.a.bits) params += "," + std::to_string(first.a.bits);
    if (first.a.base)
        params += (first.a.value_type == TVLR_TYPE_FLOAT_FIX ? ",q" : ",_") +
                  std::to_string(first.a.base);
    if (first.unit_text_len > 0) {
        char unit[512];
        const int n = first.unit.count == 0 ? std::snprintf(unit, sizeof unit, "no_unit")
                                            : tvl_unit_to_string(unit, sizeof unit, first.unit);
        if (n < 0) std::abort();  // the unit of a valid annotation prints
        params += ",";
        params.append(unit, static_cast<size_t>(n));
    }
    if (!params.empty()) text += ":" + params.substr(1);
    const Parsed second = parse(text.data(), text.size());
    if (!second.ok || !second.unit_ok || second.a.value_type != first.a.value_type ||
        second.a.bits != first.a.bits || second.a.base != first.a.base ||
        (second.unit_text_len > 0) != (first.unit_text_len > 0) ||
        !same_factors(second.unit, first.unit)) {
        std::fprintf(stderr, "annotation <%.*s> printed as <%s> reads differently\n",
                     static_cast<int>(size), reinterpret_cast<const char *>(data), text.c_str());
        std::abort();
    }
    return 0;
}
