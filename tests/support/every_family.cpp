/* The tests' page of every drawing family. */
#include "every_family.h"

#include <stdint.h>
#include <string.h>

namespace {

enum { WAVE_POINTS = 200, BAND_SIDE = 100, DIB_SIDE = 64, MONO_WIDTH = 640, MONO_ROWS = 64 };

struct Points {
    POINTS wave[WAVE_POINTS];
    POINTS box[4];
    INT polygonCounts[2];
    PolyPolygonPoints polyPolygon;
    POINTS scanline[3];
};

struct Pixels {
    uint8_t colour[BAND_SIDE * BAND_SIDE * 3];
    uint8_t mono[MONO_ROWS * MONO_WIDTH / 8];
    uint8_t dib[DIB_SIDE * DIB_SIDE * 3];
};

const Points &PagePoints()
{
    static const Points points = [] {
        Points p;
        for (int i = 0; i < WAVE_POINTS; i++)
            p.wave[i] = POINTS{(SHORT)(i * 5), (SHORT)(100 + (i * 37) % 300)};
        p.box[0] = POINTS{100, 100};
        p.box[1] = POINTS{300, 220};
        p.box[2] = POINTS{30, 20};
        p.box[3] = POINTS{100, 220};
        p.polygonCounts[0] = 120;
        p.polygonCounts[1] = 80;
        p.polyPolygon = PolyPolygonPoints{p.polygonCounts, p.wave};
        p.scanline[0] = POINTS{0, 500};
        p.scanline[1] = POINTS{100, 180};
        p.scanline[2] = POINTS{260, 400};
        return p;
    }();
    return points;
}

const Pixels &PagePixels()
{
    static const Pixels pixels = [] {
        Pixels p;
        for (size_t i = 0; i < sizeof p.colour; i++)
            p.colour[i] = (uint8_t)(i * 7 + (i >> 9));
        for (size_t i = 0; i < sizeof p.mono; i++)
            p.mono[i] = (uint8_t)(i * 131 + (i >> 7));
        for (size_t i = 0; i < sizeof p.dib; i++)
            p.dib[i] = (uint8_t)(i * 13);
        return p;
    }();
    return pixels;
}

const DrawMode32 kMode = {R2_COPYPEN, OPAQUE, RGB(255, 255, 255), RGB(0, 0, 0), 1};

INT Shape(HDC *dc, WORD style, WORD count, const void *points, HGDIOBJ slots[5])
{
    LOGPEN pen = {PS_SOLID, {3, 0}, RGB(0, 0, 160)};
    LOGBRUSH brush = {BS_HATCHED, RGB(0, 200, 0), HS_CROSS};
    DrawMode32 mode = kMode;
    const DWORD bits = PS_ENDCAP_FLAT | PS_JOIN_MITER;
    const WORD second = 0;
    const RECT clip = {0, 0, 1000, 700};
    return Output32(dc, &style, &second, &count, points, &pen, &bits, &brush, &mode, &slots[0], &slots[1],
                    &slots[2], &slots[3], &slots[4], &clip);
}

void DrawShapes(HDC *dc, std::vector<INT> &results)
{
    const Points &p = PagePoints();
    const struct {
        WORD style, count;
        const void *points;
    } shapes[] = {
        {OS_POLYLINE, WAVE_POINTS, p.wave},   {OS_ALTPOLYGON, WAVE_POINTS, p.wave},
        {OS_WINDPOLYGON, 50, p.wave},         {OS_POLYBEZIER, 97, p.wave},
        {OS_RECTANGLE, 2, p.box},             {OS_ELLIPSE, 2, p.box},
        {OS_CIRCLE, 2, p.box},                {OS_ROUNDRECT, 3, p.box},
        {OS_ARC, 4, p.box},                   {OS_PIE, 4, p.box},
        {OS_CHORD, 4, p.box},                 {OS_ALTPOLYPOLYGON, 2, &p.polyPolygon},
        {OS_WINDPOLYPOLYGON, 2, &p.polyPolygon},
    };
    for (int round = 0; round < 10; round++) {
        for (const auto &s : shapes) {
            HGDIOBJ slots[5] = {};
            results.push_back(Shape(dc, s.style, s.count, s.points, slots));
        }
    }
    /* A bracket of scanlines, its end, and the releases of what its start handed out. */
    HGDIOBJ bracket[5] = {}, unused[5] = {}, none = NULL;
    results.push_back(Shape(dc, OS_BEGINNSCAN, 0, NULL, bracket));
    for (int row = 0; row < 40; row++)
        results.push_back(Shape(dc, OS_SCANLINES, 3, p.scanline, unused));
    results.push_back(Shape(dc, OS_ENDNSCAN, 0, NULL, unused));
    results.push_back(DeleteObject32(dc, &bracket[0], &bracket[1]));
    results.push_back(DeleteObject32(dc, &bracket[2], &bracket[3]));
    results.push_back(DeleteObject32(dc, &bracket[4], &none));
}

void DrawText(HDC *dc, std::vector<INT> &results)
{
    LOGFONTA font;
    memset(&font, 0, sizeof font);
    font.lfHeight = -24;
    strcpy(font.lfFaceName, "Arial");
    DrawMode32 mode = kMode;
    INT x = 100, y = 600;
    DWORD plain = 0, glyphs = ETO_GLYPH_INDEX, length = 12;
    const INT advances[12] = {12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12};
    results.push_back(TextOut32(dc, &font, &x, &y, &plain, NULL, "a whole line", &length, NULL, &mode));
    font.lfEscapement = 450;
    results.push_back(TextOut32(dc, &font, &x, &y, &plain, NULL, "along 45 deg", &length, advances, &mode));
    font.lfEscapement = 0;
    font.lfCharSet = SHIFTJIS_CHARSET;
    DWORD sjisLength = 6;
    results.push_back(TextOut32(dc, &font, &x, &y, &plain, NULL, "\x82\xa0\x82\xa2\x41\x42", &sjisLength, advances,
                                &mode));
    const WORD indices[4] = {36, 37, 38, 39};
    DWORD glyphCount = 4;
    results.push_back(TextOut32(dc, &font, &x, &y, &glyphs, NULL, (LPCSTR)indices, &glyphCount, advances, &mode));
}

void DrawBitmaps(HDC *dc, std::vector<INT> &results)
{
    const Pixels &px = PagePixels();
    DrawMode32 mode = kMode;
    BITMAP colour = {0, BAND_SIDE, BAND_SIDE, BAND_SIDE * 3, 1, 24, (void *)px.colour};
    BITMAP mono = {0, MONO_WIDTH, MONO_ROWS, MONO_WIDTH / 8, 1, 1, (void *)px.mono};
    const INT zero = 0, side = BAND_SIDE, monoWidth = MONO_WIDTH, monoRows = MONO_ROWS;
    const INT x = 500, y = 50, wide = 2 * BAND_SIDE;
    DWORD rop = SRCCOPY, patcopy = PATCOPY;
    LOGBRUSH brush = {BS_SOLID, RGB(200, 0, 0), 0};
    results.push_back(Raster32(dc, &x, &y, &wide, &wide, &colour, &zero, &zero, &side, &side, &rop, NULL, &mode));
    results.push_back(Raster32(dc, &x, &x, &monoWidth, &monoRows, &mono, &zero, &zero, &monoWidth, &monoRows, &rop,
                               NULL, &mode));
    results.push_back(Raster32(dc, &y, &y, &side, &side, NULL, &zero, &zero, &zero, &zero, &patcopy, &brush, NULL));
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), DIB_SIDE, -DIB_SIDE, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    const INT dibSide = DIB_SIDE, dibX = 800;
    results.push_back(Dib32(dc, &dibX, &y, &wide, &wide, &zero, &zero, &dibSide, &dibSide, px.dib, &info, &rop,
                            NULL, NULL));
}

} /* namespace */

std::vector<INT> DrawEveryFamily(HDC *dc)
{
    std::vector<INT> results;
    const RECT clip = {10, 10, 1000, 750};
    results.push_back(SetClipRect32(dc, &clip));
    DrawShapes(dc, results);
    DrawText(dc, results);
    results.push_back(SetClipRect32(dc, NULL));
    DrawBitmaps(dc, results);
    return results;
}
