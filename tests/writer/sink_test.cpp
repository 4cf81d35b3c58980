// The writer's sinks: memory sinks written directly, other sinks through the 64 KiB buffer,
// sink failures as errors 31 and 30 with their offsets, finishing, and opening.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "writer_support.h"

using namespace wtest;

namespace {

// A sink that records the length of every write and fails from a chosen call on.
struct Recording {
    std::vector<uint32_t> writes;
    std::string bytes;
    size_t fail_from = SIZE_MAX;  // index of the first write call that fails
    bool finish_result = true;
    int finish_calls = 0;
};

Recording *recording_of(tvlr_sink *sink) {
    return load_pointer<Recording>(sink->reserved);
}

bool recording_write(tvlr_sink *sink, const uint8_t *data, uint32_t len) {
    Recording *r = recording_of(sink);
    if (r->writes.size() >= r->fail_from) {
        r->writes.push_back(len);
        return false;
    }
    r->writes.push_back(len);
    r->bytes.append(reinterpret_cast<const char *>(data), len);
    sink->delivered += len;
    return true;
}

bool recording_finish(tvlr_sink *sink) {
    Recording *r = recording_of(sink);
    ++r->finish_calls;
    return r->finish_result;
}

tvlr_sink recording_sink(Recording *r, bool direct = false) {
    tvlr_sink sink{};
    sink.write = &recording_write;
    sink.finish = &recording_finish;
    sink.direct = direct ? 1 : 0;
    store_pointer(sink.reserved, r);
    return sink;
}

TEST(WriterSink, MemorySinkTooSmallForTheStatementEnd) {
    char buffer[10];
    tvlr_sink sink;
    tvlr_sink_to_mem(&sink, buffer, sizeof buffer);
    tvlr_writer *w = tvlr_writer_create();
    ASSERT_TRUE(tvlr_open_write_sink(w, &sink, false, nullptr));
    auto write = [w](uint32_t kind, const char *text) {
        tvlr_event e{};
        e.value_kind = kind == TVLR_EV_VALUE ? TVL_VK_NUMBER : 0;
        e.text = text;
        e.text_len = static_cast<uint32_t>(std::strlen(text));
        return tvlr_write_event(w, kind, &e);
    };
    ASSERT_TRUE(write(TVLR_EV_MEMBER_NAME, "a"));
    ASSERT_TRUE(write(TVLR_EV_VALUE, "1"));
    ASSERT_TRUE(write(TVLR_EV_MEMBER_NAME, "b"));
    ASSERT_TRUE(write(TVLR_EV_VALUE, "12"));
    EXPECT_EQ(std::string(buffer, 10), ".a=1;.b=12");
    EXPECT_FALSE(tvlr_write_finish(w));
    EXPECT_EQ(tvlr_writer_get_error(w), 31u);
    EXPECT_EQ(tvlr_writer_get_error_offset(w), 10u);
    // The writer counted in its own copy of the sink record.
    EXPECT_EQ(tvlr_sink_bytes_written(&sink), 0u);
    EXPECT_EQ(tvlr_writer_bytes_written(w), 10u);
    tvlr_writer_destroy(w);
}

// A piece that does not fit a memory sink is not written at all: the event fails with 31 and
// the offset counts what fitted before it.
TEST(WriterSink, MemorySinkRefusesAWholePiece) {
    char buffer[6];
    tvlr_writer *w = tvlr_writer_create();
    ASSERT_TRUE(tvlr_open_write_mem(w, buffer, sizeof buffer, false, nullptr));
    EXPECT_FALSE(tvlr_write_string(w, "s", "abcdef"));
    EXPECT_EQ(tvlr_writer_get_error(w), 31u);
    EXPECT_EQ(tvlr_writer_get_error_offset(w), 4u);  // `.s="`
    tvlr_writer_destroy(w);
}

TEST(WriterSink, BufferedSinkSeesFullBlocksAndOneFinalBlock) {
    Recording rec;
    const tvlr_sink sink = recording_sink(&rec);
    tvlr_writer *w = tvlr_writer_create();
    ASSERT_TRUE(tvlr_open_write_sink(w, &sink, false, nullptr));
    // `.s="` + 65531 bytes + `"` is exactly 65536 bytes.
    const std::string text(65531, 'x');
    ASSERT_TRUE(tvlr_write_string(w, "s", text.c_str()));
    EXPECT_EQ(rec.writes, std::vector<uint32_t>{65536});
    EXPECT_EQ(tvlr_writer_bytes_written(w), 65536u);
    const std::string more(65000, 'y');
    ASSERT_TRUE(tvlr_write_string(w, "t", more.c_str()));
    EXPECT_EQ(rec.writes, std::vector<uint32_t>{65536});
    ASSERT_TRUE(tvlr_write_string(w, "u", more.c_str()));
    EXPECT_EQ(rec.writes, (std::vector<uint32_t>{65536, 65536}));
    EXPECT_EQ(rec.finish_calls, 0);
    ASSERT_TRUE(tvlr_write_finish(w));
    // Each later member adds `;.x="`, 65000 bytes and `"`; finishing adds `;`.
    EXPECT_EQ(rec.writes, (std::vector<uint32_t>{65536, 65536, 65536 + 2 * 65006 + 1 - 2 * 65536}));
    EXPECT_EQ(rec.finish_calls, 1);
    EXPECT_EQ(rec.bytes, ".s=\"" + text + "\";.t=\"" + more + "\";.u=\"" + more + "\";");
    EXPECT_EQ(tvlr_writer_bytes_written(w), rec.bytes.size());
    tvlr_writer_destroy(w);
}

TEST(WriterSink, DescriptorSinkGetsOutputAtFinish) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(fcntl(fds[0], F_SETFL, O_NONBLOCK), 0);
    tvlr_sink sink;
    tvlr_sink_to_fd(&sink, fds[1]);
    tvlr_writer *w = tvlr_writer_create();
    ASSERT_TRUE(tvlr_open_write_sink(w, &sink, true, nullptr));
    ASSERT_TRUE(tvlr_write_bool(w, "a", true));
    char buf[64];
    EXPECT_EQ(read(fds[0], buf, sizeof buf), -1);  // nothing has reached the pipe yet
    ASSERT_TRUE(tvlr_write_finish(w));
    const ssize_t n = read(fds[0], buf, sizeof buf);
    ASSERT_EQ(n, 11);
    EXPECT_EQ(std::string(buf, 11), ".a = true;\n");
    tvlr_writer_destroy(w);
    close(fds[0]);
    close(fds[1]);
}

TEST(WriterSink, FailuresOfABufferedSink) {
    // The buffer fills and the sink refuses it: 30 at offset 65536, the rest of the piece is
    // dropped and the writer takes nothing more.
    Recording rec;
    rec.fail_from = 0;
    const tvlr_sink sink = recording_sink(&rec);
    tvlr_writer *w = tvlr_writer_create();
    ASSERT_TRUE(tvlr_open_write_sink(w, &sink, false, nullptr));
    const std::string text(60000, 'x');
    EXPECT_TRUE(tvlr_write_string(w, "s", text.c_str()));
    EXPECT_FALSE(tvlr_write_string(w, "t", text.c_str()));
    EXPECT_EQ(tvlr_writer_get_error(w), 30u);
    EXPECT_EQ(tvlr_writer_get_error_offset(w), 65536u);
    EXPECT_FALSE(tvlr_write_finish(w));
    EXPECT_EQ(rec.writes.size(), 1u);
    EXPECT_EQ(rec.finish_calls, 0);

    // The sink refuses the final block at finish: 30 with the buffered count as offset.
    rec = Recording{};
    rec.fail_from = 0;
    ASSERT_TRUE(tvlr_open_write_sink(w, &sink, true, nullptr));
    ASSERT_TRUE(tvlr_write_null(w, "n"));
    EXPECT_FALSE(tvlr_write_finish(w));
    EXPECT_EQ(tvlr_writer_get_error(w), 30u);
    EXPECT_EQ(tvlr_writer_get_error_offset(w), 7u);  // `.n = ;` and a line feed

    // A direct sink that refuses: 31.
    rec = Recording{};
    rec.fail_from = 1;
    const tvlr_sink direct = recording_sink(&rec, true);
    ASSERT_TRUE(tvlr_open_write_sink(w, &direct, false, nullptr));
    EXPECT_FALSE(tvlr_write_string(w, "name", "x"));
    EXPECT_EQ(tvlr_writer_get_error(w), 31u);
    EXPECT_EQ(tvlr_writer_get_error_offset(w), 6u);  // `.name=` arrived, the quote did not
    EXPECT_EQ(rec.bytes, ".name=");

    // A finish callback that fails: false without an error code.
    rec = Recording{};
    rec.finish_result = false;
    ASSERT_TRUE(tvlr_open_write_sink(w, &sink, false, nullptr));
    ASSERT_TRUE(tvlr_write_null(w, "n"));
    EXPECT_FALSE(tvlr_write_finish(w));
    EXPECT_EQ(tvlr_writer_get_error(w), 0u);
    EXPECT_EQ(rec.bytes, ".n=;");
    tvlr_writer_destroy(w);
}

TEST(WriterSink, Finishing) {
    Recording rec;
    const tvlr_sink sink = recording_sink(&rec);
    tvlr_writer *w = tvlr_writer_create();
    // Nothing written: true, no bytes, the finish callback is called.
    ASSERT_TRUE(tvlr_open_write_sink(w, &sink, true, nullptr));
    EXPECT_TRUE(tvlr_write_finish(w));
    EXPECT_TRUE(rec.writes.empty());
    EXPECT_EQ(rec.finish_calls, 1);
    // A struct still open: 18.
    ASSERT_TRUE(tvlr_open_write_sink(w, &sink, true, nullptr));
    ASSERT_TRUE(tvlr_write_struct_start(w, "s"));
    EXPECT_FALSE(tvlr_write_finish(w));
    EXPECT_EQ(tvlr_writer_get_error(w), 18u);
    // An array still open: 18.
    ASSERT_TRUE(tvlr_open_write_sink(w, &sink, true, nullptr));
    ASSERT_TRUE(tvlr_write_struct_start(w, "s"));
    ASSERT_TRUE(tvlr_write_struct_end(w));
    const tvlr_event e{};
    ASSERT_TRUE(tvlr_write_event(w, TVLR_EV_ARRAY_START, &e));
    EXPECT_FALSE(tvlr_write_finish(w));
    EXPECT_EQ(tvlr_writer_get_error(w), 18u);
    tvlr_writer_destroy(w);
}

TEST(WriterSink, Opening) {
    Recording rec;
    tvlr_sink sink = recording_sink(&rec);
    tvlr_writer *w = tvlr_writer_create();
    ASSERT_NE(w, nullptr);
    tvlr_writer_options o{};
    o.unit_flags = 3;
    ASSERT_TRUE(tvlr_open_write_sink(w, &sink, false, &o));
    EXPECT_EQ(tvlr_writer_unit_flags(w), 3u);
    ASSERT_TRUE(tvlr_write_null(w, "n"));
    // Refused opens leave the writer as it was.
    tvlr_sink no_write = sink;
    no_write.write = nullptr;
    EXPECT_FALSE(tvlr_open_write_sink(w, &no_write, false, nullptr));
    EXPECT_FALSE(tvlr_open_write_sink(w, nullptr, false, nullptr));
    EXPECT_FALSE(tvlr_open_write_sink(nullptr, &sink, false, nullptr));
    EXPECT_FALSE(tvlr_open_write_mem(w, nullptr, 10, false, nullptr));
    char buffer[4];
    EXPECT_FALSE(tvlr_open_write_mem(nullptr, buffer, sizeof buffer, false, nullptr));
    EXPECT_EQ(tvlr_writer_bytes_written(w), 3u);
    EXPECT_EQ(tvlr_writer_unit_flags(w), 3u);
    ASSERT_TRUE(tvlr_write_finish(w));
    EXPECT_EQ(rec.bytes, ".n=;");
    // Reopening clears the options that are not given again.
    ASSERT_TRUE(tvlr_open_write_sink(w, &sink, false, nullptr));
    EXPECT_EQ(tvlr_writer_unit_flags(w), 0u);
    EXPECT_EQ(tvlr_writer_bytes_written(w), 0u);
    tvlr_writer_destroy(w);
    tvlr_writer_destroy(nullptr);
}

// A memory sink without memory takes no byte (31 at offset 0), and its record as the finish
// callback sees it still has no cursor and no room.
TEST(WriterSink, MemorySinkWithoutMemory) {
    tvlr_sink sink;
    tvlr_sink_to_mem(&sink, nullptr, 0);
    sink.finish = [](tvlr_sink *s) { return s->cursor == nullptr && s->remaining == 0; };
    tvlr_writer *w = tvlr_writer_create();
    ASSERT_TRUE(tvlr_open_write_sink(w, &sink, false, nullptr));
    EXPECT_TRUE(tvlr_write_finish(w));
    EXPECT_EQ(tvlr_writer_bytes_written(w), 0u);
    ASSERT_TRUE(tvlr_open_write_sink(w, &sink, false, nullptr));
    EXPECT_FALSE(tvlr_write_null(w, "n"));
    EXPECT_EQ(tvlr_writer_get_error(w), 31u);
    EXPECT_EQ(tvlr_writer_get_error_offset(w), 0u);
    tvlr_writer_destroy(w);
}

// Members with strings, numbers, structs and arrays whose output crosses the 64 KiB buffer
// at varying places: short texts mixed with long ones.
std::vector<Ev> long_document(std::mt19937 &rng) {
    std::vector<Ev> events;
    for (int i = 0; i < 200; ++i) {
        events.push_back(member("m" + std::to_string(rng() % 1000)));
        const auto shape = rng() % 3;
        if (shape == 0) events.push_back(str(std::string(rng() % 8000, 'a')));
        if (shape == 1)
            events = events + event(TVLR_EV_STRUCT_START) + member("s") +
                     str(std::string(rng() % 40, 'q') + "\"\n") + event(TVLR_EV_STRUCT_END);
        if (shape == 2) {
            events.push_back(event(TVLR_EV_ARRAY_START));
            for (auto n = rng() % 5 + 1; n > 0; --n) events.push_back(num(std::to_string(rng())));
            events.push_back(event(TVLR_EV_ARRAY_END));
        }
    }
    return events;
}

// Hands each event to take (the writer's or the observer's call); gives the count refused.
template <class Take>
int feed(const std::vector<Ev> &events, Take take) {
    int refused = 0;
    for (const Ev &ev : events) {
        tvlr_event e = ev.e;
        e.text = ev.text.data();
        e.text_len = static_cast<uint32_t>(ev.text.size());
        refused += take(ev.kind, &e) ? 0 : 1;
    }
    return refused;
}

}  // namespace

// The same events give the same bytes into every kind of sink: a large memory sink, the
// buffer (handing over full 64 KiB blocks and one final block), a direct sink, and memory sinks
// too small for the document, which hold exactly the bytes before the piece that did not fit.
TEST(WriterSink, EveryKindOfSinkGetsTheSameBytes) {
    std::mt19937 rng(11);
    tvlr_writer *w = tvlr_writer_create();
    const auto write = [w](const std::vector<Ev> &events) {
        return feed(events, [w](uint32_t k, tvlr_event *e) { return tvlr_write_event(w, k, e); }) ==
                   0 &&
               tvlr_write_finish(w);
    };
    for (int i = 0; i < 40 && !HasFailure(); ++i) {
        const std::vector<Ev> events = long_document(rng);
        const bool pretty = rng() % 2 != 0;
        std::vector<char> memory(size_t{1} << 20);
        ASSERT_TRUE(tvlr_open_write_mem(w, memory.data(), memory.size(), pretty, nullptr));
        ASSERT_TRUE(write(events));
        const std::string expected(memory.data(), tvlr_writer_bytes_written(w));
        ASSERT_GT(expected.size(), size_t{65536});

        Recording rec, direct;
        const tvlr_sink buffered = recording_sink(&rec), unbuffered = recording_sink(&direct, true);
        ASSERT_TRUE(tvlr_open_write_sink(w, &buffered, pretty, nullptr));
        EXPECT_TRUE(write(events));
        EXPECT_EQ(rec.bytes, expected);
        for (size_t k = 0; k + 1 < rec.writes.size(); ++k) EXPECT_EQ(rec.writes[k], 65536u);
        EXPECT_EQ(rec.writes.size(), (expected.size() + 65535) / 65536);
        ASSERT_TRUE(tvlr_open_write_sink(w, &unbuffered, pretty, nullptr));
        EXPECT_TRUE(write(events));
        EXPECT_EQ(direct.bytes, expected);

        const size_t capacity = rng() % expected.size();
        std::fill(memory.begin(), memory.end(), '\0');
        ASSERT_TRUE(tvlr_open_write_mem(w, memory.data(), capacity, pretty, nullptr));
        EXPECT_FALSE(write(events));
        EXPECT_EQ(tvlr_writer_get_error(w), 31u);
        const uint64_t offset = tvlr_writer_get_error_offset(w);
        EXPECT_LE(offset, capacity);
        EXPECT_EQ(std::string(memory.data(), offset), expected.substr(0, offset));
        EXPECT_EQ(memory[offset], '\0');
    }
    tvlr_writer_destroy(w);
}

// The observer behind a sink that refuses its first handover of the full buffer: the rest of
// the piece that filled it is lost, the full buffer is handed over again with the next piece,
// and the bytes after the loss arrive as the reference has them.
TEST(WriterSink, ObserverRecoversFromARefusedBlock) {
    const auto refuse_once = [](tvlr_sink *sink, const uint8_t *data, uint32_t len) {
        Recording *r = recording_of(sink);
        if (r->fail_from != 0) return recording_write(sink, data, len);
        r->fail_from = SIZE_MAX;
        return false;
    };
    std::mt19937 rng(12);
    for (int i = 0; i < 40 && !HasFailure(); ++i) {
        const std::vector<Ev> events = long_document(rng);
        const bool pretty = rng() % 2 != 0;
        const auto observe = [&](Recording &rec, bool flaky) {
            tvlr_sink sink = recording_sink(&rec);
            if (flaky) {
                rec.fail_from = 0;
                sink.write = refuse_once;
            }
            tvlr_canon_observer *obs = tvlr_canon_observer_create(&sink, pretty);
            const int refused = feed(events, [obs](uint32_t k, tvlr_event *e) {
                return tvlr_canon_observer_on_event(obs, k, e);
            });
            const bool finished = tvlr_canon_observer_finish(obs);
            tvlr_canon_observer_destroy(obs);
            return refused + (finished ? 0 : 1);
        };
        Recording reference, flaky;
        ASSERT_EQ(observe(reference, false), 0);
        EXPECT_EQ(observe(flaky, true), 1);
        const std::string &out = flaky.bytes, &ref = reference.bytes;
        ASSERT_GT(out.size(), size_t{65536});
        ASSERT_LE(out.size(), ref.size());
        EXPECT_EQ(out.substr(0, 65536), ref.substr(0, 65536));
        EXPECT_EQ(out.substr(65536), ref.substr(ref.size() - (out.size() - 65536)));
    }
}
