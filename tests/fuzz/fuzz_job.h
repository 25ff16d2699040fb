/* One job's spool metafile per fuzz input, for the targets that drive the drawing exports: drive C:
 * in a fresh temporary folder, the metafile DC, and the checks every job ends with. */
#ifndef TAVLINQX_FUZZ_JOB_H
#define TAVLINQX_FUZZ_JOB_H

#include <stddef.h>
#include <stdint.h>

#include "fuzz_input.h"
#include "tavlinqx.h"

/* Lays out drive C: and reserves the spool path every job of the run writes to. 0, or -1 when
 * that cannot be done. Call from LLVMFuzzerInitialize. */
int FuzzJobInit(void);

/* Opens the job's metafile DC on DISPLAY (aborts when it cannot) and notes the live objects. */
HDC FuzzJobOpen(void);

/* Closes the job with CloseEmfFile32 and aborts unless the metafile loads with the project's
 * reader and no GDI object or global block outlived the job. */
void FuzzJobClose(HDC dc);

/* One whole job of the input: opens it, makes up to maxCalls calls of call while input is left,
 * and closes it with FuzzJobClose's checks. */
void FuzzJobRun(const uint8_t *data, size_t size, int maxCalls, void (*call)(FuzzInput *in, HDC *dc));

#endif
