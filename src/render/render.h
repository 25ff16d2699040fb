/* The vector drawers behind Output32. Each takes the device context, the style code, the count and
 * the point data (POINTS, or a PolyPolygonPoints for the poly-polygon codes); the six that clip
 * also take the clip rectangle, applied when it is not null. */
#ifndef TAVLINQX_RENDER_H
#define TAVLINQX_RENDER_H

#include "frame/win32.h"

/* Point lists up to this length are widened in a local buffer; longer ones in a global block. */
#define LOCAL_POINT_CAPACITY 1024

/* Return 0, or -1 when GDI refused the drawing or scratch memory could not be had. */
INT DrawRectangle(HDC dc, WORD style, WORD count, const void *points, const RECT *clip);
INT DrawEllipse(HDC dc, WORD style, WORD count, const void *points, const RECT *clip);
INT DrawPolygon(HDC dc, WORD style, WORD count, const void *points, const RECT *clip);
INT DrawPolyPolygon(HDC dc, WORD style, WORD count, const void *points, const RECT *clip);
INT DrawPolyline(HDC dc, WORD style, WORD count, const void *points, const RECT *clip);
INT DrawBezier(HDC dc, WORD style, WORD count, const void *points, const RECT *clip);

/* Always 0: their GDI results are not looked at. */
INT DrawScanlines(HDC dc, WORD style, WORD count, const void *points);
INT DrawRoundRect(HDC dc, WORD style, WORD count, const void *points);
INT DrawArcPieChord(HDC dc, WORD style, WORD count, const void *points);

/* The bitmap transfers' workers, called between the realization of the caller's brush and its
 * release. StretchBitmap converts the band of rows firstRow to firstRow + lineCount - 1 (counted
 * from the top) of a BITMAP into a DIB and stretches it onto the destination, clamping the source
 * width and line count to the bitmap; without a BITMAP it applies rop to the destination alone.
 * StretchDib hands every argument to StretchDIBits unchanged. Both return 0, and StretchBitmap -1
 * when it was given a BITMAP without a drawing mode; neither reports what GDI refused. */
INT StretchBitmap(HDC dc, INT destX, INT destY, INT destWidth, INT destHeight,
                  const BITMAP *bitmap, INT srcX, INT firstRow, INT srcWidth, INT lineCount,
                  DWORD rop, LOGBRUSH *brush, const DrawMode32 *drawMode);
INT StretchDib(HDC dc, INT destX, INT destY, INT destWidth, INT destHeight, INT srcX, INT srcY,
               INT srcWidth, INT srcHeight, const void *bits, const BITMAPINFO *info, DWORD rop,
               LOGBRUSH *brush, const DrawMode32 *drawMode);

#endif
