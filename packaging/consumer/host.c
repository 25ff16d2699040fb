/* A host built against an installed TAVLINQX, as its users build one: plain C, the public header
 * alone, and the library found by pkg-config or by find_package. It plays the 16-bit driver for
 * one small job through all ten exports and hands it to the installed print program.
 *
 * usage: tavlinqx-host PRINT_PROGRAM_FOLDER [PRINTER]
 * Prints the spool metafile's DOS path; exits 0 once the print program has been started.
 */
#include <tavlinqx.h>

#include <stdio.h>
#include <string.h>

static const INT kJobNumber = 1;

static int host_fail(const char *what)
{
    fprintf(stderr, "tavlinqx-host: %s failed\n", what);
    return 1;
}

/* A frame, a filled star, and a disc filled the way hosts fill regions: a path bracket of
 * scanlines whose pen and brush the driver releases afterwards. */
static int host_shapes(HDC *dc, const DrawMode32 *mode)
{
    static const POINTS kFrame[] = {{300, 300}, {4660, 2400}};
    static const POINTS kStar[] = {{800, 600}, {1040, 1320}, {400, 880}, {1200, 880}, {560, 1320}};
    WORD style = OS_RECTANGLE, second = 0, count = 2, zero = 0;
    DWORD noBits = 0;
    LOGPEN pen = {PS_SOLID, {8, 0}, RGB(0, 0, 0)};
    LOGBRUSH hollow = {BS_HOLLOW, 0, 0}, gold = {BS_SOLID, RGB(255, 200, 0), 0};
    Output32(dc, &style, &second, &count, kFrame, &pen, &noBits, &hollow, mode, NULL, NULL, NULL, NULL, NULL, NULL);
    style = OS_ALTPOLYGON;
    count = 5;
    Output32(dc, &style, &second, &count, kStar, &pen, &noBits, &gold, mode, NULL, NULL, NULL, NULL, NULL, NULL);

    HGDIOBJ slots[5] = {NULL, NULL, NULL, NULL, NULL}, none = NULL;
    LOGBRUSH blue = {BS_SOLID, RGB(0, 90, 200), 0};
    WORD begin = OS_BEGINNSCAN, scan = OS_SCANLINES, end = OS_ENDNSCAN;
    if (Output32(dc, &begin, &zero, &zero, NULL, NULL, &noBits, &blue, mode, &slots[0], &slots[1], &slots[2],
                 &slots[3], &slots[4], NULL) != 0)
        return -1;
    for (SHORT dy = -300; dy <= 300; dy++) {
        SHORT half = 0;
        while ((half + 1) * (half + 1) + dy * dy <= 300 * 300)
            half++;
        POINTS line[2] = {{0, (SHORT)(1800 + dy)}, {(SHORT)(2600 - half), (SHORT)(2600 + half)}};
        count = 2;
        Output32(dc, &scan, &zero, &count, line, NULL, &noBits, NULL, mode, NULL, NULL, NULL, NULL, NULL, NULL);
    }
    if (Output32(dc, &end, &zero, &zero, NULL, NULL, &noBits, NULL, mode, NULL, NULL, NULL, NULL, NULL, NULL) != 0)
        return -1;
    DeleteObject32(dc, &slots[0], &slots[1]);
    DeleteObject32(dc, &slots[2], &slots[3]);
    DeleteObject32(dc, &slots[4], &none);
    return 0;
}

static int host_text(HDC *dc)
{
    LOGFONTA font;
    memset(&font, 0, sizeof font);
    font.lfHeight = -160;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = ANSI_CHARSET;
    strcpy(font.lfFaceName, "Arial");
    static const char kText[] = "Printed by a host of the installed library";
    DrawMode32 mode = {R2_COPYPEN, TRANSPARENT, RGB(255, 255, 255), RGB(0, 0, 0), 0};
    INT x = 400, y = 2700;
    DWORD options = 0, length = (DWORD)strlen(kText);
    return TextOut32(dc, &font, &x, &y, &options, NULL, kText, &length, NULL, &mode);
}

/* A monochrome checker band through Raster32 and a 24-bit gradient through Dib32. */
static void host_bitmaps(HDC *dc)
{
    static BYTE checker[64 * 8]; /* 64 rows of 64 pixels, 8 bytes a row */
    for (int row = 0; row < 64; row++)
        memset(checker + row * 8, (row / 8) % 2 ? 0xF0 : 0x0F, 8);
    BITMAP band = {0, 64, 64, 8, 1, 1, checker};
    DrawMode32 mode = {R2_COPYPEN, OPAQUE, RGB(255, 255, 255), RGB(0, 0, 0), 1};
    DWORD rop = SRCCOPY;
    INT x = 400, y = 3200, size = 512, sourceX = 0, first = 0, width = 64, lines = 64;
    Raster32(dc, &x, &y, &size, &size, &band, &sourceX, &first, &width, &lines, &rop, NULL, &mode);

    static BYTE gradient[32 * 32 * 3];
    for (int i = 0; i < 32 * 32; i++) {
        gradient[i * 3] = (BYTE)(i % 32 * 8);
        gradient[i * 3 + 1] = (BYTE)(i / 32 * 8);
        gradient[i * 3 + 2] = 128;
    }
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 32;
    info.bmiHeader.biHeight = 32;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    INT dx = 1200, dy = 3200, sx = 0, sy = 0, side = 32;
    Dib32(dc, &dx, &dy, &size, &size, &sx, &sy, &side, &side, gradient, &info, &rop, NULL, NULL);
}

/* Hands the job to tavlinqx-print in folder (a POSIX folder is a valid program folder). */
static int host_hand_off(const char *spool, const char *folder)
{
    PrintJob32 job;
    PrintProgram32 program;
    memset(&job, 0, sizeof job);
    memset(&program, 0, sizeof program);
    job.JobNumber = kJobNumber;
    program.Size = sizeof program;
    strcpy(program.RequiredName1, "TAVLINQX");
    strcpy(program.AuxFile, "TAVLINQX.INI");
    strcpy(program.RequiredName2, "LPT1:");
    strcpy(program.ProgramFile, "tavlinqx-print");
    if (strlen(spool) >= sizeof job.MetafilePath || strlen(folder) + 2 > sizeof program.ProgramDir)
        return -1;
    strcpy(job.MetafilePath, spool);
    snprintf(program.ProgramDir, sizeof program.ProgramDir, "%s/", folder);
    return ZVLPrintEMF32(&job, &program);
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: tavlinqx-host PRINT_PROGRAM_FOLDER [PRINTER]\n");
        return 2;
    }
    const char *printer = argc > 2 ? argv[2] : "TAVLINQX Laser";
    CHAR spool[MAX_PATH] = "";
    GetEmfFilePath32(spool);
    if (spool[0] == '\0')
        return host_fail("GetEmfFilePath32");
    HDC dc = NULL;
    const RECT a4 = {0, 0, 20999, 29699}; /* the picture frame, in hundredths of a millimetre */
    if (GetEmfFileDC32(NULL, printer, spool, &a4, NULL, NULL, &dc) != 0)
        return host_fail("GetEmfFileDC32");
    const RECT page = {0, 0, 4960, 7016};
    SetClipRect32(&dc, &page);
    const DrawMode32 mode = {R2_COPYPEN, OPAQUE, RGB(255, 255, 255), RGB(0, 0, 0), 1};
    if (host_shapes(&dc, &mode) != 0)
        return host_fail("the scanline bracket");
    if (host_text(&dc) != 0)
        return host_fail("TextOut32");
    host_bitmaps(&dc);
    CloseEmfFile32(&dc);
    printf("spool metafile: %s\n", spool);
    fflush(stdout);
    if (host_hand_off(spool, argv[1]) != 0)
        return host_fail("ZVLPrintEMF32");
    printf("handed over: job %d to %s/tavlinqx-print\n", kJobNumber, argv[1]);
    return 0;
}
