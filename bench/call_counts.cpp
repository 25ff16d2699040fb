/* Plays one call family of the benchmark page a given number of times, for an instruction count
 * under callgrind (bench/instruction_counts): run it as `call_counts FAMILY UNITS`; callgrind
 * collects inside play_units only, after warm-up units have laid out the stand-in's tables. */
#include <stdio.h>
#include <stdlib.h>

#include "page.h"

/* Not inlined: callgrind's --toggle-collect names it. */
extern "C" __attribute__((noinline)) long play_units(const PageRow *row, HDC dc, int units)
{
    long calls = 0;
    for (int i = 0; i < units; i++)
        calls += row->play(dc);
    return calls;
}

int main(int argc, char **argv)
{
    const PageRow *row = argc == 3 ? PageFindRow(argv[1]) : NULL;
    int units = argc == 3 ? atoi(argv[2]) : 0;
    if (!row || units < 1) {
        fprintf(stderr, "usage: call_counts FAMILY UNITS; families:");
        for (size_t i = 0; i < kPageRowCount; i++)
            fprintf(stderr, " %s", kPageRows[i].family);
        fprintf(stderr, "\n");
        return 2;
    }
    PageUseTemporaryRoot();
    PageJob job;
    if (!PageOpenJob(&job)) {
        fprintf(stderr, "call_counts: cannot open a job\n");
        return 1;
    }
    for (int i = 0; i < 3; i++)
        row->play(job.dc);
    long calls = play_units(row, job.dc, units);
    PageCloseJob(&job);
    printf("%s %d %ld\n", row->family, units, calls);
    return 0;
}
