// tvlr from-json and tvlr to-json.
#include <cstring>

#include "json.h"
#include "tool.h"

namespace tool {
namespace {

constexpr const char *kFromJsonHelp =
    "Usage: tvlr from-json [--compact] FILE\n"
    "\n"
    "Converts one JSON text to a tvlr document on standard output (pretty unless\n"
    "--compact). 'tvlr to-json' converts it back to equal JSON.\n"
    "\n"
    "  object            members .name = value; a top-level object is the document\n"
    "  other top level   one member named '_': [1, 2] becomes ._ = [1, 2];\n"
    "  member names      kept when they are tvlr names; any other name (\"first name\", \"\",\n"
    "                    \"_\", names starting with \"_j_\") becomes _j_ followed by its bytes,\n"
    "                    letters, digits and '_' as they are and every other byte as -XX\n"
    "                    (hexadecimal): \"first name\" becomes _j_first-20name\n"
    "  numbers           their digits unchanged; integers of 19 digits and more get a\n"
    "                    <uint:N> or <sint:N> annotation wide enough for them\n"
    "  strings           tvlr strings; strings holding U+0000..U+0008, U+000E..U+001F or\n"
    "                    U+007F are refused (tvlr strings cannot carry them)\n"
    "  true false null   the same words\n"
    "  arrays            [a, b, ...]; the elements may be of mixed kinds; the empty array\n"
    "                    (which tvlr cannot write: [] holds one null) is the symbol _j_empty\n"
    "  {}                an empty struct\n"
    "\n"
    "Exit status: 0 converted, 1 invalid JSON or a value that cannot be converted, 2 usage\n"
    "or I/O errors.\n";

constexpr const char *kToJsonHelp =
    "Usage: tvlr to-json [--compact] FILE\n"
    "\n"
    "Converts a tvlr document to JSON on standard output (indented unless --compact), the\n"
    "reverse of 'tvlr from-json': the document is an object of its members (a document of\n"
    "the one member '_' is that member's value), _j_ names are decoded, the symbol\n"
    "_j_empty is [], numbers keep their digits (written as JSON requires: no '+', no\n"
    "leading zeros), other symbols become strings, a matrix [1, 2] / [3, 4] becomes\n"
    "[[1, 2], [3, 4]], and integers written in another base are converted to decimal.\n"
    "Type annotations without a unit are dropped.\n"
    "Refused with a message, as JSON cannot carry them: units and currencies, $nan, $inf\n"
    "and $-inf, references, octet streams, and floats written in base 16.\n"
    "\n"
    "Exit status: 0 converted, 1 invalid document or a value JSON cannot carry, 2 usage or\n"
    "I/O errors.\n";

constexpr std::string_view kEncoded = "_j_";
constexpr std::string_view kEmptyArray = "_j_empty";
constexpr std::string_view kRootName = "_";

bool name_byte(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

std::string encode_name(const std::string &key) {
    if (!key.empty() && key != kRootName && key.rfind(kEncoded, 0) != 0 &&
        key.find('\0') == std::string::npos && tvl_validate_identifier(key.c_str()))
        return key;
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name(kEncoded);
    for (char ch : key) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (name_byte(c)) {
            name += ch;
        } else {
            name += '-';
            name += kHex[c >> 4];
            name += kHex[c & 15];
        }
    }
    return name;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The JSON key of a member name: _j_ names decoded, others (and malformed ones) unchanged.
std::string decode_name(std::string_view name) {
    if (name.substr(0, kEncoded.size()) != kEncoded) return std::string(name);
    std::string key;
    for (size_t i = kEncoded.size(); i < name.size(); ++i) {
        if (name_byte(static_cast<unsigned char>(name[i]))) {
            key += name[i];
            continue;
        }
        if (name[i] != '-' || i + 2 >= name.size() || hex_digit(name[i + 1]) < 0 ||
            hex_digit(name[i + 2]) < 0)
            return std::string(name);
        key += static_cast<char>(hex_digit(name[i + 1]) * 16 + hex_digit(name[i + 2]));
        i += 2;
    }
    return key;
}

// ---- JSON to tvlr ----

struct tvlr_text {
    const input &in;
    bool pretty;
    std::string out;
    std::string error;

    bool fail(size_t offset, const std::string &what) {
        auto [line, column] = json::position(in.data, offset);
        error = in.shown + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + what;
        return false;
    }

    void indent(int depth) {
        if (pretty) out.append(static_cast<size_t>(depth), '\t');
    }

    bool number(const json::value &v) {
        std::string_view t = v.text;
        bool negative = !t.empty() && t[0] == '-';
        bool integer = t.find_first_of(".eE") == std::string_view::npos;
        size_t digits = t.size() - (negative ? 1 : 0);
        if (integer && digits >= 19) {
            // Enough bits for the digits (log2(10) < 3.33) plus the sign, in steps of 64.
            size_t bits = (digits * 333 / 100 + 2 + 63) / 64 * 64;
            out += (negative ? "<sint:" : "<uint:") + std::to_string(bits) + "> ";
        }
        out += t;
        return true;
    }

    bool string(const json::value &v) {
        for (unsigned char c : v.text) {
            if ((c < 0x20 && (c < 0x09 || c > 0x0D)) || c == 0x7F) {
                char code[8];
                std::snprintf(code, sizeof code, "U+%04X", c);
                return fail(v.offset, std::string("the string holds ") + code +
                                          ", which tvlr strings cannot carry");
            }
        }
        out += quoted(v.text);
        return true;
    }

    bool member(const std::string &key, const json::value &v, int depth) {
        indent(depth);
        out += cat(".", encode_name(key), pretty ? " = " : "=");
        if (!value(v, depth)) return false;
        out += pretty ? ";\n" : ";";
        return true;
    }

    bool value(const json::value &v, int depth) {
        switch (v.type) {
            case json::kind::null:
                out += "null";
                return true;
            case json::kind::boolean:
                out += v.flag ? "true" : "false";
                return true;
            case json::kind::number:
                return number(v);
            case json::kind::string:
                return string(v);
            case json::kind::array:
                if (v.items.empty()) {
                    out += kEmptyArray;
                    return true;
                }
                out += '[';
                for (size_t i = 0; i < v.items.size(); ++i) {
                    if (i) out += pretty ? ", " : ",";
                    if (!value(v.items[i], depth)) return false;
                }
                out += ']';
                return true;
            case json::kind::object:
                out += '{';
                if (pretty && !v.keys.empty()) out += '\n';
                for (size_t i = 0; i < v.keys.size(); ++i)
                    if (!member(v.keys[i], v.items[i], depth + 1)) return false;
                if (!v.keys.empty()) indent(depth);
                out += '}';
                return true;
        }
        return false;
    }
};

// ---- tvlr to JSON ----

struct frame {
    json::value v;
    std::string name;        // the pending member name of a struct frame
    bool join_next = false;  // a row break: the next array is another row of the last value
    bool last_is_matrix = false;
};

struct json_builder {
    std::vector<frame> stack;
    std::string error;

    json_builder() { stack.emplace_back().v.type = json::kind::object; }

    std::string path() const {
        std::string p;
        for (size_t i = 0; i + 1 < stack.size() || i < stack.size(); ++i) {
            const frame &f = stack[i];
            if (f.v.type == json::kind::object) {
                p += cat(".", f.name);
            } else {
                p += cat("[", std::to_string(f.v.items.size()), "]");
            }
        }
        return p;
    }

    bool fail(const std::string &what) {
        error = cat(path(), ": ", what);
        return false;
    }

    json::value *last(frame &f) { return f.v.items.empty() ? nullptr : &f.v.items.back(); }

    void add(json::value v) {
        frame &f = stack.back();
        if (f.join_next) {
            last(f)->items.push_back(std::move(v));
            f.join_next = false;
            return;
        }
        f.last_is_matrix = false;
        if (f.v.type == json::kind::object) f.v.keys.push_back(decode_name(f.name));
        f.v.items.push_back(std::move(v));
    }

    // A number token in base 10 as JSON wants it: no '+', no leading zeros, digits around a
    // point.
    static bool json_number(std::string_view t, std::string &out) {
        if (json::is_number(t)) {
            out = t;
            return true;
        }
        out.clear();
        size_t i = 0;
        if (i < t.size() && (t[i] == '-' || t[i] == '+')) {
            if (t[i] == '-') out += '-';
            ++i;
        }
        size_t start = i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
        std::string_view whole = t.substr(start, i - start);
        while (whole.size() > 1 && whole[0] == '0') whole.remove_prefix(1);
        out += whole.empty() ? "0" : std::string(whole);
        if (i < t.size() && t[i] == '.') {
            size_t from = ++i;
            while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
            if (i > from) out += "." + std::string(t.substr(from, i - from));
        }
        if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) out += t.substr(i);
        return json::is_number(out);
    }

    bool number(const tvlr_event &e, std::string_view t) {
        if (tvl_is_special_number_string(std::string(t).c_str())) {
            std::string what = "$";
            what.append(t).append(" cannot be carried by JSON");
            return fail(what);
        }
        uint32_t base = e.base;
        bool integer_type = e.value_type == TVLR_TYPE_SINT || e.value_type == TVLR_TYPE_UINT;
        json::value v;
        v.type = json::kind::number;
        if (integer_type && base != 0 && base != 10) {
            tvlr::integer n;
            if (!n || !n.parse(std::string(t).c_str(), base))
                return fail("cannot read the integer " + std::string(t));
            v.text = n.str(10);
        } else if (e.value_type == TVLR_TYPE_FLOAT && base != 0 && base != 10) {
            return fail("a float in base " + std::to_string(base) + " cannot be carried by JSON");
        } else if (!json_number(t, v.text)) {
            return fail("the number " + std::string(t) + " cannot be written as JSON");
        }
        add(std::move(v));
        return true;
    }

    bool on_event(uint32_t kind, const tvlr_event &e) {
        std::string_view t = tvlr::text(e);
        switch (kind) {
            case TVLR_EV_MEMBER_NAME:
                stack.back().name = std::string(t);
                return true;
            case TVLR_EV_STRUCT_START:
                stack.emplace_back().v.type = json::kind::object;
                return true;
            case TVLR_EV_ARRAY_START:
                stack.emplace_back().v.type = json::kind::array;
                return true;
            case TVLR_EV_STRUCT_END:
            case TVLR_EV_ARRAY_END: {
                json::value done = std::move(stack.back().v);
                stack.pop_back();
                add(std::move(done));
                return true;
            }
            case TVLR_EV_ROW_BREAK: {
                frame &f = stack.back();
                json::value *prev = last(f);
                if (!prev) return fail("a row break without a row");
                if (!f.last_is_matrix) {
                    json::value rows;
                    rows.type = json::kind::array;
                    rows.items.push_back(std::move(*prev));
                    *prev = std::move(rows);
                    f.last_is_matrix = true;
                }
                f.join_next = true;
                return true;
            }
            case TVLR_EV_OCTETS_START:
                return fail("octet streams cannot be carried by JSON");
            case TVLR_EV_VALUE:
                break;
            default:
                return true;  // annotations, document start and end
        }
        if (has_unit(e.unit))
            return fail("the unit " + unit_text(e.unit) + " cannot be carried by JSON");
        json::value v;
        switch (e.value_kind) {
            case TVL_VK_NULL:
                break;
            case TVL_VK_BOOL:
                v.type = json::kind::boolean;
                v.flag = t == "true";
                break;
            case TVL_VK_STRING:
            case TVL_VK_ARRAY_STRING:
                if (e.value_type >= TVLR_TYPE_SINT && e.value_type <= TVLR_TYPE_FLOAT_DEC)
                    return number(e, t);
                v.type = json::kind::string;
                v.text = t;
                break;
            case TVL_VK_NUMBER:
            case TVL_VK_ARRAY_NUMBER:
                return number(e, t);
            case TVL_VK_SYMBOL:
                if (t == kEmptyArray) {
                    v.type = json::kind::array;
                } else {
                    v.type = json::kind::string;
                    v.text = t;
                }
                break;
            case TVL_VK_REFERENCE:
                return fail("the reference &" + std::string(t) + " cannot be carried by JSON");
            default:
                return fail("a value of kind " + std::to_string(e.value_kind));
        }
        add(std::move(v));
        return true;
    }
};

bool convert_options(const args &a) {
    return only_options(a, {"--compact"});
}

}  // namespace

int run_from_json(const args &a) {
    if (a.help) return std::fputs(kFromJsonHelp, stdout) < 0 ? failure : tool::ok;
    if (!convert_options(a)) return failure;
    if (a.operands.size() != 1) return usage_error(a, "expected one FILE");
    input in;
    if (!load(a.operands[0], in)) return failure;
    json::value root;
    json::parse_error perr;
    if (!json::parse(in.data, root, perr)) {
        std::fprintf(stderr, "%s:%llu:%llu: invalid JSON: %s\n", in.shown.c_str(),
                     static_cast<unsigned long long>(perr.line),
                     static_cast<unsigned long long>(perr.column), perr.message.c_str());
        return invalid;
    }
    tvlr_text text{in, !a.has("--compact"), {}, {}};
    bool ok = true;
    if (root.type == json::kind::object) {
        for (size_t i = 0; i < root.keys.size() && ok; ++i)
            ok = text.member(root.keys[i], root.items[i], 0);
    } else {
        text.indent(0);
        text.out += "." + std::string(kRootName) + (text.pretty ? " = " : "=");
        ok = text.value(root, 0);
        text.out += text.pretty ? ";\n" : ";";
    }
    if (!ok) {
        std::fprintf(stderr, "%s\n", text.error.c_str());
        return invalid;
    }
    if (!text.pretty && !text.out.empty()) text.out += '\n';
    // The reader's limits (name and string lengths, nesting) apply to the result.
    input converted{"<converted " + in.shown + ">", text.out};
    tvlr::reader reader;
    if (!reader || !reader.read(converted.data)) {
        tvlr::read_error e = reader.error();
        std::fprintf(stderr, "%s: the converted document breaks a limit of tvlr: %s (%u)\n",
                     in.shown.c_str(), tvl_error_to_string(e.code), e.code);
        return invalid;
    }
    return emit(text.out) ? tool::ok : failure;
}

int run_to_json(const args &a) {
    if (a.help) return std::fputs(kToJsonHelp, stdout) < 0 ? failure : tool::ok;
    if (!convert_options(a)) return failure;
    if (a.operands.size() != 1) return usage_error(a, "expected one FILE");
    input in;
    if (!load(a.operands[0], in)) return failure;
    if (!validate(in, false)) return invalid;
    json_builder builder;
    tvlr::reader reader;
    bool ok = reader && reader.read(in.data, [&](uint32_t kind, const tvlr_event &e) {
        return builder.on_event(kind, e);
    });
    if (!ok) {
        std::fprintf(stderr, "%s: %s\n", in.shown.c_str(),
                     builder.error.empty() ? "out of memory" : builder.error.c_str());
        return invalid;
    }
    json::value &root = builder.stack.front().v;
    const json::value &top =
        root.keys.size() == 1 && root.keys[0] == kRootName ? root.items[0] : root;
    std::string out;
    json::write(out, top, !a.has("--compact"));
    return emit(out + "\n") ? tool::ok : failure;
}

}  // namespace tool
