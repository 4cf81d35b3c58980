/* Reads a tvlr document (a file named on the command line, or standard
 * input) and prints its events, one a line, and any error with its line and
 * column. Exit status: 0 for a complete document, 1 for an error, 2 for a
 * usage or file problem. */
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include "tvlr.h"

static const char *const kind_names[] = {
    "doc_start",  "member_name", "octets_start", "octets_end", "struct_start",
    "struct_end", "array_start", "array_end",    "row_break",  "value",
    "type_start", "type_end",    "type_name",    "type_param", "doc_end",
};

static bool print_event(void *user, uint32_t kind, tvlr_event *e) {
    (void)user;
    printf("%-12s", kind < 15 ? kind_names[kind] : "?");
    if (kind == TVLR_EV_VALUE || kind == TVLR_EV_TYPE_PARAM)
        printf(" kind=%u", (unsigned)e->value_kind);
    if (e->value_type || e->bits || e->base)
        printf(" type=%u bits=%u base=%u", (unsigned)e->value_type, (unsigned)e->bits,
               (unsigned)e->base);
    if (e->text_len) {
        if (e->value_kind == TVL_VK_OCTETS)
            printf(" (%u octets)", (unsigned)e->text_len);
        else
            printf(" \"%.*s\"", (int)e->text_len, e->text);
    }
    putchar('\n');
    return true;
}

static void print_error(void *user, uint32_t code, uint64_t line, uint64_t column, uint32_t byte,
                        uint64_t offset) {
    (void)user;
    fprintf(stderr, "error %u (%s) at line %llu, column %llu (byte 0x%02X, offset %llu)\n",
            (unsigned)code, tvl_error_to_string(code), (unsigned long long)line,
            (unsigned long long)column, (unsigned)byte, (unsigned long long)offset);
}

int main(int argc, char **argv) {
    if (argc > 2) {
        fprintf(stderr, "usage: %s [file]\n", argv[0]);
        return 2;
    }
    int fd = 0;
    if (argc == 2 && (fd = open(argv[1], O_RDONLY)) < 0) {
        perror(argv[1]);
        return 2;
    }
    tvlr_reader *reader = tvlr_reader_create();
    if (!reader) return 2;
    tvlr_source source;
    tvlr_source_from_fd(&source, fd);
    tvlr_reader_options options = {0};
    options.on_event = print_event;
    options.on_error = print_error;
    bool ok = tvlr_open_read_source(reader, &source, NULL, &options) && tvlr_read(reader);
    tvlr_reader_destroy(reader);
    if (fd > 0) close(fd);
    return ok ? 0 : 1;
}
