// Generated and mutated documents read with and without recovery: the
// reader never crashes, events stay well nested, the error code is set
// exactly when the read fails, and the caches never change a result.
#include <gtest/gtest.h>

#include <random>

#include "support/trace.h"

using tvltest::Feed;
using tvltest::generated_document;
using tvltest::read_trace;

namespace {

TEST(Invariants, GeneratedDocuments) {
    std::mt19937 rng(7);
    int failed = 0, recovered = 0;
    for (int i = 0; i < 4000; ++i) {
        const std::string doc = generated_document(rng);
        SCOPED_TRACE(doc);
        for (uint8_t recover : {uint8_t{0}, uint8_t{1}}) {
            tvlr_reader_options o{};
            o.recover = recover;
            auto res = read_trace(doc, &o);
            ASSERT_EQ(res.ok, res.error == 0) << res.trace;
            ASSERT_TRUE(res.nesting_ok) << res.trace;
            if (!recover) {
                ASSERT_EQ(res.recoveries, 0u);
                ASSERT_LE(res.error_calls, 1u);
                ASSERT_EQ(res.error_calls, res.ok ? 0u : 1u) << res.trace;
            } else if (res.ok) {
                ASSERT_EQ(res.error_calls, res.recoveries) << res.trace;
            } else {
                // Only an error that ends the read comes on top of the
                // recovered ones.
                ASSERT_EQ(res.error_calls, res.recoveries + 1) << res.trace;
            }
            failed += !res.ok;
            recovered += res.recoveries > 0;
        }
    }
    // The generator must produce both kinds of documents to mean anything.
    EXPECT_GT(failed, 400);
    EXPECT_GT(recovered, 400);
}

TEST(Invariants, CachesOnlySaveWork) {
    std::mt19937 rng(11);
    std::string many;
    for (int i = 0; i < 40; ++i)  // more distinct texts than cache entries
        many += ".u" + std::to_string(i) + " = <uint:" + std::to_string(i + 8) + ",m/s^" +
                std::to_string(i % 9 + 1) + "> " + std::to_string(i) + " m/s^" +
                std::to_string(i % 9 + 1) + "; .v = " + std::to_string(i) + " k~m" +
                std::to_string(i % 5) + ";";
    for (int i = 0; i < 600; ++i) {
        std::string doc = i == 0 ? many : generated_document(rng) + many.substr(0, 400);
        for (uint8_t recover : {uint8_t{0}, uint8_t{1}}) {
            tvlr_reader_options o{};
            o.recover = recover;
            auto with = read_trace(doc, &o, Feed::memory, 1, true);
            auto without = read_trace(doc, &o, Feed::memory, 1, false);
            ASSERT_EQ(with.trace, without.trace) << doc;
        }
    }
}

}  // namespace
