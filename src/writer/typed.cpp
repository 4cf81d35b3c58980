// The typed value writers: one call writes a member name, the annotation of a numeric type and
// the value as text, each event through the same checks as tvlr_write_event, so whatever such a
// call accepts reads back as the value it was given.
#include <cstdint>
#include <cstring>

#include "base/alloc.h"
#include "bignum/float_print.h"
#include "core/annotation.h"
#include "core/number_text.h"
#include "writer/pieces.h"
#include "writer/writer_impl.h"

namespace tvl::wr {
namespace {

// The value of a member on the direct path: a ready number text, or (text null) an integer
// given by its sign and magnitude and printed in place.
struct DirectValue {
    const char *text;
    size_t len;
    bool negative;
    uint64_t magnitude;
};

// A typed member without a unit written in one piece, `.name=<type:bits,qF>value`, with the
// state changes that the events member_name, type_start, type_name, the width and fraction
// parameters, type_end and value would make. It is taken only where those events would all be
// accepted and written without reaching the sink: no on_event callback, no array directly open
// (no separators), a place where a member may start, a valid name and annotation, a value that
// the caller found to pass its check (value_ok), and room in the memory sink or the buffer.
// Returns false, having changed nothing, where it is not taken. A writer that is stepping has
// no on_event callback and was not opened for the general path of the tests.
[[gnu::always_inline]] inline bool write_direct(tvlr_writer *w, const char *name, size_t name_len,
                                                uint32_t type, uint32_t bits, uint32_t fraction,
                                                const DirectValue &v) {
    Output &o = w->out;
    if (!member_piece_may_start(w, name, name_len) || type < TVLR_TYPE_SINT ||
        type > TVLR_TYPE_FLOAT_DEC || (fraction != 0 && type != TVLR_TYPE_FLOAT_FIX) ||
        !annotation_fields_valid(type, bits, fraction))
        return false;

    const TypeWord word = kTypeWords[type];
    const bool small_bits = bits < kSmallDecimals.size();
    const uint32_t bits_len =
        bits == 0 ? 0 : 1 + (small_bits ? kSmallDecimals[bits].len : decimal_digits(bits));
    const uint32_t fraction_len = fraction != 0 ? 2 + decimal_digits(fraction) : 0;
    const uint32_t annotation_len = word.len + bits_len + fraction_len;
    const bool special = v.text != nullptr && is_special_number(v.text, v.len);
    const size_t value_len = v.text != nullptr ? v.len + (special ? 1 : 0)
                                               : (v.negative ? 1 : 0) + decimal_digits(v.magnitude);
    const uint32_t tabs = o.pretty ? o.struct_depth : 0;
    const size_t total = statement_end_len(o) + tabs + 1 + name_len + (o.pretty ? 3 : 1) + 1 +
                         annotation_len + (o.pretty ? 2 : 1) + value_len;
    uint8_t *const start = claim(o, total);
    if (start == nullptr) return false;

    uint8_t *p = put_member_head(o, start, tabs, name, name_len);
    *p++ = '<';
    copy_bytes(p, word.text, word.len);
    p += word.len;
    if (bits != 0) {
        *p = ':';
        // Three digits copied where fewer are due: the bytes after them ('>' and at least one
        // of the value) lie in the claimed room and are written afterwards.
        if (small_bits) std::memcpy(p + 1, kSmallDecimals[bits].digits, 3);
        p += bits_len;
        if (!small_bits) write_decimal_before(p, bits);
    }
    if (fraction != 0) {
        *p = bits != 0 ? ',' : ':';
        p[1] = 'q';
        p += fraction_len;
        write_decimal_before(p, fraction);
    }
    *p++ = '>';
    if (o.pretty) *p++ = ' ';
    if (v.text != nullptr) {
        if (special) *p++ = '$';
        copy_bytes(p, v.text, v.len);
    } else {
        if (v.negative) *p = '-';
        write_decimal_before(start + total, v.magnitude);
    }
    commit(o, total);

    // The state after the events: the statement is open, the annotation closed and in force.
    o.statement_open = true;
    o.after_annotation = false;
    o.in_annotation = false;
    o.param_written = bits != 0 || fraction != 0;
    o.annotation_len = annotation_len;
    o.annotation.type = o.in_force.type = type;
    o.annotation.bits = o.in_force.bits = bits;
    o.annotation.base = o.in_force.base = fraction;
    o.annotation.declared_unit = o.in_force.declared_unit = false;
    forget_member_rows(w->rows, o.array_depth);
    w->previous = TVLR_EV_VALUE;
    w->started = true;
    return true;
}

// The checks of a typed writer before its member name: a ready writer and a name.
bool name_ready(tvlr_writer *w, const char *name) {
    if (!writer_ready_inline(w)) return false;
    if (name == nullptr) return writer_fail(w, TVL_ERR_INVALID_ARGUMENT);
    return true;
}

// A unit whose single factor has identifier 0 is the neutral unit: it means no unit.
tvl_unit effective_unit(const tvl_unit &unit) {
    if (unit.count == 1 && unit.factors[0].base == 0) return tvl_unit{};
    return unit;
}

bool write_param(tvlr_writer *w, tvlr_event e, uint32_t kind, const char *text, size_t len) {
    e.value_kind = kind;
    e.text = text;
    e.text_len = static_cast<uint32_t>(len);
    return tvlr_write_event(w, TVLR_EV_TYPE_PARAM, &e);
}

// The decimal digits of a value, NUL-terminated, with an optional '-' before them.
struct DecimalText {
    char buf[24];
    const char *text;
    size_t len;

    explicit DecimalText(uint64_t v, bool negative = false) {
        char *const end = buf + sizeof buf - 1;
        *end = '\0';
        char *p = write_decimal_before(end, v);
        if (negative) *--p = '-';
        text = p;
        len = static_cast<size_t>(end - p);
    }
};

// Writes a parameter given by its decimal value (width, base or fraction count).
bool write_number_param(tvlr_writer *w, const tvlr_event &e, uint32_t kind, uint32_t v) {
    const DecimalText digits(v);
    return write_param(w, e, kind, digits.text, digits.len);
}

bool write_annotation(tvlr_writer *w, const tvl_type_annotation &a, const tvl_unit &unit_in) {
    tvlr_event e{};
    e.value_kind = TVL_VK_TYPE;
    e.value_type = a.value_type;
    e.bits = a.bits;
    e.base = a.base;
    e.unit = effective_unit(unit_in);
    e.text = "";
    if (!writer_ready(w) || !tvlr_write_event(w, TVLR_EV_TYPE_START, &e) ||
        !tvlr_write_event(w, TVLR_EV_TYPE_NAME, &e))
        return false;
    const uint32_t t = a.value_type;
    if (t >= TVLR_TYPE_UTF8 && t <= TVLR_TYPE_FLOAT_DEC && a.bits != 0 &&
        !write_number_param(w, e, TVL_VK_BITS, a.bits))
        return false;
    const bool radix_type = t == TVLR_TYPE_SINT || t == TVLR_TYPE_UINT || t == TVLR_TYPE_FLOAT;
    if (radix_type && a.base != 0 && a.base != 10 && !write_number_param(w, e, TVL_VK_BASE, a.base))
        return false;
    if (t == TVLR_TYPE_FLOAT_FIX && a.base != 0 &&
        !write_number_param(w, e, TVL_VK_FRACTION, a.base))
        return false;
    if (e.unit.count != 0) {
        // The text is a function of the unit record and the flags: printed once while they
        // stay the same.
        UnitMemo &m = w->memo;
        if (!m.printed || m.flags != w->unit_flags ||
            std::memcmp(&m.unit, &e.unit, sizeof e.unit) != 0) {
            m.printed = false;
            const int n = tvl_unit_to_string_ex(m.text, sizeof m.text, w->unit_flags, e.unit);
            if (n < 0) return writer_fail(w, TVL_ERR_UNIT_TOO_LONG);
            m.printed = true;
            m.flags = w->unit_flags;
            m.unit = e.unit;
            m.len = static_cast<uint32_t>(n);
        }
        if (!write_param(w, e, TVL_VK_UNIT, m.text, m.len)) return false;
    }
    return tvlr_write_event(w, TVLR_EV_TYPE_END, &e);
}

// What a typed writer hands to the common frame: the annotation, the value kind and the text.
struct Typed {
    tvl_type_annotation annotation;
    uint32_t value_kind;
    const char *text;
    size_t len;
};

// The frame after the value text exists: annotation, then the value event with the same type,
// width, base and unit, so that its checks (the range against the width among them) apply.
bool write_typed_value(tvlr_writer *w, const Typed &t, const tvl_unit &unit) {
    if (!write_annotation(w, t.annotation, unit)) return false;
    if (t.len > UINT32_MAX) return writer_fail(w, TVL_ERR_INVALID_ARGUMENT);
    tvlr_event e{};
    e.value_kind = t.value_kind;
    e.value_type = t.annotation.value_type;
    e.bits = t.annotation.bits;
    e.base = t.annotation.base;
    e.unit = effective_unit(unit);
    e.text = t.text;
    e.text_len = static_cast<uint32_t>(t.len);
    return tvlr_write_event(w, TVLR_EV_VALUE, &e);
}

// The member name; a null name is refused before anything is written.
bool write_name(tvlr_writer *w, const char *name) {
    if (!writer_ready(w)) return false;
    if (name == nullptr) return writer_fail(w, TVL_ERR_INVALID_ARGUMENT);
    tvlr_event e{};
    e.text = name;
    const size_t len = std::strlen(name);
    if (len > UINT32_MAX) return writer_fail(w, TVL_ERR_INVALID_ARGUMENT);
    e.text_len = static_cast<uint32_t>(len);
    return tvlr_write_event(w, TVLR_EV_MEMBER_NAME, &e);
}

// A unit that makes a typed member take the event path: any but the neutral one.
bool has_unit(const tvl_unit &unit) {
    return unit.count > 1 || (unit.count == 1 && unit.factors[0].base != 0);
}

bool write_uint(tvlr_writer *w, const char *name, int bits, uint64_t v, const tvl_unit &unit) {
    if (!name_ready(w, name)) return false;
    // The range check of the value event, on the value: a width of 0 or from 64 up takes any.
    const auto width = static_cast<uint32_t>(bits);
    const bool fits = width == 0 || width >= 64 || (v >> width) == 0;
    if (fits && !has_unit(unit) &&
        write_direct(w, name, std::strlen(name), TVLR_TYPE_UINT, width, 0, {nullptr, 0, false, v}))
        return true;
    if (!write_name(w, name)) return false;
    const DecimalText text(v);
    const Typed t{{TVLR_TYPE_UINT, width, 0}, TVL_VK_NUMBER, text.text, text.len};
    return write_typed_value(w, t, unit);
}

bool write_sint(tvlr_writer *w, const char *name, int bits, int64_t v, const tvl_unit &unit) {
    if (!name_ready(w, name)) return false;
    // The magnitude in unsigned arithmetic, so the most negative value needs no special case.
    const uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    // The range check of the value event: -2^(width-1) to 2^(width-1) - 1; a width of 0 or
    // from 65 up takes any.
    const auto width = static_cast<uint32_t>(bits);
    const bool fits = width == 0 || width > 64 || (magnitude >> (width - 1)) == 0 ||
                      (v < 0 && magnitude == uint64_t{1} << (width - 1));
    if (fits && !has_unit(unit) &&
        write_direct(w, name, std::strlen(name), TVLR_TYPE_SINT, width, 0,
                     {nullptr, 0, v < 0, magnitude}))
        return true;
    if (!write_name(w, name)) return false;
    const DecimalText text(magnitude, v < 0);
    const Typed t{{TVLR_TYPE_SINT, width, 0}, TVL_VK_NUMBER, text.text, text.len};
    return write_typed_value(w, t, unit);
}

// A native double as float, float_fix or float_dec: the shortest decimal that reads back at the
// precision of the width (64 bits for 0 and the widths beyond a double).
bool write_double(tvlr_writer *w, const char *name, uint32_t type, unsigned bits, int fraction,
                  double v, const tvl_unit &unit) {
    if (!name_ready(w, name)) return false;
    const bool width_ok =
        bits == 0 || bits == 16 || bits == 32 || bits == 64 || bits == 128 || bits == 256;
    // The text first: it changes nothing in the writer, and the direct path needs it.
    char text[flt::kDoubleTextRoom];
    int n = -1;
    if (width_ok) {
        const bool narrow = bits == 16 || bits == 32;
        const uint32_t precision = narrow ? bits : 64;
        const double x = narrow ? static_cast<double>(static_cast<float>(v)) : v;
        n = flt::double_to_decimal(x, precision, text);
        if (n == flt::kUndecided) {
            // The few values that only the big float's routes decide.
            uint64_t word = 0;
            tvl_float f;
            tvl_float_init_buf(&f, precision, &word, 1);
            n = tvl_float_from_double(&f, x) ? tvl_float_to_str(&f, text, sizeof text, 10) : -1;
        }
    }
    const auto base = static_cast<uint32_t>(fraction);
    // Under float the value check has nothing to find in the printer's text: a decimal number
    // (digits, an optional point and exponent) or a special number, which float takes at every
    // width. float_fix and float_dec check the range of their format.
    if (n >= 0 && !has_unit(unit) &&
        (type == TVLR_TYPE_FLOAT ||
         check_value(TVL_VK_NUMBER, text, static_cast<size_t>(n), type, bits, base) == 0) &&
        write_direct(w, name, std::strlen(name), type, bits, base,
                     {text, static_cast<size_t>(n), false, 0}))
        return true;
    if (!write_name(w, name)) return false;
    if (!width_ok) return writer_fail(w, TVL_ERR_INVALID_ARGUMENT);
    if (n < 0) return writer_fail(w, TVL_ERR_NUMBER_TOO_LONG);
    const Typed t{{type, bits, base}, TVL_VK_NUMBER, text, static_cast<size_t>(n)};
    return write_typed_value(w, t, unit);
}

bool is_special(const char *text) {
    return std::strcmp(text, "nan") == 0 || std::strcmp(text, "inf") == 0 ||
           std::strcmp(text, "-inf") == 0;
}

bool write_tvlf(tvlr_writer *w, const char *name, const tvl_float *value, int bits, int base,
                const tvl_unit &unit) {
    if (!write_name(w, name)) return false;
    if (value == nullptr || (base != 0 && base != 10 && base != 16) || bits < 0)
        return writer_fail(w, TVL_ERR_INVALID_ARGUMENT);
    const uint32_t radix = base == 16 ? 16 : 10;
    const uint32_t width = bits != 0 ? static_cast<uint32_t>(bits) : value->precision;
    // The text is that of the value's own precision, whatever width is declared: the buffer is
    // sized by that precision, so neither a narrow width refuses a wide value for want of room
    // nor a huge (and refused) width makes a huge allocation.
    const uint32_t p = value->precision;
    size_t size = radix == 10 ? size_t{151} * p / 500 + 72 : p / 4 + 72;
    const size_t own = tvl_float_str_bufsize(p, radix);
    if (own > size) size = own;
    mem::Scratch<char, 256> buf;
    if (!buf.reserve(size, false)) return writer_fail(w, TVL_ERR_INVALID_ARGUMENT);
    const int n = tvl_float_to_str(value, buf.data(), size, radix);
    if (n <= 0) return writer_fail(w, TVL_ERR_VALUE_OUT_OF_RANGE);
    const bool as_string = radix == 16 && !is_special(buf.data());
    const Typed t{{TVLR_TYPE_FLOAT, width, radix == 16 ? 16u : 0u},
                  as_string ? uint32_t{TVL_VK_STRING} : uint32_t{TVL_VK_NUMBER},
                  buf.data(),
                  static_cast<size_t>(n)};
    return write_typed_value(w, t, unit);
}

// Digits of a width of w bits in base: a bound that holds for every base of the group.
size_t digit_bound(size_t w, unsigned base) {
    const size_t per = base < 4    ? 1
                       : base < 8  ? 2
                       : base < 16 ? 3
                       : base < 32 ? 4
                       : base < 64 ? 5
                                   : 6;
    return (w + per - 1) / per;
}

bool write_tvli(tvlr_writer *w, const char *name, const tvl_int *value, int bits, unsigned base,
                const tvl_unit &unit) {
    if (!write_name(w, name)) return false;
    if (value == nullptr || bits < 0) return writer_fail(w, TVL_ERR_INVALID_ARGUMENT);
    const uint32_t radix = base == 0 ? 10 : base;
    // The digits depend on the value alone; a declared width beyond it adds nothing but size.
    const size_t width = value->length == 0 ? 64 : size_t{32} * value->length;
    const size_t size = digit_bound(width, radix) + 2;
    mem::Scratch<char, 128> buf;
    if (!buf.reserve(size, false)) return writer_fail(w, TVL_ERR_INVALID_ARGUMENT);
    const int n = tvl_int_to_str(value, buf.data(), size, radix);
    if (n <= 0) return writer_fail(w, TVL_ERR_VALUE_OUT_OF_RANGE);
    const uint32_t type = value->negative != 0 ? TVLR_TYPE_SINT : TVLR_TYPE_UINT;
    const Typed t{{type, static_cast<uint32_t>(bits), radix == 10 ? 0u : radix},
                  radix == 10 ? uint32_t{TVL_VK_NUMBER} : uint32_t{TVL_VK_STRING},
                  buf.data(),
                  static_cast<size_t>(n)};
    return write_typed_value(w, t, unit);
}

constexpr tvl_unit kNoUnit{};

}  // namespace

}  // namespace tvl::wr

using tvl::wr::kNoUnit;

extern "C" {

bool tvlr_write_type_annotation(tvlr_writer *writer, tvl_type_annotation annotation,
                                tvl_unit unit) {
    return tvl::wr::write_annotation(writer, annotation, unit);
}

bool tvlr_write_uint_unit(tvlr_writer *w, const char *name, int bits, uint64_t value,
                          tvl_unit unit) {
    return tvl::wr::write_uint(w, name, bits, value, unit);
}
bool tvlr_write_uint(tvlr_writer *w, const char *name, int bits, uint64_t value) {
    return tvl::wr::write_uint(w, name, bits, value, kNoUnit);
}

bool tvlr_write_sint_unit(tvlr_writer *w, const char *name, int bits, int64_t value,
                          tvl_unit unit) {
    return tvl::wr::write_sint(w, name, bits, value, unit);
}
bool tvlr_write_sint(tvlr_writer *w, const char *name, int bits, int64_t value) {
    return tvl::wr::write_sint(w, name, bits, value, kNoUnit);
}

bool tvlr_write_float_unit(tvlr_writer *w, const char *name, unsigned bits, double value,
                           tvl_unit unit) {
    return tvl::wr::write_double(w, name, TVLR_TYPE_FLOAT, bits, 0, value, unit);
}
bool tvlr_write_float(tvlr_writer *w, const char *name, unsigned bits, double value) {
    return tvl::wr::write_double(w, name, TVLR_TYPE_FLOAT, bits, 0, value, kNoUnit);
}

bool tvlr_write_float_fix_unit(tvlr_writer *w, const char *name, unsigned bits, int fraction_bits,
                               double value, tvl_unit unit) {
    return tvl::wr::write_double(w, name, TVLR_TYPE_FLOAT_FIX, bits, fraction_bits, value, unit);
}
bool tvlr_write_float_fix(tvlr_writer *w, const char *name, unsigned bits, int fraction_bits,
                          double value) {
    return tvl::wr::write_double(w, name, TVLR_TYPE_FLOAT_FIX, bits, fraction_bits, value, kNoUnit);
}

bool tvlr_write_float_dec_unit(tvlr_writer *w, const char *name, unsigned bits, double value,
                               tvl_unit unit) {
    return tvl::wr::write_double(w, name, TVLR_TYPE_FLOAT_DEC, bits, 0, value, unit);
}
bool tvlr_write_float_dec(tvlr_writer *w, const char *name, unsigned bits, double value) {
    return tvl::wr::write_double(w, name, TVLR_TYPE_FLOAT_DEC, bits, 0, value, kNoUnit);
}

bool tvlr_write_tvlf_unit(tvlr_writer *w, const char *name, const tvl_float *value, int bits,
                          tvl_unit unit) {
    return tvl::wr::write_tvlf(w, name, value, bits, 10, unit);
}
bool tvlr_write_tvlf(tvlr_writer *w, const char *name, const tvl_float *value, int bits) {
    return tvl::wr::write_tvlf(w, name, value, bits, 10, kNoUnit);
}

bool tvlr_write_tvlf_base_unit(tvlr_writer *w, const char *name, const tvl_float *value, int bits,
                               int base, tvl_unit unit) {
    return tvl::wr::write_tvlf(w, name, value, bits, base, unit);
}
bool tvlr_write_tvlf_base(tvlr_writer *w, const char *name, const tvl_float *value, int bits,
                          int base) {
    return tvl::wr::write_tvlf(w, name, value, bits, base, kNoUnit);
}

bool tvlr_write_tvli_unit(tvlr_writer *w, const char *name, const tvl_int *value, int bits,
                          unsigned base, tvl_unit unit) {
    return tvl::wr::write_tvli(w, name, value, bits, base, unit);
}
bool tvlr_write_tvli(tvlr_writer *w, const char *name, const tvl_int *value, int bits,
                     unsigned base) {
    return tvl::wr::write_tvli(w, name, value, bits, base, kNoUnit);
}

}  // extern "C"
