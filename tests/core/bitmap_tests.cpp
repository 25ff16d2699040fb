/* Raster32 and Dib32: the band arithmetic, the DIB each band becomes (checked pixel by pixel against
 * a naive conversion of the caller's rows), the colour table and background-mode rules, the
 * no-bitmap road, and every failure road, judged by the metafile's records and the trace. */
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "guarded_memory.h"
#include "job_fixture.h"
#include "render/render.h"

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

/* A device bitmap of the caller's: rows top-down at the word-aligned length GDI uses. */
struct Image {
    BITMAP bm;
    std::vector<uint8_t> bits;
};

/* widthBytes -1: the word-aligned length at the bitmap's own depth. */
Image MakeImage(LONG width, LONG height, WORD bitsPixel, LONG widthBytes = -1)
{
    Image image;
    if (widthBytes < 0)
        widthBytes = (width * bitsPixel + 15) / 16 * 2;
    image.bits.resize((size_t)(widthBytes * height));
    for (size_t i = 0; i < image.bits.size(); i++)
        image.bits[i] = (uint8_t)((i * 7 + (i / (size_t)widthBytes) * 13) ^ (i >> 5));
    image.bm = BITMAP{0, width, height, widthBytes, 1, bitsPixel, image.bits.data()};
    return image;
}

/* The colour (0xRRGGBB) GDI gives a device-bitmap pixel, from the documented default palettes. */
uint32_t NaiveColour(const Image &image, int x, int y)
{
    static const uint32_t vga[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                     0x008080, 0x808080, 0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00,
                                     0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    static const uint32_t statics[20] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080,
                                         0x800080, 0x008080, 0xC0C0C0, 0xC0DCC0, 0xA6CAF0,
                                         0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000, 0x00FF00,
                                         0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    const uint8_t *row = &image.bits[(size_t)(image.bm.bmWidthBytes * y)];
    switch (image.bm.bmBitsPixel) {
    case 4: {
        int index = x % 2 ? row[x / 2] & 15 : row[x / 2] >> 4;
        return vga[index];
    }
    case 8: {
        int i = row[x];
        if (i < 10)
            return statics[i];
        if (i > 245)
            return statics[i - 236];
        return (uint32_t)(i % 8 * 32) << 16 | (uint32_t)(i / 8 % 8 * 32) << 8 | (uint32_t)(i / 64 * 64);
    }
    default: /* 24 */
        return (uint32_t)row[3 * x + 2] << 16 | (uint32_t)row[3 * x + 1] << 8 | row[3 * x];
    }
}

/* The DIB bits the band must become: the bitmap's full height, bottom-up, the band's rows at the
 * bottom (its last row first) and zeros above them; 1 bit per pixel for a monochrome bitmap (the
 * caller's bits), else 24 (blue, green, red). */
std::vector<uint8_t> NaiveBand(const Image &image, int firstRow, int lines)
{
    bool mono = image.bm.bmBitsPixel == 1;
    int width = image.bm.bmWidth;
    size_t stride = (size_t)((width * (mono ? 1 : 24) + 31) / 32 * 4);
    std::vector<uint8_t> dib(stride * (size_t)image.bm.bmHeight, 0);
    for (int i = 0; i < lines; i++) {
        int y = firstRow + lines - 1 - i;
        uint8_t *out = &dib[stride * (size_t)i];
        for (int x = 0; x < width; x++) {
            if (mono) {
                int bit = (image.bits[(size_t)(image.bm.bmWidthBytes * y + x / 8)] >> (7 - x % 8)) & 1;
                out[x / 8] |= (uint8_t)(bit << (7 - x % 8));
            } else {
                uint32_t c = NaiveColour(image, x, y);
                out[3 * x] = (uint8_t)c;
                out[3 * x + 1] = (uint8_t)(c >> 8);
                out[3 * x + 2] = (uint8_t)(c >> 16);
            }
        }
    }
    return dib;
}

/* The parts of an EMR_STRETCHDIBITS record, found through its offsets. */
struct DibRecord {
    BITMAPINFOHEADER header;
    std::vector<uint8_t> table;
    std::vector<uint8_t> bits;
};

DibRecord ReadDib(const JobRecord &record)
{
    const std::vector<uint8_t> &b = record.bytes;
    uint32_t offBmi, cbBmi, offBits, cbBits;
    memcpy(&offBmi, &b[48], 4);
    memcpy(&cbBmi, &b[52], 4);
    memcpy(&offBits, &b[56], 4);
    memcpy(&cbBits, &b[60], 4);
    DibRecord dib;
    memcpy(&dib.header, &b[offBmi], sizeof dib.header);
    dib.table.assign(b.begin() + offBmi + sizeof dib.header, b.begin() + offBmi + cbBmi);
    dib.bits.assign(b.begin() + offBits, b.begin() + offBits + cbBits);
    return dib;
}

/* Destination x, y, width and height of every call. */
const INT kDest[4] = {10, 20, 200, 40};

class BitmapTest : public JobTest {
protected:
    INT Raster(const BITMAP *bm, INT srcX, INT firstRow, INT srcWidth, INT lines,
               DWORD rop = SRCCOPY)
    {
        return Raster32(&dc_, &kDest[0], &kDest[1], &kDest[2], &kDest[3], bm, &srcX, &firstRow,
                        &srcWidth, &lines, &rop, brush_, mode_);
    }
    /* The records of the one transfer made, after closing the metafile. */
    std::vector<const JobRecord *> Transfers(uint32_t type)
    {
        std::vector<const JobRecord *> found;
        for (const JobRecord &r : records())
            if (r.type == type)
                found.push_back(&r);
        return found;
    }
    std::vector<std::string> TracedWith(const char *prefix)
    {
        std::vector<std::string> found;
        for (const std::string &entry : TracedEntries())
            if (entry.rfind(prefix, 0) == 0)
                found.push_back(entry);
        return found;
    }
    LOGBRUSH solid_ = {BS_SOLID, 0x00336699, 0};
    LOGBRUSH *brush_ = NULL;
    DrawMode32 drawMode_ = {R2_COPYPEN, TRANSPARENT, 0x00C0B0A0, 0x00102030, 1};
    const DrawMode32 *mode_ = &drawMode_;
};

/* The band examples: which rows GetDIBits is asked for, the buffer, the source rectangle, and the
 * DIB the record carries, pixel for pixel, for monochrome, 4-, 8- and 24-bit bitmaps. */
TEST_F(BitmapTest, EachBandBecomesTheDibOfItsRowsWithClampedSourceRectangle)
{
    struct Row {
        WORD bitsPixel;
        INT srcX, firstRow, srcWidth, lines;
        const char *getDIBits; /* start scan, lines, depth */
        long buffer;
        const char *record;
    } rows[] = {
        {1, 5, 0, 50, 10, "40, 10, 1", 16 * 51, "src=(5,0,50,10)"},
        {1, 5, 40, 50, 20, "0, 10, 1", 16 * 51, "src=(5,0,50,10)"},
        {1, 0, 0, 100, 50, "0, 50, 1", 16 * 51, "src=(0,0,100,50)"},
        {1, 30, 7, 90, 3, "40, 3, 1", 16 * 51, "src=(30,0,70,3)"},
        {1, 30, 7, 50, 3, "40, 3, 1", 16 * 51, "src=(30,0,50,3)"},
        {8, 0, 12, 100, 20, "18, 20, 24", 300 * 51, "src=(0,0,100,20)"},
        {24, 99, 49, 2, 1, "0, 1, 24", 900 * 51, "src=(99,0,1,1)"},
        {4, 0, 0, 100, 50, "0, 50, 24", 300 * 51, "src=(0,0,100,50)"}, /* 24-bit rows, not 3 x 52 */
        /* A band reaching above the bitmap is cut at its top row, as one reaching below it is. */
        {1, 5, -20, 50, 30, "40, 10, 1", 16 * 51, "src=(5,0,50,10)"},
        {8, 0, -1, 100, 51, "0, 50, 24", 300 * 51, "src=(0,0,100,50)"},
        /* A negative width from inside the bitmap is kept: GDI mirrors the transfer. */
        {1, 60, 0, -50, 10, "40, 10, 1", 16 * 51, "src=(60,0,-50,10)"},
        {24, 100, 0, -100, 10, "40, 10, 24", 900 * 51, "src=(100,0,-100,10)"},
        {8, -10, 45, 20, 10, "0, 5, 24", 300 * 51, "src=(-10,0,20,5)"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::to_string(row.bitsPixel) + " bpp, first row " + std::to_string(row.firstRow));
        Image image = MakeImage(100, 50, row.bitsPixel);
        StartTrace();
        EXPECT_EQ(Raster(&image.bm, row.srcX, row.firstRow, row.srcWidth, row.lines), 0);
        std::vector<std::string> gets = TracedWith("GetDIBits(");
        ASSERT_EQ(gets.size(), 1u);
        EXPECT_NE(gets[0].find(std::string(row.getDIBits) + ")"), std::string::npos) << gets[0];
        std::vector<std::string> allocs = TracedWith("GlobalAlloc(");
        ASSERT_FALSE(allocs.empty());
        EXPECT_EQ(allocs.back(), "GlobalAlloc(0x42, " + std::to_string(row.buffer) + ")");

        Reopen();
        std::vector<const JobRecord *> dibits = Transfers(emf::EMR_STRETCHDIBITS);
        ASSERT_EQ(dibits.size(), 1u);
        EXPECT_EQ(dibits[0]->text, "STRETCHDIBITS dest=(10,20,200,40) " + std::string(row.record) +
                                       " rop=0xcc0020");
        DibRecord dib = ReadDib(*dibits[0]);
        bool mono = row.bitsPixel == 1;
        EXPECT_EQ(dib.header.biWidth, 100);
        EXPECT_EQ(dib.header.biHeight, 50);
        EXPECT_EQ(dib.header.biBitCount, mono ? 1 : 24);
        EXPECT_EQ(dib.table.size(), mono ? 8u : 0u);
        INT first = std::max(row.firstRow, 0);
        INT lines = std::min(row.firstRow + row.lines, 50) - first;
        EXPECT_TRUE(dib.bits == NaiveBand(image, first, lines)) << "the band's pixels differ";
    }
}

/* GDI reads a device bitmap's rows at a word-aligned length of the depth it keeps the bitmap in,
 * whatever bmWidthBytes says. Rows of another length (byte-aligned, longer, 2-bit rows that GDI
 * reads as 4-bit ones) are taken at the caller's length and never read past the caller's last
 * byte, which lies just before an inaccessible page. */
TEST_F(BitmapTest, RowsAreTakenAtTheCallersLengthAndNeverPastHerBits)
{
    struct Row {
        const char *what;
        LONG width;
        WORD bitsPixel;
        LONG widthBytes, gdiWidthBytes; /* the caller's rows, and the rows GDI reads */
    } rows[] = {
        {"byte-aligned monochrome rows", 100, 1, 13, 14},
        {"monochrome rows longer than a word", 100, 1, 20, 14},
        {"byte-aligned 24-bit rows", 33, 24, 99, 100},
        {"8-bit rows one byte short", 31, 8, 31, 32},
        {"2-bit rows, read as 4-bit", 30, 2, 8, 16},
        {"rows of no bytes at all", 16, 1, 0, 2},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        Image image = MakeImage(row.width, 50, row.bitsPixel, row.widthBytes);
        Guarded guarded;
        void *bits = image.bits.empty() ? guarded.End(1) : guarded.End(image.bits.size());
        ASSERT_NE(bits, nullptr);
        if (!image.bits.empty())
            memcpy(bits, image.bits.data(), image.bits.size());
        image.bm.bmBits = bits;
        EXPECT_EQ(Raster(&image.bm, 0, 10, row.width, 40), 0);

        /* What GDI sees: the caller's rows, each cut or padded with zeros to GDI's length. */
        WORD gdiBits = row.bitsPixel == 2 ? 4 : row.bitsPixel;
        Image seen = MakeImage(row.width, 50, gdiBits, row.gdiWidthBytes);
        std::fill(seen.bits.begin(), seen.bits.end(), 0);
        for (size_t y = 0; y < 50 && row.widthBytes > 0; y++) /* rows of no bytes leave zeros */
            memcpy(&seen.bits[y * (size_t)row.gdiWidthBytes], &image.bits[y * (size_t)row.widthBytes],
                   (size_t)std::min(row.widthBytes, row.gdiWidthBytes));
        Reopen();
        std::vector<const JobRecord *> dibits = Transfers(emf::EMR_STRETCHDIBITS);
        ASSERT_EQ(dibits.size(), 1u);
        EXPECT_TRUE(ReadDib(*dibits[0]).bits == NaiveBand(seen, 10, 40)) << "the band's pixels differ";
        EXPECT_EQ(StandinLiveGlobalBlocks(), globalBlocksBefore_);
    }
}

/* Entry 0 is the text colour and entry 1 the background colour, blue first; the top byte of a
 * COLORREF is not read. */
TEST_F(BitmapTest, MonochromeColourTableComesFromTheDrawingModeInRgbquadOrder)
{
    struct Row {
        COLORREF text, background;
        std::vector<uint8_t> table;
    } rows[] = {
        {0x00000000, 0x00FFFFFF, {0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00}},
        {0x00FF0000, 0x000000FF, {0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0x00}},
        {0x7F123456, 0x01ABCDEF, {0x12, 0x34, 0x56, 0x00, 0xAB, 0xCD, 0xEF, 0x00}},
    };
    Image image = MakeImage(100, 50, 1);
    for (const Row &row : rows) {
        drawMode_.TextColor = row.text;
        drawMode_.BkColor = row.background;
        EXPECT_EQ(Raster(&image.bm, 0, 0, 100, 10), 0);
        Reopen();
        std::vector<const JobRecord *> dibits = Transfers(emf::EMR_STRETCHDIBITS);
        ASSERT_EQ(dibits.size(), 1u);
        EXPECT_EQ(ReadDib(*dibits[0]).table, row.table);
    }
}

/* The background mode follows the drawing mode's switch, is left alone when its raster-operation
 * field is 0, and is set also when no row is transferred; the colours of a colour band are not
 * used. */
TEST_F(BitmapTest, BackgroundModeFollowsTheSwitchWheneverTheRasterOperationFieldIsSet)
{
    struct Row {
        INT rasterOp, useBkMode, firstRow;
        WORD bitsPixel;
        std::vector<std::string> records;
    } rows[] = {
        {R2_COPYPEN, 0, 0, 1, {"SETBKMODE 2", "STRETCHDIBITS"}},
        {R2_COPYPEN, 1, 0, 1, {"SETBKMODE 1", "STRETCHDIBITS"}},
        {0, 1, 0, 1, {"STRETCHDIBITS"}},
        {R2_XORPEN, 1, 50, 1, {"SETBKMODE 1"}}, /* first row at the height: nothing to copy */
        {R2_COPYPEN, 0, 0, 8, {"SETBKMODE 2", "STRETCHDIBITS"}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.records));
        drawMode_ = DrawMode32{row.rasterOp, TRANSPARENT, 0x00C0B0A0, 0x00102030, row.useBkMode};
        Image image = MakeImage(100, 50, row.bitsPixel);
        EXPECT_EQ(Raster(&image.bm, 0, row.firstRow, 100, 10), 0);
        std::vector<std::string> records;
        for (const std::string &text : Reopen())
            if (text.rfind("SELECTOBJECT", 0) != 0)
                records.push_back(text.substr(0, text.find(" dest=")));
        EXPECT_EQ(records, row.records);
    }
}

/* Without a BITMAP: one StretchBlt from a memory DC holding the empty bitmap, source (0,0) and the
 * destination's size; a brush-only operation records no bitmap, a source operation the 1x1 one. */
TEST_F(BitmapTest, NoBitmapRoadBlitsFromAnEmptyBitmapInAMemoryDc)
{
    LOGBRUSH hatched = {BS_HATCHED, 0x000000FF, HS_DIAGCROSS};
    brush_ = &hatched;
    mode_ = NULL; /* allowed without a BITMAP, and never read on this road */
    StartTrace();
    EXPECT_EQ(Raster(NULL, 7, 8, 9, 10, PATCOPY), 0);
    EXPECT_THAT(TracedCalls(), Not(Contains("GetDIBits")));
    EXPECT_THAT(TracedCalls(), Not(Contains("SetBkMode")));
    std::vector<std::string> blits = TracedWith("StretchBlt(");
    ASSERT_EQ(blits.size(), 1u);
    EXPECT_NE(blits[0].find(", 10, 20, 200, 40, dc#"), std::string::npos) << blits[0];
    EXPECT_NE(blits[0].find(", 0, 0, 200, 40, 0xf00021)"), std::string::npos) << blits[0];
    EXPECT_EQ(TracedWith("CreateBitmapIndirect(").at(0), "CreateBitmapIndirect(0, 0, 0, 0)");
    EXPECT_EQ(TracedWith("DeleteDC(").size(), 1u);
    EXPECT_THAT(Reopen(), ElementsAre("SELECTOBJECT stock 8", "CREATEBRUSHINDIRECT 1 style=2 color=0xff hatch=5", "SELECTOBJECT 1",
                                      "BITBLT (10,20,200,40) rop=0xf00021 cbBmi=0", "SELECTOBJECT stock 0",
                                      "DELETEOBJECT 1"));

    brush_ = NULL;
    EXPECT_EQ(Raster(NULL, 0, 0, 0, 0, SRCCOPY), 0);
    EXPECT_THAT(CloseAndDescribe(), Contains("STRETCHBLT (10,20,200,40) src=(0,0,200,40) rop=0xcc0020 cbBmi=48"));
}

/* Dib32 hands its eight coordinates, bits and BITMAPINFO to StretchDIBits as they are, and reports
 * nothing of what GDI refused. */
TEST_F(BitmapTest, Dib32PassesEveryCoordinateUnchangedAndAlwaysReturns0)
{
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[2];
    } info = {{sizeof(BITMAPINFOHEADER), 8, -2, 1, 1, BI_RGB, 0, 0, 0, 2, 0}, {{1, 2, 3, 0}, {4, 5, 6, 0}}};
    const uint8_t bits[8] = {0xF0, 0, 0, 0, 0x0F, 0, 0, 0};
    const INT coords[8] = {-5, 6, -70, 80, 3, 2, 4, -2};
    const DWORD rop = SRCAND;
    StartTrace();
    EXPECT_EQ(Dib32(&dc_, &coords[0], &coords[1], &coords[2], &coords[3], &coords[4], &coords[5],
                    &coords[6], &coords[7], bits, (const BITMAPINFO *)&info, &rop, NULL, NULL), 0);
    EXPECT_THAT(TracedWith("StretchDIBits("),
                ElementsAre(testing::EndsWith(", -5, 6, -70, 80, 3, 2, 4, -2, 1, 0x8800c6)")));
    StandinFailCall("StretchDIBits", 1);
    EXPECT_EQ(Dib32(&dc_, &coords[0], &coords[1], &coords[2], &coords[3], &coords[4], &coords[5],
                    &coords[6], &coords[7], bits, (const BITMAPINFO *)&info, &rop, NULL, NULL), 0);
    EXPECT_THAT(CloseAndDescribe(), ElementsAre("SELECTOBJECT stock 8", "SELECTOBJECT stock 5",
                                                "STRETCHDIBITS dest=(-5,6,-70,80) src=(3,2,4,-2) rop=0x8800c6",
                                                "SELECTOBJECT stock 8", "SELECTOBJECT stock 5"));
    DibRecord dib = ReadDib(*Transfers(emf::EMR_STRETCHDIBITS).at(0));
    EXPECT_EQ(dib.header.biHeight, -2);
    EXPECT_EQ(dib.table, std::vector<uint8_t>({1, 2, 3, 0, 4, 5, 6, 0}));
    EXPECT_EQ(dib.bits, std::vector<uint8_t>(bits, bits + 8));
}

/* A brush that cannot be made does not stop the transfer, and the release still runs after it. */
TEST_F(BitmapTest, BothExportsReleaseAfterTheTransferAlsoWhenRealizationFailed)
{
    Image image = MakeImage(100, 50, 8);
    LOGBRUSH solid = solid_;
    brush_ = &solid;
    StartTrace();
    EXPECT_EQ(Raster(&image.bm, 0, 0, 100, 5), 0);
    std::vector<std::string> calls = TracedCalls();
    auto transfer = std::find(calls.begin(), calls.end(), "StretchDIBits");
    ASSERT_NE(transfer, calls.end());
    EXPECT_EQ(std::count(transfer, calls.end(), "DeleteObject"), 2); /* the band's bitmap, the brush */

    StandinFailCall("CreateBrushIndirect", 1);
    EXPECT_EQ(Raster(&image.bm, 0, 0, 100, 5), 0);
    BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), 1, 1, 1, 24, BI_RGB, 0, 0, 0, 0, 0}, {}};
    const uint8_t pixel[4] = {1, 2, 3, 0};
    const INT one = 1, zero = 0;
    const DWORD rop = SRCCOPY;
    StandinFailCall("CreateBrushIndirect", 1);
    EXPECT_EQ(Dib32(&dc_, &zero, &zero, &one, &one, &zero, &zero, &one, &one, pixel, &info, &rop, &solid,
                    mode_),
              0);
    std::vector<std::string> records = CloseAndDescribe();
    EXPECT_EQ(std::count_if(records.begin(), records.end(),
                            [](const std::string &r) { return r.rfind("STRETCHDIBITS", 0) == 0; }),
              3);
    EXPECT_EQ(std::count(records.begin(), records.end(), "DELETEOBJECT 1"), 1);
}

/* What cannot be transferred: nothing reaches the metafile but the background mode, every block
 * taken is freed and the band's bitmap deleted (the fixture checks the counters). */
TEST_F(BitmapTest, BandsThatCannotBeTransferredTakeNothingAndLeaveNothing)
{
    Image mono = MakeImage(100, 50, 1);
    Image colour = MakeImage(100, 50, 24);
    BITMAP wide = colour.bm, tall = mono.bm, negative = mono.bm;
    wide.bmWidthBytes = 0x40000000;  /* 3 x 2^30 per row */
    tall.bmHeight = 0x7FFFFFFF;      /* rows x (height + 1) wraps 32 bits */
    negative.bmWidthBytes = -14;
    BITMAP planar = mono.bm, deep = colour.bm;
    planar.bmPlanes = 4; /* GDI refuses to make it, though a 1-bit band is monochrome here */
    deep.bmBitsPixel = 48;  /* a depth GDI keeps no bitmap in */
    BITMAP vast = colour.bm;
    vast.bmWidth = vast.bmHeight = 0x7FFFFFFF; /* GDI's rows of it would overflow even 64 bits */
    vast.bmBitsPixel = 32;
    vast.bmWidthBytes = 0;
    struct Row {
        const char *what;
        const BITMAP *bm;
        INT srcX, firstRow, lines;
        const char *failCall;
        int nth;
        bool bitmapMade;
    } rows[] = {
        {"first row beyond the height", &mono.bm, 0, 51, 10, NULL, 0, false},
        {"band wholly above the bitmap", &mono.bm, 0, -20, 10, NULL, 0, false},
        {"negative line count", &mono.bm, 0, 0, -3, NULL, 0, false},
        {"source x beyond the width", &mono.bm, 101, 0, 10, NULL, 0, false},
        {"row bytes overflow", &wide, 0, 0, 10, NULL, 0, false},
        {"buffer overflow", &tall, 0, 0, 10, NULL, 0, false},
        {"negative row bytes", &negative, 0, 0, 10, NULL, 0, false},
        {"48 bits per pixel", &deep, 0, 0, 10, NULL, 0, false},
        {"GDI's copy past 64 bits", &vast, 0, 0, 10, NULL, 0, false},
        {"monochrome with four planes", &planar, 0, 0, 10, NULL, 0, true},
        {"no header block", &mono.bm, 0, 0, 10, "GlobalAlloc", 1, true},
        {"header block not locked", &mono.bm, 0, 0, 10, "GlobalLock", 1, true},
        {"no band buffer", &mono.bm, 0, 0, 10, "GlobalAlloc", 2, true},
        {"band buffer not locked", &colour.bm, 0, 0, 10, "GlobalLock", 1, true},
        {"no bitmap", &colour.bm, 0, 0, 10, "CreateBitmapIndirect", 1, true},
        {"GetDIBits copies nothing", &colour.bm, 0, 0, 10, "GetDIBits", 1, true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        StandinClearFaults();
        if (row.failCall)
            StandinFailCall(row.failCall, row.nth);
        StartTrace();
        EXPECT_EQ(Raster(row.bm, row.srcX, row.firstRow, 100, row.lines), 0);
        EXPECT_EQ(TracedWith("CreateBitmapIndirect(").size(), row.bitmapMade ? 1u : 0u);
        EXPECT_THAT(TracedWith("StretchDIBits("), IsEmpty());
        EXPECT_EQ(StandinLiveGlobalBlocks(), globalBlocksBefore_);
        EXPECT_EQ(StandinLiveGdiObjects(), gdiObjectsBefore_);
        EXPECT_THAT(Reopen(), ElementsAre("SELECTOBJECT stock 8", "SELECTOBJECT stock 5", "SETBKMODE 1"));
    }
}

/* A BITMAP without a drawing mode has no colours and no background mode: nothing is transferred. */
TEST_F(BitmapTest, BitmapWithoutDrawingModeTransfersNothing)
{
    Image image = MakeImage(100, 50, 1);
    mode_ = NULL;
    StartTrace();
    EXPECT_EQ(Raster(&image.bm, 0, 0, 100, 10), 0);
    EXPECT_THAT(TracedCalls(), Not(Contains("CreateBitmapIndirect")));
    EXPECT_THAT(CloseAndDescribe(), ElementsAre("SELECTOBJECT stock 8", "SELECTOBJECT stock 5"));
}

} /* namespace */
