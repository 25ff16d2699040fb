/* Hand-built metafiles for the player and print program suites (see print_test.h). */
#include "print_test.h"

#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include "emf_reader.h"

namespace {

/* A record of type with body appended after iType and nSize, padded to 4 bytes. */
Bytes Rec(uint32_t type, const Bytes &body)
{
    Bytes r = Record({type, 0});
    r.insert(r.end(), body.begin(), body.end());
    r.resize(RecordAlign((uint32_t)r.size()), 0);
    Put32(r, 4, (uint32_t)r.size());
    return r;
}

void Add32(Bytes &b, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b.push_back((uint8_t)(v >> (8 * i)));
}

Bytes Words(std::initializer_list<uint32_t> words)
{
    Bytes b;
    for (uint32_t w : words)
        Add32(b, w);
    return b;
}

Bytes InfoHeader(int32_t width, int32_t height, uint16_t bpp, uint32_t imageSize, uint32_t colours)
{
    return Words({40, (uint32_t)width, (uint32_t)height, 1u | (uint32_t)bpp << 16, 0, imageSize, 0,
                  0, colours, 0});
}

/* An EMR_CREATEDIBPATTERNBRUSHPT-shaped record: slot, usage, the DIB after the extra DWORD. */
Bytes PatternRecord(uint32_t type, uint32_t slot, uint32_t usage, const Dib &dib)
{
    uint32_t fixed = 32 + 4;
    Bytes body = Words({slot, usage, fixed, (uint32_t)dib.info.size(),
                        fixed + (uint32_t)dib.info.size(), (uint32_t)dib.bits.size(), 0x20000000});
    body.insert(body.end(), dib.info.begin(), dib.info.end());
    body.insert(body.end(), dib.bits.begin(), dib.bits.end());
    return Rec(type, body);
}

} /* namespace */

uint32_t Colorref(uint32_t rgb)
{
    return (rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF);
}

Bytes SetValue(uint32_t type, uint32_t value) { return Record({type, 12, value}); }
Bytes Select(uint32_t ih) { return Record({EMR_SELECTOBJECT, 12, ih}); }
Bytes SolidBrush(uint32_t slot, uint32_t colorref) { return Brush(slot, 0, colorref, 0); }

Bytes Brush(uint32_t slot, uint32_t style, uint32_t colorref, uint32_t hatch)
{
    return Record({EMR_CREATEBRUSHINDIRECT, 24, slot, style, colorref, hatch});
}

Bytes Pen(uint32_t slot, uint32_t style, int32_t width, uint32_t colorref)
{
    return Record({EMR_CREATEPEN, 28, slot, style, (uint32_t)width, 0, colorref});
}

Bytes ExtPen(uint32_t slot, uint32_t style, uint32_t width, uint32_t colorref,
             std::vector<uint32_t> entries)
{
    uint32_t size = 52 + 4 * (uint32_t)entries.size() + 4;
    Bytes body = Words({slot, size, 0, size, 0, style, width, 0 /* BS_SOLID */, colorref, 0,
                        (uint32_t)entries.size()});
    for (uint32_t e : entries)
        Add32(body, e);
    Add32(body, 0);
    return Rec(EMR_EXTCREATEPEN, body);
}

Bytes Rect(int32_t l, int32_t t, int32_t r, int32_t b)
{
    return Record({EMR_RECTANGLE, 24, (uint32_t)l, (uint32_t)t, (uint32_t)r, (uint32_t)b});
}

Bytes MoveTo(int32_t x, int32_t y) { return Record({EMR_MOVETOEX, 16, (uint32_t)x, (uint32_t)y}); }
Bytes LineTo(int32_t x, int32_t y) { return Record({EMR_LINETO, 16, (uint32_t)x, (uint32_t)y}); }

Bytes Poly16(uint32_t type, const std::vector<int16_t> &xy)
{
    Bytes body = Words({0, 0, 0, 0, (uint32_t)xy.size() / 2});
    for (int16_t v : xy) {
        body.push_back((uint8_t)v);
        body.push_back((uint8_t)((uint16_t)v >> 8));
    }
    return Rec(type, body);
}

Bytes IntersectClip(uint32_t type, int32_t l, int32_t t, int32_t r, int32_t b)
{
    return Record({type, 24, (uint32_t)l, (uint32_t)t, (uint32_t)r, (uint32_t)b});
}

Bytes ClipNone() { return Record({EMR_EXTSELECTCLIPRGN, 16, 0, 5}); }

Bytes ClipRegion(uint32_t mode, std::vector<std::vector<int32_t>> rects)
{
    uint32_t n = (uint32_t)rects.size();
    Bytes body = Words({32 + 16 * n, mode, 32, 1, n, 16 * n, 0, 0, 0, 0});
    for (const auto &r : rects)
        for (int32_t v : r)
            Add32(body, (uint32_t)v);
    return Rec(EMR_EXTSELECTCLIPRGN, body);
}

Dib Dib24(int32_t width, int32_t height, std::vector<uint32_t> pixels)
{
    uint32_t stride = ((uint32_t)width * 3 + 3) & ~3u, rows = (uint32_t)abs(height);
    Dib d;
    d.info = InfoHeader(width, height, 24, stride * rows, 0);
    d.bits.assign(stride * rows, 0);
    for (uint32_t y = 0; y < rows; y++)
        for (uint32_t x = 0; x < (uint32_t)width; x++) {
            uint32_t p = pixels.at(y * width + x);
            uint8_t *q = &d.bits[y * stride + 3 * x];
            q[0] = (uint8_t)p, q[1] = (uint8_t)(p >> 8), q[2] = (uint8_t)(p >> 16);
        }
    return d;
}

Dib Dib1(int32_t width, int32_t height, std::vector<uint8_t> rows, std::vector<uint32_t> table)
{
    Dib d;
    d.info = InfoHeader(width, height, 1, 4 * (uint32_t)rows.size(), (uint32_t)table.size());
    for (uint32_t c : table)
        Add32(d.info, c);
    for (uint8_t r : rows)
        Add32(d.bits, r);
    return d;
}

Bytes MonoBrush(uint32_t slot, int32_t width, int32_t height, std::vector<uint8_t> rows)
{
    Dib d = Dib1(width, height, rows, {});
    return PatternRecord(EMR_CREATEMONOBRUSH, slot, 2 /* DIB_PAL_INDICES */, d);
}

Bytes DibBrush(uint32_t slot, const Dib &dib)
{
    return PatternRecord(EMR_CREATEDIBPATTERNBRUSHPT, slot, 0, dib);
}

Bytes StretchDib(int32_t x, int32_t y, int32_t cx, int32_t cy, const Dib &dib, uint32_t rop)
{
    int32_t w, h;
    memcpy(&w, &dib.info[4], 4);
    memcpy(&h, &dib.info[8], 4);
    return StretchDibPart(x, y, cx, cy, {0, 0, w, abs(h)}, dib, rop);
}

Bytes StretchDibPart(int32_t x, int32_t y, int32_t cx, int32_t cy, std::vector<int32_t> src,
                     const Dib &dib, uint32_t rop)
{
    uint32_t cbBmi = (uint32_t)dib.info.size(), cbBits = (uint32_t)dib.bits.size();
    Bytes body = Words({0, 0, 0, 0, (uint32_t)x, (uint32_t)y, (uint32_t)src[0], (uint32_t)src[1],
                        (uint32_t)src[2], (uint32_t)src[3], 80, cbBmi, 80 + cbBmi, cbBits, 0, rop,
                        (uint32_t)cx, (uint32_t)cy});
    body.insert(body.end(), dib.info.begin(), dib.info.end());
    body.insert(body.end(), dib.bits.begin(), dib.bits.end());
    return Rec(EMR_STRETCHDIBITS, body);
}

Bytes BitBltNoSource(int32_t x, int32_t y, int32_t cx, int32_t cy, uint32_t rop)
{
    const uint32_t one = 0x3F800000; /* 1.0f */
    return Rec(EMR_BITBLT, Words({0, 0, 0, 0, (uint32_t)x, (uint32_t)y, (uint32_t)cx, (uint32_t)cy,
                                  rop, 0, 0, one, 0, 0, one, 0, 0, 0, 0, 0, 0, 0, 0}));
}

Bytes Font(uint32_t slot, int32_t height, int32_t escapement, const char *face)
{
    Bytes body = Words({slot, (uint32_t)height, 0, (uint32_t)escapement, (uint32_t)escapement, 400,
                        0, 0});
    size_t faceAt = body.size();
    body.resize(faceAt + 64 + 320 - 104 + 8, 0);
    for (size_t i = 0; face[i] && i < 31; i++)
        body[faceAt + 2 * i] = (uint8_t)face[i];
    Bytes r = Rec(EMR_EXTCREATEFONTINDIRECTW, body);
    r.resize(332, 0);
    Put32(r, 4, 332);
    return r;
}

Bytes TextW(int32_t x, int32_t y, const std::u16string &text, std::vector<int32_t> dx,
            uint32_t options, std::vector<int32_t> rect)
{
    uint32_t n = (uint32_t)text.size(), offDx = 76 + 2 * ((n + 1) & ~1u);
    Bytes body = Words({0, 0, 0, 0, 1, 0, 0, (uint32_t)x, (uint32_t)y, n, 76, options,
                        (uint32_t)rect[0], (uint32_t)rect[1], (uint32_t)rect[2], (uint32_t)rect[3],
                        offDx});
    for (char16_t c : text) {
        body.push_back((uint8_t)c);
        body.push_back((uint8_t)(c >> 8));
    }
    body.resize(offDx - 8, 0);
    for (int32_t d : dx)
        Add32(body, (uint32_t)d);
    return Rec(EMR_EXTTEXTOUTW, body);
}

Bytes PageEmf(const std::vector<Bytes> &records, uint16_t nHandles, int width, int height)
{
    Bytes emf = BuildEmf(records, nHandles);
    /* A device of width x height pixels at 96 dpi, the frame its whole surface in .01 mm. */
    Put32(emf, 24, 0);
    Put32(emf, 28, 0);
    Put32(emf, 32, (uint32_t)lround(width * 2540.0 / 96) - 1);
    Put32(emf, 36, (uint32_t)lround(height * 2540.0 / 96) - 1);
    Put32(emf, 72, (uint32_t)width);
    Put32(emf, 76, (uint32_t)height);
    Put32(emf, 80, (uint32_t)lround(width * 25.4 / 96));
    Put32(emf, 84, (uint32_t)lround(height * 25.4 / 96));
    Put32(emf, 100, (uint32_t)lround(width * 25400.0 / 96));
    Put32(emf, 104, (uint32_t)lround(height * 25400.0 / 96));
    return emf;
}

Page::~Page()
{
    if (surface)
        cairo_surface_destroy(surface);
}

uint32_t Page::At(int x, int y) const
{
    cairo_surface_flush(surface);
    const uint8_t *data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    uint32_t v;
    memcpy(&v, data + (size_t)y * stride + 4 * (size_t)x, 4);
    return v & 0xFFFFFF;
}

Page Draw(const std::vector<Bytes> &records, uint16_t nHandles, int width, int height)
{
    Bytes emf = PageEmf(records, nHandles, width, height);
    EmfFile file;
    char error[256] = "";
    Page page;
    if (EmfLoadMemory(emf.data(), emf.size(), &file, error, sizeof error) < 0) {
        ADD_FAILURE() << "the reader rejects the test's metafile: " << error;
        return page;
    }
    page.surface = EmfRenderPage(&file, nullptr, &page.warnings, error, sizeof error);
    EmfFree(&file);
    if (page.surface == nullptr) {
        ADD_FAILURE() << "no page: " << error;
        return page;
    }
    EXPECT_EQ(cairo_image_surface_get_width(page.surface), width);
    EXPECT_EQ(cairo_image_surface_get_height(page.surface), height);
    for (uint32_t i = 0; i < page.warnings.count; i++)
        ADD_FAILURE() << "warning: " << page.warnings.text[i];
    return page;
}

Bytes ReadAll(const std::string &path)
{
    Bytes b;
    FILE *f = fopen(path.c_str(), "rb");
    if (f == NULL)
        return b;
    int c;
    while ((c = fgetc(f)) != EOF)
        b.push_back((uint8_t)c);
    fclose(f);
    return b;
}

void ExpectVectorPdfWritten(const Bytes &emf)
{
    EmfFile file;
    ASSERT_EQ(EmfLoadMemory(emf.data(), emf.size(), &file, NULL, 0), 0);
    EmfPdf *pdf = EmfPdfOpen("/dev/null");
    EXPECT_EQ(EmfPdfAddPage(pdf, &file, NULL, NULL, NULL), 0);
    char error[256] = "";
    EXPECT_EQ(EmfPdfClose(pdf, error, sizeof error), 0) << error;
    EmfFree(&file);
}
