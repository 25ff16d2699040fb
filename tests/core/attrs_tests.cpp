/* Attribute realization: the roads by style code, the stock shortcuts, pattern brushes, the failure
 * table, object release, DeleteObject32 and SetClipRect32, judged by the records in the metafile. */
#include <string.h>

#include "attrs/attrs.h"
#include "job_fixture.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

/* Junk that a slot holds before realization must never survive it. */
HGDIOBJ const kJunk = (HGDIOBJ)(uintptr_t)0x5a5a5a5a;

struct Slots {
    HGDIOBJ newPen = kJunk, oldPen = kJunk, newBrush = kJunk, oldBrush = kJunk, pattern = kJunk;
};

LOGPEN Pen(UINT style, LONG width, COLORREF color)
{
    LOGPEN pen;
    pen.lopnStyle = style;
    pen.lopnWidth.x = width;
    pen.lopnWidth.y = 0x7777; /* never read */
    pen.lopnColor = color;
    return pen;
}

LOGBRUSH Brush(UINT style, COLORREF color, ULONG_PTR hatch)
{
    LOGBRUSH brush;
    brush.lbStyle = style;
    brush.lbColor = color;
    brush.lbHatch = hatch;
    return brush;
}

const char *const kDrawModeRecords[] = {"SETBKMODE 1", "SETBKCOLOR 0x123456", "SETTEXTCOLOR 0x654321"};

class RealizeTest : public JobTest {
protected:
    INT Realize(WORD style, WORD second, LOGPEN *pen, DWORD bits, LOGBRUSH *brush,
                const DrawMode32 *mode)
    {
        return RealizeDrawObjects(dc_, style, second, pen, bits, brush, mode, &slots_.newPen,
                                  &slots_.oldPen, &slots_.newBrush, &slots_.oldBrush,
                                  &slots_.pattern);
    }
    void Release()
    {
        EXPECT_EQ(ReleaseDrawObjects(dc_, slots_.newPen, slots_.oldPen, slots_.newBrush,
                                     slots_.oldBrush, slots_.pattern),
                  0);
    }
    Slots slots_;
    DrawMode32 mode_ = SampleDrawMode();
};

struct RoadRow {
    const char *name;
    WORD style;
    WORD second;
    bool withPen;
    LOGPEN pen;
    DWORD bits;
    bool withBrush;
    LOGBRUSH brush;
    bool withMode;
    std::vector<std::string> records; /* realization, then release */
};

TEST_F(RealizeTest, EachRoadRealizesAndReleasesWhatTheStyleCodeCalls)
{
    const LOGPEN red5 = Pen(PS_SOLID, 5, 0x0000ff);
    const LOGBRUSH green = Brush(BS_SOLID, 0x00ff00, 0);
    const std::vector<std::string> penAndBrush = {
        "CREATEPEN 1 style=0 width=5 color=0xff", "SELECTOBJECT 1", kDrawModeRecords[0],
        kDrawModeRecords[1], kDrawModeRecords[2], "CREATEBRUSHINDIRECT 2 style=0 color=0xff00 hatch=0",
        "SELECTOBJECT 2", "SELECTOBJECT stock 7", "DELETEOBJECT 1", "SELECTOBJECT stock 0",
        "DELETEOBJECT 2"};
    const RoadRow rows[] = {
        {"scanlines realize nothing", OS_SCANLINES, 0, true, red5, 0, true, green, true, {}},
        {"end of bracket realizes nothing", OS_ENDNSCAN, 0, true, red5, 0, true, green, true, {}},
        {"polygon: a solid pen becomes geometric with the style bits", OS_ALTPOLYGON, 0, true, red5,
         0x200, true, green, true,
         {"EXTCREATEPEN 1 style=0x10200 width=5 color=0xff", "SELECTOBJECT 1", kDrawModeRecords[0],
          kDrawModeRecords[1], kDrawModeRecords[2],
          "CREATEBRUSHINDIRECT 2 style=0 color=0xff00 hatch=0", "SELECTOBJECT 2",
          "SELECTOBJECT stock 7", "DELETEOBJECT 1", "SELECTOBJECT stock 0", "DELETEOBJECT 2"}},
        {"poly-polygon takes the point-list road", OS_WINDPOLYPOLYGON, 0, true, red5, 0, false, {},
         false,
         {"EXTCREATEPEN 1 style=0x10000 width=5 color=0xff", "SELECTOBJECT 1",
          "SELECTOBJECT stock 5", "SELECTOBJECT stock 7", "DELETEOBJECT 1"}},
        {"point list with a dashed pen keeps the logical pen", OS_POLYLINE, 0, true,
         Pen(PS_DASH, 1, 0xff), 0x200, false, {}, false,
         {"CREATEPEN 1 style=1 width=1 color=0xff", "SELECTOBJECT 1", "SELECTOBJECT stock 5",
          "SELECTOBJECT stock 7", "DELETEOBJECT 1"}},
        {"second code 1: brush, then a one-unit pen in its colour", OS_POLYLINE, 1, true, red5,
         0x200, true, green, true,
         {kDrawModeRecords[0], kDrawModeRecords[1], kDrawModeRecords[2],
          "CREATEBRUSHINDIRECT 1 style=0 color=0xff00 hatch=0", "SELECTOBJECT 1",
          "EXTCREATEPEN 2 style=0x10000 width=1 color=0xff00", "SELECTOBJECT 2",
          "SELECTOBJECT stock 7", "DELETEOBJECT 2", "SELECTOBJECT stock 0", "DELETEOBJECT 1"}},
        {"begin path with neither brush nor pen selects the null pen", OS_BEGINNSCAN, 0, false, {},
         0, false, {}, true, {"SELECTOBJECT stock 8"}},
        {"begin path without a brush realizes the logical pen", OS_BEGINNSCAN, 0, true,
         Pen(PS_SOLID, 3, 0xff), 0x200, false, {}, true,
         {"CREATEPEN 1 style=0 width=3 color=0xff", "SELECTOBJECT 1", "SELECTOBJECT stock 7",
          "DELETEOBJECT 1"}},
        {"rectangle: pen and brush as described", OS_RECTANGLE, 0, true, red5, 0x200, true, green,
         true, penAndBrush},
        {"unlisted code 0x4015 takes the pen-and-brush road", 0x4015, 0, true, red5, 0, true, green,
         true, penAndBrush},
        {"one-unit black pen is the stock pen", OS_RECTANGLE, 0, true, Pen(PS_SOLID, 1, 0), 0, false,
         {}, false, {"SELECTOBJECT stock 7", "SELECTOBJECT stock 5"}},
        {"one-unit white pen is the stock pen", OS_ELLIPSE, 0, true, Pen(PS_SOLID, 1, 0xffffff), 0,
         false, {}, false, {"SELECTOBJECT stock 6", "SELECTOBJECT stock 5"}},
        {"width 0 black pen is created", OS_RECTANGLE, 0, true, Pen(PS_SOLID, 0, 0), 0, false, {},
         false,
         {"CREATEPEN 1 style=0 width=0 color=0x0", "SELECTOBJECT 1", "SELECTOBJECT stock 5",
          "SELECTOBJECT stock 7", "DELETEOBJECT 1"}},
        {"a colour's high byte keeps it from the stock pen", OS_RECTANGLE, 0, true,
         Pen(PS_SOLID, 1, 0x01000000), 0, false, {}, false,
         {"CREATEPEN 1 style=0 width=1 color=0x1000000", "SELECTOBJECT 1", "SELECTOBJECT stock 5",
          "SELECTOBJECT stock 7", "DELETEOBJECT 1"}},
        {"hollow brush leaves the drawing mode alone", OS_RECTANGLE, 0, false, {}, 0, true,
         Brush(BS_HOLLOW, 0xff, 0), true, {"SELECTOBJECT stock 8", "SELECTOBJECT stock 5"}},
        {"hatched brush without a drawing mode", OS_RECTANGLE, 0, false, {}, 0, true,
         Brush(BS_HATCHED, 0x345678, HS_CROSS), false,
         {"SELECTOBJECT stock 8", "CREATEBRUSHINDIRECT 1 style=2 color=0x345678 hatch=4",
          "SELECTOBJECT 1", "SELECTOBJECT stock 0", "DELETEOBJECT 1"}},
        {"bitmap transfer: null pen, brush and drawing mode", 0, 0, false, {}, 0, true, green, true,
         {"SELECTOBJECT stock 8", kDrawModeRecords[0], kDrawModeRecords[1], kDrawModeRecords[2],
          "CREATEBRUSHINDIRECT 1 style=0 color=0xff00 hatch=0", "SELECTOBJECT 1",
          "SELECTOBJECT stock 0", "DELETEOBJECT 1"}},
    };
    for (const RoadRow &row : rows) {
        SCOPED_TRACE(row.name);
        LOGPEN pen = row.pen;
        LOGBRUSH brush = row.brush;
        slots_ = Slots();
        EXPECT_EQ(Realize(row.style, row.second, row.withPen ? &pen : NULL, row.bits,
                          row.withBrush ? &brush : NULL, row.withMode ? &mode_ : NULL),
                  0);
        Release();
        EXPECT_THAT(Reopen(), ElementsAreArray(row.records));
    }
}

TEST_F(RealizeTest, NoRealizationRoadEmptiesSlotsWithoutAnyCall)
{
    LOGPEN pen = Pen(PS_SOLID, 5, 0xff);
    StartTrace();
    EXPECT_EQ(Realize(OS_SCANLINES, 0, &pen, 0, NULL, &mode_), 0);
    EXPECT_THAT(TracedCalls(), IsEmpty());
    for (HGDIOBJ slot : {slots_.newPen, slots_.oldPen, slots_.newBrush, slots_.oldBrush, slots_.pattern})
        EXPECT_EQ(slot, nullptr);
}

TEST_F(RealizeTest, InsideFramePenIsRewrittenSoTheNextCallGetsTheGeometricPen)
{
    LOGPEN pen = Pen(PS_INSIDEFRAME, 3, 0xff);
    EXPECT_EQ(Realize(OS_ALTPOLYGON, 0, &pen, 0x200, NULL, NULL), 0);
    EXPECT_EQ(pen.lopnStyle, (UINT)PS_SOLID);
    Release();
    EXPECT_EQ(Realize(OS_ALTPOLYGON, 0, &pen, 0x200, NULL, NULL), 0);
    Release();
    EXPECT_THAT(CloseAndDescribe(),
                ElementsAre("CREATEPEN 1 style=0 width=3 color=0xff", "SELECTOBJECT 1",
                            "SELECTOBJECT stock 5", "SELECTOBJECT stock 7", "DELETEOBJECT 1",
                            "EXTCREATEPEN 1 style=0x10200 width=3 color=0xff", "SELECTOBJECT 1",
                            "SELECTOBJECT stock 5", "SELECTOBJECT stock 7", "DELETEOBJECT 1"));
}

TEST_F(RealizeTest, StockPenStaysSelectedAfterRelease)
{
    LOGPEN pen = Pen(PS_SOLID, 1, 0xffffff);
    EXPECT_EQ(Realize(OS_RECTANGLE, 0, &pen, 0, NULL, NULL), 0);
    EXPECT_EQ(slots_.newPen, nullptr);
    EXPECT_EQ(slots_.oldPen, nullptr);
    Release();
    EXPECT_EQ(GetCurrentObject(dc_, OBJ_PEN), GetStockObject(WHITE_PEN));
}

/* ---- Failures ---- */

struct FailureRow {
    const char *name;
    WORD style;
    WORD second;
    std::vector<const char *> failingCalls;
    INT result;
    bool penLeft, brushLeft;
};

TEST_F(RealizeTest, FailedCreationsLeaveExactlyWhatWasMadeInTheSlots)
{
    const FailureRow rows[] = {
        {"pen-and-brush road, both creations fail", OS_RECTANGLE, 0,
         {"CreatePenIndirect", "CreateBrushIndirect"}, -1, false, false},
        {"pen-and-brush road, pen fails, brush still made", OS_RECTANGLE, 0, {"CreatePenIndirect"},
         -1, false, true},
        {"pen-and-brush road, brush fails", OS_PIE, 0, {"CreateBrushIndirect"}, -1, true, false},
        {"point-list road hides a failed pen", OS_ALTPOLYGON, 0, {"ExtCreatePen"}, 0, false, true},
        {"point-list road hides a failed brush", OS_POLYLINE, 0, {"CreateBrushIndirect"}, 0, true,
         false},
        {"begin-path road reports a failed pen", OS_BEGINNSCAN, 0, {"ExtCreatePen"}, -1, false, true},
        {"begin-path road reports a failed brush", OS_BEGINNSCAN, 0, {"CreateBrushIndirect"}, -1,
         true, false},
    };
    for (const FailureRow &row : rows) {
        SCOPED_TRACE(row.name);
        LOGPEN pen = Pen(PS_SOLID, 2, 0xff);
        LOGBRUSH brush = Brush(BS_SOLID, 0xff00, 0);
        for (const char *call : row.failingCalls)
            StandinFailCall(call, 1);
        slots_ = Slots();
        EXPECT_EQ(Realize(row.style, row.second, &pen, 0, &brush, &mode_), row.result);
        EXPECT_EQ(slots_.newPen != nullptr, row.penLeft);
        EXPECT_EQ(slots_.oldPen != nullptr, row.penLeft);
        EXPECT_EQ(slots_.newBrush != nullptr, row.brushLeft);
        EXPECT_EQ(slots_.oldBrush != nullptr, row.brushLeft);
        EXPECT_EQ(slots_.pattern, nullptr);
        Release();
        StandinClearFaults();
    }
}

TEST_F(RealizeTest, BeginPathWithoutBrushReportsNoPenFailure)
{
    LOGPEN pen = Pen(PS_SOLID, 2, 0xff);
    StandinFailCall("CreatePenIndirect", 1);
    EXPECT_EQ(Realize(OS_BEGINNSCAN, 0, &pen, 0, NULL, &mode_), 0);
    EXPECT_EQ(slots_.newPen, nullptr);
}

/* ---- Pattern brushes ---- */

class PatternTest : public RealizeTest {
protected:
    BITMAP Pattern(LONG width, LONG height, LONG widthBytes, WORD bitsPixel)
    {
        /* Room for the rows at the bit depth GDI may round the pattern up to. */
        rows_.assign((size_t)(4 * width + widthBytes) * (size_t)height, 0);
        BITMAP bm;
        bm.bmType = 0;
        bm.bmWidth = width;
        bm.bmHeight = height;
        bm.bmWidthBytes = widthBytes;
        bm.bmPlanes = 1;
        bm.bmBitsPixel = bitsPixel;
        bm.bmBits = rows_.data();
        return bm;
    }
    /* The size asked of GlobalAlloc in the trace, or -1 when it was not called. */
    long AllocatedBytes() const
    {
        for (const std::string &entry : TracedEntries())
            if (entry.rfind("GlobalAlloc(", 0) == 0)
                return strtol(entry.substr(entry.find(',') + 1).c_str(), NULL, 0);
        return -1;
    }
    std::vector<BYTE> rows_;
};

TEST_F(PatternTest, MonochromePatternBecomesAMonoBrushAndTheHatchTheBitmap)
{
    BITMAP bm = Pattern(8, 8, 2, 1);
    for (size_t i = 0; i < rows_.size(); i += 2)
        rows_[i] = (i / 2) % 2 ? 0x55 : 0xAA;
    LOGBRUSH brush = Brush(BS_PATTERN, 0, (ULONG_PTR)&bm);
    StartTrace();
    EXPECT_EQ(Realize(OS_RECTANGLE, 0, NULL, 0, &brush, &mode_), 0);
    EXPECT_NE(slots_.pattern, nullptr);
    EXPECT_EQ(brush.lbHatch, (ULONG_PTR)slots_.pattern);
    EXPECT_EQ(GetObjectType(slots_.pattern), (DWORD)OBJ_BITMAP);
    EXPECT_EQ(AllocatedBytes(), -1) << "a monochrome pattern needs no block";
    Release();
    /* The brush goes before the bitmap it was made from. */
    std::vector<std::string> calls = TracedCalls();
    std::vector<std::string> tail(calls.end() - 3, calls.end());
    EXPECT_THAT(tail, ElementsAre("SelectObject", "DeleteObject", "DeleteObject"));
    EXPECT_THAT(CloseAndDescribe(),
                ElementsAre("SELECTOBJECT stock 8", kDrawModeRecords[0], kDrawModeRecords[1],
                            kDrawModeRecords[2], "CREATEMONOBRUSH 1 8x8", "SELECTOBJECT 1",
                            "SELECTOBJECT stock 0", "DELETEOBJECT 1"));
}

TEST_F(PatternTest, ColourPatternBecomesABottomUp24BitDibBrush)
{
    BITMAP bm = Pattern(8, 8, 8, 8);
    rows_[0] = 249; /* top-left pixel: palette entry 249 of the default 8-bit palette, pure red */
    LOGBRUSH brush = Brush(BS_PATTERN, 0, (ULONG_PTR)&bm);
    StartTrace();
    EXPECT_EQ(Realize(OS_RECTANGLE, 0, NULL, 0, &brush, NULL), 0);
    EXPECT_EQ(AllocatedBytes(), 260);
    EXPECT_EQ(brush.lbHatch, (ULONG_PTR)slots_.pattern);
    EXPECT_EQ(StandinLiveGlobalBlocks(), globalBlocksBefore_) << "block freed at once";
    Release();
    EXPECT_THAT(CloseAndDescribe(),
                ElementsAre("SELECTOBJECT stock 8", "CREATEDIBPATTERNBRUSHPT 1 8x8 bpp=24",
                            "SELECTOBJECT 1", "SELECTOBJECT stock 0", "DELETEOBJECT 1"));
    const std::vector<uint8_t> &record = records_[2].bytes;
    uint32_t offBits, cbBits;
    memcpy(&offBits, &record[24], 4);
    memcpy(&cbBits, &record[28], 4);
    ASSERT_EQ(cbBits, 8u * 24u);
    /* The pattern's top row is the DIB's last row; red in BGR order. */
    const uint8_t *lastRow = &record[offBits + 7 * 24];
    EXPECT_EQ(lastRow[0], 0x00);
    EXPECT_EQ(lastRow[1], 0x00);
    EXPECT_EQ(lastRow[2], 0xFF);
    EXPECT_EQ(record[offBits + 2], 0x00) << "bottom row is black";
}

TEST_F(PatternTest, SmallAndShallowColourPatternsGetABlockThatHoldsEvery24BitRow)
{
    struct Row {
        const char *name;
        LONG width, height, widthBytes;
        WORD bpp;
        long block;
    } rows[] = {
        {"1x1 at 24 bpp", 1, 1, 4, 24, 3 * 2 * 4 + 44},
        {"8x8 at 4 bpp", 8, 8, 4, 4, 40 + 8 * 24},
        {"8x8 at 2 bpp", 8, 8, 2, 2, 40 + 8 * 24},
        {"13x3 at 4 bpp", 13, 3, 8, 4, 40 + 3 * 40},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        BITMAP bm = Pattern(row.width, row.height, row.widthBytes, row.bpp);
        LOGBRUSH brush = Brush(BS_PATTERN, 0, (ULONG_PTR)&bm);
        slots_ = Slots();
        StartTrace();
        EXPECT_EQ(Realize(OS_RECTANGLE, 0, NULL, 0, &brush, NULL), 0);
        EXPECT_EQ(AllocatedBytes(), row.block);
        EXPECT_NE(slots_.newBrush, nullptr);
        Release();
    }
}

TEST_F(PatternTest, SizesThatWouldWrapOrAreNegativeCreateNothing)
{
    struct Row {
        const char *name;
        LONG width, height, widthBytes;
    } rows[] = {
        {"block past 32 bits", 30000, 30000, 90000},
        {"negative height", 8, -8, 24},
        {"negative width", -8, 8, 24},
        {"negative row bytes", 8, 8, -24},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        BITMAP bm;
        memset(&bm, 0, sizeof bm);
        bm.bmWidth = row.width;
        bm.bmHeight = row.height;
        bm.bmWidthBytes = row.widthBytes;
        bm.bmPlanes = 1;
        bm.bmBitsPixel = 24;
        LOGBRUSH brush = Brush(BS_PATTERN, 0, (ULONG_PTR)&bm);
        slots_ = Slots();
        StartTrace();
        EXPECT_EQ(Realize(OS_RECTANGLE, 0, NULL, 0, &brush, &mode_), -1);
        EXPECT_THAT(TracedCalls(), ElementsAre("GetStockObject", "SelectObject"))
            << "only the null pen; no bitmap, no block, no drawing mode";
        EXPECT_EQ(brush.lbHatch, (ULONG_PTR)&bm);
        EXPECT_EQ(slots_.pattern, nullptr);
        Release();
    }
}

struct PatternFailureRow {
    const char *name;
    WORD bpp;
    const char *failingCall;
    bool bitmapLeft;    /* the pattern slot still holds the bitmap for the release */
    bool hatchReplaced; /* lbHatch rewritten with the bitmap's handle */
    bool modeApplied;
};

TEST_F(PatternTest, EachFailureLeavesWhatTheReleaseNeeds)
{
    const PatternFailureRow rows[] = {
        {"bitmap creation", 8, "CreateBitmapIndirect", false, false, false},
        {"block allocation", 8, "GlobalAlloc", true, false, false},
        {"block lock", 8, "GlobalLock", true, false, false},
        {"DIB conversion", 8, "GetDIBits", true, false, false},
        {"DIB brush creation", 8, "CreateDIBPatternBrushPt", false, true, true},
        {"mono brush creation", 1, "CreateBrushIndirect", false, true, true},
    };
    for (const PatternFailureRow &row : rows) {
        SCOPED_TRACE(row.name);
        BITMAP bm = Pattern(8, 8, row.bpp == 1 ? 2 : 8, row.bpp);
        LOGBRUSH brush = Brush(BS_PATTERN, 0, (ULONG_PTR)&bm);
        slots_ = Slots();
        StandinFailCall(row.failingCall, 1);
        EXPECT_EQ(Realize(OS_RECTANGLE, 0, NULL, 0, &brush, &mode_), -1);
        EXPECT_EQ(slots_.newBrush, nullptr);
        EXPECT_EQ(slots_.oldBrush, nullptr);
        EXPECT_EQ(slots_.pattern != nullptr, row.bitmapLeft);
        EXPECT_EQ(brush.lbHatch != (ULONG_PTR)&bm, row.hatchReplaced);
        EXPECT_EQ(StandinLiveGlobalBlocks(), globalBlocksBefore_);
        EXPECT_EQ(GetBkMode(dc_) == TRANSPARENT, row.modeApplied);
        SetBkMode(dc_, OPAQUE);
        /* The release deletes what is left, and nothing twice. */
        StartTrace();
        Release();
        size_t deletions = 0;
        for (const std::string &call : TracedCalls())
            deletions += call == "DeleteObject";
        EXPECT_EQ(deletions, row.bitmapLeft ? 1u : 0u);
        StandinClearFaults();
    }
}

/* ---- The exports ---- */

class ExportTest : public JobTest {};

TEST_F(ExportTest, DeleteObject32ReselectsThenDeletesAndEmptiesTheSlots)
{
    LOGPEN dashed = Pen(PS_DASH, 3, 0xff);
    HGDIOBJ pen = CreatePenIndirect(&dashed);
    HGDIOBJ old = SelectObject(dc_, pen);
    HGDIOBJ objectSlot = pen, reselectSlot = old;
    StartTrace();
    EXPECT_EQ(DeleteObject32(&dc_, &objectSlot, &reselectSlot), 0);
    EXPECT_THAT(TracedCalls(), ElementsAre("SelectObject", "DeleteObject"));
    EXPECT_EQ(objectSlot, nullptr);
    EXPECT_EQ(reselectSlot, nullptr);
    StartTrace();
    EXPECT_EQ(DeleteObject32(&dc_, &objectSlot, &reselectSlot), 0);
    EXPECT_THAT(TracedCalls(), IsEmpty()) << "a second call with the same slots does nothing";
    EXPECT_THAT(CloseAndDescribe(), ElementsAre("CREATEPEN 1 style=1 width=3 color=0xff",
                                                "SELECTOBJECT 1", "SELECTOBJECT stock 7",
                                                "DELETEOBJECT 1"));
}

TEST_F(ExportTest, SetClipRect32ReplacesTheClipAndIgnoresANullRectangle)
{
    RECT first = {1, 2, 300, 400}, second = {400, 300, 20, 10};
    EXPECT_EQ(SetClipRect32(&dc_, NULL), 0);
    EXPECT_EQ(SetClipRect32(&dc_, &first), 0);
    EXPECT_EQ(SetClipRect32(&dc_, &second), 0);
    EXPECT_THAT(CloseAndDescribe(),
                ElementsAre("EXTSELECTCLIPRGN 0 mode=5", "INTERSECTCLIPRECT (1,2,300,400)",
                            "EXTSELECTCLIPRGN 0 mode=5", "INTERSECTCLIPRECT (400,300,20,10)"));
}

TEST_F(ExportTest, ExportsThatAlwaysSucceedDoSoOnADeadDeviceContext)
{
    HDC junk = (HDC)(uintptr_t)0x12345678;
    RECT clip = {0, 0, 10, 10};
    LOGPEN dashed = Pen(PS_DASH, 3, 0xff);
    HGDIOBJ pen = CreatePenIndirect(&dashed);
    HGDIOBJ objectSlot = pen, reselectSlot = GetStockObject(BLACK_PEN);
    EXPECT_EQ(SetClipRect32(&junk, &clip), 0);
    EXPECT_EQ(DeleteObject32(&junk, &objectSlot, &reselectSlot), 0);
    EXPECT_EQ(objectSlot, nullptr);
}

} /* namespace */
