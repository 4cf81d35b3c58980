// Internal interface of the document tree: the growth rule of entry and item arrays, appending
// to them, and the byte copies that nodes and entries own. The exported tvl_dom_* functions and
// the tree builder share these, so that a tree built by hand and one read from text follow the
// same rules.
#pragma once

#include <cstdint>

#include "tvlr.h"

namespace tvl::dom {

// First capacity of an entry or item array; later ones double.
inline constexpr uint32_t kFirstCapacity = 8;

// Appends a member to an entry array, growing it by the rule; the entry takes over the name, a
// block from copy_bytes. On failure (a null name included) the name is freed, the node destroyed
// and the array left unchanged.
bool append_entry(tvl_dom_entry *&entries, uint32_t &count, uint32_t &capacity, char *name,
                  tvl_dom_node *node);

// Appends an element to an array node's items, growing them by the rule. On failure the item is
// destroyed and the array is unchanged.
bool append_item(tvl_dom_node *array, tvl_dom_node *item);

// A new block of length + 1 bytes holding the bytes and a NUL, or null.
char *copy_bytes(const char *bytes, uint32_t length);

// A new node of the type with the annotation and unit, or null.
tvl_dom_node *make_node(uint32_t type, const tvl_type_annotation &annotation, const tvl_unit &unit);

// A new string, symbol or reference node whose NUL-terminated copy of the bytes lives in the
// node's own block, right after the record: one allocation instead of two. Null when memory is
// short or the bytes are null with a nonzero length.
tvl_dom_node *make_bytes_node(uint32_t type, const tvl_type_annotation &annotation,
                              const tvl_unit &unit, const char *bytes, uint32_t length);

// True for an integer node whose value is a pointer to a big integer.
inline bool holds_bigint(const tvl_dom_node *n) {
    return n->type == TVL_DOM_INT && n->annotation.bits > 64;
}

// True for the node types whose value is a pointer to bytes the node owns.
inline bool holds_bytes(uint32_t type) {
    return type == TVL_DOM_STRING || type == TVL_DOM_SYMBOL || type == TVL_DOM_REFERENCE ||
           type == TVL_DOM_OCTETS;
}

}  // namespace tvl::dom
