#include "readers.h"

#include <yajl/yajl_parse.h>

#include <cassert>
#include <cstring>
#include <vector>

#include "tvlr.h"

// The references' headers are not held to this project's warning flags.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wshadow"
#include <rapidjson/reader.h>
#include <simdjson.h>
#pragma GCC diagnostic pop

namespace tvlcompare {
namespace {

constexpr size_t kChunk = size_t{64} << 10;

// ---------------------------------------------------------------------------
// tvlr

bool tvlr_count(void *user, uint32_t kind, tvlr_event *) {
    auto *c = static_cast<Counts *>(user);
    switch (kind) {
        case TVLR_EV_DOC_START:
        case TVLR_EV_STRUCT_START:
        case TVLR_EV_ARRAY_START:
        case TVLR_EV_VALUE:
            ++c->values;
            break;
        case TVLR_EV_MEMBER_NAME:
            ++c->keys;
            break;
        default:
            break;
    }
    return true;
}

// One reader for the whole program, opened anew for every document.
tvlr_reader *shared_reader() {
    static const std::unique_ptr<tvlr_reader, void (*)(tvlr_reader *)> reader(tvlr_reader_create(),
                                                                              &tvlr_reader_destroy);
    return reader.get();
}

tvlr_reader_options tvlr_options(Counts *counts) {
    tvlr_reader_options o{};
    o.max_struct_depth = 255;
    o.max_array_depth = 255;
    o.max_file_bytes = UINT64_MAX;
    o.max_text_bytes = UINT64_MAX;
    if (counts != nullptr) {
        o.user_data = counts;
        o.on_event = &tvlr_count;
    }
    return o;
}

bool read_repeated(tvlr_source *src, uint8_t *dst, uint32_t cap, uint32_t *count) {
    RepeatedText *text;
    std::memcpy(&text, src->user_state, sizeof text);
    *count = static_cast<uint32_t>(text->read(reinterpret_cast<char *>(dst), cap));
    return true;
}

// ---------------------------------------------------------------------------
// RapidJSON

struct RapidCounter : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, RapidCounter> {
    Counts c;
    bool Default() {
        ++c.values;
        return true;
    }
    bool Key(const char *, rapidjson::SizeType, bool) {
        ++c.keys;
        return true;
    }
    bool EndObject(rapidjson::SizeType) { return true; }
    bool EndArray(rapidjson::SizeType elements) {
        c.empty_arrays += elements == 0;
        return true;
    }
};

rapidjson::Reader &shared_rapid_reader() {
    static rapidjson::Reader reader;
    return reader;
}

template <class Stream>
Counts rapid_parse(Stream &stream, bool counting) {
    Counts c;
    if (counting) {
        RapidCounter handler;
        c.ok = !shared_rapid_reader()
                    .Parse<rapidjson::kParseValidateEncodingFlag>(stream, handler)
                    .IsError();
        const bool ok = c.ok;
        c = handler.c;
        c.ok = ok;
    } else {
        rapidjson::BaseReaderHandler<> handler;
        c.ok = !shared_rapid_reader()
                    .Parse<rapidjson::kParseValidateEncodingFlag>(stream, handler)
                    .IsError();
    }
    return c;
}

// An input stream over RepeatedText with a buffer of 64 KiB, refilled when it runs out; a
// NUL after the last byte marks the end, as RapidJSON's own file stream does.
class RepeatedStream {
  public:
    using Ch = char;
    explicit RepeatedStream(RepeatedText &text) : text_(text), buffer_(kChunk + 1) { fill(); }
    Ch Peek() const { return *current_; }
    Ch Take() {
        const Ch c = *current_;
        advance();
        return c;
    }
    size_t Tell() const { return consumed_ + static_cast<size_t>(current_ - buffer_.data()); }
    // Output operations that the reader never calls.
    void Put(Ch) { assert(false); }
    void Flush() { assert(false); }
    Ch *PutBegin() { return nullptr; }
    size_t PutEnd(Ch *) { return 0; }

  private:
    void fill() {
        consumed_ += filled_;
        filled_ = text_.read(buffer_.data(), kChunk);
        buffer_[filled_] = '\0';
        current_ = buffer_.data();
        last_ = buffer_.data() + filled_;  // the NUL when the text ended
        end_ = filled_ == 0;
    }
    void advance() {
        if (current_ + 1 < last_)
            ++current_;
        else if (current_ + 1 == last_ && !end_)
            fill();
        else if (current_ < last_)
            ++current_;
    }

    RepeatedText &text_;
    std::vector<char> buffer_;
    Ch *current_ = nullptr;
    Ch *last_ = nullptr;
    size_t consumed_ = 0;
    size_t filled_ = 0;
    bool end_ = false;
};

// ---------------------------------------------------------------------------
// yajl

int yajl_value(void *ctx) {
    ++static_cast<Counts *>(ctx)->values;
    return 1;
}
int yajl_bool(void *ctx, int) {
    return yajl_value(ctx);
}
int yajl_num(void *ctx, const char *, size_t) {
    return yajl_value(ctx);
}
int yajl_str(void *ctx, const unsigned char *, size_t) {
    return yajl_value(ctx);
}
int yajl_key(void *ctx, const unsigned char *, size_t) {
    ++static_cast<Counts *>(ctx)->keys;
    return 1;
}
int yajl_end(void *) {
    return 1;
}

constexpr yajl_callbacks kYajlCounting = {&yajl_value, &yajl_bool,  nullptr,     nullptr,
                                          &yajl_num,   &yajl_str,   &yajl_value, &yajl_key,
                                          &yajl_end,   &yajl_value, &yajl_end};

// Feeds the chunks that next() gives (an empty one ends) to a new yajl handle.
template <class Next>
Counts yajl_parse_chunks(Next next) {
    Counts c;
    yajl_handle h = yajl_alloc(&kYajlCounting, nullptr, &c);
    if (h == nullptr) return c;
    bool ok = true;
    for (std::string_view chunk = next(); ok && !chunk.empty(); chunk = next())
        ok = yajl_parse(h, reinterpret_cast<const unsigned char *>(chunk.data()), chunk.size()) ==
             yajl_status_ok;
    c.ok = ok && yajl_complete_parse(h) == yajl_status_ok;
    yajl_free(h);
    return c;
}

}  // namespace

Counts tvlr_read_mem(const std::string &text, bool counting) {
    Counts c;
    const tvlr_reader_options o = tvlr_options(counting ? &c : nullptr);
    c.ok = tvlr_open_read_mem(shared_reader(), text.data(), text.size(), nullptr, 0, &o) &&
           tvlr_read(shared_reader());
    return c;
}

Counts rapidjson_read(const std::string &json, bool counting) {
    rapidjson::StringStream stream(json.c_str());
    return rapid_parse(stream, counting);
}

Counts yajl_read(const std::string &json) {
    bool given = false;
    return yajl_parse_chunks([&]() -> std::string_view {
        if (given) return {};
        given = true;
        return json;
    });
}

// ---------------------------------------------------------------------------
// simdjson

struct SimdjsonReader::State {
    simdjson::dom::parser parser;
    simdjson::padded_string json;
};

SimdjsonReader::SimdjsonReader() : state_(std::make_unique<State>()) {}
SimdjsonReader::~SimdjsonReader() = default;

void SimdjsonReader::load(const std::string &json) {
    state_->json = simdjson::padded_string(json);
}

namespace {
void simdjson_count(simdjson::dom::element e, Counts &c) {
    ++c.values;
    simdjson::dom::array array;
    simdjson::dom::object object;
    const simdjson::dom::element_type type = e.type();
    if (type == simdjson::dom::element_type::ARRAY &&
        e.get_array().get(array) == simdjson::SUCCESS) {
        for (simdjson::dom::element item : array) simdjson_count(item, c);
    } else if (type == simdjson::dom::element_type::OBJECT &&
               e.get_object().get(object) == simdjson::SUCCESS) {
        for (simdjson::dom::key_value_pair field : object) {
            ++c.keys;
            simdjson_count(field.value, c);
        }
    }
}
}  // namespace

Counts SimdjsonReader::read() {
    Counts c;
    simdjson::dom::element root;
    if (state_->parser.parse(state_->json).get(root) != simdjson::SUCCESS) return c;
    simdjson_count(root, c);
    c.ok = true;
    return c;
}

// ---------------------------------------------------------------------------
// Long streams

namespace {
RepeatedText tvlr_stream(const Block &block, uint64_t blocks) {
    return RepeatedText({}, block.tvlr, {}, {}, blocks);
}
RepeatedText json_stream(const Block &block, uint64_t blocks) {
    return RepeatedText("{", block.json_members, ",", "\n}\n", blocks);
}
}  // namespace

uint64_t tvlr_stream_bytes(const Block &block, uint64_t blocks) {
    return tvlr_stream(block, blocks).size();
}
uint64_t json_stream_bytes(const Block &block, uint64_t blocks) {
    return json_stream(block, blocks).size();
}

Counts tvlr_read_stream(const Block &block, uint64_t blocks, bool counting) {
    RepeatedText text = tvlr_stream(block, blocks);
    RepeatedText *pointer = &text;
    tvlr_source src{};
    src.read = &read_repeated;
    std::memcpy(src.user_state, &pointer, sizeof pointer);
    Counts c;
    const tvlr_reader_options o = tvlr_options(counting ? &c : nullptr);
    c.ok = tvlr_open_read_source(shared_reader(), &src, nullptr, &o) && tvlr_read(shared_reader());
    return c;
}

Counts rapidjson_read_stream(const Block &block, uint64_t blocks, bool counting) {
    RepeatedText text = json_stream(block, blocks);
    RepeatedStream stream(text);
    return rapid_parse(stream, counting);
}

Counts yajl_read_stream(const Block &block, uint64_t blocks) {
    RepeatedText text = json_stream(block, blocks);
    std::vector<char> buffer(kChunk);
    return yajl_parse_chunks([&]() -> std::string_view {
        return {buffer.data(), text.read(buffer.data(), buffer.size())};
    });
}

}  // namespace tvlcompare
