/* Device bitmaps and GetDIBits: creation rules, selection into DCs, and conversion from every
 * depth to 1- and 24-bit DIBs against a per-pixel formula and against bytes GDI returned. */
#include "gdi_test.h"

#include <algorithm>
#include <stdlib.h>
#include <string.h>

namespace {

struct Bmi {
    BITMAPINFOHEADER hdr;
    RGBQUAD colors[256];
};

Bmi Request(LONG width, LONG height, WORD bitsPixel)
{
    Bmi bmi;
    memset(&bmi, 0, sizeof bmi);
    bmi.hdr = BITMAPINFOHEADER{sizeof bmi.hdr, width, height, 1, bitsPixel, BI_RGB, 0, 0, 0, 0, 0};
    return bmi;
}

HBITMAP Ddb(LONG width, LONG height, int bitsPixel, const void *bits, LONG widthBytes = 0)
{
    BITMAP bm = {0, width, height, widthBytes, 1, (WORD)bitsPixel, (LPVOID)bits};
    return CreateBitmapIndirect(&bm);
}

/* ---- The test's own model of a device bitmap's colours, written from the documented palettes ---- */

struct Rgb {
    int r, g, b;
};

Rgb VgaColour(int i)
{
    static const Rgb vga[16] = {{0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0}, {0, 0, 128}, {128, 0, 128},
                                {0, 128, 128}, {128, 128, 128}, {192, 192, 192}, {255, 0, 0}, {0, 255, 0},
                                {255, 255, 0}, {0, 0, 255}, {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    return vga[i];
}

Rgb DefaultPaletteColour(int i)
{
    static const Rgb low[10] = {{0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0}, {0, 0, 128},
                                {128, 0, 128}, {0, 128, 128}, {192, 192, 192}, {192, 220, 192}, {166, 202, 240}};
    static const Rgb high[10] = {{255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},
                                 {255, 255, 0}, {0, 0, 255}, {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    if (i < 10)
        return low[i];
    if (i > 245)
        return high[i - 246];
    return Rgb{(i % 8) * 32, (i / 8 % 8) * 32, (i / 64 % 4) * 64};
}

/* The pixel at (x, y) of top-down rows of the given depth, rows word aligned. */
Rgb PixelColour(const std::vector<uint8_t> &bits, int width, int bitsPixel, int x, int y)
{
    size_t stride = (size_t)((width * bitsPixel + 15) / 16) * 2;
    const uint8_t *row = &bits[stride * y];
    size_t bit = (size_t)x * bitsPixel;
    if (bitsPixel < 8) {
        int value = (row[bit / 8] >> (8 - bitsPixel - bit % 8)) & ((1 << bitsPixel) - 1);
        return bitsPixel == 1 ? (value ? Rgb{255, 255, 255} : Rgb{0, 0, 0}) : VgaColour(value);
    }
    const uint8_t *p = row + bit / 8;
    switch (bitsPixel) {
    case 8:
        return DefaultPaletteColour(p[0]);
    case 16: {
        int v = p[0] + 256 * p[1];
        int r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
        return Rgb{r * 8 + r / 4, g * 8 + g / 4, b * 8 + b / 4};
    }
    default: /* 24 and 32: blue, green, red */
        return Rgb{p[2], p[1], p[0]};
    }
}

/* Nearer to white than to black, by distance in RGB space. */
bool IsWhite(Rgb c)
{
    long toBlack = (long)c.r * c.r + (long)c.g * c.g + (long)c.b * c.b;
    long toWhite =
        (long)(255 - c.r) * (255 - c.r) + (long)(255 - c.g) * (255 - c.g) + (long)(255 - c.b) * (255 - c.b);
    return toWhite < toBlack;
}

std::vector<uint8_t> ExpectedDib(const std::vector<uint8_t> &bits, int width, int height, int srcBpp, int dstBpp)
{
    size_t stride = (size_t)((width * dstBpp + 31) / 32) * 4;
    std::vector<uint8_t> out(stride * height, 0);
    for (int y = 0; y < height; y++) {
        uint8_t *row = &out[stride * (height - 1 - y)];
        for (int x = 0; x < width; x++) {
            Rgb c = PixelColour(bits, width, srcBpp, x, y);
            if (dstBpp == 24) {
                row[3 * x] = (uint8_t)c.b;
                row[3 * x + 1] = (uint8_t)c.g;
                row[3 * x + 2] = (uint8_t)c.r;
            } else if (IsWhite(c)) {
                row[x / 8] |= (uint8_t)(0x80 >> (x % 8));
            }
        }
    }
    return out;
}

class BitmapTest : public GdiTest {
protected:
    void SetUp() override
    {
        GdiTest::SetUp();
        mem_ = CreateCompatibleDC(NULL);
    }
    void TearDown() override
    {
        DeleteDC(mem_);
        GdiTest::TearDown();
    }
    /* GetDIBits into a buffer pre-filled with 0xcc, trimmed to size bytes. */
    std::vector<uint8_t> Bits(HBITMAP bm, Bmi *bmi, UINT start, UINT lines, size_t size, int *result)
    {
        std::vector<uint8_t> out(size + 64, 0xcc);
        *result = GetDIBits(mem_, bm, start, lines, out.data(), (BITMAPINFO *)bmi, DIB_RGB_COLORS);
        EXPECT_TRUE(std::all_of(out.begin() + size, out.end(), [](uint8_t b) { return b == 0xcc; }))
            << "wrote past the DIB";
        out.resize(size);
        return out;
    }
    HDC mem_ = NULL;
};

TEST_F(BitmapTest, EveryDepthConvertsTo24And1BitAsThePerPixelFormulaSays)
{
    srand(7);
    for (int bpp : {1, 4, 8, 16, 24, 32}) {
        for (int width : {1, 3, 5, 7, 13, 2501}) { /* the last converted a stretch at a time */
            SCOPED_TRACE(::testing::Message() << bpp << " bpp, width " << width);
            const int height = 3;
            std::vector<uint8_t> bits((size_t)((width * bpp + 15) / 16) * 2 * height);
            for (uint8_t &b : bits)
                b = (uint8_t)(rand() >> 4);
            HBITMAP bm = Ddb(width, height, bpp, bits.data());
            ASSERT_NE(bm, nullptr);
            for (int dstBpp : {24, 1}) {
                Bmi bmi = Request(width, height, (WORD)dstBpp);
                std::vector<uint8_t> expected = ExpectedDib(bits, width, height, bpp, dstBpp);
                int result = 0;
                EXPECT_TRUE(SameBytes(Bits(bm, &bmi, 0, height, expected.size(), &result), expected)) << dstBpp;
                EXPECT_EQ(result, height);
                EXPECT_EQ(bmi.hdr.biSizeImage, (DWORD)expected.size());
            }
            DeleteObject(bm);
        }
    }
}

TEST_F(BitmapTest, ConversionsMatchTheBytesGdiReturned)
{
    /* b01 in shared/platform-probes: a 4x2 bitmap of each depth whose row bytes are 0x11, 0x22, ...
     * (4 bpp: 01 23 9a bf; 8 bpp: 00 02 04 06 f8 fa fc fe), read back by GDI under Wine 8. */
    struct Row {
        int bpp;
        std::vector<uint8_t> init;
        std::vector<uint8_t> rgb24, mono;
    } rows[] = {
        {1, {},
         {0, 0, 0, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 0xff},
         {0x30, 0, 0, 0, 0x10, 0, 0, 0}},
        {4, {0x01, 0x23, 0x9a, 0xbf},
         {0, 0, 0xff, 0, 0xff, 0, 0, 0xff, 0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0, 0, 0x80, 0, 0x80, 0, 0, 0x80, 0x80},
         {0x30, 0, 0, 0, 0, 0, 0, 0}},
        {8, {0x00, 0x02, 0x04, 0x06, 0xf8, 0xfa, 0xfc, 0xfe},
         {0x80, 0x80, 0x80, 0, 0xff, 0, 0xff, 0, 0, 0xff, 0xff, 0, 0, 0, 0, 0, 0x80, 0, 0x80, 0, 0, 0x80, 0x80, 0},
         {0x90, 0, 0, 0, 0, 0, 0, 0}},
        {16, {},
         {0xce, 0xa5, 0x52, 0xde, 0x29, 0x9c, 0xef, 0xb5, 0xde, 0xff, 0x39, 0x21,
          0x8c, 0x84, 0x42, 0x9c, 0x08, 0x8c, 0xad, 0x94, 0xce, 0xbd, 0x18, 0x10},
         {0xe0, 0, 0, 0, 0x20, 0, 0, 0}},
        {24, {},
         {0xdd, 0xee, 0xff, 0x10, 0x21, 0x32, 0x43, 0x54, 0x65, 0x76, 0x87, 0x98,
          0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xaa, 0xbb, 0xcc},
         {0x90, 0, 0, 0, 0x30, 0, 0, 0}},
        {32, {},
         {0x21, 0x32, 0x43, 0x65, 0x76, 0x87, 0xa9, 0xba, 0xcb, 0xed, 0xfe, 0x0f,
          0x11, 0x22, 0x33, 0x55, 0x66, 0x77, 0x99, 0xaa, 0xbb, 0xdd, 0xee, 0xff},
         {0x30, 0, 0, 0, 0x30, 0, 0, 0}},
    };
    for (Row &row : rows) {
        SCOPED_TRACE(row.bpp);
        uint8_t init[64];
        for (int i = 0; i < 64; i++)
            init[i] = (uint8_t)(0x11 * (i + 1));
        std::copy(row.init.begin(), row.init.end(), init);
        HBITMAP bm = Ddb(4, 2, row.bpp, init);
        Bmi rgb = Request(4, 2, 24), mono = Request(4, 2, 1);
        int result = 0;
        EXPECT_TRUE(SameBytes(Bits(bm, &rgb, 0, 2, 24, &result), row.rgb24));
        EXPECT_TRUE(SameBytes(Bits(bm, &mono, 0, 2, 8, &result), row.mono));
        DeleteObject(bm);
    }
}

TEST_F(BitmapTest, MonochromeTakesTheNearerOfBlackAndWhite)
{
    /* Pixels (blue, green, red) near the boundary, with GDI's answer under Wine 8 (tests/gdi/probe):
     * 1 1 0 1 1 1 1 1.
     * Sums of 383 are white, low luminance does not make black. */
    static const uint8_t px[24] = {200, 200, 0, 150, 0, 255, 0, 0, 255, 127, 128, 128,
                                   128, 128, 127, 1, 127, 255, 255, 128, 0, 0, 160, 255};
    static const uint8_t grey[12] = {0x7f, 0x7f, 0x7f, 0x80, 0x80, 0x80, 0x80, 0x7f, 0x80, 0x7f, 0x80, 0x7f};
    HBITMAP boundary = Ddb(8, 1, 24, px), greys = Ddb(4, 1, 24, grey);
    Bmi bmi = Request(8, 1, 1);
    int result = 0;
    EXPECT_EQ(Bits(boundary, &bmi, 0, 1, 4, &result), (std::vector<uint8_t>{0xdf, 0, 0, 0}));
    bmi = Request(4, 1, 1);
    EXPECT_EQ(Bits(greys, &bmi, 0, 1, 4, &result), (std::vector<uint8_t>{0x60, 0, 0, 0}))
        << "sum 381 black, 384 and 383 white, 382 black";
    DeleteObject(boundary);
    DeleteObject(greys);
}

TEST_F(BitmapTest, ScanLinesCountFromTheBottomAndTheDibHangsFromTheBitmapsTop)
{
    /* A 1x4 8-bpp bitmap whose rows, top to bottom, are palette entries 10, 20, 30, 40; results of
     * the same calls under Wine 8 (tests/gdi/probe). In "rows", 0 is a zero row and -1 a row left
     * untouched. */
    static const uint8_t column[8] = {10, 0, 20, 0, 30, 0, 40, 0};
    HBITMAP bm = Ddb(1, 4, 8, column);
    struct Row {
        LONG height;
        UINT start, lines;
        int result;
        std::vector<int> rows;
    } rows[] = {
        {4, 0, 4, 4, {40, 30, 20, 10}}, {4, 0, 1, 1, {40, -1}},     {4, 1, 2, 2, {30, 20, -1}},
        {-4, 0, 1, 1, {40, -1}},       {-4, 1, 2, 2, {20, 30, -1}}, {-4, 0, 4, 4, {10, 20, 30, 40}},
        {2, 0, 2, 2, {20, 10, -1}},    {-2, 0, 2, 2, {10, 20, -1}}, {6, 0, 6, 4, {0, 0, 40, 30, 20, 10, -1}},
        {-6, 0, 6, 4, {10, 20, 30, 40, 0, 0, -1}}, {6, 2, 3, 3, {40, 30, 20, -1}}, {6, 0, 2, 0, {0, 0, -1}},
        {6, 4, 2, 2, {20, 10, -1}},    {4, 3, 9, 1, {10, -1}},      {4, 4, 1, 1, {-1}},
        {4, 0, 0, 1, {-1}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(::testing::Message() << "height " << row.height << " start " << row.start << " lines "
                                          << row.lines);
        Bmi bmi = Request(1, row.height, 24);
        int result = 0;
        std::vector<uint8_t> out = Bits(bm, &bmi, row.start, row.lines, 4 * row.rows.size(), &result);
        EXPECT_EQ(result, row.result);
        for (size_t i = 0; i < row.rows.size(); i++) {
            uint32_t pixel = (uint32_t)out[4 * i] | (uint32_t)out[4 * i + 1] << 8 | (uint32_t)out[4 * i + 2] << 16;
            uint32_t expected = 0xcccccc;
            if (row.rows[i] >= 0) {
                Rgb c = DefaultPaletteColour(row.rows[i]);
                expected = (uint32_t)(c.b | c.g << 8 | c.r << 16);
            }
            EXPECT_EQ(pixel, expected) << "row " << i;
        }
    }
    DeleteObject(bm);
}

TEST_F(BitmapTest, QueriesAndHeaderOnlyRequestsFillTheHeader)
{
    struct Row {
        int bpp;
        DWORD compression, sizeImage;
    } rows[] = {{1, BI_RGB, 8},          {4, BI_RGB, 8},  {8, BI_RGB, 8},
                {16, BI_BITFIELDS, 16}, {24, BI_RGB, 24}, {32, BI_BITFIELDS, 32}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.bpp);
        HBITMAP bm = Ddb(4, 2, row.bpp, NULL);
        Bmi bmi;
        memset(&bmi, 0xcc, sizeof bmi);
        bmi.hdr.biSize = sizeof bmi.hdr;
        bmi.hdr.biBitCount = 0;
        EXPECT_EQ(GetDIBits(mem_, bm, 0, 2, NULL, (BITMAPINFO *)&bmi, DIB_RGB_COLORS), 2);
        EXPECT_EQ(bmi.hdr.biWidth, 4);
        EXPECT_EQ(bmi.hdr.biHeight, 2);
        EXPECT_EQ(bmi.hdr.biPlanes, 1);
        EXPECT_EQ(bmi.hdr.biBitCount, row.bpp);
        EXPECT_EQ(bmi.hdr.biCompression, row.compression);
        EXPECT_EQ(bmi.hdr.biSizeImage, row.sizeImage);
        EXPECT_EQ(bmi.hdr.biXPelsPerMeter, 0);
        EXPECT_EQ(bmi.hdr.biClrUsed, 0u);
        EXPECT_EQ(bmi.hdr.biClrImportant, 0u);
        EXPECT_EQ(bmi.colors[0].rgbRed, 0xcc) << "no colour table or masks are written";
        uint8_t bits[64];
        bmi.hdr.biBitCount = 0;
        EXPECT_EQ(GetDIBits(mem_, bm, 0, 2, bits, (BITMAPINFO *)&bmi, DIB_RGB_COLORS), 0) << "bits need a depth";

        Bmi mono = Request(4, 2, 1);
        memset(mono.colors, 0xcc, sizeof mono.colors);
        EXPECT_EQ(GetDIBits(mem_, bm, 0, 2, NULL, (BITMAPINFO *)&mono, DIB_RGB_COLORS), 1);
        EXPECT_EQ(mono.hdr.biSizeImage, 8u);
        uint32_t table[3];
        memcpy(table, mono.colors, sizeof table);
        EXPECT_EQ(table[0], 0x00000000u);
        EXPECT_EQ(table[1], 0x00FFFFFFu);
        EXPECT_EQ(table[2], 0xccccccccu);
        DeleteObject(bm);
    }
}

TEST_F(BitmapTest, GetDibitsRefusalsReturn0)
{
    HBITMAP bm = Ddb(5, 3, 8, NULL);
    LOGPEN lp = {PS_SOLID, {1, 0}, 0};
    HPEN pen = CreatePenIndirect(&lp);
    uint8_t bits[256];
    struct Row {
        const char *name;
        HDC dc;
        HGDIOBJ bitmap;
        WORD bpp;
        DWORD compression;
        LONG width, height;
        UINT usage;
    } rows[] = {
        {"no DC", NULL, bm, 24, BI_RGB, 5, 3, DIB_RGB_COLORS},
        {"a junk bitmap", mem_, (HGDIOBJ)(uintptr_t)0x30001234, 24, BI_RGB, 5, 3, DIB_RGB_COLORS},
        {"a pen", mem_, pen, 24, BI_RGB, 5, 3, DIB_RGB_COLORS},
        {"usage 2", mem_, bm, 24, BI_RGB, 5, 3, 2},
        {"7 bits", mem_, bm, 7, BI_RGB, 5, 3, DIB_RGB_COLORS},
        {"BI_RLE8", mem_, bm, 8, BI_RLE8, 5, 3, DIB_RGB_COLORS},
        {"width 0", mem_, bm, 24, BI_RGB, 0, 3, DIB_RGB_COLORS},
        {"negative width", mem_, bm, 24, BI_RGB, -5, 3, DIB_RGB_COLORS},
        {"height 0", mem_, bm, 24, BI_RGB, 5, 0, DIB_RGB_COLORS},
        {"8 bits: the stand-in converts to 1 and 24 only", mem_, bm, 8, BI_RGB, 5, 3, DIB_RGB_COLORS},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Bmi bmi = Request(row.width, row.height, row.bpp);
        bmi.hdr.biCompression = row.compression;
        EXPECT_EQ(GetDIBits(row.dc, (HBITMAP)row.bitmap, 0, 3, bits, (BITMAPINFO *)&bmi, row.usage), 0);
    }
    EXPECT_EQ(GetDIBits(mem_, bm, 0, 3, bits, NULL, DIB_RGB_COLORS), 0);
    DeleteObject(pen);
    DeleteObject(bm);
}

TEST_F(BitmapTest, GetDibitsOnAMetafileDcWritesNoRecord)
{
    HBITMAP bm = Ddb(4, 2, 8, NULL);
    HDC dc = NewMetafile("getdibits.emf");
    Bmi bmi = Request(4, 2, 24);
    uint8_t bits[24];
    EXPECT_EQ(GetDIBits(dc, bm, 0, 2, bits, (BITMAPINFO *)&bmi, DIB_RGB_COLORS), 2);
    EXPECT_TRUE(CloseAndBody(dc, "getdibits.emf").empty());
    DeleteObject(bm);
}

TEST_F(BitmapTest, CreationFollowsGdisRules)
{
    static const uint8_t bits[32] = {1, 2, 3, 4, 5, 6, 7, 8};
    HGDIOBJ stock = GetCurrentObject(mem_, OBJ_BITMAP);
    BITMAP zero;
    memset(&zero, 0, sizeof zero);
    EXPECT_EQ(CreateBitmapIndirect(&zero), stock) << "an all-zero BITMAP is the memory DC's stock bitmap";
    EXPECT_EQ(Ddb(0, 5, 1, NULL), stock);
    EXPECT_EQ(Ddb(5, 0, 8, NULL), stock);
    EXPECT_TRUE(DeleteObject(stock));
    EXPECT_EQ(GetObjectType(stock), (DWORD)OBJ_BITMAP) << "and it survives DeleteObject";

    struct Refused {
        const char *name;
        BITMAP bm;
    } refused[] = {
        {"negative width", {0, -4, 2, 4, 1, 8, NULL}},
        {"negative height", {0, 4, -2, 4, 1, 8, NULL}},
        {"bmType 5", {5, 4, 2, 4, 1, 8, NULL}},
        {"2 planes", {0, 4, 2, 4, 2, 8, NULL}},
        {"33 bpp", {0, 4, 2, 4, 1, 33, NULL}},
        {"more than 2 GB", {0, 0x10000, 0x10000, 0, 1, 32, NULL}},
        {"a row wider than 31 bits", {0, 0x7fffffff, 1, 0, 1, 32, NULL}},
    };
    for (const Refused &row : refused) {
        SCOPED_TRACE(row.name);
        SetLastError(0);
        EXPECT_EQ(CreateBitmapIndirect(&row.bm), nullptr);
        EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(CreateBitmapIndirect(NULL), nullptr);

    struct Depth {
        int asked, kept;
        LONG widthBytes;
    } depths[] = {{0, 1, 2}, {2, 4, 2}, {7, 8, 4}, {12, 16, 8}, {20, 24, 12}, {32, 32, 16}};
    for (const Depth &row : depths) {
        SCOPED_TRACE(row.asked);
        HBITMAP bm = Ddb(4, 2, row.asked, bits, 1000);
        BITMAP got;
        ASSERT_EQ(GetObjectA(bm, sizeof got, &got), (int)sizeof got);
        EXPECT_EQ(got.bmBitsPixel, row.kept);
        EXPECT_EQ(got.bmWidthBytes, row.widthBytes) << "GDI's own word-aligned stride, not the caller's";
        DeleteObject(bm);
    }
}

TEST_F(BitmapTest, CallersRowsAreReadAtGdisStrideAndNullBitsAreZero)
{
    /* Under Wine 8 (tests/gdi/probe), 4x2 8-bpp bitmaps made with bmWidthBytes 8, 4, 3 and 0 all read
     * the caller's bytes as two rows of 4. */
    static const uint8_t bytes[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    for (LONG widthBytes : {8, 4, 3, 0}) {
        SCOPED_TRACE(widthBytes);
        HBITMAP bm = Ddb(4, 2, 8, bytes, widthBytes);
        Bmi bmi = Request(4, -2, 24);
        int result = 0;
        std::vector<uint8_t> out = Bits(bm, &bmi, 0, 2, 24, &result);
        Rgb second = DefaultPaletteColour(5); /* the first pixel of the second row */
        EXPECT_EQ(out[12], second.b);
        EXPECT_EQ(out[13], second.g);
        EXPECT_EQ(out[14], second.r);
        DeleteObject(bm);
    }
    HBITMAP blank = Ddb(4, 2, 24, NULL);
    Bmi bmi = Request(4, 2, 24);
    int result = 0;
    EXPECT_TRUE(SameBytes(Bits(blank, &bmi, 0, 2, 24, &result), std::vector<uint8_t>(24, 0)));
    DeleteObject(blank);
}

TEST_F(BitmapTest, BitmapsGoOnlyIntoMemoryDcsOfTheirDepthOneAtATime)
{
    HBITMAP mono = Ddb(4, 4, 1, NULL), deep = Ddb(4, 4, 32, NULL), rgb = Ddb(4, 4, 24, NULL);
    HDC other = CreateCompatibleDC(NULL);
    HDC emf = NewMetafile("select-bitmap.emf");
    struct Row {
        const char *name;
        HDC dc;
        HBITMAP bm;
        bool selected;
    } rows[] = {
        {"1 bpp into a memory DC", mem_, mono, true},
        {"the same bitmap into a second DC", other, mono, false},
        {"again into the DC that holds it", mem_, mono, true},
        {"the display's 32 bpp", other, deep, true},
        {"24 bpp on a 32-bpp display", mem_, rgb, false},
        {"into a metafile DC", emf, mono, false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        SetLastError(0);
        HGDIOBJ previous = SelectObject(row.dc, row.bm);
        EXPECT_EQ(previous != NULL, row.selected);
        if (!row.selected) {
            EXPECT_EQ(GetLastError(), (DWORD)ERROR_INVALID_HANDLE);
        }
    }
    EXPECT_EQ(GetCurrentObject(emf, OBJ_BITMAP), nullptr);
    EXPECT_TRUE(CloseAndBody(emf, "select-bitmap.emf").empty()) << "a refused selection records nothing";
    EXPECT_TRUE(DeleteObject(mono)) << "GDI lets a selected bitmap be deleted";
    EXPECT_EQ(GetObjectType(mono), (DWORD)OBJ_BITMAP) << "it lives until deselected";
    DeleteDC(mem_);
    mem_ = CreateCompatibleDC(NULL);
    EXPECT_EQ(GetObjectType(mono), 0u);
    DeleteDC(other);
    EXPECT_TRUE(DeleteObject(deep));
    EXPECT_TRUE(DeleteObject(rgb));
}

} /* namespace */
