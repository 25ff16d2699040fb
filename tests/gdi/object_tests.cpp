/* Pens, brushes and their metafile records: creation record bytes against GDI's, stock results,
 * GDI's parameter rules, and GetObjectA. */
#include "gdi_test.h"

#include <functional>
#include <string.h>

namespace {

HBITMAP Ddb(int width, int height, int bitsPixel, const void *bits)
{
    BITMAP bm = {0, width, height, 0, 1, (WORD)bitsPixel, (LPVOID)bits};
    return CreateBitmapIndirect(&bm);
}

/* A brush made from a device bitmap that is deleted at once: the brush keeps its own copy. */
HGDIOBJ PatternBrush(int width, int height, int bitsPixel, const void *bits)
{
    HBITMAP bm = Ddb(width, height, bitsPixel, bits);
    LOGBRUSH lb = {BS_PATTERN, RGB(9, 9, 9), (ULONG_PTR)bm};
    HBRUSH brush = CreateBrushIndirect(&lb);
    DeleteObject(bm);
    return brush;
}

struct PackedDib {
    BITMAPINFOHEADER hdr;
    uint8_t rest[64];
};

PackedDib Dib(LONG width, LONG height, WORD bitsPixel, DWORD compression, DWORD clrUsed,
              std::initializer_list<uint8_t> rest)
{
    PackedDib dib;
    memset(&dib, 0, sizeof dib);
    dib.hdr = BITMAPINFOHEADER{sizeof dib.hdr, width, height, 1, bitsPixel, compression, 0, 0, 0, clrUsed, 0};
    if (rest.size())
        memcpy(dib.rest, rest.begin(), rest.size());
    return dib;
}

HGDIOBJ DibBrush(const PackedDib &dib, UINT usage = DIB_RGB_COLORS)
{
    return CreateDIBPatternBrushPt(&dib, usage);
}

/* lopnWidth.y is never read: its 77 must not reach the record. */
HGDIOBJ Pen(UINT style, LONG width, COLORREF color)
{
    LOGPEN lp = {style, {width, 77}, color};
    return CreatePenIndirect(&lp);
}

HGDIOBJ Brush(UINT style, COLORREF color, ULONG_PTR hatch)
{
    LOGBRUSH lb = {style, color, hatch};
    return CreateBrushIndirect(&lb);
}

/* An extended pen with count of the style entries 0xabc, 0xdef, 0x888. */
HGDIOBJ ExtPen(DWORD style, DWORD width, UINT brushStyle, COLORREF color, ULONG_PTR hatch, DWORD count)
{
    static const DWORD entries[3] = {0xabc, 0xdef, 0x888};
    LOGBRUSH lb = {brushStyle, color, hatch};
    return ExtCreatePen(style, width, &lb, count, count ? entries : NULL);
}

class ObjectTest : public GdiTest {
protected:
    /* The records selecting h into a fresh metafile writes. */
    std::vector<EmfRecord> SelectionRecords(HGDIOBJ h)
    {
        HDC dc = NewMetafile("object.emf");
        EXPECT_NE(SelectObject(dc, h), nullptr);
        return CloseAndBody(dc, "object.emf");
    }
};

/* Creation records, each the first record a fresh metafile gets when the object is selected, so the
 * object takes index 1. Sources: o01-o03 are samples GDI wrote under Wine 8
 * (shared/platform-probes/emf); "Wine probe" rows are what tests/gdi/probe/gdi_facts.c, making the
 * same objects, got from GDI under Wine 8; EMR_EXTCREATEPEN is decoded by hand from the Windows
 * layout, which Wine does not write. */
TEST_F(ObjectTest, CreationRecordsMatchGdi)
{
    struct Row {
        const char *name;
        std::function<HGDIOBJ()> make;
        std::vector<uint8_t> expected;
    } rows[] = {
        {"o01 CreatePenIndirect PS_DASH 3", [] { return Pen(PS_DASH, 3, RGB(0x11, 0x22, 0x33)); },
         Words({38, 28, 1, PS_DASH, 3, 0, 0x332211})},
        {"o02 width 0 stays 0", [] { return Pen(PS_SOLID, 0, RGB(1, 1, 1)); },
         Words({38, 28, 1, PS_SOLID, 0, 0, 0x010101})},
        {"o02 PS_INSIDEFRAME kept", [] { return Pen(PS_INSIDEFRAME, 4, RGB(3, 3, 3)); },
         Words({38, 28, 1, PS_INSIDEFRAME, 4, 0, 0x030303})},
        {"Wine probe: unknown style solid, |width|, y and colour flags", [] { return Pen(9, -3, 0x01000016); },
         Words({38, 28, 1, PS_SOLID, 3, 0, 0x01000016})},
        {"ExtCreatePen as Windows writes it (hatch kept for BS_SOLID)",
         [] { return ExtPen(PS_SOLID, 1, BS_SOLID, 0x456789, HS_CROSS, 0); },
         Words({95, 56, 1, 56, 0, 56, 0, PS_SOLID, 1, BS_SOLID, 0x456789, HS_CROSS, 0, 0})},
        {"ExtCreatePen PS_USERSTYLE: entries, then 4 zero bytes",
         [] {
             return ExtPen(PS_GEOMETRIC | PS_USERSTYLE | PS_ENDCAP_FLAT, 7, BS_HATCHED, 0x010203, HS_BDIAGONAL, 3);
         },
         Words({95, 68, 1, 68, 0, 68, 0, 0x10207, 7, BS_HATCHED, 0x010203, HS_BDIAGONAL, 3, 0xabc, 0xdef, 0x888, 0})},
        {"o03 solid brush", [] { return Brush(BS_SOLID, RGB(0x12, 0x34, 0x56), 0); },
         Words({39, 24, 1, BS_SOLID, 0x563412, 0})},
        {"Wine probe: a solid brush records hatch 0", [] { return Brush(BS_SOLID, 0x123, 7); },
         Words({39, 24, 1, BS_SOLID, 0x123, 0})},
        {"o03 hatched brush", [] { return Brush(BS_HATCHED, RGB(0x65, 0x43, 0x21), HS_DIAGCROSS); },
         Words({39, 24, 1, BS_HATCHED, 0x214365, HS_DIAGCROSS})},
        {"Wine probe: hatch 6 to 11 makes a solid brush", [] { return Brush(BS_HATCHED, 0x124, 11); },
         Words({39, 24, 1, BS_SOLID, 0x124, 0})},
        {"o03 monochrome 8x8 pattern: DIB_PAL_INDICES, no colour table, rows bottom-up",
         [] {
             static const uint8_t rows[16] = {0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0, 0xAA, 0, 0x55, 0};
             return PatternBrush(8, 8, 1, rows);
         },
         Words({93, 108, 1, 2, 36, 40, 76, 32, 0x20000000, 40, 8, 8, 0x00010001, BI_RGB, 32, 0, 0, 0, 0,
                0x55, 0xaa, 0x55, 0xaa, 0x55, 0xaa, 0x55, 0xaa})},
        {"Wine probe: monochrome 9x3 pattern clears the bits right of the last pixel",
         [] {
             static const uint8_t rows[6] = {0xff, 0xff, 0x80, 0x00, 0x55, 0xaa};
             return PatternBrush(9, 3, 1, rows);
         },
         Words({93, 88, 1, 2, 36, 40, 76, 12, 0x20000000, 40, 9, 3, 0x00010001, BI_RGB, 12, 0, 0, 0, 0,
                0x8055, 0x80, 0x80ff})},
        {"Wine probe: 24-bpp 3x2 pattern",
         [] {
             static const uint8_t px[20] = {0x01, 0x11, 0x21, 0x31, 0x41, 0x51, 0x61, 0x71, 0x81, 0x91,
                                            0xa1, 0xb1, 0xc1, 0xd1, 0xe1, 0xf1, 0x01, 0x11, 0x21, 0x31};
             return PatternBrush(3, 2, 24, px);
         },
         Words({94, 100, 1, 0, 36, 40, 76, 24, 0x20000000, 40, 3, 2, 0x00180001, BI_RGB, 24, 0, 0, 0, 0},
               {0xa1, 0xb1, 0xc1, 0xd1, 0xe1, 0xf1, 0x01, 0x11, 0x21, 0, 0, 0,
                0x01, 0x11, 0x21, 0x31, 0x41, 0x51, 0x61, 0x71, 0x81, 0, 0, 0})},
        {"Wine probe: 32-bpp pattern keeps BI_RGB and the top bytes",
         [] {
             static const uint32_t px[6] = {0x23180d02, 0x4f44392e, 0x7b70655a, 0xa79c9186, 0xd3c8bdb2, 0xfff4e9de};
             return PatternBrush(3, 2, 32, px);
         },
         Words({94, 100, 1, 0, 36, 40, 76, 24, 0x20000000, 40, 3, 2, 0x00200001, BI_RGB, 24, 0, 0, 0, 0,
                0xa79c9186, 0xd3c8bdb2, 0xfff4e9de, 0x23180d02, 0x4f44392e, 0x7b70655a})},
        {"Wine probe: 16-bpp pattern with the 5-5-5 masks",
         [] {
             static const uint16_t px[6] = {0x7c00, 0x03e0, 0x001f, 0x8001, 0x1234, 0x7fff};
             return PatternBrush(3, 2, 16, px);
         },
         Words({94, 104, 1, 0, 36, 52, 88, 16, 0x20000000, 40, 3, 2, 0x00100001, BI_BITFIELDS, 16, 0, 0, 0, 0,
                0x7c00, 0x03e0, 0x001f, 0x12348001, 0x7fff, 0x03e07c00, 0x001f})},
        {"Wine probe: 4-bpp pattern with the VGA colours",
         [] {
             static const uint8_t px[4] = {0x01, 0x9f, 0xe2, 0x3c};
             return PatternBrush(4, 2, 4, px);
         },
         Words({94, 148, 1, 0, 36, 104, 140, 8, 0x20000000, 40, 4, 2, 0x00040001, BI_RGB, 8, 0, 0, 0, 0,
                0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0x808080,
                0xc0c0c0, 0xff0000, 0x00ff00, 0xffff00, 0x0000ff, 0xff00ff, 0x00ffff, 0xffffff, 0x3ce2, 0x9f01})},
        {"o03 CreateDIBPatternBrushPt 24-bit 2x2: biSizeImage filled in",
         [] {
             return DibBrush(Dib(2, 2, 24, BI_RGB, 0, {0xff, 0, 0, 0, 0xff, 0, 0, 0, 0, 0, 0xff, 0xff, 0xff, 0xff}));
         },
         Words({94, 92, 1, 0, 36, 40, 76, 16, 0x20000000, 40, 2, 2, 0x00180001, BI_RGB, 16, 0, 0, 0, 0,
                0xff, 0xff, 0xffff0000, 0xffff})},
        {"24-bit 2x2 with one counted colour: the rows are read after it, as in o03",
         [] {
             return DibBrush(Dib(2, 2, 24, BI_RGB, 1, {0xaa, 0xbb, 0xcc, 0, 0xff, 0, 0, 0, 0xff, 0, 0, 0, 0, 0, 0xff,
                                                       0xff, 0xff, 0xff}));
         },
         Words({94, 92, 1, 0, 36, 40, 76, 16, 0x20000000, 40, 2, 2, 0x00180001, BI_RGB, 16, 0, 0, 0, 0,
                0xff, 0xff, 0xffff0000, 0xffff})},
        {"Wine probe: 1-bit DIB with biClrUsed 0 carries both colours",
         [] { return DibBrush(Dib(3, 2, 1, BI_RGB, 0, {0, 0, 0, 0, 0, 0, 0xff, 0, 0xa0, 0, 0, 0, 0x40})); },
         Words({94, 92, 1, 0, 36, 48, 84, 8, 0x20000000, 40, 3, 2, 0x00010001, BI_RGB, 8, 0, 0, 0, 0,
                0, 0xff0000, 0xa0, 0x40})},
        {"Wine probe: 1-bit DIB with biClrUsed 1 gets a zero second colour; its rows follow one colour",
         [] { return DibBrush(Dib(3, 2, 1, BI_RGB, 1, {0, 0, 0, 0, 0, 0, 0xff, 0, 0xa0, 0, 0, 0, 0x40})); },
         Words({94, 92, 1, 0, 36, 48, 84, 8, 0x20000000, 40, 3, 2, 0x00010001, BI_RGB, 8, 0, 0, 0, 0,
                0, 0, 0xff0000, 0xa0})},
        {"Wine probe: top-down DIB turns bottom-up",
         [] { return DibBrush(Dib(3, -2, 1, BI_RGB, 0, {0, 0, 0, 0, 0, 0, 0xff, 0, 0xa0, 0, 0, 0, 0x40})); },
         Words({94, 92, 1, 0, 36, 48, 84, 8, 0x20000000, 40, 3, 2, 0x00010001, BI_RGB, 8, 0, 0, 0, 0,
                0, 0xff0000, 0x40, 0xa0})},
        {"Wine probe: DIB_PAL_COLORS takes 2-byte entries",
         [] {
             return DibBrush(Dib(3, 2, 1, BI_RGB, 0, {0, 0, 0, 0, 0, 0, 0xff, 0, 0xa0, 0, 0, 0, 0x40}), DIB_PAL_COLORS);
         },
         Words({94, 88, 1, 1, 36, 44, 80, 8, 0x20000000, 40, 3, 2, 0x00010001, BI_RGB, 8, 0, 0, 0, 0,
                0, 0xff0000, 0xa0})},
        {"Wine probe: 16-bit BI_BITFIELDS DIB keeps its masks",
         [] {
             return DibBrush(Dib(1, 2, 16, BI_BITFIELDS, 0,
                                 {0, 0xf8, 0, 0, 0xe0, 0x07, 0, 0, 0x1f, 0, 0, 0, 0x34, 0x12, 0, 0, 0x78, 0x56}));
         },
         Words({94, 96, 1, 0, 36, 52, 88, 8, 0x20000000, 40, 1, 2, 0x00100001, BI_BITFIELDS, 8, 0, 0, 0, 0,
                0xf800, 0x07e0, 0x001f, 0x1234, 0x5678})},
    };
    for (Row &row : rows) {
        SCOPED_TRACE(row.name);
        HGDIOBJ h = row.make();
        ASSERT_NE(h, nullptr);
        std::vector<EmfRecord> body = SelectionRecords(h);
        ASSERT_EQ(body.size(), 2u);
        EXPECT_TRUE(SameBytes(body[0].bytes, row.expected));
        EXPECT_TRUE(SameBytes(body[1].bytes, Words({37, 12, 1})));
        EXPECT_TRUE(DeleteObject(h));
    }
}

TEST_F(ObjectTest, NullStylesGiveTheStockObjectsAndRecordOnlyASelection)
{
    LOGPEN nullPen = {PS_NULL, {5, 0}, RGB(2, 2, 2)};
    LOGBRUSH solid = {BS_SOLID, RGB(9, 9, 9), 0};
    LOGBRUSH hollow = {BS_NULL, RGB(1, 2, 3), 7};
    struct Row {
        const char *name;
        HGDIOBJ h;
        int stock;
    } rows[] = {
        {"CreatePenIndirect PS_NULL", CreatePenIndirect(&nullPen), NULL_PEN},
        {"ExtCreatePen PS_NULL", ExtCreatePen(PS_GEOMETRIC | PS_NULL, 3, &solid, 0, NULL), NULL_PEN},
        {"ExtCreatePen cosmetic PS_NULL of width 5", ExtCreatePen(PS_COSMETIC | PS_NULL, 5, &solid, 0, NULL),
         NULL_PEN},
        {"ExtCreatePen with a BS_NULL brush", ExtCreatePen(PS_GEOMETRIC | PS_SOLID, 3, &hollow, 0, NULL), NULL_PEN},
        {"CreateBrushIndirect BS_NULL", CreateBrushIndirect(&hollow), NULL_BRUSH},
        {"DC_PEN", GetStockObject(DC_PEN), DC_PEN},
        {"SYSTEM_FONT", GetStockObject(SYSTEM_FONT), SYSTEM_FONT},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.h, GetStockObject(row.stock));
        std::vector<EmfRecord> body = SelectionRecords(row.h);
        ASSERT_EQ(body.size(), 1u);
        EXPECT_TRUE(SameBytes(body[0].bytes, Words({37, 12, 0x80000000u | row.stock})));
        EXPECT_TRUE(DeleteObject(row.h)) << "deleting a stock object succeeds";
        EXPECT_EQ(GetObjectType(row.h), GetObjectType(GetStockObject(row.stock))) << "and it survives";
    }
}

TEST_F(ObjectTest, ExtCreatePenKeepsGdisParameterRules)
{
    const DWORD entries[17] = {4, 2, 0xabc, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    const DWORD zeros[2] = {0, 0};
    struct Row {
        const char *name;
        DWORD style, width;
        UINT brushStyle;
        ULONG_PTR hatch;
        DWORD count;
        const DWORD *entries;
        bool created;
    } rows[] = {
        {"cosmetic width 1", PS_COSMETIC | PS_SOLID, 1, BS_SOLID, 0, 0, NULL, true},
        {"cosmetic width 2", PS_COSMETIC | PS_SOLID, 2, BS_SOLID, 0, 0, NULL, false},
        {"cosmetic width 0", PS_COSMETIC | PS_SOLID, 0, BS_SOLID, 0, 0, NULL, false},
        {"cosmetic hatched brush", PS_COSMETIC | PS_SOLID, 1, BS_HATCHED, HS_CROSS, 0, NULL, false},
        {"cosmetic end cap bits", PS_COSMETIC | PS_SOLID | PS_ENDCAP_FLAT, 1, BS_SOLID, 0, 0, NULL, true},
        {"cosmetic PS_INSIDEFRAME", PS_COSMETIC | PS_INSIDEFRAME, 1, BS_SOLID, 0, 0, NULL, false},
        {"cosmetic PS_ALTERNATE", PS_COSMETIC | PS_ALTERNATE, 1, BS_SOLID, 0, 0, NULL, true},
        {"geometric PS_ALTERNATE", PS_GEOMETRIC | PS_ALTERNATE, 1, BS_SOLID, 0, 0, NULL, false},
        {"geometric width 0", PS_GEOMETRIC | PS_SOLID, 0, BS_SOLID, 0, 0, NULL, true},
        {"geometric hatched", PS_GEOMETRIC | PS_DASH, 6, BS_HATCHED, HS_BDIAGONAL, 0, NULL, true},
        {"style 9", PS_GEOMETRIC | 9, 1, BS_SOLID, 0, 0, NULL, false},
        {"user style without entries", PS_GEOMETRIC | PS_USERSTYLE, 1, BS_SOLID, 0, 3, NULL, false},
        {"user style of 16 entries", PS_GEOMETRIC | PS_USERSTYLE, 1, BS_SOLID, 0, 16, entries, true},
        {"user style of 17 entries", PS_GEOMETRIC | PS_USERSTYLE, 1, BS_SOLID, 0, 17, entries, false},
        {"user style all zero", PS_GEOMETRIC | PS_USERSTYLE, 1, BS_SOLID, 0, 2, zeros, false},
        {"entries without PS_USERSTYLE", PS_GEOMETRIC | PS_SOLID, 1, BS_SOLID, 0, 3, entries, false},
        {"unknown brush style", PS_GEOMETRIC | PS_SOLID, 3, 99, 0, 0, NULL, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        LOGBRUSH lb = {row.brushStyle, RGB(1, 2, 3), row.hatch};
        SetLastError(0);
        HPEN pen = ExtCreatePen(row.style, row.width, &lb, row.count, row.entries);
        EXPECT_EQ(pen != NULL, row.created);
        if (pen) {
            EXPECT_EQ(GetObjectType(pen), (DWORD)OBJ_EXTPEN);
            DeleteObject(pen);
        } else {
            EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
        }
    }
    EXPECT_EQ(ExtCreatePen(PS_GEOMETRIC, 1, NULL, 0, NULL), nullptr) << "no brush";
}

TEST_F(ObjectTest, BrushesGdiRefusesAreNotMade)
{
    LOGPEN pen = {PS_SOLID, {1, 0}, 0};
    struct Row {
        const char *name;
        LOGBRUSH lb;
    } rows[] = {
        {"hatch 12", {BS_HATCHED, 0, 12}},
        {"hatch -1", {BS_HATCHED, 0, (ULONG_PTR)-1}},
        {"BS_INDEXED", {BS_INDEXED, 0, 0}},
        {"BS_PATTERN8X8", {BS_PATTERN8X8, 0, 0}},
        {"style 9", {9, 0, 0}},
        {"pattern of a junk handle", {BS_PATTERN, 0, 0x1234}},
        {"pattern of no bitmap", {BS_PATTERN, 0, 0}},
        {"pattern of a pen", {BS_PATTERN, 0, (ULONG_PTR)CreatePenIndirect(&pen)}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(CreateBrushIndirect(&row.lb), nullptr);
    }
    DeleteObject((HGDIOBJ)rows[7].lb.lbHatch);
    EXPECT_EQ(CreateBrushIndirect(NULL), nullptr);
}

TEST_F(ObjectTest, PackedDibsGdiRefusesMakeNoBrush)
{
    struct Row {
        const char *name;
        PackedDib dib;
        UINT usage;
    } rows[] = {
        {"7 bpp", Dib(3, 2, 7, BI_RGB, 0, {}), DIB_RGB_COLORS},
        {"width 0", Dib(0, 2, 1, BI_RGB, 0, {}), DIB_RGB_COLORS},
        {"negative width", Dib(-3, 2, 1, BI_RGB, 0, {}), DIB_RGB_COLORS},
        {"height 0", Dib(3, 0, 1, BI_RGB, 0, {}), DIB_RGB_COLORS},
        {"BI_RLE8", Dib(3, 2, 8, BI_RLE8, 0, {}), DIB_RGB_COLORS},
        {"BI_BITFIELDS at 24 bpp", Dib(3, 2, 24, BI_BITFIELDS, 0, {}), DIB_RGB_COLORS},
        {"usage 3", Dib(3, 2, 1, BI_RGB, 0, {}), 3},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(CreateDIBPatternBrushPt(&row.dib, row.usage), nullptr);
    }
    PackedDib core = Dib(3, 2, 1, BI_RGB, 0, {});
    core.hdr.biSize = 12;
    EXPECT_EQ(CreateDIBPatternBrushPt(&core, DIB_RGB_COLORS), nullptr) << "core headers are refused";
    EXPECT_EQ(CreateDIBPatternBrushPt(NULL, DIB_RGB_COLORS), nullptr);
}

TEST_F(ObjectTest, GetObjectReportsWhatGdiReports)
{
    LOGPEN in = {PS_DOT, {4, 77}, 0x01000017};
    HPEN pen = CreatePenIndirect(&in);
    LOGPEN lp;
    memset(&lp, 0xcc, sizeof lp);
    EXPECT_EQ(GetObjectA(pen, 0, NULL), (int)sizeof(LOGPEN));
    EXPECT_EQ(GetObjectA(pen, sizeof lp - 1, &lp), 0);
    EXPECT_EQ(GetObjectA(pen, 100, &lp), (int)sizeof(LOGPEN));
    EXPECT_EQ(lp.lopnStyle, (UINT)PS_DOT);
    EXPECT_EQ(lp.lopnWidth.x, 4);
    EXPECT_EQ(lp.lopnWidth.y, 0);
    EXPECT_EQ(lp.lopnColor, 0x01000017u);

    LOGBRUSH lb = {BS_SOLID, RGB(1, 2, 3), 0};
    DWORD style[3] = {0xabc, 0xdef, 0x888};
    HPEN ext = ExtCreatePen(PS_GEOMETRIC | PS_USERSTYLE | PS_ENDCAP_FLAT, 5, &lb, 3, style);
    union {
        EXTLOGPEN elp;
        uint8_t bytes[128];
    } out;
    int extSize = (int)(offsetof(EXTLOGPEN, elpStyleEntry) + 3 * sizeof(DWORD));
    EXPECT_EQ(GetObjectA(ext, 0, NULL), extSize);
    EXPECT_EQ(GetObjectA(ext, sizeof(LOGPEN), &out), 0) << "an extended pen does not fit a LOGPEN";
    EXPECT_EQ(GetObjectA(ext, sizeof out, &out), extSize);
    EXPECT_EQ(out.elp.elpPenStyle, 0x10207u);
    EXPECT_EQ(out.elp.elpWidth, 5u);
    EXPECT_EQ(out.elp.elpNumEntries, 3u);
    EXPECT_EQ(out.elp.elpStyleEntry[0], 0xabcu);
    DWORD third;
    memcpy(&third, out.bytes + offsetof(EXTLOGPEN, elpStyleEntry) + 2 * sizeof(DWORD), sizeof third);
    EXPECT_EQ(third, 0x888u);

    HBITMAP bm = Ddb(3, 3, 7, NULL);
    LOGBRUSH pattern = {BS_PATTERN, RGB(9, 9, 9), (ULONG_PTR)bm};
    HBRUSH brush = CreateBrushIndirect(&pattern);
    LOGBRUSH got;
    memset(&got, 0xcc, sizeof got);
    EXPECT_EQ(GetObjectA(brush, 4, &got), 4) << "a short buffer gets part of a brush";
    EXPECT_EQ(got.lbStyle, (UINT)BS_PATTERN);
    EXPECT_EQ(got.lbColor, 0xccccccccu);
    EXPECT_EQ(GetObjectA(brush, sizeof got, &got), (int)sizeof got);
    EXPECT_EQ(got.lbColor, 0u);
    EXPECT_EQ(got.lbHatch, (ULONG_PTR)bm) << "the pattern's bitmap";

    BITMAP info;
    EXPECT_EQ(GetObjectA(bm, sizeof info - 1, &info), 0);
    EXPECT_EQ(GetObjectA(bm, sizeof info, &info), (int)sizeof info);
    EXPECT_EQ(info.bmBitsPixel, 8) << "7 bpp rounds up";
    EXPECT_EQ(info.bmWidthBytes, 4) << "3 pixels of 8 bits in a word-aligned row";
    EXPECT_EQ(info.bmBits, nullptr);

    for (HGDIOBJ h : {(HGDIOBJ)pen, (HGDIOBJ)ext, (HGDIOBJ)brush, (HGDIOBJ)bm})
        EXPECT_TRUE(DeleteObject(h));
    EXPECT_EQ(GetObjectA(pen, sizeof lp, &lp), 0) << "stale";
}

TEST_F(ObjectTest, StockObjectsAreFixedAndDescribeThemselves)
{
    struct Row {
        int index;
        DWORD type;
        COLORREF color;
        UINT style;
    } rows[] = {
        {WHITE_BRUSH, OBJ_BRUSH, RGB(255, 255, 255), BS_SOLID},
        {LTGRAY_BRUSH, OBJ_BRUSH, RGB(192, 192, 192), BS_SOLID},
        {GRAY_BRUSH, OBJ_BRUSH, RGB(128, 128, 128), BS_SOLID},
        {DKGRAY_BRUSH, OBJ_BRUSH, RGB(64, 64, 64), BS_SOLID},
        {BLACK_BRUSH, OBJ_BRUSH, 0, BS_SOLID},
        {NULL_BRUSH, OBJ_BRUSH, 0, BS_NULL},
        {DC_BRUSH, OBJ_BRUSH, RGB(255, 255, 255), BS_SOLID},
        {WHITE_PEN, OBJ_PEN, RGB(255, 255, 255), PS_SOLID},
        {BLACK_PEN, OBJ_PEN, 0, PS_SOLID},
        {NULL_PEN, OBJ_PEN, 0, PS_NULL},
        {DC_PEN, OBJ_PEN, 0, PS_SOLID},
        {SYSTEM_FONT, OBJ_FONT, 0, 0},
        {DEFAULT_PALETTE, OBJ_PAL, 0, 0},
        {DEFAULT_GUI_FONT, OBJ_FONT, 0, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.index);
        HGDIOBJ h = GetStockObject(row.index);
        EXPECT_EQ(h, GetStockObject(row.index));
        EXPECT_EQ(GetObjectType(h), row.type);
        if (row.type == OBJ_PEN) {
            LOGPEN lp;
            ASSERT_EQ(GetObjectA(h, sizeof lp, &lp), (int)sizeof lp);
            EXPECT_EQ(lp.lopnStyle, row.style);
            EXPECT_EQ(lp.lopnColor, row.color);
            EXPECT_EQ(lp.lopnWidth.x, row.index == NULL_PEN ? 1 : 0);
        } else if (row.type == OBJ_BRUSH) {
            LOGBRUSH lb;
            ASSERT_EQ(GetObjectA(h, sizeof lb, &lb), (int)sizeof lb);
            EXPECT_EQ(lb.lbStyle, row.style);
            EXPECT_EQ(lb.lbColor, row.color);
        }
    }
    for (int missing : {-1, 9, 20, 21})
        EXPECT_EQ(GetStockObject(missing), nullptr) << missing;
}

} /* namespace */
