/* The scenarios themselves, the checks they share, and the runner both hosts call. */
#include "scenarios.h"

#include "job_report.h"
#include "scenario_emf.h"

#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#ifdef _WIN32
#define SCENARIO_SEPARATOR '\\'
static void scenario_pause(void) { Sleep(20); }
#else
#include <unistd.h>
#define SCENARIO_SEPARATOR '/'
static void scenario_pause(void) { usleep(20000); }
#endif

/* What a scenario leaves in the output folder for the comparison of both flavours: nothing, its
 * metafile <name>.emf, or the report of the print program it handed a job to, <name>.job. */
enum ScenarioOutput { SCENARIO_NO_EMF, SCENARIO_EMF, SCENARIO_JOB };

/* One scenario being run: the metafile path it writes and how many of its checks failed; when
 * page is set, the drawing scenarios draw on it instead of a metafile (pageDrawn says they did). */
struct ScenarioRun {
    const ScenarioExports *x;
    const char *name;
    char path[MAX_PATH];
    int failures;
    HDC page;
    bool pageDrawn;
};

/* A value no metafile device context takes, to show which slots a call leaves alone. */
static HDC const kJunkDC = (HDC)(uintptr_t)0x5A5A0F0Fu;
/* A picture frame in hundredths of a millimetre with no two sides alike. */
static const RECT kFrame = {100, 200, 20999, 29699};

static void scenario_fail(ScenarioRun *run, const char *format, ...)
{
    va_list ap;
    va_start(ap, format);
    printf("FAIL %s: ", run->name);
    vprintf(format, ap);
    printf("\n");
    va_end(ap);
    run->failures++;
}

static bool scenario_file_exists(const char *path)
{
    FILE *file = fopen(path, "rb");
    if (file == NULL)
        return false;
    fclose(file);
    return true;
}

/* Checks that the scenario's path holds a metafile the project's reader accepts (complete, with a
 * header that agrees with its records) and, when frame is given, carrying that frame unchanged. */
static void scenario_check_emf(ScenarioRun *run, const RECT *frame)
{
    int32_t got[4];
    char error[256];
    if (ScenarioEmfLoad(run->path, got, error, sizeof error) != 0) {
        scenario_fail(run, "%s: %s", run->path, error);
        return;
    }
    if (frame != NULL && (got[0] != frame->left || got[1] != frame->top || got[2] != frame->right ||
                          got[3] != frame->bottom))
        scenario_fail(run, "rclFrame (%d,%d,%d,%d), expected (%d,%d,%d,%d)", (int)got[0], (int)got[1],
                      (int)got[2], (int)got[3], (int)frame->left, (int)frame->top,
                      (int)frame->right, (int)frame->bottom);
}

/* A spool name is <Windows directory>\temp\EMF<1 to 4 hex digits>.TMP, letter case aside. */
static bool scenario_is_spool_name(const char *path)
{
    const char *name = strrchr(path, '\\');
    if (name == NULL || name - path < 5 || strncasecmp(name - 5, "\\temp", 5) != 0)
        return false;
    name++;
    if (strncasecmp(name, "EMF", 3) != 0)
        return false;
    size_t digits = strspn(name + 3, "0123456789abcdefABCDEF");
    return digits >= 1 && digits <= 4 && strcasecmp(name + 3 + digits, ".TMP") == 0;
}

/* GetEmfFilePath32 makes a name; then a metafile on the DISPLAY printer with a frame, closed
 * empty. Arguments 5 and 6 hold pointers that must not be read. */
static void scenario_empty_job(ScenarioRun *run)
{
    CHAR spool[MAX_PATH];
    memset(spool, 0xCC, sizeof spool);
    if (run->x->GetEmfFilePath32(spool) != 0)
        scenario_fail(run, "GetEmfFilePath32 did not return 0");
    if (memchr(spool, '\0', sizeof spool) == NULL || !scenario_is_spool_name(spool))
        scenario_fail(run, "GetEmfFilePath32 made no spool name: \"%.*s\"", MAX_PATH, spool);

    const void *unread = (const void *)(uintptr_t)0x10;
    HDC slot = kJunkDC;
    int result = run->x->GetEmfFileDC32(NULL, "DISPLAY", run->path, &kFrame, unread, unread,
                                        &slot);
    if (result != 0) {
        scenario_fail(run, "GetEmfFileDC32 on DISPLAY failed");
        return;
    }
    if (slot == kJunkDC || slot == NULL)
        scenario_fail(run, "GetEmfFileDC32 succeeded but left the slot without a DC");
    HDC dc = slot;
    if (run->x->CloseEmfFile32(&slot) != 0)
        scenario_fail(run, "CloseEmfFile32 did not return 0");
    if (slot != dc)
        scenario_fail(run, "CloseEmfFile32 changed its slot");
    scenario_check_emf(run, &kFrame);
}

/* The same job with no frame: the platform sizes the frame from the (empty) drawing. */
static void scenario_empty_job_null_frame(ScenarioRun *run)
{
    HDC slot = kJunkDC;
    if (run->x->GetEmfFileDC32(NULL, "DISPLAY", run->path, NULL, NULL, NULL, &slot) != 0) {
        scenario_fail(run, "GetEmfFileDC32 on DISPLAY with a null frame failed");
        return;
    }
    if (slot == kJunkDC || slot == NULL)
        scenario_fail(run, "GetEmfFileDC32 succeeded but left the slot without a DC");
    if (run->x->CloseEmfFile32(&slot) != 0)
        scenario_fail(run, "CloseEmfFile32 did not return 0");
    scenario_check_emf(run, NULL);
}

/* A device name no printer has: -1 and the slot as it was; the runner checks that no file was
 * created. */
static void scenario_unknown_printer(ScenarioRun *run)
{
    HDC slot = kJunkDC;
    int result = run->x->GetEmfFileDC32(NULL, "NO SUCH PRINTER", run->path, &kFrame, NULL, NULL,
                                        &slot);
    if (result != -1)
        scenario_fail(run, "GetEmfFileDC32 on an unknown printer did not return -1");
    if (slot != kJunkDC)
        scenario_fail(run, "GetEmfFileDC32 on an unknown printer wrote its slot");
}

/* CloseEmfFile32 on slots that hold no open metafile DC: null, a value that was never a handle,
 * and the DC of a metafile closed already. Each returns 0 and the closed file stays complete. */
static void scenario_close_junk_slot(ScenarioRun *run)
{
    const HDC junk[] = {NULL, kJunkDC};
    for (size_t i = 0; i < sizeof junk / sizeof junk[0]; i++) {
        HDC slot = junk[i];
        if (run->x->CloseEmfFile32(&slot) != 0 || slot != junk[i])
            scenario_fail(run, "CloseEmfFile32 on junk slot %p: not 0, or slot changed",
                          (void *)junk[i]);
    }

    HDC slot = NULL;
    if (run->x->GetEmfFileDC32(NULL, "DISPLAY", run->path, &kFrame, NULL, NULL, &slot) != 0) {
        scenario_fail(run, "GetEmfFileDC32 on DISPLAY failed");
        return;
    }
    if (run->x->CloseEmfFile32(&slot) != 0 || run->x->CloseEmfFile32(&slot) != 0)
        scenario_fail(run, "closing a metafile DC twice did not return 0 both times");
    scenario_check_emf(run, &kFrame);
}

/* ---- Drawing jobs: SetClipRect32, Output32 and DeleteObject32 on the DISPLAY printer ---- */

/* The record types the drawing scenarios count ([MS-EMF] 2.1.1). */
enum ScenarioRecordType {
    SCENARIO_EMR_SETROP2 = 20,
    SCENARIO_EMR_INTERSECTCLIPRECT = 30,
    SCENARIO_EMR_SELECTOBJECT = 37,
    SCENARIO_EMR_DELETEOBJECT = 40,
    SCENARIO_EMR_BEGINPATH = 59,
    SCENARIO_EMR_FILLPATH = 62,
    SCENARIO_EMR_EXTSELECTCLIPRGN = 75,
    SCENARIO_EMR_CREATEMONOBRUSH = 93,
    SCENARIO_EMR_CREATEDIBPATTERNBRUSHPT = 94,
};

/* Drawing modes with no two fields alike, and clip rectangles with no two sides alike. */
static const DrawMode32 kModeCopy = {R2_COPYPEN, TRANSPARENT, 0x00102030, 0x00405060, 1};
static const DrawMode32 kModeMask = {R2_MASKPEN, OPAQUE, 0x00C0B0A0, 0x00080706, 0};
static const RECT kClipA = {5, 6, 700, 500};
static const RECT kClipB = {40, 30, 300, 250};

/* What a slot holds when nothing wrote it. */
static HGDIOBJ const kUntouched = (HGDIOBJ)(uintptr_t)0x0BADF00Du;

/* Opens the scenario's metafile on DISPLAY with kFrame; NULL after reporting the failure. */
static HDC scenario_open(ScenarioRun *run)
{
    if (run->page != NULL) {
        run->pageDrawn = true;
        return run->page;
    }
    HDC dc = NULL;
    if (run->x->GetEmfFileDC32(NULL, "DISPLAY", run->path, &kFrame, NULL, NULL, &dc) != 0 ||
        dc == NULL) {
        scenario_fail(run, "GetEmfFileDC32 on DISPLAY failed");
        return NULL;
    }
    return dc;
}

static void scenario_close(ScenarioRun *run, HDC dc)
{
    if (run->page != NULL)
        return;
    if (run->x->CloseEmfFile32(&dc) != 0)
        scenario_fail(run, "CloseEmfFile32 did not return 0");
    scenario_check_emf(run, &kFrame);
}

static void scenario_expect_records(ScenarioRun *run, uint32_t type, long expected)
{
    if (run->page != NULL)
        return;
    long count = ScenarioEmfCount(run->path, type);
    if (count != expected)
        scenario_fail(run, "%ld records of type %u, expected %ld", count, type, expected);
}

/* One Output32 call. The pen and brush are copied, so a row whose realization rewrites its
 * record (PS_INSIDEFRAME, BS_PATTERN) leaves the table as it was. */
struct OutputRow {
    const char *what;
    WORD style, second, count;
    const void *points;
    const LOGPEN *pen;
    DWORD penBits;
    const LOGBRUSH *brush;
    const DrawMode32 *mode;
    const RECT *clip;
};

/* Calls Output32 with the row and slots that hold kUntouched; every code but 80 must leave them
 * so. Returns the result. */
static INT scenario_output(ScenarioRun *run, HDC dc, const OutputRow *row, LOGPEN *pen,
                           LOGBRUSH *brush)
{
    HGDIOBJ slots[5] = {kUntouched, kUntouched, kUntouched, kUntouched, kUntouched};
    INT result = run->x->Output32(&dc, &row->style, &row->second, &row->count, row->points, pen,
                                  &row->penBits, brush, row->mode, &slots[0], &slots[1],
                                  &slots[2], &slots[3], &slots[4], row->clip);
    for (int i = 0; i < 5; i++)
        if (slots[i] != kUntouched)
            scenario_fail(run, "%s: Output32 wrote handle slot %d", row->what, i + 1);
    return result;
}

/* Runs the rows in order; each must return 0. */
static void scenario_output_rows(ScenarioRun *run, HDC dc, const OutputRow *rows, size_t n)
{
    for (size_t i = 0; i < n; i++) {
        LOGPEN pen;
        LOGBRUSH brush;
        if (rows[i].pen != NULL)
            pen = *rows[i].pen;
        if (rows[i].brush != NULL)
            brush = *rows[i].brush;
        INT result = scenario_output(run, dc, &rows[i], rows[i].pen ? &pen : NULL,
                                     rows[i].brush ? &brush : NULL);
        if (result != 0)
            scenario_fail(run, "%s: Output32 returned %d", rows[i].what, (int)result);
    }
}

#define SCENARIO_ROWS(t) t, sizeof t / sizeof t[0]

/* Every call below but two draws a rectangle, so the clip records can be told apart. */
static const POINTS kBox[] = {{20, 30}, {400, 300}, {60, 40}};
static const LOGPEN kPenRed3 = {PS_SOLID, {3, 0}, 0x000000C0};
static const LOGBRUSH kBrushGreen = {BS_SOLID, 0x0000A000, 0};

/* SetClipRect32 with a null rectangle writes nothing; two rectangles in a row each replace the
 * clip region: a null region select, then the rectangle, every time. */
static void scenario_clip_rects(ScenarioRun *run)
{
    HDC dc = scenario_open(run);
    if (dc == NULL)
        return;
    const OutputRow draw = {"rectangle", OS_RECTANGLE, 0, 2, kBox, &kPenRed3, 0, &kBrushGreen,
                            &kModeCopy, NULL};
    if (run->x->SetClipRect32(&dc, NULL) != 0)
        scenario_fail(run, "SetClipRect32 with a null rectangle did not return 0");
    scenario_output_rows(run, dc, &draw, 1);
    if (run->x->SetClipRect32(&dc, &kClipA) != 0 || run->x->SetClipRect32(&dc, &kClipB) != 0)
        scenario_fail(run, "SetClipRect32 did not return 0");
    scenario_output_rows(run, dc, &draw, 1);
    scenario_close(run, dc);
    scenario_expect_records(run, SCENARIO_EMR_EXTSELECTCLIPRGN, 2);
    scenario_expect_records(run, SCENARIO_EMR_INTERSECTCLIPRECT, 2);
}

/* Points for the fixed-count shapes: a box, the rounding ellipse or the arc's start and end. */
static const POINTS kArc[] = {{10, 20}, {310, 220}, {310, 120}, {160, 20}};
static const POINTS kRound[] = {{50, 60}, {250, 160}, {30, 20}};
static const LOGPEN kPenBlue2 = {PS_SOLID, {2, 0}, 0x00C00000};
static const LOGBRUSH kBrushHatched = {BS_HATCHED, 0x00008080, HS_DIAGCROSS};

/* The pen-and-brush road's shapes, each with and without a clip rectangle (the arc family and the
 * rounded rectangle never clip), the short lists that draw nothing, the unlisted codes, and a
 * null drawing mode, which writes no raster operation. */
static void scenario_shapes(ScenarioRun *run)
{
    static const OutputRow rows[] = {
        {"rectangle clipped", OS_RECTANGLE, 0, 2, kBox, &kPenBlue2, 0, &kBrushGreen, &kModeCopy, &kClipA},
        {"rectangle", OS_RECTANGLE, 0, 2, kBox, &kPenBlue2, 0, &kBrushGreen, &kModeMask, NULL},
        {"ellipse clipped", OS_ELLIPSE, 0, 2, kArc, &kPenRed3, 0, &kBrushHatched, &kModeCopy, &kClipB},
        {"ellipse", OS_ELLIPSE, 0, 2, kArc, &kPenRed3, 0, &kBrushHatched, NULL, NULL},
        {"circle clipped", OS_CIRCLE, 0, 2, kRound, &kPenBlue2, 0, &kBrushGreen, &kModeCopy, &kClipA},
        {"circle", OS_CIRCLE, 0, 2, kRound, &kPenBlue2, 0, NULL, &kModeCopy, NULL},
        {"arc", OS_ARC, 0, 4, kArc, &kPenRed3, 0, &kBrushGreen, &kModeMask, &kClipB},
        {"pie", OS_PIE, 0, 4, kArc, &kPenBlue2, 0, &kBrushHatched, &kModeCopy, &kClipB},
        {"chord", OS_CHORD, 0, 4, kArc, &kPenRed3, 0, &kBrushGreen, NULL, NULL},
        {"rounded rectangle", OS_ROUNDRECT, 0, 3, kRound, &kPenBlue2, 0, &kBrushGreen, &kModeCopy, &kClipA},
        {"rounded rectangle of 2 points", OS_ROUNDRECT, 0, 2, kRound, &kPenBlue2, 0, &kBrushGreen, &kModeCopy, NULL},
        {"arc of 3 points", OS_ARC, 0, 3, kArc, &kPenRed3, 0, &kBrushGreen, &kModeCopy, NULL},
        {"code 0", 0, 0, 2, kBox, &kPenRed3, 0, &kBrushGreen, &kModeMask, &kClipA},
        {"code 8", 8, 0, 2, kBox, &kPenBlue2, 0, &kBrushHatched, &kModeCopy, &kClipA},
        {"code 0x4000", 0x4000, 0, 2, kBox, &kPenRed3, 0, &kBrushGreen, NULL, &kClipA},
        {"code 0x4015", 0x4015, 0, 2, kBox, &kPenBlue2, 0, &kBrushGreen, &kModeCopy, &kClipA},
    };
    HDC dc = scenario_open(run);
    if (dc == NULL)
        return;
    scenario_output_rows(run, dc, SCENARIO_ROWS(rows));
    scenario_close(run, dc);
    /* Rows with a drawing mode; of the clip rectangles only those of the clipping shapes. */
    scenario_expect_records(run, SCENARIO_EMR_SETROP2, 13);
    scenario_expect_records(run, SCENARIO_EMR_INTERSECTCLIPRECT, 3);
}

/* An asymmetric figure of seven points, and a scan line at y 90 with three segments. */
static const POINTS kFigure[] = {{10, 20}, {210, 40}, {160, 230}, {90, 120}, {30, 180},
                                 {250, 250}, {15, 240}};
static const POINTS kScan[] = {{-1, 90}, {10, 60}, {80, 85}, {120, 300}};
static const INT kFigureCounts[] = {4, 3};
static const PolyPolygonPoints kFigures = {kFigureCounts, kFigure};
static const LOGPEN kPenGrey1 = {PS_SOLID, {1, 0}, 0x00808080};

/* The point-list road's codes with and without a clip rectangle and a drawing mode, a Bezier list
 * longer than one segment, and second code 1 on a polyline and on standalone scanlines, which
 * take a one-unit pen in the brush's colour. */
static void scenario_point_lists(ScenarioRun *run)
{
    static const OutputRow rows[] = {
        {"bezier clipped", OS_POLYBEZIER, 0, 4, kFigure, &kPenRed3, 0, &kBrushGreen, &kModeCopy, &kClipA},
        {"bezier of 7 points", OS_POLYBEZIER, 0, 7, kFigure, &kPenGrey1, 0, NULL, NULL, NULL},
        {"polyline clipped", OS_POLYLINE, 0, 7, kFigure, &kPenBlue2, 0, &kBrushGreen, &kModeMask, &kClipB},
        {"polyline", OS_POLYLINE, 0, 5, kFigure, &kPenRed3, 0, NULL, &kModeCopy, NULL},
        {"winding polygon clipped", OS_WINDPOLYGON, 0, 7, kFigure, &kPenBlue2, 0, &kBrushHatched,
         &kModeCopy, &kClipA},
        {"alternate polygon", OS_ALTPOLYGON, 0, 7, kFigure, &kPenRed3, 0, &kBrushGreen, NULL, NULL},
        {"winding poly-polygon", OS_WINDPOLYPOLYGON, 0, 2, &kFigures, &kPenBlue2, 0, &kBrushGreen, &kModeMask, NULL},
        {"alternate poly-polygon clipped", OS_ALTPOLYPOLYGON, 0, 2, &kFigures, &kPenRed3, 0,
         &kBrushHatched, &kModeCopy, &kClipB},
        {"polyline, second code 1", OS_POLYLINE, 1, 4, kFigure, &kPenRed3, 0x2200, &kBrushHatched,
         &kModeMask, &kClipA},
        {"scanlines, second code 1", OS_SCANLINES, 1, 4, kScan, &kPenRed3, 0, &kBrushGreen, &kModeCopy, &kClipA},
        {"scanlines, second code 1, no brush", OS_SCANLINES, 1, 4, kScan, &kPenBlue2, 0, NULL, &kModeMask, NULL},
    };
    HDC dc = scenario_open(run);
    if (dc == NULL)
        return;
    scenario_output_rows(run, dc, SCENARIO_ROWS(rows));
    scenario_close(run, dc);
    scenario_expect_records(run, SCENARIO_EMR_SETROP2, 9);
    scenario_expect_records(run, SCENARIO_EMR_INTERSECTCLIPRECT, 5);
}

/* A zigzag of n points that never leaves (10..509, 10..409); integer arithmetic only, so both
 * flavours compute the same points. */
static POINTS *scenario_zigzag(ScenarioRun *run, int n)
{
    POINTS *points = (POINTS *)malloc((size_t)n * sizeof *points);
    if (points == NULL) {
        scenario_fail(run, "no memory for %d points", n);
        return NULL;
    }
    for (int i = 0; i < n; i++) {
        points[i].x = (SHORT)(10 + (i * 7) % 500);
        points[i].y = (SHORT)(10 + (i * 13) % 400);
    }
    return points;
}

/* Lists on both sides of the 1024-point local buffer: the polygon and polyline of 1025 and 1100
 * points and the 600 + 600 poly-polygon go through a global block, 1024 points and 512 + 512 do
 * not; the records must not show which road the points took. */
static void scenario_long_lists(ScenarioRun *run)
{
    POINTS *zigzag = scenario_zigzag(run, 1200);
    if (zigzag == NULL)
        return;
    static const INT halves1200[] = {600, 600};
    static const INT halves1024[] = {512, 512};
    const PolyPolygonPoints twoOf600 = {halves1200, zigzag};
    const PolyPolygonPoints twoOf512 = {halves1024, zigzag + 100};
    const OutputRow rows[] = {
        {"polygon of 1024", OS_ALTPOLYGON, 0, 1024, zigzag, &kPenBlue2, 0, &kBrushGreen, &kModeCopy, &kClipA},
        {"polygon of 1025", OS_WINDPOLYGON, 0, 1025, zigzag, &kPenRed3, 0, &kBrushHatched, &kModeCopy, NULL},
        {"polygon of 1100", OS_ALTPOLYGON, 0, 1100, zigzag + 50, &kPenGrey1, 0, NULL, &kModeMask, &kClipB},
        {"polyline of 1025", OS_POLYLINE, 0, 1025, zigzag + 3, &kPenBlue2, 0, NULL, &kModeCopy, NULL},
        {"poly-polygon of 600 + 600", OS_WINDPOLYPOLYGON, 0, 2, &twoOf600, &kPenRed3, 0, &kBrushGreen,
         &kModeCopy, &kClipA},
        {"poly-polygon of 512 + 512", OS_ALTPOLYPOLYGON, 0, 2, &twoOf512, &kPenBlue2, 0, &kBrushGreen, NULL, NULL},
    };
    HDC dc = scenario_open(run);
    if (dc != NULL) {
        scenario_output_rows(run, dc, SCENARIO_ROWS(rows));
        scenario_close(run, dc);
    }
    free(zigzag);
}

/* Lists too short to draw, and boxes without area: GDI refuses some without a record and records
 * others with empty bounds; Output32 returns 0 either way. */
static void scenario_degenerate(ScenarioRun *run)
{
    static const INT countsNone[] = {0};
    static const INT countsShort[] = {3, 1};
    static const PolyPolygonPoints none = {countsNone, kFigure};
    static const PolyPolygonPoints shortOne = {countsShort, kFigure};
    static const POINTS flat[] = {{30, 40}, {30, 90}};
    static const OutputRow rows[] = {
        {"polygon of 7", OS_ALTPOLYGON, 0, 7, kFigure, &kPenBlue2, 0, &kBrushGreen, &kModeCopy, NULL},
        {"polygon of 0", OS_ALTPOLYGON, 0, 0, kFigure, &kPenBlue2, 0, &kBrushGreen, &kModeCopy, NULL},
        {"polygon of 1", OS_WINDPOLYGON, 0, 1, kFigure, &kPenBlue2, 0, &kBrushGreen, &kModeCopy, NULL},
        {"polygon of 2", OS_WINDPOLYGON, 0, 2, kFigure, &kPenBlue2, 0, &kBrushGreen, &kModeCopy, NULL},
        {"polyline of 1", OS_POLYLINE, 0, 1, kFigure + 3, &kPenRed3, 0, NULL, NULL, NULL},
        {"poly-polygon of none", OS_ALTPOLYPOLYGON, 0, 0, &none, &kPenRed3, 0, &kBrushGreen, NULL, NULL},
        {"poly-polygon with a polygon of 1", OS_WINDPOLYPOLYGON, 0, 2, &shortOne, &kPenRed3, 0,
         &kBrushGreen, NULL, NULL},
        {"rectangle without width", OS_RECTANGLE, 0, 2, flat, &kPenRed3, 0, &kBrushGreen, NULL, NULL},
        {"ellipse without width", OS_ELLIPSE, 0, 2, flat, &kPenRed3, 0, &kBrushGreen, NULL, NULL},
        {"polyline of 0", OS_POLYLINE, 0, 0, kFigure, &kPenRed3, 0, NULL, NULL, NULL},
    };
    HDC dc = scenario_open(run);
    if (dc == NULL)
        return;
    scenario_output_rows(run, dc, SCENARIO_ROWS(rows));
    scenario_close(run, dc);
}

/* Coordinates at the ends of the 16-bit range, -32768 to 32767, and -1 (0xFFFF): the point
 * lists must still be written in their 16-bit form, the boxes with right and bottom less one. */
static void scenario_coordinate_limits(ScenarioRun *run)
{
    static const POINTS edge[] = {{-32768, -32768}, {32767, 32767}, {-1, 32767},
                                  {32767, -32768}, {-32768, -1}};
    static const POINTS arc[] = {{-32768, -32768}, {32767, 32767}, {32767, -1}, {-1, -32768}};
    static const OutputRow rows[] = {
        {"polygon", OS_ALTPOLYGON, 0, 5, edge, &kPenBlue2, 0, &kBrushGreen, &kModeCopy, NULL},
        {"polyline", OS_POLYLINE, 0, 5, edge, &kPenRed3, 0, NULL, NULL, NULL},
        {"bezier", OS_POLYBEZIER, 0, 4, edge + 1, &kPenGrey1, 0, NULL, &kModeMask, NULL},
        {"rectangle", OS_RECTANGLE, 0, 2, edge, &kPenBlue2, 0, &kBrushHatched, &kModeCopy, NULL},
        {"ellipse", OS_ELLIPSE, 0, 2, edge + 2, &kPenRed3, 0, &kBrushGreen, NULL, NULL},
        {"pie", OS_PIE, 0, 4, arc, &kPenBlue2, 0, &kBrushGreen, &kModeCopy, NULL},
    };
    HDC dc = scenario_open(run);
    if (dc == NULL)
        return;
    scenario_output_rows(run, dc, SCENARIO_ROWS(rows));
    scenario_close(run, dc);
}

/* The pen roads: pen-style bits on a solid pen of a point-list code, the one-unit black and white
 * pens that come from stock, a width-0 pen that does not, dashed pens on both roads, geometric
 * dashes from the style bits, and PS_INSIDEFRAME, which the first call rewrites to PS_SOLID in the
 * caller's record so that a second call with it takes the geometric pen. */
static void scenario_pens(ScenarioRun *run)
{
    static const LOGPEN black1 = {PS_SOLID, {1, 0}, 0x00000000};
    static const LOGPEN white1 = {PS_SOLID, {1, 0}, 0x00FFFFFF};
    static const LOGPEN black0 = {PS_SOLID, {0, 0}, 0x00000000};
    static const LOGPEN whiteHigh = {PS_SOLID, {1, 0}, 0x01FFFFFF};
    static const LOGPEN dashed = {PS_DASH, {1, 0}, 0x00336699};
    static const LOGPEN wide = {PS_SOLID, {5, 0}, 0x00996633};
    static const OutputRow rows[] = {
        {"flat, mitred polygon pen", OS_ALTPOLYGON, 0, 4, kFigure, &wide, PS_ENDCAP_FLAT | PS_JOIN_MITER,
         &kBrushGreen, &kModeCopy, NULL},
        {"geometric dashes", OS_POLYLINE, 0, 6, kFigure, &wide, PS_DASH, NULL, &kModeCopy, NULL},
        {"stock black pen", OS_RECTANGLE, 0, 2, kBox, &black1, 0, &kBrushGreen, &kModeCopy, NULL},
        {"stock white pen", OS_ELLIPSE, 0, 2, kBox, &white1, 0, &kBrushGreen, &kModeCopy, NULL},
        {"black pen of width 0", OS_RECTANGLE, 0, 2, kRound, &black0, 0, NULL, NULL, NULL},
        {"white with a palette bit", OS_RECTANGLE, 0, 2, kRound, &whiteHigh, 0, NULL, NULL, NULL},
        {"dashed rectangle", OS_RECTANGLE, 0, 2, kBox, &dashed, 0, &kBrushHatched, &kModeMask, NULL},
        {"dashed polyline", OS_POLYLINE, 0, 7, kFigure, &dashed, 0x2200, NULL, &kModeMask, NULL},
        {"no pen", OS_CHORD, 0, 4, kArc, NULL, 0, &kBrushGreen, &kModeCopy, NULL},
        {"no pen, point list", OS_ALTPOLYGON, 0, 3, kFigure, NULL, 0, &kBrushGreen, &kModeCopy, NULL},
    };
    HDC dc = scenario_open(run);
    if (dc == NULL)
        return;
    scenario_output_rows(run, dc, SCENARIO_ROWS(rows));

    LOGPEN insideFrame = {PS_INSIDEFRAME, {4, 0}, 0x00224466};
    const OutputRow polygon = {"inside-frame polygon", OS_WINDPOLYGON, 0, 5, kFigure, NULL, 0,
                               NULL, &kModeCopy, NULL};
    for (int call = 1; call <= 2; call++) {
        if (scenario_output(run, dc, &polygon, &insideFrame, NULL) != 0)
            scenario_fail(run, "inside-frame polygon, call %d: Output32 did not return 0", call);
        if (insideFrame.lopnStyle != PS_SOLID)
            scenario_fail(run, "inside-frame polygon, call %d: lopnStyle is %u, not PS_SOLID",
                          call, (unsigned)insideFrame.lopnStyle);
    }
    scenario_close(run, dc);
}

/* ---- Pen styles: every end cap, join and dash style of a wide pen ---- */

/* Corners of 32 degrees (x 10 apart, y 35 apart): a miter there is 3.6 pen widths long, inside
 * GDI's default limit of 10. */
static const POINTS kZigzag32[] = {{0, 35}, {10, 0}, {20, 35}, {30, 0}, {40, 35}, {50, 0}};
/* One corner of 7.6 degrees: its miter would be 15 pen widths long, past the limit. */
static const POINTS kSharpCorner[] = {{0, 0}, {4, 60}, {8, 0}};
/* A dash's every kind of step: along x and y, a diagonal, shallow and steep slopes, both ways. */
static const POINTS kDashWalk[] = {{0, 0}, {120, 0}, {120, 60}, {60, 90}, {0, 70}, {40, 20}};
static const DWORD kCaps[] = {PS_ENDCAP_ROUND, PS_ENDCAP_SQUARE, PS_ENDCAP_FLAT};
static const DWORD kJoins[] = {PS_JOIN_ROUND, PS_JOIN_BEVEL, PS_JOIN_MITER};
static const DWORD kDashStyles[] = {PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT};

/* Output32 draws the shape of the code on the points moved by (x, y) (at most 8) with the pen
 * and pen-style bits, and no brush. */
static void scenario_pen_shape(ScenarioRun *run, HDC dc, WORD code, const POINTS *points,
                               WORD count, int x, int y, const LOGPEN *pen, DWORD bits,
                               const DrawMode32 *mode)
{
    POINTS moved[8];
    for (WORD i = 0; i < count && i < 8; i++)
        moved[i] = {(SHORT)(points[i].x + x), (SHORT)(points[i].y + y)};
    const OutputRow row = {"pen style", code, 0, count, moved, pen, bits, NULL, mode, NULL};
    LOGPEN copy = *pen;
    if (scenario_output(run, dc, &row, &copy, NULL) != 0)
        scenario_fail(run, "code %u, pen bits 0x%x, width %d: Output32 did not return 0",
                      (unsigned)code, (unsigned)bits, (int)pen->lopnWidth.x);
}

static void scenario_pen_line(ScenarioRun *run, HDC dc, const POINTS *points, WORD count, int x,
                              int y, const LOGPEN *pen, DWORD bits, const DrawMode32 *mode)
{
    scenario_pen_shape(run, dc, OS_POLYLINE, points, count, x, y, pen, bits, mode);
}

/* The point-list codes' geometric pens carry the caller's pen-style bits: every end cap with
 * every join at an odd and an even width, on corners inside and past the miter limit; every stock
 * dash style with every cap, scaled by the width, along open and closed figures; the same dashes
 * one unit wide, stepped as a cosmetic line. A wide logical pen with a dash style
 * (CreatePenIndirect) is drawn solid by GDI, a one-unit one dashed, with the background colour in
 * its gaps in OPAQUE mode. (No export makes user styles or the alternate style.) */
static void scenario_pen_styles(ScenarioRun *run)
{
    static const DrawMode32 opaque = {R2_COPYPEN, OPAQUE, 0x0040C0F0, 0x00405060, 1};
    HDC dc = scenario_open(run);
    if (dc == NULL)
        return;
    for (int w = 0; w < 2; w++)
        for (int j = 0; j < 3; j++)
            for (int c = 0; c < 3; c++) {
                const LOGPEN pen = {PS_SOLID, {w ? 8 : 5, 0}, (COLORREF)(0x00A02000 + 0x30 * j)};
                int x = 20 + 150 * c, y = 20 + 85 * (3 * w + j);
                scenario_pen_line(run, dc, kZigzag32, 6, x, y, &pen, kCaps[c] | kJoins[j], &kModeCopy);
                scenario_pen_line(run, dc, kSharpCorner, 3, x + 85, y, &pen, kCaps[c] | kJoins[j], &kModeCopy);
            }
    for (int s = 0; s < 4; s++)
        for (int c = 0; c < 3; c++) {
            const LOGPEN pen = {PS_SOLID, {5, 0}, 0x00206040};
            scenario_pen_line(run, dc, kDashWalk, 6, 490 + 170 * c, 20 + 115 * s, &pen,
                              kDashStyles[s] | kCaps[c] | kJoins[c], &kModeCopy);
        }
    for (int s = 0; s < 4; s++) {
        const LOGPEN geometric1 = {PS_SOLID, {1, 0}, 0x00802060};
        const LOGPEN cosmetic = {(UINT)kDashStyles[s], {1, 0}, 0x00602080};
        const LOGPEN wideCosmetic = {(UINT)kDashStyles[s], {5, 0}, 0x00208060};
        scenario_pen_line(run, dc, kDashWalk, 6, 20 + 170 * s, 530, &geometric1, kDashStyles[s], &opaque);
        scenario_pen_line(run, dc, kDashWalk, 6, 20 + 170 * s, 640, &cosmetic, 0, &opaque);
        scenario_pen_line(run, dc, kZigzag32, 6, 700 + 70 * s, 490, &wideCosmetic, 0, &kModeCopy);
    }
    static const POINTS box[] = {{0, 0}, {140, 50}};
    const LOGPEN wide = {PS_SOLID, {5, 0}, 0x00602040}, dashedWide = {PS_DASH, {5, 0}, 0x00204060};
    scenario_pen_shape(run, dc, OS_ALTPOLYGON, kDashWalk, 6, 870, 650, &wide,
                       PS_DASHDOT | PS_ENDCAP_SQUARE | PS_JOIN_BEVEL, &kModeCopy);
    scenario_pen_shape(run, dc, OS_RECTANGLE, box, 2, 700, 550, &dashedWide, 0, &kModeCopy);
    scenario_close(run, dc);
}

/* The brush roads: hollow (the stock null brush, drawing mode not applied), solid and hatched,
 * each with and without a drawing mode. */
static void scenario_brushes(ScenarioRun *run)
{
    static const LOGBRUSH hollow = {BS_HOLLOW, 0x00FF00FF, 7};
    static const LOGBRUSH solid = {BS_SOLID, 0x00123456, 3};
    static const LOGBRUSH hatched = {BS_HATCHED, 0x00654321, HS_BDIAGONAL};
    static const OutputRow rows[] = {
        {"hollow, mode", OS_RECTANGLE, 0, 2, kBox, &kPenBlue2, 0, &hollow, &kModeMask, NULL},
        {"hollow", OS_ELLIPSE, 0, 2, kBox, &kPenBlue2, 0, &hollow, NULL, NULL},
        {"solid, mode", OS_RECTANGLE, 0, 2, kRound, &kPenRed3, 0, &solid, &kModeMask, NULL},
        {"solid", OS_ALTPOLYGON, 0, 5, kFigure, &kPenRed3, 0, &solid, NULL, NULL},
        {"hatched, mode", OS_PIE, 0, 4, kArc, &kPenBlue2, 0, &hatched, &kModeCopy, NULL},
        {"hatched", OS_ROUNDRECT, 0, 3, kRound, &kPenBlue2, 0, &hatched, NULL, NULL},
        {"no brush", OS_RECTANGLE, 0, 2, kBox, &kPenRed3, 0, NULL, &kModeCopy, NULL},
    };
    HDC dc = scenario_open(run);
    if (dc == NULL)
        return;
    scenario_output_rows(run, dc, SCENARIO_ROWS(rows));
    scenario_close(run, dc);
}

/* 8 x 8 patterns with no symmetry: a monochrome one (rows 2 bytes wide, as DDB rows are) and
 * colour ones at 8 and 24 bits per pixel, whose pixel values follow the row and column. */
struct ScenarioPatterns {
    BYTE mono[8 * 2];
    BYTE depth8[8 * 8];
    BYTE depth24[8 * 24];
    BITMAP monoMap, map8, map24;
};

static void scenario_make_patterns(ScenarioPatterns *p)
{
    static const BYTE monoRows[8] = {0x81, 0x42, 0x24, 0x18, 0xF0, 0x0F, 0xAA, 0x01};
    memset(p, 0, sizeof *p);
    for (int y = 0; y < 8; y++) {
        p->mono[2 * y] = monoRows[y];
        for (int x = 0; x < 8; x++)
            p->depth8[8 * y + x] = (BYTE)(y * 8 + x * 3); /* indices into the default palette */
        for (int x = 0; x < 24; x++)
            p->depth24[24 * y + x] = (BYTE)(y * 31 + x * 11);
    }
    p->monoMap = {0, 8, 8, 2, 1, 1, p->mono};
    p->map8 = {0, 8, 8, 8, 1, 8, p->depth8};
    p->map24 = {0, 8, 8, 24, 1, 24, p->depth24};
}

/* Pattern brushes, monochrome (EMR_CREATEMONOBRUSH) and colour (a 24-bit DIB pattern), with and
 * without a drawing mode; lbHatch then holds the pattern bitmap's handle instead of the BITMAP. */
static void scenario_pattern_brushes(ScenarioRun *run)
{
    ScenarioPatterns p;
    scenario_make_patterns(&p);
    const BITMAP *maps[] = {&p.monoMap, &p.map8, &p.map24, &p.monoMap, &p.map8, &p.map24};
    HDC dc = scenario_open(run);
    if (dc == NULL)
        return;
    for (size_t i = 0; i < sizeof maps / sizeof maps[0]; i++) {
        LOGBRUSH brush = {BS_PATTERN, 0x000000FF, (ULONG_PTR)maps[i]};
        const OutputRow row = {"pattern", (WORD)(i % 2 ? OS_RECTANGLE : OS_ALTPOLYGON), 0, 4,
                               i % 2 ? kBox : kFigure, &kPenBlue2, 0, NULL,
                               i < 3 ? &kModeMask : NULL, NULL};
        LOGPEN pen = kPenBlue2;
        if (scenario_output(run, dc, &row, &pen, &brush) != 0)
            scenario_fail(run, "pattern %d: Output32 did not return 0", (int)i);
        if (brush.lbHatch == (ULONG_PTR)maps[i] || brush.lbHatch == 0)
            scenario_fail(run, "pattern %d: lbHatch does not hold the pattern bitmap", (int)i);
    }
    scenario_close(run, dc);
    scenario_expect_records(run, SCENARIO_EMR_CREATEMONOBRUSH, 2);
    scenario_expect_records(run, SCENARIO_EMR_CREATEDIBPATTERNBRUSHPT, 4);
}

/* A bracket's five slots as code 80 hands them out. */
struct ScenarioBracket {
    HGDIOBJ newPen, oldPen, newBrush, oldBrush, patternBitmap;
};

/* Opens a path bracket with the brush; the slots must all have been written, the pattern bitmap
 * exactly when wanted. */
static void scenario_begin_bracket(ScenarioRun *run, HDC dc, LOGBRUSH *brush,
                                   ScenarioBracket *b, bool wantBitmap)
{
    const WORD style = OS_BEGINNSCAN, second = 0, count = 0;
    const DWORD bits = 0x2200; /* not used on this road */
    LOGPEN pen = kPenRed3;
    HGDIOBJ *slots[5] = {&b->newPen, &b->oldPen, &b->newBrush, &b->oldBrush, &b->patternBitmap};
    for (int i = 0; i < 5; i++)
        *slots[i] = kUntouched;
    if (run->x->Output32(&dc, &style, &second, &count, NULL, &pen, &bits, brush, &kModeMask,
                         slots[0], slots[1], slots[2], slots[3], slots[4], &kClipA) != 0)
        scenario_fail(run, "OS_BEGINNSCAN did not return 0");
    for (int i = 0; i < 4; i++)
        if (*slots[i] == kUntouched || *slots[i] == NULL)
            scenario_fail(run, "OS_BEGINNSCAN left handle slot %d without a handle", i + 1);
    if (wantBitmap ? (b->patternBitmap == kUntouched || b->patternBitmap == NULL)
                   : b->patternBitmap != NULL)
        scenario_fail(run, "OS_BEGINNSCAN's pattern bitmap slot holds %p",
                      (void *)b->patternBitmap);
}

/* Scan lines at three heights, two or three segments each, added to the open path; then the
 * bracket's end. Neither may touch the slots or set the raster operation. */
static void scenario_fill_bracket(ScenarioRun *run, HDC dc)
{
    static const POINTS line1[] = {{0, 40}, {20, 60}, {90, 95}, {130, 200}};
    static const POINTS line2[] = {{0, 41}, {25, 70}, {100, 180}};
    static const POINTS line3[] = {{0, 43}, {10, 11}, {50, 52}, {60, 250}};
    static const OutputRow rows[] = {
        {"scanlines 1", OS_SCANLINES, 0, 4, line1, &kPenRed3, 0, &kBrushGreen, &kModeCopy, &kClipB},
        {"scanlines 2", OS_SCANLINES, 0, 3, line2, NULL, 0, NULL, &kModeCopy, NULL},
        {"scanlines 3", OS_SCANLINES, 0, 4, line3, NULL, 0, &kBrushGreen, NULL, NULL},
        {"end of the bracket", OS_ENDNSCAN, 0, 0, NULL, &kPenRed3, 0, &kBrushGreen, &kModeCopy, &kClipB},
    };
    scenario_output_rows(run, dc, SCENARIO_ROWS(rows));
}

/* Hands the bracket's objects back a pair at a time; every slot must come back empty. A second
 * round on the same slots finds them empty and does nothing. */
static void scenario_release_bracket(ScenarioRun *run, HDC dc, ScenarioBracket *b)
{
    HGDIOBJ empty = NULL;
    for (int round = 1; round <= 2; round++) {
        if (run->x->DeleteObject32(&dc, &b->newPen, &b->oldPen) != 0 ||
            run->x->DeleteObject32(&dc, &b->newBrush, &b->oldBrush) != 0 ||
            run->x->DeleteObject32(&dc, &b->patternBitmap, &empty) != 0)
            scenario_fail(run, "DeleteObject32 did not return 0 (round %d)", round);
        if (b->newPen || b->oldPen || b->newBrush || b->oldBrush || b->patternBitmap || empty)
            scenario_fail(run, "DeleteObject32 left a slot full (round %d)", round);
    }
}

/* A path bracket with a solid brush: the brush and a one-unit pen in its colour are selected,
 * the scan lines become one widened, filled path, and the caller releases the objects. Only the
 * bracket's start sets the raster operation. */
static void scenario_scan_bracket(ScenarioRun *run)
{
    HDC dc = scenario_open(run);
    if (dc == NULL)
        return;
    LOGBRUSH brush = {BS_SOLID, 0x00405080, 0};
    ScenarioBracket b;
    scenario_begin_bracket(run, dc, &brush, &b, false);
    scenario_fill_bracket(run, dc);
    scenario_release_bracket(run, dc, &b);
    scenario_close(run, dc);
    scenario_expect_records(run, SCENARIO_EMR_SETROP2, 1);
    scenario_expect_records(run, SCENARIO_EMR_BEGINPATH, 1);
    scenario_expect_records(run, SCENARIO_EMR_FILLPATH, 1);
    scenario_expect_records(run, SCENARIO_EMR_DELETEOBJECT, 2);
    scenario_expect_records(run, SCENARIO_EMR_INTERSECTCLIPRECT, 0);
}

/* The same bracket with a monochrome pattern brush: the pattern bitmap comes back in the fifth
 * slot and goes with an empty reselect slot. */
static void scenario_scan_bracket_pattern(ScenarioRun *run)
{
    ScenarioPatterns p;
    scenario_make_patterns(&p);
    HDC dc = scenario_open(run);
    if (dc == NULL)
        return;
    LOGBRUSH brush = {BS_PATTERN, 0x00808000, (ULONG_PTR)&p.monoMap};
    ScenarioBracket b;
    scenario_begin_bracket(run, dc, &brush, &b, true);
    if (brush.lbHatch != (ULONG_PTR)b.patternBitmap)
        scenario_fail(run, "lbHatch does not hold the bracket's pattern bitmap");
    scenario_fill_bracket(run, dc);
    scenario_release_bracket(run, dc, &b);
    scenario_close(run, dc);
    scenario_expect_records(run, SCENARIO_EMR_CREATEMONOBRUSH, 1);
    scenario_expect_records(run, SCENARIO_EMR_DELETEOBJECT, 2);
}

/* Reads a whole file through the platform, as the print program does; bytes read, or -1 when it
 * cannot be opened. */
static long scenario_read_file(const char *path, char *bytes, DWORD size)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    DWORD got = 0;
    BOOL ok = ReadFile(file, bytes, size, &got, NULL);
    CloseHandle(file);
    return ok ? (long)got : -1;
}

/* The hand-off to a print program that reports what it received (job_recorder.cpp, installed as
 * C:\APP\JOBREC.EXE). A program that does not exist and a job file held open both fail without
 * leaving a job file; the real start leaves the job file for the program, and the program's report
 * (its arguments and the job file's bytes) becomes <name>.job for the comparison of both flavours. */
static void scenario_print_handoff(ScenarioRun *run)
{
    const INT number = 77;
    PrintJob32 job;
    memset(&job, 0, sizeof job);
    job.JobNumber = number;
    job.Flags = 0x80000003u;
    strcpy(job.MetafilePath, "C:\\WINDOWS\\temp\\EMF1A.TMP");
    PrintProgram32 program;
    memset(&program, 0, sizeof program);
    program.Size = sizeof program;
    strcpy(program.RequiredName1, "PRINTER");
    strcpy(program.AuxFile, "JOBREC.INI");
    strcpy(program.RequiredName2, "PORT");
    strcpy(program.ProgramFile, "MISSING.EXE");
    strcpy(program.ProgramDir, "C:\\APP\\");

    char jobPath[MAX_PATH], reportPath[MAX_PATH], donePath[MAX_PATH];
    if (JobReportPath(number, JOB_FILE_EXTENSION, jobPath) != 0 ||
        JobReportPath(number, JOB_REPORT_EXTENSION, reportPath) != 0 ||
        JobReportPath(number, JOB_REPORT_DONE_EXTENSION, donePath) != 0) {
        scenario_fail(run, "no temporary folder");
        return;
    }
    DeleteFileA(jobPath);
    DeleteFileA(reportPath);
    DeleteFileA(donePath);

    static char expected[1024], bytes[2048];
    if (run->x->ZVLPrintEMF32(&job, &program) != -1)
        scenario_fail(run, "a program that does not exist was reported as started");
    if (scenario_read_file(jobPath, bytes, sizeof bytes) >= 0)
        scenario_fail(run, "the job file stayed after the start failed");

    strcpy(program.ProgramFile, "JOBREC.EXE");
    HANDLE held = CreateFileA(jobPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (run->x->ZVLPrintEMF32(&job, &program) != -1)
        scenario_fail(run, "a job was handed over while its job file was held open");
    CloseHandle(held);
    DeleteFileA(jobPath);

    if (run->x->ZVLPrintEMF32(&job, &program) != 0) {
        scenario_fail(run, "the print program was not started");
        return;
    }
    /* The program runs on its own; a Wine process start can take seconds under emulation. */
    for (int i = 0; i < 3000 && scenario_read_file(donePath, bytes, sizeof bytes) < 0; i++)
        scenario_pause();
    long reportSize = scenario_read_file(reportPath, bytes, sizeof bytes);
    if (reportSize < 0) {
        scenario_fail(run, "the print program left no report");
        return;
    }

    int used = snprintf(expected, sizeof expected, "argc=2\nargv[1]=%d\njob file: 528 bytes\n", number);
    char *record = expected + used;
    memset(record, 0, 528);
    record[0] = 1;
    memcpy(record + 4, &job.Flags, 4);
    strcpy(record + 8, job.MetafilePath);
    strcpy(record + 268, "C:\\APP\\JOBREC.INI");
    if (reportSize != used + 528 || memcmp(bytes, expected, used + 528) != 0)
        scenario_fail(run, "the print program received something else: %.*s", used, bytes);
    if (scenario_read_file(jobPath, expected, sizeof expected) != 528)
        scenario_fail(run, "the job file did not stay for the print program");

    FILE *out = fopen(run->path, "wb");
    if (out == NULL || fwrite(bytes, 1, (size_t)reportSize, out) != (size_t)reportSize)
        scenario_fail(run, "cannot write %s", run->path);
    if (out != NULL)
        fclose(out);
    DeleteFileA(jobPath);
    DeleteFileA(reportPath);
    DeleteFileA(donePath);
}

/* ---- Text jobs: TextOut32 on the DISPLAY printer ---- */

enum ScenarioTextRecordType {
    SCENARIO_EMR_EXTCREATEFONTINDIRECTW = 82,
    SCENARIO_EMR_EXTTEXTOUTW = 84,
};

/* One TextOut32 call; length is the run's, not the string's. */
struct TextRow {
    const char *what;
    const char *face;
    LONG height, escapement;
    BYTE charset;
    INT x, y;
    DWORD options;
    const RECT *rect;
    const char *text;
    DWORD length;
    const INT *advances;
    const DrawMode32 *mode;
};

static void scenario_text_rows(ScenarioRun *run, HDC dc, const TextRow *rows, size_t count)
{
    for (size_t i = 0; i < count; i++) {
        const TextRow *row = &rows[i];
        LOGFONTA font;
        memset(&font, 0, sizeof font);
        font.lfHeight = row->height;
        font.lfEscapement = row->escapement;
        font.lfOrientation = row->escapement;
        font.lfWeight = FW_NORMAL;
        font.lfCharSet = row->charset;
        /* A printer draws text unsmoothed, as the player does; a page in memory would be smoothed. */
        if (run->page != NULL)
            font.lfQuality = NONANTIALIASED_QUALITY;
        strncpy(font.lfFaceName, row->face, LF_FACESIZE - 1);
        INT x = row->x, y = row->y;
        DWORD options = row->options, length = row->length;
        if (run->x->TextOut32(&dc, &font, &x, &y, &options, row->rect, row->text, &length,
                              row->advances, row->mode) != 0)
            scenario_fail(run, "%s: TextOut32 did not return 0", row->what);
    }
}

/* The whole-string road in Arial, which GDI under Wine also realises as Liberation Sans, so even
 * the advances it measures compare: transparent, opaque, clipped, cp1252 high bytes, and a run of
 * length 0, which still draws once. */
static void scenario_text_whole(ScenarioRun *run)
{
    static const RECT box = {40, 100, 400, 140};
    static const TextRow rows[] = {
        {"Arial, transparent", "Arial", -24, 0, ANSI_CHARSET, 50, 60, 0, NULL, "Hello, world", 12, NULL, &kModeCopy},
        {"cell height 30, opaque", "Arial", 30, 0, ANSI_CHARSET, 50, 100, ETO_OPAQUE, &box,
         "Quick brown fox", 15, NULL, &kModeMask},
        {"clipped", "Arial", -18, 0, ANSI_CHARSET, 50, 160, ETO_CLIPPED, &box, "clipped run", 11,
         NULL, &kModeCopy},
        {"cp1252 high bytes", "Arial", -20, 0, ANSI_CHARSET, 50, 200, 0, NULL, "\x80 caf\xe9 \xff", 8, NULL, &kModeCopy},
        {"length 0", "Arial", -20, 0, ANSI_CHARSET, 50, 240, 0, NULL, "", 0, NULL, &kModeCopy},
    };
    HDC dc = scenario_open(run);
    if (dc == NULL)
        return;
    scenario_text_rows(run, dc, SCENARIO_ROWS(rows));
    scenario_close(run, dc);
    scenario_expect_records(run, SCENARIO_EMR_EXTCREATEFONTINDIRECTW, 5);
    scenario_expect_records(run, SCENARIO_EMR_EXTTEXTOUTW, 5);
    scenario_expect_records(run, SCENARIO_EMR_DELETEOBJECT, 5);
}

/* The per-character road along escapements of 45, 90, 270, -45 and 1 degree, in the three faces
 * with metric-compatible stand-ins: every character a call of its own, placed by the walk. */
static void scenario_text_rotated(ScenarioRun *run)
{
    static const INT advances[] = {14, 11, 4, 4, 11, 9, 12, 7};
    static const TextRow rows[] = {
        {"45 degrees", "Arial", -20, 450, ANSI_CHARSET, 300, 300, 0, NULL, "Rotated!", 8, advances, &kModeCopy},
        {"90 degrees", "Arial", -20, 900, ANSI_CHARSET, 300, 300, 0, NULL, "Upward", 6, advances, &kModeMask},
        {"270 degrees", "Times New Roman", -20, 2700, ANSI_CHARSET, 320, 300, 0, NULL, "Down", 4, advances, &kModeCopy},
        {"-45 degrees", "Courier New", -20, -450, ANSI_CHARSET, 300, 320, ETO_OPAQUE, NULL, "Slope", 5, advances, &kModeCopy},
        {"1 degree", "Arial", -20, 15, ANSI_CHARSET, 100, 500, 0, NULL, "tilt", 4, advances, &kModeCopy},
        {"length 0", "Arial", -20, 450, ANSI_CHARSET, 100, 550, 0, NULL, "", 0, advances, &kModeCopy},
    };
    HDC dc = scenario_open(run);
    if (dc == NULL)
        return;
    scenario_text_rows(run, dc, SCENARIO_ROWS(rows));
    scenario_close(run, dc);
    scenario_expect_records(run, SCENARIO_EMR_EXTTEXTOUTW, 8 + 6 + 4 + 5 + 4);
}

/* Glyph indices with the caller's advances, handed to GDI whole and not walked even along an
 * escapement; and a glyph run of length 0. */
static void scenario_text_glyphs(ScenarioRun *run)
{
    static const WORD glyphs[] = {36, 37, 38, 39, 40};
    static const INT advances[] = {21, 22, 23, 24, 25};
    static const TextRow rows[] = {
        {"glyphs", "Arial", -20, 0, ANSI_CHARSET, 60, 80, ETO_GLYPH_INDEX, NULL, (const char *)glyphs, 5, advances, &kModeCopy},
        {"glyphs at 90 degrees", "Arial", -20, 900, ANSI_CHARSET, 60, 300, ETO_GLYPH_INDEX | ETO_OPAQUE, NULL,
         (const char *)glyphs, 5, advances, &kModeCopy},
        {"length 0", "Arial", -20, 0, ANSI_CHARSET, 60, 120, ETO_GLYPH_INDEX, NULL, (const char *)glyphs, 0, advances, &kModeCopy},
    };
    HDC dc = scenario_open(run);
    if (dc == NULL)
        return;
    scenario_text_rows(run, dc, SCENARIO_ROWS(rows));
    scenario_close(run, dc);
    scenario_expect_records(run, SCENARIO_EMR_EXTTEXTOUTW, 3);
}

/* Shift-JIS: a double-byte character drawn by one call with each of the three ways an advance
 * array may describe it, a whole run converted with code page 932, and a lead byte in the last
 * position drawn alone. */
static void scenario_text_sjis(ScenarioRun *run)
{
    static const INT pairThenZero[] = {20, 0, 10}, zeroThenPair[] = {0, 20, 10}, both[] = {20, 20, 10};
    static const INT leadLast[] = {12, 12};
    static const TextRow rows[] = {
        {"advances 20, 0", "MS Gothic", -20, 0, SHIFTJIS_CHARSET, 50, 50, 0, NULL, "\x82\xa0\x41", 3, pairThenZero, &kModeCopy},
        {"advances 0, 20", "MS Gothic", -20, 0, SHIFTJIS_CHARSET, 50, 90, 0, NULL, "\x82\xa0\x41", 3, zeroThenPair, &kModeCopy},
        {"advances 20, 20", "MS Gothic", -20, 0, SHIFTJIS_CHARSET, 50, 130, 0, NULL, "\x82\xa0\x41", 3, both, &kModeCopy},
        {"at 90 degrees", "MS Gothic", -20, 900, SHIFTJIS_CHARSET, 200, 300, 0, NULL, "\x82\xa0\x41", 3, pairThenZero, &kModeMask},
        {"whole run", "MS Gothic", -20, 0, SHIFTJIS_CHARSET, 50, 170, 0, NULL, "\x93\xfa\x96\x7b\x8c\xea ABC", 10, NULL, &kModeCopy},
        {"lead byte last", "MS Gothic", -20, 0, SHIFTJIS_CHARSET, 50, 210, 0, NULL, "A\x82", 2, leadLast, &kModeCopy},
    };
    HDC dc = scenario_open(run);
    if (dc == NULL)
        return;
    scenario_text_rows(run, dc, SCENARIO_ROWS(rows));
    scenario_close(run, dc);
    scenario_expect_records(run, SCENARIO_EMR_EXTTEXTOUTW, 2 + 2 + 2 + 2 + 1 + 2);
}

/* ---- Bitmap transfers: Raster32 and Dib32 ---- */

/* The record types the transfer scenarios count ([MS-EMF] 2.1.1). */
enum ScenarioTransferRecord {
    SCENARIO_EMR_SETBKMODE = 18,
    SCENARIO_EMR_BITBLT = 76,
    SCENARIO_EMR_STRETCHBLT = 77,
    SCENARIO_EMR_STRETCHDIBITS = 81,
};

/* A device bitmap of odd size, 37 x 23 pixels, whose rows need padding at every depth, with rows at
 * GDI's word-aligned length and no two rows alike. */
enum { IMAGE_WIDTH = 37, IMAGE_HEIGHT = 23 };
struct ScenarioImage {
    BYTE bits[IMAGE_WIDTH * 4 * IMAGE_HEIGHT];
    BITMAP bm;
};

static void scenario_make_image(ScenarioImage *image, WORD bitsPixel)
{
    LONG widthBytes = (IMAGE_WIDTH * bitsPixel + 15) / 16 * 2;
    for (size_t i = 0; i < sizeof image->bits; i++)
        image->bits[i] = (BYTE)((i * 7 + i / (size_t)widthBytes * 29) ^ (i >> 4));
    image->bm = {0, IMAGE_WIDTH, IMAGE_HEIGHT, widthBytes, 1, bitsPixel, image->bits};
}

/* One Raster32 band: destination, source x, first row, source width and line count. */
struct RasterRow {
    const char *what;
    INT dest[4];
    INT srcX, firstRow, srcWidth, lines;
    DWORD rop;
    const LOGBRUSH *brush;
    const DrawMode32 *mode;
};

static void scenario_raster(ScenarioRun *run, HDC dc, const RasterRow *row, const BITMAP *bm)
{
    LOGBRUSH brush;
    if (row->brush != NULL)
        brush = *row->brush;
    if (run->x->Raster32(&dc, &row->dest[0], &row->dest[1], &row->dest[2], &row->dest[3], bm,
                         &row->srcX, &row->firstRow, &row->srcWidth, &row->lines, &row->rop,
                         row->brush ? &brush : NULL, row->mode) != 0)
        scenario_fail(run, "%s: Raster32 did not return 0", row->what);
}

/* Bands of monochrome, 8-, 24- and 32-bit bitmaps: the band arithmetic and both clamps, the
 * monochrome colours from the drawing mode, the background-mode rule, a brush for a pattern
 * operation, and a band below the bitmap that transfers nothing but still sets the mode. */
static void scenario_raster_bands(ScenarioRun *run)
{
    static const DrawMode32 noRop = {0, TRANSPARENT, 0x00FF00FF, 0x0000FFFF, 1};
    static const RasterRow rows[] = {
        {"top band", {10, 20, 74, 16}, 0, 0, IMAGE_WIDTH, 8, SRCCOPY, NULL, &kModeCopy},
        {"clamped band", {100, 20, 80, 30}, 5, 20, 40, 10, SRCCOPY, NULL, &kModeMask},
        {"whole bitmap", {200, 40, IMAGE_WIDTH, IMAGE_HEIGHT}, 0, 0, IMAGE_WIDTH, IMAGE_HEIGHT, SRCAND,
         NULL, &noRop},
        {"pattern operation", {10, 200, 60, 10}, 3, 11, 20, 5, MERGECOPY, &kBrushHatched, &kModeCopy},
        {"below the bitmap", {10, 300, 10, 10}, 0, IMAGE_HEIGHT, 5, 5, SRCCOPY, NULL, &kModeMask},
    };
    static const WORD depths[] = {1, 8, 24, 32};
    ScenarioImage image;
    HDC dc = scenario_open(run);
    if (dc == NULL)
        return;
    for (size_t d = 0; d < sizeof depths / sizeof depths[0]; d++) {
        scenario_make_image(&image, depths[d]);
        for (size_t i = 0; i < sizeof rows / sizeof rows[0]; i++)
            scenario_raster(run, dc, &rows[i], &image.bm);
    }
    scenario_close(run, dc);
    scenario_expect_records(run, SCENARIO_EMR_STRETCHDIBITS, 16);
    scenario_expect_records(run, SCENARIO_EMR_SETBKMODE, 20);
}

/* Raster32 without a BITMAP: PATCOPY with a hatched brush paints the rectangle, a source operation
 * blits the empty bitmap, and a destination-only operation needs no drawing mode. */
static void scenario_raster_no_bitmap(ScenarioRun *run)
{
    static const LOGBRUSH solid = {BS_SOLID, 0x00204060, 0};
    static const RasterRow rows[] = {
        {"hatched PATCOPY", {20, 30, 300, 200}, 7, 8, 9, 10, PATCOPY, &kBrushHatched, &kModeCopy},
        {"solid PATINVERT", {50, 60, 100, 80}, 0, 0, 0, 0, PATINVERT, &solid, &kModeMask},
        {"SRCCOPY of the empty bitmap", {400, 30, 40, 20}, 0, 0, 0, 0, SRCCOPY, NULL, NULL},
        {"DSTINVERT", {10, 10, 30, 30}, 0, 0, 0, 0, DSTINVERT, NULL, NULL},
    };
    HDC dc = scenario_open(run);
    if (dc == NULL)
        return;
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; i++)
        scenario_raster(run, dc, &rows[i], NULL);
    scenario_close(run, dc);
    scenario_expect_records(run, SCENARIO_EMR_BITBLT, 3);
    scenario_expect_records(run, SCENARIO_EMR_STRETCHBLT, 1);
}

/* One Dib32 call with every argument of the row. */
struct DibRow {
    const char *what;
    INT dest[4];
    INT src[4];
    const void *bits;
    const BITMAPINFO *info;
    DWORD rop;
    const LOGBRUSH *brush;
    const DrawMode32 *mode;
};

/* Dib32: 24-bit DIBs bottom-up and top-down, a negative source height, a negative destination, a
 * 1-bit DIB with its two colours, and an 8-bit DIB with its 256. (With biClrUsed 0, Wine 8 records
 * no table for the 8-bit DIB and corrupts its heap: CloseEnhMetaFile then faults. The stand-in's
 * own tests cover that case.) */
static void scenario_dib_transfers(ScenarioRun *run)
{
    static struct {
        BITMAPINFOHEADER hdr;
        RGBQUAD colours[256];
    } info24, infoTop, info1, info8;
    static BYTE bits[IMAGE_WIDTH * 4 * IMAGE_HEIGHT];
    for (size_t i = 0; i < sizeof bits; i++)
        bits[i] = (BYTE)(i * 13 + (i >> 6));
    info24.hdr = {sizeof(BITMAPINFOHEADER), IMAGE_WIDTH, IMAGE_HEIGHT, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    infoTop = info24;
    infoTop.hdr.biHeight = -IMAGE_HEIGHT;
    info1.hdr = {sizeof(BITMAPINFOHEADER), IMAGE_WIDTH, IMAGE_HEIGHT, 1, 1, BI_RGB, 0, 0, 0, 2, 0};
    info1.colours[0] = {0x10, 0x20, 0xF0, 0};
    info1.colours[1] = {0xE0, 0xD0, 0x30, 0};
    info8.hdr = {sizeof(BITMAPINFOHEADER), IMAGE_WIDTH, IMAGE_HEIGHT, 1, 8, BI_RGB, 0, 0, 0, 256, 0};
    for (int i = 0; i < 256; i++)
        info8.colours[i] = {(BYTE)i, (BYTE)(255 - i), (BYTE)(i * 5), 0};
    const DibRow rows[] = {
        {"24-bit", {10, 20, 74, 46}, {0, 0, IMAGE_WIDTH, IMAGE_HEIGHT}, bits, (BITMAPINFO *)&info24,
         SRCCOPY, NULL, NULL},
        {"negative source height", {100, 20, 37, 23}, {0, IMAGE_HEIGHT, IMAGE_WIDTH, -IMAGE_HEIGHT},
         bits, (BITMAPINFO *)&info24, SRCCOPY, &kBrushGreen, &kModeCopy},
        {"top-down", {200, 20, -37, -23}, {3, 4, 20, 10}, bits, (BITMAPINFO *)&infoTop, SRCAND, NULL,
         &kModeMask},
        {"1-bit", {10, 100, 74, 23}, {0, 0, IMAGE_WIDTH, IMAGE_HEIGHT}, bits, (BITMAPINFO *)&info1,
         MERGECOPY, &kBrushHatched, &kModeMask},
        {"8-bit", {100, 100, 37, 23}, {1, 2, 30, 20}, bits, (BITMAPINFO *)&info8, SRCPAINT, NULL, NULL},
    };
    HDC dc = scenario_open(run);
    if (dc == NULL)
        return;
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; i++) {
        const DibRow *row = &rows[i];
        LOGBRUSH brush;
        if (row->brush != NULL)
            brush = *row->brush;
        if (run->x->Dib32(&dc, &row->dest[0], &row->dest[1], &row->dest[2], &row->dest[3],
                          &row->src[0], &row->src[1], &row->src[2], &row->src[3], row->bits,
                          row->info, &row->rop, row->brush ? &brush : NULL, row->mode) != 0)
            scenario_fail(run, "%s: Dib32 did not return 0", row->what);
    }
    scenario_close(run, dc);
    scenario_expect_records(run, SCENARIO_EMR_STRETCHDIBITS, 5);
}

struct ScenarioRow {
    const char *name;
    void (*run)(ScenarioRun *run);
    ScenarioOutput output;
};

static const ScenarioRow kScenarios[] = {
#define SCENARIO(name, output) {#name, scenario_##name, SCENARIO_##output},
#include "scenario_list.h"
#undef SCENARIO
};

static const size_t kScenarioCount = sizeof kScenarios / sizeof kScenarios[0];

int ScenarioBindExports(ScenarioExports *exports, ScenarioLookup lookup, void *module)
{
#define SCENARIO_BIND(name, ordinal, bytes, zero)                                 \
    exports->name = reinterpret_cast<decltype(&::name)>(lookup(module, #name)); \
    if (exports->name == NULL) {                                                \
        printf("export %s not found\n", #name);                                 \
        return -1;                                                              \
    }
    TAVLINQX_EXPORT_LIST(SCENARIO_BIND)
#undef SCENARIO_BIND
    return 0;
}

/* Runs one row. Its output path is emptied first, so a comparison never sees a file from an
 * earlier run, and afterwards must hold a file exactly when the row says EMF. */
static int scenario_run_one(const ScenarioExports *exports, const char *outDir, size_t i)
{
    ScenarioRun run = {exports, kScenarios[i].name, {0}, 0, NULL, false};
    const char *extension = kScenarios[i].output == SCENARIO_JOB ? "job" : "emf";
    int length = snprintf(run.path, sizeof run.path, "%s%c%s.%s", outDir, SCENARIO_SEPARATOR,
                          run.name, extension);
    if (length < 0 || (size_t)length >= sizeof run.path) {
        printf("FAIL %s: output folder name too long\n", run.name);
        return 1;
    }
    remove(run.path);
    kScenarios[i].run(&run);
    bool wantFile = kScenarios[i].output != SCENARIO_NO_EMF;
    if (scenario_file_exists(run.path) != wantFile)
        scenario_fail(&run, wantFile ? "left no %s" : "created %s", run.path);
    printf("%s %s\n", run.failures == 0 ? "PASS" : "FAIL", run.name);
    return run.failures == 0 ? 0 : 1;
}

static size_t scenario_find(const char *name)
{
    for (size_t i = 0; i < kScenarioCount; i++)
        if (strcmp(kScenarios[i].name, name) == 0)
            return i;
    return kScenarioCount;
}

int ScenarioMain(const ScenarioExports *exports, const char *outDir, int nameCount, char **names)
{
    int result = 0;
    if (nameCount == 0) {
        for (size_t i = 0; i < kScenarioCount; i++)
            result |= scenario_run_one(exports, outDir, i);
        return result;
    }
    for (int n = 0; n < nameCount; n++) {
        size_t i = scenario_find(names[n]);
        if (i == kScenarioCount) {
            printf("no scenario named %s\n", names[n]);
            return 2;
        }
        result |= scenario_run_one(exports, outDir, i);
    }
    return result;
}

int ScenarioDrawPage(const ScenarioExports *exports, const char *name, HDC page)
{
    size_t i = scenario_find(name);
    if (i == kScenarioCount) {
        printf("no scenario named %s\n", name);
        return 2;
    }
    ScenarioRun run = {exports, kScenarios[i].name, {0}, 0, page, false};
    kScenarios[i].run(&run);
    if (!run.pageDrawn) {
        printf("scenario %s draws no page\n", name);
        return 2;
    }
    printf("%s %s page\n", run.failures == 0 ? "PASS" : "FAIL", run.name);
    return run.failures == 0 ? 0 : 1;
}
