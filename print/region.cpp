/* Regions of whole page pixels as GDI keeps its clip: disjoint rectangles in bands of equal top
 * and bottom, the bands from the top down, the rectangles of a band from left to right, touching
 * bands of the same rectangles merged. Every device reads the clip from here: the raster page
 * as a pixel mask, the PDF page as a clip path, the first pass as a box. */
#include "player_private.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

enum : uint32_t { RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5 };

void region_free(PlayerRegion *r)
{
    free(r->rects);
    memset(r, 0, sizeof *r);
}

/* Replaces to's rectangles with rects (count of them, banded); -1, to unchanged, without memory. */
static int region_assign(PlayerRegion *to, const ScanBox *rects, uint32_t count)
{
    ScanBox *copy = NULL;
    if (count > 0) {
        copy = (ScanBox *)malloc(count * sizeof *copy);
        if (copy == NULL)
            return -1;
        memcpy(copy, rects, count * sizeof *copy);
    }
    free(to->rects);
    to->rects = copy;
    to->count = count;
    to->box = ScanBox{0, 0, 0, 0};
    for (uint32_t i = 0; i < count; i++) {
        const ScanBox &b = rects[i];
        if (i == 0)
            to->box = b;
        to->box.x0 = std::min(to->box.x0, b.x0);
        to->box.x1 = std::max(to->box.x1, b.x1);
        to->box.y1 = std::max(to->box.y1, b.y1);
    }
    return 0;
}

int region_copy(PlayerRegion *to, const PlayerRegion *from)
{
    return region_assign(to, from->rects, from->count);
}

int region_set_box(PlayerRegion *r, const ScanBox &box)
{
    bool empty = box.x0 >= box.x1 || box.y0 >= box.y1;
    return region_assign(r, &box, empty ? 0 : 1);
}

/* The x-intervals of the band of r that holds row y, as [first, end) indices; at is where the
 * search starts and moves on with y. */
static void region_band_at(const PlayerRegion *r, int32_t y, uint32_t *at, uint32_t *first,
                           uint32_t *end)
{
    while (*at < r->count && r->rects[*at].y1 <= y)
        (*at)++;
    *first = *end = *at;
    if (*at < r->count && r->rects[*at].y0 <= y)
        while (*end < r->count && r->rects[*end].y0 == r->rects[*at].y0)
            (*end)++;
}

static bool region_keeps(uint32_t mode, bool a, bool b)
{
    switch (mode) {
    case RGN_AND: return a && b;
    case RGN_OR: return a || b;
    case RGN_XOR: return a != b;
    case RGN_DIFF: return a && !b;
    default: return b; /* RGN_COPY */
    }
}

/* Appends the spans of mode over one band's x-intervals of a and of b, as rectangles of rows
 * [y0, y1). */
static void region_combine_band(std::vector<ScanBox> &out, const ScanBox *a, uint32_t na,
                                const ScanBox *b, uint32_t nb, uint32_t mode, int32_t y0,
                                int32_t y1)
{
    std::vector<int32_t> xs;
    for (uint32_t i = 0; i < na; i++)
        xs.insert(xs.end(), {a[i].x0, a[i].x1});
    for (uint32_t i = 0; i < nb; i++)
        xs.insert(xs.end(), {b[i].x0, b[i].x1});
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    uint32_t ia = 0, ib = 0;
    for (size_t k = 0; k + 1 < xs.size(); k++) {
        int32_t x = xs[k];
        while (ia < na && a[ia].x1 <= x)
            ia++;
        while (ib < nb && b[ib].x1 <= x)
            ib++;
        bool inA = ia < na && a[ia].x0 <= x, inB = ib < nb && b[ib].x0 <= x;
        if (!region_keeps(mode, inA, inB))
            continue;
        size_t band = out.size();
        while (band > 0 && out[band - 1].y0 == y0)
            band--;
        if (out.size() > band && out.back().x1 == x)
            out.back().x1 = xs[k + 1]; /* continues the span before */
        else
            out.push_back(ScanBox{x, y0, xs[k + 1], y1});
    }
}

/* Merges the band just appended (from index start) into the one above it when they touch and
 * hold the same spans. */
static void region_coalesce(std::vector<ScanBox> &out, size_t above, size_t start)
{
    size_t n = out.size() - start;
    if (above == start || start - above != n || out[above].y1 != out[start].y0)
        return;
    for (size_t i = 0; i < n; i++)
        if (out[above + i].x0 != out[start + i].x0 || out[above + i].x1 != out[start + i].x1)
            return;
    for (size_t i = 0; i < n; i++)
        out[above + i].y1 = out[start].y1;
    out.resize(start);
}

int region_combine(PlayerRegion *r, const PlayerRegion *with, uint32_t mode)
{
    std::vector<int32_t> ys;
    for (const PlayerRegion *g : {(const PlayerRegion *)r, with})
        for (uint32_t i = 0; i < g->count; i++)
            ys.insert(ys.end(), {g->rects[i].y0, g->rects[i].y1});
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    std::vector<ScanBox> out;
    uint32_t atA = 0, atB = 0;
    size_t above = 0;
    for (size_t k = 0; k + 1 < ys.size(); k++) {
        uint32_t a0, a1, b0, b1;
        region_band_at(r, ys[k], &atA, &a0, &a1);
        region_band_at(with, ys[k], &atB, &b0, &b1);
        size_t start = out.size();
        region_combine_band(out, r->rects + a0, a1 - a0, with->rects + b0, b1 - b0, mode, ys[k],
                            ys[k + 1]);
        if (out.size() == start)
            continue;
        region_coalesce(out, above, start);
        if (out.size() > start)
            above = start;
    }
    return region_assign(r, out.data(), (uint32_t)out.size());
}

int region_union(PlayerRegion *r, const ScanBox *rects, uint32_t n)
{
    if (n <= 1)
        return region_set_box(r, n ? rects[0] : ScanBox{0, 0, 0, 0});
    PlayerRegion half = {};
    int rc = region_union(r, rects, n / 2) < 0 || region_union(&half, rects + n / 2, n - n / 2) < 0 ||
                     region_combine(r, &half, RGN_OR) < 0
                 ? -1 : 0;
    region_free(&half);
    return rc;
}

bool region_holds(const PlayerRegion *r, const ScanBox &box)
{
    if (box.x0 >= box.x1 || box.y0 >= box.y1)
        return true;
    int64_t covered = 0;
    for (uint32_t i = 0; i < r->count; i++) {
        const ScanBox &c = r->rects[i];
        int64_t w = (int64_t)std::min(c.x1, box.x1) - std::max(c.x0, box.x0);
        int64_t h = (int64_t)std::min(c.y1, box.y1) - std::max(c.y0, box.y0);
        if (w > 0 && h > 0)
            covered += w * h;
    }
    return covered == ((int64_t)box.x1 - box.x0) * ((int64_t)box.y1 - box.y0);
}

/* ---- the outline ---- */

struct RegionEdge {
    RegionPoint from, to;
    bool used;
};

/* The runs of one band, touching ones joined. */
static std::vector<std::pair<int32_t, int32_t>> region_runs(const ScanBox *rects, uint32_t n)
{
    std::vector<std::pair<int32_t, int32_t>> runs;
    for (uint32_t i = 0; i < n; i++) {
        if (!runs.empty() && runs.back().second == rects[i].x0)
            runs.back().second = rects[i].x1;
        else
            runs.push_back({rects[i].x0, rects[i].x1});
    }
    return runs;
}

/* The level edges along row boundary y between the runs above it and those below: the tops of
 * what lies below alone, going right, and the bottoms of what lies above alone, going left. */
static void region_level_edges(std::vector<RegionEdge> &edges, int32_t y,
                               const std::vector<std::pair<int32_t, int32_t>> &above,
                               const std::vector<std::pair<int32_t, int32_t>> &below)
{
    std::vector<int32_t> xs;
    for (const auto *runs : {&above, &below})
        for (const auto &r : *runs)
            xs.insert(xs.end(), {r.first, r.second});
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    size_t ia = 0, ib = 0;
    for (size_t k = 0; k + 1 < xs.size(); k++) {
        int32_t x = xs[k], next = xs[k + 1];
        while (ia < above.size() && above[ia].second <= x)
            ia++;
        while (ib < below.size() && below[ib].second <= x)
            ib++;
        bool inAbove = ia < above.size() && above[ia].first <= x;
        bool inBelow = ib < below.size() && below[ib].first <= x;
        if (inBelow && !inAbove)
            edges.push_back({{x, y}, {next, y}, false});
        else if (inAbove && !inBelow)
            edges.push_back({{next, y}, {x, y}, false});
    }
}

/* Joins the edges into loops: from each point the edge that turns right (clockwise) is taken
 * first, which keeps apart loops that touch at a corner; points where a loop runs straight on
 * are left out. */
static void region_link(std::vector<RegionEdge> &edges, std::vector<std::vector<RegionPoint>> *loops)
{
    auto before = [](const RegionPoint &a, const RegionPoint &b) {
        return a.y != b.y ? a.y < b.y : a.x < b.x;
    };
    std::vector<uint32_t> byStart(edges.size());
    for (uint32_t i = 0; i < byStart.size(); i++)
        byStart[i] = i;
    std::sort(byStart.begin(), byStart.end(),
              [&](uint32_t a, uint32_t b) { return before(edges[a].from, edges[b].from); });
    for (RegionEdge &first : edges) {
        if (first.used)
            continue;
        std::vector<RegionPoint> loop;
        RegionEdge *e = &first;
        while (!e->used) {
            e->used = true;
            loop.push_back(e->from);
            auto at = std::lower_bound(byStart.begin(), byStart.end(), e->to, [&](uint32_t i, const RegionPoint &p) {
                return before(edges[i].from, p);
            });
            RegionEdge *next = NULL;
            int64_t dx = e->to.x - e->from.x, dy = e->to.y - e->from.y;
            for (; at != byStart.end() && edges[*at].from.x == e->to.x && edges[*at].from.y == e->to.y; at++) {
                RegionEdge *c = &edges[*at];
                int64_t turn = dx * (c->to.y - c->from.y) - dy * (c->to.x - c->from.x);
                if (next == NULL || turn > 0)
                    next = c;
            }
            if (next == NULL)
                break; /* cannot happen: every point has as many edges out as in */
            e = next;
        }
        std::vector<RegionPoint> corners;
        size_t n = loop.size();
        for (size_t i = 0; i < n; i++) {
            const RegionPoint &a = loop[(i + n - 1) % n], &b = loop[i], &c = loop[(i + 1) % n];
            if ((int64_t)(b.x - a.x) * (c.y - b.y) != (int64_t)(b.y - a.y) * (c.x - b.x))
                corners.push_back(b);
        }
        if (corners.size() >= 4)
            loops->push_back(corners);
    }
}

void region_outline(const PlayerRegion *r, std::vector<std::vector<RegionPoint>> *loops)
{
    loops->clear();
    std::vector<RegionEdge> edges;
    std::vector<std::pair<int32_t, int32_t>> previous;
    int32_t previousBottom = 0;
    for (uint32_t i = 0; i < r->count;) {
        uint32_t end = i;
        while (end < r->count && r->rects[end].y0 == r->rects[i].y0)
            end++;
        int32_t top = r->rects[i].y0, bottom = r->rects[i].y1;
        std::vector<std::pair<int32_t, int32_t>> runs = region_runs(r->rects + i, end - i);
        for (const auto &run : runs) {
            edges.push_back({{run.first, bottom}, {run.first, top}, false});
            edges.push_back({{run.second, top}, {run.second, bottom}, false});
        }
        bool touches = !previous.empty() && previousBottom == top;
        if (!previous.empty() && !touches)
            region_level_edges(edges, previousBottom, previous, {});
        region_level_edges(edges, top, touches ? previous : std::vector<std::pair<int32_t, int32_t>>(), runs);
        previous = runs;
        previousBottom = bottom;
        i = end;
    }
    if (!previous.empty())
        region_level_edges(edges, previousBottom, previous, {});
    region_link(edges, loops);
}
