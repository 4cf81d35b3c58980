// The standard JSON benchmark documents, measured only when their folder is
// named: by a --data=DIR argument or by the environment variable
// TVLR_BENCH_DATA. Without either, the programs measure generated documents
// only.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tvlbench {

// One JSON document converted to tvlr text; name is the file name without
// ".json" ("twitter").
struct JsonDocument {
    std::string name;
    std::string tvlr;
    std::string json;
};

// twitter.json, citm_catalog.json and canada.json from the folder, converted; a file that is
// missing or not JSON is reported on stderr and left out.
std::vector<JsonDocument> load_documents(const std::string &dir);

// The main of a benchmark program that may measure the JSON documents:
// removes --data=DIR from argv before Google Benchmark reads its options,
// loads twitter.json, citm_catalog.json and canada.json from that folder (a
// file that is missing or not JSON is reported on stderr and left out),
// calls register_one for each loaded document, and runs the benchmarks.
int run_benchmarks(int argc, char **argv,
                   const std::function<void(const JsonDocument &)> &register_one);

}  // namespace tvlbench
