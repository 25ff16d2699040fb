/* page_compare: how far the player's picture of a metafile is from GDI drawing the same calls
 * directly on the device. The reference is the Wine harness's page (a 32-bit BMP of the DISPLAY
 * device's whole surface); the metafile is the native flavour's record of the same scenario,
 * drawn by the player on the device's page, pixel for pixel.
 *
 * usage: page_compare [--mask NAME=X0,Y0,X1,Y1]... REFERENCE.bmp METAFILE.emf MAX_PERCENT [DIFF.png]
 *        page_compare --list-masks
 *
 * The measure is the share of differing pixels among those that either picture inks (any pixel
 * that is not white in one of them): a page's white background would otherwise hide any fault.
 * A mask leaves out the pixels [X0, X1) x [Y0, Y1) where the reference shows one of the ways
 * Wine's GDI is known to draw otherwise than Windows; each kind has a name and a reason
 * (--list-masks prints them). Exit status 0 when the share is at most MAX_PERCENT, 1 when above,
 * 2 when a file or an argument is unusable. DIFF.png shows the reference faded, the differing
 * pixels in red where only the reference inks, blue where only the player does and magenta where
 * both ink in other colours; masked pixels are tinted grey, those differing in dark grey.
 */
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "emf_player.h"

enum { COMPARE_OK = 0, COMPARE_ABOVE = 1, COMPARE_UNUSABLE = 2 };

static const uint32_t kWhite = 0xFFFFFF;

/* The ways Wine's GDI draws a scenario otherwise than Windows does, where the player follows
 * Windows. */
struct MaskKind {
    const char *name;
    const char *reason;
};

static const MaskKind kMaskKinds[] = {
    {"wine.dot-dashes",
     "a geometric pen's dash pattern whose gap is as long as the whole pattern (PS_DOT with round "
     "or square ends: dashes of no length, gaps of two widths) stops after its first dot: Wine "
     "skips a gap by its length modulo the pattern's, which is no skip at all; Windows draws every "
     "dot, and so does the player"},
    {"wine.turned-text-cell",
     "in OPAQUE mode Wine fills the background of turned text as an upright box from the text's "
     "start to the end of its advance along x (nothing at 90 degrees); Windows fills the text's "
     "cell turned with the text, and so does the player"},
    {"wine.own-faces",
     "Wine realises Times New Roman and Courier New with faces of its own, where the recorder's "
     "advances and the player's glyphs come from their metric-compatible Liberation faces: the "
     "glyphs differ in shape"},
    {"wine.unsmoothed-advances",
     "the reference realises its font unsmoothed, as a printer does, and Wine then advances by "
     "the font's one-bit hinted widths; the metafile records, and the player follows, the widths "
     "of the font at its default quality, which Windows keeps at every quality: glyphs after the "
     "first drift by a pixel or two along a line"},
    {"wine.hatch-rop3",
     "in a raster operation of pattern and source Wine places a hatched brush at twice the "
     "destination's offset from the device origin and, in TRANSPARENT mode, fills the hatch's gaps "
     "with what its operation's steps leave there; Windows aligns every brush with the brush "
     "origin and leaves the gaps of a transparent hatch alone, and so does the player"},
};

/* A rectangle of the page, [x0, x1) x [y0, y1), left out for one kind of difference. */
struct Mask {
    const MaskKind *kind;
    int32_t x0, y0, x1, y1;
    size_t differing; /* pixels that differ inside it */
};

/* A picture as 0x00RRGGBB per pixel, rows from the top. */
struct Picture {
    int32_t width, height;
    std::vector<uint32_t> pixels;
};

static uint32_t le32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | (uint32_t)p[3] << 24; }

/* Reads an uncompressed 24- or 32-bit BMP, top-down or bottom-up. */
static int compare_read_bmp(const char *path, Picture *out)
{
    FILE *in = fopen(path, "rb");
    if (in == NULL) {
        fprintf(stderr, "page_compare: %s: %s\n", path, strerror(errno));
        return -1;
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, in)) > 0;)
        bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(in);
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') {
        fprintf(stderr, "page_compare: %s: not a BMP file\n", path);
        return -1;
    }
    uint32_t offBits = le32(&bytes[10]);
    int32_t width = (int32_t)le32(&bytes[18]), height = (int32_t)le32(&bytes[22]);
    uint32_t bitCount = bytes[28] | bytes[29] << 8, compression = le32(&bytes[30]);
    bool topDown = height < 0;
    int64_t rows = topDown ? -(int64_t)height : height;
    if ((bitCount != 24 && bitCount != 32) || compression != 0 || width <= 0 || width > 32767 || rows <= 0 ||
        rows > 32767) {
        fprintf(stderr, "page_compare: %s: not an uncompressed 24- or 32-bit BMP\n", path);
        return -1;
    }
    size_t stride = ((size_t)width * bitCount / 8 + 3) & ~(size_t)3;
    if (offBits > bytes.size() || bytes.size() - offBits < stride * (size_t)rows) {
        fprintf(stderr, "page_compare: %s: the pixels are cut short\n", path);
        return -1;
    }
    out->width = width;
    out->height = (int32_t)rows;
    out->pixels.resize((size_t)width * (size_t)rows);
    for (int64_t y = 0; y < rows; y++) {
        const uint8_t *row = &bytes[offBits + stride * (size_t)(topDown ? y : rows - 1 - y)];
        for (int32_t x = 0; x < width; x++) {
            const uint8_t *px = row + (size_t)x * (bitCount / 8);
            out->pixels[(size_t)y * width + x] = px[2] << 16 | px[1] << 8 | px[0];
        }
    }
    return 0;
}

/* Draws the metafile with the player on its reference device's page. */
static int compare_render(const char *path, Picture *out)
{
    EmfFile file;
    char error[256];
    if (EmfLoadFile(path, &file, error, sizeof error) < 0) {
        fprintf(stderr, "page_compare: %s: %s\n", path, error);
        return -1;
    }
    EmfWarnings warnings;
    cairo_surface_t *page = EmfRenderPage(&file, NULL, &warnings, error, sizeof error);
    EmfFree(&file);
    if (page == NULL) {
        fprintf(stderr, "page_compare: %s: %s\n", path, error);
        return -1;
    }
    for (uint32_t i = 0; i < warnings.count; i++)
        fprintf(stderr, "page_compare: %s: %s\n", path, warnings.text[i]);
    out->width = cairo_image_surface_get_width(page);
    out->height = cairo_image_surface_get_height(page);
    int stride = cairo_image_surface_get_stride(page);
    const uint8_t *data = cairo_image_surface_get_data(page);
    out->pixels.resize((size_t)out->width * out->height);
    for (int32_t y = 0; y < out->height; y++)
        memcpy(&out->pixels[(size_t)y * out->width], data + (size_t)y * stride, (size_t)out->width * 4);
    for (uint32_t &px : out->pixels)
        px &= 0xFFFFFF;
    cairo_surface_destroy(page);
    return 0;
}

/* The mask that leaves out pixel (x, y), or NULL. */
static Mask *compare_masked(std::vector<Mask> &masks, int32_t x, int32_t y)
{
    for (Mask &m : masks)
        if (x >= m.x0 && x < m.x1 && y >= m.y0 && y < m.y1)
            return &m;
    return NULL;
}

/* "NAME=X0,Y0,X1,Y1" -> *mask; -1 with a message for a name no kind has or a bad rectangle. */
static int compare_parse_mask(const char *arg, Mask *mask)
{
    const char *equals = strchr(arg, '=');
    mask->kind = NULL;
    mask->differing = 0;
    for (const MaskKind &k : kMaskKinds)
        if (equals != NULL && strlen(k.name) == (size_t)(equals - arg) && strncmp(k.name, arg, equals - arg) == 0)
            mask->kind = &k;
    int used = 0;
    if (mask->kind == NULL ||
        sscanf(equals + 1, "%d,%d,%d,%d%n", &mask->x0, &mask->y0, &mask->x1, &mask->y1, &used) != 4 ||
        equals[1 + used] != '\0' || mask->x0 >= mask->x1 || mask->y0 >= mask->y1) {
        fprintf(stderr, "page_compare: --mask %s: not NAME=X0,Y0,X1,Y1 with a NAME of --list-masks and "
                        "X0 < X1, Y0 < Y1\n", arg);
        return -1;
    }
    return 0;
}

/* The colour of a differing pixel in the diff picture: who inks it. */
static uint32_t compare_diff_colour(uint32_t ref, uint32_t got)
{
    if (got == kWhite)
        return 0xFF0000;
    return ref == kWhite ? 0x0000FF : 0xFF00FF;
}

/* The reference faded towards white, with the differing pixels coloured by who inks them and
 * the masks in grey. */
static int compare_write_diff(const Picture &ref, const Picture &got, std::vector<Mask> &masks,
                              const char *path)
{
    cairo_surface_t *diff = cairo_image_surface_create(CAIRO_FORMAT_RGB24, ref.width, ref.height);
    cairo_surface_flush(diff);
    uint8_t *data = cairo_image_surface_get_data(diff);
    int stride = cairo_image_surface_get_stride(diff);
    for (int32_t y = 0; y < ref.height; y++) {
        uint32_t *row = (uint32_t *)(data + (size_t)y * stride);
        for (int32_t x = 0; x < ref.width; x++) {
            size_t i = (size_t)y * ref.width + x;
            uint32_t r = ref.pixels[i];
            bool masked = compare_masked(masks, x, y) != NULL;
            if (r != got.pixels[i]) {
                row[x] = masked ? 0x606060 : compare_diff_colour(r, got.pixels[i]);
                continue;
            }
            uint32_t faded = 0, towards = masked ? 0xC0 : 0xFF;
            for (int shift = 0; shift < 24; shift += 8)
                faded |= (((r >> shift & 0xFF) + 3 * towards) / 4) << shift;
            row[x] = faded;
        }
    }
    cairo_surface_mark_dirty(diff);
    cairo_status_t status = cairo_surface_write_to_png(diff, path);
    cairo_surface_destroy(diff);
    if (status != CAIRO_STATUS_SUCCESS) {
        fprintf(stderr, "page_compare: %s: %s\n", path, cairo_status_to_string(status));
        return -1;
    }
    return 0;
}

static int compare_usage(void)
{
    fprintf(stderr, "usage: page_compare [--mask NAME=X0,Y0,X1,Y1]... REFERENCE.bmp METAFILE.emf MAX_PERCENT "
                    "[DIFF.png]\n       page_compare --list-masks\n");
    return COMPARE_UNUSABLE;
}

int main(int argc, char **argv)
{
    if (argc == 2 && strcmp(argv[1], "--list-masks") == 0) {
        for (const MaskKind &k : kMaskKinds)
            printf("%s: %s\n", k.name, k.reason);
        return COMPARE_OK;
    }
    std::vector<Mask> masks;
    int arg = 1;
    for (; arg + 1 < argc && strcmp(argv[arg], "--mask") == 0; arg += 2) {
        Mask mask;
        if (compare_parse_mask(argv[arg + 1], &mask) < 0)
            return COMPARE_UNUSABLE;
        masks.push_back(mask);
    }
    if (argc - arg != 3 && argc - arg != 4)
        return compare_usage();
    char *end;
    double maxPercent = strtod(argv[arg + 2], &end);
    if (*end != '\0' || !(maxPercent >= 0 && maxPercent <= 100)) {
        fprintf(stderr, "page_compare: MAX_PERCENT must be a number from 0 to 100\n");
        return COMPARE_UNUSABLE;
    }
    Picture ref, got;
    if (compare_read_bmp(argv[arg], &ref) < 0 || compare_render(argv[arg + 1], &got) < 0)
        return COMPARE_UNUSABLE;
    if (ref.width != got.width || ref.height != got.height) {
        fprintf(stderr, "page_compare: the reference is %d x %d pixels, the player's page %d x %d\n", ref.width,
                ref.height, got.width, got.height);
        return COMPARE_UNUSABLE;
    }
    size_t inked = 0, differing = 0;
    for (int32_t y = 0; y < ref.height; y++)
        for (int32_t x = 0; x < ref.width; x++) {
            size_t i = (size_t)y * ref.width + x;
            bool differs = ref.pixels[i] != got.pixels[i];
            Mask *mask = compare_masked(masks, x, y);
            if (mask != NULL) {
                mask->differing += differs;
                continue;
            }
            inked += ref.pixels[i] != kWhite || got.pixels[i] != kWhite;
            differing += differs;
        }
    double percent = inked ? 100.0 * (double)differing / (double)inked : 0.0;
    printf("%zu of %zu inked pixels differ (%.2f%%; at most %.2f%% allowed)\n", differing, inked, percent,
           maxPercent);
    for (const Mask &m : masks)
        printf("left out: %s at (%d,%d)-(%d,%d), %zu pixels differing there\n", m.kind->name, m.x0, m.y0,
               m.x1, m.y1, m.differing);
    if (arg + 3 < argc && compare_write_diff(ref, got, masks, argv[arg + 3]) < 0)
        return COMPARE_UNUSABLE;
    return percent <= maxPercent ? COMPARE_OK : COMPARE_ABOVE;
}
