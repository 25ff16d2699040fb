/* Pen, brush and drawing-mode realization for one drawing call, its release, the clip rectangle,
 * and the two exports that work on them directly: DeleteObject32 and SetClipRect32. */
#include "attrs/attrs.h"

#include "frame/scratch.h"

#include <stdint.h>
#include <string.h>

/* How a style code's attributes are realized. */
enum RealizeRoad {
    ROAD_POINT_LIST = 1,     /* point-list shapes: a solid pen becomes a geometric pen */
    ROAD_NONE,               /* scanlines and the end of a path bracket: nothing */
    ROAD_BRUSH_COLOURED_PEN, /* start of a path bracket: the brush and a one-unit pen in its colour */
    ROAD_PEN_AND_BRUSH,      /* everything else: pen and brush as the records describe them */
};

static RealizeRoad attrs_choose_road(WORD style, WORD secondCode)
{
    if (secondCode == 1)
        return ROAD_BRUSH_COLOURED_PEN;
    switch (style) {
    case OS_POLYBEZIER:
    case OS_POLYLINE:
    case OS_WINDPOLYGON:
    case OS_ALTPOLYGON:
    case OS_WINDPOLYPOLYGON:
    case OS_ALTPOLYPOLYGON:
        return ROAD_POINT_LIST;
    case OS_SCANLINES:
    case OS_ENDNSCAN:
        return ROAD_NONE;
    case OS_BEGINNSCAN:
        return ROAD_BRUSH_COLOURED_PEN;
    default:
        return ROAD_PEN_AND_BRUSH;
    }
}

INT RealizeDrawObjects(HDC dc, WORD style, WORD secondCode, LOGPEN *pen, DWORD penStyleBits,
                       LOGBRUSH *brush, const DrawMode32 *drawMode, HGDIOBJ *newPen,
                       HGDIOBJ *oldPen, HGDIOBJ *newBrush, HGDIOBJ *oldBrush,
                       HGDIOBJ *patternBitmap)
{
    *newPen = NULL;
    *oldPen = NULL;
    *newBrush = NULL;
    *oldBrush = NULL;
    *patternBitmap = NULL;

    INT penResult;
    INT brushResult;
    switch (attrs_choose_road(style, secondCode)) {
    case ROAD_POINT_LIST:
        /* Tested before SelectLogicalPen could rewrite PS_INSIDEFRAME. */
        if (pen != NULL && pen->lopnStyle == PS_SOLID)
            CreateGeometricPen(dc, pen->lopnColor, penStyleBits, pen->lopnWidth.x, newPen, oldPen);
        else
            SelectLogicalPen(dc, pen, newPen, oldPen);
        SelectLogicalBrush(dc, brush, drawMode, newBrush, oldBrush, patternBitmap);
        return 0;
    case ROAD_NONE:
        return 0;
    case ROAD_BRUSH_COLOURED_PEN:
        if (brush == NULL) {
            SelectLogicalPen(dc, pen, newPen, oldPen);
            return 0;
        }
        brushResult = SelectLogicalBrush(dc, brush, drawMode, newBrush, oldBrush, patternBitmap);
        penResult = CreateGeometricPen(dc, brush->lbColor, 0, 1, newPen, oldPen);
        return (brushResult == -1 || penResult == -1) ? -1 : 0;
    case ROAD_PEN_AND_BRUSH:
    default:
        penResult = SelectLogicalPen(dc, pen, newPen, oldPen);
        brushResult = SelectLogicalBrush(dc, brush, drawMode, newBrush, oldBrush, patternBitmap);
        return (brushResult == -1 || penResult == -1) ? -1 : 0;
    }
}

INT CreateGeometricPen(HDC dc, COLORREF color, DWORD penStyleBits, INT width, HGDIOBJ *newPen,
                       HGDIOBJ *oldPen)
{
    LOGBRUSH solid;
    solid.lbStyle = BS_SOLID;
    solid.lbColor = color;
    solid.lbHatch = 0;
    HPEN pen = ExtCreatePen(penStyleBits | PS_GEOMETRIC, (DWORD)width, &solid, 0, NULL);
    *newPen = pen;
    if (pen == NULL)
        return -1;
    *oldPen = SelectObject(dc, pen);
    return 0;
}

INT SelectLogicalPen(HDC dc, LOGPEN *pen, HGDIOBJ *newPen, HGDIOBJ *oldPen)
{
    if (pen == NULL) {
        SelectObject(dc, GetStockObject(NULL_PEN));
        return 0;
    }
    if (pen->lopnStyle == PS_INSIDEFRAME)
        pen->lopnStyle = PS_SOLID;

    /* The one-unit solid black and white pens exist as stock objects. */
    if (pen->lopnStyle == PS_SOLID && pen->lopnWidth.x == 1) {
        if (pen->lopnColor == RGB(0, 0, 0)) {
            SelectObject(dc, GetStockObject(BLACK_PEN));
            return 0;
        }
        if (pen->lopnColor == RGB(255, 255, 255)) {
            SelectObject(dc, GetStockObject(WHITE_PEN));
            return 0;
        }
    }

    HPEN created = CreatePenIndirect(pen);
    *newPen = created;
    if (created == NULL)
        return -1;
    *oldPen = SelectObject(dc, created);
    return 0;
}

static void attrs_apply_draw_mode(HDC dc, const DrawMode32 *drawMode)
{
    SetBkMode(dc, drawMode->BkMode);
    SetBkColor(dc, drawMode->BkColor);
    SetTextColor(dc, drawMode->TextColor);
}

/* Bytes of the block that receives a colour pattern as a packed 24-bit DIB, or 0 when the pattern's
 * sizes are negative or the block would not fit in 32 bits. The block always holds the header and
 * every 24-bit row, also for sources of fewer than 8 bits per pixel, whose row bytes alone would
 * size it too small. */
static DWORD attrs_pattern_block_size(const BITMAP *pattern)
{
    if (pattern->bmWidth < 0 || pattern->bmHeight < 0 || pattern->bmWidthBytes < 0)
        return 0;
    int64_t sourceRow = ((int64_t)pattern->bmWidthBytes + 3) / 4 * 4;
    int64_t bySourceRows = 3 * ((int64_t)pattern->bmHeight + 1) * sourceRow + 44;
    int64_t row24 = (3 * (int64_t)pattern->bmWidth + 3) / 4 * 4;
    int64_t byDibRows = (int64_t)sizeof(BITMAPINFOHEADER) + (int64_t)pattern->bmHeight * row24;
    int64_t size = bySourceRows > byDibRows ? bySourceRows : byDibRows;
    return size > INT32_MAX ? 0 : (DWORD)size;
}

/* Converts the pattern bitmap into a locked global block holding a packed bottom-up 24-bit DIB.
 * Returns the block's handle with *dib pointing at it, or NULL with nothing left allocated. */
static HGLOBAL attrs_build_pattern_dib(HDC dc, HBITMAP bitmap, const BITMAP *pattern, DWORD size,
                                       BYTE **dib)
{
    BITMAPINFO info; /* the header and one zeroed colour entry, 44 bytes */
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = pattern->bmWidth;
    info.bmiHeader.biHeight = pattern->bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;

    HGLOBAL block;
    BYTE *bytes = (BYTE *)LockScratch(size, &block);
    if (bytes == NULL)
        return NULL;
    if (GetDIBits(dc, bitmap, 0, (UINT)pattern->bmHeight, bytes + sizeof(BITMAPINFOHEADER), &info,
                  DIB_RGB_COLORS) == 0) {
        FreeScratch(block);
        return NULL;
    }
    memcpy(bytes, &info.bmiHeader, sizeof(BITMAPINFOHEADER));
    *dib = bytes;
    return block;
}

/* Creates the BS_PATTERN brush whose BITMAP lbHatch points to, and rewrites lbHatch with the
 * pattern bitmap's handle. Returns -1 when a step before the brush creation failed; otherwise 0,
 * with the brush, or NULL if GDI refused it, in *created. *patternBitmap holds the bitmap if made. */
static INT attrs_create_pattern_brush(HDC dc, LOGBRUSH *brush, const DrawMode32 *drawMode,
                                      HBRUSH *created, HGDIOBJ *patternBitmap)
{
    const BITMAP *pattern = (const BITMAP *)brush->lbHatch;
    BOOL monochrome = pattern->bmBitsPixel == 1;
    DWORD blockSize = monochrome ? 0 : attrs_pattern_block_size(pattern);
    if (!monochrome && blockSize == 0)
        return -1; /* sizes that would make a wrapped or negative block: nothing is created */

    HBITMAP bitmap = CreateBitmapIndirect(pattern);
    *patternBitmap = bitmap;
    if (bitmap == NULL)
        return -1;

    HGLOBAL block = NULL;
    BYTE *dib = NULL;
    if (!monochrome) {
        block = attrs_build_pattern_dib(dc, bitmap, pattern, blockSize, &dib);
        if (block == NULL)
            return -1; /* the bitmap stays in its slot for the release to delete */
    }

    brush->lbHatch = (ULONG_PTR)bitmap;
    if (drawMode != NULL)
        attrs_apply_draw_mode(dc, drawMode);
    if (monochrome) {
        *created = CreateBrushIndirect(brush);
    } else {
        /* The brush keeps its own copy of the DIB. */
        *created = CreateDIBPatternBrushPt(dib, DIB_RGB_COLORS);
        FreeScratch(block);
    }
    return 0;
}

INT SelectLogicalBrush(HDC dc, LOGBRUSH *brush, const DrawMode32 *drawMode, HGDIOBJ *newBrush,
                       HGDIOBJ *oldBrush, HGDIOBJ *patternBitmap)
{
    if (brush == NULL || brush->lbStyle == BS_HOLLOW) {
        SelectObject(dc, GetStockObject(NULL_BRUSH));
        return 0;
    }

    HBRUSH created = NULL;
    if (brush->lbStyle == BS_PATTERN) {
        if (attrs_create_pattern_brush(dc, brush, drawMode, &created, patternBitmap) != 0)
            return -1;
    } else {
        if (drawMode != NULL)
            attrs_apply_draw_mode(dc, drawMode);
        created = CreateBrushIndirect(brush);
    }

    *newBrush = created;
    if (created == NULL) {
        if (*patternBitmap != NULL) {
            DeleteObject(*patternBitmap);
            *patternBitmap = NULL;
        }
        return -1;
    }
    *oldBrush = SelectObject(dc, created);
    return 0;
}

INT ReleaseDrawObjects(HDC dc, HGDIOBJ newPen, HGDIOBJ oldPen, HGDIOBJ newBrush,
                       HGDIOBJ oldBrush, HGDIOBJ patternBitmap)
{
    if (newPen != NULL) {
        SelectObject(dc, oldPen);
        DeleteObject(newPen);
    }
    if (newBrush != NULL) {
        SelectObject(dc, oldBrush);
        DeleteObject(newBrush);
    }
    /* Only after the brush made from it is gone. */
    if (patternBitmap != NULL)
        DeleteObject(patternBitmap);
    return 0;
}

INT ApplyClipRect(HDC dc, const RECT *clip)
{
    SelectClipRgn(dc, NULL);
    IntersectClipRect(dc, clip->left, clip->top, clip->right, clip->bottom);
    return 0;
}

INT TAVLINQX_API DeleteObject32(HDC *dc, HGDIOBJ *objectSlot, HGDIOBJ *reselectSlot)
{
    HGDIOBJ object = *objectSlot;
    HGDIOBJ reselect = *reselectSlot;
    /* Reselect first, so the object is no longer selected when it is deleted. */
    if (reselect != NULL) {
        SelectObject(*dc, reselect);
        *reselectSlot = NULL;
    }
    if (object != NULL) {
        DeleteObject(object);
        *objectSlot = NULL;
    }
    return 0;
}

INT TAVLINQX_API SetClipRect32(HDC *dc, const RECT *clip)
{
    if (clip != NULL)
        ApplyClipRect(*dc, clip);
    return 0;
}
