/* libFuzzer target over Dib32: BITMAPINFOs of every depth and compression, with and without a
 * counted colour table, heights of both signs, any source and destination rectangle, every
 * ternary raster operation. Within the callers' contract: the header is as long as biSize says,
 * followed by the table it announces (three masks with BI_BITFIELDS, then biClrUsed colours, or
 * all of them for 1 to 8 bits per pixel when that is 0), and the bits hold every row of the
 * DIB (biSizeImage bytes when compressed), each in a block of exactly that size. After the job the
 * metafile must load and nothing may be left alive. */
#include <stdint.h>
#include <string.h>

#include <vector>

#include "fuzz_job.h"
#include "tavlinqx.h"

namespace {

const int32_t kDepths[] = {1, 4, 8, 16, 24, 32, 0, 2, 48};
const int32_t kCompressions[] = {BI_RGB, BI_RGB, BI_RGB, BI_BITFIELDS, BI_RLE8,
                                 BI_RLE4, 4 /* BI_JPEG */, 5 /* BI_PNG */};
const int32_t kHeaderSizes[] = {40, 40, 40, 40, 12, 52, 56, 108, 124, 0, 39, 41};

enum : int64_t {
    MAX_BITS_BYTES = 1 << 20,
};

/* A BITMAPINFO and its bits, sized as the header says. */
struct Dib {
    std::vector<uint8_t> info;
    std::vector<uint8_t> bits;
};

/* Entries that follow a header with these fields: the masks of BI_BITFIELDS, then biClrUsed
 * colours, or the depth's whole table for 1 to 8 bits per pixel when that is 0. */
size_t DibTableEntries(const BITMAPINFOHEADER &h)
{
    size_t masks = h.biCompression == BI_BITFIELDS ? 3 : 0;
    if (h.biClrUsed != 0)
        return masks + h.biClrUsed;
    return masks + (h.biBitCount >= 1 && h.biBitCount <= 8 ? (size_t)1 << h.biBitCount : 0);
}

void FuzzDib(FuzzInput *in, Dib *dib)
{
    BITMAPINFOHEADER h;
    memset(&h, 0, sizeof h);
    h.biSize = (DWORD)FuzzPick(in, kHeaderSizes, FUZZ_COUNT(kHeaderSizes));
    h.biWidth = FuzzEdge(in);
    h.biHeight = FuzzEdge(in);
    h.biPlanes = (WORD)(FuzzTake(in, 1) % 16 == 0 ? FuzzTake(in, 1) % 3 : 1);
    h.biBitCount = (WORD)FuzzPick(in, kDepths, FUZZ_COUNT(kDepths));
    h.biCompression = (DWORD)FuzzPick(in, kCompressions, FUZZ_COUNT(kCompressions));
    /* A counted table: up to the depth's whole table and one past it, or past the 256 colours
     * GDI copies at most. */
    if (FuzzTake(in, 1) % 2)
        h.biClrUsed = FuzzTake(in, 2) % (h.biBitCount <= 8 ? (1u << h.biBitCount) + 2 : 300);
    h.biClrImportant = FuzzTake(in, 1) % 4 == 0 ? FuzzTake(in, 1) : 0;

    /* The rows every uncompressed height needs, brought down to a megabyte by narrowing the DIB
     * or cutting rows; sizes no 32-bit count can hold are kept, since GDI refuses them unread. */
    bool compressed = h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS;
    int64_t width = h.biWidth < 0 ? -(int64_t)h.biWidth : h.biWidth;
    int64_t rows = h.biHeight < 0 ? -(int64_t)h.biHeight : h.biHeight;
    int64_t stride = (width * h.biBitCount + 31) / 32 * 4;
    bool hopeless = rows > 0 && stride > INT32_MAX / rows;
    if (!compressed && !hopeless && stride * rows > MAX_BITS_BYTES) {
        if (stride > MAX_BITS_BYTES) {
            h.biWidth = h.biWidth < 0 ? -64 : 64;
            stride = (64 * h.biBitCount + 31) / 32 * 4;
        }
        rows = stride * rows > MAX_BITS_BYTES ? MAX_BITS_BYTES / stride : rows;
        h.biHeight = (LONG)(h.biHeight < 0 ? -rows : rows);
    }
    size_t bits = compressed ? FuzzTake(in, 2) : hopeless ? 0 : (size_t)(stride * rows);
    if (compressed)
        h.biSizeImage = (DWORD)bits;
    else if (FuzzTake(in, 1) % 4 == 0)
        h.biSizeImage = FuzzTake(in, 4); /* not read for uncompressed bits */

    size_t entries = DibTableEntries(h);
    size_t headerBytes = h.biSize > sizeof h ? h.biSize : sizeof h;
    dib->info.assign(headerBytes + 4 * entries, 0);
    memcpy(dib->info.data(), &h, sizeof h);
    for (size_t i = sizeof h; i < dib->info.size(); i++)
        dib->info[i] = (uint8_t)FuzzTake(in, 1);
    dib->bits.resize(bits ? bits : 1);
    uint8_t seed = (uint8_t)FuzzTake(in, 1);
    for (size_t i = 0; i < bits; i++)
        dib->bits[i] = (uint8_t)(seed + i * 37 + (i >> 9));
}

void FuzzTransfer(FuzzInput *in, HDC *dc)
{
    Dib dib;
    FuzzDib(in, &dib);
    INT coords[8];
    for (INT &c : coords)
        c = FuzzEdge(in);
    DWORD rop = FuzzTake(in, 1) << 16 | (FuzzTake(in, 1) % 2 ? 0x0020 : FuzzTake(in, 2));
    LOGBRUSH brush = {FuzzTake(in, 1) % 2 ? (UINT)BS_SOLID : (UINT)BS_HATCHED, FuzzTake(in, 4) & 0x00FFFFFF,
                      FuzzTake(in, 1) % 6};
    bool withBrush = FuzzTake(in, 1) & 1;
    DrawMode32 mode = {(INT)(FuzzTake(in, 1) % 18), (INT)(FuzzTake(in, 1) % 4), FuzzTake(in, 4), FuzzTake(in, 4),
                       (INT)(FuzzTake(in, 1) & 1)};
    bool withMode = FuzzTake(in, 1) & 1;
    Dib32(dc, &coords[0], &coords[1], &coords[2], &coords[3], &coords[4], &coords[5], &coords[6], &coords[7],
          dib.bits.data(), (const BITMAPINFO *)dib.info.data(), &rop, withBrush ? &brush : NULL,
          withMode ? &mode : NULL);
}

} /* namespace */

extern "C" int LLVMFuzzerInitialize(int *, char ***) { return FuzzJobInit(); }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzJobRun(data, size, 8, FuzzTransfer);
    return 0;
}
