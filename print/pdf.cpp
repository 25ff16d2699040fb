/* The PDF page: the walk's drawing operations as vectors, images and text on a cairo PDF surface
 * whose user space is the recording device's pixels (72/dpi points each, y down), so that every
 * coordinate lands on the grid the raster page uses.
 *
 * A renderer fills a PDF shape's pixels wherever the shape touches them (the PostScript rule,
 * pdftoppm's without antialiasing), where GDI fills those whose top-left corner lies inside it.
 * Each shape is therefore given to the PDF moved by what that rule adds: every edge along x (a
 * level one along y) so that the first pixel it touches in a row is the first GDI fills (see
 * pdf_shrink). Upright rectangles, which renderers also snap to pixel centres, are set on GDI's
 * pixel boundaries a sixteenth inside them, where both rules take the same pixels. Wide pens
 * are GDI's own pieces of them (segments, joins, dots), each a shape of whole points, so that
 * their pixels are GDI's too. Images are placed on whole device pixels a sixteenth inside them,
 * unsmoothed, each image pixel on a whole number of device pixels; pictures of few colours go as
 * 1-bit masks. A patterned brush is its shape as a clip over a picture of the pattern (a 1-bit
 * mask of a hatch's lines), which lands on the pixels where a PDF tiling pattern would be
 * resampled by the renderer. */
#include "player_private.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include <cairo-pdf.h>

enum : uint32_t { ROP3_DSTCOPY = 0xAA };

static const double PDF_INSET = 1.0 / 16; /* inside whole pixels, past cairo's rounding */
static const double PDF_LONGEST_MITER = 3.0; /* pixels a shrunk corner may move */
enum {
    PDF_FAR = 1 << 22,       /* pixels: coordinates cairo holds with room to spare */
    PDF_ROWS_OF_ROUND = 32,  /* rounded regions this tall go row by row, exactly */
    PDF_PIECES_OF_PEN = 32,  /* paths of this many points go as GDI's pieces of a wide pen */
    PDF_SHORT_STEP = 3,      /* pixels: as do those whose steps are longer on average */
    PDF_MASKED_COLOURS = 4,  /* pictures of at most this many colours go as 1-bit masks */
};

struct PdfPage {
    cairo_t *cr;           /* its current path holds what was marked for the next compose */
    bool evenOdd;          /* the marks' fill rule */
    uint32_t images;       /* images and masks placed */
    double fine;           /* pixels: what shapes move by to land inside a pixel, beyond the
                            * rounding of coordinates to 1/1000 pt */
    cairo_t *scratch;      /* where paths are flattened, apart from the walk's own */
    std::vector<ScanBox> rects; /* rectangles marked since the last compose */
};

/* ---- what is drawn ---- */

/* True while the record is drawn as vectors; a record the raster page's patch shows is not. */
static bool pdf_draws(const Player *p)
{
    return p->modes == NULL || p->modes[p->index] < RECORD_FALLBACK;
}

/* The colour an operation leaves where it meets color: on paper still blank when the first pass
 * proved it, otherwise the operation does not read the page. */
static uint32_t pdf_colour(const Player *p, uint32_t rop3, uint32_t color)
{
    bool onWhite = p->modes && p->modes[p->index] == RECORD_ON_WHITE;
    return compose_rop3(rop3, color, color, onWhite ? 0xFFFFFF : 0);
}

static void pdf_set_colour(cairo_t *cr, uint32_t color)
{
    cairo_set_source_rgb(cr, (color >> 16 & 0xFF) / 255.0, (color >> 8 & 0xFF) / 255.0,
                         (color & 0xFF) / 255.0);
}

/* ---- shapes as the PDF's fill rule takes them ---- */

struct PdfFigure {
    std::vector<cairo_path_data_type_t> ops; /* MOVE_TO, LINE_TO, CURVE_TO per point run */
    std::vector<double> pts;                 /* x, y of every point, control points too */
};

static std::vector<PdfFigure> pdf_figures(const cairo_path_t *path)
{
    std::vector<PdfFigure> figures;
    for (int i = 0; i < path->num_data; i += path->data[i].header.length) {
        const cairo_path_data_t *d = &path->data[i];
        cairo_path_data_type_t type = d->header.type;
        if (type == CAIRO_PATH_CLOSE_PATH)
            continue;
        if (type == CAIRO_PATH_MOVE_TO || figures.empty())
            figures.emplace_back();
        PdfFigure &f = figures.back();
        f.ops.push_back(type == CAIRO_PATH_MOVE_TO && f.ops.size() > 0 ? CAIRO_PATH_LINE_TO : type);
        for (int k = 1; k < d->header.length; k++)
            f.pts.insert(f.pts.end(), {d[k].point.x, d[k].point.y});
    }
    /* A figure of one point (cairo starts one after every close) encloses nothing. */
    figures.erase(std::remove_if(figures.begin(), figures.end(),
                                 [](const PdfFigure &f) { return f.pts.size() < 4; }),
                  figures.end());
    return figures;
}

/* The winding number (or crossing parity) of the flat path at (x, y). */
static bool pdf_inside(const cairo_path_t *flat, bool alternate, double x, double y)
{
    int winding = 0;
    double sx = 0, sy = 0, ax = 0, ay = 0;
    auto edge = [&](double bx, double by) {
        if ((ay <= y) != (by <= y) && ax + (y - ay) * (bx - ax) / (by - ay) > x)
            winding += by > ay ? 1 : -1;
        ax = bx, ay = by;
    };
    for (int i = 0; i < flat->num_data; i += flat->data[i].header.length) {
        const cairo_path_data_t *d = &flat->data[i];
        if (d->header.type == CAIRO_PATH_MOVE_TO) {
            edge(sx, sy);
            sx = ax = d[1].point.x;
            sy = ay = d[1].point.y;
        } else if (d->header.type == CAIRO_PATH_LINE_TO) {
            edge(d[1].point.x, d[1].point.y);
        }
    }
    edge(sx, sy);
    return alternate ? (winding & 1) != 0 : winding != 0;
}

/* Which side of the figure's points the fill lies on: +1 left of their direction, -1 right,
 * 0 neither or both (the figure bounds nothing, or lies inside the rest). */
static int pdf_filled_side(const PdfFigure &f, const cairo_path_t *flat, bool alternate)
{
    size_t n = f.pts.size() / 2, longest = 0;
    double best = 0;
    for (size_t i = 0; i < n; i++) {
        size_t j = (i + 1) % n;
        double len = hypot(f.pts[2 * j] - f.pts[2 * i], f.pts[2 * j + 1] - f.pts[2 * i + 1]);
        if (len > best)
            best = len, longest = i;
    }
    if (best == 0)
        return 0;
    size_t j = (longest + 1) % n;
    double dx = (f.pts[2 * j] - f.pts[2 * longest]) / best;
    double dy = (f.pts[2 * j + 1] - f.pts[2 * longest + 1]) / best;
    double mx = (f.pts[2 * j] + f.pts[2 * longest]) / 2, my = (f.pts[2 * j + 1] + f.pts[2 * longest + 1]) / 2;
    const double probe = 1.0 / 64;
    bool left = pdf_inside(flat, alternate, mx + dy * probe, my - dx * probe);
    bool right = pdf_inside(flat, alternate, mx - dy * probe, my + dx * probe);
    return left == right ? 0 : left ? 1 : -1;
}

/* The figure's points moved so that the pixels a renderer's rule takes of it are those GDI fills
 * (side: where its inside lies, +1 left of its direction, -1 right, 0 unknown). GDI fills a row
 * from the first pixel whose corner lies on or right of the left edge where the row's top crosses
 * it, up to the last whose corner lies left of the right edge; a renderer takes every pixel a
 * shape touches anywhere in the row's height. Each leg therefore moves along x (a level one
 * along y) by what makes the first touched pixel GDI's first: a left edge a pixel right less
 * fine (and more by its slope where it leans left going down, as the row's bottom is then its
 * leftmost), a right edge fine left (and by its slope where it leans right). Corners are where
 * the moved legs meet, no farther than PDF_LONGEST_MITER (else where the leg before moved it). */
static std::vector<double> pdf_shrink(const PdfFigure &f, int side, double fine)
{
    size_t n = f.pts.size() / 2;
    std::vector<double> out(f.pts);
    if (side == 0)
        return out;
    /* Each leg's move; legs of no length take their neighbours'. */
    std::vector<double> mx(n, 0), my(n, 0);
    std::vector<bool> has(n, false);
    for (size_t i = 0; i < n; i++) {
        size_t j = (i + 1) % n;
        double dx = f.pts[2 * j] - f.pts[2 * i], dy = f.pts[2 * j + 1] - f.pts[2 * i + 1];
        if (dx == 0 && dy == 0)
            continue;
        has[i] = true;
        if (dy == 0) {
            bool top = -dx * side > 0; /* the inside lies below */
            my[i] = top ? 1 - fine : -fine;
            continue;
        }
        double slope = dx / dy; /* x per row down */
        bool left = dy * side > 0; /* the inside lies to the right */
        mx[i] = left ? 1 - fine + (slope < 0 ? -slope : 0) : -fine - (slope > 0 ? slope : 0);
    }
    for (size_t i = 0; i < n; i++) {
        /* The legs before and after point i that have a direction. */
        size_t before = (i + n - 1) % n, after = i;
        for (size_t k = 0; k < n && !has[before]; k++)
            before = (before + n - 1) % n;
        for (size_t k = 0; k < n && !has[after]; k++)
            after = (after + 1) % n;
        if (!has[before] || !has[after])
            continue;
        double px = f.pts[2 * i], py = f.pts[2 * i + 1];
        /* The moved lines through the point: (px + mx, py + my) + t * direction. */
        auto direction = [&](size_t leg, double *dx, double *dy) {
            size_t j = (leg + 1) % n;
            *dx = f.pts[2 * j] - f.pts[2 * leg];
            *dy = f.pts[2 * j + 1] - f.pts[2 * leg + 1];
        };
        double ax, ay, bx, by;
        direction(before, &ax, &ay);
        direction(after, &bx, &by);
        double ox = mx[after] - mx[before], oy = my[after] - my[before];
        double det = ax * by - ay * bx;
        double x = px + mx[before], y = py + my[before];
        if (fabs(det) > 1e-12 * hypot(ax, ay) * hypot(bx, by)) {
            double t = (ox * by - oy * bx) / det;
            double cx = px + mx[before] + t * ax, cy = py + my[before] + t * ay;
            if (hypot(cx - px, cy - py) <= PDF_LONGEST_MITER)
                x = cx, y = cy;
        }
        out[2 * i] = x;
        out[2 * i + 1] = y;
    }
    return out;
}

/* True, with its box, when the path is one upright rectangle. */
static bool pdf_upright_rectangle(const std::vector<PdfFigure> &figures, double box[4])
{
    if (figures.size() != 1)
        return false;
    const PdfFigure &f = figures[0];
    std::vector<double> pts(f.pts);
    size_t n = pts.size() / 2;
    if (n == 5 && pts[0] == pts[8] && pts[1] == pts[9])
        n = 4;
    for (cairo_path_data_type_t op : f.ops)
        if (op == CAIRO_PATH_CURVE_TO)
            return false;
    if (n != 4)
        return false;
    for (size_t i = 0; i < 4; i++) {
        size_t j = (i + 1) % 4;
        if (pts[2 * i] != pts[2 * j] && pts[2 * i + 1] != pts[2 * j + 1])
            return false;
    }
    box[0] = std::min(pts[0], pts[4]), box[1] = std::min(pts[1], pts[5]);
    box[2] = std::max(pts[0], pts[4]), box[3] = std::max(pts[1], pts[5]);
    return box[0] != box[2] && box[1] != box[3] && (pts[0] == pts[2] || pts[1] == pts[3]);
}

/* Appends a rectangle of whole pixels [x0, x1) x [y0, y1), a sixteenth inside them. */
static void pdf_append_rect(cairo_t *cr, double x0, double y0, double x1, double y1)
{
    if (x0 < x1 && y0 < y1)
        cairo_rectangle(cr, x0 + PDF_INSET, y0 + PDF_INSET, x1 - x0 - 2 * PDF_INSET,
                        y1 - y0 - 2 * PDF_INSET);
}

/* Appends the outline of a region of whole pixels, every edge a sixteenth inside them: one
 * shape, so that no seam shows between its rows where a renderer smooths edges. */
static void pdf_append_region(cairo_t *cr, const PlayerRegion &region)
{
    std::vector<std::vector<RegionPoint>> loops;
    region_outline(&region, &loops);
    for (const std::vector<RegionPoint> &loop : loops) {
        size_t n = loop.size();
        for (size_t i = 0; i < n; i++) {
            /* Each edge moves towards its inside, on its right going round. */
            const RegionPoint &a = loop[(i + n - 1) % n], &b = loop[i], &c = loop[(i + 1) % n];
            auto sign = [](int32_t v) { return (double)((v > 0) - (v < 0)); };
            double inX = -sign(b.y - a.y) - sign(c.y - b.y), inY = sign(b.x - a.x) + sign(c.x - b.x);
            (i == 0 ? cairo_move_to : cairo_line_to)(cr, b.x + PDF_INSET * inX, b.y + PDF_INSET * inY);
        }
        cairo_close_path(cr);
    }
}

/* Appends the figure moved by shift and shrunk towards side, by its own kinds of points. */
static void pdf_append_shrunk(PdfPage *pdf, const PdfFigure &f, int side, double shift)
{
    cairo_t *cr = pdf->cr;
    std::vector<double> pts = pdf_shrink(f, side, pdf->fine);
    size_t k = 0;
    for (cairo_path_data_type_t op : f.ops) {
        if (op == CAIRO_PATH_CURVE_TO) {
            cairo_curve_to(cr, pts[k] + shift, pts[k + 1] + shift, pts[k + 2] + shift,
                           pts[k + 3] + shift, pts[k + 4] + shift, pts[k + 5] + shift);
            k += 6;
        } else {
            if (op == CAIRO_PATH_MOVE_TO)
                cairo_move_to(cr, pts[k] + shift, pts[k + 1] + shift);
            else
                cairo_line_to(cr, pts[k] + shift, pts[k + 1] + shift);
            k += 2;
        }
    }
    cairo_close_path(cr);
}

/* Appends the rectangles of whole pixels marked since the last compose, as the outline of their
 * union. */
static void pdf_flush_rects(PdfPage *pdf)
{
    if (pdf->rects.empty())
        return;
    PlayerRegion region = {};
    if (region_union(&region, pdf->rects.data(), (uint32_t)pdf->rects.size()) == 0) {
        pdf_append_region(pdf->cr, region);
    } else {
        for (const ScanBox &r : pdf->rects) /* no memory to join them */
            pdf_append_rect(pdf->cr, r.x0, r.y0, r.x1, r.y1);
    }
    region_free(&region);
    pdf->rects.clear();
}

/* Appends to the marks the path whose touched pixels are those GDI fills of path (page
 * pixels): the pixels whose top-left corner it holds, or with centres 0.5 their centre. */
static void pdf_append_gdi_path(Player *p, const cairo_path_t *path, bool alternate, double centres)
{
    cairo_t *cr = p->pdf->cr;
    std::vector<PdfFigure> figures = pdf_figures(path);
    double box[4];
    p->pdf->evenOdd = alternate;
    if (pdf_upright_rectangle(figures, box)) {
        pdf_append_rect(cr, ceil(box[0] - centres), ceil(box[1] - centres), ceil(box[2] - centres),
                        ceil(box[3] - centres));
        return;
    }
    cairo_t *flatten = p->pdf->scratch;
    cairo_new_path(flatten);
    cairo_append_path(flatten, path);
    cairo_path_t *flat = cairo_copy_path_flat(flatten);
    cairo_new_path(flatten);
    for (const PdfFigure &f : figures)
        pdf_append_shrunk(p->pdf, f, pdf_filled_side(f, flat, alternate), -centres);
    cairo_path_destroy(flat);
}

/* ---- images on whole device pixels ---- */

/* Paints surface on the device pixels of box, each of its pixels on a whole number of them, or
 * masks the source with it when mask is set. */
static void pdf_place(PdfPage *pdf, cairo_surface_t *surface, const ScanBox &box, bool mask)
{
    cairo_t *cr = pdf->cr;
    pdf->images++;
    double w = cairo_image_surface_get_width(surface), h = cairo_image_surface_get_height(surface);
    cairo_save(cr);
    cairo_translate(cr, box.x0 + PDF_INSET, box.y0 + PDF_INSET);
    cairo_scale(cr, (box.x1 - box.x0 - 2 * PDF_INSET) / w, (box.y1 - box.y0 - 2 * PDF_INSET) / h);
    cairo_pattern_t *pattern = cairo_pattern_create_for_surface(surface);
    cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
    if (mask) {
        cairo_mask(cr, pattern);
    } else {
        cairo_set_source(cr, pattern);
        cairo_paint(cr);
    }
    cairo_pattern_destroy(pattern);
    cairo_restore(cr);
}

/* A 1-bit mask of the pixels of image that are color. */
static cairo_surface_t *pdf_colour_mask(cairo_surface_t *image, uint32_t color)
{
    int32_t w = cairo_image_surface_get_width(image), h = cairo_image_surface_get_height(image);
    cairo_surface_t *mask = cairo_image_surface_create(CAIRO_FORMAT_A1, w, h);
    if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS)
        return mask;
    cairo_surface_flush(mask);
    uint8_t *bits = cairo_image_surface_get_data(mask);
    const uint8_t *data = cairo_image_surface_get_data(image);
    int stride = cairo_image_surface_get_stride(mask), from = cairo_image_surface_get_stride(image);
    for (int32_t y = 0; y < h; y++) {
        uint32_t *row = (uint32_t *)(bits + (size_t)y * stride);
        const uint32_t *pixels = (const uint32_t *)(data + (size_t)y * from);
        for (int32_t x = 0; x < w; x++)
            if ((pixels[x] & 0xFFFFFF) == color)
                row[x >> 5] |= 1u << (x & 31); /* cairo's A1: bit x % 32 of word x / 32 */
    }
    cairo_surface_mark_dirty(mask);
    return mask;
}

/* Paints an RGB24 picture on the device pixels of box. A picture of few colours (a band of a
 * monochrome bitmap, a patch of a page of few inks) is a fill of its first colour and a 1-bit
 * mask for each other: an eighth of a byte a pixel each, where an image is three. */
static void pdf_picture(PdfPage *pdf, cairo_surface_t *picture, const ScanBox &box)
{
    cairo_t *cr = pdf->cr;
    uint32_t palette[PDF_MASKED_COLOURS];
    uint32_t colours = output_palette(picture, palette, PDF_MASKED_COLOURS);
    if (colours == 0) {
        pdf_place(pdf, picture, box, false);
        return;
    }
    pdf_set_colour(cr, palette[0]);
    cairo_new_path(cr);
    pdf_append_rect(cr, box.x0, box.y0, box.x1, box.y1);
    cairo_fill(cr);
    for (uint32_t i = 1; i < colours; i++) {
        cairo_surface_t *mask = pdf_colour_mask(picture, palette[i]);
        pdf_set_colour(cr, palette[i]);
        if (cairo_surface_status(mask) == CAIRO_STATUS_SUCCESS)
            pdf_place(pdf, mask, box, true);
        cairo_surface_destroy(mask);
    }
}

void pdf_place_image(PdfPage *pdf, cairo_surface_t *surface, const ScanBox &box)
{
    pdf_picture(pdf, surface, box);
}

/* How many pixels across and down the brush's cell repeats after. */
static void pdf_brush_period(const PlayerBrush *brush, int32_t *across, int32_t *down)
{
    bool hatch = brush->style == BS_HATCHED;
    *across = hatch ? 8 : std::max(brush->pattern.width, 1);
    *down = hatch ? 8 : std::max(brush->pattern.height, 1);
}

/* A 1-bit mask of the pixels of box where the brush draws its foreground: one cell asked of the
 * brush, the rest repeated. */
static cairo_surface_t *pdf_foreground_mask(const Player *p, const PlayerBrush *brush,
                                            const ScanBox &box)
{
    int32_t w = box.x1 - box.x0, h = box.y1 - box.y0, across, down;
    pdf_brush_period(brush, &across, &down);
    cairo_surface_t *mask = cairo_image_surface_create(CAIRO_FORMAT_A1, w, h);
    if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS)
        return mask;
    cairo_surface_flush(mask);
    uint8_t *bits = cairo_image_surface_get_data(mask);
    int stride = cairo_image_surface_get_stride(mask);
    for (int32_t y = 0; y < h; y++) {
        uint32_t *row = (uint32_t *)(bits + (size_t)y * stride);
        if (y >= down) {
            memcpy(row, bits + (size_t)(y - down) * stride, stride);
            continue;
        }
        for (int32_t x = 0; x < w; x++) /* cairo's A1: bit x % 32 of word x / 32 */
            if (x < across ? compose_brush_foreground(p, brush, box.x0 + x, box.y0 + y)
                           : (row[(x - across) >> 5] >> ((x - across) & 31) & 1))
                row[x >> 5] |= 1u << (x & 31);
    }
    cairo_surface_mark_dirty(mask);
    return mask;
}

/* An RGB image of box with each pixel's colour from color_of(x, y), which repeats after across
 * pixels and after down rows (the box's own size: not at all). */
template <typename ColourOf>
static cairo_surface_t *pdf_image(const ScanBox &box, int32_t across, int32_t down, ColourOf color_of)
{
    int32_t w = box.x1 - box.x0, h = box.y1 - box.y0;
    cairo_surface_t *image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS)
        return image;
    cairo_surface_flush(image);
    uint8_t *data = cairo_image_surface_get_data(image);
    int stride = cairo_image_surface_get_stride(image);
    for (int32_t y = 0; y < h; y++) {
        uint32_t *row = (uint32_t *)(data + (size_t)y * stride);
        if (y >= down) {
            memcpy(row, data + (size_t)(y - down) * stride, stride);
            continue;
        }
        for (int32_t x = 0; x < w; x++)
            row[x] = x < across ? color_of(box.x0 + x, box.y0 + y) : row[x - across];
    }
    cairo_surface_mark_dirty(image);
    return image;
}

/* Paints a picture (or masks the source with a 1-bit mask) made for the page, warning when there
 * was no memory for it. */
static void pdf_paint_surface(Player *p, cairo_surface_t *surface, const ScanBox &box, bool mask)
{
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS)
        player_warn(p, "no memory for an image of the page");
    else if (mask)
        pdf_place(p->pdf, surface, box, true);
    else
        pdf_picture(p->pdf, surface, box);
    cairo_surface_destroy(surface);
}

/* Fills the current path of pdf->cr (already in the PDF's rule) with brush, its colours through
 * rop2; box holds the path's pixels. */
static void pdf_paint(Player *p, const PlayerBrush *brush, uint32_t rop2, const ScanBox &box)
{
    cairo_t *cr = p->pdf->cr;
    uint32_t rop3 = compose_rop3_of_rop2(rop2);
    if (rop3 == ROP3_DSTCOPY || brush->style == BS_NULL) { /* R2_NOP leaves the page alone */
        cairo_new_path(cr);
        return;
    }
    const PlayerState &s = p->state;
    bool twoColours = brush->style == BS_HATCHED || brush->style == BS_PATTERN;
    if (brush->style == BS_SOLID || (twoColours && !(brush->style == BS_HATCHED &&
                                                    s.bkMode == TRANSPARENT))) {
        /* Solid, or the background a two-colour pattern's foreground goes over. */
        uint32_t color = brush->style == BS_SOLID ? brush->color : s.bkColor;
        pdf_set_colour(cr, pdf_colour(p, rop3, color));
        if (brush->style == BS_SOLID) {
            cairo_fill(cr);
            return;
        }
        cairo_fill_preserve(cr);
    }
    cairo_save(cr);
    cairo_clip(cr);
    if (twoColours) {
        uint32_t fg = brush->style == BS_HATCHED ? brush->color : s.textColor;
        pdf_set_colour(cr, pdf_colour(p, rop3, fg));
        pdf_paint_surface(p, pdf_foreground_mask(p, brush, box), box, true);
    } else {
        int32_t across, down;
        pdf_brush_period(brush, &across, &down);
        pdf_paint_surface(p, pdf_image(box, across, down, [&](int32_t x, int32_t y) {
                              uint32_t c = 0;
                              compose_brush_pixel(p, brush, x, y, &c);
                              return pdf_colour(p, rop3, c);
                          }),
                          box, false);
    }
    cairo_restore(cr);
}

/* ---- the operations ---- */

void pdf_clip_changed(Player *p)
{
    cairo_t *cr = p->pdf->cr;
    const PlayerRegion &clip = p->state.clip;
    cairo_reset_clip(cr);
    if (clip.count == 1 && clip.box.x0 <= 0 && clip.box.y0 <= 0 && clip.box.x1 >= p->width &&
        clip.box.y1 >= p->height)
        return;
    cairo_new_path(cr);
    pdf_append_region(cr, clip);
    if (clip.count == 0)
        cairo_rectangle(cr, 0, 0, 0, 0);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_clip(cr);
}

/* ---- marks ---- */

void pdf_mark_fill(Player *p, cairo_t *path, bool alternate)
{
    cairo_path_t *copy = cairo_copy_path(path);
    pdf_append_gdi_path(p, copy, alternate, 0);
    cairo_path_destroy(copy);
}

void pdf_mark_polygon(Player *p, const double (*pts)[2], int n)
{
    PdfFigure f;
    double area = 0;
    for (int i = 0; i < n; i++) {
        f.ops.push_back(i == 0 ? CAIRO_PATH_MOVE_TO : CAIRO_PATH_LINE_TO);
        f.pts.insert(f.pts.end(), {pts[i][0], pts[i][1]});
        area += pts[i][0] * pts[(i + 1) % n][1] - pts[(i + 1) % n][0] * pts[i][1];
    }
    double box[4];
    std::vector<PdfFigure> one(1, f);
    if (pdf_upright_rectangle(one, box)) {
        auto near = [](double v) { return (int32_t)std::max(std::min(v, (double)PDF_FAR), -(double)PDF_FAR); };
        pdf_mark_rect(p, ScanBox{near(box[0]), near(box[1]), near(box[2]), near(box[3])});
        return;
    }
    if (area == 0)
        return;
    /* A simple polygon, turned clockwise (y down) as the rectangles' outlines go, so that the
     * winding rule adds up what overlaps; its inside then lies to the right of its points. */
    if (area < 0)
        for (int i = 1; i < n - i; i++)
            std::swap(f.pts[2 * i], f.pts[2 * (n - i)]), std::swap(f.pts[2 * i + 1], f.pts[2 * (n - i) + 1]);
    pdf_append_shrunk(p->pdf, f, -1, 0);
}

void pdf_mark_rect(Player *p, const ScanBox &rect)
{
    /* What lies off the page is left there: a pen's piece may reach past what cairo holds. */
    ScanBox r = {std::max(rect.x0, -1), std::max(rect.y0, -1), std::min(rect.x1, p->width + 1),
                 std::min(rect.y1, p->height + 1)};
    if (r.x0 < r.x1 && r.y0 < r.y1)
        p->pdf->rects.push_back(r);
}

/* GDI's rounded region: a small one row by row as it is, among the marked rectangles; a large
 * one as the rounded rectangle through the middle of its rows' end pixels, shrunk as any shape. */
void pdf_mark_round(Player *p, const ScanBox &r, int32_t ew, int32_t eh,
                    const std::vector<int32_t> &insets)
{
    if (insets.empty() || r.y1 - r.y0 <= PDF_ROWS_OF_ROUND) {
        auto insetOf = [&](int32_t y) {
            if (!insets.empty() && y - r.y0 < eh / 2)
                return insets[y - r.y0];
            if (!insets.empty() && y > r.y1 - eh + eh / 2)
                return insets[y - (r.y1 - eh)];
            return 0;
        };
        for (int32_t y = r.y0; y < r.y1;) { /* rows of one inset in one rectangle */
            int32_t inset = insetOf(y), last = y + 1;
            while (last < r.y1 && insetOf(last) == inset)
                last++;
            pdf_mark_rect(p, ScanBox{r.x0 + inset, y, r.x1 - inset, last});
            y = last;
        }
        return;
    }
    cairo_t *scratch = p->pdf->scratch;
    cairo_new_path(scratch);
    double rx = ew / 2.0, ry = eh / 2.0;
    const double corners[4][3] = {{r.x1 - rx, r.y0 + ry, -M_PI / 2}, {r.x1 - rx, r.y1 - ry, 0},
                                  {r.x0 + rx, r.y1 - ry, M_PI / 2}, {r.x0 + rx, r.y0 + ry, M_PI}};
    for (const auto &c : corners) {
        cairo_save(scratch);
        cairo_translate(scratch, c[0] - 0.5, c[1] - 0.5); /* pixel centres to GDI's corners */
        cairo_scale(scratch, rx, ry);
        cairo_arc(scratch, 0, 0, 1, c[2], c[2] + M_PI / 2);
        cairo_restore(scratch);
    }
    cairo_close_path(scratch);
    cairo_path_t *path = cairo_copy_path(scratch);
    cairo_new_path(scratch);
    pdf_append_gdi_path(p, path, false, 0);
    cairo_path_destroy(path);
}

void pdf_mark_pixel(Player *p, int32_t x, int32_t y)
{
    std::vector<ScanBox> &rects = p->pdf->rects;
    /* A line's pixels along a row or a column join the rectangle before as they come. */
    if (!rects.empty()) {
        ScanBox &q = rects.back();
        if ((y == q.y0 && q.y1 == y + 1 && (x == q.x1 || x + 1 == q.x0)) ||
            (x == q.x0 && q.x1 == x + 1 && (y == q.y1 || y + 1 == q.y0))) {
            q = ScanBox{std::min(q.x0, x), std::min(q.y0, y), std::max(q.x1, x + 1), std::max(q.y1, y + 1)};
            return;
        }
    }
    rects.push_back(ScanBox{x, y, x + 1, y + 1});
}

void pdf_compose(Player *p, const PlayerBrush *brush, uint32_t rop2, const ScanBox &box)
{
    pdf_flush_rects(p->pdf);
    cairo_t *cr = p->pdf->cr;
    const ScanBox &c = p->state.clip.box;
    ScanBox clipped = {std::max(box.x0, c.x0), std::max(box.y0, c.y0), std::min(box.x1, c.x1),
                       std::min(box.y1, c.y1)};
    if (pdf_draws(p) && p->state.clip.count > 0 && clipped.x0 < clipped.x1 && clipped.y0 < clipped.y1) {
        cairo_set_fill_rule(cr, p->pdf->evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
        pdf_paint(p, brush, rop2, clipped);
    }
    cairo_new_path(cr);
    p->pdf->evenOdd = false;
}

void pdf_fill_box(Player *p, const double (*corners)[2], uint32_t color)
{
    if (!pdf_draws(p))
        return;
    cairo_t *cr = p->pdf->scratch;
    cairo_new_path(cr);
    for (int i = 0; i < 4; i++)
        cairo_line_to(cr, corners[i][0], corners[i][1]);
    cairo_close_path(cr);
    cairo_path_t *path = cairo_copy_path(cr);
    cairo_new_path(cr);
    cairo_new_path(p->pdf->cr);
    pdf_append_gdi_path(p, path, false, 0.5);
    cairo_path_destroy(path);
    pdf_set_colour(p->pdf->cr, color);
    cairo_set_fill_rule(p->pdf->cr, CAIRO_FILL_RULE_WINDING);
    cairo_fill(p->pdf->cr);
}

/* GDI strokes a wide pen from its path's points rounded to whole pixels, each straight segment
 * covering the rows (or columns) from half its width (rounded down) before the line to the rest
 * after it. A PDF pen half a pixel narrower, moved half a pixel across where the width is odd,
 * keeps each edge a quarter pixel inside those rows, so that a renderer that takes the pixels a
 * pen touches and one that rounds a straight pen's edges to pixel boundaries both take them;
 * the joins and ends are the PDF's own, within a pixel of GDI's. */
bool pdf_stroke_wide(Player *p, cairo_t *path, const WidePen *pen, const PlayerBrush *brush)
{
    if (brush == NULL)
        return true; /* the interior under a pen: the pen is drawn over it next */
    /* A figure of many short steps: an outline GDI draws through whole points (an ellipse's, an
     * arc's), where a piece at each point would cost more than the page. */
    cairo_path_t *flat = cairo_copy_path_flat(path);
    int points = 0;
    double length = 0, x = 0, y = 0;
    for (int i = 0; i < flat->num_data; i += flat->data[i].header.length) {
        const cairo_path_data_t *d = &flat->data[i];
        if (d->header.type == CAIRO_PATH_LINE_TO)
            length += hypot(d[1].point.x - x, d[1].point.y - y);
        if (d->header.type != CAIRO_PATH_CLOSE_PATH)
            x = d[1].point.x, y = d[1].point.y, points++;
    }
    uint32_t rop3 = compose_rop3_of_rop2(p->state.rop2);
    if (points <= PDF_PIECES_OF_PEN || length > PDF_SHORT_STEP * points || brush->style != BS_SOLID) {
        cairo_path_destroy(flat);
        return false;
    }
    cairo_t *cr = p->pdf->cr;
    double shift = pen->width % 2 ? 0.5 : 0;
    cairo_new_path(cr);
    for (int i = 0; i < flat->num_data; i += flat->data[i].header.length) {
        const cairo_path_data_t *d = &flat->data[i];
        if (d->header.type == CAIRO_PATH_CLOSE_PATH) {
            cairo_close_path(cr);
            continue;
        }
        double x = floor(d[1].point.x + 0.5) + shift, y = floor(d[1].point.y + 0.5) + shift;
        (d->header.type == CAIRO_PATH_MOVE_TO ? cairo_move_to : cairo_line_to)(cr, x, y);
    }
    cairo_path_destroy(flat);
    if (!pdf_draws(p) || rop3 == ROP3_DSTCOPY) {
        cairo_new_path(cr);
        return true;
    }
    cairo_set_line_width(cr, pen->width - 0.5);
    cairo_set_line_cap(cr, pen->cap == PS_ENDCAP_FLAT     ? CAIRO_LINE_CAP_BUTT
                           : pen->cap == PS_ENDCAP_SQUARE ? CAIRO_LINE_CAP_SQUARE
                                                          : CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, pen->join == PS_JOIN_BEVEL   ? CAIRO_LINE_JOIN_BEVEL
                            : pen->join == PS_JOIN_MITER ? CAIRO_LINE_JOIN_MITER
                                                         : CAIRO_LINE_JOIN_ROUND);
    cairo_set_miter_limit(cr, pen->miterLimit);
    double dashes[PLAYER_MAX_STYLE];
    for (uint32_t i = 0; i < pen->dashCount; i++)
        dashes[i] = pen->dashes[i];
    cairo_set_dash(cr, dashes, (int)pen->dashCount, 0);
    pdf_set_colour(cr, pdf_colour(p, rop3, brush->color));
    cairo_stroke(cr);
    cairo_set_dash(cr, NULL, 0, 0);
    return true;
}

/* ---- text ---- */

/* The UTF-8 of the run's string and a cluster per glyph, for the PDF's map back to text; false
 * when the run has no text (glyph indices) or no memory. */
static bool pdf_clusters(const TextRun *run, std::vector<char> *utf8,
                         std::vector<cairo_text_cluster_t> *clusters)
{
    if (run->glyphIndices)
        return false;
    for (uint32_t i = 0; i < run->glyphCount; i++) {
        const TextGlyph &g = run->glyphs[i];
        size_t before = utf8->size();
        for (uint32_t k = g.first, used = 1; k < g.first + g.count; k += used) {
            uint32_t c = text_code_point(run->units, run->unitCount, k, &used);
            char bytes[4];
            /* A lone surrogate stands for nothing: the replacement character. */
            size_t n = text_encode_utf8(c >= 0xD800 && c < 0xE000 ? 0xFFFD : c, bytes);
            utf8->insert(utf8->end(), bytes, bytes + n);
        }
        clusters->push_back(cairo_text_cluster_t{(int)(utf8->size() - before), 1});
    }
    return true;
}

void pdf_glyphs(Player *p, const TextRun *run)
{
    if (run->glyphCount == 0)
        return;
    cairo_t *cr = p->pdf->cr;
    cairo_save(cr);
    if (run->clipped) {
        const ScanBox &c = run->clip;
        cairo_new_path(cr);
        pdf_append_rect(cr, c.x0, c.y0, c.x1, c.y1);
        cairo_clip(cr);
    }
    /* FreeType sizes a face to at most 65535 pixels of the surface's, here points; cairo loses the
     * scaled font it fails to make larger, so text taller than that (some 23 metres) is left
     * out of the PDF. */
    double wideX = run->ppem, wideY = 0, tallX = 0, tallY = run->ppem;
    cairo_user_to_device_distance(cr, &wideX, &wideY);
    cairo_user_to_device_distance(cr, &tallX, &tallY);
    if (fmax(hypot(wideX, wideY), hypot(tallX, tallY)) > 65535) {
        player_warn(p, "text %d pixels tall left out of the PDF", run->ppem);
        cairo_restore(cr);
        return;
    }
    cairo_set_font_face(cr, run->face);
    cairo_matrix_t m;
    cairo_matrix_init_rotate(&m, -run->angle);
    cairo_matrix_scale(&m, run->ppem, run->ppem);
    cairo_set_font_matrix(cr, &m);
    cairo_font_options_t *options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
    pdf_set_colour(cr, run->color);
    /* Each origin in the middle of its pixel: a renderer places a glyph's bitmap from the pixel
     * its origin falls in. */
    std::vector<cairo_glyph_t> glyphs(run->glyphCount);
    auto near = [](int32_t v) { /* a glyph advanced far off the page stays off it */
        return std::max(std::min(v, (int32_t)PDF_FAR), -(int32_t)PDF_FAR) + 0.5;
    };
    for (uint32_t i = 0; i < run->glyphCount; i++)
        glyphs[i] = cairo_glyph_t{run->glyphs[i].index, near(run->glyphs[i].x), near(run->glyphs[i].y)};
    std::vector<char> utf8;
    std::vector<cairo_text_cluster_t> clusters;
    if (pdf_clusters(run, &utf8, &clusters))
        cairo_show_text_glyphs(cr, utf8.data(), (int)utf8.size(), glyphs.data(),
                               (int)glyphs.size(), clusters.data(), (int)clusters.size(),
                               (cairo_text_cluster_flags_t)0);
    else
        cairo_show_glyphs(cr, glyphs.data(), (int)glyphs.size());
    cairo_restore(cr);
}

/* ---- bitmaps ---- */

/* The destination pixels of one axis inside the clip box that read the bitmap: [*from, *to) of
 * the run's. Looking no further than the clip box keeps a transfer far larger than the page as
 * cheap as the page. */
static void pdf_blit_span(const Player *p, const BlitRun *run, bool horizontal, int64_t *from,
                          int64_t *to)
{
    const ScanBox &c = p->state.clip.box;
    int64_t n = horizontal ? run->right - run->left : run->bottom - run->top;
    int64_t origin = horizontal ? run->left : run->top;
    *from = std::max<int64_t>(0, (horizontal ? c.x0 : c.y0) - origin);
    *to = std::min<int64_t>(n, (horizontal ? c.x1 : c.y1) - origin);
    if (!run->usesSource)
        return;
    while (*from < *to && !bitmaps_reads(p, run, horizontal, *from))
        (*from)++;
    while (*to > *from && !bitmaps_reads(p, run, horizontal, *to - 1))
        (*to)--;
}

/* The operation with the page taken as white when it is blank under the record (the first pass
 * proved it); otherwise the operation does not read the page. */
static uint32_t pdf_blit_rop(const Player *p, uint32_t rop3)
{
    if (p->modes == NULL || p->modes[p->index] != RECORD_ON_WHITE)
        return rop3;
    uint32_t onWhite = 0;
    for (uint32_t term = 0; term < 8; term++)
        if (rop3 >> (term | 1) & 1)
            onWhite |= 1u << term;
    return onWhite;
}

/* How many times the destination repeats each source pixel along an axis: an exact whole number
 * (1 or more) of an unmirrored transfer reading inside the bitmap, else 0. */
static int64_t pdf_blit_factor(const BlitAxis &a, int64_t dest, int64_t size)
{
    if (dest > PDF_FAR || a.srcBackward || a.destBackward || a.count <= 0 || a.start < 0 || a.start + a.count > size ||
        dest % a.count != 0)
        return 0;
    return dest / a.count;
}

/* A transfer of the source alone (recoloured by its operation), each source pixel on a whole
 * number of device pixels: the bitmap's pixels go into the file as they are, at their own size,
 * where a renderer repeats them exactly (once, four times or more; a picture of few colours,
 * which goes as masks, any whole number). False when the transfer is not such. */
static bool pdf_blit_source(Player *p, const BlitRun *run, uint32_t rop3)
{
    int64_t fx = pdf_blit_factor(run->ax, run->right - run->left, run->dib.width);
    int64_t fy = pdf_blit_factor(run->ay, run->bottom - run->top, run->dib.height);
    bool patternTakesPart = ((rop3 >> 4 ^ rop3) & 0x0F) != 0;
    if (fx == 0 || fy == 0 || patternTakesPart ||
        std::max(llabs(run->left), llabs(run->top)) > PDF_FAR)
        return false;
    ScanBox source = {(int32_t)run->ax.start, (int32_t)run->ay.start,
                      (int32_t)(run->ax.start + run->ax.count), (int32_t)(run->ay.start + run->ay.count)};
    /* A palette's colours are recoloured once, not pixel by pixel. */
    const PlayerDib &dib = run->dib;
    uint32_t recoloured[256];
    for (uint32_t i = 0; dib.bpp <= 8 && i < (1u << dib.bpp); i++)
        recoloured[i] = compose_rop3(rop3, 0, bitmaps_index_colour(&dib, i), 0);
    cairo_surface_t *image = pdf_image(source, source.x1 - source.x0, source.y1 - source.y0,
                                       [&](int32_t x, int32_t y) {
        return dib.bpp <= 8 ? recoloured[bitmaps_index(&dib, x, y)]
                            : compose_rop3(rop3, 0, bitmaps_pixel(&dib, x, y), 0);
    });
    uint32_t palette[PDF_MASKED_COLOURS];
    bool exact = (fx == 1 && fy == 1) || std::max(fx, fy) >= 4 ||
                 output_palette(image, palette, PDF_MASKED_COLOURS) > 0;
    if (exact)
        pdf_paint_surface(p, image, ScanBox{(int32_t)run->left, (int32_t)run->top,
                                            (int32_t)run->right, (int32_t)run->bottom}, false);
    else
        cairo_surface_destroy(image);
    return exact;
}

void pdf_blit(Player *p, const BlitRun *run)
{
    if (!pdf_draws(p))
        return;
    int64_t x0, x1, y0, y1;
    pdf_blit_span(p, run, true, &x0, &x1);
    pdf_blit_span(p, run, false, &y0, &y1);
    const ScanBox &c = p->state.clip.box;
    ScanBox box = {(int32_t)std::max<int64_t>(run->left + x0, c.x0),
                   (int32_t)std::max<int64_t>(run->top + y0, c.y0),
                   (int32_t)std::min<int64_t>(run->left + x1, c.x1),
                   (int32_t)std::min<int64_t>(run->top + y1, c.y1)};
    if (p->state.clip.count == 0 || box.x0 >= box.x1 || box.y0 >= box.y1)
        return;
    uint32_t rop3 = pdf_blit_rop(p, run->rop3);
    if (run->usesSource && pdf_blit_source(p, run, rop3))
        return;
    /* The picture at the destination's size, each pixel as the raster page composes it. */
    const PlayerBrush *brush = &p->state.brush;
    cairo_surface_t *image = pdf_image(box, box.x1 - box.x0, box.y1 - box.y0, [&](int32_t x, int32_t y) {
        uint32_t source = 0, pattern = 0;
        if (run->usesSource)
            bitmaps_source(p, run, x - run->left, y - run->top, &source);
        if (run->usesPattern && !compose_brush_pixel(p, brush, x, y, &pattern))
            return 0xFFFFFFu; /* a hatch's gap leaves the page: blank under the record */
        return compose_rop3(rop3, pattern, source, 0);
    });
    pdf_paint_surface(p, image, box, false);
}

/* ---- the page ---- */

PdfPage *pdf_open_page(cairo_surface_t *surface, const EmfPage *page)
{
    PdfPage *pdf = new PdfPage();
    cairo_pdf_surface_set_size(surface, page->widthPt, page->heightPt);
    pdf->cr = cairo_create(surface);
    cairo_scale(pdf->cr, 72.0 / page->devicePerInchX, 72.0 / page->devicePerInchY);
    pdf->fine = fmax(1.0 / 256, 0.002 * fmax(page->devicePerInchX, page->devicePerInchY) / 72);
    cairo_surface_t *scratch = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    pdf->scratch = cairo_create(scratch);
    cairo_surface_destroy(scratch);
    return pdf;
}

cairo_t *pdf_context(PdfPage *pdf)
{
    return pdf->cr;
}

uint32_t pdf_images(const PdfPage *pdf)
{
    return pdf->images;
}

cairo_status_t pdf_close_page(PdfPage *pdf)
{
    if (pdf == NULL)
        return CAIRO_STATUS_SUCCESS;
    cairo_status_t status = cairo_status(pdf->cr);
    cairo_show_page(pdf->cr);
    cairo_destroy(pdf->cr);
    cairo_destroy(pdf->scratch);
    delete pdf;
    return status;
}
