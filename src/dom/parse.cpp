// Reading a document into a tree: one reader over the bytes with the tree builder as its second
// event callback, and the reading of a descriptor into one growing buffer.
#include <unistd.h>

#include <cerrno>

#include "base/alloc.h"
#include "core/limits.h"
#include "dom/builder.h"

namespace tvl::dom {
namespace {

constexpr uint64_t kMaxFdBytes = uint64_t{1} << 28;
constexpr std::size_t kFirstFdBuffer = 65536;

class ReaderHolder {
  public:
    ReaderHolder() : reader_(tvlr_reader_create()) {}
    ~ReaderHolder() { tvlr_reader_destroy(reader_); }
    ReaderHolder(const ReaderHolder &) = delete;
    ReaderHolder &operator=(const ReaderHolder &) = delete;
    tvlr_reader *get() const { return reader_; }

  private:
    tvlr_reader *reader_;
};

// Reads the whole descriptor into *data (a block from the seam) within the limit; false on a
// read failure, input beyond the limit, or short memory.
bool read_all(int fd, uint64_t limit, char *&data, std::size_t &size) {
    std::size_t cap = kFirstFdBuffer;
    auto *buf = static_cast<char *>(mem::allocate(cap));
    if (buf == nullptr) return false;
    std::size_t len = 0;
    for (;;) {
        const ssize_t got = ::read(fd, buf + len, cap - len);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) break;
        if (got == 0) {
            data = buf;
            size = len;
            return true;
        }
        len += static_cast<std::size_t>(got);
        if (len > limit) break;
        if (len == cap) {
            // Room for one byte beyond the limit is enough to see that the input is too long.
            std::size_t grown = cap * 2;
            if (grown > limit + 1) grown = static_cast<std::size_t>(limit + 1);
            if (grown <= cap) break;
            void *p = mem::reallocate(buf, grown);
            if (p == nullptr) break;
            buf = static_cast<char *>(p);
            cap = grown;
        }
    }
    mem::release(buf);
    return false;
}

}  // namespace
}  // namespace tvl::dom

using namespace tvl;

extern "C" {

tvl_dom_doc *tvl_dom_parse(const void *data, uint32_t length) {
    tvl_dom_doc *doc = tvl_dom_doc_create();
    if (doc == nullptr) return nullptr;
    bool ok = false;
    {
        dom::TreeBuilder builder(doc);
        dom::ReaderHolder reader;
        tvlr_reader_options o{};
        o.max_file_bytes = UINT32_MAX;
        o.max_struct_depth = kDepthLimitMax;
        o.max_array_depth = kDepthLimitMax;
        o.user_data = &builder;
        o.on_event_after = &dom::TreeBuilder::callback;
        if (reader.get() != nullptr &&
            tvlr_open_read_mem(reader.get(), data, length, nullptr, 0, &o)) {
            ok = true;
            if (!tvlr_read(reader.get())) {
                builder.close_open_rows();
                uint32_t code = tvlr_reader_get_error(reader.get());
                if (code == TVL_ERR_SCANNER_CALLBACK_FAILED && builder.error() != 0)
                    code = builder.error();
                // A read that fails always leaves a code behind.
                if (code == 0) code = TVL_ERR_SCANNER_CALLBACK_FAILED;
                doc->parse_error = code;
            }
        }
    }
    if (!ok) {
        tvl_dom_doc_destroy(doc);
        return nullptr;
    }
    return doc;
}

tvl_dom_doc *tvl_dom_parse_fd_ex(int32_t fd, uint64_t max) {
    const uint64_t limit = max >= 1 && max <= dom::kMaxFdBytes ? max : dom::kMaxFdBytes;
    char *data = nullptr;
    std::size_t size = 0;
    if (!dom::read_all(fd, limit, data, size)) return nullptr;
    tvl_dom_doc *doc = tvl_dom_parse(data, static_cast<uint32_t>(size));
    mem::release(data);
    return doc;
}

tvl_dom_doc *tvl_dom_parse_fd(int32_t fd) {
    return tvl_dom_parse_fd_ex(fd, dom::kMaxFdBytes);
}

}  // extern "C"
