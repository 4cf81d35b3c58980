#include "writer_support.h"

#include <cstdio>
#include <cstring>

#include "support/render.h"

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

bool record_value(void *user, uint32_t kind, tvlr_event *e) {
    auto *out = static_cast<std::string *>(user);
    const std::string s = tvltest::render_meaning(kind, *e);
    if (s.empty()) return true;  // annotation runs, document start and end
    if (!out->empty()) *out += ' ';
    *out += s;
    return true;
}

}  // namespace

std::string render_value(const tvlr_event &e) {
    return tvltest::render_meaning(TVLR_EV_VALUE, e);
}

Values read_values(std::string_view doc, const tvlr_reader_options *options) {
    Values v;
    tvlr_reader_options o{};
    if (options != nullptr) o = *options;
    o.user_data = &v.text;
    o.on_event = nullptr;
    o.on_event_after = &record_value;
    o.on_error = nullptr;
    tvlr_reader *reader = tvlr_reader_create();
    if (reader != nullptr && tvlr_open_read_mem(reader, doc.data(), doc.size(), nullptr, 0, &o)) {
        v.ok = tvlr_read(reader);
        v.error = tvlr_reader_get_error(reader);
    }
    tvlr_reader_destroy(reader);
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
