#include "writers.h"

#include <yajl/yajl_gen.h>

#include <charconv>
#include <cstring>
#include <random>
#include <vector>

#include "tvlr.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wshadow"
#include <rapidjson/reader.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#pragma GCC diagnostic pop

namespace tvlcompare {
namespace {

// The records of the reading corpus: the same members, held as values and as text.
struct Record {
    std::string key, name, id_text, score_text, x_text, y_text;
    uint32_t id, x, y;
    double score;
    bool active;
};

constexpr const char *kTags[] = {"alpha", "beta", "gamma"};

// A buffer that yajl's print callback fills.
struct Output {
    std::vector<char> data;
    size_t size = 0;
    bool overflow = false;
};

void yajl_print(void *ctx, const char *text, size_t len) {
    auto *out = static_cast<Output *>(ctx);
    if (out->size + len > out->data.size()) {
        out->overflow = true;
        return;
    }
    std::memcpy(out->data.data() + out->size, text, len);
    out->size += len;
}

// A key or a string value.
bool yajl_text(yajl_gen g, std::string_view key) {
    return yajl_gen_string(g, reinterpret_cast<const unsigned char *>(key.data()), key.size()) ==
           yajl_gen_status_ok;
}

}  // namespace

struct RecordWriters::State {
    std::vector<Record> records;
    std::vector<char> buffer;  // the tvlr memory sink
    uint64_t tvlr_bytes = 0;
    rapidjson::StringBuffer json;
    Output yajl;
    enum class Last { tvlr, rapidjson, yajl } last = Last::tvlr;
};

RecordWriters::RecordWriters(size_t min_json_bytes) : state_(std::make_unique<State>()) {
    std::mt19937 rng(42);
    auto next = [&] { return static_cast<uint32_t>(rng()); };
    size_t json_bytes = 0;
    for (size_t i = 0; json_bytes < min_json_bytes; ++i) {
        Record r;
        r.key = "rec" + std::to_string(i);
        r.id = next();
        r.name = "user name " + std::to_string(next() % 1000) + " with some \"text\"";
        r.score_text = std::to_string(next() % 100000) + "." + std::to_string(next() % 1000);
        r.score = std::strtod(r.score_text.c_str(), nullptr);
        r.active = next() & 1;
        r.x = next() % 1000;
        r.y = next() % 1000;
        r.id_text = std::to_string(r.id);
        r.x_text = std::to_string(r.x);
        r.y_text = std::to_string(r.y);
        // The compact JSON of one record is about 100 bytes beside its texts.
        json_bytes += 100 + r.key.size() + r.name.size() + r.id_text.size() + r.score_text.size();
        state_->records.push_back(std::move(r));
    }
    // Room for the annotations that the typed writers add.
    state_->buffer.resize(2 * json_bytes + (size_t{1} << 20));
    state_->yajl.data.resize(2 * json_bytes + (size_t{1} << 20));
}

RecordWriters::~RecordWriters() = default;

size_t RecordWriters::record_count() const {
    return state_->records.size();
}

uint64_t RecordWriters::tvlr_events() {
    State &s = *state_;
    s.last = State::Last::tvlr;
    tvlr_writer *w = tvlr_writer_create();
    bool ok = tvlr_open_write_mem(w, s.buffer.data(), s.buffer.size(), false, nullptr);
    // Driven from the records as RapidJSON's writer is: one event record on the stack, its kind
    // and text set for each call.
    tvlr_event e{};
    auto put = [&](uint32_t kind, uint32_t value_kind, std::string_view text) {
        e.value_kind = value_kind;
        e.text = text.data();
        e.text_len = static_cast<uint32_t>(text.size());
        return tvlr_write_event(w, kind, &e);
    };
    auto name = [&](std::string_view text) { return put(TVLR_EV_MEMBER_NAME, 0, text); };
    auto value = [&](uint32_t value_kind, std::string_view text) {
        return put(TVLR_EV_VALUE, value_kind, text);
    };
    for (const Record &r : s.records) {
        ok = ok && name(r.key) && put(TVLR_EV_STRUCT_START, 0, "") && name("id") &&
             value(TVL_VK_NUMBER, r.id_text) && name("name") && value(TVL_VK_STRING, r.name) &&
             name("score") && value(TVL_VK_NUMBER, r.score_text) && name("active") &&
             value(TVL_VK_BOOL, r.active ? "true" : "false") && name("tags") &&
             put(TVLR_EV_ARRAY_START, 0, "");
        for (const char *tag : kTags) ok = ok && value(TVL_VK_SYMBOL, tag);
        ok = ok && put(TVLR_EV_ARRAY_END, 0, "") && name("point") &&
             put(TVLR_EV_ARRAY_START, 0, "") && value(TVL_VK_ARRAY_NUMBER, r.x_text) &&
             value(TVL_VK_ARRAY_NUMBER, r.y_text) && put(TVLR_EV_ARRAY_END, 0, "") &&
             put(TVLR_EV_STRUCT_END, 0, "");
    }
    ok = ok && tvlr_write_finish(w);
    s.tvlr_bytes = ok ? tvlr_writer_bytes_written(w) : 0;
    tvlr_writer_destroy(w);
    return s.tvlr_bytes;
}

uint64_t RecordWriters::tvlr_typed() {
    State &s = *state_;
    s.last = State::Last::tvlr;
    tvlr_writer *w = tvlr_writer_create();
    bool ok = tvlr_open_write_mem(w, s.buffer.data(), s.buffer.size(), false, nullptr);
    char digits[16];
    tvlr_event e{};  // one event record for the array events, as in tvlr_events
    auto put = [&](uint32_t kind, uint32_t value_kind, std::string_view text) {
        e.value_kind = value_kind;
        e.text = text.data();
        e.text_len = static_cast<uint32_t>(text.size());
        return tvlr_write_event(w, kind, &e);
    };
    auto number = [&](uint32_t v) {
        const auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
        return put(TVLR_EV_VALUE, TVL_VK_ARRAY_NUMBER,
                   {digits, static_cast<size_t>(end - digits)});
    };
    for (const Record &r : s.records) {
        ok = ok && tvlr_write_struct_start(w, r.key.c_str()) && tvlr_write_uint(w, "id", 0, r.id) &&
             tvlr_write_string(w, "name", r.name.c_str()) &&
             tvlr_write_float(w, "score", 64, r.score) && tvlr_write_bool(w, "active", r.active) &&
             put(TVLR_EV_MEMBER_NAME, 0, "tags") && put(TVLR_EV_ARRAY_START, 0, "");
        for (const char *tag : kTags) ok = ok && put(TVLR_EV_VALUE, TVL_VK_SYMBOL, tag);
        ok = ok && put(TVLR_EV_ARRAY_END, 0, "") && put(TVLR_EV_MEMBER_NAME, 0, "point") &&
             put(TVLR_EV_ARRAY_START, 0, "") && number(r.x) && number(r.y) &&
             put(TVLR_EV_ARRAY_END, 0, "") && tvlr_write_struct_end(w);
    }
    ok = ok && tvlr_write_finish(w);
    s.tvlr_bytes = ok ? tvlr_writer_bytes_written(w) : 0;
    tvlr_writer_destroy(w);
    return s.tvlr_bytes;
}

namespace {
template <bool kRaw>
uint64_t rapidjson_write(const std::vector<Record> &records, rapidjson::StringBuffer &out) {
    using rapidjson::kNumberType;
    out.Clear();
    rapidjson::Writer<rapidjson::StringBuffer> w(out);
    bool ok = w.StartObject();
    for (const Record &r : records) {
        ok =
            ok && w.Key(r.key.data(), static_cast<rapidjson::SizeType>(r.key.size())) &&
            w.StartObject() && w.Key("id") &&
            (kRaw ? w.RawValue(r.id_text.data(), r.id_text.size(), kNumberType) : w.Uint64(r.id)) &&
            w.Key("name") &&
            w.String(r.name.data(), static_cast<rapidjson::SizeType>(r.name.size())) &&
            w.Key("score") &&
            (kRaw ? w.RawValue(r.score_text.data(), r.score_text.size(), kNumberType)
                  : w.Double(r.score)) &&
            w.Key("active") && w.Bool(r.active) && w.Key("tags") && w.StartArray();
        for (const char *tag : kTags) ok = ok && w.String(tag);
        ok = ok && w.EndArray() && w.Key("point") && w.StartArray() &&
             (kRaw ? w.RawValue(r.x_text.data(), r.x_text.size(), kNumberType) &&
                         w.RawValue(r.y_text.data(), r.y_text.size(), kNumberType)
                   : w.Uint64(r.x) && w.Uint64(r.y)) &&
             w.EndArray() && w.EndObject();
    }
    ok = ok && w.EndObject();
    return ok ? out.GetSize() : 0;
}

template <bool kRaw>
uint64_t yajl_write(const std::vector<Record> &records, Output &out) {
    out.size = 0;
    out.overflow = false;
    yajl_gen g = yajl_gen_alloc(nullptr);
    if (g == nullptr) return 0;
    yajl_gen_config(g, yajl_gen_print_callback, &yajl_print, &out);
    auto number = [&](const std::string &text, double value, bool integer) {
        if (kRaw) return yajl_gen_number(g, text.data(), text.size()) == yajl_gen_status_ok;
        return (integer ? yajl_gen_integer(g, static_cast<long long>(value))
                        : yajl_gen_double(g, value)) == yajl_gen_status_ok;
    };
    bool ok = yajl_gen_map_open(g) == yajl_gen_status_ok;
    for (const Record &r : records) {
        ok = ok && yajl_text(g, r.key) && yajl_gen_map_open(g) == yajl_gen_status_ok &&
             yajl_text(g, "id") && number(r.id_text, r.id, true) && yajl_text(g, "name") &&
             yajl_text(g, r.name) && yajl_text(g, "score") &&
             number(r.score_text, r.score, false) && yajl_text(g, "active") &&
             yajl_gen_bool(g, r.active) == yajl_gen_status_ok && yajl_text(g, "tags") &&
             yajl_gen_array_open(g) == yajl_gen_status_ok;
        for (const char *tag : kTags) ok = ok && yajl_text(g, tag);
        ok = ok && yajl_gen_array_close(g) == yajl_gen_status_ok && yajl_text(g, "point") &&
             yajl_gen_array_open(g) == yajl_gen_status_ok && number(r.x_text, r.x, true) &&
             number(r.y_text, r.y, true) && yajl_gen_array_close(g) == yajl_gen_status_ok &&
             yajl_gen_map_close(g) == yajl_gen_status_ok;
    }
    ok = ok && yajl_gen_map_close(g) == yajl_gen_status_ok;
    yajl_gen_free(g);
    return ok && !out.overflow ? out.size : 0;
}
}  // namespace

uint64_t RecordWriters::rapidjson_raw() {
    state_->last = State::Last::rapidjson;
    return rapidjson_write<true>(state_->records, state_->json);
}
uint64_t RecordWriters::rapidjson_typed() {
    state_->last = State::Last::rapidjson;
    return rapidjson_write<false>(state_->records, state_->json);
}
uint64_t RecordWriters::yajl_raw() {
    state_->last = State::Last::yajl;
    return yajl_write<true>(state_->records, state_->yajl);
}
uint64_t RecordWriters::yajl_typed() {
    state_->last = State::Last::yajl;
    return yajl_write<false>(state_->records, state_->yajl);
}

std::string RecordWriters::last_output() const {
    const State &s = *state_;
    switch (s.last) {
        case State::Last::tvlr:
            return {s.buffer.data(), s.tvlr_bytes};
        case State::Last::rapidjson:
            return {s.json.GetString(), s.json.GetSize()};
        case State::Last::yajl:
            return {s.yajl.data.data(), s.yajl.size};
    }
    return {};
}

// ---------------------------------------------------------------------------
// Reading and re-writing

namespace {
// A sink that counts what it is given into the counter its reserved bytes point at.
bool count_bytes(tvlr_sink *sink, const uint8_t *, uint32_t len) {
    uint64_t *counter;
    std::memcpy(&counter, sink->reserved, sizeof counter);
    *counter += len;
    return true;
}
}  // namespace

uint64_t tvlr_canonicalise(const std::string &text) {
    static const std::unique_ptr<tvlr_reader, void (*)(tvlr_reader *)> reader(tvlr_reader_create(),
                                                                              &tvlr_reader_destroy);
    uint64_t out = 0;
    uint64_t *counter = &out;
    tvlr_sink sink{};
    sink.write = &count_bytes;
    std::memcpy(sink.reserved, &counter, sizeof counter);
    tvlr_canon_observer *obs = tvlr_canon_observer_create(&sink, false);
    tvlr_reader_options o{};
    o.max_struct_depth = 255;
    o.max_array_depth = 255;
    o.user_data = obs;
    o.on_event = &tvlr_canon_observer_on_event;
    const bool ok = obs != nullptr &&
                    tvlr_open_read_mem(reader.get(), text.data(), text.size(), nullptr, 0, &o) &&
                    tvlr_read(reader.get()) && tvlr_canon_observer_finish(obs);
    tvlr_canon_observer_destroy(obs);
    return ok ? out : 0;
}

uint64_t rapidjson_rewrite(const std::string &json) {
    static rapidjson::StringBuffer out;
    static rapidjson::Reader reader;
    out.Clear();
    rapidjson::Writer<rapidjson::StringBuffer> w(out);
    rapidjson::StringStream stream(json.c_str());
    const bool ok = !reader.Parse<rapidjson::kParseValidateEncodingFlag>(stream, w).IsError();
    return ok ? out.GetSize() : 0;
}

}  // namespace tvlcompare
