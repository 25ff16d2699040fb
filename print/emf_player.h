/* The EMF player: draws the page of an enhanced metafile the way GDI draws its records.
 *
 * Geometry (path coverage, glyph outlines) comes from cairo, FreeType and fontconfig; colours are
 * composed by the player itself on a 24-bit page bitmap, pixel by pixel, so that the sixteen
 * binary raster operations, the ternary ones of the bitmap records, hatches and pattern brushes
 * come out exactly as on a GDI device. A record the player does not draw is skipped with a
 * warning; the file itself must have passed the project's reader (EmfLoadFile/EmfLoadMemory).
 *
 * Convention: functions returning int give 0 on success and -1 on failure.
 */
#ifndef TAVLINQX_EMF_PLAYER_H
#define TAVLINQX_EMF_PLAYER_H

#include <stddef.h>
#include <stdint.h>

#include <cairo.h>

#include "emf_reader.h"

enum {
    EMF_PLAYER_MAX_WARNINGS = 32, /* distinct warnings kept; further ones are only counted */
    EMF_PLAYER_WARNING_SIZE = 160,
    EMF_PLAYER_MAX_SIDE = 32767,  /* pixels per page side: cairo's limit */
};

/* What a page looked like to the player: warnings ("record 7 at offset 312: ...") in the order
 * they arose, each distinct text once. */
struct EmfWarnings {
    uint32_t count;   /* entries in text */
    uint32_t dropped; /* warnings beyond EMF_PLAYER_MAX_WARNINGS or repeated */
    char text[EMF_PLAYER_MAX_WARNINGS][EMF_PLAYER_WARNING_SIZE];
};

/* How big the page picture is. With neither field set, one pixel is one pixel of the reference
 * device the metafile was recorded on. */
struct EmfRenderOptions {
    double dpi;    /* > 0: this many pixels per inch of the page */
    int32_t width; /* > 0 (and dpi 0): the page this many pixels wide, the height in proportion */
};

/* The page of a metafile: the whole surface of the reference device it was recorded on, as GDI
 * draws the same calls on that device; whatever the records draw beyond it is clipped. */
struct EmfPage {
    int32_t width, height;                 /* device pixels (szlDevice) */
    double devicePerInchX, devicePerInchY; /* the device's resolution */
    double widthPt, heightPt;              /* 1/72 inch: width x 72 / devicePerInchX */
};

/* The page of file. The header gives the device's size in whole millimetres, so its resolution
 * is measured from them and taken as the nearest standard resolution within 1% (4960 pixels on
 * 210 mm measure 599.92 dpi on a 600-dpi device), else as measured. Returns -1 with a message in
 * error when the header gives no device size, which no page can be made of. */
int EmfGetPage(const EmfFile *file, EmfPage *page, char *error, size_t errorSize);

/* Draws the page of file on a new white CAIRO_FORMAT_RGB24 image surface, which the caller
 * releases with cairo_surface_destroy. Warnings go to *warnings when it is not NULL (it is
 * cleared first). Returns NULL with a message in error when there is no page to draw on: an
 * unusable header, a picture larger than EMF_PLAYER_MAX_SIDE pixels a side or than 2^27 pixels
 * in all at the resolution asked for, or no memory for it. Memory use is the page bitmap, a
 * coverage mask and a clip mask, whatever the records. */
cairo_surface_t *EmfRenderPage(const EmfFile *file, const EmfRenderOptions *options,
                               EmfWarnings *warnings, char *error, size_t errorSize);

/* Writes a page picture (a page EmfRenderPage drew) as one PNG file. Returns -1 with a message
 * in error when the file cannot be written. */
int EmfWritePng(cairo_surface_t *page, const char *path, char *error, size_t errorSize);

/* A PDF document of one page per metafile, as vectors and text: shapes, pens, clips, brushes
 * and bitmaps on the recording device's pixel grid (72/dpi points a pixel), text in subsets of
 * the fonts the raster player uses with a map back to its characters. Where a record's raster
 * operation reads the page in a way PDF cannot express, the raster player's own pixels of the
 * whole page are painted over that record's bounds ("patches"), so that the page prints as the
 * raster player draws it. Pages are drawn one at a time: memory holds one page, and a page
 * without patches no page bitmap at all. */
enum { EMF_PDF_MAX_PATCHES = 64 };

/* Device pixels [x0, x1) x [y0, y1). */
struct EmfPatch {
    int32_t x0, y0, x1, y1;
};

/* What a page of the document is made of. */
struct EmfPdfPage {
    uint32_t patchCount;
    EmfPatch patches[EMF_PDF_MAX_PATCHES]; /* disjoint; overlapping ones are merged */
    double patchShare;                     /* of the page's pixels, 0 to 1 */
    uint32_t images;                       /* images and 1-bit masks the page placed */
};

struct EmfPdf;
/* Opens the document at path; a failure is kept and reported at close. */
EmfPdf *EmfPdfOpen(const char *path);
/* Adds the page of file. raster, when not NULL, is the page EmfRenderPage drew of file at the
 * device's own resolution, which the patches are then taken from instead of drawing it again.
 * Warnings of the page go to *warnings and what it is made of to *report (either may be NULL).
 * Returns -1 when the page could not be added; the failure is kept, later pages are skipped. */
int EmfPdfAddPage(EmfPdf *pdf, const EmfFile *file, cairo_surface_t *raster,
                  EmfWarnings *warnings, EmfPdfPage *report);
/* Finishes the file. Returns -1 with a message in error when it could not be written whole;
 * releases the writer either way. */
int EmfPdfClose(EmfPdf *pdf, char *error, size_t errorSize);

/* A PDF of one page per picture, each scaled to its page's size in points, written a page at a
 * time so that one page picture at a time is held: open, add pages (a failure is kept and
 * reported at close; later pages are then skipped), close. Close returns -1 with a message in
 * error when the file could not be written, and releases the writer either way. */
struct EmfPicturePdf;
EmfPicturePdf *EmfPicturePdfOpen(const char *path);
void EmfPicturePdfAddPage(EmfPicturePdf *pdf, cairo_surface_t *page, const EmfPage *size);
int EmfPicturePdfClose(EmfPicturePdf *pdf, char *error, size_t errorSize);

#endif
