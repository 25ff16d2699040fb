/* Entry points shared between the stand-in's GDI files: device contexts, the handle table and the
 * EMF recorder. */
#ifndef TAVLINQX_GDI_PRIVATE_H
#define TAVLINQX_GDI_PRIVATE_H

#include "../private.h"
#include "emf_format.h"

/* Every GDI entry point runs under the one GDI lock: calls on different device contexts may come
 * from different threads, and DeleteObject touches every metafile that holds the object. */
void gdi_lock(void);
void gdi_unlock(void);

enum DcKind {
    DC_KIND_DEVICE = 1, /* CreateDCA on a printer or DISPLAY: a reference device, draws nowhere */
    DC_KIND_MEMORY,     /* CreateCompatibleDC */
    DC_KIND_METAFILE,   /* CreateEnhMetaFileA */
};

enum PathState {
    PATH_NONE = 0,
    PATH_OPEN,   /* between BeginPath and EndPath: drawing adds to the path */
    PATH_CLOSED, /* after EndPath: WidenPath and FillPath may use it */
};

struct DeviceCaps {
    int horzRes, vertRes;       /* pixels */
    int horzSizeMm, vertSizeMm; /* millimetres */
    int bitsPixel;
    int technology;             /* DT_RASDISPLAY or DT_RASPRINTER */
    int logPixelsX, logPixelsY;
};

struct EmfRecorder; /* private to the recorder */

struct GdiDC {
    DcKind kind;
    DeviceCaps caps;
    int rop2;
    int bkMode;
    int polyFillMode;
    COLORREF bkColor;
    COLORREF textColor;
    UINT textAlign;
    POINT curPos;
    PathState path;
    HGDIOBJ pen, brush, font, bitmap; /* currently selected */
    EmfRecorder *emf;                 /* metafile DCs only */
};

/* The live DC behind hdc, or NULL (last error ERROR_INVALID_HANDLE) for a null, stale or
 * non-DC handle. Call with the GDI lock held. */
GdiDC *gdi_dc(HDC hdc);

/* Writes "type#n" for a handle into buf (at least 32 bytes) for trace entries; "null" for 0. */
const char *gdi_handle_name(HGDIOBJ h, char *buf);

/* Width in logical units of the pen selected in dc, as WidenPath uses it (1 for cosmetic and stock
 * pens, 0 for the null pen). */
int gdi_selected_pen_width(GdiDC *dc);

/* ---- Recorder (metafile DCs; both calls are no-ops returning true on other DCs) ---- */

/* Appends one record: rec starts with emf::EMR whose nSize equals size, a multiple of 4.
 * Returns false when the record cannot be stored (the DC's file is then marked failed). */
bool emf_record(GdiDC *dc, const void *rec, uint32_t size);

/* Unions an inclusive rectangle in logical units into the header's rclBounds (converted to device
 * units). Callers skip it while a path is open; an empty rectangle (right < left) is ignored. */
void emf_add_bounds(GdiDC *dc, const emf::RECTL &logical);

#endif
