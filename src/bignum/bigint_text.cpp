// Big integers as digit text in bases 2..62, 64 and 85.
//
// Both directions work a machine word at a time: reading folds as many digits as fit a
// 32-bit limb into one multiply-and-add pass, writing divides by the largest power of the
// base that fits a limb and splits each remainder into its digits (power-of-two bases read
// the digits straight from the bits). The results are those of one pass per digit.
#include <array>
#include <cstring>
#include <utility>

#include "bignum/bigint.h"
#include "bignum/digits.h"

namespace {

using tvl::ConstLimbSpan;
using tvl::Limb;

// The largest power of a base that fits a limb, and how many digits it spans.
struct DigitChunk {
    std::uint32_t digits;
    Limb power;
};

constexpr std::array<DigitChunk, 86> make_chunks() {
    std::array<DigitChunk, 86> t{};
    t[0] = t[1] = {1, 1};  // not bases; a nonzero power keeps the divider table well-formed
    for (std::uint32_t base = 2; base < t.size(); ++base) {
        std::uint64_t power = base;
        std::uint32_t digits = 1;
        while (power * base <= 0xFFFFFFFFu) {
            power *= base;
            ++digits;
        }
        t[base] = {digits, static_cast<Limb>(power)};
    }
    return t;
}

constexpr std::array<DigitChunk, 86> kChunks = make_chunks();
static_assert(kChunks[10].digits == 9 && kChunks[10].power == 1000000000u);
static_assert(kChunks[85].digits == 4 && kChunks[85].power == 52200625u);

// Short division passes are fused: one sweep over the limbs divides by the chunk power
// kFusedPasses times in a row, each stage feeding its quotient limb to the next, so the
// stages' remainder chains run side by side instead of one sweep after another.
constexpr int kFusedPasses = 4;
using ChunkRemainders = std::array<Limb, kFusedPasses>;

// a := a / D^kFusedPasses; rem[j] receives the remainder of stage j (rem[0] is the lowest
// chunk). D is a compile-time constant, so the compiler divides by multiplying with its
// reciprocal.
template <Limb D>
void divide_fused(tvl::LimbSpan a, ChunkRemainders &rem) {
    std::uint64_t r[kFusedPasses] = {};
    for (std::size_t i = a.size(); i-- > 0;) {
        std::uint64_t x = a[i];
        for (int j = 0; j < kFusedPasses; ++j) {
            const std::uint64_t cur = (r[j] << 32) | x;
            x = cur / D;
            r[j] = cur % D;
        }
        a[i] = static_cast<Limb>(x);
    }
    for (int j = 0; j < kFusedPasses; ++j) rem[j] = static_cast<Limb>(r[j]);
}

using ChunkDivider = void (*)(tvl::LimbSpan, ChunkRemainders &);

template <std::size_t... B>
constexpr std::array<ChunkDivider, sizeof...(B)> make_dividers(std::index_sequence<B...>) {
    return {{&divide_fused<kChunks[B].power>...}};
}

// The fused divider by the chunk power of each base.
constexpr std::array<ChunkDivider, 86> kDividers = make_dividers(std::make_index_sequence<86>());

// log2 of a power-of-two base, else 0.
constexpr std::uint32_t pow2_shift(std::uint32_t base) {
    return (base & (base - 1)) == 0 ? tvl::limb_bit_length(base) - 1 : 0;
}

// n := n * m + add, growing by one limb when the product carries out.
bool mul_add(tvl_int *n, Limb m, Limb add) {
    if (n->length == 0 && add == 0) return true;  // leading zero digits allocate nothing
    const Limb carry = tvl::mul_add_small(tvl::limbs_of(n), m, add);
    if (carry != 0) {
        if (!tvl::reserve(n, n->length + 1)) return false;
        n->limbs[n->length++] = carry;
    }
    return true;
}

// Digits written least significant first into buf[pos..], always leaving room for the NUL.
class DigitWriter {
  public:
    DigitWriter(char *buf, std::size_t size, std::size_t pos) : buf_(buf), size_(size), pos_(pos) {}

    bool put(char c) {
        if (size_ - pos_ < 2) return false;
        buf_[pos_++] = c;
        return true;
    }
    std::size_t pos() const { return pos_; }
    char last() const { return buf_[pos_ - 1]; }

  private:
    char *buf_;
    std::size_t size_;
    std::size_t pos_;
};

bool write_pow2_digits(ConstLimbSpan mag, std::uint32_t base, DigitWriter &out) {
    const std::uint32_t shift = pow2_shift(base);
    const std::uint32_t total = tvl::bit_length(mag);
    const Limb mask = base - 1;
    for (std::uint32_t bit = 0; bit < total; bit += shift) {
        const std::uint32_t word = bit / tvl::kLimbBits;
        const std::uint32_t off = bit % tvl::kLimbBits;
        std::uint64_t window = mag[word];
        if (word + 1 < mag.size()) window |= std::uint64_t{mag[word + 1]} << 32;
        const auto digit = static_cast<Limb>(window >> off) & mask;
        if (!out.put(tvl::digits::digit_char(digit, base))) return false;
    }
    return true;
}

// Writes the chunk's digits, least significant first: all chunk.digits of them (zeros
// included) for an inner chunk, only up to its leading nonzero digit for the top one.
bool put_chunk(Limb rem, std::uint32_t base, const DigitChunk &chunk, bool top, DigitWriter &out) {
    for (std::uint32_t i = 0; top ? rem != 0 : i < chunk.digits; ++i) {
        if (!out.put(tvl::digits::digit_char(rem % base, base))) return false;
        rem /= base;
    }
    return true;
}

bool write_chunked_digits(ConstLimbSpan mag, std::uint32_t base, DigitWriter &out) {
    tvl::ScratchLimbs work;
    if (!work.reserve_zeroed(mag.size())) return false;
    std::memcpy(work.data(), mag.data(), mag.size_bytes());
    std::size_t len = mag.size();
    const DigitChunk chunk = kChunks[base];
    ChunkRemainders rem{};
    while (len > 0) {
        kDividers[base](tvl::LimbSpan(work.data(), len), rem);
        while (len > 0 && work.data()[len - 1] == 0) --len;
        // Once the quotient is zero, the highest nonzero remainder is the top chunk.
        int count = kFusedPasses;
        if (len == 0) {
            while (count > 0 && rem[count - 1] == 0) --count;
        }
        for (int j = 0; j < count; ++j) {
            if (!put_chunk(rem[j], base, chunk, len == 0 && j == count - 1, out)) return false;
        }
    }
    return true;
}

}  // namespace

extern "C" {

bool tvl_int_from_str(tvl_int *n, const char *text, uint32_t base) {
    if (!tvl::usable(n) || text == nullptr || !tvl::digits::is_valid_base(base)) return false;
    const char *p = text;
    const bool negative = *p == '-';
    if (tvl::digits::is_sign_char(*p)) ++p;
    if (*p == '\0') return false;

    n->length = 0;
    n->negative = 0;
    const tvl::digits::ReadTable &table = tvl::digits::read_table(base);
    std::uint64_t power = 1;
    Limb chunk = 0;
    for (; *p != '\0'; ++p) {
        const std::uint32_t d = table[static_cast<unsigned char>(*p)];
        if (d >= base) return false;
        chunk = chunk * base + d;
        power *= base;
        if (power * base > 0xFFFFFFFFu) {
            if (!mul_add(n, static_cast<Limb>(power), chunk)) return false;
            power = 1;
            chunk = 0;
        }
    }
    if (power > 1 && !mul_add(n, static_cast<Limb>(power), chunk)) return false;
    n->negative = negative && n->length != 0 ? 1 : 0;
    return true;
}

int tvl_int_to_str(const tvl_int *n, char *buf, size_t size, uint32_t base) {
    if (buf == nullptr || size <= 1 || !tvl::usable(n) || !tvl::digits::is_valid_base(base)) {
        return -1;
    }
    const ConstLimbSpan mag = tvl::magnitude(n);
    const bool negative = n->negative != 0 && !mag.empty();
    std::size_t start = 0;
    if (negative) buf[start++] = '-';

    DigitWriter out(buf, size, start);
    bool ok;
    if (mag.empty()) {
        ok = out.put(tvl::digits::zero_char(base));
    } else if (pow2_shift(base) != 0) {
        ok = write_pow2_digits(mag, base, out);
    } else {
        ok = write_chunked_digits(mag, base, out);
    }
    // In bases 64 and 85 '+' and '-' are digits, but a text that begins with one reads it as
    // a sign. A leading zero digit keeps such a value readable; a negative value's own '-'
    // already comes first, so its digits read back as they are.
    if (ok && !negative && !mag.empty() && tvl::digits::is_sign_char(out.last())) {
        ok = out.put(tvl::digits::zero_char(base));
    }
    if (!ok) return -1;

    const std::size_t end = out.pos();
    for (std::size_t i = start, j = end; i + 1 < j; ++i, --j) {
        const char t = buf[i];
        buf[i] = buf[j - 1];
        buf[j - 1] = t;
    }
    buf[end] = '\0';
    return static_cast<int>(end);
}

size_t tvl_int_str_bufsize(uint32_t bits, uint32_t base) {
    if (bits == 0 || base < 2) return 4;
    std::uint64_t per_digit;
    if (base < 4) {
        per_digit = 1;
    } else if (base < 8) {
        per_digit = 2;
    } else if (base < 16) {
        per_digit = 3;
    } else if (base < 32) {
        per_digit = 4;
    } else if (base < 64) {
        per_digit = 5;
    } else {
        per_digit = 6;
    }
    const std::uint64_t digits = (std::uint64_t{bits} + per_digit - 1) / per_digit;
    return static_cast<size_t>(digits + 2);
}

}  // extern "C"
