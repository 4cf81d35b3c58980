// Big float to and from decimal64 beside the compiler's own conversions between double and
// _Decimal64 (GCC's C decimal types, where the C compiler has them), in nanoseconds per value
// over 10,000 seeded random values, with the ratio printed at the end:
//
//   encode   tvl_float_to_dec64 of precision-53 records          (_Decimal64) of the double
//   encode+  tvl_float_from_double, then tvl_float_to_dec64      (the same)
//   decode   tvl_float_from_dec64 into precision 53              (double) of the _Decimal64
//   decode+  tvl_float_from_dec64, then tvl_float_to_double      (the same)
//
// Input sets: finite doubles over the whole range ("random") and short decimals, 1 to 6 digits
// times 10^-20 ... 10^20 ("short"); the decimal patterns are the encodings of those values.
#include <benchmark/benchmark.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "support/ratio_reporter.h"
#include "tvlr.h"

#ifdef TVLR_BENCH_DECIMAL_REFERENCE
extern "C" void bench_dec64_from_doubles(const double *in, uint64_t *out, size_t n);
extern "C" void bench_doubles_from_dec64(const uint64_t *in, double *out, size_t n);
#endif

namespace {

constexpr std::size_t kCount = 10000;

struct Data {
    explicit Data(int kind) : words(kCount), floats(kCount), patterns(kCount) {
        std::mt19937_64 rng(7);
        while (doubles.size() < kCount) {
            double x = 0;
            if (kind == 0) {
                x = std::bit_cast<double>(rng());
            } else {
                x = std::strtod((std::to_string(1 + rng() % 999999) + "e" +
                                 std::to_string(static_cast<int>(rng() % 41) - 20))
                                    .c_str(),
                                nullptr);
            }
            if (std::isfinite(x)) doubles.push_back(x);
        }
        for (std::size_t i = 0; i < kCount; ++i) {
            tvl_float_init_buf(&floats[i], 53, &words[i], 1);
            tvl_float_from_double(&floats[i], doubles[i]);
            tvl_float_to_dec64(&floats[i], &patterns[i]);
        }
    }
    std::vector<double> doubles;
    std::vector<std::uint64_t> words;
    std::vector<tvl_float> floats;
    std::vector<std::uint64_t> patterns;
};

void set_rate(benchmark::State &state) {
    state.counters["per_conv"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(kCount),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Encode(benchmark::State &state, const Data *in, bool from_double) {
    std::vector<std::uint64_t> out(kCount);
    for (auto _ : state) {
        for (std::size_t i = 0; i < kCount; ++i) {
            if (from_double) {
                std::uint64_t word = 0;
                tvl_float f;
                tvl_float_init_buf(&f, 53, &word, 1);
                tvl_float_from_double(&f, in->doubles[i]);
                tvl_float_to_dec64(&f, &out[i]);
            } else {
                tvl_float_to_dec64(&in->floats[i], &out[i]);
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
    set_rate(state);
}

void BM_Decode(benchmark::State &state, const Data *in, bool to_double) {
    std::vector<double> out(kCount);
    for (auto _ : state) {
        for (std::size_t i = 0; i < kCount; ++i) {
            std::uint64_t word = 0;
            tvl_float f;
            tvl_float_init_buf(&f, 53, &word, 1);
            tvl_float_from_dec64(&f, in->patterns[i]);
            if (to_double) {
                tvl_float_to_double(&f, &out[i]);
            } else {
                out[i] = static_cast<double>(word);
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
    set_rate(state);
}

#ifdef TVLR_BENCH_DECIMAL_REFERENCE
void BM_CompilerEncode(benchmark::State &state, const Data *in) {
    std::vector<std::uint64_t> out(kCount);
    for (auto _ : state) {
        bench_dec64_from_doubles(in->doubles.data(), out.data(), kCount);
        benchmark::DoNotOptimize(out.data());
    }
    set_rate(state);
}

void BM_CompilerDecode(benchmark::State &state, const Data *in) {
    std::vector<double> out(kCount);
    for (auto _ : state) {
        bench_doubles_from_dec64(in->patterns.data(), out.data(), kCount);
        benchmark::DoNotOptimize(out.data());
    }
    set_rate(state);
}
#endif

}  // namespace

int main(int argc, char **argv) {
    const char *names[] = {"random", "short"};
    const Data data[] = {Data(0), Data(1)};
    for (int i = 0; i < 2; ++i) {
        const std::string n = names[i];
        const Data *d = &data[i];
        benchmark::RegisterBenchmark(("encode/" + n).c_str(), BM_Encode, d, false);
        benchmark::RegisterBenchmark(("encode+/" + n).c_str(), BM_Encode, d, true);
        benchmark::RegisterBenchmark(("decode/" + n).c_str(), BM_Decode, d, false);
        benchmark::RegisterBenchmark(("decode+/" + n).c_str(), BM_Decode, d, true);
#ifdef TVLR_BENCH_DECIMAL_REFERENCE
        benchmark::RegisterBenchmark(("compiler_encode/" + n).c_str(), BM_CompilerEncode, d);
        benchmark::RegisterBenchmark(("compiler_decode/" + n).c_str(), BM_CompilerDecode, d);
#endif
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    tvlr_bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto ns = [&](const std::string &key) {
        const auto it = reporter.seconds.find(key);
        return it == reporter.seconds.end() ? -1.0 : it->second * 1e9;
    };
    std::printf("\n%-8s %-8s %10s %10s %12s %8s\n", "input", "op", "tvl ns", "tvl+ ns",
                "compiler ns", "ratio");
    for (const char *name : names) {
        for (const char *op : {"encode", "decode"}) {
            const std::string n = name;
            const double a = ns(std::string(op) + "/" + n);
            const double b = ns(std::string(op) + "+/" + n);
            const double c = ns(std::string("compiler_") + op + "/" + n);
            if (a < 0 || b < 0) continue;
            if (c > 0) {
                std::printf("%-8s %-8s %10.1f %10.1f %12.1f %8.2f\n", name, op, a, b, c, b / c);
            } else {
                std::printf("%-8s %-8s %10.1f %10.1f %12s %8s\n", name, op, a, b, "n/a", "-");
            }
        }
    }
    std::printf("(ratio: the double-to-double path, tvl+ over the compiler)\n");
    return 0;
}
