/* uemf_check: a second, independent reading of EMF files, using libuemf's per-record checks plus
 * the whole-file rules (header first, EOF last and alone at the end, nBytes, nRecords).
 *
 * Test-only: libuemf is GPL-2, so it is linked into this program and nothing else; the library
 * and the tools never depend on it. The file is read here with its own code, not with the
 * project's reader, so that a fault in the reader cannot hide the same fault in a file.
 *
 * usage: uemf_check [--min-files N] PATH...   (a directory is searched for *.emf, recursively)
 * exit: 0 all files sound, 1 a file is bad or fewer than N files were found, 2 bad usage.
 */
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include <uemf.h>
#include <uemf_endian.h>
#include <uemf_safe.h>

enum {
    UC_HEADER_MIN = 88,
    UC_EMR_HEADER = 1,
    UC_EMR_EOF = 14,
    UC_SIGNATURE = 0x464D4520,
    /* libuemf reads the record as it stands when told it is about to reverse it; these files are
     * little-endian like the hosts we test on, so that is the right reading. */
    UC_RECORD_IN_HOST_ORDER = 1,
};

static uint32_t uc_u32(const char *p)
{
    const unsigned char *u = (const unsigned char *)p;
    return (uint32_t)u[0] | (uint32_t)u[1] << 8 | (uint32_t)u[2] << 16 | (uint32_t)u[3] << 24;
}

static int uc_bad(const char *path, uint32_t index, uint32_t offset, const char *why)
{
    printf("uemf_check: %s: record %u at offset %u: %s\n", path, index, offset, why);
    return -1;
}

static int uc_check_header(const char *path, const char *b, uint32_t size)
{
    char why[128];
    if (size < UC_HEADER_MIN)
        return uc_bad(path, 0, 0, "file shorter than a header");
    if (uc_u32(b) != UC_EMR_HEADER || uc_u32(b + 40) != UC_SIGNATURE)
        return uc_bad(path, 0, 0, "the first record is not an EMF header");
    if (uc_u32(b + 48) != size) {
        snprintf(why, sizeof why, "nBytes %u, file size %u", uc_u32(b + 48), size);
        return uc_bad(path, 0, 0, why);
    }
    return 0;
}

/* Every record through libuemf's size and content checks, then the count and the final EOF. */
static int uc_check_records(const char *path, char *b, uint32_t size)
{
    uint32_t off = 0, index = 0, lastType = 0, lastOff = 0;
    char why[128];
    while (off < size) {
        uint32_t nSize = 0, iType = 0;
        if (size - off < 8 || uc_u32(b + off + 4) < 8 || uc_u32(b + off + 4) % 4 != 0)
            return uc_bad(path, index, off, "record size below 8 or not a multiple of 4");
        if (lastType == UC_EMR_EOF)
            return uc_bad(path, index, off, "record after EMR_EOF");
        if (index > 0 && uc_u32(b + off) == UC_EMR_HEADER)
            return uc_bad(path, index, off, "a second header");
        if (!U_emf_record_sizeok(b + off, b + size, &nSize, &iType, UC_RECORD_IN_HOST_ORDER))
            return uc_bad(path, index, off, "U_emf_record_sizeok rejects the record");
        if (!U_emf_record_safe(b + off))
            return uc_bad(path, index, off, "U_emf_record_safe rejects the record");
        lastType = iType;
        lastOff = off;
        off += nSize;
        index++;
    }
    if (lastType != UC_EMR_EOF)
        return uc_bad(path, index - 1, lastOff, "the file does not end with EMR_EOF");
    if (uc_u32(b + 52) != index) {
        snprintf(why, sizeof why, "nRecords %u, records in the file %u", uc_u32(b + 52), index);
        return uc_bad(path, 0, 0, why);
    }
    return 0;
}

static int uc_check_file(const char *path)
{
    FILE *f = fopen(path, "rb");
    struct stat st;
    if (f == NULL || fstat(fileno(f), &st) != 0 || st.st_size > UINT32_MAX) {
        printf("uemf_check: %s: cannot be read\n", path);
        if (f != NULL)
            fclose(f);
        return -1;
    }
    char *b = (char *)malloc(st.st_size ? st.st_size : 1);
    int rc = -1;
    if (b == NULL)
        printf("uemf_check: %s: out of memory\n", path);
    else if (fread(b, 1, st.st_size, f) != (size_t)st.st_size)
        printf("uemf_check: %s: read error\n", path);
    else if (uc_check_header(path, b, (uint32_t)st.st_size) == 0)
        rc = uc_check_records(path, b, (uint32_t)st.st_size);
    free(b);
    fclose(f);
    return rc;
}

static int uc_is_emf_name(const char *name)
{
    size_t n = strlen(name);
    return n > 4 && strcasecmp(name + n - 4, ".emf") == 0;
}

/* Adds path, or the *.emf files below it when it is a directory, in a stable order. */
static void uc_collect(const std::string &path, std::vector<std::string> *files)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        files->push_back(path);
        return;
    }
    DIR *d = opendir(path.c_str());
    if (d == NULL) {
        files->push_back(path); /* reported as unreadable */
        return;
    }
    std::vector<std::string> names;
    while (struct dirent *e = readdir(d))
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
            names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    for (const std::string &name : names) {
        std::string full = path + "/" + name;
        if (stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            uc_collect(full, files);
        else if (uc_is_emf_name(name.c_str()))
            files->push_back(full);
    }
}

int main(int argc, char **argv)
{
    long minFiles = 0;
    std::vector<std::string> files;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "--min-files") == 0 && i + 1 < argc)
            minFiles = strtol(argv[++i], NULL, 10);
        else if (argv[i][0] != '-')
            uc_collect(argv[i], &files);
        else {
            fprintf(stderr, "usage: uemf_check [--min-files N] PATH...\n");
            return 2;
        }
    }
    unsigned bad = 0;
    for (const std::string &file : files)
        if (uc_check_file(file.c_str()) < 0)
            bad++;
    printf("uemf_check: %zu files checked, %u bad\n", files.size(), bad);
    if ((long)files.size() < minFiles) {
        printf("uemf_check: expected at least %ld files\n", minFiles);
        return 1;
    }
    return bad ? 1 : 0;
}
