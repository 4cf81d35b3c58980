// Arguments, inputs, diagnostics and output of the tvlr tool.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include "tool.h"

namespace tool {

bool args::has(std::string_view option) const {
    for (auto o : options)
        if (o == option) return true;
    return false;
}

args split_args(std::string_view command, int argc, char **argv) {
    args a;
    a.command = command;
    bool options_done = false;
    for (int i = 0; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (!options_done && arg == "--") {
            options_done = true;
        } else if (!options_done && arg.size() > 1 && arg[0] == '-') {
            if (arg == "--help" || arg == "-h")
                a.help = true;
            else
                a.options.push_back(arg);
        } else {
            a.operands.push_back(arg);
        }
    }
    return a;
}

bool only_options(const args &a, std::initializer_list<std::string_view> known) {
    for (auto o : a.options) {
        bool found = false;
        for (auto k : known) found = found || o == k;
        if (!found) {
            usage_error(a, "unknown option '" + std::string(o) + "'");
            return false;
        }
    }
    return true;
}

int usage_error(const args &a, const std::string &message) {
    std::fprintf(stderr, "tvlr %.*s: %s\nTry 'tvlr %.*s --help'.\n", int(a.command.size()),
                 a.command.data(), message.c_str(), int(a.command.size()), a.command.data());
    return failure;
}

void complain(const std::string &message) {
    std::fprintf(stderr, "tvlr: %s\n", message.c_str());
}

bool load(std::string_view name, input &in) {
    in.data.clear();
    bool is_stdin = name == "-";
    in.shown = is_stdin ? "<stdin>" : std::string(name);
    int fd = 0;
    if (!is_stdin) {
        fd = ::open(in.shown.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            complain("cannot open '" + in.shown + "': " + std::strerror(errno));
            return false;
        }
    }
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        complain("'" + in.shown + "' is a directory");
        if (!is_stdin) ::close(fd);
        return false;
    }
    char buffer[65536];
    bool good = true;
    for (;;) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            complain("cannot read '" + in.shown + "': " + std::strerror(errno));
            good = false;
            break;
        }
        if (got == 0) break;
        in.data.append(buffer, static_cast<size_t>(got));
    }
    if (!is_stdin) ::close(fd);
    return good;
}

namespace {

// The bytes of line `number` (from 1) without its line break; line breaks are CR, LF or CR LF,
// as the reader counts them. Empty past the end.
std::string_view line_of(std::string_view data, uint64_t number) {
    size_t pos = 0;
    for (uint64_t line = 1; line < number; ++line) {
        size_t brk = data.find_first_of("\r\n", pos);
        if (brk == std::string_view::npos) return {};
        pos = brk + 1;
        if (data[brk] == '\r' && pos < data.size() && data[pos] == '\n') ++pos;
    }
    size_t end = data.find_first_of("\r\n", pos);
    return data.substr(pos, end == std::string_view::npos ? data.size() - pos : end - pos);
}

}  // namespace

void print_diagnostic(FILE *out, const input &in, const tvlr::read_error &error) {
    std::fprintf(out, "%s:%llu:%llu: error %s (%u)\n", in.shown.c_str(),
                 static_cast<unsigned long long>(error.line),
                 static_cast<unsigned long long>(error.column), tvl_error_to_string(error.code),
                 static_cast<unsigned>(error.code));
    if (error.line == 0) return;
    std::string_view line = line_of(in.data, error.line);
    // The caret goes under the character at the reported column, counted as the reader counts
    // it: one per character, tabs to the next stop of 4. Tabs are copied so that the caret
    // lines up whatever the terminal's tab width.
    std::string lead;
    uint64_t column = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (c >= 0x80 && c < 0xC0) continue;  // continuation byte
        uint64_t next = c == '\t' ? column / 4 * 4 + 4 : column + 1;
        if (next >= error.column) break;
        lead += c == '\t' ? '\t' : ' ';
        column = next;
    }
    // Control bytes other than the tab are shown as '?', one column each like the reader.
    std::string shown(line);
    for (char &c : shown)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) c = '?';
    std::fprintf(out, "%s\n%s^\n", shown.c_str(), lead.c_str());
}

bool validate(const input &in, bool recover) {
    tvlr::reader reader;
    if (!reader) {
        complain("out of memory");
        return false;
    }
    tvlr_reader_options options{};
    options.recover = recover;
    bool reported = false;
    bool ok = reader.read(
        in.data, tvlr::ignore_events{},
        [&](const tvlr::read_error &e) {
            print_diagnostic(stderr, in, e);
            reported = true;
        },
        options);
    if (!ok && !reported) print_diagnostic(stderr, in, reader.error());
    return ok && !reported;
}

bool emit(std::string_view bytes) {
    if (bytes.empty()) return true;
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size()) return true;
    complain(std::string("cannot write the output: ") + std::strerror(errno));
    return false;
}

bool flush_stdout() {
    if (std::fflush(stdout) == 0) return true;
    complain(std::string("cannot write the output: ") + std::strerror(errno));
    return false;
}

std::string number_text(double value) {
    if (std::isnan(value)) return "$nan";
    if (std::isinf(value)) return value < 0 ? "$-inf" : "$inf";
    char buffer[64];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, r.ptr);
}

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\v':
                out += "\\v";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\r':
                out += "\\r";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out += c;
        }
    }
    return out + '"';
}

std::string annotation_text(tvl_type_annotation a) {
    static constexpr const char *kWords[] = {"",      "utf8",      "sint",      "uint",
                                             "float", "float_fix", "float_dec", "bool"};
    if (a.value_type == 0 || a.value_type > 7) return {};
    std::string out = std::string("<") + kWords[a.value_type];
    char sep = ':';
    if (a.bits) {
        out += sep + std::to_string(a.bits);
        sep = ',';
    }
    if (a.value_type == TVLR_TYPE_FLOAT_FIX && a.base) {
        out += sep + std::string("q") + std::to_string(a.base);
    } else if (a.base && a.base != 10) {
        out += sep + std::string("_") + std::to_string(a.base);
    }
    return out + '>';
}

bool has_unit(const tvl_unit &unit) {
    return unit.count > 1 || (unit.count == 1 && unit.factors[0].base != 0);
}

std::string unit_text(const tvl_unit &unit) {
    if (!has_unit(unit)) return {};
    return tvlr::unit{unit, true}.str();
}

}  // namespace tool
