/* ExtTextOutA and ExtTextOutW: the EMR_EXTTEXTOUTW record GDI writes for both, with the string in
 * UTF-16 (ANSI text converted with the code page of the selected font's character set), the
 * advances the caller gave or, without them, the font's own, and Wine's bounds formula. */
#include "text_private.h"

#include <iconv.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

enum {
    CP_SYMBOL = 42,            /* SYMBOL_CHARSET: bytes from 0x20 map into the private use area */
    TEXT_OEM_CODE_PAGE = 437,  /* GetOEMCP's answer for the stand-in's US English */
    TEXT_MAC_CODE_PAGE = 10000,
    TEXT_MAC_CHARSET = 77,
    TEXT_CONVERTERS = 8,
    TEXT_STACK_CHARS = 128,    /* runs up to this length are built without malloc */
    TEXT_MAX_CHARS = 1 << 24,  /* longer runs fail, as the record could not hold them */
};

/* One code page's converter, opened at its first use and kept: iconv_open costs far more than a
 * conversion. bytes[b] is what the single byte b converts to (0xFFFF: not yet asked). */
struct TextConverter {
    UINT codePage;
    iconv_t cd; /* (iconv_t)-1 when the C library has no such code page */
    uint16_t bytes[256];
};

TextConverter g_converters[TEXT_CONVERTERS];
int g_converterCount;

TextConverter *text_converter(UINT codePage)
{
    for (int i = 0; i < g_converterCount; i++)
        if (g_converters[i].codePage == codePage)
            return &g_converters[i];
    TextConverter *c = &g_converters[g_converterCount < TEXT_CONVERTERS ? g_converterCount++ : TEXT_CONVERTERS - 1];
    if (c->codePage != 0 && c->cd != (iconv_t)-1)
        iconv_close(c->cd); /* the table is full: the last entry is reused */
    char name[24];
    snprintf(name, sizeof name, codePage == TEXT_MAC_CODE_PAGE ? "MACINTOSH" : "CP%u", codePage);
    c->codePage = codePage;
    c->cd = iconv_open("UTF-16LE", name);
    memset(c->bytes, 0xFF, sizeof c->bytes);
    return c;
}

/* iconv on one character; 0 when it is not defined in the code page. */
int text_iconv(TextConverter *c, const uint8_t *bytes, int n, uint16_t *out)
{
    if (c->cd == (iconv_t)-1)
        return 0;
    char *in = (char *)bytes, *to = (char *)out;
    size_t inLeft = (size_t)n, outLeft = 2 * sizeof *out;
    iconv(c->cd, NULL, NULL, NULL, NULL);
    if (iconv(c->cd, &in, &inLeft, &to, &outLeft) == (size_t)-1 || inLeft != 0)
        return 0;
    return (int)(2 * sizeof *out - outLeft) / 2;
}

} /* namespace */

UINT text_code_page(BYTE charset)
{
    UINT codePage;
    if (codepage_of_charset(charset, &codePage))
        return codePage;
    switch (charset) {
    case OEM_CHARSET: return TEXT_OEM_CODE_PAGE;
    case TEXT_MAC_CHARSET: return TEXT_MAC_CODE_PAGE;
    default: return codepage_acp();
    }
}

/* The character Windows' tables give a sequence a double-byte code page does not define: a lead
 * byte without its trail byte or an undefined pair (as observed under Wine, whose tables are
 * Windows' own: U+30FB in 932, '?' in the others). */
static uint16_t text_default_char(UINT codePage)
{
    return codePage == 932 ? 0x30FB : '?';
}

/* An undefined single byte keeps its value, as Windows' tables map the holes of 1252. */
int text_char_to_utf16(UINT codePage, const uint8_t *bytes, int n, uint16_t *out)
{
    if (codePage == CP_ACP)
        codePage = codepage_acp();
    if (codePage == CP_SYMBOL) {
        out[0] = (uint16_t)(bytes[0] < 0x20 ? bytes[0] : 0xF000 + bytes[0]);
        return 1;
    }
    TextConverter *c = text_converter(codePage);
    if (n == 2) {
        int got = text_iconv(c, bytes, 2, out);
        if (got == 0)
            out[0] = text_default_char(codePage);
        return got ? got : 1;
    }
    uint16_t &cached = c->bytes[bytes[0]];
    if (cached == 0xFFFF) {
        uint16_t units[2];
        if (codepage_is_lead_byte(codePage, bytes[0]))
            cached = text_default_char(codePage);
        else
            cached = text_iconv(c, bytes, 1, units) == 1 ? units[0] : bytes[0];
    }
    out[0] = cached;
    return 1;
}

namespace {

/* One run as the record carries it: n UTF-16 units (or glyph indices) and perChar advances for
 * each, in buffers of the caller's. */
struct TextRun {
    uint16_t *units;
    int32_t *dx;
    uint32_t n;
    uint32_t perChar; /* 2 with ETO_PDY: an x and a y advance */
};

/* Scratch for a run of up to chars units: on the stack for short runs, else one malloc. */
struct TextScratch {
    uint16_t units[TEXT_STACK_CHARS];
    int32_t dx[2 * TEXT_STACK_CHARS];
    uint8_t record[sizeof(emf::EMREXTTEXTOUTW) + 10 * TEXT_STACK_CHARS + 4];
    void *heap;
};

bool text_scratch(TextScratch *s, uint32_t chars, TextRun *run, uint8_t **record)
{
    s->heap = NULL;
    run->units = s->units;
    run->dx = s->dx;
    *record = s->record;
    if (chars <= TEXT_STACK_CHARS)
        return true;
    size_t units = (2 * (size_t)chars + 3) & ~(size_t)3, dx = 8 * (size_t)chars;
    size_t recordBytes = sizeof(emf::EMREXTTEXTOUTW) + 2 * ((size_t)chars + 1) + dx;
    uint8_t *heap = (uint8_t *)malloc(units + dx + recordBytes);
    if (!heap)
        return false;
    s->heap = heap;
    run->dx = (int32_t *)heap;
    run->units = (uint16_t *)(heap + dx);
    *record = heap + dx + units;
    return true;
}

/* Right and bottom edges from Wine's formula: W the sum of the x advances, H the cell height of
 * a non-empty run, D the descent; the rectangle, escapement and TA_UPDATECP do not enter. */
emf::RECTL text_bounds(const GdiDC *dc, int x, int y, const TextRun &run, FontMetrics *metrics)
{
    int64_t w = 0;
    for (uint32_t i = 0; i < run.n; i++)
        w += run.dx[i * run.perChar];
    int64_t h = run.n ? font_cell_height(metrics) : 0, d = font_descent(metrics);
    int64_t left, right, top, bottom;
    switch (dc->textAlign & TA_CENTER) {
    case TA_CENTER: left = x - w / 2 - 1; right = x + w / 2 + 1; break;
    case TA_RIGHT: left = x - w - 1; right = x; break;
    default: left = x; right = x + w + 1; break;
    }
    switch (dc->textAlign & TA_BASELINE) {
    case TA_BASELINE: top = y - h - 1; bottom = y + d + 1; break;
    case TA_BOTTOM: top = y - h - 1; bottom = y; break;
    default: top = y; bottom = y + h + 1; break;
    }
    auto clamp = [](int64_t v) { return (int32_t)(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v); };
    return emf::RECTL{clamp(left), clamp(top), clamp(right), clamp(bottom)};
}

bool text_record(GdiDC *dc, uint8_t *buffer, int x, int y, UINT options, const RECT *rect,
                 const TextRun &run, FontMetrics *metrics)
{
    uint32_t stringBytes = 2 * ((run.n + 1) & ~1u);
    uint32_t dxBytes = 4 * run.perChar * run.n;
    uint32_t size = (uint32_t)sizeof(emf::EMREXTTEXTOUTW) + stringBytes + dxBytes;
    bool counted = !(dc->path == PATH_OPEN);
    emf::EMREXTTEXTOUTW head;
    head.emr.iType = emf::EMR_EXTTEXTOUTW;
    head.emr.nSize = size;
    head.rclBounds = counted ? text_bounds(dc, x, y, run, metrics) : emf::RECTL{0, 0, -1, -1};
    head.iGraphicsMode = 1; /* GM_COMPATIBLE: the stand-in has no other */
    head.exScale = (float)(100.0 * dc->caps.horzSizeMm / dc->caps.horzRes);
    head.eyScale = (float)(100.0 * dc->caps.vertSizeMm / dc->caps.vertRes);
    head.emrtext.ptlReference = emf::POINTL{x, y};
    head.emrtext.nChars = run.n;
    head.emrtext.offString = sizeof head;
    head.emrtext.fOptions = options;
    head.emrtext.rcl = rect ? emf::RECTL{rect->left, rect->top, rect->right, rect->bottom}
                            : emf::RECTL{0, 0, -1, -1};
    head.emrtext.offDx = sizeof head + stringBytes;
    memcpy(buffer, &head, sizeof head);
    memset(buffer + sizeof head, 0, stringBytes);
    if (run.n) {
        memcpy(buffer + sizeof head, run.units, 2 * (size_t)run.n);
        memcpy(buffer + head.emrtext.offDx, run.dx, dxBytes);
    }
    if (!emf_record(dc, buffer, size))
        return false;
    if (counted)
        emf_add_bounds(dc, head.rclBounds);
    return true;
}

/* Fills the advances of unit i the caller did not give: the x advance measured, the y one 0. */
void text_measure(TextRun *run, uint32_t i, FontMetrics *metrics, bool glyphs)
{
    run->dx[i * run->perChar] = glyphs ? font_glyph_advance(metrics, run->units[i])
                                       : font_char_advance(metrics, run->units[i]);
    if (run->perChar == 2)
        run->dx[i * 2 + 1] = 0;
}

/* Converts c bytes into run, a character (one byte, or a lead and a trail byte) at a time. Given
 * advances are summed over the bytes of each character; a second UTF-16 unit gets none. */
void text_convert(TextRun *run, UINT codePage, const uint8_t *bytes, UINT c, const INT *dx,
                  FontMetrics *metrics)
{
    run->n = 0;
    for (UINT i = 0; i < c;) {
        int len = i + 1 < c && codepage_is_lead_byte(codePage, bytes[i]) ? 2 : 1;
        uint32_t first = run->n;
        run->n += (uint32_t)text_char_to_utf16(codePage, bytes + i, len, run->units + first);
        for (uint32_t u = first; u < run->n; u++) {
            if (!dx) {
                text_measure(run, u, metrics, false);
                continue;
            }
            for (uint32_t k = 0; k < run->perChar; k++) {
                int64_t sum = 0;
                for (int b = 0; u == first && b < len; b++)
                    sum += dx[(i + (UINT)b) * run->perChar + k];
                run->dx[u * run->perChar + k] = (int32_t)sum;
            }
        }
        i += (UINT)len;
    }
}

/* Enters a text call: its DC, or NULL (lock released) for a bad handle, a run too long for a
 * record, or a missing string (ERROR_INVALID_PARAMETER). */
GdiDC *text_enter(const char *name, HDC hdc, int x, int y, UINT options, UINT c, const void *text,
                  const INT *dx)
{
    char dcName[32];
    if (!gdi_enter(name, "%s, %d, %d, 0x%x, %u, %s", gdi_handle_name(hdc, dcName), x, y, options, c,
                   dx ? "dx" : "null"))
        return NULL;
    GdiDC *dc = gdi_dc(hdc);
    if (dc && (c > TEXT_MAX_CHARS || (c > 0 && !text))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        dc = NULL;
    }
    if (!dc)
        gdi_unlock();
    return dc;
}

} /* namespace */

BOOL WINAPI ExtTextOutA(HDC hdc, int x, int y, UINT options, const RECT *lprect, LPCSTR lpString,
                        UINT c, const INT *lpDx)
{
    GdiDC *dc = text_enter("ExtTextOutA", hdc, x, y, options, c, lpString, lpDx);
    if (!dc)
        return FALSE;
    GdiFont *font = (GdiFont *)gdi_handle_payload(dc->font, OBJ_FONT);
    FontMetrics *metrics = font_metrics(font);
    TextScratch scratch;
    TextRun run;
    uint8_t *record;
    bool ok = text_scratch(&scratch, c, &run, &record);
    if (ok) {
        run.perChar = options & ETO_PDY ? 2 : 1;
        UINT codePage = text_code_page(font ? font->logfont.lfCharSet : (BYTE)DEFAULT_CHARSET);
        text_convert(&run, codePage, (const uint8_t *)lpString, c, lpDx, metrics);
        ok = text_record(dc, record, x, y, options, lprect, run, metrics);
        free(scratch.heap);
    }
    gdi_unlock();
    return ok ? TRUE : FALSE;
}

/* With ETO_GLYPH_INDEX the units are glyph indices, stored as given and measured as glyphs. */
BOOL WINAPI ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT *lprect, LPCWSTR lpString,
                        UINT c, const INT *lpDx)
{
    GdiDC *dc = text_enter("ExtTextOutW", hdc, x, y, options, c, lpString, lpDx);
    if (!dc)
        return FALSE;
    FontMetrics *metrics = font_metrics((GdiFont *)gdi_handle_payload(dc->font, OBJ_FONT));
    TextScratch scratch;
    TextRun run;
    uint8_t *record;
    bool ok = text_scratch(&scratch, c, &run, &record);
    if (ok) {
        run.perChar = options & ETO_PDY ? 2 : 1;
        run.n = c;
        if (c)
            memcpy(run.units, lpString, 2 * (size_t)c);
        for (uint32_t i = 0; i < c; i++) {
            if (lpDx)
                memcpy(run.dx + i * run.perChar, lpDx + i * run.perChar, 4 * run.perChar);
            else
                text_measure(&run, i, metrics, (options & ETO_GLYPH_INDEX) != 0);
        }
        ok = text_record(dc, record, x, y, options, lprect, run, metrics);
        free(scratch.heap);
    }
    gdi_unlock();
    return ok ? TRUE : FALSE;
}
