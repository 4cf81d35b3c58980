// libFuzzer target: big float text. The first byte picks base 10 or 16, the next two a precision
// (1..1024 bits); the rest up to a NUL is the text. Checked:
//  - a text that reads at that precision is written by tvl_float_to_str and read back to the
//    same float, and the written text is a fixed point;
//  - tvl_float_strtod (base 10) and the IEEE encodings of tvl_float_strtoieee_bin for binary64
//    and binary32 agree with std::from_chars wherever that reads the whole text (base 10: general
//    format; base 16: hexadecimal without prefix).
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "tvlr.h"

namespace {

struct FloatFree {
    void operator()(tvl_float *f) const { tvl_float_free(f); }
};
using Float = std::unique_ptr<tvl_float, FloatFree>;

[[noreturn]] void fail(const char *what, const std::string &text, uint32_t base, uint32_t prec,
                       const std::string &out = "") {
    std::fprintf(stderr, "%s: \"%s\" base %u precision %u -> \"%s\"\n", what, text.c_str(), base,
                 prec, out.c_str());
    std::abort();
}

bool same(const tvl_float *a, const tvl_float *b) {
    if (a->precision != b->precision || a->exponent != b->exponent) return false;
    if (a->exponent == TVL_FLOAT_EXP_NAN) return true;
    if (a->sign != b->sign) return false;
    if (a->exponent == TVL_FLOAT_EXP_ZERO || a->exponent == TVL_FLOAT_EXP_INF) return true;
    return std::memcmp(a->words, b->words, (a->precision + 63) / 64 * sizeof(uint64_t)) == 0;
}

std::string to_str(const tvl_float *f, uint32_t base) {
    std::vector<char> buf(tvl_float_str_bufsize(f->precision, base));
    const int n = tvl_float_to_str(f, buf.data(), buf.size(), base);
    return n < 0 ? std::string() : std::string(buf.data(), static_cast<size_t>(n));
}

// The float of `text` at prec, written and read back.
void check_round_trip(const std::string &text, uint32_t base, uint32_t prec) {
    Float f(tvl_float_alloc(prec)), g(tvl_float_alloc(prec));
    if (!f || !g) std::abort();
    if (!tvl_float_from_str(f.get(), text.c_str(), base)) return;
    const std::string out = to_str(f.get(), base);
    if (out.empty()) {
        if (base == 10 && tvl_float_is_regular(f.get())) return;  // decimal exponent beyond 10^9
        fail("float does not print", text, base, prec);
    }
    if (!tvl_float_from_str(g.get(), out.c_str(), base) || !same(f.get(), g.get()))
        fail("printed float reads back differently", text, base, prec, out);
    if (to_str(g.get(), base) != out) fail("printed text is no fixed point", text, base, prec, out);
}

// std::from_chars reading the whole text. Its hexadecimal reader also takes two signs after
// 'p' ("1p+-4" as 1p-4), a malformed exponent here, so such texts are not compared.
template <class T>
bool from_chars_whole(const std::string &t, std::chars_format fmt, T &out) {
    for (size_t i = 0; i + 2 < t.size(); ++i)
        if ((t[i] == 'p' || t[i] == 'P') && (t[i + 1] == '+' || t[i + 1] == '-') &&
            (t[i + 2] == '+' || t[i + 2] == '-'))
            return false;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), out, fmt);
    return r.ec == std::errc() && r.ptr == t.data() + t.size();
}

template <class T, class Bits>
void check_encoding(const std::string &text, uint32_t base, uint32_t e, uint32_t m, int32_t bias) {
    T ref{};
    if (!from_chars_whole(text, base == 10 ? std::chars_format::general : std::chars_format::hex,
                          ref))
        return;
    uint32_t words[2] = {0, 0};
    tvl_float_strtoieee_bin(text.c_str(), base, e, m, bias, words, 2);
    Bits got = 0, want = 0;
    std::memcpy(&got, words, sizeof got);  // little-endian words, as the layout puts them
    std::memcpy(&want, &ref, sizeof want);
    if (std::isnan(ref)) {
        const Bits exp_mask = static_cast<Bits>(((Bits{1} << e) - 1) << m);
        if ((got & exp_mask) != exp_mask || (got & ((Bits{1} << m) - 1)) == 0)
            fail("not NaN like std::from_chars", text, base, m + 1);
    } else if (got != want) {
        fail("encoding differs from std::from_chars", text, base, m + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 3 || size > 4096) return 0;
    const uint32_t base = (data[0] & 1) ? 16 : 10;
    const uint32_t prec = 1 + (static_cast<uint32_t>(data[1]) << 8 | data[2]) % 1024u;
    const std::string text(reinterpret_cast<const char *>(data) + 3,
                           strnlen(reinterpret_cast<const char *>(data) + 3, size - 3));
    check_round_trip(text, base, prec);
    check_encoding<double, uint64_t>(text, base, 11, 52, 1023);
    check_encoding<float, uint32_t>(text, base, 8, 23, 127);
    if (base == 10) {
        // tvl_float_strtod agrees with std::from_chars and with the binary64 encoding; read at
        // 53 bits and then narrowed it is the same double wherever no second rounding into the
        // subnormal range can intervene.
        const double d = tvl_float_strtod(text.c_str());
        double ref = 0;
        if (from_chars_whole(text, std::chars_format::general, ref) &&
            !(std::isnan(d) && std::isnan(ref)) && std::memcmp(&d, &ref, sizeof d) != 0)
            fail("tvl_float_strtod differs from std::from_chars", text, 10, 53);
        Float f(tvl_float_alloc(53));
        if (!f) std::abort();
        double via = 0;
        if (tvl_float_from_str(f.get(), text.c_str(), 10) && std::fabs(d) >= DBL_MIN) {
            if (!tvl_float_to_double(f.get(), &via)) std::abort();
            if (!(std::isnan(d) && std::isnan(via)) && std::memcmp(&d, &via, sizeof d) != 0)
                fail("tvl_float_strtod differs from the 53-bit float", text, 10, 53);
        }
    }
    return 0;
}
