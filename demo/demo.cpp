/* tavlinqx-demo: plays the 16-bit printer driver for one print job on the native library, the way
 * the driver calls the ten exports (every argument by reference): the spool metafile, a test page
 * of every output style, text (rotated, per character, double-byte), monochrome bands and a colour
 * image, and the hand-off of the finished job to the print program, which draws the page.
 *
 * usage: tavlinqx-demo [--print | --no-hand-off] [PRINTER]    (default: the default printer)
 *
 * The page is laid out as A4 at 600 dpi and drawn scaled to the printer's page, as a driver draws
 * for the device it prints on. The print program is tavlinqx-print of this build, installed in
 * C:\TAVLINQX\ of drive C: beside its aux file TAVLINQX.INI, which the demo writes for each run:
 * with --print it names the printer, so the print program also sends the page there; without it
 * the page goes to files only. --no-hand-off stops after the spool metafile.
 */
#include "tavlinqx.h"
#include "standin.h"
#include "winapi.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

/* The job number the hand-off passes to the print program. */
static const INT kJobNumber = 1;

/* ---- The page: laid out as A4 at 600 dpi, scaled to the printer's ---- */

static const INT kLayoutWidth = 4960, kLayoutHeight = 7016;
/* The scale, numerator over denominator, set once from the printer's page (demo_fit_page). */
static INT g_scaleNum = 1, g_scaleDen = 1;

/* A layout length or coordinate on the printer's page, rounded to the nearest unit. */
static INT demo_scale(INT v)
{
    long long scaled = (long long)v * g_scaleNum;
    return (INT)((scaled + (scaled < 0 ? -g_scaleDen : g_scaleDen) / 2) / g_scaleDen);
}

static RECT demo_scale_rect(const RECT &r)
{
    return RECT{demo_scale(r.left), demo_scale(r.top), demo_scale(r.right), demo_scale(r.bottom)};
}

/* Fits the layout into the printer's page (the scale of the tighter side) and gives the page's
 * frame in hundredths of a millimetre; false when there is no such printer. */
static bool demo_fit_page(const char *printer, RECT *frame)
{
    HDC reference = CreateDCA("WINSPL16", printer, NULL, NULL);
    if (reference == NULL)
        return false;
    INT width = GetDeviceCaps(reference, HORZRES), height = GetDeviceCaps(reference, VERTRES);
    *frame = RECT{0, 0, GetDeviceCaps(reference, HORZSIZE) * 100 - 1, GetDeviceCaps(reference, VERTSIZE) * 100 - 1};
    DeleteDC(reference);
    bool widthBinds = (long long)width * kLayoutHeight <= (long long)height * kLayoutWidth;
    g_scaleNum = widthBinds ? width : height;
    g_scaleDen = widthBinds ? kLayoutWidth : kLayoutHeight;
    return true;
}

static void demo_set_clip(HDC *dc, const RECT &clip)
{
    RECT scaled = demo_scale_rect(clip);
    SetClipRect32(dc, &scaled);
}

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

/* Forwards one shape through Output32, scaled to the page. */
static void demo_draw(HDC *dc, const DemoShape *shape, const RECT *clip)
{
    WORD style = shape->style, second = 0, count = shape->count;
    bool polyPolygon = style == OS_WINDPOLYPOLYGON || style == OS_ALTPOLYPOLYGON;
    const PolyPolygonPoints *polygons = (const PolyPolygonPoints *)shape->points;
    const POINTS *points = polyPolygon ? polygons->Points : (const POINTS *)shape->points;
    INT total = polyPolygon ? 0 : count;
    for (INT i = 0; polyPolygon && i < count; i++)
        total += polygons->Counts[i];
    std::vector<POINTS> scaled((size_t)total);
    for (INT i = 0; i < total; i++)
        scaled[i] = POINTS{(SHORT)demo_scale(points[i].x), (SHORT)demo_scale(points[i].y)};
    PolyPolygonPoints scaledPolygons = {polyPolygon ? polygons->Counts : NULL, scaled.data()};
    LOGPEN pen = shape->pen;
    pen.lopnWidth.x = demo_scale(pen.lopnWidth.x);
    LOGBRUSH brush = shape->brush;
    DWORD penStyleBits = 0;
    RECT scaledClip = demo_scale_rect(*clip);
    Output32(dc, &style, &second, &count, polyPolygon ? (const void *)&scaledPolygons : scaled.data(), &pen,
             &penStyleBits, &brush, &kDrawMode, NULL, NULL, NULL, NULL, NULL, &scaledClip);
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

/* One text call, scaled to the page: the font, where, and the bytes with their advances (NULL: one
 * call for the run). */
static void demo_text(HDC *dc, const char *face, INT height, INT escapement, BYTE charset, INT x, INT y,
                      const char *text, const INT *advances, COLORREF colour)
{
    DWORD options = 0, length = (DWORD)strlen(text);
    std::vector<INT> scaled(advances ? length : 0);
    for (size_t i = 0; i < scaled.size(); i++)
        scaled[i] = demo_scale(advances[i]);
    x = demo_scale(x);
    y = demo_scale(y);
    LOGFONTA font;
    memset(&font, 0, sizeof font);
    font.lfHeight = demo_scale(height);
    font.lfEscapement = escapement;
    font.lfOrientation = escapement;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = charset;
    strncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    DrawMode32 mode = {R2_COPYPEN, TRANSPARENT, RGB(255, 255, 255), colour, 0};
    TextOut32(dc, &font, &x, &y, &options, NULL, text, &length, advances ? scaled.data() : NULL, &mode);
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
 * sends a page's bitmap, each stretched onto its part of the scaled page. */
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
        INT lines = 64, x = demo_scale(left), y = demo_scale(top + first), w = demo_scale(left + width) - x,
            h = demo_scale(top + first + lines) - y, sourceWidth = width;
        Raster32(dc, &x, &y, &w, &h, &page, &sourceX, &first, &sourceWidth, &lines, &rop, NULL, &mode);
    }
}

/* A 24-bit colour wheel of 256 x 256 pixels, stretched to four times its size on the layout. */
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
    INT x = demo_scale(left), y = demo_scale(top), w = demo_scale(left + 4 * size) - x,
        h = demo_scale(top + 4 * size) - y, sx = 0, sy = 0, sw = size, sh = size;
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

/* Installs this build's print program in C:\TAVLINQX\ (a link to it) and writes its aux file
 * there, naming the printer the page is sent to, or none. Returns 0, or -1 after a message. */
static int demo_install_print_program(const char *sendTo)
{
    char folder[4096];
    if (StandinMapPath("C:\\TAVLINQX", folder, sizeof folder) != 0 || (mkdir(folder, 0755) != 0 && errno != EEXIST)) {
        fprintf(stderr, "tavlinqx-demo: C:\\TAVLINQX cannot be made\n");
        return -1;
    }
    std::string link = std::string(folder) + "/tavlinqx-print", aux = std::string(folder) + "/TAVLINQX.INI";
    unlink(link.c_str());
    FILE *settings = fopen(aux.c_str(), "w");
    bool written = settings && fprintf(settings, "# the print program's settings, written by tavlinqx-demo\n") > 0 &&
                   (!sendTo || fprintf(settings, "printer=%s\n", sendTo) > 0);
    if (settings && fclose(settings) != 0)
        written = false;
    if (symlink(TAVLINQX_PRINT_PROGRAM, link.c_str()) != 0 || !written) {
        fprintf(stderr, "tavlinqx-demo: the print program cannot be installed in %s: %s\n", folder, strerror(errno));
        return -1;
    }
    return 0;
}

/* Hands the finished job to the print program in C:\TAVLINQX\ and waits until its PDF, the last
 * picture it writes, has appeared beside the spool metafile. Returns 0, or -1. */
static int demo_hand_off(const char *spool, const char *sendTo)
{
    if (demo_install_print_program(sendTo) != 0)
        return -1;
    PrintJob32 job;
    memset(&job, 0, sizeof job);
    job.JobNumber = kJobNumber;
    snprintf(job.MetafilePath, sizeof job.MetafilePath, "%s", spool);
    PrintProgram32 program;
    memset(&program, 0, sizeof program);
    program.Size = sizeof program;
    strcpy(program.RequiredName1, "TAVLINQX");
    strcpy(program.AuxFile, "TAVLINQX.INI");
    strcpy(program.RequiredName2, "LPT1:");
    strcpy(program.ProgramFile, "tavlinqx-print");
    strcpy(program.ProgramDir, "C:\\TAVLINQX\\");

    char posix[4096], pdf[4200];
    if (StandinMapPath(spool, posix, sizeof posix) != 0)
        return -1;
    snprintf(pdf, sizeof pdf, "%.*s/job%05d.pdf", (int)(strrchr(posix, '/') - posix), posix, kJobNumber);
    unlink(pdf);
    if (ZVLPrintEMF32(&job, &program) != 0) {
        fprintf(stderr, "tavlinqx-demo: the hand-off to C:\\TAVLINQX\\tavlinqx-print failed\n");
        return -1;
    }
    printf("handed over:     job %d to C:\\TAVLINQX\\tavlinqx-print (%s)\n", kJobNumber, TAVLINQX_PRINT_PROGRAM);
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
    bool handOff = true, send = false;
    int arg = 1;
    for (; arg < argc && argv[arg][0] == '-'; arg++) {
        if (strcmp(argv[arg], "--no-hand-off") == 0) {
            handOff = false;
        } else if (strcmp(argv[arg], "--print") == 0) {
            send = true;
        } else {
            fprintf(stderr, "usage: tavlinqx-demo [--print | --no-hand-off] [PRINTER]\n");
            return 2;
        }
    }
    char installed[4096];
    const char *printer = arg < argc ? argv[arg] : installed;
    if (arg >= argc && (StandinPrinterList(installed, sizeof installed) == 0 || installed[0] == '\0')) {
        fprintf(stderr, "tavlinqx-demo: the stand-in lists no printer\n");
        return 1;
    }
    RECT frame;
    if (!demo_fit_page(printer, &frame)) {
        fprintf(stderr, "tavlinqx-demo: there is no printer \"%s\"\n", printer);
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
    if (GetEmfFileDC32(NULL, printer, spool, &frame, NULL, NULL, &dc) != 0) {
        fprintf(stderr, "tavlinqx-demo: no metafile DC for printer \"%s\"\n", printer);
        return 1;
    }

    const RECT clip = {100, 600, 4900, 3200};
    demo_set_clip(&dc, clip);
    for (const DemoShape &shape : kShapes)
        demo_draw(&dc, &shape, &clip);
    const RECT page = {0, 0, kLayoutWidth, kLayoutHeight};
    demo_set_clip(&dc, page);
    for (const DemoShape &shape : kFillRules)
        demo_draw(&dc, &shape, &page);
    demo_scanline_ring(&dc, demo_scale(1000), demo_scale(3900), demo_scale(400), demo_scale(200));
    demo_clipped_pattern(&dc);
    demo_set_clip(&dc, page); /* the ellipse's clip rectangle stays until the next is set */
    demo_texts(&dc);
    demo_bands(&dc, 2400, 5800);
    demo_image(&dc, 300, 5800);
    CloseEmfFile32(&dc);
    demo_show_path("spool metafile:", spool);
    fflush(stdout);
    if (handOff && demo_hand_off(spool, send ? printer : NULL) != 0)
        return 1;
    return 0;
}
