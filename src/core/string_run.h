// String runs: the bytes a string literal takes as they stand (every byte from SP up but `"`,
// `\` and DEL) grouped into whole, well-formed UTF-8 characters. The reader takes a string's
// text a run at a time and needs the exact end of each run, the place where the per-byte path
// takes over (an escape, the closing quote, a control byte, a broken or cut character).
//
// The scan is chosen once, when the library is loaded, for the processor it runs on: 32-byte
// blocks that check UTF-8 with vector table lookups where the processor has AVX2; otherwise 16
// bytes at a time with SSE2 (every x86-64) or 8 with word tests, and multi-byte characters one
// by one. All give the same result.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tvl {

#if defined(__SSE2__)
// Bit i set when byte i of the 16 at p ends a plain ASCII run: a control byte, `"`, `\`, DEL, or
// a byte from 0x80 up (a multi-byte character, which only the full scan checks).
inline uint32_t plain_ascii_stops16(const uint8_t *p) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    // The comparison is signed: bytes from 0x80 up are "below the space" as well.
    const __m128i stop = _mm_or_si128(
        _mm_or_si128(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20)), _mm_cmpeq_epi8(v, _mm_set1_epi8('"'))),
        _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\\')),
                     _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F))));
    return static_cast<uint32_t>(_mm_movemask_epi8(stop));
}
#endif

// The end of the longest prefix of [p, end) that is string-run bytes forming whole, well-formed
// characters; the count of continuation bytes in it is added to `continuations`. p must be at
// the start of a character. Reads nothing at or after `end`.
using StringRunScan = const uint8_t *(*)(const uint8_t *p, const uint8_t *end,
                                         uint64_t &continuations);

namespace string_run_detail {
// The scan chosen for this processor.
extern StringRunScan chosen;
// Each scan on its own, for tests that compare them: the AVX2 one is null where the processor
// (or the compiler) lacks it.
const uint8_t *portable_scan(const uint8_t *p, const uint8_t *end, uint64_t &continuations);
StringRunScan avx2_scan();
}  // namespace string_run_detail

inline const uint8_t *string_run_end(const uint8_t *p, const uint8_t *end,
                                     uint64_t &continuations) {
    return string_run_detail::chosen(p, end, continuations);
}

}  // namespace tvl
