/* Exports whose drawing is not built yet. They touch nothing: text output and the hand-off report
 * failure. */
#include "tavlinqx.h"

INT TAVLINQX_API TextOut32(HDC *, const LOGFONTA *, const INT *, const INT *, const DWORD *,
                           const RECT *, LPCSTR, const DWORD *, const INT *, const DrawMode32 *)
{
    return -1;
}

INT TAVLINQX_API ZVLPrintEMF32(const PrintJob32 *, const PrintProgram32 *)
{
    return -1;
}
