/* The first pass of a PDF page: the walk plays every record onto nothing but this plan, which
 * decides per record how the PDF page draws it. An operation whose result does not read the page
 * (R2_COPYPEN, SRCCOPY, PATCOPY, the black and white ones, R2_NOP) is drawn as it is; one that
 * reads it is drawn as though the page were white where the paper under it is provably still
 * blank (no earlier record's bounds touched its tiles), which makes it a function of pattern and
 * source alone; any other sends its record to the fallback: the raster page's own pixels,
 * painted over the record's bounds. Bounds are whole device pixels and hold every pixel the
 * operation may set, clipped: too large costs a larger patch, never a wrong pixel. */
#include "player_private.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

enum : uint32_t {
    PLAN_TILE = 32, /* pixels a side of the tiles blank paper is proved on */
    ROP3_DSTCOPY = 0xAA,
};

struct PlanPage {
    int32_t columns, rows;
    uint8_t *tiles;     /* non-zero where a record has drawn */
    uint8_t *modes;     /* a RecordMode per record */
    ScanBox *bounds;    /* per record: the pixels it may set; empty when none */
    ScanBox record;     /* of the record being played */
};

static bool plan_empty(const ScanBox &b)
{
    return b.x0 >= b.x1 || b.y0 >= b.y1;
}

static ScanBox plan_union(const ScanBox &a, const ScanBox &b)
{
    if (plan_empty(a))
        return b;
    if (plan_empty(b))
        return a;
    return ScanBox{std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1),
                   std::max(a.y1, b.y1)};
}

/* v within lo..hi: a coordinate of a shape far off the page taken to the clip's edge, where it
 * fits 32 bits. */
static int32_t plan_within(double v, int32_t lo, int32_t hi)
{
    return (int32_t)fmin(fmax(v, lo), hi);
}

/* The box of page coordinates x0..x1, y0..y1 grown by reach pixels and a pixel of rounding,
 * within the clip (empty when it lies outside). */
static ScanBox plan_box(const Player *p, double x0, double y0, double x1, double y1, double reach)
{
    const ScanBox &c = p->state.clip.box;
    if (p->state.clip.count == 0 || !(x0 <= x1 && y0 <= y1))
        return ScanBox{0, 0, 0, 0};
    return ScanBox{plan_within(floor(x0 - reach) - 1, c.x0, c.x1), plan_within(floor(y0 - reach) - 1, c.y0, c.y1),
                   plan_within(ceil(x1 + reach) + 1, c.x0, c.x1), plan_within(ceil(y1 + reach) + 1, c.y0, c.y1)};
}

/* The pixels of box within the clip. */
static ScanBox plan_clip(const Player *p, const ScanBox &box)
{
    const ScanBox &c = p->state.clip.box;
    if (p->state.clip.count == 0)
        return ScanBox{0, 0, 0, 0};
    return ScanBox{std::max(box.x0, c.x0), std::max(box.y0, c.y0), std::min(box.x1, c.x1),
                   std::min(box.y1, c.y1)};
}

/* True when an operation of this ternary raster operation reads the page it draws on; R2_NOP
 * draws nothing at all. */
static bool plan_reads_page(uint32_t rop3)
{
    return rop3 != ROP3_DSTCOPY && ((rop3 >> 1 ^ rop3) & 0x55) != 0;
}

/* Takes an operation over box into the record's mode and bounds, and marks its tiles drawn. */
static void plan_operation(Player *p, const ScanBox &box, bool readsPage)
{
    PlanPage *plan = p->plan;
    if (plan_empty(box))
        return;
    int32_t tx0 = box.x0 / PLAN_TILE, ty0 = box.y0 / PLAN_TILE;
    int32_t tx1 = (box.x1 - 1) / PLAN_TILE, ty1 = (box.y1 - 1) / PLAN_TILE;
    bool blank = true;
    for (int32_t ty = ty0; ty <= ty1; ty++)
        for (int32_t tx = tx0; tx <= tx1; tx++) {
            uint8_t &tile = plan->tiles[(size_t)ty * plan->columns + tx];
            blank = blank && tile == 0;
            tile = 1;
        }
    uint8_t mode = !readsPage ? RECORD_VECTOR : blank ? RECORD_ON_WHITE : RECORD_FALLBACK;
    uint8_t &recordMode = plan->modes[p->index];
    recordMode = std::max(recordMode, mode);
    plan->record = plan_union(plan->record, box);
}

void plan_compose(Player *p, uint32_t rop2, const ScanBox &box)
{
    plan_operation(p, plan_clip(p, box), plan_reads_page(compose_rop3_of_rop2(rop2)));
}

void plan_fill_box(Player *p, const double (*corners)[2])
{
    double x0 = corners[0][0], y0 = corners[0][1], x1 = x0, y1 = y0;
    for (int i = 1; i < 4; i++) {
        x0 = fmin(x0, corners[i][0]), x1 = fmax(x1, corners[i][0]);
        y0 = fmin(y0, corners[i][1]), y1 = fmax(y1, corners[i][1]);
    }
    plan_operation(p, plan_box(p, x0, y0, x1, y1, 0), false);
}

void plan_glyphs(Player *p, const TextRun *run)
{
    FT_Face ft = run->ft;
    double units = ft->units_per_EM > 0 ? ft->units_per_EM : 2048;
    double extent = std::max(std::max(fabs((double)ft->bbox.xMin), fabs((double)ft->bbox.xMax)),
                             std::max(fabs((double)ft->bbox.yMin), fabs((double)ft->bbox.yMax)));
    /* A face that gives no box (bitmap faces) is held to two ems. */
    double reach = extent > 0 ? run->ppem * extent / units + 2 : 2.0 * run->ppem;
    ScanBox box = {0, 0, 0, 0};
    for (uint32_t i = 0; i < run->glyphCount; i++) {
        const TextGlyph &g = run->glyphs[i];
        box = plan_union(box, plan_box(p, g.x, g.y, g.x, g.y, reach));
    }
    if (run->clipped)
        box = ScanBox{std::max(box.x0, run->clip.x0), std::max(box.y0, run->clip.y0),
                      std::min(box.x1, run->clip.x1), std::min(box.y1, run->clip.y1)};
    plan_operation(p, box, false);
}

void plan_blit(Player *p, const BlitRun *run)
{
    const PlayerState &s = p->state;
    /* A hatch's gaps in TRANSPARENT mode keep the page under them, whatever the operation. */
    bool gaps = run->usesPattern && s.brush.style == BS_HATCHED && s.bkMode == TRANSPARENT;
    ScanBox dest = {(int32_t)std::max<int64_t>(run->left, INT32_MIN / 2),
                    (int32_t)std::max<int64_t>(run->top, INT32_MIN / 2),
                    (int32_t)std::min<int64_t>(run->right, INT32_MAX / 2),
                    (int32_t)std::min<int64_t>(run->bottom, INT32_MAX / 2)};
    plan_operation(p, plan_clip(p, dest), plan_reads_page(run->rop3) || gaps);
}

void plan_record_done(Player *p)
{
    PlanPage *plan = p->plan;
    plan->bounds[p->index] = plan->record;
    plan->record = ScanBox{0, 0, 0, 0};
}

/* ---- the fallback ---- */

static int64_t plan_area(const ScanBox &b)
{
    return plan_empty(b) ? 0 : (int64_t)(b.x1 - b.x0) * (b.y1 - b.y0);
}

static bool plan_overlap(const ScanBox &a, const ScanBox &b)
{
    return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

/* The boxes merged until none overlaps another, then until there are at most limit: each time
 * the two whose common box grows least. */
static std::vector<ScanBox> plan_merge(std::vector<ScanBox> boxes, size_t limit)
{
    for (bool merged = true; merged;) {
        merged = false;
        for (size_t i = 0; i < boxes.size() && !merged; i++)
            for (size_t j = i + 1; j < boxes.size() && !merged; j++)
                if (plan_overlap(boxes[i], boxes[j])) {
                    boxes[i] = plan_union(boxes[i], boxes[j]);
                    boxes.erase(boxes.begin() + (long)j);
                    merged = true;
                }
        if (!merged && boxes.size() > limit) {
            size_t bi = 0, bj = 1;
            int64_t best = INT64_MAX;
            for (size_t i = 0; i < boxes.size(); i++)
                for (size_t j = i + 1; j < boxes.size(); j++) {
                    int64_t growth = plan_area(plan_union(boxes[i], boxes[j])) -
                                     plan_area(boxes[i]) - plan_area(boxes[j]);
                    if (growth < best)
                        best = growth, bi = i, bj = j;
                }
            boxes[bi] = plan_union(boxes[bi], boxes[bj]);
            boxes.erase(boxes.begin() + (long)bj);
            merged = true;
        }
    }
    return boxes;
}

void plan_finish(Player *p, ScanBox *patches, uint32_t *patchCount, uint32_t maxPatches)
{
    PlanPage *plan = p->plan;
    std::vector<ScanBox> boxes;
    for (uint32_t i = 0; i < p->file->count; i++)
        if (plan->modes[i] == RECORD_FALLBACK && !plan_empty(plan->bounds[i]))
            boxes.push_back(plan->bounds[i]);
    boxes = plan_merge(boxes, maxPatches);
    *patchCount = (uint32_t)boxes.size();
    std::copy(boxes.begin(), boxes.end(), patches);
    /* What lies wholly under the patches is left out of the vectors. */
    PlayerRegion region = {boxes.data(), (uint32_t)boxes.size(), ScanBox{0, 0, 0, 0}};
    for (uint32_t i = 0; i < p->file->count && !boxes.empty(); i++)
        if (plan->modes[i] < RECORD_FALLBACK && !plan_empty(plan->bounds[i]) &&
            region_holds(&region, plan->bounds[i]))
            plan->modes[i] = RECORD_COVERED;
}

PlanPage *plan_open(Player *p)
{
    PlanPage *plan = (PlanPage *)calloc(1, sizeof *plan);
    if (plan == NULL)
        return NULL;
    plan->columns = (p->width + PLAN_TILE - 1) / PLAN_TILE;
    plan->rows = (p->height + PLAN_TILE - 1) / PLAN_TILE;
    plan->tiles = (uint8_t *)calloc((size_t)plan->columns * plan->rows, 1);
    plan->modes = (uint8_t *)calloc(p->file->count ? p->file->count : 1, 1);
    plan->bounds = (ScanBox *)calloc(p->file->count ? p->file->count : 1, sizeof *plan->bounds);
    if (plan->tiles == NULL || plan->modes == NULL || plan->bounds == NULL) {
        plan_close(plan);
        return NULL;
    }
    return plan;
}

const uint8_t *plan_modes(const PlanPage *plan)
{
    return plan->modes;
}

void plan_close(PlanPage *plan)
{
    if (plan == NULL)
        return;
    free(plan->tiles);
    free(plan->modes);
    free(plan->bounds);
    free(plan);
}
