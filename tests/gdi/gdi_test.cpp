/* Shared fixture and helpers of the stand-in GDI tests. */
#include "gdi_test.h"

#include "emf_keep.h"
#include "fresh_drive_environment.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

::testing::Environment *const g_root =
    ::testing::AddGlobalTestEnvironment(new FreshDrive("/tmp/gdicore-tests-XXXXXX"));
/* The suites draw on the built-in printers, whatever queues this machine's CUPS server has. */
const int g_builtInPrinters = setenv(STANDIN_CUPS_ENV, "off", 1);

} /* namespace */

void GdiTest::SetUp()
{
    StandinClearFaults();
    objectsBefore_ = StandinLiveGdiObjects();
    dcsBefore_ = StandinLiveDCs();
}

void GdiTest::TearDown()
{
    StandinTraceStop();
    StandinClearFaults();
    EXPECT_EQ(StandinLiveGdiObjects(), objectsBefore_) << "GDI objects leaked";
    EXPECT_EQ(StandinLiveDCs(), dcsBefore_) << "device contexts leaked";
}

std::string GdiTest::FilePath(const char *name)
{
    return std::string(StandinRootFolder()) + "/" + name;
}

HDC GdiTest::NewMetafile(const char *name, const RECT *frame, const char *desc)
{
    HDC ref = CreateDCA("WINSPL16", "DISPLAY", NULL, NULL);
    EXPECT_NE(ref, nullptr);
    HDC dc = CreateEnhMetaFileA(ref, FilePath(name).c_str(), frame, desc);
    EXPECT_NE(dc, nullptr);
    DeleteDC(ref);
    return dc;
}

std::vector<uint8_t> GdiTest::CloseAndRead(HDC dc, const char *name)
{
    HENHMETAFILE hmf = CloseEnhMetaFile(dc);
    if (!hmf)
        return std::vector<uint8_t>();
    EXPECT_TRUE(DeleteEnhMetaFile(hmf));
    std::vector<uint8_t> bytes = ReadFile(FilePath(name));
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string kept = std::string("gdi.") + test->test_suite_name() + "." + test->name() + "." + name;
    EXPECT_EQ(EmfKeepBytesForCheck(bytes.data(), bytes.size(), kept.c_str()), 0);
    return bytes;
}

std::vector<EmfRecord> GdiTest::CloseAndBody(HDC dc, const char *name)
{
    std::vector<EmfRecord> records = SplitRecords(CloseAndRead(dc, name));
    if (records.size() < 2) {
        ADD_FAILURE() << "no header and EOF";
        return records;
    }
    EXPECT_EQ(records.front().type, 1u);
    EXPECT_EQ(records.back().type, 14u);
    return std::vector<EmfRecord>(records.begin() + 1, records.end() - 1);
}

std::vector<uint8_t> ReadFile(const std::string &path)
{
    std::vector<uint8_t> bytes;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return bytes;
    int c;
    while ((c = fgetc(f)) != EOF)
        bytes.push_back((uint8_t)c);
    fclose(f);
    return bytes;
}

uint32_t U32(const std::vector<uint8_t> &bytes, size_t offset)
{
    if (offset + 4 > bytes.size()) {
        ADD_FAILURE() << "read past the end at " << offset;
        return 0;
    }
    return (uint32_t)bytes[offset] | (uint32_t)bytes[offset + 1] << 8 | (uint32_t)bytes[offset + 2] << 16 |
           (uint32_t)bytes[offset + 3] << 24;
}

int32_t I32(const std::vector<uint8_t> &bytes, size_t offset) { return (int32_t)U32(bytes, offset); }

std::vector<EmfRecord> SplitRecords(const std::vector<uint8_t> &bytes)
{
    std::vector<EmfRecord> records;
    size_t at = 0;
    while (at + 8 <= bytes.size()) {
        uint32_t size = U32(bytes, at + 4);
        if (size < 8 || size % 4 != 0 || at + size > bytes.size()) {
            ADD_FAILURE() << "record " << records.size() << " at " << at << " has size " << size;
            break;
        }
        std::vector<uint8_t> record(bytes.begin() + at, bytes.begin() + at + size);
        records.push_back(EmfRecord{U32(bytes, at), record});
        at += size;
    }
    EXPECT_EQ(at, bytes.size()) << "bytes after the last record";
    return records;
}

std::vector<uint8_t> Words(std::initializer_list<uint32_t> words, std::initializer_list<uint8_t> tail)
{
    std::vector<uint8_t> bytes;
    for (uint32_t w : words)
        for (int i = 0; i < 4; i++)
            bytes.push_back((uint8_t)(w >> (8 * i)));
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    return bytes;
}

::testing::AssertionResult SameBytes(const std::vector<uint8_t> &actual, const std::vector<uint8_t> &expected)
{
    size_t n = actual.size() < expected.size() ? actual.size() : expected.size();
    size_t first = 0;
    while (first < n && actual[first] == expected[first])
        first++;
    if (first == n && actual.size() == expected.size())
        return ::testing::AssertionSuccess();
    ::testing::AssertionResult failure = ::testing::AssertionFailure();
    failure << "first difference at offset " << first << " (sizes " << actual.size() << " and " << expected.size()
            << "); actual bytes:\n";
    char hex[8];
    for (size_t i = 0; i < actual.size(); i++) {
        snprintf(hex, sizeof hex, "0x%02x,%s", actual[i], i % 16 == 15 ? "\n" : " ");
        failure << hex;
    }
    return failure;
}
