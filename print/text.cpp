/* Text: EMR_EXTCREATEFONTINDIRECTW fonts matched by fontconfig, and EMR_EXTTEXTOUTW/A drawn
 * glyph by glyph at the record's own advances, turned by the font's escapement, aligned as the
 * DC's text alignment says, over the opaque box or rectangle GDI fills first. */
#include "player_private.h"

#include <algorithm>
#include <errno.h>
#include <iconv.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>
#include <freetype/tttables.h>

#include "standin.h"

using namespace emf;

enum : uint32_t {
    TA_UPDATECP = 1, TA_RIGHT = 2, TA_CENTER = 6, TA_HMASK = 6,
    TA_BOTTOM = 8, TA_BASELINE = 24, TA_VMASK = 24,
    ETO_OPAQUE = 2, ETO_CLIPPED = 4, ETO_GLYPH_INDEX = 0x10,
    FW_NORMAL = 400,
    TEXT_CACHE = 16,        /* fonts kept matched during a page */
    TEXT_DEFAULT_HEIGHT = 16, /* the cell height of a font asking for height 0, logical units */
    /* The largest em drawn, in device pixels: 69 cm at 600 dpi. A glyph's bitmap grows with
     * the square of it, and FreeType sizes no face past 65535 pixels. */
    TEXT_MAX_EM = 16384,
};

static const char TEXT_DEFAULT_FACE[] = "Liberation Sans";

struct TextFace {
    PlayerFont key;
    cairo_font_face_t *face;
};

struct TextCache {
    TextFace faces[TEXT_CACHE];
    uint32_t count, next;
};

size_t text_encode_utf8(uint32_t c, char *b)
{
    if (c < 0x80) {
        b[0] = (char)c;
        return 1;
    }
    if (c < 0x800) {
        b[0] = (char)(0xC0 | c >> 6), b[1] = (char)(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        b[0] = (char)(0xE0 | c >> 12), b[1] = (char)(0x80 | (c >> 6 & 0x3F));
        b[2] = (char)(0x80 | (c & 0x3F));
        return 3;
    }
    b[0] = (char)(0xF0 | c >> 18), b[1] = (char)(0x80 | (c >> 12 & 0x3F));
    b[2] = (char)(0x80 | (c >> 6 & 0x3F)), b[3] = (char)(0x80 | (c & 0x3F));
    return 4;
}

/* Appends code point c to out as UTF-8; false when it does not fit. */
static bool text_put_utf8(char *out, size_t size, size_t *len, uint32_t c)
{
    char b[4];
    size_t n = text_encode_utf8(c, b);
    if (*len + n >= size)
        return false;
    memcpy(out + *len, b, n);
    *len += n;
    out[*len] = 0;
    return true;
}

uint32_t text_code_point(const uint16_t *units, uint32_t n, uint32_t i, uint32_t *used)
{
    uint32_t c = units[i];
    *used = 1;
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
        *used = 2;
        return 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
    }
    return c;
}

void text_read_font(Player *p, const EmfRecord *rec, PlayerFont *font)
{
    (void)p;
    uint32_t at = offsetof(EMREXTCREATEFONTINDIRECTW, elfw);
    memset(font, 0, sizeof *font);
    font->height = EmfI32(rec, at + offsetof(LOGFONTW, lfHeight));
    font->width = EmfI32(rec, at + offsetof(LOGFONTW, lfWidth));
    font->escapement = EmfI32(rec, at + offsetof(LOGFONTW, lfEscapement));
    font->weight = EmfI32(rec, at + offsetof(LOGFONTW, lfWeight));
    font->italic = rec->data[at + offsetof(LOGFONTW, lfItalic)];
    font->underline = rec->data[at + offsetof(LOGFONTW, lfUnderline)];
    font->strikeOut = rec->data[at + offsetof(LOGFONTW, lfStrikeOut)];
    font->charSet = rec->data[at + offsetof(LOGFONTW, lfCharSet)];
    uint16_t units[32];
    uint32_t n = 0;
    while (n < 32 && (units[n] = EmfU16(rec, at + offsetof(LOGFONTW, lfFaceName) + 2 * n)) != 0)
        n++;
    size_t len = 0;
    for (uint32_t i = 0, used = 1; i < n; i += used)
        if (!text_put_utf8(font->face, sizeof font->face, &len, text_code_point(units, n, i, &used)))
            break;
}

/* fontconfig's best face for the font: its face name (or ours), weight, slant and script. */
static cairo_font_face_t *text_match(const PlayerFont *font)
{
    FcPattern *pattern = FcPatternCreate();
    if (pattern == NULL)
        return NULL;
    FcPatternAddString(pattern, FC_FAMILY,
                       (const FcChar8 *)(font->face[0] ? font->face : TEXT_DEFAULT_FACE));
    int weight = font->weight > 0 ? font->weight : (int)FW_NORMAL;
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, font->italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    if (const char *lang = StandinCharsetLanguage(font->charSet))
        FcPatternAddString(pattern, FC_LANG, (const FcChar8 *)lang);
    /* The configuration fontconfig loads on first use is freed only by FcFini: at exit. */
    static bool finiAtExit = atexit(FcFini) == 0;
    (void)finiAtExit;
    FcConfigSubstitute(NULL, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern *match = FcFontMatch(NULL, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == NULL)
        return NULL;
    cairo_font_face_t *face = cairo_ft_font_face_create_for_pattern(match);
    FcPatternDestroy(match);
    return face;
}

static bool text_same_font(const PlayerFont *a, const PlayerFont *b)
{
    return a->weight == b->weight && a->italic == b->italic && a->charSet == b->charSet &&
           strcmp(a->face, b->face) == 0;
}

static cairo_font_face_t *text_face(Player *p, const PlayerFont *font)
{
    TextCache *cache = (TextCache *)p->fonts;
    if (cache == NULL && (cache = (TextCache *)calloc(1, sizeof *cache)) == NULL)
        return NULL;
    p->fonts = cache;
    for (uint32_t i = 0; i < cache->count; i++)
        if (text_same_font(&cache->faces[i].key, font))
            return cache->faces[i].face;
    cairo_font_face_t *face = text_match(font);
    if (face == NULL)
        return NULL;
    uint32_t slot = cache->count < TEXT_CACHE ? cache->count++ : cache->next++ % TEXT_CACHE;
    if (cache->faces[slot].face)
        cairo_font_face_destroy(cache->faces[slot].face);
    cache->faces[slot].key = *font;
    cache->faces[slot].face = face;
    return face;
}

void text_release(Player *p)
{
    TextCache *cache = (TextCache *)p->fonts;
    if (cache == NULL)
        return;
    for (uint32_t i = 0; i < cache->count; i++)
        cairo_font_face_destroy(cache->faces[i].face);
    free(cache);
    p->fonts = NULL;
}

/* The characters of the record as UTF-16 units in a new block (n of them); EMR_EXTTEXTOUTA's
 * bytes are converted with the code page of the font's character set. */
static uint16_t *text_units(Player *p, const EmfRecord *rec, uint32_t nChars, uint32_t offString,
                            uint32_t *n)
{
    uint16_t *units = (uint16_t *)calloc(nChars ? nChars : 1, sizeof *units);
    if (units == NULL)
        return NULL;
    *n = nChars;
    if (rec->iType == EMR_EXTTEXTOUTW) {
        for (uint32_t i = 0; i < nChars; i++)
            units[i] = EmfU16(rec, offString + 2 * i);
        return units;
    }
    char codepage[16];
    snprintf(codepage, sizeof codepage, "CP%u", charset_code_page(p->state.font.charSet));
    iconv_t cd = iconv_open("UTF-16LE", codepage);
    if (cd == (iconv_t)-1) {
        player_warn(p, "no converter from %s; bytes taken as Latin-1", codepage);
        for (uint32_t i = 0; i < nChars; i++)
            units[i] = rec->data[offString + i];
        return units;
    }
    /* One unit per byte at most; a byte that does not convert ends the string. */
    char *in = (char *)rec->data + offString, *out = (char *)units;
    size_t inLeft = nChars, outLeft = 2 * (size_t)nChars;
    iconv(cd, &in, &inLeft, &out, &outLeft);
    iconv_close(cd);
    *n = (uint32_t)(nChars - outLeft / 2);
    return units;
}

/* Sizes the face as GDI's font engine sizes the font in page pixels; false for a size too large
 * to draw. */
static bool text_set_size(Player *p, FT_Face ft, TextRun *run)
{
    const PlayerFont &f = p->state.font;
    TT_OS2 *os2 = (TT_OS2 *)FT_Get_Sfnt_Table(ft, FT_SFNT_OS2);
    double ascent = os2 && os2->usWinAscent + os2->usWinDescent > 0 ? os2->usWinAscent : ft->ascender;
    double descent = os2 && os2->usWinAscent + os2->usWinDescent > 0 ? os2->usWinDescent
                                                                     : -ft->descender;
    double height = player_map_length(p, f.height != 0 ? fabs((double)f.height)
                                                       : (double)TEXT_DEFAULT_HEIGHT);
    if (f.height >= 0 && ascent + descent > 0)
        height = height * ft->units_per_EM / (ascent + descent);
    if (!(height <= TEXT_MAX_EM * p->scale))
        return false;
    run->ppem = (int32_t)fmax(floor(height + 0.5), 1);
    FT_Set_Transform(ft, NULL, NULL);
    if (FT_Set_Pixel_Sizes(ft, 0, (FT_UInt)run->ppem) != 0 && ft->num_fixed_sizes > 0)
        FT_Select_Size(ft, 0);
    FT_Fixed scale = ft->size->metrics.y_scale;
    run->ascent = (int32_t)((FT_MulFix((FT_Long)ascent, scale) + 32) >> 6);
    run->descent = (int32_t)((FT_MulFix((FT_Long)descent, scale) + 32) >> 6);
    return true;
}

/* Draws one glyph as GDI's font engine renders it for a printer: hinted for a one-bit target
 * and not smoothed (an embedded bitmap where the face has one at this size and the glyph is
 * upright), its bitmap placed on whole pixels from the glyph origin. */
static void text_draw_glyph(Player *p, const TextRun *run, const TextGlyph *g)
{
    FT_Face ft = run->ft;
    FT_Int32 flags = FT_LOAD_TARGET_MONO | (run->turned ? FT_LOAD_NO_BITMAP : 0);
    if (FT_Load_Glyph(ft, g->index, flags) != 0 ||
        (ft->glyph->format != FT_GLYPH_FORMAT_BITMAP &&
         FT_Render_Glyph(ft->glyph, FT_RENDER_MODE_MONO) != 0))
        return;
    const FT_Bitmap &bm = ft->glyph->bitmap;
    if (bm.pixel_mode != FT_PIXEL_MODE_MONO && bm.pixel_mode != FT_PIXEL_MODE_GRAY)
        return;
    const ScanBox &clip = run->clip;
    int64_t left = (int64_t)g->x + ft->glyph->bitmap_left, top = (int64_t)g->y - ft->glyph->bitmap_top;
    /* Only the bitmap's part inside the clip's box: a large glyph is mostly off the page. */
    const ScanBox &box = p->clipBox;
    int64_t j0 = std::max<int64_t>(0, box.y0 - top), j1 = std::min<int64_t>(bm.rows, box.y1 - top);
    int64_t i0 = std::max<int64_t>(0, box.x0 - left), i1 = std::min<int64_t>(bm.width, box.x1 - left);
    for (int64_t j = j0; j < j1; j++) {
        int32_t y = (int32_t)(top + j);
        const uint8_t *row = bm.buffer + (ptrdiff_t)j * bm.pitch;
        for (int64_t i = i0; i < i1; i++) {
            int32_t x = (int32_t)(left + i);
            bool ink = bm.pixel_mode == FT_PIXEL_MODE_MONO ? (row[i >> 3] >> (7 - (i & 7)) & 1)
                                                           : row[i] >= 128;
            if (!ink || !compose_visible(p, x, y) ||
                (run->clipped && (x < clip.x0 || x >= clip.x1 || y < clip.y0 || y >= clip.y1)))
                continue;
            p->pixels[(size_t)y * p->stride + x] = run->color;
        }
    }
}

void text_raster_glyphs(Player *p, const TextRun *run)
{
    if (run->turned) {
        double a = run->angle;
        FT_Matrix m = {(FT_Fixed)lround(cos(a) * 65536), (FT_Fixed)lround(-sin(a) * 65536),
                       (FT_Fixed)lround(sin(a) * 65536), (FT_Fixed)lround(cos(a) * 65536)};
        FT_Set_Transform(run->ft, &m, NULL);
    }
    for (uint32_t i = 0; i < run->glyphCount; i++)
        text_draw_glyph(p, run, &run->glyphs[i]);
    FT_Set_Transform(run->ft, NULL, NULL);
}

/* A rectangle of the record (logical units) as page corners. */
static void text_rect_corners(Player *p, const EmfRecord *rec, uint32_t at, double (*c)[2])
{
    double x0, y0, x1, y1;
    player_map(p, EmfI32(rec, at), EmfI32(rec, at + 4), &x0, &y0);
    player_map(p, EmfI32(rec, at + 8), EmfI32(rec, at + 12), &x1, &y1);
    double box[4][2] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
    memcpy(c, box, sizeof box);
}

/* The box from a to b along the baseline and from d0 to d1 across it, from the run's origin, as
 * four page corners. */
static void text_turned_box(const TextRun *run, double a, double b, double d0, double d1,
                            double (*c)[2])
{
    double dirX = cos(run->angle), dirY = -sin(run->angle); /* along the baseline, y down */
    double downX = sin(run->angle), downY = cos(run->angle);
    for (int k = 0; k < 4; k++) {
        double along = (k == 1 || k == 2) ? b : a, across = k >= 2 ? d1 : d0;
        c[k][0] = run->x + along * dirX + across * downX;
        c[k][1] = run->y + along * dirY + across * downY;
    }
}

/* The advance of character i of the record along x (and, with ETO_PDY, its rise). */
static double text_advance(const EmfRecord *rec, uint32_t offDx, bool pdy, uint32_t i, double *rise)
{
    if (pdy)
        *rise = EmfI32(rec, offDx + 8 * i + 4);
    return EmfI32(rec, offDx + (pdy ? 8 : 4) * i);
}

/* A glyph origin in whole page pixels. Advances can carry a glyph billions of pixels off the page;
 * it is held at 2^30 pixels, where adding the glyph's own offsets cannot overflow. */
static int32_t text_pixel(double v)
{
    const double far = 1 << 30;
    return (int32_t)(v > -far ? (v < far ? v : far) : -far); /* NaN goes far off too */
}

/* Places the run: its reference point on whole pixels, moved by the alignment along and across
 * the baseline (each move rounded to whole pixels as GDI moves it), and each glyph at its origin
 * from the sum of the advances so far, rounded to a pixel. Moves the current position when the
 * alignment says so. */
static bool text_place(Player *p, const EmfRecord *rec, TextRun *run)
{
    uint32_t nChars = EmfU32(rec, offsetof(EMREXTTEXTOUTW, emrtext.nChars));
    uint32_t options = EmfU32(rec, offsetof(EMREXTTEXTOUTW, emrtext.fOptions));
    uint32_t offDx = EmfU32(rec, offsetof(EMREXTTEXTOUTW, emrtext.offDx));
    bool pdy = (options & EMF_ETO_PDY) != 0;
    PlayerState &s = p->state;
    double total = 0, rise = 0;
    for (uint32_t i = 0; i < nChars; i++)
        total += text_advance(rec, offDx, pdy, i, &rise);
    double refX = EmfI32(rec, offsetof(EMREXTTEXTOUTW, emrtext.ptlReference));
    double refY = EmfI32(rec, offsetof(EMREXTTEXTOUTW, emrtext.ptlReference) + 4);
    if (s.textAlign & TA_UPDATECP) {
        refX = s.curX;
        refY = s.curY;
    }
    double px, py;
    player_map(p, refX, refY, &px, &py);
    px = floor(px), py = floor(py);
    double dirX = cos(run->angle), dirY = -sin(run->angle);
    double downX = sin(run->angle), downY = cos(run->angle);
    run->width = player_map_length(p, total);
    uint32_t h = s.textAlign & TA_HMASK;
    double shift = h == TA_CENTER ? run->width / 2 : h == TA_RIGHT ? run->width : 0;
    px -= floor(shift * dirX + 0.5);
    py -= floor(shift * dirY + 0.5);
    /* GDI moves the point to the baseline along the turned cell's side and keeps the whole
     * pixels of where it lands, cutting off the fraction. */
    uint32_t v = s.textAlign & TA_VMASK;
    double drop = v == TA_BASELINE ? 0 : v == TA_BOTTOM ? -run->descent : run->ascent;
    run->x = trunc(px + drop * downX);
    run->y = trunc(py + drop * downY);
    if ((s.textAlign & TA_UPDATECP) && h != TA_CENTER) /* past the text, back when right-aligned */
        s.curX = refX + (h == TA_RIGHT ? -total : total);
    run->glyphs = (TextGlyph *)calloc(run->unitCount ? run->unitCount : 1, sizeof *run->glyphs);
    if (run->glyphs == NULL)
        return false;
    double along = 0;
    rise = 0;
    for (uint32_t i = 0, used = 1, ch = 0; i < run->unitCount && ch < nChars; i += used) {
        uint32_t c = text_code_point(run->units, run->unitCount, i, &used);
        TextGlyph &g = run->glyphs[run->glyphCount++];
        g.index = run->glyphIndices ? run->units[i] : FT_Get_Char_Index(run->ft, c);
        double a = player_map_length(p, along), r = player_map_length(p, rise);
        g.x = text_pixel(run->x + floor(a * dirX - r * downX + 0.5));
        g.y = text_pixel(run->y + floor(a * dirY - r * downY + 0.5));
        g.first = i;
        g.count = used;
        for (uint32_t k = 0; k < used && ch < nChars; k++, ch++) {
            double dy = 0;
            along += text_advance(rec, offDx, pdy, ch, &dy);
            rise += dy;
        }
    }
    return true;
}

/* Lays out the text of rec in the selected font; false, with a warning, when it cannot be. */
static bool text_layout(Player *p, const EmfRecord *rec, TextRun *run)
{
    uint32_t nChars = EmfU32(rec, offsetof(EMREXTTEXTOUTW, emrtext.nChars));
    uint32_t offString = EmfU32(rec, offsetof(EMREXTTEXTOUTW, emrtext.offString));
    uint32_t options = EmfU32(rec, offsetof(EMREXTTEXTOUTW, emrtext.fOptions));
    const PlayerState &s = p->state;
    run->face = text_face(p, &s.font);
    if (run->face == NULL) {
        player_warn(p, "no font matches \"%s\"", s.font.face);
        return false;
    }
    run->units = text_units(p, rec, nChars, offString, &run->unitCount);
    cairo_matrix_t unit;
    cairo_matrix_init_identity(&unit);
    cairo_font_options_t *fontOptions = cairo_font_options_create();
    run->font = cairo_scaled_font_create(run->face, &unit, &unit, fontOptions);
    cairo_font_options_destroy(fontOptions);
    run->ft = cairo_scaled_font_status(run->font) == CAIRO_STATUS_SUCCESS
                  ? cairo_ft_scaled_font_lock_face(run->font) : NULL;
    if (run->units == NULL || run->ft == NULL) {
        player_warn(p, "no memory or no font for the text");
        return false;
    }
    if (!text_set_size(p, run->ft, run)) {
        player_warn(p, "text with an em over %d device pixels not drawn", (int)TEXT_MAX_EM);
        return false;
    }
    run->angle = s.font.escapement / 10.0 * M_PI / 180.0;
    run->turned = s.font.escapement % 3600 != 0;
    run->glyphIndices = (options & ETO_GLYPH_INDEX) != 0;
    run->color = s.textColor;
    if (!text_place(p, rec, run)) {
        player_warn(p, "no memory or no font for the text");
        return false;
    }
    if (options & ETO_CLIPPED) {
        double c[4][2];
        text_rect_corners(p, rec, offsetof(EMREXTTEXTOUTW, emrtext.rcl), c);
        run->clipped = true;
        run->clip = ScanBox{(int32_t)ceil(fmin(c[0][0], c[2][0]) - 0.5),
                            (int32_t)ceil(fmin(c[0][1], c[2][1]) - 0.5),
                            (int32_t)ceil(fmax(c[0][0], c[2][0]) - 0.5),
                            (int32_t)ceil(fmax(c[0][1], c[2][1]) - 0.5)};
    }
    return true;
}

static void text_release_run(TextRun *run)
{
    if (run->ft)
        cairo_ft_scaled_font_unlock_face(run->font);
    if (run->font)
        cairo_scaled_font_destroy(run->font);
    free(run->units);
    free(run->glyphs);
}

void text_play(Player *p, const EmfRecord *rec)
{
    uint32_t nChars = EmfU32(rec, offsetof(EMREXTTEXTOUTW, emrtext.nChars));
    uint32_t options = EmfU32(rec, offsetof(EMREXTTEXTOUTW, emrtext.fOptions));
    const PlayerState &s = p->state;
    if (options & ETO_OPAQUE) {
        double c[4][2];
        text_rect_corners(p, rec, offsetof(EMREXTTEXTOUTW, emrtext.rcl), c);
        device_fill_box(p, c, s.bkColor);
    }
    if (nChars == 0)
        return;
    if (p->inPath) {
        player_warn(p, "text in a path not played");
        return;
    }
    TextRun run;
    memset(&run, 0, sizeof run);
    if (text_layout(p, rec, &run)) {
        if (s.bkMode == OPAQUE && !(options & ETO_OPAQUE)) {
            double c[4][2]; /* the cell behind the text, turned with it */
            text_turned_box(&run, 0, run.width, -run.ascent, run.descent, c);
            device_fill_box(p, c, s.bkColor);
        }
        device_glyphs(p, &run);
        /* Lines one twentieth of the em thick under the baseline or through the x-height. */
        double em = run.ppem, thick = fmax(em / 20, 1.0);
        if (s.font.underline || s.font.strikeOut) {
            double c[4][2];
            if (s.font.underline) {
                text_turned_box(&run, 0, run.width, em / 10, em / 10 + thick, c);
                device_fill_box(p, c, s.textColor);
            }
            if (s.font.strikeOut) {
                text_turned_box(&run, 0, run.width, -em / 4, -em / 4 + thick, c);
                device_fill_box(p, c, s.textColor);
            }
        }
    }
    text_release_run(&run);
}
