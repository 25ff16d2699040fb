/* Output32: the host's vector output, dispatched by output-style code, and the path bracket that
 * fills a run of scanlines as one widened path. */
#include "frame/win32.h"

#include "attrs/attrs.h"
#include "render/render.h"

/* Calls the drawer of a drawing code; any other code draws nothing. */
static void output_draw(HDC dc, WORD style, WORD count, const void *points, const RECT *clip)
{
    switch (style) {
    case OS_POLYBEZIER:
        DrawBezier(dc, style, count, points, clip);
        break;
    case OS_ARC:
    case OS_PIE:
    case OS_CHORD:
        DrawArcPieChord(dc, style, count, points);
        break;
    case OS_SCANLINES:
        DrawScanlines(dc, style, count, points);
        break;
    case OS_RECTANGLE:
        DrawRectangle(dc, style, count, points, clip);
        break;
    case OS_ELLIPSE:
    case OS_CIRCLE:
        DrawEllipse(dc, style, count, points, clip);
        break;
    case OS_POLYLINE:
        DrawPolyline(dc, style, count, points, clip);
        break;
    case OS_WINDPOLYGON:
    case OS_ALTPOLYGON:
        DrawPolygon(dc, style, count, points, clip);
        break;
    case OS_ROUNDRECT:
        DrawRoundRect(dc, style, count, points);
        break;
    case OS_WINDPOLYPOLYGON:
    case OS_ALTPOLYPOLYGON:
        DrawPolyPolygon(dc, style, count, points, clip);
        break;
    default:
        break;
    }
}

/* Closes the open path, widens it with the selected pen and fills it with the selected brush. */
static void output_fill_path(HDC dc)
{
    EndPath(dc);
    SetPolyFillMode(dc, WINDING);
    WidenPath(dc);
    FillPath(dc);
}

INT TAVLINQX_API Output32(HDC *dcArg, const WORD *styleArg, const WORD *secondCodeArg,
                          const WORD *countArg, const void *points, LOGPEN *pen,
                          const DWORD *penStyleBitsArg, LOGBRUSH *brush,
                          const DrawMode32 *drawMode, HGDIOBJ *newPenOut, HGDIOBJ *oldPenOut,
                          HGDIOBJ *newBrushOut, HGDIOBJ *oldBrushOut, HGDIOBJ *patternBitmapOut,
                          const RECT *clip)
{
    HDC dc = *dcArg;
    WORD style = *styleArg;
    WORD secondCode = *secondCodeArg;
    WORD count = *countArg;
    DWORD penStyleBits = *penStyleBitsArg;
    HGDIOBJ newPen = NULL, oldPen = NULL, newBrush = NULL, oldBrush = NULL, patternBitmap = NULL;

    INT realized = RealizeDrawObjects(dc, style, secondCode, pen, penStyleBits, brush, drawMode,
                                      &newPen, &oldPen, &newBrush, &oldBrush, &patternBitmap);

    /* Scanlines inside a bracket, and its end, draw under the raster operation of its start. */
    BOOL keepsRasterOp = (style == OS_SCANLINES || style == OS_ENDNSCAN) && secondCode != 1;
    if (drawMode != NULL && !keepsRasterOp)
        SetROP2(dc, drawMode->RasterOp);

    if (style == OS_BEGINNSCAN) {
        /* The bracket's pen and brush stay selected; the caller releases them later. */
        *newPenOut = newPen;
        *oldPenOut = oldPen;
        *newBrushOut = newBrush;
        *oldBrushOut = oldBrush;
        *patternBitmapOut = patternBitmap;
        BeginPath(dc);
        return realized;
    }
    if (style == OS_ENDNSCAN) {
        output_fill_path(dc);
        /* Nothing is realized here unless the second code is 1; objects made then are released
         * after the fill, as nobody else could ever release them. */
        ReleaseDrawObjects(dc, newPen, oldPen, newBrush, oldBrush, patternBitmap);
        return realized;
    }

    output_draw(dc, style, count, points, clip);
    return ReleaseDrawObjects(dc, newPen, oldPen, newBrush, oldBrush, patternBitmap);
}
