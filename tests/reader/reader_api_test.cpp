// The reader's public calls: opening, options, sources, sinks, echo,
// callbacks and getters.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "support/trace.h"

using tvltest::read_trace;

namespace {

struct Counter {
    std::vector<uint32_t> kinds;
    int refuse_kind = -1;
    std::vector<uint32_t> errors;
};

bool count_event(void *user, uint32_t kind, tvlr_event *) {
    auto *c = static_cast<Counter *>(user);
    c->kinds.push_back(kind);
    return static_cast<int>(kind) != c->refuse_kind;
}

void count_error(void *user, uint32_t code, uint64_t, uint64_t, uint32_t, uint64_t) {
    static_cast<Counter *>(user)->errors.push_back(code);
}

TEST(ReaderApi, GettersAcceptNull) {
    EXPECT_EQ(tvlr_reader_get_error(nullptr), 0u);
    EXPECT_EQ(tvlr_reader_get_error_line(nullptr), 0u);
    EXPECT_EQ(tvlr_reader_get_error_column(nullptr), 0u);
    EXPECT_EQ(tvlr_reader_get_error_byte(nullptr), 0u);
    EXPECT_EQ(tvlr_reader_get_error_offset(nullptr), 0u);
    EXPECT_EQ(tvlr_reader_get_recovery_count(nullptr), 0u);
    EXPECT_FALSE(tvlr_read(nullptr));
    tvlr_reader_destroy(nullptr);
}

TEST(ReaderApi, OpenRefusesMissingArguments) {
    tvlr_reader *r = tvlr_reader_create();
    ASSERT_NE(r, nullptr);
    tvlr_source src{};
    EXPECT_FALSE(tvlr_open_read_source(nullptr, &src, nullptr, nullptr));
    EXPECT_FALSE(tvlr_open_read_source(r, nullptr, nullptr, nullptr));
    EXPECT_FALSE(tvlr_open_read_source(r, &src, nullptr, nullptr));  // no read callback
    EXPECT_FALSE(tvlr_read(r));                                      // never opened
    EXPECT_FALSE(tvlr_open_read_mem(nullptr, "x", 1, nullptr, 0, nullptr));
    // No data but a length is refused, whichever way the source was made.
    EXPECT_FALSE(tvlr_open_read_mem(r, nullptr, 3, nullptr, 0, nullptr));
    EXPECT_EQ(tvlr_reader_get_error(r), 28u);
    EXPECT_FALSE(tvlr_read(r));
    tvlr_source_from_mem(&src, nullptr, 3);
    EXPECT_FALSE(tvlr_open_read_source(r, &src, nullptr, nullptr));
    EXPECT_EQ(tvlr_reader_get_error(r), 28u);
    ASSERT_TRUE(tvlr_open_read_mem(r, nullptr, 0, nullptr, 0, nullptr));
    EXPECT_TRUE(tvlr_read(r));
    EXPECT_EQ(tvlr_reader_get_error(r), 0u);
    tvlr_reader_destroy(r);
}

TEST(ReaderApi, EmptyInputGivesStartAndEnd) {
    tvlr_reader *r = tvlr_reader_create();
    Counter c;
    tvlr_reader_options o{};
    o.user_data = &c;
    o.on_event = &count_event;
    ASSERT_TRUE(tvlr_open_read_mem(r, "", 0, nullptr, 0, &o));
    EXPECT_TRUE(tvlr_read(r));
    EXPECT_EQ(c.kinds, (std::vector<uint32_t>{TVLR_EV_DOC_START, TVLR_EV_DOC_END}));
    EXPECT_EQ(tvlr_reader_get_error(r), 0u);
    tvlr_reader_destroy(r);
}

TEST(ReaderApi, ReaderCanBeOpenedAgain) {
    tvlr_reader *r = tvlr_reader_create();
    ASSERT_TRUE(tvlr_open_read_mem(r, ".a = !;", 7, nullptr, 0, nullptr));
    EXPECT_FALSE(tvlr_read(r));
    EXPECT_EQ(tvlr_reader_get_error(r), 15u);
    ASSERT_TRUE(tvlr_open_read_mem(r, ".a = 1;", 7, nullptr, 0, nullptr));
    EXPECT_TRUE(tvlr_read(r));
    EXPECT_EQ(tvlr_reader_get_error(r), 0u);
    tvlr_reader_destroy(r);
}

TEST(ReaderApi, RefusedEventsStopWithError26) {
    struct Case {
        uint32_t refuse;
        const char *doc;
        size_t error_calls;
    };
    // doc_start, doc_end, octets_end and octet blocks end the read without
    // an error callback; other events are reported like scanning errors.
    const Case cases[] = {
        {TVLR_EV_DOC_START, ".a = 1;", 0},     {TVLR_EV_DOC_END, ".a = 1;", 0},
        {TVLR_EV_MEMBER_NAME, ".a = 1;", 1},   {TVLR_EV_VALUE, ".a = 1;", 1},
        {TVLR_EV_STRUCT_START, ".s = {};", 1}, {TVLR_EV_ARRAY_END, ".a = [1];", 1},
    };
    for (const auto &k : cases) {
        Counter c;
        c.refuse_kind = static_cast<int>(k.refuse);
        tvlr_reader_options o{};
        o.user_data = &c;
        o.on_event = &count_event;
        o.on_error = &count_error;
        tvlr_reader *r = tvlr_reader_create();
        ASSERT_TRUE(tvlr_open_read_mem(r, k.doc, std::strlen(k.doc), nullptr, 0, &o));
        EXPECT_FALSE(tvlr_read(r)) << k.refuse;
        EXPECT_EQ(tvlr_reader_get_error(r), 26u) << k.refuse;
        EXPECT_EQ(c.errors.size(), k.error_calls) << k.refuse;
        EXPECT_EQ(c.kinds.back(), k.refuse);
        if (k.refuse == TVLR_EV_DOC_START) {
            EXPECT_EQ(c.kinds.size(), 1u);
        }
        tvlr_reader_destroy(r);
    }
}

TEST(ReaderApi, SecondCallbackSeesWhatTheFirstAccepted) {
    struct Both {
        std::string first, second;
    } both;
    tvlr_reader_options o{};
    o.user_data = &both;
    o.on_event = [](void *u, uint32_t kind, tvlr_event *e) {
        static_cast<Both *>(u)->first += tvltest::render_event(kind, *e) + " ";
        if (kind == TVLR_EV_MEMBER_NAME) e->text = nullptr;  // reset before the second call
        return true;
    };
    o.on_event_after = [](void *u, uint32_t kind, tvlr_event *e) {
        if (e->text == nullptr) return false;
        static_cast<Both *>(u)->second += tvltest::render_event(kind, *e) + " ";
        return true;
    };
    tvlr_reader *r = tvlr_reader_create();
    ASSERT_TRUE(tvlr_open_read_mem(r, ".a = x;", 7, nullptr, 0, &o));
    EXPECT_TRUE(tvlr_read(r));
    EXPECT_EQ(both.first, "S .a sym\"x\" E ");
    // The text is reset to an empty one, with its length.
    EXPECT_EQ(both.second, "S . sym\"x\" E ");
    tvlr_reader_destroy(r);
}

TEST(ReaderApi, DocStartRecordIsEmpty) {
    tvlr_reader_options o{};
    o.on_event = [](void *, uint32_t kind, tvlr_event *e) {
        if (kind != TVLR_EV_DOC_START) return true;
        return e->value_kind == 0 && e->value_type == 0 && e->text != nullptr && e->text_len == 0;
    };
    tvlr_reader *r = tvlr_reader_create();
    ASSERT_TRUE(tvlr_open_read_mem(r, "", 0, nullptr, 0, &o));
    EXPECT_TRUE(tvlr_read(r));
    tvlr_reader_destroy(r);
}

TEST(ReaderApi, EchoCopiesEveryConsumedByte) {
    const std::string doc =
        "# c\n.a = \"x\";\n.o = " + std::string("\0\1\2\0ab\0;", 8) + " .b = 2;";
    std::vector<char> echo(doc.size() + 10, '?');
    tvlr_reader *r = tvlr_reader_create();
    ASSERT_TRUE(tvlr_open_read_mem(r, doc.data(), doc.size(), echo.data(), echo.size(), nullptr));
    EXPECT_TRUE(tvlr_read(r));
    EXPECT_EQ(std::string(echo.data(), doc.size()), doc);
    EXPECT_EQ(echo[doc.size()], '?');

    // A zero capacity means no echo at all.
    ASSERT_TRUE(tvlr_open_read_mem(r, doc.data(), doc.size(), echo.data(), 0, nullptr));
    EXPECT_TRUE(tvlr_read(r));

    // An echo buffer too small for the input fails with 30.
    ASSERT_TRUE(tvlr_open_read_mem(r, doc.data(), doc.size(), echo.data(), 5, nullptr));
    EXPECT_FALSE(tvlr_read(r));
    EXPECT_EQ(tvlr_reader_get_error(r), 30u);
    tvlr_reader_destroy(r);
}

TEST(ReaderApi, ZeroOptionsMeanDefaults) {
    tvlr_reader_options zero{};
    std::string deep;
    for (int i = 0; i < 64; ++i) deep += ".a={";
    for (int i = 0; i < 64; ++i) deep += "};";
    EXPECT_TRUE(read_trace(deep, &zero).ok);
    std::string arrays = ".a=" + std::string(64, '[') + std::string(64, ']') + ";";
    EXPECT_TRUE(read_trace(arrays, &zero).ok);
    arrays = ".a=" + std::string(65, '[') + std::string(65, ']') + ";";
    auto res = read_trace(arrays, &zero);
    EXPECT_EQ(res.error, 6u);
    EXPECT_EQ(res.offset, 3u + 64);
}

TEST(ReaderApi, ArrayDepth255) {
    tvlr_reader_options o{};
    o.max_array_depth = 255;
    std::string doc = ".a=" + std::string(255, '[') + std::string(255, ']') + ";";
    EXPECT_TRUE(read_trace(doc, &o).ok);
    doc = ".a=" + std::string(256, '[') + std::string(256, ']') + ";";
    EXPECT_EQ(read_trace(doc, &o).error, 6u);
    o.max_array_depth = 2;
    EXPECT_EQ(read_trace(".a=[[[1]]];", &o).error, 6u);
}

TEST(ReaderApi, FileLimitIsCheckedPerChunk) {
    tvlr_reader_options o{};
    o.max_file_bytes = 7;
    EXPECT_TRUE(read_trace(".a = 1;", &o).ok);
    auto res = read_trace(".a = 12;", &o);
    EXPECT_EQ(res.error, 27u);
    EXPECT_EQ(res.offset, 8u);
}

bool failing_read(tvlr_source *, uint8_t *, uint32_t, uint32_t *count) {
    *count = 0;
    return false;
}

TEST(ReaderApi, SourceFailureIs17) {
    tvlr_source src{};
    src.read = &failing_read;
    tvlr_reader *r = tvlr_reader_create();
    ASSERT_TRUE(tvlr_open_read_source(r, &src, nullptr, nullptr));
    EXPECT_FALSE(tvlr_read(r));
    EXPECT_EQ(tvlr_reader_get_error(r), 17u);
    tvlr_reader_destroy(r);
}

TEST(ReaderApi, DescriptorSourceReadsAFile) {
    char path[] = "/tmp/tvlr_reader_XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    std::string doc;
    for (int i = 0; i < 20000; ++i) doc += ".m" + std::to_string(i) + " = \"v\";\n";
    ASSERT_EQ(write(fd, doc.data(), doc.size()), static_cast<ssize_t>(doc.size()));
    lseek(fd, 0, SEEK_SET);
    tvlr_source src;
    tvlr_source_from_fd(&src, fd);
    Counter c;
    tvlr_reader_options o{};
    o.user_data = &c;
    o.on_event = &count_event;
    tvlr_reader *r = tvlr_reader_create();
    ASSERT_TRUE(tvlr_open_read_source(r, &src, nullptr, &o));
    EXPECT_TRUE(tvlr_read(r));
    EXPECT_EQ(c.kinds.size(), 2u + 20000 * 5);
    tvlr_reader_destroy(r);
    close(fd);
    unlink(path);
    // A closed descriptor is a source failure.
    tvlr_source_from_fd(&src, fd);
    r = tvlr_reader_create();
    ASSERT_TRUE(tvlr_open_read_source(r, &src, nullptr, nullptr));
    EXPECT_FALSE(tvlr_read(r));
    EXPECT_EQ(tvlr_reader_get_error(r), 17u);
    tvlr_reader_destroy(r);
}

TEST(Sinks, MemorySinkTakesAllOrNothing) {
    char buf[8] = {};
    tvlr_sink s;
    tvlr_sink_to_mem(&s, buf, 5);
    EXPECT_TRUE(s.direct);
    EXPECT_TRUE(s.write(&s, reinterpret_cast<const uint8_t *>("abc"), 3));
    EXPECT_FALSE(s.write(&s, reinterpret_cast<const uint8_t *>("def"), 3));
    EXPECT_TRUE(s.write(&s, reinterpret_cast<const uint8_t *>("de"), 2));
    EXPECT_EQ(std::string(buf, 5), "abcde");
    EXPECT_EQ(buf[5], 0);
    EXPECT_EQ(tvlr_sink_bytes_written(&s), 5u);
    EXPECT_EQ(s.remaining, 0u);
    EXPECT_TRUE(s.finish(&s));
    EXPECT_EQ(tvlr_sink_bytes_written(nullptr), 0u);
}

TEST(Sinks, DescriptorSinkWritesEverything) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    tvlr_sink s;
    tvlr_sink_to_fd(&s, fds[1]);
    EXPECT_FALSE(s.direct);
    EXPECT_TRUE(s.write(&s, reinterpret_cast<const uint8_t *>("hello"), 5));
    EXPECT_TRUE(s.write(&s, nullptr, 0));
    EXPECT_EQ(tvlr_sink_bytes_written(&s), 5u);
    EXPECT_TRUE(s.finish(&s));
    close(fds[1]);
    char buf[16] = {};
    EXPECT_EQ(read(fds[0], buf, sizeof buf), 5);
    EXPECT_STREQ(buf, "hello");
    close(fds[0]);
    // A closed descriptor fails.
    EXPECT_FALSE(s.write(&s, reinterpret_cast<const uint8_t *>("x"), 1));
}

}  // namespace

namespace {

// The first callback sees type_start before the annotation is read (type 0,
// neutral unit); the second sees the parsed type and unit.
TEST(ReaderApi, TypeStartRecordsDifferBetweenCallbacks) {
    struct Seen {
        std::string first, second;
    } seen;
    tvlr_reader_options o{};
    o.user_data = &seen;
    o.on_event = [](void *u, uint32_t kind, tvlr_event *e) {
        if (kind == TVLR_EV_TYPE_START)
            static_cast<Seen *>(u)->first = tvltest::render_event(kind, *e) + "@" +
                                            tvltest::type_text(e->value_type) + "~" +
                                            tvltest::trace_unit(e->unit);
        return true;
    };
    o.on_event_after = [](void *u, uint32_t kind, tvlr_event *e) {
        if (kind == TVLR_EV_TYPE_START)
            static_cast<Seen *>(u)->second = tvltest::render_event(kind, *e) + "@" +
                                             tvltest::type_text(e->value_type) + "~" +
                                             tvltest::trace_unit(e->unit);
        return true;
    };
    tvlr_reader *r = tvlr_reader_create();
    const char doc[] = ".a = <uint:8,m> 5;";
    ASSERT_TRUE(tvlr_open_read_mem(r, doc, sizeof doc - 1, nullptr, 0, &o));
    EXPECT_TRUE(tvlr_read(r));
    EXPECT_EQ(seen.first, "<\"uint:8,m\"@plain~");
    EXPECT_EQ(seen.second, "<\"uint:8,m\"@uint~4");
    tvlr_reader_destroy(r);
}

}  // namespace

namespace {

// Both callbacks get the annotation run, in order, up to a parameter that
// is refused; the error comes after the events before it.
TEST(ReaderApi, AnnotationRunReachesBothCallbacksBeforeItsError) {
    struct Case {
        const char *doc;
        const char *expected;
    };
    const Case cases[] = {
        {".a = <uint:8,xyz> 1;",
         " 1<\"uint:8,xyz\" 2<\"uint:8,xyz\" 1T=uint:8 2T=uint:8 1bits=8 2bits=8 !unit_illegal"},
        {".k=<float:f> 1;", " 1<\"float:f\" 2<\"float:f\" 1T=float:0 2T=float:0 !unit_illegal"},
        {".a = <uint:_16,q> 1;",
         " 1<\"uint:_16,q\" 2<\"uint:_16,q\" 1T=uint:0:b16 2T=uint:0:b16 1base=16 2base=16 "
         "!unit_illegal"},
        {".a = <bool:8> true;", " 1<\"bool:8\" !illegal_value_type"},
    };
    for (const auto &c : cases) {
        std::string seen;
        tvlr_reader_options o{};
        o.user_data = &seen;
        o.on_event = [](void *u, uint32_t kind, tvlr_event *e) {
            if (kind >= TVLR_EV_TYPE_START && kind <= TVLR_EV_TYPE_PARAM)
                *static_cast<std::string *>(u) += " 1" + tvltest::render_event(kind, *e);
            return true;
        };
        o.on_event_after = [](void *u, uint32_t kind, tvlr_event *e) {
            if (kind >= TVLR_EV_TYPE_START && kind <= TVLR_EV_TYPE_PARAM)
                *static_cast<std::string *>(u) += " 2" + tvltest::render_event(kind, *e);
            return true;
        };
        o.on_error = [](void *u, uint32_t code, uint64_t, uint64_t, uint32_t, uint64_t) {
            *static_cast<std::string *>(u) += " !" + tvltest::error_text(code);
        };
        tvlr_reader *r = tvlr_reader_create();
        ASSERT_TRUE(tvlr_open_read_mem(r, c.doc, std::strlen(c.doc), nullptr, 0, &o));
        EXPECT_FALSE(tvlr_read(r));
        EXPECT_EQ(seen, c.expected) << c.doc;
        tvlr_reader_destroy(r);
    }
}

}  // namespace

namespace {

// Opening or reading a reader from inside one of its own callbacks is
// refused; the running read goes on with its own input and buffers.
struct Reentry {
    tvlr_reader *reader = nullptr;
    int from = -1;  // 0 on_event, 1 on_event_after, 2 on_error, 3 the source; -1 never
    int attempts = 0;
    int accepted = 0;
    std::string events;
    std::string_view input;
    size_t pos = 0;
};

void try_reentry(Reentry *x, int from) {
    if (x->from != from) return;
    ++x->attempts;
    static const char other[] = ".z = [9, 9, 9];";
    tvlr_source src;
    tvlr_source_from_mem(&src, other, sizeof other - 1);
    x->accepted += tvlr_open_read_mem(x->reader, other, sizeof other - 1, nullptr, 0, nullptr);
    x->accepted += tvlr_open_read_source(x->reader, &src, nullptr, nullptr);
    x->accepted += tvlr_read(x->reader);
}

bool reentry_read(tvlr_source *src, uint8_t *dst, uint32_t cap, uint32_t *count) {
    Reentry *x;
    std::memcpy(&x, src->user_state, sizeof x);
    try_reentry(x, 3);
    size_t n = std::min<size_t>({3, cap, x->input.size() - x->pos});
    std::memcpy(dst, x->input.data() + x->pos, n);
    x->pos += n;
    *count = static_cast<uint32_t>(n);
    return true;
}

Reentry read_with_reentry(int from) {
    Reentry x;
    x.from = from;
    x.input = ".a = !; .b = [1, 2]; .c = \"s\";";
    tvlr_reader_options o{};
    o.recover = 1;
    o.user_data = &x;
    o.on_event = [](void *u, uint32_t kind, tvlr_event *e) {
        auto *y = static_cast<Reentry *>(u);
        y->events += tvltest::render_event(kind, *e) + " ";
        try_reentry(y, 0);
        return true;
    };
    o.on_event_after = [](void *u, uint32_t, tvlr_event *) {
        try_reentry(static_cast<Reentry *>(u), 1);
        return true;
    };
    o.on_error = [](void *u, uint32_t code, uint64_t, uint64_t, uint32_t, uint64_t) {
        auto *y = static_cast<Reentry *>(u);
        y->events += "!" + tvltest::error_text(code) + " ";
        try_reentry(y, 2);
    };
    tvlr_source src{};
    src.read = &reentry_read;
    Reentry *px = &x;
    std::memcpy(src.user_state, &px, sizeof px);
    x.reader = tvlr_reader_create();
    EXPECT_TRUE(tvlr_open_read_source(x.reader, &src, nullptr, &o));
    EXPECT_TRUE(tvlr_read(x.reader));
    EXPECT_EQ(tvlr_reader_get_recovery_count(x.reader), 1u);
    tvlr_reader_destroy(x.reader);
    x.reader = nullptr;
    return x;
}

TEST(ReaderApi, CallbacksCannotOpenOrReadTheirReader) {
    const Reentry plain = read_with_reentry(-1);
    for (int from = 0; from < 4; ++from) {
        const Reentry x = read_with_reentry(from);
        EXPECT_GT(x.attempts, 0) << from;
        EXPECT_EQ(x.accepted, 0) << from;
        EXPECT_EQ(x.events, plain.events) << from;
    }
    const std::string start = "S .a !unexpected_input_byte .b [ ";
    EXPECT_EQ(plain.events.substr(0, start.size()), start);
}

}  // namespace
