/* tavlinqx-demo: plays the 16-bit printer driver for one print job on the native library, the way
 * the driver calls the ten exports (every argument by reference): the spool metafile, a test page
 * of every output style, text (rotated, per character, double-byte), monochrome bands and a colour
 * image, and the hand-off of the finished job to the print program, which draws the page.
 *
 * usage: tavlinqx-demo [--no-print] [PRINTER]    (default: the stand-in's default printer)
 *
 * The print program is tavlinqx-print of this build; --no-print stops after the spool metafile.
 */
#include "tavlinqx.h"
#include "standin.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

/* The job number the hand-off passes to the print program. */
static const INT kJobNumber = 1;

/* An opaque, copying mode; a pattern's 0 bits take the background colour, its 1 bits the text colour. */
static const DrawMode32 kDrawMode = {R2_COPYPEN, OPAQUE, RGB(255, 255, 255), RGB(0, 0, 0), 1};

/* ---- Shapes: every output style through Output32 ---- */

/* One drawing call as the driver forwards it: style code, points, pen and brush. */
struct DemoShape {
    WORD style;
    const void *points;
    WORD count;
    LOGPEN pen;
    LOGBRUSH brush;
};

/* The first block, inside its clip rectangle. */
static const POINTS kFrame[] = {{200, 700}, {3800, 3100}};
static const POINTS kStar[] = {{800, 900}, {1040, 1620}, {400, 1180}, {1200, 1180}, {560, 1620}};
static const POINTS kEllipse[] = {{1400, 900}, {2200, 1620}};
static const POINTS kRoundRect[] = {{2400, 900}, {3600, 1620}, {160, 160}};
static const POINTS kWave[] = {{400, 1900}, {1000, 1700}, {1600, 2300}, {2200, 1800}, {2800, 2200}, {3400, 1900}};
static const POINTS kCurve[] = {{400, 2500}, {1200, 2100}, {2000, 3000}, {2800, 2500}};
static const POINTS kPie[] = {{2900, 2300}, {3700, 3000}, {3700, 2300}, {2900, 2300}};
static const POINTS kCircle[] = {{4000, 700}, {4700, 1400}};
static const POINTS kArc[] = {{4000, 1500}, {4700, 2200}, {4700, 1500}, {4000, 2200}};
static const POINTS kChord[] = {{4000, 2300}, {4700, 3000}, {4000, 2300}, {4700, 2650}};
static const POINTS kWindStar[] = {{4350, 3300}, {4550, 3900}, {4000, 3530}, {4700, 3530}, {4150, 3900}};
/* Two overlapping squares: the winding rule fills their overlap, the alternate rule leaves it. */
static const POINTS kSquares[] = {{3900, 4100}, {4300, 4100}, {4300, 4500}, {3900, 4500},
                                  {4100, 4300}, {4500, 4300}, {4500, 4700}, {4100, 4700}};
static const POINTS kSquaresLow[] = {{3900, 4900}, {4300, 4900}, {4300, 5300}, {3900, 5300},
                                     {4100, 5100}, {4500, 5100}, {4500, 5500}, {4100, 5500}};
static const INT kSquareCounts[] = {4, 4};
static const PolyPolygonPoints kWindSquares = {kSquareCounts, kSquares};
static const PolyPolygonPoints kAltSquares = {kSquareCounts, kSquaresLow};

static const DemoShape kShapes[] = {
    {OS_RECTANGLE, kFrame, 2, {PS_SOLID, {8, 0}, RGB(0, 0, 0)}, {BS_HOLLOW, 0, 0}},
    {OS_ALTPOLYGON, kStar, 5, {PS_SOLID, {4, 0}, RGB(128, 0, 0)}, {BS_SOLID, RGB(255, 200, 0), 0}},
    {OS_ELLIPSE, kEllipse, 2, {PS_SOLID, {4, 0}, RGB(0, 0, 128)}, {BS_HATCHED, RGB(0, 0, 255), HS_CROSS}},
    {OS_ROUNDRECT, kRoundRect, 3, {PS_DASH, {1, 0}, RGB(0, 128, 0)}, {BS_SOLID, RGB(200, 255, 200), 0}},
    {OS_POLYLINE, kWave, 6, {PS_SOLID, {6, 0}, RGB(200, 0, 200)}, {BS_HOLLOW, 0, 0}},
    {OS_POLYBEZIER, kCurve, 4, {PS_SOLID, {3, 0}, RGB(0, 0, 0)}, {BS_HOLLOW, 0, 0}},
    {OS_PIE, kPie, 4, {PS_SOLID, {2, 0}, RGB(0, 0, 0)}, {BS_SOLID, RGB(255, 100, 100), 0}},
    {OS_CIRCLE, kCircle, 2, {PS_SOLID, {10, 0}, RGB(0, 90, 160)}, {BS_HATCHED, RGB(0, 90, 160), HS_DIAGCROSS}},
    {OS_ARC, kArc, 4, {PS_SOLID, {12, 0}, RGB(220, 120, 0)}, {BS_HOLLOW, 0, 0}},
    {OS_CHORD, kChord, 4, {PS_SOLID, {4, 0}, RGB(0, 0, 0)}, {BS_SOLID, RGB(160, 200, 255), 0}},
};

/* Below the first block, clipped only by the page: the two fill rules side by side. */
static const DemoShape kFillRules[] = {
    {OS_WINDPOLYGON, kWindStar, 5, {PS_SOLID, {4, 0}, RGB(128, 0, 0)}, {BS_SOLID, RGB(255, 200, 0), 0}},
    {OS_WINDPOLYPOLYGON, &kWindSquares, 2, {PS_SOLID, {3, 0}, RGB(0, 0, 0)}, {BS_SOLID, RGB(120, 200, 120), 0}},
    {OS_ALTPOLYPOLYGON, &kAltSquares, 2, {PS_SOLID, {3, 0}, RGB(0, 0, 0)}, {BS_SOLID, RGB(120, 200, 120), 0}},
};

/* Forwards one shape through Output32. */
static void demo_draw(HDC *dc, const DemoShape *shape, const RECT *clip)
{
    WORD style = shape->style, second = 0, count = shape->count;
    LOGPEN pen = shape->pen;
    LOGBRUSH brush = shape->brush;
    DWORD penStyleBits = 0;
    Output32(dc, &style, &second, &count, shape->points, &pen, &penStyleBits, &brush, &kDrawMode, NULL, NULL,
             NULL, NULL, NULL, clip);
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
    Output32(dc, &begin, &zero, &zero, NULL, NULL, &noBits, &brush, &kDrawMode, &slots[0], &slots[1], &slots[2],
             &slots[3], &slots[4], NULL);
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
        Output32(dc, &scan, &zero, &count, line, NULL, &noBits, NULL, &kDrawMode, NULL, NULL, NULL, NULL, NULL,
                 NULL);
    }
    Output32(dc, &end, &zero, &zero, NULL, NULL, &noBits, NULL, &kDrawMode, NULL, NULL, NULL, NULL, NULL, NULL);
    /* The bracket's objects were handed out; the driver releases them, a pair at a time. */
    HGDIOBJ none = NULL;
    DeleteObject32(dc, &slots[0], &slots[1]);
    DeleteObject32(dc, &slots[2], &slots[3]);
    DeleteObject32(dc, &slots[4], &none);
}

/* An ellipse filled with a monochrome pattern brush, cut by its own clip rectangle to its top half. */
static void demo_clipped_pattern(HDC *dc)
{
    static const BYTE kChecker[16] = {0xF0, 0, 0xF0, 0, 0xF0, 0, 0xF0, 0, 0x0F, 0, 0x0F, 0, 0x0F, 0, 0x0F, 0};
    BITMAP pattern = {0, 8, 8, 2, 1, 1, (LPVOID)kChecker};
    static const POINTS kBox[] = {{2000, 3500}, {3600, 4300}};
    DemoShape ellipse = {OS_ELLIPSE, kBox, 2, {PS_SOLID, {6, 0}, RGB(0, 100, 0)}, {BS_PATTERN, 0, (ULONG_PTR)&pattern}};
    const RECT topHalf = {2000, 3500, 3600, 3900};
    demo_draw(dc, &ellipse, &topHalf);
}

/* ---- Text through TextOut32 ---- */

/* One text call: the font, where, and the bytes with their advances (NULL: one call for the run). */
static void demo_text(HDC *dc, const char *face, INT height, INT escapement, BYTE charset, INT x, INT y,
                      const char *text, const INT *advances, COLORREF colour)
{
    LOGFONTA font;
    memset(&font, 0, sizeof font);
    font.lfHeight = height;
    font.lfEscapement = escapement;
    font.lfOrientation = escapement;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = charset;
    strncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    DrawMode32 mode = {R2_COPYPEN, TRANSPARENT, RGB(255, 255, 255), colour, 0};
    DWORD options = 0, length = (DWORD)strlen(text);
    TextOut32(dc, &font, &x, &y, &options, NULL, text, &length, advances, &mode);
}

/* The title, a fan of rotated lines drawn a character at a time along their escapement, and
 * Japanese text in Shift-JIS. */
static void demo_texts(HDC *dc)
{
    demo_text(dc, "Arial", -160, 0, ANSI_CHARSET, 200, 300, "TAVLINQX test page", NULL, RGB(0, 0, 0));
    demo_text(dc, "Times New Roman", -100, 0, ANSI_CHARSET, 200, 500,
              "every output style, text, bands and an image, through the ten exports", NULL, RGB(80, 80, 80));

    /* Courier New is monospaced: 60 units a character at a height of 100. */
    static const INT kMono[32] = {60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60,
                                  60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60, 60};
    for (INT angle = 0; angle <= 900; angle += 300)
        demo_text(dc, "Courier New", -100, angle, ANSI_CHARSET, 300, 5500, "    escapement", kMono,
                  RGB(0, 0, 160));
    /* "Printing Japanese text" in Shift-JIS: double-byte characters, drawn whole and walked. */
    static const INT kWide[16] = {100, 0, 100, 0, 100, 0, 100, 0, 100, 0, 100, 0, 100, 0, 100, 0};
    demo_text(dc, "MS Gothic", -100, 0, SHIFTJIS_CHARSET, 1500, 4700, "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x88\xf3\x8d\xfc",
              NULL, RGB(160, 0, 0));
    demo_text(dc, "MS Gothic", -100, -450, SHIFTJIS_CHARSET, 1500, 4900,
              "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x88\xf3\x8d\xfc", kWide, RGB(160, 0, 0));
}

/* ---- Bitmaps through Raster32 and Dib32 ---- */

/* A monochrome halftone, 1 bits white paper and 0 bits ink, sent in bands of 64 rows as the host
 * sends a page's bitmap. */
static void demo_bands(HDC *dc, INT left, INT top)
{
    const INT width = 2048, height = 960, cell = 64;
    INT stride = (width + 15) / 16 * 2; /* a device bitmap's rows are whole 16-bit words */
    std::vector<BYTE> bits((size_t)stride * height, 0xFF);
    for (INT y = 0; y < height; y++)
        for (INT x = 0; x < width; x++) {
            INT dx = x % cell - cell / 2, dy = y % cell - cell / 2;
            INT radius = 1 + (cell / 2) * x / width + (cell / 4) * y / height;
            if (dx * dx + dy * dy <= radius * radius)
                bits[(size_t)y * stride + x / 8] &= (BYTE) ~(0x80 >> (x % 8));
        }
    BITMAP page = {0, width, height, stride, 1, 1, bits.data()};
    DrawMode32 mode = {R2_COPYPEN, OPAQUE, RGB(255, 255, 255), RGB(20, 20, 20), 1};
    DWORD rop = SRCCOPY;
    INT sourceX = 0;
    for (INT first = 0; first < height; first += 64) {
        INT lines = 64, x = left, y = top + first, w = width, h = lines;
        Raster32(dc, &x, &y, &w, &h, &page, &sourceX, &first, &w, &lines, &rop, NULL, &mode);
    }
}

/* A 24-bit colour wheel of 256 x 256 pixels, stretched to four times its size. */
static void demo_image(HDC *dc, INT left, INT top)
{
    const INT size = 256;
    std::vector<BYTE> bits((size_t)size * size * 3);
    for (INT y = 0; y < size; y++)
        for (INT x = 0; x < size; x++) {
            BYTE *px = &bits[((size_t)y * size + x) * 3]; /* blue, green, red; bottom row first */
            px[0] = (BYTE)x;
            px[1] = (BYTE)y;
            px[2] = (BYTE)(255 - (x + y) / 2);
        }
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    INT x = left, y = top, w = 4 * size, h = 4 * size, sx = 0, sy = 0, sw = size, sh = size;
    DWORD rop = SRCCOPY;
    Dib32(dc, &x, &y, &w, &h, &sx, &sy, &sw, &sh, bits.data(), &info, &rop, NULL, NULL);
}

/* ---- The job ---- */

/* Prints a DOS path and the file it names under the stand-in's drive C:. */
static void demo_show_path(const char *label, const char *dosPath)
{
    char posix[4096];
    printf("%-16s %s\n", label, dosPath);
    if (StandinMapPath(dosPath, posix, sizeof posix) == 0)
        printf("%-16s %s\n", "  on disk:", posix);
}

/* Hands the finished job to tavlinqx-print of this build and waits until its PDF, the last thing
 * it writes, has appeared beside the spool metafile. Returns 0, or -1. */
static int demo_hand_off(const char *spool)
{
    PrintJob32 job;
    memset(&job, 0, sizeof job);
    job.JobNumber = kJobNumber;
    strncpy(job.MetafilePath, spool, sizeof job.MetafilePath - 1);
    PrintProgram32 program;
    memset(&program, 0, sizeof program);
    program.Size = sizeof program;
    strcpy(program.RequiredName1, "TAVLINQX");
    strcpy(program.AuxFile, "TAVLINQX.INI");
    strcpy(program.RequiredName2, "LPT1:");
    /* The program directory is a plain prefix: here a host folder ending in its separator. */
    const char *printProgram = TAVLINQX_PRINT_PROGRAM;
    const char *name = strrchr(printProgram, '/') + 1;
    if ((size_t)(name - printProgram) >= sizeof program.ProgramDir || strlen(name) >= sizeof program.ProgramFile) {
        fprintf(stderr, "tavlinqx-demo: the print program's path is too long: %s\n", printProgram);
        return -1;
    }
    memcpy(program.ProgramDir, printProgram, (size_t)(name - printProgram));
    strcpy(program.ProgramFile, name);

    char posix[4096], pdf[4200];
    if (StandinMapPath(spool, posix, sizeof posix) != 0)
        return -1;
    snprintf(pdf, sizeof pdf, "%.*s/job%05d.pdf", (int)(strrchr(posix, '/') - posix), posix, kJobNumber);
    unlink(pdf);
    if (ZVLPrintEMF32(&job, &program) != 0) {
        fprintf(stderr, "tavlinqx-demo: the hand-off to %s failed\n", printProgram);
        return -1;
    }
    printf("handed over:     job %d to %s\n", kJobNumber, printProgram);
    fflush(stdout);
    struct stat st;
    for (int i = 0; i < 1200 && stat(pdf, &st) != 0; i++)
        usleep(50000);
    if (stat(pdf, &st) != 0) {
        fprintf(stderr, "tavlinqx-demo: the print program wrote no %s within a minute\n", pdf);
        return -1;
    }
    return 0;
}

int main(int argc, char **argv)
{
    bool print = true;
    int arg = 1;
    if (arg < argc && strcmp(argv[arg], "--no-print") == 0) {
        print = false;
        arg++;
    }
    char installed[4096];
    const char *printer = arg < argc ? argv[arg] : installed;
    if (arg >= argc && (StandinPrinterList(installed, sizeof installed) == 0 || installed[0] == '\0')) {
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

    const RECT clip = {100, 600, 4900, 3200};
    SetClipRect32(&dc, &clip);
    for (const DemoShape &shape : kShapes)
        demo_draw(&dc, &shape, &clip);
    const RECT page = {0, 0, 4960, 7016};
    SetClipRect32(&dc, &page);
    for (const DemoShape &shape : kFillRules)
        demo_draw(&dc, &shape, &page);
    demo_scanline_ring(&dc, 1000, 3900, 400, 200);
    demo_clipped_pattern(&dc);
    SetClipRect32(&dc, &page); /* the ellipse's clip rectangle stays until the next is set */
    demo_texts(&dc);
    demo_bands(&dc, 2400, 5800);
    demo_image(&dc, 300, 5800);
    CloseEmfFile32(&dc);
    demo_show_path("spool metafile:", spool);
    fflush(stdout);
    if (print && demo_hand_off(spool) != 0)
        return 1;
    return 0;
}
