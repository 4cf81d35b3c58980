// bench_compare: the tvlr reader, writer and big-integer text beside the best known programs of
// their kind, in one process and in rotation (see rotation.h).
//
//   Reading   the same documents as tvlr text (tvlr_read, without callbacks and with a
//             counting on_event) and as JSON: RapidJSON's SAX reader (a handler that does
//             nothing and one that counts), yajl and simdjson (both counting). Generated pairs
//             (records, floats, strings, nested) and a long stream read in chunks; with
//             --data=DIR or TVLR_BENCH_DATA also twitter, citm_catalog and canada, converted to
//             tvlr text with json_to_tvlr.
//   Writing   generated records through tvlr_write_event and the typed writers into memory,
//             beside RapidJSON's Writer and yajl_gen; reading with the canonical observer
//             beside the plain read and beside RapidJSON's reader driving its writer.
//   Big integers  tvl_int_from_str and tvl_int_to_str beside GMP.
//
// Ratios divide the other program's time per document by tvlr's: above 1, tvlr is faster.
//
// Options: --data=DIR, --mib=N (size of each generated corpus, 16), --stream-mib=N (the long
// stream, 64; 256 to 1024 for a long run), --rounds=N (5), --only=read|write|bigint.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bigint_compare.h"
#include "corpus_pairs.h"
#include "readers.h"
#include "rotation.h"
#include "support/bench_data.h"
#include "writers.h"

namespace tvlcompare {
namespace {

struct Options {
    std::string data_dir;
    size_t corpus_bytes = size_t{16} << 20;
    uint64_t stream_bytes = uint64_t{64} << 20;
    unsigned rounds = 5;
    std::string only;
};

bool parse_options(int argc, char **argv, Options &o) {
    if (const char *env = std::getenv("TVLR_BENCH_DATA")) o.data_dir = env;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char *prefix, std::string &out) {
            const size_t n = std::strlen(prefix);
            if (arg.compare(0, n, prefix) != 0) return false;
            out = arg.substr(n);
            return true;
        };
        std::string v;
        if (value("--data=", v)) {
            o.data_dir = v;
        } else if (value("--mib=", v) && std::atoi(v.c_str()) > 0) {
            o.corpus_bytes = static_cast<size_t>(std::atoi(v.c_str())) << 20;
        } else if (value("--stream-mib=", v) && std::atoi(v.c_str()) > 0) {
            o.stream_bytes = static_cast<uint64_t>(std::atoi(v.c_str())) << 20;
        } else if (value("--rounds=", v) && std::atoi(v.c_str()) > 0) {
            o.rounds = static_cast<unsigned>(std::atoi(v.c_str()));
        } else if (value("--only=", v) && (v == "read" || v == "write" || v == "bigint")) {
            o.only = v;
        } else {
            std::fprintf(stderr,
                         "usage: %s [--data=DIR] [--mib=N] [--stream-mib=N] [--rounds=N] "
                         "[--only=read|write|bigint]\n",
                         argv[0]);
            return false;
        }
    }
    return true;
}

std::vector<Pair> corpora(const Options &o) {
    std::vector<Pair> pairs;
    pairs.push_back(records_pair(o.corpus_bytes));
    pairs.push_back(floats_pair(o.corpus_bytes));
    pairs.push_back(strings_pair(o.corpus_bytes));
    // Sixty levels: within yajl's limit of 128 and tvlr's default of 64.
    pairs.push_back(nested_pair(o.corpus_bytes, 60));
    if (o.data_dir.empty()) return pairs;
    for (tvlbench::JsonDocument &d : tvlbench::load_documents(o.data_dir))
        pairs.push_back({std::move(d.name), std::move(d.tvlr), std::move(d.json)});
    return pairs;
}

double mb_per_s(uint64_t bytes, double seconds) {
    return static_cast<double>(bytes) / 1e6 / seconds;
}

// The counts of every counting reader must agree: a tvlr document counts as the JSON root
// object, and tvlr sees one null in each empty array (the first JSON reader, RapidJSON, counts
// those). Prints the counts; false with a message when they differ.
bool check_counts(const std::string &name, Counts tvlr,
                  const std::vector<std::pair<const char *, Counts>> &json) {
    std::printf("%-16s values/keys  tvlr %llu/%llu", name.c_str(),
                static_cast<unsigned long long>(tvlr.values),
                static_cast<unsigned long long>(tvlr.keys));
    const Counts &first = json.front().second;
    bool same = tvlr.ok && tvlr.values == first.values + first.empty_arrays;
    for (const auto &[reader, c] : json) {
        std::printf("  %s %llu/%llu", reader, static_cast<unsigned long long>(c.values),
                    static_cast<unsigned long long>(c.keys));
        same = same && c.ok && c.values == first.values && c.keys == tvlr.keys;
    }
    if (first.empty_arrays != 0)
        std::printf("  (%llu empty JSON arrays)",
                    static_cast<unsigned long long>(first.empty_arrays));
    std::printf("\n");
    std::fflush(stdout);
    if (!same)
        std::fprintf(stderr,
                     "%s: the readers do not see the same document (or one failed); its "
                     "figures would compare different work\n",
                     name.c_str());
    return same;
}

struct ReadRow {
    std::string corpus;
    uint64_t tvlr_bytes, json_bytes;
    // Seconds per document: tvlr without and with callback, RapidJSON no-op and counting, yajl,
    // simdjson (NAN when it has no way to read the input).
    double tvlr_plain, tvlr_count, rj_plain, rj_count, yajl, simd;
};

bool read_corpora(const Options &o, std::vector<ReadRow> &rows) {
    SimdjsonReader simd;
    for (const Pair &p : corpora(o)) {
        simd.load(p.json);
        const Counts tvlr = tvlr_read_mem(p.tvlr, true);
        if (!check_counts(p.name, tvlr,
                          {{"RapidJSON", rapidjson_read(p.json, true)},
                           {"yajl", yajl_read(p.json)},
                           {"simdjson", simd.read()}}))
            return false;
        const std::vector<Contender> contenders = {
            {"tvlr", [&] { return uint64_t{tvlr_read_mem(p.tvlr, false).ok}; }},
            {"tvlr counting", [&] { return tvlr_read_mem(p.tvlr, true).values; }},
            {"RapidJSON", [&] { return uint64_t{rapidjson_read(p.json, false).ok}; }},
            {"RapidJSON counting", [&] { return rapidjson_read(p.json, true).values; }},
            {"yajl", [&] { return yajl_read(p.json).values; }},
            {"simdjson", [&] { return simd.read().values; }},
        };
        const std::vector<Timing> t = time_rotating(contenders, o.rounds, 0.05);
        rows.push_back({p.name, p.tvlr.size(), p.json.size(), t[0].seconds, t[1].seconds,
                        t[2].seconds, t[3].seconds, t[4].seconds, t[5].seconds});
    }

    // The long stream: copies of a 1 MiB records block.
    const Block block = records_block(size_t{1} << 20);
    const uint64_t blocks = std::max<uint64_t>(1, o.stream_bytes / block.tvlr.size());
    const std::string name = "stream " + std::to_string(o.stream_bytes >> 20) + " MiB";
    if (!check_counts(name, tvlr_read_stream(block, blocks, true),
                      {{"RapidJSON", rapidjson_read_stream(block, blocks, true)},
                       {"yajl", yajl_read_stream(block, blocks)}}))
        return false;
    const std::vector<Contender> contenders = {
        {"tvlr", [&] { return uint64_t{tvlr_read_stream(block, blocks, false).ok}; }},
        {"tvlr counting", [&] { return tvlr_read_stream(block, blocks, true).values; }},
        {"RapidJSON", [&] { return uint64_t{rapidjson_read_stream(block, blocks, false).ok}; }},
        {"RapidJSON counting", [&] { return rapidjson_read_stream(block, blocks, true).values; }},
        {"yajl", [&] { return yajl_read_stream(block, blocks).values; }},
    };
    const std::vector<Timing> t = time_rotating(contenders, std::max(1u, o.rounds / 2), 0.05);
    rows.push_back({name, tvlr_stream_bytes(block, blocks), json_stream_bytes(block, blocks),
                    t[0].seconds, t[1].seconds, t[2].seconds, t[3].seconds, t[4].seconds, NAN});
    return true;
}

// A figure of width 9 with `decimals` decimals, or "n/a" where a reader had no way to run.
std::string cell(double value, int decimals) {
    char buf[32];
    if (std::isnan(value))
        std::snprintf(buf, sizeof buf, "%9s", "n/a");
    else
        std::snprintf(buf, sizeof buf, "%9.*f", decimals, value);
    return buf;
}

void print_read_table(const std::vector<ReadRow> &rows) {
    std::printf(
        "\nReading: MB/s of each reader's own text; ratios = other's time / tvlr's time "
        "per document (> 1: tvlr faster); counting readers against counting tvlr, the "
        "RapidJSON no-op handler against tvlr without callbacks\n");
    std::printf("%-16s %8s %8s |%9s %9s |%9s %9s %9s %9s |%9s %9s %9s %9s\n", "corpus", "tvlr MB",
                "json MB", "tvlr", "tvlr cnt", "rj no-op", "rj cnt", "yajl", "simdjson",
                "/rj no-op", "/rj cnt", "/yajl", "/simdjson");
    for (const ReadRow &r : rows) {
        std::printf("%-16s %8.1f %8.1f |", r.corpus.c_str(),
                    static_cast<double>(r.tvlr_bytes) / 1e6,
                    static_cast<double>(r.json_bytes) / 1e6);
        for (const double v :
             {mb_per_s(r.tvlr_bytes, r.tvlr_plain), mb_per_s(r.tvlr_bytes, r.tvlr_count)})
            std::printf("%s ", cell(v, 1).c_str());
        std::printf("|");
        for (const double seconds : {r.rj_plain, r.rj_count, r.yajl, r.simd})
            std::printf("%s ", cell(mb_per_s(r.json_bytes, seconds), 1).c_str());
        std::printf("|");
        for (const double v : {r.rj_plain / r.tvlr_plain, r.rj_count / r.tvlr_count,
                               r.yajl / r.tvlr_count, r.simd / r.tvlr_count})
            std::printf("%s ", cell(v, 2).c_str());
        std::printf("\n");
    }
    std::printf("(simdjson has no streaming of one document: n/a for the stream)\n");
}

// Checks that a written text reads back with the records' counts; prints them.
bool check_written(const char *name, const std::string &text, bool tvlr, size_t records) {
    const Counts c = tvlr ? tvlr_read_mem(text, true) : rapidjson_read(text, true);
    // Per record: the struct, six members, three tags and two coordinates; and the root.
    const bool right = c.ok && c.values == 1 + records * 12 && c.keys == records * 7;
    std::printf("  %-22s %10zu bytes, values/keys read back %llu/%llu\n", name, text.size(),
                static_cast<unsigned long long>(c.values), static_cast<unsigned long long>(c.keys));
    if (right) return true;
    std::fprintf(stderr, "%s: the written text does not read back as the records\n", name);
    return false;
}

bool write_records(const Options &o) {
    RecordWriters w(o.corpus_bytes);
    std::printf("\nWriting %zu records (the same logical document in each program):\n",
                w.record_count());
    struct Way {
        const char *name;
        uint64_t (RecordWriters::*write)();
        bool tvlr;
    };
    const Way ways[] = {
        {"tvlr events", &RecordWriters::tvlr_events, true},
        {"tvlr typed writers", &RecordWriters::tvlr_typed, true},
        {"RapidJSON raw numbers", &RecordWriters::rapidjson_raw, false},
        {"RapidJSON Uint64/Double", &RecordWriters::rapidjson_typed, false},
        {"yajl_gen raw numbers", &RecordWriters::yajl_raw, false},
        {"yajl_gen integer/double", &RecordWriters::yajl_typed, false},
    };
    std::vector<Contender> contenders;
    for (const Way &way : ways) {
        if ((w.*way.write)() == 0 ||
            !check_written(way.name, w.last_output(), way.tvlr, w.record_count())) {
            std::fprintf(stderr, "%s: writing failed\n", way.name);
            return false;
        }
        contenders.push_back({way.name, [&w, way] { return (w.*way.write)(); }});
    }
    const std::vector<Timing> t = time_rotating(contenders, o.rounds, 0.05);
    std::printf("%-24s %10s %10s %12s %12s\n", "writer", "MB out", "MB/s out", "records/s",
                "ratio");
    for (size_t i = 0; i < t.size(); ++i) {
        // Raw-number writers against tvlr_write_event, value writers against the typed writers.
        const double base = t[i % 2].seconds;
        std::printf("%-24s %10.1f %10.1f %12.3g %12.2f\n", ways[i].name,
                    static_cast<double>(t[i].result) / 1e6, mb_per_s(t[i].result, t[i].seconds),
                    static_cast<double>(w.record_count()) / t[i].seconds, t[i].seconds / base);
    }
    std::printf(
        "(ratio: the writer's time / tvlr's time for the same records: raw-number writers "
        "against tvlr events, value writers against the typed writers)\n");
    return true;
}

bool canonicalise_corpora(const Options &o) {
    std::printf(
        "\nReading and re-writing: tvlr_read alone, tvlr_read with the canonical observer "
        "into a counting sink, RapidJSON's reader into its Writer<StringBuffer>\n");
    std::printf("%-16s %10s %12s %10s %12s %14s\n", "corpus", "read MB/s", "canon MB/s",
                "canon/read", "rj MB/s", "rj/tvlr canon");
    for (const Pair &p : corpora(o)) {
        const uint64_t canon = tvlr_canonicalise(p.tvlr);
        if (canon == 0 || rapidjson_rewrite(p.json) == 0) {
            std::fprintf(stderr, "%s: re-writing failed\n", p.name.c_str());
            return false;
        }
        const std::vector<Contender> contenders = {
            {"read", [&] { return uint64_t{tvlr_read_mem(p.tvlr, false).ok}; }},
            {"canonicalise", [&] { return tvlr_canonicalise(p.tvlr); }},
            {"RapidJSON", [&] { return rapidjson_rewrite(p.json); }},
        };
        const std::vector<Timing> t = time_rotating(contenders, o.rounds, 0.05);
        std::printf("%-16s %10.1f %12.1f %10.2f %12.1f %14.2f\n", p.name.c_str(),
                    mb_per_s(p.tvlr.size(), t[0].seconds), mb_per_s(p.tvlr.size(), t[1].seconds),
                    t[1].seconds / t[0].seconds, mb_per_s(p.json.size(), t[2].seconds),
                    t[2].seconds / t[1].seconds);
    }
    return true;
}

bool bigint(const Options &o) {
    const std::vector<BigintRow> rows = compare_bigint(o.rounds);
    if (rows.empty()) return false;
    std::printf(
        "\nBig-integer text: ns per conversion; ratio = GMP's time / tvl's (> 1: tvl "
        "faster)\n");
    std::printf("%8s %5s %7s | %12s %12s %7s | %12s %12s %7s\n", "dec dig", "base", "digits",
                "from_str", "mpz_set_str", "ratio", "to_str", "mpz_get_str", "ratio");
    for (const BigintRow &r : rows)
        std::printf("%8u %5u %7u | %12.0f %12.0f %7.2f | %12.0f %12.0f %7.2f\n", r.decimal_digits,
                    r.base, r.digits, r.tvl_from * 1e9, r.gmp_from * 1e9, r.gmp_from / r.tvl_from,
                    r.tvl_to * 1e9, r.gmp_to * 1e9, r.gmp_to / r.tvl_to);
    return true;
}

}  // namespace
}  // namespace tvlcompare

int main(int argc, char **argv) {
    using namespace tvlcompare;
    Options o;
    if (!parse_options(argc, argv, o)) return 2;
    std::printf(
        "bench_compare: corpora of %zu MiB, stream of %llu MiB, %u rounds, CPU time of "
        "this thread\n",
        o.corpus_bytes >> 20, static_cast<unsigned long long>(o.stream_bytes >> 20), o.rounds);
    bool ok = true;
    if (o.only.empty() || o.only == "read") {
        std::vector<ReadRow> rows;
        ok = read_corpora(o, rows) && ok;
        print_read_table(rows);
    }
    if (o.only.empty() || o.only == "write") ok = write_records(o) && canonicalise_corpora(o) && ok;
    if (o.only.empty() || o.only == "bigint") ok = bigint(o) && ok;
    std::fflush(stdout);
    return ok ? 0 : 1;
}
