/* Calls that work on objects of every kind: SelectObject, DeleteObject, GetObjectA and
 * GetCurrentObject, with what a metafile DC records for them. */
#include "gdi_private.h"
#include "text_private.h"

#include <stddef.h>
#include <stdlib.h>
#include <string.h>

namespace {

union GdiPayload {
    GdiPen pen;
    GdiBrush brush;
};

/* Pen and brush blocks freed and kept for reuse, under the GDI lock. */
enum { PAYLOADS_KEPT = 16 };
void *g_keptPayloads[PAYLOADS_KEPT];
int g_payloadsKept;

/* A bitmap goes only into a memory DC, at 1 bpp or the DC's depth, and into one DC at a time
 * (the shared stock bitmap excepted). */
bool objects_bitmap_fits(const GdiDC *dc, HGDIOBJ h)
{
    const GdiBitmap *bm = (const GdiBitmap *)gdi_handle_payload(h, OBJ_BITMAP);
    if (dc->kind != DC_KIND_MEMORY || (bm->bitsPixel != 1 && bm->bitsPixel != dc->caps.bitsPixel))
        return false;
    return gdi_stock_index(h) >= 0 || dc->bitmap == h || gdi_object_holders(h) == 0;
}

HGDIOBJ objects_select(GdiDC *dc, HGDIOBJ h)
{
    HandleEntry *e = gdi_handle_entry(h);
    HGDIOBJ *slot = NULL;
    switch (e ? e->type : 0) {
    case OBJ_PEN: case OBJ_EXTPEN: slot = &dc->pen; break;
    case OBJ_BRUSH: slot = &dc->brush; break;
    case OBJ_FONT: slot = &dc->font; break;
    case OBJ_BITMAP:
        if (!objects_bitmap_fits(dc, h)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return NULL;
        }
        slot = &dc->bitmap;
        break;
    default:
        return NULL; /* palettes go through SelectPalette; DCs and junk are no objects */
    }
    if (dc->kind == DC_KIND_METAFILE) {
        /* A stock object has no creation record: its selection is one value record. */
        int stock = gdi_entry_stock_index(e);
        bool recorded = stock >= 0 ? emf_record_value(dc, emf::EMR_SELECTOBJECT,
                                                      emf::ENHMETA_STOCK_OBJECT | (uint32_t)stock)
                                   : emf_select_object(dc, h, e);
        if (!recorded)
            return NULL;
    }
    HGDIOBJ previous = *slot;
    *slot = h;
    e->selected++;
    gdi_object_deselected(previous);
    return previous;
}

BOOL objects_delete(HGDIOBJ h)
{
    HandleEntry *e = gdi_handle_entry(h);
    if (!e)
        return FALSE; /* stale and junk values */
    if (gdi_entry_stock_index(e) >= 0)
        return TRUE; /* stock objects survive */
    switch (e->type) {
    case OBJ_PEN: case OBJ_EXTPEN: case OBJ_BRUSH: case OBJ_BITMAP: case OBJ_FONT: case OBJ_PAL: case OBJ_REGION:
        break;
    default:
        return FALSE; /* DCs and metafiles */
    }
    if (e->inMetafile)
        emf_forget_object(h);
    gdi_object_delete(e);
    return TRUE;
}

/* GetObjectA's contract for fixed-size records: the size when pv is NULL, 0 when c is too small. */
int objects_copy_out(const void *record, int size, int c, void *pv)
{
    if (!pv)
        return size;
    if (c < size)
        return 0;
    memcpy(pv, record, (size_t)size);
    return size;
}

int objects_get_pen(HGDIOBJ h, int c, void *pv)
{
    const GdiPen *pen = (const GdiPen *)gdi_handle_payload(h, 0);
    if (!pen->ext) {
        LOGPEN lp = {pen->style, {(LONG)pen->width, 0}, pen->color};
        return objects_copy_out(&lp, sizeof lp, c, pv);
    }
    union {
        EXTLOGPEN elp;
        uint8_t bytes[sizeof(EXTLOGPEN) + sizeof(DWORD) * GDI_MAX_STYLE_ENTRIES];
    } out;
    memset(&out, 0, sizeof out);
    out.elp.elpPenStyle = pen->style;
    out.elp.elpWidth = pen->width;
    out.elp.elpBrushStyle = pen->brushStyle;
    out.elp.elpColor = pen->color;
    out.elp.elpHatch = pen->hatch;
    out.elp.elpNumEntries = pen->numEntries;
    size_t entries = offsetof(EXTLOGPEN, elpStyleEntry);
    memcpy(out.bytes + entries, pen->entries, sizeof(DWORD) * pen->numEntries);
    return objects_copy_out(&out, (int)(entries + sizeof(DWORD) * pen->numEntries), c, pv);
}

int objects_get(HGDIOBJ h, int c, void *pv)
{
    switch (gdi_handle_type(h)) {
    case OBJ_PEN:
    case OBJ_EXTPEN:
        return objects_get_pen(h, c, pv);
    case OBJ_BRUSH: {
        /* A brush is the one object GDI copies in part when the buffer is short. */
        const GdiBrush *brush = (const GdiBrush *)gdi_handle_payload(h, OBJ_BRUSH);
        LOGBRUSH lb = {brush->style, brush->color, brush->hatch};
        int n = (int)sizeof lb;
        if (!pv)
            return n;
        if (c < n)
            n = c > 0 ? c : 0;
        memcpy(pv, &lb, (size_t)n);
        return n;
    }
    case OBJ_BITMAP: {
        const GdiBitmap *bm = (const GdiBitmap *)gdi_handle_payload(h, OBJ_BITMAP);
        BITMAP out = {0, bm->width, bm->height, bm->widthBytes, 1, bm->bitsPixel, NULL};
        return objects_copy_out(&out, sizeof out, c, pv);
    }
    case OBJ_DC: case OBJ_MEMDC: case OBJ_ENHMETADC:
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    default:
        return 0;
    }
}

HGDIOBJ objects_current(const GdiDC *dc, UINT type)
{
    switch (type) {
    case OBJ_PEN: case OBJ_EXTPEN: return dc->pen;
    case OBJ_BRUSH: return dc->brush;
    case OBJ_FONT: return dc->font;
    case OBJ_BITMAP: return dc->bitmap;
    case OBJ_PAL: return gdi_stock_handle(DEFAULT_PALETTE);
    default: return NULL;
    }
}

} /* namespace */

void *gdi_payload_new(void)
{
    if (g_payloadsKept > 0)
        return g_keptPayloads[--g_payloadsKept];
    return malloc(sizeof(GdiPayload));
}

void gdi_payload_delete(void *payload)
{
    if (payload && g_payloadsKept < PAYLOADS_KEPT)
        g_keptPayloads[g_payloadsKept++] = payload;
    else
        free(payload);
}

void gdi_object_free(DWORD objType, void *payload)
{
    switch (objType) {
    case OBJ_BRUSH:
        if (((GdiBrush *)payload)->dib) /* only pattern brushes have one */
            free(((GdiBrush *)payload)->dib);
        gdi_payload_delete(payload);
        return;
    case OBJ_PEN:
    case OBJ_EXTPEN:
        gdi_payload_delete(payload);
        return;
    case OBJ_BITMAP:
        free(((GdiBitmap *)payload)->bits);
        break;
    case OBJ_FONT:
        font_metrics_release((GdiFont *)payload);
        break;
    }
    free(payload);
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h)
{
    char dcName[32], name[32];
    if (!gdi_enter("SelectObject", "%s, %s", gdi_handle_name(hdc, dcName), gdi_handle_name(h, name)))
        return NULL;
    GdiDC *dc = gdi_dc(hdc);
    HGDIOBJ previous = dc ? objects_select(dc, h) : NULL;
    gdi_unlock();
    return previous;
}

BOOL WINAPI DeleteObject(HGDIOBJ ho)
{
    char name[32];
    if (!gdi_enter("DeleteObject", "%s", gdi_handle_name(ho, name)))
        return FALSE;
    BOOL ok = objects_delete(ho);
    gdi_unlock();
    return ok;
}

int WINAPI GetObjectA(HGDIOBJ h, int c, LPVOID pv)
{
    char name[32];
    if (!gdi_enter("GetObjectA", "%s, %d", gdi_handle_name(h, name), c))
        return 0;
    int n = objects_get(h, c, pv);
    gdi_unlock();
    return n;
}

HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type)
{
    char name[32];
    if (!gdi_enter("GetCurrentObject", "%s, %u", gdi_handle_name(hdc, name), type))
        return NULL;
    GdiDC *dc = gdi_dc(hdc);
    HGDIOBJ h = dc ? objects_current(dc, type) : NULL;
    gdi_unlock();
    return h;
}
