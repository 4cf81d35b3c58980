// Reader throughput: MB/s of tvlr_read on generated documents, without
// callbacks (validation only) and with a counting callback; plus a 1 GiB
// read from a pipe that reports the peak resident memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <random>
#include <string>
#include <thread>

#include "support/json_to_tvlr.h"
#include "tvlr.h"

namespace {

// Records with strings, integers, floats, booleans and arrays.
std::string typical_document(size_t min_bytes) {
    std::mt19937 rng(42);
    std::string doc;
    doc.reserve(min_bytes + 256);
    for (size_t i = 0; doc.size() < min_bytes; ++i) {
        doc += ".rec" + std::to_string(i) + " = {\n";
        doc += "    .id = " + std::to_string(rng()) + ";\n";
        doc += "    .name = \"user name " + std::to_string(rng() % 1000) + " with some text\";\n";
        doc += "    .score = " + std::to_string(rng() % 100000) + "." +
               std::to_string(rng() % 1000) + ";\n";
        doc += "    .active = " + std::string(rng() & 1 ? "true" : "false") + ";\n";
        doc += "    .tags = [alpha, beta, gamma];\n";
        doc += "    .point = [" + std::to_string(rng() % 1000) + ", " +
               std::to_string(rng() % 1000) + "];\n";
        doc += "};\n";
    }
    return doc;
}

// Long strings and white space: exercises the bulk paths.
std::string string_document(size_t min_bytes) {
    std::string doc;
    doc.reserve(min_bytes + 256);
    for (size_t i = 0; doc.size() < min_bytes; ++i)
        doc += ".text" + std::to_string(i) +
               " = \"Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod "
               "tempor incididunt ut labore et dolore magna aliqua.\";\n        \n";
    return doc;
}

const std::string &typical() {
    static const std::string doc = typical_document(32u << 20);
    return doc;
}
const std::string &strings() {
    static const std::string doc = string_document(32u << 20);
    return doc;
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

void BM_ReadTypicalCounting(benchmark::State &state) {
    uint64_t events = 0;
    tvlr_reader_options o{};
    o.user_data = &events;
    o.on_event = [](void *u, uint32_t, tvlr_event *) {
        ++*static_cast<uint64_t *>(u);
        return true;
    };
    read_doc(state, typical(), &o);
    state.counters["events/s"] =
        benchmark::Counter(static_cast<double>(events), benchmark::Counter::kIsRate);
}

// 1 GiB through a pipe: the reader keeps only its own buffers.
void BM_ReadPipeOneGiB(benchmark::State &state) {
    const std::string block = typical_document(1u << 20);
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
        writer.join();
        close(fds[0]);
        if (!ok) state.SkipWithError("read failed");
    }
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    state.counters["peak_rss_MiB"] = static_cast<double>(ru.ru_maxrss) / 1024.0;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * block.size() * total_blocks));
}

// The JSON benchmark documents, converted once to tvlr text.
void BM_ReadJsonCorpus(benchmark::State &state, const char *file, bool counting) {
    std::string tvlr;
    if (!tvlbench::json_to_tvlr(tvlbench::read_bench_file(file), tvlr) || tvlr.empty()) {
        state.SkipWithError("benchmark data missing or not convertible");
        return;
    }
    uint64_t events = 0;
    tvlr_reader_options o{};
    if (counting) {
        o.user_data = &events;
        o.on_event = [](void *u, uint32_t, tvlr_event *) {
            ++*static_cast<uint64_t *>(u);
            return true;
        };
    }
    read_doc(state, tvlr, &o);
    state.counters["tvlr_bytes"] = static_cast<double>(tvlr.size());
    if (counting)
        state.counters["events/s"] =
            benchmark::Counter(static_cast<double>(events), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK_CAPTURE(BM_ReadJsonCorpus, twitter, "twitter.json", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadJsonCorpus, citm_catalog, "citm_catalog.json", false)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadJsonCorpus, canada, "canada.json", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadJsonCorpus, twitter_counting, "twitter.json", true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ReadJsonCorpus, canada_counting, "canada.json", true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadTypicalNoCallbacks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadStringsNoCallbacks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadTypicalCounting)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadPipeOneGiB)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
