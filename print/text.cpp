/* Text: EMR_EXTCREATEFONTINDIRECTW fonts matched by fontconfig, and EMR_EXTTEXTOUTW/A drawn
 * glyph by glyph at the record's own advances, turned by the font's escapement, aligned as the
 * DC's text alignment says, over the opaque box or rectangle GDI fills first. */
#include "player_private.h"

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

/* Appends code point c to out as UTF-8; false when it does not fit. */
static bool text_put_utf8(char *out, size_t size, size_t *len, uint32_t c)
{
    char b[4];
    size_t n;
    if (c < 0x80) {
        b[0] = (char)c, n = 1;
    } else if (c < 0x800) {
        b[0] = (char)(0xC0 | c >> 6), b[1] = (char)(0x80 | (c & 0x3F)), n = 2;
    } else if (c < 0x10000) {
        b[0] = (char)(0xE0 | c >> 12), b[1] = (char)(0x80 | (c >> 6 & 0x3F));
        b[2] = (char)(0x80 | (c & 0x3F)), n = 3;
    } else {
        b[0] = (char)(0xF0 | c >> 18), b[1] = (char)(0x80 | (c >> 12 & 0x3F));
        b[2] = (char)(0x80 | (c >> 6 & 0x3F)), b[3] = (char)(0x80 | (c & 0x3F)), n = 4;
    }
    if (*len + n >= size)
        return false;
    memcpy(out + *len, b, n);
    *len += n;
    out[*len] = 0;
    return true;
}

/* The code point of UTF-16 unit i of units (n of them), joining a surrogate pair; *used says
 * how many units it took. */
static uint32_t text_code_point(const uint16_t *units, uint32_t n, uint32_t i, uint32_t *used)
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

/* The realised size of the font, in page pixels, as GDI's font engine sets it on the face: a
 * negative height is the em, a positive one the cell (the face's Windows ascent plus descent). */
struct TextSize {
    int32_t ppem, ascent, descent;
};

static void text_set_size(Player *p, FT_Face ft, TextSize *size)
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
    size->ppem = (int32_t)fmax(floor(height + 0.5), 1);
    FT_Set_Transform(ft, NULL, NULL);
    if (FT_Set_Pixel_Sizes(ft, 0, (FT_UInt)size->ppem) != 0 && ft->num_fixed_sizes > 0)
        FT_Select_Size(ft, 0);
    FT_Fixed scale = ft->size->metrics.y_scale;
    size->ascent = (int32_t)((FT_MulFix((FT_Long)ascent, scale) + 32) >> 6);
    size->descent = (int32_t)((FT_MulFix((FT_Long)descent, scale) + 32) >> 6);
}

/* Draws one glyph as GDI's font engine renders it for a printer: hinted for a one-bit target
 * and not smoothed (an embedded bitmap where the face has one at this size and the glyph is
 * upright), its bitmap placed on whole pixels from the glyph origin (page pixel ox, oy). */
static void text_draw_glyph(Player *p, FT_Face ft, uint32_t index, bool turned, int32_t ox,
                            int32_t oy, const int32_t *clip)
{
    FT_Int32 flags = FT_LOAD_TARGET_MONO | (turned ? FT_LOAD_NO_BITMAP : 0);
    if (FT_Load_Glyph(ft, index, flags) != 0 ||
        (ft->glyph->format != FT_GLYPH_FORMAT_BITMAP &&
         FT_Render_Glyph(ft->glyph, FT_RENDER_MODE_MONO) != 0))
        return;
    const FT_Bitmap &bm = ft->glyph->bitmap;
    if (bm.pixel_mode != FT_PIXEL_MODE_MONO && bm.pixel_mode != FT_PIXEL_MODE_GRAY)
        return;
    int32_t left = ox + ft->glyph->bitmap_left, top = oy - ft->glyph->bitmap_top;
    for (uint32_t j = 0; j < bm.rows; j++) {
        int32_t y = top + (int32_t)j;
        const uint8_t *row = bm.buffer + (ptrdiff_t)j * bm.pitch;
        for (uint32_t i = 0; i < bm.width; i++) {
            int32_t x = left + (int32_t)i;
            bool ink = bm.pixel_mode == FT_PIXEL_MODE_MONO ? (row[i >> 3] >> (7 - (i & 7)) & 1)
                                                           : row[i] >= 128;
            if (!ink || !compose_visible(p, x, y) ||
                (clip && (x < clip[0] || x >= clip[2] || y < clip[1] || y >= clip[3])))
                continue;
            p->pixels[(size_t)y * p->stride + x] = p->state.textColor;
        }
    }
}

/* Fills the polygon of four page points with the background colour. */
static void text_fill_box(Player *p, const double (*corners)[2])
{
    PlayerBrush bk;
    memset(&bk, 0, sizeof bk);
    bk.color = p->state.bkColor;
    cairo_new_path(p->cover);
    cairo_move_to(p->cover, corners[0][0], corners[0][1]);
    for (int i = 1; i < 4; i++)
        cairo_line_to(p->cover, corners[i][0], corners[i][1]);
    cairo_close_path(p->cover);
    compose_fill_cover(p, &bk, R2_COPYPEN, false);
    cairo_new_path(p->cover);
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

void text_play(Player *p, const EmfRecord *rec)
{
    uint32_t nChars = EmfU32(rec, offsetof(EMREXTTEXTOUTW, emrtext.nChars));
    uint32_t offString = EmfU32(rec, offsetof(EMREXTTEXTOUTW, emrtext.offString));
    uint32_t options = EmfU32(rec, offsetof(EMREXTTEXTOUTW, emrtext.fOptions));
    uint32_t offDx = EmfU32(rec, offsetof(EMREXTTEXTOUTW, emrtext.offDx));
    uint32_t rclAt = offsetof(EMREXTTEXTOUTW, emrtext.rcl);
    const PlayerState &s = p->state;
    if (options & ETO_OPAQUE) {
        double c[4][2];
        text_rect_corners(p, rec, rclAt, c);
        text_fill_box(p, c);
    }
    if (nChars == 0)
        return;
    if (p->inPath) {
        player_warn(p, "text in a path not played");
        return;
    }
    cairo_font_face_t *face = text_face(p, &s.font);
    if (face == NULL) {
        player_warn(p, "no font matches \"%s\"", s.font.face);
        return;
    }
    uint32_t n = 0;
    uint16_t *units = text_units(p, rec, nChars, offString, &n);
    cairo_matrix_t unit;
    cairo_matrix_init_identity(&unit);
    cairo_font_options_t *fontOptions = cairo_font_options_create();
    cairo_scaled_font_t *font = cairo_scaled_font_create(face, &unit, &unit, fontOptions);
    cairo_font_options_destroy(fontOptions);
    FT_Face ft = cairo_scaled_font_status(font) == CAIRO_STATUS_SUCCESS
                     ? cairo_ft_scaled_font_lock_face(font) : NULL;
    if (units == NULL || ft == NULL) {
        player_warn(p, "no memory or no font for the text");
    } else {
        TextSize size;
        text_set_size(p, ft, &size);
        bool pdy = (options & EMF_ETO_PDY) != 0;
        double angle = s.font.escapement / 10.0 * M_PI / 180.0;
        double dirX = cos(angle), dirY = -sin(angle); /* along the baseline, page y down */
        double downX = sin(angle), downY = cos(angle);
        double total = 0;
        for (uint32_t i = 0; i < nChars; i++)
            total += EmfI32(rec, offDx + (pdy ? 8 : 4) * i);
        double refX = EmfI32(rec, offsetof(EMREXTTEXTOUTW, emrtext.ptlReference));
        double refY = EmfI32(rec, offsetof(EMREXTTEXTOUTW, emrtext.ptlReference) + 4);
        if (s.textAlign & TA_UPDATECP) {
            refX = s.curX;
            refY = s.curY;
        }
        /* The reference point on whole pixels, moved by the alignment along and across the
         * baseline, each move rounded to whole pixels as GDI moves it. */
        double px, py;
        player_map(p, refX, refY, &px, &py);
        px = floor(px), py = floor(py);
        double width = player_map_length(p, total);
        uint32_t h = s.textAlign & TA_HMASK;
        double shift = h == TA_CENTER ? width / 2 : h == TA_RIGHT ? width : 0;
        px -= floor(shift * dirX + 0.5);
        py -= floor(shift * dirY + 0.5);
        uint32_t v = s.textAlign & TA_VMASK;
        double drop = v == TA_BASELINE ? 0 : v == TA_BOTTOM ? -size.descent : size.ascent;
        px += floor(drop * downX + 0.5);
        py += floor(drop * downY + 0.5);
        if ((s.textAlign & TA_UPDATECP) && h != TA_CENTER) {
            /* The current position moves past the text (back from it when right-aligned). */
            p->state.curX = refX + (h == TA_RIGHT ? -total : total);
        }
        if (s.bkMode == OPAQUE && !(options & ETO_OPAQUE)) {
            /* The cell behind the text, turned with it. */
            double c[4][2];
            for (int k = 0; k < 4; k++) {
                double a = (k == 1 || k == 2) ? width : 0;
                double d = k >= 2 ? size.descent : -size.ascent;
                c[k][0] = px + a * dirX + d * downX;
                c[k][1] = py + a * dirY + d * downY;
            }
            text_fill_box(p, c);
        }
        int32_t clip[4];
        if (options & ETO_CLIPPED) {
            double c[4][2];
            text_rect_corners(p, rec, rclAt, c);
            clip[0] = (int32_t)ceil(fmin(c[0][0], c[2][0]) - 0.5);
            clip[1] = (int32_t)ceil(fmin(c[0][1], c[2][1]) - 0.5);
            clip[2] = (int32_t)ceil(fmax(c[0][0], c[2][0]) - 0.5);
            clip[3] = (int32_t)ceil(fmax(c[0][1], c[2][1]) - 0.5);
        }
        bool turned = s.font.escapement % 3600 != 0;
        if (turned) {
            FT_Matrix m = {(FT_Fixed)lround(cos(angle) * 65536), (FT_Fixed)lround(-sin(angle) * 65536),
                           (FT_Fixed)lround(sin(angle) * 65536), (FT_Fixed)lround(cos(angle) * 65536)};
            FT_Set_Transform(ft, &m, NULL);
        }
        /* Each glyph at its origin from the sum of the advances so far, rounded to a pixel. */
        double along = 0, rise = 0;
        for (uint32_t i = 0, used = 1, ch = 0; i < n && ch < nChars; i += used) {
            uint32_t c = text_code_point(units, n, i, &used);
            uint32_t index = (options & ETO_GLYPH_INDEX) ? units[i] : FT_Get_Char_Index(ft, c);
            double a = player_map_length(p, along), r = player_map_length(p, rise);
            text_draw_glyph(p, ft, index, turned, (int32_t)(px + floor(a * dirX - r * downX + 0.5)),
                            (int32_t)(py + floor(a * dirY - r * downY + 0.5)),
                            (options & ETO_CLIPPED) ? clip : NULL);
            for (uint32_t k = 0; k < used && ch < nChars; k++, ch++) {
                along += EmfI32(rec, offDx + (pdy ? 8 : 4) * ch);
                if (pdy)
                    rise += EmfI32(rec, offDx + 8 * ch + 4);
            }
        }
        FT_Set_Transform(ft, NULL, NULL);
        if (s.font.underline || s.font.strikeOut) {
            /* Lines one twentieth of the em thick under the baseline or through the x-height. */
            double em = size.ppem, thick = fmax(em / 20, 1.0);
            double offsets[2] = {s.font.underline ? em / 10 : NAN, s.font.strikeOut ? -em / 4 : NAN};
            cairo_t *cr = p->cover;
            cairo_new_path(cr);
            for (double o : offsets) {
                if (isnan(o))
                    continue;
                double c[4][2];
                for (int k = 0; k < 4; k++) {
                    double a = (k == 1 || k == 2) ? width : 0, d = o + (k >= 2 ? thick : 0);
                    c[k][0] = px + a * dirX + d * downX;
                    c[k][1] = py + a * dirY + d * downY;
                }
                cairo_move_to(cr, c[0][0], c[0][1]);
                for (int k = 1; k < 4; k++)
                    cairo_line_to(cr, c[k][0], c[k][1]);
                cairo_close_path(cr);
            }
            PlayerBrush ink;
            memset(&ink, 0, sizeof ink);
            ink.color = s.textColor;
            compose_fill_cover(p, &ink, R2_COPYPEN, false);
            cairo_new_path(cr);
        }
    }
    if (ft)
        cairo_ft_scaled_font_unlock_face(font);
    cairo_scaled_font_destroy(font);
    free(units);
}
