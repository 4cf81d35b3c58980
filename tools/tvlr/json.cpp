// JSON text in and out for tvlr from-json and to-json.
#include "json.h"

namespace tool::json {
namespace {

constexpr int kMaxDepth = 512;

struct parser {
    std::string_view in;
    size_t pos = 0;
    std::string message;
    size_t error_at = 0;

    bool fail(const char *what, size_t at) {
        if (message.empty()) {
            message = what;
            error_at = at;
        }
        return false;
    }
    bool fail(const char *what) { return fail(what, pos); }

    void skip_space() {
        while (pos < in.size() &&
               (in[pos] == ' ' || in[pos] == '\t' || in[pos] == '\n' || in[pos] == '\r'))
            ++pos;
    }

    bool literal(std::string_view word) {
        if (in.substr(pos, word.size()) != word) return fail("invalid literal");
        pos += word.size();
        return true;
    }

    bool number(std::string &out) {
        size_t start = pos;
        auto digits = [&] {
            size_t from = pos;
            while (pos < in.size() && in[pos] >= '0' && in[pos] <= '9') ++pos;
            return pos > from;
        };
        if (pos < in.size() && in[pos] == '-') ++pos;
        if (pos < in.size() && in[pos] == '0') {
            ++pos;
        } else if (!digits()) {
            return fail("invalid number", start);
        }
        if (pos < in.size() && in[pos] == '.') {
            ++pos;
            if (!digits()) return fail("invalid number: digits expected after '.'");
        }
        if (pos < in.size() && (in[pos] == 'e' || in[pos] == 'E')) {
            ++pos;
            if (pos < in.size() && (in[pos] == '+' || in[pos] == '-')) ++pos;
            if (!digits()) return fail("invalid number: digits expected in the exponent");
        }
        out.assign(in.substr(start, pos - start));
        return true;
    }

    bool hex4(uint32_t &v) {
        if (pos + 4 > in.size()) return fail("incomplete \\u escape");
        v = 0;
        for (int i = 0; i < 4; ++i) {
            char c = in[pos++];
            uint32_t d;
            if (c >= '0' && c <= '9')
                d = static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                d = static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                d = static_cast<uint32_t>(c - 'A' + 10);
            else
                return fail("invalid \\u escape", pos - 1);
            v = v << 4 | d;
        }
        return true;
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

    // Length of the well-formed UTF-8 character at pos, or 0.
    size_t utf8_length() const {
        auto byte = [&](size_t i) {
            return i < in.size() ? static_cast<unsigned char>(in[i]) : 0u;
        };
        unsigned c = byte(pos);
        size_t n;
        unsigned lo = 0x80, hi = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            n = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 3;
            if (c == 0xE0) lo = 0xA0;
            if (c == 0xED) hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            n = 4;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;
        } else {
            return 0;
        }
        unsigned second = byte(pos + 1);
        if (second < lo || second > hi) return 0;
        for (size_t i = 2; i < n; ++i)
            if (byte(pos + i) < 0x80 || byte(pos + i) > 0xBF) return 0;
        return n;
    }

    bool string(std::string &s) {
        ++pos;  // the opening quote
        while (pos < in.size()) {
            unsigned char c = static_cast<unsigned char>(in[pos]);
            if (c == '"') {
                ++pos;
                return true;
            }
            if (c < 0x20) return fail("control character in a string");
            if (c >= 0x80) {
                size_t n = utf8_length();
                if (n == 0) return fail("invalid UTF-8");
                s.append(in.substr(pos, n));
                pos += n;
                continue;
            }
            ++pos;
            if (c != '\\') {
                s += static_cast<char>(c);
                continue;
            }
            if (pos >= in.size()) break;
            char e = in[pos++];
            switch (e) {
                case '"':
                    s += '"';
                    break;
                case '\\':
                    s += '\\';
                    break;
                case '/':
                    s += '/';
                    break;
                case 'b':
                    s += '\b';
                    break;
                case 'f':
                    s += '\f';
                    break;
                case 'n':
                    s += '\n';
                    break;
                case 'r':
                    s += '\r';
                    break;
                case 't':
                    s += '\t';
                    break;
                case 'u': {
                    size_t at = pos - 2;
                    uint32_t cp;
                    if (!hex4(cp)) return false;
                    if (cp >= 0xDC00 && cp < 0xE000) return fail("unpaired surrogate", at);
                    if (cp >= 0xD800 && cp < 0xDC00) {
                        uint32_t low;
                        if (in.substr(pos, 2) != "\\u") return fail("unpaired surrogate", at);
                        pos += 2;
                        if (!hex4(low)) return false;
                        if (low < 0xDC00 || low >= 0xE000) return fail("unpaired surrogate", at);
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    }
                    put_utf8(s, cp);
                    break;
                }
                default:
                    return fail("invalid escape", pos - 1);
            }
        }
        return fail("unterminated string");
    }

    bool parse_value(value &v, int depth) {
        skip_space();
        if (pos >= in.size()) return fail("unexpected end of input");
        if (depth > kMaxDepth) return fail("nesting too deep");
        v.offset = pos;
        char c = in[pos];
        switch (c) {
            case 'n':
                v.type = kind::null;
                return literal("null");
            case 't':
                v.type = kind::boolean;
                v.flag = true;
                return literal("true");
            case 'f':
                v.type = kind::boolean;
                v.flag = false;
                return literal("false");
            case '"':
                v.type = kind::string;
                return string(v.text);
            case '[': {
                v.type = kind::array;
                ++pos;
                skip_space();
                if (pos < in.size() && in[pos] == ']') {
                    ++pos;
                    return true;
                }
                for (;;) {
                    v.items.emplace_back();
                    if (!parse_value(v.items.back(), depth + 1)) return false;
                    skip_space();
                    if (pos < in.size() && in[pos] == ',') {
                        ++pos;
                        continue;
                    }
                    if (pos < in.size() && in[pos] == ']') {
                        ++pos;
                        return true;
                    }
                    return fail("',' or ']' expected");
                }
            }
            case '{': {
                v.type = kind::object;
                ++pos;
                skip_space();
                if (pos < in.size() && in[pos] == '}') {
                    ++pos;
                    return true;
                }
                for (;;) {
                    skip_space();
                    if (pos >= in.size() || in[pos] != '"') return fail("member name expected");
                    v.keys.emplace_back();
                    v.items.emplace_back();
                    if (!string(v.keys.back())) return false;
                    skip_space();
                    if (pos >= in.size() || in[pos] != ':') return fail("':' expected");
                    ++pos;
                    if (!parse_value(v.items.back(), depth + 1)) return false;
                    skip_space();
                    if (pos < in.size() && in[pos] == ',') {
                        ++pos;
                        continue;
                    }
                    if (pos < in.size() && in[pos] == '}') {
                        ++pos;
                        return true;
                    }
                    return fail("',' or '}' expected");
                }
            }
            default:
                if (c == '-' || (c >= '0' && c <= '9')) {
                    v.type = kind::number;
                    return number(v.text);
                }
                return fail("unexpected character");
        }
    }
};

void write_string(std::string &out, std::string_view s) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (char ch : s) {
        unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    out += "\\u00";
                    out += kHex[c >> 4];
                    out += kHex[c & 15];
                } else {
                    out += ch;
                }
        }
    }
    out += '"';
}

void newline(std::string &out, bool pretty, int depth) {
    if (!pretty) return;
    out += '\n';
    out.append(static_cast<size_t>(depth) * 2, ' ');
}

}  // namespace

bool parse(std::string_view text, value &out, parse_error &error) {
    parser p;
    p.in = text;
    out = value{};
    bool ok = p.parse_value(out, 0);
    if (ok) {
        p.skip_space();
        if (p.pos < text.size()) ok = p.fail("unexpected text after the value");
    }
    if (!ok) {
        error.message = p.message;
        auto [line, column] = position(text, p.error_at);
        error.line = line;
        error.column = column;
    }
    return ok;
}

void write(std::string &out, const value &v, bool pretty, int depth) {
    switch (v.type) {
        case kind::null:
            out += "null";
            break;
        case kind::boolean:
            out += v.flag ? "true" : "false";
            break;
        case kind::number:
            out += v.text;
            break;
        case kind::string:
            write_string(out, v.text);
            break;
        case kind::array:
            out += '[';
            for (size_t i = 0; i < v.items.size(); ++i) {
                if (i) out += ',';
                newline(out, pretty, depth + 1);
                write(out, v.items[i], pretty, depth + 1);
            }
            if (!v.items.empty()) newline(out, pretty, depth);
            out += ']';
            break;
        case kind::object:
            out += '{';
            for (size_t i = 0; i < v.keys.size(); ++i) {
                if (i) out += ',';
                newline(out, pretty, depth + 1);
                write_string(out, v.keys[i]);
                out += pretty ? ": " : ":";
                write(out, v.items[i], pretty, depth + 1);
            }
            if (!v.keys.empty()) newline(out, pretty, depth);
            out += '}';
            break;
    }
}

bool is_number(std::string_view text) {
    parser p;
    p.in = text;
    std::string digits;
    return !text.empty() && (text[0] == '-' || (text[0] >= '0' && text[0] <= '9')) &&
           p.number(digits) && p.pos == text.size();
}

std::pair<uint64_t, uint64_t> position(std::string_view text, size_t offset) {
    uint64_t line = 1, column = 1;
    for (size_t i = 0; i < offset && i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            ++line;
            column = 1;
        } else if (c < 0x80 || c >= 0xC0) {
            ++column;
        }
    }
    return {line, column};
}

}  // namespace tool::json
