// Documents, entries and nodes: creation, ownership, adding, and destruction.
//
// Destruction never recurses and never allocates: containers still to be emptied are chained
// through their own (unused) value field, so a chain of a million nested arrays is freed with
// constant stack depth, and running out of memory cannot leave part of a tree behind.
//
// Every node is a block of its own, since any node may be destroyed on its own. The block always
// reaches at least one byte past the record, so the address just past the record lies inside the
// node's block and no other block can start there: bytes stored at that address are the node's
// inline copy, freed with the node, and any other byte pointer is a block of its own (as when a
// caller sets the bytes of a node made by hand).
#include "dom/tree.h"

#include <cstddef>
#include <cstring>

#include "base/alloc.h"
#include "bignum/bigint.h"

namespace tvl::dom {
namespace {

static_assert(sizeof(tvl_dom_node *) <= sizeof(tvl_dom_node::value));

// The pending-container chain lives in the value field of struct and array nodes.
void set_next(tvl_dom_node *n, tvl_dom_node *next) {
    std::memcpy(&n->value, &next, sizeof next);
}
tvl_dom_node *next_of(const tvl_dom_node *n) {
    tvl_dom_node *next;
    std::memcpy(&next, &n->value, sizeof next);
    return next;
}

char *inline_bytes(tvl_dom_node *n) {
    return reinterpret_cast<char *>(n + 1);
}

// A node block with room for `extra` (at least 1) bytes after the record, the record initialised.
tvl_dom_node *new_node(uint32_t type, const tvl_type_annotation &annotation, const tvl_unit &unit,
                       std::size_t extra) {
    void *p = mem::allocate(sizeof(tvl_dom_node) + extra);
    if (p == nullptr) return nullptr;
    // Each field written once: the three given, then everything from the value on zero.
    auto *n = static_cast<tvl_dom_node *>(p);
    n->type = type;
    n->annotation = annotation;
    n->unit = unit;
    // (A copy of a constant's bytes compiles to a few vector stores where a memset of this
    // size may become a string instruction with a slow start.)
    static constexpr tvl_dom_node kZero{};
    constexpr std::size_t kTail = offsetof(tvl_dom_node, value);
    std::memcpy(static_cast<char *>(p) + kTail, reinterpret_cast<const char *>(&kZero) + kTail,
                sizeof(tvl_dom_node) - kTail);
    return n;
}

// Frees what the node owns besides its members and elements.
void release_own_data(tvl_dom_node *n) {
    if (holds_bigint(n)) {
        tvl_int_free(n->value.big);
    } else if (holds_bytes(n->type) && n->value.bytes != inline_bytes(n)) {
        mem::release(n->value.bytes);
    }
    n->value.u64 = 0;
}

// Frees a node at once when it has no members or elements; otherwise puts it on the chain.
void take(tvl_dom_node *n, tvl_dom_node *&chain) {
    if (n == nullptr) return;
    release_own_data(n);
    if (n->entries == nullptr && n->items == nullptr) {
        mem::release(n);
        return;
    }
    set_next(n, chain);
    chain = n;
}

void destroy_tree(tvl_dom_node *root) {
    tvl_dom_node *chain = nullptr;
    take(root, chain);
    while (chain != nullptr) {
        tvl_dom_node *n = chain;
        chain = next_of(n);
        for (uint32_t i = 0; i < n->entry_count; ++i) {
            mem::release(n->entries[i].name);
            take(n->entries[i].node, chain);
        }
        for (uint32_t i = 0; i < n->item_count; ++i) take(n->items[i], chain);
        mem::release(n->entries);
        mem::release(n->items);
        mem::release(n);
    }
}

// Makes room for one more element in an array of T by the growth rule.
template <class T>
bool reserve_one(T *&array, uint32_t count, uint32_t &capacity) {
    if (count < capacity) return true;
    if (capacity > UINT32_MAX / 2) return false;
    const uint32_t grown = capacity == 0 ? kFirstCapacity : capacity * 2;
    void *p = mem::reallocate(array, std::size_t{grown} * sizeof(T));
    if (p == nullptr) return false;
    array = static_cast<T *>(p);
    capacity = grown;
    return true;
}

void set_neutral(tvl_unit &u) {
    u = tvl_unit{};
    u.count = 1;
    u.factors[0].exponent = 1;
}

tvl_dom_node *integer_node(uint32_t value_type, uint32_t bits, uint64_t value) {
    tvl_dom_node *n = new_node(TVL_DOM_INT, {value_type, bits, 0}, tvl_unit{}, 1);
    if (n != nullptr) n->value.u64 = value;
    return n;
}

}  // namespace

bool append_entry(tvl_dom_entry *&entries, uint32_t &count, uint32_t &capacity, char *name,
                  tvl_dom_node *node) {
    if (name == nullptr || !reserve_one(entries, count, capacity)) {
        mem::release(name);
        destroy_tree(node);
        return false;
    }
    entries[count++] = {name, node};
    return true;
}

bool append_item(tvl_dom_node *array, tvl_dom_node *item) {
    if (!reserve_one(array->items, array->item_count, array->item_capacity)) {
        destroy_tree(item);
        return false;
    }
    array->items[array->item_count++] = item;
    return true;
}

char *copy_bytes(const char *bytes, uint32_t length) {
    if (bytes == nullptr && length != 0) return nullptr;
    auto *p = static_cast<char *>(mem::allocate(std::size_t{length} + 1));
    if (p == nullptr) return nullptr;
    if (length != 0) std::memcpy(p, bytes, length);
    p[length] = '\0';
    return p;
}

tvl_dom_node *make_node(uint32_t type, const tvl_type_annotation &annotation,
                        const tvl_unit &unit) {
    return new_node(type, annotation, unit, 1);
}

tvl_dom_node *make_bytes_node(uint32_t type, const tvl_type_annotation &annotation,
                              const tvl_unit &unit, const char *bytes, uint32_t length) {
    if (bytes == nullptr && length != 0) return nullptr;
    tvl_dom_node *n = new_node(type, annotation, unit, std::size_t{length} + 1);
    if (n == nullptr) return nullptr;
    char *copy = inline_bytes(n);
    if (length != 0) std::memcpy(copy, bytes, length);
    copy[length] = '\0';
    n->value.bytes = copy;
    n->length = length;
    return n;
}

}  // namespace tvl::dom

using namespace tvl;

extern "C" {

tvl_dom_doc *tvl_dom_doc_create(void) {
    return mem::allocate_array<tvl_dom_doc>(1);
}

void tvl_dom_doc_destroy(tvl_dom_doc *doc) {
    if (doc == nullptr) return;
    for (uint32_t i = 0; i < doc->count; ++i) {
        mem::release(doc->entries[i].name);
        dom::destroy_tree(doc->entries[i].node);
    }
    mem::release(doc->entries);
    mem::release(doc);
}

tvl_dom_node *tvl_dom_node_alloc(uint32_t type) {
    tvl_unit neutral;
    dom::set_neutral(neutral);
    return dom::new_node(type, {}, neutral, 1);
}

void tvl_dom_node_destroy(tvl_dom_node *node) {
    dom::destroy_tree(node);
}

tvl_dom_node *tvl_dom_node_from_i64(int64_t value) {
    return dom::integer_node(TVLR_TYPE_SINT, 64, static_cast<uint64_t>(value));
}
tvl_dom_node *tvl_dom_node_from_i32(int32_t value) {
    return dom::integer_node(TVLR_TYPE_SINT, 32, static_cast<uint64_t>(int64_t{value}));
}
tvl_dom_node *tvl_dom_node_from_i16(int16_t value) {
    return dom::integer_node(TVLR_TYPE_SINT, 16, static_cast<uint64_t>(int64_t{value}));
}
tvl_dom_node *tvl_dom_node_from_i8(int8_t value) {
    return dom::integer_node(TVLR_TYPE_SINT, 8, static_cast<uint64_t>(int64_t{value}));
}
tvl_dom_node *tvl_dom_node_from_u64(uint64_t value) {
    return dom::integer_node(TVLR_TYPE_UINT, 64, value);
}
tvl_dom_node *tvl_dom_node_from_u32(uint32_t value) {
    return dom::integer_node(TVLR_TYPE_UINT, 32, value);
}
tvl_dom_node *tvl_dom_node_from_u16(uint16_t value) {
    return dom::integer_node(TVLR_TYPE_UINT, 16, value);
}
tvl_dom_node *tvl_dom_node_from_u8(uint8_t value) {
    return dom::integer_node(TVLR_TYPE_UINT, 8, value);
}

tvl_dom_node *tvl_dom_node_from_bigint(tvl_int *value, tvl_type_annotation annotation,
                                       tvl_unit unit) {
    if (!usable(value) || annotation.bits <= 64 ||
        (annotation.value_type != TVLR_TYPE_SINT && annotation.value_type != TVLR_TYPE_UINT))
        return nullptr;
    tvl_dom_node *n = dom::make_node(TVL_DOM_INT, annotation, unit);
    if (n != nullptr) n->value.big = value;
    return n;
}

char *tvl_dom_strdup(const char *bytes, uint32_t length) {
    return dom::copy_bytes(bytes, length);
}

void tvl_dom_free_string(char *text) {
    mem::release(text);
}

bool tvl_dom_doc_add(tvl_dom_doc *doc, const char *name, uint32_t name_len, tvl_dom_node *node) {
    if (doc == nullptr || node == nullptr) {
        dom::destroy_tree(node);
        return false;
    }
    return dom::append_entry(doc->entries, doc->count, doc->capacity,
                             dom::copy_bytes(name, name_len), node);
}

bool tvl_dom_struct_add(tvl_dom_node *node, const char *name, uint32_t name_len,
                        tvl_dom_node *member) {
    // A node added to itself would make a cycle; it stays with the caller.
    if (member == node) return false;
    if (node == nullptr || node->type != TVL_DOM_STRUCT || member == nullptr) {
        dom::destroy_tree(member);
        return false;
    }
    return dom::append_entry(node->entries, node->entry_count, node->entry_capacity,
                             dom::copy_bytes(name, name_len), member);
}

bool tvl_dom_array_append(tvl_dom_node *node, tvl_dom_node *item) {
    if (item == node) return false;
    if (node == nullptr || node->type != TVL_DOM_ARRAY || item == nullptr) {
        dom::destroy_tree(item);
        return false;
    }
    return dom::append_item(node, item);
}

}  // extern "C"
