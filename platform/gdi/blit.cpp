/* Bitmap transfers onto a device context: StretchDIBits and StretchBlt, with the records a metafile
 * DC writes for them (EMR_STRETCHDIBITS; EMR_STRETCHBLT with the source bitmap, or the 100-byte
 * EMR_BITBLT of an operation that reads no source). Other DCs keep no pixels in the stand-in: the
 * calls check their arguments and succeed without drawing. */
#include "gdi_private.h"

#include <stdlib.h>
#include <string.h>

namespace {

const emf::XFORM kIdentity = {1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f};

/* A ternary raster operation reads the source when its result changes with the source bit: the
 * operation index (bits 16-23) is a truth table over pattern, source and destination. */
bool blit_uses_source(DWORD rop) { return (((rop >> 2) ^ rop) & 0x00330000) != 0; }

/* The destination's record bounds: the corner and the far corner less one, not normalised. */
emf::RECTL blit_bounds(int x, int y, int width, int height)
{
    return emf::RECTL{x, y, (int32_t)((int64_t)x + width - 1), (int32_t)((int64_t)y + height - 1)};
}

/* The header takes a transfer's record bounds normalised. */
void blit_add_bounds(GdiDC *dc, const emf::RECTL &r)
{
    emf::RECTL box = {r.left < r.right ? r.left : r.right, r.top < r.bottom ? r.top : r.bottom,
                      r.left < r.right ? r.right : r.left, r.top < r.bottom ? r.bottom : r.top};
    emf_add_bounds(dc, box);
}

/* Writes a transfer's record and adds its bounds. */
bool blit_record(GdiDC *dc, const void *rec, uint32_t size, const emf::RECTL &r)
{
    if (!emf_record(dc, rec, size))
        return false;
    blit_add_bounds(dc, r);
    return true;
}

/* EMR_STRETCHDIBITS into a metafile DC: the fixed part, the caller's BITMAPINFO as given, then
 * every row of the DIB, built in the recorder's buffer: a band's record is megabytes, and a fresh
 * block for each one would cost the allocator's page faults every band. */
bool blit_record_dibits(GdiDC *dc, const emf::EMRSTRETCHDIBITS &fixed, const BITMAPINFO *bmi,
                        uint32_t cbBmi, const void *bits, uint32_t cbBits)
{
    uint32_t offBits = sizeof fixed + emf::RecordAlign(cbBmi);
    uint64_t size = (uint64_t)offBits + cbBits;
    if (size > UINT32_MAX)
        return false;
    uint8_t *rec = (uint8_t *)emf_record_space(dc, (uint32_t)size);
    if (!rec)
        return false;
    emf::EMRSTRETCHDIBITS *head = (emf::EMRSTRETCHDIBITS *)rec;
    *head = fixed;
    head->emr.nSize = (uint32_t)size;
    head->offBmiSrc = sizeof fixed;
    head->cbBmiSrc = cbBmi;
    head->offBitsSrc = offBits;
    head->cbBitsSrc = cbBits;
    memcpy(rec + sizeof fixed, bmi, cbBmi);
    memset(rec + sizeof fixed + cbBmi, 0, offBits - sizeof fixed - cbBmi);
    memcpy(rec + offBits, bits, cbBits);
    blit_add_bounds(dc, fixed.rclBounds);
    return true;
}

/* EMR_STRETCHBLT with the whole source bitmap, as GDI embeds it: 1 bpp with a black-and-white
 * table, 32 bpp as BI_BITFIELDS with 8-8-8 masks, 24 bpp plain, rows bottom-up. */
bool blit_record_stretch(GdiDC *dc, emf::EMRSTRETCHBLT fixed, const GdiBitmap *bm)
{
    static const uint32_t kBlackWhite[2] = {0x00000000, 0x00FFFFFF};
    static const uint32_t kMasks888[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};
    uint32_t packBmi = 0, cbBits = 0;
    uint8_t *packed = dib_pack_bitmap(bm, &packBmi, &cbBits);
    if (!packed)
        return false;
    const uint32_t *table = bm->bitsPixel == 1 ? kBlackWhite : bm->bitsPixel == 32 ? kMasks888 : NULL;
    uint32_t tableBytes = bm->bitsPixel == 1 ? sizeof kBlackWhite : bm->bitsPixel == 32 ? sizeof kMasks888 : 0;
    uint32_t cbBmi = packBmi + tableBytes;
    uint32_t size = (uint32_t)sizeof fixed + cbBmi + cbBits;
    uint8_t *rec = (uint8_t *)malloc(size);
    if (!rec) {
        free(packed);
        return false;
    }
    fixed.emr.nSize = size;
    fixed.offBmiSrc = sizeof fixed;
    fixed.cbBmiSrc = cbBmi;
    fixed.offBitsSrc = (uint32_t)sizeof fixed + cbBmi;
    fixed.cbBitsSrc = cbBits;
    memcpy(rec, &fixed, sizeof fixed);
    uint8_t *bmi = rec + sizeof fixed;
    memcpy(bmi, packed, sizeof(BITMAPINFOHEADER));
    if (bm->bitsPixel == 32)
        ((BITMAPINFOHEADER *)bmi)->biCompression = BI_BITFIELDS;
    if (table)
        memcpy(bmi + sizeof(BITMAPINFOHEADER), table, tableBytes);
    memcpy(bmi + sizeof(BITMAPINFOHEADER) + tableBytes, packed + sizeof(BITMAPINFOHEADER),
           packBmi - sizeof(BITMAPINFOHEADER) + cbBits);
    free(packed);
    bool ok = blit_record(dc, rec, size, fixed.rclBounds);
    free(rec);
    return ok;
}

int blit_stretch_dibits(GdiDC *dc, int xDest, int yDest, int cxDest, int cyDest, int xSrc, int ySrc, int cxSrc,
                        int cySrc, const void *bits, const BITMAPINFO *bmi, UINT usage, DWORD rop)
{
    uint32_t stride = 0, height = 0;
    if (!bits || !bmi || usage > DIB_PAL_COLORS || !dib_header_ok(&bmi->bmiHeader, &stride, &height)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    emf::EMRSTRETCHDIBITS fixed;
    memset(&fixed, 0, sizeof fixed);
    fixed.emr.iType = emf::EMR_STRETCHDIBITS;
    fixed.xDest = xDest;
    fixed.yDest = yDest;
    fixed.xSrc = xSrc;
    fixed.ySrc = ySrc;
    fixed.cxSrc = cxSrc;
    fixed.cySrc = cySrc;
    fixed.iUsageSrc = usage;
    fixed.dwRop = rop;
    fixed.cxDest = cxDest;
    fixed.cyDest = cyDest;
    if (dc->kind == DC_KIND_METAFILE) {
        uint32_t cbBmi = (uint32_t)sizeof(BITMAPINFOHEADER) + dib_table_bytes(&bmi->bmiHeader, usage);
        fixed.rclBounds = blit_bounds(xDest, yDest, cxDest, cyDest);
        if (!blit_record_dibits(dc, fixed, bmi, cbBmi, bits, stride * height))
            return 0;
    }
    return (int)height;
}

BOOL blit_stretch(GdiDC *dc, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc, int ySrc,
                  int wSrc, int hSrc, DWORD rop)
{
    emf::EMRSTRETCHBLT fixed;
    memset(&fixed, 0, sizeof fixed);
    fixed.xDest = xDest;
    fixed.yDest = yDest;
    fixed.cxDest = wDest;
    fixed.cyDest = hDest;
    fixed.dwRop = rop;
    fixed.xformSrc = kIdentity;
    fixed.rclBounds = blit_bounds(xDest, yDest, wDest, hDest);
    if (!blit_uses_source(rop)) {
        /* Whatever the source: the pattern-and-destination form, without source or bitmap. */
        fixed.emr = {emf::EMR_BITBLT, sizeof(emf::EMRBITBLT)};
        return blit_record(dc, &fixed, sizeof(emf::EMRBITBLT), fixed.rclBounds) ? TRUE : FALSE;
    }
    /* A source operation needs a memory DC's bitmap; a metafile DC is no source. */
    GdiDC *src = hdcSrc ? gdi_dc(hdcSrc) : NULL;
    if (!src || src->kind != DC_KIND_MEMORY)
        return FALSE;
    if (dc->kind != DC_KIND_METAFILE)
        return TRUE;
    fixed.emr.iType = emf::EMR_STRETCHBLT;
    fixed.xSrc = xSrc;
    fixed.ySrc = ySrc;
    fixed.crBkColorSrc = src->bkColor;
    fixed.iUsageSrc = DIB_RGB_COLORS;
    fixed.cxSrc = wSrc;
    fixed.cySrc = hSrc;
    const GdiBitmap *bm = (const GdiBitmap *)gdi_handle_payload(src->bitmap, OBJ_BITMAP);
    return bm && blit_record_stretch(dc, fixed, bm) ? TRUE : FALSE;
}

} /* namespace */

int WINAPI StretchDIBits(HDC hdc, int xDest, int yDest, int DestWidth, int DestHeight, int xSrc, int ySrc,
                         int SrcWidth, int SrcHeight, const VOID *lpBits, const BITMAPINFO *lpbmi, UINT iUsage,
                         DWORD rop)
{
    char name[32];
    if (!gdi_enter("StretchDIBits", "%s, %d, %d, %d, %d, %d, %d, %d, %d, %u, 0x%x", gdi_handle_name(hdc, name),
                   xDest, yDest, DestWidth, DestHeight, xSrc, ySrc, SrcWidth, SrcHeight,
                   lpbmi ? lpbmi->bmiHeader.biBitCount : 0, (unsigned)rop))
        return 0;
    GdiDC *dc = gdi_dc(hdc);
    int lines = dc ? blit_stretch_dibits(dc, xDest, yDest, DestWidth, DestHeight, xSrc, ySrc, SrcWidth, SrcHeight,
                                         lpBits, lpbmi, iUsage, rop)
                   : 0;
    gdi_unlock();
    return lines;
}

BOOL WINAPI StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc, int ySrc,
                       int wSrc, int hSrc, DWORD rop)
{
    char destName[32], srcName[32];
    if (!gdi_enter("StretchBlt", "%s, %d, %d, %d, %d, %s, %d, %d, %d, %d, 0x%x", gdi_handle_name(hdcDest, destName),
                   xDest, yDest, wDest, hDest, gdi_handle_name(hdcSrc, srcName), xSrc, ySrc, wSrc, hSrc,
                   (unsigned)rop))
        return FALSE;
    GdiDC *dc = gdi_dc(hdcDest);
    BOOL ok = dc ? blit_stretch(dc, xDest, yDest, wDest, hDest, hdcSrc, xSrc, ySrc, wSrc, hSrc, rop) : FALSE;
    gdi_unlock();
    return ok;
}
