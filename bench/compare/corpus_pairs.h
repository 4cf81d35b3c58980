// Pairs of documents with the same content: tvlr text and the equivalent JSON, generated side
// by side from fixed seeds. A tvlr member `.name = value;` is the JSON member "name": value of
// the root object; symbols become JSON strings; null and the booleans stay what they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tvlcompare {

struct Pair {
    std::string name;
    std::string tvlr;
    std::string json;
};

// Records as in the reader benchmark (an id, a name, a decimal score, a boolean, an array of
// symbols and an array of two integers), one struct per member.
Pair records_pair(size_t min_bytes);
// Arrays of decimals: pairs of coordinates with seven fraction digits and numbers with
// exponents.
Pair floats_pair(size_t min_bytes);
// Strings of 200 to 2000 bytes with an escaped quote, backslash or line feed now and then.
Pair strings_pair(size_t min_bytes);
// Structs nested `depth` levels deep, each level with one integer, then arrays nested `depth`
// levels deep.
Pair nested_pair(size_t min_bytes, unsigned depth);

// The members of records_pair without the JSON root braces: the block that a long stream
// repeats.
struct Block {
    std::string tvlr;
    std::string json_members;
};
Block records_block(size_t min_bytes);

// Text produced piece by piece without holding it whole: head, then `count` copies of block
// separated by sep, then tail.
class RepeatedText {
  public:
    RepeatedText(std::string_view head, std::string_view block, std::string_view sep,
                 std::string_view tail, uint64_t count);
    // Copies up to cap of the next bytes to dst; 0 at the end.
    size_t read(char *dst, size_t cap);
    uint64_t size() const;

  private:
    std::string_view current() const;
    std::string_view head_, block_, sep_, tail_;
    uint64_t count_;
    uint64_t piece_ = 0;  // 0 head, 2k+1 block k, 2k+2 separator after block k, 2 count tail
    size_t offset_ = 0;
};

}  // namespace tvlcompare
