/* GDI's polygon scan conversion: pixel (x, y) is inside when the point (x, y), the pixel's
 * top-left corner, lies inside the figure, points on a left or top edge counting as inside and
 * points on a right or bottom edge as outside. Every figure of the path is closed. */
#include "player_private.h"

#include <math.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

namespace {

struct ScanEdge {
    double x0, y0, x1, y1; /* y0 < y1 */
    int winding;           /* +1 downwards as drawn, -1 upwards */
};

struct ScanCrossing {
    double x;
    int winding;
};

void scan_add_edge(std::vector<ScanEdge> *edges, double ax, double ay, double bx, double by)
{
    if (ay == by || !isfinite(ax) || !isfinite(ay) || !isfinite(bx) || !isfinite(by))
        return; /* a horizontal edge starts or ends no span */
    if (ay < by)
        edges->push_back(ScanEdge{ax, ay, bx, by, 1});
    else
        edges->push_back(ScanEdge{bx, by, ax, ay, -1});
}

/* Marks the pixels ceil(a) .. ceil(b) - 1 of row y. */
void scan_span(Player *p, uint8_t *row, double a, double b, ScanBox *box, int32_t y)
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

} // namespace

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

void scan_fill(Player *p, cairo_t *cr, bool alternate, const PlayerBrush *brush, uint32_t rop2)
{
    ScanBox box = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    cairo_surface_flush(p->coverSurface);
    cairo_path_t *path = cairo_copy_path_flat(cr);
    scan_fill_path(p, path, alternate, &box);
    cairo_path_destroy(path);
    compose_coverage(p, brush, rop2, box.x0, box.y0, box.x1, box.y1);
}
