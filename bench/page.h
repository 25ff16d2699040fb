/* The page the job benchmark plays and the instruction counter measures, as a table of call
 * families: each row plays one unit of its family through the exports. */
#ifndef TAVLINQX_BENCH_PAGE_H
#define TAVLINQX_BENCH_PAGE_H

#include <stddef.h>

#include "tavlinqx.h"

struct PageRow {
    const char *family; /* the name the benchmark and bench/instruction_counts report */
    int perPage;        /* units of the row on one page */
    int (*play)(HDC dc); /* plays one unit on dc; returns the export calls it made */
};

extern const PageRow kPageRows[];
extern const size_t kPageRowCount;

/* The row named family, or NULL. */
const PageRow *PageFindRow(const char *family);

/* Plays every row perPage times; returns the export calls made. */
long PagePlay(HDC dc);

/* A job on the DISPLAY reference device, as the 16-bit driver opens one. */
struct PageJob {
    char path[MAX_PATH];
    HDC dc;
};

/* Points drive C: at a fresh temporary folder unless $TAVLINQX_ROOT names one. */
void PageUseTemporaryRoot(void);
/* Opens a job; false when the spool metafile cannot be made. */
bool PageOpenJob(PageJob *job);
/* Closes the job and returns the size of its metafile, which is then removed. */
long PageCloseJob(PageJob *job);

#endif
