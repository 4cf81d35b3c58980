#include "support/trace.h"

#include <unistd.h>

#include <cstring>
#include <random>
#include <thread>

#include "reader/reader_impl.h"

namespace tvltest {
namespace {

struct Recorder {
    std::string out;
    uint64_t error_calls = 0;
    std::vector<char> open;  // '{' and '[' currently open
    bool nesting_ok = true;
};

}  // namespace

void append_quoted(std::string &out, const char *text, uint32_t len) {
    out += '"';
    for (uint32_t i = 0; i < len; ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

namespace {

bool on_event(void *user, uint32_t kind, tvlr_event *e) {
    auto *rec = static_cast<Recorder *>(user);
    if (!rec->out.empty()) rec->out += ' ';
    rec->out += render_event(kind, *e);
    switch (kind) {
        case TVLR_EV_STRUCT_START:
            rec->open.push_back('{');
            break;
        case TVLR_EV_ARRAY_START:
            rec->open.push_back('[');
            break;
        case TVLR_EV_STRUCT_END:
        case TVLR_EV_ARRAY_END: {
            char want = kind == TVLR_EV_STRUCT_END ? '{' : '[';
            if (rec->open.empty() || rec->open.back() != want)
                rec->nesting_ok = false;
            else
                rec->open.pop_back();
            break;
        }
        default:
            break;
    }
    return true;
}

void on_error(void *user, uint32_t code, uint64_t line, uint64_t column, uint32_t,
              uint64_t offset) {
    auto *rec = static_cast<Recorder *>(user);
    ++rec->error_calls;
    if (!rec->out.empty()) rec->out += ' ';
    rec->out += "!" + std::to_string(code) + "@" + std::to_string(line) + ":" +
                std::to_string(column) + "#" + std::to_string(offset);
}

// A custom source over a string that delivers pieces of chosen sizes.
struct Feeder {
    std::string_view data;
    size_t pos = 0;
    std::mt19937 rng;
    bool one_byte = false;
};

bool feeder_read(tvlr_source *src, uint8_t *dst, uint32_t cap, uint32_t *count) {
    Feeder *f;
    std::memcpy(&f, src->user_state, sizeof f);
    size_t left = f->data.size() - f->pos;
    size_t n = f->one_byte ? 1 : std::uniform_int_distribution<size_t>(1, 97)(f->rng);
    if (n > left) n = left;
    if (n > cap) n = cap;
    std::memcpy(dst, f->data.data() + f->pos, n);
    f->pos += n;
    *count = static_cast<uint32_t>(n);
    return true;
}

}  // namespace

std::string trace_unit(const tvl_unit &u) {
    if (u.count == 0) return "";
    if (u.count == 1 && u.factors[0].base == 0 && u.factors[0].exponent == 1 &&
        u.factors[0].prefix.kind == 0 && u.factors[0].prefix.index == 0)
        return "";
    std::string s;
    for (uint32_t i = 0; i < u.count && i < TVL_UNIT_MAX_FACTORS; ++i) {
        const auto &f = u.factors[i];
        if (i) s += '.';
        s += std::to_string(f.base);
        if (f.exponent != 1) s += "^" + std::to_string(f.exponent);
        if (f.prefix.index)
            s += "(" + std::to_string(f.prefix.kind) + "," + std::to_string(f.prefix.index) + ")";
    }
    return s;
}

std::string render_event(uint32_t kind, const tvlr_event &e) {
    std::string s;
    switch (kind) {
        case TVLR_EV_DOC_START:
            s = "S";
            break;
        case TVLR_EV_DOC_END:
            s = "E";
            break;
        case TVLR_EV_MEMBER_NAME:
            s = "." + std::string(e.text, e.text_len);
            break;
        case TVLR_EV_OCTETS_START:
            s = "O{";
            break;
        case TVLR_EV_OCTETS_END:
            s = "O}";
            break;
        case TVLR_EV_STRUCT_START:
            s = "{";
            break;
        case TVLR_EV_STRUCT_END:
            s = "}";
            break;
        case TVLR_EV_ARRAY_START:
            s = "[";
            break;
        case TVLR_EV_ARRAY_END:
            s = "]";
            break;
        case TVLR_EV_ROW_BREAK:
            s = "/";
            break;
        case TVLR_EV_TYPE_START:
            s = "<";
            append_quoted(s, e.text, e.text_len);
            break;
        case TVLR_EV_TYPE_END:
            s = ">";
            break;
        case TVLR_EV_TYPE_NAME:
            s = "T" + std::to_string(e.value_type) + ":" + std::to_string(e.bits);
            if (e.base) s += ":b" + std::to_string(e.base);
            return s + (trace_unit(e.unit).empty() ? "" : "~" + trace_unit(e.unit));
        case TVLR_EV_TYPE_PARAM:
            s = "p" + std::to_string(e.value_kind);
            if (e.value_kind == TVL_VK_BITS)
                s += ":" + std::to_string(e.bits);
            else if (e.value_kind == TVL_VK_BASE || e.value_kind == TVL_VK_FRACTION)
                s += ":" + std::to_string(e.base);
            else
                append_quoted(s, e.text, e.text_len);
            return s;
        case TVLR_EV_VALUE:
            s = "v" + std::to_string(e.value_kind);
            append_quoted(s, e.text, e.text_len);
            break;
        default:
            s = "?" + std::to_string(kind);
            break;
    }
    if (kind != TVLR_EV_TYPE_START && (e.value_type || e.bits || e.base)) {
        s += "@" + std::to_string(e.value_type) + ":" + std::to_string(e.bits);
        if (e.base) s += ":" + std::to_string(e.base);
    }
    std::string u = trace_unit(e.unit);
    if (!u.empty() && kind != TVLR_EV_TYPE_START) s += "~" + u;
    return s;
}

ReadResult read_trace(std::string_view input, const tvlr_reader_options *options, Feed feed,
                      uint32_t seed, bool caches) {
    Recorder rec;
    tvlr_reader_options o{};
    if (options) o = *options;
    o.user_data = &rec;
    o.on_event = &on_event;
    o.on_error = &on_error;
    o.on_event_after = nullptr;

    ReadResult res;
    tvlr_reader *r = tvlr_reader_create();
    if (!r) return res;
    Feeder f;
    f.data = input;
    f.rng.seed(seed);
    f.one_byte = feed == Feed::one_byte;
    int fds[2] = {-1, -1};
    std::thread writer;
    bool opened = false;
    if (feed == Feed::memory) {
        opened = tvlr_open_read_mem(r, input.data(), input.size(), nullptr, 0, &o);
    } else if (feed == Feed::descriptor) {
        if (pipe(fds) == 0) {
            writer = std::thread([&] {
                size_t pos = 0;
                while (pos < input.size()) {
                    ssize_t n = ::write(fds[1], input.data() + pos, input.size() - pos);
                    if (n <= 0) break;
                    pos += static_cast<size_t>(n);
                }
                ::close(fds[1]);
            });
            tvlr_source src;
            tvlr_source_from_fd(&src, fds[0]);
            opened = tvlr_open_read_source(r, &src, nullptr, &o);
        }
    } else {
        tvlr_source src{};
        src.read = &feeder_read;
        Feeder *fp = &f;
        std::memcpy(src.user_state, &fp, sizeof fp);
        opened = tvlr_open_read_source(r, &src, nullptr, &o);
    }
    if (opened) {
        tvl::rd::set_caches_enabled(r, caches);
        res.ok = tvlr_read(r);
    }
    if (writer.joinable()) {
        // Drain what the reader left so that the writer thread can finish.
        char sink[4096];
        while (::read(fds[0], sink, sizeof sink) > 0) {
        }
        writer.join();
    }
    if (fds[0] >= 0) ::close(fds[0]);
    res.error = tvlr_reader_get_error(r);
    res.line = tvlr_reader_get_error_line(r);
    res.column = tvlr_reader_get_error_column(r);
    res.offset = tvlr_reader_get_error_offset(r);
    res.byte = tvlr_reader_get_error_byte(r);
    res.recoveries = tvlr_reader_get_recovery_count(r);
    tvlr_reader_destroy(r);
    res.error_calls = rec.error_calls;
    res.nesting_ok = rec.nesting_ok && (res.ok ? rec.open.empty() : true);
    res.trace = rec.out + (res.ok ? " -> ok" : " -> fail " + std::to_string(res.error));
    return res;
}

std::string trace(std::string_view input) {
    return read_trace(input).trace;
}

std::string generated_document(std::mt19937 &rng) {
    static const char *fragments[] = {
        ".a = 1;",
        ".b = -12;",
        ".c = 1.5;",
        ".d = \"str\";",
        ".e = sym;",
        ".f = &.x.y;",
        ".g = [1, 2, 3];",
        ".h = [[1], [2, 3]];",
        ".i = [1, 2] / [3, 4];",
        ".j = { .k = 1; };",
        ".l = <uint:16> 7;",
        ".m = 3 m/s;",
        ".n = \"x\" \"y\";",
        ".o = $nan;",
        ".p = true;",
        " # comment\n",
        "\n",
        "\t",
        ".q = \"\xC3\xA9\xE2\x82\xAC\";",
        ".r = [\"a\", \"b\"];",
        ".s = { .t = [ {.u = 1;}, {.u = 2;} ]; };",
        ".v = ;",
        ".w = [];",
    };
    std::string doc;
    int n = std::uniform_int_distribution<int>(1, 12)(rng);
    for (int i = 0; i < n; ++i)
        doc += fragments[std::uniform_int_distribution<size_t>(0, std::size(fragments) - 1)(rng)];
    int mutations = std::uniform_int_distribution<int>(0, 3)(rng);
    for (int i = 0; i < mutations && !doc.empty(); ++i) {
        size_t pos = std::uniform_int_distribution<size_t>(0, doc.size() - 1)(rng);
        auto byte = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(rng));
        switch (std::uniform_int_distribution<int>(0, 2)(rng)) {
            case 0:
                doc[pos] = byte;
                break;
            case 1:
                doc.insert(pos, 1, byte);
                break;
            default:
                doc.erase(pos, 1);
                break;
        }
    }
    return doc;
}

}  // namespace tvltest
