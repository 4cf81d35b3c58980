// The canonical observer: its output for given documents, its behaviour at sink failures and
// finish, and the round trips: canonical text reads back with the same values (units included),
// is a fixed point in both layouts, and equals what a writer fed with the same events writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/trace.h"
#include "writer/output.h"
#include "writer_support.h"

using namespace wtest;
using namespace std::string_literals;

namespace {

struct CanonCase {
    std::string input;
    std::string compact;
    std::string pretty;
};

TEST(CanonObserver, Output) {
    const CanonCase cases[] = {
        {".a = on; # note\n.b = off;", ".a=<bool>true;.b=<bool>false;",
         ".a = <bool> true;\n.b = <bool> false;\n"},
        {".s={.t=<uint:8>[1,2]/[3,4];};", ".s={.t=<uint:8>[1,2]/[3,4];};",
         ".s = {\n\t.t = <uint:8> [1, 2] / [3, 4];\n};\n"},
        {".p = 12;", ".p=<uint:64,_10,no_unit>12;", ".p = <uint:64,_10,no_unit> 12;\n"},
        {".t = \"a\\tb\";", ".t=<utf8>\"a\\tb\";", ".t = <utf8> \"a\\tb\";\n"},
        {".x = $nan;", ".x=<float:64,_10,no_unit>$nan;", ".x = <float:64,_10,no_unit> $nan;\n"},
        {".r = &.a.b; .s = sym; .n = null; .e = ;", ".r=&.a.b;.s=sym;.n=;.e=;",
         ".r = &.a.b;\n.s = sym;\n.n = ;\n.e = ;\n"},
        {".c = 12.50 USD;", ".c=<float_dec:64,USD>12.50;", ".c = <float_dec:64,USD> 12.50;\n"},
        {".u = 12 k~m/s;", ".u=<uint:64,_10,k~m/s>12;", ".u = <uint:64,_10,k~m/s> 12;\n"},
        {".a = [1, 1.5, \"x\"];",
         ".a=[<uint:64,_10,no_unit>1,<float:64,_10,no_unit>1.5,<utf8>\"x\"];",
         ".a = [<uint:64,_10,no_unit> 1, <float:64,_10,no_unit> 1.5, <utf8> \"x\"];\n"},
        {".o = \0\1\3\0xyz\1\1\0q\0 ;"s, ".o=\0\1\3\0xyz\1\1\0q\0;"s,
         ".o = \0\1\3\0xyz\1\1\0q\0;\n"s},
        {"\xEF\xBB\xBF# lead\r\n.t = \"ab\" # c\n \"cd\";", ".t=<utf8>\"abcd\";",
         ".t = <utf8> \"abcd\";\n"},
        {".a = <utf8:_16,q> \"x\";", ".a=<utf8:_16,q>\"x\";", ".a = <utf8:_16,q> \"x\";\n"},
        {".f = <float_fix:32,q0> 1.5;", ".f=<float_fix:32>1.5;", ".f = <float_fix:32> 1.5;\n"},
        // A unit given only as a suffix stays a suffix.
        {".a = <uint:8> 5 m;", ".a=<uint:8>5 m;", ".a = <uint:8> 5 m;\n"},
        {".s = \"abc\" m;", ".s=<utf8>\"abc\" m;", ".s = <utf8> \"abc\" m;\n"},
        {".f = <float> $-inf k~g*m;", ".f=<float>$-inf k~g\xC2\xB7m;",
         ".f = <float> $-inf k~g\xC2\xB7m;\n"},
        {".s = { .x = <sint:8> -5 s; };", ".s={.x=<sint:8>-5 s;};",
         ".s = {\n\t.x = <sint:8> -5 s;\n};\n"},
        {".a = [{.x = <uint> 5 m;}];", ".a=[{.x=<uint>5 m;}];",
         ".a = [{\n\t.x = <uint> 5 m;\n}];\n"},
        // An untyped integer beyond 64 bits stays untyped: the added annotation would refuse it.
        {".p = 18446744073709551616;", ".p=18446744073709551616;", ".p = 18446744073709551616;\n"},
        {".p = -9223372036854775809 m;", ".p=-9223372036854775809 m;",
         ".p = -9223372036854775809 m;\n"},
        {".a = [18446744073709551616, 1];", ".a=[18446744073709551616,1];",
         ".a = [18446744073709551616, 1];\n"},
        {".a = [1, 18446744073709551616];", ".a=[<uint:64,_10,no_unit>1,18446744073709551616];",
         ".a = [<uint:64,_10,no_unit> 1, 18446744073709551616];\n"},
        {".p = 18446744073709551615;", ".p=<uint:64,_10,no_unit>18446744073709551615;",
         ".p = <uint:64,_10,no_unit> 18446744073709551615;\n"},
        {".a = <uint> 5;", ".a=<uint>5;", ".a = <uint> 5;\n"},
    };
    for (const CanonCase &c : cases) {
        SCOPED_TRACE(c.input);
        for (bool pretty : {false, true}) {
            const CanonResult r = canonicalise(c.input, pretty);
            ASSERT_TRUE(r.read_ok) << r.read_error;
            EXPECT_TRUE(r.finish_ok);
            EXPECT_EQ(r.out, pretty ? c.pretty : c.compact);
            // The values, units included, read back as they were read.
            const Values before = read_values(c.input);
            const Values after = read_values(r.out);
            ASSERT_TRUE(after.ok) << after.error;
            EXPECT_EQ(after.text, before.text);
        }
    }
}

TEST(CanonObserver, NothingReachesADescriptorBeforeFinish) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(fcntl(fds[0], F_SETFL, O_NONBLOCK), 0);
    tvlr_sink sink;
    tvlr_sink_to_fd(&sink, fds[1]);
    tvlr_canon_observer *obs = tvlr_canon_observer_create(&sink, false);
    ASSERT_NE(obs, nullptr);
    tvlr_reader_options o{};
    o.user_data = obs;
    o.on_event = &tvlr_canon_observer_on_event;
    tvlr_reader *r = tvlr_reader_create();
    const std::string doc = ".a = on; # note\n.b = off;";
    ASSERT_TRUE(tvlr_open_read_mem(r, doc.data(), doc.size(), nullptr, 0, &o));
    ASSERT_TRUE(tvlr_read(r));
    char buf[64];
    EXPECT_EQ(read(fds[0], buf, sizeof buf), -1);
    ASSERT_TRUE(tvlr_canon_observer_finish(obs));
    const ssize_t n = read(fds[0], buf, sizeof buf);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(buf, static_cast<size_t>(n)), ".a=<bool>true;.b=<bool>false;");
    tvlr_reader_destroy(r);
    tvlr_canon_observer_destroy(obs);
    close(fds[0]);
    close(fds[1]);
}

TEST(CanonObserver, SinkTooSmallStopsTheReader) {
    char buffer[12];
    tvlr_sink sink;
    tvlr_sink_to_mem(&sink, buffer, sizeof buffer);
    tvlr_canon_observer *obs = tvlr_canon_observer_create(&sink, false);
    tvlr_reader_options o{};
    o.user_data = obs;
    o.on_event = &tvlr_canon_observer_on_event;
    tvlr_reader *r = tvlr_reader_create();
    const std::string doc = ".a = on; .b = off;";
    ASSERT_TRUE(tvlr_open_read_mem(r, doc.data(), doc.size(), nullptr, 0, &o));
    EXPECT_FALSE(tvlr_read(r));
    EXPECT_EQ(tvlr_reader_get_error(r), 26u);
    // `true` no longer fits after `.a=<bool>`: the memory sink takes no part of it.
    EXPECT_EQ(std::string(buffer, 9), ".a=<bool>");
    EXPECT_TRUE(tvlr_canon_observer_finish(obs));
    EXPECT_EQ(tvlr_canon_observer_bytes_written(obs), 9u);
    tvlr_reader_destroy(r);
    tvlr_canon_observer_destroy(obs);
}

TEST(CanonObserver, CreateAndNullArguments) {
    tvlr_sink sink;
    char buffer[8];
    tvlr_sink_to_mem(&sink, buffer, sizeof buffer);
    tvlr_sink no_write = sink;
    no_write.write = nullptr;
    EXPECT_EQ(tvlr_canon_observer_create(&no_write, false), nullptr);
    EXPECT_EQ(tvlr_canon_observer_create(nullptr, true), nullptr);
    tvlr_event e{};
    EXPECT_TRUE(tvlr_canon_observer_on_event(nullptr, TVLR_EV_VALUE, &e));
    EXPECT_TRUE(tvlr_canon_observer_finish(nullptr));
    EXPECT_EQ(tvlr_canon_observer_bytes_written(nullptr), 0u);
    tvlr_canon_observer_destroy(nullptr);
    tvlr_canon_observer *obs = tvlr_canon_observer_create(&sink, false);
    ASSERT_NE(obs, nullptr);
    EXPECT_TRUE(tvlr_canon_observer_on_event(obs, TVLR_EV_VALUE, nullptr));
    EXPECT_TRUE(tvlr_canon_observer_finish(obs));
    tvlr_canon_observer_destroy(obs);
}

// After a read that failed inside a struct, finish still writes the pending ';'. Bytes that a
// failed sink did not take stay buffered, and a later finish delivers them.
TEST(CanonObserver, FinishAfterIncompleteInputAndSinkFailure) {
    const CanonResult r = canonicalise(".s = { .x = <uint:8> 1; ", false);
    EXPECT_FALSE(r.read_ok);
    EXPECT_EQ(r.read_error, 18u);
    EXPECT_TRUE(r.finish_ok);
    EXPECT_EQ(r.out, ".s={.x=<uint:8>1;");

    struct Flaky {
        std::string out;
        int failures = 1;
    } flaky;
    tvlr_sink sink{};
    sink.write = [](tvlr_sink *s, const uint8_t *data, uint32_t len) {
        auto *f = load_pointer<Flaky>(s->reserved);
        if (f->failures-- > 0) return false;
        f->out.append(reinterpret_cast<const char *>(data), len);
        return true;
    };
    store_pointer(sink.reserved, &flaky);
    tvlr_canon_observer *obs = tvlr_canon_observer_create(&sink, false);
    tvlr_event name{};
    name.text = "a";
    name.text_len = 1;
    ASSERT_TRUE(tvlr_canon_observer_on_event(obs, TVLR_EV_MEMBER_NAME, &name));
    EXPECT_FALSE(tvlr_canon_observer_finish(obs));
    EXPECT_TRUE(flaky.out.empty());
    EXPECT_TRUE(tvlr_canon_observer_finish(obs));
    EXPECT_EQ(flaky.out, ".a=");
    tvlr_canon_observer_destroy(obs);
}

// Annotation runs fed to the observer directly, also cut short, repeated and with parameters of
// every kind, before members' values and array elements: held and written in pieces (matched
// against the last run of their word too, with the value after them), the same results and text
// as event by event in both layouts.
TEST(CanonObserver, HeldRunsAgreeWithEvents) {
    using Event = std::pair<uint32_t, tvlr_event>;
    const auto canonical = [](const std::vector<Event> &events, bool pretty, bool by_events) {
        tvl::wr::testing::use_event_path(by_events);
        std::string out;
        tvlr_sink sink = string_sink(&out);
        tvlr_canon_observer *obs = tvlr_canon_observer_create(&sink, pretty);
        tvl::wr::testing::use_event_path(false);
        std::string seen;
        for (Event e : events)
            seen += tvlr_canon_observer_on_event(obs, e.first, &e.second) ? '1' : '0';
        seen += tvlr_canon_observer_finish(obs) ? '1' : '0';
        tvlr_canon_observer_destroy(obs);
        return seen + out;
    };
    std::mt19937 rng(5);
    const auto pick = [&rng](std::initializer_list<const char *> list) {
        return *(list.begin() + rng() % list.size());
    };
    const auto event = [](uint32_t kind, uint32_t value_kind, const char *text) {
        tvlr_event e{};
        e.value_kind = value_kind;
        e.text = text;
        e.text_len = text != nullptr ? static_cast<uint32_t>(std::strlen(text)) : 0;
        return Event{kind, e};
    };
    for (int i = 0; i < 3000; ++i) {
        std::vector<Event> events;
        const bool pretty = rng() % 2 == 0;
        for (int item = 0; item < 6; ++item) {
            // A member, or an element of the array that the last member opened.
            const bool element = item != 0 && rng() % 2 == 0;
            if (!element && item != 0 && rng() % 2 == 0)
                events.push_back(event(TVLR_EV_ARRAY_END, 0, nullptr));
            // Names, runs and numbers also longer than the 32 bytes that the pieces copy
            // without a call, special numbers, and numbers without a run before them.
            if (!element)
                events.push_back(event(TVLR_EV_MEMBER_NAME, 0,
                                       pick({"m", "m", "a_name_of_thirty_three_bytes_long"})));
            if (!element && rng() % 3 == 0)
                events.push_back(event(TVLR_EV_ARRAY_START, 0, nullptr));
            std::vector<Event> run = {
                event(TVLR_EV_TYPE_START, TVL_VK_TYPE, pick({"uint", "uint", "float", "utf8"}))};
            Event name = event(TVLR_EV_TYPE_NAME, TVL_VK_TYPE, nullptr);
            name.second.value_type = static_cast<uint32_t>(rng() % 8);
            run.push_back(name);
            for (uint32_t n = rng() % 4; n > 0; --n) {
                constexpr uint32_t kKinds[] = {TVL_VK_BITS, TVL_VK_BASE, TVL_VK_FRACTION,
                                               TVL_VK_UNIT, TVL_VK_UNIT, TVL_VK_TYPE};
                Event param = event(TVLR_EV_TYPE_PARAM, kKinds[rng() % 6],
                                    pick({"no_unit", "no_unit", "m", ""}));
                param.second.value_type = static_cast<uint32_t>(rng() % 8);
                param.second.bits = rng() % 3 == 0 ? 0 : 8u << (rng() % 6);
                param.second.base = static_cast<uint32_t>(rng() % 3 == 0 ? 0 : rng() % 17);
                run.push_back(param);
            }
            run.push_back(event(TVLR_EV_TYPE_END, TVL_VK_TYPE, nullptr));
            if (rng() % 5 == 0) run.erase(run.begin() + 1 + rng() % (run.size() - 1));
            if (rng() % 5 == 0) run.push_back(run[1 + rng() % (run.size() - 1)]);
            if (rng() % 4 != 0) events.insert(events.end(), run.begin(), run.end());
            if (rng() % 8 != 0)
                events.push_back(event(TVLR_EV_VALUE, element ? TVL_VK_ARRAY_NUMBER : TVL_VK_NUMBER,
                                       pick({"5", "300", "-3", "1.5", "18446744073709551616", "nan",
                                             "-inf", "123456789012345678901234567890123"})));
        }
        ASSERT_EQ(canonical(events, pretty, false), canonical(events, pretty, true))
            << "case " << i;
    }
}

}  // namespace
