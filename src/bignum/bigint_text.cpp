// Big integers as digit text in bases 2..62, 64 and 85.
//
// Power-of-two bases move bits directly in both directions. Other bases read on 64-bit
// words: as many digits as fit a word make one chunk, and several chunks are folded in per
// sweep over the words (each fused stage multiplies by the chunk power and adds its chunk).
// Base 10 writes by divide and conquer: the value is split by powers 10^(19 * 2^k) down to
// pieces of a few words, which are cut into chunks of 19 digits by division with a
// precomputed reciprocal. The remaining bases write by short division over 32-bit limbs by
// the largest power of the base that fits a limb. The results are those of one pass per
// digit.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

#include "base/alloc.h"
#include "bignum/bigint.h"
#include "bignum/digits.h"

namespace {

using tvl::ConstLimbSpan;
using tvl::Limb;
using tvl::WideWord;
using tvl::Word;

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

// ---------------------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------------------

// The largest power of a base that fits a 64-bit word, and how many digits it spans.
struct WordChunk {
    std::uint32_t digits;
    Word power;
};

constexpr std::array<WordChunk, 86> make_word_chunks() {
    std::array<WordChunk, 86> t{};
    for (std::uint32_t base = 2; base < t.size(); ++base) {
        Word power = base;
        std::uint32_t digits = 1;
        while (power <= ~Word{0} / base) {
            power *= base;
            ++digits;
        }
        t[base] = {digits, power};
    }
    return t;
}

constexpr std::array<WordChunk, 86> kWordChunks = make_word_chunks();
static_assert(kWordChunks[10].digits == 19 && kWordChunks[10].power == 10000000000000000000u);
static_assert(kWordChunks[85].digits == 9);

// A value of at most kMaxLimbs limbs has at most this many words.
constexpr std::size_t kMaxWords = tvl::kMaxLimbs / 2;

// Chunks folded in per sweep when reading.
constexpr int kReadFused = 4;

using WordScratch = tvl::mem::Scratch<Word, 40>;

// The value of the eight decimal digits at p (a little-endian load): each byte must lie in
// '0'..'9', then neighbouring digits are combined into pairs, quadruples and the whole.
inline Word parse_eight(const char *p, bool &bad) {
    Word v;
    std::memcpy(&v, p, sizeof v);
    constexpr Word kHigh = 0xF0F0F0F0F0F0F0F0u;
    bad |= ((v & kHigh) | (((v + 0x0606060606060606u) & kHigh) >> 4)) != 0x3333333333333333u;
    v -= 0x3030303030303030u;
    v = v * 10 + (v >> 8);
    v = (((v & 0x000000FF000000FFu) * (100 + (Word{1000000} << 32))) +
         (((v >> 16) & 0x000000FF000000FFu) * (1 + (Word{10000} << 32)))) >>
        32;
    return v;
}

// The value of `count` digits at p, most significant first; `bad` is set when one of them
// is not a digit of the base. In base 10 eight digits at a time are checked and combined
// within a word.
template <std::uint32_t Base>
Word parse_chunk(const char *p, std::uint32_t count, std::uint32_t base,
                 const tvl::digits::ReadTable &table, bool &bad) {
    if constexpr (Base == 10 && std::endian::native == std::endian::little) {
        // Single digits until a multiple of eight remain, then groups of eight.
        Word v = 0;
        std::uint32_t i = 0;
        std::uint32_t check = 0;
        for (; (count - i) % 8 != 0; ++i) {
            const auto d = static_cast<std::uint32_t>(static_cast<unsigned char>(p[i]) - '0');
            check |= d > 9 ? 1 : 0;
            v = v * 10 + d;
        }
        for (; i < count; i += 8) v = v * 100000000u + parse_eight(p + i, bad);
        bad |= check != 0;
        return v;
    } else {
        Word v = 0;
        std::uint32_t check = 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::uint32_t d = table[static_cast<unsigned char>(p[i])];
            check |= d >= base ? 1 : 0;
            v = v * base + d;
        }
        bad |= check != 0;
        return v;
    }
}

// w[0..len) := w * power^K + (add[0] * power^(K-1) + ... + add[K-1]) in one sweep; the K
// words above len must be zero and take the growth. Kept out of line so that the carries
// stay in registers.
template <int K>
[[gnu::noinline]] void mul_add_fused(Word *w, std::size_t len, Word power, const Word (&add)[K]) {
    Word carry[K];
    for (int j = 0; j < K; ++j) carry[j] = add[j];
    for (std::size_t i = 0; i < len + K; ++i) {
        Word x = w[i];
        for (int j = 0; j < K; ++j) {
            const WideWord t = WideWord{x} * power;
            x = static_cast<Word>(t) + carry[j];
            carry[j] = static_cast<Word>(t >> 64) + (x < carry[j] ? 1 : 0);
        }
        w[i] = x;
    }
}

// n := the words w[0..len) (normalised) as limbs, by the growth rule.
bool store_words(tvl_int *n, const Word *w, std::size_t len) {
    const std::size_t limbs = 2 * len - ((w[len - 1] >> 32) == 0 ? 1 : 0);
    if (limbs > tvl::kMaxLimbs || !tvl::reserve(n, static_cast<std::uint32_t>(limbs))) {
        return false;
    }
    for (std::size_t i = 0; i < limbs; ++i) {
        n->limbs[i] = static_cast<Limb>(w[i / 2] >> (32 * (i % 2)));
    }
    n->length = static_cast<std::uint32_t>(limbs);
    return true;
}

// Reads the nd digits at p (the first one nonzero) in a base that is not a power of two,
// checking each digit as it goes.
template <std::uint32_t Base>
bool read_chunked(tvl_int *n, const char *p, std::size_t nd, std::uint32_t base) {
    const tvl::digits::ReadTable &table = tvl::digits::read_table(base);
    const WordChunk chunk = kWordChunks[base];
    const std::size_t chunks = (nd + chunk.digits - 1) / chunk.digits;
    WordScratch words;
    if (!words.reserve(std::min(chunks, kMaxWords) + kReadFused + 1, false)) return false;
    Word *w = words.data();

    // The leading partial chunk, then full chunks: kReadFused per sweep, the rest one by one.
    bool bad = false;
    const auto head = static_cast<std::uint32_t>(nd - (chunks - 1) * chunk.digits);
    w[0] = parse_chunk<Base>(p, head, base, table, bad);
    if (bad) return false;
    std::size_t len = 1;
    p += head;
    std::size_t left = chunks - 1;
    while (left > 0) {
        const int k = left >= kReadFused ? kReadFused : 1;
        std::fill_n(w + len, k, Word{0});
        if (k == kReadFused) {
            Word add[kReadFused];
            for (Word &a : add) {
                a = parse_chunk<Base>(p, chunk.digits, base, table, bad);
                p += chunk.digits;
            }
            mul_add_fused<kReadFused>(w, len, chunk.power, add);
        } else {
            const Word add[1] = {parse_chunk<Base>(p, chunk.digits, base, table, bad)};
            p += chunk.digits;
            mul_add_fused<1>(w, len, chunk.power, add);
        }
        if (bad) return false;
        left -= static_cast<std::size_t>(k);
        len += static_cast<std::size_t>(k);
        while (w[len - 1] == 0) --len;
        if (len > kMaxWords) return false;  // the value only grows from here
    }
    return store_words(n, w, len);
}

// Reads the nd digits at p (the first one nonzero) in the base 2^Shift: each digit's bits
// go straight into place, from the least significant digit up. A base whose digits tile a
// limb fills one limb per group of digits.
template <std::uint32_t Shift>
bool read_pow2(tvl_int *n, const char *p, std::size_t nd, const tvl::digits::ReadTable &table) {
    const std::uint32_t lead = table[static_cast<unsigned char>(*p)];
    if ((lead >> Shift) != 0 || nd > tvl::kMaxBits) return false;
    const std::size_t bits = (nd - 1) * Shift + tvl::limb_bit_length(lead);
    if (bits > tvl::kMaxBits) return false;
    const auto limbs = static_cast<std::uint32_t>((bits + 31) / 32);
    if (!tvl::reserve(n, limbs)) return false;
    // A byte that is no digit has a table value with bits at or above Shift.
    std::uint32_t check = 0;
    std::uint32_t out = 0;
    const char *c = p + nd;
    if constexpr (32 % Shift == 0) {
        constexpr std::size_t kPerLimb = 32 / Shift;
        for (; static_cast<std::size_t>(c - p) >= kPerLimb; c -= kPerLimb) {
            Limb v = 0;
            for (std::size_t k = 0; k < kPerLimb; ++k) {
                const std::uint32_t d =
                    table[static_cast<unsigned char>(c[-1 - static_cast<std::ptrdiff_t>(k)])];
                check |= d;
                v |= static_cast<Limb>(d << (k * Shift));
            }
            n->limbs[out++] = v;
        }
        Limb v = 0;
        for (const char *q = p; q < c; ++q) {
            const std::uint32_t d = table[static_cast<unsigned char>(*q)];
            check |= d;
            v = (v << Shift) | d;
        }
        if (c > p) n->limbs[out] = v;
    } else {
        std::uint64_t acc = 0;
        std::uint32_t have = 0;
        while (c-- != p) {
            const std::uint32_t d = table[static_cast<unsigned char>(*c)];
            check |= d;
            acc |= std::uint64_t{d} << have;
            have += Shift;
            if (have >= 32) {
                n->limbs[out++] = static_cast<Limb>(acc);
                acc >>= 32;
                have -= 32;
            }
        }
        if (out < limbs) n->limbs[out] = static_cast<Limb>(acc);
    }
    if ((check >> Shift) != 0) return false;
    n->length = limbs;
    return true;
}

bool read_digits(tvl_int *n, const char *p, std::size_t nd, std::uint32_t base) {
    const tvl::digits::ReadTable &table = tvl::digits::read_table(base);
    switch (base) {
        case 2:
            return read_pow2<1>(n, p, nd, table);
        case 4:
            return read_pow2<2>(n, p, nd, table);
        case 8:
            return read_pow2<3>(n, p, nd, table);
        case 16:
            return read_pow2<4>(n, p, nd, table);
        case 32:
            return read_pow2<5>(n, p, nd, table);
        case 64:
            return read_pow2<6>(n, p, nd, table);
        case 10:
            return read_chunked<10>(n, p, nd, base);
        default:
            return read_chunked<0>(n, p, nd, base);
    }
}

// ---------------------------------------------------------------------------------------
// Writing powers of two
// ---------------------------------------------------------------------------------------

// The digit of mask + 1 (a power of two) whose lowest bit is bit `bit` of mag.
Limb pow2_digit(ConstLimbSpan mag, std::size_t bit, Limb mask) {
    const std::size_t word = bit / tvl::kLimbBits;
    std::uint64_t window = mag[word];
    if (word + 1 < mag.size()) window |= std::uint64_t{mag[word + 1]} << 32;
    return static_cast<Limb>(window >> (bit % tvl::kLimbBits)) & mask;
}

// Writes the digits of mag in the base 2^Shift forward from `out` (room checked by the
// caller): `count` digits, the most significant first.
template <std::uint32_t Base, std::uint32_t Shift>
void put_pow2_digits(ConstLimbSpan mag, std::size_t count, char *out) {
    constexpr Limb kMask = Base - 1;
    if constexpr (32 % Shift == 0) {
        // The digits tile the limbs: the top limb's digits, then every lower limb's in full.
        constexpr std::size_t kPerLimb = 32 / Shift;
        std::size_t k = count - (mag.size() - 1) * kPerLimb;
        for (std::size_t i = mag.size(); i-- > 0; k = kPerLimb) {
            const Limb v = mag[i];
            while (k-- > 0) {
                *out++ = tvl::digits::digit_char((v >> (k * Shift)) & kMask, Base);
            }
        }
    } else {
        for (std::size_t k = count; k-- > 0;) {
            *out++ = tvl::digits::digit_char(pow2_digit(mag, k * Shift, kMask), Base);
        }
    }
}

void put_pow2(ConstLimbSpan mag, std::uint32_t base, std::size_t count, char *out) {
    switch (base) {
        case 2:
            return put_pow2_digits<2, 1>(mag, count, out);
        case 4:
            return put_pow2_digits<4, 2>(mag, count, out);
        case 8:
            return put_pow2_digits<8, 3>(mag, count, out);
        case 16:
            return put_pow2_digits<16, 4>(mag, count, out);
        case 32:
            return put_pow2_digits<32, 5>(mag, count, out);
        default:
            return put_pow2_digits<64, 6>(mag, count, out);
    }
}

// ---------------------------------------------------------------------------------------
// Writing base 10
// ---------------------------------------------------------------------------------------

constexpr std::uint32_t kDecChunkDigits = 19;
constexpr Word kTen19 = kWordChunks[10].power;  // top bit set: already normalised
constexpr Word kTen19Inv = tvl::reciprocal(kTen19);
static_assert(kTen19 >> 63 == 1);

// Pieces of at most this many words are cut into chunks by short division.
constexpr std::size_t kSplitWords = 48;
// Powers 10^(19 * 2^k) used for splitting; a value of kMaxWords words needs 9.
constexpr int kMaxPowers = 12;
// Chunks cut per sweep of short division.
constexpr int kWriteFused = 4;

// w[0..len) := w / 10^(19 K) in one sweep; rem[j] receives the remainder of stage j
// (rem[0] is the lowest chunk).
template <int K>
void divide_ten19_fused(Word *w, std::size_t len, Word (&rem)[K]) {
    Word r[K] = {};
    for (std::size_t i = len; i-- > 0;) {
        Word x = w[i];
        for (int j = 0; j < K; ++j) x = tvl::divide_2by1(r[j], x, kTen19, kTen19Inv, r[j]);
        w[i] = x;
    }
    for (int j = 0; j < K; ++j) rem[j] = r[j];
}

// Cuts w[0..len) (consumed) into chunks of 19 digits, least significant first, and returns
// their count without zero chunks at the top.
std::size_t cut_chunks(Word *w, std::size_t len, Word *out) {
    std::size_t count = 0;
    while (len > 0 && w[len - 1] == 0) --len;
    while (len > 1) {
        Word rem[kWriteFused];
        divide_ten19_fused<kWriteFused>(w, len, rem);
        for (Word r : rem) out[count++] = r;
        while (len > 0 && w[len - 1] == 0) --len;
    }
    for (Word x = len == 1 ? w[0] : 0; x != 0; x /= kTen19) out[count++] = x % kTen19;
    while (count > 0 && out[count - 1] == 0) --count;
    return count;
}

// out[0..na+nb) := a * b (schoolbook; zero low words of either factor are skipped).
void multiply_words(const Word *a, std::size_t na, const Word *b, std::size_t nb, Word *out) {
    std::fill_n(out, na + nb, Word{0});
    std::size_t za = 0;
    std::size_t zb = 0;
    while (za < na && a[za] == 0) ++za;
    while (zb < nb && b[zb] == 0) ++zb;
    for (std::size_t i = za; i < na; ++i) {
        Word carry = 0;
        for (std::size_t j = zb; j < nb; ++j) {
            const WideWord t = WideWord{a[i]} * b[j] + out[i + j] + carry;
            out[i + j] = static_cast<Word>(t);
            carry = static_cast<Word>(t >> 64);
        }
        out[i + nb] = carry;
    }
}

// Stack-ordered words from one scratch block: take() in nested scopes, release() to a mark.
class WordArena {
  public:
    bool reserve(std::size_t n) { return block_.reserve(n, false); }
    Word *take(std::size_t n) {
        TVL_ASSERT(top_ + n <= block_.size());
        Word *p = block_.data() + top_;
        top_ += n;
        return p;
    }
    std::size_t mark() const { return top_; }
    void release(std::size_t mark) { top_ = mark; }

  private:
    WordScratch block_;
    std::size_t top_ = 0;
};

// The decimal chunks of a value of many words, by divide and conquer.
class DecimalSplitter {
  public:
    // Words of scratch that splitting a value of n words may take.
    static std::size_t scratch_words(std::size_t n) { return 8 * n + 32 * kMaxPowers; }

    explicit DecimalSplitter(WordArena &arena) : arena_(arena) {}

    // Prepares the powers 10^(19 * 2^k) up to about half of n words.
    void make_powers(std::size_t n) {
        Word *p = arena_.take(1);
        p[0] = kTen19;
        std::size_t len = 1;
        for (;;) {
            add_power(p, len);
            if (count_ == kMaxPowers || 2 * len - 1 > (n + 1) / 2) break;
            Word *sq = arena_.take(2 * len);
            multiply_words(p, len, p, len, sq);
            len = 2 * len - (sq[2 * len - 1] == 0 ? 1 : 0);
            p = sq;
        }
    }

    // Chunks of w[0..len) (consumed), least significant first; returns their count.
    std::size_t split_top(Word *w, std::size_t len, Word *out) {
        while (len > 0 && w[len - 1] == 0) --len;
        if (len <= kSplitWords) return cut_chunks(w, len, out);
        int k = 1;
        while (k + 1 < count_ && powers_[k + 1].len <= (len + 1) / 2) ++k;
        const std::size_t mark = arena_.mark();
        Piece q;
        Piece r;
        const std::size_t work = divide(w, len, k, q, r);
        split_exact(r.w, r.len, k, out);
        arena_.release(work);
        const std::size_t low = std::size_t{1} << k;
        std::size_t count = low + split_top(q.w, q.len, out + low);
        arena_.release(mark);
        while (count > 0 && out[count - 1] == 0) --count;
        return count;
    }

  private:
    struct Power {
        const Word *norm;  // shifted left until the top bit is set
        std::size_t len;
        std::uint32_t shift;
        std::size_t zeros;  // zero low words
    };
    struct Piece {
        Word *w;
        std::size_t len;
    };

    void add_power(const Word *p, std::size_t len) {
        Power &pw = powers_[count_++];
        const auto shift = static_cast<std::uint32_t>(std::countl_zero(p[len - 1]));
        Word *norm = arena_.take(len);
        Word carry = 0;
        for (std::size_t i = 0; i < len; ++i) {
            norm[i] = (p[i] << shift) | carry;
            carry = shift == 0 ? 0 : p[i] >> (64 - shift);
        }
        std::size_t zeros = 0;
        while (norm[zeros] == 0) ++zeros;
        // The division needs two divisor words above the zero ones.
        if (len - zeros < 2) zeros = 0;
        pw = {norm, len, shift, zeros};
    }

    // Exactly 2^k chunks of a value below 10^(19 * 2^k).
    void split_exact(Word *w, std::size_t len, int k, Word *out) {
        while (len > 0 && w[len - 1] == 0) --len;
        const std::size_t want = std::size_t{1} << k;
        if (len <= kSplitWords || k == 0) {
            const std::size_t got = cut_chunks(w, len, out);
            std::fill(out + got, out + want, Word{0});
            return;
        }
        const std::size_t mark = arena_.mark();
        Piece q;
        Piece r;
        const std::size_t work = divide(w, len, k - 1, q, r);
        split_exact(r.w, r.len, k - 1, out);
        arena_.release(work);
        split_exact(q.w, q.len, k - 1, out + want / 2);
        arena_.release(mark);
    }

    // q, r := w / P_k, w mod P_k. The quotient comes first in the arena, then the working
    // words that hold the remainder; the result is the mark that releases the latter.
    std::size_t divide(Word *w, std::size_t len, int k, Piece &q, Piece &r) {
        const Power &pw = powers_[k];
        if (len < pw.len) {
            q = {nullptr, 0};
            r = {w, len};
            return arena_.mark();
        }
        const std::size_t qlen = len - pw.len + 1;
        Word *qw = arena_.take(qlen);
        const std::size_t work = arena_.mark();
        Word *u = arena_.take(len + 1);
        Word carry = 0;
        for (std::size_t i = 0; i < len; ++i) {
            u[i] = (w[i] << pw.shift) | carry;
            carry = pw.shift == 0 ? 0 : w[i] >> (64 - pw.shift);
        }
        u[len] = carry;
        // The divisor's zero low words leave the dividend's low words as they are.
        const std::size_t z = pw.zeros;
        tvl::divide_normalized_words<Word>(std::span<Word>(u + z, len + 1 - z),
                                           std::span<const Word>(pw.norm + z, pw.len - z),
                                           std::span<Word>(qw, qlen));
        for (std::size_t i = 0; i < pw.len; ++i) {
            const Word next = i + 1 < pw.len && pw.shift != 0 ? u[i + 1] << (64 - pw.shift) : 0;
            u[i] = (u[i] >> pw.shift) | next;
        }
        q = {qw, qlen};
        r = {u, pw.len};
        return work;
    }

    WordArena &arena_;
    Power powers_[kMaxPowers] = {};
    int count_ = 0;
};

// Two-digit groups "00" .. "99".
constexpr std::array<char, 200> make_pairs() {
    std::array<char, 200> t{};
    for (int i = 0; i < 100; ++i) {
        t[2 * static_cast<std::size_t>(i)] = static_cast<char>('0' + i / 10);
        t[2 * static_cast<std::size_t>(i) + 1] = static_cast<char>('0' + i % 10);
    }
    return t;
}
constexpr std::array<char, 200> kPairs = make_pairs();

// Writes the 4 digits of v < 10^4, and the 8 digits of v < 10^8, leading zeros included.
void put4(char *p, std::uint32_t v) {
    std::memcpy(p, &kPairs[2 * (v / 100)], 2);
    std::memcpy(p + 2, &kPairs[2 * (v % 100)], 2);
}
void put8(char *p, std::uint32_t v) {
    put4(p, v / 10000);
    put4(p + 4, v % 10000);
}

// Writes the 19 digits of v < 10^19, leading zeros included.
void put19(char *p, Word v) {
    const auto top = static_cast<std::uint32_t>(v / 10000000000000000u);
    const Word rest = v % 10000000000000000u;
    p[0] = static_cast<char>('0' + top / 100);
    std::memcpy(p + 1, &kPairs[2 * (top % 100)], 2);
    put8(p + 3, static_cast<std::uint32_t>(rest / 100000000u));
    put8(p + 11, static_cast<std::uint32_t>(rest % 100000000u));
}

// Number of decimal digits of v > 0.
std::uint32_t decimal_digits(Word v) {
    std::uint32_t d = 1;
    for (Word t = v; t >= 10; t /= 10) ++d;
    return d;
}

// Writes the decimal digits of mag after `start` bytes of buf; the text length, or -1
// when it does not fit `size` bytes with its NUL or scratch cannot be had.
int write_decimal(ConstLimbSpan mag, char *buf, std::size_t size, std::size_t start) {
    const std::size_t n = (mag.size() + 1) / 2;
    WordScratch words;
    WordScratch chunk_buf;
    WordArena arena;
    if (!words.reserve(n, false) || !chunk_buf.reserve(n + n / 32 + 2, false)) return -1;
    Word *w = words.data();
    for (std::size_t i = 0; i < n; ++i) {
        const Word high = 2 * i + 1 < mag.size() ? mag[2 * i + 1] : 0;
        w[i] = (high << 32) | mag[2 * i];
    }
    Word *chunks = chunk_buf.data();
    std::size_t count;
    if (n <= kSplitWords) {
        count = cut_chunks(w, n, chunks);
    } else {
        if (!arena.reserve(DecimalSplitter::scratch_words(n))) return -1;
        DecimalSplitter splitter(arena);
        splitter.make_powers(n);
        count = splitter.split_top(w, n, chunks);
    }

    const std::uint32_t top_digits = decimal_digits(chunks[count - 1]);
    const std::size_t end = start + top_digits + kDecChunkDigits * (count - 1);
    if (end >= size) return -1;
    char top[kDecChunkDigits];
    put19(top, chunks[count - 1]);
    char *out = buf + start;
    std::memcpy(out, top + kDecChunkDigits - top_digits, top_digits);
    out += top_digits;
    for (std::size_t i = count - 1; i-- > 0;) {
        put19(out, chunks[i]);
        out += kDecChunkDigits;
    }
    buf[end] = '\0';
    return static_cast<int>(end);
}

// Writes the digits of mag in a power-of-two base after `start` bytes of buf, preceded by
// the zero digit when the leading digit would read as a sign; the text length or -1.
int write_pow2(ConstLimbSpan mag, std::uint32_t base, bool negative, char *buf, std::size_t size,
               std::size_t start) {
    const std::uint32_t shift = pow2_shift(base);
    const std::uint32_t bits = tvl::bit_length(mag);
    const std::size_t count = (bits + shift - 1) / shift;
    const Limb top = pow2_digit(mag, (count - 1) * shift, base - 1);
    const bool pad = !negative && tvl::digits::is_sign_char(tvl::digits::digit_char(top, base));
    if (pad) buf[start++] = tvl::digits::zero_char(base);  // start < size - 1: checked below
    const std::size_t end = start + count;
    if (end >= size) return -1;
    put_pow2(mag, base, count, buf + start);
    buf[end] = '\0';
    return static_cast<int>(end);
}

// Writes the digits of mag by short division (any base that is not a power of two); the
// text length or -1.
int write_general(ConstLimbSpan mag, std::uint32_t base, bool negative, char *buf, std::size_t size,
                  std::size_t start) {
    DigitWriter out(buf, size, start);
    bool ok = write_chunked_digits(mag, base, out);
    // In base 85 '+' and '-' are digits, but a text that begins with one reads it as a sign.
    // A leading zero digit keeps such a value readable; a negative value's own '-' already
    // comes first, so its digits read back as they are.
    if (ok && !negative && tvl::digits::is_sign_char(out.last())) {
        ok = out.put(tvl::digits::zero_char(base));
    }
    if (!ok) return -1;
    const std::size_t end = out.pos();
    std::reverse(buf + start, buf + end);
    buf[end] = '\0';
    return static_cast<int>(end);
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
    // Leading zeros leave the value at zero and allocate nothing; the readers check the
    // remaining digits as they go.
    const tvl::digits::ReadTable &table = tvl::digits::read_table(base);
    while (table[static_cast<unsigned char>(*p)] == 0) ++p;
    if (*p == '\0') return true;
    if (!read_digits(n, p, std::strlen(p), base)) return false;
    n->negative = negative ? 1 : 0;
    return true;
}

int tvl_int_to_str(const tvl_int *n, char *buf, size_t size, uint32_t base) {
    if (buf == nullptr || size <= 1 || !tvl::usable(n) || !tvl::digits::is_valid_base(base)) {
        return -1;
    }
    const ConstLimbSpan mag = tvl::magnitude(n);
    if (mag.empty()) {
        buf[0] = tvl::digits::zero_char(base);
        buf[1] = '\0';
        return 1;
    }
    const bool negative = n->negative != 0;
    std::size_t start = 0;
    if (negative) buf[start++] = '-';
    if (pow2_shift(base) != 0) return write_pow2(mag, base, negative, buf, size, start);
    if (base == 10) return write_decimal(mag, buf, size, start);
    return write_general(mag, base, negative, buf, size, start);
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
