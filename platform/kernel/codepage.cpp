/* The ANSI code page and the lead bytes of the double-byte code pages. */
#include "kernel_private.h"

#include <stdlib.h>

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

} /* namespace */

/* 1252, or the code page $TAVLINQX_ACP names (1 .. 65535). */
static UINT codepage_acp(void)
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
    UINT cp = CodePage == CP_ACP ? codepage_acp() : CodePage;
    for (const LeadByteRanges &t : kLeadBytes) {
        if (t.codePage != cp)
            continue;
        for (const BYTE *r : t.ranges) {
            if (r[1] != 0 && TestChar >= r[0] && TestChar <= r[1])
                return TRUE;
        }
    }
    return FALSE;
}
