/* Device-independent bitmaps read in place from their records, and the bitmap records:
 * EMR_BITBLT, EMR_STRETCHBLT and EMR_STRETCHDIBITS with their ternary raster operations,
 * composed pixel by pixel from the pattern (the selected brush), the source and the page. */
#include "player_private.h"

#include <math.h>
#include <string.h>

using namespace emf;

enum : uint32_t {
    BI_RGB = 0, BI_BITFIELDS = 3,
    ROP3_SRCCOPY = 0xCC,
};

/* The default palette a DIB_PAL_COLORS index falls back on: the twenty static colours at both
 * ends, a colour cube between them. */
static uint32_t bitmaps_default_palette(uint32_t i)
{
    static const uint32_t low[10] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080,
                                     0x800080, 0x008080, 0xC0C0C0, 0xC0DCC0, 0xA6CAF0};
    static const uint32_t high[10] = {0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000, 0x00FF00,
                                      0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
    i &= 0xFF;
    if (i < 10)
        return low[i];
    if (i >= 246)
        return high[i - 246];
    return ((i & 7) * 32) << 16 | ((i >> 3 & 7) * 32) << 8 | (i >> 6 & 3) * 64;
}

bool bitmaps_read_dib(Player *p, const EmfRecord *rec, uint32_t at, uint32_t usage,
                      PlayerDib *dib)
{
    memset(dib, 0, sizeof *dib);
    uint32_t offBmi = EmfU32(rec, at), cbBmi = EmfU32(rec, at + 4);
    uint32_t offBits = EmfU32(rec, at + 8);
    if (cbBmi < sizeof(BITMAPINFOHEADER) || EmfU32(rec, offBmi) < sizeof(BITMAPINFOHEADER)) {
        player_warn(p, "a bitmap without a BITMAPINFOHEADER not drawn");
        return false;
    }
    uint32_t biSize = EmfU32(rec, offBmi);
    int32_t width = EmfI32(rec, offBmi + offsetof(BITMAPINFOHEADER, biWidth));
    int32_t height = EmfI32(rec, offBmi + offsetof(BITMAPINFOHEADER, biHeight));
    uint16_t bpp = EmfU16(rec, offBmi + offsetof(BITMAPINFOHEADER, biBitCount));
    uint32_t compression = EmfU32(rec, offBmi + offsetof(BITMAPINFOHEADER, biCompression));
    uint32_t clrUsed = EmfU32(rec, offBmi + offsetof(BITMAPINFOHEADER, biClrUsed));
    if (compression != BI_RGB && compression != BI_BITFIELDS) {
        player_warn(p, "a bitmap of compression %u not drawn", compression);
        return false;
    }
    if (width <= 0 || height == 0 || height == INT32_MIN) {
        player_warn(p, "a %d x %d bitmap not drawn", width, height);
        return false;
    }
    /* The reader has checked the depth and that the bits hold every row. */
    dib->bits = rec->data + offBits;
    dib->width = width;
    dib->height = height < 0 ? -height : height;
    dib->bottomUp = height > 0;
    dib->bpp = bpp;
    dib->stride = (uint32_t)(((uint64_t)width * bpp + 31) / 32 * 4);
    dib->indices = usage == DIB_PAL_INDICES;
    dib->paletteIndices = usage == DIB_PAL_COLORS;
    if (bpp <= 8) {
        uint32_t entry = dib->paletteIndices ? 2 : 4;
        uint32_t want = clrUsed ? clrUsed : 1u << bpp;
        uint32_t have = (cbBmi - biSize) / entry; /* a table may be short or missing */
        dib->colors = rec->data + offBmi + biSize;
        dib->colorCount = want < have ? want : have;
    } else if (compression == BI_BITFIELDS && cbBmi >= sizeof(BITMAPINFOHEADER) + 12) {
        for (int k = 0; k < 3; k++)
            dib->masks[k] = EmfU32(rec, offBmi + sizeof(BITMAPINFOHEADER) + 4 * k);
    } else if (bpp == 16) {
        dib->masks[0] = 0x7C00, dib->masks[1] = 0x03E0, dib->masks[2] = 0x001F;
    } else {
        dib->masks[0] = 0xFF0000, dib->masks[1] = 0x00FF00, dib->masks[2] = 0x0000FF;
    }
    return true;
}

/* The masked field of v as 8 bits, its top bits repeated below as GDI widens 5-bit fields. */
static uint32_t bitmaps_field(uint32_t v, uint32_t mask)
{
    if (mask == 0)
        return 0;
    int shift = __builtin_ctz(mask), bits = __builtin_popcount(mask);
    uint32_t c = (v & mask) >> shift;
    if (bits >= 8)
        return c >> (bits - 8) & 0xFF;
    uint32_t out = 0;
    int have = 0;
    while (have < 8) {
        out = out << bits | c;
        have += bits;
    }
    return out >> (have - 8) & 0xFF;
}

uint32_t bitmaps_index(const PlayerDib *dib, int32_t x, int32_t y)
{
    int32_t row = dib->bottomUp ? dib->height - 1 - y : y;
    const uint8_t *r = dib->bits + (size_t)row * dib->stride;
    switch (dib->bpp) {
    case 1: return r[x >> 3] >> (7 - (x & 7)) & 1;
    case 4: return r[x >> 1] >> (x & 1 ? 0 : 4) & 0xF;
    default: return r[x];
    }
}

uint32_t bitmaps_index_colour(const PlayerDib *dib, uint32_t index)
{
    if (dib->indices)
        return index;
    if (index >= dib->colorCount)
        return 0; /* past the table: black */
    if (dib->paletteIndices)
        return bitmaps_default_palette(dib->colors[2 * index] | dib->colors[2 * index + 1] << 8);
    const uint8_t *q = dib->colors + 4 * index;
    return (uint32_t)q[2] << 16 | q[1] << 8 | q[0];
}

uint32_t bitmaps_pixel(const PlayerDib *dib, int32_t x, int32_t y)
{
    if (dib->bpp <= 8)
        return bitmaps_index_colour(dib, bitmaps_index(dib, x, y));
    int32_t row = dib->bottomUp ? dib->height - 1 - y : y;
    const uint8_t *r = dib->bits + (size_t)row * dib->stride;
    uint32_t v;
    switch (dib->bpp) {
    case 16:
        v = r[2 * x] | r[2 * x + 1] << 8;
        return bitmaps_field(v, dib->masks[0]) << 16 | bitmaps_field(v, dib->masks[1]) << 8 |
               bitmaps_field(v, dib->masks[2]);
    case 24:
        return (uint32_t)r[3 * x + 2] << 16 | r[3 * x + 1] << 8 | r[3 * x];
    default:
        v = r[4 * x] | r[4 * x + 1] << 8 | r[4 * x + 2] << 16 | (uint32_t)r[4 * x + 3] << 24;
        return bitmaps_field(v, dib->masks[0]) << 16 | bitmaps_field(v, dib->masks[1]) << 8 |
               bitmaps_field(v, dib->masks[2]);
    }
}

/* One bitmap record's geometry: destination and source rectangles in their own units. */
struct BlitGeometry {
    int32_t xDest, yDest, cxDest, cyDest;
    int32_t xSrc, ySrc, cxSrc, cySrc;
    uint32_t rop3;
    bool srcFromBottom; /* StretchDIBits counts the source's y from a bottom-up DIB's last row */
    uint32_t bmiAt;     /* where offBmiSrc lies */
    uint32_t usage;
};

static bool bitmaps_geometry(const EmfRecord *rec, BlitGeometry *g)
{
    memset(g, 0, sizeof *g);
    if (rec->iType == EMR_STRETCHDIBITS) {
        g->xDest = EmfI32(rec, offsetof(EMRSTRETCHDIBITS, xDest));
        g->yDest = EmfI32(rec, offsetof(EMRSTRETCHDIBITS, yDest));
        g->cxDest = EmfI32(rec, offsetof(EMRSTRETCHDIBITS, cxDest));
        g->cyDest = EmfI32(rec, offsetof(EMRSTRETCHDIBITS, cyDest));
        g->xSrc = EmfI32(rec, offsetof(EMRSTRETCHDIBITS, xSrc));
        g->ySrc = EmfI32(rec, offsetof(EMRSTRETCHDIBITS, ySrc));
        g->cxSrc = EmfI32(rec, offsetof(EMRSTRETCHDIBITS, cxSrc));
        g->cySrc = EmfI32(rec, offsetof(EMRSTRETCHDIBITS, cySrc));
        g->rop3 = EmfU32(rec, offsetof(EMRSTRETCHDIBITS, dwRop)) >> 16 & 0xFF;
        g->srcFromBottom = true;
        g->bmiAt = offsetof(EMRSTRETCHDIBITS, offBmiSrc);
        g->usage = EmfU32(rec, offsetof(EMRSTRETCHDIBITS, iUsageSrc));
        return true;
    }
    g->xDest = EmfI32(rec, offsetof(EMRBITBLT, xDest));
    g->yDest = EmfI32(rec, offsetof(EMRBITBLT, yDest));
    g->cxDest = g->cxSrc = EmfI32(rec, offsetof(EMRBITBLT, cxDest));
    g->cyDest = g->cySrc = EmfI32(rec, offsetof(EMRBITBLT, cyDest));
    g->xSrc = EmfI32(rec, offsetof(EMRBITBLT, xSrc));
    g->ySrc = EmfI32(rec, offsetof(EMRBITBLT, ySrc));
    g->rop3 = EmfU32(rec, offsetof(EMRBITBLT, dwRop)) >> 16 & 0xFF;
    g->bmiAt = offsetof(EMRBITBLT, offBmiSrc);
    g->usage = EmfU32(rec, offsetof(EMRBITBLT, iUsageSrc));
    if (rec->iType == EMR_STRETCHBLT) {
        g->cxSrc = EmfI32(rec, offsetof(EMRSTRETCHBLT, cxSrc));
        g->cySrc = EmfI32(rec, offsetof(EMRSTRETCHBLT, cySrc));
    }
    return true;
}

/* The source pixels dest pixel i of n takes along one axis from a run of m, as GDI's stretching
 * steps through them: growing, the one whose centre the pixel's centre falls in (a tie to the
 * lower); shrinking, those whose centres fall in the pixel (a tie to the higher). */
static void bitmaps_span(int64_t i, int64_t n, int64_t m, int64_t *first, int64_t *last)
{
    if (n >= m) {
        *first = *last = ((2 * i + 1) * m - 1) / (2 * n);
        return;
    }
    *last = (2 * m * (i + 1) - n) / (2 * n);
    *first = i == 0 ? 0 : (2 * m * i - n) / (2 * n) + 1;
}

static BlitAxis bitmaps_axis(int32_t src, int32_t cxSrc, bool destFlipped)
{
    BlitAxis a;
    a.count = cxSrc < 0 ? -(int64_t)cxSrc : cxSrc;
    a.start = cxSrc < 0 ? (int64_t)src + cxSrc : src;
    a.srcBackward = cxSrc < 0;
    a.destBackward = destFlipped;
    return a;
}

/* Narrows the steps first to last along an axis to those whose source pixel lies inside the
 * size pixels of the DIB, so that a source rectangle far larger than the DIB costs nothing. */
static void bitmaps_inside(const BlitAxis *a, int64_t size, int64_t *first, int64_t *last)
{
    int64_t lo = a->srcBackward ? a->start + a->count - size : -a->start;
    int64_t hi = a->srcBackward ? a->start + a->count - 1 : size - 1 - a->start;
    *first = *first > lo ? *first : lo;
    *last = *last < hi ? *last : hi;
}

bool bitmaps_source(const Player *p, const BlitRun *run, int64_t i, int64_t j, uint32_t *color)
{
    const BlitAxis *ax = &run->ax, *ay = &run->ay;
    int64_t n = run->right - run->left, m = run->bottom - run->top;
    int64_t x0, x1, y0, y1;
    bitmaps_span(ax->destBackward ? n - 1 - i : i, n, ax->count, &x0, &x1);
    bitmaps_span(ay->destBackward ? m - 1 - j : j, m, ay->count, &y0, &y1);
    uint32_t mode = p->state.stretchMode;
    if (mode != BLACKONWHITE && mode != WHITEONBLACK)
        x0 = x1, y0 = y1; /* COLORONCOLOR (and HALFTONE, not averaged here) keep one */
    bitmaps_inside(ax, run->dib.width, &x0, &x1);
    bitmaps_inside(ay, run->dib.height, &y0, &y1);
    bool any = false;
    for (int64_t v = y0; v <= y1; v++) {
        int64_t sy = ay->start + (ay->srcBackward ? ay->count - 1 - v : v);
        for (int64_t u = x0; u <= x1; u++) {
            int64_t sx = ax->start + (ax->srcBackward ? ax->count - 1 - u : u);
            uint32_t c = bitmaps_pixel(&run->dib, (int32_t)sx, (int32_t)sy);
            *color = !any ? c : mode == BLACKONWHITE ? *color & c : *color | c;
            any = true;
        }
    }
    return any;
}

bool bitmaps_reads(const Player *p, const BlitRun *run, bool horizontal, int64_t i)
{
    const BlitAxis *a = horizontal ? &run->ax : &run->ay;
    int64_t n = horizontal ? run->right - run->left : run->bottom - run->top;
    int64_t size = horizontal ? run->dib.width : run->dib.height;
    int64_t first, last;
    bitmaps_span(a->destBackward ? n - 1 - i : i, n, a->count, &first, &last);
    if (p->state.stretchMode != BLACKONWHITE && p->state.stretchMode != WHITEONBLACK)
        first = last;
    bitmaps_inside(a, size, &first, &last);
    return first <= last;
}

bool bitmaps_place(Player *p, const EmfRecord *rec, BlitRun *run)
{
    memset(run, 0, sizeof *run);
    BlitGeometry g;
    bitmaps_geometry(rec, &g);
    run->rop3 = g.rop3;
    run->usesSource = ((g.rop3 >> 2 ^ g.rop3) & 0x33) != 0;
    run->usesPattern = ((g.rop3 >> 4 ^ g.rop3) & 0x0F) != 0;
    if (run->usesSource) {
        if (EmfU32(rec, g.bmiAt + 4) == 0) {
            player_warn(p, "raster operation 0x%02x needs a source bitmap the record lacks", g.rop3);
            return false;
        }
        if (!bitmaps_read_dib(p, rec, g.bmiAt, g.usage, &run->dib))
            return false;
    }
    if (rec->iType != EMR_STRETCHDIBITS) {
        float m[6];
        memcpy(m, rec->data + offsetof(EMRBITBLT, xformSrc), sizeof m);
        if (run->usesSource && !(m[0] == 1 && m[1] == 0 && m[2] == 0 && m[3] == 1))
            player_warn(p, "the source transform is not played");
    }
    double x0, y0, x1, y1;
    player_map(p, g.xDest, g.yDest, &x0, &y0);
    player_map(p, (double)g.xDest + g.cxDest, (double)g.yDest + g.cyDest, &x1, &y1);
    if (x0 == x1 || y0 == y1)
        return false;
    /* Destination pixels whose centres lie inside the rectangle; a mirrored rectangle (its far
     * corner left of or above its origin) is one pixel further right or down, as GDI places it. */
    bool flipX = x1 < x0, flipY = y1 < y0;
    double shiftX = flipX ? p->scale : 0, shiftY = flipY ? p->scale : 0;
    run->left = (int64_t)ceil(fmin(x0, x1) + shiftX - 0.5);
    run->right = (int64_t)ceil(fmax(x0, x1) + shiftX - 0.5);
    run->top = (int64_t)ceil(fmin(y0, y1) + shiftY - 0.5);
    run->bottom = (int64_t)ceil(fmax(y0, y1) + shiftY - 0.5);
    run->ax = bitmaps_axis(g.xSrc, g.cxSrc, flipX);
    run->ay = bitmaps_axis(g.ySrc, g.cySrc, flipY);
    if (run->usesSource && g.srcFromBottom && run->dib.bottomUp) /* counted from the last row */
        run->ay.start = run->dib.height - run->ay.start - run->ay.count;
    return run->left < run->right && run->top < run->bottom;
}

void bitmaps_compose(Player *p, const BlitRun *run)
{
    for (int64_t y = run->top < 0 ? 0 : run->top; y < run->bottom && y < p->height; y++) {
        uint32_t *row = p->pixels + (size_t)y * p->stride;
        for (int64_t x = run->left < 0 ? 0 : run->left; x < run->right && x < p->width; x++) {
            if (!compose_visible(p, (int32_t)x, (int32_t)y))
                continue;
            uint32_t source = 0, pattern = 0;
            if (run->usesSource &&
                !bitmaps_source(p, run, x - run->left, y - run->top, &source))
                continue;
            if (run->rop3 == ROP3_SRCCOPY) {
                row[x] = source;
                continue;
            }
            /* Where a hatch in TRANSPARENT mode has a gap, the destination stays as it was,
             * whatever the operation. */
            if (!run->usesPattern || compose_brush_pixel(p, &p->state.brush, (int32_t)x,
                                                         (int32_t)y, &pattern))
                row[x] = compose_rop3(run->rop3, pattern, source, row[x]);
        }
    }
}

void bitmaps_play(Player *p, const EmfRecord *rec)
{
    BlitRun run;
    if (bitmaps_place(p, rec, &run))
        device_blit(p, &run);
}
