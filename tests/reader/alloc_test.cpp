// The reader, writer and canonical observer under memory exhaustion: creating and opening
// report the failure by their result, leave nothing allocated, and the object can be used
// once memory is back.
#include <gtest/gtest.h>

#include <cstring>

#include "support/failing_alloc.h"
#include "tvlr.h"

namespace {

using tvltest::alloc::arm;
using tvltest::alloc::disarm;

const char kDoc[] = ".a = [1, 2] / [3, 4]; .s = { .t = \"x\" m; };";

bool reader_create(long n) {
    arm(n);
    tvlr_reader *r = tvlr_reader_create();
    disarm();
    tvlr_reader_destroy(r);
    return r != nullptr;
}

// Opening allocates the array stack and the token buffers; a failed open leaves a reader
// that can be opened again.
bool reader_open_mem(long n) {
    tvlr_reader *r = tvlr_reader_create();
    EXPECT_NE(r, nullptr);
    arm(n);
    const bool ok = tvlr_open_read_mem(r, kDoc, sizeof kDoc - 1, nullptr, 0, nullptr);
    disarm();
    if (!ok) {
        EXPECT_FALSE(tvlr_read(r));
        EXPECT_TRUE(tvlr_open_read_mem(r, kDoc, sizeof kDoc - 1, nullptr, 0, nullptr));
    }
    EXPECT_TRUE(tvlr_read(r));
    tvlr_reader_destroy(r);
    return ok;
}

// A descriptor source also needs the reader's own chunk buffer.
bool reader_open_fd(long n) {
    tvlr_reader *r = tvlr_reader_create();
    tvlr_source src;
    tvlr_source_from_fd(&src, 0);
    tvlr_reader_options o{};
    o.max_array_depth = 255;
    arm(n);
    const bool ok = tvlr_open_read_source(r, &src, nullptr, &o);
    disarm();
    tvlr_reader_destroy(r);
    return ok;
}

bool writer_create_and_write(long n) {
    arm(n);
    tvlr_writer *w = tvlr_writer_create();
    disarm();
    if (w == nullptr) return false;
    char buf[256];
    EXPECT_TRUE(tvlr_open_write_mem(w, buf, sizeof buf, false, nullptr));
    EXPECT_TRUE(tvlr_write_string(w, "a", "x"));
    EXPECT_TRUE(tvlr_write_finish(w));
    tvlr_writer_destroy(w);
    return true;
}

bool observer_create(long n) {
    char buf[256];
    tvlr_sink sink;
    tvlr_sink_to_mem(&sink, buf, sizeof buf);
    arm(n);
    tvlr_canon_observer *obs = tvlr_canon_observer_create(&sink, false);
    disarm();
    tvlr_canon_observer_destroy(obs);
    return obs != nullptr;
}

TEST(Alloc, EveryAllocationFailureIsReported) {
    tvltest::alloc::expect_failures_reported("reader create", reader_create);
    tvltest::alloc::expect_failures_reported("reader open mem", reader_open_mem);
    tvltest::alloc::expect_failures_reported("reader open fd", reader_open_fd);
    tvltest::alloc::expect_failures_reported("writer", writer_create_and_write);
    tvltest::alloc::expect_failures_reported("observer", observer_create);
}

}  // namespace
