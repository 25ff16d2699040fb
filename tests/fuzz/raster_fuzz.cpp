/* libFuzzer target over Raster32: bands of BITMAPs of every depth, with sizes near the limits;
 * first row, line count, source x and width anywhere, negative ones included; every ternary
 * raster operation; a brush or none, a DrawMode32 or none, a BITMAP or none. Within the callers'
 * contract: the bits hold bmWidthBytes x bmHeight bytes, in a block of exactly that size, so a
 * read past them is caught. Sizes that would make GDI's own copy of the bitmap larger than a
 * few megabytes are brought down, unless they are so large that no bitmap can be made at all.
 * After the job the metafile must load and nothing may be left alive. */
#include <stdint.h>
#include <string.h>

#include <vector>

#include "fuzz_job.h"
#include "tavlinqx.h"

namespace {

const int32_t kDepths[] = {1, 1, 2, 4, 8, 16, 24, 32, 0, 3, 12, 33, 48};
const int32_t kBrushStyles[] = {BS_SOLID, BS_NULL, BS_HATCHED};

enum : int64_t {
    MAX_BITS_BYTES = 1 << 20,   /* the caller's bits */
    MAX_PIXELS = 1 << 20,       /* what GDI would copy, when it can copy anything */
    HOPELESS_PIXELS = 1LL << 31, /* no 32-bit size holds a bitmap this large */
};

/* A BITMAP with its bits, sized as its fields say. */
struct Bitmap {
    BITMAP bm;
    std::vector<uint8_t> bits;
};

void FuzzBitmap(FuzzInput *in, Bitmap *b)
{
    BITMAP &bm = b->bm;
    memset(&bm, 0, sizeof bm);
    bm.bmType = FuzzTake(in, 1) % 32 == 0 ? (LONG)FuzzTake(in, 1) : 0;
    bm.bmWidth = FuzzEdge(in);
    bm.bmHeight = FuzzEdge(in);
    bm.bmPlanes = (WORD)(FuzzTake(in, 1) % 16 == 0 ? FuzzTake(in, 1) % 5 : 1);
    bm.bmBitsPixel = (WORD)FuzzPick(in, kDepths, FUZZ_COUNT(kDepths));
    int64_t pixels = (int64_t)bm.bmWidth * bm.bmHeight;
    if (bm.bmWidth > 0 && bm.bmHeight > 0 && pixels > MAX_PIXELS && pixels < HOPELESS_PIXELS)
        bm.bmHeight = (LONG)(MAX_PIXELS / bm.bmWidth > 0 ? MAX_PIXELS / bm.bmWidth : 1);
    /* The row length: GDI's own (word-aligned), a byte-aligned one, or anything. */
    int64_t aligned = ((int64_t)bm.bmWidth * bm.bmBitsPixel + 15) / 16 * 2;
    switch (FuzzTake(in, 1) % 4) {
    case 0: case 1: bm.bmWidthBytes = (LONG)aligned; break;
    case 2: bm.bmWidthBytes = (LONG)(((int64_t)bm.bmWidth * bm.bmBitsPixel + 7) / 8); break;
    default: bm.bmWidthBytes = FuzzEdge(in); break;
    }
    int64_t rows = bm.bmHeight > 0 ? bm.bmHeight : 0;
    if (bm.bmWidthBytes > 0 && rows > 0 && bm.bmWidthBytes * rows > MAX_BITS_BYTES)
        bm.bmWidthBytes = (LONG)(MAX_BITS_BYTES / rows);
    size_t size = bm.bmWidthBytes > 0 ? (size_t)bm.bmWidthBytes * (size_t)rows : 0;
    b->bits.resize(size ? size : 1);
    uint8_t seed = (uint8_t)FuzzTake(in, 1);
    for (size_t i = 0; i < size; i++)
        b->bits[i] = (uint8_t)(seed + i * 131 + (i >> 7));
    bm.bmBits = b->bits.data();
}

void FuzzRaster(FuzzInput *in, HDC *dc)
{
    Bitmap bitmap;
    bool withBitmap = FuzzTake(in, 1) % 8 != 0;
    if (withBitmap)
        FuzzBitmap(in, &bitmap);
    INT dest[4] = {FuzzEdge(in), FuzzEdge(in), FuzzEdge(in), FuzzEdge(in)};
    INT srcX = FuzzEdge(in), firstRow = FuzzEdge(in), srcWidth = FuzzEdge(in), lines = FuzzEdge(in);
    /* Every operation index, with GDI's low word or any other. */
    DWORD rop = FuzzTake(in, 1) << 16 | (FuzzTake(in, 1) % 2 ? 0x0020 : FuzzTake(in, 2));
    LOGBRUSH brush = {(UINT)FuzzPick(in, kBrushStyles, FUZZ_COUNT(kBrushStyles)), FuzzTake(in, 4) & 0x00FFFFFF,
                      FuzzTake(in, 1) % 6};
    bool withBrush = FuzzTake(in, 1) & 1;
    DrawMode32 mode = {(INT)(FuzzTake(in, 1) % 18), (INT)(FuzzTake(in, 1) % 4), FuzzTake(in, 4), FuzzTake(in, 4),
                       (INT)(FuzzTake(in, 1) & 1)};
    bool withMode = FuzzTake(in, 1) % 8 != 0;
    Raster32(dc, &dest[0], &dest[1], &dest[2], &dest[3], withBitmap ? &bitmap.bm : NULL, &srcX, &firstRow,
             &srcWidth, &lines, &rop, withBrush ? &brush : NULL, withMode ? &mode : NULL);
}

} /* namespace */

extern "C" int LLVMFuzzerInitialize(int *, char ***) { return FuzzJobInit(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzJobRun(data, size, 8, FuzzRaster);
    return 0;
}
