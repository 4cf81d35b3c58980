// The string-run scans (see string_run.h): a portable one and, on x86-64, one with AVX2 that is
// compiled for that instruction set alone and chosen at load time when the processor has it.
#include "core/string_run.h"

#include <cstddef>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TVL_STRING_RUN_AVX2 1
#include <immintrin.h>
#endif

#include "core/byte_classes.h"
#include "core/utf8.h"

namespace tvl::string_run_detail {
namespace {

// True when the 8 bytes of v are all string-run bytes below 0x80: no control byte, no `"`, no
// `\`, no 0x7F (bit tricks on one 64-bit word).
constexpr bool plain_ascii_word(uint64_t v) {
    return (unprintable_byte(v) | quote_or_backslash_byte(v)) == 0;
}

// The word test takes a byte exactly when the string-run class below 0x80 does.
constexpr bool plain_ascii_word_matches_class() {
    for (uint64_t b = 0; b < 256; ++b) {
        const bool in_class = b < 0x80 && has_class(static_cast<uint8_t>(b), kStringRunByte);
        if (plain_ascii_word(b * 0x0101010101010101ull) != in_class) return false;
    }
    return true;
}
static_assert(plain_ascii_word_matches_class());

// Every byte from 0x80 up is a run byte: the scans below check only that such bytes form
// well-formed characters.
constexpr bool high_bytes_all_run_bytes() {
    for (unsigned b = 0x80; b < 256; ++b)
        if (!has_class(static_cast<uint8_t>(b), kStringRunByte)) return false;
    return true;
}
static_assert(high_bytes_all_run_bytes());

// The count of plain ASCII run bytes at the start of [p, end): sixteen at a time where SSE2 is
// there (on every x86-64), then eight at a time with the word test.
size_t plain_ascii_prefix(const uint8_t *p, const uint8_t *end) {
    const uint8_t *q = p;
#if defined(__SSE2__)
    while (end - q >= 16) {
        const uint32_t mask = plain_ascii_stops16(q);
        if (mask) return static_cast<size_t>(q - p) + static_cast<size_t>(__builtin_ctz(mask));
        q += 16;
    }
#endif
    while (end - q >= 8) {
        uint64_t v;
        std::memcpy(&v, q, sizeof v);
        if (!plain_ascii_word(v)) break;
        q += 8;
    }
    return static_cast<size_t>(q - p);
}

// The end of the run of whole, valid characters of two to four bytes from q, before end; their
// continuation bytes are added to `continuations`. Characters of two bytes, and of three with a
// lead other than E0 and ED (whose second byte has a narrower range), are checked here with one
// test per byte; the others by the general character test.
const uint8_t *character_run(const uint8_t *q, const uint8_t *end, uint64_t &continuations) {
    const auto continuation = [](uint8_t b) { return (b & 0xC0) == 0x80; };
    while (q < end && *q >= 0x80) {
        const uint8_t b = *q;
        size_t n;
        if (b >= 0xE1 && b <= 0xEF && b != 0xED && end - q >= 3 && continuation(q[1]) &&
            continuation(q[2])) {
            n = 3;
        } else if (b >= 0xC2 && b <= 0xDF && end - q >= 2 && continuation(q[1])) {
            n = 2;
        } else {
            n = utf8_char_length(q, static_cast<size_t>(end - q));
            if (n == 0) break;
        }
        q += n;
        continuations += n - 1;
    }
    return q;
}

#if defined(TVL_STRING_RUN_AVX2)
#define TVL_AVX2 __attribute__((target("avx2")))

// UTF-8 checked 32 bytes at a time by table lookups on the high and low half of each byte and
// the high half of the byte after it: each table names the faults a pair of bytes may show, and
// a pair is at fault when all three lookups agree on one. A fault bit each:
constexpr uint8_t kTooShort = 1 << 0;      // a lead not followed by a continuation
constexpr uint8_t kTooLong = 1 << 1;       // a continuation after an ASCII byte
constexpr uint8_t kOverlong3 = 1 << 2;     // E0 80..9F
constexpr uint8_t kTooLarge = 1 << 3;      // F4 90..BF, F5.. 90..BF
constexpr uint8_t kSurrogate = 1 << 4;     // ED A0..BF
constexpr uint8_t kOverlong2 = 1 << 5;     // C0, C1
constexpr uint8_t kTooLarge1000 = 1 << 6;  // F5.. 80..8F
constexpr uint8_t kOverlong4 = 1 << 6;     // F0 80..8F
constexpr uint8_t kTwoConts = 1 << 7;      // a continuation after a continuation
constexpr uint8_t kCarry = kTooShort | kTooLong | kTwoConts;  // decided by the high half alone

alignas(16) constexpr uint8_t kFirstHigh[16] = {kTooLong,
                                                kTooLong,
                                                kTooLong,
                                                kTooLong,
                                                kTooLong,
                                                kTooLong,
                                                kTooLong,
                                                kTooLong,
                                                kTwoConts,
                                                kTwoConts,
                                                kTwoConts,
                                                kTwoConts,
                                                kTooShort | kOverlong2,
                                                kTooShort,
                                                kTooShort | kOverlong3 | kSurrogate,
                                                kTooShort | kTooLarge | kTooLarge1000 | kOverlong4};
alignas(16) constexpr uint8_t kFirstLow[16] = {kCarry | kOverlong3 | kOverlong2 | kOverlong4,
                                               kCarry | kOverlong2,
                                               kCarry,
                                               kCarry,
                                               kCarry | kTooLarge,
                                               kCarry | kTooLarge | kTooLarge1000,
                                               kCarry | kTooLarge | kTooLarge1000,
                                               kCarry | kTooLarge | kTooLarge1000,
                                               kCarry | kTooLarge | kTooLarge1000,
                                               kCarry | kTooLarge | kTooLarge1000,
                                               kCarry | kTooLarge | kTooLarge1000,
                                               kCarry | kTooLarge | kTooLarge1000,
                                               kCarry | kTooLarge | kTooLarge1000,
                                               kCarry | kTooLarge | kTooLarge1000 | kSurrogate,
                                               kCarry | kTooLarge | kTooLarge1000,
                                               kCarry | kTooLarge | kTooLarge1000};
alignas(16) constexpr uint8_t kSecondHigh[16] = {
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4,
    kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge,
    kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
    kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
    kTooShort,
    kTooShort,
    kTooShort,
    kTooShort};

TVL_AVX2 inline __m256i lookup(const uint8_t (&table)[16], __m256i nibbles) {
    const __m256i t =
        _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i *>(table)));
    return _mm256_shuffle_epi8(t, nibbles);
}

// v moved up by n bytes across the whole 32 bytes, with zero bytes (ASCII) coming in.
template <int n>
TVL_AVX2 inline __m256i earlier(__m256i v) {
    const __m256i low_in_high = _mm256_permute2x128_si256(v, v, 0x08);  // [0, low half]
    return _mm256_alignr_epi8(v, low_in_high, 16 - n);
}

// Bit i set when byte i of the 32 at q is at fault (q starts a character: the bytes before it
// count as ASCII). A fault is flagged at the byte that shows it: a cut character at the byte
// that should have continued it.
TVL_AVX2 inline uint32_t utf8_faults(__m256i v) {
    const __m256i low4 = _mm256_set1_epi8(0x0F);
    const __m256i prev1 = earlier<1>(v);
    const __m256i pairs = _mm256_and_si256(
        _mm256_and_si256(lookup(kFirstHigh, _mm256_and_si256(_mm256_srli_epi16(prev1, 4), low4)),
                         lookup(kFirstLow, _mm256_and_si256(prev1, low4))),
        lookup(kSecondHigh, _mm256_and_si256(_mm256_srli_epi16(v, 4), low4)));
    // The third and fourth bytes of a character must be continuations, and only those may be a
    // continuation after a continuation: their top bit must equal the pair's kTwoConts bit.
    const __m256i third =
        _mm256_subs_epu8(earlier<2>(v), _mm256_set1_epi8(static_cast<char>(0xE0 - 0x80)));
    const __m256i fourth =
        _mm256_subs_epu8(earlier<3>(v), _mm256_set1_epi8(static_cast<char>(0xF0 - 0x80)));
    const __m256i must_continue =
        _mm256_and_si256(_mm256_or_si256(third, fourth), _mm256_set1_epi8(static_cast<char>(0x80)));
    const __m256i faults = _mm256_xor_si256(must_continue, pairs);
    return ~static_cast<uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(faults, _mm256_setzero_si256())));
}

TVL_AVX2 const uint8_t *avx2_run(const uint8_t *p, const uint8_t *end, uint64_t &continuations) {
    const uint8_t *q = p;
    while (end - q >= 32) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(q));
        // Signed: bytes from 0x80 up are "below the space" as well as the control bytes.
        const __m256i stop_or_high =
            _mm256_or_si256(_mm256_or_si256(_mm256_cmpgt_epi8(_mm256_set1_epi8(0x20), v),
                                            _mm256_cmpeq_epi8(v, _mm256_set1_epi8('"'))),
                            _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8('\\')),
                                            _mm256_cmpeq_epi8(v, _mm256_set1_epi8(0x7F))));
        const auto either = static_cast<uint32_t>(_mm256_movemask_epi8(stop_or_high));
        if (either == 0) {
            q += 32;
            continue;
        }
        const auto high = static_cast<uint32_t>(_mm256_movemask_epi8(v));
        const uint32_t stops = either & ~high;
        if (high == 0) return q + __builtin_ctz(stops);
        // The run ends at the first stop byte (ASCII, so a character boundary when nothing
        // before it is at fault, a cut character included) or takes the whole block but a
        // character that the block's end cuts.
        const unsigned n = stops ? static_cast<unsigned>(__builtin_ctz(stops)) : 32;
        const uint32_t upto = stops ? (2u << n) - 1 : ~0u;
        if (utf8_faults(v) & upto) return portable_scan(q, end, continuations);
        unsigned take = n;
        if (!stops) {
            if (q[31] >= 0xC0)
                take = 31;
            else if (q[30] >= 0xE0)
                take = 30;
            else if (q[29] >= 0xF0)
                take = 29;
        }
        // Continuation bytes are 80..BF: below -64 as signed bytes.
        const auto conts = static_cast<uint32_t>(
            _mm256_movemask_epi8(_mm256_cmpgt_epi8(_mm256_set1_epi8(-64), v)));
        continuations += static_cast<unsigned>(
            __builtin_popcount(conts & (take == 32 ? ~0u : (1u << take) - 1)));
        q += take;
        if (stops) return q;
    }
    return portable_scan(q, end, continuations);
}
#endif

}  // namespace

const uint8_t *portable_scan(const uint8_t *p, const uint8_t *end, uint64_t &continuations) {
    const uint8_t *q = p;
    while (q < end) {
        q += plain_ascii_prefix(q, end);
        if (q == end) break;
        const uint8_t b = *q;
        if (b < 0x80) {
            if (!has_class(b, kStringRunByte)) break;
            ++q;
        } else {
            const uint8_t *after = character_run(q, end, continuations);
            if (after == q) break;
            q = after;
        }
    }
    return q;
}

StringRunScan avx2_scan() {
#if defined(TVL_STRING_RUN_AVX2)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return &avx2_run;
#endif
    return nullptr;
}

namespace {
StringRunScan choose() {
    const StringRunScan avx2 = avx2_scan();
    return avx2 ? avx2 : &portable_scan;
}
}  // namespace

// Constant until the library's initialisers run, so that nothing can see a null scan.
StringRunScan chosen = &portable_scan;
[[maybe_unused]] const bool chosen_set = (chosen = choose(), true);

}  // namespace tvl::string_run_detail
