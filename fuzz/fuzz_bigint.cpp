// libFuzzer target: big integer text. The first byte picks a base (2..62, 64, 85), the second a
// second base; the rest up to a NUL is the text. A text that reads as a big integer is written
// in both bases (within tvl_int_str_bufsize) and read back to the same value, the text in its own
// base is a fixed point, and in bases up to 36 a value of 64 bits agrees with tvl_parse_int64.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tvlr.h"

namespace {

constexpr uint32_t base_at(uint32_t i) {
    return i < 61 ? 2 + i : (i == 61 ? 64 : 85);
}

struct IntFree {
    void operator()(tvl_int *n) const { tvl_int_free(n); }
};
using Int = std::unique_ptr<tvl_int, IntFree>;

[[noreturn]] void fail(const char *what, const std::string &text, uint32_t base, const char *out) {
    std::fprintf(stderr, "%s: \"%s\" base %u -> \"%s\"\n", what, text.c_str(), base, out);
    std::abort();
}

// n in base, read back; returns the text.
std::string round_trip(const tvl_int *n, uint32_t base, const std::string &text) {
    const size_t cap = tvl_int_str_bufsize(tvl_int_bitlen(n), base);
    std::vector<char> buf(cap);
    const int len = tvl_int_to_str(n, buf.data(), buf.size(), base);
    if (len < 0) fail("does not fit tvl_int_str_bufsize", text, base, "");
    Int back(tvl_int_alloc());
    if (!back) std::abort();
    if (!tvl_int_from_str(back.get(), buf.data(), base) || tvl_int_cmp(back.get(), n) != 0 ||
        back->negative != n->negative)
        fail("text reads back differently", text, base, buf.data());
    return std::string(buf.data(), static_cast<size_t>(len));
}

bool plain_c_digits(const std::string &t, uint32_t base) {
    size_t i = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
    if (i == t.size()) return false;
    for (; i < t.size(); ++i)
        if (tvl_char_to_digit(static_cast<uint8_t>(t[i]), base) >= base) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2 || size > 4096) return 0;
    const uint32_t base = base_at(data[0] % 63u), other = base_at(data[1] % 63u);
    const std::string text(reinterpret_cast<const char *>(data) + 2,
                           strnlen(reinterpret_cast<const char *>(data) + 2, size - 2));
    Int n(tvl_int_alloc());
    if (!n) std::abort();
    if (!tvl_int_from_str(n.get(), text.c_str(), base)) return 0;
    if (n->length > 0 && n->limbs[n->length - 1] == 0) fail("not in normal form", text, base, "");
    const std::string own = round_trip(n.get(), base, text);
    round_trip(n.get(), other, text);
    Int again(tvl_int_alloc());
    if (!again || !tvl_int_from_str(again.get(), own.c_str(), base)) std::abort();
    if (round_trip(again.get(), base, text) != own)
        fail("text is no fixed point", text, base, own.c_str());
    int64_t big = 0, small = 0;
    if (base <= 36 && plain_c_digits(text, base) && tvl_int_to_int64(n.get(), &big)) {
        if (!tvl_parse_int64(text.c_str(), {TVLR_TYPE_SINT, 0, base}, &small) || small != big)
            fail("differs from tvl_parse_int64", text, base, own.c_str());
    }
    return 0;
}
