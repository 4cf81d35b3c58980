/*
 * tvlr.h - the C interface of libtvlr_shared.
 *
 * A streaming reader, a streaming writer, a document tree, units and
 * currencies, big integers and big floats for the typed `tvlr` text
 * notation. Valid C11 and C++; every exported function has C linkage.
 *
 * Conventions: booleans are `bool`, texts are UTF-8; event texts are a
 * pointer and a byte length (not terminated); text written into a caller's
 * buffer is NUL-terminated and its length is returned without the NUL, or
 * -1 when it does not fit. Getters accept null object pointers and return
 * 0, false or null.
 */
#ifndef TVLR_H
#define TVLR_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define TVLR_API __declspec(dllexport)
#elif defined(__GNUC__) || defined(__clang__)
#define TVLR_API __attribute__((visibility("default")))
#else
#define TVLR_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ======================================================================
 * Events, value types, units and error codes
 * ====================================================================== */

/* Event kinds: the unsigned number passed beside each event record. */
typedef uint32_t tvlr_event_kind;
enum {
    TVLR_EV_DOC_START = 0,
    TVLR_EV_MEMBER_NAME = 1,
    TVLR_EV_OCTETS_START = 2,
    TVLR_EV_OCTETS_END = 3,
    TVLR_EV_STRUCT_START = 4,
    TVLR_EV_STRUCT_END = 5,
    TVLR_EV_ARRAY_START = 6,
    TVLR_EV_ARRAY_END = 7,
    TVLR_EV_ROW_BREAK = 8,
    TVLR_EV_VALUE = 9,
    TVLR_EV_TYPE_START = 10,
    TVLR_EV_TYPE_END = 11,
    TVLR_EV_TYPE_NAME = 12,
    TVLR_EV_TYPE_PARAM = 13,
    TVLR_EV_DOC_END = 14
};

/* Value kinds (value_kind of a value event) and type-parameter kinds
 * (value_kind of a type_param event). 7 marks type_start, type_name and
 * type_end records. */
typedef uint32_t tvlr_value_kind;
enum {
    TVL_VK_STRING = 1,
    TVL_VK_NUMBER = 2,
    TVL_VK_SYMBOL = 3,
    TVL_VK_REFERENCE = 4,
    TVL_VK_ARRAY_NUMBER = 5,
    TVL_VK_ARRAY_STRING = 6,
    TVL_VK_TYPE = 7,
    TVL_VK_OCTETS = 8,
    TVL_VK_NULL = 9,
    TVL_VK_UNIT = 11,
    TVL_VK_BITS = 12,
    TVL_VK_BASE = 13,
    TVL_VK_FRACTION = 14,
    TVL_VK_BOOL = 15
};

/* Value types (value_type of events and annotations). */
typedef uint32_t tvlr_type;
enum {
    TVLR_TYPE_PLAIN = 0,
    TVLR_TYPE_UTF8 = 1,
    TVLR_TYPE_SINT = 2,
    TVLR_TYPE_UINT = 3,
    TVLR_TYPE_FLOAT = 4,
    TVLR_TYPE_FLOAT_FIX = 5,
    TVLR_TYPE_FLOAT_DEC = 6,
    TVLR_TYPE_BOOL = 7
};

/* Unit identifiers (0..377) and exponents (-9..-1, 1..9; 0 is invalid). */
typedef uint32_t tvl_base_unit;
typedef int32_t tvl_exponent;
enum { TVL_EXP_INVALID = 0 };

/* Prefix kinds: SI (decimal, index 1..24) and IEC (binary, index 1..10);
 * index 0 means no prefix. */
enum { TVL_PREFIX_DECIMAL = 0, TVL_PREFIX_BINARY = 1 };

typedef struct tvl_prefix {
    uint32_t kind;
    uint32_t index;
} tvl_prefix;

typedef struct tvl_unit_factor {
    uint32_t base;      /* tvl_base_unit */
    int32_t exponent;   /* tvl_exponent */
    tvl_prefix prefix;
} tvl_unit_factor;

#define TVL_UNIT_MAX_FACTORS 8

/* A unit value: count factors in use (0 = no unit); unused slots are zero.
 * The neutral unit (count 1, factor {0, 1, {0, 0}}) also means no unit. */
typedef struct tvl_unit {
    uint32_t count;
    tvl_unit_factor factors[TVL_UNIT_MAX_FACTORS];
} tvl_unit;

/* One event record. text is never null in an event from the reader. */
typedef struct tvlr_event {
    uint32_t value_kind;
    uint32_t value_type;
    uint32_t bits;
    uint32_t base;
    tvl_unit unit;
    const char *text;
    uint32_t text_len;
} tvlr_event;

/* Event callback: returning false stops the read (or the write). */
typedef bool (*tvlr_event_fn)(void *user, uint32_t kind, tvlr_event *event);

/* Error codes shared by the reader, the writer and the document tree. */
typedef uint32_t tvl_error;
enum {
    TVL_ERR_NONE = 0,
    TVL_ERR_UNKNOWN_TOKEN_TYPE = 1,
    TVL_ERR_ARRAY_ROW_SIZE_MISMATCH = 2,
    TVL_ERR_IDENTIFIER_TOO_LONG = 3,
    TVL_ERR_EMPTY_IDENTIFIER = 4,
    TVL_ERR_STRUCT_NESTING_TOO_HIGH = 5,
    TVL_ERR_ARRAY_NESTING_TOO_HIGH = 6,
    TVL_ERR_ILLEGAL_STRUCT_CLOSE = 7,
    TVL_ERR_STRING_TOO_LONG = 8,
    TVL_ERR_ILLEGAL_ESCAPE_SEQUENCE = 9,
    TVL_ERR_NUMBER_TOO_LONG = 10,
    TVL_ERR_SYMBOL_TOO_LONG = 11,
    TVL_ERR_REFERENCE_TOO_LONG = 12,
    TVL_ERR_READ_COMPLETE_CHUNK_FAILED = 13,
    TVL_ERR_OCTET_STREAM_OUT_OF_SYNC = 14,
    TVL_ERR_UNEXPECTED_INPUT_BYTE = 15,
    TVL_ERR_TEXT_DATA_TOO_LONG = 16,
    TVL_ERR_READING_FROM_SOURCE_FD = 17,
    TVL_ERR_INCOMPLETE_TVLR_STREAM = 18,
    TVL_ERR_INVALID_UTF8_BYTE = 19,
    TVL_ERR_INVALID_BYTE_ORDER_MARK = 20,
    TVL_ERR_TYPE_TOO_LONG = 21,
    TVL_ERR_UNIT_TOO_LONG = 22,
    TVL_ERR_EXPECTED_STRING_IN_ARRAY = 23,
    TVL_ERR_EXPECTED_NUMBER_IN_ARRAY = 24,
    TVL_ERR_ILLEGAL_VALUE_TYPE = 25,
    TVL_ERR_SCANNER_CALLBACK_FAILED = 26,
    TVL_ERR_FILE_TOO_LONG = 27,
    TVL_ERR_INVALID_ARGUMENT = 28,
    TVL_ERR_TOO_MANY_ARRAY_ITEMS = 29,
    TVL_ERR_WRITING_TO_SINK = 30,
    TVL_ERR_SINK_BUFFER_EXHAUSTED = 31,
    TVL_ERR_UNIT_ILLEGAL = 32,
    TVL_ERR_BASE_REQUIRES_STRING_LITERAL = 33,
    TVL_ERR_TYPE_VALUE_MISMATCH = 34,
    TVL_ERR_VALUE_OUT_OF_RANGE = 35,
    TVL_ERR_DIGIT_NOT_IN_BASE = 36,
    TVL_ERR_RECOVERED = 37,
    TVL_ERR_UNIT_MISMATCH = 38
};

/* The static name of an error code; "unknown_error" above 38. */
TVLR_API const char *tvl_error_to_string(uint32_t code);

/* @@section text-tokens: lexical validators and the escape table @@ */
/* @@end text-tokens @@ */

/* @@section number-text: digits, number text, range checks, 64-bit text @@ */
/* @@end number-text @@ */

/* @@section annotations: type annotations @@ */
/* @@end annotations @@ */

/* ======================================================================
 * Sources, sinks and the streaming reader
 * ====================================================================== */

typedef struct tvlr_source tvlr_source;

/* Reads up to cap bytes into dst and stores the count (0 = end of input);
 * false is a read failure. The first argument points at the reader's copy
 * of the source record. */
typedef bool (*tvlr_read_fn)(tvlr_source *src, uint8_t *dst, uint32_t cap,
                             uint32_t *count);

struct tvlr_source {
    tvlr_read_fn read;
    int32_t fd;
    const uint8_t *data;
    uint64_t remaining;
    uint8_t user_state[32]; /* free for custom sources */
};

typedef struct tvlr_sink tvlr_sink;

/* Takes all len bytes (true) or fails; the first argument points at the
 * writing object's copy of the sink record. */
typedef bool (*tvlr_write_fn)(tvlr_sink *sink, const uint8_t *data,
                              uint32_t len);
typedef bool (*tvlr_finish_fn)(tvlr_sink *sink);

struct tvlr_sink {
    tvlr_write_fn write;
    tvlr_finish_fn finish;
    int32_t fd;
    uint8_t direct;
    uint8_t *cursor;
    uint64_t remaining;
    uint64_t delivered;
    uint8_t reserved[16];
};

typedef void (*tvlr_error_fn)(void *user, uint32_t code, uint64_t line,
                              uint64_t column, uint32_t byte,
                              uint64_t offset);

/* Reader options; a zero limit selects its default. */
typedef struct tvlr_reader_options {
    uint16_t max_identifier_len; /* 255 */
    uint16_t max_string_len;     /* 65535 */
    uint16_t max_number_len;     /* 65535 */
    uint16_t max_symbol_len;     /* 255 */
    uint16_t max_reference_len;  /* 65535 */
    uint64_t max_array_items;    /* 2147483647 */
    uint64_t max_text_bytes;     /* 2147483647 */
    uint64_t max_file_bytes;     /* 2147483647 */
    uint8_t max_struct_depth;    /* 64 */
    uint8_t max_array_depth;     /* 64 */
    void *user_data;
    tvlr_event_fn on_event;
    tvlr_event_fn on_event_after;
    uint8_t recover;
    tvlr_error_fn on_error;
} tvlr_reader_options;

typedef struct tvlr_reader tvlr_reader;

TVLR_API tvlr_reader *tvlr_reader_create(void);
TVLR_API void tvlr_reader_destroy(tvlr_reader *reader);
TVLR_API void tvlr_source_from_mem(tvlr_source *src, const void *data,
                                   uint64_t length);
TVLR_API void tvlr_source_from_fd(tvlr_source *src, int32_t fd);
TVLR_API void tvlr_sink_to_mem(tvlr_sink *sink, void *buffer,
                               uint64_t capacity);
TVLR_API void tvlr_sink_to_fd(tvlr_sink *sink, int32_t fd);
TVLR_API uint64_t tvlr_sink_bytes_written(const tvlr_sink *sink);
TVLR_API bool tvlr_open_read_source(tvlr_reader *reader,
                                    const tvlr_source *src,
                                    const tvlr_sink *echo,
                                    const tvlr_reader_options *options);
TVLR_API bool tvlr_open_read_mem(tvlr_reader *reader, const void *data,
                                 uint64_t length, void *echo_buffer,
                                 uint64_t echo_capacity,
                                 const tvlr_reader_options *options);
TVLR_API bool tvlr_read(tvlr_reader *reader);
TVLR_API uint32_t tvlr_reader_get_error(const tvlr_reader *reader);
TVLR_API uint64_t tvlr_reader_get_error_line(const tvlr_reader *reader);
TVLR_API uint64_t tvlr_reader_get_error_column(const tvlr_reader *reader);
TVLR_API uint32_t tvlr_reader_get_error_byte(const tvlr_reader *reader);
TVLR_API uint64_t tvlr_reader_get_error_offset(const tvlr_reader *reader);
TVLR_API uint64_t tvlr_reader_get_recovery_count(const tvlr_reader *reader);

/* ======================================================================
 * Streaming writer
 * ====================================================================== */

/* Writer options: the layout of tvlr_reader_options up to `recover`; the
 * writer reads the depth limits, user_data and on_event, then unit_flags. */
typedef struct tvlr_writer_options {
    uint16_t max_identifier_len;
    uint16_t max_string_len;
    uint16_t max_number_len;
    uint16_t max_symbol_len;
    uint16_t max_reference_len;
    uint64_t max_array_items;
    uint64_t max_text_bytes;
    uint64_t max_file_bytes;
    uint8_t max_struct_depth; /* 64 */
    uint8_t max_array_depth;  /* 64 */
    void *user_data;
    tvlr_event_fn on_event;
    tvlr_event_fn on_event_after;
    uint8_t recover;
    uint32_t unit_flags;
} tvlr_writer_options;

/* @@section writer: writer object, events, typed writers, observer @@ */
/* @@end writer @@ */

/* @@section dom: document tree @@ */
/* @@end dom @@ */

/* @@section units: unit values, tables, conversion, currencies @@ */
/* @@end units @@ */

/* @@section bigint: big integer @@ */
/* @@end bigint @@ */

/* @@section bigfloat: big float and number formats @@ */
/* @@end bigfloat @@ */

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* TVLR_H */
