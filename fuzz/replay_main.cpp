// Replays inputs through a fuzz target without libFuzzer: every file named on the command line,
// or found directly inside a folder named there, is handed to LLVMFuzzerTestOneInput once. A
// broken invariant aborts inside the target, so the test fails; the count of inputs is printed.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

bool replay_file(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char **argv) {
    unsigned long count = 0;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg(argv[i]);
        std::error_code ec;
        if (std::filesystem::is_directory(arg, ec)) {
            for (const auto &entry : std::filesystem::directory_iterator(arg, ec)) {
                if (!entry.is_regular_file()) continue;
                if (!replay_file(entry.path())) return 1;
                ++count;
            }
            if (ec) return 1;
        } else {
            if (!replay_file(arg)) return 1;
            ++count;
        }
    }
    std::printf("%lu inputs replayed\n", count);
    return count > 0 ? 0 : 1;
}
