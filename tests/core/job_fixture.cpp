/* The core tests' metafile job: set-up, record description and leak checks. */
#include "job_fixture.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "emf_keep.h"
#include "emf_reader.h"
#include "fresh_drive_environment.h"

namespace {

::testing::Environment *const kFreshDrive =
    ::testing::AddGlobalTestEnvironment(new FreshDrive("/tmp/tavlinqx-core-XXXXXX"));

uint32_t U32(const std::vector<uint8_t> &b, size_t off)
{
    uint32_t v = 0;
    if (off + 4 <= b.size())
        memcpy(&v, &b[off], 4);
    return v;
}

int32_t I32(const std::vector<uint8_t> &b, size_t off) { return (int32_t)U32(b, off); }

std::string Format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char *fmt, ...)
{
    char text[256];
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(text, sizeof text, fmt, ap);
    va_end(ap);
    return text;
}

std::string DescribeObjectIndex(const char *name, uint32_t index)
{
    if (index & emf::ENHMETA_STOCK_OBJECT)
        return Format("%s stock %u", name, index & ~emf::ENHMETA_STOCK_OBJECT);
    return Format("%s %u", name, index);
}

std::string DescribeRect(const std::vector<uint8_t> &b, size_t off)
{
    return Format("(%d,%d,%d,%d)", I32(b, off), I32(b, off + 4), I32(b, off + 8), I32(b, off + 12));
}

/* "EXTTEXTOUTW (x,y) opts=0x0 \"ab\\u3042\"": the reference point, options and string. */
std::string DescribeText(const std::vector<uint8_t> &b)
{
    std::string text = Format("EXTTEXTOUTW (%d,%d) opts=0x%x \"", I32(b, 36), I32(b, 40), U32(b, 52));
    uint32_t offString = U32(b, 48);
    for (uint32_t i = 0; i < U32(b, 44); i++) {
        uint32_t unit = U32(b, offString + 2 * i) & 0xFFFF;
        text += unit >= 0x20 && unit < 0x7F ? std::string(1, (char)unit) : Format("\\u%04x", unit);
    }
    return text + "\"";
}

std::string Describe(const std::vector<uint8_t> &b)
{
    using namespace emf;
    switch (U32(b, 0)) {
    case EMR_SELECTOBJECT: return DescribeObjectIndex("SELECTOBJECT", U32(b, 8));
    case EMR_DELETEOBJECT: return DescribeObjectIndex("DELETEOBJECT", U32(b, 8));
    case EMR_CREATEPEN:
        return Format("CREATEPEN %u style=%u width=%d color=0x%x", U32(b, 8), U32(b, 12), I32(b, 16),
                      U32(b, 24));
    case EMR_EXTCREATEPEN:
        return Format("EXTCREATEPEN %u style=0x%x width=%u color=0x%x", U32(b, 8), U32(b, 28),
                      U32(b, 32), U32(b, 40));
    case EMR_CREATEBRUSHINDIRECT:
        return Format("CREATEBRUSHINDIRECT %u style=%u color=0x%x hatch=%u", U32(b, 8), U32(b, 12),
                      U32(b, 16), U32(b, 20));
    case EMR_CREATEMONOBRUSH:
        return Format("CREATEMONOBRUSH %u %dx%d", U32(b, 8), I32(b, 36 + 4), I32(b, 36 + 8));
    case EMR_CREATEDIBPATTERNBRUSHPT:
        return Format("CREATEDIBPATTERNBRUSHPT %u %dx%d bpp=%u", U32(b, 8), I32(b, 36 + 4),
                      I32(b, 36 + 8), U32(b, 36 + 14) & 0xffff);
    case EMR_SETBKMODE: return Format("SETBKMODE %u", U32(b, 8));
    case EMR_SETBKCOLOR: return Format("SETBKCOLOR 0x%x", U32(b, 8));
    case EMR_SETTEXTCOLOR: return Format("SETTEXTCOLOR 0x%x", U32(b, 8));
    case EMR_SETROP2: return Format("SETROP2 %u", U32(b, 8));
    case EMR_SETPOLYFILLMODE: return Format("SETPOLYFILLMODE %u", U32(b, 8));
    case EMR_EXTSELECTCLIPRGN: return Format("EXTSELECTCLIPRGN %u mode=%u", U32(b, 8), U32(b, 12));
    case EMR_INTERSECTCLIPRECT: return "INTERSECTCLIPRECT " + DescribeRect(b, 8);
    case EMR_POLYGON16: return Format("POLYGON16 %u", U32(b, 24));
    case EMR_POLYGON: return Format("POLYGON %u", U32(b, 24));
    case EMR_POLYLINE16: return Format("POLYLINE16 %u", U32(b, 24));
    case EMR_POLYLINE: return Format("POLYLINE %u", U32(b, 24));
    case EMR_POLYBEZIER16: return Format("POLYBEZIER16 %u", U32(b, 24));
    case EMR_POLYPOLYGON16: return Format("POLYPOLYGON16 %u/%u", U32(b, 24), U32(b, 28));
    case EMR_POLYPOLYGON: return Format("POLYPOLYGON %u/%u", U32(b, 24), U32(b, 28));
    case EMR_RECTANGLE: return "RECTANGLE " + DescribeRect(b, 8);
    case EMR_ELLIPSE: return "ELLIPSE " + DescribeRect(b, 8);
    case EMR_ROUNDRECT: return "ROUNDRECT " + DescribeRect(b, 8) + Format(" %d,%d", I32(b, 24), I32(b, 28));
    case EMR_ARC: return "ARC " + DescribeRect(b, 8);
    case EMR_PIE: return "PIE " + DescribeRect(b, 8);
    case EMR_CHORD: return "CHORD " + DescribeRect(b, 8);
    case EMR_MOVETOEX: return Format("MOVETOEX %d,%d", I32(b, 8), I32(b, 12));
    case EMR_LINETO: return Format("LINETO %d,%d", I32(b, 8), I32(b, 12));
    case EMR_EXTCREATEFONTINDIRECTW:
        return Format("EXTCREATEFONTINDIRECTW %u height=%d esc=%d charset=%u", U32(b, 8), I32(b, 12),
                      I32(b, 20), b.size() > 35 ? b[35] : 0);
    case EMR_SETTEXTALIGN: return Format("SETTEXTALIGN %u", U32(b, 8));
    case EMR_EXTTEXTOUTW: return DescribeText(b);
    case EMR_BEGINPATH: return "BEGINPATH";
    case EMR_ENDPATH: return "ENDPATH";
    case EMR_WIDENPATH: return "WIDENPATH";
    case EMR_FILLPATH: return "FILLPATH";
    case EMR_STRETCHDIBITS:
        return Format("STRETCHDIBITS dest=(%d,%d,%d,%d) src=(%d,%d,%d,%d) rop=0x%x", I32(b, 24), I32(b, 28),
                      I32(b, 72), I32(b, 76), I32(b, 32), I32(b, 36), I32(b, 40), I32(b, 44), U32(b, 68));
    case EMR_BITBLT:
        return Format("BITBLT (%d,%d,%d,%d) rop=0x%x cbBmi=%u", I32(b, 24), I32(b, 28), I32(b, 32), I32(b, 36),
                      U32(b, 40), U32(b, 88));
    case EMR_STRETCHBLT:
        return Format("STRETCHBLT (%d,%d,%d,%d) src=(%d,%d,%d,%d) rop=0x%x cbBmi=%u", I32(b, 24), I32(b, 28),
                      I32(b, 32), I32(b, 36), I32(b, 44), I32(b, 48), I32(b, 100), I32(b, 104), U32(b, 40),
                      U32(b, 88));
    default: return Format("RECORD %u", U32(b, 0));
    }
}

} /* namespace */

DrawMode32 SampleDrawMode()
{
    DrawMode32 mode;
    mode.RasterOp = R2_XORPEN;
    mode.BkMode = TRANSPARENT;
    mode.BkColor = 0x00123456;
    mode.TextColor = 0x00654321;
    mode.UseBkMode = 1;
    return mode;
}

std::string PosixPath(const char *dosPath)
{
    char posix[4096];
    return StandinMapPath(dosPath, posix, sizeof posix) == 0 ? std::string(posix) : std::string();
}

void JobTest::SetUp()
{
    StandinClearFaults();
    gdiObjectsBefore_ = StandinLiveGdiObjects();
    globalBlocksBefore_ = StandinLiveGlobalBlocks();
    dcsBefore_ = StandinLiveDCs();
    ASSERT_EQ(GetEmfFilePath32(path_), 0);
    ASSERT_NE(path_[0], '\0');
    RECT frame = {0, 0, 21000, 29700};
    ASSERT_EQ(GetEmfFileDC32(NULL, "DISPLAY", path_, &frame, NULL, NULL, &dc_), 0);
    ASSERT_NE(dc_, nullptr);
    open_ = true;
}

void JobTest::TearDown()
{
    StandinTraceStop();
    StandinClearFaults();
    if (open_)
        CloseAndDescribe();
    EXPECT_EQ(StandinLiveGdiObjects(), gdiObjectsBefore_) << "GDI objects leaked";
    EXPECT_EQ(StandinLiveGlobalBlocks(), globalBlocksBefore_) << "global blocks leaked";
    EXPECT_EQ(StandinLiveDCs(), dcsBefore_) << "device contexts leaked";
    remove(PosixPath(path_).c_str());
}

std::vector<std::string> JobTest::CloseAndDescribe()
{
    EXPECT_EQ(CloseEmfFile32(&dc_), 0);
    open_ = false;
    records_.clear();
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string keptName = std::string("core.") + test->test_suite_name() + "." + test->name() + "-" +
                           std::to_string(closedFiles_++);
    EXPECT_EQ(EmfKeepForCheck(PosixPath(path_).c_str(), keptName.c_str()), 0);
    std::vector<std::string> described;
    EmfFile file;
    char error[256];
    if (EmfLoadFile(PosixPath(path_).c_str(), &file, error, sizeof error) != 0) {
        ADD_FAILURE() << "the spool metafile does not load: " << error;
        return described;
    }
    for (uint32_t i = 0; i < file.count; i++) {
        const EmfRecord &rec = file.records[i];
        JobRecord record;
        record.type = rec.iType;
        record.bytes.assign(rec.data, rec.data + rec.nSize);
        record.text = Describe(record.bytes);
        if (record.type != emf::EMR_HEADER && record.type != emf::EMR_EOF)
            described.push_back(record.text);
        records_.push_back(record);
    }
    EmfFree(&file);
    return described;
}

std::vector<std::string> JobTest::Reopen()
{
    std::vector<std::string> described = CloseAndDescribe();
    EXPECT_EQ(GetEmfFileDC32(NULL, "DISPLAY", path_, NULL, NULL, NULL, &dc_), 0);
    open_ = true;
    return described;
}

std::vector<std::string> JobTest::TracedEntries() const
{
    std::vector<std::string> entries;
    for (size_t i = 0; i < StandinTraceCount(); i++)
        entries.push_back(StandinTraceEntry(i));
    return entries;
}

std::vector<std::string> JobTest::TracedCalls() const
{
    std::vector<std::string> names;
    for (const std::string &entry : TracedEntries())
        names.push_back(entry.substr(0, entry.find('(')));
    return names;
}
