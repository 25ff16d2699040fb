/* tavlinqx-demo: plays the 16-bit printer driver for one print job on the native library, the
 * way the driver calls the exports (every argument by reference), and says where the spool
 * metafile went.
 *
 * usage: tavlinqx-demo [PRINTER]      (default: the stand-in's default printer)
 */
#include "tavlinqx.h"
#include "standin.h"

#include <stdio.h>

/* One drawing call as the driver forwards it: style code, points, pen, brush and clip. */
struct DemoShape {
    WORD style;
    const POINTS *points;
    WORD count;
    LOGPEN pen;
    LOGBRUSH brush;
};

static const POINTS kFrame[] = {{200, 200}, {3800, 2600}};
static const POINTS kStar[] = {{800, 400}, {1040, 1120}, {400, 680}, {1200, 680}, {560, 1120}};
static const POINTS kEllipse[] = {{1400, 400}, {2200, 1120}};
static const POINTS kRoundRect[] = {{2400, 400}, {3600, 1120}, {160, 160}};
static const POINTS kWave[] = {{400, 1400}, {1000, 1200}, {1600, 1800}, {2200, 1300},
                               {2800, 1700}, {3400, 1400}};
static const POINTS kCurve[] = {{400, 2000}, {1200, 1600}, {2000, 2500}, {2800, 2000}};
static const POINTS kPie[] = {{2900, 1800}, {3700, 2500}, {3700, 1800}, {2900, 1800}};

static const DemoShape kShapes[] = {
    {OS_RECTANGLE, kFrame, 2, {PS_SOLID, {8, 0}, RGB(0, 0, 0)}, {BS_HOLLOW, 0, 0}},
    {OS_ALTPOLYGON, kStar, 5, {PS_SOLID, {4, 0}, RGB(128, 0, 0)}, {BS_SOLID, RGB(255, 200, 0), 0}},
    {OS_ELLIPSE, kEllipse, 2, {PS_SOLID, {4, 0}, RGB(0, 0, 128)},
     {BS_HATCHED, RGB(0, 0, 255), HS_CROSS}},
    {OS_ROUNDRECT, kRoundRect, 3, {PS_DASH, {1, 0}, RGB(0, 128, 0)},
     {BS_SOLID, RGB(200, 255, 200), 0}},
    {OS_POLYLINE, kWave, 6, {PS_SOLID, {6, 0}, RGB(200, 0, 200)}, {BS_HOLLOW, 0, 0}},
    {OS_POLYBEZIER, kCurve, 4, {PS_SOLID, {3, 0}, RGB(0, 0, 0)}, {BS_HOLLOW, 0, 0}},
    {OS_PIE, kPie, 4, {PS_SOLID, {2, 0}, RGB(0, 0, 0)}, {BS_SOLID, RGB(255, 100, 100), 0}},
};

/* Forwards one shape through Output32 with the drawing mode of an opaque, copying pen. */
static void demo_draw(HDC *dc, const DemoShape *shape, const RECT *clip)
{
    static const DrawMode32 kDrawMode = {13 /* R2_COPYPEN */, 2 /* OPAQUE */,
                                         RGB(255, 255, 255), RGB(0, 0, 0), 1};
    WORD style = shape->style, second = 0, count = shape->count;
    LOGPEN pen = shape->pen;
    LOGBRUSH brush = shape->brush;
    DWORD penStyleBits = 0;
    Output32(dc, &style, &second, &count, shape->points, &pen, &penStyleBits, &brush, &kDrawMode,
             NULL, NULL, NULL, NULL, NULL, clip);
}

/* Prints a DOS path and the file it names under the stand-in's drive C:. */
static void demo_show_path(const char *label, const char *dosPath)
{
    char posix[4096];
    printf("%-16s %s\n", label, dosPath);
    if (StandinMapPath(dosPath, posix, sizeof posix) == 0)
        printf("%-16s %s\n", "  on disk:", posix);
}

int main(int argc, char **argv)
{
    const char *printer = argc > 1 ? argv[1] : StandinPrinterName(0);
    if (printer == NULL) {
        fprintf(stderr, "tavlinqx-demo: the stand-in lists no printer\n");
        return 1;
    }
    printf("%-16s %s\n", "printer:", printer);

    CHAR spool[MAX_PATH] = "";
    GetEmfFilePath32(spool);
    if (spool[0] == '\0') {
        fprintf(stderr, "tavlinqx-demo: no spool name (is drive C: writable? see TAVLINQX_ROOT)\n");
        return 1;
    }
    HDC dc = NULL;
    const RECT a4 = {0, 0, 20999, 29699}; /* hundredths of a millimetre */
    if (GetEmfFileDC32(NULL, printer, spool, &a4, NULL, NULL, &dc) != 0) {
        fprintf(stderr, "tavlinqx-demo: no metafile DC for printer \"%s\"\n", printer);
        return 1;
    }

    const RECT clip = {100, 100, 3900, 2700};
    SetClipRect32(&dc, &clip);
    for (const DemoShape &shape : kShapes)
        demo_draw(&dc, &shape, &clip);
    CloseEmfFile32(&dc);

    demo_show_path("spool metafile:", spool);
    return 0;
}
