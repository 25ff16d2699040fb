/* The vector drawers: the host's 16-bit point data turned into GDI drawing calls. */
#include "render/render.h"

#include <stdint.h>

#include "attrs/attrs.h"
#include "frame/scratch.h"

/* Most points one global block may hold: its size, points x 8 bytes, must fit in 32 bits. */
#define MAX_BLOCK_POINTS (UINT32_MAX / sizeof(POINT))

/* Sign-extends n 16-bit points into 32-bit points. */
static void render_widen_points(const POINTS *in, POINT *out, size_t n)
{
    for (size_t i = 0; i < n; i++) {
        out[i].x = in[i].x;
        out[i].y = in[i].y;
    }
}

/* Where n widened points go: the caller's local buffer for up to LOCAL_POINT_CAPACITY points,
 * else a locked global block whose handle goes to *block. NULL when the block cannot be had. */
static POINT *render_acquire_points(size_t n, POINT *local, HGLOBAL *block)
{
    *block = NULL;
    if (n <= LOCAL_POINT_CAPACITY)
        return local;
    if (n > MAX_BLOCK_POINTS)
        return NULL;
    return (POINT *)LockScratch(n * sizeof(POINT), block);
}

static void render_clip(HDC dc, const RECT *clip)
{
    if (clip != NULL)
        ApplyClipRect(dc, clip);
}

/* The shared road of Polygon and Polyline: buffer, clip, widen, draw, free. */
static INT render_point_list(HDC dc, WORD count, const void *points, const RECT *clip,
                             BOOL polygon)
{
    POINT local[LOCAL_POINT_CAPACITY];
    HGLOBAL block;
    POINT *buffer = render_acquire_points(count, local, &block);
    if (buffer == NULL)
        return -1;
    render_clip(dc, clip);
    render_widen_points((const POINTS *)points, buffer, count);
    BOOL drawn = polygon ? Polygon(dc, buffer, count) : Polyline(dc, buffer, count);
    FreeScratch(block);
    return drawn ? 0 : -1;
}

INT DrawPolygon(HDC dc, WORD style, WORD count, const void *points, const RECT *clip)
{
    SetPolyFillMode(dc, style == OS_WINDPOLYGON ? WINDING : ALTERNATE);
    return render_point_list(dc, count, points, clip, TRUE);
}

INT DrawPolyline(HDC dc, WORD style, WORD count, const void *points, const RECT *clip)
{
    (void)style;
    return render_point_list(dc, count, points, clip, FALSE);
}

INT DrawPolyPolygon(HDC dc, WORD style, WORD count, const void *points, const RECT *clip)
{
    const PolyPolygonPoints *polys = (const PolyPolygonPoints *)points;
    const INT *counts = polys->Counts;
    const POINTS *input = polys->Points;
    SetPolyFillMode(dc, style == OS_WINDPOLYPOLYGON ? WINDING : ALTERNATE);

    /* A negative count, or counts whose sum would not fit a block, draw nothing. */
    uint64_t total = 0;
    for (WORD i = 0; i < count; i++) {
        if (counts[i] < 0)
            return -1;
        total += (uint64_t)counts[i];
    }
    if (total > MAX_BLOCK_POINTS)
        return -1;

    POINT local[LOCAL_POINT_CAPACITY];
    HGLOBAL block;
    POINT *buffer = render_acquire_points((size_t)total, local, &block);
    if (buffer == NULL)
        return -1;
    render_clip(dc, clip);
    render_widen_points(input, buffer, (size_t)total);
    BOOL drawn = PolyPolygon(dc, buffer, counts, count);
    FreeScratch(block);
    return drawn ? 0 : -1;
}

INT DrawRectangle(HDC dc, WORD style, WORD count, const void *points, const RECT *clip)
{
    (void)style;
    (void)count;
    const POINTS *p = (const POINTS *)points;
    render_clip(dc, clip);
    return Rectangle(dc, p[0].x, p[0].y, p[1].x, p[1].y) ? 0 : -1;
}

INT DrawEllipse(HDC dc, WORD style, WORD count, const void *points, const RECT *clip)
{
    (void)style;
    (void)count;
    const POINTS *p = (const POINTS *)points;
    render_clip(dc, clip);
    return Ellipse(dc, p[0].x, p[0].y, p[1].x, p[1].y) ? 0 : -1;
}

INT DrawBezier(HDC dc, WORD style, WORD count, const void *points, const RECT *clip)
{
    (void)style;
    (void)count; /* one segment: a longer list draws only its first four points */
    POINT segment[4];
    render_clip(dc, clip);
    render_widen_points((const POINTS *)points, segment, 4);
    return PolyBezier(dc, segment, 4) ? 0 : -1;
}

INT DrawScanlines(HDC dc, WORD style, WORD count, const void *points)
{
    (void)style;
    if (count < 2)
        return 0;
    /* Element 0 carries the line's y; every further element is one segment, from x to y. */
    const POINTS *p = (const POINTS *)points;
    int y = p[0].y;
    for (WORD i = 1; i < count; i++) {
        MoveToEx(dc, p[i].x, y, NULL);
        LineTo(dc, p[i].y, y);
    }
    return 0;
}

INT DrawRoundRect(HDC dc, WORD style, WORD count, const void *points)
{
    (void)style;
    if (count < 3)
        return 0;
    const POINTS *p = (const POINTS *)points;
    RoundRect(dc, p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y);
    return 0;
}

INT DrawArcPieChord(HDC dc, WORD style, WORD count, const void *points)
{
    if (count < 4)
        return 0;
    const POINTS *p = (const POINTS *)points;
    switch (style) {
    case OS_ARC:
        Arc(dc, p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y, p[3].x, p[3].y);
        break;
    case OS_PIE:
        Pie(dc, p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y, p[3].x, p[3].y);
        break;
    case OS_CHORD:
        Chord(dc, p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y, p[3].x, p[3].y);
        break;
    default:
        break;
    }
    return 0;
}
