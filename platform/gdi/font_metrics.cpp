/* Font metrics from the fonts installed here: fontconfig finds the face a LOGFONT names, FreeType
 * reads its advances and vertical metrics. The common Windows faces map to their metric-compatible
 * Liberation faces, so advances match what GDI measures with the Windows fonts.
 *
 * Advances are the hinted ones at the em size in whole pixels, as GDI reports them: at 27 pixels
 * Arial's 'w' is 20 where the linear width would round to 19. */
#include "text_private.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_TRUETYPE_TABLES_H

#include <stdlib.h>
#include <string.h>
#include <strings.h>

/* An opened font file, shared by every size and style that resolved to it. */
struct FontFile {
    char *path;
    int index;
    FT_Face face;
    int64_t unitsPerEm;
    int64_t winAscent, winDescent; /* OS/2 usWinAscent and usWinDescent, in design units */
    FontFile *next;
};

enum {
    FONT_PAGE = 256,
    FONT_PAGES = 65536 / FONT_PAGE,
    FONT_UNMEASURED = -1,
    FONT_DEFAULT_CELL = 16, /* lfHeight 0: a 16-pixel cell, as observed under Wine for every face */
    FONT_MAX_PPEM = 0xFFFF,
    FONT_CACHE_LIMIT = 64, /* descriptions kept once no font uses them */
};

struct FontMetrics {
    /* What the face was looked up by. */
    char faceName[LF_FACESIZE];
    LONG height;
    bool bold, italic;
    BYTE charset;

    FontFile *file; /* NULL when no face was found */
    int64_t ppem;
    int ascent, descent;
    int32_t *charPages[FONT_PAGES];  /* advance of each UTF-16 unit, a page filled at first use */
    int32_t *glyphPages[FONT_PAGES]; /* likewise by glyph index */
    long users;                      /* fonts whose metrics these are */
    FontMetrics *next;               /* the next less recently used */
};

namespace {

/* Faces that stand in for the Windows core fonts, with the same advances. */
const struct {
    const char *windowsFace;
    const char *family;
} kMetricFaces[] = {
    {"Arial", "Liberation Sans"},
    {"Times New Roman", "Liberation Serif"},
    {"Courier New", "Liberation Mono"},
};

FT_Library g_library;
bool g_libraryFailed;
FontFile *g_files;
FontMetrics *g_metrics; /* the most recently used first */
long g_metricsCount;

int64_t metrics_scale(int64_t designUnits, int64_t ppem, int64_t unitsPerEm)
{
    int64_t v = (designUnits * ppem + unitsPerEm / 2) / unitsPerEm;
    return v > INT32_MAX ? INT32_MAX : v;
}

FontFile *metrics_open_file(const char *path, int index)
{
    for (FontFile *f = g_files; f; f = f->next)
        if (f->index == index && strcmp(f->path, path) == 0)
            return f;
    if (!g_library && !g_libraryFailed)
        g_libraryFailed = FT_Init_FreeType(&g_library) != 0;
    FontFile *f = (FontFile *)calloc(1, sizeof *f);
    if (g_libraryFailed || !f || !(f->path = strdup(path)) ||
        FT_New_Face(g_library, path, index, &f->face) != 0 || f->face->units_per_EM == 0) {
        if (f)
            free(f->path);
        free(f);
        return NULL;
    }
    f->index = index;
    f->unitsPerEm = f->face->units_per_EM;
    const TT_OS2 *os2 = (const TT_OS2 *)FT_Get_Sfnt_Table(f->face, FT_SFNT_OS2);
    if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
        f->winAscent = os2->usWinAscent;
        f->winDescent = os2->usWinDescent;
    } else {
        f->winAscent = f->face->ascender;
        f->winDescent = -f->face->descender;
    }
    f->next = g_files;
    g_files = f;
    return f;
}

/* The file fontconfig matches to the face name (or its metric-compatible stand-in), weight, slant
 * and character set's language; an unknown name gets fontconfig's default face. */
FontFile *metrics_find_file(const FontMetrics *m)
{
    const char *family = m->faceName;
    for (const auto &mf : kMetricFaces)
        if (strcasecmp(family, mf.windowsFace) == 0)
            family = mf.family;
    FcPattern *pattern = FcPatternCreate();
    if (!pattern)
        return NULL;
    if (*family)
        FcPatternAddString(pattern, FC_FAMILY, (const FcChar8 *)family);
    FcPatternAddInteger(pattern, FC_WEIGHT, m->bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, m->italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    const char *language = StandinCharsetLanguage(m->charset);
    if (language) {
        FcLangSet *langs = FcLangSetCreate();
        if (langs) {
            FcLangSetAdd(langs, (const FcChar8 *)language);
            FcPatternAddLangSet(pattern, FC_LANG, langs);
            FcLangSetDestroy(langs);
        }
    }
    /* The default configuration fontconfig loads here holds caches that only FcFini frees; freed
     * at exit, they do not show as leaks in sanitizer runs. */
    static bool finiAtExit = atexit(FcFini) == 0;
    (void)finiAtExit;
    FcConfigSubstitute(NULL, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern *match = FcFontMatch(NULL, pattern, &result);
    FcPatternDestroy(pattern);
    FcChar8 *path = NULL;
    int index = 0;
    FontFile *file = NULL;
    if (match && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        file = metrics_open_file((const char *)path, index);
    }
    if (match)
        FcPatternDestroy(match);
    return file;
}

/* The em size in pixels: a negative height is the character height, a positive one the cell
 * height (ascent plus descent), 0 the default cell height. Sizes past 16 bits are measured at
 * 65535, so that no sum of metrics can overflow. */
void metrics_size(FontMetrics *m)
{
    const FontFile *f = m->file;
    int64_t height = m->height;
    int64_t cell = f->winAscent + f->winDescent;
    if (height < 0)
        m->ppem = -height;
    else
        m->ppem = ((height ? height : (int64_t)FONT_DEFAULT_CELL) * f->unitsPerEm + cell / 2) / cell;
    if (m->ppem > FONT_MAX_PPEM)
        m->ppem = FONT_MAX_PPEM;
    m->ascent = (int)metrics_scale(f->winAscent, m->ppem, f->unitsPerEm);
    m->descent = (int)metrics_scale(f->winDescent, m->ppem, f->unitsPerEm);
}

FontMetrics *metrics_create(const GdiFont *font)
{
    FontMetrics *m = (FontMetrics *)calloc(1, sizeof *m);
    if (!m)
        return NULL;
    const LOGFONTA &lf = font->logfont;
    memcpy(m->faceName, lf.lfFaceName, LF_FACESIZE);
    m->height = lf.lfHeight;
    m->bold = lf.lfWeight >= 600;
    m->italic = lf.lfItalic != 0;
    m->charset = lf.lfCharSet;
    m->file = metrics_find_file(m);
    if (m->file)
        metrics_size(m);
    m->next = g_metrics;
    g_metrics = m;
    g_metricsCount++;
    return m;
}

void metrics_free(FontMetrics *m)
{
    for (int i = 0; i < FONT_PAGES; i++) {
        free(m->charPages[i]);
        free(m->glyphPages[i]);
    }
    free(m);
}

/* Past FONT_CACHE_LIMIT descriptions, frees the least recently used that no font uses, so that a
 * long-lived host drawing text at ever new sizes keeps a bounded cache. */
void metrics_trim(void)
{
    FontMetrics **unused = NULL;
    while (g_metricsCount > FONT_CACHE_LIMIT) {
        for (FontMetrics **link = &g_metrics; *link; link = &(*link)->next)
            if ((*link)->users == 0)
                unused = link;
        if (!unused)
            return;
        FontMetrics *m = *unused;
        *unused = m->next;
        metrics_free(m);
        g_metricsCount--;
        unused = NULL;
    }
}

bool metrics_same(const FontMetrics *m, const LOGFONTA &lf)
{
    return m->height == lf.lfHeight && m->bold == (lf.lfWeight >= 600) &&
           m->italic == (lf.lfItalic != 0) && m->charset == lf.lfCharSet &&
           strncmp(m->faceName, lf.lfFaceName, LF_FACESIZE) == 0;
}

/* The advance of a character (byChar) or glyph index, cached in pages of 256; a page that cannot
 * be had measures anew. */
int metrics_advance(FontMetrics *m, int32_t **pages, uint16_t key, bool byChar)
{
    int32_t *page = pages[key / FONT_PAGE];
    if (page && page[key % FONT_PAGE] != FONT_UNMEASURED)
        return page[key % FONT_PAGE];
    if (!page && (page = (int32_t *)malloc(FONT_PAGE * sizeof *page)) != NULL) {
        for (int i = 0; i < FONT_PAGE; i++)
            page[i] = FONT_UNMEASURED;
        pages[key / FONT_PAGE] = page;
    }
    FT_Face face = m->file->face;
    FT_UInt glyph = byChar ? FT_Get_Char_Index(face, key) : key;
    int advance = 0;
    if (FT_Set_Pixel_Sizes(face, 0, (FT_UInt)m->ppem) == 0 && FT_Load_Glyph(face, glyph, FT_LOAD_DEFAULT) == 0)
        advance = (int)((face->glyph->advance.x + 32) >> 6);
    if (page)
        page[key % FONT_PAGE] = advance;
    return advance;
}

} /* namespace */

const char *StandinCharsetLanguage(unsigned char charset)
{
    switch (charset) {
    case SHIFTJIS_CHARSET: return "ja";
    case HANGUL_CHARSET: case JOHAB_CHARSET: return "ko";
    case GB2312_CHARSET: return "zh-cn";
    case CHINESEBIG5_CHARSET: return "zh-tw";
    case 161 /* GREEK */: return "el";
    case 162 /* TURKISH */: return "tr";
    case 163 /* VIETNAMESE */: return "vi";
    case 177 /* HEBREW */: return "he";
    case 178 /* ARABIC */: return "ar";
    case 186 /* BALTIC */: return "lt";
    case 204 /* RUSSIAN */: return "ru";
    case 222 /* THAI */: return "th";
    case 238 /* EASTEUROPE */: return "pl";
    default: return NULL;
    }
}

FontMetrics *font_metrics(GdiFont *font)
{
    if (!font)
        return NULL;
    if (font->metrics)
        return font->metrics;
    FontMetrics *found = NULL;
    for (FontMetrics **link = &g_metrics; *link; link = &(*link)->next) {
        if (metrics_same(*link, font->logfont)) {
            found = *link;
            *link = found->next; /* to the front: the most recently used */
            found->next = g_metrics;
            g_metrics = found;
            break;
        }
    }
    if (!found && (found = metrics_create(font)) != NULL)
        metrics_trim();
    if (found)
        found->users++;
    return font->metrics = found;
}

void font_metrics_release(GdiFont *font)
{
    if (font->metrics)
        font->metrics->users--;
    font->metrics = NULL;
}

long StandinCachedFonts(void)
{
    gdi_lock();
    long n = g_metricsCount;
    gdi_unlock();
    return n;
}

int font_char_advance(FontMetrics *metrics, uint16_t ch)
{
    if (!metrics || !metrics->file)
        return 0;
    return metrics_advance(metrics, metrics->charPages, ch, true);
}

int font_glyph_advance(FontMetrics *metrics, uint16_t glyph)
{
    if (!metrics || !metrics->file)
        return 0;
    return metrics_advance(metrics, metrics->glyphPages, glyph, false);
}

int font_cell_height(const FontMetrics *metrics)
{
    return metrics && metrics->file ? metrics->ascent + metrics->descent : 0;
}

int font_descent(const FontMetrics *metrics)
{
    return metrics && metrics->file ? metrics->descent : 0;
}
