// A tree written back through the writer and read again gives an equal tree: over the documents
// of the tree table, the reader's fuzz corpus and a generated corpus.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "dom_support.h"
#include "support/trace.h"

using namespace domtest;

namespace {

// True when the document read without error and so took part.
bool expect_round_trip(const std::string &text) {
    Doc first = parse(text);
    if (!first || first->parse_error != 0) return false;
    uint32_t error = 0;
    const std::string written = write_tree(first.get(), &error);
    EXPECT_EQ(error, 0u) << tvl_error_to_string(error) << " writing " << render(first.get());
    Doc second = parse(written);
    EXPECT_TRUE(second != nullptr);
    if (second) {
        EXPECT_EQ(render(second.get()), render(first.get())) << "written: " << written;
    }
    return true;
}

TEST(DomRoundTrip, TreeTableDocuments) {
    int taken = 0;
    for (const std::string &doc : tree_case_documents()) taken += expect_round_trip(doc);
    EXPECT_GT(taken, 30);
}

TEST(DomRoundTrip, FuzzCorpus) {
    int taken = 0, files = 0;
    for (const auto &entry : std::filesystem::directory_iterator(TVLR_READER_CORPUS)) {
        std::ifstream f(entry.path(), std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        ++files;
        taken += expect_round_trip(ss.str());
    }
    EXPECT_GT(files, 10);
    EXPECT_GT(taken, 5);
}

TEST(DomRoundTrip, GeneratedDocuments) {
    std::mt19937 rng(20240611);
    int taken = 0;
    for (int i = 0; i < 3000; ++i) taken += expect_round_trip(tvltest::generated_document(rng));
    EXPECT_GT(taken, 500);
}

}  // namespace
