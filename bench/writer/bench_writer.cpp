// Writer throughput: MB/s of output for a typical document written event by event through
// tvlr_write_event (into a memory sink, and through the 64 KiB buffer into a sink that discards),
// and MB/s of input for reading generated documents through the canonical observer; with a data
// folder (--data=DIR or TVLR_BENCH_DATA) also the JSON benchmark documents as tvlr text.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/bench_data.h"
#include "support/corpora.h"
#include "tvlr.h"

namespace {

struct OwnedEvent {
    uint32_t kind;
    tvlr_event event;
    std::string text;
};

class EventList {
  public:
    void add(uint32_t kind, uint32_t value_kind = 0, std::string text = {}, uint32_t type = 0,
             uint32_t bits = 0) {
        OwnedEvent e{kind, tvlr_event{}, std::move(text)};
        e.event.value_kind = value_kind;
        e.event.value_type = type;
        e.event.bits = bits;
        events_.push_back(std::move(e));
    }

    // An annotation run and a value of that type, as a typed writer sends them.
    void typed(uint32_t type, uint32_t bits, uint32_t value_kind, std::string text) {
        add(TVLR_EV_TYPE_START, TVL_VK_TYPE, {}, type, bits);
        add(TVLR_EV_TYPE_NAME, TVL_VK_TYPE, {}, type, bits);
        if (bits) add(TVLR_EV_TYPE_PARAM, TVL_VK_BITS, {}, type, bits);
        add(TVLR_EV_TYPE_END, TVL_VK_TYPE, {}, type, bits);
        add(TVLR_EV_VALUE, value_kind, std::move(text), type, bits);
    }

    std::vector<OwnedEvent> take() { return std::move(events_); }

  private:
    std::vector<OwnedEvent> events_;
};

// Records with integers, strings, floats, booleans, symbols and arrays, about min_bytes of
// compact output.
const std::vector<OwnedEvent> &typical_events() {
    static std::vector<OwnedEvent> events = [] {
        EventList list;
        std::mt19937 rng(42);
        for (size_t i = 0; i < 20000; ++i) {
            list.add(TVLR_EV_MEMBER_NAME, 0, "rec" + std::to_string(i));
            list.add(TVLR_EV_STRUCT_START);
            list.add(TVLR_EV_MEMBER_NAME, 0, "id");
            list.typed(TVLR_TYPE_UINT, 64, TVL_VK_NUMBER, std::to_string(rng()));
            list.add(TVLR_EV_MEMBER_NAME, 0, "name");
            list.add(TVLR_EV_VALUE, TVL_VK_STRING,
                     "user name " + std::to_string(rng() % 1000) + " with some \"text\"");
            list.add(TVLR_EV_MEMBER_NAME, 0, "score");
            list.typed(TVLR_TYPE_FLOAT, 64, TVL_VK_NUMBER,
                       std::to_string(rng() % 100000) + "." + std::to_string(rng() % 1000));
            list.add(TVLR_EV_MEMBER_NAME, 0, "active");
            list.typed(TVLR_TYPE_BOOL, 0, TVL_VK_BOOL, rng() & 1 ? "true" : "false");
            list.add(TVLR_EV_MEMBER_NAME, 0, "tags");
            list.add(TVLR_EV_ARRAY_START);
            for (const char *tag : {"alpha", "beta", "gamma"})
                list.add(TVLR_EV_VALUE, TVL_VK_SYMBOL, tag);
            list.add(TVLR_EV_ARRAY_END);
            list.add(TVLR_EV_MEMBER_NAME, 0, "point");
            list.add(TVLR_EV_ARRAY_START);
            list.add(TVLR_EV_VALUE, TVL_VK_ARRAY_NUMBER, std::to_string(rng() % 1000));
            list.add(TVLR_EV_VALUE, TVL_VK_ARRAY_NUMBER, std::to_string(rng() % 1000));
            list.add(TVLR_EV_ARRAY_END);
            list.add(TVLR_EV_STRUCT_END);
        }
        return list.take();
    }();
    // Point the records at their texts now that the list stays where it is.
    static const bool pointed = [] {
        for (OwnedEvent &e : events) {
            e.event.text = e.text.data();
            e.event.text_len = static_cast<uint32_t>(e.text.size());
        }
        return true;
    }();
    (void)pointed;
    return events;
}

bool discard(tvlr_sink *sink, const uint8_t *, uint32_t len) {
    sink->delivered += len;
    return true;
}

void write_typical(benchmark::State &state, bool pretty, bool memory) {
    const std::vector<OwnedEvent> &events = typical_events();
    std::vector<char> buffer(size_t{1} << 26);
    tvlr_sink sink{};
    if (memory) {
        tvlr_sink_to_mem(&sink, buffer.data(), buffer.size());
    } else {
        sink.write = &discard;
    }
    tvlr_writer *w = tvlr_writer_create();
    uint64_t bytes = 0;
    for (auto _ : state) {
        bool ok = tvlr_open_write_sink(w, &sink, pretty, nullptr);
        for (const OwnedEvent &e : events) ok = ok && tvlr_write_event(w, e.kind, &e.event);
        ok = ok && tvlr_write_finish(w);
        if (!ok) state.SkipWithError("write failed");
        bytes += tvlr_writer_bytes_written(w);
    }
    tvlr_writer_destroy(w);
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    state.counters["events/s"] = benchmark::Counter(
        static_cast<double>(events.size() * state.iterations()), benchmark::Counter::kIsRate);
}

void BM_WriteTypicalToMemory(benchmark::State &state) {
    write_typical(state, false, true);
}
void BM_WriteTypicalPrettyToMemory(benchmark::State &state) {
    write_typical(state, true, true);
}
void BM_WriteTypicalBuffered(benchmark::State &state) {
    write_typical(state, false, false);
}

// Generated documents as text, the reader benchmark's records, numbers and nesting.
const std::string &typical_text() {
    static const std::string doc = tvlbench::records_document(size_t{16} << 20);
    return doc;
}
const std::string &numbers_text() {
    static const std::string doc = tvlbench::numbers_document(size_t{16} << 20);
    return doc;
}
const std::string &nested_text() {
    static const std::string doc = tvlbench::nested_document(size_t{16} << 20, 60);
    return doc;
}

// A sink that counts what it is given into the counter its reserved bytes point at.
bool count_bytes(tvlr_sink *sink, const uint8_t *, uint32_t len) {
    uint64_t *counter;
    std::memcpy(&counter, sink->reserved, sizeof counter);
    *counter += len;
    return true;
}

void canonicalise(benchmark::State &state, const std::string &doc, bool pretty) {
    tvlr_reader *r = tvlr_reader_create();
    uint64_t out = 0;
    uint64_t *counter = &out;
    tvlr_sink sink{};
    sink.write = &count_bytes;
    std::memcpy(sink.reserved, &counter, sizeof counter);
    for (auto _ : state) {
        tvlr_canon_observer *obs = tvlr_canon_observer_create(&sink, pretty);
        tvlr_reader_options o{};
        o.user_data = obs;
        o.on_event = &tvlr_canon_observer_on_event;
        const bool ok = tvlr_open_read_mem(r, doc.data(), doc.size(), nullptr, 0, &o) &&
                        tvlr_read(r) && tvlr_canon_observer_finish(obs);
        tvlr_canon_observer_destroy(obs);
        if (!ok) state.SkipWithError("canonicalising failed");
    }
    tvlr_reader_destroy(r);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
    state.counters["input_bytes"] = static_cast<double>(doc.size());
    state.counters["output_bytes"] =
        static_cast<double>(out) / static_cast<double>(state.iterations());
}

void BM_CanonicaliseTypical(benchmark::State &state) {
    canonicalise(state, typical_text(), false);
}
void BM_CanonicaliseTypicalPretty(benchmark::State &state) {
    canonicalise(state, typical_text(), true);
}

void BM_CanonicaliseNumbers(benchmark::State &state) {
    canonicalise(state, numbers_text(), false);
}
void BM_CanonicaliseNested(benchmark::State &state) {
    canonicalise(state, nested_text(), false);
}

}  // namespace

BENCHMARK(BM_WriteTypicalToMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteTypicalPrettyToMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteTypicalBuffered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CanonicaliseTypical)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CanonicaliseTypicalPretty)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CanonicaliseNumbers)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CanonicaliseNested)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
    return tvlbench::run_benchmarks(argc, argv, [](const tvlbench::JsonDocument &doc) {
        const std::string *tvlr = &doc.tvlr;
        benchmark::RegisterBenchmark(
            ("BM_CanonicaliseJson/" + doc.name).c_str(),
            [tvlr](benchmark::State &state) { canonicalise(state, *tvlr, false); })
            ->Unit(benchmark::kMillisecond);
    });
}
