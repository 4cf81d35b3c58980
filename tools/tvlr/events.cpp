// tvlr events: the reader's events, one a line.
#include "tool.h"

namespace tool {
namespace {

constexpr const char *kEventsHelp =
    "Usage: tvlr events FILE\n"
    "\n"
    "Prints the events the reader delivers, one a line: the event name, then for values\n"
    "and type parameters the value kind, the type, width and base in force, the unit and\n"
    "the text (octet blocks as a byte count). Errors are printed as by 'tvlr check'.\n"
    "\n"
    "Exit status: 0 for a valid document, 1 for an invalid one, 2 for usage or I/O errors.\n";

constexpr const char *kEventNames[] = {
    "doc_start",  "member_name", "octets_start", "octets_end", "struct_start",
    "struct_end", "array_start", "array_end",    "row_break",  "value",
    "type_start", "type_end",    "type_name",    "type_param", "doc_end",
};
constexpr const char *kValueKinds[] = {
    "none",   "string", "number", "symbol", "reference", "array_number", "array_string", "type",
    "octets", "null",   "10",     "unit",   "bits",      "base",         "fraction",     "bool",
};
constexpr const char *kTypes[] = {"plain", "utf8",      "sint",      "uint",
                                  "float", "float_fix", "float_dec", "bool"};

std::string event_line(uint32_t kind, const tvlr_event &e) {
    std::string line = kind < std::size(kEventNames) ? kEventNames[kind] : std::to_string(kind);
    if (kind == TVLR_EV_VALUE || kind == TVLR_EV_TYPE_PARAM)
        line += std::string(" kind=") + (e.value_kind < std::size(kValueKinds)
                                             ? kValueKinds[e.value_kind]
                                             : std::to_string(e.value_kind).c_str());
    if (e.value_type || e.bits || e.base) {
        line += std::string(" type=") + (e.value_type < std::size(kTypes)
                                             ? kTypes[e.value_type]
                                             : std::to_string(e.value_type).c_str());
        line += " bits=" + std::to_string(e.bits) + " base=" + std::to_string(e.base);
    }
    if (std::string unit = unit_text(e.unit); !unit.empty()) line += " unit=" + unit;
    if (e.text_len) {
        if (e.value_kind == TVL_VK_OCTETS)
            line += " (" + std::to_string(e.text_len) + " octets)";
        else
            line += cat(" ", quoted(tvlr::text(e)));
    }
    return line + "\n";
}

}  // namespace

int run_events(const args &a) {
    if (a.help) return std::fputs(kEventsHelp, stdout) < 0 ? failure : tool::ok;
    if (!only_options(a, {})) return failure;
    if (a.operands.size() != 1) return usage_error(a, "expected one FILE");
    input in;
    if (!load(a.operands[0], in)) return failure;
    tvlr::reader reader;
    if (!reader) return failure;
    bool output_failed = false;
    bool reported = false;
    bool ok = reader.read(
        in.data,
        [&](uint32_t kind, const tvlr_event &e) {
            output_failed = !emit(event_line(kind, e));
            return !output_failed;
        },
        [&](const tvlr::read_error &e) {
            if (output_failed) return;
            flush_stdout();
            print_diagnostic(stderr, in, e);
            reported = true;
        });
    if (output_failed) return failure;
    if (!ok && !reported) {
        flush_stdout();
        print_diagnostic(stderr, in, reader.error());
    }
    return ok ? tool::ok : invalid;
}

}  // namespace tool
