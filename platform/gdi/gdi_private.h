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
    struct GdiPath *pathData;         /* figures of the path (path.cpp); NULL at creation */
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

/* ---- Path geometry (path.cpp) ----
 * The figures of dc's path, in logical units, kept while dc->path is PATH_OPEN or PATH_CLOSED. The
 * drawing calls add to it while the path is open. Every call returning bool returns false only when
 * memory runs out, and then leaves the path as it was. */

/* Frees the figures. DeleteDC and CloseEnhMetaFile call it before freeing a DC. */
void gdi_path_release(GdiDC *dc);
/* Empties the figures for BeginPath. */
bool gdi_path_reset(GdiDC *dc);
/* True when the path holds no figure at all. */
bool gdi_path_is_empty(GdiDC *dc);
/* Starts a new figure at pt (MoveToEx). */
bool gdi_path_move_to(GdiDC *dc, POINT pt);
/* A line from the current position from to pt (LineTo); starts a figure at from when needed. */
bool gdi_path_line_to(GdiDC *dc, POINT from, POINT pt);
/* A figure of n >= 1 points, closed for Polygon and Rectangle, open for Polyline. */
bool gdi_path_add_lines(GdiDC *dc, const POINT *pts, int n, bool closed);
/* An open figure of n = 3k+1 points: a start and k cubic curves (PolyBezier). */
bool gdi_path_add_beziers(GdiDC *dc, const POINT *pts, int n);
/* The elliptical curve of an EMR_ARC, EMR_CHORD, EMR_PIE or EMR_ELLIPSE (recordType) in box, the
 * inclusive box the record stores; start and end are ignored for the ellipse. */
bool gdi_path_add_arc(GdiDC *dc, const RECT &box, POINT start, POINT end, uint32_t recordType);
/* A rectangle with corners rounded by an ellipse of corner.cx by corner.cy, in the inclusive box. */
bool gdi_path_add_round_rect(GdiDC *dc, const RECT &box, SIZE corner);
/* Replaces the figures by the outline of the area a pen of penWidth units paints along them. */
bool gdi_path_widen(GdiDC *dc, int penWidth);
/* The bounding box of the region the figures enclose under fillMode (ALTERNATE or WINDING), right
 * and bottom exclusive as region boxes are; (0,0,0,0) for an empty region. */
bool gdi_path_region_box(GdiDC *dc, int fillMode, RECT *box);

#endif
