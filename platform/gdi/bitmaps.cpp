/* Device-dependent bitmaps: CreateBitmapIndirect with GDI's rules, and the stock 1x1 monochrome
 * bitmap that new memory DCs hold and empty bitmaps are. */
#include "gdi_private.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

namespace {

uint8_t g_stockBits[2]; /* one black pixel in a word-aligned row */
GdiBitmap g_stockBitmap = {1, 1, 2, 1, g_stockBits};

/* GDI keeps device bitmaps at the next depth it supports: 7 bpp becomes 8, 12 becomes 16. */
WORD bitmaps_round_depth(WORD bitsPixel)
{
    static const WORD kDepths[] = {1, 4, 8, 16, 24, 32};
    for (WORD depth : kDepths)
        if (bitsPixel <= depth)
            return depth;
    return 0;
}

/* A bitmap of depth bits per pixel and rows of stride bytes, holding a copy of the caller's bits
 * (zeros when there are none). */
HBITMAP bitmaps_add(const BITMAP *bm, WORD depth, uint32_t stride)
{
    size_t size = (size_t)stride * (size_t)bm->bmHeight;
    GdiBitmap *copy = (GdiBitmap *)malloc(sizeof *copy);
    uint8_t *bits = (uint8_t *)malloc(size);
    HGDIOBJ h = copy && bits ? gdi_handle_alloc(OBJ_BITMAP, copy) : NULL;
    if (!h) {
        free(copy);
        free(bits);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    if (bm->bmBits)
        memcpy(bits, bm->bmBits, size);
    else
        memset(bits, 0, size);
    copy->width = bm->bmWidth;
    copy->height = bm->bmHeight;
    copy->widthBytes = (LONG)stride;
    copy->bitsPixel = depth;
    copy->bits = bits;
    return (HBITMAP)h;
}

HBITMAP bitmaps_create(const BITMAP *bm)
{
    /* Negative sizes fail here, where GDI under Wine would take their magnitude. */
    if (!bm || bm->bmType != 0 || bm->bmWidth < 0 || bm->bmHeight < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    if (bm->bmWidth == 0 || bm->bmHeight == 0)
        return (HBITMAP)gdi_stock_handle(GDI_STOCK_BITMAP);
    WORD depth = bitmaps_round_depth(bm->bmBitsPixel);
    /* The rows are read at GDI's own word-aligned stride: like GDI, the stand-in ignores
     * bmWidthBytes, so a caller's bits are taken exactly as real GDI takes them. */
    uint32_t stride = depth ? ddb_stride(bm->bmWidth, depth) : 0;
    if (bm->bmPlanes != 1 || stride == 0 || (uint64_t)stride * (uint64_t)bm->bmHeight > INT32_MAX) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    return bitmaps_add(bm, depth, stride);
}

} /* namespace */

GdiBitmap *bitmap_stock(void) { return &g_stockBitmap; }

HBITMAP WINAPI CreateBitmapIndirect(const BITMAP *pbm)
{
    if (!gdi_enter("CreateBitmapIndirect", "%d, %d, %u, %u", pbm ? (int)pbm->bmWidth : 0,
                   pbm ? (int)pbm->bmHeight : 0, pbm ? pbm->bmPlanes : 0, pbm ? pbm->bmBitsPixel : 0))
        return NULL;
    HBITMAP result = bitmaps_create(pbm);
    gdi_unlock();
    return result;
}
