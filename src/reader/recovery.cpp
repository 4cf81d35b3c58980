// Recovery after a scanning error, with the option `recover` on: the start of a recovery (close
// the member's open arrays, reset the token, count it), the skipping actions of the states
// skip..skip_comment, which pass over strings, comments and balanced brackets, and the
// resynchronisation at the next `;` outside them, after which the next member is read normally.
#include "reader/reader_impl.h"
#include "reader/scanner_table.h"

namespace tvl::rd {
namespace {

using namespace tvl::scan;

bool skip_close(tvlr_reader *r, uint8_t b) {
    r->state = S_skip;
    if (b == ']') {
        if (r->skip_brackets) --r->skip_brackets;
        return true;
    }
    if (r->skip_braces) {
        --r->skip_braces;
        return true;
    }
    if (r->struct_depth == 0) return true;
    // An unmatched `}` closes the struct that the error occurred in, after
    // the arrays that its members still hold open.
    if (!close_member_arrays(r)) return false;
    --r->struct_depth;
    close_struct_level(r);
    if (!emit(r, TVLR_EV_STRUCT_END, 0, nullptr, 0)) return false;
    if (r->in_array && r->skip_brackets == 0) {
        // The struct was an array element: the enclosing array reads on
        // normally, so that its elements and its array_end are kept.
        clear_token(r);
        clear_number_state(r);
        restore_in_force(r, r->array_stack[r->array_depth - 1].in_force);
        r->state = S_after_struct;
    }
    return true;
}

// A `;` while skipping: it ends the recovery unless it stands inside skipped brackets.
bool resync(tvlr_reader *r) {
    if (r->skip_brackets || r->skip_braces) {
        r->state = S_skip;
        return true;
    }
    // Arrays left open by a struct closed while skipping are closed here.
    if (!close_member_arrays(r)) return false;
    reset_value_state(r);
    r->state = S_after_member;
    return true;
}

}  // namespace

bool close_member_arrays(tvlr_reader *r) {
    const uint32_t base = member_array_base(r);
    while (r->array_depth > base) {
        if (!emit(r, TVLR_EV_ARRAY_END, 0, nullptr, 0)) return false;
        --r->array_depth;
        restore_in_force(r, r->array_stack[r->array_depth].in_force);
        r->elements = r->array_stack[r->array_depth].elements + 1;
        r->row_length = r->array_stack[r->array_depth].row_length;
    }
    return true;
}

bool start_recovery(tvlr_reader *r) {
    const bool at_member_end = r->failed_at_member_end;
    r->failed_at_member_end = false;
    if (!close_member_arrays(r)) return false;
    reset_value_state(r);
    r->error_line = r->error_column = r->error_offset = 0;
    r->error_byte = 0;
    ++r->recovery_count;
    // When the `;` that ended the member raised the error, it ends the
    // recovery as well, and the next member is read normally.
    r->state = at_member_end ? S_after_member : S_skip;
    return true;
}

bool skip_action(tvlr_reader *r, uint8_t action, uint8_t b) {
    switch (action) {
        case A_skip_open:
            if (b == '[')
                ++r->skip_brackets;
            else
                ++r->skip_braces;
            r->state = S_skip;
            return true;
        case A_skip_close:
            return skip_close(r, b);
        case A_skip_string:
            r->state = S_skip_string;
            return true;
        case A_skip_escape:
            r->state = S_skip_escape;
            return true;
        case A_skip_comment:
            r->state = S_skip_comment;
            return true;
        case A_resync:
            return resync(r);
        default:  // skip, skip_string_end, skip_comment_end
            r->state = S_skip;
            return true;
    }
}

}  // namespace tvl::rd
