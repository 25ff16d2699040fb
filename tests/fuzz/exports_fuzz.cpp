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

#include "fuzz_input.h"
#include "fuzz_job.h"
#include "tavlinqx.h"

namespace {

const WORD kStyles[] = {OS_POLYBEZIER, OS_ARC,     OS_SCANLINES,  OS_RECTANGLE,       OS_ELLIPSE,
                        OS_POLYLINE,   OS_WINDPOLYGON, OS_ALTPOLYGON, OS_PIE,          OS_CHORD,
                        OS_CIRCLE,     OS_ROUNDRECT, OS_BEGINNSCAN, OS_ENDNSCAN,       OS_WINDPOLYPOLYGON,
                        OS_ALTPOLYPOLYGON, 0, 8, 0x4000, 0x4015};

/* One pattern bitmap with its rows, sized as GDI reads them at any depth it may round up to. */
struct Pattern {
    BITMAP bitmap;
    std::vector<uint8_t> rows;
};

void MakePattern(FuzzInput *in, Pattern *p)
{
    static const WORD kDepths[] = {1, 2, 4, 8, 16, 24, 32};
    LONG width = 1 + (LONG)(FuzzTake(in, 1) % 16), height = 1 + (LONG)(FuzzTake(in, 1) % 16);
    WORD bpp = kDepths[FuzzTake(in, 1) % 7];
    p->rows.resize((size_t)(width * 4 + 4) * (size_t)height);
    for (uint8_t &b : p->rows)
        b = (uint8_t)FuzzTake(in, 1);
    p->bitmap = BITMAP{0, width, height, (width * bpp + 15) / 16 * 2, 1, bpp, p->rows.data()};
}

struct Job {
    HDC dc;
    std::vector<HGDIOBJ> handedOut; /* five slots per begin-path call, in call order */
};

void FuzzOutput(FuzzInput *in, Job *job)
{
    WORD style = FuzzTake(in, 1) % 4 == 0 ? (WORD)FuzzTake(in, 2) : kStyles[FuzzTake(in, 1) % (sizeof kStyles / sizeof kStyles[0])];
    WORD second = FuzzTake(in, 1) % 5 == 0 ? 1 : 0;
    /* At least the four points the fixed-count drawers read whatever the count says. */
    std::vector<POINTS> points(4 + FuzzTake(in, 1) % 40 + (FuzzTake(in, 1) % 16 == 0 ? 1100 : 0));
    for (POINTS &p : points)
        p = POINTS{(SHORT)FuzzTake(in, 2), (SHORT)FuzzTake(in, 2)};
    WORD count = (WORD)(FuzzTake(in, 2) % (points.size() + 1));

    /* Poly-polygon counts: their sum never exceeds the points, though single counts may be
     * negative or absurd, which must draw nothing. */
    std::vector<INT> counts(1 + FuzzTake(in, 1) % 6);
    size_t left = points.size();
    for (INT &c : counts) {
        uint32_t pick = FuzzTake(in, 1);
        c = pick % 9 == 0 ? -(INT)(pick % 5 + 1) : (INT)(pick % (left + 1));
        left -= c > 0 ? (size_t)c : 0;
    }
    PolyPolygonPoints polys = {counts.data(), points.data()};
    bool poly = style == OS_WINDPOLYPOLYGON || style == OS_ALTPOLYPOLYGON;
    if (poly)
        count = (WORD)(FuzzTake(in, 1) % (counts.size() + 1));

    LOGPEN pen = {FuzzTake(in, 1) % 9, {(LONG)(FuzzTake(in, 1) % 12) - 1, 0}, FuzzTake(in, 4) & 0x00FFFFFF};
    Pattern pattern;
    LOGBRUSH brush = {FuzzTake(in, 1) % 8, FuzzTake(in, 4) & 0x00FFFFFF, FuzzTake(in, 1) % 6};
    if (brush.lbStyle == BS_PATTERN) {
        MakePattern(in, &pattern);
        brush.lbHatch = (ULONG_PTR)&pattern.bitmap;
    } else if (brush.lbStyle == BS_DIBPATTERNPT || brush.lbStyle == BS_DIBPATTERN) {
        brush.lbStyle = BS_HATCHED; /* the driver never sends DIB brushes through a LOGBRUSH */
    }
    DrawMode32 mode = {(INT)(FuzzTake(in, 1) % 18), (INT)(FuzzTake(in, 1) % 4), FuzzTake(in, 4), FuzzTake(in, 4), 1};
    RECT clip = {(LONG)(SHORT)FuzzTake(in, 2), (LONG)(SHORT)FuzzTake(in, 2), (LONG)(SHORT)FuzzTake(in, 2), (LONG)(SHORT)FuzzTake(in, 2)};
    DWORD bits = FuzzTake(in, 4) & 0x0000FF0F;
    uint32_t nulls = FuzzTake(in, 1);

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

} /* namespace */

extern "C" int LLVMFuzzerInitialize(int *, char ***) { return FuzzJobInit(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Job job = {FuzzJobOpen(), {}};
    FuzzInput in = {data, size, 0};
    for (int calls = 0; FuzzMore(&in) && calls < 64; calls++) {
        switch (FuzzTake(&in, 1) % 8) {
        case 0: {
            RECT clip = {(LONG)(SHORT)FuzzTake(&in, 2), (LONG)(SHORT)FuzzTake(&in, 2), (LONG)(SHORT)FuzzTake(&in, 2),
                         (LONG)(SHORT)FuzzTake(&in, 2)};
            SetClipRect32(&job.dc, FuzzTake(&in, 1) & 1 ? &clip : NULL);
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
    FuzzJobClose(job.dc);
    return 0;
}
