/* GDI's polygon scan conversion: pixel (x, y) is inside when the point (x, y), the pixel's
 * top-left corner, lies inside the figure, points on a left or top edge counting as inside and
 * points on a right or bottom edge as outside. Every figure of the path is closed. */
#include "player_private.h"

#include <math.h>
#include <stdlib.h>

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

/* Marks the pixels ceil(a) .. ceil(b) - 1 of row y. */
static void scan_span(Player *p, uint8_t *row, double a, double b, ScanBox *box, int32_t y)
{
    double left = fmax(ceil(a), 0), right = fmin(ceil(b), p->width);
    if (!(left < right))
        return;
    int32_t l = (int32_t)left, r = (int32_t)right;
    for (int32_t x = l; x < r; x++)
        row[x] = 0xFF;
    box->x0 = std::min(box->x0, l);
    box->x1 = std::max(box->x1, r);
    box->y0 = std::min(box->y0, y);
    box->y1 = std::max(box->y1, y + 1);
}


/* Marks the pixels of the figures the edges bound. */
static void scan_edges(Player *p, std::vector<ScanEdge> &edges, bool alternate, ScanBox *box)
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
                scan_span(p, cover, crossings[k].x, crossings[k + 1].x, box, y);
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
    scan_edges(p, edges, alternate, box);
}

void scan_fill(Player *p, cairo_t *cr, bool alternate, const PlayerBrush *brush, uint32_t rop2)
{
    ScanBox box = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    cairo_surface_flush(p->coverSurface);
    cairo_path_t *path = cairo_copy_path_flat(cr);
    scan_fill_path(p, path, alternate, &box);
    cairo_path_destroy(path);
    compose_coverage(p, brush, rop2, box.x0, box.y0, box.x1, box.y1);
}

/* ---- wide pens: each segment a quadrilateral, each join and end its own figure ---- */

/* The dot a round pen of width d (2 to 24 pixels) leaves: the width of each row from the top,
 * centred in the d x d box, as GDI draws it (measured; rows below the middle mirror those above). */
static const uint8_t kDiscRows[23][12] = {
    {2}, {1, 3}, {2, 4}, {3, 5, 5}, {2, 4, 6}, {3, 5, 7, 7}, {4, 6, 8, 8},
    {3, 7, 7, 9, 9}, {4, 6, 8, 10, 10}, {5, 7, 9, 11, 11, 11}, {4, 8, 10, 10, 12, 12},
    {5, 7, 9, 11, 13, 13, 13}, {4, 8, 10, 12, 12, 14, 14}, {5, 9, 11, 13, 13, 15, 15, 15},
    {6, 8, 12, 12, 14, 16, 16, 16}, {5, 9, 11, 13, 15, 15, 17, 17, 17},
    {6, 10, 12, 14, 16, 16, 18, 18, 18}, {5, 9, 13, 15, 15, 17, 17, 19, 19, 19},
    {6, 10, 12, 14, 16, 18, 18, 20, 20, 20}, {7, 11, 13, 15, 17, 19, 19, 21, 21, 21, 21},
    {6, 10, 14, 16, 18, 18, 20, 20, 22, 22, 22}, {7, 11, 13, 17, 17, 19, 21, 21, 23, 23, 23, 23},
    {6, 12, 14, 16, 18, 20, 22, 22, 22, 24, 24, 24},
};

/* The width of row i (from the top) of the dot of a pen of width d. */
static int32_t scan_disc_row(int32_t d, int32_t i)
{
    int32_t mirrored = i < d - 1 - i ? i : d - 1 - i;
    if (d == 1)
        return 1;
    if (d <= 24)
        return kDiscRows[d - 2][mirrored];
    /* Wider dots: the circle through the box's edge, sampled at row centres, to the box's parity. */
    double r = d / 2.0, dy = mirrored + 0.5 - r;
    int32_t w = (int32_t)floor(2 * sqrt(fmax(r * r - dy * dy, 0)));
    return (w - d) % 2 ? w + 1 : w;
}

/* A round end or join: the pen's dot at the pixel nearest (x, y). */
static void scan_disc(Player *p, double x, double y, int32_t d, ScanBox *box)
{
    double cx = floor(x + 0.5), cy = floor(y + 0.5);
    double left = cx - d / 2, top = cy - d / 2;
    for (int32_t i = 0; i < d; i++) {
        double row = top + i;
        if (row < 0 || row >= p->height)
            continue;
        int32_t w = scan_disc_row(d, i);
        double x0 = left + (d - w) / 2;
        scan_span(p, p->coverBits + (size_t)row * p->coverStride, x0, x0 + w, box, (int32_t)row);
    }
}

static void scan_polygon(Player *p, const double (*pts)[2], int n, ScanBox *box)
{
    std::vector<ScanEdge> edges;
    for (int i = 0; i < n; i++)
        scan_add_edge(&edges, pts[i][0], pts[i][1], pts[(i + 1) % n][0], pts[(i + 1) % n][1]);
    if (!edges.empty())
        scan_edges(p, edges, false, box);
}

/* The wedge that fills the outer side of the corner at v between a segment of direction
 * (ax, ay) and the next of direction (bx, by), both of unit length. */
static void scan_join(Player *p, const WidePen *pen, double vx, double vy, double ax, double ay,
                      double bx, double by, ScanBox *box)
{
    if (pen->join == PS_JOIN_ROUND) {
        scan_disc(p, vx, vy, pen->width, box);
        return;
    }
    double h = pen->width / 2.0;
    double n1x = -ay * h, n1y = ax * h, n2x = -by * h, n2y = bx * h;
    double side = (n2x - n1x) * ax + (n2y - n1y) * ay > 0 ? -1 : 1;
    double p1[2] = {vx + side * n1x, vy + side * n1y}, p2[2] = {vx + side * n2x, vy + side * n2y};
    double cross = ax * by - ay * bx;
    double wedge[4][2] = {{vx, vy}, {p1[0], p1[1]}, {p2[0], p2[1]}, {0, 0}};
    int n = 3;
    if (pen->join == PS_JOIN_MITER && fabs(cross) > 1e-12) {
        /* Where the two outer edges meet, if no farther than the miter limit allows. */
        double t = ((p2[0] - p1[0]) * by - (p2[1] - p1[1]) * bx) / cross;
        double mx = p1[0] + t * ax, my = p1[1] + t * ay;
        if (hypot(mx - vx, my - vy) <= pen->miterLimit * h) {
            wedge[2][0] = mx;
            wedge[2][1] = my;
            wedge[3][0] = p2[0];
            wedge[3][1] = p2[1];
            n = 4;
        }
    }
    scan_polygon(p, wedge, n, box);
}

/* One figure of a flat path: its segments, joins and, when open, its ends. */
static void scan_wide_figure(Player *p, const WidePen *pen, const std::vector<double> &pts,
                             bool closed, ScanBox *box)
{
    size_t n = pts.size() / 2;
    double h = pen->width / 2.0;
    /* Segments of no length have no direction: they are left out. */
    std::vector<double> v;
    for (size_t i = 0; i < n; i++)
        if (v.empty() || pts[2 * i] != v[v.size() - 2] || pts[2 * i + 1] != v.back()) {
            v.push_back(pts[2 * i]);
            v.push_back(pts[2 * i + 1]);
        }
    size_t m = v.size() / 2;
    if (closed && m > 1 && v[0] == v[2 * m - 2] && v[1] == v[2 * m - 1])
        m--;
    if (m == 1) { /* a dot: round and square ends of a pen wider than a pixel draw it */
        if (pen->width < 2)
            return;
        if (pen->cap == PS_ENDCAP_ROUND)
            scan_disc(p, v[0], v[1], pen->width, box);
        else if (pen->cap == PS_ENDCAP_SQUARE) {
            double sq[4][2] = {{v[0] - h, v[1] - h}, {v[0] + h, v[1] - h}, {v[0] + h, v[1] + h},
                               {v[0] - h, v[1] + h}};
            scan_polygon(p, sq, 4, box);
        }
        return;
    }
    size_t segments = closed ? m : m - 1;
    for (size_t i = 0; i < segments; i++) {
        size_t j = (i + 1) % m;
        double ax = v[2 * i], ay = v[2 * i + 1], bx = v[2 * j], by = v[2 * j + 1];
        double len = hypot(bx - ax, by - ay), ux = (bx - ax) / len, uy = (by - ay) / len;
        double startExt = 0, endExt = 0;
        if (!closed && pen->cap == PS_ENDCAP_SQUARE) {
            startExt = i == 0 ? h : 0;
            endExt = i == segments - 1 ? h : 0;
        }
        double sx = ax - ux * startExt, sy = ay - uy * startExt;
        double ex = bx + ux * endExt, ey = by + uy * endExt;
        double nx = -uy * h, ny = ux * h;
        double quad[4][2] = {{sx + nx, sy + ny}, {ex + nx, ey + ny}, {ex - nx, ey - ny}, {sx - nx, sy - ny}};
        scan_polygon(p, quad, 4, box);
        /* The join at b with the next segment. */
        if (closed || i + 1 < segments) {
            size_t k = (j + 1) % m;
            double cx = v[2 * k], cy = v[2 * k + 1];
            double len2 = hypot(cx - bx, cy - by);
            scan_join(p, pen, bx, by, ux, uy, (cx - bx) / len2, (cy - by) / len2, box);
        }
    }
    if (!closed && pen->cap == PS_ENDCAP_ROUND) {
        scan_disc(p, v[0], v[1], pen->width, box);
        scan_disc(p, v[2 * m - 2], v[2 * m - 1], pen->width, box);
    }
}

void scan_wide_path(Player *p, const cairo_path_t *path, const WidePen *pen, ScanBox *box)
{
    std::vector<double> figure;
    bool open = false;
    for (int i = 0; i < path->num_data; i += path->data[i].header.length) {
        const cairo_path_data_t *d = &path->data[i];
        switch (d->header.type) {
        case CAIRO_PATH_MOVE_TO:
            if (open)
                scan_wide_figure(p, pen, figure, false, box);
            figure.assign({d[1].point.x, d[1].point.y});
            open = true;
            break;
        case CAIRO_PATH_LINE_TO:
            figure.push_back(d[1].point.x);
            figure.push_back(d[1].point.y);
            break;
        case CAIRO_PATH_CLOSE_PATH:
            if (open)
                scan_wide_figure(p, pen, figure, true, box);
            /* A figure drawn on after a close starts where the closed one did. */
            if (figure.size() >= 2)
                figure.resize(2);
            open = false;
            break;
        default:
            break;
        }
    }
    if (open)
        scan_wide_figure(p, pen, figure, false, box);
}
