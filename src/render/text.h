/* Text output behind TextOut32: the font and colours of a run, the three roads that draw it, and
 * the sine and cosine lookups that place characters along the font's escapement. */
#ifndef TAVLINQX_TEXT_H
#define TAVLINQX_TEXT_H

#include "frame/win32.h"

/* Creates and selects the caller's font and sets the text colour, background mode, alignment 0 and,
 * for an opaque background or ETO_OPAQUE, the background colour. Returns 0, or -1 when the font
 * cannot be created: then nothing was selected or set and *createdFont is null. */
INT SelectTextFont(HDC dc, const LOGFONTA *font, const DrawMode32 *drawMode, HFONT *createdFont,
                   HGDIOBJ *previousFont, const DWORD *options);

/* Draws the run by the first road that applies: glyph indices (one ExtTextOutW), no advance array
 * (one ExtTextOutA), or one ExtTextOutA per character, placed by walking the advances along the
 * font's escapement. Never reads past length bytes of text, nor past one advance per byte.
 * Returns 0, or -1 when a GDI call failed; a failed character does not stop the ones after it. */
INT DrawTextString(HDC dc, INT x, INT y, DWORD options, const RECT *rect, LPCSTR text,
                    DWORD length, const INT *advances, const LOGFONTA *font);

/* Reselects the previous font and deletes the created one, when one was created. Always 0. */
INT RestoreTextFont(HDC dc, HFONT createdFont, HGDIOBJ previousFont);

/* Sine and cosine of whole degrees, scaled by 10000. Only the low 16 bits of angle count, as a
 * signed value. */
INT LookupSin(INT angle);
INT LookupCos(INT angle);

#endif
