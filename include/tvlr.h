/*
 * tvlr.h - the C interface of libtvlr_shared.
 *
 * For the typed `tvlr` text notation: a streaming reader with sources and
 * sinks, a streaming writer and a canonical observer that re-writes a
 * reader's events as normalised text, a document tree, units and
 * currencies, big integers and big floats, and the text rules they share
 * (names, symbols, references, strings, number text in bases 2..62, 64 and
 * 85, type annotations, double text). Valid C11 and C++; every exported
 * function has C linkage.
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

/* TVLR_API marks the exported functions. On Windows the library's own build
 * defines TVLR_BUILDING_LIBRARY to export them, and programs that use the DLL
 * import them; define TVLR_STATIC when linking a static build instead. */
#if defined(_WIN32) && defined(TVLR_STATIC)
#define TVLR_API
#elif defined(_WIN32) && defined(TVLR_BUILDING_LIBRARY)
#define TVLR_API __declspec(dllexport)
#elif defined(_WIN32)
#define TVLR_API __declspec(dllimport)
#elif defined(__GNUC__) || defined(__clang__)
#define TVLR_API __attribute__((visibility("default")))
#else
#define TVLR_API
#endif

/* The library version; equal to the version of the build (project() in
 * CMakeLists.txt, checked when the build is configured). */
#define TVLR_VERSION_MAJOR 0
#define TVLR_VERSION_MINOR 1
#define TVLR_VERSION_PATCH 0
#define TVLR_VERSION_STRING "0.1.0"

#ifdef __cplusplus
extern "C" {
#endif

/* The version of the library that is loaded, "MAJOR.MINOR.PATCH"; compare it
 * with TVLR_VERSION_STRING to detect a header/library mismatch. */
TVLR_API const char *tvlr_version(void);

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
    uint32_t base;    /* tvl_base_unit */
    int32_t exponent; /* tvl_exponent */
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

/* Error codes shared by the reader and the writer. */
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

/* ======================================================================
 * Text tokens: lexical validators and the escape table
 * ====================================================================== */

/* True when the length bytes at text are well-formed UTF-8 (true for a
 * length of 0; a NUL byte inside the length is a valid character). */
TVLR_API bool tvl_validate_string(const char *text, uint64_t length);

/* True when text is a member name: a name-start byte (A-Z a-z _ or
 * 0xC3..0xF4) followed by name bytes (also 0-9 + - and 0x80..0xFF except
 * 0xC2), all well-formed UTF-8. False for null and for "". */
TVLR_API bool tvl_validate_identifier(const char *text);

/* True when text is a symbol; the same rule as tvl_validate_identifier. */
TVLR_API bool tvl_validate_symbol(const char *text);

/* True when text is a reference: one or more segments ".name" with the
 * byte rules of identifiers, as in ".config.limits.max"; the whole text
 * must be well-formed UTF-8. False for null, "" and text without a
 * leading point. */
TVLR_API bool tvl_validate_reference(const char *text);

/* The constant 256-byte escape table: indexed by the byte after a
 * backslash, the byte the pair stands for, or 0 for no escape. */
TVLR_API const uint8_t *tvl_get_escape_repl_table(void);

/* ======================================================================
 * Number text: digits, range checks, 64-bit integer text
 * ====================================================================== */

/* A parsed type annotation such as <uint:16,_16>, passed by value: the type
 * (TVLR_TYPE_*), the width in bits (0 = none declared) and the base (0 =
 * none; for float_fix the number of fraction bits). */
typedef struct tvl_type_annotation {
    uint32_t value_type;
    uint32_t bits;
    uint32_t base;
} tvl_type_annotation;

/* Numbers are written in bases 2..62, 64 and 85. Bases up to 36 read
 * letters of either case as 10..35; bases 37..62 read a-z as 10..35 and
 * A-Z as 36..61; base 64 uses the RFC 4648 alphabet (A-Z a-z 0-9 + /) and
 * base 85 the bytes '!'..'u'. */

/* The value of byte c as a digit of base, or a value >= base when c is
 * not a digit of that base. */
TVLR_API uint32_t tvl_char_to_digit(uint32_t c, uint32_t base);

/* True for exactly "nan", "inf" and "-inf"; false for null. */
TVLR_API bool tvl_is_special_number_string(const char *text);

/* True when text is one optional sign followed by one or more digits of
 * base. */
TVLR_API bool tvl_validate_digits_for_base(const char *text, uint32_t base);

/* True when text is a decimal number: optional '-', digits with at most one
 * point (at least one digit), optional exponent e/E, sign and digits. */
TVLR_API bool tvl_validate_number(const char *text);

/* True when text is a number in base: optional sign, digits of the base
 * with at most one point, then optionally an exponent marker (e/E in bases
 * up to 14, p/P in bases 2, 4, 8, 16) with an optional sign and decimal
 * digits. */
TVLR_API bool tvl_validate_number_in_base(const char *text, uint32_t base);

/* True when text fits an unsigned integer of bits (a width of 0 or a null
 * text pass). Special numbers pass; otherwise one optional '+' and digits
 * of base only. */
TVLR_API bool tvl_validate_uint_range(const char *text, uint32_t bits, uint32_t base);

/* True when text fits a two's-complement integer of bits (a width of 0 or a
 * null text pass). Special numbers pass; otherwise one optional sign and
 * digits of base only. */
TVLR_API bool tvl_validate_sint_range(const char *text, uint32_t bits, uint32_t base);

/* Read a whole text as a 64-bit integer in the annotation's base (10 when
 * it is 0 and for float_fix and float_dec). In bases 2 to 36 the C library's
 * conventions apply (leading white space, an optional sign, "0x" in base 16),
 * except that the unsigned form refuses a minus sign; other bases take one
 * leading '-' (signed) or '+' (unsigned), then digits only. The output is
 * written only on success. */
TVLR_API bool tvl_parse_int64(const char *text, tvl_type_annotation annotation, int64_t *out);
TVLR_API bool tvl_parse_uint64(const char *text, tvl_type_annotation annotation, uint64_t *out);

/* Write value in base (2..62, 64, 85) with at least min_digits digits
 * (capped at 64) and a NUL; return the length without the NUL, or -1 with
 * the buffer untouched. The signed form puts '-' before the digits. A text
 * whose first digit would read as a sign ('+' in base 64, '+' or '-' in
 * base 85) gets one zero digit in front: 62 in base 64 is "A+". */
TVLR_API int tvl_format_uint64(char *buf, size_t size, uint64_t value, uint32_t base,
                               uint32_t min_digits);
TVLR_API int tvl_format_int64(char *buf, size_t size, int64_t value, uint32_t base,
                              uint32_t min_digits);

/* The number of digits of the largest value of a numeric type of 1..64
 * bits in its base (10 for base 0, float_fix and float_dec); 0 for other
 * types and widths. */
TVLR_API uint32_t tvl_min_digits_for_type(tvl_type_annotation annotation);

/* True when the text holds '.', 'e', 'E', 'p' or 'P'; false for null. */
TVLR_API bool tvl_looks_like_double(const char *text);
/* The nearest double to the text in the annotation's base (10 for float_fix,
 * float_dec and base 0, else 10 or 16); false when it cannot be read. */
TVLR_API bool tvl_parse_double(const char *text, tvl_type_annotation annotation, double *out);
/* The same with an explicit base, 10 or 16. */
TVLR_API bool tvl_parse_double_in_base(const char *text, uint32_t base, double *out);
/* value as tvl_float_to_str writes it at a precision of annotation.bits
 * (1..64, else 64), in the base parsing would use; -1 when it cannot. */
TVLR_API int tvl_format_double(char *buf, size_t size, tvl_type_annotation annotation,
                               double value);

/* ======================================================================
 * Type annotations
 * ====================================================================== */

/* Parses the length bytes between '<' and '>' of a type annotation: a type
 * word ("utf8", "sint", "uint", "float", "float_fix", "float_dec", "bool"),
 * then optionally ':' and comma-separated parameters: a width ("16"), a
 * base ("_16"), fraction bits of float_fix ("q12") or a unit ("m/s",
 * "no_unit"). Returns the type, width and base as read.
 *   ok             false when the annotation is not valid
 *   unit_ok        false when a unit parameter did not parse or was too long
 *   unit_too_long  true when a unit parameter was longer than 255 bytes
 *   unit           the unit; all zero without one and for "no_unit"
 *   unit_text      caller's buffer of at least 256 bytes: the unit text with
 *                  a NUL, written only when there is a unit parameter
 *   unit_text_len  its length; 0 without one
 * Any out pointer may be null. A null or empty text gives ok false and an
 * all-zero record. */
TVLR_API tvl_type_annotation tvl_parse_type_annotation(const char *text, uint32_t length, bool *ok,
                                                       bool *unit_ok, bool *unit_too_long,
                                                       tvl_unit *unit, char *unit_text,
                                                       uint8_t *unit_text_len);

/* ======================================================================
 * Sources, sinks and the streaming reader
 * ====================================================================== */

typedef struct tvlr_source tvlr_source;

/* Reads up to cap bytes into dst and stores the count (0 = end of input);
 * false is a read failure. The first argument points at the reader's copy
 * of the source record. */
typedef bool (*tvlr_read_fn)(tvlr_source *src, uint8_t *dst, uint32_t cap, uint32_t *count);

/* A source record; the reader copies it when it is opened. */
struct tvlr_source {
    tvlr_read_fn read;      /* required */
    int32_t fd;             /* descriptor source: the descriptor */
    const uint8_t *data;    /* memory source: the next unread byte */
    uint64_t remaining;     /* memory source: the bytes left */
    uint8_t user_state[32]; /* free for custom sources */
};

typedef struct tvlr_sink tvlr_sink;

/* Takes all len bytes (true) or fails; the first argument points at the
 * writing object's copy of the sink record. */
typedef bool (*tvlr_write_fn)(tvlr_sink *sink, const uint8_t *data, uint32_t len);
typedef bool (*tvlr_finish_fn)(tvlr_sink *sink);

/* A sink record; the reader's echo, the writer and the observer each copy it
 * when they are opened and write through their copy. */
struct tvlr_sink {
    tvlr_write_fn write;   /* required */
    tvlr_finish_fn finish; /* optional; called by tvlr_write_finish */
    int32_t fd;            /* descriptor sink: the descriptor */
    uint8_t direct;        /* memory sink: the writer passes bytes unbuffered */
    uint8_t *cursor;       /* memory sink: where the next byte goes */
    uint64_t remaining;    /* memory sink: the bytes still free */
    uint64_t delivered;    /* bytes accepted; the built-in sinks count them */
    uint8_t reserved[16];  /* not read by the library */
};

/* Error callback: the code, its line (from 1), column (the character's
 * position on the line, tab stops every 4), the offending byte (0 when none)
 * and the byte offset. */
typedef void (*tvlr_error_fn)(void *user, uint32_t code, uint64_t line, uint64_t column,
                              uint32_t byte, uint64_t offset);

/* Reader options; a zero limit selects its default. */
typedef struct tvlr_reader_options {
    uint16_t max_identifier_len;  /* 255 */
    uint16_t max_string_len;      /* 65535 */
    uint16_t max_number_len;      /* 65535 */
    uint16_t max_symbol_len;      /* 255 */
    uint16_t max_reference_len;   /* 65535 */
    uint64_t max_array_items;     /* 2147483647 */
    uint64_t max_text_bytes;      /* 2147483647 */
    uint64_t max_file_bytes;      /* 2147483647 */
    uint8_t max_struct_depth;     /* 64 */
    uint8_t max_array_depth;      /* 64 */
    void *user_data;              /* first argument of all three callbacks */
    tvlr_event_fn on_event;       /* gets each event first */
    tvlr_event_fn on_event_after; /* then this one */
    uint8_t recover;              /* non-zero: skip to the next member after an error */
    tvlr_error_fn on_error;
} tvlr_reader_options;

typedef struct tvlr_reader tvlr_reader;

/* A new zeroed reader, or null when memory is short. */
TVLR_API tvlr_reader *tvlr_reader_create(void);
/* Releases the reader and its buffers; null is ignored. */
TVLR_API void tvlr_reader_destroy(tvlr_reader *reader);

/* Fills the record (every other field zero) as a memory source over length
 * bytes at data, which must stay valid and unchanged until the read ends.
 * Null data with length 0 is an empty input; null data with a non-zero
 * length gives a source that opening refuses. A null record is ignored. */
TVLR_API void tvlr_source_from_mem(tvlr_source *src, const void *data, uint64_t length);
/* Fills the record as a source that reads the descriptor, repeating reads
 * that a signal interrupts; the descriptor is not closed. Null is ignored. */
TVLR_API void tvlr_source_from_fd(tvlr_source *src, int32_t fd);

/* Fills the record as a memory sink over capacity bytes at buffer (0 for a
 * null buffer): a write that does not fit fails and copies nothing; no NUL
 * is added. A null record is ignored. */
TVLR_API void tvlr_sink_to_mem(tvlr_sink *sink, void *buffer, uint64_t capacity);
/* Fills the record as a descriptor sink: writes until all bytes are taken,
 * repeating interrupted calls; a write that takes nothing fails (ENOSPC).
 * The descriptor is neither synchronised nor closed. Null is ignored. */
TVLR_API void tvlr_sink_to_fd(tvlr_sink *sink, int32_t fd);
/* The record's delivered count; 0 for null. A writer or an observer counts
 * in its own copy of the sink: ask it with tvlr_writer_bytes_written or
 * tvlr_canon_observer_bytes_written. */
TVLR_API uint64_t tvlr_sink_bytes_written(const tvlr_sink *sink);

/* Opens the reader over a copy of the source, clearing what an earlier
 * opening left. echo (may be null; ignored without a write callback) gets a
 * copy of every byte the reader consumes. options may be null: default
 * limits, no callbacks. False for a null reader, a null source or one
 * without read callback, a memory source with null data and a non-zero
 * length (the reader then holds error 28), short memory, and a call from
 * inside one of this reader's callbacks while it reads (nothing changes). */
TVLR_API bool tvlr_open_read_source(tvlr_reader *reader, const tvlr_source *src,
                                    const tvlr_sink *echo, const tvlr_reader_options *options);
/* Opens over a memory source on data, with a memory echo sink when both
 * echo_buffer and echo_capacity are non-zero; false as above. */
TVLR_API bool tvlr_open_read_mem(tvlr_reader *reader, const void *data, uint64_t length,
                                 void *echo_buffer, uint64_t echo_capacity,
                                 const tvlr_reader_options *options);

/* Reads the whole input and delivers its events, each to on_event and then
 * on_event_after; true when the input was complete and doc_end accepted.
 * With recover set, errors are reported to on_error and the read goes on at
 * the next member. One read per opening: false for a null reader, a reader
 * not opened, or a call from inside its own callbacks. */
TVLR_API bool tvlr_read(tvlr_reader *reader);

/* The last error: its code (0 after a read that reached doc_end, also when
 * it recovered), line, column, offending byte (0 when none) and byte offset,
 * and the number of recoveries of the last read; all 0 for a null reader. */
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

typedef struct tvlr_writer tvlr_writer;

/* A new zeroed writer, or null when memory is short. */
TVLR_API tvlr_writer *tvlr_writer_create(void);
/* Releases the writer without writing anything more; null is ignored. */
TVLR_API void tvlr_writer_destroy(tvlr_writer *writer);

/* Opens (and clears) the writer over a copy of the sink; pretty selects tabs
 * and line feeds. options may be null (depth limits 64). False, with the
 * writer untouched, for a null writer, a null sink or a sink without write. */
TVLR_API bool tvlr_open_write_sink(tvlr_writer *writer, const tvlr_sink *sink, bool pretty,
                                   const tvlr_writer_options *options);
/* Opens over a memory sink on the buffer; false for a null writer or buffer. */
TVLR_API bool tvlr_open_write_mem(tvlr_writer *writer, void *buffer, uint64_t capacity, bool pretty,
                                  const tvlr_writer_options *options);

/* Writes the pending ';', hands the buffered bytes to the sink and calls its
 * finish callback. False with error 18 while structs or arrays are open. */
TVLR_API bool tvlr_write_finish(tvlr_writer *writer);

/* The first error (28 for a null writer), its byte offset, the byte count
 * (bytes delivered to the sink plus bytes buffered) and the unit flags. */
TVLR_API uint32_t tvlr_writer_get_error(const tvlr_writer *writer);
TVLR_API uint64_t tvlr_writer_get_error_offset(const tvlr_writer *writer);
TVLR_API uint64_t tvlr_writer_bytes_written(const tvlr_writer *writer);
TVLR_API uint32_t tvlr_writer_unit_flags(const tvlr_writer *writer);

/* Checks one event, writes it and passes it to on_event. False means the
 * writer now holds an error; the first error sticks. A refused event leaves
 * the output as it was. Every event that is accepted gives text that the
 * reader reads back with the same values; a unit that no annotation declares
 * is written as a suffix after a number or string outside arrays. */
TVLR_API bool tvlr_write_event(tvlr_writer *writer, uint32_t kind, const tvlr_event *event);

/* Convenience calls: a member name, then one value (string, bare symbol,
 * null, boolean) or struct_start; and struct_end. */
TVLR_API bool tvlr_write_string(tvlr_writer *writer, const char *name, const char *text);
TVLR_API bool tvlr_write_plain(tvlr_writer *writer, const char *name, const char *text);
TVLR_API bool tvlr_write_null(tvlr_writer *writer, const char *name);
TVLR_API bool tvlr_write_bool(tvlr_writer *writer, const char *name, bool value);
TVLR_API bool tvlr_write_struct_start(tvlr_writer *writer, const char *name);
TVLR_API bool tvlr_write_struct_end(tvlr_writer *writer);

/* Typed values. Each call writes the member name, the annotation and one
 * value, every event checked as by tvlr_write_event; a value refused after
 * its annotation leaves name and annotation written. The _unit twins add the
 * unit as the last annotation parameter and on the value. */
struct tvl_float;
struct tvl_int;
/* An annotation <type:bits,base|fraction,unit>; parameters that are 0 (or
 * base 10) are left out; a unit of one factor of identifier 0 means none. */
TVLR_API bool tvlr_write_type_annotation(tvlr_writer *writer, tvl_type_annotation annotation,
                                         tvl_unit unit);
/* 64-bit integers in decimal; the value must fit bits (0 = no width). */
TVLR_API bool tvlr_write_uint(tvlr_writer *writer, const char *name, int bits, uint64_t value);
TVLR_API bool tvlr_write_uint_unit(tvlr_writer *writer, const char *name, int bits,
                                   uint64_t value, tvl_unit unit);
TVLR_API bool tvlr_write_sint(tvlr_writer *writer, const char *name, int bits, int64_t value);
TVLR_API bool tvlr_write_sint_unit(tvlr_writer *writer, const char *name, int bits,
                                   int64_t value, tvl_unit unit);
/* A double as the shortest decimal that reads back to the same value at a
 * precision of 16 or 32 bits for those widths (the double is first rounded
 * to binary32) and of 64 bits for 0, 64, 128 and 256, so that a reader of
 * the annotated width gets the double exactly: 0.5 is "5e-1", 1.72 is
 * "1.7199999999999999734e+0". Other widths give error 28. */
TVLR_API bool tvlr_write_float(tvlr_writer *writer, const char *name, unsigned bits,
                               double value);
TVLR_API bool tvlr_write_float_unit(tvlr_writer *writer, const char *name, unsigned bits,
                                    double value, tvl_unit unit);
TVLR_API bool tvlr_write_float_fix(tvlr_writer *writer, const char *name, unsigned bits,
                                   int fraction_bits, double value);
TVLR_API bool tvlr_write_float_fix_unit(tvlr_writer *writer, const char *name, unsigned bits,
                                        int fraction_bits, double value, tvl_unit unit);
TVLR_API bool tvlr_write_float_dec(tvlr_writer *writer, const char *name, unsigned bits,
                                   double value);
TVLR_API bool tvlr_write_float_dec_unit(tvlr_writer *writer, const char *name, unsigned bits,
                                        double value, tvl_unit unit);
/* A big float as <float:bits> (bits 0: its precision) in base 10, or with
 * tvlf_base in base 16 as a string ("1p+0"; nan and infinities stay numbers). */
TVLR_API bool tvlr_write_tvlf(tvlr_writer *writer, const char *name, const struct tvl_float *value,
                              int bits);
TVLR_API bool tvlr_write_tvlf_unit(tvlr_writer *writer, const char *name,
                                   const struct tvl_float *value, int bits, tvl_unit unit);
TVLR_API bool tvlr_write_tvlf_base(tvlr_writer *writer, const char *name,
                                   const struct tvl_float *value, int bits, int base);
TVLR_API bool tvlr_write_tvlf_base_unit(tvlr_writer *writer, const char *name,
                                        const struct tvl_float *value, int bits, int base,
                                        tvl_unit unit);
/* A big integer as sint (negative) or uint in base (0 = 10); digits in any
 * base but 10 are written as a string value. */
TVLR_API bool tvlr_write_tvli(tvlr_writer *writer, const char *name, const struct tvl_int *value,
                              int bits, unsigned base);
TVLR_API bool tvlr_write_tvli_unit(tvlr_writer *writer, const char *name,
                                   const struct tvl_int *value, int bits, unsigned base,
                                   tvl_unit unit);

/* ======================================================================
 * Canonical observer
 * ====================================================================== */

/* The canonical observer: install tvlr_canon_observer_on_event as a
 * reader's on_event with the observer as user_data; every event is written
 * in canonical form into a copy of the sink. */
typedef struct tvlr_canon_observer tvlr_canon_observer;

/* Null for a null sink, a sink without write, or when memory is short. */
TVLR_API tvlr_canon_observer *tvlr_canon_observer_create(const tvlr_sink *sink, bool pretty);
/* False only when the sink failed; true for a null observer. */
TVLR_API bool tvlr_canon_observer_on_event(void *observer, uint32_t kind, tvlr_event *event);
/* Writes the pending ';' and hands the buffered bytes to the sink; true for
 * a null observer. Does not call the sink's finish callback. */
TVLR_API bool tvlr_canon_observer_finish(tvlr_canon_observer *observer);
/* Releases the observer; bytes still buffered are dropped (call finish
 * first). Null is ignored. */
TVLR_API void tvlr_canon_observer_destroy(tvlr_canon_observer *observer);
/* Bytes written so far: those handed to the sink plus those still in the
 * observer's buffer (what the sink holds once finish succeeds); 0 for null. */
TVLR_API uint64_t tvlr_canon_observer_bytes_written(const tvlr_canon_observer *observer);

/* ======================================================================
 * Document tree
 * ====================================================================== */

struct tvl_int;

/* Node types. */
enum {
    TVL_DOM_NULL = 0,
    TVL_DOM_INT = 1,       /* 64-bit value; a big integer when annotation.bits > 64 */
    TVL_DOM_FLOAT = 2,     /* double */
    TVL_DOM_STRING = 3,    /* bytes with a NUL after them; length without it */
    TVL_DOM_SYMBOL = 4,    /* as a string */
    TVL_DOM_REFERENCE = 5, /* as a string: the target without the leading '&' */
    TVL_DOM_STRUCT = 6,    /* named members in entries */
    TVL_DOM_ARRAY = 7,     /* elements in items */
    TVL_DOM_OCTETS = 8,    /* bytes (not terminated), null when length is 0 */
    TVL_DOM_BOOL = 9       /* 0 or 1 */
};

#define TVL_DOM_MAX_DIMS 8

typedef struct tvl_dom_node tvl_dom_node;

/* A named member: the entry owns the NUL-terminated name and the node. */
typedef struct tvl_dom_entry {
    char *name;
    tvl_dom_node *node;
} tvl_dom_entry;

/* One value of the tree; the node owns its bytes, big integer, members and
 * elements. A 64-bit integer reads unsigned when annotation.value_type is
 * TVLR_TYPE_UINT and signed otherwise. Entry and item arrays grow 0, 8, 16,
 * ... by doubling. */
struct tvl_dom_node {
    uint32_t type; /* TVL_DOM_* */
    tvl_type_annotation annotation;
    tvl_unit unit;
    union {
        int64_t i64;         /* TVL_DOM_INT (signed), TVL_DOM_BOOL */
        uint64_t u64;        /* TVL_DOM_INT (uint) */
        double f64;          /* TVL_DOM_FLOAT */
        struct tvl_int *big; /* TVL_DOM_INT with annotation.bits > 64 */
        char *bytes;         /* string, symbol, reference, octets */
    } value;
    uint32_t length; /* bytes of a string, symbol, reference or octets */
    tvl_dom_entry *entries;
    uint32_t entry_count;
    uint32_t entry_capacity;
    tvl_dom_node **items;
    uint32_t item_count;
    uint32_t item_capacity;
    uint32_t dims;                    /* arrays read from text: rows, 1..8; 0 when made by hand */
    uint32_t sizes[TVL_DOM_MAX_DIMS]; /* row lengths (the 8th holds the last of more rows) */
};

/* A document: its top-level members in the order of addition, and the error
 * code of the read that built it (0 when it read without error). */
typedef struct tvl_dom_doc {
    tvl_dom_entry *entries;
    uint32_t count;
    uint32_t capacity;
    uint32_t parse_error;
} tvl_dom_doc;

/* A new empty document, or null when memory is short. */
TVLR_API tvl_dom_doc *tvl_dom_doc_create(void);
/* Frees the document with every member; null is ignored. */
TVLR_API void tvl_dom_doc_destroy(tvl_dom_doc *doc);

/* A new zeroed node of the type with the neutral unit, or null. */
TVLR_API tvl_dom_node *tvl_dom_node_alloc(uint32_t type);
/* Frees the node and everything it owns, with constant stack depth however
 * deep the tree, and without allocating; null is ignored. */
TVLR_API void tvl_dom_node_destroy(tvl_dom_node *node);

/* New integer nodes: sint (or uint) of the argument's width, base 0, no unit
 * (count 0); null when memory is short. */
TVLR_API tvl_dom_node *tvl_dom_node_from_i64(int64_t value);
TVLR_API tvl_dom_node *tvl_dom_node_from_i32(int32_t value);
TVLR_API tvl_dom_node *tvl_dom_node_from_i16(int16_t value);
TVLR_API tvl_dom_node *tvl_dom_node_from_i8(int8_t value);
TVLR_API tvl_dom_node *tvl_dom_node_from_u64(uint64_t value);
TVLR_API tvl_dom_node *tvl_dom_node_from_u32(uint32_t value);
TVLR_API tvl_dom_node *tvl_dom_node_from_u16(uint16_t value);
TVLR_API tvl_dom_node *tvl_dom_node_from_u8(uint8_t value);
/* A new integer node that takes ownership of the big integer (freed with
 * tvl_int_free). Null, without taking it, for a null or unusable pointer, bits
 * of 64 or less, a type other than sint or uint, or short memory. */
TVLR_API tvl_dom_node *tvl_dom_node_from_bigint(struct tvl_int *value,
                                                tvl_type_annotation annotation, tvl_unit unit);

/* A new NUL-terminated copy of length bytes (null bytes with length 0 give
 * ""), or null; release it with tvl_dom_free_string. */
TVLR_API char *tvl_dom_strdup(const char *bytes, uint32_t length);
TVLR_API void tvl_dom_free_string(char *text);

/* Append a member (with a copy of the name) to a document or a struct node,
 * or an element to an array node. False when an argument is null or not of
 * that kind, or memory is short: the node is then destroyed and the
 * container is unchanged. A node added to itself is refused and kept. */
TVLR_API bool tvl_dom_doc_add(tvl_dom_doc *doc, const char *name, uint32_t name_len,
                              tvl_dom_node *node);
TVLR_API bool tvl_dom_struct_add(tvl_dom_node *node, const char *name, uint32_t name_len,
                                 tvl_dom_node *member);
TVLR_API bool tvl_dom_array_append(tvl_dom_node *node, tvl_dom_node *item);

/* The document's members, their count, and the error code of its read. */
TVLR_API const tvl_dom_entry *tvl_dom_doc_entries(const tvl_dom_doc *doc);
TVLR_API uint32_t tvl_dom_doc_count(const tvl_dom_doc *doc);
TVLR_API uint32_t tvl_dom_doc_get_parse_error(const tvl_dom_doc *doc);

/* The node's type (0 for null); true for a TVL_DOM_NULL node only. */
TVLR_API uint32_t tvl_dom_node_type(const tvl_dom_node *node);
TVLR_API bool tvl_dom_is_null(const tvl_dom_node *node);

/* The first member of a struct with exactly this name, or null. */
TVLR_API tvl_dom_node *tvl_dom_struct_get(const tvl_dom_node *node, const char *name);
/* A struct's members and their count; null and 0 for anything else. */
TVLR_API uint32_t tvl_dom_struct_count(const tvl_dom_node *node);
TVLR_API const tvl_dom_entry *tvl_dom_struct_entries(const tvl_dom_node *node);
/* An array's element count, rows (dims), and element at index; 0 or null
 * for anything else or an index beyond the count. */
TVLR_API uint32_t tvl_dom_array_count(const tvl_dom_node *node);
TVLR_API uint32_t tvl_dom_array_dims(const tvl_dom_node *node);
TVLR_API tvl_dom_node *tvl_dom_array_at(const tvl_dom_node *node, uint32_t index);

/* The node at a dotted path of member names ("a.b.c", one leading '.'
 * allowed, segments of 1..255 bytes, structs only in between), or null. */
TVLR_API tvl_dom_node *tvl_dom_lookup(const tvl_dom_doc *doc, const char *path);

/* The node's annotation (all zero for null) and unit (neutral for null);
 * the unit as text (tvl_unit_to_string), -1 for a null node. */
TVLR_API tvl_type_annotation tvl_dom_get_value_type(const tvl_dom_node *node);
TVLR_API tvl_unit tvl_dom_get_unit(const tvl_dom_node *node);
TVLR_API int tvl_dom_get_unit_string(const tvl_dom_node *node, char *buffer, size_t size);

/* Typed reads: true with *out set when the node has the kind (and the value
 * fits the target); false otherwise, with *out untouched. tvl_dom_get_float
 * also converts integers (big ones only within the signed 64-bit range). */
TVLR_API bool tvl_dom_get_bool(const tvl_dom_node *node, bool *out);
TVLR_API bool tvl_dom_get_float(const tvl_dom_node *node, double *out);
TVLR_API bool tvl_dom_get_i64(const tvl_dom_node *node, int64_t *out);
TVLR_API bool tvl_dom_get_u64(const tvl_dom_node *node, uint64_t *out);
TVLR_API bool tvl_dom_get_i32(const tvl_dom_node *node, int32_t *out);
TVLR_API bool tvl_dom_get_u32(const tvl_dom_node *node, uint32_t *out);
TVLR_API bool tvl_dom_get_i16(const tvl_dom_node *node, int16_t *out);
TVLR_API bool tvl_dom_get_u16(const tvl_dom_node *node, uint16_t *out);
TVLR_API bool tvl_dom_get_i8(const tvl_dom_node *node, int8_t *out);
TVLR_API bool tvl_dom_get_u8(const tvl_dom_node *node, uint8_t *out);
/* The node's own bytes (valid while it lives) and, when length is not null,
 * their count; for a string, symbol, reference or octets node respectively. */
TVLR_API bool tvl_dom_get_string(const tvl_dom_node *node, const char **out, uint32_t *length);
TVLR_API bool tvl_dom_get_symbol(const tvl_dom_node *node, const char **out, uint32_t *length);
TVLR_API bool tvl_dom_get_reference(const tvl_dom_node *node, const char **out,
                                    uint32_t *length);
TVLR_API bool tvl_dom_get_octets(const tvl_dom_node *node, const uint8_t **out, uint32_t *length);
/* The big integer of an integer node with bits > 64 (the node keeps it), or
 * null. */
TVLR_API const struct tvl_int *tvl_dom_get_bigint(const tvl_dom_node *node);

/* An integer node's value as new text in base (2..62, 64, 85), "-" before a
 * negative one; null for other nodes, bad bases or short memory. Release it
 * with tvl_dom_free_string. */
TVLR_API char *tvl_dom_int_to_str(const tvl_dom_node *node, uint32_t base);

/* A number node's value in coherent SI units (value * factor + offset of its
 * unit; 20 degC gives 293.15); 0 for other nodes, big integers beyond the
 * signed 64-bit range, and units without an SI factor (currencies). */
TVLR_API double tvl_dom_get_value_in_base_units(const tvl_dom_node *node);

/* Reads a whole document into a new tree (depth limits 255). A document that
 * fails to read is still returned with what was read before the failure and
 * the error code in parse_error. Null only when memory is short or the bytes
 * cannot be read (null data with a non-zero length). */
TVLR_API tvl_dom_doc *tvl_dom_parse(const void *data, uint32_t length);
/* Reads the descriptor to its end (at most max bytes; 0 or above 256 MiB
 * means 256 MiB), then parses the bytes; null when reading fails, the input
 * is longer than the limit, or memory is short. The descriptor stays open. */
TVLR_API tvl_dom_doc *tvl_dom_parse_fd_ex(int32_t fd, uint64_t max);
TVLR_API tvl_dom_doc *tvl_dom_parse_fd(int32_t fd);

/* ======================================================================
 * Units and currencies
 * ====================================================================== */

/* Parses unit text of `length` bytes (not terminated): factors joined by
 * "*", "\xC2\xB7" or "/", each an optional prefix with "~", a unit name or
 * currency code and an optional exponent. *ok is false for text that is no
 * valid unit; the result then holds the factors parsed before the fault. */
TVLR_API tvl_unit tvl_parse_unit_n(const char *text, uint32_t length, bool *ok);

/* True when both units have the same count and the same factors, slot by
 * slot (no normalisation: "m*s" differs from "s*m"). */
TVLR_API bool tvl_unit_equal(tvl_unit a, tvl_unit b);

/* Unit identifiers: 0 no unit, 1..133 and 348..377 units, 134..347
 * currencies (134..297 fiat, 298..347 crypto). */
enum {
    TVL_UNIT_NONE = 0,
    TVL_UNIT_BIT = 1,
    TVL_UNIT_BYTE = 2,
    TVL_UNIT_CURRENCY_FIRST = 134,
    TVL_UNIT_FIAT_LAST = 297,
    TVL_UNIT_CRYPTO_FIRST = 298,
    TVL_UNIT_CURRENCY_LAST = 347,
    TVL_UNIT_ID_MAX = 377
};

/* Flags of tvl_unit_to_string_ex. */
enum {
    TVL_UNIT_FMT_REDUCE = 1, /* reduce and use a named SI unit where exact */
    TVL_UNIT_FMT_ASCII = 2   /* "*" as joiner, exponents as "^2", "^-1" */
};

/* Same as tvl_parse_unit_n on a NUL-terminated text; null gives *ok false. */
TVLR_API tvl_unit tvl_parse_unit(const char *text, bool *ok);

/* Writes the canonical unit text ("k~g\xC2\xB7m/s\xC2\xB2", "no_unit") with
 * a NUL; returns its length without the NUL, or -1 for an invalid unit or a
 * buffer that is too small. */
TVLR_API int tvl_unit_to_string(char *buffer, size_t size, tvl_unit unit);

/* count 0..8, every factor in use with a non-zero exponent and a prefix
 * that its unit allows. */
TVLR_API bool tvl_unit_valid(tvl_unit unit);
TVLR_API bool tvl_prefix_unit_valid(tvl_prefix prefix, tvl_base_unit base);

/* Product of the prefix factors ("k~m\xC2\xB2" gives 1e6) and sum of the
 * prefix powers (of ten or two) over the factors in use. Factors whose
 * exponent is 0 or outside -9..9 are skipped. */
TVLR_API double tvl_unit_prefix_factor(tvl_unit unit);
TVLR_API int tvl_unit_prefix_exponent(tvl_unit unit);

/* Both give the argument when it lies in -9..9, else 0 (TVL_EXP_INVALID). */
TVLR_API int tvl_exponent_to_int(tvl_exponent e);
TVLR_API tvl_exponent tvl_int_to_exponent(int v);

/* Factor to coherent SI units (kelvin = value * factor + *offset when
 * *has_offset). *ok false for currencies, bad prefixes or exponents, and
 * affine units used other than alone with exponent 1. */
TVLR_API double tvl_unit_to_si_factor(bool *has_offset, double *offset, bool *ok, tvl_unit unit);

/* Exponents of length, mass, time, current, temperature, amount and
 * luminous intensity; false for currencies and invalid factors. */
TVLR_API bool tvl_unit_dimension_vector(int32_t dimension[7], tvl_unit unit);

/* Same dimension and the same bit and byte exponents; currencies are
 * compatible with nothing. */
TVLR_API bool tvl_units_compatible(tvl_unit a, tvl_unit b);

/* value in `to` = value in `from` * result. *affine is set when an affine
 * temperature scale is involved; a conversion that would need an offset
 * gives *ok false. */
TVLR_API double tvl_unit_convert_factor(bool *ok, bool *affine, tvl_unit from, tvl_unit to);

/* Merges factors of the same unit and moves prefixes into *factor:
 * value in unit = value in result * *factor. *lossy (may be null) is set
 * when something could not be kept in the result. */
TVLR_API tvl_unit tvl_unit_reduce(double *factor, bool *lossy, tvl_unit unit);

/* tvl_unit_to_string with TVL_UNIT_FMT_* flags. With TVL_UNIT_FMT_REDUCE the
 * text always denotes exactly the given unit: a named unit replaces it only
 * at the same scale and never for bits, bytes or currencies. */
TVLR_API int tvl_unit_to_string_ex(char *buffer, size_t size, uint32_t flags, tvl_unit unit);

/* Currency record; the row for identifier i is i - 134. */
typedef struct tvl_currency {
    char code[6];       /* 3 or 4 letters A..Z, NUL padded */
    uint16_t numeric;   /* ISO numeric code; 0 for crypto-currencies */
    uint8_t minor_unit; /* digits after the decimal point */
    uint8_t is_crypto;
    char name[48]; /* English name, NUL-terminated */
} tvl_currency;

/* True when the identifier is a currency (134..347), a fiat currency
 * (134..297) or a crypto-currency (298..347). */
TVLR_API bool tvl_unit_is_currency(tvl_base_unit base);
TVLR_API bool tvl_unit_is_fiat(tvl_base_unit base);
TVLR_API bool tvl_unit_is_crypto(tvl_base_unit base);

/* Identifier of the currency with exactly this code (3 or 4 of A..Z), or 0. */
TVLR_API tvl_base_unit tvl_parse_currency_str(const char *text, uint32_t length);

/* The constant record of a currency, or null for any other identifier. */
TVLR_API const tvl_currency *tvl_currency_info(tvl_base_unit base);

/* minor_unit of a currency with *ok true; 0 and *ok false otherwise. ok may
 * be null. */
TVLR_API uint8_t tvl_currency_minor_unit(tvl_base_unit base, bool *ok);

/* False only for a currency with a prefix that is not decimal. */
TVLR_API bool tvl_currency_prefix_valid(tvl_base_unit base, tvl_prefix prefix);

/* ======================================================================
 * Big integers
 * ====================================================================== */

/* A sign-magnitude integer of 32-bit limbs, least significant limb first, of at
 * most 1024 limbs (32768 bits). In normal form the top used limb is nonzero and
 * zero has length 0 and negative clear. A record with `owned` set may enlarge
 * its buffer and tvl_int_free releases it; a record with `owned` clear works in
 * the caller's buffer of `capacity` limbs and never reallocates or frees it. */
typedef struct tvl_int {
    uint32_t *limbs;
    uint32_t capacity;
    uint32_t length;
    uint8_t negative;
    uint8_t owned;
} tvl_int;

/* Lifetime and state: a new owned zero (null when memory is short), release
 * (null ignored), set to zero, strip leading zero limbs, test for zero, and
 * a copy of the value (false when dst cannot hold it). */
TVLR_API tvl_int *tvl_int_alloc(void);
TVLR_API void tvl_int_free(tvl_int *n);
TVLR_API void tvl_int_zero(tvl_int *n);
TVLR_API void tvl_int_norm(tvl_int *n);
TVLR_API bool tvl_int_is_zero(const tvl_int *n);
TVLR_API bool tvl_int_copy(tvl_int *dst, const tvl_int *src);

/* Construction from native integers (the record is set to the value). */
TVLR_API bool tvl_int_from_uint64(tvl_int *n, uint64_t v);
TVLR_API bool tvl_int_from_int64(tvl_int *n, int64_t v);
TVLR_API bool tvl_int_from_uint32(tvl_int *n, uint32_t v);
TVLR_API bool tvl_int_from_int32(tvl_int *n, int32_t v);
TVLR_API bool tvl_int_from_uint16(tvl_int *n, uint16_t v);
TVLR_API bool tvl_int_from_int16(tvl_int *n, int16_t v);
TVLR_API bool tvl_int_from_uint8(tvl_int *n, uint8_t v);
TVLR_API bool tvl_int_from_int8(tvl_int *n, int8_t v);

/* Narrowing; false (and *out untouched) when the value does not fit. */
TVLR_API bool tvl_int_to_uint64(const tvl_int *n, uint64_t *out);
TVLR_API bool tvl_int_to_int64(const tvl_int *n, int64_t *out);
TVLR_API bool tvl_int_to_uint32(const tvl_int *n, uint32_t *out);
TVLR_API bool tvl_int_to_int32(const tvl_int *n, int32_t *out);
TVLR_API bool tvl_int_to_uint16(const tvl_int *n, uint16_t *out);
TVLR_API bool tvl_int_to_int16(const tvl_int *n, int16_t *out);
TVLR_API bool tvl_int_to_uint8(const tvl_int *n, uint8_t *out);
TVLR_API bool tvl_int_to_int8(const tvl_int *n, int8_t *out);

/* Arithmetic in place on the magnitude. tvl_int_div_u32 returns the
 * remainder, or 0xFFFFFFFF for a null record or a zero divisor. */
TVLR_API bool tvl_int_add_u32(tvl_int *n, uint32_t v);
TVLR_API bool tvl_int_mul_u32(tvl_int *n, uint32_t v);
TVLR_API bool tvl_int_mul_pow10(tvl_int *n, int e);
TVLR_API uint32_t tvl_int_div_u32(tvl_int *n, uint32_t d);
TVLR_API bool tvl_int_shl(tvl_int *n, int bits);
TVLR_API void tvl_int_shr(tvl_int *n, int bits);
/* a := |a| - |b|; false when |b| > |a| or a would have to grow. */
TVLR_API bool tvl_int_sub_inplace(tvl_int *a, const tvl_int *b);
/* q := a / b truncated toward zero, r := a - q * b (r has the sign of a);
 * q and r must be records distinct from a, b and each other. */
TVLR_API bool tvl_int_divrem(tvl_int *q, tvl_int *r, const tvl_int *a, const tvl_int *b);

/* Bits and comparison. */
TVLR_API uint32_t tvl_int_bitlen(const tvl_int *n);
TVLR_API bool tvl_int_getbit(const tvl_int *n, int i);
TVLR_API bool tvl_int_setbit(tvl_int *n, int i);
TVLR_API int tvl_int_cmp(const tvl_int *a, const tvl_int *b);

/* Text in bases 2..62, 64 and 85: an optional sign and digits. from_str is
 * false (n unchanged) for other text; to_str writes the text with a NUL and
 * returns its length, or -1 when it does not fit; str_bufsize is a buffer
 * size that holds the text of any value of that many bits. */
TVLR_API bool tvl_int_from_str(tvl_int *n, const char *text, uint32_t base);
TVLR_API int tvl_int_to_str(const tvl_int *n, char *buf, size_t size, uint32_t base);
TVLR_API size_t tvl_int_str_bufsize(uint32_t bits, uint32_t base);

/* ======================================================================
 * Big floats
 * ====================================================================== */

/* A binary floating-point number of `precision` significand bits (1..32768)
 * with a signed 64-bit exponent. A regular number is sign * M * 2^(exponent -
 * precision), where M is the significand (bit i is bit i % 64 of words[i / 64])
 * with bit precision - 1 set and no bit above it: the value lies in
 * [2^(exponent - 1), 2^exponent). Zero, NaN and infinity are marked by the
 * exponent values below; `sign` (+1 or -1) is meaningful for every class and a
 * NaN carries no payload. A record with `owned` set owns `words`, which
 * tvl_float_free releases; every conversion keeps the target's precision and
 * rounds to nearest, ties to even. */
typedef struct tvl_float {
    uint32_t precision;
    int32_t sign;
    int64_t exponent;
    uint64_t *words;
    uint32_t word_count; /* at least ceil(precision / 64) */
    uint8_t owned;
} tvl_float;

#define TVL_FLOAT_EXP_ZERO (-INT64_MAX)    /* -2^63 + 1 */
#define TVL_FLOAT_EXP_NAN (-INT64_MAX + 1) /* -2^63 + 2 */
#define TVL_FLOAT_EXP_INF (-INT64_MAX + 2) /* -2^63 + 3 */
#define TVL_FLOAT_MAX_PRECISION 32768

/* A new record holding +0 with ceil(precision / 64) zeroed words of its own;
 * null for a precision of 0 or above 32768, or when memory is exhausted. */
TVLR_API tvl_float *tvl_float_alloc(uint32_t precision);
/* Releases the words if owned, then the record; null is ignored. */
TVLR_API void tvl_float_free(tvl_float *f);
/* Makes *f hold +0 in the caller's buffer of `count` words (zero-filled,
 * never reallocated or freed); the caller supplies ceil(precision / 64). */
TVLR_API void tvl_float_init_buf(tvl_float *f, uint32_t precision, uint64_t *buf, uint32_t count);

/* Class tests; false for null. tvl_float_is_neg is the sign of any class. */
TVLR_API bool tvl_float_is_nan(const tvl_float *f);
TVLR_API bool tvl_float_is_inf(const tvl_float *f);
TVLR_API bool tvl_float_is_zero(const tvl_float *f);
TVLR_API bool tvl_float_is_regular(const tvl_float *f);
TVLR_API bool tvl_float_is_neg(const tvl_float *f);

/* Class setters: NaN is positive; zero also clears the words. */
TVLR_API void tvl_float_set_nan(tvl_float *f);
TVLR_API void tvl_float_set_inf(tvl_float *f, bool negative);
TVLR_API void tvl_float_set_zero(tvl_float *f, bool negative);

/* dst := src rounded to dst's precision; false for a null or inconsistent
 * record or when memory is exhausted (dst is then unchanged). */
TVLR_API bool tvl_float_copy(tvl_float *dst, const tvl_float *src);
/* f := x rounded to f's precision (exact from 53 bits on); NaN loses its
 * sign and payload. False only for a null or inconsistent record. */
TVLR_API bool tvl_float_from_double(tvl_float *f, double x);
TVLR_API bool tvl_float_from_float(tvl_float *f, float x);

/* Number text in base 10 or 16: leading white space, a sign, then "nan" or
 * "inf" (3 letters, any case) or digits with an optional '.' and exponent
 * ('e' and a power of ten in base 10; 'p' and a power of two in base 16, where
 * a "0x" prefix is allowed); anything after the number is ignored. Results
 * are correctly rounded while the significant digits fit 32768 bits; values
 * beyond about 10^+-9864 saturate to infinity or zero. */

/* f := the text rounded to f's precision; false (f unchanged) for a null
 * argument, another base, malformed text or memory exhaustion. */
TVLR_API bool tvl_float_from_str(tvl_float *f, const char *text, uint32_t base);
/* Zero-fills out[0..n) and writes the IEEE binary encoding of the text for
 * exponent width e (1..30), fraction width m (1..32767) and the bias: bit i
 * is bit i % 32 of out[i / 32]. The output stays +0 for malformed text, bad
 * arguments, memory exhaustion, or n < ceil((1 + e + m) / 32). */
TVLR_API void tvl_float_strtoieee_bin(const char *text, uint32_t base, uint32_t e, uint32_t m,
                                      int32_t bias, uint32_t *out, size_t n);
/* The nearest double to a base-10 text; 0.0 for null or malformed text. */
TVLR_API double tvl_float_strtod(const char *text);

/* f as text: in base 16 every bit ("1.8p+1" is 3), in base 10 the shortest
 * digits that read back at f's precision ("1e-1" for 0.1 at 53 bits); the
 * length, or -1 (in base 10 also for an exponent beyond +-10^9). */
TVLR_API int tvl_float_to_str(const tvl_float *f, char *buf, size_t size, uint32_t base);
/* A buffer size that holds tvl_float_to_str's text at that precision. */
TVLR_API size_t tvl_float_str_bufsize(uint32_t precision, uint32_t base);

/* ======================================================================
 * Big float <-> IEEE binary interchange formats
 * ====================================================================== */

/* A binary format has an exponent width e, a fraction width m (stored bits,
 * without the implicit one) and a bias: fraction in bits 0..m-1, biased
 * exponent in bits m..m+e-1, sign in bit m+e. Wide encodings are arrays of
 * 32-bit words, least significant first (bit i is bit i % 32 of word i / 32);
 * 16-, 32- and 64-bit encodings are native unsigned integers with the same
 * bits. Encoding rounds to nearest, ties to even, with subnormals and
 * overflow to infinity; NaN encodes as the quiet NaN (top fraction bit) with
 * f's sign. */

/* *out := f encoded; a null out is ignored, a null f writes +0. */
TVLR_API void tvl_float_to_bin16(const tvl_float *f, uint16_t *out);
TVLR_API void tvl_float_to_bin32(const tvl_float *f, uint32_t *out);
TVLR_API void tvl_float_to_bin64(const tvl_float *f, uint64_t *out);
/* out[0..4) or out[0..8) := f encoded as binary128 or binary256. */
TVLR_API void tvl_float_to_bin128(const tvl_float *f, uint32_t *out);
TVLR_API void tvl_float_to_bin256(const tvl_float *f, uint32_t *out);
/* Zero-fills out[0..n), then writes f in the format (e, m, bias); a null f
 * leaves +0. Nothing is written beyond n words: when n is below
 * ceil((1 + e + m) / 32) the output stays zero. Exponent widths up to 30
 * and m >= 1 are meaningful. */
TVLR_API void tvl_float_to_ieee_bin(const tvl_float *f, uint32_t e, uint32_t m, int32_t bias,
                                    uint32_t *out, size_t n);
/* *out := f as a native double (the binary64 encoding); false for null, and
 * when memory is exhausted (*out is then a zero with f's sign). */
TVLR_API bool tvl_float_to_double(const tvl_float *f, double *out);
/* *out := f as a native float: a regular value is rounded to a double first
 * and that double to float (two roundings); NaN, infinities and zeros map
 * directly. False for null and, as above, when memory is exhausted. */
TVLR_API bool tvl_float_to_float(const tvl_float *f, float *out);

/* f := the encoded value, rounded to f's precision; a NaN loses its sign and
 * payload. False for a null argument or when memory is exhausted. */
TVLR_API bool tvl_float_from_bin16(tvl_float *f, uint16_t bits);
TVLR_API bool tvl_float_from_bin32(tvl_float *f, uint32_t bits);
TVLR_API bool tvl_float_from_bin64(tvl_float *f, uint64_t bits);
/* From 4 or 8 words. */
TVLR_API bool tvl_float_from_bin128(tvl_float *f, const uint32_t *words);
TVLR_API bool tvl_float_from_bin256(tvl_float *f, const uint32_t *words);
/* From ceil((1 + e + m) / 32) words in the format (e, m, bias). */
TVLR_API bool tvl_float_from_ieee_bin(tvl_float *f, uint32_t e, uint32_t m, int32_t bias,
                                      const uint32_t *words);

/* ======================================================================
 * Big float <-> decimal interchange formats
 * ====================================================================== */

/* The value is (-1)^sign * C * 10^(E - bias) with a binary coefficient C of
 * at most p digits: decimal16 (p 2, bias 24), decimal32 (7, 101), decimal64
 * (16, 398) and decimal128 (34, 6176) in the IEEE binary-integer layout,
 * decimal256 (70, 611867) in a plain layout (20 exponent bits above a
 * 235-bit coefficient; the all-ones exponent marks infinity, or NaN when
 * any coefficient bit is set; the encoder sets bit 234). Encoding rounds to nearest, ties to even,
 * with gradual underflow, clamping and overflow to infinity, and uses the
 * largest exponent at which the value is exact. */

/* *out := f encoded; a null f or out is ignored (nothing written). */
TVLR_API void tvl_float_to_dec16(const tvl_float *f, uint16_t *out);
TVLR_API void tvl_float_to_dec32(const tvl_float *f, uint32_t *out);
TVLR_API void tvl_float_to_dec64(const tvl_float *f, uint64_t *out);
/* out[0..4) or out[0..8) := f encoded as decimal128 or decimal256. */
TVLR_API void tvl_float_to_dec128(const tvl_float *f, uint32_t *out);
TVLR_API void tvl_float_to_dec256(const tvl_float *f, uint32_t *out);

/* f := the encoded value, correctly rounded to f's precision; a coefficient
 * of more than p digits (non-canonical) reads as zero. False for a null
 * argument or when memory is exhausted. */
TVLR_API bool tvl_float_from_dec16(tvl_float *f, uint16_t bits);
TVLR_API bool tvl_float_from_dec32(tvl_float *f, uint32_t bits);
TVLR_API bool tvl_float_from_dec64(tvl_float *f, uint64_t bits);
TVLR_API bool tvl_float_from_dec128(tvl_float *f, const uint32_t *words);
TVLR_API bool tvl_float_from_dec256(tvl_float *f, const uint32_t *words);

/* ======================================================================
 * Big float <-> binary fixed point
 * ====================================================================== */

/* A fixed-point value of width w is a w-bit two's-complement integer X that
 * means X / 2^F for `fraction_bits` F. To fixed point rounds to nearest, ties
 * to even, and keeps the low w bits (out-of-range values wrap, nothing
 * saturates); NaN, infinities, zeros, a null f and exhausted memory give 0.
 * The 128- and 256-bit forms are 4 or 8 words, least significant first. */
TVLR_API int16_t tvl_float_to_fix16(const tvl_float *f, uint32_t fraction_bits);
TVLR_API int32_t tvl_float_to_fix32(const tvl_float *f, uint32_t fraction_bits);
TVLR_API int64_t tvl_float_to_fix64(const tvl_float *f, uint32_t fraction_bits);
/* A null f or out is ignored (nothing written). */
TVLR_API void tvl_float_to_fix128(const tvl_float *f, uint32_t fraction_bits, uint32_t *out);
TVLR_API void tvl_float_to_fix256(const tvl_float *f, uint32_t fraction_bits, uint32_t *out);

/* f := x / 2^fraction_bits (F may be negative), rounded to f's precision.
 * False for a null argument or when memory is exhausted. */
TVLR_API bool tvl_float_from_fix16(tvl_float *f, int16_t x, int32_t fraction_bits);
TVLR_API bool tvl_float_from_fix32(tvl_float *f, int32_t x, int32_t fraction_bits);
TVLR_API bool tvl_float_from_fix64(tvl_float *f, int64_t x, int32_t fraction_bits);
TVLR_API bool tvl_float_from_fix128(tvl_float *f, const uint32_t *words, int32_t fraction_bits);
TVLR_API bool tvl_float_from_fix256(tvl_float *f, const uint32_t *words, int32_t fraction_bits);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* TVLR_H */
