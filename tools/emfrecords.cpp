/* emfrecords: prints an enhanced metafile's records, one line each, with their decoded fields. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "emftools.h"

enum {
    INSPECT_OK = 0,
    INSPECT_FAILED = 2, /* a wrong command line, or a file that is not a sound EMF */
};

static void records_usage(FILE *out)
{
    fprintf(out,
            "usage: emfrecords FILE.emf\n"
            "Prints every record of the metafile on one line: index, byte offset, record type,\n"
            "size and the decoded fields. A file that fails the reader's checks is reported with\n"
            "the record and offset at fault, and the exit status is 2.\n");
}

static int records_file(const char *path)
{
    EmfFile file;
    char error[256];
    if (EmfLoadFile(path, &file, error, sizeof error) < 0) {
        fprintf(stderr, "emfrecords: %s: %s\n", path, error);
        return INSPECT_FAILED;
    }
    char line[4096];
    for (uint32_t i = 0; i < file.count; i++) {
        size_t len = EmfFormatRecord(&file, i, line, sizeof line);
        printf("%s%s\n", line, len >= sizeof line ? " ..." : "");
    }
    EmfFree(&file);
    return INSPECT_OK;
}

int main(int argc, char **argv)
{
    if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        records_usage(stdout);
        return INSPECT_OK;
    }
    if (argc != 2 || argv[1][0] == '-') {
        records_usage(stderr);
        return INSPECT_FAILED;
    }
    return records_file(argv[1]);
}
