#include "corpora.h"

#include <cstdint>
#include <random>

namespace tvlbench {
namespace {

// The generator's next value; std::mt19937 gives 32 bits.
uint32_t next(std::mt19937 &rng) {
    return static_cast<uint32_t>(rng());
}

// `digits` decimal digits of value, with leading zeros.
std::string padded(uint32_t value, int digits) {
    std::string s(static_cast<size_t>(digits), '0');
    for (int i = digits - 1; i >= 0 && value != 0; --i, value /= 10)
        s[static_cast<size_t>(i)] = static_cast<char>('0' + value % 10);
    return s;
}

// A decimal such as -73.5912345: up to three integer digits and seven
// fraction digits.
std::string decimal(std::mt19937 &rng) {
    std::string s = rng() & 1 ? "-" : "";
    s += std::to_string(rng() % 1000);
    s += '.';
    s += padded(next(rng) % 10000000, 7);
    return s;
}

// A number with an exponent such as 6.02214e23 or 1.5e-7.
std::string scientific(std::mt19937 &rng) {
    std::string s = std::to_string(1 + rng() % 9);
    s += '.';
    s += padded(next(rng) % 100000, 5);
    s += 'e';
    if (rng() & 1) s += '-';
    s += std::to_string(rng() % 300);
    return s;
}

std::string hex_digits(uint32_t value) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string s(8, '0');
    for (int i = 7; i >= 0; --i, value >>= 4) s[static_cast<size_t>(i)] = kDigits[value & 15];
    return s;
}

}  // namespace

std::string records_document(size_t min_bytes) {
    std::mt19937 rng(42);
    std::string doc;
    doc.reserve(min_bytes + 256);
    for (size_t i = 0; doc.size() < min_bytes; ++i) {
        doc += ".rec" + std::to_string(i) + " = {\n";
        doc += "    .id = " + std::to_string(rng()) + ";\n";
        doc += "    .name = \"user name " + std::to_string(rng() % 1000) + " with some text\";\n";
        doc += "    .score = " + std::to_string(rng() % 100000) + "." +
               std::to_string(rng() % 1000) + ";\n";
        doc += "    .active = " + std::string(rng() & 1 ? "true" : "false") + ";\n";
        doc += "    .tags = [alpha, beta, gamma];\n";
        doc += "    .point = [" + std::to_string(rng() % 1000) + ", " +
               std::to_string(rng() % 1000) + "];\n";
        doc += "};\n";
    }
    return doc;
}

std::string strings_document(size_t min_bytes) {
    std::string doc;
    doc.reserve(min_bytes + 256);
    for (size_t i = 0; doc.size() < min_bytes; ++i)
        doc += ".text" + std::to_string(i) +
               " = \"Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod "
               "tempor incididunt ut labore et dolore magna aliqua.\";\n        \n";
    return doc;
}

std::string numbers_document(size_t min_bytes) {
    std::mt19937 rng(7);
    std::string doc;
    doc.reserve(min_bytes + 512);
    for (size_t i = 0; doc.size() < min_bytes; ++i) {
        const std::string n = std::to_string(i);
        doc += ".path" + n + " = [";
        for (int k = 0; k < 8; ++k) {
            if (k) doc += ", ";
            doc += '[' + decimal(rng) + ", " + decimal(rng) + ']';
        }
        doc += "];\n";
        doc += ".consts" + n + " = [";
        for (int k = 0; k < 4; ++k) {
            if (k) doc += ", ";
            doc += scientific(rng);
        }
        doc += "];\n";
        doc += ".count" + n + " = <sint:32> -" + std::to_string(rng() % 2147483647) + ";\n";
        doc += ".speed" + n + " = " + decimal(rng) + " k~m/s;\n";
        doc += ".mask" + n + " = <uint:32,_16> \"" + hex_digits(next(rng)) + "\";\n";
    }
    return doc;
}

std::string nested_document(size_t min_bytes, unsigned depth) {
    std::string doc;
    doc.reserve(min_bytes + 64 * size_t{depth});
    for (size_t i = 0; doc.size() < min_bytes; ++i) {
        const std::string n = std::to_string(i);
        doc += ".tree" + n + " = ";
        for (unsigned d = 0; d < depth; ++d) doc += "{ .v = " + std::to_string(d) + "; .next = ";
        doc += "null;";
        for (unsigned d = 0; d < depth; ++d) doc += " };";
        doc += '\n';
        doc += ".grid" + n + " = ";
        doc.append(depth, '[');
        doc += n;
        doc.append(depth, ']');
        doc += ";\n";
    }
    return doc;
}

std::string random_digits(size_t count, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::string s(count, '0');
    for (char &c : s) c = static_cast<char>('0' + rng() % 10);
    s[0] = static_cast<char>('1' + rng() % 9);
    return s;
}

}  // namespace tvlbench
