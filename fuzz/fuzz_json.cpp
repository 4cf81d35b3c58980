// libFuzzer target: the JSON reader and writer of the tvlr tool (its from-json and to-json
// conversions read and write JSON with them). A text that reads is written compact and pretty;
// both read back, and written compact again they give the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "../tools/tvlr/json.h"

namespace {

std::string compact(const tool::json::value &v) {
    std::string out;
    tool::json::write(out, v, false);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    tool::json::value first;
    tool::json::parse_error error;
    if (!tool::json::parse(text, first, error)) return 0;
    const std::string once = compact(first);
    for (bool pretty : {false, true}) {
        std::string written;
        tool::json::write(written, first, pretty);
        tool::json::value again;
        if (!tool::json::parse(written, again, error)) {
            std::fprintf(stderr, "written JSON does not read (%s): %s\n", error.message.c_str(),
                         written.c_str());
            std::abort();
        }
        if (compact(again) != once) {
            std::fprintf(stderr, "JSON reads back differently:\n  %s\n  %s\n", once.c_str(),
                         compact(again).c_str());
            std::abort();
        }
    }
    return 0;
}
