// Generated and mutated documents read with and without recovery: the
// reader never crashes, events stay well nested, the error code is set
// exactly when the read fails, the caches never change a result, and a callback that overwrites
// the shared event record changes nothing that later callbacks see.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

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

// What a callback may rely on in a record: the fields, the unit's factors up to its count, and the
// text. Factors beyond the count carry no meaning.
std::string meaning(uint32_t kind, const tvlr_event &e) {
    std::string s = std::to_string(kind) + ' ' + std::to_string(e.value_kind) + ' ' +
                    std::to_string(e.value_type) + ' ' + std::to_string(e.bits) + ' ' +
                    std::to_string(e.base) + ' ' + std::to_string(e.unit.count) + ' ';
    for (uint32_t i = 0; i < e.unit.count && i < TVL_UNIT_MAX_FACTORS; ++i) {
        const tvl_unit_factor &f = e.unit.factors[i];
        s += std::to_string(f.base) + '^' + std::to_string(f.exponent) + '.' +
             std::to_string(f.prefix.kind) + '.' + std::to_string(f.prefix.index) + ' ';
    }
    return s + (e.text ? std::string(e.text, e.text_len) : "<null>") + '|' +
           std::to_string(e.text_len);
}

struct Scribbler {
    std::vector<std::string> first, second;
    std::mt19937 rng{3};
    bool scribble = false;  // the callback that sees an event last overwrites the record
    bool both = false;
    std::string after_first;  // what the second callback must see when both are set
    bool pending = false;     // the first callback has seen an event the second has not

    uint32_t next() { return static_cast<uint32_t>(rng()); }

    void overwrite(tvlr_event &e) {
        if (!scribble) return;
        e.value_kind = next();
        e.value_type = next();
        e.bits = next();
        e.base = next();
        e.unit.count = next() % 12;  // also beyond the factor array
        for (tvl_unit_factor &f : e.unit.factors)
            f = {next(), static_cast<int32_t>(next()), {next(), next()}};
        static constexpr char kJunk[] = "junk";
        e.text = next() % 3 ? kJunk : nullptr;
        e.text_len = e.text ? 4 : next();
    }
};

bool scribble_first(void *u, uint32_t kind, tvlr_event *e) {
    auto *s = static_cast<Scribbler *>(u);
    s->first.push_back(meaning(kind, *e));
    s->overwrite(*e);
    if (s->both) {
        // The second callback gets the record as the first left it, a null text made empty.
        tvlr_event left = *e;
        if (!left.text)
            left = {left.value_kind, left.value_type, left.bits, left.base, left.unit, "", 0};
        s->after_first = meaning(kind, left);
        s->pending = true;
    }
    return true;
}

bool scribble_second(void *u, uint32_t kind, tvlr_event *e) {
    auto *s = static_cast<Scribbler *>(u);
    // An event that went to the first callback just before comes as the first left it; one that
    // comes to the second alone (an annotation's type_start) comes rebuilt.
    const std::string seen = meaning(kind, *e);
    s->second.push_back(s->pending && seen == s->after_first ? "as left" : seen);
    s->pending = false;
    if (!s->both) s->overwrite(*e);
    return true;
}

// What each callback saw, up to the one event it refuses (counted from 1; 0: none).
struct Seen {
    std::vector<std::string> events[2];
    size_t refuse[2] = {0, 0};
};

template <int Which>
bool see(void *u, uint32_t kind, tvlr_event *e) {
    auto *s = static_cast<Seen *>(u);
    s->events[Which].push_back(meaning(kind, *e));
    return s->events[Which].size() != s->refuse[Which];
}

// A callback sees the same events whether it is set alone or with the other one, also when it
// refuses one of them and the read recovers.
TEST(Invariants, CallbacksSeeTheSameAloneOrTogether) {
    std::mt19937 rng(29);
    int refused = 0;
    for (int i = 0; i < 600; ++i) {
        const std::string doc = generated_document(rng);
        const auto read = [&doc](bool first, bool second, size_t refuse_first,
                                 size_t refuse_second) {
            Seen s;
            s.refuse[0] = refuse_first;
            s.refuse[1] = refuse_second;
            tvlr_reader_options o{};
            o.user_data = &s;
            o.recover = 1;
            if (first) o.on_event = &see<0>;
            if (second) o.on_event_after = &see<1>;
            tvlr_reader *r = tvlr_reader_create();
            EXPECT_NE(r, nullptr);
            EXPECT_TRUE(tvlr_open_read_mem(r, doc.data(), doc.size(), nullptr, 0, &o));
            tvlr_read(r);
            tvlr_reader_destroy(r);
            return s;
        };
        const size_t events = read(true, false, 0, 0).events[0].size();
        const size_t refuse = events > 1 && i % 3 ? 2 + rng() % (events - 1) : 0;
        refused += refuse != 0;
        ASSERT_EQ(read(true, false, refuse, 0).events[0], read(true, true, refuse, 0).events[0])
            << doc;
        ASSERT_EQ(read(false, true, 0, refuse).events[1], read(true, true, 0, refuse).events[1])
            << doc;
    }
    EXPECT_GT(refused, 300);
}

TEST(Invariants, OverwrittenRecordsAreRebuilt) {
    std::mt19937 rng(13);
    const std::string fixed =
        ".a = 12 m/s; .b = 3.5 kg*m2/s2; .c = \"x\"; .d = on; .e = 9.99 USD; .f = [1 m/s, 2 "
        "kg*m]; .g = <uint:8,kg*m/s> 5; .h = { .i = <float_dec> 1.5 USD; .j = [[1,2]/[3,4]]; };";
    for (int i = 0; i < 700; ++i) {
        const std::string doc = i == 0 ? fixed : generated_document(rng) + fixed;
        for (int callbacks = 1; callbacks <= 3; ++callbacks) {  // first, second, both
            Scribbler runs[2];
            for (int dirty = 0; dirty < 2; ++dirty) {
                Scribbler &s = runs[dirty];
                s.scribble = dirty;
                s.both = callbacks == 3;
                tvlr_reader_options o{};
                o.user_data = &s;
                o.recover = 1;
                if (callbacks & 1) o.on_event = &scribble_first;
                if (callbacks & 2) o.on_event_after = &scribble_second;
                tvlr_reader *r = tvlr_reader_create();
                ASSERT_NE(r, nullptr);
                ASSERT_TRUE(tvlr_open_read_mem(r, doc.data(), doc.size(), nullptr, 0, &o));
                tvlr_read(r);
                tvlr_reader_destroy(r);
            }
            ASSERT_FALSE(runs[0].first.empty() && runs[0].second.empty()) << doc;
            ASSERT_EQ(runs[0].first, runs[1].first) << doc;
            ASSERT_EQ(runs[0].second, runs[1].second) << doc;
        }
    }
}

}  // namespace
