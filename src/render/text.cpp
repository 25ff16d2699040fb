/* TextOut32: one run of text in the caller's font and colours, drawn whole, as glyph indices, or a
 * character at a time along the font's escapement with integer arithmetic only. */
#include "render/text.h"

#include <stdint.h>

/* sin(k degrees) x 10000 rounded to nearest, k = 0..90; cosine k is sine 90 - k. */
static const INT kSineTable[91] = {
        0,   175,   349,   523,   698,   872,  1045,  1219,  1392,  1564,
     1736,  1908,  2079,  2250,  2419,  2588,  2756,  2924,  3090,  3256,
     3420,  3584,  3746,  3907,  4067,  4226,  4384,  4540,  4695,  4848,
     5000,  5150,  5299,  5446,  5592,  5736,  5878,  6018,  6157,  6293,
     6428,  6561,  6691,  6820,  6947,  7071,  7193,  7314,  7431,  7547,
     7660,  7771,  7880,  7986,  8090,  8192,  8290,  8387,  8480,  8572,
     8660,  8746,  8829,  8910,  8988,  9063,  9135,  9205,  9272,  9336,
     9397,  9455,  9511,  9563,  9613,  9659,  9703,  9744,  9781,  9816,
     9848,  9877,  9903,  9925,  9945,  9962,  9976,  9986,  9994,  9998,
    10000,
};

static INT text_cosine_entry(INT k) { return kSineTable[90 - k]; }

/* The angle's low 16 bits, signed, brought into 0..359. */
static INT text_degrees(INT angle)
{
    INT n = (SHORT)(angle & 0xFFFF);
    while (n < 0)
        n += 360;
    while (n >= 360)
        n -= 360;
    return n;
}

INT LookupSin(INT angle)
{
    INT n = text_degrees(angle);
    if (n <= 90)
        return kSineTable[n];
    if (n <= 180)
        return kSineTable[180 - n];
    if (n <= 270)
        return -kSineTable[n - 180];
    return -kSineTable[360 - n];
}

INT LookupCos(INT angle)
{
    INT n = text_degrees(angle);
    if (n <= 90)
        return text_cosine_entry(n);
    if (n <= 180)
        return -text_cosine_entry(180 - n);
    if (n <= 270)
        return -text_cosine_entry(n - 180);
    return text_cosine_entry(360 - n);
}

INT SelectTextFont(HDC dc, const LOGFONTA *font, const DrawMode32 *drawMode, HFONT *createdFont,
                   HGDIOBJ *previousFont, const DWORD *options)
{
    *createdFont = CreateFontIndirectA(font);
    if (*createdFont == NULL)
        return -1;
    *previousFont = SelectObject(dc, *createdFont);
    SetBkMode(dc, drawMode->BkMode);
    SetTextAlign(dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
    SetTextColor(dc, drawMode->TextColor);
    if (drawMode->BkMode == OPAQUE || ((BYTE)*options & ETO_OPAQUE))
        SetBkColor(dc, drawMode->BkColor);
    return 0;
}

INT RestoreTextFont(HDC dc, HFONT createdFont, HGDIOBJ previousFont)
{
    if (createdFont != NULL) {
        SelectObject(dc, previousFont);
        DeleteObject(createdFont);
    }
    return 0;
}

/* Whether the per-character walk looks for lead bytes, and in which code page. */
static BOOL text_double_byte_code_page(BYTE charset, UINT *codePage)
{
    CHARSETINFO info;
    if (TranslateCharsetInfo((DWORD *)(UINT_PTR)charset, &info, TCI_SRCCHARSET)) {
        *codePage = info.ciACP;
        return TRUE;
    }
    if (charset == SYMBOL_CHARSET || charset == OEM_CHARSET)
        return FALSE;
    *codePage = GetACP();
    return TRUE;
}

/* One step along the line: the quotient of each product is applied at once, its remainder
 * dropped. The product is taken in 64 bits, where an advance near the 32-bit limit cannot
 * overflow it; the sum wraps as the coordinates of GDI calls do. */
static INT text_step(INT position, INT factor, INT advance)
{
    int64_t moved = (int64_t)factor * advance / 10000;
    return (INT)((DWORD)position + (DWORD)(INT)moved);
}

/* The per-character road. The advance cursor never passes the text cursor, so an array of one
 * entry per byte is never read beyond its end; a lead byte in the run's last position has no
 * trail byte inside the run and is drawn alone. */
static INT text_draw_characters(HDC dc, INT x, INT y, DWORD options, const RECT *rect,
                                LPCSTR text, DWORD length, const INT *advances,
                                const LOGFONTA *font)
{
    UINT codePage = 0;
    BOOL doubleByte = text_double_byte_code_page(font->lfCharSet, &codePage);
    INT angle = font->lfEscapement / 10;
    INT cosine = LookupCos(angle), sine = LookupSin(angle);
    INT result = 0;
    INT pending = 0;
    DWORD consumed = 0, entry = 0;
    while (consumed < length) {
        x = text_step(x, cosine, pending);
        y = text_step(y, -sine, pending);
        BOOL lead = doubleByte && IsDBCSLeadByteEx(codePage, (BYTE)text[consumed]);
        BOOL pair = lead && length - consumed >= 2;
        INT count = pair ? 2 : 1;
        if (!ExtTextOutA(dc, x, y, options, rect, text + consumed, count, NULL))
            result = -1;
        consumed += count;
        if (consumed >= length)
            break; /* the last character's advance would move nothing */
        INT first = advances[entry];
        if (pair && first != 0 && advances[entry + 1] != 0) {
            pending = first;
            entry += 1;
        } else if (pair) {
            pending = first + advances[entry + 1];
            entry += 2;
        } else {
            pending = first;
            entry += 1;
        }
    }
    return result;
}

INT DrawTextString(HDC dc, INT x, INT y, DWORD options, const RECT *rect, LPCSTR text,
                   DWORD length, const INT *advances, const LOGFONTA *font)
{
    if (options & ETO_GLYPH_INDEX)
        return ExtTextOutW(dc, x, y, options, rect, (LPCWSTR)text, length, advances) ? 0 : -1;
    if (advances == NULL)
        return ExtTextOutA(dc, x, y, options, rect, text, length, NULL) ? 0 : -1;
    return text_draw_characters(dc, x, y, options, rect, text, length, advances, font);
}

INT TAVLINQX_API TextOut32(HDC *dcArg, const LOGFONTA *font, const INT *x, const INT *y,
                           const DWORD *options, const RECT *rect, LPCSTR text,
                           const DWORD *length, const INT *advances, const DrawMode32 *drawMode)
{
    HDC dc = *dcArg;
    HFONT createdFont = NULL;
    HGDIOBJ previousFont = NULL;
    if (SelectTextFont(dc, font, drawMode, &createdFont, &previousFont, options) != 0)
        return -1;
    DrawTextString(dc, *x, *y, *options, rect, text, *length, advances, font);
    return RestoreTextFont(dc, createdFont, previousFont);
}
