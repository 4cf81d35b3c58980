// Big float to and from binary64 and fixed point beside the compiler's own conversions, in
// nanoseconds per value over 10,000 seeded random values, with the ratio printed at the end:
//
//   encode_binary64  tvl_float_to_bin64 of precision-53 records    bit_cast<uint64_t>(double)
//   decode_binary64  tvl_float_from_bin64 into precision 53        bit_cast<double>(bits)
//   to_double_p64    tvl_float_to_double of precision-64 records   (double) of a long double
//   to_float         tvl_float_to_float of precision-53 records    (float) of the double
//   to_fix64         tvl_float_to_fix64, F = 0, |value| < 2^62     std::llrint of the double
//   from_fix64       tvl_float_from_fix64 into precision 53        (double) of the int64_t
//
// The records live in one array over one word buffer, as a caller converting many values would
// keep them; the native baselines read the same values as doubles, long doubles or integers.
#include <benchmark/benchmark.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "support/ratio_reporter.h"
#include "tvlr.h"

namespace {

constexpr std::size_t kCount = 10000;

// kCount records of one precision (at most 64 bits, one word each) over one word buffer.
struct Records {
    explicit Records(std::uint32_t precision) : words(kCount), f(kCount) {
        for (std::size_t i = 0; i < kCount; ++i) {
            tvl_float_init_buf(&f[i], precision, &words[i], 1);
        }
    }
    std::vector<std::uint64_t> words;
    std::vector<tvl_float> f;
};

// The seeded values: finite doubles over the whole range, 64-bit significands with exponents
// inside the double range, and integers below 2^62 in magnitude.
struct Data {
    Data() {
        std::mt19937_64 rng(1);
        for (std::size_t i = 0; i < kCount; ++i) {
            double x = 0;
            do x = std::bit_cast<double>(rng());
            while (!std::isfinite(x));
            doubles.push_back(x);
            tvl_float_from_double(&p53.f[i], x);
            const std::uint64_t m = rng() | std::uint64_t{1} << 63;
            const int e = static_cast<int>(rng() % 2000) - 1000;
            p64.f[i].words[0] = m;
            p64.f[i].exponent = e;
            longs.push_back(std::ldexp(static_cast<long double>(m), e - 64));
            ints.push_back(static_cast<std::int64_t>(rng()) / 4);
            tvl_float_from_double(&fix.f[i], static_cast<double>(ints[i]));
        }
    }
    std::vector<double> doubles;
    std::vector<long double> longs;
    std::vector<std::int64_t> ints;
    Records p53{53}, p64{64}, fix{53}, out{53};
};

// Runs body(i) for every value in each iteration and records the time per value.
template <class Body>
void per_value(benchmark::State &state, const Body &body) {
    std::uint64_t acc = 0;
    for (auto _ : state) {
        for (std::size_t i = 0; i < kCount; ++i) acc += body(i);
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(acc);
    state.counters["per_conv"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(kCount),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

std::vector<std::string> names;

template <class Tvl, class Native>
void add_pair(const std::string &name, Tvl tvl, Native native) {
    benchmark::RegisterBenchmark(("tvl/" + name).c_str(),
                                 [tvl](benchmark::State &s) { per_value(s, tvl); });
    benchmark::RegisterBenchmark(("native/" + name).c_str(),
                                 [native](benchmark::State &s) { per_value(s, native); });
    names.push_back(name);
}

}  // namespace

int main(int argc, char **argv) {
    static Data d;
    add_pair(
        "encode_binary64",
        [](std::size_t i) {
            std::uint64_t v = 0;
            tvl_float_to_bin64(&d.p53.f[i], &v);
            return v;
        },
        [](std::size_t i) { return std::bit_cast<std::uint64_t>(d.doubles[i]); });
    add_pair(
        "decode_binary64",
        [](std::size_t i) {
            tvl_float_from_bin64(&d.out.f[i], std::bit_cast<std::uint64_t>(d.doubles[i]));
            return d.out.words[i];
        },
        [](std::size_t i) { return std::bit_cast<std::uint64_t>(d.doubles[i]); });
    add_pair(
        "to_double_p64",
        [](std::size_t i) {
            double v = 0;
            tvl_float_to_double(&d.p64.f[i], &v);
            return std::bit_cast<std::uint64_t>(v);
        },
        [](std::size_t i) {
            return std::bit_cast<std::uint64_t>(static_cast<double>(d.longs[i]));
        });
    add_pair(
        "to_float",
        [](std::size_t i) {
            float v = 0;
            tvl_float_to_float(&d.p53.f[i], &v);
            return std::uint64_t{std::bit_cast<std::uint32_t>(v)};
        },
        [](std::size_t i) {
            return std::uint64_t{std::bit_cast<std::uint32_t>(static_cast<float>(d.doubles[i]))};
        });
    add_pair(
        "to_fix64",
        [](std::size_t i) {
            return static_cast<std::uint64_t>(tvl_float_to_fix64(&d.fix.f[i], 0));
        },
        [](std::size_t i) {
            return static_cast<std::uint64_t>(std::llrint(static_cast<double>(d.ints[i])));
        });
    add_pair(
        "from_fix64",
        [](std::size_t i) {
            tvl_float_from_fix64(&d.out.f[i], d.ints[i], 0);
            return d.out.words[i];
        },
        [](std::size_t i) { return std::bit_cast<std::uint64_t>(static_cast<double>(d.ints[i])); });

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    tvlr_bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n%-16s %10s %10s %8s\n", "conversion", "tvl ns", "native ns", "ratio");
    for (const std::string &name : names) {
        const auto a = reporter.seconds.find("tvl/" + name);
        const auto b = reporter.seconds.find("native/" + name);
        if (a == reporter.seconds.end() || b == reporter.seconds.end()) continue;
        std::printf("%-16s %10.2f %10.2f %8.1f\n", name.c_str(), a->second * 1e9, b->second * 1e9,
                    a->second / b->second);
    }
    return 0;
}
