/* Device contexts: CreateDCA on the installed devices, memory DCs, DeleteDC and GetDeviceCaps. */
#include "gdi_private.h"

#include <stdlib.h>
#include <strings.h>

namespace {

enum { DRIVER_VERSION = 0x4000 };

DWORD context_object_type(DcKind kind)
{
    switch (kind) {
    case DC_KIND_MEMORY: return OBJ_MEMDC;
    case DC_KIND_METAFILE: return OBJ_ENHMETADC;
    default: return OBJ_DC;
    }
}

/* CreateDCA's driver names: the spooler's (any device) and the display's. A NULL driver lets the
 * device name choose, as GDI does; another name fails, where GDI under Wine would ignore it. */
bool context_known_driver(const char *driver)
{
    return !driver || strcasecmp(driver, "WINSPL16") == 0 || strcasecmp(driver, "DISPLAY") == 0;
}

/* The caps of the device CreateDCA's names open; false when they name none, with *error the code
 * GDI sets (0: none, as for two NULL names). A printer may be a CUPS queue, asked for on the
 * network: this runs before the GDI lock is taken, so no other thread's drawing waits for it. */
bool context_device_caps(const char *driver, const char *device, const DEVMODEA *devmode,
                         DeviceCaps *caps, DWORD *error)
{
    *error = 0;
    if (!device && driver && strcasecmp(driver, "DISPLAY") == 0) {
        printer_display_caps(caps);
        return true;
    }
    if (!device && !driver)
        return false;
    if (!device || !context_known_driver(driver) || !printer_caps(device, devmode, caps)) {
        *error = ERROR_MOD_NOT_FOUND;
        return false;
    }
    return true;
}

int context_caps(const GdiDC *dc, int index)
{
    const DeviceCaps &caps = dc->caps;
    bool printer = caps.technology == DT_RASPRINTER;
    switch (index) {
    case DRIVERVERSION: return DRIVER_VERSION;
    case TECHNOLOGY: return caps.technology;
    case HORZSIZE: return caps.horzSizeMm;
    case VERTSIZE: return caps.vertSizeMm;
    case HORZRES: return caps.horzRes;
    case VERTRES: return caps.vertRes;
    case BITSPIXEL: return caps.bitsPixel;
    case PLANES: return 1;
    case LOGPIXELSX: return caps.logPixelsX;
    case LOGPIXELSY: return caps.logPixelsY;
    case PHYSICALWIDTH: return printer ? caps.horzRes : 0; /* the stand-in's printers have no margins */
    case PHYSICALHEIGHT: return printer ? caps.vertRes : 0;
    default: return 0;
    }
}

} /* namespace */

GdiDC *gdi_dc_invalid(void)
{
    SetLastError(ERROR_INVALID_HANDLE);
    return NULL;
}

GdiDC *dc_new(DcKind kind, const DeviceCaps *caps)
{
    GdiDC *dc = (GdiDC *)calloc(1, sizeof *dc);
    if (!dc) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    dc->kind = kind;
    dc->caps = *caps;
    dc->rop2 = R2_COPYPEN;
    dc->bkMode = OPAQUE;
    dc->polyFillMode = ALTERNATE;
    dc->bkColor = RGB(255, 255, 255);
    dc->textColor = RGB(0, 0, 0);
    dc->textAlign = TA_LEFT | TA_TOP;
    dc->path = PATH_NONE;
    dc->pen = gdi_stock_handle(BLACK_PEN);
    dc->brush = gdi_stock_handle(WHITE_BRUSH);
    dc->font = gdi_stock_handle(SYSTEM_FONT);
    dc->bitmap = kind == DC_KIND_MEMORY ? gdi_stock_handle(GDI_STOCK_BITMAP) : NULL;
    return dc;
}

HDC dc_add(GdiDC *dc)
{
    HDC hdc = (HDC)gdi_handle_alloc(context_object_type(dc->kind), dc);
    if (!hdc) {
        dc_release(NULL, dc);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    gdi_object_selected(dc->pen);
    gdi_object_selected(dc->brush);
    gdi_object_selected(dc->font);
    gdi_object_selected(dc->bitmap);
    return hdc;
}

void dc_release(HDC hdc, GdiDC *dc)
{
    if (hdc) {
        gdi_object_deselected(dc->pen);
        gdi_object_deselected(dc->brush);
        gdi_object_deselected(dc->font);
        gdi_object_deselected(dc->bitmap);
        gdi_handle_free(hdc);
    }
    gdi_path_release(dc);
    free(dc);
}

HDC WINAPI CreateDCA(LPCSTR pwszDriver, LPCSTR pwszDevice, LPCSTR pszPort, const DEVMODEA *pdm)
{
    (void)pszPort;
    DeviceCaps caps;
    DWORD error;
    bool found = context_device_caps(pwszDriver, pwszDevice, pdm, &caps, &error);
    if (!gdi_enter("CreateDCA", "\"%s\", \"%s\"", pwszDriver ? pwszDriver : "(null)",
                   pwszDevice ? pwszDevice : "(null)"))
        return NULL;
    HDC hdc = NULL;
    if (found) {
        GdiDC *dc = dc_new(DC_KIND_DEVICE, &caps);
        hdc = dc ? dc_add(dc) : NULL;
    } else if (error) {
        SetLastError(error);
    }
    gdi_unlock();
    return hdc;
}

HDC WINAPI CreateCompatibleDC(HDC hdc)
{
    char name[32];
    if (!gdi_enter("CreateCompatibleDC", "%s", gdi_handle_name(hdc, name)))
        return NULL;
    HDC result = NULL;
    DeviceCaps caps;
    GdiDC *base = hdc ? gdi_dc(hdc) : NULL;
    if (base || !hdc) {
        if (base)
            caps = base->caps;
        else
            printer_display_caps(&caps);
        GdiDC *dc = dc_new(DC_KIND_MEMORY, &caps);
        result = dc ? dc_add(dc) : NULL;
    }
    gdi_unlock();
    return result;
}

BOOL WINAPI DeleteDC(HDC hdc)
{
    char name[32];
    if (!gdi_enter("DeleteDC", "%s", gdi_handle_name(hdc, name)))
        return FALSE;
    GdiDC *dc = gdi_dc(hdc);
    if (dc) {
        if (dc->kind == DC_KIND_METAFILE)
            emf_abort(dc);
        dc_release(hdc, dc);
    }
    gdi_unlock();
    return dc ? TRUE : FALSE;
}

int WINAPI GetDeviceCaps(HDC hdc, int index)
{
    char name[32];
    if (!gdi_enter("GetDeviceCaps", "%s, %d", gdi_handle_name(hdc, name), index))
        return 0;
    GdiDC *dc = gdi_dc(hdc);
    int value = dc ? context_caps(dc, index) : 0;
    gdi_unlock();
    return value;
}
