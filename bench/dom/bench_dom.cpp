// Document trees: MB/s of tvl_dom_parse followed by tvl_dom_doc_destroy, beside the streaming
// read of the same text (tvlr_read with an event callback that only counts) and, when its header
// was found at configure time, RapidJSON's Document parse of the equivalent JSON. Inputs are the
// generated corpora and, when a data folder is given (--data=DIR or TVLR_BENCH_DATA), the JSON
// benchmark documents with their tvlr conversion.
//
// Peak heap per input byte is counted by this program's own malloc family, which forwards to the
// C library and, while a measurement runs, adds up the usable size of every live block: one
// untimed parse per input gives the highest count minus the count before it.
//
// At the end a table gives CPU milliseconds per document and the ratios tree / streaming read and
// tree / RapidJSON.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/corpora.h"
#include "support/json_to_tvlr.h"
#include "tvlr.h"

#if TVLR_HAVE_RAPIDJSON
#include <rapidjson/document.h>
#endif

// ---------------------------------------------------------------------------
// Counting malloc family

extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *block, size_t size);
void __libc_free(void *block);
}

namespace {
bool g_counting = false;
int64_t g_live = 0;
int64_t g_peak = 0;

void count_added(void *block) {
    if (!g_counting || block == nullptr) return;
    g_live += static_cast<int64_t>(malloc_usable_size(block));
    if (g_live > g_peak) g_peak = g_live;
}
}  // namespace

extern "C" {
void *malloc(size_t size) {
    void *p = __libc_malloc(size);
    count_added(p);
    return p;
}
void *calloc(size_t count, size_t size) {
    void *p = __libc_calloc(count, size);
    count_added(p);
    return p;
}
void *realloc(void *block, size_t size) {
    const int64_t old = g_counting && block ? static_cast<int64_t>(malloc_usable_size(block)) : 0;
    void *p = __libc_realloc(block, size);
    if (p != nullptr && g_counting) {
        // Counted as if the new block came before the old one was released: the most a move
        // can hold at once.
        count_added(p);
        g_live -= old;
    }
    return p;
}
void free(void *block) {
    if (g_counting && block != nullptr) g_live -= static_cast<int64_t>(malloc_usable_size(block));
    __libc_free(block);
}
}  // extern "C"

namespace {

// Runs f and gives the highest heap count it reached above the count it started with.
template <class F>
int64_t peak_heap(F f) {
    g_live = g_peak = 0;
    g_counting = true;
    f();
    g_counting = false;
    return g_peak;
}

// ---------------------------------------------------------------------------
// Inputs

struct Input {
    std::string name;
    std::string tvlr;
    std::string json;  // the same content as JSON
};

void append_json_string(std::string &out, const char *s, size_t len) {
    out += '"';
    for (size_t i = 0; i < len; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

void append_json(std::string &out, const tvl_dom_node *n);

void append_members(std::string &out, const tvl_dom_entry *entries, uint32_t count) {
    out += '{';
    for (uint32_t i = 0; i < count; ++i) {
        if (i) out += ',';
        append_json_string(out, entries[i].name, std::strlen(entries[i].name));
        out += ':';
        append_json(out, entries[i].node);
    }
    out += '}';
}

// The tree as JSON: structs as objects, arrays (all rows of a matrix) as arrays, symbols and
// references as strings, special numbers and octets as null.
void append_json(std::string &out, const tvl_dom_node *n) {
    switch (n->type) {
        case TVL_DOM_INT: {
            char *text = tvl_dom_int_to_str(n, 10);
            out += text != nullptr ? text : "null";
            tvl_dom_free_string(text);
            break;
        }
        case TVL_DOM_FLOAT: {
            if (!std::isfinite(n->value.f64)) {
                out += "null";
                break;
            }
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.17g", n->value.f64);
            out += buf;
            break;
        }
        case TVL_DOM_STRING:
        case TVL_DOM_SYMBOL:
        case TVL_DOM_REFERENCE:
            append_json_string(out, n->value.bytes, n->length);
            break;
        case TVL_DOM_BOOL:
            out += n->value.i64 ? "true" : "false";
            break;
        case TVL_DOM_STRUCT:
            append_members(out, n->entries, n->entry_count);
            break;
        case TVL_DOM_ARRAY:
            out += '[';
            for (uint32_t i = 0; i < n->item_count; ++i) {
                if (i) out += ',';
                append_json(out, n->items[i]);
            }
            out += ']';
            break;
        default:
            out += "null";
            break;
    }
}

std::string json_of(const std::string &tvlr) {
    tvl_dom_doc *doc = tvl_dom_parse(tvlr.data(), static_cast<uint32_t>(tvlr.size()));
    std::string out;
    if (doc != nullptr && doc->parse_error == 0) append_members(out, doc->entries, doc->count);
    tvl_dom_doc_destroy(doc);
    return out;
}

std::vector<Input> generated_inputs() {
    const size_t size = 8u << 20;
    std::vector<Input> inputs = {
        {"records", tvlbench::records_document(size), {}},
        {"strings", tvlbench::strings_document(size), {}},
        {"numbers", tvlbench::numbers_document(size), {}},
        {"nested", tvlbench::nested_document(size, 60), {}},
    };
    for (Input &in : inputs) in.json = json_of(in.tvlr);
    return inputs;
}

// --data=DIR (taken out of argv) or TVLR_BENCH_DATA: the JSON documents with their conversion.
std::vector<Input> json_inputs(int &argc, char **argv) {
    static constexpr char kOption[] = "--data=";
    std::string dir;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], kOption, sizeof kOption - 1) == 0)
            dir = argv[i] + sizeof kOption - 1;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    if (dir.empty())
        if (const char *env = std::getenv("TVLR_BENCH_DATA")) dir = env;
    std::vector<Input> inputs;
    if (dir.empty()) return inputs;
    for (const char *name : {"twitter", "citm_catalog", "canada"}) {
        const std::string path = dir + "/" + name + ".json";
        std::ifstream f(path, std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        Input in{name, {}, ss.str()};
        if (!f || !tvlbench::json_to_tvlr(in.json, in.tvlr)) {
            std::fprintf(stderr, "%s: cannot be read as JSON; left out\n", path.c_str());
            continue;
        }
        inputs.push_back(std::move(in));
    }
    return inputs;
}

// ---------------------------------------------------------------------------
// Benchmarks

void BM_Tree(benchmark::State &state, const Input *in) {
    const auto size = static_cast<uint32_t>(in->tvlr.size());
    uint32_t error = 0;
    const int64_t peak = peak_heap([&] {
        tvl_dom_doc *doc = tvl_dom_parse(in->tvlr.data(), size);
        error = doc != nullptr ? doc->parse_error : uint32_t{TVL_ERR_SCANNER_CALLBACK_FAILED};
        tvl_dom_doc_destroy(doc);
    });
    if (error != 0) {
        state.SkipWithError(tvl_error_to_string(error));
        return;
    }
    for (auto _ : state) {
        tvl_dom_doc *doc = tvl_dom_parse(in->tvlr.data(), size);
        benchmark::DoNotOptimize(doc);
        tvl_dom_doc_destroy(doc);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size);
    state.counters["heap/byte"] = static_cast<double>(peak) / size;
}

bool count_event(void *user, uint32_t, tvlr_event *) {
    ++*static_cast<uint64_t *>(user);
    return true;
}

void BM_Stream(benchmark::State &state, const Input *in) {
    uint64_t events = 0;
    tvlr_reader_options o{};
    o.max_struct_depth = 255;
    o.max_array_depth = 255;
    o.user_data = &events;
    o.on_event_after = &count_event;
    auto read = [&] {
        tvlr_reader *r = tvlr_reader_create();
        const bool ok =
            tvlr_open_read_mem(r, in->tvlr.data(), in->tvlr.size(), nullptr, 0, &o) && tvlr_read(r);
        tvlr_reader_destroy(r);
        return ok;
    };
    bool ok = false;
    const int64_t peak = peak_heap([&] { ok = read(); });
    if (!ok) {
        state.SkipWithError("read failed");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(read());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in->tvlr.size()));
    state.counters["heap/byte"] = static_cast<double>(peak) / static_cast<double>(in->tvlr.size());
}

#if TVLR_HAVE_RAPIDJSON
void BM_RapidJson(benchmark::State &state, const Input *in) {
    bool ok = false;
    const int64_t peak = peak_heap([&] {
        rapidjson::Document d;
        d.Parse(in->json.data(), in->json.size());
        ok = !d.HasParseError();
    });
    if (!ok) {
        state.SkipWithError("JSON parse failed");
        return;
    }
    for (auto _ : state) {
        rapidjson::Document d;
        d.Parse(in->json.data(), in->json.size());
        benchmark::DoNotOptimize(d.IsObject());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in->json.size()));
    state.counters["heap/byte"] = static_cast<double>(peak) / static_cast<double>(in->json.size());
}
#endif

// Keeps milliseconds per document and heap per byte of every run for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
            // Every benchmark here reports in milliseconds. CPU time: the machine may be shared.
            ms[run.benchmark_name()] = run.GetAdjustedCPUTime();
            const auto it = run.counters.find("heap/byte");
            if (it != run.counters.end()) heap[run.benchmark_name()] = it->second.value;
        }
    }
    std::map<std::string, double> ms, heap;

    double get(const std::map<std::string, double> &m, const std::string &key) const {
        const auto it = m.find(key);
        return it != m.end() ? it->second : NAN;
    }
};

}  // namespace

int main(int argc, char **argv) {
    std::vector<Input> inputs = json_inputs(argc, argv);
    std::vector<Input> generated = generated_inputs();
    inputs.insert(inputs.begin(), generated.begin(), generated.end());
    for (const Input &in : inputs) {
        benchmark::RegisterBenchmark(("tree/" + in.name).c_str(), BM_Tree, &in)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("stream/" + in.name).c_str(), BM_Stream, &in)
            ->Unit(benchmark::kMillisecond);
#if TVLR_HAVE_RAPIDJSON
        benchmark::RegisterBenchmark(("rapidjson/" + in.name).c_str(), BM_RapidJson, &in)
            ->Unit(benchmark::kMillisecond);
#endif
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    std::printf("\n%-14s %9s %9s %9s %9s %9s %11s %12s %9s %9s\n", "input", "tvlr MB", "json MB",
                "tree ms", "stream ms", "rjson ms", "tree/stream", "tree/rjson", "tree h/B",
                "rjson h/B");
    for (const Input &in : inputs) {
        const double tree = reporter.get(reporter.ms, "tree/" + in.name);
        const double stream = reporter.get(reporter.ms, "stream/" + in.name);
        const double rjson = reporter.get(reporter.ms, "rapidjson/" + in.name);
        std::printf("%-14s %9.2f %9.2f %9.2f %9.2f %9.2f %11.2f %12.2f %9.2f %9.2f\n",
                    in.name.c_str(), static_cast<double>(in.tvlr.size()) / 1e6,
                    static_cast<double>(in.json.size()) / 1e6, tree, stream, rjson, tree / stream,
                    tree / rjson, reporter.get(reporter.heap, "tree/" + in.name),
                    reporter.get(reporter.heap, "rapidjson/" + in.name));
    }
    return 0;
}
