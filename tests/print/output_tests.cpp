/* Page pictures written as PNG and PDF: the pixels come back exactly whatever the page's number
 * of colours (palette indices of 1 to 8 bits, or RGB past 256 colours), and the PDF is a sound
 * file of one indexed picture per page. */
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include <zlib.h>

#include "emf_player.h"
#include "print_test.h"

namespace {

/* An RGB24 page of width x height whose pixel i has colour i % colors of a spread of colours. */
cairo_surface_t *ColourPage(int width, int height, uint32_t colors)
{
    cairo_surface_t *s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    uint8_t *data = cairo_image_surface_get_data(s);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            uint32_t i = (uint32_t)(y * width + x) % colors;
            ((uint32_t *)(data + y * cairo_image_surface_get_stride(s)))[x] = 0xFF000000u | (i * 40503u & 0xFFFFFF);
        }
    cairo_surface_mark_dirty(s);
    return s;
}

uint32_t Pixel(cairo_surface_t *s, int x, int y)
{
    const uint8_t *data = cairo_image_surface_get_data(s);
    return ((const uint32_t *)(data + y * cairo_image_surface_get_stride(s)))[x] & 0xFFFFFF;
}

std::string Temp(const char *name)
{
    return testing::TempDir() + "/" + name;
}

TEST(PlayerOutput, PngHoldsThePageExactlyAtEveryPaletteSize)
{
    /* 1, 2, 4 and 8 bits of index (one colour to the full palette), then RGB. */
    for (uint32_t colors : {1u, 2u, 3u, 5u, 17u, 256u, 257u, 1000u}) {
        SCOPED_TRACE(colors);
        cairo_surface_t *page = ColourPage(37, 29, colors);
        std::string path = Temp("output_test.png");
        char error[256];
        ASSERT_EQ(EmfWritePng(page, path.c_str(), error, sizeof error), 0) << error;
        cairo_surface_t *back = cairo_image_surface_create_from_png(path.c_str());
        ASSERT_EQ(cairo_surface_status(back), CAIRO_STATUS_SUCCESS);
        ASSERT_EQ(cairo_image_surface_get_width(back), 37);
        ASSERT_EQ(cairo_image_surface_get_height(back), 29);
        int differing = 0;
        for (int y = 0; y < 29; y++)
            for (int x = 0; x < 37; x++)
                differing += Pixel(back, x, y) != Pixel(page, x, y);
        EXPECT_EQ(differing, 0);
        cairo_surface_destroy(back);
        cairo_surface_destroy(page);
        remove(path.c_str());
    }
}

TEST(PlayerOutput, PngOfAnotherFormatOrToNowhereFails)
{
    cairo_surface_t *argb = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 4);
    char error[256] = "";
    EXPECT_EQ(EmfWritePng(argb, Temp("argb.png").c_str(), error, sizeof error), -1);
    EXPECT_NE(strstr(error, "RGB24"), nullptr) << error;
    cairo_surface_t *page = ColourPage(4, 4, 2);
    EXPECT_EQ(EmfWritePng(page, "/nonexistent-folder/page.png", error, sizeof error), -1);
    EXPECT_NE(strstr(error, "cannot be written"), nullptr) << error;
    cairo_surface_destroy(argb);
    cairo_surface_destroy(page);
}

/* The number after key in text from at, or -1. */
long NumberAfter(const std::string &text, const std::string &key, size_t at = 0)
{
    size_t k = text.find(key, at);
    return k == std::string::npos ? -1 : strtol(text.c_str() + k + key.size(), NULL, 10);
}

TEST(PlayerOutput, PdfPagesAreIndexedOrRgbPicturesTheXrefFinds)
{
    std::string path = Temp("output_test.pdf");
    EmfPage size = {};
    size.widthPt = 200;
    size.heightPt = 100;
    EmfPicturePdf *pdf = EmfPicturePdfOpen(path.c_str());
    cairo_surface_t *few = ColourPage(37, 29, 2), *many = ColourPage(37, 29, 300);
    EmfPicturePdfAddPage(pdf, few, &size);
    EmfPicturePdfAddPage(pdf, many, &size);
    char error[256];
    ASSERT_EQ(EmfPicturePdfClose(pdf, error, sizeof error), 0) << error;
    Bytes bytes = ReadAll(path);
    std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.compare(0, 8, "%PDF-1.4"), 0);
    EXPECT_NE(text.find("/Count 2"), std::string::npos);
    EXPECT_NE(text.find("/MediaBox [0 0 200.0000 100.0000]"), std::string::npos);

    /* Every object the xref lists starts where it says. */
    long xref = NumberAfter(text, "startxref\n");
    ASSERT_GT(xref, 0);
    long objects = NumberAfter(text, "xref\n0 ", (size_t)xref);
    ASSERT_GT(objects, 1);
    size_t entries = text.find('\n', text.find("0000000000 65535 f", (size_t)xref)) + 1;
    for (long i = 1; i < objects; i++) {
        long offset = strtol(text.c_str() + entries + 20 * (i - 1), NULL, 10);
        EXPECT_EQ(text.compare((size_t)offset, std::to_string(i).size() + 6, std::to_string(i) + " 0 obj"), 0)
            << "object " << i;
    }

    /* The first picture: 1-bit indices of two colours; the second 24-bit RGB. Each inflates to
     * its rows, which give back the page's pixels. */
    size_t at = 0;
    for (cairo_surface_t *page : {few, many}) {
        at = text.find("/Subtype /Image", at);
        ASSERT_NE(at, std::string::npos);
        bool indexed = page == few;
        EXPECT_EQ(NumberAfter(text, "/BitsPerComponent ", at), indexed ? 1 : 8);
        size_t rowBytes = indexed ? (37 + 7) / 8 : 37 * 3;
        long lengthObject = NumberAfter(text, "/Length ", at);
        long length = NumberAfter(text, "\n" + std::to_string(lengthObject) + " 0 obj\n");
        size_t start = text.find("stream\n", at) + 7;
        std::vector<uint8_t> rows(rowBytes * 29 + 1);
        uLongf size = (uLongf)rows.size();
        ASSERT_EQ(uncompress(rows.data(), &size, (const Bytef *)text.data() + start, (uLong)length), Z_OK);
        ASSERT_EQ(size, rowBytes * 29);
        int differing = 0;
        for (int y = 0; y < 29; y++)
            for (int x = 0; x < 37; x++) {
                const uint8_t *r = &rows[rowBytes * y];
                uint32_t c = indexed ? ((r[x / 8] >> (7 - x % 8) & 1) ? 40503u : 0u)
                                     : (uint32_t)r[3 * x] << 16 | r[3 * x + 1] << 8 | r[3 * x + 2];
                differing += c != Pixel(page, x, y);
            }
        EXPECT_EQ(differing, 0);
        if (indexed) { /* the palette in order of first appearance */
            EXPECT_NE(text.find("[/Indexed /DeviceRGB 1 <000000009E37>]", at), std::string::npos);
        }
        at = start;
    }
    cairo_surface_destroy(few);
    cairo_surface_destroy(many);
    remove(path.c_str());

    pdf = EmfPicturePdfOpen("/nonexistent-folder/pages.pdf");
    cairo_surface_t *tiny = ColourPage(2, 2, 1);
    EmfPicturePdfAddPage(pdf, tiny, &size); /* skipped: the failure is kept for close */
    EXPECT_EQ(EmfPicturePdfClose(pdf, error, sizeof error), -1);
    cairo_surface_destroy(tiny);
    EXPECT_NE(strstr(error, "cannot be written"), nullptr) << error;
}

} // namespace
