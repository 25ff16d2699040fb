/* DC state: raster operation, background mode and colour, text colour and alignment, fill mode and
 * the clip rectangle, with the 12-byte records and clip records a metafile DC gets for them. */
#include "gdi_private.h"

namespace {

/* The DC a setter changes, after its value was checked and its record written; NULL when the
 * handle is bad, the value invalid (ERROR_INVALID_PARAMETER, no record) or the record lost. Inlined:
 * a setter is the lock, this and a store. */
__attribute__((always_inline))
inline GdiDC *state_target(HDC hdc, bool valid, uint32_t iType, uint32_t value)
{
    GdiDC *dc = gdi_dc(hdc);
    if (!dc)
        return NULL;
    if (!valid) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return NULL;
    }
    return emf_record_value(dc, iType, value) ? dc : NULL;
}

LONG state_min(LONG a, LONG b) { return a < b ? a : b; }
LONG state_max(LONG a, LONG b) { return a > b ? a : b; }

/* Intersects the clip with a rectangle given in either corner order. Without a clip region the
 * rectangle is taken whole, not cut to the device's surface, as GDI under Wine answers. */
int state_intersect_clip(GdiDC *dc, int left, int top, int right, int bottom)
{
    RECT r = {state_min(left, right), state_min(top, bottom), state_max(left, right), state_max(top, bottom)};
    if (dc->hasClip) {
        const RECT &c = dc->clip;
        r = RECT{state_max(r.left, c.left), state_max(r.top, c.top), state_min(r.right, c.right),
                 state_min(r.bottom, c.bottom)};
    }
    bool empty = r.right <= r.left || r.bottom <= r.top;
    dc->clip = empty ? RECT{0, 0, 0, 0} : r;
    dc->hasClip = true;
    return empty ? NULLREGION : SIMPLEREGION;
}

} /* namespace */

int WINAPI SetROP2(HDC hdc, int rop2)
{
    char name[32];
    if (!gdi_enter("SetROP2", "%s, %d", gdi_handle_name(hdc, name), rop2))
        return 0;
    GdiDC *dc = state_target(hdc, rop2 >= R2_BLACK && rop2 <= R2_WHITE, emf::EMR_SETROP2, (uint32_t)rop2);
    int previous = dc ? dc->rop2 : 0;
    if (dc)
        dc->rop2 = rop2;
    gdi_unlock();
    return previous;
}

int WINAPI SetBkMode(HDC hdc, int mode)
{
    char name[32];
    if (!gdi_enter("SetBkMode", "%s, %d", gdi_handle_name(hdc, name), mode))
        return 0;
    GdiDC *dc = state_target(hdc, mode == TRANSPARENT || mode == OPAQUE, emf::EMR_SETBKMODE, (uint32_t)mode);
    int previous = dc ? dc->bkMode : 0;
    if (dc)
        dc->bkMode = mode;
    gdi_unlock();
    return previous;
}

int WINAPI SetPolyFillMode(HDC hdc, int mode)
{
    char name[32];
    if (!gdi_enter("SetPolyFillMode", "%s, %d", gdi_handle_name(hdc, name), mode))
        return 0;
    GdiDC *dc = state_target(hdc, mode == ALTERNATE || mode == WINDING, emf::EMR_SETPOLYFILLMODE, (uint32_t)mode);
    int previous = dc ? dc->polyFillMode : 0;
    if (dc)
        dc->polyFillMode = mode;
    gdi_unlock();
    return previous;
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color)
{
    char name[32];
    if (!gdi_enter("SetBkColor", "%s, 0x%06x", gdi_handle_name(hdc, name), (unsigned)color))
        return CLR_INVALID;
    GdiDC *dc = state_target(hdc, true, emf::EMR_SETBKCOLOR, color);
    COLORREF previous = dc ? dc->bkColor : CLR_INVALID;
    if (dc)
        dc->bkColor = color;
    gdi_unlock();
    return previous;
}

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color)
{
    char name[32];
    if (!gdi_enter("SetTextColor", "%s, 0x%06x", gdi_handle_name(hdc, name), (unsigned)color))
        return CLR_INVALID;
    GdiDC *dc = state_target(hdc, true, emf::EMR_SETTEXTCOLOR, color);
    COLORREF previous = dc ? dc->textColor : CLR_INVALID;
    if (dc)
        dc->textColor = color;
    gdi_unlock();
    return previous;
}

UINT WINAPI SetTextAlign(HDC hdc, UINT align)
{
    char name[32];
    if (!gdi_enter("SetTextAlign", "%s, %u", gdi_handle_name(hdc, name), align))
        return GDI_ERROR;
    GdiDC *dc = state_target(hdc, true, emf::EMR_SETTEXTALIGN, align);
    UINT previous = dc ? dc->textAlign : GDI_ERROR;
    if (dc)
        dc->textAlign = align;
    gdi_unlock();
    return previous;
}

/* A copy of the DC's state for a getter; false, copying nothing, for a bad handle or an injected
 * fault. */
static bool state_snapshot(HDC hdc, const char *call, GdiDC *out)
{
    char name[32];
    if (!gdi_enter(call, "%s", gdi_handle_name(hdc, name)))
        return false;
    GdiDC *dc = gdi_dc(hdc);
    if (dc)
        *out = *dc;
    gdi_unlock();
    return dc != NULL;
}

/* The getters answer what GDI answers for a bad handle: 0, and CLR_INVALID for the background. */
int WINAPI GetROP2(HDC hdc)
{
    GdiDC s;
    return state_snapshot(hdc, "GetROP2", &s) ? s.rop2 : 0;
}

int WINAPI GetBkMode(HDC hdc)
{
    GdiDC s;
    return state_snapshot(hdc, "GetBkMode", &s) ? s.bkMode : 0;
}

COLORREF WINAPI GetBkColor(HDC hdc)
{
    GdiDC s;
    return state_snapshot(hdc, "GetBkColor", &s) ? s.bkColor : CLR_INVALID;
}

COLORREF WINAPI GetTextColor(HDC hdc)
{
    GdiDC s;
    return state_snapshot(hdc, "GetTextColor", &s) ? s.textColor : 0;
}

UINT WINAPI GetTextAlign(HDC hdc)
{
    GdiDC s;
    return state_snapshot(hdc, "GetTextAlign", &s) ? s.textAlign : 0;
}

int WINAPI GetPolyFillMode(HDC hdc)
{
    GdiDC s;
    return state_snapshot(hdc, "GetPolyFillMode", &s) ? s.polyFillMode : 0;
}

/* The stand-in has no region objects: only the NULL region, which removes the clip. */
int WINAPI SelectClipRgn(HDC hdc, HRGN hrgn)
{
    char dcName[32], rgnName[32];
    if (!gdi_enter("SelectClipRgn", "%s, %s", gdi_handle_name(hdc, dcName), gdi_handle_name(hrgn, rgnName)))
        return ERROR;
    int result = ERROR;
    GdiDC *dc = gdi_dc(hdc);
    if (dc && hrgn) {
        SetLastError(ERROR_INVALID_HANDLE);
    } else if (dc) {
        emf::EMREXTSELECTCLIPRGN rec;
        rec.emr.iType = emf::EMR_EXTSELECTCLIPRGN;
        rec.emr.nSize = sizeof rec;
        rec.cbRgnData = 0;
        rec.iMode = RGN_COPY;
        if (emf_record(dc, &rec, sizeof rec)) {
            dc->hasClip = false;
            result = SIMPLEREGION;
        }
    }
    gdi_unlock();
    return result;
}

int WINAPI IntersectClipRect(HDC hdc, int left, int top, int right, int bottom)
{
    char name[32];
    if (!gdi_enter("IntersectClipRect", "%s, %d, %d, %d, %d", gdi_handle_name(hdc, name), left, top, right, bottom))
        return ERROR;
    int result = ERROR;
    GdiDC *dc = gdi_dc(hdc);
    if (dc) {
        /* Recorded as passed, in logical units and corner order. */
        emf::EMRINTERSECTCLIPRECT rec;
        rec.emr.iType = emf::EMR_INTERSECTCLIPRECT;
        rec.emr.nSize = sizeof rec;
        rec.rclClip = emf::RECTL{left, top, right, bottom};
        if (emf_record(dc, &rec, sizeof rec))
            result = state_intersect_clip(dc, left, top, right, bottom);
    }
    gdi_unlock();
    return result;
}
