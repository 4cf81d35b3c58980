// Reading a tree: lookups by member name and by dotted path, typed accessors with their range
// checks, integer text, and a number's value in coherent SI units.
#include <cstring>
#include <limits>
#include <type_traits>
#include <utility>

#include "base/alloc.h"
#include "bignum/bigint.h"
#include "dom/tree.h"

namespace tvl::dom {
namespace {

// Longest path segment; member names are at most this long.
constexpr uint32_t kMaxSegment = 255;

bool is_unsigned(const tvl_dom_node *n) {
    return n->annotation.value_type == TVLR_TYPE_UINT;
}

tvl_dom_node *find_entry(const tvl_dom_entry *entries, uint32_t count, const char *name,
                         std::size_t len) {
    for (uint32_t i = 0; i < count; ++i) {
        const char *e = entries[i].name;
        if (e != nullptr && std::strncmp(e, name, len) == 0 && e[len] == '\0')
            return entries[i].node;
    }
    return nullptr;
}

// Narrows an integer node's value into T: the 64-bit value read signed or unsigned by the
// node's type, or a big integer through its own narrowing.
template <class T>
bool get_integer(const tvl_dom_node *n, T *out, bool (*narrow)(const tvl_int *, T *)) {
    if (n == nullptr || n->type != TVL_DOM_INT || out == nullptr) return false;
    if (n->annotation.bits > 64) return narrow(n->value.big, out);
    const bool fits =
        is_unsigned(n) ? std::in_range<T>(n->value.u64) : std::in_range<T>(n->value.i64);
    if (!fits) return false;
    *out = is_unsigned(n) ? static_cast<T>(n->value.u64) : static_cast<T>(n->value.i64);
    return true;
}

// A number node's value as a double: floats as they are, integers by their signedness, big
// integers only within the signed 64-bit range.
bool number_value(const tvl_dom_node *n, double &out) {
    if (n->type == TVL_DOM_FLOAT) {
        out = n->value.f64;
        return true;
    }
    if (n->type != TVL_DOM_INT) return false;
    if (n->annotation.bits > 64) {
        int64_t v;
        if (!tvl_int_to_int64(n->value.big, &v)) return false;
        out = static_cast<double>(v);
    } else {
        out =
            is_unsigned(n) ? static_cast<double>(n->value.u64) : static_cast<double>(n->value.i64);
    }
    return true;
}

bool get_bytes(const tvl_dom_node *n, uint32_t type, const char **out, uint32_t *length) {
    if (n == nullptr || n->type != type || out == nullptr) return false;
    *out = n->value.bytes;
    if (length != nullptr) *length = n->length;
    return true;
}

// Text of a big integer node; the buffer is sized for whichever is wider, the declared width
// or the value, so that a value wider than its annotation still prints.
char *bigint_text(const tvl_int *big, uint32_t bits, uint32_t base) {
    if (!usable(big)) return nullptr;
    const uint32_t value_bits = bit_length(magnitude(big));
    const std::size_t size = tvl_int_str_bufsize(value_bits > bits ? value_bits : bits, base);
    auto *buf = static_cast<char *>(mem::allocate(size));
    if (buf == nullptr) return nullptr;
    if (tvl_int_to_str(big, buf, size, base) < 0) {
        mem::release(buf);
        return nullptr;
    }
    return buf;
}

}  // namespace
}  // namespace tvl::dom

using namespace tvl;

extern "C" {

const tvl_dom_entry *tvl_dom_doc_entries(const tvl_dom_doc *doc) {
    return doc != nullptr ? doc->entries : nullptr;
}
uint32_t tvl_dom_doc_count(const tvl_dom_doc *doc) {
    return doc != nullptr ? doc->count : 0;
}
uint32_t tvl_dom_doc_get_parse_error(const tvl_dom_doc *doc) {
    return doc != nullptr ? doc->parse_error : 0;
}

uint32_t tvl_dom_node_type(const tvl_dom_node *node) {
    return node != nullptr ? node->type : 0;
}
bool tvl_dom_is_null(const tvl_dom_node *node) {
    return node != nullptr && node->type == TVL_DOM_NULL;
}

tvl_dom_node *tvl_dom_struct_get(const tvl_dom_node *node, const char *name) {
    if (node == nullptr || node->type != TVL_DOM_STRUCT || name == nullptr) return nullptr;
    return dom::find_entry(node->entries, node->entry_count, name, std::strlen(name));
}
uint32_t tvl_dom_struct_count(const tvl_dom_node *node) {
    return node != nullptr && node->type == TVL_DOM_STRUCT ? node->entry_count : 0;
}
const tvl_dom_entry *tvl_dom_struct_entries(const tvl_dom_node *node) {
    return node != nullptr && node->type == TVL_DOM_STRUCT ? node->entries : nullptr;
}

uint32_t tvl_dom_array_count(const tvl_dom_node *node) {
    return node != nullptr && node->type == TVL_DOM_ARRAY ? node->item_count : 0;
}
uint32_t tvl_dom_array_dims(const tvl_dom_node *node) {
    return node != nullptr && node->type == TVL_DOM_ARRAY ? node->dims : 0;
}
tvl_dom_node *tvl_dom_array_at(const tvl_dom_node *node, uint32_t index) {
    if (node == nullptr || node->type != TVL_DOM_ARRAY || index >= node->item_count) return nullptr;
    return node->items[index];
}

tvl_dom_node *tvl_dom_lookup(const tvl_dom_doc *doc, const char *path) {
    if (doc == nullptr || path == nullptr) return nullptr;
    if (*path == '.') ++path;
    if (*path == '\0') return nullptr;
    const tvl_dom_node *at = nullptr;
    for (;;) {
        const char *dot = std::strchr(path, '.');
        const std::size_t len =
            dot != nullptr ? static_cast<std::size_t>(dot - path) : std::strlen(path);
        if (len == 0 || len > dom::kMaxSegment) return nullptr;
        tvl_dom_node *found;
        if (at == nullptr) {
            found = dom::find_entry(doc->entries, doc->count, path, len);
        } else if (at->type == TVL_DOM_STRUCT) {
            found = dom::find_entry(at->entries, at->entry_count, path, len);
        } else {
            return nullptr;
        }
        if (found == nullptr || dot == nullptr) return found;
        at = found;
        path = dot + 1;
    }
}

tvl_type_annotation tvl_dom_get_value_type(const tvl_dom_node *node) {
    return node != nullptr ? node->annotation : tvl_type_annotation{};
}

tvl_unit tvl_dom_get_unit(const tvl_dom_node *node) {
    if (node != nullptr) return node->unit;
    tvl_unit neutral{};
    neutral.count = 1;
    neutral.factors[0].exponent = 1;
    return neutral;
}

int tvl_dom_get_unit_string(const tvl_dom_node *node, char *buffer, size_t size) {
    if (node == nullptr) return -1;
    return tvl_unit_to_string(buffer, size, node->unit);
}

bool tvl_dom_get_bool(const tvl_dom_node *node, bool *out) {
    if (node == nullptr || node->type != TVL_DOM_BOOL || out == nullptr) return false;
    *out = node->value.i64 != 0;
    return true;
}

bool tvl_dom_get_float(const tvl_dom_node *node, double *out) {
    double v;
    if (node == nullptr || out == nullptr || !dom::number_value(node, v)) return false;
    *out = v;
    return true;
}

bool tvl_dom_get_i64(const tvl_dom_node *node, int64_t *out) {
    return dom::get_integer(node, out, &tvl_int_to_int64);
}
bool tvl_dom_get_u64(const tvl_dom_node *node, uint64_t *out) {
    return dom::get_integer(node, out, &tvl_int_to_uint64);
}
bool tvl_dom_get_i32(const tvl_dom_node *node, int32_t *out) {
    return dom::get_integer(node, out, &tvl_int_to_int32);
}
bool tvl_dom_get_u32(const tvl_dom_node *node, uint32_t *out) {
    return dom::get_integer(node, out, &tvl_int_to_uint32);
}
bool tvl_dom_get_i16(const tvl_dom_node *node, int16_t *out) {
    return dom::get_integer(node, out, &tvl_int_to_int16);
}
bool tvl_dom_get_u16(const tvl_dom_node *node, uint16_t *out) {
    return dom::get_integer(node, out, &tvl_int_to_uint16);
}
bool tvl_dom_get_i8(const tvl_dom_node *node, int8_t *out) {
    return dom::get_integer(node, out, &tvl_int_to_int8);
}
bool tvl_dom_get_u8(const tvl_dom_node *node, uint8_t *out) {
    return dom::get_integer(node, out, &tvl_int_to_uint8);
}

bool tvl_dom_get_string(const tvl_dom_node *node, const char **out, uint32_t *length) {
    return dom::get_bytes(node, TVL_DOM_STRING, out, length);
}
bool tvl_dom_get_symbol(const tvl_dom_node *node, const char **out, uint32_t *length) {
    return dom::get_bytes(node, TVL_DOM_SYMBOL, out, length);
}
bool tvl_dom_get_reference(const tvl_dom_node *node, const char **out, uint32_t *length) {
    return dom::get_bytes(node, TVL_DOM_REFERENCE, out, length);
}
bool tvl_dom_get_octets(const tvl_dom_node *node, const uint8_t **out, uint32_t *length) {
    if (node == nullptr || node->type != TVL_DOM_OCTETS || out == nullptr) return false;
    *out = reinterpret_cast<const uint8_t *>(node->value.bytes);
    if (length != nullptr) *length = node->length;
    return true;
}

const tvl_int *tvl_dom_get_bigint(const tvl_dom_node *node) {
    return node != nullptr && dom::holds_bigint(node) ? node->value.big : nullptr;
}

char *tvl_dom_int_to_str(const tvl_dom_node *node, uint32_t base) {
    if (node == nullptr || node->type != TVL_DOM_INT) return nullptr;
    if (node->annotation.bits > 64)
        return dom::bigint_text(node->value.big, node->annotation.bits, base);
    // The magnitude in the base, with a sign in front of a negative signed value.
    char buf[128];
    uint64_t magnitude = node->value.u64;
    std::size_t at = 0;
    if (!dom::is_unsigned(node) && node->value.i64 < 0) {
        magnitude = 0 - magnitude;
        buf[at++] = '-';
    }
    const int len = tvl_format_uint64(buf + at, sizeof buf - at, magnitude, base, 0);
    if (len < 0) return nullptr;
    return dom::copy_bytes(buf, static_cast<uint32_t>(at + static_cast<std::size_t>(len)));
}

double tvl_dom_get_value_in_base_units(const tvl_dom_node *node) {
    double value;
    if (node == nullptr || !dom::number_value(node, value)) return 0.0;
    bool has_offset = false, ok = false;
    double offset = 0.0;
    const double factor = tvl_unit_to_si_factor(&has_offset, &offset, &ok, node->unit);
    if (!ok) return 0.0;
    return has_offset ? value * factor + offset : value * factor;
}

}  // extern "C"
