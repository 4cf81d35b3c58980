// libFuzzer target: reads the input with and without recovery, whole, in
// pieces and through the scanner's per-byte reference path, and checks the
// invariants every read must keep; every read must give the same trace, errors
// and positions included.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "reader/reader_impl.h"
#include "support/render.h"
#include "tvlr.h"

namespace {

struct State {
    std::vector<char> open;  // '{' and '[' currently open
    bool nested = true;
    tvltest::EventTrace trace;
};

bool on_event(void *user, uint32_t kind, tvlr_event *e) {
    auto *s = static_cast<State *>(user);
    if (e->text == nullptr) std::abort();
    // Rendering reads every byte of the text: an out-of-bounds text shows up under ASan.
    s->trace.event(kind, *e);
    if (kind == TVLR_EV_STRUCT_START) s->open.push_back('{');
    if (kind == TVLR_EV_ARRAY_START) s->open.push_back('[');
    if (kind == TVLR_EV_STRUCT_END || kind == TVLR_EV_ARRAY_END) {
        char want = kind == TVLR_EV_STRUCT_END ? '{' : '[';
        if (s->open.empty() || s->open.back() != want)
            s->nested = false;
        else
            s->open.pop_back();
    }
    return true;
}

void on_error(void *user, uint32_t code, uint64_t line, uint64_t column, uint32_t,
              uint64_t offset) {
    static_cast<State *>(user)->trace.error(code, line, column, offset);
}

struct Pieces {
    const uint8_t *data;
    size_t size, pos;
};

bool piece_read(tvlr_source *src, uint8_t *dst, uint32_t cap, uint32_t *count) {
    Pieces *p;
    std::memcpy(&p, src->user_state, sizeof p);
    size_t n = p->size - p->pos;
    size_t want = 1 + (p->pos * 7919) % 13;  // uneven pieces
    if (n > want) n = want;
    if (n > cap) n = cap;
    std::memcpy(dst, p->data + p->pos, n);
    p->pos += n;
    *count = static_cast<uint32_t>(n);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    for (uint8_t recover : {uint8_t{0}, uint8_t{1}}) {
        std::string whole;  // the trace of the read from memory
        // Pass 0 reads from memory, pass 1 in uneven pieces, pass 2 from memory with every
        // byte through the per-byte step.
        for (int pass = 0; pass < 3; ++pass) {
            State st;
            tvlr_reader_options o{};
            o.recover = recover;
            o.user_data = &st;
            o.on_event = on_event;
            o.on_error = on_error;
            o.max_array_depth = 8;
            o.max_struct_depth = 8;
            tvlr_reader *r = tvlr_reader_create();
            if (!r) return 0;
            Pieces pieces{data, size, 0};
            bool opened;
            if (pass != 1) {
                opened = tvlr_open_read_mem(r, data, size, nullptr, 0, &o);
            } else {
                tvlr_source src{};
                src.read = piece_read;
                Pieces *pp = &pieces;
                std::memcpy(src.user_state, &pp, sizeof pp);
                opened = tvlr_open_read_source(r, &src, nullptr, &o);
            }
            if (!opened) std::abort();
            tvl::rd::testing::use_reference_path(pass == 2);
            bool ok = tvlr_read(r);
            tvl::rd::testing::use_reference_path(false);
            uint32_t err = tvlr_reader_get_error(r);
            if (ok != (err == 0)) std::abort();
            if (!st.nested) std::abort();
            if (ok && !st.open.empty()) std::abort();
            const std::string trace = st.trace.finish(ok, err);
            if (pass == 0) {
                whole = trace;
            } else if (trace != whole) {  // neither chunking nor the path changes anything
                std::fprintf(stderr, "traces differ:\n  %s\n  %s\n", whole.c_str(), trace.c_str());
                std::abort();
            }
            tvlr_reader_destroy(r);
        }
    }
    return 0;
}
