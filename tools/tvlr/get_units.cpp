// tvlr get and tvlr units.
#include <cstdlib>

#include "tool.h"

namespace tool {
namespace {

constexpr const char *kGetHelp =
    "Usage: tvlr get [--si] FILE PATH\n"
    "\n"
    "Prints the value at PATH, member names joined by '.' (\"address.city\"); a number\n"
    "selects an element of an array (\"grid.2\"). Scalars are printed with their type\n"
    "annotation and unit (\"<float:64> 1.72 m\"), structs and arrays in tvlr text.\n"
    "\n"
    "  --si   convert a number to coherent SI units (\"12.5 k~m/s\" gives \"12500 m/s\")\n"
    "\n"
    "Exit status: 0 found, 1 invalid document, no such path or no SI value, 2 usage or I/O.\n";

constexpr const char *kUnitsHelp =
    "Usage: tvlr units EXPR [TO]\n"
    "\n"
    "With one unit expression (\"k~m/h\", \"kWh\", \"USD\"): prints its canonical form, its\n"
    "reduced form with the factor that reduction moved out, the factor (and offset) to\n"
    "coherent SI units and the dimension vector (length, mass, time, current,\n"
    "temperature, amount, luminous intensity).\n"
    "With TO: prints the factor (and offset) so that value_in_TO = value * factor + offset.\n"
    "Currencies have no SI factor and convert to nothing.\n"
    "\n"
    "Exit status: 0 success, 1 invalid or incompatible units, 2 usage errors.\n";

constexpr const char *kDimensionSymbols[7] = {"m", "k~g", "s", "A", "K", "mol", "cd"};
constexpr const char *kDimensionLetters[7] = {"L", "M", "T", "I", "Θ", "N", "J"};

// The coherent SI unit of a dimension vector, such as "kg·m/s²"; "" for a dimensionless one.
std::string si_unit_text(const int32_t dims[7]) {
    std::string expr;
    for (int i = 0; i < 7; ++i) {
        if (dims[i] == 0) continue;
        if (!expr.empty()) expr += '*';
        expr += kDimensionSymbols[i];
        if (dims[i] != 1) expr += cat("^", std::to_string(dims[i]));
    }
    if (expr.empty()) return {};
    tvlr::unit u = tvlr::unit::parse(expr);
    return u.valid ? u.str(TVL_UNIT_FMT_REDUCE) : expr;
}

std::string dimension_letters(const int32_t dims[7]) {
    std::string text;
    for (int i = 0; i < 7; ++i) {
        if (dims[i] == 0) continue;
        if (!text.empty()) text += ' ';
        text += kDimensionLetters[i];
        if (dims[i] != 1) text += cat("^", std::to_string(dims[i]));
    }
    return text.empty() ? std::string("dimensionless") : text;
}

std::string dimension_text(const int32_t dims[7]) {
    std::string vector = "[";
    for (int i = 0; i < 7; ++i) vector += (i ? ", " : "") + std::to_string(dims[i]);
    return dimension_letters(dims) + "  " + vector + "]";
}

bool is_currency(const tvl_unit &unit) {
    for (uint32_t i = 0; i < unit.count && i < TVL_UNIT_MAX_FACTORS; ++i)
        if (tvl_unit_is_currency(unit.factors[i].base)) return true;
    return false;
}

// A node in tvlr text: scalars with annotation and unit, structs and arrays laid out.
void node_text(std::string &out, tvlr::node n, int depth) {
    std::string note = annotation_text(n.annotation());
    std::string unit = unit_text(n.unit());
    std::string value;
    switch (n.type()) {
        case TVL_DOM_NULL:
            value = "null";
            break;
        case TVL_DOM_BOOL: {
            bool b = false;
            n.get(b);
            value = b ? "true" : "false";
            break;
        }
        case TVL_DOM_INT: {
            uint32_t base = n.annotation().base;
            bool plain = base == 0 || base == 10 || n.annotation().value_type > TVLR_TYPE_UINT;
            value = plain ? n.int_text(10) : quoted(n.int_text(base));
            break;
        }
        case TVL_DOM_FLOAT: {
            double d = 0;
            n.get(d);
            value = number_text(d);
            break;
        }
        case TVL_DOM_STRING:
            value = quoted(n.string());
            break;
        case TVL_DOM_SYMBOL:
            value = std::string(n.string());
            break;
        case TVL_DOM_REFERENCE:
            value = cat("&", n.string());
            break;
        case TVL_DOM_OCTETS:
            value = "# " + std::to_string(n.octets().size()) + " octets\n";
            break;
        case TVL_DOM_STRUCT: {
            value = "{\n";
            for (uint32_t i = 0; i < n.member_count(); ++i) {
                value.append(static_cast<size_t>(depth + 1), '\t');
                value += cat(".", n.member_name(i), " = ");
                node_text(value, n.member(i), depth + 1);
                value += ";\n";
            }
            value.append(static_cast<size_t>(depth), '\t');
            value += "}";
            break;
        }
        case TVL_DOM_ARRAY: {
            // Rows of a matrix ([1, 2] / [3, 4]) share one length.
            uint32_t row = tvl_dom_array_dims(n.get()) > 1 ? n.get()->sizes[0] : 0;
            value = "[";
            for (uint32_t i = 0; i < n.size(); ++i) {
                if (i && row && i % row == 0)
                    value += "] / [";
                else if (i)
                    value += ", ";
                node_text(value, n.at(i), depth);
            }
            value += "]";
            break;
        }
    }
    if (!note.empty()) out += note + " ";
    out += value;
    if (!unit.empty() && n.type() != TVL_DOM_STRUCT && n.type() != TVL_DOM_ARRAY) out += " " + unit;
}

// The node at a path of member names and array indices.
tvlr::node find(const tvlr::document &doc, std::string_view path) {
    if (!path.empty() && path[0] == '.') path.remove_prefix(1);
    tvlr::node current;
    bool top = true;
    while (true) {
        size_t dot = path.find('.');
        std::string segment(path.substr(0, dot));
        if (segment.empty()) return {};
        if (top) {
            for (uint32_t i = 0; i < doc.size() && !current; ++i)
                if (doc.name(i) == segment) current = doc[i];
            top = false;
        } else if (current.type() == TVL_DOM_ARRAY &&
                   segment.find_first_not_of("0123456789") == std::string::npos) {
            current = current.at(static_cast<uint32_t>(std::strtoul(segment.c_str(), nullptr, 10)));
        } else {
            current = current[segment.c_str()];
        }
        if (!current || dot == std::string_view::npos) return current;
        path.remove_prefix(dot + 1);
    }
}

int print_si(const input &in, std::string_view path, tvlr::node n) {
    if (n.type() != TVL_DOM_INT && n.type() != TVL_DOM_FLOAT) {
        complain("the value at '" + std::string(path) + "' in " + in.shown + " is not a number");
        return invalid;
    }
    double as_double = 0;
    if (!n.get(as_double)) {
        complain("the value at '" + std::string(path) + "' is too large for an SI value");
        return invalid;
    }
    tvl_unit unit = n.unit();
    if (is_currency(unit)) {
        complain("the value at '" + std::string(path) + "' is in a currency (" + unit_text(unit) +
                 "), which has no SI value");
        return invalid;
    }
    int32_t dims[7] = {};
    bool ok = false, has_offset = false;
    double offset = 0;
    if (has_unit(unit)) {
        tvl_unit_to_si_factor(&has_offset, &offset, &ok, unit);
        if (!ok || !tvl_unit_dimension_vector(dims, unit)) {
            complain("the unit " + unit_text(unit) + " at '" + std::string(path) +
                     "' has no SI conversion");
            return invalid;
        }
    }
    std::string si = si_unit_text(dims);
    return emit(number_text(n.value_in_si()) + (si.empty() ? "" : " " + si) + "\n") ? tool::ok
                                                                                    : failure;
}

tvlr::unit parse_unit_arg(std::string_view text, bool &ok) {
    tvlr::unit u = tvlr::unit::parse(text);
    ok = u.valid && tvl_unit_valid(u.value);
    if (!ok) complain(cat("'", text, "' is not a valid unit"));
    return u;
}

}  // namespace

int run_get(const args &a) {
    if (a.help) return std::fputs(kGetHelp, stdout) < 0 ? failure : tool::ok;
    if (!only_options(a, {"--si"})) return failure;
    if (a.operands.size() != 2) return usage_error(a, "expected FILE and PATH");
    input in;
    if (!load(a.operands[0], in)) return failure;
    if (!validate(in, false)) return invalid;
    tvlr::document doc = tvlr::document::parse(in.data);
    if (!doc) {
        complain("out of memory");
        return failure;
    }
    std::string_view path = a.operands[1];
    tvlr::node n = find(doc, path);
    if (!n) {
        complain("no value at '" + std::string(path) + "' in " + in.shown);
        return invalid;
    }
    if (a.has("--si")) return print_si(in, path, n);
    std::string out;
    node_text(out, n, 0);
    return emit(out + "\n") ? tool::ok : failure;
}

int run_units(const args &a) {
    if (a.help) return std::fputs(kUnitsHelp, stdout) < 0 ? failure : tool::ok;
    if (!only_options(a, {})) return failure;
    if (a.operands.empty() || a.operands.size() > 2)
        return usage_error(a, "expected a unit expression and optionally a target unit");
    bool ok = false;
    tvlr::unit from = parse_unit_arg(a.operands[0], ok);
    if (!ok) return invalid;
    bool has_offset = false, si_ok = false;
    double offset = 0;
    double factor = tvl_unit_to_si_factor(&has_offset, &offset, &si_ok, from.value);
    int32_t dims[7] = {};
    bool dims_ok = tvl_unit_dimension_vector(dims, from.value);

    if (a.operands.size() == 1) {
        double reduce_factor = 1;
        bool lossy = false;
        tvlr::unit reduced{tvl_unit_reduce(&reduce_factor, &lossy, from.value), true};
        std::string out = "unit:       " + from.str() + "\n";
        std::string reduced_text = reduced.str();
        out += "reduced:    " + (reduced_text.empty() ? from.str() : reduced_text);
        if (reduce_factor != 1) out += "  (x " + number_text(reduce_factor) + ")";
        out += lossy ? "  (not exact)\n" : "\n";
        if (is_currency(from.value)) {
            out += "SI factor:  none (currency)\n";
            out += "dimension:  currency\n";
        } else {
            out += "SI factor:  " + (si_ok ? number_text(factor) : std::string("none")) + "\n";
            if (si_ok && has_offset) out += "SI offset:  " + number_text(offset) + "\n";
            std::string si = dims_ok ? si_unit_text(dims) : std::string();
            if (si_ok) out += "SI unit:    " + (si.empty() ? std::string("1") : si) + "\n";
            out += "dimension:  " + (dims_ok ? dimension_text(dims) : std::string("none")) + "\n";
        }
        return emit(out) ? tool::ok : failure;
    }

    tvlr::unit to = parse_unit_arg(a.operands[1], ok);
    if (!ok) return invalid;
    std::string names = from.str() + " to " + to.str();
    if (is_currency(from.value) || is_currency(to.value)) {
        bool same = tvl_unit_equal(from.value, to.value);
        if (!same) {
            complain("cannot convert " + names +
                     ": currencies have no fixed exchange rate and no SI value");
            return invalid;
        }
        return emit("factor: 1\n") ? tool::ok : failure;
    }
    if (!tvl_units_compatible(from.value, to.value)) {
        int32_t to_dims[7] = {};
        bool to_ok = tvl_unit_dimension_vector(to_dims, to.value);
        complain("cannot convert " + names + ": the dimensions differ (" +
                 (dims_ok ? dimension_letters(dims) : "?") + " vs " +
                 (to_ok ? dimension_letters(to_dims) : "?") + ")");
        return invalid;
    }
    bool conv_ok = false, affine = false;
    double conv = tvl_unit_convert_factor(&conv_ok, &affine, from.value, to.value);
    std::string out;
    if (conv_ok) {
        out = "factor: " + number_text(conv) + "\n";
    } else {
        // An affine scale: value_to = (value * f_from + o_from - o_to) / f_to.
        bool to_offset = false, to_si = false;
        double to_off = 0;
        double to_factor = tvl_unit_to_si_factor(&to_offset, &to_off, &to_si, to.value);
        if (!si_ok || !to_si || to_factor == 0) {
            complain("cannot convert " + names);
            return invalid;
        }
        out = "factor: " + number_text(factor / to_factor) + "\n";
        out += "offset: " +
               number_text(((has_offset ? offset : 0) - (to_offset ? to_off : 0)) / to_factor) +
               "\n";
    }
    return emit(out) ? tool::ok : failure;
}

}  // namespace tool
