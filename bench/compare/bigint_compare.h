// Big-integer text in both directions beside GMP's mpz_set_str and mpz_get_str.
#pragma once

#include <string>
#include <vector>

namespace tvlcompare {

struct BigintRow {
    unsigned decimal_digits;  // size of the value, in decimal digits
    unsigned base;
    unsigned digits;                            // digits of the text in that base
    double tvl_from, gmp_from, tvl_to, gmp_to;  // seconds per conversion
};

// Random values of 10, 100, 1000 and 9864 decimal digits (9864 is the longest that fits the
// big integer's 1024 limbs) in bases 10 and 16, each timed in rotation. An empty result with
// a message on stderr when the two disagree on a text.
std::vector<BigintRow> compare_bigint(unsigned rounds);

}  // namespace tvlcompare
