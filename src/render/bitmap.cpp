/* Raster32 and Dib32: bands of device bitmaps converted to DIBs, device-independent bitmaps, and
 * brush-only raster operations, each transferred with a ternary raster operation between the
 * realization of the caller's brush and its release. */
#include "frame/win32.h"

#include <stdint.h>
#include <string.h>

#include "attrs/attrs.h"
#include "frame/scratch.h"
#include "render/render.h"

/* The monochrome band DIB's header block: the header and two colour entries. */
#define MONO_HEADER_BYTES (sizeof(BITMAPINFOHEADER) + 2 * sizeof(RGBQUAD))

/* What one call with a BITMAP transfers, once the source width and the band are clamped to the
 * bitmap. */
typedef struct BandPlan {
    INT srcWidth;
    INT firstRow;     /* from the top, inside the bitmap */
    INT lineCount;
    UINT startScan;   /* the band's lowest row, counted from the bottom of the bitmap */
    DWORD bufferSize; /* the band buffer: DIB rows for the bitmap's height and one more */
    DWORD gdiStride;  /* the row length at which GDI reads the bitmap's bits */
} BandPlan;

/* The row length GDI reads a device bitmap's bits at, whatever bmWidthBytes says: word-aligned
 * rows at the depth GDI keeps the bitmap in (2 bits per pixel become 4, 12 become 16). 0 for a
 * depth GDI does not keep. */
static int64_t raster_gdi_stride(const BITMAP *bitmap)
{
    static const WORD kDepths[] = {1, 4, 8, 16, 24, 32};
    for (size_t i = 0; i < sizeof kDepths / sizeof kDepths[0]; i++)
        if (bitmap->bmBitsPixel <= kDepths[i])
            return ((int64_t)bitmap->bmWidth * kDepths[i] + 15) / 16 * 2;
    return 0;
}

/* Clamps the band to the bitmap and sizes its buffer. Returns -1 when there is nothing to
 * transfer: sizes that are not positive, a source x beyond the width, a band that lies wholly
 * above or below the bitmap, a depth GDI does not keep, or a buffer or bitmap that would not fit
 * in 32 bits. A negative source width is kept: the transfer is then mirrored. */
static INT raster_plan_band(const BITMAP *bitmap, INT srcX, INT firstRow, INT srcWidth,
                            INT lineCount, BandPlan *plan)
{
    if (bitmap->bmWidth <= 0 || bitmap->bmHeight <= 0 || bitmap->bmWidthBytes < 0 ||
        srcX > bitmap->bmWidth)
        return -1;
    int64_t width = srcWidth, first = firstRow, lines = lineCount;
    if ((int64_t)bitmap->bmWidth - srcX < width)
        width = (int64_t)bitmap->bmWidth - srcX;
    /* Rows above the bitmap are cut off as the rows below it are, so that no row outside the
     * bitmap is drawn. */
    if (first < 0) {
        lines += first;
        first = 0;
    }
    if ((int64_t)bitmap->bmHeight - first < lines)
        lines = (int64_t)bitmap->bmHeight - first;
    int64_t gdiStride = raster_gdi_stride(bitmap);
    if (lines <= 0 || gdiStride == 0 || gdiStride > INT32_MAX / bitmap->bmHeight)
        return -1;

    /* Rows as the caller's row length gives them, three bytes per byte for colour bitmaps; never
     * less than a DIB row of bmWidth pixels, which 2- and 4-bit sources need. */
    BOOL monochrome = bitmap->bmBitsPixel == 1;
    int64_t row = ((int64_t)bitmap->bmWidthBytes + 3) / 4 * 4 * (monochrome ? 1 : 3);
    int64_t dibRow = ((int64_t)bitmap->bmWidth * (monochrome ? 1 : 24) + 31) / 32 * 4;
    if (dibRow > row)
        row = dibRow;
    if (row > INT32_MAX || row * ((int64_t)bitmap->bmHeight + 1) > INT32_MAX)
        return -1;

    plan->srcWidth = (INT)width;
    plan->firstRow = (INT)first;
    plan->lineCount = (INT)lines;
    plan->startScan = (UINT)((int64_t)bitmap->bmHeight - first - lines);
    plan->bufferSize = (DWORD)(row * ((int64_t)bitmap->bmHeight + 1));
    plan->gdiStride = (DWORD)gdiStride;
    return 0;
}

/* GDI's bitmap of the caller's BITMAP. GDI reads rows at its own stride; where the caller's rows
 * have another length (a row narrower than a word, 2-bit rows read as 4-bit ones), the band's rows
 * are first copied, each as far as the caller's row reaches, into a zeroed block at GDI's stride,
 * so that GDI never reads outside the bits the caller described. NULL when GDI refuses the bitmap
 * or the block cannot be had. */
static HBITMAP raster_make_bitmap(const BITMAP *bitmap, const BandPlan *plan)
{
    if ((DWORD)bitmap->bmWidthBytes == plan->gdiStride || bitmap->bmBits == NULL)
        return CreateBitmapIndirect(bitmap);
    HGLOBAL block = NULL;
    BYTE *rows = (BYTE *)LockScratch((SIZE_T)plan->gdiStride * (SIZE_T)bitmap->bmHeight, &block);
    if (rows == NULL)
        return NULL;
    DWORD copied = (DWORD)bitmap->bmWidthBytes < plan->gdiStride ? (DWORD)bitmap->bmWidthBytes
                                                                  : plan->gdiStride;
    const BYTE *from = (const BYTE *)bitmap->bmBits;
    for (INT y = plan->firstRow; y < plan->firstRow + plan->lineCount; y++)
        memcpy(rows + (SIZE_T)y * plan->gdiStride, from + (SIZE_T)y * (SIZE_T)bitmap->bmWidthBytes, copied);
    BITMAP aligned = *bitmap;
    aligned.bmWidthBytes = (LONG)plan->gdiStride;
    aligned.bmBits = rows;
    HBITMAP made = CreateBitmapIndirect(&aligned);
    FreeScratch(block);
    return made;
}

/* A COLORREF (red in the low byte) as a colour-table entry (blue first). */
static void raster_put_colour(RGBQUAD *entry, COLORREF colour)
{
    entry->rgbBlue = GetBValue(colour);
    entry->rgbGreen = GetGValue(colour);
    entry->rgbRed = GetRValue(colour);
    entry->rgbReserved = 0;
}

/* Fetches the band's rows from the bitmap into a new band buffer as a bottom-up DIB of the
 * bitmap's full height, the band's lowest row first. A monochrome band takes its two colours from
 * the drawing mode. Returns the rows copied (0 when none, or when memory could not be had); the
 * buffer's block goes to *band, NULL when there is none. */
static int raster_fetch_band(HDC dc, HBITMAP made, const BITMAP *bitmap, const BandPlan *plan,
                             BITMAPINFO *info, const DrawMode32 *drawMode, HGLOBAL *band,
                             void **rows)
{
    BOOL monochrome = bitmap->bmBitsPixel == 1;
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = bitmap->bmWidth;
    info->bmiHeader.biHeight = bitmap->bmHeight;
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = monochrome ? 1 : 24;
    info->bmiHeader.biCompression = BI_RGB;

    *rows = LockScratch(plan->bufferSize, band);
    if (*rows == NULL)
        return 0;
    int copied = GetDIBits(dc, made, plan->startScan, (UINT)plan->lineCount, *rows, info,
                           DIB_RGB_COLORS);
    /* In place of the black and white GetDIBits wrote. */
    if (monochrome) {
        raster_put_colour(&info->bmiColors[0], drawMode->TextColor);
        raster_put_colour(&info->bmiColors[1], drawMode->BkColor);
    }
    return copied;
}

/* The bitmap road: the band as a DIB, stretched onto the destination. The background mode is set
 * from the drawing mode whether or not any row is transferred. */
static void raster_stretch_band(HDC dc, INT destX, INT destY, INT destWidth, INT destHeight,
                                const BITMAP *bitmap, INT srcX, INT firstRow, INT srcWidth,
                                INT lineCount, DWORD rop, const DrawMode32 *drawMode)
{
    BandPlan plan;
    INT planned = raster_plan_band(bitmap, srcX, firstRow, srcWidth, lineCount, &plan);
    HBITMAP made = planned == 0 ? raster_make_bitmap(bitmap, &plan) : NULL;

    BITMAPINFO colourInfo; /* the 24-bit header and one zeroed entry */
    memset(&colourInfo, 0, sizeof colourInfo);
    BITMAPINFO *info = &colourInfo;
    HGLOBAL headerBlock = NULL, band = NULL;
    void *rows = NULL;
    int copied = 0;
    if (planned == 0 && bitmap->bmBitsPixel == 1)
        info = (BITMAPINFO *)LockScratch(MONO_HEADER_BYTES, &headerBlock);
    if (planned == 0 && info != NULL)
        copied = raster_fetch_band(dc, made, bitmap, &plan, info, drawMode, &band, &rows);

    if (drawMode->RasterOp != 0)
        SetBkMode(dc, drawMode->UseBkMode != 0 ? drawMode->BkMode : OPAQUE);
    if (copied > 0)
        StretchDIBits(dc, destX, destY, destWidth, destHeight, srcX, 0, plan.srcWidth,
                      plan.lineCount, rows, info, DIB_RGB_COLORS, rop);

    FreeScratch(headerBlock);
    FreeScratch(band);
    if (made != NULL)
        DeleteObject(made);
}

/* The no-bitmap road: the raster operation on the destination alone, from a memory device context
 * holding an empty bitmap; with a brush-only operation such as PATCOPY it paints the rectangle. */
static void raster_blt_empty(HDC dc, INT destX, INT destY, INT destWidth, INT destHeight, DWORD rop)
{
    BITMAP empty;
    memset(&empty, 0, sizeof empty);
    HBITMAP made = CreateBitmapIndirect(&empty);
    HDC memory = CreateCompatibleDC(NULL);
    HGDIOBJ previous = SelectObject(memory, made);
    StretchBlt(dc, destX, destY, destWidth, destHeight, memory, 0, 0, destWidth, destHeight, rop);
    SelectObject(memory, previous);
    DeleteObject(made);
    DeleteDC(memory);
}

INT StretchBitmap(HDC dc, INT destX, INT destY, INT destWidth, INT destHeight,
                  const BITMAP *bitmap, INT srcX, INT firstRow, INT srcWidth, INT lineCount,
                  DWORD rop, LOGBRUSH *brush, const DrawMode32 *drawMode)
{
    (void)brush; /* realized by the caller: the pattern operations draw with it */
    if (bitmap == NULL) {
        raster_blt_empty(dc, destX, destY, destWidth, destHeight, rop);
        return 0;
    }
    /* Without a drawing mode a band has neither its colours nor its background mode. */
    if (drawMode == NULL)
        return -1;
    raster_stretch_band(dc, destX, destY, destWidth, destHeight, bitmap, srcX, firstRow, srcWidth,
                        lineCount, rop, drawMode);
    return 0;
}

INT StretchDib(HDC dc, INT destX, INT destY, INT destWidth, INT destHeight, INT srcX, INT srcY,
               INT srcWidth, INT srcHeight, const void *bits, const BITMAPINFO *info, DWORD rop,
               LOGBRUSH *brush, const DrawMode32 *drawMode)
{
    (void)brush;
    (void)drawMode;
    StretchDIBits(dc, destX, destY, destWidth, destHeight, srcX, srcY, srcWidth, srcHeight, bits,
                  info, DIB_RGB_COLORS, rop);
    return 0;
}

INT TAVLINQX_API Raster32(HDC *dcArg, const INT *destX, const INT *destY, const INT *destWidth,
                          const INT *destHeight, const BITMAP *bitmap, const INT *srcX,
                          const INT *firstRow, const INT *srcWidth, const INT *lineCount,
                          const DWORD *rop, LOGBRUSH *brush, const DrawMode32 *drawMode)
{
    HDC dc = *dcArg;
    HGDIOBJ newPen = NULL, oldPen = NULL, newBrush = NULL, oldBrush = NULL, patternBitmap = NULL;
    /* Style code 0 selects the null pen and realizes the brush; the transfer goes ahead whatever
     * the realization returns. */
    RealizeDrawObjects(dc, 0, 0, NULL, 0, brush, drawMode, &newPen, &oldPen, &newBrush, &oldBrush,
                       &patternBitmap);
    StretchBitmap(dc, *destX, *destY, *destWidth, *destHeight, bitmap, *srcX, *firstRow,
                  *srcWidth, *lineCount, *rop, brush, drawMode);
    return ReleaseDrawObjects(dc, newPen, oldPen, newBrush, oldBrush, patternBitmap);
}

INT TAVLINQX_API Dib32(HDC *dcArg, const INT *destX, const INT *destY, const INT *destWidth,
                       const INT *destHeight, const INT *srcX, const INT *srcY,
                       const INT *srcWidth, const INT *srcHeight, const void *bits,
                       const BITMAPINFO *info, const DWORD *rop, LOGBRUSH *brush,
                       const DrawMode32 *drawMode)
{
    HDC dc = *dcArg;
    HGDIOBJ newPen = NULL, oldPen = NULL, newBrush = NULL, oldBrush = NULL, patternBitmap = NULL;
    RealizeDrawObjects(dc, 0, 0, NULL, 0, brush, drawMode, &newPen, &oldPen, &newBrush, &oldBrush,
                       &patternBitmap);
    StretchDib(dc, *destX, *destY, *destWidth, *destHeight, *srcX, *srcY, *srcWidth, *srcHeight,
               bits, info, *rop, brush, drawMode);
    return ReleaseDrawObjects(dc, newPen, oldPen, newBrush, oldBrush, patternBitmap);
}
