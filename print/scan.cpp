/* GDI's polygon scan conversion: pixel (x, y) is inside when the point (x, y), the pixel's
 * top-left corner, lies inside the figure, points on a left or top edge counting as inside and
 * points on a right or bottom edge as outside. Every figure of the path is closed. */
#include "player_private.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

struct ScanEdge {
    double x0, y0, x1, y1; /* y0 < y1 */
    int winding;           /* +1 downwards as drawn, -1 upwards */
};

struct ScanCrossing {
    double x;
    int winding;
};

static void scan_add_edge(std::vector<ScanEdge> *edges, double ax, double ay, double bx, double by)
{
    if (ay == by || !isfinite(ax) || !isfinite(ay) || !isfinite(bx) || !isfinite(by))
        return; /* a horizontal edge starts or ends no span */
    if (ay < by)
        edges->push_back(ScanEdge{ax, ay, bx, by, 1});
    else
        edges->push_back(ScanEdge{bx, by, ax, ay, -1});
}

/* Sets the pixels ceil(a) .. ceil(b) - 1 of row y of the coverage mask to mark: 0xFF marks
 * them, 0 takes them out again. */
static void scan_span(Player *p, uint8_t *row, double a, double b, ScanBox *box, int32_t y,
                      uint8_t mark)
{
    double left = fmax(ceil(a), 0), right = fmin(ceil(b), p->width);
    if (!(left < right))
        return;
    int32_t l = (int32_t)left, r = (int32_t)right;
    memset(row + l, mark, (size_t)(r - l));
    box->x0 = std::min(box->x0, l);
    box->x1 = std::max(box->x1, r);
    box->y0 = std::min(box->y0, y);
    box->y1 = std::max(box->y1, y + 1);
}


/* Sets the pixels of the figures the edges bound to mark. */
static void scan_edges(Player *p, std::vector<ScanEdge> &edges, bool alternate, ScanBox *box,
                       uint8_t mark)
{
    if (edges.empty())
        return;
    std::sort(edges.begin(), edges.end(),
              [](const ScanEdge &a, const ScanEdge &b) { return a.y0 < b.y0; });
    double top = fmax(ceil(edges.front().y0), 0), bottom = 0;
    for (const ScanEdge &e : edges)
        bottom = fmax(bottom, e.y1);
    bottom = fmin(ceil(bottom), p->height);
    std::vector<size_t> active;
    std::vector<ScanCrossing> crossings;
    size_t next = 0;
    for (double row = top; row < bottom; row++) {
        /* Edges with y0 <= row < y1 cross this row. */
        while (next < edges.size() && edges[next].y0 <= row)
            active.push_back(next++);
        crossings.clear();
        size_t kept = 0;
        for (size_t k = 0; k < active.size(); k++) {
            const ScanEdge &e = edges[active[k]];
            if (e.y1 <= row)
                continue;
            active[kept++] = active[k];
            double cx = e.x0 + (row - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0);
            crossings.push_back(ScanCrossing{cx, e.winding});
        }
        active.resize(kept);
        if (crossings.empty())
            continue;
        std::sort(crossings.begin(), crossings.end(),
                  [](const ScanCrossing &a, const ScanCrossing &b) { return a.x < b.x; });
        int32_t y = (int32_t)row;
        uint8_t *cover = p->coverBits + (size_t)y * p->coverStride;
        int winding = 0;
        for (size_t k = 0; k + 1 < crossings.size(); k++) {
            winding += alternate ? 1 : crossings[k].winding;
            bool inside = alternate ? (winding & 1) != 0 : winding != 0;
            if (inside)
                scan_span(p, cover, crossings[k].x, crossings[k + 1].x, box, y, mark);
        }
    }
}


void scan_fill_path(Player *p, const cairo_path_t *path, bool alternate, ScanBox *box)
{
    std::vector<ScanEdge> edges;
    double startX = 0, startY = 0, x = 0, y = 0;
    bool open = false;
    for (int i = 0; i < path->num_data; i += path->data[i].header.length) {
        const cairo_path_data_t *d = &path->data[i];
        switch (d->header.type) {
        case CAIRO_PATH_MOVE_TO:
            if (open)
                scan_add_edge(&edges, x, y, startX, startY);
            startX = x = d[1].point.x;
            startY = y = d[1].point.y;
            open = true;
            break;
        case CAIRO_PATH_LINE_TO:
            scan_add_edge(&edges, x, y, d[1].point.x, d[1].point.y);
            x = d[1].point.x;
            y = d[1].point.y;
            break;
        case CAIRO_PATH_CLOSE_PATH:
            scan_add_edge(&edges, x, y, startX, startY);
            x = startX;
            y = startY;
            open = false;
            break;
        default: /* the path is flat */
            break;
        }
    }
    if (open)
        scan_add_edge(&edges, x, y, startX, startY);
    scan_edges(p, edges, alternate, box, 0xFF);
}

void scan_fill(Player *p, cairo_t *cr, bool alternate, ScanBox *box)
{
    cairo_surface_flush(p->coverSurface);
    cairo_path_t *path = cairo_copy_path_flat(cr);
    scan_fill_path(p, path, alternate, box);
    cairo_path_destroy(path);
}

/* ---- wide pens, as GDI draws a pen wider than a pixel ----
 *
 * GDI works on whole device points. A segment is a quadrilateral whose corners are its ends moved
 * across the line by half the width, each half rounded to whole pixels on its own, or a rectangle
 * when the segment is horizontal or vertical. A join is the pen's dot, a bevel between the faces
 * the two segments end on, or the miter through the point where their outer sides meet when that
 * lies within the miter limit. An open figure ends in the pen's dot, or its end segments reach on
 * by half the width for square caps. Dashes cut a figure into open pieces along its length. The
 * stroke is the union of all its parts. */

struct WidePoint {
    int64_t x, y;
};

/* The edge across the pen where a segment starts or ends, and the segment's direction. */
struct WideFace {
    WidePoint start, end;
    int64_t dx, dy;
};

/* One stroke: the pen, the insets of its dot's rows, the place in its dash pattern. */
struct WideStroke {
    Player *p;
    const WidePen *pen;
    ScanBox *box;
    std::vector<int32_t> dot;
    uint32_t entry, left;   /* the dash entry and how much of it is left */
    bool on;                /* the entry is drawn (a dash), not a gap */
    bool covered;           /* a part covered the whole page: the rest can add nothing */
};

/* How far each row of GDI's elliptic region of width x height pixels (both at least 2) is inset
 * from its sides: the first quadrant stepped from the middle row down by Zingl's integer ellipse,
 * the upper half its mirror. */
static void scan_ellipse_insets(int32_t width, int32_t height, std::vector<int32_t> *insets)
{
    int64_t a = width - 1, b = height - 1;
    int64_t stepA = 8 * a * a, stepB = 8 * b * b;
    int64_t dx = 4 * b * b * (1 - a), dy = 4 * a * a * (1 + b % 2);
    int64_t err = dx + dy + a * a * (b % 2);
    insets->assign((size_t)height, 0);
    int32_t x = 0, y = height / 2;
    while (x <= width / 2) {
        int64_t e2 = 2 * err;
        if (e2 >= dx) {
            x++;
            dx += stepB;
            err += dx;
        }
        if (e2 <= dy) {
            y++;
            dy += stepA;
            err += dy;
            if (y < height)
                (*insets)[y] = x;
        }
    }
    for (int32_t i = 0; i < height / 2; i++)
        (*insets)[i] = (*insets)[b - i];
}

/* GDI's rounding of a pen's offsets: halves away from zero. */
static int64_t wide_round(double v)
{
    return (int64_t)(v > 0 ? v + 0.5 : v - 0.5);
}

static int64_t wide_round_long(long double v)
{
    return (int64_t)(v > 0 ? v + 0.5L : v - 0.5L);
}

void scan_mark_polygon(Player *p, const double (*pts)[2], int n, uint8_t mark, ScanBox *box)
{
    std::vector<ScanEdge> edges;
    for (int i = 0; i < n; i++)
        scan_add_edge(&edges, pts[i][0], pts[i][1], pts[(i + 1) % n][0], pts[(i + 1) % n][1]);
    scan_edges(p, edges, true, box, mark);
}

void scan_mark_rect(Player *p, const ScanBox &rect, uint8_t mark, ScanBox *box)
{
    for (int32_t y = rect.y0 < 0 ? 0 : rect.y0; y < rect.y1 && y < p->height; y++)
        scan_span(p, p->coverBits + (size_t)y * p->coverStride, (double)rect.x0, (double)rect.x1, box,
                  y, mark);
}

void scan_mark_round(Player *p, const ScanBox &r, int32_t /* ew: the insets hold it */, int32_t eh,
                     const std::vector<int32_t> &insets, uint8_t mark, ScanBox *box)
{
    /* The upper corners' rows, the straight middle, the lower corners' rows. */
    for (int32_t y = std::max(r.y0, 0); y < r.y1 && y < p->height; y++) {
        int32_t inset = 0;
        if (!insets.empty() && y - r.y0 < eh / 2)
            inset = insets[y - r.y0];
        else if (!insets.empty() && y > r.y1 - eh + eh / 2)
            inset = insets[y - (r.y1 - eh)];
        scan_span(p, p->coverBits + (size_t)y * p->coverStride, r.x0 + inset, r.x1 - inset, box, y,
                  mark);
    }
}

/* True when nothing within margin pixels of these points lies on the page: pieces of a stroke
 * that runs far beyond the page cost no drawing there. */
static bool wide_off_page(const WideStroke *s, const WidePoint *pts, size_t n, double margin)
{
    int64_t x0 = INT64_MAX, y0 = INT64_MAX, x1 = INT64_MIN, y1 = INT64_MIN;
    for (size_t i = 0; i < n; i++) {
        x0 = std::min(x0, pts[i].x), y0 = std::min(y0, pts[i].y);
        x1 = std::max(x1, pts[i].x), y1 = std::max(y1, pts[i].y);
    }
    return x1 + margin < 0 || y1 + margin < 0 || x0 - margin > s->p->width || y0 - margin > s->p->height;
}

/* How far from its points a pen's join or end can reach. */
static double wide_reach(const WidePen *pen)
{
    return pen->width * (pen->join == PS_JOIN_MITER ? pen->miterLimit : 1.0) + 2;
}

/* True when point (x, y) lies inside the polygon by the alternate rule. */
static bool wide_inside(const WidePoint *pts, int n, double x, double y)
{
    bool inside = false;
    for (int i = 0, j = n - 1; i < n; j = i++) {
        double xi = (double)pts[i].x, yi = (double)pts[i].y, xj = (double)pts[j].x, yj = (double)pts[j].y;
        if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi)
            inside = !inside;
    }
    return inside;
}

static void wide_polygon(WideStroke *s, const WidePoint *pts, int n)
{
    if (s->covered || wide_off_page(s, pts, (size_t)n, 1))
        return;
    double corners[8][2];
    for (int i = 0; i < n; i++)
        corners[i][0] = (double)pts[i].x, corners[i][1] = (double)pts[i].y;
    device_mark_polygon(s->p, corners, n, s->pen->mark, s->box);
    /* A pen wider than the page may cover all of it with each of its many parts. */
    double w = s->p->width, h = s->p->height;
    s->covered = wide_inside(pts, n, 0, 0) && wide_inside(pts, n, w, 0) && wide_inside(pts, n, 0, h) &&
                 wide_inside(pts, n, w, h);
}

/* The rectangle [x0, x1) x [y0, y1), within the reach of 32 bits. */
static void wide_rect(WideStroke *s, int64_t x0, int64_t y0, int64_t x1, int64_t y1)
{
    if (s->covered)
        return;
    s->covered = x0 <= 0 && y0 <= 0 && x1 >= s->p->width && y1 >= s->p->height;
    auto clamp = [](int64_t v) { return (int32_t)std::max<int64_t>(std::min<int64_t>(v, INT32_MAX / 2), -INT32_MAX / 2); };
    device_mark_rect(s->p, ScanBox{clamp(x0), clamp(y0), clamp(x1), clamp(y1)}, s->pen->mark, s->box);
}

/* The pen's dot at v: GDI's elliptic region in the width x width box whose top-left corner lies
 * width / 2 above and left of v. */
static void wide_dot(WideStroke *s, WidePoint v)
{
    int32_t w = s->pen->width;
    int64_t left = v.x - w / 2, top = v.y - w / 2;
    if (s->covered || top + w <= 0 || top >= s->p->height || left + w <= 0 || left >= s->p->width)
        return;
    device_mark_round(s->p, ScanBox{(int32_t)left, (int32_t)top, (int32_t)(left + w), (int32_t)(top + w)},
                      w, w, s->dot, s->pen->mark, s->box);
    /* The dot is convex: it covers the page when its rows at the page's top and bottom span it. */
    int64_t first = std::max<int64_t>(0, -top), last = std::min<int64_t>(w, s->p->height - top) - 1;
    auto inset = [&](int64_t i) { return i < (int64_t)s->dot.size() ? s->dot[(size_t)i] : 0; };
    s->covered = top <= 0 && top + w >= s->p->height && left + inset(first) <= 0 &&
                 left + inset(last) <= 0 && left + w - inset(first) >= s->p->width &&
                 left + w - inset(last) >= s->p->width;
}

/* A horizontal or vertical segment from a to b, running along (dx, dy), as a rectangle. */
static void wide_straight(WideStroke *s, WidePoint a, WidePoint b, int64_t dx, int64_t dy,
                          bool squareA, bool squareB, WideFace *first, WideFace *last)
{
    int64_t w = s->pen->width, half = w / 2;
    if (dy == 0) {
        int64_t l = a.x < b.x ? a.x : b.x, r = a.x < b.x ? b.x : a.x, t = a.y - half, bottom = t + w;
        l -= (dx > 0 ? squareA : squareB) ? half : 0;
        r += (dx > 0 ? squareB : squareA) ? half : 0;
        wide_rect(s, l, t, r, bottom);
        if (dx > 0) {
            *first = {{l, bottom}, {l, t}, dx, dy};
            *last = {{r - 1, t}, {r - 1, bottom}, dx, dy};
        } else {
            *first = {{r, t}, {r, bottom}, dx, dy};
            *last = {{l + 1, bottom}, {l + 1, t}, dx, dy};
        }
        return;
    }
    int64_t t = a.y < b.y ? a.y : b.y, bottom = a.y < b.y ? b.y : a.y, l = a.x - half, r = l + w;
    t -= (dy > 0 ? squareA : squareB) ? half : 0;
    bottom += (dy > 0 ? squareB : squareA) ? half : 0;
    wide_rect(s, l, t, r, bottom);
    if (dy > 0) {
        *first = {{l, t}, {r, t}, dx, dy};
        *last = {{r, bottom - 1}, {l, bottom - 1}, dx, dy};
    } else {
        *first = {{r, bottom}, {l, bottom}, dx, dy};
        *last = {{l, t + 1}, {r, t + 1}, dx, dy};
    }
}

/* The segment from a to b running along (dx, dy) (a dash's piece runs along its whole segment),
 * with a square end at a or b where capA or capB asks for one; its faces go to *first and *last.
 * False, and nothing drawn, for a segment of no direction. */
static bool wide_segment(WideStroke *s, WidePoint a, WidePoint b, int64_t dx, int64_t dy, bool capA,
                         bool capB, WideFace *first, WideFace *last)
{
    if (dx == 0 && dy == 0)
        return false;
    bool squareA = capA && s->pen->cap == PS_ENDCAP_SQUARE, squareB = capB && s->pen->cap == PS_ENDCAP_SQUARE;
    if (dx == 0 || dy == 0) {
        wide_straight(s, a, b, dx, dy, squareA, squareB, first, last);
        return true;
    }
    /* The pen's extent across the line along x and y, halved: the narrower half on one side of
     * the line, the wider on the other, each rounded on its own. */
    double length = hypot((double)dx, (double)dy), w = s->pen->width;
    double acrossX = w * (double)llabs(dy) / length, acrossY = w * (double)llabs(dx) / length;
    WidePoint narrow = {wide_round(acrossX / 2), wide_round(acrossY / 2)};
    WidePoint wide = {wide_round((acrossX + 1) / 2), wide_round((acrossY + 1) / 2)};
    if (dx < 0) {
        narrow.y = -narrow.y;
        wide.y = -wide.y;
    }
    if (dy < 0) {
        WidePoint t = narrow;
        narrow = {-wide.x, wide.y};
        wide = {-t.x, t.y};
    }
    WidePoint q[4] = {{a.x - narrow.x, a.y + narrow.y}, {a.x + wide.x, a.y - wide.y},
                      {b.x + wide.x, b.y - wide.y}, {b.x - narrow.x, b.y + narrow.y}};
    if (squareA)
        for (int k = 0; k < 2; k++)
            q[k] = {q[k].x - narrow.y, q[k].y - narrow.x};
    if (squareB)
        for (int k = 2; k < 4; k++)
            q[k] = {q[k].x + wide.y, q[k].y + wide.x};
    wide_polygon(s, q, 4);
    *first = {q[0], q[1], dx, dy};
    *last = {q[2], q[3], dx, dy};
    return true;
}

/* The miter between the face a segment ends on and the face the next starts on, at the
 * corner v; false when the faces are parallel or the point lies beyond the miter limit. */
static bool wide_miter(WideStroke *s, WidePoint v, const WideFace *before, const WideFace *after)
{
    int64_t det = before->dx * after->dy - before->dy * after->dx;
    if (det == 0)
        return false;
    if (det < 0) {
        const WideFace *t = before;
        before = after;
        after = t;
        det = -det;
    }
    /* Where the line through before's start meets the line through after's end, worked out in
     * the x87's extended precision as GDI works it out (on i386): a point halfway between two
     * pixels rounds as it rounds there. */
    long double a = (long double)(after->end.x * after->dy - after->end.y * after->dx) / det;
    long double b = (long double)(before->start.x * before->dy - before->start.y * before->dx) / det;
    long double x = a * before->dx - b * after->dx, y = a * before->dy - b * after->dy;
    long double reach = s->pen->miterLimit * s->pen->width;
    if (((x - v.x) * (x - v.x) + (y - v.y) * (y - v.y)) * 4 > reach * reach)
        return false;
    WidePoint miter[5] = {after->start, before->start, {wide_round_long(x), wide_round_long(y)},
                          after->end, before->end};
    wide_polygon(s, miter, 5);
    return true;
}

static void wide_join(WideStroke *s, WidePoint v, const WideFace *before, const WideFace *after)
{
    if (wide_off_page(s, &v, 1, wide_reach(s->pen)))
        return;
    if (s->pen->join != PS_JOIN_BEVEL && s->pen->join != PS_JOIN_MITER) {
        wide_dot(s, v);
        return;
    }
    if (s->pen->join == PS_JOIN_MITER && wide_miter(s, v, before, after))
        return;
    WidePoint bevel[4] = {before->start, after->end, before->end, after->start};
    wide_polygon(s, bevel, 4);
}

/* count segments of the figure pts[0 .. n) from index first on (indices wrap), the first
 * starting at from and the last ending at to instead of at their own points: closed, or open
 * with the pen's ends. */
static void wide_run(WideStroke *s, const std::vector<WidePoint> &pts, size_t first, size_t count,
                     WidePoint from, WidePoint to, bool closed)
{
    size_t n = pts.size();
    auto at = [&](size_t i) { return pts[(first + i) % n]; };
    if (count == 1) {
        WidePoint ends[2] = {from, to};
        if (wide_off_page(s, ends, 2, wide_reach(s->pen)))
            return;
    }
    auto dx = [&](size_t i) { return at(i + 1).x - at(i).x; };
    auto dy = [&](size_t i) { return at(i + 1).y - at(i).y; };
    if (!closed && s->pen->cap != PS_ENDCAP_SQUARE && s->pen->cap != PS_ENDCAP_FLAT) {
        wide_dot(s, from);
        wide_dot(s, to);
    }
    WideFace start = {from, from, 0, 0}, before = start, f1 = start, f2 = start;
    if (count == 1) {
        wide_segment(s, from, to, dx(0), dy(0), true, true, &f1, &f2);
        return;
    }
    wide_segment(s, from, at(1), dx(0), dy(0), !closed, false, &start, &before);
    for (size_t i = 1; i + 1 < count; i++)
        if (wide_segment(s, at(i), at(i + 1), dx(i), dy(i), false, false, &f1, &f2)) {
            wide_join(s, at(i), &before, &f1);
            before = f2;
        }
    wide_segment(s, at(count - 1), to, dx(count - 1), dy(count - 1), false, !closed, &f1, &f2);
    wide_join(s, at(count - 1), &before, &f1);
    if (closed)
        wide_join(s, to, &f2, &start);
}

static void wide_next_entry(WideStroke *s)
{
    s->entry = (s->entry + 1) % s->pen->dashCount;
    s->left = s->pen->dashes[s->entry];
    s->on = !s->on;
}

/* The dashes of one figure: the pattern starts anew with each figure and carries on from segment
 * to segment. Each dash is an open run from where it starts to where it ends, both rounded
 * towards the segment's start; in a closed figure, a dash through the first point is drawn whole
 * at the end. */
static void wide_dashes(WideStroke *s, const std::vector<WidePoint> &pts, bool closed)
{
    size_t n = pts.size(), segments = closed ? n : n - 1, start = 0;
    s->entry = 0;
    s->left = s->pen->dashes[0];
    s->on = true;
    int64_t along = 0, initialCount = 0; /* initialCount: 0 until a dash ends, -1 when none to keep */
    WidePoint from = pts[0], to = from, initialEnd = from;
    for (size_t i = 0; i < segments;) {
        WidePoint a = pts[i], b = pts[(i + 1) % n];
        int64_t dx = b.x - a.x, dy = b.y - a.y;
        if (dx == 0 && dy == 0) {
            i++;
            continue;
        }
        double length = dx == 0 || dy == 0 ? (double)llabs(dx + dy) : hypot((double)dx, (double)dy);
        if (length - (double)along < (double)s->left) { /* the segment ends in this entry */
            s->left -= (uint32_t)(length - (double)along);
            along = 0;
            i++;
            continue;
        }
        along += s->left;
        to = {a.x + (int64_t)((double)dx * (double)along / length),
              a.y + (int64_t)((double)dy * (double)along / length)};
        if (s->on) {
            if (initialCount == 0 && closed) {
                initialCount = (int64_t)(i - start + 1);
                initialEnd = to;
            } else {
                wide_run(s, pts, start, i - start + 1, from, to, false);
            }
        }
        if (initialCount == 0)
            initialCount = -1;
        /* On to the next entry. (Wine skips the entry's length modulo the pattern's, and so
         * never leaves a gap as long as the whole pattern: the dots of PS_DOT with round or
         * square ends, whose dashes are of no length, stop after the first.) */
        wide_next_entry(s);
        from = to;
        start = i;
    }
    if (s->on) {
        if (initialCount > 0)
            wide_run(s, pts, start, n - start + (size_t)initialCount, from, initialEnd, false);
        else
            wide_run(s, pts, start, closed ? n - start : n - start - 1, from, closed ? pts[0] : pts[n - 1], false);
    } else if (initialCount > 0) {
        wide_run(s, pts, 0, (size_t)initialCount, pts[0], initialEnd, false);
    }
}

/* One figure of whole points, repeated points at either end left out. */
static void wide_figure(WideStroke *s, std::vector<WidePoint> &pts, bool closed)
{
    size_t first = 0, n = pts.size();
    if (n < 2)
        return; /* a point moved to and never drawn from */
    while (n - first > 2 && pts[first].x == pts[first + 1].x && pts[first].y == pts[first + 1].y)
        first++;
    while (n - first > 2 && pts[n - 1].x == pts[n - 2].x && pts[n - 1].y == pts[n - 2].y)
        n--;
    pts.erase(pts.begin() + (ptrdiff_t)n, pts.end());
    pts.erase(pts.begin(), pts.begin() + (ptrdiff_t)first);
    if (s->pen->dashCount > 0)
        wide_dashes(s, pts, closed);
    else if (closed)
        wide_run(s, pts, 0, pts.size(), pts[0], pts[0], true);
    else
        wide_run(s, pts, 0, pts.size() - 1, pts[0], pts.back(), false);
}

static WidePoint wide_point(const cairo_path_data_t *d)
{
    return {(int64_t)floor(d[1].point.x + 0.5), (int64_t)floor(d[1].point.y + 0.5)};
}

void scan_wide_path(Player *p, const cairo_path_t *path, const WidePen *pen, ScanBox *box)
{
    WideStroke s = {p, pen, box, {}, 0, 0, true, false};
    if (pen->width >= 2)
        scan_ellipse_insets(pen->width, pen->width, &s.dot);
    uint64_t patternLength = 0;
    for (uint32_t i = 0; i < pen->dashCount; i++)
        patternLength += pen->dashes[i];
    if (pen->dashCount > 0 && patternLength == 0)
        return; /* nothing but dashes of no length: no way along the figure */
    std::vector<WidePoint> figure;
    for (int i = 0; i < path->num_data; i += path->data[i].header.length) {
        const cairo_path_data_t *d = &path->data[i];
        switch (d->header.type) {
        case CAIRO_PATH_MOVE_TO:
            wide_figure(&s, figure, false);
            figure.assign(1, wide_point(d));
            break;
        case CAIRO_PATH_LINE_TO:
            figure.push_back(wide_point(d));
            break;
        case CAIRO_PATH_CLOSE_PATH:
            wide_figure(&s, figure, true);
            figure.clear(); /* cairo moves to the figure's start next */
            break;
        default:
            break;
        }
    }
    wide_figure(&s, figure, false);
}

/* ---- GDI's ellipses: the points of their outlines and the region inside ----
 *
 * GDI draws an ellipse, a rounded rectangle's corners and an arc through whole points: the
 * first quadrant stepped by Zingl's integer ellipse, mirrored into the others. */

/* The first quadrant of a width x height ellipse (both at least 2), relative to the corner of
 * its box: from its right end upwards on the page, as y counts down from the middle row. */
static void scan_quadrant(int32_t width, int32_t height, std::vector<ScanPoint> *pts)
{
    int64_t a = width - 1, b = height - 1;
    int64_t stepA = 8 * a * a, stepB = 8 * b * b;
    int64_t dx = 4 * b * b * (1 - a), dy = 4 * a * a * (1 + b % 2);
    int64_t err = dx + dy + a * a * (b % 2);
    ScanPoint pt = {(int32_t)a, height / 2};
    pts->clear();
    while (pt.x >= width / 2) {
        int64_t e2 = 2 * err;
        pts->push_back(pt);
        if (e2 >= dx) {
            pt.x--;
            dx += stepB;
            err += dx;
        }
        if (e2 <= dy) {
            pt.y++;
            dy += stepA;
            err += dy;
        }
    }
}

void scan_round_rect_points(const ScanBox *r, int32_t ew, int32_t eh, std::vector<ScanPoint> *pts)
{
    scan_quadrant(ew, eh, pts);
    size_t count = pts->size();
    for (ScanPoint &pt : *pts)
        pt = {r->x1 - ew + pt.x, r->y0 + eh - 1 - pt.y};
    /* Mirrored left to right, then top to bottom; a middle point of an odd ellipse only once. */
    size_t end = 2 * count - 1 - (ew % 2 && ew == r->x1 - r->x0 ? 1 : 0);
    pts->resize(end + 1);
    for (size_t i = 0; i < count; i++)
        (*pts)[end - i] = {r->x0 + r->x1 - 1 - (*pts)[i].x, (*pts)[i].y};
    count = end + 1;
    end = 2 * count - 1 - (eh % 2 && eh == r->y1 - r->y0 ? 1 : 0);
    pts->resize(end + 1);
    for (size_t i = 0; i < count; i++)
        (*pts)[end - i] = {(*pts)[i].x, r->y0 + r->y1 - 1 - (*pts)[i].y};
}

/* Where the ray from the centre through (x, y), y up, meets the quadrant's count points, as an
 * index along the whole ellipse counter-clockwise from the right. */
static size_t scan_arc_index(const std::vector<ScanPoint> &q, int64_t x, int64_t y)
{
    size_t count = q.size(), i = 0;
    if (y >= 0 && x >= 0) {
        while (i < count && !(q[i].x * y <= q[i].y * x))
            i++;
        return i;
    }
    if (y >= 0) {
        while (i < count && !(q[i].x * y < q[i].y * -x))
            i++;
        return 2 * count - i;
    }
    if (x >= 0) {
        while (i < count && !(q[i].x * -y <= q[i].y * x))
            i++;
        return 4 * count - i;
    }
    while (i < count && !(q[i].x * -y < q[i].y * -x))
        i++;
    return 2 * count + i;
}

void scan_arc_points(const ScanBox *r, ScanPoint start, ScanPoint end, std::vector<ScanPoint> *pts)
{
    int32_t width = r->x1 - r->x0, height = r->y1 - r->y0;
    int32_t cx = r->x0 + width / 2, cy = r->y0 + height / 2;
    std::vector<ScanPoint> q;
    scan_quadrant(width, height, &q);
    for (ScanPoint &pt : q)
        pt = {pt.x - width / 2, pt.y - height / 2};
    size_t count = q.size(), from = scan_arc_index(q, start.x - cx, cy - start.y);
    size_t to = scan_arc_index(q, end.x - cx, cy - end.y);
    if (to <= from)
        to += 4 * count;
    pts->clear();
    for (size_t i = from; i < to; i++) {
        const ScanPoint &out = q[i % count], &back = q[count - 1 - i % count];
        switch (i / count % 4) {
        case 0: pts->push_back({cx + out.x, r->y1 - 1 - height / 2 - out.y}); break;
        case 1: pts->push_back({r->x1 - 1 - width / 2 - back.x, r->y1 - 1 - height / 2 - back.y}); break;
        case 2: pts->push_back({r->x1 - 1 - width / 2 - out.x, cy + out.y}); break;
        default: pts->push_back({cx + back.x, cy + back.y}); break;
        }
    }
}

void scan_round_rect_region(Player *p, const ScanBox *r, int32_t ew, int32_t eh, ScanBox *box)
{
    ew = std::min(r->x1 - r->x0, ew);
    eh = std::min(r->y1 - r->y0, eh);
    std::vector<int32_t> insets;
    if (ew >= 2 && eh >= 2)
        scan_ellipse_insets(ew, eh, &insets);
    device_mark_round(p, *r, ew, eh, insets, 0xFF, box);
}
