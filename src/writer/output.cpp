// The output step: text for every event kind, the separators and statement ends around it, and
// the buffered or direct hand-over of the bytes to the sink.
#include "writer/output.h"

#include <atomic>

#include "core/annotation.h"
#include "core/limits.h"
#include "core/number_text.h"
#include "core/text_tokens.h"

namespace tvl::wr {
namespace {

bool put_byte(Output &o, char c) {
    return put(o, &c, 1);
}

bool put_text(Output &o, const char *s, size_t n) {
    return n == 0 || put(o, s, n);
}

// A separator character and, in pretty mode, the space after it.
bool put_separator(Output &o, char c) {
    const char text[2] = {c, ' '};
    return put(o, text, o.pretty ? 2 : 1);
}

bool put_decimal(Output &o, uint32_t v) {
    uint8_t digits[10];
    const uint8_t *begin = write_decimal_before(digits + sizeof digits, v);
    return put(o, begin, static_cast<size_t>(digits + sizeof digits - begin));
}

bool put_statement_end(Output &o) {
    return o.pretty ? put(o, ";\n", 2) : put_byte(o, ';');
}

bool indent(Output &o, uint32_t depth) {
    if (!o.pretty) return true;
    static constexpr char kTabs[64] = {
        '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t',
        '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t',
        '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t',
        '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t',
        '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t', '\t'};
    while (depth > 0) {
        const uint32_t n = depth < 64 ? depth : 64;
        if (!put(o, kTabs, n)) return false;
        depth -= n;
    }
    return true;
}

ArrayLevel *directly_open(Output &o) {
    return const_cast<ArrayLevel *>(directly_open_level(o));
}

// The start of a statement: the pending ';', the indentation, '.', the name and '='. Usually
// one piece, so that a direct sink sees one write per member name.
bool put_member_start(Output &o, const char *name, size_t len) {
    const uint32_t tabs = o.pretty ? o.struct_depth : 0;
    const size_t exact = statement_end_len(o) + tabs + 1 + len + (o.pretty ? 3 : 1);
    // In place where the piece fits the memory sink or the buffer.
    if (uint8_t *p = claim(o, exact)) {
        put_member_head(o, p, tabs, name, len);
        commit(o, exact);
        return true;
    }
    char piece[256];
    const size_t total = 2 + tabs + 1 + len + 3;
    if (total > sizeof piece) {
        if (o.statement_open && !put_statement_end(o)) return false;
        if (!indent(o, o.struct_depth) || !put_byte(o, '.') || !put_text(o, name, len))
            return false;
        return o.pretty ? put(o, " = ", 3) : put_byte(o, '=');
    }
    size_t n = 0;
    if (o.statement_open) {
        piece[n++] = ';';
        if (o.pretty) piece[n++] = '\n';
    }
    std::memset(piece + n, '\t', tabs);
    n += tabs;
    piece[n++] = '.';
    std::memcpy(piece + n, name, len);
    n += len;
    if (o.pretty) piece[n++] = ' ';
    piece[n++] = '=';
    if (o.pretty) piece[n++] = ' ';
    return put(o, piece, n);
}

// Before an item: the comma between array elements, unless an annotation stands between. The
// comma also brings back the array's own type in force, as the reader's comma does.
bool separator(Output &o, bool after_annotation_suppresses) {
    if (after_annotation_suppresses && o.after_annotation) {
        o.after_annotation = false;
        return true;
    }
    ArrayLevel *level = directly_open(o);
    if (level == nullptr || !level->separator_due) return true;
    level->separator_due = false;
    copy_in_force(o.in_force, level->saved);
    return put_separator(o, ',');
}

void end_value(Output &o) {
    o.statement_open = true;
    if (ArrayLevel *level = directly_open(o)) level->separator_due = true;
}

// The canonical string literal: each unescaped run is one piece.
bool put_string_literal(Output &o, const char *text, size_t len) {
    if (!put_byte(o, '"')) return false;
    size_t run = 0;
    for (size_t i = 0; i < len; ++i) {
        const uint8_t letter = kEscapeLetter[static_cast<uint8_t>(text[i])];
        if (letter == 0) continue;
        const char escape[2] = {'\\', static_cast<char>(letter)};
        if (!put_text(o, text + run, i - run) || !put(o, escape, 2)) return false;
        run = i + 1;
    }
    return put_text(o, text + run, len - run) && put_byte(o, '"');
}

// Octet blocks: marker 1, the length as 16-bit little endian (0 for 65536), then the bytes.
// Longer data is split into several blocks; empty data writes no block.
bool put_octets(Output &o, const char *data, size_t len) {
    while (len > 0) {
        const size_t n = len < kOctetBlockMax ? len : kOctetBlockMax;
        const uint8_t header[3] = {1, static_cast<uint8_t>(n & 0xFF),
                                   static_cast<uint8_t>((n >> 8) & 0xFF)};
        if (!put(o, header, 3) || !put(o, data, n)) return false;
        data += n;
        len -= n;
    }
    return true;
}

bool put_value_text(Output &o, uint32_t kind, const char *text, size_t len) {
    switch (kind) {
        case TVL_VK_NUMBER:
        case TVL_VK_ARRAY_NUMBER:
            if ((len == 3 || len == 4) && is_special_number(text, len) && !put_byte(o, '$'))
                return false;
            return put_text(o, text, len);
        case TVL_VK_STRING:
        case TVL_VK_ARRAY_STRING:
            return put_string_literal(o, text, len);
        case TVL_VK_BOOL: {
            const bool yes = (len == 4 && std::memcmp(text, "true", 4) == 0) ||
                             (len == 2 && std::memcmp(text, "on", 2) == 0);
            return yes ? put(o, "true", 4) : put(o, "false", 5);
        }
        case TVL_VK_SYMBOL:
            return put_text(o, text, len);
        case TVL_VK_REFERENCE:
            return put_byte(o, '&') && put_text(o, text, len);
        case TVL_VK_OCTETS:
            return put_octets(o, text, len);
        default:
            return true;  // null and anything else: no text
    }
}

// A unit after its value: a space and the unit text. Kept out of line, so that the output of
// the other events does not carry its buffer.
[[gnu::noinline]] bool put_unit_suffix(Output &o, const tvl_unit &u) {
    char unit[512];
    const int n = unit_suffix_text(u, unit);
    return n <= 0 || (put_byte(o, ' ') && put(o, unit, static_cast<size_t>(n)));
}

// The prefix of an annotation parameter: ':' for the first, ',' for the others.
bool put_param_prefix(Output &o) {
    const char c = o.param_written ? ',' : ':';
    o.param_written = true;
    return put_byte(o, c);
}

bool output_param(Output &o, const tvlr_event &e, const char *text, size_t len,
                  const tvl_unit *declared_unit) {
    InForce &a = o.annotation;
    switch (e.value_kind) {
        case TVL_VK_BITS: {
            const uint32_t bits = written_bits(e);
            a.bits = bits;
            o.annotation_len += 1 + decimal_digits(bits);
            return put_param_prefix(o) && put_decimal(o, bits);
        }
        case TVL_VK_BASE: {
            const uint32_t base = written_base(e);
            a.base = base;
            o.annotation_len += 2 + decimal_digits(base);
            return put_param_prefix(o) && put_byte(o, '_') && put_decimal(o, base);
        }
        case TVL_VK_FRACTION: {
            const uint32_t fraction = written_fraction(e);
            a.base = fraction;
            o.annotation_len += 2 + decimal_digits(fraction);
            return put_param_prefix(o) && put_byte(o, 'q') && put_decimal(o, fraction);
        }
        case TVL_VK_UNIT:
            a.declared_unit = true;
            a.unit = declared_unit ? *declared_unit : tvl_unit{};
            o.annotation_len += static_cast<uint32_t>(1 + len);
            return put_param_prefix(o) && put_text(o, text, len);
        default:
            return true;
    }
}

}  // namespace

void output_open(Output &o, const tvlr_sink &sink, bool pretty) {
    // Everything but the buffer, whose contents do not matter while fill is 0.
    std::memset(static_cast<void *>(&o), 0, offsetof(Output, buffer));
    o.sink = sink;
    o.pretty = pretty;
    // The library's memory sink is recognised by its write function.
    static const tvlr_write_fn memory_write = [] {
        tvlr_sink probe;
        tvlr_sink_to_mem(&probe, nullptr, 0);
        return probe.write;
    }();
    o.to_memory = sink.write == memory_write && sink.direct;
    if (o.to_memory) {
        // A memory sink without memory has no room; its place is the buffer, so that `at` is
        // never null once opened.
        o.at = o.memory_start = sink.cursor != nullptr ? sink.cursor : o.buffer;
        o.limit = sink.cursor != nullptr ? sink.cursor + sink.remaining : o.buffer;
        o.memory_delivered = sink.delivered;
    } else {
        o.at = o.buffer;
        o.limit = sink.direct ? o.buffer : o.buffer + (kBufferSize - 1);
    }
}

bool put_slow(Output &o, const uint8_t *data, size_t len) {
    if (len == 0) return true;
    if (o.sink.direct) {
        // A direct sink takes each piece whole; pieces beyond 32 bits of length are split.
        while (len > 0) {
            const size_t n = len < (size_t{1} << 31) ? len : (size_t{1} << 31);
            if (!o.sink.write(&o.sink, data, static_cast<uint32_t>(n))) return false;
            data += n;
            len -= n;
        }
        return true;
    }
    uint8_t *const end = o.buffer + kBufferSize;
    bool ok = true;
    while (len > 0) {
        // A buffer left full by an earlier failure is handed over again first.
        if (o.at == end) {
            if (!o.sink.write(&o.sink, o.buffer, kBufferSize)) {
                ok = false;
                break;
            }
            o.at = o.buffer;
        }
        const size_t space = static_cast<size_t>(end - o.at);
        const size_t n = len < space ? len : space;
        std::memcpy(o.at, data, n);
        o.at += n;
        data += n;
        len -= n;
        if (o.at == end) {
            if (!o.sink.write(&o.sink, o.buffer, kBufferSize)) {
                ok = false;
                break;
            }
            o.at = o.buffer;
        }
    }
    // A full buffer leaves no room, so that the next piece comes here and hands it over first.
    o.limit = o.at == end ? end : end - 1;
    return ok;
}

bool close_statement(Output &o) {
    if (!o.statement_open) return true;
    if (!put_statement_end(o)) return false;
    o.statement_open = false;
    return true;
}

bool flush(Output &o) {
    const size_t fill = buffered(o);
    if (fill == 0) return true;
    if (!o.sink.write(&o.sink, o.buffer, static_cast<uint32_t>(fill))) return false;
    o.at = o.buffer;
    o.limit = o.buffer + (kBufferSize - 1);
    return true;
}

bool unit_suffix_due(const Output &o, uint32_t kind, const tvlr_event &e) {
    const bool number = kind == TVL_VK_NUMBER || kind == TVL_VK_ARRAY_NUMBER;
    const bool string = kind == TVL_VK_STRING || kind == TVL_VK_ARRAY_STRING;
    if (!number && !string) return false;
    if (number && (e.text == nullptr || e.text_len == 0)) return false;  // written as null
    if (!unit_present(e.unit) || directly_open_level(o) != nullptr) return false;
    return !next_in_force(o).declared_unit;
}

int unit_suffix_text(const tvl_unit &u, char (&text)[512]) {
    if (u.count > TVL_UNIT_MAX_FACTORS) return -1;
    const int n = tvl_unit_to_string(text, sizeof text, u);
    return n > 0 && n <= static_cast<int>(kUnitTextMax) ? n : -1;
}

bool output_event(Output &o, uint32_t kind, const tvlr_event &e, const tvl_unit *declared_unit) {
    // A record without text counts as an empty text.
    const char *text = e.text != nullptr ? e.text : "";
    const size_t len = e.text != nullptr ? e.text_len : 0;
    switch (kind) {
        case TVLR_EV_MEMBER_NAME:
            if (!put_member_start(o, text, len)) return false;
            o.statement_open = o.after_annotation = o.param_written = false;
            clear_in_force(o.in_force);
            return true;
        case TVLR_EV_STRUCT_START:
            if (!separator(o, true)) return false;
            if (!(o.pretty ? put(o, "{\n", 2) : put_byte(o, '{'))) return false;
            ++o.struct_depth;
            o.statement_open = false;
            return true;
        case TVLR_EV_STRUCT_END: {
            const uint32_t depth = o.struct_depth > 0 ? o.struct_depth - 1 : 0;
            if (o.statement_open && !put_statement_end(o)) return false;
            if (!indent(o, depth) || !put_byte(o, '}')) return false;
            o.statement_open = true;
            o.struct_depth = depth;
            if (ArrayLevel *level = directly_open(o)) level->separator_due = true;
            return true;
        }
        case TVLR_EV_ARRAY_START:
            if (!separator(o, true)) return false;
            if (o.array_depth < kArrayLevels) {
                ArrayLevel &level = o.levels[o.array_depth];
                level.separator_due = false;
                level.opened_at_struct_depth = o.struct_depth;
                copy_in_force(level.saved, o.in_force);
            }
            if (!put_byte(o, '[')) return false;
            ++o.array_depth;
            return true;
        case TVLR_EV_ARRAY_END:
            if (o.array_depth > 0) {
                --o.array_depth;
                // The array's type stays in force: the next row of a matrix starts with it.
                if (o.array_depth < kArrayLevels)
                    copy_in_force(o.in_force, o.levels[o.array_depth].saved);
            }
            if (!put_byte(o, ']')) return false;
            end_value(o);
            return true;
        case TVLR_EV_ROW_BREAK:
            if (!(o.pretty ? put(o, " / ", 3) : put_byte(o, '/'))) return false;
            if (ArrayLevel *level = directly_open(o)) level->separator_due = false;
            return true;
        case TVLR_EV_VALUE: {
            const bool suffix = unit_present(e.unit) && unit_suffix_due(o, e.value_kind, e);
            if (e.value_kind != TVL_VK_OCTETS && !separator(o, true)) return false;
            if (!put_value_text(o, e.value_kind, text, len)) return false;
            if (suffix && !put_unit_suffix(o, e.unit)) return false;
            end_value(o);
            return true;
        }
        case TVLR_EV_OCTETS_START:
            return separator(o, true) && put_byte(o, '\0');
        case TVLR_EV_OCTETS_END:
            if (!put_byte(o, '\0')) return false;
            end_value(o);
            return true;
        case TVLR_EV_TYPE_START:
            if (!separator(o, false)) return false;
            o.after_annotation = true;
            o.param_written = false;
            o.in_annotation = true;
            clear_in_force(o.annotation);
            o.annotation_len = 0;
            return put_byte(o, '<');
        case TVLR_EV_TYPE_NAME: {
            const TypeWord word = type_word(e.value_type);
            o.annotation.type = e.value_type;
            o.annotation_len += word.len;
            return put(o, word.text, word.len);
        }
        case TVLR_EV_TYPE_PARAM:
            return output_param(o, e, text, len, declared_unit);
        case TVLR_EV_TYPE_END:
            o.in_annotation = false;
            copy_in_force(o.in_force, o.annotation);
            return o.pretty ? put(o, "> ", 2) : put_byte(o, '>');
        default:
            return true;  // doc_start, doc_end and unknown kinds write nothing
    }
}

namespace {
// The direct paths are taken unless a test asks for the events.
std::atomic<bool> g_event_path{false};
}  // namespace

namespace testing {
void use_event_path(bool on) {
    g_event_path.store(on, std::memory_order_relaxed);
}
bool event_path() {
    return g_event_path.load(std::memory_order_relaxed);
}
}  // namespace testing

}  // namespace tvl::wr
