// tvlr: check, format, query and convert documents of the tvlr notation.
#include <cstring>

#include "tool.h"

namespace {

constexpr const char *kUsage =
    "Usage: tvlr COMMAND [OPTIONS] ARGUMENTS...\n"
    "\n"
    "Commands:\n"
    "  check [--recover] FILE...       validate documents, print every error with a caret\n"
    "  fmt [--compact] [-i] FILE...    re-write documents in canonical form\n"
    "  get [--si] FILE PATH            print the value at a dotted path\n"
    "  units EXPR [TO]                 describe a unit, or the conversion to TO\n"
    "  events FILE                     print the reader's events\n"
    "  from-json [--compact] FILE      convert JSON to tvlr text\n"
    "  to-json [--compact] FILE        convert a tvlr document to JSON\n"
    "  version                         print the library version\n"
    "\n"
    "FILE '-' reads standard input. 'tvlr COMMAND --help' describes a command.\n"
    "Exit status: 0 success, 1 invalid document or value, 2 usage or I/O error.\n";

struct command {
    const char *name;
    int (*run)(const tool::args &);
};

constexpr command kCommands[] = {
    {"check", tool::run_check},     {"fmt", tool::run_fmt},
    {"get", tool::run_get},         {"units", tool::run_units},
    {"events", tool::run_events},   {"from-json", tool::run_from_json},
    {"to-json", tool::run_to_json},
};

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return tool::failure;
    }
    std::string_view name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        std::fputs(kUsage, stdout);
        return tool::flush_stdout() ? tool::ok : tool::failure;
    }
    if (name == "version" || name == "--version") {
        std::printf("tvlr %s (library %s)\n", TVLR_VERSION_STRING, tvlr_version());
        return tool::flush_stdout() ? tool::ok : tool::failure;
    }
    for (const command &c : kCommands) {
        if (name != c.name) continue;
        tool::args a = tool::split_args(c.name, argc - 2, argv + 2);
        int status = c.run(a);
        if (!tool::flush_stdout() && status == tool::ok) status = tool::failure;
        return status;
    }
    std::fprintf(stderr, "tvlr: unknown command '%s'\nTry 'tvlr --help'.\n", argv[1]);
    return tool::failure;
}
