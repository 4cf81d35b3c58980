/* The compiler's own decimal conversions (binary-integer encoding on x86-64), as the reference
 * for the decimal format tests. Only GCC's C compiler has the decimal types, so this file is
 * built only where they compile. Patterns are words, least significant first. */
#include <stdint.h>
#include <string.h>

__extension__ typedef _Decimal32 dec32;
__extension__ typedef _Decimal64 dec64;
__extension__ typedef _Decimal128 dec128;

/* out := x converted to decimal32, decimal64 or decimal128 (width 32, 64 or 128). */
void ref_dec_from_double(int width, double x, uint32_t *out) {
    if (width == 32) {
        dec32 d = (dec32)x;
        memcpy(out, &d, sizeof d);
    } else if (width == 64) {
        dec64 d = (dec64)x;
        memcpy(out, &d, sizeof d);
    } else {
        dec128 d = (dec128)x;
        memcpy(out, &d, sizeof d);
    }
}

/* The pattern of that width converted to double. */
double ref_double_from_dec(int width, const uint32_t *in) {
    if (width == 32) {
        dec32 d;
        memcpy(&d, in, sizeof d);
        return (double)d;
    }
    if (width == 64) {
        dec64 d;
        memcpy(&d, in, sizeof d);
        return (double)d;
    }
    dec128 d;
    memcpy(&d, in, sizeof d);
    return (double)d;
}
