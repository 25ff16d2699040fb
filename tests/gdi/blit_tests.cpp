/* StretchDIBits and StretchBlt on a metafile DC: the records against the bytes GDI wrote for the same
 * calls (decoded by hand from metafiles GDI recorded), the Windows colour-table rule, and the
 * refusals that write nothing. */
#include "gdi_test.h"

#include <string.h>

namespace {

/* A BITMAPINFO with room for a 2-entry table. */
struct Bmi2 {
    BITMAPINFOHEADER hdr;
    RGBQUAD colours[2];
};

const uint8_t kBits1[8] = {0xF0, 0, 0, 0, 0x0F, 0, 0, 0}; /* 8 x 2 at 1 bpp */
const uint8_t kBits24[16] = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17,
                             0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F}; /* 2 x 2 at 24 bpp */

Bmi2 Header(LONG width, LONG height, WORD bitsPixel, DWORD clrUsed)
{
    Bmi2 bmi;
    memset(&bmi, 0, sizeof bmi);
    bmi.hdr = BITMAPINFOHEADER{sizeof bmi.hdr, width, height, 1, bitsPixel, BI_RGB, 0, 0, 0, clrUsed, 0};
    bmi.colours[0] = RGBQUAD{0x33, 0x22, 0x11, 0};
    bmi.colours[1] = RGBQUAD{0xCC, 0xDD, 0xEE, 0};
    return bmi;
}

class BlitTest : public GdiTest {};

/* GDI's records for 1-bit (with a two-entry table), 24-bit, and a negative destination with SRCAND,
 * field by field; the header's bounds take the negative extent normalised. */
TEST_F(BlitTest, StretchDibitsRecordsWhatGdiRecords)
{
    Bmi2 mono = Header(8, 2, 1, 2), rgb = Header(2, 2, 24, 0);
    HDC dc = NewMetafile("stretchdibits.emf");
    EXPECT_EQ(StretchDIBits(dc, 10, 20, 80, 40, 0, 0, 8, 2, kBits1, (BITMAPINFO *)&mono, DIB_RGB_COLORS, SRCCOPY), 2);
    EXPECT_EQ(StretchDIBits(dc, 10, 20, 4, 4, 0, 2, 2, -2, kBits24, (BITMAPINFO *)&rgb, DIB_RGB_COLORS, SRCCOPY), 2);
    EXPECT_EQ(StretchDIBits(dc, 50, 60, -4, -4, 1, 0, 1, 2, kBits24, (BITMAPINFO *)&rgb, DIB_RGB_COLORS, SRCAND), 2);
    std::vector<uint8_t> file = CloseAndRead(dc, "stretchdibits.emf");
    std::vector<EmfRecord> body = SplitRecords(file);
    ASSERT_EQ(body.size(), 5u);
    EXPECT_TRUE(SameBytes(body[1].bytes,
                          Words({81, 136, 10, 20, 89, 59, 10, 20, 0, 0, 8, 2, 80, 48, 128, 8, 0, 0x00CC0020, 80, 40,
                                 40, 8, 2, 0x00010001, 0, 0, 0, 0, 2, 0, 0x00112233, 0x00EEDDCC, 0xF0, 0x0F})));
    EXPECT_TRUE(SameBytes(body[2].bytes,
                          Words({81, 136, 10, 20, 13, 23, 10, 20, 0, 2, 2, (uint32_t)-2, 80, 40, 120, 16, 0, 0x00CC0020,
                                 4, 4, 40, 2, 2, 0x00180001, 0, 0, 0, 0, 0, 0, 0x13121110, 0x17161514, 0x1B1A1918,
                                 0x1F1E1D1C})));
    EXPECT_EQ(I32(body[3].bytes, 8), 50);
    EXPECT_EQ(I32(body[3].bytes, 16), 45) << "record bounds are not normalised";
    EXPECT_EQ(I32(body[3].bytes, 72), -4);
    EXPECT_EQ(U32(body[3].bytes, 68), (uint32_t)SRCAND);
    /* Header rclBounds: (10,20,89,59) united with (45,55,50,60). */
    EXPECT_EQ(I32(file, 8), 10);
    EXPECT_EQ(I32(file, 12), 20);
    EXPECT_EQ(I32(file, 16), 89);
    EXPECT_EQ(I32(file, 20), 60);
}

/* A DIB of 8 bits or fewer with biClrUsed 0 carries all 2^bpp entries, as Windows records it (Wine
 * writes the header alone); biClrUsed entries otherwise, at every depth and after the masks of
 * BI_BITFIELDS, at most 256 of them, two bytes each for DIB_PAL_COLORS. */
TEST_F(BlitTest, ColourTablesAreRecordedAsGdiCountsThem)
{
    struct Row {
        WORD bitsPixel;
        DWORD compression, clrUsed;
        UINT usage;
        uint32_t cbBmi;
    } rows[] = {
        {1, BI_RGB, 0, DIB_RGB_COLORS, 48},        {1, BI_RGB, 2, DIB_RGB_COLORS, 48},
        {4, BI_RGB, 0, DIB_RGB_COLORS, 104},       {8, BI_RGB, 0, DIB_RGB_COLORS, 1064},
        {8, BI_RGB, 3, DIB_RGB_COLORS, 52},        {1, BI_RGB, 0, DIB_PAL_COLORS, 44},
        {24, BI_RGB, 0, DIB_RGB_COLORS, 40},       {24, BI_RGB, 2, DIB_RGB_COLORS, 48},
        {32, BI_RGB, 300, DIB_RGB_COLORS, 1064},   {16, BI_BITFIELDS, 0, DIB_RGB_COLORS, 52},
        {16, BI_BITFIELDS, 1, DIB_RGB_COLORS, 56}, {32, BI_RGB, 2, DIB_PAL_COLORS, 44},
    };
    std::vector<uint8_t> table(256 * 4 + 64, 0x5A), bits(64, 0x3C);
    for (const Row &row : rows) {
        SCOPED_TRACE(std::to_string(row.bitsPixel) + " bpp, clrUsed " + std::to_string(row.clrUsed));
        std::vector<uint8_t> bmi(sizeof(BITMAPINFOHEADER) + table.size());
        BITMAPINFOHEADER hdr = {sizeof hdr, 4, 2, 1, row.bitsPixel, row.compression, 0, 0, 0, row.clrUsed, 0};
        memcpy(bmi.data(), &hdr, sizeof hdr);
        memcpy(bmi.data() + sizeof hdr, table.data(), table.size());
        HDC dc = NewMetafile("tables.emf");
        EXPECT_EQ(StretchDIBits(dc, 0, 0, 4, 2, 0, 0, 4, 2, bits.data(), (BITMAPINFO *)bmi.data(), row.usage,
                                SRCCOPY),
                  2);
        std::vector<EmfRecord> body = CloseAndBody(dc, "tables.emf");
        ASSERT_EQ(body.size(), 1u);
        const std::vector<uint8_t> &rec = body[0].bytes;
        EXPECT_EQ(U32(rec, 52), row.cbBmi);
        EXPECT_EQ(U32(rec, 56), 80 + ((row.cbBmi + 3) & ~3u));
        EXPECT_EQ(U32(rec, 60), 2 * ((4 * row.bitsPixel + 31) / 32 * 4));
        EXPECT_EQ(rec[80 + row.cbBmi - 1], row.cbBmi > 40 ? 0x5A : 0) << "the table is the caller's";
    }
}

/* An operation that reads no source is the 100-byte EMR_BITBLT whatever the source; a source
 * operation embeds the memory DC's bitmap: here the empty bitmap, GDI's 1x1 black pixel. */
TEST_F(BlitTest, StretchBltRecordsTheSourceBitmapOnlyForSourceOperations)
{
    BITMAP empty;
    memset(&empty, 0, sizeof empty);
    HBITMAP bm = CreateBitmapIndirect(&empty);
    HDC mem = CreateCompatibleDC(NULL);
    HGDIOBJ previous = SelectObject(mem, bm);
    HDC dc = NewMetafile("stretchblt.emf");
    EXPECT_TRUE(StretchBlt(dc, 10, 20, 100, 50, mem, 0, 0, 1, 1, PATCOPY));
    EXPECT_TRUE(StretchBlt(dc, 10, 20, 100, 50, mem, 0, 0, 1, 1, SRCCOPY));
    EXPECT_TRUE(StretchBlt(dc, 1, 2, 30, 40, NULL, 0, 0, 0, 0, BLACKNESS));
    EXPECT_FALSE(StretchBlt(dc, 1, 2, 30, 40, NULL, 0, 0, 5, 5, SRCCOPY)) << "no source DC";
    EXPECT_FALSE(StretchBlt(dc, 1, 2, 30, 40, dc, 0, 0, 5, 5, SRCCOPY)) << "a metafile DC is no source";
    std::vector<EmfRecord> body = CloseAndBody(dc, "stretchblt.emf");
    SelectObject(mem, previous);
    DeleteObject(bm);
    DeleteDC(mem);
    ASSERT_EQ(body.size(), 3u);
    const uint32_t one = 0x3F800000; /* 1.0f */
    EXPECT_TRUE(SameBytes(body[0].bytes, Words({76, 100, 10, 20, 109, 69, 10, 20, 100, 50, PATCOPY, 0, 0, one, 0, 0,
                                                 one, 0, 0, 0, 0, 0, 0, 0, 0})));
    EXPECT_TRUE(SameBytes(body[1].bytes,
                          Words({77, 160, 10, 20, 109, 69, 10, 20, 100, 50, SRCCOPY, 0, 0, one, 0, 0, one, 0, 0,
                                 0x00FFFFFF, 0, 108, 48, 156, 4, 1, 1, 40, 1, 1, 0x00010001, 0, 4, 0, 0, 0, 0, 0,
                                 0x00FFFFFF, 0})));
    EXPECT_EQ(U32(body[2].bytes, 40), (uint32_t)BLACKNESS);
    EXPECT_EQ(body[2].bytes.size(), 100u);
}

/* What GDI refuses writes nothing and returns 0. */
TEST_F(BlitTest, RefusedTransfersWriteNothing)
{
    Bmi2 good = Header(8, 2, 1, 0), depth = Header(8, 2, 3, 0), empty = Header(0, 2, 1, 0),
         rle = Header(8, 2, 8, 0);
    rle.hdr.biCompression = BI_RLE8;
    struct Row {
        const char *what;
        const void *bits;
        const Bmi2 *bmi;
        UINT usage;
    } rows[] = {
        {"no bits", NULL, &good, DIB_RGB_COLORS},
        {"no BITMAPINFO", kBits1, NULL, DIB_RGB_COLORS},
        {"unknown usage", kBits1, &good, 2},
        {"3 bits per pixel", kBits1, &depth, DIB_RGB_COLORS},
        {"no width", kBits1, &empty, DIB_RGB_COLORS},
        {"compressed", kBits1, &rle, DIB_RGB_COLORS},
    };
    HDC dc = NewMetafile("refused.emf");
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(StretchDIBits(dc, 0, 0, 8, 2, 0, 0, 8, 2, row.bits, (const BITMAPINFO *)row.bmi, row.usage,
                                SRCCOPY),
                  0);
    }
    EXPECT_EQ(StretchDIBits(NULL, 0, 0, 8, 2, 0, 0, 8, 2, kBits1, (BITMAPINFO *)&good, 0, SRCCOPY), 0);
    EXPECT_FALSE(StretchBlt(NULL, 0, 0, 8, 2, NULL, 0, 0, 0, 0, PATCOPY));
    EXPECT_TRUE(CloseAndBody(dc, "refused.emf").empty());
}

} /* namespace */
