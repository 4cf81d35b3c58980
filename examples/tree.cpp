// The C++ layer (tvlr.hpp) in one program: reads a document into a tree and prints its members,
// streams its events through a lambda, converts a value to SI units, writes a small document
// into a string, and does some big-integer and big-float arithmetic. The document is the file
// named on the command line, or a built-in one.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "tvlr.hpp"

namespace {

constexpr const char *kBuiltIn =
    ".name = \"Ada\";\n.height = 1.72 m;\n.speed = 12.5 k~m/s;\n.tags = [red, green];\n";

}  // namespace

int main(int argc, char **argv) {
    std::string text = kBuiltIn;
    if (argc > 1) {
        std::ifstream file(argv[1], std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "cannot open %s\n", argv[1]);
            return 2;
        }
        std::stringstream all;
        all << file.rdbuf();
        text = all.str();
    }
    std::printf("library %s\n", tvlr_version());

    // Events through a lambda; errors through another.
    tvlr::reader reader;
    int values = 0;
    bool ok = reader.read(
        text,
        [&](uint32_t kind, const tvlr_event &) { return values += kind == TVLR_EV_VALUE, true; },
        [](const tvlr::read_error &e) {
            std::fprintf(stderr, "error %s at %llu:%llu\n", std::string(e.name()).c_str(),
                         static_cast<unsigned long long>(e.line),
                         static_cast<unsigned long long>(e.column));
        });
    if (!ok) return 1;
    std::printf("%d values\n", values);

    // The tree: members with their string views, and a value in SI units.
    tvlr::document doc = tvlr::document::parse(text);
    if (!doc || doc.parse_error()) return 1;
    for (uint32_t i = 0; i < doc.size(); ++i)
        std::printf("member %.*s (node type %u)\n", static_cast<int>(doc.name(i).size()),
                    doc.name(i).data(), doc[i].type());
    if (tvlr::node speed = doc.lookup("speed"))
        std::printf("speed in SI: %g\n", speed.value_in_si());

    // A writer into a string through a lambda sink.
    std::string out;
    auto append = [&out](std::string_view bytes) {
        out.append(bytes);
        return true;
    };
    tvlr::writer writer;
    tvlr::unit metre = tvlr::unit::parse("m");
    bool written = writer && writer.open(tvlr::make_sink(append), false) &&
                   writer.string("name", "Ada") && writer.uint("age", 8, 36) &&
                   writer.real("height", 64, 1.72, metre.value) && writer.finish();
    if (!written) return 1;
    std::printf("written: %s\n", out.c_str());

    // Big numbers: 2^100 and one third at 200 bits.
    tvlr::integer n;
    if (!n || !n.parse("1267650600228229401496703205376")) return 1;
    std::printf("2^100 in base 16: %s\n", n.str(16).c_str());
    tvlr::big_float third(200);
    if (!third || !third.parse("0.333333333333333333333333333333333333333333333333333333333"))
        return 1;
    std::printf("1/3 at 200 bits: %s\n", third.str().c_str());
    return 0;
}
