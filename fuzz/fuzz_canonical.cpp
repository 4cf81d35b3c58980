// libFuzzer target: a document that reads without error is re-written by
// the canonical observer; the canonical text must read again with the same
// value events (units included), and canonicalising it again must give the
// same bytes, in both layouts.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tvlr.h"

namespace {

// Collects the value-bearing events as text: kinds, types, units, texts.
bool record(void *user, uint32_t kind, tvlr_event *e) {
    auto *out = static_cast<std::string *>(user);
    if (kind == TVLR_EV_TYPE_START || kind == TVLR_EV_TYPE_END || kind == TVLR_EV_TYPE_NAME ||
        kind == TVLR_EV_TYPE_PARAM)
        return true;  // the canonical text states annotations its own way
    out->append(std::to_string(kind)).push_back(':');
    if (kind == TVLR_EV_VALUE || kind == TVLR_EV_MEMBER_NAME) {
        // A base of 10 says the same as no base for the types whose base
        // defaults to 10; canonical text always states it.
        uint32_t base = e->base;
        const uint32_t t = e->value_type;
        if (base == 10 && (t == TVLR_TYPE_UTF8 || t == TVLR_TYPE_SINT || t == TVLR_TYPE_UINT ||
                           t == TVLR_TYPE_FLOAT))
            base = 0;
        out->append(std::to_string(e->value_kind) + "/" + std::to_string(t) + "/" +
                    std::to_string(e->bits) + "/" + std::to_string(base) + "/");
        for (uint32_t i = 0; i < e->unit.count && i < TVL_UNIT_MAX_FACTORS; ++i) {
            const auto &f = e->unit.factors[i];
            if (f.base == 0 && f.exponent == 1 && f.prefix.index == 0) continue;  // neutral
            out->append(std::to_string(f.base) + "^" + std::to_string(f.exponent) + "p" +
                        std::to_string(f.prefix.kind) + "." + std::to_string(f.prefix.index) + ",");
        }
        out->append(e->text, e->text_len);
    }
    out->push_back('|');
    return true;
}

bool read_events(const std::string &doc, std::string &events) {
    tvlr_reader *r = tvlr_reader_create();
    if (!r) std::abort();
    tvlr_reader_options o{};
    o.user_data = &events;
    o.on_event = record;
    bool ok = tvlr_open_read_mem(r, doc.data(), doc.size(), nullptr, 0, &o) && tvlr_read(r);
    tvlr_reader_destroy(r);
    return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string doc(reinterpret_cast<const char *>(data), size);
    std::string events;
    if (!read_events(doc, events)) return 0;
    for (bool pretty : {false, true}) {
        // Measure the canonical text with a counting sink.
        std::string text;
        tvlr_sink sink{};
        sink.write = [](tvlr_sink *s, const uint8_t *p, uint32_t n) {
            std::string *t;
            std::memcpy(&t, s->reserved, sizeof t);
            t->append(reinterpret_cast<const char *>(p), n);
            return true;
        };
        std::string *tp = &text;
        std::memcpy(sink.reserved, &tp, sizeof tp);
        tvlr_canon_observer *obs = tvlr_canon_observer_create(&sink, pretty);
        tvlr_reader *r = tvlr_reader_create();
        tvlr_reader_options o{};
        o.user_data = obs;
        o.on_event = tvlr_canon_observer_on_event;
        if (!tvlr_open_read_mem(r, doc.data(), doc.size(), nullptr, 0, &o) || !tvlr_read(r))
            std::abort();
        if (!tvlr_canon_observer_finish(obs)) std::abort();
        tvlr_reader_destroy(r);
        tvlr_canon_observer_destroy(obs);

        std::string again;
        if (!read_events(text, again)) std::abort();  // canonical text must read
        if (again != events) std::abort();            // with the same value events
        std::string text2;
        tp = &text2;
        std::memcpy(sink.reserved, &tp, sizeof tp);
        obs = tvlr_canon_observer_create(&sink, pretty);
        r = tvlr_reader_create();
        o.user_data = obs;
        if (!tvlr_open_read_mem(r, text.data(), text.size(), nullptr, 0, &o) || !tvlr_read(r))
            std::abort();
        if (!tvlr_canon_observer_finish(obs)) std::abort();
        tvlr_reader_destroy(r);
        tvlr_canon_observer_destroy(obs);
        if (text2 != text) std::abort();  // canonical text is a fixed point
    }
    return 0;
}
