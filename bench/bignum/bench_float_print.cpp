// Shortest decimal text of doubles: tvl_float_to_str on 53-bit big floats against
// std::to_chars (shortest, scientific) on the same values, in nanoseconds per conversion, with
// the ratio of the two printed at the end. A third run includes building the big float from
// the double (tvl_float_from_double), as a writer of doubles does. The same doubles are also
// printed at precision 64 (as the writer holds a double written as a 64-bit float) and at 24.
//
// Input sets (seeded): random bit patterns (normal doubles over the whole range), uniform
// values in [0, 1), short decimals (1 to 6 digits times a power of ten) and integers below 2^53.
#include <benchmark/benchmark.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "support/ratio_reporter.h"
#include "tvlr.h"

namespace {

using Values = std::vector<double>;

Values make_values(int kind) {
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    Values v;
    while (v.size() < 10000) {
        double d = 0;
        switch (kind) {
            case 0:
                d = std::bit_cast<double>(rng());
                break;
            case 1:
                d = unit(rng);
                break;
            case 2:
                d = std::strtod((std::to_string(rng() % 1000000) + "e" +
                                 std::to_string(static_cast<int>(rng() % 41) - 20))
                                    .c_str(),
                                nullptr);
                break;
            default:
                d = static_cast<double>(rng() >> 11);
        }
        if (std::fpclassify(d) == FP_NORMAL) v.push_back(d);
    }
    return v;
}

// Big floats of the values at one precision, over one array of words.
struct Floats {
    Floats(const Values &values, uint32_t precision) : words(values.size()), floats(values.size()) {
        for (size_t i = 0; i < values.size(); ++i) {
            tvl_float_init_buf(&floats[i], precision, &words[i], 1);
            tvl_float_from_double(&floats[i], values[i]);
        }
    }
    std::vector<uint64_t> words;
    std::vector<tvl_float> floats;
};

void set_rate(benchmark::State &state, size_t count) {
    state.counters["per_conv"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(count),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_FloatToStr(benchmark::State &state, const Floats *in) {
    char buf[64];
    size_t total = 0;
    for (auto _ : state) {
        for (const tvl_float &f : in->floats) {
            total += static_cast<size_t>(tvl_float_to_str(&f, buf, sizeof buf, 10));
        }
        benchmark::DoNotOptimize(buf);
    }
    benchmark::DoNotOptimize(total);
    set_rate(state, in->floats.size());
}

void BM_FromDoubleToStr(benchmark::State &state, const Values *in) {
    char buf[64];
    size_t total = 0;
    for (auto _ : state) {
        for (double d : *in) {
            uint64_t word = 0;
            tvl_float f;
            tvl_float_init_buf(&f, 53, &word, 1);
            tvl_float_from_double(&f, d);
            total += static_cast<size_t>(tvl_float_to_str(&f, buf, sizeof buf, 10));
        }
        benchmark::DoNotOptimize(buf);
    }
    benchmark::DoNotOptimize(total);
    set_rate(state, in->size());
}

void BM_ToChars(benchmark::State &state, const Values *in) {
    char buf[64];
    size_t total = 0;
    for (auto _ : state) {
        for (double d : *in) {
            total += static_cast<size_t>(
                std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific).ptr - buf);
        }
        benchmark::DoNotOptimize(buf);
    }
    benchmark::DoNotOptimize(total);
    set_rate(state, in->size());
}

}  // namespace

int main(int argc, char **argv) {
    const char *names[] = {"random", "unit", "short", "integers"};
    const uint32_t precisions[] = {53, 64, 24};
    std::vector<Values> values;
    for (int kind = 0; kind < 4; ++kind) values.push_back(make_values(kind));
    std::vector<Floats> floats;  // each float points into its own word array
    floats.reserve(std::size(precisions) * values.size());
    for (const uint32_t p : precisions) {
        for (const Values &v : values) floats.emplace_back(v, p);
    }
    for (size_t i = 0; i < values.size(); ++i) {
        const std::string name = names[i];
        for (size_t j = 0; j < std::size(precisions); ++j) {
            const std::string prefix =
                j == 0 ? "tvl_float_to_str/" : "p" + std::to_string(precisions[j]) + "/";
            benchmark::RegisterBenchmark((prefix + name).c_str(), BM_FloatToStr,
                                         &floats[j * values.size() + i]);
        }
        benchmark::RegisterBenchmark(("from_double+to_str/" + name).c_str(), BM_FromDoubleToStr,
                                     &values[i]);
        benchmark::RegisterBenchmark(("to_chars/" + name).c_str(), BM_ToChars, &values[i]);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    tvlr_bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n%-10s %12s %18s %12s %8s %10s %10s\n", "input", "to_str ns", "from_double ns",
                "to_chars ns", "ratio", "p64 ns", "p24 ns");
    for (const char *name : names) {
        const auto a = reporter.seconds.find(std::string("tvl_float_to_str/") + name);
        const auto b = reporter.seconds.find(std::string("from_double+to_str/") + name);
        const auto c = reporter.seconds.find(std::string("to_chars/") + name);
        if (a == reporter.seconds.end() || b == reporter.seconds.end() ||
            c == reporter.seconds.end()) {
            continue;
        }
        const auto ns = [&](const char *prefix) {
            const auto it = reporter.seconds.find(std::string(prefix) + name);
            return it == reporter.seconds.end() ? 0.0 : it->second * 1e9;
        };
        std::printf("%-10s %12.1f %18.1f %12.1f %8.2f %10.1f %10.1f\n", name, a->second * 1e9,
                    b->second * 1e9, c->second * 1e9, a->second / c->second, ns("p64/"),
                    ns("p24/"));
    }
    return 0;
}
