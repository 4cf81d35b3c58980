// The byte sinks: a caller's memory buffer and a file descriptor. The
// reader's echo, the writer and the canonical observer write through them.
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tvlr.h"

namespace {

bool mem_write(tvlr_sink *sink, const uint8_t *data, uint32_t len) {
    if (len > sink->remaining) return false;
    if (len) std::memcpy(sink->cursor, data, len);
    sink->cursor += len;
    sink->remaining -= len;
    sink->delivered += len;
    return true;
}

bool fd_write(tvlr_sink *sink, const uint8_t *data, uint32_t len) {
    while (len > 0) {
        ssize_t n = ::write(sink->fd, data, len);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;  // a write that takes nothing: treat as a full device
            return false;
        }
        data += n;
        len -= static_cast<uint32_t>(n);
        sink->delivered += static_cast<uint64_t>(n);
    }
    return true;
}

bool finish_nothing(tvlr_sink *) {
    return true;
}

// Clears every field after the two callbacks.
void clear_fields(tvlr_sink *sink) {
    sink->fd = 0;
    sink->direct = 0;
    sink->cursor = nullptr;
    sink->remaining = 0;
    sink->delivered = 0;
    std::memset(sink->reserved, 0, sizeof sink->reserved);
}

}  // namespace

extern "C" {

void tvlr_sink_to_mem(tvlr_sink *sink, void *buffer, uint64_t capacity) {
    if (!sink) return;
    clear_fields(sink);
    sink->write = &mem_write;
    sink->finish = &finish_nothing;
    sink->direct = 1;
    sink->cursor = static_cast<uint8_t *>(buffer);
    sink->remaining = buffer ? capacity : 0;
}

void tvlr_sink_to_fd(tvlr_sink *sink, int32_t fd) {
    if (!sink) return;
    clear_fields(sink);
    sink->write = &fd_write;
    sink->finish = &finish_nothing;
    sink->fd = fd;
}

uint64_t tvlr_sink_bytes_written(const tvlr_sink *sink) {
    return sink ? sink->delivered : 0;
}

}  // extern "C"
