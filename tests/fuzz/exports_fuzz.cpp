/* libFuzzer target: the input is a sequence of calls the 16-bit driver could make on one job's
 * metafile (Output32 with any style code, points, pen, brush, drawing mode and clip; SetClipRect32;
 * DeleteObject32 of what path brackets handed out), kept within the callers' contract: every
 * pointer is valid for what its counts promise. After the job, the metafile must load with the
 * project's reader, and releasing the handed-out objects must leave no GDI object or global block
 * alive. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <vector>

#include "emf_reader.h"
#include "standin.h"
#include "tavlinqx.h"

namespace {

/* Reads the fuzz input front to back; past its end every value is 0. */
struct Input {
    const uint8_t *data;
    size_t size;
    size_t at;
};

uint32_t Take(Input *in, int bytes)
{
    uint32_t value = 0;
    for (int i = 0; i < bytes; i++)
        value |= (uint32_t)(in->at < in->size ? in->data[in->at++] : 0) << (8 * i);
    return value;
}

bool More(const Input *in) { return in->at < in->size; }

const WORD kStyles[] = {OS_POLYBEZIER, OS_ARC,     OS_SCANLINES,  OS_RECTANGLE,       OS_ELLIPSE,
                        OS_POLYLINE,   OS_WINDPOLYGON, OS_ALTPOLYGON, OS_PIE,          OS_CHORD,
                        OS_CIRCLE,     OS_ROUNDRECT, OS_BEGINNSCAN, OS_ENDNSCAN,       OS_WINDPOLYPOLYGON,
                        OS_ALTPOLYPOLYGON, 0, 8, 0x4000, 0x4015};

/* One pattern bitmap with its rows, sized as GDI reads them at any depth it may round up to. */
struct Pattern {
    BITMAP bitmap;
    std::vector<uint8_t> rows;
};

void MakePattern(Input *in, Pattern *p)
{
    static const WORD kDepths[] = {1, 2, 4, 8, 16, 24, 32};
    LONG width = 1 + (LONG)(Take(in, 1) % 16), height = 1 + (LONG)(Take(in, 1) % 16);
    WORD bpp = kDepths[Take(in, 1) % 7];
    p->rows.resize((size_t)(width * 4 + 4) * (size_t)height);
    for (uint8_t &b : p->rows)
        b = (uint8_t)Take(in, 1);
    p->bitmap = BITMAP{0, width, height, (width * bpp + 15) / 16 * 2, 1, bpp, p->rows.data()};
}

struct Job {
    HDC dc;
    std::vector<HGDIOBJ> handedOut; /* five slots per begin-path call, in call order */
};

void FuzzOutput(Input *in, Job *job)
{
    WORD style = Take(in, 1) % 4 == 0 ? (WORD)Take(in, 2) : kStyles[Take(in, 1) % (sizeof kStyles / sizeof kStyles[0])];
    WORD second = Take(in, 1) % 5 == 0 ? 1 : 0;
    /* At least the four points the fixed-count drawers read whatever the count says. */
    std::vector<POINTS> points(4 + Take(in, 1) % 40 + (Take(in, 1) % 16 == 0 ? 1100 : 0));
    for (POINTS &p : points)
        p = POINTS{(SHORT)Take(in, 2), (SHORT)Take(in, 2)};
    WORD count = (WORD)(Take(in, 2) % (points.size() + 1));

    /* Poly-polygon counts: their sum never exceeds the points, though single counts may be
     * negative or absurd, which must draw nothing. */
    std::vector<INT> counts(1 + Take(in, 1) % 6);
    size_t left = points.size();
    for (INT &c : counts) {
        uint32_t pick = Take(in, 1);
        c = pick % 9 == 0 ? -(INT)(pick % 5 + 1) : (INT)(pick % (left + 1));
        left -= c > 0 ? (size_t)c : 0;
    }
    PolyPolygonPoints polys = {counts.data(), points.data()};
    bool poly = style == OS_WINDPOLYPOLYGON || style == OS_ALTPOLYPOLYGON;
    if (poly)
        count = (WORD)(Take(in, 1) % (counts.size() + 1));

    LOGPEN pen = {Take(in, 1) % 9, {(LONG)(Take(in, 1) % 12) - 1, 0}, Take(in, 4) & 0x00FFFFFF};
    Pattern pattern;
    LOGBRUSH brush = {Take(in, 1) % 8, Take(in, 4) & 0x00FFFFFF, Take(in, 1) % 6};
    if (brush.lbStyle == BS_PATTERN) {
        MakePattern(in, &pattern);
        brush.lbHatch = (ULONG_PTR)&pattern.bitmap;
    } else if (brush.lbStyle == BS_DIBPATTERNPT || brush.lbStyle == BS_DIBPATTERN) {
        brush.lbStyle = BS_HATCHED; /* the driver never sends DIB brushes through a LOGBRUSH */
    }
    DrawMode32 mode = {(INT)(Take(in, 1) % 18), (INT)(Take(in, 1) % 4), Take(in, 4), Take(in, 4), 1};
    RECT clip = {(LONG)(SHORT)Take(in, 2), (LONG)(SHORT)Take(in, 2), (LONG)(SHORT)Take(in, 2), (LONG)(SHORT)Take(in, 2)};
    DWORD bits = Take(in, 4) & 0x0000FF0F;
    uint32_t nulls = Take(in, 1);

    HGDIOBJ slots[5] = {};
    Output32(&job->dc, &style, &second, &count, poly ? (const void *)&polys : points.data(),
             nulls & 1 ? NULL : &pen, &bits, nulls & 2 ? NULL : &brush, nulls & 4 ? NULL : &mode,
             &slots[0], &slots[1], &slots[2], &slots[3], &slots[4], nulls & 8 ? NULL : &clip);
    if (style == OS_BEGINNSCAN)
        job->handedOut.insert(job->handedOut.end(), slots, slots + 5);
}

/* Releases one begin-path call's objects, the latest first, as the driver does. */
void ReleaseLatest(Job *job)
{
    if (job->handedOut.empty())
        return;
    HGDIOBJ *s = &job->handedOut[job->handedOut.size() - 5];
    HGDIOBJ none = NULL;
    DeleteObject32(&job->dc, &s[0], &s[1]);
    DeleteObject32(&job->dc, &s[2], &s[3]);
    DeleteObject32(&job->dc, &s[4], &none);
    job->handedOut.resize(job->handedOut.size() - 5);
}

char g_path[MAX_PATH];

} /* namespace */

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static char root[] = "/tmp/tavlinqx-fuzz-XXXXXX";
    if (mkdtemp(root) == NULL)
        abort();
    setenv(STANDIN_ROOT_ENV, root, 1);
    GetEmfFilePath32(g_path);
    return g_path[0] == '\0' ? -1 : 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    long objects = StandinLiveGdiObjects(), blocks = StandinLiveGlobalBlocks();
    Job job = {NULL, {}};
    if (GetEmfFileDC32(NULL, "DISPLAY", g_path, NULL, NULL, NULL, &job.dc) != 0)
        abort();
    Input in = {data, size, 0};
    for (int calls = 0; More(&in) && calls < 64; calls++) {
        switch (Take(&in, 1) % 8) {
        case 0: {
            RECT clip = {(LONG)(SHORT)Take(&in, 2), (LONG)(SHORT)Take(&in, 2), (LONG)(SHORT)Take(&in, 2), (LONG)(SHORT)Take(&in, 2)};
            SetClipRect32(&job.dc, Take(&in, 1) & 1 ? &clip : NULL);
            break;
        }
        case 1:
            ReleaseLatest(&job);
            break;
        default:
            FuzzOutput(&in, &job);
            break;
        }
    }
    while (!job.handedOut.empty())
        ReleaseLatest(&job);
    CloseEmfFile32(&job.dc);

    char posix[4096], error[256];
    EmfFile file;
    if (StandinMapPath(g_path, posix, sizeof posix) != 0 || EmfLoadFile(posix, &file, error, sizeof error) != 0) {
        fprintf(stderr, "the job's metafile does not load: %s\n", error);
        abort();
    }
    EmfFree(&file);
    if (StandinLiveGdiObjects() != objects || StandinLiveGlobalBlocks() != blocks) {
        fprintf(stderr, "leaked %ld GDI objects, %ld global blocks\n", StandinLiveGdiObjects() - objects,
                StandinLiveGlobalBlocks() - blocks);
        abort();
    }
    return 0;
}
