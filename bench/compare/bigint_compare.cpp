#include "bigint_compare.h"

#include <gmp.h>

#include <cctype>
#include <cstdio>
#include <memory>

#include "rotation.h"
#include "support/corpora.h"
#include "tvlr.h"

namespace tvlcompare {
namespace {

using tvlbench::random_digits;

bool same_digits(const char *a, const char *b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) !=
            std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

struct Mpz {
    Mpz() { mpz_init(z); }
    ~Mpz() { mpz_clear(z); }
    Mpz(const Mpz &) = delete;
    Mpz &operator=(const Mpz &) = delete;
    mpz_t z;
};

using TvlInt = std::unique_ptr<tvl_int, void (*)(tvl_int *)>;

}  // namespace

std::vector<BigintRow> compare_bigint(unsigned rounds) {
    std::vector<BigintRow> rows;
    for (const unsigned decimal : {10u, 100u, 1000u, 9864u}) {
        const std::string decimal_text = random_digits(decimal, decimal);
        for (const unsigned base : {10u, 16u}) {
            Mpz value, scratch;
            mpz_set_str(value.z, decimal_text.c_str(), 10);
            std::vector<char> gmp_text(mpz_sizeinbase(value.z, static_cast<int>(base)) + 2);
            mpz_get_str(gmp_text.data(), static_cast<int>(base), value.z);
            const std::string text = gmp_text.data();

            TvlInt n(tvl_int_alloc(), &tvl_int_free), parsed(tvl_int_alloc(), &tvl_int_free);
            if (!n || !parsed || !tvl_int_from_str(n.get(), text.c_str(), base)) {
                std::fprintf(stderr, "bigint: tvl_int_from_str failed on %u digits in base %u\n",
                             decimal, base);
                return {};
            }
            std::vector<char> tvl_text(tvl_int_str_bufsize(tvl_int_bitlen(n.get()), base));
            const int len = tvl_int_to_str(n.get(), tvl_text.data(), tvl_text.size(), base);
            if (len < 0 || !same_digits(tvl_text.data(), text.c_str())) {
                std::fprintf(stderr,
                             "bigint: tvl_int_to_str and mpz_get_str disagree on %u digits "
                             "in base %u\n",
                             decimal, base);
                return {};
            }
            const std::vector<Contender> contenders = {
                {"tvl_int_from_str",
                 [&] { return uint64_t{tvl_int_from_str(parsed.get(), text.c_str(), base)}; }},
                {"mpz_set_str",
                 [&] {
                     return uint64_t{mpz_set_str(scratch.z, text.c_str(), static_cast<int>(base)) ==
                                     0};
                 }},
                {"tvl_int_to_str",
                 [&] {
                     return static_cast<uint64_t>(
                         tvl_int_to_str(n.get(), tvl_text.data(), tvl_text.size(), base));
                 }},
                {"mpz_get_str",
                 [&] {
                     mpz_get_str(gmp_text.data(), static_cast<int>(base), value.z);
                     return uint64_t{gmp_text[0] != '\0'};
                 }},
            };
            const std::vector<Timing> t = time_rotating(contenders, rounds, 0.01);
            if (t[0].result != 1 || t[1].result != 1 || t[2].result != text.size() ||
                tvl_int_cmp(parsed.get(), n.get()) != 0 || mpz_cmp(scratch.z, value.z) != 0) {
                std::fprintf(stderr, "bigint: a conversion failed on %u digits in base %u\n",
                             decimal, base);
                return {};
            }
            rows.push_back({decimal, base, static_cast<unsigned>(text.size()), t[0].seconds,
                            t[1].seconds, t[2].seconds, t[3].seconds});
        }
    }
    return rows;
}

}  // namespace tvlcompare
