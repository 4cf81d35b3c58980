#include "bench_data.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "json_to_tvlr.h"

namespace tvlbench {
namespace {

constexpr char kDataOption[] = "--data=";

// The folder from --data=DIR (taken out of argv) or else TVLR_BENCH_DATA;
// empty when neither names one.
std::string take_data_dir(int &argc, char **argv) {
    std::string dir;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], kDataOption, sizeof kDataOption - 1) == 0)
            dir = argv[i] + sizeof kDataOption - 1;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    if (dir.empty())
        if (const char *env = std::getenv("TVLR_BENCH_DATA")) dir = env;
    return dir;
}

bool read_file(const std::string &path, std::string &out) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    std::ostringstream ss;
    ss << f.rdbuf();
    out = ss.str();
    return !f.bad();
}

}  // namespace

std::vector<JsonDocument> load_documents(const std::string &dir) {
    std::vector<JsonDocument> docs;
    for (const char *name : {"twitter", "citm_catalog", "canada"}) {
        const std::string path = dir + "/" + name + ".json";
        JsonDocument doc{name, {}, {}};
        if (!read_file(path, doc.json))
            std::fprintf(stderr, "%s: cannot be read; its benchmarks are left out\n", path.c_str());
        else if (!json_to_tvlr(doc.json, doc.tvlr))
            std::fprintf(stderr, "%s: not JSON; its benchmarks are left out\n", path.c_str());
        else
            docs.push_back(std::move(doc));
    }
    return docs;
}

int run_benchmarks(int argc, char **argv,
                   const std::function<void(const JsonDocument &)> &register_one) {
    const std::string dir = take_data_dir(argc, argv);
    // The registered benchmarks refer to these documents until the run ends.
    const std::vector<JsonDocument> docs =
        dir.empty() ? std::vector<JsonDocument>{} : load_documents(dir);
    for (const JsonDocument &doc : docs) register_one(doc);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace tvlbench
