// A stream longer than any 32-bit count: one array of 2^31 + 1 items (4 GiB of text) through a
// pipe, read with a counting callback. Every item arrives, the read ends without error, and
// memory stays flat, as nothing of the stream is kept. Sanitizer builds read 2^26 + 1 items.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <thread>

#include "tvlr.h"

namespace {

#ifdef TVLR_TEST_SANITIZED
constexpr uint64_t kItems = (uint64_t{1} << 26) + 1;
#else
constexpr uint64_t kItems = (uint64_t{1} << 31) + 1;
#endif

long peak_rss_kib() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

bool count_values(void *user, uint32_t kind, tvlr_event *) {
    if (kind == TVLR_EV_VALUE) ++*static_cast<uint64_t *>(user);
    return true;
}

// Writes all of text to the descriptor; false once the reader has gone.
bool write_all(int fd, const std::string &text) {
    for (size_t pos = 0; pos < text.size();) {
        const ssize_t n = write(fd, text.data() + pos, text.size() - pos);
        if (n <= 0) return false;
        pos += static_cast<size_t>(n);
    }
    return true;
}

TEST(Stream, ArrayOfMoreThanTwoToTheThirtyOneItemsThroughAPipe) {
    std::signal(SIGPIPE, SIG_IGN);  // a failed read closes the pipe under the writer
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::thread producer([fd = fds[1]] {
        std::string block;
        for (int i = 0; i < 32768; ++i) block += "1,";
        const uint64_t per_block = 32768;
        bool ok = write_all(fd, ".a = [");
        for (uint64_t left = kItems - 1; ok && left > 0;) {
            const uint64_t n = left < per_block ? left : per_block;
            ok = write_all(fd, n == per_block ? block : block.substr(0, 2 * n));
            left -= n;
        }
        if (ok) write_all(fd, "1];\n");
        close(fd);
    });
    const long rss_before = peak_rss_kib();
    uint64_t values = 0;
    tvlr_reader_options o{};
    o.on_event = count_values;
    o.user_data = &values;
    o.max_file_bytes = UINT64_MAX;
    o.max_text_bytes = UINT64_MAX;
    o.max_array_items = UINT64_MAX;
    tvlr_source src;
    tvlr_source_from_fd(&src, fds[0]);
    tvlr_reader *r = tvlr_reader_create();
    ASSERT_TRUE(tvlr_open_read_source(r, &src, nullptr, &o));
    EXPECT_TRUE(tvlr_read(r)) << tvlr_reader_get_error(r);
    tvlr_reader_destroy(r);
    close(fds[0]);
    producer.join();
    EXPECT_EQ(values, kItems);
#ifndef TVLR_TEST_SANITIZED
    // (Under AddressSanitizer freed blocks wait in a quarantine, so the size there says nothing.)
    EXPECT_LT(peak_rss_kib() - rss_before, 16 * 1024) << "memory grew with the stream";
#else
    (void)rss_before;
#endif
}

}  // namespace
