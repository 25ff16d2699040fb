/* TextOut32 throughput on the per-character road (eight characters along 45 degrees, a call each)
 * and on the whole-string road (the same eight in one call), beside the buffered write of the
 * same bytes. After the first call the font's face and advances come from the stand-in's cache:
 * no fontconfig query, no FreeType load. */
#include <string.h>

#include "bench_job.h"

namespace {

const int kCallsPerFile = 20000;
const char kText[] = "Rotated!";
const DWORD kLength = 8;
const INT kAdvances[8] = {14, 11, 6, 11, 6, 11, 11, 6};

LOGFONTA BenchFont(LONG escapement)
{
    LOGFONTA font;
    memset(&font, 0, sizeof font);
    font.lfHeight = -20;
    font.lfWeight = 400;
    font.lfEscapement = escapement;
    strcpy(font.lfFaceName, "Arial");
    return font;
}

int DrawText(HDC dc, const LOGFONTA *font, const INT *advances)
{
    static const DrawMode32 mode = {R2_COPYPEN, TRANSPARENT, 0xffffff, 0, 1};
    INT x = 100, y = 300;
    DWORD options = 0, length = kLength;
    return TextOut32(&dc, font, &x, &y, &options, NULL, kText, &length, advances, &mode);
}

void RunTextOut(benchmark::State &state, LONG escapement, const INT *advances)
{
    LOGFONTA font = BenchFont(escapement);
    PageJob job;
    PageOpenJob(&job);
    long calls = 0, bytes = 0;
    int inFile = 0;
    for (auto _ : state) {
        DrawText(job.dc, &font, advances);
        calls++;
        if (++inFile == kCallsPerFile) {
            state.PauseTiming();
            bytes += PageCloseJob(&job);
            PageOpenJob(&job);
            inFile = 0;
            state.ResumeTiming();
        }
    }
    bytes += PageCloseJob(&job);
    state.counters["calls/s"] = benchmark::Counter((double)calls, benchmark::Counter::kIsRate);
    state.counters["bytes/s"] = benchmark::Counter((double)bytes, benchmark::Counter::kIsRate);
}

/* The bytes one call records: the job's size with the call, less the empty job's. */
long BytesPerCall(LONG escapement, const INT *advances)
{
    LOGFONTA font = BenchFont(escapement);
    PageJob job;
    PageOpenJob(&job);
    long empty = PageCloseJob(&job);
    PageOpenJob(&job);
    DrawText(job.dc, &font, advances);
    return PageCloseJob(&job) - empty;
}

void BM_TextOut32PerCharacter(benchmark::State &state) { RunTextOut(state, 450, kAdvances); }
BENCHMARK(BM_TextOut32PerCharacter)->Unit(benchmark::kMicrosecond);

void BM_TextOut32WholeString(benchmark::State &state) { RunTextOut(state, 0, NULL); }
BENCHMARK(BM_TextOut32WholeString)->Unit(benchmark::kMicrosecond);

/* The limits: each road's bytes in writes of its text records' size. */
void BM_BufferedWriteOfPerCharacterBytes(benchmark::State &state)
{
    RunBufferedWrite(state, BytesPerCall(450, kAdvances), 84, kCallsPerFile);
}
BENCHMARK(BM_BufferedWriteOfPerCharacterBytes)->Unit(benchmark::kMicrosecond);

void BM_BufferedWriteOfWholeStringBytes(benchmark::State &state)
{
    RunBufferedWrite(state, BytesPerCall(0, NULL), 108, kCallsPerFile);
}
BENCHMARK(BM_BufferedWriteOfWholeStringBytes)->Unit(benchmark::kMicrosecond);

} /* namespace */

int main(int argc, char **argv) { return RunBenchmarks(argc, argv); }
