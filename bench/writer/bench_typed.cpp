// Typed value writers against std::to_chars: 10000 seeded values per run written as members
// (`tvlr_write_sint`, `tvlr_write_uint`, `tvlr_write_float` at 64 bits) into a memory writer,
// beside std::to_chars of the same values into a buffer, in nanoseconds per value; the ratio of
// the two is printed at the end. The writer's figure includes the member name, annotation and
// checks that std::to_chars does not do.
#include <benchmark/benchmark.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "support/ratio_reporter.h"
#include "tvlr.h"

namespace {

constexpr size_t kCount = 10000;

struct Values {
    std::vector<int64_t> ints;
    std::vector<uint64_t> uints;
    std::vector<double> doubles;
};

Values make_values() {
    std::mt19937_64 rng(14);
    Values v;
    while (v.doubles.size() < kCount) {
        const uint64_t r = rng();
        // Integers of every length: the shift spreads them over 1 to 20 digits.
        v.uints.push_back(r >> (rng() % 64));
        v.ints.push_back(static_cast<int64_t>(rng()) >> (rng() % 64));
        const double d = std::bit_cast<double>(r);
        v.doubles.push_back(std::isfinite(d) ? d : 1.5);
    }
    return v;
}

void set_rate(benchmark::State &state) {
    state.counters["per_conv"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kCount,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Writes every value as a member ".v = <type:64> value;" into one memory buffer per run.
template <typename T, typename Write>
void run_writer(benchmark::State &state, const std::vector<T> &values, Write write) {
    std::vector<char> buf(values.size() * 64);
    tvlr_writer *w = tvlr_writer_create();
    for (auto _ : state) {
        tvlr_open_write_mem(w, buf.data(), buf.size(), false, nullptr);
        for (const T &x : values) write(w, x);
        if (!tvlr_write_finish(w)) state.SkipWithError("writer refused a value");
        benchmark::DoNotOptimize(buf.data());
    }
    tvlr_writer_destroy(w);
    set_rate(state);
}

template <typename T>
void run_to_chars(benchmark::State &state, const std::vector<T> &values) {
    std::vector<char> buf(values.size() * 32);
    for (auto _ : state) {
        char *p = buf.data();
        for (const T &x : values) {
            if constexpr (std::is_floating_point_v<T>) {
                p = std::to_chars(p, p + 32, x, std::chars_format::scientific).ptr;
            } else {
                p = std::to_chars(p, p + 32, x).ptr;
            }
        }
        benchmark::DoNotOptimize(buf.data());
    }
    set_rate(state);
}

}  // namespace

int main(int argc, char **argv) {
    static const Values v = make_values();
    benchmark::RegisterBenchmark("writer/sint", [](benchmark::State &s) {
        run_writer(s, v.ints, [](tvlr_writer *w, int64_t x) { tvlr_write_sint(w, "v", 64, x); });
    });
    benchmark::RegisterBenchmark("to_chars/sint",
                                 [](benchmark::State &s) { run_to_chars(s, v.ints); });
    benchmark::RegisterBenchmark("writer/uint", [](benchmark::State &s) {
        run_writer(s, v.uints, [](tvlr_writer *w, uint64_t x) { tvlr_write_uint(w, "v", 64, x); });
    });
    benchmark::RegisterBenchmark("to_chars/uint",
                                 [](benchmark::State &s) { run_to_chars(s, v.uints); });
    benchmark::RegisterBenchmark("writer/float", [](benchmark::State &s) {
        run_writer(s, v.doubles, [](tvlr_writer *w, double x) { tvlr_write_float(w, "v", 64, x); });
    });
    benchmark::RegisterBenchmark("to_chars/float",
                                 [](benchmark::State &s) { run_to_chars(s, v.doubles); });
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    tvlr_bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n%-6s %14s %14s %14s %8s\n", "values", "writer ns", "to_chars ns",
                "writer Mvals/s", "ratio");
    for (const char *name : {"sint", "uint", "float"}) {
        const auto a = reporter.seconds.find(std::string("writer/") + name);
        const auto b = reporter.seconds.find(std::string("to_chars/") + name);
        if (a == reporter.seconds.end() || b == reporter.seconds.end()) continue;
        std::printf("%-6s %14.1f %14.1f %14.1f %8.2f\n", name, a->second * 1e9, b->second * 1e9,
                    1e-6 / a->second, a->second / b->second);
    }
    return 0;
}
