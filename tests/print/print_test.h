/* Metafiles built record by record for the player and print program suites, and the page a
 * metafile draws. The records' layouts are written out here from [MS-EMF], not taken from the
 * recorder. */
#ifndef TAVLINQX_PRINT_TEST_H
#define TAVLINQX_PRINT_TEST_H

#include <stdint.h>

#include <initializer_list>
#include <string>
#include <vector>

#include <cairo.h>

#include "emf_format.h"
#include "emf_player.h"
#include "test_util.h"

using namespace emf;

const uint32_t kNullPen = 0x80000008;

/* 0x00RRGGBB -> COLORREF */
uint32_t Colorref(uint32_t rgb);

Bytes SetValue(uint32_t type, uint32_t value);
Bytes Select(uint32_t ih);
Bytes SolidBrush(uint32_t slot, uint32_t colorref);
Bytes Brush(uint32_t slot, uint32_t style, uint32_t colorref, uint32_t hatch);
Bytes Pen(uint32_t slot, uint32_t style, int32_t width, uint32_t colorref);
Bytes ExtPen(uint32_t slot, uint32_t style, uint32_t width, uint32_t colorref,
             std::vector<uint32_t> entries);
Bytes Rect(int32_t l, int32_t t, int32_t r, int32_t b); /* EMR_RECTANGLE, inclusive box */
Bytes MoveTo(int32_t x, int32_t y);
Bytes LineTo(int32_t x, int32_t y);
Bytes Poly16(uint32_t type, const std::vector<int16_t> &xy);
Bytes IntersectClip(uint32_t type, int32_t l, int32_t t, int32_t r, int32_t b);
Bytes ClipNone();
Bytes ClipRegion(uint32_t mode, std::vector<std::vector<int32_t>> rects);

/* A packed DIB: BITMAPINFO (header and colour table) and bits. */
struct Dib {
    Bytes info;
    Bytes bits;
};
/* 24 bpp; pixels 0x00RRGGBB in storage order (bottom row first when height > 0). */
Dib Dib24(int32_t width, int32_t height, std::vector<uint32_t> pixels);
/* 1 bpp; one byte per row (width <= 8) in storage order, and a colour table of 0x00RRGGBB. */
Dib Dib1(int32_t width, int32_t height, std::vector<uint8_t> rows, std::vector<uint32_t> table);
Bytes MonoBrush(uint32_t slot, int32_t width, int32_t height, std::vector<uint8_t> rows);
Bytes DibBrush(uint32_t slot, const Dib &dib);
Bytes StretchDib(int32_t x, int32_t y, int32_t cx, int32_t cy, const Dib &dib, uint32_t rop);
/* The source rectangle {x, y, cx, cy} of the DIB, its y counted as StretchDIBits counts it. */
Bytes StretchDibPart(int32_t x, int32_t y, int32_t cx, int32_t cy, std::vector<int32_t> src,
                     const Dib &dib, uint32_t rop);
Bytes BitBltNoSource(int32_t x, int32_t y, int32_t cx, int32_t cy, uint32_t rop);
Bytes Font(uint32_t slot, int32_t height, int32_t escapement, const char *face);
Bytes TextW(int32_t x, int32_t y, const std::u16string &text, std::vector<int32_t> dx,
            uint32_t options = 0, std::vector<int32_t> rect = {0, 0, -1, -1});

/* A metafile of the records on a reference device of width x height pixels at 96 dpi. */
Bytes PageEmf(const std::vector<Bytes> &records, uint16_t nHandles, int width, int height);

/* Writes the metafile as a one-page vector PDF to /dev/null; loading, the page and the close must
 * all succeed. */
void ExpectVectorPdfWritten(const Bytes &emf);

struct Page {
    cairo_surface_t *surface = nullptr;
    EmfWarnings warnings;
    Page() = default;
    Page(const Page &) = delete;
    Page(Page &&o) noexcept : surface(o.surface), warnings(o.warnings) { o.surface = nullptr; }
    ~Page();
    uint32_t At(int x, int y) const; /* 0x00RRGGBB */
};

/* Draws PageEmf(records, ...) at one page pixel per device pixel; a failure is a test failure. */
Page Draw(const std::vector<Bytes> &records, uint16_t nHandles, int width, int height);

/* The whole file; empty when it cannot be read. */
Bytes ReadAll(const std::string &path);

#endif
