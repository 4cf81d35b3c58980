// Generated benchmark documents. Each is built from a fixed seed with integer
// arithmetic only, so every machine measures the same bytes; each stops at the
// first whole member at or beyond min_bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tvlbench {

// Records of an id, a name, a decimal score, a boolean, an array of symbols
// and an array of two integers, one struct per member.
std::string records_document(size_t min_bytes);

// Members with a 120-byte string each and blank lines: the long runs that the
// scanner takes in bulk.
std::string strings_document(size_t min_bytes);

// Numbers: arrays of decimals with and without exponents, annotated signed
// integers, numbers with a unit suffix and hexadecimal digits as annotated
// strings.
std::string numbers_document(size_t min_bytes);

// Members whose value nests structs `depth` levels deep, each level with one
// plain value, followed by a member with arrays nested `depth` levels deep.
// The reader's default limits allow a depth up to 64.
std::string nested_document(size_t min_bytes, unsigned depth);

// `count` random decimal digits from `seed`, the first one not 0.
std::string random_digits(size_t count, uint64_t seed);

}  // namespace tvlbench
