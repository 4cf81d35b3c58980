// tvlr.hpp - a header-only C++20 layer over the C interface of libtvlr_shared.
//
// RAII owners for the reader, the writer, the canonical observer, the document tree, the big
// integer and the big float; std::string_view accessors; event, error and sink callbacks from
// lambdas. Nothing here throws: failures are reported as false, null or an empty owner, exactly
// as the C calls report them, so the layer works in code built with -fno-exceptions.
#ifndef TVLR_HPP
#define TVLR_HPP

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "tvlr.h"

namespace tvlr {

// The library's version text, such as "0.2.0".
inline std::string_view version() {
    return tvlr_version();
}

// The static name of an error code ("unit_illegal").
inline std::string_view error_name(uint32_t code) {
    return tvl_error_to_string(code);
}

// The text of an event (empty for events without one).
inline std::string_view text(const tvlr_event &event) {
    return event.text ? std::string_view(event.text, event.text_len) : std::string_view();
}

// A move-only owner of a library object released by Destroy; empty when creation failed.
template <class T, void (*Destroy)(T *)>
class owner {
  public:
    owner() = default;
    explicit owner(T *object) noexcept : object_(object) {}
    owner(owner &&other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    owner &operator=(owner &&other) noexcept {
        if (this != &other) reset(std::exchange(other.object_, nullptr));
        return *this;
    }
    owner(const owner &) = delete;
    owner &operator=(const owner &) = delete;
    ~owner() { reset(); }

    T *get() const noexcept { return object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }
    // Gives up ownership without releasing.
    T *release() noexcept { return std::exchange(object_, nullptr); }
    void reset(T *object = nullptr) noexcept {
        if (object_) Destroy(object_);
        object_ = object;
    }

  private:
    T *object_ = nullptr;
};

namespace detail {

// A pointer stored in a record's spare bytes (the sink's reserved area, the source's user
// state): the library copies the record whole, so the copy still finds the callable.
template <class P, class Bytes>
void stash(Bytes &bytes, P *pointer) noexcept {
    static_assert(sizeof(bytes) >= sizeof(pointer));
    std::memcpy(&bytes, &pointer, sizeof(pointer));
}
template <class P, class Bytes>
P *unstash(const Bytes &bytes) noexcept {
    P *pointer;
    std::memcpy(&pointer, &bytes, sizeof(pointer));
    return pointer;
}

}  // namespace detail

// A sink that hands every piece of output to fn(std::string_view) -> bool (true when taken).
// fn must outlive every writer or observer opened over the sink.
template <class F>
tvlr_sink make_sink(F &fn) noexcept {
    tvlr_sink sink{};
    sink.write = [](tvlr_sink *self, const uint8_t *data, uint32_t len) -> bool {
        F &target = *detail::unstash<F>(self->reserved);
        if (!target(std::string_view(reinterpret_cast<const char *>(data), len))) return false;
        self->delivered += len;
        return true;
    };
    detail::stash(sink.reserved, &fn);
    return sink;
}

// A source that asks fn(char *dst, uint32_t cap) -> long for bytes: the count delivered
// (0 at the end of input) or a negative value for a read failure.
template <class F>
tvlr_source make_source(F &fn) noexcept {
    tvlr_source source{};
    source.read = [](tvlr_source *self, uint8_t *dst, uint32_t cap, uint32_t *count) -> bool {
        F &target = *detail::unstash<F>(self->user_state);
        long got = target(reinterpret_cast<char *>(dst), cap);
        if (got < 0) return false;
        *count = static_cast<uint32_t>(got);
        return true;
    };
    detail::stash(source.user_state, &fn);
    return source;
}

// One error as the reader reports it.
struct read_error {
    uint32_t code = 0;
    uint64_t line = 0;
    uint64_t column = 0;
    uint32_t byte = 0;
    uint64_t offset = 0;
    std::string_view name() const { return error_name(code); }
};

// Accepts every event; the default event handler.
struct ignore_events {
    bool operator()(uint32_t, const tvlr_event &) const noexcept { return true; }
};
// Drops every error; the default error handler.
struct ignore_errors {
    void operator()(const read_error &) const noexcept {}
};

// The streaming reader.
class reader : public owner<tvlr_reader, tvlr_reader_destroy> {
  public:
    reader() : owner(tvlr_reader_create()) {}

    // Reads a whole source. on_event(kind, const tvlr_event &) -> bool gets every event (false
    // stops the read); on_error(const read_error &) gets every error. options supplies the
    // limits and the recovery switch; its callbacks and user data are replaced. True when the
    // input was complete and valid (with recovery: complete).
    template <class OnEvent = ignore_events, class OnError = ignore_errors>
    bool read(const tvlr_source &source, OnEvent &&on_event = {}, OnError &&on_error = {},
              tvlr_reader_options options = {}, const tvlr_sink *echo = nullptr) {
        struct handlers {
            OnEvent &event;
            OnError &error;
        } h{on_event, on_error};
        options.user_data = &h;
        options.on_event = [](void *user, uint32_t kind, tvlr_event *event) -> bool {
            return static_cast<handlers *>(user)->event(kind, *event);
        };
        options.on_event_after = nullptr;
        options.on_error = [](void *user, uint32_t code, uint64_t line, uint64_t column,
                              uint32_t byte, uint64_t offset) {
            static_cast<handlers *>(user)->error(read_error{code, line, column, byte, offset});
        };
        return tvlr_open_read_source(get(), &source, echo, &options) && tvlr_read(get());
    }

    // The same over bytes in memory.
    template <class OnEvent = ignore_events, class OnError = ignore_errors>
    bool read(std::string_view data, OnEvent &&on_event = {}, OnError &&on_error = {},
              tvlr_reader_options options = {}) {
        tvlr_source source;
        tvlr_source_from_mem(&source, data.data(), data.size());
        return read(source, std::forward<OnEvent>(on_event), std::forward<OnError>(on_error),
                    options);
    }

    // The last error of the last read, with its position.
    read_error error() const {
        return {tvlr_reader_get_error(get()), tvlr_reader_get_error_line(get()),
                tvlr_reader_get_error_column(get()), tvlr_reader_get_error_byte(get()),
                tvlr_reader_get_error_offset(get())};
    }
    uint64_t recovery_count() const { return tvlr_reader_get_recovery_count(get()); }
};

// The canonical observer: feed it a reader's events to re-write them in canonical form.
class canon_observer : public owner<tvlr_canon_observer, tvlr_canon_observer_destroy> {
  public:
    canon_observer() = default;
    canon_observer(const tvlr_sink &sink, bool pretty)
        : owner(tvlr_canon_observer_create(&sink, pretty)) {}

    // Writes one event; false when the sink failed.
    bool operator()(uint32_t kind, const tvlr_event &event) const {
        return tvlr_canon_observer_on_event(get(), kind, const_cast<tvlr_event *>(&event));
    }
    bool finish() const { return tvlr_canon_observer_finish(get()); }
    uint64_t bytes_written() const { return tvlr_canon_observer_bytes_written(get()); }
};

// The streaming writer; every call returns false once the writer holds an error.
class writer : public owner<tvlr_writer, tvlr_writer_destroy> {
  public:
    writer() : owner(tvlr_writer_create()) {}

    bool open(const tvlr_sink &sink, bool pretty, const tvlr_writer_options *options = nullptr) {
        return tvlr_open_write_sink(get(), &sink, pretty, options);
    }
    bool event(uint32_t kind, const tvlr_event &event) const {
        return tvlr_write_event(get(), kind, &event);
    }
    // An event with a text (a member name, a value's digits).
    bool event(uint32_t kind, uint32_t value_kind, std::string_view text) const {
        tvlr_event e{};
        e.value_kind = value_kind;
        e.text = text.data() ? text.data() : "";
        e.text_len = static_cast<uint32_t>(text.size());
        return tvlr_write_event(get(), kind, &e);
    }
    bool string(const char *name, const char *text) const {
        return tvlr_write_string(get(), name, text);
    }
    bool boolean(const char *name, bool value) const { return tvlr_write_bool(get(), name, value); }
    bool null(const char *name) const { return tvlr_write_null(get(), name); }
    bool uint(const char *name, int bits, uint64_t value) const {
        return tvlr_write_uint(get(), name, bits, value);
    }
    bool sint(const char *name, int bits, int64_t value) const {
        return tvlr_write_sint(get(), name, bits, value);
    }
    bool real(const char *name, unsigned bits, double value) const {
        return tvlr_write_float(get(), name, bits, value);
    }
    bool real(const char *name, unsigned bits, double value, tvl_unit unit) const {
        return tvlr_write_float_unit(get(), name, bits, value, unit);
    }
    bool struct_start(const char *name) const { return tvlr_write_struct_start(get(), name); }
    bool struct_end() const { return tvlr_write_struct_end(get()); }
    bool finish() const { return tvlr_write_finish(get()); }
    uint32_t error() const { return tvlr_writer_get_error(get()); }
};

// A read-only view of one tree node; empty views answer every question with "no".
class node {
  public:
    node() = default;
    explicit node(const tvl_dom_node *n) : node_(n) {}
    explicit operator bool() const { return node_ != nullptr; }
    const tvl_dom_node *get() const { return node_; }

    uint32_t type() const { return tvl_dom_node_type(node_); }
    tvl_type_annotation annotation() const { return tvl_dom_get_value_type(node_); }
    tvl_unit unit() const { return tvl_dom_get_unit(node_); }

    // The bytes of a string, symbol or reference node; empty for any other.
    std::string_view string() const {
        const char *bytes = nullptr;
        uint32_t length = 0;
        if (tvl_dom_get_string(node_, &bytes, &length) ||
            tvl_dom_get_symbol(node_, &bytes, &length) ||
            tvl_dom_get_reference(node_, &bytes, &length))
            return {bytes, length};
        return {};
    }
    std::string_view octets() const {
        const uint8_t *bytes = nullptr;
        uint32_t length = 0;
        if (!tvl_dom_get_octets(node_, &bytes, &length) || !bytes) return {};
        return {reinterpret_cast<const char *>(bytes), length};
    }
    bool get(double &out) const { return tvl_dom_get_float(node_, &out); }
    bool get(int64_t &out) const { return tvl_dom_get_i64(node_, &out); }
    bool get(uint64_t &out) const { return tvl_dom_get_u64(node_, &out); }
    bool get(bool &out) const { return tvl_dom_get_bool(node_, &out); }
    double value_in_si() const { return tvl_dom_get_value_in_base_units(node_); }

    // Members of a struct, elements of an array.
    uint32_t member_count() const { return tvl_dom_struct_count(node_); }
    std::string_view member_name(uint32_t i) const {
        return i < member_count() ? tvl_dom_struct_entries(node_)[i].name : std::string_view();
    }
    node member(uint32_t i) const {
        return node(i < member_count() ? tvl_dom_struct_entries(node_)[i].node : nullptr);
    }
    node operator[](const char *name) const { return node(tvl_dom_struct_get(node_, name)); }
    uint32_t size() const { return tvl_dom_array_count(node_); }
    node at(uint32_t i) const { return node(tvl_dom_array_at(node_, i)); }

    // The value of an integer node as text in base (empty for other nodes).
    std::string int_text(uint32_t base = 10) const {
        char *text = tvl_dom_int_to_str(node_, base);
        if (!text) return {};
        std::string result(text);
        tvl_dom_free_string(text);
        return result;
    }

  private:
    const tvl_dom_node *node_ = nullptr;
};

// A document tree; parse() returns an empty owner only when memory is short.
class document : public owner<tvl_dom_doc, tvl_dom_doc_destroy> {
  public:
    document() : owner(tvl_dom_doc_create()) {}
    explicit document(tvl_dom_doc *doc) : owner(doc) {}

    static document parse(std::string_view data) {
        return document(tvl_dom_parse(data.data(), static_cast<uint32_t>(data.size())));
    }
    uint32_t parse_error() const { return tvl_dom_doc_get_parse_error(get()); }
    uint32_t size() const { return tvl_dom_doc_count(get()); }
    std::string_view name(uint32_t i) const {
        return i < size() ? tvl_dom_doc_entries(get())[i].name : std::string_view();
    }
    node operator[](uint32_t i) const {
        return node(i < size() ? tvl_dom_doc_entries(get())[i].node : nullptr);
    }
    // The node at a dotted path of member names ("a.b.c").
    node lookup(const char *path) const { return node(tvl_dom_lookup(get(), path)); }
};

// An arbitrary-precision integer.
class integer : public owner<tvl_int, tvl_int_free> {
  public:
    integer() : owner(tvl_int_alloc()) {}

    bool parse(const char *text, uint32_t base = 10) { return tvl_int_from_str(get(), text, base); }
    bool set(int64_t value) { return tvl_int_from_int64(get(), value); }
    bool to(int64_t &out) const { return tvl_int_to_int64(get(), &out); }
    int compare(const integer &other) const { return tvl_int_cmp(get(), other.get()); }
    // The digits in base (2..62, 64, 85); empty when the base is refused.
    std::string str(uint32_t base = 10) const {
        std::string text(tvl_int_str_bufsize(tvl_int_bitlen(get()), base), '\0');
        int n = tvl_int_to_str(get(), text.data(), text.size(), base);
        text.resize(n < 0 ? 0 : static_cast<size_t>(n));
        return text;
    }
};

// A binary big float of a chosen precision.
class big_float : public owner<tvl_float, tvl_float_free> {
  public:
    big_float() = default;
    explicit big_float(uint32_t precision) : owner(tvl_float_alloc(precision)) {}

    bool parse(const char *text, uint32_t base = 10) {
        return tvl_float_from_str(get(), text, base);
    }
    bool set(double value) { return tvl_float_from_double(get(), value); }
    bool to(double &out) const { return tvl_float_to_double(get(), &out); }
    // Shortest decimal text that reads back at this precision (base 10), or every bit (16).
    std::string str(uint32_t base = 10) const {
        if (!get()) return {};
        std::string text(tvl_float_str_bufsize(get()->precision, base), '\0');
        int n = tvl_float_to_str(get(), text.data(), text.size(), base);
        text.resize(n < 0 ? 0 : static_cast<size_t>(n));
        return text;
    }
};

// A unit parsed from text; ok() is false for text that is no valid unit.
struct unit {
    tvl_unit value{};
    bool valid = false;

    static unit parse(std::string_view text) {
        unit u;
        u.value = tvl_parse_unit_n(text.data(), static_cast<uint32_t>(text.size()), &u.valid);
        return u;
    }
    // The canonical text (flags TVL_UNIT_FMT_*); empty for an invalid unit.
    std::string str(uint32_t flags = 0) const {
        char buffer[512];
        int n = tvl_unit_to_string_ex(buffer, sizeof buffer, flags, value);
        return n < 0 ? std::string() : std::string(buffer, static_cast<size_t>(n));
    }
};

}  // namespace tvlr

#endif  // TVLR_HPP
