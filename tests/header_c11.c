/* Compiled as strict C11: the public header must be valid C and link. */
#include <string.h>

#include "tvlr.h"

int main(void) {
    if (strcmp(tvl_error_to_string(TVL_ERR_UNIT_MISMATCH), "unit_mismatch") != 0) return 1;
    tvlr_reader *r = tvlr_reader_create();
    if (!r) return 1;
    const char doc[] = ".a = 1;";
    bool ok = tvlr_open_read_mem(r, doc, sizeof doc - 1, NULL, 0, NULL) && tvlr_read(r);
    tvlr_reader_destroy(r);
    if (!ok) return 1;
    return 0;
}
