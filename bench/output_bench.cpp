/* Output32 throughput for a typical mix of vector output, beside the cost of writing the same bytes
 * with plain buffered writes: the ratio shows what the recording costs over the file system. */
#include <vector>

#include "bench_job.h"

namespace {

/* Metafiles are restarted after this many mixes so the file stays a sensible size. */
const int kMixesPerFile = 2000;

struct Mix {
    std::vector<POINTS> polygon, polyline, rectangle;
    std::vector<std::vector<POINTS>> scanlines;
    LOGPEN pen = {PS_SOLID, {2, 0}, 0x0000ff};
    LOGBRUSH brush = {BS_SOLID, 0x00ff00, 0};
    DrawMode32 mode = {R2_COPYPEN, TRANSPARENT, 0xffffff, 0, 1};
    DWORD bits = 0;
};

Mix MakeMix()
{
    Mix mix;
    for (int i = 0; i < 16; i++)
        mix.polygon.push_back(POINTS{(SHORT)(100 + (i * 37) % 200), (SHORT)(100 + (i * 53) % 200)});
    for (int i = 0; i < 200; i++)
        mix.polyline.push_back(POINTS{(SHORT)(i * 5), (SHORT)(300 + (i * 7) % 50)});
    mix.rectangle = {{10, 20}, {400, 300}};
    for (int line = 0; line < 100; line++) {
        std::vector<POINTS> scan = {{0, (SHORT)(500 + line)}};
        for (int s = 0; s < 4; s++)
            scan.push_back(POINTS{(SHORT)(20 + s * 60 + line % 7), (SHORT)(60 + s * 60)});
        mix.scanlines.push_back(scan);
    }
    return mix;
}

/* One mix: a polygon, a polyline, a rectangle and a path bracket of 100 scanlines. Returns the
 * number of Output32 calls it made. */
int DrawMix(HDC dc, Mix *mix)
{
    HGDIOBJ slots[5];
    const WORD zero = 0;
    auto output = [&](WORD style, const std::vector<POINTS> *points) {
        WORD count = points ? (WORD)points->size() : 0;
        Output32(&dc, &style, &zero, &count, points ? points->data() : NULL, &mix->pen, &mix->bits,
                 &mix->brush, &mix->mode, &slots[0], &slots[1], &slots[2], &slots[3], &slots[4], NULL);
    };
    output(OS_ALTPOLYGON, &mix->polygon);
    output(OS_POLYLINE, &mix->polyline);
    output(OS_RECTANGLE, &mix->rectangle);
    output(OS_BEGINNSCAN, NULL);
    HGDIOBJ bracket[5];
    for (int i = 0; i < 5; i++)
        bracket[i] = slots[i];
    for (const std::vector<POINTS> &scan : mix->scanlines)
        output(OS_SCANLINES, &scan);
    output(OS_ENDNSCAN, NULL);
    DeleteObject32(&dc, &bracket[0], &bracket[1]);
    DeleteObject32(&dc, &bracket[2], &bracket[3]);
    DeleteObject32(&dc, &bracket[4], &slots[4]);
    return 5 + (int)mix->scanlines.size();
}

void BM_Output32Mix(benchmark::State &state)
{
    Mix mix = MakeMix();
    PageJob job;
    PageOpenJob(&job);
    long calls = 0, bytes = 0;
    int mixesInFile = 0;
    for (auto _ : state) {
        calls += DrawMix(job.dc, &mix);
        if (++mixesInFile == kMixesPerFile) {
            state.PauseTiming();
            bytes += PageCloseJob(&job);
            PageOpenJob(&job);
            mixesInFile = 0;
            state.ResumeTiming();
        }
    }
    /* Closing writes the header and flushes the buffer: part of the cost. */
    bytes += PageCloseJob(&job);
    state.counters["calls/s"] = benchmark::Counter((double)calls, benchmark::Counter::kIsRate);
    state.counters["bytes/s"] = benchmark::Counter((double)bytes, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Output32Mix)->Unit(benchmark::kMicrosecond);

/* The limit: the bytes of one mix's metafile written with stdio's buffered writes, record-sized. */
void BM_BufferedWriteOfTheSameBytes(benchmark::State &state)
{
    Mix mix = MakeMix();
    PageJob job;
    PageOpenJob(&job);
    DrawMix(job.dc, &mix);
    const long bytesPerMix = PageCloseJob(&job) - 128; /* without the empty file's header and EOF */
    RunBufferedWrite(state, bytesPerMix, 28 /* a typical small record */, kMixesPerFile);
}
BENCHMARK(BM_BufferedWriteOfTheSameBytes)->Unit(benchmark::kMicrosecond);

} /* namespace */

int main(int argc, char **argv) { return RunBenchmarks(argc, argv); }
