/* What the recording benchmarks share besides the page's jobs (page.h): the limit each is
 * measured against, the same bytes written with plain buffered writes. */
#ifndef TAVLINQX_BENCH_JOB_H
#define TAVLINQX_BENCH_JOB_H

#include <benchmark/benchmark.h>

#include <stdio.h>

#include "page.h"
#include "tavlinqx.h"

/* bytesPerIteration bytes per iteration in recordSize-byte fwrite calls, the file rewound after
 * iterationsPerFile iterations as the recording benchmarks restart theirs. */
inline void RunBufferedWrite(benchmark::State &state, long bytesPerIteration, size_t recordSize,
                             long iterationsPerFile)
{
    char record[256] = {1};
    if (recordSize > sizeof record)
        recordSize = sizeof record;
    char path[] = "/tmp/tavlinqx-bench-XXXXXX";
    int fd = mkstemp(path);
    FILE *file = fdopen(fd, "wb");
    long bytes = 0, inFile = 0;
    for (auto _ : state) {
        for (long written = 0; written < bytesPerIteration; written += (long)recordSize)
            fwrite(record, 1, recordSize, file);
        bytes += bytesPerIteration;
        inFile += bytesPerIteration;
        if (inFile > iterationsPerFile * bytesPerIteration) {
            state.PauseTiming();
            rewind(file);
            inFile = 0;
            state.ResumeTiming();
        }
    }
    fclose(file);
    remove(path);
    state.counters["bytes/s"] = benchmark::Counter((double)bytes, benchmark::Counter::kIsRate);
}

/* Every benchmark program's main: drive C: in a fresh temporary folder unless one is named. */
inline int RunBenchmarks(int argc, char **argv)
{
    PageUseTemporaryRoot();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

#endif
