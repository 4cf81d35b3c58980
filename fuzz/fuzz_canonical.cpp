// libFuzzer target: a document that reads without error is re-written by
// the canonical observer; the canonical text must read again with the same
// structure and values (types and units included), and canonicalising it
// again must give the same bytes, in both layouts.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/render.h"
#include "tvlr.h"

namespace {

// Collects what the events mean: structure, types, units and texts (render_meaning).
bool record(void *user, uint32_t kind, tvlr_event *e) {
    auto *out = static_cast<std::string *>(user);
    const std::string s = tvltest::render_meaning(kind, *e);
    if (s.empty()) return true;  // the canonical text states annotations its own way
    if (!out->empty()) out->push_back(' ');
    out->append(s);
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

std::string quoted(const std::string &text) {
    std::string s;
    tvltest::append_quoted(s, text.data(), static_cast<uint32_t>(text.size()));
    return s;
}

// Stops the run with both printable renderings, so that a failure shows where they part.
[[noreturn]] void differ(const char *what, const std::string &a, const std::string &b) {
    std::fprintf(stderr, "%s differ:\n  %s\n  %s\n", what, a.c_str(), b.c_str());
    std::abort();
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
        if (!read_events(text, again)) std::abort();           // canonical text must read
        if (again != events) differ("events", events, again);  // with the same meaning
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
        if (text2 != text) differ("canonical texts", quoted(text), quoted(text2));  // a fixed point
    }
    return 0;
}
