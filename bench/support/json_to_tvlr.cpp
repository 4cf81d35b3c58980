#include "json_to_tvlr.h"

#include <cstdint>

namespace tvlbench {
namespace {

struct Converter {
    std::string_view in;
    size_t pos = 0;
    std::string &out;

    void skip_ws() {
        while (pos < in.size() &&
               (in[pos] == ' ' || in[pos] == '\n' || in[pos] == '\r' || in[pos] == '\t'))
            ++pos;
    }

    static void put_utf8(std::string &s, uint32_t cp) {
        if (cp < 0x80) {
            s += static_cast<char>(cp);
        } else if (cp < 0x800) {
            s += static_cast<char>(0xC0 | (cp >> 6));
            s += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            s += static_cast<char>(0xE0 | (cp >> 12));
            s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            s += static_cast<char>(0xF0 | (cp >> 18));
            s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    bool hex4(uint32_t &v) {
        if (pos + 4 > in.size()) return false;
        v = 0;
        for (int i = 0; i < 4; ++i) {
            char c = in[pos++];
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                v |= static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                v |= static_cast<uint32_t>(c - 'A' + 10);
            else
                return false;
        }
        return true;
    }

    // Reads a JSON string into its decoded bytes.
    bool string(std::string &s) {
        if (pos >= in.size() || in[pos] != '"') return false;
        ++pos;
        while (pos < in.size()) {
            char c = in[pos++];
            if (c == '"') return true;
            if (c != '\\') {
                s += c;
                continue;
            }
            if (pos >= in.size()) return false;
            char e = in[pos++];
            switch (e) {
                case 'n':
                    s += '\n';
                    break;
                case 't':
                    s += '\t';
                    break;
                case 'r':
                    s += '\r';
                    break;
                case 'f':
                    s += '\f';
                    break;
                case 'b':
                    break;  // no tvlr counterpart
                case 'u': {
                    uint32_t cp;
                    if (!hex4(cp)) return false;
                    if (cp >= 0xD800 && cp < 0xDC00 && pos + 6 <= in.size() && in[pos] == '\\' &&
                        in[pos + 1] == 'u') {
                        pos += 2;
                        uint32_t lo;
                        if (!hex4(lo)) return false;
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                    }
                    if (cp >= 0xD800 && cp < 0xE000) cp = 0xFFFD;
                    put_utf8(s, cp);
                    break;
                }
                default:
                    s += e;
                    break;
            }
        }
        return false;
    }

    void write_string(const std::string &s) {
        out += '"';
        for (unsigned char c : s) {
            switch (c) {
                case '"':
                    out += "\\\"";
                    break;
                case '\\':
                    out += "\\\\";
                    break;
                case '\t':
                    out += "\\t";
                    break;
                case '\n':
                    out += "\\n";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                case '\f':
                    out += "\\f";
                    break;
                case '\v':
                    out += "\\v";
                    break;
                default:
                    if (c >= 0x20 && c != 0x7F) out += static_cast<char>(c);
            }
        }
        out += '"';
    }

    void write_key(const std::string &k) {
        out += '.';
        bool first = true;
        for (unsigned char c : k) {
            bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
            bool later = letter || (c >= '0' && c <= '9') || c == '+' || c == '-';
            if (first && !letter) out += '_';
            out += (later || c >= 0x80) && c != 0xC2 ? static_cast<char>(c) : '_';
            first = false;
        }
        if (k.empty()) out += '_';
    }

    bool value(int depth) {
        skip_ws();
        if (pos >= in.size() || depth > 60) return false;
        char c = in[pos];
        if (c == '{') return object(depth);
        if (c == '[') return array(depth);
        if (c == '"') {
            std::string s;
            if (!string(s)) return false;
            write_string(s);
            return true;
        }
        size_t start = pos;
        while (pos < in.size() && in[pos] != ',' && in[pos] != '}' && in[pos] != ']' &&
               in[pos] != ' ' && in[pos] != '\n' && in[pos] != '\r' && in[pos] != '\t')
            ++pos;
        if (pos == start) return false;
        out.append(in.substr(start, pos - start));
        return true;
    }

    bool members(int depth, bool top) {
        ++pos;  // '{'
        skip_ws();
        if (pos < in.size() && in[pos] == '}') {
            ++pos;
            return true;
        }
        for (;;) {
            skip_ws();
            std::string key;
            if (!string(key)) return false;
            skip_ws();
            if (pos >= in.size() || in[pos++] != ':') return false;
            write_key(key);
            out += " = ";
            if (!value(depth + 1)) return false;
            out += top ? ";\n" : "; ";
            skip_ws();
            if (pos >= in.size()) return false;
            char c = in[pos++];
            if (c == '}') return true;
            if (c != ',') return false;
        }
    }

    bool object(int depth) {
        out += "{ ";
        if (!members(depth, false)) return false;
        out += '}';
        return true;
    }

    bool array(int depth) {
        ++pos;  // '['
        out += '[';
        skip_ws();
        if (pos < in.size() && in[pos] == ']') {
            ++pos;
            out += ']';
            return true;
        }
        for (bool first = true;; first = false) {
            if (!first) out += ", ";
            if (!value(depth + 1)) return false;
            skip_ws();
            if (pos >= in.size()) return false;
            char c = in[pos++];
            if (c == ']') break;
            if (c != ',') return false;
        }
        out += ']';
        return true;
    }
};

}  // namespace

bool json_to_tvlr(std::string_view json, std::string &out) {
    out.clear();
    out.reserve(json.size() + json.size() / 8);
    Converter c{json, 0, out};
    c.skip_ws();
    if (c.pos < json.size() && json[c.pos] == '{') return c.members(0, true);
    out += ".root = ";
    if (!c.value(0)) return false;
    out += ";\n";
    return true;
}

}  // namespace tvlbench
