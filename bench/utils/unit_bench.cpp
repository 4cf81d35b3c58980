// Cost of parsing typical unit texts (reported per parse).
#include <benchmark/benchmark.h>

#include <cstring>

#include "tvlr.h"

namespace {

const char *const kTexts[] = {
    "m",
    "k~m",
    "USD",
    "k~g\xC2\xB7m/s\xC2\xB2",
    "m/s^2",
    "Ki~B/s",
    "\xC2\xB0\x43",  // °C
    "fluid_ounces_uk",
    "k~W\xC2\xB7h",
    "\xC2\xB5~mol/L",
};

void BM_ParseUnit(benchmark::State &state) {
    const char *text = kTexts[state.range(0)];
    const uint32_t length = static_cast<uint32_t>(std::strlen(text));
    state.SetLabel(text);
    for (auto _ : state) {
        bool ok = false;
        tvl_unit u = tvl_parse_unit_n(text, length, &ok);
        benchmark::DoNotOptimize(u);
        benchmark::DoNotOptimize(ok);
    }
}
BENCHMARK(BM_ParseUnit)->DenseRange(0, static_cast<int>(std::size(kTexts)) - 1);

void BM_ParseUnitMix(benchmark::State &state) {
    uint32_t lengths[std::size(kTexts)];
    for (size_t i = 0; i < std::size(kTexts); ++i) {
        lengths[i] = static_cast<uint32_t>(std::strlen(kTexts[i]));
    }
    for (auto _ : state) {
        for (size_t i = 0; i < std::size(kTexts); ++i) {
            bool ok = false;
            tvl_unit u = tvl_parse_unit_n(kTexts[i], lengths[i], &ok);
            benchmark::DoNotOptimize(u);
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(std::size(kTexts)));
}
BENCHMARK(BM_ParseUnitMix);

void BM_UnitToString(benchmark::State &state) {
    bool ok = false;
    const tvl_unit u = tvl_parse_unit("k~g\xC2\xB7m/s\xC2\xB2", &ok);
    char buffer[64];
    for (auto _ : state) {
        int n =
            tvl_unit_to_string_ex(buffer, sizeof buffer, static_cast<uint32_t>(state.range(0)), u);
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_UnitToString)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
