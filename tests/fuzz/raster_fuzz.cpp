/* libFuzzer target over Raster32: bands of BITMAPs of every depth, with sizes near the limits;
 * first row, line count, source x and width anywhere, negative ones included; every ternary
 * raster operation; a brush or none, a DrawMode32 or none, a BITMAP or none. Within the callers'
 * contract: the bits hold bmWidthBytes x bmHeight bytes, in a block of exactly that size, so a
 * read past them is caught. Sizes that would make GDI's copy of the bitmap or the band's buffer
 * larger than a few megabytes are brought down, unless Raster32 refuses them for their size.
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
    MAX_BITS_BYTES = 1 << 20,     /* the caller's bits */
    MAX_TRANSFER_BYTES = 1 << 24, /* GDI's copy of the bitmap, and the band's buffer */
};

/* The larger of GDI's copy of a bitmap of these sides (rows word-aligned at the depth GDI keeps it
 * in) and a band buffer of its whole height (24-bit rows, 1-bit for a monochrome one), in bytes.
 * Where either passes 32 bits, Raster32 refuses before it allocates anything. */
int64_t TransferBytes(const BITMAP &bm)
{
    static const int64_t kKept[] = {1, 4, 8, 16, 24, 32};
    int64_t kept = 0;
    for (int64_t depth : kKept)
        if (kept == 0 && bm.bmBitsPixel <= depth)
            kept = depth;
    int64_t gdiRow = ((int64_t)bm.bmWidth * kept + 15) / 16 * 2;
    int64_t bandRow = ((int64_t)bm.bmWidth * (bm.bmBitsPixel == 1 ? 1 : 24) + 31) / 32 * 4;
    if (gdiRow > INT32_MAX || bandRow > INT32_MAX)
        return INT64_MAX; /* and the products below stay within 64 bits */
    int64_t gdi = gdiRow * bm.bmHeight, band = bandRow * ((int64_t)bm.bmHeight + 1);
    return gdi > band ? gdi : band;
}

/* Brings a bitmap that Raster32 would transfer down to a few megabytes, its height first, then
 * its width; one it refuses for its size keeps its sides near the limits. */
void BringDown(BITMAP *bm)
{
    if (bm->bmWidth <= 0 || bm->bmHeight <= 0 || bm->bmBitsPixel > 32)
        return;
    int64_t bytes = TransferBytes(*bm);
    if (bytes > INT32_MAX || bytes <= MAX_TRANSFER_BYTES)
        return;
    bm->bmHeight = (LONG)(bm->bmHeight * MAX_TRANSFER_BYTES / bytes);
    if (bm->bmHeight < 1) {
        bm->bmHeight = 1;
        bm->bmWidth = (LONG)(bm->bmWidth * MAX_TRANSFER_BYTES / TransferBytes(*bm));
    }
}

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
    BringDown(&bm);
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
