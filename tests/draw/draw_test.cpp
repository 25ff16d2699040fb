/* The drawing tests' fixture and byte helpers. */
#include "draw_test.h"

#include "emf_keep.h"

#include <stdio.h>
#include <stdlib.h>

#include "emf_reader.h"
#include "fresh_drive.h"

std::string DrawTest::dir_;

void DrawTest::SetUpTestSuite()
{
    if (!dir_.empty())
        return; /* a suite before this one made the process's drive */
    char dir[] = "/tmp/tavlinqx-draw-XXXXXX";
    ASSERT_TRUE(UseFreshDrive(dir));
    dir_ = dir;
}

void DrawTest::SetUp()
{
    StandinClearFaults();
    gdiObjects_ = StandinLiveGdiObjects();
    ref_ = CreateDCA("WINSPL16", "DISPLAY", NULL, NULL);
    ASSERT_NE(ref_, nullptr);
    dc_ = CreateEnhMetaFileA(ref_, (dir_ + "/draw.emf").c_str(), NULL, NULL);
    ASSERT_NE(dc_, nullptr);
}

void DrawTest::TearDown()
{
    StandinTraceStop();
    StandinClearFaults();
    if (dc_)
        Close();
    DeleteDC(ref_);
    EXPECT_EQ(StandinLiveGdiObjects(), gdiObjects_) << "a test left a GDI object alive";
}

void DrawTest::Close(bool reopen)
{
    const std::string path = dir_ + "/draw.emf";
    HENHMETAFILE emf = CloseEnhMetaFile(dc_);
    dc_ = NULL;
    ASSERT_NE(emf, nullptr);
    DeleteEnhMetaFile(emf);
    EmfFile file;
    char error[200];
    ASSERT_EQ(EmfLoadFile(path.c_str(), &file, error, sizeof error), 0) << error;
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string kept = std::string("draw.") + test->test_suite_name() + "." + test->name() + "-" +
                       std::to_string(closed_++);
    EXPECT_EQ(EmfKeepForCheck(path.c_str(), kept.c_str()), 0);
    EmfGetHeader(&file, &header_);
    drawn_.clear();
    for (uint32_t i = 1; i < file.count; i++) {
        const EmfRecord &r = file.records[i];
        bool object = r.iType == emf::EMR_SELECTOBJECT || r.iType == emf::EMR_DELETEOBJECT ||
                      r.iType == emf::EMR_CREATEPEN || r.iType == emf::EMR_EXTCREATEPEN;
        if (r.iType != emf::EMR_EOF && !object)
            drawn_.push_back(Drawn{r.iType, std::vector<uint8_t>(r.data, r.data + r.nSize)});
    }
    EmfFree(&file);
    if (reopen) {
        dc_ = CreateEnhMetaFileA(ref_, path.c_str(), NULL, NULL);
        ASSERT_NE(dc_, nullptr);
    }
}

std::vector<uint8_t> Hex(const char *words)
{
    std::vector<uint8_t> bytes;
    for (const char *p = words; *p;) {
        if (*p == ' ') {
            p++;
            continue;
        }
        char pair[3] = {p[0], p[1], 0};
        bytes.push_back((uint8_t)strtoul(pair, NULL, 16));
        p += 2;
    }
    return bytes;
}

std::vector<uint8_t> Joined(const std::vector<Drawn> &records)
{
    std::vector<uint8_t> all;
    for (const Drawn &r : records)
        all.insert(all.end(), r.bytes.begin(), r.bytes.end());
    return all;
}

::testing::AssertionResult SameBytes(const std::vector<uint8_t> &actual, const std::vector<uint8_t> &expected)
{
    if (actual == expected)
        return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        at++;
    std::string dump;
    for (size_t i = 0; i < actual.size(); i++) {
        char b[4];
        snprintf(b, sizeof b, "%02x", actual[i]);
        dump += (i % 4 == 0 && i ? " " : "") + std::string(b);
    }
    return ::testing::AssertionFailure() << "first difference at byte " << at << " (" << actual.size() << " bytes, "
                                         << expected.size() << " expected); actual: \"" << dump << "\"";
}

std::string Rect(const emf::RECTL &r)
{
    char s[64];
    snprintf(s, sizeof s, "(%d,%d,%d,%d)", r.left, r.top, r.right, r.bottom);
    return s;
}
