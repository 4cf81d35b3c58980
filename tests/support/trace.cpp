#include "support/trace.h"

#include <unistd.h>

#include <cstring>
#include <random>
#include <thread>

#include "reader/reader_impl.h"

namespace tvltest {
namespace {

struct Recorder {
    EventTrace trace;
    uint64_t error_calls = 0;
    std::vector<char> open;  // '{' and '[' currently open
    bool nesting_ok = true;
};

bool on_event(void *user, uint32_t kind, tvlr_event *e) {
    auto *rec = static_cast<Recorder *>(user);
    rec->trace.event(kind, *e);
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
    rec->trace.error(code, line, column, offset);
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
    res.trace = rec.trace.finish(res.ok, res.error);
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
