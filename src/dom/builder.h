// The tree builder: turns a reader's events into the nodes of a document, as the reader's
// second event callback. Every container is attached to its parent when it starts, so a read
// that fails leaves a tree of everything read before the failure.
#pragma once

#include <cstdint>

#include "base/alloc.h"
#include "tvlr.h"

namespace tvl::dom {

// Most bytes that one embedded octet stream may hold in a tree.
inline constexpr uint64_t kMaxOctetStream = uint64_t{1} << 28;

class TreeBuilder {
  public:
    // Fills doc, which the caller keeps owning.
    explicit TreeBuilder(tvl_dom_doc *doc) noexcept;
    ~TreeBuilder();
    TreeBuilder(const TreeBuilder &) = delete;
    TreeBuilder &operator=(const TreeBuilder &) = delete;

    // Handles one event; false stops the read: memory is short, a number does not convert, an
    // octet stream is too long, or the events are not well nested.
    bool on_event(uint32_t kind, const tvlr_event &e) noexcept;

    // The shape of tvlr_event_fn, with the builder as user pointer.
    static bool callback(void *builder, uint32_t kind, tvlr_event *e) noexcept;

    // After a read that stopped early: every array still open gets the length of its current
    // row, so that its sizes account for every element the tree holds.
    void close_open_rows() noexcept;

    // TVL_ERR_VALUE_OUT_OF_RANGE after a number that did not convert, else 0.
    uint32_t error() const noexcept { return error_; }

  private:
    struct Level {
        tvl_dom_node *node;  // null for the document itself
        uint32_t row_start;  // arrays: element count where the current row began
    };

    bool push(tvl_dom_node *node) noexcept;
    Level &top() noexcept { return stack_[depth_ - 1]; }
    bool top_is(uint32_t type) noexcept;
    void settle_close() noexcept;
    bool add(tvl_dom_node *node) noexcept;
    bool open_container(uint32_t type, const tvlr_event &e) noexcept;
    bool set_name(const tvlr_event &e) noexcept;
    void clear_name() noexcept;
    char *take_name() noexcept;
    bool collect_octets(const tvlr_event &e) noexcept;
    bool finish_octets() noexcept;
    bool add_value(const tvlr_event &e) noexcept;

    tvl_dom_doc *doc_;
    uint32_t error_ = 0;

    // Open containers, the document at the bottom: inline for the usual depths, on the heap
    // (doubling) beyond.
    static constexpr uint32_t kInlineLevels = 16;
    Level inline_stack_[kInlineLevels];
    Level *stack_ = inline_stack_;
    uint32_t depth_ = 0;
    uint32_t capacity_ = kInlineLevels;

    // The last member name: a block from copy_bytes that the next entry takes over (name_owned_),
    // or, once taken, that entry's name, copied should a further entry need it; null when empty.
    char *name_ = nullptr;
    uint32_t name_len_ = 0;
    bool name_owned_ = false;

    bool close_pending_ = false;  // an array ended; it stays on top until no row follows
    bool row_pending_ = false;    // a row break: the next array_start opens a row

    // The octet stream being collected, with the annotation and unit of its start.
    bool in_octets_ = false;
    char *octets_ = nullptr;
    uint64_t octets_len_ = 0;
    uint64_t octets_cap_ = 0;
    tvlr_event octets_start_{};
};

}  // namespace tvl::dom
