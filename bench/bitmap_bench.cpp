/* Bitmap transfer throughput in megabytes of source pixels per second, beside memcpy of the same
 * bytes: Raster32 over a 600 dpi Letter page of monochrome bands, Raster32 of an 8-bit image
 * converted to 24 bits, and the conversion alone (GetDIBits) for 8- and 24-bit sources. */
#include <benchmark/benchmark.h>

#include <string.h>

#include <vector>

#include "frame/win32.h"

namespace {

/* The metafile goes to /dev/null: what is measured is the conversion and the recording, not the
 * disk. */
const char kSink[] = "/dev/null";

struct Image {
    BITMAP bm;
    std::vector<uint8_t> bits;
};

Image MakeImage(LONG width, LONG height, WORD bitsPixel)
{
    Image image;
    LONG widthBytes = (width * bitsPixel + 15) / 16 * 2;
    image.bits.resize((size_t)widthBytes * (size_t)height);
    for (size_t i = 0; i < image.bits.size(); i++)
        image.bits[i] = (uint8_t)(i * 131 + (i >> 9));
    image.bm = BITMAP{0, width, height, widthBytes, 1, bitsPixel, image.bits.data()};
    return image;
}

void BM_Memcpy(benchmark::State &state, LONG width, LONG height, WORD bitsPixel)
{
    Image image = MakeImage(width, height, bitsPixel);
    std::vector<uint8_t> copy(image.bits.size());
    for (auto _ : state) {
        memcpy(copy.data(), image.bits.data(), image.bits.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)image.bits.size());
}

/* GetDIBits of the whole bitmap into a 24-bit bottom-up DIB, as a band of every row. */
void BM_GetDIBitsTo24(benchmark::State &state, LONG width, LONG height, WORD bitsPixel)
{
    Image image = MakeImage(width, height, bitsPixel);
    HDC dc = CreateCompatibleDC(NULL);
    HBITMAP bitmap = CreateBitmapIndirect(&image.bm);
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<uint8_t> dib((size_t)(width * 3 + 3) / 4 * 4 * (size_t)height);
    for (auto _ : state)
        benchmark::DoNotOptimize(GetDIBits(dc, bitmap, 0, (UINT)height, dib.data(), &info, DIB_RGB_COLORS));
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)image.bits.size());
    DeleteObject(bitmap);
    DeleteDC(dc);
}

/* Raster32 of the whole bitmap in bands of bandRows, SRCCOPY, onto a metafile. */
void BM_Raster32(benchmark::State &state, LONG width, LONG height, WORD bitsPixel, INT bandRows)
{
    Image image = MakeImage(width, height, bitsPixel);
    HDC dc = NULL;
    GetEmfFileDC32(NULL, "DISPLAY", kSink, NULL, NULL, NULL, &dc);
    DrawMode32 mode = {R2_COPYPEN, TRANSPARENT, 0x00FFFFFF, 0x00000000, 1};
    const INT zero = 0;
    const DWORD rop = SRCCOPY;
    for (auto _ : state) {
        for (INT first = 0; first < height; first += bandRows) {
            INT destY = first;
            benchmark::DoNotOptimize(Raster32(&dc, &zero, &destY, &image.bm.bmWidth, &bandRows, &image.bm,
                                              &zero, &first, &image.bm.bmWidth, &bandRows, &rop, NULL, &mode));
        }
    }
    CloseEmfFile32(&dc);
    state.SetBytesProcessed((int64_t)state.iterations() * (int64_t)image.bits.size());
}

/* A 600 dpi Letter page, 4800 x 6600, monochrome, in bands of 64 rows. */
BENCHMARK_CAPTURE(BM_Memcpy, mono_page, 4800, 6600, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Raster32, mono_page_bands64, 4800, 6600, 1, 64)->Unit(benchmark::kMillisecond)->Iterations(3);
/* An 8-bit 1200 x 1200 image converted to 24 bits. */
BENCHMARK_CAPTURE(BM_Memcpy, image8, 1200, 1200, 8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_GetDIBitsTo24, image8, 1200, 1200, 8)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Raster32, image8, 1200, 1200, 8, 1200)->Unit(benchmark::kMillisecond);
/* The 24-bit path: rows passed through. */
BENCHMARK_CAPTURE(BM_Memcpy, image24, 1200, 1200, 24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_GetDIBitsTo24, image24, 1200, 1200, 24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Raster32, image24, 1200, 1200, 24, 1200)->Unit(benchmark::kMillisecond);

} /* namespace */

BENCHMARK_MAIN();
