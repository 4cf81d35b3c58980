// The tvlr tool run as a process on files in a scratch folder.
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct result {
    int code;
    std::string out, err;
};

std::string slurp(const fs::path &p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

void spill(const fs::path &p, const std::string &bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
}

class Tool : public ::testing::Test {
  protected:
    fs::path dir;

    void SetUp() override {
        char name[] = "/tmp/tvlr-tool-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
        spill(dir / "good.tvlr", ".a = 1;\n.speed = 12.5 k~m/s;\n.s = { .t = \"x\"; };\n");
        spill(dir / "bad.tvlr", ".a = 1;\n\t.b = 10m;\n");
        spill(dir / "two.tvlr", ".a = 10m;\n.b = 2;\n.c = \"x\" foo;\n");
        fs::create_directory(dir / "folder");
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs the tool in the scratch folder with the arguments (a shell word list).
    result run(const std::string &arguments, const std::string &input = "",
               const std::string &output = ".stdout") {
        spill(dir / ".stdin", input);
        std::string command = "cd '" + dir.string() + "' && '" TVLR_TOOL "' " + arguments +
                              " <.stdin >" + output + " 2>.stderr";
        int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(dir / ".stdout"),
                slurp(dir / ".stderr")};
    }
};

struct case_row {
    const char *args;
    const char *input;
    int code;
    const char *out;  // nullptr: not compared
    const char *err;
};

// Exit codes and exact messages, carets included.
TEST_F(Tool, CommandsGiveTheirExitCodesAndMessages) {
    const case_row rows[] = {
        {"check good.tvlr", "", 0, "", ""},
        {"check bad.tvlr", "", 1, "",
         "bad.tvlr:2:12: error unexpected_input_byte (15)\n\t.b = 10m;\n\t       ^\n"},
        {"check good.tvlr two.tvlr", "", 1, "",
         "two.tvlr:1:8: error unexpected_input_byte (15)\n.a = 10m;\n       ^\n"},
        {"check --recover two.tvlr", "", 1, "",
         "two.tvlr:1:8: error unexpected_input_byte (15)\n.a = 10m;\n       ^\n"
         "two.tvlr:3:13: error unit_illegal (32)\n.c = \"x\" foo;\n            ^\n"},
        {"check -", ".a = 1;\n\t.b = 10m;\n", 1, "",
         "<stdin>:2:12: error unexpected_input_byte (15)\n\t.b = 10m;\n\t       ^\n"},
        {"check missing.tvlr", "", 2, "",
         "tvlr: cannot open 'missing.tvlr': No such file or directory\n"},
        {"check folder", "", 2, "", "tvlr: 'folder' is a directory\n"},
        {"check missing.tvlr bad.tvlr", "", 2, "",
         "tvlr: cannot open 'missing.tvlr': No such file or directory\n"
         "bad.tvlr:2:12: error unexpected_input_byte (15)\n\t.b = 10m;\n\t       ^\n"},
        {"check", "", 2, "", "tvlr check: no file given\nTry 'tvlr check --help'.\n"},
        {"check --fast good.tvlr", "", 2, "",
         "tvlr check: unknown option '--fast'\nTry 'tvlr check --help'.\n"},
        {"frobnicate", "", 2, "", "tvlr: unknown command 'frobnicate'\nTry 'tvlr --help'.\n"},
        {"fmt --compact good.tvlr", "", 0,
         ".a=<uint:64,_10,no_unit>1;.speed=<float:64,_10,k~m/s>12.5;.s={.t=<utf8>\"x\";};", ""},
        {"fmt good.tvlr bad.tvlr", "", 1, nullptr,
         "bad.tvlr:2:12: error unexpected_input_byte (15)\n\t.b = 10m;\n\t       ^\n"},
        {"fmt -i -", "", 2, "",
         "tvlr fmt: -i cannot rewrite standard input\nTry 'tvlr fmt --help'.\n"},
        {"get good.tvlr speed", "", 0, "<float:64> 12.5 k~m/s\n", ""},
        {"get --si good.tvlr speed", "", 0, "12500 m/s\n", ""},
        {"get good.tvlr s.t", "", 0, "<utf8> \"x\"\n", ""},
        {"get good.tvlr s.u", "", 1, "", "tvlr: no value at 's.u' in good.tvlr\n"},
        {"get good.tvlr s", "", 0, "{\n\t.t = <utf8> \"x\";\n}\n", ""},
        {"get - m.1", ".m = [1, 2] / [3, 4];\n", 0, "<uint:64> 2\n", ""},
        {"get --si good.tvlr s.t", "", 1, "",
         "tvlr: the value at 's.t' in good.tvlr is not a number\n"},
        {"units k~m/h m/s", "", 0, "factor: 0.2777777777777778\n", ""},
        {"units degC K", "", 0, "factor: 1\noffset: 273.15\n", ""},
        {"units m s", "", 1, "", "tvlr: cannot convert m to s: the dimensions differ (L vs T)\n"},
        {"units USD EUR", "", 1, "",
         "tvlr: cannot convert USD to EUR: currencies have no fixed exchange rate and no SI "
         "value\n"},
        {"units foo", "", 1, "", "tvlr: 'foo' is not a valid unit\n"},
        {"events -", ".a = on;\n", 0,
         "doc_start\nmember_name \"a\"\ntype_start type=bool bits=0 base=0 \"bool\"\n"
         "type_name type=bool bits=0 base=0 \"bool\"\ntype_end type=bool bits=0 base=0 \"bool\"\n"
         "value kind=bool type=bool bits=0 base=0 \"true\"\ndoc_end\n",
         ""},
        {"to-json good.tvlr", "", 1, "",
         "good.tvlr: .speed: the unit k~m/s cannot be carried by JSON\n"},
        {"to-json -", ".r = &.a;\n", 1, "",
         "<stdin>: .r: the reference &.a cannot be carried by JSON\n"},
        {"to-json --compact -", ".m = [1, 2] / [3, 4]; .h = <uint:16,_16> \"ff\";\n", 0,
         "{\"m\":[[1,2],[3,4]],\"h\":255}\n", ""},
        {"to-json -", ".x = $nan;\n", 1, "", "<stdin>: .x: $nan cannot be carried by JSON\n"},
        {"to-json --compact -", "._ = [1, _j_empty, {}, red];\n", 0, "[1,[],{},\"red\"]\n", ""},
        {"from-json --compact -", "[1, {\"\": []}]", 0, "._=[1,{._j_=_j_empty;}];\n", ""},
        {"from-json -", "{\"a\": [1, }\n", 1, "",
         "<stdin>:1:11: invalid JSON: unexpected character\n"},
        {"from-json -", "[\"\\u0001\"]\n", 1, "",
         "<stdin>:1:2: the string holds U+0001, which tvlr strings cannot carry\n"},
    };
    for (const case_row &row : rows) {
        result r = run(row.args, row.input);
        EXPECT_EQ(r.code, row.code) << row.args << "\n" << r.err;
        if (row.out) {
            EXPECT_EQ(r.out, row.out) << row.args;
        }
        EXPECT_EQ(r.err, row.err) << row.args;
    }
    for (const char *command : {"check", "fmt", "get", "units", "events", "from-json", "to-json"}) {
        result r = run(std::string(command) + " --help");
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(r.out.rfind(std::string("Usage: tvlr ") + command + " ", 0), 0u) << r.out;
    }
}

// A failed write is reported, never a crash or a silent success.
TEST_F(Tool, FullOutputDeviceIsAnError) {
    result r = run("fmt good.tvlr", "", "/dev/full");
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "tvlr: cannot write the output: No space left on device\n");
}

// -i replaces a valid file by exactly what fmt prints, keeps an invalid one byte for byte,
// and leaves no temporary file behind.
TEST_F(Tool, InPlaceRewriteIsAllOrNothing) {
    std::string expected = run("fmt good.tvlr").out;
    std::string bad = slurp(dir / "bad.tvlr");
    chmod((dir / "good.tvlr").c_str(), 0640);
    result r = run("fmt -i good.tvlr bad.tvlr");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(slurp(dir / "good.tvlr"), expected);
    EXPECT_EQ(fs::status(dir / "good.tvlr").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(slurp(dir / "bad.tvlr"), bad);
    EXPECT_NE(r.err.find("'bad.tvlr' is left unchanged"), std::string::npos) << r.err;
    size_t files = 0;
    for (const auto &entry : fs::directory_iterator(dir))
        files += entry.path().filename().string()[0] != '.';
    EXPECT_EQ(files, 4u);  // good, bad, two, folder
}

// ---- JSON round trips ----

// Random JSON texts: nesting, mixed arrays, empty containers, member names that are no tvlr
// names, escapes (\u with surrogate pairs), big and small numbers.
struct json_gen {
    std::mt19937_64 rng;
    explicit json_gen(uint64_t seed) : rng(seed) {}

    size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); }

    static void put_utf8(std::string &s, uint32_t cp) {
        if (cp < 0x80) {
            s += char(cp);
        } else if (cp < 0x800) {
            s += char(0xC0 | (cp >> 6));
            s += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            s += char(0xE0 | (cp >> 12));
            s += char(0x80 | ((cp >> 6) & 0x3F));
            s += char(0x80 | (cp & 0x3F));
        } else {
            s += char(0xF0 | (cp >> 18));
            s += char(0x80 | ((cp >> 12) & 0x3F));
            s += char(0x80 | ((cp >> 6) & 0x3F));
            s += char(0x80 | (cp & 0x3F));
        }
    }

    void string(std::string &out) {
        static constexpr uint32_t kChars[] = {
            'a',  'Z',   '0',    ' ',    '"',     '\\',     '/', '\t', '\n', '\r', '\f', 0xE9,
            0x85, 0x3B1, 0x20AC, 0xFFFD, 0x1F600, 0x10FFFF, '.', '&',  '#',  ';',  '<'};
        out += '"';
        for (size_t n = pick(12); n > 0; --n) {
            uint32_t cp = kChars[pick(std::size(kChars))];
            char buf[16];
            if (cp == '"' || cp == '\\') {
                out += '\\';
                out += char(cp);
            } else if (cp < 0x20 || pick(3) == 0) {
                if (cp >= 0x10000) {
                    uint32_t v = cp - 0x10000;
                    std::snprintf(buf, sizeof buf, "\\u%04X\\u%04x", 0xD800 + (v >> 10),
                                  0xDC00 + (v & 0x3FF));
                } else {
                    std::snprintf(buf, sizeof buf, "\\u%04x", cp);
                }
                out += buf;
            } else {
                put_utf8(out, cp);
            }
        }
        out += '"';
    }

    void number(std::string &out) {
        static constexpr const char *kNumbers[] = {"0",
                                                   "-0",
                                                   "7",
                                                   "-42",
                                                   "18446744073709551615",
                                                   "-9223372036854775808",
                                                   "123456789012345678901234567890123",
                                                   "-98765432109876543210",
                                                   "0.5",
                                                   "-1.25e-300",
                                                   "6.02214076E+23",
                                                   "1e308",
                                                   "4.9e-324",
                                                   "3.141592653589793238462643383279",
                                                   "1E2"};
        out += kNumbers[pick(std::size(kNumbers))];
    }

    void value(std::string &out, int depth) {
        size_t kind = depth > 4 ? pick(4) : depth == 0 ? 4 + pick(3) : pick(7);
        switch (kind) {
            case 0:
                out += pick(2) ? "true" : "false";
                break;
            case 1:
                out += "null";
                break;
            case 2:
                number(out);
                break;
            case 3:
                string(out);
                break;
            case 4:
            case 5: {
                out += "[ ";
                for (size_t n = pick(5), i = 0; i < n; ++i) {
                    if (i) out += pick(2) ? "," : " ,\n ";
                    value(out, depth + 1);
                }
                out += "]";
                break;
            }
            default: {
                static constexpr const char *kKeys[] = {
                    "id",   "first name", "",          "_",
                    "_j_x", "\\u00b5",    "a-b",       "\\u043a\\u043b\\u044e\\u0447",
                    "1abc", "x.y",        "\\\"q\\\"", "Stra\\u00dfe",
                    "_j_",  "-"};
                out += "{";
                size_t n = depth == 0 ? 6 + pick(6) : pick(5);
                size_t first = pick(std::size(kKeys));
                for (size_t i = 0; i < n; ++i) {
                    if (i) out += ", ";
                    out += std::string("\"") + kKeys[(first + i) % std::size(kKeys)] + "\": ";
                    value(out, depth + 1);
                }
                out += "}";
            }
        }
    }
};

bool same_json(const std::string &a, const std::string &b) {
    rapidjson::Document da, db;
    da.Parse<rapidjson::kParseNumbersAsStringsFlag>(a.c_str());
    db.Parse<rapidjson::kParseNumbersAsStringsFlag>(b.c_str());
    return !da.HasParseError() && !db.HasParseError() && da == db;
}

// JSON -> tvlr -> JSON gives equal JSON (numbers compared by their digits); the tvlr text is
// valid, and its canonical form re-formats to itself.
TEST_F(Tool, JsonRoundTripsThroughTvlr) {
    json_gen gen(20261209);
    for (int i = 0; i < 40; ++i) {
        std::string json;
        gen.value(json, 0);
        spill(dir / "in.json", json);
        result to_tvlr = run("from-json in.json");
        ASSERT_EQ(to_tvlr.code, 0) << json << "\n" << to_tvlr.err;
        spill(dir / "mid.tvlr", to_tvlr.out);
        result back = run(i % 2 ? "to-json mid.tvlr" : "to-json --compact mid.tvlr");
        ASSERT_EQ(back.code, 0) << to_tvlr.out << "\n" << back.err;
        EXPECT_TRUE(same_json(json, back.out)) << json << "\n" << to_tvlr.out << "\n" << back.out;
        result canonical = run("fmt mid.tvlr");
        ASSERT_EQ(canonical.code, 0) << to_tvlr.out << canonical.err;
        EXPECT_EQ(run("fmt -", canonical.out).out, canonical.out) << to_tvlr.out;
    }
}

}  // namespace
