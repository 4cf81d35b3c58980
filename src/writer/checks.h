// The writer's checks of events: every event the writer accepts gives text that a reader
// accepts, with the same values. Each check returns 0 or the error code of the refusal.
//
// A value is checked twice over: by the writer's own rules for the type that the event declares
// (value_type, bits, base), and by the rules with which a reader checks the text it reads,
// including how the text splits into tokens (a number text that is not a decimal number would be
// read as a symbol). Where only the reader's rules refuse, the code is the reader's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tvlr.h"
#include "writer/output.h"

namespace tvl::wr {

// The longest token (name, string content, number, symbol, reference) that any reader accepts:
// the reader's length limits are 16-bit.
inline constexpr size_t kMaxTokenLen = 65535;

// Member name: 4 when empty, 3 when longer than any reader accepts, 28 when not an identifier.
uint32_t check_member_name(const char *text, size_t len);

// The writer's own rules for a value of the given kind and text under a declared type, width
// and base, without what the reader's view adds.
uint32_t value_rules(uint32_t kind, const char *text, size_t len, uint32_t type, uint32_t bits,
                     uint32_t base);

// A value of the given kind and text under a declared type, width and base: the writer's own
// rules, then the reader's view of the text written for it.
uint32_t check_value(uint32_t kind, const char *text, size_t len, uint32_t type, uint32_t bits,
                     uint32_t base);

// The unit of a value event against what the text can carry: the annotation in force, or a unit
// suffix where one may stand.
uint32_t check_value_unit(const Output &o, uint32_t kind, const tvlr_event &e);

// The type word of an annotation that is being written (25 for a word that no reader knows).
uint32_t check_type_name(const Output &o, const tvlr_event &e);

// One annotation parameter as the output will write it, against the annotation written so far.
// For a unit parameter, declared receives the unit that a reader parses from its text.
uint32_t check_type_param(const Output &o, const tvlr_event &e, tvl_unit &declared);

}  // namespace tvl::wr
