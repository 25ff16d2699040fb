/* Exports whose drawing is not built yet. They touch nothing: the two bitmap transfers return
 * 0, the only result they ever give, drawing nothing. */
#include "tavlinqx.h"

INT TAVLINQX_API Raster32(HDC *, const INT *, const INT *, const INT *, const INT *, const BITMAP *,
                          const INT *, const INT *, const INT *, const INT *, const DWORD *,
                          LOGBRUSH *, const DrawMode32 *)
{
    return 0;
}

INT TAVLINQX_API Dib32(HDC *, const INT *, const INT *, const INT *, const INT *, const INT *,
                       const INT *, const INT *, const INT *, const void *, const BITMAPINFO *,
                       const DWORD *, LOGBRUSH *, const DrawMode32 *)
{
    return 0;
}
