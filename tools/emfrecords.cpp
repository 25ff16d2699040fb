/* emfrecords: prints an enhanced metafile's records, one line each, with their decoded fields, or
 * with --summary a few lines about the whole file. */
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
            "usage: emfrecords [--summary] FILE.emf\n"
            "Prints every record of the metafile on one line: index, byte offset, record type,\n"
            "size and the decoded fields. A file that fails the reader's checks is reported with\n"
            "the record and offset at fault, and the exit status is 2.\n"
            "\n"
            "options:\n"
            "  --summary     the file's size, bounds, frame and device, its records counted by\n"
            "                type, and the objects still alive at the end, instead of the records\n"
            "  -h, --help    this text\n");
}

static int records_file(const char *path, bool summary)
{
    EmfFile file;
    char error[256];
    if (EmfLoadFile(path, &file, error, sizeof error) < 0) {
        fprintf(stderr, "emfrecords: %s: %s\n", path, error);
        return INSPECT_FAILED;
    }
    int status = INSPECT_OK;
    if (summary) {
        EmfSummary counts;
        if (EmfSummarize(&file, &counts) == 0)
            EmfPrintSummary(&file, &counts, stdout);
        else
            status = INSPECT_FAILED;
        EmfFreeSummary(&counts);
    } else {
        char line[4096];
        for (uint32_t i = 0; i < file.count; i++) {
            size_t len = EmfFormatRecord(&file, i, line, sizeof line);
            printf("%s%s\n", line, len >= sizeof line ? " ..." : "");
        }
    }
    EmfFree(&file);
    return status;
}

int main(int argc, char **argv)
{
    if (argc == 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        records_usage(stdout);
        return INSPECT_OK;
    }
    bool summary = argc == 3 && strcmp(argv[1], "--summary") == 0;
    const char *path = argv[argc - 1];
    if ((argc != 2 && !summary) || path[0] == '-') {
        records_usage(stderr);
        return INSPECT_FAILED;
    }
    return records_file(path, summary);
}
