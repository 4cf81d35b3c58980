// Big integer benchmarks: decimal text of 1000, 3000 and 9864 digits (9864 is the longest
// that fits 1024 limbs) in both directions, and long division at a few sizes.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "support/corpora.h"
#include "tvlr.h"

namespace {

using tvlbench::random_digits;

struct Value {
    explicit Value(const std::string &digits) : n(tvl_int_alloc()) {
        if (n == nullptr || !tvl_int_from_str(n, digits.c_str(), 10)) std::abort();
    }
    ~Value() { tvl_int_free(n); }
    tvl_int *n;
};

void BM_ToDecimal(benchmark::State &state) {
    const auto digits = static_cast<size_t>(state.range(0));
    Value v(random_digits(digits, 1));
    std::vector<char> buf(tvl_int_str_bufsize(tvl_int_bitlen(v.n), 10));
    for (auto _ : state) {
        const int len = tvl_int_to_str(v.n, buf.data(), buf.size(), 10);
        if (len != static_cast<int>(digits)) state.SkipWithError("wrong length");
        benchmark::DoNotOptimize(buf.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * digits));
}
BENCHMARK(BM_ToDecimal)->Arg(1000)->Arg(3000)->Arg(9864);

void BM_FromDecimal(benchmark::State &state) {
    const auto digits = static_cast<size_t>(state.range(0));
    const std::string text = random_digits(digits, 2);
    tvl_int *n = tvl_int_alloc();
    for (auto _ : state) {
        if (!tvl_int_from_str(n, text.c_str(), 10)) state.SkipWithError("parse failed");
        benchmark::DoNotOptimize(n->limbs);
    }
    tvl_int_free(n);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * digits));
}
BENCHMARK(BM_FromDecimal)->Arg(1000)->Arg(3000)->Arg(9864);

// Quotients of a 1024-limb dividend by divisors of 2, 64 and 512 limbs.
void BM_Divrem(benchmark::State &state) {
    Value a(random_digits(9864, 3));
    Value b(random_digits(static_cast<size_t>(state.range(0)), 4));
    tvl_int *q = tvl_int_alloc();
    tvl_int *r = tvl_int_alloc();
    for (auto _ : state) {
        if (!tvl_int_divrem(q, r, a.n, b.n)) state.SkipWithError("divrem failed");
        benchmark::DoNotOptimize(q->limbs);
    }
    tvl_int_free(q);
    tvl_int_free(r);
}
BENCHMARK(BM_Divrem)->Arg(19)->Arg(617)->Arg(4932);

}  // namespace

BENCHMARK_MAIN();
