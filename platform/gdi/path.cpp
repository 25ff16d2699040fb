/* Path geometry of the stand-in's GDI: the figures a path bracket collects, their widening by a pen,
 * and the bounding box of the region they enclose, which is what FillPath records.
 *
 * Figures are kept as GDI keeps them, as integer points in logical units: curves are flattened when
 * they are added and every computed vertex is rounded to the nearest integer. The region box follows
 * GDI's polygon scan rule: a pixel row y is sampled at y, and a pixel x is inside when it lies at or
 * right of a left edge and left of a right edge, so a box's right and bottom are exclusive. */
#include "gdi_private.h"

#include <math.h>
#include <stdlib.h>

#include <algorithm>

enum PathPointType : uint8_t {
    PATH_MOVETO = 1,  /* first point of a figure */
    PATH_LINETO = 2,  /* joined to the point before */
    PATH_CLOSE = 0x80, /* set on a figure's last point when the figure is closed */
};

struct PathPoint {
    LONG x, y;
    uint8_t type;
};

struct GdiPath {
    PathPoint *pts;
    int count;
    int capacity;
};

/* A non-horizontal edge of a closed figure, top end first; dir is +1 when the figure runs down it. */
struct PathEdge {
    int64_t xTop, yTop, xBottom, yBottom;
    int dir;
};

struct PathCrossing {
    int64_t x;
    int dir;
};

static const double path_pi = 3.14159265358979323846;
enum {
    PATH_ARC_STEPS = 64,    /* segments of a full ellipse when a curve is flattened */
    PATH_BEZIER_STEPS = 16, /* segments of one cubic curve */
    PATH_CAP_STEPS = 8,     /* segments of a half circle of a widening pen's round end */
    PATH_COORD_LIMIT = 1 << 27, /* GDI's device space is 28 bits wide; the scan clamps to it */
};

/* floor(v + 0.5); within 32 bits by truncation, which the compiler does in two instructions where
 * its floor takes a dozen. */
static LONG path_round(double v)
{
    double h = v + 0.5;
    if (!(h > -2147483648.0 && h < 2147483648.0))
        return (LONG)floor(h);
    LONG t = (LONG)h;
    return t - (t > h ? 1 : 0);
}

/* path_reserve's growth step, out of line so that the test for room inlines into every caller. */
static __attribute__((noinline)) bool path_grow(GdiPath *p, int64_t extra)
{
    int64_t want = p->count + extra;
    int64_t cap = p->capacity ? p->capacity : 64;
    while (cap < want)
        cap *= 2;
    if (cap > INT32_MAX / (int64_t)sizeof(PathPoint))
        return false;
    PathPoint *pts = (PathPoint *)realloc(p->pts, (size_t)cap * sizeof(PathPoint));
    if (!pts)
        return false;
    p->pts = pts;
    p->capacity = (int)cap;
    return true;
}

/* Makes room for extra more points; false (nothing changed) when memory runs out. */
static inline bool path_reserve(GdiPath *p, int64_t extra)
{
    return extra <= p->capacity - p->count || path_grow(p, extra);
}

/* Appends a point into reserved room, dropping one equal to the point before in the same figure. */
static inline void path_append(GdiPath *p, LONG x, LONG y, uint8_t type)
{
    if (type == PATH_LINETO && p->count > 0) {
        const PathPoint &last = p->pts[p->count - 1];
        if (last.x == x && last.y == y && !(last.type & PATH_CLOSE))
            return;
    }
    p->pts[p->count++] = PathPoint{x, y, type};
}

static void path_close_figure(GdiPath *p)
{
    if (p->count > 0)
        p->pts[p->count - 1].type |= PATH_CLOSE;
}

/* Index one past the figure that starts at start. */
static int path_figure_end(const GdiPath *p, int start)
{
    int end = start + 1;
    while (end < p->count && p->pts[end].type != PATH_MOVETO)
        end++;
    return end;
}

/* Appends steps + 1 points of an ellipse arc from angle a0 to a1 (counter-clockwise as seen on the
 * page, whose y runs down), the first with type first. */
static void path_append_arc(GdiPath *p, double cx, double cy, double rx, double ry, double a0, double a1,
                            int steps, uint8_t first)
{
    for (int i = 0; i <= steps; i++) {
        double a = a0 + (a1 - a0) * i / steps;
        path_append(p, path_round(cx + rx * cos(a)), path_round(cy - ry * sin(a)), i == 0 ? first : (uint8_t)PATH_LINETO);
    }
}

/* The angle of pt seen from the centre of an ellipse with radii rx and ry: the parameter of the point
 * where the ray towards pt meets the ellipse. */
static double path_ellipse_angle(double cx, double cy, double rx, double ry, POINT pt)
{
    return atan2(-((double)pt.y - cy) * rx, ((double)pt.x - cx) * ry);
}

void gdi_path_release(GdiDC *dc)
{
    if (dc->pathData) {
        free(dc->pathData->pts);
        free(dc->pathData);
        dc->pathData = NULL;
    }
    dc->path = PATH_NONE;
}

bool gdi_path_reset(GdiDC *dc)
{
    if (!dc->pathData) {
        dc->pathData = (GdiPath *)calloc(1, sizeof(GdiPath));
        if (!dc->pathData)
            return false;
    }
    dc->pathData->count = 0;
    return true;
}

bool gdi_path_is_empty(GdiDC *dc) { return !dc->pathData || dc->pathData->count == 0; }

bool gdi_path_move_to(GdiDC *dc, POINT pt)
{
    GdiPath *p = dc->pathData;
    if (!p)
        return false;
    /* A figure still waiting for its first line just moves. */
    if (p->count > 0 && p->pts[p->count - 1].type == PATH_MOVETO) {
        p->pts[p->count - 1].x = pt.x;
        p->pts[p->count - 1].y = pt.y;
        return true;
    }
    if (!path_reserve(p, 1))
        return false;
    path_append(p, pt.x, pt.y, PATH_MOVETO);
    return true;
}

bool gdi_path_line_to(GdiDC *dc, POINT from, POINT pt)
{
    GdiPath *p = dc->pathData;
    if (!p || !path_reserve(p, 2))
        return false;
    const PathPoint *last = p->count > 0 ? &p->pts[p->count - 1] : NULL;
    bool continues = last && !(last->type & PATH_CLOSE) && last->x == from.x && last->y == from.y;
    if (!continues)
        path_append(p, from.x, from.y, PATH_MOVETO);
    p->pts[p->count++] = PathPoint{pt.x, pt.y, PATH_LINETO};
    return true;
}

bool gdi_path_add_lines(GdiDC *dc, const POINT *pts, int n, bool closed)
{
    GdiPath *p = dc->pathData;
    if (!p || n < 1 || !path_reserve(p, n))
        return false;
    for (int i = 0; i < n; i++)
        path_append(p, pts[i].x, pts[i].y, i == 0 ? PATH_MOVETO : PATH_LINETO);
    if (closed)
        path_close_figure(p);
    return true;
}

bool gdi_path_add_beziers(GdiDC *dc, const POINT *pts, int n)
{
    GdiPath *p = dc->pathData;
    if (!p || n < 1 || (n - 1) % 3 != 0 || !path_reserve(p, 1 + (int64_t)(n - 1) / 3 * PATH_BEZIER_STEPS))
        return false;
    path_append(p, pts[0].x, pts[0].y, PATH_MOVETO);
    for (int c = 1; c + 2 < n; c += 3) {
        const POINT &p0 = pts[c - 1], &p1 = pts[c], &p2 = pts[c + 1], &p3 = pts[c + 2];
        for (int i = 1; i <= PATH_BEZIER_STEPS; i++) {
            double t = (double)i / PATH_BEZIER_STEPS, u = 1 - t;
            double x = u * u * u * p0.x + 3 * u * u * t * p1.x + 3 * u * t * t * p2.x + t * t * t * p3.x;
            double y = u * u * u * p0.y + 3 * u * u * t * p1.y + 3 * u * t * t * p2.y + t * t * t * p3.y;
            path_append(p, path_round(x), path_round(y), PATH_LINETO);
        }
    }
    return true;
}

bool gdi_path_add_arc(GdiDC *dc, const RECT &box, POINT start, POINT end, uint32_t recordType)
{
    GdiPath *p = dc->pathData;
    if (!p || !path_reserve(p, PATH_ARC_STEPS + 2))
        return false;
    double cx = ((double)box.left + box.right) / 2, cy = ((double)box.top + box.bottom) / 2;
    double rx = ((double)box.right - box.left) / 2, ry = ((double)box.bottom - box.top) / 2;
    double a0 = 0, a1 = 2 * path_pi;
    if (recordType != emf::EMR_ELLIPSE) {
        a0 = path_ellipse_angle(cx, cy, rx, ry, start);
        a1 = path_ellipse_angle(cx, cy, rx, ry, end);
        if (a1 <= a0) /* equal angles sweep the whole ellipse */
            a1 += 2 * path_pi;
    }
    int steps = (int)ceil((a1 - a0) / (2 * path_pi) * PATH_ARC_STEPS);
    path_append_arc(p, cx, cy, rx, ry, a0, a1, steps > 0 ? steps : 1, PATH_MOVETO);
    if (recordType == emf::EMR_PIE)
        path_append(p, path_round(cx), path_round(cy), PATH_LINETO);
    if (recordType != emf::EMR_ARC)
        path_close_figure(p);
    return true;
}

bool gdi_path_add_round_rect(GdiDC *dc, const RECT &box, SIZE corner)
{
    GdiPath *p = dc->pathData;
    int quarter = PATH_ARC_STEPS / 4;
    if (!p || !path_reserve(p, 4 * (quarter + 1)))
        return false;
    double width = (double)box.right - box.left, height = (double)box.bottom - box.top;
    double rx = fmin(fabs((double)corner.cx), width) / 2, ry = fmin(fabs((double)corner.cy), height) / 2;
    double left = box.left + rx, right = box.right - rx, top = box.top + ry, bottom = box.bottom - ry;
    path_append_arc(p, right, top, rx, ry, 0, path_pi / 2, quarter, PATH_MOVETO);
    path_append_arc(p, left, top, rx, ry, path_pi / 2, path_pi, quarter, PATH_LINETO);
    path_append_arc(p, left, bottom, rx, ry, path_pi, 1.5 * path_pi, quarter, PATH_LINETO);
    path_append_arc(p, right, bottom, rx, ry, 1.5 * path_pi, 2 * path_pi, quarter, PATH_LINETO);
    path_close_figure(p);
    return true;
}

/* ---- Widening ---- */

/* The outline of a capsule around its end points: a half circle around each end. It depends on the
 * segment's direction and the pen's width only, so a run of segments that share a direction (a
 * path bracket's bands all run left to right) computes it once. */
struct CapsuleOutline {
    bool valid;
    double theta;
    int width;
    double shift;                                                /* see path_append_capsule */
    double dx[2][PATH_CAP_STEPS + 1], dy[2][PATH_CAP_STEPS + 1]; /* [0]: around the segment's end */
    /* The vertices of each end worth visiting, for end points within the settled range: each
     * rounded once to whole offsets from the end point it circles where that rounding cannot depend
     * on where the end point lies (settled false where it can: shift plus the offset within a hair
     * of a half unit, as at the cap's ends, where a cosine is 6e-17 instead of 0; such a coordinate
     * is rounded where it lies), without the settled vertices equal to the settled one before,
     * which the capsule would drop. A 1-unit pen's cap keeps 4 or 5 of its 9. */
    struct Vertex {
        LONG kx, ky;
        uint8_t i; /* into dx and dy */
        bool settledX, settledY;
    } vertices[2][PATH_CAP_STEPS + 1];
    int vertexCount[2];
};

enum {
    /* End points and widths for which the settled offsets hold: a vertex's coordinate stays below
     * 2^28, where each of its two additions is off by under 2^-25, far inside the margin. */
    PATH_SETTLED_COORD = PATH_COORD_LIMIT,
    PATH_SETTLED_WIDTH = 1 << 16,
};
static const double path_round_margin = 1.0 / (1 << 20);
static const double path_exact_unit = 1 << 24; /* offsets in steps of 2^-24 are added without error */

/* The whole offset k that rounding (c + shift) + d gives for every whole c the settled range holds,
 * and whether it is the same for all of them: true when d is a whole number of 2^-24 steps (every
 * addition exact) or shift + d + 0.5 lies farther than the margin from a whole number. */
static bool path_offset_settles(double shift, double d, LONG *k)
{
    double v = shift + d + 0.5, f = floor(v);
    *k = (LONG)f;
    bool exact = d * path_exact_unit == floor(d * path_exact_unit);
    return exact || (v - f > path_round_margin && f + 1 - v > path_round_margin);
}

static const CapsuleOutline &path_capsule_outline(CapsuleOutline *outline, double theta, int width)
{
    if (outline->valid && outline->theta == theta && outline->width == width)
        return *outline;
    double r = width / 2.0;
    int in = width / 2, outside = width - in;
    outline->shift = (outside - in) / 2.0;
    for (int end = 0; end < 2; end++) {
        double from = theta - path_pi / 2 + end * path_pi;
        int n = 0;
        for (int i = 0; i <= PATH_CAP_STEPS; i++) {
            double t = from + path_pi * i / PATH_CAP_STEPS;
            outline->dx[end][i] = r * cos(t);
            outline->dy[end][i] = r * sin(t);
            CapsuleOutline::Vertex v;
            v.i = (uint8_t)i;
            v.settledX = path_offset_settles(outline->shift, outline->dx[end][i], &v.kx);
            v.settledY = path_offset_settles(outline->shift, outline->dy[end][i], &v.ky);
            const CapsuleOutline::Vertex *before = n > 0 ? &outline->vertices[end][n - 1] : NULL;
            bool repeats = before && before->settledX && before->settledY && v.settledX &&
                           v.settledY && before->kx == v.kx && before->ky == v.ky;
            if (!repeats)
                outline->vertices[end][n++] = v;
        }
        outline->vertexCount[end] = n;
    }
    outline->valid = true;
    outline->theta = theta;
    outline->width = width;
    return *outline;
}

/* The direction of a segment as atan2 gives it; a level one, as a bracket's bands are, without the
 * call: atan2 of +0 over a positive or negative run is exactly 0 or pi. */
static double path_direction(const PathPoint &a, const PathPoint &b)
{
    if (a.y == b.y)
        return b.x >= a.x ? 0 : path_pi;
    return atan2((double)b.y - a.y, (double)b.x - a.x);
}

/* Appends the area a round pen paints along one segment: a capsule of radius w/2 around it, as one
 * closed figure. GDI puts the pen's odd unit on the right and bottom (it reaches w/2 rounded down
 * left and up, the rest right and down), so the capsule is shifted by half of that difference: a
 * 1-unit pen along (x1,y)-(x2,y) covers exactly the pixels x1..x2 of row y. */
static void path_append_capsule(GdiPath *out, const PathPoint &a, const PathPoint &b, int width,
                                CapsuleOutline *outline)
{
    const CapsuleOutline &o = path_capsule_outline(outline, path_direction(a, b), width);
    bool settles = width <= PATH_SETTLED_WIDTH;
    for (const PathPoint *c : {&a, &b})
        settles = settles && c->x > -PATH_SETTLED_COORD && c->x < PATH_SETTLED_COORD &&
                  c->y > -PATH_SETTLED_COORD && c->y < PATH_SETTLED_COORD;
    PathPoint *pts = out->pts;
    int first = out->count, n = first;
    /* The first vertex opens the figure; each later one is dropped when it repeats the one before,
     * as path_append drops it. */
    auto add = [&](LONG x, LONG y) {
        if (n > first && pts[n - 1].x == x && pts[n - 1].y == y)
            return;
        pts[n++] = PathPoint{x, y, (uint8_t)PATH_LINETO};
    };
    if (settles && width == 1 && a.y == b.y && b.x >= a.x) {
        /* A 1-unit pen along a band drawn left to right, as a bracket's are: the outline's vertices
         * in order, the settled ones (cap offsets of 0 or 1) written out; the five that sit on a
         * rounding edge are rounded as the general loop below rounds them. */
        LONG x1 = a.x, x2 = b.x, y = a.y;
        double shift = o.shift;
        add(path_round(x2 + shift + o.dx[0][0]), y);
        add(x2 + 1, y);
        add(x2 + 1, y + 1);
        add(path_round(x2 + shift + o.dx[0][PATH_CAP_STEPS]), y + 1);
        add(path_round(x1 + shift + o.dx[1][0]), y + 1);
        add(x1, y + 1);
        add(x1, path_round(y + shift + o.dy[1][PATH_CAP_STEPS / 2]));
        add(x1, y);
        add(path_round(x1 + shift + o.dx[1][PATH_CAP_STEPS]), y);
    } else {
        for (int end = 0; end < 2; end++) {
            const PathPoint &c = end == 0 ? b : a;
            double cx = c.x + o.shift, cy = c.y + o.shift;
            if (settles) {
                const CapsuleOutline::Vertex *v = o.vertices[end], *last = v + o.vertexCount[end];
                for (; v < last; v++)
                    add(v->settledX ? c.x + v->kx : path_round(cx + o.dx[end][v->i]),
                        v->settledY ? c.y + v->ky : path_round(cy + o.dy[end][v->i]));
            } else {
                for (int i = 0; i <= PATH_CAP_STEPS; i++)
                    add(path_round(cx + o.dx[end][i]), path_round(cy + o.dy[end][i]));
            }
        }
    }
    pts[first].type = PATH_MOVETO;
    pts[n - 1].type |= PATH_CLOSE;
    out->count = n;
}

/* The segments of every figure, the closing one included, each as a capsule. Their union is the
 * round-capped, round-joined stroke; the capsules all run the same way round, so overlaps add up
 * under the winding rule the caller fills with. Linear in the segments, with one allocation. */
bool gdi_path_widen(GdiDC *dc, int penWidth)
{
    GdiPath *p = dc->pathData;
    if (!p)
        return false;
    GdiPath out = {NULL, 0, 0};
    const int perCapsule = 2 * (PATH_CAP_STEPS + 1);
    if (!path_reserve(&out, (int64_t)p->count * perCapsule + 1)) {
        free(out.pts);
        return false;
    }
    CapsuleOutline outline;
    outline.valid = false;
    for (int start = 0; start < p->count;) {
        int end = path_figure_end(p, start);
        for (int i = start; i + 1 < end; i++)
            path_append_capsule(&out, p->pts[i], p->pts[i + 1], penWidth, &outline);
        if ((p->pts[end - 1].type & PATH_CLOSE) && end - start > 2)
            path_append_capsule(&out, p->pts[end - 1], p->pts[start], penWidth, &outline);
        start = end;
    }
    free(p->pts);
    *p = out;
    return true;
}

/* ---- Region box ---- */

static int64_t path_clamp(LONG v)
{
    return v < -PATH_COORD_LIMIT ? -PATH_COORD_LIMIT : v >= PATH_COORD_LIMIT ? PATH_COORD_LIMIT - 1 : v;
}

/* Collects the non-horizontal edges of every figure, each closed; returns their number or -1. */
static int path_collect_edges(const GdiPath *p, PathEdge **edges)
{
    *edges = (PathEdge *)malloc((size_t)(p->count > 0 ? p->count : 1) * sizeof(PathEdge));
    if (!*edges)
        return -1;
    /* One pass over the points: a figure starts at the first point and at each later move, and its
     * last point (the one before the next move) joins back to its start. */
    int n = 0, start = 0;
    for (int i = 0; i < p->count; i++) {
        if (p->pts[i].type == PATH_MOVETO)
            start = i;
        bool closes = i + 1 == p->count || p->pts[i + 1].type == PATH_MOVETO;
        const PathPoint &a = p->pts[i], &b = p->pts[closes ? start : i + 1];
        if (a.y == b.y)
            continue; /* a level edge crosses no row */
        int64_t ay = path_clamp(a.y), by = path_clamp(b.y);
        if (ay == by)
            continue; /* nor does one the clamp makes level */
        int64_t ax = path_clamp(a.x), bx = path_clamp(b.x);
        (*edges)[n++] = ay < by ? PathEdge{ax, ay, bx, by, 1} : PathEdge{bx, by, ax, ay, -1};
    }
    return n;
}

/* The orders of the scan, as function objects so that the sorts compare inline. */
static const auto path_edge_above = [](const PathEdge &a, const PathEdge &b) { return a.yTop < b.yTop; };
static const auto path_crossing_left = [](const PathCrossing &a, const PathCrossing &b) { return a.x < b.x; };

/* The first pixel column at or right of where edge e crosses row y. */
static int64_t path_crossing(const PathEdge &e, int64_t y)
{
    if (e.xTop == e.xBottom)
        return e.xTop; /* upright, as a widened band's sides are: no division */
    int64_t dy = e.yBottom - e.yTop;
    int64_t num = e.xTop * dy + (y - e.yTop) * (e.xBottom - e.xTop);
    int64_t q = num / dy;
    return q * dy < num ? q + 1 : q;
}

/* Grows box by the spans of one row, given its crossings sorted by x. */
static void path_row_spans(const PathCrossing *xs, int n, int64_t y, int fillMode, int64_t box[4], bool *any)
{
    int wind = 0;
    for (int i = 0; i + 1 < n; i++) {
        wind = fillMode == WINDING ? wind + xs[i].dir : (wind + 1) & 1;
        if (wind == 0 || xs[i + 1].x <= xs[i].x)
            continue;
        if (!*any) {
            box[0] = xs[i].x, box[1] = y, box[2] = xs[i + 1].x, box[3] = y + 1;
            *any = true;
        }
        box[0] = xs[i].x < box[0] ? xs[i].x : box[0];
        box[2] = xs[i + 1].x > box[2] ? xs[i + 1].x : box[2];
        box[3] = y + 1;
    }
}

/* The scan of edges sorted by their tops that are all one row tall, as a widened band's are: each
 * crosses only its top row, at its top x, so a row's crossings are the edges that start on it and
 * no active list is kept. The order of equal crossings within a row cannot change its spans. */
static void path_scan_one_row_edges(const PathEdge *edges, int n, PathCrossing *xs, int fillMode,
                                    int64_t box[4], bool *any)
{
    for (int i = 0; i < n;) {
        int64_t y = edges[i].yTop;
        int m = 0;
        for (; i < n && edges[i].yTop == y; i++)
            xs[m++] = PathCrossing{edges[i].xTop, edges[i].dir};
        std::sort(xs, xs + m, path_crossing_left);
        path_row_spans(xs, m, y, fillMode, box, any);
    }
}

/* Scans the rows from the first edge's top to the last edge's bottom with an active edge list. */
static void path_scan(PathEdge *edges, int n, PathCrossing *xs, int fillMode, int64_t box[4], bool *any)
{
    /* A path drawn top to bottom, as a bracket's bands are, is already in order: no sort then. */
    if (!std::is_sorted(edges, edges + n, path_edge_above))
        std::sort(edges, edges + n, path_edge_above);
    if (std::all_of(edges, edges + n, [](const PathEdge &e) { return e.yBottom - e.yTop == 1; })) {
        path_scan_one_row_edges(edges, n, xs, fillMode, box, any);
        return;
    }
    int next = 0, active = 0; /* edges[0, active) are active, edges[next, n) not reached yet */
    int64_t y = n > 0 ? edges[0].yTop : 0;
    while (next < n || active > 0) {
        if (active == 0 && edges[next].yTop > y)
            y = edges[next].yTop;
        while (next < n && edges[next].yTop <= y)
            edges[active++] = edges[next++]; /* edges[active, next) are spent: free slots */
        int m = 0;
        for (int i = 0; i < active; i++) {
            if (edges[i].yBottom <= y) {
                edges[i--] = edges[--active];
                continue;
            }
            xs[m++] = PathCrossing{path_crossing(edges[i], y), edges[i].dir};
        }
        std::sort(xs, xs + m, path_crossing_left);
        path_row_spans(xs, m, y, fillMode, box, any);
        y++;
    }
}

bool gdi_path_region_box(GdiDC *dc, int fillMode, RECT *box)
{
    static const GdiPath none = {NULL, 0, 0};
    const GdiPath *p = dc->pathData ? dc->pathData : &none;
    PathEdge *edges;
    int n = path_collect_edges(p, &edges);
    if (n < 0)
        return false;
    PathCrossing *xs = (PathCrossing *)malloc((size_t)(n > 0 ? n : 1) * sizeof(PathCrossing));
    if (!xs) {
        free(edges);
        return false;
    }
    int64_t b[4] = {0, 0, 0, 0};
    bool any = false;
    path_scan(edges, n, xs, fillMode, b, &any);
    free(xs);
    free(edges);
    *box = RECT{(LONG)b[0], (LONG)b[1], (LONG)b[2], (LONG)b[3]};
    return true;
}
