/* The PDF document: each page planned by a first walk (plan.cpp), drawn as vectors and text by a
 * second onto cairo's PDF surface (pdf.cpp), and, where the plan left records to the raster
 * page, the raster page's pixels painted over them on top. */
#include "player_private.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include <cairo-pdf.h>

struct EmfPdf {
    cairo_surface_t *surface;
    FILE *drawn;     /* what cairo writes, before it is repacked into path */
    char path[4096];
    char error[256]; /* the first failure; "" while all is well */
};

static cairo_status_t document_write(void *closure, const unsigned char *data, unsigned int length)
{
    return fwrite(data, 1, length, (FILE *)closure) == length ? CAIRO_STATUS_SUCCESS
                                                             : CAIRO_STATUS_WRITE_ERROR;
}

static void document_fail(EmfPdf *pdf, const char *message)
{
    if (pdf->error[0] == 0)
        snprintf(pdf->error, sizeof pdf->error, "%s", message);
}

EmfPdf *EmfPdfOpen(const char *path)
{
    EmfPdf *pdf = (EmfPdf *)calloc(1, sizeof *pdf);
    if (pdf == NULL)
        return NULL;
    snprintf(pdf->path, sizeof pdf->path, "%s", path);
    /* cairo writes to a file of its own, which the close repacks into path; each page sets its
     * own size. A path that cannot be written is found out now, not after the pages. */
    FILE *probe = fopen(path, "wb");
    pdf->drawn = probe ? tmpfile() : NULL;
    if (probe)
        fclose(probe);
    pdf->surface = pdf->drawn ? cairo_pdf_surface_create_for_stream(document_write, pdf->drawn, 595.2, 841.92)
                              : cairo_pdf_surface_create(NULL, 595.2, 841.92);
    cairo_status_t status = cairo_surface_status(pdf->surface);
    if (pdf->drawn == NULL || status != CAIRO_STATUS_SUCCESS) {
        snprintf(pdf->error, sizeof pdf->error, "%s cannot be written%s%s", path,
                 probe ? ": " : "", probe ? "no room for the pages" : "");
        return pdf;
    }
    cairo_pdf_surface_set_metadata(pdf->surface, CAIRO_PDF_METADATA_CREATOR, "tavlinqx-print");
    return pdf;
}

/* Paints the raster page's pixels of each patch over the page: those of raster, when it is the
 * page at the device's size, else of a raster page drawn here of the window the patches lie in.
 * -1 with a message when it cannot be. */
static int document_patches(PdfPage *page, const EmfFile *file, const EmfPage *size,
                            cairo_surface_t *raster, const ScanBox *patches, uint32_t count,
                            char *error, size_t errorSize)
{
    ScanBox window = {0, 0, size->width, size->height};
    cairo_surface_t *drawn = NULL;
    if (raster == NULL || cairo_image_surface_get_width(raster) != size->width ||
        cairo_image_surface_get_height(raster) != size->height) {
        window = patches[0];
        for (uint32_t i = 1; i < count; i++)
            window = ScanBox{std::min(window.x0, patches[i].x0), std::min(window.y0, patches[i].y0),
                             std::max(window.x1, patches[i].x1), std::max(window.y1, patches[i].y1)};
        int32_t w = window.x1 - window.x0, h = window.y1 - window.y0;
        if (w > EMF_PLAYER_MAX_SIDE || h > EMF_PLAYER_MAX_SIDE || (double)w * h > PLAYER_MAX_PIXELS) {
            snprintf(error, errorSize, "the raster player's pixels of %d x %d are more than it draws",
                     w, h);
            return -1;
        }
        drawn = player_render(file, w, h, 1, -window.x0, -window.y0, NULL, error, errorSize);
        if (drawn == NULL)
            return -1;
        raster = drawn;
    }
    cairo_surface_flush(raster);
    const uint8_t *pixels = cairo_image_surface_get_data(raster);
    int stride = cairo_image_surface_get_stride(raster);
    cairo_reset_clip(pdf_context(page));
    int rc = 0;
    for (uint32_t i = 0; i < count && rc == 0; i++) {
        const ScanBox &b = patches[i];
        cairo_surface_t *patch = cairo_image_surface_create_for_data(
            (unsigned char *)pixels + (size_t)(b.y0 - window.y0) * stride + 4 * (size_t)(b.x0 - window.x0),
            CAIRO_FORMAT_RGB24, b.x1 - b.x0, b.y1 - b.y0, stride);
        if (cairo_surface_status(patch) == CAIRO_STATUS_SUCCESS) {
            pdf_place_image(page, patch, b);
        } else {
            snprintf(error, errorSize, "no memory for a patch of the page");
            rc = -1;
        }
        cairo_surface_destroy(patch);
    }
    if (drawn)
        cairo_surface_destroy(drawn);
    return rc;
}

/* Plans and draws the page; -1 with a message when it cannot be. */
static int document_page(EmfPdf *pdf, const EmfFile *file, cairo_surface_t *raster,
                         EmfWarnings *warnings, EmfPdfPage *report, char *error, size_t errorSize)
{
    EmfPage size;
    if (EmfGetPage(file, &size, error, errorSize) < 0)
        return -1;
    /* cairo keeps coordinates in 24.8 fixed point, to 2^23 points; half of that leaves room for
     * what is drawn beyond the page's edge. A side this long (over a kilometre) is no page. */
    const double maxSidePt = 1 << 22;
    if (size.widthPt > maxSidePt || size.heightPt > maxSidePt) {
        snprintf(error, errorSize, "a page of %.0f x %.0f points is larger than a PDF page can be (%.0f a side)",
                 size.widthPt, size.heightPt, maxSidePt);
        return -1;
    }
    Player plan, page;
    memset(&page, 0, sizeof page);
    ScanBox patches[EMF_PDF_MAX_PATCHES];
    uint32_t count = 0;
    int rc = player_open(&plan, file, DEVICE_PLAN, size.width, size.height, 1, 0, 0, NULL);
    if (rc == 0 && ((plan.plan = plan_open(&plan)) == NULL || player_walk(&plan) < 0))
        rc = -1;
    if (rc == 0) {
        plan_finish(&plan, patches, &count, EMF_PDF_MAX_PATCHES);
        rc = player_open(&page, file, DEVICE_PDF, size.width, size.height, 1, 0, 0, warnings);
    }
    if (rc == 0) {
        page.modes = plan_modes(plan.plan);
        page.pdf = pdf_open_page(pdf->surface, &size);
        rc = page.pdf && player_walk(&page) == 0 ? 0 : -1;
    }
    if (rc < 0)
        snprintf(error, errorSize, "no memory for a page of %d x %d pixels", size.width, size.height);
    else if (count > 0)
        rc = document_patches(page.pdf, file, &size, raster, patches, count, error, errorSize);
    uint32_t images = page.pdf ? pdf_images(page.pdf) : 0;
    cairo_status_t status = pdf_close_page(page.pdf);
    if (rc == 0 && status != CAIRO_STATUS_SUCCESS) {
        snprintf(error, errorSize, "drawing the page failed: %s", cairo_status_to_string(status));
        rc = -1;
    }
    player_close(&page);
    plan_close(plan.plan);
    player_close(&plan);
    if (report && rc == 0) {
        double area = 0;
        report->patchCount = count;
        for (uint32_t i = 0; i < count; i++) {
            report->patches[i] = EmfPatch{patches[i].x0, patches[i].y0, patches[i].x1, patches[i].y1};
            area += (double)(patches[i].x1 - patches[i].x0) * (patches[i].y1 - patches[i].y0);
        }
        report->patchShare = area / ((double)size.width * size.height);
        report->images = images;
    }
    return rc;
}

int EmfPdfAddPage(EmfPdf *pdf, const EmfFile *file, cairo_surface_t *raster,
                  EmfWarnings *warnings, EmfPdfPage *report)
{
    if (warnings)
        memset(warnings, 0, sizeof *warnings);
    if (report)
        memset(report, 0, sizeof *report);
    if (pdf->error[0])
        return -1;
    char error[256] = "";
    if (document_page(pdf, file, raster, warnings, report, error, sizeof error) < 0) {
        document_fail(pdf, error);
        return -1;
    }
    cairo_status_t status = cairo_surface_status(pdf->surface);
    if (status != CAIRO_STATUS_SUCCESS) {
        document_fail(pdf, cairo_status_to_string(status));
        return -1;
    }
    return 0;
}

int EmfPdfClose(EmfPdf *pdf, char *error, size_t errorSize)
{
    if (pdf == NULL) {
        snprintf(error, errorSize, "no memory for the PDF");
        return -1;
    }
    cairo_surface_finish(pdf->surface);
    cairo_status_t status = cairo_surface_status(pdf->surface);
    if (status != CAIRO_STATUS_SUCCESS)
        document_fail(pdf, status == CAIRO_STATUS_WRITE_ERROR ? "the PDF could not be written whole"
                                                              : cairo_status_to_string(status));
    cairo_surface_destroy(pdf->surface);
    char message[256];
    if (pdf->error[0] == 0 && repack_pdf(pdf->drawn, pdf->path, message, sizeof message) < 0)
        document_fail(pdf, message);
    if (pdf->drawn)
        fclose(pdf->drawn);
    int rc = pdf->error[0] ? -1 : 0;
    if (rc < 0)
        snprintf(error, errorSize, "%s", pdf->error);
    free(pdf);
    return rc;
}
