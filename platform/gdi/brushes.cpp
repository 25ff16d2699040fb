/* Brushes: CreateBrushIndirect and CreateDIBPatternBrushPt with GDI's parameter rules, the stock
 * brushes, and the records a metafile gets when a brush is first selected into it. */
#include "gdi_private.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

enum {
    HS_LAST = HS_DIAGCROSS, /* the last hatch GDI draws */
    HS_API_MAX = 12,        /* hatch indexes from HS_LAST+1 up to this one make a solid brush */
    DIB_PAL_INDICES = 2,    /* iUsage of a monochrome pattern: the record has no colour table */
    PATTERN_RECORD_EXTRA = 0x20000000, /* the DWORD Windows writes before the BITMAPINFO */
};

GdiBrush g_stockBrushes[] = {
    {BS_SOLID, RGB(255, 255, 255), 0, emf::EMR_CREATEBRUSHINDIRECT, 0, NULL, 0, 0}, /* WHITE_BRUSH */
    {BS_SOLID, RGB(192, 192, 192), 0, emf::EMR_CREATEBRUSHINDIRECT, 0, NULL, 0, 0}, /* LTGRAY_BRUSH */
    {BS_SOLID, RGB(128, 128, 128), 0, emf::EMR_CREATEBRUSHINDIRECT, 0, NULL, 0, 0}, /* GRAY_BRUSH */
    {BS_SOLID, RGB(64, 64, 64), 0, emf::EMR_CREATEBRUSHINDIRECT, 0, NULL, 0, 0},    /* DKGRAY_BRUSH */
    {BS_SOLID, RGB(0, 0, 0), 0, emf::EMR_CREATEBRUSHINDIRECT, 0, NULL, 0, 0},       /* BLACK_BRUSH */
    {BS_NULL, RGB(0, 0, 0), 0, emf::EMR_CREATEBRUSHINDIRECT, 0, NULL, 0, 0},        /* NULL_BRUSH */
    {BS_SOLID, RGB(255, 255, 255), 0, emf::EMR_CREATEBRUSHINDIRECT, 0, NULL, 0, 0}, /* DC_BRUSH */
};

HBRUSH brushes_add(const GdiBrush *brush)
{
    GdiBrush *copy = (GdiBrush *)gdi_payload_new();
    HGDIOBJ h = copy ? gdi_handle_alloc(OBJ_BRUSH, copy) : NULL;
    if (!h) {
        gdi_payload_delete(copy);
        free(brush->dib);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    *copy = *brush;
    return (HBRUSH)h;
}

HBRUSH brushes_plain(UINT style, COLORREF color, ULONG_PTR hatch)
{
    GdiBrush brush;
    memset(&brush, 0, sizeof brush);
    brush.style = style;
    brush.color = color;
    brush.hatch = hatch;
    brush.recordType = emf::EMR_CREATEBRUSHINDIRECT;
    return brushes_add(&brush);
}

/* A pattern brush keeps a DIB of the bitmap's bits of its own, so the bitmap may go at once. */
HBRUSH brushes_pattern(HGDIOBJ bitmap)
{
    const GdiBitmap *bm = (const GdiBitmap *)gdi_handle_payload(bitmap, OBJ_BITMAP);
    if (!bm) {
        SetLastError(ERROR_INVALID_HANDLE);
        return NULL;
    }
    GdiBrush brush;
    memset(&brush, 0, sizeof brush);
    brush.style = BS_PATTERN;
    brush.hatch = (ULONG_PTR)bitmap;
    bool mono = bm->bitsPixel == 1;
    brush.recordType = mono ? emf::EMR_CREATEMONOBRUSH : emf::EMR_CREATEDIBPATTERNBRUSHPT;
    brush.iUsage = mono ? DIB_PAL_INDICES : DIB_RGB_COLORS;
    brush.dib = dib_pack_bitmap(bm, &brush.cbBmi, &brush.cbBits);
    if (!brush.dib) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    return brushes_add(&brush);
}

HBRUSH brushes_dib_pattern(const void *packed, UINT usage)
{
    if (!packed || usage > DIB_PAL_COLORS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    GdiBrush brush;
    memset(&brush, 0, sizeof brush);
    brush.style = BS_DIBPATTERN;
    brush.color = usage;
    brush.hatch = (ULONG_PTR)packed;
    brush.recordType = emf::EMR_CREATEDIBPATTERNBRUSHPT;
    brush.iUsage = usage;
    brush.dib = dib_copy_packed(packed, usage, &brush.cbBmi, &brush.cbBits);
    return brush.dib ? brushes_add(&brush) : NULL;
}

HBRUSH brushes_create(const LOGBRUSH *lb)
{
    switch (lb->lbStyle) {
    case BS_SOLID:
        return brushes_plain(BS_SOLID, lb->lbColor, 0);
    case BS_NULL:
        return (HBRUSH)gdi_stock_handle(NULL_BRUSH);
    case BS_HATCHED:
        if (lb->lbHatch <= HS_LAST)
            return brushes_plain(BS_HATCHED, lb->lbColor, lb->lbHatch);
        if (lb->lbHatch < HS_API_MAX)
            return brushes_plain(BS_SOLID, lb->lbColor, 0);
        break;
    case BS_PATTERN:
        return brushes_pattern((HGDIOBJ)lb->lbHatch);
    case BS_DIBPATTERNPT:
        return brushes_dib_pattern((const void *)lb->lbHatch, lb->lbColor & 0xFFFF);
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return NULL;
}

bool brushes_record_pattern(GdiDC *dc, const GdiBrush *brush, uint32_t slot)
{
    uint32_t fixed = (uint32_t)sizeof(emf::EMRCREATEDIBPATTERNBRUSHPT) + 4;
    uint32_t size = fixed + brush->cbBmi + brush->cbBits;
    uint8_t *buf = (uint8_t *)emf_record_space(dc, size);
    if (!buf)
        return false;
    emf::EMRCREATEDIBPATTERNBRUSHPT rec;
    rec.emr.iType = brush->recordType;
    rec.emr.nSize = size;
    rec.ihBrush = slot;
    rec.iUsage = brush->iUsage;
    rec.offBmi = fixed;
    rec.cbBmi = brush->cbBmi;
    rec.offBits = fixed + brush->cbBmi;
    rec.cbBits = brush->cbBits;
    uint32_t extra = PATTERN_RECORD_EXTRA;
    memcpy(buf, &rec, sizeof rec);
    memcpy(buf + sizeof rec, &extra, 4);
    memcpy(buf + fixed, brush->dib, brush->cbBmi + brush->cbBits);
    return true;
}

/* The hatch argument as a trace shows it: a pattern's bitmap by name, never a raw pointer. */
const char *brushes_hatch_name(const LOGBRUSH *lb, char *buf)
{
    if (!hooks_tracing())
        return "";
    if (lb->lbStyle == BS_PATTERN)
        return gdi_handle_name((HGDIOBJ)lb->lbHatch, buf);
    if (lb->lbStyle == BS_DIBPATTERNPT)
        return "dib";
    snprintf(buf, 32, "%lu", (unsigned long)lb->lbHatch);
    return buf;
}

} /* namespace */

void *brush_stock(int stockIndex)
{
    if (stockIndex >= WHITE_BRUSH && stockIndex <= NULL_BRUSH)
        return &g_stockBrushes[stockIndex];
    return stockIndex == DC_BRUSH ? &g_stockBrushes[6] : NULL;
}

bool brush_record_create(GdiDC *dc, const GdiBrush *brush, uint32_t slot)
{
    if (brush->recordType != emf::EMR_CREATEBRUSHINDIRECT)
        return brushes_record_pattern(dc, brush, slot);
    emf::EMRCREATEBRUSHINDIRECT rec;
    rec.emr.iType = emf::EMR_CREATEBRUSHINDIRECT;
    rec.emr.nSize = sizeof rec;
    rec.ihBrush = slot;
    rec.lbStyle = brush->style;
    rec.lbColor = brush->color;
    rec.lbHatch = (uint32_t)brush->hatch;
    return emf_record(dc, &rec, sizeof rec);
}

HBRUSH WINAPI CreateBrushIndirect(const LOGBRUSH *plbrush)
{
    char hatch[32];
    if (!gdi_enter("CreateBrushIndirect", "%u, 0x%06x, %s", plbrush ? plbrush->lbStyle : 0,
                   plbrush ? (unsigned)plbrush->lbColor : 0, plbrush ? brushes_hatch_name(plbrush, hatch) : "null"))
        return NULL;
    HBRUSH result = NULL;
    if (plbrush)
        result = brushes_create(plbrush);
    else
        SetLastError(ERROR_INVALID_PARAMETER);
    gdi_unlock();
    return result;
}

HBRUSH WINAPI CreateDIBPatternBrushPt(const void *lpPackedDIB, UINT iUsage)
{
    if (!gdi_enter("CreateDIBPatternBrushPt", "%s, %u", lpPackedDIB ? "dib" : "null", iUsage))
        return NULL;
    HBRUSH result = brushes_dib_pattern(lpPackedDIB, iUsage);
    gdi_unlock();
    return result;
}
