// The reader object: creation, sources, opening, the read loop with its
// chunking and octet streams, the end of input, event delivery, error
// reporting and the getters.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/alloc.h"
#include "core/unit_value.h"
#include "reader/reader_impl.h"
#include "reader/scanner_table.h"

namespace tvl::rd {
namespace {

// ---------------------------------------------------------------------------
// Sources

bool mem_read(tvlr_source *src, uint8_t *dst, uint32_t cap, uint32_t *count) {
    uint64_t n = src->remaining < cap ? src->remaining : cap;
    if (n) std::memcpy(dst, src->data, static_cast<size_t>(n));
    src->data += n;
    src->remaining -= n;
    *count = static_cast<uint32_t>(n);
    return true;
}

bool fd_read(tvlr_source *src, uint8_t *dst, uint32_t cap, uint32_t *count) {
    for (;;) {
        ssize_t n = ::read(src->fd, dst, cap);
        if (n >= 0) {
            *count = static_cast<uint32_t>(n);
            return true;
        }
        if (errno != EINTR) {
            *count = 0;
            return false;
        }
    }
}

bool is_mem_source(const tvlr_reader *r) {
    return r->source.read == &mem_read;
}

// ---------------------------------------------------------------------------
// Opening

void release(tvlr_reader *r) {
    tvl::mem::release(r->array_stack);
    tvl::mem::release(r->token_mem);
    tvl::mem::release(r->chunk_mem);
    r->array_stack = nullptr;
    r->token_mem = r->chunk_mem = nullptr;
    const bool caches_off = r->caches_off;
    std::memset(static_cast<void *>(r), 0, sizeof *r);
    r->caches_off = caches_off;
}

template <typename T>
T or_default(T value, T fallback) {
    return value ? value : fallback;
}

// ---------------------------------------------------------------------------
// Reading

// Reads the next chunk. A memory source is read in place; other sources
// through their callback into the reader's chunk buffer.
bool next_chunk(tvlr_reader *r, const uint8_t *&data, uint32_t &len) {
    if (is_mem_source(r)) {
        uint64_t n = r->source.remaining < kMemChunk ? r->source.remaining : kMemChunk;
        data = r->source.data;
        len = static_cast<uint32_t>(n);
        r->source.data += n;
        r->source.remaining -= n;
        return true;
    }
    len = 0;
    data = r->chunk_mem;
    if (!r->source.read(&r->source, r->chunk_mem, kReadChunk, &len) || len > kReadChunk) {
        report_error(r, TVL_ERR_READING_FROM_SOURCE_FD, 0, r->bytes_read);
        return false;
    }
    return true;
}

bool count_read(tvlr_reader *r, uint64_t n) {
    r->bytes_read += n;
    if (r->bytes_read > r->max_file_bytes) {
        report_error(r, TVL_ERR_FILE_TOO_LONG, 0, r->bytes_read);
        return false;
    }
    return true;
}

bool echo(tvlr_reader *r, const uint8_t *data, size_t len) {
    if (!r->has_echo || len == 0) return true;
    if (!r->echo.write(&r->echo, data, static_cast<uint32_t>(len))) {
        report_error(r, TVL_ERR_WRITING_TO_SINK, 0, r->bytes_read);
        return false;
    }
    return true;
}

// The current chunk of the read loop, shared with the octet-stream reader.
struct Chunk {
    const uint8_t *data = nullptr;
    uint32_t len = 0;
    uint32_t pos = 0;
};

// Bytes taken from the source so far: what was read less what is still
// unscanned in the chunk. Errors of octet streams are reported at this
// offset, so that it does not depend on how the input was chunked.
uint64_t consumed(const tvlr_reader *r, const Chunk &c) {
    return r->bytes_read - (c.len - c.pos);
}

// Reads exactly n bytes of an octet stream into dst: first what is left of
// the chunk, then straight from the source.
bool read_exact(tvlr_reader *r, Chunk &c, uint8_t *dst, uint32_t n) {
    uint32_t have = c.len - c.pos;
    if (have > n) have = n;
    if (have) {
        std::memcpy(dst, c.data + c.pos, have);
        if (!echo(r, c.data + c.pos, have)) return false;
        c.pos += have;
    }
    while (have < n) {
        uint32_t got = 0;
        uint32_t want = n - have;
        if (!r->source.read(&r->source, dst + have, want, &got) || got == 0 || got > want) {
            report_error(r, TVL_ERR_READ_COMPLETE_CHUNK_FAILED, 0, consumed(r, c));
            return false;
        }
        if (!count_read(r, got) || !echo(r, dst + have, got)) return false;
        have += got;
    }
    return true;
}

// Reads the blocks of an embedded octet stream after its NUL byte.
bool read_octets(tvlr_reader *r, Chunk &c) {
    for (;;) {
        uint8_t marker = 0;
        if (!read_exact(r, c, &marker, 1)) return false;
        if (marker == 0) {
            r->token_kind = TK_nothing;
            r->text_len = 0;
            if (!emit(r, TVLR_EV_OCTETS_END, 0, nullptr, 0)) return false;
            r->state = scan::S_after_octets;
            return true;
        }
        if (marker != 1) {
            report_error(r, TVL_ERR_OCTET_STREAM_OUT_OF_SYNC, 0, consumed(r, c));
            return false;
        }
        uint8_t head[2];
        if (!read_exact(r, c, head, 2)) return false;
        uint32_t n = static_cast<uint32_t>(head[0] | head[1] << 8);
        if (n == 0) n = kOctetBlockMax;
        if (!read_exact(r, c, r->text, n)) return false;
        if (!emit(r, TVLR_EV_VALUE, TVL_VK_OCTETS, r->text, n, true)) return false;
    }
}

// The input may end with no struct open in a state that allows it, or in a
// comment that returns to such a state.
bool input_complete(const tvlr_reader *r) {
    if (r->struct_depth != 0) return false;
    const bool in_comment = r->state == scan::S_comment_first || r->state == scan::S_comment;
    const uint32_t s = in_comment ? r->comment_state : r->state;
    return (scan::kStateFacts[s].flags & scan::kMayEnd) != 0;
}

// The read itself: doc_start, the chunks with their octet streams, and the
// end of input.
bool read_all(tvlr_reader *r) {
    if (!emit(r, TVLR_EV_DOC_START, 0, nullptr, 0)) return false;
    Chunk c;
    for (;;) {
        if (!next_chunk(r, c.data, c.len)) return false;
        if (c.len == 0) break;
        if (!count_read(r, c.len)) return false;
        c.pos = 0;
        while (c.pos < c.len) {
            bool stop = false;
            uint32_t from = c.pos;
            c.pos += static_cast<uint32_t>(scan_bytes(r, c.data + c.pos, c.data + c.len, stop));
            if (stop) return false;
            if (!echo(r, c.data + from, c.pos - from)) return false;
            if (r->state == scan::S_octets && !read_octets(r, c)) return false;
        }
    }
    if (!input_complete(r)) {
        report_error(r, TVL_ERR_INCOMPLETE_TVLR_STREAM, 0, r->bytes_read);
        return false;
    }
    r->error = TVL_ERR_NONE;
    return emit(r, TVLR_EV_DOC_END, 0, nullptr, 0);
}

}  // namespace

void set_caches_enabled(tvlr_reader *r, bool enabled) {
    r->caches_off = !enabled;
}

void report_error(tvlr_reader *r, uint32_t code, uint32_t byte, uint64_t offset) {
    r->error = code;
    r->error_line = r->line;
    r->error_column = r->column;
    r->error_byte = byte;
    r->error_offset = offset;
    if (r->on_error) r->on_error(r->user_data, code, r->line, r->column, byte, offset);
}

void reset_value_state(tvlr_reader *r) {
    clear_token(r);
    r->token = r->text;
    clear_number_state(r);
    r->utf8_pending = 0;
    r->bom_count = 0;
    r->in_force_cleared = false;  // whatever a failed action left: cleared in full
    clear_type_in_force(r);
    if (member_array_base(r) == 0) {
        if (r->array_stack)
            std::memset(static_cast<void *>(r->array_stack), 0,
                        (r->max_array_depth + 1) * sizeof(ArrayLevel));
        r->array_depth = 0;
        r->elements = 0;
        r->row_length = 0;
    }
    r->in_array = false;
    r->array_items = 0;
    r->skip_brackets = r->skip_braces = 0;
}

}  // namespace tvl::rd

using namespace tvl::rd;

extern "C" {

tvlr_reader *tvlr_reader_create(void) {
    return static_cast<tvlr_reader *>(tvl::mem::allocate_zeroed(1, sizeof(tvlr_reader)));
}

void tvlr_reader_destroy(tvlr_reader *reader) {
    if (!reader) return;
    release(reader);
    tvl::mem::release(reader);
}

void tvlr_source_from_mem(tvlr_source *src, const void *data, uint64_t length) {
    if (!src) return;
    std::memset(static_cast<void *>(src), 0, sizeof *src);
    src->read = &mem_read;
    src->data = static_cast<const uint8_t *>(data);
    // No data but a length: opening over this source is refused.
    src->remaining = length;
}

void tvlr_source_from_fd(tvlr_source *src, int32_t fd) {
    if (!src) return;
    std::memset(static_cast<void *>(src), 0, sizeof *src);
    src->read = &fd_read;
    src->fd = fd;
}

bool tvlr_open_read_source(tvlr_reader *r, const tvlr_source *src, const tvlr_sink *echo_sink,
                           const tvlr_reader_options *o) {
    // While a read runs its buffers are in use: a callback may not open.
    if (!r || r->reading) return false;
    release(r);
    if (!src || !src->read) return false;
    if (src->read == &mem_read && !src->data && src->remaining) {
        r->error = TVL_ERR_INVALID_ARGUMENT;
        return false;
    }
    r->line = 1;
    r->source = *src;
    if (echo_sink && echo_sink->write) {
        r->echo = *echo_sink;
        r->has_echo = true;
    }
    const tvlr_reader_options none{};
    if (!o) o = &none;
    r->max_identifier_len = or_default<uint32_t>(o->max_identifier_len, tvl::kDefaultNameMaxLen);
    r->max_string_len = or_default<uint32_t>(o->max_string_len, tvl::kTokenMaxLen);
    r->max_number_len = or_default<uint32_t>(o->max_number_len, tvl::kTokenMaxLen);
    r->max_symbol_len = or_default<uint32_t>(o->max_symbol_len, tvl::kDefaultNameMaxLen);
    r->max_reference_len = or_default<uint32_t>(o->max_reference_len, tvl::kTokenMaxLen);
    r->max_array_items = or_default<uint64_t>(o->max_array_items, 2147483647);
    r->max_text_bytes = or_default<uint64_t>(o->max_text_bytes, 2147483647);
    r->max_file_bytes = or_default<uint64_t>(o->max_file_bytes, 2147483647);
    r->max_struct_depth = or_default<uint32_t>(o->max_struct_depth, tvl::kDefaultDepthLimit);
    r->max_array_depth = or_default<uint32_t>(o->max_array_depth, tvl::kDefaultDepthLimit);

    r->array_stack = static_cast<ArrayLevel *>(
        tvl::mem::allocate_zeroed(r->max_array_depth + 1, sizeof(ArrayLevel)));
    r->token_mem = static_cast<uint8_t *>(tvl::mem::allocate(kTokenBytes));
    if (src->read != &mem_read)
        r->chunk_mem = static_cast<uint8_t *>(tvl::mem::allocate(kReadChunk));
    if (!r->array_stack || !r->token_mem || (src->read != &mem_read && !r->chunk_mem)) {
        release(r);
        return false;
    }
    r->text = r->token_mem;
    r->type_text = r->token_mem + kTextCap;
    r->unit_text = r->type_text + kTypeCap;
    r->text[0] = 0;
    reset_value_state(r);
    r->user_data = o->user_data;
    r->on_event = o->on_event;
    r->on_event_after = o->on_event_after;
    r->deliver = r->on_event || r->on_event_after;
    r->targets = static_cast<uint8_t>((r->on_event ? uint32_t{kFirst} : 0u) |
                                      (r->on_event_after ? uint32_t{kSecond} : 0u));
    r->on_error = o->on_error;
    r->recover = o->recover != 0;
    r->opened = true;
    return true;
}

bool tvlr_open_read_mem(tvlr_reader *r, const void *data, uint64_t length, void *echo_buffer,
                        uint64_t echo_capacity, const tvlr_reader_options *options) {
    if (!r || r->reading) return false;
    tvlr_source src;
    tvlr_source_from_mem(&src, data, length);
    tvlr_sink sink;
    const tvlr_sink *echo_sink = nullptr;
    if (echo_buffer && echo_capacity) {
        tvlr_sink_to_mem(&sink, echo_buffer, echo_capacity);
        echo_sink = &sink;
    }
    return tvlr_open_read_source(r, &src, echo_sink, options);
}

bool tvlr_read(tvlr_reader *r) {
    if (!r || !r->opened || r->reading) return false;
    r->opened = false;  // a reader reads once per opening
    r->reading = true;
    const bool ok = read_all(r);
    r->reading = false;
    return ok;
}

uint32_t tvlr_reader_get_error(const tvlr_reader *r) {
    return r ? r->error : 0;
}
uint64_t tvlr_reader_get_error_line(const tvlr_reader *r) {
    return r ? r->error_line : 0;
}
uint64_t tvlr_reader_get_error_column(const tvlr_reader *r) {
    return r ? r->error_column : 0;
}
uint32_t tvlr_reader_get_error_byte(const tvlr_reader *r) {
    return r ? r->error_byte : 0;
}
uint64_t tvlr_reader_get_error_offset(const tvlr_reader *r) {
    return r ? r->error_offset : 0;
}
uint64_t tvlr_reader_get_recovery_count(const tvlr_reader *r) {
    return r ? r->recovery_count : 0;
}

}  // extern "C"
