/* The stand-in's drawing and path calls: each writes the record GDI writes on a metafile DC, adds
 * its bounds to the header, keeps the current position, and feeds the DC's path while one is open.
 *
 * Record bounds are in logical units. While a path is open every bounds field is (0,0,-1,-1) and
 * nothing reaches the header. A call that fails writes no record. */
#include "gdi_private.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

/* How a point list joins the path. */
enum DrawFigure {
    DRAW_OPEN = 1, /* Polyline */
    DRAW_CLOSED,   /* Polygon */
    DRAW_BEZIERS,  /* PolyBezier */
};

const emf::RECTL draw_noBounds = {0, 0, -1, -1};
const double draw_pi = 3.14159265358979323846;

} /* namespace */

/* Enters a call as every GDI entry point does (lock, trace "Name(dc#1, args)", armed fault) and
 * returns its DC. Returns NULL, with the lock released, when the call must fail or hdc is no live DC.
 * The arguments are formatted only while a test hook is in use. */
#define draw_enter(hdc, name, ...) \
    (hooks_in_use() ? draw_enter_hooked(hdc, name, __VA_ARGS__) : draw_enter_quiet(hdc))

__attribute__((always_inline))
static inline GdiDC *draw_enter_quiet(HDC hdc)
{
    gdi_lock();
    GdiDC *dc = gdi_dc(hdc);
    if (!dc)
        gdi_unlock();
    return dc;
}

__attribute__((format(printf, 3, 4)))
static GdiDC *draw_enter_hooked(HDC hdc, const char *name, const char *argsFormat, ...)
{
    char dcName[32], args[160];
    args[0] = '\0';
    if (argsFormat && hooks_tracing()) {
        va_list ap;
        va_start(ap, argsFormat);
        vsnprintf(args, sizeof args, argsFormat, ap);
        va_end(ap);
    }
    if (!gdi_enter(name, "%s%s%s", gdi_handle_name((HGDIOBJ)hdc, dcName), argsFormat ? ", " : "", args))
        return NULL;
    GdiDC *dc = gdi_dc(hdc);
    if (!dc)
        gdi_unlock();
    return dc;
}

static BOOL draw_leave(bool ok)
{
    gdi_unlock();
    return ok ? TRUE : FALSE;
}

static bool draw_in_path(const GdiDC *dc) { return dc->path == PATH_OPEN; }

static emf::RECTL draw_rectl(const RECT &r) { return emf::RECTL{r.left, r.top, r.right, r.bottom}; }

/* ---- Point lists ---- */

/* The 16-bit record form is chosen only when every coordinate fits in 16 bits, that is when the
 * box of the points does. */
static bool draw_fits16(const emf::RECTL &box)
{
    return box.left >= -32768 && box.top >= -32768 && box.right <= 32767 && box.bottom <= 32767;
}

/* Point lists go through the compiler's vector types: two points (x, y, x, y) a vector for the box,
 * four a vector for the 16-bit form. */
typedef int32_t DrawPoints2 __attribute__((vector_size(16)));
typedef int32_t DrawPoints4 __attribute__((vector_size(32)));
typedef int16_t DrawPoints4Short __attribute__((vector_size(16)));
static_assert(sizeof(POINT) == 8 && sizeof(emf::POINTL) == 8, "a point list is x, y pairs of 32 bits");

/* Inclusive box of n >= 1 points. */
static emf::RECTL draw_points_box(const POINT *pts, size_t n)
{
    /* Both halves start at the first point; an odd count leaves it out of the pairs. */
    DrawPoints2 low = {pts[0].x, pts[0].y, pts[0].x, pts[0].y}, high = low;
    for (size_t i = n % 2; i < n; i += 2) {
        DrawPoints2 two;
        memcpy(&two, pts + i, sizeof two);
        low = two < low ? two : low;
        high = two > high ? two : high;
    }
    return emf::RECTL{low[0] < low[2] ? low[0] : low[2], low[1] < low[3] ? low[1] : low[3],
                      high[0] > high[2] ? high[0] : high[2], high[1] > high[3] ? high[1] : high[3]};
}

#if defined(__SSE2__)
/* The box of n >= 1 points when every coordinate lies strictly inside 16 bits, four points a step
 * through saturating packs and 16-bit minima and maxima; false when some coordinate reaches a
 * 16-bit limit, where the pack may have cut it. */
__attribute__((always_inline))
inline static bool draw_points_box_inside16(const POINT *pts, size_t n, emf::RECTL *box)
{
    int64_t start;
    memcpy(&start, pts, sizeof start);
    __m128i first = _mm_packs_epi32(_mm_set1_epi64x(start), _mm_set1_epi64x(start));
    __m128i low = first, high = first;
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128i four = _mm_packs_epi32(_mm_loadu_si128((const __m128i *)(pts + i)),
                                       _mm_loadu_si128((const __m128i *)(pts + i + 2)));
        low = _mm_min_epi16(low, four);
        high = _mm_max_epi16(high, four);
    }
    for (; i < n; i++) {
        int64_t one;
        memcpy(&one, pts + i, sizeof one);
        __m128i point = _mm_packs_epi32(_mm_set1_epi64x(one), _mm_set1_epi64x(one));
        low = _mm_min_epi16(low, point);
        high = _mm_max_epi16(high, point);
    }
    /* Lanes alternate x and y: fold the halves, then the pairs, into lanes 0 (x) and 1 (y). */
    low = _mm_min_epi16(low, _mm_shuffle_epi32(low, 0x4E));
    low = _mm_min_epi16(low, _mm_shuffle_epi32(low, 0xB1));
    high = _mm_max_epi16(high, _mm_shuffle_epi32(high, 0x4E));
    high = _mm_max_epi16(high, _mm_shuffle_epi32(high, 0xB1));
    uint32_t lo = (uint32_t)_mm_cvtsi128_si32(low), hi = (uint32_t)_mm_cvtsi128_si32(high);
    *box = emf::RECTL{(int16_t)lo, (int16_t)(lo >> 16), (int16_t)hi, (int16_t)(hi >> 16)};
    return box->left > -32768 && box->top > -32768 && box->right < 32767 && box->bottom < 32767;
}
#endif

/* The inclusive box of n >= 1 points and whether they fit the 16-bit form. */
__attribute__((always_inline))
inline static bool draw_points_box_fits16(const POINT *pts, size_t n, emf::RECTL *box)
{
#if defined(__SSE2__)
    if (draw_points_box_inside16(pts, n, box))
        return true;
#endif
    *box = draw_points_box(pts, n);
    return draw_fits16(*box);
}

/* The points in the record's form; the 16-bit form only for points that fit, so it truncates. */
__attribute__((always_inline))
inline static void draw_put_points(uint8_t *dst, const POINT *pts, size_t n, bool use16)
{
    if (!use16) {
        memcpy(dst, pts, 8 * n);
        return;
    }
    size_t i = 0;
    for (; i + 4 <= n; i += 4) {
#if defined(__SSE2__)
        /* The pack saturates, which for points that fit is the truncation below. */
        __m128i packed = _mm_packs_epi32(_mm_loadu_si128((const __m128i *)(pts + i)),
                                         _mm_loadu_si128((const __m128i *)(pts + i + 2)));
        _mm_storeu_si128((__m128i *)(dst + 4 * i), packed);
#else
        DrawPoints4 four;
        memcpy(&four, pts + i, sizeof four);
        DrawPoints4Short packed = __builtin_convertvector(four, DrawPoints4Short);
        memcpy(dst + 4 * i, &packed, sizeof packed);
#endif
    }
    for (; i < n; i++) {
        emf::POINTS s = {(int16_t)pts[i].x, (int16_t)pts[i].y};
        memcpy(dst + 4 * i, &s, sizeof s);
    }
}

/* Builds a point-list record in the recorder's buffer: head bytes (starting with emf::EMR and
 * rclBounds), then counts, then the points in the 16- or 32-bit form; adds bounds to the header
 * when asked. Inlined, so the head's copy has its fixed size. */
__attribute__((always_inline))
inline static bool draw_point_record(GdiDC *dc, void *head, uint32_t headSize, const INT *counts, size_t nCounts,
                                     const POINT *pts, size_t n, bool use16, const emf::RECTL *headerBounds)
{
    uint64_t size = headSize + 4 * (uint64_t)nCounts + (use16 ? 4 : 8) * (uint64_t)n;
    if (size > UINT32_MAX)
        return false;
    if (dc->kind != DC_KIND_METAFILE)
        return true; /* other DCs record nothing */
    uint8_t *rec = (uint8_t *)emf_record_space(dc, (uint32_t)size);
    if (!rec)
        return false;
    emf::EMR *emr = (emf::EMR *)head;
    emr->nSize = (uint32_t)size;
    memcpy(rec, head, headSize);
    if (nCounts)
        memcpy(rec + headSize, counts, 4 * nCounts);
    draw_put_points(rec + headSize + 4 * nCounts, pts, n, use16);
    if (headerBounds)
        emf_add_bounds(dc, *headerBounds);
    return true;
}

static bool draw_path_figure(GdiDC *dc, const POINT *pts, int n, DrawFigure figure)
{
    if (!draw_in_path(dc) || n == 0)
        return true;
    if (figure == DRAW_BEZIERS)
        return gdi_path_add_beziers(dc, pts, n);
    return gdi_path_add_lines(dc, pts, n, figure == DRAW_CLOSED);
}

/* The one road of Polygon, Polyline and PolyBezier once the count is known to be acceptable;
 * inlined into each. */
__attribute__((always_inline))
static inline bool draw_poly(GdiDC *dc, uint32_t type16, uint32_t type32, const POINT *pts, int n, DrawFigure figure)
{
    if (n < 0 || (n > 0 && !pts) || !draw_path_figure(dc, pts, n, figure))
        return false;
    emf::RECTL box = draw_noBounds;
    bool use16 = n == 0 || draw_points_box_fits16(pts, (size_t)n, &box);
    bool counted = n > 0 && !draw_in_path(dc);
    if (!counted)
        box = draw_noBounds;
    emf::EMRPOLYLINE head = {{use16 ? type16 : type32, 0}, box, (uint32_t)n};
    return draw_point_record(dc, &head, sizeof head, NULL, 0, pts, (size_t)n, use16, counted ? &box : NULL);
}

BOOL WINAPI Polygon(HDC hdc, const POINT *apt, int cpt)
{
    GdiDC *dc = draw_enter(hdc, "Polygon", "%d", cpt);
    if (!dc)
        return FALSE;
    /* Fewer than two points: GDI refuses without writing anything. */
    return draw_leave(cpt >= 2 && draw_poly(dc, emf::EMR_POLYGON16, emf::EMR_POLYGON, apt, cpt, DRAW_CLOSED));
}

BOOL WINAPI Polyline(HDC hdc, const POINT *apt, int cpt)
{
    GdiDC *dc = draw_enter(hdc, "Polyline", "%d", cpt);
    if (!dc)
        return FALSE;
    /* No points still makes a record, with empty bounds and nothing for the header. */
    return draw_leave(draw_poly(dc, emf::EMR_POLYLINE16, emf::EMR_POLYLINE, apt, cpt, DRAW_OPEN));
}

BOOL WINAPI PolyBezier(HDC hdc, const POINT *apt, DWORD cpt)
{
    GdiDC *dc = draw_enter(hdc, "PolyBezier", "%u", (unsigned)cpt);
    if (!dc)
        return FALSE;
    /* A start point and three points a curve; anything else fails without a record. */
    bool curves = cpt >= 4 && cpt <= INT32_MAX && (cpt - 1) % 3 == 0;
    return draw_leave(curves && draw_poly(dc, emf::EMR_POLYBEZIER16, emf::EMR_POLYBEZIER, apt, (int)cpt, DRAW_BEZIERS));
}

/* Total points of csz polygons, or -1 for a negative count or a total past 31 bits. */
static int64_t draw_total_points(const INT *asz, int csz)
{
    int64_t total = 0;
    for (int i = 0; i < csz; i++) {
        if (asz[i] < 0)
            return -1;
        total += asz[i];
    }
    return total <= INT32_MAX ? total : -1;
}

static bool draw_path_polygons(GdiDC *dc, const POINT *apt, const INT *asz, int csz)
{
    for (int i = 0; i < csz && draw_in_path(dc); i++) {
        if (!gdi_path_add_lines(dc, apt, asz[i], true))
            return false;
        apt += asz[i];
    }
    return true;
}

BOOL WINAPI PolyPolygon(HDC hdc, const POINT *apt, const INT *asz, int csz)
{
    GdiDC *dc = draw_enter(hdc, "PolyPolygon", "%d", csz);
    if (!dc)
        return FALSE;
    int64_t total = csz < 0 || (csz > 0 && !asz) ? -1 : draw_total_points(asz, csz);
    if (total < 0 || (total > 0 && !apt))
        return draw_leave(false);
    /* No polygon, or one of fewer than two points: GDI still writes the whole record, with empty
     * bounds and nothing for the header, and fails. */
    bool valid = csz > 0;
    for (int i = 0; i < csz; i++)
        valid = valid && asz[i] >= 2;
    if (valid && !draw_path_polygons(dc, apt, asz, csz))
        return draw_leave(false);
    emf::RECTL box = draw_noBounds;
    bool use16 = total == 0 || draw_points_box_fits16(apt, (size_t)total, &box);
    bool counted = valid && !draw_in_path(dc);
    if (!counted)
        box = draw_noBounds;
    emf::EMRPOLYPOLYLINE16 head = {{use16 ? emf::EMR_POLYPOLYGON16 : emf::EMR_POLYPOLYGON, 0}, box,
                                   (uint32_t)csz, (uint32_t)total};
    bool ok = draw_point_record(dc, &head, sizeof head, asz, (size_t)csz, apt, (size_t)total, use16,
                                counted ? &box : NULL);
    if (ok && !valid)
        SetLastError(ERROR_INVALID_PARAMETER);
    return draw_leave(ok && valid);
}

/* ---- Lines ---- */

static bool draw_point_only(GdiDC *dc, uint32_t type, int x, int y)
{
    emf::EMRLINETO rec = {{type, sizeof rec}, {x, y}};
    return emf_record(dc, &rec, sizeof rec);
}

BOOL WINAPI MoveToEx(HDC hdc, int x, int y, LPPOINT lppt)
{
    GdiDC *dc = draw_enter(hdc, "MoveToEx", "%d, %d", x, y);
    if (!dc)
        return FALSE;
    if ((draw_in_path(dc) && !gdi_path_move_to(dc, POINT{x, y})) || !draw_point_only(dc, emf::EMR_MOVETOEX, x, y))
        return draw_leave(false);
    if (lppt)
        *lppt = dc->curPos;
    dc->curPos = POINT{x, y};
    return draw_leave(true);
}

BOOL WINAPI LineTo(HDC hdc, int x, int y)
{
    GdiDC *dc = draw_enter(hdc, "LineTo", "%d, %d", x, y);
    if (!dc)
        return FALSE;
    POINT line[2] = {dc->curPos, POINT{x, y}};
    if ((draw_in_path(dc) && !gdi_path_line_to(dc, line[0], line[1])) || !draw_point_only(dc, emf::EMR_LINETO, x, y))
        return draw_leave(false);
    if (!draw_in_path(dc))
        emf_add_bounds(dc, draw_points_box(line, 2));
    dc->curPos = line[1];
    return draw_leave(true);
}

/* ---- Rectangle family ---- */

/* The box GDI stores for two corners: normalised, and (GM_COMPATIBLE) right and bottom less 1, so
 * it is inclusive. False for a box without width or height, which GDI refuses without a record. */
static bool draw_box(int left, int top, int right, int bottom, RECT *box)
{
    if (left == right || top == bottom)
        return false;
    *box = RECT{left < right ? left : right, top < bottom ? top : bottom, (left > right ? left : right) - 1,
                (top > bottom ? top : bottom) - 1};
    return true;
}

/* Writes a rectangle-family record and adds header bounds unless a path is open. The records share
 * their leading fields: rclBox, then (RoundRect) szlCorner or (Arc, Chord, Pie) ptlStart and ptlEnd,
 * so one EMRARC cut to size holds each. */
static bool draw_box_record(GdiDC *dc, uint32_t type, uint32_t size, const RECT &box, POINT a, POINT b,
                            const RECT &bounds)
{
    emf::EMRARC rec = {{type, size}, draw_rectl(box), {a.x, a.y}, {b.x, b.y}};
    if (!emf_record(dc, &rec, size))
        return false;
    if (!draw_in_path(dc))
        emf_add_bounds(dc, draw_rectl(bounds));
    return true;
}

BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom)
{
    GdiDC *dc = draw_enter(hdc, "Rectangle", "%d, %d, %d, %d", left, top, right, bottom);
    if (!dc)
        return FALSE;
    RECT box;
    if (!draw_box(left, top, right, bottom, &box))
        return draw_leave(false);
    const POINT corners[4] = {{box.right, box.top}, {box.left, box.top}, {box.left, box.bottom}, {box.right, box.bottom}};
    if (draw_in_path(dc) && !gdi_path_add_lines(dc, corners, 4, true))
        return draw_leave(false);
    return draw_leave(draw_box_record(dc, emf::EMR_RECTANGLE, sizeof(emf::EMRRECTANGLE), box, {}, {}, box));
}

BOOL WINAPI Ellipse(HDC hdc, int left, int top, int right, int bottom)
{
    GdiDC *dc = draw_enter(hdc, "Ellipse", "%d, %d, %d, %d", left, top, right, bottom);
    if (!dc)
        return FALSE;
    RECT box;
    if (!draw_box(left, top, right, bottom, &box))
        return draw_leave(false);
    if (draw_in_path(dc) && !gdi_path_add_arc(dc, box, {}, {}, emf::EMR_ELLIPSE))
        return draw_leave(false);
    return draw_leave(draw_box_record(dc, emf::EMR_ELLIPSE, sizeof(emf::EMRRECTANGLE), box, {}, {}, box));
}

BOOL WINAPI RoundRect(HDC hdc, int left, int top, int right, int bottom, int width, int height)
{
    GdiDC *dc = draw_enter(hdc, "RoundRect", "%d, %d, %d, %d, %d, %d", left, top, right, bottom, width, height);
    if (!dc)
        return FALSE;
    RECT box;
    if (!draw_box(left, top, right, bottom, &box))
        return draw_leave(false);
    if (draw_in_path(dc) && !gdi_path_add_round_rect(dc, box, SIZE{width, height}))
        return draw_leave(false);
    /* The corner ellipse is stored as given. */
    return draw_leave(draw_box_record(dc, emf::EMR_ROUNDRECT, sizeof(emf::EMRROUNDRECT), box, POINT{width, height},
                                      {}, box));
}

/* Where a direction from the centre meets the ellipse, as the bounds rule below computes it. */
static POINT draw_arc_point(int64_t cx, int64_t cy, int64_t rx, int64_t ry, double angle)
{
    return POINT{(LONG)(cx + cos(angle) * rx), (LONG)(cy - sin(angle) * ry)};
}

/* Grows b to each side of box that the counter-clockwise sweep from angle a0 to a1 reaches. */
static void draw_arc_sweep(RECT *b, const RECT &box, double a0, double a1)
{
    a0 += a0 < 0 ? 2 * draw_pi : 0;
    a1 += a1 < 0 ? 2 * draw_pi : 0;
    a1 += a1 < a0 ? 2 * draw_pi : 0;
    for (int i = 0; i <= 8; i++) {
        double side = i * draw_pi / 2;
        if (side < a0)
            continue;
        if (side > a1)
            break;
        switch (i % 4) {
        case 0: b->right = box.right; break;
        case 1: b->top = box.top; break;
        case 2: b->left = box.left; break;
        default: b->bottom = box.bottom; break;
        }
    }
}

/* Header bounds of an arc, chord or pie: the points where the start and end directions meet the
 * ellipse, grown by the sweep between them, and to the centre for a pie. This is the rule observed
 * under Wine over 3,600 boxes and directions (no Windows data point): the directions are taken
 * unscaled from a whole-number centre (the corners' midpoint rounded toward zero), the radii are
 * whole halves of the corners' distance, and the points are truncated. A start straight along +x
 * gives the angle -0.0, which still reaches the right side. */
static RECT draw_arc_bounds(const RECT &box, POINT start, POINT end, uint32_t type)
{
    int64_t left = box.left, top = box.top, right = (int64_t)box.right + 1, bottom = (int64_t)box.bottom + 1;
    int64_t cx = (left + right) / 2, cy = (top + bottom) / 2, rx = (right - left) / 2, ry = (bottom - top) / 2;
    double a0 = atan2(-(double)(start.y - cy), (double)(start.x - cx));
    double a1 = atan2(-(double)(end.y - cy), (double)(end.x - cx));
    POINT p0 = draw_arc_point(cx, cy, rx, ry, a0), p1 = draw_arc_point(cx, cy, rx, ry, a1);
    RECT b = {p0.x < p1.x ? p0.x : p1.x, p0.y < p1.y ? p0.y : p1.y, p0.x > p1.x ? p0.x : p1.x, p0.y > p1.y ? p0.y : p1.y};
    draw_arc_sweep(&b, box, a0, a1);
    if (type == emf::EMR_PIE) {
        /* One side only: a box the sweep turned inside out keeps its other side. */
        if (b.left > cx)
            b.left = (LONG)cx;
        else if (b.right < cx)
            b.right = (LONG)cx;
        if (b.top > cy)
            b.top = (LONG)cy;
        else if (b.bottom < cy)
            b.bottom = (LONG)cy;
    }
    /* A side reached from the far point can leave the box inside out; the header takes it re-ordered. */
    return RECT{b.left < b.right ? b.left : b.right, b.top < b.bottom ? b.top : b.bottom,
                b.left > b.right ? b.left : b.right, b.top > b.bottom ? b.top : b.bottom};
}

static BOOL draw_arc(HDC hdc, const char *name, uint32_t type, int l, int t, int r, int b, POINT start, POINT end)
{
    GdiDC *dc = draw_enter(hdc, name, "%d, %d, %d, %d, %d, %d, %d, %d", l, t, r, b, (int)start.x, (int)start.y,
                           (int)end.x, (int)end.y);
    if (!dc)
        return FALSE;
    RECT box;
    if (!draw_box(l, t, r, b, &box))
        return draw_leave(false);
    if (draw_in_path(dc) && !gdi_path_add_arc(dc, box, start, end, type))
        return draw_leave(false);
    /* Start and end are stored as given, not moved onto the ellipse. */
    return draw_leave(draw_box_record(dc, type, sizeof(emf::EMRARC), box, start, end,
                                      draw_arc_bounds(box, start, end, type)));
}

BOOL WINAPI Arc(HDC hdc, int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4)
{
    return draw_arc(hdc, "Arc", emf::EMR_ARC, x1, y1, x2, y2, POINT{x3, y3}, POINT{x4, y4});
}

BOOL WINAPI Chord(HDC hdc, int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4)
{
    return draw_arc(hdc, "Chord", emf::EMR_CHORD, x1, y1, x2, y2, POINT{x3, y3}, POINT{x4, y4});
}

BOOL WINAPI Pie(HDC hdc, int left, int top, int right, int bottom, int xr1, int yr1, int xr2, int yr2)
{
    return draw_arc(hdc, "Pie", emf::EMR_PIE, left, top, right, bottom, POINT{xr1, yr1}, POINT{xr2, yr2});
}

/* ---- Path bracket ---- */

static bool draw_no_param(GdiDC *dc, uint32_t type)
{
    emf::EMRNOPARAM rec = {{type, sizeof rec}};
    return emf_record(dc, &rec, sizeof rec);
}

/* The DC's path is in state want; otherwise the call fails as GDI fails, without a record. */
static bool draw_path_is(GdiDC *dc, PathState want)
{
    if (dc->path == want)
        return true;
    SetLastError(ERROR_CAN_NOT_COMPLETE);
    return false;
}

BOOL WINAPI BeginPath(HDC hdc)
{
    GdiDC *dc = draw_enter(hdc, "BeginPath", NULL);
    if (!dc)
        return FALSE;
    /* A path already open or closed is discarded. */
    if (!gdi_path_reset(dc))
        return draw_leave(false);
    if (!draw_no_param(dc, emf::EMR_BEGINPATH)) {
        gdi_path_release(dc);
        return draw_leave(false);
    }
    dc->path = PATH_OPEN;
    return draw_leave(true);
}

BOOL WINAPI EndPath(HDC hdc)
{
    GdiDC *dc = draw_enter(hdc, "EndPath", NULL);
    if (!dc)
        return FALSE;
    if (!draw_path_is(dc, PATH_OPEN) || !draw_no_param(dc, emf::EMR_ENDPATH))
        return draw_leave(false);
    dc->path = PATH_CLOSED;
    return draw_leave(true);
}

BOOL WINAPI WidenPath(HDC hdc)
{
    GdiDC *dc = draw_enter(hdc, "WidenPath", NULL);
    if (!dc)
        return FALSE;
    /* Windows widens only with a geometric pen or one wider than a unit; Wine widens with any. */
    int width = gdi_selected_pen_width(dc);
    bool ok = draw_path_is(dc, PATH_CLOSED) && width > 0 && gdi_path_widen(dc, width) &&
              draw_no_param(dc, emf::EMR_WIDENPATH);
    return draw_leave(ok);
}

BOOL WINAPI FillPath(HDC hdc)
{
    GdiDC *dc = draw_enter(hdc, "FillPath", NULL);
    if (!dc)
        return FALSE;
    RECT region;
    /* A closed path without a single figure fills nothing and fails. */
    if (!draw_path_is(dc, PATH_CLOSED) || gdi_path_is_empty(dc) || !gdi_path_region_box(dc, dc->polyFillMode, &region))
        return draw_leave(false);
    emf::EMRFILLPATH rec = {{emf::EMR_FILLPATH, sizeof rec}, draw_rectl(region)};
    if (!emf_record(dc, &rec, sizeof rec))
        return draw_leave(false);
    /* The region box goes to the header as it is, right and bottom exclusive. An empty region
     * (0,0,0,0) paints nothing, so it adds nothing. */
    if (region.right > region.left)
        emf_add_bounds(dc, rec.rclBounds);
    gdi_path_release(dc);
    return draw_leave(true);
}
