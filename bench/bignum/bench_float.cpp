// Text to binary64: tvl_float_strtod against std::from_chars on the same texts, in
// nanoseconds per conversion, with the ratio of the two printed at the end.
//
// Input sets (seeded): the shortest texts of random doubles over the whole range and of random
// doubles in [0, 1); digit strings of 20 to 40 digits and of 800 digits with random exponents;
// and the exact decimal expansions of midpoints between neighbouring doubles, which no fast
// path can decide and which measure the exact big-integer path.
#include <benchmark/benchmark.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "support/ratio_reporter.h"
#include "tvlr.h"

namespace {

using Texts = std::vector<std::string>;

std::string shortest(double d) {
    char buf[32];
    const auto res = std::to_chars(buf, buf + sizeof buf, d);
    return std::string(buf, res.ptr);
}

Texts shortest_texts(bool unit_interval) {
    std::mt19937_64 rng(1);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    Texts t;
    while (t.size() < 10000) {
        const double d = unit_interval ? unit(rng) : std::bit_cast<double>(rng());
        if (std::isfinite(d)) t.push_back(shortest(d));
    }
    return t;
}

Texts digit_texts(size_t min_digits, size_t max_digits, size_t count) {
    std::mt19937_64 rng(2);
    Texts t;
    for (size_t i = 0; i < count; ++i) {
        const size_t n = min_digits + rng() % (max_digits - min_digits + 1);
        std::string s(1, static_cast<char>('1' + rng() % 9));
        s += '.';
        for (size_t j = 1; j < n; ++j) s += static_cast<char>('0' + rng() % 10);
        t.push_back(s + "e" + std::to_string(static_cast<long>(rng() % 600) - 300));
    }
    return t;
}

// The exact decimal text of the midpoint (2m + 1) * 2^(e - 1) above a random double m * 2^e:
// digits of (2m + 1) * 5^(1 - e) with the exponent e - 1 for negative e.
Texts midpoint_texts() {
    std::mt19937_64 rng(3);
    Texts t;
    while (t.size() < 200) {
        const double d = std::bit_cast<double>(rng() >> 1);
        if (!std::isfinite(d) || d == 0) continue;
        int e2 = 0;
        const double frac = std::frexp(d, &e2);
        const auto m = static_cast<std::uint64_t>(std::ldexp(frac, 53));
        const int e = e2 - 54;  // the midpoint is (2m + 1) * 2^e
        if (e >= 0 || e < -1100) continue;
        // (2m + 1) * 5^-e in decimal, by schoolbook multiplication on base-10^9 digits.
        const std::uint64_t odd = 2 * m + 1;  // below 2^54 < 10^18
        std::vector<std::uint64_t> v{odd % 1000000000, odd / 1000000000};
        for (int i = 0; i < -e; ++i) {
            std::uint64_t carry = 0;
            for (auto &x : v) {
                x = x * 5 + carry;
                carry = x / 1000000000;
                x %= 1000000000;
            }
            if (carry != 0) v.push_back(carry);
        }
        while (v.size() > 1 && v.back() == 0) v.pop_back();
        std::string s = std::to_string(v.back());
        for (size_t i = v.size() - 1; i-- > 0;) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "%09llu", static_cast<unsigned long long>(v[i]));
            s += buf;
        }
        t.push_back(s + "e" + std::to_string(e));
    }
    return t;
}

void BM_Strtod(benchmark::State &state, const Texts *texts) {
    std::uint64_t acc = 0;
    for (auto _ : state) {
        for (const std::string &s : *texts)
            acc += std::bit_cast<std::uint64_t>(tvl_float_strtod(s.c_str()));
    }
    benchmark::DoNotOptimize(acc);
    state.counters["per_conv"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * static_cast<double>(texts->size()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_FromChars(benchmark::State &state, const Texts *texts) {
    std::uint64_t acc = 0;
    for (auto _ : state) {
        for (const std::string &s : *texts) {
            double d = 0;
            std::from_chars(s.data(), s.data() + s.size(), d);
            acc += std::bit_cast<std::uint64_t>(d);
        }
    }
    benchmark::DoNotOptimize(acc);
    state.counters["per_conv"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * static_cast<double>(texts->size()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

int main(int argc, char **argv) {
    const std::vector<std::pair<std::string, Texts>> sets = {
        {"shortest", shortest_texts(false)},
        {"shortest_unit", shortest_texts(true)},
        {"digits_20_40", digit_texts(20, 40, 10000)},
        {"digits_800", digit_texts(800, 800, 200)},
        {"midpoints", midpoint_texts()},
    };
    for (const auto &[name, texts] : sets) {
        benchmark::RegisterBenchmark(("tvl_float_strtod/" + name).c_str(), BM_Strtod, &texts);
        benchmark::RegisterBenchmark(("from_chars/" + name).c_str(), BM_FromChars, &texts);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    tvlr_bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n%-16s %14s %14s %8s\n", "input", "strtod ns", "from_chars ns", "ratio");
    for (const auto &entry : sets) {
        const auto a = reporter.seconds.find("tvl_float_strtod/" + entry.first);
        const auto b = reporter.seconds.find("from_chars/" + entry.first);
        if (a == reporter.seconds.end() || b == reporter.seconds.end()) continue;
        std::printf("%-16s %14.1f %14.1f %8.2f\n", entry.first.c_str(), a->second * 1e9,
                    b->second * 1e9, a->second / b->second);
    }
    return 0;
}
