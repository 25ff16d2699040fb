/* Page pictures to files: PNG as drawn, PDF one page per picture at the page's size. */
#include "emf_player.h"

#include <stdio.h>

#include <cairo-pdf.h>

int EmfWritePng(cairo_surface_t *page, const char *path, char *error, size_t errorSize)
{
    cairo_status_t status = cairo_surface_write_to_png(page, path);
    if (status == CAIRO_STATUS_SUCCESS)
        return 0;
    snprintf(error, errorSize, "%s", cairo_status_to_string(status));
    return -1;
}

cairo_surface_t *EmfPdfOpen(const char *path, const EmfPage *first)
{
    return cairo_pdf_surface_create(path, first->widthPt, first->heightPt);
}

void EmfPdfAddPage(cairo_surface_t *pdf, cairo_surface_t *page, const EmfPage *size)
{
    cairo_pdf_surface_set_size(pdf, size->widthPt, size->heightPt);
    cairo_t *cr = cairo_create(pdf);
    /* The picture stretched over the page; its pixels stay sharp. */
    cairo_scale(cr, size->widthPt / cairo_image_surface_get_width(page),
                size->heightPt / cairo_image_surface_get_height(page));
    cairo_set_source_surface(cr, page, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_show_page(cr);
    cairo_destroy(cr);
}

int EmfPdfClose(cairo_surface_t *pdf, char *error, size_t errorSize)
{
    cairo_surface_finish(pdf);
    cairo_status_t status = cairo_surface_status(pdf);
    cairo_surface_destroy(pdf);
    if (status == CAIRO_STATUS_SUCCESS)
        return 0;
    snprintf(error, errorSize, "%s", cairo_status_to_string(status));
    return -1;
}

int EmfWritePdf(cairo_surface_t *const *pages, const EmfPage *sizes, size_t count,
                const char *path, char *error, size_t errorSize)
{
    if (count == 0) {
        snprintf(error, errorSize, "no page to write");
        return -1;
    }
    cairo_surface_t *pdf = EmfPdfOpen(path, &sizes[0]);
    for (size_t i = 0; i < count && cairo_surface_status(pdf) == CAIRO_STATUS_SUCCESS; i++)
        EmfPdfAddPage(pdf, pages[i], &sizes[i]);
    return EmfPdfClose(pdf, error, errorSize);
}
