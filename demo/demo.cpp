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

/* An opaque, copying pen; a pattern's 0 bits take the background colour, its 1 bits the text colour. */
static const DrawMode32 kDrawMode = {13 /* R2_COPYPEN */, 2 /* OPAQUE */, RGB(255, 255, 255),
                                     RGB(0, 0, 0), 1};

/* Forwards one shape through Output32. */
static void demo_draw(HDC *dc, const DemoShape *shape, const RECT *clip)
{
    WORD style = shape->style, second = 0, count = shape->count;
    LOGPEN pen = shape->pen;
    LOGBRUSH brush = shape->brush;
    DWORD penStyleBits = 0;
    Output32(dc, &style, &second, &count, shape->points, &pen, &penStyleBits, &brush, &kDrawMode,
             NULL, NULL, NULL, NULL, NULL, clip);
}

/* A ring filled the way the host fills regions: a path bracket of scanlines, one or two segments
 * on each line, widened with a one-unit pen in the brush's colour and filled as one path. */
static void demo_scanline_ring(HDC *dc, int cx, int cy, int outer, int inner)
{
    LOGBRUSH brush = {BS_SOLID, RGB(0, 120, 200), 0};
    DWORD noBits = 0;
    WORD zero = 0, count;
    HGDIOBJ slots[5];
    WORD begin = OS_BEGINNSCAN, scan = OS_SCANLINES, end = OS_ENDNSCAN;
    Output32(dc, &begin, &zero, &zero, NULL, NULL, &noBits, &brush, &kDrawMode, &slots[0],
             &slots[1], &slots[2], &slots[3], &slots[4], NULL);
    for (int dy = -outer; dy <= outer; dy++) {
        int half = 0, hole = 0;
        while ((half + 1) * (half + 1) + dy * dy <= outer * outer)
            half++;
        while (dy * dy < inner * inner && (hole + 1) * (hole + 1) + dy * dy <= inner * inner)
            hole++;
        POINTS line[3] = {{0, (SHORT)(cy + dy)}};
        if (hole > 0) {
            line[1] = POINTS{(SHORT)(cx - half), (SHORT)(cx - hole)};
            line[2] = POINTS{(SHORT)(cx + hole), (SHORT)(cx + half)};
            count = 3;
        } else {
            line[1] = POINTS{(SHORT)(cx - half), (SHORT)(cx + half)};
            count = 2;
        }
        Output32(dc, &scan, &zero, &count, line, NULL, &noBits, NULL, &kDrawMode, NULL, NULL, NULL,
                 NULL, NULL, NULL);
    }
    Output32(dc, &end, &zero, &zero, NULL, NULL, &noBits, NULL, &kDrawMode, NULL, NULL, NULL, NULL,
             NULL, NULL);
    /* The bracket's objects were handed out; the driver releases them, a pair at a time. */
    HGDIOBJ none = NULL;
    DeleteObject32(dc, &slots[0], &slots[1]);
    DeleteObject32(dc, &slots[2], &slots[3]);
    DeleteObject32(dc, &slots[4], &none);
}

/* An ellipse filled with a monochrome pattern brush, cut by its own clip rectangle to its top half. */
static void demo_clipped_pattern(HDC *dc)
{
    static const BYTE kChecker[16] = {0xF0, 0, 0xF0, 0, 0xF0, 0, 0xF0, 0,
                                      0x0F, 0, 0x0F, 0, 0x0F, 0, 0x0F, 0};
    BITMAP pattern = {0, 8, 8, 2, 1, 1, (LPVOID)kChecker};
    static const POINTS kBox[] = {{2000, 3000}, {3600, 3800}};
    DemoShape ellipse = {OS_ELLIPSE, kBox, 2, {PS_SOLID, {6, 0}, RGB(0, 100, 0)},
                         {BS_PATTERN, 0, (ULONG_PTR)&pattern}};
    const RECT topHalf = {2000, 3000, 3600, 3400};
    demo_draw(dc, &ellipse, &topHalf);
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
    const RECT page = {0, 0, 4960, 7016};
    SetClipRect32(&dc, &page);
    demo_scanline_ring(&dc, 1000, 3400, 400, 200);
    demo_clipped_pattern(&dc);
    CloseEmfFile32(&dc);

    demo_show_path("spool metafile:", spool);
    return 0;
}
