/* Colour composition on the page bitmap: raster operations, brush colours pixel by pixel
 * (hatches and patterns aligned to the device's origin, as GDI aligns them), the coverage mask
 * shapes are rasterised into, and the clip. */
#include "player_private.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

enum : uint32_t { ROP3_PATCOPY = 0xF0 };

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

/* Where page pixel (x, y) falls in a pattern of width x height: patterns start at the device's
 * origin, wherever the page begins. */
static void compose_pattern_cell(const Player *p, int32_t x, int32_t y, int32_t width,
                                 int32_t height, int32_t *cx, int32_t *cy)
{
    *cx = compose_mod((int64_t)x - (int64_t)floor(p->offsetX + 0.5), width);
    *cy = compose_mod((int64_t)y - (int64_t)floor(p->offsetY + 0.5), height);
}

bool compose_brush_foreground(const Player *p, const PlayerBrush *brush, int32_t x, int32_t y)
{
    int32_t cx, cy;
    if (brush->style == BS_HATCHED) {
        compose_pattern_cell(p, x, y, 8, 8, &cx, &cy);
        return compose_hatch_bit(brush->hatch, cx, cy);
    }
    const PlayerDib &d = brush->pattern;
    compose_pattern_cell(p, x, y, d.width, d.height, &cx, &cy);
    return bitmaps_pixel(&d, cx, cy) == 0;
}

bool compose_brush_pixel(const Player *p, const PlayerBrush *brush, int32_t x, int32_t y,
                         uint32_t *color)
{
    switch (brush->style) {
    case BS_NULL:
        return false;
    case BS_HATCHED:
        if (compose_brush_foreground(p, brush, x, y)) {
            *color = brush->color;
            return true;
        }
        if (p->state.bkMode == TRANSPARENT)
            return false;
        *color = p->state.bkColor;
        return true;
    case BS_PATTERN:
        /* A monochrome pattern takes the DC's colours: 0 bits the text colour, 1 bits the
         * background colour, in either background mode. */
        *color = compose_brush_foreground(p, brush, x, y) ? p->state.textColor : p->state.bkColor;
        return true;
    case BS_DIBPATTERNPT: {
        const PlayerDib &d = brush->pattern;
        int32_t cx, cy;
        compose_pattern_cell(p, x, y, d.width, d.height, &cx, &cy);
        *color = bitmaps_pixel(&d, cx, cy);
        return true;
    }
    default:
        *color = brush->color;
        return true;
    }
}

bool compose_visible(const Player *p, int32_t x, int32_t y)
{
    const ScanBox &c = p->clipBox;
    if (x < c.x0 || y < c.y0 || x >= c.x1 || y >= c.y1)
        return false;
    return p->clipMask == NULL || p->clipMask[(size_t)y * p->width + x];
}

/* Composes the brush onto the pixels of row y in [x0, x1) that the coverage mask marks and the
 * clip holds; the mask is read eight pixels at a time where it is empty. */
static void compose_row(Player *p, const PlayerBrush *brush, uint32_t rop3, bool plain, int32_t y,
                        int32_t x0, int32_t x1)
{
    const uint8_t *cover = p->coverBits + (size_t)y * p->coverStride;
    uint32_t *row = p->pixels + (size_t)y * p->stride;
    const uint8_t *clip = p->clipMask ? p->clipMask + (size_t)y * p->width : NULL;
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
    const ScanBox &c = p->clipBox;
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

void compose_fill_box(Player *p, const double (*corners)[2], uint32_t color)
{
    PlayerBrush solid;
    memset(&solid, 0, sizeof solid);
    solid.color = color;
    cairo_new_path(p->cover);
    for (int i = 0; i < 4; i++)
        cairo_line_to(p->cover, corners[i][0], corners[i][1]);
    cairo_close_path(p->cover);
    compose_fill_cover(p, &solid, R2_COPYPEN, false);
    cairo_new_path(p->cover);
}

/* ---- the page bitmap ---- */

static const cairo_user_data_key_t kPagePixels = {0};

/* A white RGB24 surface whose pixels are filled once, white, instead of zeroed by cairo first
 * and then filled; the surface frees them. An error surface when memory runs out. */
static cairo_surface_t *compose_white_page(int32_t width, int32_t height)
{
    int stride = cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, width);
    uint32_t *pixels = (uint32_t *)malloc((size_t)stride * height);
    if (pixels == NULL)
        return cairo_image_surface_create(CAIRO_FORMAT_RGB24, -1, -1);
    for (int32_t x = 0; x < width; x++)
        pixels[x] = 0xFFFFFF;
    for (int32_t y = 1; y < height; y++)
        memcpy((uint8_t *)pixels + (size_t)y * stride, pixels, (size_t)width * 4);
    cairo_surface_t *page = cairo_image_surface_create_for_data(
        (unsigned char *)pixels, CAIRO_FORMAT_RGB24, width, height, stride);
    if (cairo_surface_set_user_data(page, &kPagePixels, pixels, free) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(page);
        free(pixels);
        return cairo_image_surface_create(CAIRO_FORMAT_RGB24, -1, -1);
    }
    return page;
}

int compose_open_page(Player *p)
{
    p->page = compose_white_page(p->width, p->height);
    p->coverSurface = cairo_image_surface_create(CAIRO_FORMAT_A8, p->width, p->height);
    if (cairo_surface_status(p->page) || cairo_surface_status(p->coverSurface))
        return -1;
    p->pixels = (uint32_t *)cairo_image_surface_get_data(p->page);
    p->stride = (uint32_t)cairo_image_surface_get_stride(p->page) / 4;
    cairo_surface_flush(p->coverSurface);
    p->coverBits = cairo_image_surface_get_data(p->coverSurface);
    p->coverStride = (uint32_t)cairo_image_surface_get_stride(p->coverSurface);
    return 0;
}

cairo_t *compose_cover_context(Player *p)
{
    cairo_t *cr = cairo_create(p->coverSurface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    return cr;
}

void compose_close_page(Player *p)
{
    free(p->clipMask);
    p->clipMask = NULL;
    if (p->coverSurface)
        cairo_surface_destroy(p->coverSurface);
    p->coverSurface = NULL;
}

/* ---- clip ---- */

bool compose_clip_changed(Player *p)
{
    const PlayerRegion &clip = p->state.clip;
    uint8_t *mask = NULL;
    if (clip.count > 1) {
        /* A region of several rectangles: a page mask of its pixels. */
        mask = (uint8_t *)calloc((size_t)p->width * p->height, 1);
        if (mask == NULL)
            return false;
        for (uint32_t i = 0; i < clip.count; i++) {
            const ScanBox &r = clip.rects[i];
            for (int32_t y = r.y0; y < r.y1; y++)
                memset(mask + (size_t)y * p->width + r.x0, 1, (size_t)(r.x1 - r.x0));
        }
    }
    free(p->clipMask);
    p->clipMask = mask;
    p->clipBox = clip.count > 0 ? clip.box : ScanBox{0, 0, 0, 0};
    return true;
}
