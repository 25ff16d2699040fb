/* The player's state and the entry points its files share: the record walk (player.cpp), the
 * page bitmap and colour composition (compose.cpp), shapes, pens and paths (shapes.cpp), DIBs and
 * the bitmap records (bitmaps.cpp), and text (text.cpp). */
#ifndef TAVLINQX_PLAYER_PRIVATE_H
#define TAVLINQX_PLAYER_PRIVATE_H

#include <stdio.h>

#include <cairo-ft.h>

#include "emf_player.h"

#include <vector>

enum {
    PLAYER_MAX_SAVES = 16,    /* SaveDC levels kept; deeper saves are skipped with a warning */
    PLAYER_MAX_STYLE = 16,    /* dash entries used of a user-styled pen */
    PLAYER_NO_COLOR = 0xFFFFFFFFu,
};

enum : uint32_t { PLAYER_MAX_PIXELS = 1u << 27 }; /* a raster page's pixels: A3 at 600 dpi is 70 million */

/* GDI values the records carry. */
enum : uint32_t {
    PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4, PS_NULL = 5,
    PS_INSIDEFRAME = 6, PS_USERSTYLE = 7, PS_ALTERNATE = 8, PS_STYLE_MASK = 0xF,
    PS_ENDCAP_ROUND = 0, PS_ENDCAP_SQUARE = 0x100, PS_ENDCAP_FLAT = 0x200, PS_ENDCAP_MASK = 0xF00,
    PS_JOIN_ROUND = 0, PS_JOIN_BEVEL = 0x1000, PS_JOIN_MITER = 0x2000, PS_JOIN_MASK = 0xF000,
    PS_GEOMETRIC = 0x10000,
    BS_SOLID = 0, BS_NULL = 1, BS_HATCHED = 2, BS_PATTERN = 3, BS_DIBPATTERN = 5,
    BS_DIBPATTERNPT = 6,
    HS_DIAGCROSS = 5,
    TRANSPARENT = 1, OPAQUE = 2,
    ALTERNATE = 1, WINDING = 2,
    BLACKONWHITE = 1, WHITEONBLACK = 2, COLORONCOLOR = 3, HALFTONE = 4,
    R2_COPYPEN = 13,
    DIB_RGB_COLORS = 0, DIB_PAL_COLORS = 1, DIB_PAL_INDICES = 2,
};

/* A device-independent bitmap read in place from its record: pixels are fetched one at a time,
 * so a bitmap costs no memory of its own. */
struct PlayerDib {
    const uint8_t *bits;
    uint32_t stride;       /* bytes per row */
    int32_t width, height; /* height > 0 */
    bool bottomUp;
    uint16_t bpp;
    bool indices;          /* pixels are 0/1 indices (a monochrome brush), not colours */
    uint32_t masks[3];     /* red, green, blue of 16- and 32-bpp pixels */
    const uint8_t *colors; /* the colour table: RGBQUADs, or 16-bit palette indices */
    uint32_t colorCount;
    bool paletteIndices;   /* DIB_PAL_COLORS: the table holds indices into the default palette */
};

/* Where the colour of a drawn pixel comes from. */
struct PlayerBrush {
    uint32_t style;        /* BS_SOLID, BS_NULL, BS_HATCHED, BS_PATTERN (monochrome), BS_DIBPATTERNPT */
    uint32_t color;        /* 0x00RRGGBB */
    uint32_t hatch;
    PlayerDib pattern;     /* BS_PATTERN and BS_DIBPATTERNPT */
};

struct PlayerPen {
    uint32_t style;        /* the whole PS_ word */
    bool geometric;        /* as wide as its width maps to; else one pixel wide */
    bool extended;         /* made by ExtCreatePen: no background in the gaps of its dashes */
    double width;          /* logical units */
    PlayerBrush brush;
    uint32_t numEntries;   /* PS_USERSTYLE */
    uint32_t entries[PLAYER_MAX_STYLE];
};

struct PlayerFont {
    int32_t height, width, escapement, weight;
    uint8_t italic, underline, strikeOut, charSet;
    char face[96];         /* UTF-8 */
};

enum PlayerObjectKind { OBJ_NONE = 0, OBJ_PEN, OBJ_BRUSH, OBJ_FONT };

struct PlayerObject {
    PlayerObjectKind kind;
    PlayerPen pen;
    PlayerBrush brush;
    PlayerFont font;
};

/* Pixels a fill sets: [x0, x1) x [y0, y1), empty while x0 >= x1. */
struct ScanBox {
    int32_t x0, y0, x1, y1;
};

/* A set of page pixels as disjoint rectangles in bands (region.cpp); box bounds them. */
struct PlayerRegion {
    ScanBox *rects;
    uint32_t count;
    ScanBox box;
};

/* The device-context state a record can change; SaveDC copies it whole. */
struct PlayerState {
    PlayerPen pen;
    PlayerBrush brush;
    PlayerFont font;
    uint32_t rop2, bkMode, bkColor, textColor, textAlign, polyFillMode;
    uint32_t stretchMode;  /* how a shrinking bitmap record merges the pixels it drops */
    double curX, curY;     /* current position, logical */
    int32_t winOrgX, winOrgY, winExtX, winExtY, vpOrgX, vpOrgY, vpExtX, vpExtY;
    uint32_t mapMode;
    PlayerRegion clip;     /* the page pixels drawing may reach; the whole page without a clip */
};

/* The page beneath the walk: the raster page bitmap (exact pixels), the PDF page (vectors and
 * text on the device's pixel grid), or the first pass that plans the PDF page's fallback. */
enum PlayerDevice { DEVICE_RASTER = 1, DEVICE_PDF, DEVICE_PLAN };

/* How the PDF page draws a record, as the first pass decided (plan.cpp). */
enum RecordMode : uint8_t {
    RECORD_VECTOR = 0,   /* as it is: its operations do not read the page */
    RECORD_ON_WHITE,     /* on paper still blank under it: the page read as white */
    RECORD_FALLBACK,     /* by the raster page's patch over it; only its text is drawn */
    RECORD_COVERED,      /* wholly under a patch: only its text is drawn */
};

struct PdfPage;
struct TextRun;
struct BlitRun;
struct PlanPage;

struct Player {
    const EmfFile *file;
    const EmfRecord *rec;  /* the record being played, for warnings */
    uint32_t index;
    EmfWarnings *warnings;
    PlayerDevice device;
    int32_t width, height; /* the page in page pixels */
    /* device pixel -> page pixel */
    double scale, offsetX, offsetY;
    /* The recording device's whole page in page pixels: the page itself, or more where the page
     * is a window of it. */
    ScanBox whole;
    /* The context shapes are built in; on the raster page it rasterises them into the coverage
     * mask, elsewhere it stands on a scratch surface. */
    cairo_t *cover;
    /* DEVICE_RASTER: the page bitmap and the coverage mask shapes are rasterised into. */
    uint32_t *pixels;      /* 0x00RRGGBB rows of stride 4 * width bytes */
    uint32_t stride;       /* in pixels */
    cairo_surface_t *page;
    cairo_surface_t *coverSurface;
    uint8_t *coverBits;
    uint32_t coverStride;
    /* The clip as the page bitmap reads it: the pixels of clipBox, of those only the ones
     * clipMask marks when it is not NULL (one byte per page pixel, non-zero inside). */
    ScanBox clipBox;
    uint8_t *clipMask;
    PdfPage *pdf;          /* DEVICE_PDF */
    PlanPage *plan;        /* DEVICE_PLAN */
    const uint8_t *modes;  /* DEVICE_PDF: a RecordMode per record of the file */
    PlayerState state;
    PlayerState saved[PLAYER_MAX_SAVES];
    int savedCount;
    PlayerObject *objects; /* the object table, nHandles entries */
    uint32_t objectCount;
    /* The path bracket: the path context holds the figures drawn since EMR_BEGINPATH. */
    cairo_t *path;
    bool inPath, pathDone;
    bool widened;          /* EMR_WIDENPATH turned the path into widenPen's outline */
    PlayerPen widenPen;
    void *fonts;           /* text.cpp's font cache */
};

/* ---- player.cpp ---- */
void player_warn(Player *p, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
/* Logical point -> page pixel coordinates (pixel (i, j) spans [i, i+1) x [j, j+1)). */
void player_map(const Player *p, double x, double y, double *px, double *py);
/* A logical length along x -> page pixels. */
double player_map_length(const Player *p, double length);
uint32_t player_rgb(uint32_t colorref); /* COLORREF -> 0x00RRGGBB */
/* Sets up a walk of file onto a page of width x height page pixels beneath it, device pixel
 * (x, y) at page pixel (x * scale + offsetX, y * scale + offsetY); the device's own page is
 * opened after. -1 when memory runs out (player_close releases what was had). */
int player_open(Player *p, const EmfFile *file, PlayerDevice device, int32_t width,
                int32_t height, double scale, double offsetX, double offsetY,
                EmfWarnings *warnings);
/* Plays every record onto the device; -1 when the device cannot take the page's clip. */
int player_walk(Player *p);
void player_close(Player *p);
/* The raster page of file (see EmfRenderPage) for the given layout; NULL with a message. */
cairo_surface_t *player_render(const EmfFile *file, int32_t width, int32_t height, double scale,
                               double offsetX, double offsetY, EmfWarnings *warnings,
                               char *error, size_t errorSize);


/* ---- device.cpp: the walk's drawing operations, each handed to the device ---- */
/* The clip of the state changed; false when the device has no memory to take it. */
bool device_clip_changed(Player *p);
/* What a shape or a pen covers is marked first and then composed with its brush and raster
 * operation, as GDI draws it. A mark of 0 takes pixels out of what was marked before (GDI leaves
 * a pen's outline out of the interior it goes around). Each mark widens *box to hold its pixels. */
/* The pixels GDI fills for cr's current path (kept) as a polygon. */
void device_mark_path(Player *p, cairo_t *cr, bool alternate, ScanBox *box);
/* The pixels GDI fills for the polygon of n whole points (a piece of a wide pen). */
void device_mark_polygon(Player *p, const double (*pts)[2], int n, uint8_t mark, ScanBox *box);
void device_mark_rect(Player *p, const ScanBox &rect, uint8_t mark, ScanBox *box);
/* GDI's region of rect with corner ellipses of ew x eh pixels: the rows of its upper corners
 * inset by insets[row] from each side, the lower corners' mirrored (see scan_round_insets). */
void device_mark_round(Player *p, const ScanBox &rect, int32_t ew, int32_t eh,
                       const std::vector<int32_t> &insets, uint8_t mark, ScanBox *box);
/* A pixel of a line one pixel wide, inside the page. */
void device_mark_pixel(Player *p, int32_t x, int32_t y, uint8_t mark);
struct WidePen;
/* Strokes cr's path (kept) with a pen wider than a pixel: GDI's pieces of it marked (see
 * scan_wide_path) and composed with brush by the state's rop2; with brush NULL, the pieces taken
 * out of what was marked before. */
void device_stroke_wide(Player *p, cairo_t *cr, const WidePen *pen, const PlayerBrush *brush);
/* Composes what was marked within box with brush by rop2, and clears the marks. */
void device_compose(Player *p, const PlayerBrush *brush, uint32_t rop2, const ScanBox &box);
/* Sets the pixels whose centres lie in the polygon of four page corners to color. */
void device_fill_box(Player *p, const double (*corners)[2], uint32_t color);
void device_glyphs(Player *p, const TextRun *run);
void device_blit(Player *p, const BlitRun *run);
/* The record p->index has been played. */
void device_record_done(Player *p);

/* ---- compose.cpp ---- */
/* Result of a ternary raster operation (the rop's index byte) on 24-bit pixels. */
uint32_t compose_rop3(uint32_t rop3, uint32_t pattern, uint32_t source, uint32_t dest);
/* The ternary index byte that does what binary raster operation rop2 (R2_BLACK .. R2_WHITE) does. */
uint32_t compose_rop3_of_rop2(uint32_t rop2);
/* The brush's colour at page pixel (x, y); false where it leaves the pixel alone (the gaps of a
 * hatch in TRANSPARENT mode, a null brush). */
bool compose_brush_pixel(const Player *p, const PlayerBrush *brush, int32_t x, int32_t y,
                         uint32_t *color);
/* True where a hatched brush draws its line, or a monochrome one its text colour (a 0 bit). */
bool compose_brush_foreground(const Player *p, const PlayerBrush *brush, int32_t x, int32_t y);
/* Composes the brush with rop2 onto every pixel the coverage mask marks inside the clip, in
 * the box [x0, x1) x [y0, y1), and clears the mask there. */
void compose_coverage(Player *p, const PlayerBrush *brush, uint32_t rop2, int32_t x0,
                      int32_t y0, int32_t x1, int32_t y1);
/* Rasterises the current path of p->cover (filled, or stroked with its line settings) and
 * composes it. */
void compose_fill_cover(Player *p, const PlayerBrush *brush, uint32_t rop2, bool stroke);
void compose_fill_box(Player *p, const double (*corners)[2], uint32_t color);
/* True when page pixel (x, y) lies inside the page and the clip. */
bool compose_visible(const Player *p, int32_t x, int32_t y);
/* The page bitmap, white, and the coverage mask beside it; -1 when memory runs out. */
int compose_open_page(Player *p);
/* A context that rasterises into the coverage mask. */
cairo_t *compose_cover_context(Player *p);
/* Releases all of the raster page but its bitmap p->page, which its caller keeps. */
void compose_close_page(Player *p);
/* Takes the clip of the state (a new clip, or a restored one) into clipBox and clipMask; false,
 * with the mask left as it was, when there is no memory for it. */
bool compose_clip_changed(Player *p);

/* ---- region.cpp ---- */
/* Each returns -1, and leaves the region as it was, when there is no memory. */
int region_set_box(PlayerRegion *r, const ScanBox &box); /* an empty box: an empty region */
int region_copy(PlayerRegion *to, const PlayerRegion *from);
/* r becomes r combined with with by an RGN_ mode (RGN_AND .. RGN_COPY). */
int region_combine(PlayerRegion *r, const PlayerRegion *with, uint32_t mode);
/* r becomes the union of n rectangles, taken in halves so that many cost n log n. */
int region_union(PlayerRegion *r, const ScanBox *rects, uint32_t n);
/* True when every pixel of box lies in r. */
bool region_holds(const PlayerRegion *r, const ScanBox &box);
struct RegionPoint {
    int32_t x, y;
};
/* The outline of r: closed loops of pixel corners, each edge level or upright, a turn at every
 * point, going clockwise on the page (y down) round what r holds and anticlockwise round its
 * holes, so that the winding rule fills r; loops that touch at a corner stay apart. */
void region_outline(const PlayerRegion *r, std::vector<std::vector<RegionPoint>> *loops);
void region_free(PlayerRegion *r);

/* ---- shapes.cpp ---- */
/* Draws one shape record, or adds it to the open path. */
void shapes_play(Player *p, const EmfRecord *rec);
/* EMR_BEGINPATH ... EMR_STROKEANDFILLPATH */
void shapes_path_record(Player *p, const EmfRecord *rec);
/* Sets p->state.pen from an EMR_CREATEPEN or EMR_EXTCREATEPEN record. */
void shapes_read_pen(Player *p, const EmfRecord *rec, PlayerPen *pen);

/* ---- scan.cpp ---- */
/* Marks in the coverage mask the pixels GDI fills for the flat path (page coordinates), by the
 * ALTERNATE rule or else WINDING, and widens box to hold them. */
void scan_fill_path(Player *p, const cairo_path_t *path, bool alternate, ScanBox *box);
/* Marks the pixels GDI fills for cr's current path (kept) as a polygon, widening box. */
void scan_fill(Player *p, cairo_t *cr, bool alternate, ScanBox *box);

/* A pen as GDI draws it wider than a pixel: width in whole page pixels, PS_ENDCAP_ and PS_JOIN_
 * bits, the lengths in pixels of its dashes and gaps (dashCount 0: solid), and what its pixels
 * become in the coverage mask (0xFF, or 0 to take them out of a fill marked before). */
struct WidePen {
    int32_t width;
    uint32_t cap, join;
    double miterLimit;
    uint32_t dashCount;
    uint32_t dashes[PLAYER_MAX_STYLE];
    uint8_t mark;
};
/* Marks the pixels the pen covers along each figure of the flat path, from its points rounded to
 * whole pixels: segments, joins and the ends of open figures, dash by dash. */
void scan_wide_path(Player *p, const cairo_path_t *path, const WidePen *pen, ScanBox *box);

/* A whole page pixel. */
struct ScanPoint {
    int32_t x, y;
};
/* The closed outline GDI draws for a rounded rectangle of corner ellipses ew x eh (both more
 * than 2, at most the box's size) in the box [x0, x1) x [y0, y1); an ellipse has its box's size. */
void scan_round_rect_points(const ScanBox *rect, int32_t ew, int32_t eh, std::vector<ScanPoint> *pts);
/* The points GDI draws of the arc of the box's ellipse counter-clockwise from the ray through
 * start to the ray through end. */
void scan_arc_points(const ScanBox *rect, ScanPoint start, ScanPoint end, std::vector<ScanPoint> *pts);
/* Marks the region GDI fills inside such a rounded rectangle (an ellipse: ew, eh its box's
 * size). */
void scan_round_rect_region(Player *p, const ScanBox *rect, int32_t ew, int32_t eh, ScanBox *box);
/* The raster page's marks in the coverage mask (see device_mark_polygon and the rest). */
void scan_mark_polygon(Player *p, const double (*pts)[2], int n, uint8_t mark, ScanBox *box);
void scan_mark_rect(Player *p, const ScanBox &rect, uint8_t mark, ScanBox *box);
void scan_mark_round(Player *p, const ScanBox &rect, int32_t ew, int32_t eh,
                     const std::vector<int32_t> &insets, uint8_t mark, ScanBox *box);

/* ---- bitmaps.cpp ---- */
/* Reads the DIB at offBmi/offBits of rec (four DWORDs at at); false, with a warning, for a
 * form the player does not draw. */
bool bitmaps_read_dib(Player *p, const EmfRecord *rec, uint32_t at, uint32_t usage,
                      PlayerDib *dib);
/* The 0x00RRGGBB colour (or the index, for an index DIB) of pixel (x, y), y counted from the top. */
uint32_t bitmaps_pixel(const PlayerDib *dib, int32_t x, int32_t y);
/* For a DIB of 8 bits or fewer a pixel: its palette index, and the colour of an index. */
uint32_t bitmaps_index(const PlayerDib *dib, int32_t x, int32_t y);
uint32_t bitmaps_index_colour(const PlayerDib *dib, uint32_t index);

/* One axis of a transfer: the source run [start, start + count) in top-down bitmap order, read
 * back to front for a negative extent; the steps run from the destination's origin, its far end
 * for a mirrored destination. */
struct BlitAxis {
    int64_t start, count;
    bool srcBackward, destBackward;
};

/* A bitmap record placed on the page: its ternary raster operation, its source (when the
 * operation reads one) and the destination pixels [left, right) x [top, bottom). */
struct BlitRun {
    uint32_t rop3;
    bool usesSource, usesPattern;
    PlayerDib dib;
    BlitAxis ax, ay;
    int64_t left, top, right, bottom;
};

/* Places an EMR_BITBLT, EMR_STRETCHBLT or EMR_STRETCHDIBITS; false (with a warning where the
 * record is at fault) when it transfers nothing. */
bool bitmaps_place(Player *p, const EmfRecord *rec, BlitRun *run);
/* The source colour destination pixel (i, j) of the run takes, from the origin of its
 * destination, merged as the stretch mode says where the transfer shrinks; false when it falls
 * outside the bitmap. */
bool bitmaps_source(const Player *p, const BlitRun *run, int64_t i, int64_t j, uint32_t *color);
/* True when destination column i (horizontal) or row i of the run reads a pixel of the bitmap
 * along that axis; a pixel reads one when both its column and its row do. */
bool bitmaps_reads(const Player *p, const BlitRun *run, bool horizontal, int64_t i);
void bitmaps_play(Player *p, const EmfRecord *rec);
/* Composes a transfer onto the page bitmap pixel by pixel. */
void bitmaps_compose(Player *p, const BlitRun *run);

/* ---- pdf.cpp: the PDF page ---- */
/* Opens the page on the document's PDF surface, sized as page; NULL without memory. */
PdfPage *pdf_open_page(cairo_surface_t *surface, const EmfPage *page);
cairo_t *pdf_context(PdfPage *pdf);
/* The images (and 1-bit masks) placed on the page so far. */
uint32_t pdf_images(const PdfPage *pdf);
/* Shows the page and releases it; a failure of cairo's drawing on it. */
cairo_status_t pdf_close_page(PdfPage *pdf);
void pdf_clip_changed(Player *p);
/* Marks (see device_mark_path and the rest); the page leaves out what a mark of 0 would take out
 * of the marks before, since what takes it out is drawn over it next. */
void pdf_mark_fill(Player *p, cairo_t *path, bool alternate);
void pdf_mark_polygon(Player *p, const double (*pts)[2], int n);
void pdf_mark_rect(Player *p, const ScanBox &rect);
void pdf_mark_round(Player *p, const ScanBox &rect, int32_t ew, int32_t eh,
                    const std::vector<int32_t> &insets);
void pdf_mark_pixel(Player *p, int32_t x, int32_t y);
void pdf_compose(Player *p, const PlayerBrush *brush, uint32_t rop2, const ScanBox &box);
void pdf_fill_box(Player *p, const double (*corners)[2], uint32_t color);
/* A wide pen along a path of many points (the outline of an ellipse) as one PDF stroke rather
 * than GDI's pieces of it, one at each point; true when so drawn (or nothing is to be drawn). */
bool pdf_stroke_wide(Player *p, cairo_t *path, const WidePen *pen, const PlayerBrush *brush);
void pdf_glyphs(Player *p, const TextRun *run);
void pdf_blit(Player *p, const BlitRun *run);
/* Paints an RGB24 picture on the device pixels of box, one picture pixel to a device pixel. */
void pdf_place_image(PdfPage *pdf, cairo_surface_t *picture, const ScanBox &box);

/* ---- plan.cpp: the first pass of a PDF page ---- */
/* Opens the plan of p's page and records; NULL without memory. */
PlanPage *plan_open(Player *p);
void plan_close(PlanPage *plan);
/* What marks cover is planned when it is composed: over box, by rop2. */
void plan_compose(Player *p, uint32_t rop2, const ScanBox &box);
void plan_fill_box(Player *p, const double (*corners)[2]);
void plan_glyphs(Player *p, const TextRun *run);
void plan_blit(Player *p, const BlitRun *run);
void plan_record_done(Player *p);
/* After the walk: the fallback rectangles (at most maxPatches, overlapping ones merged) into
 * patches, and the records wholly under them marked RECORD_COVERED. */
void plan_finish(Player *p, ScanBox *patches, uint32_t *patchCount, uint32_t maxPatches);
/* A RecordMode per record of the file, for the PDF page's walk. */
const uint8_t *plan_modes(const PlanPage *plan);

/* ---- repack.cpp ---- */
/* Copies the PDF cairo wrote into from (read from its start) to the file to, each image of
 * 8-bit samples deflated anew with PNG's row predictors where that is smaller. Returns -1 with a
 * message when to cannot be written whole. */
int repack_pdf(FILE *from, const char *to, char *error, size_t errorSize);

/* ---- output.cpp ---- */
/* The colours of an RGB24 image into palette when it has at most most of them (up to 256), in
 * the order they are met; their count, 0 when there are more. */
uint32_t output_palette(cairo_surface_t *image, uint32_t *palette, uint32_t most);

/* ---- charset.cpp ---- */
uint32_t charset_code_page(uint8_t charset);

/* ---- text.cpp ---- */
/* A glyph of a run: its index in the face, its origin on whole page pixels, and the UTF-16
 * units of the record's string it stands for. */
struct TextGlyph {
    uint32_t index;
    int32_t x, y;
    uint32_t first, count;
};

/* An EMR_EXTTEXTOUTW laid out in its font, as every device draws it. */
struct TextRun {
    cairo_font_face_t *face;
    cairo_scaled_font_t *font; /* at a unit size; holds ft locked while the run lives */
    FT_Face ft;                /* set to the realised size */
    int32_t ppem, ascent, descent; /* the realised size in page pixels, as GDI's font engine sets it */
    double angle;              /* the escapement, radians counter-clockwise */
    bool turned;               /* not upright */
    bool glyphIndices;         /* ETO_GLYPH_INDEX: the units are glyph indices, not text */
    uint32_t color;
    double x, y;               /* the origin on the baseline after alignment, page pixels */
    double width;              /* the sum of the advances, page pixels */
    uint16_t *units;           /* the string, UTF-16 */
    uint32_t unitCount;
    TextGlyph *glyphs;
    uint32_t glyphCount;
    bool clipped;              /* ETO_CLIPPED: glyph pixels only inside clip */
    ScanBox clip;
};

void text_read_font(Player *p, const EmfRecord *rec, PlayerFont *font);
/* The code point of UTF-16 unit i of units (n of them), joining a surrogate pair; *used says
 * how many units it took. */
uint32_t text_code_point(const uint16_t *units, uint32_t n, uint32_t i, uint32_t *used);
/* Code point c as UTF-8 into b (room for 4); the bytes it took. */
size_t text_encode_utf8(uint32_t c, char *b);
void text_play(Player *p, const EmfRecord *rec);
/* Draws the glyphs of a run on the page bitmap. */
void text_raster_glyphs(Player *p, const TextRun *run);
/* Releases the font cache at the end of a page. */
void text_release(Player *p);

#endif
