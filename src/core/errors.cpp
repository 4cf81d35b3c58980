// Names of the error codes shared by the reader, the writer and the tree.
#include "tvlr.h"

namespace {

constexpr const char *kErrorNames[] = {
    "none",
    "unknown_token_type",
    "array_row_size_mismatch",
    "identifier_too_long",
    "empty_identifier",
    "struct_nesting_too_high",
    "array_nesting_too_high",
    "illegal_struct_close",
    "string_too_long",
    "illegal_escape_sequence",
    "number_too_long",
    "symbol_too_long",
    "reference_too_long",
    "read_complete_chunk_failed",
    "octet_stream_out_of_sync",
    "unexpected_input_byte",
    "text_data_too_long",
    "reading_from_source_fd",
    "incomplete_tvlr_stream",
    "invalid_utf8_byte",
    "invalid_byte_order_mark",
    "type_too_long",
    "unit_too_long",
    "expected_string_in_array",
    "expected_number_in_array",
    "illegal_value_type",
    "scanner_callback_failed",
    "file_too_long",
    "invalid_argument",
    "too_many_array_items",
    "writing_to_sink",
    "sink_buffer_exhausted",
    "unit_illegal",
    "base_requires_string_literal",
    "type_value_mismatch",
    "value_out_of_range",
    "digit_not_in_base",
    "recovered",
    "unit_mismatch",
};
static_assert(sizeof kErrorNames / sizeof kErrorNames[0] == TVL_ERR_UNIT_MISMATCH + 1);

}  // namespace

extern "C" const char *tvl_error_to_string(uint32_t code) {
    if (code >= sizeof kErrorNames / sizeof kErrorNames[0]) return "unknown_error";
    return kErrorNames[code];
}
