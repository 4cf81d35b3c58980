/* The compiler's own decimal64 conversions (binary-integer encoding on x86-64) over arrays, as
 * the baseline of the decimal format benchmark. Only GCC's C compiler has the decimal types, so
 * this file is built only where they compile. */
#include <stddef.h>
#include <stdint.h>
#include <string.h>

__extension__ typedef _Decimal64 dec64;

void bench_dec64_from_doubles(const double *in, uint64_t *out, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const dec64 d = (dec64)in[i];
        memcpy(&out[i], &d, sizeof d);
    }
}

void bench_doubles_from_dec64(const uint64_t *in, double *out, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        dec64 d;
        memcpy(&d, &in[i], sizeof d);
        out[i] = (double)d;
    }
}
