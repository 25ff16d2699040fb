/* Colour composition on the page bitmap: raster operations, brush colours pixel by pixel
 * (hatches and patterns aligned to the device's origin, as GDI aligns them), the coverage mask
 * shapes are rasterised into, and the clip. */
#include "player_private.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

enum : uint32_t {
    RGN_AND = 1, RGN_OR = 2, RGN_XOR = 3, RGN_DIFF = 4, RGN_COPY = 5,
    ROP3_PATCOPY = 0xF0,
};

/* A raster operation's index byte has bit (P << 2 | S << 1 | D) set where the result bit is 1
 * for those pattern, source and destination bits; every colour bit is computed alike. */
uint32_t compose_rop3(uint32_t rop3, uint32_t pattern, uint32_t source, uint32_t dest)
{
    uint32_t result = 0;
    for (uint32_t term = 0; term < 8; term++) {
        if (!(rop3 >> term & 1))
            continue;
        result |= ((term & 4) ? pattern : ~pattern) & ((term & 2) ? source : ~source) &
                  ((term & 1) ? dest : ~dest);
    }
    return result & 0xFFFFFF;
}

/* R2_ codes run from 1 to 16; code - 1 has bit (P << 1 | D) set where the result is 1. */
uint32_t compose_rop3_of_rop2(uint32_t rop2)
{
    uint32_t bits = rop2 - 1, rop3 = 0;
    for (uint32_t term = 0; term < 8; term++) {
        uint32_t pen = term >> 2 & 1, dest = term & 1;
        if (bits >> (pen << 1 | dest) & 1)
            rop3 |= 1u << term;
    }
    return rop3;
}

/* The 8x8 hatches GDI draws: whether pixel (x, y) of the cell is a line pixel. */
static bool compose_hatch_bit(uint32_t hatch, int32_t x, int32_t y)
{
    switch (hatch) {
    case 0: return y == 3;                         /* HS_HORIZONTAL */
    case 1: return x == 4;                         /* HS_VERTICAL */
    case 2: return x == y;                         /* HS_FDIAGONAL */
    case 3: return x + y == 7;                     /* HS_BDIAGONAL */
    case 4: return y == 3 || x == 4;               /* HS_CROSS */
    default: return x == y || x + y == 7;          /* HS_DIAGCROSS */
    }
}

static int32_t compose_mod(int64_t v, int32_t m)
{
    int64_t r = v % m;
    return (int32_t)(r < 0 ? r + m : r);
}

bool compose_brush_pixel(const Player *p, const PlayerBrush *brush, int32_t x, int32_t y,
                         uint32_t *color)
{
    /* Patterns start at the device's origin, wherever the page begins. */
    int64_t dx = (int64_t)x - (int64_t)floor(p->offsetX + 0.5);
    int64_t dy = (int64_t)y - (int64_t)floor(p->offsetY + 0.5);
    switch (brush->style) {
    case BS_NULL:
        return false;
    case BS_HATCHED:
        if (compose_hatch_bit(brush->hatch, compose_mod(dx, 8), compose_mod(dy, 8))) {
            *color = brush->color;
            return true;
        }
        if (p->state.bkMode == TRANSPARENT)
            return false;
        *color = p->state.bkColor;
        return true;
    case BS_PATTERN: {
        /* A monochrome pattern takes the DC's colours: 0 bits the text colour, 1 bits the
         * background colour, in either background mode. */
        const PlayerDib &d = brush->pattern;
        uint32_t bit = bitmaps_pixel(&d, compose_mod(dx, d.width), compose_mod(dy, d.height));
        *color = bit ? p->state.bkColor : p->state.textColor;
        return true;
    }
    case BS_DIBPATTERNPT: {
        const PlayerDib &d = brush->pattern;
        *color = bitmaps_pixel(&d, compose_mod(dx, d.width), compose_mod(dy, d.height));
        return true;
    }
    default:
        *color = brush->color;
        return true;
    }
}

bool compose_visible(const Player *p, int32_t x, int32_t y)
{
    const ScanBox &c = p->state.clipBox;
    if (x < c.x0 || y < c.y0 || x >= c.x1 || y >= c.y1)
        return false;
    return p->state.clip == NULL || p->state.clip[(size_t)y * p->width + x];
}

/* Composes the brush onto the pixels of row y in [x0, x1) that the coverage mask marks and the
 * clip holds; the mask is read eight pixels at a time where it is empty. */
static void compose_row(Player *p, const PlayerBrush *brush, uint32_t rop3, bool plain, int32_t y,
                        int32_t x0, int32_t x1)
{
    const uint8_t *cover = p->coverBits + (size_t)y * p->coverStride;
    uint32_t *row = p->pixels + (size_t)y * p->stride;
    const uint8_t *clip = p->state.clip ? p->state.clip + (size_t)y * p->width : NULL;
    int32_t x = x0;
    while (x < x1) {
        if (x + 8 <= x1) {
            uint64_t word;
            memcpy(&word, cover + x, sizeof word);
            if (word == 0) {
                x += 8;
                continue;
            }
            /* Inside a fill: eight pixels of the brush's colour at once. */
            if (word == ~(uint64_t)0 && plain && clip == NULL) {
                for (int32_t end = x + 8; x < end; x++)
                    row[x] = brush->color;
                continue;
            }
        }
        for (int32_t end = x + 8 < x1 ? x + 8 : x1; x < end; x++) {
            uint32_t color;
            if (!cover[x] || (clip && !clip[x]))
                continue;
            if (plain)
                row[x] = brush->color;
            else if (compose_brush_pixel(p, brush, x, y, &color))
                row[x] = compose_rop3(rop3, color, 0, row[x]);
        }
    }
}

void compose_coverage(Player *p, const PlayerBrush *brush, uint32_t rop2, int32_t x0,
                      int32_t y0, int32_t x1, int32_t y1)
{
    x0 = x0 < 0 ? 0 : x0;
    y0 = y0 < 0 ? 0 : y0;
    x1 = x1 > p->width ? p->width : x1;
    y1 = y1 > p->height ? p->height : y1;
    if (x0 >= x1 || y0 >= y1)
        return;
    cairo_surface_flush(p->coverSurface);
    uint32_t rop3 = compose_rop3_of_rop2(rop2);
    bool plain = brush->style == BS_SOLID && rop3 == ROP3_PATCOPY;
    /* Only the part inside the clip's box is composed; the whole box's mask is cleared. */
    const ScanBox &c = p->state.clipBox;
    int32_t cx0 = x0 > c.x0 ? x0 : c.x0, cx1 = x1 < c.x1 ? x1 : c.x1;
    for (int32_t y = y0; y < y1; y++) {
        if (y >= c.y0 && y < c.y1 && cx0 < cx1)
            compose_row(p, brush, rop3, plain, y, cx0, cx1);
        memset(p->coverBits + (size_t)y * p->coverStride + x0, 0, (size_t)(x1 - x0));
    }
    cairo_surface_mark_dirty_rectangle(p->coverSurface, x0, y0, x1 - x0, y1 - y0);
}

void compose_fill_cover(Player *p, const PlayerBrush *brush, uint32_t rop2, bool stroke)
{
    double ex0, ey0, ex1, ey1;
    if (stroke)
        cairo_stroke_extents(p->cover, &ex0, &ey0, &ex1, &ey1);
    else
        cairo_fill_extents(p->cover, &ex0, &ey0, &ex1, &ey1);
    if (stroke)
        cairo_stroke_preserve(p->cover);
    else
        cairo_fill_preserve(p->cover);
    /* The extents hold every pixel the rasteriser may have set; one more on each side is slack
     * for its rounding. */
    compose_coverage(p, brush, rop2, (int32_t)fmax(floor(ex0) - 1, -1),
                     (int32_t)fmax(floor(ey0) - 1, -1),
                     (int32_t)fmin(ceil(ex1) + 1, p->width), (int32_t)fmin(ceil(ey1) + 1, p->height));
}

/* ---- clip ---- */

static bool compose_box_empty(const ScanBox &b)
{
    return b.x0 >= b.x1 || b.y0 >= b.y1;
}

static ScanBox compose_box_and(const ScanBox &a, const ScanBox &b)
{
    return ScanBox{a.x0 > b.x0 ? a.x0 : b.x0, a.y0 > b.y0 ? a.y0 : b.y0,
                   a.x1 < b.x1 ? a.x1 : b.x1, a.y1 < b.y1 ? a.y1 : b.y1};
}

static void compose_mask_box(const Player *p, uint8_t *mask, const ScanBox &b)
{
    for (int32_t y = b.y0; y < b.y1; y++)
        memset(mask + (size_t)y * p->width + b.x0, 1, (size_t)(b.x1 - b.x0));
}

/* A page mask of the pixels of box, of those only the ones mask marks when it is not NULL;
 * NULL when there is no memory. */
static uint8_t *compose_mask_of(const Player *p, const ScanBox &box, const uint8_t *mask)
{
    uint8_t *out = (uint8_t *)calloc((size_t)p->width * p->height, 1);
    if (out == NULL || compose_box_empty(box))
        return out;
    for (int32_t y = box.y0; y < box.y1; y++) {
        size_t at = (size_t)y * p->width + box.x0, n = (size_t)(box.x1 - box.x0);
        if (mask)
            memcpy(out + at, mask + at, n);
        else
            memset(out + at, 1, n);
    }
    return out;
}

void compose_region_begin(Player *p)
{
    free(p->region);
    p->region = NULL;
    p->regionRects = 0;
    p->regionBox = ScanBox{0, 0, 0, 0};
}

void compose_region_add(Player *p, double x0, double y0, double x1, double y1)
{
    if (p->regionRects < 0)
        return;
    /* Pixels whose centres lie in [x0, x1) x [y0, y1). */
    double left = fmax(ceil(x0 - 0.5), 0), top = fmax(ceil(y0 - 0.5), 0);
    double right = fmin(ceil(x1 - 0.5), p->width), bottom = fmin(ceil(y1 - 0.5), p->height);
    if (!(left < right && top < bottom))
        return;
    ScanBox r = {(int32_t)left, (int32_t)top, (int32_t)right, (int32_t)bottom};
    if (p->regionRects == 0) {
        p->regionBox = r;
        p->regionRects = 1;
        return;
    }
    if (p->region == NULL && (p->region = compose_mask_of(p, p->regionBox, NULL)) == NULL) {
        p->regionRects = -1;
        return;
    }
    compose_mask_box(p, p->region, r);
    ScanBox &b = p->regionBox;
    b = ScanBox{b.x0 < r.x0 ? b.x0 : r.x0, b.y0 < r.y0 ? b.y0 : r.y0, b.x1 > r.x1 ? b.x1 : r.x1,
                b.y1 > r.y1 ? b.y1 : r.y1};
    p->regionRects++;
}

void compose_region_apply(Player *p, uint32_t mode)
{
    PlayerState &s = p->state;
    uint8_t *region = p->region;
    p->region = NULL;
    if (p->regionRects < 0) {
        player_warn(p, "no memory for the clip");
        return;
    }
    ScanBox page = {0, 0, p->width, p->height};
    bool wholePage = s.clip == NULL && memcmp(&s.clipBox, &page, sizeof page) == 0;
    /* The region's box holds it all; without a mask it is the region. */
    if (mode == RGN_COPY || (mode == RGN_AND && wholePage)) {
        free(s.clip);
        s.clip = region;
        s.clipBox = p->regionBox;
        return;
    }
    if (mode == RGN_AND && (region == NULL || s.clip == NULL)) {
        s.clipBox = compose_box_and(s.clipBox, p->regionBox);
        if (region) {
            s.clip = region;
            region = NULL;
        }
        free(region);
        return;
    }
    if (mode == RGN_OR && wholePage) {
        free(region);
        return;
    }
    /* Everything else, pixel by pixel over the page. */
    uint8_t *clip = compose_mask_of(p, s.clipBox, s.clip);
    if (region == NULL)
        region = compose_mask_of(p, p->regionBox, NULL);
    if (clip == NULL || region == NULL) {
        player_warn(p, "no memory for the clip");
        free(clip);
        free(region);
        return;
    }
    size_t n = (size_t)p->width * p->height;
    for (size_t i = 0; i < n; i++) {
        uint8_t c = clip[i] != 0, r = region[i] != 0;
        switch (mode) {
        case RGN_AND: region[i] = c & r; break;
        case RGN_OR: region[i] = c | r; break;
        case RGN_XOR: region[i] = c ^ r; break;
        default: region[i] = c & !r; break; /* RGN_DIFF */
        }
    }
    free(clip);
    free(s.clip);
    s.clip = region;
    s.clipBox = page;
}

void compose_clip_none(Player *p)
{
    free(p->state.clip);
    p->state.clip = NULL;
    p->state.clipBox = ScanBox{0, 0, p->width, p->height};
}
