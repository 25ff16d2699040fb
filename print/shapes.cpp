/* Shapes, pens and the path bracket: the vector records become cairo paths in page pixels,
 * filled through the coverage mask, outlined with the pen: lines one pixel wide pixel by pixel,
 * as GDI steps them, wider pens as GDI draws them (scan.cpp), with their end caps, joins and
 * dashes. */
#include "player_private.h"

#include <math.h>
#include <string.h>

#include <algorithm>

using namespace emf;

/* GDI sets pixel (x, y) when the point (x, y) lies inside the shape, left and top edges
 * included; cairo's stroker sets a pixel when its centre lies inside. Shifting a stroked path by
 * a little less than half a pixel makes the one rule give the other. Fills go through scan.cpp,
 * which follows GDI's rule itself. */
static const double SHAPES_SHIFT = 0.5 - 1.0 / 256;
/* cairo keeps coordinates in 24.8 fixed point; points are held well inside that. */
static const double SHAPES_FAR = 4194304.0;
static const double SHAPES_MITER_LIMIT = 10.0; /* GDI's default */
static const double SHAPES_LONGEST_DASH = 16777216.0; /* pixels: longer than any page */

enum ShapeFill { SHAPE_OPEN = 0, SHAPE_FILLED = 1 };

static const uint32_t kCosmeticDashes[4][6] = {
    {18, 6}, {3, 3}, {9, 6, 3, 6}, {9, 3, 3, 3, 3, 3}}; /* DASH, DOT, DASHDOT, DASHDOTDOT */
static const uint32_t kGeometricDashes[4][6] = {
    {3, 1}, {1, 1}, {3, 1, 1, 1}, {3, 1, 1, 1, 1, 1}};  /* in pen widths */
static const uint32_t kDashCounts[4] = {2, 2, 4, 6};

void shapes_read_pen(Player *p, const EmfRecord *rec, PlayerPen *pen)
{
    memset(pen, 0, sizeof *pen);
    if (rec->iType == EMR_CREATEPEN) {
        pen->style = EmfU32(rec, offsetof(EMRCREATEPEN, lopnStyle));
        pen->width = fabs((double)EmfI32(rec, offsetof(EMRCREATEPEN, lopnWidth)));
        pen->brush.color = player_rgb(EmfU32(rec, offsetof(EMRCREATEPEN, lopnColor)));
        /* A logical pen of a width is as wide as that width maps to, with the round caps and
         * joins its zero style bits name; of width 0, one pixel. (Wine records extended pens
         * here too, with their PS_GEOMETRIC bit.) */
        pen->geometric = (pen->style & PS_GEOMETRIC) || pen->width != 0;
        pen->extended = (pen->style & PS_GEOMETRIC) != 0;
        return;
    }
    pen->style = EmfU32(rec, offsetof(EMREXTCREATEPEN, elpPenStyle));
    pen->width = EmfU32(rec, offsetof(EMREXTCREATEPEN, elpWidth));
    pen->geometric = (pen->style & PS_GEOMETRIC) != 0;
    pen->extended = true;
    pen->brush.style = EmfU32(rec, offsetof(EMREXTCREATEPEN, elpBrushStyle));
    pen->brush.color = player_rgb(EmfU32(rec, offsetof(EMREXTCREATEPEN, elpColor)));
    pen->brush.hatch = EmfU32(rec, offsetof(EMREXTCREATEPEN, elpHatch));
    if (pen->brush.style == BS_NULL) {
        pen->style = PS_NULL;
    } else if (pen->brush.style != BS_SOLID &&
               !(pen->brush.style == BS_HATCHED && pen->brush.hatch <= HS_DIAGCROSS)) {
        player_warn(p, "a pen of brush style %u drawn solid", pen->brush.style);
        pen->brush.style = BS_SOLID;
    }
    uint32_t n = EmfU32(rec, offsetof(EMREXTCREATEPEN, elpNumEntries));
    if (n > PLAYER_MAX_STYLE) {
        player_warn(p, "only the first %d of %u style entries used", (int)PLAYER_MAX_STYLE, n);
        n = PLAYER_MAX_STYLE;
    }
    pen->numEntries = n;
    for (uint32_t i = 0; i < n; i++)
        pen->entries[i] = EmfU32(rec, sizeof(EMREXTCREATEPEN) + 4 * i);
}

/* ---- building paths ---- */

static double shapes_clamp(double v)
{
    return v < -SHAPES_FAR ? -SHAPES_FAR : v > SHAPES_FAR ? SHAPES_FAR : v;
}

/* A logical point as a path point. */
static void shapes_point(const Player *p, double x, double y, double *px, double *py)
{
    player_map(p, x, y, px, py);
    *px = shapes_clamp(*px);
    *py = shapes_clamp(*py);
}

static void shapes_move(Player *p, cairo_t *cr, double x, double y)
{
    double px, py;
    shapes_point(p, x, y, &px, &py);
    cairo_move_to(cr, px, py);
}

static void shapes_line(Player *p, cairo_t *cr, double x, double y)
{
    double px, py;
    shapes_point(p, x, y, &px, &py);
    cairo_line_to(cr, px, py);
}

/* Point i of a point-list record whose points start at byte base. */
static void shapes_list_point(const EmfRecord *rec, uint32_t base, bool small, uint32_t i,
                              double *x, double *y)
{
    if (small) {
        *x = EmfI16(rec, base + 4 * i);
        *y = EmfI16(rec, base + 4 * i + 2);
    } else {
        *x = EmfI32(rec, base + 8 * i);
        *y = EmfI32(rec, base + 8 * i + 4);
    }
}

/* count points from index first as one figure: lines, or Bezier segments after the start. */
static void shapes_figure(Player *p, cairo_t *cr, const EmfRecord *rec, uint32_t base,
                          bool small, uint32_t first, uint32_t count, bool bezier, bool fromCurrent)
{
    double x, y;
    uint32_t i = 0;
    if (fromCurrent) {
        if (!cairo_has_current_point(cr))
            shapes_move(p, cr, p->state.curX, p->state.curY);
    } else if (count > 0) {
        shapes_list_point(rec, base, small, first, &x, &y);
        shapes_move(p, cr, x, y);
        i = 1;
    }
    while (i < count) {
        if (bezier && i + 3 <= count) {
            double c[6];
            for (int k = 0; k < 3; k++) {
                shapes_list_point(rec, base, small, first + i + k, &x, &y);
                shapes_point(p, x, y, &c[2 * k], &c[2 * k + 1]);
            }
            cairo_curve_to(cr, c[0], c[1], c[2], c[3], c[4], c[5]);
            i += 3;
            continue;
        }
        if (bezier)
            break; /* a Bezier list of 3n+1 points: the rest is not drawn */
        shapes_list_point(rec, base, small, first + i, &x, &y);
        shapes_line(p, cr, x, y);
        i++;
    }
    if (count > 0) {
        shapes_list_point(rec, base, small, first + count - 1, &x, &y);
        p->state.curX = x;
        p->state.curY = y;
    }
}

/* The part of an ellipse inside a record's inclusive box, from angle a0 to a1 (radians of the
 * unit circle the box is scaled from), counter-clockwise as seen on the page. */
static bool shapes_ellipse_box(Player *p, const EmfRecord *rec, double *cx, double *cy,
                               double *rx, double *ry)
{
    double x0, y0, x1, y1;
    shapes_point(p, EmfI32(rec, 8), EmfI32(rec, 12), &x0, &y0);
    shapes_point(p, EmfI32(rec, 16), EmfI32(rec, 20), &x1, &y1);
    *cx = (x0 + x1) / 2;
    *cy = (y0 + y1) / 2;
    *rx = fabs(x1 - x0) / 2;
    *ry = fabs(y1 - y0) / 2;
    return *rx > 0 && *ry > 0;
}

static void shapes_elliptic_arc(cairo_t *cr, double cx, double cy, double rx, double ry,
                                double a0, double a1, bool full)
{
    cairo_save(cr);
    cairo_translate(cr, cx, cy);
    cairo_scale(cr, rx, ry);
    if (full) {
        cairo_new_sub_path(cr);
        cairo_arc_negative(cr, 0, 0, 1, 0, -2 * M_PI);
    } else {
        cairo_arc_negative(cr, 0, 0, 1, a0, a1);
    }
    cairo_restore(cr);
}

/* The outline of the record's inclusive box, counter-clockwise from the top right as GDI goes. */
static void shapes_rect_outline(Player *p, cairo_t *cr, const EmfRecord *rec)
{
    double x0, y0, x1, y1;
    shapes_point(p, EmfI32(rec, 8), EmfI32(rec, 12), &x0, &y0);
    shapes_point(p, EmfI32(rec, 16), EmfI32(rec, 20), &x1, &y1);
    cairo_move_to(cr, fmax(x0, x1), fmin(y0, y1));
    cairo_line_to(cr, fmin(x0, x1), fmin(y0, y1));
    cairo_line_to(cr, fmin(x0, x1), fmax(y0, y1));
    cairo_line_to(cr, fmax(x0, x1), fmax(y0, y1));
    cairo_close_path(cr);
}

static void shapes_box(Player *p, cairo_t *cr, const EmfRecord *rec)
{
    double x0, y0, x1, y1;
    shapes_point(p, EmfI32(rec, 8), EmfI32(rec, 12), &x0, &y0);
    shapes_point(p, EmfI32(rec, 16), EmfI32(rec, 20), &x1, &y1);
    if (rec->iType == EMR_RECTANGLE) {
        shapes_rect_outline(p, cr, rec);
        return;
    }
    double cx, cy, rx, ry;
    if (!shapes_ellipse_box(p, rec, &cx, &cy, &rx, &ry))
        return;
    if (rec->iType == EMR_ELLIPSE) {
        shapes_elliptic_arc(cr, cx, cy, rx, ry, 0, 0, true);
        cairo_close_path(cr);
        return;
    }
    if (rec->iType == EMR_ROUNDRECT) {
        double ex = fmin(player_map_length(p, EmfI32(rec, 24)) / 2, rx);
        double ey = fmin(player_map_length(p, fabs((double)EmfI32(rec, 28))) / 2, ry);
        double l = cx - rx, r = cx + rx, t = cy - ry, b = cy + ry;
        if (!(ex > 0 && ey > 0)) {
            cairo_rectangle(cr, l, t, r - l, b - t);
            return;
        }
        cairo_new_sub_path(cr);
        cairo_save(cr);
        const double corners[4][3] = {{r - ex, t + ey, -M_PI / 2}, {r - ex, b - ey, 0},
                                      {l + ex, b - ey, M_PI / 2}, {l + ex, t + ey, M_PI}};
        for (const auto &c : corners) {
            cairo_save(cr);
            cairo_translate(cr, c[0], c[1]);
            cairo_scale(cr, ex, ey);
            cairo_arc(cr, 0, 0, 1, c[2], c[2] + M_PI / 2);
            cairo_restore(cr);
        }
        cairo_restore(cr);
        cairo_close_path(cr);
        return;
    }
    /* Arc, chord, pie: from the ray through the start point to the ray through the end point. */
    double sx, sy, ex, ey;
    shapes_point(p, EmfI32(rec, 24), EmfI32(rec, 28), &sx, &sy);
    shapes_point(p, EmfI32(rec, 32), EmfI32(rec, 36), &ex, &ey);
    double a0 = atan2((sy - cy) / ry, (sx - cx) / rx), a1 = atan2((ey - cy) / ry, (ex - cx) / rx);
    bool full = sx == ex && sy == ey;
    if (rec->iType != EMR_ARC || !cairo_has_current_point(cr))
        cairo_new_sub_path(cr);
    shapes_elliptic_arc(cr, cx, cy, rx, ry, a0, a1, full);
    if (rec->iType == EMR_PIE)
        cairo_line_to(cr, cx, cy);
    if (rec->iType != EMR_ARC)
        cairo_close_path(cr);
}

/* Adds the record's figures to cr; says whether the shape is one GDI fills. */
static ShapeFill shapes_build(Player *p, cairo_t *cr, const EmfRecord *rec)
{
    uint32_t t = rec->iType;
    bool small = t >= EMR_POLYBEZIER16 && t <= EMR_POLYPOLYGON16;
    switch (t) {
    case EMR_MOVETOEX:
        p->state.curX = EmfI32(rec, 8);
        p->state.curY = EmfI32(rec, 12);
        shapes_move(p, cr, p->state.curX, p->state.curY);
        return SHAPE_OPEN;
    case EMR_LINETO:
        if (!cairo_has_current_point(cr))
            shapes_move(p, cr, p->state.curX, p->state.curY);
        p->state.curX = EmfI32(rec, 8);
        p->state.curY = EmfI32(rec, 12);
        shapes_line(p, cr, p->state.curX, p->state.curY);
        return SHAPE_OPEN;
    case EMR_POLYGON: case EMR_POLYGON16: case EMR_POLYLINE: case EMR_POLYLINE16:
    case EMR_POLYBEZIER: case EMR_POLYBEZIER16: case EMR_POLYLINETO: case EMR_POLYLINETO16:
    case EMR_POLYBEZIERTO: case EMR_POLYBEZIERTO16: {
        bool bezier = t == EMR_POLYBEZIER || t == EMR_POLYBEZIER16 || t == EMR_POLYBEZIERTO ||
                      t == EMR_POLYBEZIERTO16;
        bool to = t == EMR_POLYLINETO || t == EMR_POLYLINETO16 || t == EMR_POLYBEZIERTO ||
                  t == EMR_POLYBEZIERTO16;
        double curX = p->state.curX, curY = p->state.curY;
        shapes_figure(p, cr, rec, sizeof(EMRPOLYLINE), small, 0, EmfU32(rec, 24), bezier, to);
        if (!to) { /* Polyline and Polygon leave the current position alone */
            p->state.curX = curX;
            p->state.curY = curY;
        }
        if (t != EMR_POLYGON && t != EMR_POLYGON16)
            return SHAPE_OPEN;
        cairo_close_path(cr);
        return SHAPE_FILLED;
    }
    case EMR_POLYPOLYLINE: case EMR_POLYPOLYLINE16: case EMR_POLYPOLYGON:
    case EMR_POLYPOLYGON16: {
        uint32_t nPolys = EmfU32(rec, 24), first = 0;
        uint32_t base = sizeof(EMRPOLYPOLYLINE16) + 4 * nPolys;
        bool closed = t == EMR_POLYPOLYGON || t == EMR_POLYPOLYGON16;
        double curX = p->state.curX, curY = p->state.curY;
        /* GDI refuses a poly-polygon with a polygon of fewer than two points: nothing is drawn. */
        for (uint32_t i = 0; closed && i < nPolys; i++)
            if (EmfU32(rec, sizeof(EMRPOLYPOLYLINE16) + 4 * i) < 2)
                return SHAPE_OPEN;
        for (uint32_t i = 0; i < nPolys; i++) {
            uint32_t n = EmfU32(rec, sizeof(EMRPOLYPOLYLINE16) + 4 * i);
            shapes_figure(p, cr, rec, base, small, first, n, false, false);
            if (closed && n > 0)
                cairo_close_path(cr);
            first += n;
        }
        p->state.curX = curX;
        p->state.curY = curY;
        return closed ? SHAPE_FILLED : SHAPE_OPEN;
    }
    default: /* the box records */
        shapes_box(p, cr, rec);
        return t == EMR_ARC ? SHAPE_OPEN : SHAPE_FILLED;
    }
}

/* ---- pens one pixel wide: stepped as GDI steps lines ---- */

/* The pen's width in page pixels as GDI takes it, whole pixels rounded down; 0 for the null pen. */
static int32_t shapes_pen_pixels(const Player *p, const PlayerPen *pen)
{
    if ((pen->style & PS_STYLE_MASK) == PS_NULL)
        return 0;
    if (!pen->geometric)
        return 1;
    double width = floor(player_map_length(p, pen->width));
    return width < 1 ? 1 : width > 65536 ? 65536 : (int32_t)width;
}

/* A user style's entries, each scaled by unit; 0 when they add up to nothing (a solid line). */
static uint32_t shapes_user_dashes(const PlayerPen *pen, double unit, uint32_t *dashes)
{
    uint64_t total = 0;
    for (uint32_t i = 0; i < pen->numEntries; i++) {
        double length = floor(pen->entries[i] * unit + 0.5);
        dashes[i] = length > SHAPES_LONGEST_DASH ? (uint32_t)SHAPES_LONGEST_DASH : (uint32_t)length;
        total += dashes[i];
    }
    return total > 0 ? pen->numEntries : 0;
}

/* The dash pattern, in pixels, of a pen stepped one pixel wide; 0 for a solid line. A geometric
 * pen takes the stock styles in units of its width, here one pixel, and its user style as it is;
 * a cosmetic pen takes the display's own stock lengths, and its user style in style units of
 * three pixels. */
static uint32_t shapes_stepped_dashes(const PlayerPen *pen, uint32_t *dashes)
{
    uint32_t style = pen->style & PS_STYLE_MASK;
    bool geometric = (pen->style & PS_GEOMETRIC) != 0;
    if (style >= PS_DASH && style <= PS_DASHDOTDOT) {
        const uint32_t *table = geometric ? kGeometricDashes[style - 1] : kCosmeticDashes[style - 1];
        memcpy(dashes, table, sizeof(uint32_t) * kDashCounts[style - 1]);
        return kDashCounts[style - 1];
    }
    if (style == PS_ALTERNATE) {
        dashes[0] = dashes[1] = 1;
        return 2;
    }
    if (style == PS_USERSTYLE)
        return shapes_user_dashes(pen, geometric ? 1 : 3, dashes);
    return 0;
}

/* The dash pattern, in pixels, of a geometric pen of width pixels (at least 2): the stock styles
 * in pen widths, each dash a width shorter and each gap a width longer when the ends are not
 * flat, as the caps reach into the gaps; the user style in logical units. A pen made without
 * PS_GEOMETRIC is drawn solid at any width above a pixel. */
static uint32_t shapes_wide_dashes(const Player *p, const PlayerPen *pen, int32_t width,
                                   uint32_t *dashes)
{
    uint32_t style = pen->style & PS_STYLE_MASK;
    if (!(pen->style & PS_GEOMETRIC))
        return 0;
    if (style == PS_USERSTYLE)
        return shapes_user_dashes(pen, player_map_length(p, 1), dashes);
    if (style < PS_DASH || style > PS_DASHDOTDOT)
        return 0;
    uint32_t n = kDashCounts[style - 1];
    bool shorter = (pen->style & PS_ENDCAP_MASK) != PS_ENDCAP_FLAT;
    for (uint32_t i = 0; i < n; i++) {
        dashes[i] = kGeometricDashes[style - 1][i] * (uint32_t)width;
        if (shorter)
            dashes[i] += i % 2 ? width : -width;
    }
    return n;
}

/* A stepped stroke in progress: the dash pattern's place carries on from segment to segment of
 * a figure and starts anew with each figure. */
struct CosmeticStroke {
    uint32_t dashes[PLAYER_MAX_STYLE]; /* adding up to more than 0 */
    uint32_t count;   /* 0: solid */
    uint32_t entry, left;
    bool on;          /* the entry is a dash; an odd count of entries swaps dashes and gaps */
    bool gaps;        /* plot the gaps instead of the dashes */
    uint8_t mark;     /* what plotted pixels become in the coverage mask: 0xFF, or 0 */
    int32_t x0, y0, x1, y1; /* box of what was plotted */
};

/* On to the next entry that has a length. */
static void cosmetic_next_entry(CosmeticStroke *s)
{
    do {
        s->entry = (s->entry + 1) % s->count;
        s->on = !s->on;
    } while (s->dashes[s->entry] == 0);
    s->left = s->dashes[s->entry];
}

static void cosmetic_restart(CosmeticStroke *s)
{
    s->entry = 0;
    s->on = true;
    s->left = s->count ? s->dashes[0] : 1;
    if (s->left == 0)
        cosmetic_next_entry(s);
}

static void cosmetic_plot(Player *p, CosmeticStroke *s, int32_t x, int32_t y)
{
    bool on = s->on;
    if (s->count && --s->left == 0)
        cosmetic_next_entry(s);
    if (on == s->gaps || x < 0 || y < 0 || x >= p->width || y >= p->height)
        return;
    device_mark_pixel(p, x, y, s->mark);
    s->x0 = x < s->x0 ? x : s->x0;
    s->y0 = y < s->y0 ? y : s->y0;
    s->x1 = x + 1 > s->x1 ? x + 1 : s->x1;
    s->y1 = y + 1 > s->y1 ? y + 1 : s->y1;
}

/* Clips the segment to the device's page with a margin so that a far-away end costs no steps:
 * the whole page, also where the page drawn is a window of it, so that a window steps the line
 * through the same pixels. */
static bool cosmetic_clip(const Player *p, double *ax, double *ay, double *bx, double *by)
{
    const ScanBox &w = p->whole;
    double lo[2] = {w.x0 - 2.0, w.y0 - 2.0}, hi[2] = {w.x1 + 2.0, w.y1 + 2.0};
    double t0 = 0, t1 = 1, d[2] = {*bx - *ax, *by - *ay}, a[2] = {*ax, *ay};
    for (int k = 0; k < 2; k++) {
        if (d[k] == 0) {
            if (a[k] < lo[k] || a[k] > hi[k])
                return false;
            continue;
        }
        double u = (lo[k] - a[k]) / d[k], v = (hi[k] - a[k]) / d[k];
        t0 = fmax(t0, fmin(u, v));
        t1 = fmin(t1, fmax(u, v));
    }
    if (t0 > t1)
        return false;
    *bx = a[0] + d[0] * t1;
    *by = a[1] + d[1] * t1;
    *ax = a[0] + d[0] * t0;
    *ay = a[1] + d[1] * t0;
    return true;
}

/* Steps from (ax, ay) to (bx, by) along the longer axis, one pixel per step, the end pixel left
 * out as GDI leaves it out. Where the line passes exactly halfway between two pixels, GDI takes
 * the step across when the line runs upwards (along x) or leftwards (along y). */
static void cosmetic_segment(Player *p, CosmeticStroke *s, double ax, double ay, double bx, double by)
{
    const ScanBox &w = p->whole;
    double far = 4.0 * ((double)w.x1 - w.x0 + w.y1 - w.y0);
    if ((fabs(ax - w.x0) > far || fabs(ay - w.y0) > far || fabs(bx - w.x0) > far ||
         fabs(by - w.y0) > far) &&
        !cosmetic_clip(p, &ax, &ay, &bx, &by))
        return;
    int64_t x0 = (int64_t)floor(ax + SHAPES_SHIFT), y0 = (int64_t)floor(ay + SHAPES_SHIFT);
    int64_t x1 = (int64_t)floor(bx + SHAPES_SHIFT), y1 = (int64_t)floor(by + SHAPES_SHIFT);
    int64_t dx = x1 - x0, dy = y1 - y0;
    int64_t steps = dx < 0 ? -dx : dx, minor = dy < 0 ? -dy : dy;
    bool xMajor = steps >= minor;
    if (!xMajor) {
        int64_t t = steps;
        steps = minor;
        minor = t;
    }
    int64_t sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    int64_t err = 2 * minor - steps, x = x0, y = y0;
    for (int64_t i = 0; i < steps; i++) {
        cosmetic_plot(p, s, (int32_t)x, (int32_t)y);
        if (err > 0 || (err == 0 && (xMajor ? sy : sx) < 0)) {
            if (xMajor)
                y += sy;
            else
                x += sx;
            err -= 2 * steps;
        }
        if (xMajor)
            x += sx;
        else
            y += sy;
        err += 2 * minor;
    }
}

/* Steps every segment of cr's path, flattened, plotting dashes or gaps into the mask. */
static void cosmetic_walk(Player *p, cairo_t *cr, CosmeticStroke *s)
{
    s->x0 = s->y0 = INT32_MAX;
    s->x1 = s->y1 = INT32_MIN;
    if (p->coverSurface) /* the raster page's mask is written directly */
        cairo_surface_flush(p->coverSurface);
    cairo_path_t *path = cairo_copy_path_flat(cr);
    double startX = 0, startY = 0, x = 0, y = 0;
    for (int i = 0; i < path->num_data; i += path->data[i].header.length) {
        const cairo_path_data_t *d = &path->data[i];
        switch (d->header.type) {
        case CAIRO_PATH_MOVE_TO:
            startX = x = d[1].point.x;
            startY = y = d[1].point.y;
            cosmetic_restart(s);
            break;
        case CAIRO_PATH_LINE_TO:
            cosmetic_segment(p, s, x, y, d[1].point.x, d[1].point.y);
            x = d[1].point.x;
            y = d[1].point.y;
            break;
        case CAIRO_PATH_CLOSE_PATH:
            cosmetic_segment(p, s, x, y, startX, startY);
            x = startX;
            y = startY;
            break;
        default:
            break;
        }
    }
    cairo_path_destroy(path);
    if (p->coverSurface)
        cairo_surface_mark_dirty(p->coverSurface);
}

/* Steps the pen along cr's path (kept); with erase, takes its dashes out of the coverage mask
 * instead of drawing them. */
static void shapes_stroke_stepped(Player *p, cairo_t *cr, const PlayerPen *pen, bool erase)
{
    CosmeticStroke s;
    memset(&s, 0, sizeof s);
    s.count = shapes_stepped_dashes(pen, s.dashes);
    s.mark = erase ? 0 : 0xFF;
    cosmetic_walk(p, cr, &s);
    if (erase)
        return;
    device_compose(p, &pen->brush, p->state.rop2, ScanBox{s.x0, s.y0, s.x1, s.y1});
    if (s.count == 0 || p->state.bkMode != OPAQUE || pen->extended)
        return;
    /* The gaps of a styled line of CreatePen take the background colour in OPAQUE mode. */
    PlayerBrush gap;
    memset(&gap, 0, sizeof gap);
    gap.color = p->state.bkColor;
    s.gaps = true;
    cosmetic_walk(p, cr, &s);
    device_compose(p, &gap, p->state.rop2, ScanBox{s.x0, s.y0, s.x1, s.y1});
}

/* ---- pens wider than a pixel ---- */

/* Strokes path (kept) with a pen of width pixels, its dashes or none, in brush; with brush NULL,
 * takes the pen's pixels out of the coverage mask instead. */
static void shapes_stroke_wide(Player *p, cairo_t *cr, const PlayerPen *pen, int32_t width,
                               bool dashed, const PlayerBrush *brush)
{
    WidePen wide = {width, pen->style & PS_ENDCAP_MASK, pen->style & PS_JOIN_MASK,
                    SHAPES_MITER_LIMIT, 0, {0}, (uint8_t)(brush != NULL ? 0xFF : 0)};
    if (dashed)
        wide.dashCount = shapes_wide_dashes(p, pen, width, wide.dashes);
    device_stroke_wide(p, cr, &wide, brush);
}

/* Outlines cr's current path with the pen and keeps the path: one pixel wide, it is stepped
 * pixel by pixel; wider, drawn as GDI draws wide pens. */
static void shapes_stroke(Player *p, cairo_t *cr, const PlayerPen *pen)
{
    int32_t width = shapes_pen_pixels(p, pen);
    if (width == 1)
        shapes_stroke_stepped(p, cr, pen, false);
    else if (width > 1)
        shapes_stroke_wide(p, cr, pen, width, true, &pen->brush);
}

/* The interior of a shape, marked in the coverage mask within box, composed with the brush; then
 * the outline along cr's path. GDI draws the outline of a geometric pen, or of any pen wider than
 * a pixel, as a region it leaves out of the interior, so that with any raster operation the two
 * meet without overlapping; a thin cosmetic pen draws over the interior. */
static void shapes_fill_and_stroke(Player *p, cairo_t *cr, const ScanBox *box)
{
    const PlayerPen *pen = &p->state.pen;
    int32_t width = shapes_pen_pixels(p, pen);
    if (width > 1)
        shapes_stroke_wide(p, cr, pen, width, true, NULL);
    else if (width == 1 && (pen->style & PS_GEOMETRIC))
        shapes_stroke_stepped(p, cr, pen, true);
    device_compose(p, &p->state.brush, p->state.rop2, *box);
    shapes_stroke(p, cr, pen);
}

static void shapes_fill(Player *p, bool polygonRule, ScanBox *box)
{
    device_mark_path(p, p->cover, polygonRule && p->state.polyFillMode == ALTERNATE, box);
}

/* GDI fills a rectangle's box less its right column and bottom row. A pen one pixel wide that
 * draws over the interior (a cosmetic one) is kept off it: the box starts a pixel further in.
 * The rectangle's outline is built on p->cover afterwards. */
static void shapes_mark_rect(Player *p, const EmfRecord *rec, ScanBox *box)
{
    const PlayerPen *pen = &p->state.pen;
    double inner = shapes_pen_pixels(p, pen) == 1 && !(pen->style & PS_GEOMETRIC) ? 1 : 0;
    double x0, y0, x1, y1;
    shapes_point(p, EmfI32(rec, 8), EmfI32(rec, 12), &x0, &y0);
    shapes_point(p, EmfI32(rec, 16), EmfI32(rec, 20), &x1, &y1);
    double width = fabs(x1 - x0) - inner, height = fabs(y1 - y0) - inner;
    cairo_new_path(p->cover);
    if (width > 0 && height > 0) {
        cairo_rectangle(p->cover, fmin(x0, x1) + inner, fmin(y0, y1) + inner, width, height);
        shapes_fill(p, false, box);
        cairo_new_path(p->cover);
    }
    shapes_rect_outline(p, p->cover, rec);
}

/* ---- ellipses, rounded rectangles and arcs as GDI draws them on a device ---- */

/* Boxes wider or taller than this many pixels are drawn from curves: their points would cost
 * too much. So are boxes whose width and height add up, times their pen's width, to more than
 * SHAPES_MOST_PEN_WORK: each of the thousands of points would mark a pen that wide anew. */
static const int32_t SHAPES_MOST_POINTS = 1 << 18;
static const int64_t SHAPES_MOST_PEN_WORK = (int64_t)1 << 24;

/* v to the nearest whole pixel; a box's corner one past a record's last coordinate (2^31) is held
 * at the 32-bit limit. */
static int32_t shapes_round(double v)
{
    return (int32_t)fmin(fmax(floor(v + 0.5), INT32_MIN), INT32_MAX);
}

/* The record's box on whole page pixels, [x0, x1) x [y0, y1), its inclusive right and bottom
 * one on, inside the pen's width for PS_INSIDEFRAME; false when it has no area. */
static bool shapes_device_box(Player *p, const EmfRecord *rec, ScanBox *box)
{
    double x0, y0, x1, y1;
    shapes_point(p, EmfI32(rec, 8), EmfI32(rec, 12), &x0, &y0);
    shapes_point(p, EmfI32(rec, 16) + 1.0, EmfI32(rec, 20) + 1.0, &x1, &y1);
    box->x0 = shapes_round(fmin(x0, x1));
    box->y0 = shapes_round(fmin(y0, y1));
    box->x1 = shapes_round(fmax(x0, x1));
    box->y1 = shapes_round(fmax(y0, y1));
    if ((p->state.pen.style & PS_STYLE_MASK) == PS_INSIDEFRAME) {
        int32_t w = shapes_pen_pixels(p, &p->state.pen);
        box->x0 += w / 2;
        box->y0 += w / 2;
        box->x1 -= (w - 1) / 2;
        box->y1 -= (w - 1) / 2;
    }
    return box->x0 != box->x1 && box->y0 != box->y1;
}

static void shapes_points_path(cairo_t *cr, const std::vector<ScanPoint> &pts, bool closed)
{
    cairo_new_path(cr);
    for (size_t i = 0; i < pts.size(); i++)
        (i == 0 ? cairo_move_to : cairo_line_to)(cr, pts[i].x, pts[i].y);
    if (closed && !pts.empty())
        cairo_close_path(cr);
}

/* An ellipse, rounded rectangle, arc, chord or pie: filled and outlined through GDI's own
 * points; false, with nothing drawn, where the box is too large for them. */
static bool shapes_play_round(Player *p, const EmfRecord *rec)
{
    ScanBox r;
    if (!shapes_device_box(p, rec, &r))
        return true;
    int64_t width = (int64_t)r.x1 - r.x0, height = (int64_t)r.y1 - r.y0;
    if (width > SHAPES_MOST_POINTS || height > SHAPES_MOST_POINTS ||
        (width + height) * shapes_pen_pixels(p, &p->state.pen) > SHAPES_MOST_PEN_WORK)
        return false;
    uint32_t t = rec->iType;
    bool filled = t != EMR_ARC && p->state.brush.style != BS_NULL;
    ScanBox box = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    std::vector<ScanPoint> pts;
    if (t == EMR_ELLIPSE || t == EMR_ROUNDRECT) {
        int32_t ew = r.x1 - r.x0, eh = r.y1 - r.y0;
        if (t == EMR_ROUNDRECT) {
            ew = std::min(ew, shapes_round(fabs(player_map_length(p, EmfI32(rec, 24)))));
            eh = std::min(eh, shapes_round(fabs(player_map_length(p, EmfI32(rec, 28)))));
        }
        if (ew <= 2 || eh <= 2) { /* corners too small to round: a rectangle */
            if (filled)
                shapes_mark_rect(p, rec, &box);
            else
                shapes_rect_outline(p, p->cover, rec);
        } else {
            if (filled) {
                if (p->coverSurface) /* the raster page's mask is written directly */
                    cairo_surface_flush(p->coverSurface);
                scan_round_rect_region(p, &r, ew, eh, &box);
                if (p->coverSurface)
                    cairo_surface_mark_dirty(p->coverSurface);
            }
            scan_round_rect_points(&r, ew, eh, &pts);
            shapes_points_path(p->cover, pts, true);
        }
    } else {
        double x, y;
        shapes_point(p, EmfI32(rec, 24), EmfI32(rec, 28), &x, &y);
        ScanPoint start = {shapes_round(x), shapes_round(y)};
        shapes_point(p, EmfI32(rec, 32), EmfI32(rec, 36), &x, &y);
        ScanPoint end = {shapes_round(x), shapes_round(y)};
        scan_arc_points(&r, start, end, &pts);
        if (t == EMR_PIE)
            pts.push_back({r.x0 + (r.x1 - r.x0) / 2, r.y0 + (r.y1 - r.y0) / 2});
        if (pts.size() < 2)
            return true;
        shapes_points_path(p->cover, pts, t != EMR_ARC);
        if (filled)
            shapes_fill(p, false, &box);
    }
    if (filled)
        shapes_fill_and_stroke(p, p->cover, &box);
    else
        shapes_stroke(p, p->cover, &p->state.pen);
    return true;
}

static bool shapes_polygon_rule(uint32_t iType)
{
    return iType == EMR_POLYGON || iType == EMR_POLYGON16 || iType == EMR_POLYPOLYGON ||
           iType == EMR_POLYPOLYGON16;
}

void shapes_play(Player *p, const EmfRecord *rec)
{
    if (p->inPath) {
        shapes_build(p, p->path, rec);
        return;
    }
    cairo_t *cr = p->cover;
    cairo_new_path(cr);
    uint32_t t = rec->iType;
    if ((t == EMR_ELLIPSE || t == EMR_ROUNDRECT || t == EMR_ARC || t == EMR_CHORD || t == EMR_PIE) &&
        shapes_play_round(p, rec)) {
        cairo_new_path(cr);
        return;
    }
    if (rec->iType == EMR_LINETO)
        shapes_move(p, cr, p->state.curX, p->state.curY);
    ShapeFill fill = shapes_build(p, cr, rec);
    if (fill == SHAPE_FILLED && p->state.brush.style != BS_NULL) {
        ScanBox box = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
        if (rec->iType == EMR_RECTANGLE)
            shapes_mark_rect(p, rec, &box);
        else
            shapes_fill(p, shapes_polygon_rule(rec->iType), &box);
        shapes_fill_and_stroke(p, cr, &box);
    } else if (rec->iType != EMR_MOVETOEX) {
        shapes_stroke(p, cr, &p->state.pen);
    }
    cairo_new_path(cr);
}

/* ---- the path bracket ---- */

/* Moves the bracket's path into the coverage context. */
static bool shapes_take_path(Player *p)
{
    if (p->inPath || !p->pathDone) {
        player_warn(p, "no closed path");
        return false;
    }
    cairo_path_t *path = cairo_copy_path(p->path);
    cairo_new_path(p->cover);
    cairo_append_path(p->cover, path);
    cairo_path_destroy(path);
    cairo_new_path(p->path);
    p->pathDone = false;
    return true;
}

void shapes_path_record(Player *p, const EmfRecord *rec)
{
    switch (rec->iType) {
    case EMR_BEGINPATH:
        cairo_new_path(p->path);
        p->inPath = true;
        p->pathDone = false;
        p->widened = false;
        break;
    case EMR_ENDPATH:
        p->pathDone = p->inPath;
        p->inPath = false;
        break;
    case EMR_ABORTPATH:
        cairo_new_path(p->path);
        p->inPath = p->pathDone = p->widened = false;
        break;
    case EMR_CLOSEFIGURE:
        if (p->inPath)
            cairo_close_path(p->path);
        break;
    case EMR_WIDENPATH:
        /* GDI widens with a pen that has a width; with a cosmetic one the path stays as it
         * is. The outline is kept as the pen that will stroke it, without its dashes. */
        if (!p->pathDone)
            player_warn(p, "no closed path");
        else if (p->state.pen.geometric && (p->state.pen.style & PS_STYLE_MASK) != PS_NULL) {
            p->widened = true;
            p->widenPen = p->state.pen;
        }
        break;
    case EMR_FILLPATH:
    case EMR_STROKEANDFILLPATH:
    case EMR_STROKEPATH: {
        bool widened = p->widened;
        p->widened = false;
        if (!shapes_take_path(p))
            break;
        bool fill = rec->iType != EMR_STROKEPATH && p->state.brush.style != BS_NULL;
        bool stroke = rec->iType != EMR_FILLPATH;
        if (widened && stroke)
            player_warn(p, "the outline of a widened path drawn as its stroke");
        if (fill && widened) { /* the widened outline, filled: the pen's stroke in the brush */
            int32_t width = shapes_pen_pixels(p, &p->widenPen);
            shapes_stroke_wide(p, p->cover, &p->widenPen, width, false, &p->state.brush);
        } else if (fill) {
            ScanBox box = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
            shapes_fill(p, true, &box);
            if (!stroke) {
                device_compose(p, &p->state.brush, p->state.rop2, box);
            } else {
                shapes_fill_and_stroke(p, p->cover, &box);
                stroke = false;
            }
        }
        if (stroke)
            shapes_stroke(p, p->cover, &p->state.pen);
        cairo_new_path(p->cover);
        break;
    }
    }
}
