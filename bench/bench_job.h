/* What the benchmarks share: a spool job on the DISPLAY printer, and the limit every recording
 * benchmark is measured against, the same bytes written with plain buffered writes. */
#ifndef TAVLINQX_BENCH_JOB_H
#define TAVLINQX_BENCH_JOB_H

#include <benchmark/benchmark.h>

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "standin.h"
#include "tavlinqx.h"

struct Job {
    char path[MAX_PATH];
    HDC dc;
};

inline void OpenJob(Job *job)
{
    GetEmfFilePath32(job->path);
    GetEmfFileDC32(NULL, "DISPLAY", job->path, NULL, NULL, NULL, &job->dc);
}

/* Closes the job and returns the size of its metafile, which is then removed. */
inline long CloseJob(Job *job)
{
    CloseEmfFile32(&job->dc);
    char posix[4096];
    struct stat st;
    long size = 0;
    if (StandinMapPath(job->path, posix, sizeof posix) == 0 && stat(posix, &st) == 0)
        size = (long)st.st_size;
    remove(posix);
    return size;
}

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
    char root[] = "/tmp/tavlinqx-bench-root-XXXXXX";
    if (getenv(STANDIN_ROOT_ENV) == NULL && mkdtemp(root) != NULL)
        setenv(STANDIN_ROOT_ENV, root, 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

#endif
