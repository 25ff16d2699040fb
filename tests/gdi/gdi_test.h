/* Shared fixture and helpers of the stand-in GDI tests: a private drive C:, leak checks, and
 * metafiles read back record by record. */
#ifndef TAVLINQX_GDI_TEST_H
#define TAVLINQX_GDI_TEST_H

#include <gtest/gtest.h>

#include <stdint.h>
#include <string>
#include <vector>

#include "standin.h"
#include "winapi.h"

struct EmfRecord {
    uint32_t type;
    std::vector<uint8_t> bytes; /* the whole record, iType and nSize included */
};

/* Every test starts with no faults armed and must end with as many live GDI objects and DCs as it
 * started with. */
class GdiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /* A POSIX path for name in this test run's drive C: folder. */
    static std::string FilePath(const char *name);
    /* A metafile DC on the display reference, writing to FilePath(name). */
    HDC NewMetafile(const char *name, const RECT *frame = NULL, const char *desc = NULL);
    /* Closes dc, releases the metafile handle and returns the file's bytes (empty if closing failed). */
    std::vector<uint8_t> CloseAndRead(HDC dc, const char *name);
    /* Closes dc and returns the records between the header and EMR_EOF. */
    std::vector<EmfRecord> CloseAndBody(HDC dc, const char *name);

private:
    long objectsBefore_ = 0, dcsBefore_ = 0;
};

std::vector<uint8_t> ReadFile(const std::string &path);
/* Splits a metafile into records; fails the test on a size that does not add up. */
std::vector<EmfRecord> SplitRecords(const std::vector<uint8_t> &bytes);
uint32_t U32(const std::vector<uint8_t> &bytes, size_t offset);
int32_t I32(const std::vector<uint8_t> &bytes, size_t offset);

/* A record image written as its 32-bit fields, little-endian, then any trailing bytes. */
std::vector<uint8_t> Words(std::initializer_list<uint32_t> words, std::initializer_list<uint8_t> tail = {});

/* Compares bytes with the expected image; on a mismatch names the first differing offset and prints
 * the actual bytes ready to paste. */
::testing::AssertionResult SameBytes(const std::vector<uint8_t> &actual, const std::vector<uint8_t> &expected);

#endif
