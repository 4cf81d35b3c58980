// Threads: the library keeps no shared mutable state, so objects used one per thread never
// interfere. Many threads make their first reader, unit lookup and conversions at the same
// moment, then read, canonicalise, parse into trees and convert numbers concurrently; every
// thread must get exactly what one thread alone gets afterwards. Built with ThreadSanitizer by
// scripts/tsan.sh, which also catches races that happen not to change a result.
#include <gtest/gtest.h>

#include <charconv>
#include <latch>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/trace.h"
#include "tvlr.h"

namespace {

constexpr int kThreads = 8;
constexpr int kTasks = 24;

// One task's results as text: a unit round trip, a document's canonical form and its tree,
// and big-number conversions, all derived from the seed.
std::string task(int seed) {
    std::string out;
    char buf[4096];
    bool ok = false;
    static const char *const units[] = {"k~m/s^2", "m*s^-2", "USD/h", "kWh", "degC"};
    const tvl_unit u = tvl_parse_unit(units[seed % 5], &ok);
    out += std::to_string(ok) + std::to_string(tvl_unit_to_string(buf, sizeof buf, u)) + buf;

    std::mt19937 rng(static_cast<uint32_t>(seed));
    const std::string doc = tvltest::generated_document(rng);
    std::vector<char> canon(doc.size() * 4 + 256);
    tvlr_sink sink;
    tvlr_sink_to_mem(&sink, canon.data(), canon.size());
    tvlr_canon_observer *obs = tvlr_canon_observer_create(&sink, seed % 2 == 0);
    tvlr_reader_options o{};
    o.user_data = obs;
    o.on_event = &tvlr_canon_observer_on_event;
    o.recover = true;
    tvlr_reader *r = tvlr_reader_create();
    const bool read = tvlr_open_read_mem(r, doc.data(), doc.size(), nullptr, 0, &o) &&
                      tvlr_read(r) && tvlr_canon_observer_finish(obs);
    out += "|" + std::to_string(read) + "," + std::to_string(tvlr_reader_get_error(r)) + "," +
           std::to_string(tvlr_reader_get_error_line(r)) + "|";
    out.append(canon.data(), tvlr_canon_observer_bytes_written(obs));
    tvlr_reader_destroy(r);
    tvlr_canon_observer_destroy(obs);

    tvl_dom_doc *tree = tvl_dom_parse(doc.data(), static_cast<uint32_t>(doc.size()));
    out += "|" + std::to_string(tvl_dom_doc_count(tree)) + "," +
           std::to_string(tvl_dom_doc_get_parse_error(tree));
    tvl_dom_doc_destroy(tree);

    std::string digits = "1";
    for (int i = 0; i < 150; ++i) digits += char('0' + rng() % 10);
    tvl_int *n = tvl_int_alloc();
    tvl_int_from_str(n, digits.c_str(), 10);
    out += "|" + std::to_string(tvl_int_to_str(n, buf, sizeof buf, 16)) + buf;
    tvl_int_free(n);
    tvl_float *f = tvl_float_alloc(200 + static_cast<uint32_t>(seed));
    tvl_float_from_str(f, ("0." + digits + "e-" + std::to_string(seed * 37)).c_str(), 10);
    out += "|" + std::to_string(tvl_float_to_str(f, buf, sizeof buf, 10)) + buf;
    tvl_float_free(f);
    const double d = tvl_float_strtod(("1" + digits.substr(0, 17) + "e-300").c_str());
    out += "|" + std::string(buf, std::to_chars(buf, buf + sizeof buf, d).ptr);
    return out;
}

TEST(Threads, ConcurrentUseAgreesWithOneThread) {
    std::vector<std::vector<std::string>> got(kThreads);
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            start.arrive_and_wait();  // every thread's first call at the same moment
            for (int i = 0; i < kTasks; ++i) got[t].push_back(task((i + t) % kTasks));
        });
    }
    for (std::thread &th : threads) th.join();
    for (int i = 0; i < kTasks; ++i) {
        const std::string want = task(i);
        for (int t = 0; t < kThreads; ++t)
            EXPECT_EQ(got[t][static_cast<size_t>((i - t + kTasks) % kTasks)], want)
                << "thread " << t << " task " << i;
    }
}

}  // namespace
