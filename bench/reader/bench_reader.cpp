// Reader throughput: MB/s of tvlr_read on generated documents (records, long
// strings, numbers, deep nesting), without callbacks (validation only) and
// with a counting callback; a 1 GiB read from a pipe that reports the peak
// resident memory; and, when a data folder is given (--data=DIR or
// TVLR_BENCH_DATA), the JSON benchmark documents converted to tvlr text.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <thread>

#include "support/bench_data.h"
#include "support/corpora.h"
#include "tvlr.h"

namespace {

const std::string &typical() {
    static const std::string doc = tvlbench::records_document(32u << 20);
    return doc;
}
const std::string &strings() {
    static const std::string doc = tvlbench::strings_document(32u << 20);
    return doc;
}
const std::string &numbers() {
    static const std::string doc = tvlbench::numbers_document(32u << 20);
    return doc;
}
// Sixty levels: within the default depth limits of 64.
const std::string &nested() {
    static const std::string doc = tvlbench::nested_document(32u << 20, 60);
    return doc;
}

bool count_event(void *user, uint32_t, tvlr_event *) {
    ++*static_cast<uint64_t *>(user);
    return true;
}

void read_doc(benchmark::State &state, const std::string &doc, const tvlr_reader_options *o) {
    tvlr_reader *r = tvlr_reader_create();
    for (auto _ : state) {
        if (!tvlr_open_read_mem(r, doc.data(), doc.size(), nullptr, 0, o) || !tvlr_read(r))
            state.SkipWithError("read failed");
    }
    tvlr_reader_destroy(r);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * doc.size()));
}

void BM_ReadTypicalNoCallbacks(benchmark::State &state) {
    read_doc(state, typical(), nullptr);
}
void BM_ReadStringsNoCallbacks(benchmark::State &state) {
    read_doc(state, strings(), nullptr);
}
void BM_ReadNumbersNoCallbacks(benchmark::State &state) {
    read_doc(state, numbers(), nullptr);
}
void BM_ReadNestedNoCallbacks(benchmark::State &state) {
    read_doc(state, nested(), nullptr);
}

void read_counting(benchmark::State &state, const std::string &doc) {
    uint64_t events = 0;
    tvlr_reader_options o{};
    o.user_data = &events;
    o.on_event = &count_event;
    read_doc(state, doc, &o);
    state.counters["events/s"] =
        benchmark::Counter(static_cast<double>(events), benchmark::Counter::kIsRate);
}

void BM_ReadTypicalCounting(benchmark::State &state) {
    read_counting(state, typical());
}
void BM_ReadNestedCounting(benchmark::State &state) {
    read_counting(state, nested());
}

// 1 GiB through a pipe: the reader keeps only its own buffers.
void BM_ReadPipeOneGiB(benchmark::State &state) {
    std::signal(SIGPIPE, SIG_IGN);
    const std::string block = tvlbench::records_document(1u << 20);
    const size_t total_blocks = 1024;
    for (auto _ : state) {
        int fds[2];
        if (pipe(fds) != 0) {
            state.SkipWithError("pipe");
            return;
        }
        std::thread writer([&] {
            for (size_t i = 0; i < total_blocks; ++i) {
                size_t pos = 0;
                while (pos < block.size()) {
                    ssize_t n = write(fds[1], block.data() + pos, block.size() - pos);
                    if (n <= 0) break;
                    pos += static_cast<size_t>(n);
                }
            }
            close(fds[1]);
        });
        tvlr_reader *r = tvlr_reader_create();
        tvlr_source src;
        tvlr_source_from_fd(&src, fds[0]);
        tvlr_reader_options o{};
        o.max_file_bytes = UINT64_MAX;
        o.max_text_bytes = UINT64_MAX;
        bool ok = tvlr_open_read_source(r, &src, nullptr, &o) && tvlr_read(r);
        tvlr_reader_destroy(r);
        // Closing the read end first ends a writer that a failed read left
        // blocked on a full pipe (its write fails with EPIPE).
        close(fds[0]);
        writer.join();
        if (!ok) state.SkipWithError("read failed");
    }
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    state.counters["peak_rss_MiB"] = static_cast<double>(ru.ru_maxrss) / 1024.0;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * block.size() * total_blocks));
}

// A JSON benchmark document, converted once to tvlr text.
void BM_ReadJson(benchmark::State &state, const std::string &tvlr, bool counting) {
    uint64_t events = 0;
    tvlr_reader_options o{};
    if (counting) {
        o.user_data = &events;
        o.on_event = &count_event;
    }
    read_doc(state, tvlr, &o);
    state.counters["tvlr_bytes"] = static_cast<double>(tvlr.size());
    if (counting)
        state.counters["events/s"] =
            benchmark::Counter(static_cast<double>(events), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_ReadTypicalNoCallbacks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadStringsNoCallbacks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadNumbersNoCallbacks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadNestedNoCallbacks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadTypicalCounting)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadNestedCounting)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPipeOneGiB)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char **argv) {
    return tvlbench::run_benchmarks(argc, argv, [](const tvlbench::JsonDocument &doc) {
        for (const bool counting : {false, true}) {
            const std::string name = "BM_ReadJson/" + doc.name + (counting ? "_counting" : "");
            const std::string *tvlr = &doc.tvlr;
            benchmark::RegisterBenchmark(name.c_str(), [tvlr, counting](benchmark::State &state) {
                BM_ReadJson(state, *tvlr, counting);
            })->Unit(benchmark::kMillisecond);
        }
    });
}
