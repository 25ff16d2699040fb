/* DC state calls: their records and results on a metafile DC against GDI's (samples s01, s02), the
 * values they keep on other DCs, and the clip rectangle. */
#include "gdi_test.h"

#include <functional>

namespace {

enum { NONE = 0 };

class StateTest : public GdiTest {};

/* s01_state.emf and out/p_state.log: each call, what it returned and the record it wrote (NONE for
 * no record) on a fresh metafile DC; the last error is 87 for the refused values. */
TEST_F(StateTest, SettersRecordEveryValidValueAndReturnThePreviousOne)
{
    HDC dc = NewMetafile("state.emf");
    struct Row {
        const char *name;
        std::function<DWORD()> call;
        DWORD result;
        uint32_t recordType, recordValue;
    } rows[] = {
        {"SetROP2 R2_COPYPEN, the default", [dc] { return (DWORD)SetROP2(dc, R2_COPYPEN); }, 13, 20, 13},
        {"SetROP2 R2_XORPEN", [dc] { return (DWORD)SetROP2(dc, R2_XORPEN); }, 13, 20, 7},
        {"SetROP2 R2_XORPEN again", [dc] { return (DWORD)SetROP2(dc, R2_XORPEN); }, 7, 20, 7},
        {"SetROP2 0", [dc] { return (DWORD)SetROP2(dc, 0); }, 0, NONE, 0},
        {"SetROP2 17", [dc] { return (DWORD)SetROP2(dc, 17); }, 0, NONE, 0},
        {"SetBkMode TRANSPARENT", [dc] { return (DWORD)SetBkMode(dc, TRANSPARENT); }, OPAQUE, 18, 1},
        {"SetBkMode TRANSPARENT again", [dc] { return (DWORD)SetBkMode(dc, TRANSPARENT); }, TRANSPARENT, 18, 1},
        {"SetBkMode OPAQUE", [dc] { return (DWORD)SetBkMode(dc, OPAQUE); }, TRANSPARENT, 18, 2},
        {"SetBkMode 3", [dc] { return (DWORD)SetBkMode(dc, 3); }, 0, NONE, 0},
        {"SetBkColor", [dc] { return SetBkColor(dc, RGB(0x10, 0x20, 0x30)); }, 0xFFFFFF, 25, 0x302010},
        {"SetBkColor again", [dc] { return SetBkColor(dc, RGB(0x10, 0x20, 0x30)); }, 0x302010, 25, 0x302010},
        {"SetBkColor PALETTEINDEX(3)", [dc] { return SetBkColor(dc, 0x01000003); }, 0x302010, 25, 0x01000003},
        {"SetTextColor", [dc] { return SetTextColor(dc, RGB(0x40, 0x50, 0x60)); }, 0, 24, 0x605040},
        {"SetTextColor again", [dc] { return SetTextColor(dc, RGB(0x40, 0x50, 0x60)); }, 0x605040, 24, 0x605040},
        {"SetTextAlign TA_BASELINE", [dc] { return (DWORD)SetTextAlign(dc, TA_BASELINE | TA_LEFT); }, 0, 22, 24},
        {"SetTextAlign TA_UPDATECP|TA_RIGHT|TA_BOTTOM",
         [dc] { return (DWORD)SetTextAlign(dc, TA_UPDATECP | TA_RIGHT | TA_BOTTOM); }, 24, 22, 11},
        {"SetTextAlign TA_TOP|TA_LEFT", [dc] { return (DWORD)SetTextAlign(dc, TA_TOP | TA_LEFT); }, 11, 22, 0},
        {"SetPolyFillMode WINDING", [dc] { return (DWORD)SetPolyFillMode(dc, WINDING); }, ALTERNATE, 19, 2},
        {"SetPolyFillMode ALTERNATE", [dc] { return (DWORD)SetPolyFillMode(dc, ALTERNATE); }, WINDING, 19, 1},
        {"SetPolyFillMode 0", [dc] { return (DWORD)SetPolyFillMode(dc, 0); }, 0, NONE, 0},
    };
    std::vector<std::vector<uint8_t>> expected;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        SetLastError(0);
        EXPECT_EQ(row.call(), row.result);
        EXPECT_EQ(GetLastError(), row.recordType == NONE ? (DWORD)ERROR_INVALID_PARAMETER : 0u);
        if (row.recordType != NONE)
            expected.push_back(Words({row.recordType, 12, row.recordValue}));
    }
    EXPECT_EQ(GetROP2(dc), R2_XORPEN);
    EXPECT_EQ(GetBkMode(dc), OPAQUE);
    EXPECT_EQ(GetBkColor(dc), 0x01000003u);
    EXPECT_EQ(GetTextColor(dc), 0x605040u);
    EXPECT_EQ(GetTextAlign(dc), (UINT)(TA_TOP | TA_LEFT));
    EXPECT_EQ(GetPolyFillMode(dc), ALTERNATE);
    std::vector<EmfRecord> body = CloseAndBody(dc, "state.emf");
    ASSERT_EQ(body.size(), expected.size());
    for (size_t i = 0; i < body.size(); i++)
        EXPECT_TRUE(SameBytes(body[i].bytes, expected[i])) << "record " << i;
}

TEST_F(StateTest, OtherDcsKeepTheStateWithoutRecording)
{
    HDC mem = CreateCompatibleDC(NULL);
    HDC printer = CreateDCA("WINSPL16", "TAVLINQX Laser", NULL, NULL);
    for (HDC dc : {mem, printer}) {
        EXPECT_EQ(SetROP2(dc, R2_NOT), R2_COPYPEN);
        EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
        EXPECT_EQ(SetBkColor(dc, 0xff123456), 0xFFFFFFu);
        EXPECT_EQ(SetTextColor(dc, RGB(1, 2, 3)), 0u);
        EXPECT_EQ(SetTextAlign(dc, 0x1234), 0u) << "any alignment word is kept";
        EXPECT_EQ(SetPolyFillMode(dc, WINDING), ALTERNATE);
        EXPECT_EQ(GetROP2(dc), R2_NOT);
        EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
        EXPECT_EQ(GetBkColor(dc), 0xff123456u);
        EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3));
        EXPECT_EQ(GetTextAlign(dc), 0x1234u);
        EXPECT_EQ(GetPolyFillMode(dc), WINDING);
    }
    DeleteDC(mem);
    DeleteDC(printer);
}

/* s02_clip.emf: SelectClipRgn(NULL) is a 16-byte EXTSELECTCLIPRGN RGN_COPY every time, and
 * IntersectClipRect is recorded verbatim, corners reversed or not. */
TEST_F(StateTest, ClipCallsRecordAsGdiRecords)
{
    HDC dc = NewMetafile("clip.emf");
    EXPECT_EQ(SelectClipRgn(dc, NULL), SIMPLEREGION);
    EXPECT_EQ(IntersectClipRect(dc, 10, 20, 300, 400), SIMPLEREGION);
    EXPECT_EQ(IntersectClipRect(dc, 400, 300, 20, 10), SIMPLEREGION);
    EXPECT_EQ(SelectClipRgn(dc, NULL), SIMPLEREGION);
    EXPECT_EQ(SelectClipRgn(dc, NULL), SIMPLEREGION);
    std::vector<EmfRecord> body = CloseAndBody(dc, "clip.emf");
    ASSERT_EQ(body.size(), 5u);
    const std::vector<uint8_t> selectNull = {75, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0};
    EXPECT_TRUE(SameBytes(body[0].bytes, selectNull));
    EXPECT_TRUE(SameBytes(body[1].bytes, std::vector<uint8_t>{30, 0, 0, 0, 24, 0, 0, 0, 10, 0, 0, 0, 20, 0, 0, 0,
                                                              0x2c, 1, 0, 0, 0x90, 1, 0, 0}));
    EXPECT_TRUE(SameBytes(body[2].bytes, std::vector<uint8_t>{30, 0, 0, 0, 24, 0, 0, 0, 0x90, 1, 0, 0, 0x2c, 1, 0, 0,
                                                              20, 0, 0, 0, 10, 0, 0, 0}));
    EXPECT_TRUE(SameBytes(body[3].bytes, selectNull));
    EXPECT_TRUE(SameBytes(body[4].bytes, selectNull));
}

TEST_F(StateTest, ClipResultsFollowTheRegionThatRemains)
{
    /* Results GDI gave under Wine 8 (tests/gdi/probe): no DC cuts the rectangle to its surface. */
    HDC display = CreateDCA("DISPLAY", NULL, NULL, NULL);
    HDC mem = CreateCompatibleDC(NULL);
    HDC emf = NewMetafile("clip-results.emf");
    struct Row {
        const char *name;
        HDC dc;
        RECT r;
        int result;
    } rows[] = {
        {"display, inside", display, {10, 20, 300, 400}, SIMPLEREGION},
        {"display, reversed corners", display, {400, 300, 20, 10}, SIMPLEREGION},
        {"display, off the surface", display, {5000, 5000, 6000, 6000}, SIMPLEREGION},
        {"memory, off any surface", mem, {10, 20, 3000, 4000}, SIMPLEREGION},
        {"memory, empty", mem, {0, 0, 0, 0}, NULLREGION},
        {"metafile, off the surface", emf, {5000, 5000, 6000, 6000}, SIMPLEREGION},
        {"metafile, zero width", emf, {10, 10, 10, 20}, NULLREGION},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(SelectClipRgn(row.dc, NULL), SIMPLEREGION);
        EXPECT_EQ(IntersectClipRect(row.dc, row.r.left, row.r.top, row.r.right, row.r.bottom), row.result);
    }
    /* Clip rectangles intersect until SelectClipRgn(NULL) lifts them. */
    EXPECT_EQ(SelectClipRgn(mem, NULL), SIMPLEREGION);
    EXPECT_EQ(IntersectClipRect(mem, 0, 0, 100, 100), SIMPLEREGION);
    EXPECT_EQ(IntersectClipRect(mem, 200, 200, 300, 300), NULLREGION);
    EXPECT_EQ(SelectClipRgn(mem, NULL), SIMPLEREGION);
    EXPECT_EQ(IntersectClipRect(mem, 200, 200, 300, 300), SIMPLEREGION);
    CloseAndBody(emf, "clip-results.emf");
    DeleteDC(display);
    DeleteDC(mem);
}

} /* namespace */
