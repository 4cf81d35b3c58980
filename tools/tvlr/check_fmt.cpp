// tvlr check and tvlr fmt.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "tool.h"

namespace tool {
namespace {

constexpr const char *kCheckHelp =
    "Usage: tvlr check [--recover] FILE...\n"
    "\n"
    "Validates each document. Every error is printed on standard error as\n"
    "  FILE:LINE:COLUMN: error NAME (CODE)\n"
    "followed by the offending line and a caret under the column (columns count\n"
    "characters, tabs to stops of 4; tabs are kept in the caret line).\n"
    "\n"
    "  --recover   report every error of a file, not only the first\n"
    "\n"
    "Exit status: 0 when all documents are valid, 1 otherwise, 2 for usage or I/O errors.\n";

constexpr const char *kFmtHelp =
    "Usage: tvlr fmt [--compact] [-i] FILE...\n"
    "\n"
    "Re-writes each document in canonical form (pretty, with tabs and line feeds, unless\n"
    "--compact) on standard output. Every value is written with its type annotation.\n"
    "\n"
    "  --compact   no layout\n"
    "  -i          rewrite each file in place: the text goes to a temporary file in the same\n"
    "              folder, is synchronised to disk and renamed over the original; an invalid\n"
    "              document or a failed write leaves the original untouched\n"
    "\n"
    "Exit status: 0 when all documents were written, 1 when one is invalid, 2 for usage or\n"
    "I/O errors.\n";

// Re-writes a valid document through the canonical observer into the descriptor; false with
// errno set when the output fails.
bool write_canonical(const input &in, int fd, bool pretty) {
    tvlr_sink sink;
    tvlr_sink_to_fd(&sink, fd);
    tvlr::canon_observer observer(sink, pretty);
    tvlr::reader reader;
    if (!observer || !reader) {
        errno = ENOMEM;
        return false;
    }
    errno = 0;
    bool ok = reader.read(in.data, observer) && observer.finish();
    if (!ok && errno == 0) errno = EIO;
    return ok;
}

// Writes the canonical text next to the file and renames it over the file. A symbolic link is
// followed, so the file it names is replaced and the link stays.
int rewrite_in_place(const input &in, const std::string &name, bool pretty) {
    std::string path = name;
    if (char *real = ::realpath(name.c_str(), nullptr)) {
        path = real;
        std::free(real);
    }
    std::string dir = ".";
    std::string base = path;
    if (size_t slash = path.rfind('/'); slash != std::string::npos) {
        dir = slash == 0 ? "/" : path.substr(0, slash);
        base = path.substr(slash + 1);
    }
    std::string temp = dir + "/." + base + ".tvlr-XXXXXX";
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        complain("cannot create a temporary file in '" + dir + "': " + std::strerror(errno));
        return failure;
    }
    struct stat st;
    bool ok = write_canonical(in, fd, pretty);
    if (ok && ::stat(path.c_str(), &st) == 0) ok = ::fchmod(fd, st.st_mode & 07777) == 0;
    if (ok) ok = ::fsync(fd) == 0;
    int saved = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        complain("cannot rewrite '" + name + "': " + std::strerror(saved) +
                 " (the file is unchanged)");
        return failure;
    }
    return tool::ok;
}

}  // namespace

int run_check(const args &a) {
    if (a.help) return std::fputs(kCheckHelp, stdout) < 0 ? failure : tool::ok;
    if (!only_options(a, {"--recover"})) return failure;
    if (a.operands.empty()) return usage_error(a, "no file given");
    int status = tool::ok;
    for (auto name : a.operands) {
        input in;
        if (!load(name, in)) {
            status = failure;
            continue;
        }
        if (!validate(in, a.has("--recover")) && status == tool::ok) status = invalid;
    }
    return status;
}

int run_fmt(const args &a) {
    if (a.help) return std::fputs(kFmtHelp, stdout) < 0 ? failure : tool::ok;
    if (!only_options(a, {"--compact", "-i"})) return failure;
    if (a.operands.empty()) return usage_error(a, "no file given");
    bool in_place = a.has("-i");
    bool pretty = !a.has("--compact");
    if (in_place)
        for (auto name : a.operands)
            if (name == "-") return usage_error(a, "-i cannot rewrite standard input");
    int status = tool::ok;
    for (auto name : a.operands) {
        input in;
        if (!load(name, in)) {
            status = failure;
            continue;
        }
        if (!validate(in, false)) {
            if (in_place) complain("'" + in.shown + "' is left unchanged");
            if (status == tool::ok) status = invalid;
            continue;
        }
        if (in_place) {
            if (rewrite_in_place(in, in.shown, pretty) != tool::ok) status = failure;
            continue;
        }
        if (!flush_stdout()) return failure;
        if (!write_canonical(in, STDOUT_FILENO, pretty)) {
            complain(std::string("cannot write the output: ") + std::strerror(errno));
            return failure;
        }
    }
    return status;
}

}  // namespace tool
