// The writer object and the internal calls that the typed writers build on.
#pragma once

#include <array>
#include <cstdint>

#include "tvlr.h"
#include "writer/checks.h"
#include "writer/output.h"

namespace tvl::wr {

// What a typed writer with a unit would otherwise redo on every call: the text of the last unit
// printed for an annotation (under the writer's unit flags), and the last unit text parsed.
struct UnitMemo {
    bool printed;
    uint32_t flags;
    tvl_unit unit;
    uint32_t len;
    char text[512];
    UnitParseMemo parsed;
};

}  // namespace tvl::wr

struct tvlr_writer {
    // The output state comes first and begins with the sink copy: sink callbacks receive a
    // pointer to that copy, which is also the start of the writer.
    tvl::wr::Output out;
    bool finished;  // tvlr_write_finish succeeded; later events are refused
    bool started;   // an event other than the annotation tail and doc_end was accepted
    // Events may take the one-step path (write_stepping): the writer is open and ready, has
    // no on_event callback, and the tests did not ask for the general path when it was opened.
    bool stepping;
    uint8_t max_struct_depth;
    uint8_t max_array_depth;
    uint32_t previous;  // kind of the last accepted event (doc_start before the first)
    void *user_data;
    tvlr_event_fn on_event;
    uint32_t unit_flags;
    uint32_t error;
    uint64_t error_offset;
    tvl::wr::Rows rows;  // row lengths of the arrays written, counted as a reader counts them
    // Pure functions of their inputs, kept across events and opens; read by the checks, which
    // otherwise only decide.
    mutable tvl::wr::UnitMemo memo;
};

namespace tvl::wr {

// The error code of a refusal of the writer's sink: 31 for a direct (memory) sink, else 30.
inline uint32_t sink_error(const tvlr_writer *w) {
    return w->out.sink.direct ? TVL_ERR_SINK_BUFFER_EXHAUSTED : TVL_ERR_WRITING_TO_SINK;
}

// True once an open call has succeeded: only then has the writer a sink to write to. A writer
// that was only created, or whose opening failed, is all zero.
inline bool writer_open(const tvlr_writer *w) {
    return w->out.sink.write != nullptr;
}

// Records the first error with the byte count as its offset and returns false. A later error
// does not replace it.
bool writer_fail(tvlr_writer *w, uint32_t code);

// True when the writer may take another event: it exists, holds no error, is open and is not
// finished (a writer that is not open or is finished records error 28). Every event and value
// call, typed writers included, calls it before it does anything.
bool writer_ready(tvlr_writer *w);

// writer_ready with its common case inline: a stepping writer is ready (it is open, holds no
// error and is not finished).
inline bool writer_ready_inline(tvlr_writer *w) {
    return (w != nullptr && w->stepping) || writer_ready(w);
}

// One event on a writer that is ready through the general path: check_event, output_event,
// note_structure and on_event. The reference for the one-step path.
bool write_general(tvlr_writer &w, uint32_t kind, const tvlr_event &e);

// For each event kind: the event on a writer that is stepping, in a single step (checks, output
// and every change of state) where that settles it, otherwise through write_general.
using EventStep = bool (*)(tvlr_writer &, const tvlr_event &);
inline constexpr uint32_t kEventKinds = TVLR_EV_DOC_END + 1;
extern const std::array<EventStep, kEventKinds> kEventSteps;

inline bool write_stepping(tvlr_writer &w, uint32_t kind, const tvlr_event &e) {
    return kind < kEventKinds ? kEventSteps[kind](w, e) : write_general(w, kind, e);
}

}  // namespace tvl::wr
