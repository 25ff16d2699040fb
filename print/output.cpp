/* Page pictures to files: PNG as drawn, PDF one page per picture at the page's size.
 *
 * A printed page has few colours: a page of at most 256 is written as palette indices of 1, 2, 4
 * or 8 bits, which the PNG and the PDF both hold exactly, and both are compressed at zlib's
 * fastest level, which long runs of one colour cost little at. A page of more colours is written
 * as 24-bit RGB. */
#include "player_private.h"

#include <errno.h>
#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <png.h>
#include <zlib.h>

#include <vector>

enum {
    OUTPUT_MAX_PALETTE = 256,
    OUTPUT_HASH_SLOTS = 1024, /* a power of two, well above the palette's size */
    OUTPUT_NO_SLOT = 0xFFFF,
};

/* A page picture as rows of samples: palette indices of bits bits, or 24-bit RGB. */
struct OutputPicture {
    const uint8_t *data; /* the page's 0x00RRGGBB pixels */
    int32_t width, height, stride;
    uint32_t palette[OUTPUT_MAX_PALETTE];
    uint32_t colors;     /* palette entries; 0: the page is written as RGB */
    int bits;            /* per sample: 1, 2, 4 or 8 of an index, 8 of a colour channel */
    size_t rowBytes;
};

/* The colours of the page, in the palette when there are at most 256. The last colour found is
 * tried first: a page is mostly runs. */
static void output_find_palette(OutputPicture *pic, uint16_t *slots)
{
    for (int i = 0; i < OUTPUT_HASH_SLOTS; i++)
        slots[i] = OUTPUT_NO_SLOT;
    pic->colors = 0;
    uint32_t last = 0xFFFFFFFF;
    for (int32_t y = 0; y < pic->height; y++) {
        const uint32_t *row = (const uint32_t *)(pic->data + (size_t)y * pic->stride);
        for (int32_t x = 0; x < pic->width; x++) {
            uint32_t c = row[x] & 0xFFFFFF;
            if (c == last)
                continue;
            last = c;
            uint32_t h = (c * 2654435761u) >> 22 & (OUTPUT_HASH_SLOTS - 1);
            while (slots[h] != OUTPUT_NO_SLOT && pic->palette[slots[h]] != c)
                h = (h + 1) & (OUTPUT_HASH_SLOTS - 1);
            if (slots[h] != OUTPUT_NO_SLOT)
                continue;
            if (pic->colors == OUTPUT_MAX_PALETTE) {
                pic->colors = 0;
                return;
            }
            slots[h] = (uint16_t)pic->colors;
            pic->palette[pic->colors++] = c;
        }
    }
}

/* Sets up pic for an RGB24 page; -1 with a message for any other picture. */
static int output_analyse(cairo_surface_t *page, OutputPicture *pic, uint16_t *slots,
                          char *error, size_t errorSize)
{
    if (cairo_surface_get_type(page) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_image_surface_get_format(page) != CAIRO_FORMAT_RGB24) {
        snprintf(error, errorSize, "a page picture is an RGB24 image");
        return -1;
    }
    cairo_surface_flush(page);
    pic->data = cairo_image_surface_get_data(page);
    pic->width = cairo_image_surface_get_width(page);
    pic->height = cairo_image_surface_get_height(page);
    pic->stride = cairo_image_surface_get_stride(page);
    output_find_palette(pic, slots);
    pic->bits = pic->colors == 0 ? 8 : pic->colors <= 2 ? 1 : pic->colors <= 4 ? 2
                                     : pic->colors <= 16 ? 4 : 8;
    pic->rowBytes = pic->colors == 0 ? (size_t)pic->width * 3
                                     : ((size_t)pic->width * pic->bits + 7) / 8;
    return 0;
}

uint32_t output_palette(cairo_surface_t *image, uint32_t *palette, uint32_t most)
{
    OutputPicture pic;
    uint16_t slots[OUTPUT_HASH_SLOTS];
    char error[80];
    if (output_analyse(image, &pic, slots, error, sizeof error) < 0 || pic.colors > most)
        return 0;
    memcpy(palette, pic.palette, pic.colors * sizeof *palette);
    return pic.colors;
}

/* Row y of the picture's samples into out (rowBytes). */
static void output_row(const OutputPicture *pic, const uint16_t *slots, int32_t y, uint8_t *out)
{
    const uint32_t *row = (const uint32_t *)(pic->data + (size_t)y * pic->stride);
    if (pic->colors == 0) {
        for (int32_t x = 0; x < pic->width; x++) {
            out[3 * x] = (uint8_t)(row[x] >> 16);
            out[3 * x + 1] = (uint8_t)(row[x] >> 8);
            out[3 * x + 2] = (uint8_t)row[x];
        }
        return;
    }
    memset(out, 0, pic->rowBytes);
    uint32_t last = 0xFFFFFFFF, index = 0;
    /* Samples fill each byte from its high bits: sample x goes to byte x >> perByteLog, shifted
     * left by 8 - bits * (x % perByte + 1). */
    int perByteLog = pic->bits == 1 ? 3 : pic->bits == 2 ? 2 : pic->bits == 4 ? 1 : 0;
    int32_t perByteMask = (1 << perByteLog) - 1;
    for (int32_t x = 0; x < pic->width; x++) {
        uint32_t c = row[x] & 0xFFFFFF;
        if (c != last) {
            uint32_t h = (c * 2654435761u) >> 22 & (OUTPUT_HASH_SLOTS - 1);
            while (pic->palette[slots[h]] != c)
                h = (h + 1) & (OUTPUT_HASH_SLOTS - 1);
            index = slots[h];
            last = c;
        }
        out[x >> perByteLog] |= (uint8_t)(index << (8 - pic->bits * ((x & perByteMask) + 1)));
    }
}

/* ---- PNG ---- */

struct OutputPng {
    png_structp png;
    png_infop info;
    FILE *file;
    char message[160];
};

static void output_png_error(png_structp png, png_const_charp message)
{
    OutputPng *out = (OutputPng *)png_get_error_ptr(png);
    /* A failed write (a full disk) is told by the system's reason, not libpng's "Write Error". */
    if (ferror(out->file) && errno != 0)
        snprintf(out->message, sizeof out->message, "%s", strerror(errno));
    else
        snprintf(out->message, sizeof out->message, "%s", message);
    longjmp(png_jmpbuf(png), 1);
}

static void output_png_warning(png_structp, png_const_charp)
{
}

/* Writes the picture's rows; -1 (libpng's message in out) when libpng fails. Kept apart from
 * EmfWritePng so that nothing but out lives across the jump back. */
static int output_png_rows(OutputPng *out, const OutputPicture *pic, const uint16_t *slots,
                           uint8_t *row)
{
    if (setjmp(png_jmpbuf(out->png)))
        return -1;
    png_init_io(out->png, out->file);
    png_set_compression_level(out->png, Z_BEST_SPEED);
    png_set_filter(out->png, 0, PNG_FILTER_NONE);
    png_set_IHDR(out->png, out->info, (png_uint_32)pic->width, (png_uint_32)pic->height,
                 pic->bits, pic->colors ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color palette[OUTPUT_MAX_PALETTE];
    for (uint32_t i = 0; i < pic->colors; i++)
        palette[i] = png_color{(png_byte)(pic->palette[i] >> 16), (png_byte)(pic->palette[i] >> 8),
                               (png_byte)pic->palette[i]};
    if (pic->colors)
        png_set_PLTE(out->png, out->info, palette, (int)pic->colors);
    png_write_info(out->png, out->info);
    for (int32_t y = 0; y < pic->height; y++) {
        output_row(pic, slots, y, row);
        png_write_row(out->png, row);
    }
    png_write_end(out->png, out->info);
    return 0;
}

int EmfWritePng(cairo_surface_t *page, const char *path, char *error, size_t errorSize)
{
    OutputPicture pic;
    uint16_t slots[OUTPUT_HASH_SLOTS];
    if (output_analyse(page, &pic, slots, error, errorSize) < 0)
        return -1;
    OutputPng out;
    memset(&out, 0, sizeof out);
    out.file = fopen(path, "wb");
    if (out.file == NULL) {
        snprintf(error, errorSize, "%s cannot be written", path);
        return -1;
    }
    std::vector<uint8_t> row(pic.rowBytes);
    out.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &out, output_png_error,
                                      output_png_warning);
    out.info = out.png ? png_create_info_struct(out.png) : NULL;
    int rc = out.info ? output_png_rows(&out, &pic, slots, row.data()) : -1;
    png_destroy_write_struct(out.png ? &out.png : NULL, out.info ? &out.info : NULL);
    if (fclose(out.file) != 0 && rc == 0)
        snprintf(out.message, sizeof out.message, "%s could not be written whole", path), rc = -1;
    if (rc < 0)
        snprintf(error, errorSize, "%s", out.message[0] ? out.message : "no memory for the PNG");
    return rc;
}

/* ---- PDF ---- */

/* Each page is four objects after the catalogue (1) and the page tree (2): the page, its
 * contents, its picture and the picture's length, written once the picture is compressed. */
enum { PDF_FIRST_PAGE_OBJECT = 3, PDF_OBJECTS_PER_PAGE = 4 };

struct EmfPicturePdf {
    FILE *file;
    std::vector<long> offsets; /* of objects 1, 2, ... */
    uint32_t pages;
    char error[160];           /* the first failure; "" while all is well */
};

static void output_pdf_fail(EmfPicturePdf *pdf, const char *message)
{
    if (pdf->error[0] == 0)
        snprintf(pdf->error, sizeof pdf->error, "%s", message);
}

/* Starts object number n, which must be the next one or be written out of turn (the page tree). */
static void output_pdf_object(EmfPicturePdf *pdf, uint32_t n)
{
    if (pdf->offsets.size() < n)
        pdf->offsets.resize(n, 0);
    pdf->offsets[n - 1] = ftell(pdf->file);
    fprintf(pdf->file, "%u 0 obj\n", n);
}

EmfPicturePdf *EmfPicturePdfOpen(const char *path)
{
    EmfPicturePdf *pdf = new EmfPicturePdf();
    pdf->file = fopen(path, "wb");
    if (pdf->file == NULL) {
        snprintf(pdf->error, sizeof pdf->error, "%s cannot be written", path);
        return pdf;
    }
    fputs("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n", pdf->file);
    output_pdf_object(pdf, 1);
    fputs("<< /Type /Catalog /Pages 2 0 R >>\nendobj\n", pdf->file);
    return pdf;
}

/* The picture's samples through zlib into the file; the compressed length, or -1. */
static long output_pdf_deflate(EmfPicturePdf *pdf, const OutputPicture *pic, const uint16_t *slots)
{
    z_stream z;
    memset(&z, 0, sizeof z);
    if (deflateInit(&z, Z_BEST_SPEED) != Z_OK)
        return -1;
    std::vector<uint8_t> row(pic->rowBytes), out(1 << 16);
    long length = 0;
    for (int32_t y = 0; y <= pic->height; y++) {
        bool last = y == pic->height;
        if (!last)
            output_row(pic, slots, y, row.data());
        z.next_in = row.data();
        z.avail_in = last ? 0 : (uInt)pic->rowBytes;
        do {
            z.next_out = out.data();
            z.avail_out = (uInt)out.size();
            deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            size_t n = out.size() - z.avail_out;
            fwrite(out.data(), 1, n, pdf->file);
            length += (long)n;
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    return length;
}

void EmfPicturePdfAddPage(EmfPicturePdf *pdf, cairo_surface_t *page, const EmfPage *size)
{
    if (pdf->error[0])
        return;
    OutputPicture pic;
    uint16_t slots[OUTPUT_HASH_SLOTS];
    char error[160];
    if (output_analyse(page, &pic, slots, error, sizeof error) < 0) {
        output_pdf_fail(pdf, error);
        return;
    }
    FILE *f = pdf->file;
    uint32_t n = PDF_FIRST_PAGE_OBJECT + PDF_OBJECTS_PER_PAGE * pdf->pages;
    output_pdf_object(pdf, n);
    fprintf(f, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %.4f %.4f] "
               "/Resources << /XObject << /Page %u 0 R >> >> /Contents %u 0 R >>\nendobj\n",
            size->widthPt, size->heightPt, n + 2, n + 1);
    /* The picture stretched over the page. */
    char contents[128];
    int length = snprintf(contents, sizeof contents, "q %.4f 0 0 %.4f 0 0 cm /Page Do Q",
                          size->widthPt, size->heightPt);
    output_pdf_object(pdf, n + 1);
    fprintf(f, "<< /Length %d >>\nstream\n%s\nendstream\nendobj\n", length, contents);
    output_pdf_object(pdf, n + 2);
    fprintf(f, "<< /Type /XObject /Subtype /Image /Width %d /Height %d /BitsPerComponent %d "
               "/ColorSpace ", pic.width, pic.height, pic.bits);
    if (pic.colors) {
        fprintf(f, "[/Indexed /DeviceRGB %u <", pic.colors - 1);
        for (uint32_t i = 0; i < pic.colors; i++)
            fprintf(f, "%06X", pic.palette[i]);
        fputs(">]", f);
    } else {
        fputs("/DeviceRGB", f);
    }
    fprintf(f, " /Filter /FlateDecode /Length %u 0 R >>\nstream\n", n + 3);
    long compressed = output_pdf_deflate(pdf, &pic, slots);
    fputs("\nendstream\nendobj\n", f);
    output_pdf_object(pdf, n + 3);
    fprintf(f, "%ld\nendobj\n", compressed);
    if (compressed < 0)
        output_pdf_fail(pdf, "no memory to compress the page");
    pdf->pages++;
}

int EmfPicturePdfClose(EmfPicturePdf *pdf, char *error, size_t errorSize)
{
    FILE *f = pdf->file;
    if (f && pdf->error[0] == 0) {
        output_pdf_object(pdf, 2);
        fputs("<< /Type /Pages /Kids [", f);
        for (uint32_t i = 0; i < pdf->pages; i++)
            fprintf(f, "%s%u 0 R", i ? " " : "", PDF_FIRST_PAGE_OBJECT + PDF_OBJECTS_PER_PAGE * i);
        fprintf(f, "] /Count %u >>\nendobj\n", pdf->pages);
        long xref = ftell(f);
        fprintf(f, "xref\n0 %zu\n0000000000 65535 f \n", pdf->offsets.size() + 1);
        for (long offset : pdf->offsets)
            fprintf(f, "%010ld 00000 n \n", offset);
        fprintf(f, "trailer\n<< /Size %zu /Root 1 0 R >>\nstartxref\n%ld\n%%%%EOF\n",
                pdf->offsets.size() + 1, xref);
    }
    if (f && (ferror(f) | fclose(f)) != 0)
        output_pdf_fail(pdf, "the PDF could not be written whole");
    int rc = pdf->error[0] ? -1 : 0;
    if (rc < 0)
        snprintf(error, errorSize, "%s", pdf->error);
    delete pdf;
    return rc;
}
