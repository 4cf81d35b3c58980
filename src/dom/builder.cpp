// The tree builder.
//
// Rows of a matrix, `[1, 2] / [3, 4]`, arrive as array_start, values, array_end, row_break,
// array_start, values, array_end; they fill one array node whose dims count the rows and whose
// sizes hold each row's own element count. So an array_end does not pop its array at once: the
// array stays on top until the next event shows that no row follows.
#include "dom/builder.h"

#include <cstring>

#include "dom/numbers.h"
#include "dom/tree.h"

namespace tvl::dom {

TreeBuilder::TreeBuilder(tvl_dom_doc *doc) noexcept : doc_(doc) {
    stack_[depth_++] = {nullptr, 0};
}

TreeBuilder::~TreeBuilder() {
    if (stack_ != inline_stack_) mem::release(stack_);
    mem::release(octets_);
    clear_name();
}

bool TreeBuilder::callback(void *builder, uint32_t kind, tvlr_event *e) noexcept {
    return static_cast<TreeBuilder *>(builder)->on_event(kind, *e);
}

bool TreeBuilder::push(tvl_dom_node *node) noexcept {
    if (depth_ == capacity_) {
        if (capacity_ > UINT32_MAX / 2) return false;
        const uint32_t grown = capacity_ * 2;
        auto *p = static_cast<Level *>(mem::allocate(std::size_t{grown} * sizeof(Level)));
        if (p == nullptr) return false;
        std::memcpy(p, stack_, std::size_t{depth_} * sizeof(Level));
        if (stack_ != inline_stack_) mem::release(stack_);
        stack_ = p;
        capacity_ = grown;
    }
    stack_[depth_++] = {node, 0};
    return true;
}

bool TreeBuilder::top_is(uint32_t type) noexcept {
    const tvl_dom_node *n = top().node;
    return n != nullptr && n->type == type;
}

void TreeBuilder::settle_close() noexcept {
    if (!close_pending_) return;
    close_pending_ = false;
    if (top_is(TVL_DOM_ARRAY)) --depth_;
}

void TreeBuilder::close_open_rows() noexcept {
    for (uint32_t i = 1; i < depth_; ++i) {
        tvl_dom_node *a = stack_[i].node;
        if (a->type == TVL_DOM_ARRAY && a->dims >= 1 && a->dims <= TVL_DOM_MAX_DIMS)
            a->sizes[a->dims - 1] = a->item_count - stack_[i].row_start;
    }
}

bool TreeBuilder::add(tvl_dom_node *node) noexcept {
    tvl_dom_node *parent = top().node;
    if (parent == nullptr) {
        // A failed entry has freed the name it took.
        const bool ok = append_entry(doc_->entries, doc_->count, doc_->capacity, take_name(), node);
        if (!ok) clear_name();
        return ok;
    }
    if (parent->type == TVL_DOM_STRUCT) {
        const bool ok = append_entry(parent->entries, parent->entry_count, parent->entry_capacity,
                                     take_name(), node);
        clear_name();
        return ok;
    }
    return append_item(parent, node);
}

bool TreeBuilder::open_container(uint32_t type, const tvlr_event &e) noexcept {
    tvl_dom_node *n = make_node(type, {e.value_type, e.bits, e.base}, e.unit);
    if (n == nullptr || !add(n)) return false;
    clear_name();
    if (type == TVL_DOM_ARRAY) n->dims = 1;
    // The node already belongs to the tree; a failed push stops the read with it in place.
    return push(n);
}

// The name is copied once, into the block that its entry keeps.
bool TreeBuilder::set_name(const tvlr_event &e) noexcept {
    if (e.text == nullptr || e.text_len == 0) return true;
    clear_name();
    name_ = copy_bytes(e.text, e.text_len);
    if (name_ == nullptr) return false;
    name_len_ = e.text_len;
    name_owned_ = true;
    return true;
}

void TreeBuilder::clear_name() noexcept {
    if (name_owned_) mem::release(name_);
    name_ = nullptr;
    name_len_ = 0;
    name_owned_ = false;
}

// The pending name for a new entry (null when memory is short). A taken name stays readable for
// a further entry under the same name, which gets a copy: an entry that was added lives until
// the read ends.
char *TreeBuilder::take_name() noexcept {
    if (name_owned_) {
        name_owned_ = false;
        return name_;
    }
    return copy_bytes(name_ != nullptr ? name_ : "", name_len_);
}

bool TreeBuilder::collect_octets(const tvlr_event &e) noexcept {
    if (e.value_kind != TVL_VK_OCTETS || e.text == nullptr || e.text_len == 0) return true;
    const uint64_t needed = octets_len_ + e.text_len;
    if (needed > kMaxOctetStream) return false;
    if (needed > octets_cap_) {
        uint64_t cap = octets_cap_ == 0 ? 256 : octets_cap_;
        while (cap < needed) cap *= 2;
        void *p = mem::reallocate(octets_, cap);
        if (p == nullptr) return false;
        octets_ = static_cast<char *>(p);
        octets_cap_ = cap;
    }
    std::memcpy(octets_ + octets_len_, e.text, e.text_len);
    octets_len_ = needed;
    return true;
}

// The collected bytes go to the node as they are, without a copy: the buffer is handed over
// (trimmed to its length when that works) and the next stream starts a new one.
bool TreeBuilder::finish_octets() noexcept {
    in_octets_ = false;
    const tvlr_event &s = octets_start_;
    tvl_dom_node *n = make_node(TVL_DOM_OCTETS, {s.value_type, s.bits, s.base}, s.unit);
    if (n == nullptr) return false;
    if (octets_len_ != 0) {
        if (octets_len_ < octets_cap_) {
            if (void *p = mem::reallocate(octets_, octets_len_)) octets_ = static_cast<char *>(p);
        }
        n->value.bytes = octets_;
        n->length = static_cast<uint32_t>(octets_len_);
        octets_ = nullptr;
        octets_cap_ = 0;
    }
    octets_len_ = 0;
    return add(n);
}

bool TreeBuilder::add_value(const tvlr_event &e) noexcept {
    const tvl_type_annotation a{e.value_type, e.bits, e.base};
    uint32_t type = TVL_DOM_NULL;
    switch (e.value_kind) {
        case TVL_VK_STRING:
        case TVL_VK_ARRAY_STRING:
            type = TVL_DOM_STRING;
            break;
        case TVL_VK_SYMBOL:
            type = TVL_DOM_SYMBOL;
            break;
        case TVL_VK_REFERENCE:
            type = TVL_DOM_REFERENCE;
            break;
        case TVL_VK_BOOL:
            type = TVL_DOM_BOOL;
            break;
        case TVL_VK_OCTETS:
            // Octet blocks belong inside an octet stream.
            return false;
        case TVL_VK_NUMBER:
        case TVL_VK_ARRAY_NUMBER: {
            tvl_dom_node *n = nullptr;
            switch (make_number_node(e, &n)) {
                case NumberResult::made:
                    return add(n);
                case NumberResult::out_of_range:
                    if (error_ == 0) error_ = TVL_ERR_VALUE_OUT_OF_RANGE;
                    return false;
                case NumberResult::no_memory:
                    return false;
            }
            return false;
        }
        default:
            break;
    }
    tvl_dom_node *n = holds_bytes(type) ? make_bytes_node(type, a, e.unit, e.text, e.text_len)
                                        : make_node(type, a, e.unit);
    if (n == nullptr) return false;
    if (type == TVL_DOM_BOOL) {
        n->value.i64 = e.text_len == 4 && e.text != nullptr && std::memcmp(e.text, "true", 4) == 0;
    }
    return add(n);
}

bool TreeBuilder::on_event(uint32_t kind, const tvlr_event &e) noexcept {
    // Inside an octet stream only its blocks and its end count.
    if (in_octets_) {
        if (kind == TVLR_EV_VALUE) return collect_octets(e);
        if (kind == TVLR_EV_OCTETS_END) return finish_octets();
        return true;
    }
    switch (kind) {
        case TVLR_EV_MEMBER_NAME:
            settle_close();
            // A member starts only where members live: never with an array still open.
            if (top_is(TVL_DOM_ARRAY)) return false;
            return set_name(e);
        case TVLR_EV_OCTETS_START:
            settle_close();
            in_octets_ = true;
            octets_len_ = 0;
            octets_start_ = e;
            octets_start_.text = nullptr;
            octets_start_.text_len = 0;
            return true;
        case TVLR_EV_STRUCT_START:
            settle_close();
            return open_container(TVL_DOM_STRUCT, e);
        case TVLR_EV_STRUCT_END:
            settle_close();
            if (!top_is(TVL_DOM_STRUCT)) return false;
            --depth_;
            return true;
        case TVLR_EV_ARRAY_START:
            if (row_pending_) {
                row_pending_ = false;
                if (!top_is(TVL_DOM_ARRAY)) return false;
                top().row_start = top().node->item_count;
                return true;
            }
            settle_close();
            return open_container(TVL_DOM_ARRAY, e);
        case TVLR_EV_ARRAY_END: {
            settle_close();
            if (!top_is(TVL_DOM_ARRAY)) return false;
            tvl_dom_node *a = top().node;
            if (a->dims >= 1 && a->dims <= TVL_DOM_MAX_DIMS)
                a->sizes[a->dims - 1] = a->item_count - top().row_start;
            close_pending_ = true;
            return true;
        }
        case TVLR_EV_ROW_BREAK: {
            close_pending_ = false;
            if (!top_is(TVL_DOM_ARRAY)) return false;
            row_pending_ = true;
            tvl_dom_node *a = top().node;
            if (a->dims < TVL_DOM_MAX_DIMS) ++a->dims;
            return true;
        }
        case TVLR_EV_VALUE:
            settle_close();
            return add_value(e);
        case TVLR_EV_OCTETS_END:
            // An end without a start.
            return false;
        default:
            // Document start and end, annotation runs: the value events carry their results.
            return true;
    }
}

}  // namespace tvl::dom
