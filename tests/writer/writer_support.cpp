#include "writer_support.h"

#include <cstdio>
#include <cstring>

#include "support/trace.h"

namespace wtest {

Ev event(uint32_t kind) {
    Ev ev;
    ev.kind = kind;
    return ev;
}

Ev member(std::string_view name) {
    Ev ev = event(TVLR_EV_MEMBER_NAME);
    ev.text = name;
    return ev;
}

Ev value(uint32_t value_kind, std::string_view text, uint32_t type, uint32_t bits, uint32_t base) {
    Ev ev = event(TVLR_EV_VALUE);
    ev.e.value_kind = value_kind;
    ev.e.value_type = type;
    ev.e.bits = bits;
    ev.e.base = base;
    ev.text = text;
    return ev;
}

Ev num(std::string_view text) {
    return value(TVL_VK_NUMBER, text);
}
Ev str(std::string_view text) {
    return value(TVL_VK_STRING, text);
}

Ev with_unit(Ev ev, const tvl_unit &unit) {
    ev.e.unit = unit;
    return ev;
}

std::vector<Ev> annotation(uint32_t type, uint32_t bits, uint32_t base,
                           std::string_view unit_text) {
    auto typed = [&](uint32_t kind, uint32_t value_kind) {
        Ev ev = event(kind);
        ev.e.value_kind = value_kind;
        ev.e.value_type = type;
        ev.e.bits = bits;
        ev.e.base = base;
        return ev;
    };
    std::vector<Ev> run{typed(TVLR_EV_TYPE_START, TVL_VK_TYPE),
                        typed(TVLR_EV_TYPE_NAME, TVL_VK_TYPE)};
    if (bits != 0) run.push_back(typed(TVLR_EV_TYPE_PARAM, TVL_VK_BITS));
    if (base != 0)
        run.push_back(
            typed(TVLR_EV_TYPE_PARAM, type == TVLR_TYPE_FLOAT_FIX ? TVL_VK_FRACTION : TVL_VK_BASE));
    if (!unit_text.empty()) {
        Ev unit = typed(TVLR_EV_TYPE_PARAM, TVL_VK_UNIT);
        unit.text = unit_text;
        run.push_back(unit);
    }
    run.push_back(typed(TVLR_EV_TYPE_END, TVL_VK_TYPE));
    return run;
}

std::vector<Ev> operator+(std::vector<Ev> a, const std::vector<Ev> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<Ev> operator+(std::vector<Ev> a, const Ev &b) {
    a.push_back(b);
    return a;
}

WriteResult write_events(const std::vector<Ev> &events, bool pretty, bool finish,
                         const tvlr_writer_options *options) {
    WriteResult r;
    // Room for every text twice over (escapes) and the structure around them.
    size_t room = 4096;
    for (const Ev &ev : events) room += 2 * ev.text.size() + 64;
    std::vector<char> buffer(room);
    tvlr_writer *w = tvlr_writer_create();
    if (w == nullptr || !tvlr_open_write_mem(w, buffer.data(), buffer.size(), pretty, options)) {
        tvlr_writer_destroy(w);
        return r;
    }
    r.ok = true;
    for (const Ev &ev : events) {
        tvlr_event e = ev.e;
        e.text = ev.null_text ? nullptr : ev.text.data();
        e.text_len = static_cast<uint32_t>(ev.text.size());
        if (!tvlr_write_event(w, ev.kind, &e)) {
            r.ok = false;
            break;
        }
        ++r.accepted;
    }
    if (r.ok && finish) r.ok = tvlr_write_finish(w);
    r.out.assign(buffer.data(), tvlr_writer_bytes_written(w));
    r.error = tvlr_writer_get_error(w);
    r.offset = tvlr_writer_get_error_offset(w);
    tvlr_writer_destroy(w);
    return r;
}

namespace {

bool string_write(tvlr_sink *sink, const uint8_t *data, uint32_t len) {
    auto *out = load_pointer<std::string>(sink->reserved);
    out->append(reinterpret_cast<const char *>(data), len);
    sink->delivered += len;
    return true;
}

}  // namespace

tvlr_sink string_sink(std::string *out, bool direct) {
    tvlr_sink sink{};
    sink.write = &string_write;
    sink.direct = direct ? 1 : 0;
    store_pointer(sink.reserved, out);
    return sink;
}

CanonResult canonicalise(std::string_view doc, bool pretty, const tvlr_reader_options *options) {
    CanonResult r;
    const tvlr_sink sink = string_sink(&r.out, false);
    tvlr_canon_observer *obs = tvlr_canon_observer_create(&sink, pretty);
    tvlr_reader *reader = tvlr_reader_create();
    tvlr_reader_options o{};
    if (options != nullptr) o = *options;
    o.user_data = obs;
    o.on_event = &tvlr_canon_observer_on_event;
    o.on_event_after = nullptr;
    o.on_error = nullptr;
    if (obs != nullptr && reader != nullptr &&
        tvlr_open_read_mem(reader, doc.data(), doc.size(), nullptr, 0, &o)) {
        r.read_ok = tvlr_read(reader);
        r.read_error = tvlr_reader_get_error(reader);
        r.finish_ok = tvlr_canon_observer_finish(obs);
    }
    tvlr_reader_destroy(reader);
    tvlr_canon_observer_destroy(obs);
    return r;
}

namespace {

struct ValueRecorder {
    std::string out;
};

// Type, width and base with equal meanings written alike: a base of 10 is no base for the
// types whose base defaults to 10.
std::string render_type(const tvlr_event &e) {
    uint32_t base = e.base;
    const bool base_defaults_to_10 =
        e.value_type == TVLR_TYPE_UTF8 || e.value_type == TVLR_TYPE_SINT ||
        e.value_type == TVLR_TYPE_UINT || e.value_type == TVLR_TYPE_FLOAT;
    if (base_defaults_to_10 && base == 10) base = 0;
    std::string s;
    if (e.value_type || e.bits || base) {
        s += "@" + std::to_string(e.value_type) + ":" + std::to_string(e.bits);
        if (base) s += ":" + std::to_string(base);
    }
    const std::string unit = tvltest::trace_unit(e.unit);
    if (!unit.empty()) s += "~" + unit;
    return s;
}

bool record_value(void *user, uint32_t kind, tvlr_event *e) {
    auto *rec = static_cast<ValueRecorder *>(user);
    std::string s;
    switch (kind) {
        case TVLR_EV_MEMBER_NAME:
            s = "." + std::string(e->text, e->text_len);
            break;
        case TVLR_EV_STRUCT_START:
            s = "{" + render_type(*e);
            break;
        case TVLR_EV_STRUCT_END:
            s = "}";
            break;
        case TVLR_EV_ARRAY_START:
            s = "[" + render_type(*e);
            break;
        case TVLR_EV_ARRAY_END:
            s = "]";
            break;
        case TVLR_EV_ROW_BREAK:
            s = "/" + render_type(*e);
            break;
        case TVLR_EV_OCTETS_START:
            s = "O{" + render_type(*e);
            break;
        case TVLR_EV_OCTETS_END:
            s = "O}";
            break;
        case TVLR_EV_VALUE:
            s = render_value(*e);
            break;
        default:
            return true;  // annotation runs, document start and end
    }
    if (!rec->out.empty()) rec->out += ' ';
    rec->out += s;
    return true;
}

}  // namespace

std::string render_value(const tvlr_event &e) {
    std::string s = "v" + std::to_string(e.value_kind);
    tvltest::append_quoted(s, e.text, e.text_len);
    return s + render_type(e);
}

Values read_values(std::string_view doc, const tvlr_reader_options *options) {
    Values v;
    ValueRecorder rec;
    tvlr_reader_options o{};
    if (options != nullptr) o = *options;
    o.user_data = &rec;
    o.on_event = nullptr;
    o.on_event_after = &record_value;
    o.on_error = nullptr;
    tvlr_reader *reader = tvlr_reader_create();
    if (reader != nullptr && tvlr_open_read_mem(reader, doc.data(), doc.size(), nullptr, 0, &o)) {
        v.ok = tvlr_read(reader);
        v.error = tvlr_reader_get_error(reader);
    }
    tvlr_reader_destroy(reader);
    v.text = rec.out;
    return v;
}

tvlr_reader_options widest_reader_options() {
    tvlr_reader_options o{};
    o.max_identifier_len = 65535;
    o.max_string_len = 65535;
    o.max_number_len = 65535;
    o.max_symbol_len = 65535;
    o.max_reference_len = 65535;
    o.max_struct_depth = 255;
    o.max_array_depth = 255;
    return o;
}

}  // namespace wtest
