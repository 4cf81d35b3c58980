/* The compiler's own decimal conversions (binary-integer encoding on x86-64), as the reference
 * for the decimal format tests. Only GCC's C compiler has the decimal types, so this file is
 * built only where they compile. Patterns cross as integers or words, least significant first. */
#include <stdint.h>
#include <string.h>

__extension__ typedef _Decimal32 dec32;
__extension__ typedef _Decimal64 dec64;
__extension__ typedef _Decimal128 dec128;

uint32_t ref_dec32_from_double(double x) {
    dec32 d = (dec32)x;
    uint32_t bits;
    memcpy(&bits, &d, sizeof bits);
    return bits;
}

uint64_t ref_dec64_from_double(double x) {
    dec64 d = (dec64)x;
    uint64_t bits;
    memcpy(&bits, &d, sizeof bits);
    return bits;
}

void ref_dec128_from_double(double x, uint32_t out[4]) {
    dec128 d = (dec128)x;
    memcpy(out, &d, sizeof d);
}

double ref_double_from_dec32(uint32_t bits) {
    dec32 d;
    memcpy(&d, &bits, sizeof d);
    return (double)d;
}

double ref_double_from_dec64(uint64_t bits) {
    dec64 d;
    memcpy(&d, &bits, sizeof d);
    return (double)d;
}

double ref_double_from_dec128(const uint32_t in[4]) {
    dec128 d;
    memcpy(&d, in, sizeof d);
    return (double)d;
}
