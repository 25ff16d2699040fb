/* Pens: CreatePenIndirect and ExtCreatePen with GDI's parameter rules, the stock pens, and the
 * records a metafile gets when a pen is first selected into it. */
#include "gdi_private.h"

#include <stddef.h>
#include <stdlib.h>
#include <string.h>

namespace {

/* What GetObjectA reports for the stock pens: the null pen is 1 wide, the others 0. */
GdiPen g_stockPens[] = {
    {false, PS_SOLID, 0, RGB(255, 255, 255), 0, 0, 0, {0}}, /* WHITE_PEN */
    {false, PS_SOLID, 0, RGB(0, 0, 0), 0, 0, 0, {0}},       /* BLACK_PEN */
    {false, PS_NULL, 1, RGB(0, 0, 0), 0, 0, 0, {0}},        /* NULL_PEN */
    {false, PS_SOLID, 0, RGB(0, 0, 0), 0, 0, 0, {0}},       /* DC_PEN */
};

/* A zeroed pen block of the kept ones, style entries left out (only numEntries of them are ever
 * read), or NULL (ERROR_NOT_ENOUGH_MEMORY). */
GdiPen *pens_new(void)
{
    GdiPen *pen = (GdiPen *)gdi_payload_new();
    if (pen)
        memset(pen, 0, offsetof(GdiPen, entries));
    else
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return pen;
}

/* The handle for a pen from pens_new; on failure (ERROR_NOT_ENOUGH_MEMORY) the block goes back. */
HPEN pens_add(GdiPen *pen)
{
    HGDIOBJ h = gdi_handle_alloc(pen->ext ? OBJ_EXTPEN : OBJ_PEN, pen);
    if (!h) {
        gdi_payload_delete(pen);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return (HPEN)h;
}

/* ExtCreatePen's checks, in the order GDI makes them. Returns false with the last error set (or,
 * as GDI does for an empty user style, left alone). */
bool pens_ext_valid(DWORD style, DWORD width, const LOGBRUSH *brush, DWORD count, const DWORD *entries)
{
    DWORD pattern = style & PS_STYLE_MASK;
    bool geometric = (style & PS_TYPE_MASK) == PS_GEOMETRIC;
    bool ok = pattern <= PS_ALTERNATE;
    if (ok && pattern == PS_USERSTYLE) {
        if (count == 0)
            return false;
        ok = count <= GDI_MAX_STYLE_ENTRIES && entries;
        bool anyDash = false;
        for (DWORD i = 0; ok && i < count; i++)
            anyDash = anyDash || entries[i] != 0;
        ok = ok && anyDash;
    } else {
        ok = ok && count == 0;
    }
    if (geometric)
        ok = ok && pattern != PS_ALTERNATE;
    else
        ok = ok && width == 1 && brush->lbStyle == BS_SOLID && pattern != PS_INSIDEFRAME;
    /* Pattern and DIB brushes would need their bitmap in EMR_EXTCREATEPEN; the stand-in keeps to
     * the solid and hatched pens the system makes. */
    ok = ok && (brush->lbStyle == BS_SOLID || brush->lbStyle == BS_HATCHED);
    if (!ok)
        SetLastError(ERROR_INVALID_PARAMETER);
    return ok;
}

bool pens_record_logpen(GdiDC *dc, const GdiPen *pen, uint32_t slot)
{
    emf::EMRCREATEPEN rec;
    rec.emr.iType = emf::EMR_CREATEPEN;
    rec.emr.nSize = sizeof rec;
    rec.ihPen = slot;
    rec.lopnStyle = pen->style;
    rec.lopnWidth.x = (int32_t)pen->width;
    rec.lopnWidth.y = 0;
    rec.lopnColor = pen->color;
    return emf_record(dc, &rec, sizeof rec);
}

/* EMR_EXTCREATEPEN as Windows writes it: the style entries follow the fixed part, then 4 zero bytes
 * that [MS-EMF]'s layout does not have; offBmi and offBits point at the record's end. Built in the
 * recorder's buffer (only metafile DCs record objects). */
bool pens_record_extpen(GdiDC *dc, const GdiPen *pen, uint32_t slot)
{
    uint32_t size = (uint32_t)sizeof(emf::EMREXTCREATEPEN) + 4 * pen->numEntries + 4;
    uint8_t *buf = (uint8_t *)emf_record_space(dc, size);
    if (!buf)
        return false;
    emf::EMREXTCREATEPEN rec;
    rec.emr.iType = emf::EMR_EXTCREATEPEN;
    rec.emr.nSize = size;
    rec.ihPen = slot;
    rec.offBmi = size;
    rec.cbBmi = 0;
    rec.offBits = size;
    rec.cbBits = 0;
    rec.elpPenStyle = pen->style;
    rec.elpWidth = pen->width;
    rec.elpBrushStyle = pen->brushStyle;
    rec.elpColor = pen->color;
    rec.elpHatch = (uint32_t)pen->hatch;
    rec.elpNumEntries = pen->numEntries;
    memcpy(buf, &rec, sizeof rec);
    memcpy(buf + sizeof rec, pen->entries, 4 * pen->numEntries);
    memset(buf + size - 4, 0, 4);
    return true;
}

} /* namespace */

void *pen_stock(int stockIndex)
{
    switch (stockIndex) {
    case WHITE_PEN: return &g_stockPens[0];
    case BLACK_PEN: return &g_stockPens[1];
    case NULL_PEN: return &g_stockPens[2];
    case DC_PEN: return &g_stockPens[3];
    default: return NULL;
    }
}

bool pen_record_create(GdiDC *dc, const GdiPen *pen, uint32_t slot)
{
    return pen->ext ? pens_record_extpen(dc, pen, slot) : pens_record_logpen(dc, pen, slot);
}

int gdi_selected_pen_width(GdiDC *dc)
{
    const GdiPen *pen = (const GdiPen *)gdi_handle_payload(dc->pen, 0);
    if (!pen)
        return 1; /* not reached: a DC always holds a pen, even one DeleteObject was called on */
    if ((pen->style & PS_STYLE_MASK) == PS_NULL)
        return 0;
    if (pen->ext)
        return (pen->style & PS_TYPE_MASK) == PS_GEOMETRIC ? (pen->width > 1 ? (int)pen->width : 1) : 0;
    return pen->width > 1 ? (int)pen->width : 0;
}

HPEN WINAPI CreatePenIndirect(const LOGPEN *plpen)
{
    if (!gdi_enter("CreatePenIndirect", "%u, %d, 0x%06x", plpen ? plpen->lopnStyle : 0,
                   plpen ? (int)plpen->lopnWidth.x : 0, plpen ? (unsigned)plpen->lopnColor : 0))
        return NULL;
    HPEN result = NULL;
    if (!plpen) {
        SetLastError(ERROR_INVALID_PARAMETER);
    } else if (plpen->lopnStyle == PS_NULL) {
        result = (HPEN)gdi_stock_handle(NULL_PEN);
    } else {
        /* A style word GDI does not know (end caps, geometric bit, 7 and up) makes a solid pen; a
         * negative width counts as its magnitude. */
        GdiPen *pen = pens_new();
        if (pen) {
            pen->style = plpen->lopnStyle <= PS_INSIDEFRAME ? plpen->lopnStyle : PS_SOLID;
            LONG width = plpen->lopnWidth.x;
            pen->width = width < 0 ? 0u - (DWORD)width : (DWORD)width;
            pen->color = plpen->lopnColor;
            result = pens_add(pen);
        }
    }
    gdi_unlock();
    return result;
}

HPEN WINAPI ExtCreatePen(DWORD iPenStyle, DWORD cWidth, const LOGBRUSH *plbrush, DWORD cStyle, const DWORD *pstyle)
{
    if (!gdi_enter("ExtCreatePen", "0x%x, %u, %u, 0x%06x, %u", (unsigned)iPenStyle, (unsigned)cWidth,
                   plbrush ? plbrush->lbStyle : 0, plbrush ? (unsigned)plbrush->lbColor : 0, (unsigned)cStyle))
        return NULL;
    HPEN result = NULL;
    if (!plbrush) {
        SetLastError(ERROR_INVALID_PARAMETER);
    } else if ((iPenStyle & PS_STYLE_MASK) == PS_NULL || plbrush->lbStyle == BS_NULL) {
        result = (HPEN)gdi_stock_handle(NULL_PEN);
    } else if (pens_ext_valid(iPenStyle, cWidth, plbrush, cStyle, pstyle)) {
        GdiPen *pen = pens_new();
        if (pen) {
            pen->ext = true;
            pen->style = iPenStyle;
            pen->width = cWidth;
            pen->color = plbrush->lbColor;
            pen->brushStyle = plbrush->lbStyle;
            pen->hatch = plbrush->lbHatch;
            pen->numEntries = cStyle;
            if (cStyle)
                memcpy(pen->entries, pstyle, cStyle * sizeof *pstyle);
            result = pens_add(pen);
        }
    }
    gdi_unlock();
    return result;
}
