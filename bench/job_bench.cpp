/* The job-level benchmark: the page of page.cpp played through the exports, timed alternately with
 * writing the same bytes through stdio, one buffered fwrite per export call, so both sides see the
 * same machine load. */
#include <benchmark/benchmark.h>

#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <vector>

#include "page.h"

namespace {

/* A job is closed and a new one opened after this many pages, so the file stays a sensible size. */
const int kPagesPerJob = 200;

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

/* The export calls and metafile bytes of one unit of each row, measured by recording the row alone. */
struct RowCost {
    int calls;
    long bytes;
};

std::vector<RowCost> measure_rows(void)
{
    const int units = 50;
    PageJob job;
    PageOpenJob(&job);
    const long empty = PageCloseJob(&job);
    std::vector<RowCost> costs;
    for (size_t i = 0; i < kPageRowCount; i++) {
        PageOpenJob(&job);
        int calls = 0;
        for (int n = 0; n < units; n++)
            calls = kPageRows[i].play(job.dc);
        costs.push_back(RowCost{calls, (PageCloseJob(&job) - empty) / units});
    }
    return costs;
}

/* Writes one page's bytes as the recorder would receive them: per row unit, one fwrite per call. */
void write_page(FILE *file, const std::vector<RowCost> &costs, const char *bytes)
{
    for (size_t i = 0; i < kPageRowCount; i++) {
        const RowCost &c = costs[i];
        long perCall = c.bytes / c.calls;
        for (int n = 0; n < kPageRows[i].perPage; n++) {
            for (int call = 0; call + 1 < c.calls; call++)
                fwrite(bytes, 1, (size_t)perCall, file);
            fwrite(bytes, 1, (size_t)(c.bytes - perCall * (c.calls - 1)), file);
        }
    }
}

double peak_rss_mb(void)
{
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

/* Each iteration records one page, then writes its bytes; the benchmark's time is the recording's. */
void BM_PageVsBufferedWrite(benchmark::State &state)
{
    const std::vector<RowCost> costs = measure_rows();
    long pageBytes = 0;
    for (const RowCost &c : costs)
        pageBytes += c.bytes;
    long pageCalls = 0;
    for (size_t i = 0; i < kPageRowCount; i++)
        pageCalls += (long)kPageRows[i].perPage * costs[i].calls;
    std::vector<char> bytes((size_t)pageBytes, 'x');

    char path[] = "/tmp/tavlinqx-bench-write-XXXXXX";
    FILE *file = fdopen(mkstemp(path), "wb");
    PageJob job;
    PageOpenJob(&job);
    double recordSeconds = 0, writeSeconds = 0;
    long pages = 0, pagesInJob = 0;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        PagePlay(job.dc);
        bool jobFull = ++pagesInJob == kPagesPerJob;
        if (jobFull)
            PageCloseJob(&job); /* the header and the last buffer are part of recording */
        double recorded = seconds_since(start);
        start = Clock::now();
        write_page(file, costs, bytes.data());
        if (jobFull)
            fflush(file);
        double written = seconds_since(start);
        if (jobFull) {
            rewind(file);
            PageOpenJob(&job);
            pagesInJob = 0;
        }
        state.SetIterationTime(recorded);
        recordSeconds += recorded;
        writeSeconds += written;
        pages++;
    }
    PageCloseJob(&job);
    fclose(file);
    remove(path);
    const double mb = 1e6;
    state.counters["calls/s"] = (double)(pages * pageCalls) / recordSeconds;
    state.counters["EMF_MB/s"] = (double)(pages * pageBytes) / recordSeconds / mb;
    state.counters["write_MB/s"] = (double)(pages * pageBytes) / writeSeconds / mb;
    state.counters["x_write"] = recordSeconds / writeSeconds;
    state.counters["peak_RSS_MB"] = peak_rss_mb();
}
BENCHMARK(BM_PageVsBufferedWrite)->UseManualTime()->Unit(benchmark::kMillisecond);

/* One job of range(0) pages: its metafile size beside the process's peak resident memory. */
void BM_OneJobOfPages(benchmark::State &state)
{
    long bytes = 0;
    for (auto _ : state) {
        PageJob job;
        PageOpenJob(&job);
        for (int64_t page = 0; page < state.range(0); page++)
            PagePlay(job.dc);
        bytes = PageCloseJob(&job);
    }
    state.counters["EMF_MB"] = (double)bytes / 1e6;
    state.counters["peak_RSS_MB"] = peak_rss_mb();
}
BENCHMARK(BM_OneJobOfPages)->Arg(10)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond);

} /* namespace */

int main(int argc, char **argv)
{
    PageUseTemporaryRoot();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
