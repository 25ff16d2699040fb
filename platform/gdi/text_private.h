/* Fonts, their metrics and the conversion of ANSI text, shared by the font and text calls and the
 * metafile object table. Everything here runs with the GDI lock held. */
#ifndef TAVLINQX_TEXT_PRIVATE_H
#define TAVLINQX_TEXT_PRIVATE_H

#include "gdi_private.h"

struct FontMetrics; /* private to font_metrics.cpp */

struct GdiFont {
    LOGFONTA logfont;           /* as created; lfFaceName holds at most 31 bytes and a NUL */
    uint16_t faceName[LF_FACESIZE]; /* lfFaceName in UTF-16 (ANSI code page), NUL-terminated */
    FontMetrics *metrics;       /* NULL until the font first measures text */
};

/* EMR_EXTCREATEFONTINDIRECTW for font at slot (fonts.cpp). */
bool font_record_create(GdiDC *dc, const GdiFont *font, uint32_t slot);

/* ---- Metrics (font_metrics.cpp) ----
 * A font's face is found once per distinct face name, height, weight, italic and character set,
 * and kept while a font uses it and among the 64 most recently used descriptions after that:
 * later fonts with the same description share it without another fontconfig query. A face
 * fontconfig cannot find measures every character as 0. */

/* The metrics of font (NULL for a stock font, which has none), held for the font until
 * font_metrics_release. */
FontMetrics *font_metrics(GdiFont *font);
/* The font no longer uses its metrics (it is being deleted). */
void font_metrics_release(GdiFont *font);
/* Advance of a UTF-16 code unit, or of a glyph index, in logical units; 0 without metrics. */
int font_char_advance(FontMetrics *metrics, uint16_t ch);
int font_glyph_advance(FontMetrics *metrics, uint16_t glyph);
/* tmAscent + tmDescent and tmDescent; 0 without metrics. */
int font_cell_height(const FontMetrics *metrics);
int font_descent(const FontMetrics *metrics);

/* ---- ANSI text (text.cpp) ---- */

/* The code page GDI converts a font's ANSI text with: the character set's, the ANSI code page for
 * DEFAULT_CHARSET and character sets without one, the OEM code page for OEM_CHARSET. */
UINT text_code_page(BYTE charset);

/* Converts one character of n (1 or 2) bytes from codePage into at most 2 UTF-16 units at out;
 * returns how many it wrote. A byte sequence the code page does not define still gives one unit. */
int text_char_to_utf16(UINT codePage, const uint8_t *bytes, int n, uint16_t *out);

#endif
