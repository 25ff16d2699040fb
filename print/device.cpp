/* The drawing operations of the walk, each handed to the device beneath it: the raster page
 * (compose.cpp, scan.cpp and the raster halves of text.cpp and bitmaps.cpp), the PDF page
 * (pdf.cpp) or the first pass (plan.cpp). The PDF page and the first pass keep no coverage
 * mask: their marks widen the box by the pixels the mark's geometry may reach. */
#include "player_private.h"

#include <math.h>

#include <algorithm>

/* Widens box by the page pixels [x0, x1) x [y0, y1) may reach, one more on each side for
 * rounding. */
static void device_widen(const Player *p, ScanBox *box, double x0, double y0, double x1, double y1)
{
    if (!(x0 <= x1 && y0 <= y1))
        return;
    box->x0 = std::min(box->x0, (int32_t)fmax(floor(x0) - 1, 0));
    box->y0 = std::min(box->y0, (int32_t)fmax(floor(y0) - 1, 0));
    box->x1 = std::max(box->x1, (int32_t)fmin(ceil(x1) + 1, p->width));
    box->y1 = std::max(box->y1, (int32_t)fmin(ceil(y1) + 1, p->height));
}

bool device_clip_changed(Player *p)
{
    switch (p->device) {
    case DEVICE_RASTER: return compose_clip_changed(p);
    case DEVICE_PDF: pdf_clip_changed(p); return true;
    case DEVICE_PLAN: return true;
    }
    return true;
}

void device_mark_path(Player *p, cairo_t *cr, bool alternate, ScanBox *box)
{
    if (p->device == DEVICE_RASTER) {
        scan_fill(p, cr, alternate, box);
        return;
    }
    double x0, y0, x1, y1;
    cairo_path_extents(cr, &x0, &y0, &x1, &y1);
    device_widen(p, box, x0, y0, x1, y1);
    if (p->device == DEVICE_PDF)
        pdf_mark_fill(p, cr, alternate);
}

void device_mark_polygon(Player *p, const double (*pts)[2], int n, uint8_t mark, ScanBox *box)
{
    if (p->device == DEVICE_RASTER) {
        scan_mark_polygon(p, pts, n, mark, box);
        return;
    }
    if (mark == 0)
        return; /* the PDF page draws what takes pixels out over them instead */
    double x0 = pts[0][0], y0 = pts[0][1], x1 = x0, y1 = y0;
    for (int i = 1; i < n; i++) {
        x0 = fmin(x0, pts[i][0]), x1 = fmax(x1, pts[i][0]);
        y0 = fmin(y0, pts[i][1]), y1 = fmax(y1, pts[i][1]);
    }
    device_widen(p, box, x0, y0, x1, y1);
    if (p->device == DEVICE_PDF)
        pdf_mark_polygon(p, pts, n);
}

void device_mark_rect(Player *p, const ScanBox &rect, uint8_t mark, ScanBox *box)
{
    if (p->device == DEVICE_RASTER) {
        scan_mark_rect(p, rect, mark, box);
        return;
    }
    if (mark == 0)
        return;
    device_widen(p, box, rect.x0, rect.y0, rect.x1, rect.y1);
    if (p->device == DEVICE_PDF)
        pdf_mark_rect(p, rect);
}

void device_mark_round(Player *p, const ScanBox &rect, int32_t ew, int32_t eh,
                       const std::vector<int32_t> &insets, uint8_t mark, ScanBox *box)
{
    if (p->device == DEVICE_RASTER) {
        scan_mark_round(p, rect, ew, eh, insets, mark, box);
        return;
    }
    if (mark == 0)
        return;
    device_widen(p, box, rect.x0, rect.y0, rect.x1, rect.y1);
    if (p->device == DEVICE_PDF)
        pdf_mark_round(p, rect, ew, eh, insets);
}

void device_mark_pixel(Player *p, int32_t x, int32_t y, uint8_t mark)
{
    switch (p->device) {
    case DEVICE_RASTER: p->coverBits[(size_t)y * p->coverStride + x] = mark; break;
    case DEVICE_PDF:
        if (mark)
            pdf_mark_pixel(p, x, y);
        break;
    case DEVICE_PLAN: break; /* the stroke keeps the box of what it plotted */
    }
}

void device_stroke_wide(Player *p, cairo_t *cr, const WidePen *pen, const PlayerBrush *brush)
{
    if (p->device == DEVICE_PDF && pdf_stroke_wide(p, cr, pen, brush))
        return;
    ScanBox box = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    if (p->coverSurface) /* the raster page's mask is written directly */
        cairo_surface_flush(p->coverSurface);
    cairo_path_t *path = cairo_copy_path_flat(cr);
    scan_wide_path(p, path, pen, &box);
    cairo_path_destroy(path);
    if (brush != NULL)
        device_compose(p, brush, p->state.rop2, box);
}

void device_compose(Player *p, const PlayerBrush *brush, uint32_t rop2, const ScanBox &box)
{
    switch (p->device) {
    case DEVICE_RASTER: compose_coverage(p, brush, rop2, box.x0, box.y0, box.x1, box.y1); break;
    case DEVICE_PDF: pdf_compose(p, brush, rop2, box); break;
    case DEVICE_PLAN: plan_compose(p, rop2, box); break;
    }
}

void device_fill_box(Player *p, const double (*corners)[2], uint32_t color)
{
    switch (p->device) {
    case DEVICE_RASTER: compose_fill_box(p, corners, color); break;
    case DEVICE_PDF: pdf_fill_box(p, corners, color); break;
    case DEVICE_PLAN: plan_fill_box(p, corners); break;
    }
}

void device_glyphs(Player *p, const TextRun *run)
{
    switch (p->device) {
    case DEVICE_RASTER: text_raster_glyphs(p, run); break;
    case DEVICE_PDF: pdf_glyphs(p, run); break;
    case DEVICE_PLAN: plan_glyphs(p, run); break;
    }
}

void device_blit(Player *p, const BlitRun *run)
{
    switch (p->device) {
    case DEVICE_RASTER: bitmaps_compose(p, run); break;
    case DEVICE_PDF: pdf_blit(p, run); break;
    case DEVICE_PLAN: plan_blit(p, run); break;
    }
}

void device_record_done(Player *p)
{
    if (p->device == DEVICE_PLAN)
        plan_record_done(p);
}
