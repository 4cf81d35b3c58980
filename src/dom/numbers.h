// Number nodes from the text of a number value event: integers into 64-bit values or big
// integers, floats through the correctly rounded text-to-binary64 conversion.
#pragma once

#include <cstdint>

#include "tvlr.h"

namespace tvl::dom {

enum class NumberResult {
    made,          // *out holds the new node
    out_of_range,  // the text does not convert under its annotation
    no_memory,
};

// Makes the node of a vk_number or vk_array_number event, with the event's annotation and unit.
//   - float, float_fix and float_dec values, the special numbers, and texts with a point or an
//     exponent under a type other than sint and uint give float nodes;
//   - widths above 64 give big integers, other integers 64-bit values; an integer that does
//     not fit 64 bits under a width of 64 or less (an untyped number, which the reader passes
//     under its added uint:64 or sint:64) becomes a big integer of the smallest multiple of 32
//     bits that holds it, so its value is kept exactly.
NumberResult make_number_node(const tvlr_event &e, tvl_dom_node **out) noexcept;

}  // namespace tvl::dom
