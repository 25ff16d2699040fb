/* TAVLINQX.DLL: the ten exports and the records that cross the boundary.
 *
 * Every argument of every export is a pointer; every export returns 0 for success and -1 for
 * failure. The Win32 types they take come from tavlinqx_win32.h: <windows.h> on Windows, the same
 * names declared for other hosts elsewhere.
 */
#ifndef TAVLINQX_H
#define TAVLINQX_H

#include "tavlinqx_win32.h"

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The drawing-mode record. The library reads these five fields and nothing beyond them. */
typedef struct DrawMode32 {
    INT RasterOp;       /* binary raster operation (R2_ value) for SetROP2 */
    INT BkMode;         /* TRANSPARENT (1) or OPAQUE (2) */
    COLORREF BkColor;
    COLORREF TextColor;
    INT UseBkMode;      /* bitmap transfer only: non-zero applies BkMode, zero selects OPAQUE */
} DrawMode32;

/* The point data of the two poly-polygon output styles. */
typedef struct PolyPolygonPoints {
    const INT *Counts;     /* one point count per polygon */
    const POINTS *Points;  /* every polygon's points, back to back */
} PolyPolygonPoints;

/* The job handed to the print program. Nothing after the terminator of MetafilePath is read. */
typedef struct PrintJob32 {
    INT JobNumber;         /* must not be 0 unless PRINTJOB_ALLOW_ZERO is set in Flags */
    DWORD Flags;           /* copied whole into the job file */
    CHAR MetafilePath[MAX_PATH];
} PrintJob32;

#define PRINTJOB_ALLOW_ZERO 0x2

/* The print program's description. */
typedef struct PrintProgram32 {
    DWORD Size;            /* must be sizeof(PrintProgram32), 396 */
    DWORD Reserved;        /* not read */
    CHAR RequiredName1[32];
    CHAR AuxFile[32];      /* appended to ProgramDir for the job file's second path */
    CHAR RequiredName2[32];
    CHAR ProgramFile[32];  /* appended to ProgramDir on the command line */
    CHAR ProgramDir[MAX_PATH]; /* a plain prefix: ends with a backslash when not empty */
} PrintProgram32;

/* Output32 style codes (the host's output-style names). */
#define OS_POLYBEZIER 1
#define OS_ARC 3
#define OS_SCANLINES 4
#define OS_RECTANGLE 6
#define OS_ELLIPSE 7
#define OS_POLYLINE 18
#define OS_WINDPOLYGON 20
#define OS_ALTPOLYGON 22
#define OS_PIE 23
#define OS_CHORD 39
#define OS_CIRCLE 55
#define OS_ROUNDRECT 72
#define OS_BEGINNSCAN 80
#define OS_ENDNSCAN 81
#define OS_WINDPOLYPOLYGON 0x4014
#define OS_ALTPOLYPOLYGON 0x4016

#ifdef _WIN32
#define TAVLINQX_API __stdcall
#else
#define TAVLINQX_API
#endif

/* Ordinal 2. Creates the job's metafile on path against the printer's reference device and stores
 * its device context in *dcSlot. Returns 0, or -1 (slot untouched) when the printer is unknown or
 * the file cannot be created. devMode and frame may be null; unused5 and unused6 are not read. */
INT TAVLINQX_API GetEmfFileDC32(const DEVMODEA *devMode, LPCSTR deviceName, LPCSTR path,
                                const RECT *frame, const void *unused5, const void *unused6,
                                HDC *dcSlot);

/* Ordinal 3. Completes the metafile in *dcSlot; the file stays on disk. Always 0. */
INT TAVLINQX_API CloseEmfFile32(HDC *dcSlot);

/* Ordinal 4. Reselects *reselectSlot, deletes *objectSlot, and empties both slots. Always 0. */
INT TAVLINQX_API DeleteObject32(HDC *dc, HGDIOBJ *objectSlot, HGDIOBJ *reselectSlot);

/* Ordinal 5. Draws one output-style call. Returns 0; the path-bracket codes 80 and 81 return -1
 * when their pen or brush could not be created. */
INT TAVLINQX_API Output32(HDC *dc, const WORD *style, const WORD *secondCode, const WORD *count,
                          const void *points, LOGPEN *pen, const DWORD *penStyleBits,
                          LOGBRUSH *brush, const DrawMode32 *drawMode, HGDIOBJ *newPen,
                          HGDIOBJ *oldPen, HGDIOBJ *newBrush, HGDIOBJ *oldBrush,
                          HGDIOBJ *patternBitmap, const RECT *clip);

/* Ordinal 6. Transfers a band of a device bitmap, or a brush-only raster operation. Always 0. */
INT TAVLINQX_API Raster32(HDC *dc, const INT *destX, const INT *destY, const INT *destWidth,
                          const INT *destHeight, const BITMAP *bitmap, const INT *srcX,
                          const INT *firstRow, const INT *srcWidth, const INT *lineCount,
                          const DWORD *rop, LOGBRUSH *brush, const DrawMode32 *drawMode);

/* Ordinal 7. Transfers a device-independent bitmap. Always 0. */
INT TAVLINQX_API Dib32(HDC *dc, const INT *destX, const INT *destY, const INT *destWidth,
                       const INT *destHeight, const INT *srcX, const INT *srcY,
                       const INT *srcWidth, const INT *srcHeight, const void *bits,
                       const BITMAPINFO *info, const DWORD *rop, LOGBRUSH *brush,
                       const DrawMode32 *drawMode);

/* Ordinal 8. Draws one run of text. Returns 0, or -1 when the font cannot be created. */
INT TAVLINQX_API TextOut32(HDC *dc, const LOGFONTA *font, const INT *x, const INT *y,
                           const DWORD *options, const RECT *rect, LPCSTR text,
                           const DWORD *length, const INT *advances, const DrawMode32 *drawMode);

/* Ordinal 9. Reserves a unique spool file name in the Windows directory's temp folder and writes
 * its path into path (MAX_PATH bytes). Always 0. */
INT TAVLINQX_API GetEmfFilePath32(LPSTR path);

/* Ordinal 10. Replaces the clip region by *clip; a null clip changes nothing. Always 0. */
INT TAVLINQX_API SetClipRect32(HDC *dc, const RECT *clip);

/* Ordinal 11. Writes the job file and starts the print program. Returns 0 once it has started,
 * else -1. */
INT TAVLINQX_API ZVLPrintEMF32(const PrintJob32 *job, const PrintProgram32 *program);

#ifdef __cplusplus
}
#endif

/* The boundary layouts, fixed whatever the compiler: a host that packs or aligns records its own
 * way (a #pragma pack in force where it includes this header, say) fails here, not at run time. */
#ifdef __cplusplus
#define TAVLINQX_STATIC_ASSERT static_assert
#else
#define TAVLINQX_STATIC_ASSERT _Static_assert
#endif
TAVLINQX_STATIC_ASSERT(sizeof(DrawMode32) == 20, "DrawMode32 is five 32-bit fields");
TAVLINQX_STATIC_ASSERT(offsetof(DrawMode32, TextColor) == 12, "DrawMode32 text colour");
TAVLINQX_STATIC_ASSERT(offsetof(DrawMode32, UseBkMode) == 16, "DrawMode32 switch");
TAVLINQX_STATIC_ASSERT(sizeof(PrintJob32) == 268, "PrintJob32 size");
TAVLINQX_STATIC_ASSERT(offsetof(PrintJob32, MetafilePath) == 8, "PrintJob32 path");
TAVLINQX_STATIC_ASSERT(sizeof(PrintProgram32) == 396, "PrintProgram32 size");
TAVLINQX_STATIC_ASSERT(offsetof(PrintProgram32, RequiredName1) == 8, "PrintProgram32 name 1");
TAVLINQX_STATIC_ASSERT(offsetof(PrintProgram32, AuxFile) == 40, "PrintProgram32 aux file");
TAVLINQX_STATIC_ASSERT(offsetof(PrintProgram32, RequiredName2) == 72, "PrintProgram32 name 2");
TAVLINQX_STATIC_ASSERT(offsetof(PrintProgram32, ProgramFile) == 104, "PrintProgram32 program");
TAVLINQX_STATIC_ASSERT(offsetof(PrintProgram32, ProgramDir) == 136, "PrintProgram32 directory");
TAVLINQX_STATIC_ASSERT(sizeof(LOGPEN) == 16, "LOGPEN");
TAVLINQX_STATIC_ASSERT(offsetof(LOGPEN, lopnColor) == 12, "LOGPEN colour");
TAVLINQX_STATIC_ASSERT(sizeof(RECT) == 16, "RECT");
TAVLINQX_STATIC_ASSERT(sizeof(POINTS) == 4, "POINTS");
TAVLINQX_STATIC_ASSERT(sizeof(LOGFONTA) == 60, "LOGFONTA");
TAVLINQX_STATIC_ASSERT(offsetof(LOGFONTA, lfCharSet) == 23, "LOGFONTA character set");
TAVLINQX_STATIC_ASSERT(offsetof(LOGFONTA, lfFaceName) == 28, "LOGFONTA face name");
TAVLINQX_STATIC_ASSERT(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER");
TAVLINQX_STATIC_ASSERT(offsetof(BITMAPINFO, bmiColors) == 40, "BITMAPINFO colour table");
TAVLINQX_STATIC_ASSERT(sizeof(DEVMODEA) == 156, "DEVMODEA");
TAVLINQX_STATIC_ASSERT(offsetof(DEVMODEA, dmFields) == 40, "DEVMODEA fields");
TAVLINQX_STATIC_ASSERT(offsetof(DEVMODEA, dmPaperSize) == 46, "DEVMODEA paper");
TAVLINQX_STATIC_ASSERT(offsetof(DEVMODEA, dmFormName) == 70, "DEVMODEA form name");
/* Records holding pointers: two flat 32-bit pointers in the Windows flavour, the host's pointers
 * in the native one, each at its natural alignment. */
TAVLINQX_STATIC_ASSERT(sizeof(PolyPolygonPoints) == 2 * sizeof(void *), "PolyPolygonPoints is two pointers");
TAVLINQX_STATIC_ASSERT(offsetof(PolyPolygonPoints, Points) == sizeof(void *), "PolyPolygonPoints points");
TAVLINQX_STATIC_ASSERT(offsetof(LOGBRUSH, lbHatch) == 8, "LOGBRUSH hatch");
TAVLINQX_STATIC_ASSERT(sizeof(LOGBRUSH) == 8 + sizeof(void *), "LOGBRUSH");
TAVLINQX_STATIC_ASSERT(offsetof(BITMAP, bmBits) == (sizeof(void *) == 4 ? 20 : 24), "BITMAP bits");
TAVLINQX_STATIC_ASSERT(sizeof(BITMAP) == offsetof(BITMAP, bmBits) + sizeof(void *), "BITMAP");
#if defined(_WIN32) && !defined(_WIN64)
TAVLINQX_STATIC_ASSERT(sizeof(HDC) == 4, "handles are 32-bit values");
#endif
#undef TAVLINQX_STATIC_ASSERT

#endif
