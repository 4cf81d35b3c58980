// Shared pieces of the tvlr command-line tool: arguments, inputs, messages and exit codes.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "tvlr.hpp"

namespace tool {

// Exit codes: success, an invalid document (or a value that cannot be converted), and a usage
// or input/output problem.
enum exit_code : int { ok = 0, invalid = 1, failure = 2 };

// The arguments of one command after its name, split into options and operands. Options are
// recognised up to "--"; a lone "-" is an operand (standard input).
struct args {
    std::string_view command;
    std::vector<std::string_view> options;
    std::vector<std::string_view> operands;
    bool help = false;

    bool has(std::string_view option) const;
};
args split_args(std::string_view command, int argc, char **argv);

// Checks that every option is one of `known`; prints a usage message otherwise.
bool only_options(const args &a, std::initializer_list<std::string_view> known);
// Prints "tvlr COMMAND: message" and a hint to the command's help on standard error.
int usage_error(const args &a, const std::string &message);
// Prints "tvlr: message" on standard error.
void complain(const std::string &message);

// One input file held in memory; `shown` is the name used in messages.
struct input {
    std::string shown;
    std::string data;
};
// Reads FILE (or standard input for "-"); prints a message and returns false when it cannot.
bool load(std::string_view name, input &in);

// Prints "FILE:LINE:COLUMN: error NAME (CODE)", the offending line and a caret under the column.
void print_diagnostic(FILE *out, const input &in, const tvlr::read_error &error);

// Reads the document and prints every error it finds (all of them with recovery, else the
// first); true when it is valid.
bool validate(const input &in, bool recover);

// Writes bytes to standard output; false (with a message) when the output fails.
bool emit(std::string_view bytes);
// Flushes standard output; false (with a message) when it fails, as on a full disk.
bool flush_stdout();

// A double as the shortest text that reads back to it; "$nan", "$inf", "$-inf" for the specials.
std::string number_text(double value);
// A string in tvlr quotes with the seven escapes.
std::string quoted(std::string_view text);
// The annotation "<uint:8,_16>" for a type, width and base; empty for no type.
std::string annotation_text(tvl_type_annotation annotation);
// A unit's canonical text; empty for no unit.
std::string unit_text(const tvl_unit &unit);
bool has_unit(const tvl_unit &unit);

// The pieces joined; used instead of "x" + std::string chains, which g++ 12 at -O3 warns about
// (a false -Wrestrict).
template <class... Parts>
std::string cat(const Parts &...parts) {
    std::string out;
    (out.append(std::string_view(parts)), ...);
    return out;
}

// The commands.
int run_check(const args &a);
int run_fmt(const args &a);
int run_get(const args &a);
int run_units(const args &a);
int run_events(const args &a);
int run_from_json(const args &a);
int run_to_json(const args &a);

}  // namespace tool
