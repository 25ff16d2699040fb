/* Entry points shared between the stand-in's GDI files: device contexts, the handle table and the
 * EMF recorder. */
#ifndef TAVLINQX_GDI_PRIVATE_H
#define TAVLINQX_GDI_PRIVATE_H

#include "../private.h"
#include "emf_format.h"

#include <pthread.h>
#include <string.h>

/* Every GDI entry point runs under the one GDI lock: calls on different device contexts may come
 * from different threads, and DeleteObject touches every metafile that holds the object. While
 * one thread alone has ever called GDI, which is how a print job runs, that thread takes no lock:
 * it marks itself inside with plain stores (g_loneDepth), and the first other thread to call GDI
 * ends this for good, under the lock, with a process-wide memory barrier and a wait until the
 * lone thread is outside (handles.cpp). */
extern std::atomic<bool> g_shared;
extern std::atomic<uintptr_t> g_loneThread;
extern std::atomic<int> g_loneDepth;
/* The calling thread's identity on the lone road: its thread pointer, one register read where
 * pthread_self is a call into the C library; unique among live threads as pthread_self is. */
inline uintptr_t gdi_thread_self(void) { return (uintptr_t)__builtin_thread_pointer(); }
/* Makes the calling thread the lone one if no thread has been and the barrier is available. */
bool gdi_lock_claim(void);
/* The lock itself, for every thread once a second one has come. */
void gdi_lock_shared(void);
void gdi_unlock_shared(void);

inline void gdi_lock(void)
{
    if (g_loneThread.load(std::memory_order_relaxed) == gdi_thread_self() || gdi_lock_claim()) {
        int depth = g_loneDepth.load(std::memory_order_relaxed);
        g_loneDepth.store(depth + 1, std::memory_order_relaxed);
        if (depth > 0)
            return; /* a thread ending the lone road waits for us to leave */
        std::atomic_signal_fence(std::memory_order_seq_cst); /* the other half is that barrier */
        if (!g_shared.load(std::memory_order_relaxed))
            return;
        g_loneDepth.store(0, std::memory_order_release);
    }
    gdi_lock_shared();
}

inline void gdi_unlock(void)
{
    int depth = g_loneDepth.load(std::memory_order_relaxed);
    if (depth > 0 && g_loneThread.load(std::memory_order_relaxed) == gdi_thread_self())
        g_loneDepth.store(depth - 1, std::memory_order_release);
    else
        gdi_unlock_shared();
}

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

/* A metafile DC's recorder. The record writers reach the buffer inline (emf_record_space); the
 * rest is the recorder's (emf_recorder.cpp) and its object table's (emf_objects.cpp). */
struct EmfRecorder {
    struct GdiDC *dc;
    int fd;
    uint8_t *buffer;       /* records not yet written to fd */
    uint32_t buffered;
    uint32_t capacity;     /* of buffer: 64 KiB, or the largest record built in place */
    uint32_t room;         /* bytes a record may take in the buffer now: 0 once the file failed,
                            * and never more than nBytes can still count */
    bool failed;           /* a record was lost: CloseEnhMetaFile fails */
    DWORD error;           /* the last error of the first failure */
    uint32_t nBytes;       /* header included */
    uint32_t nRecords;     /* header included */
    emf::RECTL bounds;     /* device units, inclusive; left > right while nothing drew */
    bool haveFrame;
    emf::RECTL frame;      /* as passed to CreateEnhMetaFileA */
    uint8_t *description;  /* UTF-16LE, zero-padded to 4 bytes; NULL when none */
    uint32_t nDescription; /* UTF-16 units */
    HGDIOBJ *slots;        /* object table: slots[i] holds the object of index i; slot 0 unused */
    uint32_t slotCount;
    uint32_t slotsEnd;     /* every index from here on is free: the searches stop here */
    uint32_t slotsInUse, maxSlotsInUse;
    EmfRecorder *next;     /* the open recorders, newest first */
};

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
    bool hasClip;                     /* false: no clip region (SelectClipRgn(dc, NULL)) */
    RECT clip;                        /* the clip rectangle when hasClip; empty for NULLREGION */
};

/* The live DC behind hdc, or NULL (last error ERROR_INVALID_HANDLE) for a null, stale or
 * non-DC handle. Call with the GDI lock held. Inline, below the handle table. */
inline GdiDC *gdi_dc(HDC hdc);

/* Writes "type#n" for a handle into buf (at least 32 bytes) for trace entries; "null" for 0, the
 * SDK name for a stock object ("BLACK_PEN"), the hex value for a value that is no GDI handle.
 * Needs no lock: the name comes from the handle's value alone. */
const char *gdi_handle_name(HGDIOBJ h, char *buf);

/* Width in logical units WidenPath widens by with the pen selected in dc, or 0 when Windows refuses
 * to widen with that pen: only a geometric pen from ExtCreatePen (width 0 counts as 1) or a
 * CreatePenIndirect pen wider than one unit widens; cosmetic, stock and null pens do not. */
int gdi_selected_pen_width(GdiDC *dc);

/* ---- Recorder (metafile DCs; both calls are no-ops returning true on other DCs) ---- */

/* emf_record's road when the record does not fit in the buffer's room. */
bool emf_record_flushing(GdiDC *dc, const void *rec, uint32_t size);

/* emf_record_space's road when the record does not fit in the buffer's room. */
void *emf_record_space_flushing(GdiDC *dc, uint32_t size);

/* Room for one record of size bytes (a multiple of 4) in a metafile DC's buffer, already counted
 * as written: the caller builds the whole record there before recording anything else. NULL when
 * the record cannot be stored (as emf_record) or memory for an outsize one runs out. */
inline void *emf_record_space(GdiDC *dc, uint32_t size)
{
    EmfRecorder *rec = dc->emf;
    if (size > rec->room)
        return emf_record_space_flushing(dc, size);
    uint8_t *at = rec->buffer + rec->buffered;
    rec->buffered += size;
    rec->room -= size; /* both of its limits shrink by size */
    rec->nBytes += size;
    rec->nRecords++;
    return at;
}

/* Appends one record: rec starts with emf::EMR whose nSize equals size, a multiple of 4.
 * Returns false when the record cannot be stored (the DC's file is then marked failed). Inline, so
 * a record of a fixed size is copied without a call. */
inline bool emf_record(GdiDC *dc, const void *rec, uint32_t size)
{
    if (!dc || dc->kind != DC_KIND_METAFILE)
        return true;
    if (size > dc->emf->room)
        return emf_record_flushing(dc, rec, size);
    memcpy(emf_record_space(dc, size), rec, size);
    return true;
}

/* Appends a 12-byte record of one 32-bit value (EMR_SETROP2, EMR_SELECTOBJECT, ...), as emf_record. */
inline bool emf_record_value(GdiDC *dc, uint32_t iType, uint32_t value)
{
    if (dc->kind != DC_KIND_METAFILE)
        return true;
    uint32_t *rec = (uint32_t *)emf_record_space(dc, sizeof(emf::EMRSETVALUE));
    if (!rec)
        return false;
    rec[0] = iType;
    rec[1] = sizeof(emf::EMRSETVALUE);
    rec[2] = value;
    return true;
}

/* Unions an inclusive rectangle in logical units into the header's rclBounds (converted to device
 * units). Callers skip it while a path is open; an empty rectangle (right < left) is ignored. The
 * stand-in's DCs keep MM_TEXT with no origins, so logical units are device units. */
inline void emf_add_bounds(GdiDC *dc, const emf::RECTL &logical)
{
    if (dc->kind != DC_KIND_METAFILE || logical.right < logical.left || logical.bottom < logical.top)
        return;
    emf::RECTL &b = dc->emf->bounds; /* starts inside out, so the first rectangle becomes it */
    b.left = logical.left < b.left ? logical.left : b.left;
    b.top = logical.top < b.top ? logical.top : b.top;
    b.right = logical.right > b.right ? logical.right : b.right;
    b.bottom = logical.bottom > b.bottom ? logical.bottom : b.bottom;
}

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

/* ======== Below: entry points the object, DC and recorder files share among themselves ======== */

/* ---- Entry (handles.cpp) ---- */

/* Takes the GDI lock, traces "name(args)" and consumes an armed fault. True with the lock held;
 * false when the call must fail (lock released, last error ERROR_NOT_ENOUGH_MEMORY). The
 * arguments are evaluated only while a test hook is in use. */
#define gdi_enter(name, ...) (gdi_lock(), hooks_in_use() ? gdi_enter_hooked(name, __VA_ARGS__) : true)
/* gdi_enter's part once the lock is held and some hook is in use. */
bool gdi_enter_hooked(const char *name, const char *argsFormat, ...) __attribute__((format(printf, 2, 3)));

/* ---- Handle table (handles.cpp); all calls with the GDI lock held ----
 * A handle is a value, never a pointer: a tag, the object type (OBJ_*), the table slot and the
 * slot's generation. Stock objects have fixed slots and never die. */

/* Stock objects beyond GetStockObject's indexes: the 1x1 monochrome bitmap of a new memory DC. */
enum { GDI_STOCK_BITMAP = DC_PEN + 1, GDI_STOCK_COUNT };

/* A new handle of type objType (OBJ_*) for payload, or NULL when the table is full. */
HGDIOBJ gdi_handle_alloc(DWORD objType, void *payload);

struct HandleEntry {
    void *payload;
    uint32_t handle;     /* the live handle's value, so a lookup is one compare; 0 while free */
    uint16_t generation; /* 0..1022 (stock objects 1): of the live handle, or of the next one while free */
    uint8_t type;        /* OBJ_*; 0 while the slot is free */
    bool deletePending;  /* DeleteObject was called while the object was selected */
    bool inMetafile;     /* some metafile's object table may hold it: false spares the searches */
    int selected;        /* DCs that hold the object */
};
/* Every slot a handle's 14 bits can name, in place from the start: a lookup needs no bounds test,
 * and the pages of slots never used are never touched. */
enum { GDI_HANDLE_SLOTS = 0x4000 };
extern HandleEntry g_entries[GDI_HANDLE_SLOTS];

/* The live entry h names, or NULL for a null, stale, junk or foreign value: the slot is the low 14
 * bits of the value, a free slot holds 0, which no other handle value equals, and slot 0, never
 * used, holds 1, which no value naming slot 0 equals (0 included). */
inline HandleEntry *gdi_handle_entry(HGDIOBJ h)
{
    uintptr_t value = (uintptr_t)h;
    HandleEntry *e = &g_entries[value & (GDI_HANDLE_SLOTS - 1)];
    return e->handle == value ? e : NULL;
}
/* gdi_dc's answer for a handle that names no live DC: ERROR_INVALID_HANDLE and NULL. */
GdiDC *gdi_dc_invalid(void);

inline GdiDC *gdi_dc(HDC hdc)
{
    HandleEntry *e = gdi_handle_entry(hdc);
    if (e && (e->type == OBJ_DC || e->type == OBJ_MEMDC || e->type == OBJ_ENHMETADC))
        return (GdiDC *)e->payload;
    return gdi_dc_invalid();
}

/* The type of a live handle (deleted-but-still-selected included), or 0. */
inline DWORD gdi_handle_type(HGDIOBJ h)
{
    HandleEntry *e = gdi_handle_entry(h);
    return e ? e->type : 0;
}
/* The payload of a live handle of type objType (0: any type), or NULL. */
inline void *gdi_handle_payload(HGDIOBJ h, DWORD objType)
{
    HandleEntry *e = gdi_handle_entry(h);
    return e && (objType == 0 || e->type == objType) ? e->payload : NULL;
}
/* The stock index of h (0..GDI_STOCK_COUNT-1), or -1 for any other value. */
int gdi_stock_index(HGDIOBJ h);
/* The stock index of a live entry, or -1: stock object i lives in slot i+1, and only it does. */
inline int gdi_entry_stock_index(const HandleEntry *e)
{
    uint32_t slot = (uint32_t)(e - g_entries);
    return slot >= 1 && slot <= GDI_STOCK_COUNT ? (int)slot - 1 : -1;
}
/* The fixed handle of stock object i, or NULL for an index that names none. */
HGDIOBJ gdi_stock_handle(int i);
/* Frees the slot of a DC or metafile handle (its payload is the caller's to free). */
void gdi_handle_free(HGDIOBJ h);
/* Frees a dead object's payload and its slot. */
void gdi_object_release(HandleEntry *e);
/* Selection counting: an object DeleteObject was called on while selected dies when the last DC
 * lets it go. */
inline void gdi_object_selected(HGDIOBJ h)
{
    HandleEntry *e = gdi_handle_entry(h);
    if (e)
        e->selected++;
}
inline void gdi_object_deselected(HGDIOBJ h)
{
    HandleEntry *e = gdi_handle_entry(h);
    if (e && e->selected > 0 && --e->selected == 0 && e->deletePending)
        gdi_object_release(e);
}
/* The number of DCs that hold h. */
int gdi_object_holders(HGDIOBJ h);
/* DeleteObject's part for the live, non-stock object of e: frees it now, or marks it to die at its
 * last deselection. */
inline void gdi_object_delete(HandleEntry *e)
{
    if (e->selected > 0)
        e->deletePending = true;
    else
        gdi_object_release(e);
}

/* ---- Object payloads ---- */

#define GDI_MAX_STYLE_ENTRIES 16

struct GdiPen {
    bool ext;           /* made by ExtCreatePen: recorded as EMR_EXTCREATEPEN */
    DWORD style;        /* lopnStyle / elpPenStyle */
    DWORD width;
    COLORREF color;
    UINT brushStyle;    /* ext pens: elpBrushStyle */
    ULONG_PTR hatch;    /* ext pens: elpHatch as passed */
    DWORD numEntries;   /* PS_USERSTYLE entries */
    DWORD entries[GDI_MAX_STYLE_ENTRIES];
};

struct GdiBrush {
    UINT style;         /* as GetObjectA reports it: BS_SOLID, BS_HATCHED, BS_PATTERN, BS_DIBPATTERN */
    COLORREF color;
    ULONG_PTR hatch;    /* hatch index, the pattern bitmap's handle, or the caller's packed DIB */
    uint32_t recordType; /* EMR_CREATEBRUSHINDIRECT, EMR_CREATEMONOBRUSH or EMR_CREATEDIBPATTERNBRUSHPT */
    uint32_t iUsage;    /* pattern records */
    uint8_t *dib;       /* pattern records: BITMAPINFO (cbBmi bytes) then the bits (cbBits bytes) */
    uint32_t cbBmi, cbBits;
};

struct GdiBitmap {
    LONG width, height;
    LONG widthBytes;    /* rows are word aligned, as GDI keeps device bitmaps */
    WORD bitsPixel;     /* 1, 4, 8, 16, 24 or 32 */
    uint8_t *bits;      /* top-down rows */
};

/* The stock payloads (pens.cpp, brushes.cpp, bitmaps.cpp); NULL for indexes of other types. */
void *pen_stock(int stockIndex);
void *brush_stock(int stockIndex);
GdiBitmap *bitmap_stock(void);

/* Frees the payload of a dead object (objects.cpp). */
void gdi_object_free(DWORD objType, void *payload);
/* A block for a GdiPen or GdiBrush, or NULL when memory runs out, and its release (also by
 * gdi_object_free). Released blocks are kept for the next ones: a drawing call's pen and brush
 * reach no allocator. */
void *gdi_payload_new(void);
void gdi_payload_delete(void *payload);

/* ---- Device contexts (dc.cpp) ---- */

/* A new DC of kind with caps and the defaults of a fresh DC (BLACK_PEN, WHITE_BRUSH, SYSTEM_FONT,
 * the stock bitmap in a memory DC), or NULL (ERROR_NOT_ENOUGH_MEMORY). */
GdiDC *dc_new(DcKind kind, const DeviceCaps *caps);
/* The handle for a new DC; on failure (ERROR_NOT_ENOUGH_MEMORY) dc is released and NULL returned. */
HDC dc_add(GdiDC *dc);
/* Lets go of everything dc selects, frees it and its handle (hdc may be NULL before dc_add). */
void dc_release(HDC hdc, GdiDC *dc);

/* ---- Devices (printers.cpp) ---- */

/* The caps of the display: what a NULL reference device means. */
void printer_display_caps(DeviceCaps *caps);
/* The caps of the installed device named device (case-insensitive), with devmode's orientation
 * and paper applied to printers. False when no such device is installed. May ask the CUPS server:
 * never call it with the GDI lock held. */
bool printer_caps(const char *device, const DEVMODEA *devmode, DeviceCaps *caps);
/* Appends name to a list of NUL-terminated names that ends with an empty one (*used bytes before
 * that end). False, with the list unchanged, when it would not fit in size bytes. */
bool printer_list_add(char *names, size_t size, size_t *used, const char *name);

/* ---- CUPS queues (queues.cpp); each call is one lookup on a connection of its own ---- */

enum QueueLookup {
    QUEUE_FOUND = 1,  /* the server has the queue: caps filled */
    QUEUE_UNKNOWN,    /* the server lists queues, not this one */
    QUEUE_NO_QUEUES,  /* $TAVLINQX_CUPS=off, no server answers, or it lists no queue */
};
/* The caps of the queue named name (case-insensitive): its default paper, or the paper devmode
 * chooses where the queue supports it, at its default resolution, in devmode's orientation. */
QueueLookup queue_caps(const char *name, const DEVMODEA *devmode, DeviceCaps *caps);
/* Lists the server's queues as printer_list_add does, CUPS's default destination first. Returns
 * how many, 0 as for QUEUE_NO_QUEUES, or -1 when they do not fit in size bytes. */
int queue_names(char *names, size_t size);

/* ---- Recorder lifetime (emf_recorder.cpp) ---- */

/* DeleteDC of an open metafile DC: the file is closed as it stands, without header or EOF. */
void emf_abort(GdiDC *dc);

/* ---- Metafile object table (emf_objects.cpp) ---- */

/* Records the selection of h (whose live entry is e, not a stock object's) into a metafile DC: its
 * creation record on first use in this DC, then EMR_SELECTOBJECT. False (nothing recorded) when a
 * record cannot be written. */
bool emf_select_object(GdiDC *dc, HGDIOBJ h, HandleEntry *e);
/* DeleteObject's records: EMR_DELETEOBJECT in every open metafile whose table holds h (callers
 * skip it for an entry not inMetafile). */
void emf_forget_object(HGDIOBJ h);

/* Creation records, one per object family (pens.cpp, brushes.cpp). */
bool pen_record_create(GdiDC *dc, const GdiPen *pen, uint32_t slot);
bool brush_record_create(GdiDC *dc, const GdiBrush *brush, uint32_t slot);

/* ---- DIB conversion (dib.cpp) ---- */

/* Bytes per row of a DIB (4-byte aligned) and of a device bitmap (2-byte aligned); 0 when the
 * row would not fit in 31 bits. */
uint32_t dib_stride(int64_t width, int bitsPixel);
uint32_t ddb_stride(int64_t width, int bitsPixel);

/* Whether GDI takes a DIB with this header (for a pattern brush or a transfer), with its row stride
 * and line count. Only the 40-byte header: the stand-in does not read the larger V4/V5 headers. */
bool dib_header_ok(const BITMAPINFOHEADER *hdr, uint32_t *stride, uint32_t *height);
/* Bytes of the colour table that follows such a header in a caller's BITMAPINFO, as GDI counts
 * them at every depth: the three masks of BI_BITFIELDS, then biClrUsed colours (at most
 * DIB_MAX_COLOURS), or all 2^bpp when it is 0 for 1-, 4- and 8-bit DIBs. */
enum { DIB_MAX_COLOURS = 256 };
uint32_t dib_table_bytes(const BITMAPINFOHEADER *hdr, UINT usage);
/* A packed DIB of bm in its own format, as pattern brush records carry it: BITMAPINFOHEADER with
 * biSizeImage, the default colour table (4 and 8 bpp) or 5-5-5 masks (16 bpp), bottom-up rows.
 * malloc'd; NULL when memory runs out. */
uint8_t *dib_pack_bitmap(const GdiBitmap *bm, uint32_t *cbBmi, uint32_t *cbBits);
/* A normalised copy of a caller's packed DIB (full colour table, bottom-up rows, biClrUsed 0,
 * biSizeImage filled in); NULL (last error set) when the header is not one GDI accepts. */
uint8_t *dib_copy_packed(const void *packed, UINT usage, uint32_t *cbBmi, uint32_t *cbBits);

#endif
