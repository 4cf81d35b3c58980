#include "corpus_pairs.h"

#include <algorithm>
#include <cstring>
#include <random>

namespace tvlcompare {
namespace {

// Writes one pair member by member: tvlr members each end with ";\n", JSON members are
// separated by ",\n" inside the root object.
class PairWriter {
  public:
    explicit PairWriter(size_t min_bytes) {
        tvlr_.reserve(min_bytes + 4096), json_.reserve(min_bytes + 4096);
    }

    void member(const std::string &name) {
        tvlr_ += '.' + name + " = ";
        json_ += first_ ? "\n" : ",\n";
        json_ += '"' + name + "\": ";
        first_ = false;
    }
    void end_member() { tvlr_ += ";\n"; }
    void both(std::string_view text) {
        tvlr_ += text;
        json_ += text;
    }
    void tvlr_only(std::string_view text) { tvlr_ += text; }
    void json_only(std::string_view text) { json_ += text; }
    size_t size() const { return tvlr_.size(); }

    // The members without the root braces.
    Block block() { return {std::move(tvlr_), std::move(json_)}; }
    Pair pair(std::string name) {
        json_ = '{' + json_ + "\n}\n";
        return {std::move(name), std::move(tvlr_), std::move(json_)};
    }

  private:
    std::string tvlr_, json_;
    bool first_ = true;
};

std::string padded(uint32_t value, int digits) {
    std::string s(static_cast<size_t>(digits), '0');
    for (int i = digits - 1; i >= 0 && value != 0; --i, value /= 10)
        s[static_cast<size_t>(i)] = static_cast<char>('0' + value % 10);
    return s;
}

uint32_t next(std::mt19937 &rng) {
    return static_cast<uint32_t>(rng());
}

// Up to three integer digits and seven fraction digits: -73.5912345.
std::string decimal(std::mt19937 &rng) {
    std::string s = next(rng) & 1 ? "-" : "";
    s += std::to_string(next(rng) % 1000);
    s += '.';
    s += padded(next(rng) % 10000000, 7);
    return s;
}

// 6.02214e23, 1.50000e-7.
std::string scientific(std::mt19937 &rng) {
    std::string s = std::to_string(1 + next(rng) % 9);
    s += '.';
    s += padded(next(rng) % 100000, 5);
    s += 'e';
    if (next(rng) & 1) s += '-';
    s += std::to_string(next(rng) % 300);
    return s;
}

void add_records(PairWriter &w, size_t min_bytes) {
    std::mt19937 rng(42);
    for (size_t i = 0; w.size() < min_bytes; ++i) {
        w.member("rec" + std::to_string(i));
        w.both("{\n");
        w.tvlr_only("    .id = ");
        w.json_only("    \"id\": ");
        w.both(std::to_string(next(rng)));
        w.tvlr_only(";\n    .name = ");
        w.json_only(",\n    \"name\": ");
        w.both("\"user name " + std::to_string(next(rng) % 1000) + " with some text\"");
        w.tvlr_only(";\n    .score = ");
        w.json_only(",\n    \"score\": ");
        w.both(std::to_string(next(rng) % 100000) + "." + std::to_string(next(rng) % 1000));
        w.tvlr_only(";\n    .active = ");
        w.json_only(",\n    \"active\": ");
        w.both(next(rng) & 1 ? "true" : "false");
        w.tvlr_only(";\n    .tags = [alpha, beta, gamma];\n    .point = [");
        w.json_only(",\n    \"tags\": [\"alpha\", \"beta\", \"gamma\"],\n    \"point\": [");
        w.both(std::to_string(next(rng) % 1000) + ", " + std::to_string(next(rng) % 1000) + "]");
        w.tvlr_only(";\n}");
        w.json_only("\n}");
        w.end_member();
    }
}

}  // namespace

Pair records_pair(size_t min_bytes) {
    PairWriter w(min_bytes);
    add_records(w, min_bytes);
    return w.pair("records");
}

Block records_block(size_t min_bytes) {
    PairWriter w(min_bytes);
    add_records(w, min_bytes);
    return w.block();
}

Pair floats_pair(size_t min_bytes) {
    PairWriter w(min_bytes);
    std::mt19937 rng(7);
    for (size_t i = 0; w.size() < min_bytes; ++i) {
        const std::string n = std::to_string(i);
        w.member("path" + n);
        w.both("[");
        for (int k = 0; k < 8; ++k) {
            if (k) w.both(", ");
            w.both('[' + decimal(rng) + ", " + decimal(rng) + ']');
        }
        w.both("]");
        w.end_member();
        w.member("consts" + n);
        w.both("[");
        for (int k = 0; k < 4; ++k) {
            if (k) w.both(", ");
            w.both(scientific(rng));
        }
        w.both("]");
        w.end_member();
    }
    return w.pair("floats");
}

Pair strings_pair(size_t min_bytes) {
    static constexpr std::string_view kWords =
        "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
        "incididunt ut labore et dolore magna aliqua. Ut enim ad minim veniam, quis nostrud "
        "exercitation ullamco laboris nisi ut aliquip ex ea commodo consequat. ";
    // Escapes that both notations write alike.
    static constexpr std::string_view kEscapes[] = {"\\\"", "\\\\", "\\n", "\\t"};
    PairWriter w(min_bytes);
    std::mt19937 rng(11);
    for (size_t i = 0; w.size() < min_bytes; ++i) {
        w.member("text" + std::to_string(i));
        const size_t length = 200 + next(rng) % 1800;
        std::string s = "\"";
        size_t pos = next(rng) % kWords.size();
        while (s.size() < length) {
            const size_t take = std::min<size_t>(kWords.size() - pos, 1 + next(rng) % 300);
            s += kWords.substr(pos, take);
            pos = (pos + take) % kWords.size();
            s += kEscapes[next(rng) % 4];
        }
        s += '"';
        w.both(s);
        w.end_member();
    }
    return w.pair("strings");
}

Pair nested_pair(size_t min_bytes, unsigned depth) {
    PairWriter w(min_bytes);
    for (size_t i = 0; w.size() < min_bytes; ++i) {
        const std::string n = std::to_string(i);
        w.member("tree" + n);
        for (unsigned d = 0; d < depth; ++d) {
            w.tvlr_only("{ .v = " + std::to_string(d) + "; .next = ");
            w.json_only("{ \"v\": " + std::to_string(d) + ", \"next\": ");
        }
        w.both("null");
        for (unsigned d = 0; d < depth; ++d) {
            w.tvlr_only("; }");
            w.json_only(" }");
        }
        w.end_member();
        w.member("grid" + n);
        for (unsigned d = 0; d < depth; ++d) w.both("[");
        w.both(n);
        for (unsigned d = 0; d < depth; ++d) w.both("]");
        w.end_member();
    }
    return w.pair("nested");
}

RepeatedText::RepeatedText(std::string_view head, std::string_view block, std::string_view sep,
                           std::string_view tail, uint64_t count)
    : head_(head), block_(block), sep_(sep), tail_(tail), count_(count) {}

std::string_view RepeatedText::current() const {
    if (piece_ == 0) return head_;
    if (piece_ == 2 * count_) return tail_;
    if (piece_ > 2 * count_) return {};
    return piece_ % 2 == 1 ? block_ : sep_;
}

size_t RepeatedText::read(char *dst, size_t cap) {
    size_t done = 0;
    while (done < cap && piece_ <= 2 * count_) {
        const std::string_view piece = current();
        const size_t take = std::min(cap - done, piece.size() - offset_);
        std::memcpy(dst + done, piece.data() + offset_, take);
        done += take;
        offset_ += take;
        if (offset_ == piece.size()) {
            ++piece_;
            offset_ = 0;
        }
    }
    return done;
}

uint64_t RepeatedText::size() const {
    return head_.size() + count_ * block_.size() + (count_ ? count_ - 1 : 0) * sep_.size() +
           tail_.size();
}

}  // namespace tvlcompare
