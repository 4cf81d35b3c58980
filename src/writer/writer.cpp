// The writer object: opening over a sink, the event call with its checks, the convenience
// calls, finishing, and the error and byte-count getters.
#include <cstdlib>
#include <cstring>

#include "base/alloc.h"
#include "core/annotation.h"
#include "core/limits.h"
#include "core/text_tokens.h"
#include "writer/checks.h"
#include "writer/pieces.h"
#include "writer/writer_impl.h"

namespace tvl::wr {
namespace {

// The checks of one event against the writer's state. They only decide: the writer changes
// after the event has been written. For a unit parameter, declared receives the parsed unit and
// declared_ptr points at it.
uint32_t check_event(const tvlr_writer &w, uint32_t kind, const tvlr_event &e, bool comma,
                     tvl_unit &declared, const tvl_unit *&declared_ptr) {
    const Output &o = w.out;
    if (const uint32_t code = check_structure(w.rows, o, w.previous, kind, comma)) return code;
    switch (kind) {
        case TVLR_EV_DOC_START:
            return w.started ? TVL_ERR_INVALID_ARGUMENT : 0;
        case TVLR_EV_MEMBER_NAME:
            return check_member_name(e.text, e.text_len);
        case TVLR_EV_STRUCT_START:
            return o.struct_depth < w.max_struct_depth ? 0 : TVL_ERR_STRUCT_NESTING_TOO_HIGH;
        case TVLR_EV_STRUCT_END:
            return o.struct_depth > 0 ? 0 : TVL_ERR_ILLEGAL_STRUCT_CLOSE;
        case TVLR_EV_ARRAY_START:
            return o.array_depth < w.max_array_depth ? 0 : TVL_ERR_ARRAY_NESTING_TOO_HIGH;
        case TVLR_EV_VALUE: {
            const uint32_t k = e.value_kind;
            uint32_t code = check_value(k, e.text, e.text_len, e.value_type, e.bits, e.base);
            if (code != 0) return code;
            // The reader checks the value against the annotation written before it, which may
            // differ from what the event declares. Octet blocks are not checked by type.
            const InForce &f = next_in_force(o);
            if (k != TVL_VK_OCTETS &&
                (f.type != e.value_type || f.bits != e.bits || f.base != e.base)) {
                code = check_value(k, e.text, e.text_len, f.type, f.bits, f.base);
                if (code != 0) return code;
            }
            return unit_present(e.unit) ? check_value_unit(o, k, e) : 0;
        }
        case TVLR_EV_TYPE_START:
            return annotation_fields_valid(e.value_type, e.bits, e.base)
                       ? 0
                       : TVL_ERR_ILLEGAL_VALUE_TYPE;
        case TVLR_EV_TYPE_NAME:
            return check_type_name(o, e);
        case TVLR_EV_TYPE_PARAM: {
            const uint32_t code = check_type_param(o, e, declared, w.memo.parsed);
            if (code == 0 && e.value_kind == TVL_VK_UNIT) declared_ptr = &declared;
            return code;
        }
        case TVLR_EV_TYPE_END:
            return check_type_end(o);
        default:  // doc_end, octet stream bounds, array end, row break and unknown kinds
            return 0;
    }
}

// Every accepted event but the annotation tail and doc_end marks the document as started.
constexpr bool starts_document(uint32_t kind) {
    return kind != TVLR_EV_TYPE_NAME && kind != TVLR_EV_TYPE_PARAM && kind != TVLR_EV_TYPE_END &&
           kind != TVLR_EV_DOC_END;
}

// The kinds that the row bookkeeping follows besides the commas.
constexpr bool changes_rows(uint32_t kind) {
    return kind == TVLR_EV_MEMBER_NAME || kind == TVLR_EV_STRUCT_START ||
           kind == TVLR_EV_STRUCT_END || kind == TVLR_EV_ARRAY_START || kind == TVLR_EV_ARRAY_END ||
           kind == TVLR_EV_ROW_BREAK;
}

// The general path of one event on a writer that is ready: checks, output, row bookkeeping,
// on_event.
[[gnu::noinline]] bool write_general_event(tvlr_writer *w, uint32_t kind, const tvlr_event &e) {
    tvl_unit declared;
    const tvl_unit *declared_ptr = nullptr;
    const bool comma = comma_before(w->out, kind, e);
    if (const uint32_t code = check_event(*w, kind, e, comma, declared, declared_ptr))
        return writer_fail(w, code);
    const uint32_t array_depth = w->out.array_depth, struct_depth = w->out.struct_depth;
    if (!output_event(w->out, kind, e, declared_ptr)) return writer_fail(w, sink_error(w));
    // Values and annotations change the row bookkeeping only through their comma.
    if (comma || changes_rows(kind))
        note_structure(w->rows, kind, comma, array_depth, struct_depth);
    w->previous = kind;
    if (starts_document(kind)) w->started = true;
    if (w->on_event != nullptr) {
        tvlr_event copy = e;  // the callback takes a mutable record; the caller's stays as it is
        if (!w->on_event(w->user_data, kind, &copy))
            return writer_fail(w, TVL_ERR_SCANNER_CALLBACK_FAILED);
    }
    return true;
}

// One event on a writer that is ready: the common events in one step where the writer is
// stepping, the rest through the general path.
bool write_checked(tvlr_writer *w, uint32_t kind, const tvlr_event &e) {
    return w->stepping ? write_stepping(*w, kind, e) : write_general_event(w, kind, e);
}

// An event built from zero with only the value kind and a NUL-terminated text.
bool write_text_event(tvlr_writer *w, uint32_t kind, uint32_t value_kind, const char *text) {
    tvlr_event e{};
    e.value_kind = value_kind;
    e.text = text;
    const size_t len = std::strlen(text);
    if (len > UINT32_MAX) return writer_fail(w, TVL_ERR_INVALID_ARGUMENT);
    e.text_len = static_cast<uint32_t>(len);
    return write_checked(w, kind, e);
}

// The member name of a convenience call; a null name is refused before anything is written.
bool write_member(tvlr_writer *w, const char *name) {
    if (!writer_ready(w)) return false;
    if (name == nullptr) return writer_fail(w, TVL_ERR_INVALID_ARGUMENT);
    return write_text_event(w, TVLR_EV_MEMBER_NAME, 0, name);
}

// What follows the member name in a convenience call that write_member_piece takes.
enum class After { string, boolean, null, struct_start };

// A member name with a string, boolean or null value or a struct start, written in one piece
// with the bytes and state changes of the events member_name and value (or struct_start). Taken
// only where the one-step path would take both events: the writer is stepping, a member may
// start (no row break or annotation before, no array directly open), both events pass their
// checks (under no type, as after any member name) and the whole piece fits in one claim.
// False, with nothing changed, otherwise (a null writer, name or text among it); the events then
// go their usual way, which reports what is wrong.
[[gnu::always_inline]] inline bool write_member_piece(tvlr_writer *w, const char *name, After after,
                                                     const char *text) {
    if (w == nullptr || name == nullptr || text == nullptr) return false;
    const size_t name_len = std::strlen(name);
    if (!member_piece_may_start(w, name, name_len)) return false;
    Output &o = w->out;
    size_t len = 0, most = 0;
    switch (after) {
        case After::string:
            len = std::strlen(text);
            if (len > kTokenMaxLen) return false;
            most = 2 + 2 * len;
            break;
        case After::boolean:  // "true" or "false"
            len = text[0] == 't' ? 4 : 5;
            most = len;
            break;
        case After::null:
            break;
        case After::struct_start:
            if (o.struct_depth >= w->max_struct_depth) return false;
            most = 2;
            break;
    }
    const uint32_t tabs = o.pretty ? o.struct_depth : 0;
    uint8_t *const start =
        claim(o, statement_end_len(o) + tabs + 1 + name_len + (o.pretty ? 3 : 1) + most);
    if (start == nullptr) return false;
    uint8_t *p = put_member_head(o, start, tabs, name, name_len);
    switch (after) {
        case After::string: {
            *p++ = '"';
            // The content check only where the text leaves printable ASCII, found while it is
            // written; nothing is taken before commit.
            bool odd = false;
            p = put_literal_body(p, text, len, odd);
            if (odd && check_string_content(text, len) != 0) return false;
            *p++ = '"';
            break;
        }
        case After::boolean:
            copy_bytes(p, text, len);
            p += len;
            break;
        case After::null:
            break;
        case After::struct_start:
            *p++ = '{';
            if (o.pretty) *p++ = '\n';
            break;
    }
    commit(o, static_cast<size_t>(p - start));

    // The member name: nothing in force, rows of an earlier member forgotten.
    o.after_annotation = o.param_written = false;
    clear_in_force(o.in_force);
    const uint32_t array_depth = o.array_depth;
    forget_member_rows(w->rows, array_depth);
    if (after == After::struct_start) {
        const uint32_t depth = o.struct_depth++;
        o.statement_open = false;
        if (array_depth < kArrayLevels && depth <= kDepthLimitMax)
            w->rows.around_struct[depth] = {w->rows.elements, w->rows.row_length};
        w->previous = TVLR_EV_STRUCT_START;
    } else {
        o.statement_open = true;
        w->previous = TVLR_EV_VALUE;
    }
    w->started = true;
    return true;
}

}  // namespace

bool write_general(tvlr_writer &w, uint32_t kind, const tvlr_event &e) {
    return write_general_event(&w, kind, e);
}

bool writer_fail(tvlr_writer *w, uint32_t code) {
    w->stepping = false;
    if (w->error == 0) {
        w->error = code;
        w->error_offset = output_count(w->out);
    }
    return false;
}

bool writer_ready(tvlr_writer *w) {
    if (w == nullptr || w->error != 0) return false;
    if (!writer_open(w) || w->finished) return writer_fail(w, TVL_ERR_INVALID_ARGUMENT);
    return true;
}

}  // namespace tvl::wr

using tvl::wr::write_checked;
using tvl::wr::writer_fail;
using tvl::wr::writer_ready;

extern "C" {

tvlr_writer *tvlr_writer_create(void) {
    return static_cast<tvlr_writer *>(tvl::mem::allocate_zeroed(1, sizeof(tvlr_writer)));
}

void tvlr_writer_destroy(tvlr_writer *writer) {
    tvl::mem::release(writer);
}

bool tvlr_open_write_sink(tvlr_writer *writer, const tvlr_sink *sink, bool pretty,
                          const tvlr_writer_options *options) {
    if (writer == nullptr || sink == nullptr || sink->write == nullptr) return false;
    tvl::wr::output_open(writer->out, *sink, pretty);
    writer->finished = false;
    writer->started = false;
    writer->previous = TVLR_EV_DOC_START;
    std::memset(static_cast<void *>(&writer->rows), 0, sizeof writer->rows);
    writer->max_struct_depth = tvl::kDefaultDepthLimit;
    writer->max_array_depth = tvl::kDefaultDepthLimit;
    writer->user_data = nullptr;
    writer->on_event = nullptr;
    writer->unit_flags = 0;
    if (options != nullptr) {
        if (options->max_struct_depth != 0) writer->max_struct_depth = options->max_struct_depth;
        if (options->max_array_depth != 0) writer->max_array_depth = options->max_array_depth;
        writer->user_data = options->user_data;
        writer->on_event = options->on_event;
        writer->unit_flags = options->unit_flags;
    }
    writer->error = 0;
    writer->error_offset = 0;
    writer->stepping = writer->on_event == nullptr && !tvl::wr::testing::event_path();
    return true;
}

bool tvlr_open_write_mem(tvlr_writer *writer, void *buffer, uint64_t capacity, bool pretty,
                         const tvlr_writer_options *options) {
    if (writer == nullptr || buffer == nullptr) return false;
    tvlr_sink sink;
    tvlr_sink_to_mem(&sink, buffer, capacity);
    return tvlr_open_write_sink(writer, &sink, pretty, options);
}

bool tvlr_write_finish(tvlr_writer *writer) {
    if (writer == nullptr || writer->error != 0) return false;
    if (!tvl::wr::writer_open(writer)) return writer_fail(writer, TVL_ERR_INVALID_ARGUMENT);
    tvl::wr::Output &o = writer->out;
    // Open structs or arrays, or a row break whose next row is still due.
    if (o.struct_depth > 0 || o.array_depth > 0 || writer->previous == TVLR_EV_ROW_BREAK)
        return writer_fail(writer, TVL_ERR_INCOMPLETE_TVLR_STREAM);
    if (!tvl::wr::close_statement(o) || !tvl::wr::flush(o))
        return writer_fail(writer, tvl::wr::sink_error(writer));
    tvl::wr::settle_memory_sink(o);  // the finish callback reads the sink record
    if (o.sink.finish != nullptr && !o.sink.finish(&o.sink)) return false;
    writer->finished = true;
    writer->stepping = false;
    return true;
}

uint32_t tvlr_writer_get_error(const tvlr_writer *writer) {
    return writer != nullptr ? writer->error : uint32_t{TVL_ERR_INVALID_ARGUMENT};
}

uint64_t tvlr_writer_get_error_offset(const tvlr_writer *writer) {
    return writer != nullptr ? writer->error_offset : 0;
}

uint64_t tvlr_writer_bytes_written(const tvlr_writer *writer) {
    return writer != nullptr ? tvl::wr::output_count(writer->out) : 0;
}

uint32_t tvlr_writer_unit_flags(const tvlr_writer *writer) {
    return writer != nullptr ? writer->unit_flags : 0;
}

bool tvlr_write_event(tvlr_writer *writer, uint32_t kind, const tvlr_event *event) {
    // A stepping writer is ready.
    if (writer != nullptr && writer->stepping && event != nullptr)
        return tvl::wr::write_stepping(*writer, kind, *event);
    if (!writer_ready(writer)) return false;
    if (event == nullptr) return writer_fail(writer, TVL_ERR_INVALID_ARGUMENT);
    return write_checked(writer, kind, *event);
}

bool tvlr_write_string(tvlr_writer *writer, const char *name, const char *text) {
    using tvl::wr::After;
    if (tvl::wr::write_member_piece(writer, name, After::string, text)) return true;
    if (!tvl::wr::write_member(writer, name)) return false;
    if (text == nullptr) return writer_fail(writer, TVL_ERR_INVALID_ARGUMENT);
    return tvl::wr::write_text_event(writer, TVLR_EV_VALUE, TVL_VK_STRING, text);
}

bool tvlr_write_plain(tvlr_writer *writer, const char *name, const char *text) {
    if (!tvl::wr::write_member(writer, name)) return false;
    if (text == nullptr) return writer_fail(writer, TVL_ERR_INVALID_ARGUMENT);
    return tvl::wr::write_text_event(writer, TVLR_EV_VALUE, TVL_VK_SYMBOL, text);
}

bool tvlr_write_null(tvlr_writer *writer, const char *name) {
    using tvl::wr::After;
    if (tvl::wr::write_member_piece(writer, name, After::null, "")) return true;
    return tvl::wr::write_member(writer, name) &&
           tvl::wr::write_text_event(writer, TVLR_EV_VALUE, TVL_VK_NULL, "");
}

bool tvlr_write_bool(tvlr_writer *writer, const char *name, bool value) {
    using tvl::wr::After;
    if (tvl::wr::write_member_piece(writer, name, After::boolean, value ? "true" : "false"))
        return true;
    return tvl::wr::write_member(writer, name) &&
           tvl::wr::write_text_event(writer, TVLR_EV_VALUE, TVL_VK_BOOL, value ? "true" : "false");
}

bool tvlr_write_struct_start(tvlr_writer *writer, const char *name) {
    using tvl::wr::After;
    if (tvl::wr::write_member_piece(writer, name, After::struct_start, "")) return true;
    if (!tvl::wr::write_member(writer, name)) return false;
    const tvlr_event e{};
    return write_checked(writer, TVLR_EV_STRUCT_START, e);
}

bool tvlr_write_struct_end(tvlr_writer *writer) {
    if (!writer_ready(writer)) return false;
    const tvlr_event e{};
    return write_checked(writer, TVLR_EV_STRUCT_END, e);
}

}  // extern "C"
