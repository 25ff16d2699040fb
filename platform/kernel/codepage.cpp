/* The ANSI code page, the code pages of the font character sets, and the lead bytes of the
 * double-byte code pages. */
#include "kernel_private.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#define CODEPAGE_ENV "TAVLINQX_ACP"
#define CODEPAGE_DEFAULT 1252

namespace {

struct LeadByteRanges {
    UINT codePage;
    BYTE ranges[3][2]; /* inclusive first..last; unused rows are 0..0 */
};

const LeadByteRanges kLeadBytes[] = {
    {932, {{0x81, 0x9F}, {0xE0, 0xFC}, {0, 0}}},
    {936, {{0x81, 0xFE}, {0, 0}, {0, 0}}},
    {949, {{0x81, 0xFE}, {0, 0}, {0, 0}}},
    {950, {{0x81, 0xFE}, {0, 0}, {0, 0}}},
    {1361, {{0x84, 0xD3}, {0xD8, 0xDE}, {0xE0, 0xF9}}},
};

struct CharsetCodePage {
    BYTE charset;
    UINT codePage;
    DWORD fsCsb0; /* the character set's bit in FONTSIGNATURE.fsCsb[0] */
};

/* DEFAULT_CHARSET, MAC_CHARSET (77) and OEM_CHARSET have no entry: they translate to nothing. */
const CharsetCodePage kCharsets[] = {
    {ANSI_CHARSET, 1252, 0x00000001},      {SYMBOL_CHARSET, 42, 0x80000000},
    {SHIFTJIS_CHARSET, 932, 0x00020000},   {HANGUL_CHARSET, 949, 0x00080000},
    {JOHAB_CHARSET, 1361, 0x00200000}, {GB2312_CHARSET, 936, 0x00040000},
    {CHINESEBIG5_CHARSET, 950, 0x00100000}, {161 /* GREEK */, 1253, 0x00000008},
    {162 /* TURKISH */, 1254, 0x00000010}, {163 /* VIETNAMESE */, 1258, 0x00000100},
    {177 /* HEBREW */, 1255, 0x00000020},  {178 /* ARABIC */, 1256, 0x00000040},
    {186 /* BALTIC */, 1257, 0x00000080},  {204 /* RUSSIAN */, 1251, 0x00000004},
    {222 /* THAI */, 874, 0x00010000},     {238 /* EASTEUROPE */, 1250, 0x00000002},
};

const CharsetCodePage *codepage_charset_entry(uintptr_t charset)
{
    for (const CharsetCodePage &c : kCharsets)
        if (c.charset == charset)
            return &c;
    return NULL;
}

} /* namespace */

UINT codepage_acp(void)
{
    const char *v = getenv(CODEPAGE_ENV);
    if (!v || !*v)
        return CODEPAGE_DEFAULT;
    char *end;
    long cp = strtol(v, &end, 10);
    return *end == 0 && cp > 0 && cp <= 0xFFFF ? (UINT)cp : CODEPAGE_DEFAULT;
}

UINT WINAPI GetACP(void)
{
    hooks_trace("GetACP", "%s", "");
    return codepage_acp();
}

/* FALSE for a code page without lead bytes and for one it does not know, without an error. */
BOOL WINAPI IsDBCSLeadByteEx(UINT CodePage, BYTE TestChar)
{
    hooks_trace("IsDBCSLeadByteEx", "%u, 0x%02x", CodePage, TestChar);
    if (hooks_fail("IsDBCSLeadByteEx"))
        return FALSE;
    return codepage_is_lead_byte(CodePage, TestChar) ? TRUE : FALSE;
}

bool codepage_is_lead_byte(UINT codePage, BYTE b)
{
    UINT cp = codePage == CP_ACP ? codepage_acp() : codePage;
    for (const LeadByteRanges &t : kLeadBytes) {
        if (t.codePage != cp)
            continue;
        for (const BYTE *r : t.ranges) {
            if (r[1] != 0 && b >= r[0] && b <= r[1])
                return true;
        }
    }
    return false;
}

/* Only TCI_SRCCHARSET is supported: the character set travels in the pointer's value, as on
 * Windows. On failure lpCs is untouched and the last error is left alone. */
BOOL WINAPI TranslateCharsetInfo(DWORD *lpSrc, LPCHARSETINFO lpCs, DWORD dwFlags)
{
    uintptr_t charset = (uintptr_t)lpSrc;
    hooks_trace("TranslateCharsetInfo", "%lu, %u", (unsigned long)charset, dwFlags);
    if (hooks_fail("TranslateCharsetInfo") || !lpCs || dwFlags != TCI_SRCCHARSET)
        return FALSE;
    const CharsetCodePage *c = codepage_charset_entry(charset);
    if (!c)
        return FALSE;
    memset(lpCs, 0, sizeof *lpCs);
    lpCs->ciCharset = c->charset;
    lpCs->ciACP = c->codePage;
    lpCs->fs.fsCsb[0] = c->fsCsb0;
    return TRUE;
}

bool codepage_of_charset(BYTE charset, UINT *codePage)
{
    const CharsetCodePage *c = codepage_charset_entry(charset);
    if (c)
        *codePage = c->codePage;
    return c != NULL;
}
