/* The benchmark page: shapes as a drawing program sends them (filled polygons with a styled wide
 * pen under a clip rectangle, polylines, rectangles, ellipses), clip changes, a path bracket of
 * 200 scanlines as a filled ring arrives, rotated text a character a call, and monochrome bands. */
#include "page.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "standin.h"

namespace {

struct Attributes {
    LOGPEN pen;
    DWORD penStyleBits;
    LOGBRUSH brush;
    DrawMode32 mode;
};

Attributes g_attributes = {
    {PS_SOLID, {3, 0}, RGB(0, 0, 160)},
    PS_ENDCAP_FLAT | PS_JOIN_MITER,
    {BS_SOLID, RGB(0, 200, 0), 0},
    {R2_COPYPEN, TRANSPARENT, RGB(255, 255, 255), RGB(0, 0, 0), 1},
};

const RECT kClip = {50, 50, 900, 700};

enum { POLYGON_POINTS = 16, POLYLINE_POINTS = 200, BRACKET_LINES = 200, SEGMENTS_PER_LINE = 2 };

POINTS g_polygon[POLYGON_POINTS];
POINTS g_polyline[POLYLINE_POINTS];
POINTS g_rectangle[2] = {{10, 20}, {400, 300}};
POINTS g_ellipse[2] = {{500, 100}, {700, 260}};
POINTS g_scanlines[BRACKET_LINES][1 + SEGMENTS_PER_LINE];

/* Text along 45 degrees, as the host sends it a character at a time, with the advance it gives. */
const LOGFONTA g_font = {-20, 0, 450, 450, 400, 0, 0, 0, 0, 0, 0, 0, 0, "Arial"};
const INT kCharacterAdvance[1] = {14};

/* A monochrome band of 1200 x 64 pixels (150 bytes a row), as a 600 dpi page's image arrives. */
enum { BAND_WIDTH = 1200, BAND_ROWS = 64, BAND_ROW_BYTES = BAND_WIDTH / 8 };
uint8_t g_bandBits[BAND_ROWS * BAND_ROW_BYTES];
BITMAP g_band = {0, BAND_WIDTH, BAND_ROWS, BAND_ROW_BYTES, 1, 1, g_bandBits};

/* Fills the point data once: a star, a wave, and a ring of 200 rows cut by its hole. */
bool page_make_points(void)
{
    for (int i = 0; i < POLYGON_POINTS; i++) {
        double a = 2 * M_PI * i / POLYGON_POINTS, r = i % 2 ? 60 : 140;
        g_polygon[i] = POINTS{(SHORT)(300 + r * cos(a)), (SHORT)(300 + r * sin(a))};
    }
    for (int i = 0; i < POLYLINE_POINTS; i++)
        g_polyline[i] = POINTS{(SHORT)(i * 4), (SHORT)(400 + 40 * sin(i / 8.0))};
    for (int row = 0; row < BRACKET_LINES; row++) {
        double dy = row - BRACKET_LINES / 2 + 0.5, outer = sqrt(100.0 * 100 - dy * dy);
        double inner = fabs(dy) < 50 ? sqrt(50.0 * 50 - dy * dy) : 0;
        POINTS *line = g_scanlines[row];
        line[0] = POINTS{0, (SHORT)(450 + row)};
        line[1] = POINTS{(SHORT)(600 - outer), (SHORT)(600 - inner)};
        line[2] = POINTS{(SHORT)(600 + inner), (SHORT)(600 + outer)};
    }
    for (size_t i = 0; i < sizeof g_bandBits; i++)
        g_bandBits[i] = (uint8_t)(i * 131 + (i >> 7));
    return true;
}

const bool g_pointsMade = page_make_points();

/* One Output32 call with the page's attributes; the bracket's objects come back in slots. */
int page_output(HDC dc, WORD style, WORD secondCode, const POINTS *points, WORD count, const RECT *clip,
                HGDIOBJ slots[5])
{
    Attributes &a = g_attributes;
    Output32(&dc, &style, &secondCode, &count, points, &a.pen, &a.penStyleBits, &a.brush, &a.mode, &slots[0],
             &slots[1], &slots[2], &slots[3], &slots[4], clip);
    return 1;
}

int page_polygon(HDC dc)
{
    HGDIOBJ slots[5];
    return page_output(dc, OS_ALTPOLYGON, 0, g_polygon, POLYGON_POINTS, &kClip, slots);
}

int page_polyline(HDC dc)
{
    HGDIOBJ slots[5];
    return page_output(dc, OS_POLYLINE, 0, g_polyline, POLYLINE_POINTS, NULL, slots);
}

int page_rectangle(HDC dc)
{
    HGDIOBJ slots[5];
    return page_output(dc, OS_RECTANGLE, 0, g_rectangle, 2, NULL, slots);
}

int page_ellipse(HDC dc)
{
    HGDIOBJ slots[5];
    return page_output(dc, OS_ELLIPSE, 0, g_ellipse, 2, &kClip, slots);
}

int page_clip(HDC dc)
{
    SetClipRect32(&dc, &kClip);
    return 1;
}

/* Start, 200 scanlines, end, and the three releases of what the start handed out. */
int page_bracket(HDC dc)
{
    HGDIOBJ bracket[5], unused[5];
    page_output(dc, OS_BEGINNSCAN, 0, NULL, 0, NULL, bracket);
    for (int row = 0; row < BRACKET_LINES; row++)
        page_output(dc, OS_SCANLINES, 0, g_scanlines[row], 1 + SEGMENTS_PER_LINE, NULL, unused);
    page_output(dc, OS_ENDNSCAN, 0, NULL, 0, NULL, unused);
    DeleteObject32(&dc, &bracket[0], &bracket[1]);
    DeleteObject32(&dc, &bracket[2], &bracket[3]);
    DeleteObject32(&dc, &bracket[4], &unused[0]);
    return BRACKET_LINES + 5;
}

/* One character of the rotated line: a TextOut32 call each, as the host breaks such text up. */
int page_text(HDC dc)
{
    static const DrawMode32 mode = {R2_COPYPEN, TRANSPARENT, RGB(255, 255, 255), RGB(0, 0, 0), 1};
    static int character;
    INT x = 100 + 10 * (character % 8), y = 600 - 10 * (character % 8);
    DWORD options = 0, length = 1;
    TextOut32(&dc, &g_font, &x, &y, &options, NULL, "Rotated!" + character++ % 8, &length,
              kCharacterAdvance, &mode);
    return 1;
}

/* One band through Raster32, copied onto the page. */
int page_band(HDC dc)
{
    static const DrawMode32 mode = {R2_COPYPEN, TRANSPARENT, RGB(255, 255, 255), RGB(0, 0, 0), 1};
    const INT zero = 0, x = 100, y = 800, width = BAND_WIDTH, rows = BAND_ROWS;
    const DWORD rop = SRCCOPY;
    Raster32(&dc, &x, &y, &width, &rows, &g_band, &zero, &zero, &width, &rows, &rop, NULL, &mode);
    return 1;
}

} /* namespace */

const PageRow kPageRows[] = {
    {"polygon", 40, page_polygon},
    {"polyline", 10, page_polyline},
    {"rectangle", 20, page_rectangle},
    {"ellipse", 10, page_ellipse},
    {"clip", 4, page_clip},
    {"bracket", 2, page_bracket},
    {"text", 40, page_text},
    {"band", 10, page_band},
};
const size_t kPageRowCount = sizeof kPageRows / sizeof kPageRows[0];

const PageRow *PageFindRow(const char *family)
{
    for (size_t i = 0; i < kPageRowCount; i++)
        if (strcmp(kPageRows[i].family, family) == 0)
            return &kPageRows[i];
    return NULL;
}

long PagePlay(HDC dc)
{
    long calls = 0;
    for (size_t i = 0; i < kPageRowCount; i++)
        for (int n = 0; n < kPageRows[i].perPage; n++)
            calls += kPageRows[i].play(dc);
    return calls;
}

void PageUseTemporaryRoot(void)
{
    static char root[] = "/tmp/tavlinqx-bench-root-XXXXXX";
    if (getenv(STANDIN_ROOT_ENV) == NULL && mkdtemp(root) != NULL)
        setenv(STANDIN_ROOT_ENV, root, 1);
}

bool PageOpenJob(PageJob *job)
{
    job->dc = NULL;
    GetEmfFilePath32(job->path);
    return GetEmfFileDC32(NULL, "DISPLAY", job->path, NULL, NULL, NULL, &job->dc) == 0;
}

long PageCloseJob(PageJob *job)
{
    CloseEmfFile32(&job->dc);
    char posix[4096];
    struct stat st;
    long size = 0;
    if (StandinMapPath(job->path, posix, sizeof posix) == 0 && stat(posix, &st) == 0)
        size = (long)st.st_size;
    remove(posix);
    return size;
}
