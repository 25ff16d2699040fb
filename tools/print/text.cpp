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

/* The fontconfig language that tells a character set's script. */
static const char *text_charset_lang(uint8_t charset)
{
    switch (charset) {
    case 128: return "ja";
    case 129: case 130: return "ko";
    case 134: return "zh-cn";
    case 136: return "zh-tw";
    case 161: return "el";
    case 162: return "tr";
    case 177: return "he";
    case 178: return "ar";
    case 186: return "lt";
    case 204: return "ru";
    case 222: return "th";
    case 238: return "pl";
    default: return NULL;
    }
}

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
    if (const char *lang = text_charset_lang(font->charSet))
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

/* The font at its size in page pixels, turned by its escapement. */
static cairo_scaled_font_t *text_scaled_font(Player *p, cairo_font_face_t *face, double *em)
{
    const PlayerFont &f = p->state.font;
    cairo_matrix_t unit, ctm;
    cairo_matrix_init_identity(&unit);
    cairo_matrix_init_identity(&ctm);
    cairo_font_options_t *options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    double height = f.height != 0 ? fabs((double)f.height) : (double)TEXT_DEFAULT_HEIGHT;
    if (f.height >= 0) {
        /* A positive height is the cell: ascent plus descent. */
        cairo_scaled_font_t *probe = cairo_scaled_font_create(face, &unit, &ctm, options);
        cairo_font_extents_t e;
        cairo_scaled_font_extents(probe, &e);
        cairo_scaled_font_destroy(probe);
        if (e.ascent + e.descent > 0)
            height /= e.ascent + e.descent;
    }
    *em = player_map_length(p, height);
    double angle = f.escapement / 10.0 * M_PI / 180.0;
    cairo_matrix_t m;
    cairo_matrix_init_scale(&unit, *em, *em);
    cairo_matrix_init_rotate(&m, -angle);
    cairo_matrix_multiply(&unit, &unit, &m);
    cairo_scaled_font_t *font = cairo_scaled_font_create(face, &unit, &ctm, options);
    cairo_font_options_destroy(options);
    return font;
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
    double em = 0;
    cairo_scaled_font_t *font = units ? text_scaled_font(p, face, &em) : NULL;
    cairo_glyph_t *glyphs = units ? (cairo_glyph_t *)calloc(n ? n : 1, sizeof *glyphs) : NULL;
    if (units == NULL || glyphs == NULL || cairo_scaled_font_status(font) != CAIRO_STATUS_SUCCESS) {
        player_warn(p, "no memory or no font for the text");
        goto done;
    }
    {
        bool pdy = (options & EMF_ETO_PDY) != 0;
        double angle = s.font.escapement / 10.0 * M_PI / 180.0;
        double dirX = cos(angle), dirY = -sin(angle); /* along the baseline, page y down */
        double downX = sin(angle), downY = cos(angle);
        cairo_font_extents_t fe;
        cairo_scaled_font_extents(font, &fe);
        /* Origins along the baseline from the advances, in logical units. */
        double total = 0, rise = 0;
        for (uint32_t i = 0; i < nChars; i++)
            total += EmfI32(rec, offDx + (pdy ? 8 : 4) * i);
        double refX = EmfI32(rec, offsetof(EMREXTTEXTOUTW, emrtext.ptlReference));
        double refY = EmfI32(rec, offsetof(EMREXTTEXTOUTW, emrtext.ptlReference) + 4);
        if (s.textAlign & TA_UPDATECP) {
            refX = s.curX;
            refY = s.curY;
        }
        double px, py;
        player_map(p, refX, refY, &px, &py);
        double width = player_map_length(p, total);
        uint32_t h = s.textAlign & TA_HMASK;
        double shift = h == TA_CENTER ? width / 2 : h == TA_RIGHT ? width : 0;
        px -= shift * dirX;
        py -= shift * dirY;
        uint32_t v = s.textAlign & TA_VMASK;
        double drop = v == TA_BASELINE ? 0 : v == TA_BOTTOM ? -fe.descent : fe.ascent;
        px += drop * downX;
        py += drop * downY;
        if ((s.textAlign & TA_UPDATECP) && h != TA_CENTER) {
            /* The current position moves past the text (back from it when right-aligned). */
            p->state.curX = refX + (h == TA_RIGHT ? -total : total);
        }
        if (s.bkMode == OPAQUE && !(options & ETO_OPAQUE)) {
            double c[4][2];
            for (int k = 0; k < 4; k++) {
                double a = (k == 1 || k == 2) ? width : 0, d = k >= 2 ? fe.descent : -fe.ascent;
                c[k][0] = px + a * dirX + d * downX + 0.5 - 1.0 / 256;
                c[k][1] = py + a * dirY + d * downY + 0.5 - 1.0 / 256;
            }
            text_fill_box(p, c);
        }
        FT_Face ft = cairo_ft_scaled_font_lock_face(font);
        double along = 0;
        uint32_t g = 0;
        for (uint32_t i = 0, used = 1, ch = 0; i < n && ch < nChars; i += used) {
            uint32_t c = text_code_point(units, n, i, &used);
            glyphs[g].index = (options & ETO_GLYPH_INDEX) || ft == NULL ? units[i]
                                                                        : FT_Get_Char_Index(ft, c);
            double a = player_map_length(p, along), r = player_map_length(p, rise);
            glyphs[g].x = px + a * dirX - r * downX;
            glyphs[g].y = py + a * dirY - r * downY;
            g++;
            for (uint32_t k = 0; k < used && ch < nChars; k++, ch++) {
                along += EmfI32(rec, offDx + (pdy ? 8 : 4) * ch);
                if (pdy)
                    rise += EmfI32(rec, offDx + 8 * ch + 4);
            }
        }
        cairo_ft_scaled_font_unlock_face(font);
        cairo_t *cr = p->cover;
        cairo_save(cr);
        if (options & ETO_CLIPPED) {
            double c[4][2];
            text_rect_corners(p, rec, rclAt, c);
            cairo_rectangle(cr, fmin(c[0][0], c[2][0]), fmin(c[0][1], c[2][1]),
                            fabs(c[2][0] - c[0][0]), fabs(c[2][1] - c[0][1]));
            cairo_clip(cr);
        }
        cairo_set_scaled_font(cr, font);
        cairo_new_path(cr);
        cairo_glyph_path(cr, glyphs, (int)g);
        if (s.font.underline || s.font.strikeOut) {
            /* Lines one twentieth of the em thick under the baseline or through the x-height. */
            double thick = fmax(em / 20, 1.0);
            double offsets[2] = {s.font.underline ? em / 10 : NAN, s.font.strikeOut ? -em / 4 : NAN};
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
        }
        PlayerBrush ink;
        memset(&ink, 0, sizeof ink);
        ink.color = s.textColor;
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
        compose_fill_cover(p, &ink, R2_COPYPEN, false);
        cairo_new_path(cr);
        cairo_restore(cr);
    }
done:
    if (font)
        cairo_scaled_font_destroy(font);
    free(glyphs);
    free(units);
}
