/* The public header as a host sees it: compiled as C with nothing but include/ on the path, so
 * the build fails if the header needs the stand-in, or if it declares more than the exports. */
#include <tavlinqx.h>

/* The stand-in's functions are no part of the interface: a host may use their names. */
static int CreateDCA, SelectObject, GlobalAlloc, StandinMapPath;

int header_alone_uses(void)
{
    DrawMode32 mode = {R2_COPYPEN, TRANSPARENT, RGB(255, 255, 255), RGB(0, 0, 0), 0};
    return CreateDCA + SelectObject + GlobalAlloc + StandinMapPath + mode.RasterOp;
}
