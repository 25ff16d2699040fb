/* emfcompare: compares two enhanced metafiles record by record, except for fields the caller
 * names; reports the first difference with both records' bytes. */
#include <stdio.h>
#include <string.h>

#include "emftools.h"

enum {
    COMPARE_SAME = 0,
    COMPARE_DIFFERENT = 1,
    COMPARE_FAILED = 2, /* a wrong command line, or a file that is not a sound EMF */
};

static void compare_usage(FILE *out)
{
    fprintf(out,
            "usage: emfcompare [--ignore NAME]... A.emf B.emf\n"
            "       emfcompare --list-ignores\n"
            "Compares the files record by record: the same number of records, each of the same\n"
            "type, size and bytes; nothing is left out unless asked.\n"
            "\n"
            "options:\n"
            "  --ignore NAME  leave out the fields NAME covers (may be given more than once)\n"
            "  --list-ignores  the names, the records they cover and why each may differ\n"
            "  -h, --help    this text\n"
            "\n"
            "Exit status: 0 equal, 1 different (the first difference is reported with both\n"
            "records in hex), 2 bad command line or a file the reader rejects.\n");
}

static void compare_report(const EmfFile *a, const EmfFile *b, const char *pathA,
                           const char *pathB, const EmfDiff *d)
{
    const EmfRecord *ra = &a->records[d->index], *rb = &b->records[d->index];
    printf("record %u (%s", d->index, EmfRecordName(ra->iType));
    if (ra->iType != rb->iType)
        printf(" / %s", EmfRecordName(rb->iType));
    printf(") at offset %u / %u: field %s (byte %u) differs; %s has %u records, %s has %u\n",
           ra->offset, rb->offset, d->field[0] ? d->field : "?", d->at, pathA, a->count, pathB,
           b->count);
    EmfDumpRecord(stdout, pathA, ra, d->at);
    EmfDumpRecord(stdout, pathB, rb, d->at);
}

static int compare_load(const char *path, EmfFile *f)
{
    char error[256];
    if (EmfLoadFile(path, f, error, sizeof error) == 0)
        return 0;
    fprintf(stderr, "emfcompare: %s: %s\n", path, error);
    return -1;
}

static int compare_files(const char *pathA, const char *pathB, uint32_t mask)
{
    EmfFile a, b;
    if (compare_load(pathA, &a) < 0)
        return COMPARE_FAILED;
    if (compare_load(pathB, &b) < 0) {
        EmfFree(&a);
        return COMPARE_FAILED;
    }
    EmfDiff diff;
    int status = COMPARE_SAME;
    if (EmfCompareFiles(&a, &b, mask, &diff) != 0) {
        compare_report(&a, &b, pathA, pathB, &diff);
        status = COMPARE_DIFFERENT;
    }
    EmfFree(&a);
    EmfFree(&b);
    return status;
}

int main(int argc, char **argv)
{
    uint32_t mask = 0;
    const char *paths[2];
    int npaths = 0;
    for (int i = 1; i < argc; i++) {
        const char *arg = argv[i];
        if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
            compare_usage(stdout);
            return COMPARE_SAME;
        }
        if (strcmp(arg, "--list-ignores") == 0) {
            EmfCompareListExclusions(stdout);
            return COMPARE_SAME;
        }
        if (strcmp(arg, "--ignore") == 0 && i + 1 < argc) {
            if (EmfCompareExclude(argv[++i], &mask) < 0) {
                fprintf(stderr, "emfcompare: no field set called '%s' (see --list-ignores)\n",
                        argv[i]);
                return COMPARE_FAILED;
            }
        } else if (arg[0] != '-' && npaths < 2) {
            paths[npaths++] = arg;
        } else {
            compare_usage(stderr);
            return COMPARE_FAILED;
        }
    }
    if (npaths != 2) {
        compare_usage(stderr);
        return COMPARE_FAILED;
    }
    return compare_files(paths[0], paths[1], mask);
}
