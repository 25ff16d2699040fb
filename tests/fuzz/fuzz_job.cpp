/* The fuzzed job's metafile and its checks. */
#include "fuzz_job.h"

#include <stdio.h>
#include <stdlib.h>

#include "emf_reader.h"
#include "fresh_drive.h"
#include "standin.h"

namespace {

char g_path[MAX_PATH];
long g_objects, g_blocks;

} /* namespace */

int FuzzJobInit(void)
{
    static char root[] = "/tmp/tavlinqx-fuzz-XXXXXX";
    if (!UseFreshDrive(root))
        return -1;
    GetEmfFilePath32(g_path);
    return g_path[0] == '\0' ? -1 : 0;
}

HDC FuzzJobOpen(void)
{
    g_objects = StandinLiveGdiObjects();
    g_blocks = StandinLiveGlobalBlocks();
    HDC dc = NULL;
    if (GetEmfFileDC32(NULL, "DISPLAY", g_path, NULL, NULL, NULL, &dc) != 0)
        abort();
    return dc;
}

void FuzzJobClose(HDC dc)
{
    CloseEmfFile32(&dc);
    char posix[4096], error[256];
    EmfFile file;
    if (StandinMapPath(g_path, posix, sizeof posix) != 0 || EmfLoadFile(posix, &file, error, sizeof error) != 0) {
        fprintf(stderr, "the job's metafile does not load: %s\n", error);
        abort();
    }
    EmfFree(&file);
    if (StandinLiveGdiObjects() != g_objects || StandinLiveGlobalBlocks() != g_blocks) {
        fprintf(stderr, "leaked %ld GDI objects, %ld global blocks\n", StandinLiveGdiObjects() - g_objects,
                StandinLiveGlobalBlocks() - g_blocks);
        abort();
    }
}

void FuzzJobRun(const uint8_t *data, size_t size, int maxCalls, void (*call)(FuzzInput *in, HDC *dc))
{
    HDC dc = FuzzJobOpen();
    FuzzInput in = {data, size, 0};
    for (int calls = 0; FuzzMore(&in) && calls < maxCalls; calls++)
        call(&in, &dc);
    FuzzJobClose(dc);
}
